#include "engine/MirrorRun.h"

#include "engine/FtpEngine.h"
#include "engine/LocalNames.h"
#include "engine/MirrorLocalTree.h"
#include "engine/RemoteNames.h"
#include "engine/TransferQueue.h"
#include "platform/LocalFiles.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include <set>
#include <unordered_set>

namespace {

std::string ParentOf(const std::string& relative) {
    const std::size_t cut = relative.rfind('/');
    return cut == std::string::npos ? std::string() : relative.substr(0, cut);
}

std::string Joined(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "/" + name;
}

MirrorKey KeyOf(const CFtpEngine& engine, const MirrorJob& job) {
    return {engine.Host().Adr, engine.Host().Port, engine.Host().User, job.localFolder, job.remoteFolder};
}

} // namespace

void LetSourceWin(MirrorPlan& plan, const MirrorSide& source) {
    for (MirrorAction& action : plan.actions) {
        if (action.kind != MirrorAction::Conflict || action.folder || action.size < 0)
            continue;
        const MirrorEntry* had = FindEntry(source, action.path);
        if (had && had->folder)
            continue;
        action.kind = had ? MirrorAction::Send : MirrorAction::Remove;
        action.reason = "";
        plan.removedFiles += had ? 0 : 1;
    }
}

CMirrorRun::CMirrorRun(CFtpEngine& browsing, CTransferQueue& queue, MirrorJob job, QObject* parent)
    : QObject(parent), m_engine(browsing), m_queue(queue), m_job(std::move(job)),
      m_file(m_job.recordBase, KeyOf(browsing, m_job)) {
    connect(&m_engine, &CFtpEngine::Idle, this, &CMirrorRun::OnQuiet, Qt::QueuedConnection);
    connect(&m_engine, &CFtpEngine::Ended, this, &CMirrorRun::OnQuiet, Qt::QueuedConnection);
    connect(&m_queue, &CTransferQueue::Finished, this, &CMirrorRun::OnQuiet, Qt::QueuedConnection);
}

CMirrorRun::~CMirrorRun() = default;

void CMirrorRun::Fail(const QString& why) {
    m_working = false;
    m_error = why;
    m_queue.HoldSessions(false);
    m_file.Unlock();
    QTimer::singleShot(0, this, &CMirrorRun::Finished);
}

void CMirrorRun::Start() {
    switch (m_file.Lock(0)) {
    case FileLock::Result::Locked:
        break;
    case FileLock::Result::Busy:
        Fail(QStringLiteral("このフォルダの組は、ほかの lumo がミラーリングしています。"));
        return;
    case FileLock::Result::Failed:
        Fail(QStringLiteral("ミラーリングの記録 %1 を作成できません。").arg(m_file.path()));
        return;
    }
    // An unreadable record or another pair's is as good as none: the next save replaces it.
    m_working = true;
    m_file.Load(m_record);
    m_local = ReadLocalTree(m_job.localFolder, m_job.exclusions);
    // The sessions that list the tree carry its files and list their folders after.
    m_queue.HoldSessions(true);
    ListRemote({});
}

void CMirrorRun::ListRemote(const std::string& relative) {
    ++m_listingsOut;
    m_queue.ListFolder(RemotePath(relative),
                       [this, relative](bool complete, std::vector<RemoteEntry> entries) {
                           OnRemoteListed(relative, complete, std::move(entries));
                       });
}

std::optional<MirrorEntry> CMirrorRun::RemoteEntryOf(const std::string& parent, const RemoteEntry& e) const {
    if (!IsSafeRemoteName(e.name) || !IsSafeLocalName(e.name, m_engine.Names()))
        return std::nullopt;
    MirrorEntry entry;
    entry.path = Joined(parent, LocalNameFor(e.name, m_engine.Names()).toStdString());
    entry.link = e.link;
    entry.folder = e.IsFolder() && !e.link;
    entry.size = entry.folder ? -1 : ListedSize(e.size, e.link);
    if (e.modifiedUtc != RemoteEntry::kNoExactTime)
        entry.time = {e.modifiedUtc, 0, TimePrecision::Exact};
    else if (const std::optional<MirrorTime> time =
                 ListedTimeUtc(e.date.view(), m_job.options.listZoneMinutes))
        entry.time = *time;
    return entry;
}

