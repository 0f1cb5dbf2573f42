#include "StoreFixture.h"
#include "engine/FtpEngine.h"
#include "engine/ListingReader.h"
#include "engine/LocalNames.h"
#include "fixtures/EngineHosts.h"
#include "fixtures/EngineProbe.h"
#include "fixtures/RecordingUi.h"
#include "fixtures/ScriptedFtpPeer.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <string>

namespace {
const char* const kRetrFailed = "ダウンロードは失敗しました。\r\n";
const char* const kWriteFailed = "ファイルの書き込みが失敗しました。\r\n";
const char* const kUnsafe = "ローカルに保存できない名前のため飛ばしました: ";

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

FileListRow Row(const std::string& name, const std::string& size) {
    return FileListRow{name, size, "2024/01/02 03:04", "-rw-r--r--"};
}
} // namespace

class TestDownloadScripted : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void refusedStepLeavesNoEntryForLaterData_data();
    void refusedStepLeavesNoEntryForLaterData();
    void writeFailureEndsTheDownloadAndTheQueueGoesOn_data();
    void writeFailureEndsTheDownloadAndTheQueueGoesOn();
    void cutOrShortDownloadsFail_data();
    void cutOrShortDownloadsFail();
    void refusedDownloadsLeaveTheDiskAsItWas();
    void silentServerEndsTheDownload_data();
    void silentServerEndsTheDownload();
    void refusedRestAsksForTheWholeFile();
    void folderDownloadFetchesALinkAsAFileAndReturns();
    void folderChosenDuringAFolderDownloadIsKept();
    void folderListingExpansion();
    void resumeBeyondFourGigabytes();
    void asciiModeTurnsCrLfIntoLf();
    void fileOverwriteAnswers_data();
    void fileOverwriteAnswers();
    void folderOverwriteAnswers();
    void hostileFolderListingStaysInsideTheFolder();
    void refusedFolderStepsSkipTheFolder_data();
    void refusedFolderStepsSkipTheFolder();
    void namesThatBecomeOneLocalNameAndPlantedLinks();
    void resumeOfAFolderContinuesEachFile();
    void breadthBombEndsTheWalk();

private:
    std::unique_ptr<StoreFixture> m_store;
    std::unique_ptr<ScriptedFtpPeer> m_peer;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<CFtpEngine> m_engine;
    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    std::string local(const QString& name) const { return path(name).toStdString(); }
    bool idle() const {
        return !m_engine->IsBusy() &&
               EngineProbe::Events(*m_engine).Message(EngineProbe::ControlSocket(*m_engine)) == WM_FTP_IDLE;
    }
    // Logs in; the listing the login queues is refused so that the session is idle afterwards.
    ScriptedFtpPeer& loginToIdle(bool passive) {
        SaveScriptedHost(m_peer->port(), passive);
        return LoginScript(*m_peer, "/pub")
            .expect("TYPE A")
            .reply("504 not now")
            .waitFor([this] { return !m_engine->IsBusy(); })
            .call([this] {
                m_ui->failures.clear();
                m_ui->refusals.clear();
            });
    }
    // The peer's side of entering a folder and listing it.
    // `asciiAlready`: the session's type is ASCII from the listing before, so no TYPE goes out.
    ScriptedFtpPeer& serveFolder(ScriptedFtpPeer& p, const std::string& remote, const std::string& listing,
                                 bool asciiAlready = false) {
        p.expect("CWD " + remote).reply("250 ok");
        if (!asciiAlready)
            p.expect("TYPE A").reply("200 ok");
        return p.expectPasv()
            .expect("LIST")
            .reply("150 listing")
            .sendData(listing)
            .closeData()
            .reply("226 done");
    }
    // The peer's side of one successful file download.
    // `binaryAlready`: the session's type is binary from the file before, so no TYPE goes out.
    ScriptedFtpPeer& serveFile(ScriptedFtpPeer& p, bool passive, const std::string& remote,
                               const std::string& data, bool binaryAlready = false) {
        if (!binaryAlready)
            p.expect("TYPE I").reply("200 Binary");
        return DataStep(p, passive)
            .expect("RETR " + remote)
            .reply("150 Opening data connection")
            .sendData(data)
            .closeData()
            .reply("226 Transfer complete");
    }
};

