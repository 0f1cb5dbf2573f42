#include "app/CommandIds.h"
#include "app/WindowSession.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CProgressStatusBar.h"
#include "app/gui/UploadDialog.h"
#include "dialogs/DialogDriver.h"
#include "dialogs/DialogIds.h"
#include "engine/FtpEngine.h"
#include "fixtures/RealFtpServer.h"
#include "fixtures/gui/OpenedUrls.h"
#include "gui/dialogs/MirrorFolderDlg.h"
#include "gui/dialogs/MirrorPreviewDlg.h"
#include "gui/settings/CPropSheetHost.h"
#include "gui/settings/HostSheetControls.h"
#include "gui/views/AddressLine.h"
#include "gui/views/CQXListView.h"
#include "gui/views/CQXLogView.h"
#include "gui/views/CQXTreeView.h"
#include "hosts/HostMirrorPair.h"
#include "hosts/QXDoc.h"
#include "platform/TextCodec.h"
#include "settings/OptionSettings.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"
#include "views/LogFile.h"
#include "views/MirrorPlanModel.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>

#include <memory>

// The real main window against a real server: the connect command logs in, the tree, the file
// list and the log show the session, a folder chosen in the tree is listed, every command works
// through the window's own routes (menus, keys, the list's editor, the dialogs) with the server's
// disk checked after each, and the disconnect command ends it.
using namespace DialogId;

class TestMainWindowSession : public QObject {
    Q_OBJECT
private slots:
    void sessionThroughTheCommandsAndTheTree();
    void hostRegisteredInTheSheetConnectsAndServesLumoCli();
    void everyCommandOnTheServersDisk();
    void filesDroppedOnTheListGoUp();
    void closingDuringATransferAsksFirst();
    void namesThatBecomeOneLocalNameAreAskedAbout();
    void mirrorCommandsAskThePairAndPreview();
};

namespace {

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

// The name editor the list has open.
QLineEdit* nameEditor(CQXListView* list) {
    for (QLineEdit* editor : list->CurrentView()->viewport()->findChildren<QLineEdit*>()) {
        if (editor->isVisible())
            return editor;
    }
    return nullptr;
}

// Types a name into the open name editor over the proposal and ends with `key`.
void typeName(CQXListView* list, const QString& name, Qt::Key key = Qt::Key_Return) {
    QTRY_VERIFY(nameEditor(list));
    QLineEdit* editor = nameEditor(list);
    editor->selectAll();
    // Typed as an input method hands over Japanese text: all at once.
    editor->insert(name);
    QTest::keyClick(editor, key);
}

// Answers the next modal message box with OK and keeps its text.
void answerMessageBox(QString* text) {
    WhenModalShown([text](QDialog* d) {
        auto* box = qobject_cast<QMessageBox*>(d);
        QVERIFY(box);
        *text = box->text();
        box->accept();
    });
}

// Answers the next message box with the button of this text and keeps its question; the default
// button's text goes to `preset`.
void answerQuestion(const QString& button, QString* question, QString* preset) {
    WhenModalShown([button, question, preset](QDialog* d) {
        auto* box = qobject_cast<QMessageBox*>(d);
        QVERIFY(box);
        *question = box->text();
        *preset = box->defaultButton() ? box->defaultButton()->text() : QString();
        for (QAbstractButton* choice : box->buttons()) {
            if (choice->text() == button) {
                QTest::mouseClick(choice, Qt::LeftButton);
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no button ") + button));
    });
}

// A large file the server sends slowly, put beside the others and downloaded into `downloads`;
// returns once part of it is there.
void startSlowDownload(Session& session, const QString& downloads) {
    CMainFrame& f = *session.frame;
    CQXListView* list = f.ListView();
    writeFile(session.ServerPath(QStringLiteral("big.slow")), QByteArray(4 * 1024 * 1024, 's'));
    QVERIFY(f.RunCommand(CommandId::Refresh));
    QTRY_VERIFY_WITH_TIMEOUT(rowNamed(list, QStringLiteral("big.slow")).isValid(), 10000);
    session.WaitIdle();
    selectRows(list, {QStringLiteral("big.slow")});
    QVERIFY(f.RunCommand(CommandId::Download));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(downloads + QStringLiteral("/big.slow")).size() > 0, 10000);
}

// Answers the next file dialog with a path.
void answerFileDialog(const QString& path) {
    WhenModalShown([path](QDialog* d) {
        auto* dialog = qobject_cast<QFileDialog*>(d);
        QVERIFY(dialog);
        dialog->selectFile(path);
        d->accept();
    });
}

// Drags `data` over the list's details view to `pos` and lets go there, as a file manager's drag
// arrives; whether the list took the drop. `targetRow` gets the row the list marked meanwhile.
bool dropOnList(CQXListView* list, const QPoint& pos, const QMimeData* data, int* targetRow = nullptr) {
    QWidget* viewport = list->DetailsView()->viewport();
    QDragEnterEvent enter(pos, Qt::CopyAction, data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &move);
    if (targetRow)
        *targetRow = list->DropTargetRow();
    QDropEvent drop(QPointF(pos), Qt::CopyAction, data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &drop);
    return enter.isAccepted() && drop.isAccepted();
}

QPoint rowPoint(CQXListView* list, const QString& name) {
    return list->DetailsView()->visualRect(rowNamed(list, name)).center();
}

// A left click on an item's picture, as a user chooses it.
// Presses the preview's 実行, which takes the ticked lines.
void pressRun(QDialog* preview) {
    for (QPushButton* button : preview->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("実行")) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
    }
    QFAIL("no 実行 button");
}

// Types into the address line above the file list and presses Enter.
void typeAddress(CMainFrame& f, const QString& text) {
    AddressLine* line = f.AddressBar();
    line->setFocus();
    line->selectAll();
    line->insert(text);
    QTest::keyClick(line, Qt::Key_Return);
}

void clickItem(CQXTreeView* tree, QTreeWidgetItem* item) {
    tree->scrollToItem(item);
    const QRect rect = tree->visualItemRect(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 8, rect.center().y()));
}

} // namespace

