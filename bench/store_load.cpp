// Times how long a large settings store takes to load: the parse of its text alone, and the first
// read through a fresh store (read from disk, parse, index), as a program start does. The store
// holds registered hosts and, as a worst case, one key with hundreds of thousands of values.
// Prints the median of several runs in one line, `bytes=N keys=N values=N parse_ms=X load_ms=Y
// load_cpu_ms=Z` (the processor time of the load, which other work on the machine does not stretch),
// for bench.py to read. Usage: store_load [MEGABYTES [RUNS]]
#include "platform/RegistryFormat.h"
#include "platform/RegistryStore.h"
#include "settings/SettingsKey.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <time.h>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double CpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Half of the bytes in host records, half in one key of many values.
std::string MakeStore(size_t bytes) {
    RegistryTree tree;
    int host = 0;
    std::string text;
    // Serialising now and then tells how far the text has grown.
    auto size = [&] {
        text = tree.serialize();
        return text.size();
    };
    while (size() < bytes / 2) {
        for (int i = 0; i < 5000; ++i, ++host) {
            const std::string key = "Software\\lumo\\Host\\Host" + std::to_string(host);
            tree.createKey(key);
            tree.setValue(key, "Name", RegistryValue::fromString("テストサーバー " + std::to_string(host)));
            tree.setValue(key, "Adr",
                          RegistryValue::fromString("ftp" + std::to_string(host) + ".example.jp"));
            tree.setValue(key, "Port", RegistryValue::fromDword(21));
            tree.setValue(key, "Hide", RegistryValue::fromDword(0));
            tree.setValue(key, "User", RegistryValue::fromString("user" + std::to_string(host)));
            tree.setValue(key, "Pass", RegistryValue::fromBinary(std::string(12, '\x9e')));
            tree.setValue(key, "anonymous", RegistryValue::fromDword(0));
            tree.setValue(key, "Firewall", RegistryValue::fromDword(0));
            tree.setValue(key, "Pasv", RegistryValue::fromDword(1));
            tree.setValue(key, "UpPath", RegistryValue::fromString("/home/user/アップロード"));
            tree.setValue(key, "DownPath", RegistryValue::fromString("/home/user/ダウンロード"));
            tree.setValue(key, "Indexhtml", RegistryValue::fromString("index.html"));
            tree.setValue(key, "icon", RegistryValue::fromDword(static_cast<std::uint32_t>(host % 11)));
            tree.setValue(key, "chmod", RegistryValue::fromString("SITE CHMOD"));
        }
    }
    const std::string bulk = "Software\\lumo\\bulk";
    tree.createKey(bulk);
    for (int v = 0; size() < bytes;) {
        for (int i = 0; i < 40000; ++i, ++v)
            tree.setValue(bulk, "value" + std::to_string(v), RegistryValue::fromString(std::string(40, 'x')));
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const size_t megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string text = MakeStore(megabytes << 20);

    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/lumo.reg");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        std::fprintf(stderr, "store_load: cannot write %s\n", qPrintable(path));
        return 1;
    }
    file.close();

    std::vector<double> parseTimes;
    std::vector<double> loadTimes;
    std::vector<double> loadCpuTimes;
    size_t keys = 0;
    size_t values = 0;
    for (int run = 0; run < runs; ++run) {
        Clock::time_point start = Clock::now();
        const RegistryParse parsed = RegistryTree::parse(text);
        parseTimes.push_back(Milliseconds(Clock::now() - start));
        if (parsed.damaged()) {
            std::fprintf(stderr, "store_load: %d lines were not read\n", parsed.skippedLines);
            return 1;
        }
        keys = parsed.tree.keys().size();
        values = 0;
        for (const auto& [name, key] : parsed.tree.keys())
            values += key.values.size();

        start = Clock::now();
        const double cpuStart = CpuMilliseconds();
        RegistryStore store(path);
        SettingsKey key(store);
        const bool found = key.OpenKey(KeyFamily::Host, "Host0") && key.ReadDword("Port", 0) == 21;
        loadTimes.push_back(Milliseconds(Clock::now() - start));
        loadCpuTimes.push_back(CpuMilliseconds() - cpuStart);
        if (!found) {
            std::fprintf(stderr, "store_load: Host0 was not read back\n");
            return 1;
        }
    }
    std::printf("bytes=%zu keys=%zu values=%zu parse_ms=%.1f load_ms=%.1f load_cpu_ms=%.1f\n", text.size(),
                keys, values, Median(parseTimes), Median(loadTimes), Median(loadCpuTimes));
    return 0;
}
