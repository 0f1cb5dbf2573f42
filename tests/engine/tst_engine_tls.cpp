#include "StoreFixture.h"
#include "engine/FtpEngine.h"
#include "fixtures/EngineProbe.h"
#include "fixtures/FileBytes.h"
#include "fixtures/RealFtpServer.h"
#include "fixtures/RecordingUi.h"
#include "fixtures/ScriptedFtpPeer.h"
#include "hosts/QXDoc.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <string>

namespace {
using Kind = RealFtpServer::Kind;
using Tls = RealFtpServer::Tls;

int SecurityOf(Tls tls) {
    return tls == Tls::Explicit   ? HostSecurity::Explicit
           : tls == Tls::Implicit ? HostSecurity::Implicit
                                  : HostSecurity::None;
}

std::string StoredPin() {
    SettingsKey key;
    key.OpenKey(KeyFamily::Host, HostKeyName(0));
    return key.ReadString(SettingName::TlsPin, "");
}
} // namespace

class TestEngineTls : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void sessionMovesFilesByteForByte_data();
    void sessionMovesFilesByteForByte();
    void certificateQuestionAnswers();
    void authRefusedEndsOrGoesOnInPlain();
    void serverThatStaysPlainAfterAuthFails();
    void refusedExtendedPassiveFallsBackToPasv();

private:
    void saveHost(RealFtpServer& server, int security, bool passive);
    // Stores host 0 for the server and connects; true once the login's listing is in.
    bool connect(RealFtpServer& server, int security, bool passive);
    bool runQueue();

    std::unique_ptr<StoreFixture> m_store;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<CFtpEngine> m_engine;
    std::unique_ptr<QTemporaryDir> m_local;
};

void TestEngineTls::init() {
    m_store = std::make_unique<StoreFixture>();
    m_ui = std::make_unique<RecordingUi>();
    m_engine = std::make_unique<CFtpEngine>(*m_ui);
    m_local = std::make_unique<QTemporaryDir>();
}

void TestEngineTls::cleanup() {
    m_engine.reset();
    m_ui.reset();
    m_local.reset();
    m_store.reset();
}

void TestEngineTls::saveHost(RealFtpServer& server, int security, bool passive) {
    HostRecord host;
    host.Name = "暗号化";
    host.Adr = server.address().toStdString();
    host.Port = server.port();
    host.User = server.user().toStdString();
    host.Pass = server.password().toStdString();
    host.Pasv = passive ? 1 : 0;
    host.Security = security;
    CQXDoc().SaveHost(0, host);
}

bool TestEngineTls::connect(RealFtpServer& server, int security, bool passive) {
    saveHost(server, security, passive);
    const std::size_t listings = m_ui->listings.size();
    m_engine->Connect(0);
    return runQueue() && m_ui->listings.size() == listings + 1;
}

bool TestEngineTls::runQueue() {
    return QTest::qWaitFor(
        [this] { return !m_engine->IsBusy() && m_engine->Queue().empty() && m_engine->IsConnected(); },
        20000);
}

void TestEngineTls::sessionMovesFilesByteForByte_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("tls");
    QTest::addColumn<bool>("ipv6");
    QTest::addColumn<bool>("passive");
    // What the data connections must be set up with: the extended commands on IPv6 and where FEAT
    // offers them.
    QTest::addColumn<QString>("dataCommand");
    const int py = static_cast<int>(Kind::Pyftpdlib);
    const int vs = static_cast<int>(Kind::Vsftpd);
    const int ex = static_cast<int>(Tls::Explicit);
    QTest::newRow("pyftpdlib, explicit, passive") << py << ex << false << true << "EPSV\r\n229";
    QTest::newRow("pyftpdlib, explicit, active") << py << ex << false << false << "EPRT |1|127.0.0.1|";
    QTest::newRow("vsftpd, explicit, passive") << vs << ex << false << true << "EPSV\r\n229";
    QTest::newRow("vsftpd, explicit, active") << vs << ex << false << false << "EPRT |1|127.0.0.1|";
    QTest::newRow("vsftpd, implicit, passive")
        << vs << static_cast<int>(Tls::Implicit) << false << true << "EPSV\r\n229";
    QTest::newRow("pyftpdlib, plain, ::1, passive")
        << py << static_cast<int>(Tls::None) << true << true << "EPSV\r\n229";
    QTest::newRow("vsftpd, explicit, ::1, active") << vs << ex << true << false << "EPRT |2|::1|";
}

