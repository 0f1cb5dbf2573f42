#include "app/gui/LogSaving.h"

#include "app/gui/CMainFrame.h"
#include "views/LogFile.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

void SaveLogToFile(CMainFrame& frame) {
    const QString title = QStringLiteral("ログファイルを保存する");
    const QString path =
        QFileDialog::getSaveFileName(&frame, title, QDir::home().filePath(QStringLiteral("log.txt")));
    if (path.isEmpty())
        return;
    QString error;
    if (WriteLogFile(path, LogFileBytes(frame.Log().Text()), &error)) {
        frame.ShowNote(QStringLiteral("ログを %1 に保存しました").arg(QDir::toNativeSeparators(path)));
        return;
    }
    QMessageBox::warning(&frame, title,
                         QStringLiteral("ログファイル「%1」に書き込めませんでした。\n%2\n"
                                        "ログはそのまま残っています。別の場所に保存して下さい。")
                             .arg(QDir::toNativeSeparators(path), error));
}
