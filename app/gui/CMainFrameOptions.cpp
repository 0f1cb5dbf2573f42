#include "app/gui/CMainFrame.h"

#include "gui/settings/OptionsSheet.h"

void CMainFrame::OnOptions() {
    OptionsSheet sheet(*m_doc, m_tree, m_logView, m_engine.get(), this);
    sheet.exec();
}
