#include "engine/ListingReader.h"
#include "engine/ListingReview.h"

#include <QtTest>

class TestListingParser : public QObject {
    Q_OBJECT
private slots:
    void splitLinesSkipsBlankLinesAndLeadingSpace();
    void unixLongLines_data();
    void unixLongLines();
    void listingEntriesAsConsumersTakeThem();
    void initTestCase();
    void readerCorpus_data();
    void readerCorpus();
    void numericAndKoreanDates_data();
    void numericAndKoreanDates();
    void fixedClock();
    void mlsdTimesInLocalTime();
    void reviewReadsTheSameWherePiecesEnd();
    void reviewKeepsLittleOfUnreadableLines();
    void lineHeadsEndBetweenCharacters();
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
    QTest::newRow("link under its own name")
        << QByteArray("lrwxrwxrwx 1 owner group 8 Jun 1 09:30 pub -> /var/pub") << QByteArray("pub")
        << QByteArray("8") << QByteArray("2000/06/01 09:30") << QByteArray("lrwxrwxrwx") << false;
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
    RemoteEntry e;
    // The last minute of the year as "now": a time without a year stays in it.
    QCOMPARE(ReadListingLine(line.toStdString(), ListingNow{2000, 12, 31, 23, 59}, e), ListingLine::Entry);
    QCOMPARE(QByteArray::fromStdString(e.name), name);
    QCOMPARE(QByteArray::fromStdString(e.size), size);
    QCOMPARE(QByteArray::fromStdString(e.date.str()), date);
    QCOMPARE(QByteArray::fromStdString(e.attributes), attributes);
    QCOMPARE(e.IsFolder(), folder);
}

void TestListingParser::listingEntriesAsConsumersTakeThem() {
    const ListingNow now{2000, 12, 31, 23, 59};
    for (const char* none :
         {"total 12", "drwxr-xr-x 2 o g 512 Jan  1  2020 .", "drwxr-xr-x 2 o g 512 Jan  1  2020 ..", "lonely",
          "lrwxrwxrwx 1 o g 3 Jan  1  2020  -> x"})
        QVERIFY2(!ListingEntry(none, now), none);
    // A link carries its own name, trailing spaces and all, never its target.
    const std::optional<RemoteEntry> link =
        ListingEntry("lrwxrwxrwx 1 o g 8 Jun 1 09:30 pub  -> /var/pub", now);
    QVERIFY(link && link->link);
    QCOMPARE(link->name, std::string("pub "));
    const std::optional<RemoteEntry> file = ListingEntry("-rw-r--r-- 1 o g 2 Jan  1  2020 a ", now);
    QVERIFY(file && !file->link);
    QCOMPARE(file->name, std::string("a "));
    // The size a transfer expects: a link's own size or a size that is no number is not known.
    QCOMPARE(ListedSize(file->size, file->link), std::int64_t(2));
    QCOMPARE(ListedSize(link->size, link->link), std::int64_t(-1));
    QCOMPARE(ListedSize("", false), std::int64_t(-1));
    QCOMPARE(ListedSize("12k", false), std::int64_t(-1));
    QCOMPARE(ListedSize("5000000000", false), std::int64_t(5000000000));
}

void TestListingParser::initTestCase() {
    // MLSD times are UTC and shown in local time: the rows below are written for UTC.
    qputenv("TZ", "UTC");
    tzset();
}

