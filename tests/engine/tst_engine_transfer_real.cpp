#include "StoreFixture.h"
#include "engine/FtpEngine.h"
#include "fixtures/EngineProbe.h"
#include "fixtures/FileBytes.h"
#include "fixtures/RealFtpServer.h"
#include "fixtures/RecordingUi.h"
#include "hosts/QXDoc.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"
#include "views/FileListModel.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

namespace {
// Every path below `root`, relative, with "/" after folders; links are listed, not followed.
QStringList TreeOf(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        QString rel = QDir(root).relativeFilePath(info.filePath());
        if (info.isDir() && !info.isSymLink())
            rel += QLatin1Char('/');
        out << rel;
    }
    out.sort();
    return out;
}
} // namespace

class TestEngineTransferReal : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void uploadsArriveByteIdentical_data();
    void uploadsArriveByteIdentical();
    void resumeSendsTheRestAfterRest_data();
    void resumeSendsTheRestAfterRest();
    void folderTreeIsDeletedAndNothingOutside_data();
    void folderTreeIsDeletedAndNothingOutside();
    void linkShownAsAFolderIsDeletedAlone_data();
    void linkShownAsAFolderIsDeletedAlone();
    void renameMkdAndPermissions_data();
    void renameMkdAndPermissions();

private:
    void addServerRows();
    // Starts the server of the row and logs in; false with a failure recorded otherwise.
    bool connect();
    // Runs the queue and waits until the session rests.
    bool runQueue();
    // The server's folder as a remote path of this session.
    std::string remote(const QString& relative = {}) const;

    std::unique_ptr<StoreFixture> m_store;
    std::unique_ptr<RealFtpServer> m_server;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<CFtpEngine> m_engine;
    std::unique_ptr<QTemporaryDir> m_local;
};

void TestEngineTransferReal::init() {
    m_store = std::make_unique<StoreFixture>();
    m_ui = std::make_unique<RecordingUi>();
    m_local = std::make_unique<QTemporaryDir>();
}

void TestEngineTransferReal::cleanup() {
    m_engine.reset();
    m_ui.reset();
    m_server.reset();
    m_local.reset();
    m_store.reset();
}

void TestEngineTransferReal::addServerRows() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("passive");
    QTest::newRow("pyftpdlib, passive") << static_cast<int>(RealFtpServer::Kind::Pyftpdlib) << true;
    QTest::newRow("pyftpdlib, active") << static_cast<int>(RealFtpServer::Kind::Pyftpdlib) << false;
    QTest::newRow("vsftpd, passive") << static_cast<int>(RealFtpServer::Kind::Vsftpd) << true;
    QTest::newRow("vsftpd, active") << static_cast<int>(RealFtpServer::Kind::Vsftpd) << false;
}

bool TestEngineTransferReal::connect() {
    QFETCH(int, kind);
    QFETCH(bool, passive);
    m_server = std::make_unique<RealFtpServer>(static_cast<RealFtpServer::Kind>(kind));
    if (!m_server->start()) {
        qWarning("%s", qPrintable(m_server->error()));
        return false;
    }
    HostRecord host;
    host.Name = "実サーバー";
    host.Adr = "127.0.0.1";
    host.Port = m_server->port();
    host.User = m_server->user().toStdString();
    host.Pass = m_server->password().toStdString();
    host.Pasv = passive ? 1 : 0;
    CQXDoc().SaveHost(0, host);
    m_engine = std::make_unique<CFtpEngine>(*m_ui);
    m_engine->Connect(0);
    return runQueue() && !m_ui->foldersSet.empty() && m_ui->listings.size() == 1;
}

bool TestEngineTransferReal::runQueue() {
    EngineProbe::Dispatch(*m_engine);
    return QTest::qWaitFor([this] { return !m_engine->IsBusy() && m_engine->Queue().empty(); }, 20000);
}

std::string TestEngineTransferReal::remote(const QString& relative) const {
    std::string home = m_ui->currentPath;
    return relative.isEmpty() ? home : home + "/" + relative.toStdString();
}

void TestEngineTransferReal::uploadsArriveByteIdentical_data() {
    addServerRows();
}

