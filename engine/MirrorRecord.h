#pragma once

#include "engine/MirrorTime.h"
#include "platform/FileLock.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

// What a mirror knew of one file when it last sent it: both sides' sizes and times as seen right
// after, so that the next run tells a local change, a change on the server and no change apart even
// where the server lists its times in minutes or days.
struct MirrorRecordEntry {
    std::int64_t localSize = -1;
    std::int64_t localNanoseconds = 0;
    std::int64_t remoteSize = -1;
    std::int64_t remoteSeconds = 0;
    TimePrecision remotePrecision = TimePrecision::Unknown;
    // Set before a file goes, with both sides as they were then, and cleared once it has arrived: a
    // run cut short sends it again unless the destination has since taken it whole, and never takes
    // a half-sent file for a change on the other side.
    bool sending = false;

    bool operator==(const MirrorRecordEntry&) const = default;
};

// The entries of one folder pair, by path relative to the pair ("/" between folders).
class MirrorRecord {
public:
    const MirrorRecordEntry* Find(std::string_view path) const;
    void Set(std::string_view path, const MirrorRecordEntry& entry);
    void Forget(std::string_view path);
    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    void clear() { m_entries.clear(); }

    // Calls `visit` for every entry in the order of their paths' bytes.
    void ForEachSorted(const std::function<void(const std::string&, const MirrorRecordEntry&)>& visit) const;

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    std::unordered_map<std::string, MirrorRecordEntry, Hash, std::equal_to<>> m_entries;
};

// Which folder pair a record belongs to.
struct MirrorKey {
    std::string host;
    int port = 21;
    std::string user;
    std::string localFolder;
    std::string remoteFolder;

    // The key as one line of text; the record file carries it and is named by its digest.
    std::string Text() const;
};

// Where the record of `key` lives: <base>/mirrors/<SHA-256 of the key, in hex>.rec. The base is
// lumo's data folder, or the settings folder when LUMO_CONFIG_DIR names one; never the mirrored tree.
QString MirrorRecordPath(const QString& baseFolder, const MirrorKey& key);
// Where the records are kept: the settings folder when LUMO_CONFIG_DIR names one (a private store
// keeps its records beside it), else lumo's data folder; never inside a mirrored tree.
QString MirrorRecordBase();

// The record file of one folder pair, locked while a mirror runs so that the window and lumo-cli
// never mirror the same pair at once. Saving rewrites the file atomically; between saves, Append
// adds the lines of single entries (the "being sent" marks above all), which a later line of the
// same path overrides when the file is read again.
class MirrorRecordFile {
public:
    enum class LoadResult {
        Loaded,
        Missing,    // no record yet: the first mirror of this pair
        OtherKey,   // the file belongs to another pair (a digest collision, a copied file): ignored
        Unreadable, // no record of ours (another format, an unreadable file): ignored
    };

    MirrorRecordFile(const QString& baseFolder, MirrorKey key);
    ~MirrorRecordFile();
    MirrorRecordFile(const MirrorRecordFile&) = delete;
    MirrorRecordFile& operator=(const MirrorRecordFile&) = delete;

    // Takes the lock beside the record (<record>.lock), making the folder when it is missing.
    FileLock::Result Lock(int waitMs);
    void Unlock();
    [[nodiscard]] bool IsLocked() const { return m_lock && m_lock->isLocked(); }

    LoadResult Load(MirrorRecord& record);
    // Lines that could not be read at the last Load; they were dropped.
    int droppedLines() const { return m_droppedLines; }

    bool Save(const MirrorRecord& record);
    // Adds the entries of `paths` as they stand in `record` (or their removal, when it has none), in
    // one write.
    bool Append(const MirrorRecord& record, const std::vector<std::string>& paths);

    const QString& path() const { return m_path; }

private:
    QString m_path;
    MirrorKey m_key;
    std::unique_ptr<FileLock> m_lock;
    int m_droppedLines = 0;
};

// Puts a backslash before "\" and writes tabs, line feeds and carriage returns as \t, \n and \r, so
// that any name fits in one field of a tab-separated line.
std::string EscapeField(std::string_view text);
// The reverse; false for a text no EscapeField gives.
bool UnescapeField(std::string_view text, std::string& out);
