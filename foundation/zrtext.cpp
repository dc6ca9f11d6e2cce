#include "foundation/zrtext.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// The field copy's own double-byte test, narrower than ZRString's.
bool IsFieldLead(unsigned char c) { return (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF); }

// Byte kinds of a whole string in one pass: 0 single, 1 lead, 2 trail (as ZRString::ByteType).
std::vector<uint8_t> ByteKinds(const std::string& t) {
    std::vector<uint8_t> kinds(t.size(), 0);
    for (size_t i = 0; i < t.size(); ++i) {
        if (!ZRString::IsLead(static_cast<unsigned char>(t[i]))) continue;
        kinds[i] = 1;
        if (i + 1 < t.size()) kinds[++i] = 2;
    }
    return kinds;
}

bool IsBlank(const std::string& t, const std::vector<uint8_t>& kinds, size_t i) {
    return kinds[i] == 0 && static_cast<signed char>(t[i]) <= 32;
}

ZRString Slice(const std::string& t, size_t from, size_t to) {
    return ZRString(t.data() + from, static_cast<unsigned>(to - from));
}

}  // namespace

char* ZRhstrncpy(char* destination, const char* source, unsigned limit, bool stopAtComma) {
    const auto* s = reinterpret_cast<const unsigned char*>(source);
    unsigned copied = 0;
    while (copied < limit) {
        unsigned char c = s[copied];
        if (c == 0 || c == 0x0D || (stopAtComma && c == ',')) break;
        if (IsFieldLead(c) && s[copied + 1] != 0) {
            if (copied + 2 > limit) break;
            destination[copied] = static_cast<char>(c);
            destination[copied + 1] = static_cast<char>(s[copied + 1]);
            copied += 2;
        } else {
            destination[copied++] = static_cast<char>(c);
        }
    }
    destination[copied] = '\0';
    return destination;
}

void ZRSeparateString(const ZRString text, ZRString* parts, int count) {
    ZRString work = text;
    const ZRString lineFeed("\n");
    for (int i = 0; i < count; ++i) {
        parts[i] = ZRString();
        if (work.IsEmpty()) continue;
        int at = work.AnsiPos(lineFeed);
        if (at == 0) {
            parts[i] = work;
            work = ZRString();
            continue;
        }
        if (at > 1) parts[i] = work.SubString(1, at - 1);
        work = work.SubString(at + 1, INT_MAX);
    }
}

int ZRHexToInt(const ZRString s) {
    const ZRString upper = s.UpperCase();
    const std::string& t = upper.GetConstStr();
    uint32_t value = 0;
    for (size_t i = 0; i < t.size() && i < 8; ++i) {
        value <<= 4;
        char c = t[i];
        if (c >= '0' && c <= '9') value += static_cast<uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'F') value += static_cast<uint32_t>(c - 'A' + 10);
    }
    return static_cast<int>(value);
}

ZRString ZRDivideFront(const ZRString s, int n) {
    n = std::min(n, s.Length());
    return n < 1 ? ZRString() : s.SubString(1, n);
}

ZRString ZRDivideRear(const ZRString s, int n) {
    int start = std::max(n, 1);
    if (start > s.Length()) return ZRString();
    return s.SubString(start, s.Length() - start + 1);
}

ZRString ZRTrim(const ZRString s) {
    const std::string& t = s.GetConstStr();
    if (t.empty()) return s;
    std::vector<uint8_t> kinds = ByteKinds(t);
    size_t from = 0, to = t.size();
    while (from < to && IsBlank(t, kinds, from)) ++from;
    while (to > from && IsBlank(t, kinds, to - 1)) --to;
    return Slice(t, from, to);
}

ZRString ZRTrimLeft(const ZRString s) {
    const std::string& t = s.GetConstStr();
    if (t.empty()) return s;
    std::vector<uint8_t> kinds = ByteKinds(t);
    size_t from = 0;
    while (from < t.size() && IsBlank(t, kinds, from)) ++from;
    return Slice(t, from, t.size());
}

ZRString ZRTrimRight(const ZRString s) {
    const std::string& t = s.GetConstStr();
    if (t.empty()) return s;
    std::vector<uint8_t> kinds = ByteKinds(t);
    size_t to = t.size();
    while (to > 0 && IsBlank(t, kinds, to - 1)) --to;
    return Slice(t, 0, to);
}

// ---- wildcard match ----

namespace {

bool IsPatternLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsPatternTrail(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }
unsigned char FoldAscii(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

// Matches the pattern up to its next '*' (or its end, where the name must end too) at the
// name position; both positions advance only on a match.
bool MatchSegment(const unsigned char*& pattern, const unsigned char*& name) {
    const unsigned char* p = pattern;
    const unsigned char* n = name;
    bool afterLead = false;
    for (;;) {
        unsigned char c = *p;
        if (c == '*' || (c == 0 && *n == 0)) break;
        if (c == 0) return false;
        if ((afterLead && IsPatternTrail(c)) || (!afterLead && IsPatternLead(c))) {
            if (*n != c) return false;
            afterLead = !afterLead;
            ++p;
            ++n;
            continue;
        }
        afterLead = false;
        if (c == '?') {
            if (*n != 0 && *n != '.') ++n;
            ++p;
            continue;
        }
        if (*n == 0 || FoldAscii(c) != FoldAscii(*n)) return false;
        ++p;
        ++n;
    }
    pattern = p;
    name = n;
    return true;
}

}  // namespace

bool ZRWildCardCmp(const char* pattern, const char* name) {
    const auto* p = reinterpret_cast<const unsigned char*>(pattern);
    const auto* n = reinterpret_cast<const unsigned char*>(name);
    for (;;) {
        if (*p == 0) return *n == 0;
        if (*p != '*') {
            if (!MatchSegment(p, n)) return false;
            continue;
        }
        while (*p == '*') ++p;
        if (*p == 0) return true;
        for (;;) {
            if (MatchSegment(p, n)) break;
            if (*n == 0) return false;
            ++n;
        }
    }
}

ZRString ZRIntToWideStr(int value, int digits) {
    digits = std::clamp(digits, 1, 10);
    std::string out;
    uint32_t magnitude = static_cast<uint32_t>(value);
    if (value < 0) {
        out += "\x81\x7C";
        magnitude = 0u - magnitude;
    }
    char decimal[10];
    for (int i = 9; i >= 0; --i) {
        decimal[i] = static_cast<char>(magnitude % 10);
        magnitude /= 10;
    }
    int start = 10 - digits;
    for (int i = 0; i < start; ++i) {
        if (decimal[i] != 0) {
            start = i;
            break;
        }
    }
    for (int i = start; i < 10; ++i) {
        out += '\x82';
        out += static_cast<char>(0x4F + decimal[i]);
    }
    return ZRString(out.c_str(), static_cast<unsigned>(out.size()));
}
