// Fuzzes the fade-mask loader, then draws levels of both mask wipes through whatever it
// accepted. The first input byte picks the form of the rest: even, it is the mask file as
// is; odd, it is a palette (up to 1,024 bytes) and pixel values, tiled into an 8-bit
// 1280x720 file, so the wipes run on masks without seeds of a megabyte. The last byte sets
// the level step (1 to 31: every level at 1).
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/zrstream.h"
#include "game/gameeffect_kinds.h"
#include "game/gameeffect_res.h"
#include "game/maint.h"

namespace {

struct Pictures {
    TNyRGBBits from{nullptr}, to{nullptr}, target{nullptr};
    Pictures() {
        for (TNyRGBBits* b : {&from, &to, &target}) {
            b->SetBitDepth(bd32);
            b->SetPixFormat(pf32_888);
            b->Resize(1280, 720);
            b->Create();
        }
        to.BoxFill(0, 0, 1279, 719, 0xFFFFFF);
    }
};

std::string ScreenMask(const uint8_t* p, size_t n) {
    std::string f;
    auto put = [&f](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) f.push_back(char((v >> (8 * i)) & 0xFF));
    };
    const uint32_t pixels = 1280 * 720;
    f += "BM";
    put(54 + 1024 + pixels, 4);
    put(0, 4);
    put(54 + 1024, 4);
    put(40, 4);
    put(1280, 4);
    put(720, 4);
    put(1, 2);
    put(8, 2);
    put(0, 4);
    put(pixels, 4);
    put(0, 4);
    put(0, 4);
    put(256, 4);
    put(0, 4);
    const size_t palette = n < 1024 ? n : 1024;
    for (size_t i = 0; i < 1024; ++i) f.push_back(i < palette ? char(p[i]) : 0);
    const uint8_t* rest = p + palette;
    const size_t m = n - palette;
    for (uint32_t i = 0; i < pixels; ++i) f.push_back(m ? char(rest[i % m]) : char(i));
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > (1 << 21)) return 0;
    static Pictures pics;
    std::string bytes = (data[0] & 1)
                            ? ScreenMask(data + 1, size - 2)
                            : std::string(reinterpret_cast<const char*>(data + 1), size - 2);
    TNYFadeAlphaMask mask;
    ZRMemoryStream s(bytes.data(), int(bytes.size()));
    try {
        LoadMaskStream(mask, &s);
    } catch (const EGameErr&) {
        return 0;
    }
    const effect::Frame f{&pics.target, 0, &pics.from, &pics.to};
    const int step = 1 + data[size - 1] % 31;
    for (int level = 0; level <= 511; level += step) effect::SoftMaskWipe(f, mask, level);
    for (int level = 0; level <= 255; level += step) effect::EdgeMaskWipe(f, mask, level);
    return 0;
}
