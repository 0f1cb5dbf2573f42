#pragma once

#include "CliArgs.h"
#include "engine/EngineUi.h"
#include "engine/FolderRows.h"

#include <QElapsedTimer>

#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

// The engine's UI for a terminal: the log goes to stderr with -v, the file list is rows in the list's order,
// questions are answered by the command line's options, and failures become error lines.
class TerminalUi : public CEngineUi {
public:
    TerminalUi(const CliArgs& args, std::FILE* err, bool errIsTerminal);

    // With -v the log goes to stderr; otherwise nothing keeps it.
    void AppendLog(const std::string& text) override {
        if (m_args.verbose)
            PrintLog(text);
    }
    std::string GetCurrentPath() override { return m_currentPath; }
    void SetCurrentFolder(const std::string& path) override;
    void SetConnectedState(bool connected) override;
    // The lines printed name the one session's files in its names.
    void NamesChanged(const NameCodec& names) override;
    void ClearFileList() override { m_list.Clear(); }
    void FillFileList(std::vector<RemoteEntry> entries) override { m_list.Fill(std::move(entries)); }
    std::vector<FileListRow> FileListRows() override { return m_list.EngineRows(); }
    std::vector<FileListRow> FileListRowsNamed(const std::string& name) override {
        return m_list.EngineRowsNamed(name);
    }
    void SetStatusText(const std::string&, const std::string&) override {}
    void ProgressChanged(const CTransferProgress& progress) override;
    Answer AskAccount(int hostNumber, const HostRecord& host, std::string& user, std::string& pass) override;
    Answer AskFileOverwrite(OverwriteForm form, const std::string& path, const std::string& date,
                            const std::string& size) override;
    Answer AskFolderOverwrite(const std::string& localFolder) override;
    Answer AskRenameOverwrite(const std::string& newPath, const FileListRow& existing,
                              const FileListRow& renamed) override;
    Answer AskTransferWhole(OverwriteForm form, const std::string& localPath,
                            const std::string& remotePath) override;
    // Accepted once when --accept-fingerprint names it; refused with its fingerprint otherwise.
    CertificateAnswer AskCertificate(const HostRecord& host, const TlsPeerInfo& peer,
                                     CertificateStanding standing) override;
    bool IsAsciiMode() override { return m_args.ascii; }
    void ShellOpen(const std::string&, const std::string&) override {}
    void ReplyRefused(int operation, const std::string& line) override;
    void OperationFailed(int operation, const std::string& text) override;
    void RefusalHandled() override { m_pendingRefusal.clear(); }

    // The row of the current folder's list with this name (raw bytes or as shown); -1 when none.
    int FindRow(const std::string& rawName, const QString& shownName) const {
        return m_list.Find(rawName, shownName);
    }
    const FolderRows& List() const { return m_list; }

    // Failures of this operation code are expected and not counted (folders that exist already
    // when a folder tree is sent into one).
    void TolerateFailuresOf(int operation) { m_tolerated.insert(operation); }
    // A failure of the tool's own, in the words of the tool.
    void Fail(const std::string& line);
    // Prints a refusal that no text of the engine's followed.
    void FlushRefusal();
    bool Failed() const { return m_failures > 0; }
    bool LoginRefused() const { return m_loginRefused; }
    // A line of the tool's own that is no failure by itself (a summary).
    void PrintLine(const std::string& line);
    // Ends a progress line that is on the screen.
    void EndProgressLine();

    // Called when the session ends or a login is refused, things that no Idle of the engine follows.
    std::function<void()> onSessionChange;

private:
    void PrintLog(const std::string& text);
    void PrintFailure(const std::string& line);

    const CliArgs& m_args;
    std::FILE* m_err;
    bool m_errIsTerminal;
    FolderRows m_list;
    std::string m_currentPath;
    std::set<int> m_tolerated;
    std::string m_pendingRefusal;
    int m_failures = 0;
    bool m_loginRefused = false;
    bool m_progressShown = false;
    QElapsedTimer m_progressClock;
};
