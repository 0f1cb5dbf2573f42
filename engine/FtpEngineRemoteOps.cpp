#include "engine/FtpEngine.h"

#include "engine/ListingReader.h"
#include "engine/RemoteNames.h"
#include "platform/TextCodec.h"

using namespace SocketEvent;

namespace {
const char* const kMkdFailed = "フォルダの作成ができませんでした。\r\n";
const char* const kRenameFailed = "名前の変更ができませんでした。\r\n";
const char* const kChmodFailed = "属性の変更ができませんでした。\r\n";
const char* const kFolderClash = "カレントディレクトリには同一名のフォルダが存在するため、\r\n";
} // namespace

std::string CFtpEngine::ServerNameFor(const QString& name) const {
    return m_names.Encode(name.normalized(QString::NormalizationForm_C));
}

bool CFtpEngine::ReviewListing(const std::string& listing, bool failOnUnreadable) {
    BeginListingReview();
    m_review.Feed(listing);
    m_review.Finish();
    return ApplyListingReview(failOnUnreadable);
}

void CFtpEngine::BeginListingReview() {
    // Names are looked at only on 自動 before another set was found.
    m_review.Begin(m_names.StillGuessing());
}

bool CFtpEngine::ApplyListingReview(bool failOnUnreadable) {
    const auto report = [&](const std::string& text) {
        if (failOnUnreadable)
            LogFailure(text);
        else
            m_ui.AppendLog(text);
    };
    // The review keeps the first lines only, and of each its head.
    for (const UnreadableLine& line : m_review.Unreadable()) {
        std::string text = "ファイル一覧の次の行を読み取れませんでした: " + ShownName(line.head);
        if (line.leftOut > 0)
            text += "… (残り " + GroupedCount(line.leftOut) + " バイトは省略しました)";
        report(text + "\r\n");
    }
    const std::size_t notShown = m_review.UnreadableCount() - m_review.Unreadable().size();
    if (notShown > 0)
        report("ファイル一覧のほかの " + GroupedCount(notShown) + " 行も読み取れませんでした。\r\n");
    if (m_review.LegacySet() != RemoteCharset::Auto) {
        NameCodec found = m_names;
        found.NoteLegacySet(m_review.LegacySet());
        SetNames(found);
    }
    return m_review.UnreadableCount() == 0;
}

void CFtpEngine::OnFtpDele(SocketId s, std::uint32_t word) {
    if (CommandStep(s, word, WM_FTP_DELE, "DELE " + std::get<Op::DeleteFile>(m_op).path))
        EndOperation();
}

void CFtpEngine::OnFtpRmd(SocketId s, std::uint32_t word) {
    if (CommandStep(s, word, WM_FTP_RMD, "RMD " + std::get<Op::RemoveFolder>(m_op).path))
        EndOperation();
}

void CFtpEngine::OnFtpCwd(SocketId s, std::uint32_t word) {
    const std::string& folder = std::get<Op::ChangeFolder>(m_op).path;
    if (!CommandStep(s, word, WM_FTP_CWD, "CWD " + folder))
        return;
    if (m_reply.Code() / 100 == 2) {
        NoteFolderEntered(folder);
        // The session is where it was sent: no way back from a folder download is owed any more.
        m_leftUserFolder = false;
    }
    EndOperation();
}

void CFtpEngine::OnFtpCdup(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_CDUP, "CDUP"))
        return;
    // The parent of a folder reached through a link is the server's to say.
    if (m_reply.Code() / 100 == 2)
        m_knownFolder.reset();
    EndOperation();
}

void CFtpEngine::OnFtpMkd(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_MKD, "MKD " + std::get<Op::MakeFolder>(m_op).path))
        return;
    if (m_reply.Code() != 257)
        LogFailure(kMkdFailed);
    EndOperation();
}

void CFtpEngine::QuerySize(const std::string& path) {
    m_lastSize.reset();
    EnqueueOp(Op::Size{path});
    DispatchNextOp();
}

void CFtpEngine::OnFtpSize(int message, SocketId s, std::uint32_t word) {
    if (message == WM_FTP_SIZETYPE) {
        if (EventKind(word) == Write && m_typeAscii == false) {
            Arm(s, WM_FTP_SIZE, Write | Close);
            return;
        }
        if (!CommandStep(s, word, WM_FTP_SIZETYPE, "TYPE I"))
            return;
        if (m_reply.Code() / 100 != 2) {
            m_typeAscii.reset();
            EndOperation();
            return;
        }
        m_typeAscii = false;
        Arm(s, WM_FTP_SIZE, Write | Close);
        return;
    }
    if (!CommandStep(s, word, WM_FTP_SIZE, "SIZE " + std::get<Op::Size>(m_op).path))
        return;
    if (m_reply.Code() == 213) {
        // "213 1234": the digits after the code, read as a listing's size column is.
        const std::string line = m_reply.LastLine();
        const std::string digits =
            line.size() > 4 ? line.substr(4, line.find_first_not_of("0123456789", 4) - 4) : "";
        if (const std::int64_t size = ListedSize(digits, false); size >= 0)
            m_lastSize = size;
    }
    EndOperation();
}

void CFtpEngine::OnFtpRnfr(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_RNFR, "RNFR " + std::get<Op::Rename>(m_op).from))
        return;
    if (m_reply.Code() == 350) {
        Arm(s, WM_FTP_RNTO, Write | Close);
        return;
    }
    LogFailure(kRenameFailed);
    EndOperation();
}

