#pragma once

#include <string_view>

// What a server's FEAT reply offers that the session uses.
struct ServerFeatures {
    bool utf8 = false; // names in UTF-8 (OPTS UTF8 ON)
    bool mlst = false; // machine listings (MLSD)
};

// Reads a FEAT reply: "211-Features:", one feature per line indented by a space, "211 End". A
// refused FEAT offers nothing.
ServerFeatures ParseFeatReply(std::string_view reply);
