#include "foundation/zrsys.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tempdir.h"

namespace {

std::string S(const ZRString& z) { return z.c_str(); }

TEST(ZRPathParts, SplitAtTheLastBackslashOrColon) {
    EXPECT_EQ(S(ZRExtractFilePath("C:\\a\\b.txt")), "C:\\a\\");
    EXPECT_EQ(S(ZRExtractFilePath("b.txt")), "");
    EXPECT_EQ(S(ZRExtractFilePath("a:b.txt")), "a:");
    EXPECT_EQ(S(ZRExtractFileDir("C:\\a\\b.txt")), "C:\\a");
    EXPECT_EQ(S(ZRExtractFileDir("C:\\b.txt")), "C:\\");
    EXPECT_EQ(S(ZRExtractFileDir("\\b.txt")), "\\");
    EXPECT_EQ(S(ZRExtractFileDir("a\\\\b")), "a\\\\");
    EXPECT_EQ(S(ZRExtractFileName("C:\\a\\")), "");
    EXPECT_EQ(S(ZRExtractFileName("C:\\a\\b.txt")), "b.txt");
    EXPECT_EQ(S(ZRExtractFileName("plain")), "plain");
    EXPECT_EQ(S(ZRExtractFileExt("C:\\a.b\\c")), "");
    EXPECT_EQ(S(ZRExtractFileExt("C:\\a\\c.tar.gz")), ".gz");
    EXPECT_EQ(S(ZRChangeFileExt("x.png", ".bmp")), "x.bmp");
    EXPECT_EQ(S(ZRChangeFileExt("x", ".bmp")), "x.bmp");
    EXPECT_EQ(S(ZRChangeFileExt("d.x\\y", ".bmp")), "d.x\\y.bmp");
}

TEST(ZRPathParts, TrailByteBackslashIsNotADelimiter) {
    // "\x95\x5C" is one character; the last real delimiter is the one before it.
    EXPECT_EQ(S(ZRExtractFilePath("C:\\d\\\x95\x5C")), "C:\\d\\");
    EXPECT_EQ(S(ZRExtractFileName("C:\\d\\\x95\x5C")), "\x95\x5C");
    // The root rule does not keep a backslash after a trail byte 0x5C.
    EXPECT_EQ(S(ZRExtractFileDir("\x95\x5C\\f")), "\x95\x5C");
}

TEST(ZRPathParts, Drives) {
    EXPECT_EQ(S(ZRExtractFileDrive("\\\\srv\\share\\dir\\f")), "\\\\srv\\share");
    EXPECT_EQ(S(ZRExtractFileDrive("\\\\srv")), "\\\\srv");
    EXPECT_EQ(S(ZRExtractFileDrive("\\\\srv\\")), "\\\\srv");
    EXPECT_EQ(S(ZRExtractFileDrive("a:")), "a:");
    EXPECT_EQ(S(ZRExtractFileDrive("C:\\x")), "C:");
    EXPECT_EQ(S(ZRExtractFileDrive("\\x")), "");
    EXPECT_LE(ZRExtractFileDrive("\\\\").Length(), 2);
}

TEST(ZRRelativePaths, AbsoluteToRelative) {
    EXPECT_EQ(S(ZRAbsToRelPath("C:\\a\\b\\c", "C:\\a\\x")), "..\\b\\c\\");
    EXPECT_EQ(S(ZRAbsToRelPath("C:\\a\\b\\c", "D:\\a")), "C:\\a\\b\\c\\");
    EXPECT_EQ(S(ZRAbsToRelPath("C:\\a\\b\\c", "C:\\")), "C:\\a\\b\\c\\");
    EXPECT_EQ(S(ZRAbsToRelPath("c:\\a\\b", "C:\\a\\b\\")), "");
    EXPECT_EQ(S(ZRAbsToRelPath("C:\\a\\b\\c", "c:\\a")), "b\\c\\");
    EXPECT_EQ(S(ZRAbsToRelPath("C:\\ab", "C:\\a")), "..\\ab\\");
    EXPECT_EQ(S(ZRAbsToRelPath("C:\\a", "C:\\a\\b\\c")), "..\\..\\");
    EXPECT_EQ(S(ZRAbsToRelDir("C:\\a\\b\\c", "C:\\a\\x")), "..\\b\\c");
    EXPECT_EQ(S(ZRAbsToRelDir("C:\\a", "D:\\a")), "C:\\a");
    EXPECT_EQ(S(ZRAbsToRelPathName("C:\\a\\b\\f.txt", "C:\\a\\x")), "..\\b\\f.txt");
}

TEST(ZRRelativePaths, RelativeToAbsolute) {
    EXPECT_EQ(S(ZRRelToAbsPath("..\\x", "C:\\a\\b")), "C:\\a\\x\\");
    EXPECT_EQ(S(ZRRelToAbsPath("x", "C:\\a\\b")), "C:\\a\\b\\x\\");
    EXPECT_EQ(S(ZRRelToAbsPath("..\\..\\..\\x", "C:\\a")), "..\\..\\..\\x\\");
    EXPECT_EQ(S(ZRRelToAbsPath("..\\x", "C:\\a")), "C:\\x\\");
    EXPECT_EQ(S(ZRRelToAbsPath("", "C:\\a")), "C:\\a\\");
    EXPECT_EQ(S(ZRRelToAbsPath("x", "")), "x\\");
    EXPECT_EQ(S(ZRRelToAbsPath("D:\\y", "C:\\a")), "D:\\y\\");
    EXPECT_EQ(S(ZRRelToAbsPath(".\\y", "C:\\a")), "C:\\a\\.\\y\\");
    // Host directories come back from the platform as "\dir\dir": no drive, same rules.
    EXPECT_EQ(S(ZRRelToAbsPath("..\\data", "\\home\\game\\bin\\")), "\\home\\game\\data\\");
}

TEST(ZRColours, SwapTheOuterBytes) {
    EXPECT_EQ(DWORD2COLORREF(0x11223344), 0x00443322u);
    EXPECT_EQ(COLORREF2DWORD(0x00443322), 0x00223344u);
    EXPECT_EQ(COLORREF2DWORD(DWORD2COLORREF(0x00ABCDEF)), 0x00ABCDEFu);
}

TEST(ZRFiles, FilesFoldersAndCurrentDirectory) {
    TempDir t;
    t.Write("f.txt", "x");
    EXPECT_TRUE(ZRFileIsExist(t.Game("f.txt").c_str()));
    EXPECT_TRUE(ZRFileIsExist(t.Game("F.TXT").c_str()));
    EXPECT_FALSE(ZRFileIsExist(t.Game().c_str()));
    EXPECT_TRUE(ZRFolderIsExist(t.Game().c_str()));
    EXPECT_FALSE(ZRFolderIsExist(t.Game("f.txt").c_str()));
    EXPECT_FALSE(ZRFileIsExist(""));
    EXPECT_FALSE(ZRFileIsExist(nullptr));

    ZRString old = ZRGetCurrentDir();
    ASSERT_TRUE(ZRSetCurrentDir(t.Game().c_str()));
    EXPECT_EQ(S(ZRGetCurrentDir()), t.Game());
    EXPECT_TRUE(ZRFileIsExist("f.txt"));
    EXPECT_FALSE(ZRSetCurrentDir("no-such-dir"));
    ASSERT_TRUE(ZRSetCurrentDir(old));
}

TEST(ZRProcess, ExecutablePathInGameForm) {
    ZRString exe = ZRGetExePath();
    EXPECT_EQ(S(ZRExtractFileName(exe)), "test_foundation");
    EXPECT_TRUE(ZRFolderIsExist(ZRExtractFileDir(exe).c_str()));
    EXPECT_EQ(S(ZRParamStr(0)), S(exe));
    EXPECT_GE(ZRParamCount(), 0);
    EXPECT_EQ(S(ZRParamStr(ZRParamCount() + 1)), "");
    EXPECT_GT(ZRTotalPhysicalMemory(), ZRAvailPhysicalMemory());
    EXPECT_GT(ZRTotalVirtualMemory(), 0xFFFFFFFFu);
    EXPECT_GT(ZRAvailVirtualMemory(), 0u);
}

TEST(ZRProcess, FileExecStartsTheOpenerWithoutAShell) {
    EXPECT_FALSE(ZRFileExec(nullptr, ""));
    TempDir t;
    mkdir(t.Host("bin").c_str(), 0755);
    mkdir(t.Host("doc dir").c_str(), 0755);
    // A stand-in opener records its argument and working directory.
    t.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$(pwd)\" > \"" + t.Host("out.tmp") +
                                "\"\nmv \"" + t.Host("out.tmp") + "\" \"" + t.Host("out") + "\"\n");
    chmod(t.Host("bin/xdg-open").c_str(), 0755);
    t.Write("doc dir/a;b.txt", "");
    std::string oldPath = std::getenv("PATH");
    setenv("PATH", (t.Host("bin") + ":/usr/bin:/bin").c_str(), 1);
    bool started = ZRFileExec(nullptr, (t.Game("DOC DIR") + "\\a;b.txt").c_str());
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_TRUE(started);
    for (int i = 0; i < 6000 && access(t.Host("out").c_str(), F_OK) != 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(t.Read("out"), t.Host("doc dir/a;b.txt") + "|" + t.Host("doc dir"));
}

}  // namespace
