#include "app/gui/HelpCommand.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

void ShowProblem(QWidget* parent, const QString& text, const QString& path) {
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("ヘルプ"),
                                text.arg(QDir::toNativeSeparators(path)), QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // The path is there to be copied into a browser by hand.
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->open();
}

QString NotOpened() {
    return QStringLiteral("ヘルプファイル 「%1」 を開けませんでした。\n"
                          "HTML を開くブラウザーが設定されているか確認するか、"
                          "このファイルをブラウザーで直接開いて下さい。");
}

// Where the desktop hands files over to xdg-open, Qt's own call reports only that the opener
// started, not that a browser took the file: the opener runs here and its exit status counts.
bool OpenWithXdgOpen(QWidget* parent, const QString& path) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return false;
    // Owned by the application, not the window: a browser that the opener waits for may outlive
    // the window that asked.
    auto* process = new QProcess(QCoreApplication::instance());
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QPointer<QWidget> asker(parent);
    const auto failed = [asker, path] {
        if (asker)
            ShowProblem(asker, NotOpened(), path);
    };
    QObject::connect(process, &QProcess::finished, process,
                     [process, failed](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || code != 0)
                             failed();
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, failed](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            failed();
            process->deleteLater();
        }
    });
    process->start(opener, {path});
    return true;
}

} // namespace

QString UserGuidePath() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../share/lumo/guide/index.html"));
}

void ShowUserGuide(QWidget* parent, const QString& path) {
    if (!QFileInfo::exists(path)) {
        ShowProblem(parent,
                    QStringLiteral("ヘルプファイル 「%1」 が見つかりませんでした。\n"
                                   "lumo と一緒にインストールされているか確認して下さい。"),
                    path);
        return;
    }
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (OpenWithXdgOpen(parent, path))
        return;
#endif
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        ShowProblem(parent, NotOpened(), path);
}
