// Times how long a directory listing text takes to become the rows of the remote file list: once for
// parsing its lines alone, once for the whole fill (parse, row rules, decoded names, sort). Prints the
// median of several runs in one line, `lines=N rows=N parse_ms=X fill_ms=Y`, for bench.py to read.
#include "engine/ListingParser.h"
#include "views/FileListModel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s LISTING-FILE [RUNS]\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "listing_fill: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 5;
    const int year = CurrentLocalYear();

    std::vector<double> parseTimes;
    std::vector<double> fillTimes;
    size_t lines = 0;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        Clock::time_point start = Clock::now();
        std::vector<std::string_view> split = SplitLines(text);
        std::vector<RemoteEntry> entries;
        entries.reserve(split.size());
        for (std::string_view line : split)
            entries.push_back(ParseListLine(line, year));
        parseTimes.push_back(Milliseconds(Clock::now() - start));
        lines = entries.size();

        FileListModel model;
        start = Clock::now();
        model.FillFromListing(text);
        fillTimes.push_back(Milliseconds(Clock::now() - start));
        rows = model.RowCount();
    }
    std::printf("lines=%zu rows=%d parse_ms=%.1f fill_ms=%.1f\n", lines, rows, Median(parseTimes),
                Median(fillTimes));
    return 0;
}
