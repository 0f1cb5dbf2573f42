#include "engine/FtpEngine.h"

#include "views/LogText.h"

using namespace SocketEvent;

void CFtpEngine::OnFtpPwd(SocketId s, std::uint32_t word) {
    Disarm(s);
    switch (EventKind(word)) {
    case Write:
        SendCommand(s, "PWD");
        Arm(s, WM_FTP_PWD, Read | Close);
        break;
    case Read: {
        if (!ReadReply(s)) {
            Arm(s, WM_FTP_PWD, Read | Close);
            break;
        }
        if (m_ui.Log().GetReplyCode() == 257) {
            const std::string line = m_ui.Log().GetLastReplyLine();
            const std::size_t open = line.find('"');
            const std::size_t close = open == std::string::npos ? open : line.find('"', open + 1);
            if (close != std::string::npos)
                m_ui.SetCurrentFolder(line.substr(open + 1, close - open - 1));
        }
        EndOperation();
        break;
    }
    case Close:
        CloseSessionLost();
        break;
    default:
        break;
    }
}
