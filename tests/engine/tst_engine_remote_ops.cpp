#include "StoreFixture.h"
#include "engine/FtpEngine.h"
#include "engine/RemoteNames.h"
#include "fixtures/EngineHosts.h"
#include "fixtures/EngineProbe.h"
#include "fixtures/RecordingUi.h"
#include "fixtures/ScriptedFtpPeer.h"
#include "platform/TextCodec.h"

#include <QtTest>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {
const char* const kMkdFailed = "フォルダの作成ができませんでした。\r\n";
const char* const kListFailed = "カレントディレクトリのファイル一覧を取得できませんでした。\r\n";
const char* const kRenameFailed = "名前の変更ができませんでした。\r\n";
const char* const kChmodFailed = "属性の変更ができませんでした。\r\n";

FileListRow File(const std::string& name, const std::string& attributes = "-rw-r--r--") {
    return FileListRow{name, "10", "2024/01/02 03:04", attributes};
}

FileListRow Folder(const std::string& name) {
    return FileListRow{name, "", "2024/01/02 03:04", "drwxr-xr-x"};
}

} // namespace

class TestEngineRemoteOps : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void deleteQueuesWhatTheEntriesNeed();
    void deleteSkipsNamesThatAreNotOneEntry();
    void deleteFileSendsDeleAndRefreshes();
    void renameRunsThroughTwoSteps();
    void renameRefusals();
    void renameOntoAnExistingNameAsksFirst();
    void mkdAndItsFailure();
    void attributesGoToEveryEntry();
    void cwdCdupPwdPositionTheTree();
    void pwdPathIsReadAsWrittenOrNotGuessed();
    void refusedOperationsDoNotStopTheQueue();
    void closeDuringAnOperationEndsTheSession();
    void typedNamesFollowTheServersEncoding();
    void lineBreaksNeverReachTheServer();

private:
    std::unique_ptr<StoreFixture> m_store;
    std::unique_ptr<ScriptedFtpPeer> m_peer;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<CFtpEngine> m_engine;

    // Logs in; once the listing the login queued has been refused, runs `atIdle`.
    ScriptedFtpPeer& LoginThen(std::function<void()> atIdle) {
        SaveScriptedHost(m_peer->port(), false);
        m_peer->reply("220 ready")
            .expect("USER user")
            .reply("331 password please")
            .expect("PASS secret")
            .reply("230 logged in")
            .expect("PWD")
            .reply("257 \"/cur\" is current");
        return Refresh(*m_peer).waitFor([this] { return !m_engine->IsBusy(); }).call(atIdle);
    }
    // The listing refresh that operations queue, refused at its first step.
    ScriptedFtpPeer& Refresh(ScriptedFtpPeer& peer) { return peer.expect("TYPE A").reply("504 not now"); }
    // Plays the script; the session then rests with nothing queued.
    void run() {
        m_engine->Connect(0);
        QTRY_VERIFY(m_peer->done());
        QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
        QTRY_VERIFY(!m_engine->IsBusy() && m_engine->Queue().empty());
    }
    std::string log() const { return m_ui->logText(); }
    // The engine's own failure texts, beside those of the refused refreshes.
    std::vector<std::string> FailuresBesideRefreshes() const {
        std::vector<std::string> out;
        for (const std::string& text : m_ui->failures) {
            if (text != kListFailed)
                out.push_back(text);
        }
        return out;
    }
    std::vector<std::string> RefusalsBesideRefreshes() const {
        std::vector<std::string> out;
        for (const std::string& line : m_ui->refusals) {
            if (line.find("504 not now") != 0)
                out.push_back(line);
        }
        return out;
    }
};

void TestEngineRemoteOps::init() {
    m_store = std::make_unique<StoreFixture>();
    m_peer = std::make_unique<ScriptedFtpPeer>();
    QVERIFY(m_peer->listen());
    m_ui = std::make_unique<RecordingUi>();
    m_ui->currentPath = "/cur";
    m_engine = std::make_unique<CFtpEngine>(*m_ui);
}

void TestEngineRemoteOps::cleanup() {
    m_engine.reset();
    m_ui.reset();
    m_peer.reset();
    m_store.reset();
}

