#include "engine/TransferQueue.h"

#include "engine/EngineMessages.h"
#include "engine/RemoteNames.h"

#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <unordered_set>

namespace {
// The screen hears of the whole queue's progress at most this often.
constexpr qint64 kProgressIntervalMs = 100;
// A session that lost its connection waits this long times the losses in a row before it tries
// again.
constexpr int kReconnectStepMs = 500;

std::string FolderOf(const std::string& path) {
    const std::size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}
} // namespace

const std::string& TransferItem::LocalPath() const {
    static const std::string none;
    if (const auto* up = std::get_if<Op::Upload>(&op))
        return up->local;
    if (const auto* down = std::get_if<Op::Download>(&op))
        return down->local;
    return none;
}

const std::string& TransferItem::RemotePath() const {
    if (const auto* up = std::get_if<Op::Upload>(&op))
        return up->remote;
    if (const auto* down = std::get_if<Op::Download>(&op))
        return down->remote;
    return std::get<Op::DeleteFile>(op).path;
}

struct CTransferQueue::Session {
    // 0 for the browsing session.
    int number = 0;
    std::unique_ptr<CTransferSessionUi> ownUi;
    std::unique_ptr<CFtpEngine> ownEngine;
    CFtpEngine* engine = nullptr;
    CTransferSessionUi* ui = nullptr;
    // The item running here (0: none).
    std::uint64_t item = 0;
    // The listing running here, and its number: the answer to an earlier one comes too late.
    std::optional<Listing> listing;
    std::uint64_t listingSerial = 0;
    // The login of the current connection has ended, and some login of this session ever did.
    bool loggedIn = false;
    bool everLoggedIn = false;
    // The server took no more connections: the session stays shut for this run.
    bool retired = false;
    // The login of the current connection was refused.
    bool refused = false;
    // Connections lost one after the other without a file finished between them.
    int lostInARow = 0;
    bool reconnectPending = false;
};

CTransferQueue::CTransferQueue(CEngineUi& ui, CFtpEngine& browsing, CTransferSessionUi& browsingUi)
    : m_ui(ui), m_browsing(browsing), m_browsingUi(browsingUi) {
    auto session = std::make_unique<Session>();
    session->engine = &browsing;
    session->ui = &browsingUi;
    Session* s = session.get();
    m_pool.push_back(std::move(session));
    CTransferSessionUi::Hooks hooks = HooksFor(*s);
    hooks.connected = [this](bool connected) {
        // The user's session ended: the host's other sessions go with it.
        if (!connected)
            QTimer::singleShot(0, this, [this] { CloseSessions(); });
    };
    browsingUi.SetHooks(std::move(hooks));
    connect(
        &browsing, &CFtpEngine::Idle, this, [this, s] { SessionIdle(*s); }, Qt::QueuedConnection);
    m_clock.start();
    m_sweep.setInterval(1000);
    connect(&m_sweep, &QTimer::timeout, this, &CTransferQueue::Sweep);
}

CTransferSessionUi::Hooks CTransferQueue::HooksFor(Session& session) {
    Session* s = &session;
    CTransferSessionUi::Hooks hooks;
    hooks.failure = [this, s](const std::string& text) {
        if (TransferItem* item = Find(s->item); item && item->reason.empty())
            item->reason = text;
    };
    hooks.progress = [this, s](const CTransferProgress& progress) {
        if (TransferItem* item = Find(s->item)) {
            item->done = static_cast<std::int64_t>(progress.Done());
            UpdateProgress();
        }
    };
    hooks.question = [this](bool open) {
        m_questionsOpen += open ? 1 : -1;
        if (!open && m_questionsOpen == 0)
            FeedSoon();
    };
    return hooks;
}

CTransferQueue::~CTransferQueue() {
    m_browsing.SetTransferSink({});
    for (auto& s : m_pool)
        s->ui->SetHooks({});
}

void CTransferQueue::SetSessions(int sessions, bool browsingCarries) {
    m_sessions = std::clamp(sessions, 1, kMaxSessions);
    m_browsingCarries = browsingCarries;
    if (Active()) {
        m_browsing.SetTransferSink([this](Operation op) { Take(std::move(op)); });
        m_browsing.SetDeletesPending([this] { return m_deletesActive > 0; });
    } else {
        m_browsing.SetTransferSink({});
        m_browsing.SetDeletesPending({});
    }
}

