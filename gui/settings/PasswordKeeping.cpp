#include "gui/settings/PasswordKeeping.h"

#include "hosts/PasswordMigration.h"
#include "settings/PasswordVault.h"

#include <QLabel>
#include <QMessageBox>
#include <QPointer>

void ShowWherePasswordsAreKept(QLabel* label) {
    label->setWordWrap(true);
    QPointer<QLabel> shown(label);
    ProgramVault().CheckKeyring([shown](bool answers) {
        if (!shown)
            return;
        shown->setText(answers ? QStringLiteral("パスワードはデスクトップのキーリングに保存します"
                                                "（キーリングにあるパスワードはここに表示しません）。")
                               : QStringLiteral("キーリングが見つからないため、パスワードはこれまでどおり"
                                                "設定ファイルに保存します。"));
    });
}

void MovePasswordsAndSayWhere(QLabel* label, QWidget* window) {
    MovePasswordsToKeyring(ProgramVault(), [shown = QPointer<QLabel>(label),
                                            window = QPointer<QWidget>(window)](const PasswordsMoved& moved) {
        const QString text = WherePasswordsWent(moved);
        if (text.isEmpty())
            return;
        if (shown && shown->window()->isVisible()) {
            shown->setText(text);
            return;
        }
        if (!window || !moved.keyringAnswers || moved.inStore == 0)
            return;
        auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("接続設定"), text,
                                    QMessageBox::Ok, window);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
}
