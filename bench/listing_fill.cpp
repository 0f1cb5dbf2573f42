// Times how long a directory listing text takes to become the rows of the remote file list: once for
// parsing its lines alone, once for the whole fill (parse, row rules, decoded names, sort), and the
// parse of the same entries as MLSD and as an MS-DOS listing. Prints the median of several runs in one
// line, `lines=N rows=N parse_ms=X fill_ms=Y mlsd_ms=Z dos_ms=W`, for bench.py to read.
#include "engine/ListingReader.h"
#include "platform/MemoryPages.h"
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

// Reads every line of `text` as the listing reader does; the number of entries.
size_t ParseAll(const std::string& text, const ListingNow& now) {
    std::vector<std::string_view> split = SplitLines(text);
    std::vector<RemoteEntry> entries;
    entries.reserve(split.size());
    RemoteEntry e;
    for (std::string_view line : split) {
        if (ReadListingLine(line, now, e) == ListingLine::Entry)
            entries.push_back(std::move(e));
    }
    return entries.size();
}

// The entries of a Unix listing written as MLSD and as an MS-DOS listing.
void OtherLayouts(const std::string& unix, const ListingNow& now, std::string& mlsd, std::string& dos) {
    RemoteEntry e;
    for (std::string_view line : SplitLines(unix)) {
        if (ReadListingLine(line, now, e) != ListingLine::Entry)
            continue;
        const bool folder = e.IsFolder();
        mlsd += folder ? "type=dir;" : "type=file;size=" + e.size + ";";
        mlsd += "modify=20240105120000;perm=r;UNIX.mode=0644; " + e.name + "\r\n";
        dos += "01-05-24  12:00PM       ";
        dos += folder ? "<DIR>" : e.size;
        dos += "          " + e.name + "\r\n";
    }
}

} // namespace

int main(int argc, char** argv) {
    // As the programs do: the runs measure the reading, not the system handing out fresh pages.
    KeepFreedMemoryForReuse();
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
    const ListingNow now = CurrentListingNow();
    std::string mlsd, dos;
    OtherLayouts(text, now, mlsd, dos);

    std::vector<double> parseTimes;
    std::vector<double> fillTimes;
    std::vector<double> mlsdTimes;
    std::vector<double> dosTimes;
    size_t lines = 0;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        Clock::time_point start = Clock::now();
        lines = ParseAll(text, now);
        parseTimes.push_back(Milliseconds(Clock::now() - start));
        start = Clock::now();
        if (ParseAll(mlsd, now) != lines)
            std::fprintf(stderr, "listing_fill: the MLSD listing lost entries\n");
        mlsdTimes.push_back(Milliseconds(Clock::now() - start));
        start = Clock::now();
        if (ParseAll(dos, now) != lines)
            std::fprintf(stderr, "listing_fill: the MS-DOS listing lost entries\n");
        dosTimes.push_back(Milliseconds(Clock::now() - start));

        FileListModel model;
        start = Clock::now();
        model.FillFromListing(text);
        fillTimes.push_back(Milliseconds(Clock::now() - start));
        rows = model.RowCount();
    }
    std::printf("lines=%zu rows=%d parse_ms=%.1f fill_ms=%.1f mlsd_ms=%.1f dos_ms=%.1f\n", lines, rows,
                Median(parseTimes), Median(fillTimes), Median(mlsdTimes), Median(dosTimes));
    return 0;
}