void TestDownloadScripted::init() {
    m_store = std::make_unique<StoreFixture>();
    m_peer = std::make_unique<ScriptedFtpPeer>();
    QVERIFY(m_peer->listen());
    m_ui = std::make_unique<RecordingUi>();
    m_ui->currentPath = "/pub";
    m_engine = std::make_unique<CFtpEngine>(*m_ui);
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestDownloadScripted::cleanup() {
    m_engine.reset();
    m_ui.reset();
    m_peer.reset();
    m_store.reset();
    m_dir.reset();
}

void TestDownloadScripted::refusedStepLeavesNoEntryForLaterData_data() {
    QTest::addColumn<bool>("passive");
    QTest::addColumn<QString>("refused");
    for (bool passive : {true, false}) {
        const char* mode = passive ? "passive" : "active";
        QTest::addRow("TYPE, %s", mode) << passive << "TYPE";
        QTest::addRow("%s refused", passive ? "PASV" : "PORT") << passive << "DATA";
        QTest::addRow("REST, %s", mode) << passive << "REST";
        QTest::addRow("RETR, %s", mode) << passive << "RETR";
    }
    // A positive reply that is not the one the step needs stops the download just as loudly.
    QTest::addRow("PASV answered 200") << true << "PASV200";
}

void TestDownloadScripted::refusedStepLeavesNoEntryForLaterData() {
    QFETCH(bool, passive);
    QFETCH(QString, refused);
    // a.bin exists with ten bytes; resuming it makes the engine send REST 10.
    WriteFile(path("a.bin"), "0123456789");
    m_ui->overwriteAnswers = {Answer::Resume};
    // A refused REST asks whether to fetch the whole file; here the answer is no.
    m_ui->transferWholeAnswer = Answer::Cancel;
    int connectionsOfA = 0;
    ScriptedFtpPeer& p = loginToIdle(passive).call([&] {
        QCOMPARE(
            m_engine->DownloadFiles(m_dir->path().toStdString(), {Row("a.bin", "20"), Row("b.bin", "6")}), 1);
    });
    p.expect("TYPE I");
    if (refused == "TYPE") {
        p.reply("504 no binary");
    } else if (refused == "DATA") {
        p.reply("200 ok");
        if (passive)
            p.expect("PASV").reply("502 no passive");
        else
            p.expectPrefix("PORT ").reply("500 no active");
    } else if (refused == "PASV200") {
        p.reply("200 ok").expect("PASV").reply("200 Sure");
    } else {
        DataStep(p.reply("200 ok"), passive).expect("REST 10");
        if (refused == "REST") {
            p.reply("502 no restart");
        } else {
            p.reply("350 Restarting at 10").expect("RETR /pub/a.bin").reply("550 gone");
        }
        connectionsOfA = 1;
    }
    // Only a refused TYPE leaves the type unknown.
    serveFile(p, passive, "/pub/b.bin", "second", refused != "TYPE");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QCOMPARE(ReadAll(path("b.bin")), QByteArray("second"));
    QCOMPARE(ReadAll(path("a.bin")), QByteArray("0123456789"));
    QCOMPARE(m_peer->dataConnectionCount(), connectionsOfA + 1);
    QVERIFY(EngineProbe::DataConns(*m_engine).empty());
    // Every step that stops the download says so.
    QCOMPARE(m_ui->failures.size(), size_t(1));
    QVERIFY(m_ui->failures[0].find(refused == "REST" ? "転送しませんでした" : kRetrFailed) !=
            std::string::npos);
    QCOMPARE(m_ui->transferWholeQuestions.size(), size_t(refused == "REST" ? 1 : 0));
}

void TestDownloadScripted::writeFailureEndsTheDownloadAndTheQueueGoesOn_data() {
    QTest::addColumn<QString>("finalReply");
    QTest::newRow("server reports success") << "226 Transfer complete";
    QTest::newRow("server reports the broken connection") << "426 Connection closed; transfer aborted";
}

void TestDownloadScripted::writeFailureEndsTheDownloadAndTheQueueGoesOn() {
    QFETCH(QString, finalReply);
    // Every write to /dev/full fails as on a full disk.
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    const std::string big(1024 * 1024, 'x');
    loginToIdle(true)
        .call([&] {
            EngineProbe::Enqueue(*m_engine,
                                 Op::Download{"/dev/full", "/pub/big.bin",
                                              static_cast<std::int64_t>(big.size()), ExistingFile::Replace});
            EngineProbe::Enqueue(*m_engine, Op::PrintFolder{});
            EngineProbe::Dispatch(*m_engine);
        })
        .expect("TYPE I")
        .reply("200 ok")
        .expectPasv()
        .expect("RETR /pub/big.bin")
        .reply("150 Opening data connection")
        .sendData(big)
        .waitFor([this] { return m_ui->logContains(kWriteFailed); })
        .reply(finalReply.toStdString())
        .expect("PWD")
        .reply("257 \"/pub\"");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QVERIFY(EngineProbe::DataConns(*m_engine).empty());
    QCOMPARE(m_ui->foldersSet.back(), std::string("/pub"));
    // Whatever the server says, a file that could not be written is no success.
    QVERIFY(!m_ui->logContains("ダウンロードが正常終了しました。"));
    QCOMPARE(m_ui->failures.size(), size_t(2));
    QCOMPARE(m_ui->failures[0], std::string(kWriteFailed));
    QVERIFY(m_ui->failures[1].rfind(kRetrFailed, 0) == 0);
}

void TestDownloadScripted::cutOrShortDownloadsFail_data() {
    // How the data side ends, whether the server then says 426 (else 226), the size the listing
    // shows and the size its 150 announces (-1: none), and whether that is a success. 1 MiB goes.
    QTest::addColumn<QString>("end");
    QTest::addColumn<bool>("aborted");
    QTest::addColumn<int>("listed");
    QTest::addColumn<int>("announced");
    QTest::addColumn<bool>("ok");
    QTest::newRow("whole file") << "close" << false << 1048576 << -1 << true;
    // A reset is a failure in itself, whatever size is known.
    QTest::newRow("reset, then 226") << "reset" << false << -1 << -1 << false;
    QTest::newRow("reset, then 426") << "reset" << true << -1 << -1 << false;
    QTest::newRow("orderly close short of the listed size") << "short" << false << 1048576 << -1 << false;
    QTest::newRow("the 150 announces another size") << "close" << false << 1048576 << 1048577 << false;
    QTest::newRow("the 150 announces this size") << "close" << false << 1000 << 1048576 << true;
    // More than the server said it has: nothing to continue.
    QTest::newRow("longer than listed") << "close" << false << 1000 << -1 << false;
}

void TestDownloadScripted::cutOrShortDownloadsFail() {
    QFETCH(QString, end);
    QFETCH(bool, aborted);
    QFETCH(int, listed);
    QFETCH(int, announced);
    QFETCH(bool, ok);
    const std::string whole(1024 * 1024, 'w');
    ScriptedFtpPeer& p =
        loginToIdle(true)
            .call([&] {
                m_engine->DownloadFiles(
                    m_dir->path().toStdString(),
                    {Row("big.bin", listed < 0 ? std::string() : std::to_string(listed))});
            })
            .expect("TYPE I")
            .reply("200 ok")
            .expectPasv()
            .expect("RETR /pub/big.bin")
            .reply("150 Opening BINARY mode data connection for big.bin" +
                   (announced < 0 ? std::string() : " (" + std::to_string(announced) + " bytes)"));
    if (end == "close") {
        p.sendData(whole).closeData();
    } else {
        p.sendData(whole.substr(0, 300 * 1024));
        if (end == "reset")
            p.pause(200).resetData();
        else
            p.closeData();
    }
    p.reply(aborted ? "426 Connection reset" : "226 Transfer complete");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    const QByteArray onDisk = ReadAll(path("big.bin"));
    // The line names the file written, and the status bar keeps it once the session rests.
    const std::string done =
        "ダウンロードが正常終了しました（保存先：" + path("big.bin").toStdString() + "）。";
    QCOMPARE(m_ui->logContains(done + "\r\n"), ok);
    QCOMPARE(m_ui->statusTexts.back().first == done, ok);
    if (ok) {
        QVERIFY(m_ui->failures.empty());
        QCOMPARE(onDisk.size(), qsizetype(whole.size()));
        return;
    }
    // The partial file stays for a later resume, and the failure says so.
    QVERIFY(!m_ui->failures.empty());
    QVERIFY(m_ui->failures.back().rfind(kRetrFailed, 0) == 0);
    const int serverSize = std::max(listed, announced);
    const bool resumable = serverSize < 0 || onDisk.size() < serverSize;
    const std::string note = "「" + local("big.bin") + "」には受信した " + std::to_string(onDisk.size()) +
                             " バイトが残っています" + (resumable ? " (続きから転送できます)" : "") +
                             "。\r\n";
    QVERIFY2(m_ui->failures.back().find(note) != std::string::npos, m_ui->failures.back().c_str());
}

void TestDownloadScripted::refusedDownloadsLeaveTheDiskAsItWas() {
    // kept.bin exists and is to be overwritten; new.bin and empty.bin do not exist.
    WriteFile(path("kept.bin"), "old contents");
    m_ui->overwriteAnswers = {Answer::Yes};
    ScriptedFtpPeer& p = loginToIdle(true).call([&] {
        m_engine->DownloadFiles(m_dir->path().toStdString(),
                                {Row("kept.bin", "5"), Row("new.bin", "5"), Row("empty.bin", "5")});
    });
    // The type is set once for the three.
    p.expect("TYPE I").reply("200 ok");
    for (const char* name : {"kept.bin", "new.bin"})
        p.expectPasv().expect(std::string("RETR /pub/") + name).reply("550 No such file");
    p.expectPasv()
        .expect("RETR /pub/empty.bin")
        .reply("150 Opening data connection")
        .resetData()
        .reply("426 Connection reset");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    // The server refused: the existing file is untouched, and no empty file stands for the others.
    QCOMPARE(ReadAll(path("kept.bin")), QByteArray("old contents"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"kept.bin"});
    QCOMPARE(m_ui->failures.size(), size_t(4));
    for (const std::string& failure : m_ui->failures)
        QVERIFY2(failure.find("残っています") == std::string::npos, failure.c_str());
}

void TestDownloadScripted::silentServerEndsTheDownload_data() {
    QTest::addColumn<QString>("silence");
    QTest::newRow("data connection open and silent") << "data";
    QTest::newRow("no final reply after the data") << "reply";
    QTest::newRow("neither data nor reply after 150") << "all";
}

void TestDownloadScripted::silentServerEndsTheDownload() {
    QFETCH(QString, silence);
    ScriptedFtpPeer& p =
        loginToIdle(true)
            .call([&] {
                // Short only for the download, so that a busy machine never times out the login.
                m_engine->SetTimeoutMs(400);
                m_engine->DownloadFiles(m_dir->path().toStdString(), {Row("slow.bin", "10")});
                EngineProbe::Enqueue(*m_engine, Op::PrintFolder{});
            })
            .expect("TYPE I")
            .reply("200 ok")
            .expectPasv()
            .expect("RETR /pub/slow.bin")
            .reply("150 Opening data connection");
    if (silence == "data")
        p.sendData("01234");
    else if (silence == "reply")
        p.sendData("0123456789").closeData();
    // The transfer is given up with ABOR, whose reply ends it; what was queued behind it goes.
    p.expect("ABOR").reply("426 Transfer aborted").reply("226 Abort successful");
    m_engine->Connect(0);
    QTRY_VERIFY_WITH_TIMEOUT(m_peer->done(), 5000);
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QVERIFY(m_engine->IsConnected());
    QCOMPARE(m_peer->commands().back(), std::string("ABOR"));
    QCOMPARE(m_ui->failures.size(), size_t(2));
    QCOMPARE(m_ui->failures[0], std::string("タイムアウトしました。\r\n"));
    QVERIFY(m_ui->failures[1].rfind(kRetrFailed, 0) == 0);
    QVERIFY(!m_ui->logContains("ダウンロードが正常終了しました。"));
}

void TestDownloadScripted::refusedRestAsksForTheWholeFile() {
    WriteFile(path("r.bin"), "0123456789");
    m_ui->overwriteAnswers = {Answer::Resume};
    loginToIdle(false)
        .call([&] { m_engine->DownloadFiles(m_dir->path().toStdString(), {Row("r.bin", "26")}); })
        .expect("TYPE I")
        .reply("200 ok")
        .expectPort()
        .expect("REST 10")
        .reply("502 REST not implemented")
        .expect("RETR /pub/r.bin")
        .reply("150 Opening data connection")
        .sendData("abcdefghijklmnopqrstuvwxyz")
        .closeData()
        .reply("226 Transfer complete");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QCOMPARE(m_ui->transferWholeQuestions, std::vector<std::string>{"/pub/r.bin"});
    QVERIFY(m_ui->logContains("「r.bin」を最初から転送します。\r\n"));
    QCOMPARE(ReadAll(path("r.bin")), QByteArray("abcdefghijklmnopqrstuvwxyz"));
    QVERIFY(m_ui->failures.empty());
    // The refusal was gone round: nothing is left to report as a failure.
    QVERIFY(m_ui->refusals.empty());
}

void TestDownloadScripted::folderDownloadFetchesALinkAsAFileAndReturns() {
    // The list shows a link as a folder; this one leads to a file.
    m_ui->rows = {FileListRow{"sub", "", "2024/01/02", "drwxr-xr-x"},
                  FileListRow{"link", "", "2024/01/02", "drwxrwxrwx", true}};
    ScriptedFtpPeer& p = loginToIdle(true).call([&] {
        QCOMPARE(m_engine->DownloadFolders(m_dir->path().toStdString(), {"sub", "link"}), 1);
        EngineProbe::Dispatch(*m_engine);
    });
    serveFolder(p, "/pub/sub", "-rw-r--r-- 1 o g 3 Jan  1  2020 f.txt\r\n");
    // Each folder is whole before the next is entered.
    // A positive reply to TYPE other than 200 still lets the chain go on.
    p.expect("TYPE I").reply("202 Command not needed");
    serveFile(p, true, "/pub/sub/f.txt", "f!\n", true)
        .expect("CWD /pub/link")
        .reply("550 Not a directory")
        .expectPasv()
        .expect("RETR /pub/link")
        .reply("150 Opening data connection")
        .sendData("linked file")
        .closeData()
        .reply("226 Transfer complete")
        // Back in the user's folder once the folders are done.
        .expect("CWD /pub")
        .reply("250 ok");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QCOMPARE(ReadAll(path("link")), QByteArray("linked file"));
    QCOMPARE(ReadAll(path("sub/f.txt")), QByteArray("f!\n"));
    QVERIFY(m_ui->failures.empty());
}

void TestDownloadScripted::folderChosenDuringAFolderDownloadIsKept() {
    // The user goes to another folder while a folder download runs: that folder stays the
    // session's, and the download's files still come by their whole paths.
    ScriptedFtpPeer& p = loginToIdle(true).call([&] {
        QCOMPARE(m_engine->DownloadFolders(m_dir->path().toStdString(), {"sub"}), 1);
        m_engine->ChangeFolder("/elsewhere");
    });
    serveFolder(p, "/pub/sub", "-rw-r--r-- 1 o g 3 Jan  1  2020 f.txt\r\n");
    // The folder's files belong to the download the user asked for first.
    serveFile(p, true, "/pub/sub/f.txt", "f!\n")
        .expect("CWD /elsewhere")
        .reply("250 ok")
        .expect("PWD")
        .reply("257 \"/elsewhere\"")
        .expect("TYPE A")
        .reply("504 not now");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QCOMPARE(m_ui->currentPath, std::string("/elsewhere"));
    QCOMPARE(ReadAll(path("sub/f.txt")), QByteArray("f!\n"));
}

void TestDownloadScripted::folderListingExpansion() {
    const std::string listing = "drwxr-xr-x 2 o g 512 Jan  1  2020 deeper\r\n"
                                "-rw-r--r-- 1 o g   1 Jan  1  2020 a\r\n"
                                "-rw-r--r-- 1 o g   2 Jan  1  2020 a \r\n";
    const std::vector<RemoteEntry> entries = ReadListingEntries(listing);
    // A name is every byte up to the line end: "a" and "a " are two files.
    EngineProbe::ExpandDownloadFolder(*m_engine, entries, local("x"), "/r/x", ExistingFile::Replace,
                                      CFtpEngine::kMaxFolderDepth - 1);
    QCOMPARE(m_engine->Queue().size(), size_t(3));
    QCOMPARE(std::get<Op::Download>(m_engine->Queue()[0]).remote, std::string("/r/x/a"));
    const auto& second = std::get<Op::Download>(m_engine->Queue()[1]);
    QCOMPARE(second.remote, std::string("/r/x/a "));
    QCOMPARE(second.local, local("x/a "));
    QCOMPARE(second.size, std::int64_t(2));
    QCOMPARE(std::get<Op::ListToDownload>(m_engine->Queue()[2]).depth, CFtpEngine::kMaxFolderDepth);
    EngineProbe::Queue(*m_engine).clear();
    // One level further the sub-folder is not entered: a failure line names it.
    EngineProbe::ExpandDownloadFolder(*m_engine, entries, local("x"), "/r/x", ExistingFile::Replace,
                                      CFtpEngine::kMaxFolderDepth);
    QCOMPARE(m_engine->Queue().size(), size_t(2));
    QCOMPARE(
        m_ui->failures,
        std::vector<std::string>{
            "フォルダ「/r/x」の中の 1 個のフォルダは階層が深すぎるため、ダウンロードしませんでした。\r\n"});
}

void TestDownloadScripted::resumeBeyondFourGigabytes() {
    const std::int64_t have = 5LL * 1024 * 1024 * 1024;
    {
        QFile f(path("huge.iso"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        // Sparse: no disk space is used for the hole.
        QVERIFY(f.resize(have));
    }
    m_ui->overwriteAnswers = {Answer::Resume};
    loginToIdle(true)
        .call([&] {
            m_engine->DownloadFiles(m_dir->path().toStdString(),
                                    {Row("huge.iso", std::to_string(have + 10))});
        })
        .expect("TYPE I")
        .reply("200 ok")
        .expectPasv()
        .expect("REST 5368709120")
        .reply("350 Restarting at 5368709120")
        .expect("RETR /pub/huge.iso")
        .reply("150 Opening data connection")
        .sendData("0123456789")
        .closeData()
        .reply("226 Transfer complete");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QFile f(path("huge.iso"));
    QCOMPARE(f.size(), have + 10);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.seek(have - 2));
    QCOMPARE(f.readAll(), QByteArray("\0\0"
                                     "0123456789",
                                     12));
    bool sawEnd = false;
    for (const RecordingUi::ProgressShot& shot : m_ui->progress)
        sawEnd = sawEnd || shot.count == "5368709130/5368709130byte 100%";
    QVERIFY(sawEnd);
}

void TestDownloadScripted::asciiModeTurnsCrLfIntoLf() {
    m_ui->ascii = true;
    loginToIdle(false)
        .call([&] { m_engine->DownloadFiles(m_dir->path().toStdString(), {Row("notes.txt", "15")}); })
        .expect("TYPE A")
        .reply("200 ok")
        .expectPort()
        .expect("RETR /pub/notes.txt")
        .reply("150 Opening ASCII mode data connection")
        .sendData("one\r")
        .pause(50)
        .sendData("\ntwo\r\nlone\rcr\r")
        .closeData()
        .reply("226 Transfer complete");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QCOMPARE(ReadAll(path("notes.txt")), QByteArray("one\ntwo\nlone\rcr\r"));
}

void TestDownloadScripted::fileOverwriteAnswers_data() {
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<bool>("noConfirmSetting");
    QTest::addColumn<int>("result");
    // What x, y and z are queued to do with their local files; -1 when not queued.
    QTest::addColumn<QList<int>>("existing");
    QTest::addColumn<int>("questionsLeft");
    const int replace = static_cast<int>(ExistingFile::Replace);
    const int resume = static_cast<int>(ExistingFile::Resume);
    QTest::newRow("yes to each") << QList<int>{1, 1, 1} << false << 1 << QList<int>{replace, replace, replace}
                                 << 0;
    QTest::newRow("resume, then yes")
        << QList<int>{4, 1, 4} << false << 1 << QList<int>{resume, replace, resume} << 0;
    QTest::newRow("overwrite all") << QList<int>{3, 1, 1} << false << 1
                                   << QList<int>{replace, replace, replace} << 2;
    QTest::newRow("cancel at the second")
        << QList<int>{1, 2, 1} << false << 0 << QList<int>{replace, -1, -1} << 1;
    QTest::newRow("no, for the second")
        << QList<int>{1, 5, 1} << false << 1 << QList<int>{replace, -1, replace} << 0;
    QTest::newRow("no questions when set")
        << QList<int>{4, 4, 4} << true << 1 << QList<int>{replace, replace, replace} << 3;
}

void TestDownloadScripted::fileOverwriteAnswers() {
    QFETCH(QList<int>, answers);
    QFETCH(bool, noConfirmSetting);
    QFETCH(int, result);
    QFETCH(QList<int>, existing);
    QFETCH(int, questionsLeft);
    if (noConfirmSetting) {
        SettingsKey key;
        key.CreateKey(KeyFamily::Option);
        key.WriteDword(SettingName::ChkDownOw, 1);
    }
    WriteFile(path("x"), "xxx");
    WriteFile(path("y"), "yyyy");
    WriteFile(path("z"), "zzzzz");
    for (int a : answers)
        m_ui->overwriteAnswers.push_back(static_cast<Answer>(a));
    SaveScriptedHost(m_peer->port(), true);
    // Questions are asked while the listing after the login is still running, so nothing starts.
    LoginScript(*m_peer, "/pub")
        .expect("TYPE A")
        .call([&] {
            // A trailing "/" on the folder is not doubled.
            const int r = m_engine->DownloadFiles(m_dir->path().toStdString() + "/",
                                                  {Row("x", "30"), Row("y", "40"), Row("z", "50")});
            QCOMPARE(r, result);
            QCOMPARE(static_cast<int>(m_ui->overwriteAnswers.size()), questionsLeft);
            const char* names[] = {"x", "y", "z"};
            std::size_t at = 0;
            for (int i = 0; i < 3; ++i) {
                if (existing[i] < 0)
                    continue;
                QVERIFY(at < m_engine->Queue().size());
                const auto& op = std::get<Op::Download>(m_engine->Queue()[at++]);
                QCOMPARE(op.local, local(names[i]));
                QCOMPARE(op.remote, std::string("/pub/") + names[i]);
                QCOMPARE(op.size, std::int64_t(30 + 10 * i));
                QCOMPARE(static_cast<int>(op.existing), existing[i]);
            }
            QCOMPARE(m_engine->Queue().size(), at);
            EngineProbe::Queue(*m_engine).clear();
        })
        .reply("504 not now");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
}

void TestDownloadScripted::folderOverwriteAnswers() {
    for (const char* name : {"a", "b", "c", "d"})
        QVERIFY(QDir(m_dir->path()).mkdir(QString::fromLatin1(name)));
    SaveScriptedHost(m_peer->port(), true);
    LoginScript(*m_peer, "/pub")
        .expect("TYPE A")
        .call([&] {
            const std::string folder = m_dir->path().toStdString();
            // Yes, no, then all: the fourth existing folder is not asked about.
            m_ui->overwriteAnswers = {Answer::Yes, Answer::No, Answer::OverwriteAll};
            QCOMPARE(m_engine->DownloadFolders(folder, {"a", "new", "b", "c", "d"}), 1);
            QVERIFY(m_ui->overwriteAnswers.empty());
            const ExistingFile expected[] = {ExistingFile::Replace, ExistingFile::Replace, ExistingFile::Keep,
                                             ExistingFile::Replace, ExistingFile::Replace};
            const char* names[] = {"a", "new", "b", "c", "d"};
            QCOMPARE(m_engine->Queue().size(), size_t(5));
            for (int i = 0; i < 5; ++i) {
                const auto& op = std::get<Op::ListToDownload>(m_engine->Queue()[static_cast<std::size_t>(i)]);
                QCOMPARE(op.local, local(names[i]));
                QCOMPARE(op.remote, std::string("/pub/") + names[i]);
                QCOMPARE(op.existing, expected[i]);
            }
            // A local folder is made only once its remote one has been entered.
            QVERIFY(!QFileInfo::exists(path("new")));
            EngineProbe::Queue(*m_engine).clear();

            // Cancel stops at once; what was queued stays.
            m_ui->overwriteAnswers = {Answer::Yes, Answer::Cancel};
            QCOMPARE(m_engine->DownloadFolders(folder, {"a", "b", "c"}), 0);
            QCOMPARE(m_engine->Queue().size(), size_t(1));
            EngineProbe::Queue(*m_engine).clear();
        })
        .reply("504 not now");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
}

void TestDownloadScripted::hostileFolderListingStaysInsideTheFolder() {
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("top")));
    const std::string listing = std::string("total 12\r\n"
                                            "drwxr-xr-x 2 o g 512 Jan  1  2020 .\r\n"
                                            "drwxr-xr-x 2 o g 512 Jan  1  2020 ..\r\n"
                                            "-rw-r--r-- 1 o g   5 Jan  1  2020 ../escape.txt\r\n"
                                            "-rw-r--r-- 1 o g   5 Jan  1  2020 sub/inner.txt\r\n"
                                            "drwxr-xr-x 2 o g 512 Jan  1  2020 ../../up\r\n"
                                            "-rw-r--r-- 1 o g   5 Jan  1  2020 /etc/passwd\r\n"
                                            "lrwxrwxrwx 1 o g  11 Jan  1  2020 link -> /etc/passwd\r\n"
                                            "-rw-r--r-- 1 o g   5 Jan  1  2020 nul") +
                                std::string(1, '\0') +
                                "byte\r\n"
                                "-rw-r--r-- 1 o g   5 Jan  1  2020 good.txt\r\n"
                                "drwxr-xr-x 2 o g 512 Jan  1  2020 gooddir\r\n"
                                "-rw-r--r-- 1 o g   7 Jan  1  2020 with space.txt\r\n";
    ScriptedFtpPeer& p = loginToIdle(true).call([&] {
        EngineProbe::Enqueue(*m_engine,
                             Op::ListToDownload{local("top"), "/srv/top", 0, false, ExistingFile::Replace});
        EngineProbe::Dispatch(*m_engine);
    });
    serveFolder(p, "/srv/top", listing)
        .expect("TYPE I")
        .call([&] {
            // The first file runs; the rest wait: files in listing order, then the folder.
            const auto& running = std::get<Op::Download>(EngineProbe::Running(*m_engine));
            QCOMPARE(running.remote, std::string("/srv/top/link"));
            QCOMPARE(running.local, local("top/link"));
            // A link's size column is the length of its target's name, not a size to check.
            QCOMPARE(running.size, std::int64_t(-1));
            QCOMPARE(m_engine->Queue().size(), size_t(3));
            QCOMPARE(std::get<Op::Download>(m_engine->Queue()[0]).remote, std::string("/srv/top/good.txt"));
            QCOMPARE(std::get<Op::Download>(m_engine->Queue()[0]).size, std::int64_t(5));
            const auto& spaced = std::get<Op::Download>(m_engine->Queue()[1]);
            QCOMPARE(spaced.remote, std::string("/srv/top/with space.txt"));
            QCOMPARE(spaced.local, local("top/with space.txt"));
            const auto& folder = std::get<Op::ListToDownload>(m_engine->Queue()[2]);
            QCOMPARE(folder.remote, std::string("/srv/top/gooddir"));
            QCOMPARE(folder.existing, ExistingFile::Replace);
            QCOMPARE(folder.depth, std::int64_t(1));
        })
        .close();
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(!m_engine->IsConnected());
    for (const char* name : {"../escape.txt", "sub/inner.txt", "../../up", "/etc/passwd", "nul?byte"})
        QVERIFY2(m_ui->logContains(kUnsafe + std::string(name) + "\r\n"), name);
    // Nothing was written beside the chosen folder, and inside it only what the listing allows.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"top"});
    // Nothing is made before the server has accepted a file or been entered into a folder.
    QVERIFY(QDir(path("top")).isEmpty());
    QVERIFY(!m_ui->logContains(kUnsafe + std::string("12")));
}

