#pragma once

#include "gui/settings/COptionPage.h"
#include "hosts/HostRecord.h"

#include <vector>

class CQXDoc;
class QListWidget;

// The host order page: the hosts in their stored order, moved up and down by the user. Accepting it
// numbers the stored hosts in the order shown.
class CPropPageHostOrder : public COptionPage {
    Q_OBJECT
public:
    CPropPageHostOrder(CQXDoc& doc, HostList& hosts, QWidget* parent = nullptr);

    bool OnApply() override;

    // The sheet's host of each row, from the top.
    std::vector<int> Order() const;

signals:
    // An acceptance numbered the hosts anew: the sheet's entry order[r] is now entry and Host r.
    void HostsRenumbered(const std::vector<int>& order);

protected:
    void Load() override;

private:
    void OnReset();
    // Moves the marked row one step (-1 up, +1 down); with no row marked the mark goes to the row
    // at the far end (the last one for up, the first for down).
    void Move(int step);

    CQXDoc& m_doc;
    HostList& m_hosts;
    QListWidget* m_list;
};
