#include "platform/inifile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/atomicfile.h"
#include "tempdir.h"

namespace {

std::string Slurp(const std::string& path) {
    std::string s;
    EXPECT_TRUE(plat::ReadWholeFile(path, s));
    return s;
}

void Spit(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(plat::WriteFileAtomic(path, bytes));
}

const char* const kSample =
    "; settings\r\n"
    "[Game]\r\n"
    "WindowMode=ON\r\n"
    "  VolumeBGM =  70  \r\n"
    "Extra=\"quoted value\"\r\n"
    "stray line without equals\r\n"
    "\r\n"
    "[Mine]\r\n"
    "Unknown=keep me\r\n";

TEST(IniDocument, UnchangedTextSerializesByteForByte) {
    for (const char* text : {kSample, "", "\n\n", "[a]\rk=v\r", "x=1\n[s]\nk=v", "[s]\nk=v\r\n\n",
                             "[broken\nk=v\n", "=v\n[s]\n=\n"}) {
        EXPECT_EQ(plat::IniDocument(text).Serialize(), text);
    }
}

TEST(IniDocument, NamesCompareWithoutCaseAndValuesAreTrimmedAndUnquoted) {
    plat::IniDocument doc(kSample);
    std::string v;
    ASSERT_TRUE(doc.Find("game", "WINDOWMODE", v));
    EXPECT_EQ(v, "ON");
    ASSERT_TRUE(doc.Find("GAME", "volumebgm", v));
    EXPECT_EQ(v, "70");
    ASSERT_TRUE(doc.Find("Game", "Extra", v));
    EXPECT_EQ(v, "quoted value");
    EXPECT_FALSE(doc.Find("Game", "stray line without equals", v));
    EXPECT_FALSE(doc.Find("Game", "Unknown", v)) << "keys belong to their own section";
    EXPECT_FALSE(doc.Find("Nope", "WindowMode", v));
    EXPECT_EQ(doc.Sections(), (std::vector<std::string>{"Game", "Mine"}));
    EXPECT_EQ(doc.Keys("game"), (std::vector<std::string>{"WindowMode", "VolumeBGM", "Extra"}));
}

TEST(IniDocument, FirstOfDuplicateSectionsAndKeysWins) {
    plat::IniDocument doc("[s]\nk=1\nK=2\n[S]\nk=3\n");
    std::string v;
    ASSERT_TRUE(doc.Find("s", "k", v));
    EXPECT_EQ(v, "1");
    ASSERT_TRUE(doc.Set("S", "K", "9"));
    EXPECT_EQ(doc.Serialize(), "[s]\nk=9\nK=2\n[S]\nk=3\n");
}

TEST(IniDocument, WritingKeepsEverythingElseAndTheLineEnds) {
    plat::IniDocument doc(kSample);
    ASSERT_TRUE(doc.Set("GAME", "volumebgm", "10"));
    ASSERT_TRUE(doc.Set("Game", "NewKey", "n"));
    ASSERT_TRUE(doc.Set("Mine", "Second", "2"));
    ASSERT_TRUE(doc.Set("Fresh", "A", "b"));
    EXPECT_EQ(doc.Serialize(),
              "; settings\r\n"
              "[Game]\r\n"
              "WindowMode=ON\r\n"
              "VolumeBGM=10\r\n"
              "Extra=\"quoted value\"\r\n"
              "NewKey=n\r\n"
              "stray line without equals\r\n"
              "\r\n"
              "[Mine]\r\n"
              "Unknown=keep me\r\n"
              "Second=2\r\n"
              "[Fresh]\r\n"
              "A=b\r\n");
}

TEST(IniDocument, AddingAfterAnUnterminatedLastLineStartsANewLine) {
    plat::IniDocument a("[s]\nk=v");
    ASSERT_TRUE(a.Set("s", "n", "1"));
    EXPECT_EQ(a.Serialize(), "[s]\nk=v\nn=1\n");
    plat::IniDocument b("; only a comment");
    ASSERT_TRUE(b.Set("s", "k", "v"));
    EXPECT_EQ(b.Serialize(), "; only a comment\n[s]\nk=v\n");
    plat::IniDocument c("[s]");
    ASSERT_TRUE(c.Set("s", "k", "v"));
    EXPECT_EQ(c.Serialize(), "[s]\nk=v\n");
}

TEST(IniDocument, RefusesTextThatWouldChangeTheFilesStructure) {
    plat::IniDocument doc("[s]\nk=v\n");
    EXPECT_FALSE(doc.Set("s", "k", "two\nlines"));
    EXPECT_FALSE(doc.Set("s", "k", "x\r[t]"));
    EXPECT_FALSE(doc.Set("s", "a=b", "v"));
    EXPECT_FALSE(doc.Set("s", "", "v"));
    EXPECT_FALSE(doc.Set("s", " k", "v"));
    EXPECT_FALSE(doc.Set("s", ";k", "v"));
    EXPECT_FALSE(doc.Set("s", "[k", "v"));
    EXPECT_FALSE(doc.Set("a]b", "k", "v"));
    EXPECT_FALSE(doc.Set("", "k", "v"));
    EXPECT_EQ(doc.Serialize(), "[s]\nk=v\n");
}

TEST(IniFile, MissingFileReadsDefaultsAndTheFirstWriteCreatesIt) {
    TempDir dir;
    plat::IniFile ini(dir.Host("a.ini"));
    EXPECT_EQ(ini.ReadString("Game", "K", "def"), "def");
    EXPECT_FALSE(ini.SectionExists("Game"));
    ASSERT_TRUE(ini.WriteString("Game", "K", "v"));
    EXPECT_EQ(Slurp(dir.Host("a.ini")), "[Game]\nK=v\n");
    EXPECT_EQ(ini.ReadString("game", "k", "def"), "v");
    EXPECT_TRUE(ini.SectionExists("GAME"));
}

TEST(IniFile, EveryWriteGoesThroughAndOtherObjectsSeeIt) {
    TempDir dir;
    const std::string path = dir.Host("b.ini");
    Spit(path, kSample);
    plat::IniFile one(path), two(path);
    ASSERT_TRUE(one.WriteString("Game", "WindowMode", "OFF"));
    EXPECT_EQ(two.ReadString("Game", "WindowMode", ""), "OFF");
    ASSERT_TRUE(two.WriteString("Mine", "Unknown", "changed"));
    EXPECT_EQ(one.ReadString("Mine", "Unknown", ""), "changed");
    const std::string text = Slurp(path);
    EXPECT_NE(text.find("; settings\r\n"), std::string::npos);
    EXPECT_NE(text.find("stray line without equals\r\n"), std::string::npos);
}

TEST(IniFile, UnreadableFileIsNotReplaced) {
    TempDir dir;
    const std::string folder = dir.Host("folder.ini");
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(plat::IniFile(folder).WriteString("s", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST(IniFile, ACrashDuringTheRewriteLeavesTheOldFile) {
    TempDir dir;
    const std::string path = dir.Host("d.ini");
    Spit(path, kSample);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        plat::SetAtomicWriteHook([](const std::string&) { _exit(0); });
        plat::IniFile ini(path);
        ini.WriteString("Game", "WindowMode", "OFF");
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the child should have died inside the rewrite";
    EXPECT_EQ(Slurp(path), kSample);
    // The abandoned temporary file is all that is left over, and readers ignore it.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Host())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 2);
    EXPECT_EQ(plat::IniFile(path).ReadString("Game", "WindowMode", ""), "ON");
}

TEST(AtomicFile, KeepsTheModeAndWritesThroughASymbolicLink) {
    TempDir dir;
    const std::string real = dir.Host("real.ini");
    Spit(real, "old");
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    const std::string link = dir.Host("link.ini");
    std::filesystem::create_symlink(real, link);
    Spit(link, "new");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(Slurp(real), "new");
    struct stat st {};
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_FALSE(plat::WriteFileAtomic(dir.Host("no/such/dir.ini"), "x"));

    // A dangling chain of links, the last relative to its own folder: the file is made at its end.
    std::filesystem::create_directory(dir.Host("sub"));
    std::filesystem::create_symlink("../far.ini", dir.Host("sub/hop.lnk"));
    std::filesystem::create_symlink("sub/hop.lnk", dir.Host("chain.lnk"));
    Spit(dir.Host("chain.lnk"), "far");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Host("chain.lnk")));
    EXPECT_EQ(Slurp(dir.Host("far.ini")), "far");
}

// A file the user made read-only stays as it is, written directly, through a link or as a
// settings file, although the folder would let a rename replace it. Run by a user the mode
// binds: as root, in a child that becomes nobody in a folder that nobody owns.
TEST(AtomicFile, AFileThisUserMayNotWriteIsRefused) {
    TempDir dir;
    const std::string ro = dir.Host("ro.ini"), link = dir.Host("link.ini");
    Spit(ro, "[s]\nk=old\n");
    std::filesystem::create_symlink(ro, link);
    const uid_t nobody = 65534;
    if (geteuid() == 0) {
        if (!ReachableAs(dir.Parent(), nobody, nobody))
            GTEST_SKIP() << "user " << nobody << " cannot reach " << dir.Host()
                         << " (a folder above it is private), so the refusal cannot be told "
                            "from an unreachable folder";
        ASSERT_EQ(chown(dir.Host().c_str(), nobody, nobody), 0);
        ASSERT_EQ(chown(ro.c_str(), nobody, nobody), 0);
    }
    ASSERT_EQ(chmod(ro.c_str(), 0444), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(nobody) != 0 || setuid(nobody) != 0)) _exit(2);
        plat::IniFile ini(ro);
        const bool refused = !plat::WriteFileAtomic(ro, "new") &&
                             !plat::WriteFileAtomic(link, "new") &&
                             !ini.WriteString("s", "k", "new");
        _exit(refused && plat::WriteFileAtomic(dir.Host("fresh.ini"), "new") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Slurp(ro), "[s]\nk=old\n");
}

}  // namespace
