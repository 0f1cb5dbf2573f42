#include "engine/FtpEngine.h"

#include "engine/DataChains.h"
#include "engine/ListingReader.h"
#include "engine/RemoteNames.h"

using namespace SocketEvent;

void CFtpEngine::LogNotOneEntry(const std::string& name) {
    LogFailure("「" + ShownName(name) + "」は一つのファイル名ではないため、削除しませんでした。\r\n");
}

void CFtpEngine::ExpandFolderDelete(const std::string& folder, std::vector<RemoteEntry>& entries) {
    std::vector<Operation> files;
    std::vector<Operation> subfolders;
    for (RemoteEntry& e : entries) {
        if (e.attributes.empty())
            continue;
        if (!IsSafeRemoteName(e.name)) {
            LogNotOneEntry(e.name);
            continue;
        }
        const std::string path = folder + "/" + e.name;
        // A link is removed as a file, by its own name: entering it could lead anywhere on the server.
        if (e.IsFolder() && !e.link) {
            // A sub-folder is entered, listed and emptied, and then removed from its parent.
            subfolders.push_back(Op::ListToDelete{path});
            subfolders.push_back(Op::ChangeFolder{folder + "/"});
            subfolders.push_back(Op::RemoveFolder{path});
        } else if (m_transferSink) {
            m_transferSink(Op::DeleteFile{path});
        } else {
            files.push_back(Op::DeleteFile{path});
        }
    }
    // All files of the folder first, then each sub-folder whole before the next.
    files.insert(files.end(), std::make_move_iterator(subfolders.begin()),
                 std::make_move_iterator(subfolders.end()));
    QueueWalkStep(files, folder, "フォルダの削除");
}

void CFtpEngine::OnFtpDelCwd(SocketId s, std::uint32_t word) {
    const std::string& folder = std::get<Op::ListToDelete>(m_op).path;
    if (!CommandStep(s, word, WM_FTP_DELCWD, EventKind(word) == Write ? "CWD " + folder : std::string()))
        return;
    if (m_reply.Code() / 100 != 2) {
        // The folder stays; its RMD then fails with the server's reply.
        EndOperation();
        return;
    }
    NoteFolderEntered(folder);
    Arm(s, ChainOfOp(WM_FTP_DELCWD)->type, Write | Close);
}
