#include "app/gui/CMainFrame.h"

#include "gui/settings/CPropSheetHostView.h"

void CMainFrame::OnOptions() {
    CPropSheetHostView sheet(*m_doc, m_tree, m_logView, m_engine.get(), this);
    sheet.exec();
}
