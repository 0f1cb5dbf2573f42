#include "platform/FileLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLockFile>
#include <QThread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {
// How often a waiter looks again; a writer holds the lock for a few milliseconds.
constexpr int kRetryMs = 5;
} // namespace

FileLock::FileLock(QString path) : m_path(std::move(path)) {}

FileLock::~FileLock() {
    unlock();
}

#ifdef Q_OS_UNIX

FileLock::Result FileLock::lock(int waitMs) {
    if (m_fd >= 0)
        return Result::Locked;
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return Result::Failed;
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            return Result::Locked;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            return Result::Failed;
        }
        if (deadline.hasExpired()) {
            ::close(fd);
            return Result::Busy;
        }
        QThread::msleep(kRetryMs);
    }
}

bool FileLock::isLocked() const {
    return m_fd >= 0;
}

void FileLock::unlock() {
    if (m_fd < 0)
        return;
    // Closing the descriptor releases the lock.
    ::close(m_fd);
    m_fd = -1;
}

#else

// Elsewhere QLockFile stands in: on Windows its file is held open without sharing, which the
// system also gives up when the holder dies.
FileLock::Result FileLock::lock(int waitMs) {
    if (m_lockFile)
        return Result::Locked;
    auto lockFile = std::make_unique<QLockFile>(m_path);
    if (!lockFile->tryLock(waitMs))
        return lockFile->error() == QLockFile::LockFailedError ? Result::Busy : Result::Failed;
    m_lockFile = std::move(lockFile);
    return Result::Locked;
}

bool FileLock::isLocked() const {
    return m_lockFile != nullptr;
}

void FileLock::unlock() {
    m_lockFile.reset();
}

#endif
