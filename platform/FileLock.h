#pragma once

#include <QString>

#include <memory>

class QLockFile;

// An exclusive advisory lock on a file that stays in place (it is never removed, and its contents
// mean nothing). The kernel drops the lock when its holder ends, however it ends, so a writer killed
// while holding it leaves nothing behind that others would have to judge by its age.
class FileLock {
public:
    enum class Result {
        Locked,
        Busy,   // another holder kept it for the whole wait
        Failed, // the lock file cannot be opened (a read-only folder, a folder in its place)
    };

    explicit FileLock(QString path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    Result lock(int waitMs);
    bool isLocked() const;
    void unlock();

private:
    QString m_path;
#ifdef Q_OS_UNIX
    int m_fd = -1;
#else
    std::unique_ptr<QLockFile> m_lockFile;
#endif
};
