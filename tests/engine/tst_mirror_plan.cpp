#include "engine/ListingReader.h"
#include "engine/MirrorExclusions.h"
#include "engine/MirrorPlan.h"
#include "engine/MirrorPlanReport.h"
#include "engine/MirrorRecord.h"
#include "engine/MirrorRun.h"
#include "engine/MirrorTime.h"
#include "fixtures/FileBytes.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

std::vector<std::string> Words(const QString& text) {
    std::vector<std::string> words;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        words.push_back(word.toStdString());
    return words;
}

MirrorTime TimeOf(const std::string& text) {
    MirrorTime time;
    const std::size_t tilde = text.find('~');
    time.seconds = std::stoll(text.substr(0, tilde));
    time.precision = TimePrecision::Exact;
    if (tilde != std::string::npos)
        time.precision = text[tilde + 1] == 'm'   ? TimePrecision::Minute
                         : text[tilde + 1] == 'd' ? TimePrecision::Day
                                                  : TimePrecision::Unknown;
    return time;
}

// A tree in a few words: "a/" a folder, "l->" a link, "a/x=5@100" a file of 5 bytes changed at
// second 100, "~m", "~d" or "~u" after the time for a listing to the minute, the day or without time.
MirrorSide Tree(const QString& text, bool complete = true) {
    MirrorSide side;
    side.complete = complete;
    for (const std::string& word : Words(text)) {
        MirrorEntry e;
        if (word.size() > 2 && word.substr(word.size() - 2) == "->") {
            e.path = word.substr(0, word.size() - 2);
            e.link = true;
        } else if (word.back() == '/') {
            e.path = word.substr(0, word.size() - 1);
            e.folder = true;
        } else {
            const std::size_t eq = word.find('='), at = word.find('@');
            e.path = word.substr(0, eq);
            e.size = std::stoll(word.substr(eq + 1, at - eq - 1));
            e.time = TimeOf(word.substr(at + 1));
        }
        side.entries.push_back(e);
    }
    return side;
}

// "x=5@100:5@200~m" records local 5 bytes at second 100, remote 5 bytes at 200 to the minute; a
// trailing "!" marks it as being sent.
MirrorRecord Record(const QString& text) {
    MirrorRecord record;
    for (std::string word : Words(text)) {
        MirrorRecordEntry e;
        e.sending = word.back() == '!';
        if (e.sending)
            word.pop_back();
        const std::size_t eq = word.find('='), colon = word.find(':');
        const MirrorTime local = TimeOf(word.substr(word.find('@') + 1, colon));
        const MirrorTime remote = TimeOf(word.substr(word.find('@', colon) + 1));
        e.localSize = std::stoll(word.substr(eq + 1));
        e.localNanoseconds = local.TotalNanoseconds();
        e.remoteSize = std::stoll(word.substr(colon + 1));
        e.remoteSeconds = remote.seconds;
        e.remotePrecision = remote.precision;
        record.Set(word.substr(0, eq), e);
    }
    return record;
}

// Every action as "kind path", joined by " | ".
QString Shown(const MirrorPlan& plan) {
    static const char* const kinds[] = {"mkdir", "send", "record", "conflict", "skip", "remove"};
    QStringList shown;
    for (const MirrorAction& a : plan.actions)
        shown << QString::fromLatin1(kinds[a.kind]) + QLatin1Char(' ') + QString::fromStdString(a.path);
    return shown.join(QStringLiteral(" | "));
}

MirrorPlan PlanOf(MirrorSide source, MirrorSide destination, const MirrorRecord& record,
                  const MirrorOptions& options, const MirrorExclusions& exclusions = {}) {
    return PlanMirror(source, destination, record, options, exclusions);
}

MirrorPlan Plan(const QString& source, const QString& destination, const QString& record = {},
                bool remove = false, MirrorDirection direction = MirrorDirection::Up,
                const MirrorExclusions& exclusions = {}) {
    MirrorOptions options;
    options.direction = direction;
    options.removeAbsent = remove;
    return PlanOf(Tree(source), Tree(destination), Record(record), options, exclusions);
}

