#include "engine/RemoteNames.h"

#include "engine/LocalNames.h"

bool IsOneCommandLine(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos;
}

bool IsSafeRemoteName(std::string_view raw) {
    return IsOneEntryName(raw) && IsOneCommandLine(raw);
}

std::string LastNameOf(const std::string& path) {
    const std::size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ShownName(std::string name) {
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    }
    return name;
}
