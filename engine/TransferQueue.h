#pragma once

#include "engine/FtpEngine.h"
#include "engine/TransferProgress.h"
#include "engine/TransferSessionUi.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

// One file of a transfer queue: a download, an upload or a delete as its command decided it.
struct TransferItem {
    enum class State { Waiting, Held, Running, Done, Failed, Cancelled };

    std::uint64_t id = 0;
    // An Op::Download, Op::Upload or Op::DeleteFile.
    Operation op;
    State state = State::Waiting;
    // Bytes of the whole file (-1: unknown) and bytes at their destination so far.
    std::int64_t size = -1;
    std::int64_t done = 0;
    // The session that runs or ran it (1 for the first; 0 for none yet).
    int session = 0;
    // Connections lost while it ran, each followed by a new attempt up to the bound.
    int attempts = 0;
    // Why it failed, in the engine's words.
    std::string reason;
    // When it last started and when it ended, on the queue's clock (ms).
    std::int64_t startedAt = 0;
    std::int64_t endedAt = 0;

    [[nodiscard]] bool IsUpload() const { return std::holds_alternative<Op::Upload>(op); }
    [[nodiscard]] bool IsDelete() const { return std::holds_alternative<Op::DeleteFile>(op); }
    [[nodiscard]] const std::string& LocalPath() const;
    [[nodiscard]] const std::string& RemotePath() const;
    [[nodiscard]] bool Finished() const {
        return state == State::Done || state == State::Failed || state == State::Cancelled;
    }
};

// Runs the file transfers of the browsing session's commands on several sessions to the same host
// at once. The browsing session still walks the folders (lists them, makes them), so folders are
// there before their files; each file it decides on comes here and goes to the first session that
// is free. A caller that walks a tree itself (a mirror) has its folders listed here as well,
// several at once. Sessions log in like the browsing one and ask nothing it has been told. A
// session whose connection drops is opened again and its file tried again, a bounded number of
// times; a server that takes no more connections leaves the queue going on with fewer.
class CTransferQueue : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxSessions = 10;
    // New attempts after a lost connection, per file.
    static constexpr int kMaxRetries = 3;
    // A finished file leaves the list this long after it ended; failed and cancelled ones stay
    // until they are retried or removed.
    static constexpr std::int64_t kKeepDoneMs = 10000;

    // `browsing` runs with `browsingUi`, a Browsing session UI over `ui`.
    CTransferQueue(CEngineUi& ui, CFtpEngine& browsing, CTransferSessionUi& browsingUi);
    ~CTransferQueue() override;

    // Files go over `sessions` connections (1 to kMaxSessions); with `browsingCarries` the browsing
    // session is one of them, otherwise they are made beside it. One connection beside the browsing
    // session is none: nothing comes here then, and the browsing session transfers by itself as
    // it always did.
    void SetSessions(int sessions, bool browsingCarries);
    [[nodiscard]] int Sessions() const { return m_sessions; }
    // Whether the browsing session's commands hand their files to the queue.
    [[nodiscard]] bool Active() const { return m_sessions > 1 || m_browsingCarries; }

    // Whether the browsing session lists its folder again when the queue has changed it (the
    // window's list shows it; a terminal tool has nothing to show it in).
    void SetListChangedFolder(bool list) { m_listChangedFolder = list; }
    // Files or listings queued, held or running, or a walk of the browsing session still finding
    // files.
    [[nodiscard]] bool HasWork() const;
    [[nodiscard]] const std::deque<TransferItem>& Items() const { return m_items; }
    [[nodiscard]] int SessionsOpen() const;
    // Counts of the files this run: all seen, finished, failed.
    [[nodiscard]] std::uint64_t FilesSeen() const { return m_filesSeen; }
    [[nodiscard]] std::uint64_t FilesDone() const { return m_filesDone; }
    [[nodiscard]] std::uint64_t FilesFailed() const { return m_filesFailed; }
    [[nodiscard]] const CTransferProgress& Progress() const { return m_progress; }
    // The queue's clock (ms), which items' times are on.
    [[nodiscard]] std::int64_t Now() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }

    // Lists the server's folder at `path` on the first free session, as CFtpEngine::ListFolder
    // does, so that a walk reads several folders at once: first before any waiting file, and on
    // the browsing session only when it carries files (it lists there alone while the queue is
    // not active or has no other session). A listing cut off by a lost transfer session is tried
    // again on another. `done` is called once, with false when the folder could not be read or
    // the queue was cancelled.
    using ListingDone = std::function<void(bool complete, std::vector<RemoteEntry> entries)>;
    void ListFolder(const std::string& path, ListingDone done, bool exactTimes = false);
    // While held, the transfer sessions stay open when a run ends, for a caller that has more for
    // them (a mirror lists, then sends, then lists again); let go, they close if nothing runs.
    void HoldSessions(bool hold);

    // Stops everything: waiting files are cancelled, running ones aborted (what they left on disk
    // is named in the log).
    void Cancel();
    // Ends every transfer session, as the browsing session ends.
    void CloseSessions();
    // Failed or cancelled items go again; finished ones that are not running leave the list.
    void Retry(const std::vector<std::uint64_t>& ids);
    void Remove(const std::vector<std::uint64_t>& ids);

