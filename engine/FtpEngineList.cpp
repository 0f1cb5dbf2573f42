#include "engine/FtpEngine.h"

#include "views/LogText.h"

using namespace SocketEvent;

namespace {
const char* const kListFailed = "カレントディレクトリのファイル一覧を取得できませんでした。\r\n";
} // namespace

void CFtpEngine::OnFtpType(SocketId s, std::uint32_t word) {
    Disarm(s);
    switch (EventKind(word)) {
    case Write:
        SendCommand(s, "TYPE A");
        Arm(s, WM_FTP_TYPE, Read | Close);
        break;
    case Read:
        if (!ReadReply(s))
            Arm(s, WM_FTP_TYPE, Read | Close);
        else if (m_ui.Log().GetReplyCode() == 200)
            Arm(s, WM_FTP_PASV, Write | Close);
        else
            EndDataOperation();
        break;
    case Close:
        CloseSessionLost();
        break;
    default:
        break;
    }
}

void CFtpEngine::OnFtpPasv(SocketId s, std::uint32_t word) {
    OnDataStep(s, word, WM_FTP_PASV, WM_FTP_LISTDATA, WM_FTP_LIST);
}

void CFtpEngine::OnFtpList(SocketId s, std::uint32_t word) {
    Disarm(s);
    switch (EventKind(word)) {
    case Write:
        m_halfDone = 0;
        m_listData.clear();
        SendCommand(s, "LIST");
        Arm(s, WM_FTP_LIST, Read | Close);
        break;
    case Read: {
        if (!ReadReply(s)) {
            Arm(s, WM_FTP_LIST, Read | Close);
            break;
        }
        const int code = m_ui.Log().GetReplyCode();
        if (code == 125 || code == 150) {
            Arm(s, WM_FTP_LIST, Read | Close);
        } else if (code == 226 || code == 250) {
            if (SecondOfTwoEvents())
                FinishFolderListing();
        } else {
            LogFailure(kListFailed);
            EndDataOperation();
        }
        break;
    }
    case Close:
        CloseSessionLost();
        break;
    default:
        break;
    }
}

void CFtpEngine::OnFtpListData(SocketId s, std::uint32_t word) {
    if (OnListingData(s, word, WM_FTP_LISTDATA, WM_FTP_LIST))
        FinishFolderListing();
}

void CFtpEngine::FinishFolderListing() {
    NoteListingNames(m_listData);
    m_ui.FillFileList(m_listData);
    EndDataOperation();
}
