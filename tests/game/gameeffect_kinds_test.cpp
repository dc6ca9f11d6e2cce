// The fifteen transition kinds against a per-pixel model of each, written here from the
// kinds' rules (closed-form stretch positions, explicit blend and mix weights) rather than
// through the routines, on patterned pictures with both kernel sets, both depths and two
// window offsets; then the resources' edge cases and the damaged-data cases.
#include "game/gameeffect_kinds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/zrfileman.h"
#include "foundation/zrstream.h"
#include "game/gameeffect.h"
#include "game/maint.h"
#include "media/zrcpuid.h"
#include "tempdir.h"

namespace {

constexpr int W = 1280, H = 720;

// A picture of the model: blue, green, red per pixel (the fourth byte stays 0 throughout).
struct Pic {
    std::vector<uint8_t> c = std::vector<uint8_t>(size_t(W) * H * 3);
    uint8_t* at(int x, int y) { return &c[(size_t(y) * W + x) * 3]; }
};

Pic Pattern(int seed) {
    Pic p;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            uint8_t* q = p.at(x, y);
            q[0] = uint8_t(x * 7 + y * 3 + seed * 41);
            q[1] = uint8_t((x ^ y) + seed * 13);
            q[2] = uint8_t(((x / 16 + y / 9) & 1) ? 230 - seed : 20 + seed);
        }
    return p;
}

// rate 0-128 toward b.
void Blend(Pic& d, const Pic& a, const Pic& b, int rate) {
    for (size_t i = 0; i < d.c.size(); ++i)
        d.c[i] = uint8_t(a.c[i] + (((b.c[i] - a.c[i]) * rate) >> 7));
}

// Through an alpha plane: 0 a, 255 b. The fast kernels weigh all but the last two pixels of
// a row by alpha / 256 (255 as 1).
void Mix(Pic& d, const Pic& a, const Pic& b, const std::vector<uint8_t>& plane, bool fast) {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int al = plane[size_t(y) * W + x];
            const bool paired = fast && x < W - 2;
            for (int k = 0; k < 3; ++k) {
                const size_t i = (size_t(y) * W + x) * 3 + k;
                const int diff = b.c[i] - a.c[i];
                d.c[i] = paired ? uint8_t(a.c[i] + ((diff * (al == 255 ? 256 : al)) >> 8))
                                : uint8_t(a.c[i] + ((diff * ((al + 1) >> 1)) >> 7));
            }
        }
}

// Step i of n lands source floor(i sn / n) on destination floor(i dn / n).
void Stretch(Pic& d, int dx, int dy, int dw, int dh, const Pic& s, int sx, int sy, int sw, int sh,
             bool blend) {
    const Pic src = s;  // d may be s
    const int n = std::max(sw, dw), m = std::max(sh, dh);
    for (int j = 0; j < m; ++j)
        for (int i = 0; i < n; ++i) {
            const uint8_t* p =
                const_cast<Pic&>(src).at(sx + int64_t(i) * sw / n, sy + int64_t(j) * sh / m);
            uint8_t* q = d.at(dx + int64_t(i) * dw / n, dy + int64_t(j) * dh / m);
            for (int k = 0; k < 3; ++k) q[k] = blend ? uint8_t((3 * q[k] + p[k]) / 4) : p[k];
        }
}

struct Tables {
    std::vector<uint16_t> dist = std::vector<uint16_t>(640 * 360);
    std::vector<uint8_t> sine = std::vector<uint8_t>(256);
    std::vector<uint8_t> amp = std::vector<uint8_t>(32 * 255);
    Tables() {
        for (int r = 0; r < 360; ++r)
            for (int c = 0; c < 640; ++c) dist[r * 640 + c] = uint16_t(r + c);
        for (int k = 0; k < 256; ++k) sine[k] = uint8_t(k);  // reaches 255: the damaged case
        for (int a = 0; a < 32; ++a)
            for (int s = 0; s < 255; ++s) amp[a * 255 + s] = uint8_t(127 + (s - 127) * a / 31);
    }
};