void TestMainWindowSession::sessionThroughTheCommandsAndTheTree() {
    Session session;
    session.Start();
    CMainFrame& f = *session.frame;
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
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(list), kTopRows, 10000);
    QTRY_VERIFY(!f.Engine().CanCancel());
    QString question;
    QString preset;
    QCOMPARE(f.windowTitle(), QStringLiteral("テストサーバー - / - lumo"));
    QCOMPARE(f.AddressBar()->text(), QStringLiteral("/"));

    // The host has no download folder: its downloads go to the desktop's download folder, made
    // when missing, and not to the temporary folder. The folder opens once per command, and only
    // while the option says so.
    {
        const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
        const QString desktopDownloads = session.LocalPath(QStringLiteral("デスクトップ/ダウンロード"));
        writeFile(session.LocalPath(QStringLiteral("user-dirs.dirs")),
                  "XDG_DOWNLOAD_DIR=\"" + desktopDownloads.toUtf8() + "\"\n");
        qputenv("XDG_CONFIG_HOME", session.local.path().toUtf8());
        OpenedUrls opened;
        OptionSettings options = OptionSettings::Load();
        QVERIFY(options.opendownfolder);
        options.opendownfolder = false;
        options.Save();
        selectRows(list, {QStringLiteral("a.txt")});
        QVERIFY(f.RunCommand(CommandId::Download));
        session.WaitIdle();
        QCOMPARE(fileBytes(desktopDownloads + QStringLiteral("/a.txt")), QByteArray("hello"));
        QCOMPARE(opened.paths, QStringList());
        options.opendownfolder = true;
        options.Save();
        selectRows(list, {QStringLiteral("b.log"), QStringLiteral("データ.txt")});
        QVERIFY(f.RunCommand(CommandId::Download));
        session.WaitIdle();
        QTRY_COMPARE(opened.paths, QStringList{desktopDownloads});
        QCOMPARE(fileBytes(desktopDownloads + QStringLiteral("/b.log")), QByteArray(1234, 'b'));
        QVERIFY(QDir(session.LocalPath(QStringLiteral("tmp"))).isEmpty());
        QCOMPARE(f.Engine().Host().DownPath, std::string());
        qputenv("XDG_CONFIG_HOME", configHome);
    }

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
    QCOMPARE(lines.value(user), QStringLiteral("USER ") + session.server.user());
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

    // Choosing the host lists "/" again.
    clickItem(tree, tree->topLevelItem(0));
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(list), kTopRows, 10000);
    session.WaitIdle();
    QVERIFY(f.LogView()->toPlainText().contains(QStringLiteral("\nCWD /\n250 ")));
    QCOMPARE(tree->GetCurrentPath(), std::string());

    // The keys move through the tree; the folder they rest on is listed.
    tree->setFocus();
    tree->setCurrentItem(remoteRoot);
    QTest::keyClick(tree, Qt::Key_Down);
    QCOMPARE(tree->currentItem()->text(0), QStringLiteral("/sub"));
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(list),
                              (QStringList{QStringLiteral("inner||d"), QStringLiteral("inside.txt|70000|-")}),
                              10000);
    session.WaitIdle();
    QCOMPARE(tree->GetCurrentPath(), std::string("/sub"));
    QCOMPARE(f.windowTitle(), QStringLiteral("テストサーバー - /sub - lumo"));
    QCOMPARE(f.AddressBar()->text(), QStringLiteral("/sub"));

    // The address line goes to a typed folder: one of the current folder, or a whole path.
    typeAddress(f, QStringLiteral("inner"));
    QTRY_COMPARE_WITH_TIMEOUT(tree->GetCurrentPath(), std::string("/sub/inner"), 10000);
    session.WaitIdle();
    QCOMPARE(f.AddressBar()->text(), QStringLiteral("/sub/inner"));
    QCOMPARE(shownRows(list), QStringList());
    typeAddress(f, QStringLiteral("/日本語フォルダ/"));
    QTRY_COMPARE_WITH_TIMEOUT(tree->GetCurrentPath(), std::string("/日本語フォルダ"), 10000);
    session.WaitIdle();
    QCOMPARE(f.windowTitle(), QStringLiteral("テストサーバー - /日本語フォルダ - lumo"));
    // A folder that is not there is said so; the session and the line stay where they were.
    typeAddress(f, QStringLiteral("/no such folder"));
    QTRY_VERIFY_WITH_TIMEOUT(f.LogView()->toPlainText().contains(
                                 QStringLiteral("フォルダ /no such folder に移動できませんでした。")),
                             10000);
    session.WaitIdle();
    QCOMPARE(f.StatusBar()->StatusText(), QStringLiteral("フォルダ /no such folder に移動できませんでした"));
    QCOMPARE(f.AddressBar()->text(), QStringLiteral("/日本語フォルダ"));
    QCOMPARE(tree->GetCurrentPath(), std::string("/日本語フォルダ"));
    // Escape drops a half-typed folder.
    f.AddressBar()->insert(QStringLiteral("/half"));
    QTest::keyClick(f.AddressBar(), Qt::Key_Escape);
    QCOMPARE(f.AddressBar()->text(), QStringLiteral("/日本語フォルダ"));

    QVERIFY(f.RunCommand(CommandId::Disconnect));
    QVERIFY(!f.Engine().IsConnected());
    QCOMPARE(connection->text(0), QStringLiteral("接続"));
    QCOMPARE(remoteRoot->childCount(), 0);
    QCOMPARE(list->Model().RowCount(), 0);
    QCOMPARE(tree->GetCurrentPath(), std::string());
    f.UpdateCommandUi();
    QVERIFY(f.Action(CommandId::Connect)->isEnabled());
    QVERIFY(!f.Action(CommandId::Disconnect)->isEnabled());
    QCOMPARE(f.windowTitle(), QStringLiteral("lumo"));
    QCOMPARE(f.AddressBar()->text(), QString());

    // A whole address connects to its host for this session; neither the line nor the title keeps
    // the user or the password. Leaving a session for another address asks first.
    const QString address = QStringLiteral("ftp://%1:%2@127.0.0.1:%3/sub")
                                .arg(session.server.user(), session.server.password())
                                .arg(session.server.port());
    typeAddress(f, address);
    QTRY_COMPARE_WITH_TIMEOUT(tree->GetCurrentPath(), std::string("/sub"), 10000);
    session.WaitIdle();
    // The address is the registered host's: the title names it as the tree does.
    QCOMPARE(f.windowTitle(), QStringLiteral("テストサーバー - /sub - lumo"));
    QCOMPARE(f.AddressBar()->text(), QStringLiteral("/sub"));
    answerQuestion(QStringLiteral("キャンセル"), &question, &preset);
    typeAddress(f, address);
    QVERIFY2(question.startsWith(
                 QStringLiteral("現在のホストから切断して ftp://%1@127.0.0.1:").arg(session.server.user())),
             qPrintable(question));
    QVERIFY(!question.contains(QLatin1Char(':') + session.server.password() + QLatin1Char('@')));
    QCOMPARE(preset, QStringLiteral("キャンセル"));
    QVERIFY(f.Engine().IsConnected());
    QCOMPARE(f.AddressBar()->text(), QStringLiteral("/sub"));
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

