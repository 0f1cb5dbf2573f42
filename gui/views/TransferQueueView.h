#pragma once

#include <QTreeView>

class CTransferQueue;
class TransferQueueModel;

// The transfer queue pane: the queue's files with their state, and a menu to try failed ones
// again, take finished ones off the list or stop the whole queue.
class TransferQueueView : public QTreeView {
    Q_OBJECT
public:
    TransferQueueView(CTransferQueue& queue, QWidget* parent = nullptr);

    TransferQueueModel* Model() const { return m_model; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    CTransferQueue& m_queue;
    TransferQueueModel* m_model;
};