QString ManyFiles(int count, const char* prefix = "f") {
    QStringList files;
    for (int i = 0; i < count; ++i)
        files << QStringLiteral("%1%2=1@1").arg(QLatin1String(prefix)).arg(i);
    return files.join(QLatin1Char(' '));
}

} // namespace

class TestMirrorPlan : public QObject {
    Q_OBJECT
private slots:
    void exclusions_data();
    void exclusions();
    void exclusionListIgnoresCommentsAndBlankLines();
    void listedTimesBecomeUtc();
    void recordRoundTripsOddNamesAndAppendedLines();
    void recordOfAnotherPairIsIgnored();
    void corruptRecordLinesAreDropped();
    void secondHolderOfARecordIsBusy();
    void decisions_data();
    void decisions();
    void conflictsSayWhichSideChanged();
    void largeRemovalsNeedConfirmation();
    void emptyOrMissingSourceStops();
    void incompleteListingWithholdsRemovals();
    void dryRunAndSummary();
    void sidesComeBackInTreeOrder();
};

void TestMirrorPlan::exclusions_data() {
    QTest::addColumn<QString>("patterns");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("excluded");
    QTest::newRow("name at the top") << "*.o"
                                     << "main.o" << false << true;
    QTest::newRow("name at any depth") << "*.o"
                                       << "src/lib/main.o" << false << true;
    QTest::newRow("other name") << "*.o"
                                << "src/main.c" << false << false;
    QTest::newRow("star stays in its name") << "src/*.c"
                                            << "src/lib/x.c" << false << false;
    QTest::newRow("star in its folder") << "src/*.c"
                                        << "src/x.c" << false << true;
    QTest::newRow("path pattern is anchored") << "src/*.c"
                                              << "a/src/x.c" << false << false;
    QTest::newRow("leading slash anchors") << "/secret"
                                           << "secret" << false << true;
    QTest::newRow("leading slash not deeper") << "/secret"
                                              << "a/secret" << false << false;
    QTest::newRow("double star crosses") << "logs/**/*.log"
                                         << "logs/2024/01/a.log" << false << true;
    QTest::newRow("double star slash may be none") << "logs/**/*.log"
                                                   << "logs/a.log" << false << true;
    QTest::newRow("folders only: folder") << "cache/"
                                          << "a/cache" << true << true;
    QTest::newRow("folders only: file") << "cache/"
                                        << "a/cache" << false << false;
    QTest::newRow("contents of excluded folder") << "cache/"
                                                 << "a/cache/deep/x.txt" << false << true;
    QTest::newRow("contents of anchored folder") << "/build"
                                                 << "build/x/y.o" << false << true;
    QTest::newRow("question mark is one character") << "?.txt"
                                                    << "資.txt" << false << true;
    QTest::newRow("question mark not a slash") << "a?b"
                                               << "a/b" << false << false;
    QTest::newRow("class") << "[abc].txt"
                           << "b.txt" << false << true;
    QTest::newRow("negated class") << "[!abc].txt"
                                   << "b.txt" << false << false;
    QTest::newRow("range") << "v[0-9]"
                           << "v7" << false << true;
    QTest::newRow("case counts") << "*.TXT"
                                 << "a.txt" << false << false;
    QTest::newRow("quoted star") << "a\\*"
                                 << "ab" << false << false;
    QTest::newRow("unclosed bracket literal") << "a[b"
                                              << "a[b" << false << true;
}

void TestMirrorPlan::exclusions() {
    QFETCH(QString, patterns);
    QFETCH(QString, path);
    QFETCH(bool, folder);
    QFETCH(bool, excluded);
    const MirrorExclusions list(Words(patterns));
    QCOMPARE(list.Excludes(path.toStdString(), folder), excluded);
}

void TestMirrorPlan::exclusionListIgnoresCommentsAndBlankLines() {
    const MirrorExclusions list = MirrorExclusions::Parse("# editor files\r\n*~\r\n\n   \n#*.c\n.git/\n");
    QVERIFY(list.Excludes("a/b.txt~", false));
    QVERIFY(list.Excludes(".git/config", false));
    QVERIFY(!list.Excludes("x.c", false));
    QVERIFY(!list.Excludes("# editor files", false));
    QVERIFY(MirrorExclusions::Parse("# nothing\n\n").empty());
}

