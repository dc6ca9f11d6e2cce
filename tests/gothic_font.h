// The fixed-pitch Japanese face the screens' text is drawn with, as font attributes for tests.
#pragma once
#include "foundation/zrfont.h"
#include "platform/codepage.h"

inline ZRFontParam GothicFont(int height) {
    ZRFontParam p;
    p.charset = 128;
    p.name = ZRString(plat::SjisText("ＭＳ ゴシック").c_str());
    p.height = height;
    p.pitch = fpFixed;
    p.quality = fqNonAntialiased;
    return p;
}
