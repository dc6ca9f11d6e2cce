#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "foundation/zrpack.h"
#include "packfixture.h"
#include "platform/hostfs.h"
#include "tempdir.h"

namespace {

std::string ReadEntry(ZRPack& pack, const char* name) {
    std::unique_ptr<ZRStream> s(pack.ZRMakeStream(name));
    if (!s) return "<null>";
    std::string out(static_cast<size_t>(s->GetSize()), '\0');
    s->Read(out.data(), s->GetSize());
    return out;
}

// A writable archive in a scratch directory, with TMPDIR pointed there too.
struct Writer {
    Writer() {
        const char* old = std::getenv("TMPDIR");
        saved = old ? old : "";
        hadTmp = old != nullptr;
        setenv("TMPDIR", dir.Host().c_str(), 1);
        pack.SetReadOnly(false);
    }
    ~Writer() {
        pack.EndPack();
        if (hadTmp) setenv("TMPDIR", saved.c_str(), 1); else unsetenv("TMPDIR");
    }
    std::string Path(const std::string& name) { return dir.Game(name); }
    std::string Source(const std::string& name, const std::string& bytes) {
        dir.Write(name, bytes);
        return Path(name);
    }
    int TempFiles() {
        std::vector<plat::DirEntry> list;
        plat::ListDirectory(dir.Game().c_str(), &list);
        int n = 0;
        for (auto& e : list) n += e.name.rfind("NyTmp", 0) == 0;
        return n;
    }
    TempDir dir;
    ZRPack pack;
    std::string saved;
    bool hadTmp = false;
};

TEST(ZRPackWriter, NewArchiveIsHeaderAndCrc) {
    Writer w;
    ASSERT_TRUE(w.pack.NewPack(w.Path("new.pak").c_str()));
    EXPECT_TRUE(w.pack.EndPack());
    std::string bytes = w.dir.Read("new.pak");
    ASSERT_EQ(bytes.size(), 18u);
    EXPECT_EQ(bytes.substr(0, 16), std::string("NyPack\x00\x03\0\0\0\0\0\0\0\0", 16));
    uint16_t crc = Crc16(bytes.substr(0, 16));
    EXPECT_EQ(static_cast<uint8_t>(bytes[16]), crc & 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(bytes[17]), crc >> 8);
    ZRPack read;
    read.CheckMode = 1;
    EXPECT_TRUE(read.OpenPack(w.Path("new.pak").c_str()));
}

TEST(ZRPackWriter, EveryIdRoundTripsWithAndWithoutSmallerOnly) {
    const std::string text = TextLike(70000), noise = Noise(5000), tiny = "x";
    for (bool smallerOnly : {false, true}) {
        SCOPED_TRACE(smallerOnly);
        Writer w;
        ASSERT_TRUE(w.pack.NewPack(w.Path("a.pak").c_str()));
        struct Case { const char* name; const std::string* bytes; int comp; int recorded; };
        const Case cases[] = {
            {"t0.txt", &text, 0, 0}, {"t1.txt", &text, 1, 1}, {"t2.txt", &text, 2, 2},
            {"t3.txt", &text, 3, 3}, {"t4.txt", &text, 4, 2}, {"t5.txt", &text, 5, 2},
            // Noise cannot shrink: with smaller-only it is stored.
            {"n1.bin", &noise, 1, smallerOnly ? 0 : 1}, {"n5.bin", &noise, 5, smallerOnly ? 0 : 2},
            // One byte cannot be encoded within twice its size: stored, never an unreadable entry.
            {"one1", &tiny, 1, 0}, {"one2", &tiny, 2, 0},
        };
        for (const Case& c : cases) {
            ASSERT_TRUE(w.pack.AddFile(c.name, w.Source(c.name, *c.bytes).c_str(), c.comp, smallerOnly)) << c.name;
        }
        EXPECT_EQ(w.TempFiles(), 0);
        ASSERT_TRUE(w.pack.EndPack());
        for (uint8_t mode : {0, 1, 2}) {
            ZRPack r;
            r.CheckMode = mode;
            ASSERT_TRUE(r.OpenPack(w.Path("a.pak").c_str()));
            for (int i = 0; i < r.GetFileNum(); ++i) {
                const Case& c = cases[i];
                SCOPED_TRACE(c.name);
                EXPECT_EQ(r.GetFileComp(i), c.recorded);
                EXPECT_EQ(ReadEntry(r, c.name), *c.bytes);
                EXPECT_TRUE(r.VerifyFileCrc(i));
                const ZRFileTable3* t = r.GetFileTable(i);
                EXPECT_EQ(t->offset % 16, 0u);
                EXPECT_EQ(t->crcFlag, 1);
                if (c.bytes == &text && c.recorded != 0 && c.recorded != 3) {
                    EXPECT_LT(t->compSize, t->size);
                }
            }
        }
    }
}

TEST(ZRPackWriter, EmptyFilesPaddingTimesAndOffsets) {
    Writer w;
    ASSERT_TRUE(w.pack.NewPack(w.Path("a.pak").c_str()));
    std::string src = w.Source("thirteen", "0123456789abc");
    plat::SetWriteTime(src.c_str(), plat::FileTimeFromUnix(1500000000));
    ASSERT_TRUE(w.pack.AddFile("empty", w.Source("empty", "").c_str(), 2, false));
    ASSERT_TRUE(w.pack.AddFile("thirteen", src.c_str(), 0, false));
    ASSERT_TRUE(w.pack.AddFile("after", w.Source("after", "z").c_str(), 0, false));
    const ZRFileTable3* empty = w.pack.GetFileTable(0);
    EXPECT_EQ(empty->comp, 0);
    EXPECT_EQ(empty->compSize, 0u);
    EXPECT_EQ(empty->crc, 0xFFFF);
    EXPECT_EQ(w.pack.GetFileTable(1)->offset, 0u);
    EXPECT_EQ(w.pack.GetFileTable(2)->offset, 16u);
    EXPECT_EQ(w.pack.GetHeader().dataSize, 32u);
    ASSERT_TRUE(w.pack.EndPack());
    std::string bytes = w.dir.Read("a.pak");
    EXPECT_EQ(bytes.substr(16, 16), std::string("0123456789abc\0\0\0", 16));
    ZRPack r;
    ASSERT_TRUE(r.OpenPack(w.Path("a.pak").c_str()));
    plat::FileTime t;
    ASSERT_TRUE(r.GetFileTime(1, &t));
    EXPECT_EQ(plat::UnixFromFileTime(t), 1500000000);
}

TEST(ZRPackWriter, NamesAreCutToTheRecordAndCheckedAsStored) {
    ZRFileTable3 r;
    ZRPack::MakeFTName(&r, "a.b.txt");
    EXPECT_EQ(std::string(r.name), "a.b");
    EXPECT_EQ(std::string(r.ext, 3), "txt");
    ZRPack::MakeFTName(&r, ".hidden");
    EXPECT_EQ(std::string(r.name), ".hidden");
    EXPECT_EQ(r.ext[0], 0);
    ZRPack::MakeFTName(&r, "noext");
    EXPECT_EQ(r.ext[0], 0);

    Writer w;
    ASSERT_TRUE(w.pack.NewPack(w.Path("a.pak").c_str()));
    std::string src = w.Source("s", "data");
    ASSERT_TRUE(w.pack.AddFile("pic.jpeg", src.c_str(), 0, false));
    EXPECT_EQ(w.pack.CheckFileName("pic.jpeg"), -1);
    EXPECT_EQ(w.pack.CheckFileName("PIC.JPE"), 0);
    std::string stem22(22, 's');
    ASSERT_TRUE(w.pack.AddFile((stem22 + ".ab").c_str(), src.c_str(), 0, false));
    EXPECT_EQ(w.pack.CheckFileName((std::string(21, 's') + ".ab").c_str()), 1);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(w.pack.AddFile((std::string(24, 'x') + ".y").c_str(), src.c_str(), 0, false));
    EXPECT_FALSE(w.pack.AddFile("PIC.jpe", src.c_str(), 0, false));
    // Different as given, equal once cut: the archive would hold two entries of one name.
    EXPECT_FALSE(w.pack.AddFile((std::string(21, 'S') + "tail.AB").c_str(), src.c_str(), 0, false));
    std::string err = testing::internal::GetCapturedStderr();
    const std::string invalid = "\x83t\x83@\x83""C\x83\x8B\x96\xBC" "PIC.jpe" "\x82\xAA\x95s\x90\xB3\x82\xC5\x82\xB7\x81""B\n";
    EXPECT_NE(err.find(invalid), std::string::npos);
    EXPECT_EQ(w.pack.GetFileNum(), 2);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(w.pack.AddFile("missing", w.Path("none").c_str(), 0, false));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\x83t\x83@\x83""C\x83\x8B" + w.Path("none") + "\x82\xAA\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1\x81""B\n");
}

TEST(ZRPackWriter, ReadOnlyClosedAndDeletedStates) {
    Writer w;
    std::string src = w.Source("s", "data");
    ZRPack ro;
    EXPECT_FALSE(ro.AddFile("x", src.c_str(), 0, false));
    EXPECT_FALSE(ro.NewPack(w.Path("ro.pak").c_str()));
    EXPECT_TRUE(w.pack.AddFile("x", src.c_str(), 0, false));  // nothing open: nothing done
    EXPECT_FALSE(w.pack.DelFile("x"));

    ASSERT_TRUE(w.pack.NewPack(w.Path("a.pak").c_str()));
    ASSERT_TRUE(w.pack.AddFile("dup", src.c_str(), 0, false));
    ASSERT_TRUE(w.pack.AddFile("keep", src.c_str(), 0, false));
    EXPECT_TRUE(w.pack.DelFile("DUP"));
    EXPECT_FALSE(w.pack.DelFile("dup"));
    EXPECT_EQ(w.pack.GetFileNum(), 2);
    ASSERT_TRUE(w.pack.AddFile("dup", w.Source("s2", "second").c_str(), 0, false));
    ASSERT_TRUE(w.pack.EndPack());

    ZRPack r;
    r.CheckMode = 1;
    r.SetReadOnly(false);
    ASSERT_TRUE(r.OpenPack(w.Path("a.pak").c_str()));
    EXPECT_EQ(r.GetFileNum(), 3);
    EXPECT_EQ(ReadEntry(r, "dup"), "second");
    ASSERT_TRUE(r.AddFile("more", src.c_str(), 3, false));
    ASSERT_TRUE(r.EndPack());
    std::string bytes = w.dir.Read("a.pak");
    EXPECT_EQ(bytes[6], 0x01);  // an opened and changed archive is written as 0x0301
    EXPECT_EQ(bytes[7], 0x03);
}

TEST(ZRPackWriter, DeletingOneOfTwoEqualNamesFindsTheOther) {
    TempDir t;
    RawPack p;
    p.entries = {{"same", "", "one"}, {"SAME", "", "two"}};
    t.Write("d.pak", p.Build());
    ZRPack pack;
    pack.SetReadOnly(false);
    ASSERT_TRUE(pack.OpenPack(t.Game("d.pak").c_str()));
    EXPECT_EQ(pack.CheckFileName("Same"), 0);
    EXPECT_TRUE(pack.DelFile("same"));
    EXPECT_EQ(pack.CheckFileName("same"), 1);
    EXPECT_EQ(ReadEntry(pack, "same"), "two");
}

TEST(ZRPackWriter, MergeAndPruneCopyEntriesWithoutDecoding) {
    Writer w;
    std::string text = TextLike(40000, 3);
    ASSERT_TRUE(w.pack.NewPack(w.Path("src.pak").c_str()));
    ASSERT_TRUE(w.pack.AddFile("orvik.txt", w.Source("t", text).c_str(), 1, true));
    ASSERT_TRUE(w.pack.AddFile("gone.txt", w.Source("g", "x").c_str(), 0, true));
    ASSERT_TRUE(w.pack.AddFile("inv.txt", w.Source("i", "inverted").c_str(), 3, true));
    ASSERT_TRUE(w.pack.DelFile("gone.txt"));
    ASSERT_TRUE(w.pack.EndPack());

    ZRPack source;
    ASSERT_TRUE(source.OpenPack(w.Path("src.pak").c_str()));
    ZRPack merged;
    merged.SetReadOnly(false);
    ASSERT_TRUE(merged.NewPack(w.Path("merged.pak").c_str()));
    char name[26];
    for (int i = 0; i < source.GetFileNum(); ++i) {
        source.GetFileName(i, name);
        if (name[0]) {
            ASSERT_TRUE(merged.AddPack(name, &source, name));
        }
    }
    EXPECT_FALSE(merged.AddPack("orvik.txt", &source, "orvik.txt"));
    EXPECT_FALSE(merged.AddPack("new", &source, "gone.txt"));
    // Within one archive too: the copy reads and writes the same file.
    ASSERT_TRUE(merged.AddPack("copy.txt", &merged, "ORVIK.TXT"));
    ASSERT_TRUE(merged.EndPack());

    ZRPack r;
    r.CheckMode = 2;
    ASSERT_TRUE(r.OpenPack(w.Path("merged.pak").c_str()));
    EXPECT_EQ(r.GetFileNum(), 3);
    EXPECT_EQ(r.GetFileComp(0), 1);
    EXPECT_EQ(r.GetFileTable(0)->compSize, source.GetFileTable(0)->compSize);
    EXPECT_EQ(ReadEntry(r, "orvik.txt"), text);
    EXPECT_EQ(ReadEntry(r, "copy.txt"), text);
    EXPECT_EQ(ReadEntry(r, "inv.txt"), "inverted");
    EXPECT_EQ(r.CheckFileName("gone.txt"), -1);
}

TEST(ZRPackWriter, TemporaryNamesAreTakenExclusively) {
    Writer w;
    char path[260];
    ASSERT_TRUE(w.pack.MakeTempFile(path));
    EXPECT_EQ(std::string(path), w.Path("NyTmp000.NyPack"));
    ASSERT_TRUE(w.pack.MakeTempFile(path));
    EXPECT_EQ(std::string(path), w.Path("NyTmp001.NyPack"));
    // Names taken by others are skipped and left alone.
    w.dir.Write("NyTmp002.NyPack", "someone else's");
    ASSERT_TRUE(w.pack.NewPack(w.Path("a.pak").c_str()));
    ASSERT_TRUE(w.pack.AddFile("t", w.Source("t", TextLike(3000)).c_str(), 2, true));
    EXPECT_EQ(w.dir.Read("NyTmp002.NyPack"), "someone else's");
    EXPECT_EQ(w.TempFiles(), 3);
    for (int i = 3; i < 1000; ++i) ASSERT_TRUE(w.pack.MakeTempFile(path));
    EXPECT_FALSE(w.pack.MakeTempFile(path));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(w.pack.AddFile("u", w.Source("u", TextLike(3000)).c_str(), 1, true));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\x83""e\x83\x93\x83|\x83\x89\x83\x8A\x83t\x83@\x83""C\x83\x8B\x82\xAA\x8D\xEC\x82\xEA\x82\xDC"
              "\x82\xB9\x82\xF1\x81""B\n");
    EXPECT_TRUE(w.pack.AddFile("u", w.Source("u", "stored needs no temporary").c_str(), 0, true));
}

TEST(ZRPackWriter, AFullDiskIsAFailureNotAnEntry) {
    ZRPack pack;
    pack.SetReadOnly(false);
    if (!pack.NewPack("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TempDir t;
    t.Write("s", TextLike(100000));
    EXPECT_FALSE(pack.AddFile("s", t.Game("s").c_str(), 0, false));
    EXPECT_EQ(pack.GetFileNum(), 0);
    EXPECT_FALSE(pack.EndPack());
    EXPECT_FALSE(pack.IsOpen());
}

}  // namespace
