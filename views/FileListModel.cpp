#include "views/FileListModel.h"

#include "engine/ListingReader.h"

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

std::vector<std::string> FileListModel::FillFromEntries(std::vector<RemoteEntry> entries) {
    beginResetModel();
    std::vector<std::string> subfolders = m_rows.Fill(std::move(entries));
    m_ascending[ColName] = false;
    m_sortColumn = ColName;
    m_sortedAscending = true;
    endResetModel();
    return subfolders;
}

std::vector<std::string> FileListModel::FillFromListing(std::string_view text) {
    return FillFromEntries(ReadListingEntries(text));
}

int FileListModel::InsertRow(int pos, Row&& row) {
    pos = std::clamp(pos, 0, RowCount());
    beginInsertRows({}, pos, pos);
    m_rows.Insert(pos, std::move(row));
    endInsertRows();
    return pos;
}

int FileListModel::InsertListingLine(int pos, std::string_view line) {
    std::optional<RemoteEntry> entry = ListingEntry(line, CurrentListingNow());
    if (!entry)
        return -1;
    return InsertRow(pos, std::move(*entry));
}

int FileListModel::InsertNewFolderPlaceholder(int pos) {
    Row row;
    row.name = kNewFolderName;
    return InsertRow(pos, std::move(row));
}

void FileListModel::RemoveRow(int row) {
    if (row < 0 || row >= RowCount())
        return;
    beginRemoveRows({}, row, row);
    m_rows.Remove(row);
    endRemoveRows();
}

void FileListModel::Clear() {
    beginResetModel();
    m_rows.Clear();
    endResetModel();
}

void FileListModel::SortByColumn(int column) {
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged();
    m_sortColumn = column;
    m_sortedAscending = m_ascending[static_cast<size_t>(column)];
    const std::vector<size_t> order = m_rows.Sort(column, m_sortedAscending);
    // The selection, the current row and an open editor stay with their entries, not their places:
    // a command after a sort must act on the rows the user chose.
    const QModelIndexList from = persistentIndexList();
    if (!from.isEmpty()) {
        std::vector<int> newRow(order.size());
        for (size_t i = 0; i < order.size(); ++i)
            newRow[order[i]] = static_cast<int>(i);
        QModelIndexList to;
        to.reserve(from.size());
        for (const QModelIndex& index : from)
            to.append(index.isValid() ? createIndex(newRow[static_cast<size_t>(index.row())], index.column())
                                      : QModelIndex());
        changePersistentIndexList(from, to);
    }
    emit layoutChanged();
    for (int c = 0; c < ColumnCount; ++c)
        m_ascending[static_cast<size_t>(c)] = c == column ? !m_ascending[static_cast<size_t>(c)] : true;
}

void FileListModel::SetIconProvider(std::function<QVariant(const Row&)> provider) {
    m_iconProvider = std::move(provider);
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= RowCount())
        return {};
    const Row& r = RowAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return ItemText(index.row(), index.column());
    case Qt::DecorationRole:
        if (index.column() == ColName && m_iconProvider)
            return m_iconProvider(r);
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == ColSize)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case RawNameRole:
        return QByteArray(r.name.data(), static_cast<qsizetype>(r.name.size()));
    default:
        return {};
    }
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == ColName)
        f |= Qt::ItemIsEditable;
    // Entries can be dragged out to the desktop; the new-folder row is not one yet.
    if (index.isValid() && !IsPlaceholder(RowAt(index.row())))
        f |= Qt::ItemIsDragEnabled;
    return f;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const headers[ColumnCount] = {"名前", "サイズ", "日付", "属性"};
    if (section < 0 || section >= ColumnCount)
        return {};
    return QString::fromUtf8(headers[section]);
}
