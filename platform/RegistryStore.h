#pragma once

#include "platform/FileLock.h"
#include "platform/RegistryFormat.h"

#include <QString>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The settings store's backend: one text file, lumo.reg. Reads see the file as it is on disk now
// (it is parsed again only when it has changed) and take no lock: every write replaces the file
// atomically, so a reader always finds a whole file. A write takes an advisory lock (on
// lumo.reg.lock, which the kernel releases when its holder dies), reads the file again, applies the
// change and replaces the file, so two running copies of the program never lose each other's writes.
// The file holds passwords and is kept at mode 0600, also when it is found readable by others.
// A write also removes the temporary copies that writers killed in the middle of a write left.
// A damaged file gives every key and value that can still be read; the original is moved aside
// (never deleted), the readable part written back, and the damage reported once.
class RegistryStore {
public:
    explicit RegistryStore(QString filePath);

    // The store of this process: $LUMO_CONFIG_DIR/lumo.reg, else <config folder>/lumo/lumo.reg.
    static RegistryStore& global();
    static QString defaultFilePath();
    // Points the process's store at another file (tests, other tools).
    static void setGlobalFilePath(const QString& filePath);

    // What is told about a damaged store file.
    struct Damage {
        QString storePath;
        // Where the original is kept: the moved-aside copy, or the store itself when it could not
        // be moved (a read-only folder).
        QString keptAt;
        int skippedLines = 0;
    };
    // Called (on the thread that read the file) once for each damaged file found, by any store of
    // this process. The program tells its user; the handler must not use the store itself.
    static void setDamageHandler(std::function<void(const Damage&)> handler);

    const QString& filePath() const { return m_filePath; }

    bool keyExists(std::string_view path);
    bool hasSubkeys(std::string_view path);
    std::optional<RegistryValue> value(std::string_view key, std::string_view name);

    bool createKey(std::string_view path);
    bool setValue(std::string_view key, std::string_view name, const RegistryValue& v);
    // Deletes a key that has no subkeys; false when it is missing or has subkeys.
    bool deleteKey(std::string_view path);

    // Groups the writes made while it lives into one: the file is locked, read and written once.
    // Other processes wait for the lock meanwhile, so keep a batch short. When the lock cannot be
    // had, the writes of the batch fail at once instead of each waiting for it again.
    class Batch {
    public:
        explicit Batch(RegistryStore& store);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

        // True when the store's lock is held, so the writes made now reach the file as one. Without
        // it each write would go on its own.
        bool held() const { return m_store.m_batchLock != nullptr; }

    private:
        RegistryStore& m_store;
    };

    // Where the last damaged file was moved to; empty when none was.
    const QString& movedAsidePath() const { return m_movedAside; }
    // How many times this store has replaced its file.
    int rewrites() const { return m_rewrites; }

private:
    struct Stamp {
        bool exists = false;
        long long size = 0, mtimeNs = 0, inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    enum class BatchState { None, Locked, Failed };

#ifdef Q_OS_UNIX
    static Stamp stampOf(const struct stat& st);
#endif
    Stamp currentStamp() const;
    // Reads the file and the stamp of exactly what was read; false when it exists but cannot be read.
    bool readFile(std::string& text, Stamp& stamp) const;
    void refresh();
    bool load(bool lockHeld);
    void repair(int skippedLines, const Stamp& stamp, bool lockHeld);
    bool modify(const std::function<bool(RegistryTree&)>& change);
    bool writeLocked(const RegistryTree& tree);
    // Replaces the file with `text` at once (temporary file, flush, rename); the lock must be held.
    bool replaceFile(const std::string& text) const;
    bool ensureFolder() const;
    QString lockPath() const;

    QString m_filePath;
    RegistryTree m_tree;
    std::optional<Stamp> m_stamp;
    std::optional<Stamp> m_reportedDamage;
    QString m_movedAside;
    int m_rewrites = 0;
    int m_batchDepth = 0;
    bool m_batchDirty = false;
    BatchState m_batchState = BatchState::None;
    std::unique_ptr<FileLock> m_batchLock;
};
