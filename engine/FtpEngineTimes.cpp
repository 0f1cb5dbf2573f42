#include "engine/FtpEngine.h"
#include "engine/MirrorTime.h"

#include <algorithm>

using namespace SocketEvent;

namespace {

// Commands on their way before the first reply is read: a round trip per batch, not per file,
// while a server's input buffer takes them easily.
constexpr std::size_t kTimesOnTheWay = 64;

} // namespace

void CFtpEngine::SetTimes(std::vector<std::pair<std::string, std::int64_t>> files) {
    if (files.empty() || !m_features.Has("MFMT"))
        return;
    RunTransfer(Op::SetTimes{std::move(files)});
}

void CFtpEngine::OnFtpMfmt(SocketId s, std::uint32_t word) {
    auto& times = std::get<Op::SetTimes>(m_op);
    const std::size_t total = times.files.size();
    Disarm(s);
    switch (EventKind(word)) {
    case Write:
        for (const std::size_t until = std::min(total, times.answered + kTimesOnTheWay); times.sent < until;
             ++times.sent) {
            const auto& [path, seconds] = times.files[times.sent];
            SendCommand(s, "MFMT " + ModifyFactText(seconds) + " " + path);
        }
        Arm(s, WM_FTP_MFMT, Read | Close);
        return;
    case Read:
        break;
    case Close:
        CloseSessionLost();
        return;
    default:
        return;
    }
    while (times.answered < times.sent && ReadReply(s)) {
        ++times.answered;
        // The file is there whatever its time: the next comparison goes by the record.
        if (m_reply.Code() >= 300)
            m_ui.RefusalHandled();
        if (!m_reply.Waiting())
            break;
    }
    if (m_ctrlSocket != s)
        return;
    if (times.answered == total) {
        EndOperation();
        return;
    }
    Arm(s, WM_FTP_MFMT,
        (times.sent < std::min(total, times.answered + kTimesOnTheWay) ? Write : Read) | Close);
}
