#include "StoreFixture.h"
#include "engine/FtpAddress.h"
#include "engine/FtpEngine.h"
#include "fixtures/EngineProbe.h"
#include "fixtures/RecordingUi.h"
#include "fixtures/ScriptedFtpPeer.h"
#include "hosts/QXDoc.h"
#include "platform/TextCodec.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <sys/socket.h>

#include <memory>
#include <string>

namespace {
const char* const kLost = "ホストから切断されました。\r\n";
const char* const kFirewallLost = "ファイアウオールから切断されました。\r\n";

// A registered host 0 that points at the scripted peer.
void SaveHost(quint16 port, const std::string& adr = "127.0.0.1", int firewall = 0,
              int security = HostSecurity::None) {
    HostRecord h;
    h.Security = security;
    h.Name = "テスト";
    h.Adr = adr;
    h.Port = port;
    h.User = "user";
    h.Pass = "secret";
    h.Firewall = firewall;
    CQXDoc().SaveHost(0, h);
}

void SaveFirewall(quint16 port, int type, const std::string& user = "fwuser") {
    SettingsKey key;
    key.CreateKey(KeyFamily::Host);
    key.WriteString(SettingName::FireAdr, "127.0.0.1");
    key.WriteDword(SettingName::FirePort, port);
    key.WriteString(SettingName::FireUser, user);
    key.WriteScrambled(SettingName::FirePass, "fwpass");
    key.WriteDword(SettingName::FireType, static_cast<std::uint32_t>(type));
}

// Greeting, USER, PASS and a successful login; the engine then asks PWD.
ScriptedFtpPeer& Login(ScriptedFtpPeer& peer) {
    return peer.reply("220 ready")
        .expect("USER user")
        .reply("331 password please")
        .expect("PASS secret")
        .reply("230 logged in")
        .expect("PWD")
        .reply("257 \"/home/user\" is current");
}

// Login, then the listing the login queues is refused at its TYPE step, which leaves the session
// idle with an empty queue.
ScriptedFtpPeer& LoginToIdle(ScriptedFtpPeer& peer, CFtpEngine& engine) {
    return Login(peer).expect("TYPE A").reply("504 not now").waitFor([&engine] { return !engine.IsBusy(); });
}

// A connected pair on 127.0.0.1, standing for a data connection.
struct LoopbackPair {
    Socket near;
    Socket far;
};

LoopbackPair MakePair() {
    LoopbackPair p;
    Socket listener = ListenTcp(htonl(INADDR_LOOPBACK), 0);
    std::uint32_t a;
    std::uint16_t port;
    LocalAddress(listener.id(), a, port);
    p.near = Socket::CreateTcp();
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(port);
    ::connect(p.near.id(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    for (int i = 0; i < 200 && !p.far.valid(); ++i) {
        int fd = ::accept4(listener.id(), nullptr, nullptr, SOCK_NONBLOCK);
        if (fd >= 0)
            p.far = Socket(fd);
        else
            QTest::qWait(5);
    }
    return p;
}

bool PeerSawEnd(const Socket& s) {
    char c;
    return ::recv(s.id(), &c, 1, MSG_DONTWAIT) == 0;
}
} // namespace

class TestEngineSession : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void greetingSplitOverReadsThenLogin();
    void loginWaitsForTheGreetingAndStopsAtARefusal_data();
    void loginWaitsForTheGreetingAndStopsAtARefusal();
    void userAnswered230StillSendsPass();
    void hostFolderOpensAfterTheLogin();
    void innerLineOfAMultiLineReplyEndsNothing();
    void replyBytesAreKeptWhole();
    void refusedPasswordAsksAndRetriesOnTheSameConnection();
    void closeWhileTheAccountQuestionIsOpen();
    void firewallSchemes_data();
    void firewallSchemes();
    void firewallCloseHasItsOwnText();
    void unreachableFirewallEndsTheSession();
    void hostNameIsLookedUp();
    void connectingAgainEndsThePreviousSession();
    void connectFailures();
    void disconnectSaysQuit_data();
    void disconnectSaysQuit();
    void replyTimeoutReturnsToIdle();
    void replyIsTimedAsAWhole();
    void silentServerEndsTheLogin_data();
    void silentServerEndsTheLogin();
    void untimeoutLimitsOnlyTheLogin();
    void closeAtEachStage_data();
    void closeAtEachStage();
    void idleLogsUnsolicitedReplies();
    void queueRunsInOrderAndShellOpenWaitsItsTurn();
    void cancelClosesDataAndWaitsPast426();
    void cancelDuringTheLoginGivesUpTheConnecting();
    void abortEndsOnAnyFinalReplyOrItsTimeout();
    void endlessReplyIsCutOff_data();
    void endlessReplyIsCutOff();
    void longCommandGoesOutWhole();
    void dataConnectionTable();

private:
    std::unique_ptr<StoreFixture> m_store;
    std::unique_ptr<ScriptedFtpPeer> m_peer;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<CFtpEngine> m_engine;

    void makeEngine() {
        m_ui = std::make_unique<RecordingUi>();
        m_engine = std::make_unique<CFtpEngine>(*m_ui);
    }
    std::string log() const { return m_ui->logText(); }
};

void TestEngineSession::init() {
    m_store = std::make_unique<StoreFixture>();
    m_peer = std::make_unique<ScriptedFtpPeer>();
    QVERIFY(m_peer->listen());
    makeEngine();
}

void TestEngineSession::cleanup() {
    m_engine.reset();
    m_ui.reset();
    m_peer.reset();
    m_store.reset();
}

void TestEngineSession::greetingSplitOverReadsThenLogin() {
    SaveHost(m_peer->port());
    m_peer->send("220-Welcome\r\n220 Ready\r\n", {3, 9, 15, 20})
        .expect("USER user")
        .reply("331 password please")
        .expect("PASS secret")
        .reply("230 logged in")
        .expect("FEAT")
        .send("211-Features:\r\n MDTM\r\n UTF8\r\n211 End\r\n", {12})
        .expect("OPTS UTF8 ON")
        .reply("200 Always in UTF8 mode.")
        .expect("PWD")
        .send("257 \"/home/user\" is current\r\n", {5})
        .expect("TYPE A")
        .reply("504 not now");
    QCOMPARE(m_engine->Connect(0), 1);
    QVERIFY(m_engine->IsConnected());
    QVERIFY(m_engine->IsBusy());
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_COMPARE(m_ui->foldersSet.size(), size_t(1));
    QCOMPARE(m_ui->foldersSet[0], std::string("/home/user"));
    QTRY_VERIFY(!m_engine->IsBusy());

    QCOMPARE(log(), std::string("テストに接続します\r\n"
                                "接続しました\r\n"
                                "220-Welcome\r\n220 Ready\r\n"
                                "USER user\r\n"
                                "331 password please\r\n"
                                "PASS\r\n"
                                "230 logged in\r\n"
                                "FEAT\r\n"
                                "211-Features:\r\n MDTM\r\n UTF8\r\n211 End\r\n"
                                "OPTS UTF8 ON\r\n"
                                "200 Always in UTF8 mode.\r\n"
                                "PWD\r\n"
                                "257 \"/home/user\" is current\r\n"
                                "TYPE A\r\n"
                                "504 not now\r\n"
                                "カレントディレクトリのファイル一覧を取得できませんでした。\r\n"));
    // The server offered UTF-8 names: the session's names are UTF-8 whatever a listing holds.
    QCOMPARE(m_engine->Names().Set(), RemoteCharset::Utf8);
    QVERIFY(m_ui->names == m_engine->Names());
    // After PWD the queued listing ran.
    QCOMPARE(m_engine->CurrentOperation(), WM_FTP_LIST);
    QVERIFY(m_engine->Queue().empty());
    QCOMPARE(m_ui->connectedStates.front(), true);
    QVERIFY(EngineProbe::IsRearmTimerActive(*m_engine));
}

void TestEngineSession::loginWaitsForTheGreetingAndStopsAtARefusal_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<bool>("loggedIn");
    // The line the failure is reported with (and the status bar left with).
    QTest::addColumn<QString>("failure");
    QTest::newRow("120 before the greeting")
        << "120" << QStringList{"USER user", "PASS secret"} << true << QString();
    // A server that turns the client away at once gets no account from it.
    QTest::newRow("421 greeting") << "421" << QStringList{} << false
                                  << QStringLiteral("サーバーが接続を受け付けませんでした。");
    QTest::newRow("USER refused") << "USER 530" << QStringList{"USER user"} << false
                                  << QStringLiteral(
                                         "ログインできませんでした（ユーザー名が拒否されました）。");
    QTest::newRow("PASS refused") << "PASS 530" << QStringList{"USER user", "PASS secret"} << false
                                  << QStringLiteral(
                                         "ログインできませんでした（パスワードが拒否されました）。");
    // Only 530 speaks of the account.
    QTest::newRow("PASS not accepted") << "PASS 503" << QStringList{"USER user", "PASS secret"} << false
                                       << QStringLiteral("ログインできませんでした。");
}

