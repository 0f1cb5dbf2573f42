#pragma once

#include "engine/FolderRows.h"

#include <QAbstractTableModel>

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The rows of the remote file list (FolderRows: one per shown listing line, with the four texts
// that the list displays and that the commands and the upload clash checks read) as a table model.
// Names are kept as the server's raw bytes and shown decoded.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using Column = FolderRows::Column;
    static constexpr Column ColName = FolderRows::ColName;
    static constexpr Column ColSize = FolderRows::ColSize;
    static constexpr Column ColDate = FolderRows::ColDate;
    static constexpr Column ColAttributes = FolderRows::ColAttributes;
    static constexpr int ColumnCount = FolderRows::ColumnCount;
    // The raw bytes of a row's name, for sending back to the server.
    static constexpr int RawNameRole = Qt::UserRole + 1;

    // A row: an entry of the listing with its shown name. A link is shown and opened as a folder,
    // but removed as the link alone.
    using Row = FolderRows::Row;
    static bool IsPlaceholder(const Row& r) { return FolderRows::IsPlaceholder(r); }
    static QString ShownName(const Row& r) { return FolderRows::ShownName(r); }

    explicit FileListModel(QObject* parent = nullptr);

    // Replaces the rows with the entries of a listing (in the listing's order) and sorts them by
    // name, folders first. Returns the names of the subfolders it shows, for the folder tree.
    std::vector<std::string> FillFromEntries(std::vector<RemoteEntry> entries);
    // The same for a listing text.
    std::vector<std::string> FillFromListing(std::string_view text);
    // Inserts one listing line at `pos`; the row index, or -1 when the line is not shown.
    int InsertListingLine(int pos, std::string_view line);
    // The row the new-folder command edits; its index, or -1.
    int InsertNewFolderPlaceholder(int pos);
    void RemoveRow(int row);
    void Clear();

    // Sorts by a column: ascending the first time, descending when the same column is sorted again.
    void SortByColumn(int column);
    bool NextSortAscending(int column) const { return m_ascending.at(static_cast<size_t>(column)); }
    // The column the rows were last sorted by, and which way.
    int SortColumn() const { return m_sortColumn; }
    bool SortedAscending() const { return m_sortedAscending; }

    const FolderRows& Rows() const { return m_rows; }
    int RowCount() const { return m_rows.Count(); }
    const Row& RowAt(int row) const { return m_rows.At(row); }
    // A row as the engine reads it.
    FileListRow EngineRow(int row) const { return m_rows.EngineRow(row); }
    // The rows with this name (the server's bytes), without copying the others.
    std::vector<FileListRow> EngineRowsNamed(const std::string& name) const {
        return m_rows.EngineRowsNamed(name);
    }
    // The four texts of a row as the list shows them.
    QString ItemText(int row, int column) const { return m_rows.Text(row, column); }

    // Supplies the picture of a row (folders share one; files by their name). Set by the widget side.
    void SetIconProvider(std::function<QVariant(const Row&)> provider);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // Names can be edited in place (the list decides when an editor opens; the row itself only
    // changes with the next listing).
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static constexpr const char* kNewFolderName = FolderRows::kNewFolderName;

private:
    int InsertRow(int pos, Row&& row);

    FolderRows m_rows;
    std::array<bool, ColumnCount> m_ascending{true, true, true, true};
    int m_sortColumn = ColName;
    bool m_sortedAscending = true;
    std::function<QVariant(const Row&)> m_iconProvider;
};
