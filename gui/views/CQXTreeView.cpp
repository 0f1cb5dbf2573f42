#include "gui/views/CQXTreeView.h"

#include "gui/views/HostIcons.h"
#include "platform/TextCodec.h"
#include "settings/SettingsKey.h"

#include <QApplication>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>

#include <algorithm>

using Node = HostTreeModel::Node;
using Kind = HostTreeModel::Kind;

namespace {

QIcon disabledLook(const QIcon& icon) {
    QIcon out;
    QStyleOption option;
    for (int size : {16, 32}) {
        QPixmap pm = icon.pixmap(size, size);
        out.addPixmap(qApp->style()->generatedIconPixmap(QIcon::Disabled, pm, &option));
    }
    return out;
}

} // namespace

CQXTreeView::CQXTreeView(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false);
    header()->setStretchLastSection(true);
    connect(&m_model, &HostTreeModel::Changed, this, &CQXTreeView::SyncItems);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnCurrentItemChanged(current); });
    // The user's own expanding and collapsing is kept in the model, so a refresh does not undo it.
    connect(this, &QTreeWidget::itemExpanded, this, [](QTreeWidgetItem* item) {
        if (Node* n = NodeOf(item))
            n->expanded = true;
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [](QTreeWidgetItem* item) {
        if (Node* n = NodeOf(item))
            n->expanded = false;
    });
    m_keyRest = new QTimer(this);
    m_keyRest->setSingleShot(true);
    m_keyRest->setInterval(250);
    connect(m_keyRest, &QTimer::timeout, this,
            [this] { ApplySelection(m_model.SelectByKeyboard(NodeOf(currentItem()))); });
    BuildTreeImages();
    FillHostTree();
}

QList<QIcon> CQXTreeView::AddHostIcons() {
    QList<QIcon> icons;
    SettingsKey key;
    key.OpenKey(KeyFamily::TreeIcon);
    for (int i = 0; i < 10; ++i) {
        const std::string file = key.ReadString(std::to_string(i), "");
        if (file.empty()) {
            icons.append(GetHostIcon(i));
            continue;
        }
        const QIcon custom = HostIconFromFile(DecodeStoredText(file), qApp->palette().color(QPalette::Base));
        icons.append(custom.isNull() ? GetHostIcon(0) : custom);
    }
    return icons;
}

void CQXTreeView::BuildTreeImages() {
    m_hostIcons = AddHostIcons();
    QStyle* s = style();
    m_folder = QIcon::fromTheme(QStringLiteral("folder"), s->standardIcon(QStyle::SP_DirClosedIcon));
    m_folder.addPixmap(s->standardIcon(QStyle::SP_DirOpenIcon).pixmap(16, 16), QIcon::Selected);
    m_connectedImage = QIcon(QStringLiteral(":/app/tree-connected.svg"));
    m_disconnectedImage = QIcon(QStringLiteral(":/app/tree-disconnected.svg"));
    m_localImage = s->standardIcon(QStyle::SP_ComputerIcon);
    m_rootConnectedImage = s->standardIcon(QStyle::SP_DriveNetIcon);
    m_rootDisconnectedImage = disabledLook(m_rootConnectedImage);
    SyncItems();
}

void CQXTreeView::FillHostTree() {
    m_model.FillHostTree();
}

void CQXTreeView::SetConnectedState(bool connected) {
    m_model.SetConnectedState(connected);
}

void CQXTreeView::SetCurrentFolder(const std::string& path) {
    m_model.SetCurrentFolder(path);
}

void CQXTreeView::SyncFolderChildren(const std::vector<std::string>& names) {
    setUpdatesEnabled(false);
    m_model.SyncFolderChildren(names);
}

void CQXTreeView::FinishTreeUpdate() {
    if (m_model.FinishTreeUpdate()) {
        if (QTreeWidgetItem* item = ItemFor(m_model.CurrentFolderItem())) {
            setCurrentItem(item);
            item->setExpanded(true);
        }
    }
    setUpdatesEnabled(true);
}

QString CQXTreeView::TopItemText() const {
    QTreeWidgetItem* top = topLevelItem(0);
    return top ? top->text(0) : QString();
}

QIcon CQXTreeView::TopItemIcon() const {
    QTreeWidgetItem* top = topLevelItem(0);
    return top ? top->icon(0) : QIcon();
}

Node* CQXTreeView::NodeOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<Node*>(item->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
}

QTreeWidgetItem* CQXTreeView::ItemFor(const Node* node) const {
    if (!node)
        return nullptr;
    // The widget mirrors the model's order, so the node's path of positions leads to its item.
    std::vector<int> positions;
    for (const Node* n = node; n; n = n->parent) {
        const auto& siblings = n->parent ? n->parent->children : m_model.TopLevel();
        auto it = std::find_if(siblings.begin(), siblings.end(), [n](const auto& c) { return c.get() == n; });
        if (it == siblings.end())
            return nullptr;
        positions.push_back(static_cast<int>(it - siblings.begin()));
    }
    QTreeWidgetItem* item = invisibleRootItem();
    for (auto it = positions.rbegin(); it != positions.rend() && item; ++it)
        item = item->child(*it);
    return item;
}

QIcon CQXTreeView::IconFor(const Node& node) const {
    switch (node.kind) {
    case Kind::Host:
    case Kind::Placeholder:
        return m_hostIcons.value(node.image >= 0 && node.image < 10 ? node.image : 0);
    case Kind::Connection:
        return m_model.IsConnected() ? m_connectedImage : m_disconnectedImage;
    case Kind::Local:
        return m_localImage;
    case Kind::RemoteRoot:
        return m_model.IsConnected() ? m_rootConnectedImage : m_rootDisconnectedImage;
    case Kind::Folder:
        return m_folder;
    }
    return {};
}

