#include "foundation/zrpack.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "packfixture.h"
#include "platform/hostfs.h"
#include "tempdir.h"

namespace {

// An archive read from bytes held in memory.
struct Opened {
    explicit Opened(const std::string& bytes, uint8_t checkMode = 0)
        : stream(bytes.data(), static_cast<int>(bytes.size())) {
        pack.CheckMode = checkMode;
        ok = pack.LoadPackStream(&stream);
    }
    ZRMemoryStream stream;
    ZRPack pack;
    bool ok = false;

    std::string Whole(const char* name) {
        std::unique_ptr<ZRStream> s(pack.ZRMakeStream(name));
        if (!s) return "<null>";
        EXPECT_EQ(s->GetPosition(), 0);
        std::string out(static_cast<size_t>(s->GetSize()), '\0');
        s->Read(out.data(), s->GetSize());
        return out;
    }
    std::string Name(int i) {
        char buf[26];
        return pack.GetFileName(i, buf) ? std::string(buf) : "<none>";
    }
};

RawPack ThreeEntries(uint16_t version) {
    RawPack p;
    p.version = version;
    p.entries = {{"FIRST", "TXT", "first entry"},
                 {"abcdefghijklmnopqrstu", "BMP", std::string(13, 'x')},
                 {"noext", "", "plain"}};
    return p;
}

TEST(ZRPackOpen, EveryVersionReadsItsEntries) {
    for (uint16_t v : {0x0100, 0x0200, 0x0300, 0x0301}) {
        SCOPED_TRACE(v);
        Opened a(ThreeEntries(v).Build(), v >= 0x0300 ? 1 : 0);
        ASSERT_TRUE(a.ok);
        EXPECT_EQ(a.pack.GetHeader().version, 0x0301);
        EXPECT_EQ(a.pack.GetFileNum(), 3);
        EXPECT_EQ(a.Name(0), "FIRST.TXT");
        EXPECT_EQ(a.Name(1), "abcdefghijklmnopqrstu.BMP");  // 21-byte stem without terminator
        EXPECT_EQ(a.Name(2), "noext");
        EXPECT_EQ(a.Whole("first.txt"), "first entry");
        EXPECT_EQ(a.Whole("ABCDEFGHIJKLMNOPQRSTU.bmp"), std::string(13, 'x'));
        EXPECT_EQ(a.Whole("NoExt"), "plain");
        EXPECT_EQ(a.pack.CheckFileName("first"), -1);  // the extension is part of the name
        EXPECT_EQ(a.pack.GetFileSize(0), 11);
        EXPECT_EQ(a.pack.GetFileSize(3), 0);
        EXPECT_TRUE(a.pack.VerifyFileCrc(0));
    }
}

TEST(ZRPackOpen, OldVersionsAreWidenedToStoredEntriesOfA1989Time) {
    Opened a(ThreeEntries(0x0100).Build());
    ASSERT_TRUE(a.ok);
    ZRFILE* h = a.pack.ZRfopen("FIRST.TXT");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(a.pack.ZRIsComp(h), 0);
    EXPECT_EQ(a.pack.ZRdsize(h), a.pack.ZRfsize(h));
    EXPECT_FALSE(a.pack.ZRIsCrc(h));
    plat::FileTime t;
    ASSERT_TRUE(a.pack.ZRGetFileTime(h, &t));
    EXPECT_EQ(plat::UnixFromFileTime(t), 631119600);  // 1989-12-31 15:00:00 UTC
    a.pack.ZRfclose(h);
}

TEST(ZRPackOpen, MagicIsNotCheckedButTheVersionIs) {
    RawPack p = ThreeEntries(0x0300);
    p.magic = "XXXXXX";
    EXPECT_TRUE(Opened(p.Build()).ok);
    p.version = 0x0400;
    EXPECT_FALSE(Opened(p.Build()).ok);
    EXPECT_FALSE(Opened("NyPack\x00\x03").ok);  // short header
}

TEST(ZRPackOpen, EmptyArchiveStillHasItsCrcChecked) {
    RawPack p;
    Opened a(p.Build(), 1);
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.pack.GetFileNum(), 0);
    EXPECT_EQ(a.pack.CheckFileName(""), -1);
    p.crcDelta = 1;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Opened(p.Build(), 1).ok);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Pack\xCC\xA7\xB2\xD9\x82\xAA\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81""B\n");
    EXPECT_TRUE(Opened(p.Build(), 0).ok);
    p.trailingCrc = false;
    EXPECT_FALSE(Opened(p.Build(), 1).ok);
    EXPECT_TRUE(Opened(p.Build(), 0).ok);
}

