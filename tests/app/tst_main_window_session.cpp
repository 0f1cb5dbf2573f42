#include "StoreFixture.h"
#include "app/CommandIds.h"
#include "app/gui/CMainFrame.h"
#include "engine/FtpEngine.h"
#include "fixtures/RealFtpServer.h"
#include "views/QXDoc.h"
#include "views/gui/CQXLogView.h"
#include "views/gui/CQXTreeView.h"

#include <QAction>
#include <QtTest>

// The real main window against a real server: the connect command logs in, the tree and the log
// show the session, and the disconnect command ends it.
class TestMainWindowSession : public QObject {
    Q_OBJECT
private slots:
    void connectAndDisconnectThroughTheCommands();
};

void TestMainWindowSession::connectAndDisconnectThroughTheCommands() {
    StoreFixture fx;
    RealFtpServer server(RealFtpServer::Kind::Pyftpdlib);
    QVERIFY2(server.start(), qPrintable(server.error()));

    HostRecord host;
    host.Name = "テストサーバー";
    host.Adr = "127.0.0.1";
    host.Port = server.port();
    host.User = server.user().toStdString();
    host.Pass = server.password().toStdString();
    CQXDoc().SaveAllHosts({host});

    CMainFrame f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    CQXTreeView* tree = f.TreeView();
    QTreeWidgetItem* connection = tree->topLevelItem(0)->child(0);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("テストサーバー"));
    QCOMPARE(connection->text(0), QStringLiteral("接続"));

    QVERIFY(f.RunCommand(CommandId::Connect));
    QCOMPARE(connection->text(0), QStringLiteral("切断"));
    f.UpdateCommandUi();
    QVERIFY(!f.Action(CommandId::Connect)->isEnabled());
    QVERIFY(f.Action(CommandId::Disconnect)->isEnabled());

    // Logged in and positioned on the server's folder.
    QTRY_VERIFY_WITH_TIMEOUT(f.LogView()->toPlainText().contains(QStringLiteral("\n257 ")), 10000);
    const QString log = f.LogView()->toPlainText();
    QVERIFY2(log.startsWith(QStringLiteral("テストサーバーに接続します\n")), qPrintable(log));
    QVERIFY(log.contains(QStringLiteral("\n220 ")));
    QVERIFY(log.contains(QStringLiteral("\nUSER ") + server.user() + QLatin1Char('\n')));
    QVERIFY(log.contains(QStringLiteral("\nPASS\n")));
    QVERIFY(log.contains(QStringLiteral("\n230 ")));
    QVERIFY(log.contains(QStringLiteral("\nPWD\n")));
    QVERIFY(!log.contains(QStringLiteral("PASS ") + server.password()));
    QCOMPARE(tree->GetCurrentPath(), std::string());
    QCOMPARE(f.LogView()->document()->blockCount(), f.Log().LineCount());

    QVERIFY(f.RunCommand(CommandId::Disconnect));
    QVERIFY(!f.Engine().IsConnected());
    QCOMPARE(connection->text(0), QStringLiteral("接続"));
    QCOMPARE(tree->topLevelItem(0)->child(2)->childCount(), 0);
    f.UpdateCommandUi();
    QVERIFY(f.Action(CommandId::Connect)->isEnabled());
    QVERIFY(!f.Action(CommandId::Disconnect)->isEnabled());
}

QTEST_MAIN(TestMainWindowSession)
#include "tst_main_window_session.moc"
