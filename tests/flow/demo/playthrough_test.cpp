// The demo played from the first start to the exit, as a player would, on the data mkdemo
// makes: the title call and the opening movie, the story read to the choice, both battles,
// a save at a click wait loaded again from the title, the other branch, the ending, the album
// and the music room the ending opens, and the exit question. It is played at the game's
// default frame rate ("Full": ten frames to a tick, the keys landing in whichever comes) and
// once more at one tick a frame. Key frames are written to demo_frames/ in the build
// directory.
#include <cstring>
#include <map>

#include "demo_harness.h"
#include "platform/codepage.h"
#include "scenes/stageu.h"
#include "scenes/subwinu.h"

namespace flowtest {
namespace {

class DemoPlay : public DemoHarness, public ::testing::WithParamInterface<Pacing> {
  protected:
    void SetUp() override {
        DemoHarness::SetUp();
        UsePacing(GetParam());
    }

    struct Trip {
        std::set<std::string> scenes;
        std::vector<int32_t> battles;
        std::vector<int32_t> outcomes;
        bool endingMovie = false, novel = false, rain = false, snow = false, threeOnStage = false;
        bool mask = false, ripple = false;
        bool enemyMoved = false;  // a hit shivered or dashed the enemy off the centre
        int choices = 0, clicks = 0;
        std::set<std::string> speakers;  // UTF-8
        std::set<std::string> backlogSpeakers;  // UTF-8, the lines the backlog brackets
        // At the first click wait after each battle: the stage holds no character.
        std::vector<bool> stageEmptyAfterBattle;
        bool homeFirstSentenceWaits = false;  // the way home stops after its first sentence
        std::map<int32_t, bool> eventPictureClear;  // no character before an event picture
    };

    // At a click wait: the lines the backlog keeps as a speaker's (in "【" and "】") name only
    // those who spoke on the name plate.
    static void CollectBacklogSpeakers(Trip& s) {
        const std::string open = "\xA1\xBE", close = "\xA1\xBF";
        for (int32_t i = 0; i < CurrentState.GetBacklogCount(); ++i) {
            const std::string line = CurrentState.GetBacklogLine(i).c_str();
            if (line.rfind(open, 0) != 0) continue;
            std::string name = line.substr(open.size());
            if (name.size() >= close.size() &&
                name.compare(name.size() - close.size(), close.size(), close) == 0)
                name.resize(name.size() - close.size());
            s.backlogSpeakers.insert(plat::ToUtf8(name, plat::CodePage::Gbk));
        }
    }

    // No character left standing, on the stage or in the game state (which saves and the
    // fade to the title show); one that has left may still be named as leaving.
    bool StageEmpty() const {
        const TStageUnit* stage = AvgUnit->Stage;
        for (int i = 0; i < CharSlots::kSlots; ++i) {
            if (CurrentState.CharShown.ShowId[i] >= 0) return false;
            if (stage && stage->ShownId[i] >= 0) return false;
        }
        return true;
    }
    // StageEmpty, and no slot's panel of any set (shown, second, leaving) on the screen.
    bool NoCharacterShows() const {
        for (int set = 0; AvgUnit->Stage && set < 3; ++set)
            for (int i = 0; i < CharSlots::kSlots; ++i)
                if (AvgUnit->Stage->CharPanel(set, i)->GetVisible()) return false;
        return StageEmpty();
    }

    // At a click wait in the message window: the page's first line is the speaker, and that
    // line alone is on the name plate (narration leaves it empty and the plate closed).
    void CheckNamePlate(Trip& s) {
        const TSubWinUnit* w = AvgUnit->Windows;
        if (!w || CurrentState.NovelMode || !CurrentState.TextWindowShown) return;
        const std::string name = CurrentState.GetPageLine(0).c_str();
        const std::string shown = plat::ToUtf8(name, plat::CodePage::Gbk);
        EXPECT_EQ(std::string(w->MesLine(0)), name) << shown;
        EXPECT_EQ(w->NamePlateTarget(), name.empty() ? -1 : int(name.size() / 2) + 3) << shown;
        if (name.empty()) return;
        const bool first = s.speakers.insert(shown).second;
        RunUntil([w] { return w->NamePlateWidth() == w->NamePlateTarget(); }, 20);
        EXPECT_EQ(w->NamePlateWidth(), w->NamePlateTarget()) << shown;
        EXPECT_TRUE(w->MesNameText->GetVisible()) << shown;
        if (first) KeyFrame("name_plate_" + std::to_string(s.speakers.size()));
    }

