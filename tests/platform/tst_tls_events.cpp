#include "fixtures/TlsTestPeer.h"
#include "platform/Socket.h"
#include "platform/SocketError.h"
#include "platform/SocketEvents.h"
#include "platform/TlsLinger.h"

#include <QtTest>

#include <openssl/ssl.h>

#include <arpa/inet.h>

#include <atomic>
#include <string>
#include <vector>

// The socket event layer with TLS on a socket, against a TLS server on 127.0.0.1: the handshake
// event, plain-text reads and writes, the kinds of close, certificates, resumed sessions and the
// lingering close.
namespace {
constexpr int kMsg = 0x401;
const std::uint32_t kLoopback = htonl(INADDR_LOOPBACK);

struct Seen {
    std::uint32_t kind;
    int error;
};

// A client socket with TLS, driven by the event layer as the engine drives it.
class Client : public QObject {
public:
    Client() {
        connect(&events, &CSocketEvents::Event, this, [this](int, qintptr, quint32 word) {
            seen.push_back({EventKind(word), EventError(word)});
            if (EventKind(word) == SocketEvent::Connect && EventError(word) == 0)
                events.StartTls(sock.id(), params);
        });
    }
    void Open(quint16 port) {
        sock = Socket::CreateTcp();
        events.Select(sock.id(), kMsg, SocketEvent::Connect | SocketEvent::Close);
        events.Connect(sock.id(), kLoopback, port);
    }
    int count(std::uint32_t kind) const {
        int n = 0;
        for (const Seen& s : seen)
            n += s.kind == kind ? 1 : 0;
        return n;
    }
    const Seen* last(std::uint32_t kind) const {
        for (auto it = seen.rbegin(); it != seen.rend(); ++it)
            if (it->kind == kind)
                return &*it;
        return nullptr;
    }
    bool WaitHandshake() {
        return QTest::qWaitFor([this] { return count(SocketEvent::Tls) > 0; }, 5000) &&
               last(SocketEvent::Tls)->error == 0;
    }
    std::string ReceiveAll() {
        std::string text;
        char buf[4096];
        long n;
        while ((n = events.Receive(sock.id(), buf, sizeof buf)) > 0)
            text.append(buf, static_cast<std::size_t>(n));
        return text;
    }

    CSocketEvents events;
    Socket sock;
    TlsParams params{"127.0.0.1", std::make_shared<CTlsSessionCache>()};
    std::vector<Seen> seen;
};
} // namespace

class TestTlsEvents : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_cert.valid(), qPrintable(m_cert.error())); }

    void handshakeThenPlainTextBothWays();
    void textHeldInsideTlsIsReportedAgain();
    void closeKinds_data();
    void closeKinds();
    void failedHandshakeIsOneTlsEvent();
    void certificateFacts();
    void sessionsResumeOnLaterConnections_data();
    void sessionsResumeOnLaterConnections();
    void orderlyCloseLingersUntilThePeerHasEverything();
    void abortiveCloseSendsNoCloseNotify();

private:
    TestCertificate m_cert;
};

void TestTlsEvents::handshakeThenPlainTextBothWays() {
    std::atomic<bool> lineOk{false};
    TlsTestPeer peer(m_cert, [&](TlsPeerConnection& c) {
        lineOk = c.Read(7) == "USER a\n";
        c.Write("331 ok\r\n");
        c.Read(1);
    });
    QVERIFY(peer.valid());
    Client client;
    client.Open(peer.port());
    QVERIFY(client.WaitHandshake());
    // Interest asked for during the handshake waits for its end; write comes at once after it.
    client.events.Select(client.sock.id(), kMsg, SocketEvent::Write | SocketEvent::Read | SocketEvent::Close);
    QTRY_COMPARE(client.count(SocketEvent::Write), 1);
    QVERIFY(client.events.Send(client.sock.id(), "USER a\n"));
    QTRY_VERIFY(lineOk);
    QTRY_COMPARE(client.count(SocketEvent::Read), 1);
    QCOMPARE(client.ReceiveAll(), std::string("331 ok\r\n"));
    QCOMPARE(client.count(SocketEvent::Close), 0);
}

