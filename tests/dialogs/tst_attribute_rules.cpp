#include "StoreFixture.h"
#include "dialogs/AttributeRules.h"
#include "dialogs/DialogSettings.h"
#include "settings/SettingsKey.h"

#include <QFile>
#include <QtTest>

Q_DECLARE_METATYPE(PermissionFlags)

namespace {
PermissionFlags Flags(const char* bits) {
    PermissionFlags f{};
    for (size_t i = 0; i < f.size(); ++i)
        f[i] = bits[i] == '1';
    return f;
}
} // namespace

class TestAttributeRules : public QObject {
    Q_OBJECT
private slots:
    void digitsOfGroups();
    void flagsFromAttributes_data();
    void flagsFromAttributes();
    void firstNonDigit();
    void threeDigitNumber();
    void flagsFromNumber_data();
    void flagsFromNumber();
    void chmodCommandPerHost();
    void noHostReadsDefaultAndWritesNothing();
    void savedAccount();
    void singleLine();
};

void TestAttributeRules::digitsOfGroups() {
    QCOMPARE(PermissionDigit(true, false, false), 4);
    QCOMPARE(PermissionDigit(false, true, false), 2);
    QCOMPARE(PermissionDigit(false, false, true), 1);
    QCOMPARE(PermissionDigit(true, true, true), 7);
    QCOMPARE(NumberFromFlags(Flags("111101001")), QStringLiteral("751"));
    QCOMPARE(NumberFromFlags(Flags("000000000")), QStringLiteral("000"));
}

void TestAttributeRules::flagsFromAttributes_data() {
    QTest::addColumn<QString>("attributes");
    QTest::addColumn<QString>("number");
    QTest::newRow("file 644") << "-rw-r--r--"
                              << "644";
    QTest::newRow("folder 755") << "drwxr-xr-x"
                                << "755";
    QTest::newRow("everything") << "-rwxrwxrwx"
                                << "777";
    QTest::newRow("special bits count as set") << "-rwsr-S--T"
                                               << "751";
    QTest::newRow("short column") << "-rw"
                                  << "600";
    QTest::newRow("empty column") << ""
                                  << "000";
}

void TestAttributeRules::flagsFromAttributes() {
    QFETCH(QString, attributes);
    QTEST(NumberFromFlags(FlagsFromAttributes(attributes)), "number");
}

void TestAttributeRules::firstNonDigit() {
    QCOMPARE(FirstNonDigit(QStringLiteral("644")), qsizetype(-1));
    QCOMPARE(FirstNonDigit(QString()), qsizetype(-1));
    QCOMPARE(FirstNonDigit(QStringLiteral("6a4")), qsizetype(1));
    QCOMPARE(FirstNonDigit(QStringLiteral("x")), qsizetype(0));
    QCOMPARE(FirstNonDigit(QStringLiteral("64 ")), qsizetype(2));
    QCOMPARE(FirstNonDigit(QStringLiteral("6７")), qsizetype(1));
}

void TestAttributeRules::threeDigitNumber() {
    QCOMPARE(ThreeDigitNumber(QStringLiteral("7")), QStringLiteral("700"));
    QCOMPARE(ThreeDigitNumber(QStringLiteral("64")), QStringLiteral("640"));
    QCOMPARE(ThreeDigitNumber(QString()), QStringLiteral("000"));
    QCOMPARE(ThreeDigitNumber(QStringLiteral("644")), QStringLiteral("644"));
    QCOMPARE(ThreeDigitNumber(QStringLiteral("6441")), QStringLiteral("644"));
}

