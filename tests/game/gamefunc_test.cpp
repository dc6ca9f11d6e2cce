// Picture loading and binding, panel frames, the clipped line drawers against a plain walk,
// stage labels, and the thumbnail's area-averaging resampler against a floating-point model.
#include "game/gamefunc.h"

#include <cmath>
#include <random>

#include "form_harness.h"
#include "game/gnykey.h"
#include "media/imagefixtures.h"

namespace {

void WriteGny(const std::string& path, int w, int h, uint32_t rgb) {
    std::vector<unsigned char> bytes;
    auto put32 = [&bytes](uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back((v >> (8 * i)) & 0xFF);
    };
    put32(w);
    put32(h);
    for (int i = 0; i < w * h; ++i)
        for (int c = 0; c < 3; ++c) bytes.push_back((rgb >> (8 * c)) & 0xFF);
    for (size_t k = 0; k < bytes.size(); ++k) bytes[k] ^= kGnyKeyTable[k % 256];
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<char*>(bytes.data()), bytes.size());
}

class GamefuncTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedDepth_ = WorkBitDepth;
        WorkBitDepth = bd32;
        MemMan = new ZRMemMan();
        ASSERT_TRUE(files.InitDir(ZRString(dir.Host().c_str())));
    }
    void TearDown() override {
        files.Finish();
        delete MemMan;
        MemMan = nullptr;
        WorkBitDepth = savedDepth_;
    }
    TNyRGBBits* Bits(int w, int h, ZRBitDepth depth, uint32_t fill) {
        auto* b = new TNyRGBBits(nullptr);
        b->SetBitDepth(depth);
        b->SetPixFormat(depth == bd32 ? pf32_888 : pf24_888);
        b->Resize(w, h);
        EXPECT_TRUE(b->Create());
        b->BoxFill(0, 0, w - 1, h - 1, fill);
        owned_.emplace_back(b);
        return b;
    }

    TempDir dir;
    ZRFileMan files;
    std::vector<std::unique_ptr<TNyRGBBits>> owned_;
    ZRBitDepth savedDepth_ = bdNone;
};

TEST_F(GamefuncTest, KindComesFromTheTextAfterTheLastDot) {
    const std::pair<const char*, ImageKind> cases[] = {
        {"a.bmp", 1},   {"a.bMp", 1},   {"a.JPG", 2},     {"a.jpeg", 0}, {"noext", 0},
        {"x.y.png", 3}, {"pic.LZH", 4}, {"a.png.bak", 0}, {"a.", 0},     {"dir.d\\f", 0},
    };
    for (const auto& [name, kind] : cases) EXPECT_EQ(ImageKindOf(name), kind) << name;
}