// Lines as servers send them: GNU ls and vsftpd, BSD and GNU ls in Japanese (in UTF-8, Shift_JIS,
// EUC-JP and JIS), ISO dates, IIS in its MS-DOS style, MLSD, and lines a public client's parser
// test corpus gathered; each with the time it is read at, what it is, and the row it gives.
void TestListingParser::readerCorpus_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("now");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("size");
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<bool>("link");
    const int entry = int(ListingLine::Entry), nothing = int(ListingLine::Nothing),
              unreadable = int(ListingLine::Unreadable);
    const QString june = "2024-06-01 12:00";
    auto row = [&](const char* tag, QByteArray line, const QString& now, int kind, QByteArray name = {},
                   QByteArray size = {}, QByteArray date = {}, QByteArray attributes = {},
                   bool link = false) {
        QTest::newRow(tag) << line << now << kind << name << size << date << attributes << link;
    };
    // Unix, English months.
    row("std dir", "dr-xr-xr-x   2 root     other        512 Apr  8  1994 01-unix-std dir", june, entry,
        "01-unix-std dir", "512", "1994/04/08", "dr-xr-xr-x");
    row("no group", "dr-xr-xr-x   2 root                  512 Apr  8  1994 03-unix-nogroup dir", june, entry,
        "03-unix-nogroup dir", "512", "1994/04/08", "dr-xr-xr-x");
    row("link", "lrwxrwxrwx   1 root     other          7 Jan 25 00:17 04-unix-std link -> usr/bin", june,
        entry, "04-unix-std link", "7", "2024/01/25 00:17", "lrwxrwxrwx", true);
    row("domain owner", "-rw-r--r--   1 group domain user 531 Jan 29 03:26 13-unix-domain file", june, entry,
        "13-unix-domain file", "531", "2024/01/29 03:26", "-rw-r--r--");
    row("day first", "drwxrwxrwx   1 0        0               0 29 Jul 02:27 2014 Invoices",
        "2024-08-01 00:00", entry, "2014 Invoices", "0", "2024/07/29 02:27", "drwxrwxrwx");
    row("numeric owner and group",
        "-rw-r--r--    1 1000     1000         4096 Nov  6 12:00 numeric owner.txt", june, entry,
        "numeric owner.txt", "4096", "2023/11/06 12:00", "-rw-r--r--");
    row("vsftpd, small size", "-rw-r--r--    1 0        0               3 Dec 08 14:06 zz.txt",
        "2026-12-08 14:07", entry, "zz.txt", "3", "2026/12/08 14:06", "-rw-r--r--");
    row("vsftpd two-digit day", "-rw-r--r--    1 ftp      ftp          1234 Nov 06  2019 readme.txt", june,
        entry, "readme.txt", "1234", "2019/11/06", "-rw-r--r--");
    row("character device", "crw-rw-rw-   1 root     root       1,   3 Nov  6  2019 null", june, entry,
        "null", "", "2019/11/06", "crw-rw-rw-");
    row("block device", "brw-rw----   1 root     disk       8,   0 May 30 12:00 sda", june, entry, "sda", "",
        "2024/05/30 12:00", "brw-rw----");
    row("spaces at both ends", "-rw-r--r--   1 u g 5 Jan  1  2020  lead and trail  ", june, entry,
        " lead and trail  ", "5", "2020/01/01", "-rw-r--r--");
    row("total", "total 12", june, nothing);
    row("total in Japanese", "\xE5\x90\x88\xE8\xA8\x88 12", june, nothing);
    row("total in Shift_JIS", "\x8D\x87\x8C\x76 12", june, nothing);
    row("total in Korean", "\xED\x95\xA9\xEA\xB3\x84 8", june, nothing);
    row("dot", "drwxr-xr-x   2 u g 512 Jan  1  2020 .", june, nothing);
    row("dot dot", "drwxr-xr-x   2 u g 512 Jan  1  2020 ..", june, nothing);
    // The Japanese forms.
    row("BSD ls, month and day in kanji",
        "-rw-r--r--  1 user  staff  1234 11\xE6\x9C\x88  6\xE6\x97\xA5 12:00 \xE8\xB3\x87\xE6\x96\x99.txt",
        "2024-11-20 09:00", entry, "\xE8\xB3\x87\xE6\x96\x99.txt", "1234", "2024/11/06 12:00", "-rw-r--r--");
    row("hours and minutes in kanji",
        "drwxr-xr-x  2 user  staff  512 11\xE6\x9C\x88 6\xE6\x97\xA5 14\xE6\x99\x82"
        "21\xE5\x88\x86 folder",
        "2024-11-20 09:00", entry, "folder", "512", "2024/11/06 14:21", "drwxr-xr-x");
    row("GNU ls ja_JP, year", "-rw-r--r-- 1 user user 0  6\xE6\x9C\x88 13  2019 old.txt", june, entry,
        "old.txt", "0", "2019/06/13", "-rw-r--r--");
    row("GNU ls ja_JP, time", "-rw-r--r-- 1 user user 0  5\xE6\x9C\x88 13 08:05 new.txt", june, entry,
        "new.txt", "0", "2024/05/13 08:05", "-rw-r--r--");
    row("year first",
        "-rw-r--r-- 1 user user 0 2005\xE5\xB9\xB4  5\xE6\x9C\x88 20\xE6\x97\xA5 year first.txt", june, entry,
        "year first.txt", "0", "2005/05/20", "-rw-r--r--");
    row("Shift_JIS, year last",
        "-rw-r--r--   1 root       sys           8473  4\x8c\x8e 18\x93\xfa 2003\x94\x4e "
        "32-datatest-japanese file",
        june, entry, "32-datatest-japanese file", "8473", "2003/04/18", "-rw-r--r--");
    row("EUC-JP", "-rw-r--r-- 1 u g 10 11\xB7\xEE  6\xC6\xFC 12:00 \xA5\xAC\xA5\xA4\xA5\xC9",
        "2024-11-20 09:00", entry, "\xA5\xAC\xA5\xA4\xA5\xC9", "10", "2024/11/06 12:00", "-rw-r--r--");
    row("JIS", "-rw-r--r-- 1 u g 10 11\x1B$B7n\x1B(B  6\x1B$BF|\x1B(B 12:00 jis.txt", "2024-11-20 09:00",
        entry, "jis.txt", "10", "2024/11/06 12:00", "-rw-r--r--");
    // ISO dates.
    row("ISO with time", "-rw-r--r--   1 root     other        531 2005-06-07 21:22 07-unix-date file", june,
        entry, "07-unix-date file", "531", "2005/06/07 21:22", "-rw-r--r--");
    row("ISO day", "-rw-r--r-- 1 user user 0 2024-11-06 iso day.txt", june, entry, "iso day.txt", "0",
        "2024/11/06", "-rw-r--r--");
    row("full ISO", "-rw-r--r-- 1 user user 0 2024-11-06 12:00:59.123456789 +0900 full.txt", june, entry,
        "full.txt", "0", "2024/11/06 12:00", "-rw-r--r--");
    // The year of a time: never more than a day ahead.
    row("December on 8 December", "-rw-r--r-- 1 u g 1 Dec 20 10:00 future", "2024-12-08 10:00", entry,
        "future", "1", "2023/12/20 10:00", "-rw-r--r--");
    row("within the day of grace", "-rw-r--r-- 1 u g 1 Dec  9 09:59 tomorrow", "2024-12-08 10:00", entry,
        "tomorrow", "1", "2024/12/09 09:59", "-rw-r--r--");
    row("New Year's Eve after New Year", "-rw-r--r-- 1 u g 1 Dec 31 23:59 eve", "2025-01-02 08:00", entry,
        "eve", "1", "2024/12/31 23:59", "-rw-r--r--");
    row("New Year's Day, later today", "-rw-r--r-- 1 u g 1 Jan  2 20:00 today", "2025-01-02 08:00", entry,
        "today", "1", "2025/01/02 20:00", "-rw-r--r--");
    row("a day and an hour ahead", "-rw-r--r-- 1 u g 1 Jan  3 09:00 ahead", "2025-01-02 08:00", entry,
        "ahead", "1", "2024/01/03 09:00", "-rw-r--r--");
    // MS-DOS style of IIS.
    row("DOS folder", "04-27-00  12:09PM       <DIR>          16-dos-dateambiguous dir", june, entry,
        "16-dos-dateambiguous dir", "", "2000/04/27 12:09", "d");
    row("DOS file", "04-06-00  03:47PM                  589 17-dos-dateambiguous file", june, entry,
        "17-dos-dateambiguous file", "589", "2000/04/06 15:47", "-");
    row("DOS long year", "2002-09-02  18:48       <DIR>          18-dos-longyear dir", june, entry,
        "18-dos-longyear dir", "", "2002/09/02 18:48", "d");
    row("DOS grouped size", "2002-09-02  19:06                9,730 19-dos-longyear file", june, entry,
        "19-dos-longyear file", "9730", "2002/09/02 19:06", "-");
    row("IIS", "11-06-24  02:21PM       <DIR>          folder", june, entry, "folder", "", "2024/11/06 14:21",
        "d");
    row("IIS after midnight", "11-06-24  12:05AM                 1234 late file.txt  ", june, entry,
        "late file.txt  ", "1234", "2024/11/06 00:05", "-");
    // MLSD.
    row("MLSD file", "Type=file;mOdIfY=20081105165215;size=1234; 72-MLSD-file", june, entry, "72-MLSD-file",
        "1234", "2008/11/05 16:52", "-");
    row("MLSD mode",
        "modify=20080426135501;perm=;size=65718921;type=file;unique=802U1066013B;UNIX.group=1179;UNIX.mode="
        "00;"
        "UNIX.owner=1179; 75 MLSD file with empty permissions",
        june, entry, "75 MLSD file with empty permissions", "65718921", "2008/04/26 13:55", "----------");
    row("MLSD folder", "type=dir;modify=20241106031500;UNIX.mode=0755; sub dir", june, entry, "sub dir", "",
        "2024/11/06 03:15", "drwxr-xr-x");
    row("MLSD link", "type=OS.unix=slink:/foo; 76 MLSD symlink", june, entry, "76 MLSD symlink", "", "", "l",
        true);
    row("MLSD tab", "size=1365694195;type=file;modify=20090722092510;\tadsl TV 2009-07-22 08-25-10 78", june,
        entry, "adsl TV 2009-07-22 08-25-10 78", "1365694195", "2009/07/22 09:25", "-");
    row("MLSD own folder", "type=cdir;modify=20241106031500; /pub", june, nothing);
    row("MLSD parent", "type=pdir;modify=20241106031500; ..", june, nothing);
    row("MLSD bad time", "type=file;modify=2024110603; short", june, unreadable);
    // Never silent: what is not read is said to be so.
    row("one word", "lonely", june, unreadable);
    row("April 31", "-rw-r--r-- 1 u g 1 Apr 31  2020 bad day", june, unreadable);
    row("hour 24", "-rw-r--r-- 1 u g 1 Jan  5 24:00 bad hour", june, unreadable);
    row("NetWare", "d [R----F--] supervisor            512       Jan 16 18:53    09-netware dir", june,
        unreadable);
    row("no date", "drwxr-xr-x 3 slopri devlab 512 71-unix-dateless", june, unreadable);
    row("link without a name", "lrwxrwxrwx 1 o g 3 Jan  1  2020  -> x", june, unreadable);
    row("month 13 either way round", "-rw-r--r-- 1 u g 1 13-14 2001 bad", june, unreadable);
    row("February 30", "-rw-r--r-- 1 u g 1 2001/02/30 bad", june, unreadable);
    row("two separators", "-rw-r--r-- 1 u g 1 2001-02/03 bad", june, unreadable);
    row("two-digit year", "-rw-r--r-- 1 u g 1 03-04-01 bad", june, unreadable);
    row("numeric month and day, no time", "-rw-r--r-- 1 u g 1 3 29 bad", june, unreadable);
    row("day in hangul, no month", "-rw-r--r-- 1 u g 1 14\xEC\x9D\xBC 12:00 bad", june, unreadable);
}

