#include "engine/ListingParser.h"
#include "views/FileListModel.h"
#include "views/NameEditRules.h"

#include <QSignalSpy>
#include <QtTest>

class TestFileListModel : public QObject {
    Q_OBJECT
private slots:
    void fillSkipsWhatIsNotAnEntry();
    void linksShowAsFoldersUnderTheirOwnName();
    void sortFlagsAndFolderRule();
    void sizesCompareAsNumbersBeyondFourGiB();
    void placeholderAndSingleInsert();
    void rawNamesStayRawAndShowDecoded();
    void typedNamesThatCannotBeOne();
};

namespace {
QStringList names(const FileListModel& m) {
    QStringList out;
    for (int i = 0; i < m.RowCount(); ++i)
        out << m.ItemText(i, FileListModel::ColName);
    return out;
}

const char* kListing = "total 12\r\n"
                       "drwxr-xr-x 2 o g 4096 Jan  1  2020 .\r\n"
                       "drwxr-xr-x 2 o g 4096 Jan  1  2020 ..\r\n"
                       "-rw-r--r-- 1 o g  300 Feb  2  2021 b.txt\r\n"
                       "drwxr-xr-x 2 o g 4096 Mar  3  2022 sub\r\n"
                       "-rw-r--r-- 1 o g   20 Apr  4  2023 a.txt\r\n";
} // namespace

void TestFileListModel::fillSkipsWhatIsNotAnEntry() {
    FileListModel m;
    std::vector<std::string> folders = m.FillFromListing(kListing);
    QCOMPARE(names(m), (QStringList{"sub", "a.txt", "b.txt"}));
    QCOMPARE(folders, std::vector<std::string>{"sub"});
    QCOMPARE(m.ItemText(0, FileListModel::ColSize), QString()); // folders show no size
    QCOMPARE(m.ItemText(1, FileListModel::ColSize), QStringLiteral("20"));
    QCOMPARE(m.ItemText(1, FileListModel::ColDate), QStringLiteral("2023/04/04"));
    QCOMPARE(m.ItemText(1, FileListModel::ColAttributes), QStringLiteral("-rw-r--r--"));
    QCOMPARE(m.rowCount(), 3);
    QCOMPARE(m.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("サイズ"));

    // A new listing replaces everything; an empty one empties the list.
    m.FillFromListing("");
    QCOMPARE(m.RowCount(), 0);
}

void TestFileListModel::linksShowAsFoldersUnderTheirOwnName() {
    FileListModel m;
    auto folders = m.FillFromListing("lrwxrwxrwx 1 o g 8 Jun 1 2020 pub -> /var/pub\n"
                                     "lrwxrwxrwx 1 o g 8 Jun 1 2020 www->/var/www\n"
                                     "lrwxrwxrwx 1 o g 8 Jun 1 2020 plain\n");
    QCOMPARE(names(m), (QStringList{"plain", "pub", "www"}));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(m.ItemText(i, FileListModel::ColAttributes), QStringLiteral("drwxrwxrwx"));
        QCOMPARE(m.ItemText(i, FileListModel::ColSize), QString());
        QVERIFY(m.RowAt(i).IsFolder());
        // The row still knows it is a link, so that deleting it removes the link alone.
        QVERIFY(m.RowAt(i).link);
    }
    QVERIFY(!m.RowAt(m.InsertListingLine(0, "drwxr-xr-x 2 o g 4096 Jun 1 2020 real")).link);
    std::sort(folders.begin(), folders.end());
    QCOMPARE(folders, (std::vector<std::string>{"plain", "pub", "www"}));
}

void TestFileListModel::sortFlagsAndFolderRule() {
    FileListModel m;
    m.FillFromListing(kListing);
    // Right after a fill the next sort by name is descending.
    QVERIFY(!m.NextSortAscending(FileListModel::ColName));
    m.SortByColumn(FileListModel::ColName);
    QCOMPARE(names(m), (QStringList{"b.txt", "a.txt", "sub"}));
    QVERIFY(m.NextSortAscending(FileListModel::ColName));

    m.SortByColumn(FileListModel::ColSize);
    QCOMPARE(names(m), (QStringList{"sub", "a.txt", "b.txt"}));
    m.SortByColumn(FileListModel::ColSize);
    QCOMPARE(names(m), (QStringList{"b.txt", "a.txt", "sub"}));
    // Switching columns starts ascending again.
    m.SortByColumn(FileListModel::ColDate);
    QCOMPARE(names(m), (QStringList{"sub", "b.txt", "a.txt"}));
    QVERIFY(m.NextSortAscending(FileListModel::ColSize));
    m.SortByColumn(7); // not a column: nothing changes
    QCOMPARE(names(m), (QStringList{"sub", "b.txt", "a.txt"}));
    QVERIFY(!m.NextSortAscending(FileListModel::ColDate));
}

