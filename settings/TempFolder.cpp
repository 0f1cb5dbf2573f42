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
    switch (fault) {
    case FolderFault::None:
        return {};
    case FolderFault::Link:
        return QStringLiteral("一時フォルダ %1 がシンボリックリンクになっているため、使いません。"
                              "リンクを削除してください%2。")
            .arg(shown, remake);
    case FolderFault::NotAFolder:
        return QStringLiteral("一時フォルダ %1 の場所にフォルダではないものがあるため、使いません。"
                              "それを削除するか別の場所へ移してください%2。")
            .arg(shown, remake);
    case FolderFault::OtherOwner:
        return QStringLiteral("一時フォルダ %1 がほかのユーザーのものであるため、使いません。"
                              "このフォルダを削除するか名前を変えてください%2。")
            .arg(shown, remake);
    case FolderFault::OpenToOthers:
        return QStringLiteral("一時フォルダ %1 はほかのユーザーも開けるため、使いません。"
                              "「chmod 700 %1」で自分だけが開けるフォルダにしてください。")
            .arg(shown);
    case FolderFault::ParentOpen:
        return QStringLiteral("一時フォルダ %1 の上のフォルダ %2 はほかのユーザーも書き換えられるため、"
                              "使いません。「chmod go-w %2」で書き換えられないようにしてください。")
            .arg(shown, above);
    case FolderFault::Missing:
    case FolderFault::Unreachable:
        break;
    }
    return QStringLiteral("一時フォルダ %1 を作成できないか、調べられないため、使えません。"
                          "%2 の権限を確かめてください。")
        .arg(shown, above);
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
