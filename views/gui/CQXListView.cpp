#include "views/gui/CQXListView.h"

#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMimeDatabase>
#include <QStyle>
#include <QTreeView>

#include <algorithm>

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
        if (row.IsFolder() || row.IsPlaceholder())
            return m_iconCache.FolderIcon();
        return m_iconCache.FileIcon(row.displayName);
    });

    m_details = new QTreeView(this);
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
    const int widths[FileListModel::ColumnCount] = {150, 60, 110, 80};
    for (int c = 0; c < FileListModel::ColumnCount; ++c)
        m_details->setColumnWidth(c, widths[c]);
    connect(header, &QHeaderView::sectionClicked, this, &CQXListView::SortByColumn);

    m_iconView = new QListView(this);
    m_iconView->setModel(&m_model);
    m_iconView->setSelectionModel(m_details->selectionModel());
    m_iconView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_iconView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_iconView->setMovement(QListView::Static);
    m_iconView->setResizeMode(QListView::Adjust);
    m_iconView->setUniformItemSizes(true);
    m_iconView->setLayoutMode(QListView::Batched);
    m_iconView->setBatchSize(2000);

    addWidget(m_details);
    addWidget(m_iconView);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_iconView)}) {
        view->installEventFilter(this);
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

std::vector<std::string> CQXListView::FillFromListing(std::string_view listing) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<std::string> subfolders = m_model.FillFromListing(listing);
    QGuiApplication::restoreOverrideCursor();
    return subfolders;
}

void CQXListView::Clear() {
    m_model.Clear();
}

void CQXListView::SortByColumn(int column) {
    m_model.SortByColumn(column);
}

QItemSelectionModel* CQXListView::SelectionModel() const {
    return m_details->selectionModel();
}

std::vector<int> CQXListView::SelectedRows() const {
    // The icon views select only the first column, so rows are collected from any selected cell.
    std::vector<int> rows;
    for (const QModelIndex& index : SelectionModel()->selectedIndexes())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool CQXListView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete)
        emit DeleteRequested();
    return QStackedWidget::eventFilter(watched, event);
}
