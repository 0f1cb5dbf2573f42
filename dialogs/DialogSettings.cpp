#include "dialogs/DialogSettings.h"

#include "hosts/HostRecord.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

std::string ReadChmodCommand(int hostNumber) {
    SettingsKey key;
    if (hostNumber < 0 || !key.OpenKey(KeyFamily::Host, HostKeyName(hostNumber)))
        return DefaultChmodCommand;
    std::string command = key.ReadString(SettingName::Chmod, "");
    return command.empty() ? DefaultChmodCommand : command;
}

void WriteChmodCommand(int hostNumber, std::string_view command) {
    SettingsKey key;
    if (hostNumber >= 0 && key.CreateKey(KeyFamily::Host, HostKeyName(hostNumber)))
        key.WriteString(SettingName::Chmod, command);
}

void SaveAccount(int hostNumber, std::string_view user, std::string_view pass) {
    SettingsKey key;
    if (hostNumber < 0 || !key.CreateKey(KeyFamily::Host, HostKeyName(hostNumber)))
        return;
    key.WriteString(SettingName::User, user);
    key.WriteScrambled(SettingName::Pass, pass);
}

QString SingleLine(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n'))
            return text.left(i);
    }
    return text;
}
