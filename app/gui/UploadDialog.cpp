#include "app/gui/UploadDialog.h"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>

CUploadDialog::CUploadDialog(QWidget* parent, const QString& startFolder) : QFileDialog(parent) {
    // The dialog's own widgets: folders are taken from its list, which a desktop's dialog hides.
    setOption(QFileDialog::DontUseNativeDialog);
    setWindowTitle(QStringLiteral("アップロード"));
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setDirectory(startFolder.isEmpty() ? QDir::homePath() : startFolder);
    setLabelText(QFileDialog::Accept, QStringLiteral("アップロード"));
    if (auto* list = findChild<QAbstractItemView*>(QStringLiteral("listView")))
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &CUploadDialog::KeepAcceptText, Qt::QueuedConnection);
    connect(this, &QFileDialog::directoryEntered, this, &CUploadDialog::KeepAcceptText, Qt::QueuedConnection);
}

void CUploadDialog::KeepAcceptText() {
    if (auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
        if (QPushButton* accept = buttons->button(QDialogButtonBox::Open))
            accept->setText(QStringLiteral("アップロード"));
    }
}

QStringList CUploadDialog::ChoosePaths(QWidget* parent, const QString& startFolder) {
    CUploadDialog dialog(parent, startFolder);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.m_chosenRows.isEmpty() ? dialog.selectedFiles() : dialog.m_chosenRows;
}

QStringList CUploadDialog::ChosenRows() const {
    auto* list = findChild<QAbstractItemView*>(QStringLiteral("listView"));
    auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!list || !edit || !list->selectionModel())
        return {};
    QStringList paths;
    QSet<QString> fileNames;
    bool folder = false;
    for (const QModelIndex& index : list->selectionModel()->selectedRows()) {
        const QString path = index.data(QFileSystemModel::FilePathRole).toString();
        const QFileInfo info(path);
        if (info.isDir())
            folder = true;
        else
            fileNames.insert(info.fileName());
        paths << path;
    }
    // The name field lists the chosen files (folders left out) as the dialog wrote it: either one
    // name, or names in quotes. Anything else was typed, and is opened as usual.
    QSet<QString> typed;
    const QString text = edit->text().trimmed();
    if (text.contains(QLatin1Char('"'))) {
        static const QRegularExpression quoted(QStringLiteral("\"([^\"]*)\""));
        for (auto it = quoted.globalMatch(text); it.hasNext();)
            typed.insert(it.next().captured(1));
    } else if (!text.isEmpty()) {
        typed.insert(text);
    }
    if (!folder || typed != fileNames)
        return {};
    return paths;
}

void CUploadDialog::accept() {
    m_chosenRows = ChosenRows();
    if (m_chosenRows.isEmpty())
        QFileDialog::accept();
    else
        done(QDialog::Accepted);
}
