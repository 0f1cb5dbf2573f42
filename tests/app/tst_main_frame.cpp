#include "StoreFixture.h"
#include "app/CommandIds.h"
#include "app/WindowLayout.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CMenuBar.h"
#include "app/gui/CProgressStatusBar.h"
#include "app/gui/FileCommands.h"
#include "app/gui/HelpCommand.h"
#include "app/gui/StoreDamageNotice.h"
#include "app/gui/TempFolderNotice.h"
#include "dialogs/DialogDriver.h"
#include "engine/FtpEngine.h"
#include "engine/ListingReader.h"
#include "engine/TransferProgress.h"
#include "fixtures/EngineHosts.h"
#include "fixtures/ScriptedFtpPeer.h"
#include "fixtures/gui/OpenedUrls.h"
#include "gui/settings/CPropSheetHost.h"
#include "gui/settings/HostSheetControls.h"
#include "gui/views/AddressLine.h"
#include "gui/views/CQXListView.h"
#include "gui/views/CQXLogView.h"
#include "gui/views/CQXTreeView.h"
#include "hosts/QXDoc.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>

class TestMainFrame : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void defaultsOfAnEmptyStore();
    void layoutWrittenAtCloseIsRestored();
    void toolBarFirstOnOneRow();
    void maximisedWindowKeepsItsNormalRectangle();
    void hidingAndShowingTheLog();
    void menuBarCommands();
    void toolBarSlotsAndModes();
    void commandsWhileDisconnected();
    void enablingTableOnEveryRoute();
    void cancelledLoginIsSaid();
    void helpOpensTheGuideOrNamesIt();
    void viewCommandsAndListStyle();
    void progressTextsInTheStatusBar();
    void hostPaneFollowsTheTopHost();
    void damagedLayoutOpensOnTheScreen();
    void damagedStoreIsToldOnce();
    void refusedTempFolderIsToldAndNothingGoesElsewhere();
    void importingHostsFromTheToolsMenu();
};

namespace {

void showAndSettle(QWidget& w) {
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCoreApplication::processEvents();
}

void writeDword(KeyFamily family, const char* subkey, const char* name, std::uint32_t value) {
    SettingsKey key;
    QVERIFY(key.CreateKey(family, subkey));
    key.WriteDword(name, value);
}

std::uint32_t readDword(KeyFamily family, const char* subkey, const char* name) {
    SettingsKey key;
    key.OpenKey(family, subkey);
    return key.ReadDword(name, 0xDEAD);
}

// Gives the outer splitter exactly `total` pixels of rows (handle not counted).
void setRowSpace(CMainFrame& f, int total) {
    QSplitter* s = f.OuterSplitter();
    const int have = s->sizes().value(0) + s->sizes().value(1);
    f.resize(f.width(), f.height() + total - have);
    QCoreApplication::processEvents();
    QTRY_COMPARE(s->sizes().value(0) + s->sizes().value(1), total);
}

} // namespace

void TestMainFrame::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
}

void TestMainFrame::defaultsOfAnEmptyStore() {
    StoreFixture fx;
    CMainFrame f;
    showAndSettle(f);
    QCOMPARE(f.windowTitle(), QStringLiteral("lumo"));
    // Without a stored size the window takes two thirds of the screen each way, centred, and the
    // file list most of its height.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize first(std::max(screen.width() * 2 / 3, 590), std::max(screen.height() * 2 / 3, 380));
    QCOMPARE(f.size(), first);
    QCOMPARE(f.pos(), screen.topLeft() + QPoint((screen.width() - first.width()) / 2,
                                                (screen.height() - first.height()) / 2));
    QVERIFY(f.OuterSplitter()->sizes().value(0) > 2 * f.OuterSplitter()->sizes().value(1));
    QVERIFY(f.OuterSplitter()->sizes().value(1) > 0);
    QCOMPARE(f.InnerSplitter()->sizes().value(0), std::max(160, first.width() / 5));
    QVERIFY(!f.RestoredLayout().sizeStored);
    // A larger window goes to the list: the log keeps its height.
    const int logBefore = f.OuterSplitter()->sizes().value(1);
    f.resize(f.width() + 100, f.height() + 100);
    QTRY_COMPARE(f.OuterSplitter()->sizes().value(1), logBefore);
    QVERIFY(f.Action(CommandId::BinaryMode)->isChecked());
    QVERIFY(!f.EngineUi().IsAsciiMode());
    // The menu band comes first, and the tool bar is on a row of its own below it.
    QCOMPARE(f.BandRows(), 2);
    QCOMPARE(f.MenuBandPosition(), 0);
    QVERIFY(f.MenuBand()->geometry().bottom() < f.CommandToolBar()->geometry().top());
    // The three panes in their places.
    QCOMPARE(f.InnerSplitter()->widget(0), static_cast<QWidget*>(f.TreeView()));
    // The file list with its address line above it.
    QCOMPARE(f.ListView()->parentWidget(), f.InnerSplitter()->widget(1));
    QCOMPARE(f.AddressBar()->parentWidget(), f.InnerSplitter()->widget(1));
    QVERIFY(f.AddressBar()->geometry().bottom() < f.ListView()->geometry().top());
    QCOMPARE(f.OuterSplitter()->widget(1), static_cast<QWidget*>(f.LogView()));
    QCOMPARE(CMainFrame::Instance(), &f);
}

