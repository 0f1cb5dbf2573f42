#pragma once

#include "gui/settings/COptionPage.h"
#include "hosts/HostRecord.h"

#include <QString>

#include <array>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

// The host icon page: the ten pictures the host tree shows for hosts, each replaceable by a picture
// file, and the one each host shows (the checked row). Works on the sheet's copy of the hosts; the
// icon chosen for each host is kept while the user goes from host to host, and every host whose
// icon changed is stored on acceptance.
class CPropPageHostIcon : public COptionPage {
    Q_OBJECT
public:
    static constexpr int kSlots = 10;

    // topHostIndex: the host on top of the host tree, -1 when the tree shows none.
    CPropPageHostIcon(HostList& hosts, int topHostIndex, QWidget* parent = nullptr);

    bool OnApply() override;

    // The hosts were numbered anew: entry order[r] of the sheet's hosts is now entry r.
    void FollowNewOrder(const std::vector<int>& order);
    // The host the page chooses first, when it is first shown.
    void SetTopHostIndex(int index) { m_topHostIndex = index; }

protected:
    void Load() override;

private:
    void OnRowChanged(QListWidgetItem* item);
    void OnChange();
    void OnDelete();
    // Checks the row of the chosen host's icon, and nothing else.
    void ShowHostIcon();
    void ShowPreview();
    void SetPicture(int slot, const QIcon& picture);

    HostList& m_hosts;
    int m_topHostIndex;
    // What the store holds: the slots' texts and each host's icon.
    std::array<std::string, kSlots> m_storedFiles;
    std::vector<int> m_storedIcons;
    std::array<QString, kSlots> m_files;
    bool m_syncing = false;

    QComboBox* m_host;
    QListWidget* m_icons;
    QLabel* m_preview;
    QLabel* m_file;
};