void TestMirrorPlan::listedTimesBecomeUtc() {
    // 2024-01-02 09:30 in Japan is 00:30 UTC.
    const std::int64_t day = 19724 * 86400LL;
    const auto minute = ListedTimeUtc("2024/01/02 09:30", 540);
    QVERIFY(minute);
    QCOMPARE(minute->seconds, day + 30 * 60);
    QCOMPARE(minute->precision, TimePrecision::Minute);
    const auto date = ListedTimeUtc("2024/01/02", 0);
    QVERIFY(date);
    QCOMPARE(date->seconds, day);
    QCOMPARE(date->precision, TimePrecision::Day);
    QVERIFY(!ListedTimeUtc("2023/02/29 10:00", 0));
    QVERIFY(!ListedTimeUtc("2024/01/02 24:00", 0));
    // MLSD's modify fact is UTC to the second, and MFMT takes it back in the same form.
    const auto exact = ListingEntry("type=file;size=1;modify=20240102003007.25; a", CurrentListingNow());
    QVERIFY(exact);
    QCOMPARE(exact->modifiedUtc, day + 30 * 60 + 7);
    QCOMPARE(ModifyFactText(exact->modifiedUtc), std::string("20240102003007"));
    QVERIFY(!ListingEntry("type=file;size=1;modify=2024010200300; a", CurrentListingNow()));
    // A listing to the minute and an exact time within it are the same time; a minute later is not.
    QVERIFY(!TimesDiffer(*minute, MirrorTime{day + 30 * 60 + 59, 0, TimePrecision::Exact}, 2));
    QVERIFY(TimesDiffer(*minute, MirrorTime{day + 32 * 60 + 3, 0, TimePrecision::Exact}, 2));
    QVERIFY(!TimesDiffer(*minute, MirrorTime{0, 0, TimePrecision::Unknown}, 0));
}

