#include "StoreFixture.h"
#include "engine/FtpEngine.h"
#include "fixtures/RealFtpServer.h"
#include "fixtures/RecordingUi.h"
#include "hosts/PasswordMigration.h"
#include "hosts/QXDoc.h"
#include "settings/PasswordVault.h"
#include "settings/SettingNames.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

// Passwords in the keyring, run twice by ctest on private D-Bus sessions: with gnome-keyring as
// the Secret Service ("keyring") and with none to be had ("none"), where the store keeps them.
namespace N = SettingName;
using Outcome = CPasswordVault::Outcome;

namespace {
struct Answer {
    Outcome outcome;
    std::string password;
};

// Runs one vault call and waits for its answer.
template <class Call> std::optional<Answer> Ask(Call call) {
    std::optional<Answer> answer;
    call([&](Outcome o, const std::string& p) { answer = Answer{o, p}; });
    (void)QTest::qWaitFor([&] { return answer.has_value(); }, 10000);
    return answer;
}
} // namespace

class TestPasswordVault : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void accountKeys();
    void aVaultGoneBeforeTheAnswer();
    void writeReadRemove();
    void storedPasswordMovesToTheKeyring();
    void aNewerStoreValueWins();
    void firewallPasswordToo();
    void savedHostsMoveAndSessionsReadThem();
    void importedPasswordsGoWhereSavedOnesGo();

private:
    Outcome Expected() const { return m_keyring ? Outcome::Done : Outcome::NoKeyring; }
    CPasswordVault m_vault;
    bool m_keyring = false;
};

void TestPasswordVault::initTestCase() {
    const QByteArray mode = qgetenv("LUMO_TEST_KEYRING");
    QVERIFY2(mode == "keyring" || mode == "none", "run through tests/fixtures/keyring-session.sh");
    m_keyring = mode == "keyring";
}

void TestPasswordVault::accountKeys() {
    QCOMPARE(CPasswordVault::AccountKey("demo", "ftp.example.jp", 21),
             QStringLiteral("demo@ftp.example.jp:21"));
    QCOMPARE(CPasswordVault::AccountKey("山田", "::1", 990), QStringLiteral("山田@::1:990"));
}

void TestPasswordVault::aVaultGoneBeforeTheAnswer() {
    // The window may close a page while its question to the keyring is out: no answer, no crash.
    bool answered = false;
    {
        CPasswordVault vault;
        vault.Read(QStringLiteral("gone@example.jp:21"),
                   [&](Outcome, const std::string&) { answered = true; });
    }
    QTest::qWait(300);
    QVERIFY(!answered);
}

void TestPasswordVault::writeReadRemove() {
    const QString account = CPasswordVault::AccountKey("demo", "127.0.0.1", 21);
    // The longest password the store keeps, with Japanese text and bytes that are not UTF-8.
    const std::string password = std::string("パスワード\x82\xa0") + std::string(380, 'p');
    auto written = Ask([&](auto cb) { m_vault.Write(account, password, cb); });
    QVERIFY(written);
    QCOMPARE(written->outcome, Expected());

    auto read = Ask([&](auto cb) { m_vault.Read(account, cb); });
    QVERIFY(read);
    QCOMPARE(read->outcome, Expected());
    QCOMPARE(read->password, m_keyring ? password : std::string());
    if (m_keyring) {
        // Really in the Secret Service, where other programs of the user's session find it.
        QProcess tool;
        tool.start(QStringLiteral("secret-tool"),
                   {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("user"), account});
        QVERIFY(tool.waitForFinished(10000));
        QVERIFY2(tool.readAll().contains("lumo"), "secret-tool does not see the entry");
    }

    auto removed = Ask([&](auto cb) { m_vault.Remove(account, cb); });
    QVERIFY(removed);
    QCOMPARE(removed->outcome, Expected());
    read = Ask([&](auto cb) { m_vault.Read(account, cb); });
    QVERIFY(read);
    QCOMPARE(read->outcome, m_keyring ? Outcome::NotFound : Outcome::NoKeyring);
    QCOMPARE(read->password, std::string());
}

