#include "gui/settings/COptionPage.h"

#include "gui/dialogs/DialogLayout.h"
#include "gui/settings/OptionSheetControls.h"
#include "gui/settings/PageRows.h"

#include <QGroupBox>
#include <QIcon>
#include <QLabel>

using namespace OptionSheetControl;

void COptionPage::OnSetActive() {
    if (m_loaded)
        return;
    m_loaded = true;
    m_loading = true;
    Load();
    m_loading = false;
}

void COptionPage::Changed() {
    if (!m_loading)
        SetModified();
}

void COptionPage::PutPicture(const DialogBuilder& builder, QGroupBox* group, const QIcon& picture) {
    constexpr int size = 24;
    auto* label = new QLabel(this);
    label->setObjectName(ControlName(PagePicture));
    label->setPixmap(picture.pixmap(size, size));
    label->setGeometry(group->x() + builder.X(4), group->y() - size / 4, size, size);
    label->raise();
}

void COptionPage::FinishPage(const DialogBuilder& builder, const PageRows& rows) {
    setFixedSize(builder.X(kPageWidth), builder.Y(rows.Bottom() + kPageMargin));
}
