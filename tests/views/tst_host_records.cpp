#include "StoreFixture.h"
#include "gui/views/HostIcons.h"
#include "hosts/QXDoc.h"
#include "settings/SettingsKey.h"

#include <QFile>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QtTest>

class TestHostRecords : public QObject {
    Q_OBJECT
private slots:
    void emptyKeyLoadsDefaults();
    void missingKeyLeavesRecordUntouched();
    void roundTripKeepsEveryField();
    void valuesAreWrittenInTheirOrder();
    void longPasswordAndLongText();
    void loadingStopsAtTheFirstGap();
    void saveAllRenumbersAndStopsAtTheGap();
    void removingTheFirstHostMovesTheOthersDown();
    void permissionCommandMovesWithItsHost();
    void unwritableStoreGetsNothing();
    void reorderSkipsUnknownRows();
    void builtInIcons();
};

namespace {
HostRecord sample(const std::string& name) {
    HostRecord r;
    r.Name = name;
    r.Adr = "ftp.example.jp";
    r.Port = 2121;
    r.Hide = 1;
    r.User = "ユーザー";
    r.Pass = "p@ss ワード";
    r.anonymous = 1;
    r.Firewall = 1;
    r.Pasv = 1;
    r.UpPath = "/home/me/up";
    r.DownPath = "/home/me/ダウンロード";
    r.Indexhtml = "default.htm";
    r.icon = 7;
    return r;
}
} // namespace

void TestHostRecords::emptyKeyLoadsDefaults() {
    StoreFixture fx;
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Host, "Host0"));
    CQXDoc doc;
    HostRecord r = sample("x");
    QCOMPARE(doc.LoadHost(0, r), 1);
    HostRecord expected;
    expected.Name = "Host0";
    QCOMPARE(r, expected);
    QCOMPARE(r.Port, 21);
    QCOMPARE(r.Indexhtml, std::string("index.html"));
}

void TestHostRecords::missingKeyLeavesRecordUntouched() {
    StoreFixture fx;
    CQXDoc doc;
    HostRecord r = sample("keep");
    QCOMPARE(doc.LoadHost(0, r), 0);
    QCOMPARE(r, sample("keep"));
    QVERIFY(doc.LoadAllHosts().empty());
}

void TestHostRecords::roundTripKeepsEveryField() {
    StoreFixture fx;
    CQXDoc doc;
    HostRecord r = sample("テストサーバー");
    r.Adr = "192.168.0.1";
    QCOMPARE(doc.SaveHost(4, r), 1);
    HostRecord back;
    QCOMPARE(doc.LoadHost(4, back), 1);
    QCOMPARE(back, r);
    // An empty password is a zero-length binary value.
    r.Pass.clear();
    doc.SaveHost(4, r);
    QCOMPARE(doc.LoadHost(4, back), 1);
    QCOMPARE(back.Pass, std::string());
    auto raw = fx.store().value("Software\\lumo\\Host\\Host4", "Pass");
    QVERIFY(raw && raw->type == RegistryValue::Type::Binary && raw->bytes.empty());
}

