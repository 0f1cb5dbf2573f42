#include "app/gui/CMainFrame.h"

#include "app/CommandIds.h"
#include "app/OperationStatus.h"
#include "app/gui/AddressNavigator.h"
#include "app/gui/CMenuBar.h"
#include "app/gui/CProgressStatusBar.h"
#include "app/gui/CloseQuestion.h"
#include "app/gui/CommandMenus.h"
#include "app/gui/DragDownloads.h"
#include "app/gui/FileCommands.h"
#include "app/gui/FtpLinkOpener.h"
#include "app/gui/HelpCommand.h"
#include "app/gui/LogSaving.h"
#include "app/gui/MirrorCommand.h"
#include "app/gui/WindowEngineUi.h"
#include "engine/FtpEngine.h"
#include "engine/TransferProgress.h"
#include "engine/TransferQueue.h"
#include "engine/TransferSessionUi.h"
#include "gui/views/AddressLine.h"
#include "gui/views/CQXListView.h"
#include "gui/views/CQXLogView.h"
#include "gui/views/CQXTreeView.h"
#include "gui/views/FocusFrame.h"
#include "gui/views/TransferQueueView.h"
#include "hosts/HostSessions.h"
#include "hosts/QXDoc.h"
#include "platform/TextCodec.h"
#include "settings/SettingsKey.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

CMainFrame* g_frame = nullptr;

// Status-bar prompt and tooltip of the commands that have them, split at "\n".
struct Prompt {
    int id;
    const char* text;
};
constexpr Prompt kPrompts[] = {
    {CommandId::ViewStyleNext, "ディレクトリ一覧の表示スタイルを変更します。\n表示スタイルを変更します"},
    {CommandId::Connect, "ツリーの一番上にあるホストに接続します。\n接続します"},
    {CommandId::ParentFolder, "親フォルダに移動します。\n親フォルダに移動します"},
    {CommandId::Refresh, "カレントディレクトリのファイル一覧を更新します。\nファイル一覧を更新します"},
    {CommandId::Disconnect, "現在接続中のホストから切断します。\n切断します"},
    {CommandId::Cancel, "現在作業中のファイル操作及び、操作待ちの作業を中止します。\n現在の作業を中止します"},
    {CommandId::AsciiMode, "転送モードをアスキーモードにします。\nアスキーモードにします"},
    {CommandId::BinaryMode, "転送モードをバイナリモードにします。\nバイナリモードにします"},
    {CommandId::HostSettings, "ホストへの接続設定をおこないます。\n接続設定を行います"},
    {CommandId::ImportHosts, "FileZilla や WinSCP に登録したホストを取り込みます。\nホストを取り込みます"},
    {CommandId::Options, "ＧＵＩやシステムの設定を行います。\nオプション設定を行います"},
    {CommandId::Download, "ファイルをダウンロードします。\nダウンロードします"},
    {CommandId::Delete, "現在選択されているファイルもしくはディレクトリを削除します。\nファイルを削除します"},
    {CommandId::NewFolder,
     "現在のカレントディレクトリに新しいディレクトリを作成します。\n新規フォルダを作成します"},
    {CommandId::Upload, "ファイルをアップロードします。\nアップロードします"},
    {CommandId::ViewSmallIcons, "ファイルを小さいアイコンで表示します。\n小さいアイコン"},
    {CommandId::ViewLargeIcons, "ファイルを大きいアイコンで表示します。\n大きいアイコン"},
    {CommandId::ViewList, "ファイルを一覧表示します。\n一覧"},
    {CommandId::ViewDetails, "サーバ内の各ファイルの詳細情報を表示します。\n詳細"},
};

// The tool bar's slots: a command and its picture, or a separator (id 0).
struct Slot {
    int id;
    const char* picture;
};
constexpr Slot kSlots[CMainFrame::kToolBarSlots] = {
    {CommandId::ParentFolder, "00-parent-folder"},
    {CommandId::Refresh, "01-refresh"},
    {CommandId::NewFolder, "02-new-folder"},
    {0, nullptr},
    {CommandId::Connect, "03-connect"},
    {CommandId::Disconnect, "04-disconnect"},
    {CommandId::Download, "05-download"},
    {CommandId::Upload, "06-upload"},
    {CommandId::Delete, "07-delete"},
    {CommandId::Cancel, "08-cancel"},
    {0, nullptr},
    {CommandId::HostSettings, "09-host-settings"},
    {CommandId::Options, "10-options"},
    {0, nullptr},
    {CommandId::AsciiMode, "11-ascii"},
    {CommandId::BinaryMode, "12-binary"},
    {0, nullptr},
    {CommandId::ViewStyleNext, "13-view-style"},
};

