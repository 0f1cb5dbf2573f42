#include "gui/settings/FolderBrowser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

QString BrowseForFolder(QWidget* parent, const QString& current) {
    const QString start = !current.isEmpty() && QFileInfo(current).isDir() ? current : QString();
    const QString chosen = QFileDialog::getExistingDirectory(
        parent, QStringLiteral("ローカルフォルダを選択して下さい。"), start, QFileDialog::ShowDirsOnly);
    return chosen.isEmpty() ? QString() : QDir::toNativeSeparators(chosen);
}