void TestMainWindowSession::everyCommandOnTheServersDisk() {
    Session session;
    const QString downloads = session.LocalPath(QStringLiteral("downloads"));
    QVERIFY(QDir().mkpath(downloads));
    session.Start(downloads);
    session.Connect();
    CMainFrame& f = *session.frame;
    CQXListView* list = f.ListView();
    QTreeView* details = list->DetailsView();
    OpenedUrls opened;
    auto log = [&f] { return f.LogView()->toPlainText(); };

    // A double click enters a folder; the parent folder command leads back.
    details->scrollTo(rowNamed(list, QStringLiteral("sub")));
    const QPoint subRow = details->visualRect(rowNamed(list, QStringLiteral("sub"))).center();
    QTest::mouseClick(details->viewport(), Qt::LeftButton, {}, subRow);
    QTest::mouseDClick(details->viewport(), Qt::LeftButton, {}, subRow);
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(list),
                              (QStringList{QStringLiteral("inner||d"), QStringLiteral("inside.txt|70000|-")}),
                              10000);
    session.WaitIdle();
    QCOMPARE(f.GetCurrentPath(), std::string("/sub"));
    f.UpdateCommandUi();
    QTest::mouseClick(f.CommandToolBar()->widgetForAction(f.Action(CommandId::ParentFolder)), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(shownRows(list), kTopRows, 10000);
    session.WaitIdle();
    QCOMPARE(f.GetCurrentPath(), std::string());

    // F5 shows what arrived on the server meanwhile.
    writeFile(session.ServerPath(QStringLiteral("later.txt")), "later");
    QTest::keyClick(details, Qt::Key_F5);
    QTRY_VERIFY_WITH_TIMEOUT(rowNamed(list, QStringLiteral("later.txt")).isValid(), 10000);
    session.WaitIdle();

    // New folder: the placeholder's editor; Escape takes it away and sends nothing; a name with
    // "/" is refused with a message; a typed name is made on the server.
    const int rows = list->Model().RowCount();
    QVERIFY(f.RunCommand(CommandId::NewFolder));
    QTRY_VERIFY(nameEditor(list));
    QCOMPARE(nameEditor(list)->text(), QStringLiteral("新しいフォルダ"));
    QCOMPARE(list->Model().RowCount(), rows + 1);
    QTest::keyClick(nameEditor(list), Qt::Key_Escape);
    QTRY_COMPARE(list->Model().RowCount(), rows);
    QString message;
    answerMessageBox(&message);
    QVERIFY(f.RunCommand(CommandId::NewFolder));
    typeName(list, QStringLiteral("a/b"));
    QTRY_COMPARE(message, QStringLiteral("名前に「/」は使えません。"));
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QCOMPARE(list->Model().RowCount(), rows);
    QVERIFY(f.RunCommand(CommandId::NewFolder));
    typeName(list, QStringLiteral("作業"));
    QTRY_VERIFY_WITH_TIMEOUT(rowNamed(list, QStringLiteral("作業")).isValid(), 10000);
    session.WaitIdle();
    QVERIFY(QFileInfo(session.ServerPath(QStringLiteral("作業"))).isDir());
    QVERIFY(!log().contains(QStringLiteral("MKD /a")));
    QVERIFY(!log().contains(QStringLiteral("MKD /新しいフォルダ")));

    // Rename in the list display, started with F2.
    QVERIFY(f.RunCommand(CommandId::ViewList));
    selectRows(list, {QStringLiteral("a.txt")});
    QTest::keyClick(list->IconView(), Qt::Key_F2);
    QTRY_VERIFY(nameEditor(list));
    QCOMPARE(nameEditor(list)->text(), QStringLiteral("a.txt"));
    typeName(list, QStringLiteral("改名.txt"));
    QTRY_VERIFY_WITH_TIMEOUT(rowNamed(list, QStringLiteral("改名.txt")).isValid(), 10000);
    session.WaitIdle();
    QVERIFY(!QFile::exists(session.ServerPath(QStringLiteral("a.txt"))));
    QCOMPARE(fileBytes(session.ServerPath(QStringLiteral("改名.txt"))), QByteArray("hello"));
    QVERIFY(f.RunCommand(CommandId::ViewDetails));

    // Upload: two files chosen at once, then a folder chosen in the dialog's list goes up as a tree.
    const QString outbox = session.LocalPath(QStringLiteral("outbox"));
    QVERIFY(QDir().mkpath(outbox + QStringLiteral("/ツリー/下")));
    QByteArray random(150000, '\0');
    for (char& c : random)
        c = static_cast<char>(QRandomGenerator::global()->generate());
    writeFile(outbox + QStringLiteral("/up1.txt"), "first upload\n");
    writeFile(outbox + QStringLiteral("/up2.bin"), random);
    writeFile(outbox + QStringLiteral("/ツリー/下/深い.bin"), random.left(7777));
    WhenModalShown([outbox](QDialog* d) {
        auto* dialog = qobject_cast<CUploadDialog*>(d);
        QVERIFY(dialog);
        dialog->setDirectory(outbox);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("\"up1.txt\" \"up2.bin\""));
        dialog->accept();
    });
    QVERIFY(f.RunCommand(CommandId::Upload));
    QTRY_VERIFY_WITH_TIMEOUT(rowNamed(list, QStringLiteral("up2.bin")).isValid(), 10000);
    session.WaitIdle();
    QCOMPARE(fileBytes(session.ServerPath(QStringLiteral("up1.txt"))), QByteArray("first upload\n"));
    QCOMPARE(fileBytes(session.ServerPath(QStringLiteral("up2.bin"))), random);
    WhenModalShown([outbox](QDialog* d) {
        auto* dialog = qobject_cast<CUploadDialog*>(d);
        QVERIFY(dialog);
        dialog->setDirectory(outbox);
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        auto* files = qobject_cast<QFileSystemModel*>(view->model());
        QVERIFY(files);
        view->selectionModel()->select(files->index(outbox + QStringLiteral("/ツリー")),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        dialog->accept();
    });
    QVERIFY(f.RunCommand(CommandId::Upload));
    QTRY_VERIFY_WITH_TIMEOUT(rowNamed(list, QStringLiteral("ツリー")).isValid(), 10000);
    session.WaitIdle();
    QCOMPARE(fileBytes(session.ServerPath(QStringLiteral("ツリー/下/深い.bin"))), random.left(7777));

    // Open on a file: fetched into the temporary folder, then handed to its program.
    const QString temp = session.LocalPath(QStringLiteral("tmp/up1.txt"));
    details->scrollTo(rowNamed(list, QStringLiteral("up1.txt")));
    const QPoint fileRow = details->visualRect(rowNamed(list, QStringLiteral("up1.txt"))).center();
    QTest::mouseClick(details->viewport(), Qt::LeftButton, {}, fileRow);
    QTest::mouseDClick(details->viewport(), Qt::LeftButton, {}, fileRow);
    QTRY_VERIFY_WITH_TIMEOUT(opened.paths.contains(temp), 10000);
    QCOMPARE(fileBytes(temp), QByteArray("first upload\n"));

    // Download as: a dialog for each file, none for the folder; a cancelled one skips its file.
    int dialogs = 0;
    const QString savedAs = session.LocalPath(QStringLiteral("別名.txt"));
    WhenModalShown([&dialogs, savedAs](QDialog* first) {
        ++dialogs;
        WhenModalShown([&dialogs](QDialog* second) {
            ++dialogs;
            second->reject();
        });
        auto* dialog = qobject_cast<QFileDialog*>(first);
        QVERIFY(dialog);
        // In list order: up1.txt comes first.
        QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), QStringLiteral("up1.txt"));
        dialog->selectFile(savedAs);
        first->accept();
    });
    selectRows(list, {QStringLiteral("up2.bin"), QStringLiteral("sub"), QStringLiteral("up1.txt")});
    QVERIFY(f.RunCommand(CommandId::DownloadAs));
    session.WaitIdle();
    QCOMPARE(dialogs, 2);
    QCOMPARE(fileBytes(savedAs), QByteArray("first upload\n"));
    QVERIFY(!QFile::exists(session.LocalPath(QStringLiteral("up2.bin"))));

    // Change attributes: the dialog's number reaches the file on the server.
    selectRows(list, {QStringLiteral("b.log")});
    WhenModalShown([](QDialog* d) {
        QCOMPARE(d->objectName(), ControlName(IDD_ATTRIBUTES));
        auto* number = Control<QLineEdit>(d, IDC_NUMBER);
        number->selectAll();
        QTest::keyClicks(number, QStringLiteral("600"));
        ClickButton(d, IDOK);
    });
    QVERIFY(f.RunCommand(CommandId::ChangeAttributes));
    session.WaitIdle();
    QCOMPARE(QFile::permissions(session.ServerPath(QStringLiteral("b.log"))) & 0x0777,
             QFileDevice::ReadUser | QFileDevice::WriteUser);
    QTRY_COMPARE(list->Model().ItemText(rowNamed(list, QStringLiteral("b.log")).row(), 3),
                 QStringLiteral("-rw-------"));

    // Download of a folder tree into the host's download folder, byte for byte; the folder is
    // then shown on the desktop.
    writeFile(session.ServerPath(QStringLiteral("sub/inner/deep.bin")), random);
    selectRows(list, {QStringLiteral("sub"), QStringLiteral("b.log")});
    QVERIFY(f.RunCommand(CommandId::Download));
    QTRY_VERIFY_WITH_TIMEOUT(opened.paths.contains(downloads), 10000);
    session.WaitIdle();
    QCOMPARE(fileBytes(downloads + QStringLiteral("/sub/inner/deep.bin")), random);
    QCOMPARE(fileBytes(downloads + QStringLiteral("/sub/inside.txt")), QByteArray(70000, 'i'));
    QCOMPARE(fileBytes(downloads + QStringLiteral("/b.log")), QByteArray(1234, 'b'));
    // The download left the server in a subfolder: a refresh still lists the folder the list shows.
    QVERIFY(f.RunCommand(CommandId::Refresh));
    session.WaitIdle();
    QVERIFY(rowNamed(list, QStringLiteral("b.log")).isValid());

    // Delete key on a folder and a file: the question counts both, and a cancel deletes nothing.
    selectRows(list, {QStringLiteral("sub"), QStringLiteral("b.log")});
    QString question;
    WhenModalShown([&question](QDialog* d) {
        question = Control<QLabel>(d, IDC_MESSAGE_TEXT)->text();
        ClickButton(d, IDCANCEL);
    });
    QTest::keyClick(details, Qt::Key_Delete);
    QTRY_COMPARE(question, QStringLiteral("これらの 2個のファイルを削除してもよろしいですか。"));
    session.WaitIdle();
    QVERIFY(QFileInfo::exists(session.ServerPath(QStringLiteral("sub/inner/deep.bin"))));
    QVERIFY(QFileInfo::exists(session.ServerPath(QStringLiteral("b.log"))));

    // Delete key on a folder tree: asked first, then the whole tree goes.
    selectRows(list, {QStringLiteral("sub")});
    WhenModalShown([](QDialog* d) {
        QCOMPARE(d->objectName(), ControlName(IDD_MESSAGE));
        ClickButton(d, IDOK);
    });
    QTest::keyClick(details, Qt::Key_Delete);
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(session.ServerPath(QStringLiteral("sub"))), 10000);
    session.WaitIdle();
    QVERIFY(!rowNamed(list, QStringLiteral("sub")).isValid());

    // Cancel a slow download: the status bar says so, the server gets ABOR, the file stays short.
    startSlowDownload(session, downloads);
    QVERIFY(f.StatusBar()->StatusText().contains(QStringLiteral("big.slow")));
    QVERIFY(f.RunCommand(CommandId::Cancel));
    QCOMPARE(f.StatusBar()->StatusText(), QStringLiteral("キャンセル処理中です"));
    session.WaitIdle();
    QTRY_COMPARE(f.StatusBar()->StatusText(), QStringLiteral("キャンセルしました"));
    // The transfer ran on a transfer session, whose lines carry its number.
    QVERIFY(log().contains(QRegularExpression(QStringLiteral("\n\\[\\d+\\] ABOR\n"))));
    QVERIFY(QFileInfo(downloads + QStringLiteral("/big.slow")).size() < 4 * 1024 * 1024);
    QVERIFY(!opened.paths.contains(downloads + QStringLiteral("/big.slow")));
    // The note goes once the session moves on.
    QVERIFY(f.RunCommand(CommandId::Refresh));
    session.WaitIdle();
    f.UpdateCommandUi();
    QCOMPARE(f.StatusBar()->StatusText(), QString());

    // Save the log: CP932 with CR LF; a place that cannot be written is named, the log stays.
    const QString logFile = session.LocalPath(QStringLiteral("log.txt"));
    answerFileDialog(logFile);
    QVERIFY(f.RunCommand(CommandId::SaveLog));
    const QByteArray saved = fileBytes(logFile);
    QCOMPARE(saved.toStdString(), LogFileBytes(f.Log().Text()));
    QVERIFY(saved.startsWith(
        QByteArray::fromStdString(EncodeCp932(QStringLiteral("テストサーバーに接続します\r\n")))));
    QCOMPARE(saved.count("\r\n"), saved.count('\n'));
    QVERIFY(saved.contains("] ABOR\r\n"));
    const std::string before = f.Log().Text();
    answerFileDialog(session.LocalPath(QStringLiteral("missing-folder/log.txt")));
    answerMessageBox(&message);
    QVERIFY(f.RunCommand(CommandId::SaveLog));
    QTRY_VERIFY(message.contains(session.LocalPath(QStringLiteral("missing-folder/log.txt"))));
    QCOMPARE(f.Log().Text(), before);
}

