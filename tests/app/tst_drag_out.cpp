#include "app/WindowSession.h"
#include "app/gui/DragDownloads.h"
#include "fixtures/gui/OpenedUrls.h"
#include "gui/views/CQXLogView.h"
#include "platform/gui/DragOut.h"

#include <QApplication>
#include <QDirIterator>
#include <QMimeData>
#include <QProcess>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

// Rows dragged out of the file list land in the folder the desktop names, by each of the ways a
// desktop can name it: a stand-in file manager on an X server of the test's own takes a real drag
// through the X direct-save exchange, a KDE target's call arrives over a session bus of the test's
// own, and a target that wants the files themselves asks for the drag's file list.
class TestDragOut : public QObject {
    Q_OBJECT
private slots:
    void routesFollowTheDesktop();
    void directSaveTargetGetsTheRows();
    void kdeTargetCallsBackWithTheFolder();
    void fileListTargetGetsFetchedFiles();
};

namespace {

// A helper program of the test: started before the application, stopped at the end, telling the
// test one line on a pipe (the X display's number, the bus's address).
struct Helper {
    pid_t pid = -1;
    QByteArray line;

    // `argv` holds "%d" where the pipe's descriptor goes.
    bool Start(std::vector<std::string> argv) {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        for (std::string& arg : argv) {
            const std::size_t at = arg.find("%d");
            if (at != std::string::npos)
                arg.replace(at, 2, std::to_string(fds[1]));
        }
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, 2);
            std::vector<char*> args;
            for (std::string& arg : argv)
                args.push_back(arg.data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        close(fds[1]);
        char c;
        while (pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            line += c;
        close(fds[0]);
        return pid > 0 && !line.isEmpty();
    }

    ~Helper() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

bool g_haveX = false;
bool g_haveBus = false;

// The selected rows as a drag of them delivers, with the routes given.
std::unique_ptr<QMimeData> dragData(CMainFrame& frame, DragOutRoutes routes, int budgetMs = 25000) {
    DragOutRequest request;
    request.delivery = MakeRowsDelivery(frame, frame.ListView()->SelectedRows());
    request.suggestedName = QStringLiteral("x");
    request.fetchBudgetMs = budgetMs;
    return std::unique_ptr<QMimeData>(MakeDragOutData(std::move(request), routes));
}

// Every file below `folder`, with its size, as "path size" relative to it.
QStringList treeOf(const QString& folder) {
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString relative = QDir(folder).relativeFilePath(it.filePath());
        entries << (it.fileInfo().isDir()
                        ? relative + QLatin1Char('/')
                        : relative + QLatin1Char(' ') + QString::number(it.fileInfo().size()));
    }
    entries.sort();
    return entries;
}

const QStringList kDraggedTree{
    QStringLiteral("a.txt 5"),    QStringLiteral("b.log 1234"),           QStringLiteral("sub/"),
    QStringLiteral("sub/inner/"), QStringLiteral("sub/inside.txt 70000"),
};

// Plays the file manager: drags from `press` (global) and drops on its own window showing
// `folder`, or at `release`; what it saw, one fact a line.
QStringList playFileManager(const QPoint& press, const QString& folder, const QStringList& more = {}) {
    QProcess target;
    target.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    target.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral(LUMO_SOURCE_DIR "/tests/app/xds_file_manager.py"),
                             QStringLiteral("--press"), QStringLiteral("%1,%2").arg(press.x()).arg(press.y()),
                             QStringLiteral("--folder"), folder, QStringLiteral("--geometry"),
                             QStringLiteral("700,80,300,300")} +
                     more);
    // The drag runs in this process's event loop while the target moves the pointer.
    if (!QTest::qWaitFor([&target] { return target.state() == QProcess::NotRunning; }, 40000))
        target.kill();
    return QString::fromUtf8(target.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

void TestDragOut::routesFollowTheDesktop() {
    const QString xcb = QStringLiteral("xcb");
    const QString wayland = QStringLiteral("wayland");
    struct Case {
        QString platform, desktop;
        bool bus, xcbBuilt;
        bool directSave, kdeExtract, fileList;
    } cases[] = {
        {xcb, QStringLiteral("XFCE"), true, true, true, true, false},
        // KDE on X11: Dolphin calls back, GTK file managers there still save directly.
        {xcb, QStringLiteral("KDE"), true, true, true, true, false},
        // GNOME Files speaks neither; the file list must then not be spoilt by the X exchange.
        {xcb, QStringLiteral("ubuntu:GNOME"), true, true, false, true, true},
        {wayland, QStringLiteral("KDE"), true, true, false, true, false},
        {wayland, QStringLiteral("sway"), false, true, false, false, true},
        // A build without the X exchange falls back to the file list.
        {xcb, QStringLiteral("XFCE"), false, false, false, false, true},
    };
    for (const Case& c : cases) {
        const DragOutRoutes r = ChooseDragOutRoutes(c.platform, c.desktop, c.bus, c.xcbBuilt);
        const QString what = c.platform + QLatin1Char(' ') + c.desktop;
        QVERIFY2(r.directSave == c.directSave && r.kdeExtract == c.kdeExtract && r.fileList == c.fileList,
                 qPrintable(what));
        // The two are never offered together.
        QVERIFY(!(r.directSave && r.fileList));
    }
}

void TestDragOut::directSaveTargetGetsTheRows() {
    if (!g_haveX)
        QSKIP("Xvfb could not be started");
    Session session;
    session.Start();
    session.Connect();
    CMainFrame& f = *session.frame;
    CQXListView* list = f.ListView();
    OpenedUrls opened;
    QVERIFY(CurrentDragOutRoutes().directSave);
    selectRows(list, {QStringLiteral("b.log"), QStringLiteral("sub"), QStringLiteral("a.txt")});
    QTreeView* details = list->DetailsView();
    auto pointOf = [details, list](const QString& name) {
        return details->viewport()->mapToGlobal(details->visualRect(rowNamed(list, name)).center());
    };

    // Dropped on the file manager's window: the rows come down into the folder it shows.
    const QString folder = session.LocalPath(QStringLiteral("Desktop"));
    QVERIFY(QDir().mkpath(folder));
    const QStringList seen = playFileManager(pointOf(QStringLiteral("b.log")), folder);
    QVERIFY2(seen.contains(QStringLiteral("answer S")),
             qPrintable(seen.join(QLatin1Char('\n')) + f.LogView()->toPlainText()));
    const QString types = seen.filter(QStringLiteral("types ")).value(0);
    QVERIFY2(types.contains(QStringLiteral("XdndDirectSave0")), qPrintable(types));
    QVERIFY2(!types.contains(QStringLiteral("text/uri-list")), qPrintable(types));
    // The name offered is the first dragged row's, in list order.
    QVERIFY(seen.contains(QStringLiteral("name sub")));
    QTRY_COMPARE_WITH_TIMEOUT(treeOf(folder), kDraggedTree, 15000);
    session.WaitIdle();
    QCOMPARE(fileBytes(folder + QStringLiteral("/sub/inside.txt")), QByteArray(70000, 'i'));
    // No file manager window is opened afterwards.
    QVERIFY(opened.paths.isEmpty());

    // A folder on another machine is refused, and nothing comes down.
    const QString elsewhere = session.LocalPath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere));
    const QString logBefore = f.LogView()->toPlainText();
    const QStringList refused = playFileManager(pointOf(QStringLiteral("a.txt")), elsewhere,
                                                {QStringLiteral("--host"), QStringLiteral("far.example")});
    QVERIFY2(refused.contains(QStringLiteral("answer E")), qPrintable(refused.join(QLatin1Char('\n'))));
    QTest::qWait(300);
    session.WaitIdle();
    QCOMPARE(treeOf(elsewhere), QStringList());
    QCOMPARE(f.LogView()->toPlainText(), logBefore);

