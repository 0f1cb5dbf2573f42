#include "settings/MirrorPairs.h"

#include "settings/SettingsKey.h"
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

std::string ExcludeName(std::uint32_t line) {
    return "Exclude" + std::to_string(line);
}

bool FitsStore(std::string_view text) {
    return text.size() + 1 <= SettingsKey::kStringBuffer;
}

// The lines of a text, the last one too when it is empty, so that the text comes back as it went.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
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
    if (!key.OpenKey(KeyFamily::Profile, PairKeyPath(pair)))
        return settings;
    settings.localFolder = QString::fromStdString(key.ReadString(kLocalFolder, ""));
    settings.removeAbsent = key.ReadDword(kRemoveAbsent, 0) != 0;
    const std::uint32_t lines = key.ReadDword(kExcludeCount, 0);
    for (std::uint32_t line = 0; line < lines; ++line) {
        if (line > 0)
            settings.exclusions += '\n';
        settings.exclusions += key.ReadString(ExcludeName(line), "");
    }
    return settings;
}

bool SaveMirrorPair(const MirrorPairId& pair, const MirrorPairSettings& settings) {
    const std::string folder = settings.localFolder.toStdString();
    const std::vector<std::string> lines = Lines(settings.exclusions);
    if (!FitsStore(folder))
        return false;
    for (const std::string& line : lines) {
        if (!FitsStore(line))
            return false;
    }
    SettingsBatch batch;
    if (!batch.IsHeld())
        return false;
    SettingsKey key;
    // The pair's key is made anew, so that no pattern of a longer list stays behind.
    if (key.OpenKey(KeyFamily::Profile, kPairsKey))
        key.DeleteSubkey(PairKeyName(pair));
    if (!key.CreateKey(KeyFamily::Profile, PairKeyPath(pair)))
        return false;
    bool written =
        key.WriteString(kHost, pair.host) && key.WriteDword(kPort, static_cast<std::uint32_t>(pair.port)) &&
        key.WriteString(kUser, pair.user) && key.WriteString(kRemoteFolder, pair.remoteFolder) &&
        key.WriteString(kLocalFolder, folder) && key.WriteDword(kRemoveAbsent, settings.removeAbsent) &&
        key.WriteDword(kExcludeCount, static_cast<std::uint32_t>(lines.size()));
    for (std::uint32_t line = 0; written && line < lines.size(); ++line)
        written = key.WriteString(ExcludeName(line), lines[line]);
    return written;
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
