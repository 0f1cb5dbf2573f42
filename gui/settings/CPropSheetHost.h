#pragma once

#include "gui/settings/CPropertyPage.h"
#include "gui/settings/CPropertySheet.h"
#include "hosts/HostListEditor.h"

class CQXDoc;
class CPropPageConnect;
class FoldersPage;
class CPropPageProxy;

// The host settings sheet ("接続設定"): adds, removes and edits the registered hosts on a copy of
// them, and the firewall all hosts share. Accepting it stores every host at once through the
// document, whose HostsChanged rebuilds the host tree; Cancel writes nothing.
class CPropSheetHost : public CPropertySheet {
    Q_OBJECT
public:
    // topHostIndex: the host on top of the host tree, -1 when the tree shows none.
    CPropSheetHost(CQXDoc& doc, int topHostIndex, QWidget* parent = nullptr);

    CPropertyPage* ConnectPage() const;
    CPropertyPage* ProxyPage() const;
    CPropertyPage* FileoprPage() const;

protected:
    bool OnApplySheet() override;
    bool OnApplied() override;

private:
    CQXDoc& m_doc;
    HostListEditor m_editor;
    CPropPageConnect* m_connect;
    CPropPageProxy* m_proxy;
    FoldersPage* m_fileopr;
};
