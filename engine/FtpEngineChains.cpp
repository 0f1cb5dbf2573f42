#include "engine/FtpEngine.h"

#include "engine/DataChains.h"
#include "engine/RemoteNames.h"
#include "engine/ReplyTexts.h"
#include "platform/TextCodec.h"

#include <QFileInfo>

#include <algorithm>

using namespace SocketEvent;

namespace {
constexpr DataChain kChains[] = {
    {WM_FTP_LIST, WM_FTP_TYPE, WM_FTP_PASV, 0, WM_FTP_LIST, WM_FTP_LISTDATA},
    {WM_FTP_GETCWD, WM_FTP_GETDIRTYPE, WM_FTP_GETDIRPASV, 0, WM_FTP_GETDIRLIST, WM_FTP_GETDIRDATA},
    {WM_FTP_DELCWD, WM_FTP_DELTYPE, WM_FTP_DELPASV, 0, WM_FTP_DELLIST, WM_FTP_DELDATA},
    {WM_FTP_TREECWD, WM_FTP_TREETYPE, WM_FTP_TREEPASV, 0, WM_FTP_TREELIST, WM_FTP_TREEDATA},
    {OP_DOWNLOAD, WM_FTP_GETTYPE, WM_FTP_GETPASV, WM_FTP_REST, WM_FTP_RETR, WM_FTP_GETDATA},
    {OP_UPLOAD, WM_FTP_PUTTYPE, WM_FTP_PUTPASV, WM_FTP_PUTREST, WM_FTP_STOR, WM_FTP_PUTDATA},
};

const char* const kListFailed = "カレントディレクトリのファイル一覧を取得できませんでした。\r\n";
const char* const kDownloadFailed = "ダウンロードは失敗しました。\r\n";
const char* const kUploadFailed = "アップロードは失敗しました。\r\n";
const char* const kDataLost = "データ接続が途中で切れました。\r\n";
const char* const kOpenFailed = "ファイルのオープンが失敗しました\r\n";
const char* const kWriteFailed = "ファイルの書き込みが失敗しました。\r\n";

// A listing is read in pieces of this size until the socket has nothing more.
constexpr std::size_t kListPiece = 64 * 1024;

const char* FailureText(const DataChain& chain) {
    return chain.IsDownload() ? kDownloadFailed : chain.IsUpload() ? kUploadFailed : kListFailed;
}

bool IsPositive(int code) {
    return code >= 200 && code < 300;
}

// The line of a finished transfer, naming where the file went: a download's local file by its
// whole path (lumo-cli may have been given a relative folder), an upload's path on the server.
std::string FinishedLine(const DataChain& chain, const DataConn* conn) {
    const std::string done =
        chain.IsDownload() ? "ダウンロードが正常終了しました" : "アップロードは正常終了しました";
    if (!conn)
        return done + "。\r\n";
    if (chain.IsDownload())
        return done + "（保存先：" +
               ShownName(
                   QFileInfo(QString::fromStdString(conn->localPath)).absoluteFilePath().toStdString()) +
               "）。\r\n";
    return done + "（送信先：" + ShownName(conn->remotePath) + "）。\r\n";
}
} // namespace

const DataChain* ChainOfMessage(int message) {
    for (const DataChain& c : kChains) {
        if (message == c.type || message == c.pasv || (c.rest != 0 && message == c.rest) ||
            message == c.transfer || message == c.data)
            return &c;
    }
    return nullptr;
}

const DataChain* ChainOfOp(int op) {
    for (const DataChain& c : kChains) {
        if (op == c.op)
            return &c;
    }
    return nullptr;
}

DataConn& CFtpEngine::DataSide(const DataChain& chain) {
    if (m_dataConns.empty()) {
        DataConn conn;
        conn.msg = chain.data;
        m_dataConns.push_back(std::move(conn));
    }
    return m_dataConns.back();
}