    // Plays the story from where it stands until the title is back: OK at every click wait,
    // choice `branch` at the choice, both battles by their keys. `atClick` is called at each
    // click wait before it is answered and may stop the play by returning false.
    bool PlayStory(int branch, Trip& s, const std::function<bool(Trip&)>& atClick = {}) {
        int32_t battleSeen = -1;
        bool afterBattle = false;
        // Frame steps, ten to a tick under the Full pacing.
        for (int f = 0; f < 600000; ++f) {
            if (Finished()) return false;
            if (OnTitle()) return true;
            if (InBattle()) {
                if (battleSeen < 0) {
                    battleSeen = CurrentState.MovieNo;
                    s.battles.push_back(battleSeen);
                    KeyFrame("battle" + std::to_string(battleSeen) + "_start");
                    // Every picture and program the battle names came out of the demo data.
                    for (TNyRGBProgram* frame : BattleUnit->SlotFrame)
                        EXPECT_NE(frame->GetAnimeData(), nullptr);
                    // The enemy stands alone in the centre of the stage.
                    const TNyRGBPanel* enemy = AvgUnit->Stage->CharPanel(0, 3);
                    EXPECT_TRUE(enemy->GetVisible());
                    EXPECT_EQ(enemy->GetOffsetX(), 640 - enemy->GetSizeX() / 2);
                }
                const BattleCore& c = BattleUnit->Core();
                const TNyRGBPanel* enemy = AvgUnit->Stage->CharPanel(0, 3);
                if (c.state == 3 && c.phase == 8 &&
                    enemy->GetOffsetX() != 640 - enemy->GetSizeX() / 2 && !s.enemyMoved) {
                    s.enemyMoved = true;
                    KeyFrame("battle_hit");
                }
                if (c.state == 2 && c.reels[0].state != 0 && s.battles.size() == 1 &&
                    !frames_.count("reels")) {
                    frames_["reels"] = 1;
                    KeyFrame("battle_reels");
                }
                BattleStep();
                continue;
            }
            if (battleSeen >= 0 && Mode() == smAdventure) {
                s.outcomes.push_back(CurrentState.BattleResult);
                battleSeen = -1;
                afterBattle = true;
            }
            if (MovieUnit && MovieUnit->IsOpen()) GiveMovieTime();
            if (MovieUnit && MovieUnit->IsOpen() && Mode() != smAdventure) {
                RunFrames(1);
                continue;
            }
            if (!AvgUnit || Mode() != smAdventure) {
                RunFrames(1);
                continue;
            }
            if (CurrentState.MovieNo == 0 && MovieUnit && MovieUnit->IsPlaying() &&
                CurrentState.GetSceneName() == ZRString("Battle")) {
                if (!s.endingMovie) {
                    RunTicks(60);
                    KeyFrame("ending_movie");
                }
                s.endingMovie = true;
            }
            s.scenes.insert(CurrentState.GetSceneName().c_str());
            if (CurrentState.NovelMode) s.novel = true;
            if (CurrentState.Weather == 2) s.rain = true;
            if (CurrentState.Weather == 3) s.snow = true;
            if (TStageUnit* stage = AvgUnit->Stage) {
                int on = 0;
                for (int32_t id : stage->ShownId) on += id >= 1 && id <= 3;
                if (on == 3 && !s.threeOnStage) {
                    s.threeOnStage = true;
                    RunTicks(20);
                    KeyFrame("three_characters");
                    continue;
                }
                if (SceneState() == asStageMoving) {
                    if (stage->TransKind == 14 || stage->TransKind == 13) s.mask = true;
                    if (stage->TransKind == 11 || stage->TransKind == 12) s.ripple = true;
                }
            }
            switch (SceneState()) {
                case asClickWait:
                    ++s.clicks;
                    CheckNamePlate(s);
                    CollectBacklogSpeakers(s);
                    if (afterBattle) {
                        afterBattle = false;
                        s.stageEmptyAfterBattle.push_back(StageEmpty());
                        KeyFrame("after_battle_" + std::to_string(s.outcomes.size()));
                    }
                    if (const int32_t bg = CurrentState.BgShown; bg == 500 || bg == 501)
                        s.eventPictureClear[bg] = NoCharacterShows();
                    if (CurrentState.NovelMode && PageHas("回家的路上，雨一直下着。")) {
                        // On the page and in the window, before anything turns the page.
                        const std::string want = Gbk("回家的路上，雨一直下着。");
                        for (int i = 0; i < TSubWinUnit::kNovelLines; ++i)
                            if (std::strstr(AvgUnit->Windows->NovelLine(i), want.c_str()))
                                s.homeFirstSentenceWaits = true;
                    }
                    if (atClick && !atClick(s)) return true;
                    Tap(kOk);
                    break;
                case asChoiceWaiting:
                    ++s.choices;
                    RunTicks(16);
                    KeyFrame("choice");
                    if (branch == 0) {
                        // The choice stands on the street in the rain, not on a blank screen:
                        // many colours, and drops that move from frame to frame.
                        EXPECT_GT(Colours(), 30u);
                        std::vector<uint32_t> sky;
                        for (int x = 20; x < 1260; x += 7) sky.push_back(Seen(x, 40));
                        RunTicks(2);
                        int moved = 0;
                        for (int x = 20, i = 0; x < 1260; x += 7, ++i) moved += sky[i] != Seen(x, 40);
                        EXPECT_GT(moved, 0);
                    }
                    for (int i = 0; i <= branch; ++i) Tap(kDown);
                    Tap(kOk);
                    break;
                default:
                    RunFrames(1);
                    break;
            }
        }
        ADD_FAILURE() << "stuck: mode " << int(Mode()) << " scene state " << int(SceneState())
                      << " scene " << CurrentState.GetSceneName().c_str() << " pc "
                      << CurrentState.Pc << " battle " << (BattleUnit ? BattleUnit->Core().state : -1)
                      << " step " << (BattleUnit ? BattleUnit->Core().step : -1);
        KeyFrame("stuck");
        return false;
    }

