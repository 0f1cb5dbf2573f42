#include "StoreFixture.h"
#include "engine/FtpEngine.h"
#include "engine/ListingReader.h"
#include "fixtures/EngineHosts.h"
#include "fixtures/EngineProbe.h"
#include "fixtures/FileBytes.h"
#include "fixtures/RecordingUi.h"
#include "fixtures/ScriptedFtpPeer.h"
#include "platform/TextCodec.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {
const char* const kFolderClash = "カレントディレクトリには同一名のフォルダが存在するため、\r\n";

void SetOption(const char* name, std::uint32_t value) {
    SettingsKey key;
    key.CreateKey(KeyFamily::Option);
    key.WriteDword(name, value);
}

} // namespace

class TestEngineUpload : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void clashRules();
    void cancelOnTheThirdOfFive();
    void optionSkipsEveryCheck();
    void indexFileNeverReplacesAnEntry();
    void asciiUploadSendsCrLf();
    void smallestBlockCarriesTheWholeFile_data();
    void smallestBlockCarriesTheWholeFile();
    void resumePastFourGiB();
    void asciiResumeStartsOver();
    void rearmTimerSendsNoDataBeforeStor();
    void localReadErrorIsNoSuccess();
    void serverThatNeverReadsEndsTheUpload();
    void folderDeleteExpandsDepthFirst();

