#include "settings/TempFolder.h"

#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

// Whether files can be created in `folder`. The probe is a new file of its own name, made
// exclusively and removed again: whatever already lies in the folder, a link planted there
// included, is never opened.
bool CanCreateFilesIn(const QString& folder) {
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("lumo-probe-XXXXXX")));
    return QFileInfo(folder).isDir() && probe.open();
}

// The user's own folder, ending with "/", when it is chosen and files can be created in it.
QString UsableUserFolder() {
    SettingsKey key;
    key.OpenKey(KeyFamily::System);
    if (key.ReadDword(SettingName::SysTemp, 0) != 0)
        return {};
    QString folder = QString::fromStdString(key.ReadString(SettingName::Temp, ""));
    if (folder.isEmpty() || !CanCreateFilesIn(folder))
        return {};
    if (folder.size() >= 2 && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString Shown(const QString& folder) {
    return QDir::toNativeSeparators(QDir::cleanPath(folder));
}

} // namespace

TempFolderChoice ChooseTempFolder() {
    if (const QString mine = UsableUserFolder(); !mine.isEmpty())
        return {mine, {}};
    const QString folder = SystemTempFolder();
    if (folder.isEmpty())
        return {{}, QStringLiteral("一時フォルダを置くキャッシュフォルダがわかりません。")};
    const FolderFault fault = MakePrivateFolder(folder);
    if (fault != FolderFault::None)
        return {{}, TempFolderFaultText(fault, folder)};
    return {folder, {}};
}

QString GetTempFolder() {
    return ChooseTempFolder().folder;
}

QString ExistingTempFolder() {
    if (const QString mine = UsableUserFolder(); !mine.isEmpty())
        return mine;
    const QString folder = SystemTempFolder();
    if (folder.isEmpty() || CheckPrivateFolder(folder) != FolderFault::None)
        return {};
    return folder;
}

QString SystemTempFolder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        return {};
    return QDir(cache).filePath(QStringLiteral("lumo/tmp/"));
}

FolderFault SystemTempFolderFault() {
    const QString folder = SystemTempFolder();
    if (folder.isEmpty())
        return FolderFault::None;
    const FolderFault fault = CheckPrivateFolder(folder);
    return fault == FolderFault::Missing ? FolderFault::None : fault;
}

QString TempFolderFaultText(FolderFault fault, const QString& folder) {
    const QString shown = Shown(folder);
    const QString above = Shown(QFileInfo(QDir::cleanPath(folder)).path());
    const QString remake = QStringLiteral("（lumo が作り直します）");
    const auto refusal = [&shown](const QString& why, const QString& mend) {
        return QStringLiteral("一時フォルダ %1 %2ため、使えません。%3。").arg(shown, why, mend);
    };
    switch (fault) {
    case FolderFault::None:
        return {};
    case FolderFault::Link:
        return refusal(QStringLiteral("がシンボリックリンクになっている"),
                       QStringLiteral("リンクを削除してください") + remake);
    case FolderFault::NotAFolder:
        return refusal(QStringLiteral("の場所にフォルダではないものがある"),
                       QStringLiteral("それを削除するか別の場所へ移してください") + remake);
    case FolderFault::OtherOwner:
        return refusal(QStringLiteral("がほかのユーザーのものである"),
                       QStringLiteral("このフォルダを削除するか名前を変えてください") + remake);
    case FolderFault::OpenToOthers:
        return refusal(QStringLiteral("はほかのユーザーも開ける"),
                       QStringLiteral("「chmod 700 %1」で自分だけが開けるフォルダにしてください").arg(shown));
    case FolderFault::ParentOpen:
        return refusal(QStringLiteral("の上のフォルダ %1 はほかのユーザーも書き換えられる").arg(above),
                       QStringLiteral("「chmod go-w %1」で書き換えられないようにしてください").arg(above));
    case FolderFault::Missing:
    case FolderFault::Unreachable:
        break;
    }
    return refusal(QStringLiteral("を作成できないか、調べられない"),
                   QStringLiteral("%1 の権限を確かめてください").arg(above));
}

QString TempFolderProblem(const QString& folder) {
    if (folder.trimmed().isEmpty())
        return QStringLiteral("テンポラリフォルダのパスを入力してください。");
    if (!QDir::isAbsolutePath(folder))
        return QStringLiteral("テンポラリフォルダはフルパスで入力してください。");
    if (!CanCreateFilesIn(folder))
        return QStringLiteral("「%1」にはファイルを作成できないため、テンポラリフォルダに使えません。")
            .arg(folder);
    return {};
}