void TestDownloadScripted::refusedFolderStepsSkipTheFolder_data() {
    QTest::addColumn<QString>("refused");
    QTest::newRow("CWD") << "CWD";
    QTest::newRow("TYPE") << "TYPE";
    QTest::newRow("LIST") << "LIST";
}

void TestDownloadScripted::refusedFolderStepsSkipTheFolder() {
    QFETCH(QString, refused);
    ScriptedFtpPeer& p =
        loginToIdle(true)
            .call([&] {
                QCOMPARE(m_engine->DownloadFolders(m_dir->path().toStdString(), {"gone"}), 1);
                EngineProbe::Enqueue(*m_engine, Op::PrintFolder{});
                EngineProbe::Dispatch(*m_engine);
            })
            .expect("CWD /pub/gone");
    if (refused == "CWD") {
        p.reply("550 no such folder");
    } else {
        p.reply("250 ok").expect("TYPE A");
        if (refused == "TYPE")
            p.reply("504 no");
        else
            p.reply("200 ok").expectPasv().expect("LIST").reply("550 cannot list");
        // The session goes back to the user's folder before anything that depends on it.
        p.expect("CWD /pub").reply("250 ok");
    }
    p.expect("PWD").reply("257 \"/pub\"");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    // A folder that could not be entered leaves nothing; one that was entered stays, empty.
    QCOMPARE(QFileInfo(path("gone")).isDir(), refused != "CWD");
    QVERIFY(!QFileInfo(path("gone")).isDir() || QDir(path("gone")).isEmpty());
    QCOMPARE(m_ui->failures.size(), size_t(1));
    QVERIFY(EngineProbe::DataConns(*m_engine).empty());
}

