#pragma once

#include "gui/settings/CPropertySheet.h"
#include "hosts/HostRecord.h"

class CFtpEngine;
class CPropPageHostIcon;
class CPropPageHostOrder;
class CPropPageLogView;
class CPropPageOpt;
class CPropPageSystem;
class CQXDoc;
class CQXLogView;
class CQXTreeView;

// The options sheet ("オプション"): the program's behaviour, the log pane's look, the host icons,
// the order of the hosts and the system values. Accepting it stores every page shown so far in one
// write, then shows the result at once: the log pane's new look, the session's time-out and block
// size, the host tree's pictures and order. Cancel writes nothing. The panes and the session may be
// left out (null) where there are none. First designed as CPropSheetHostView.
class OptionsSheet : public CPropertySheet {
    Q_OBJECT
public:
    OptionsSheet(CQXDoc& doc, CQXTreeView* tree, CQXLogView* logView, CFtpEngine* engine,
                 QWidget* parent = nullptr);

    CPropPageOpt* OptionsPage() const { return m_options; }
    CPropPageLogView* LogViewPage() const { return m_logViewPage; }
    CPropPageHostIcon* HostIconPage() const { return m_hostIcon; }
    CPropPageHostOrder* HostOrderPage() const { return m_hostOrder; }
    CPropPageSystem* SystemPage() const { return m_system; }

protected:
    bool OnApplied() override;

private:
    CQXTreeView* m_tree;
    CQXLogView* m_logView;
    CFtpEngine* m_engine;
    // Every stored host, for the host icon and host order pages.
    HostList m_hosts;
    bool m_renumbered = false;
    CPropPageOpt* m_options;
    CPropPageLogView* m_logViewPage;
    CPropPageHostIcon* m_hostIcon;
    CPropPageHostOrder* m_hostOrder;
    CPropPageSystem* m_system;
};
