#include "engine/FtpEngine.h"

#include "engine/ConnectFailure.h"
#include "engine/DataChains.h"
#include "engine/RemoteNames.h"
#include "platform/SocketError.h"
#include "platform/TextCodec.h"
#include "settings/SystemSettings.h"

using namespace SocketEvent;

CFtpEngine::CFtpEngine(CEngineUi& ui, QObject* parent) : QObject(parent), m_ui(ui) {
    ReadSystemSettings();
    m_replyTimer.setSingleShot(true);
    m_quitTimer.setSingleShot(true);
    m_rearmTimer.setInterval(kRearmIntervalMs);
    connect(&m_quitTimer, &QTimer::timeout, this, [this] {
        EndQuit(m_quitHost + "との接続を切断しました（QUIT に応答がありませんでした）。\r\n");
    });
    connect(&m_replyTimer, &QTimer::timeout, this, [this] { OnTimer(TIMER_REPLY); });
    connect(&m_rearmTimer, &QTimer::timeout, this, [this] { OnTimer(TIMER_REARM); });
    connect(&m_events, &CSocketEvents::Event, this, [this](int message, qintptr s, quint32 word) {
        OnMessage(message, static_cast<SocketId>(s), word);
    });
    connect(&m_lookup, &CNameLookup::Finished, this, [this](int id, int error, quint32) {
        m_lookedUpAddress = m_lookup.Address();
        OnMessage(WM_FTP_HOSTFOUND, id, MakeEventWord(0, error));
    });
}

CFtpEngine::~CFtpEngine() {
    m_dataConns.clear();
    m_ctrlSocket.close();
    m_quitSocket.close();
}

void CFtpEngine::ReadSystemSettings() {
    m_timeoutMs = static_cast<std::int32_t>(ReadEngineTimeoutMs());
    m_sendChunk = static_cast<std::int32_t>(ReadSendBufferBytes());
}

void CFtpEngine::Arm(SocketId s, int message, std::uint32_t interest) {
    // Every step a session enters goes through here: the one place to trace them.
    qCDebug(lcEngineSteps, "engine %p socket %d: %s on %s", static_cast<void*>(this), s, StepName(message),
            InterestText(interest).c_str());
    m_events.Select(s, message, interest);
    // A reply that came in the same piece as the one just taken is here already, and no read event
    // will announce it.
    if ((interest & Read) && m_ctrlSocket == s && m_reply.Waiting()) {
        QMetaObject::invokeMethod(
            this,
            [this, s, message] {
                if (m_ctrlSocket == s && m_events.Message(s) == message && (m_events.Interest(s) & Read) &&
                    m_reply.Waiting())
                    OnMessage(message, s, MakeEventWord(Read, 0));
            },
            Qt::QueuedConnection);
    }
}

void CFtpEngine::Disarm(SocketId s) {
    m_events.Select(s, m_events.Message(s), 0);
}

void CFtpEngine::OnMessage(int message, SocketId s, std::uint32_t word) {
    if (const DataChain* chain = ChainOfMessage(message)) {
        if (message == chain->type)
            OnTypeStep(*chain, s, word);
        else if (message == chain->pasv)
            OnPassiveOrPortStep(*chain, s, word);
        else if (message == chain->rest)
            OnRestStep(*chain, s, word);
        else if (message == chain->transfer)
            OnTransferStep(*chain, s, word);
        else
            OnDataEvent(*chain, s, word);
        return;
    }
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
    case WM_FTP_GETCWD:
        OnFtpGetCwd(s, word);
        break;
    case WM_FTP_TREECWD:
        OnFtpTreeCwd(s, word);
        break;
    case WM_FTP_MFMT:
        OnFtpMfmt(s, word);
        break;
    case WM_FTP_FEAT:
    case WM_FTP_OPTSUTF8:
        OnFtpFeat(message, s, word);
        break;
    case WM_FTP_SIZETYPE:
    case WM_FTP_SIZE:
        OnFtpSize(message, s, word);
        break;
    case WM_FTP_AUTH:
        OnFtpAuth(s, word);
        break;
    case WM_FTP_TLS:
        OnFtpTls(s, word);
        break;
    case WM_FTP_PBSZ:
        OnFtpPbsz(s, word);
        break;
    case WM_FTP_PROT:
        OnFtpProt(s, word);
        break;
    case WM_FTP_QUIT:
        OnFtpQuit(s, word);
        break;
    default:
        break;
    }
}

int CFtpEngine::EnqueueOp(Operation op) {
    if (!m_ctrlSocket.valid())
        return 0;
    m_opQueue.push_back(std::move(op));
    return 1;
}

