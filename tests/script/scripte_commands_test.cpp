// The commands on assembled scripts run by the machine against a recording scene: what each
// pops and pushes, what it does to the game state, what it asks of the scene and where the
// machine gives the frame back.
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "game/maint.h"
#include "script/scripte_text.h"
#include "script_host_fake.h"
#include "script_rig.h"

namespace {

struct CommandRig : ScriptRig {
    RecordingHost host;
    CommandRig() {
        BindScriptCommands(*engine);
        engine->SetHost(&host);
    }
    // Runs the body frame by frame as the scene would; "|" marks each frame given back.
    void Play(const std::string& body, const char* speakers = nullptr) {
        if (speakers) dir.Write("SpeakTbl.csv", speakers);
        Build({OneLabel(body + "\n    EXIT\n")});
        Start("S");
        for (int frame = 0; frame < 200; ++frame) {
            const bool halted = engine->Run();
            if (halted || state->Waiting) break;
            host.Log("|");
        }
    }
};

using Check = std::function<void(const GameState&, const SystemData&)>;

struct Case {
    const char* body;
    const char* calls;  // host calls, "|" where the frame was given back
    Check check;
};

void RunCases(const Case* cases, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        SCOPED_TRACE(cases[i].body);
        CommandRig rig;
        rig.Play(cases[i].body);
        EXPECT_EQ(rig.host.Joined(), cases[i].calls);
        if (cases[i].check) cases[i].check(*rig.state, rig.system);
    }
}

TEST(ScriptCommands, EachPopsItsArgumentsAndPushesItsResult) {
    for (int op = kScriptFirstCommand; op <= kScriptLastCommand; ++op) {
        SCOPED_TRACE(op);
        CommandRig rig;
        const ScriptCommandDesc* d = ScriptCommand(op);
        if (!d) {
            rig.Build({OneLabel("    .u16 " + std::to_string(op) + "\n")});
            rig.Start("S");
            EXPECT_THROW(rig.engine->Run(), EGameErr);
            continue;
        }
        std::string body = "    PUSH 12345\n";
        for (uint32_t i = 0; i < d->args; ++i) body += "    PUSH \"a\"\n";
        body += std::string("    ") + d->name + " ...\n    EXIT\n";
        rig.Build({OneLabel(body)});
        rig.Start("S");
        for (uint32_t i = 0; i < d->args + 2; ++i) rig.engine->Step();
        std::vector<int32_t> stack = rig.Stack();
        const bool waits = rig.state->Waiting != 0;
        if (waits) {
            // Select and GoBattle push their value only when the scene resumes them.
            EXPECT_EQ(stack.size(), 1u);
            rig.engine->Resume(77);
            stack = rig.Stack();
            ASSERT_EQ(stack.size(), 2u);
            EXPECT_EQ(stack[1], 77);
        }
        ASSERT_EQ(stack.size(), 1u + d->returns);
        EXPECT_EQ(stack[0], 12345);
    }
}

TEST(ScriptCommands, TextWindowAndWaits) {
    const Case cases[] = {
        {"Text \"ab\"", "MesWinShowHide | MesShow(ab,300) |",
         [](const GameState& s, const SystemData&) {
             EXPECT_EQ(s.TextWindowShown, 1);
             EXPECT_EQ(s.GetPageLine(0), ZRString("ab"));
         }},
        {"TextSpeed 100\nTextShow\nText \"x\\ny\"",
         "MesWinShowHide | MesShow(x,300) | MesNewLine MesShow(y,300) |", nullptr},
        {"TextSpeed 3001\nTextSpeed 3000\nTextShow\nTextShow\nTextHide\nTextHide",
         "MesWinShowHide | MesWinShowHide |",
         [](const GameState& s, const SystemData&) {
             EXPECT_EQ(s.TextSpeed, 3000);
             EXPECT_EQ(s.TextWindowShown, 0);
         }},
        {"NovelMode 5\nNovelMode 1\nNovelMode 0", "ChangeNovelMode | ChangeNovelMode |",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.NovelMode, 0); }},
        {"NewLine\nNewPage\nLocate 2, 3", "MesNewLine MesNewPage MesRestore",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.PageLine, 3); }},
        {"Wait 20\nWait -4", "WaitTime(20) | WaitTime(-4) |", nullptr},
        {"SkipDisable 7\nKeyWait", "WaitClick |",
         [](const GameState& s, const SystemData&) {
             EXPECT_EQ(s.SkipDisabled, 0);
             EXPECT_EQ(s.GetWaitState(), 0);  // the next frame's run clears it
         }},
        {"SkipDisable 7", "",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.SkipDisabled, 1); }},
        {"HideCursor\nHideCursor\nShowCursor\nShowCursor", "UpdateCursorMode UpdateCursorMode",
         nullptr},
        {"Effect 3", "StageEffect(3) |", nullptr},
    };
    RunCases(cases, std::size(cases));
}

