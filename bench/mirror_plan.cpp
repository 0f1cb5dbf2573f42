// Measures a mirror of many files without a network: the plan of a first run (nothing on the
// server), the record of every file saved and read back, and the plan of a second run that finds
// nothing to do (with removals and a few exclusion patterns, the slowest settings). Prints one line,
// `files=N first_ms=X second_ms=Y record_bytes=N save_ms=X load_ms=Y peak_rss_mb=Z`, the peak
// counting both trees, the record and the plans held at once, as a run of the window does.
// Usage: mirror_plan [FILES]
#include "engine/MirrorPlan.h"
#include "engine/MirrorRecord.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Files of some 40 bytes of path each, 100 to a folder, two levels of folders.
MirrorSide LocalTree(int files) {
    MirrorSide side;
    side.entries.reserve(static_cast<std::size_t>(files + files / 100 + files / 1000 + 2));
    char path[96];
    for (int i = 0; i < files; ++i) {
        if (i % 1000 == 0) {
            std::snprintf(path, sizeof path, "section_%03d", i / 1000);
            side.entries.push_back({path, -1, {}, true, false});
        }
        if (i % 100 == 0) {
            std::snprintf(path, sizeof path, "section_%03d/folder_%02d", i / 1000, i / 100 % 10);
            side.entries.push_back({path, -1, {}, true, false});
        }
        std::snprintf(path, sizeof path, "section_%03d/folder_%02d/picture_%06d.jpg", i / 1000, i / 100 % 10,
                      i);
        const MirrorTime time{1'700'000'000 + i, static_cast<std::uint32_t>(i * 7919 % 1'000'000'000),
                              TimePrecision::Exact};
        side.entries.push_back({path, 1000 + i % 50'000, time, false, false});
    }
    return side;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100'000;
    const MirrorExclusions exclusions = MirrorExclusions::Parse("*.tmp\n.git/\nThumbs.db\n/cache/\n");
    MirrorOptions options;

    MirrorSide local = LocalTree(files);
    std::size_t firstActions = 0;
    Clock::time_point start = Clock::now();
    {
        MirrorSide nothing;
        firstActions = PlanMirror(local, nothing, MirrorRecord(), options, exclusions).actions.size();
    }
    const double firstMs = MillisecondsSince(start);

    // The server as the first run leaves it: every file there, listed to the minute.
    MirrorSide remote = local;
    MirrorKey key{"ftp.example.jp", 21, "user", "/home/user/site", "/www"};
    QTemporaryDir base;
    MirrorRecordFile file(base.path(), key);
    double saveMs = 0;
    bool saved = false;
    {
        MirrorRecord record;
        for (std::size_t k = 0; k < remote.entries.size(); ++k) {
            MirrorEntry& entry = remote.entries[k];
            entry.time.seconds -= entry.time.seconds % 60;
            entry.time.nanoseconds = 0;
            entry.time.precision = TimePrecision::Minute;
            if (!entry.folder)
                record.Set(entry.path, RecordedEntry(local.entries[k], entry, 0));
        }
        start = Clock::now();
        saved = file.Save(record);
        saveMs = MillisecondsSince(start);
    }
    // A second run as the window makes it: both trees, the record and the plan held at once.
    MirrorRecord record;
    start = Clock::now();
    const bool read = file.Load(record) == MirrorRecordFile::LoadResult::Loaded &&
                      record.size() == static_cast<std::size_t>(files);
    const double loadMs = MillisecondsSince(start);

    options.removeAbsent = true;
    start = Clock::now();
    const MirrorPlan second = PlanMirror(local, remote, record, options, exclusions);
    const double secondMs = MillisecondsSince(start);

    if (!saved || !read || firstActions != local.entries.size() || !second.actions.empty()) {
        std::fprintf(stderr, "mirror_plan: the plans or the record came out wrong\n");
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("files=%d first_ms=%.1f second_ms=%.1f record_bytes=%lld save_ms=%.1f load_ms=%.1f "
                "peak_rss_mb=%.1f\n",
                files, firstMs, secondMs, static_cast<long long>(QFileInfo(file.path()).size()), saveMs,
                loadMs, static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
