#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "foundation/zrrangecoder.h"
#include "foundation/zrstd.h"
#include "game/gamedata.h"
#include "platform/atomicfile.h"
#include "tempdir.h"
#include "tests/game/savefixture.h"

namespace {

using Image = std::vector<uint8_t>;
namespace fx = savefixture;

Image Encoded(const GameState& s) {
    Image img(kGameStateSize);
    s.Encode(img.data());
    return img;
}

const uint8_t* U8(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

// A file image with the given plain block coded behind the header (and the plain size, for
// a system save), so tests can build files the writers would never make.
std::string Coded(const std::string& header, const Image& plain) {
    ZRRangeEncode enc;
    EXPECT_TRUE(enc.Create());
    Image coded(plain.size() * 2 + 64);
    EXPECT_TRUE(enc.Encode(plain.data(), coded.data(), static_cast<int>(plain.size()),
                           static_cast<int>(coded.size())));
    return header + std::string(reinterpret_cast<const char*>(coded.data()), enc.GetResultSize());
}

std::string SlotHeader() {
    return std::string("SOLV\x03\x01\0\0", 8);
}
std::string SysHeader(uint32_t p) {
    std::string h("SOLV\x00\x01\0\0", 8);
    uint8_t b[4];
    ZRPutLE32(b, p);
    return h + std::string(reinterpret_cast<const char*>(b), 4);
}

class Saves : public ::testing::Test {
  protected:
    void SetUp() override {
        SetSaveDirectory((dir_.Game() + "\\").c_str());
        CurrentState = fx::FullState(3);
        SceneSnapshot = fx::RandomState(4);
        SysData = fx::SampleSystem();
        ReadHist = fx::SampleHistory();
    }
    void TearDown() override {
        SetSaveDirectory("");
        CurrentState = GameState();
        SceneSnapshot = GameState();
        SysData = SystemData();
        ReadHist.Clear();
    }
    // The globals a failed load must leave alone.
    std::string Globals() {
        const Image a = Encoded(CurrentState), b = Encoded(SceneSnapshot);
        Image sys(kSystemDataSize);
        SysData.Encode(sys.data());
        return std::string(a.begin(), a.end()) + std::string(b.begin(), b.end()) +
               std::string(sys.begin(), sys.end()) +
               std::string(reinterpret_cast<const char*>(ReadHist.GetBuffer()), ReadHist.GetSize());
    }
    TempDir dir_;
};

TEST_F(Saves, SlotRoundTripsOfStatesTheGameMakes) {
    const std::vector<uint8_t> thumb = fx::Thumbnail();
    const GameState snap0;
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        const GameState cur = fx::RandomState(seed), snap = fx::RandomState(seed + 100);
        const std::vector<uint8_t> t(thumb.begin(),
                                     thumb.begin() + seed * 5000 % (thumb.size() + 1));
        ASSERT_TRUE(SaveGameData(static_cast<int32_t>(seed), cur, snap,
                                 static_cast<uint32_t>(t.size()), t.data()));
        GameState a, b;
        uint32_t size = 1;
        std::vector<uint8_t> got(kThumbnailMaxSize, 0xEE);
        ASSERT_TRUE(LoadGameSlotData(static_cast<int32_t>(seed), &a, &b, size, got.data())) << seed;
        EXPECT_EQ(Encoded(a), Encoded(cur));
        EXPECT_EQ(Encoded(b), Encoded(snap));
        ASSERT_EQ(size, t.size());
        EXPECT_TRUE(std::equal(t.begin(), t.end(), got.begin()));
    }
    // Without a thumbnail: size 0, zeros in the area, nothing copied.
    ASSERT_TRUE(SaveGameSlot(0));
    std::string file = dir_.Read("SV00.sav");
    EXPECT_EQ(file.substr(0, 8), SlotHeader());
    uint32_t size = 9;
    std::vector<uint8_t> got(kThumbnailMaxSize, 0xEE);
    ASSERT_TRUE(LoadGameSlotData(0, nullptr, nullptr, size, got.data()));
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(got[0], 0xEE);
    const std::string before = Globals();
    CurrentState.Reset();
    ASSERT_TRUE(LoadGameSlot(0));
    EXPECT_EQ(Globals(), before);
    // The full state with a full thumbnail: the coder's own file, reread whole.
    ASSERT_TRUE(SaveGameSlotThumb(7, thumb.data(), kThumbnailMaxSize));
    EXPECT_FALSE(SaveGameSlotThumb(20, thumb.data(), kThumbnailMaxSize + 1));
    EXPECT_FALSE(std::filesystem::exists(dir_.Host("SV20.sav")));
    // A state the reader would refuse is not written over a good slot.
    GameState broken = fx::RandomState(3);
    broken.FadeSpeed = 0;
    EXPECT_FALSE(SaveGameData(7, broken, snap0, 0, nullptr));
    EXPECT_FALSE(SaveGameData(7, snap0, broken, 0, nullptr));
    EXPECT_TRUE(LoadGameSlotData(7, nullptr, nullptr, size, nullptr));
    EXPECT_EQ(size, kThumbnailMaxSize);
    EXPECT_FALSE(SaveGameSlot(-1));
    EXPECT_FALSE(LoadGameSlot(-1));
    EXPECT_FALSE(LoadGameSlot(21));
}

// Files decoded side by side give each what DecodeSlotSave gives: good slots with and
// without thumbnails, and cut or emptied files among them, in groups of every size.
TEST_F(Saves, SlotGroupsDecodeAsEachAlone) {
    const std::vector<uint8_t> thumb = fx::Thumbnail();
    std::vector<std::string> files;
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        std::string f;
        ASSERT_TRUE(EncodeSlotSave(fx::RandomState(seed), fx::RandomState(seed + 50),
                                   seed % 2 ? kThumbnailMaxSize : 1000u, thumb.data(), f));
        files.push_back(f);
    }
    files.push_back(files[0].substr(0, files[0].size() / 2));
    files.push_back(std::string());
    std::vector<std::vector<size_t>> groups = {
        {0}, {1, 4}, {4, 1}, {0, 1, 2}, {2, 5, 3, 0}, {0, 1, 2, 3, 4, 5, 2}};
    // Damaged copies: one bit flipped at points spread over the whole file, decoded together.
    std::vector<size_t> damaged;
    for (size_t k = 0; k < 40; ++k) {
        std::string f = files[1];
        f[k * (f.size() - 1) / 39] ^= static_cast<char>(1 << (k % 8));
        damaged.push_back(files.size());
        files.push_back(f);
    }
    groups.push_back(damaged);
    for (const auto& group : groups) {
        const size_t n = group.size();
        std::vector<SlotSaveDecode> d(n);
        std::vector<GameState> cur(n), snap(n);
        std::vector<std::vector<uint8_t>> th(n, std::vector<uint8_t>(kThumbnailMaxSize, 0xEE));
        for (size_t k = 0; k < n; ++k)
            d[k] = {U8(files[group[k]]), files[group[k]].size(), &cur[k], &snap[k], 0,
                    th[k].data(), false};
        DecodeSlotSaves(d.data(), static_cast<int>(n));
        for (size_t k = 0; k < n; ++k) {
            const std::string& f = files[group[k]];
            GameState c, sn;
            uint32_t size = 0;
            std::vector<uint8_t> t(kThumbnailMaxSize, 0xEE);
            const bool ok = DecodeSlotSave(U8(f), f.size(), &c, &sn, size, t.data());
            ASSERT_EQ(d[k].ok, ok) << n << " " << k;
            if (!ok) continue;
            EXPECT_EQ(d[k].thumbSize, size);
            EXPECT_EQ(Encoded(cur[k]), Encoded(c));
            EXPECT_EQ(Encoded(snap[k]), Encoded(sn));
            EXPECT_EQ(th[k], t);
        }
    }
}