QIcon toolBarIcon(const char* picture) {
    QIcon icon;
    const QString name = QString::fromLatin1(picture);
    icon.addFile(QStringLiteral(":/toolbar/normal/%1.svg").arg(name), QSize(22, 20), QIcon::Normal);
    icon.addFile(QStringLiteral(":/toolbar/hot/%1.svg").arg(name), QSize(22, 20), QIcon::Active);
    icon.addFile(QStringLiteral(":/toolbar/disabled/%1.svg").arg(name), QSize(22, 20), QIcon::Disabled);
    return icon;
}

// The screens' available areas, the primary first.
std::vector<QRect> AvailableScreenAreas() {
    std::vector<QRect> areas;
    if (QScreen* primary = QGuiApplication::primaryScreen())
        areas.push_back(primary->availableGeometry());
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen())
            areas.push_back(screen->availableGeometry());
    }
    return areas;
}

} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    g_frame = this;
    setObjectName(QStringLiteral("LUMOWindowClass"));
    setWindowTitle(QStringLiteral("lumo"));
    setWindowIcon(QIcon(QStringLiteral(":/app/lumo.svg")));
    m_restored = ClampWindowLayout(ReadWindowLayout(), AvailableScreenAreas());
    if (!m_restored.sizeStored && QGuiApplication::primaryScreen())
        m_restored = FirstStartLayout(m_restored, QGuiApplication::primaryScreen()->availableGeometry());
    m_doc = new CQXDoc(this);

    m_statusBar = new CProgressStatusBar(this);
    setStatusBar(m_statusBar);

    CreatePanes();
    m_engineUi = std::make_unique<WindowEngineUi>(*this);
    m_sessionUi = std::make_unique<CTransferSessionUi>(*m_engineUi, CTransferSessionUi::Role::Browsing);
    m_engine = std::make_unique<CFtpEngine>(*m_sessionUi);
    m_queue = std::make_unique<CTransferQueue>(*m_engineUi, *m_engine, *m_sessionUi);
    m_linkOpener = new FtpLinkOpener(*this, this);
    new AddressNavigator(*this, *m_address, *m_linkOpener);
    CreateQueuePane();
    CreateActions();
    CreateMenus();
    CreateToolBar();
    RestoreBands();
    RestoreGeometry();
    ConnectListView();
    connect(m_engine.get(), &CFtpEngine::Idle, this, [this] {
        if (m_cancelling) {
            m_cancelling = false;
            ShowNote(QStringLiteral("キャンセルしました"));
        }
    });

    m_idleUpdate = new QTimer(this);
    m_idleUpdate->setInterval(250);
    connect(m_idleUpdate, &QTimer::timeout, this, &CMainFrame::UpdateCommandUi);
    m_idleUpdate->start();
    UpdateCommandUi();
}

CMainFrame::~CMainFrame() {
    // The sessions go first: closing their sockets must not reach views that are already gone.
    delete m_queueView;
    m_queue.reset();
    m_engine.reset();
    if (g_frame == this)
        g_frame = nullptr;
}

CMainFrame* CMainFrame::Instance() {
    return g_frame;
}

void CMainFrame::CreatePanes() {
    m_outer = new QSplitter(Qt::Vertical, this);
    m_outer->setObjectName(QStringLiteral("outerSplitter"));
    m_inner = new QSplitter(Qt::Horizontal, m_outer);
    m_inner->setObjectName(QStringLiteral("innerSplitter"));
    m_tree = new CQXTreeView(m_inner);
    auto* listPane = new QWidget(m_inner);
    listPane->setObjectName(QStringLiteral("listPane"));
    auto* listColumn = new QVBoxLayout(listPane);
    listColumn->setContentsMargins(0, 0, 0, 0);
    listColumn->setSpacing(2);
    m_address = new AddressLine(listPane);
    m_list = new CQXListView(listPane);
    listColumn->addWidget(m_address);
    listColumn->addWidget(m_list, 1);
    m_logView = new CQXLogView(m_outer);
    m_logView->SetLogText(&m_log);
    for (QAbstractScrollArea* pane :
         {static_cast<QAbstractScrollArea*>(m_tree), static_cast<QAbstractScrollArea*>(m_list->DetailsView()),
          static_cast<QAbstractScrollArea*>(m_list->IconView()),
          static_cast<QAbstractScrollArea*>(m_logView)})
        MarkFocus(pane);
    m_inner->addWidget(m_tree);
    m_inner->addWidget(listPane);
    m_outer->addWidget(m_inner);
    m_outer->addWidget(m_logView);
    // Panes may be dragged down to nothing. A larger window goes to the file list: the tree keeps
    // its width and the log its height.
    for (QSplitter* s : {m_outer, m_inner}) {
        s->setChildrenCollapsible(true);
        for (int i = 0; i < s->count(); ++i)
            s->widget(i)->setMinimumSize(0, 0);
    }
    m_outer->setStretchFactor(0, 1);
    m_outer->setStretchFactor(1, 0);
    m_inner->setStretchFactor(0, 0);
    m_inner->setStretchFactor(1, 1);
    m_outer->setSizes({m_restored.treelisth, m_restored.logh});
    m_inner->setSizes({m_restored.treew, m_restored.listw});
    setCentralWidget(m_outer);

    connect(m_tree, &CQXTreeView::ConnectRequested, this, [this] { RunCommand(CommandId::Connect); });
    connect(m_tree, &CQXTreeView::DisconnectRequested, this, [this] { RunCommand(CommandId::Disconnect); });
    connect(m_tree, &CQXTreeView::FolderChosen, this, &CMainFrame::OnFolderChosen);
    connect(&m_tree->Model(), &HostTreeModel::Changed, this, &CMainFrame::ShowWhereSessionIs);
    connect(m_doc, &CQXDoc::HostsChanged, this, [this] {
        m_tree->FillHostTree();
        UpdateCommandUi();
    });
    connect(m_logView, &CQXLogView::VisibleHeightChanged, this, [this](bool visible) {
        if (QAction* a = Action(CommandId::ToggleLog))
            a->setChecked(visible);
    });
}

