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

void MovePasswordsToKeyring(CPasswordVault& vault, std::function<void(const PasswordsMoved&)> done) {
    std::vector<CPasswordVault::StoredPassword> passwords;
    const HostList hosts = CQXDoc().LoadAllHosts();
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        const HostRecord& h = hosts[i];
        if (!h.Pass.empty())
            passwords.push_back({KeyFamily::Host, HostKeyName(static_cast<int>(i)), SettingName::Pass,
                                 CPasswordVault::AccountKey(h.User, h.Adr, h.Port)});
    }
    const FirewallSettings fire = FirewallSettings::Load();
    if (!fire.FirePass.empty())
        passwords.push_back(
            {KeyFamily::Host, "", SettingName::FirePass,
             CPasswordVault::AccountKey(fire.FireUser, fire.FireAdr, static_cast<int>(fire.FirePort))});
    if (passwords.empty()) {
        if (done)
            done({});
        return;
    }
    // Without a keyring nothing is written there, so the answer tells "none runs" from "refused".
    vault.CheckKeyring(
        [&vault, passwords = std::move(passwords), done = std::move(done)](bool answers) mutable {
            if (!answers) {
                if (done)
                    done({0, static_cast<int>(passwords.size()), false});
                return;
            }
            vault.MoveAllToKeyring(std::move(passwords), [done](const CPasswordVault::Outcomes& outcomes) {
                PasswordsMoved moved{0, 0, true};
                for (CPasswordVault::Outcome o : outcomes) {
                    if (o == CPasswordVault::Outcome::Done)
                        ++moved.inKeyring;
                    else if (o == CPasswordVault::Outcome::NoKeyring)
                        ++moved.inStore;
                }
                if (done)
                    done(moved);
            });
        });
}

QString WherePasswordsWent(const PasswordsMoved& moved) {
    if (moved.inStore == 0)
        return moved.inKeyring == 0 ? QString()
                                    : QStringLiteral("パスワードはデスクトップのキーリングに保存しました"
                                                     "（キーリングにあるパスワードはここに表示しません）。");
    if (!moved.keyringAnswers)
        return QStringLiteral(
            "キーリングが見つからないため、パスワードはこれまでどおり設定ファイルに保存しました。");
    if (moved.inKeyring == 0)
        return QStringLiteral("デスクトップのキーリングに保存できなかったため、パスワードはこれまでどおり"
                              "設定ファイルに保存しました。");
    return QStringLiteral("パスワード %1 件はデスクトップのキーリングに保存しましたが、%2 件はキーリングに"
                          "保存できなかったため設定ファイルに保存しました。")
        .arg(moved.inKeyring)
        .arg(moved.inStore);
}
