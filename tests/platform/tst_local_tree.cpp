#include "platform/LocalTree.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class TestLocalTree : public QObject {
    Q_OBJECT
private slots:
    void removesNestedTreeWithoutFollowingLinks();
    void aLinkAsTheFolderGoesAlone();
    void homeAndRootAreProtected();
};

namespace {
void touch(const QString& path, const QByteArray& data = "x") {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}
} // namespace

void TestLocalTree::removesNestedTreeWithoutFollowingLinks() {
    QTemporaryDir dir;
    const QString tree = dir.path() + QStringLiteral("/tmp/lumo");
    const QString outside = dir.path() + QStringLiteral("/outside");
    QVERIFY(QDir().mkpath(tree + QStringLiteral("/a/b/c")));
    QVERIFY(QDir().mkpath(tree + QStringLiteral("/empty")));
    QVERIFY(QDir().mkpath(outside + QStringLiteral("/keep")));
    touch(tree + QStringLiteral("/a/f1"));
    touch(tree + QStringLiteral("/a/b/c/f2"));
    touch(outside + QStringLiteral("/keep/precious"));
    QVERIFY(QFile::link(outside, tree + QStringLiteral("/a/link-to-outside")));
    QVERIFY(QFile::link(outside + QStringLiteral("/keep/precious"), tree + QStringLiteral("/file-link")));
    QVERIFY(QFile::link(tree + QStringLiteral("/missing"), tree + QStringLiteral("/dangling")));

    QVERIFY(RemoveTreeNoFollow(tree));
    QVERIFY(!QFileInfo::exists(tree));
    QVERIFY(QFileInfo::exists(outside + QStringLiteral("/keep/precious")));
    QVERIFY(QFileInfo::exists(dir.path() + QStringLiteral("/tmp")));
}

void TestLocalTree::aLinkAsTheFolderGoesAlone() {
    QTemporaryDir dir;
    const QString real = dir.path() + QStringLiteral("/real");
    QVERIFY(QDir().mkpath(real));
    touch(real + QStringLiteral("/f"));
    QVERIFY(QFile::link(real, dir.path() + QStringLiteral("/alias")));
    QVERIFY(RemoveTreeNoFollow(dir.path() + QStringLiteral("/alias/")));
    QVERIFY(!QFileInfo(dir.path() + QStringLiteral("/alias")).isSymLink());
    QVERIFY(QFileInfo::exists(real + QStringLiteral("/f")));
}

void TestLocalTree::homeAndRootAreProtected() {
    QVERIFY(IsProtectedFolder(QStringLiteral("/")));
    QVERIFY(IsProtectedFolder(QDir::homePath()));
    QVERIFY(IsProtectedFolder(QDir::homePath() + QStringLiteral("/")));
    QDir home(QDir::homePath());
    if (home.cdUp())
        QVERIFY(IsProtectedFolder(home.path()));
    QVERIFY(!IsProtectedFolder(QDir::homePath() + QStringLiteral("/tmp-lumo")));
    QTemporaryDir dir;
    QVERIFY(!IsProtectedFolder(dir.path()));
}

QTEST_GUILESS_MAIN(TestLocalTree)
#include "tst_local_tree.moc"