void TestDownloadScripted::namesThatBecomeOneLocalNameAndPlantedLinks() {
    // Every pair below becomes one local name: "café" composed and decomposed, two names that are
    // no UTF-8 and decode to the same stand-in character, and two folders of one name holding a
    // file of one name. A link planted where a file lands is replaced, never written through.
    const std::string nfc = "caf\xc3\xa9", nfd = "cafe\xcc\x81", ff = "bad\xff", fe = "bad\xfe";
    // Each file holds its own remote name (a folder's file, the folder's name).
    const auto line = [](const std::string& name, std::size_t size) {
        return std::string(size == 0 ? "drwxr-xr-x" : "-rw-r--r--") + " 1 o g " + std::to_string(size) +
               " Jan  1  2020 " + name + "\r\n";
    };
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("top")));
    const QString outside = path(QStringLiteral("outside.txt"));
    QVERIFY(QFile::link(outside, path(QStringLiteral("top/planted"))));
    // A folder of the tree planted as a link to a folder elsewhere: nothing goes through it.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("elsewhere")));
    QVERIFY(QFile::link(path(QStringLiteral("elsewhere")), path(QStringLiteral("top/linked"))));
    // The user's answer to an existing folder: write over its files.
    m_ui->overwriteAnswers = {Answer::Yes};
    m_ui->rows = {FileListRow{"top", "", "2024/01/02", "drwxr-xr-x"}};
    ScriptedFtpPeer& p = loginToIdle(true).call([&] {
        QCOMPARE(m_engine->DownloadFolders(m_dir->path().toStdString(), {"top"}), 1);
        EngineProbe::Dispatch(*m_engine);
    });
    serveFolder(p, "/pub/top",
                line(nfc, 5) + line(nfd, 6) + line(ff, 4) + line(fe, 4) + line("planted", 7) +
                    line("d" + nfc, 0) + line("d" + nfd, 0) + line("linked", 0));
    for (const std::string& name : {nfc, nfd, ff, fe, std::string("planted")})
        serveFile(p, true, "/pub/top/" + name, name, name != nfc);
    for (const std::string& folder : {"d" + nfc, "d" + nfd}) {
        serveFolder(p, "/pub/top/" + folder, line("same.txt", folder.size()));
        serveFile(p, true, "/pub/top/" + folder + "/same.txt", folder);
    }
    p.expect("CWD /pub/top/linked").reply("250 ok").expect("CWD /pub").reply("250 ok");
    m_engine->Connect(0);
    QTRY_VERIFY_WITH_TIMEOUT(m_peer->done(), 10000);
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    // Nothing was lost: the second of each pair lies beside the first, and each failure line
    // names both remote names.
    const QString stand = LocalNameFor(ff, m_engine->Names());
    QCOMPARE(ReadAll(path(QStringLiteral("top/café"))), QByteArray::fromStdString(nfc));
    QCOMPARE(ReadAll(path(QStringLiteral("top/café (2)"))), QByteArray::fromStdString(nfd));
    QCOMPARE(ReadAll(path(QStringLiteral("top/") + stand)), QByteArray::fromStdString(ff));
    QCOMPARE(ReadAll(path(QStringLiteral("top/") + stand + QStringLiteral(" (2)"))),
             QByteArray::fromStdString(fe));
    QCOMPARE(ReadAll(path(QStringLiteral("top/dcafé/same.txt"))), QByteArray::fromStdString("d" + nfc));
    QCOMPARE(ReadAll(path(QStringLiteral("top/dcafé/same (2).txt"))), QByteArray::fromStdString("d" + nfd));
    QCOMPARE(m_ui->failures.size(), size_t(4));
    QCOMPARE(m_ui->failures[3], "フォルダ「" + local("top/linked") +
                                    "」が作成できませんでした（シンボリックリンクがあります）。\r\n");
    QVERIFY(QDir(path(QStringLiteral("elsewhere"))).isEmpty());
    QVERIFY2(m_ui->failures[0].find("caf%C3%A9) と「") != std::string::npos &&
                 m_ui->failures[0].find("cafe%CC%81)") != std::string::npos,
             m_ui->failures[0].c_str());
    QVERIFY2(m_ui->failures[1].find("bad%FF) と「") != std::string::npos, m_ui->failures[1].c_str());
    QVERIFY(m_ui->failures[2].find("/pub/top/dcafe\xcc\x81/same.txt") != std::string::npos);
    QVERIFY(!QFileInfo(path(QStringLiteral("top/planted"))).isSymLink());
    QCOMPARE(ReadAll(path(QStringLiteral("top/planted"))), QByteArray("planted"));
    QVERIFY(!QFileInfo::exists(outside));

    // A file of this run is never asked about as an existing file: the window asks about the
    // clash, and its answer counts.
    QCOMPARE(m_ui->clashQuestions.size(), size_t(3));
    m_ui->clashQuestions.clear();
    m_ui->clashAnswer = NameClashAnswer::Replace;
    m_ui->failures.clear();
    m_peer = std::make_unique<ScriptedFtpPeer>();
    QVERIFY(m_peer->listen());
    ScriptedFtpPeer& again = loginToIdle(true).call([&] {
        m_engine->DownloadFiles(local("again"), {Row(nfc, "3"), Row(nfd, "3")});
    });
    serveFile(again, true, "/pub/" + nfc, "one");
    serveFile(again, true, "/pub/" + nfd, "two", true);
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("again")));
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QCOMPARE(m_ui->clashQuestions, (std::vector<std::string>{local("again/café")}));
    QVERIFY(m_ui->fileOverwriteQuestions.empty());
    QCOMPARE(ReadAll(path(QStringLiteral("again/café"))), QByteArray("two"));
    QVERIFY(m_ui->failures.empty());
}

