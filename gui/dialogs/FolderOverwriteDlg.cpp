#include "gui/dialogs/FolderOverwriteDlg.h"

#include "dialogs/ConfirmRules.h"
#include "dialogs/DialogIds.h"
#include "gui/dialogs/DialogLayout.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

using namespace DialogId;

CFolderOverwriteDlg::CFolderOverwriteDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("フォルダ上書きの確認"));
    DialogBuilder b(this, IDD_FOLDER_OVERWRITE, 270, 79);
    auto end = [this](QPushButton* button, int result) {
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    };
    end(b.Button(IDOK, QStringLiteral("はい(&Y)"), 60, 60, 51, 14, true), DialogResult::Yes);
    end(b.Button(IDC_OVERWRITE_ALL, QStringLiteral("全て上書き(&A)"), 113, 60, 49, 14),
        DialogResult::OverwriteAll);
    end(b.Button(IDC_FOLDER_NO, QStringLiteral("いいえ(&N)"), 164, 60, 49, 14), DialogResult::No);
    end(b.Button(IDCANCEL, QStringLiteral("キャンセル"), 215, 60, 49, 14), DialogResult::Cancel);
    b.Icon(IDC_FOLDER_ICON, 11, 19)->setPixmap(DialogPicture(IDI_FOLDER_OVERWRITE));
    m_headlineLabel = b.Static(IDC_FOLDER_HEADLINE, QString(), 43, 9, 212, 10);
    b.Static(NoId,
             QStringLiteral(
                 "現在のフォルダのファイルと新しいフォルダのファイルが同じ名前の場合、新しいファイルで上書"
                 "きされます。フォルダをダウンロードしますか。"),
             43, 26, 195, 20);
}

void CFolderOverwriteDlg::Prepare(const QString& localFolderPath) {
    m_headline = FolderOverwriteHeadline(localFolderPath);
}

void CFolderOverwriteDlg::reject() {
    done(DialogResult::Cancel);
}

void CFolderOverwriteDlg::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        m_headlineLabel->setText(m_headline);
    QDialog::showEvent(event);
}