void TestEngineSession::loginWaitsForTheGreetingAndStopsAtARefusal() {
    QFETCH(QString, server);
    QFETCH(QStringList, commands);
    QFETCH(bool, loggedIn);
    SaveHost(m_peer->port());
    // A refused login asks for the account again; cancelling the question ends the session.
    m_ui->accountAnswers.push_back({Answer::Cancel, {}, {}});
    if (server == "120") {
        m_peer->reply("120 Service ready in 1 minute").pause(200).call([this] {
            QVERIFY(m_peer->commands().empty());
        });
        Login(*m_peer);
    } else if (server == "421") {
        m_peer->reply("421 Too many users").expectClose();
    } else if (server == "USER 530") {
        m_peer->reply("220 ready").expect("USER user").reply("530 Login refused").expectClose();
    } else {
        m_peer->reply("220 ready")
            .expect("USER user")
            .reply("331 password please")
            .expect("PASS secret")
            .reply(server.mid(5).toStdString() + " Login refused")
            .expectClose();
    }
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QStringList sent;
    for (const std::string& c : m_peer->commands())
        sent << QString::fromStdString(c);
    // What the login sent, in order; the session goes on after a successful one.
    QCOMPARE(sent.mid(0, commands.size()), commands);
    if (loggedIn) {
        QTRY_COMPARE(m_ui->foldersSet.size(), size_t(1));
        return;
    }
    QCOMPARE(sent.size(), commands.size());
    // Nothing is left that looks like a session: every command sees a disconnected window.
    QTRY_VERIFY(!m_engine->IsConnected());
    QCOMPARE(m_ui->connectedStates.back(), false);
    QVERIFY(!EngineProbe::IsReplyTimerActive(*m_engine));
    QCOMPARE(m_ui->accountQuestions.size(), size_t(server == "421" ? 0 : 1));
    QFETCH(QString, failure);
    QCOMPARE(QString::fromStdString(m_ui->failures.front()), failure + "\r\n");
    // The refusal is logged before the account is asked for again.
    if (server != "421")
        QVERIFY(m_ui->logContains(" Login refused\r\n" + failure.toStdString() +
                                  "\r\nログインを取りやめました。\r\n"));
    else
        QCOMPARE(QString::fromStdString(m_ui->statusTexts.back().first), failure);
}

