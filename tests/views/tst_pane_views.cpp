#include "StoreFixture.h"
#include "engine/ListingReader.h"
#include "gui/views/CQXListView.h"
#include "gui/views/CQXLogView.h"
#include "gui/views/CQXTreeView.h"
#include "hosts/QXDoc.h"
#include "platform/TextCodec.h"
#include "platform/gui/FontFaces.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"
#include "views/LogText.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QSignalSpy>
#include <QTextLayout>
#include <QTreeView>
#include <QtTest>

using Node = HostTreeModel::Node;

class TestPaneViews : public QObject {
    Q_OBJECT
private slots:
    void treeShowsHostsAndSwapsOnClick();
    void treeFoldersFollowPwdAndListings();
    void treeDoubleClickAndRightClick();
    void listFillAndHeaderSort();
    void listSelectionKeysAndNameEditor();
    void listDisplayTypesAndIcons();
    void logAppearance();
    void logDrawsJapaneseAndLatinInOneFace();
    void logFollowsTheLogTextAndCopies();
};

namespace {

void saveHosts(const std::vector<std::pair<std::string, int>>& hosts) {
    HostList list;
    for (const auto& [name, hide] : hosts) {
        HostRecord r;
        r.Name = name;
        r.Hide = hide;
        list.push_back(r);
    }
    CQXDoc().SaveAllHosts(list);
}

QStringList childTexts(QTreeWidgetItem* item) {
    QStringList out;
    for (int i = 0; i < item->childCount(); ++i)
        out << item->child(i)->text(0);
    return out;
}

void click(CQXTreeView& tree, QTreeWidgetItem* item, Qt::MouseButton button = Qt::LeftButton) {
    QRect r = tree.visualItemRect(item);
    QTest::mouseClick(tree.viewport(), button, {}, QPoint(r.left() + 20, r.center().y()));
}

const char* const kListing = "total 12\r\n"
                             "drwxr-xr-x 2 u g 4096 Jan  1  2020 .\r\n"
                             "drwxr-xr-x 2 u g 4096 Jan  1  2020 ..\r\n"
                             "-rw-r--r-- 1 u g 300 Feb  2  2021 b.txt\r\n"
                             "drwxr-xr-x 2 u g 4096 Mar  3  2019 pub\r\n"
                             "-rw-r--r-- 1 u g 20 Apr  4  2022 a.txt\r\n"
                             "lrwxrwxrwx 1 u g 8 May  5  2020 www -> /var/www\r\n"
                             "-rw-r--r-- 1 u g 1000 Jun  6  2018 c.png\r\n";

QStringList column(const FileListModel& m, int c) {
    QStringList out;
    for (int r = 0; r < m.RowCount(); ++r)
        out << m.ItemText(r, c);
    return out;
}

} // namespace

void TestPaneViews::treeShowsHostsAndSwapsOnClick() {
    StoreFixture fx;
    {
        CQXTreeView empty;
        QCOMPARE(empty.topLevelItemCount(), 1);
        QCOMPARE(empty.topLevelItem(0)->text(0), QStringLiteral("登録ホストはありません"));
        QCOMPARE(empty.GetTopHostIndex(), -1);
    }
    saveHosts({{"一番", 0}, {"隠し", 1}, {"三番", 0}});
    CQXTreeView tree;
    tree.resize(300, 300);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QCOMPARE(tree.topLevelItemCount(), 2);
    QTreeWidgetItem* top = tree.topLevelItem(0);
    QCOMPARE(top->text(0), QStringLiteral("一番"));
    QCOMPARE(childTexts(top), QStringList({"接続", "ローカル", "ホスト"}));
    QVERIFY(top->isExpanded());
    QVERIFY(!top->icon(0).isNull());

    // A click on the third host while disconnected brings it on top.
    click(tree, tree.topLevelItem(1));
    QCOMPARE(tree.topLevelItem(0)->text(0), QStringLiteral("三番"));
    QCOMPARE(tree.topLevelItem(1)->text(0), QStringLiteral("一番"));
    QCOMPARE(tree.GetTopHostIndex(), 2);
    QCOMPARE(tree.HostKeyName(), std::string("Host2"));
    QCOMPARE(tree.currentItem(), tree.topLevelItem(0));
    QCOMPARE(tree.TopItemText(), QStringLiteral("三番"));

    // While connected the top host stays.
    tree.SetConnectedState(true);
    QCOMPARE(tree.topLevelItem(0)->child(0)->text(0), QStringLiteral("切断"));
    click(tree, tree.topLevelItem(1));
    QCOMPARE(tree.GetTopHostIndex(), 2);
}

