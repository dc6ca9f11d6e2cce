#include "foundation/zrtext.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

std::string S(const ZRString& z) { return std::string(z.c_str(), static_cast<size_t>(z.Length())); }

TEST(ZRhstrncpy, StopsAtFieldEndsAndKeepsCharactersWhole) {
    char out[16];
    EXPECT_STREQ(ZRhstrncpy(out, "ab\x82\xA0z", 3, false), "ab");
    EXPECT_STREQ(ZRhstrncpy(out, "ab\x82\xA0z", 4, false), "ab\x82\xA0");
    EXPECT_STREQ(ZRhstrncpy(out, "ab,cd", 10, true), "ab");
    EXPECT_STREQ(ZRhstrncpy(out, "ab,cd", 10, false), "ab,cd");
    EXPECT_STREQ(ZRhstrncpy(out, "ab\r\ncd", 10, false), "ab");
    EXPECT_STREQ(ZRhstrncpy(out, "a\nb", 10, false), "a\nb");
    EXPECT_STREQ(ZRhstrncpy(out, "abcdef", 4, false), "abcd");
    // A comma as the second byte of a double-byte character does not end the field.
    EXPECT_STREQ(ZRhstrncpy(out, "\x88,x,y", 10, true), "\x88,x");
    // 0xF0 is not a lead byte here: it is copied alone.
    EXPECT_STREQ(ZRhstrncpy(out, "\xF0,", 10, true), "\xF0");
}

TEST(ZRhstrncpy, LeadByteBeforeTheTerminatorDoesNotReadPastIt) {
    // The source is exactly three bytes; reading a fourth would be out of bounds.
    char* src = new char[3]{'a', '\x82', '\0'};
    char out[8];
    EXPECT_STREQ(ZRhstrncpy(out, src, 7, false), "a\x82");
    delete[] src;
}

TEST(ZRSeparateString, SplitsAtLineFeeds) {
    ZRString p[3];
    ZRSeparateString("one\ntwo", p, 3);
    EXPECT_EQ(S(p[0]), "one");
    EXPECT_EQ(S(p[1]), "two");
    EXPECT_EQ(S(p[2]), "");
    ZRString q[1];
    ZRSeparateString("one\ntwo", q, 1);
    EXPECT_EQ(S(q[0]), "one");
    ZRString r[4] = {"stale", "stale", "stale", "stale"};
    ZRSeparateString("\nb\n\x82\n\n", r, 4);
    EXPECT_EQ(S(r[0]), "");
    EXPECT_EQ(S(r[1]), "b");
    // A line feed inside a double-byte character does not split.
    EXPECT_EQ(S(r[2]), "\x82\n");
    EXPECT_EQ(S(r[3]), "");
}

TEST(ZRHexToInt, EightDigitsAtMost) {
    EXPECT_EQ(ZRHexToInt("ff"), 255);
    EXPECT_EQ(ZRHexToInt("FF"), 255);
    EXPECT_EQ(ZRHexToInt("123456789"), 0x12345678);
    EXPECT_EQ(ZRHexToInt("1G"), 16);
    EXPECT_EQ(ZRHexToInt("FFFFFFFF"), -1);
    EXPECT_EQ(ZRHexToInt(""), 0);
}

TEST(ZRDivide, CutsClampToTheString) {
    EXPECT_EQ(S(ZRDivideFront("abc", 2)), "ab");
    EXPECT_EQ(S(ZRDivideFront("abc", 9)), "abc");
    EXPECT_EQ(S(ZRDivideFront("abc", 0)), "");
    EXPECT_EQ(S(ZRDivideFront("abc", -3)), "");
    EXPECT_EQ(S(ZRDivideRear("abc", 0)), "abc");
    EXPECT_EQ(S(ZRDivideRear("abc", 2)), "bc");
    EXPECT_EQ(S(ZRDivideRear("abc", 4)), "");
    EXPECT_EQ(S(ZRDivideRear("abc", INT_MIN)), "abc");
}

