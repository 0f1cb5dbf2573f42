#pragma once

#include "engine/EngineMessages.h"
#include "engine/EngineUi.h"
#include "engine/LineEndings.h"
#include "engine/TransferProgress.h"
#include "platform/NameLookup.h"
#include "platform/Socket.h"
#include "platform/SocketEvents.h"
#include "views/HostRecord.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// One queued operation: two texts, the operation code and two numbers (sizes and offsets, 64-bit).
struct QueuedOp {
    std::string text1;
    std::string text2;
    std::int32_t code = 0;
    std::int64_t num1 = 0;
    std::int64_t num2 = 0;
};

// One tracked data connection: its socket (none until the connection is made), the local file it
// writes or reads (closed when the entry goes), and the message its socket reports under.
struct DataConn {
    Socket sock;
    std::unique_ptr<QFile> file;
    std::int32_t msg = 0;
};

// The FTP session engine: one session at a time, driven by socket events on the UI thread.
//
// Every protocol step is a message with its handler. A step is entered by registering a socket
// for the step's message and a set of events; the handler then sends one command or reads one
// reply and registers for the next step. Operations wait in m_opQueue; DispatchNextOp starts the
// next one whenever none runs.
class CFtpEngine : public QObject {
    Q_OBJECT
public:
    // A reply that grows beyond this without ending ends the session instead of the memory.
    static constexpr std::size_t kMaxPendingReply = 1024 * 1024;

    explicit CFtpEngine(CEngineUi& ui, QObject* parent = nullptr);
    ~CFtpEngine() override;

    // Takes the reply time-out and the upload block size from the settings.
    void ReadSystemSettings();

    int Connect(int hostNumber);
    // Connects to a host as given, which need not be stored (-1 for no stored host).
    int ConnectHost(const HostRecord& host, int hostNumber);
    bool IsConnected() const { return m_ctrlSocket.valid(); }
    // The host of the session; the commands may fill its empty folders for this session only.
    const HostRecord& Host() const { return m_host; }
    HostRecord& Host() { return m_host; }
    int HostNumber() const { return m_hostNumber; }
    SocketId ControlSocket() const { return m_ctrlSocket.id(); }
    // An operation (or the login) runs; the dispatcher starts nothing meanwhile.
    bool IsBusy() const { return m_busy != 0; }
    // An operation runs or waits in the queue.
    bool HasWork() const { return m_busy != 0 || !m_opQueue.empty(); }
    int CurrentOp() const { return m_curOp; }
    const std::deque<QueuedOp>& Queue() const { return m_opQueue; }
    // Appends a whole operation, numbers included, to the queue; the caller dispatches.
    void AppendOp(QueuedOp op) { m_opQueue.push_back(std::move(op)); }
    // A transfer with a local file has its data side open or waiting.
    bool IsTransferring() const { return !m_dataConns.empty(); }
    std::int32_t TimeoutMs() const { return m_timeoutMs; }
    void SetTimeoutMs(std::int32_t ms) { m_timeoutMs = ms; }
    std::int32_t SendChunk() const { return m_sendChunk; }

    int EnqueueOp(std::int32_t code, const std::string& text1 = {}, const std::string& text2 = {});
    void InsertOpFront(const QueuedOp& op);
    int DispatchNextOp();

    // Moves the socket into the first entry still waiting for one; 0 (and the socket left with the
    // caller) when none waits.
    int AttachDataSocket(Socket& sock);
    QFile* FindDataFile(SocketId s);
    // Closes a data socket: the table's entry with its file, or a socket the table does not hold
    // (a listing's), which its chain keeps as a bare number.
    void CloseDataConn(SocketId s);

    // A listing or download ends on two events, the final reply and the close of its data
    // connection, in either order: false for the first (which is only noted), true for the second.
    bool SecondOfTwoEvents();

    void CloseSession();
    void CloseSessionLost();
    void CancelTransfers();
    // The cancel command's rule: connected, and an operation runs or waits.
    bool CanCancel() const;

    int ConnectTo(SocketId s, const std::string& address, int port);
    int ConnectFirewall();
    int SendCommand(SocketId s, const std::string& line);
    // Sends PASS with a password; the log shows only "PASS".
    int SendPassword(SocketId s, const std::string& password);
    int ReadReply(SocketId s);

    // Every engine message comes in here and goes to its handler.
    void OnMessage(int message, SocketId s, std::uint32_t word);
    void OnTimer(int id);
    bool IsReplyTimerActive() const { return m_replyTimer.isActive(); }
    bool IsRearmTimerActive() const { return m_rearmTimer.isActive(); }

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