void CFtpEngine::QueueTransfer(Operation op) {
    if (m_transferSink)
        m_transferSink(std::move(op));
    else
        m_opQueue.push_back(std::move(op));
}

int CFtpEngine::HandOver(Operation op) {
    if (!m_transferSink)
        return RunTransfer(std::move(op));
    if (!m_ctrlSocket.valid())
        return 0;
    m_transferSink(std::move(op));
    return 1;
}

int CFtpEngine::RunTransfer(Operation op) {
    m_timedOut = false;
    if (!EnqueueOp(std::move(op)))
        return 0;
    DispatchNextOp();
    return 1;
}

void CFtpEngine::ResumeAfterDeletes() {
    if (m_busy == 0 && !m_opQueue.empty() && IsConnected())
        DispatchNextOp();
}

void CFtpEngine::EndRun() {
    if (m_run.use_count() > 1)
        return;
    m_run->written.clear();
    m_run->replaceAll = false;
}

void CFtpEngine::InsertOpFront(Operation op) {
    m_opQueue.push_front(std::move(op));
}

bool CFtpEngine::QueueWalkStep(std::vector<Operation>& ops, const std::string& folder,
                               const std::string& work) {
    std::uint32_t walk = WalkOf(m_op);
    if (walk == 0) {
        walk = ++m_walkSerial;
        SetWalk(m_op, walk);
    }
    if (m_opQueue.size() + ops.size() > m_maxQueueLength) {
        LogFailure("フォルダ「" + ShownName(folder) + "」には " + std::to_string(ops.size()) +
                   " 個の項目があり、待っている処理が多すぎるため、" + work + "を中止しました。\r\n");
        std::erase_if(m_opQueue, [walk](const Operation& op) { return WalkOf(op) == walk; });
        return false;
    }
    for (Operation& op : ops)
        SetWalk(op, walk);
    m_opQueue.insert(m_opQueue.begin(), std::make_move_iterator(ops.begin()),
                     std::make_move_iterator(ops.end()));
    return true;
}

int CFtpEngine::DispatchNextOp() {
    for (;;) {
        if (m_busy == 1)
            return 1;
        // Whatever the last operation waited for is over; a time-out it left running would fire
        // on the next operation or on an idle session.
        m_replyTimer.stop();
        m_progress.ClearSpeedText();
        m_ui.ProgressChanged(m_progress);
        ReturnToUserFolder();
        if (m_opQueue.empty()) {
            ShowResult();
            ResetProgress();
            m_busy = 0;
            // The run is over: a later download may replace what this one wrote.
            EndRun();
            Arm(m_ctrlSocket.id(), WM_FTP_IDLE, Read | Close);
            emit Idle();
            return 0;
        }
        if (std::holds_alternative<Op::RemoveFolder>(m_opQueue.front()) && m_deletesPending &&
            m_deletesPending()) {
            // The folder's files are still being deleted elsewhere: it waits for them, and the
            // session listens for what the server may say meanwhile.
            m_busy = 0;
            Arm(m_ctrlSocket.id(), WM_FTP_IDLE, Read | Close);
            return 1;
        }
        m_op = std::move(m_opQueue.front());
        m_opQueue.pop_front();
        m_curOp = FirstStep(m_op);
        m_busy = 1;
        if (m_resting) {
            m_resting = false;
            m_result.clear();
            m_resultIsFailure = false;
        }

        if (const auto* open = std::get_if<Op::ShellOpen>(&m_op)) {
            m_ui.ShellOpen(open->path, open->verb);
            m_busy = 0;
            continue;
        }
        if (const auto* download = std::get_if<Op::Download>(&m_op)) {
            ResetProgress();
            m_busy = StartDownload(*download);
            if (m_busy == 0)
                continue;
            return 1;
        }
        if (const auto* upload = std::get_if<Op::Upload>(&m_op)) {
            ResetProgress();
            m_busy = StartUpload(*upload) ? 1 : 0;
            if (m_busy == 0)
                continue;
            return 1;
        }
        // A listing and the small steps of a folder walk leave the progress shown as it is.
        const bool list = std::holds_alternative<Op::List>(m_op);
        if (!list && !std::holds_alternative<Op::DeleteFile>(m_op) &&
            !std::holds_alternative<Op::RemoveFolder>(m_op) &&
            !std::holds_alternative<Op::ListToDownload>(m_op))
            ResetProgress();
        // A listing begins with its TYPE step, every other operation under its own message.
        Arm(m_ctrlSocket.id(), list ? ChainOfOp(WM_FTP_LIST)->type : m_curOp, Write | Close);
        return 1;
    }
}

