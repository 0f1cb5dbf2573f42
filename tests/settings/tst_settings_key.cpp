#include "StoreFixture.h"
#include "settings/SettingsKey.h"

#include <QFile>
#include <QtTest>

class TestSettingsKey : public QObject {
    Q_OBJECT
private slots:
    void emptyStoreGivesDefaults();
    void createKeyMakesParentsButNeverTheRoot();
    void namesCompareWithoutCase();
    void readDwordWantsAStoredNumber();
    void readStringFitsInThreeHundredBytes();
    void scrambledTextKeepsFourHundredBytes();
    void scrambledValueOverFiveHundredBytesReadsEmpty();
    void deleteSubkeyNeverRecurses();
    void openingAnotherKeyClosesTheFirst();
    void textIsKeptByteForByte();
};

void TestSettingsKey::emptyStoreGivesDefaults() {
    StoreFixture fx;
    for (KeyFamily f : {KeyFamily::Root, KeyFamily::Host, KeyFamily::TreeIcon, KeyFamily::System,
                        KeyFamily::Profile, KeyFamily::Option}) {
        SettingsKey key;
        QVERIFY(!key.OpenKey(f, ""));
        QCOMPARE(key.ReadDword("timeout", 30), 30u);
        QCOMPARE(key.ReadString("temp", "dflt"), std::string("dflt"));
        QCOMPARE(key.ReadScrambled("Pass"), std::string());
    }
    // Reading never creates anything.
    QVERIFY(!QFile::exists(fx.filePath()));
}

void TestSettingsKey::createKeyMakesParentsButNeverTheRoot() {
    StoreFixture fx;
    SettingsKey key;
    QVERIFY(!key.CreateKey(KeyFamily::Root, ""));
    QVERIFY(!QFile::exists(fx.filePath()));

    QVERIFY(key.CreateKey(KeyFamily::Profile, "Window"));
    QVERIFY(key.WriteDword("type", 2));
    SettingsKey other;
    QVERIFY(other.OpenKey(KeyFamily::Root, ""));
    QVERIFY(other.OpenKey(KeyFamily::Profile, ""));
    QVERIFY(other.OpenKey(KeyFamily::Profile, "Window"));
    QCOMPARE(other.ReadDword("type", 0), 2u);
    QVERIFY(!other.OpenKey(KeyFamily::Option));
    // A root key that exists can be opened through CreateKey as well.
    QVERIFY(key.CreateKey(KeyFamily::Root, "lumo"));
}

void TestSettingsKey::namesCompareWithoutCase() {
    StoreFixture fx;
    SettingsKey w;
    QVERIFY(w.CreateKey(KeyFamily::Host, "HOST0"));
    QVERIFY(w.WriteDword("Port", 2121));
    QVERIFY(w.WriteDword("PORT", 21));

    SettingsKey r;
    QVERIFY(r.OpenKey(KeyFamily::Host, "host0"));
    QCOMPARE(r.ReadDword("port", 0), 21u);

    // The first spelling is kept in the file, and the value exists only once.
    QFile f(fx.filePath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray text = f.readAll();
    QVERIFY(text.contains("[HKEY_CURRENT_USER\\Software\\lumo\\Host\\HOST0]"));
    QCOMPARE(text.count("\"Port\"=dword:00000015"), 1);
    QVERIFY(!text.contains("\"PORT\""));
}

void TestSettingsKey::readDwordWantsAStoredNumber() {
    StoreFixture fx;
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Option));
    k.WriteDword("type", 0xFFFFFFFFu);
    k.WriteString("text", "12");
    k.WriteScrambled("bin", "abcd");
    QCOMPARE(k.ReadDword("type", 1), 0xFFFFFFFFu);
    QCOMPARE(k.ReadDword("text", 7), 7u);
    QCOMPARE(k.ReadDword("bin", 7), 7u);
    QCOMPARE(k.ReadDword("missing", 9), 9u);
    QCOMPARE(k.ReadDword("", 5), 5u);
    QCOMPARE(k.ReadString("type", "d"), std::string("d"));
}

void TestSettingsKey::readStringFitsInThreeHundredBytes() {
    StoreFixture fx;
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::System));
    std::string fits(299, 'a');
    std::string tooLong(300, 'b');
    k.WriteString("fits", fits);
    k.WriteString("long", tooLong);
    k.WriteString("empty", "");
    QCOMPARE(k.ReadString("fits", "d"), fits);
    QCOMPARE(k.ReadString("long", "d"), std::string("d"));
    QCOMPARE(k.ReadString("empty", "d"), std::string());
    // Japanese text counts in bytes: 100 characters of three bytes are 300 bytes.
    std::string kana;
    for (int i = 0; i < 100; ++i)
        kana += "あ";
    k.WriteString("kana", kana);
    QCOMPARE(k.ReadString("kana", "d"), std::string("d"));
}

