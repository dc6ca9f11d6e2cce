#include "platform/pixelmemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

TEST(PixelMemory, EveryByteAskedForIsUsableAndLargeBlocksStartOnALargePage) {
    constexpr size_t kLarge = size_t(2) << 20;
    const struct {
        size_t bytes;
        bool large;
    } cases[] = {
        {1, false},
        {kLarge - 1, false},
        {kLarge, true},
        {kLarge + 1, true},            // a second large page, barely used
        {1280 * 720 * 4 + 256, true},  // a full-screen bitmap and its guard bytes
        {3 * kLarge, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        std::unique_ptr<uint8_t[], plat::FreePixels> p(
            static_cast<uint8_t*>(plat::AllocPixels(c.bytes)));
        ASSERT_NE(p, nullptr);
        if (c.large) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p.get()) % kLarge, 0u);
        }
        // The address sanitizer sees a write past the block.
        std::memset(p.get(), 0xA5, c.bytes);
        EXPECT_EQ(p[c.bytes - 1], 0xA5);
    }
    // The blocks are the C library's: std::free releases them too.
    std::free(plat::AllocPixels(kLarge + 1));
}

}  // namespace
