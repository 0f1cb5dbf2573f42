#include "StoreFixture.h"
#include "fixtures/TestPaths.h"
#include "hosts/QXDoc.h"
#include "settings/PasswordVault.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

// `make demo` prepares its store with scripts/demo_setup.py each run, on a store the newcomer may
// have changed meanwhile with the program.
class TestDemoSetup : public QObject {
    Q_OBJECT
private slots:
    void demoHostIsFoundWhereverTheListMovedIt();
    void demoHostIsTheOneWithItsAddressAndUser();
};

namespace {

bool runSetup(const StoreFixture& fx, int port) {
    QProcess setup;
    setup.setProcessChannelMode(QProcess::ForwardedChannels);
    setup.start(QStringLiteral("/usr/bin/python3"),
                {SourceDir() + QStringLiteral("/scripts/demo_setup.py"), fx.dir() + QStringLiteral("/root"),
                 fx.dir(), QString::number(port), fx.dir() + QStringLiteral("/downloads")});
    return setup.waitForFinished(60000) && setup.exitStatus() == QProcess::NormalExit &&
           setup.exitCode() == 0;
}

HostRecord otherHost(const char* name) {
    HostRecord r;
    r.Name = name;
    r.Adr = "ftp.example.jp";
    r.User = "taro";
    r.Pass = "himitsu";
    r.Port = 2121;
    return r;
}

} // namespace

void TestDemoSetup::demoHostIsFoundWhereverTheListMovedIt() {
    StoreFixture fx;
    CQXDoc doc;
    QVERIFY(runSetup(fx, 40001));
    HostList hosts = doc.LoadAllHosts();
    QCOMPARE(hosts.size(), size_t(1));
    const HostRecord demo = hosts[0];
    QCOMPARE(demo.Name, std::string("デモサーバー"));
    QCOMPARE(demo.Port, 40001);
    QCOMPARE(demo.Pass, std::string("demo"));

    // The newcomer adds a host and moves it to the top: the demo host is Host1 now.
    hosts.push_back(otherHost("本番サーバー"));
    QVERIFY(doc.SaveAllHosts(hosts, {0, -1}));
    QVERIFY(doc.ReorderHosts(doc.LoadAllHosts(), {1, 0}));
    QVERIFY(runSetup(fx, 40002));
    hosts = doc.LoadAllHosts();
    QCOMPARE(hosts.size(), size_t(2));
    QCOMPARE(hosts[0], otherHost("本番サーバー"));
    HostRecord moved = demo;
    moved.Port = 40002;
    QCOMPARE(hosts[1], moved);

    // A demo host that was removed comes back after the others.
    QVERIFY(doc.SaveAllHosts({hosts[0]}, {0}));
    QVERIFY(runSetup(fx, 40003));
    hosts = doc.LoadAllHosts();
    QCOMPARE(hosts.size(), size_t(2));
    QCOMPARE(hosts[0], otherHost("本番サーバー"));
    moved.Port = 40003;
    QCOMPARE(hosts[1], moved);
    QStringList files = QDir(fx.dir()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(files, (QStringList{QStringLiteral("lumo.reg"), QStringLiteral("lumo.reg.lock")}));
}

void TestDemoSetup::demoHostIsTheOneWithItsAddressAndUser() {
    StoreFixture fx;
    CQXDoc doc;
    QVERIFY(runSetup(fx, 40001));
    // A copy of the demo host pointed at another server keeps its port.
    HostRecord copy = doc.LoadAllHosts()[0];
    copy.Adr = "192.0.2.1";
    HostList hosts = {copy, otherHost("別のサーバー"), doc.LoadAllHosts()[0]};
    QVERIFY(doc.SaveAllHosts(hosts, {-1, -1, 0}));
    // The demo password went to a keyring, filed under the port it had then.
    {
        SettingsKey key;
        QVERIFY(key.OpenKey(KeyFamily::Host, HostKeyName(2)));
        QVERIFY(key.WriteScrambled(SettingName::Pass, ""));
        QVERIFY(key.WriteDword(CPasswordVault::MarkerName(SettingName::Pass).c_str(), 1));
    }
    QVERIFY(runSetup(fx, 40002));
    const HostList after = doc.LoadAllHosts();
    QCOMPARE(after.size(), size_t(3));
    QCOMPARE(after[0], copy);
    QCOMPARE(after[1], otherHost("別のサーバー"));
    QCOMPARE(after[2].Port, 40002);
    // The store holds the password again, as the keyring's entry is for the old port.
    QCOMPARE(after[2].Pass, std::string("demo"));
    SettingsKey key;
    QVERIFY(key.OpenKey(KeyFamily::Host, HostKeyName(2)));
    QCOMPARE(key.ReadDword(CPasswordVault::MarkerName(SettingName::Pass).c_str(), 0), 0u);
}

QTEST_GUILESS_MAIN(TestDemoSetup)
#include "tst_demo_setup.moc"