void TestListingParser::readerCorpus() {
    QFETCH(QByteArray, line);
    QFETCH(QString, now);
    QFETCH(int, kind);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, size);
    QFETCH(QByteArray, date);
    QFETCH(QByteArray, attributes);
    QFETCH(bool, link);
    const QDateTime at = QDateTime::fromString(now, "yyyy-MM-dd HH:mm");
    const ListingNow clock{at.date().year(), at.date().month(), at.date().day(), at.time().hour(),
                           at.time().minute()};
    RemoteEntry e;
    QCOMPARE(int(ReadListingLine(std::string_view(line.constData(), size_t(line.size())), clock, e)), kind);
    if (kind != int(ListingLine::Entry))
        return;
    QCOMPARE(QByteArray::fromStdString(e.name), name);
    QCOMPARE(QByteArray::fromStdString(e.size), size);
    QCOMPARE(QByteArray::fromStdString(e.date.str()), date);
    QCOMPARE(QByteArray::fromStdString(e.attributes), attributes);
    QCOMPARE(e.link, link);
}

// Dates in numbers only, in the orders servers write them, and Korean months: each layout with
// the time it is read at and the row it gives.
void TestListingParser::numericAndKoreanDates_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("now");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("size");
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<bool>("folder");
    const QString june = "2024-06-01 12:00";
    auto row = [](const char* tag, QByteArray line, const QString& now, QByteArray name, QByteArray size,
                  QByteArray date, bool folder = false) {
        QTest::newRow(tag) << line << now << name << size << date << folder;
    };
    row("month and day, then time", "-rw-r--r--   1 root     other        531 3 29 03:26 02-unix-std file",
        june, "02-unix-std file", "531", "2024/03/29 03:26");
    row("month and day, then year", "drwxr-xr-x 2 0 0 4096 12 25 2019 xmas", june, "xmas", "4096",
        "2019/12/25", true);
    row("small owner and group before", "-rw-r--r-- 1 5 12 3 4 29 03:26 f", june, "f", "3",
        "2024/04/29 03:26");
    row("mm-dd yyyy", "-rw-r--r--   1 root     other        531 09-26 2000 05-unix-date file", june,
        "05-unix-date file", "531", "2000/09/26");
    row("mm-dd hh:mm, last year", "-rw-r--r--   1 root     other        531 09-26 13:45 06-unix-date file",
        june, "06-unix-date file", "531", "2023/09/26 13:45");
    row("mm-dd hh:mm, this year", "-rw-r--r-- 1 u g 7 05/31 23:59 may", june, "may", "7", "2024/05/31 23:59");
    row("either way round", "-rw-r--r-- 1 u g 1 03-04 2001 either", june, "either", "1", "2001/03/04");
    row("day above 12", "-rw-r--r-- 1 u g 1 26-05 2002 late may", june, "late may", "1", "2002/05/26");
    row("yyyy/mm/dd hh:mm", "-r-xr-xr-x   2 root     other      2235 1999/10/12 17:12 30-datetest file", june,
        "30-datetest file", "2235", "1999/10/12 17:12");
    row("yyyy/m/d", "drwxr-xr-x 2 user group 4096 2010/3/14  two  spaces", june, " two  spaces", "4096",
        "2010/03/14", true);
    row("dd-mm-yyyy hh:mm", "-r-xr-xr-x   2 root     other      2235 24-04-2003 17:12 31-datetest file", june,
        "31-datetest file", "2235", "2003/04/24 17:12");
    row("mm-dd-yyyy", "-rw-r--r-- 1 u g 1 04-24-2003 april", june, "april", "1", "2003/04/24");
    row("mm/dd/yyyy either way round", "-rw-r--r-- 1 u g 1 03/04/2003 march", june, "march", "1",
        "2003/03/04");
    row("yyyy.mm.dd", "-r-xr-xr-x   2 root  root  96 2004.07.15 35-dotted-date file", june,
        "35-dotted-date file", "96", "2004/07/15");
    row("dd.mm.yyyy", "-rw-r--r-- 1 u g 1 03.04.2004 dotted", june, "dotted", "1", "2004/04/03");
    row("Korean month, bare day",
        "drwxr-xr-x  2 user group 4096  3\xEC\x9B\x94 14 12:00 \xED\x8F\xB4\xEB\x8D\x94", june,
        "\xED\x8F\xB4\xEB\x8D\x94", "4096", "2024/03/14 12:00", true);
    row("Korean month and day, last year",
        "-rw-r--r-- 1 user group 10 12\xEC\x9B\x94 25\xEC\x9D\xBC 10:00 a b", june, "a b", "10",
        "2023/12/25 10:00");
    row("Korean, year last", "-rw-r--r-- 1 user group 10  3\xEC\x9B\x94 14\xEC\x9D\xBC  2010 old.txt", june,
        "old.txt", "10", "2010/03/14");
    row("Korean, year first",
        "drwxr-xr-x   5 root     sys          512 2005\xEB\x85\x84  1\xEC\x9B\x94  6\xEC\x9D\xBC 54-asian "
        "date "
        "year first dir",
        june, "54-asian date year first dir", "512", "2005/01/06", true);
    row("Korean in EUC-KR", "-rw-r--r-- 1 user group 10 11\xBF\xF9  6\xC0\xCF 09:30 euc", june, "euc", "10",
        "2023/11/06 09:30");
    row("ISO in a Korean listing", "drwxr-xr-x  2 user group 4096 2010-03-14 12:00 iso", june, "iso", "4096",
        "2010/03/14 12:00", true);
}

