#include "StoreFixture.h"
#include "platform/RegistryFormat.h"
#include "settings/SettingsKey.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

class TestStoreDurability : public QObject {
    Q_OBJECT
private slots:
    void fileIsPrivate();
    void missingFolderIsCreated();
    void twoProcessesKeepEachOthersWrites();
    void readersNeverSeeAHalfWrittenFile();
    void unreadableFileIsMovedAsideNotDeleted();
    void damagedFileKeepsWhatCanBeRead();
    void damageWhereTheFileCannotBeMoved();
    void fileReadableByOthersIsMadePrivateOnRead();
    void readsTakeNoLock();
    void killedWriterLeavesNoLockBehind();
    void writeRemovesTempFilesKilledWritersLeft();
    void anotherStoreSeesEveryChange();
    void batchWritesOnceAtItsEnd();
};

namespace {
unsigned modeOf(const QString& path) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 0777;
}
void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Records what the store reports about damaged files while it lives.
struct DamageRecorder {
    std::vector<RegistryStore::Damage> seen;
    DamageRecorder() {
        RegistryStore::setDamageHandler([this](const RegistryStore::Damage& d) { seen.push_back(d); });
    }
    ~DamageRecorder() { RegistryStore::setDamageHandler({}); }
};

// A second copy of the program that holds the store's write lock until it is killed.
struct LockHolder {
    QProcess process;
    explicit LockHolder(const QString& storePath) {
        process.start(QStringLiteral(STORE_WRITER), {storePath, QStringLiteral("hold")});
    }
    bool waitUntilHeld() { return process.waitForReadyRead(20000) && process.readLine() == "held\n"; }
    ~LockHolder() {
        process.kill();
        process.waitForFinished();
    }
};

const QByteArray kDamagedStore = "REGEDIT4\n\n"
                                 "[HKEY_CURRENT_USER\\Software\\lumo\\Host\\Host0]\n"
                                 "\"Name\"=\"alpha\"\n\"Port\"=dword:00000015\n\n"
                                 "[HKEY_CURRENT_USER\\Software\\lumo\\Host\\Host1]\n"
                                 "\"Name\"=\"beta\"\n\"Port\"=dword:zz\n\"User\"=\"bob\"\n";

void checkSalvagedHosts(RegistryStore& store) {
    SettingsKey k(store);
    QVERIFY(k.OpenKey(KeyFamily::Host, "Host0"));
    QCOMPARE(k.ReadString("Name", ""), std::string("alpha"));
    QCOMPARE(k.ReadDword("Port", 0), 21u);
    QVERIFY(k.OpenKey(KeyFamily::Host, "Host1"));
    QCOMPARE(k.ReadString("Name", ""), std::string("beta"));
    QCOMPARE(k.ReadString("User", ""), std::string("bob"));
    QCOMPARE(k.ReadDword("Port", 0), 0u);
}

} // namespace

void TestStoreDurability::fileIsPrivate() {
    StoreFixture fx;
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Host, "Host0"));
    k.WriteScrambled("Pass", "secret");
    QCOMPARE(modeOf(fx.filePath()), 0600u);
    // A file that someone made readable for all is private again after the next write.
    QVERIFY(QFile::setPermissions(fx.filePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ReadOther | QFileDevice::ReadGroup));
    k.WriteString("User", "me");
    QCOMPARE(modeOf(fx.filePath()), 0600u);
    // Nothing but the store and its lock is left in the folder.
    QStringList files = QDir(fx.dir()).entryList(QDir::Files | QDir::Hidden);
    files.removeAll(QStringLiteral("lumo.reg.lock"));
    QCOMPARE(files, QStringList{QStringLiteral("lumo.reg")});
}

