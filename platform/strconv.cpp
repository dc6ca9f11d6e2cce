// Integer text conversions.
#include "platform/strconv.h"

namespace plat {

int32_t StrToIntDef(std::string_view s, int32_t def) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    bool hex = false;
    if (i < s.size() && s[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == s.size()) return def;
    const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        uint64_t d;
        if (c >= '0' && c <= '9')
            d = static_cast<uint64_t>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            d = static_cast<uint64_t>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            d = static_cast<uint64_t>(c - 'A' + 10);
        else
            return def;
        v = v * (hex ? 16 : 10) + d;
        if (v > limit) return def;
    }
    const uint32_t bits = static_cast<uint32_t>(negative ? 0 - v : v);
    return static_cast<int32_t>(bits);
}

std::string IntToStr(int32_t value) {
    return std::to_string(value);
}

}  // namespace plat
