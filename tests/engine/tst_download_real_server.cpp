#include "StoreFixture.h"
#include "engine/FtpEngine.h"
#include "engine/ListingParser.h"
#include "engine/TransferQueue.h"
#include "engine/TransferSessionUi.h"
#include "fixtures/EngineProbe.h"
#include "fixtures/RealFtpServer.h"
#include "fixtures/RecordingUi.h"
#include "hosts/QXDoc.h"
#include "platform/NameCodec.h"
#include "platform/TextCodec.h"
#include "views/TransferQueueModel.h"

#include <QDir>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>

namespace {
constexpr int kWaitMs = 30000;

QByteArray Noise(qsizetype size, quint32 seed) {
    QRandomGenerator gen(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(gen.generate() & 0xFF);
    return bytes;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Every file and folder under `root` by its path relative to it; folders map to "<dir>".
std::map<QString, QByteArray> Tree(const QString& root) {
    std::map<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            tree[rel] = "<dir>";
        } else {
            QFile f(path);
            tree[rel] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
        }
    }
    return tree;
}

bool ReadAllEquals(const QString& path, const QByteArray& expected) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.readAll() == expected;
}

FileListRow Row(const std::string& name, qint64 size) {
    return FileListRow{name, std::to_string(size), "2024/01/02 03:04", "-rw-r--r--"};
}

// Writes a file under the name's bytes as they are, which need not be UTF-8; "" on failure. Such a
// name is beyond the temporary folder's own clean-up: the caller removes the path returned.
std::string WriteRawNamed(const QString& folder, const std::string& raw, const QByteArray& bytes) {
    const std::string path = QFile::encodeName(folder).toStdString() + "/" + raw;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return {};
    const bool whole = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    ::close(fd);
    return whole ? path : std::string();
}

// Everything a recording UI has been told, to see that nothing more comes.
// Answers the file overwrite question as a dialog would: its own event loop runs while it is open,
// and the other sessions go on meanwhile. Counts how many questions are open at once.
struct DialogLikeUi : RecordingUi {
    int open = 0;
    int mostOpen = 0;
    Answer AskFileOverwrite(OverwriteForm form, const std::string& path, const std::string& date,
                            const std::string& size) override {
        mostOpen = std::max(mostOpen, ++open);
        QTest::qWait(100);
        --open;
        return RecordingUi::AskFileOverwrite(form, path, date, size);
    }
};

auto Told(const RecordingUi& ui) {
    return std::make_tuple(ui.logText(), ui.progress.size(), ui.statusTexts.size(), ui.connectedStates.size(),
                           ui.fileListClears, ui.failures.size(), ui.listings.size());
}
} // namespace

class TestDownloadRealServer : public QObject {
    Q_OBJECT
private slots:
    void folderTreeArrivesByteForByte_data();
    void folderTreeArrivesByteForByte();
    void resumeAndOverwrite();
    void shiftJisNameRoundTrips();
    void twoSessionsAtOnceOneDeletedMidTransfer();
    void transferSessionUiKeepsSessionsApart();
    void queueCarriesTreesOverSessions();
    void queueTriesAFileAgainAfterADropAndStopsWhole();

private:
    // Connects to the server as host 0 and waits until the first listing is done.
    bool connectAndList(RealFtpServer& server, CFtpEngine& engine, RecordingUi& ui, bool passive,
                        RemoteCharset charset = RemoteCharset::Auto);
    bool waitIdle(CFtpEngine& engine);
};

bool TestDownloadRealServer::connectAndList(RealFtpServer& server, CFtpEngine& engine, RecordingUi& ui,
                                            bool passive, RemoteCharset charset) {
    HostRecord host;
    host.Name = "実サーバー";
    host.Adr = "127.0.0.1";
    host.Port = server.port();
    host.User = server.user().toStdString();
    host.Pass = server.password().toStdString();
    host.Pasv = passive ? 1 : 0;
    host.charset = static_cast<int>(charset);
    CQXDoc().SaveHost(0, host);
    if (engine.Connect(0) != 1)
        return false;
    return QTest::qWaitFor([&] { return !ui.listings.empty() && !engine.IsBusy(); }, kWaitMs);
}

