#include "platform/LocalFiles.h"

#include <QDateTime>
#include <QFileInfo>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
QByteArray NativePath(const std::string& path) {
    return QFile::encodeName(QString::fromStdString(path));
}
} // namespace

bool OpenedFile::Exists() const {
    return error == EEXIST;
}

#ifdef Q_OS_UNIX

namespace {
LocalFileId IdOf(const struct stat& st) {
    return LocalFileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}
} // namespace

LocalEntry InspectLocalPath(const std::string& path) {
    struct stat st {};
    LocalEntry entry;
    if (::lstat(NativePath(path).constData(), &st) != 0)
        return entry;
    entry.id = IdOf(st);
    entry.size = static_cast<std::int64_t>(st.st_size);
    entry.modifiedSeconds = st.st_mtim.tv_sec;
    entry.modifiedNanoseconds = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
    if (S_ISLNK(st.st_mode))
        entry.kind = LocalEntry::Kind::Link;
    else if (S_ISREG(st.st_mode))
        entry.kind = LocalEntry::Kind::File;
    else if (S_ISDIR(st.st_mode))
        entry.kind = LocalEntry::Kind::Folder;
    else
        entry.kind = LocalEntry::Kind::Other;
    return entry;
}

OpenedFile OpenForWriting(const std::string& path, WriteOpen how) {
    // Non-blocking only while opening: a FIFO planted under the name would otherwise hold the
    // program until someone reads it.
    int flags = O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    switch (how) {
    case WriteOpen::CreateNew:
        // O_EXCL fails on any existing name, a dangling link included.
        flags |= O_CREAT | O_EXCL;
        break;
    case WriteOpen::Truncate:
        flags |= O_TRUNC;
        break;
    case WriteOpen::Append:
        flags |= O_APPEND;
        break;
    }
    OpenedFile out;
    const int fd = ::open(NativePath(path).constData(), flags, 0666);
    if (fd < 0) {
        out.error = errno;
        return out;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    struct stat st {};
    ::fstat(fd, &st);
    out.id = IdOf(st);
    out.file = std::make_unique<QFile>();
    if (!out.file->open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        out.file.reset();
        out.error = EIO;
    }
    return out;
}

bool RemoveLocalEntry(const std::string& path) {
    return ::unlink(NativePath(path).constData()) == 0;
}

#else

// Elsewhere links are rare and not followed by these calls' Qt counterparts in the cases that
// matter; the file's identity is its name.
LocalEntry InspectLocalPath(const std::string& path) {
    const QFileInfo info(QString::fromStdString(path));
    LocalEntry entry;
    if (!info.exists() && !info.isSymLink())
        return entry;
    entry.size = info.size();
    entry.id.inode = std::hash<std::string>()(path);
    const qint64 ms = info.lastModified().toMSecsSinceEpoch();
    entry.modifiedSeconds = ms / 1000;
    entry.modifiedNanoseconds = static_cast<std::uint32_t>(ms % 1000) * 1'000'000;
    entry.kind = info.isSymLink() ? LocalEntry::Kind::Link
                 : info.isDir()   ? LocalEntry::Kind::Folder
                 : info.isFile()  ? LocalEntry::Kind::File
                                  : LocalEntry::Kind::Other;
    return entry;
}

OpenedFile OpenForWriting(const std::string& path, WriteOpen how) {
    OpenedFile out;
    out.file = std::make_unique<QFile>(QString::fromStdString(path));
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered |
                                     (how == WriteOpen::CreateNew  ? QIODevice::NewOnly
                                      : how == WriteOpen::Truncate ? QIODevice::Truncate
                                                                   : QIODevice::Append);
    if (!out.file->open(mode)) {
        out.error = QFileInfo::exists(QString::fromStdString(path)) ? EEXIST : EACCES;
        out.file.reset();
        return out;
    }
    out.id.inode = std::hash<std::string>()(path);
    return out;
}

bool RemoveLocalEntry(const std::string& path) {
    return QFile::remove(QString::fromStdString(path));
}

#endif
