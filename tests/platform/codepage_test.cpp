#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

TEST(CodePage, DecodesShiftJisAndGbkToTheExpectedCharacters) {
    // "初期化" in Shift-JIS; 0x5C after a lead byte is a trail byte, not a backslash.
    EXPECT_EQ(plat::ToUtf8("\x8F\x89\x8A\xFA\x89\xBB", plat::CodePage::ShiftJis), "初期化");
    EXPECT_EQ(plat::ToUtf8("\x95\x5C", plat::CodePage::ShiftJis), "表");
    // CP932 maps 0x5C to a backslash and 0x8160 to the wave dash's full-width form.
    EXPECT_EQ(plat::ToUtf8("\\", plat::CodePage::ShiftJis), "\\");
    EXPECT_EQ(plat::ToUtf8("\x81\x60", plat::CodePage::ShiftJis), "\xEF\xBD\x9E");
    // "确定" in GBK.
    EXPECT_EQ(plat::ToUtf8("\xC8\xB7\xB6\xA8", plat::CodePage::Gbk), "确定");
    auto cps = plat::ToCodePoints("a\xC8\xB7", plat::CodePage::Gbk);
    ASSERT_EQ(cps.size(), 2u);
    EXPECT_EQ(cps[0], U'a');
    EXPECT_EQ(cps[1], U'确');
}

TEST(CodePage, BrokenBytesBecomeReplacementCharactersAndDecodingGoesOn) {
    EXPECT_EQ(plat::ToUtf8("a\x81", plat::CodePage::ShiftJis), "a\xEF\xBF\xBD");
    EXPECT_EQ(plat::ToUtf8("\xFF"
                           "b",
                           plat::CodePage::Gbk),
              "\xEF\xBF\xBD"
              "b");
}

TEST(CodePage, EncodesBackAndReplacesWhatTheCodePageLacks) {
    EXPECT_EQ(plat::FromUtf8("初期化", plat::CodePage::ShiftJis), "\x8F\x89\x8A\xFA\x89\xBB");
    EXPECT_EQ(plat::FromUtf8("确定吗", plat::CodePage::Gbk), "\xC8\xB7\xB6\xA8\xC2\xF0");
    EXPECT_EQ(plat::FromUtf8("x\xF0\x9F\x98\x80y", plat::CodePage::ShiftJis), "x?y");
    const char* lit = "初期化";
    EXPECT_EQ(plat::SjisText(lit), "\x8F\x89\x8A\xFA\x89\xBB");
    EXPECT_EQ(&plat::SjisText(lit), &plat::SjisText(lit));
    EXPECT_EQ(plat::GbkText("确定"), "\xC8\xB7\xB6\xA8");
    EXPECT_EQ(plat::CodePageForCharset(128), plat::CodePage::ShiftJis);
    EXPECT_EQ(plat::CodePageForCharset(134), plat::CodePage::Gbk);
}

TEST(CodePage, StrictEncodingStopsAtTheFirstMissingCharacter) {
    const struct {
        const char* utf8;
        bool ok;
        size_t bad;
        const char* encoded;  // what came out before the stop
    } cases[] = {
        {"确定", true, 0, "\xC8\xB7\xB6\xA8"},
        {"ab\xF0\x9F\x98\x80" "cd", false, 2, "ab"},
        {"确\xE2\x82", false, 3, "\xC8\xB7"},  // cut UTF-8 sequence
        {"x\xFFy", false, 1, "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        std::string out;
        size_t bad = 99;
        EXPECT_EQ(plat::FromUtf8Strict(c.utf8, plat::CodePage::Gbk, out, bad), c.ok);
        EXPECT_EQ(out, c.encoded);
        if (!c.ok) {
            EXPECT_EQ(bad, c.bad);
        }
    }
}

}  // namespace
