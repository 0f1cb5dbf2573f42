#pragma once

#include "engine/EngineUi.h"
#include "engine/ListingReader.h"

#include <QAbstractTableModel>

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The rows of the remote file list: one per shown listing line, with the four texts that the list
// displays and that the commands and the upload clash checks read (name, size, date, attributes).
// Names are kept as the server's raw bytes and shown decoded. Folders sort first.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColName = 0, ColSize, ColDate, ColAttributes, ColumnCount };
    // The raw bytes of a row's name, for sending back to the server.
    static constexpr int RawNameRole = Qt::UserRole + 1;

    // A row: an entry of the listing with its shown name. A link is shown and opened as a folder,
    // but removed as the link alone.
    using Row = RemoteEntry;
    // The row the new-folder command edits until its name is accepted.
    static bool IsPlaceholder(const Row& r) {
        return r.size.empty() && r.date.empty() && r.attributes.empty();
    }
    // The name a row shows. Names are decoded when shown rather than when listed: a list of 100,000
    // rows shows a few dozen at a time.
    static QString ShownName(const Row& r);

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

    int RowCount() const { return static_cast<int>(m_order.size()); }
    const Row& RowAt(int row) const { return m_rows[m_order.at(static_cast<size_t>(row))]; }
    // A row as the engine reads it.
    FileListRow EngineRow(int row) const {
        const Row& r = RowAt(row);
        return FileListRow{r.name, r.size, r.date.str(), r.attributes, r.link};
    }
    // The rows with this name (the server's bytes), without copying the others.
    std::vector<FileListRow> EngineRowsNamed(const std::string& name) const {
        std::vector<FileListRow> rows;
        for (int i = 0; i < RowCount(); ++i) {
            if (RowAt(i).name == name)
                rows.push_back(EngineRow(i));
        }
        return rows;
    }
    // The four texts of a row as the list shows them.
    QString ItemText(int row, int column) const;

    // Supplies the picture of a row (folders share one; files by their name). Set by the widget side.
    void SetIconProvider(std::function<QVariant(const Row&)> provider);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // Names can be edited in place (the list decides when an editor opens; the row itself only
    // changes with the next listing).
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static const char* const kNewFolderName;

private:
    // The rules of the list for a listed entry: links are shown as folders, folders without a size.
    static void MakeRow(Row& row);
    // The shown name of a row; a plain ASCII name is written into `buffer`, which is reused.
    static QStringView ShownNameIn(const Row& r, QString& buffer);
    // The order of the rows in the list when the listing came in name order or exactly against it,
    // as most servers send it (folders first, as always); empty when it did not.
    std::vector<size_t> ListedInNameOrder() const;
    // Sorts the rows; the result gives, for each new position, the row's old position.
    std::vector<size_t> SortRows(int column, bool ascending);
    int InsertRow(int pos, Row&& row);

    // The rows as they came; the list shows them in the order of m_order, so that neither a fill
    // nor a sort moves them.
    std::vector<Row> m_rows;
    std::vector<size_t> m_order;
    std::array<bool, ColumnCount> m_ascending{true, true, true, true};
    std::function<QVariant(const Row&)> m_iconProvider;
};
