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
        for (const std::size_t until = std::min(total, m_timesAnswered + kTimesOnTheWay); m_timesSent < until;
             ++m_timesSent) {
            const auto& [path, seconds] = times.files[m_timesSent];
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
    while (m_timesAnswered < m_timesSent && ReadReply(s)) {
        ++m_timesAnswered;
        // The file is there whatever its time: the next comparison goes by the record.
        if (m_reply.Code() >= 300)
            m_ui.RefusalHandled();
        if (!m_reply.Waiting())
            break;
    }
    if (m_ctrlSocket != s)
        return;
    if (m_timesAnswered == total) {
        m_timesSent = m_timesAnswered = 0;
        EndOperation();
        return;
    }
    Arm(s, WM_FTP_MFMT,
        (m_timesSent < std::min(total, m_timesAnswered + kTimesOnTheWay) ? Write : Read) | Close);
}
