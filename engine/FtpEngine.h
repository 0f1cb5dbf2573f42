#pragma once

#include "engine/DataConn.h"
#include "engine/EngineMessages.h"
#include "engine/EngineUi.h"
#include "engine/FtpExtensions.h"
#include "engine/ListingReview.h"
#include "engine/Operation.h"
#include "engine/ReplyReader.h"
#include "engine/TransferProgress.h"
#include "hosts/HostRecord.h"
#include "platform/LocalFiles.h"
#include "platform/NameCodec.h"
#include "platform/NameLookup.h"
#include "platform/Socket.h"
#include "platform/SocketEvents.h"
#include "settings/FirewallSettings.h"
#include "settings/PasswordVault.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

struct DataChain;

// What one run of transfers has written and been told: the local files written (with the remote
// file each came from), so that a second remote name that becomes the same local name never
// replaces the first, and whether the user said "overwrite all". The sessions of a transfer queue
// share one.
struct TransferRun {
    std::unordered_map<LocalFileId, std::string, LocalFileIdHash> written;
    bool replaceAll = false;
};

// The FTP session engine: one session at a time, driven by socket events on the UI thread.
//
// Every protocol step is a message with its handler. A step is entered by registering a socket
// for the step's message and a set of events; the handler then sends one command or reads one
// reply and registers for the next step. Operations wait in m_opQueue; DispatchNextOp starts the
// next one whenever none runs. The five chains that move data (the folder listing, the listings of
// a folder being downloaded or deleted, a file download, a file upload) share one set of steps:
// TYPE, PASV or PORT, REST, the command that moves the data, and the data socket.
class CFtpEngine : public QObject {
    Q_OBJECT
public:
    // What the host gets for each wait of the login (the connection, the greeting, the TLS
    // handshake, each reply) when the reply time-out is switched off: a silent server never holds
    // a login for ever.
    static constexpr std::int32_t kLoginLimitMs = 30000;
    // A reply that grows beyond this without ending ends the session instead of the memory.
    static constexpr std::size_t kMaxPendingReply = 1024 * 1024;
    // A listing that grows beyond this is cut off and fails.
    static constexpr std::size_t kMaxListing = 64 * 1024 * 1024;
    // A folder download goes this many levels below the folder chosen, no further.
    static constexpr std::int64_t kMaxFolderDepth = 100;
    // A folder download or delete walks its tree depth first, so the queue holds the folders on the
    // way down and what each of them lists; a tree whose folders list more than this in all (a
    // server that lists 200,000 folders in each) is given up instead of filling the memory.
    static constexpr std::size_t kMaxQueueLength = 1000000;

    explicit CFtpEngine(CEngineUi& ui, QObject* parent = nullptr);
    ~CFtpEngine() override;

    // Takes the reply time-out and the upload block size from the settings.
    void ReadSystemSettings();

    int Connect(int hostNumber);
    // Connects to a stored host as given (options may have changed it), its password and the
    // firewall's read from the desktop's keyring when they are kept there. The connection starts
    // once the keyring has answered: at once when it is not involved, and then ConnectHost's result.
    int ConnectStored(const HostRecord& host, int hostNumber);
    // Connects to a host as given, which need not be stored (-1 for no stored host).
    int ConnectHost(const HostRecord& host, int hostNumber);
    [[nodiscard]] bool IsConnected() const { return m_ctrlSocket.valid(); }
    // The host of the session; the commands may fill its empty folders for this session only.
    [[nodiscard]] const HostRecord& Host() const { return m_host; }
    HostRecord& Host() { return m_host; }
    [[nodiscard]] int HostNumber() const { return m_hostNumber; }
    // How this session's names go between the server's bytes and text.
    [[nodiscard]] const NameCodec& Names() const { return m_names; }
    // Whether something runs (the login included), and the code of the operation last started (0
    // while logging in).
    [[nodiscard]] bool IsBusy() const { return m_busy != 0; }
    [[nodiscard]] int CurrentOperation() const { return m_curOp; }
    // An operation runs or waits in the queue.
    [[nodiscard]] bool HasWork() const { return m_busy != 0 || !m_opQueue.empty(); }
    [[nodiscard]] const std::deque<Operation>& Queue() const { return m_opQueue; }
    // A transfer with a local file runs.
    [[nodiscard]] bool IsTransferring() const;
    [[nodiscard]] std::int32_t TimeoutMs() const { return m_timeoutMs; }
    void SetTimeoutMs(std::int32_t ms) { m_timeoutMs = ms; }
    // Whether the login folder is listed once logged in (as the window shows it); a caller that goes
    // elsewhere first saves that listing.
    void SetListAfterLogin(bool list) { m_listAfterLogin = list; }
    // Whether the session goes back to the user's folder after a listing for a caller took it
    // elsewhere; a transfer session has no such folder (its commands name whole paths), and going
    // back would cost a round trip after each listing.
    void SetReturnsToUserFolder(bool back) { m_returnsToUserFolder = back; }
    [[nodiscard]] std::int32_t SendChunk() const { return m_sendChunk; }

