#include "media/zrgny.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "foundation/zrstd.h"
#include "media/imagefixtures.h"

namespace {

using imgfix::Bytes;
using imgfix::Owned;

// A plain container (header and top-down blue-green-red rows), every byte at offset k
// combined with table[k mod 256].
Bytes MakeGny(int32_t w, int32_t h, const Bytes& triples, const Bytes& table) {
    Bytes out(8);
    ZRPutLE32(&out[0], static_cast<uint32_t>(w));
    ZRPutLE32(&out[4], static_cast<uint32_t>(h));
    out.insert(out.end(), triples.begin(), triples.end());
    for (size_t k = 0; k < out.size(); ++k) out[k] ^= table[k % 256];
    return out;
}

Bytes RandomBytes(size_t n, std::mt19937& rng) {
    Bytes b(n);
    for (auto& v : b) v = uint8_t(rng());
    return b;
}

TEST(LoadGny, ZeroTableIsAPlainHeaderAndPlainRows) {
    const Bytes file = {2, 0, 0, 0, 1, 0, 0, 0, 10, 20, 30, 40, 50, 60};
    ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
    const Bytes zero(256, 0);
    Owned img;
    int w = 0, h = 0;
    ASSERT_TRUE(LoadGny(&s, &img.p, &w, &h, pf24_888, zero.data()));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(Bytes(img.p, img.p + 6), Bytes({10, 20, 30, 40, 50, 60}));
}

TEST(LoadGny, RowsWrapTheTableIndexInEveryFormat) {
    std::mt19937 rng(21);
    const Bytes table = RandomBytes(256, rng);
    // Rows of 300 bytes: the first uses indices 8..255, 0..51, the next starts at 52.
    const int w = 100, h = 3;
    const Bytes triples = RandomBytes(w * h * 3, rng);
    const Bytes file = MakeGny(w, h, triples, table);
    for (ZRPixFormat fmt : imgfix::kFormats) {
        ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
        Owned img;
        int gw = 0, gh = 0;
        ASSERT_TRUE(LoadGny(&s, &img.p, &gw, &gh, fmt, table.data()));
        ASSERT_EQ(gw, w);
        ASSERT_EQ(gh, h);
        for (int i = 0; i < w * h; ++i)
            ASSERT_EQ(imgfix::Pixel(img.p, i, fmt),
                      imgfix::FromTriple(fmt, triples[i * 3], triples[i * 3 + 1],
                                         triples[i * 3 + 2]))
                << "pixel " << i << " fmt " << int(fmt);
    }
}

TEST(LoadGny, WithoutABufferOnlyTheHeaderIsRead) {
    std::mt19937 rng(22);
    const Bytes table = RandomBytes(256, rng);
    const Bytes file = MakeGny(3, 4, RandomBytes(36, rng), table);
    ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
    int w = 0, h = 0;
    EXPECT_TRUE(LoadGny(&s, nullptr, &w, &h, pf16_565, table.data()));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 4);
    EXPECT_EQ(s.GetPosition(), 8);
    EXPECT_FALSE(LoadGny(&s, nullptr, &w, &h, pfNone, table.data()));
    EXPECT_EQ(s.GetPosition(), 8);
}

TEST(LoadGny, ImplausibleHeadersAreRefusedBeforeAnyBuffer) {
    std::mt19937 rng(23);
    const Bytes table = RandomBytes(256, rng);
    const struct {
        int32_t w, h;
    } cases[] = {{-1, 2}, {2, -1}, {0, 2}, {2, 0}, {0x10000, 0x8000}, {3, 2}};
    for (const auto& c : cases) {
        // Bytes for one row fewer than a 3 x 2 image needs: too short for the last case.
        const Bytes file = MakeGny(c.w, c.h, RandomBytes(9, rng), table);
        ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
        Owned img;
        int w = 0, h = 0;
        EXPECT_FALSE(LoadGny(&s, &img.p, &w, &h, pf32_888, table.data())) << c.w << "x" << c.h;
        EXPECT_EQ(img.p, nullptr);
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
    }
}

// A stream that cannot tell its size: short data is then found by reading.
class UnsizedStream : public ZRMemoryStream {
public:
    using ZRMemoryStream::ZRMemoryStream;
    bool IsSeekable() override { return false; }
};

TEST(LoadGny, ShortDataOfUnknownSizeThrowsReadError) {
    const Bytes zero(256, 0);
    const Bytes file = MakeGny(4, 4, Bytes(20, 1), zero);
    UnsizedStream s(file.data(), static_cast<int>(file.size()));
    Owned img;
    int w = 0, h = 0;
    try {
        LoadGny(&s, &img.p, &w, &h, pf24_888, zero.data());
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Read Error");
    }
    EXPECT_NE(img.p, nullptr);
}

}  // namespace
