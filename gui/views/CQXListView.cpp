#include "gui/views/CQXListView.h"

#include "engine/LocalNames.h"
#include "gui/views/DragPicture.h"
#include "platform/gui/DragOut.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QApplication>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <functional>

namespace {

// The list's name editor. What is typed goes to the list's owner instead of into the row: only the
// next listing changes a row. Tab ends the edit like Enter instead of opening the next row's editor.
// It also marks the folder row a drop would go into.
class NameEditDelegate : public QStyledItemDelegate {
public:
    NameEditDelegate(std::function<void(const QString&)> committed, const int* dropRow, QObject* parent)
        : QStyledItemDelegate(parent), m_committed(std::move(committed)), m_dropRow(dropRow) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (index.row() == *m_dropRow) {
            QColor mark = option.palette.color(QPalette::Highlight);
            mark.setAlpha(90);
            painter->fillRect(option.rect, mark);
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex&) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            m_committed(line->text());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* editor = qobject_cast<QWidget*>(watched);
        if (editor && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
                emit commitData(editor);
                emit closeEditor(editor, NoHint);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(watched, event);
    }

private:
    std::function<void(const QString&)> m_committed;
    const int* m_dropRow;
};

// An inner view of the list: a drag of its rows is the list's to start, with the point where the
// rows were grabbed.
template <class View> class RowDragView : public View {
public:
    explicit RowDragView(CQXListView* list) : View(list), m_list(list) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        m_pressed = event->position().toPoint();
        View::mousePressEvent(event);
    }
    void startDrag(Qt::DropActions) override { m_list->DragSelectedRows(this, m_pressed); }

private:
    CQXListView* m_list;
    QPoint m_pressed;
};

} // namespace

QIcon FileIconCache::FolderIcon() {
    if (m_folder.isNull())
        m_folder =
            QIcon::fromTheme(QStringLiteral("folder"), qApp->style()->standardIcon(QStyle::SP_DirIcon));
    return m_folder;
}

QIcon FileIconCache::FileIcon(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1).toLower();
    auto it = m_byExtension.constFind(extension);
    if (it != m_byExtension.constEnd())
        return *it;
    static const QMimeDatabase mimeDb;
    // Only the name is matched, so a local file that happens to have the same name is never read.
    const QString probe = extension.isEmpty() ? QStringLiteral("file") : QStringLiteral("file.") + extension;
    const QList<QMimeType> types = mimeDb.mimeTypesForFileName(probe);
    QIcon icon;
    if (!types.isEmpty()) {
        icon = QIcon::fromTheme(types.first().iconName());
        if (icon.isNull())
            icon = QIcon::fromTheme(types.first().genericIconName());
    }
    if (icon.isNull())
        icon = qApp->style()->standardIcon(QStyle::SP_FileIcon);
    m_byExtension.insert(extension, icon);
    return icon;
}

