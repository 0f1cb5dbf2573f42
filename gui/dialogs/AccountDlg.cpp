#include "gui/dialogs/AccountDlg.h"

#include "dialogs/DialogIds.h"
#include "dialogs/DialogSettings.h"
#include "gui/dialogs/DialogLayout.h"
#include "platform/TextCodec.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

using namespace DialogId;

CAccountDlg::CAccountDlg(int hostNumber, QWidget* parent) : QDialog(parent), m_hostNumber(hostNumber) {
    setWindowTitle(QStringLiteral("アカウント情報の再確認"));
    DialogBuilder b(this, IDD_ACCOUNT, 189, 94);
    b.Group(NoId, QStringLiteral("アカウント"), 5, 3, 174, 54);
    b.Static(NoId, QStringLiteral("ユーザー名"), 14, 21, 37, 8);
    m_userEdit = b.Edit(IDC_USER, 61, 19, 104, 12);
    b.Static(NoId, QStringLiteral("パスワード"), 15, 39, 35, 8);
    m_passEdit = b.Edit(IDC_PASSWORD, 61, 37, 104, 12);
    m_passEdit->setEchoMode(QLineEdit::Password);
    m_save = b.CheckBox(IDC_SAVE_ACCOUNT, QStringLiteral("このユーザー情報を保存する"), 8, 60, 108, 10);
    connect(b.Button(IDOK, QStringLiteral("OK"), 73, 76, 50, 14, true), &QPushButton::clicked, this,
            &CAccountDlg::accept);
    connect(b.Button(IDCANCEL, QStringLiteral("ｷｬﾝｾﾙ"), 127, 76, 50, 14), &QPushButton::clicked, this,
            &CAccountDlg::reject);
}

void CAccountDlg::accept() {
    // Only the first line goes on, so that a pasted line break cannot add a command of its own.
    m_user = SingleLine(m_userEdit->text());
    m_pass = SingleLine(m_passEdit->text());
    if (m_save->isChecked())
        SaveAccount(m_hostNumber, EncodeUtf8(m_user), EncodeUtf8(m_pass));
    done(DialogResult::Yes);
}

void CAccountDlg::reject() {
    done(DialogResult::Cancel);
}

void CAccountDlg::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        m_userEdit->setText(m_user);
        m_passEdit->setText(m_pass);
        m_passEdit->selectAll();
    }
    QDialog::showEvent(event);
}