TEST(ScriptCommands, Sound) {
    const Case cases[] = {
        {"VoicePos 3, 4\nVoice 12345678\nVoice 5", "VoicePlay(12345678,3,4) VoicePlay(5,0,0)",
         nullptr},
        {"VoiceVol 101\nVoiceVol -1\nVoiceVol 60", "VoiceVolume",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.VoiceVolume, 60); }},
        {"BGMPlayF 5, 1", "BgmPlay(5,1,1)",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.MusicTrack, 5); }},
        {"BGMPlayF -5, 0", "BgmPlay(-5,1,0)",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.MusicTrack, -1); }},
        {"BGMPlay 3\nSongPlayF 7, 0", "BgmPlay(3,1,1) BgmPlay(7,0,0)",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.MusicTrack, -1); }},
        {"BGMPlay 3\nSongPlay 2\nSongStop\nBGMStopF 0\nSongStopF 1\nBGMStop",
         "BgmPlay(3,1,1) BgmPlay(2,0,1) BgmStop(1) BgmStop(0) BgmStop(1) BgmStop(1)",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.MusicTrack, -1); }},
        {"BGMVol 40\nSongVol 30\nSongVol 101", "BgmVolume BgmVolume",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.MusicVolume, 30); }},
        {"SEPos 5, 6\nSEPlay 3\nSEPlay 4\nSEStop\nSEVol 50",
         "SePlay(3,5,6) SePlay(4,0,0) SeStop SeVolume",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.SeVolume, 50); }},
        {"EnvPos 1, 2\nEnvPlayF 9, 1", "EnvPlay(9,1,1,2)",
         [](const GameState& s, const SystemData&) {
             EXPECT_EQ(s.EnvTrack, 9);
             EXPECT_EQ(s.EnvPos[0], 1);
             EXPECT_EQ(s.EnvPos[1], 2);
             EXPECT_EQ(s.EnvNextPos[0], 0);
         }},
        {"EnvPos 1, 2\nEnvPlay 4\nEnvPlay 6\nEnvStopF 0\nEnvVol 7",
         "EnvPlay(4,0,1,2) EnvPlay(6,0,0,0) EnvStop(0) EnvVolume",
         [](const GameState& s, const SystemData&) {
             EXPECT_EQ(s.EnvTrack, -1);
             EXPECT_EQ(s.EnvPos[0], 0);
             EXPECT_EQ(s.EnvVolume, 7);
         }},
        {"EnvPlay 2\nEnvStop\nRainVol 100\nRainVol 101\nFreePlayEnable 5",
         "EnvPlay(2,0,0,0) EnvStop(1) RainVolume",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.RainVolume, 100); }},
    };
    RunCases(cases, std::size(cases));
}