void CQXTreeView::UpdateItem(QTreeWidgetItem* item, const Node& node) {
    const QString text = DecodeMixedText(node.text);
    if (item->text(0) != text)
        item->setText(0, text);
    item->setIcon(0, IconFor(node));
    if (item->isExpanded() != node.expanded)
        item->setExpanded(node.expanded);
}

void CQXTreeView::SyncChildren(QTreeWidgetItem* parent, const std::vector<std::unique_ptr<Node>>& nodes) {
    bool same = parent->childCount() == static_cast<int>(nodes.size());
    for (int i = 0; same && i < parent->childCount(); ++i)
        same = NodeOf(parent->child(i)) == nodes[static_cast<size_t>(i)].get();
    if (!same) {
        // Rebuild this level in one go, keeping the items of nodes that are still there.
        const QList<QTreeWidgetItem*> old = parent->takeChildren();
        QHash<const Node*, QTreeWidgetItem*> byNode;
        byNode.reserve(old.size());
        for (QTreeWidgetItem* item : old)
            byNode.insert(NodeOf(item), item);
        QList<QTreeWidgetItem*> fresh;
        fresh.reserve(static_cast<qsizetype>(nodes.size()));
        for (const auto& node : nodes) {
            QTreeWidgetItem* item = byNode.take(node.get());
            if (!item) {
                item = new QTreeWidgetItem;
                item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(node.get())));
            }
            fresh.append(item);
        }
        qDeleteAll(byNode);
        parent->addChildren(fresh);
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        QTreeWidgetItem* item = parent->child(static_cast<int>(i));
        SyncChildren(item, nodes[i]->children);
        UpdateItem(item, *nodes[i]);
    }
}

void CQXTreeView::SyncItems() {
    const bool wasSelecting = m_mouseSelecting;
    m_mouseSelecting = false;
    SyncChildren(invisibleRootItem(), m_model.TopLevel());
    m_mouseSelecting = wasSelecting;
}

bool CQXTreeView::IsOnItem(QTreeWidgetItem* item, const QPoint& pos) const {
    if (!item)
        return false;
    const QRect rect = visualItemRect(item);
    const int textWidth = fontMetrics().horizontalAdvance(item->text(0));
    return pos.x() >= rect.left() && pos.x() <= rect.left() + iconSize().width() + 8 + textWidth;
}

void CQXTreeView::OnCurrentItemChanged(QTreeWidgetItem* current) {
    if (m_keySelecting) {
        m_keyRest->start();
        return;
    }
    if (!m_mouseSelecting)
        return;
    m_mouseSelecting = false;
    ApplySelection(m_model.SelectByMouse(NodeOf(current)));
}

void CQXTreeView::ApplySelection(HostTreeModel::MouseSelection result) {
    switch (result) {
    case HostTreeModel::MouseSelection::FolderChosen:
        emit FolderChosen();
        break;
    case HostTreeModel::MouseSelection::HostMovedToTop:
        m_topPending = true;
        break;
    case HostTreeModel::MouseSelection::Nothing:
        break;
    }
}

void CQXTreeView::SelectTopItem() {
    m_topPending = false;
    if (QTreeWidgetItem* top = topLevelItem(0)) {
        setCurrentItem(top);
        top->setExpanded(true);
    }
}

void CQXTreeView::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        // The selection stays where it is; only the menu opens.
        if (m_contextMenu)
            m_contextMenu->popup(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QTreeWidgetItem* item = itemAt(pos);
    if (event->button() == Qt::LeftButton && item && NodeOf(item) == m_model.RemoteRootItem() &&
        IsOnItem(item, pos))
        item->setExpanded(!item->isExpanded());
    QTreeWidgetItem* before = currentItem();
    m_mouseSelecting = event->button() == Qt::LeftButton;
    QTreeWidget::mousePressEvent(event);
    m_mouseSelecting = false;
    // Choosing the item that is current already: the root and the top host list "/" again.
    Node* node = NodeOf(item);
    if (event->button() == Qt::LeftButton && item && item == before && IsOnItem(item, pos) &&
        (node == m_model.RemoteRootItem() || node == m_model.TopItem()))
        ApplySelection(m_model.SelectByMouse(node));
    if (m_topPending)
        SelectTopItem();
}

void CQXTreeView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter does what a click on a host and a double click on the connection item do.
        QTreeWidgetItem* item = currentItem();
        if (NodeOf(item) && NodeOf(item)->kind == Kind::Host) {
            ApplySelection(m_model.SelectByMouse(NodeOf(item)));
            if (m_topPending)
                SelectTopItem();
        } else {
            RunDoubleClickAction(item);
        }
        event->accept();
        return;
    }
    m_keySelecting = true;
    QTreeWidget::keyPressEvent(event);
    m_keySelecting = false;
}

void CQXTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem* item = itemAt(pos);
    if (!IsOnItem(item, pos))
        return;
    RunDoubleClickAction(item);
}

void CQXTreeView::RunDoubleClickAction(QTreeWidgetItem* item) {
    switch (m_model.DoubleClick(NodeOf(item))) {
    case HostTreeModel::DoubleClickAction::Connect:
        emit ConnectRequested();
        break;
    case HostTreeModel::DoubleClickAction::Disconnect:
        emit DisconnectRequested();
        break;
    case HostTreeModel::DoubleClickAction::ToggledExpansion:
    case HostTreeModel::DoubleClickAction::Nothing:
        break;
    }
}
