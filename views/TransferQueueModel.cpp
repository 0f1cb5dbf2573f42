#include "views/TransferQueueModel.h"

#include "engine/TransferQueue.h"
#include "platform/TextCodec.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <set>

namespace {
QString StateText(TransferItem::State state) {
    switch (state) {
    case TransferItem::State::Waiting:
        return QStringLiteral("待機中");
    case TransferItem::State::Held:
        return QStringLiteral("フォルダ作成待ち");
    case TransferItem::State::Running:
        return QStringLiteral("転送中");
    case TransferItem::State::Done:
        return QStringLiteral("完了");
    case TransferItem::State::Failed:
        return QStringLiteral("失敗");
    case TransferItem::State::Cancelled:
        return QStringLiteral("中止");
    }
    return {};
}

// "1,234 / 5,678 バイト  12.3 KB/s" while it runs; the size alone otherwise.
QString ProgressText(const TransferItem& item, std::int64_t now) {
    const QLocale c = QLocale::c();
    QString text = item.size >= 0
                       ? QStringLiteral("%1 / %2 バイト")
                             .arg(c.toString(static_cast<qlonglong>(item.done)),
                                  c.toString(static_cast<qlonglong>(item.size)))
                       : QStringLiteral("%1 バイト").arg(c.toString(static_cast<qlonglong>(item.done)));
    if (item.state == TransferItem::State::Running && now > item.startedAt) {
        const double rate =
            static_cast<double>(item.done) * 1000.0 / static_cast<double>(now - item.startedAt);
        text += QStringLiteral("  %1 KB/s").arg(rate / 1024.0, 0, 'f', 1);
    }
    return text;
}
} // namespace

TransferQueueModel::TransferQueueModel(const CTransferQueue& queue, QObject* parent)
    : QAbstractTableModel(parent), m_queue(queue) {
    connect(&queue, &CTransferQueue::ItemsAppended, this, [this](int first, int last) {
        beginInsertRows({}, first, last);
        endInsertRows();
    });
    connect(&queue, &CTransferQueue::ItemChanged, this, [this](int row) {
        if (row >= 0)
            emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    });
    connect(&queue, &CTransferQueue::ItemsRemoving, this,
            [this](int first, int last) { beginRemoveRows({}, first, last); });
    connect(&queue, &CTransferQueue::ItemsRemoved, this, [this] { endRemoveRows(); });
}

int TransferQueueModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_queue.Items().size());
}

int TransferQueueModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TransferQueueModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TransferItem& item = m_queue.Items()[static_cast<std::size_t>(index.row())];
    if (role == Qt::ToolTipRole && index.column() == ColName)
        return QFile::decodeName(QByteArray::fromStdString(item.LocalPath()));
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case ColName:
        return (item.IsDelete()   ? QStringLiteral("× ")
                : item.IsUpload() ? QStringLiteral("↑ ")
                                  : QStringLiteral("↓ ")) +
               DecodeRemoteName(item.RemotePath());
    case ColState:
        return StateText(item.state);
    case ColSession:
        return item.session > 0 ? QString::number(item.session) : QString();
    case ColProgress:
        return item.IsDelete() ? QString() : ProgressText(item, m_queue.Now());
    case ColReason:
        return DecodeMixedText(item.reason).simplified();
    default:
        return {};
    }
}

QVariant TransferQueueModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const names[] = {"ファイル", "状態", "接続", "進み具合", "理由"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(names[section]) : QVariant();
}

std::vector<std::uint64_t> TransferQueueModel::IdsOf(const QModelIndexList& rows) const {
    std::set<int> picked;
    for (const QModelIndex& index : rows) {
        if (index.isValid() && index.row() < rowCount())
            picked.insert(index.row());
    }
    std::vector<std::uint64_t> ids;
    for (int row : picked)
        ids.push_back(m_queue.Items()[static_cast<std::size_t>(row)].id);
    return ids;
}
