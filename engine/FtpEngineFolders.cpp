#include "engine/FtpEngine.h"

#include "engine/DataChains.h"
#include "engine/ReplyTexts.h"

using namespace SocketEvent;

namespace {
// A whole path as the server's PWD would name it: no "/" at its end, except for the root.
std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Operations whose meaning depends on the server's working folder.
bool DependsOnWorkingFolder(const Operation& op) {
    return std::holds_alternative<Op::List>(op) || std::holds_alternative<Op::PrintFolder>(op) ||
           std::holds_alternative<Op::ParentFolder>(op);
}
} // namespace

void CFtpEngine::OnFtpPwd(SocketId s, std::uint32_t word) {
    if (!CommandStep(s, word, WM_FTP_PWD, "PWD"))
        return;
    std::optional<std::string> folder;
    if (m_reply.Code() == 257)
        folder = ParsePwdReply(m_reply.LastLine());
    // A reply without a readable path: the folder the session itself went to, never a guess.
    if (!folder)
        folder = m_knownFolder;
    if (!folder) {
        // Whatever follows would act on a folder nobody knows.
        LogFailure("作業フォルダが分からないため、続く処理を取りやめました。\r\n");
        m_opQueue.clear();
        EndOperation();
        return;
    }
    m_knownFolder = folder;
    m_ui.SetCurrentFolder(*folder);
    EndOperation();
}

void CFtpEngine::NoteFolderEntered(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        m_knownFolder = WithoutTrailingSlash(path);
    else
        m_knownFolder.reset();
}

void CFtpEngine::ReturnToUserFolder() {
    if (!m_leftUserFolder || !m_returnsToUserFolder ||
        (!m_opQueue.empty() && !DependsOnWorkingFolder(m_opQueue.front())))
        return;
    m_leftUserFolder = false;
    const std::string folder = m_ui.GetCurrentPath();
    InsertOpFront(Op::ChangeFolder{folder.empty() ? std::string("/") : folder});
}

void CFtpEngine::ListFolder(const std::string& path,
                            std::function<void(bool complete, std::vector<RemoteEntry> entries)> done,
                            bool exactTimes) {
    if (!EnqueueOp(Op::ListFolder{path, done, exactTimes})) {
        done(false, {});
        return;
    }
    DispatchNextOp();
}

void CFtpEngine::OnFtpTreeCwd(SocketId s, std::uint32_t word) {
    const std::string& folder = std::get<Op::ListFolder>(m_op).path;
    if (!CommandStep(s, word, WM_FTP_TREECWD, EventKind(word) == Write ? "CWD " + folder : std::string()))
        return;
    if (m_reply.Code() / 100 != 2) {
        EndOperation();
        return;
    }
    NoteFolderEntered(folder);
    // The file list's folder is gone back to before anything that works in it.
    m_leftUserFolder = true;
    Arm(s, ChainOfOp(WM_FTP_TREECWD)->type, Write | Close);
}
