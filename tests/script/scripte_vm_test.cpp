// The machine on assembled scripts: operations with their edge values, near and far calls,
// scene changes, suspension, the return to a loaded game and the per-frame budget.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <iterator>

#include "foundation/zrstd.h"
#include "game/maint.h"
#include "platform/codepage.h"
#include "script/scripte_text.h"
#include "script_rig.h"

namespace {

// Runs a one-label program to its end and gives the stack.
std::vector<int32_t> RunProgram(const std::string& body, ScriptRig* keep = nullptr) {
    ScriptRig local;
    ScriptRig& rig = keep ? *keep : local;
    rig.Build({OneLabel(body + "\n    EXIT\n")});
    rig.Start("S");
    EXPECT_TRUE(rig.engine->Run());
    return rig.Stack();
}

TEST(ScriptVm, Operations) {
    const struct {
        const char* program;
        std::vector<int32_t> stack;
    } cases[] = {
        {"PUSH 7\nPUSH 0\nDIV", {-1}},
        {"PUSH -7\nPUSH 0\nDIV", {0}},
        {"PUSH -7\nPUSH 2\nDIV", {-3}},
        {"PUSH -2147483648\nPUSH -1\nDIV", {INT_MIN}},
        {"PUSH -7\nPUSH 2\nREM", {-1}},
        {"PUSH 7\nPUSH 0\nREM", {0}},
        {"PUSH -2147483648\nPUSH -1\nREM", {0}},
        {"PUSH 2147483647\nPUSH 1\nADD", {INT_MIN}},
        {"PUSH -2147483648\nPUSH 1\nSUB", {INT_MAX}},
        {"PUSH 65536\nPUSH 65536\nMUL", {0}},
        {"PUSH -3\nPUSH 5\nMUL", {-15}},
        {"PUSH -1\nPUSH 1\nLT\nPUSH 1\nPUSH 1\nLE\nPUSH 2\nPUSH 1\nGT\nPUSH 1\nPUSH 2\nGE",
         {1, 1, 1, 0}},
        {"PUSH 4\nPUSH 4\nEQ\nPUSH 4\nPUSH 4\nNE", {1, 0}},
        {"PUSH 5\nPUSH 0\nLAND\nPUSH 0\nPUSH -2\nLOR\nPUSH 9\nLNOT\nPUSH 0\nLNOT", {0, 1, 0, 1}},
        {"PUSH 1\nPUSH 2\nPUSH 3\nSWAP2", {2, 1, 3}},
        {"PUSH 1\nPUSH 2\nSWAP", {2, 1}},
        {"PUSH 1\nPUSH 2\nDUP2", {1, 1, 2}},
        {"PUSH 1\nDUP\nPOP\nNOP", {1}},
        {"PUSH 3\nGETSTR", {static_cast<int32_t>(0x80000003u)}},
        {"PUSH 9\nSETRES\nGETRES\nGETARG", {9, 0}},
        {"PUSH 300\nPUSH 1\nSETF\nPUSH 300\nGETF\nPUSH 511\nGETF", {1, 0}},
        {"PUSH 63\nPUSH -5\nSETV\nPUSH 63\nGETV\nPUSH 64\nGETV", {-5, 0}},
        {"PUSH 2\nPUSH 1\nSETSF\nPUSH 2\nGETSF\nPUSH 7\nPUSH 44\nSETSV\nPUSH 7\nINCSV", {1, 44}},
        // A negative jump goes back relative to the jump's own first byte.
        {"JMP .fwd\n.back:\nPUSH 2\nEXIT\n.fwd:\nPUSH 0\nJZ .back\nPUSH 3", {2}},
        {"PUSH 1\nJNZ .skip\nPUSH 5\n.skip:\nPUSH 6", {6}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        EXPECT_EQ(RunProgram(c.program), c.stack);
    }
}

TEST(ScriptVm, StateOperationsReachTheirRecords) {
    ScriptRig rig;
    uint8_t flags[8] = {0x10};
    std::memcpy(rig.state->SysFlagCopy, flags, 8);
    rig.state->SysValueCopy[2] = 77;
    const std::vector<int32_t> stack = RunProgram(
        "PUSH 4\nPUSH \"hello\"\nSETSTR\nPUSH 4\nGETCF\nPUSH 2\nGETCV\n"
        "PUSH 3\nPUSH 1\nSETSF\nPUSH 5\nPUSH 99\nSETSV\n",
        &rig);
    EXPECT_EQ(stack, (std::vector<int32_t>{1, 77}));
    EXPECT_EQ(rig.state->GetStringVar(4), ZRString("hello"));
    EXPECT_TRUE(rig.system.GetFlag(3));
    EXPECT_EQ(rig.system.GetValue(5), 99u);
}

// A script file put together byte by byte, as another tool would write it: one label record
// "M" holding `code`, no call table, no pool, and a scene "S" that starts at it.
void WriteHandMade(ScriptRig& rig, const std::vector<uint8_t>& code) {
    std::vector<uint8_t> f(64, 0);
    std::memcpy(f.data(), "ELSEWHRE", 8);
    const uint32_t record = 10 + 2 + static_cast<uint32_t>(code.size());
    const uint32_t head[][2] = {{8, 1},  {12, 0xC0FFEE},    {28, 64},         {32, record},
                                {36, 1}, {40, 64 + record}, {52, 64 + record}};
    for (const auto& h : head) ZRPutLE32(&f[h[0]], h[1]);
    const uint8_t label[12] = {static_cast<uint8_t>(record), 0, 0, 0, 2, 0, 9, 9, 9, 9, 'M', 0};
    f.insert(f.end(), label, label + sizeof label);
    f.insert(f.end(), code.begin(), code.end());
    rig.WriteVnx(1, f);
    std::string index = "SV01" + std::string(8, '\0') + std::string(22, '\0') + "S" + '\0';
    index[4] = 24, index[8] = 1, index[12] = 24, index[14] = 1;
    rig.dir.Write("Scene.tbl", index);
}

// Only PUSH, JMP, JZ and JNZ carry an operand: POP is two bytes, and what follows it is read
// from the byte after.
TEST(ScriptVm, PopIsTwoBytesLong) {
    const struct {
        const char* what;
        std::vector<uint8_t> code;
        std::vector<int32_t> stack;
        int32_t flag300, rain;  // a new game's rain power is 100
    } cases[] = {
        {"POP then PUSH",
         {1, 0, 5, 0, 0, 0, 1, 0, 6, 0, 0, 0, 2, 0, 1, 0, 7, 0, 0, 0, 15, 0},
         {5, 7},
         0,
         100},
        {"POP then JZ over a PUSH",
         {1, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 2, 0, 4, 0,  12,
          0, 0, 0, 1, 0, 9, 0, 0, 0, 1, 0, 3, 0, 0, 0, 15, 0},
         {3},
         0,
         100},
        {"POP then SETF",
         {1, 0, 0x2C, 1, 0, 0, 1, 0, 1, 0, 0, 0, 1, 0, 4, 0, 0, 0, 2, 0, 32, 0, 15, 0},
         {},
         1,
         100},
        {"POP then a command (SetRainPower)",
         {1, 0, 120, 0, 0, 0, 1, 0, 5, 0, 0, 0, 2, 0, 168, 0, 15, 0},
         {},
         0,
         120},
        {"POPs back to back",
         {1, 0, 1, 0, 0, 0, 1, 0, 2, 0, 0, 0, 1, 0, 3, 0, 0, 0, 2, 0, 2, 0, 15, 0},
         {1},
         0,
         100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptRig rig;
        BindScriptCommands(*rig.engine);
        WriteHandMade(rig, c.code);
        rig.Start("S");
        EXPECT_TRUE(rig.engine->Run());
        EXPECT_EQ(rig.Stack(), c.stack);
        EXPECT_EQ(rig.state->GetFlag(300), c.flag300 != 0);
        EXPECT_EQ(rig.state->RainPower, c.rain);
        // The EXIT in the last two bytes was the last instruction run.
        EXPECT_EQ(rig.state->Pc, rig.engine->CodeSize());
    }
}

TEST(ScriptVm, FaultsRaiseGameErr) {
    const char* programs[] = {
        ".u16 7",
        ".u16 200",
        ".u16 92",
        "POP",
        "DUP",
        "PUSH 1\nSWAP",
        "Text \"x\"",              // commands are not bound yet
        "PUSH 1\nPUSH 9\nSETSTR",  // string id past the pool
    };
    for (const char* p : programs) {
        SCOPED_TRACE(p);
        ScriptRig rig;
        rig.Build({OneLabel(std::string(p) + "\nEXIT\n")});
        rig.Start("S");
        EXPECT_THROW(rig.engine->Run(), EGameErr);
    }
    ScriptRig deep;
    deep.Build({OneLabel("CALL Main\n")});
    deep.Start("S");
    EXPECT_THROW(deep.engine->Run(), EGameErr);
    EXPECT_EQ(deep.state->CallDepth, 64);
}

TEST(ScriptVm, NearAndFarCallsReturnValues) {
    ScriptRig rig;
    rig.Build(
        {"script 1\nscene \"S\" Main\nMain:\n"
         "    PUSH 4\n    CALL Twice\n    CALL Nothing\n    CALL scr2::Far\n    EXIT\n"
         "Twice:\n    PUSH 2\n    MUL\n    RET\n"
         "Nothing:\n    RET\n",
         "script 2\nFiller:\n    EXIT\nFar:\n    PUSH 40\n    PUSH 2\n    ADD\n    RET\n"});
    rig.Start("S");
    EXPECT_TRUE(rig.engine->Run());
    // Twice works in place on its caller's stack, so its top is not above the saved one and
    // the call returns 0 on top of the 8 it left there.
    EXPECT_EQ(rig.Stack(), (std::vector<int32_t>{8, 0, 0, 42}));
    EXPECT_EQ(rig.engine->LoadedScript(), 1);
    EXPECT_EQ(rig.state->ScriptNo, 1);
    EXPECT_EQ(rig.state->CallDepth, 0);
}

TEST(ScriptVm, BrokenCallsHalt) {
    const struct {
        const char* what;
        std::vector<std::string> sources;
        bool deleteCaller;
    } cases[] = {
        {"offset past the table", {OneLabel("PUSH 4000\nCALL\nPUSH 1\n")}, false},
        {"record of no kind", {OneLabel("PUSH 0\nCALL\nPUSH 1\n.scene \"S\"\n")}, false},
        {"script number above 65535", {OneLabel("CALL \"scr70000::X\"\nPUSH 1\n")}, false},
        {"no script part", {OneLabel("CALL \"::Main\"\nPUSH 1\n")}, false},
        {"not scr digits", {OneLabel("CALL \"scx1::Main\"\nPUSH 1\n")}, false},
        {"missing file", {OneLabel("CALL \"scr00044::Main\"\nPUSH 1\n")}, false},
        {"missing label", {OneLabel("CALL \"scr00001::Nope\"\nPUSH 1\n")}, false},
        {"missing scene", {OneLabel("SCNCHG \"Nowhere\"\n")}, false},
        {"scene record past the table", {OneLabel("PUSH 4000\nSCNCHG\n")}, false},
        {"return into a file that is gone",
         {OneLabel("CALL scr2::F\nPUSH 1\n"), "script 2\nF:\n    RET\n"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptRig rig;
        std::vector<nys::Unit> units;
        std::vector<nys::Diag> errors;
        for (const std::string& s : c.sources) {
            nys::Unit u;
            ASSERT_TRUE(nys::Assemble("t.nys", s, u, errors));
            rig.WriteVnx(u.number, u.vnx);
            units.push_back(u);
        }
        const std::vector<uint8_t> t = nys::BuildSceneTable(units);
        rig.dir.Write("Scene.tbl", std::string(t.begin(), t.end()));
        rig.Start("S");
        if (c.deleteCaller) {
            rig.engine->Step();
            rig.engine->Step();
            ASSERT_EQ(rig.engine->LoadedScript(), 2);
            std::remove(rig.dir.Host("scr00001.vnx").c_str());
        }
        const GameState before = *rig.snapshot;
        EXPECT_TRUE(rig.engine->Run());
        EXPECT_TRUE(rig.Stack().empty());
        EXPECT_EQ(std::memcmp(rig.snapshot->SceneName, before.SceneName, sizeof before.SceneName),
                  0);
    }
}

// A far call that cannot go on halts where it stopped: its frame is pushed and the registers
// cleared before the text is read, and once the file has loaded the script number and
// checksum are the called file's, also when its label is missing.
TEST(ScriptVm, AFarCallThatCannotGoOnHaltsWithItsFramePushed) {
    const struct {
        const char* text;
        int32_t scriptAfter;
    } cases[] = {
        {"scr70000::F", 1}, {"::F", 1}, {"scx2::F", 1}, {"scr00044::F", 1}, {"scr00002::Nope", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ScriptRig rig;
        std::vector<nys::Unit> units;
        std::vector<nys::Diag> errors;
        for (const std::string& src :
             {OneLabel("PUSH 9\nSETRES\nPUSH 5\nCALL \"" + std::string(c.text) + "\"\nPUSH 1\n"),
              std::string("script 2\nF:\n    RET\n")}) {
            nys::Unit u;
            ASSERT_TRUE(nys::Assemble("t.nys", src, u, errors));
            rig.WriteVnx(u.number, u.vnx);
            units.push_back(u);
        }
        const std::vector<uint8_t> t = nys::BuildSceneTable(units);
        rig.dir.Write("Scene.tbl", std::string(t.begin(), t.end()));
        rig.Start("S");
        EXPECT_TRUE(rig.engine->Run());
        EXPECT_EQ(rig.state->CallDepth, 1);
        if (rig.state->CallDepth < 1) continue;
        const CallFrame& f = rig.state->Frames[0];
        EXPECT_EQ(f.ScriptNo, 1);
        EXPECT_EQ(f.Checksum, rig.engine->GetScriptChecksum(1));
        EXPECT_EQ(f.ReturnPc, rig.state->Pc);
        EXPECT_EQ(f.Top, 1);
        EXPECT_EQ(f.Result, 9);
        EXPECT_EQ(rig.state->GetResult(), 0);
        EXPECT_EQ(rig.state->ScriptNo, c.scriptAfter);
        EXPECT_EQ(rig.state->ScriptSum, rig.engine->GetScriptChecksum(c.scriptAfter));
    }
}

struct CountingHost : ScriptHost {
    int rebuilds = 0;
    void RebuildScene() override { ++rebuilds; }
};

TEST(ScriptVm, SceneChangeTakesTheSnapshotAndAppliesDateAndLimit) {
    ScriptRig rig;
    CountingHost host;
    rig.engine->SetHost(&host);
    rig.Build(
        {"script 1\nscene \"A\" A date 0401 time 0800 limit 0405 time 1200\n"
         "scene \"C\" C\n"
         "A:\n    PUSH 1\n    PUSH 5\n    SETV\n    PUSH 7\n    SCNCHG \"B\"\n"
         "C:\n    EXIT\n",
         "script 2\nscene \"B\" B date 0410 time 1530\n"
         "B:\n    PUSH 2\n    PUSH 6\n    SETV\n    SCNCHG \"C\"\n"});
    rig.engine->LoadSceneTable();
    rig.state->Reset();
    rig.state->Halted = 0;
    rig.state->SetMessageText("left over");
    ASSERT_TRUE(rig.engine->StartScene("A"));
    EXPECT_EQ(rig.state->Month, 4);
    EXPECT_EQ(rig.state->Day, 1);
    EXPECT_EQ(rig.state->Hour, 8);
    EXPECT_EQ(rig.state->LimitMonth, 4);
    EXPECT_EQ(rig.state->LimitDay, 5);
    EXPECT_TRUE(rig.state->IsMessageTextEmpty());

    // Run the first scene up to its change into B.
    while (rig.state->ScriptNo == 1 && !rig.state->Halted) rig.engine->Step();
    EXPECT_EQ(host.rebuilds, 1);
    EXPECT_EQ(rig.snapshot->GetValue(1), 5);
    EXPECT_EQ(rig.snapshot->StackTop, 1);  // taken before the stack was cleared
    EXPECT_EQ(rig.snapshot->GetSceneName(), ZRString("A"));
    EXPECT_EQ(rig.state->GetSceneName(), ZRString("B"));
    EXPECT_EQ(rig.state->StackTop, 0);
    EXPECT_EQ(rig.state->Month, 4);
    EXPECT_EQ(rig.state->Day, 10);
    EXPECT_EQ(rig.state->LimitMonth, 0);

    // C has date 0: the date and time stay as B left them.
    EXPECT_TRUE(rig.engine->Run());
    EXPECT_EQ(host.rebuilds, 2);
    EXPECT_EQ(rig.state->Day, 10);
    EXPECT_EQ(rig.state->Hour, 15);
    EXPECT_EQ(rig.state->GetValue(2), 6);
    EXPECT_FALSE(rig.engine->StartScene("Nowhere"));
}

void SelectCommand(TScriptEngine& e) {
    for (int i = 0; i < 4; ++i) e.State().Pop();
    e.Suspend(2);
}

TEST(ScriptVm, WaitingAndResume) {
    ScriptRig rig;
    rig.Build({OneLabel("Select 1, 2, 3, 4\nPUSH 1\nADD\n")});
    rig.engine->SetHandler(143, SelectCommand);
    rig.Start("S");
    rig.engine->Resume(5);  // not waiting: nothing is pushed
    EXPECT_TRUE(rig.Stack().empty());
    EXPECT_FALSE(rig.engine->Run());
    EXPECT_EQ(rig.state->GetWaitState(), 2);
    const uint32_t pc = rig.state->Pc;
    EXPECT_FALSE(rig.engine->Run());  // still waiting: nothing runs
    EXPECT_EQ(rig.state->Pc, pc);
    rig.engine->Resume(2);
    EXPECT_TRUE(rig.engine->Run());
    EXPECT_EQ(rig.Stack(), (std::vector<int32_t>{3}));
    EXPECT_EQ(rig.state->GetWaitState(), 0);
}

TEST(ScriptVm, BudgetGivesTheFrameBackFromAnEndlessLoop) {
    ScriptRig rig;
    rig.Build({OneLabel(".spin:\nJMP .spin\n")});
    rig.Start("S");
    rig.engine->BeginFrame();
    EXPECT_FALSE(rig.engine->Run());
    EXPECT_TRUE(rig.engine->BudgetSpent());
    EXPECT_FALSE(rig.engine->Run());  // nothing more this frame
    rig.engine->BeginFrame();
    EXPECT_FALSE(rig.engine->BudgetSpent());
    EXPECT_FALSE(rig.engine->Run());
    EXPECT_FALSE(rig.state->Halted);
}

// A save taken inside a far call: with both files unchanged the game goes on at the same pc;
// once a file is rebuilt the scene starts again from its snapshot.
TEST(ScriptVm, LoadedGameResumesOrRestarts) {
    const std::string caller =
        "script 1\nscene \"S\" Main\nMain:\n    PUSH 3\n    SETRES\n    CALL scr2::F\n    EXIT\n";
    const std::string callee = "script 2\nF:\n    Select 1, 2, 3, 4\n    RET\n";
    for (bool rebuild : {false, true}) {
        SCOPED_TRACE(rebuild ? "rebuilt" : "unchanged");
        ScriptRig rig;
        rig.Build({caller, callee});
        rig.engine->SetHandler(143, SelectCommand);
        rig.Start("S");
        EXPECT_FALSE(rig.engine->Run());
        ASSERT_EQ(rig.state->CallDepth, 1);
        // The save's byte images of the state and the snapshot.
        std::vector<uint8_t> image(2 * kGameStateSize);
        rig.state->Encode(image.data());
        rig.snapshot->Encode(image.data() + kGameStateSize);
        const GameState saved = *rig.state;

        if (rebuild)
            rig.Build({caller, "script 2\nF:\n    PUSH 9\n    Select 1, 2, 3, 4\n    RET\n"});
        rig.state->Reset();
        rig.NewEngine();
        rig.engine->SetHandler(143, SelectCommand);
        rig.engine->LoadSceneTable();
        ASSERT_TRUE(rig.state->Decode(image.data(), kGameStateSize));
        ASSERT_TRUE(rig.snapshot->Decode(image.data() + kGameStateSize, kGameStateSize));
        ASSERT_TRUE(rig.engine->ResumeLoadedGame());
        if (!rebuild) {
            EXPECT_EQ(rig.state->Pc, saved.Pc);
            EXPECT_EQ(rig.engine->LoadedScript(), 2);
            rig.engine->Resume(1);
            EXPECT_TRUE(rig.engine->Run());
            EXPECT_EQ(rig.Stack(), (std::vector<int32_t>{1}));
        } else {
            EXPECT_EQ(rig.state->ScriptNo, 1);
            EXPECT_EQ(rig.state->CallDepth, 0);
            EXPECT_FALSE(rig.state->Waiting);
            EXPECT_FALSE(rig.engine->Run());
            EXPECT_EQ(rig.Stack(), (std::vector<int32_t>{9}));  // the new file runs
        }
    }
}

}  // namespace

namespace {

// The demo story as mkdemo packs it: GameStart counts down, calls near and far, changes
// scene, and the second scene changes on into the tour, whose first command this machine has
// no handler for.
TEST(ScriptVm, DemoStoryRunsToItsEnd) {
    std::vector<std::string> sources;
    for (const char* name : {"start.nys", "campus.nys", "tour.nys", "battle.nys"}) {
        std::ifstream in(std::string(ZR_DEMO_SCRIPTS) + "/" + name, std::ios::binary);
        sources.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        ASSERT_FALSE(sources.back().empty()) << name;
    }
    ScriptRig rig;
    CountingHost host;
    rig.engine->SetHost(&host);
    rig.Build(sources);
    rig.Start("GameStart");
    EXPECT_THROW(rig.engine->Run(), std::exception);
    EXPECT_EQ(host.rebuilds, 2);
    EXPECT_EQ(rig.state->GetSceneName(), ZRString("Tour"));
    // What GameStart left, as the campus scene began.
    EXPECT_EQ(rig.state->GetValue(0), 0);
    EXPECT_EQ(rig.state->GetStringVar(1),
              ZRString(plat::FromUtf8("ようこそ", plat::CodePage::Gbk).c_str()));
    // What the campus scene left, as the tour began.
    EXPECT_TRUE(rig.snapshot->GetFlag(10));
    EXPECT_EQ(rig.snapshot->Day, 2);
    EXPECT_EQ(rig.snapshot->LimitDay, 5);
}

}  // namespace

namespace {

void StuckTextProcessor(TScriptEngine&) {}

// A processor that keeps the text and never breaks still gives the frame back.
TEST(ScriptVm, BudgetAlsoBoundsTextThatNeverEnds) {
    ScriptRig rig;
    rig.Build({OneLabel("EXIT\n")});
    rig.Start("S");
    rig.engine->SetTextProcessor(StuckTextProcessor);
    rig.state->SetMessageText("never shown");
    rig.engine->BeginFrame(50);
    EXPECT_FALSE(rig.engine->Run());
    EXPECT_TRUE(rig.engine->BudgetSpent());
    rig.engine->SetTextProcessor(nullptr);
    rig.engine->BeginFrame();
    EXPECT_TRUE(rig.engine->Run());
}

}  // namespace