void TestEngineTls::sessionMovesFilesByteForByte() {
    QFETCH(int, kind);
    QFETCH(int, tls);
    QFETCH(bool, ipv6);
    QFETCH(bool, passive);
    QFETCH(QString, dataCommand);
    RealFtpServer server(static_cast<Kind>(kind), static_cast<Tls>(tls), ipv6);
    QVERIFY2(server.start(), qPrintable(server.error()));
    const QByteArray down = RandomBytes(700001, 11);
    const QByteArray up = RandomBytes(300007, 12);
    QVERIFY(WriteFile(server.root() + "/down.bin", down));
    QVERIFY(WriteFile(m_local->path() + "/up.bin", up));
    m_ui->certificateAnswer = CertificateAnswer::AcceptOnce;

    QVERIFY2(connect(server, SecurityOf(static_cast<Tls>(tls)), passive), m_ui->logText().c_str());
    QVERIFY2(std::count(m_ui->listings.back().begin(), m_ui->listings.back().end(), "down.bin") == 1,
             m_ui->logText().c_str());
    const std::string home = m_ui->currentPath == "/" ? std::string() : m_ui->currentPath;
    m_engine->DownloadAs((m_local->path() + "/down.bin").toStdString(), home + "/down.bin", -1);
    QVERIFY(runQueue());
    QVERIFY(m_engine->UploadFiles(home, {QFile::encodeName(m_local->path() + "/up.bin").toStdString()}));
    EngineProbe::Dispatch(*m_engine);
    QVERIFY(runQueue());

    QVERIFY2(ReadFile(m_local->path() + "/down.bin") == down, m_ui->logText().c_str());
    QVERIFY2(ReadFile(server.root() + "/up.bin") == up, m_ui->logText().c_str());
    QVERIFY(m_ui->logContains("ダウンロードが正常終了しました（保存先：" +
                              (m_local->path() + "/down.bin").toStdString() + "）。"));
    QVERIFY(m_ui->logContains("アップロードは正常終了しました（送信先：" + home + "/up.bin）。"));
    QVERIFY2(m_ui->logContains(dataCommand.toStdString()), m_ui->logText().c_str());
    if (tls != static_cast<int>(Tls::None)) {
        // The self-signed certificate was asked about once, before USER went out, and not kept.
        QCOMPARE(m_ui->certificateQuestions.size(), std::size_t(1));
        QCOMPARE(m_ui->certificateQuestions[0].first, server.certificate().sha256());
        QCOMPARE(m_ui->certificateQuestions[0].second, CertificateStanding::Unknown);
        QVERIFY(m_ui->logText().find("TLS で暗号化しました") < m_ui->logText().find("USER "));
        QVERIFY(m_ui->logContains("PBSZ 0\r\n") && m_ui->logContains("PROT P\r\n"));
        QVERIFY(StoredPin().empty());
    }
    QVERIFY(!m_ui->logContains("失敗"));
}

void TestEngineTls::certificateQuestionAnswers() {
    RealFtpServer server(Kind::Pyftpdlib, Tls::Explicit);
    QVERIFY2(server.start(), qPrintable(server.error()));
    const std::string sha = server.certificate().sha256();

    // Refused: the session ends before the account goes out.
    m_ui->certificateAnswer = CertificateAnswer::Refuse;
    saveHost(server, HostSecurity::Explicit, true);
    m_engine->Connect(0);
    QTRY_VERIFY(!m_engine->IsConnected());
    QVERIFY(m_ui->logContains("証明書を受け入れなかったため、切断しました。"));
    QVERIFY(!m_ui->logContains("USER "));
    QVERIFY(StoredPin().empty());

    // Accepted always: kept for the host, and the next session asks nothing.
    m_ui->certificateAnswer = CertificateAnswer::AcceptAlways;
    QVERIFY2(connect(server, HostSecurity::Explicit, true), m_ui->logText().c_str());
    QCOMPARE(StoredPin(), sha);
    QCOMPARE(m_ui->certificateQuestions.size(), std::size_t(2));
    m_ui->certificateAnswer = CertificateAnswer::Refuse;
    m_engine->Connect(0);
    QVERIFY(runQueue());
    QCOMPARE(m_ui->certificateQuestions.size(), std::size_t(2));

    // Another certificate than the one kept: never taken silently; refused, the pin stays.
    SettingsKey key;
    QVERIFY(key.OpenKey(KeyFamily::Host, HostKeyName(0)));
    const std::string other(64, 'A');
    key.WriteString(SettingName::TlsPin, other);
    m_engine->Connect(0);
    QTRY_VERIFY(!m_engine->IsConnected());
    QCOMPARE(m_ui->certificateQuestions.size(), std::size_t(3));
    QCOMPARE(m_ui->certificateQuestions[2].second, CertificateStanding::Changed);
    QVERIFY(m_ui->logContains("サーバーの証明書が以前に受け入れたものと違います。"));
    QCOMPARE(StoredPin(), other);
}

