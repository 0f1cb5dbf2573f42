// Times the file list's selection commands on a folder of many rows, in the real list widget
// (offscreen): select all, invert (from nothing, from everything, from every other row), and the
// reads the commands' enabling rules and the delete command make of a large selection. Prints the
// median of several runs in one line, `rows=N select_all_ms=X invert_none_ms=X ...`, for bench.py.
#include "engine/ListingReader.h"
#include "gui/views/CQXListView.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs `step` after `prepare` and gives its time, with the events it caused handled (so a redraw
// the step asks for is counted).
double Time(const std::function<void()>& prepare, const std::function<void()>& step) {
    prepare();
    QCoreApplication::processEvents();
    const Clock::time_point start = Clock::now();
    step();
    QCoreApplication::processEvents();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    std::string listing;
    listing.reserve(static_cast<size_t>(rows) * 64);
    for (int i = 0; i < rows; ++i)
        listing += "-rw-r--r-- 1 user group " + std::to_string(1000 + i) + " Jan  5 12:00 file" +
                   std::to_string(i) + ".txt\r\n";
    CQXListView list;
    list.resize(800, 600);
    list.show();
    list.FillFromEntries(ReadListingEntries(listing));
    if (list.Model().RowCount() != rows) {
        std::fprintf(stderr, "list_selection: %d rows shown, %d expected\n", list.Model().RowCount(), rows);
        return 1;
    }
    QItemSelectionModel* selection = list.SelectionModel();
    const FileListModel& model = list.Model();
    auto none = [selection] { selection->clearSelection(); };
    auto all = [&list] { list.SelectAll(); };
    auto everyOther = [&] {
        selection->clearSelection();
        QItemSelection chosen;
        for (int r = 0; r < rows; r += 2)
            chosen.select(model.index(r, 0), model.index(r, FileListModel::ColumnCount - 1));
        selection->select(chosen, QItemSelectionModel::Select);
    };

    struct Measure {
        const char* name;
        std::function<void()> prepare;
        std::function<void()> step;
        std::vector<double> times;
    };
    int counted = 0;
    std::vector<Measure> measures{
        {"select_all_ms", none, [&list] { list.SelectAll(); }, {}},
        {"invert_none_ms", none, [&list] { list.InvertSelection(); }, {}},
        {"invert_all_ms", all, [&list] { list.InvertSelection(); }, {}},
        {"invert_alternate_ms", everyOther, [&list] { list.InvertSelection(); }, {}},
        {"count_all_ms", all, [&] { counted = list.SelectedCount(); }, {}},
        {"rows_of_all_ms", all, [&] { counted = static_cast<int>(list.SelectedRows().size()); }, {}},
    };
    for (int run = 0; run < runs; ++run) {
        for (Measure& m : measures)
            m.times.push_back(Time(m.prepare, m.step));
    }
    // The last measure left every row chosen: the figures were taken on the whole list.
    if (counted != rows) {
        std::fprintf(stderr, "list_selection: %d rows selected, %d expected\n", counted, rows);
        return 1;
    }
    std::printf("rows=%d", rows);
    for (const Measure& m : measures)
        std::printf(" %s=%.1f", m.name, Median(m.times));
    std::printf("\n");
    return 0;
}