    // Ends the session as the user asks it to: a logged-in server is told QUIT, and its answer is
    // waited for (at most the reply time-out) on the side, while the engine is free for a new
    // session at once. Without a login, or after the server went quiet, the connection just closes.
    void CloseSession();
    // A QUIT still waits for its answer.
    [[nodiscard]] bool IsQuitting() const { return m_quitSocket.valid(); }
    void CancelTransfers();
    // The cancel command's rule: connected, and an operation runs or waits.
    [[nodiscard]] bool CanCancel() const;

    // Remote file operations. The queueing work of the commands: each queues its operations, a
    // listing refresh where the folder changes, and dispatches. Names come as the file list's raw
    // bytes; typed names as text, sent in the encoding the server uses.
    // Deletes entries of `folder` (the server's bytes, "" for the root), given as the file list's
    // rows: a folder with everything in it, a file or a link by itself. Nothing is asked; the
    // caller has had the deletion confirmed.
    void Delete(const std::string& folder, const std::vector<FileListRow>& entries);
    // Sends `command` (as "SITE CHMOD") with `mode` (the digits as typed, padded to three on the
    // right) for each named entry of `folder`.
    void ChangeAttributes(const std::string& folder, const std::vector<std::string>& names,
                          const std::string& command, std::string mode);
    // Renames an entry of the current folder. A name that exists already is replaced only when
    // the user agrees.
    void RenameEntry(const std::string& oldName, const QString& newName);
    // Moves the entry at `oldPath` (a whole path from the root) into the current folder as
    // `newName`, with the same question.
    void MoveEntry(const std::string& oldPath, const QString& newName);
    void CreateFolder(const QString& name);
    void ChangeFolder(const std::string& path);
    void GoToParentFolder();
    // Lists the folder the session is in again.
    void ListCurrentFolder();
    // A name typed or read locally, as the bytes the server gets: in NFC (a name copied from a Mac
    // arrives decomposed), in the host's character set; on 自動 in UTF-8 until a listing held
    // names in another set.
    [[nodiscard]] std::string ServerNameFor(const QString& name) const;

    // Uploads. Local paths are the file system's names; remote folders the server's bytes. False
    // from UploadFiles when the user cancelled (files before stay queued).
    bool UploadFiles(const std::string& remoteFolder, const std::vector<std::string>& localPaths);
    void UploadFolder(const std::string& localFolder, const std::string& remoteFolder);
    bool CreateIndexFile(const std::string& remoteFolder, const std::string& name);
    // Downloads. Local paths are UTF-8 texts; remote paths are the server's raw bytes.
    // One file per row (name, size, date of the file list); 0 when the user cancelled.
    int DownloadFiles(const std::string& localFolder, const std::vector<FileListRow>& files);
    // The same for files of `remoteFolder` (the server's bytes, "" for the root), wherever the
    // session stands.
    int DownloadFilesFrom(const std::string& remoteFolder, const std::string& localFolder,
                          const std::vector<FileListRow>& files);
    // Queues the folders' downloads; 0 on cancel (what was queued before stays). A local folder is
    // made when its remote one has been entered.
    int DownloadFolders(const std::string& localFolder, const std::vector<std::string>& names);
    // One file under a local path the user chose, whose question about an existing file was asked.
    void DownloadAs(const std::string& localPath, const std::string& remotePath, std::int64_t size);
    // Opens a local path with the desktop ("open" a file, "explore" a folder) once what is queued
    // now is done.
    void OpenWhenDone(const std::string& path, const std::string& verb);

