#include "engine/MirrorPlan.h"

#include <QString>

#include <algorithm>
#include <optional>
#include <string_view>
#include <tuple>

namespace {

const char* const kLinkSkipped = "リンクのため飛ばしました";
const char* const kDestinationLink = "送り先がリンクのため飛ばしました";
const char* const kChangedOnServer = "サーバー側で変更されています";
const char* const kChangedLocally = "ローカルで変更されています";
const char* const kChangedOnBoth = "ローカルとサーバーの両方で変更されています";
const char* const kServerNewer = "サーバー側の方が新しくなっています";
const char* const kLocalNewer = "ローカルの方が新しくなっています";
const char* const kKindsDiffer = "一方ではフォルダー、もう一方ではファイルです";
const char* const kSourceMissing = "送り元のフォルダーがないため、ミラーリングを中止しました";
const char* const kSourceEmpty = "送り元のフォルダーが空のため、ミラーリングを中止しました";
const char* const kListingIncomplete = "ミラーリングできない名前があるため削除しません";
const char* const kListingUnreadable =
    "一覧を最後まで読めないフォルダーがあるため、ミラーリングを中止しました";

// Two machines' clocks, both to the second, rarely agree to the second.
constexpr std::int64_t kClockAllowance = 2;

// Orders paths as a walk of the tree meets them: each folder right before its contents.
int TreeCompare(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] == b[i])
            continue;
        const int ka = a[i] == '/' ? 0 : static_cast<unsigned char>(a[i]) + 1;
        const int kb = b[i] == '/' ? 0 : static_cast<unsigned char>(b[i]) + 1;
        return ka < kb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool IsUnder(std::string_view path, std::string_view folder) {
    return path.size() > folder.size() && path[folder.size()] == '/' &&
           path.substr(0, folder.size()) == folder;
}

std::string_view ParentOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

// The spelling that names differing only in case or Unicode form share: such names are one file on
// servers that ignore case and on file systems that normalise names. Nothing for a name that is its
// own spelling, as most are.
std::optional<std::string> ClashKey(std::string_view name) {
    bool ascii = true;
    bool upper = false;
    for (const char c : name) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        upper = upper || (c >= 'A' && c <= 'Z');
    }
    if (ascii && !upper)
        return std::nullopt;
    std::string key;
    if (ascii) {
        key = name;
        for (char& c : key)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
    } else {
        key = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
                  .normalized(QString::NormalizationForm_C)
                  .toCaseFolded()
                  .toStdString();
    }
    if (key == name)
        return std::nullopt;
    return key;
}

// The folders (by path, sorted) where two names of either side collide, or a side lists one twice.
std::vector<std::string> FindClashFolders(const std::vector<MirrorEntry>& source,
                                          const std::vector<MirrorEntry>& destination) {
    // Most names are their own key; only the others keep a key of their own, so that a tree of
    // 100,000 files costs no string per name here.
    std::vector<std::string> keys;
    struct Name {
        std::string_view folder;
        std::string_view name;
        std::uint32_t key; // index into keys, or kOwnKey
        std::uint32_t side;
    };
    constexpr std::uint32_t kOwnKey = ~0u;
    std::vector<Name> names;
    names.reserve(source.size() + destination.size());
    std::uint32_t side = 0;
    for (const auto* entries : {&source, &destination}) {
        for (const MirrorEntry& e : *entries) {
            const std::string_view folder = ParentOf(e.path);
            const std::string_view name =
                std::string_view(e.path).substr(folder.empty() ? 0 : folder.size() + 1);
            std::optional<std::string> key = ClashKey(name);
            std::uint32_t index = kOwnKey;
            if (key) {
                index = static_cast<std::uint32_t>(keys.size());
                keys.push_back(std::move(*key));
            }
            names.push_back({folder, name, index, side});
        }
        ++side;
    }
    const auto keyOf = [&keys](const Name& n) {
        return n.key == kOwnKey ? n.name : std::string_view(keys[n.key]);
    };
    std::sort(names.begin(), names.end(), [&keyOf](const Name& a, const Name& b) {
        return std::make_tuple(a.folder, keyOf(a), a.name, a.side) <
               std::make_tuple(b.folder, keyOf(b), b.name, b.side);
    });
    std::vector<std::string> folders;
    for (std::size_t k = 1; k < names.size(); ++k) {
        const Name& a = names[k - 1];
        const Name& b = names[k];
        if (a.folder == b.folder && keyOf(a) == keyOf(b) && (a.name != b.name || a.side == b.side))
            folders.emplace_back(a.folder);
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    return folders;
}

void SortAndDropRepeats(std::vector<MirrorEntry>& entries) {
    const auto less = [](const MirrorEntry& a, const MirrorEntry& b) {
        return TreeCompare(a.path, b.path) < 0;
    };
    // A walk of the tree mostly gives this order already.
    if (!std::is_sorted(entries.begin(), entries.end(), less))
        std::sort(entries.begin(), entries.end(), less);
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const MirrorEntry& a, const MirrorEntry& b) { return a.path == b.path; }),
                  entries.end());
}