struct ProgressLog {
    std::vector<int> seen;
    bool Note(int p) {
        seen.push_back(p);
        return true;
    }
};

TEST(ZRPackOpen, WholeArchiveCheckReadsMebibyteChunks) {
    RawPack p;
    p.entries = {{"big", "bin", Noise(2 * 1048576 + 100)}};
    std::string bytes = p.Build();  // 16 + 2 MiB + 112 + 48 bytes before the CRC
    ZRMemoryStream stream(bytes.data(), static_cast<int>(bytes.size()));
    ZRPack pack;
    ProgressLog log;
    pack.SetProgressCallback(ZRBaseCallback1<bool, int>(&log, &ProgressLog::Note));
    pack.CheckMode = 1;
    ASSERT_TRUE(pack.LoadPackStream(&stream));
    int64_t total = 16 + 2 * 1048576 + 112 + 48;
    std::vector<int> want = {0, static_cast<int>(1048576 * 100LL / total),
                             static_cast<int>(2 * 1048576 * 100LL / total), 100};
    EXPECT_EQ(log.seen, want);
    EXPECT_EQ(pack.GetProgress(), 100);
}

TEST(ZRPackEntries, EntryCrcIsCheckedInModeTwoOnly) {
    RawPack p;
    p.entries = {{"good", "", "good bytes"}, {"bad", "", "bad bytes", -1, 0, 1, 0x1234}, {"unflagged", "", "x", -1, 0, 0, 0x1234}};
    Opened a(p.Build(), 2);
    ASSERT_TRUE(a.ok);
    EXPECT_TRUE(a.pack.VerifyFileCrc(0));
    EXPECT_FALSE(a.pack.VerifyFileCrc(1));
    EXPECT_TRUE(a.pack.VerifyFileCrc(2));
    EXPECT_EQ(a.Whole("good"), "good bytes");
    testing::internal::CaptureStderr();
    EXPECT_EQ(a.pack.ZRfopen("bad"), nullptr);
    EXPECT_FALSE(a.pack.ZRfopenToStream(nullptr, "bad", true));
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
    EXPECT_EQ(a.Whole("unflagged"), "x");
    a.pack.CheckMode = 0;
    EXPECT_EQ(a.Whole("bad"), "bad bytes");
}

TEST(ZRPackEntries, DeletedInvertedAndUnknownIds) {
    RawPack p;
    p.entries = {{"", "", "gone"},
                 {"inv", "dat", Inverted("hidden text"), -1, 3},
                 {"four", "", "as stored", -1, 4},
                 {"six", "", "also as stored", -1, 6},
                 {"short", "", "abc", 10, 5}};
    Opened a(p.Build());
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.Name(0), "");
    EXPECT_EQ(a.pack.GetFileSize(0), 0);
    plat::FileTime t;
    EXPECT_FALSE(a.pack.GetFileTime(0, &t));
    EXPECT_TRUE(a.pack.GetFileTime(1, &t));
    EXPECT_EQ(a.pack.CheckFileName(""), -1);
    EXPECT_EQ(a.Whole("INV.DAT"), "hidden text");
    EXPECT_EQ(a.Whole("four"), "as stored");
    EXPECT_EQ(a.Whole("six"), "also as stored");
    // Claims more bytes than it stores: not readable whole.
    EXPECT_EQ(a.Whole("short"), "<null>");
    ZRFILE* h = a.pack.ZRfopenComp("inv.dat", false);
    ASSERT_NE(h, nullptr);
    char raw[11];
    EXPECT_EQ(a.pack.ZRfread(raw, 11, 1, h), 1u);
    EXPECT_EQ(std::string(raw, 11), Inverted("hidden text"));
    a.pack.ZRfclose(h);
}

