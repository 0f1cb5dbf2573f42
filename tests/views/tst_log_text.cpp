#include "platform/TextCodec.h"
#include "views/LogFile.h"
#include "views/LogText.h"

#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <string>

class TestLogText : public QObject {
    Q_OBJECT
private slots:
    void replySplitOverReadsIsShownOnce();
    void lineEndInTwoPiecesCompletesOnTheLineFeed();
    void singleLineReplyAndItsLastLine();
    void onlyThreeDigitsAndASpaceEndAReply();
    void shortTextsAreNeverComplete();
    void multiLineReplyEndsOnlyAtItsOwnCode();
    void logLinesAndCommandsKeepTheirOrder();
    void lastReplyLineIsCutAt359Bytes();
    void trimmingDropsTheOldestHundredLines();
    void trimmingTakesEverythingWhenFewLines();
    void repeatedTrimsKeepCountingLines();
    void logFileIsCp932WithCrLf();
};

void TestLogText::replySplitOverReadsIsShownOnce() {
    CLogText log;
    QSignalSpy appended(&log, &CLogText::Appended);
    QVERIFY(!log.AppendReply("220-Welcome\r\n"));
    QCOMPARE(log.Text(), std::string());
    QCOMPARE(appended.count(), 0);
    QCOMPARE(log.GetReplyCode(), 0);
    QVERIFY(log.AppendReply("220 Ready\r\n"));
    QCOMPARE(log.Text(), std::string("220-Welcome\r\n220 Ready\r\n"));
    QCOMPARE(appended.count(), 1);
    QCOMPARE(log.GetReplyCode(), 220);
    QCOMPARE(log.PendingSize(), size_t(0));
}

void TestLogText::lineEndInTwoPiecesCompletesOnTheLineFeed() {
    CLogText log;
    QVERIFY(!log.AppendReply("230 Logged in\r"));
    QVERIFY(log.AppendReply("\n"));
    QCOMPARE(log.GetReplyCode(), 230);
    QCOMPARE(log.Text(), std::string("230 Logged in\r\n"));
}

void TestLogText::singleLineReplyAndItsLastLine() {
    CLogText log;
    QVERIFY(log.AppendReply("331 Password required\r\n"));
    QCOMPARE(log.GetReplyCode(), 331);
    QCOMPARE(log.GetLastReplyLine(), std::string("331 Password required"));

    QVERIFY(log.AppendReply("257-first\r\n257 \"/pub\" is current\r\n"));
    QCOMPARE(log.GetReplyCode(), 257);
    QCOMPARE(log.GetLastReplyLine(), std::string("257 \"/pub\" is current"));

    // A server that ends its lines with LF alone.
    QVERIFY(log.AppendReply("200 ok\n"));
    QCOMPARE(log.GetLastReplyLine(), std::string("200 ok"));
}

void TestLogText::onlyThreeDigitsAndASpaceEndAReply() {
    CLogText log;
    QVERIFY(!log.AppendReply("2200 four digits\r\n"));
    QVERIFY(!log.AppendReply("22 two digits\r\n"));
    QVERIFY(!log.AppendReply("22a letter\r\n"));
    QVERIFY(log.AppendReply("550 end\r\n"));
    QCOMPARE(log.GetReplyCode(), 550);
    QCOMPARE(log.Text(), std::string("2200 four digits\r\n22 two digits\r\n22a letter\r\n550 end\r\n"));
}

void TestLogText::shortTextsAreNeverComplete() {
    CLogText log;
    QVERIFY(!log.AppendReply("\n"));
    QVERIFY(!log.AppendReply("2\n"));
    log.DiscardPending();
    QVERIFY(!log.AppendReply("22\n"));
    log.DiscardPending();
    QVERIFY(!log.AppendReply("220"));
    QVERIFY(log.AppendReply(" \n"));
    QCOMPARE(log.GetReplyCode(), 220);
}

void TestLogText::multiLineReplyEndsOnlyAtItsOwnCode() {
    CLogText log;
    // A line of other digits and a space inside a multi-line reply is text, even when a read ends
    // right after it; taking it for the end would shift every later reply by one.
    QVERIFY(!log.AppendReply("220-Welcome\r\n123 inner line\r\n"));
    QVERIFY(!log.AppendReply("220-more\r\n150 also inner\r\n"));
    QVERIFY(log.AppendReply("220 ready\r\n"));
    QCOMPARE(log.GetReplyCode(), 220);
    QVERIFY(log.AppendReply("331 password please\r\n"));
    QCOMPARE(log.GetReplyCode(), 331);
    QCOMPARE(log.GetLastReplyLine(), std::string("331 password please"));

    // Two replies in one piece are taken one at a time; the second waits whole.
    QVERIFY(log.AppendReply("150-start\r\n150 opening\r\n226 done\r\n"));
    QCOMPARE(log.GetReplyCode(), 150);
    QVERIFY(log.ReplyWaiting());
    QVERIFY(log.AppendReply(""));
    QCOMPARE(log.GetReplyCode(), 226);
    QVERIFY(!log.ReplyWaiting());
    QCOMPARE(log.PendingSize(), size_t(0));

    // A reply that arrives a byte at a time is found once whole.
    const std::string slow = "214-help\r\n123 inside\r\n214 end\r\n";
    for (char c : slow.substr(0, slow.size() - 1))
        QVERIFY(!log.AppendReply(std::string(1, c)));
    QVERIFY(log.AppendReply("\n"));
    QCOMPARE(log.Text().substr(log.Text().size() - slow.size()), slow);
}