void Ripple(Pic& d, const Pic& s, const Tables& t, int a, int phase) {
    a = std::clamp(a, 0, 31);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int ci = x >= 640 ? x - 640 : 639 - x, ri = y >= 360 ? y - 360 : 359 - y;
            const int sv = std::min<int>(t.sine[(4 * t.dist[ri * 640 + ci] + phase) % 256], 254);
            const int m = t.amp[a * 255 + sv] - 127;
            const uint8_t* p =
                const_cast<Pic&>(s).at(std::clamp(x + m, 0, W - 1), std::clamp(y + m, 0, H - 1));
            std::memcpy(d.at(x, y), p, 3);
        }
}

// A glow of w x h with its own pattern, and the halo model's saturating add of it.
struct Layer {
    int w, h;
    std::vector<uint8_t> c;
};
Layer Glow(int w, int h, int seed) {
    Layer l{w, h, std::vector<uint8_t>(size_t(w) * h * 3)};
    for (size_t i = 0; i < l.c.size(); ++i) l.c[i] = uint8_t((i * 31 + seed * 77) % 200);
    return l;
}
void AddLayer(Pic& d, const Layer& l, int x, int y) {
    for (int j = 0; j < l.h; ++j)
        for (int i = 0; i < l.w; ++i) {
            const int px = x + i, py = y + j;
            if (px < 0 || py < 0 || px >= W || py >= H) continue;
            for (int k = 0; k < 3; ++k) {
                uint8_t& q = d.at(px, py)[k];
                q = uint8_t(std::min(255, q + l.c[(size_t(j) * l.w + i) * 3 + k]));
            }
        }
}

std::vector<uint8_t> MaskPlane() {
    std::vector<uint8_t> m(size_t(W) * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) m[size_t(y) * W + x] = uint8_t((x / 5 + y / 3) % 256);
    return m;
}

constexpr int kSpeed[5] = {240, 84, 366, 160, 292};

// The model of one running transition: the target window and the pictures as the kind
// leaves them.
struct Model {
    uint8_t kind = 0;
    Pic from, to, target;
    Tables tables;
    std::vector<uint8_t> mask = MaskPlane();
    Layer back = Glow(300, 200, 1);
    std::vector<Layer> layers{Glow(200, 150, 2), Glow(90, 60, 3), Glow(400, 300, 4),
                              Glow(64, 64, 5), Glow(150, 250, 6)};
    bool fast = false;