void TestEngineRemoteOps::deleteQueuesWhatTheEntriesNeed() {
    std::deque<Operation> fileOnly, mixed, rootFolder, nothing;
    LoginThen([&] {
        // Held busy, so that the queue can be looked at before anything runs.
        EngineProbe::Busy(*m_engine) = 1;
        m_engine->Delete("/cur", {File("a")});
        fileOnly = m_engine->Queue();
        EngineProbe::Queue(*m_engine).clear();

        m_engine->Delete("/cur", {Folder("d"), File("b"), Folder("e")});
        mixed = m_engine->Queue();
        EngineProbe::Queue(*m_engine).clear();

        m_ui->currentPath = "";
        m_engine->Delete("", {Folder("d")});
        rootFolder = m_engine->Queue();
        EngineProbe::Queue(*m_engine).clear();

        m_engine->Delete("", {});
        nothing = m_engine->Queue();
        EngineProbe::Busy(*m_engine) = 0;
    });
    run();

    QCOMPARE(Steps(fileOnly), (std::vector<int>{WM_FTP_DELE, WM_FTP_LIST}));
    QCOMPARE(RemotePathOf(fileOnly[0]), std::string("/cur/a"));

    QCOMPARE(Steps(mixed),
             (std::vector<int>{WM_FTP_DELCWD, WM_FTP_CWD, WM_FTP_RMD, WM_FTP_DELE, WM_FTP_DELCWD, WM_FTP_CWD,
                               WM_FTP_RMD, WM_FTP_CWD, WM_FTP_PWD, WM_FTP_LIST}));
    QCOMPARE(RemotePaths(mixed), (std::vector<std::string>{"/cur/d", "/cur/", "/cur/d", "/cur/b", "/cur/e",
                                                           "/cur/", "/cur/e", "/cur/", "", ""}));

    // In the root the prefix is "/" alone.
    QCOMPARE(RemotePaths(rootFolder), (std::vector<std::string>{"/d", "/", "/d", "/", "", ""}));
    QVERIFY(nothing.empty());
}

void TestEngineRemoteOps::deleteSkipsNamesThatAreNotOneEntry() {
    std::deque<Operation> queued;
    LoginThen([&] {
        EngineProbe::Busy(*m_engine) = 1;
        m_engine->Delete("/cur", {File("../etc"), File("a/b"), File("ok"), Folder("..")});
        queued = m_engine->Queue();
        EngineProbe::Queue(*m_engine).clear();
        EngineProbe::Busy(*m_engine) = 0;
    });
    run();
    QCOMPARE(Steps(queued), (std::vector<int>{WM_FTP_DELE, WM_FTP_CWD, WM_FTP_PWD, WM_FTP_LIST}));
    QCOMPARE(RemotePathOf(queued[0]), std::string("/cur/ok"));
    QVERIFY(m_ui->logContains("「../etc」は一つのファイル名ではないため、削除しませんでした。\r\n"));
    QVERIFY(m_ui->logContains("「a/b」は一つのファイル名ではないため、削除しませんでした。\r\n"));
    QVERIFY(m_ui->logContains("「..」は一つのファイル名ではないため、削除しませんでした。\r\n"));
}

void TestEngineRemoteOps::deleteFileSendsDeleAndRefreshes() {
    LoginThen([this] { m_engine->Delete("/cur", {File("x y.txt")}); })
        .expect("DELE /cur/x y.txt")
        .reply("250 deleted");
    Refresh(*m_peer);
    run();
    QVERIFY(log().find("DELE /cur/x y.txt\r\n250 deleted\r\nTYPE A\r\n") != std::string::npos);
}

void TestEngineRemoteOps::renameRunsThroughTwoSteps() {
    LoginThen([this] {
        m_engine->RenameEntry("old name", QStringLiteral("新しい名前"));
        m_engine->RenameEntry("same", QStringLiteral("same"));
    })
        .expect("RNFR /cur/old name")
        .reply("350 ready for destination")
        .expect("RNTO /cur/新しい名前")
        .reply("250 renamed");
    Refresh(*m_peer)
        // Renaming to the same name still asks the server.
        .expect("RNFR /cur/same")
        .reply("350 ready")
        .expect("RNTO /cur/same")
        .reply("250 renamed");
    Refresh(*m_peer);
    run();
    QVERIFY(!m_ui->logContains(kRenameFailed));
}

void TestEngineRemoteOps::renameRefusals() {
    LoginThen([this] {
        m_engine->RenameEntry("missing", QStringLiteral("x"));
        m_engine->RenameEntry("a", QStringLiteral("taken"));
    })
        .expect("RNFR /cur/missing")
        .reply("550 no such file");
    Refresh(*m_peer)
        // A refused RNFR sends no RNTO.
        .expect("RNFR /cur/a")
        .reply("350 ready")
        .expect("RNTO /cur/taken")
        .reply("553 not allowed");
    Refresh(*m_peer);
    run();
    QVERIFY(log().find(std::string("550 no such file\r\n") + kRenameFailed + "TYPE A\r\n") !=
            std::string::npos);
    QVERIFY(log().find(std::string("553 not allowed\r\n") + kRenameFailed) != std::string::npos);
}