void TestMirrorPlan::recordRoundTripsOddNamesAndAppendedLines() {
    QTemporaryDir base;
    const MirrorKey key{"ftp.example.jp", 21, "user", "/home/u/site", "/public_html"};
    MirrorRecord record;
    const MirrorRecordEntry plain{10,   1'700'000'000'123'456'789, 10, 1'700'000'000, TimePrecision::Exact,
                                  false};
    const MirrorRecordEntry coarse{5, 7, 6, 1'600'000'020, TimePrecision::Minute, false};
    record.Set("資料/報告 書.txt", plain);
    record.Set("odd\tname\nwith\\slash\r", coarse);
    MirrorRecordFile file(base.path(), key);
    QVERIFY(file.path().startsWith(base.path() + "/mirrors/"));
    QVERIFY(file.path().endsWith(".rec"));
    QVERIFY(file.Save(record));

    MirrorRecordEntry sending = coarse;
    sending.sending = true;
    record.Set("資料/報告 書.txt", sending);
    QVERIFY(file.Append(record, {"資料/報告 書.txt"}));
    record.Forget("odd\tname\nwith\\slash\r");
    QVERIFY(file.Append(record, {"odd\tname\nwith\\slash\r"}));

    MirrorRecord loaded;
    QCOMPARE(MirrorRecordFile(base.path(), key).Load(loaded), MirrorRecordFile::LoadResult::Loaded);
    QCOMPARE(loaded.size(), std::size_t(1));
    QVERIFY(loaded.Find("資料/報告 書.txt"));
    QCOMPARE(*loaded.Find("資料/報告 書.txt"), sending);

    // Saving again folds the appended lines into one line per file.
    record.Set("b", plain);
    QVERIFY(file.Save(record));
    QCOMPARE(ReadFile(file.path()).count('\n'), 4);
    QCOMPARE(file.Load(loaded), MirrorRecordFile::LoadResult::Loaded);
    QCOMPARE(*loaded.Find("b"), plain);
    QCOMPARE(file.droppedLines(), 0);
}

void TestMirrorPlan::recordOfAnotherPairIsIgnored() {
    QTemporaryDir base;
    const MirrorKey ours{"ftp.example.jp", 21, "user", "/home/u/site", "/www"};
    MirrorKey other = ours;
    other.port = 2121;
    QVERIFY(MirrorRecordPath(base.path(), ours) != MirrorRecordPath(base.path(), other));
    MirrorRecord record = Record("x=1@1:1@1");
    QVERIFY(MirrorRecordFile(base.path(), other).Save(record));
    // The other pair's file in our place, as a copied folder or a digest collision would put it.
    QVERIFY(QFile::copy(MirrorRecordPath(base.path(), other), MirrorRecordPath(base.path(), ours)));
    MirrorRecord loaded = Record("y=1@1:1@1");
    QCOMPARE(MirrorRecordFile(base.path(), ours).Load(loaded), MirrorRecordFile::LoadResult::OtherKey);
    QVERIFY(loaded.empty());
    QVERIFY(WriteFile(MirrorRecordPath(base.path(), ours), "something else\n"));
    QCOMPARE(MirrorRecordFile(base.path(), ours).Load(loaded), MirrorRecordFile::LoadResult::Unreadable);
    QCOMPARE(MirrorRecordFile(base.path(), MirrorKey{}).Load(loaded), MirrorRecordFile::LoadResult::Missing);
}

void TestMirrorPlan::corruptRecordLinesAreDropped() {
    QTemporaryDir base;
    const MirrorKey key{"h", 21, "u", "/l", "/r"};
    MirrorRecordFile file(base.path(), key);
    QVERIFY(file.Save(Record("good=1@1:1@1")));
    QByteArray bytes = ReadFile(file.path());
    bytes += "f\tshort\t1\t2\n";
    bytes += "f\tbadnumber\t1\tx\t1\t1\tE\t0\n";
    bytes += "f\tbadprecision\t1\t1\t1\t1\tQ\t0\n";
    bytes += "f\tbad\\escape\t1\t1\t1\t1\tE\t0\n";
    bytes += "\x01\x02 binary junk\n";
    bytes += "f\tlater=1\t3\t4\t5\t6\tD\t1\n";
    bytes += "f\tcut off by a cr";
    QVERIFY(WriteFile(file.path(), bytes));
    MirrorRecord loaded;
    QCOMPARE(file.Load(loaded), MirrorRecordFile::LoadResult::Loaded);
    QCOMPARE(file.droppedLines(), 6);
    QCOMPARE(loaded.size(), std::size_t(2));
    QVERIFY(loaded.Find("good"));
    QCOMPARE(*loaded.Find("later=1"), (MirrorRecordEntry{3, 4, 5, 6, TimePrecision::Day, true}));
}

void TestMirrorPlan::secondHolderOfARecordIsBusy() {
    // The lock is flock(2): held per open file, so a second holder in this process is refused just
    // as another process would be.
    QTemporaryDir base;
    const MirrorKey key{"h", 21, "u", "/l", "/r"};
    MirrorRecordFile window(base.path() + "/data", key);
    MirrorRecordFile cli(base.path() + "/data", key);
    QCOMPARE(window.Lock(0), FileLock::Result::Locked);
    QCOMPARE(cli.Lock(20), FileLock::Result::Busy);
    window.Unlock();
    QCOMPARE(cli.Lock(0), FileLock::Result::Locked);
    QVERIFY(QFile::exists(cli.path() + ".lock"));
}

void TestMirrorPlan::decisions_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("record");
    QTest::addColumn<bool>("remove");
    QTest::addColumn<bool>("down");
    QTest::addColumn<QString>("exclude");
    QTest::addColumn<QString>("expected");
    const QString none;
    QTest::newRow("first mirror") << "b=3@9 a/ a/x=5@9 a/s/"
                                  << "" << none << false << false << none
                                  << "mkdir a | mkdir a/s | send a/x | send b";
    QTest::newRow("unchanged with record") << "a/ a/x=5@100"
                                           << "a/ a/x=5@200"
                                           << "a/x=5@100:5@200" << false << false << none << "";
    QTest::newRow("changed locally") << "x=6@150"
                                     << "x=5@200"
                                     << "x=5@100:5@200" << false << false << none << "send x";
    QTest::newRow("local time alone changed") << "x=5@101"
                                              << "x=5@200"
                                              << "x=5@100:5@200" << false << false << none << "send x";
    QTest::newRow("changed on server") << "x=5@100"
                                       << "x=5@300"
                                       << "x=5@100:5@200" << false << false << none << "conflict x";
    QTest::newRow("changed on both") << "x=6@150"
                                     << "x=7@300"
                                     << "x=5@100:5@200" << false << false << none << "conflict x";
    QTest::newRow("deleted on server") << "x=5@100"
                                       << ""
                                       << "x=5@100:5@200" << false << false << none << "send x";
    QTest::newRow("being sent") << "x=5@100"
                                << "x=2@300"
                                << "x=5@100:0@0!" << false << false << none << "send x";
    // Marked with both sides as they were: the destination changed to the source's size since.
    QTest::newRow("arrived before a cut") << "x=5@100"
                                          << "x=5@300"
                                          << "x=5@100:0@0!" << false << false << none << "record x";
    QTest::newRow("not reached before a cut") << "x=5@100"
                                              << "x=5@300"
                                              << "x=5@100:5@300!" << false << false << none << "send x";
    QTest::newRow("changed here after a cut") << "x=5@150"
                                              << "x=5@300"
                                              << "x=5@100:0@0!" << false << false << none << "send x";
    QTest::newRow("coarse server unchanged") << "x=5@100"
                                             << "x=5@960~m"
                                             << "x=5@100:5@960~m" << false << false << none << "";
    QTest::newRow("coarse server next minute") << "x=5@100"
                                               << "x=5@1020~m"
                                               << "x=5@100:5@960~m" << false << false << none << "conflict x";
    QTest::newRow("minute became day") << "x=5@100"
                                       << "x=5@0~d"
                                       << "x=5@100:5@960~m" << false << false << none << "";
    QTest::newRow("adopt equal") << "x=5@100"
                                 << "x=5@101" << none << false << false << none << "record x";
    QTest::newRow("adopt size differs") << "x=5@100"
                                        << "x=4@300" << none << false << false << none << "send x";
    QTest::newRow("adopt source newer") << "x=5@300"
                                        << "x=5@100" << none << false << false << none << "send x";
    QTest::newRow("adopt destination newer") << "x=5@100"
                                             << "x=5@300" << none << false << false << none << "conflict x";
    QTest::newRow("adopt within the minute") << "x=5@1075"
                                             << "x=5@1020~m" << none << false << false << none << "record x";
    QTest::newRow("adopt beyond the minute") << "x=5@1100"
                                             << "x=5@1020~m" << none << false << false << none << "send x";
    QTest::newRow("adopt within the day") << "x=5@50000"
                                          << "x=5@0~d" << none << false << false << none << "record x";
    QTest::newRow("adopt without server time") << "x=5@50000"
                                               << "x=5@0~u" << none << false << false << none << "record x";
    QTest::newRow("absent left without removal")
        << "a=1@1"
        << "a=1@1 y=1@1" << none << false << false << none << "record a";
    QTest::newRow("removals last, contents first")
        << "a/ a/x=1@1 m=1@1"
        << "a/ a/x=1@1 old/ old/s/ old/s/f=1@1 old/g=1@1 z=1@1"
        << "a/x=1@1:1@1 m=1@1:1@1" << true << false << none
        << "send m | remove z | remove old/s/f | remove old/s | remove old/g | remove old";
    QTest::newRow("changed destination is not removed")
        << "k=1@1"
        << "k=1@1 old/ old/f=1@5 old/g=1@1"
        << "k=1@1:1@1 old/f=1@1:1@1" << true << false << none << "conflict old/f | remove old/g";
    QTest::newRow("half-sent file is removed")
        << "k=1@1"
        << "k=1@1 half=1@9"
        << "k=1@1:1@1 half=5@1:0@0!" << true << false << none << "remove half";
    QTest::newRow("name clash blocks removals there")
        << "s/ s/A=1@1 t/ t/k=1@1"
        << "s/ s/a=1@1 t/ t/k=1@1 t/old=1@1"
        << "t/k=1@1:1@1" << true << false << none << "send s/A | remove t/old";
    QTest::newRow("unicode forms clash") << "が=1@1"
                                         << "\u304b\u3099=1@1" << none << true << false << none << "send が";
    QTest::newRow("source link skipped") << "l-> k=1@1"
                                         << "k=1@1" << none << false << false << none << "record k | skip l";
    QTest::newRow("destination link never removed") << "k=1@1"
                                                    << "k=1@1 dl-> old/ old/ln->"
                                                    << "k=1@1:1@1" << true << false << none << "";
    QTest::newRow("destination link not overwritten") << "k=1@1"
                                                      << "k->" << none << false << false << none << "skip k";
    QTest::newRow("folder against file")
        << "a/ a/x=1@1"
        << "a=1@1 b/ b/y=1@1" << none << true << false << none << "conflict a | remove b/y | remove b";
    QTest::newRow("excluded neither sent nor removed")
        << "build/ build/x=1@1 m.o=1@1 k=1@1"
        << "m.o=9@9 build/ build/old=1@1 gone/ gone/a.o=1@1" << none << true << false << "*.o build/"
        << "send k";
    QTest::newRow("download: remote change sent") << "x=6@300"
                                                  << "x=5@100"
                                                  << "x=5@100:5@200" << false << true << none << "send x";
    QTest::newRow("download: local change conflict")
        << "x=5@200"
        << "x=6@150"
        << "x=5@100:5@200" << false << true << none << "conflict x";
    QTest::newRow("download: adopt local newer")
        << "x=5@100"
        << "x=5@300" << none << false << true << none << "conflict x";
    QTest::newRow("download: removal of local file")
        << "k=1@1"
        << "k=1@1 old=1@1 mine=2@2"
        << "k=1@1:1@1 mine=1@1:1@1" << true << true << none << "conflict mine | remove old";
}

