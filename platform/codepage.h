// Conversion between the game's code pages and UTF-8. The game's texts are Shift-JIS
// (Windows code page 932) or GBK (code page 936) bytes; UTF-8 appears only at the edges:
// message boxes, logs and the font rasteriser.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

enum class CodePage { ShiftJis, Gbk };

// Decodes bytes to UTF-8. Bytes that do not form a character of the code page become
// U+FFFD, one per byte, and decoding goes on after them.
std::string ToUtf8(std::string_view bytes, CodePage cp);

// Encodes UTF-8 into the code page; characters the code page lacks become '?'.
std::string FromUtf8(std::string_view utf8, CodePage cp);

// Encodes UTF-8 into the code page, refusing what FromUtf8 would replace: false at the first
// character the code page lacks or the first malformed UTF-8 sequence, with `bad` set to its
// byte offset in `utf8` and `out` holding what was encoded before it.
bool FromUtf8Strict(std::string_view utf8, CodePage cp, std::string& out, size_t& bad);

// Decodes bytes to Unicode code points, with the same replacement rule as ToUtf8.
std::vector<char32_t> ToCodePoints(std::string_view bytes, CodePage cp);

// The system's own texts written readably in the source: a UTF-8 literal converted once
// into the code page and kept for the life of the process. The literal's address is the
// cache key, so pass string literals only.
const std::string& SjisText(const char* utf8_literal);
const std::string& GbkText(const char* utf8_literal);

// The code page the graphics interface uses for a font character-set number:
// 128 is Shift-JIS; everything else (134 GB2312 above all) is read as GBK.
CodePage CodePageForCharset(uint8_t charset);

}  // namespace plat