bool TestDownloadRealServer::waitIdle(CFtpEngine& engine) {
    return QTest::qWaitFor([&] { return !engine.IsBusy() && engine.Queue().empty(); }, kWaitMs);
}

void TestDownloadRealServer::folderTreeArrivesByteForByte_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("passive");
    const int py = static_cast<int>(RealFtpServer::Kind::Pyftpdlib);
    const int vs = static_cast<int>(RealFtpServer::Kind::Vsftpd);
    QTest::newRow("pyftpdlib, passive") << py << true;
    QTest::newRow("pyftpdlib, active") << py << false;
    QTest::newRow("vsftpd, passive") << vs << true;
    QTest::newRow("vsftpd, active") << vs << false;
}

void TestDownloadRealServer::folderTreeArrivesByteForByte() {
    QFETCH(int, kind);
    QFETCH(bool, passive);
    StoreFixture store;
    RealFtpServer server(static_cast<RealFtpServer::Kind>(kind));
    const QString top = server.root() + QStringLiteral("/top");
    WriteFile(top + "/a.txt", "hello\r\nworld\n");
    WriteFile(top + "/empty.bin", {});
    WriteFile(top + "/exact.bin", Noise(20480, 1));
    WriteFile(top + "/three.bin", Noise(3 * 20480, 2));
    WriteFile(top + "/odd.bin", Noise(2 * 20480 + 1, 3));
    WriteFile(top + "/large.bin", Noise(3 * 1024 * 1024 + 7, 4));
    WriteFile(top + "/name with spaces.txt", "spaces");
    WriteFile(top + "/nested/deep/d.bin", Noise(5 * 20480, 5));
    WriteFile(top + "/nested/n.txt", "n");
    WriteFile(server.root() + "/zz.txt", "root file");
    QVERIFY(QDir().mkpath(top + "/nested/emptydir"));
    QVERIFY(QDir().mkpath(top + "/emptydir"));
    QVERIFY2(server.start(), qPrintable(server.error()));

    QTemporaryDir target;
    RecordingUi ui;
    FileListModel fileList;
    ui.fileList = &fileList;
    CFtpEngine engine(ui);
    QVERIFY(connectAndList(server, engine, ui, passive));
    // The first listing reaches the file list: the folder first, without a size; the file after it.
    QCOMPARE(ui.listings.size(), size_t(1));
    QCOMPARE(ui.rows.size(), size_t(2));
    QCOMPARE(ui.rows[0].name, std::string("top"));
    QCOMPARE(ui.rows[0].size, std::string());
    QCOMPARE(ui.rows[1].name, std::string("zz.txt"));
    QCOMPARE(ui.rows[1].size, std::string("9"));
    QCOMPARE(ui.subfolders, std::vector<std::string>{"top"});
    QCOMPARE(ui.currentPath, server.homePath() == "/" ? std::string() : server.homePath());

    QCOMPARE(engine.DownloadFolders(target.path().toStdString(), {"top"}), 1);
    EngineProbe::Dispatch(engine);
    QVERIFY(waitIdle(engine));
    QVERIFY2(!ui.logContains("失敗"), ui.logText().c_str());
    QVERIFY(EngineProbe::DataConns(engine).empty());
    // The root file was not asked for.
    QVERIFY(!QFileInfo::exists(target.filePath(QStringLiteral("zz.txt"))));
    const auto expected = Tree(top);
    const auto got = Tree(target.filePath(QStringLiteral("top")));
    QCOMPARE(got.size(), expected.size());
    for (const auto& [rel, bytes] : expected) {
        const auto it = got.find(rel);
        QVERIFY2(it != got.end(), qPrintable(rel));
        QVERIFY2(it->second == bytes, qPrintable(rel));
    }
    engine.CloseSession();
}

