#pragma once

#include "engine/EngineUi.h"

#include <functional>
#include <string>

// The UI of a session that runs files of a transfer queue. It passes everything on to the
// program's UI, except that while a queued file runs its failures and progress go to the queue,
// which decides what the user hears (a file retried after a dropped connection is no failure).
// A transfer session beside the browsing one also keeps its own folder and list, marks its log
// lines with its number, and never asks for an account: a refused login there is the server's
// limit on connections, not a wrong password.
class CTransferSessionUi : public CEngineUi {
public:
    enum class Role { Browsing, Transfer };

    // `number` marks a transfer session's log lines ("[2] RETR ..."); the browsing session has none.
    CTransferSessionUi(CEngineUi& target, Role role, int number = 0);

    // What the queue hears while one of its files runs here, and of the session itself.
    struct Hooks {
        std::function<void(const std::string& text)> failure;
        std::function<void(const CTransferProgress& progress)> progress;
        std::function<void(bool connected)> connected;
        // A transfer session's login was refused.
        std::function<void()> loginRefused;
        // A question is put to the user (true) or answered (false): the queue starts nothing
        // meanwhile, so that only one question is open at a time.
        std::function<void(bool open)> question;
    };
    void SetHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    // Whether a file of the queue runs on this session now.
    void SetRunningQueuedFile(bool running);
    // While the queue runs, its whole progress holds the status bar: the browsing session's own
    // words and bars would take turns with it.
    void SetQueueRunning(bool running) { m_queueRunning = running; }
    [[nodiscard]] Role SessionRole() const { return m_role; }

    void AppendLog(const std::string& text) override;
    std::string GetCurrentPath() override;
    void SetCurrentFolder(const std::string& path) override;
    void SetConnectedState(bool connected) override;
    void NamesChanged(const NameCodec& names) override;
    void ClearFileList() override;
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
    bool IsAsciiMode() override { return m_target.IsAsciiMode(); }
    void ShellOpen(const std::string& path, const std::string& verb) override {
        m_target.ShellOpen(path, verb);
    }
    void ReplyRefused(int operation, const std::string& line) override;
    void OperationFailed(int operation, const std::string& text) override;
    void RefusalHandled() override;

private:
    bool Private() const { return m_role == Role::Transfer; }
    // Runs a question with the queue told that it is open.
    template <typename Ask> auto Asking(Ask ask) {
        if (m_hooks.question)
            m_hooks.question(true);
        auto answer = ask();
        if (m_hooks.question)
            m_hooks.question(false);
        return answer;
    }

    CEngineUi& m_target;
    Role m_role;
    std::string m_prefix;
    Hooks m_hooks;
    bool m_queuedFile = false;
    bool m_queueRunning = false;
    // A transfer session's own working folder; its listings are not kept.
    std::string m_path;
    // The last refusal while a queued file runs: the reason its failure gives.
    std::string m_refusal;
};