// A LIST date is kept as the server wrote it, not as read in the zone set then: a zone set later
// (or found) does not make every recorded file look changed. Exact times are UTC already.
std::int64_t RecordedSeconds(const MirrorTime& time, int listZoneMinutes) {
    const bool listed = time.precision == TimePrecision::Minute || time.precision == TimePrecision::Day;
    return time.seconds + (listed ? std::int64_t{listZoneMinutes} * 60 : 0);
}

bool LocalChanged(const MirrorEntry& local, const MirrorRecordEntry& recorded) {
    return local.size != recorded.localSize || local.time.TotalNanoseconds() != recorded.localNanoseconds;
}

// Compared with what was seen right after sending: an unchanged file lists the same time again, however
// coarse, and any other time of the same precision means it changed. Only when the precision moved
// (an old file listed by day instead of minute, MLSD no longer offered) do the spans decide.
bool RemoteChanged(const MirrorEntry& remote, const MirrorRecordEntry& recorded, int listZoneMinutes) {
    if (remote.size != recorded.remoteSize)
        return true;
    if (remote.time.precision == recorded.remotePrecision)
        return remote.time.precision != TimePrecision::Unknown &&
               RecordedSeconds(remote.time, listZoneMinutes) != recorded.remoteSeconds;
    const std::int64_t utc =
        recorded.remoteSeconds - RecordedSeconds({0, 0, recorded.remotePrecision}, listZoneMinutes);
    return TimesDiffer(remote.time, MirrorTime{utc, 0, recorded.remotePrecision}, 0);
}

class Planner {
public:
    Planner(const MirrorRecord& record, const MirrorOptions& options, const MirrorExclusions& exclusions)
        : m_record(record), m_options(options), m_exclusions(exclusions) {}

    void Run(MirrorSide& source, MirrorSide& destination, MirrorPlan& plan) {
        m_plan = &plan;
        m_removing = m_options.removeAbsent && source.complete && destination.complete;
        if (m_options.removeAbsent && !m_removing)
            plan.removalsWithheld = kListingIncomplete;
        if (m_options.removeAbsent)
            plan.clashFolders = FindClashFolders(source.entries, destination.entries);
        SortAndDropRepeats(source.entries);
        SortAndDropRepeats(destination.entries);
        const auto& src = source.entries;
        const auto& dst = destination.entries;
        for (std::size_t i = 0, j = 0; i < src.size() || j < dst.size();) {
            const MirrorEntry* s = i < src.size() ? &src[i] : nullptr;
            const MirrorEntry* d = j < dst.size() ? &dst[j] : nullptr;
            const int order = !s ? 1 : !d ? -1 : TreeCompare(s->path, d->path);
            if (order < 0)
                d = nullptr;
            if (order > 0)
                s = nullptr;
            Visit(s, d);
            i += s != nullptr;
            j += d != nullptr;
        }
        FinishRemovals();
    }