void TestDownloadRealServer::resumeAndOverwrite() {
    StoreFixture store;
    RealFtpServer server(RealFtpServer::Kind::Pyftpdlib);
    const QByteArray resumed = Noise(100000, 6);
    const QByteArray replaced = Noise(5000, 7);
    WriteFile(server.root() + "/resumed.bin", resumed);
    WriteFile(server.root() + "/replaced.bin", replaced);
    QVERIFY2(server.start(), qPrintable(server.error()));

    QTemporaryDir target;
    // The first 30000 bytes are already here; the other file is longer and different.
    WriteFile(target.filePath("resumed.bin"), resumed.left(30000));
    WriteFile(target.filePath("replaced.bin"), QByteArray(9000, 'z'));
    RecordingUi ui;
    ui.overwriteAnswers = {Answer::Resume, Answer::Yes};
    CFtpEngine engine(ui);
    QVERIFY(connectAndList(server, engine, ui, true));
    QCOMPARE(engine.DownloadFiles(target.path().toStdString(),
                                  {Row("resumed.bin", resumed.size()), Row("replaced.bin", replaced.size())}),
             1);
    QVERIFY(waitIdle(engine));
    QVERIFY(ui.logContains("REST 30000\r\n350"));
    QCOMPARE(ui.log.Text().find("REST ", ui.log.Text().find("RETR /resumed.bin")), std::string::npos);
    QVERIFY(ui.overwriteAnswers.empty());
    QVERIFY(ReadAllEquals(target.filePath("resumed.bin"), resumed));
    QVERIFY(ReadAllEquals(target.filePath("replaced.bin"), replaced));
    engine.CloseSession();
}

void TestDownloadRealServer::shiftJisNameRoundTrips() {
    StoreFixture store;
    RealFtpServer server(RealFtpServer::Kind::Vsftpd);
    const QString shown = QStringLiteral("日本語の名前.txt");
    const std::string raw = EncodeCp932(shown);
    const QByteArray content = Noise(30000, 8);
    // The server's disk holds the Shift-JIS bytes themselves.
    const std::string path = WriteRawNamed(server.root(), raw, content);
    const auto removeRaw = qScopeGuard([&] { ::unlink(path.c_str()); });
    QVERIFY(!path.empty());
    QVERIFY2(server.start(), qPrintable(server.error()));

    QTemporaryDir target;
    RecordingUi ui;
    CFtpEngine engine(ui);
    QVERIFY(connectAndList(server, engine, ui, true));
    std::string listed;
    for (const std::string& name : ui.listings[0]) {
        if (name.find(".txt") != std::string::npos)
            listed = name;
    }
    QCOMPARE(listed, raw);
    QCOMPARE(engine.DownloadFiles(target.path().toStdString(), {Row(listed, content.size())}), 1);
    QVERIFY(waitIdle(engine));
    QVERIFY(ui.logContains("RETR " + server.homePath() + "/" + raw + "\r\n"));
    QVERIFY(ReadAllEquals(target.filePath(shown), content));
    engine.CloseSession();
}

