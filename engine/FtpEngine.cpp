#include "engine/FtpEngine.h"

#include "settings/SystemSettings.h"
#include "views/LogText.h"

using namespace SocketEvent;

CFtpEngine::CFtpEngine(CEngineUi& ui, QObject* parent) : QObject(parent), m_ui(ui) {
    ReadSystemSettings();
    m_replyTimer.setSingleShot(true);
    m_rearmTimer.setInterval(kRearmIntervalMs);
    connect(&m_replyTimer, &QTimer::timeout, this, [this] { OnTimer(TIMER_REPLY); });
    connect(&m_rearmTimer, &QTimer::timeout, this, [this] { OnTimer(TIMER_REARM); });
    connect(&m_events, &CSocketEvents::Event, this, [this](int message, qintptr s, quint32 word) {
        OnMessage(message, static_cast<SocketId>(s), word);
    });
    connect(&m_lookup, &CNameLookup::Finished, this, [this](int id, int error, quint32 address) {
        m_hostentBuf = address;
        OnMessage(WM_FTP_HOSTFOUND, id, MakeEventWord(0, error));
    });
}

CFtpEngine::~CFtpEngine() {
    m_dataConns.clear();
    m_ctrlSocket.close();
}

void CFtpEngine::ReadSystemSettings() {
    m_timeoutMs = static_cast<std::int32_t>(ReadEngineTimeoutMs());
    m_sendChunk = static_cast<std::int32_t>(ReadSendBufferBytes());
}

void CFtpEngine::Arm(SocketId s, int message, std::uint32_t interest) {
    m_events.Select(s, message, interest);
}

void CFtpEngine::Disarm(SocketId s) {
    m_events.Select(s, m_events.Message(s), 0);
}

void CFtpEngine::OnMessage(int message, SocketId s, std::uint32_t word) {
    switch (message) {
    case WM_FTP_HOSTFOUND:
        OnFtpHostFound(s, word);
        break;
    case WM_FTP_CONNECT:
        OnFtpConnect(s, word);
        break;
    case WM_FTP_USER:
        OnFtpUser(s, word);
        break;
    case WM_FTP_PASS:
        OnFtpPass(s, word);
        break;
    case WM_FTP_FIRECONNECT:
        OnFtpFireConnect(s, word);
        break;
    case WM_FTP_FIREUSER:
        OnFtpFireUser(s, word);
        break;
    case WM_FTP_FIREPASS:
        OnFtpFirePass(s, word);
        break;
    case WM_FTP_FIREOPEN:
        OnFtpFireOpen(s, word);
        break;
    case WM_FTP_ABOR:
        OnFtpAbor(s, word);
        break;
    case WM_FTP_IDLE:
        OnFtpIdle(s, word);
        break;
    case WM_FTP_PWD:
        OnFtpPwd(s, word);
        break;
    case WM_FTP_DELE:
        OnFtpDele(s, word);
        break;
    case WM_FTP_RMD:
        OnFtpRmd(s, word);
        break;
    case WM_FTP_CWD:
        OnFtpCwd(s, word);
        break;
    case WM_FTP_CDUP:
        OnFtpCdup(s, word);
        break;
    case WM_FTP_MKD:
        OnFtpMkd(s, word);
        break;
    case WM_FTP_RNFR:
        OnFtpRnfr(s, word);
        break;
    case WM_FTP_RNTO:
        OnFtpRnto(s, word);
        break;
    case WM_FTP_CHMOD:
        OnFtpChmod(s, word);
        break;
    case WM_FTP_DELCWD:
        OnFtpDelCwd(s, word);
        break;
    case WM_FTP_DELTYPE:
        OnFtpDelType(s, word);
        break;
    case WM_FTP_DELPASV:
        OnFtpDelPasv(s, word);
        break;
    case WM_FTP_DELLIST:
        OnFtpDelList(s, word);
        break;
    case WM_FTP_DELDATA:
        OnFtpDelData(s, word);
        break;
    case WM_FTP_PUTTYPE:
        OnFtpPutType(s, word);
        break;
    case WM_FTP_PUTPASV:
        OnFtpPutPasv(s, word);
        break;
    case WM_FTP_PUTREST:
        OnFtpPutRest(s, word);
        break;
    case WM_FTP_STOR:
        OnFtpStor(s, word);
        break;
    case WM_FTP_PUTDATA:
        OnFtpPutData(s, word);
        break;
    case WM_FTP_TYPE:
        OnFtpType(s, word);
        break;
    case WM_FTP_PASV:
        OnFtpPasv(s, word);
        break;
    case WM_FTP_LIST:
        OnFtpList(s, word);
        break;
    case WM_FTP_LISTDATA:
        OnFtpListData(s, word);
        break;
    case WM_FTP_GETTYPE:
        OnFtpGetType(s, word);
        break;
    case WM_FTP_GETPASV:
        OnFtpGetPasv(s, word);
        break;
    case WM_FTP_REST:
        OnFtpRest(s, word);
        break;
    case WM_FTP_RETR:
        OnFtpRetr(s, word);
        break;
    case WM_FTP_GETDATA:
        OnFtpGetData(s, word);
        break;
    case WM_FTP_GETCWD:
        OnFtpGetCwd(s, word);
        break;
    case WM_FTP_GETDIRTYPE:
        OnFtpGetDirType(s, word);
        break;
    case WM_FTP_GETDIRPASV:
        OnFtpGetDirPasv(s, word);
        break;
    case WM_FTP_GETDIRLIST:
        OnFtpGetDirList(s, word);
        break;
    case WM_FTP_GETDIRDATA:
        OnFtpGetDirData(s, word);
        break;
    default:
        break;
    }
}