TEST(ScriptCommands, StageAndCharacters) {
    const Case cases[] = {
        {"SetBG 1523\nSetPriority 4\nSetPriority 2\nFadeSpeed 0\nFade 3", "StageTransition(3) |",
         [](const GameState& s, const SystemData& sys) {
             EXPECT_EQ(s.BgShown, 1523);
             EXPECT_EQ(s.PriorityShown, 2);
             EXPECT_EQ(s.FadeSpeed, 100);
             EXPECT_TRUE(sys.GetAlbumBit(23));
         }},
        {"FadeSpeed 0", "",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.FadeSpeed, 1); }},
        {"FadeBG 12, 1\nWhiteOut 2\nSetBlack\nSetWhite\nBlackOut 0",
         "StageTransition(1) | StageTransition(2) | StageTransition(0) |",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.BgShown, 999); }},
        {"SetShowChar 4, 3, 0x210, 4097\nActionChar", "StageApply |",
         [](const GameState& s, const SystemData&) {
             EXPECT_EQ(s.CharShown.ShowId[3], 4);
             EXPECT_EQ(s.CharShown.ShowFlag[3], 1);
             EXPECT_EQ(s.CharStaged.ShowFlag[3], 0);  // moves cleared once committed
         }},
        // Slots 7-15 are refused: no show and, for these commands, no commit either.
        {"ShowCharIL 4, 9\nShowCharCH 4, 15\nSetShowChar 4, 7, 0x210, 4097", "",
         [](const GameState& s, const SystemData&) {
             for (int i = 0; i < 7; ++i) EXPECT_EQ(s.CharStaged.ShowId[i], -1);
         }},
        {"ShowCharIL 4, 0x13\nShowCharCH 5, 1", "StageApply | StageApply |",
         [](const GameState& s, const SystemData&) {
             EXPECT_EQ(s.CharShown.ShowId[3], 4);
             EXPECT_EQ(s.CharShown.ShowId[1], 5);
         }},
        {"ShowCharIL -1, 3\nHideCharIL 0x99\nHideCharID 0x200\nSetHideChar 0x103, 0x200, 4097", "",
         nullptr},
        // The commands that commit in any case.
        {"MoveCharIL 0x105, 0x201\nMoveCharCH 0x105, 0x201\nAllMoveChar 0\nAllHideChar",
         "StageApply | StageApply | StageApply | StageApply |", nullptr},
        {"HideCharIL 0x103", "StageApply |", nullptr},
        {"ChangeChar 0x103, 9\nSetChangeChar 0x103, 9", "", nullptr},
        {"ShowCharCH 4, 3\nSetChangeChar 0x103, -1\nChangeChar 0x103, 9",
         "StageApply | StageTransition(2) |",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.CharShown.ShowId[3], 9); }},
        {"ShowCharCH 4, 1\nShowCharCH 5, 5\nSetMoveChar 0x101, 5, 4097\nActionChar",
         "StageApply | StageApply | StageApply |",
         [](const GameState& s, const SystemData&) {
             EXPECT_EQ(s.CharShown.ShowId[5], 4);
             EXPECT_EQ(s.CharShown.ShowId[1], 5);
         }},
    };
    RunCases(cases, std::size(cases));
}