void TestEngineSession::userAnswered230StillSendsPass() {
    SaveHost(m_peer->port());
    m_peer->reply("220 ready")
        .expect("USER user")
        .reply("230 no password needed")
        .expect("PASS secret")
        // The login happened on USER: a server that finds PASS out of sequence changes nothing.
        .reply("503 Login with USER first")
        .expect("PWD")
        .reply("257 \"/\"");
    // The step trace, asked for, names each step the login enters.
    static QStringList trace;
    QLoggingCategory::setFilterRules(QStringLiteral("lumo.engine.steps.debug=true"));
    const QtMessageHandler before =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext& c, const QString& m) {
            if (QByteArray(c.category) == "lumo.engine.steps")
                trace << m.section(QLatin1Char(':'), 1).trimmed();
        });
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_COMPARE(m_ui->foldersSet.size(), size_t(1));
    QVERIFY(m_ui->accountQuestions.empty());
    qInstallMessageHandler(before);
    QLoggingCategory::setFilterRules(QString());
    QCOMPARE(trace.mid(0, 5),
             (QStringList{"CONNECT on connect|close", "CONNECT on read|close", "USER on write|close",
                          "USER on read|close", "PASS on write|close"}));
    QVERIFY(trace.contains("PWD on read|close"));
}

void TestEngineSession::hostFolderOpensAfterTheLogin() {
    HostRecord h;
    h.Name = "テスト";
    h.Adr = "127.0.0.1";
    h.Port = m_peer->port();
    h.User = "user";
    h.Pass = "secret";
    h.charset = static_cast<int>(RemoteCharset::ShiftJis);
    h.RemotePath = "/www/サイト";
    CQXDoc().SaveHost(0, h);
    // Typed as text, sent in the host's set.
    const std::string folder = "/www/" + EncodeCp932(QStringLiteral("サイト"));
    m_peer->reply("220 ready")
        .expect("USER user")
        .reply("331 password please")
        .expect("PASS secret")
        .reply("230 in")
        .expect("CWD " + folder)
        .reply("250 ok")
        .expect("PWD")
        .reply("257 \"" + folder + "\"");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_COMPARE(m_ui->foldersSet, std::vector<std::string>{folder});
}

void TestEngineSession::innerLineOfAMultiLineReplyEndsNothing() {
    // The first piece ends with a line of three digits and a space inside the greeting: USER must
    // wait for the greeting's own last line, or every later reply answers the command before.
    SaveHost(m_peer->port());
    const std::string greeting = "220-Welcome\r\n123 inner line\r\n220 ready\r\n";
    m_peer->send(greeting, {greeting.find("220 ready")})
        .expect("USER user")
        .reply("331 password please")
        .expect("PASS secret")
        .reply("230 logged in")
        .expect("PWD")
        .reply("257 \"/home/user\" is current")
        .expect("TYPE A")
        .reply("200 ok")
        .expectPort()
        .expect("LIST")
        .sendData("-rw-r--r-- 1 u g 1 Jan  1  2020 listing\r\n")
        .closeData()
        // Two replies in one piece: the second is taken in its turn, though no read announces it.
        .send("150 Here comes the listing\r\n226 Transfer complete\r\n");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(!m_engine->IsBusy());
    QCOMPARE(m_ui->foldersSet, std::vector<std::string>{"/home/user"});
    QCOMPARE(m_ui->listings, std::vector<std::vector<std::string>>{{"listing"}});
    QVERIFY(m_ui->accountQuestions.empty());
}

void TestEngineSession::replyBytesAreKeptWhole() {
    // A zero byte inside a reply does not cut off the rest of what was received.
    SaveHost(m_peer->port());
    const std::string greeting("220-a\0b\r\n220 \x82\xa0 ready\r\n", 23);
    m_peer->send(greeting).expect("USER user");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QVERIFY(m_ui->logContains(greeting));
    QCOMPARE(EngineProbe::Reply(*m_engine).Code(), 220);
}

void TestEngineSession::refusedPasswordAsksAndRetriesOnTheSameConnection() {
    SaveHost(m_peer->port());
    m_ui->accountAnswers.push_back({Answer::Yes, "other", "p@ss"});
    m_peer->reply("220 ready")
        .expect("USER user")
        .reply("331 password please")
        .expect("PASS secret")
        .reply("530 Login incorrect")
        .expect("USER other")
        .reply("331 password please")
        .expect("PASS p@ss")
        .reply("230 logged in")
        .expect("PWD")
        .reply("257 \"/\"");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QCOMPARE(m_peer->connectionCount(), 1);
    QCOMPARE(m_ui->accountQuestions.size(), size_t(1));
    QCOMPARE(m_ui->accountQuestions[0].first, std::string("user"));
    QCOMPARE(m_ui->accountQuestions[0].second, std::string("secret"));
    // The stored host is not changed by the retry.
    HostRecord stored;
    CQXDoc().LoadHost(0, stored);
    QCOMPARE(stored.User, std::string("user"));
    QCOMPARE(m_engine->Host().Pass, std::string("secret"));
    QVERIFY(log().find("secret") == std::string::npos);
    QVERIFY(log().find("p@ss") == std::string::npos);
    QTRY_COMPARE(m_ui->foldersSet.size(), size_t(1));
}

void TestEngineSession::closeWhileTheAccountQuestionIsOpen() {
    SaveHost(m_peer->port());
    m_ui->accountAnswers.push_back({Answer::Yes, "other", "x"});
    m_ui->whileAsking = [this] {
        // The dialog's own event loop sees the server go.
        QTRY_VERIFY(!m_engine->IsConnected());
    };
    m_peer->reply("220 ready")
        .expect("USER user")
        .reply("331 password please")
        .expect("PASS secret")
        .reply("530 Login incorrect")
        .close();
    m_engine->Connect(0);
    QTRY_COMPARE(m_ui->accountQuestions.size(), size_t(1));
    QVERIFY(!m_engine->IsConnected());
    QTest::qWait(50);
    QCOMPARE(m_peer->commands().size(), size_t(2));
    QVERIFY(log().find(kLost) != std::string::npos);
}