TEST_F(GamefuncTest, LoadersBindWhatTheyMakeAndLeaveNothingWhenTheyFail) {
    WritePngPicture(dir.Host("rgba.png"), 32, 16, 0x204080, 8);
    {
        imgfix::PngSpec desc;
        desc.width = 4, desc.height = 2;
        const std::vector<imgfix::Bytes> rows(2, imgfix::Bytes(12, 0x90));
        const imgfix::Bytes png = imgfix::EncodePng(desc, rows);
        dir.Write("two.dots.png", std::string(png.begin(), png.end()));
        dir.Write("bad.png", std::string(png.begin(), png.begin() + png.size() / 2));
        imgfix::JpegSpec jspec;
        jspec.width = 8, jspec.height = 8;
        const imgfix::Bytes jpg = imgfix::EncodeJpeg(jspec, imgfix::Bytes(8 * 8 * 3, 0x80));
        dir.Write("pic.Jpg", std::string(jpg.begin(), jpg.end()));
        dir.Write("pic.jpeg", std::string(jpg.begin(), jpg.end()));
    }
    WriteBmp24(dir.Host("pic.bmp"), 8, 8, 0x00FF00);
    WriteGny(dir.Host("pic.lzh"), 6, 5, 0x123456);
    dir.Write("bad.lzh", "\x05\x00");

    struct Case {
        const char* name;
        bool ok;
        bool alpha = false;
        int w = 0;
        uint32_t pixel = 0xFFFFFFFF;  // at (1, 1); all ones: not compared
    };
    const Case cases[] = {
        {"rgba.png", true, true, 32, 0x204080},
        {"two.dots.png", true, false, 4, 0x909090},
        {"pic.bmp", true, false, 8, 0x00FF00},
        {"pic.Jpg", true, false, 8, 0xFFFFFFFF},
        {"pic.lzh", true, false, 6, 0x123456},
        {"pic.jpeg", false},
        {"bad.png", false},
        {"bad.lzh", false},
        {"missing.png", false},
        {"noext", false},
    };
    const int baseline = MemMan->Count();
    for (const Case& c : cases) {
        TNyRGBPanel panel(nullptr);
        EXPECT_EQ(SetPanelImageFile(&panel, &files, c.name), c.ok) << c.name;
        EXPECT_EQ(files.OpenCount(), 0) << c.name;
        if (!c.ok) {
            EXPECT_EQ(panel.GetImage(), nullptr) << c.name;
            EXPECT_EQ(MemMan->Count(), baseline) << c.name;
            continue;
        }
        ASSERT_NE(panel.GetImage(), nullptr) << c.name;
        EXPECT_EQ(panel.GetImage()->Width(), c.w) << c.name;
        EXPECT_EQ(panel.GetImage()->BitDepth(), bd32) << c.name;
        EXPECT_EQ(panel.GetAlpha() != nullptr, c.alpha) << c.name;
        EXPECT_EQ(panel.GetMaskMode(), c.alpha ? 1 : 0) << c.name;
        if (c.pixel != 0xFFFFFFFF) {
            EXPECT_EQ(panel.GetImage()->PGet(1, 1) & 0xFFFFFF, c.pixel) << c.name;
        }
        ReleasePanelImage(&panel);
        ReleasePanelImage(&panel);
        EXPECT_EQ(MemMan->Count(), baseline) << c.name;
    }

    // A kind without a decoder does not load (an empty bitmap would pass for a picture).
    ZRMemoryStream empty;
    TNyRGBBits* bits = reinterpret_cast<TNyRGBBits*>(1);
    for (ImageKind k : {0, 5, -1}) {
        EXPECT_FALSE(LoadImageStream(&bits, nullptr, k, &empty));
        EXPECT_EQ(bits, nullptr);
    }
    EXPECT_EQ(MemMan->Count(), baseline);

    // Drawing a file into an existing bitmap places it without resizing.
    TNyRGBBits* target = Bits(100, 50, bd32, 0x111111);
    EXPECT_TRUE(DrawImageFile(target, nullptr, "pic.bmp", 10, 20, &files));
    EXPECT_EQ(target->Width(), 100);
    EXPECT_EQ(target->PGet(12, 22) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(target->PGet(9, 22) & 0xFFFFFF, 0x111111u);
    EXPECT_FALSE(DrawImageFile(target, nullptr, "bad.lzh", 0, 0, &files));
    EXPECT_EQ(files.OpenCount(), 0);

    // Animation: a missing definition leaves the picture bound; a good one sets the frames.
    std::string anm(38 + 8, '\0');
    anm[1] = 1, anm[2] = 2, anm[4] = 2, anm[6] = 2;
    anm[38 + 1] = 0, anm[38 + 2] = 5, anm[42 + 1] = 1, anm[42 + 2] = 5;
    dir.Write("walk.anm", anm);
    WriteBmp24(dir.Host("strip.bmp"), 8, 16, 0x0000FF);
    for (const char* def : {"missing.anm", "walk.anm"}) {
        TNyRGBProgram program(nullptr);
        EXPECT_TRUE(SetPanelAnimeFile(&program, &files, "strip.bmp", def)) << def;
        EXPECT_NE(program.GetImage(), nullptr);
        EXPECT_EQ(program.GetAnimeData() != nullptr, std::string(def) == "walk.anm");
        ReleasePanelAnime(&program);
        EXPECT_EQ(MemMan->Count(), baseline) << def;
    }

    // Shared pictures keep their owner; a pair without alpha is drawn opaque.
    ImagePair pair{target, nullptr};
    TNyRGBPanel shared(nullptr);
    shared.SetMaskMode(1);
    SetPanelImageAlpha(&shared, &pair);
    EXPECT_EQ(shared.GetMaskMode(), 0);
    ClearPanelImage(&shared);
    EXPECT_EQ(shared.GetImage(), nullptr);

    // The selector keeps the one table for 0 and 1 and ignores anything else.
    const unsigned char* table = CurrentGnyTable();
    for (int s : {5, 0, 1, -3}) {
        SetGnyTable(s);
        EXPECT_EQ(CurrentGnyTable(), table);
    }
}

TEST_F(GamefuncTest, PanelFramesFollowBlocksAndRates) {
    TNyRGBBits* strip = Bits(4, 8, bd32, 0xFF0000);
    strip->BoxFill(0, 4, 3, 7, 0x0000FF);
    TNyRGBPanel panel(nullptr);
    panel.SetImage(strip);
    panel.SetNumBlock(2);
    panel.SetBlockIndex(1);
    struct Case {
        int rate;
        uint32_t inside;  // at (1, 1) of the target
    };
    for (const Case c : {Case{128, 0x0000FF}, Case{64, 0x00007F}, Case{0, 0x000000}}) {
        TNyRGBBits* target = Bits(10, 10, bd32, 0);
        EXPECT_TRUE(DrawPanelImage(&panel, target, 0, 0, 0, 0, 10, 10, c.rate));
        EXPECT_NEAR(int(target->PGet(1, 1) & 0xFF), int(c.inside & 0xFF), 1) << c.rate;
        EXPECT_EQ(target->PGet(5, 1) & 0xFFFFFF, 0u) << "shortened to the picture's width";
        EXPECT_EQ(target->PGet(1, 5) & 0xFFFFFF, 0u) << "shortened to the frame's height";
    }
    TNyRGBBits* target = Bits(10, 10, bd32, 0x000001);
    EXPECT_TRUE(DrawPanelImageAdd(&panel, target, 0, 0, 0, 0, 10, 10));
    EXPECT_EQ(target->PGet(0, 0) & 0xFFFFFF, 0x0000FFu);
    EXPECT_FALSE(FillPanelAlpha(&panel, target, 0, 0, 0, 0, 4, 4, 0xFFFFFF, 128));
    panel.SetImage(nullptr);
    EXPECT_FALSE(DrawPanelImage(&panel, target, 0, 0, 0, 0, 4, 4, 128));
}

// The plain walk of every pixel of the line, filtered by the clip.
template <typename Put>
void NaiveLine(int x1, int y1, int x2, int y2, ZRRect clip, int w, int h, Put put) {
    auto c16 = [](int v) { return std::clamp(v, -32768, 32768); };
    x1 = c16(x1), y1 = c16(y1), x2 = c16(x2), y2 = c16(y2);
    if (y2 < y1) std::swap(x1, x2), std::swap(y1, y2);
    clip.left = std::max(clip.left, 0), clip.top = std::max(clip.top, 0);
    clip.right = std::min(clip.right, w), clip.bottom = std::min(clip.bottom, h);
    const int64_t nx = std::abs(x2 - x1) + 1, ny = int64_t(y2) - y1 + 1;
    const int dir = x1 < x2 ? 1 : -1;
    int64_t x = x1, y = y1, e = 0;
    const bool xMajor = ny < nx;
    for (int64_t i = 0; i < (xMajor ? nx : ny); ++i) {
        if (x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom)
            put(int(x), int(y));
        if (xMajor) {
            x += dir, e += ny;
            if (e >= nx) e -= nx, ++y;
        } else {
            ++y, e += nx;
            if (e >= ny) e -= ny, x += dir;
        }
    }
}

TEST_F(GamefuncTest, LineDrawersMatchThePlainWalk) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> near(-150, 250), far(-100000, 100000);
    struct Line {
        int x1, y1, x2, y2;
    };
    std::vector<Line> lines = {
        {10, 10, 10, 10},         {-100000, -5, 100000, 40}, {-30000, -20000, 30000, 20000},
        {5, 100000, 60, -100000}, {90, -3, -40, 70},         {0, 0, 79, 0}};
    for (int i = 0; i < 400; ++i) lines.push_back({near(rng), near(rng), near(rng), near(rng)});
    for (int i = 0; i < 20; ++i) lines.push_back({far(rng), far(rng), far(rng), far(rng)});
    const ZRRect clips[] = {
        {0, 0, 80, 60}, {13, 7, 50, 41}, {-20, -20, 200, 200}, {30, 30, 30, 40}};
    for (ZRBitDepth depth : {bd24, bd32}) {
        const int bpp = depth == bd32 ? 4 : 3;
        for (const ZRRect& clip : clips) {
            for (const Line& l : lines) {
                TNyRGBBits* got = Bits(80, 60, depth, 0x7F7F7F);
                std::vector<unsigned char> want(got->Bits(), got->Bits() + 60 * got->Pitch());
                if (bpp == 4)
                    for (int i = 3; i < int(want.size()); i += 4) got->Bits()[i] = want[i] = 0x77;
                ASSERT_TRUE(DrawLineAddClip(got, l.x1, l.y1, l.x2, l.y2, 0x405060, clip));
                NaiveLine(l.x1, l.y1, l.x2, l.y2, clip, 80, 60, [&](int x, int y) {
                    unsigned char* p = &want[size_t(y) * got->Pitch() + x * bpp];
                    p[0] = std::min(255, p[0] + 0x60), p[1] = std::min(255, p[1] + 0x50);
                    p[2] = std::min(255, p[2] + 0x40);
                });
                ASSERT_TRUE(std::equal(want.begin(), want.end(), got->Bits()))
                    << l.x1 << "," << l.y1 << " " << l.x2 << "," << l.y2 << " clip " << clip.left
                    << "," << clip.top << " depth " << int(depth);
                owned_.pop_back();
            }
        }
    }
}