void TestEngineTransferReal::uploadsArriveByteIdentical() {
    QVERIFY(connect());
    const int block = m_engine->SendChunk();
    const QString dir = m_local->path();
    struct Case {
        QString name;
        QByteArray bytes;
    };
    const std::vector<Case> files = {{QStringLiteral("plain.bin"), RandomBytes(300001, 1)},
                                     {QStringLiteral("empty.bin"), QByteArray()},
                                     {QStringLiteral("blocks.bin"), RandomBytes(3 * block, 2)},
                                     {QStringLiteral("名前 空白.txt"), QByteArray("line\nline\n")}};
    std::vector<std::string> paths;
    for (const Case& c : files) {
        QVERIFY(WriteFile(dir + "/" + c.name, c.bytes));
        paths.push_back(QFile::encodeName(dir + "/" + c.name).toStdString());
    }
    // A tree with a nested folder, an empty folder and a link back to its top, which must not
    // make the walk go round.
    const QString tree = dir + QStringLiteral("/tree");
    QVERIFY(QDir().mkpath(tree + "/sub/deeper"));
    QVERIFY(QDir().mkpath(tree + "/empty"));
    QVERIFY(WriteFile(tree + "/top.bin", RandomBytes(5000, 3)));
    QVERIFY(WriteFile(tree + "/sub/mid.bin", RandomBytes(block, 4)));
    QVERIFY(WriteFile(tree + "/sub/deeper/low.bin", RandomBytes(70000, 5)));
    QVERIFY(QFile::link(tree, tree + "/sub/loop"));

    QVERIFY(m_engine->UploadFiles(remote(), paths));
    m_engine->UploadFolder(QFile::encodeName(tree).toStdString(), remote("tree"));
    EngineProbe::Enqueue(*m_engine, Op::List{});
    QVERIFY(runQueue());

    const QString root = m_server->root();
    for (const Case& c : files)
        QVERIFY2(ReadFile(root + "/" + c.name) == c.bytes, qPrintable(c.name));
    QCOMPARE(TreeOf(root + "/tree"),
             QStringList({"empty/", "sub/", "sub/deeper/", "sub/deeper/low.bin", "sub/mid.bin", "top.bin"}));
    for (const char* rel : {"top.bin", "sub/mid.bin", "sub/deeper/low.bin"})
        QVERIFY2(ReadFile(root + "/tree/" + rel) == ReadFile(tree + "/" + rel), rel);
    QVERIFY(m_ui->logContains("は飛ばしました。\r\n"));
    QVERIFY(!m_ui->logContains("アップロードは失敗しました。"));
    QCOMPARE(EngineProbe::DataConns(*m_engine).size(), size_t(0));
}

void TestEngineTransferReal::resumeSendsTheRestAfterRest_data() {
    addServerRows();
}

void TestEngineTransferReal::resumeSendsTheRestAfterRest() {
    QVERIFY(connect());
    const QByteArray whole = RandomBytes(200000, 7);
    const QString local = m_local->path() + QStringLiteral("/part.bin");
    QVERIFY(WriteFile(local, whole));
    QVERIFY(WriteFile(m_server->root() + "/part.bin", whole.left(123457)));
    m_ui->rows = {{"part.bin", "123457", "2024/01/02 03:04", "-rw-r--r--"}};
    m_ui->overwriteAnswers = {Answer::Resume};
    QVERIFY(m_engine->UploadFiles(remote(), {QFile::encodeName(local).toStdString()}));
    QCOMPARE(std::get<Op::Upload>(EngineProbe::Running(*m_engine)).offset, std::int64_t(123457));
    QVERIFY(runQueue());
    QVERIFY2(m_ui->logContains("REST 123457\r\n350"), m_ui->logText().c_str());
    QVERIFY2(m_ui->logContains("アップロードは正常終了しました（送信先：" + remote() + "/part.bin）。\r\n"),
             m_ui->logText().c_str());
    QVERIFY(ReadFile(m_server->root() + "/part.bin") == whole);
    // The bar started at the resume offset.
    QVERIFY(!m_ui->progress.empty());
}

void TestEngineTransferReal::folderTreeIsDeletedAndNothingOutside_data() {
    addServerRows();
}