bool CTransferQueue::HasWork() const {
    return m_running;
}

bool CTransferQueue::Carries(const Session& s) const {
    return !s.retired && (s.number > 0 || m_browsingCarries);
}

void CTransferQueue::ListFolder(const std::string& path, ListingDone done, bool exactTimes) {
    // With no session beside it, the browsing session takes the folders one after the other
    // without going back to the user's folder between them.
    if (!Active() || m_sessions == 1) {
        m_browsing.ListFolder(path, std::move(done), exactTimes);
        return;
    }
    if (m_cancelling) {
        done(false, {});
        return;
    }
    BeginRun();
    m_listings.push_back({path, std::move(done), exactTimes});
    FeedSoon();
}

void CTransferQueue::HoldSessions(bool hold) {
    m_holdSessions = hold;
    if (hold || m_running)
        return;
    for (auto& s : m_pool) {
        if (s->number > 0)
            s->engine->CloseSession();
    }
}

int CTransferQueue::SessionsOpen() const {
    int open = 0;
    for (const auto& s : m_pool) {
        if (!s->retired && s->engine->IsLoggedIn() && (s->number > 0 || m_browsingCarries))
            ++open;
    }
    return open;
}

TransferItem* CTransferQueue::Find(std::uint64_t id) {
    const int row = RowOf(id);
    return row < 0 ? nullptr : &m_items[static_cast<std::size_t>(row)];
}

int CTransferQueue::RowOf(std::uint64_t id) const {
    if (id == 0)
        return -1;
    // Ids grow with the rows, and removals keep the order.
    const auto it =
        std::lower_bound(m_items.begin(), m_items.end(), id,
                         [](const TransferItem& item, std::uint64_t key) { return item.id < key; });
    return it != m_items.end() && it->id == id ? static_cast<int>(it - m_items.begin()) : -1;
}

void CTransferQueue::Take(Operation op) {
    if (m_items.size() >= CFtpEngine::kMaxQueueLength) {
        if (!m_overflowSaid) {
            const std::string line = "転送を待つファイルが多すぎるため、残りのファイルは転送しません。\r\n";
            Log(line);
            m_ui.OperationFailed(FirstStep(op), line);
            m_overflowSaid = true;
        }
        return;
    }
    BeginRun();
    TransferItem item;
    item.id = m_nextId++;
    if (const auto* up = std::get_if<Op::Upload>(&op)) {
        item.size = QFileInfo(QFile::decodeName(QByteArray::fromStdString(up->local))).size();
        item.done = up->offset;
    } else if (const auto* down = std::get_if<Op::Download>(&op)) {
        item.size = down->size;
    } else {
        ++m_deletesActive;
    }
    item.op = std::move(op);
    // An upload waits for the folders the browsing session is still making.
    const bool held = item.IsUpload() && (!m_browsing.Queue().empty() || m_browsing.IsBusy());
    item.state = held ? TransferItem::State::Held : TransferItem::State::Waiting;
    if (held)
        m_held.push_back(item.id);
    else
        m_waiting.push_back(item.id);
    ++m_filesSeen;
    AddToTotal(item);
    m_items.push_back(std::move(item));
    const int row = static_cast<int>(m_items.size()) - 1;
    emit ItemsAppended(row, row);
    FeedSoon();
}

void CTransferQueue::BeginRun() {
    if (m_running)
        return;
    m_running = true;
    m_browsingUi.SetQueueRunning(true);
    // While the queue runs, what the browsing session writes counts for the run as well.
    m_browsing.ShareRun(m_run);
    m_filesSeen = m_filesDone = m_filesFailed = 0;
    m_bytesEnded = 0;
    m_progress = CTransferProgress();
    m_progress.BeginProgress(0, 0);
    m_progress.MarkTransferStart();
    m_sweep.start();
}

void CTransferQueue::AddToTotal(const TransferItem& item) {
    m_progress.SetTotal(m_progress.Total() +
                        static_cast<std::uint64_t>(std::max<std::int64_t>(item.size, 0)));
}

void CTransferQueue::FeedSoon() {
    if (m_feedSoon)
        return;
    m_feedSoon = true;
    QTimer::singleShot(0, this, [this] {
        m_feedSoon = false;
        Feed();
    });
}

