#include "foundation/zrcsvread.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

bool ReadTable(ZRCsvRead& csv, const std::string& text) {
    ZRMemoryStream m(text.data(), static_cast<int>(text.size()));
    return csv.Read(&m);
}

std::string Text(const ZRCsvRead& csv, int x, int y) {
    return csv.GetZRString(x, y).c_str();
}

TEST(ZRCsvRead, TagsPickColumnsAndRows) {
    ZRCsvRead csv;
    ASSERT_TRUE(ReadTable(csv,
                          "name,#a,note,#b,!,#late\r\n"
                          "#r0,1,x,3,9,9\r\n"
                          "comment,5,5,5\r\n"
                          "\r\n"
                          "#r1,4,y,6\r\n"
                          "!end\r\n"
                          "#r2,7,z,8\r\n"));
    EXPECT_EQ(csv.GetSizeX(), 2);
    EXPECT_EQ(csv.GetSizeY(), 2);
    EXPECT_EQ(csv.GetValue(0, 0), 1);
    EXPECT_EQ(csv.GetValue(1, 0), 3);
    EXPECT_EQ(csv.GetValue(0, 1), 4);
    EXPECT_EQ(csv.GetValue(1, 1), 6);
    EXPECT_EQ(Text(csv, 1, 1), "6");
}

TEST(ZRCsvRead, QuotedCellsAndDoubleByteCharactersStayWhole) {
    ZRCsvRead csv;
    // The Shift-JIS character 0x82 0x2C has a trail byte equal to the comma.
    ASSERT_TRUE(ReadTable(csv,
                          "\"h\",\"#q\",#plain,#sj\n"
                          "\"#row\",\"a,b\",\"x\"\"y\",\x82\x2c\x82\xa0\n"
                          "#r,\"\",\"only\n"));
    EXPECT_EQ(csv.GetSizeX(), 3);
    EXPECT_EQ(csv.GetSizeY(), 2);
    EXPECT_EQ(Text(csv, 0, 0), "a,b");
    EXPECT_EQ(Text(csv, 1, 0), "x\"\"y");
    EXPECT_EQ(Text(csv, 2, 0), "\x82\x2c\x82\xa0");
    EXPECT_EQ(Text(csv, 0, 1), "");
    EXPECT_EQ(Text(csv, 1, 1), "\"only");
    EXPECT_EQ(Text(csv, 2, 1), "");
}

TEST(ZRCsvRead, ShortRowsAndPositionsOutsideReadAsMissing) {
    ZRCsvRead csv;
    ASSERT_TRUE(ReadTable(csv, "h,#a,#b,#c\n#r,1,\n#s,,2,3,4,5\n"));
    EXPECT_EQ(csv.GetSizeX(), 3);
    EXPECT_EQ(Text(csv, 0, 0), "1");
    // A trailing comma gives no empty last cell.
    char buf[8];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_FALSE(csv.GetText(1, 0, buf, sizeof buf));
    EXPECT_EQ(buf[0], 'Z');
    EXPECT_EQ(csv.GetValue(2, 0), 0);
    EXPECT_TRUE(csv.GetText(0, 1, buf, sizeof buf));
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(csv.GetValue(2, 1), 3);
    for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {0, 2}, {INT_MIN, INT_MAX}}) {
        EXPECT_EQ(csv.GetValue(x, y), 0);
        EXPECT_TRUE(csv.GetZRString(x, y).IsEmpty());
        EXPECT_FALSE(csv.GetText(x, y, buf, sizeof buf));
    }
}

TEST(ZRCsvRead, CursorWalksAlongTheRow) {
    ZRCsvRead csv;
    ASSERT_TRUE(ReadTable(csv, "h,#a,#b,#c\n#0,1,2,3\n#1,4,5,6\n#2,7,8,9\n"));
    csv.SetPos(0, 2);
    EXPECT_EQ(csv.GetValue(), 7);
    EXPECT_EQ(csv.GetValue(), 8);
    EXPECT_EQ(csv.GetValue(), 9);
    EXPECT_EQ(csv.GetValue(), 0);
    csv.SetPos(1, 0);
    char buf[4];
    EXPECT_TRUE(csv.GetText(buf, sizeof buf));
    EXPECT_STREQ(buf, "2");
    EXPECT_EQ(csv.GetZRString(), ZRString("3"));
}

