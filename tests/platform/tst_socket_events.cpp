#include "platform/NameLookup.h"
#include "platform/Socket.h"
#include "platform/SocketError.h"
#include "platform/SocketEvents.h"

#include <QSignalSpy>
#include <QtTest>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {
const std::uint32_t kLoopback = htonl(INADDR_LOOPBACK);
constexpr int kMsgA = 0x401;
constexpr int kMsgB = 0x402;
// How long nothing must happen before a test believes that nothing will.
constexpr int kQuietMs = 100;

struct Seen {
    int message;
    SocketId socket;
    std::uint32_t kind;
    int error;
};

class Recorder : public QObject {
public:
    explicit Recorder(CSocketEvents& events) {
        connect(&events, &CSocketEvents::Event, this, [this](int message, qintptr s, quint32 word) {
            seen.push_back({message, static_cast<SocketId>(s), EventKind(word), EventError(word)});
        });
    }
    int count(std::uint32_t kind) const {
        int n = 0;
        for (const Seen& s : seen)
            n += s.kind == kind ? 1 : 0;
        return n;
    }
    std::vector<Seen> seen;
};

// A connected pair on 127.0.0.1: `client` made by connect, `server` by accept.
struct Pair {
    Socket client;
    Socket server;
};

Pair MakePair() {
    Pair p;
    Socket listener = ListenTcp(kLoopback, 0);
    std::uint32_t address;
    std::uint16_t port;
    if (!LocalAddress(listener.id(), address, port))
        return p;
    p.client = Socket::CreateTcp();
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = kLoopback;
    sa.sin_port = htons(port);
    ::connect(p.client.id(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    for (int i = 0; i < 200 && !p.server.valid(); ++i) {
        int fd = ::accept4(listener.id(), nullptr, nullptr, SOCK_NONBLOCK);
        if (fd >= 0)
            p.server = Socket(fd);
        else
            QTest::qWait(5);
    }
    // Let the client side finish its handshake.
    QTest::qWait(10);
    return p;
}

void SendRaw(const Socket& s, const std::string& bytes) {
    ::send(s.id(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

// A port where nothing listens. The socket stays bound so that no other socket, the connecting
// one included, can take the port meanwhile.
Socket BoundNotListening(std::uint16_t& port) {
    Socket s = Socket::CreateTcp();
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = kLoopback;
    ::bind(s.id(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    std::uint32_t address;
    LocalAddress(s.id(), address, port);
    return s;
}
} // namespace

class TestSocketEvents : public QObject {
    Q_OBJECT
private slots:
    void writeIsReportedAtOnceAndOnlyOnce();
    void readIsReportedAgainWhileDataStaysWaiting();
    void registrationReplacesAndEmptySetCancels();
    void connectIsReportedOnceWithItsError();
    void acceptIsReportedForAPendingConnection();
    void ipv6ConnectAcceptAndAddresses();
    void orderlyCloseAndResetAreReported();
    void closeIsSeenBehindUnreadData();
    void sendFinishesTheWholeTextUnderBackPressure();
    void closingASocketDropsItsRegistration();
    void errorNumbersAreTheWindowsOnes();
    void nameLookupGivesOneAnswer();
};

void TestSocketEvents::writeIsReportedAtOnceAndOnlyOnce() {
    CSocketEvents events;
    Recorder rec(events);
    Pair p = MakePair();
    QVERIFY(p.client.valid() && p.server.valid());

    events.Select(p.client.id(), kMsgA, SocketEvent::Write | SocketEvent::Close);
    QTRY_COMPARE(rec.count(SocketEvent::Write), 1);
    QCOMPARE(rec.seen[0].message, kMsgA);
    QCOMPARE(rec.seen[0].socket, p.client.id());
    QCOMPARE(rec.seen[0].error, 0);
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.count(SocketEvent::Write), 1);

    // A new registration asks again and is answered again.
    events.Select(p.client.id(), kMsgB, SocketEvent::Write | SocketEvent::Close);
    QTRY_COMPARE(rec.count(SocketEvent::Write), 2);
    QCOMPARE(rec.seen.back().message, kMsgB);
}

void TestSocketEvents::readIsReportedAgainWhileDataStaysWaiting() {
    CSocketEvents events;
    Recorder rec(events);
    Pair p = MakePair();
    events.Select(p.client.id(), kMsgA, SocketEvent::Read | SocketEvent::Close);
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.seen.size(), size_t(0));

    SendRaw(p.server, "0123456789");
    QTRY_COMPARE(rec.count(SocketEvent::Read), 1);
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.count(SocketEvent::Read), 1);

    char buf[16];
    QCOMPARE(events.Receive(p.client.id(), buf, 4), 4L);
    QTRY_COMPARE(rec.count(SocketEvent::Read), 2);
    QCOMPARE(events.Receive(p.client.id(), buf, sizeof buf), 6L);
    QCOMPARE(std::string(buf, 6), std::string("456789"));
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.count(SocketEvent::Read), 2);
    QCOMPARE(events.Receive(p.client.id(), buf, sizeof buf), -1L);

    SendRaw(p.server, "x");
    QTRY_COMPARE(rec.count(SocketEvent::Read), 3);
    QCOMPARE(rec.count(SocketEvent::Close), 0);
}

void TestSocketEvents::registrationReplacesAndEmptySetCancels() {
    CSocketEvents events;
    Recorder rec(events);
    Pair p = MakePair();
    events.Select(p.client.id(), kMsgA, SocketEvent::Read | SocketEvent::Close);
    events.Select(p.client.id(), kMsgA, 0);
    SendRaw(p.server, "abc");
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.seen.size(), size_t(0));

    events.Select(p.client.id(), kMsgB, SocketEvent::Read | SocketEvent::Close);
    QTRY_COMPARE(rec.seen.size(), size_t(1));
    QCOMPARE(rec.seen[0].message, kMsgB);
    QCOMPARE(rec.seen[0].kind, SocketEvent::Read);
    QCOMPARE(events.Message(p.client.id()), kMsgB);

    // Write interest alone: the waiting data is not reported.
    char buf[8];
    events.Receive(p.client.id(), buf, 1);
    events.Select(p.client.id(), kMsgA, SocketEvent::Write);
    QTRY_COMPARE(rec.seen.size(), size_t(2));
    QCOMPARE(rec.seen[1].kind, SocketEvent::Write);
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.seen.size(), size_t(2));
}