    // Let go over lumo's own list: nothing goes up or comes down.
    const QPoint ownList = details->viewport()->mapToGlobal(QPoint(40, details->viewport()->height() - 10));
    const QStringList own = playFileManager(
        pointOf(QStringLiteral("a.txt")), elsewhere,
        {QStringLiteral("--release"), QStringLiteral("%1,%2").arg(ownList.x()).arg(ownList.y())});
    QVERIFY2(own.contains(QStringLiteral("answer none")), qPrintable(own.join(QLatin1Char('\n'))));
    QTest::qWait(300);
    session.WaitIdle();
    QCOMPARE(f.LogView()->toPlainText(), logBefore);
    QCOMPARE(treeOf(elsewhere), QStringList());
}

void TestDragOut::kdeTargetCallsBackWithTheFolder() {
    if (!g_haveBus)
        QSKIP("dbus-daemon could not be started");
    Session session;
    session.Start();
    session.Connect();
    CMainFrame& f = *session.frame;
    selectRows(f.ListView(), {QStringLiteral("a.txt"), QStringLiteral("sub"), QStringLiteral("b.log")});
    // The call a KDE target makes, from a process of its own (Dolphin waits for the reply).
    auto call = [](const QMimeData& data, const QString& target) {
        QProcess dbus;
        dbus.start(QStringLiteral("dbus-send"),
                   {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                    QStringLiteral("--dest=") + QString::fromUtf8(data.data(QStringLiteral(
                                                    "application/x-kde-ark-dndextract-service"))),
                    QString::fromUtf8(data.data(QStringLiteral("application/x-kde-ark-dndextract-path"))),
                    QStringLiteral("org.kde.ark.DndExtract.extractSelectedFilesTo"),
                    QStringLiteral("string:") + target});
        return QTest::qWaitFor([&dbus] { return dbus.state() == QProcess::NotRunning; }, 10000) &&
               dbus.exitCode() == 0;
    };

    // Dolphin names the folder by its path. A path that is no folder is refused and does not use
    // the drag up.
    const std::unique_ptr<QMimeData> data = dragData(f, DragOutRoutes{false, true, false});
    QVERIFY(data->hasFormat(QStringLiteral("application/x-kde-ark-dndextract-service")));
    const QString folder = session.LocalPath(QStringLiteral("dolphin"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(call(*data, session.LocalPath(QStringLiteral("missing"))));
    QVERIFY(call(*data, folder));
    QTRY_COMPARE_WITH_TIMEOUT(treeOf(folder), kDraggedTree, 15000);
    session.WaitIdle();
    QVERIFY(!QFileInfo::exists(session.LocalPath(QStringLiteral("missing"))));
    // A second call about the same drag brings nothing more.
    const QString again = session.LocalPath(QStringLiteral("again"));
    QVERIFY(QDir().mkpath(again));
    QVERIFY(call(*data, again));

    // The Plasma desktop names it as a file URL; a URL of another machine is refused.
    const std::unique_ptr<QMimeData> second = dragData(f, DragOutRoutes{false, true, false});
    const QString desktop = session.LocalPath(QStringLiteral("plasma"));
    QVERIFY(QDir().mkpath(desktop));
    QVERIFY(call(*second, QStringLiteral("file://far.example") + desktop));
    QVERIFY(call(*second, QUrl::fromLocalFile(desktop).toString()));
    QTRY_COMPARE_WITH_TIMEOUT(treeOf(desktop), kDraggedTree, 15000);
    session.WaitIdle();
    QCOMPARE(treeOf(again), QStringList());
    // The older drag is overtaken by the newer one.
    QVERIFY(call(*data, again));
    QTest::qWait(200);
    session.WaitIdle();
    QCOMPARE(treeOf(again), QStringList());
}

void TestDragOut::fileListTargetGetsFetchedFiles() {
    Session session;
    session.Start();
    session.Connect();
    CMainFrame& f = *session.frame;
    CQXListView* list = f.ListView();
    auto log = [&f] { return f.LogView()->toPlainText(); };
    const QString cache = DragOutCacheRoot();
    QVERIFY(cache.startsWith(QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME"))));

    // Asked as GNOME Files asks: the files come into a folder of the drag's own in the cache, and
    // the list names them once all are there.
    selectRows(list, {QStringLiteral("sub"), QStringLiteral("a.txt"), QStringLiteral("b.log")});
    const std::unique_ptr<QMimeData> data = dragData(f, DragOutRoutes{false, false, true});
    QVERIFY(!data->hasFormat(QStringLiteral("XdndDirectSave0")));
    const QList<QUrl> urls = data->urls();
    QCOMPARE(urls.size(), 3);
    const QString folder = QFileInfo(urls.front().toLocalFile()).path();
    QCOMPARE(QFileInfo(folder).path(), cache);
    // Only this user may enter the drag's folder, and no one else may write in the cache's.
    QCOMPARE(QFile::permissions(folder) & 0x0077, QFileDevice::Permissions());
    QCOMPARE(QFile::permissions(cache) & (QFileDevice::WriteGroup | QFileDevice::WriteOther),
             QFileDevice::Permissions());
    QStringList names;
    for (const QUrl& url : urls) {
        QCOMPARE(QFileInfo(url.toLocalFile()).path(), folder);
        names << url.fileName();
    }
    QCOMPARE(names, (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.log"), QStringLiteral("sub")}));
    QCOMPARE(treeOf(folder), kDraggedTree);
    // The server goes back to the folder the list shows, which the folder's download had left.
    session.WaitIdle();
    QVERIFY(log().endsWith(QStringLiteral("\nCWD /\n250 \"/\" is the current directory.\n")));
    // A second request is answered with the same files, without fetching them again.
    QCOMPARE(data->urls(), urls);
    QCOMPARE(log().count(QStringLiteral("\nRETR /a.txt\n")), 1);

    // A file that went from the server meanwhile: nothing is named and the drag's folder goes.
    QVERIFY(QFile::remove(session.ServerPath(QStringLiteral("b.log"))));
    selectRows(list, {QStringLiteral("a.txt"), QStringLiteral("b.log")});
    const std::unique_ptr<QMimeData> gone = dragData(f, DragOutRoutes{false, false, true});
    QCOMPARE(gone->data(QStringLiteral("text/uri-list")), QByteArray());
    QCOMPARE(QDir(cache).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);

    // A file that takes longer than a target waits: the transfer stops and its part goes.
    writeFile(session.ServerPath(QStringLiteral("big.slow")), QByteArray(2 * 1024 * 1024, 's'));
    QVERIFY(f.RunCommand(CommandId::Refresh));
    QTRY_VERIFY_WITH_TIMEOUT(rowNamed(list, QStringLiteral("big.slow")).isValid(), 10000);
    session.WaitIdle();
    selectRows(list, {QStringLiteral("big.slow")});
    const std::unique_ptr<QMimeData> slow = dragData(f, DragOutRoutes{false, false, true}, 700);
    QCOMPARE(slow->data(QStringLiteral("text/uri-list")), QByteArray());
    QCOMPARE(QDir(cache).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
    session.WaitIdle();
    QVERIFY(log().contains(QStringLiteral("\nABOR\n")));
}

int main(int argc, char** argv) {
    // The test's own X server (when Xvfb is there) and session bus, and a cache of its own.
    Helper xserver;
    Helper bus;
    g_haveX = xserver.Start({"Xvfb", "-displayfd", "%d", "-screen", "0", "1280x900x24", "-nolisten", "tcp"});
    if (g_haveX) {
        qputenv("DISPLAY", ":" + xserver.line.trimmed());
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    g_haveBus = bus.Start({"dbus-daemon", "--session", "--nofork", "--print-address=%d"});
    if (g_haveBus)
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.line.trimmed());
    qunsetenv("XDG_CURRENT_DESKTOP");
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    QApplication app(argc, argv);
    TestDragOut test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_drag_out.moc"