void CMirrorRun::OnRemoteListed(const std::string& relative, bool complete,
                                std::vector<RemoteEntry> entries) {
    --m_listingsOut;
    if (relative.empty() && !complete && entries.empty()) {
        // The server's folder is not there (or cannot be entered): an upload makes it.
        m_remote.exists = false;
    } else if (!complete) {
        m_remote.readable = false;
    }
    const std::string parentRaw = RemotePath(relative);
    for (const RemoteEntry& e : entries) {
        std::optional<MirrorEntry> entry = RemoteEntryOf(relative, e);
        if (!entry) {
            // A name that cannot be one file here: what the folder holds is not wholly known.
            m_remote.complete = false;
            continue;
        }
        if (m_job.exclusions.Excludes(entry->path, entry->folder))
            continue;
        m_remoteNames[entry->path] = parentRaw + "/" + e.name;
        if (entry->folder)
            ListRemote(entry->path);
        m_remote.entries.push_back(std::move(*entry));
    }
    if (m_listingsOut > 0)
        return;
    ReadExactTimes();
}

void CMirrorRun::ReadExactTimes() {
    // Only a file found on both sides and never recorded is judged by its times (a site adopted,
    // a record lost): LIST's minute in a guessed zone is too coarse for that where MLSD can tell.
    // Folders come by LIST first because some servers' MLSD shows a link as what it points to.
    std::set<std::string> folders;
    if (m_engine.Offers("MLST") && m_local.readable && m_remote.readable) {
        std::unordered_set<std::string_view> localFiles;
        for (const MirrorEntry& e : m_local.entries) {
            if (!e.folder && !e.link)
                localFiles.insert(e.path);
        }
        for (const MirrorEntry& e : m_remote.entries) {
            if (!e.folder && !e.link && e.time.precision != TimePrecision::Exact && !m_record.Find(e.path) &&
                localFiles.count(e.path) != 0)
                folders.insert(ParentOf(e.path));
        }
    }
    ListFolders(
        {folders.begin(), folders.end()},
        [this](const FolderListings& listed) {
            const auto seen = EntriesByPath(listed);
            for (MirrorEntry& e : m_remote.entries) {
                const auto found = e.folder || e.link ? seen.end() : seen.find(e.path);
                if (found != seen.end() && !found->second.folder && !found->second.link &&
                    found->second.time.precision == TimePrecision::Exact)
                    e.time = found->second.time;
            }
            MakePlan();
        },
        true);
}

void CMirrorRun::MakePlan() {
    const MirrorDirection direction = m_job.options.direction;
    MirrorSide& source = direction == MirrorDirection::Up ? m_local : m_remote;
    MirrorSide& destination = direction == MirrorDirection::Up ? m_remote : m_local;
    m_plan = PlanMirror(source, destination, m_record, m_job.options, m_job.exclusions);
    // From the event loop, not from inside the session's listing: what follows may ask the person.
    m_working = false;
    QTimer::singleShot(0, this, &CMirrorRun::Planned);
}

std::string CMirrorRun::RemotePath(const std::string& relative) const {
    if (relative.empty())
        return m_job.remoteFolder;
    if (const auto found = m_remoteNames.find(relative); found != m_remoteNames.end())
        return found->second;
    const std::size_t cut = relative.rfind('/');
    const std::string name = cut == std::string::npos ? relative : relative.substr(cut + 1);
    return RemotePath(ParentOf(relative)) + "/" + m_engine.ServerNameFor(QString::fromStdString(name));
}

std::string CMirrorRun::LocalPath(const std::string& relative) const {
    return relative.empty() ? m_job.localFolder : m_job.localFolder + "/" + relative;
}

void CMirrorRun::Abandon() {
    m_queue.HoldSessions(false);
    m_file.Unlock();
}

void CMirrorRun::Run(MirrorPlan chosen) {
    m_working = true;
    m_chosen = std::move(chosen);
    if (m_chosen.stopReason) {
        End();
        return;
    }
    // Each file is marked before it goes, with both sides as they are: a run cut short takes what
    // it left for neither a change on the other side nor a file that arrived.
    std::vector<std::string> marked;
    for (const MirrorAction& action : m_chosen.actions) {
        if (action.kind == MirrorAction::Conflict)
            ++m_conflictsLeft;
        if (action.kind != MirrorAction::Send)
            continue;
        const auto fileOf = [&action](const MirrorSide& side) {
            const MirrorEntry* e = FindEntry(side, action.path);
            if (e && !e->folder)
                return *e;
            MirrorEntry absent;
            absent.path = action.path;
            return absent;
        };
        MirrorRecordEntry entry =
            RecordedEntry(fileOf(m_local), fileOf(m_remote), m_job.options.listZoneMinutes);
        entry.sending = true;
        m_record.Set(action.path, entry);
        marked.push_back(action.path);
    }
    m_file.Append(m_record, marked);
    MakeFolders();
}