void TestStoreDurability::missingFolderIsCreated() {
    QTemporaryDir dir;
    QString path = dir.path() + QStringLiteral("/a/b/lumo/lumo.reg");
    RegistryStore store(path);
    SettingsKey k(store);
    QVERIFY(k.CreateKey(KeyFamily::Option));
    QVERIFY(k.WriteDword("type", 0));
    QVERIFY(QFile::exists(path));
    QCOMPARE(modeOf(dir.path() + QStringLiteral("/a/b/lumo")), 0700u);
}

void TestStoreDurability::twoProcessesKeepEachOthersWrites() {
    StoreFixture fx;
    const int count = 60;
    QProcess a, b;
    a.start(QStringLiteral(STORE_WRITER), {fx.filePath(), QStringLiteral("a"), QString::number(count)});
    b.start(QStringLiteral(STORE_WRITER), {fx.filePath(), QStringLiteral("b"), QString::number(count)});
    QVERIFY(a.waitForFinished(60000));
    QVERIFY(b.waitForFinished(60000));
    QCOMPARE(a.exitCode(), 0);
    QCOMPARE(b.exitCode(), 0);

    SettingsKey k;
    QVERIFY(k.OpenKey(KeyFamily::Option));
    for (int i = 0; i < count; ++i) {
        QCOMPARE(k.ReadDword("a" + std::to_string(i), 999), static_cast<unsigned>(i));
        QCOMPARE(k.ReadDword("b" + std::to_string(i), 999), static_cast<unsigned>(i));
    }
}

void TestStoreDurability::readersNeverSeeAHalfWrittenFile() {
    StoreFixture fx;
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Option));
    // Make the file large enough that a torn write would show.
    for (int i = 0; i < 20; ++i)
        k.WriteString("pad" + std::to_string(i), std::string(250, 'p'));

    QProcess writer;
    writer.start(QStringLiteral(STORE_WRITER), {fx.filePath(), QStringLiteral("w"), QStringLiteral("80")});
    QVERIFY(writer.waitForStarted());
    int reads = 0;
    while (writer.state() != QProcess::NotRunning) {
        QFile f(fx.filePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        RegistryParse read =
            RegistryTree::parse(std::string_view(text.constData(), static_cast<size_t>(text.size())));
        QVERIFY2(!read.damaged(), "a reader saw a file that does not parse");
        QVERIFY(read.tree.value("Software\\lumo\\option", "pad19"));
        ++reads;
        writer.waitForFinished(1);
    }
    QCOMPARE(writer.exitCode(), 0);
    QVERIFY(reads > 0);
}

void TestStoreDurability::unreadableFileIsMovedAsideNotDeleted() {
    StoreFixture fx;
    DamageRecorder damage;
    const QByteArray garbage = "this is not a settings file\n[broken\n";
    writeFile(fx.filePath(), garbage);
    SettingsKey k;
    QVERIFY(!k.OpenKey(KeyFamily::Option));
    QCOMPARE(k.ReadDword("type", 1), 1u);

    QString aside = fx.store().movedAsidePath();
    QVERIFY(!aside.isEmpty());
    QVERIFY(aside.startsWith(fx.filePath() + QStringLiteral(".broken-")));
    QFile moved(aside);
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), garbage);
    QCOMPARE(damage.seen.size(), size_t(1));
    QCOMPARE(damage.seen[0].keptAt, aside);
    QCOMPARE(damage.seen[0].skippedLines, 3);

    // The program goes on with a fresh store.
    QVERIFY(k.CreateKey(KeyFamily::Option));
    QVERIFY(k.WriteDword("type", 0));
    QCOMPARE(k.ReadDword("type", 1), 0u);
    QVERIFY(QFile::exists(aside));
    QCOMPARE(damage.seen.size(), size_t(1));
}