void TestDownloadRealServer::twoSessionsAtOnceOneDeletedMidTransfer() {
    StoreFixture store;
    // A Shift_JIS server whose download still runs when the other session goes, and a UTF-8 one
    // whose large file lasts until the test ends it.
    RealFtpServer sjisServer(RealFtpServer::Kind::Vsftpd);
    sjisServer.setSlowFileRate(256 * 1024);
    const QString kept = QStringLiteral("資料.bin");
    const std::string keptRaw = EncodeCp932(kept);
    const QByteArray keptBytes = Noise(512 * 1024, 9);
    const std::string keptPath = WriteRawNamed(sjisServer.root(), keptRaw, keptBytes);
    const auto removeRaw = qScopeGuard([&] { ::unlink(keptPath.c_str()); });
    QVERIFY(!keptPath.empty());
    RealFtpServer utf8Server(RealFtpServer::Kind::Pyftpdlib);
    utf8Server.setSlowFileRate(32 * 1024);
    const QString large = QStringLiteral("大きな資料.slow");
    const QByteArray largeBytes = Noise(2 * 1024 * 1024, 10);
    WriteFile(utf8Server.root() + "/" + large, largeBytes);
    QVERIFY2(sjisServer.start(), qPrintable(sjisServer.error()));
    QVERIFY2(utf8Server.start(), qPrintable(utf8Server.error()));

    // The names shown are a third session's, which neither engine may read.
    SetShownNames(NameCodec(RemoteCharset::EucJp));
    const auto unshow = qScopeGuard([] { SetShownNames(NameCodec()); });
    QTemporaryDir sjisTarget;
    QTemporaryDir utf8Target;
    RecordingUi sjisUi;
    RecordingUi utf8Ui;
    CFtpEngine sjisEngine(sjisUi);
    auto utf8Engine = std::make_unique<CFtpEngine>(utf8Ui);
    // The later login, whose server offers UTF-8, leaves the first session's names as they are.
    QVERIFY(connectAndList(sjisServer, sjisEngine, sjisUi, true, RemoteCharset::ShiftJis));
    QVERIFY(connectAndList(utf8Server, *utf8Engine, utf8Ui, true));
    QCOMPARE(sjisEngine.Names().Set(), RemoteCharset::ShiftJis);
    QCOMPARE(utf8Engine->Names().Set(), RemoteCharset::Utf8);
    QVERIFY(sjisUi.names == sjisEngine.Names() && utf8Ui.names == utf8Engine->Names());

    QCOMPARE(sjisEngine.DownloadFiles(sjisTarget.path().toStdString(), {Row(keptRaw, keptBytes.size())}), 1);
    QCOMPARE(utf8Engine->DownloadFiles(utf8Target.path().toStdString(),
                                       {Row(EncodeUtf8(large), largeBytes.size())}),
             1);
    const auto arriving = [&] {
        const std::vector<DataConn>& conns = EngineProbe::DataConns(*utf8Engine);
        return !conns.empty() && conns.front().moved > 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(arriving(), kWaitMs);
    // The other session is still in the middle of its own download (two seconds at its rate).
    QVERIFY(sjisEngine.IsTransferring());
    utf8Engine.reset();
    const auto told = Told(utf8Ui);
    // While the other session runs on, nothing of the deleted one may show.
    QVERIFY(waitIdle(sjisEngine));
    QVERIFY(Told(utf8Ui) == told);

    // Each session saved under its own server's names; the whole file arrived, the other in part.
    QVERIFY2(!sjisUi.logContains("失敗"), sjisUi.logText().c_str());
    QVERIFY(ReadAllEquals(sjisTarget.filePath(kept), keptBytes));
    QFile part(utf8Target.filePath(large));
    QVERIFY(part.open(QIODevice::ReadOnly));
    const QByteArray got = part.readAll();
    QVERIFY(!got.isEmpty() && got.size() < largeBytes.size() && largeBytes.startsWith(got));
    // Each log holds its own session: its server's greeting, its own transfer, nothing of the other.
    QVERIFY(sjisUi.logContains("RETR " + sjisServer.homePath() + "/" + keptRaw + "\r\n"));
    QVERIFY(utf8Ui.logContains("RETR /" + EncodeUtf8(large) + "\r\n"));
    QVERIFY(utf8Ui.logContains("220 lumo test server ready.") && !sjisUi.logContains("lumo test server"));
    QVERIFY(sjisUi.logContains("220 lumo-test-") && !utf8Ui.logContains("lumo-test-"));
    QVERIFY(!sjisUi.logContains(EncodeUtf8(large)) && !utf8Ui.logContains(keptRaw));
    sjisEngine.CloseSession();
}

QTEST_GUILESS_MAIN(TestDownloadRealServer)
#include "tst_download_real_server.moc"

void TestDownloadRealServer::queueCarriesTreesOverSessions() {
    StoreFixture store;
    RealFtpServer server(RealFtpServer::Kind::Vsftpd);
    // The browsing session and two more: the fourth and fifth are turned away with a 421.
    server.setMaxPerIp(3);
    const QString site = server.root() + QStringLiteral("/site");
    for (int folder = 0; folder < 3; ++folder) {
        for (int file = 0; file < 8; ++file)
            WriteFile(site + QStringLiteral("/d%1/f%2.bin").arg(folder).arg(file),
                      Noise(500 + 997 * file + folder, static_cast<quint32>(100 + folder * 8 + file)));
    }
    WriteFile(site + QStringLiteral("/top.txt"), "top\n");
    QVERIFY2(server.start(), qPrintable(server.error()));

    QTemporaryDir target;
    DialogLikeUi ui;
    CTransferSessionUi browsingUi(ui, CTransferSessionUi::Role::Browsing);
    CFtpEngine engine(browsingUi);
    CTransferQueue queue(ui, engine, browsingUi);
    TransferQueueModel model(queue);
    QVERIFY(connectAndList(server, engine, ui, true));
    queue.SetSessions(5, false);
    QVERIFY(queue.Active());
    QSignalSpy finished(&queue, &CTransferQueue::Finished);

    // Down: the browsing session walks the tree, the files go over the sessions the server takes.
    QCOMPARE(engine.DownloadFolders(target.path().toStdString(), {"site"}), 1);
    QVERIFY(finished.wait(kWaitMs));
    const std::string log = ui.logText();
    QVERIFY2(ui.failures.empty(), log.c_str());
    QCOMPARE(queue.FilesSeen(), std::uint64_t(25));
    QCOMPARE(queue.FilesDone(), std::uint64_t(25));
    QCOMPARE(queue.FilesFailed(), std::uint64_t(0));
    const auto expected = Tree(site);
    QVERIFY(Tree(target.filePath(QStringLiteral("site"))) == expected);
    // Each file went once, and never on the browsing session, which only listed.
    std::set<int> carriers;
    for (const TransferItem& item : queue.Items()) {
        QCOMPARE(item.state, TransferItem::State::Done);
        const std::string retr = "RETR " + item.RemotePath() + "\r\n";
        QVERIFY2(log.find(retr) != std::string::npos && log.find(retr) == log.rfind(retr), retr.c_str());
        carriers.insert(item.session);
    }
    QCOMPARE(carriers, (std::set<int>{1, 2}));
    QVERIFY2(log.find("RETR", log.find("\n[")) != std::string::npos, log.c_str());
    QVERIFY(log.find("\nRETR") == std::string::npos);
    // Refused sessions are the server's limit: no account is asked for, the queue goes on.
    QVERIFY(ui.accountQuestions.empty());
    QVERIFY2(ui.logContains("ホストが追加の接続を受け付けないため、3 本の接続で転送を続けます。"),
             log.c_str());
    // The pane shows each file with its state until it leaves.
    QCOMPARE(model.rowCount(), static_cast<int>(queue.Items().size()));
    QCOMPARE(model.data(model.index(0, TransferQueueModel::ColState)).toString(), QStringLiteral("完了"));
    QVERIFY(
        model.data(model.index(0, TransferQueueModel::ColName)).toString().endsWith(QStringLiteral(".bin")) ||
        model.data(model.index(0, TransferQueueModel::ColName)).toString().endsWith(QStringLiteral(".txt")));
    queue.Remove({queue.Items().front().id});
    QCOMPARE(model.rowCount(), 24);

    // Files that appear locally once queued are asked about as each starts: one question at a time
    // while the other sessions go on, and "overwrite all" holds for the sessions that ask later.
    QTemporaryDir again;
    std::vector<FileListRow> rows;
    for (int file = 0; file < 8; ++file)
        rows.push_back({"f" + std::to_string(file) + ".bin", "", "", "-rw-r--r--"});
    ui.currentPath = (server.homePath() == "/" ? std::string() : server.homePath()) + "/site/d0";
    QCOMPARE(engine.DownloadFiles(again.path().toStdString(), rows), 1);
    for (const FileListRow& row : rows)
        WriteFile(again.filePath(QString::fromStdString(row.name)), "stale");
    ui.overwriteAnswers = {Answer::Yes, Answer::OverwriteAll};
    QVERIFY(finished.wait(kWaitMs));
    QCOMPARE(ui.fileOverwriteQuestions.size(), std::size_t(2));
    QCOMPARE(ui.mostOpen, 1);
    for (const FileListRow& row : rows) {
        const QString name = QString::fromStdString(row.name);
        QVERIFY2(Tree(again.path())[name] == expected.at(QStringLiteral("d0/") + name), row.name.c_str());
    }

    engine.CloseSession();
    QVERIFY(!queue.HasWork());
}

void TestDownloadRealServer::queueTriesAFileAgainAfterADropAndStopsWhole() {
    StoreFixture store;
    RealFtpServer server(RealFtpServer::Kind::Pyftpdlib);
    server.setDropOnce();
    server.setSlowFileRate(64 * 1024);
    const QByteArray dropped = Noise(30000, 41);
    WriteFile(server.root() + QStringLiteral("/w/first.drop"), dropped);
    WriteFile(server.root() + QStringLiteral("/w/plain.bin"), Noise(2000, 42));
    WriteFile(server.root() + QStringLiteral("/w/big.slow"), Noise(2 * 1024 * 1024, 43));
    WriteFile(server.root() + QStringLiteral("/w/inner/x.txt"), "x");
    QVERIFY2(server.start(), qPrintable(server.error()));

    QTemporaryDir target;
    RecordingUi ui;
    CTransferSessionUi browsingUi(ui, CTransferSessionUi::Role::Browsing);
    CFtpEngine engine(browsingUi);
    CTransferQueue queue(ui, engine, browsingUi);
    QVERIFY(connectAndList(server, engine, ui, true));
    queue.SetSessions(2, false);
    QSignalSpy finished(&queue, &CTransferQueue::Finished);

    const std::string w = server.homePath() == "/" ? std::string("/w") : server.homePath() + "/w";

    // A walk's listings go over the transfer sessions at once and leave the window's list and
    // folder alone; a folder that is not there is read as nothing, incompletely. Held sessions
    // stay open after the run, and close once let go.
    const std::size_t logBefore = ui.logText().size();
    const std::size_t listingsBefore = ui.listings.size();
    const std::size_t foldersBefore = ui.foldersSet.size();
    const int clearsBefore = ui.fileListClears;
    queue.HoldSessions(true);
    std::map<std::string, std::pair<bool, std::set<std::string>>> listed;
    for (const std::string folder : {"", "/inner", "/none"}) {
        queue.ListFolder(w + folder, [&listed, folder](bool complete, std::vector<RemoteEntry> entries) {
            std::set<std::string>& names = listed[folder].second;
            listed[folder].first = complete;
            for (const RemoteEntry& e : entries)
                names.insert(e.name);
        });
    }
    QVERIFY(finished.wait(kWaitMs));
    using Listed = std::pair<bool, std::set<std::string>>;
    QVERIFY(listed[""] == Listed(true, {"big.slow", "first.drop", "inner", "plain.bin"}));
    QVERIFY(listed["/inner"] == Listed(true, {"x.txt"}));
    QVERIFY(listed["/none"] == Listed(false, {}));
    const std::string walkLog = ui.logText().substr(logBefore);
    QVERIFY2(walkLog.find("] LIST") != std::string::npos && walkLog.find("\nLIST") == std::string::npos,
             walkLog.c_str());
    QCOMPARE(ui.listings.size(), listingsBefore);
    QCOMPARE(ui.foldersSet.size(), foldersBefore);
    QCOMPARE(ui.fileListClears, clearsBefore);
    QVERIFY(QTest::qWaitFor([&] { return queue.SessionsOpen() == 2; }, kWaitMs));
    queue.HoldSessions(false);
    QCOMPARE(queue.SessionsOpen(), 0);

    // The session that meets first.drop loses its connection; a new one fetches the file whole.
    const std::string local = target.path().toStdString();
    const std::vector<FileListRow> rows = {{"first.drop", "30000", "", "-rw-r--r--"},
                                           {"plain.bin", "2000", "", "-rw-r--r--"}};
    ui.currentPath = w;
    QCOMPARE(engine.DownloadFiles(local, rows), 1);
    QVERIFY(finished.wait(kWaitMs));
    QVERIFY2(ui.failures.empty(), ui.logText().c_str());
    QCOMPARE(queue.FilesDone(), std::uint64_t(2));
    QCOMPARE(Tree(target.path())[QStringLiteral("first.drop")], dropped);
    QVERIFY2(ui.logContains("] 接続をやり直して、「first.drop」をもう一度転送します（1/3 回目）。"),
             ui.logText().c_str());

    // Stopping the whole queue aborts what runs and names what it left on disk.
    QCOMPARE(engine.DownloadFiles(local, {{"big.slow", "2097152", "", "-rw-r--r--"}}), 1);
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo(target.filePath(QStringLiteral("big.slow"))).size() > 0; },
                            kWaitMs));
    queue.Cancel();
    QVERIFY(finished.wait(kWaitMs));
    QCOMPARE(queue.Items().back().state, TransferItem::State::Cancelled);
    QVERIFY(QFileInfo(target.filePath(QStringLiteral("big.slow"))).size() < 2 * 1024 * 1024);
    QVERIFY2(ui.logContains("には受信した"), ui.logText().c_str());
    QVERIFY(!queue.HasWork());

    // A folder delete: the files go over the sessions, each folder only once its files are gone.
    const std::size_t before = ui.logText().size();
    ui.currentPath = w.substr(0, w.size() - 2);
    engine.Delete(ui.currentPath, {{"w", "", "", "drwxr-xr-x"}});
    QVERIFY(finished.wait(kWaitMs));
    QVERIFY(waitIdle(engine));
    const std::string deleteLog = ui.logText().substr(before);
    QVERIFY2(ui.failures.empty(), deleteLog.c_str());
    QVERIFY(!QFileInfo::exists(server.root() + QStringLiteral("/w")));
    const std::size_t lastDele = deleteLog.rfind("] DELE ");
    QVERIFY2(lastDele != std::string::npos && deleteLog.find("\nDELE ") == std::string::npos,
             deleteLog.c_str());
    QVERIFY2(deleteLog.find("RMD " + w + "/inner\r\n") < deleteLog.find("RMD " + w + "\r\n") &&
                 deleteLog.find("RMD " + w + "\r\n") > lastDele,
             deleteLog.c_str());
    engine.CloseSession();
}

