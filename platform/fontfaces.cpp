#include "platform/fontfaces.h"

#include <strings.h>

#include <cstring>

#include "platform/codepage.h"

namespace plat {
namespace {

// Face names as written in the layouts (UTF-8 here, compared after decoding) and the free
// faces that stand in for them.
struct FaceMapping {
    const char* requested;
    const char* installed;
};

constexpr FaceMapping kFaces[] = {
    {"ＭＳ ゴシック", "IPAGothic"},  {"ＭＳ Ｐゴシック", "IPAPGothic"},
    {"MS Gothic", "IPAGothic"},      {"MS PGothic", "IPAPGothic"},
    {"MS UI Gothic", "IPAPGothic"},  {"黑体", "WenQuanYi Zen Hei"},
    {"SimHei", "WenQuanYi Zen Hei"},
};

// Monospaced members of the stand-in families, for fixed-pitch requests.
constexpr FaceMapping kFixedPitch[] = {
    {"WenQuanYi Zen Hei", "WenQuanYi Zen Hei Mono"},
};

constexpr const char* kJapaneseDefault = "IPAGothic";
constexpr const char* kChineseDefault = "WenQuanYi Zen Hei";

// The stand-in for a face the layouts name or for the character set's default face; null
// for any other name.
const char* StandInFor(const std::string& face_bytes, uint8_t charset) {
    // A face name's bytes may be in either code page whatever the font's character set.
    const std::string decoded[] = {ToUtf8(face_bytes, CodePageForCharset(charset)),
                                   ToUtf8(face_bytes, CodePage::ShiftJis),
                                   ToUtf8(face_bytes, CodePage::Gbk)};
    for (const FaceMapping& m : kFaces) {
        for (const std::string& d : decoded) {
            if (strcasecmp(d.c_str(), m.requested) == 0) return m.installed;
        }
    }
    if (face_bytes.empty() || strcasecmp(face_bytes.c_str(), "DEFAULT") == 0) {
        return CodePageForCharset(charset) == CodePage::ShiftJis ? kJapaneseDefault
                                                                 : kChineseDefault;
    }
    return nullptr;
}

}  // namespace

std::string InstalledFamilyFor(const std::string& face_bytes, uint8_t charset, uint8_t pitch) {
    const char* stand_in = StandInFor(face_bytes, charset);
    std::string family = stand_in ? stand_in : ToUtf8(face_bytes, CodePageForCharset(charset));
    if (pitch == 2)
        for (const FaceMapping& m : kFixedPitch)
            if (family == m.requested) return m.installed;
    return family;
}

bool IsStandIn(const std::string& face_bytes, uint8_t charset) {
    return StandInFor(face_bytes, charset) != nullptr;
}

const char* FallbackFamilyFor(const std::string& family) {
    return family.rfind(kChineseDefault, 0) == 0 ? kJapaneseDefault : kChineseDefault;
}

}  // namespace plat
