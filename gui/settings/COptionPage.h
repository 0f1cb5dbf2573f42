#pragma once

#include "gui/settings/CPropertyPage.h"

class DialogBuilder;
class PageRows;
class QGroupBox;
class QIcon;

// A page of the options sheet. It reads its values from the store the first time it is shown;
// a change the user makes marks the sheet modified, the page's own filling of its controls does not.
class COptionPage : public CPropertyPage {
    Q_OBJECT
public:
    explicit COptionPage(QWidget* parent = nullptr) : CPropertyPage(parent) {}

    void OnSetActive() override;
    // The user changed something.
    void Changed();

protected:
    // Fills the controls from the store; run once, when the page is first shown.
    virtual void Load() = 0;
    bool IsLoaded() const { return m_loaded; }

    // The page's picture, in the room the leading blanks of a group's title leave for it.
    void PutPicture(const DialogBuilder& builder, QGroupBox* group, const QIcon& picture);
    // Fixes the page's size once its rows are built.
    void FinishPage(const DialogBuilder& builder, const PageRows& rows);

private:
    bool m_loaded = false;
    bool m_loading = false;
};
