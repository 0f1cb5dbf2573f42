#include "platform/RegistryFormat.h"

#include <QtTest>

class TestRegistryFormat : public QObject {
    Q_OBJECT
private slots:
    void roundTripKeepsTypesAndSpelling();
    void readsWindowsUnicodeExports();
    void skipsWhatItCannotReadAndKeepsTheRest_data();
    void skipsWhatItCannotReadAndKeepsTheRest();
    void fileWithoutHeaderKeepsItsKeys();
    void pathsWithDoubledSeparatorsNameOneKey();
    void emptyTextIsAnEmptyStore();
};

namespace {
RegistryParse parseBytes(const QByteArray& text) {
    return RegistryTree::parse(std::string_view(text.constData(), static_cast<size_t>(text.size())));
}

QByteArray utf16LeWithBom(const QString& text) {
    QByteArray out("\xFF\xFE", 2);
    for (QChar c : text) {
        out += static_cast<char>(c.unicode() & 0xff);
        out += static_cast<char>(c.unicode() >> 8);
    }
    return out;
}

const std::string kHost0 = "Software\\lumo\\Host\\Host0";
} // namespace

void TestRegistryFormat::roundTripKeepsTypesAndSpelling() {
    RegistryTree t;
    t.createKey("Software\\lumo\\Host\\Host0");
    t.setValue("software\\LUMO\\host\\host0", "Name", RegistryValue::fromString("テスト \"q\" \\"));
    t.setValue(kHost0, "Port", RegistryValue::fromDword(21));
    t.setValue(kHost0, "Pass", RegistryValue::fromBinary("\x9e\x8d\x8c"));
    t.setValue(kHost0, "Raw", RegistryValue::fromString("\x83\x65\tx"));
    t.setValue(kHost0, "Empty", RegistryValue::fromBinary(""));
    t.setValue(kHost0, "PORT", RegistryValue::fromDword(2121));

    std::string text = t.serialize();
    QVERIFY(text.rfind("REGEDIT4\n", 0) == 0);
    QVERIFY(text.find("[HKEY_CURRENT_USER\\Software\\lumo\\Host\\Host0]") != std::string::npos);
    QVERIFY(text.find("\"Port\"=dword:00000849") != std::string::npos);
    QVERIFY(text.find("\"Pass\"=hex:9e,8d,8c") != std::string::npos);
    // Parent keys exist in their own right.
    QVERIFY(text.find("[HKEY_CURRENT_USER\\Software\\lumo\\Host]") != std::string::npos);

    RegistryParse back = RegistryTree::parse(text);
    QVERIFY(!back.damaged());
    QCOMPARE(back.tree.serialize(), text);
    QCOMPARE(back.tree.value("SOFTWARE\\lumo\\Host\\HOST0", "name")->bytes, std::string("テスト \"q\" \\"));
    QCOMPARE(back.tree.value(kHost0, "Raw")->bytes, std::string("\x83\x65\tx"));
    QCOMPARE(back.tree.value(kHost0, "Raw")->type, RegistryValue::Type::String);
    QCOMPARE(back.tree.value(kHost0, "Empty")->type, RegistryValue::Type::Binary);
    QCOMPARE(back.tree.keys().at("software\\lumo\\host\\host0").values.size(), size_t(5));
    QVERIFY(back.tree.hasSubkeys("software\\lumo"));
    QVERIFY(!back.tree.hasSubkeys(kHost0));
}

void TestRegistryFormat::readsWindowsUnicodeExports() {
    // As the registry editor writes it: UTF-16LE with a byte order mark, CR LF, hex(2) and hex(1)
    // texts in UTF-16LE with their terminator, long hex lists continued over lines.
    const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                        "[HKEY_CURRENT_USER\\Software\\lumo\\Host\\Host0]\r\n"
                                        "\"Name\"=\"テストサーバー\"\r\n"
                                        "\"Pass\"=hex:9e,8d,\\\r\n  8c\r\n"
                                        "\"UpPath\"=hex(2):25,00,54,00,25,00,5c,00,b0,30,00,00\r\n"
                                        "\"Note\"=hex(1):ff,fe,41,00,00,00\r\n"
                                        "\"icon\"=hex(4):03,00,00,00\r\n"
                                        "\"Port\"=dword:00000015\r\n"
                                        "@=\"default\"\r\n"
                                        "; a comment\r\n");
    RegistryParse p = parseBytes(utf16LeWithBom(text));
    QVERIFY(!p.damaged());
    const RegistryTree& t = p.tree;
    QCOMPARE(t.value(kHost0, "Name")->bytes, std::string("テストサーバー"));
    QCOMPARE(t.value(kHost0, "Pass")->bytes, std::string("\x9e\x8d\x8c"));
    QCOMPARE(t.value(kHost0, "UpPath")->bytes, std::string("%T%\\グ"));
    QCOMPARE(t.value(kHost0, "UpPath")->type, RegistryValue::Type::String);
    // A text's own leading U+FEFF is part of it.
    QCOMPARE(t.value(kHost0, "Note")->bytes, std::string("\xEF\xBB\xBF"
                                                         "A"));
    QCOMPARE(t.value(kHost0, "icon")->dword, 3u);
    QCOMPARE(t.value(kHost0, "Port")->dword, 21u);
    QCOMPARE(t.value(kHost0, "")->bytes, std::string("default"));

    // The program's own files keep hex(1) texts as the bytes they are.
    RegistryParse own =
        RegistryTree::parse("\xEF\xBB\xBFREGEDIT4\n[HKEY_CURRENT_USER\\S]\n\"n\"=hex(1):83,65,00\n");
    QVERIFY(!own.damaged());
    QCOMPARE(own.tree.value("S", "n")->bytes, std::string("\x83\x65"));
}

