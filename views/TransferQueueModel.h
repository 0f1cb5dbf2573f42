#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

class CTransferQueue;

// The rows of the transfer queue pane: one per file the queue holds, with its state, its session,
// its bytes and speed, and why it failed.
class TransferQueueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColName, ColState, ColSession, ColProgress, ColReason, ColumnCount };

    explicit TransferQueueModel(const CTransferQueue& queue, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The ids of the queue's items on these rows.
    std::vector<std::uint64_t> IdsOf(const QModelIndexList& rows) const;

private:
    const CTransferQueue& m_queue;
};
