#pragma once

#include <cstddef>

// Gives a block of fresh memory all its pages in one call, before it is written. Each page would
// otherwise cost a fault of its own when first written, which in a virtual machine costs several
// times the writing itself. Does nothing where the system cannot do this.
void PrepareForWriting(void* begin, std::size_t bytes);