void TestListingParser::numericAndKoreanDates() {
    QFETCH(QByteArray, line);
    QFETCH(QString, now);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, size);
    QFETCH(QByteArray, date);
    QFETCH(bool, folder);
    const QDateTime at = QDateTime::fromString(now, "yyyy-MM-dd HH:mm");
    const ListingNow clock{at.date().year(), at.date().month(), at.date().day(), at.time().hour(),
                           at.time().minute()};
    RemoteEntry e;
    QCOMPARE(ReadListingLine(std::string_view(line.constData(), size_t(line.size())), clock, e),
             ListingLine::Entry);
    QCOMPARE(QByteArray::fromStdString(e.name), name);
    QCOMPARE(QByteArray::fromStdString(e.size), size);
    QCOMPARE(QByteArray::fromStdString(e.date.str()), date);
    QCOMPARE(e.IsFolder(), folder);
}

void TestListingParser::fixedClock() {
    const ListingNow newYear{2025, 1, 2, 8, 0};
    FixListingNow(&newYear);
    const ListingNow fixed = CurrentListingNow();
    FixListingNow(nullptr);
    QCOMPARE(fixed.year, 2025);
    QCOMPARE(fixed.minute, 0);
    const ListingNow clock = CurrentListingNow();
    QCOMPARE(clock.year, QDate::currentDate().year());

    // The same line read under another clock, right after itself, gets that clock's year.
    const std::string_view december = "-rw-r--r-- 1 u g 1 Dec 20 10:00 f";
    const std::string_view leapDay = "-rw-r--r-- 1 u g 1 Feb 29 10:00 f";
    RemoteEntry e;
    QCOMPARE(ReadListingLine(december, {2024, 12, 8, 10, 0}, e), ListingLine::Entry);
    QCOMPARE(e.date.str(), "2023/12/20 10:00");
    QCOMPARE(ReadListingLine(december, {2024, 12, 25, 10, 0}, e), ListingLine::Entry);
    QCOMPARE(e.date.str(), "2024/12/20 10:00");
    QCOMPARE(ReadListingLine(leapDay, {2025, 3, 1, 0, 0}, e), ListingLine::Unreadable);
    QCOMPARE(ReadListingLine(leapDay, {2024, 3, 1, 0, 0}, e), ListingLine::Entry);
    QCOMPARE(e.date.str(), "2024/02/29 10:00");
}

