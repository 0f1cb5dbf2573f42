// The listing reader on any text a server may send as a listing.
#include "FuzzCheck.h"
#include "engine/ListingParser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::string_view line : SplitLines(text)) {
        FUZZ_CHECK(!line.empty() && line.find('\n') == std::string_view::npos);
        const RemoteEntry entry = ParseListLine(line, 2024);
        FUZZ_CHECK(entry.name.size() <= line.size());
    }
    return 0;
}