void TestEngineSession::firewallSchemes_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("fireUser");
    QTest::addColumn<QStringList>("commands");
    const QStringList login = {"USER user", "PASS secret"};
    QTest::newRow("0 USER user@host")
        << 0 << "fwuser" << QStringList{"USER user@ftp.example.jp", "PASS secret"};
    QTest::newRow("1 OPEN host") << 1 << "fwuser" << (QStringList{"OPEN ftp.example.jp"} + login);
    QTest::newRow("2 open host") << 2 << "fwuser" << (QStringList{"open ftp.example.jp"} + login);
    QTest::newRow("3 login, OPEN") << 3 << "fwuser"
                                   << (QStringList{"USER fwuser", "PASS fwpass", "OPEN ftp.example.jp"} +
                                       login);
    QTest::newRow("4 login, USER user@host")
        << 4 << "fwuser"
        << QStringList{"USER fwuser", "PASS fwpass", "USER user@ftp.example.jp", "PASS secret"};
    QTest::newRow("5 login, SITE") << 5 << "fwuser"
                                   << (QStringList{"USER fwuser", "PASS fwpass", "SITE ftp.example.jp"} +
                                       login);
    QTest::newRow("above 5 acts as 5")
        << 9 << "fwuser" << (QStringList{"USER fwuser", "PASS fwpass", "SITE ftp.example.jp"} + login);
    QTest::newRow("3 with no firewall user")
        << 3 << "" << (QStringList{"USER ", "PASS fwpass", "OPEN ftp.example.jp"} + login);
}

void TestEngineSession::firewallSchemes() {
    QFETCH(int, type);
    QFETCH(QString, fireUser);
    QFETCH(QStringList, commands);
    // The host's own address is never looked up: only the firewall is contacted.
    SaveHost(1, "ftp.example.jp", 1);
    SaveFirewall(m_peer->port(), type, fireUser.toStdString());
    m_peer->reply("220 firewall ready");
    for (const QString& c : commands)
        m_peer->expect(c.toStdString()).reply(c.startsWith("PASS") ? "230 ok" : "331 go on");
    m_peer->expect("PWD").reply("257 \"/\"");
    QCOMPARE(m_engine->Connect(0), 1);
    QVERIFY(m_engine->IsConnected());
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_COMPARE(m_ui->foldersSet.size(), size_t(1));
    // Neither password reaches the log: the firewall's goes to the wire only.
    QVERIFY(log().find("fwpass") == std::string::npos);
    QVERIFY(log().find("secret") == std::string::npos);
    QVERIFY(log().find("PASS\r\n") != std::string::npos);
}

void TestEngineSession::firewallCloseHasItsOwnText() {
    SaveHost(1, "ftp.example.jp", 1);
    SaveFirewall(m_peer->port(), 3);
    m_peer->reply("220 firewall ready").expect("USER fwuser").close();
    m_engine->Connect(0);
    QTRY_VERIFY(!m_engine->IsConnected());
    QVERIFY(log().substr(log().size() - strlen(kFirewallLost)) == kFirewallLost);
    QVERIFY(log().find(kLost) == std::string::npos);

    // After the hand-over to the host, a close is the host's.
    ScriptedFtpPeer second;
    QVERIFY(second.listen());
    SaveFirewall(second.port(), 1);
    second.reply("220 firewall ready").expect("OPEN ftp.example.jp").close();
    m_engine->Connect(0);
    QTRY_VERIFY(second.done());
    QTRY_VERIFY(!m_engine->IsConnected());
    QVERIFY(log().substr(log().size() - strlen(kLost)) == kLost);
}

