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
    void aSaveSaysWherePasswordsWent();
    void aKeyringToMakeIsAskedForOnce();

private:
    Outcome Expected() const { return m_keyring ? Outcome::Done : Outcome::NoKeyring; }
    CPasswordVault m_vault;
    bool m_keyring = false;
};

void TestPasswordVault::initTestCase() {
    const QByteArray mode = qgetenv("LUMO_TEST_KEYRING");
    // "nodefault": the run that aKeyringToMakeIsAskedForOnce starts on a session of its own.
    QVERIFY2(mode == "keyring" || mode == "none" || mode == "nodefault",
             "run through tests/fixtures/keyring-session.sh");
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

namespace {
// Saves hosts with passwords (one without) and a firewall password, then moves them as a save of
// the host settings does; gives back where they went.
std::optional<PasswordsMoved> SaveAndMove(CPasswordVault& vault) {
    HostList hosts(4);
    for (int i = 0; i < 4; ++i) {
        hosts[i].Name = "h" + std::to_string(i);
        hosts[i].Adr = "ftp.example.jp";
        hosts[i].User = "user" + std::to_string(i);
        hosts[i].Pass = i == 2 ? "" : "secret" + std::to_string(i);
    }
    if (!CQXDoc().SaveAllHosts(hosts))
        return std::nullopt;
    {
        SettingsKey key;
        if (!key.CreateKey(KeyFamily::Host, ""))
            return std::nullopt;
        key.WriteString(N::FireUser, "fw");
        key.WriteScrambled(N::FirePass, "fwsecret");
    }
    std::optional<PasswordsMoved> moved;
    MovePasswordsToKeyring(vault, [&moved](const PasswordsMoved& m) { moved = m; });
    (void)QTest::qWaitFor([&] { return moved.has_value(); }, 20000);
    return moved;
}

std::string StoredPass(const char* host) {
    SettingsKey key;
    return key.OpenKey(KeyFamily::Host, host) ? key.ReadScrambled(N::Pass) : std::string("<no key>");
}
} // namespace

void TestPasswordVault::aSaveSaysWherePasswordsWent() {
    if (!m_keyring && qgetenv("LUMO_TEST_KEYRING") != "none")
        QSKIP("for the keyring and none runs");
    StoreFixture store;
    const auto moved = SaveAndMove(m_vault);
    QVERIFY(moved);
    QCOMPARE(moved->keyringAnswers, m_keyring);
    QCOMPARE(moved->inKeyring, m_keyring ? 4 : 0);
    QCOMPARE(moved->inStore, m_keyring ? 0 : 4);
    QCOMPARE(StoredPass("Host0"), m_keyring ? std::string() : std::string("secret0"));
    QCOMPARE(WherePasswordsWent(*moved),
             m_keyring ? QStringLiteral("パスワードはデスクトップのキーリングに保存しました"
                                        "（キーリングにあるパスワードはここに表示しません）。")
                       : QStringLiteral("キーリングが見つからないため、パスワードはこれまでどおり"
                                        "設定ファイルに保存しました。"));
    // A save with nothing left to move says nothing of its own.
    std::optional<PasswordsMoved> again;
    MovePasswordsToKeyring(m_vault, [&again](const PasswordsMoved& m) { again = m; });
    QTRY_VERIFY_WITH_TIMEOUT(again.has_value(), 20000);
    if (m_keyring)
        QCOMPARE(WherePasswordsWent(*again), QString());
    QCOMPARE(WherePasswordsWent({2, 1, true}),
             QStringLiteral("パスワード 2 件はデスクトップのキーリングに保存しましたが、1 件はキーリングに"
                            "保存できなかったため設定ファイルに保存しました。"));
}

void TestPasswordVault::aKeyringToMakeIsAskedForOnce() {
    const QByteArray mode = qgetenv("LUMO_TEST_KEYRING");
    if (mode == "nodefault") {
        // A Secret Service with no keyring yet: each write asks the desktop to make one, and the
        // prompter here declines (it cannot show). Four passwords, one question.
        StoreFixture store;
        const auto moved = SaveAndMove(m_vault);
        QVERIFY(moved);
        QCOMPARE(moved->keyringAnswers, true);
        QCOMPARE(moved->inKeyring, 0);
        QCOMPARE(moved->inStore, 4);
        QCOMPARE(WherePasswordsWent(*moved),
                 QStringLiteral("デスクトップのキーリングに保存できなかったため、パスワードはこれまでどおり"
                                "設定ファイルに保存しました。"));
        QCOMPARE(StoredPass("Host3"), std::string("secret3"));
        QFile prompts(QString::fromLocal8Bit(qgetenv("LUMO_TEST_PROMPTS")));
        QVERIFY(prompts.open(QIODevice::ReadOnly));
        QCOMPARE(prompts.readAll().count('\n'), 1);
        return;
    }
    if (!m_keyring)
        QSKIP("needs gnome-keyring");
    // The run above, on a session bus of its own whose only prompter counts the questions.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("services")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("run")));
    QFile::setPermissions(dir.filePath(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const auto write = [&dir](const QString& name, const QString& text) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) == text.toUtf8().size();
    };
    QVERIFY(write(QStringLiteral("prompter.sh"),
                  QStringLiteral("#!/bin/sh\necho asked >>\"$LUMO_TEST_PROMPTS\"\nexit 1\n")));
    QVERIFY(write(QStringLiteral("services/org.gnome.keyring.SystemPrompter.service"),
                  QStringLiteral("[D-BUS Service]\nName=org.gnome.keyring.SystemPrompter\nExec=/bin/sh %1\n")
                      .arg(dir.filePath(QStringLiteral("prompter.sh")))));
    QVERIFY(write(
        QStringLiteral("bus.conf"),
        QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                       " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                       "<busconfig><type>session</type><listen>unix:tmpdir=%1</listen>"
                       "<servicedir>%1/services</servicedir>"
                       "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                       "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
            .arg(dir.path())));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LUMO_TEST_KEYRING"), QStringLiteral("nodefault"));
    env.insert(QStringLiteral("LUMO_TEST_PROMPTS"), dir.filePath(QStringLiteral("prompts")));
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("run")));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    QProcess run;
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QStringLiteral("dbus-run-session"),
              {QStringLiteral("--config-file=") + dir.filePath(QStringLiteral("bus.conf")),
               QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"),
               QStringLiteral("gnome-keyring-daemon --start --components=secrets >/dev/null && exec \"$@\""),
               QStringLiteral("sh"), QCoreApplication::applicationFilePath(),
               QStringLiteral("aKeyringToMakeIsAskedForOnce")});
    QVERIFY(run.waitForFinished(120000));
    const QByteArray out = run.readAll();
    QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, out.constData());
    QVERIFY2(out.contains("PASS   : TestPasswordVault::aKeyringToMakeIsAskedForOnce()"), out.constData());
}

QTEST_GUILESS_MAIN(TestPasswordVault)
#include "tst_password_vault.moc"