TEST(ZRPackEntries, HandlesReadSeekAndClamp) {
    RawPack p;
    std::string hundred = TextLike(100);
    p.entries = {{"h", "", hundred}, {"t", "", TextLike(20)}};
    Opened a(p.Build());
    ASSERT_TRUE(a.ok);
    ZRFILE* h = a.pack.ZRfopen("h");
    ZRFILE* t = a.pack.ZRfopen("t");
    ASSERT_TRUE(h && t);
    char buf[128];
    EXPECT_EQ(a.pack.ZRfread(buf, 3, 10, t), 6u);  // 20 bytes hold 6 whole items
    int pos = 0;
    EXPECT_TRUE(a.pack.ZRfgetpos(t, &pos));
    EXPECT_EQ(pos, 18);
    EXPECT_EQ(a.pack.ZRfread(buf, 3, 10, t), 0u);
    // Another handle moved the shared archive position in between.
    EXPECT_TRUE(a.pack.ZRfseek(h, -4, 2));
    EXPECT_EQ(a.pack.ZRfread(buf, 1, 4, h), 4u);
    EXPECT_EQ(std::string(buf, 4), hundred.substr(96));
    EXPECT_TRUE(a.pack.ZRfseek(h, 500, 0));
    a.pack.ZRfgetpos(h, &pos);
    EXPECT_EQ(pos, 100);
    EXPECT_TRUE(a.pack.ZRfseek(h, -1000, 1));
    a.pack.ZRfgetpos(h, &pos);
    EXPECT_EQ(pos, 0);
    EXPECT_TRUE(a.pack.ZRfseek(h, 7, 9));  // unknown origin: position kept
    a.pack.ZRfgetpos(h, &pos);
    EXPECT_EQ(pos, 0);
    pos = 250;
    EXPECT_TRUE(a.pack.ZRfsetpos(h, &pos));
    a.pack.ZRfgetpos(h, &pos);
    EXPECT_EQ(pos, 100);
    // size x count past 32 bits must not wrap into a small read.
    a.pack.ZRfseek(h, 0, 0);
    EXPECT_EQ(a.pack.ZRfread(buf, 0x80000000u, 2, h), 0u);
    EXPECT_EQ(a.pack.ZRfread(buf, 0x10, 0x10000001u, h), 6u);
    EXPECT_EQ(a.pack.ZRfread(buf, 0, 5, h), 0u);
    EXPECT_FALSE(a.pack.ZRfseek(nullptr, 0, 0));
    EXPECT_EQ(a.pack.ZRfsize(nullptr), 0);
    EXPECT_FALSE(a.pack.ZRfclose(nullptr));
    a.pack.ZRfclose(t);
    a.pack.EndPack();
    // An in-place handle reads nothing once the archive is closed.
    EXPECT_EQ(a.pack.ZRfread(buf, 1, 1, h), 0u);
    EXPECT_TRUE(a.pack.ZRfclose(h));
}