void TestLogText::logLinesAndCommandsKeepTheirOrder() {
    CLogText log;
    log.AppendLog("テストに接続します\r\n");
    QVERIFY(!log.AppendReply("220-a\r\n"));
    log.AppendLog("接続しました\r\n");
    QVERIFY(log.AppendReply("220 b\r\n"));
    QCOMPARE(log.Text(), std::string("テストに接続します\r\n接続しました\r\n220-a\r\n220 b\r\n"));
    // The last complete line: whatever was appended last.
    log.AppendLog("USER x\r\n");
    QCOMPARE(log.GetLastReplyLine(), std::string("USER x"));
}

void TestLogText::lastReplyLineIsCutAt359Bytes() {
    CLogText log;
    QCOMPARE(log.GetLastReplyLine(), std::string());
    const std::string longLine = "257 \"" + std::string(400, 'x') + "\"";
    QVERIFY(log.AppendReply(longLine + "\r\n"));
    QCOMPARE(log.GetLastReplyLine(), longLine.substr(0, 359));
    log.AppendLog("\r\n");
    QCOMPARE(log.GetLastReplyLine(), std::string());
}

void TestLogText::trimmingDropsTheOldestHundredLines() {
    // Limit chosen so that trimming starts once text plus two bytes per line exceed 4096.
    CLogText log(CLogText::kTrimMargin + 4096);
    QSignalSpy trimmed(&log, &CLogText::Trimmed);
    int i = 0;
    while (trimmed.isEmpty()) {
        log.AppendLog("line " + std::to_string(i) + "\r\n");
        ++i;
    }
    // The lines before the trim that triggered it: 0..i-2 were there, 0..99 went.
    QCOMPARE(trimmed.count(), 1);
    QVERIFY(log.Text().rfind("line 100\r\n", 0) == 0);
    QVERIFY(log.Text().find("line 99\r\n") == std::string::npos);
    const std::string last = "line " + std::to_string(i - 1) + "\r\n";
    QVERIFY(log.Text().size() >= last.size());
    QCOMPARE(log.Text().substr(log.Text().size() - last.size()), last);

    // The length rule: the trim came exactly when text + 2 per line first passed the threshold.
    std::string before;
    for (int k = 0; k < i - 1; ++k)
        before += "line " + std::to_string(k) + "\r\n";
    const size_t lines = static_cast<size_t>(i - 1) + 1;
    QVERIFY(before.size() + 2 * lines > 4096);
    const std::string shorter =
        before.substr(0, before.size() - ("line " + std::to_string(i - 2) + "\r\n").size());
    QVERIFY(shorter.size() + 2 * (lines - 1) <= 4096);
}

void TestLogText::trimmingTakesEverythingWhenFewLines() {
    CLogText log(CLogText::kTrimMargin + 100);
    log.AppendLog(std::string(200, 'a') + "\r\n");
    log.AppendLog("next\r\n");
    QCOMPARE(log.Text(), std::string("next\r\n"));
    // Trimming also runs before a reply piece.
    log.AppendLog(std::string(200, 'b') + "\r\n");
    QVERIFY(log.AppendReply("200 ok\r\n"));
    QCOMPARE(log.Text(), std::string("200 ok\r\n"));
}

void TestLogText::repeatedTrimsKeepCountingLines() {
    // A plain model of the rule, counting lines afresh each time, against the log's own bookkeeping
    // over many trims, with lines of varying length and replies of several lines.
    const size_t threshold = 3000;
    CLogText log(CLogText::kTrimMargin + threshold);
    std::string model;
    auto trimModel = [&] {
        size_t lines = 1 + static_cast<size_t>(std::count(model.begin(), model.end(), '\n'));
        if (model.size() + 2 * lines <= threshold)
            return;
        size_t cut = 0;
        for (int k = 0; k < 100; ++k) {
            size_t nl = model.find('\n', cut);
            if (nl == std::string::npos) {
                cut = model.size();
                break;
            }
            cut = nl + 1;
        }
        model.erase(0, cut);
    };
    for (int i = 0; i < 3000; ++i) {
        if (i % 7 == 0) {
            const std::string reply = "150-first\r\n150 line " + std::to_string(i) + "\r\n";
            trimModel();
            model += reply;
            QVERIFY(log.AppendReply(reply));
        } else {
            const std::string line =
                std::string(static_cast<size_t>(i % 13), 'x') + std::to_string(i) + "\r\n";
            trimModel();
            model += line;
            log.AppendLog(line);
        }
        QCOMPARE(log.Text(), model);
    }
    QCOMPARE(log.LineCount(), 1 + static_cast<int>(std::count(model.begin(), model.end(), '\n')));
}

void TestLogText::logFileIsCp932WithCrLf() {
    // UTF-8 lines become CP932; a server's CP932 line stays as sent; a bare LF gains its CR; what
    // CP932 cannot hold becomes "?"; a last line without an end keeps none.
    const std::string cp932Name = EncodeCp932(QStringLiteral("表.txt"));
    const std::string log = "テストに接続します\r\n150 " + cp932Name + "\r\nbare\n😀 é done\r\nlast";
    const std::string expected = EncodeCp932(QStringLiteral("テストに接続します")) + "\r\n150 " + cp932Name +
                                 "\r\nbare\r\n? ? done\r\nlast";
    QCOMPARE(LogFileBytes(log), expected);
    QCOMPARE(LogFileBytes(""), std::string());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    QString error;
    QVERIFY(WriteLogFile(path, expected, &error));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll().toStdString(), expected);
    QVERIFY(!WriteLogFile(dir.filePath(QStringLiteral("missing/log.txt")), expected, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestLogText)
#include "tst_log_text.moc"