void TestMainWindowSession::filesDroppedOnTheListGoUp() {
    Session session;
    session.Start();
    CMainFrame& f = *session.frame;
    CQXListView* list = f.ListView();
    auto log = [&f] { return f.LogView()->toPlainText(); };
    const QString desk = session.LocalPath(QStringLiteral("desk"));
    QVERIFY(QDir().mkpath(desk + QStringLiteral("/site.v2/画像")));
    QByteArray random(90000, '\0');
    for (char& c : random)
        c = static_cast<char>(QRandomGenerator::global()->generate());
    writeFile(desk + QStringLiteral("/落とした.txt"), "dropped\n");
    writeFile(desk + QStringLiteral("/drop2.bin"), random);
    writeFile(desk + QStringLiteral("/site.v2/index.html"), "<html></html>");
    writeFile(desk + QStringLiteral("/site.v2/画像/logo.bin"), random.left(333));
    writeFile(desk + QStringLiteral("/into.txt"), "into sub");
    auto urls = [&desk](const QStringList& names) {
        auto* data = new QMimeData;
        QList<QUrl> list;
        for (const QString& name : names)
            list << (name.contains(QLatin1Char(':')) ? QUrl(name)
                                                     : QUrl::fromLocalFile(desk + QLatin1Char('/') + name));
        data->setUrls(list);
        return std::unique_ptr<QMimeData>(data);
    };

    // Nothing is taken while no session runs.
    auto files = urls({QStringLiteral("落とした.txt")});
    QVERIFY(!dropOnList(list, QPoint(20, 20), files.get()));

    session.Connect();
    // Onto a file row: into the current folder. Files go first, then the folder as a tree under
    // its whole name, then back to the folder and a listing.
    files = urls({QStringLiteral("site.v2"), QStringLiteral("落とした.txt"), QStringLiteral("drop2.bin")});
    int marked = -2;
    QVERIFY(dropOnList(list, rowPoint(list, QStringLiteral("a.txt")), files.get(), &marked));
    QCOMPARE(marked, -1);
    QTRY_VERIFY_WITH_TIMEOUT(rowNamed(list, QStringLiteral("site.v2")).isValid(), 10000);
    session.WaitIdle();
    QCOMPARE(fileBytes(session.ServerPath(QStringLiteral("落とした.txt"))), QByteArray("dropped\n"));
    QCOMPARE(fileBytes(session.ServerPath(QStringLiteral("drop2.bin"))), random);
    QCOMPARE(fileBytes(session.ServerPath(QStringLiteral("site.v2/index.html"))),
             QByteArray("<html></html>"));
    QCOMPARE(fileBytes(session.ServerPath(QStringLiteral("site.v2/画像/logo.bin"))), random.left(333));
    const QString afterFirst = log();
    // The dropped folder is made before the files that go into it.
    const qsizetype stor = afterFirst.indexOf(QStringLiteral("] STOR /site.v2/index.html\n"));
    const qsizetype mkd = afterFirst.indexOf(QStringLiteral("\nMKD /site.v2\n"));
    QVERIFY2(mkd > 0 && stor > mkd, qPrintable(afterFirst));
    QVERIFY(afterFirst.indexOf(QStringLiteral("\nCWD /\n"), mkd) > mkd);

    // Onto a folder row: the row is marked while the drag hovers, the file goes into that folder,
    // and the list comes back to where it was.
    files = urls({QStringLiteral("into.txt")});
    QVERIFY(dropOnList(list, rowPoint(list, QStringLiteral("sub")), files.get(), &marked));
    QCOMPARE(marked, rowNamed(list, QStringLiteral("sub")).row());
    QCOMPARE(list->DropTargetRow(), -1);
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(session.ServerPath(QStringLiteral("sub/into.txt"))),
                              QByteArray("into sub"), 10000);
    session.WaitIdle();
    QVERIFY(!QFile::exists(session.ServerPath(QStringLiteral("into.txt"))));
    QCOMPARE(f.GetCurrentPath(), std::string());
    QVERIFY(rowNamed(list, QStringLiteral("site.v2")).isValid());

    // lumo's own rows dragged back onto its list: not taken, not read.
    writeFile(desk + QStringLiteral("/marked.txt"), "marker");
    files = urls({QStringLiteral("marked.txt")});
    files->setData(QStringLiteral("application/x-lumo-drag-out"), QByteArray("1"));
    QVERIFY(!dropOnList(list, rowPoint(list, QStringLiteral("a.txt")), files.get()));

    // An address that is not a local file is refused with a message; the local file beside it
    // still goes up.
    QString message;
    answerMessageBox(&message);
    files = urls({QStringLiteral("https://example.invalid/remote.txt"), QStringLiteral("into.txt")});
    QVERIFY(dropOnList(list, rowPoint(list, QStringLiteral("a.txt")), files.get()));
    QTRY_VERIFY(message.contains(QStringLiteral("https://example.invalid/remote.txt")));
    QVERIFY(message.contains(QStringLiteral("ローカルのファイルではない")));
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(session.ServerPath(QStringLiteral("into.txt"))),
                              QByteArray("into sub"), 10000);
    session.WaitIdle();
    QVERIFY(!QFile::exists(session.ServerPath(QStringLiteral("marked.txt"))));
    QVERIFY(!QFile::exists(session.ServerPath(QStringLiteral("remote.txt"))));
    QVERIFY(!log().contains(QStringLiteral("marked.txt")));
}

