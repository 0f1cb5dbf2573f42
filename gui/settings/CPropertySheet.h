#pragma once

#include <QDialog>

#include <vector>

class CPropertyPage;
class QKeyEvent;
class QPushButton;
class QTabWidget;

// A modal sheet of pages with OK, Cancel and Apply. A page shows its values when it is shown and may
// refuse to be left; OK and Apply let every page shown so far write its values, in page order, and
// all of it reaches the settings store in one write. Cancel writes nothing.
class CPropertySheet : public QDialog {
    Q_OBJECT
public:
    // The numbers of the sheet's own buttons (object names, as for dialog controls).
    static constexpr int kOkButton = 1;
    static constexpr int kCancelButton = 2;
    static constexpr int kApplyButton = 0x3021;

    explicit CPropertySheet(const QString& caption, QWidget* parent = nullptr);

    void AddPage(CPropertyPage* page, const QString& title);
    int PageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* Page(int index) const;
    CPropertyPage* ActivePage() const { return Page(m_active); }
    // Shows another page; false when the page shown now refuses to be left.
    bool SetActivePage(int index);

    void SetModified(bool modified);
    bool IsModified() const;

    // The active page is left (it may refuse), then every page shown so far writes its values and
    // the sheet its own. False when a page refused or nothing could be written; the sheet stays.
    bool Apply();

    QTabWidget* Tabs() const { return m_tabs; }
    QPushButton* ApplyButton() const { return m_applyButton; }

    void setVisible(bool visible) override;

public slots:
    void accept() override;

protected:
    // The sheet's own step of an acceptance, after its pages' steps and in the same store write.
    virtual bool OnApplySheet() { return true; }
    // After the acceptance has reached the store: false keeps the sheet open.
    virtual bool OnApplied() { return true; }
    // A message of the sheet itself (the store could not be written).
    void ShowProblem(const QString& message);

    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnTabChanged(int index);
    void Activate(int index);
    // Ctrl+Tab and Ctrl+PgDn (forward), Ctrl+Shift+Tab and Ctrl+PgUp: the next or previous page,
    // from whichever control has the focus.
    bool StepPage(const QKeyEvent& key);

    QTabWidget* m_tabs;
    QPushButton* m_applyButton;
    std::vector<CPropertyPage*> m_pages;
    int m_active = -1;
    bool m_switching = false;
};