void CFtpEngine::EndOperation() {
    // A listing asked for by a caller of its own is answered whatever became of it.
    if (auto* listing = std::get_if<Op::ListFolder>(&m_op))
        if (auto done = std::exchange(listing->done, nullptr))
            done(false, {});
    // Only the running operation has a data side; what is left of it goes with it, so no later
    // data can land in its file.
    DropDataSide();
    m_busy = 0;
    DispatchNextOp();
}

bool CFtpEngine::SecondOfTwoEvents() {
    if (m_firstOfTwoSeen)
        return true;
    m_firstOfTwoSeen = true;
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

DataConn* CFtpEngine::FindDataConn(SocketId s) {
    if (s == kNoSocket)
        return nullptr;
    for (DataConn& conn : m_dataConns) {
        if (conn.sock == s || conn.waiting == s)
            return &conn;
    }
    return nullptr;
}

DataConn* CFtpEngine::RunningDataConn() {
    return m_busy == 1 && !m_dataConns.empty() ? &m_dataConns.back() : nullptr;
}

bool CFtpEngine::IsTransferring() const {
    for (const DataConn& conn : m_dataConns) {
        if (conn.IsTransfer())
            return true;
    }
    return false;
}

void CFtpEngine::EndSession(bool quit) {
    ++m_sessionSerial;
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
        if (quit)
            m_quitSocket = std::move(m_ctrlSocket);
        else
            m_ctrlSocket.shutdownAndClose();
        m_ui.SetConnectedState(false);
    }
    DropDataSide();
    EndRun();
    ResetProgress();
    m_reply.DiscardPending();
    SetNames(NameCodec(RemoteCharsetOfNumber(m_host.charset)));
    m_listByMlsd = false;
    m_loggedIn = false;
    m_knownFolder.reset();
    m_leftUserFolder = false;
    m_ctrlTls = false;
    m_protP = false;
    m_ctrlCertificate.clear();
    m_tlsSessions.reset();
    m_features = FtpFeatures();
    m_extendedRefused = false;
    m_typeAscii.reset();
    emit Ended();
}

void CFtpEngine::CloseSession() {
    // A server that stopped answering is not asked to say goodbye, nor one that has not logged
    // the user in.
    if (!m_loggedIn || !m_ctrlSocket.valid() || m_timedOut) {
        EndSession();
        return;
    }
    // Only the last session's QUIT is waited for.
    if (m_quitSocket.valid())
        EndQuit(m_quitHost + "との接続を切断しました。\r\n");
    SendCommand(m_ctrlSocket.id(), "QUIT");
    m_quitHost = m_host.Name;
    m_quitReply = ReplyReader();
    EndSession(true);
    m_events.Select(m_quitSocket.id(), WM_FTP_QUIT, Read | Close);
    m_quitTimer.start(m_timeoutMs != 0 ? m_timeoutMs : kLoginLimitMs);
}

void CFtpEngine::OnFtpQuit(SocketId s, std::uint32_t word) {
    if (!(m_quitSocket == s))
        return;
    if (EventKind(word) == Read) {
        std::string text;
        char buffer[512];
        for (long n; (n = m_events.Receive(s, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(n));
        // What the server still had to say before it answers QUIT is shown as well.
        for (bool whole = m_quitReply.Feed(text); whole; whole = m_quitReply.Feed({})) {
            m_ui.AppendLog(m_quitReply.LastReply());
            if (m_quitReply.Code() == 221) {
                EndQuit(m_quitHost + "との接続を切断しました。\r\n");
                return;
            }
        }
        if (m_quitReply.PendingSize() <= kMaxPendingReply)
            return;
    }
    EndQuit(m_quitHost + "との接続を切断しました。\r\n");
}

void CFtpEngine::EndQuit(const std::string& line) {
    m_quitTimer.stop();
    m_quitSocket.shutdownAndClose();
    m_quitReply = ReplyReader();
    m_ui.AppendLog(line);
    emit QuitDone();
}

void CFtpEngine::CloseSessionLost() {
    EndSession();
    LogFailure("ホストから切断されました。\r\n");
}

bool CFtpEngine::CanCancel() const {
    return IsConnected() && (m_busy != 0 || !m_opQueue.empty());
}

void CFtpEngine::CancelTransfers() {
    if (!m_loggedIn) {
        // Before the login has ended there is nothing to abort: ABOR would only be taken for the
        // answer to USER or PASS. The connecting is given up.
        EndSession();
        m_busy = 0;
        m_ui.AppendLog("接続を取りやめました。\r\n");
        return;
    }
    m_opQueue.clear();
    m_busy = 0;
    SetStatusText("キャンセル処理中です");
    // Data connections go first and without a shutdown: the server learns of the abort by ABOR.
    DropDataSide();
    EnqueueOp(Op::Abort{});
    DispatchNextOp();
}

void CFtpEngine::OnFtpAbor(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_ABOR, "ABOR"))
        return;
    const int code = m_reply.Code();
    if (code < 200 || code == 426) {
        // 426 answers the interrupted transfer; the reply to ABOR itself follows, and is waited
        // for no longer than any reply.
        Arm(s, WM_FTP_ABOR, Read | Close);
        WatchTransfer();
        return;
    }
    EndOperation();
}

