#include "engine/FtpEngine.h"

#include "engine/DataChains.h"
#include "engine/ListingReader.h"
#include "engine/RemoteNames.h"
#include "views/LogText.h"

using namespace SocketEvent;

void CFtpEngine::LogNotOneEntry(const std::string& name) {
    LogFailure("「" + ShownName(name) + "」は一つのファイル名ではないため、削除しませんでした。\r\n");
}

void CFtpEngine::ExpandFolderDelete(const std::string& folder, std::vector<RemoteEntry>& entries) {
    std::vector<std::string> files;
    std::vector<std::string> subfolders;
    for (RemoteEntry& e : entries) {
        if (e.attributes.empty())
            continue;
        if (!IsSafeRemoteName(e.name)) {
            LogNotOneEntry(e.name);
            continue;
        }
        // A link is removed as a file, by its own name: entering it could lead anywhere on the server.
        if (e.IsFolder() && !e.link)
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
    if (!CommandStep(s, word, WM_FTP_DELCWD, EventKind(word) == Write ? "CWD " + m_opText2 : std::string()))
        return;
    if (m_ui.Log().GetReplyCode() / 100 != 2) {
        // The folder stays; its RMD then fails with the server's reply.
        EndOperation();
        return;
    }
    NoteFolderEntered(m_opText2);
    Arm(s, ChainOfOp(WM_FTP_DELCWD)->type, Write | Close);
}
