#pragma once

#include "engine/EngineUi.h"

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

    struct Row {
        std::string name; // raw bytes
        std::string size;
        std::string date;
        std::string attributes;
        QString displayName;
        // A symbolic link: shown and opened as a folder, but removed as the link alone.
        bool link = false;

        bool IsFolder() const { return !attributes.empty() && attributes[0] == 'd'; }
        bool IsPlaceholder() const { return size.empty() && date.empty() && attributes.empty(); }
    };

    explicit FileListModel(QObject* parent = nullptr);

    // Replaces the rows with the entries of a listing text and sorts them by name, folders first.
    // Returns the names of the subfolders it shows, for the folder tree.
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

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    const Row& RowAt(int row) const { return m_rows.at(static_cast<size_t>(row)); }
    // A row as the engine reads it.
    FileListRow EngineRow(int row) const {
        const Row& r = RowAt(row);
        return FileListRow{r.name, r.size, r.date, r.attributes, r.link};
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
    // Applies the rules of the list to a parsed line; false when the line is not shown.
    static bool MakeRow(std::string_view line, int currentYear, Row& row);
    // Sorts the rows; the result gives, for each new position, the row's old position.
    std::vector<size_t> SortRows(int column, bool ascending);

    std::vector<Row> m_rows;
    std::array<bool, ColumnCount> m_ascending{true, true, true, true};
    std::function<QVariant(const Row&)> m_iconProvider;
};