TEST_F(Saves, SystemSaveRoundTripAndPlainSize) {
    ASSERT_TRUE(SaveSystemData());
    const SystemData sys = SysData;
    const ReadHistory hist = ReadHist;
    SysData = SystemData();
    ReadHist.Clear();
    ASSERT_TRUE(LoadSystemData());
    EXPECT_TRUE(SysData == sys);
    ASSERT_EQ(ReadHist.GetSize(), hist.GetSize());
    EXPECT_EQ(std::memcmp(ReadHist.GetBuffer(), hist.GetBuffer(), hist.GetSize()), 0);

    ReadHist.Clear();
    ASSERT_TRUE(SaveSystemData());
    const std::string file = dir_.Read("SVSys.sav");
    EXPECT_EQ(file.substr(0, 8), std::string("SOLV\x00\x01\0\0", 8));
    EXPECT_EQ(ZRGetLE32(U8(file) + 8), 76u);
    // A system save is not a slot, nor the other way round.
    uint32_t size = 0;
    EXPECT_FALSE(DecodeSlotSave(U8(file), file.size(), nullptr, nullptr, size, nullptr));
    const std::string slot = fx::SlotFile(GameState(), GameState());
    SystemData d;
    ReadHistory h;
    EXPECT_FALSE(DecodeSystemSave(U8(slot), slot.size(), d, h));
}