void TestMainWindowSession::closingDuringATransferAsksFirst() {
    Session session;
    const QString downloads = session.LocalPath(QStringLiteral("downloads"));
    QVERIFY(QDir().mkpath(downloads));
    session.Start(downloads);
    session.Connect();
    startSlowDownload(session, downloads);
    if (QTest::currentTestFailed())
        return;
    CMainFrame& f = *session.frame;
    const QString partial = downloads + QStringLiteral("/big.slow");

    // Cancel, the default answer: the window stays and the file keeps coming.
    QString question, preset;
    answerQuestion(QStringLiteral("キャンセル"), &question, &preset);
    QVERIFY(!f.close());
    QCOMPARE(question, QStringLiteral("転送中です。中止して終了しますか？"));
    QCOMPARE(preset, QStringLiteral("キャンセル"));
    QVERIFY(f.isVisible());
    QVERIFY(f.TransferQueue().HasWork());
    const qint64 sizeThen = QFileInfo(partial).size();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(partial).size() > sizeThen, 10000);

    // Agreed: the window closes and the session ends.
    answerQuestion(QStringLiteral("終了する"), &question, &preset);
    QVERIFY(f.close());
    QVERIFY(!f.isVisible());
    QVERIFY(!f.Engine().IsConnected());
    const qint64 left = QFileInfo(partial).size();
    QVERIFY(left < 4 * 1024 * 1024);
    // What is left is named, so that it can be resumed.
    QVERIFY(f.LogView()->toPlainText().contains(
        QStringLiteral("「%1」には受信した %2 バイトが残っています (続きから転送できます)。")
            .arg(partial)
            .arg(left)));
}

