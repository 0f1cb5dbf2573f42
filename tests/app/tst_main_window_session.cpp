#include "StoreFixture.h"
#include "app/CommandIds.h"
#include "app/gui/CMainFrame.h"
#include "dialogs/DialogDriver.h"
#include "engine/FtpEngine.h"
#include "fixtures/RealFtpServer.h"
#include "settings/gui/CPropSheetHost.h"
#include "settings/gui/HostSheetControls.h"
#include "views/QXDoc.h"
#include "views/gui/CQXListView.h"
#include "views/gui/CQXLogView.h"
#include "views/gui/CQXTreeView.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTreeView>
#include <QtTest>

// The real main window against a real server: the connect command logs in, the tree, the file
// list and the log show the session, a folder chosen in the tree is listed, and the disconnect
// command ends it.
class TestMainWindowSession : public QObject {
    Q_OBJECT
private slots:
    void sessionThroughTheCommandsAndTheTree();
    void hostRegisteredInTheSheetConnectsAndServesLumoCli();
};

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList childTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

QTreeWidgetItem* childNamed(const QTreeWidgetItem* item, const QString& text) {
    for (int i = 0; i < item->childCount(); ++i) {
        if (item->child(i)->text(0) == text)
            return item->child(i);
    }
    return nullptr;
}

// The rows of the file list as its details view shows them: name, size, attributes' first letter.
QStringList shownRows(CQXListView* list) {
    const QAbstractItemModel* model = list->DetailsView()->model();
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        const QString attributes = model->index(r, 3).data().toString();
        rows << model->index(r, 0).data().toString() + QLatin1Char('|') +
                    model->index(r, 1).data().toString() + QLatin1Char('|') + attributes.left(1);
    }
    return rows;
}

// A left click on an item's picture, as a user chooses it.
void clickItem(CQXTreeView* tree, QTreeWidgetItem* item) {
    tree->scrollToItem(item);
    const QRect rect = tree->visualItemRect(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 8, rect.center().y()));
}

} // namespace

void TestMainWindowSession::sessionThroughTheCommandsAndTheTree() {
    StoreFixture fx;
    RealFtpServer server(RealFtpServer::Kind::Pyftpdlib);
    QDir root(server.root());
    QVERIFY(root.mkpath(QStringLiteral("sub/inner")));
    QVERIFY(root.mkpath(QStringLiteral("日本語フォルダ")));
    writeFile(root.filePath(QStringLiteral("b.log")), QByteArray(1234, 'b'));
    writeFile(root.filePath(QStringLiteral("a.txt")), "hello");
    writeFile(root.filePath(QStringLiteral("データ.txt")), QByteArray());
    writeFile(root.filePath(QStringLiteral("sub/inside.txt")), QByteArray(70000, 'i'));
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
    CQXListView* list = f.ListView();
    QTreeWidgetItem* connection = tree->topLevelItem(0)->child(0);
    QTreeWidgetItem* remoteRoot = tree->topLevelItem(0)->child(2);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("テストサーバー"));
    QCOMPARE(connection->text(0), QStringLiteral("接続"));
    QCOMPARE(remoteRoot->text(0), QStringLiteral("ホスト"));

    QVERIFY(f.RunCommand(CommandId::Connect));
    QCOMPARE(connection->text(0), QStringLiteral("切断"));
    f.UpdateCommandUi();
    QVERIFY(!f.Action(CommandId::Connect)->isEnabled());
    QVERIFY(f.Action(CommandId::Disconnect)->isEnabled());

    // The first listing: folders first, each group by name; folders show no size.
    const QStringList topRows{
        QStringLiteral("sub||d"),       QStringLiteral("日本語フォルダ||d"), QStringLiteral("a.txt|5|-"),
        QStringLiteral("b.log|1234|-"), QStringLiteral("データ.txt|0|-"),
    };
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(list), topRows, 10000);
    QTRY_VERIFY(!f.Engine().CanCancel());

    const QString log = f.LogView()->toPlainText();
    QVERIFY2(log.startsWith(QStringLiteral("テストサーバーに接続します\n")), qPrintable(log));
    const QStringList lines = log.split(QLatin1Char('\n'));
    auto lineAt = [&lines](const QString& prefix, qsizetype from = 0) {
        for (qsizetype i = from; i < lines.size(); ++i) {
            if (lines[i].startsWith(prefix))
                return i;
        }
        return qsizetype(-1);
    };
    const qsizetype user = lineAt(QStringLiteral("USER "));
    QVERIFY(lineAt(QStringLiteral("220 ")) >= 0);
    QCOMPARE(lines.value(user), QStringLiteral("USER ") + server.user());
    // The password never reaches the log.
    QCOMPARE(lines.value(user + 2), QStringLiteral("PASS"));
    QVERIFY(!log.contains(QStringLiteral("PASS ")));
    QVERIFY(lineAt(QStringLiteral("230 "), user) > user);
    const qsizetype pwd = lineAt(QStringLiteral("PWD"), user);
    QVERIFY(lines.value(pwd + 1).startsWith(QStringLiteral("257 \"/\"")));
    const qsizetype listCommand = lines.indexOf(QStringLiteral("LIST"), pwd);
    QVERIFY2(listCommand > pwd, qPrintable(log));
    QVERIFY(lineAt(QStringLiteral("TYPE A"), pwd) < listCommand);
    QVERIFY(lineAt(QStringLiteral("PORT "), pwd) < listCommand);
    QVERIFY(lineAt(QStringLiteral("226 "), listCommand) > listCommand);
    QCOMPARE(f.LogView()->document()->blockCount(), f.Log().LineCount());

    // The tree holds the served folders under the remote root, as absolute paths of the root.
    QCOMPARE(tree->GetCurrentPath(), std::string());
    QCOMPARE(childTexts(remoteRoot),
             (QStringList{QStringLiteral("/sub"), QStringLiteral("/日本語フォルダ")}));

    // A click on the remote root opens it; a click on a folder lists that folder.
    clickItem(tree, remoteRoot);
    QVERIFY(remoteRoot->isExpanded());
    clickItem(tree, childNamed(remoteRoot, QStringLiteral("/sub")));
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(list),
                              (QStringList{QStringLiteral("inner||d"), QStringLiteral("inside.txt|70000|-")}),
                              10000);
    QTRY_VERIFY(!f.Engine().CanCancel());
    QVERIFY2(f.LogView()->toPlainText().contains(QStringLiteral("\nCWD /sub\n250 ")),
             qPrintable(f.LogView()->toPlainText()));
    QCOMPARE(tree->GetCurrentPath(), std::string("/sub"));
    QCOMPARE(childTexts(remoteRoot),
             (QStringList{QStringLiteral("/sub"), QStringLiteral("/日本語フォルダ")}));
    QCOMPARE(childTexts(childNamed(remoteRoot, QStringLiteral("/sub"))),
             QStringList{QStringLiteral("inner")});

    // From inside /sub, the other folder of the root is still reached by its own path.
    clickItem(tree, childNamed(remoteRoot, QStringLiteral("/日本語フォルダ")));
    QTRY_VERIFY_WITH_TIMEOUT(
        f.LogView()->toPlainText().endsWith(QStringLiteral("226 Transfer complete.\n")) &&
            !f.Engine().CanCancel(),
        10000);
    QVERIFY(f.LogView()->toPlainText().contains(QStringLiteral("\nCWD /日本語フォルダ\n250 ")));
    QCOMPARE(tree->GetCurrentPath(), std::string("/日本語フォルダ"));
    QCOMPARE(shownRows(list), QStringList());

    QVERIFY(f.RunCommand(CommandId::Disconnect));
    QVERIFY(!f.Engine().IsConnected());
    QCOMPARE(connection->text(0), QStringLiteral("接続"));
    QCOMPARE(remoteRoot->childCount(), 0);
    QCOMPARE(list->Model().RowCount(), 0);
    QCOMPARE(tree->GetCurrentPath(), std::string());
    f.UpdateCommandUi();
    QVERIFY(f.Action(CommandId::Connect)->isEnabled());
    QVERIFY(!f.Action(CommandId::Disconnect)->isEnabled());
}