void TestFileListModel::sizesCompareAsNumbersBeyondFourGiB() {
    FileListModel m;
    m.FillFromListing("-rw-r--r-- 1 o g 5368709120 Jan 1 2020 five-gib\n"
                      "-rw-r--r-- 1 o g 4294967297 Jan 1 2020 four-gib\n"
                      "-rw-r--r-- 1 o g 999 Jan 1 2020 small\n");
    m.SortByColumn(FileListModel::ColSize);
    QCOMPARE(names(m), (QStringList{"small", "four-gib", "five-gib"}));
}

void TestFileListModel::placeholderAndSingleInsert() {
    FileListModel m;
    m.FillFromListing(kListing);
    QCOMPARE(m.InsertListingLine(0, "-rw-r--r-- 1 o g 1 Jan 1 2020 ."), -1);
    QCOMPARE(m.InsertListingLine(0, "-rw-r--r-- 1 o g 1 Jan 1 garbage x"), -1); // no date
    QCOMPARE(m.InsertListingLine(2, "-rw-r--r-- 1 o g 1 Jan 1 2020 c.txt"), 2);
    QCOMPARE(m.ItemText(2, 0), QStringLiteral("c.txt"));
    QVERIFY(!FileListModel::IsPlaceholder(m.RowAt(2)));

    QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
    QCOMPARE(m.InsertNewFolderPlaceholder(0), 0);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(m.ItemText(0, 0), QStringLiteral("新しいフォルダ"));
    QVERIFY(FileListModel::IsPlaceholder(m.RowAt(0)));
    m.RemoveRow(0);
    QCOMPARE(m.ItemText(0, 0), QStringLiteral("sub"));
}

void TestFileListModel::rawNamesStayRawAndShowDecoded() {
    FileListModel m;
    const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea.txt"; // 日本語.txt in Shift-JIS
    m.FillFromListing("-rw-r--r-- 1 o g 3 Jan 1 2020 " + sjis +
                      "\r\n-rw-r--r-- 1 o g 3 Jan 1 2020 資料.pdf\r\n");
    QCOMPARE(m.RowCount(), 2);
    QStringList shown = names(m);
    QVERIFY(shown.contains(QStringLiteral("日本語.txt")));
    QVERIFY(shown.contains(QStringLiteral("資料.pdf")));
    int row = shown.indexOf(QStringLiteral("日本語.txt"));
    QCOMPARE(m.RowAt(row).name, sjis);
    QCOMPARE(m.data(m.index(row, 0), FileListModel::RawNameRole).toByteArray(),
             QByteArray::fromStdString(sjis));
}

void TestFileListModel::typedNamesThatCannotBeOne() {
    using Action = NameEditOutcome::Action;
    QCOMPARE(DecideNameEdit(true, {}, QStringLiteral("新しいフォルダ"), true).action, Action::CreateFolder);
    QCOMPARE(DecideNameEdit(true, {}, QStringLiteral("x"), false).action, Action::Nothing);
    QCOMPARE(DecideNameEdit(false, "a.txt", QStringLiteral("b.txt"), true).action, Action::Rename);
    QCOMPARE(DecideNameEdit(false, "a.txt", QStringLiteral("a.txt"), true).action, Action::Nothing);
    for (const QString& bad : {QString(), QStringLiteral("a/b"), QStringLiteral("a\nb"),
                               QStringLiteral("a\rb"), QStringLiteral("."), QStringLiteral("..")}) {
        const NameEditOutcome refused = DecideNameEdit(false, "a.txt", bad, true);
        QCOMPARE(refused.action, Action::Refuse);
        QVERIFY(!refused.refusal.isEmpty());
        QCOMPARE(DecideNameEdit(true, {}, bad, true).action, Action::Refuse);
    }
}

QTEST_GUILESS_MAIN(TestFileListModel)
#include "tst_file_list_model.moc"
