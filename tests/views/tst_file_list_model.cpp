#include "engine/ListingParser.h"
#include "views/FileListModel.h"
#include "views/NameEditRules.h"

#include <QCollator>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <random>

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
    void listingOrderNeverChangesTheList();
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

// Servers send listings in byte order, in name order, against it, or in none; the list must come
// out the same from each, equal names included, and keep its order as rows are removed.
void TestFileListModel::listingOrderNeverChangesTheList() {
    // A locale whose name order differs from byte order in case, punctuation and digits.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    struct Entry {
        std::string name;
        int size;
        bool folder;
    };
    // The two "same" rows stay in this order in every listing below.
    std::vector<Entry> entries{{"b", 1, false},
                               {"B", 2, false},
                               {"a", 3, false},
                               {"A", 4, false},
                               {"10", 5, false},
                               {"9", 6, false},
                               {"_x", 7, false},
                               {"x_", 8, false},
                               {"ab c", 9, false},
                               {"日本", 10, false},
                               {"same", 11, false},
                               {"same", 12, false},
                               {"Zsub", 0, true},
                               {"asub", 0, true},
                               {"Asub", 0, true},
                               // Names the list compares as bytes.
                               {"a-b", 13, false},
                               {"a.b", 14, false},
                               {"a0", 15, false},
                               {"-a", 16, false},
                               {".a", 17, false},
                               {"a-", 18, false},
                               {"z.9", 19, false},
                               {"a..b", 20, false}};
    auto listing = [](const std::vector<Entry>& list) {
        std::string text;
        for (const Entry& e : list) {
            text += std::string(e.folder ? "d" : "-") + "rw-r--r-- 1 o g " + std::to_string(e.size) +
                    " Jan 1 2020 " + e.name + "\r\n";
        }
        return text;
    };
    auto rows = [](const FileListModel& m) {
        QStringList out;
        for (int i = 0; i < m.RowCount(); ++i)
            out << m.ItemText(i, FileListModel::ColName) + "|" + m.ItemText(i, FileListModel::ColSize);
        return out;
    };
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseSensitive);
    auto byName = [&](int sign) {
        return [&collator, sign](const Entry& x, const Entry& y) {
            return sign * collator.compare(QString::fromStdString(x.name), QString::fromStdString(y.name)) <
                   0;
        };
    };
    std::vector<Entry> bytes = entries, up = entries, down = entries, shuffled = entries;
    std::stable_sort(bytes.begin(), bytes.end(),
                     [](const Entry& x, const Entry& y) { return x.name < y.name; });
    std::stable_sort(up.begin(), up.end(), byName(1));
    std::stable_sort(down.begin(), down.end(), byName(-1));
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    auto first =
        std::find_if(shuffled.begin(), shuffled.end(), [](const Entry& e) { return e.name == "same"; });
    if (first->size != 11)
        std::swap(first->size, std::find_if(first + 1, shuffled.end(), [](const Entry& e) {
                                   return e.name == "same";
                               })->size);

    FileListModel m;
    m.FillFromListing(listing(entries));
    const QStringList expected = rows(m);
    QCOMPARE(expected.size(), 23);
    QCOMPARE(expected.mid(0, 3), (QStringList{"asub|", "Asub|", "Zsub|"}));
    QVERIFY(expected.indexOf("_x|7") < expected.indexOf("a|3"));
    QVERIFY(expected.indexOf("a|3") < expected.indexOf("B|2"));
    // Equal names end up against the listing's order, as a fresh sort leaves them.
    QCOMPARE(expected.indexOf("same|12") + 1, expected.indexOf("same|11"));
    for (const auto* order : {&bytes, &up, &down, &shuffled}) {
        m.FillFromListing(listing(*order));
        QCOMPARE(rows(m), expected);
    }

    // Rows removed anywhere leave the others in their places.
    QStringList left = expected;
    for (int row : {4, 0, 10, 11, 3}) {
        m.RemoveRow(row);
        left.removeAt(row);
        QCOMPARE(rows(m), left);
    }
    QCOMPARE(int(m.EngineRowsNamed("same").size()), int(left.filter("same|").size()));

    // The list compares names of lowercase letters, digits, '-' and '.' as bytes in these locales:
    // their collations must order every such pair as the bytes do.
    const std::vector<std::string> plain{"-",  ".",  "0",  "9",  "a",    "z",  "a-b", "a.b", "a0",
                                         "ab", "a-", "-a", ".a", "a..b", "0a", "a9",  "9a",  "z.9"};
    for (const QLocale& locale : {QLocale(QLocale::Japanese, QLocale::Japan),
                                  QLocale(QLocale::English, QLocale::UnitedStates), QLocale::c()}) {
        QCollator c(locale);
        c.setCaseSensitivity(Qt::CaseSensitive);
        for (const std::string& x : plain) {
            for (const std::string& y : plain) {
                const int bytes = x.compare(y);
                const int collated = c.compare(QString::fromStdString(x), QString::fromStdString(y));
                QVERIFY2((bytes < 0) == (collated < 0) && (bytes == 0) == (collated == 0),
                         qPrintable(locale.name() + ": " + QString::fromStdString(x + " " + y)));
            }
        }
    }
    QLocale::setDefault(QLocale::c());
}

QTEST_GUILESS_MAIN(TestFileListModel)
#include "tst_file_list_model.moc"