void TestMainWindowSession::hostRegisteredInTheSheetConnectsAndServesLumoCli() {
    StoreFixture fx;
    RealFtpServer server(RealFtpServer::Kind::Pyftpdlib);
    writeFile(QDir(server.root()).filePath(QStringLiteral("見本.txt")), "sample");
    QVERIFY2(server.start(), qPrintable(server.error()));

    CMainFrame f;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    // Registered as a user does it: the menu command, the connection page, OK.
    WhenModalShown([&server](QDialog* dialog) {
        auto* sheet = qobject_cast<CPropSheetHost*>(dialog);
        QVERIFY(sheet);
        auto type = [sheet](int id, const QString& text) {
            QLineEdit* edit = Control<QLineEdit>(sheet->ConnectPage(), id);
            edit->selectAll();
            edit->insert(text);
        };
        type(HostSheetControl::Name, QStringLiteral("登録したサーバー"));
        type(HostSheetControl::Address, QStringLiteral("127.0.0.1"));
        type(HostSheetControl::Port, QString::number(server.port()));
        type(HostSheetControl::User, server.user());
        type(HostSheetControl::Password, server.password());
        ClickButton(sheet, CPropertySheet::kOkButton);
    });
    QVERIFY(f.RunCommand(CommandId::HostSettings));
    QCOMPARE(f.TreeView()->TopItemText(), QStringLiteral("登録したサーバー"));

    QVERIFY(f.RunCommand(CommandId::Connect));
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(f.ListView()), QStringList{QStringLiteral("見本.txt|6|-")}, 10000);
    QTRY_VERIFY(!f.Engine().CanCancel());
    // Hosts are edited only while disconnected.
    f.UpdateCommandUi();
    QVERIFY(!f.Action(CommandId::HostSettings)->isEnabled());
    QVERIFY(f.RunCommand(CommandId::Disconnect));

    // lumo-cli finds the same host by its name in the same store.
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LUMO_CONFIG_DIR"), fx.dir());
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(LUMO_CLI), {QStringLiteral("登録したサーバー"), QStringLiteral("ls")});
    QVERIFY(cli.waitForFinished(60000));
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    QVERIFY2(cli.exitCode() == 0, qPrintable(QString::fromUtf8(cli.readAllStandardError())));
    QVERIFY2(out.startsWith(QStringLiteral("-")) && out.contains(QStringLiteral("\t6\t")) &&
                 out.endsWith(QStringLiteral("\t見本.txt\n")),
             qPrintable(out));
}

QTEST_MAIN(TestMainWindowSession)
#include "tst_main_window_session.moc"
