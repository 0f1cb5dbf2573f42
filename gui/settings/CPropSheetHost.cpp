#include "gui/settings/CPropSheetHost.h"

#include "gui/dialogs/DialogLayout.h"
#include "gui/settings/CHostPage.h"
#include "gui/settings/CPropPageConnect.h"
#include "gui/settings/CPropPageProxy.h"
#include "gui/settings/FoldersPage.h"
#include "gui/settings/HostSheetControls.h"
#include "gui/settings/PasswordKeeping.h"
#include "hosts/QXDoc.h"

#include <QLabel>

#include <algorithm>

CPropSheetHost::CPropSheetHost(CQXDoc& doc, int topHostIndex, QWidget* parent)
    : CPropertySheet(QStringLiteral("接続設定"), parent), m_doc(doc),
      m_editor(doc.LoadAllHosts(), topHostIndex) {
    setObjectName(QStringLiteral("CPropSheetHost"));
    m_connect = new CPropPageConnect(m_editor);
    m_proxy = new CPropPageProxy(m_editor);
    m_fileopr = new FoldersPage(m_editor);
    AddPage(m_connect, QStringLiteral("接続設定"));
    AddPage(m_proxy, QStringLiteral("ファイヤーウオール"));
    AddPage(m_fileopr, QStringLiteral("フォルダ"));
}

CPropertyPage* CPropSheetHost::ConnectPage() const {
    return m_connect;
}

CPropertyPage* CPropSheetHost::ProxyPage() const {
    return m_proxy;
}

CPropertyPage* CPropSheetHost::FileoprPage() const {
    return m_fileopr;
}

bool CPropSheetHost::OnApplySheet() {
    return m_doc.SaveAllHosts(m_editor.Hosts(), m_editor.Origins());
}

bool CPropSheetHost::OnApplied() {
    // The store's file is written when the acceptance ends; reading the hosts back tells whether it
    // was, so that a sheet whose hosts did not reach the disk stays open instead of losing them.
    const HostList stored = m_doc.LoadAllHosts();
    const HostList& hosts = m_editor.Hosts();
    if (stored.size() < hosts.size() || !std::equal(hosts.begin(), hosts.end(), stored.begin())) {
        ShowProblem(QStringLiteral("ホストの設定を保存できませんでした。"));
        return false;
    }
    m_editor.Saved();
    // Apply keeps the sheet open: the drop-down shows the names as they were just stored.
    if (auto* page = qobject_cast<CHostPage*>(ActivePage()))
        page->RefillHostChoice();
    MovePasswordsAndSayWhere(m_connect->findChild<QLabel*>(ControlName(HostSheetControl::PasswordKeeping)),
                             parentWidget());
    return true;
}