void CTransferQueue::Feed() {
    // What starts now may ask about its file; one question at a time.
    if (m_questionsOpen > 0)
        return;
    OpenSessions();
    for (auto& s : m_pool) {
        if ((m_waiting.empty() && m_listings.empty()) || m_questionsOpen > 0)
            break;
        if (!Carries(*s) || s->item != 0 || s->listing)
            continue;
        if (!s->engine->IsLoggedIn() || s->engine->HasWork())
            continue;
        // A walk waits for its listings to find more; files go on meanwhile on the other sessions.
        if (!m_listings.empty())
            StartListingOn(*s);
        else if (TransferItem* item = NextStartable())
            StartOn(*s, *item);
    }
    CheckFinished();
}

bool CTransferQueue::WrittenByRunning(const TransferItem& item) {
    for (const auto& s : m_pool) {
        const TransferItem* running = Find(s->item);
        if (!running || item.IsDelete() || running->IsDelete() || running->IsUpload() != item.IsUpload())
            continue;
        if (item.IsUpload() ? running->RemotePath() == item.RemotePath()
                            : running->LocalPath() == item.LocalPath())
            return true;
    }
    return false;
}

TransferItem* CTransferQueue::NextStartable() {
    std::size_t passed = 0;
    for (auto it = m_waiting.begin(); it != m_waiting.end() && passed < kLookAhead;) {
        TransferItem* item = Find(*it);
        if (!item || item->state != TransferItem::State::Waiting) {
            it = m_waiting.erase(it);
            continue;
        }
        if (!WrittenByRunning(*item)) {
            m_waiting.erase(it);
            return item;
        }
        ++it;
        ++passed;
    }
    return nullptr;
}

void CTransferQueue::StartOn(Session& s, TransferItem& item) {
    item.state = TransferItem::State::Running;
    item.session = s.number > 0 ? s.number : 1;
    item.startedAt = Now();
    m_lastStarted = item.RemotePath();
    item.reason.clear();
    s.item = item.id;
    s.ui->SetRunningQueuedFile(true);
    Operation op = item.op;
    if (item.attempts > 0) {
        // A download goes on from what arrived; an upload is sent whole again over what the server
        // kept of it.
        if (auto* down = std::get_if<Op::Download>(&op))
            down->existing = ExistingFile::Resume;
        else if (auto* up = std::get_if<Op::Upload>(&op))
            up->offset = 0;
    }
    emit ItemChanged(RowOf(item.id));
    ShowStatus();
    if (!s.engine->RunTransfer(std::move(op)))
        SessionLost(s);
}

void CTransferQueue::StartListingOn(Session& s) {
    s.listing = std::move(m_listings.front());
    m_listings.pop_front();
    const std::uint64_t serial = ++s.listingSerial;
    Session* session = &s;
    s.engine->ListFolder(
        s.listing->path,
        [this, session, serial](bool complete, std::vector<RemoteEntry> entries) {
            if (!session->listing || session->listingSerial != serial)
                return;
            Listing listing = std::move(*session->listing);
            session->listing.reset();
            FeedSoon();
            listing.done(complete, std::move(entries));
        },
        s.listing->exactTimes);
}

void CTransferQueue::ListingLost(Session& s) {
    if (!s.listing)
        return;
    Listing listing = std::move(*s.listing);
    s.listing.reset();
    if (!m_cancelling && s.number > 0 && listing.attempts < kMaxRetries) {
        ++listing.attempts;
        m_listings.push_front(std::move(listing));
        return;
    }
    listing.done(false, {});
}