    // Transfer queues. While a sink is set, the file downloads and uploads that the commands above
    // decide on (a walk's files included) go to it instead of this session's queue; the walk
    // itself (listings, folders made) stays here.
    using TransferSink = std::function<void(Operation)>;
    void SetTransferSink(TransferSink sink) { m_transferSink = std::move(sink); }
    // While one lives, the commands keep their transfers on this session: what waits for them here
    // (a file opened once fetched, the files a drag hands over) sees them done.
    class TransfersHere {
    public:
        explicit TransfersHere(CFtpEngine& engine)
            : m_engine(engine), m_sink(std::exchange(engine.m_transferSink, {})) {}
        ~TransfersHere() { m_engine.m_transferSink = std::move(m_sink); }
        TransfersHere(const TransfersHere&) = delete;
        TransfersHere& operator=(const TransfersHere&) = delete;

    private:
        CFtpEngine& m_engine;
        TransferSink m_sink;
    };
    // File deletes (Op::DeleteFile) go to the sink as well; a folder is removed only once
    // `deletesPending` says none of them waits or runs any more, and ResumeAfterDeletes() goes on.
    void SetDeletesPending(std::function<bool()> deletesPending) {
        m_deletesPending = std::move(deletesPending);
    }
    void ResumeAfterDeletes();
    // Runs one file transfer or delete as decided elsewhere (an Op::Download, Op::Upload or
    // Op::DeleteFile); 0 without a session.
    int RunTransfer(Operation op);
    // A file transfer decided elsewhere (a mirror's): to the transfer sink while one takes files,
    // else run on this session; 0 without a session.
    int HandOver(Operation op);
    // Logs in to the host of `first` with the account, firewall password and certificate its
    // login ended with: one more session of the same kind, which asks nothing the first has answered.
    int ConnectAs(const CFtpEngine& first);
    [[nodiscard]] bool IsLoggedIn() const { return m_loggedIn; }
    // Enters the folder at `path` (the server's bytes, a whole path) and lists it without touching
    // the file list; `done` gets whether the listing was read to its end, and its entries. It is
    // called once, with false when the folder cannot be entered or listed or the session is not
    // there; a session that ends meanwhile calls nothing (the session's end says enough).
    // With `exactTimes` it lists by MLSD where the server offers it, for times to the second.
    void ListFolder(const std::string& path,
                    std::function<void(bool complete, std::vector<RemoteEntry> entries)> done,
                    bool exactTimes = false);
    // Sets the servers' modification times of files (whole paths, seconds UTC) by MFMT, when FEAT
    // offers it; nothing otherwise. A refusal is logged, never a failure.
    void SetTimes(std::vector<std::pair<std::string, std::int64_t>> files);
    // Whether FEAT named `feature` (MLST, MFMT...).
    [[nodiscard]] bool Offers(std::string_view feature) const { return m_features.Has(feature); }
    // Asks the server for the size of the file at `path` (the server's bytes); once the engine
    // rests, LastSize() has it, or nothing when the server gave none (no such file, a folder, or no
    // SIZE at all).
    void QuerySize(const std::string& path);
    [[nodiscard]] std::optional<std::int64_t> LastSize() const { return m_lastSize; }
    // The server went quiet during the last transfer RunTransfer started: the session may be out
    // of step with it, or the server may no longer be reading it.
    [[nodiscard]] bool TimedOut() const { return m_timedOut; }
    // Shares one record of what a run wrote with other sessions; it is emptied by its owner then.
    void ShareRun(std::shared_ptr<TransferRun> run) { m_run = std::move(run); }

signals:
    // The queue ran dry and no operation runs: the session rests until something is asked.
    void Idle();
    // The QUIT of a closed session has been answered, or given up on.
    void QuitDone();
    // The session ended, lost or closed: no Idle comes for what it was doing.
    void Ended();

private:
    // Tests look at and set up states no command leads to through this.
    friend struct EngineProbe;

    // The protocol's internals: sockets, replies, the data connection, the steps of the chains.
    SocketId ControlSocket() const { return m_ctrlSocket.id(); }
    // Moves the socket into the first entry still waiting for one; 0 (and the socket left with the
    // caller) when none waits.
    int AttachDataSocket(Socket& sock);
    // The entry whose data socket, or listening or connecting socket, this is.
    DataConn* FindDataConn(SocketId s);

    // A listing or transfer ends on two events, the final reply and the end of its data side, in
    // either order: false for the first (which is only noted), true for the second.
    bool SecondOfTwoEvents();

