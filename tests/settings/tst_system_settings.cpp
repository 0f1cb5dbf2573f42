#include "StoreFixture.h"
#include "hosts/HostSessions.h"
#include "settings/ExitActions.h"
#include "settings/SettingsKey.h"
#include "settings/SystemSettings.h"
#include "settings/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

class TestSystemSettings : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void timeoutClamps_data();
    void timeoutClamps();
    void sendBufferClamps_data();
    void sendBufferClamps();
    void transferSessions_data();
    void transferSessions();
    void tempFolderFallsBackToSystemFolder();
    void privateFolderIsRefusedUnlessOnlyTheUsers();
    void privateFolderOfAnotherUserIsRefused();
    void usableUserFolderIsUsed();
    void systempIgnoresUserFolder();
    void deltmpRemovesTheWholeTreeOnly();
    void deltmpNeverFollowsALinkInPlaceOfTheFolder();
    void deltmpNeverTakesTheHomeFolder();
    void savewinsizeZeroForgetsOnlyTheLayout();

private:
    void writeSystem(const char* name, unsigned v);
    QString privateFolder() const { return m_tmp->path() + QStringLiteral("/cache/lumo/tmp/"); }
    std::unique_ptr<StoreFixture> m_fx;
    std::unique_ptr<QTemporaryDir> m_tmp;
    QByteArray m_oldCache, m_oldHome;
};

namespace {

// The permission bits of the entry itself, a link not followed; -1 when there is none.
int modeOf(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return static_cast<int>(st.st_mode & 07777);
#else
    return QFileInfo::exists(path) ? 0700 : -1;
#endif
}

} // namespace

void TestSystemSettings::init() {
    m_fx = std::make_unique<StoreFixture>();
    m_tmp = std::make_unique<QTemporaryDir>();
    m_oldCache = qgetenv("XDG_CACHE_HOME");
    m_oldHome = qgetenv("HOME");
    // The user's cache, as this process sees it, is a folder of the test that does not exist yet.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_tmp->path() + QStringLiteral("/cache")));
}

void TestSystemSettings::cleanup() {
    qputenv("XDG_CACHE_HOME", m_oldCache);
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

void TestSystemSettings::transferSessions_data() {
    // The option key's value: none, a number, or text where a number belongs.
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("host");
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("forHost");
    QTest::newRow("missing") << QVariant() << 0 << 4 << 4;
    QTest::newRow("0") << QVariant(0u) << 0 << 4 << 4;
    QTest::newRow("1") << QVariant(1u) << 0 << 1 << 1;
    QTest::newRow("11") << QVariant(11u) << 0 << 10 << 10;
    QTest::newRow("all ones") << QVariant(0xFFFFFFFFu) << 0 << 10 << 10;
    QTest::newRow("text") << QVariant(QStringLiteral("6")) << 0 << 4 << 4;
    QTest::newRow("host's own") << QVariant(2u) << 7 << 2 << 7;
    QTest::newRow("host's 1") << QVariant(6u) << 1 << 6 << 1;
    QTest::newRow("host's 11") << QVariant(6u) << 11 << 6 << 6;
}

void TestSystemSettings::transferSessions() {
    QFETCH(QVariant, stored);
    QFETCH(int, host);
    QFETCH(int, options);
    QFETCH(int, forHost);
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Option));
    if (stored.typeId() == QMetaType::UInt)
        QVERIFY(k.WriteDword("Sessions", stored.toUInt()));
    else if (stored.isValid())
        QVERIFY(k.WriteString("Sessions", stored.toString().toStdString()));
    HostRecord h;
    h.Sessions = host;
    QCOMPARE(DefaultTransferSessions(), options);
    QCOMPARE(TransferSessionsFor(h), forHost);
}

