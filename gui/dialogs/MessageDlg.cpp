#include "gui/dialogs/MessageDlg.h"

#include "dialogs/ConfirmRules.h"
#include "dialogs/DialogIds.h"
#include "gui/dialogs/DialogLayout.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

using namespace DialogId;

CMessageDlg::CMessageDlg(QWidget* parent) : QDialog(parent) {
    DialogBuilder b(this, IDD_MESSAGE, 254, 59);
    connect(b.Button(IDOK, QStringLiteral("はい"), 143, 40, 50, 14, true), &QPushButton::clicked, this,
            &QDialog::accept);
    connect(b.Button(IDCANCEL, QStringLiteral("いいえ"), 195, 40, 50, 14), &QPushButton::clicked, this,
            &CMessageDlg::reject);
    m_icon = b.Icon(IDC_MESSAGE_ICON, 15, 15);
    m_text = b.Static(IDC_MESSAGE_TEXT, QString(), 50, 9, 185, 25);
}

void CMessageDlg::SetDeleteQuestion(int files, int folders, const QString& lastFileName,
                                    const QString& lastFolderName) {
    const DeleteQuestion q = BuildDeleteQuestion(files, folders, lastFileName, lastFolderName);
    m_title = q.title;
    m_kind = q.kind;
    m_message = q.message;
}

void CMessageDlg::reject() {
    done(DialogResult::Cancel);
}

void CMessageDlg::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        setWindowTitle(m_title);
        m_icon->setPixmap(DialogPicture(DeletePictureId(m_kind)));
        m_text->setText(m_message);
    }
    QDialog::showEvent(event);
}