// Files cut at any length, with their plain size or coded length out of bounds, or decoding
// short: refused, and nothing the game holds changes.
TEST_F(Saves, MalformedFilesAreRefusedAndTheGlobalsUntouched) {
    const std::string slot = fx::SlotFile(GameState(), GameState());
    const std::string full = fx::SlotFile(fx::FullState(), fx::FullState(9), fx::Thumbnail());
    const std::string sys = fx::SystemFile(fx::SampleSystem(), fx::SampleHistory(2));
    ASSERT_FALSE(slot.empty());
    ASSERT_FALSE(full.empty());
    // Cut at every length: the buffer readers, whose outputs must stay as they were.
    const Image curBefore = Encoded(CurrentState);
    const Image sysBefore = [] {
        Image b(kSystemDataSize);
        SysData.Encode(b.data());
        return b;
    }();
    uint32_t size = 0;
    for (size_t n = 0; n < slot.size(); ++n)
        ASSERT_FALSE(DecodeSlotSave(U8(slot), n, &CurrentState, nullptr, size, nullptr)) << n;
    for (size_t n = 0; n < full.size(); n += 97)
        ASSERT_FALSE(DecodeSlotSave(U8(full), n, &CurrentState, nullptr, size, nullptr)) << n;
    for (size_t n = 0; n < sys.size(); ++n)
        ASSERT_FALSE(DecodeSystemSave(U8(sys), n, SysData, ReadHist)) << n;
    EXPECT_EQ(Encoded(CurrentState), curBefore);
    Image sysAfter(kSystemDataSize);
    SysData.Encode(sysAfter.data());
    EXPECT_EQ(sysAfter, sysBefore);

    // Whole files through the loaders: the globals stay as they were.
    const std::string before = Globals();
    auto loadsSlot = [&](const std::string& bytes) {
        dir_.Write("SV03.sav", bytes);
        return LoadGameSlot(3);
    };
    auto loadsSys = [&](const std::string& bytes) {
        dir_.Write("SVSys.sav", bytes);
        std::filesystem::remove(dir_.Host("SVSys.sav.bad"));
        return LoadSystemData();
    };

    struct Case {
        const char* name;
        std::string bytes;
        bool slot;
    };
    Image plain(kSlotPlainSize, 0);
    GameState().Encode(plain.data());
    GameState().Encode(plain.data() + kGameStateSize);
    Image bigThumb = plain;
    ZRPutLE32(bigThumb.data() + 2 * kGameStateSize, kThumbnailMaxSize + 1);
    Image sysPlain(kSystemDataSize + 8, 0);
    ZRPutLE32(sysPlain.data() + kSystemDataSize, 8);
    const std::vector<Case> cases = {
        {"slot: byte 4 of a system save", std::string(slot).replace(4, 1, 1, '\0'), true},
        {"slot: other magic", std::string(slot).replace(0, 1, 1, 'X'), true},
        {"slot: coded part past the buffer", slot + std::string(4 * kSlotPlainSize, '\0'), true},
        {"slot: decodes short", Coded(SlotHeader(), Image(plain.begin(), plain.end() - 1)), true},
        {"slot: thumbnail size", Coded(SlotHeader(), bigThumb), true},
        {"sys: P below 76", Coded(SysHeader(75), sysPlain), false},
        {"sys: P above the history", Coded(SysHeader(kSystemDataSize + kReadHistorySize), sysPlain),
         false},
        {"sys: P larger than the block", Coded(SysHeader(77), sysPlain), false},
        {"sys: coded part past the buffer", sys + std::string(0x100110, '\0'), false},
        {"sys: header only", SysHeader(76).substr(0, 8), false},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(c.slot ? loadsSlot(c.bytes) : loadsSys(c.bytes)) << c.name;
        EXPECT_EQ(Globals(), before) << c.name;
    }
    // The same builder makes files that do load, so the cases above fail for their reason.
    EXPECT_TRUE(loadsSlot(Coded(SlotHeader(), plain)));
    EXPECT_TRUE(loadsSys(Coded(SysHeader(76), sysPlain)));

    // A thumbnail size too large is refused, yet the caller is told the size stored.
    dir_.Write("SV04.sav", Coded(SlotHeader(), bigThumb));
    uint32_t stored = 0;
    EXPECT_FALSE(LoadGameSlotData(4, nullptr, nullptr, stored, nullptr));
    EXPECT_EQ(stored, kThumbnailMaxSize + 1);
}

