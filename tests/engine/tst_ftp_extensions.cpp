#include "engine/FtpExtensions.h"
#include "platform/NetAddress.h"

#include <QtTest>

#include <arpa/inet.h>

// The reply and command formats of FEAT, EPSV and EPRT, and the addresses of both families they use.
class TestFtpExtensions : public QObject {
    Q_OBJECT
private slots:
    void featuresOfRealServers();
    void featureOddities();
    void epsvReplies_data();
    void epsvReplies();
    void eprtCommands();
    void addressLiterals();
};

void TestFtpExtensions::featuresOfRealServers() {
    const FtpFeatures vsftpd = FtpFeatures::Parse("211-Features:\r\n AUTH TLS\r\n EPRT\r\n EPSV\r\n MDTM\r\n"
                                                  " PASV\r\n PBSZ\r\n PROT\r\n REST STREAM\r\n SIZE\r\n"
                                                  " TVFS\r\n211 End\r\n");
    QVERIFY(vsftpd.Has("EPSV") && vsftpd.Has("eprt") && vsftpd.Has("PBSZ"));
    QVERIFY(vsftpd.HasArgument("AUTH", "TLS"));
    QVERIFY(!vsftpd.HasArgument("AUTH", "SSL"));
    QVERIFY(!vsftpd.Has("MLST"));
    QVERIFY(!vsftpd.Has("End"));
    QCOMPARE(vsftpd.Lines().size(), std::size_t(10));

    const FtpFeatures pyftpdlib = FtpFeatures::Parse(
        "211-Features supported:\r\n AUTH SSL\r\n AUTH TLS\r\n EPRT\r\n EPSV\r\n"
        " MLST type*;perm*;size*;modify*;unique*;unix.mode;unix.uid;unix.gid;\r\n UTF8\r\n211 End FEAT.\r\n");
    QVERIFY(pyftpdlib.HasArgument("auth", "ssl") && pyftpdlib.HasArgument("AUTH", "TLS"));
    QVERIFY(pyftpdlib.HasArgument("MLST", "size*"));
    QCOMPARE(pyftpdlib.Lines()[4].substr(0, 10), std::string("MLST type*"));
}

void TestFtpExtensions::featureOddities() {
    // Refusals give nothing; lines without the leading space, with "211-" before each, or in
    // small letters still count; the closing line ends the list even with more after it.
    QVERIFY(FtpFeatures::Parse("500 Unknown command.\r\n").Lines().empty());
    QVERIFY(FtpFeatures::Parse("502 Command not implemented.\r\n").Lines().empty());
    QVERIFY(FtpFeatures::Parse("211 No features\r\n").Lines().empty());
    const FtpFeatures odd =
        FtpFeatures::Parse("211-Extensions:\nEPSV\n211-epRT\n auth tls;ssl\n\n211 End\n SIZE\n");
    QVERIFY(odd.Has("EPSV") && odd.Has("EPRT"));
    QVERIFY(odd.HasArgument("AUTH", "TLS") && odd.HasArgument("AUTH", "SSL"));
    QVERIFY(!odd.Has("SIZE"));
    QVERIFY(!odd.HasArgument("EPSV", ""));
}

void TestFtpExtensions::epsvReplies_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("port");
    QTest::newRow("usual") << "229 Entering Extended Passive Mode (|||6446|)" << 6446;
    QTest::newRow("other delimiter") << "229 Entering Passive Mode (!!!50000!)." << 50000;
    QTest::newRow("highest port") << "229 EPSV ok (|||65535|)" << 65535;
    QTest::newRow("port 0") << "229 (|||0|)" << -1;
    QTest::newRow("port too large") << "229 (|||65536|)" << -1;
    QTest::newRow("endless digits") << "229 (|||0000000000006446|)" << -1;
    QTest::newRow("two delimiters") << "229 (||6446|)" << -1;
    QTest::newRow("address given") << "229 (|2|::1|6446|)" << -1;
    QTest::newRow("mixed delimiters") << "229 (|||6446!)" << -1;
    QTest::newRow("no closing bracket") << "229 (|||6446|" << -1;
    QTest::newRow("digit as delimiter") << "229 (1116441)" << -1;
    QTest::newRow("no port") << "229 (||||)" << -1;
    QTest::newRow("another code") << "227 Entering Passive Mode (127,0,0,1,25,46)" << -1;
    QTest::newRow("refused") << "522 Network protocol not supported, use (1,2)" << -1;
    QTest::newRow("cut short") << "229 (" << -1;
}

void TestFtpExtensions::epsvReplies() {
    QFETCH(QString, line);
    QFETCH(int, port);
    int got = -1;
    QCOMPARE(ParseEpsvReply(line.toStdString(), got), port != -1);
    QCOMPARE(got, port);
}

void TestFtpExtensions::eprtCommands() {
    QCOMPARE(MakeEprtCommand(NetAddress::FromV4(inet_addr("132.235.1.2")), 6275),
             std::string("EPRT |1|132.235.1.2|6275|"));
    QCOMPARE(MakeEprtCommand(*NetAddress::Parse("::1"), 58717), std::string("EPRT |2|::1|58717|"));
    // The interface of a link-local address means nothing to the server and stays out.
    QCOMPARE(MakeEprtCommand(*NetAddress::Parse("fe80::1%lo"), 1), std::string("EPRT |2|fe80::1|1|"));
    QCOMPARE(MakeEprtCommand(NetAddress{}, 21), std::string());
}

void TestFtpExtensions::addressLiterals() {
    const auto v4 = NetAddress::Parse("127.0.0.1");
    QVERIFY(v4 && !v4->isV6());
    QCOMPARE(v4->v4NetOrder(), htonl(INADDR_LOOPBACK));
    QCOMPARE(NetAddress::FromV4(htonl(INADDR_LOOPBACK)), *v4);
    const auto v6 = NetAddress::Parse("[2001:db8::7]");
    QVERIFY(v6 && v6->isV6());
    QCOMPARE(v6->text(), std::string("2001:db8::7"));
    QCOMPARE(v6->v4NetOrder(), 0u);
    QVERIFY(NetAddress::Parse("fe80::1%lo")->scopeId != 0);
    QCOMPARE(NetAddress::Parse("fe80::1%7")->scopeId, 7u);
    QVERIFY(!NetAddress::Parse("fe80::1%no-such-interface"));
    QVERIFY(!NetAddress::Parse("127.0.0.1%lo"));
    QVERIFY(!NetAddress::Parse("ftp.example.jp"));
    QVERIFY(!NetAddress::Parse("[::1"));
    QVERIFY(!NetAddress::Parse(""));
}

QTEST_GUILESS_MAIN(TestFtpExtensions)
#include "tst_ftp_extensions.moc"
