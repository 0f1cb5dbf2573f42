#include "platform/LocalTree.h"

#include <QDir>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool removeEntry(const fs::path& p) {
    std::error_code ec;
    fs::file_status st = fs::symlink_status(p, ec);
    if (ec)
        return false;
    bool ok = true;
    if (fs::is_directory(st)) {
        fs::directory_iterator it(p, ec), end;
        if (ec)
            ok = false;
        for (; !ec && it != end; it.increment(ec))
            ok = removeEntry(it->path()) && ok;
        if (ec)
            ok = false;
    }
    fs::remove(p, ec);
    return ok && !ec;
}

} // namespace

bool IsProtectedFolder(const QString& path) {
    QString clean = QDir::cleanPath(QDir(path).absolutePath());
    QString home = QDir::cleanPath(QDir::homePath());
    if (clean == QDir::rootPath() || QDir(clean).isRoot())
        return true;
    return home == clean || home.startsWith(clean + QLatin1Char('/'));
}

bool RemoveTreeNoFollow(const QString& path) {
    if (path.isEmpty())
        return false;
    return removeEntry(fs::path(QDir::cleanPath(path).toStdString()));
}