void TestListingParser::mlsdTimesInLocalTime() {
    auto localDate = [](const char* zone, const char* modify) {
        qputenv("TZ", zone);
        tzset();
        RemoteEntry e;
        ReadListingLine(std::string("type=file;modify=") + modify + "; x", ListingNow{2024, 6, 1, 0, 0}, e);
        return QByteArray::fromStdString(e.date.str());
    };
    QCOMPARE(localDate("Asia/Tokyo", "20241231200000"), QByteArray("2025/01/01 05:00"));
    // Across the change to summer time, one minute apart in UTC.
    QCOMPARE(localDate("Europe/Berlin", "20240331005900"), QByteArray("2024/03/31 01:59"));
    QCOMPARE(localDate("Europe/Berlin", "20240331010000"), QByteArray("2024/03/31 03:00"));
    QCOMPARE(localDate("Europe/Berlin", "20241027005900"), QByteArray("2024/10/27 02:59"));
    QCOMPARE(localDate("Europe/Berlin", "20241027010000"), QByteArray("2024/10/27 02:00"));
    qputenv("TZ", "UTC");
    tzset();
    QCOMPARE(localDate("UTC", "19681105165215"), QByteArray("1968/11/05 16:52"));
    // A time that is none stays unreadable between lines with one, and the line after reads again.
    RemoteEntry e;
    QCOMPARE(ReadListingLine("type=file;modify=20241331200000; x", {}, e), ListingLine::Unreadable);
    QCOMPARE(ReadListingLine("type=file;modify=20241331200000; y", {}, e), ListingLine::Unreadable);
    QCOMPARE(ReadListingLine("type=file; z", {}, e), ListingLine::Entry);
    QVERIFY(e.date.empty());
    QCOMPARE(localDate("UTC", "19681105165215"), QByteArray("1968/11/05 16:52"));
}