void TestPaneViews::treeFoldersFollowPwdAndListings() {
    StoreFixture fx;
    saveHosts({{"host", 0}});
    CQXTreeView tree;
    tree.resize(300, 400);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QSignalSpy chosen(&tree, &CQXTreeView::FolderChosen);
    tree.SetConnectedState(true);
    QTreeWidgetItem* root = tree.topLevelItem(0)->child(2);
    QCOMPARE(root->text(0), QStringLiteral("ホスト"));

    tree.SetCurrentFolder("/");
    QCOMPARE(tree.GetCurrentPath(), std::string());
    tree.SetCurrentFolder("/a/c");
    tree.SetCurrentFolder("/a/b");
    QCOMPARE(childTexts(root), QStringList({"/a"}));
    QCOMPARE(childTexts(root->child(0)), QStringList({"c", "b"}));
    QCOMPARE(tree.GetCurrentPath(), std::string("/a/b"));

    // A listing of /a/b: its subfolders become the children of b, named as the server sends them.
    tree.SyncFolderChildren({"x", "\x83\x65\x83\x58\x83\x67"}); // "テスト" in CP932
    tree.FinishTreeUpdate();
    QVERIFY(tree.updatesEnabled());
    QTreeWidgetItem* b = root->child(0)->child(1);
    QCOMPARE(childTexts(b), QStringList({"x", "テスト"}));
    tree.SyncFolderChildren({"テスト"});
    tree.FinishTreeUpdate();
    QCOMPARE(childTexts(b), QStringList({"テスト"}));

    // With treeexpand the current folder is shown selected and open after a listing, and that
    // selection does not change the remote folder.
    {
        SettingsKey key;
        QVERIFY(key.CreateKey(KeyFamily::Option));
        key.WriteDword(SettingName::TreeExpand, 1);
    }
    tree.SyncFolderChildren({"x"});
    tree.FinishTreeUpdate();
    QCOMPARE(tree.currentItem(), b);
    QVERIFY(b->isExpanded());
    QCOMPARE(chosen.count(), 0);

    // Clicking a folder makes it the current folder and asks for the change of folder.
    tree.expandAll();
    QTreeWidgetItem* c = root->child(0)->child(0);
    click(tree, c);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(tree.GetCurrentPath(), std::string("/a/c"));

    // Disconnecting takes all folder items away.
    tree.SetConnectedState(false);
    QCOMPARE(root->childCount(), 0);
    QCOMPARE(tree.topLevelItem(0)->child(0)->text(0), QStringLiteral("接続"));
}

void TestPaneViews::treeDoubleClickAndRightClick() {
    StoreFixture fx;
    saveHosts({{"one", 0}, {"two", 0}});
    CQXTreeView tree;
    QMenu menu;
    menu.addAction(QStringLiteral("接続(&C)"));
    tree.SetContextMenu(&menu);
    tree.resize(300, 300);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QSignalSpy connects(&tree, &CQXTreeView::ConnectRequested);
    QSignalSpy disconnects(&tree, &CQXTreeView::DisconnectRequested);
    QTreeWidgetItem* connection = tree.topLevelItem(0)->child(0);
    const QPoint at = tree.visualItemRect(connection).topLeft() + QPoint(20, 5);
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(connects.count(), 1);
    tree.SetConnectedState(true);
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(disconnects.count(), 1);
    // Beside the items nothing happens.
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, QPoint(250, 290));
    QCOMPARE(connects.count() + disconnects.count(), 2);

    // A right click opens the menu and leaves the selection where it was.
    tree.setCurrentItem(tree.topLevelItem(0));
    click(tree, tree.topLevelItem(1), Qt::RightButton);
    QTRY_VERIFY(menu.isVisible());
    QCOMPARE(tree.currentItem(), tree.topLevelItem(0));
    menu.close();
}