    // Ends the session at once, telling the server nothing; with `quit` its connection stays open
    // as the one a QUIT waits on.
    void EndSession(bool quit = false);
    void CloseSessionLost();
    int ConnectTo(SocketId s, const std::string& address, int port);
    int ConnectFirewall();
    // Sends one command; the log shows it as sent, except a password, shown as "PASS".
    int SendCommand(SocketId s, const std::string& line);
    int ReadReply(SocketId s);

    // Every engine message comes in here and goes to its handler.
    void OnMessage(int message, SocketId s, std::uint32_t word);
    void OnTimer(int id);
    bool IsReplyTimerActive() const { return m_replyTimer.isActive(); }
    bool IsRearmTimerActive() const { return m_rearmTimer.isActive(); }

    // Reads a listing the server sent for what the rest of the session needs: every line it cannot
    // read is logged (as a failure when `failOnUnreadable`, for operations that would otherwise
    // leave entries behind unnoticed), and on 自動 the set of names that are not UTF-8 is noted.
    // False when a line could not be read.
    bool ReviewListing(const std::string& listing, bool failOnUnreadable);
    // Deleting a folder tree: the folder is entered and listed, then its contents (the entries of
    // its listing, whose names are taken) are queued.
    void ExpandFolderDelete(const std::string& folder, std::vector<RemoteEntry>& entries);
    bool StartUpload(const Op::Upload& upload);
    // A file transfer a command decided on: to the sink when one is set, else to the queue's end.
    void QueueTransfer(Operation op);
    // Forgets what the run wrote, unless other sessions share the record.
    void EndRun();

    // Opens `listening` on the control connection's local address and a free port; the PORT line,
    // or "" when any step fails.
    std::string MakePortCommand(SocketId ctrl, Socket& listening);
    // Takes the pending connection and closes `listening`; a connection from any host but the
    // control connection's peer is refused and the listening goes on (empty result).
    Socket AcceptData(Socket& listening);

    // Starts a file download; 0 when there is nothing to fetch (the local file is kept or whole) or
    // it cannot be written. What is on disk is decided on now; the local file is made or changed
    // only once the server has accepted the transfer.
    int StartDownload(const Op::Download& download);
    // Queues the files and subfolders of a folder's listing, `depth` levels below the folder chosen,
    // in front of anything queued later (the tree is walked depth first), each file with `existing`.
    // A listing that would make the queue longer than the bound gives up the whole walk.
    void ExpandDownloadFolder(const std::vector<RemoteEntry>& entries, const std::string& localFolder,
                              const std::string& remoteFolder, ExistingFile existing, std::int64_t depth);
    CSocketEvents& Events() { return m_events; }

    // Queues an operation at the end (0 without a session); DispatchNextOp starts the next one
    // unless one runs. Every public operation queues and dispatches by itself.
    int EnqueueOp(Operation op);
    void InsertOpFront(Operation op);
    int DispatchNextOp();
    // Queues the walk that deletes the folder `name` of `prefix` and everything in it.
    void DeleteFolderTree(const std::string& prefix, const std::string& name);

