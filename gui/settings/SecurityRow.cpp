#include "gui/settings/SecurityRow.h"

#include "gui/settings/HostSheetControls.h"
#include "gui/settings/PageRows.h"
#include "hosts/HostRecord.h"

#include <QComboBox>
#include <QLineEdit>

namespace SecurityRow {

QComboBox* Add(PageRows& rows, int labelWidth) {
    rows.NextRow();
    rows.Label(HostSheetControl::SecurityLabel, QStringLiteral("暗号化(&E)"), labelWidth);
    QComboBox* choice = rows.DropDown(HostSheetControl::Security);
    // In the order of HostSecurity's values.
    choice->addItems({QStringLiteral("なし"), QStringLiteral("TLS (AUTH TLS)"),
                      QStringLiteral("TLS、使えるときだけ (AUTH TLS)"),
                      QStringLiteral("暗黙の TLS (ポート 990)")});
    return choice;
}

void Show(QComboBox* choice, int security) {
    choice->setCurrentIndex(
        security >= HostSecurity::None && security <= HostSecurity::Implicit ? security : HostSecurity::None);
}

int Chosen(const QComboBox* choice) {
    return choice->currentIndex() < 0 ? HostSecurity::None : choice->currentIndex();
}

void KeepPortInStep(QComboBox* choice, QLineEdit* port) {
    QObject::connect(choice, QOverload<int>::of(&QComboBox::activated), port, [choice, port] {
        const bool implicit = Chosen(choice) == HostSecurity::Implicit;
        const QString from = QString::number(implicit ? 21 : HostSecurity::ImplicitPort);
        if (port->text().trimmed() == from)
            port->setText(QString::number(implicit ? HostSecurity::ImplicitPort : 21));
    });
}

} // namespace SecurityRow