// A listing arrives in pieces that end anywhere, even inside a CR LF or a multi-byte name; the
// review must read the entries and the unreadable lines as the whole text gives them.
void TestListingParser::reviewReadsTheSameWherePiecesEnd() {
    const ListingNow now{2024, 6, 1, 12, 0};
    FixListingNow(&now);
    const std::string text = "total 3\r\n"
                             "drwxr-xr-x 2 o g 512 Jan  1  2020 sub\r\n"
                             "-rw-r--r-- 1 o g 7 Feb  3 10:00 \xa4\xa2 \xa4\xa4\n"
                             "\n"
                             "  this is no entry\r\n"
                             "lrwxrwxrwx 1 o g 3 Mar  4  2021 ln -> x\n"
                             "-rw-r--r-- 1 o g 9 Apr  5  2022 last";
    const std::vector<RemoteEntry> whole = ReadListingEntries(text);
    QCOMPARE(whole.size(), size_t(4));
    auto same = [&](ListingReview& review, const char* how) {
        const std::vector<RemoteEntry> got = review.TakeEntries();
        QVERIFY2(got.size() == whole.size(), how);
        for (size_t i = 0; i < got.size(); ++i) {
            QVERIFY2(got[i].name == whole[i].name && got[i].size == whole[i].size &&
                         got[i].date == whole[i].date && got[i].link == whole[i].link,
                     how);
        }
        QCOMPARE(review.Unreadable().size(), size_t(1));
        QCOMPARE(review.UnreadableCount(), size_t(1));
        QCOMPARE(QByteArray::fromStdString(review.Unreadable()[0].head), QByteArray("this is no entry"));
        QCOMPARE(review.Unreadable()[0].leftOut, size_t(0));
        QCOMPARE(int(review.LegacySet()), int(RemoteCharset::EucJp));
    };
    ListingReview review;
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        review.Begin(true);
        review.Feed(std::string_view(text).substr(0, cut));
        review.Feed(std::string_view(text).substr(cut));
        review.Finish();
        same(review, qPrintable(QString("cut at %1").arg(cut)));
    }
    review.Begin(true);
    for (char c : text)
        review.Feed(std::string_view(&c, 1));
    review.Finish();
    same(review, "byte by byte");
    // A listing cut off lets go of what it held.
    review.Release();
    QCOMPARE(review.HeldBytes(), ListingReview().HeldBytes());
    FixListingNow(nullptr);
}

