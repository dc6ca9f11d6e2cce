#include "platform/pixelmemory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace plat {

namespace {

constexpr size_t kLargePage = size_t(2) << 20;

}  // namespace

void* AllocPixels(size_t bytes) {
    if (bytes < kLargePage) return std::malloc(bytes);
    const size_t whole = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    void* p = nullptr;
    if (whole < bytes || posix_memalign(&p, kLargePage, whole) != 0) return nullptr;
    madvise(p, whole, MADV_HUGEPAGE);
    return p;
}

void FreePixels::operator()(void* p) const {
    std::free(p);
}

}  // namespace plat
