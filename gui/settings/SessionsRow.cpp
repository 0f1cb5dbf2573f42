#include "gui/settings/SessionsRow.h"

#include "gui/settings/HostSheetControls.h"
#include "gui/settings/PageRows.h"
#include "settings/TransferSessions.h"

#include <QComboBox>

namespace SessionsRow {

QComboBox* Add(PageRows& rows, int labelWidth) {
    rows.Label(HostSheetControl::SessionsLabel, QStringLiteral("同時接続数(&T)"), labelWidth);
    QComboBox* choice = rows.DropDown(HostSheetControl::Sessions, 100);
    choice->addItem(QStringLiteral("オプションの設定に従う"));
    for (int n = TransferSessions::Min; n <= TransferSessions::Max; ++n)
        choice->addItem(QString::number(n));
    rows.NextRow();
    return choice;
}

void Show(QComboBox* choice, int sessions) {
    choice->setCurrentIndex(sessions >= TransferSessions::Min && sessions <= TransferSessions::Max ? sessions
                                                                                                   : 0);
}

int Chosen(const QComboBox* choice) {
    return choice->currentIndex() < 0 ? 0 : choice->currentIndex();
}

} // namespace SessionsRow
