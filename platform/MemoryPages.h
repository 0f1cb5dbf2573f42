#pragma once

#include <cstddef>

// Gives a block of fresh memory all its pages in one call, before it is written. Each page would
// otherwise cost a fault of its own when first written, which in a virtual machine costs several
// times the writing itself. Does nothing where the system cannot do this.
void PrepareForWriting(void* begin, std::size_t bytes);

// Asks for the block's memory in large pages (2 MB on x86-64) where the system gives them: one fault
// then brings a large page instead of hundreds of small ones. For blocks of several megabytes that
// are filled soon after; does nothing where the system cannot do this.
void PreferLargePages(void* begin, std::size_t bytes);

// Keeps memory that was freed for the next use instead of giving it back to the system at once. A
// listing of 100,000 entries takes some 20 MB, which the next listing of the folder takes again;
// given back after each one, every refresh paid for fresh pages again (three times the reading
// itself). The heap keeps up to 64 MB; blocks over 32 MB still come and go on their own. Called once,
// first thing, by the programs.
void KeepFreedMemoryForReuse();