void TestEngineTransferReal::folderTreeIsDeletedAndNothingOutside() {
    QVERIFY(connect());
    const QString root = m_server->root();
    const QString outside = m_local->path() + QStringLiteral("/outside");
    QVERIFY(QDir().mkpath(outside + "/keep"));
    QVERIFY(WriteFile(outside + "/keep/precious.txt", "keep me"));
    QVERIFY(WriteFile(outside + "/file.txt", "keep me too"));
    QVERIFY(WriteFile(root + "/other.txt", "not part of the tree"));

    const QString t = root + QStringLiteral("/doomed");
    QVERIFY(QDir().mkpath(t + "/a/b/c"));
    QVERIFY(QDir().mkpath(t + "/empty"));
    QVERIFY(QDir().mkpath(t + "/with space"));
    QVERIFY(WriteFile(t + "/one.txt", "1"));
    QVERIFY(WriteFile(t + "/a/two.txt", "2"));
    QVERIFY(WriteFile(t + "/a/b/c/three.txt", "3"));
    QVERIFY(WriteFile(t + "/with space/four five.txt", "4"));
    QVERIFY(QFile::link(QStringLiteral("../other.txt"), t + "/a/inside-link"));
    QVERIFY(QFile::link(outside + "/keep", t + "/a/b/outside-folder-link"));
    QVERIFY(QFile::link(outside + "/file.txt", t + "/outside-file-link"));

    m_ui->rows = {{"doomed", "", "2024/01/02 03:04", "drwxr-xr-x"}, {"other.txt", "20", "", "-rw-r--r--"}};
    m_engine->Delete(m_ui->currentPath, {m_ui->rows[0]});
    QVERIFY(runQueue());

    // Nothing outside the tree is touched, whatever the server allows.
    QCOMPARE(ReadFile(outside + "/keep/precious.txt"), QByteArray("keep me"));
    QCOMPARE(ReadFile(outside + "/file.txt"), QByteArray("keep me too"));
    QCOMPARE(ReadFile(root + "/other.txt"), QByteArray("not part of the tree"));
    QFETCH(int, kind);
    if (static_cast<RealFtpServer::Kind>(kind) == RealFtpServer::Kind::Vsftpd) {
        QVERIFY2(!QFileInfo::exists(t), qPrintable(TreeOf(t).join(' ')));
    } else {
        // pyftpdlib refuses to touch a link that leads out of its root, so those links and the
        // folders holding them stay; everything else goes.
        QCOMPARE(TreeOf(t), QStringList({"a/", "a/b/", "a/b/outside-folder-link", "outside-file-link"}));
    }
    // The server and the tree end in the folder that was shown.
    QCOMPARE(m_ui->foldersSet.back(), m_server->homePath());
    QVERIFY(!m_ui->logContains("一つのファイル名ではない"));
}

void TestEngineTransferReal::linkShownAsAFolderIsDeletedAlone_data() {
    addServerRows();
}

void TestEngineTransferReal::linkShownAsAFolderIsDeletedAlone() {
    // Links in the shown folder, one to a folder beside it and one to a folder outside the server's
    // root; the file list shows both as folders.
    const QString outside = m_local->path() + QStringLiteral("/outside");
    QVERIFY(QDir().mkpath(outside + "/keep"));
    QVERIFY(WriteFile(outside + "/keep/precious.txt", "keep me"));
    QFETCH(int, kind);
    FileListModel list;
    m_ui->fileList = &list;
    QVERIFY(connect());
    const QString served = m_server->root();
    QVERIFY(QDir().mkpath(served + "/data"));
    QVERIFY(WriteFile(served + "/data/kept.txt", "beside"));
    QVERIFY(QFile::link(QStringLiteral("data"), served + "/alias"));
    QVERIFY(QFile::link(outside + "/keep", served + "/away"));
    EngineProbe::Enqueue(*m_engine, Op::List{});
    QVERIFY(runQueue());
    std::vector<FileListRow> links;
    for (int i = 0; i < list.RowCount(); ++i) {
        if (list.RowAt(i).name == "alias" || list.RowAt(i).name == "away") {
            QVERIFY(list.RowAt(i).IsFolder());
            links.push_back(list.EngineRow(i));
        }
    }
    QCOMPARE(links.size(), size_t(2));
    m_engine->Delete(m_ui->currentPath, links);
    QVERIFY(runQueue());

    // What the links lead to stays whole; the links themselves go where the server allows it.
    QCOMPARE(ReadFile(outside + "/keep/precious.txt"), QByteArray("keep me"));
    QCOMPARE(ReadFile(served + "/data/kept.txt"), QByteArray("beside"));
    QVERIFY(!QFileInfo(served + "/alias").isSymLink());
    if (static_cast<RealFtpServer::Kind>(kind) == RealFtpServer::Kind::Vsftpd)
        QVERIFY(!QFileInfo(served + "/away").isSymLink());
}