    // Session fields.
    Socket m_ctrlSocket;
    // The running operation, and the message it began with (0 while logging in).
    Operation m_op;
    std::int32_t m_curOp = 0;
    // The account the login sends: the host's, or what the user typed after a refusal.
    std::string m_loginUser;
    std::string m_loginPass;
    // The first of the two events that end a listing or a transfer has come (SecondOfTwoEvents).
    bool m_firstOfTwoSeen = false;
    std::int32_t m_busy = 0;
    std::int32_t m_timeoutMs = 30000;
    std::int32_t m_sendChunk = 4096;
    HostRecord m_host;
    int m_hostNumber = -1;
    // The address the last finished name lookup gave (IPv4 when the name has one).
    NetAddress m_lookedUpAddress;
    // The data side of the running operation: at most one entry, gone when the operation ends.
    std::vector<DataConn> m_dataConns;
    std::deque<Operation> m_opQueue;
    std::size_t m_maxQueueLength = kMaxQueueLength;
    std::uint32_t m_walkSerial = 0;
    // What this run of the queue wrote and was told (until it runs dry, when the record is this
    // session's own).
    std::shared_ptr<TransferRun> m_run = std::make_shared<TransferRun>();
    TransferSink m_transferSink;
    std::function<bool()> m_deletesPending;
    bool m_timedOut = false;
    std::optional<std::int64_t> m_lastSize;
    // The control connection's replies as they arrive.
    ReplyReader m_reply;
    // The listing being received, read as it arrives.
    ListingReview m_review;
    // LIST was refused and FEAT offered MLST: this session lists by MLSD.
    bool m_listByMlsd = false;
    // The login has succeeded.
    bool m_loggedIn = false;
    // The login folder is listed once logged in (SetListAfterLogin).
    bool m_listAfterLogin = true;
    // USER was answered 230 (no password needed).
    bool m_userAccepted = false;
    // The server's working folder as this session's own commands set it (a CWD to a whole path, a
    // readable PWD); empty when a command left it unknown.
    std::optional<std::string> m_knownFolder;
    // A folder download has entered folders below the one the user is in; the session goes back
    // before anything that depends on the working folder.
    bool m_leftUserFolder = false;
    bool m_returnsToUserFolder = true;
    // Encryption: the control connection speaks TLS, with this certificate (SHA-256); data
    // connections are protected (PROT P) and resume the control connection's TLS sessions.
    bool m_ctrlTls = false;
    bool m_protP = false;
    std::string m_ctrlCertificate;
    std::shared_ptr<CTlsSessionCache> m_tlsSessions;
    // What the server said it can do (FEAT, asked after the login); and whether it refused an
    // extended data command, after which the session keeps to PASV and PORT.
    FtpFeatures m_features;
    bool m_extendedRefused = false;
    // The transfer type the server last accepted (true for ASCII); TYPE goes out only when a chain
    // needs the other one. Unknown at the start of a session and after a refused TYPE.
    std::optional<bool> m_typeAscii;
    // The session's names: the host's set, UTF-8 when the server offered it, the set a listing
    // showed on 自動.
    NameCodec m_names;

    // The usual step of a command: sends `command` on the write event (nothing when it is empty),
    // waits for the whole reply, and ends the session on a close. True once a complete reply is
    // there.
    bool CommandStep(SocketId s, std::uint32_t word, int message, const std::string& command);
    void Arm(SocketId s, int message, std::uint32_t interest);
    void Disarm(SocketId s);
    // Ends the running operation, with whatever data side it had, and lets the next one start.
    void EndOperation();
    // Logs the engine's own text for something asked that was not done, and tells the UI.
    void LogFailure(const std::string& text);
    // What the status bar says once the session rests: the run's last failure, else its last
    // finished transfer. Shown at once when no session is left to run anything.
    void NoteResult(const std::string& line, bool failure);
    void ShowResult();
    void ResetProgress();
    // Takes the session's names and tells the UI when they differ from the last.
    void SetNames(const NameCodec& names);
    void SetStatusText(const std::string& text, const std::string& iconFor = {});
    void ShowProgress(bool now);
    // Restarts the reply timer: a transfer that has gone quiet for the time-out has failed.
    void WatchTransfer();
    // (Re)starts the reply timer for a wait on the server: the reply time-out, or during the login
    // kLoginLimitMs when the time-out is off.
    void StartReplyTimer();
    // The login was refused (USER or PASS, as `message` says): the account is asked for again, or
    // the session ends.
    void LoginRefused(SocketId s, int message);
    // After a preliminary reply (1xx, "ready in n minutes") a step of the login waits, timed anew,
    // for its reply proper under the same message. True when the reply was one.
    bool AwaitReplyProper(SocketId s, int message);
    // Stops the running transfer or listing whose server went quiet: ABOR, its reply waited for as
    // long as any other.
    void AbortSilentTransfer(const DataChain& chain);