    // Remote file operations. The queueing work of the commands: each queues its operations, a
    // listing refresh where the folder changes, and dispatches. Names come as the file list's raw
    // bytes; typed names as text, sent in the encoding the server uses.
    void DeleteSelected();
    void DeleteFolderTree(const std::string& prefix, const std::string& name);
    void ChangeAttributesOfSelected();
    void RenameEntry(const std::string& oldName, const QString& newName);
    void CreateFolder(const QString& name);
    void ChangeFolder(const std::string& path);
    void GoToParentFolder();
    // A name typed or read locally, as the bytes the server gets: CP932 once a listing of this
    // session held names that are not UTF-8, UTF-8 otherwise.
    std::string ServerNameFor(const QString& name) const;
    // Looks at the names of a listing the server sent, for the encoding of the names that go back.
    void NoteListingNames(const std::string& listing);
    void OnFtpDele(SocketId s, std::uint32_t word);
    void OnFtpRmd(SocketId s, std::uint32_t word);
    void OnFtpCwd(SocketId s, std::uint32_t word);
    void OnFtpCdup(SocketId s, std::uint32_t word);
    void OnFtpMkd(SocketId s, std::uint32_t word);
    void OnFtpRnfr(SocketId s, std::uint32_t word);
    void OnFtpRnto(SocketId s, std::uint32_t word);
    void OnFtpChmod(SocketId s, std::uint32_t word);
    // Deleting a folder tree: the folder is entered and listed, then its contents are queued.
    void ExpandFolderDelete(const std::string& folder);
    void OnFtpDelCwd(SocketId s, std::uint32_t word);
    void OnFtpDelType(SocketId s, std::uint32_t word);
    void OnFtpDelPasv(SocketId s, std::uint32_t word);
    void OnFtpDelList(SocketId s, std::uint32_t word);
    void OnFtpDelData(SocketId s, std::uint32_t word);

    // Uploads. Local paths are the file system's names; remote folders the server's bytes. The
    // queueing functions leave the dispatch to the caller. False from UploadFiles when the user
    // cancelled (files before stay queued).
    bool UploadFiles(const std::string& remoteFolder, const std::vector<std::string>& localPaths);
    void UploadFolder(const std::string& localFolder, const std::string& remoteFolder);
    bool CreateIndexFile(const std::string& remoteFolder, const std::string& name);
    bool StartUpload(const std::string& localPath, std::int64_t size, std::int64_t offset);
    // Sends the file on: true while more may follow, false once the data side is done.
    bool SendUploadChunk(SocketId s, std::int32_t chunk);
    void OnFtpPutType(SocketId s, std::uint32_t word);
    void OnFtpPutPasv(SocketId s, std::uint32_t word);
    void OnFtpPutRest(SocketId s, std::uint32_t word);
    void OnFtpStor(SocketId s, std::uint32_t word);
    void OnFtpPutData(SocketId s, std::uint32_t word);

    // Data connections: the PASV or PORT step of every chain and the listings' data sockets.
    // The address inside a 227 reply is read but the data connection always goes to the control
    // connection's peer, so a server cannot send the client to another host.
    static bool ParsePasvReply(const std::string& line, std::string& address, int& port);
    // Opens `listening` on the control connection's local address and a free port; the PORT line,
    // or "" when any step fails.
    std::string MakePortCommand(SocketId ctrl, Socket& listening);
    // Takes the pending connection and closes `listening`; a connection from any host but the
    // control connection's peer is refused and the listening goes on (empty result).
    Socket AcceptData(Socket& listening);
    void DrainToListData(SocketId s);

    // Listing of the current folder.
    void OnFtpType(SocketId s, std::uint32_t word);
    void OnFtpPasv(SocketId s, std::uint32_t word);
    void OnFtpList(SocketId s, std::uint32_t word);
    void OnFtpListData(SocketId s, std::uint32_t word);

    // Downloads. Local paths are UTF-8 texts; remote paths are the server's raw bytes.
    // One file per row (name, size, date of the file list); 0 when the user cancelled.
    int DownloadFiles(const std::string& localFolder, const std::vector<FileListRow>& files);
    // Creates the local folders and queues their downloads (the caller dispatches); 0 on cancel.
    int DownloadFolders(const std::string& localFolder, const std::vector<std::string>& names);
    int StartDownload(const std::string& localPath, const std::string& remotePath, std::int64_t size,
                      std::int64_t offset);
    int WriteDownloadData(SocketId s);
    // Queues the files and subfolders of the listing in m_listData; with `overwrite` false, files
    // that already exist locally are kept.
    void ExpandDownloadFolder(const std::string& localFolder, const std::string& remoteFolder,
                              bool overwrite);
    void OnFtpGetType(SocketId s, std::uint32_t word);
    void OnFtpGetPasv(SocketId s, std::uint32_t word);
    void OnFtpRest(SocketId s, std::uint32_t word);
    void OnFtpRetr(SocketId s, std::uint32_t word);
    void OnFtpGetData(SocketId s, std::uint32_t word);
    void OnFtpGetCwd(SocketId s, std::uint32_t word);
    void OnFtpGetDirType(SocketId s, std::uint32_t word);
    void OnFtpGetDirPasv(SocketId s, std::uint32_t word);
    void OnFtpGetDirList(SocketId s, std::uint32_t word);
    void OnFtpGetDirData(SocketId s, std::uint32_t word);

signals:
    // The queue ran dry and no operation runs: the session rests until something is asked.
    void Idle();

public:
    CSocketEvents& Events() { return m_events; }
    CTransferProgress& Progress() { return m_progress; }
    CEngineUi& Ui() { return m_ui; }
    void ResetProgress();
    // Logs the engine's own text for something asked that was not done, and tells the UI.
    void LogFailure(const std::string& text);
    // Where a resumed transfer of `name` starts, `done` of `whole` bytes being at the destination:
    // -1 (with its failure line) when the destination is larger; 0 in ASCII mode, where line ends
    // change the length on the way.
    std::int64_t ResumeOffset(std::int64_t done, std::int64_t whole, const std::string& name);
    void SetStatusText(const std::string& text, const std::string& iconFor = {});

private:
    // Tests look at and set up states no command leads to through this.
    friend struct EngineProbe;

