#include "platform/hostfs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "platform/hostsys.h"
#include "tempdir.h"

namespace {

TEST(HostPath, ConvertsBackslashesButNotTrailBytes) {
    EXPECT_EQ(plat::HostPath("a\\b\\c.txt"), "a/b/c.txt");
    // 0x95 0x5C is one double-byte character whose second byte is a backslash.
    EXPECT_EQ(plat::HostPath("dir\\\x95\x5C\\x"), "dir/\x95\x5C/x");
    EXPECT_EQ(plat::HostPath(nullptr), "");
    EXPECT_EQ(plat::GamePath("/a/b/"), "\\a\\b\\");
}

TEST(HostPath, FindsNamesThatDifferOnlyInLetterCase) {
    TempDir t;
    mkdir(t.Host("Data").c_str(), 0755);
    t.Write("Data/Image.BMP", "x");
    EXPECT_EQ(plat::ResolveHostPath(t.Host("data/image.bmp")), t.Host("Data/Image.BMP"));
    EXPECT_EQ(plat::ToHost((t.Game("DATA") + "\\IMAGE.bmp").c_str()), t.Host("Data/Image.BMP"));
    // A missing file keeps its own name inside the directory that was found.
    EXPECT_EQ(plat::ResolveHostPath(t.Host("DATA/new.txt")), t.Host("Data/new.txt"));
    EXPECT_EQ(plat::ResolveHostPath(t.Host("data/")), t.Host("Data/"));

    FILE* f = plat::OpenFile((t.Game("data") + "\\image.bmp").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fgetc(f), 'x');
    std::fclose(f);
    EXPECT_EQ(plat::KindOf((t.Game("DATA") + "\\image.bmp").c_str()), plat::EntryKind::kFile);
    EXPECT_EQ(plat::KindOf(t.Game("dAtA").c_str()), plat::EntryKind::kDirectory);
    EXPECT_EQ(plat::KindOf(t.Game("nothing").c_str()), plat::EntryKind::kNone);
}

TEST(HostPath, DoubleByteNamesMatchTheirSecondByteExactly) {
    TempDir t;
    // Second bytes 0x61 and 0x41 are different characters, not letter cases of each other.
    t.Write("\x82\x61.txt", "x");
    EXPECT_EQ(plat::ResolveHostPath(t.Host("\x82\x61.TXT")), t.Host("\x82\x61.txt"));
    EXPECT_EQ(plat::KindOf(t.Game("\x82\x41.txt").c_str()), plat::EntryKind::kNone);
}

TEST(HostFiles, ExclusiveCreationTimesAndListing) {
    TempDir t;
    std::string f = t.Game("a.txt");
    EXPECT_TRUE(plat::CreateFileExclusive(f.c_str()));
    EXPECT_FALSE(plat::CreateFileExclusive(f.c_str()));
    EXPECT_FALSE(plat::CreateFileExclusive(t.Game("A.TXT").c_str()));

    plat::FileTime when = plat::FileTimeFromUnix(1000000000, 500000000);
    EXPECT_TRUE(plat::SetWriteTime(f.c_str(), when));
    plat::FileTime got;
    EXPECT_TRUE(plat::GetWriteTime(f.c_str(), &got));
    EXPECT_EQ(got, when);
    EXPECT_FALSE(plat::GetWriteTime(t.Game("none").c_str(), &got));

    mkdir(t.Host("sub").c_str(), 0755);
    std::vector<plat::DirEntry> list;
    ASSERT_TRUE(plat::ListDirectory(t.Game().c_str(), &list));
    std::sort(list.begin(), list.end(), [](auto& a, auto& b) { return a.name < b.name; });
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "a.txt");
    EXPECT_FALSE(list[0].directory);
    EXPECT_TRUE(list[1].directory);
    EXPECT_FALSE(plat::ListDirectory(t.Game("none").c_str(), &list));

    EXPECT_TRUE(plat::RemoveFile(f.c_str()));
    EXPECT_FALSE(plat::RemoveFile(f.c_str()));
}

TEST(HostFiles, DirectoryNamesMatchByTheSearchRules) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    };
    const Case cases[] = {
        {"*.*", "README", true},
        {"*.*", "a.txt", true},
        {"README.*", "readme", true},
        {"README.*", "README.md", true},
        {"READ.*", "README", false},
        {"*.txt", "README", false},
        {"*.TXT", "a.txt", true},
        {"*", "c.d.e", true},
        {"?.txt", "a.txt", true},
        {"??.txt", "a.txt", true},
        {"a?", "a", true},
        {"?.txt", "ab.txt", false},
        {"*.d", "c.d.e", false},
        {"*.e", "c.d.e", true},
        {"\x95\x5C*", "\x95\x5C.txt", true},  // the table character, 95 5C
        {"\x95\x5C*", "\x95\x7C.txt", false},
        {"?.txt", "\x95\x5C.txt", true},  // "?" takes a whole double-byte character
        {"a.*", "b", false},
        {"", "", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::DirectoryNameMatches(c.pattern, c.name), c.match)
            << c.pattern << " / " << c.name;
}

TEST(HostFiles, TempDirectoryFollowsTmpdir) {
    TempDir t;
    const char* old = std::getenv("TMPDIR");
    std::string saved = old ? old : "";
    setenv("TMPDIR", t.Host().c_str(), 1);
    EXPECT_EQ(plat::TempDirectory(), t.Game() + "\\");
    setenv("TMPDIR", t.Host("missing").c_str(), 1);
    EXPECT_EQ(plat::TempDirectory(), "\\tmp\\");
    if (old) setenv("TMPDIR", saved.c_str(), 1); else unsetenv("TMPDIR");
}

TEST(HostSystem, MemoryFiguresSaturateInsteadOfWrapping) {
    EXPECT_EQ(plat::SaturatingMultiply(uint64_t{1} << 40, uint64_t{1} << 30), UINT64_MAX);
    EXPECT_EQ(plat::SaturatingMultiply(4096, 3), 12288u);
    uint64_t v = 0;
    std::string info = "MemTotal:       16777216 kB\nMemAvailable:    4194304 kB\nHuge: 99999999999999999999 kB\n";
    ASSERT_TRUE(plat::ParseMeminfoField(info, "MemTotal", &v));
    EXPECT_EQ(v, uint64_t{16} << 30);  // 16 GiB: 0 when cut to 32 bits
    ASSERT_TRUE(plat::ParseMeminfoField(info, "MemAvailable", &v));
    EXPECT_EQ(v, uint64_t{4} << 30);
    ASSERT_TRUE(plat::ParseMeminfoField(info, "Huge", &v));
    EXPECT_EQ(v, UINT64_MAX);
    EXPECT_FALSE(plat::ParseMeminfoField(info, "Total", &v));

    plat::MemoryFigures m = plat::QueryMemory();
    EXPECT_GT(m.totalPhysical, 0u);
    EXPECT_LE(m.availablePhysical, m.totalPhysical);
    EXPECT_GT(m.totalVirtual, m.availableVirtual);
}

TEST(HostSystem, ExecutableAndCommandLine) {
    std::string exe = plat::ExecutablePath();
    EXPECT_EQ(exe.substr(exe.rfind('/') + 1), "test_platform");
    std::vector<std::string> args = plat::CommandLine();
    ASSERT_FALSE(args.empty());
    EXPECT_NE(args[0].find("test_platform"), std::string::npos);
}

}  // namespace
