// The listing reader on any text a server may send as a listing, and the names it finds as the
// screen shows them: a name shown from UTF-8 must encode back to the bytes the server sent, or a
// local file made from it would bear another name.
#include "FuzzCheck.h"
#include "engine/ListingParser.h"
#include "platform/TextCodec.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::string_view line : SplitLines(text)) {
        FUZZ_CHECK(!line.empty() && line.find('\n') == std::string_view::npos);
        const RemoteEntry entry = ParseListLine(line, 2024);
        FUZZ_CHECK(entry.name.size() <= line.size());
        const RemoteName name = RemoteName::fromRaw(entry.name);
        if (name.utf8)
            FUZZ_CHECK(EncodeUtf8(name.display) == entry.name);
    }
    return 0;
}
