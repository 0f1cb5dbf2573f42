#include "settings/TempFolder.h"

#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QDir>
#include <QFile>

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
    QString system = QDir::tempPath();
    if (system.isEmpty())
        return {};
    if (!system.endsWith(QLatin1Char('/')))
        system += QLatin1Char('/');
    QString folder = system + QStringLiteral("lumo/");
    QDir().mkpath(folder);
    return folder;
}