void CFtpEngine::OnTypeStep(const DataChain& chain, SocketId s, std::uint32_t word) {
    // Listings are always ASCII; a transfer takes the mode chosen when its TYPE goes out.
    const auto ascii = [&] { return chain.IsListing() || DataSide(chain).ascii; };
    std::string command;
    if (EventKind(word) == Write) {
        if (!chain.IsListing())
            DataSide(chain).ascii = m_ui.IsAsciiMode();
        // The type stays until it is changed: asking for it again costs a round trip per file.
        if (m_typeAscii == ascii()) {
            Arm(s, chain.pasv, Write | Close);
            return;
        }
        command = ascii() ? "TYPE A" : "TYPE I";
    }
    if (!CommandStep(s, word, chain.type, command))
        return;
    if (IsPositive(m_reply.Code())) {
        m_typeAscii = ascii();
        Arm(s, chain.pasv, Write | Close);
    } else {
        m_typeAscii.reset();
        FailChain(chain);
    }
}

void CFtpEngine::OnPassiveOrPortStep(const DataChain& chain, SocketId s, std::uint32_t word) {
    const bool passive = m_host.Pasv != 0;
    const bool extended = UseExtendedDataCommand(s, passive);
    std::string command;
    if (EventKind(word) == Write) {
        DataConn& conn = DataSide(chain);
        conn.waiting.close();
        if (passive) {
            command = extended ? "EPSV" : "PASV";
        } else {
            command = extended ? MakeExtendedPortCommand(s, conn.waiting) : MakePortCommand(s, conn.waiting);
            if (command.empty()) {
                LogFailure("データ接続を待ち受けられませんでした。\r\n");
                FailChain(chain);
                return;
            }
            Arm(conn.waiting.id(), chain.data, Accept);
        }
    }
    if (!CommandStep(s, word, chain.pasv, command))
        return;
    const int code = m_reply.Code();
    const int next = chain.rest != 0 && DataSide(chain).offset != 0 ? chain.rest : chain.transfer;
    if (passive && code == (extended ? 229 : 227)) {
        std::string address;
        int port = 0;
        // Only the port is taken from the reply: the data connection goes to the control
        // connection's peer, so a server cannot send the client to another host.
        const bool read = extended ? ParseEpsvReply(m_reply.LastLine(), port)
                                   : ParsePasvReply(m_reply.LastLine(), address, port);
        if (!read || !ConnectDataToPeer(chain, s, DataSide(chain), port)) {
            LogFailure(std::string(extended ? "EPSV" : "PASV") +
                       " の応答からデータ接続の宛先が読み取れませんでした。\r\n");
            FailChain(chain);
            return;
        }
        Arm(s, next, Write | Close);
    } else if (!passive && IsPositive(code)) {
        Arm(s, next, Write | Close);
    } else if (extended && code >= 500 && !ControlIsV6(s)) {
        // The server listed the command but will not take it: PASV and PORT from now on.
        m_extendedRefused = true;
        DataSide(chain).waiting.close();
        Arm(s, chain.pasv, Write | Close);
    } else {
        FailChain(chain);
    }
}

void CFtpEngine::OnRestStep(const DataChain& chain, SocketId s, std::uint32_t word) {
    const std::string command =
        EventKind(word) == Write ? "REST " + std::to_string(DataSide(chain).offset) : "";
    if (!CommandStep(s, word, chain.rest, command))
        return;
    if (m_reply.Code() == 350) {
        Arm(s, chain.transfer, Write | Close);
        return;
    }
    if (TransferWholeAfterRefusedRest(chain, DataSide(chain))) {
        Arm(s, chain.transfer, Write | Close);
        return;
    }
    if (m_ctrlSocket == s)
        EndOperation();
}

