#include "engine/TransferSessionUi.h"

CTransferSessionUi::CTransferSessionUi(CEngineUi& target, Role role, int number)
    : m_target(target), m_role(role),
      m_prefix(role == Role::Transfer ? "[" + std::to_string(number) + "] " : "") {}

void CTransferSessionUi::SetRunningQueuedFile(bool running) {
    m_queuedFile = running;
    m_refusal.clear();
}

void CTransferSessionUi::AppendLog(const std::string& text) {
    if (m_prefix.empty()) {
        m_target.AppendLog(text);
        return;
    }
    // Every line of the text carries the mark, so that interleaved sessions stay apart.
    std::string marked;
    marked.reserve(text.size() + 2 * m_prefix.size());
    bool lineStart = true;
    for (char c : text) {
        if (lineStart)
            marked += m_prefix;
        marked += c;
        lineStart = c == '\n';
    }
    m_target.AppendLog(marked);
}

std::string CTransferSessionUi::GetCurrentPath() {
    return Private() ? m_path : m_target.GetCurrentPath();
}

void CTransferSessionUi::SetCurrentFolder(const std::string& path) {
    if (Private())
        m_path = path == "/" ? std::string() : path;
    else
        m_target.SetCurrentFolder(path);
}

void CTransferSessionUi::SetConnectedState(bool connected) {
    if (!Private())
        m_target.SetConnectedState(connected);
    if (m_hooks.connected)
        m_hooks.connected(connected);
}

void CTransferSessionUi::NamesChanged(const NameCodec& names) {
    if (!Private())
        m_target.NamesChanged(names);
}

void CTransferSessionUi::ClearFileList() {
    if (!Private())
        m_target.ClearFileList();
}

void CTransferSessionUi::FillFileList(std::vector<RemoteEntry> entries) {
    if (!Private())
        m_target.FillFileList(std::move(entries));
}

std::vector<FileListRow> CTransferSessionUi::FileListRows() {
    return Private() ? std::vector<FileListRow>() : m_target.FileListRows();
}

std::vector<FileListRow> CTransferSessionUi::FileListRowsNamed(const std::string& name) {
    return Private() ? std::vector<FileListRow>() : m_target.FileListRowsNamed(name);
}

void CTransferSessionUi::SetStatusText(const std::string& text, const std::string& iconFor) {
    if (!Private() && !m_queuedFile && !m_queueRunning)
        m_target.SetStatusText(text, iconFor);
}

void CTransferSessionUi::ProgressChanged(const CTransferProgress& progress) {
    if (m_queuedFile) {
        if (m_hooks.progress)
            m_hooks.progress(progress);
    } else if (!Private() && !m_queueRunning) {
        m_target.ProgressChanged(progress);
    }
}

Answer CTransferSessionUi::AskAccount(int hostNumber, const HostRecord& host, std::string& user,
                                      std::string& pass) {
    if (Private()) {
        if (m_hooks.loginRefused)
            m_hooks.loginRefused();
        return Answer::Cancel;
    }
    return Asking([&] { return m_target.AskAccount(hostNumber, host, user, pass); });
}

Answer CTransferSessionUi::AskFileOverwrite(OverwriteForm form, const std::string& path,
                                            const std::string& date, const std::string& size) {
    return Asking([&] { return m_target.AskFileOverwrite(form, path, date, size); });
}

Answer CTransferSessionUi::AskFolderOverwrite(const std::string& localFolder) {
    return Asking([&] { return m_target.AskFolderOverwrite(localFolder); });
}

NameClashAnswer CTransferSessionUi::AskNameClash(const std::string& localPath, const std::string& firstRemote,
                                                 const std::string& secondRemote) {
    return Asking([&] { return m_target.AskNameClash(localPath, firstRemote, secondRemote); });
}

Answer CTransferSessionUi::AskRenameOverwrite(const std::string& newPath, const FileListRow& existing,
                                              const FileListRow& renamed) {
    return Asking([&] { return m_target.AskRenameOverwrite(newPath, existing, renamed); });
}

Answer CTransferSessionUi::AskTransferWhole(OverwriteForm form, const std::string& localPath,
                                            const std::string& remotePath) {
    return Asking([&] { return m_target.AskTransferWhole(form, localPath, remotePath); });
}

CertificateAnswer CTransferSessionUi::AskCertificate(const HostRecord& host, const TlsPeerInfo& peer,
                                                     CertificateStanding standing) {
    return Asking([&] { return m_target.AskCertificate(host, peer, standing); });
}

void CTransferSessionUi::ReplyRefused(int operation, const std::string& line) {
    if (m_queuedFile)
        m_refusal = line;
    else if (!Private())
        m_target.ReplyRefused(operation, line);
}

void CTransferSessionUi::OperationFailed(int operation, const std::string& text) {
    if (m_queuedFile) {
        std::string why = text;
        if (!m_refusal.empty())
            why += " (" + m_refusal + ")";
        m_refusal.clear();
        if (m_hooks.failure)
            m_hooks.failure(why);
    } else if (!Private()) {
        m_target.OperationFailed(operation, text);
    }
}

void CTransferSessionUi::RefusalHandled() {
    m_refusal.clear();
    if (!Private())
        m_target.RefusalHandled();
}