void CMainFrame::CreateQueuePane() {
    m_queueView = new TransferQueueView(*m_queue, m_outer);
    m_outer->addWidget(m_queueView);
    m_queueView->setMinimumSize(0, 0);
    m_queueView->hide();
    connect(m_queue.get(), &CTransferQueue::ItemsAppended, this, [this] {
        if (!m_queueView->isHidden())
            return;
        m_queueView->show();
        // The pane takes a third of the list's height and a third of the log's.
        QList<int> rows = m_outer->sizes();
        if (rows.size() == 3 && rows[2] == 0) {
            rows[2] = rows[0] / 3 + rows[1] / 3;
            rows[0] -= rows[0] / 3;
            rows[1] -= rows[1] / 3;
            m_outer->setSizes(rows);
        }
    });
    const auto hideWhenEmpty = [this] {
        if (m_queue->Items().empty())
            m_queueView->hide();
    };
    connect(m_queue.get(), &CTransferQueue::ItemsRemoved, this, hideWhenEmpty);
    connect(m_queue.get(), &CTransferQueue::Finished, this, [this] {
        UpdateCommandUi();
        if (m_cancelling && !m_engine->HasWork()) {
            m_cancelling = false;
            ShowNote(QStringLiteral("キャンセルしました"));
            return;
        }
        // What the run came to stays in pane 0 until something else runs.
        QString note = QStringLiteral("%1 個のファイルを処理しました").arg(m_queue->FilesDone());
        if (m_queue->FilesFailed() > 0)
            note += QStringLiteral("（%1 個は失敗しました）").arg(m_queue->FilesFailed());
        ShowNote(note);
    });
}

