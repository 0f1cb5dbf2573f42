#include "gui/settings/PasswordKeeping.h"

#include "hosts/PasswordMigration.h"
#include "settings/PasswordVault.h"

#include <QLabel>
#include <QPointer>

void ShowWherePasswordsAreKept(QLabel* label) {
    label->setWordWrap(true);
    QPointer<QLabel> shown(label);
    // An entry that is never written: a keyring that runs answers "not found".
    ProgramVault().Read(
        QStringLiteral("lumo-keyring-probe"), [shown](CPasswordVault::Outcome outcome, const std::string&) {
            if (!shown)
                return;
            shown->setText(outcome == CPasswordVault::Outcome::NoKeyring
                               ? QStringLiteral("キーリングが見つからないため、パスワードはこれまでどおり"
                                                "設定ファイルに保存します。")
                               : QStringLiteral("パスワードはデスクトップのキーリングに保存します"
                                                "（キーリングにあるパスワードはここに表示しません）。"));
        });
}
