#include "StoreFixture.h"
#include "engine/FtpEngine.h"
#include "fixtures/EngineProbe.h"
#include "fixtures/RealFtpServer.h"
#include "fixtures/RecordingUi.h"
#include "hosts/QXDoc.h"

#include <QtTest>

#include <memory>
#include <string>

class TestEngineRealServer : public QObject {
    Q_OBJECT
private slots:
    void connectLoginPwdAndDisconnect_data();
    void connectLoginPwdAndDisconnect();
    void wrongPasswordAsksForTheAccount();
};

void TestEngineRealServer::connectLoginPwdAndDisconnect_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("pyftpdlib") << static_cast<int>(RealFtpServer::Kind::Pyftpdlib);
    QTest::newRow("vsftpd") << static_cast<int>(RealFtpServer::Kind::Vsftpd);
}

void TestEngineRealServer::connectLoginPwdAndDisconnect() {
    QFETCH(int, kind);
    StoreFixture store;
    RealFtpServer server(static_cast<RealFtpServer::Kind>(kind));
    QVERIFY2(server.start(), qPrintable(server.error()));

    HostRecord host;
    host.Name = "実サーバー";
    host.Adr = "127.0.0.1";
    host.Port = server.port();
    host.User = server.user().toStdString();
    host.Pass = server.password().toStdString();
    CQXDoc().SaveHost(0, host);

    RecordingUi ui;
    CFtpEngine engine(ui);
    QCOMPARE(engine.Connect(0), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!ui.foldersSet.empty(), 15000);
    QCOMPARE(ui.foldersSet[0], server.homePath());
    QVERIFY(ui.logContains("接続しました\r\n"));
    QVERIFY(ui.logContains("\r\n230"));
    QVERIFY(ui.logContains("PASS\r\n"));
    QVERIFY(!ui.logContains("PASS " + host.Pass));
    QVERIFY(ui.logContains("PWD\r\n257 \"" + server.homePath() + "\""));
    QVERIFY(engine.IsConnected());

    engine.CloseSession();
    QVERIFY(!engine.IsConnected());
    QCOMPARE(ui.connectedStates.back(), false);
    QVERIFY(!ui.logContains("ホストから切断されました。"));
    QVERIFY(engine.Queue().empty());
    QVERIFY(!EngineProbe::IsReplyTimerActive(engine));
}

void TestEngineRealServer::wrongPasswordAsksForTheAccount() {
    StoreFixture store;
    RealFtpServer server(RealFtpServer::Kind::Pyftpdlib);
    QVERIFY2(server.start(), qPrintable(server.error()));
    HostRecord host;
    host.Name = "実サーバー";
    host.Adr = "127.0.0.1";
    host.Port = server.port();
    host.User = "lumo";
    host.Pass = "wrong";
    CQXDoc().SaveHost(0, host);

    RecordingUi ui;
    ui.accountAnswers.push_back({Answer::Yes, "lumo", server.password().toStdString()});
    CFtpEngine engine(ui);
    engine.Connect(0);
    QTRY_VERIFY_WITH_TIMEOUT(!ui.foldersSet.empty(), 15000);
    QCOMPARE(ui.accountQuestions.size(), size_t(1));
    QCOMPARE(ui.accountQuestions[0].second, std::string("wrong"));
    QVERIFY(ui.logContains("\r\n530"));
    engine.CloseSession();
}

QTEST_GUILESS_MAIN(TestEngineRealServer)
#include "tst_engine_real_server.moc"