QAction* CMainFrame::AddCommand(int id, const QString& text, std::function<void()> handler,
                                std::function<bool()> enabled) {
    QAction* action = m_actions.value(id);
    if (!action) {
        action = new QAction(text, this);
        action->setData(id);
        m_actions.insert(id, action);
    }
    if (handler) {
        connect(action, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
        m_enableRules.insert(
            id, enabled ? std::move(enabled) : [] { return true; });
    }
    return action;
}

void CMainFrame::CreateActions() {
    // Shown, but without a handler, so never enabled.
    const std::pair<int, const char*> unhandled[] = {
        {CommandId::DeleteMenuItem, "削除(&D)"},
        {CommandId::RefreshTree, "ホストツリー\tAlt+F5"},
    };
    for (const auto& [id, text] : unhandled)
        AddCommand(id, QString::fromUtf8(text), {});

    auto connected = [this] { return IsConnected(); };
    auto selected = [this] { return IsConnected() && m_list->HasSelection(); };
    AddCommand(
        CommandId::Connect, QStringLiteral("接続(&C)"), [this] { OnConnect(); },
        [this] { return !IsConnected(); });
    AddCommand(
        CommandId::HostSettings, QStringLiteral("接続設定(&C)"), [this] { OnHostSettings(); },
        [this] { return !IsConnected(); });
    AddCommand(
        CommandId::ImportHosts, QStringLiteral("ホストを取り込む(&I)..."), [this] { OnImportHosts(); },
        [this] { return !IsConnected(); });
    AddCommand(
        CommandId::Options, QStringLiteral("オプション(&O)"), [this] { OnOptions(); },
        [this] { return !IsConnected(); });
    const auto mayMirror = [this] { return IsConnected() && !m_engine->CanCancel() && !m_queue->HasWork(); };
    AddCommand(
        CommandId::MirrorUpload, QStringLiteral("ミラーリングアップロード(&M)..."),
        [this] { RunMirrorCommand(*this, MirrorDirection::Up); }, mayMirror);
    AddCommand(
        CommandId::MirrorDownload, QStringLiteral("ミラーリングダウンロード(&R)..."),
        [this] { RunMirrorCommand(*this, MirrorDirection::Down); }, mayMirror);
    AddCommand(
        CommandId::Disconnect, QStringLiteral("切断(&D)"), [this] { m_engine->CloseSession(); }, connected);
    AddCommand(
        CommandId::Cancel, QStringLiteral("現在の作業を中止します"),
        [this] {
            m_cancelling = true;
            if (m_engine->CanCancel())
                m_engine->CancelTransfers();
            m_queue->Cancel();
        },
        [this] { return m_engine->CanCancel() || m_queue->HasWork(); });
    AddCommand(
        CommandId::ParentFolder, QStringLiteral("親フォルダに移動します"),
        [this] { m_engine->GoToParentFolder(); }, connected);
    QAction* refresh = AddCommand(
        CommandId::Refresh, QStringLiteral("ファイル\tF5"), [this] { m_engine->ListCurrentFolder(); },
        connected);
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    AddCommand(
        CommandId::Open, QStringLiteral("開く(&O)"), [this] { FileCommands::Open(*this); },
        [this] { return IsConnected() && m_list->SelectedCount() == 1; });
    AddCommand(
        CommandId::Download, QStringLiteral("ダウンロード"), [this] { FileCommands::Download(*this); },
        selected);
    AddCommand(
        CommandId::DownloadAs, QStringLiteral("名前を付けてダウンロード"),
        [this] { FileCommands::DownloadAs(*this); }, selected);
    AddCommand(
        CommandId::Upload, QStringLiteral("アップロード"), [this] { FileCommands::Upload(*this); },
        connected);
    AddCommand(
        CommandId::Delete, QStringLiteral("削除(&D)"), [this] { FileCommands::Delete(*this); }, selected);
    AddCommand(
        CommandId::Rename, QStringLiteral("名前の変更"),
        [this] { m_list->StartLabelEdit(m_list->SelectionMark()); },
        [this] { return IsConnected() && m_list->SelectionMark() >= 0; });
    AddCommand(
        CommandId::ChangeAttributes, QStringLiteral("属性の変更"),
        [this] { FileCommands::ChangeAttributes(*this); }, selected);
    AddCommand(
        CommandId::NewFolder, QStringLiteral("フォルダ(&F)"), [this] { m_list->StartNewFolderEdit(); },
        connected);
    AddCommand(
        CommandId::NewIndexHtml, QStringLiteral("インデックスＨＴＭＬ"),
        [this] { FileCommands::NewIndexHtml(*this); }, connected);
    AddCommand(CommandId::SaveLog, QStringLiteral("ログファイルを保存する(&A)..."),
               [this] { SaveLogToFile(*this); });
    AddCommand(CommandId::SelectAll, QStringLiteral("全て選択(&A)"), [this] { m_list->SelectAll(); });
    AddCommand(CommandId::InvertSelection, QStringLiteral("選択の切り替え"),
               [this] { m_list->InvertSelection(); });
    AddCommand(CommandId::Help, QStringLiteral("ヘルプ(&H)"), [this] { ShowUserGuide(this); });
    QAction* nextPane =
        AddCommand(CommandId::NextPane, QStringLiteral("次のペイン"), [this] { FocusNextPane(); });
    nextPane->setShortcut(QKeySequence(Qt::Key_F6));
    AddCommand(CommandId::AppExit, QStringLiteral("アプリケーションの終了(&X)"), [this] { close(); });
    AddCommand(CommandId::AppAbout, QStringLiteral("バージョン情報(&A)..."), [this] { ShowAboutBox(); });

    QAction* toolBarShown = AddCommand(CommandId::ViewToolBar, QStringLiteral("ツールバー(&T)"),
                                       [this] { m_toolBar->setVisible(!m_toolBar->isVisible()); });
    toolBarShown->setCheckable(true);
    QAction* statusBarShown = AddCommand(CommandId::ViewStatusBar, QStringLiteral("ステータスバー(&S)"),
                                         [this] { m_statusBar->setVisible(!m_statusBar->isVisible()); });
    statusBarShown->setCheckable(true);
    QAction* logShown =
        AddCommand(CommandId::ToggleLog, QStringLiteral("ログビュー(&L)"), [this] { ToggleLog(); });
    logShown->setCheckable(true);

    m_viewGroup = new QActionGroup(this);
    const std::pair<int, const char*> views[] = {
        {CommandId::ViewLargeIcons, "大きいアイコン(&G)"},
        {CommandId::ViewSmallIcons, "小さいアイコン(&M)"},
        {CommandId::ViewList, "一覧(&L)"},
        {CommandId::ViewDetails, "詳細(&D)"},
    };
    const std::pair<int, CQXListView::DisplayType> types[] = {
        {CommandId::ViewLargeIcons, CQXListView::LargeIcons},
        {CommandId::ViewSmallIcons, CQXListView::SmallIcons},
        {CommandId::ViewList, CQXListView::List},
        {CommandId::ViewDetails, CQXListView::Details},
    };
    for (size_t i = 0; i < std::size(views); ++i) {
        const CQXListView::DisplayType type = types[i].second;
        QAction* a = AddCommand(views[i].first, QString::fromUtf8(views[i].second),
                                [this, type] { m_list->SetDisplayType(type); });
        a->setCheckable(true);
        m_viewGroup->addAction(a);
    }
    AddCommand(CommandId::ViewStyleNext, QStringLiteral("表示スタイルを変更します"),
               [this] { m_list->NextDisplayType(); });

    const std::pair<int, const char*> sorts[] = {
        {CommandId::SortByName, "名前順(&N)"},
        {CommandId::SortBySize, "サイズ順(&S)"},
        {CommandId::SortByDate, "日付順(&D)"},
        {CommandId::SortByType, "タイプ順(&T)"},
    };
    for (int column = 0; column < 4; ++column)
        AddCommand(sorts[column].first, QString::fromUtf8(sorts[column].second),
                   [this, column] { m_list->SortByColumn(column); });

    // The two transfer modes form a group: exactly one is checked, and a click switches.
    m_modeGroup = new QActionGroup(this);
    m_modeGroup->setExclusive(true);
    QAction* ascii = AddCommand(CommandId::AsciiMode, QStringLiteral("アスキーモードにします"), [] {});
    QAction* binary = AddCommand(CommandId::BinaryMode, QStringLiteral("バイナリモードにします"), [] {});
    for (QAction* a : {ascii, binary}) {
        a->setCheckable(true);
        m_modeGroup->addAction(a);
    }
    (ReadStartupAsciiMode() ? ascii : binary)->setChecked(true);

    for (const Prompt& p : kPrompts) {
        const QStringList parts = QString::fromUtf8(p.text).split(QLatin1Char('\n'));
        if (QAction* a = Action(p.id)) {
            a->setStatusTip(parts.value(0));
            a->setToolTip(parts.value(1));
        }
    }
    for (QAction* a : m_actions)
        addAction(a);
}

void CMainFrame::CreateMenus() {
    m_menuBar = new CMenuBar(this);
    auto add = [this](QMenu* menu, int id) { menu->addAction(Action(id)); };

    QMenu* file = m_menuBar->AddMenu(QStringLiteral("ファイル(&F)"));
    QMenu* fileNew = file->addMenu(QStringLiteral("新規作成(&N)"));
    add(fileNew, CommandId::NewFolder);
    add(fileNew, CommandId::NewIndexHtml);
    file->addSeparator();
    add(file, CommandId::Download);
    add(file, CommandId::DownloadAs);
    add(file, CommandId::Upload);
    file->addSeparator();
    add(file, CommandId::MirrorUpload);
    add(file, CommandId::MirrorDownload);
    file->addSeparator();
    add(file, CommandId::DeleteMenuItem);
    add(file, CommandId::Rename);
    add(file, CommandId::ChangeAttributes);
    file->addSeparator();
    add(file, CommandId::SaveLog);
    file->addSeparator();
    add(file, CommandId::AppExit);

    QMenu* edit = m_menuBar->AddMenu(QStringLiteral(" 編集(&E)"));
    QMenu* refresh = edit->addMenu(QStringLiteral("再表示"));
    add(refresh, CommandId::Refresh);
    add(refresh, CommandId::RefreshTree);
    edit->addSeparator();
    add(edit, CommandId::SelectAll);
    add(edit, CommandId::InvertSelection);

    QMenu* view = m_menuBar->AddMenu(QStringLiteral(" 表示(&V)"));
    add(view, CommandId::ViewToolBar);
    add(view, CommandId::ViewStatusBar);
    add(view, CommandId::ToggleLog);
    view->addSeparator();
    for (int id :
         {CommandId::ViewLargeIcons, CommandId::ViewSmallIcons, CommandId::ViewList, CommandId::ViewDetails})
        add(view, id);
    view->addSeparator();
    QMenu* sort = view->addMenu(QStringLiteral("ファイルの整列"));
    for (int id :
         {CommandId::SortByName, CommandId::SortBySize, CommandId::SortByDate, CommandId::SortByType})
        add(sort, id);

    QMenu* tools = m_menuBar->AddMenu(QStringLiteral("ツール(&S)"));
    add(tools, CommandId::HostSettings);
    add(tools, CommandId::ImportHosts);
    add(tools, CommandId::Options);

    QMenu* help = m_menuBar->AddMenu(QStringLiteral("ヘルプ(&H)"));
    add(help, CommandId::Help);
    add(help, CommandId::AppAbout);

    for (QMenu* menu : {file, edit, view, tools, help})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);

    // The host tree's menu: "接続設定" reads "ホスト設定" there.
    m_treeMenu = new QMenu(this);
    connect(m_treeMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
    add(m_treeMenu, CommandId::Connect);
    add(m_treeMenu, CommandId::Disconnect);
    m_treeMenu->addSeparator();
    AddCommandAlias(m_treeMenu, Action(CommandId::HostSettings), QStringLiteral("ホスト設定"));
    AddCommandAlias(m_treeMenu, Action(CommandId::ImportHosts), QStringLiteral("ホストを取り込む..."));
    m_tree->SetContextMenu(m_treeMenu);

    m_listMenu = CreateListContextMenu(
        this, [this](int id) { return Action(id); }, [this] { UpdateCommandUi(); });

    m_viewStyleMenu = new QMenu(this);
    for (int id :
         {CommandId::ViewLargeIcons, CommandId::ViewSmallIcons, CommandId::ViewList, CommandId::ViewDetails})
        add(m_viewStyleMenu, id);
}

void CMainFrame::CreateToolBar() {
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("commandToolBar"));
    m_toolBar->setWindowTitle(QStringLiteral("tool bar"));
    m_toolBar->setIconSize(QSize(22, 22));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const Slot& slot : kSlots) {
        if (slot.id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* a = Action(slot.id);
        a->setIcon(toolBarIcon(slot.picture));
        m_toolBar->addAction(a);
        QWidget* button = m_toolBar->widgetForAction(a);
        button->setMinimumSize(30, 28);
        if (slot.id == CommandId::ViewStyleNext) {
            // The button steps to the next display type; its arrow opens the four types.
            auto* tb = qobject_cast<QToolButton*>(button);
            tb->setMenu(m_viewStyleMenu);
            tb->setPopupMode(QToolButton::MenuButtonPopup);
        }
    }
}

