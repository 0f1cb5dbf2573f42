#include "app/gui/HelpCommand.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

QString UserGuidePath() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../share/lumo/guide/index.html"));
}

void ShowUserGuide(QWidget* parent, const QString& path) {
    QString text;
    if (!QFileInfo::exists(path))
        text = QStringLiteral("ヘルプファイル 「%1」 が見つかりませんでした。\n"
                              "lumo と一緒にインストールされているか確認して下さい。");
    else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        text = QStringLiteral("ヘルプファイル 「%1」 を開けませんでした。\n"
                              "HTML を開くブラウザーが設定されているか確認して下さい。");
    else
        return;
    QMessageBox box(QMessageBox::Information, QStringLiteral("ヘルプ"),
                    text.arg(QDir::toNativeSeparators(path)), QMessageBox::Ok, parent);
    box.exec();
}
