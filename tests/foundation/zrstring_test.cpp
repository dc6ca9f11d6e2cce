#include "foundation/zrstring.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(ZRString, CopiesShareUntilOneIsWritten) {
    int before = _ZRDBG_GetStrSize();
    ZRString a("hello");
    ZRString b(a);
    EXPECT_EQ(a.GetData(), b.GetData());
    EXPECT_EQ(_ZRDBG_GetStrSize(), before + 1);
    b[1] = 'j';
    EXPECT_STREQ(a.c_str(), "hello");
    EXPECT_STREQ(b.c_str(), "jello");
    EXPECT_NE(a.GetData(), b.GetData());
    EXPECT_EQ(_ZRDBG_GetStrSize(), before + 2);
    a = b;
    EXPECT_EQ(a.GetData(), b.GetData());
    EXPECT_EQ(_ZRDBG_GetStrSize(), before + 1);
    a = a;  // self-assignment keeps the text
    EXPECT_STREQ(a.c_str(), "jello");
}

TEST(ZRString, EmptyResultsAreNullStrings) {
    int before = _ZRDBG_GetStrSize();
    ZRString e1(""), e2("abc", 0), e3("abc");
    e3.Delete(1, e3.Length());
    EXPECT_EQ(e1.GetData(), nullptr);
    EXPECT_EQ(e2.GetData(), nullptr);
    EXPECT_EQ(e3.GetData(), nullptr);
    EXPECT_EQ(_ZRDBG_GetStrSize(), before);
    EXPECT_STREQ(e1.c_str(), "");
    EXPECT_TRUE(e1 == e2);
    ZRString zero('\0');
    EXPECT_TRUE(zero.IsEmpty());
}

TEST(ZRString, EmbeddedNulBytesAreKeptUntilACopyWithChanges) {
    ZRString s("a\0b", 3);
    EXPECT_EQ(s.Length(), 3);
    EXPECT_EQ(s[2], '\0');
    EXPECT_EQ(s.UpperCase().Length(), 1);
    plat::AnsiString a = s;
    EXPECT_EQ(a.Length(), 1);
    EXPECT_TRUE(ZRString(plat::AnsiString()).IsEmpty());
}

TEST(ZRString, PositionsCountFromOneAndOutOfRangeThrows) {
    ZRString s("abcde");
    EXPECT_EQ(s[1], 'a');
    EXPECT_EQ(s[5], 'e');
    EXPECT_THROW(s[0], std::out_of_range);
    EXPECT_THROW(s[6], std::out_of_range);
    try {
        s[0];
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "Index is out of range");
    }
    EXPECT_STREQ(s.SubString(0, 3).c_str(), "ab");
    EXPECT_STREQ(s.SubString(2, 3).c_str(), "bcd");
    EXPECT_TRUE(s.SubString(10, 5).IsEmpty());
    EXPECT_TRUE(s.SubString(2, 0).IsEmpty());
    EXPECT_STREQ(s.SubString(4, 100).c_str(), "de");
    EXPECT_THROW(ZRString().AnsiLastChar(), std::out_of_range);
}

TEST(ZRString, InsertAndDeleteClamp) {
    ZRString s("abc");
    s.Insert("XY", 100);
    EXPECT_STREQ(s.c_str(), "abcXY");
    s.Insert("Z", -5);
    EXPECT_STREQ(s.c_str(), "ZabcXY");
    s.Insert("-", 2);
    EXPECT_STREQ(s.c_str(), "Z-abcXY");
    s.Delete(-1, 3);  // offset -2 eats two of the three
    EXPECT_STREQ(s.c_str(), "-abcXY");
    s.Delete(50, 2);
    EXPECT_STREQ(s.c_str(), "-abcXY");
    s.Delete(5, 100);
    EXPECT_STREQ(s.c_str(), "-abc");
    s.SetLength(6);
    EXPECT_EQ(s.Length(), 6);
    EXPECT_EQ(s[6], '\0');
    s.SetLength(0);
    EXPECT_EQ(s.GetData(), nullptr);
    EXPECT_STREQ(ZRString::StringOfChar('x', 3).c_str(), "xxx");
    EXPECT_TRUE(ZRString::StringOfChar('x', 0).IsEmpty());
}

TEST(ZRString, FormattingIsCutAtTheBufferAndNeverAppends) {
    ZRString s("old");
    s.sprintf("%s", std::string(2000, 'x').c_str());
    EXPECT_EQ(s.Length(), 1024);
    s.sprintf("%s", "");
    EXPECT_TRUE(s.IsEmpty());
    s.sprintf("%d-%s", 12, "ab");
    EXPECT_STREQ(s.c_str(), "12-ab");
    // Formatting a string from its own text.
    ZRString t("self");
    ZRString u(t);
    u.sprintf("[%s]", u.c_str());
    EXPECT_STREQ(u.c_str(), "[self]");
    EXPECT_STREQ(t.c_str(), "self");
}

TEST(ZRString, NumberConstructorsAndHex) {
    EXPECT_STREQ(ZRString(-5).c_str(), "-5");
    EXPECT_STREQ(ZRString(4000000000u).c_str(), "4000000000");
    EXPECT_STREQ(ZRString(static_cast<short>(-3)).c_str(), "-3");
    EXPECT_STREQ(ZRString(-9000000000LL).c_str(), "-9000000000");
    EXPECT_STREQ(ZRString(18446744073709551615ULL).c_str(), "18446744073709551615");
    EXPECT_STREQ(ZRString('q').c_str(), "q");
    EXPECT_STREQ(ZRIntToHex(255, 4).c_str(), "00FF");
    EXPECT_STREQ(ZRIntToHex(0x12345, 2).c_str(), "12345");
    EXPECT_STREQ(ZRIntToHex(-1LL, 2).c_str(), "FFFFFFFFFFFFFFFF");
    EXPECT_STREQ(ZRIntToStr(7LL).c_str(), "7");
}

