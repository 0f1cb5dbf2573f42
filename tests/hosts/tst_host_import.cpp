// Hosts from FileZilla's Site Manager and WinSCP's sessions: how each of their values becomes a
// lumo host, what is left out and why, and how the import reaches the store.
#include "StoreFixture.h"
#include "hosts/HostImport.h"
#include "hosts/QXDoc.h"
#include "platform/TextCodec.h"
#include "settings/PasswordVault.h"

#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <optional>

namespace {

// sitemanager.xml as FileZilla writes it: sites in nested folders, each folder's name the text
// directly inside it, a bookmark inside a site.
const char kSiteManager[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<FileZilla3 version="3.66.4" platform="windows">
  <Servers>
    <Folder expanded="1">お客様
      <Server>
        <Host>ftp.example.jp</Host><Port>2121</Port><Protocol>0</Protocol><Type>0</Type>
        <User>yamada</User><Pass encoding="base64">44OR44K5IHdvcmQ=</Pass><Logontype>1</Logontype>
        <PasvMode>MODE_ACTIVE</PasvMode><MaximumMultipleConnections>3</MaximumMultipleConnections>
        <EncodingType>Custom</EncodingType>
        <CustomEncoding>Shift_JIS</CustomEncoding><Name>テスト サーバー</Name>
        <LocalDir>/home/me/アップ</LocalDir><RemoteDir>1 0 4 home 8 www data</RemoteDir>
        <Bookmark><Name>bm</Name><LocalDir>/elsewhere</LocalDir></Bookmark>
      </Server>
      <Folder>社内
        <Server><Host>in.example.jp</Host><Port>21</Port><Protocol>4</Protocol><User>u</User>
          <Logontype>2</Logontype><PasvMode>MODE_DEFAULT</PasvMode><EncodingType>UTF-8</EncodingType>
          <MaximumMultipleConnections>20</MaximumMultipleConnections>
          <Name>明示</Name></Server>
      </Folder>
    </Folder>
    <Server><Host>implicit.example.jp</Host><Port>990</Port><Protocol>3</Protocol><Logontype>0</Logontype>
      <MaximumMultipleConnections>0</MaximumMultipleConnections><Name>暗黙</Name></Server>
    <Server><Host>plain.example.jp</Host><Port>21</Port><Protocol>6</Protocol><User>p</User>
      <Pass encoding="crypt" pubkey="AAAA">c2VjcmV0</Pass><Logontype>1</Logontype>
      <EncodingType>Custom</EncodingType><CustomEncoding>KOI8-R</CustomEncoding><Name>平文</Name></Server>
    <Server><Host>ssh.example.jp</Host><Port>22</Port><Protocol>1</Protocol><Name>ssh</Name></Server>
    <Server><Host>ask.example.jp</Host><Port>21</Port><Protocol>0</Protocol><User>a</User>
      <Logontype>3</Logontype><Name>対話</Name></Server>
    <Server><Host>bad host</Host><Port>21</Port><Protocol>0</Protocol><Name>空白</Name></Server>
  </Servers>
</FileZilla3>
)";

// WinSCP's scramble of a password filed under user and host, as WinSCP writes it.
QByteArray Scramble(const std::string& password, const std::string& key) {
    std::string plain = key + password;
    std::string bytes = {'\xFF', '\x00', static_cast<char>(plain.size()), '\x02', '\x11', '\x22'};
    bytes += plain;
    QByteArray hex;
    for (char c : bytes)
        hex += QByteArray::number(static_cast<unsigned char>(~c ^ 0xA3) & 0xFF, 16)
                   .rightJustified(2, '0')
                   .toUpper();
    return hex;
}

// A session name as WinSCP keeps it: UTF-8 behind a byte order mark, escaped but for "/".
QByteArray Munged(const QString& name) {
    return "%EF%BB%BF" + QUrl::toPercentEncoding(name, "/");
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

const ImportEntry* Named(const ImportSource& source, const std::string& name) {
    for (const ImportEntry& e : source.entries) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

bool Says(const ImportEntry& e, const char* words) {
    for (const std::string& note : e.notes) {
        if (note.find(words) != std::string::npos)
            return true;
    }
    return e.skipReason.find(words) != std::string::npos;
}

} // namespace

class TestHostImport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fileZillaSites();
    void winScpSessions();
    void storedAfterTheOthersUnderNamesOfTheirOwn();
    void aBrokenFileChangesNothing();

private:
    std::optional<ImportReport> Import(const QString& path);

    QTemporaryDir m_dir;
    CPasswordVault m_vault;
};

void TestHostImport::initTestCase() {
    // No keyring here (tst_password_vault has one): passwords stay in the store, as without one.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("DISPLAY");
    QVERIFY(m_dir.isValid());
}

std::optional<ImportReport> TestHostImport::Import(const QString& path) {
    std::optional<ImportReport> report;
    CQXDoc doc;
    ImportHosts(path, doc, m_vault, [&report](const ImportReport& r) { report = r; });
    (void)QTest::qWaitFor([&] { return report.has_value(); }, 10000);
    return report;
}

void TestHostImport::fileZillaSites() {
    const ImportSource source =
        ReadHostFile(WriteFile(m_dir, QStringLiteral("sitemanager.xml"), kSiteManager));
    QVERIFY2(source.read, source.problem.c_str());
    QCOMPARE(source.entries.size(), size_t(7));

    const ImportEntry* e = Named(source, "お客様/テスト サーバー");
    QVERIFY(e && e->Imported());
    QCOMPARE(e->host.Name, e->name);
    QCOMPARE(e->host.Adr, std::string("ftp.example.jp"));
    QCOMPARE(e->host.Port, 2121);
    QCOMPARE(e->host.User, std::string("yamada"));
    QCOMPARE(e->host.Pass, std::string("パス word"));
    QCOMPARE(e->host.anonymous, 0);
    QCOMPARE(e->host.Security, HostSecurity::ExplicitIfOffered);
    QCOMPARE(e->host.Pasv, 0);
    QCOMPARE(e->host.Sessions, 3);
    QCOMPARE(e->host.charset, int(RemoteCharset::ShiftJis));
    QCOMPARE(e->host.UpPath, std::string("/home/me/アップ"));
    QCOMPARE(e->host.RemotePath, std::string("/home/www data"));
    QCOMPARE(e->host.Indexhtml, std::string());

    e = Named(source, "お客様/社内/明示");
    QVERIFY(e && e->Imported());
    QCOMPARE(e->host.Security, HostSecurity::Explicit);
    QCOMPARE(e->host.User, std::string("u"));
    QCOMPARE(e->host.Pass, std::string());
    QVERIFY(Says(*e, "パスワードを尋ねる"));
    QCOMPARE(e->host.Pasv, 1);
    QCOMPARE(e->host.charset, int(RemoteCharset::Utf8));
    QCOMPARE(e->host.Sessions, 10);

    e = Named(source, "暗黙");
    QVERIFY(e && e->Imported());
    QCOMPARE(e->host.Security, HostSecurity::Implicit);
    QCOMPARE(e->host.Port, 990);
    QCOMPARE(e->host.anonymous, 1);
    QCOMPARE(e->host.charset, int(RemoteCharset::Auto));
    QCOMPARE(e->host.Sessions, 0);

    e = Named(source, "平文");
    QVERIFY(e && e->Imported());
    QCOMPARE(e->host.Security, HostSecurity::None);
    QCOMPARE(e->host.Pass, std::string());
    QVERIFY(Says(*e, "マスターパスワード"));
    QCOMPARE(e->host.charset, int(RemoteCharset::Auto));
    QVERIFY(Says(*e, "文字コード「KOI8-R」"));

    e = Named(source, "対話");
    QVERIFY(e && e->Imported() && e->host.Pass.empty());
    e = Named(source, "ssh");
    QVERIFY(e && !e->Imported());
    QVERIFY(Says(*e, "SFTP"));
    e = Named(source, "空白");
    QVERIFY(e && !e->Imported());
    QVERIFY(Says(*e, "空白"));
}

void TestHostImport::winScpSessions() {
    QByteArray ini = "[Configuration\\Interface]\r\nLastVersion=6.3\r\n"
                     "[Sessions\\Default%20Settings]\r\nHostName=default.example.jp\r\nFSProtocol=5\r\n";
    ini += "[Sessions\\" + Munged(QStringLiteral("お客様/テスト サーバー")) + "]\r\n";
    ini += "HostName=ftp.example.jp\r\nPortNumber=2121\r\nUserName=" + Munged(QStringLiteral("山田")) +
           "\r\nFSProtocol=5\r\nFtps=3\r\nFtpPasvMode=0\r\nPassword=" +
           Scramble("パス word", "山田ftp.example.jp") +
           "\r\nRemoteDirectory=/home/www\r\nLocalDirectory=C:%5CUsers%5Cme\r\n";
    ini += "; a password under a master password\r\n"
           "[Sessions\\implicit]\r\nHostName=implicit.example.jp\r\nFSProtocol=5\r\nFtps=1\r\n"
           "Password=A35D0123456789\r\n"
           "[Sessions\\plain]\r\nHostName=plain.example.jp\r\nFSProtocol=5\r\nFtps=0\r\n"
           "[Sessions\\ssh%20host]\r\nHostName=ssh.example.jp\r\n";
    const ImportSource source = ReadHostFile(WriteFile(m_dir, QStringLiteral("WinSCP.ini"), ini));
    QVERIFY2(source.read, source.problem.c_str());
    QCOMPARE(source.entries.size(), size_t(4));

    const ImportEntry* e = Named(source, "お客様/テスト サーバー");
    QVERIFY(e && e->Imported());
    QCOMPARE(e->host.Adr, std::string("ftp.example.jp"));
    QCOMPARE(e->host.Port, 2121);
    QCOMPARE(e->host.User, std::string("山田"));
    QCOMPARE(e->host.Pass, std::string("パス word"));
    QCOMPARE(e->host.Security, HostSecurity::Explicit);
    QCOMPARE(e->host.Pasv, 0);
    QCOMPARE(e->host.UpPath, std::string("C:\\Users\\me"));
    QCOMPARE(e->host.RemotePath, std::string("/home/www"));

    e = Named(source, "implicit");
    QVERIFY(e && e->Imported());
    QCOMPARE(e->host.Security, HostSecurity::Implicit);
    QCOMPARE(e->host.Port, 990);
    QCOMPARE(e->host.Pasv, 1);
    QCOMPARE(e->host.Pass, std::string());
    QVERIFY(Says(*e, "マスターパスワード"));

    e = Named(source, "plain");
    QVERIFY(e && e->Imported());
    QCOMPARE(e->host.Security, HostSecurity::None);
    QCOMPARE(e->host.Port, 21);

    e = Named(source, "ssh host");
    QVERIFY(e && !e->Imported());
    QVERIFY(Says(*e, "SFTP"));
}

void TestHostImport::storedAfterTheOthersUnderNamesOfTheirOwn() {
    StoreFixture store;
    CQXDoc doc;
    HostRecord mine;
    mine.Name = "お客様/テスト サーバー";
    mine.Adr = "mine.example.jp";
    QVERIFY(doc.SaveAllHosts({mine}));
    const QString path = WriteFile(m_dir, QStringLiteral("sites.xml"), kSiteManager);

    std::optional<ImportReport> report = Import(path);
    QVERIFY(report);
    QVERIFY2(report->problem.empty(), report->problem.c_str());
    QCOMPARE(report->stored, 5);
    HostList hosts = doc.LoadAllHosts();
    QCOMPARE(hosts.size(), size_t(6));
    QCOMPARE(hosts[0], mine);
    QCOMPARE(hosts[1].Name, std::string("お客様/テスト サーバー (2)"));
    QCOMPARE(hosts[1].Adr, std::string("ftp.example.jp"));
    QCOMPARE(hosts[1].Pass, std::string("パス word"));
    QCOMPARE(hosts[5].Name, std::string("対話"));
    const ImportEntry* e = Named(report->source, "お客様/テスト サーバー");
    QVERIFY(e);
    QCOMPARE(e->host.Name, hosts[1].Name);
    QVERIFY(Says(*e, "設定ファイルに保存しました"));

    // Again: each name is taken once more.
    report = Import(path);
    QVERIFY(report);
    hosts = doc.LoadAllHosts();
    QCOMPARE(hosts.size(), size_t(11));
    QCOMPARE(hosts[6].Name, std::string("お客様/テスト サーバー (3)"));
    QCOMPARE(hosts[8].Name, std::string("暗黙 (2)"));
}

void TestHostImport::aBrokenFileChangesNothing() {
    StoreFixture store;
    HostRecord mine;
    mine.Name = "mine";
    mine.Adr = "mine.example.jp";
    QVERIFY(CQXDoc().SaveAllHosts({mine}));
    const QByteArray before = store.fileBytes();
    const QByteArray cut =
        QByteArray(kSiteManager).left(QByteArray(kSiteManager).indexOf("<Server><Host>ssh"));
    const QList<QPair<QString, QByteArray>> broken = {
        {QStringLiteral("cut.xml"), cut},
        {QStringLiteral("other.xml"), "<?xml version=\"1.0\"?><settings><Servers/></settings>"},
        {QStringLiteral("WinSCP.ini"),
         "[Sessions\\a]\r\nHostName=a.example.jp\r\nFSProtocol=5\r\nno value here\r\n"},
        {QStringLiteral("notes.txt"), "just some text\n"},
        {QStringLiteral("missing.xml"), {}},
    };
    for (const auto& [name, bytes] : broken) {
        const QString path =
            name == QStringLiteral("missing.xml") ? m_dir.filePath(name) : WriteFile(m_dir, name, bytes);
        const std::optional<ImportReport> report = Import(path);
        QVERIFY(report);
        QVERIFY2(!report->source.read, qPrintable(name));
        QVERIFY2(!report->problem.empty(), qPrintable(name));
        QCOMPARE(report->stored, 0);
        QCOMPARE(store.fileBytes(), before);
    }
}

QTEST_GUILESS_MAIN(TestHostImport)
#include "tst_host_import.moc"