void TestSocketEvents::connectIsReportedOnceWithItsError() {
    CSocketEvents events;
    Recorder rec(events);
    Socket listener = ListenTcp(kLoopback, 0);
    std::uint32_t address;
    std::uint16_t port;
    QVERIFY(LocalAddress(listener.id(), address, port));

    Socket good = Socket::CreateTcp();
    events.Select(good.id(), kMsgA, SocketEvent::Connect | SocketEvent::Close);
    events.Connect(good.id(), kLoopback, port);
    QTRY_COMPARE(rec.count(SocketEvent::Connect), 1);
    QCOMPARE(rec.seen[0].error, 0);
    QCOMPARE(rec.seen[0].socket, good.id());
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.seen.size(), size_t(1));

    std::uint16_t closedPort = 0;
    Socket placeholder = BoundNotListening(closedPort);
    Socket refused = Socket::CreateTcp();
    events.Select(refused.id(), kMsgB, SocketEvent::Connect | SocketEvent::Close);
    events.Connect(refused.id(), kLoopback, closedPort);
    QTRY_COMPARE(rec.count(SocketEvent::Connect), 2);
    QCOMPARE(rec.seen.back().socket, refused.id());
    QCOMPARE(rec.seen.back().error, SocketError::ConnectionRefused);
    QCOMPARE(rec.seen.back().message, kMsgB);
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.seen.size(), size_t(2));

    // Connect and write together: the write follows the connect.
    Socket both = Socket::CreateTcp();
    events.Select(both.id(), kMsgA, SocketEvent::Connect | SocketEvent::Write | SocketEvent::Close);
    events.Connect(both.id(), kLoopback, port);
    QTRY_COMPARE(rec.count(SocketEvent::Write), 1);
    QCOMPARE(rec.count(SocketEvent::Connect), 3);
    QCOMPARE(rec.seen[rec.seen.size() - 2].kind, SocketEvent::Connect);
}

