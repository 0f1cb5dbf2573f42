#pragma once

#include "gui/settings/CPropertyPage.h"
#include "hosts/HostRecord.h"

class DialogBuilder;
class HostListEditor;
class PageRows;
class QComboBox;

// A page of the host settings sheet: a drop-down of every host on top, and below it the current
// host's values. Choosing another host, or leaving the page, first stores what the page shows into
// the current host; a refused value keeps both the host and the page.
class CHostPage : public CPropertyPage {
    Q_OBJECT
public:
    CHostPage(HostListEditor& editor, int pageId, QWidget* parent = nullptr);

    void OnSetActive() override;
    bool OnKillActive() override;

    // Fills the drop-down with every host's name and selects the current one.
    void RefillHostChoice();

    // The page's size in dialog units; every page of the sheet has it.
    static constexpr int kWidth = 252;
    static constexpr int kMargin = 7;

protected:
    // The host drop-down's row: every page builds it first.
    void AddHostChoice(PageRows& rows);
    // Fixes the page's size once its rows are built.
    void FinishPage(DialogBuilder& builder, const PageRows& rows);

    // The current host's values into the controls.
    virtual void LoadFields(const HostRecord& host) = 0;
    // The controls into the host's values; false, having told the user why, when one is refused.
    // Nothing is stored then.
    virtual bool StoreFields(HostRecord& host) = 0;

    void LoadCurrent();
    // Stores the controls into the current host (true when no host is current).
    bool StoreCurrent();

    HostListEditor& Editor() const { return m_editor; }
    QComboBox* HostChoice() const { return m_hostChoice; }

private:
    void OnHostChosen(int index);

    HostListEditor& m_editor;
    QComboBox* m_hostChoice = nullptr;
};
