#include "platform/MemoryPages.h"

#include <QtTest>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#if defined(__linux__)
#include <sys/mman.h>
#endif

class TestMemoryPages : public QObject {
    Q_OBJECT
private slots:
    void adviceStaysInsideTheBlock();
};

namespace {

#if defined(__linux__)
// Whether the mapping that holds `address` is advised for large pages; its bounds in `from`/`to`.
bool AdvisedLarge(const void* address, std::uintptr_t& from, std::uintptr_t& to) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        unsigned long long start = 0, end = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx ", &start, &end) == 2) {
            inside = at >= start && at < end;
            if (inside) {
                from = start;
                to = end;
            }
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            return (line + ' ').find(" hg ") != std::string::npos;
        }
    }
    return false;
}
#endif

} // namespace

void TestMemoryPages::adviceStaysInsideTheBlock() {
#if !defined(__linux__)
    QSKIP("large pages are asked for on Linux only");
#else
    constexpr std::uintptr_t kLarge = 2u << 20;
    void* area = mmap(nullptr, 10 * kLarge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    QVERIFY(area != MAP_FAILED);
    char* base =
        reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(area) + kLarge - 1) & ~(kLarge - 1));
    const auto at = [&](std::uintptr_t offset) { return reinterpret_cast<std::uintptr_t>(base) + offset; };

    // From the middle of one large page to the middle of the fourth: the two whole ones between.
    PreferLargePages(base + kLarge / 2, 3 * kLarge);
    std::uintptr_t from = 0, to = 0;
    if (!AdvisedLarge(base + kLarge, from, to))
        QSKIP("this kernel has no transparent huge pages");
    QCOMPARE(from, at(kLarge));
    QCOMPARE(to, at(3 * kLarge));
    QVERIFY(!AdvisedLarge(base + kLarge / 2, from, to));
    QVERIFY(!AdvisedLarge(base + 3 * kLarge, from, to));
    // A block smaller than a large page, or one with no whole large page in it, gets no advice.
    PreferLargePages(base + 5 * kLarge + 1, kLarge);
    PreferLargePages(base + 7 * kLarge, kLarge - 1);
    QVERIFY(!AdvisedLarge(base + 5 * kLarge, from, to));
    QVERIFY(!AdvisedLarge(base + 7 * kLarge, from, to));

    // Pages made ready keep what was written into them, and an empty block is no error.
    std::memset(base + 8 * kLarge, 'x', 100);
    PrepareForWriting(base + 8 * kLarge + 10, kLarge);
    PrepareForWriting(base, 0);
    QCOMPARE(QByteArray(base + 8 * kLarge, 100), QByteArray(100, 'x'));
    munmap(area, 10 * kLarge);
#endif
}

QTEST_GUILESS_MAIN(TestMemoryPages)
#include "tst_memory_pages.moc"
