#include "CliSession.h"

#include "TerminalText.h"

#include "dialogs/DialogSettings.h"
#include "engine/EngineMessages.h"
#include "engine/FtpAddress.h"
#include "engine/MirrorPlanReport.h"
#include "hosts/HostMirrorPair.h"
#include "hosts/HostSessions.h"
#include "hosts/QXDoc.h"
#include "hosts/ServerZone.h"
#include "platform/TextCodec.h"
#include "settings/MirrorPairs.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {
// The time a host gets to greet and take the login when the reply time-out is off.
constexpr int kDefaultLoginMs = 30000;

// "a//b/" as "a/b"; "/" stays.
QString TidyPath(const QString& path) {
    QString out;
    for (QChar c : path) {
        if (c == u'/' && out.endsWith(u'/'))
            continue;
        out += c;
    }
    while (out.size() > 1 && out.endsWith(u'/'))
        out.chop(1);
    return out;
}

std::string Shown(const std::string& raw) {
    return TerminalText(raw);
}

} // namespace

CliSession::CliSession(const CliArgs& args, std::FILE* out, std::FILE* err, bool errIsTerminal)
    : m_args(args), m_out(out), m_ui(args, err, errIsTerminal),
      m_sessionUi(m_ui, CTransferSessionUi::Role::Browsing), m_engine(m_sessionUi),
      m_queue(m_ui, m_engine, m_sessionUi) {
    m_ui.onSessionChange = [this] { RequestStep(); };
    connect(&m_engine, &CFtpEngine::Idle, this, &CliSession::RequestStep, Qt::QueuedConnection);
    connect(&m_queue, &CTransferQueue::Finished, this, &CliSession::RequestStep, Qt::QueuedConnection);
    m_queue.SetListChangedFolder(false);
    m_loginTimer.setSingleShot(true);
    connect(&m_loginTimer, &QTimer::timeout, this, [this] {
        m_ui.Fail("no login at " + m_engine.Host().Adr + " within " +
                  std::to_string(m_loginTimer.interval() / 1000) + " s");
        Finish(1);
    });
}

