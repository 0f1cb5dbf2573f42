// The listing reader on any text a server may send as a listing, and the names it finds as the
// screen shows them: a name shown from UTF-8 must encode back to the bytes the server sent, or a
// local file made from it would bear another name.
#include "FuzzCheck.h"
#include "engine/ListingReader.h"
#include "platform/TextCodec.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::string_view line : SplitLines(text)) {
        FUZZ_CHECK(!line.empty() && line.find('\n') == std::string_view::npos);
        RemoteEntry read;
        const ListingLine kind = ReadListingLine(line, ListingNow{2024, 1, 1, 0, 0}, read);
        if (kind == ListingLine::Entry) {
            // A row always has a name from the line and a date that is empty or whole.
            FUZZ_CHECK(!read.name.empty() && read.name.size() <= line.size());
            FUZZ_CHECK(line.find(read.name) != std::string_view::npos);
            FUZZ_CHECK(read.date.empty() || read.date.size() == 10 || read.date.size() == 16);
            FUZZ_CHECK(!read.attributes.empty());
        }
        const RemoteName name = RemoteName::fromRaw(read.name);
        if (name.utf8)
            FUZZ_CHECK(EncodeUtf8(name.display) == read.name);
    }
    return 0;
}