int CFtpEngine::EnqueueOp(std::int32_t code, const std::string& text1, const std::string& text2) {
    if (!m_ctrlSocket.valid())
        return 0;
    m_opQueue.push_back(QueuedOp{text1, text2, code, 0, 0});
    return 1;
}

int CFtpEngine::EnqueueOp(const QueuedOp& op) {
    if (!m_ctrlSocket.valid())
        return 0;
    m_opQueue.push_back(op);
    return 1;
}

void CFtpEngine::InsertOpFront(const QueuedOp& op) {
    m_opQueue.insert(m_opQueue.begin(), op);
}

int CFtpEngine::DispatchNextOp() {
    for (;;) {
        if (m_busy == 1)
            return 1;
        m_progress.ClearSpeedText();
        m_ui.ProgressChanged(m_progress);
        if (m_opQueue.empty()) {
            SetStatusText({});
            ResetProgress();
            m_busy = 0;
            Arm(m_ctrlSocket.id(), WM_FTP_IDLE, Read | Close);
            emit Idle();
            return 0;
        }
        QueuedOp op = std::move(m_opQueue.front());
        m_opQueue.pop_front();
        m_curOp = op.code;
        m_opText1 = std::move(op.text1);
        m_opText2 = std::move(op.text2);
        m_opNum1 = op.num1;
        m_opNum2 = op.num2;
        m_busy = 1;

        switch (m_curOp) {
        case OP_SHELLOPEN:
            m_ui.ShellOpen(m_opText1, m_opText2);
            m_busy = 0;
            continue;
        case WM_FTP_DELE:
        case WM_FTP_RMD:
        case WM_FTP_GETCWD:
            Arm(m_ctrlSocket.id(), m_curOp, Write | Close);
            break;
        case WM_FTP_LIST:
            Arm(m_ctrlSocket.id(), WM_FTP_TYPE, Write | Close);
            break;
        case OP_DOWNLOAD:
            ResetProgress();
            m_busy = StartDownload(m_opText1, m_opText2, m_opNum1, m_opNum2);
            if (m_busy == 0)
                continue;
            break;
        case OP_UPLOAD:
            ResetProgress();
            m_busy = StartUpload(m_opText1, m_opNum1, m_opNum2) ? 1 : 0;
            if (m_busy == 0)
                continue;
            break;
        default:
            ResetProgress();
            Arm(m_ctrlSocket.id(), m_curOp, Write | Close);
            break;
        }
        return 1;
    }
}

void CFtpEngine::EndOperation() {
    m_busy = 0;
    DispatchNextOp();
}

bool CFtpEngine::SecondOfTwoEvents() {
    if (m_halfDone == 1)
        return true;
    m_halfDone = 1;
    return false;
}

int CFtpEngine::AttachDataSocket(Socket& sock) {
    for (DataConn& conn : m_dataConns) {
        if (!conn.sock.valid()) {
            conn.sock = std::move(sock);
            return 1;
        }
    }
    return 0;
}

