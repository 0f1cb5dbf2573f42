#include "gui/settings/CPropertyPage.h"

#include "gui/settings/CPropertySheet.h"

#include <QLineEdit>
#include <QMessageBox>

CPropertyPage::CPropertyPage(QWidget* parent) : QWidget(parent) {}

void CPropertyPage::SetModified() {
    if (m_sheet)
        m_sheet->SetModified(true);
}

void CPropertyPage::RefuseInput(QWidget* control, const QString& message) {
    QMessageBox::warning(this, QStringLiteral("lumo"), message);
    control->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->selectAll();
}

bool CPropertyPage::AcceptValues(std::initializer_list<Check> checks) {
    for (const auto& [control, problem] : checks) {
        if (!problem.isEmpty()) {
            RefuseInput(control, problem);
            return false;
        }
    }
    return true;
}
