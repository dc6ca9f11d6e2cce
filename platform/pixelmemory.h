// Memory for large pixel buffers.
#pragma once
#include <cstddef>

namespace plat {

// Like std::malloc (and released with std::free or FreePixels), but a block of 2 MB or more
// starts on a 2 MB boundary and asks the system for large pages over its whole length (its last
// large page is only partly used): a small rectangle redrawn from several full-screen pictures
// then misses the address cache once per picture instead of once per row, which is most of
// what such a redraw costs once other programs have run on the processor.
void* AllocPixels(size_t bytes);

struct FreePixels {
    void operator()(void* p) const;
};

}  // namespace plat
