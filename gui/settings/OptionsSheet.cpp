#include "gui/settings/OptionsSheet.h"

#include "engine/FtpEngine.h"
#include "gui/settings/CPropPageHostIcon.h"
#include "gui/settings/CPropPageHostOrder.h"
#include "gui/settings/CPropPageLogView.h"
#include "gui/settings/CPropPageOpt.h"
#include "gui/settings/CPropPageSystem.h"
#include "gui/views/CQXLogView.h"
#include "gui/views/CQXTreeView.h"
#include "hosts/QXDoc.h"

OptionsSheet::OptionsSheet(CQXDoc& doc, CQXTreeView* tree, CQXLogView* logView, CFtpEngine* engine,
                           QWidget* parent)
    : CPropertySheet(QStringLiteral("オプション"), parent), m_tree(tree), m_logView(logView),
      m_engine(engine), m_hosts(doc.LoadAllHosts()) {
    setObjectName(QStringLiteral("OptionsSheet"));
    m_options = new CPropPageOpt;
    m_logViewPage = new CPropPageLogView;
    m_hostIcon = new CPropPageHostIcon(m_hosts, tree ? tree->GetTopHostIndex() : -1);
    m_hostOrder = new CPropPageHostOrder(doc, m_hosts);
    m_system = new CPropPageSystem;
    AddPage(m_options, QStringLiteral("オプション"));
    AddPage(m_logViewPage, QStringLiteral("ログビュー"));
    AddPage(m_hostIcon, QStringLiteral("ホストアイコン"));
    AddPage(m_hostOrder, QStringLiteral("ホストの順番"));
    AddPage(m_system, QStringLiteral("システム"));
    connect(m_hostOrder, &CPropPageHostOrder::HostsRenumbered, this, [this](const std::vector<int>& order) {
        m_hostIcon->FollowNewOrder(order);
        m_renumbered = true;
    });
}

bool OptionsSheet::OnApplied() {
    // What was stored is shown at once, read back as the program reads it at its next start.
    if (m_logView && m_logViewPage->HasBeenShown())
        m_logView->ApplyAppearance(
            ReadLogAppearance(CPropPageLogView::SystemButtonFace(), CPropPageLogView::SystemWindowColour()));
    if (m_engine && m_system->HasBeenShown())
        m_engine->ReadSystemSettings();
    if (m_tree) {
        if (m_hostIcon->HasBeenShown())
            m_tree->BuildTreeImages();
        if (m_renumbered) {
            m_tree->Model().RebuildHostTree();
            m_hostIcon->SetTopHostIndex(m_tree->GetTopHostIndex());
        } else if (m_hostIcon->HasBeenShown())
            m_tree->FillHostTree();
    }
    m_renumbered = false;
    return true;
}
