// Message variables, the cutting of a message into pieces and control sequences, text speeds,
// read marking and the rain-sound level.
#include "script/scripte_text.h"

#include <gtest/gtest.h>

#include <climits>

#include "script_host_fake.h"
#include "script_rig.h"

namespace {

std::string Expand(const GameState& st, const char* text) {
    return ExpandMessageVars(st, text).GetConstStr();
}

TEST(MessageText, ExpandsVariablesInGbkDigits) {
    GameState st;
    st.SetValue(12, 345);
    st.SetValue(1, -7);
    st.SetResult(INT_MIN);
    st.SetStringVar(3, "a b%v12");
    const struct {
        const char* text;
        std::string out;
    } cases[] = {
        {"a b\tc\r\n", "abc"},
        {"%v12", "\xA3\xB3\xA3\xB4\xA3\xB5"},
        {"[%v1]", "[\xA3\xAD\xA3\xB7]"},
        {"%r",
         "\xA3\xAD\xA3\xB2\xA3\xB1\xA3\xB4\xA3\xB7\xA3\xB4\xA3\xB8\xA3\xB3\xA3\xB6\xA3\xB4\xA3"
         "\xB8"},
        {"%q", "q"},
        {"x%v", "xv"},
        {"%vx", "x"},
        {"%", ""},
        {"%%v12", "\xA3\xB3\xA3\xB4\xA3\xB5"},
        {"%s3!", "a b%v12!"},  // a variable's text is not scanned again
        {"%v64", "\xA3\xB0"},
        // Digit runs too long for a number name nothing.
        {"%v99999999999999999999", "\xA3\xB0"},
        {"%s4294967299", ""},
        {"%v2147483648", "\xA3\xB0"},
        // A double-byte character keeps its second byte even when it looks like white space;
        // half a character at the end goes.
        {"\x81 x", "\x81 x"},
        {"ab\x81", "ab"},
    };
    for (const auto& c : cases) EXPECT_EQ(Expand(st, c.text), c.out) << c.text;
    EXPECT_EQ(GbkWideNumber(0).GetConstStr(), "\xA3\xB0");
    EXPECT_EQ(GbkWideNumber(INT_MAX).Length(), 20);
}

struct TextRig : ScriptRig {
    RecordingHost host;
    TextRig() {
        BindScriptCommands(*engine);
        engine->SetHost(&host);
    }
    // Processes a message until it is empty; the number of steps it took.
    int Drain(const char* text) {
        state->SetMessageText(text);
        int steps = 0;
        while (!state->IsMessageTextEmpty() && steps < 1000) {
            ProcessMessageText(*engine);
            ++steps;
        }
        return steps;
    }
};

TEST(MessageText, PiecesLinesAndPages) {
    const struct {
        const char* text;
        int speed;
        int steps;
        const char* calls;
    } cases[] = {
        {"A\\nB\\pC", 100, 5, "MesShow(A,300) MesNewLine MesShow(B,300) MesNewPage MesShow(C,300)"},
        {"A\\pB\\nC", 3000, 5, "MesShow(A,10) MesNewPage MesShow(B,10) MesNewLine MesShow(C,10)"},
        {"\\n\\nA", 0, 3, "MesNewLine MesNewLine MesShow(A,0)"},
        {"\x81\x79name", 100, 1, "MesShow(\x81\x79name,0)"},
        // The backslash here is the second byte of a double-byte character.
        {"\x95\\nX", 100, 1, "MesShow(\x95\\nX,300)"},
        {"\\q\\", 100, 1, "MesShow(\\q\\,300)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TextRig rig;
        rig.state->TextSpeed = c.speed;
        rig.state->TextWindowShown = 0;
        EXPECT_EQ(rig.Drain(c.text), c.steps);
        EXPECT_EQ(rig.host.Joined(), c.calls);
        EXPECT_EQ(rig.state->TextWindowShown, 1);
        EXPECT_TRUE(rig.engine->BreakSet());
    }
    TextRig rig;
    rig.Drain("ab\\ncd\\pef");
    EXPECT_EQ(rig.state->GetPageLine(0).GetConstStr(), "ef");
    EXPECT_EQ(rig.state->GetBacklogLine(rig.state->GetBacklogCount() - 2).GetConstStr(), "cd");
}

TEST(MessageText, ATextIsMarkedReadOnceShown) {
    ReadHist.Clear();
    TextRig rig;
    // The state marks what was read in the program's history.
    rig.engine->BindState(rig.state.get(), rig.snapshot.get(), &rig.system, &ReadHist);
    rig.Build({OneLabel(
        "    PUSH \"skip\"\n    POP\n    Text \"hello\\nworld\"\n    KeyWait\n    EXIT\n")});
    rig.Start("S");
    EXPECT_FALSE(rig.state->MessageRead);
    int frames = 0;
    while (!rig.engine->Run() && frames < 20) ++frames;
    EXPECT_EQ(rig.host.Joined(),
              "MesWinShowHide MesShow(hello,300) MesNewLine MesShow(world,300) WaitClick");
    // The second time through, the message is known as read when it is set.
    rig.Start("S");
    rig.engine->Step();
    rig.engine->Step();
    rig.engine->Step();
    rig.engine->Step();
    EXPECT_TRUE(rig.state->MessageRead);
    EXPECT_TRUE(ReadHist.IsRead(1u << 16 | static_cast<uint32_t>(rig.state->MessageId)));
    EXPECT_GT(rig.state->MessageId, 0);
    ReadHist.Clear();
}

TEST(MessageText, RainSoundLevel) {
    const struct {
        int weather, power, bg, stored, level;
    } cases[] = {
        {2, 120, 1005, -1, 7}, {2, 120, 5, -1, 2},     {2, 120, 2005, 3, 2}, {2, 120, 998, 7, 7},
        {2, 120, 998, 3, 2},   {2, 120, 1999, -1, -1}, {2, 0, 5, -1, 0},     {1, 120, 5, 2, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.weather << " " << c.power << " " << c.bg << " " << c.stored);
        TextRig rig;
        rig.state->Weather = c.weather;
        rig.state->RainPower = c.power;
        rig.state->BgShown = c.bg;
        rig.state->RainSoundLevel = c.stored;
        UpdateRainSoundLevel(*rig.engine);
        EXPECT_EQ(rig.state->RainSoundLevel, c.level);
        EXPECT_EQ(rig.host.Joined(),
                  c.level == c.stored ? "" : "RainSoundUpdate(" + std::to_string(c.level) + ")");
    }
}

TEST(MessageText, CommitsMoveStagedToShown) {
    TextRig rig;
    GameState& st = *rig.state;
    st.BgStaged = 2601;
    st.PriorityStaged = 3;
    st.SpeakStaged[2] = 1;
    st.CharStaged.ShowId[2] = 40;
    st.CharStaged.MoveFrom[2] = 7;
    st.CharStaged.ShowFlag[2] = 1;
    st.FadeSpeed = 5;
    CommitChars(*rig.engine);
    EXPECT_NE(st.BgShown, 2601);
    EXPECT_EQ(st.CharShown.MoveFrom[2], 7);
    EXPECT_EQ(st.CharStaged.MoveFrom[2], -100);
    EXPECT_EQ(st.FadeSpeed, 5);
    CommitStage(*rig.engine, 4);
    EXPECT_EQ(st.BgShown, 2601);
    EXPECT_EQ(st.PriorityShown, 3);
    EXPECT_EQ(st.SpeakShown[2], 1);
    EXPECT_EQ(st.FadeSpeed, 100);
    EXPECT_TRUE(rig.system.GetAlbumBit(101));  // 2601 is picture 601 of the album
    EXPECT_EQ(rig.host.Joined(), "StageApply StageTransition(4)");
}

}  // namespace
