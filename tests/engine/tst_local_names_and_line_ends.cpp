#include "engine/LineEndings.h"
#include "engine/LocalNames.h"

#include <QtTest>

class TestLocalNamesAndLineEnds : public QObject {
    Q_OBJECT
private slots:
    void safeLocalNames_data();
    void safeLocalNames();
    void localNameIsTheShownName();
    void crLfBecomesLfAcrossPieces_data();
    void crLfBecomesLfAcrossPieces();
    void lfBecomesCrLfAcrossPieces();
};

void TestLocalNamesAndLineEnds::safeLocalNames_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("safe");
    QTest::newRow("plain") << QByteArray("report.txt") << true;
    QTest::newRow("spaces and dots") << QByteArray(" a..b .") << true;
    QTest::newRow("japanese") << QByteArray("資料.pdf") << true;
    QTest::newRow("shift-jis with a backslash byte") << QByteArray("\x83\x5c\x83\x74\x83\x67") << true;
    QTest::newRow("empty") << QByteArray("") << false;
    QTest::newRow("dot") << QByteArray(".") << false;
    QTest::newRow("dot dot") << QByteArray("..") << false;
    QTest::newRow("slash") << QByteArray("../etc/passwd") << false;
    QTest::newRow("absolute") << QByteArray("/etc/passwd") << false;
    QTest::newRow("nul") << QByteArray("a\0b", 3) << false;
}

void TestLocalNamesAndLineEnds::safeLocalNames() {
    QFETCH(QByteArray, name);
    QFETCH(bool, safe);
    QCOMPARE(
        IsSafeLocalName(std::string_view(name.constData(), static_cast<size_t>(name.size())), NameCodec()),
        safe);
}

void TestLocalNamesAndLineEnds::localNameIsTheShownName() {
    QCOMPARE(LocalNameFor("\x83\x5c\x83\x74\x83\x67", NameCodec()), QStringLiteral("ソフト"));
    QCOMPARE(LocalNameFor("ソフト", NameCodec()), QStringLiteral("ソフト"));
    // A server's decomposed name (from a Mac) becomes the composed local name.
    QCOMPARE(LocalNameFor("\xE3\x81\x8B\xE3\x82\x99", NameCodec()), QStringLiteral("が"));
    QCOMPARE(LocalNameFor("\xE3\x81\x8B\xE3\x82\x99", NameCodec()).size(), 1);
}

void TestLocalNamesAndLineEnds::crLfBecomesLfAcrossPieces_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("lines") << QByteArray("a\r\nb\r\n") << QByteArray("a\nb\n");
    QTest::newRow("lone CR stays") << QByteArray("a\rb\r") << QByteArray("a\rb\r");
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QByteArray("a\r\nb");
    QTest::newRow("bare LF stays") << QByteArray("a\nb") << QByteArray("a\nb");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestLocalNamesAndLineEnds::crLfBecomesLfAcrossPieces() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    // Every way of cutting the input into two pieces gives the same result, and so do single bytes.
    for (qsizetype cut = 0; cut <= input.size(); ++cut) {
        CrLfToLf conv;
        std::string out;
        conv.Convert(input.constData(), static_cast<size_t>(cut), out);
        conv.Convert(input.constData() + cut, static_cast<size_t>(input.size() - cut), out);
        conv.Finish(out);
        QCOMPARE(QByteArray::fromStdString(out), expected);
    }
    CrLfToLf conv;
    std::string out;
    for (char c : input)
        conv.Convert(&c, 1, out);
    conv.Finish(out);
    QCOMPARE(QByteArray::fromStdString(out), expected);
}

void TestLocalNamesAndLineEnds::lfBecomesCrLfAcrossPieces() {
    const QByteArray input("a\nb\r\nc\n\n");
    const QByteArray expected("a\r\nb\r\nc\r\n\r\n");
    for (qsizetype cut = 0; cut <= input.size(); ++cut) {
        LfToCrLf conv;
        std::string out;
        conv.Convert(input.constData(), static_cast<size_t>(cut), out);
        conv.Convert(input.constData() + cut, static_cast<size_t>(input.size() - cut), out);
        QCOMPARE(QByteArray::fromStdString(out), expected);
    }
}

QTEST_GUILESS_MAIN(TestLocalNamesAndLineEnds)
#include "tst_local_names_and_line_ends.moc"