void TestEngineRemoteOps::renameOntoAnExistingNameAsksFirst() {
    m_ui->rows = {File("a"), File("b"), Folder("d")};
    LoginThen([this] {
        // No to the question: nothing is renamed, and the log says why.
        m_ui->renameAnswer = Answer::Cancel;
        m_engine->RenameEntry("a", QStringLiteral("b"));
        // A folder is never replaced, and not asked about.
        m_engine->RenameEntry("a", QStringLiteral("d"));
    });
    Refresh(*m_peer);
    Refresh(*m_peer).call([this] {
        m_ui->renameAnswer = Answer::Yes;
        m_engine->RenameEntry("a", QStringLiteral("b"));
        // A move from another folder meets the same list and the same question.
        m_engine->MoveEntry("/other/x", QStringLiteral("b"));
    });
    m_peer->expect("RNFR /cur/a").reply("350 ready").expect("RNTO /cur/b").reply("250 renamed");
    Refresh(*m_peer).expect("RNFR /other/x").reply("350 ready").expect("RNTO /cur/b").reply("250 moved");
    Refresh(*m_peer);
    run();
    QCOMPARE(m_ui->renameQuestions, (std::vector<std::string>{"/cur/b", "/cur/b", "/cur/b"}));
    QVERIFY(m_ui->logContains("「b」は既にあるため、名前を変更しませんでした。\r\n"));
    QCOMPARE(FailuresBesideRefreshes(),
             std::vector<std::string>{"カレントディレクトリには同一名のフォルダが存在するため、\r\n" +
                                      std::string(kRenameFailed)});
}

void TestEngineRemoteOps::mkdAndItsFailure() {
    LoginThen([this] {
        m_engine->CreateFolder(QStringLiteral("新しいフォルダ"));
        m_engine->CreateFolder(QStringLiteral("exists"));
    })
        .expect("MKD /cur/新しいフォルダ")
        .reply("257 \"/cur/新しいフォルダ\" created");
    Refresh(*m_peer).expect("MKD /cur/exists").reply("550 exists");
    Refresh(*m_peer);
    run();
    QVERIFY(log().find("257 \"/cur/新しいフォルダ\" created\r\nTYPE A\r\n") != std::string::npos);
    QVERIFY(log().find(std::string("MKD /cur/exists\r\n550 exists\r\n") + kMkdFailed) != std::string::npos);
    QCOMPARE(log().find(kMkdFailed), log().rfind(kMkdFailed));
    // Beside the log, the refusal and the engine's own text reach the UI once each.
    QCOMPARE(FailuresBesideRefreshes(), std::vector<std::string>{kMkdFailed});
    const std::vector<std::string> refusals = RefusalsBesideRefreshes();
    QCOMPARE(refusals.size(), size_t(1));
    QVERIFY(refusals[0].find("550 exists") == 0);
}

void TestEngineRemoteOps::attributesGoToEveryEntry() {
    // A number typed as 5 goes out as 500.
    LoginThen([this] {
        m_engine->ChangeAttributes("/cur", {"a", "b", "d"}, "SITE PERM", "5");
    })
        .expect("SITE PERM 500 /cur/a")
        .reply("200 done")
        .expect("SITE PERM 500 /cur/b")
        .reply("202 nothing to do")
        .expect("SITE PERM 500 /cur/d")
        .reply("550 not permitted");
    Refresh(*m_peer);
    run();
    QVERIFY(log().find(std::string("550 not permitted\r\n") + kChmodFailed) != std::string::npos);
    QCOMPARE(log().find(kChmodFailed), log().rfind(kChmodFailed));
}

void TestEngineRemoteOps::cwdCdupPwdPositionTheTree() {
    LoginThen([this] { m_engine->ChangeFolder("/pub/sub"); })
        .expect("CWD /pub/sub")
        .reply("250 ok")
        .expect("PWD")
        .reply("257 \"/pub/sub\" is current")
        .call([this] { m_engine->GoToParentFolder(); });
    Refresh(*m_peer).expect("CDUP").reply("200 ok").expect("PWD").reply("257 \"/pub\"").call([this] {
        m_engine->GoToParentFolder();
    });
    Refresh(*m_peer).expect("CDUP").reply("250 ok").expect("PWD").reply("257 \"/\"");
    Refresh(*m_peer);
    run();
    QCOMPARE(m_ui->foldersSet, (std::vector<std::string>{"/cur", "/pub/sub", "/pub", "/"}));
}

