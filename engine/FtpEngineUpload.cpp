#include "engine/FtpEngine.h"

#include "engine/RemoteNames.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"
#include "settings/TempFolder.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>

using namespace SocketEvent;

namespace {
const char* const kFolderClash = "カレントディレクトリには同一名のフォルダが存在するため、\r\n";
const char* const kFileClash = "カレントディレクトリには同一名のファイルが存在するため、\r\n";

// One write event sends for at most this long, so that the rest of the program keeps its turn.
constexpr qint64 kSendSliceMs = 10;
constexpr std::size_t kReadBytes = 256 * 1024;
const char* const kReadFailed = "ファイルの読み込みが失敗しました。\r\n";
const char* const kSendFailed = "データ接続が途中で切れました。\r\n";

QString LocalText(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string LocalBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The leading decimal digits of a size column.
std::int64_t LeadingNumber(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}
} // namespace

bool CFtpEngine::UploadFiles(const std::string& remoteFolder, const std::vector<std::string>& localPaths) {
    SettingsKey key;
    key.OpenKey(KeyFamily::Option);
    bool skipChecks = key.ReadDword(SettingName::ChkUpOw, 0) != 0;
    key.Close();
    for (const std::string& local : localPaths) {
        const QFileInfo info(LocalText(local));
        const std::string name = LocalBytes(info.fileName());
        if (!info.isFile()) {
            LogFailure("ファイル 「" + ShownName(name) + "」をオープンできませんでした。\r\n");
            continue;
        }
        const std::string remoteName = ServerNameFor(info.fileName());
        if (!IsOneCommandLine(remoteName)) {
            LogFailure("ファイル「" + ShownName(name) + "」をアップロードできませんでした。\r\n");
            continue;
        }
        bool resume = false;
        bool folderClash = false;
        std::int64_t resumeAt = 0;
        if (!skipChecks) {
            for (const FileListRow& row : m_ui.FileListRowsNamed(remoteName)) {
                if (row.IsFolder()) {
                    folderClash = true;
                    continue;
                }
                switch (m_ui.AskFileOverwrite(OverwriteForm::Upload, local, row.date, row.size)) {
                case Answer::Yes:
                    break;
                case Answer::OverwriteAll:
                    skipChecks = true;
                    break;
                case Answer::Resume:
                    resumeAt = ResumeOffset(LeadingNumber(row.size), info.size(), name);
                    resume = true;
                    break;
                case Answer::No:
                    // This file stays as it is on the server.
                    resumeAt = -1;
                    break;
                default:
                    DispatchNextOp();
                    return false;
                }
            }
        }
        if (folderClash) {
            LogFailure(kFolderClash +
                       ("ファイル「" + ShownName(name) + "」をアップロードできませんでした。\r\n"));
            continue;
        }
        if (resumeAt < 0)
            continue;
        if (!IsConnected())
            return true;
        QueueTransfer(Op::Upload{local, remoteFolder + "/" + remoteName, resume ? resumeAt : 0});
    }
    DispatchNextOp();
    return true;
}

void CFtpEngine::UploadFolder(const std::string& localFolder, const std::string& remoteFolder) {
    std::vector<QString> visited;
    UploadFolderTree(LocalText(localFolder), remoteFolder, visited);
    DispatchNextOp();
}

void CFtpEngine::UploadFolderTree(const QString& local, const std::string& remote,
                                  std::vector<QString>& visited) {
    EnqueueOp(Op::MakeFolder{remote});
    // A folder reached a second time (through a link to it or to a folder above it) is not
    // walked again: the walk would never end.
    visited.push_back(QFileInfo(local).canonicalFilePath());
    const QDir dir(local);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    std::vector<QFileInfo> folders;
    for (const QFileInfo& entry : entries) {
        if (entry.isDir()) {
            folders.push_back(entry);
            continue;
        }
        const std::string path = LocalBytes(entry.filePath());
        const std::string remoteName = ServerNameFor(entry.fileName());
        if (!entry.isFile() || !IsOneCommandLine(remoteName)) {
            LogFailure("ファイル " + ShownName(path) + "が開けませんでした。\r\n");
            continue;
        }
        QueueTransfer(Op::Upload{path, remote + "/" + remoteName});
    }
    for (const QFileInfo& entry : folders) {
        const std::string remoteName = ServerNameFor(entry.fileName());
        const QString target = entry.canonicalFilePath();
        if (!IsOneCommandLine(remoteName) || target.isEmpty() ||
            std::find(visited.begin(), visited.end(), target) != visited.end()) {
            LogFailure("フォルダ " + ShownName(LocalBytes(entry.filePath())) + "は飛ばしました。\r\n");
            continue;
        }
        UploadFolderTree(entry.filePath(), remote + "/" + remoteName, visited);
    }
}

bool CFtpEngine::CreateIndexFile(const std::string& remoteFolder, const std::string& name) {
    for (const FileListRow& row : m_ui.FileListRows()) {
        if (row.name != name)
            continue;
        LogFailure((row.IsFolder() ? kFolderClash : kFileClash) +
                   ("空のファイル" + name + "が作成できませんでした。\r\n"));
        return false;
    }
    const TempFolderChoice temp = ChooseTempFolder();
    if (temp.folder.isEmpty()) {
        LogFailure(LocalBytes(temp.problem) + "\r\n空のファイル" + name + "が作成できませんでした。\r\n");
        return false;
    }
    const QString localName = LocalText(name);
    if (!IsSafeRemoteName(name) || localName.contains(QLatin1Char('/')))
        return false;
    const std::string local = LocalBytes(temp.folder + localName);
    // A file or link of that name goes first: whatever a link points to is never emptied.
    const LocalEntry there = InspectLocalPath(local);
    if (there.kind == LocalEntry::Kind::File || there.kind == LocalEntry::Kind::Link)
        RemoveLocalEntry(local);
    if (!OpenForWriting(local, WriteOpen::CreateNew).file) {
        LogFailure("空のファイル" + name + "が作成できませんでした。\r\n");
        return false;
    }
    if (!IsConnected())
        return false;
    m_opQueue.push_back(Op::Upload{local, remoteFolder + "/" + name});
    DispatchNextOp();
    return true;
}

bool CFtpEngine::StartUpload(const Op::Upload& upload) {
    auto file = std::make_unique<QFile>(LocalText(upload.local));
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        LogFailure("ファイルのオープンが失敗しました\r\nアップロードは正常に行えませんでした\r\n");
        return false;
    }
    const std::int64_t size = file->size();
    const std::int64_t position = std::clamp<std::int64_t>(upload.offset, 0, size);
    file->seek(position);
    m_firstOfTwoSeen = false;
    DataConn conn;
    conn.file = std::move(file);
    conn.msg = WM_FTP_PUTDATA;
    conn.localPath = upload.local;
    conn.remotePath = upload.remote;
    conn.offset = position;
    conn.expected = size;
    m_dataConns.clear();
    m_dataConns.push_back(std::move(conn));