void TestMainWindowSession::namesThatBecomeOneLocalNameAreAskedAbout() {
    Session session;
    const QString downloads = session.LocalPath(QStringLiteral("downloads"));
    QVERIFY(QDir().mkpath(downloads));
    session.Start(downloads);
    session.Connect();
    CMainFrame& f = *session.frame;
    CQXListView* list = f.ListView();
    // "café" composed and decomposed: two files on the server, one name on this disk.
    const QString composed = QStringLiteral("caf\u00e9.txt");
    const QString decomposed = QStringLiteral("cafe\u0301.txt");
    writeFile(session.ServerPath(composed), "composed");
    writeFile(session.ServerPath(decomposed), "decomposed");
    QVERIFY(f.RunCommand(CommandId::Refresh));
    QTRY_VERIFY_WITH_TIMEOUT(rowNamed(list, decomposed).isValid(), 10000);
    session.WaitIdle();
    selectRows(list, {composed, decomposed});
    QString question, preset;
    answerQuestion(QStringLiteral("番号を付けて両方残す"), &question, &preset);
    QVERIFY(f.RunCommand(CommandId::Download));
    session.WaitIdle();
    QCOMPARE(preset, QStringLiteral("番号を付けて両方残す"));
    QVERIFY2(question.contains(composed), qPrintable(question));
    const QString first = downloads + QStringLiteral("/") + composed;
    const QString second = downloads + QStringLiteral("/caf\u00e9 (2).txt");
    const QByteArray bytes[] = {fileBytes(first), fileBytes(second)};
    // Which came first is the list's order; neither replaced the other.
    QVERIFY2((bytes[0] == "composed" && bytes[1] == "decomposed") ||
                 (bytes[0] == "decomposed" && bytes[1] == "composed"),
             qPrintable(bytes[0] + "|" + bytes[1]));
}