void TestSocketEvents::ipv6ConnectAcceptAndAddresses() {
    CSocketEvents events;
    Recorder rec(events);
    const NetAddress loopback6 = *NetAddress::Parse("::1");
    Socket listener = ListenTcp(loopback6, 0);
    QVERIFY(listener.valid());
    NetAddress bound;
    std::uint16_t port = 0;
    QVERIFY(LocalAddress(listener.id(), bound, port));
    QCOMPARE(bound, loopback6);
    std::uint32_t v4 = 0;
    QVERIFY(!LocalAddress(listener.id(), v4, port));
    events.Select(listener.id(), kMsgB, SocketEvent::Accept);

    Socket client = Socket::CreateTcp(NetAddress::Family::V6);
    events.Select(client.id(), kMsgA, SocketEvent::Connect | SocketEvent::Close);
    events.Connect(client.id(), loopback6, port);
    QTRY_COMPARE(rec.count(SocketEvent::Connect), 1);
    QCOMPARE(rec.seen[0].error, 0);
    QTRY_COMPARE(rec.count(SocketEvent::Accept), 1);
    NetAddress from;
    std::uint16_t fromPort = 0;
    Socket served = events.Accept(listener.id(), &from, &fromPort);
    QVERIFY(served.valid());
    NetAddress peer;
    std::uint16_t peerPort = 0;
    QVERIFY(PeerAddress(served.id(), peer, peerPort));
    QCOMPARE(peer, loopback6);
    QCOMPARE(from, peer);
    QCOMPARE(fromPort, peerPort);
    QVERIFY(PeerAddress(client.id(), peer, peerPort));
    QCOMPARE(peerPort, port);

    // An IPv4 address reads back the same through either form.
    Socket listener4 = ListenTcp(NetAddress::FromV4(kLoopback), 0);
    QVERIFY(LocalAddress(listener4.id(), bound, port));
    QCOMPARE(bound.v4NetOrder(), kLoopback);
    QVERIFY(LocalAddress(listener4.id(), v4, port));
    QCOMPARE(v4, kLoopback);
}

void TestSocketEvents::acceptIsReportedForAPendingConnection() {
    CSocketEvents events;
    Recorder rec(events);
    Socket listener = ListenTcp(kLoopback, 0);
    std::uint32_t address;
    std::uint16_t port;
    QVERIFY(LocalAddress(listener.id(), address, port));
    events.Select(listener.id(), kMsgA, SocketEvent::Accept);
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.seen.size(), size_t(0));

    Socket client = Socket::CreateTcp();
    events.Connect(client.id(), kLoopback, port);
    QTRY_COMPARE(rec.count(SocketEvent::Accept), 1);
    QCOMPARE(rec.seen[0].socket, listener.id());
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.count(SocketEvent::Accept), 1);

    std::uint16_t peerPort = 0;
    NetAddress peer;
    Socket accepted = events.Accept(listener.id(), &peer, &peerPort);
    QVERIFY(accepted.valid());
    QCOMPARE(peer.v4NetOrder(), kLoopback);
    std::uint32_t clientAddress;
    std::uint16_t clientPort;
    QVERIFY(LocalAddress(client.id(), clientAddress, clientPort));
    QCOMPARE(peerPort, clientPort);
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.count(SocketEvent::Accept), 1);
    QVERIFY(!events.Accept(listener.id()).valid());
}

void TestSocketEvents::orderlyCloseAndResetAreReported() {
    CSocketEvents events;
    Recorder rec(events);
    Pair p = MakePair();
    events.Select(p.client.id(), kMsgA, SocketEvent::Read | SocketEvent::Close);
    p.server.shutdownAndClose();
    QTRY_COMPARE(rec.count(SocketEvent::Close), 1);
    QCOMPARE(rec.seen.back().error, 0);
    QCOMPARE(rec.count(SocketEvent::Read), 0);
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.count(SocketEvent::Close), 1);

    Pair q = MakePair();
    events.Select(q.client.id(), kMsgB, SocketEvent::Read | SocketEvent::Close);
    linger l{1, 0};
    ::setsockopt(q.server.id(), SOL_SOCKET, SO_LINGER, &l, sizeof l);
    q.server.close();
    QTRY_COMPARE(rec.count(SocketEvent::Close), 2);
    QCOMPARE(rec.seen.back().socket, q.client.id());
    QCOMPARE(rec.seen.back().error, SocketError::ConnectionReset);
}

void TestSocketEvents::closeIsSeenBehindUnreadData() {
    CSocketEvents events;
    Recorder rec(events);
    Pair p = MakePair();
    SendRaw(p.server, "bye\r\n");
    p.server.shutdownAndClose();

    // Data first, then the close once the data is read.
    events.Select(p.client.id(), kMsgA, SocketEvent::Read | SocketEvent::Close);
    QTRY_COMPARE(rec.count(SocketEvent::Read), 1);
    QCOMPARE(rec.count(SocketEvent::Close), 0);
    char buf[16];
    QCOMPARE(events.Receive(p.client.id(), buf, sizeof buf), 5L);
    QTRY_COMPARE(rec.count(SocketEvent::Close), 1);

    // Watched for close only, with data nobody reads in front of the end.
    Pair q = MakePair();
    events.Select(q.client.id(), kMsgB, SocketEvent::Close);
    SendRaw(q.server, "unread");
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.count(SocketEvent::Close), 1);
    q.server.shutdownAndClose();
    QTRY_COMPARE(rec.count(SocketEvent::Close), 2);
    QCOMPARE(rec.seen.back().socket, q.client.id());
}

