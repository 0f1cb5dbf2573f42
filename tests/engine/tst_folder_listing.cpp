#include "StoreFixture.h"
#include "engine/FtpEngine.h"
#include "engine/ListingReview.h"
#include "engine/ReplyTexts.h"
#include "fixtures/EngineHosts.h"
#include "fixtures/EngineProbe.h"
#include "fixtures/RecordingUi.h"
#include "fixtures/ScriptedFtpPeer.h"
#include "hosts/QXDoc.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKey.h"

#include <QTcpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {
const char* const kListFailed = "カレントディレクトリのファイル一覧を取得できませんでした。\r\n";
const std::string kListing = "total 8\r\n"
                             "drwxr-xr-x   2 owner group      512 Dec 31  1999 pub\r\n"
                             "-rw-r--r--   1 owner group     1234 Jan  5 12:00 readme.txt\r\n";
} // namespace

class TestFolderListing : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void pasvReplyIsParsed_data();
    void pasvReplyIsParsed();
    void portCommandNamesTheControlConnectionsAddress();
    void listingCompletesOnceInEitherOrder_data();
    void listingCompletesOnceInEitherOrder();
    void noTimeOutIsPendingOnceTheListingIsDone_data() { listingCompletesOnceInEitherOrder_data(); }
    void noTimeOutIsPendingOnceTheListingIsDone();
    void pasvAddressIsNotTrusted_data();
    void pasvAddressIsNotTrusted();
    void refusedStepsEndTheListing_data();
    void refusedStepsEndTheListing();
    void activeModeRefusesAConnectionFromAnotherHost();
    void endlessListingIsCutOff();
    void unreadableLinesAreLoggedShort();

private:
    std::unique_ptr<StoreFixture> m_store;
    std::unique_ptr<ScriptedFtpPeer> m_peer;
    std::unique_ptr<RecordingUi> m_ui;
    std::unique_ptr<CFtpEngine> m_engine;

    bool idle() const {
        return !m_engine->IsBusy() &&
               EngineProbe::Events(*m_engine).Message(EngineProbe::ControlSocket(*m_engine)) == WM_FTP_IDLE;
    }
};

void TestFolderListing::init() {
    m_store = std::make_unique<StoreFixture>();
    m_peer = std::make_unique<ScriptedFtpPeer>();
    QVERIFY(m_peer->listen());
    m_ui = std::make_unique<RecordingUi>();
    m_engine = std::make_unique<CFtpEngine>(*m_ui);
}

void TestFolderListing::cleanup() {
    m_engine.reset();
    m_ui.reset();
    m_peer.reset();
    m_store.reset();
}

void TestFolderListing::pasvReplyIsParsed_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::newRow("usual") << "227 Entering Passive Mode (10,0,0,5,19,137)." << true << "10.0.0.5" << 5001;
    // RFC 1123 4.1.2.6: the numbers are found wherever they stand.
    QTest::newRow("no parentheses") << "227 Entering Passive Mode 127,0,0,1,4,1" << true << "127.0.0.1"
                                    << 1025;
    QTest::newRow("after an equals sign") << "227 =127,0,0,1,4,1" << true << "127.0.0.1" << 1025;
    QTest::newRow("another number before them") << "227 Mode 2 (10,0,0,5,0,21)" << true << "10.0.0.5" << 21;
    QTest::newRow("missing fields") << "227 (1,2,3)" << false << "" << 0;
    QTest::newRow("digits then junk") << "227 (127,0,0,1,4x,7y)" << false << "" << 0;
    QTest::newRow("no address at all") << "227 Entering Passive Mode" << false << "" << 0;
    // Numbers past 255 are refused, also those too big for an int.
    QTest::newRow("port byte of 256") << "227 (127,0,0,1,256,1)" << false << "" << 0;
    QTest::newRow("huge number") << "227 (127,0,0,1,99999999,1)" << false << "" << 0;
    QTest::newRow("endless digits") << "227 (127,0,0,1," + QString(400, u'9') + ",1)" << false << "" << 0;
}

void TestFolderListing::pasvReplyIsParsed() {
    QFETCH(QString, line);
    QFETCH(bool, ok);
    QFETCH(QString, address);
    QFETCH(int, port);
    std::string a;
    int p = 0;
    QCOMPARE(ParsePasvReply(line.toStdString(), a, p), ok);
    if (ok) {
        QCOMPARE(QString::fromStdString(a), address);
        QCOMPARE(p, port);
    }
}

