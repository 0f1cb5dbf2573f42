#pragma once

#include <QWidget>

#include <initializer_list>
#include <utility>

class CPropertySheet;

// One page of a property sheet. The sheet tells the page when it is shown, when it is about to be
// left and when the sheet is accepted; a page that refuses a typed value keeps the focus.
class CPropertyPage : public QWidget {
    Q_OBJECT
public:
    explicit CPropertyPage(QWidget* parent = nullptr);

    // The page has become the one shown.
    virtual void OnSetActive() {}
    // The page is about to be left: false keeps it shown (a typed value was refused).
    virtual bool OnKillActive() { return true; }
    // The sheet is accepted (OK or Apply) and this page has been shown; false stops the acceptance.
    // The writes of every page of one acceptance reach the store together.
    virtual bool OnApply() { return true; }

    // Enables the sheet's Apply button.
    void SetModified();
    bool HasBeenShown() const { return m_shown; }

protected:
    // Tells the user why a typed value cannot be taken and puts the focus on it, its text selected.
    void RefuseInput(QWidget* control, const QString& message);
    // The checks of a page's values, each a control with its problem ("" when there is none), in tab
    // order: the first problem is refused. True when there is none.
    using Check = std::pair<QWidget*, QString>;
    bool AcceptValues(std::initializer_list<Check> checks);

private:
    friend class CPropertySheet;
    CPropertySheet* m_sheet = nullptr;
    bool m_shown = false;
};
