// Number conversions of the class library that stored settings go through: text to integer
// with a fallback, and integer to decimal text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

// Leading spaces, an optional sign, then decimal digits or hexadecimal ones after "$" or
// "0x"; nothing may follow. Text that is not such a number, or whose value does not fit 32
// bits (hexadecimal up to FFFFFFFF, taken as two's complement), gives def.
int32_t StrToIntDef(std::string_view text, int32_t def);
std::string IntToStr(int32_t value);

}  // namespace plat