TEST(ZRPackEntries, CurrentFileAndCopiesIntoStreams) {
    Opened a(ThreeEntries(0x0300).Build());
    ASSERT_TRUE(a.ok);
    EXPECT_TRUE(a.pack.OpenFile("first.txt"));
    ASSERT_NE(a.pack.GetCurrentFile(), nullptr);
    EXPECT_EQ(a.pack.GetCurrentFile()->GetSize(), 11);
    EXPECT_FALSE(a.pack.OpenFile("missing"));
    EXPECT_TRUE(a.pack.GetCurrentFileName().IsEmpty());
    EXPECT_EQ(a.pack.GetCurrentFile(), nullptr);
    EXPECT_TRUE(a.pack.OpenFile(""));
    ZRMemoryStream out;
    EXPECT_TRUE(a.pack.ZRfopenToStream(&out, "NOEXT", true));
    EXPECT_EQ(out.GetSize(), 5);
    EXPECT_EQ(out.GetPosition(), 0);
    EXPECT_TRUE(a.pack.ZRfopenToStream(nullptr, "noext", true));
    EXPECT_FALSE(a.pack.ZRfopenToStream(&out, "nothing", true));
    EXPECT_EQ(a.pack.CheckFileName("abcdefghijklmnopqrstuv.bmp"), -1);  // 26 bytes
}

TEST(ZRPackOpen, StreamsAndPathsOpenAndClose) {
    std::string bytes = ThreeEntries(0x0300).Build();
    ZRMemoryStream stream(bytes.data(), static_cast<int>(bytes.size()));
    ZRPack pack;
    pack.SetReadOnly(false);
    EXPECT_FALSE(pack.LoadPackStream(&stream));
    EXPECT_EQ(stream.GetPosition(), 0);
    EXPECT_FALSE(pack.LoadPackStream(nullptr));

    TempDir t;
    t.Write("Game.PAK", bytes);
    pack.SetReadOnly(true);
    ASSERT_TRUE(pack.OpenPack((t.Game("game.pak")).c_str()));
    EXPECT_EQ(std::string(pack.GetPackName().c_str()), t.Game("game.pak"));
    pack.SetReadOnly(false);  // ignored while open
    EXPECT_TRUE(pack.GetReadOnly());
    EXPECT_TRUE(pack.OpenPack(""));
    EXPECT_FALSE(pack.IsOpen());
    EXPECT_TRUE(pack.GetPackName().IsEmpty());
    EXPECT_FALSE(pack.OpenPack(t.Game("none.pak").c_str()));
    EXPECT_EQ(pack.GetFileNum(), 0);
    EXPECT_EQ(pack.CheckFileName("first.txt"), -1);
}

TEST(ZRPackOpen, GetFileExtractsWithTheEntryTime) {
    TempDir t;
    RawPack p = ThreeEntries(0x0300);
    p.entries[0].time = plat::FileTimeFromUnix(1234567890).Ticks();
    t.Write("a.pak", p.Build());
    ZRPack pack;
    ASSERT_TRUE(pack.OpenPack(t.Game("a.pak").c_str()));
    ASSERT_TRUE(pack.GetFile(t.Game("out.txt").c_str(), "first.txt"));
    EXPECT_EQ(t.Read("out.txt"), "first entry");
    plat::FileTime when;
    ASSERT_TRUE(plat::GetWriteTime(t.Game("out.txt").c_str(), &when));
    EXPECT_EQ(plat::UnixFromFileTime(when), 1234567890);
    EXPECT_FALSE(pack.GetFile(t.Game("x").c_str(), "missing"));
    EXPECT_FALSE(pack.GetFile(t.Game("nodir\\x").c_str(), "first.txt"));
}