void CTransferQueue::OpenSessions() {
    const std::size_t files = m_waiting.size() + m_held.size();
    if (!Active() || (files == 0 && m_listings.empty()) || !m_browsing.IsLoggedIn())
        return;
    const int extra = m_sessions - (m_browsingCarries ? 1 : 0);
    // A listing of a walk leads to more of them: every session opens for the first.
    const int wanted = m_listings.empty() ? std::min<int>(extra, static_cast<int>(files)) : extra;
    int open = 0;
    for (const auto& s : m_pool) {
        if (s->number > 0 && !s->retired && (s->engine->IsConnected() || s->reconnectPending))
            ++open;
    }
    for (auto& s : m_pool) {
        if (open >= wanted)
            return;
        if (s->number > 0 && !s->retired && !s->engine->IsConnected() && !s->reconnectPending) {
            s->loggedIn = false;
            s->refused = false;
            if (s->engine->ConnectAs(m_browsing))
                ++open;
        }
    }
    while (open < wanted && static_cast<int>(m_pool.size()) - 1 < extra) {
        auto session = std::make_unique<Session>();
        Session* s = session.get();
        s->number = static_cast<int>(m_pool.size());
        s->ownUi = std::make_unique<CTransferSessionUi>(m_ui, CTransferSessionUi::Role::Transfer, s->number);
        s->ownEngine = std::make_unique<CFtpEngine>(*s->ownUi);
        s->engine = s->ownEngine.get();
        s->ui = s->ownUi.get();
        CTransferSessionUi::Hooks hooks = HooksFor(*s);
        hooks.connected = [this, s](bool connected) {
            if (!connected)
                QTimer::singleShot(0, s->engine, [this, s] { SessionLost(*s); });
        };
        hooks.loginRefused = [s] { s->refused = true; };
        s->ui->SetHooks(std::move(hooks));
        s->engine->ReadSystemSettings();
        s->engine->SetTimeoutMs(m_browsing.TimeoutMs());
        s->engine->SetListAfterLogin(false);
        s->engine->SetReturnsToUserFolder(false);
        s->engine->ShareRun(m_run);
        connect(
            s->engine, &CFtpEngine::Idle, s->engine, [this, s] { SessionIdle(*s); }, Qt::QueuedConnection);
        m_pool.push_back(std::move(session));
        if (s->engine->ConnectAs(m_browsing))
            ++open;
    }
}

void CTransferQueue::SessionIdle(Session& s) {
    if (s.engine->IsLoggedIn() && !s.loggedIn) {
        s.loggedIn = true;
        s.everLoggedIn = true;
    }
    if (s.number == 0)
        ReleaseHeld();
    if (s.item != 0 && s.number > 0 && s.engine->TimedOut()) {
        // A session the server stopped answering is not trusted again: a new one tries the file.
        s.engine->CloseSession();
        return;
    }
    if (s.item != 0 && !s.engine->HasWork()) {
        const TransferItem* item = Find(s.item);
        EndItem(s, !item || item->reason.empty() ? TransferItem::State::Done : TransferItem::State::Failed);
    }
    FeedSoon();
}

void CTransferQueue::EndItem(Session& s, TransferItem::State state) {
    TransferItem* item = Find(s.item);
    s.item = 0;
    s.ui->SetRunningQueuedFile(false);
    if (!item)
        return;
    if (m_cancelling && state != TransferItem::State::Done)
        state = TransferItem::State::Cancelled;
    item->state = state;
    item->endedAt = Now();
    m_bytesEnded += static_cast<std::uint64_t>(std::max(item->size, item->done));
    ItemEnded(*item);
    if (state == TransferItem::State::Done) {
        ++m_filesDone;
        s.lostInARow = 0;
        if (item->IsUpload() || item->IsDelete())
            m_changedFolders.insert(FolderOf(item->RemotePath()));
    } else if (state == TransferItem::State::Failed) {
        ++m_filesFailed;
        if (item->reason.empty())
            item->reason = "接続が切れました。\r\n";
        m_ui.OperationFailed(FirstStep(item->op), item->reason);
    }
    emit ItemChanged(RowOf(item->id));
    UpdateProgress();
    ShowStatus();
}

void CTransferQueue::ItemEnded(const TransferItem& item) {
    if (!item.IsDelete() || m_deletesActive == 0 || --m_deletesActive > 0)
        return;
    // The folders waiting for their files to go may go now.
    QTimer::singleShot(0, this, [this] {
        m_browsing.ResumeAfterDeletes();
        CheckFinished();
    });
}

void CTransferQueue::SessionLost(Session& s) {
    if (s.engine->IsConnected())
        return;
    ListingLost(s);
    if (s.item != 0) {
        TransferItem* item = Find(s.item);
        if (item && !m_cancelling && s.number > 0 && item->attempts < kMaxRetries) {
            ++item->attempts;
            Log("[" + std::to_string(s.number) + "] 接続をやり直して、「" + LastNameOf(item->RemotePath()) +
                "」をもう一度転送します（" + std::to_string(item->attempts) + "/" +
                std::to_string(kMaxRetries) + " 回目）。\r\n");
            item->state = TransferItem::State::Waiting;
            item->reason.clear();
            m_waiting.push_front(item->id);
            s.item = 0;
            s.ui->SetRunningQueuedFile(false);
            emit ItemChanged(RowOf(item->id));
        } else {
            EndItem(s, TransferItem::State::Failed);
        }
    }
    if (s.number == 0 || m_cancelling || !m_running) {
        CheckFinished();
        return;
    }
    if (!s.loggedIn && (!s.everLoggedIn || s.refused)) {
        Retire(s);
    } else if (++s.lostInARow > kMaxRetries) {
        Retire(s);
    } else if (!m_waiting.empty() || !m_held.empty() || !m_listings.empty()) {
        s.reconnectPending = true;
        QTimer::singleShot(kReconnectStepMs * s.lostInARow, s.engine, [this, &s] {
            s.reconnectPending = false;
            FeedSoon();
        });
    }
    FeedSoon();
}

