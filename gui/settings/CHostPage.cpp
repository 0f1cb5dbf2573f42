#include "gui/settings/CHostPage.h"

#include "gui/dialogs/DialogLayout.h"
#include "gui/settings/HostSheetControls.h"
#include "gui/settings/PageRows.h"
#include "hosts/HostListEditor.h"
#include "settings/HostInputRules.h"

#include <QComboBox>
#include <QSignalBlocker>

CHostPage::CHostPage(HostListEditor& editor, int pageId, QWidget* parent)
    : CPropertyPage(parent), m_editor(editor) {
    setObjectName(ControlName(pageId));
}

void CHostPage::AddHostChoice(PageRows& rows) {
    rows.Label(HostSheetControl::HostChoiceLabel, QStringLiteral("ホスト選択(&S)"), 50);
    m_hostChoice = rows.DropDown(HostSheetControl::HostChoice);
    // Long lists open as a scrolling list of a usual height rather than across the screen.
    m_hostChoice->setMaxVisibleItems(20);
    rows.NextRow();
    connect(m_hostChoice, &QComboBox::activated, this, &CHostPage::OnHostChosen);
}

void CHostPage::FinishPage(DialogBuilder& builder, const PageRows& rows) {
    setFixedSize(builder.X(kWidth), builder.Y(rows.Bottom() + kMargin));
}

void CHostPage::OnSetActive() {
    RefillHostChoice();
    LoadCurrent();
}

bool CHostPage::OnKillActive() {
    return StoreCurrent();
}

void CHostPage::RefillHostChoice() {
    QStringList names;
    names.reserve(m_editor.Count());
    for (const HostRecord& host : m_editor.Hosts())
        names.append(ShownText(host.Name));
    const QSignalBlocker blocker(m_hostChoice);
    m_hostChoice->clear();
    m_hostChoice->addItems(names);
    m_hostChoice->setCurrentIndex(m_editor.Current());
}

void CHostPage::LoadCurrent() {
    if (const HostRecord* host = m_editor.CurrentRecord())
        LoadFields(*host);
}

bool CHostPage::StoreCurrent() {
    HostRecord* host = m_editor.CurrentRecord();
    return !host || StoreFields(*host);
}

void CHostPage::OnHostChosen(int index) {
    if (index == m_editor.Current())
        return;
    // The drop-down shows the current host again while its values are checked, so that a refusal
    // leaves everything as it was.
    {
        const QSignalBlocker blocker(m_hostChoice);
        m_hostChoice->setCurrentIndex(m_editor.Current());
    }
    if (!StoreCurrent())
        return;
    m_editor.SetCurrent(index);
    RefillHostChoice();
    LoadCurrent();
}