void TestDownloadScripted::resumeOfAFolderContinuesEachFile() {
    // A partial file continues, a whole one is skipped, a longer one is a clash that stays as it
    // is, a new one comes whole; a link is never continued.
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("f")));
    WriteFile(path("f/part"), "0123");
    WriteFile(path("f/whole"), "0123456789");
    WriteFile(path("f/longer"), "0123456789+");
    QVERIFY(QFile::link(path("f/whole"), path("f/link")));
    m_ui->overwriteAnswers = {Answer::Resume};
    m_ui->rows = {FileListRow{"f", "", "2024/01/02", "drwxr-xr-x"}};
    ScriptedFtpPeer& p = loginToIdle(true).call([&] {
        QCOMPARE(m_engine->DownloadFolders(m_dir->path().toStdString(), {"f"}), 1);
        EngineProbe::Dispatch(*m_engine);
    });
    std::string listing;
    for (const char* name : {"part", "whole", "longer", "link", "new"})
        listing += std::string("-rw-r--r-- 1 o g 10 Jan  1  2020 ") + name + "\r\n";
    serveFolder(p, "/pub/f", listing);
    DataStep(p.expect("TYPE I").reply("200 ok"), true)
        .expect("REST 4")
        .reply("350 Restarting at 4")
        .expect("RETR /pub/f/part")
        .reply("150 Opening data connection")
        .sendData("456789")
        .closeData()
        .reply("226 Transfer complete");
    serveFile(p, true, "/pub/f/new", "abcdefghij", true).expect("CWD /pub").reply("250 ok");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QCOMPARE(ReadAll(path("f/part")), QByteArray("0123456789"));
    QCOMPARE(ReadAll(path("f/whole")), QByteArray("0123456789"));
    QCOMPARE(ReadAll(path("f/longer")), QByteArray("0123456789+"));
    QCOMPARE(ReadAll(path("f/new")), QByteArray("abcdefghij"));
    QVERIFY(QFileInfo(path("f/link")).isSymLink());
    QCOMPARE(m_ui->failures.size(), size_t(2));
    QVERIFY(m_ui->failures[0].find("転送先の方が大きい") != std::string::npos);
    QVERIFY(m_ui->failures[1].find("通常のファイルではない") != std::string::npos);
    QVERIFY(m_ui->logContains("「" + local("f/whole") + "」はすべて受信済みのため、飛ばしました。\r\n"));
}