void TestStoreDurability::damagedFileKeepsWhatCanBeRead() {
    StoreFixture fx;
    DamageRecorder damage;
    writeFile(fx.filePath(), kDamagedStore);
    // Damage inside Host1 costs only its one bad value: Host0 and the rest of Host1 are read.
    checkSalvagedHosts(fx.store());
    QCOMPARE(damage.seen.size(), size_t(1));
    const QString aside = fx.store().movedAsidePath();
    QVERIFY(aside.startsWith(fx.filePath() + QStringLiteral(".broken-")));
    QCOMPARE(damage.seen[0].keptAt, aside);
    QCOMPARE(damage.seen[0].storePath, fx.filePath());
    QCOMPARE(damage.seen[0].skippedLines, 1);
    QCOMPARE(readFile(aside), kDamagedStore);

    // What was read is the store now: another copy of the program finds it whole.
    RegistryStore other(fx.filePath());
    checkSalvagedHosts(other);
    SettingsKey k;
    QVERIFY(k.OpenKey(KeyFamily::Host, "Host0"));
    QVERIFY(k.WriteString("User", "al"));
    QCOMPARE(k.ReadString("User", ""), std::string("al"));
    QCOMPARE(damage.seen.size(), size_t(1));
    QCOMPARE(modeOf(fx.filePath()), 0600u);
}

void TestStoreDurability::damageWhereTheFileCannotBeMoved() {
    StoreFixture fx;
    DamageRecorder damage;
    writeFile(fx.filePath(), kDamagedStore);
    // A folder where the lock file would be: the store cannot be locked, as in a read-only folder.
    QVERIFY(QDir().mkdir(fx.filePath() + QStringLiteral(".lock")));
    checkSalvagedHosts(fx.store());
    checkSalvagedHosts(fx.store());
    QCOMPARE(damage.seen.size(), size_t(1));
    QCOMPARE(damage.seen[0].keptAt, fx.filePath());
    QVERIFY(fx.store().movedAsidePath().isEmpty());
    QCOMPARE(readFile(fx.filePath()), kDamagedStore);
    SettingsKey k;
    QVERIFY(k.OpenKey(KeyFamily::Host, "Host0"));
    QVERIFY(!k.WriteString("User", "al"));
    QCOMPARE(damage.seen.size(), size_t(1));
}

void TestStoreDurability::fileReadableByOthersIsMadePrivateOnRead() {
    StoreFixture fx;
    {
        SettingsKey k;
        QVERIFY(k.CreateKey(KeyFamily::Host, "Host0"));
        k.WriteScrambled("Pass", "secret");
    }
    QVERIFY(QFile::setPermissions(fx.filePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ReadGroup | QFileDevice::ReadOther));
    RegistryStore starting(fx.filePath());
    SettingsKey k(starting);
    QVERIFY(k.OpenKey(KeyFamily::Host, "Host0"));
    QCOMPARE(k.ReadScrambled("Pass"), std::string("secret"));
    QCOMPARE(modeOf(fx.filePath()), 0600u);
}

void TestStoreDurability::readsTakeNoLock() {
    StoreFixture fx;
    {
        SettingsKey k;
        QVERIFY(k.CreateKey(KeyFamily::Host, "Host0"));
        QVERIFY(k.WriteString("Name", "alpha"));
    }
    {
        // While another copy holds the write lock, a starting copy still reads every value.
        LockHolder holder(fx.filePath());
        QVERIFY(holder.waitUntilHeld());
        RegistryStore starting(fx.filePath());
        SettingsKey k(starting);
        QVERIFY(k.OpenKey(KeyFamily::Host, "Host0"));
        QCOMPARE(k.ReadString("Name", ""), std::string("alpha"));
    }
    // Where no lock can be made at all (a read-only folder), reads go on; writes fail at once.
    QVERIFY(QFile::remove(fx.filePath() + QStringLiteral(".lock")));
    QVERIFY(QDir().mkdir(fx.filePath() + QStringLiteral(".lock")));
    RegistryStore readOnly(fx.filePath());
    SettingsKey k(readOnly);
    QVERIFY(k.OpenKey(KeyFamily::Host, "Host0"));
    QCOMPARE(k.ReadString("Name", ""), std::string("alpha"));
    QVERIFY(!k.WriteString("Name", "beta"));
    {
        RegistryStore::Batch batch(readOnly);
        QVERIFY(!k.WriteString("Name", "gamma"));
    }
    QCOMPARE(k.ReadString("Name", ""), std::string("alpha"));
}