    void Level(int L) {
        const int cx = L * 8, cy = L * 720 / 160;
        switch (kind) {
            case 0:
            case 1:
            case 2:
                Blend(target, from, to, std::min(L, 128));
                break;
            case 3:
            case 4:
            case 5:
            case 6: {
                const int dv = L * 720 / 160, dh = L * 8;
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x) {
                        const uint8_t* p;
                        switch (kind) {
                            case 3:
                                p = y < H - dv ? from.at(x, y + dv) : to.at(x, y - (H - dv));
                                break;
                            case 4:
                                p = y < dv ? to.at(x, H - dv + y) : from.at(x, y - dv);
                                break;
                            case 5:
                                p = x < dh ? to.at(W - dh + x, y) : from.at(x - dh, y);
                                break;
                            default:
                                p = x < W - dh ? from.at(x + dh, y) : to.at(x - (W - dh), y);
                                break;
                        }
                        std::memcpy(target.at(x, y), p, 3);
                    }
                break;
            }
            case 7:
                Stretch(target, 0, 0, W, H, from, cx, cy, W - 2 * cx, H - 2 * cy, true);
                if (L * 4 <= 128) Blend(from, target, to, L * 4);
                break;
            case 8: {
                Stretch(from, 0, 0, W, H, target, cx, cy, W - 2 * cx, H - 2 * cy, true);
                const int c2 = (20 - L) * 8, r2 = (20 - L) * 720 / 160;
                Stretch(from, c2, r2, W - 2 * c2, H - 2 * r2, to, 0, 0, W, H, false);
                Blend(target, target, from, std::max(16, L * 8 - 32));
                break;
            }
            case 9:
                Blend(target, target, to, 32);
                Stretch(target, cx, cy, W - 2 * cx, H - 2 * cy, from, 0, 0, W, H, true);
                from = target;
                break;
            case 10:
                if (L >= 16) {
                    Blend(target, target, to, 32);
                    break;
                }
                {
                    const int c = (16 - L) * 8, r = (16 - L) * 720 / 160;
                    Stretch(from, 0, 0, W, H, to, c, r, W - 2 * c, H - 2 * r, true);
                    Blend(target, target, from, 32);
                    from = target;
                }
                break;
            case 11: {
                static constexpr int rates[7] = {16, 18, 21, 26, 32, 43, 64};
                if (L >= 32 && L <= 38) Blend(from, from, to, rates[L - 32]);
                Ripple(target, L <= 38 ? from : to, tables,
                       L <= 31   ? L
                       : L <= 38 ? 31
                                 : 70 - L,
                       8 * L);
                break;
            }
            case 12:
                if (L == 1) {
                    for (auto& v : from.c) v = uint8_t(v * 0x40 >> 7);
                    AddLayer(from, back, 0, 0);
                    Blend(target, target, from, 32);
                } else if (L <= 4) {
                    static constexpr int rates[4] = {32, 43, 64, 128};
                    Blend(target, target, from, rates[L - 1]);
                } else {
                    Blend(target, from, to, L * 4 - 20);
                    for (int i = 0; i < 5; ++i) {
                        const int s = kSpeed[i] * (L - 5) / 32;
                        AddLayer(target, layers[i], 4 * s / 3 - layers[i].w / 2,
                                 s - layers[i].h / 2);
                    }
                }
                break;
            case 13:
            case 14: {
                std::vector<uint8_t> plane(mask.size());
                for (size_t i = 0; i < plane.size(); ++i) {
                    const int m = mask[i];
                    int v;
                    if (kind == 14)
                        v = std::max(0, std::min(255, m + L) - 240) * 17;
                    else if (L < 255)
                        v = std::max(0, m - (255 - L));
                    else if (L <= 256)
                        v = m;
                    else
                        v = std::min(255, m + (L - 256));
                    plane[i] = uint8_t(v);
                }
                Mix(target, from, to, plane, fast);
                break;
            }
        }
    }
};

// One case: a kernel set, a depth and a window offset.
struct Variant {
    bool fast;
    ZRBitDepth depth;
    int yoff;
};

std::unique_ptr<TNyRGBBits> Bits(ZRBitDepth depth, int w, int h) {
    auto b = std::make_unique<TNyRGBBits>(nullptr);
    b->SetBitDepth(depth);
    b->SetPixFormat(depth == bd32 ? pf32_888 : pf24_888);
    b->Resize(w, h);
    b->Create();
    return b;
}

void Fill(TNyRGBBits* b, int x0, int y0, const uint8_t* c, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* q =
                b->Bits() + int64_t(y0 + y) * b->Pitch() + int64_t(x0 + x) * b->BitDepth();
            std::memcpy(q, c + (size_t(y) * w + x) * 3, 3);
            if (b->BitDepth() == bd32) q[3] = 0;
        }
}

// Compares the target window with the model and the rows above it with the sentinel.
::testing::AssertionResult Matches(TNyRGBBits* t, int yoff, Pic& want) {
    const int bpp = t->BitDepth();
    for (int y = 0; y < yoff + H; ++y)
        for (int x = 0; x < W; ++x) {
            const unsigned char* q = t->Bits() + int64_t(y) * t->Pitch() + int64_t(x) * bpp;
            const uint8_t sentinel[3] = {0x11, 0x22, 0x33};
            const uint8_t* w = y < yoff ? sentinel : want.at(x, y - yoff);
            if (std::memcmp(q, w, 3) != 0 || (bpp == 4 && q[3] != 0))
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << "): " << int(q[0]) << "," << int(q[1])
                       << "," << int(q[2]) << " want " << int(w[0]) << "," << int(w[1]) << ","
                       << int(w[2]);
        }
    return ::testing::AssertionSuccess();
}