    bool SawSource() const { return m_sawSource; }

private:
    void Add(MirrorAction::Kind kind, const MirrorEntry& entry, const char* reason = "") {
        m_plan->actions.push_back({kind, entry.folder, entry.path, entry.folder ? -1 : entry.size, reason});
    }

    void SkipBelow(const std::string& path) { m_skipBelow = path; }

    // Something under the open folders stays, so they stay too.
    void KeepOpenFolders() {
        for (const std::size_t index : m_openFolders)
            m_kept[index] = true;
    }

    void Visit(const MirrorEntry* s, const MirrorEntry* d) {
        const std::string& path = s ? s->path : d->path;
        if (!m_skipBelow.empty() && IsUnder(path, m_skipBelow))
            return;
        while (!m_openFolders.empty() && !IsUnder(path, m_removals[m_openFolders.back()].path))
            m_openFolders.pop_back();
        if ((s && m_exclusions.Excludes(path, s->folder)) || (d && m_exclusions.Excludes(path, d->folder))) {
            if (d)
                KeepOpenFolders();
            SkipBelow(path);
            return;
        }
        m_sawSource = m_sawSource || s;
        if (d && !d->folder && !d->link)
            ++m_plan->destinationFiles;
        if (s && s->link) {
            Add(MirrorAction::Skip, *s, kLinkSkipped);
            SkipBelow(path);
        } else if (d && d->link) {
            if (s)
                Add(MirrorAction::Skip, *s, kDestinationLink);
            KeepOpenFolders();
            SkipBelow(path);
        } else if (s && d && s->folder != d->folder) {
            Add(MirrorAction::Conflict, *s, kKindsDiffer);
            SkipBelow(path);
        } else if (s && s->folder) {
            if (!d)
                Add(MirrorAction::MakeFolder, *s);
        } else if (s) {
            PlanFile(*s, d);
        } else if (m_removing) {
            PlanRemoval(*d);
        }
    }

    void PlanFile(const MirrorEntry& s, const MirrorEntry* d) {
        const MirrorRecordEntry* recorded = m_record.Find(s.path);
        const bool up = m_options.direction == MirrorDirection::Up;
        if (!d) {
            Add(MirrorAction::Send, s);
        } else if (recorded && recorded->sending) {
            // Marked as it went (a run cut short): the destination took it whole when it changed
            // since to the source's size while the source stayed as it was.
            const bool sourceSame =
                up ? !LocalChanged(s, *recorded) : !RemoteChanged(s, *recorded, m_options.listZoneMinutes);
            const bool destinationMoved =
                up ? RemoteChanged(*d, *recorded, m_options.listZoneMinutes) : LocalChanged(*d, *recorded);
            Add(sourceSame && destinationMoved && d->size == s.size ? MirrorAction::RecordOnly
                                                                    : MirrorAction::Send,
                s);
        } else if (recorded) {
            const bool sourceChanged =
                up ? LocalChanged(s, *recorded) : RemoteChanged(s, *recorded, m_options.listZoneMinutes);
            const bool destinationChanged =
                up ? RemoteChanged(*d, *recorded, m_options.listZoneMinutes) : LocalChanged(*d, *recorded);
            if (destinationChanged)
                Add(MirrorAction::Conflict, s,
                    sourceChanged ? kChangedOnBoth
                    : up          ? kChangedOnServer
                                  : kChangedLocally);
            else if (sourceChanged)
                Add(MirrorAction::Send, s);
        } else if (s.size != d->size || TimesDiffer(s.time, d->time, kClockAllowance)) {
            // Without a record, a newer destination may hold work that exists nowhere else.
            if (s.size == d->size && d->time.seconds > s.time.seconds)
                Add(MirrorAction::Conflict, s, up ? kServerNewer : kLocalNewer);
            else
                Add(MirrorAction::Send, s);
        } else {
            Add(MirrorAction::RecordOnly, s);
        }
    }