void TestEngineRemoteOps::pwdPathIsReadAsWrittenOrNotGuessed() {
    // RFC 959 doubles a quote inside the path: the folder is q"dir, and the file in it goes.
    LoginThen([this] { m_engine->ChangeFolder("/q\"dir"); })
        .expect("CWD /q\"dir")
        .reply("250 ok")
        .expect("PWD")
        .reply("257 \"/q\"\"dir\" is current")
        // The list shows the folder once its refresh runs; the user then deletes.
        .expect("TYPE A")
        .call([this] { m_engine->Delete(m_ui->currentPath, {File("x.txt")}); })
        .reply("504 not now")
        .expect("DELE /q\"dir/x.txt")
        .reply("250 deleted");
    // A reply without quotes: the folder the session asked for in CWD, never what the text seems
    // to say.
    Refresh(*m_peer)
        .call([this] { m_engine->ChangeFolder("/sub/"); })
        .expect("CWD /sub/")
        .reply("250 ok")
        .expect("PWD")
        .reply("257 /elsewhere")
        .expect("TYPE A")
        .call([this] { m_engine->Delete(m_ui->currentPath, {File("x.txt")}); })
        .reply("504 not now")
        .expect("DELE /sub/x.txt")
        .reply("250 deleted");
    // After CDUP the session does not know where it is: what was to follow is dropped with a
    // failure line, and no file is deleted by a guessed path.
    Refresh(*m_peer)
        .call([this] {
            m_engine->GoToParentFolder();
            m_engine->Delete(m_ui->currentPath, {File("x.txt")});
        })
        .expect("CDUP")
        .reply("250 ok")
        .expect("PWD")
        .reply("257 no quotes here")
        .waitFor([this] { return !m_engine->IsBusy(); });
    run();
    QCOMPARE(m_ui->foldersSet, (std::vector<std::string>{"/cur", "/q\"dir", "/sub"}));
    QCOMPARE(m_peer->commands().back(), std::string("PWD"));
    QCOMPARE(FailuresBesideRefreshes(),
             std::vector<std::string>{"作業フォルダが分からないため、続く処理を取りやめました。\r\n"});
}

void TestEngineRemoteOps::refusedOperationsDoNotStopTheQueue() {
    LoginThen([this] {
        m_engine->Delete("/cur", {File("a"), File("b")});
        m_engine->ChangeFolder("/nowhere");
    })
        .expect("DELE /cur/a")
        .reply("550 permission denied")
        .expect("DELE /cur/b")
        .send("250-deleted\r\n250 ", {6})
        .send("done\r\n");
    // The refresh of the delete runs before the change of folder queued behind it.
    Refresh(*m_peer).expect("CWD /nowhere").reply("550 no such folder").expect("PWD").reply("257 \"/cur\"");
    Refresh(*m_peer);
    run();
    QVERIFY(m_ui->logContains("DELE /cur/b\r\n250-deleted\r\n250 done\r\n"));
    // Refusals without a text of the engine's own still reach the UI, each with its reply line.
    const std::vector<std::string> refusals = RefusalsBesideRefreshes();
    QCOMPARE(refusals.size(), size_t(2));
    QVERIFY(refusals[0].find("550 permission denied") == 0);
    QVERIFY(refusals[1].find("550 no such folder") == 0);
    QVERIFY(FailuresBesideRefreshes().empty());
}

void TestEngineRemoteOps::closeDuringAnOperationEndsTheSession() {
    LoginThen([this] { m_engine->RenameEntry("a", QStringLiteral("b")); })
        .expect("RNFR /cur/a")
        .reply("350 ready")
        .expect("RNTO /cur/b")
        .close();
    m_engine->Connect(0);
    QTRY_VERIFY(!m_engine->IsConnected());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QVERIFY(m_ui->logContains("RNTO /cur/b\r\nホストから切断されました。\r\n"));
    QVERIFY(m_engine->Queue().empty());
}