// Each archive below says something the file cannot back up.
TEST(ZRPackMalformed, HeaderAndTableClaimsAreCheckedAgainstTheFile) {
    RawPack good = ThreeEntries(0x0300);
    ASSERT_TRUE(Opened(good.Build(), 1).ok);
    for (uint16_t v : {0x0100, 0x0200, 0x0300}) {
        SCOPED_TRACE(v);
        RawPack p = ThreeEntries(v);
        p.count = 0x7FFFFFFF;  // a table far past the end of the file
        EXPECT_FALSE(Opened(p.Build()).ok);
        p = ThreeEntries(v);
        p.count = 4;  // one record more than the file holds: a short table read
        std::string bytes = p.Build();
        if (v == 0x0300) bytes.resize(bytes.size() - 2);
        EXPECT_FALSE(Opened(bytes).ok);
        p = ThreeEntries(v);
        p.dataSize = 0xFFFFFFF0;
        EXPECT_FALSE(Opened(p.Build()).ok);
    }
    RawPack p = good;
    p.entries[1].offset = 0xFFFFFFF8;  // offset + stored wraps in 32 bits
    EXPECT_FALSE(Opened(p.Build()).ok);
    p = good;
    p.entries[2].offset = 44;  // runs past the data area into the table
    EXPECT_FALSE(Opened(p.Build()).ok);
    p = good;
    p.entries[0].size = 1000;  // a stored entry larger than its bytes
    EXPECT_FALSE(Opened(p.Build()).ok);
    p = good;
    p.entries[0].comp = 3;
    p.entries[0].size = 12;
    EXPECT_FALSE(Opened(p.Build()).ok);
    p = good;
    p.entries[0].comp = 1;
    p.entries[0].size = 0xFFFFFFFF;  // negative as an int
    EXPECT_FALSE(Opened(p.Build()).ok);
    p.entries[0].size = 11LL * 32768 + 1;  // more than any codec can expand 11 bytes to
    EXPECT_FALSE(Opened(p.Build()).ok);
    p.entries[0].size = 11LL * 32768;
    EXPECT_TRUE(Opened(p.Build()).ok);
    p = good;
    p.entries[0].stem = "";  // a deleted record is never read, whatever it says
    p.entries[0].offset = 0x7FFFFFFF;
    EXPECT_TRUE(Opened(p.Build()).ok);
}

TEST(ZRPackMalformed, FailedDecodesAreFailures) {
    RawPack p;
    p.entries = {{"orvik", "", std::string("\xFF\xFF\xFF\xFF\x0F\x0F", 6), 5000, 1},
                 {"pellum", "", std::string(40, '\x07'), 4000, 2}};
    Opened a(p.Build());
    ASSERT_TRUE(a.ok);
    for (const char* name : {"orvik", "pellum"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(a.pack.ZRfopen(name), nullptr);
        EXPECT_EQ(a.Whole(name), "<null>");
        ZRMemoryStream out;
        EXPECT_FALSE(a.pack.ZRfopenToStream(&out, name, true));
        EXPECT_TRUE(a.pack.ZRfopenToStream(&out, name, false));  // raw bytes are still there
    }
    TempDir t;
    std::string bytes = p.Build();
    t.Write("bad.pak", bytes);
    ZRPack pack;
    ASSERT_TRUE(pack.OpenPack(t.Game("bad.pak").c_str()));
    EXPECT_FALSE(pack.GetFile(t.Game("out.bin").c_str(), "orvik"));
    EXPECT_EQ(plat::KindOf(t.Game("out.bin").c_str()), plat::EntryKind::kNone);
}

TEST(ZRPackCodecs, SelectorsAndInversion) {
    EXPECT_EQ(ZRPack::CodecOf(0), -1);
    EXPECT_EQ(ZRPack::CodecOf(1), 0);
    EXPECT_EQ(ZRPack::CodecOf(2), 1);
    EXPECT_EQ(ZRPack::CodecOf(3), -1);
    EXPECT_EQ(ZRPack::CodecOf(4), 2);
    EXPECT_EQ(ZRPack::CodecOf(5), 3);
    EXPECT_EQ(ZRPack::CodecOf(9), -1);
    unsigned char b[7] = {0, 1, 2, 0x80, 0xFF, 0x55, 0xAA};
    ZRPack::NotCoding(b, 7);
    EXPECT_EQ(b[0], 0xFF);
    EXPECT_EQ(b[4], 0x00);
    EXPECT_EQ(b[6], 0x55);
}

}  // namespace
