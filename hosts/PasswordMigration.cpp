#include "hosts/PasswordMigration.h"

#include "hosts/QXDoc.h"
#include "settings/FirewallSettings.h"
#include "settings/PasswordVault.h"
#include "settings/SettingNames.h"

#include <QCoreApplication>

CPasswordVault& ProgramVault() {
    static CPasswordVault* vault = new CPasswordVault(QCoreApplication::instance());
    return *vault;
}

void MovePasswordsToKeyring(CPasswordVault& vault) {
    const auto ignore = [](CPasswordVault::Outcome, const std::string&) {};
    const HostList hosts = CQXDoc().LoadAllHosts();
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        const HostRecord& h = hosts[i];
        if (!h.Pass.empty())
            vault.MoveToKeyring(KeyFamily::Host, HostKeyName(static_cast<int>(i)), SettingName::Pass,
                                CPasswordVault::AccountKey(h.User, h.Adr, h.Port), ignore);
    }
    const FirewallSettings fire = FirewallSettings::Load();
    if (!fire.FirePass.empty())
        vault.MoveToKeyring(
            KeyFamily::Host, "", SettingName::FirePass,
            CPasswordVault::AccountKey(fire.FireUser, fire.FireAdr, static_cast<int>(fire.FirePort)), ignore);
}