bool CliSession::ResolveTarget(HostRecord& host, int& hostNumber) {
    if (LooksLikeUrl(m_args.target)) {
        const std::optional<FtpUrl> url = ParseFtpUrl(m_args.target);
        if (!url)
            return false;
        host.Name = url->host;
        host.Adr = url->host;
        host.Port = url->port;
        host.User = url->user;
        host.Pass = url->password;
        host.Security = url->security;
        host.Pasv = 1;
        hostNumber = -1;
        return true;
    }
    const HostList hosts = CQXDoc().LoadAllHosts();
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        if (hosts[i].Name == m_args.target) {
            host = hosts[i];
            hostNumber = static_cast<int>(i);
            return true;
        }
    }
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        if (QString::fromStdString(HostKeyName(static_cast<int>(i)))
                .compare(QString::fromStdString(m_args.target), Qt::CaseInsensitive) == 0) {
            host = hosts[i];
            hostNumber = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

void CliSession::Start() {
    HostRecord host;
    int hostNumber = -1;
    if (!ResolveTarget(host, hostNumber)) {
        m_ui.Fail("no host '" + AddressWithoutPassword(m_args.target) +
                  "' is registered (a registered name or Host<n>, or an ftp:// address)");
        emit Finished(2);
        return;
    }
    if (m_args.security) {
        // Implicit TLS has a port of its own; one given with the address stands.
        if (*m_args.security == HostSecurity::Implicit && host.Security != HostSecurity::Implicit &&
            host.Port == 21)
            host.Port = HostSecurity::ImplicitPort;
        host.Security = *m_args.security;
    }
    if (m_args.mode != CliArgs::Mode::HostDefault)
        host.Pasv = m_args.mode == CliArgs::Mode::Passive ? 1 : 0;
    if (m_args.charset)
        host.charset = *m_args.charset;
    m_parallel = m_args.parallel ? *m_args.parallel : TransferSessionsFor(host);
    m_engine.ReadSystemSettings();
    if (m_args.timeoutSeconds)
        m_engine.SetTimeoutMs(*m_args.timeoutSeconds * 1000);
    // A typed name that is not ASCII is sent in the set the login folder's names show on 自動;
    // otherwise the folder is listed when the command works in it.
    const auto typedNonAscii = [](const std::string& arg) {
        return std::any_of(arg.begin(), arg.end(),
                           [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    };
    m_listed = m_args.command != "pwd" && std::any_of(m_args.args.begin(), m_args.args.end(), typedNonAscii);
    m_engine.SetListAfterLogin(m_listed);
    if (!QueueCommand()) {
        emit Finished(m_ui.Failed() ? 1 : 2);
        return;
    }
    m_loginTimer.start(m_engine.TimeoutMs() > 0 ? m_engine.TimeoutMs() : kDefaultLoginMs);
    if (!(hostNumber >= 0 ? m_engine.ConnectStored(host, hostNumber)
                          : m_engine.ConnectHost(host, hostNumber)))
        Finish(1);
}

bool CliSession::QueueCommand() {
    const std::string& cmd = m_args.command;
    const std::vector<std::string>& a = m_args.args;
    if (cmd == "pwd") {
        m_steps.push_back([this] {
            const std::string path = m_ui.GetCurrentPath();
            std::fprintf(m_out, "%s\n", Shown(path.empty() ? "/" : path).c_str());
        });
    } else if (cmd == "ls") {
        m_steps.push_back([this, a] {
            if (a.empty()) {
                GoTo(m_home);
                return;
            }
            const RemotePath p = Resolve(a[0]);
            GoTo(Join(p.folder, p.name));
        });
        m_steps.push_back([this] { PrintList(); });
    } else if (cmd == "get") {
        const QFileInfo local(QString::fromLocal8Bit(a.size() > 1 ? a[1] : std::string(".")));
        if (!local.isDir()) {
            m_ui.Fail("no local folder " + local.filePath().toStdString());
            return false;
        }
        const std::string folder = local.absoluteFilePath().toStdString();
        m_steps.push_back([this, a] { AskSize(Resolve(a[0])); });
        m_steps.push_back([this, a, folder] {
            const RemotePath p = Resolve(a[0]);
            m_queue.SetSessions(m_parallel, true);
            if (const std::optional<std::int64_t> size = m_engine.LastSize()) {
                // A file: fetched from where it is, no folder entered or listed.
                FileListRow row;
                row.name = m_engine.ServerNameFor(p.name);
                row.size = std::to_string(*size);
                row.attributes = "-";
                m_engine.DownloadFilesFrom(p.folder, folder, {row});
                return;
            }
            // A folder, or a server that gives no size: the folder's list tells.
            m_steps.push_front([this, a, folder] { Get(Resolve(a[0]), a[0], folder); });
            GoTo(p.folder);
        });
    } else if (cmd == "put") {
        const QFileInfo local(QString::fromLocal8Bit(a[0]));
        if (!local.exists()) {
            m_ui.Fail("no local file or folder " + a[0]);
            return false;
        }
        const std::string path = QDir::cleanPath(local.absoluteFilePath()).toStdString();
        if (!local.isDir() && !m_args.ascii) {
            // A file: the size of its name in the target folder says whether it is there already
            // (in ASCII mode the folder's list does: the size would not be the file's).
            const auto target = [this, a] {
                return a.size() < 2 ? m_home : Join(Resolve(a[1]).folder, Resolve(a[1]).name);
            };
            const QString name = local.fileName();
            m_steps.push_back([this, target, name] { AskSize({target(), name}); });
            m_steps.push_back([this, target, name, path] {
                m_ui.ClearFileList();
                if (const std::optional<std::int64_t> size = m_engine.LastSize()) {
                    RemoteEntry there;
                    there.name = m_engine.ServerNameFor(name);
                    there.size = std::to_string(*size);
                    there.attributes = "-";
                    m_ui.FillFileList({there});
                }
                m_queue.SetSessions(m_parallel, true);
                m_engine.UploadFiles(target(), {path});
            });
            return true;
        }
        m_steps.push_back([this, a] {
            if (a.size() < 2) {
                GoTo(m_home);
                return;
            }
            const RemotePath p = Resolve(a[1]);
            GoTo(Join(p.folder, p.name));
        });
        m_steps.push_back([this, path] {
            m_queue.SetSessions(m_parallel, true);
            Put(path);
        });
    } else if (cmd == "rm" || cmd == "chmod") {
        const std::string arg = a.back();
        m_steps.push_back([this, arg] { GoTo(Resolve(arg).folder); });
        m_steps.push_back([this, arg, cmd] {
            const int row = FindRowOf(Resolve(arg), arg);
            if (row < 0)
                return;
            const FileListRow entry = m_ui.List().EngineRow(row);
            if (cmd == "rm")
                m_engine.Delete(m_ui.GetCurrentPath(), {entry});
            else
                ChangeAttributes(entry.name);
        });
    } else if (cmd == "mkdir") {
        m_steps.push_back([this, a] { GoTo(Resolve(a[0]).folder); });
        m_steps.push_back([this, a] {
            const RemotePath p = Resolve(a[0]);
            if (p.name.isEmpty())
                m_ui.Fail("mkdir needs a folder name");
            else
                m_engine.CreateFolder(p.name);
        });
    } else if (cmd == "mirror-up" || cmd == "mirror-down") {
        const bool up = cmd == "mirror-up";
        const QFileInfo local(QString::fromLocal8Bit(up ? a[0] : a[1]));
        if (!local.isDir()) {
            m_ui.Fail("no local folder " + local.filePath().toStdString());
            return false;
        }
        const std::string localFolder = QDir::cleanPath(local.absoluteFilePath()).toStdString();
        const std::string remoteArg = up ? a[1] : a[0];
        m_steps.push_back([this, localFolder, remoteArg] {
            const RemotePath p = Resolve(remoteArg);
            StartMirror(localFolder, Join(p.folder, p.name));
        });
    } else if (cmd == "mv") {
        // The rename runs in the folder of the new name, whose list tells whether that name is
        // taken; within one folder that is the folder of both.
        m_steps.push_back([this, a] { GoTo(Resolve(a[1]).folder); });
        m_steps.push_back([this, a] { Rename(Resolve(a[0]), Resolve(a[1])); });
    }
    return true;
}

CliSession::RemotePath CliSession::Resolve(const std::string& arg) const {
    const QString path = TidyPath(QString::fromLocal8Bit(arg));
    const qsizetype cut = path.lastIndexOf(u'/');
    RemotePath out;
    out.name = path.mid(cut + 1);
    const QString folder = cut < 0 ? QString() : path.left(cut);
    if (path.startsWith(u'/'))
        out.folder = m_engine.ServerNameFor(folder);
    else
        out.folder = folder.isEmpty() ? m_home : m_home + "/" + m_engine.ServerNameFor(folder);
    return out;
}

std::string CliSession::Join(const std::string& folder, const QString& name) const {
    return name.isEmpty() ? folder : folder + "/" + m_engine.ServerNameFor(name);
}

void CliSession::GoTo(const std::string& folder) {
    const bool here = folder == m_ui.GetCurrentPath();
    if (here && m_listed)
        return;
    m_listed = true;
    if (here)
        m_engine.ListCurrentFolder();
    else
        m_engine.ChangeFolder(folder.empty() ? std::string("/") : folder);
}

void CliSession::AskSize(const RemotePath& path) {
    // In ASCII mode the size would be another than the bytes that arrive; some servers give none.
    if (path.name.isEmpty() || m_args.ascii)
        return;
    m_ui.TolerateFailuresOf(WM_FTP_SIZETYPE);
    m_engine.QuerySize(Join(path.folder, path.name));
}

int CliSession::FindRowOf(const RemotePath& path, const std::string& arg) {
    const int row = path.name.isEmpty() ? -1 : m_ui.FindRow(m_engine.ServerNameFor(path.name), path.name);
    if (row < 0)
        m_ui.Fail("no file or folder " + arg);
    return row;
}

void CliSession::Get(const RemotePath& remote, const std::string& arg, const std::string& localFolder) {
    const int row = FindRowOf(remote, arg);
    if (row < 0)
        return;
    const FolderRows::Row& r = m_ui.List().At(row);
    if (r.IsFolder()) {
        m_engine.DownloadFolders(localFolder, {r.name});
    } else {
        m_engine.DownloadFiles(localFolder, {m_ui.List().EngineRow(row)});
    }
}

void CliSession::Put(const std::string& local) {
    const QFileInfo info(QString::fromStdString(local));
    const std::string folder = m_ui.GetCurrentPath();
    if (!info.isDir()) {
        m_engine.UploadFiles(folder, {local});
        return;
    }
    const QString name = info.fileName();
    const int row = m_ui.FindRow(m_engine.ServerNameFor(name), name);
    if (row >= 0) {
        switch (m_args.existing) {
        case CliArgs::Existing::Fail:
            m_ui.Fail(Shown(Join(folder, name)) +
                      " exists already (--overwrite, --resume or --skip says what to do with it)");
            return;
        case CliArgs::Existing::Skip:
            return;
        case CliArgs::Existing::Overwrite:
        case CliArgs::Existing::Resume:
            // Sent into the folder that is there: its folders exist already, their files are
            // replaced.
            m_ui.TolerateFailuresOf(WM_FTP_MKD);
            break;
        }
    }
    m_engine.UploadFolder(local, Join(folder, name));
}

void CliSession::Rename(const RemotePath& from, const RemotePath& to) {
    if (from.name.isEmpty() || to.name.isEmpty()) {
        m_ui.Fail("mv needs a name to rename and a new name");
        return;
    }
    if (from.folder == to.folder) {
        // The session stands in that folder, under whatever name the server gave it.
        const int row = m_ui.FindRow(m_engine.ServerNameFor(from.name), from.name);
        const std::string raw = row >= 0 ? m_ui.List().At(row).name : m_engine.ServerNameFor(from.name);
        m_engine.RenameEntry(raw, to.name);
        return;
    }
    m_engine.MoveEntry(Join(from.folder, from.name), to.name);
}

void CliSession::ChangeAttributes(const std::string& name) {
    const int host = m_engine.HostNumber();
    const std::string command = host >= 0 ? ReadChmodCommand(host) : std::string(DefaultChmodCommand);
    m_engine.ChangeAttributes(m_ui.GetCurrentPath(), {name}, command, m_args.args.front());
}

void CliSession::PrintList() {
    const FolderRows& list = m_ui.List();
    // Written in pieces of a fixed size: a folder may hold 100,000 entries, and one buffer for all
    // of them would be fresh memory to fill.
    constexpr std::size_t kPiece = 64 * 1024;
    std::string text;
    text.reserve(kPiece + 1024);
    auto append = [&](int row, int column, std::string_view raw) {
        // Plain ASCII needs neither decoding nor escaping.
        if (ReadsAsAscii(raw))
            text += raw;
        else
            text += EscapeControls(list.Text(row, column)).toStdString();
    };
    for (int i = 0; i < list.Count(); ++i) {
        const FolderRows::Row& row = list.At(i);
        if (FolderRows::IsPlaceholder(row))
            continue;
        append(i, FolderRows::ColAttributes, row.attributes);
        text += '\t';
        append(i, FolderRows::ColSize, row.size);
        text += '\t';
        append(i, FolderRows::ColDate, row.date.view());
        text += '\t';
        append(i, FolderRows::ColName, row.name);
        text += '\n';
        if (text.size() >= kPiece) {
            std::fwrite(text.data(), 1, text.size(), m_out);
            text.clear();
        }
    }
    std::fwrite(text.data(), 1, text.size(), m_out);
}

void CliSession::StartMirror(const std::string& local, const std::string& remote) {
    MirrorJob job;
    job.options.direction = m_args.command == "mirror-up" ? MirrorDirection::Up : MirrorDirection::Down;
    job.options.removeAbsent = m_args.mirrorDelete;
    job.options.force = m_args.force;
    job.localFolder = local;
    job.remoteFolder = remote.empty() ? std::string("/") : remote;
    // The pair's list as the window keeps it (its host's for a pair never stored), read and never
    // written here.
    const MirrorPairSettings pair = LoadMirrorPair(HostMirrorPair(m_engine.Host(), job.remoteFolder));
    job.exclusions = MirrorExclusions::Parse(pair.exclusions, m_args.excludes);
    job.recordBase = MirrorRecordBase();
    job.options.listZoneMinutes = ServerZoneMinutes(m_engine.Host());
    // A server folder that is not there yet is no failure: mirror-up makes it.
    m_ui.TolerateFailuresOf(WM_FTP_TREECWD);
    m_queue.SetSessions(m_parallel, true);
    m_mirror = std::make_unique<CMirrorRun>(m_engine, m_queue, std::move(job));
    connect(m_mirror.get(), &CMirrorRun::Planned, this, &CliSession::OnMirrorPlanned);
    connect(m_mirror.get(), &CMirrorRun::Finished, this, &CliSession::OnMirrorFinished);
    m_mirror->Start();
}

void CliSession::OnMirrorPlanned() {
    MirrorPlan plan = m_mirror->Plan();
    if (m_args.force)
        LetSourceWin(plan, m_mirror->Source());
    if (plan.stopReason) {
        m_ui.Fail(plan.stopReason);
        Finish(1);
        return;
    }
    if (plan.removalsWithheld)
        m_ui.PrintLine(std::string("lumo-cli: ") + plan.removalsWithheld);
    const bool removalsRefused = plan.needsConfirmation && !m_args.force;
    if (m_args.dryRun) {
        const std::string text = DryRunText(plan);
        std::fwrite(text.data(), 1, text.size(), m_out);
    }
    if (removalsRefused) {
        m_ui.Fail("the mirror would remove " + std::to_string(plan.removedFiles) + " of " +
                  std::to_string(plan.destinationFiles) +
                  " files on the destination side; nothing is removed without --force");
        std::erase_if(plan.actions, [](const MirrorAction& a) { return a.kind == MirrorAction::Remove; });
    }
    if (m_args.dryRun) {
        const bool conflicts =
            std::any_of(plan.actions.begin(), plan.actions.end(),
                        [](const MirrorAction& a) { return a.kind == MirrorAction::Conflict; });
        Finish(m_ui.Failed() ? 1 : conflicts ? 3 : 0);
        return;
    }
    m_mirror->Run(std::move(plan));
}

void CliSession::OnMirrorFinished() {
    if (!m_mirror->Error().isEmpty()) {
        m_ui.Fail(m_mirror->Error().toStdString());
        Finish(1);
        return;
    }
    for (const std::string& path : m_mirror->FailedPaths())
        m_ui.Fail("not mirrored: " + path);
    m_ui.PrintLine("lumo-cli: " + std::to_string(m_mirror->FilesSent()) + " files sent, " +
                   std::to_string(m_mirror->EntriesRemoved()) + " removed, " +
                   std::to_string(m_mirror->ConflictsLeft()) + " conflicts left");
    Finish(m_ui.Failed() ? 1 : m_mirror->ConflictsLeft() > 0 ? 3 : 0);
}

void CliSession::RequestStep() {
    if (m_stepRequested || m_finished)
        return;
    m_stepRequested = true;
    QTimer::singleShot(0, this, [this] {
        m_stepRequested = false;
        NextStep();
    });
}

void CliSession::NextStep() {
    if (m_finished)
        return;
    if (m_ui.LoginRefused() || !m_engine.IsConnected()) {
        Finish(1);
        return;
    }
    // Still at work: its Idle, or the queue's end, comes later; a mirror finishes by itself.
    if (m_engine.HasWork() || m_queue.HasWork() || m_mirror)
        return;
    if (!m_loggedIn) {
        m_loggedIn = true;
        m_loginTimer.stop();
        m_home = m_ui.GetCurrentPath();
    }
    m_ui.FlushRefusal();
    if (m_ui.Failed() || m_steps.empty()) {
        Finish(m_ui.Failed() ? 1 : 0);
        return;
    }
    std::function<void()> step = std::move(m_steps.front());
    m_steps.pop_front();
    step();
    // A step that queued nothing leaves the engine resting, and no Idle follows.
    if (!m_engine.HasWork() && !m_queue.HasWork())
        RequestStep();
}

void CliSession::Finish(int exitStatus) {
    if (m_finished)
        return;
    m_finished = true;
    m_loginTimer.stop();
    m_ui.FlushRefusal();
    m_ui.EndProgressLine();
    PrintFailedFiles();
    std::fflush(m_out);
    m_queue.CloseSessions();
    m_engine.CloseSession();
    emit Finished(m_ui.Failed() && exitStatus == 0 ? 1 : exitStatus);
}

void CliSession::PrintFailedFiles() {
    std::vector<const TransferItem*> failed;
    for (const TransferItem& item : m_queue.Items()) {
        if (item.state == TransferItem::State::Failed)
            failed.push_back(&item);
    }
    if (failed.empty())
        return;
    m_ui.PrintLine("lumo-cli: " + std::to_string(failed.size()) + " of " +
                   std::to_string(m_queue.FilesSeen()) + " files failed:");
    for (const TransferItem* item : failed)
        m_ui.PrintLine("  " + (item->IsUpload() ? item->LocalPath() : item->RemotePath()));
}