QFile* CFtpEngine::FindDataFile(SocketId s) {
    if (s == kNoSocket)
        return nullptr;
    for (DataConn& conn : m_dataConns) {
        if (conn.sock == s)
            return conn.file.get();
    }
    return nullptr;
}

void CFtpEngine::CloseDataConn(SocketId s) {
    ResetProgress();
    if (s == kNoSocket)
        return;
    for (auto it = m_dataConns.begin(); it != m_dataConns.end(); ++it) {
        if (it->sock == s) {
            it->sock.shutdownAndClose();
            m_dataConns.erase(it);
            return;
        }
    }
    Socket(s).shutdownAndClose();
}

void CFtpEngine::CloseSession() {
    m_ui.ClearFileList();
    m_opQueue.clear();
    SetStatusText({});
    m_replyTimer.stop();
    // A lookup still running belongs to this session; its answer must not start a connect later.
    if (m_lookupId != -1) {
        m_lookup.Abort(m_lookupId);
        m_lookupId = -1;
    }
    if (m_ctrlSocket.valid()) {
        m_ctrlSocket.shutdownAndClose();
        m_ui.SetConnectedState(false);
    }
    m_dataConns.clear();
    DropDataStep();
    ResetProgress();
    m_serverNamesCp932 = false;
}

void CFtpEngine::CloseSessionLost() {
    CloseSession();
    LogFailure("ホストから切断されました。\r\n");
}

bool CFtpEngine::CanCancel() const {
    return IsConnected() && (m_busy != 0 || !m_opQueue.empty());
}

void CFtpEngine::CancelTransfers() {
    m_opQueue.clear();
    m_busy = 0;
    SetStatusText("キャンセル処理中です");
    // Data connections go first and without a shutdown: the server learns of the abort by ABOR.
    m_dataConns.clear();
    DropDataStep();
    EnqueueOp(WM_FTP_ABOR);
    DispatchNextOp();
}

void CFtpEngine::OnFtpAbor(SocketId s, std::uint32_t word) {
    Disarm(s);
    switch (EventKind(word)) {
    case Write:
        SendCommand(s, "ABOR");
        Arm(s, WM_FTP_ABOR, Read | Close);
        break;
    case Read: {
        if (!ReadReply(s)) {
            Arm(s, WM_FTP_ABOR, Read | Close);
            break;
        }
        const int code = m_ui.Log().GetReplyCode();
        if (code == 225 || code == 226 || code == 421 || code == 500 || code == 501 || code == 502)
            EndOperation();
        else
            Arm(s, WM_FTP_ABOR, Read | Close);
        break;
    }
    case Close:
        CloseSessionLost();
        break;
    default:
        break;
    }
}

void CFtpEngine::OnFtpIdle(SocketId s, std::uint32_t word) {
    switch (EventKind(word)) {
    case Read:
        ReadReply(s);
        break;
    case Close:
        CloseSessionLost();
        break;
    default:
        break;
    }
}

void CFtpEngine::OnTimer(int id) {
    switch (id) {
    case TIMER_REPLY:
        m_replyTimer.stop();
        Disarm(m_ctrlSocket.id());
        LogFailure("タイムアウトしました。\r\n");
        m_busy = 0;
        m_opQueue.clear();
        ResetProgress();
        Arm(m_ctrlSocket.id(), WM_FTP_IDLE, Read | Close);
        emit Idle();
        break;
    case TIMER_REARM:
        for (const DataConn& conn : m_dataConns) {
            if (!conn.sock.valid())
                continue;
            if (conn.msg == WM_FTP_PUTDATA) {
                // An upload's data waits for its STOR, or the server gets bytes it has no file for.
                if (m_storSent)
                    Arm(conn.sock.id(), conn.msg, Write);
            } else {
                Arm(conn.sock.id(), conn.msg, Read | Close);
            }
        }
        break;
    default:
        break;
    }
}

void CFtpEngine::ResetProgress() {
    m_progress.ResetProgress();
    m_ui.ProgressChanged(m_progress);
}

void CFtpEngine::SetStatusText(const std::string& text, const std::string& iconFor) {
    m_ui.SetStatusText(text, iconFor);
}