void TestMainFrame::layoutWrittenAtCloseIsRestored() {
    StoreFixture fx;
    WindowLayout saved;
    int rewrites = 0;
    {
        CMainFrame f;
        showAndSettle(f);
        f.resize(700, 520);
        f.move(30, 40);
        QCoreApplication::processEvents();
        const QList<int> rows = f.OuterSplitter()->sizes();
        f.OuterSplitter()->setSizes({150, rows.value(0) + rows.value(1) - 150});
        f.InnerSplitter()->setSizes({220, 10000});
        f.Action(CommandId::AsciiMode)->trigger();
        QVERIFY(f.EngineUi().IsAsciiMode());
        QCoreApplication::processEvents();
        QVERIFY(f.RunCommand(CommandId::ViewList));
        saved = f.CurrentLayout();
        rewrites = fx.store().rewrites();
        QVERIFY(f.close());
    }
    // The whole layout, the list's display type with it, reaches the disk in one rewrite.
    QCOMPARE(fx.store().rewrites(), rewrites + 1);
    QCOMPARE(CQXListView::ReadListStyle(), CQXListView::List);
    QCOMPARE(saved.left, 30);
    QCOMPARE(saved.top, 40);
    QCOMPARE(saved.right, 730);
    QCOMPARE(saved.bottom, 560);
    QCOMPARE(saved.treelisth, 150);
    QCOMPARE(saved.treew, 220);
    QCOMPARE(ReadWindowLayout(), saved);
    QCOMPARE(readDword(KeyFamily::Profile, "Window", "sizeright"), 730u);
    QCOMPARE(readDword(KeyFamily::Profile, "view", "treelisth"), 150u);
    QCOMPARE(readDword(KeyFamily::Profile, "rebar", "rawcount"), 2u);
    // The mode is kept only when the user asked for "as at the last exit".
    QCOMPARE(readDword(KeyFamily::Option, "", SettingName::Type), 0xDEADu);

    CMainFrame again;
    showAndSettle(again);
    QCOMPARE(again.pos(), QPoint(30, 40));
    QCOMPARE(again.size(), QSize(700, 520));
    QCOMPARE(again.OuterSplitter()->sizes().value(0), 150);
    QCOMPARE(again.OuterSplitter()->sizes().value(1), saved.logh);
    QCOMPARE(again.InnerSplitter()->sizes(), QList<int>({saved.treew, saved.listw}));
    QVERIFY(!again.EngineUi().IsAsciiMode());
}

void TestMainFrame::toolBarFirstOnOneRow() {
    StoreFixture fx;
    writeDword(KeyFamily::Profile, "rebar", "menu", 1);
    writeDword(KeyFamily::Profile, "rebar", "rawcount", 1);
    CMainFrame f;
    showAndSettle(f);
    QCOMPARE(f.BandRows(), 1);
    QCOMPARE(f.MenuBandPosition(), 1);
    QCOMPARE(f.MenuBand()->geometry().top(), f.CommandToolBar()->geometry().top());
    QVERIFY(f.CommandToolBar()->geometry().left() < f.MenuBand()->geometry().left());
    QVERIFY(f.close());
    QCOMPARE(readDword(KeyFamily::Profile, "rebar", "menu"), 1u);
    QCOMPARE(readDword(KeyFamily::Profile, "rebar", "rawcount"), 1u);
}

void TestMainFrame::maximisedWindowKeepsItsNormalRectangle() {
    StoreFixture fx;
    {
        CMainFrame f;
        showAndSettle(f);
        f.resize(500, 300);
        f.move(20, 10);
        QCoreApplication::processEvents();
        f.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTRY_VERIFY(f.isMaximized());
        QVERIFY(f.close());
    }
    const WindowLayout l = ReadWindowLayout();
    QCOMPARE(l.type, 2u);
    QCOMPARE(ReadStartupShowState(), ShowState::Maximised);
    QCOMPARE(QRect(l.left, l.top, l.right - l.left, l.bottom - l.top), QRect(20, 10, 500, 300));
}

void TestMainFrame::hidingAndShowingTheLog() {
    StoreFixture fx;
    CMainFrame f;
    showAndSettle(f);
    setRowSpace(f, 400);
    QSplitter* s = f.OuterSplitter();
    s->setSizes({300, 100});
    // The third row is the transfer queue's, hidden while it holds nothing.
    QCOMPARE(s->sizes(), QList<int>({300, 100, 0}));
    QAction* logShown = f.Action(CommandId::ToggleLog);
    f.UpdateCommandUi();
    QVERIFY(logShown->isChecked());

    QVERIFY(f.RunCommand(CommandId::ToggleLog));
    QCOMPARE(s->sizes(), QList<int>({400, 0, 0}));
    f.UpdateCommandUi();
    QVERIFY(!logShown->isChecked());

    QVERIFY(f.RunCommand(CommandId::ToggleLog));
    QCOMPARE(s->sizes(), QList<int>({280, 120, 0}));
    f.UpdateCommandUi();
    QVERIFY(logShown->isChecked());
}