TEST(ZRCsvRead, NumbersConvertLikeTheCLibraryAndSaturate) {
    ZRCsvRead csv;
    ASSERT_TRUE(ReadTable(csv,
                          "h,#a,#b,#c,#d,#e,#f,#g\n"
                          "#r, \t-42x,+7,abc,2147483647,2147483648,99999999999999999999999,"
                          "-2147483649\n"));
    EXPECT_EQ(csv.GetValue(0, 0), -42);
    EXPECT_EQ(csv.GetValue(1, 0), 7);
    EXPECT_EQ(csv.GetValue(2, 0), 0);
    EXPECT_EQ(csv.GetValue(3, 0), INT_MAX);
    EXPECT_EQ(csv.GetValue(4, 0), INT_MAX);
    EXPECT_EQ(csv.GetValue(5, 0), INT_MAX);
    EXPECT_EQ(csv.GetValue(6, 0), INT_MIN);
}

TEST(ZRCsvRead, GetTextAlwaysTerminatesWithinTheBuffer) {
    ZRCsvRead csv;
    ASSERT_TRUE(ReadTable(csv, "h,#a,#b\n#r,abc,abcd\n"));
    char buf[6];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_TRUE(csv.GetText(0, 0, buf, 4));
    EXPECT_STREQ(buf, "abc");
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_TRUE(csv.GetText(1, 0, buf, 4));
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(buf[4], 'Z');
    EXPECT_FALSE(csv.GetText(1, 0, buf, 0));
}

TEST(ZRCsvRead, TablesWithoutDataFailAndHoldNothing) {
    ZRCsvRead csv;
    ASSERT_TRUE(ReadTable(csv, "h,#a\n#r,5\n"));
    EXPECT_FALSE(ReadTable(csv, "h,#a,#b\n"));
    EXPECT_EQ(csv.GetSizeX(), 0);
    EXPECT_EQ(csv.GetValue(0, 0), 0);
    EXPECT_FALSE(ReadTable(csv, "only\n#r,1\n"));
    EXPECT_FALSE(ReadTable(csv, "h,x,y\n#r,1,2\n"));
    EXPECT_FALSE(ReadTable(csv, "h,!,#a\n#r,1,2\n"));
    // The column count found before the rows failed stays readable.
    EXPECT_FALSE(ReadTable(csv, "h,#a,#b\n!\n#r,1,2\n"));
    EXPECT_EQ(csv.GetSizeX(), 2);
    EXPECT_EQ(csv.GetSizeY(), 0);
    EXPECT_TRUE(csv.GetZRString(0, 0).IsEmpty());
    EXPECT_FALSE(ReadTable(csv, ""));
    EXPECT_FALSE(csv.Read(nullptr));
}

TEST(ZRCsvRead, CellPrimitives) {
    ZRString line("a,\"b,c\",\x82\x2c,d,");
    EXPECT_EQ(ZRCsvRead::NextCell(line, 0), 0);
    EXPECT_EQ(ZRCsvRead::NextCell(line, 1), 3);
    EXPECT_EQ(ZRCsvRead::NextCell(line, 3), 9);
    EXPECT_EQ(ZRCsvRead::NextCell(line, 9), 12);
    EXPECT_EQ(ZRCsvRead::NextCell(line, 12), 0);
    EXPECT_EQ(ZRCsvRead::CutCell(line, 3), ZRString("b,c"));
    EXPECT_EQ(ZRCsvRead::CutCell(line, 9), ZRString("\x82\x2c"));
    EXPECT_EQ(ZRCsvRead::CutCell(line, 12), ZRString("d"));
    EXPECT_TRUE(ZRCsvRead::CutCell(line, 14).IsEmpty());
    EXPECT_TRUE(ZRCsvRead::CutCell(line, 0).IsEmpty());
    // A lone quote is a pair of one byte and leaves nothing.
    EXPECT_TRUE(ZRCsvRead::CutCell(ZRString("\""), 1).IsEmpty());
    // A double-byte character at the end is not a closing quote or a comma.
    EXPECT_EQ(ZRCsvRead::CutCell(ZRString("\"x\x81\""), 1), ZRString("\"x\x81\""));
    EXPECT_EQ(ZRCsvRead::CutCell(ZRString("x\x82,"), 1), ZRString("x\x82,"));
}

}  // namespace