void CMainFrame::RestoreBands() {
    for (QToolBar* band : {static_cast<QToolBar*>(m_menuBar), m_toolBar}) {
        // The bands live at the top only; they can be reordered and put on one or two rows.
        band->setAllowedAreas(Qt::TopToolBarArea);
        band->setFloatable(false);
        band->setMovable(true);
    }
    QToolBar* first = m_restored.menu == 1 ? m_toolBar : static_cast<QToolBar*>(m_menuBar);
    QToolBar* second = first == m_toolBar ? static_cast<QToolBar*>(m_menuBar) : m_toolBar;
    addToolBar(Qt::TopToolBarArea, first);
    if (m_restored.rawcount == 2)
        addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, second);

    SettingsKey key;
    key.OpenKey(KeyFamily::Profile, "Frame");
    m_toolBar->setVisible(key.ReadDword("ToolBar", 1) != 0);
    m_statusBar->setVisible(key.ReadDword("StatusBar", 1) != 0);
}

void CMainFrame::RestoreGeometry() {
    const WindowLayout& l = m_restored;
    if (!l.HasUsableRect()) {
        m_normalRect = QRect(pos(), size());
        return;
    }
    // The layout was clamped to the screens when it was read.
    const QRect rect(l.left, l.top, l.right - l.left, l.bottom - l.top);
    resize(rect.size());
    move(rect.topLeft());
    m_normalRect = rect;
}