void TestHostRecords::valuesAreWrittenInTheirOrder() {
    StoreFixture fx;
    CQXDoc doc;
    doc.SaveHost(0, sample("a"));
    QFile f(fx.filePath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray text = f.readAll();
    const char* order[] = {"\"Name\"",
                           "\"Adr\"",
                           "\"User\"",
                           "\"Pass\"=hex:",
                           "\"Hide\"=dword",
                           "\"Pasv\"=dword",
                           "\"Port\"=dword:00000849",
                           "\"anonymous\"=dword",
                           "\"DownPath\"",
                           "\"UpPath\"",
                           "\"Indexhtml\"",
                           "\"Firewall\"=dword",
                           "\"icon\"=dword:00000007"};
    qsizetype last = -1;
    for (const char* name : order) {
        qsizetype at = text.indexOf(name);
        QVERIFY2(at > last, name);
        last = at;
    }
}

void TestHostRecords::longPasswordAndLongText() {
    StoreFixture fx;
    CQXDoc doc;
    HostRecord r = sample("a");
    r.Pass = std::string(450, 'k');
    r.UpPath = std::string(300, 'u');
    r.DownPath = std::string(299, 'd');
    doc.SaveHost(0, r);
    HostRecord back;
    QCOMPARE(doc.LoadHost(0, back), 1);
    QCOMPARE(back.Pass, std::string(400, 'k'));
    QCOMPARE(back.UpPath, std::string());
    QCOMPARE(back.DownPath, std::string(299, 'd'));
    auto raw = fx.store().value("Software\\lumo\\Host\\Host0", "Pass");
    QCOMPARE(raw->bytes, std::string(400, static_cast<char>(~'k')));
}

void TestHostRecords::loadingStopsAtTheFirstGap() {
    StoreFixture fx;
    CQXDoc doc;
    doc.SaveHost(0, sample("zero"));
    doc.SaveHost(1, sample("one"));
    doc.SaveHost(3, sample("three"));
    HostList hosts = doc.LoadAllHosts();
    QCOMPARE(hosts.size(), size_t(2));
    QCOMPARE(hosts[0].Name, std::string("zero"));
    QCOMPARE(hosts[1].Name, std::string("one"));
}

void TestHostRecords::saveAllRenumbersAndStopsAtTheGap() {
    StoreFixture fx;
    CQXDoc doc;
    doc.SaveHost(0, sample("zero"));
    doc.SaveHost(1, sample("one"));
    doc.SaveHost(3, sample("three"));
    {
        SettingsKey k;
        QVERIFY(k.OpenKey(KeyFamily::Host, "Host0"));
        k.WriteString("chmod", "SITE CHMOD2");
    }
    QSignalSpy changed(&doc, &CQXDoc::HostsChanged);
    doc.SaveAllHosts({sample("new0"), sample("new1")});
    QCOMPARE(changed.count(), 1);
    HostRecord r;
    QCOMPARE(doc.LoadHost(0, r), 1);
    QCOMPARE(r.Name, std::string("new0"));
    QCOMPARE(doc.LoadHost(1, r), 1);
    QCOMPARE(r.Name, std::string("new1"));
    QCOMPARE(doc.LoadHost(3, r), 1);
    QCOMPARE(r.Name, std::string("three"));
    // The key was deleted and written again, so the permission command went with it.
    QVERIFY(!fx.store().value("Software\\lumo\\Host\\Host0", "chmod"));
}

void TestHostRecords::removingTheFirstHostMovesTheOthersDown() {
    StoreFixture fx;
    CQXDoc doc;
    doc.SaveAllHosts({sample("a"), sample("b"), sample("c")});
    HostList hosts = doc.LoadAllHosts();
    hosts.erase(hosts.begin());
    doc.SaveAllHosts(hosts);
    HostList after = doc.LoadAllHosts();
    QCOMPARE(after.size(), size_t(2));
    QCOMPARE(after[0].Name, std::string("b"));
    QCOMPARE(after[1].Name, std::string("c"));
    QVERIFY(!fx.store().keyExists("Software\\lumo\\Host\\Host2"));
}

void TestHostRecords::permissionCommandMovesWithItsHost() {
    StoreFixture fx;
    CQXDoc doc;
    QVERIFY(doc.SaveAllHosts({sample("a"), sample("b"), sample("c")}));
    for (const auto& [key, command] : {std::pair{"Host1", "chmod-b"}, std::pair{"Host2", "chmod-c"}}) {
        SettingsKey k;
        QVERIFY(k.OpenKey(KeyFamily::Host, key));
        k.WriteString("chmod", command);
    }
    // "a" goes, "b" and "c" move up, a new host comes last: each command stays with its host.
    QVERIFY(doc.SaveAllHosts({sample("b"), sample("c"), sample("new")}, {1, 2, -1}));
    auto chmod = [&](const char* key) {
        auto v = fx.store().value(std::string("Software\\lumo\\Host\\") + key, "chmod");
        return v ? v->bytes : std::string("<none>");
    };
    QCOMPARE(chmod("Host0"), std::string("chmod-b"));
    QCOMPARE(chmod("Host1"), std::string("chmod-c"));
    QCOMPARE(chmod("Host2"), std::string("<none>"));
}

void TestHostRecords::unwritableStoreGetsNothing() {
    StoreFixture fx;
    RegistryStore::setGlobalFilePath(QStringLiteral("/dev/null/lumo/lumo.reg"));
    CQXDoc doc;
    QSignalSpy changed(&doc, &CQXDoc::HostsChanged);
    // The store cannot be locked, so not a single value is written on its own.
    QVERIFY(!doc.SaveAllHosts({sample("a")}));
    QCOMPARE(changed.count(), 0);
}

void TestHostRecords::reorderSkipsUnknownRows() {
    StoreFixture fx;
    CQXDoc doc;
    {
        SettingsKey k;
        QVERIFY(k.CreateKey(KeyFamily::Host, ""));
        k.WriteString("MailAdr", "me@example.jp");
    }
    HostList hosts{sample("a"), sample("b"), sample("c"), sample("d")};
    doc.SaveAllHosts(hosts);
    {
        SettingsKey k;
        QVERIFY(k.OpenKey(KeyFamily::Host, "Host2"));
        k.WriteString("chmod", "SITE CHMOD-c");
    }
    QSignalSpy changed(&doc, &CQXDoc::HostsChanged);
    QVERIFY(doc.ReorderHosts(hosts, {2, 0, 7, 0, 1}));
    QCOMPARE(changed.count(), 1);
    // Row 2 names no host and row 3 one named before: neither is stored twice, and "d", which no
    // row names, is not lost.
    HostList after = doc.LoadAllHosts();
    QCOMPARE(after.size(), size_t(4));
    QCOMPARE(after[0].Name, std::string("c"));
    QCOMPARE(after[1].Name, std::string("a"));
    QCOMPARE(after[2].Name, std::string("b"));
    QCOMPARE(after[3].Name, std::string("d"));
    SettingsKey k;
    QVERIFY(k.OpenKey(KeyFamily::Host, "Host0"));
    QCOMPARE(k.ReadString("chmod", ""), std::string("SITE CHMOD-c"));
    QVERIFY(k.OpenKey(KeyFamily::Host, "Host2"));
    QCOMPARE(k.ReadString("chmod", ""), std::string());
    QVERIFY(k.OpenKey(KeyFamily::Host, ""));
    QCOMPARE(k.ReadString("MailAdr", ""), std::string("me@example.jp"));
}

void TestHostRecords::builtInIcons() {
    const int expected[] = {207, 205, 209, 210, 231, 232, 233, 234, 235, 236};
    for (int n = 0; n < 10; ++n)
        QCOMPARE(HostIconResourceId(n), expected[n]);
    QCOMPARE(HostIconResourceId(10), 206);
    QCOMPARE(HostIconResourceId(-1), 206);
    QSet<qint64> distinct;
    for (int n = -1; n <= 10; ++n) {
        QIcon icon = GetHostIcon(n);
        QVERIFY(!icon.isNull());
        QImage img = icon.pixmap(32, 32).toImage();
        QVERIFY(!img.isNull());
        distinct.insert(img.cacheKey() ? qHash(QByteArray(reinterpret_cast<const char*>(img.constBits()),
                                                          img.sizeInBytes()))
                                       : 0);
    }
    QCOMPARE(distinct.size(), 11); // ten pictures and the fallback, -1 and 10 sharing it
}

QTEST_MAIN(TestHostRecords)
#include "tst_host_records.moc"