void TestSocketEvents::sendFinishesTheWholeTextUnderBackPressure() {
    CSocketEvents events;
    Recorder rec(events);
    Pair p = MakePair();
    int small = 4096;
    ::setsockopt(p.client.id(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);

    std::string line(2 * 1024 * 1024, 'a');
    for (size_t i = 0; i < line.size(); i += 7)
        line[i] = static_cast<char>('0' + (i % 10));
    line += "\r\n";
    QVERIFY(events.Send(p.client.id(), line));
    QVERIFY(events.PendingSend(p.client.id()) > 0);

    // A write registration made meanwhile is answered only when the text has gone.
    events.Select(p.client.id(), kMsgA, SocketEvent::Write | SocketEvent::Close);
    std::string got;
    bool writeBeforeTheEnd = false;
    auto drain = [&] {
        char buf[65536];
        ssize_t n;
        while ((n = ::recv(p.server.id(), buf, sizeof buf, MSG_DONTWAIT)) > 0)
            got.append(buf, static_cast<size_t>(n));
        if (got.size() < line.size() && rec.count(SocketEvent::Write) != 0)
            writeBeforeTheEnd = true;
        return got.size() >= line.size();
    };
    QTRY_VERIFY_WITH_TIMEOUT(drain(), 20000);
    QVERIFY(!writeBeforeTheEnd);
    QVERIFY(got == line);
    QTRY_COMPARE(rec.count(SocketEvent::Write), 1);
    QCOMPARE(events.PendingSend(p.client.id()), size_t(0));
}

void TestSocketEvents::closingASocketDropsItsRegistration() {
    CSocketEvents events;
    Recorder rec(events);
    Pair p = MakePair();
    const SocketId old = p.client.id();
    events.Select(old, kMsgA, SocketEvent::Read | SocketEvent::Close);
    p.client.close();
    QCOMPARE(events.Interest(old), 0u);

    // The number is free again; a socket that gets it starts without the old registration.
    Pair q = MakePair();
    SendRaw(q.server, "data");
    SendRaw(q.client, "data");
    QTest::qWait(kQuietMs);
    QCOMPARE(rec.seen.size(), size_t(0));
}

void TestSocketEvents::errorNumbersAreTheWindowsOnes() {
    QCOMPARE(MapSocketError(0), 0);
    QCOMPARE(MapSocketError(EACCES), 10013);
    QCOMPARE(MapSocketError(EPERM), 10013);
    QCOMPARE(MapSocketError(ECONNREFUSED), 10061);
    QCOMPARE(MapSocketError(ECONNRESET), 10054);
    QCOMPARE(MapSocketError(ETIMEDOUT), 10060);
    QCOMPARE(MapSocketError(ENETUNREACH), 10051);
    QVERIFY(MapSocketError(EPROTO) != 0);
    const std::uint32_t word = MakeEventWord(SocketEvent::Connect, 10061);
    QCOMPARE(EventKind(word), SocketEvent::Connect);
    QCOMPARE(EventError(word), 10061);
}

void TestSocketEvents::nameLookupGivesOneAnswer() {
    CNameLookup lookup;
    QSignalSpy spy(&lookup, &CNameLookup::Finished);
    const int id = lookup.Start("localhost");
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].toInt(), id);
    QCOMPARE(spy[0][1].toInt(), 0);
    QCOMPARE(DottedAddress(spy[0][2].toUInt()), std::string("127.0.0.1"));

    const int bad = lookup.Start("");
    QTRY_COMPARE(spy.count(), 2);
    QCOMPARE(spy[1][0].toInt(), bad);
    QVERIFY(spy[1][1].toInt() != 0);
    QTest::qWait(kQuietMs);
    QCOMPARE(spy.count(), 2);

    // An abandoned lookup never answers.
    const int dropped = lookup.Start("localhost");
    lookup.Abort(dropped);
    QTest::qWait(kQuietMs);
    QCOMPARE(spy.count(), 2);
}

QTEST_GUILESS_MAIN(TestSocketEvents)
#include "tst_socket_events.moc"
