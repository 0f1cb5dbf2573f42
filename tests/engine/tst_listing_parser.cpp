#include "engine/ListingParser.h"

#include <QtTest>

class TestListingParser : public QObject {
    Q_OBJECT
private slots:
    void splitLinesSkipsBlankLinesAndLeadingSpace();
    void wordsCountOnlySpaces_data();
    void wordsCountOnlySpaces();
    void dates_data();
    void dates();
    void unixLongLines_data();
    void unixLongLines();
    void otherLayoutsFallBackToWordCounting();
    void listingEntriesAsConsumersTakeThem();
};

void TestListingParser::splitLinesSkipsBlankLinesAndLeadingSpace() {
    auto lines = SplitLines("\r\n  total 3\r\n\r\n\t-rw-r--r-- 1 a b 1 Jan 5 12:00 x\n\nlast line");
    QCOMPARE(lines.size(), size_t(3));
    QCOMPARE(lines[0], std::string_view("total 3"));
    QCOMPARE(lines[1], std::string_view("-rw-r--r-- 1 a b 1 Jan 5 12:00 x"));
    QCOMPARE(lines[2], std::string_view("last line"));
    QVERIFY(SplitLines("").empty());
    QVERIFY(SplitLines(" \r\n\t\n").empty());
}

void TestListingParser::wordsCountOnlySpaces_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::newRow("n0") << QByteArray("  a  b   c  ") << 0 << QByteArray("a") << QByteArray("c");
    QTest::newRow("n1") << QByteArray("a  b   c") << 1 << QByteArray("b") << QByteArray("b");
    QTest::newRow("past the end") << QByteArray("a b c") << 3 << QByteArray("") << QByteArray("");
    QTest::newRow("one word") << QByteArray("word") << 0 << QByteArray("") << QByteArray("word");
    QTest::newRow("tab is inside a word")
        << QByteArray("a\tb c") << 0 << QByteArray("a\tb") << QByteArray("c");
    QTest::newRow("total line size") << QByteArray("total 12") << 4 << QByteArray("") << QByteArray("");
}

void TestListingParser::wordsCountOnlySpaces() {
    QFETCH(QByteArray, line);
    QFETCH(int, n);
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    std::string_view l(line.constData(), static_cast<size_t>(line.size()));
    QCOMPARE(QByteArray(WordFromLeft(n, l).data(), static_cast<qsizetype>(WordFromLeft(n, l).size())), left);
    QCOMPARE(QByteArray(WordFromRight(n, l).data(), static_cast<qsizetype>(WordFromRight(n, l).size())),
             right);
}

void TestListingParser::dates_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("date");
    QTest::newRow("time is this year") << QByteArray("x 1 Jan 5 12:00 f") << QByteArray("2000/01/05 12:00");
    QTest::newRow("year") << QByteArray("x 1 Dec 31 1999 f") << QByteArray("1999/12/31");
    QTest::newRow("month inside a word") << QByteArray("x 1 xxFebyy 3 2001 f") << QByteArray("2001/02/03");
    QTest::newRow("month case matters") << QByteArray("x 1 jan 5 1999 f") << QByteArray("");
    QTest::newRow("day 0") << QByteArray("x 1 Jan 0 1999 f") << QByteArray("");
    QTest::newRow("April 31") << QByteArray("x 1 Apr 31 1999 f") << QByteArray("");
    QTest::newRow("Feb 29 leap") << QByteArray("x 1 Feb 29 2000 f") << QByteArray("2000/02/29");
    QTest::newRow("Feb 29 not leap") << QByteArray("x 1 Feb 29 1900 f") << QByteArray("");
    QTest::newRow("hour 24") << QByteArray("x 1 Jan 5 24:00 f") << QByteArray("");
    QTest::newRow("minute 60") << QByteArray("x 1 Jan 5 12:60 f") << QByteArray("");
    QTest::newRow("year 99") << QByteArray("x 1 Jan 5 99 f") << QByteArray("");
    QTest::newRow("year 100") << QByteArray("x 1 Jan 5 100 f") << QByteArray("100/01/05");
    QTest::newRow("day with letters") << QByteArray("x 1 Mar 7th 2010 f") << QByteArray("2010/03/07");
    QTest::newRow("date first layout") << QByteArray("2010-03-07 12:00 <DIR> pub") << QByteArray("");
}

void TestListingParser::dates() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, date);
    QCOMPARE(QByteArray::fromStdString(ParseListDate(line.toStdString(), 2000)), date);
}