void TestPasswordVault::storedPasswordMovesToTheKeyring() {
    StoreFixture store;
    const QString account = CPasswordVault::AccountKey("demo", "ftp.example.jp", 21);
    {
        SettingsKey key;
        QVERIFY(key.CreateKey(KeyFamily::Host, "Host0"));
        key.WriteScrambled(N::Pass, "secret");
    }
    auto moved = Ask([&](auto cb) { m_vault.MoveToKeyring(KeyFamily::Host, "Host0", N::Pass, account, cb); });
    QVERIFY(moved);
    QCOMPARE(moved->outcome, Expected());
    SettingsKey key;
    QVERIFY(key.OpenKey(KeyFamily::Host, "Host0"));
    // With a keyring the file holds no trace of the password; without one it keeps it as before.
    QCOMPARE(key.ReadScrambled(N::Pass), std::string(m_keyring ? "" : "secret"));
    QCOMPARE(key.ReadDword(CPasswordVault::MarkerName(N::Pass), 0), m_keyring ? 1u : 0u);

    auto loaded = Ask([&](auto cb) { m_vault.LoadStored(KeyFamily::Host, "Host0", N::Pass, account, cb); });
    QVERIFY(loaded);
    QCOMPARE(loaded->password, std::string("secret"));
    QCOMPARE(loaded->outcome, m_keyring ? Outcome::Done : Outcome::NotFound);

    // Nothing to move: an empty password stays where it is, and nothing is marked.
    {
        SettingsKey k;
        QVERIFY(k.CreateKey(KeyFamily::Host, "Host1"));
        k.WriteScrambled(N::Pass, "");
    }
    moved = Ask([&](auto cb) { m_vault.MoveToKeyring(KeyFamily::Host, "Host1", N::Pass, account, cb); });
    QVERIFY(moved);
    QCOMPARE(moved->outcome, Outcome::NotFound);
    QVERIFY(key.OpenKey(KeyFamily::Host, "Host1"));
    QCOMPARE(key.ReadDword(CPasswordVault::MarkerName(N::Pass), 7), 7u);
}

void TestPasswordVault::aNewerStoreValueWins() {
    // A password saved later where the keyring did not answer must not be shadowed by the old one.
    StoreFixture store;
    const QString account = CPasswordVault::AccountKey("demo", "ftp.example.jp", 2121);
    {
        SettingsKey key;
        QVERIFY(key.CreateKey(KeyFamily::Host, "Host0"));
        key.WriteScrambled(N::Pass, "old");
    }
    QVERIFY(Ask([&](auto cb) { m_vault.MoveToKeyring(KeyFamily::Host, "Host0", N::Pass, account, cb); }));
    {
        SettingsKey key;
        QVERIFY(key.OpenKey(KeyFamily::Host, "Host0"));
        key.WriteScrambled(N::Pass, "new");
    }
    auto loaded = Ask([&](auto cb) { m_vault.LoadStored(KeyFamily::Host, "Host0", N::Pass, account, cb); });
    QVERIFY(loaded);
    QCOMPARE(loaded->password, std::string("new"));
    QCOMPARE(loaded->outcome, Outcome::NotFound);
}

void TestPasswordVault::firewallPasswordToo() {
    StoreFixture store;
    const QString account = CPasswordVault::AccountKey("fwuser", "fw.example.jp", 21);
    {
        SettingsKey key;
        QVERIFY(key.CreateKey(KeyFamily::Host, ""));
        key.WriteScrambled(N::FirePass, "fwsecret");
    }
    QVERIFY(Ask([&](auto cb) { m_vault.MoveToKeyring(KeyFamily::Host, "", N::FirePass, account, cb); }));
    SettingsKey key;
    QVERIFY(key.OpenKey(KeyFamily::Host, ""));
    QCOMPARE(key.ReadScrambled(N::FirePass).empty(), m_keyring);
    auto loaded = Ask([&](auto cb) { m_vault.LoadStored(KeyFamily::Host, "", N::FirePass, account, cb); });
    QVERIFY(loaded);
    QCOMPARE(loaded->password, std::string("fwsecret"));
}