void TestEngineTls::authRefusedEndsOrGoesOnInPlain() {
    for (int security : {HostSecurity::Explicit, HostSecurity::ExplicitIfOffered}) {
        m_engine.reset();
        m_ui = std::make_unique<RecordingUi>();
        m_engine = std::make_unique<CFtpEngine>(*m_ui);
        ScriptedFtpPeer peer;
        QVERIFY(peer.listen());
        HostRecord host;
        host.Adr = "127.0.0.1";
        host.Port = peer.port();
        host.User = "user";
        host.Pass = "secret";
        host.Security = security;
        CQXDoc().SaveHost(0, host);
        peer.reply("220 ready").expect("AUTH TLS").reply("502 not here");
        if (security == HostSecurity::Explicit)
            peer.expectClose();
        else
            peer.expect("USER user").reply("331 pass").expect("PASS secret").reply("230 in").expect("PWD");
        m_engine->Connect(0);
        QTRY_VERIFY(peer.done());
        QVERIFY2(!peer.failed(), qPrintable(peer.failure()));
        QCOMPARE(m_ui->logContains("サーバーが TLS を受け付けないため、切断しました。"),
                 security == HostSecurity::Explicit);
        QCOMPARE(m_ui->logContains("暗号化せずにログインします。"),
                 security == HostSecurity::ExplicitIfOffered);
        // Going on in plain text is what the host asked for: the refusal is not reported as one.
        QCOMPARE(m_ui->refusals.empty(), security == HostSecurity::ExplicitIfOffered);
    }
}

void TestEngineTls::serverThatStaysPlainAfterAuthFails() {
    ScriptedFtpPeer peer;
    QVERIFY(peer.listen());
    HostRecord host;
    host.Adr = "127.0.0.1";
    host.Port = peer.port();
    host.User = "user";
    host.Security = HostSecurity::Explicit;
    CQXDoc().SaveHost(0, host);
    // A 234 and then plain text where the handshake should be: nothing of the login may follow.
    peer.reply("220 ready").expect("AUTH TLS").reply("234 go ahead").reply("331 plain as ever").expectClose();
    m_engine->Connect(0);
    QTRY_VERIFY(peer.done());
    QVERIFY2(!peer.failed(), qPrintable(peer.failure()));
    QVERIFY(m_ui->logContains("TLS の接続に失敗しました。"));
    QVERIFY(!m_ui->logContains("USER"));
    QVERIFY(!m_engine->IsConnected());
}

void TestEngineTls::refusedExtendedPassiveFallsBackToPasv() {
    ScriptedFtpPeer peer;
    QVERIFY(peer.listen());
    HostRecord host;
    host.Adr = "127.0.0.1";
    host.Port = peer.port();
    host.User = "user";
    host.Pass = "secret";
    host.Pasv = 1;
    CQXDoc().SaveHost(0, host);
    peer.reply("220 ready")
        .expect("USER user")
        .reply("331 pass")
        .expect("PASS secret")
        .reply("230 in")
        .expect("FEAT")
        .reply("211-Features:\r\n EPSV\r\n211 End")
        .expect("PWD")
        .reply("257 \"/\"")
        .expect("TYPE A")
        .reply("200 ok")
        .expect("EPSV")
        .reply("500 not understood")
        .expectPasv()
        .expect("LIST")
        .reply("150 here")
        .sendData("-rw-r--r-- 1 u g 5 Jan 01 2024 a.txt\r\n")
        .closeData()
        .reply("226 done")
        .waitFor([this] { return !m_engine->IsBusy(); })
        // The type is still ASCII: the second listing goes straight to PASV.
        .expectPasv()
        .expect("LIST")
        .reply("150 here")
        .closeData()
        .reply("226 done");
    m_engine->Connect(0);
    QVERIFY2(QTest::qWaitFor([this] { return !m_engine->IsBusy() && m_ui->listings.size() == 1; }),
             (m_ui->logText() + peer.failure().toStdString()).c_str());
    EngineProbe::Enqueue(*m_engine, Op::List{});
    EngineProbe::Dispatch(*m_engine);
    QTRY_VERIFY_WITH_TIMEOUT(peer.done(), 10000);
    QVERIFY2(!peer.failed(), qPrintable(peer.failure()));
}

QTEST_GUILESS_MAIN(TestEngineTls)
#include "tst_engine_tls.moc"
