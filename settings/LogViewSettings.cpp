#include "settings/LogViewSettings.h"

#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <algorithm>

const char* const LogViewSettings::kDefaultFace = "ＭＳ ゴシック";

LogViewSettings LogViewSettings::Load(std::uint32_t buttonFace) {
    namespace N = SettingName;
    SettingsKey key;
    key.OpenKey(KeyFamily::Profile, N::LogKey);
    LogViewSettings s;
    s.usedefft = key.ReadDword(N::UseDefFt, 1) == 1;
    s.ftcolor = key.ReadDword(N::FtColor, 0);
    s.font = key.ReadString(N::Font, "");
    s.fontsize = key.ReadString(N::FontSize, "11");
    s.usedefcolor = key.ReadDword(N::UseDefColor, 1) == 1;
    s.usewincolor = key.ReadDword(N::UseWinColor, 1) == 1;
    s.bkcolor = key.ReadDword(N::BkColor, buttonFace);
    return s;
}

void LogViewSettings::Save() const {
    namespace N = SettingName;
    SettingsKey key;
    if (!key.CreateKey(KeyFamily::Profile, N::LogKey))
        return;
    key.WriteDword(N::UseDefFt, usedefft ? 1 : 0);
    key.WriteDword(N::FtColor, ftcolor);
    if (!usedefft) {
        key.WriteString(N::Font, font);
        key.WriteString(N::FontSize, fontsize);
    }
    key.WriteDword(N::UseDefColor, usedefcolor ? 1 : 0);
    key.WriteDword(N::UseWinColor, usewincolor ? 1 : 0);
    if (!usedefcolor && !usewincolor)
        key.WriteDword(N::BkColor, bkcolor);
}

std::string LogViewSettings::FaceShown() const {
    return usedefft || font.empty() ? kDefaultFace : font;
}

int LogViewSettings::PointsShown() const {
    bool ok = false;
    const int points = QString::fromStdString(fontsize).trimmed().toInt(&ok);
    if (usedefft || !ok || points < kSmallestPoints || points > kLargestPoints)
        return kDefaultPoints;
    return points;
}

QStringList LogFaceChoices(const QStringList& installed) {
    QStringList faces;
    for (const QString& face : installed) {
        const bool covered = std::any_of(faces.begin(), faces.end(), [&](const QString& entry) {
            return entry.startsWith(face, Qt::CaseInsensitive);
        });
        if (!covered)
            faces.append(face);
    }
    faces.sort(Qt::CaseInsensitive);
    return faces;
}