void TestSystemSettings::tempFolderFallsBackToSystemFolder() {
    const QString expected = privateFolder();
    QCOMPARE(SystemTempFolder(), expected);
    QCOMPARE(SystemTempFolderFault(), FolderFault::None); // not made yet: nothing to say
    // Empty store: the private folder of the cache, made with the folders above it, for this user
    // alone.
    QCOMPARE(GetTempFolder(), expected);
    QVERIFY(QFileInfo(expected).isDir());
#ifdef Q_OS_UNIX
    for (const QString& made :
         {expected, m_tmp->path() + QStringLiteral("/cache/lumo"), m_tmp->path() + QStringLiteral("/cache")})
        QCOMPARE(modeOf(made) & 0777, 0700);
#endif
    QCOMPARE(SystemTempFolderFault(), FolderFault::None);

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

void TestSystemSettings::privateFolderIsRefusedUnlessOnlyTheUsers() {
#ifndef Q_OS_UNIX
    QSKIP("owners and modes are POSIX ones");
#else
    const QString folder = privateFolder();
    const QString clean = QDir::cleanPath(folder);
    QVERIFY(QDir().mkpath(m_tmp->path() + QStringLiteral("/cache/lumo")));

    // Made by someone with group and others let in: left as it is, not used, and said how to mend.
    QVERIFY(QDir().mkdir(clean));
    QVERIFY(::chmod(QFile::encodeName(clean).constData(), 0755) == 0);
    QCOMPARE(SystemTempFolderFault(), FolderFault::OpenToOthers);
    TempFolderChoice choice = ChooseTempFolder();
    QCOMPARE(choice.folder, QString());
    QVERIFY2(choice.problem.contains(QStringLiteral("chmod 700 ") + clean), qPrintable(choice.problem));
    QCOMPARE(GetTempFolder(), QString());
    QCOMPARE(modeOf(clean), 0755);

    // A symbolic link in its place, to a folder of this user: never followed, never changed.
    QVERIFY(QDir().rmdir(clean));
    const QString elsewhere = m_tmp->path() + QStringLiteral("/elsewhere");
    QVERIFY(QDir().mkdir(elsewhere));
    QVERIFY(::chmod(QFile::encodeName(elsewhere).constData(), 0700) == 0);
    QVERIFY(QFile::link(elsewhere, clean));
    QCOMPARE(SystemTempFolderFault(), FolderFault::Link);
    choice = ChooseTempFolder();
    QCOMPARE(choice.folder, QString());
    QVERIFY2(choice.problem.contains(QStringLiteral("シンボリックリンク")), qPrintable(choice.problem));
    QVERIFY(QFileInfo(clean).isSymLink());
    QCOMPARE(QDir(elsewhere).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
    // A dangling link (where a download would be made through) is refused as well.
    QVERIFY(QDir().rmdir(elsewhere));
    QCOMPARE(SystemTempFolderFault(), FolderFault::Link);
    QCOMPARE(GetTempFolder(), QString());
    QVERIFY(!QFileInfo::exists(elsewhere));

    // A file in its place.
    QVERIFY(QFile::remove(clean));
    QVERIFY(QFile(clean).open(QIODevice::WriteOnly));
    QCOMPARE(SystemTempFolderFault(), FolderFault::NotAFolder);
    QCOMPARE(GetTempFolder(), QString());
    QVERIFY(QFile::remove(clean));

    // A folder above it that others may write in: the folder itself could be swapped.
    const QString above = m_tmp->path() + QStringLiteral("/cache/lumo");
    QVERIFY(::chmod(QFile::encodeName(above).constData(), 0777) == 0);
    choice = ChooseTempFolder();
    QCOMPARE(choice.folder, QString());
    QVERIFY2(choice.problem.contains(QStringLiteral("chmod go-w ") + above), qPrintable(choice.problem));
    QCOMPARE(modeOf(above), 0777);
    // Sticky, as /tmp is: others may not rename what is not theirs.
    QVERIFY(::chmod(QFile::encodeName(above).constData(), 01777) == 0);
    QCOMPARE(GetTempFolder(), folder);
    QCOMPARE(modeOf(clean), 0700);
#endif
}

void TestSystemSettings::privateFolderOfAnotherUserIsRefused() {
#ifdef Q_OS_UNIX
    // Only root can give a folder away; another user's folder cannot be had otherwise.
    if (::geteuid() != 0)
        QSKIP("needs a folder of a second user, which only root can make");
    const QString clean = QDir::cleanPath(privateFolder());
    QVERIFY(QDir().mkpath(clean));
    QVERIFY(::chmod(QFile::encodeName(clean).constData(), 0700) == 0);
    QVERIFY(::chown(QFile::encodeName(clean).constData(), 65534, 65534) == 0);
    QCOMPARE(SystemTempFolderFault(), FolderFault::OtherOwner);
    const TempFolderChoice choice = ChooseTempFolder();
    QCOMPARE(choice.folder, QString());
    QVERIFY2(choice.problem.contains(QStringLiteral("ほかのユーザー")), qPrintable(choice.problem));
    struct stat st {};
    QVERIFY(::lstat(QFile::encodeName(clean).constData(), &st) == 0);
    QCOMPARE(st.st_uid, uid_t(65534));
    QCOMPARE(modeOf(clean), 0700);
#else
    QSKIP("owners are POSIX ones");
#endif
}

void TestSystemSettings::usableUserFolderIsUsed() {
    const QString mine = m_tmp->path() + QStringLiteral("/mine");
    QVERIFY(QDir().mkpath(mine));
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::System));
    k.WriteString("temp", mine.toStdString());
    QCOMPARE(GetTempFolder(), mine + QStringLiteral("/"));
    k.WriteString("temp", (mine + QStringLiteral("/")).toStdString());
    QCOMPARE(GetTempFolder(), mine + QStringLiteral("/"));
    // The probe leaves nothing behind, and the private folder is not made when it is not needed.
    QCOMPARE(QDir(mine).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    QVERIFY(!QFileInfo::exists(privateFolder()));

    // A link planted as "tmp" in the chosen folder is never opened: its target keeps its bytes.
    const QString target = m_tmp->path() + QStringLiteral("/precious.txt");
    {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write("keep me"), qint64(7));
    }
    QVERIFY(QFile::link(target, mine + QStringLiteral("/tmp")));
    QCOMPARE(GetTempFolder(), mine + QStringLiteral("/"));
    QVERIFY(TempFolderProblem(mine).isEmpty());
    QFile f(target);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("keep me"));
    QCOMPARE(QDir(mine).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("tmp")});
}

