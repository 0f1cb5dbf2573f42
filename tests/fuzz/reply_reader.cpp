// The engine's assembly of server replies from the pieces the control connection delivers. The
// first byte of the input chooses where the rest is cut into pieces.
#include "FuzzCheck.h"
#include "engine/ReplyReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    ReplyReader reader;
    for (std::size_t at = 0; at < text.size(); at += piece) {
        std::size_t pending = reader.PendingSize() + std::min(piece, text.size() - at);
        bool complete = reader.Feed(text.substr(at, piece));
        // One reply is taken at a time; whatever follows it stays pending for the next call.
        while (complete) {
            FUZZ_CHECK(reader.Code() >= 0 && reader.Code() <= 999);
            FUZZ_CHECK(reader.PendingSize() < pending);
            FUZZ_CHECK(!reader.LastReply().empty() && reader.LastReply().back() == '\n');
            pending = reader.PendingSize();
            complete = reader.Feed({});
        }
        FUZZ_CHECK(!reader.Waiting());
        FUZZ_CHECK(reader.LastLine().size() <= ReplyReader::kLastLineMax);
    }
    return 0;
}
