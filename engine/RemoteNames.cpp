#include "engine/RemoteNames.h"

#include "engine/LocalNames.h"

bool IsOneCommandLine(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos;
}

bool IsSafeRemoteName(std::string_view raw) {
    return IsSafeLocalName(raw) && IsOneCommandLine(raw);
}