    m_progress.BeginProgress(static_cast<std::uint64_t>(position), static_cast<std::uint64_t>(size));
    ShowProgress(true);
    const std::string name = LocalBytes(QFileInfo(LocalText(upload.local)).fileName());
    SetStatusText(name + "をアップロード中です", name);
    Arm(m_ctrlSocket.id(), WM_FTP_PUTTYPE, Write | Close);
    return true;
}

bool CFtpEngine::SendUploadChunk(DataConn& conn, std::int32_t chunk) {
    if (!conn.file || (conn.atEnd && conn.outgoingAt == conn.outgoing.size()))
        return false;
    // No send takes more than the block size the user set; the file is still read in large
    // pieces, so that a small block costs sends, not reads.
    const std::size_t block = chunk > 0 ? static_cast<std::size_t>(chunk) : 4096;
    const SocketId s = conn.sock.id();
    QElapsedTimer slice;
    slice.start();
    // Blocks go out one after another until the socket holds back part of one (it then sends that
    // part itself as room appears, before the next write event), the file has gone whole, or the
    // time slice is over.
    do {
        if (conn.outgoingAt == conn.outgoing.size()) {
            if (m_sendBuffer.size() != kReadBytes)
                m_sendBuffer.resize(kReadBytes);
            const qint64 n = conn.file->read(m_sendBuffer.data(), static_cast<qint64>(kReadBytes));
            if (n < 0) {
                conn.failure = kReadFailed;
                LogFailure(kReadFailed);
                return false;
            }
            conn.outgoing.clear();
            conn.outgoingAt = 0;
            if (conn.ascii)
                conn.lfToCrLf.Convert(m_sendBuffer.data(), static_cast<std::size_t>(n), conn.outgoing);
            else
                conn.outgoing.assign(m_sendBuffer.data(), static_cast<std::size_t>(n));
            conn.moved += n;
            m_progress.AdvanceProgress(static_cast<std::uint64_t>(n));
            conn.atEnd = n < static_cast<qint64>(kReadBytes);
        }
        const std::size_t length = std::min(block, conn.outgoing.size() - conn.outgoingAt);
        if (length > 0 &&
            !m_events.Send(s, std::string_view(conn.outgoing).substr(conn.outgoingAt, length))) {
            conn.failure = kSendFailed;
            LogFailure(kSendFailed);
            return false;
        }
        conn.outgoingAt += length;
        if (conn.atEnd && conn.outgoingAt == conn.outgoing.size()) {
            // The end of the file: what the socket still holds goes before the data side ends.
            ShowProgress(false);
            return m_events.PendingSend(s) != 0;
        }
    } while (m_events.PendingSend(s) == 0 && slice.elapsed() < kSendSliceMs);
    ShowProgress(false);
    return true;
}

void CFtpEngine::ArmUploadData(DataConn& conn) {
    if (conn.sock.valid())
        Arm(conn.sock.id(), WM_FTP_PUTDATA, Write);
}