bool CFtpEngine::TransferWholeAfterRefusedRest(const DataChain& chain, DataConn& conn) {
    const SocketId s = m_ctrlSocket.id();
    const std::string name = ShownName(LastNameOf(conn.remotePath));
    // While the question is open, a server that gives up is still noticed.
    Arm(s, chain.rest, Close);
    const Answer answer =
        m_ui.AskTransferWhole(chain.IsDownload() ? OverwriteForm::Download : OverwriteForm::Upload,
                              conn.localPath, conn.remotePath);
    if (!(m_ctrlSocket == s))
        return false;
    if (answer != Answer::Yes) {
        LogFailure("サーバーが続きからの転送を受け付けないため、「" + name + "」を転送しませんでした。\r\n");
        return false;
    }
    // The refusal was gone round: no failure.
    m_ui.RefusalHandled();
    m_ui.AppendLog("サーバーが続きからの転送を受け付けないため、「" + name + "」を最初から転送します。\r\n");
    conn.offset = 0;
    if (chain.IsUpload() && conn.file)
        conn.file->seek(0);
    if (chain.IsDownload())
        conn.open = WriteOpen::Truncate;
    m_progress.BeginProgress(0, static_cast<std::uint64_t>(std::max<std::int64_t>(conn.expected, 0)));
    ShowProgress(true);
    return true;
}

void CFtpEngine::OnTransferStep(const DataChain& chain, SocketId s, std::uint32_t word) {
    std::string command;
    if (EventKind(word) == Write) {
        m_firstOfTwoSeen = false;
        if (chain.IsListing()) {
            BeginListingReview();
            const auto* folder = std::get_if<Op::ListFolder>(&m_op);
            const bool exact = folder && folder->exactTimes && m_features.Has("MLST");
            command = m_listByMlsd || exact ? "MLSD" : "LIST";
        } else {
            command = (chain.IsDownload() ? "RETR " : "STOR ") + DataSide(chain).remotePath;
        }
    }
    if (!CommandStep(s, word, chain.transfer, command)) {
        if (EventKind(word) == Write) {
            DataConn& conn = DataSide(chain);
            conn.commandSent = true;
            if (m_protP) {
                if (DataMayFlow(chain, conn) && chain.IsUpload())
                    ArmUploadData(conn);
            } else if (chain.IsUpload()) {
                ArmUploadData(conn);
            }
        }
        return;
    }
    const int code = m_reply.Code();
    if (chain.IsUpload()) {
        DataConn& conn = DataSide(chain);
        conn.answered = true;
        if (conn.sentWhole && !conn.ended && code < 300)
            DataSideEnded(chain, conn);
    }
    if (code < 200) {
        // The server has accepted the transfer: only now may a download touch its local file.
        DataConn& conn = DataSide(chain);
        if (chain.IsDownload() && !conn.ended) {
            conn.announced = ParseAnnouncedSize(m_reply.LastLine());
            if (!conn.file && !OpenDownloadFile(conn))
                FailDataSide(chain, conn, kOpenFailed);
        }
        if (m_ctrlSocket == s)
            Arm(s, chain.transfer, Read | Close);
        WatchTransfer();
        return;
    }
    if (!IsPositive(code)) {
        if (chain.IsListing() && code >= 500 && m_features.Has("MLST") && !m_listByMlsd) {
            // A server that lists only by MLSD: the session lists that way from now on. LIST stays
            // the first choice because some servers' MLSD (pyftpdlib's among them) reports a link
            // as the entry it points to, and a folder delete must never go through a link.
            m_listByMlsd = true;
            m_ui.RefusalHandled();
            m_ui.AppendLog("LIST が使えないため、MLSD で一覧を取得します。\r\n");
            m_dataConns.clear();
            m_firstOfTwoSeen = false;
            Arm(s, chain.type, Write | Close);
            return;
        }
        FinishChain(chain, false);
        return;
    }
    if (SecondOfTwoEvents())
        FinishChain(chain, true);
    else
        WatchTransfer();
}