void TestMainFrame::menuBarCommands() {
    StoreFixture fx;
    CMainFrame f;
    showAndSettle(f);
    CMenuBar* band = f.MenuBand();
    QCOMPARE(band->MenuCount(), 5);
    QStringList titles;
    for (QAction* a : band->Bar()->actions())
        titles << a->text();
    QCOMPARE(titles, QStringList({QStringLiteral("ファイル(&F)"), QStringLiteral(" 編集(&E)"),
                                  QStringLiteral(" 表示(&V)"), QStringLiteral("ツール(&S)"),
                                  QStringLiteral("ヘルプ(&H)")}));
    QCOMPARE(band->OpenMenuIndex(), -1);
    band->OpenMenu(5); // a sixth title does not exist
    QCOMPARE(band->OpenMenuIndex(), -1);
    band->OpenMenu(2);
    QTRY_COMPARE(band->OpenMenuIndex(), 2);
    band->Bar()->actions().at(2)->menu()->close();
    QTRY_COMPARE(band->OpenMenuIndex(), -1);
}

void TestMainFrame::toolBarSlotsAndModes() {
    StoreFixture fx;
    writeDword(KeyFamily::Option, "", SettingName::Type, 2);
    CMainFrame f;
    showAndSettle(f);
    const QList<QAction*> buttons = f.CommandToolBar()->actions();
    QCOMPARE(buttons.size(), CMainFrame::kToolBarSlots);
    const int ids[CMainFrame::kToolBarSlots] = {32804, 32805, 32836, 0,     32789, 32810,
                                                32823, 32838, 32835, 32813, 0,     32818,
                                                32819, 0,     32816, 32817, 0,     32786};
    for (int i = 0; i < CMainFrame::kToolBarSlots; ++i) {
        if (ids[i] == 0) {
            QVERIFY2(buttons[i]->isSeparator(), qPrintable(QString::number(i)));
            continue;
        }
        QCOMPARE(buttons[i]->data().toInt(), ids[i]);
        QVERIFY(!buttons[i]->icon().isNull());
        QVERIFY(!buttons[i]->icon().pixmap(QSize(22, 20), QIcon::Disabled).isNull());
    }
    QCOMPARE(f.Action(CommandId::Connect)->toolTip(), QStringLiteral("接続します"));
    QCOMPARE(f.Action(CommandId::Connect)->statusTip(),
             QStringLiteral("ツリーの一番上にあるホストに接続します。"));
    // Stored 2 ("as at the last exit", last time ASCII) starts in ASCII; a click switches the group.
    QVERIFY(f.EngineUi().IsAsciiMode());
    QVERIFY(f.RunCommand(CommandId::BinaryMode));
    QVERIFY(!f.EngineUi().IsAsciiMode());
    QVERIFY(f.Action(CommandId::BinaryMode)->isChecked());
    QVERIFY(f.close());
    QCOMPARE(readDword(KeyFamily::Option, "", SettingName::Type), 3u);
}

void TestMainFrame::commandsWhileDisconnected() {
    StoreFixture fx;
    CMainFrame f;
    f.UpdateCommandUi();
    for (int id :
         {CommandId::Connect, CommandId::AppExit, CommandId::ViewToolBar, CommandId::ViewStatusBar,
          CommandId::ToggleLog, CommandId::ViewLargeIcons, CommandId::ViewDetails, CommandId::SortByName,
          CommandId::SortByType, CommandId::AsciiMode, CommandId::ViewStyleNext, CommandId::AppAbout})
        QVERIFY2(f.Action(id)->isEnabled(), qPrintable(QString::number(id)));
    for (int id :
         {CommandId::Disconnect, CommandId::Cancel, CommandId::DeleteMenuItem, CommandId::RefreshTree})
        QVERIFY2(!f.Action(id)->isEnabled(), qPrintable(QString::number(id)));
    // With no host registered the status bar says where hosts are registered, and the connect
    // command opens the host settings; the host stored there goes on top of the tree.
    QCOMPARE(f.TreeView()->GetTopHostIndex(), -1);
    QCOMPARE(f.StatusBar()->StatusText(), QStringLiteral("接続設定でホストを登録"));
    QVERIFY(f.Action(CommandId::HostSettings)->isEnabled());
    WhenModalShown([](QDialog* dialog) {
        auto* sheet = qobject_cast<CPropSheetHost*>(dialog);
        QVERIFY(sheet);
        Control<QLineEdit>(sheet->ConnectPage(), HostSheetControl::Name)->setText(QStringLiteral("初めて"));
        ClickButton(sheet, CPropertySheet::kOkButton);
    });
    QVERIFY(f.RunCommand(CommandId::Connect));
    QCOMPARE(f.TreeView()->GetTopHostIndex(), 0);
    QCOMPARE(f.TreeView()->TopItemText(), QStringLiteral("初めて"));
    QCOMPARE(f.TreeView()->topLevelItem(0)->child(0)->text(0), QStringLiteral("接続"));
    QCOMPARE(f.StatusBar()->StatusText(), QString());
    QVERIFY(!f.Action(CommandId::Disconnect)->isEnabled());

    // F6 walks the panes: host tree, file list, log, and round again. The pane with the focus, and
    // only that one, wears the focus frame.
    showAndSettle(f);
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QWidget* const panes[] = {f.TreeView(), f.ListView()->CurrentView(), f.LogView()};
    const auto framed = [&panes] {
        QList<QWidget*> shown;
        for (QWidget* pane : panes) {
            auto* frame = pane->findChild<QWidget*>(QStringLiteral("focusFrame"), Qt::FindDirectChildrenOnly);
            if (frame && frame->isVisible() && frame->size() == pane->size())
                shown << pane;
        }
        return shown;
    };
    f.TreeView()->setFocus();
    QCOMPARE(framed(), QList<QWidget*>{f.TreeView()});
    QTest::keyClick(f.TreeView(), Qt::Key_F6);
    QVERIFY(f.ListView()->CurrentView()->hasFocus());
    QCOMPARE(framed(), QList<QWidget*>{f.ListView()->CurrentView()});
    QVERIFY(f.RunCommand(CommandId::NextPane));
    QVERIFY(f.LogView()->hasFocus());
    QCOMPARE(framed(), QList<QWidget*>{f.LogView()});
    QVERIFY(f.RunCommand(CommandId::NextPane));
    QVERIFY(f.TreeView()->hasFocus());

    // The bars can be hidden and shown again.
    QVERIFY(f.RunCommand(CommandId::ViewToolBar));
    QVERIFY(f.CommandToolBar()->isHidden());
    f.UpdateCommandUi();
    QVERIFY(!f.Action(CommandId::ViewToolBar)->isChecked());
    QVERIFY(f.RunCommand(CommandId::ViewStatusBar));
    QVERIFY(f.StatusBar()->isHidden());
    QVERIFY(f.close());

    CMainFrame again;
    showAndSettle(again);
    QVERIFY(again.CommandToolBar()->isHidden());
    QVERIFY(again.StatusBar()->isHidden());
    QVERIFY(again.RunCommand(CommandId::ViewToolBar));
    QVERIFY(again.CommandToolBar()->isVisible());
}