void TestRegistryFormat::skipsWhatItCannotReadAndKeepsTheRest_data() {
    QTest::addColumn<QByteArray>("damage");
    QTest::addColumn<int>("skipped");
    QTest::newRow("bad dword") << QByteArray("\"a\"=dword:xyz\n") << 1;
    QTest::newRow("long dword") << QByteArray("\"a\"=dword:123456789\n") << 1;
    QTest::newRow("bad hex") << QByteArray("\"a\"=hex:1g\n") << 1;
    QTest::newRow("open quote") << QByteArray("\"a\"=\"abc\n") << 1;
    QTest::newRow("no value") << QByteArray("\"a\"=\n") << 1;
    QTest::newRow("binary junk") << QByteArray("\x00\xff\x13junk\x1b[2J\n", 12) << 1;
    QTest::newRow("second header") << QByteArray("REGEDIT4\n") << 1;
    // The values under a key line that cannot be read belong to no known key; they must not land
    // in the key above it.
    QTest::newRow("unclosed key") << QByteArray("[HKEY_CURRENT_USER\\Software\\lumo\\Host\\Host1\n"
                                                "\"x\"=dword:00000001\n")
                                  << 2;
    QTest::newRow("other hive") << QByteArray("[HKEY_LOCAL_MACHINE\\Software]\n\"x\"=\"y\"\n") << 2;
    QTest::newRow("empty key") << QByteArray("[HKEY_CURRENT_USER\\\\]\n\"x\"=\"y\"\n") << 2;
}

void TestRegistryFormat::skipsWhatItCannotReadAndKeepsTheRest() {
    QFETCH(QByteArray, damage);
    QFETCH(int, skipped);
    const QByteArray text =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\lumo\\Host\\Host0]\n\"Name\"=\"a\"\n" + damage +
        "\"After\"=\"kept\"\n[HKEY_CURRENT_USER\\Software\\lumo\\Host\\Host2]\n" + "\"Name\"=\"c\"\n";
    RegistryParse p = parseBytes(text);
    QCOMPARE(p.skippedLines, skipped + (damage.startsWith('[') ? 1 : 0));
    QVERIFY(p.damaged());
    QCOMPARE(p.tree.value(kHost0, "Name")->bytes, std::string("a"));
    QVERIFY(!p.tree.value(kHost0, "x"));
    QVERIFY(!p.tree.value(kHost0, "a"));
    QCOMPARE(p.tree.value("Software\\lumo\\Host\\Host2", "Name")->bytes, std::string("c"));
    // A value line after damage inside a readable key is kept.
    if (!damage.startsWith('['))
        QCOMPARE(p.tree.value(kHost0, "After")->bytes, std::string("kept"));
}

void TestRegistryFormat::fileWithoutHeaderKeepsItsKeys() {
    RegistryParse p = RegistryTree::parse("[HKEY_CURRENT_USER\\S]\n\"a\"=dword:00000002\n");
    QCOMPARE(p.skippedLines, 1);
    QCOMPARE(p.tree.value("S", "a")->dword, 2u);

    RegistryParse orphan = RegistryTree::parse("REGEDIT4\n\"a\"=dword:1\n");
    QCOMPARE(orphan.skippedLines, 1);
    QVERIFY(orphan.tree.keys().empty());
}

void TestRegistryFormat::pathsWithDoubledSeparatorsNameOneKey() {
    RegistryParse p = RegistryTree::parse("REGEDIT4\n[HKEY_CURRENT_USER\\a\\\\B\\]\n\"v\"=\"1\"\n");
    QVERIFY(!p.damaged());
    QCOMPARE(p.tree.keys().size(), size_t(2));
    QCOMPARE(p.tree.value("A\\b", "v")->bytes, std::string("1"));
    QVERIFY(p.tree.hasSubkeys("a"));
    // It is written back under the name it is found by.
    QVERIFY(p.tree.serialize().find("[HKEY_CURRENT_USER\\a\\B]\n") != std::string::npos);
}

void TestRegistryFormat::emptyTextIsAnEmptyStore() {
    for (const char* text : {"", "\n\n", "\xEF\xBB\xBF", "REGEDIT4\n"}) {
        RegistryParse p = RegistryTree::parse(text);
        QVERIFY(!p.damaged());
        QVERIFY(p.tree.keys().empty());
    }
}

QTEST_GUILESS_MAIN(TestRegistryFormat)
#include "tst_registry_format.moc"