    // Control-connection handlers, one per message.
    void OnFtpHostFound(int lookupId, std::uint32_t word);
    void OnFtpConnect(SocketId s, std::uint32_t word);
    void OnFtpUser(SocketId s, std::uint32_t word);
    void OnFtpPass(SocketId s, std::uint32_t word);
    void OnFtpFireConnect(SocketId s, std::uint32_t word);
    void OnFtpFireUser(SocketId s, std::uint32_t word);
    void OnFtpFirePass(SocketId s, std::uint32_t word);
    void OnFtpFireOpen(SocketId s, std::uint32_t word);
    void OnFtpAbor(SocketId s, std::uint32_t word);
    void OnFtpIdle(SocketId s, std::uint32_t word);
    void OnFtpPwd(SocketId s, std::uint32_t word);
    void OnFtpDele(SocketId s, std::uint32_t word);
    void OnFtpRmd(SocketId s, std::uint32_t word);
    void OnFtpCwd(SocketId s, std::uint32_t word);
    void OnFtpCdup(SocketId s, std::uint32_t word);
    void OnFtpMkd(SocketId s, std::uint32_t word);
    void OnFtpRnfr(SocketId s, std::uint32_t word);
    void OnFtpRnto(SocketId s, std::uint32_t word);
    void OnFtpChmod(SocketId s, std::uint32_t word);
    void OnFtpGetCwd(SocketId s, std::uint32_t word);
    void OnFtpDelCwd(SocketId s, std::uint32_t word);
    void OnFtpTreeCwd(SocketId s, std::uint32_t word);
    void OnFtpMfmt(SocketId s, std::uint32_t word);
    void OnFtpAuth(SocketId s, std::uint32_t word);
    void OnFtpTls(SocketId s, std::uint32_t word);
    void OnFtpPbsz(SocketId s, std::uint32_t word);
    void OnFtpProt(SocketId s, std::uint32_t word);
    // FEAT, then OPTS UTF8 ON when the host's names are on 自動 and the server offers UTF-8.
    void OnFtpFeat(int message, SocketId s, std::uint32_t word);
    void OnFtpSize(int message, SocketId s, std::uint32_t word);
    // The answer to the QUIT of a closed session, its close, or its time-out.
    void OnFtpQuit(SocketId s, std::uint32_t word);
    void EndQuit(const std::string& line);

    // Encrypted sessions.
    // The host name certificates are checked against: the host's address without brackets.
    std::string TlsHostName() const;
    // Starts the control connection's handshake; its end arrives as WM_FTP_TLS.
    void StartControlTls(SocketId s);
    // The certificate of the control connection is accepted (asking the user when nothing vouches
    // for it); false when it is refused.
    bool AcceptCertificate(SocketId s, const TlsPeerInfo& peer);
    void RememberCertificate(const std::string& sha256);
    // What follows the login's last reply: PBSZ and PROT on an encrypted session.
    void AfterLogin(SocketId s);
    // The data side may move data: no protection is asked for, or its handshake has ended. Starts
    // that handshake once the connection is up and the transfer command has gone out.
    bool DataMayFlow(const DataChain& chain, DataConn& conn);
    void DataTlsDone(const DataChain& chain, DataConn& conn, std::uint32_t word);
    // Registers the data socket for what the transfer moves.
    void ArmDataFlow(const DataChain& chain, DataConn& conn);
    // EPSV and EPRT rather than PASV and PORT: always on IPv6, on IPv4 when the server offers them.
    bool UseExtendedDataCommand(SocketId ctrl, bool passive) const;
    static bool ControlIsV6(SocketId ctrl);
    std::string MakeExtendedPortCommand(SocketId ctrl, Socket& listening);
    // Connects the data side to the control connection's peer at `port`; false when the peer is
    // unknown.
    bool ConnectDataToPeer(const DataChain& chain, SocketId ctrl, DataConn& conn, int port);

    // Login and firewall.
    void FirewallLost();
    void LoginSucceeded();

    // The working folder: a whole path the server was sent to, or unknown.
    void NoteFolderEntered(const std::string& path);
    // Queues the way back to the user's folder at the front when a folder download has left it and
    // what comes next depends on it.
    void ReturnToUserFolder();

