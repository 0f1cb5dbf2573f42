#include "engine/FtpEngine.h"

#include "engine/RemoteNames.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"
#include "settings/TempFolder.h"
#include "views/LogText.h"

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

QString LocalText(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string LocalBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

bool IsFolderRow(const FileListRow& row) {
    return (row.attributes + "-")[0] == 'd';
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
            for (const FileListRow& row : m_ui.FileListRows()) {
                if (row.name != remoteName)
                    continue;
                if (IsFolderRow(row)) {
                    folderClash = true;
                    continue;
                }
                switch (m_ui.AskFileOverwrite(OverwriteForm::Upload, local, row.date, row.size)) {
                case 1:
                    break;
                case 3:
                    skipChecks = true;
                    break;
                case 4:
                    resumeAt = ResumeOffset(LeadingNumber(row.size), info.size(), name);
                    resume = true;
                    break;
                default:
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
        m_opQueue.push_back(
            QueuedOp{local, remoteFolder + "/" + remoteName, OP_UPLOAD, info.size(), resume ? resumeAt : 0});
    }
    return true;
}

void CFtpEngine::UploadFolder(const std::string& localFolder, const std::string& remoteFolder) {
    std::vector<QString> visited;
    UploadFolderTree(LocalText(localFolder), remoteFolder, visited);
}

void CFtpEngine::UploadFolderTree(const QString& local, const std::string& remote,
                                  std::vector<QString>& visited) {
    EnqueueOp(WM_FTP_MKD, {}, remote);
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
        m_opQueue.push_back(QueuedOp{path, remote + "/" + remoteName, OP_UPLOAD, entry.size(), 0});
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
        LogFailure((IsFolderRow(row) ? kFolderClash : kFileClash) +
                   ("空のファイル" + name + "が作成できませんでした。\r\n"));
        return false;
    }
    const QString folder = GetTempFolder();
    const QString localName = LocalText(name);
    if (folder.isEmpty() || !IsSafeRemoteName(name) || localName.contains(QLatin1Char('/')))
        return false;
    const QString local = folder + localName;
    QFile file(local);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.close();
    if (!IsConnected())
        return false;
    m_opQueue.push_back(QueuedOp{LocalBytes(local), remoteFolder + "/" + name, OP_UPLOAD, 0, 0});
    return true;
}

bool CFtpEngine::StartUpload(const std::string& localPath, std::int64_t size, std::int64_t offset) {
    // Only one operation runs at a time: an entry still waiting for its socket belongs to one that
    // is over.
    std::erase_if(m_dataConns, [](const DataConn& c) { return !c.sock.valid(); });
    m_uploadFile = nullptr;
    auto file = std::make_unique<QFile>(LocalText(localPath));
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        LogFailure("ファイルのオープンが失敗しました\r\nアップロードは正常に行えませんでした\r\n");
        return false;
    }
    size = file->size();
    const std::int64_t position = std::clamp<std::int64_t>(offset, 0, size);
    file->seek(position);
    m_opNum1 = size;
    m_uploadFile = file.get();
    m_uploadAtEnd = false;
    m_uploadFailed = false;
    m_storSent = false;
    m_halfDone = 0;
    m_lfToCrLf = LfToCrLf();
    DataConn conn;
    conn.file = std::move(file);
    conn.msg = WM_FTP_PUTDATA;
    m_dataConns.push_back(std::move(conn));

    m_progress.BeginProgress(static_cast<std::uint64_t>(position), static_cast<std::uint64_t>(size));
    ShowProgress(true);
    const std::string name = LocalBytes(QFileInfo(LocalText(localPath)).fileName());
    SetStatusText(name + "をアップロード中です", name);
    Arm(m_ctrlSocket.id(), WM_FTP_PUTTYPE, Write | Close);
    return true;
}