void TestSystemSettings::systempIgnoresUserFolder() {
    const QString mine = m_tmp->path() + QStringLiteral("/mine");
    QVERIFY(QDir().mkpath(mine));
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::System));
    k.WriteString("temp", mine.toStdString());
    k.WriteDword("systemp", 1);
    QCOMPARE(GetTempFolder(), privateFolder());
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

void TestSystemSettings::deltmpNeverFollowsALinkInPlaceOfTheFolder() {
    const QString outside = m_tmp->path() + QStringLiteral("/outside");
    QVERIFY(QDir().mkpath(outside));
    QVERIFY(QFile(outside + QStringLiteral("/keep")).open(QIODevice::WriteOnly));
    QVERIFY(QDir().mkpath(m_tmp->path() + QStringLiteral("/cache/lumo")));
    const QString planted = QDir::cleanPath(privateFolder());
    QVERIFY(QFile::link(outside, planted));
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Option));
    k.WriteDword("deltmp", 1);
    RunExitActions();
    QVERIFY(QFileInfo::exists(outside + QStringLiteral("/keep")));
    QVERIFY(QFileInfo(planted).isSymLink());

    // The user's own folder reached through a link: the link goes, what it points at stays.
    const QString mine = m_tmp->path() + QStringLiteral("/mine-link");
    QVERIFY(QFile::link(outside, mine));
    QVERIFY(k.CreateKey(KeyFamily::System));
    k.WriteString("temp", mine.toStdString());
    RunExitActions();
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
