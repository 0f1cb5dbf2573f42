// The ftp:// address reader on any command-line argument.
#include "FuzzCheck.h"
#include "engine/FtpAddress.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {
bool OneCommandLine(const std::string& s) {
    return s.find_first_of(std::string("\0\r\n", 3)) == std::string::npos;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto url = ParseFtpUrl(text)) {
        FUZZ_CHECK(LooksLikeUrl(text));
        FUZZ_CHECK(!url->host.empty() && url->port >= 1 && url->port <= 65535);
        // Whatever the address holds, user and password go into one command line each.
        FUZZ_CHECK(OneCommandLine(url->user) && OneCommandLine(url->password) && OneCommandLine(url->host));
        // A password of the address is never shown.
        if (url->hasUser && !url->password.empty())
            FUZZ_CHECK(AddressWithoutPassword(text).find(":***@") != std::string::npos);
    }
    // What is shown once shows the same again: nothing of a password is left to hide.
    const std::string shown = AddressWithoutPassword(text);
    FUZZ_CHECK(shown.size() <= text.size() + 3 && AddressWithoutPassword(shown) == shown);
    if (const auto decoded = PercentDecode(text))
        FUZZ_CHECK(decoded->size() <= text.size() && OneCommandLine(*decoded));
    return 0;
}
