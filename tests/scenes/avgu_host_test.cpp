// The scene as a screen: set up over assembled scripts, driven frame by frame through its
// frame handler with recording sound and system parts, and resumed from saved states.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../script/script_rig.h"
#include "foundation/zrpack.h"
#include "game/gamef.h"
#include "scenes/avgu.h"
#include "scenes/avgu_audio.h"
#include "subwin_fixture.h"

namespace {

struct Audio : AvgAudio {
    bool voicePlaying = false;
    int voiceStops = 0, seStops = 0;
    bool IsVoicePlaying() const override { return voicePlaying; }
    void StopVoice() override { ++voiceStops; }
    void StopSE() override { ++seStops; }
};

struct System : AvgSystem {
    std::vector<int32_t> ended;
    int32_t cursor = -1;
    void ResetFrameClock() override {}
    uint8_t ScreenMode() const override { return 5; }
    void EndWait(int32_t r) override { ended.push_back(r); }
    int32_t GetCursorType() const override { return cursor; }
    void SetCursorType(int32_t t) override { cursor = t; }
    void RenderFull() override {}
};

struct Windows : AvgWindows {
    bool icon[2] = {};
    bool choiceShown = false, choiceAtOnce = false;
    std::string choices[4];
    void WaitIcon(bool novel, bool show) override { icon[novel] = show; }
    void SelectClear() override {
        for (auto& c : choices) c.clear();
    }
    void SelectAdd(int i, const ZRString& t) override { choices[i] = t.c_str(); }
    void SelectShow(bool instant) override { choiceShown = true, choiceAtOnce = instant; }
    bool SelectHide(bool) override { return choiceShown = false; }
    int32_t SelectIndex() const override { return choiceShown ? 1 : -1; }
};

class AvgHost : public testing::Test {
  protected:
    void SetUp() override {
        // The stage needs its flake sheet (a 1x1 BMP will do) and its two picture archives
        // (empty directories beside the scripts, which become the working directory).
        ASSERT_NE(getcwd(oldCwd_, sizeof oldCwd_), nullptr);
        std::filesystem::create_directories(rig.dir.Host("EvBG_Pak"));
        std::filesystem::create_directories(rig.dir.Host("EvCG_Pak"));
        rig.dir.Write("Snow.bmp", std::string("BM:\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0"
                                              "\x01\0\0\0\x01\0\x18\0\0\0\0\0\x04\0\0\0",
                                              38) +
                                      std::string(16, '\0') + std::string("\x80\x80\x80\0", 4));
        ASSERT_EQ(chdir(rig.dir.Host().c_str()), 0);
        ScriptFileMan = &rig.files;
        GameFileMan = &rig.files;
        UserSettings = UserConfig();
        // The windows' pictures are made through the memory manager.
        if (!MemMan) MemMan = new ZRMemMan(), ownMemMan_ = true;
        savedDepth_ = WorkBitDepth;
        WorkBitDepth = bd32;
        unit.SetAudio(&audio);
        unit.SetSystem(&system);
        unit.SetWindows(&windows);
        unit.BindState(rig.state.get());
    }
    void TearDown() override {
        unit.Release();
        ScriptFileMan = nullptr;
        GameFileMan = nullptr;
        if (ownMemMan_) delete MemMan, MemMan = nullptr;
        WorkBitDepth = savedDepth_;
        if (chdir(oldCwd_) != 0) ADD_FAILURE() << "cannot go back";
    }
    bool ownMemMan_ = false;
    ZRBitDepth savedDepth_ = bdNone;
    char oldCwd_[4096] = {};
    void Build(const std::string& body) {
        rig.Build({OneLabel(body)});
        rig.dir.Write("SpeakTbl.csv", "name,#id,#speaker,!\r\n");
        // The text windows set up over their pictures.
        for (const subwin_test::PictureSpec& p : subwin_test::Pictures())
            subwin_test::WritePicture(rig.dir.Host(p.name), p.w, p.h, p.rgb);
        ASSERT_TRUE(unit.Setup(&rig.files));
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) unit.Frame(1);
    }
    GameState& St() { return *rig.state; }

    ScriptRig rig;
    Audio audio;
    System system;
    Windows windows;
    TAvgUnit unit;
};

