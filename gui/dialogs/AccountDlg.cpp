#include "gui/dialogs/AccountDlg.h"

#include "dialogs/DialogIds.h"
#include "dialogs/DialogSettings.h"
#include "gui/dialogs/DialogLayout.h"
#include "platform/TextCodec.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

using namespace DialogId;

CAccountDlg::CAccountDlg(int hostNumber, QWidget* parent) : QDialog(parent), m_hostNumber(hostNumber) {
    setWindowTitle(QStringLiteral("アカウント情報の再確認"));
    // A line on top says what the server refused, so that the user knows which field to mend.
    constexpr int kReasonRow = 12;
    DialogBuilder b(this, IDD_ACCOUNT, 189, 94 + kReasonRow);
    m_reasonLabel = b.Static(NoId, QString(), 7, 4, 172, 8);
    b.Group(NoId, QStringLiteral("アカウント"), 5, 3 + kReasonRow, 174, 54);
    b.Static(NoId, QStringLiteral("ユーザー名"), 14, 21 + kReasonRow, 37, 8);
    m_userEdit = b.Edit(IDC_USER, 61, 19 + kReasonRow, 104, 12);
    b.Static(NoId, QStringLiteral("パスワード"), 15, 39 + kReasonRow, 35, 8);
    m_passEdit = b.Edit(IDC_PASSWORD, 61, 37 + kReasonRow, 104, 12);
    m_passEdit->setEchoMode(QLineEdit::Password);
    m_save = b.CheckBox(IDC_SAVE_ACCOUNT, QStringLiteral("このユーザー情報を保存する"), 8, 60 + kReasonRow,
                        108, 10);
    connect(b.Button(IDOK, QStringLiteral("OK"), 73, 76 + kReasonRow, 50, 14, true), &QPushButton::clicked,
            this, &CAccountDlg::accept);
    connect(b.Button(IDCANCEL, QStringLiteral("ｷｬﾝｾﾙ"), 127, 76 + kReasonRow, 50, 14), &QPushButton::clicked,
            this, &CAccountDlg::reject);
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
        m_reasonLabel->setText(m_reason);
        m_userEdit->setText(m_user);
        m_passEdit->setText(m_pass);
        m_passEdit->selectAll();
    }
    QDialog::showEvent(event);
}