// A field of either state outside what the game makes refuses the whole slot.
TEST_F(Saves, AnInvalidFieldInEitherStateRefusesTheSlot) {
    const std::vector<std::pair<size_t, uint32_t>> bad = {
        {0, 9},    {2424, 13},   {3536, 300},   {5348, 65},  {5352, 6},
        {5364, 0}, {6776, 5000}, {59780, 1000}, {2440, 256}, {5640, 4}};
    for (size_t which : {0u, 1u}) {
        for (auto [off, v] : bad) {
            Image plain(kSlotPlainSize, 0);
            GameState().Encode(plain.data());
            GameState().Encode(plain.data() + kGameStateSize);
            uint8_t* field = plain.data() + which * kGameStateSize + off;
            if (off == 0 || off == 2424)
                *field = static_cast<uint8_t>(v);
            else
                ZRPutLE32(field, v);
            const std::string file = Coded(SlotHeader(), plain);
            dir_.Write("SV05.sav", file);
            const std::string before = Globals();
            uint32_t size = 77;
            GameState a;
            EXPECT_FALSE(LoadGameSlotData(5, &a, nullptr, size, nullptr)) << which << " " << off;
            EXPECT_FALSE(LoadGameSlot(5));
            EXPECT_EQ(Globals(), before);
        }
    }
}

