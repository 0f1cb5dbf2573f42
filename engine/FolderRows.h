#pragma once

#include "engine/EngineUi.h"
#include "engine/ListingParser.h"

#include <QString>
#include <QStringView>

#include <string>
#include <vector>

// The entries of a listed folder as the file list shows them: folders first, sorted by the name as
// shown (or by another column), a link shown as a folder under its own name, folders without a
// size. The list's model shows these rows; a terminal prints the same rows in the same order. Names
// are shown as the program shows its session's (ShownNames), not by any engine's own set.
class FolderRows {
public:
    enum Column { ColName = 0, ColSize, ColDate, ColAttributes, ColumnCount };
    using Row = RemoteEntry;

    // The row the new-folder command edits until its name is accepted.
    static constexpr const char* kNewFolderName = "新しいフォルダ";
    static bool IsPlaceholder(const Row& r) {
        return r.size.empty() && r.date.empty() && r.attributes.empty();
    }
    // The name a row shows. Names are decoded when shown rather than when listed: a list of 100,000
    // rows shows a few dozen at a time.
    static QString ShownName(const Row& r);

    // Replaces the rows with the entries of a listing (in the listing's order), sorted by name.
    // Returns the names of the subfolders, for the folder tree.
    std::vector<std::string> Fill(std::vector<RemoteEntry> entries);
    // Puts an entry at `pos` (clamped) with the list's rules; its index.
    int Insert(int pos, Row row);
    void Remove(int row);
    void Clear();
    // Sorts by a column, folders first when ascending; gives, for each new position, the old one.
    std::vector<size_t> Sort(int column, bool ascending);

    int Count() const { return static_cast<int>(m_order.size()); }
    const Row& At(int row) const { return m_rows[m_order.at(static_cast<size_t>(row))]; }
    // A row as the engine reads it.
    FileListRow EngineRow(int row) const {
        const Row& r = At(row);
        return FileListRow{r.name, r.size, r.date.str(), r.attributes, r.link};
    }
    // Every row as the engine reads it, in list order.
    std::vector<FileListRow> EngineRows() const;
    // The rows with this name (the server's bytes), without copying the others.
    std::vector<FileListRow> EngineRowsNamed(const std::string& name) const;
    // The row named so (the server's bytes, or as shown), the new-folder row aside; -1 when none.
    int Find(const std::string& rawName, const QString& shownName) const;
    // A column's text as shown.
    QString Text(int row, int column) const;

private:
    static void MakeRow(Row& row);
    // The shown name of a row; a plain ASCII name is written into `buffer`, which is reused.
    static QStringView ShownNameIn(const Row& r, QString& buffer);
    // The order of the rows when the listing came in name order or exactly against it, as most
    // servers send it (folders first, as always); empty when it did not.
    std::vector<size_t> ListedInNameOrder() const;

    // The rows as they came; they are shown in the order of m_order, so that neither a fill nor a
    // sort moves them.
    std::vector<Row> m_rows;
    std::vector<size_t> m_order;
};
