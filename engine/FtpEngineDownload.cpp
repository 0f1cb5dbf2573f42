#include "engine/FtpEngine.h"

#include "engine/DataChains.h"
#include "engine/ListingReader.h"
#include "engine/LocalNames.h"
#include "engine/RemoteNames.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>

using namespace SocketEvent;

namespace {

// Data move from the socket to the file through one buffer of this size, and one read event takes
// at most a few of them so that the rest of the program keeps its turn.
constexpr std::size_t kReceiveBuffer = 256 * 1024;
constexpr std::size_t kMaxPerEvent = 16 * kReceiveBuffer;
// The screen hears of the progress at most this often.
constexpr qint64 kProgressIntervalMs = 100;

// A local folder written with exactly one "/" at its end.
std::string FolderWithSlash(std::string folder) {
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    return folder + "/";
}

std::string LocalPath(const std::string& folderWithSlash, const std::string& rawName,
                      const NameCodec& names) {
    return folderWithSlash + LocalNameFor(rawName, names).toStdString();
}

// A size column as a number of bytes; -1 when it is no plain number (a link's column gives the
// length of its target's name, not the size of what it leads to).
// The name of a file in a remote path: what follows the last "/" or "\".
std::string BaseName(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

} // namespace

void CFtpEngine::LogUnsafeLocalName(const std::string& name) {
    LogFailure("ローカルに保存できない名前のため飛ばしました: " + ShownName(name) + "\r\n");
}

void CFtpEngine::ShowProgress(bool now) {
    if (!now && m_progressShown.isValid() && m_progressShown.elapsed() < kProgressIntervalMs)
        return;
    m_ui.ProgressChanged(m_progress);
    m_progressShown.restart();
}

int CFtpEngine::DownloadFiles(const std::string& localFolder, const std::vector<FileListRow>& files) {
    return DownloadFilesFrom(m_ui.GetCurrentPath(), localFolder, files);
}

int CFtpEngine::DownloadFilesFrom(const std::string& remote, const std::string& localFolder,
                                  const std::vector<FileListRow>& files) {
    SettingsKey key;
    key.OpenKey(KeyFamily::Option);
    bool noConfirm = key.ReadDword(SettingName::ChkDownOw, 0) != 0;
    const std::string folder = FolderWithSlash(localFolder);
    for (const FileListRow& f : files) {
        if (!IsSafeLocalName(f.name, m_names)) {
            LogUnsafeLocalName(f.name);
            continue;
        }
        const std::string local = LocalPath(folder, f.name, m_names);
        const std::int64_t size = ListedSize(f.size, f.link);
        // Asked now for the files that are there, so that the downloads then run unattended;
        // whatever appears meanwhile is asked about when its turn comes.
        ExistingFile existing = noConfirm ? ExistingFile::Replace : ExistingFile::Ask;
        // A link, dangling or not, is a file of that name as well.
        if (!noConfirm && InspectLocalPath(local).kind != LocalEntry::Kind::None) {
            const Answer answer = m_ui.AskFileOverwrite(OverwriteForm::Download, local, f.date,
                                                        std::to_string(std::max<std::int64_t>(size, 0)));
            const std::optional<ExistingFile> chosen = ExistingFileOfAnswer(answer);
            if (!chosen)
                return 0;
            if (*chosen == ExistingFile::Keep)
                continue;
            existing = *chosen;
            noConfirm = answer == Answer::OverwriteAll;
        }
        if (!IsConnected())
            return 0;
        QueueTransfer(Op::Download{local, remote + "/" + f.name, size, existing});
    }
    DispatchNextOp();
    return 1;
}

int CFtpEngine::DownloadFolders(const std::string& localFolder, const std::vector<std::string>& names) {
    bool ask = true;
    ExistingFile existing = ExistingFile::Ask;
    const std::string folder = FolderWithSlash(localFolder);
    const std::string remote = m_ui.GetCurrentPath();
    const std::vector<FileListRow> rows = m_ui.FileListRows();
    // The folders of one command are one walk: given up together.
    const std::uint32_t walk = ++m_walkSerial;
    for (const std::string& name : names) {
        if (!IsSafeLocalName(name, m_names)) {
            LogUnsafeLocalName(name);
            continue;
        }
        const std::string local = LocalPath(folder, name, m_names);
        if (ask && QFileInfo::exists(QString::fromStdString(local))) {
            const Answer answer = m_ui.AskFolderOverwrite(local);
            const std::optional<ExistingFile> chosen = ExistingFileOfAnswer(answer);
            if (!chosen) {
                DispatchNextOp();
                return 0;
            }
            existing = *chosen;
            ask = answer != Answer::OverwriteAll;
        }
        if (!IsConnected())
            return 0;
        // A link the list shows as a folder may lead to a file: it is entered if it can be, and
        // fetched as a file if not.
        const bool link = std::any_of(rows.begin(), rows.end(),
                                      [&](const FileListRow& r) { return r.name == name && r.link; });
        m_opQueue.push_back(
            Op::ListToDownload{local, remote + "/" + name, 0, link, existing, walk, !m_transferSink});
    }
    DispatchNextOp();
    return 1;
}

void CFtpEngine::DownloadAs(const std::string& localPath, const std::string& remotePath, std::int64_t size) {
    EnqueueOp(Op::Download{localPath, remotePath, size, ExistingFile::Replace});
    DispatchNextOp();
}

void CFtpEngine::OpenWhenDone(const std::string& path, const std::string& verb) {
    EnqueueOp(Op::ShellOpen{path, verb});
    DispatchNextOp();
}

int CFtpEngine::StartDownload(const Op::Download& download) {
    DataConn conn;
    conn.msg = WM_FTP_GETDATA;
    conn.localPath = download.local;
    conn.remotePath = download.remote;
    conn.expected = download.size;
    bool cancelled = false;
    if (!DecideDownloadTarget(conn, download.existing, cancelled)) {
        if (cancelled)
            m_opQueue.clear();
        return 0;
    }
    // A resume continues from what the disk holds, so the server is asked for exactly the bytes
    // that follow it.
    m_progress.BeginProgress(static_cast<std::uint64_t>(conn.offset),
                             static_cast<std::uint64_t>(std::max<std::int64_t>(conn.expected, 0)));
    ShowProgress(true);
    m_dataConns.clear();
    m_dataConns.push_back(std::move(conn));

    const std::string shown = LocalNameFor(BaseName(download.remote), m_names).toStdString();
    SetStatusText(shown + "をダウンロード中です", shown);
    Arm(m_ctrlSocket.id(), WM_FTP_GETTYPE, Write | Close);
    return 1;
}

bool CFtpEngine::WriteDownloadData(DataConn& conn) {
    if (m_receiveBuffer.size() != kReceiveBuffer)
        m_receiveBuffer.resize(kReceiveBuffer);
    char* buffer = m_receiveBuffer.data();
    std::string converted;
    std::size_t moved = 0;
    bool more = true;
    while (more && moved < kMaxPerEvent) {
        std::size_t filled = 0;
        while (filled < kReceiveBuffer) {
            const long n = m_events.Receive(conn.sock.id(), buffer + filled, kReceiveBuffer - filled);
            if (n < 1) {
                more = false;
                break;
            }
            filled += static_cast<std::size_t>(n);
        }
        if (filled == 0)
            break;
        moved += filled;
        conn.moved += static_cast<std::int64_t>(filled);
        m_progress.AdvanceProgress(filled);
        const char* out = buffer;
        std::size_t outSize = filled;
        if (conn.ascii) {
            converted.clear();
            conn.crLfToLf.Convert(buffer, filled, converted);
            out = converted.data();
            outSize = converted.size();
        }
        if (conn.file->write(out, static_cast<qint64>(outSize)) != static_cast<qint64>(outSize))
            return false;
    }
    ShowProgress(false);
    return true;
}

void CFtpEngine::ExpandDownloadFolder(const std::vector<RemoteEntry>& entries, const std::string& localFolder,
                                      const std::string& remoteFolder, ExistingFile existing,
                                      std::int64_t depth) {
    const std::string folder = FolderWithSlash(localFolder);
    std::vector<Operation> ops;
    std::vector<Operation> subfolders;
    const auto* walking = std::get_if<Op::ListToDownload>(&m_op);
    const bool keepHere = walking && walking->keepHere;
    const bool toQueue = m_transferSink && !keepHere;
    std::size_t tooDeep = 0;
    for (const RemoteEntry& e : entries) {
        if (!IsSafeLocalName(e.name, m_names)) {
            LogUnsafeLocalName(e.name);
            continue;
        }
        const std::string local = LocalPath(folder, e.name, m_names);
        const std::string remote = remoteFolder + "/" + e.name;
        // A link is fetched as the file it names, under its own name; following links as folders
        // could go round in circles.
        if (!e.IsFolder() || e.link) {
            Operation file = Op::Download{local, remote, ListedSize(e.size, e.link), existing};
            if (toQueue)
                m_transferSink(std::move(file));
            else
                ops.push_back(std::move(file));
        } else if (depth + 1 > kMaxFolderDepth) {
            ++tooDeep;
        } else {
            subfolders.push_back(Op::ListToDownload{local, remote, depth + 1, false, existing, 0, keepHere});
        }
    }
    if (tooDeep > 0) {
        // A server whose every folder holds another would keep the download going for ever.
        LogFailure("フォルダ「" + ShownName(remoteFolder) + "」の中の " + std::to_string(tooDeep) +
                   " 個のフォルダは階層が深すぎるため、ダウンロードしませんでした。\r\n");
    }
    // The folder's files come first, then its sub-folders, each of those whole before the next.
    ops.insert(ops.end(), std::make_move_iterator(subfolders.begin()),
               std::make_move_iterator(subfolders.end()));
    QueueWalkStep(ops, remoteFolder, "フォルダのダウンロード");
}

void CFtpEngine::OnFtpGetCwd(SocketId s, std::uint32_t word) {
    const auto& folder = std::get<Op::ListToDownload>(m_op);
    if (!CommandStep(s, word, WM_FTP_GETCWD,
                     EventKind(word) == Write ? "CWD " + folder.remote : std::string()))
        return;
    if (m_reply.Code() / 100 == 2) {
        NoteFolderEntered(folder.remote);
        m_leftUserFolder = true;
        // The local folder is made once there is a remote one to fill it from. A link in its
        // place would take the whole tree to wherever it leads.
        const bool link = InspectLocalPath(folder.local).kind == LocalEntry::Kind::Link;
        if (link || !QDir().mkpath(QString::fromStdString(folder.local))) {
            LogFailure("フォルダ「" + ShownName(folder.local) + "」が作成できませんでした" +
                       (link ? "（シンボリックリンクがあります）。\r\n" : "。\r\n"));
            EndOperation();
            return;
        }
        Arm(s, ChainOfOp(WM_FTP_GETCWD)->type, Write | Close);
        return;
    }
    if (folder.link) {
        // A link to a file: fetched as the file, what is there treated as the folder's answer says.
        m_ui.RefusalHandled();
        m_ui.AppendLog("「" + ShownName(BaseName(folder.remote)) +
                       "」はフォルダとして開けないため、ファイルとしてダウンロードします。\r\n");
        InsertOpFront(Op::Download{folder.local, folder.remote, -1, folder.existing, folder.walk});
        EndOperation();
        return;
    }
    LogFailure("フォルダ「" + ShownName(folder.remote) +
               "」に移動できないため、ダウンロードできませんでした。\r\n");
    EndOperation();
}