private:
    // Logs in; once the listing the login queued has been refused, runs `atIdle` with the
    // session held busy, so that the queue can be looked at before anything runs.
    void connectThen(std::function<void()> atIdle);
    // The login at `home` up to the rest after its listing (refused at TYPE).
    ScriptedFtpPeer& loginToRest(bool passive, const std::string& home);
    // The same, then an upload of `paths` into `folder`, dispatched.
    ScriptedFtpPeer& uploadAfterLogin(bool passive, const std::string& home, const std::string& folder,
                                      const std::vector<std::string>& paths);
    std::string file(const std::string& name, const QByteArray& bytes = "data") {
        const QString path = m_dir->path() + "/" + QString::fromStdString(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return QFile::encodeName(path).toStdString();
    }

    std::unique_ptr<StoreFixture> m_store;
    std::unique_ptr<ScriptedFtpPeer> m_peer;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<CFtpEngine> m_engine;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestEngineUpload::init() {
    m_store = std::make_unique<StoreFixture>();
    m_peer = std::make_unique<ScriptedFtpPeer>();
    QVERIFY(m_peer->listen());
    m_ui = std::make_unique<RecordingUi>();
    m_engine = std::make_unique<CFtpEngine>(*m_ui);
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestEngineUpload::cleanup() {
    m_engine.reset();
    m_ui.reset();
    m_peer.reset();
    m_dir.reset();
    m_store.reset();
}

ScriptedFtpPeer& TestEngineUpload::loginToRest(bool passive, const std::string& home) {
    SaveScriptedHost(m_peer->port(), passive);
    return LoginScript(*m_peer, home)
        .expect("TYPE A")
        .reply("504 not now")
        .waitFor([this] { return !m_engine->IsBusy(); })
        .call([this] { m_ui->failures.clear(); });
}

ScriptedFtpPeer& TestEngineUpload::uploadAfterLogin(bool passive, const std::string& home,
                                                    const std::string& folder,
                                                    const std::vector<std::string>& paths) {
    return loginToRest(passive, home).call([this, folder, paths] {
        m_engine->UploadFiles(folder, paths);
        EngineProbe::Dispatch(*m_engine);
    });
}

void TestEngineUpload::connectThen(std::function<void()> atIdle) {
    loginToRest(true, "/cur").call([this, atIdle] {
        EngineProbe::Busy(*m_engine) = 1;
        atIdle();
        EngineProbe::Queue(*m_engine).clear();
        EngineProbe::Busy(*m_engine) = 0;
    });
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
}

void TestEngineUpload::clashRules() {
    const std::string folder = file("folder"), same = file("same.txt"), fresh = file("fresh.txt");
    const std::string resume = file("resume.txt"), missing = m_dir->path().toStdString() + "/missing";
    const std::string shorter = file("shorter.txt");
    // Sparse: resuming needs the local file to reach past the remote size.
    QVERIFY(QFile::resize(QString::fromStdString(resume), 4294967401));
    m_ui->rows = {{"folder", "", "2024/01/02 03:04", "drwxr-xr-x"},
                  {"same.txt", "10", "2024/01/02 03:04", "-rw-r--r--"},
                  {"resume.txt", "4294967301 bytes", "2023/05/06", ""},
                  {"shorter.txt", "5", "2023/05/06", "-rw-r--r--"}};
    m_ui->currentPath = "/cur";
    bool result = false;
    std::deque<Operation> queued;
    connectThen([&] {
        m_ui->overwriteAnswers = {Answer::Yes, Answer::Resume, Answer::Resume};
        result = m_engine->UploadFiles("/cur", {folder, same, missing, fresh, resume, shorter});
        queued = m_engine->Queue();
    });
    QVERIFY(result);
    QCOMPARE(RemotePaths(queued),
             (std::vector<std::string>{"/cur/same.txt", "/cur/fresh.txt", "/cur/resume.txt"}));
    QCOMPARE(std::get<Op::Upload>(queued[0]).offset, std::int64_t(0));
    QCOMPARE(std::get<Op::Upload>(queued[0]).local, same);
    // Resume takes the size column's leading digits, beyond 32 bits.
    QCOMPARE(std::get<Op::Upload>(queued[2]).offset, std::int64_t(4294967301));
    QCOMPARE(m_ui->fileOverwriteQuestions.size(), size_t(3));
    QCOMPARE(m_ui->fileOverwriteQuestions[1].path, resume);
    QCOMPARE(m_ui->fileOverwriteQuestions[1].date, std::string("2023/05/06"));
    QCOMPARE(m_ui->fileOverwriteQuestions[1].size, std::string("4294967301 bytes"));
    QVERIFY(m_ui->logContains(std::string(kFolderClash) +
                              "ファイル「folder」をアップロードできませんでした。\r\n"));
    QVERIFY(m_ui->logContains("ファイル 「missing」をオープンできませんでした。\r\n"));
    // A remote file longer than the local one cannot be resumed: REST past the end would send
    // nothing and end in success.
    QVERIFY(m_ui->logContains(
        "ファイル「shorter.txt」は転送先の方が大きいため、続きから転送できませんでした。\r\n"));
}

void TestEngineUpload::asciiResumeStartsOver() {
    const std::string text = file("text.txt", "one\ntwo\n");
    m_ui->rows = {{"text.txt", "5", "2024/01/02 03:04", "-rw-r--r--"}};
    m_ui->ascii = true;
    std::deque<Operation> queued;
    connectThen([&] {
        m_ui->overwriteAnswers = {Answer::Resume};
        m_engine->UploadFiles("/cur", {text});
        queued = m_engine->Queue();
    });
    QCOMPARE(queued.size(), size_t(1));
    QCOMPARE(std::get<Op::Upload>(queued[0]).offset, std::int64_t(0));
    QVERIFY(m_ui->logContains("ASCII モードでは続きから転送できないため、最初から転送します。\r\n"));
}

void TestEngineUpload::cancelOnTheThirdOfFive() {
    std::vector<std::string> paths;
    for (int i = 1; i <= 5; ++i) {
        const std::string name = "f" + std::to_string(i);
        paths.push_back(file(name));
        m_ui->rows.push_back({name, "1", "2024/01/02 03:04", "-rw-r--r--"});
    }
    bool result = true;
    std::deque<Operation> queued;
    connectThen([&] {
        m_ui->overwriteAnswers = {Answer::Yes, Answer::Yes, Answer::Cancel, Answer::Yes, Answer::Yes};
        result = m_engine->UploadFiles("", paths);
        queued = m_engine->Queue();
    });
    QVERIFY(!result);
    QCOMPARE(RemotePaths(queued), (std::vector<std::string>{"/f1", "/f2"}));
    QCOMPARE(m_ui->fileOverwriteQuestions.size(), size_t(3));
}

void TestEngineUpload::optionSkipsEveryCheck() {
    const std::string a = file("a"), b = file("b"), d = file("d");
    m_ui->rows = {{"a", "1", "", "-rw-r--r--"}, {"b", "1", "", "-rw-r--r--"}, {"d", "", "", "drwxr-xr-x"}};
    std::deque<Operation> withAll, withOption;
    connectThen([&] {
        // "Overwrite all" on the first question: no later file is checked, not even for a folder.
        m_ui->overwriteAnswers = {Answer::OverwriteAll};
        m_engine->UploadFiles("", {a, b, d});
        withAll = m_engine->Queue();
        EngineProbe::Queue(*m_engine).clear();
        SetOption(SettingName::ChkUpOw, 1);
        m_engine->UploadFiles("", {a, b, d});
        withOption = m_engine->Queue();
    });
    QCOMPARE(RemotePaths(withAll), (std::vector<std::string>{"/a", "/b", "/d"}));
    QCOMPARE(RemotePaths(withOption), (std::vector<std::string>{"/a", "/b", "/d"}));
    QCOMPARE(m_ui->fileOverwriteQuestions.size(), size_t(1));
    QVERIFY(!m_ui->logContains(kFolderClash));
}

void TestEngineUpload::indexFileNeverReplacesAnEntry() {
    qputenv("XDG_CACHE_HOME", m_dir->path().toLocal8Bit());
    // A link planted where the empty file is made: what it points to stays as it was.
    const QString temp = m_dir->filePath(QStringLiteral("lumo/tmp"));
    QVERIFY(QDir().mkpath(temp));
    QVERIFY(QFile::setPermissions(temp, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const std::string target = file("precious.txt", "keep me");
    QVERIFY(QFile::link(QString::fromStdString(target), temp + QStringLiteral("/index.htm")));
    m_ui->rows = {{"index.html", "10", "", "-rw-r--r--"}, {"public", "", "", "drwxr-xr-x"}};
    bool existing = true, folder = true, fresh = false;
    std::deque<Operation> queued;
    connectThen([&] {
        existing = m_engine->CreateIndexFile("/www", "index.html");
        folder = m_engine->CreateIndexFile("/www", "public");
        fresh = m_engine->CreateIndexFile("/www", "index.htm");
        queued = m_engine->Queue();
    });
    QVERIFY(!existing);
    QVERIFY(!folder);
    QVERIFY(fresh);
    QVERIFY(m_ui->logContains("カレントディレクトリには同一名のファイルが存在するため、\r\n"
                              "空のファイルindex.htmlが作成できませんでした。\r\n"));
    QVERIFY(m_ui->logContains(std::string(kFolderClash) + "空のファイルpublicが作成できませんでした。\r\n"));
    QCOMPARE(Steps(queued), std::vector<int>{OP_UPLOAD});
    QCOMPARE(RemotePathOf(queued[0]), std::string("/www/index.htm"));
    const QFileInfo made(QFile::decodeName(QByteArray::fromStdString(std::get<Op::Upload>(queued[0]).local)));
    QCOMPARE(made.size(), qint64(0));
    QVERIFY(!made.isSymLink());
    QCOMPARE(ReadFile(QString::fromStdString(target)), QByteArray("keep me"));
}

void TestEngineUpload::asciiUploadSendsCrLf() {
    const std::string text = file("text.txt", "one\ntwo\r\nthree\n\nend");
    m_ui->ascii = true;
    uploadAfterLogin(true, "/cur", "/cur", {text})
        .expect("TYPE A")
        .reply("200 ok")
        .expectPasv()
        .expect("STOR /cur/text.txt")
        .reply("150 go ahead")
        .expectDataClose()
        .reply("226 stored");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(!m_engine->IsBusy());
    QCOMPARE(m_peer->dataReceived(), std::string("one\r\ntwo\r\nthree\r\n\r\nend"));
    QVERIFY(m_ui->logContains("226 stored\r\nアップロードは正常終了しました（送信先：/cur/text.txt）。\r\n"));
    QVERIFY(EngineProbe::DataConns(*m_engine).empty());
}

void TestEngineUpload::smallestBlockCarriesTheWholeFile_data() {
    QTest::addColumn<bool>("ascii");
    QTest::newRow("binary") << false;
    QTest::newRow("ASCII, line ends doubling the bytes") << true;
}

void TestEngineUpload::smallestBlockCarriesTheWholeFile() {
    // Sends of at most 1 KB out of reads of far more: the pieces meet at every read's end, and in
    // ASCII mode a converted read is handed on over several write events.
    QFETCH(bool, ascii);
    {
        SettingsKey key;
        key.CreateKey(KeyFamily::System);
        key.WriteDword(SettingName::SendBuf, 1);
    }
    m_engine->ReadSystemSettings();
    QCOMPARE(m_engine->SendChunk(), 1024);
    QByteArray bytes;
    for (int i = 0; bytes.size() < 700 * 1024; ++i)
        bytes += QByteArray::number(i) + (ascii ? QByteArray("\n\n") : QByteArray("\0\r\n", 3));
    m_ui->ascii = ascii;
    uploadAfterLogin(true, "/", "", {file("big.txt", bytes)})
        .expect(ascii ? "TYPE A" : "TYPE I")
        .reply("200 ok")
        .expectPasv()
        .expect("STOR /big.txt")
        .reply("150 go ahead")
        .expectDataClose()
        .reply("226 stored");
    m_engine->Connect(0);
    QTRY_VERIFY_WITH_TIMEOUT(m_peer->done(), 20000);
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(!m_engine->IsBusy());
    const QByteArray sent = QByteArray::fromStdString(m_peer->dataReceived());
    QCOMPARE(sent.size(), bytes.size() + (ascii ? bytes.count('\n') : 0));
    QVERIFY(sent == (ascii ? QByteArray(bytes).replace("\n", "\r\n") : bytes));
}

void TestEngineUpload::resumePastFourGiB() {
    // A sparse file just over 4 GiB whose last bytes are the only ones sent.
    const QString path = m_dir->path() + "/big.bin";
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.seek(Q_INT64_C(4294967296)));
        f.write("the tail");
    }
    m_ui->rows = {{"big.bin", "4294967298", "", "-rw-r--r--"}};
    m_ui->overwriteAnswers = {Answer::Resume};
    uploadAfterLogin(false, "/", "", {QFile::encodeName(path).toStdString()})
        .expect("TYPE I")
        .reply("200 ok")
        .expectPort()
        .expect("REST 4294967298")
        .reply("350 restarting")
        .expect("STOR /big.bin")
        .reply("150 go ahead")
        .expectDataClose()
        .reply("226 stored");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(!m_engine->IsBusy());
    QCOMPARE(m_peer->dataReceived(), std::string("e tail"));
    QVERIFY(m_ui->logContains("アップロードは正常終了しました（送信先：/big.bin）。\r\n"));
}

void TestEngineUpload::rearmTimerSendsNoDataBeforeStor() {
    const std::string path = file("part.bin", "0123456789");
    m_ui->rows = {{"part.bin", "4", "", "-rw-r--r--"}};
    m_ui->overwriteAnswers = {Answer::Resume};
    std::string beforeStor = "<not looked at>";
    bool openBeforeAnswer = false;
    QElapsedTimer sinceRearm;
    uploadAfterLogin(true, "/", "", {path})
        .expect("TYPE I")
        .reply("200 ok")
        .expectPasv()
        .expect("REST 4")
        // The periodic re-arm comes while the server has not yet heard what the data is for.
        .call([&] {
            EngineProbe::OnTimer(*m_engine, TIMER_REARM);
            sinceRearm.start();
        })
        .waitFor([&] { return sinceRearm.elapsed() > 200; })
        .call([&] { beforeStor = m_peer->dataReceived(); })
        .reply("350 restarting")
        .expect("STOR /part.bin")
        // Sent whole before the server answered STOR, the data stays open until it has: a server
        // that found it closed first could take the close for the end of nothing.
        .waitFor([&] { return m_peer->dataReceived() == "456789"; })
        .call([&] { sinceRearm.restart(); })
        .waitFor([&] { return sinceRearm.elapsed() > 200; })
        .call([&] { openBeforeAnswer = m_peer->dataConnected(); })
        .reply("150 go ahead")
        .expectDataClose()
        .reply("226 stored");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(!m_engine->IsBusy());
    QCOMPARE(beforeStor, std::string());
    QVERIFY(openBeforeAnswer);
    QCOMPARE(m_peer->dataReceived(), std::string("456789"));
}

void TestEngineUpload::localReadErrorIsNoSuccess() {
    // A file that opens but cannot be read from its start.
    const std::string unreadable = "/proc/self/mem";
    uploadAfterLogin(true, "/", "", {unreadable})
        .expect("TYPE I")
        .reply("200 ok")
        .expectPasv()
        .expect("STOR /mem")
        .reply("150 go ahead")
        .expectDataClose()
        // The server saw a short file and a normal end.
        .reply("226 stored");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(!m_engine->IsBusy());
    QVERIFY(m_ui->logContains("ファイルの読み込みが失敗しました。\r\n"));
    QVERIFY(m_ui->logContains("226 stored\r\nアップロードは失敗しました。\r\n"));
    QVERIFY(!m_ui->logContains("アップロードは正常終了しました。"));
}

void TestEngineUpload::serverThatNeverReadsEndsTheUpload() {
    // Far more than the system's buffers hold: the sending stops, and nothing moves for the
    // time-out.
    const std::string big = file("big.bin");
    QVERIFY(QFile::resize(QString::fromStdString(big), 64 * 1024 * 1024));
    uploadAfterLogin(true, "/cur", "/cur", {big})
        .holdData()
        .expect("TYPE I")
        .reply("200 ok")
        .expectPasv()
        .expect("STOR /cur/big.bin")
        // Short only for the transfer: on a busy machine a reply of the login may take as long.
        .call([this] { m_engine->SetTimeoutMs(400); })
        .reply("150 go ahead")
        .expect("ABOR")
        .reply("426 aborted")
        .reply("226 abort done");
    m_engine->Connect(0);
    QTRY_VERIFY_WITH_TIMEOUT(m_peer->done(), 10000);
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(!m_engine->IsBusy());
    QVERIFY(EngineProbe::DataConns(*m_engine).empty());
    QCOMPARE(m_ui->failures.size(), size_t(2));
    QCOMPARE(m_ui->failures[0], std::string("タイムアウトしました。\r\n"));
    QCOMPARE(m_ui->failures[1], std::string("アップロードは失敗しました。\r\n"));
}

void TestEngineUpload::folderDeleteExpandsDepthFirst() {
    std::vector<RemoteEntry> entries =
        ReadListingEntries("total 12\r\n"
                           "drwxr-xr-x   2 u g 4096 Jan  2 03:04 .\r\n"
                           "drwxr-xr-x   2 u g 4096 Jan  2 03:04 ..\r\n"
                           "-rw-r--r--   1 u g 10 Jan  2 03:04 a\r\n"
                           "drwxr-xr-x   2 u g 4096 Jan  2 03:04 s\r\n"
                           "-rw-r--r--   1 u g 10 Jan  2 03:04 b c\r\n"
                           "lrwxrwxrwx   1 u g 5 Jan  2 03:04 up -> ../..\r\n"
                           "lrwxrwxrwx   1 u g 5 Jan  2 03:04 out -> /etc/passwd\r\n"
                           "drwxr-xr-x   2 u g 4096 Jan  2 03:04 t\r\n"
                           "-rw-r--r--   1 u g 10 Jan  2 03:04 ../../etc/x\r\n");
    const Operation tail = Op::ChangeFolder{"/cur/"};
    EngineProbe::Queue(*m_engine).push_back(tail);
    // As when the folder's listing has come in.
    EngineProbe::Running(*m_engine) = Op::ListToDelete{"/cur/F"};
    EngineProbe::ExpandFolderDelete(*m_engine, "/cur/F", entries);
    QCOMPARE(Steps(m_engine->Queue()),
             (std::vector<int>{WM_FTP_DELE, WM_FTP_DELE, WM_FTP_DELE, WM_FTP_DELE, WM_FTP_DELCWD, WM_FTP_CWD,
                               WM_FTP_RMD, WM_FTP_DELCWD, WM_FTP_CWD, WM_FTP_RMD, WM_FTP_CWD}));
    QCOMPARE(RemotePaths(m_engine->Queue()),
             (std::vector<std::string>{"/cur/F/a", "/cur/F/b c", "/cur/F/up", "/cur/F/out", "/cur/F/s",
                                       "/cur/F/", "/cur/F/s", "/cur/F/t", "/cur/F/", "/cur/F/t", "/cur/"}));
    QVERIFY(m_ui->logContains("「../../etc/x」は一つのファイル名ではないため、削除しませんでした。\r\n"));

    // A tree whose folders list more than the queue may hold is given up whole, and only it.
    EngineProbe::MaxQueueLength(*m_engine) = 14;
    EngineProbe::ExpandFolderDelete(*m_engine, "/cur/F/s", entries);
    QCOMPARE(RemotePaths(m_engine->Queue()), std::vector<std::string>{"/cur/"});
    QCOMPARE(m_ui->failures.back(),
             std::string("フォルダ「/cur/F/s」には 10 個の項目があり、待っている処理が多す"
                         "ぎるため、フォルダの削除を中止しました。\r\n"));
}

QTEST_GUILESS_MAIN(TestEngineUpload)
#include "tst_engine_upload.moc"
