#include "hosts/DownloadFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

QString DefaultDownloadFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

DownloadFolderChoice DownloadFolderFor(const HostRecord& host) {
    if (!host.DownPath.empty())
        return {host.DownPath, {}};
    const QString folder = DefaultDownloadFolder();
    // A fresh desktop may name the folder without having made it yet.
    if (!QDir().mkpath(folder))
        return {{}, QStringLiteral("ダウンロードフォルダ %1 を作成できません。").arg(folder)};
    return {QFile::encodeName(folder).toStdString(), {}};
}
