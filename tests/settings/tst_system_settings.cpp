#include "StoreFixture.h"
#include "settings/ExitActions.h"
#include "settings/SettingsKey.h"
#include "settings/SystemSettings.h"
#include "settings/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class TestSystemSettings : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void timeoutClamps_data();
    void timeoutClamps();
    void sendBufferClamps_data();
    void sendBufferClamps();
    void tempFolderFallsBackToSystemFolder();
    void usableUserFolderIsUsed();
    void systempIgnoresUserFolder();
    void deltmpRemovesTheWholeTreeOnly();
    void deltmpNeverTakesTheHomeFolder();
    void savewinsizeZeroForgetsOnlyTheLayout();

private:
    void writeSystem(const char* name, unsigned v);
    std::unique_ptr<StoreFixture> m_fx;
    std::unique_ptr<QTemporaryDir> m_tmp;
    QByteArray m_oldTmpDir, m_oldHome;
};

void TestSystemSettings::init() {
    m_fx = std::make_unique<StoreFixture>();
    m_tmp = std::make_unique<QTemporaryDir>();
    m_oldTmpDir = qgetenv("TMPDIR");
    m_oldHome = qgetenv("HOME");
    // The system's temporary folder, as this process sees it, is a fresh folder of the test.
    qputenv("TMPDIR", QFile::encodeName(m_tmp->path() + QStringLiteral("/systmp")));
    QDir().mkpath(m_tmp->path() + QStringLiteral("/systmp"));
}

void TestSystemSettings::cleanup() {
    qputenv("TMPDIR", m_oldTmpDir);
    qputenv("HOME", m_oldHome);
    m_fx.reset();
    m_tmp.reset();
}

void TestSystemSettings::writeSystem(const char* name, unsigned v) {
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::System));
    QVERIFY(k.WriteDword(name, v));
}

void TestSystemSettings::timeoutClamps_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("untimeout");
    QTest::addColumn<unsigned>("ms");
    QTest::newRow("missing") << -1 << 0 << 30000u;
    QTest::newRow("0") << 0 << 0 << 30000u;
    QTest::newRow("1") << 1 << 0 << 1000u;
    QTest::newRow("999") << 999 << 0 << 999000u;
    QTest::newRow("1000") << 1000 << 0 << 30000u;
    QTest::newRow("untimeout") << 60 << 1 << 0u;
    QTest::newRow("any untimeout but 0") << 60 << 2 << 0u;
}

void TestSystemSettings::timeoutClamps() {
    QFETCH(int, stored);
    QFETCH(int, untimeout);
    QFETCH(unsigned, ms);
    if (stored >= 0)
        writeSystem("timeout", static_cast<unsigned>(stored));
    if (untimeout)
        writeSystem("untimeout", static_cast<unsigned>(untimeout));
    QCOMPARE(ReadEngineTimeoutMs(), ms);
}

void TestSystemSettings::sendBufferClamps_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<unsigned>("bytes");
    QTest::newRow("missing") << -1 << 4096u;
    QTest::newRow("0") << 0 << 4096u;
    QTest::newRow("1") << 1 << 1024u;
    QTest::newRow("24") << 24 << 24576u;
    QTest::newRow("25") << 25 << 4096u;
}

void TestSystemSettings::sendBufferClamps() {
    QFETCH(int, stored);
    QFETCH(unsigned, bytes);
    if (stored >= 0)
        writeSystem("sendbuf", static_cast<unsigned>(stored));
    QCOMPARE(ReadSendBufferBytes(), bytes);
}

