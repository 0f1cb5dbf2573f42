#pragma once

#include "views/FileListModel.h"

#include <QHash>
#include <QIcon>
#include <QPersistentModelIndex>
#include <QStackedWidget>
#include <QUrl>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class DragOutDelivery;
class QAbstractItemView;
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
// Selected rows can be dragged out to the desktop, and local files dropped on the list.
class CQXListView : public QStackedWidget {
    Q_OBJECT
public:
    enum DisplayType { LargeIcons = 0, Details = 1, SmallIcons = 2, List = 3 };

    explicit CQXListView(QWidget* parent = nullptr);
    ~CQXListView() override;

    FileListModel& Model() { return m_model; }
    FileIconCache& IconCache() { return m_iconCache; }
    // Replaces the rows with a listing; returns the names of the subfolders shown.
    std::vector<std::string> FillFromEntries(std::vector<RemoteEntry> entries);
    void Clear();
    void SortByColumn(int column);

    DisplayType GetDisplayType() const { return m_displayType; }
    void SetDisplayType(DisplayType type);
    // The order of the view-style button: large icons, small icons, list, details, and round again.
    void NextDisplayType();

    // Rows of the selection, in list order.
    std::vector<int> SelectedRows() const;
    // How many rows are selected; kept until the selection changes, so the commands' enabling rules
    // stay cheap on a hundred thousand rows.
    int SelectedCount() const;
    bool HasSelection() const;
    // The row the user last chose when it is still selected; -1 when there is none.
    int SelectionMark() const;
    // Both give the list the focus; a folder of a hundred thousand rows is one selection range.
    void SelectAll();
    void InvertSelection();
    QItemSelectionModel* SelectionModel() const;
    QTreeView* DetailsView() const { return m_details; }
    QListView* IconView() const { return m_iconView; }
    // The view of the current display type.
    QAbstractItemView* CurrentView() const;

    // Opens the name editor on a row, its whole text chosen. Ends with LabelEditEnded.
    void StartLabelEdit(int row);
    // Puts the new-folder row at the top and opens its name editor.
    void StartNewFolderEdit();
    bool IsEditingLabel() const;

    // What dragging rows out of the program hands over to the desktop; set by the window. It gets
    // the rows selected when the drag begins, in list order, and may give nothing.
    using DragOutMaker = std::function<std::shared_ptr<DragOutDelivery>(const std::vector<int>& rows)>;
    void SetDragOutMaker(DragOutMaker maker) { m_dragOutMaker = std::move(maker); }
    // Starts dragging the selected rows out of `view`, grabbed at `grabbed` (in its viewport); the
    // inner views call it when the user drags.
    void DragSelectedRows(QAbstractItemView* view, const QPoint& grabbed);
    // Whether local files may be dropped on the list (while a session runs).
    void SetDropsAccepted(bool accepted);
    // The folder row a drop at the pointer would go into while a drag hovers over it; else -1.
    int DropTargetRow() const { return m_dropRow; }

    // The display type kept between runs: the low two bits of the stored value.
    static DisplayType ReadListStyle();
    void SaveListStyle() const;

signals:
    void OpenRequested();
    void DeleteRequested();
    void RenameRequested();
    void ContextMenuRequested(const QPoint& globalPos);
    // The name editor closed, `accepted` with the text as typed or cancelled (Escape). For the
    // new-folder row, which is gone by then, `newFolder` is set; otherwise `oldName` is the raw name
    // of the row that was edited. Sent once the editor is gone, from the event loop.
    void LabelEditEnded(bool newFolder, const std::string& oldName, const QString& text, bool accepted);
    // Local files were dropped: onto the folder row `folderRow`, or beside the rows (-1). Sent from
    // the drop itself, before the rows can change.
    void UrlsDropped(const QList<QUrl>& urls, int folderRow);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnEditorClosed();
    // The drag events of a view's viewport; true when the event was one.
    bool HandleDragEvent(QAbstractItemView* view, QEvent* event);
    void SetDropTargetRow(QAbstractItemView* view, int row);
    // The header's arrow on the column the rows are sorted by.
    void ShowSortIndicator();
    // The name column takes what the other columns leave of the view's width.
    void FitNameColumn();

    FileListModel m_model;
    FileIconCache m_iconCache;
    QTreeView* m_details = nullptr;
    QListView* m_iconView = nullptr;
    DisplayType m_displayType = Details;
    mutable int m_selectedCount = -1;
    // The edit in progress: its row, the row's name and whether it is the new-folder row, and what
    // the editor handed over.
    bool m_editing = false;
    QPersistentModelIndex m_editedRow;
    std::string m_editedName;
    bool m_editedNewFolder = false;
    QString m_editedText;
    bool m_editCommitted = false;
    DragOutMaker m_dragOutMaker;
    bool m_dropsAccepted = false;
    int m_dropRow = -1;
    // The name column's least width, and whether the list itself is setting its width.
    int m_nameWidth = 0;
    bool m_fittingName = false;
};