void CFtpEngine::OnFtpIdle(SocketId s, std::uint32_t word) {
    switch (EventKind(word)) {
    case Read:
        // Replies that came together are each logged; the registration stays as it is.
        while (ReadReply(s) && m_ctrlSocket == s && m_reply.Waiting()) {
        }
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
    case TIMER_REPLY: {
        m_replyTimer.stop();
        if (!m_ctrlSocket.valid())
            break;
        if (!m_loggedIn) {
            // Until the greeting (the name lookup, the connect, the greeting itself) the server
            // has not been reached at all.
            const int step = m_events.Message(m_ctrlSocket.id());
            const bool reached = m_lookupId == -1 && step != WM_FTP_CONNECT && step != WM_FTP_FIRECONNECT;
            // A login that cannot go on leaves no half-open session behind.
            EndSession();
            m_busy = 0;
            LogFailure(reached ? "タイムアウトしました。\r\n" : ConnectFailureLine(SocketError::TimedOut));
            break;
        }
        if (m_busy == 1 && m_curOp == WM_FTP_ABOR) {
            // A server that answers neither the transfer nor its abort is no longer in step with
            // the session: anything sent now could be taken for an answer to something else.
            EndSession();
            LogFailure("中止の応答がないため、切断しました。\r\n");
            break;
        }
        const DataChain* chain = m_busy == 1 ? ChainOfOp(m_curOp) : nullptr;
        const DataConn* conn = RunningDataConn();
        if (chain && conn && conn->commandSent) {
            AbortSilentTransfer(*chain);
            break;
        }
        Disarm(m_ctrlSocket.id());
        m_timedOut = true;
        LogFailure("タイムアウトしました。\r\n");
        m_busy = 0;
        m_opQueue.clear();
        DropDataSide();
        ResetProgress();
        ShowResult();
        Arm(m_ctrlSocket.id(), WM_FTP_IDLE, Read | Close);
        emit Idle();
        break;
    }
    case TIMER_REARM:
        for (const DataConn& conn : m_dataConns) {
            if (!conn.sock.valid())
                continue;
            // A protected connection waits for its handshake, which arms it itself.
            if (m_protP && conn.tls != DataConn::Tls::Done)
                continue;
            if (conn.msg == WM_FTP_PUTDATA) {
                // An upload's data waits for its STOR, or the server gets bytes it has no file for.
                if (conn.commandSent)
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

void CFtpEngine::WatchTransfer() {
    StartReplyTimer();
}

void CFtpEngine::StartReplyTimer() {
    const std::int32_t limit = m_timeoutMs != 0 ? m_timeoutMs : m_loggedIn ? 0 : kLoginLimitMs;
    if (limit != 0)
        m_replyTimer.start(limit);
}

bool CFtpEngine::CommandStep(SocketId s, std::uint32_t word, int message, const std::string& command) {
    Disarm(s);
    switch (EventKind(word)) {
    case Write:
        if (!command.empty())
            SendCommand(s, command);
        Arm(s, message, Read | Close);
        return false;
    case Read:
        if (ReadReply(s))
            return true;
        if (m_ctrlSocket == s)
            Arm(s, message, Read | Close);
        return false;
    case Close:
        if (message >= WM_FTP_FIRECONNECT && message <= WM_FTP_FIREOPEN)
            FirewallLost();
        else
            CloseSessionLost();
        return false;
    default:
        return false;
    }
}

void CFtpEngine::ResetProgress() {
    m_progress.ResetProgress();
    m_ui.ProgressChanged(m_progress);
}

void CFtpEngine::SetNames(const NameCodec& names) {
    if (names == m_names)
        return;
    m_names = names;
    m_ui.NamesChanged(m_names);
}

void CFtpEngine::SetStatusText(const std::string& text, const std::string& iconFor) {
    m_ui.SetStatusText(text, iconFor);
}