void TestSystemSettings::tempFolderFallsBackToSystemFolder() {
    const QString expected = m_tmp->path() + QStringLiteral("/systmp/lumo/");
    // Empty store: the system folder + "lumo/", created.
    QCOMPARE(GetTempFolder(), expected);
    QVERIFY(QFileInfo(expected).isDir());

    // A user folder that does not exist.
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::System));
    k.WriteString("temp", (m_tmp->path() + QStringLiteral("/nowhere")).toStdString());
    QCOMPARE(GetTempFolder(), expected);

    // A user folder that cannot be written.
    const QString ro = m_tmp->path() + QStringLiteral("/readonly");
    QVERIFY(QDir().mkpath(ro));
    QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    k.WriteString("temp", ro.toStdString());
    QFile probe(ro + QStringLiteral("/x"));
    if (!probe.open(QIODevice::WriteOnly)) // root may write anywhere
        QCOMPARE(GetTempFolder(), expected);
    QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestSystemSettings::usableUserFolderIsUsed() {
    const QString mine = m_tmp->path() + QStringLiteral("/mine");
    QVERIFY(QDir().mkpath(mine));
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::System));
    k.WriteString("temp", mine.toStdString());
    QCOMPARE(GetTempFolder(), mine + QStringLiteral("/"));
    QVERIFY(QFile::exists(mine + QStringLiteral("/tmp")));
    k.WriteString("temp", (mine + QStringLiteral("/")).toStdString());
    QCOMPARE(GetTempFolder(), mine + QStringLiteral("/"));
}

void TestSystemSettings::systempIgnoresUserFolder() {
    const QString mine = m_tmp->path() + QStringLiteral("/mine");
    QVERIFY(QDir().mkpath(mine));
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::System));
    k.WriteString("temp", mine.toStdString());
    k.WriteDword("systemp", 1);
    QCOMPARE(GetTempFolder(), m_tmp->path() + QStringLiteral("/systmp/lumo/"));
    QVERIFY(!QFile::exists(mine + QStringLiteral("/tmp")));
}

void TestSystemSettings::deltmpRemovesTheWholeTreeOnly() {
    const QString temp = GetTempFolder();
    const QString outside = m_tmp->path() + QStringLiteral("/outside");
    QVERIFY(QDir().mkpath(temp + QStringLiteral("a/b")));
    QVERIFY(QDir().mkpath(outside));
    QFile(temp + QStringLiteral("a/b/file")).open(QIODevice::WriteOnly);
    QFile(outside + QStringLiteral("/keep")).open(QIODevice::WriteOnly);
    QVERIFY(QFile::link(outside, temp + QStringLiteral("a/out")));

    RunExitActions(); // deltmp missing: nothing happens
    QVERIFY(QFileInfo::exists(temp + QStringLiteral("a/b/file")));

    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Option));
    k.WriteDword("deltmp", 1);
    RunExitActions();
    QVERIFY(!QFileInfo::exists(temp));
    QVERIFY(QFileInfo::exists(outside + QStringLiteral("/keep")));
}

void TestSystemSettings::deltmpNeverTakesTheHomeFolder() {
    const QString home = m_tmp->path() + QStringLiteral("/home");
    QVERIFY(QDir().mkpath(home));
    QFile(home + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly);
    qputenv("HOME", QFile::encodeName(home));
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::System));
    k.WriteString("temp", home.toStdString());
    QVERIFY(k.CreateKey(KeyFamily::Option));
    k.WriteDword("deltmp", 1);
    RunExitActions();
    QVERIFY(QFileInfo::exists(home + QStringLiteral("/notes.txt")));
}

void TestSystemSettings::savewinsizeZeroForgetsOnlyTheLayout() {
    SettingsKey k;
    for (const char* sub : {"Window", "view", "rebar", "Log", "list"}) {
        QVERIFY(k.CreateKey(KeyFamily::Profile, sub));
        k.WriteDword("x", 1);
    }
    RunExitActions(); // savewinsize missing reads as 1: the layout stays
    QVERIFY(k.OpenKey(KeyFamily::Profile, "Window"));

    QVERIFY(k.CreateKey(KeyFamily::Option));
    k.WriteDword("savewinsize", 0);
    RunExitActions();
    QVERIFY(!k.OpenKey(KeyFamily::Profile, "Window"));
    QVERIFY(!k.OpenKey(KeyFamily::Profile, "view"));
    QVERIFY(!k.OpenKey(KeyFamily::Profile, "rebar"));
    QVERIFY(k.OpenKey(KeyFamily::Profile, "Log"));
    QVERIFY(k.OpenKey(KeyFamily::Profile, "list"));
}

QTEST_GUILESS_MAIN(TestSystemSettings)
#include "tst_system_settings.moc"
