#include "platform/RegistryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

constexpr int kLockWaitMs = 10000;

std::unique_ptr<RegistryStore>& globalStore() {
    static std::unique_ptr<RegistryStore> store;
    return store;
}

QByteArray readAll(const QString& path, bool* ok) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *ok = !f.exists();
        return {};
    }
    *ok = true;
    return f.readAll();
}

} // namespace

RegistryStore::RegistryStore(QString filePath) : m_filePath(std::move(filePath)) {}

QString RegistryStore::defaultFilePath() {
    QString dir = qEnvironmentVariable("LUMO_CONFIG_DIR");
    if (dir.isEmpty())
        dir =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/lumo");
    return dir + QStringLiteral("/lumo.reg");
}

RegistryStore& RegistryStore::global() {
    auto& store = globalStore();
    if (!store)
        store = std::make_unique<RegistryStore>(defaultFilePath());
    return *store;
}

void RegistryStore::setGlobalFilePath(const QString& filePath) {
    globalStore() = std::make_unique<RegistryStore>(filePath);
}

RegistryStore::Stamp RegistryStore::currentStamp() const {
    Stamp s;
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(m_filePath).constData(), &st) != 0)
        return s;
    s.exists = true;
    s.size = st.st_size;
    s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    s.inode = static_cast<long long>(st.st_ino);
#else
    QFileInfo fi(m_filePath);
    if (!fi.exists())
        return s;
    s.exists = true;
    s.size = fi.size();
    s.mtimeNs = fi.lastModified().toMSecsSinceEpoch() * 1000000LL;
#endif
    return s;
}

// Reads the file into the tree; moves an unreadable file aside. The caller holds the lock.
bool RegistryStore::loadLocked() {
    Stamp stamp = currentStamp();
    bool ok = false;
    QByteArray text = readAll(m_filePath, &ok);
    if (!ok)
        return false;
    if (auto tree =
            RegistryTree::parse(std::string_view(text.constData(), static_cast<size_t>(text.size())))) {
        m_tree = std::move(*tree);
    } else {
        QString aside = m_filePath + QStringLiteral(".broken-") +
                        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        QString target = aside;
        for (int n = 1; QFile::exists(target); ++n)
            target = aside + QLatin1Char('.') + QString::number(n);
        if (QFile::rename(m_filePath, target))
            m_movedAside = target;
        m_tree = RegistryTree();
        stamp = currentStamp();
    }
    m_stamp = stamp;
    return true;
}

void RegistryStore::refresh() {
    // Inside a batch this process holds the lock: nobody else can have changed the file.
    if (m_batchLock)
        return;
    Stamp now = currentStamp();
    if (m_stamp && *m_stamp == now)
        return;
    if (!now.exists) {
        m_tree = RegistryTree();
        m_stamp = now;
        return;
    }
    QLockFile lock(lockPath());
    if (!lock.tryLock(kLockWaitMs))
        return;
    loadLocked();
}

QString RegistryStore::lockPath() const {
    return m_filePath + QStringLiteral(".lock");
}

bool RegistryStore::ensureFolder() const {
    QDir dir = QFileInfo(m_filePath).dir();
    if (dir.exists())
        return true;
    if (!dir.mkpath(QStringLiteral(".")))
        return false;
    QFile::setPermissions(dir.absolutePath(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return true;
}

bool RegistryStore::writeLocked(const RegistryTree& tree) {
    QSaveFile out(m_filePath);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    std::string text = tree.serialize();
    if (out.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !out.commit())
        return false;
    m_stamp = currentStamp();
    return true;
}

bool RegistryStore::modify(const std::function<bool(RegistryTree&)>& change) {
    if (m_batchLock) {
        if (!change(m_tree))
            return false;
        m_batchDirty = true;
        return true;
    }
    if (!ensureFolder())
        return false;
    QLockFile lock(lockPath());
    if (!lock.tryLock(kLockWaitMs))
        return false;
    if (!loadLocked())
        return false;
    RegistryTree next = m_tree;
    if (!change(next) || !writeLocked(next))
        return false;
    m_tree = std::move(next);
    return true;
}

RegistryStore::Batch::Batch(RegistryStore& store) : m_store(store) {
    if (m_store.m_batchDepth++ > 0 || !m_store.ensureFolder())
        return;
    auto lock = std::make_unique<QLockFile>(m_store.lockPath());
    if (!lock->tryLock(kLockWaitMs) || !m_store.loadLocked())
        return;
    m_store.m_batchLock = std::move(lock);
    m_store.m_batchDirty = false;
}

RegistryStore::Batch::~Batch() {
    if (--m_store.m_batchDepth > 0 || !m_store.m_batchLock)
        return;
    if (m_store.m_batchDirty && !m_store.writeLocked(m_store.m_tree))
        m_store.m_stamp.reset(); // the file was not written: read it again next time
    m_store.m_batchLock.reset();
}

bool RegistryStore::keyExists(std::string_view path) {
    refresh();
    return m_tree.hasKey(path);
}

bool RegistryStore::hasSubkeys(std::string_view path) {
    refresh();
    return m_tree.hasSubkeys(path);
}

std::optional<RegistryValue> RegistryStore::value(std::string_view key, std::string_view name) {
    refresh();
    if (const RegistryValue* v = m_tree.value(key, name))
        return *v;
    return std::nullopt;
}

bool RegistryStore::createKey(std::string_view path) {
    if (RegistryTree::normalizePath(path).empty())
        return false;
    if (keyExists(path))
        return true;
    return modify([&](RegistryTree& t) {
        t.createKey(path);
        return true;
    });
}

bool RegistryStore::setValue(std::string_view key, std::string_view name, const RegistryValue& v) {
    return modify([&](RegistryTree& t) {
        if (!t.hasKey(key))
            return false;
        t.setValue(key, name, v);
        return true;
    });
}

bool RegistryStore::deleteKey(std::string_view path) {
    return modify([&](RegistryTree& t) {
        if (!t.hasKey(path) || t.hasSubkeys(path))
            return false;
        t.removeKey(path);
        return true;
    });
}
