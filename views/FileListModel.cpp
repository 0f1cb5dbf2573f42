#include "views/FileListModel.h"

#include "engine/ListingParser.h"
#include "platform/TextCodec.h"

#include <QCollator>

#include <algorithm>
#include <cstdlib>
#include <numeric>

const char* const FileListModel::kNewFolderName = "新しいフォルダ";

namespace {

long long sizeValue(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

} // namespace

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

bool FileListModel::MakeRow(std::string_view line, int currentYear, Row& row) {
    std::optional<RemoteEntry> entry = ListingEntry(line, currentYear);
    if (!entry)
        return false;
    RemoteEntry& e = *entry;
    if (e.link) {
        // A symbolic link is shown and handled as a folder, under its own name.
        e.attributes[0] = 'd';
        row.link = true;
    }
    if (!e.attributes.empty() && e.attributes[0] == 'd')
        e.size.clear();
    row.displayName = DecodeRemoteName(e.name);
    row.name = std::move(e.name);
    row.size = std::move(e.size);
    row.date = std::move(e.date);
    row.attributes = std::move(e.attributes);
    return true;
}

std::vector<std::string> FileListModel::FillFromListing(std::string_view text) {
    beginResetModel();
    m_rows.clear();
    std::vector<std::string_view> lines = SplitLines(text);
    m_rows.reserve(lines.size());
    const int year = CurrentLocalYear();
    std::vector<std::string> subfolders;
    // Each line goes in at the top, so the raw order ends up reversed before the sort.
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        Row row;
        if (!MakeRow(*it, year, row))
            continue;
        m_rows.push_back(std::move(row));
    }
    for (auto it = m_rows.rbegin(); it != m_rows.rend(); ++it) {
        if (it->IsFolder())
            subfolders.push_back(it->name);
    }
    SortRows(ColName, true);
    m_ascending[ColName] = false;
    endResetModel();
    return subfolders;
}

int FileListModel::InsertListingLine(int pos, std::string_view line) {
    Row row;
    if (!MakeRow(line, CurrentLocalYear(), row))
        return -1;
    pos = std::clamp(pos, 0, RowCount());
    beginInsertRows({}, pos, pos);
    m_rows.insert(m_rows.begin() + pos, std::move(row));
    endInsertRows();
    return pos;
}

int FileListModel::InsertNewFolderPlaceholder(int pos) {
    Row row;
    row.name = kNewFolderName;
    row.displayName = QString::fromUtf8(kNewFolderName);
    pos = std::clamp(pos, 0, RowCount());
    beginInsertRows({}, pos, pos);
    m_rows.insert(m_rows.begin() + pos, std::move(row));
    endInsertRows();
    return pos;
}

void FileListModel::RemoveRow(int row) {
    if (row < 0 || row >= RowCount())
        return;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void FileListModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void FileListModel::SortByColumn(int column) {
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged();
    const std::vector<size_t> order = SortRows(column, m_ascending[static_cast<size_t>(column)]);
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

std::vector<size_t> FileListModel::SortRows(int column, bool ascending) {
    const size_t n = m_rows.size();
    std::vector<QCollatorSortKey> nameKeys;
    if (column == ColName) {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseSensitive);
        nameKeys.reserve(n);
        for (const Row& r : m_rows)
            nameKeys.push_back(collator.sortKey(r.displayName));
    }
    std::vector<long long> sizes;
    if (column == ColSize) {
        sizes.reserve(n);
        for (const Row& r : m_rows)
            sizes.push_back(sizeValue(r.size));
    }
    // Three-way comparison of rows a and b; the folder rule comes first, and a descending sort
    // negates the whole comparison, so folders then come last.
    auto compare = [&](size_t a, size_t b) -> int {
        bool fa = m_rows[a].IsFolder(), fb = m_rows[b].IsFolder();
        if (fa != fb)
            return fa ? -1 : 1;
        switch (column) {
        case ColName:
            return nameKeys[a].compare(nameKeys[b]);
        case ColSize:
            return sizes[a] < sizes[b] ? -1 : sizes[a] > sizes[b] ? 1 : 0;
        case ColDate:
            return m_rows[a].date.compare(m_rows[b].date);
        default:
            return m_rows[a].attributes.compare(m_rows[b].attributes);
        }
    };
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        int c = compare(a, b);
        return ascending ? c < 0 : c > 0;
    });
    std::vector<Row> sorted;
    sorted.reserve(n);
    for (size_t i : order)
        sorted.push_back(std::move(m_rows[i]));
    m_rows = std::move(sorted);
    return order;
}

QString FileListModel::ItemText(int row, int column) const {
    if (row < 0 || row >= RowCount())
        return {};
    const Row& r = m_rows[static_cast<size_t>(row)];
    switch (column) {
    case ColName:
        return r.displayName;
    case ColSize:
        return QString::fromLatin1(r.size.data(), static_cast<qsizetype>(r.size.size()));
    case ColDate:
        return QString::fromLatin1(r.date.data(), static_cast<qsizetype>(r.date.size()));
    case ColAttributes:
        return DecodeRemoteName(r.attributes);
    default:
        return {};
    }
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
    const Row& r = m_rows[static_cast<size_t>(index.row())];
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
    if (index.isValid() && !RowAt(index.row()).IsPlaceholder())
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