void TestEngineRemoteOps::typedNamesFollowTheServersEncoding() {
    const QString name = QStringLiteral("表示");
    const std::string sjis = EncodeCp932(name);
    const std::string utf8 = EncodeUtf8(name);
    const std::string sjisListing = "-rw-r--r--   1 ftp ftp 10 Jan  2 03:04 " + sjis + "\r\n";
    const std::string utf8Listing = "-rw-r--r--   1 ftp ftp 10 Jan  2 03:04 " + utf8 + "\r\n";
    QCOMPARE(m_engine->ServerNameFor(name), utf8);
    EngineProbe::ReviewListing(*m_engine, utf8Listing, false);
    QCOMPARE(m_engine->ServerNameFor(name), utf8);
    EngineProbe::ReviewListing(*m_engine, sjisListing, false);
    QCOMPARE(m_engine->ServerNameFor(name), sjis);
    QVERIFY(m_ui->names == m_engine->Names());
    // Once seen, the server's encoding stays for the session even when a later listing is plain.
    EngineProbe::ReviewListing(*m_engine, utf8Listing, false);
    QCOMPARE(m_engine->ServerNameFor(name), sjis);

    // EUC-JP names also read as CP932 (half-width kana) but CP932 names with kanji are not EUC-JP:
    // a listing whose every other name is EUC-JP is taken as EUC-JP.
    const std::string euc = EncodeIn(RemoteCharset::EucJp, name);
    NameCodec& names = EngineProbe::Names(*m_engine);
    names = NameCodec(RemoteCharset::Auto);
    EngineProbe::ReviewListing(*m_engine,
                               "-rw-r--r-- 1 ftp ftp 10 Jan  2 03:04 " + euc + "\r\n" + utf8Listing, false);
    QCOMPARE(m_engine->ServerNameFor(name), euc);
    QCOMPARE(m_engine->Names().Decode(euc), name);
    QCOMPARE(m_engine->Names().Decode(utf8), name);
    names = NameCodec(RemoteCharset::Auto);
    EngineProbe::ReviewListing(*m_engine,
                               "-rw-r--r-- 1 ftp ftp 10 Jan  2 03:04 " + euc + "\r\n" + sjisListing, false);
    QCOMPARE(m_engine->ServerNameFor(name), sjis);
    // A set the host names is kept whatever the listings hold; a decomposed local name goes composed.
    names = NameCodec(RemoteCharset::EucJp);
    EngineProbe::ReviewListing(*m_engine, sjisListing, false);
    QCOMPARE(m_engine->ServerNameFor(name), euc);
    names = NameCodec(RemoteCharset::Utf8);
    QCOMPARE(m_engine->ServerNameFor(QStringLiteral("か\u3099")), std::string("\xE3\x81\x8C"));
    names = NameCodec(RemoteCharset::Jis);
    QCOMPARE(m_engine->ServerNameFor(name), EncodeIn(RemoteCharset::Jis, name));
    QCOMPARE(m_engine->Names().Decode(EncodeIn(RemoteCharset::Jis, name)), name);

    // A new session starts from UTF-8 again; a Shift-JIS listing turns typed names into Shift-JIS.
    LoginThen([&] {
        QCOMPARE(m_engine->ServerNameFor(name), utf8);
        EngineProbe::ReviewListing(*m_engine, sjisListing, false);
        m_engine->CreateFolder(name);
    })
        .expect("MKD /cur/" + sjis)
        .reply("257 created");
    Refresh(*m_peer);
    run();
}

void TestEngineRemoteOps::lineBreaksNeverReachTheServer() {
    QVERIFY(!IsOneCommandLine("a\r\nDELE b"));
    QVERIFY(!IsOneCommandLine("a\nb"));
    QVERIFY(IsOneCommandLine("a b"));
    QVERIFY(!IsSafeRemoteName("a\rb"));
    QVERIFY(IsSafeRemoteName("a b -> c"));

    LoginThen([this] {
        EngineProbe::Busy(*m_engine) = 1;
        m_engine->CreateFolder(QStringLiteral("x\r\nDELE /cur/important"));
        m_engine->RenameEntry("a", QStringLiteral("b\nRMD /"));
        QCOMPARE(Steps(m_engine->Queue()), (std::vector<int>{WM_FTP_LIST, WM_FTP_LIST}));
        EngineProbe::Queue(*m_engine).clear();
        m_engine->CreateFolder(QStringLiteral("fine"));
        EngineProbe::Busy(*m_engine) = 0;
        EngineProbe::Dispatch(*m_engine);
    })
        .expect("MKD /cur/fine")
        .reply("257 ok");
    Refresh(*m_peer);
    run();
    QVERIFY(m_ui->logContains(kMkdFailed));
    QVERIFY(m_ui->logContains(kRenameFailed));
    QVERIFY(!m_ui->logContains("important"));
}

QTEST_GUILESS_MAIN(TestEngineRemoteOps)
#include "tst_engine_remote_ops.moc"
