#include "app/gui/StoreDamageNotice.h"

#include "app/gui/CMainFrame.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>

QString StoreDamageMessage(const RegistryStore::Damage& damage) {
    QString text = QStringLiteral("設定ファイル %1 は一部が壊れていたため、読めなかった %2 行を飛ばし、"
                                  "読めた設定で続けます。\n\n")
                       .arg(QDir::toNativeSeparators(damage.storePath))
                       .arg(damage.skippedLines);
    if (damage.keptAt == damage.storePath)
        text += QStringLiteral("元のファイルは移動できなかったため、そのまま残っています:\n%1");
    else
        text += QStringLiteral("元のファイルは次の場所に残してあります:\n%1");
    return text.arg(QDir::toNativeSeparators(damage.keptAt));
}

void InstallStoreDamageNotice() {
    RegistryStore::setDamageHandler([](const RegistryStore::Damage& damage) {
        static bool told = false;
        if (told)
            return;
        told = true;
        // The damage is found in the middle of a settings read; the box waits until that is over.
        QTimer::singleShot(0, qApp, [text = StoreDamageMessage(damage)] {
            auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("lumo"), text, QMessageBox::Ok,
                                        CMainFrame::Instance());
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        });
    });
}
