#include "settings/SystemSettings.h"

#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

namespace {
constexpr std::uint32_t kDefaultTimeoutSeconds = 30;
constexpr std::uint32_t kDefaultSendBufferKb = 4;
} // namespace

std::uint32_t ClampTimeoutSeconds(std::uint32_t stored) {
    return (stored == 0 || stored > 999) ? kDefaultTimeoutSeconds : stored;
}

std::uint32_t ClampSendBufferKb(std::uint32_t stored) {
    return (stored == 0 || stored > 24) ? kDefaultSendBufferKb : stored;
}

std::uint32_t ReadEngineTimeoutMs() {
    SettingsKey key;
    key.OpenKey(KeyFamily::System);
    if (key.ReadDword(SettingName::UnTimeout, 0) != 0)
        return 0;
    return ClampTimeoutSeconds(key.ReadDword(SettingName::Timeout, kDefaultTimeoutSeconds)) * 1000;
}

std::uint32_t ReadSendBufferBytes() {
    SettingsKey key;
    key.OpenKey(KeyFamily::System);
    return ClampSendBufferKb(key.ReadDword(SettingName::SendBuf, kDefaultSendBufferKb)) * 1024;
}

SystemPageSettings SystemPageSettings::Load() {
    namespace N = SettingName;
    SettingsKey key;
    key.OpenKey(KeyFamily::System);
    SystemPageSettings s;
    s.timeout = ClampTimeoutSeconds(key.ReadDword(N::Timeout, kDefaultTimeoutSeconds));
    s.untimeout = key.ReadDword(N::UnTimeout, 0) != 0;
    s.systemp = key.ReadDword(N::SysTemp, 1) != 0;
    s.sendbuf = ClampSendBufferKb(key.ReadDword(N::SendBuf, kDefaultSendBufferKb));
    s.temp = key.ReadString(N::Temp, "");
    return s;
}

void SystemPageSettings::Save() const {
    namespace N = SettingName;
    SettingsKey key;
    if (!key.CreateKey(KeyFamily::System))
        return;
    key.WriteDword(N::Timeout, ClampTimeoutSeconds(timeout));
    key.WriteDword(N::UnTimeout, untimeout ? 1 : 0);
    key.WriteDword(N::SysTemp, systemp ? 1 : 0);
    key.WriteDword(N::SendBuf, ClampSendBufferKb(sendbuf));
    key.WriteString(N::Temp, temp);
}