void CFtpEngine::OnDataEvent(const DataChain& chain, SocketId s, std::uint32_t word) {
    DataConn* conn = FindDataConn(s);
    if (!conn)
        return;
    switch (EventKind(word)) {
    case Accept: {
        if (!(conn->waiting == s))
            break;
        Socket accepted = AcceptData(conn->waiting);
        if (!accepted.valid())
            break;
        conn->sock = std::move(accepted);
        DataConnected(chain, *conn);
        break;
    }
    case SocketEvent::Connect:
        if (!(conn->waiting == s))
            break;
        if (EventError(word) != 0) {
            // The server's reply to the transfer command reports the missing connection.
            conn->waiting.close();
            break;
        }
        conn->sock = std::move(conn->waiting);
        DataConnected(chain, *conn);
        break;
    case SocketEvent::Tls:
        if (conn->sock == s)
            DataTlsDone(chain, *conn, word);
        break;
    case Read:
        if (!(conn->sock == s))
            break;
        if (chain.IsListing()) {
            DrainToListData(chain, *conn);
        } else if (chain.IsDownload()) {
            if (!conn->file && !OpenDownloadFile(*conn))
                FailDataSide(chain, *conn, kOpenFailed);
            else if (!WriteDownloadData(*conn))
                FailDataSide(chain, *conn, kWriteFailed);
            else if (conn->commandSent)
                WatchTransfer();
        }
        break;
    case Write:
        if (!(conn->sock == s) || !chain.IsUpload())
            break;
        if (SendUploadChunk(*conn, m_sendChunk)) {
            Arm(s, chain.data, Write);
            WatchTransfer();
        } else if (conn->failure.empty() && !conn->answered) {
            conn->sentWhole = true;
            Disarm(s);
            WatchTransfer();
        } else {
            DataSideEnded(chain, *conn);
        }
        break;
    case Close:
        if (!(conn->sock == s))
            break;
        // A reset or an error cuts the data short, whatever the server says afterwards.
        if (EventError(word) != 0)
            FailDataSide(chain, *conn, kDataLost);
        else
            DataSideEnded(chain, *conn);
        break;
    default:
        break;
    }
}

void CFtpEngine::DataConnected(const DataChain& chain, DataConn& conn) {
    if (!chain.IsListing())
        m_progress.MarkTransferStart();
    if (DataMayFlow(chain, conn))
        ArmDataFlow(chain, conn);
}

void CFtpEngine::DataSideEnded(const DataChain& chain, DataConn& conn) {
    if (conn.ended)
        return;
    conn.ended = true;
    if (chain.IsDownload()) {
        // The last piece's count reaches the screen before the bar goes.
        ShowProgress(true);
        if (conn.ascii && conn.file && conn.failure.empty()) {
            std::string rest;
            conn.crLfToLf.Finish(rest);
            if (!rest.empty() && conn.file->write(rest.data(), static_cast<qint64>(rest.size())) !=
                                     static_cast<qint64>(rest.size())) {
                conn.failure = kWriteFailed;
                LogFailure(kWriteFailed);
            }
        }
    }
    // For an upload the orderly close tells the server that the file is whole.
    conn.sock.shutdownAndClose();
    conn.waiting.close();
    ResetProgress();
    if (SecondOfTwoEvents())
        FinishChain(chain, true);
    else
        WatchTransfer();
}

void CFtpEngine::FailDataSide(const DataChain& chain, DataConn& conn, const std::string& why) {
    if (conn.failure.empty()) {
        conn.failure = why;
        LogFailure(why);
    }
    DataSideEnded(chain, conn);
}

void CFtpEngine::FailChain(const DataChain& chain) {
    LogFailure(FailureText(chain));
    EndOperation();
}