void TestFolderListing::portCommandNamesTheControlConnectionsAddress() {
    Socket listener = ListenTcp(htonl(INADDR_LOOPBACK), 0);
    std::uint32_t a;
    std::uint16_t port;
    QVERIFY(LocalAddress(listener.id(), a, port));
    Socket ctrl = Socket::CreateTcp();
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(port);
    ::connect(ctrl.id(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    QTRY_VERIFY(LocalAddress(ctrl.id(), a, port) && port != 0);

    Socket listening;
    const std::string line = EngineProbe::MakePortCommand(*m_engine, ctrl.id(), listening);
    QVERIFY(listening.valid());
    std::uint32_t bound;
    std::uint16_t dataPort;
    QVERIFY(LocalAddress(listening.id(), bound, dataPort));
    QCOMPARE(bound, htonl(INADDR_LOOPBACK));
    char expected[64];
    std::snprintf(expected, sizeof expected, "PORT 127,0,0,1,%d,%d", dataPort >> 8, dataPort & 0xFF);
    QCOMPARE(line, std::string(expected));

    // Without a connected control socket there is no address to name.
    Socket none;
    QCOMPARE(EngineProbe::MakePortCommand(*m_engine, -1, none), std::string());
    QVERIFY(!none.valid());
}

void TestFolderListing::listingCompletesOnceInEitherOrder_data() {
    QTest::addColumn<bool>("passive");
    QTest::addColumn<bool>("dataCloseFirst");
    QTest::newRow("passive, data close first") << true << true;
    QTest::newRow("passive, final reply first") << true << false;
    QTest::newRow("active, data close first") << false << true;
    QTest::newRow("active, final reply first") << false << false;
}

void TestFolderListing::listingCompletesOnceInEitherOrder() {
    QFETCH(bool, passive);
    QFETCH(bool, dataCloseFirst);
    SaveScriptedHost(m_peer->port(), passive);
    ScriptedFtpPeer& p = LoginScript(*m_peer).expect("TYPE A").reply("200 Type set to A");
    DataStep(p, passive).expect("LIST").reply("150 Here comes the listing").sendData(kListing);
    if (dataCloseFirst) {
        p.closeData()
            .waitFor([this] { return EngineProbe::FirstOfTwoSeen(*m_engine); })
            .call([this] { QVERIFY(m_ui->listings.empty()); })
            .reply("226 Transfer complete");
    } else {
        p.reply("226 Transfer complete")
            .waitFor([this] { return EngineProbe::FirstOfTwoSeen(*m_engine); })
            .call([this] { QVERIFY(m_ui->listings.empty()); })
            .closeData();
    }
    // A PWD queued behind the listing shows that the queue goes on once, after both events.
    p.call([this] { EngineProbe::Enqueue(*m_engine, Op::PrintFolder{}); })
        .expect("PWD")
        .reply("257 \"/next\"");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QCOMPARE(m_ui->listings.size(), size_t(1));
    QCOMPARE(m_ui->listings[0], RecordingUi::NamesIn(kListing));
    QCOMPARE(m_ui->foldersSet.back(), std::string("/next"));
    QVERIFY(!m_ui->logContains(kListFailed));
    QVERIFY(EngineProbe::DataConns(*m_engine).empty());
    QCOMPARE(m_peer->dataConnectionCount(), 1);
}

// The data side's last event may come after the final reply; the time-out it set must not fire
// later on an idle session ("timed out" in the log, the queue thrown away).
void TestFolderListing::noTimeOutIsPendingOnceTheListingIsDone() {
    QFETCH(bool, passive);
    QFETCH(bool, dataCloseFirst);
    SaveScriptedHost(m_peer->port(), passive);
    ScriptedFtpPeer& p = LoginScript(*m_peer).expect("TYPE A").reply("200 Type set to A");
    DataStep(p, passive).expect("LIST").reply("150 Here comes the listing").sendData(kListing);
    const auto firstEventTaken = [this] { return EngineProbe::FirstOfTwoSeen(*m_engine); };
    if (dataCloseFirst)
        p.closeData().waitFor(firstEventTaken).reply("226 Transfer complete");
    else
        p.reply("226 Transfer complete").waitFor(firstEventTaken).closeData();
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QTRY_VERIFY(idle());
    QCOMPARE(m_ui->listings.size(), size_t(1));
    QVERIFY(!EngineProbe::IsReplyTimerActive(*m_engine));
}

void TestFolderListing::pasvAddressIsNotTrusted_data() {
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("firewall");
    QTest::newRow("private address") << "10,0,0,5" << false;
    QTest::newRow("another host") << "192,0,2,1" << false;
    QTest::newRow("any address") << "0,0,0,0" << false;
    QTest::newRow("through a firewall") << "192,0,2,1" << true;
}

void TestFolderListing::pasvAddressIsNotTrusted() {
    QFETCH(QString, shown);
    QFETCH(bool, firewall);
    if (firewall) {
        // The peer is the firewall; the data connection goes to it as the control connection does.
        HostRecord h;
        h.Name = "テスト";
        h.Adr = "ftp.example.jp";
        h.User = "user";
        h.Pass = "secret";
        h.Firewall = 1;
        h.Pasv = 1;
        CQXDoc().SaveHost(0, h);
        SettingsKey key;
        key.CreateKey(KeyFamily::Host);
        key.WriteString(SettingName::FireAdr, "127.0.0.1");
        key.WriteDword(SettingName::FirePort, m_peer->port());
        key.WriteDword(SettingName::FireType, 0);
        m_peer->reply("220 firewall ready")
            .expect("USER user@ftp.example.jp")
            .reply("331 password please")
            .expect("PASS secret")
            .reply("230 logged in")
            .expect("PWD")
            .reply("257 \"/\"");
    } else {
        SaveScriptedHost(m_peer->port(), true);
        LoginScript(*m_peer);
    }
    m_peer->expect("TYPE A")
        .reply("200 ok")
        .expectPasv(shown.toStdString())
        .expect("LIST")
        .reply("150 listing")
        .sendData(kListing)
        .closeData()
        .reply("226 done");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_COMPARE(m_ui->listings.size(), size_t(1));
    QCOMPARE(m_ui->listings[0], RecordingUi::NamesIn(kListing));
}

void TestFolderListing::refusedStepsEndTheListing_data() {
    QTest::addColumn<bool>("passive");
    QTest::addColumn<int>("refused");
    QTest::newRow("TYPE") << true << 0;
    QTest::newRow("PASV") << true << 1;
    QTest::newRow("PORT") << false << 1;
    QTest::newRow("LIST, passive") << true << 2;
    QTest::newRow("LIST, active") << false << 2;
    QTest::newRow("PASV without an address") << true << 3;
    // A positive reply that is not the one the step needs ends the listing as loudly as a refusal.
    QTest::newRow("PASV answered 200") << true << 4;
}

void TestFolderListing::refusedStepsEndTheListing() {
    QFETCH(bool, passive);
    QFETCH(int, refused);
    SaveScriptedHost(m_peer->port(), passive);
    ScriptedFtpPeer& p = LoginScript(*m_peer).expect("TYPE A");
    // Queued while the listing runs: it must start once the listing has ended.
    auto queuePwd = [this] { EngineProbe::Enqueue(*m_engine, Op::PrintFolder{}); };
    if (refused == 0) {
        p.call(queuePwd).reply("504 no");
    } else if (refused == 1) {
        p.reply("200 ok");
        if (passive)
            p.expect("PASV").call(queuePwd).reply("502 no passive mode");
        else
            p.expectPrefix("PORT ").call(queuePwd).reply("500 no active mode");
    } else if (refused == 2) {
        DataStep(p.reply("200 ok"), passive).expect("LIST").call(queuePwd).reply("550 no such folder");
    } else {
        p.reply("200 ok").expect("PASV").call(queuePwd).reply(refused == 3 ? "227 Entering Passive Mode"
                                                                           : "200 Sure");
    }
    p.expect("PWD").reply("257 \"/after\"");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QVERIFY(m_ui->listings.empty());
    QVERIFY(m_ui->logContains(kListFailed));
    QCOMPARE(m_ui->failures.back(), std::string(kListFailed));
    // Nothing of the data side stays behind: no listening or connecting socket.
    QVERIFY(EngineProbe::DataConns(*m_engine).empty());
    QVERIFY(EngineProbe::DataConns(*m_engine).empty());
}

void TestFolderListing::activeModeRefusesAConnectionFromAnotherHost() {
    SaveScriptedHost(m_peer->port(), false);
    QTcpSocket stray;
    bool strayConnected = false;
    bool strayDropped = false;
    connect(&stray, &QTcpSocket::connected, this, [&] { strayConnected = true; });
    connect(&stray, &QTcpSocket::disconnected, this, [&] { strayDropped = true; });
    LoginScript(*m_peer)
        .expect("TYPE A")
        .reply("200 ok")
        .expectPrefix("PORT ")
        .call([&] {
            int h1, h2, h3, h4, p1, p2;
            QCOMPARE(std::sscanf(m_peer->commands().back().c_str(), "PORT %d,%d,%d,%d,%d,%d", &h1, &h2, &h3,
                                 &h4, &p1, &p2),
                     6);
            QVERIFY(stray.bind(QHostAddress(QStringLiteral("127.0.0.2"))));
            stray.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(p1 * 256 + p2));
        })
        .waitFor([&] { return strayDropped; })
        .connectDataToPort()
        .reply("200 PORT command successful")
        .expect("LIST")
        .reply("150 listing")
        .sendData(kListing)
        .closeData()
        .reply("226 done");
    m_engine->Connect(0);
    QTRY_VERIFY(m_peer->done());
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QVERIFY(strayConnected);
    // Said, or the user would only ever see a time-out.
    QVERIFY(m_ui->logContains("サーバー以外のアドレス (127.0.0.2) からのデータ接続を拒否しました。\r\n"));
    QTRY_COMPARE(m_ui->listings.size(), size_t(1));
    QCOMPARE(m_ui->listings[0], RecordingUi::NamesIn(kListing));
}

void TestFolderListing::endlessListingIsCutOff() {
    SaveScriptedHost(m_peer->port(), true);
    const std::string line = "-rw-r--r--   1 owner group     1234 Jan  5 12:00 again-and-again.txt\r\n";
    std::string flood;
    while (flood.size() <= CFtpEngine::kMaxListing)
        flood += line;
    const char* const kTooBig = "ファイル一覧が大きすぎるため、受信を打ち切りました。\r\n";
    LoginScript(*m_peer)
        .expect("TYPE A")
        .reply("200 ok")
        .expectPasv()
        .expect("LIST")
        .reply("150 Here comes the listing")
        .sendData(flood)
        .waitFor([this, kTooBig] { return m_ui->logContains(kTooBig); })
        .reply("426 Connection closed; transfer aborted");
    m_engine->Connect(0);
    QTRY_VERIFY_WITH_TIMEOUT(m_peer->done(), 20000);
    QVERIFY2(!m_peer->failed(), qPrintable(m_peer->failure()));
    QTRY_VERIFY(idle());
    QVERIFY(m_ui->listings.empty());
    QCOMPARE(m_ui->failures, (std::vector<std::string>{kTooBig, kListFailed}));
    // The text received so far is let go, not kept until the next listing.
    QVERIFY(EngineProbe::Review(*m_engine).HeldBytes() < 1024 * 1024);
}

// A hostile listing: a line of megabytes and a hundred thousand more that no layout fits. The log
// gets a head of the first lines and a count of the rest, and a folder download still fails.
void TestFolderListing::unreadableLinesAreLoggedShort() {
    const std::string huge = "?rw-r--r-- 1 o g 1 Jan  1  2020 " + std::string(8 * 1024 * 1024, 'x');
    std::string listing = kListing + huge + "\r\n";
    for (int i = 0; i < 100000; ++i)
        listing += "no entry\r\n";
    QVERIFY(!EngineProbe::ReviewListing(*m_engine, listing, true));
    QCOMPARE(m_ui->failures.size(), ListingReview::kKeptLines + 1);
    const std::size_t leftOut = huge.size() - ListingReview::kHeadBytes;
    QCOMPARE(m_ui->failures[0],
             "ファイル一覧の次の行を読み取れませんでした: " + huge.substr(0, ListingReview::kHeadBytes) +
                 "… (残り " + GroupedCount(leftOut) + " バイトは省略しました)\r\n");
    QCOMPARE(m_ui->failures[1], std::string("ファイル一覧の次の行を読み取れませんでした: no entry\r\n"));
    QCOMPARE(m_ui->failures.back(), "ファイル一覧のほかの " +
                                        GroupedCount(100001 - ListingReview::kKeptLines) +
                                        " 行も読み取れませんでした。\r\n");
    QVERIFY(m_ui->log.Text().size() < 8 * 1024);
    // The file list shows what it can and only logs what it could not read.
    m_ui->failures.clear();
    QVERIFY(!EngineProbe::ReviewListing(*m_engine, listing, false));
    QVERIFY(m_ui->failures.empty());
}

QTEST_GUILESS_MAIN(TestFolderListing)
#include "tst_folder_listing.moc"
