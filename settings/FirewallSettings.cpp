#include "settings/FirewallSettings.h"

#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

const char* const kFirewallSchemes[kFirewallSchemeCount] = {
    "USER アカウント@ホスト",
    "OPEN ホスト",
    "open ホスト",
    "Firewallｱｶｳﾝﾄ／Firewallﾊﾟｽﾜｰﾄﾞ／OPEN ﾎｽﾄ",
    "Firewallｱｶｳﾝﾄ／Firewallﾊﾟｽﾜｰﾄﾞ／USER ｱｶｳﾝﾄ@ﾎｽﾄ",
    "Firewallｱｶｳﾝﾄ／Firewallﾊﾟｽﾜｰﾄﾞ／SITE ﾎｽﾄ",
};

FirewallSettings FirewallSettings::Load() {
    namespace N = SettingName;
    SettingsKey key;
    key.OpenKey(KeyFamily::Host, "");
    FirewallSettings s;
    s.FireType = key.ReadDword(N::FireType, 0);
    s.FireAdr = key.ReadString(N::FireAdr, "");
    s.FireUser = key.ReadString(N::FireUser, "");
    s.FirePass = key.ReadScrambled(N::FirePass);
    s.FirePort = key.ReadDword(N::FirePort, 0);
    s.MailAdr = key.ReadString(N::MailAdr, "");
    return s;
}

void FirewallSettings::Save() const {
    namespace N = SettingName;
    SettingsBatch batch;
    SettingsKey key;
    if (!key.CreateKey(KeyFamily::Host, ""))
        return;
    key.WriteString(N::FireAdr, FireAdr);
    key.WriteString(N::FireUser, FireUser);
    key.WriteScrambled(N::FirePass, FirePass);
    key.WriteDword(N::FirePort, FirePort);
    key.WriteString(N::MailAdr, MailAdr);
    key.WriteDword(N::FireType, FireType);
}

int FirewallSchemeShown(std::uint32_t fireType) {
    return fireType < kFirewallSchemeCount ? static_cast<int>(fireType) : kFirewallSchemeCount - 1;
}

bool SchemeUsesFirewallAccount(int scheme) {
    return scheme >= 3 && scheme <= 5;
}

FirewallEnabling FirewallEnablingFor(bool hostUsesFirewall, int scheme) {
    FirewallEnabling e;
    e.scheme = e.address = e.port = hostUsesFirewall;
    e.account = hostUsesFirewall && SchemeUsesFirewallAccount(scheme);
    return e;
}

std::string ReadMailAddress() {
    SettingsKey key;
    key.OpenKey(KeyFamily::Host, "");
    return key.ReadString(SettingName::MailAdr, "");
}
