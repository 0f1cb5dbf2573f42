#include "gui/settings/CPropPageHostOrder.h"

#include "gui/dialogs/DialogLayout.h"
#include "gui/settings/OptionSheetControls.h"
#include "gui/settings/PageRows.h"
#include "gui/views/CQXTreeView.h"
#include "hosts/QXDoc.h"
#include "settings/HostInputRules.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>

using namespace OptionSheetControl;

CPropPageHostOrder::CPropPageHostOrder(CQXDoc& doc, HostList& hosts, QWidget* parent)
    : COptionPage(parent), m_doc(doc), m_hosts(hosts) {
    DialogBuilder b(this, HostOrderPage, kPageWidth, 0);
    PageRows rows(b, kPageMargin, kPageMargin, kPageWidth - 2 * kPageMargin);
    rows.BeginGroup(
        OrderGroup,
        QStringLiteral("　         ツリーに表示される登録されているホストの順番の設定を行います。"));
    PutPicture(b, findChild<QGroupBox*>(ControlName(OrderGroup)),
               style()->standardIcon(QStyle::SP_FileDialogListView));
    m_list = rows.Add(OrderList, new QListWidget(this), 0, 110);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setIconSize(QSize(16, 16));
    rows.BeginGroup(MoveGroup, QStringLiteral("アイテム移動"));
    constexpr int buttonWidth = 64;
    QPushButton* up = rows.Button(MoveUp, QStringLiteral("上に移動する"), buttonWidth);
    QPushButton* reset = rows.Button(OrderReset, QStringLiteral("リセット"), buttonWidth);
    QPushButton* down = rows.Button(MoveDown, QStringLiteral("下に移動する"), buttonWidth);
    rows.EndGroup();
    rows.EndGroup();
    FinishPage(b, rows);

    connect(up, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(down, &QPushButton::clicked, this, [this] { Move(+1); });
    connect(reset, &QPushButton::clicked, this, &CPropPageHostOrder::OnReset);
}

void CPropPageHostOrder::Load() {
    OnReset();
}

void CPropPageHostOrder::OnReset() {
    // The pictures the host tree shows now, so that a host looks here as it does there.
    const QList<QIcon> pictures = CQXTreeView::AddHostIcons();
    m_list->clear();
    for (size_t i = 0; i < m_hosts.size(); ++i) {
        HostRecord& host = m_hosts[i];
        if (host.icon < 0 || host.icon > 9)
            host.icon = 0;
        auto* row = new QListWidgetItem(pictures.value(host.icon),
                                        QStringLiteral("%1 %2").arg(i + 1).arg(ShownText(host.Name)), m_list);
        row->setData(Qt::UserRole, static_cast<int>(i));
    }
    Changed();
}

void CPropPageHostOrder::Move(int step) {
    const int count = m_list->count();
    if (count == 0)
        return;
    const int marked = m_list->currentRow();
    if (marked < 0) {
        m_list->setCurrentRow(step < 0 ? count - 1 : 0);
        return;
    }
    const int to = marked + step;
    if (to < 0 || to >= count)
        return;
    m_list->insertItem(to, m_list->takeItem(marked));
    m_list->setCurrentRow(to);
    Changed();
}

std::vector<int> CPropPageHostOrder::Order() const {
    std::vector<int> order;
    for (int row = 0; row < m_list->count(); ++row)
        order.push_back(m_list->item(row)->data(Qt::UserRole).toInt());
    return order;
}

bool CPropPageHostOrder::OnApply() {
    const std::vector<int> order = Order();
    bool moved = false;
    for (size_t row = 0; row < order.size(); ++row)
        moved = moved || order[row] != static_cast<int>(row);
    if (!moved)
        return true;
    if (!m_doc.ReorderHosts(m_hosts, order))
        return false;
    // The sheet's hosts follow the store, so that a later acceptance starts from the new numbers;
    // the rows keep the numbers they were shown with.
    HostList renumbered;
    for (int index : order)
        renumbered.push_back(m_hosts[static_cast<size_t>(index)]);
    m_hosts = std::move(renumbered);
    for (int row = 0; row < m_list->count(); ++row)
        m_list->item(row)->setData(Qt::UserRole, row);
    emit HostsRenumbered(order);
    return true;
}