void CFtpEngine::OnFtpRnto(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_RNTO, "RNTO " + std::get<Op::Rename>(m_op).to))
        return;
    if (m_reply.Code() != 250)
        LogFailure(kRenameFailed);
    EndOperation();
}

void CFtpEngine::OnFtpChmod(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_CHMOD, std::get<Op::Attributes>(m_op).command))
        return;
    const int code = m_reply.Code();
    if (code != 200 && code != 202)
        LogFailure(kChmodFailed);
    EndOperation();
}

void CFtpEngine::Delete(const std::string& folder, const std::vector<FileListRow>& entries) {
    if (entries.empty())
        return;
    const std::string prefix = folder + "/";
    bool folders = false;
    for (const FileListRow& row : entries) {
        folders = folders || row.IsFolder();
        if (!IsSafeRemoteName(row.name)) {
            LogNotOneEntry(row.name);
            continue;
        }
        // A link is removed by its own name: walking into it would empty the folder it leads to.
        if (row.IsFolder() && !row.link)
            DeleteFolderTree(prefix, row.name);
        else if (IsConnected())
            QueueTransfer(Op::DeleteFile{prefix + row.name});
    }
    // A folder's delete walks into it: the session comes back to the folder it stood in.
    if (folders) {
        EnqueueOp(Op::ChangeFolder{m_ui.GetCurrentPath() + "/"});
        EnqueueOp(Op::PrintFolder{});
    }
    EnqueueOp(Op::List{});
    DispatchNextOp();
}

void CFtpEngine::DeleteFolderTree(const std::string& prefix, const std::string& name) {
    if (!IsConnected())
        return;
    // One walk: a tree too large to hold is given up whole.
    const std::uint32_t walk = ++m_walkSerial;
    m_opQueue.push_back(Op::ListToDelete{prefix + name, walk});
    m_opQueue.push_back(Op::ChangeFolder{prefix, walk});
    m_opQueue.push_back(Op::RemoveFolder{prefix + name, walk});
}

void CFtpEngine::ChangeAttributes(const std::string& folder, const std::vector<std::string>& names,
                                  const std::string& command, std::string mode) {
    if (names.empty())
        return;
    while (mode.size() < 3)
        mode += '0';
    for (const std::string& name : names) {
        const std::string line = command + " " + mode + " " + folder + "/" + name;
        if (!IsOneCommandLine(line)) {
            LogFailure(kChmodFailed);
            continue;
        }
        EnqueueOp(Op::Attributes{line});
    }
    EnqueueOp(Op::List{});
    DispatchNextOp();
}

void CFtpEngine::RenameEntry(const std::string& oldName, const QString& newName) {
    QueueRename(m_ui.GetCurrentPath() + "/" + oldName, newName);
}

void CFtpEngine::MoveEntry(const std::string& oldPath, const QString& newName) {
    QueueRename(oldPath, newName);
}

void CFtpEngine::QueueRename(const std::string& oldPath, const QString& newName) {
    const std::string raw = ServerNameFor(newName);
    const std::string newPath = m_ui.GetCurrentPath() + "/" + raw;
    bool go = IsOneCommandLine(oldPath) && IsOneCommandLine(newPath);
    if (!go)
        LogFailure(kRenameFailed);
    // RNTO onto a name that exists replaces that entry on most servers: only with the user's word,
    // and never a folder. Renaming an entry to its own name changes nothing.
    const std::vector<FileListRow> rows = m_ui.FileListRows();
    FileListRow renamed;
    for (const FileListRow& row : rows) {
        if (m_ui.GetCurrentPath() + "/" + row.name == oldPath)
            renamed = row;
    }
    for (const FileListRow& row : rows) {
        if (!go || row.name != raw || newPath == oldPath)
            continue;
        if (row.IsFolder() && !row.link) {
            LogFailure(kFolderClash + std::string(kRenameFailed));
            go = false;
        } else if (m_ui.AskRenameOverwrite(newPath, row, renamed) != Answer::Yes) {
            m_ui.AppendLog("「" + ShownName(raw) + "」は既にあるため、名前を変更しませんでした。\r\n");
            go = false;
        }
    }
    if (go)
        EnqueueOp(Op::Rename{oldPath, newPath});
    EnqueueOp(Op::List{});
    DispatchNextOp();
}

void CFtpEngine::CreateFolder(const QString& name) {
    const std::string path = m_ui.GetCurrentPath() + "/" + ServerNameFor(name);
    if (IsOneCommandLine(path))
        EnqueueOp(Op::MakeFolder{path});
    else
        LogFailure(kMkdFailed);
    EnqueueOp(Op::List{});
    DispatchNextOp();
}

void CFtpEngine::ChangeFolder(const std::string& path) {
    // The root is "" to the folder tree, and "/" to the server.
    EnqueueOp(Op::ChangeFolder{path.empty() ? std::string("/") : path});
    EnqueueOp(Op::PrintFolder{});
    EnqueueOp(Op::List{});
    DispatchNextOp();
}

void CFtpEngine::ListCurrentFolder() {
    EnqueueOp(Op::List{});
    DispatchNextOp();
}

void CFtpEngine::GoToParentFolder() {
    EnqueueOp(Op::ParentFolder{});
    EnqueueOp(Op::PrintFolder{});
    EnqueueOp(Op::List{});
    DispatchNextOp();
}
