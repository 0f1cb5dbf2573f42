#include "app/gui/CMainFrame.h"

#include "app/gui/CProgressStatusBar.h"
#include "engine/FtpEngine.h"
#include "settings/gui/CPropSheetHost.h"
#include "views/gui/CQXTreeView.h"

namespace {

const char* const kAddHostHint = "接続設定でホストを登録";

} // namespace

void CMainFrame::OnHostSettings() {
    CPropSheetHost sheet(*m_doc, m_tree->GetTopHostIndex(), this);
    sheet.exec();
}

void CMainFrame::ShowHostHint() {
    const QString hint = QString::fromUtf8(kAddHostHint);
    if (m_tree->GetTopHostIndex() == -1 && !m_engine->IsConnected())
        m_statusBar->SetStatusText(hint);
    else if (m_statusBar->StatusText() == hint)
        m_statusBar->SetStatusText(QString());
}