void CTransferQueue::Retire(Session& s) {
    if (s.retired)
        return;
    s.retired = true;
    int open = 0;
    for (const auto& other : m_pool) {
        if (other->number > 0 && !other->retired)
            ++open;
    }
    if (open == 0 && !m_browsingCarries) {
        // No second connection at all: the browsing session transfers, as with one connection.
        m_browsingCarries = true;
        m_fallback = true;
        Log("ホストが追加の接続を受け付けないため、ブラウズ用の接続で転送します。\r\n");
        return;
    }
    Log("ホストが追加の接続を受け付けないため、" + std::to_string(open + (m_browsingCarries ? 1 : 0)) +
        " 本の接続で転送を続けます。\r\n");
}

void CTransferQueue::ReleaseHeld() {
    if (m_held.empty() || m_browsing.HasWork())
        return;
    for (std::uint64_t id : m_held) {
        if (TransferItem* item = Find(id); item && item->state == TransferItem::State::Held) {
            item->state = TransferItem::State::Waiting;
            m_waiting.push_back(id);
            emit ItemChanged(RowOf(id));
        }
    }
    m_held.clear();
}

void CTransferQueue::CheckFinished() {
    if (!m_running || !m_waiting.empty() || !m_held.empty() || !m_listings.empty() || m_browsing.HasWork())
        return;
    for (const auto& s : m_pool) {
        if (s->item != 0 || s->listing)
            return;
    }
    m_running = false;
    m_browsingUi.SetQueueRunning(false);
    m_cancelling = false;
    m_overflowSaid = false;
    for (auto& s : m_pool) {
        s->retired = false;
        s->lostInARow = 0;
        if (s->number > 0 && !m_holdSessions)
            s->engine->CloseSession();
    }
    if (m_fallback) {
        m_fallback = false;
        m_browsingCarries = false;
    }
    *m_run = TransferRun();
    m_browsing.ShareRun(std::make_shared<TransferRun>());
    m_progress.ResetProgress();
    m_ui.ProgressChanged(m_progress);
    m_ui.SetStatusText({}, {});
    // The user's folder shows what was sent into it.
    const std::string here = m_browsingUi.GetCurrentPath();
    if (m_listChangedFolder && m_changedFolders.count(here) != 0 && m_browsing.IsLoggedIn())
        m_browsing.ListCurrentFolder();
    m_changedFolders.clear();
    emit Finished();
}

void CTransferQueue::UpdateProgress() {
    std::uint64_t done = m_bytesEnded;
    for (const auto& s : m_pool) {
        if (const TransferItem* item = Find(s->item))
            done += static_cast<std::uint64_t>(std::max<std::int64_t>(item->done, 0));
    }
    if (done > m_progress.Total())
        m_progress.SetTotal(done);
    // A file sent again from its start takes back bytes counted already: the count never goes back.
    if (done > m_progress.Done())
        m_progress.AdvanceProgress(done - m_progress.Done());
    if (m_progressShown.isValid() && m_progressShown.elapsed() < kProgressIntervalMs && m_running)
        return;
    m_progressShown.start();
    m_ui.ProgressChanged(m_progress);
}

void CTransferQueue::ShowStatus() {
    if (!m_running || m_cancelling)
        return;
    const std::string name = LastNameOf(m_lastStarted);
    const bool others = m_filesSeen - m_filesDone - m_filesFailed > 1;
    m_ui.SetStatusText(name + (others ? "ほかを転送中です（" : "を転送中です（") +
                           std::to_string(m_filesDone + m_filesFailed) + "/" + std::to_string(m_filesSeen) +
                           " ファイル、接続 " + std::to_string(SessionsOpen()) + " 本）",
                       name);
}