    // Session fields.
    Socket m_ctrlSocket;
    std::int32_t m_curOp = 0;
    std::string m_opText1;
    std::string m_opText2;
    std::int64_t m_opNum1 = 0;
    std::int64_t m_opNum2 = 0;
    std::int32_t m_halfDone = 0;
    std::int32_t m_busy = 0;
    std::int32_t m_timeoutMs = 30000;
    std::int32_t m_sendChunk = 4096;
    HostRecord m_host;
    int m_hostNumber = -1;
    // First IPv4 address (network order) of the last finished name lookup.
    std::uint32_t m_hostentBuf = 0;
    std::string m_listData;
    std::vector<DataConn> m_dataConns;
    std::deque<QueuedOp> m_opQueue;
    // A listing of this session held names that are not valid UTF-8.
    bool m_serverNamesCp932 = false;
    // The running operation's data side before it joins the table: the listening socket (active
    // mode) or the connecting one (passive); a listing keeps its data socket here until it closes.
    Socket m_stepSocket;

    // The usual step of a one-command operation: sends `command` on the write event, waits for
    // the whole reply, and ends the session on a close. True once a complete reply is there.
    bool CommandStep(SocketId s, std::uint32_t word, int message, const std::string& command);
    // Sends one command line, starting the reply timer; the log gets `logged` instead.
    int SendLine(SocketId s, const std::string& line, const std::string& logged);
    void LogNotOneEntry(const std::string& name);
    // A listed name that cannot be a local one is skipped with this failure line.
    void LogUnsafeLocalName(const std::string& name);
    void FinishDeleteListing();
    void UploadFolderTree(const QString& local, const std::string& remote, std::vector<QString>& visited);
    bool IsCurrentUpload(SocketId s);
    // Lets the upload's data flow once STOR has gone out: before it, the server would not know
    // what the data is for, and the completion of the data side could be taken for the upload's.
    void ArmUploadData();
    void Arm(SocketId s, int message, std::uint32_t interest);
    void Disarm(SocketId s);
    // Ends the running operation and lets the next one start.
    void EndOperation();
    // Reads the firewall settings shared by all hosts.
    static std::string FirewallString(const char* name);
    static std::string FirewallPassword();
    static std::uint32_t FirewallNumber(const char* name);
    void FirewallLost();

    // The PASV or PORT state of a chain: `dataMsg` is its data socket's message, `nextMsg` the
    // state that sends LIST, REST or RETR.
    void OnDataStep(SocketId s, std::uint32_t word, int stateMsg, int dataMsg, int nextMsg);
    // Events of a listing's data socket; true when its close completes the listing of `opCode`.
    bool OnListingData(SocketId s, std::uint32_t word, int dataMsg, int opCode);
    // Ends an operation that may have left a data side behind: its sockets close and a download's
    // table entry goes with its file, so no later data can land in it.
    void EndDataOperation();
    // Forgets the running operation's data side (the session or the transfers are going).
    void DropDataStep();
    void FinishFolderListing();
    void FinishFolderDownloadListing();
    bool IsCurrentDownload(SocketId s);
    void ShowProgress(bool now);

    CEngineUi& m_ui;
    CSocketEvents m_events;
    CNameLookup m_lookup;
    int m_lookupId = -1;
    QTimer m_replyTimer;
    QTimer m_rearmTimer;
    CTransferProgress m_progress;

    // The running download's local file (its table entry's), its line-end conversion, the buffer
    // its data pass through and the last time the progress reached the screen.
    QFile* m_downloadFile = nullptr;
    bool m_asciiDownload = false;
    CrLfToLf m_crlf;
    std::vector<char> m_receiveBuffer;
    QElapsedTimer m_progressShown;

    // The running upload's local file (its table entry's), whether its end has been read, whether
    // it failed on this side, its line-end conversion and the buffer its blocks pass through.
    QFile* m_uploadFile = nullptr;
    bool m_uploadAtEnd = false;
    bool m_uploadFailed = false;
    bool m_storSent = false;
    bool m_asciiUpload = false;
    LfToCrLf m_lfToCrLf;
    std::vector<char> m_sendBuffer;
};