bool CFtpEngine::SendUploadChunk(SocketId s, std::int32_t chunk) {
    QFile* file = FindDataFile(s);
    if (!file || m_uploadAtEnd)
        return false;
    // The file is read in whole multiples of the block size, large enough that a fast connection
    // is not held back by one read and one send per small block.
    const std::size_t block = chunk > 0 ? static_cast<std::size_t>(chunk) : 4096;
    const std::size_t size = (kReadBytes + block - 1) / block * block;
    if (m_sendBuffer.size() != size)
        m_sendBuffer.resize(size);
    const bool ascii = m_asciiUpload && file == m_uploadFile;
    std::string converted;
    QElapsedTimer slice;
    slice.start();
    // Blocks go out one after another until the socket holds back part of one (it then sends that
    // part itself as room appears, before the next write event) or the time slice is over.
    do {
        const qint64 n = file->read(m_sendBuffer.data(), static_cast<qint64>(size));
        if (n < 0) {
            LogFailure("ファイルの読み込みが失敗しました。\r\n");
            m_uploadFailed = true;
            return false;
        }
        std::string_view out(m_sendBuffer.data(), static_cast<std::size_t>(n));
        if (ascii) {
            converted.clear();
            m_lfToCrLf.Convert(out.data(), out.size(), converted);
            out = converted;
        }
        if (!out.empty() && !m_events.Send(s, out)) {
            m_uploadFailed = true;
            return false;
        }
        m_progress.AdvanceProgress(static_cast<std::uint64_t>(n));
        if (n < static_cast<qint64>(size)) {
            // The end of the file: what the socket still holds goes before the data side ends.
            m_uploadAtEnd = true;
            ShowProgress(false);
            return m_events.PendingSend(s) != 0;
        }
    } while (m_events.PendingSend(s) == 0 && slice.elapsed() < kSendSliceMs);
    ShowProgress(false);
    return true;
}

void CFtpEngine::ArmUploadData() {
    for (const DataConn& conn : m_dataConns) {
        if (conn.file.get() == m_uploadFile && conn.sock.valid())
            Arm(conn.sock.id(), WM_FTP_PUTDATA, Write);
    }
}

bool CFtpEngine::IsCurrentUpload(SocketId s) {
    return m_busy == 1 && m_curOp == OP_UPLOAD && m_uploadFile && FindDataFile(s) == m_uploadFile;
}

void CFtpEngine::OnFtpPutType(SocketId s, std::uint32_t word) {
    if (EventKind(word) == Write)
        m_asciiUpload = m_ui.IsAsciiMode();
    if (!CommandStep(s, word, WM_FTP_PUTTYPE, m_asciiUpload ? "TYPE A" : "TYPE I"))
        return;
    if (m_ui.Log().GetReplyCode() == 200)
        Arm(s, WM_FTP_PUTPASV, Write | Close);
    else
        EndDataOperation();
}

void CFtpEngine::OnFtpPutPasv(SocketId s, std::uint32_t word) {
    OnDataStep(s, word, WM_FTP_PUTPASV, WM_FTP_PUTDATA, m_opNum2 != 0 ? WM_FTP_PUTREST : WM_FTP_STOR);
}

void CFtpEngine::OnFtpPutRest(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_PUTREST, "REST " + std::to_string(m_opNum2)))
        return;
    if (m_ui.Log().GetReplyCode() == 350)
        Arm(s, WM_FTP_STOR, Write | Close);
    else
        EndDataOperation();
}

void CFtpEngine::OnFtpStor(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_STOR, "STOR " + m_opText2)) {
        if (EventKind(word) == Write) {
            m_storSent = true;
            ArmUploadData();
        }
        return;
    }
    const int code = m_ui.Log().GetReplyCode();
    if (code == 110 || code == 125 || code == 150) {
        Arm(s, WM_FTP_STOR, Read | Close);
    } else if ((code == 226 || code == 250) && !m_uploadFailed) {
        m_ui.Log().AppendLog("アップロードは正常終了しました。\r\n");
        if (SecondOfTwoEvents())
            EndDataOperation();
    } else {
        // A server that took a file cut short by a local read error still reports success; the
        // upload failed all the same.
        LogFailure("アップロードは失敗しました。\r\n");
        EndDataOperation();
    }
}

void CFtpEngine::OnFtpPutData(SocketId s, std::uint32_t word) {
    switch (EventKind(word)) {
    case Accept:
    case SocketEvent::Connect: {
        if (!(m_stepSocket == s))
            break;
        if (EventKind(word) == SocketEvent::Connect && EventError(word) != 0) {
            // The server's reply to STOR reports the missing data connection.
            m_stepSocket.close();
            break;
        }
        Socket data = EventKind(word) == Accept ? AcceptData(m_stepSocket) : std::move(m_stepSocket);
        if (!data.valid())
            break;
        const SocketId id = data.id();
        if (m_busy != 1 || m_curOp != OP_UPLOAD || !AttachDataSocket(data))
            break;
        m_progress.MarkTransferStart();
        if (m_storSent)
            Arm(id, WM_FTP_PUTDATA, Write);
        break;
    }
    case Write: {
        if (!IsCurrentUpload(s))
            break;
        if (SendUploadChunk(s, m_sendChunk)) {
            Arm(s, WM_FTP_PUTDATA, Write);
            break;
        }
        CloseDataConn(s);
        m_uploadFile = nullptr;
        if (SecondOfTwoEvents())
            EndDataOperation();
        break;
    }
    default:
        break;
    }
}