CQXListView::CQXListView(QWidget* parent) : QStackedWidget(parent) {
    m_model.SetIconProvider([this](const FileListModel::Row& row) -> QVariant {
        if (row.IsFolder() || FileListModel::IsPlaceholder(row))
            return m_iconCache.FolderIcon();
        return m_iconCache.FileIcon(FileListModel::ShownName(row));
    });

    m_details = new RowDragView<QTreeView>(this);
    m_details->setModel(&m_model);
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    // Every row has the same height; this keeps a hundred thousand rows cheap to lay out.
    m_details->setUniformRowHeights(true);
    m_details->setAllColumnsShowFocus(true);
    m_details->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_details->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_details->setIconSize(QSize(16, 16));
    m_details->setSortingEnabled(false);
    QHeaderView* header = m_details->header();
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The widths were chosen for a small Windows font; a desktop font is often wider, and a date
    // cut to "2026/12/08 12..." hides the time. Each column is at least as wide as its usual text
    // (the size column fits a file of a terabyte), and the name column grows in the same proportion
    // as the date column.
    int widths[FileListModel::ColumnCount] = {150, 60, 110, 80};
    const QFontMetrics metrics(m_details->font());
    const int margin = 2 * m_details->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, m_details) + 8;
    const QString usual[FileListModel::ColumnCount] = {{},
                                                       QStringLiteral("9999999999999"),
                                                       QStringLiteral("2026/12/31 23:59"),
                                                       QStringLiteral("drwxr-xr-x")};
    const int dateDefault = widths[FileListModel::ColDate];
    for (int c = 1; c < FileListModel::ColumnCount; ++c)
        widths[c] = std::max(widths[c], metrics.horizontalAdvance(usual[c]) + margin);
    widths[0] = widths[0] * widths[FileListModel::ColDate] / dateDefault;
    for (int c = 0; c < FileListModel::ColumnCount; ++c)
        m_details->setColumnWidth(c, widths[c]);
    m_nameWidth = widths[FileListModel::ColName];
    // Width the user gives the name column stays its least; a wider view gives it the rest.
    connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (column == FileListModel::ColName && !m_fittingName)
            m_nameWidth = width;
    });
    connect(header, &QHeaderView::sectionClicked, this, &CQXListView::SortByColumn);
    header->setSortIndicatorShown(true);
    ShowSortIndicator();

    m_iconView = new RowDragView<QListView>(this);
    m_iconView->setModel(&m_model);
    m_iconView->setSelectionModel(m_details->selectionModel());
    m_iconView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Whole rows in every display type, so a selection is one range per run of rows.
    m_iconView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_iconView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_iconView->setMovement(QListView::Static);
    m_iconView->setResizeMode(QListView::Adjust);
    m_iconView->setUniformItemSizes(true);
    m_iconView->setLayoutMode(QListView::Batched);
    m_iconView->setBatchSize(2000);

    addWidget(m_details);
    addWidget(m_iconView);
    auto forget = [this] { m_selectedCount = -1; };
    connect(SelectionModel(), &QItemSelectionModel::selectionChanged, this, forget);
    connect(&m_model, &QAbstractItemModel::modelReset, this, forget);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, forget);
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, forget);
    connect(&m_model, &QAbstractItemModel::layoutChanged, this, forget);
    // A new listing closes an open editor without a word; the edit is over and the listing shows
    // what is there.
    connect(&m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_editing = false; });
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_iconView)}) {
        auto* delegate = new NameEditDelegate(
            [this](const QString& text) {
                m_editedText = text;
                m_editCommitted = true;
            },
            &m_dropRow, view);
        view->setItemDelegate(delegate);
        connect(delegate, &QAbstractItemDelegate::closeEditor, this, &CQXListView::OnEditorClosed);
        view->installEventFilter(this);
        // Rows are dragged out to the desktop; files come in on the viewport, which the filter
        // hands to the list instead of the view's own moving of rows.
        view->setDragEnabled(true);
        view->viewport()->setAcceptDrops(true);
        view->viewport()->installEventFilter(this);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            if (index.isValid())
                emit OpenRequested();
        });
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
            emit ContextMenuRequested(view->viewport()->mapToGlobal(pos));
        });
    }
    SetDisplayType(ReadListStyle());
}

CQXListView::~CQXListView() {
    SaveListStyle();
}

CQXListView::DisplayType CQXListView::ReadListStyle() {
    SettingsKey key;
    key.OpenKey(KeyFamily::Profile, SettingName::ListKey);
    return static_cast<DisplayType>(key.ReadDword("ListStyle", Details) & 3u);
}

void CQXListView::SaveListStyle() const {
    SettingsKey key;
    if (key.CreateKey(KeyFamily::Profile, SettingName::ListKey))
        key.WriteDword("ListStyle", static_cast<std::uint32_t>(m_displayType));
}

void CQXListView::SetDisplayType(DisplayType type) {
    m_displayType = type;
    switch (type) {
    case Details:
        setCurrentWidget(m_details);
        return;
    case LargeIcons:
        m_iconView->setViewMode(QListView::IconMode);
        m_iconView->setMovement(QListView::Static);
        m_iconView->setFlow(QListView::LeftToRight);
        m_iconView->setIconSize(QSize(32, 32));
        m_iconView->setWordWrap(true);
        m_iconView->setGridSize(QSize(80, 64));
        break;
    case SmallIcons:
        m_iconView->setViewMode(QListView::ListMode);
        m_iconView->setFlow(QListView::LeftToRight);
        m_iconView->setIconSize(QSize(16, 16));
        m_iconView->setWordWrap(false);
        m_iconView->setGridSize(QSize(150, 20));
        break;
    case List:
        m_iconView->setViewMode(QListView::ListMode);
        m_iconView->setFlow(QListView::TopToBottom);
        m_iconView->setIconSize(QSize(16, 16));
        m_iconView->setWordWrap(false);
        m_iconView->setGridSize(QSize());
        break;
    }
    m_iconView->setWrapping(true);
    setCurrentWidget(m_iconView);
}