void TestListingParser::unixLongLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("size");
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<bool>("folder");
    QTest::newRow("file") << QByteArray("-rw-r--r--   1 owner  group     1234 Jan  5 12:00 readme.txt")
                          << QByteArray("readme.txt") << QByteArray("1234") << QByteArray("2000/01/05 12:00")
                          << QByteArray("-rw-r--r--") << false;
    QTest::newRow("folder") << QByteArray("drwxr-xr-x 2 owner group 512 Dec 31 1999 pub") << QByteArray("pub")
                            << QByteArray("512") << QByteArray("1999/12/31") << QByteArray("drwxr-xr-x")
                            << true;
    QTest::newRow("name with spaces")
        << QByteArray("-rw-r--r-- 1 owner group 10 Mar  3  2021 my  report (final).txt")
        << QByteArray("my  report (final).txt") << QByteArray("10") << QByteArray("2021/03/03")
        << QByteArray("-rw-r--r--") << false;
    QTest::newRow("link keeps its whole text")
        << QByteArray("lrwxrwxrwx 1 owner group 8 Jun 1 09:30 pub -> /var/pub")
        << QByteArray("pub -> /var/pub") << QByteArray("8") << QByteArray("2000/06/01 09:30")
        << QByteArray("lrwxrwxrwx") << false;
    // A name is every byte after the date field: trailing spaces are part of it.
    QTest::newRow("trailing spaces") << QByteArray("-rw-r--r-- 1 owner group 2 Jan  1  2020 a  ")
                                     << QByteArray("a  ") << QByteArray("2") << QByteArray("2020/01/01")
                                     << QByteArray("-rw-r--r--") << false;
    QTest::newRow("no group") << QByteArray("-rw-r--r-- 1 ftp 5368709120 Feb 2 2024 big.iso")
                              << QByteArray("big.iso") << QByteArray("5368709120") << QByteArray("2024/02/02")
                              << QByteArray("-rw-r--r--") << false;
    QTest::newRow("shift-jis name") << QByteArray("-rw-r--r-- 1 a b 3 Jan 1 2020 \x93\xfa\x96\x7b.txt")
                                    << QByteArray("\x93\xfa\x96\x7b.txt") << QByteArray("3")
                                    << QByteArray("2020/01/01") << QByteArray("-rw-r--r--") << false;
}

void TestListingParser::unixLongLines() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, size);
    QFETCH(QByteArray, date);
    QFETCH(QByteArray, attributes);
    QFETCH(bool, folder);
    RemoteEntry e = ParseListLine(line.toStdString(), 2000);
    QCOMPARE(QByteArray::fromStdString(e.name), name);
    QCOMPARE(QByteArray::fromStdString(e.size), size);
    QCOMPARE(QByteArray::fromStdString(e.date), date);
    QCOMPARE(QByteArray::fromStdString(e.attributes), attributes);
    QCOMPARE(e.IsFolder(), folder);
}

void TestListingParser::otherLayoutsFallBackToWordCounting() {
    RemoteEntry total = ParseListLine("total 12", 2000);
    QCOMPARE(total.name, std::string("12"));
    QCOMPARE(total.attributes, std::string("total"));
    QCOMPARE(total.size, std::string());
    QCOMPARE(total.date, std::string());

    RemoteEntry single = ParseListLine("lonely", 2000);
    QCOMPARE(single.name, std::string("lonely"));
    QCOMPARE(single.attributes, std::string());

    RemoteEntry dos = ParseListLine("03-07-10  12:00PM       <DIR>          pub", 2000);
    QCOMPARE(dos.name, std::string("pub"));
    QCOMPARE(dos.date, std::string());
}

void TestListingParser::listingEntriesAsConsumersTakeThem() {
    for (const char* none :
         {"total 12", "drwxr-xr-x 2 o g 512 Jan  1  2020 .", "drwxr-xr-x 2 o g 512 Jan  1  2020 ..", "lonely",
          "lrwxrwxrwx 1 o g 3 Jan  1  2020  -> x"})
        QVERIFY2(!ListingEntry(none, 2000), none);
    // A link carries its own name, trailing spaces and all, never its target.
    const std::optional<RemoteEntry> link =
        ListingEntry("lrwxrwxrwx 1 o g 8 Jun 1 09:30 pub  -> /var/pub", 2000);
    QVERIFY(link && link->link);
    QCOMPARE(link->name, std::string("pub "));
    const std::optional<RemoteEntry> file = ListingEntry("-rw-r--r-- 1 o g 2 Jan  1  2020 a ", 2000);
    QVERIFY(file && !file->link);
    QCOMPARE(file->name, std::string("a "));
    // The size a transfer expects: a link's own size or a size that is no number is not known.
    QCOMPARE(ListedSize(file->size, file->link), std::int64_t(2));
    QCOMPARE(ListedSize(link->size, link->link), std::int64_t(-1));
    QCOMPARE(ListedSize("", false), std::int64_t(-1));
    QCOMPARE(ListedSize("12k", false), std::int64_t(-1));
    QCOMPARE(ListedSize("5000000000", false), std::int64_t(5000000000));
}

QTEST_GUILESS_MAIN(TestListingParser)
#include "tst_listing_parser.moc"
