#pragma once

#include "engine/EngineUi.h"

class CMainFrame;

// The window's side of the session engine: the log pane, the host tree's folder, the file list,
// the status bar, and the modal dialogs for the engine's questions, all through the main frame.
class WindowEngineUi : public CEngineUi {
public:
    explicit WindowEngineUi(CMainFrame& frame) : m_frame(frame) {}

    void AppendLog(const std::string& text) override;
    std::string GetCurrentPath() override;
    void SetCurrentFolder(const std::string& path) override;
    void SetConnectedState(bool connected) override;
    // The window shows its one session: the views, dialogs and log read that session's names.
    void NamesChanged(const NameCodec& names) override;
    void ClearFileList() override;
    // Shows the file list of a finished listing and hands its subfolders to the tree.
    void FillFileList(std::vector<RemoteEntry> entries) override;
    std::vector<FileListRow> FileListRows() override;
    std::vector<FileListRow> FileListRowsNamed(const std::string& name) override;
    void SetStatusText(const std::string& text, const std::string& iconFor) override;
    void ProgressChanged(const CTransferProgress& progress) override;
    Answer AskAccount(int hostNumber, const HostRecord& host, std::string& user, std::string& pass) override;
    Answer AskFileOverwrite(OverwriteForm form, const std::string& path, const std::string& date,
                            const std::string& size) override;
    Answer AskFolderOverwrite(const std::string& localFolder) override;
    NameClashAnswer AskNameClash(const std::string& localPath, const std::string& firstRemote,
                                 const std::string& secondRemote) override;
    Answer AskRenameOverwrite(const std::string& newPath, const FileListRow& existing,
                              const FileListRow& renamed) override;
    Answer AskTransferWhole(OverwriteForm form, const std::string& localPath,
                            const std::string& remotePath) override;
    CertificateAnswer AskCertificate(const HostRecord& host, const TlsPeerInfo& peer,
                                     CertificateStanding standing) override;
    bool IsAsciiMode() override;
    void ShellOpen(const std::string& path, const std::string& verb) override;
    void ReplyRefused(int operation, const std::string& line) override;
    void OperationFailed(int operation, const std::string& text) override;

private:
    CMainFrame& m_frame;
    // The login's last failure line, which the account question shows when it follows.
    std::string m_loginFailure;
};