TEST(ZRString, ToIntAcceptsOnlyAnOptionalMinusAndDigits) {
    EXPECT_EQ(ZRString("-12").ToInt(), -12);
    EXPECT_EQ(ZRString("-").ToInt(), 0);
    EXPECT_EQ(ZRString("4294967297").ToInt(), 1);  // wraps in 32 bits
    for (const char* bad : {"", " 1", "+1", "12a", "1-2", "0x10"}) {
        EXPECT_THROW(ZRString(bad).ToInt(), std::invalid_argument) << bad;
        EXPECT_EQ(ZRString(bad).ToIntDef(7), 7) << bad;
    }
}

TEST(ZRString, DoubleByteRule) {
    // 0x82 0xA0 is one character; the backslash after it stands alone.
    ZRString a("\x82\xA0\x5C");
    EXPECT_EQ(a.ByteType(1), 1);
    EXPECT_EQ(a.ByteType(2), 2);
    EXPECT_EQ(a.ByteType(3), 0);
    EXPECT_TRUE(a.IsPathDelimiter(3));
    EXPECT_EQ(a.LastDelimiter("\\"), 3);
    // In 0x81 0x5C the backslash is a trail byte.
    ZRString b("\x81\x5C");
    EXPECT_FALSE(b.IsPathDelimiter(2));
    EXPECT_EQ(b.LastDelimiter("\\"), 0);
    EXPECT_EQ(ZRLastDelimiter("a\\b\\c", "\\"), 4);
    EXPECT_EQ(b.AnsiLastChar(), b.c_str());
    // 0xA0-0xDF count as lead bytes; a run of leads alternates lead and trail.
    ZRString c("\xB1\xB1\xB1");
    EXPECT_EQ(c.ByteType(1), 1);
    EXPECT_EQ(c.ByteType(2), 2);
    EXPECT_EQ(c.ByteType(3), 1);
    EXPECT_EQ(ZRString("\xF8").ByteType(1), 0);
    EXPECT_EQ(ZRString("\x80").ByteType(1), 0);
    EXPECT_EQ(c.ByteType(0), 0);
    EXPECT_EQ(c.ByteType(4), 0);
    EXPECT_FALSE(ZRString("/").IsPathDelimiter(1));
}

TEST(ZRString, SearchAndCase) {
    ZRString s("\x82\x61" "a");  // lead 0x82, trail 'a', then 'a'
    EXPECT_EQ(s.Pos("a"), 2);
    EXPECT_EQ(s.AnsiPos("a"), 3);
    EXPECT_EQ(s.Pos(""), 1);
    EXPECT_EQ(ZRString().Pos(""), 0);
    EXPECT_EQ(s.AnsiPos(""), 0);
    EXPECT_STREQ(s.UpperCase().c_str(), "\x82\x61" "A");
    EXPECT_STREQ(ZRString("MiXeD").LowerCase().c_str(), "mixed");
    EXPECT_STREQ(ZRString(" \t x y\r\n").Trim().c_str(), "x y");
    EXPECT_STREQ(ZRString("  x ").TrimLeft().c_str(), "x ");
    EXPECT_STREQ(ZRString("  x ").TrimRight().c_str(), "  x");
    EXPECT_TRUE(ZRString(" \r\n").Trim().IsEmpty());
    EXPECT_TRUE(ZRString("a,b").IsDelimiter(",;", 2));
    EXPECT_FALSE(ZRString("a,b").IsDelimiter(",;", 1));
}

TEST(ZRString, ComparisonIsUnsignedBytewise) {
    EXPECT_TRUE(ZRString("abc") < ZRString("abd"));
    EXPECT_TRUE(ZRString("ab") < ZRString("abc"));
    EXPECT_TRUE(ZRString("\x80") > ZRString("a"));
    EXPECT_TRUE(ZRString("x") >= ZRString("x"));
    EXPECT_TRUE(ZRString("x") != ZRString("y"));
    EXPECT_STREQ(("<" + ZRString("a") + ">").c_str(), "<a>");
    ZRString s("ab");
    s += s;
    EXPECT_STREQ(s.c_str(), "abab");
}

TEST(ZRString, ManyThreadsCopyFormatAndReleaseSafely) {
    ZRString shared("shared text");
    int before = _ZRDBG_GetStrSize();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared, t] {
            for (int i = 0; i < 2000; ++i) {
                ZRString copy(shared);
                ZRString f;
                f.sprintf("%d:%d", t, i);
                copy += f;
                ASSERT_EQ(copy.Pos(f), 12);
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(_ZRDBG_GetStrSize(), before);
    EXPECT_STREQ(shared.c_str(), "shared text");
}

TEST(ZRString, DebugListIsInAddressOrder) {
    ZRString a("one"), b("two"), c("three");
    std::vector<const std::string*> list(static_cast<size_t>(_ZRDBG_GetStrSize()));
    int n = _ZRDBG_GetStrList(list.data(), static_cast<int>(list.size()));
    EXPECT_EQ(n, static_cast<int>(list.size()));
    for (int i = 1; i < n; ++i) EXPECT_LT(list[i - 1], list[i]);
    EXPECT_EQ(_ZRDBG_GetStrList(list.data(), 1), 1);
}

}  // namespace
