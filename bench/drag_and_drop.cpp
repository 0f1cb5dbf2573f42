// Drag and drop with many entries, in the main window itself (offscreen) against pyftpdlib on
// 127.0.0.1: how long a drag of 10,000 selected rows takes to start (press on a row, move past the
// drag distance, until the drag runs), and how a drop of 10,000 local files builds its queue: the
// time until the whole queue stands and the longest the window went without handling its events
// meanwhile, into an empty folder and into a folder that lists 10,000 rows.
// Usage: drag_and_drop [ENTRIES]
#include "WaitFor.h"
#include "app/gui/CMainFrame.h"
#include "engine/FtpEngine.h"
#include "gui/views/CQXListView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

void MakeFiles(const QString& folder, int count, const QString& prefix) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        QFile f(QStringLiteral("%1/%2%3.txt").arg(folder, prefix).arg(i, 5, 10, QLatin1Char('0')));
        f.open(QIODevice::WriteOnly);
        f.write("x");
    }
}

// Drops every file of `local` on the list and waits until the whole queue stands (the listing that
// ends it is queued): its time and the longest gap between two turns of the event loop, in ms.
std::pair<double, double> DropAll(CMainFrame& frame, const QString& local) {
    CFtpEngine& engine = frame.Engine();
    QList<QUrl> urls;
    for (const QString& name : QDir(local).entryList(QDir::Files))
        urls << QUrl::fromLocalFile(local + QLatin1Char('/') + name);
    QMimeData data;
    data.setUrls(urls);
    QWidget* viewport = frame.ListView()->DetailsView()->viewport();
    const QPoint below(10, viewport->height() - 5);
    QElapsedTimer clock;
    clock.start();
    QDragEnterEvent enter(below, Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &enter);
    QDropEvent drop(QPointF(below), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &drop);
    qint64 last = 0;
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    tick.start();
    const bool built = WaitFor(
        [&] { return !engine.Queue().empty() && std::holds_alternative<Op::List>(engine.Queue().back()); },
        600);
    const double ms = clock.nsecsElapsed() / 1e6;
    tick.stop();
    engine.CancelTransfers();
    WaitFor([&] { return !engine.CanCancel(); }, 60);
    return {built ? ms : -1, static_cast<double>(longest)};
}

} // namespace

int main(int argc, char** argv) {
    const int entries = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir work;
    qputenv("LUMO_CONFIG_DIR", QFile::encodeName(work.filePath(QStringLiteral("config"))));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString root = work.filePath(QStringLiteral("root"));
    MakeFiles(root + QStringLiteral("/wide"), entries, QStringLiteral("remote"));
    QDir().mkpath(root + QStringLiteral("/empty"));
    MakeFiles(work.filePath(QStringLiteral("local")), entries, QStringLiteral("dropped"));

    QProcess server;
    const QString portFile = work.filePath(QStringLiteral("port"));
    server.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(LUMO_SOURCE_DIR "/scripts/ftp_server.py"), QStringLiteral("--root"), root,
                  QStringLiteral("--port-file"), portFile});
    if (!WaitFor([&] { return QFile::exists(portFile); }, 20)) {
        std::fprintf(stderr, "drag_and_drop: the server did not start\n");
        return 1;
    }
    QFile port(portFile);
    port.open(QIODevice::ReadOnly);

    CMainFrame frame;
    frame.resize(900, 700);
    frame.show();
    CFtpEngine& engine = frame.Engine();
    HostRecord host;
    host.Name = "bench";
    host.Adr = "127.0.0.1";
    host.Port = port.readAll().trimmed().toInt();
    host.User = "lumo";
    host.Pass = "lumo";
    host.Pasv = 1;
    engine.ConnectHost(host, -1);
    auto idle = [&engine] { return engine.IsConnected() && !engine.CanCancel(); };
    CQXListView* list = frame.ListView();
    engine.ChangeFolder("/wide");
    if (!WaitFor(idle, 30) || !WaitFor([&] { return list->Model().RowCount() == entries && idle(); }, 60)) {
        std::fprintf(stderr, "drag_and_drop: no listing of %d rows\n", entries);
        return 1;
    }

    // A drag of every row: press on one, move past the drag distance.
    std::vector<double> starts;
    QTreeView* details = list->DetailsView();
    QWidget* viewport = details->viewport();
    const QPoint on = details->visualRect(list->Model().index(0, 0)).center();
    for (int run = 0; run < 5; ++run) {
        list->SelectAll();
        QCoreApplication::processEvents();
        QTest::mousePress(viewport, Qt::LeftButton, {}, on);
        QTest::mouseMove(viewport, on + QPoint(0, 2));
        QElapsedTimer clock;
        clock.start();
        QTest::mouseMove(viewport, on + QPoint(0, 3 * QApplication::startDragDistance()));
        starts.push_back(clock.nsecsElapsed() / 1e6);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, on);
    }
    std::sort(starts.begin(), starts.end());

    const auto [wideMs, wideStall] = DropAll(frame, work.filePath(QStringLiteral("local")));
    engine.ChangeFolder("/empty");
    WaitFor([&] { return idle() && list->Model().RowCount() == 0; }, 60);
    const auto [emptyMs, emptyStall] = DropAll(frame, work.filePath(QStringLiteral("local")));
    std::printf("rows=%d drag_start_ms=%.1f drop_empty_queue_ms=%.0f drop_empty_longest_stall_ms=%.0f "
                "drop_wide_queue_ms=%.0f drop_wide_longest_stall_ms=%.0f\n",
                entries, starts[starts.size() / 2], emptyMs, emptyStall, wideMs, wideStall);
    engine.CloseSession();
    server.terminate();
    server.waitForFinished(5000);
    return wideMs < 0 || emptyMs < 0 ? 1 : 0;
}