// The writers never leave a broken file: a process killed between the temporary file and
// the rename, a directory that cannot be written, or save files the player made read-only
// leave the old save loadable, and the refused writes report failure.
TEST_F(Saves, InterruptedOrRefusedWritesKeepTheOldSave) {
    ASSERT_TRUE(SaveGameSlot(1));
    ASSERT_TRUE(SaveSystemData());
    const std::string oldSlot = dir_.Read("SV01.sav"), oldSys = dir_.Read("SVSys.sav");
    CurrentState = fx::RandomState(77);
    SysData.SetValue(0, 12345);
    const uid_t nobody = 65534;
    // As root the refusals are checked as another user, who must be able to reach the folder.
    const bool dropOk = geteuid() != 0 || ReachableAs(dir_.Parent(), nobody, nobody);
    if (!dropOk)
        std::fprintf(stderr,
                     "user %d cannot reach %s (a folder above it is private): the "
                     "refused writes are not checked\n",
                     int(nobody), dir_.Host().c_str());

    for (int kind = 0; kind < 4; ++kind) {
        if (kind >= 2 && !dropOk) continue;
        if (kind == 3) {
            // A folder the player owns and may write, holding saves of theirs made read-only;
            // as root, the child becomes that player, since root's writes ignore the mode.
            for (const char* name : {"", "SV01.sav", "SVSys.sav"}) {
                if (geteuid() == 0) {
                    ASSERT_EQ(chown(dir_.Host(name).c_str(), nobody, nobody), 0);
                }
                ASSERT_EQ(chmod(dir_.Host(name).c_str(), *name ? 0444 : 0755), 0);
            }
        }
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (kind < 2) {
                plat::SetAtomicWriteHook([](const std::string&) { _exit(3); });
                if (kind == 0) SaveGameSlot(1);
                if (kind == 1) SaveSystemData();
                _exit(0);
            }
            // An unwritable directory; as root, give up the rights that would ignore it.
            if (kind == 2) chmod(dir_.Host().c_str(), 0555);
            if (geteuid() == 0 && (setgid(nobody) != 0 || setuid(nobody) != 0)) _exit(4);
            _exit(!SaveGameSlot(1) && !SaveSystemData() ? 5 : 6);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), kind < 2 ? 3 : 5) << kind;
        chmod(dir_.Host().c_str(), 0755);
        EXPECT_EQ(dir_.Read("SV01.sav"), oldSlot);
        EXPECT_EQ(dir_.Read("SVSys.sav"), oldSys);
    }
    GameState a;
    uint32_t size = 0;
    EXPECT_TRUE(LoadGameSlotData(1, &a, nullptr, size, nullptr));
    EXPECT_TRUE(LoadSystemData());
    EXPECT_NE(SysData.GetValue(0), 12345u);
    // The two writers killed before their rename leave one temporary file each beside their
    // target; the writers that finished and the refused ones leave none.
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Host()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 4u) << ::testing::PrintToString(names);
    EXPECT_EQ(names[0], "SV01.sav");
    EXPECT_EQ(names[1].rfind("SV01.sav.tmp", 0), 0u) << names[1];
    EXPECT_EQ(names[2], "SVSys.sav");
    EXPECT_EQ(names[3].rfind("SVSys.sav.tmp", 0), 0u) << names[3];

    // The next start removes such leftovers, those of the settings file too, and only files
    // named as the writers name them (in any case, as they find their files), that this user
    // owns and that were last changed well before: another copy of the game sharing the
    // folder may be writing one now.
    SetConfigFilePath(dir_.Game("Solvane.ini").c_str());
    std::vector<std::string> others = {
        "SV1.sav.tmpAbC123",  "SV007.sav.tmpAbC123",    "SV01.sav.tmpAbC12", "SV01.sav.tmpAbC1234",
        "SV01.sav.tmpAb-123", "SV01.sav.bak",           "SVSys.sav.bad",     "Other.ini.tmpAbC123",
        "Solvane.ini.tmp",    "SVSys.sav.bad.tmpAbC123"};
    for (const std::string& name : others) dir_.Write(name, "mine");
    for (const char* name : {"Solvane.ini.tmp9zZ0aA", "SV123.sav.tmpQwErTy", "sv02.sav.tmpAbC123",
                             "SOLVANE.INI.tmpAbC123", "svsys.SAV.tmpAbC123"})
        dir_.Write(name, "left");
    if (geteuid() == 0) {
        dir_.Write("SV04.sav.tmpAbC123", "another user's");
        ASSERT_EQ(chown(dir_.Host("SV04.sav.tmpAbC123").c_str(), nobody, nobody), 0);
        others.push_back("SV04.sav.tmpAbC123");
    }
    std::filesystem::create_directory(dir_.Host("SV02.sav.tmpAbC123"));
    std::filesystem::create_symlink(dir_.Host("SV01.sav"), dir_.Host("SV03.sav.tmpAbC123"));
    // Everything was last changed eleven minutes ago but one file still being written.
    const timespec old[2] = {{time(nullptr) - 11 * 60, 0}, {time(nullptr) - 11 * 60, 0}};
    for (const auto& e : std::filesystem::directory_iterator(dir_.Host()))
        ASSERT_EQ(utimensat(AT_FDCWD, e.path().c_str(), old, AT_SYMLINK_NOFOLLOW), 0);
    dir_.Write("SV05.sav.tmpAbC123", "being written");
    others.push_back("SV05.sav.tmpAbC123");
    RemoveInterruptedWrites();
    SetConfigFilePath("");
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Host()))
        left.push_back(e.path().filename().string());
    std::vector<std::string> want = others;
    want.insert(want.end(), {"SV01.sav", "SVSys.sav", "SV02.sav.tmpAbC123", "SV03.sav.tmpAbC123"});
    std::sort(left.begin(), left.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(left, want);

    // A system save that fails, which its callers pass over, says where and why.
    SetSaveDirectory((dir_.Game("missing") + "\\").c_str());
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(SaveSystemData());
    EXPECT_EQ(
        ::testing::internal::GetCapturedStderr(),
        dir_.Host("missing/SVSys.sav") + " could not be written: " + std::strerror(ENOENT) + "\n");
}