void TestAttributeRules::flagsFromNumber_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("follows");
    QTest::addColumn<PermissionFlags>("flags");
    QTest::newRow("644") << "644" << true << Flags("110100100");
    QTest::newRow("7 reads as 700") << "7" << true << Flags("111000000");
    QTest::newRow("05 reads as 050") << "05" << true << Flags("000101000");
    QTest::newRow("empty reads as 000") << "" << true << Flags("000000000");
    QTest::newRow("777") << "777" << true << Flags("111111111");
    QTest::newRow("001") << "001" << true << Flags("000000001");
    QTest::newRow("8 in front") << "8" << false << PermissionFlags{};
    QTest::newRow("over 777") << "780" << false << PermissionFlags{};
    QTest::newRow("9 in the middle") << "690" << false << PermissionFlags{};
    QTest::newRow("8 at the end") << "608" << false << PermissionFlags{};
    QTest::newRow("77 then 8") << "778" << false << PermissionFlags{};
    QTest::newRow("a letter") << "6a" << false << PermissionFlags{};
}

void TestAttributeRules::flagsFromNumber() {
    QFETCH(QString, number);
    QFETCH(bool, follows);
    const std::optional<PermissionFlags> flags = FlagsFromNumber(number);
    QCOMPARE(flags.has_value(), follows);
    if (follows)
        QTEST(*flags, "flags");
}

void TestAttributeRules::chmodCommandPerHost() {
    StoreFixture fx;
    QCOMPARE(ReadChmodCommand(2), std::string("SITE CHMOD"));
    WriteChmodCommand(2, "SITE ATTR");
    QCOMPARE(ReadChmodCommand(2), std::string("SITE ATTR"));
    QCOMPARE(ReadChmodCommand(1), std::string("SITE CHMOD"));
    auto raw = fx.store().value("Software\\lumo\\Host\\Host2", "chmod");
    QVERIFY(raw && raw->type == RegistryValue::Type::String);
    // An empty stored command gives the standard one back.
    WriteChmodCommand(2, "");
    QCOMPARE(ReadChmodCommand(2), std::string("SITE CHMOD"));
}

void TestAttributeRules::noHostReadsDefaultAndWritesNothing() {
    StoreFixture fx;
    WriteChmodCommand(-1, "SITE ATTR");
    SaveAccount(-1, "user", "pass");
    QCOMPARE(ReadChmodCommand(-1), std::string("SITE CHMOD"));
    QVERIFY(!QFile::exists(fx.filePath()));
}

void TestAttributeRules::savedAccount() {
    StoreFixture fx;
    {
        SettingsKey key;
        QVERIFY(key.CreateKey(KeyFamily::Host, "Host3"));
        key.WriteString("Name", "テスト");
        key.WriteString("User", "old");
    }
    SaveAccount(3, "ユーザー", "秘密 pass");
    SettingsKey key;
    QVERIFY(key.OpenKey(KeyFamily::Host, "Host3"));
    QCOMPARE(key.ReadString("User", ""), std::string("ユーザー"));
    QCOMPARE(key.ReadScrambled("Pass"), std::string("秘密 pass"));
    QCOMPARE(key.ReadString("Name", ""), std::string("テスト"));
    auto raw = fx.store().value("Software\\lumo\\Host\\Host3", "Pass");
    QVERIFY(raw && raw->type == RegistryValue::Type::Binary);
    QCOMPARE(raw->bytes, SettingsKey::Scramble("秘密 pass"));
    // A missing host key is created.
    SaveAccount(5, "u", "p");
    QVERIFY(key.OpenKey(KeyFamily::Host, "Host5"));
    QCOMPARE(key.ReadString("User", ""), std::string("u"));
}

void TestAttributeRules::singleLine() {
    QCOMPARE(SingleLine(QStringLiteral("SITE CHMOD")), QStringLiteral("SITE CHMOD"));
    QCOMPARE(SingleLine(QStringLiteral("SITE CHMOD\r\nDELE x")), QStringLiteral("SITE CHMOD"));
    QCOMPARE(SingleLine(QStringLiteral("pass\nword")), QStringLiteral("pass"));
    QCOMPARE(SingleLine(QStringLiteral("\rx")), QString());
}

QTEST_GUILESS_MAIN(TestAttributeRules)
#include "tst_attribute_rules.moc"