void TestTlsEvents::textHeldInsideTlsIsReportedAgain() {
    // The whole reply comes in one record; taking 4 bytes leaves 10 inside OpenSSL, where the
    // socket's own readiness never shows them.
    TlsTestPeer peer(m_cert, [](TlsPeerConnection& c) {
        c.Write("220 ready.\r\n..");
        c.Read(1);
    });
    Client client;
    client.Open(peer.port());
    QVERIFY(client.WaitHandshake());
    client.events.Select(client.sock.id(), kMsg, SocketEvent::Read | SocketEvent::Close);
    QTRY_COMPARE(client.count(SocketEvent::Read), 1);
    char buf[4];
    QCOMPARE(client.events.Receive(client.sock.id(), buf, sizeof buf), 4L);
    QTRY_COMPARE(client.count(SocketEvent::Read), 2);
    QCOMPARE(client.ReceiveAll(), std::string("ready.\r\n.."));
    QTest::qWait(100);
    QCOMPARE(client.count(SocketEvent::Read), 2);
}

void TestTlsEvents::closeKinds_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("error");
    QTest::newRow("close_notify") << 0 << 0;
    QTest::newRow("cut without close_notify") << 1 << SocketError::TlsTruncated;
    QTest::newRow("reset") << 2 << SocketError::ConnectionReset;
}

void TestTlsEvents::closeKinds() {
    QFETCH(int, kind);
    QFETCH(int, error);
    TlsTestPeer peer(m_cert, [kind](TlsPeerConnection& c) {
        c.Write("data");
        if (kind == 0)
            c.CloseNotify();
        else if (kind == 1)
            c.Truncate();
        else
            c.Reset();
        if (!c.SocketClosed())
            c.Read(1);
    });
    Client client;
    client.Open(peer.port());
    QVERIFY(client.WaitHandshake());
    client.events.Select(client.sock.id(), kMsg, SocketEvent::Read | SocketEvent::Close);
    QTRY_VERIFY(client.count(SocketEvent::Read) > 0 || client.count(SocketEvent::Close) > 0);
    // The text before a clean or cut end is still read; the close then tells which end it was.
    const std::string text = client.ReceiveAll();
    if (kind != 2)
        QCOMPARE(text, std::string("data"));
    QTRY_COMPARE(client.count(SocketEvent::Close), 1);
    QCOMPARE(client.last(SocketEvent::Close)->error, error);
    // Writing into a connection that is gone fails without killing the process by SIGPIPE.
    const std::string block(1 << 20, 'x');
    for (int i = 0; i < 8; ++i)
        client.events.Send(client.sock.id(), block);
}

void TestTlsEvents::failedHandshakeIsOneTlsEvent() {
    // A server that answers in plain text after AUTH TLS.
    Socket listener = ListenTcp(kLoopback, 0);
    std::uint32_t address;
    std::uint16_t port;
    QVERIFY(LocalAddress(listener.id(), address, port));
    Client client;
    client.Open(port);
    Socket served;
    QVERIFY(QTest::qWaitFor([&] { return (served = AcceptTcp(listener.id())).valid(); }, 5000));
    const char plain[] = "500 What is this?\r\n";
    QVERIFY(::send(served.id(), plain, sizeof plain - 1, MSG_NOSIGNAL) > 0);
    QTRY_COMPARE(client.count(SocketEvent::Tls), 1);
    QCOMPARE(client.last(SocketEvent::Tls)->error, SocketError::TlsFailed);
    QVERIFY(!client.events.Tls(client.sock.id())->FailureText().empty());
    served.close();
    QTest::qWait(100);
    QCOMPARE(client.seen.size(), std::size_t(2));
}

void TestTlsEvents::certificateFacts() {
    TlsTestPeer peer(m_cert, [](TlsPeerConnection& c) { c.Read(1); });
    const auto infoFor = [&](const std::string& host) {
        Client client;
        client.params.hostName = host;
        client.Open(peer.port());
        if (!client.WaitHandshake())
            return TlsPeerInfo{};
        return client.events.Tls(client.sock.id())->PeerInfo();
    };
    TlsPeerInfo unknown = infoFor("127.0.0.1");
    QCOMPARE(unknown.sha256Hex, m_cert.sha256());
    QCOMPARE(unknown.verifyCode, long(X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT));
    QVERIFY(!unknown.Verified());
    QCOMPARE(unknown.subject, std::string("O=lumo test,CN=localhost"));
    QCOMPARE(unknown.issuer, unknown.subject);
    QVERIFY(unknown.notBefore <= QDateTime::currentSecsSinceEpoch());
    QCOMPARE(unknown.notAfter - unknown.notBefore, std::int64_t(2 * 24 * 3600));
    QVERIFY(!unknown.protocol.empty() && !unknown.cipher.empty());

    // Once trusted, the name and the address in the certificate pass, another name does not.
    QVERIFY(TlsTrustCertificateFile(m_cert.certFile().toStdString()));
    QVERIFY(infoFor("127.0.0.1").Verified());
    QVERIFY(infoFor("[127.0.0.1]").Verified());
    QVERIFY(infoFor("localhost").Verified());
    TlsPeerInfo other = infoFor("ftp.example.jp");
    QCOMPARE(other.verifyCode, long(X509_V_ERR_HOSTNAME_MISMATCH));
    QVERIFY(!other.Verified());
    QCOMPARE(other.sha256Hex, m_cert.sha256());
}

