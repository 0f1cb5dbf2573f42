#include "StoreFixture.h"
#include "app/CommandIds.h"
#include "app/WindowLayout.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CMenuBar.h"
#include "app/gui/CProgressStatusBar.h"
#include "app/gui/StoreDamageNotice.h"
#include "engine/TransferProgress.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"
#include "views/QXDoc.h"
#include "views/gui/CQXListView.h"
#include "views/gui/CQXLogView.h"
#include "views/gui/CQXTreeView.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QToolBar>
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
    void viewCommandsAndListStyle();
    void progressTextsInTheStatusBar();
    void hostPaneFollowsTheTopHost();
    void damagedLayoutOpensOnTheScreen();
    void damagedStoreIsToldOnce();
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
    QCOMPARE(f.pos(), QPoint(0, 0));
    QCOMPARE(f.size(), QSize(590, 380));
    QCOMPARE(f.OuterSplitter()->sizes().value(0), 200);
    QVERIFY(f.OuterSplitter()->sizes().value(1) > 0);
    QCOMPARE(f.InnerSplitter()->sizes().value(0), 160);
    QCOMPARE(f.RestoredLayout(), WindowLayout{});
    QVERIFY(f.Action(CommandId::BinaryMode)->isChecked());
    QVERIFY(!f.IsAsciiMode());
    // The menu band comes first, and the tool bar is on a row of its own below it.
    QCOMPARE(f.BandRows(), 2);
    QCOMPARE(f.MenuBandPosition(), 0);
    QVERIFY(f.MenuBand()->geometry().bottom() < f.CommandToolBar()->geometry().top());
    // The three panes in their places.
    QCOMPARE(f.InnerSplitter()->widget(0), static_cast<QWidget*>(f.TreeView()));
    QCOMPARE(f.InnerSplitter()->widget(1), static_cast<QWidget*>(f.ListView()));
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
        f.OuterSplitter()->setSizes({150, 10000});
        f.InnerSplitter()->setSizes({220, 10000});
        f.Action(CommandId::AsciiMode)->trigger();
        QVERIFY(f.IsAsciiMode());
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
    QVERIFY(!again.IsAsciiMode());
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
    QCOMPARE(s->sizes(), QList<int>({300, 100}));
    QAction* logShown = f.Action(CommandId::ToggleLog);
    f.UpdateCommandUi();
    QVERIFY(logShown->isChecked());

    QVERIFY(f.RunCommand(CommandId::ToggleLog));
    QCOMPARE(s->sizes(), QList<int>({400, 0}));
    f.UpdateCommandUi();
    QVERIFY(!logShown->isChecked());

    QVERIFY(f.RunCommand(CommandId::ToggleLog));
    QCOMPARE(s->sizes(), QList<int>({280, 120}));
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
    QVERIFY(f.IsAsciiMode());
    QVERIFY(f.RunCommand(CommandId::BinaryMode));
    QVERIFY(!f.IsAsciiMode());
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
    // With no host registered the connect command finds nothing to connect.
    QCOMPARE(f.TreeView()->GetTopHostIndex(), -1);
    QVERIFY(f.RunCommand(CommandId::Connect));
    QVERIFY(!f.Action(CommandId::Disconnect)->isEnabled());

    // The bars can be hidden and shown again.
    showAndSettle(f);
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
    f.FillFileList("-rw-r--r-- 1 u g 30 Jan  1  2020 b.txt\r\n"
                   "-rw-r--r-- 1 u g 10 Jan  1  2020 a.txt\r\n");
    QCOMPARE(f.ListView()->Model().ItemText(0, 0), QStringLiteral("a.txt"));
    QVERIFY(f.RunCommand(CommandId::SortByName)); // the next sort by name after a fill is descending
    QCOMPARE(f.ListView()->Model().ItemText(0, 0), QStringLiteral("b.txt"));
    QVERIFY(f.RunCommand(CommandId::SortBySize));
    QCOMPARE(f.ListView()->Model().ItemText(0, 1), QStringLiteral("10"));
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
    f.ProgressChanged(progress);
    QVERIFY(bar->ProgressBar()->isVisible());
    QCOMPARE(bar->SpeedText(), QStringLiteral("-.--kbyte/s 残り-秒"));
    now += 2;
    progress.AdvanceProgress(100);
    f.ProgressChanged(progress);
    QCOMPARE(bar->SpeedText(), QStringLiteral(" 0.05kbyte/s 残り0秒"));
    QCOMPARE(bar->HostPaneText(), QStringLiteral("100/100byte 100%"));
    QCOMPARE(bar->ProgressBar()->value(), bar->ProgressBar()->maximum());

    progress.ResetProgress();
    f.ProgressChanged(progress);
    QVERIFY(bar->ProgressBar()->isHidden());
    QCOMPARE(bar->SpeedText(), QString());

    f.SetStatusText("キャンセル処理中です", "");
    QCOMPARE(bar->StatusText(), QStringLiteral("キャンセル処理中です"));
    f.SetStatusText("", "");
    QCOMPARE(bar->StatusText(), QString());
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
    f.UpdateCommandUi();
    const QString longName = QString(60, QLatin1Char('W'));
    QCOMPARE(bar->HostPaneText(), longName);
    QCOMPARE(bar->HostPaneWidth(), bar->fontMetrics().horizontalAdvance(longName) + 5);
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

QTEST_MAIN(TestMainFrame)
#include "tst_main_frame.moc"
