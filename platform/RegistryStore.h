#pragma once

#include "platform/RegistryFormat.h"

#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The settings store's backend: one text file, lumo.reg. Reads see the file as it is on disk now
// (it is parsed again only when it has changed); every write takes an advisory lock, reads the file
// again, applies the change and replaces the file atomically, so two running copies of the program
// never lose each other's writes. The file holds passwords and is kept at mode 0600. A file that
// cannot be parsed is moved aside, never deleted, and the store starts empty.
class RegistryStore {
public:
    explicit RegistryStore(QString filePath);

    // The store of this process: $LUMO_CONFIG_DIR/lumo.reg, else <config folder>/lumo/lumo.reg.
    static RegistryStore& global();
    static QString defaultFilePath();
    // Points the process's store at another file (tests, other tools).
    static void setGlobalFilePath(const QString& filePath);

    const QString& filePath() const { return m_filePath; }

    bool keyExists(std::string_view path);
    bool hasSubkeys(std::string_view path);
    std::optional<RegistryValue> value(std::string_view key, std::string_view name);

    bool createKey(std::string_view path);
    bool setValue(std::string_view key, std::string_view name, const RegistryValue& v);
    // Deletes a key that has no subkeys; false when it is missing or has subkeys.
    bool deleteKey(std::string_view path);

    // Groups the writes made while it lives into one: the file is locked, read and written once.
    // Other processes wait for the lock meanwhile, so keep a batch short.
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

    // Where the last unreadable file was moved to; empty when none was.
    const QString& movedAsidePath() const { return m_movedAside; }

private:
    struct Stamp {
        bool exists = false;
        long long size = 0, mtimeNs = 0, inode = 0;
        bool operator==(const Stamp&) const = default;
    };

    Stamp currentStamp() const;
    void refresh();
    bool loadLocked();
    bool modify(const std::function<bool(RegistryTree&)>& change);
    bool writeLocked(const RegistryTree& tree);
    bool ensureFolder() const;
    QString lockPath() const;

    QString m_filePath;
    RegistryTree m_tree;
    std::optional<Stamp> m_stamp;
    QString m_movedAside;
    int m_batchDepth = 0;
    bool m_batchDirty = false;
    std::unique_ptr<QLockFile> m_batchLock;
};
