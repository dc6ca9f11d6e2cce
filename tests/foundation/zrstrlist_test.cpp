#include "foundation/zrstrlist.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const ZRStringList& l) {
    std::vector<std::string> out;
    for (int i = 0; i < l.GetCount(); ++i) out.push_back(l.GetString(i).c_str());
    return out;
}

using V = std::vector<std::string>;

TEST(ZRStringList, EveryLineEndStyleSplitsAndFinalBreakAddsNoLine) {
    ZRStringList l;
    l.SetText("a\r\nb\nc\rd");
    EXPECT_EQ(Lines(l), (V{"a", "b", "c", "d"}));
    EXPECT_STREQ(l.GetText(), "a\nb\nc\nd\n");
    l.SetText("a\n\rb\r\n");
    EXPECT_EQ(Lines(l), (V{"a", "", "b"}));
    l.SetText("\n\nx");
    EXPECT_EQ(Lines(l), (V{"", "", "x"}));
    l.SetText("");
    EXPECT_EQ(l.GetCount(), 0);
    EXPECT_STREQ(l.GetText(), "");
    l.SetText("one");
    EXPECT_STREQ(l.GetText(), "one\n");
    // Shift-JIS bytes (here a trail byte equal to the backslash) pass through untouched.
    l.SetText("\x95\x5c\x8e\xa6\r\nx");
    EXPECT_EQ(Lines(l), (V{"\x95\x5c\x8e\xa6", "x"}));
    l.SetText(l.GetText());
    EXPECT_EQ(Lines(l), (V{"\x95\x5c\x8e\xa6", "x"}));
}

TEST(ZRStringList, OutOfRangeIndexesGiveEmptyFalseOrNoChange) {
    ZRStringList l;
    l.SetText("ab\ncde\n");
    int start = -1, length = -1;
    EXPECT_TRUE(l.GetStringPos(1, start, length));
    EXPECT_EQ(start, 3);
    EXPECT_EQ(length, 3);
    EXPECT_FALSE(l.GetStringPos(2, start, length));
    EXPECT_FALSE(l.GetStringPos(-1, start, length));
    EXPECT_TRUE(l.GetString(2).IsEmpty());
    EXPECT_TRUE(l.GetString(-1).IsEmpty());
    l.Delete(2);
    l.Delete(-1);
    EXPECT_EQ(Lines(l), (V{"ab", "cde"}));
}

TEST(ZRStringList, AddInsertDeleteKeepTheIndexInStep) {
    ZRStringList l;
    EXPECT_EQ(l.Add("x\ny"), 2);
    EXPECT_EQ(l.Add("z\n"), 3);
    EXPECT_EQ(l.Add(""), 4);
    EXPECT_EQ(Lines(l), (V{"x", "y", "z", ""}));
    l.Insert(-5, "top");
    l.Insert(99, "end");
    l.Insert(2, "mid");
    EXPECT_EQ(Lines(l), (V{"top", "x", "mid", "y", "z", "", "end"}));
    l.Delete(6);
    EXPECT_STREQ(l.GetText(), "top\nx\nmid\ny\nz\n\n");
    l.Delete(0);
    l.Delete(1);
    EXPECT_EQ(Lines(l), (V{"x", "y", "z", ""}));
    l.Insert(4, "tail");
    EXPECT_EQ(Lines(l), (V{"x", "y", "z", "", "tail"}));

    ZRStringList other;
    other.AddStrings(&l);
    other.AddStrings(&other);
    EXPECT_EQ(other.GetCount(), 10);
    EXPECT_EQ(other.GetString(9), ZRString("tail"));
    l.Clear();
    EXPECT_EQ(l.GetCount(), 0);
    EXPECT_STREQ(l.GetText(), "");
}

TEST(ZRStringList, CarriageReturnAddedByAddSurvivesAndIsSavedBeforeCrLf) {
    ZRStringList l;
    l.Add("a\r");
    EXPECT_EQ(l.GetString(0), ZRString("a\r"));
    ZRMemoryStream m;
    l.SaveToStream(&m);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(m.GetMemory()), m.GetSize()), "a\r\r\n");
}

TEST(ZRStringList, LoadsFromTheStreamPositionAndSavesCrLf) {
    std::string text = "skip|one\r\ntwo\n\nthree\rfour";
    ZRMemoryStream in(text.data(), static_cast<int>(text.size()));
    in.Seek(5, zrSeekSet);
    ZRStringList l;
    l.Add("old");
    l.LoadFromStream(&in);
    EXPECT_EQ(Lines(l), (V{"one", "two", "", "three", "four"}));

    ZRMemoryStream out;
    l.SaveToStream(&out);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.GetMemory()), out.GetSize()),
              "one\r\ntwo\r\n\r\nthree\r\nfour\r\n");
    out.Reset();
    ZRStringList again;
    again.LoadFromStream(&out);
    EXPECT_EQ(Lines(again), Lines(l));

    // At the end of the stream, or a NUL inside the data: the list ends there.
    l.LoadFromStream(&out);
    EXPECT_EQ(l.GetCount(), 0);
    ZRMemoryStream nul("ab\0cd", 5);
    l.LoadFromStream(&nul);
    EXPECT_EQ(Lines(l), (V{"ab"}));
}

TEST(ZRStringList, FilesRoundTripAndAMissingFileLeavesTheList) {
    const char* dir = std::getenv("TMPDIR");
    std::string path =
        std::string(dir ? dir : "/tmp") + "/zrstrlist_" + std::to_string(getpid()) + ".txt";
    ZRStringList l;
    l.SetText("alpha\nbeta");
    l.SaveToFile(path.c_str());
    ZRStringList back;
    back.LoadFromFile(path.c_str());
    EXPECT_EQ(Lines(back), (V{"alpha", "beta"}));
    unlink(path.c_str());
    back.LoadFromFile(path.c_str());
    EXPECT_EQ(Lines(back), (V{"alpha", "beta"}));
}

}  // namespace