void TestMirrorPlan::decisions() {
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(QString, record);
    QFETCH(bool, remove);
    QFETCH(bool, down);
    QFETCH(QString, exclude);
    QFETCH(QString, expected);
    const MirrorPlan plan =
        Plan(source, destination, record, remove, down ? MirrorDirection::Down : MirrorDirection::Up,
             MirrorExclusions(Words(exclude)));
    QVERIFY(!plan.stopReason);
    QCOMPARE(Shown(plan), expected);
}

void TestMirrorPlan::conflictsSayWhichSideChanged() {
    const auto reason = [](const MirrorPlan& plan) { return std::string(plan.actions.at(0).reason); };
    QCOMPARE(reason(Plan("x=5@100", "x=5@300", "x=5@100:5@200")),
             std::string("サーバー側で変更されています"));
    QCOMPARE(reason(Plan("x=6@100", "x=5@300", "x=5@100:5@200")),
             std::string("ローカルとサーバーの両方で変更されています"));
    QCOMPARE(reason(Plan("x=5@200", "x=6@150", "x=5@100:5@200", false, MirrorDirection::Down)),
             std::string("ローカルで変更されています"));
    QCOMPARE(reason(Plan("l->", "")), std::string("リンクのため飛ばしました"));
    // --force lets the source win: a send where it has the file, a removal where it has none.
    MirrorSide source = Tree("keep=1@1 x=5@100");
    MirrorOptions options;
    options.removeAbsent = true;
    MirrorPlan plan = PlanOf(source, Tree("keep=1@1 x=5@300 gone=2@300"),
                             Record("keep=1@1:1@1 x=5@100:5@200 gone=2@1:2@200"), options);
    std::sort(source.entries.begin(), source.entries.end(),
              [](const MirrorEntry& a, const MirrorEntry& b) { return a.path < b.path; });
    LetSourceWin(plan, source);
    QCOMPARE(Shown(plan), QStringLiteral("remove gone | send x"));
}

