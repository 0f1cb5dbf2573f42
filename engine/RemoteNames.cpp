#include "engine/RemoteNames.h"

#include "engine/LocalNames.h"

bool IsOneCommandLine(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos;
}

bool IsSafeRemoteName(std::string_view raw) {
    return IsOneEntryName(raw) && IsOneCommandLine(raw);
}

std::string ShownName(std::string name) {
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    }
    return name;
}