void CMainFrame::TrackNormalRect() {
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        return;
    m_normalRect = QRect(pos(), size());
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    TrackNormalRect();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    TrackNormalRect();
}

bool CMainFrame::RunCommand(int id) {
    QAction* a = Action(id);
    UpdateCommandUi();
    if (!a || !a->isEnabled())
        return false;
    a->trigger();
    return true;
}

void CMainFrame::UpdateCommandUi() {
    for (auto it = m_actions.constBegin(); it != m_actions.constEnd(); ++it) {
        auto rule = m_enableRules.constFind(it.key());
        it.value()->setEnabled(rule != m_enableRules.constEnd() && (*rule)());
    }
    Action(CommandId::ViewToolBar)->setChecked(m_toolBar->isVisible());
    Action(CommandId::ViewStatusBar)->setChecked(m_statusBar->isVisible());
    const QList<int> rows = m_outer->sizes();
    Action(CommandId::ToggleLog)->setChecked(rows.value(1) != 0);
    const std::pair<CQXListView::DisplayType, int> types[] = {
        {CQXListView::LargeIcons, CommandId::ViewLargeIcons},
        {CQXListView::SmallIcons, CommandId::ViewSmallIcons},
        {CQXListView::List, CommandId::ViewList},
        {CQXListView::Details, CommandId::ViewDetails},
    };
    for (const auto& [type, id] : types) {
        if (m_list->GetDisplayType() == type)
            Action(id)->setChecked(true);
    }
    ShowStatus();
    // While data flows, pane 3 shows the byte count instead of the host.
    if (!m_engine->IsTransferring())
        m_statusBar->SetHostPane(m_tree->TopItemText(), m_tree->TopItemIcon());
}