void TestMainWindowSession::mirrorCommandsAskThePairAndPreview() {
    Session session;
    session.Start();
    session.Connect();
    CMainFrame& f = *session.frame;
    CQXTreeView* tree = f.TreeView();
    typeAddress(f, QStringLiteral("/sub"));
    QTRY_COMPARE_WITH_TIMEOUT(tree->GetCurrentPath(), std::string("/sub"), 10000);
    session.WaitIdle();
    const QString local = session.LocalPath(QStringLiteral("site"));
    QVERIFY(QDir().mkpath(local));

    // The first time, the pair's local folder is asked; the preview lists the files to fetch and
    // runs what stays ticked. The folder is remembered for the pair.
    int previews = 0;
    int lines = 0;
    WhenModalShown([&local](QDialog* d) {
        auto* pair = qobject_cast<CMirrorFolderDlg*>(d);
        QVERIFY(pair);
        QVERIFY(!pair->removeBox()->isChecked());
        pair->folderEdit()->setText(local);
        pair->accept();
        WhenModalShown([](QDialog* next) {
            auto* preview = qobject_cast<CMirrorPreviewDlg*>(next);
            QVERIFY(preview);
            pressRun(preview);
        });
    });
    QVERIFY(f.RunCommand(CommandId::MirrorDownload));
    QTRY_VERIFY_WITH_TIMEOUT(
        f.LogView()->toPlainText().contains(QStringLiteral("ミラーリングが終わりました")), 20000);
    QVERIFY2(f.LogView()->toPlainText().contains(
                 QStringLiteral("ミラーリングが終わりました（送信 1 件、削除 0 件）。")),
             qPrintable(f.LogView()->toPlainText().right(400)));
    QCOMPARE(fileBytes(local + QStringLiteral("/inside.txt")), QByteArray(70000, 'i'));
    QVERIFY(QFileInfo(local + QStringLiteral("/inner")).isDir());

    // Changed here, it goes up; the preview says what it will do and nothing else is asked.
    writeFile(local + QStringLiteral("/inside.txt"), "edited here");
    writeFile(local + QStringLiteral("/new.txt"), "new");
    WhenModalShown([&f, &previews, &lines](QDialog* d) {
        auto* preview = qobject_cast<CMirrorPreviewDlg*>(d);
        QVERIFY(preview);
        ++previews;
        lines = preview->model().rowCount();
        // A second mirror while one holds its pair waits its turn, and says so.
        QVERIFY(f.RunCommand(CommandId::MirrorUpload));
        QVERIFY(f.LogView()->toPlainText().contains(QStringLiteral("ミラーリングの実行中です")));
        pressRun(preview);
    });
    QVERIFY(f.RunCommand(CommandId::MirrorUpload));
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(session.ServerPath(QStringLiteral("sub/new.txt"))), QByteArray("new"),
                              20000);
    session.WaitIdle();
    QCOMPARE(previews, 1);
    QCOMPARE(lines, 2);
    QTRY_COMPARE(fileBytes(session.ServerPath(QStringLiteral("sub/inside.txt"))), QByteArray("edited here"));
    // The files are there before the mirror has read them back and let its record go.
    QTRY_COMPARE_WITH_TIMEOUT(f.LogView()->toPlainText().count(QStringLiteral("ミラーリングが終わりました")),
                              2, 20000);

    // From the preview: the server's time zone is found with a file sent and removed again, kept
    // with the host, and the plan made again; then the pair's settings change, and so on again.
    bool settingsAsked = false;
    WhenModalShown([&settingsAsked](QDialog* d) {
        auto* preview = qobject_cast<CMirrorPreviewDlg*>(d);
        QVERIFY(preview);
        preview->zoneButton()->click();
        WhenModalShown([&settingsAsked](QDialog* again) {
            auto* replanned = qobject_cast<CMirrorPreviewDlg*>(again);
            QVERIFY(replanned);
            replanned->settingsButton()->click();
            WhenModalShown([&settingsAsked](QDialog* next) {
                auto* pair = qobject_cast<CMirrorFolderDlg*>(next);
                QVERIFY(pair);
                settingsAsked = true;
                pair->removeBox()->setChecked(true);
                pair->accept();
                WhenModalShown([](QDialog* last) {
                    QVERIFY(qobject_cast<CMirrorPreviewDlg*>(last));
                    last->reject();
                });
            });
        });
    });
    QVERIFY(f.RunCommand(CommandId::MirrorUpload));
    QTRY_VERIFY2_WITH_TIMEOUT(settingsAsked, qPrintable(f.LogView()->toPlainText().right(600)), 20000);
    QVERIFY2(f.LogView()->toPlainText().contains(
                 QStringLiteral("サーバーの時間帯は +00:00 でした（ホストの設定に記録しました）。")),
             qPrintable(f.LogView()->toPlainText().right(400)));
    HostRecord stored;
    QVERIFY(f.Doc().LoadHost(f.Engine().HostNumber(), stored));
    QCOMPARE(stored.ServerZone, std::string("+00:00"));
    QVERIFY(!QFileInfo::exists(session.ServerPath(QStringLiteral("sub/.lumo-zone-check"))));
    const MirrorPairSettings pair = LoadMirrorPair(HostMirrorPair(f.Engine().Host(), "/sub"));
    QVERIFY(pair.removeAbsent);
}

QTEST_MAIN(TestMainWindowSession)
#include "tst_main_window_session.moc"
