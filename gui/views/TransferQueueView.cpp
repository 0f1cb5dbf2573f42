#include "gui/views/TransferQueueView.h"

#include "engine/TransferQueue.h"
#include "views/TransferQueueModel.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QTimer>

namespace {
// Running rows show their bytes and speed; they are redrawn this often.
constexpr int kRedrawMs = 500;
} // namespace

TransferQueueView::TransferQueueView(CTransferQueue& queue, QWidget* parent)
    : QTreeView(parent), m_queue(queue), m_model(new TransferQueueModel(queue, this)) {
    setObjectName(QStringLiteral("transferQueue"));
    setModel(m_model);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    header()->setStretchLastSection(true);
    setColumnWidth(TransferQueueModel::ColName, 320);
    setColumnWidth(TransferQueueModel::ColState, 110);
    setColumnWidth(TransferQueueModel::ColSession, 40);
    setColumnWidth(TransferQueueModel::ColProgress, 200);
    auto* redraw = new QTimer(this);
    redraw->setInterval(kRedrawMs);
    connect(redraw, &QTimer::timeout, this, [this, redraw] {
        if (!m_queue.HasWork()) {
            redraw->stop();
            return;
        }
        viewport()->update();
        // What runs stays in sight above the files that wait, unless the user has picked rows.
        if (selectionModel()->hasSelection())
            return;
        const auto& items = m_queue.Items();
        for (std::size_t row = 0; row < items.size(); ++row) {
            if (items[row].state == TransferItem::State::Running) {
                scrollTo(m_model->index(static_cast<int>(row), 0), QAbstractItemView::PositionAtTop);
                break;
            }
        }
    });
    // The timer runs only while the queue does.
    const auto wake = [redraw] {
        if (!redraw->isActive())
            redraw->start();
    };
    connect(&queue, &CTransferQueue::ItemsAppended, redraw, wake);
    connect(&queue, &CTransferQueue::ItemChanged, redraw, wake);
}

void TransferQueueView::contextMenuEvent(QContextMenuEvent* event) {
    const std::vector<std::uint64_t> ids = m_model->IdsOf(selectionModel()->selectedRows());
    QMenu menu(this);
    QAction* retry = menu.addAction(QStringLiteral("もう一度転送(&R)"));
    QAction* remove = menu.addAction(QStringLiteral("一覧から削除(&D)"));
    menu.addSeparator();
    QAction* stop = menu.addAction(QStringLiteral("すべて中止(&S)"));
    retry->setEnabled(!ids.empty());
    remove->setEnabled(!ids.empty());
    stop->setEnabled(m_queue.HasWork());
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == retry)
        m_queue.Retry(ids);
    else if (chosen == remove)
        m_queue.Remove(ids);
    else if (chosen == stop)
        m_queue.Cancel();
}
