#include "media/zrjpeg.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "media/imagefixtures.h"

namespace {

using imgfix::Bytes;
using imgfix::Owned;

Bytes Gradient(int w, int h, int components) {
    std::mt19937 rng(31);
    Bytes b(static_cast<size_t>(w) * h * components);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < components; ++c)
                b[(y * w + x) * components + c] =
                    uint8_t(x * 7 + y * 3 + c * 60 + (rng() & 15));
    return b;
}

std::string LoadMessage(const Bytes& file) {
    ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
    Owned img;
    try {
        LoadJpeg(&s, &img.p, nullptr, nullptr, pf24_888);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

// Every kind of file decodes to what the library itself gives, in every format.
TEST(LoadJpeg, MatchesADirectDecodeForEveryKindOfFile) {
    const struct {
        const char* name;
        imgfix::JpegSpec desc;
    } kinds[] = {
        {"baseline 4:4:4", {37, 21, 3, false, 1, 1}},
        {"baseline 4:2:2", {37, 21, 3, false, 2, 1}},
        {"baseline 4:2:0", {37, 21, 3, false, 2, 2}},
        {"progressive 4:2:0", {37, 21, 3, true, 2, 2}},
        {"greyscale", {19, 9, 1, false, 1, 1}},
        {"progressive greyscale", {19, 9, 1, true, 1, 1}},
        {"3 x 2", {3, 2, 3, false, 2, 2}},
    };
    for (const auto& k : kinds) {
        const Bytes file = imgfix::EncodeJpeg(k.desc, Gradient(k.desc.width, k.desc.height,
                                                               k.desc.components));
        int rw = 0, rh = 0;
        const Bytes rgb = imgfix::DecodeJpegRgb(file, &rw, &rh);
        for (ZRPixFormat fmt : imgfix::kFormats) {
            ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
            Owned img;
            int w = 0, h = 0;
            ASSERT_TRUE(LoadJpeg(&s, &img.p, &w, &h, fmt)) << k.name;
            ASSERT_EQ(w, k.desc.width);
            ASSERT_EQ(h, k.desc.height);
            for (int i = 0; i < w * h; ++i)
                ASSERT_EQ(imgfix::Pixel(img.p, i, fmt),
                          imgfix::FromTriple(fmt, rgb[i * 3 + 2], rgb[i * 3 + 1], rgb[i * 3]))
                    << k.name << " pixel " << i << " fmt " << int(fmt);
        }
    }
}

TEST(LoadJpeg, HeaderOnlyWithoutABufferAndNothingWithoutAFormat) {
    const Bytes file = imgfix::EncodeJpeg({40, 30, 3, true, 2, 2}, Gradient(40, 30, 3));
    ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
    int w = 0, h = 0;
    EXPECT_FALSE(LoadJpeg(&s, nullptr, &w, &h, pfNone));
    EXPECT_EQ(s.GetPosition(), 0);
    EXPECT_TRUE(LoadJpeg(&s, nullptr, &w, &h, pf16_565));
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 30);
}

TEST(LoadJpeg, TruncatedEntropyDataDecodesWithoutAnException) {
    const Bytes whole = imgfix::EncodeJpeg({64, 64, 3, false, 2, 2}, Gradient(64, 64, 3));
    const Bytes cut(whole.begin(), whole.begin() + whole.size() * 2 / 3);
    int rw = 0, rh = 0;
    const Bytes rgb = imgfix::DecodeJpegRgb(whole, &rw, &rh);
    ZRMemoryStream s(cut.data(), static_cast<int>(cut.size()));
    Owned img;
    int w = 0, h = 0;
    ASSERT_TRUE(LoadJpeg(&s, &img.p, &w, &h, pf24_888));
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 64);
    EXPECT_EQ(Bytes(img.p, img.p + 3), Bytes({rgb[2], rgb[1], rgb[0]}));
}

TEST(LoadJpeg, FailuresThrowTheirMessages) {
    EXPECT_EQ(LoadMessage({}), "Jpeg Error. Imput empty.");
    EXPECT_EQ(LoadMessage(Bytes(100, 0x42)), "LoadJpeg Error");
    const Bytes cmyk = imgfix::EncodeJpeg({8, 8, 4, false, 1, 1}, Gradient(8, 8, 4));
    EXPECT_EQ(LoadMessage(cmyk), "LoadJpeg Error");
    Bytes headerOnly = imgfix::EncodeJpeg({8, 8, 3, false, 1, 1}, Gradient(8, 8, 3));
    headerOnly.resize(20);
    EXPECT_EQ(LoadMessage(headerOnly), "LoadJpeg Error");
}

TEST(LoadJpeg, AStreamExceptionLeavesThroughTheLibraryUnchanged) {
    const Bytes file = imgfix::EncodeJpeg({300, 200, 3, true, 2, 2}, Gradient(300, 200, 3));
    for (int limit : {0, 4096, 3 * 4096}) {
        imgfix::FailingStream s(file, limit, true);
        Owned img;
        EXPECT_THROW(LoadJpeg(&s, &img.p, nullptr, nullptr, pf32_8888), std::logic_error)
            << limit;
    }
}

}  // namespace
