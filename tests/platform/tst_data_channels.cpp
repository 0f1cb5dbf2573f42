#include "fixtures/ScriptedFtpPeer.h"
#include "platform/Socket.h"
#include "platform/SocketEvents.h"

#include <QTcpSocket>
#include <QtTest>

#include <arpa/inet.h>

#include <cstdio>
#include <string>

// Data connections both ways through the event layer, against the scripted peer: what the
// passive and active transfers of the engine are built on.
class TestDataChannels : public QObject {
    Q_OBJECT
private slots:
    void passiveDownloadEndsWithClose();
    void activeUploadIsAcceptedAndDelivered();
};

namespace {
// The peer runs in this thread, so waiting must keep the event loop going.
std::string ReadLine(QTcpSocket& control) {
    for (int i = 0; i < 1000 && !control.canReadLine(); ++i)
        QTest::qWait(5);
    return control.readLine().trimmed().toStdString();
}

void Command(QTcpSocket& control, const std::string& line) {
    control.write((line + "\r\n").c_str());
    control.flush();
}
} // namespace

void TestDataChannels::passiveDownloadEndsWithClose() {
    const std::string payload = std::string(200000, 'd') + "end";
    ScriptedFtpPeer peer;
    QVERIFY(peer.listen());
    peer.reply("220 ready")
        .expectPasv()
        .expect("RETR f")
        .reply("150 opening")
        .sendData(payload)
        .closeData()
        .reply("226 done");

    QTcpSocket control;
    control.connectToHost(QHostAddress::LocalHost, peer.port());
    QCOMPARE(ReadLine(control), std::string("220 ready"));
    Command(control, "PASV");
    const std::string pasv = ReadLine(control);
    int h1, h2, h3, h4, p1, p2;
    QCOMPARE(std::sscanf(pasv.c_str(), "227 Entering Passive Mode (%d,%d,%d,%d,%d,%d)", &h1, &h2, &h3, &h4,
                         &p1, &p2),
             6);
    QCOMPARE(p1 * 256 + p2, int(peer.dataListenPort()));

    CSocketEvents events;
    std::string got;
    bool closed = false;
    bool readAfterClose = false;
    Socket data = Socket::CreateTcp();
    connect(&events, &CSocketEvents::Event, this, [&](int, qintptr s, quint32 word) {
        switch (EventKind(word)) {
        case SocketEvent::Connect:
            QCOMPARE(EventError(word), 0);
            events.Select(s, 0x4cc, SocketEvent::Read | SocketEvent::Close);
            break;
        case SocketEvent::Read: {
            readAfterClose = readAfterClose || closed;
            char buf[4096];
            long n;
            while ((n = events.Receive(s, buf, sizeof buf)) > 0)
                got.append(buf, static_cast<size_t>(n));
            break;
        }
        case SocketEvent::Close:
            closed = true;
            break;
        }
    });
    events.Select(data.id(), 0x4cc, SocketEvent::Connect | SocketEvent::Close);
    events.Connect(data.id(), InetAddr("127.0.0.1"), static_cast<std::uint16_t>(p1 * 256 + p2));
    Command(control, "RETR f");
    QCOMPARE(ReadLine(control), std::string("150 opening"));
    QTRY_VERIFY(closed);
    QCOMPARE(got.size(), payload.size());
    QVERIFY(got == payload);
    QVERIFY(!readAfterClose);
    QCOMPARE(ReadLine(control), std::string("226 done"));
    QVERIFY2(!peer.failed(), qPrintable(peer.failure()));
}

void TestDataChannels::activeUploadIsAcceptedAndDelivered() {
    const std::string payload = "uploaded bytes\r\n";
    ScriptedFtpPeer peer;
    QVERIFY(peer.listen());
    peer.reply("220 ready")
        .expectPort()
        .expect("STOR f")
        .reply("150 go ahead")
        .expectDataClose()
        .reply("226 stored");

    CSocketEvents events;
    Socket listener = ListenTcp(htonl(INADDR_LOOPBACK), 0);
    std::uint32_t address;
    std::uint16_t port;
    QVERIFY(LocalAddress(listener.id(), address, port));
    Socket data;
    bool sent = false;
    connect(&events, &CSocketEvents::Event, this, [&](int, qintptr s, quint32 word) {
        switch (EventKind(word)) {
        case SocketEvent::Accept:
            data = events.Accept(s);
            events.Select(data.id(), 0x501, SocketEvent::Write);
            break;
        case SocketEvent::Write:
            QVERIFY(events.Send(s, payload));
            sent = true;
            break;
        }
    });
    events.Select(listener.id(), 0x4fc, SocketEvent::Accept);

    QTcpSocket control;
    control.connectToHost(QHostAddress::LocalHost, peer.port());
    QCOMPARE(ReadLine(control), std::string("220 ready"));
    Command(control, "PORT 127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256));
    QCOMPARE(ReadLine(control), std::string("200 PORT command successful"));
    Command(control, "STOR f");
    QCOMPARE(ReadLine(control), std::string("150 go ahead"));
    QTRY_VERIFY(sent);
    QTRY_COMPARE(events.PendingSend(data.id()), size_t(0));
    data.shutdownAndClose();
    QCOMPARE(ReadLine(control), std::string("226 stored"));
    QCOMPARE(peer.dataReceived(), payload);
    QVERIFY2(!peer.failed(), qPrintable(peer.failure()));
}

QTEST_GUILESS_MAIN(TestDataChannels)
#include "tst_data_channels.moc"
