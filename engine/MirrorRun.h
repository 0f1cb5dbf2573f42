#pragma once

#include "engine/MirrorExclusions.h"
#include "engine/MirrorPlan.h"
#include "engine/MirrorRecord.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CFtpEngine;
class CTransferQueue;
struct RemoteEntry;

// What one mirror of a folder pair is to do.
struct MirrorJob {
    MirrorOptions options;
    // The local folder (UTF-8, a whole path) and the server's folder (its bytes, a whole path).
    std::string localFolder;
    std::string remoteFolder;
    MirrorExclusions exclusions;
    // Where the records of folder pairs are kept.
    QString recordBase;
};

// One mirror of a folder pair on a logged-in session: it locks the pair's record, reads both trees
// (the server's folders several at once over the transfer queue's sessions, or one by one on the
// browsing session when the queue is not active; never entering links), plans, and on Run
// carries out the chosen actions: folders first, then the files through the transfer queue when
// it takes them, then a listing of each folder that got files (what the record keeps as seen right
// after), and removals last, only when every file arrived.
class CMirrorRun : public QObject {
    Q_OBJECT
public:
    CMirrorRun(CFtpEngine& browsing, CTransferQueue& queue, MirrorJob job, QObject* parent = nullptr);
    ~CMirrorRun() override;

    // Planned() follows, or Finished() with Error() set.
    void Start();
    // The plan Start() made; the caller may take actions out of it (the preview) before Run.
    [[nodiscard]] const MirrorPlan& Plan() const { return m_plan; }
    // The trees the plan was made from, as PlanMirror left them.
    [[nodiscard]] const MirrorSide& Source() const {
        return m_job.options.direction == MirrorDirection::Up ? m_local : m_remote;
    }
    [[nodiscard]] const MirrorSide& Destination() const {
        return m_job.options.direction == MirrorDirection::Up ? m_remote : m_local;
    }
    // Carries out `chosen`, the plan or a part of it; Finished() follows.
    void Run(MirrorPlan chosen);
    // Lets the record and the held sessions go without running anything (the preview was closed).
    void Abandon();
    // From Start until Finished or Abandon: the run holds its pair's record and the queue's sessions.
    [[nodiscard]] bool IsActive() const { return m_file.IsLocked(); }

    // Why the mirror stopped before it ran anything (a busy or unreadable record, a lost session);
    // empty otherwise.
    [[nodiscard]] const QString& Error() const { return m_error; }
    // Paths (relative to the pair) of files that did not arrive and entries not removed.
    [[nodiscard]] const std::vector<std::string>& FailedPaths() const { return m_failed; }
    [[nodiscard]] int FilesSent() const { return m_sent; }
    [[nodiscard]] int EntriesRemoved() const { return m_removed; }
    // Conflicts of the chosen plan, left as they were.
    [[nodiscard]] int ConflictsLeft() const { return m_conflictsLeft; }

signals:
    void Planned();
    void Finished();

private:
    void ListRemote(const std::string& relative);
    void OnRemoteListed(const std::string& relative, bool complete, std::vector<RemoteEntry> entries);
    void ReadExactTimes();
    void MakePlan();
    void MakeFolders();
    void SendFiles();
    void SetTimes();
    void CheckSent();
    void RemoveEntries();
    void CheckRemoved();
    void End();
    void Fail(const QString& why);
    // Runs `next` once the browsing session and the queue both rest.
    void WhenQuiet(std::function<void()> next);
    void OnQuiet();
    // Listings by folder relative to the pair.
    using FolderListings = std::unordered_map<std::string, std::vector<RemoteEntry>>;
    // Lists the server's folders (relative to the pair) and hands the entries, by folder, to `done`.
    void ListFolders(std::vector<std::string> folders, std::function<void(FolderListings)> done,
                     bool exactTimes = false);
    // Every listed entry by its path of the pair, as RemoteEntryOf makes it.
    std::unordered_map<std::string, MirrorEntry> EntriesByPath(const FolderListings& listed) const;

    // The server's whole path of a path of the pair, as listed where it was, else made of the
    // session's names.
    std::string RemotePath(const std::string& relative) const;
    std::string LocalPath(const std::string& relative) const;
    // An entry of a server listing as the mirror compares it; nothing for a name that cannot be one.
    std::optional<MirrorEntry> RemoteEntryOf(const std::string& parent, const RemoteEntry& e) const;

    CFtpEngine& m_engine;
    CTransferQueue& m_queue;
    MirrorJob m_job;
    MirrorRecordFile m_file;
    MirrorRecord m_record;
    MirrorSide m_local;
    MirrorSide m_remote;
    MirrorPlan m_plan;
    MirrorPlan m_chosen;
    // The server's own bytes of each listed path of the pair.
    std::unordered_map<std::string, std::string> m_remoteNames;
    int m_listingsOut = 0;
    std::function<void()> m_whenQuiet;
    // Between Start and Planned, and between Run and Finished: a lost session ends the mirror.
    bool m_working = false;
    QString m_error;
    std::vector<std::string> m_failed;
    int m_sent = 0;
    int m_removed = 0;
    int m_conflictsLeft = 0;
};

// Lets the source win every file conflict of a plan (lumo-cli's --force): a send, or a removal where
// the source no longer has the file (only planned when removals were asked for). A folder that is a
// file on the other side stays a conflict.
void LetSourceWin(MirrorPlan& plan, const MirrorSide& source);
