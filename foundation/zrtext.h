// Text functions beside ZRString's own members: a bounded field copy for comma-separated
// text, splitting at line feeds, hexadecimal parsing, cutting and trimming, the DOS-style
// wildcard match that file searches use, and full-width digits for on-screen Japanese text.
// Positions are 1-based bytes, as in ZRString.
#pragma once

#include "foundation/zrstring.h"

// Copies one field: stops at a comma (when asked), a carriage return, the end of the
// source, or `limit` bytes; never splits a double-byte character. `destination` needs
// limit + 1 bytes and is always terminated.
char* ZRhstrncpy(char* destination, const char* source, unsigned limit, bool stopAtComma);
void ZRSeparateString(const ZRString text, ZRString* parts, int count);
int ZRHexToInt(const ZRString s);
ZRString ZRDivideFront(const ZRString s, int n);
ZRString ZRDivideRear(const ZRString s, int n);
ZRString ZRTrim(const ZRString s);
ZRString ZRTrimLeft(const ZRString s);
ZRString ZRTrimRight(const ZRString s);
bool ZRWildCardCmp(const char* pattern, const char* name);
ZRString ZRIntToWideStr(int value, int digits);