// A server may send a line of megabytes, or a million lines no layout fits: the review keeps the
// first lines' heads and counts the rest, and the listing still counts as not read whole.
void TestListingParser::reviewKeepsLittleOfUnreadableLines() {
    std::string huge = "?rw-r--r-- 1 o g 1 Jan  1  2020 ";
    while (huge.size() < 5 * 1024 * 1024)
        huge += "\xE3\x81\x82";
    std::string text = "-rw-r--r-- 1 o g 1 Jan  1  2020 first\r\n" + huge + "\r\n";
    for (int i = 0; i < 100000; ++i)
        text += "no entry " + std::to_string(i) + "\r\n";
    text += "-rw-r--r-- 1 o g 1 Jan  1  2020 last\r\n";
    ListingReview review;
    review.Begin(false);
    for (size_t at = 0; at < text.size(); at += 65536)
        review.Feed(std::string_view(text).substr(at, 65536));
    review.Finish();
    QCOMPARE(review.TakeEntries().size(), size_t(2));
    QCOMPARE(review.UnreadableCount(), size_t(100001));
    QCOMPARE(review.Unreadable().size(), ListingReview::kKeptLines);
    const UnreadableLine& first = review.Unreadable()[0];
    QVERIFY(first.head.size() <= ListingReview::kHeadBytes &&
            first.head.size() > ListingReview::kHeadBytes - 3);
    QVERIFY(IsValidUtf8(first.head));
    QCOMPARE(first.head + huge.substr(first.head.size()), huge);
    QCOMPARE(first.leftOut, huge.size() - first.head.size());
    QCOMPARE(QByteArray::fromStdString(review.Unreadable()[1].head), QByteArray("no entry 0"));
    QCOMPARE(review.Unreadable()[1].leftOut, size_t(0));
    // A new listing starts with none.
    review.Begin(false);
    review.Finish();
    QCOMPARE(review.UnreadableCount(), size_t(0));
    QVERIFY(review.Unreadable().empty());
}