template <typename Pick> void CTransferQueue::RemoveIf(Pick drop) {
    // Runs of rows from the last one back, so that the rows before a run keep their numbers.
    int row = static_cast<int>(m_items.size()) - 1;
    while (row >= 0) {
        if (!drop(m_items[static_cast<std::size_t>(row)])) {
            --row;
            continue;
        }
        const int last = row;
        while (row > 0 && drop(m_items[static_cast<std::size_t>(row - 1)]))
            --row;
        emit ItemsRemoving(row, last);
        m_items.erase(m_items.begin() + row, m_items.begin() + last + 1);
        emit ItemsRemoved();
        --row;
    }
}

void CTransferQueue::Sweep() {
    const std::int64_t now = Now();
    RemoveIf([now](const TransferItem& item) {
        return item.state == TransferItem::State::Done && now - item.endedAt >= kKeepDoneMs;
    });
    if (m_items.empty() && !m_running)
        m_sweep.stop();
}

void CTransferQueue::Cancel() {
    if (!m_running)
        return;
    m_cancelling = true;
    m_ui.SetStatusText("キャンセル処理中です", {});
    const auto cancel = [this](std::uint64_t id) {
        TransferItem* item = Find(id);
        if (!item ||
            (item->state != TransferItem::State::Waiting && item->state != TransferItem::State::Held))
            return;
        item->state = TransferItem::State::Cancelled;
        ItemEnded(*item);
        emit ItemChanged(RowOf(id));
    };
    std::for_each(m_waiting.begin(), m_waiting.end(), cancel);
    std::for_each(m_held.begin(), m_held.end(), cancel);
    m_waiting.clear();
    m_held.clear();
    CancelListings();
    for (auto& s : m_pool) {
        if (TransferItem* item = Find(s->item))
            item->reason = "キャンセルしました。\r\n";
        if (s->item != 0)
            s->engine->CancelTransfers();
        else if (s->number > 0 && !s->engine->IsLoggedIn())
            s->engine->CloseSession();
    }
    FeedSoon();
}

void CTransferQueue::CancelListings() {
    // Every caller hears of its listing once, after the queue is in order: what it does then may
    // ask for more.
    std::vector<ListingDone> cancelled;
    for (Listing& listing : m_listings)
        cancelled.push_back(std::move(listing.done));
    m_listings.clear();
    for (auto& s : m_pool) {
        if (!s->listing)
            continue;
        cancelled.push_back(std::move(s->listing->done));
        s->listing.reset();
        s->engine->CancelTransfers();
    }
    for (ListingDone& done : cancelled)
        done(false, {});
}

void CTransferQueue::CloseSessions() {
    Cancel();
    for (auto& s : m_pool) {
        if (s->number > 0)
            s->engine->CloseSession();
    }
}

void CTransferQueue::Retry(const std::vector<std::uint64_t>& ids) {
    for (std::uint64_t id : ids) {
        TransferItem* item = Find(id);
        if (!item ||
            (item->state != TransferItem::State::Failed && item->state != TransferItem::State::Cancelled))
            continue;
        // A file of the run that still goes counts once; one of an ended run begins a new run.
        const bool fresh = !m_running;
        BeginRun();
        if (fresh)
            ++m_filesSeen;
        else if (item->state == TransferItem::State::Failed && m_filesFailed > 0)
            --m_filesFailed;
        item->state = TransferItem::State::Waiting;
        item->attempts = 0;
        item->reason.clear();
        item->done = 0;
        if (item->IsDelete())
            ++m_deletesActive;
        AddToTotal(*item);
        m_waiting.push_back(id);
        emit ItemChanged(RowOf(id));
    }
    FeedSoon();
}

void CTransferQueue::Remove(const std::vector<std::uint64_t>& ids) {
    const std::unordered_set<std::uint64_t> picked(ids.begin(), ids.end());
    for (std::uint64_t id : ids) {
        if (const TransferItem* item = Find(id);
            item && (item->state == TransferItem::State::Waiting || item->state == TransferItem::State::Held))
            ItemEnded(*item);
    }
    RemoveIf([&picked](const TransferItem& item) {
        return picked.count(item.id) != 0 && item.state != TransferItem::State::Running;
    });
    const auto gone = [this](std::uint64_t id) { return RowOf(id) < 0; };
    std::erase_if(m_waiting, gone);
    std::erase_if(m_held, gone);
    CheckFinished();
}