void TestEngineTransferReal::renameMkdAndPermissions_data() {
    addServerRows();
}

void TestEngineTransferReal::renameMkdAndPermissions() {
    QVERIFY(connect());
    const QString root = m_server->root();
    QVERIFY(WriteFile(root + "/old.txt", "x"));
    QVERIFY(WriteFile(root + "/mode.txt", "y"));
    QVERIFY(QFile::setPermissions(root + "/mode.txt", QFile::ReadOwner | QFile::WriteOwner));
    m_engine->RenameEntry("old.txt", QStringLiteral("新しい.txt"));
    QVERIFY(runQueue());
    QVERIFY(!QFileInfo::exists(root + "/old.txt"));
    QCOMPARE(ReadFile(root + QStringLiteral("/新しい.txt")), QByteArray("x"));

    m_engine->CreateFolder(QStringLiteral("made"));
    QVERIFY(runQueue());
    QVERIFY(QFileInfo(root + "/made").isDir());
    QVERIFY(!m_ui->logContains("フォルダの作成ができませんでした。"));
    m_engine->CreateFolder(QStringLiteral("made"));
    QVERIFY(runQueue());
    QVERIFY(m_ui->logContains("フォルダの作成ができませんでした。\r\n"));

    m_engine->ChangeAttributes(m_ui->currentPath, {"mode.txt"}, "SITE CHMOD", "64");
    QVERIFY(runQueue());
    QVERIFY(m_ui->logContains("SITE CHMOD 640 " + remote("mode.txt") + "\r\n"));
    QFETCH(int, kind);
    if (static_cast<RealFtpServer::Kind>(kind) == RealFtpServer::Kind::Pyftpdlib) {
        QCOMPARE(QFileInfo(root + "/mode.txt").permissions() & 0x0FFF,
                 QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
        QVERIFY(!m_ui->logContains("属性の変更ができませんでした。"));
    } else {
        // Anonymous sessions of vsftpd may not change permissions.
        QVERIFY(m_ui->logContains("属性の変更ができませんでした。\r\n"));
    }

    // A folder listed for a walk of its own: its entries, links as links, and the file list left
    // alone; a folder that is not there says so. The next listing is the user's folder again.
    QVERIFY(QDir().mkpath(root + "/tree/sub"));
    QVERIFY(WriteFile(root + "/tree/a.txt", "abc"));
    QVERIFY(QFile::link(QStringLiteral("sub"), root + "/tree/alias"));
    const std::size_t listingsBefore = m_ui->listings.size();
    std::vector<std::string> seen;
    int answers = 0;
    m_engine->ListFolder(remote("tree"), [&](bool complete, std::vector<RemoteEntry> entries) {
        ++answers;
        QVERIFY(complete);
        for (const RemoteEntry& e : entries)
            seen.push_back(e.name + (e.link ? "@" : e.IsFolder() ? "/" : "=" + e.size));
    });
    bool missingComplete = true;
    m_engine->ListFolder(remote("none"), [&](bool complete, std::vector<RemoteEntry> entries) {
        ++answers;
        missingComplete = complete || !entries.empty();
    });
    QVERIFY(runQueue());
    QCOMPARE(answers, 2);
    std::sort(seen.begin(), seen.end());
    QCOMPARE(seen, (std::vector<std::string>{"a.txt=3", "alias@", "sub/"}));
    QVERIFY(!missingComplete);
    QCOMPARE(m_ui->listings.size(), listingsBefore);
    EngineProbe::Enqueue(*m_engine, Op::List{});
    QVERIFY(runQueue());
    QCOMPARE(m_ui->listings.size(), listingsBefore + 1);
    QVERIFY(std::find(m_ui->listings.back().begin(), m_ui->listings.back().end(), "tree") !=
            m_ui->listings.back().end());
}

QTEST_GUILESS_MAIN(TestEngineTransferReal)
#include "tst_engine_transfer_real.moc"