void TestListingParser::lineHeadsEndBetweenCharacters() {
    auto head = [](std::string_view line, size_t max) { return std::string(LineHead(line, max)); };
    QCOMPARE(head("short", 5), std::string("short"));
    QCOMPARE(head("longer", 5), std::string("longe"));
    // あい in UTF-8 are three bytes each.
    const std::string utf8 = "a\xE3\x81\x82\xE3\x81\x84";
    QCOMPARE(head(utf8, 6), std::string("a\xE3\x81\x82"));
    QCOMPARE(head(utf8, 4), std::string("a\xE3\x81\x82"));
    QCOMPARE(head(utf8, 3), std::string("a"));
    // 表示 in CP932: the second byte of 表 is a backslash.
    const std::string cp932 = "a\x95\x5C\x8E\xA6"
                              "b";
    QCOMPARE(head(cp932, 4), std::string("a\x95\x5C"));
    QCOMPARE(head(cp932, 2), std::string("a"));
    QCOMPARE(head(cp932, 5), std::string("a\x95\x5C\x8E\xA6"));
    // Half-width kana are one byte.
    QCOMPARE(head("\xB1\xB2\xB3\x95", 3), std::string("\xB1\xB2\xB3"));
    QCOMPARE(GroupedCount(0), std::string("0"));
    QCOMPARE(GroupedCount(999), std::string("999"));
    QCOMPARE(GroupedCount(1000), std::string("1,000"));
    QCOMPARE(GroupedCount(9999700), std::string("9,999,700"));
}

QTEST_GUILESS_MAIN(TestListingParser)
#include "tst_listing_parser.moc"