    // The first and last columns, in its plate, where some block of the panel's picture is not
    // transparent (a picture without alpha is solid throughout).
    static std::pair<int, int> Ink(const TNyRGBPanel* p) {
        const TNyRGBBits* image = p->GetImage();
        const TNyAlpha* alpha = p->GetAlpha();
        int lo = 1 << 20, hi = -1;
        for (int y = 0; image && y < image->Height(); ++y)
            for (int x = 0; x < image->Width(); ++x)
                if (!alpha || alpha->PGet(x, y) != 0) lo = std::min(lo, x), hi = std::max(hi, x);
        return {p->GetOffsetX() + lo, p->GetOffsetX() + hi};
    }
    // Along a plate, left to right, no picture reaches over the next one's first column.
    static void CheckPlate(const std::vector<const TNyRGBPanel*>& row, const char* plate) {
        for (size_t i = 0; i + 1 < row.size(); ++i)
            EXPECT_LT(Ink(row[i]).second, Ink(row[i + 1]).first) << plate << " cell " << i;
    }

    static std::string Gbk(const char* utf8) {
        return plat::FromUtf8(utf8, plat::CodePage::Gbk);
    }
    static bool PageHas(const char* utf8) {
        const std::string want = Gbk(utf8);
        for (int i = 0; i < 16; ++i)
            if (std::string(CurrentState.GetPageLine(i).c_str()).find(want) != std::string::npos)
                return true;
        return false;
    }

