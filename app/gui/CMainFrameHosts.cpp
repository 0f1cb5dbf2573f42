#include "app/gui/CMainFrame.h"

#include "app/gui/CProgressStatusBar.h"
#include "engine/FtpEngine.h"
#include "gui/settings/CPropSheetHost.h"
#include "gui/views/CQXTreeView.h"

namespace {

const char* const kAddHostHint = "接続設定でホストを登録";

} // namespace

void CMainFrame::OnHostSettings() {
    CPropSheetHost sheet(*m_doc, m_tree->GetTopHostIndex(), this);
    sheet.exec();
}

QString CMainFrame::HostHint() const {
    if (m_tree->GetTopHostIndex() == -1 && !m_engine->IsConnected())
        return QString::fromUtf8(kAddHostHint);
    return QString();
}