void CMainFrame::OnConnect() {
    const int host = m_tree->GetTopHostIndex();
    // With no host to connect, a newcomer is shown where hosts are registered.
    if (host == -1)
        OnHostSettings();
    else
        m_engine->Connect(host);
}

void CMainFrame::OnFolderChosen() {
    const std::string path = m_tree->GetCurrentPath();
    m_engine->ChangeFolder(path.empty() ? "/" : path);
}

void CMainFrame::ConnectListView() {
    // The list's own mouse and keys run the commands, under the same rules as the menus.
    connect(m_list, &CQXListView::OpenRequested, this, [this] { RunCommand(CommandId::Open); });
    connect(m_list, &CQXListView::DeleteRequested, this, [this] { RunCommand(CommandId::Delete); });
    connect(m_list, &CQXListView::RenameRequested, this, [this] { RunCommand(CommandId::Rename); });
    connect(m_list, &CQXListView::ContextMenuRequested, this,
            [this](const QPoint& globalPos) { m_listMenu->popup(globalPos); });
    connect(m_list, &CQXListView::LabelEditEnded, this,
            [this](bool newFolder, const std::string& oldName, const QString& typed, bool accepted) {
                FileCommands::FinishNameEdit(*this, newFolder, oldName, typed, accepted);
            });
    // Files dropped from the desktop go up; rows dragged out come down where they were dropped.
    connect(m_list, &CQXListView::UrlsDropped, this, [this](const QList<QUrl>& urls, int folderRow) {
        FileCommands::UploadDropped(*this, urls, folderRow);
    });
    m_list->SetDragOutMaker([this](const std::vector<int>& rows) { return MakeRowsDelivery(*this, rows); });
}

bool CMainFrame::IsConnected() const {
    return m_engine->IsConnected();
}

void CMainFrame::FocusNextPane() {
    QWidget* panes[] = {m_tree, m_list->CurrentView(), m_logView};
    QWidget* focus = QApplication::focusWidget();
    int next = 0;
    for (int i = 0; i < 3; ++i) {
        if (focus && (focus == panes[i] || panes[i]->isAncestorOf(focus)))
            next = (i + 1) % 3;
    }
    panes[next]->setFocus(Qt::ShortcutFocusReason);
}

void CMainFrame::ShowNote(const QString& note) {
    m_note = Note{note, IsConnected() && m_engine->IsBusy(), m_engine->CurrentOperation()};
    ShowStatus();
}

void CMainFrame::ShowStatus() {
    const bool busy = IsConnected() && m_engine->IsBusy();
    const int operation = m_engine->CurrentOperation();
    QString text = m_engineStatus;
    QIcon icon = m_engineStatusIcon;
    const char* running = busy ? OperationStatusText(operation) : nullptr;
    // A note lasts until the session moves on: another operation, a login ending, a disconnect.
    if (m_note.busy != busy || m_note.operation != operation)
        m_note = Note();
    if (!m_note.text.isEmpty()) {
        text = m_note.text;
        icon = QIcon();
    } else if (running) {
        text = QString::fromUtf8(running);
        icon = QIcon();
    } else if (text.isEmpty()) {
        text = HostHint();
    }
    if (text != m_statusBar->StatusText())
        m_statusBar->SetStatusText(text, icon);
}

void CMainFrame::ToggleLog() {
    const QList<int> rows = m_outer->sizes();
    const auto [upper, log] = ToggleLogRows(rows.value(0), rows.value(1));
    m_outer->setSizes({upper, log});
    Action(CommandId::ToggleLog)->setChecked(log != 0);
}

int CMainFrame::BandRows() const {
    if (m_menuBar->isHidden() || m_toolBar->isHidden())
        return m_restored.rawcount;
    return m_menuBar->geometry().top() == m_toolBar->geometry().top() ? 1 : 2;
}