void CMirrorRun::MakeFolders() {
    const bool up = m_job.options.direction == MirrorDirection::Up;
    if (up && !m_remote.exists)
        m_engine.RunTransfer(Op::MakeFolder{m_job.remoteFolder});
    for (const MirrorAction& action : m_chosen.actions) {
        if (action.kind != MirrorAction::MakeFolder)
            continue;
        if (!up) {
            // Made one level at a time below a folder of the pair, never through a link.
            if (InspectLocalPath(LocalPath(ParentOf(action.path))).kind == LocalEntry::Kind::Folder)
                QDir().mkdir(QString::fromStdString(LocalPath(action.path)));
            continue;
        }
        m_engine.RunTransfer(Op::MakeFolder{RemotePath(action.path)});
    }
    WhenQuiet([this] { SendFiles(); });
}

void CMirrorRun::SendFiles() {
    const bool up = m_job.options.direction == MirrorDirection::Up;
    for (const MirrorAction& action : m_chosen.actions) {
        if (action.kind != MirrorAction::Send)
            continue;
        if (up)
            m_engine.HandOver(Op::Upload{LocalPath(action.path), RemotePath(action.path), 0});
        else
            m_engine.HandOver(Op::Download{LocalPath(action.path), RemotePath(action.path), action.size,
                                           ExistingFile::Replace});
    }
    WhenQuiet([this] { SetTimes(); });
}

void CMirrorRun::SetTimes() {
    // A file sent up takes its local time on the server too, so that a later comparison without
    // the record (another computer, a record lost) finds it unchanged.
    std::vector<std::pair<std::string, std::int64_t>> times;
    if (m_job.options.direction == MirrorDirection::Up && m_engine.Offers("MFMT")) {
        for (const MirrorAction& action : m_chosen.actions) {
            if (action.kind != MirrorAction::Send)
                continue;
            if (const std::optional<MirrorEntry> local = ReadLocalFile(m_job.localFolder, action.path))
                times.emplace_back(RemotePath(action.path), local->time.seconds);
        }
    }
    m_engine.SetTimes(std::move(times));
    WhenQuiet([this] { CheckSent(); });
}

void CMirrorRun::CheckSent() {
    // What arrived is what the server lists now, one listing per folder that got files; files
    // fetched take the server's time from it, to the second where MLSD tells it, as MFMT gives
    // a file sent up its local one: a lost record then finds them unchanged.
    const bool up = m_job.options.direction == MirrorDirection::Up;
    std::set<std::string> folders;
    for (const MirrorAction& action : m_chosen.actions) {
        if (action.kind == MirrorAction::Send || action.kind == MirrorAction::RecordOnly)
            folders.insert(ParentOf(action.path));
    }
    ListFolders(
        {folders.begin(), folders.end()},
        [this, up](const FolderListings& listed) {
            const MirrorSide& source = up ? m_local : m_remote;
            const auto seen = EntriesByPath(listed);
            std::vector<std::string> recorded;
            for (const MirrorAction& action : m_chosen.actions) {
                if (action.kind != MirrorAction::Send && action.kind != MirrorAction::RecordOnly)
                    continue;
                const auto found = seen.find(action.path);
                const MirrorEntry* remote = found == seen.end() ? nullptr : &found->second;
                if (!up && action.kind == MirrorAction::Send && remote &&
                    remote->time.precision != TimePrecision::Unknown)
                    SetLocalFileTime(LocalPath(action.path), remote->time.seconds);
                const std::optional<MirrorEntry> local = ReadLocalFile(m_job.localFolder, action.path);
                const MirrorEntry* planned = FindEntry(source, action.path);
                const bool arrived = local && remote && !remote->folder && local->size == remote->size &&
                                     (!planned || planned->size == local->size);
                if (!arrived) {
                    m_failed.push_back(action.path);
                    continue;
                }
                if (action.kind == MirrorAction::Send)
                    ++m_sent;
                m_record.Set(action.path, RecordedEntry(*local, *remote, m_job.options.listZoneMinutes));
                recorded.push_back(action.path);
            }
            m_file.Append(m_record, recorded);
            RemoveEntries();
        },
        !up);
}