void CQXListView::NextDisplayType() {
    switch (m_displayType) {
    case LargeIcons:
        SetDisplayType(SmallIcons);
        break;
    case SmallIcons:
        SetDisplayType(List);
        break;
    case List:
        SetDisplayType(Details);
        break;
    case Details:
        SetDisplayType(LargeIcons);
        break;
    }
}

std::vector<std::string> CQXListView::FillFromEntries(std::vector<RemoteEntry> entries) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<std::string> subfolders = m_model.FillFromEntries(std::move(entries));
    ShowSortIndicator();
    QGuiApplication::restoreOverrideCursor();
    return subfolders;
}

void CQXListView::Clear() {
    m_model.Clear();
}

void CQXListView::SortByColumn(int column) {
    m_model.SortByColumn(column);
    ShowSortIndicator();
}

void CQXListView::ShowSortIndicator() {
    m_details->header()->setSortIndicator(
        m_model.SortColumn(), m_model.SortedAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CQXListView::FitNameColumn() {
    int others = 0;
    for (int c = 0; c < FileListModel::ColumnCount; ++c) {
        if (c != FileListModel::ColName && !m_details->isColumnHidden(c))
            others += m_details->columnWidth(c);
    }
    const int width = std::max(m_nameWidth, m_details->viewport()->width() - others);
    if (width == m_details->columnWidth(FileListModel::ColName))
        return;
    m_fittingName = true;
    m_details->setColumnWidth(FileListModel::ColName, width);
    m_fittingName = false;
}

QItemSelectionModel* CQXListView::SelectionModel() const {
    return m_details->selectionModel();
}

QAbstractItemView* CQXListView::CurrentView() const {
    return m_displayType == Details ? static_cast<QAbstractItemView*>(m_details) : m_iconView;
}

std::vector<int> CQXListView::SelectedRows() const {
    // Read by ranges: asking for every selected cell costs four indexes per row.
    std::vector<int> rows;
    for (const QItemSelectionRange& range : SelectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    m_selectedCount = static_cast<int>(rows.size());
    return rows;
}

int CQXListView::SelectedCount() const {
    if (m_selectedCount < 0)
        SelectedRows();
    return m_selectedCount;
}

bool CQXListView::HasSelection() const {
    return SelectionModel()->hasSelection();
}

int CQXListView::SelectionMark() const {
    const QModelIndex current = SelectionModel()->currentIndex();
    if (!current.isValid() || !SelectionModel()->isRowSelected(current.row(), {}))
        return -1;
    return current.row();
}

void CQXListView::SelectAll() {
    CurrentView()->setFocus();
    const int n = m_model.RowCount();
    // Cleared first: Qt compares an old and a new selection range by range, which is slow when
    // both hold many ranges.
    SelectionModel()->clearSelection();
    if (n > 0)
        SelectionModel()->select(
            QItemSelection(m_model.index(0, 0), m_model.index(n - 1, FileListModel::ColumnCount - 1)),
            QItemSelectionModel::Select);
}

void CQXListView::InvertSelection() {
    CurrentView()->setFocus();
    const int n = m_model.RowCount();
    std::vector<char> chosen(static_cast<size_t>(n), 0);
    for (const QItemSelectionRange& range : SelectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r)
            chosen[static_cast<size_t>(r)] = 1;
    }
    QItemSelection inverted;
    for (int r = 0; r < n;) {
        if (chosen[static_cast<size_t>(r)]) {
            ++r;
            continue;
        }
        const int first = r;
        while (r < n && !chosen[static_cast<size_t>(r)])
            ++r;
        inverted.append(QItemSelectionRange(m_model.index(first, 0),
                                            m_model.index(r - 1, FileListModel::ColumnCount - 1)));
    }
    SelectionModel()->clearSelection();
    if (!inverted.isEmpty())
        SelectionModel()->select(inverted, QItemSelectionModel::Select);
}

void CQXListView::StartLabelEdit(int row) {
    if (row < 0 || row >= m_model.RowCount())
        return;
    QAbstractItemView* view = CurrentView();
    const QModelIndex index = m_model.index(row, FileListModel::ColName);
    view->setFocus();
    SelectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->scrollTo(index);
    m_editing = true;
    m_editedRow = index;
    m_editedName = m_model.RowAt(row).name;
    m_editedNewFolder = FileListModel::IsPlaceholder(m_model.RowAt(row));
    m_editedText.clear();
    m_editCommitted = false;
    view->edit(index);
    if (!view->indexWidget(index)) {
        // The editor could not open (the list is not shown): the edit ends as cancelled.
        OnEditorClosed();
    }
}

void CQXListView::StartNewFolderEdit() {
    StartLabelEdit(m_model.InsertNewFolderPlaceholder(0));
}

bool CQXListView::IsEditingLabel() const {
    return m_editing;
}

void CQXListView::OnEditorClosed() {
    if (!m_editing)
        return;
    m_editing = false;
    if (m_editedNewFolder && m_editedRow.isValid())
        m_model.RemoveRow(m_editedRow.row());
    m_editedRow = QPersistentModelIndex();
    // What follows may ask questions in dialogs of their own; the editor's key handling is over by then.
    QTimer::singleShot(
        0, this,
        [this, newFolder = m_editedNewFolder, name = m_editedName, text = m_editedText,
         accepted = m_editCommitted] { emit LabelEditEnded(newFolder, name, text, accepted); });
}

void CQXListView::DragSelectedRows(QAbstractItemView* view, const QPoint& grabbed) {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty() || !m_dragOutMaker || m_editing)
        return;
    DragOutRequest request;
    request.delivery = m_dragOutMaker(rows);
    if (!request.delivery)
        return;
    // Direct-save targets want a plain name; they use it only to say which folder they mean.
    const std::string& first = m_model.RowAt(rows.front()).name;
    // The list shows the window's session, whose names are the shown ones.
    const QString name = IsSafeLocalName(first, ShownNames()) ? LocalNameFor(first, ShownNames()) : QString();
    bool plain = !name.isEmpty();
    for (QChar c : name)
        plain = plain && c.unicode() > 0x20 && c.unicode() < 0x7f;
    request.suggestedName = plain ? name : QStringLiteral("lumo-download");
    request.picture = DragPicture(*view, rows, grabbed, &request.hotSpot);
    StartDragOut(view, std::move(request));
}

void CQXListView::SetDropsAccepted(bool accepted) {
    m_dropsAccepted = accepted;
}

void CQXListView::SetDropTargetRow(QAbstractItemView* view, int row) {
    if (row == m_dropRow)
        return;
    m_dropRow = row;
    view->viewport()->update();
}

bool CQXListView::HandleDragEvent(QAbstractItemView* view, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        // A drag of lumo's own rows, from this window or another lumo, is no upload; its data is
        // not even read.
        const bool taken = m_dropsAccepted && !drop->source() && !IsDragOutData(drop->mimeData()) &&
                           drop->mimeData()->hasUrls();
        int row = -1;
        if (taken) {
            const QModelIndex index = view->indexAt(drop->position().toPoint());
            if (index.isValid() && m_model.RowAt(index.row()).IsFolder())
                row = index.row();
        }
        if (event->type() == QEvent::Drop) {
            SetDropTargetRow(view, -1);
            if (taken)
                emit UrlsDropped(drop->mimeData()->urls(), row);
        } else {
            SetDropTargetRow(view, row);
        }
        if (taken) {
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
        } else {
            drop->ignore();
        }
        return true;
    }
    case QEvent::DragLeave:
        SetDropTargetRow(view, -1);
        return true;
    default:
        return false;
    }
}

bool CQXListView::eventFilter(QObject* watched, QEvent* event) {
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_iconView)}) {
        if (watched == view->viewport() && HandleDragEvent(view, event))
            return true;
    }
    if (watched == m_details->viewport() && event->type() == QEvent::Resize)
        FitNameColumn();
    // Keys the name editor lets through (Enter, once it has taken the name) belong to the edit.
    if (event->type() == QEvent::KeyPress && !m_editing) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Delete:
            emit DeleteRequested();
            break;
        case Qt::Key_F2:
            emit RenameRequested();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit OpenRequested();
            return true;
        default:
            break;
        }
    }
    return QStackedWidget::eventFilter(watched, event);
}
