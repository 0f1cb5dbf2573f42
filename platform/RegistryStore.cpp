#include "platform/RegistryStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <memory>

#ifdef Q_OS_UNIX
#include <QRandomGenerator>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>
#else
#include <QSaveFile>
#endif

namespace {

constexpr int kLockWaitMs = 10000;

std::unique_ptr<RegistryStore>& globalStore() {
    static std::unique_ptr<RegistryStore> store;
    return store;
}

std::function<void(const RegistryStore::Damage&)>& damageHandler() {
    static std::function<void(const RegistryStore::Damage&)> handler;
    return handler;
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

void RegistryStore::setDamageHandler(std::function<void(const Damage&)> handler) {
    damageHandler() = std::move(handler);
}

#ifdef Q_OS_UNIX

namespace {
struct stat statOf(int fd) {
    struct stat st {};
    ::fstat(fd, &st);
    return st;
}
} // namespace

RegistryStore::Stamp RegistryStore::stampOf(const struct stat& st) {
    Stamp s;
    s.exists = true;
    s.size = st.st_size;
    s.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    s.inode = static_cast<long long>(st.st_ino);
    return s;
}

RegistryStore::Stamp RegistryStore::currentStamp() const {
    struct stat st;
    if (::stat(QFile::encodeName(m_filePath).constData(), &st) != 0)
        return Stamp();
    return stampOf(st);
}

// A file that others may read is made private first: it holds passwords.
bool RegistryStore::readFile(std::string& text, Stamp& stamp) const {
    const int fd = ::open(QFile::encodeName(m_filePath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        stamp = Stamp();
        return errno == ENOENT || errno == ENOTDIR;
    }
    const struct stat st = statOf(fd);
    if ((st.st_mode & 077) != 0)
        ::fchmod(fd, S_IRUSR | S_IWUSR);
    stamp = stampOf(st);
    text.clear();
    text.resize(static_cast<size_t>(st.st_size > 0 ? st.st_size : 0));
    size_t got = 0;
    for (;;) {
        if (got == text.size())
            text.resize(text.size() + 65536);
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            text.resize(got);
            return n == 0;
        }
        got += static_cast<size_t>(n);
    }
}

namespace {

// The file a write replaces: a store reached through a symbolic link (a dotfiles folder) stays a
// link, and the file it names is replaced, as QSaveFile did.
QString followLinks(const QString& path) {
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.filePath();
}

// A write's temporary file is the store's name, a dot and six letters: the pattern of QSaveFile,
// which wrote the store before, so that the copies it left are known too. Six small letters may be
// a copy someone named (lumo.reg.backup); the temporary files made here always have a capital.
constexpr std::size_t kTempLetters = 6;

bool isTempName(std::string_view name, std::string_view storeName) {
    if (name.size() != storeName.size() + 1 + kTempLetters || name.substr(0, storeName.size()) != storeName ||
        name[storeName.size()] != '.')
        return false;
    bool capital = false;
    for (char c : name.substr(storeName.size() + 1)) {
        const bool upper = c >= 'A' && c <= 'Z';
        if (!upper && !(c >= 'a' && c <= 'z'))
            return false;
        capital = capital || upper;
    }
    return capital;
}

std::string newTempName(std::string_view storeName) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string name(storeName);
    name += '.';
    name += letters[QRandomGenerator::global()->bounded(26)];
    while (name.size() < storeName.size() + 1 + kTempLetters)
        name += letters[QRandomGenerator::global()->bounded(52)];
    return name;
}

// Full copies of the store (passwords too) that writers killed in the middle of a write left
// behind. Only the holder of the lock may call this: no other writer is at work, so each temporary
// file of this store is stale. Links, folders and files of others are never touched.
void removeStaleTempFiles(DIR* folder, std::string_view storeName) {
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(folder)) {
        struct stat st;
        if (isTempName(entry->d_name, storeName) &&
            ::fstatat(::dirfd(folder), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid())
            stale.emplace_back(entry->d_name);
    }
    for (const std::string& name : stale)
        ::unlinkat(::dirfd(folder), name.c_str(), 0);
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

// A new file, private from its creation and never one that was there before, takes the text and
// reaches the disk before it replaces the store.
bool RegistryStore::replaceFile(const std::string& text) const {
    const QFileInfo target(followLinks(m_filePath));
    const std::string storeName = QFile::encodeName(target.fileName()).toStdString();
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(QFile::encodeName(target.path()).constData()),
                                                     ::closedir);
    if (!folder)
        return false;
    const int folderFd = ::dirfd(folder.get());
    removeStaleTempFiles(folder.get(), storeName);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = newTempName(storeName);
        fd = ::openat(folderFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    // The umask may have taken the owner's own rights.
    const bool written = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written ||
        ::renameat(folderFd, temp.c_str(), folderFd, storeName.c_str()) != 0) {
        ::unlinkat(folderFd, temp.c_str(), 0);
        return false;
    }
    ::fsync(folderFd); // the rename itself reaches the disk
    return true;
}

#else

RegistryStore::Stamp RegistryStore::currentStamp() const {
    Stamp s;
    QFileInfo fi(m_filePath);
    if (!fi.exists())
        return s;
    s.exists = true;
    s.size = fi.size();
    s.mtimeNs = fi.lastModified().toMSecsSinceEpoch() * 1000000LL;
    return s;
}

bool RegistryStore::readFile(std::string& text, Stamp& stamp) const {
    QFile f(m_filePath);
    stamp = Stamp();
    if (!f.open(QIODevice::ReadOnly))
        return !f.exists();
    const QFileInfo fi(f);
    stamp.exists = true;
    stamp.size = fi.size();
    stamp.mtimeNs = fi.lastModified().toMSecsSinceEpoch() * 1000000LL;
    const QByteArray bytes = f.readAll();
    text.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
    return true;
}

bool RegistryStore::replaceFile(const std::string& text) const {
    QSaveFile out(m_filePath);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return out.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()) &&
           out.commit();
}

#endif

// Reads the file into the tree. Without the lock this is safe because writers replace the file
// whole; `lockHeld` says whether a damaged file may be repaired at once.
bool RegistryStore::load(bool lockHeld) {
    std::string text;
    Stamp stamp;
    if (!readFile(text, stamp))
        return false;
    RegistryParse parsed = RegistryTree::parse(text);
    m_tree = std::move(parsed.tree);
    m_stamp = stamp;
    if (parsed.damaged())
        repair(parsed.skippedLines, stamp, lockHeld);
    return true;
}

// Keeps the damaged original aside and writes back what could be read, then tells the program.
void RegistryStore::repair(int skippedLines, const Stamp& stamp, bool lockHeld) {
    if (m_reportedDamage == stamp)
        return;
    FileLock lock(lockPath());
    const FileLock::Result locked = lockHeld ? FileLock::Result::Locked : lock.lock(0);
    if (locked == FileLock::Result::Busy || (locked == FileLock::Result::Locked && currentStamp() != stamp)) {
        // A writer is at work (it repairs the file itself) or has replaced it: read it again next time.
        m_stamp.reset();
        return;
    }
    Damage damage{m_filePath, m_filePath, skippedLines};
    if (locked == FileLock::Result::Locked) {
        const QString aside = m_filePath + QStringLiteral(".broken-") +
                              QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        QString target = aside;
        for (int n = 1; QFile::exists(target); ++n)
            target = aside + QLatin1Char('.') + QString::number(n);
        if (QFile::rename(m_filePath, target)) {
            m_movedAside = target;
            damage.keptAt = target;
            if (m_tree.keys().empty() || !writeLocked(m_tree))
                m_stamp = currentStamp();
        }
    }
    m_reportedDamage = stamp;
    if (damageHandler())
        damageHandler()(damage);
}

void RegistryStore::refresh() {
    // Inside a batch this process holds the lock: nobody else can have changed the file.
    if (m_batchState == BatchState::Locked)
        return;
    const Stamp now = currentStamp();
    if (m_stamp && *m_stamp == now)
        return;
    load(false);
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
    if (!replaceFile(tree.serialize()))
        return false;
    m_stamp = currentStamp();
    ++m_rewrites;
    return true;
}

bool RegistryStore::modify(const std::function<bool(RegistryTree&)>& change) {
    switch (m_batchState) {
    case BatchState::Locked:
        if (!change(m_tree))
            return false;
        m_batchDirty = true;
        return true;
    case BatchState::Failed:
        return false;
    case BatchState::None:
        break;
    }
    if (!ensureFolder())
        return false;
    FileLock lock(lockPath());
    if (lock.lock(kLockWaitMs) != FileLock::Result::Locked || !load(true))
        return false;
    // A change either applies whole or leaves the tree alone.
    if (!change(m_tree))
        return false;
    if (!writeLocked(m_tree)) {
        m_stamp.reset(); // the tree holds what the disk does not: read it again next time
        return false;
    }
    return true;
}

RegistryStore::Batch::Batch(RegistryStore& store) : m_store(store) {
    if (m_store.m_batchDepth++ > 0)
        return;
    m_store.m_batchDirty = false;
    auto lock = std::make_unique<FileLock>(m_store.lockPath());
    if (!m_store.ensureFolder() || lock->lock(kLockWaitMs) != FileLock::Result::Locked ||
        !m_store.load(true)) {
        m_store.m_batchState = BatchState::Failed;
        return;
    }
    m_store.m_batchLock = std::move(lock);
    m_store.m_batchState = BatchState::Locked;
}

RegistryStore::Batch::~Batch() {
    if (--m_store.m_batchDepth > 0)
        return;
    if (m_store.m_batchState == BatchState::Locked && m_store.m_batchDirty &&
        !m_store.writeLocked(m_store.m_tree))
        m_store.m_stamp.reset(); // the file was not written: read it again next time
    m_store.m_batchLock.reset();
    m_store.m_batchState = BatchState::None;
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
    // Writing what is stored already costs no rewrite of the file.
    if (m_batchState != BatchState::Failed && keyExists(key)) {
        const RegistryValue* stored = m_tree.value(key, name);
        if (stored && *stored == v)
            return true;
    }
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