void CMirrorRun::RemoveEntries() {
    // Removals go only after every file arrived: a half-done mirror never loses what it had.
    if (!m_failed.empty() || m_chosen.removalsWithheld) {
        End();
        return;
    }
    std::set<std::string> folders;
    const bool up = m_job.options.direction == MirrorDirection::Up;
    for (const MirrorAction& action : m_chosen.actions) {
        if (action.kind != MirrorAction::Remove)
            continue;
        if (!up) {
            const QString path = QString::fromStdString(LocalPath(action.path));
            // Only the entry itself goes, and a folder only when it is empty by then.
            const bool gone = action.folder ? QDir().rmdir(path) : QFile::remove(path);
            if (gone) {
                ++m_removed;
                m_record.Forget(action.path);
            } else {
                m_failed.push_back(action.path);
            }
            continue;
        }
        folders.insert(ParentOf(action.path));
        if (action.folder)
            m_engine.RunTransfer(Op::RemoveFolder{RemotePath(action.path)});
        else
            m_engine.RunTransfer(Op::DeleteFile{RemotePath(action.path)});
    }
    if (!up || folders.empty()) {
        End();
        return;
    }
    WhenQuiet([this, folders] {
        ListFolders({folders.begin(), folders.end()}, [this](const FolderListings& listed) {
            const auto seen = EntriesByPath(listed);
            for (const MirrorAction& action : m_chosen.actions) {
                if (action.kind != MirrorAction::Remove)
                    continue;
                if (seen.count(action.path) != 0) {
                    m_failed.push_back(action.path);
                } else {
                    ++m_removed;
                    m_record.Forget(action.path);
                }
            }
            End();
        });
    });
}

void CMirrorRun::End() {
    m_working = false;
    m_queue.HoldSessions(false);
    m_file.Save(m_record);
    m_file.Unlock();
    // Whoever hears it may end the session: not from inside one of its listings.
    QTimer::singleShot(0, this, &CMirrorRun::Finished);
}

std::unordered_map<std::string, MirrorEntry> CMirrorRun::EntriesByPath(const FolderListings& listed) const {
    std::unordered_map<std::string, MirrorEntry> byPath;
    for (const auto& [folder, entries] : listed) {
        for (const RemoteEntry& e : entries) {
            if (std::optional<MirrorEntry> entry = RemoteEntryOf(folder, e))
                byPath.emplace(entry->path, std::move(*entry));
        }
    }
    return byPath;
}

void CMirrorRun::ListFolders(std::vector<std::string> folders, std::function<void(FolderListings)> done,
                             bool exactTimes) {
    auto listed = std::make_shared<FolderListings>();
    auto left = std::make_shared<std::size_t>(folders.size());
    if (folders.empty()) {
        done({});
        return;
    }
    for (const std::string& folder : folders) {
        m_queue.ListFolder(
            RemotePath(folder),
            [listed, left, folder, done](bool, std::vector<RemoteEntry> entries) {
                (*listed)[folder] = std::move(entries);
                if (--*left == 0)
                    done(std::move(*listed));
            },
            exactTimes);
    }
}

void CMirrorRun::WhenQuiet(std::function<void()> next) {
    m_whenQuiet = std::move(next);
    OnQuiet();
}

void CMirrorRun::OnQuiet() {
    if (!m_working)
        return;
    // A lost session answers no listing and rests no more: the record is let go now.
    if (!m_engine.IsConnected()) {
        m_whenQuiet = nullptr;
        Fail(QStringLiteral(
            "接続が切れたため、ミラーリングを中断しました。もう一度実行すると続きから行います。"));
        return;
    }
    if (!m_whenQuiet || m_engine.HasWork() || m_queue.HasWork())
        return;
    // Later, from the event loop: the session may still be ending the step that made it rest.
    QTimer::singleShot(0, this, [this] {
        if (m_whenQuiet && !m_engine.HasWork() && !m_queue.HasWork())
            std::exchange(m_whenQuiet, nullptr)();
    });
}