void TestEngineSession::unreachableFirewallEndsTheSession() {
    // Nothing listens on the port of a bound socket that does not listen.
    Socket placeholder = Socket::CreateTcp();
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(placeholder.id(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    std::uint32_t a;
    std::uint16_t closedPort;
    LocalAddress(placeholder.id(), a, closedPort);

    SaveHost(1, "ftp.example.jp", 1);
    SaveFirewall(closedPort, 1);
    m_engine->Connect(0);
    QTRY_VERIFY(!m_engine->IsConnected());
    QCOMPARE(log(), std::string("テストに接続します\r\nファイアウオールに接続できませんでした。\r\n"));
    QCOMPARE(m_ui->connectedStates.back(), false);
}

void TestEngineSession::hostNameIsLookedUp() {
    SaveHost(m_peer->port(), "localhost");
    LoginToIdle(*m_peer, *m_engine);
    QCOMPARE(m_engine->Connect(0), 1);
    // The control socket exists while the lookup runs: the session counts as connected.
    QVERIFY(m_engine->IsConnected());
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QCOMPARE(EngineProbe::LookedUpAddress(*m_engine).v4NetOrder(), htonl(INADDR_LOOPBACK));

    // Only a dotted address is used as it stands; a name that begins with a digit is looked up
    // like any other ("127.1" is such a name, which the system's lookup reads as 127.0.0.1).
    QVERIFY(IsDottedIpv4("127.0.0.1") && IsDottedIpv4("10.0.0.255"));
    for (const char* name : {"1box.example", "127.1", "256.0.0.1", "1.2.3.4.5", "1..2.3", "1.2.3.4 "})
        QVERIFY2(!IsDottedIpv4(name), name);
    for (const char* adr : {"127.1", "127.0.0.1"}) {
        EngineProbe::LookedUpAddress(*m_engine) = NetAddress{};
        ScriptedFtpPeer second;
        QVERIFY(second.listen());
        SaveHost(second.port(), adr);
        second.reply("220 ready").expect("USER user");
        QCOMPARE(m_engine->Connect(0), 1);
        QTRY_VERIFY(second.done());
        QVERIFY2(!second.failed(), qPrintable(second.failure()));
        QCOMPARE(EngineProbe::LookedUpAddress(*m_engine).v4NetOrder(),
                 std::string(adr) == "127.1" ? htonl(INADDR_LOOPBACK) : 0u);
    }
}

void TestEngineSession::connectingAgainEndsThePreviousSession() {
    SaveHost(m_peer->port());
    Login(*m_peer).expect("TYPE A").reply("504 not now").expectClose();
    m_engine->Connect(0);
    QTRY_VERIFY(m_ui->logContains("504 not now\r\n"));

    ScriptedFtpPeer second;
    QVERIFY(second.listen());
    SaveHost(second.port());
    second.reply("220 second").expect("USER user");
    QCOMPARE(m_engine->Connect(0), 1);
    QVERIFY(m_engine->IsBusy());
    QVERIFY(m_engine->Queue().empty());
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(second.done());
    QVERIFY2(!second.failed(), qPrintable(second.failure()));
    // Leaving a session on purpose is not a lost connection.
    QVERIFY(!m_ui->logContains(kLost));
}

void TestEngineSession::disconnectSaysQuit_data() {
    QTest::addColumn<QString>("server");
    QTest::newRow("answers 221") << "221";
    QTest::newRow("closes without an answer") << "close";
    // A new session begins while the server keeps the QUIT waiting.
    QTest::newRow("silent, connecting again meanwhile") << "silent";
}

void TestEngineSession::disconnectSaysQuit() {
    QFETCH(QString, server);
    SaveHost(m_peer->port());
    QSignalSpy quitDone(m_engine.get(), &CFtpEngine::QuitDone);
    ScriptedFtpPeer second;
    QVERIFY(second.listen());
    bool endedAtOnce = false;
    LoginToIdle(*m_peer, *m_engine)
        .call([&] {
            m_engine->SetTimeoutMs(server == "silent" ? 1500 : 30000);
            m_engine->CloseSession();
            // The window sees the session end at once; the answer is waited for beside it.
            endedAtOnce = !m_engine->IsConnected() && m_engine->IsQuitting() && !m_ui->connectedStates.back();
            if (server == "silent") {
                SaveHost(second.port());
                m_engine->Connect(0);
            }
        })
        .expect("QUIT");
    if (server == "221")
        m_peer->reply("221 Goodbye.").expectClose();
    else if (server == "close")
        m_peer->close();
    else
        m_peer->expectClose();
    if (server == "silent")
        LoginToIdle(second, *m_engine);
    m_engine->Connect(0);
    QTRY_VERIFY_WITH_TIMEOUT(m_peer->done(), 10000);
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QVERIFY(endedAtOnce);
    QTRY_COMPARE(quitDone.count(), 1);
    QVERIFY(!m_engine->IsQuitting());
    const std::string ended = server == "silent"
                                  ? "テストとの接続を切断しました（QUIT に応答がありませんでした）。\r\n"
                                  : "テストとの接続を切断しました。\r\n";
    QVERIFY2(m_ui->logContains(server == "221" ? "QUIT\r\n221 Goodbye.\r\n" + ended : ended), log().c_str());
    QVERIFY(!m_ui->logContains(kLost));
    if (server == "silent") {
        // The time-out of the old connection leaves the new session alone.
        QTRY_VERIFY(second.done());
        QVERIFY2(!second.failed(), qPrintable(second.failure()));
        QVERIFY(m_engine->IsConnected());
        QVERIFY(m_engine->IsLoggedIn());
    }
}

void TestEngineSession::connectFailures() {
    // Nothing listens on the port of a bound socket that does not listen.
    Socket placeholder = Socket::CreateTcp();
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(placeholder.id(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    std::uint32_t a;
    std::uint16_t closedPort;
    LocalAddress(placeholder.id(), a, closedPort);

    SaveHost(closedPort);
    QCOMPARE(m_engine->Connect(0), 1);
    QTRY_VERIFY(!m_engine->IsConnected());
    QCOMPARE(log(), std::string("テストに接続します\r\n接続エラーです（接続を拒否されました）\r\n"));
    QCOMPARE(m_ui->connectedStates.back(), false);
    // The status bar is left saying why, not emptied by the session's end.
    QCOMPARE(m_ui->statusTexts.back().first, std::string("接続エラーです（接続を拒否されました）"));

    // A name under .invalid never resolves, and the resolver knows so without asking the network.
    SaveHost(21, "nothing.invalid");
    QCOMPARE(m_engine->Connect(0), 1);
    QTRY_VERIFY(!m_engine->IsConnected());
    QCOMPARE(m_ui->failures.back(), std::string("接続エラーです（ホストが見つかりません）\r\n"));
    QCOMPARE(m_ui->statusTexts.back().first, std::string("接続エラーです（ホストが見つかりません）"));

    SaveHost(21, "");
    QCOMPARE(m_engine->Connect(0), 0);
    QVERIFY(!m_engine->IsConnected());
    const std::string noAddress = "テストに接続します\r\n接続アドレスが取得できませんでした。\r\n";
    QVERIFY(log().size() > noAddress.size() && log().substr(log().size() - noAddress.size()) == noAddress);

    // A registration that does not exist at all.
    QCOMPARE(m_engine->Connect(7), 0);
}

void TestEngineSession::replyTimeoutReturnsToIdle() {
    SaveHost(m_peer->port());
    bool idleAfterTimeout = false;
    bool lateReplyChangedNothing = false;
    m_peer->reply("220 ready")
        .expect("USER user")
        .reply("331 password please")
        .expect("PASS secret")
        // Short only after the login, so that a busy machine never times out the login itself.
        .call([this] { m_engine->SetTimeoutMs(400); })
        .reply("230 logged in")
        .expect("PWD")
        .waitFor([this] { return m_ui->logContains("タイムアウトしました。\r\n"); })
        .call([&] {
            // The listing queued behind PWD went with the time-out; the session stays.
            idleAfterTimeout =
                !m_engine->IsBusy() && m_engine->Queue().empty() && m_engine->IsConnected() &&
                !EngineProbe::IsReplyTimerActive(*m_engine) &&
                EngineProbe::Events(*m_engine).Message(EngineProbe::ControlSocket(*m_engine)) == WM_FTP_IDLE;
        })
        .reply("257 \"/late\"")
        .waitFor([this] { return m_ui->logContains("257 \"/late\"\r\n"); })
        .call([&] {
            // A late reply is still read and logged, and changes nothing.
            lateReplyChangedNothing =
                m_ui->foldersSet.empty() && !m_engine->IsBusy() && m_engine->IsConnected();
        })
        .close();
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QVERIFY(idleAfterTimeout);
    QVERIFY(lateReplyChangedNothing);
    QTRY_VERIFY(!m_engine->IsConnected());
    QVERIFY(log().substr(log().size() - strlen(kLost)) == kLost);
}

void TestEngineSession::replyIsTimedAsAWhole() {
    // A greeting that sends a line now and then: each line used to start the time-out afresh, and
    // the session waited as long as the server liked.
    SaveHost(m_peer->port());
    m_engine->SetTimeoutMs(800);
    for (int i = 0; i < 3; ++i)
        m_peer->send("220-still greeting\r\n").pause(100);
    m_peer->expectClose();
    m_engine->Connect(0);
    QTRY_VERIFY_WITH_TIMEOUT(m_peer->done(), 10000);
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    // The greeting never ended: the server was never reached as an FTP server.
    QVERIFY(m_ui->logContains("接続エラーです（応答がありません）\r\n"));
    QVERIFY(m_peer->commands().empty());
    QVERIFY(!m_engine->IsConnected());
}

void TestEngineSession::silentServerEndsTheLogin_data() {
    QTest::addColumn<QString>("silence");
    QTest::newRow("no greeting") << "greeting";
    QTest::newRow("no answer to USER") << "USER";
    QTest::newRow("TLS handshake never answered") << "TLS";
}

void TestEngineSession::silentServerEndsTheLogin() {
    QFETCH(QString, silence);
    SaveHost(m_peer->port(), "127.0.0.1", 0, silence == "TLS" ? HostSecurity::Explicit : HostSecurity::None);
    m_engine->SetTimeoutMs(1000);
    if (silence == "USER")
        m_peer->reply("220 ready").expect("USER user");
    else if (silence == "TLS")
        m_peer->reply("220 ready").expect("AUTH TLS").reply("234 go ahead");
    m_peer->expectClose();
    m_engine->Connect(0);
    QTRY_VERIFY_WITH_TIMEOUT(m_peer->done(), 10000);
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QVERIFY(!m_engine->IsConnected());
    QCOMPARE(m_ui->connectedStates.back(), false);
    QCOMPARE(m_ui->failures.back(),
             std::string(silence == "greeting" ? "接続エラーです（応答がありません）\r\n"
                                               : "タイムアウトしました。\r\n"));
    QCOMPARE(m_ui->statusTexts.back().first + "\r\n", m_ui->failures.back());
}

void TestEngineSession::untimeoutLimitsOnlyTheLogin() {
    {
        SettingsKey key;
        key.CreateKey(KeyFamily::System);
        key.WriteDword(SettingName::Timeout, 1000);
    }
    m_engine->ReadSystemSettings();
    QCOMPARE(m_engine->TimeoutMs(), 30000);
    {
        SettingsKey key;
        key.CreateKey(KeyFamily::System);
        key.WriteDword(SettingName::Timeout, 5);
        key.WriteDword(SettingName::UnTimeout, 1);
    }
    makeEngine();
    QCOMPARE(m_engine->TimeoutMs(), 0);

    // Without a time-out the login is still limited, and nothing after it.
    SaveHost(m_peer->port());
    m_peer->pause(100)
        .call([this] { QVERIFY(EngineProbe::IsReplyTimerActive(*m_engine)); })
        .reply("220 ready")
        .expect("USER user")
        .send("331-part", {})
        .waitFor([this] { return m_engine->IsBusy() && !m_ui->logContains("331"); })
        .pause(100)
        .call([this] { QVERIFY(EngineProbe::IsReplyTimerActive(*m_engine)); })
        .send("\r\n331 rest\r\n")
        .expect("PASS secret")
        .reply("230 ok")
        .expect("PWD")
        .call([this] { QVERIFY(!EngineProbe::IsReplyTimerActive(*m_engine)); });
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QVERIFY(!EngineProbe::IsReplyTimerActive(*m_engine));
}

void TestEngineSession::closeAtEachStage_data() {
    QTest::addColumn<int>("stage");
    QTest::addColumn<bool>("reset");
    const char* names[] = {"before greeting", "inside greeting", "after USER", "after PASS", "idle",
                           "during PWD"};
    for (int stage = 0; stage < 6; ++stage) {
        QTest::addRow("%s, close", names[stage]) << stage << false;
        QTest::addRow("%s, reset", names[stage]) << stage << true;
    }
}

void TestEngineSession::closeAtEachStage() {
    QFETCH(int, stage);
    QFETCH(bool, reset);
    SaveHost(m_peer->port());
    ScriptedFtpPeer& p = *m_peer;
    // A reset that overtakes the connect itself would be a connect error instead.
    p.waitFor([this] { return m_ui->logContains("接続しました\r\n"); });
    if (stage >= 1)
        p.send(stage == 1 ? "220-hello\r\n" : "220 ready\r\n");
    if (stage >= 2)
        p.expect("USER user");
    if (stage >= 3)
        p.reply("331 password please").expect("PASS secret");
    if (stage >= 4)
        p.reply("230 logged in").expect("PWD");
    if (stage == 4) {
        // Idle needs an empty queue: the listing the login queued is refused.
        p.reply("257 \"/\"").expect("TYPE A").reply("504 not now").waitFor([this] {
            return !m_engine->IsBusy();
        });
    }
    if (stage == 5)
        p.send("257-partial\r\n");
    if (stage == 0 || stage == 4)
        p.pause(50);
    if (reset)
        p.reset();
    else
        p.close();
    m_engine->Connect(0);
    QTRY_VERIFY(!m_engine->IsConnected());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QVERIFY2(log().size() >= strlen(kLost) && log().substr(log().size() - strlen(kLost)) == kLost,
             log().c_str());
    QVERIFY(m_engine->Queue().empty());
    QVERIFY(EngineProbe::DataConns(*m_engine).empty());
    QVERIFY(!EngineProbe::IsReplyTimerActive(*m_engine));
    QCOMPARE(m_ui->connectedStates.back(), false);
    QVERIFY(m_ui->fileListClears >= 1);
}

void TestEngineSession::idleLogsUnsolicitedReplies() {
    SaveHost(m_peer->port());
    bool stillIdle = false;
    LoginToIdle(*m_peer, *m_engine)
        .reply("421 Idle too long")
        .waitFor([this] { return m_ui->logContains("421 Idle too long\r\n"); })
        .call([&] {
            stillIdle = !m_engine->IsBusy() && EngineProbe::Events(*m_engine).Message(
                                                   EngineProbe::ControlSocket(*m_engine)) == WM_FTP_IDLE;
        })
        .close();
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY(stillIdle);
    QTRY_VERIFY(!m_engine->IsConnected());
    QVERIFY(log().substr(log().size() - strlen(kLost)) == kLost);
}

void TestEngineSession::queueRunsInOrderAndShellOpenWaitsItsTurn() {
    QCOMPARE(EngineProbe::Enqueue(*m_engine, Op::PrintFolder{}), 0);
    QVERIFY(m_engine->Queue().empty());

    SaveHost(m_peer->port());
    LoginToIdle(*m_peer, *m_engine)
        .call([this] {
            // Queued while idle and dispatched: starts at once. The shell open waits behind it.
            QCOMPARE(EngineProbe::Enqueue(*m_engine, Op::PrintFolder{}), 1);
            QCOMPARE(EngineProbe::Enqueue(*m_engine, Op::ShellOpen{"/tmp/down", "explore"}), 1);
            EngineProbe::Dispatch(*m_engine);
            // Queued while busy: waits; the dispatcher starts nothing.
            EngineProbe::Enqueue(*m_engine, Op::PrintFolder{});
            QCOMPARE(EngineProbe::Dispatch(*m_engine), 1);
            EngineProbe::Queue(*m_engine).push_front(Op::PrintFolder{});
            QCOMPARE(m_engine->Queue().size(), size_t(3));
            QVERIFY(std::holds_alternative<Op::ShellOpen>(m_engine->Queue()[1]));
        })
        .expect("PWD")
        .call([this] { QVERIFY(m_ui->shellOpens.empty()); })
        .reply("257 \"/a\"")
        .expect("PWD")
        .call([this] { QVERIFY(m_ui->shellOpens.empty()); })
        .reply("257 \"/b\"")
        .expect("PWD")
        .call([this] { QCOMPARE(m_ui->shellOpens.size(), size_t(1)); })
        .reply("257 \"/c\"");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_COMPARE(m_ui->foldersSet.size(), size_t(4));
    QCOMPARE(m_ui->foldersSet[3], std::string("/c"));
    QCOMPARE(m_ui->shellOpens[0], std::make_pair(std::string("/tmp/down"), std::string("explore")));
    QTRY_VERIFY(!m_engine->IsBusy());
    QCOMPARE(EngineProbe::Events(*m_engine).Message(EngineProbe::ControlSocket(*m_engine)), WM_FTP_IDLE);
    QCOMPARE(m_ui->statusTexts.back().first, std::string());
}

void TestEngineSession::cancelClosesDataAndWaitsPast426() {
    QTemporaryDir dir;
    LoopbackPair data = MakePair();
    QVERIFY(data.near.valid() && data.far.valid());
    QPointer<QFile> file;

    SaveHost(m_peer->port());
    LoginToIdle(*m_peer, *m_engine)
        .call([&] {
            // A download in progress: its data connection and local file.
            DataConn conn;
            conn.file = std::make_unique<QFile>(dir.filePath("part.bin"));
            QVERIFY(conn.file->open(QIODevice::WriteOnly));
            conn.file->write("partial");
            file = conn.file.get();
            conn.msg = WM_FTP_GETDATA;
            conn.localPath = dir.filePath("part.bin").toStdString();
            conn.expected = 100;
            EngineProbe::DataConns(*m_engine).push_back(std::move(conn));
            QCOMPARE(EngineProbe::AttachDataSocket(*m_engine, data.near), 1);
            EngineProbe::Enqueue(*m_engine, Op::PrintFolder{});
            QVERIFY(m_engine->CanCancel());
            m_engine->CancelTransfers();
            QVERIFY(EngineProbe::DataConns(*m_engine).empty());
            QVERIFY(file.isNull());
            // What is left is named, so that it can be resumed.
            QVERIFY(m_ui->logContains("「" + dir.filePath("part.bin").toStdString() +
                                      "」には受信した 7 バイトが残っています (続きから転送できます)。\r\n"));
            QCOMPARE(m_ui->statusTexts.back().first, std::string("キャンセル処理中です"));
        })
        .expect("ABOR")
        .reply("426 Transfer aborted")
        .waitFor([this] { return m_ui->logContains("426 Transfer aborted\r\n"); })
        .call([this] {
            QVERIFY(m_engine->IsBusy());
            QCOMPARE(EngineProbe::Events(*m_engine).Message(EngineProbe::ControlSocket(*m_engine)),
                     WM_FTP_ABOR);
        })
        .reply("226 Abort successful");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(!m_engine->IsBusy());
    QCOMPARE(EngineProbe::Events(*m_engine).Message(EngineProbe::ControlSocket(*m_engine)), WM_FTP_IDLE);
    // The queued PWD went with the cancel.
    QCOMPARE(m_peer->commands().back(), std::string("ABOR"));
    QCOMPARE(m_ui->statusTexts.back().first, std::string());
    QTRY_VERIFY(PeerSawEnd(data.far));
    QFile written(dir.filePath("part.bin"));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("partial"));
    QVERIFY(!m_engine->CanCancel());
}

void TestEngineSession::cancelDuringTheLoginGivesUpTheConnecting() {
    // Before the login has ended there is nothing to abort, and ABOR would only be read as the
    // answer to USER or PASS: the connecting is given up.
    SaveHost(m_peer->port());
    m_peer->reply("220 ready")
        .expect("USER user")
        .call([this] {
            QVERIFY(m_engine->CanCancel());
            m_engine->CancelTransfers();
        })
        .expectClose();
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QVERIFY(!m_engine->IsConnected());
    QVERIFY(!m_engine->IsBusy());
    QVERIFY(!m_engine->CanCancel());
    QVERIFY(m_ui->logContains("接続を取りやめました。\r\n"));
}

void TestEngineSession::abortEndsOnAnyFinalReplyOrItsTimeout() {
    SaveHost(m_peer->port());
    auto cancel = [this] {
        m_engine->SetTimeoutMs(400);
        EngineProbe::Enqueue(*m_engine, Op::PrintFolder{});
        m_engine->CancelTransfers();
    };
    LoginToIdle(*m_peer, *m_engine)
        .call(cancel)
        .expect("ABOR")
        // Not a code of the usual list: still the end of the abort.
        .reply("530 Please login with USER and PASS")
        .waitFor([this] { return !m_engine->IsBusy(); })
        .call([this] {
            QCOMPARE(EngineProbe::Events(*m_engine).Message(EngineProbe::ControlSocket(*m_engine)),
                     WM_FTP_IDLE);
            QVERIFY(m_engine->IsConnected());
        })
        .call(cancel)
        .expect("ABOR")
        // 426 answers the interrupted transfer; then nothing comes.
        .reply("426 Transfer aborted")
        .expectClose();
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QVERIFY(!m_engine->IsConnected());
    QVERIFY(m_ui->logContains("426 Transfer aborted\r\n中止の応答がないため、切断しました。\r\n"));
}

void TestEngineSession::endlessReplyIsCutOff_data() {
    QTest::addColumn<bool>("lines");
    QTest::newRow("one endless line") << false;
    QTest::newRow("endless continuation lines") << true;
}

void TestEngineSession::endlessReplyIsCutOff() {
    QFETCH(bool, lines);
    SaveHost(m_peer->port());
    std::string flood;
    if (lines) {
        while (flood.size() < 3 * CFtpEngine::kMaxPendingReply)
            flood += "220-this greeting never ends\r\n";
    } else {
        flood.assign(3 * CFtpEngine::kMaxPendingReply, 'x');
    }
    m_peer->send(flood).expectClose();
    m_engine->Connect(0);
    QTRY_VERIFY_WITH_TIMEOUT(!m_engine->IsConnected(), 15000);
    QVERIFY(m_ui->logContains("サーバーの応答が長すぎるため切断しました。\r\n"));
    // Nothing of the flood reached the log, and nothing stays pending.
    QVERIFY(log().size() < 1000);
    QCOMPARE(EngineProbe::Reply(*m_engine).PendingSize(), size_t(0));
    QTRY_VERIFY(m_peer->clientClosed());
}

void TestEngineSession::longCommandGoesOutWhole() {
    SaveHost(m_peer->port());
    const std::string name(3 * 1024 * 1024, 'n');
    LoginToIdle(*m_peer, *m_engine)
        .call([&] {
            int small = 4096;
            ::setsockopt(EngineProbe::ControlSocket(*m_engine), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
            EngineProbe::SendCommand(*m_engine, EngineProbe::ControlSocket(*m_engine), "CWD /" + name);
        })
        .expect("CWD /" + name)
        .reply("250 ok");
    m_engine->Connect(0);
    QTRY_VERIFY_WITH_TIMEOUT(m_peer->done(), 20000);
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QVERIFY(m_peer->partialInput().empty());
}

void TestEngineSession::dataConnectionTable() {
    // The running transfer's data side: a download, then an upload whose STOR has not gone out.
    QTemporaryDir dir;
    for (const int msg : {WM_FTP_GETDATA, WM_FTP_PUTDATA}) {
        DataConn conn;
        conn.file = std::make_unique<QFile>(dir.filePath(QString::number(msg)));
        QVERIFY(conn.file->open(QIODevice::WriteOnly));
        conn.msg = msg;
        EngineProbe::DataConns(*m_engine).push_back(std::move(conn));
        LoopbackPair data = MakePair(), extra = MakePair();
        const SocketId id = data.near.id();
        QCOMPARE(EngineProbe::AttachDataSocket(*m_engine, data.near), 1);
        // A second connection finds no entry waiting for it and stays with the caller.
        QCOMPARE(EngineProbe::AttachDataSocket(*m_engine, extra.near), 0);
        QVERIFY(extra.near.valid());
        QCOMPARE(EngineProbe::FindDataConn(*m_engine, id)->file->fileName(),
                 dir.filePath(QString::number(msg)));
        QCOMPARE(EngineProbe::FindDataConn(*m_engine, extra.near.id()), nullptr);
        QCOMPARE(EngineProbe::FindDataConn(*m_engine, kNoSocket), nullptr);
        QVERIFY(m_engine->IsTransferring());

        // The periodic re-arm: a download for read and close; an upload not at all while no STOR
        // has gone out for it.
        EngineProbe::OnTimer(*m_engine, TIMER_REARM);
        if (msg == WM_FTP_GETDATA) {
            QCOMPARE(EngineProbe::Events(*m_engine).Interest(id), SocketEvent::Read | SocketEvent::Close);
            QCOMPARE(EngineProbe::Events(*m_engine).Message(id), WM_FTP_GETDATA);
        } else {
            QCOMPARE(EngineProbe::Events(*m_engine).Interest(id), 0u);
        }

        QPointer<QFile> file = EngineProbe::FindDataConn(*m_engine, id)->file.get();
        m_engine->CloseSession();
        QVERIFY(EngineProbe::DataConns(*m_engine).empty());
        QVERIFY(file.isNull());
        QVERIFY(!m_engine->IsTransferring());
        QTRY_VERIFY(PeerSawEnd(data.far));
    }
    // Closing again with nothing open is harmless.
    m_engine->CloseSession();
    QVERIFY(!m_ui->progress.back().visible);
}

QTEST_GUILESS_MAIN(TestEngineSession)
#include "tst_engine_session.moc"