void CFtpEngine::FinishChain(const DataChain& chain, bool replyAccepted) {
    DataConn* conn = RunningDataConn();
    bool ok = replyAccepted && (!conn || conn->failure.empty());
    if (ok && chain.IsDownload() && conn) {
        // A transfer the server ended without any data is an empty file.
        if (!conn->file && !OpenDownloadFile(*conn)) {
            LogFailure(kOpenFailed);
            ok = false;
        } else if (const std::int64_t size = SizeShortOrLong(*conn); size >= 0) {
            LogFailure("受信したサイズ (" + std::to_string(conn->offset + conn->moved) +
                       " バイト) がサーバーの示したサイズ (" + std::to_string(size) +
                       " バイト) と違います。\r\n");
            ok = false;
        }
    }
    if (!ok) {
        LogFailure(FailureText(chain) + (chain.IsDownload() && conn ? LeftOnDisk(*conn) : std::string()));
        EndOperation();
        return;
    }
    if (chain.IsListing()) {
        FinishListing();
        return;
    }
    // The file is whole: nothing of it is left over when the data side goes.
    if (conn)
        conn->file.reset();
    const std::string line = FinishedLine(chain, conn);
    m_ui.AppendLog(line);
    NoteResult(line, false);
    EndOperation();
}

void CFtpEngine::FinishListing() {
    m_review.Finish();
    // A folder download or delete that left entries behind unnoticed would report success.
    const bool readable = ApplyListingReview(m_curOp != WM_FTP_LIST);
    std::vector<RemoteEntry> entries = m_review.TakeEntries();
    switch (m_curOp) {
    case WM_FTP_LIST:
        m_ui.FillFileList(std::move(entries));
        break;
    case WM_FTP_GETCWD: {
        const auto& folder = std::get<Op::ListToDownload>(m_op);
        ExpandDownloadFolder(entries, folder.local, folder.remote, folder.existing, folder.depth);
        break;
    }
    case WM_FTP_DELCWD:
        ExpandFolderDelete(std::get<Op::ListToDelete>(m_op).path, entries);
        break;
    case WM_FTP_TREECWD:
        if (auto done = std::exchange(std::get<Op::ListFolder>(m_op).done, nullptr))
            done(readable, std::move(entries));
        break;
    default:
        break;
    }
    EndOperation();
}

std::int64_t CFtpEngine::SizeShortOrLong(const DataConn& conn) {
    // In ASCII mode line ends change the length on the way.
    if (conn.ascii)
        return -1;
    const std::int64_t whole = conn.offset + conn.moved;
    // The reply to RETR is the newer word; after REST some servers announce what is left to send.
    if (conn.announced >= 0)
        return whole == conn.announced || (conn.offset > 0 && conn.moved == conn.announced) ? -1
                                                                                            : conn.announced;
    return conn.expected >= 0 && whole != conn.expected ? conn.expected : -1;
}

void CFtpEngine::DrainToListData(const DataChain& chain, DataConn& conn) {
    char buffer[kListPiece];
    for (;;) {
        const long n = m_events.Receive(conn.sock.id(), buffer, sizeof buffer);
        if (n < 1)
            break;
        conn.moved += n;
        if (conn.moved > static_cast<std::int64_t>(kMaxListing)) {
            m_review.Release();
            FailDataSide(chain, conn, "ファイル一覧が大きすぎるため、受信を打ち切りました。\r\n");
            return;
        }
        // Piece by piece: the server goes on sending into the socket's buffer while a piece is read.
        m_review.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    }
    WatchTransfer();
}

void CFtpEngine::AbortSilentTransfer(const DataChain& chain) {
    m_timedOut = true;
    DataConn* conn = RunningDataConn();
    LogFailure("タイムアウトしました。\r\n");
    LogFailure(FailureText(chain) + (chain.IsDownload() && conn ? LeftOnDisk(*conn) : std::string()));
    m_opQueue.clear();
    DropDataSide();
    m_busy = 0;
    EnqueueOp(Op::Abort{});
    DispatchNextOp();
}