void TestStoreDurability::killedWriterLeavesNoLockBehind() {
    StoreFixture fx;
    // An empty lock file, as a writer killed long ago may have left, stops nobody.
    writeFile(fx.filePath() + QStringLiteral(".lock"), QByteArray());
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Option));
    QVERIFY(k.WriteDword("a", 1));
    for (int round = 0; round < 3; ++round) {
        LockHolder holder(fx.filePath());
        QVERIFY(holder.waitUntilHeld());
        holder.process.kill();
        QVERIFY(holder.process.waitForFinished());
        // The kernel dropped the lock with its holder: the next write goes through.
        QVERIFY(k.WriteDword("a", static_cast<unsigned>(round + 2)));
        QCOMPARE(k.ReadDword("a", 0), static_cast<unsigned>(round + 2));
    }
}

void TestStoreDurability::writeRemovesTempFilesKilledWritersLeft() {
    StoreFixture fx;
    SettingsKey k;
    QVERIFY(k.CreateKey(KeyFamily::Host, "Host0"));
    QVERIFY(k.WriteScrambled("Pass", "secret"));
    const QByteArray copy = fx.fileBytes();
    const QString dir = fx.dir() + QLatin1Char('/');
    // Copies of the store as writers killed in the middle of a write leave them: whole, cut short,
    // empty (the names QSaveFile gave them, and this store's own).
    writeFile(dir + QStringLiteral("lumo.reg.hKXnnE"), copy);
    writeFile(dir + QStringLiteral("lumo.reg.QOdppn"), copy.left(20));
    writeFile(dir + QStringLiteral("lumo.reg.ZZZZZZ"), QByteArray());
    // What is not a temporary file of this store stays: other names, someone's own copy, a link
    // (and what it names), a folder, a file of another user.
    QStringList kept = {QStringLiteral("lumo.reg"),
                        QStringLiteral("lumo.reg.lock"),
                        QStringLiteral("lumo.reg.broken-20260101-120000"),
                        QStringLiteral("lumo.reg.bak"),
                        QStringLiteral("lumo.reg.ABC"),
                        QStringLiteral("lumo.reg.ABCDEFG"),
                        QStringLiteral("lumo.reg.AB12CD"),
                        QStringLiteral("lumo.reg.backup"),
                        QStringLiteral("lumo.regXQOdppn"),
                        QStringLiteral("other.reg.QOdppn")};
    for (const QString& name : kept.mid(2))
        writeFile(dir + name, copy);
    QTemporaryDir outside;
    const QString linked = outside.path() + QStringLiteral("/linked");
    writeFile(linked, "not the store's");
    QVERIFY(QFile::link(linked, dir + QStringLiteral("lumo.reg.LinkAB")));
    QVERIFY(QDir().mkdir(dir + QStringLiteral("lumo.reg.Folder")));
    kept << QStringLiteral("lumo.reg.LinkAB") << QStringLiteral("lumo.reg.Folder");
    // Only the superuser can give a file to another user.
    if (::geteuid() == 0) {
        writeFile(dir + QStringLiteral("lumo.reg.Others"), copy);
        QCOMPARE(
            ::chown(QFile::encodeName(dir + QStringLiteral("lumo.reg.Others")).constData(), 65534, 65534), 0);
        kept << QStringLiteral("lumo.reg.Others");
    }

    // Reads leave them: only a write holds the lock that proves no other writer is at work.
    QVERIFY(k.OpenKey(KeyFamily::Host, "Host0"));
    QCOMPARE(k.ReadScrambled("Pass"), std::string("secret"));
    QVERIFY(QFile::exists(dir + QStringLiteral("lumo.reg.hKXnnE")));
    QVERIFY(k.WriteString("User", "me"));
    QStringList files =
        QDir(fx.dir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    files.sort();
    kept.sort();
    QCOMPARE(files, kept);
    QCOMPARE(readFile(linked), QByteArray("not the store's"));
    QCOMPARE(modeOf(fx.filePath()), 0600u);
}

void TestStoreDurability::anotherStoreSeesEveryChange() {
    StoreFixture fx;
    RegistryStore other(fx.filePath());
    SettingsKey w;
    SettingsKey r(other);
    QVERIFY(w.CreateKey(KeyFamily::Option));
    for (unsigned i = 0; i < 20; ++i) {
        QVERIFY(w.WriteDword("type", i));
        QVERIFY(r.OpenKey(KeyFamily::Option));
        QCOMPARE(r.ReadDword("type", 999), i);
    }
    SettingsKey root;
    QVERIFY(root.OpenKey(KeyFamily::Root, ""));
    QVERIFY(root.DeleteSubkey("option"));
    QVERIFY(!r.OpenKey(KeyFamily::Option));
}

void TestStoreDurability::batchWritesOnceAtItsEnd() {
    StoreFixture fx;
    RegistryStore other(fx.filePath());
    {
        SettingsBatch outer;
        SettingsKey k;
        QVERIFY(k.CreateKey(KeyFamily::Host, "Host0"));
        QVERIFY(k.WriteString("Name", "a"));
        for (unsigned i = 0; i < 15; ++i)
            QVERIFY(k.WriteDword("v" + std::to_string(i), i));
        {
            SettingsBatch inner;
            QVERIFY(k.WriteDword("Port", 2121));
        }
        // Inside the batch this process reads its own writes; the file is not written yet.
        QCOMPARE(k.ReadDword("Port", 21), 2121u);
        QVERIFY(!QFile::exists(fx.filePath()));
        QVERIFY(!k.OpenKey(KeyFamily::Option));
    }
    QCOMPARE(fx.store().rewrites(), 1);
    // A value written again as it is costs no rewrite.
    SettingsKey same;
    QVERIFY(same.OpenKey(KeyFamily::Host, "Host0"));
    QVERIFY(same.WriteDword("Port", 2121));
    QCOMPARE(fx.store().rewrites(), 1);
    SettingsKey r(other);
    QVERIFY(r.OpenKey(KeyFamily::Host, "Host0"));
    QCOMPARE(r.ReadString("Name", ""), std::string("a"));
    QCOMPARE(r.ReadDword("v14", 0), 14u);
    QCOMPARE(r.ReadDword("Port", 21), 2121u);
    QCOMPARE(modeOf(fx.filePath()), 0600u);

    // A batch in one process and plain writes in another still both survive.
    QProcess writer;
    {
        SettingsBatch batch;
        SettingsKey k;
        QVERIFY(k.CreateKey(KeyFamily::Option));
        writer.start(QStringLiteral(STORE_WRITER), {fx.filePath(), QStringLiteral("w"), QStringLiteral("5")});
        QVERIFY(writer.waitForStarted());
        for (unsigned i = 0; i < 5; ++i)
            k.WriteDword("b" + std::to_string(i), i);
    }
    QVERIFY(writer.waitForFinished(60000));
    QCOMPARE(writer.exitCode(), 0);
    SettingsKey k;
    QVERIFY(k.OpenKey(KeyFamily::Option));
    for (unsigned i = 0; i < 5; ++i) {
        QCOMPARE(k.ReadDword("b" + std::to_string(i), 99), i);
        QCOMPARE(k.ReadDword("w" + std::to_string(i), 99), i);
    }
}

QTEST_GUILESS_MAIN(TestStoreDurability)
#include "tst_store_durability.moc"