void TestSettingsKey::scrambledTextKeepsFourHundredBytes() {
    StoreFixture fx;
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Host, ""));
    std::string pass(450, 'x');
    for (size_t i = 0; i < pass.size(); ++i)
        pass[i] = static_cast<char>('!' + i % 90);
    QVERIFY(k.WriteScrambled("FirePass", pass));
    QCOMPARE(k.ReadScrambled("FirePass"), pass.substr(0, 400));

    auto raw = fx.store().value(SettingsKey::FamilyPath(KeyFamily::Host), "FirePass");
    QVERIFY(raw);
    QCOMPARE(raw->type, RegistryValue::Type::Binary);
    QCOMPARE(raw->bytes.size(), size_t(400));
    QCOMPARE(static_cast<unsigned char>(raw->bytes[0]), static_cast<unsigned char>(255 - '!'));

    QVERIFY(k.WriteScrambled("Empty", ""));
    raw = fx.store().value(SettingsKey::FamilyPath(KeyFamily::Host), "Empty");
    QVERIFY(raw);
    QCOMPARE(raw->type, RegistryValue::Type::Binary);
    QCOMPARE(raw->bytes.size(), size_t(0));
    QCOMPARE(k.ReadScrambled("Empty"), std::string());
}

void TestSettingsKey::scrambledValueOverFiveHundredBytesReadsEmpty() {
    StoreFixture fx;
    QVERIFY(fx.store().createKey("Software\\lumo\\Host"));
    // Values stored by another writer, longer than this program ever writes.
    fx.store().setValue(
        "Software\\lumo\\Host", "P450",
        RegistryValue::fromBinary(SettingsKey::Scramble(std::string(400, 'q')) + std::string(50, '\x01')));
    fx.store().setValue("Software\\lumo\\Host", "P500", RegistryValue::fromBinary(std::string(500, '\x9e')));
    fx.store().setValue("Software\\lumo\\Host", "P501", RegistryValue::fromBinary(std::string(501, '\x9e')));
    SettingsKey k;
    QVERIFY(k.OpenKey(KeyFamily::Host, ""));
    QCOMPARE(k.ReadScrambled("P450"), std::string(400, 'q'));
    QCOMPARE(k.ReadScrambled("P500"), std::string(400, 'a'));
    QCOMPARE(k.ReadScrambled("P501"), std::string());
    QCOMPARE(k.ReadString("P450", "d"), std::string("d"));
}

void TestSettingsKey::deleteSubkeyNeverRecurses() {
    StoreFixture fx;
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Host, "Host0"));
    k.WriteString("Name", "a");
    QVERIFY(k.CreateKey(KeyFamily::Host, "Host1"));
    k.WriteString("Name", "b");

    SettingsKey root;
    QVERIFY(root.OpenKey(KeyFamily::Root, ""));
    QVERIFY(!root.DeleteSubkey("Host"));
    QVERIFY(fx.store().keyExists("Software\\lumo\\Host\\Host0"));
    QVERIFY(fx.store().keyExists("Software\\lumo\\Host\\Host1"));

    SettingsKey host;
    QVERIFY(host.OpenKey(KeyFamily::Host, ""));
    QVERIFY(host.DeleteSubkey("host0"));
    QVERIFY(!host.DeleteSubkey("Host0"));
    QVERIFY(!host.DeleteSubkey(""));
    QVERIFY(!fx.store().keyExists("Software\\lumo\\Host\\Host0"));
    QVERIFY(fx.store().keyExists("Software\\lumo\\Host\\Host1"));
    QVERIFY(host.DeleteSubkey("Host1"));
    QVERIFY(root.DeleteSubkey("Host"));
    QVERIFY(!fx.store().keyExists("Software\\lumo\\Host"));
}

void TestSettingsKey::openingAnotherKeyClosesTheFirst() {
    StoreFixture fx;
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Option));
    k.WriteDword("deltmp", 1);
    QVERIFY(!k.OpenKey(KeyFamily::System));
    QVERIFY(!k.IsOpen());
    QCOMPARE(k.ReadDword("deltmp", 0), 0u);
    QVERIFY(!k.WriteDword("deltmp", 5));
    QVERIFY(k.OpenKey(KeyFamily::Option));
    QCOMPARE(k.ReadDword("deltmp", 0), 1u);
    k.Close();
    QCOMPARE(k.ReadDword("deltmp", 0), 0u);
}

void TestSettingsKey::textIsKeptByteForByte() {
    StoreFixture fx;
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Host, "Host0"));
    const std::string japanese = "テスト サーバー \"引用\" \\path\\";
    const std::string sjis = "\x83\x65\x83\x58\x83\x67"; // テスト in Shift-JIS: not UTF-8
    const std::string withNewline = "line1\nline2";
    k.WriteString("Name", japanese);
    k.WriteString("Adr", sjis);
    k.WriteString("UpPath", withNewline);

    // A second store on the same file reads what the first wrote.
    RegistryStore second(fx.filePath());
    SettingsKey r(second);
    QVERIFY(r.OpenKey(KeyFamily::Host, "Host0"));
    QCOMPARE(r.ReadString("Name", ""), japanese);
    QCOMPARE(r.ReadString("Adr", ""), sjis);
    QCOMPARE(r.ReadString("UpPath", ""), withNewline);
}

QTEST_GUILESS_MAIN(TestSettingsKey)
#include "tst_settings_key.moc"