    std::map<std::string, int> frames_;
};

TEST_P(DemoPlay, FromTheFirstStartToTheExit) {
    const auto began = std::chrono::steady_clock::now();
    Start(7);
    // First start: the title call, then the opening movie, then the title with its music.
    ASSERT_TRUE(RunUntil([] { return TitleMenu && TitleMenu->CallStep >= 0; }, 200));
    RunTicks(40);
    KeyFrame("title_call");
    ASSERT_TRUE(ToTitle());
    EXPECT_TRUE(sawOpening);
    RunTicks(30);
    KeyFrame("title");
    EXPECT_GT(Colours(), 8u) << "the title picture is on the screen";

    // Start, read into the tour: the first click wait there shows the guide's name line.
    Tap(kOk);
    Trip first;
    struct Mark {
        uint32_t pc = 0;
        std::string page;
        uint32_t corner = 0, window = 0;
    } mark;
    ASSERT_TRUE(PlayStory(0, first, [&](Trip& s) {
        if (CurrentState.GetSceneName() != ZRString("Tour")) return true;
        if (mark.pc == 0) {
            // Saved at the tour's first click wait, then read on.
            RunTicks(5);
            KeyFrame("tour_first_click");
            mark.pc = CurrentState.Pc;
            mark.page = CurrentState.GetPageLine(0).c_str();
            mark.corner = Seen(40, 40);
            mark.window = Seen(1200, 700);
            EXPECT_TRUE(PageHas("小林")) << "%s2 in the name line";
            EXPECT_TRUE(PageHas("一共３个地方")) << "%v5 in the text: "
                                                 << plat::ToUtf8(CurrentState.GetPageLine(0).c_str(), plat::CodePage::Gbk) << "|"
                                                 << plat::ToUtf8(CurrentState.GetPageLine(1).c_str(), plat::CodePage::Gbk);
            EXPECT_TRUE(SaveGameSlot(1));
            const TSubWinUnit* w = AvgUnit->Windows;
            EXPECT_TRUE(w->DateWin->GetVisible() && w->TimeWin->GetVisible());
            CheckPlate({w->DateDigit[0], w->DateDigit[1], w->DateSep, w->DateDigit[2],
                        w->DateDigit[3]},
                       "date");
            CheckPlate({w->TimeDigit[0], w->TimeDigit[1], w->TimeSep, w->TimeDigit[2],
                        w->TimeDigit[3]},
                       "time");
        }
        if (s.novel && !frames_.count("novel")) {
            frames_["novel"] = 1;
            KeyFrame("novel_page");
        }
        if (CurrentState.Weather == 3 && !frames_.count("snow")) {
            frames_["snow"] = 1;
            RunTicks(20);
            KeyFrame("snow");
        }
        if (CurrentState.Weather == 2 && !frames_.count("rain")) {
            frames_["rain"] = 1;
            KeyFrame("rain");
        }
        return true;
    }));
    // GameStart and the campus pass on without a frame of their own.
    EXPECT_EQ(first.scenes, (std::set<std::string>{"Tour", "Battle"}));
    EXPECT_EQ(first.choices, 1);
    EXPECT_TRUE(first.threeOnStage);
    EXPECT_TRUE(first.rain);
    EXPECT_TRUE(first.snow);
    EXPECT_TRUE(first.mask);
    EXPECT_TRUE(first.ripple);
    EXPECT_TRUE(first.endingMovie);
    EXPECT_EQ(first.battles, (std::vector<int32_t>{0, 5}));
    EXPECT_TRUE(first.enemyMoved);
    EXPECT_EQ(first.speakers, (std::set<std::string>{"小林", "老师"}));
    EXPECT_EQ(first.backlogSpeakers, first.speakers);
    // The won battle and the lost one that the story goes on after both leave the stage empty.
    EXPECT_EQ(first.stageEmptyAfterBattle, (std::vector<bool>{true, true}));
    const std::map<int32_t, bool> eventsClear = {{500, true}, {501, true}};
    EXPECT_EQ(first.eventPictureClear, eventsClear);
    // Battle 0 won by the stop keys, battle 5 lost and the story went on.
    ASSERT_EQ(first.outcomes.size(), 2u);
    EXPECT_EQ(first.outcomes[0], 0);
    EXPECT_NE(first.outcomes[1], 0);
    ASSERT_NE(mark.pc, 0u);

    // The ending set system flag 63 and the album bits, and wrote them to "SVSys.sav".
    {
        const std::string bytes = dir.Read("SVSys.sav");
        SystemData sys;
        ReadHistory hist;
        ASSERT_TRUE(DecodeSystemSave(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                     sys, hist));
        EXPECT_TRUE(sys.GetFlag(63));
        EXPECT_TRUE(sys.GetAlbumBit(0));
        EXPECT_TRUE(sys.GetAlbumBit(1));
    }

    // Load slot 1 from the title: the same scene, place, page and stage on the screen.
    ASSERT_TRUE(OnTitle());
    ASSERT_TRUE(LoadFromTitle(1));
    ASSERT_TRUE(RunUntil([this] { return AvgUnit && Mode() == smAdventure; }));
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
    RunTicks(5);
    KeyFrame("tour_loaded");
    EXPECT_EQ(CurrentState.GetSceneName(), ZRString("Tour"));
    EXPECT_EQ(CurrentState.Pc, mark.pc);
    EXPECT_EQ(std::string(CurrentState.GetPageLine(0).c_str()), mark.page);
    EXPECT_EQ(Seen(40, 40), mark.corner);
    EXPECT_EQ(Seen(1200, 700), mark.window);

    // The other branch this time, to the ending again.
    Trip second;
    ASSERT_TRUE(PlayStory(1, second));
    EXPECT_EQ(second.choices, 1);
    EXPECT_NE(first.novel, second.novel) << "one branch reads a novel page, the other not";
    EXPECT_EQ(second.battles.size(), 2u);
    EXPECT_EQ(second.speakers, first.speakers);
    EXPECT_EQ(second.backlogSpeakers, first.speakers);
    EXPECT_EQ(second.stageEmptyAfterBattle, (std::vector<bool>{true, true}));
    EXPECT_EQ(second.eventPictureClear, eventsClear);
    EXPECT_EQ(first.homeFirstSentenceWaits, first.novel);
    EXPECT_EQ(second.homeFirstSentenceWaits, second.novel);

    // The album and the music room open from the title now, and close back into it.
    RunTicks(10);
    Tap(kDown);
    Tap(kDown);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([] { return AlbumMenu != nullptr; }, 200));
    RunTicks(40);
    KeyFrame("album");
    EXPECT_GT(Colours(), 4u);
    for (int i = 0; i < 10 && !OnTitle(); ++i) {
        Tap(kCancel);
        RunUntil([this] { return OnTitle(); }, 40);
    }
    ASSERT_TRUE(OnTitle());
    Tap(kDown);
    Tap(kDown);
    Tap(kDown);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([] { return SoundMenu != nullptr; }, 200));
    RunTicks(40);
    KeyFrame("music_room");
    EXPECT_GT(Colours(), 4u);
    for (int i = 0; i < 10 && !OnTitle(); ++i) {
        Tap(kCancel);
        RunUntil([this] { return OnTitle(); }, 40);
    }
    ASSERT_TRUE(OnTitle());

