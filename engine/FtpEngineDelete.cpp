#include "engine/FtpEngine.h"

#include "engine/ListingParser.h"
#include "engine/RemoteNames.h"
#include "views/LogText.h"

using namespace SocketEvent;

namespace {
const char* const kListFailed = "カレントディレクトリのファイル一覧を取得できませんでした。\r\n";

// The name a link is deleted by: its own, the text before "->", never the target it points at.
std::string LinkName(std::string name) {
    const std::size_t arrow = name.find("->");
    if (arrow != std::string::npos) {
        name.resize(arrow);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
            name.pop_back();
    }
    return name;
}
} // namespace

void CFtpEngine::LogNotOneEntry(const std::string& name) {
    LogFailure("「" + ShownName(name) + "」は一つのファイル名ではないため、削除しませんでした。\r\n");
}

void CFtpEngine::ExpandFolderDelete(const std::string& folder) {
    NoteListingNames(m_listData);
    const int year = CurrentLocalYear();
    std::vector<std::string> files;
    std::vector<std::string> subfolders;
    for (std::string_view line : SplitLines(m_listData)) {
        RemoteEntry e = ParseListLine(line, year);
        // Lines that are no entries ("total 12", ".", "..") are skipped as the file list skips them.
        if (e.name.empty() || e.attributes.empty() || e.date.empty() || e.name == "." || e.name == "..")
            continue;
        const bool link = e.attributes[0] == 'l';
        if (link)
            e.name = LinkName(std::move(e.name));
        if (!IsSafeRemoteName(e.name)) {
            LogNotOneEntry(e.name);
            continue;
        }
        // A link is removed as a file: entering it could lead anywhere on the server.
        if (e.IsFolder() && !link)
            subfolders.push_back(std::move(e.name));
        else
            files.push_back(std::move(e.name));
    }
    // Each insertion goes in front of the previous one: a sub-folder's entry, listing and removal
    // run in that order, later sub-folders first, and all files of the folder before them.
    for (const std::string& name : subfolders) {
        InsertOpFront(QueuedOp{{}, folder + "/" + name, WM_FTP_RMD, 0, 0});
        InsertOpFront(QueuedOp{{}, folder + "/", WM_FTP_CWD, 0, 0});
        InsertOpFront(QueuedOp{{}, folder + "/" + name, WM_FTP_DELCWD, 0, 0});
    }
    for (const std::string& name : files)
        InsertOpFront(QueuedOp{{}, folder + "/" + name, WM_FTP_DELE, 0, 0});
}

void CFtpEngine::OnFtpDelCwd(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_DELCWD, "CWD " + m_opText2))
        return;
    if (m_ui.Log().GetReplyCode() == 250)
        Arm(s, WM_FTP_DELTYPE, Write | Close);
    else
        EndOperation();
}

void CFtpEngine::OnFtpDelType(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_DELTYPE, "TYPE A"))
        return;
    if (m_ui.Log().GetReplyCode() == 200)
        Arm(s, WM_FTP_DELPASV, Write | Close);
    else
        EndOperation();
}

void CFtpEngine::OnFtpDelPasv(SocketId s, std::uint32_t word) {
    OnDataStep(s, word, WM_FTP_DELPASV, WM_FTP_DELDATA, WM_FTP_DELLIST);
}

void CFtpEngine::OnFtpDelList(SocketId s, std::uint32_t word) {
    if (EventKind(word) == Write) {
        m_halfDone = 0;
        m_listData.clear();
    }
    if (!CommandStep(s, word, WM_FTP_DELLIST, "LIST"))
        return;
    const int code = m_ui.Log().GetReplyCode();
    if (code == 125 || code == 150) {
        Arm(s, WM_FTP_DELLIST, Read | Close);
    } else if (code == 226 || code == 250) {
        if (SecondOfTwoEvents())
            FinishDeleteListing();
    } else {
        LogFailure(kListFailed);
        EndDataOperation();
    }
}

void CFtpEngine::OnFtpDelData(SocketId s, std::uint32_t word) {
    if (OnListingData(s, word, WM_FTP_DELDATA, WM_FTP_DELCWD))
        FinishDeleteListing();
}

void CFtpEngine::FinishDeleteListing() {
    ExpandFolderDelete(m_opText2);
    EndDataOperation();
}