TEST(ZRTrim, ControlAndHighSingleBytesAreBlank) {
    EXPECT_EQ(S(ZRTrim(" \t \t")), "");
    EXPECT_EQ(S(ZRTrim("")), "");
    EXPECT_EQ(S(ZRTrim("\x01 a b\x1F")), "a b");
    // A double-byte character at either end stays, even with a blank-looking second byte.
    EXPECT_EQ(S(ZRTrim("\x82\xA0x\x82\x20")), "\x82\xA0x\x82\x20");
    // 0xF8 and up are one-byte characters, negative as signed bytes: blank.
    EXPECT_EQ(S(ZRTrim("\xF9x\xFF")), "x");
    EXPECT_EQ(S(ZRTrimLeft("  a  ")), "a  ");
    EXPECT_EQ(S(ZRTrimRight("  a  ")), "  a");
    EXPECT_EQ(S(ZRTrimRight(" \x82")), " \x82");
}

TEST(ZRWildCardCmp, StarsQuestionMarksAndCase) {
    EXPECT_TRUE(ZRWildCardCmp("*", "anything.bmp"));
    EXPECT_TRUE(ZRWildCardCmp("*", ""));
    EXPECT_TRUE(ZRWildCardCmp("**", "x"));
    EXPECT_TRUE(ZRWildCardCmp("*.bmp", "pic.BMP"));
    EXPECT_TRUE(ZRWildCardCmp("*.BMP", "a.b.bmp"));
    EXPECT_FALSE(ZRWildCardCmp("*.bmp", "pic.png"));
    EXPECT_FALSE(ZRWildCardCmp("*.bmp", "pic.bmpx"));
    EXPECT_TRUE(ZRWildCardCmp("a?c", "abc"));
    EXPECT_FALSE(ZRWildCardCmp("a?c", "ac"));
    EXPECT_TRUE(ZRWildCardCmp("a??.txt", "ab.txt"));
    EXPECT_TRUE(ZRWildCardCmp("a??.txt", "abc.txt"));
    EXPECT_FALSE(ZRWildCardCmp("a??.txt", "abcd.txt"));
    EXPECT_TRUE(ZRWildCardCmp("ab?", "ab"));
    EXPECT_TRUE(ZRWildCardCmp("s*_*.csv", "scene_01.csv"));
    EXPECT_FALSE(ZRWildCardCmp("s*_*.csv", "scene01.csv"));
    EXPECT_TRUE(ZRWildCardCmp("*01*", "a01b"));
    EXPECT_FALSE(ZRWildCardCmp("abc", "abc.txt"));
    EXPECT_FALSE(ZRWildCardCmp("abc", "ab"));
    EXPECT_FALSE(ZRWildCardCmp("", "a"));
    EXPECT_TRUE(ZRWildCardCmp("", ""));
}

TEST(ZRWildCardCmp, DoubleByteCharactersMatchExactly) {
    // 0x82 0x61 and 0x82 0x41: the second bytes look like 'a' and 'A' but must not fold.
    EXPECT_TRUE(ZRWildCardCmp("\x82\x61*", "\x82\x61z"));
    EXPECT_FALSE(ZRWildCardCmp("\x82\x61*", "\x82\x41z"));
    EXPECT_FALSE(ZRWildCardCmp("\x82\x61", "\x83\x61"));
    EXPECT_TRUE(ZRWildCardCmp("*\x82\x61.txt", "x\x82\x61.TXT"));
}

TEST(ZRIntToWideStr, FullWidthDigitsPaddedToTheCount) {
    EXPECT_EQ(S(ZRIntToWideStr(5, 3)), "\x82\x4F\x82\x4F\x82\x54");
    EXPECT_EQ(S(ZRIntToWideStr(-12, 1)), "\x81\x7C\x82\x50\x82\x51");
    EXPECT_EQ(S(ZRIntToWideStr(0, 1)), "\x82\x4F");
    EXPECT_EQ(S(ZRIntToWideStr(7, 0)), "\x82\x56");
    EXPECT_EQ(ZRIntToWideStr(1, 20).Length(), 20);
    EXPECT_EQ(S(ZRIntToWideStr(INT_MIN, 1)),
              "\x81\x7C\x82\x51\x82\x50\x82\x53\x82\x56\x82\x53\x82\x57\x82\x52\x82\x55\x82\x53\x82\x57");
}

}  // namespace