void TestMirrorPlan::largeRemovalsNeedConfirmation() {
    // 11 of 40 files is over a quarter; 11 of 44 is not; 10 of 12 is too few to ask about.
    const auto removing = [](int kept, int removed, bool force = false) {
        MirrorOptions options;
        options.removeAbsent = true;
        options.force = force;
        return PlanOf(Tree(ManyFiles(kept)), Tree(ManyFiles(kept) + ' ' + ManyFiles(removed, "r")),
                      MirrorRecord(), options, {});
    };
    const MirrorPlan over = removing(29, 11);
    QCOMPARE(over.removedFiles, 11);
    QCOMPARE(over.destinationFiles, 40);
    QVERIFY(over.needsConfirmation);
    QVERIFY(!removing(33, 11).needsConfirmation);
    QVERIFY(!removing(2, 10).needsConfirmation);
    QVERIFY(!removing(29, 11, true).needsConfirmation);
}

void TestMirrorPlan::emptyOrMissingSourceStops() {
    QVERIFY(Plan("", "a=1@1 b=1@1", {}, true).stopReason);
    QVERIFY(Plan("", "a=1@1", {}, true).actions.empty());
    QVERIFY(Plan("x.o=1@1", "a=1@1", {}, true, MirrorDirection::Up, MirrorExclusions({"*.o"})).stopReason);
    MirrorSide missing;
    missing.exists = false;
    MirrorOptions options;
    options.removeAbsent = true;
    const MirrorPlan plan = PlanOf(missing, Tree("a=1@1"), MirrorRecord(), options, {});
    QVERIFY(plan.stopReason);
    QVERIFY(plan.actions.empty());
}