// Each kind of wait a save can hold comes back as its scene state; a battle's outcome is on
// the stack before the script goes on.
TEST_F(AvgHost, ResumesByWaitKind) {
    Build(R"(
    KeyWait
    Select "a", "b", "c", ""
    SETRES
    GoBattle 4
    SETRES
    KeyWait
    EXIT)");
    ASSERT_TRUE(unit.StartScenario("S"));
    EXPECT_EQ(unit.GetSceneState(), asClickWait);
    const GameState atClick = St();
    unit.Click();
    Frames(1);
    EXPECT_EQ(unit.GetSceneState(), asChoiceWaiting);
    const GameState atChoice = St();
    unit.SelCode(5);  // the choice window reports choice 1 taken
    Frames(1);
    EXPECT_EQ(system.ended, std::vector<int32_t>{1});
    EXPECT_FALSE(unit.IsRunning());
    EXPECT_EQ(St().GetResult(), 1);
    GameState atBattle = St();
    atBattle.BattleResult = 9;

    struct Case {
        const GameState* saved;
        uint8_t state;
        bool icon, choice, waiting;
        int32_t result;
    } cases[] = {
        {&atClick, asClickWait, true, false, false, 0},
        {&atChoice, asChoiceWaiting, false, true, true, 0},
        {&atBattle, asClickWait, true, false, false, 9},
    };
    for (const Case& c : cases) {
        *rig.state = *c.saved;
        windows = Windows();
        ASSERT_TRUE(unit.ResumeAfterLoad());
        EXPECT_TRUE(unit.IsRunning());
        EXPECT_EQ(unit.GetSceneState(), c.state);
        EXPECT_EQ(windows.icon[0], c.icon);
        EXPECT_EQ(windows.choiceShown, c.choice);
        EXPECT_EQ(St().Waiting != 0, c.waiting);
        if (c.choice) {
            EXPECT_EQ(windows.choices[2], "c");
            // The scene takes the choice from its first frame: no fade-in may hold it back.
            EXPECT_TRUE(windows.choiceAtOnce);
        }
        if (c.saved == &atBattle) {
            EXPECT_EQ(St().GetResult(), c.result);
        }
    }
}

// Skipping: skip mode and Ctrl stop the voice and effect and end waits at once, unless the
// script's skip-lock is set; then every wait runs its full length.
TEST_F(AvgHost, SkipLockStopsEverySkip) {
    Build("    Wait 1000\n    EXIT");
    struct Case {
        bool skip, hold, locked;
        int timedFrames;  // frames until the timed wait ends
    } cases[] = {
        {false, false, false, 31}, {true, false, false, 1}, {false, true, false, 1},
        {true, false, true, 31},   {false, true, true, 31},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.timedFrames);
        ASSERT_TRUE(unit.StartScenario("S"));
        ASSERT_EQ(unit.GetSceneState(), asTimedWait);
        St().SkipDisabled = c.locked;
        audio = Audio();
        int frames = 0;
        while (unit.IsRunning() && frames < 100) {
            unit.SkipMode = c.skip;
            unit.HoldSkip = c.hold;
            unit.Frame(1);
            ++frames;
        }
        EXPECT_EQ(frames, c.timedFrames);
        const bool stops = (c.skip || c.hold) && !c.locked;
        EXPECT_EQ(audio.voiceStops > 0, stops);
        EXPECT_EQ(audio.seStops > 0, stops);
        unit.SkipMode = unit.HoldSkip = false;
    }
}

// Timed waits end on the frame the counter drops below 0: 20 ms is one frame's count, 1000 ms
// thirty; auto mode with no wait advances on the second frame and pauses for a voice.
TEST_F(AvgHost, WaitsEndOnTheirFrames) {
    Build("    Wait 20\n    Wait 1000\n    KeyWait\n    KeyWait\n    EXIT");
    ASSERT_TRUE(unit.StartScenario("S"));
    for (int expected : {2, 31}) {
        ASSERT_EQ(unit.GetSceneState(), asTimedWait);
        // The next wait begins in the frame the last one ends: the machine's place tells.
        const uint32_t pc = St().Pc;
        int frames = 0;
        while (St().Pc == pc && frames < 100) {
            unit.Frame(1);
            ++frames;
        }
        EXPECT_EQ(frames, expected);
    }
    ASSERT_EQ(unit.GetSceneState(), asClickWait);
    UserSettings.AutoSkipWait = 0;
    unit.Click();  // into the second click wait, counted from 0 ms
    ASSERT_EQ(unit.GetSceneState(), asRun);
    unit.AutoMode = true;  // a click turns auto mode off; the wait ahead runs with it on
    Frames(1);
    ASSERT_EQ(unit.GetSceneState(), asClickWait);
    audio.voicePlaying = true;
    Frames(5);
    EXPECT_EQ(unit.GetSceneState(), asClickWait);
    audio.voicePlaying = false;
    Frames(1);
    EXPECT_EQ(unit.GetSceneState(), asClickWait);
    Frames(1);
    EXPECT_NE(unit.GetSceneState(), asClickWait);
}