TEST_F(Saves, AnUnreadableSystemSaveIsKeptBesideIt) {
    dir_.Write("SVSys.sav", "SOLV broken");
    EXPECT_FALSE(LoadSystemData());
    EXPECT_EQ(dir_.Read("SVSys.sav.bad"), "SOLV broken");
    dir_.Write("SVSys.sav", "second broken");
    EXPECT_FALSE(LoadSystemData());
    EXPECT_EQ(dir_.Read("SVSys.sav.bad"), "SOLV broken");
    EXPECT_EQ(dir_.Read("SVSys.sav.bad2"), "second broken");
    EXPECT_TRUE(SaveSystemData());
    EXPECT_TRUE(LoadSystemData());

    // A malformed history refuses the whole file: what the game holds stays, and the file is
    // kept beside it as any unreadable one.
    Image plain(kSystemDataSize + 12, 0);
    fx::SampleSystem().Encode(plain.data());
    ZRPutLE32(plain.data() + kSystemDataSize, 12);  // one record claimed, none there
    ZRPutLE32(plain.data() + kSystemDataSize + 4, 1);
    const std::string damaged = Coded(SysHeader(static_cast<uint32_t>(plain.size())), plain);
    dir_.Write("SVSys.sav", damaged);
    std::filesystem::remove(dir_.Host("SVSys.sav.bad"));
    const std::string before = Globals();
    EXPECT_FALSE(LoadSystemData());
    EXPECT_EQ(Globals(), before);
    EXPECT_EQ(dir_.Read("SVSys.sav.bad"), damaged);
}

// Each refused system save, damaged or too large, is moved aside before the title's first
// save writes the defaults over it: under the first free name of nine. When all are taken the
// first stays (most likely the player's own save) and the oldest of the others goes. Moved, not
// copied: the kept file is the refused one itself.
TEST_F(Saves, RefusedSystemSavesAreMovedAsideUnderNineNames) {
    const std::string sys = dir_.Host("SVSys.sav");
    auto kept = [&](int n) {
        return dir_.Host("SVSys.sav.bad" + (n > 1 ? std::to_string(n) : std::string()));
    };
    std::vector<ino_t> refused;
    for (int i = 1; i <= 11; ++i) {
        dir_.Write("SVSys.sav", "SOLV damaged " + std::to_string(i));
        if (i % 3 == 0) {
            ASSERT_EQ(truncate(sys.c_str(), 64LL << 20), 0);  // sparse, too large
        }
        struct stat st;
        ASSERT_EQ(stat(sys.c_str(), &st), 0);
        refused.push_back(st.st_ino);
        EXPECT_FALSE(LoadSystemData()) << i;
        EXPECT_FALSE(std::filesystem::exists(sys)) << i;
        ASSERT_TRUE(SaveSystemData()) << i;
        if (i == 2) {
            EXPECT_EQ(dir_.Read("SVSys.sav.bad"), "SOLV damaged 1");
            EXPECT_EQ(dir_.Read("SVSys.sav.bad2"), "SOLV damaged 2");
        }
    }
    // Eleven refusals: the first is kept, the second and third went, the other eight are kept
    // from the oldest on.
    auto inode = [&](int n) {
        struct stat st {};
        EXPECT_EQ(lstat(kept(n).c_str(), &st), 0) << n;
        return st.st_ino;
    };
    for (int n = 1; n <= 9; ++n) EXPECT_EQ(inode(n), refused[n == 1 ? 0 : n + 1]) << n;
    EXPECT_FALSE(std::filesystem::exists(kept(10)));
    EXPECT_TRUE(LoadSystemData());

    // A move that fails (a refused save that was a folder sits where the next must go) ends
    // the moving: every kept file stays where it was, none is overwritten by the next move.
    std::filesystem::remove(kept(2));
    std::filesystem::create_directories(kept(2) + "/inner");
    std::vector<ino_t> before;
    for (int n = 1; n <= 9; ++n) before.push_back(inode(n));
    dir_.Write("SVSys.sav", "SOLV damaged 12");
    EXPECT_FALSE(LoadSystemData());
    for (int n = 1; n <= 9; ++n) EXPECT_EQ(inode(n), before[n - 1]) << n;
    EXPECT_EQ(dir_.Read("SVSys.sav.bad3"), "SOLV damaged 5");
}

