#pragma once

#include "views/HostTreeModel.h"

#include <QIcon>
#include <QList>
#include <QTreeWidget>

#include <string>
#include <vector>

class QMenu;
class QTimer;

// The host tree pane: a thin widget over the host tree model. It mirrors the model's items (reusing
// the widget items of unchanged nodes, so a large folder is cheap to refresh), and turns clicks into
// the model's rules and the frame's commands.
class CQXTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CQXTreeView(QWidget* parent = nullptr);

    HostTreeModel& Model() { return m_model; }

    // The ten host pictures, slot 0 first: a stored picture file where one is set, else the built-in one.
    static QList<QIcon> AddHostIcons();
    // Rebuilds the pictures without touching the items.
    void BuildTreeImages();
    void FillHostTree();

    void SetConnectedState(bool connected);
    void SetCurrentFolder(const std::string& path);
    std::string GetCurrentPath() const { return m_model.GetCurrentPath(); }
    // The subfolders of a listing become the children of the current folder. Redrawing stays off
    // until FinishTreeUpdate.
    void SyncFolderChildren(const std::vector<std::string>& names);
    void FinishTreeUpdate();
    int GetTopHostIndex() const { return m_model.GetTopHostIndex(); }
    std::string HostKeyName() const { return m_model.HostKeyName(); }

    // The top item's title and picture, for the status bar's host pane.
    QString TopItemText() const;
    QIcon TopItemIcon() const;

    QTreeWidgetItem* ItemFor(const HostTreeModel::Node* node) const;
    static HostTreeModel::Node* NodeOf(const QTreeWidgetItem* item);

    // The menu shown on a right click; the frame owns it and its commands.
    void SetContextMenu(QMenu* menu) { m_contextMenu = menu; }

signals:
    // A folder item (or the root, or the top host while connected) was chosen with the mouse or the
    // keyboard: the remote folder changes to GetCurrentPath(), "/" when that is empty.
    void FolderChosen();
    // A double click on the connection item.
    void ConnectRequested();
    void DisconnectRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SyncItems();
    void SyncChildren(QTreeWidgetItem* parent,
                      const std::vector<std::unique_ptr<HostTreeModel::Node>>& nodes);
    void UpdateItem(QTreeWidgetItem* item, const HostTreeModel::Node& node);
    QIcon IconFor(const HostTreeModel::Node& node) const;
    void OnCurrentItemChanged(QTreeWidgetItem* current);
    // Acts on what a selection meant; a host brought on top becomes the highlighted item.
    void ApplySelection(HostTreeModel::MouseSelection result);
    void RunDoubleClickAction(QTreeWidgetItem* item);
    void SelectTopItem();
    // True when the point lies on the item's picture or text, not beside it.
    bool IsOnItem(QTreeWidgetItem* item, const QPoint& pos) const;

    HostTreeModel m_model;
    QMenu* m_contextMenu = nullptr;
    bool m_mouseSelecting = false;
    bool m_keySelecting = false;
    // A host brought on top by a press is highlighted after the press is handled: the press would
    // otherwise highlight the place that was clicked, where another host now stands.
    bool m_topPending = false;
    // Keys move through the folders quickly; the folder the keys rest on is the one listed.
    QTimer* m_keyRest = nullptr;

    QList<QIcon> m_hostIcons;
    QIcon m_folder;
    QIcon m_connectedImage;
    QIcon m_disconnectedImage;
    QIcon m_localImage;
    QIcon m_rootConnectedImage;
    QIcon m_rootDisconnectedImage;
};