    // The steps shared by the chains that move data.
    void OnTypeStep(const DataChain& chain, SocketId s, std::uint32_t word);
    void OnPassiveOrPortStep(const DataChain& chain, SocketId s, std::uint32_t word);
    void OnRestStep(const DataChain& chain, SocketId s, std::uint32_t word);
    void OnTransferStep(const DataChain& chain, SocketId s, std::uint32_t word);
    void OnDataEvent(const DataChain& chain, SocketId s, std::uint32_t word);
    // The running operation's data side; a listing's is made on first use.
    DataConn& DataSide(const DataChain& chain);
    DataConn* RunningDataConn();
    void DataConnected(const DataChain& chain, DataConn& conn);
    void DataSideEnded(const DataChain& chain, DataConn& conn);
    // The data side has failed: it closes at once, and the transfer fails whatever the final reply.
    void FailDataSide(const DataChain& chain, DataConn& conn, const std::string& why);
    // Ends a chain that cannot go on, with its failure line.
    void FailChain(const DataChain& chain);
    // Both events are in (or the final reply refused the transfer): the result is reported, the
    // listing handed on, and the operation ends.
    void FinishChain(const DataChain& chain, bool replyAccepted);
    void FinishListing();
    // The size a finished binary download should have had when it has another one; -1 when it is
    // right or cannot be known.
    static std::int64_t SizeShortOrLong(const DataConn& conn);
    // What a failed download left on disk, as a log line ("" when nothing): an empty file it made
    // itself is removed.
    std::string LeftOnDisk(DataConn& conn);
    // The server refused REST: with the user's consent the whole file goes again.
    bool TransferWholeAfterRefusedRest(const DataChain& chain, DataConn& conn);
    void DrainToListData(const DataChain& chain, DataConn& conn);
    void BeginListingReview();
    // Logs what the review of the listing found (see ReviewListing); false for unreadable lines.
    bool ApplyListingReview(bool failOnUnreadable);

    // Downloads.
    // Decides what the download does with its local path: false (with its line) when nothing is to
    // be fetched, `cancelled` set when the user stopped everything.
    bool DecideDownloadTarget(DataConn& conn, ExistingFile existing, bool& cancelled);
    // Makes, empties or opens the local file as decided, once the server has accepted the transfer.
    bool OpenDownloadFile(DataConn& conn);
    // Beside a file of the same name that this run wrote: the first free numbered name.
    bool CreateBesideClash(DataConn& conn);
    void NoteWritten(const LocalFileId& id, const std::string& remote);
    // Ends the data side of whatever runs; a download's unfinished file is reported, or removed
    // when it was made empty.
    void DropDataSide();
    // Queues a folder's part of the walk the running operation belongs to, in front of the queue
    // as `ops` are ordered; when the queue would grow beyond its bound, the whole walk is given up
    // instead, with a line naming the folder and the work (`work`).
    bool QueueWalkStep(std::vector<Operation>& ops, const std::string& folder, const std::string& work);
    // Writes everything the socket has into the file; false when writing failed.
    bool WriteDownloadData(DataConn& conn);
    void LogUnsafeLocalName(const std::string& name);

    // Uploads.
    // Sends the file on: true while more may follow, false once the data side is done.
    bool SendUploadChunk(DataConn& conn, std::int32_t chunk);
    void UploadFolderTree(const QString& local, const std::string& remote, std::vector<QString>& visited);
    // Lets the upload's data flow once STOR has gone out: before it, the server would not know
    // what the data is for, and the completion of the data side could be taken for the upload's.
    void ArmUploadData(DataConn& conn);
    // Where a resumed transfer of `name` starts, `done` of `whole` bytes (-1: unknown) being at the
    // destination: -1 (with its failure line) when the destination is larger; 0 in ASCII mode,
    // where line ends change the length on the way.
    std::int64_t ResumeOffset(std::int64_t done, std::int64_t whole, const std::string& name);

    // Remote operations.
    void LogNotOneEntry(const std::string& name);
    void QueueRename(const std::string& oldPath, const QString& newName);

    CEngineUi& m_ui;
    // The firewall's password as ConnectStored read it; unset for sessions it did not start.
    std::optional<std::string> m_firePassword;
    // The firewall of the session, read when it connects through one.
    FirewallSettings m_firewall;
    // Counts the sessions ConnectStored began and CloseSession ended.
    std::uint64_t m_sessionSerial = 0;
    CPasswordVault m_vault;
    CSocketEvents m_events;
    CNameLookup m_lookup;
    int m_lookupId = -1;
    QTimer m_replyTimer;
    QTimer m_rearmTimer;
    // The connection of a closed session while its QUIT waits for the answer, with its own reader
    // and time-out: a new session may begin meanwhile. The host is named when it ends.
    Socket m_quitSocket;
    ReplyReader m_quitReply;
    QTimer m_quitTimer;
    std::string m_quitHost;
    // The status bar's words once the session rests (NoteResult); a run's first operation
    // forgets the last run's.
    std::string m_result;
    bool m_resultIsFailure = false;
    bool m_resting = true;
    CTransferProgress m_progress;
    QElapsedTimer m_progressShown;
    // Buffers that data pass through on their way between socket and file.
    std::vector<char> m_receiveBuffer;
    std::vector<char> m_sendBuffer;
};
