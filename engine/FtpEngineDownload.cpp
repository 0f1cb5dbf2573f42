#include "engine/FtpEngine.h"

#include "engine/ListingParser.h"
#include "engine/LocalNames.h"
#include "engine/RemoteNames.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"
#include "views/LogText.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>

using namespace SocketEvent;

namespace {
const char* const kListFailed = "カレントディレクトリのファイル一覧を取得できませんでした。\r\n";

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

std::string LocalPath(const std::string& folderWithSlash, const std::string& rawName) {
    return folderWithSlash + LocalNameFor(rawName).toStdString();
}

std::int64_t SizeValue(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

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
    SettingsKey key;
    key.OpenKey(KeyFamily::Option);
    bool noConfirm = key.ReadDword(SettingName::ChkDownOw, 0) != 0;
    const std::string folder = FolderWithSlash(localFolder);
    const std::string remote = m_ui.GetCurrentPath();
    for (const FileListRow& f : files) {
        if (!IsSafeLocalName(f.name)) {
            LogUnsafeLocalName(f.name);
            continue;
        }
        const std::string local = LocalPath(folder, f.name);
        const std::int64_t size = SizeValue(f.size);
        std::int64_t offset = 0;
        const QFileInfo existing(QString::fromStdString(local));
        if (!noConfirm && existing.exists()) {
            switch (m_ui.AskFileOverwrite(OverwriteForm::Download, local, f.date, std::to_string(size))) {
            case 1:
                break;
            case 3:
                noConfirm = true;
                break;
            case 4:
                offset = ResumeOffset(existing.size(), size, f.name);
                break;
            default:
                return 0;
            }
            if (offset < 0)
                continue;
        }
        if (!IsConnected())
            return 0;
        m_opQueue.push_back(QueuedOp{local, remote + "/" + f.name, OP_DOWNLOAD, size, offset});
    }
    DispatchNextOp();
    return 1;
}

int CFtpEngine::DownloadFolders(const std::string& localFolder, const std::vector<std::string>& names) {
    bool ask = true;
    std::int64_t answer = 0;
    const std::string folder = FolderWithSlash(localFolder);
    const std::string remote = m_ui.GetCurrentPath();
    for (const std::string& name : names) {
        if (!IsSafeLocalName(name)) {
            LogUnsafeLocalName(name);
            continue;
        }
        const std::string local = LocalPath(folder, name);
        if (ask && QFileInfo::exists(QString::fromStdString(local))) {
            switch (m_ui.AskFolderOverwrite(local)) {
            case 1:
                answer = 1;
                break;
            case 5:
                answer = 0;
                break;
            case 3:
                answer = 1;
                ask = false;
                break;
            default:
                return 0;
            }
        }
        if (!IsConnected())
            return 0;
        QDir().mkdir(QString::fromStdString(local));
        m_opQueue.push_back(QueuedOp{local, remote + "/" + name, WM_FTP_GETCWD, 0, answer});
    }
    return 1;
}

int CFtpEngine::StartDownload(const std::string& localPath, const std::string& remotePath, std::int64_t size,
                              std::int64_t offset) {
    // Only one operation runs at a time: an entry still waiting for its socket belongs to one that
    // is over, and must not catch this download's data.
    std::erase_if(m_dataConns, [](const DataConn& c) { return !c.sock.valid(); });
    m_downloadFile = nullptr;

    auto file = std::make_unique<QFile>(QString::fromStdString(localPath));
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered |
                                     (offset == 0 ? QIODevice::Truncate : QIODevice::Append);
    if (!file->open(mode)) {
        LogFailure("ファイルのオープンが失敗しました\r\nダウンロードは正常に行えませんでした\r\n");
        return 0;
    }
    // A resume continues from what the disk holds, so the server is asked for exactly the bytes
    // that follow it.
    const std::int64_t position = offset == 0 ? 0 : file->size();
    m_opNum2 = position;
    m_progress.BeginProgress(static_cast<std::uint64_t>(position),
                             static_cast<std::uint64_t>(std::max<std::int64_t>(size, 0)));
    ShowProgress(true);
    m_crlf = CrLfToLf();
    m_asciiDownload = false;
    m_downloadFile = file.get();
    DataConn conn;
    conn.file = std::move(file);
    conn.msg = WM_FTP_GETDATA;
    m_dataConns.push_back(std::move(conn));

    const std::string shown = LocalNameFor(BaseName(remotePath)).toStdString();
    SetStatusText(shown + "をダウンロード中です", shown);
    Arm(m_ctrlSocket.id(), WM_FTP_GETTYPE, Write | Close);
    return 1;
}

int CFtpEngine::WriteDownloadData(SocketId s) {
    QFile* file = FindDataFile(s);
    if (!file)
        return 1;
    const bool convert = m_asciiDownload && file == m_downloadFile;
    if (m_receiveBuffer.size() != kReceiveBuffer)
        m_receiveBuffer.resize(kReceiveBuffer);
    char* buffer = m_receiveBuffer.data();
    std::string converted;
    std::size_t moved = 0;
    bool more = true;
    while (more && moved < kMaxPerEvent) {
        std::size_t filled = 0;
        while (filled < kReceiveBuffer) {
            const long n = m_events.Receive(s, buffer + filled, kReceiveBuffer - filled);
            if (n < 1) {
                more = false;
                break;
            }
            filled += static_cast<std::size_t>(n);
        }
        if (filled == 0)
            break;
        moved += filled;
        m_progress.AdvanceProgress(filled);
        const char* out = buffer;
        std::size_t outSize = filled;
        if (convert) {
            converted.clear();
            m_crlf.Convert(buffer, filled, converted);
            out = converted.data();
            outSize = converted.size();
        }
        if (file->write(out, static_cast<qint64>(outSize)) != static_cast<qint64>(outSize))
            return 0;
    }
    ShowProgress(false);
    return 1;
}

bool CFtpEngine::IsCurrentDownload(SocketId s) {
    return m_busy == 1 && m_curOp == OP_DOWNLOAD && m_downloadFile && FindDataFile(s) == m_downloadFile;
}

void CFtpEngine::ExpandDownloadFolder(const std::string& localFolder, const std::string& remoteFolder,
                                      bool overwrite) {
    const std::string folder = FolderWithSlash(localFolder);
    const int year = CurrentLocalYear();
    std::vector<std::string> subfolders;
    for (std::string_view line : SplitLines(m_listData)) {
        RemoteEntry e = ParseListLine(line, year);
        // Lines that are no entries ("total 12", ".", "..") are skipped as the file list skips them.
        if (e.name.empty() || e.date.empty() || e.name == "." || e.name == "..")
            continue;
        if (!e.attributes.empty() && e.attributes[0] == 'l') {
            // A link is fetched as the file it names, under its own name; following links as
            // folders could go round in circles.
            const std::size_t arrow = e.name.find("->");
            if (arrow != std::string::npos) {
                e.name.resize(arrow);
                while (!e.name.empty() && (e.name.back() == ' ' || e.name.back() == '\t'))
                    e.name.pop_back();
                if (e.name.empty())
                    continue;
            }
        }
        if (!IsSafeLocalName(e.name)) {
            LogUnsafeLocalName(e.name);
            continue;
        }
        if (e.IsFolder()) {
            subfolders.push_back(e.name);
            continue;
        }
        const std::string local = LocalPath(folder, e.name);
        if (!overwrite && QFileInfo::exists(QString::fromStdString(local)))
            continue;
        m_opQueue.push_back(QueuedOp{local, remoteFolder + "/" + e.name, OP_DOWNLOAD, SizeValue(e.size), 0});
    }
    for (const std::string& name : subfolders) {
        const std::string local = LocalPath(folder, name);
        QDir().mkdir(QString::fromStdString(local));
        m_opQueue.push_back(QueuedOp{local, remoteFolder + "/" + name, WM_FTP_GETCWD, 0, overwrite ? 1 : 0});
    }
}

void CFtpEngine::OnFtpGetType(SocketId s, std::uint32_t word) {
    Disarm(s);
    switch (EventKind(word)) {
    case Write:
        m_asciiDownload = m_ui.IsAsciiMode();
        SendCommand(s, m_asciiDownload ? "TYPE A" : "TYPE I");
        Arm(s, WM_FTP_GETTYPE, Read | Close);
        break;
    case Read:
        if (!ReadReply(s))
            Arm(s, WM_FTP_GETTYPE, Read | Close);
        else if (m_ui.Log().GetReplyCode() == 200)
            Arm(s, WM_FTP_GETPASV, Write | Close);
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

void CFtpEngine::OnFtpGetPasv(SocketId s, std::uint32_t word) {
    OnDataStep(s, word, WM_FTP_GETPASV, WM_FTP_GETDATA, m_opNum2 != 0 ? WM_FTP_REST : WM_FTP_RETR);
}

void CFtpEngine::OnFtpRest(SocketId s, std::uint32_t word) {
    Disarm(s);
    switch (EventKind(word)) {
    case Write:
        SendCommand(s, "REST " + std::to_string(m_opNum2));
        Arm(s, WM_FTP_REST, Read | Close);
        break;
    case Read:
        if (!ReadReply(s))
            Arm(s, WM_FTP_REST, Read | Close);
        else if (m_ui.Log().GetReplyCode() == 350)
            Arm(s, WM_FTP_RETR, Write | Close);
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

void CFtpEngine::OnFtpRetr(SocketId s, std::uint32_t word) {
    Disarm(s);
    switch (EventKind(word)) {
    case Write:
        m_halfDone = 0;
        SendCommand(s, "RETR " + m_opText2);
        Arm(s, WM_FTP_RETR, Read | Close);
        break;
    case Read: {
        if (!ReadReply(s)) {
            Arm(s, WM_FTP_RETR, Read | Close);
            break;
        }
        const int code = m_ui.Log().GetReplyCode();
        if (code == 110 || code == 125 || code == 150) {
            Arm(s, WM_FTP_RETR, Read | Close);
        } else if (code == 226 || code == 250) {
            m_ui.Log().AppendLog("ダウンロードが正常終了しました。\r\n");
            if (SecondOfTwoEvents())
                EndDataOperation();
        } else {
            LogFailure("ダウンロードは失敗しました。\r\n");
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

void CFtpEngine::OnFtpGetData(SocketId s, std::uint32_t word) {
    switch (EventKind(word)) {
    case Accept:
    case SocketEvent::Connect: {
        if (!(m_stepSocket == s))
            break;
        Socket data = EventKind(word) == Accept ? AcceptData(m_stepSocket) : std::move(m_stepSocket);
        if (!data.valid())
            break;
        const SocketId id = data.id();
        if (m_busy != 1 || m_curOp != OP_DOWNLOAD || !AttachDataSocket(data))
            break;
        Arm(id, WM_FTP_GETDATA, Read | Close);
        m_progress.MarkTransferStart();
        break;
    }
    case Read:
        if (!WriteDownloadData(s)) {
            LogFailure("ファイルの書き込みが失敗しました。\r\n");
            // The data side ends here, so this counts as its close: the final reply then ends
            // the download instead of waiting for an event that will not come.
            const bool current = IsCurrentDownload(s);
            CloseDataConn(s);
            if (current) {
                m_downloadFile = nullptr;
                if (SecondOfTwoEvents())
                    EndDataOperation();
            }
        }
        break;
    case Close: {
        const bool current = IsCurrentDownload(s);
        // The last piece's count reaches the screen before the bar goes.
        if (current)
            ShowProgress(true);
        if (current && m_asciiDownload) {
            std::string rest;
            m_crlf.Finish(rest);
            if (!rest.empty())
                m_downloadFile->write(rest.data(), static_cast<qint64>(rest.size()));
        }
        CloseDataConn(s);
        if (current) {
            m_downloadFile = nullptr;
            if (SecondOfTwoEvents())
                EndDataOperation();
        }
        break;
    }
    default:
        break;
    }
}

void CFtpEngine::OnFtpGetCwd(SocketId s, std::uint32_t word) {
    Disarm(s);
    switch (EventKind(word)) {
    case Write:
        SendCommand(s, "CWD " + m_opText2);
        Arm(s, WM_FTP_GETCWD, Read | Close);
        break;
    case Read:
        if (!ReadReply(s))
            Arm(s, WM_FTP_GETCWD, Read | Close);
        else if (m_ui.Log().GetReplyCode() == 250)
            Arm(s, WM_FTP_GETDIRTYPE, Write | Close);
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

void CFtpEngine::OnFtpGetDirType(SocketId s, std::uint32_t word) {
    Disarm(s);
    switch (EventKind(word)) {
    case Write:
        SendCommand(s, "TYPE A");
        Arm(s, WM_FTP_GETDIRTYPE, Read | Close);
        break;
    case Read:
        if (!ReadReply(s))
            Arm(s, WM_FTP_GETDIRTYPE, Read | Close);
        else if (m_ui.Log().GetReplyCode() == 200)
            Arm(s, WM_FTP_GETDIRPASV, Write | Close);
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

void CFtpEngine::OnFtpGetDirPasv(SocketId s, std::uint32_t word) {
    OnDataStep(s, word, WM_FTP_GETDIRPASV, WM_FTP_GETDIRDATA, WM_FTP_GETDIRLIST);
}

void CFtpEngine::OnFtpGetDirList(SocketId s, std::uint32_t word) {
    Disarm(s);
    switch (EventKind(word)) {
    case Write:
        m_halfDone = 0;
        m_listData.clear();
        SendCommand(s, "LIST");
        Arm(s, WM_FTP_GETDIRLIST, Read | Close);
        break;
    case Read: {
        if (!ReadReply(s)) {
            Arm(s, WM_FTP_GETDIRLIST, Read | Close);
            break;
        }
        const int code = m_ui.Log().GetReplyCode();
        if (code == 125 || code == 150) {
            Arm(s, WM_FTP_GETDIRLIST, Read | Close);
        } else if (code == 226 || code == 250) {
            if (SecondOfTwoEvents())
                FinishFolderDownloadListing();
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

void CFtpEngine::OnFtpGetDirData(SocketId s, std::uint32_t word) {
    if (OnListingData(s, word, WM_FTP_GETDIRDATA, WM_FTP_GETCWD))
        FinishFolderDownloadListing();
}

void CFtpEngine::FinishFolderDownloadListing() {
    ExpandDownloadFolder(m_opText1, m_opText2, m_opNum2 != 0);
    EndDataOperation();
}