    void PlanRemoval(const MirrorEntry& d) {
        if (std::binary_search(m_plan->clashFolders.begin(), m_plan->clashFolders.end(), ParentOf(d.path),
                               [](std::string_view a, std::string_view b) { return a < b; })) {
            KeepOpenFolders();
            SkipBelow(d.path);
            return;
        }
        const MirrorRecordEntry* recorded = d.folder ? nullptr : m_record.Find(d.path);
        const bool up = m_options.direction == MirrorDirection::Up;
        if (recorded && !recorded->sending &&
            (up ? RemoteChanged(d, *recorded, m_options.listZoneMinutes) : LocalChanged(d, *recorded))) {
            Add(MirrorAction::Conflict, d, up ? kChangedOnServer : kChangedLocally);
            KeepOpenFolders();
            return;
        }
        if (d.folder)
            m_openFolders.push_back(m_removals.size());
        m_removals.push_back({MirrorAction::Remove, d.folder, d.path, d.folder ? -1 : d.size, ""});
        m_kept.push_back(false);
    }

    // Removals go last, each folder after everything in it.
    void FinishRemovals() {
        for (std::size_t k = m_removals.size(); k-- > 0;) {
            if (m_kept[k])
                continue;
            m_plan->removedFiles += !m_removals[k].folder;
            m_plan->actions.push_back(std::move(m_removals[k]));
        }
        m_plan->needsConfirmation = !m_options.force && m_plan->removedFiles > 10 &&
                                    m_plan->removedFiles * 4 > m_plan->destinationFiles;
    }

    const MirrorRecord& m_record;
    const MirrorOptions& m_options;
    const MirrorExclusions& m_exclusions;
    MirrorPlan* m_plan = nullptr;
    bool m_removing = false;
    bool m_sawSource = false;
    std::string m_skipBelow;
    std::vector<MirrorAction> m_removals;
    std::vector<bool> m_kept;
    // Indexes into m_removals of the folders to remove that the walk is inside.
    std::vector<std::size_t> m_openFolders;
};

} // namespace

MirrorPlan PlanMirror(MirrorSide& source, MirrorSide& destination, const MirrorRecord& record,
                      const MirrorOptions& options, const MirrorExclusions& exclusions) {
    MirrorPlan plan;
    if (!source.exists) {
        plan.stopReason = kSourceMissing;
        return plan;
    }
    if (!source.readable || !destination.readable) {
        plan.stopReason = kListingUnreadable;
        return plan;
    }
    Planner planner(record, options, exclusions);
    planner.Run(source, destination, plan);
    if (!planner.SawSource()) {
        // An empty source is far likelier an unmounted disk or a wrong folder than a wish to empty
        // the destination.
        plan = MirrorPlan();
        plan.stopReason = kSourceEmpty;
    }
    return plan;
}

MirrorRecordEntry RecordedEntry(const MirrorEntry& local, const MirrorEntry& remote, int listZoneMinutes) {
    MirrorRecordEntry entry;
    entry.localSize = local.size;
    entry.localNanoseconds = local.time.TotalNanoseconds();
    entry.remoteSize = remote.size;
    entry.remoteSeconds = RecordedSeconds(remote.time, listZoneMinutes);
    entry.remotePrecision = remote.time.precision;
    return entry;
}

const MirrorEntry* FindEntry(const MirrorSide& side, std::string_view path) {
    const auto found =
        std::lower_bound(side.entries.begin(), side.entries.end(), path,
                         [](const MirrorEntry& e, std::string_view p) { return TreeCompare(e.path, p) < 0; });
    return found != side.entries.end() && found->path == path ? &*found : nullptr;
}
