#include "settings/MirrorPairs.h"

#include "settings/SettingsKey.h"
#include "settings/StoredLines.h"
#include "settings/TempFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <cstdint>

namespace {

// The pairs live below the profile key, one subkey each, named by a digest of the pair: addresses
// and folders may hold any character, a key name may not.
const char* const kPairsKey = "Mirror";
const char* const kLocalFolder = "LocalPath";
const char* const kRemoveAbsent = "RemoveAbsent";
const char* const kExcludeCount = "Excludes";
const char* const kExclude = "Exclude";
// Shown for the person who reads the store; the digest alone finds the pair.
const char* const kHost = "Adr";
const char* const kPort = "Port";
const char* const kUser = "User";
const char* const kRemoteFolder = "RemotePath";

std::string PairKeyName(const MirrorPairId& pair) {
    std::string text = pair.host;
    text += '\0';
    text += std::to_string(pair.port);
    text += '\0';
    text += pair.user;
    text += '\0';
    text += pair.remoteFolder;
    return QCryptographicHash::hash(QByteArray::fromStdString(text), QCryptographicHash::Sha256)
        .toHex()
        .left(32)
        .toStdString();
}

std::string PairKeyPath(const MirrorPairId& pair) {
    return std::string(kPairsKey) + "\\" + PairKeyName(pair);
}

bool FitsStore(std::string_view text) {
    return text.size() + 1 <= SettingsKey::kStringBuffer;
}

bool IsSameOrInside(const QString& folder, const QString& outer) {
    if (outer.isEmpty())
        return false;
    const QString a = QFileInfo(folder).canonicalFilePath();
    const QString b = QFileInfo(outer).canonicalFilePath();
    return !a.isEmpty() && !b.isEmpty() && (a == b || a.startsWith(b + QLatin1Char('/')));
}

} // namespace

MirrorPairSettings LoadMirrorPair(const MirrorPairId& pair) {
    MirrorPairSettings settings;
    SettingsKey key;
    if (!key.OpenKey(KeyFamily::Profile, PairKeyPath(pair))) {
        settings.exclusions = pair.hostExclusions;
        return settings;
    }
    settings.localFolder = QString::fromStdString(key.ReadString(kLocalFolder, ""));
    settings.removeAbsent = key.ReadDword(kRemoveAbsent, 0) != 0;
    settings.exclusions = ReadLines(key, kExcludeCount, kExclude);
    return settings;
}

bool SaveMirrorPair(const MirrorPairId& pair, const MirrorPairSettings& settings) {
    const std::string folder = settings.localFolder.toStdString();
    if (!FitsStore(folder) || !LinesFitStore(settings.exclusions))
        return false;
    SettingsBatch batch;
    if (!batch.IsHeld())
        return false;
    SettingsKey key;
    // The pair's key is made anew, so that no pattern of a longer list stays behind.
    if (key.OpenKey(KeyFamily::Profile, kPairsKey))
        key.DeleteSubkey(PairKeyName(pair));
    if (!key.CreateKey(KeyFamily::Profile, PairKeyPath(pair)))
        return false;
    return key.WriteString(kHost, pair.host) &&
           key.WriteDword(kPort, static_cast<std::uint32_t>(pair.port)) &&
           key.WriteString(kUser, pair.user) && key.WriteString(kRemoteFolder, pair.remoteFolder) &&
           key.WriteString(kLocalFolder, folder) && key.WriteDword(kRemoveAbsent, settings.removeAbsent) &&
           WriteLines(key, kExcludeCount, kExclude, settings.exclusions);
}

QString MirrorFolderProblem(const QString& folder) {
    if (folder.trimmed().isEmpty())
        return QStringLiteral("ローカルフォルダを選んでください。");
    if (!QDir::isAbsolutePath(folder))
        return QStringLiteral("ローカルフォルダはフルパスで入力してください。");
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("フォルダ「%1」が見つかりません。").arg(QDir::toNativeSeparators(folder));
    if (IsSameOrInside(folder, ExistingTempFolder()) || IsSameOrInside(folder, SystemTempFolder()))
        return QStringLiteral(
                   "「%1」は lumo "
                   "の一時フォルダで、終了時に空にされることがあるため、ミラーリングには使えません。")
            .arg(QDir::toNativeSeparators(folder));
    return {};
}