TEST(ScriptCommands, CalendarWeatherAndRain) {
    const Case cases[] = {
        {"SetDate 1224\nSetTime 1830\nPUSH 0\nGetDate\nSETV\nPUSH 1\nGetMonth\nSETV\nPUSH 2\nGetDay\nSETV\n"
         "PUSH 3\nGetTime\nSETV\nPUSH 4\nGetHour\nSETV\nPUSH 5\nGetMin\nSETV\nAddMin 5790",
         "DateTimeUpdate DateTimeUpdate DateTimeUpdate",
         [](const GameState& s, const SystemData&) {
             const int32_t want[6] = {1224, 12, 24, 1830, 18, 30};
             for (int i = 0; i < 6; ++i) EXPECT_EQ(s.GetValue(i), want[i]) << i;
             EXPECT_EQ(s.Month * 100 + s.Day, 1228);  // 96.5 hours later
             EXPECT_EQ(s.Hour * 100 + s.Minute, 1900);
         }},
        {"SetDate 0101\nAddDay 1\nGetWeek\nSETRES", "DateTimeUpdate DateTimeUpdate",
         [](const GameState& s, const SystemData&) {
             EXPECT_EQ(s.GetResult(), GetWeekdayOf(1, 2));
         }},
        {"DateShow 1\nDateHide 0\nTimeShow 0\nTimeHide 5\nShowPlace 4",
         "DateShow(1) DateHide(0) TimeShow(0) TimeHide(1) PlaceShow",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.PlaceCard, 4); }},
        {"SetWeather 2\nGetWeather\nSETRES", "",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.GetResult(), 2); }},
        {"SetRainPower 10\nSetRainLevel 4", "RainPowerChanged",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.RainPower, 10); }},
        {"SetRainLevel 3\nGetRainLevel\nSETRES", "RainPowerChanged",
         [](const GameState& s, const SystemData&) {
             EXPECT_EQ(s.RainPower, 150);
             EXPECT_EQ(s.GetResult(), 3);
         }},
        {"SetRainPower 120\nAddRainPowLv 1", "RainPowerChanged RainPowerChanged",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.RainPower, 150); }},
        {"SetRainPower 230\nAddRainPowLv 1", "RainPowerChanged RainPowerChanged",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.RainPower, 255); }},
        {"SetRainPower 150\nSubRainPowLv 1", "RainPowerChanged RainPowerChanged",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.RainPower, 149); }},
        {"SetRainPower 20\nSubRainPowLv 1\nSubRainPowLv -1\nAddRainPowLv -1",
         "RainPowerChanged RainPowerChanged",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.RainPower, 0); }},
        {"SetRainPower 20\nAddRainPowLv 100", "RainPowerChanged RainPowerChanged",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.RainPower, 120); }},
        // Sums that would wrap in 32 bits.
        {"SetRainPower 200\nAddRainPower 2147483647\nGetRainPower\nSubRainPower "
         "2147483647\nGetRainPower\n"
         "SubRainPower -2147483648\nGetRainPower\nADD\nADD\nSETRES",
         "RainPowerChanged RainPowerChanged RainPowerChanged RainPowerChanged",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.GetResult(), 255 + 0 + 255); }},
        // With rain on, the sound level follows the power and the host hears of changes only.
        {"SetBG 1005\nFade 0\nSetWeather 2\nSetRainPower 120\nSetRainPower 121\nSetWhite\nFade 0",
         "StageTransition(0) | RainPowerChanged RainSoundUpdate(7) RainPowerChanged "
         "StageTransition(0) |",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.RainSoundLevel, 7); }},
        {"SetStage 12", "", [](const GameState& s, const SystemData&) { EXPECT_EQ(s.Stage, 12); }},
    };
    RunCases(cases, std::size(cases));
}

