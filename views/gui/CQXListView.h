#pragma once

#include "views/FileListModel.h"

#include <QHash>
#include <QIcon>
#include <QStackedWidget>

#include <string>
#include <string_view>
#include <vector>

class QListView;
class QTreeView;
class QItemSelectionModel;

// Pictures of the file list's rows: one shared folder picture, and for files the desktop's picture
// for the name's extension, looked up once per extension. No local file is read.
class FileIconCache {
public:
    QIcon FolderIcon();
    QIcon FileIcon(const QString& name);
    int CachedExtensions() const { return static_cast<int>(m_byExtension.size()); }

private:
    QIcon m_folder;
    QHash<QString, QIcon> m_byExtension;
};

// The remote file list: a thin widget over the file list rows, shown in one of four display types.
// The details type is a table with a header (a click on a column header sorts by it); the three
// icon types are one list view in different modes. Both views share the rows and the selection.
class CQXListView : public QStackedWidget {
    Q_OBJECT
public:
    enum DisplayType { LargeIcons = 0, Details = 1, SmallIcons = 2, List = 3 };

    explicit CQXListView(QWidget* parent = nullptr);
    ~CQXListView() override;

    FileListModel& Model() { return m_model; }
    FileIconCache& IconCache() { return m_iconCache; }
    // Replaces the rows with a listing; returns the names of the subfolders shown.
    std::vector<std::string> FillFromListing(std::string_view listing);
    void Clear();
    void SortByColumn(int column);

    DisplayType GetDisplayType() const { return m_displayType; }
    void SetDisplayType(DisplayType type);
    // The order of the view-style button: large icons, small icons, list, details, and round again.
    void NextDisplayType();

    // Rows of the selection, in list order.
    std::vector<int> SelectedRows() const;
    QItemSelectionModel* SelectionModel() const;
    QTreeView* DetailsView() const { return m_details; }
    QListView* IconView() const { return m_iconView; }

    // The display type kept between runs: the low two bits of the stored value.
    static DisplayType ReadListStyle();
    void SaveListStyle() const;

signals:
    void OpenRequested();
    void DeleteRequested();
    void ContextMenuRequested(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FileListModel m_model;
    FileIconCache m_iconCache;
    QTreeView* m_details = nullptr;
    QListView* m_iconView = nullptr;
    DisplayType m_displayType = Details;
};
