#include "platform/NameCodec.h"
#include "platform/TextCodec.h"

#include <QtTest>

class TestTextCodec : public QObject {
    Q_OBJECT
private slots:
    void utf8Validity_data();
    void utf8Validity();
    void cp932RoundTrip();
    void remoteNamesKeepTheirBytes();
    void sessionCharacterSets();
};

void TestTextCodec::utf8Validity_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ascii") << QByteArray("index.html") << true;
    QTest::newRow("empty") << QByteArray("") << true;
    QTest::newRow("japanese") << QByteArray("日本語のファイル.txt") << true;
    QTest::newRow("emoji") << QByteArray("\xF0\x9F\x98\x80") << true;
    QTest::newRow("shift-jis") << QByteArray("\x93\xfa\x96\x7b\x8c\xea") << false;
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << false;
    QTest::newRow("overlong 3") << QByteArray("\xE0\x80\xAF") << false;
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
    QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
    QTest::newRow("cut short") << QByteArray("\xE3\x81") << false;
    QTest::newRow("lone continuation") << QByteArray("a\x80") << false;
}

void TestTextCodec::utf8Validity() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QCOMPARE(IsValidUtf8(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))), valid);
}

void TestTextCodec::cp932RoundTrip() {
    const QString text = QStringLiteral("日本語ファイル①～.txt");
    std::string sjis = EncodeCp932(text);
    QVERIFY(!IsValidUtf8(sjis));
    QCOMPARE(sjis.substr(0, 6), std::string("\x93\xfa\x96\x7b\x8c\xea"));
    QCOMPARE(DecodeCp932(sjis), text);
    QCOMPARE(DecodeCp932("abc"), QStringLiteral("abc"));
}

void TestTextCodec::remoteNamesKeepTheirBytes() {
    RemoteName u = RemoteName::fromRaw("資料.pdf");
    QVERIFY(u.utf8);
    QCOMPARE(u.display, QStringLiteral("資料.pdf"));
    QCOMPARE(u.raw, std::string("資料.pdf"));

    const std::string sjis = "\x8e\x91\x97\xbf.pdf"; // 資料.pdf in Shift-JIS
    RemoteName s = RemoteName::fromRaw(sjis);
    QVERIFY(!s.utf8);
    QCOMPARE(s.display, QStringLiteral("資料.pdf"));
    QCOMPARE(s.raw, sjis);
    QCOMPARE(DecodeRemoteName(sjis), QStringLiteral("資料.pdf"));

    // A name that begins with U+FEFF keeps it, so a local name made from it is the remote one.
    const std::string bom = "\xEF\xBB\xBFreadme.txt";
    RemoteName b = RemoteName::fromRaw(bom);
    QVERIFY(b.utf8);
    QCOMPARE(b.display, QString(QChar(0xFEFF)) + QStringLiteral("readme.txt"));
    QCOMPARE(EncodeUtf8(b.display), bom);
    QCOMPARE(EncodeUtf8(DecodeRemoteName("\xEF\xBB\xBF")), std::string("\xEF\xBB\xBF"));
}

void TestTextCodec::sessionCharacterSets() {
    const QString name = QStringLiteral("ガイド表");
    const std::string euc = EncodeIn(RemoteCharset::EucJp, name);
    const std::string sjis = EncodeCp932(name);
    const std::string jis = EncodeIn(RemoteCharset::Jis, name);
    QCOMPARE(euc, std::string("\xA5\xAC\xA5\xA4\xA5\xC9\xC9\xBD"));
    QVERIFY(jis.rfind("\x1B$B", 0) == 0);
    QVERIFY(IsValidEucJp(euc) && IsValidEucJp("abc") && IsValidEucJp("\x8E\xB1"));
    QVERIFY(!IsValidEucJp(sjis) && !IsValidEucJp("\xA5") && !IsValidEucJp("\x8E\xA5\xA4"));
    // Characters a set cannot hold go as "?".
    QCOMPARE(EncodeIn(RemoteCharset::EucJp, QStringLiteral("a😀b")), std::string("a?b"));

    const NameCodec eucNames(RemoteCharset::EucJp);
    QCOMPARE(eucNames.Decode(euc), name);
    QCOMPARE(eucNames.Encode(name), euc);
    // The program's own words and the store stay as they are whatever the host's set.
    QCOMPARE(eucNames.DecodeMixed("表示に失敗しました"), QStringLiteral("表示に失敗しました"));
    QCOMPARE(eucNames.DecodeMixed("150 " + euc), "150 " + name);
    QCOMPARE(DecodeStoredText(sjis), name);
    QCOMPARE(NameCodec(RemoteCharset::Jis).Decode(jis), name);
    // On 自動 each name is guessed until the listings showed another set.
    NameCodec guessing;
    QCOMPARE(guessing.Decode(sjis), name);
    QCOMPARE(guessing.Encode(name), EncodeUtf8(name));
    guessing.NoteLegacySet(RemoteCharset::EucJp);
    QVERIFY(!guessing.StillGuessing());
    QCOMPARE(guessing.Decode(euc), name);
    QCOMPARE(guessing.Decode(EncodeUtf8(name)), name);
    QCOMPARE(guessing.Encode(name), euc);
    QCOMPARE(NameCodec().LegacySet(), RemoteCharset::Auto);

    // What the program shows reads the names of the session it shows, and only those.
    SetShownNames(eucNames);
    QCOMPARE(DecodeRemoteName(euc), name);
    QCOMPARE(EncodeRemoteName(name), euc);
    QCOMPARE(DecodeMixedText("150 " + euc), "150 " + name);
    SetShownNames(NameCodec());
    QCOMPARE(DecodeRemoteName(sjis), name);
    QCOMPARE(EncodeRemoteName(name), EncodeUtf8(name));

    RemoteCharset set = RemoteCharset::Auto;
    QVERIFY(RemoteCharsetFromName("Shift_JIS", set) && set == RemoteCharset::ShiftJis);
    QVERIFY(RemoteCharsetFromName("UTF8", set) && set == RemoteCharset::Utf8);
    QVERIFY(!RemoteCharsetFromName("latin1", set));
    QCOMPARE(RemoteCharsetOfNumber(9), RemoteCharset::Auto);
    QCOMPARE(RemoteCharsetLabel(RemoteCharset::ShiftJis), QStringLiteral("Shift_JIS (CP932)"));
}

QTEST_GUILESS_MAIN(TestTextCodec)
#include "tst_text_codec.moc"