int CMainFrame::MenuBandPosition() const {
    if (m_menuBar->isHidden() || m_toolBar->isHidden())
        return m_restored.menu;
    const QRect menu = m_menuBar->geometry();
    const QRect tools = m_toolBar->geometry();
    if (menu.top() != tools.top())
        return menu.top() < tools.top() ? 0 : 1;
    return menu.left() < tools.left() ? 0 : 1;
}

WindowLayout CMainFrame::CurrentLayout() const {
    WindowLayout l;
    ShowState state = isMinimized()   ? ShowState::Minimised
                      : isMaximized() ? ShowState::Maximised
                                      : ShowState::Normal;
    l.type = TypeFromShowState(state);
    l.sizeStored = true;
    // The restored rectangle: its top left is where the window frame starts, as move() takes it.
    const QRect normal = state == ShowState::Normal ? QRect(pos(), size()) : m_normalRect;
    l.top = normal.top();
    l.left = normal.left();
    l.bottom = normal.top() + normal.height();
    l.right = normal.left() + normal.width();
    const QList<int> rows = m_outer->sizes();
    const QList<int> columns = m_inner->sizes();
    l.treelisth = rows.value(0);
    l.logh = rows.value(1);
    l.treew = columns.value(0);
    l.listw = columns.value(1);
    l.rawcount = BandRows();
    l.menu = MenuBandPosition();
    return l;
}

void CMainFrame::SaveLayout() {
    // About fifteen values: one rewrite of the settings file, not one each.
    SettingsBatch batch;
    SettingsKey key;
    if (key.CreateKey(KeyFamily::Profile, "Frame")) {
        key.WriteDword("ToolBar", m_toolBar->isHidden() ? 0 : 1);
        key.WriteDword("StatusBar", m_statusBar->isHidden() ? 0 : 1);
    }
    WriteWindowLayout(CurrentLayout());
    SaveTransferModeAtExit(Action(CommandId::AsciiMode)->isChecked());
    m_list->SaveListStyle();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    const bool transferring =
        (m_engine->IsConnected() && (m_engine->IsTransferring() || !m_engine->Queue().empty())) ||
        m_queue->HasWork();
    if (!MayCloseDuringTransfer(this, transferring)) {
        event->ignore();
        return;
    }
    // Ending the session closes the control connection once; closing it on its own first as well
    // would close its descriptor twice.
    m_queue->CloseSessions();
    m_engine->CloseSession();
    SaveLayout();
    event->accept();
}

void CMainFrame::ShowWhereSessionIs() {
    if (!m_engine || !IsConnected()) {
        setWindowTitle(QStringLiteral("lumo"));
        m_address->ShowPath(QString());
        return;
    }
    const std::string path = GetCurrentPath();
    const QString folder = path.empty() ? QStringLiteral("/") : DecodeRemoteName(path);
    // The host's name as the tree shows it: never the user or a password.
    setWindowTitle(QStringLiteral("%1 - %2 - lumo").arg(DecodeStoredText(m_engine->Host().Name), folder));
    m_address->ShowPath(folder);
}

std::string CMainFrame::GetCurrentPath() const {
    return m_tree->GetCurrentPath();
}

void CMainFrame::SetConnectedState(bool connected) {
    // How many sessions carry the files is the host's, read as its session begins.
    if (connected)
        m_queue->SetSessions(TransferSessionsFor(m_engine->Host()), false);
    m_tree->SetConnectedState(connected);
    m_list->SetDropsAccepted(connected);
    ShowWhereSessionIs();
    UpdateCommandUi();
    emit ConnectedStateChanged(connected);
}

void CMainFrame::SetStatusText(const std::string& text, const std::string& iconFor) {
    m_engineStatusIcon = iconFor.empty() ? QIcon() : m_list->IconCache().FileIcon(DecodeRemoteName(iconFor));
    m_engineStatus = DecodeMixedText(text);
    if (!m_engineStatus.isEmpty())
        m_note = Note();
    // The engine's text goes up as it comes; a note or an operation's words may take its place.
    m_statusBar->SetStatusText(m_engineStatus, m_engineStatusIcon);
    ShowStatus();
}

void CMainFrame::ShowAboutBox() {
    QDialog box(this);
    box.setWindowTitle(QStringLiteral("バージョン情報"));
    auto* layout = new QVBoxLayout(&box);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(&box);
    icon->setPixmap(windowIcon().pixmap(32, 32));
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* text = new QLabel(
        QStringLiteral("lumo バージョン %1\nFTP クライアント").arg(QCoreApplication::applicationVersion()),
        &box);
    row->addWidget(text, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(buttons);
    box.exec();
}