void TestPasswordVault::savedHostsMoveAndSessionsReadThem() {
    StoreFixture store;
    RealFtpServer server(RealFtpServer::Kind::Pyftpdlib);
    QVERIFY2(server.start(), qPrintable(server.error()));
    HostRecord host;
    host.Name = "鍵";
    host.Adr = "127.0.0.1";
    host.Port = server.port();
    host.User = server.user().toStdString();
    host.Pass = server.password().toStdString();
    host.Pasv = 1;
    CQXDoc doc;
    QVERIFY(doc.SaveAllHosts({host}));
    // The first save after keyrings moves the store's passwords; without a keyring they stay.
    MovePasswordsToKeyring(m_vault);
    const auto storedPass = [] {
        SettingsKey key;
        return key.OpenKey(KeyFamily::Host, "Host0") ? key.ReadScrambled(N::Pass) : std::string("<no key>");
    };
    if (m_keyring)
        QTRY_COMPARE_WITH_TIMEOUT(storedPass(), std::string(), 10000);
    else
        QTest::qWait(300);
    QCOMPARE(storedPass(), m_keyring ? std::string() : host.Pass);

    // Saved again as the sheet shows it (no password where the keyring holds it): still there.
    HostList shown = doc.LoadAllHosts();
    QVERIFY(doc.SaveAllHosts(shown, {0}));
    {
        SettingsKey key;
        QVERIFY(key.OpenKey(KeyFamily::Host, "Host0"));
        QCOMPARE(key.ReadDword(CPasswordVault::MarkerName(N::Pass), 0), m_keyring ? 1u : 0u);
    }

    // A session with the stored host logs in with the password from wherever it lives, and so
    // does lumo-cli.
    RecordingUi ui;
    CFtpEngine engine(ui);
    QCOMPARE(engine.Connect(0), 1);
    QTRY_VERIFY2_WITH_TIMEOUT(ui.listings.size() == 1, ui.logText().c_str(), 10000);
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LUMO_CONFIG_DIR"), store.dir());
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(LUMO_CLI), {QStringLiteral("Host0"), QStringLiteral("pwd")});
    QVERIFY(cli.waitForFinished(30000));
    QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());

    // Another user for the host: the keyring's entry belongs to the old account, so the password
    // is not carried over silently.
    shown[0].User = "other";
    QVERIFY(doc.SaveAllHosts(shown, {0}));
    SettingsKey key;
    QVERIFY(key.OpenKey(KeyFamily::Host, "Host0"));
    QCOMPARE(key.ReadDword(CPasswordVault::MarkerName(N::Pass), 0), 0u);
}

void TestPasswordVault::importedPasswordsGoWhereSavedOnesGo() {
    StoreFixture store;
    RealFtpServer server(RealFtpServer::Kind::Pyftpdlib);
    QVERIFY2(server.start(), qPrintable(server.error()));
    QTemporaryDir dir;
    QFile sites(dir.filePath(QStringLiteral("sitemanager.xml")));
    QVERIFY(sites.open(QIODevice::WriteOnly));
    sites.write(
        QStringLiteral("<FileZilla3><Servers><Server><Host>127.0.0.1</Host><Port>%1</Port>"
                       "<Protocol>6</Protocol><User>%2</User><Pass encoding=\"base64\">%3</Pass>"
                       "<Logontype>1</Logontype><Name>取り込み</Name></Server></Servers></FileZilla3>")
            .arg(server.port())
            .arg(server.user(), QString::fromLatin1(server.password().toUtf8().toBase64()))
            .toUtf8());
    sites.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LUMO_CONFIG_DIR"), store.dir());
    auto cli = [&env](const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(LUMO_CLI), args);
        const bool ended = p.waitForFinished(30000);
        return std::make_pair(ended ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()));
    };
    const auto [status, out] = cli({QStringLiteral("import"), sites.fileName()});
    QCOMPARE(status, 0);
    QVERIFY2(out.contains(m_keyring ? QStringLiteral("キーリングに保存しました")
                                    : QStringLiteral("設定ファイルに保存しました")),
             qPrintable(out));
    SettingsKey key;
    QVERIFY(key.OpenKey(KeyFamily::Host, "Host0"));
    QCOMPARE(key.ReadScrambled(N::Pass), m_keyring ? std::string() : server.password().toStdString());
    // The imported host logs in with it.
    QCOMPARE(cli({QStringLiteral("取り込み"), QStringLiteral("pwd")}).first, 0);
}

QTEST_GUILESS_MAIN(TestPasswordVault)
#include "tst_password_vault.moc"
