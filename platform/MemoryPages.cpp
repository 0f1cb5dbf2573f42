#include "platform/MemoryPages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

void PrepareForWriting(void* begin, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    if (bytes == 0)
        return;
    static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(begin);
    const std::uintptr_t from = start & ~(page - 1);
    const std::uintptr_t to = (start + bytes + page - 1) & ~(page - 1);
    // Kernels before 5.14 refuse the advice; the pages then come one fault at a time, as always.
    madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
    (void)begin;
    (void)bytes;
#endif
}

void PreferLargePages(void* begin, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only whole large pages inside the block: the advice must not reach memory it does not own.
    constexpr std::uintptr_t kLarge = 2u << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(begin);
    const std::uintptr_t from = (start + kLarge - 1) & ~(kLarge - 1);
    const std::uintptr_t to = (start + bytes) & ~(kLarge - 1);
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)begin;
    (void)bytes;
#endif
}

void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    // Fixed values also stop the allocator from raising its own limits as blocks are freed.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}