signals:
    // Rows of Items(): appended at the end, changed, about to go and gone.
    void ItemsAppended(int first, int last);
    void ItemChanged(int row);
    void ItemsRemoving(int first, int last);
    void ItemsRemoved();
    // Nothing is queued, held or running any more.
    void Finished();

private:
    struct Session;
    struct Listing {
        std::string path;
        ListingDone done;
        bool exactTimes = false;
        int attempts = 0;
    };

    // What every session tells the queue of the file it runs and of its questions.
    CTransferSessionUi::Hooks HooksFor(Session& session);
    void Take(Operation op);
    // A run begins with the first file queued after the queue was empty.
    void BeginRun();
    // The whole queue's bytes grow by the item's size (when it is known).
    void AddToTotal(const TransferItem& item);
    void FeedSoon();
    void Feed();
    // The first waiting item that may start now: a local file (download) or remote file (upload)
    // is never written by two sessions at once, so that the check against what this run wrote
    // sees the first one finished. Looks this far down the waiting items.
    static constexpr std::size_t kLookAhead = 64;
    TransferItem* NextStartable();
    bool WrittenByRunning(const TransferItem& item);
    void StartOn(Session& session, TransferItem& item);
    void StartListingOn(Session& session);
    // Whether `session` may run the queue's files and listings.
    bool Carries(const Session& session) const;
    // The listing of `session` went with its connection: another session tries it, a bounded
    // number of times.
    void ListingLost(Session& session);
    void CancelListings();
    void OpenSessions();
    void SessionIdle(Session& session);
    void SessionLost(Session& session);
    void EndItem(Session& session, TransferItem::State state);
    // Keeps the count of deletes still to come as an item leaves the waiting and running ones.
    void ItemEnded(const TransferItem& item);
    void Retire(Session& session);
    void ReleaseHeld();
    void CheckFinished();
    void UpdateProgress();
    void ShowStatus();
    void Sweep();
    TransferItem* Find(std::uint64_t id);
    int RowOf(std::uint64_t id) const;
    // Removes the items `drop` picks, telling the rows' watchers run by run.
    template <typename Pick> void RemoveIf(Pick drop);
    void Log(const std::string& line) { m_ui.AppendLog(line); }

    CEngineUi& m_ui;
    CFtpEngine& m_browsing;
    CTransferSessionUi& m_browsingUi;
    int m_sessions = 1;
    bool m_browsingCarries = false;
    std::vector<std::unique_ptr<Session>> m_pool;
    std::deque<TransferItem> m_items;
    std::deque<std::uint64_t> m_waiting;
    std::vector<std::uint64_t> m_held;
    std::deque<Listing> m_listings;
    bool m_holdSessions = false;
    std::uint64_t m_nextId = 1;
    std::shared_ptr<TransferRun> m_run = std::make_shared<TransferRun>();
    // A question is open: nothing starts until it is answered.
    int m_questionsOpen = 0;
    bool m_feedSoon = false;
    bool m_running = false;
    bool m_overflowSaid = false;
    bool m_cancelling = false;
    // The remote path of the file started last: the status bar names it.
    std::string m_lastStarted;
    // The browsing session carries the files because the server took no other connection.
    bool m_fallback = false;
    // The remote folders that uploads and deletes of this run changed.
    std::unordered_set<std::string> m_changedFolders;
    bool m_listChangedFolder = true;
    // Deletes queued or running: the browsing session removes no folder while there are any.
    std::uint64_t m_deletesActive = 0;
    std::uint64_t m_filesSeen = 0;
    std::uint64_t m_filesDone = 0;
    std::uint64_t m_filesFailed = 0;
    // Bytes of the files that ended.
    std::uint64_t m_bytesEnded = 0;
    CTransferProgress m_progress;
    QElapsedTimer m_clock;
    QElapsedTimer m_progressShown;
    QTimer m_sweep;
};
