#include "gui/dialogs/FileOverwriteDlg.h"

#include "dialogs/DialogIds.h"
#include "gui/dialogs/DialogLayout.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QLabel>
#include <QMimeDatabase>
#include <QPushButton>
#include <QShowEvent>

using namespace DialogId;

namespace {

// The icon the desktop shows for this very file.
QIcon IconOfFile(const QString& path) {
    return QFileIconProvider().icon(QFileInfo(path));
}

// The icon the desktop shows for files of this name's type; the file itself is not looked at, since
// the remote one is not here.
QIcon IconOfType(const QString& name) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    const QIcon fallback = QFileIconProvider().icon(QAbstractFileIconProvider::File);
    return QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), fallback));
}

} // namespace

CFileOverwriteDlg::CFileOverwriteDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("ファイル上書きの確認"));
    DialogBuilder b(this, IDD_FILE_OVERWRITE, 263, 135);
    auto end = [this](QPushButton* button, int result) {
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    };
    end(b.Button(IDOK, QStringLiteral("はい(&Y)"), 46, 117, 51, 14, true), DialogResult::Yes);
    end(b.Button(IDC_RESUME, QStringLiteral("レジューム(&R)"), 101, 117, 49, 14), DialogResult::Resume);
    end(b.Button(IDC_OVERWRITE_ALL, QStringLiteral("全て上書き(&A)"), 154, 117, 49, 14),
        DialogResult::OverwriteAll);
    end(b.Button(IDCANCEL, QStringLiteral("キャンセル"), 207, 117, 49, 14), DialogResult::Cancel);
    m_headline = b.Static(IDC_HEADLINE, QString(), 20, 5, 215, 8, true);
    b.Static(NoId, QStringLiteral("現在のファイル"), 30, 20, 43, 8);
    m_existingIconLabel = b.Icon(IDC_EXISTING_ICON, 31, 35);
    m_existingSize = b.Static(IDC_EXISTING_SIZE, QString(), 63, 35, 182, 8);
    m_existingDate = b.Static(IDC_EXISTING_DATE, QString(), 63, 47, 182, 8);
    b.Static(NoId, QStringLiteral("に次の新しいファイルを上書きしますか?"), 31, 68, 114, 8);
    m_newIconLabel = b.Icon(IDC_NEW_ICON, 31, 83);
    m_newSize = b.Static(IDC_NEW_SIZE, QString(), 63, 82, 182, 8);
    m_newDate = b.Static(IDC_NEW_DATE, QString(), 63, 94, 182, 8);
}

bool CFileOverwriteDlg::PrepareDownload(const QString& localPath, const QString& remoteDate,
                                        std::int64_t remoteSize) {
    const std::optional<LocalFileStatus> local = ReadLocalFileStatus(localPath);
    if (!local)
        return false;
    m_texts = DownloadOverwriteTexts(localPath, *local, remoteDate, remoteSize);
    OfferBatchAnswers(true);
    m_existingIcon = IconOfFile(localPath);
    m_newIcon = IconOfType(QFileInfo(localPath).fileName());
    return true;
}

bool CFileOverwriteDlg::PrepareUpload(const QString& localPath, const QString& remoteDate,
                                      const QString& remoteSizeText) {
    const std::optional<LocalFileStatus> local = ReadLocalFileStatus(localPath);
    if (!local)
        return false;
    m_texts = UploadOverwriteTexts(localPath, *local, remoteDate, remoteSizeText);
    OfferBatchAnswers(true);
    m_existingIcon = IconOfType(QFileInfo(localPath).fileName());
    m_newIcon = IconOfFile(localPath);
    return true;
}

void CFileOverwriteDlg::PrepareRename(const QString& name, const RemoteColumns& existing,
                                      const RemoteColumns& renamed) {
    m_texts = RenameOverwriteTexts(name, existing, renamed);
    m_existingIcon = IconOfType(name);
    m_newIcon = m_existingIcon;
    // Neither resuming nor a whole batch means anything for one rename.
    OfferBatchAnswers(false);
}

void CFileOverwriteDlg::OfferBatchAnswers(bool offer) {
    for (int id : {IDC_RESUME, IDC_OVERWRITE_ALL}) {
        if (auto* button = findChild<QPushButton*>(ControlName(id)))
            button->setVisible(offer);
    }
}

void CFileOverwriteDlg::reject() {
    done(DialogResult::Cancel);
}

void CFileOverwriteDlg::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        m_headline->setText(m_texts.headline);
        m_existingSize->setText(m_texts.existingSize);
        m_existingDate->setText(m_texts.existingDate);
        m_newSize->setText(m_texts.newSize);
        m_newDate->setText(m_texts.newDate);
        m_existingIconLabel->setPixmap(IconPixmap(m_existingIcon));
        m_newIconLabel->setPixmap(IconPixmap(m_newIcon));
    }
    QDialog::showEvent(event);
}