void TestMirrorPlan::incompleteListingWithholdsRemovals() {
    MirrorOptions options;
    options.removeAbsent = true;
    for (const bool sourceComplete : {false, true}) {
        const MirrorPlan plan =
            PlanOf(Tree("a=1@1 n=1@1", sourceComplete), Tree("a=1@1 old=1@1", !sourceComplete),
                   Record("a=1@1:1@1"), options, {});
        QCOMPARE(Shown(plan), QStringLiteral("send n"));
        QCOMPARE(std::string(plan.removalsWithheld),
                 std::string("ミラーリングできない名前があるため削除しません"));
        // A listing that could not be read hides what a send could overwrite: nothing happens.
        MirrorSide unreadable = Tree("a=1@1 old=1@1");
        unreadable.readable = false;
        const MirrorPlan stopped = sourceComplete ? PlanOf(Tree("a=1@1 n=1@1"), unreadable, {}, options, {})
                                                  : PlanOf(unreadable, Tree("a=1@1 n=1@1"), {}, options, {});
        QVERIFY(stopped.actions.empty());
        QCOMPARE(std::string(stopped.stopReason),
                 std::string("一覧を最後まで読めないフォルダーがあるため、ミラーリングを中止しました"));
    }
}

void TestMirrorPlan::dryRunAndSummary() {
    const MirrorPlan plan =
        Plan("d/ d/n=7@1 tab\there=3@1 same=1@1 l-> x=5@100", "same=1@1 gone=4@1 x=5@300", {}, true);
    QCOMPARE(DryRunText(plan),
             std::string("mkdir\td\nsend\td/n\nsend\ttab\\there\nconflict\tx\nremove\tgone\n"));
    const MirrorSummary summary = Summarise(plan);
    QCOMPARE(summary.count[MirrorAction::Send], 2);
    QCOMPARE(summary.bytes[MirrorAction::Send], 10);
    QCOMPARE(summary.count[MirrorAction::Remove], 1);
    QCOMPARE(summary.bytes[MirrorAction::Remove], 4);
    QCOMPARE(summary.count[MirrorAction::RecordOnly], 1);
    QCOMPARE(summary.count[MirrorAction::Skip], 1);
    QCOMPARE(summary.count[MirrorAction::MakeFolder], 1);
}

void TestMirrorPlan::sidesComeBackInTreeOrder() {
    MirrorSide source = Tree("a-b=1@1 a/z=2@1 a/ a=3@1 b=4@1");
    MirrorSide destination;
    PlanMirror(source, destination, MirrorRecord(), MirrorOptions(), {});
    QStringList order;
    for (const MirrorEntry& e : source.entries)
        order << QString::fromStdString(e.path);
    QCOMPARE(order.join(' '), QStringLiteral("a a/z a-b b"));
    QVERIFY(FindEntry(source, "a/z"));
    QCOMPARE(FindEntry(source, "a/z")->size, 2);
    QCOMPARE(FindEntry(source, "b")->size, 4);
    QVERIFY(!FindEntry(source, "a/y"));
    QVERIFY(!FindEntry(destination, "a"));
}

QTEST_GUILESS_MAIN(TestMirrorPlan)
#include "tst_mirror_plan.moc"
