#include "engine/ReplyReader.h"

#include <QtTest>

#include <string>

// The engine's assembly of replies from the pieces the control connection delivers.
class TestReplyReader : public QObject {
    Q_OBJECT
private slots:
    void replySplitOverReadsIsTakenOnce();
    void replyEndsOnlyAtThreeDigitsAndASpace();
    void multiLineReplyEndsOnlyAtItsOwnCode();
    void lastLineIsTheReplysFinalLineCut();
};

void TestReplyReader::replySplitOverReadsIsTakenOnce() {
    ReplyReader reader;
    QVERIFY(!reader.Waiting());
    QVERIFY(!reader.Feed("220-Welcome\r\n"));
    QCOMPARE(reader.Code(), 0);
    QVERIFY(reader.Feed("220 Ready\r\n"));
    QCOMPARE(reader.LastReply(), std::string("220-Welcome\r\n220 Ready\r\n"));
    QCOMPARE(reader.Code(), 220);
    QCOMPARE(reader.PendingSize(), size_t(0));
    // A line end in two pieces completes on the line feed.
    QVERIFY(!reader.Feed("230 Logged in\r"));
    QVERIFY(reader.Feed("\n"));
    QCOMPARE(reader.Code(), 230);
    // A reply that arrives a byte at a time is found once whole.
    const std::string slow = "214-help\r\n123 inside\r\n214 end\r\n";
    for (char c : slow.substr(0, slow.size() - 1))
        QVERIFY(!reader.Feed(std::string(1, c)));
    QVERIFY(reader.Feed("\n"));
    QCOMPARE(reader.LastReply(), slow);
}

void TestReplyReader::replyEndsOnlyAtThreeDigitsAndASpace() {
    ReplyReader reader;
    QVERIFY(!reader.Feed("2200 four digits\r\n"));
    QVERIFY(!reader.Feed("22 two digits\r\n"));
    QVERIFY(!reader.Feed("22a letter\r\n"));
    QVERIFY(reader.Feed("550 end\r\n"));
    QCOMPARE(reader.Code(), 550);
    QCOMPARE(reader.LastReply(),
             std::string("2200 four digits\r\n22 two digits\r\n22a letter\r\n550 end\r\n"));
    // Texts too short to be a reply line are never complete.
    QVERIFY(!reader.Feed("\n"));
    QVERIFY(!reader.Feed("2\n"));
    reader.DiscardPending();
    QVERIFY(!reader.Feed("22\n"));
    reader.DiscardPending();
    QVERIFY(!reader.Feed("220"));
    QVERIFY(reader.Feed(" \n"));
    QCOMPARE(reader.Code(), 220);
}

void TestReplyReader::multiLineReplyEndsOnlyAtItsOwnCode() {
    ReplyReader reader;
    // A line of other digits and a space inside a multi-line reply is text, even when a read ends
    // right after it; taking it for the end would shift every later reply by one.
    QVERIFY(!reader.Feed("220-Welcome\r\n123 inner line\r\n"));
    QVERIFY(!reader.Feed("220-more\r\n150 also inner\r\n"));
    QVERIFY(reader.Feed("220 ready\r\n"));
    QCOMPARE(reader.Code(), 220);
    QVERIFY(reader.Feed("331 password please\r\n"));
    QCOMPARE(reader.Code(), 331);

    // Two replies in one piece are taken one at a time; the second waits whole.
    QVERIFY(reader.Feed("150-start\r\n150 opening\r\n226 done\r\n"));
    QCOMPARE(reader.Code(), 150);
    QVERIFY(reader.Waiting());
    QVERIFY(reader.Feed(""));
    QCOMPARE(reader.Code(), 226);
    QVERIFY(!reader.Waiting());
    QCOMPARE(reader.PendingSize(), size_t(0));
}

void TestReplyReader::lastLineIsTheReplysFinalLineCut() {
    ReplyReader reader;
    QCOMPARE(reader.LastLine(), std::string());
    QVERIFY(reader.Feed("257-first\r\n257 \"/pub\" is current\r\n"));
    QCOMPARE(reader.LastLine(), std::string("257 \"/pub\" is current"));
    // A server that ends its lines with LF alone.
    QVERIFY(reader.Feed("200 ok\n"));
    QCOMPARE(reader.LastLine(), std::string("200 ok"));
    const std::string longLine = "257 \"" + std::string(400, 'x') + "\"";
    QVERIFY(reader.Feed(longLine + "\r\n"));
    QCOMPARE(reader.LastLine(), longLine.substr(0, ReplyReader::kLastLineMax));
}

QTEST_GUILESS_MAIN(TestReplyReader)
#include "tst_reply_reader.moc"
