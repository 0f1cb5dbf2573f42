// Times the host settings sheet over a store of many hosts: opening it (loading every host and
// showing the connection page), changing pages (each refills its host list), and saving one edit
// (every host written back in one store write, then read back). Prints the median of several runs
// with its target, one line each.
#include "gui/settings/CPropSheetHost.h"
#include "gui/settings/HostSheetControls.h"
#include "hosts/QXDoc.h"
#include "platform/RegistryStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kHosts = 1000;
constexpr int kRuns = 7;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Milliseconds(const std::function<void()>& step) {
    QElapsedTimer timer;
    timer.start();
    step();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// A target of 0: the figure is shown without one.
void Report(const char* what, double ms, double target) {
    std::printf("host sheet, %d hosts: %-28s %8.1f ms", kHosts, what, ms);
    if (target > 0)
        std::printf("   target < %.0f ms: %s", target, ms < target ? "met" : "MISSED");
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    RegistryStore::setGlobalFilePath(dir.filePath(QStringLiteral("lumo.reg")));
    CQXDoc doc;
    HostList hosts;
    for (int i = 0; i < kHosts; ++i) {
        HostRecord h;
        h.Name = "ホスト" + std::to_string(i);
        h.Adr = "ftp" + std::to_string(i) + ".example.jp";
        h.User = "user" + std::to_string(i);
        h.Pass = "password" + std::to_string(i);
        h.DownPath = "/home/me/ダウンロード/" + std::to_string(i);
        hosts.push_back(std::move(h));
    }
    if (!doc.SaveAllHosts(hosts)) {
        std::fprintf(stderr, "host_sheet: cannot write %s\n", qPrintable(dir.path()));
        return 1;
    }

    std::vector<double> open, pages, save;
    for (int run = 0; run < kRuns; ++run) {
        // A fresh store object reads the file as a newly started program would.
        RegistryStore::setGlobalFilePath(dir.filePath(QStringLiteral("lumo.reg")));
        CPropSheetHost* sheet = nullptr;
        open.push_back(Milliseconds([&] {
            sheet = new CPropSheetHost(doc, kHosts / 2);
            sheet->show();
            QApplication::processEvents();
        }));
        pages.push_back(Milliseconds([&] {
                            sheet->SetActivePage(1);
                            sheet->SetActivePage(2);
                            sheet->SetActivePage(0);
                            QApplication::processEvents();
                        }) /
                        3);
        auto* name = sheet->ConnectPage()->findChild<QLineEdit*>(QString::number(HostSheetControl::Name));
        name->setText(QStringLiteral("変えた名前%1").arg(run));
        bool saved = false;
        save.push_back(Milliseconds([&] { saved = sheet->Apply(); }));
        delete sheet;
        if (!saved || doc.LoadAllHosts().size() != static_cast<size_t>(kHosts)) {
            std::fprintf(stderr, "host_sheet: the sheet did not save its %d hosts\n", kHosts);
            return 1;
        }
    }
    Report("open", Median(open), 500);
    Report("change page", Median(pages), 0);
    Report("save (one edit, all hosts)", Median(save), 1000);
    return 0;
}