// Entering a state sets what the player may open and the cursor.
TEST_F(AvgHost, StatesSetPermissionsAndCursor) {
    Build("    EXIT");
    struct Case {
        uint8_t state;
        bool cursorFlag;
        bool waitMenus, menus;
        int32_t cursor;
    } cases[] = {
        {asRun, false, false, false, -1},        {asClickWait, false, true, true, -1},
        {asClickWait, true, true, true, 0},      {asChoiceWaiting, false, true, true, 0},
        {asExSelWaiting, false, false, true, 0}, {asTimedWait, true, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.state));
        St().CursorShown = c.cursorFlag;
        unit.SetSceneState(c.state);
        EXPECT_EQ(unit.MayHideWindows, c.waitMenus);
        EXPECT_EQ(unit.MayOpenBacklog, c.waitMenus);
        EXPECT_EQ(unit.MenuAllowed, c.menus);
        EXPECT_EQ(unit.MaySave, c.menus);
        EXPECT_EQ(unit.MayConfigure, c.menus);
        EXPECT_EQ(system.cursor, c.cursor);
    }
}

// A script that loops without ever waiting gives each frame back when its budget is spent.
TEST_F(AvgHost, ScriptWithoutWaitsGivesTheFrameBack) {
    Build("Loop:\n    JMP Loop");
    ASSERT_TRUE(unit.StartScenario("S"));
    EXPECT_EQ(unit.GetSceneState(), asRun);
    Frames(3);
    EXPECT_TRUE(unit.IsRunning());
    EXPECT_TRUE(system.ended.empty());
}

// The engine and the stage, windows and extra selection are the memory manager's records
// while the scene is set up, and leave its registry when it is released.
TEST_F(AvgHost, EngineAndPartsAreTrackedByTheMemoryManager) {
    Build("    EXIT");
    auto tracked = [](const void* p) {
        for (const ZRMemPointer& r : MemMan->Records())
            if (r.kind == ZRMemMan::kObject && r.pointer == reinterpret_cast<uintptr_t>(p))
                return true;
        return false;
    };
    const void* parts[] = {unit.Engine, unit.Stage, unit.ExSel, unit.Windows};
    for (const void* p : parts) {
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(tracked(p));
    }
    unit.Release();
    for (const void* p : parts) EXPECT_FALSE(tracked(p));
    EXPECT_EQ(unit.Engine, nullptr);
}

// Voices live in packs of a million: "Voice\ev%05d.pak" holds "%08u.ogg".
TEST(AvgVoices, NamesAndPacks) {
    TempDir dir;
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(dir.Host().c_str()), 0);
    std::filesystem::create_directories(dir.Host("Voice"));
    auto pack = [&](const std::string& name, const std::vector<std::string>& entries) {
        ZRPack p;
        p.SetReadOnly(false);
        ASSERT_TRUE(p.NewPack(dir.Host("Voice/" + name).c_str()));
        for (const std::string& e : entries) {
            dir.Write(e, "OggS");
            ASSERT_TRUE(p.AddFile(e.c_str(), dir.Host(e).c_str(), false));
        }
        ASSERT_TRUE(p.EndPack());
    };
    pack("ev00012.pak", {"12345678.ogg"});
    pack("ev00000.pak", {"00000005.ogg"});
    struct Case {
        uint32_t number;
        bool found;
        const char* entry;
        int32_t packAfter;
    } cases[] = {
        {12345678, true, "12345678", 12},
        {5, true, "00000005", 0},
        {6, false, "", 0},         // not in its pack
        {99000001, false, "", 0},  // no such pack: the open one stays
        {12000000, false, "", 12},
    };
    AvgFormAudio audio;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        ZRString entry;
        EXPECT_EQ(audio.FindVoice(c.number, entry), c.found);
        if (c.found) {
            EXPECT_STREQ(entry.c_str(), c.entry);
        }
        EXPECT_EQ(audio.VoicePack, c.packAfter);
        // Without a main window nothing plays, found or not.
        EXPECT_FALSE(audio.PlayVoice(c.number, 0, 0));
    }
    ASSERT_EQ(chdir(old), 0);
}

}  // namespace
