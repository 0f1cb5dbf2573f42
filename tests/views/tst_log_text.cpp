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
    void logLinesAndCommandsKeepTheirOrder();
    void trimmingDropsTheOldestHundredLines();
    void trimmingTakesEverythingWhenFewLines();
    void repeatedTrimsKeepCountingLines();
    void logFileIsCp932WithCrLf();
};

void TestLogText::logLinesAndCommandsKeepTheirOrder() {
    CLogText log;
    QSignalSpy appended(&log, &CLogText::Appended);
    log.AppendLog("テストに接続します\r\n");
    log.AppendLog("220-a\r\n220 b\r\n");
    log.AppendLog("USER x\r\n");
    QCOMPARE(log.Text(), std::string("テストに接続します\r\n220-a\r\n220 b\r\nUSER x\r\n"));
    QCOMPARE(appended.count(), 3);
    QCOMPARE(log.LineCount(), 5);
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
    // Trimming also runs before a reply of several lines.
    log.AppendLog(std::string(200, 'b') + "\r\n");
    log.AppendLog("200-ok\r\n200 ok\r\n");
    QCOMPARE(log.Text(), std::string("200-ok\r\n200 ok\r\n"));
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
            log.AppendLog(reply);
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
