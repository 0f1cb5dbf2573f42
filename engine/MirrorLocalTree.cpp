#include "engine/MirrorLocalTree.h"

#include "platform/LocalFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimeZone>

namespace {

// What a path is itself, never what a link points to; nothing for what a mirror does not carry
// (devices, pipes, sockets, a path that is gone).
std::optional<MirrorEntry> Inspect(const std::string& full, std::string relative) {
    const LocalEntry local = InspectLocalPath(full);
    if (local.kind == LocalEntry::Kind::None || local.kind == LocalEntry::Kind::Other)
        return std::nullopt;
    MirrorEntry e;
    e.path = std::move(relative);
    e.link = local.kind == LocalEntry::Kind::Link;
    e.folder = local.kind == LocalEntry::Kind::Folder;
    e.size = local.kind == LocalEntry::Kind::File ? local.size : -1;
    e.time = {local.modifiedSeconds, local.modifiedNanoseconds, TimePrecision::Exact};
    return e;
}

void ReadFolder(const std::string& root, const std::string& relative, const MirrorExclusions& exclusions,
                MirrorSide& side) {
    const std::string here = relative.empty() ? root : root + "/" + relative;
    const QDir dir(QString::fromStdString(here));
    if (!dir.isReadable()) {
        side.readable = false;
        return;
    }
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const std::string own = name.toStdString();
        const std::string path = relative.empty() ? own : relative + "/" + own;
        std::optional<MirrorEntry> e = Inspect(here + "/" + own, path);
        if (!e || exclusions.Excludes(path, e->folder))
            continue;
        const bool descend = e->folder && !e->link;
        side.entries.push_back(std::move(*e));
        if (descend)
            ReadFolder(root, path, exclusions, side);
    }
}

} // namespace

MirrorSide ReadLocalTree(const std::string& folder, const MirrorExclusions& exclusions) {
    MirrorSide side;
    // The folder itself may not be a link: a mirror never reaches outside the folders it was given.
    const std::optional<MirrorEntry> top = Inspect(folder, {});
    if (!top || !top->folder || top->link) {
        side.exists = false;
        return side;
    }
    ReadFolder(folder, {}, exclusions, side);
    return side;
}

bool SetLocalFileTime(const std::string& path, std::int64_t seconds) {
    if (InspectLocalPath(path).kind != LocalEntry::Kind::File)
        return false;
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) &&
           file.setFileTime(QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()),
                            QFileDevice::FileModificationTime);
}

std::optional<MirrorEntry> ReadLocalFile(const std::string& folder, const std::string& relativePath) {
    std::optional<MirrorEntry> e = Inspect(folder + "/" + relativePath, relativePath);
    if (!e || e->folder || e->link)
        return std::nullopt;
    return e;
}
