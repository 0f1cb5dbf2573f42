#include "gui/settings/ServerZoneRow.h"

#include "gui/settings/HostSheetControls.h"
#include "gui/settings/PageRows.h"
#include "hosts/ServerZone.h"

#include <QComboBox>

namespace ServerZoneRow {

QComboBox* Add(PageRows& rows, int labelWidth) {
    rows.Label(HostSheetControl::ServerZoneLabel, QStringLiteral("サーバーの時間帯(&Z)"), labelWidth);
    QComboBox* choice = rows.DropDown(HostSheetControl::ServerZone, 130);
    choice->addItem(QStringLiteral("このコンピューターと同じ"), QString());
    for (int offset = -12 * 60; offset <= 14 * 60; offset += 15) {
        const QString text = QString::fromStdString(ServerZoneText(offset));
        choice->addItem(QStringLiteral("UTC") + text, text);
    }
    rows.NextRow();
    return choice;
}

void Show(QComboBox* choice, const std::string& zone) {
    const int found = choice->findData(QString::fromStdString(zone));
    // A stored zone this list does not hold reads as this computer's, as the mirror reads it.
    choice->setCurrentIndex(found < 0 ? 0 : found);
}

std::string Chosen(const QComboBox* choice) {
    return choice->currentData().toString().toStdString();
}

} // namespace ServerZoneRow