void TestPaneViews::listFillAndHeaderSort() {
    StoreFixture fx;
    CQXListView list;
    list.resize(500, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const std::vector<std::string> folders = list.FillFromEntries(ReadListingEntries(kListing));
    QCOMPARE(folders, (std::vector<std::string>{"pub", "www"}));
    const FileListModel& m = list.Model();
    QCOMPARE(column(m, 0), QStringList({"pub", "www", "a.txt", "b.txt", "c.png"}));
    QCOMPARE(m.ItemText(1, 1), QString());
    QCOMPARE(m.ItemText(1, 3), QStringLiteral("drwxrwxrwx"));
    QHeaderView* header = list.DetailsView()->header();
    QCOMPARE(header->count(), 4);
    QCOMPARE(m.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("名前"));
    // At least the classic widths, and a whole date and attribute text fit in whatever font.
    QVERIFY(list.DetailsView()->columnWidth(0) >= 150);
    QVERIFY(list.DetailsView()->columnWidth(1) >= 60);
    const QFontMetrics metrics(list.DetailsView()->font());
    QVERIFY(list.DetailsView()->columnWidth(2) >
            metrics.horizontalAdvance(QStringLiteral("2026/12/08 12:00")));
    QVERIFY(list.DetailsView()->columnWidth(3) > metrics.horizontalAdvance(QStringLiteral("drwxr-xr-x")));

    auto clickHeader = [&](int section) {
        const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    clickHeader(1);
    QCOMPARE(column(m, 0), QStringList({"pub", "www", "a.txt", "b.txt", "c.png"}));
    clickHeader(1); // descending: the whole comparison turns round, folders last
    QCOMPARE(column(m, 0), QStringList({"c.png", "b.txt", "a.txt", "pub", "www"}));
    clickHeader(2);
    QCOMPARE(column(m, 0), QStringList({"pub", "www", "c.png", "b.txt", "a.txt"}));
    clickHeader(0); // after another column, names start ascending again
    QCOMPARE(column(m, 0), QStringList({"pub", "www", "a.txt", "b.txt", "c.png"}));

    list.DetailsView()->selectionModel()->select(m.index(3, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list.DetailsView()->selectionModel()->select(m.index(1, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(list.SelectedRows(), (std::vector<int>{1, 3}));
    // A sort keeps the selection on the entries, not on the places: a command after it must act on
    // what was chosen.
    clickHeader(1);
    QCOMPARE(column(m, 0), QStringList({"pub", "www", "a.txt", "b.txt", "c.png"}));
    clickHeader(1);
    QStringList chosen;
    for (int row : list.SelectedRows())
        chosen << m.ItemText(row, 0);
    QCOMPARE(chosen, (QStringList{"b.txt", "www"}));
    list.Clear();
    QCOMPARE(m.RowCount(), 0);
}

void TestPaneViews::listSelectionKeysAndNameEditor() {
    StoreFixture fx;
    CQXListView list;
    list.resize(500, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowActive(&list));
    list.FillFromEntries(ReadListingEntries(kListing));

    // Select all and invert: the rows that remain, and the mark (the current row while chosen).
    list.SelectAll();
    QCOMPARE(list.SelectedCount(), 5);
    list.SelectionModel()->setCurrentIndex(list.Model().index(2, 0),
                                           QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    QCOMPARE(list.SelectionMark(), -1);
    list.InvertSelection();
    QCOMPARE(list.SelectedRows(), std::vector<int>{2});
    QCOMPARE(list.SelectionMark(), 2);
    list.InvertSelection();
    QCOMPARE(list.SelectedRows(), (std::vector<int>{0, 1, 3, 4}));

    // Enter that ends a name edit hands the name over and opens nothing; outside an edit it opens.
    QSignalSpy opened(&list, &CQXListView::OpenRequested);
    QSignalSpy edited(&list, &CQXListView::LabelEditEnded);
    list.SetDisplayType(CQXListView::LargeIcons);
    list.StartLabelEdit(2);
    QLineEdit* editor = nullptr;
    QTRY_VERIFY((editor = list.IconView()->viewport()->findChild<QLineEdit*>()));
    editor->setText(QStringLiteral("z.txt"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(edited.count(), 1);
    QCOMPARE(edited[0][1].value<std::string>(), std::string("a.txt"));
    QCOMPARE(edited[0][2].toString(), QStringLiteral("z.txt"));
    QCOMPARE(opened.count(), 0);
    QCOMPARE(list.Model().ItemText(2, 0), QStringLiteral("a.txt"));
    QTest::keyClick(list.IconView(), Qt::Key_Return);
    QCOMPARE(opened.count(), 1);
}

void TestPaneViews::listDisplayTypesAndIcons() {
    StoreFixture fx;
    {
        SettingsKey key;
        QVERIFY(key.CreateKey(KeyFamily::Profile, SettingName::ListKey));
        key.WriteDword("ListStyle", 7);
    }
    {
        CQXListView list;
        QCOMPARE(list.GetDisplayType(), CQXListView::List);
        QCOMPARE(list.currentWidget(), static_cast<QWidget*>(list.IconView()));
        QCOMPARE(list.IconView()->flow(), QListView::TopToBottom);
        list.SetDisplayType(CQXListView::LargeIcons);
        QCOMPARE(list.IconView()->viewMode(), QListView::IconMode);
        QCOMPARE(list.IconView()->iconSize(), QSize(32, 32));
        list.SetDisplayType(CQXListView::Details);
        QCOMPARE(list.currentWidget(), static_cast<QWidget*>(list.DetailsView()));

        // One picture per extension; folders share one. Looking at rows does not look pictures up again.
        list.FillFromEntries(ReadListingEntries(kListing));
        const FileListModel& m = list.Model();
        for (int r = 0; r < m.RowCount(); ++r)
            QVERIFY(!m.data(m.index(r, 0), Qt::DecorationRole).value<QIcon>().isNull());
        QCOMPARE(list.IconCache().CachedExtensions(), 2); // txt and png
        QCOMPARE(list.IconCache().FileIcon(QStringLiteral("Z.TXT")).cacheKey(),
                 list.IconCache().FileIcon(QStringLiteral("a.txt")).cacheKey());
        QCOMPARE(list.IconCache().CachedExtensions(), 2);
        const QIcon pub = m.data(m.index(0, 0), Qt::DecorationRole).value<QIcon>();
        const QIcon www = m.data(m.index(1, 0), Qt::DecorationRole).value<QIcon>();
        QCOMPARE(pub.cacheKey(), www.cacheKey());
        QVERIFY(!m.data(m.index(0, 1), Qt::DecorationRole).isValid());
    }
    SettingsKey key;
    key.OpenKey(KeyFamily::Profile, SettingName::ListKey);
    QCOMPARE(key.ReadDword("ListStyle", 9), 1u);
}

void TestPaneViews::logAppearance() {
    StoreFixture fx;
    const QColor face(0xD4, 0xD0, 0xC8), window(Qt::white);
    LogAppearance a = ReadLogAppearance(face, window);
    QCOMPARE(a.text, QColor(Qt::black));
    QCOMPARE(a.background, face);
    QCOMPARE(a.face, QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(a.pointSize, 11);

    SettingsKey key;
    QVERIFY(key.CreateKey(KeyFamily::Profile, SettingName::LogKey));
    key.WriteDword("usedefft", 0);
    key.WriteString("font", "");
    key.WriteString("fontsize", "30");
    key.WriteDword("ftcolor", 0x0000FF); // red in 0x00BBGGRR
    key.WriteDword("usedefcolor", 0);
    a = ReadLogAppearance(face, window);
    QCOMPARE(a.face, QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(a.pointSize, 11);
    QCOMPARE(a.text, QColor(255, 0, 0));
    QCOMPARE(a.background, window);

    key.WriteString("font", "IPAGothic");
    key.WriteString("fontsize", "14");
    key.WriteDword("usewincolor", 0);
    key.WriteDword("bkcolor", 0x00FF00);
    a = ReadLogAppearance(face, window);
    QCOMPARE(a.face, QStringLiteral("IPAGothic"));
    QCOMPARE(a.pointSize, 14);
    QCOMPARE(a.background, QColor(0, 255, 0));

    CQXLogView view;
    QCOMPARE(view.font().family(), QStringLiteral("IPAGothic"));
    QCOMPARE(view.font().pointSize(), 14);
    QCOMPARE(view.palette().color(QPalette::Base), QColor(0, 255, 0));
    QCOMPARE(view.palette().color(QPalette::Text), QColor(255, 0, 0));
    QVERIFY(view.isReadOnly());
    QCOMPARE(view.lineWrapMode(), QPlainTextEdit::NoWrap);
}

void TestPaneViews::logDrawsJapaneseAndLatinInOneFace() {
    StoreFixture fx;
    const QString japanese = JapaneseFixedWidthFace();
    QVERIFY2(!japanese.isEmpty(), "no Japanese fixed-width face is installed (fonts-ipafont-gothic)");
    QVERIFY(QFontDatabase::writingSystems(japanese).contains(QFontDatabase::Japanese));
    // The stored Windows names keep working: each is drawn with an installed Japanese face.
    QCOMPARE(FaceUsedFor(QStringLiteral("ＭＳ ゴシック")), japanese);
    QVERIFY(QFontDatabase::writingSystems(FaceUsedFor(QStringLiteral("MS UI Gothic")))
                .contains(QFontDatabase::Japanese));

    // The default log: one face for a line that mixes Latin and Japanese, so both have one size.
    CQXLogView view;
    QTextLayout layout(QStringLiteral("226 転送が完了しました: report_2026.txt"), view.font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QStringList faces;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        if (!faces.contains(run.rawFont().familyName()))
            faces << run.rawFont().familyName();
    }
    QCOMPARE(faces, QStringList{japanese});

    // A face chosen without Japanese glyphs gets the Japanese fixed-width face for the rest.
    const QFont chosen = FixedWidthFont(QStringLiteral("DejaVu Sans Mono"), 12);
    QCOMPARE(chosen.families(), (QStringList{QStringLiteral("DejaVu Sans Mono"), japanese}));
    QCOMPARE(chosen.pointSize(), 12);
}

void TestPaneViews::logFollowsTheLogTextAndCopies() {
    StoreFixture fx;
    // A small limit makes the log trim after a few hundred lines.
    CLogText log(CLogText::kTrimMargin + 2000);
    log.AppendLog("earlier\r\n");
    CQXLogView view;
    view.SetLogText(&log);
    QCOMPARE(view.toPlainText(), QStringLiteral("earlier\n"));
    log.AppendLog("USER demo\r\n");
    QCOMPARE(view.toPlainText(), QStringLiteral("earlier\nUSER demo\n"));
    // A reply of a UTF-8 line and a CP932 one: each line is shown in its own set.
    log.AppendLog("220-ようこそ\r\n220 \x83\x65\x83\x58\x83\x67\r\n");
    QCOMPARE(view.toPlainText(), QStringLiteral("earlier\nUSER demo\n220-ようこそ\n220 テスト\n"));

    for (int i = 0; i < 400; ++i)
        log.AppendLog("line " + std::to_string(i) + "\r\n");
    // The pane shows exactly what the log still holds.
    QString expected = DecodeUtf8(log.Text());
    expected.remove(QLatin1Char('\r'));
    QCOMPARE(view.toPlainText(), expected);
    QCOMPARE(view.document()->blockCount(), log.LineCount());

    view.selectAll();
    view.copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    // Typing into the pane changes nothing.
    view.setFocus();
    QTest::keyClicks(&view, "xyz");
    QCOMPARE(view.toPlainText(), expected);
}

QTEST_MAIN(TestPaneViews)
#include "tst_pane_views.moc"
