// The assembly of server replies in the log from the pieces the control connection delivers. The
// first byte of the input chooses where the rest is cut into pieces.
#include "FuzzCheck.h"
#include "views/LogText.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    // A small limit, so that trimming the oldest lines happens too.
    CLogText log(32 * 1024);
    for (std::size_t at = 0; at < text.size(); at += piece) {
        std::size_t pending = log.PendingSize() + std::min(piece, text.size() - at);
        bool complete = log.AppendReply(text.substr(at, piece));
        // One reply is taken at a time; whatever follows it stays pending for the next call.
        while (complete) {
            FUZZ_CHECK(log.GetReplyCode() >= 0 && log.GetReplyCode() <= 999);
            FUZZ_CHECK(log.PendingSize() < pending);
            pending = log.PendingSize();
            complete = log.AppendReply({});
        }
        FUZZ_CHECK(!log.ReplyWaiting());
        FUZZ_CHECK(log.GetLastReplyLine().size() <= CLogText::kLastLineMax);
        FUZZ_CHECK(log.LineCount() >= 1);
    }
    return 0;
}
