#include "platform/RegistryFormat.h"

#include <QtTest>

class TestRegistryFormat : public QObject {
    Q_OBJECT
private slots:
    void roundTripKeepsTypesAndSpelling();
    void readsWindowsExports();
    void rejectsWhatItCannotRead_data();
    void rejectsWhatItCannotRead();
    void emptyTextIsAnEmptyStore();
};

void TestRegistryFormat::roundTripKeepsTypesAndSpelling() {
    RegistryTree t;
    t.createKey("Software\\lumo\\Host\\Host0");
    t.setValue("software\\LUMO\\host\\host0", "Name", RegistryValue::fromString("テスト \"q\" \\"));
    t.setValue("Software\\lumo\\Host\\Host0", "Port", RegistryValue::fromDword(21));
    t.setValue("Software\\lumo\\Host\\Host0", "Pass", RegistryValue::fromBinary("\x9e\x8d\x8c"));
    t.setValue("Software\\lumo\\Host\\Host0", "Raw", RegistryValue::fromString("\x83\x65\tx"));
    t.setValue("Software\\lumo\\Host\\Host0", "Empty", RegistryValue::fromBinary(""));

    std::string text = t.serialize();
    QVERIFY(text.rfind("REGEDIT4\n", 0) == 0);
    QVERIFY(text.find("[HKEY_CURRENT_USER\\Software\\lumo\\Host\\Host0]") != std::string::npos);
    QVERIFY(text.find("\"Port\"=dword:00000015") != std::string::npos);
    QVERIFY(text.find("\"Pass\"=hex:9e,8d,8c") != std::string::npos);
    // Parent keys exist in their own right.
    QVERIFY(text.find("[HKEY_CURRENT_USER\\Software\\lumo\\Host]") != std::string::npos);

    auto back = RegistryTree::parse(text);
    QVERIFY(back);
    QCOMPARE(back->serialize(), text);
    QCOMPARE(back->value("SOFTWARE\\lumo\\Host\\HOST0", "name")->bytes, std::string("テスト \"q\" \\"));
    QCOMPARE(back->value("Software\\lumo\\Host\\Host0", "Raw")->bytes, std::string("\x83\x65\tx"));
    QCOMPARE(back->value("Software\\lumo\\Host\\Host0", "Raw")->type, RegistryValue::Type::String);
    QCOMPARE(back->value("Software\\lumo\\Host\\Host0", "Empty")->type, RegistryValue::Type::Binary);
    QVERIFY(back->hasSubkeys("software\\lumo"));
    QVERIFY(!back->hasSubkeys("Software\\lumo\\Host\\Host0"));
}

void TestRegistryFormat::readsWindowsExports() {
    const char* text = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
                       "[HKEY_CURRENT_USER\\Software\\lumo\\Host\\Host0]\r\n"
                       "\"Pass\"=hex:9e,8d,\\\r\n  8c\r\n"
                       "\"Name\"=hex(1):41,42,00\r\n"
                       "\"icon\"=hex(4):03,00,00,00\r\n"
                       "@=\"default\"\r\n"
                       "; a comment\r\n";
    auto t = RegistryTree::parse(text);
    QVERIFY(t);
    const std::string key = "Software\\lumo\\Host\\Host0";
    QCOMPARE(t->value(key, "Pass")->bytes, std::string("\x9e\x8d\x8c"));
    QCOMPARE(t->value(key, "Name")->bytes, std::string("AB"));
    QCOMPARE(t->value(key, "Name")->type, RegistryValue::Type::String);
    QCOMPARE(t->value(key, "icon")->dword, 3u);
    QCOMPARE(t->value(key, "")->bytes, std::string("default"));
}

void TestRegistryFormat::rejectsWhatItCannotRead_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("no header") << QByteArray("[HKEY_CURRENT_USER\\Software]\n");
    QTest::newRow("other hive") << QByteArray("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n");
    QTest::newRow("value before key") << QByteArray("REGEDIT4\n\"a\"=dword:1\n");
    QTest::newRow("bad dword") << QByteArray("REGEDIT4\n[HKEY_CURRENT_USER\\S]\n\"a\"=dword:xyz\n");
    QTest::newRow("long dword") << QByteArray("REGEDIT4\n[HKEY_CURRENT_USER\\S]\n\"a\"=dword:123456789\n");
    QTest::newRow("bad hex") << QByteArray("REGEDIT4\n[HKEY_CURRENT_USER\\S]\n\"a\"=hex:1g\n");
    QTest::newRow("open quote") << QByteArray("REGEDIT4\n[HKEY_CURRENT_USER\\S]\n\"a\"=\"abc\n");
    QTest::newRow("unclosed key") << QByteArray("REGEDIT4\n[HKEY_CURRENT_USER\\S\n");
    QTest::newRow("truncated") << QByteArray("REGEDIT4\n[HKEY_CURRENT_USER\\S]\n\"a\"=");
}

void TestRegistryFormat::rejectsWhatItCannotRead() {
    QFETCH(QByteArray, text);
    QVERIFY(!RegistryTree::parse(std::string_view(text.constData(), static_cast<size_t>(text.size()))));
}

void TestRegistryFormat::emptyTextIsAnEmptyStore() {
    auto t = RegistryTree::parse("");
    QVERIFY(t);
    QVERIFY(t->keys().empty());
    QVERIFY(RegistryTree::parse("\n\n"));
}

QTEST_GUILESS_MAIN(TestRegistryFormat)
#include "tst_registry_format.moc"
