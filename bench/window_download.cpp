// Downloads a folder with the main window's own download command, offscreen, and counts what the
// screen had to do meanwhile: redraws of the log, the file list and the status bar, and updates of
// the progress bar. Prints one line, `files=N seconds=X log_lines=N log_paints=N list_paints=N
// status_paints=N progress_updates=N`, for bench.py.
// Usage: window_download PORT USER PASSWORD PARENT-FOLDER FOLDER LOCAL-FOLDER
#include "WaitFor.h"
#include "app/CommandIds.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/CProgressStatusBar.h"
#include "engine/FtpEngine.h"
#include "gui/views/CQXListView.h"
#include "gui/views/CQXLogView.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QProgressBar>
#include <QTreeView>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;

        return false;
    }
};

// The desktop is not asked to show the download folder afterwards.
class NoDesktop : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl&) {}
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s PORT USER PASSWORD PARENT-FOLDER FOLDER LOCAL-FOLDER\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    NoDesktop desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");

    CMainFrame frame;
    frame.resize(900, 700);
    frame.show();
    CFtpEngine& engine = frame.Engine();
    HostRecord host;
    host.Name = "bench";
    host.Adr = "127.0.0.1";
    host.Port = std::atoi(argv[1]);
    host.User = argv[2];
    host.Pass = argv[3];
    host.Pasv = 1;
    host.DownPath = argv[6];
    engine.ConnectHost(host, -1);
    auto idle = [&engine] { return engine.IsConnected() && !engine.CanCancel(); };
    if (!WaitFor(idle, 30)) {
        std::fprintf(stderr, "window_download: no login\n");
        return 1;
    }
    engine.ChangeFolder(argv[4]);
    CQXListView* list = frame.ListView();
    const QString folder = QString::fromLocal8Bit(argv[5]);
    int row = -1;
    if (!WaitFor(
            [&] {
                for (int r = 0; idle() && r < list->Model().RowCount(); ++r) {
                    if (list->Model().ItemText(r, 0) == folder)
                        row = r;
                }
                return row >= 0;
            },
            30)) {
        std::fprintf(stderr, "window_download: no folder %s in the list\n", argv[5]);
        return 1;
    }
    list->SelectionModel()->setCurrentIndex(list->Model().index(row, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    PaintCounter logPaints, listPaints, statusPaints;
    frame.LogView()->viewport()->installEventFilter(&logPaints);
    list->DetailsView()->viewport()->installEventFilter(&listPaints);
    frame.StatusBar()->installEventFilter(&statusPaints);
    int progressUpdates = 0;
    QObject::connect(frame.StatusBar()->ProgressBar(), &QProgressBar::valueChanged,
                     [&] { ++progressUpdates; });
    const int logLines = frame.Log().LineCount();
    QElapsedTimer clock;
    clock.start();
    if (!frame.RunCommand(CommandId::Download) || !WaitFor(idle, 600)) {
        std::fprintf(stderr, "window_download: the download did not finish\n");
        return 1;
    }
    const double seconds = clock.elapsed() / 1000.0;
    int files = 0;
    for (QDirIterator it(QString::fromLocal8Bit(argv[6]) + QLatin1Char('/') + folder, QDir::Files,
                         QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++files;
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    std::printf("files=%d seconds=%.3f log_lines=%d log_paints=%d list_paints=%d status_paints=%d "
                "progress_updates=%d\n",
                files, seconds, frame.Log().LineCount() - logLines, logPaints.count, listPaints.count,
                statusPaints.count, progressUpdates);
    return 0;
}

#include "window_download.moc"
