#include "settings/TempFolder.h"

#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

QString GetTempFolder() {
    SettingsKey key;
    key.OpenKey(KeyFamily::System);
    if (key.ReadDword(SettingName::SysTemp, 0) == 0) {
        QString folder = QString::fromStdString(key.ReadString(SettingName::Temp, ""));
        if (!folder.isEmpty()) {
            if (folder.size() >= 2 && !folder.endsWith(QLatin1Char('/')))
                folder += QLatin1Char('/');
            QFile probe(folder + QStringLiteral("tmp"));
            if (probe.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                probe.close();
                return folder;
            }
        }
    }
    const QString folder = SystemTempFolder();
    if (!folder.isEmpty())
        QDir().mkpath(folder);
    return folder;
}

QString SystemTempFolder() {
    QString system = QDir::tempPath();
    if (system.isEmpty())
        return {};
    if (!system.endsWith(QLatin1Char('/')))
        system += QLatin1Char('/');
    return system + QStringLiteral("lumo/");
}

QString TempFolderProblem(const QString& folder) {
    if (folder.trimmed().isEmpty())
        return QStringLiteral("テンポラリフォルダのパスを入力してください。");
    if (!QDir::isAbsolutePath(folder))
        return QStringLiteral("テンポラリフォルダはフルパスで入力してください。");
    // The same question the lookup asks, without leaving a file behind.
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("lumo-probe-XXXXXX")));
    if (!QFileInfo(folder).isDir() || !probe.open())
        return QStringLiteral("「%1」にはファイルを作成できないため、テンポラリフォルダに使えません。")
            .arg(folder);
    return {};
}