    // Exit through the question: the settings file is written.
    std::filesystem::remove(dir.Host("Solvane.ini"));
    Tap(kUp);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([] { return DlgUnit && DlgUnit->State == 1; }, 60));
    Tap(kRight);
    Tap(kOk);
    EXPECT_TRUE(RunUntil([this] { return Finished(); }, 100));
    Stop();
    EXPECT_TRUE(std::filesystem::exists(dir.Host("Solvane.ini")));
    EXPECT_TRUE(std::filesystem::exists(dir.Host("SV01.sav")));

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const int64_t ticks = gate.Clock().Ticks();
    std::printf("play-through: %lld frames, %lld ticks in %.1f s, %.0f ticks a second (the real "
                "clock: 30, so %.1fx)\n",
                static_cast<long long>(gate.Frames()), static_cast<long long>(ticks), seconds,
                ticks / seconds, ticks / seconds / 30);
    // The next start finds the save of this one and loads it.
    Start(8);
    ASSERT_TRUE(ToTitle());
    ASSERT_TRUE(LoadFromTitle(1));
    ASSERT_TRUE(RunUntil([this] { return AvgUnit && SceneState() == asClickWait; }));
    EXPECT_EQ(CurrentState.Pc, mark.pc);
}

INSTANTIATE_TEST_SUITE_P(Pacings, DemoPlay, ::testing::Values(Pacing::Full, Pacing::OneTick),
                         [](const ::testing::TestParamInfo<Pacing>& p) {
                             return p.param == Pacing::Full ? "Full" : "OneTickAFrame";
                         });

}  // namespace
}  // namespace flowtest
