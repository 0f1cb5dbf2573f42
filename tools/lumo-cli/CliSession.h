#pragma once

#include "CliArgs.h"
#include "TerminalUi.h"
#include "engine/FtpEngine.h"
#include "engine/MirrorRun.h"
#include "engine/TransferQueue.h"
#include "engine/TransferSessionUi.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <deque>
#include <functional>
#include <string>

// One run of lumo-cli: connects to the target, runs the command as the window would (go to the
// folder, then act on its list), and finishes with the exit status.
class CliSession : public QObject {
    Q_OBJECT
public:
    CliSession(const CliArgs& args, std::FILE* out, std::FILE* err, bool errIsTerminal);

    void Start();

signals:
    void Finished(int exitStatus);

private:
    // A remote path of the command line: its folder as the server's bytes ("" for the root) and
    // its last name as typed ("" when the path is the root itself).
    struct RemotePath {
        std::string folder;
        QString name;
    };

    bool ResolveTarget(HostRecord& host, int& hostNumber);
    bool QueueCommand();
    RemotePath Resolve(const std::string& arg) const;
    std::string Join(const std::string& folder, const QString& name) const;
    // Goes to a folder unless the session is there already and has listed it; the list then shows it.
    void GoTo(const std::string& folder);
    // Asks the server for the size of a path's file (not in ASCII mode): a file has one, a folder
    // or a missing name none. The engine's LastSize() has the answer once it rests.
    void AskSize(const RemotePath& path);
    // The row of a path's name in the current list, or -1 after an error line.
    int FindRowOf(const RemotePath& path, const std::string& arg);

    void Get(const RemotePath& remote, const std::string& arg, const std::string& localFolder);
    void Put(const std::string& local);
    void Rename(const RemotePath& from, const RemotePath& to);
    // The mode on the command line for an entry of the current folder, with the host's command.
    void ChangeAttributes(const std::string& name);
    void PrintList();
    // mirror-up and mirror-down: plans, prints the plan (--dry-run) or runs it, and finishes.
    void StartMirror(const std::string& local, const std::string& remote);
    void OnMirrorPlanned();
    void OnMirrorFinished();

    // Runs the next step once the engine rests; the engine's Idle and the UI's changes ask for it.
    void RequestStep();
    void NextStep();
    void Finish(int exitStatus);
    // Names the files of the queue that failed, after they were each reported as they failed.
    void PrintFailedFiles();

    const CliArgs& m_args;
    std::FILE* m_out;
    TerminalUi m_ui;
    CTransferSessionUi m_sessionUi;
    CFtpEngine m_engine;
    // get and put send their files through it: over --parallel connections, this session's one of them.
    CTransferQueue m_queue;
    int m_parallel = 1;
    QTimer m_loginTimer;
    std::deque<std::function<void()>> m_steps;
    std::string m_home;
    bool m_loggedIn = false;
    // Whether the list shows the current folder: the login folder is listed only when needed.
    bool m_listed = false;
    bool m_stepRequested = false;
    bool m_finished = false;
    std::unique_ptr<CMirrorRun> m_mirror;
};