// One flipped bit anywhere in a small system save: the file is refused, or it loads exactly
// what was saved. A load with other flags, values, album bits or history would be made
// permanent by the next save.
TEST_F(Saves, EverySingleBitFlipOfASystemSaveIsRefusedOrHarmless) {
    SystemData sys;
    sys.SetFlag(3, true);
    sys.SetFlag(40, true);
    sys.SetValue(2, 7);
    sys.SetAlbumBit(5);
    ReadHistory hist;
    hist.RegisterScene(1, 2);
    hist.MarkRead(1u << 16 | 4);
    hist.MarkRead(1u << 16 | 9);
    const std::string file = fx::SystemFile(sys, hist);
    ASSERT_FALSE(file.empty());
    Image sysBytes(kSystemDataSize);
    sys.Encode(sysBytes.data());
    const std::string histBytes(reinterpret_cast<const char*>(hist.GetBuffer()), hist.GetSize());
    int refused = 0;
    for (size_t bit = 0; bit < file.size() * 8; ++bit) {
        std::string flipped = file;
        flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
        SystemData d;
        ReadHistory h;
        if (!DecodeSystemSave(U8(flipped), flipped.size(), d, h)) {
            ++refused;
            continue;
        }
        Image got(kSystemDataSize);
        d.Encode(got.data());
        EXPECT_EQ(got, sysBytes) << "bit " << bit << " of " << file.size() << " bytes";
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.GetBuffer()), h.GetSize()),
                  histBytes)
            << "bit " << bit;
    }
    EXPECT_GT(refused, 0);
}

// Saves are read with a bound: a save that is a device without end, or a sparse file of
// several gigabytes, is refused at once instead of filling memory. The loaders run in a child
// with little address space to spare, where reading such a file whole fails.
TEST_F(Saves, OversizedOrEndlessSaveFilesAreRefusedWithoutReadingThemWhole) {
    ASSERT_TRUE(SaveGameSlot(4));
    ASSERT_TRUE(SaveSystemData());
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
    };
    const std::vector<Case> cases = {
        {"a link to /dev/zero",
         [](const std::string& p) {
             std::filesystem::remove(p);
             std::filesystem::create_symlink("/dev/zero", p);
         }},
        {"a sparse file of 6 GB",
         [](const std::string& p) { ASSERT_EQ(truncate(p.c_str(), 6LL << 30), 0); }},
    };
    for (const Case& c : cases) {
        const std::string slot = dir_.Host("SV04.sav"), sys = dir_.Host("SVSys.sav");
        c.make(slot);
        c.make(sys);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Room for the game's own work, not for a file of that size.
            long pages = 0;
            if (FILE* f = std::fopen("/proc/self/statm", "r")) {
                if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
                std::fclose(f);
            }
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max =
                static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                (512ULL << 20);
            if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(9);
            std::string bytes;
            GameState a;
            uint32_t size = 0;
            const bool refused = !ReadSlotFile(4, bytes) &&
                                 !LoadGameSlotData(4, &a, nullptr, size, nullptr) &&
                                 !LoadSystemData();
            _exit(refused ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.name << " " << status;
        // The system save is moved aside, not copied.
        std::error_code ec;
        EXPECT_TRUE(std::filesystem::is_symlink(dir_.Host("SVSys.sav.bad"), ec) ||
                    std::filesystem::file_size(dir_.Host("SVSys.sav.bad"), ec) == 6ULL << 30)
            << c.name;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(sys))) << c.name;
        std::filesystem::remove(slot);
        std::filesystem::remove(dir_.Host("SVSys.sav.bad"));
        ASSERT_TRUE(SaveGameSlot(4));
        ASSERT_TRUE(SaveSystemData());
    }
    GameState a;
    uint32_t size = 0;
    EXPECT_TRUE(LoadGameSlotData(4, &a, nullptr, size, nullptr));
    EXPECT_TRUE(LoadSystemData());
}

}  // namespace