void TestTlsEvents::sessionsResumeOnLaterConnections_data() {
    QTest::addColumn<int>("maxVersion");
    QTest::newRow("TLS 1.3, a new ticket per connection") << 0;
    QTest::newRow("TLS 1.2, one session again and again") << int(TLS1_2_VERSION);
}

void TestTlsEvents::sessionsResumeOnLaterConnections() {
    QFETCH(int, maxVersion);
    std::atomic<int> resumed{0};
    TlsTestPeer peer(
        m_cert,
        [&](TlsPeerConnection& c) {
            resumed += c.Resumed() ? 1 : 0;
            c.Write("226 ok\r\n");
            c.Read(1);
        },
        maxVersion);
    const auto session = std::make_shared<CTlsSessionCache>();
    for (int i = 0; i < 4; ++i) {
        Client client;
        client.params.sessions = session;
        client.Open(peer.port());
        QVERIFY(client.WaitHandshake());
        QCOMPARE(client.events.Tls(client.sock.id())->PeerInfo().resumed, i > 0);
        // Tickets come after the handshake and are taken in by the first read.
        client.events.Select(client.sock.id(), kMsg, SocketEvent::Read | SocketEvent::Close);
        QTRY_COMPARE(client.count(SocketEvent::Read), 1);
        QCOMPARE(client.ReceiveAll(), std::string("226 ok\r\n"));
        QVERIFY(session->Size() > 0);
    }
    QTRY_COMPARE(peer.finished(), 4);
    QCOMPARE(resumed.load(), 3);
}

void TestTlsEvents::orderlyCloseLingersUntilThePeerHasEverything() {
    // An upload: the client writes and closes while the server's session tickets lie unread in its
    // receive queue. A plain close would reset the connection and lose the end of the data.
    constexpr std::size_t kBytes = 8 << 20;
    std::atomic<std::size_t> received{0};
    std::atomic<bool> closeNotify{false};
    TlsTestPeer peer(m_cert, [&](TlsPeerConnection& c) {
        QThread::msleep(200);
        bool notify = false;
        received = c.ReadToEnd(notify);
        closeNotify = notify;
        c.CloseNotify();
    });
    Client client;
    client.Open(peer.port());
    QVERIFY(client.WaitHandshake());
    // As an upload's data socket: nothing read, so the tickets stay in the receive queue.
    client.events.Select(client.sock.id(), kMsg, SocketEvent::Write);
    const std::string block(64 * 1024, 'u');
    std::size_t sent = 0;
    while (sent < kBytes) {
        QTRY_VERIFY(client.events.PendingSend(client.sock.id()) == 0);
        QVERIFY(client.events.Send(client.sock.id(), block));
        sent += block.size();
    }
    QTRY_VERIFY(client.events.PendingSend(client.sock.id()) == 0);
    client.sock.shutdownAndClose();
    QTRY_COMPARE(peer.finished(), 1);
    QCOMPARE(received.load(), kBytes);
    QVERIFY(closeNotify);
    // The server's close_notify ends the wait long before its time runs out.
    QTRY_COMPARE_WITH_TIMEOUT(CTlsLinger::Count(), std::size_t(0), CTlsLinger::kLingerMs / 2);
}

void TestTlsEvents::abortiveCloseSendsNoCloseNotify() {
    // A cancelled upload must look cut short to the server, never complete.
    std::atomic<int> ending{-1};
    TlsTestPeer peer(m_cert, [&](TlsPeerConnection& c) {
        bool notify = false;
        c.ReadToEnd(notify);
        ending = notify ? 1 : 0;
    });
    Client client;
    client.Open(peer.port());
    QVERIFY(client.WaitHandshake());
    QVERIFY(client.events.Send(client.sock.id(), "partial"));
    client.sock.close();
    QTRY_VERIFY(ending != -1);
    QCOMPARE(ending.load(), 0);
}

QTEST_GUILESS_MAIN(TestTlsEvents)
#include "tst_tls_events.moc"