TEST(ScriptCommands, ChoiceBattleMoviesAndOddsAndEnds) {
    const Case cases[] = {
        {"SetAlbum 1523\nSetAlbum 700\nSetAlbum -1523", "",
         [](const GameState&, const SystemData& sys) {
             for (int b = 0; b < SystemData::kAlbumBits; ++b)
                 EXPECT_EQ(sys.GetAlbumBit(b), b == 23) << b;
         }},
        {"ShowMovie 0\nShowMovie 2147483647\nShowMovie -182",
         "MoviePlay(0) | MoviePlay(2147483647) | MoviePlay(-182) |",
         [](const GameState& s, const SystemData& sys) {
             EXPECT_TRUE(sys.GetAlbumBit(181));
             EXPECT_EQ(s.MovieNo, -182);
         }},
        {"ShowOpening\nShowEnding 3", "OpeningPlay | EndingPlay |",
         [](const GameState& s, const SystemData& sys) {
             EXPECT_TRUE(sys.GetAlbumBit(180));
             EXPECT_TRUE(sys.GetAlbumBit(181));
             EXPECT_EQ(s.MovieNo, 3);
         }},
        {"Random 1\nRandom 0\nRandom -3\nADD\nADD\nSETRES", "",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.GetResult(), 0); }},
        {"ExSelect 5\nSETRES", "",
         [](const GameState& s, const SystemData&) {
             EXPECT_EQ(s.ExSelArg, 5);
             EXPECT_EQ(s.GetResult(), 0);
             EXPECT_FALSE(s.Waiting);
         }},
        {"SpeakPos 17", "SpeakStop",
         [](const GameState& s, const SystemData&) {
             for (int i = 0; i < 7; ++i)
                 EXPECT_EQ(s.SpeakShown[i] + s.SpeakStaged[i], i == 1 ? 2 : 0);
         }},
        {"SpeakPosAll\nSpeakClear\nSpeakOn -5\nSpeakOn 1000\nSpeakOff",
         "SpeakStop SpeakStop SpeakStart(0) SpeakStart(1000) SpeakStop",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.SpeakShown[3], 0); }},
        {"GoTitle\nPUSH 1\nSETRES", "",
         [](const GameState& s, const SystemData&) {
             EXPECT_TRUE(s.Halted);
             EXPECT_EQ(s.GetResult(), 0);
         }},
        {"PUSH 1\nPUSH 0\nPUSH 1\nSETV\nBacklogClear", "",
         [](const GameState& s, const SystemData&) { EXPECT_EQ(s.GetBacklogCount(), 1); }},
    };
    RunCases(cases, std::size(cases));
}

TEST(ScriptCommands, SpeakCharFollowsTheSpeakerTable) {
    CommandRig rig;
    rig.Play("ShowCharCH 4, 1\nShowCharCH 5, 3\nShowCharCH 6, 5\nSpeakChar 2",
             "x,#,#\n#,4,2\n#,5,3\n#,6,2\n");
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(rig.state->SpeakShown[i] + rig.state->SpeakStaged[i], i == 1 || i == 5 ? 2 : 0)
            << i;
    CommandRig none;
    none.Play("ShowCharCH 4, 1\nSpeakPosAll\nSpeakChar -1", "x,#,#\n#,4,-1\n");
    EXPECT_EQ(none.state->SpeakShown[1], 0);
}

TEST(ScriptCommands, SelectWaitsAndTheChoiceReachesTheScript) {
    CommandRig rig;
    rig.state->SetValue(3, 45);
    rig.Play("Select \"go %v3\", \"stay\", \" \", \"\"\nSETRES\nGoBattle 7\nPUSH 9\nSETV");
    EXPECT_EQ(rig.host.Joined(), "SelectStart");
    EXPECT_TRUE(rig.state->Waiting);
    EXPECT_EQ(rig.state->GetWaitState(), 2);
    EXPECT_EQ(rig.state->GetSelectText(0).GetConstStr(), "go\xA3\xB4\xA3\xB5");  // white space goes
    EXPECT_EQ(rig.state->GetSelectText(1), ZRString("stay"));
    EXPECT_EQ(rig.state->GetSelectText(2), ZRString(""));
    EXPECT_FALSE(rig.engine->Run());  // still waiting: nothing runs
    rig.engine->Resume(2);
    EXPECT_FALSE(rig.engine->Run());
    EXPECT_EQ(rig.state->GetResult(), 2);
    EXPECT_EQ(rig.host.Joined(), "SelectStart BattleStart");
    EXPECT_EQ(rig.state->GetWaitState(), 4);
    EXPECT_EQ(rig.state->MovieNo, 7);
    rig.engine->Resume(1);
    EXPECT_TRUE(rig.engine->Run());
    EXPECT_EQ(rig.state->GetValue(1), 9);
}

TEST(ScriptCommands, BadStringIdsRaiseGameErr) {
    for (const char* body : {"PUSH 99\nText ...", "PUSH 0\nPUSH 0\nPUSH 0\nPUSH 99\nSelect ..."}) {
        CommandRig rig;
        rig.Build({OneLabel(std::string(body) + "\nEXIT\n")});
        rig.Start("S");
        EXPECT_THROW(rig.engine->Run(), EGameErr) << body;
    }
}

}  // namespace
