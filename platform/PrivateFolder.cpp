#include "platform/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString Cleaned(const QString& path) {
    return QDir::cleanPath(QDir(path).absolutePath());
}

} // namespace

#ifdef Q_OS_UNIX

namespace {

bool Exists(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 || errno != ENOENT;
}

} // namespace

FolderFault CheckPrivateFolder(const QString& path, OthersMay others) {
    const QString clean = Cleaned(path);
    struct stat st {};
    if (::lstat(QFile::encodeName(clean).constData(), &st) != 0)
        return errno == ENOENT ? FolderFault::Missing : FolderFault::Unreachable;
    if (S_ISLNK(st.st_mode))
        return FolderFault::Link;
    if (!S_ISDIR(st.st_mode))
        return FolderFault::NotAFolder;
    if (st.st_uid != ::geteuid())
        return FolderFault::OtherOwner;
    const mode_t forbidden = others == OthersMay::Nothing ? 0077 : 0022;
    if ((st.st_mode & forbidden) != 0)
        return FolderFault::OpenToOthers;
    // Whoever may write in the folder above may rename this one away and put another in its place.
    struct stat up {};
    if (::stat(QFile::encodeName(QFileInfo(clean).path()).constData(), &up) != 0)
        return FolderFault::Unreachable;
    const bool othersWrite = (up.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (up.st_mode & S_ISVTX) == 0;
    if (othersWrite || (up.st_uid != ::geteuid() && up.st_uid != 0))
        return FolderFault::ParentOpen;
    return FolderFault::None;
}

FolderFault MakePrivateFolder(const QString& path, OthersMay others) {
    const QString clean = Cleaned(path);
    const FolderFault fault = CheckPrivateFolder(clean, others);
    if (fault != FolderFault::Missing)
        return fault;
    QStringList missing;
    for (QString at = clean; !Exists(at); at = QFileInfo(at).path())
        missing.prepend(at);
    for (const QString& folder : missing) {
        // Made by someone else meanwhile: the check below judges it.
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
            return FolderFault::Unreachable;
    }
    return CheckPrivateFolder(clean, others);
}

#else

FolderFault CheckPrivateFolder(const QString& path, OthersMay) {
    const QFileInfo info(Cleaned(path));
    if (info.isSymLink())
        return FolderFault::Link;
    if (info.isDir())
        return FolderFault::None;
    return info.exists() ? FolderFault::NotAFolder : FolderFault::Missing;
}

FolderFault MakePrivateFolder(const QString& path, OthersMay others) {
    const QString clean = Cleaned(path);
    if (CheckPrivateFolder(clean, others) == FolderFault::Missing && !QDir().mkpath(clean))
        return FolderFault::Unreachable;
    return CheckPrivateFolder(clean, others);
}

#endif