// Each command's enabled state in the five states of a session, checked on the command itself, on
// its tool-bar button and on its entry in the list's right-click menu.
void TestMainFrame::enablingTableOnEveryRoute() {
    StoreFixture fx;
    ScriptedFtpPeer peer;
    QVERIFY(peer.listen());
    SaveScriptedHost(peer.port(), true);
    const std::string listing = "drwxr-xr-x 2 u g 512 Jan  5 12:00 pub\r\n"
                                "-rw-r--r-- 1 u g 100 Jan  5 12:00 a.txt\r\n"
                                "-rw-r--r-- 1 u g 200 Jan  5 12:00 b.txt\r\n";
    bool release = false;
    LoginScript(peer, "/").expect("TYPE A").reply("200 ok").expectPasv().expect("LIST").reply("150 list");
    peer.sendData(listing).closeData().reply("226 done");
    // The refresh of the last state waits here, so that an operation runs while the table is read.
    peer.expectPasv().expect("LIST").waitFor([&release] { return release; }).reply("150 list");
    peer.sendData(listing).closeData().reply("226 done");

    CMainFrame f;
    showAndSettle(f);
    enum { Disconnected, Idle, OneRow, SeveralRows, Running, StateCount };
    using namespace CommandId;
    struct Rule {
        int id;
        bool enabled[StateCount];
    };
    const Rule table[] = {
        {Connect, {1, 0, 0, 0, 0}},
        {HostSettings, {1, 0, 0, 0, 0}},
        {ImportHosts, {1, 0, 0, 0, 0}},
        {Options, {1, 0, 0, 0, 0}},
        {Disconnect, {0, 1, 1, 1, 1}},
        {Cancel, {0, 0, 0, 0, 1}},
        {ParentFolder, {0, 1, 1, 1, 1}},
        {Refresh, {0, 1, 1, 1, 1}},
        {Open, {0, 0, 1, 0, 0}},
        {Download, {0, 0, 1, 1, 1}},
        {DownloadAs, {0, 0, 1, 1, 1}},
        {Upload, {0, 1, 1, 1, 1}},
        {MirrorUpload, {0, 1, 1, 1, 0}},
        {MirrorDownload, {0, 1, 1, 1, 0}},
        {Delete, {0, 0, 1, 1, 1}},
        {DeleteMenuItem, {0, 0, 0, 0, 0}},
        {Rename, {0, 0, 1, 1, 1}},
        {ChangeAttributes, {0, 0, 1, 1, 1}},
        {NewFolder, {0, 1, 1, 1, 1}},
        {NewIndexHtml, {0, 1, 1, 1, 1}},
        {SaveLog, {1, 1, 1, 1, 1}},
        {AppExit, {1, 1, 1, 1, 1}},
        {RefreshTree, {0, 0, 0, 0, 0}},
        {SelectAll, {1, 1, 1, 1, 1}},
        {InvertSelection, {1, 1, 1, 1, 1}},
        {ViewToolBar, {1, 1, 1, 1, 1}},
        {ViewStatusBar, {1, 1, 1, 1, 1}},
        {ToggleLog, {1, 1, 1, 1, 1}},
        {ViewLargeIcons, {1, 1, 1, 1, 1}},
        {ViewSmallIcons, {1, 1, 1, 1, 1}},
        {ViewList, {1, 1, 1, 1, 1}},
        {ViewDetails, {1, 1, 1, 1, 1}},
        {ViewStyleNext, {1, 1, 1, 1, 1}},
        {SortByName, {1, 1, 1, 1, 1}},
        {SortBySize, {1, 1, 1, 1, 1}},
        {SortByDate, {1, 1, 1, 1, 1}},
        {SortByType, {1, 1, 1, 1, 1}},
        {AsciiMode, {1, 1, 1, 1, 1}},
        {BinaryMode, {1, 1, 1, 1, 1}},
        {Help, {1, 1, 1, 1, 1}},
        {AppAbout, {1, 1, 1, 1, 1}},
        {NextPane, {1, 1, 1, 1, 1}},
    };
    QList<QMenu*> listMenus{f.ListContextMenu()};
    QList<QAction*> menuEntries;
    for (QAction* a : f.ListContextMenu()->actions()) {
        if (a->menu())
            listMenus << a->menu();
        menuEntries << (a->menu() ? a->menu()->actions() : QList<QAction*>{a});
    }
    auto check = [&](int state) {
        f.UpdateCommandUi();
        for (const Rule& rule : table) {
            QAction* a = f.Action(rule.id);
            QVERIFY2(a, qPrintable(QString::number(rule.id)));
            const QString where = QStringLiteral("command %1 in state %2").arg(rule.id).arg(state);
            QVERIFY2(a->isEnabled() == rule.enabled[state], qPrintable(where));
            if (QWidget* button = f.CommandToolBar()->widgetForAction(a))
                QVERIFY2(button->isEnabled() == rule.enabled[state],
                         qPrintable(where + QStringLiteral(", tool bar")));
        }
        // The right-click menu and its submenu take the states as they open.
        for (QMenu* menu : listMenus)
            emit menu->aboutToShow();
        int entries = 0;
        for (QAction* entry : menuEntries) {
            if (entry->isSeparator())
                continue;
            ++entries;
            QCOMPARE(entry->isEnabled(), f.Action(entry->data().toInt())->isEnabled());
        }
        QCOMPARE(entries, 13);
    };

    check(Disconnected);
    // F5 with its command disabled does nothing.
    QTest::keyClick(&f, Qt::Key_F5);
    QVERIFY(!f.Engine().IsConnected());

    QVERIFY(f.RunCommand(Connect));
    QTRY_COMPARE(f.ListView()->Model().RowCount(), 3);
    QTRY_VERIFY(!f.Engine().CanCancel());
    check(Idle);

    QItemSelectionModel* selection = f.ListView()->SelectionModel();
    const FileListModel& model = f.ListView()->Model();
    selection->setCurrentIndex(model.index(1, 0),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    check(OneRow);
    selection->select(model.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    check(SeveralRows);

    QTest::keyClick(&f, Qt::Key_F5);
    QVERIFY(f.Engine().CanCancel());
    check(Running);
    // What runs is named in the status bar.
    QCOMPARE(f.StatusBar()->StatusText(), QStringLiteral("ファイル一覧を取得しています"));
    release = true;
    QTRY_VERIFY(peer.done());
    QVERIFY2(!peer.failed(), qPrintable(peer.failure()));
    QTRY_VERIFY(!f.Engine().CanCancel());
}

void TestMainFrame::cancelledLoginIsSaid() {
    StoreFixture fx;
    ScriptedFtpPeer peer;
    QVERIFY(peer.listen());
    SaveScriptedHost(peer.port(), true);
    peer.reply("220 ready").expect("USER user").reply("331 password please").expect("PASS secret");
    peer.reply("530 Login incorrect.").expectClose();
    CMainFrame f;
    showAndSettle(f);
    // The account question is cancelled: the login ends, and with it the session, so that no
    // command that needs one stays enabled and does nothing.
    WhenModalShown([](QDialog* d) { d->reject(); });
    QVERIFY(f.RunCommand(CommandId::Connect));
    QTRY_VERIFY(peer.done());
    QVERIFY2(!peer.failed(), qPrintable(peer.failure()));
    QTRY_VERIFY(!f.Engine().IsConnected());
    QVERIFY(f.LogView()->toPlainText().contains(QStringLiteral("ログインを取りやめました。")));
    f.UpdateCommandUi();
    for (int id : {CommandId::Refresh, CommandId::Upload, CommandId::NewFolder, CommandId::ParentFolder,
                   CommandId::Disconnect})
        QVERIFY2(!f.Action(id)->isEnabled(), qPrintable(QString::number(id)));
    QVERIFY(f.Action(CommandId::Connect)->isEnabled());
    QCOMPARE(f.StatusBar()->StatusText(), QString());
}

namespace {
// Runs with an xdg-open of the test's own first on the PATH (none: no xdg-open at all).
struct FakeOpener {
    QTemporaryDir dir;
    QByteArray path = qgetenv("PATH");
    explicit FakeOpener(const QByteArray& script) {
        if (!script.isEmpty()) {
            QFile opener(dir.filePath(QStringLiteral("xdg-open")));
            if (!opener.open(QIODevice::WriteOnly))
                qFatal("no fake xdg-open");
            opener.write("#!/bin/sh\n" + script);
            opener.setPermissions(opener.permissions() | QFile::ExeOwner);
        }
        qputenv("PATH", dir.path().toLocal8Bit() + (script.isEmpty() ? QByteArray() : ":" + path));
    }
    ~FakeOpener() { qputenv("PATH", path); }
    QString opened() const {
        QFile file(dir.filePath(QStringLiteral("opened")));
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).trimmed() : QString();
    }
};

// The text of the next message box, once it shows; the box is answered.
std::shared_ptr<QString> NextMessage() {
    auto shown = std::make_shared<QString>();
    WhenModalShown([shown](QDialog* d) {
        if (auto* box = qobject_cast<QMessageBox*>(d))
            *shown = box->text();
        d->accept();
    });
    return shown;
}
} // namespace

void TestMainFrame::helpOpensTheGuideOrNamesIt() {
    StoreFixture fx;
    CMainFrame f;
    showAndSettle(f);
    const QString guide = UserGuidePath();
    QVERIFY(QFileInfo::exists(guide));
    {
        // The desktop's opener takes the guide that lies beside the program.
        FakeOpener opener("printf '%s\\n' \"$1\" > \"$(dirname \"$0\")/opened\"\n");
        QVERIFY(f.RunCommand(CommandId::Help));
        QTRY_COMPARE(opener.opened(), guide);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
    }
    {
        // The opener runs but no browser takes the file: the path is named, to open it by hand.
        FakeOpener opener("exit 3\n");
        const auto shown = NextMessage();
        QVERIFY(f.RunCommand(CommandId::Help));
        QTRY_VERIFY(!shown->isEmpty());
        QVERIFY2(shown->startsWith(QStringLiteral("ヘルプファイル 「%1」 を開けませんでした。").arg(guide)),
                 qPrintable(*shown));
    }
    {
        // Without xdg-open the desktop's own route is taken.
        FakeOpener none({});
        OpenedUrls opened;
        QVERIFY(f.RunCommand(CommandId::Help));
        QCOMPARE(opened.paths, QStringList{guide});
    }
    const auto shown = NextMessage();
    ShowUserGuide(&f, QStringLiteral("/nowhere/guide/index.html"));
    QTRY_VERIFY(!shown->isEmpty());
    QVERIFY2(shown->startsWith(
                 QStringLiteral("ヘルプファイル 「/nowhere/guide/index.html」 が見つかりませんでした。")),
             qPrintable(*shown));
}

void TestMainFrame::viewCommandsAndListStyle() {
    StoreFixture fx;
    {
        CMainFrame f;
        QCOMPARE(f.ListView()->GetDisplayType(), CQXListView::Details);
        QVERIFY(f.RunCommand(CommandId::ViewLargeIcons));
        QCOMPARE(f.ListView()->GetDisplayType(), CQXListView::LargeIcons);
        f.UpdateCommandUi();
        QVERIFY(f.Action(CommandId::ViewLargeIcons)->isChecked());
        QVERIFY(!f.Action(CommandId::ViewDetails)->isChecked());
        // The style button steps large icons, small icons, list, details.
        const CQXListView::DisplayType steps[] = {CQXListView::SmallIcons, CQXListView::List,
                                                  CQXListView::Details, CQXListView::LargeIcons,
                                                  CQXListView::SmallIcons};
        for (CQXListView::DisplayType expected : steps) {
            QVERIFY(f.RunCommand(CommandId::ViewStyleNext));
            QCOMPARE(f.ListView()->GetDisplayType(), expected);
        }
    }
    QCOMPARE(readDword(KeyFamily::Profile, "list", "ListStyle"), 2u);

    // The sort commands sort the list.
    CMainFrame f;
    const std::string listing = "-rw-r--r-- 1 u g 30 Jan  1  2020 b.txt\r\n"
                                "-rw-r--r-- 1 u g 10 Jan  1  2020 a.txt\r\n";
    f.EngineUi().FillFileList(ReadListingEntries(listing));
    QHeaderView* header = f.ListView()->DetailsView()->header();
    const auto indicator = [header] {
        return std::pair(header->sortIndicatorSection(), header->sortIndicatorOrder());
    };
    QVERIFY(header->isSortIndicatorShown());
    QCOMPARE(f.ListView()->Model().ItemText(0, 0), QStringLiteral("a.txt"));
    QCOMPARE(indicator(), std::pair(0, Qt::AscendingOrder));
    QVERIFY(f.RunCommand(CommandId::SortByName)); // the next sort by name after a fill is descending
    QCOMPARE(f.ListView()->Model().ItemText(0, 0), QStringLiteral("b.txt"));
    QCOMPARE(indicator(), std::pair(0, Qt::DescendingOrder));
    QVERIFY(f.RunCommand(CommandId::SortBySize));
    QCOMPARE(f.ListView()->Model().ItemText(0, 1), QStringLiteral("10"));
    QCOMPARE(indicator(), std::pair(1, Qt::AscendingOrder));
    f.EngineUi().FillFileList(ReadListingEntries(listing));
    QCOMPARE(indicator(), std::pair(0, Qt::AscendingOrder));

    // The size column shows a file of a terabyte whole; the name column takes the width the others
    // leave, and a column the user widened keeps its width.
    QTreeView* details = f.ListView()->DetailsView();
    QVERIFY(details->columnWidth(1) >=
            details->fontMetrics().horizontalAdvance(QStringLiteral("1099511627776")));
    f.ListView()->SetDisplayType(CQXListView::Details);
    f.resize(900, 600);
    showAndSettle(f);
    const auto columnsWidth = [details] {
        int sum = 0;
        for (int c = 0; c < 4; ++c)
            sum += details->columnWidth(c);
        return sum;
    };
    f.InnerSplitter()->setSizes({100, 760});
    QTRY_COMPARE(columnsWidth(), details->viewport()->width());
    const int name = details->columnWidth(0);
    f.resize(1100, 600);
    QTRY_COMPARE(details->columnWidth(0), name + 200);
    QCOMPARE(columnsWidth(), details->viewport()->width());
    header->resizeSection(0, name + 400);
    f.resize(1000, 600);
    QTRY_COMPARE(details->viewport()->width(), columnsWidth() - 300);
    QCOMPARE(details->columnWidth(0), name + 400);
}

void TestMainFrame::progressTextsInTheStatusBar() {
    StoreFixture fx;
    CMainFrame f;
    showAndSettle(f);
    CProgressStatusBar* bar = f.StatusBar();
    QVERIFY(bar->ProgressBar()->isHidden());
    QCOMPARE(bar->SpeedPaneWidth(),
             bar->fontMetrics().horizontalAdvance(QString::fromUtf8(CProgressStatusBar::kSpeedPaneSample)) +
                 8);

    std::int64_t now = 1000;
    CTransferProgress progress([&now] { return now; });
    progress.BeginProgress(0, 100);
    progress.MarkTransferStart();
    progress.AdvanceProgress(0);
    f.EngineUi().ProgressChanged(progress);
    QVERIFY(bar->ProgressBar()->isVisible());
    QCOMPARE(bar->SpeedText(), QStringLiteral("-.--kbyte/s 残り-秒"));
    now += 2;
    progress.AdvanceProgress(100);
    f.EngineUi().ProgressChanged(progress);
    QCOMPARE(bar->SpeedText(), QStringLiteral(" 0.05kbyte/s 残り0秒"));
    QCOMPARE(bar->HostPaneText(), QStringLiteral("100/100byte 100%"));
    QCOMPARE(bar->ProgressBar()->value(), bar->ProgressBar()->maximum());
    // A byte count wider than the pane widens it, so it is read whole.
    const int narrow = bar->HostPaneWidth();
    progress.BeginProgress(0, 5'000'000'000);
    progress.AdvanceProgress(1'048'576);
    f.EngineUi().ProgressChanged(progress);
    QVERIFY(bar->HostPaneWidth() > narrow);
    QVERIFY(bar->HostPaneWidth() >= bar->fontMetrics().horizontalAdvance(bar->HostPaneText()));
    // So does a speed and a wait longer than the pane's sample.
    now += 10'000'000;
    progress.AdvanceProgress(1);
    f.EngineUi().ProgressChanged(progress);
    QVERIFY2(bar->SpeedText().endsWith(QStringLiteral("秒")), qPrintable(bar->SpeedText()));
    QVERIFY(bar->fontMetrics().horizontalAdvance(bar->SpeedText()) >
            bar->fontMetrics().horizontalAdvance(QString::fromUtf8(CProgressStatusBar::kSpeedPaneSample)));
    QVERIFY(bar->SpeedPaneWidth() >= bar->fontMetrics().horizontalAdvance(bar->SpeedText()));

    progress.ResetProgress();
    f.EngineUi().ProgressChanged(progress);
    QVERIFY(bar->ProgressBar()->isHidden());
    QCOMPARE(bar->SpeedText(), QString());

    f.SetStatusText("キャンセル処理中です", "");
    QCOMPARE(bar->StatusText(), QStringLiteral("キャンセル処理中です"));
    // Once the engine has nothing to say, the pane goes back to the hint of a store without hosts.
    f.SetStatusText("", "");
    QCOMPARE(bar->StatusText(), QStringLiteral("接続設定でホストを登録"));
}

void TestMainFrame::hostPaneFollowsTheTopHost() {
    StoreFixture fx;
    CQXDoc doc;
    HostRecord a, b;
    a.Name = "短い";
    b.Name = std::string(60, 'W');
    doc.SaveAllHosts({a, b});
    CMainFrame f;
    f.UpdateCommandUi();
    CProgressStatusBar* bar = f.StatusBar();
    QCOMPARE(bar->HostPaneText(), QStringLiteral("短い"));
    QCOMPARE(bar->HostPaneWidth(), 125);

    // Clicking the second host brings it on top; the pane follows at the next update.
    CQXTreeView* tree = f.TreeView();
    showAndSettle(f);
    QTreeWidgetItem* second = tree->topLevelItem(1);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(second).center());
    QCOMPARE(tree->GetTopHostIndex(), 1);
    // The highlight is on the host that is now on top, not on the place that was clicked.
    QCOMPARE(tree->currentItem(), tree->topLevelItem(0));
    QCOMPARE(tree->selectedItems(), QList<QTreeWidgetItem*>{tree->topLevelItem(0)});
    f.UpdateCommandUi();
    const QString longName = QString(60, QLatin1Char('W'));
    QCOMPARE(bar->HostPaneText(), longName);
    // The name and the host's icon beside it are shown whole.
    QVERIFY(bar->HostPaneWidth() >= bar->fontMetrics().horizontalAdvance(longName) + 16 + 5);
}

void TestMainFrame::damagedLayoutOpensOnTheScreen() {
    StoreFixture fx;
    for (const char* name : {"sizeright", "sizebottom"})
        writeDword(KeyFamily::Profile, "Window", name, 0x7ffffff0);
    writeDword(KeyFamily::Profile, "Window", "sizeleft", 0x80000010);
    for (const char* name : {"treelisth", "logh", "treew", "listw"})
        writeDword(KeyFamily::Profile, "view", name, 0x7ffffff0);
    CMainFrame f;
    showAndSettle(f);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(screen.contains(QRect(f.pos(), f.size())));
    QVERIFY(f.OuterSplitter()->sizes().value(0) <= screen.height());
    QVERIFY(f.InnerSplitter()->sizes().value(1) <= screen.width());
}

void TestMainFrame::damagedStoreIsToldOnce() {
    StoreFixture fx;
    InstallStoreDamageNotice();
    const QByteArray damaged = "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\lumo\\lumo\\view]\n"
                               "\"treew\"=dword:00000064\n\"logh\"=dword:?\n";
    auto writeStore = [&] {
        QFile f(fx.filePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(damaged);
    };
    auto boxes = [] {
        QList<QMessageBox*> shown;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                shown << box;
        }
        return shown;
    };
    writeStore();
    CMainFrame f;
    showAndSettle(f);
    QCOMPARE(f.InnerSplitter()->sizes().value(0), 100);
    QTRY_COMPARE(boxes().size(), 1);
    const QString aside = fx.store().movedAsidePath();
    QVERIFY(!aside.isEmpty());
    QVERIFY(boxes().front()->text().contains(aside));
    // Damage found again later in the same run is not told a second time.
    writeStore();
    QCOMPARE(readDword(KeyFamily::Profile, "view", "treew"), 100u);
    QVERIFY(fx.store().movedAsidePath() != aside);
    QTest::qWait(50);
    QCOMPARE(boxes().size(), 1);
    boxes().front()->accept();
    RegistryStore::setDamageHandler({});
}

void TestMainFrame::refusedTempFolderIsToldAndNothingGoesElsewhere() {
    StoreFixture fx;
    // The cache is the test's own, as the program finds it outside of Qt's test mode.
    QTemporaryDir cache;
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    QStandardPaths::setTestModeEnabled(false);
    const auto restore = qScopeGuard([&oldCache] {
        qputenv("XDG_CACHE_HOME", oldCache);
        QStandardPaths::setTestModeEnabled(true);
    });
    const QString temp = cache.path() + QStringLiteral("/lumo/tmp");
    QVERIFY(QDir().mkpath(temp));
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                      QFileDevice::ReadGroup | QFileDevice::ExeGroup;
    QVERIFY(QFile::setPermissions(temp, open));
    CMainFrame f;
    showAndSettle(f);

    // At start: a box says what is wrong and how to mend it.
    QString told;
    WhenModalShown([&told](QDialog* d) {
        told = qobject_cast<QMessageBox*>(d) ? qobject_cast<QMessageBox*>(d)->text() : QString();
        d->accept();
    });
    QVERIFY(NoticeRefusedTempFolder(&f));
    QTRY_VERIFY(!told.isEmpty());
    QVERIFY2(told.contains(QStringLiteral("chmod 700 ") + temp), qPrintable(told));

    // A file opened by double click would go there: it goes nowhere, and the log says why.
    f.EngineUi().FillFileList(ReadListingEntries("-rw-r--r-- 1 u g 30 Jan  1  2020 b.txt\r\n"));
    f.ListView()->SelectAll();
    const QString boxed = MessageFrom([&f] { FileCommands::Open(f); });
    QVERIFY2(boxed.contains(QStringLiteral("ダウンロードしませんでした")), qPrintable(boxed));
    QVERIFY(f.LogView()->toPlainText().contains(
        QStringLiteral("一時フォルダが使えないため、ダウンロードしませんでした。\n一時フォルダ %1 "
                       "はほかのユーザーも開けるため")
            .arg(temp)));
    QVERIFY(f.Engine().Host().DownPath.empty());
    QVERIFY(QFile::permissions(temp).testFlag(QFileDevice::ReadGroup));

    // Mended as told: nothing more to say.
    QVERIFY(QFile::setPermissions(temp,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    QVERIFY(!NoticeRefusedTempFolder(&f));
}

void TestMainFrame::importingHostsFromTheToolsMenu() {
    StoreFixture fx;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sitemanager.xml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"(<FileZilla3><Servers><Folder>お客様<Server><Host>ftp.example.jp</Host><Port>21</Port>
        <Protocol>0</Protocol><Logontype>0</Logontype><Name>サーバー</Name></Server></Folder>
        <Server><Host>ssh.example.jp</Host><Protocol>1</Protocol><Name>ssh</Name></Server></Servers></FileZilla3>)");
    file.close();
    CMainFrame f;
    showAndSettle(f);
    // Beside the host settings in the tools menu, and in the host tree's menu.
    QMenu* tools = f.MenuBand()->Bar()->actions().at(3)->menu();
    QVERIFY(tools->actions().contains(f.Action(CommandId::ImportHosts)));
    bool inTreeMenu = false;
    for (QMenu* menu : f.findChildren<QMenu*>()) {
        for (QAction* a : menu->actions())
            inTreeMenu = inTreeMenu || (a->data().toInt() == CommandId::ImportHosts &&
                                        a->text() == QStringLiteral("ホストを取り込む..."));
    }
    QVERIFY(inTreeMenu);

    QString headline;
    QString hosts;
    WhenModalShown([&](QDialog* d) {
        auto* chooser = qobject_cast<QFileDialog*>(d);
        QVERIFY(chooser);
        WhenModalShown([&](QDialog* box) {
            QCOMPARE(box->objectName(), QStringLiteral("ImportSummary"));
            headline = box->findChild<QLabel*>()->text();
            hosts = box->findChild<QPlainTextEdit*>()->toPlainText();
            box->accept();
        });
        chooser->selectFile(path);
        d->accept();
    });
    QVERIFY(f.RunCommand(CommandId::ImportHosts));
    QCOMPARE(headline, QStringLiteral("1 件のホストを取り込みました。1 件は取り込みませんでした。"));
    QVERIFY2(hosts.contains(QStringLiteral("取り込み: お客様/サーバー")), qPrintable(hosts));
    QVERIFY2(hosts.contains(QStringLiteral("取り込まず: ssh — SFTP のサイトです")), qPrintable(hosts));
    // The tree shows the new host.
    QCOMPARE(f.TreeView()->TopItemText(), QStringLiteral("お客様/サーバー"));
}

QTEST_MAIN(TestMainFrame)
#include "tst_main_frame.moc"