class KindModel : public ::testing::TestWithParam<int> {
  protected:
    void TearDown() override { SetMmxKernels(true); }
};

// The final level of each kind: cross-fades 128, slides 160, zoom-in 36, zoom-out 20, shrink 36,
// grow 20, water 70, halo 37, soft mask 511, edge mask 255.
constexpr int kFinal[15] = {128, 128, 128, 160, 160, 160, 160, 36, 20, 36, 20, 70, 37, 511, 255};
// Zooms, trails, water and halo step through every level one drawn frame at a time.
bool StepsEveryLevel(int kind) {
    return kind >= 7 && kind <= 12;
}

// The levels checked for each kind: first, middles, last.
std::vector<int> LevelsOf(int kind) {
    switch (kind) {
        case 0:
        case 1:
        case 2:
            return {0, 1, 64, 127, 128};
        case 3:
        case 4:
        case 5:
        case 6:
            return {0, 1, 80, 159, 160};
        case 13:
            return {0, 1, 200, 255, 256, 300, 510, 511};
        case 14:
            return {0, 1, 120, 254, 255};
        default:
            return {0, kFinal[kind] / 2, kFinal[kind]};
    }
}

TEST_P(KindModel, EachLevelMatchesTheModel) {
    const uint8_t kind = uint8_t(GetParam());
    // Kernels, depths and window offsets cross each way; the kinds that run through every
    // level take the two corners only, to keep the suite quick.
    const Variant variants[] = {
        {false, bd32, 0}, {true, bd24, 152}, {true, bd32, 152}, {false, bd24, 0}};
    const int count = StepsEveryLevel(kind) ? 2 : 4;
    for (int vi = 0; vi < count; ++vi) {
        const Variant& v = variants[vi];
        SCOPED_TRACE(::testing::Message()
                     << "fast " << v.fast << " depth " << int(v.depth) << " yoff " << v.yoff);
        SetMmxKernels(v.fast);
        Model m;
        m.kind = kind;
        m.from = Pattern(1);
        m.to = Pattern(2);
        m.target = Pattern(3);
        m.fast = v.fast;
        auto from = Bits(v.depth, W, H), to = Bits(v.depth, W, H),
             target = Bits(v.depth, W, H + v.yoff);
        Fill(from.get(), 0, 0, m.from.c.data(), W, H);
        Fill(to.get(), 0, 0, m.to.c.data(), W, H);
        std::vector<uint8_t> sentinel(size_t(W) * (H + v.yoff) * 3);
        for (size_t i = 0; i < sentinel.size(); ++i) sentinel[i] = uint8_t(0x11 * (i % 3 + 1));
        Fill(target.get(), 0, 0, sentinel.data(), W, v.yoff);
        Fill(target.get(), 0, v.yoff, m.target.c.data(), W, H);

        TNYWaterTable water;
        water.loaded = 1;
        water.distance = new uint16_t[640 * 360];
        water.sine = new uint8_t[256];
        water.amplitude = new uint8_t[32 * 255];
        std::memcpy(water.distance, m.tables.dist.data(), 640 * 360 * 2);
        std::memcpy(water.sine, m.tables.sine.data(), 256);
        std::memcpy(water.amplitude, m.tables.amp.data(), 32 * 255);
        TNYFadeAlphaMask mask;
        mask.loaded = 1;
        mask.mask = new TNyAlpha(nullptr);
        mask.work = new TNyAlpha(nullptr);
        for (TNyAlpha* a : {mask.mask, mask.work}) {
            a->Resize(W, H);
            a->Create();
        }
        mask.mask->PutAlpha(0, 0, W, H, m.mask.data());
        TNYHalationImage halo;
        halo.loaded = 1;
        auto layerBits = [&](const Layer& l) {
            TNyRGBBits* b = Bits(v.depth, l.w, l.h).release();
            Fill(b, 0, 0, l.c.data(), l.w, l.h);
            return b;
        };
        halo.back = layerBits(m.back);
        for (int i = 0; i < 5; ++i) halo.layer[i] = layerBits(m.layers[i]);

        const effect::Frame f{target.get(), v.yoff, from.get(), to.get()};
        const effect::Resources res{&water, &mask, &halo};
        const int final = kFinal[kind];
        const std::vector<int> checks = LevelsOf(kind);
        // Kinds with their own steps run through every level; the others jump.
        std::vector<int> run;
        if (StepsEveryLevel(kind)) {
            for (int L = 0; L <= final; ++L) run.push_back(L);
        } else {
            run = checks;
        }
        for (int L : run) {
            const bool ended = effect::DrawKind(kind, f, res, L);
            if (L == 0)
                m.target = m.from;
            else if (L >= final)
                m.target = m.to;
            else
                m.Level(L);
            ASSERT_EQ(ended, L >= final) << "level " << L;
            if (std::find(checks.begin(), checks.end(), L) != checks.end()) {
                ASSERT_TRUE(Matches(target.get(), v.yoff, m.target)) << "level " << L;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, KindModel, ::testing::Range(0, 15));

// ---- the rules around the routines ----

struct Pair {
    std::unique_ptr<TNyRGBBits> from = Bits(bd32, W, H), to = Bits(bd32, W, H),
                                target = Bits(bd32, W, H);
    Pair() {
        from->BoxFill(0, 0, W - 1, H - 1, 0x102030);
        to->BoxFill(0, 0, W - 1, H - 1, 0xA0B0C0);
        target->BoxFill(0, 0, W - 1, H - 1, 0x555555);
    }
    effect::Frame F() { return {target.get(), 0, from.get(), to.get()}; }
    uint32_t At(int x, int y) { return target->PGet(x, y) & 0xFFFFFF; }
};

TEST(TransitionKinds, KindsOutsideTheTableAndMissingResourcesEndOnTo) {
    struct Case {
        uint8_t kind;
        int level;
        uint32_t shows;
        bool ended;
    } cases[] = {
        {15, 0, 0xA0B0C0, true},  {200, 3, 0xA0B0C0, true}, {11, 0, 0x102030, false},
        {11, 1, 0xA0B0C0, true},  {12, 0, 0x102030, false}, {12, 5, 0xA0B0C0, true},
        {13, 0, 0x102030, false}, {13, 16, 0xA0B0C0, true}, {14, 0, 0x102030, false},
        {14, 8, 0xA0B0C0, true},
    };
    for (const Case& c : cases) {
        Pair p;
        EXPECT_EQ(effect::DrawKind(c.kind, p.F(), effect::Resources{}, c.level), c.ended)
            << int(c.kind);
        EXPECT_EQ(p.At(640, 360), c.shows) << int(c.kind) << " at " << c.level;
    }
}

TEST(TransitionKinds, SlideAtLevel80SplitsTheScreen) {
    Pair p;
    p.from->BoxFill(0, 0, W - 1, 359, 0x000001);
    p.from->BoxFill(0, 360, W - 1, H - 1, 0x000002);
    p.to->BoxFill(0, 0, W - 1, 359, 0x000003);
    p.to->BoxFill(0, 360, W - 1, H - 1, 0x000004);
    effect::DrawKind(3, p.F(), {}, 80);
    EXPECT_EQ(p.At(10, 0), 0x000002u);  // the lower half of from on top
    EXPECT_EQ(p.At(10, 359), 0x000002u);
    EXPECT_EQ(p.At(10, 360), 0x000003u);  // the upper half of to below
    EXPECT_EQ(p.At(10, 719), 0x000003u);
}

// A target of another depth, a target too low for the window, and a window partly below the
// target: what lies outside is never touched and nothing is read from outside.
TEST(TransitionKinds, TargetsThatDoNotHoldTheWindow) {
    for (uint8_t kind = 0; kind < 15; ++kind) {
        SCOPED_TRACE(int(kind));
        Pair p;
        auto other = Bits(bd24, W, H);
        other->BoxFill(0, 0, W - 1, H - 1, 0x444444);
        effect::Frame f{other.get(), 0, p.from.get(), p.to.get()};
        effect::DrawKind(kind, f, {}, 1);
        EXPECT_EQ(other->PGet(640, 360) & 0xFFFFFF, 0x444444u);

        auto low = Bits(bd32, 1000, 600);
        low->BoxFill(0, 0, 999, 599, 0x444444);
        effect::Frame g{low.get(), 100, p.from.get(), p.to.get()};
        for (int L = 0; L < 6; ++L) effect::DrawKind(kind, g, {}, L);
        EXPECT_EQ(low->PGet(500, 50) & 0xFFFFFF, 0x444444u);  // above the window
        if (kind == 8) {
            EXPECT_EQ(low->PGet(500, 300) & 0xFFFFFF, 0x102030u);  // only level 0 drew
        }
    }
}

// Halo layers larger than the screen and far off it are cut to the window.
TEST(TransitionKinds, HaloLayersOfAnySizeAndPlace) {
    Pair p;
    auto tall = Bits(bd32, W, H + 200);
    tall->BoxFill(0, 0, W - 1, H + 199, 0x000000);
    TNYHalationImage halo;
    halo.loaded = 1;
    halo.back = Bits(bd32, 3000, 40).release();
    halo.back->BoxFill(0, 0, 2999, 39, 0x010101);
    const int sizes[5][2] = {{2000, 2000}, {1, 1}, {5000, 3}, {3, 5000}, {1300, 800}};
    for (int i = 0; i < 5; ++i) {
        halo.layer[i] = Bits(bd32, sizes[i][0], sizes[i][1]).release();
        halo.layer[i]->BoxFill(0, 0, sizes[i][0] - 1, sizes[i][1] - 1, 0x202020);
    }
    effect::Frame f{tall.get(), 100, p.from.get(), p.to.get()};
    for (int L = 0; L <= 37; ++L) effect::DrawKind(12, f, {nullptr, nullptr, &halo}, L);
    EXPECT_EQ(tall->PGet(5, 99) & 0xFFFFFF, 0u);   // the bar above the window
    EXPECT_EQ(tall->PGet(5, 820) & 0xFFFFFF, 0u);  // the bar below it
}

// ---- the frame protocol around the routines ----

TEST(TransitionFrames, FirstFramesUnchangedProgressAndMissingResources) {
    for (uint8_t kind = 0; kind < 15; ++kind) {
        SCOPED_TRACE(int(kind));
        Pair p;
        TransitionEffect e;
        ASSERT_TRUE(e.Start(kind, p.from.get(), p.to.get()));
        e.Draw(p.target.get(), 0, nullptr);
        EXPECT_EQ(p.At(640, 360), 0x102030u);  // whatever the kind, the first frame is from
        e.Advance(1);
        e.Draw(p.target.get(), 0, nullptr);
        // Kinds that need a resource end on their next frame without it.
        EXPECT_EQ(e.IsIdle(), kind >= 11);
        if (kind >= 11) {
            EXPECT_EQ(p.At(640, 360), 0xA0B0C0u);
        }
        // A frame whose progress did not change draws nothing and reports nothing.
        p.target->BoxFill(0, 0, W - 1, H - 1, 0x777777);
        e.Advance(0);
        ZRRectSet dirty;
        e.Draw(p.target.get(), 0, &dirty);
        EXPECT_TRUE(dirty.IsRectEmpty());
        EXPECT_EQ(p.At(640, 360), 0x777777u);
    }
}

TEST(TransitionFrames, CrossFadeEndsAtProgress32AndSpeedsBelowOneAreRefused) {
    Pair p;
    TransitionEffect e;
    EXPECT_FALSE(e.Start(0, p.from.get(), 0, p.to.get()));
    EXPECT_FALSE(e.Start(0, p.from.get(), -5, p.to.get()));
    EXPECT_TRUE(e.IsIdle());
    ASSERT_TRUE(e.Start(0, p.from.get(), 100, p.to.get()));
    e.Draw(p.target.get(), 0, nullptr);
    for (int frame = 1; frame <= 32; ++frame) {
        EXPECT_FALSE(e.IsIdle()) << frame;
        e.Advance(1);
        e.Draw(p.target.get(), 0, nullptr);
    }
    EXPECT_TRUE(e.IsIdle());
    EXPECT_EQ(p.At(0, 0), 0xA0B0C0u);
    // However long it runs, progress stops at its largest value instead of wrapping.
    ASSERT_TRUE(e.Start(14, p.from.get(), 100000, p.to.get()));
    e.Advance(INT32_MAX);
    e.Advance(INT32_MAX);
    EXPECT_EQ(e.progress, INT32_MAX);
}

// ---- resources ----

TEST(TransitionResources, ExtractAtTheEdgesOfItsRamp) {
    TNYFadeAlphaMask m;
    m.loaded = 1;
    m.mask = new TNyAlpha(nullptr);
    m.work = new TNyAlpha(nullptr);
    for (TNyAlpha* a : {m.mask, m.work}) {
        a->Resize(W, H);
        a->Create();
    }
    m.mask->Fill(240);
    m.Extract(0);
    EXPECT_EQ(m.work->PGet(0, 0), 0);
    EXPECT_EQ(m.work->PGet(W - 1, H - 1), 0);
    m.Extract(15);
    EXPECT_EQ(m.work->PGet(0, 0), 255);
    EXPECT_EQ(m.work->PGet(W - 1, H - 1), 255);
    m.Extract(1000);  // clamped to 255
    EXPECT_EQ(m.work->PGet(7, 7), 255);
}

std::string Bmp8(int w, int h, uint8_t value) {
    std::string f;
    auto put = [&f](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) f.push_back(char((v >> (8 * i)) & 0xFF));
    };
    const uint32_t row = (uint32_t(w) + 3) & ~3u;
    f += "BM";
    put(54 + 1024 + row * h, 4);
    put(0, 4);
    put(54 + 1024, 4);
    put(40, 4);
    put(w, 4);
    put(h, 4);
    put(1, 2);
    put(8, 2);
    put(0, 4);
    put(row * h, 4);
    put(0, 4);
    put(0, 4);
    put(256, 4);
    put(0, 4);
    for (int i = 0; i < 256; ++i) put(uint32_t(i) * 0x010101, 4);
    f.append(size_t(row) * h, char(value));
    return f;
}

TEST(TransitionResources, MasksOfTheScreenSizeOnly) {
    struct Case {
        std::string bytes;
        bool loads;
    } cases[] = {
        {Bmp8(1280, 720, 99), true},
        {Bmp8(640, 480, 99), false},
        {Bmp8(1280, 721, 99), false},
        {Bmp8(1280, 720, 99).substr(0, 3000), false},  // cut short
        {"", false},
    };
    for (const Case& c : cases) {
        TNYFadeAlphaMask m;
        ZRMemoryStream s(c.bytes.data(), int(c.bytes.size()));
        if (c.loads) {
            LoadMaskStream(m, &s);
            ASSERT_TRUE(m.loaded);
            EXPECT_EQ(m.mask->PGet(1279, 719), 99);
            EXPECT_TRUE(m.work->Created());
        } else {
            EXPECT_THROW(LoadMaskStream(m, &s), EGameErr) << c.bytes.size();
            EXPECT_FALSE(m.loaded);
            EXPECT_EQ(m.mask, nullptr);
        }
    }
    TNYFadeAlphaMask missing;
    EXPECT_THROW(LoadMaskStream(missing, nullptr), EGameErr);
}

// Missing and short tables leave every pixel where it was; wave values of 255 stay inside the
// amplitude table; displacements past an edge take the edge pixel.
TEST(TransitionResources, WaterTablesAndRippleEdges) {
    auto src = Bits(bd32, W, H), dst = Bits(bd32, W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) src->PSet(x, y, uint32_t(y * 2048 + x));
    const effect::PixelRect s = effect::RectOf(src.get(), 0, 0, W, H);
    const effect::PixelRect d = effect::RectOf(dst.get(), 0, 0, W, H);
    const effect::Clip all{0, 0, W, H};

    std::string shortSine(100, char(200));
    ZRMemoryStream sineStream(shortSine.data(), int(shortSine.size()));
    TNYWaterTable neutral;
    LoadWaterStreams(neutral, nullptr, &sineStream, nullptr);
    ASSERT_TRUE(neutral.loaded);
    effect::WaterRipple(d, all, s, neutral, 31, 77);
    for (auto [x, y] : {std::pair{0, 0}, {1279, 719}, {640, 360}, {17, 500}})
        EXPECT_EQ(dst->PGet(x, y), src->PGet(x, y));

    std::string dist(kWaterDistBytes, '\0'), sine(256, char(255)),
        amp(kWaterMultiBytes, char(127 + 100));
    ZRMemoryStream ds(dist.data(), int(dist.size())), ss(sine.data(), 256),
        as(amp.data(), int(amp.size()));
    TNYWaterTable far;
    LoadWaterStreams(far, &ds, &ss, &as);
    effect::WaterRipple(d, all, s, far, 31, 0);  // every pixel moves 100 right and down
    EXPECT_EQ(dst->PGet(0, 0), src->PGet(100, 100));
    EXPECT_EQ(dst->PGet(1200, 10), src->PGet(1279, 110));
    EXPECT_EQ(dst->PGet(1279, 719), src->PGet(1279, 719));

    std::fill(amp.begin(), amp.end(), char(0));  // 127 left and up
    ZRMemoryStream ds2(dist.data(), int(dist.size())), ss2(sine.data(), 256),
        as2(amp.data(), int(amp.size()));
    TNYWaterTable back;
    LoadWaterStreams(back, &ds2, &ss2, &as2);
    effect::WaterRipple(d, all, s, back, 5, 3);
    EXPECT_EQ(dst->PGet(0, 0), src->PGet(0, 0));
    EXPECT_EQ(dst->PGet(100, 500), src->PGet(0, 373));
    back.Free();
    EXPECT_FALSE(back.loaded);
    EXPECT_EQ(back.distance, nullptr);
}

// Halo files: a missing one is skipped, one that does not decode fails the whole set.
TEST(TransitionResources, HaloFilesFromAnArchiveDirectory) {
    std::string bmp = Bmp8(4, 4, 0);
    TempDir dir;
    ZRFileMan files;
    ASSERT_TRUE(files.InitDir((dir.Host() + "/").c_str()));
    struct Case {
        std::vector<std::pair<std::string, std::string>> present;
        bool loads;
        int created;  // of the six bitmaps
    } cases[] = {
        {{}, true, 0},
        {{{"HaloBack.bmp", bmp}, {"HaloGreen.bmp", bmp}}, true, 2},
        {{{"HaloBack.bmp", bmp}, {"HaloYellowS.bmp", "BM not a picture"}}, false, 0},
    };
    for (const Case& c : cases) {
        for (const char* f : kHaloFiles) std::filesystem::remove(dir.Host(f));
        for (const auto& [name, bytes] : c.present) dir.Write(name, bytes);
        TNYHalationImage halo;
        if (!c.loads) {
            EXPECT_THROW(halo.Load(&files, bd32), EGameErr);
            EXPECT_FALSE(halo.loaded);
            EXPECT_EQ(halo.back, nullptr);
            continue;
        }
        halo.Load(&files, bd32);
        ASSERT_TRUE(halo.loaded);
        int created = halo.back->Created();
        for (TNyRGBBits* l : halo.layer) created += l->Created();
        EXPECT_EQ(created, c.created);
        EXPECT_EQ(files.OpenCount(), 0);
    }
    // Missing tables load as neutral ones.
    TNYWaterTable water;
    water.LoadTables(&files);
    ASSERT_TRUE(water.loaded);
    EXPECT_EQ(water.sine[200], kWaterNeutral);
    EXPECT_EQ(water.amplitude[31 * 255 + 254], kWaterNeutral);
    EXPECT_EQ(water.distance[640 * 360 - 1], 0);
    // A missing mask throws and holds nothing.
    TNYFadeAlphaMask mask;
    EXPECT_THROW(mask.Load(&files, "FadeMask04_Circle.bmp"), EGameErr);
    EXPECT_FALSE(mask.loaded);
    EXPECT_EQ(files.OpenCount(), 0);
}

}  // namespace