void TestDownloadScripted::breadthBombEndsTheWalk() {
    // Every folder lists more folders; the walk holds one folder's entries per level, and gives up
    // as a whole once the queue would pass its bound, naming the folder. What was queued after the
    // download is not part of it and still runs.
    EngineProbe::MaxQueueLength(*m_engine) = 10;
    std::string wide;
    for (int i = 0; i < 4; ++i)
        wide += "drwxr-xr-x 2 o g 512 Jan  1  2020 d" + std::to_string(i) + "\r\n";
    m_ui->rows = {FileListRow{"bomb", "", "2024/01/02", "drwxr-xr-x"}};
    ScriptedFtpPeer& p = loginToIdle(true).call([&] {
        QCOMPARE(m_engine->DownloadFolders(m_dir->path().toStdString(), {"bomb"}), 1);
        EngineProbe::Enqueue(*m_engine, Op::PrintFolder{});
        EngineProbe::Dispatch(*m_engine);
    });
    serveFolder(p, "/pub/bomb", wide);
    serveFolder(p, "/pub/bomb/d0", wide, true);
    serveFolder(p, "/pub/bomb/d0/d0", wide, true);
    p.expect("CWD /pub").reply("250 ok").expect("PWD").reply("257 \"/pub\"");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QCOMPARE(m_ui->failures,
             std::vector<std::string>{"フォルダ「/pub/bomb/d0/d0」には 4 個の項目があり、待っている"
                                      "処理が多すぎるため、フォルダのダウンロードを中止しました。\r\n"});
    QVERIFY(m_engine->Queue().empty());
}

QTEST_GUILESS_MAIN(TestDownloadScripted)
#include "tst_download_scripted.moc"