TEST_F(GamefuncTest, LinePixelRules) {
    TNyRGBBits* white = Bits(40, 30, bd32, 0xFFFFFF);
    EXPECT_TRUE(DrawLineClip(white, 0, 5, 39, 5, 0xFFFFFF, ZRRect{0, 0, 40, 30}));
    EXPECT_EQ(white->PGet(20, 5) & 0xFFFFFF, 0u);
    EXPECT_EQ(white->PGet(20, 6) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_TRUE(DrawLineAddClip(white, 0, -9, 30, -1, 0x10, ZRRect{0, 0, 40, 30}))
        << "above the clip: drawn nothing, still true";

    // A plane smaller than the bitmap: exactly the plain add.
    TNyAlpha small(nullptr);
    small.Resize(10, 10);
    ASSERT_TRUE(small.Create());
    small.Fill(0);
    TNyRGBBits* a = Bits(40, 30, bd32, 0x101010);
    TNyRGBBits* b = Bits(40, 30, bd32, 0x101010);
    DrawLineAddRateClip(a, -5, 3, 50, 27, 0x203040, ZRRect{0, 0, 40, 30}, &small);
    DrawLineAddClip(b, -5, 3, 50, 27, 0x203040, ZRRect{0, 0, 40, 30});
    EXPECT_TRUE(std::equal(a->Bits(), a->Bits() + 30 * a->Pitch(), b->Bits()));

    // A full plane weighs each pixel: 0 leaves it, 128 adds half.
    TNyAlpha plane(nullptr);
    plane.Resize(40, 30);
    ASSERT_TRUE(plane.Create());
    plane.Fill(128);
    plane.PSet(3, 1, 0);
    TNyRGBBits* c = Bits(40, 30, bd32, 0x101010);
    DrawLineAddRateClip(c, 0, 1, 39, 1, 0x80FF40, ZRRect{0, 0, 40, 30}, &plane);
    EXPECT_EQ(c->PGet(3, 1) & 0xFFFFFF, 0x101010u);
    EXPECT_EQ(c->PGet(4, 1) & 0xFFFFFF, 0x508F30u);
    EXPECT_FALSE(DrawLineAddClip(nullptr, 0, 0, 1, 1, 0, ZRRect{0, 0, 1, 1}));
}

TEST_F(GamefuncTest, StageLabelsCutOnCharacterBoundaries) {
    const std::string whole = plat::GbkText("第2天/放学后");
    EXPECT_EQ(std::string(GetStageLabel(4, 23).c_str()), whole);
    EXPECT_EQ(std::string(GetStageLabel(99, 23).c_str()), "");
    for (int n = -2; n <= int(whole.size()); ++n) {
        const std::string got = GetStageLabel(4, n).c_str();
        EXPECT_LE(int(got.size()), std::max(n, 0)) << n;
        std::string body = got;
        if (n >= 4 && n < int(whole.size())) {
            ASSERT_GE(body.size(), 2u);
            EXPECT_EQ(body.substr(body.size() - 2), "\x81\x63") << n;
            body.resize(body.size() - 2);
        }
        EXPECT_EQ(whole.compare(0, body.size(), body), 0) << n;
        // The kept text ends between two characters of the label.
        size_t p = 0;
        while (p < body.size()) p += ZRString::IsLead(static_cast<unsigned char>(whole[p])) ? 2 : 1;
        EXPECT_EQ(p, body.size()) << n;
    }
}

TEST_F(GamefuncTest, ThumbnailsAverageAreas) {
    TNyRGBBits* flat = Bits(1280, 720, bd24, 0x3A7F19);
    TNyRGBBits* thumb = MakeThumbnail(flat);
    ASSERT_NE(thumb, nullptr);
    EXPECT_EQ(thumb->Width(), 167);
    EXPECT_EQ(thumb->Height(), 93);
    EXPECT_EQ(thumb->BitDepth(), bd32);
    for (int y = 0; y < 93; y += 7)
        for (int x = 0; x < 167; x += 11) ASSERT_EQ(thumb->PGet(x, y), 0x3A7F19u) << x << "," << y;
    MemMan->Delete(thumb);
    EXPECT_EQ(MakeThumbnail(nullptr), nullptr);
    TNyRGBBits uncreated(nullptr);
    EXPECT_EQ(MakeThumbnail(&uncreated), nullptr);

    std::mt19937 rng(3);
    struct Size {
        int sw, sh, dw, dh;
    };
    for (const Size s : {Size{50, 37, 13, 9}, Size{167, 93, 167, 93}, Size{1280, 720, 167, 93},
                         Size{7, 5, 3, 2}, Size{9, 4, 9, 1}}) {
        std::vector<unsigned char> src(size_t(s.sw) * s.sh * 4), dst(size_t(s.dw) * s.dh * 4);
        for (auto& v : src) v = rng() & 0xFF;
        ResampleBits(src.data(), s.sw, s.sh, s.sw * 4, dst.data(), s.dw, s.dh, s.dw * 4);
        for (int dy = 0; dy < s.dh; ++dy)
            for (int dx = 0; dx < s.dw; ++dx)
                for (int c = 0; c < 3; ++c) {
                    // Area of source pixel (x, y) inside destination pixel (dx, dy), in
                    // source units.
                    const double x0 = double(dx) * s.sw / s.dw, x1 = double(dx + 1) * s.sw / s.dw;
                    const double y0 = double(dy) * s.sh / s.dh, y1 = double(dy + 1) * s.sh / s.dh;
                    double sum = 0, area = 0;
                    for (int y = int(y0); y < std::ceil(y1) && y < s.sh; ++y)
                        for (int x = int(x0); x < std::ceil(x1) && x < s.sw; ++x) {
                            const double a =
                                (std::min<double>(x + 1, x1) - std::max<double>(x, x0)) *
                                (std::min<double>(y + 1, y1) - std::max<double>(y, y0));
                            sum += a * src[(size_t(y) * s.sw + x) * 4 + c];
                            area += a;
                        }
                    // Rows are averaged and truncated before the columns are: two truncations,
                    // each less than one, both downward.
                    const double got = dst[(size_t(dy) * s.dw + dx) * 4 + c];
                    ASSERT_LE(got, sum / area + 1e-9)
                        << s.sw << "x" << s.sh << " at " << dx << "," << dy;
                    ASSERT_LT(sum / area - got, 2.0)
                        << s.sw << "x" << s.sh << " at " << dx << "," << dy;
                }
    }
}

}  // namespace