void TestDownloadRealServer::transferSessionUiKeepsSessionsApart() {
    RecordingUi ui;
    ui.currentPath = "/shown";
    std::vector<std::string> failures;
    bool refused = false;
    CTransferSessionUi::Hooks hooks;
    hooks.failure = [&](const std::string& text) { failures.push_back(text); };
    hooks.loginRefused = [&] { refused = true; };

    // A transfer session: its lines carry its number, each line of a text; its folder and list
    // are its own; a refused login is never put to the user.
    CTransferSessionUi transfer(ui, CTransferSessionUi::Role::Transfer, 3);
    transfer.SetHooks(hooks);
    transfer.AppendLog("550 a\r\n550 b\r\n");
    QVERIFY2(ui.logContains("[3] 550 a\r\n[3] 550 b\r\n"), ui.logText().c_str());
    transfer.SetCurrentFolder("/w");
    QCOMPARE(transfer.GetCurrentPath(), std::string("/w"));
    QCOMPARE(ui.currentPath, std::string("/shown"));
    transfer.FillFileList({RemoteEntry{"x", "1", "-rw-r--r--", {}, false}});
    QVERIFY(ui.listings.empty());
    std::string user = "u", pass = "p";
    QCOMPARE(transfer.AskAccount(0, HostRecord(), user, pass), Answer::Cancel);
    QVERIFY(refused);
    QVERIFY(ui.accountQuestions.empty());
    // Its failures belong to the queued file that runs, with the server's reason; none reach the
    // program's UI by themselves.
    transfer.SetRunningQueuedFile(true);
    transfer.ReplyRefused(WM_FTP_RETR, "550 gone");
    transfer.OperationFailed(WM_FTP_RETR, "failed");
    QCOMPARE(failures, std::vector<std::string>{"failed (550 gone)"});
    transfer.SetRunningQueuedFile(false);
    transfer.OperationFailed(WM_FTP_RETR, "idle failure");
    QCOMPARE(failures.size(), std::size_t(1));
    QVERIFY(ui.failures.empty());

    // The browsing session passes everything on but a queued file's failures.
    CTransferSessionUi browsing(ui, CTransferSessionUi::Role::Browsing);
    browsing.SetHooks(hooks);
    browsing.SetCurrentFolder("/there");
    QCOMPARE(ui.currentPath, std::string("/there"));
    browsing.OperationFailed(WM_FTP_LIST, "list failed");
    QCOMPARE(ui.failures, std::vector<std::string>{"list failed"});
    browsing.SetRunningQueuedFile(true);
    browsing.OperationFailed(WM_FTP_RETR, "file failed");
    QCOMPARE(ui.failures.size(), std::size_t(1));
    QCOMPARE(failures.back(), std::string("file failed"));
}
