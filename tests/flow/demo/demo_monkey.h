// A monkey on the demo: random logical buttons, mouse moves and clicks from a seed over the
// whole game (title, story, menus, battles, album, music room, saves and loads into the scratch
// folder). The choice of input is random but weighted by the screen it stands on (the title's
// items on the title, the menu bar and the save menu at click waits, the reels' timing in
// battle), so a short run still reaches every screen. The test runs it briefly, the benchmark
// at full length; both judge the same figures. ZR_MONKEY_TRACE prints every change of screen.
#pragma once
#include <array>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <tuple>

#include "demo_harness.h"
#include "scenes/subwinu.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace flowtest {

// The seed whose short run reaches every screen.
inline constexpr uint32_t kMonkeySeed = 2;

inline constexpr Key kMenuKey{0x3F, 0x74};   // F5: the scene's menu bar

enum Screen {
    sTitle,
    sStory,
    sClickWait,
    sChoice,
    sMenuBar,
    sSaveMenu,
    sLoadMenu,
    sConfig,
    sDialog,
    sAlbum,
    sMusicRoom,
    sBattle,
    sMovie,
    sOther,
    kScreens
};
const char* const kScreenNames[kScreens] = {
    "title",  "story",  "click wait", "choice",     "menu bar", "save menu", "load menu",
    "config", "dialog", "album",      "music room", "battle",   "movie",     "other"};

// Collects what the memory manager reports (wrong releases, failed allocations).
struct MemErrors {
    void On(ZRMemMan*, ZRString text) { lines += std::string(text.c_str()) + "\n"; }
    std::string lines;
};

// What a run covered and what went wrong in it: each of the texts is empty in a sound run.
struct MonkeyRun {
    uint32_t seed = 0;
    int steps = 0;
    int64_t frames = 0, ticks = 0;
    double seconds = 0;
    int starts = 0, titles = 0, battles = 0, albums = 0, musicRooms = 0;
    int saves = 0, slots = 0, loads = 0;
    // The memory manager's whole count at the first and the last return to the title, and the
    // same less the kept sound buffers (the figure that must not change).
    int firstCount = -1, lastCount = -1, firstTracked = -1, lastTracked = -1;
    std::array<int, kScreens> seen{};
    std::string err;          // stderr of the game: no "GameErr" in it
    std::string memErrors;    // wrong releases and failed allocations
    std::string countFaults;  // returns to the title holding more or fewer records
    std::string unloadable;   // saves that do not load again

    std::string Summary() const {
        char head[512];
        std::snprintf(
            head, sizeof head,
            "monkey (seed %u): %d steps, %lld frames (%lld ticks) in %.1f s, %d starts, %d returns "
            "to the "
            "title, %d battles, %d album and %d music room visits, %d saves into %d slots, %d "
            "loads, memory manager %d then %d at the title\n  steps by screen:",
            seed, steps, static_cast<long long>(frames), static_cast<long long>(ticks), seconds,
            starts, titles, battles, albums, musicRooms, saves, slots, loads, firstCount,
            lastCount);
        std::string out = head;
        for (int s = 0; s < kScreens; ++s)
            out += std::string(" ") + kScreenNames[s] + " " + std::to_string(seen[size_t(s)]) +
                   (s + 1 < kScreens ? "," : "\n");
        return out;
    }
};

class DemoMonkey : public DemoHarness {
  protected:
    static bool Attached(const MenuScreen* m) {
        return m && m->RootPanel && m->RootPanel->GetParent();
    }

    Screen Where() const {
        // Up from its opening to the end of its closing fade.
        if (DlgUnit && DlgUnit->DlgWin && DlgUnit->DlgWin->GetVisible()) return sDialog;
        if (AlbumMenu) return sAlbum;
        if (SoundMenu) return sMusicRoom;
        if (Attached(SaveMenu)) return SaveMenu->Mode == 0 ? sSaveMenu : sLoadMenu;
        if (Attached(ConfigMenu)) return sConfig;
        if (InBattle()) return sBattle;
        if (OnTitle()) return sTitle;
        if (AvgUnit && Mode() == smAdventure) {
            if (AvgUnit->OverlayLevel == 2) return sMenuBar;
            if (SceneState() == asClickWait) return sClickWait;
            if (SceneState() == asChoiceWaiting) return sChoice;
            if (MovieOpen()) return sMovie;
            return sStory;
        }
        return MovieOpen() ? sMovie : sOther;
    }

    // The sound channels keep their last buffers for the life of the window (one each for the
    // voice, the effect and the environment, four for the system sounds), so how many there
    // are at the title depends on what sounded last; the window keeps a conversion surface
    // only in some display modes. The count at the title leaves them out.
    int Tracked() const {
        int n = MemMan->Count() - (form->ConvertBits != nullptr);
        for (DirectX::TDSoundBuffer* b : form->SysSEBuffer) n -= b != nullptr;
        for (DirectX::TDSoundBuffer* b :
             {form->VoiceBuffer, form->SEBuffer, form->EnvBuffer, form->RainBuffer})
            n -= b != nullptr;
        return n;
    }
    // The live records counted by kind, size and caller: two of these side by side show what
    // stayed behind.
    using Census = std::map<std::tuple<uint8_t, uint32_t, uintptr_t>, int>;
    static Census Count() {
        Census out;
        for (const ZRMemPointer& r : MemMan->Records()) ++out[{r.kind, r.size, r.caller}];
        return out;
    }
    static std::string Change(const Census::key_type& k, int before, int after) {
        const auto [kind, size, caller] = k;
        char where[320] = "?";
#if defined(__SANITIZE_ADDRESS__)
        if (caller)
            __sanitizer_symbolize_pc(reinterpret_cast<void*>(caller + 5), "%F %L", where,
                                     sizeof where);
#endif
        char line[512];
        std::snprintf(line, sizeof line, "  %d -> %d  kind %u size %u from %016" PRIxPTR " %s\n",
                      before, after, kind, size, caller, where);
        return line;
    }

    // Modification times of the slot files, to see a save land.
    std::array<int64_t, 40> SlotTimes() const {
        std::array<int64_t, 40> t{};
        for (int slot = 0; slot < 40; ++slot) {
            char name[32];
            std::snprintf(name, sizeof name, "SV%02d.sav", slot);
            std::error_code ec;
            const auto w = std::filesystem::last_write_time(dir.Host(name), ec);
            t[size_t(slot)] = ec ? 0 : int64_t(w.time_since_epoch().count());
        }
        return t;
    }

    // A logical button held for one frame. The same button again needs a frame released in
    // between to count as a new press; another one does not. Under the Full pacing the press
    // lands in a frame at random among those that share a tick, most of them without one, and
    // the frames run on to the end of that tick, so a press still spends a tick of game time.
    void Hit(Key k) {
        if (k.scan == last_.scan && gate.Frames() == lastFrame_) RunFrames(1);
        const FrameClock c = gate.Clock();
        if (c.pacing() == Pacing::Full)
            RunFrames(static_cast<int>(phase_() % uint32_t(c.StepsPerTick())));
        Press(k);
        last_ = k;
        lastFrame_ = gate.Frames();
        while (c.pacing() == Pacing::Full && gate.Clock().Ticks() == c.Ticks() && !Finished())
            RunFrames(1);
    }
    Key last_{0, 0};
    int64_t lastFrame_ = -1;
    std::mt19937 phase_;

    // The monkey's pause between inputs: a tick of game time, whatever the pacing.
    void Wait() { RunTicks(1); }

    // A logical button at random.
    void AnyKey(std::mt19937& rng) {
        static const Key keys[] = {kOk, kOk, kCancel, kUp, kDown, kLeft, kRight, kCtrl, kMenuKey};
        Hit(keys[rng() % (sizeof keys / sizeof keys[0])]);
    }
    // Any input at all: a key, a click or a move anywhere, or nothing.
    void AnyInput(std::mt19937& rng) {
        const uint32_t r = rng() % 100;
        if (r < 45) {
            AnyKey(rng);
        } else if (r < 65) {
            Click(static_cast<int>(rng() % 1280), static_cast<int>(rng() % 720));
            Wait();
        } else if (r < 85) {
            InputRecord move;
            move.kind = InputRecord::MouseMove;
            move.x = static_cast<int>(rng() % 1280);
            move.y = static_cast<int>(rng() % 720);
            form->PushInput(move);
            Wait();
        } else {
            Wait();
        }
    }
    // One of the keys given, by weight.
    void Weighted(std::mt19937& rng, std::initializer_list<std::pair<Key, int>> choices) {
        int total = 0;
        for (const auto& c : choices) total += c.second;
        int r = static_cast<int>(rng() % uint32_t(total));
        for (const auto& c : choices) {
            if (r < c.second) {
                Hit(c.first);
                return;
            }
            r -= c.second;
        }
    }

    // The monkey from the start of the game for the given number of steps; what it covered
    // and what went wrong.
    MonkeyRun RunMonkey(uint32_t seed, int steps) {
        MonkeyRun run;
        run.seed = seed;
        run.steps = steps;
        const auto began = std::chrono::steady_clock::now();
        std::mt19937 rng(seed);
        phase_.seed(seed);
        testing::internal::CaptureStderr();
        // A player who has seen the ending once: the title offers the music room too.
        {
            SystemData sys;
            sys.SetFlag(63, true);
            std::string bytes;
            if (!EncodeSystemSave(sys, ReadHistory(), bytes))
                run.err += "GameErr: no system save\n";
            WriteFile(dir.Host("SVSys.sav"), bytes);
        }
        MemErrors memErrors;
        auto startGame = [&](int n) {
            Start(n);
            if (MemMan) MemMan->OnError = ZRMemErrorCallback(&memErrors, &MemErrors::On);
        };
        startGame(5);
        // The run's figures, counted in place.
        int &starts = run.starts, &titles = run.titles, &saves = run.saves, &loads = run.loads;
        int &battles = run.battles, &albums = run.albums, &musicRooms = run.musicRooms;
        int &firstCount = run.firstCount, &lastCount = run.lastCount;
        std::array<int, kScreens>& seen = run.seen;
        starts = 1;
        Screen was = kScreens;
        int titleGoal = -1, barGoal = -1, firstTracked = -1;
        Census firstCensus;
        std::array<int64_t, 40> slotTimes = SlotTimes();
        auto savedSlots = [&] {
            int n = 0;
            for (int64_t t : slotTimes) n += t != 0;
            return n;
        };
        for (int step = 0; step < steps; ++step) {
            if (Finished()) {
                // The monkey found the exit: the next start goes on from there.
                Stop();
                startGame(5 + starts++);
                was = kScreens;
            }
            const Screen at = Where();
            ++seen[at];
            if (at != was) {
                if (std::getenv("ZR_MONKEY_TRACE")) std::printf("%d %s\n", step, kScreenNames[at]);
                if (at == sTitle) {
                    ++titles;
                    titleGoal = -1;
                    lastCount = MemMan->Count();
                    run.lastTracked = Tracked();
                    if (firstTracked < 0) {
                        firstTracked = run.firstTracked = Tracked();
                        firstCount = lastCount;
                        firstCensus = Count();
                    } else if (Tracked() != firstTracked) {
                        run.countFaults += "at return " + std::to_string(titles) +
                                           " to the title the memory manager holds " +
                                           std::to_string(Tracked()) +
                                           " records besides the sound buffers, at the first " +
                                           std::to_string(firstTracked) + "\n";
                        Census now = Count();
                        for (const auto& [what, n] : now)
                            if (n != firstCensus[what])
                                run.countFaults += Change(what, firstCensus[what], n);
                        for (const auto& [what, n] : firstCensus)
                            if (n && !now.count(what)) run.countFaults += Change(what, n, 0);
                        firstTracked = Tracked();
                        firstCensus = now;
                    }
                }
                if (at == sMenuBar) barGoal = -1;
                battles += at == sBattle;
                albums += at == sAlbum;
                musicRooms += at == sMusicRoom;
            }
            was = at;
            const uint32_t r = rng() % 100;
            switch (at) {
                case sTitle: {
                    // A goal among the title's items, walked to with the cursor keys.
                    if (r < 5) {
                        AnyInput(rng);
                        break;
                    }
                    if (titleGoal < 0) {
                        // Start, load (rarely while nothing is saved), album, music room, options,
                        // exit; what this run has not seen yet weighs four times as much.
                        const int weights[6] = {25 * (battles ? 1 : 3),
                                                (savedSlots() ? 30 : 4) * (loads ? 1 : 4),
                                                20 * (albums ? 1 : 4),
                                                25 * (musicRooms ? 1 : 4),
                                                6,
                                                1};
                        int w = static_cast<int>(rng() %
                                                 uint32_t(weights[0] + weights[1] + weights[2] +
                                                          weights[3] + weights[4] + weights[5]));
                        titleGoal = 0;
                        while (titleGoal < 5 && w >= weights[titleGoal]) w -= weights[titleGoal++];
                    }
                    if (!TitleMenu->CursorList[titleGoal]->GetVisible()) {
                        titleGoal = -1;
                        Wait();
                    } else if (TitleMenu->Cursor == titleGoal) {
                        titleGoal = -1;
                        Hit(kOk);
                    } else {
                        Hit(kDown);
                    }
                    break;
                }
                case sClickWait:
                    // The menu bar often while few slots hold a save, rarely later, so the story
                    // still goes on to its battles.
                    if (r < (savedSlots() < 3 ? 35u : 8u)) {
                        Hit(kMenuKey);
                    } else if (r < 38) {
                        // Holding the skip key races through the text.
                        input.Press(kCtrl.scan, kCtrl.vk, true);
                        RunTicks(1 + static_cast<int>(rng() % 20));
                        input.Press(kCtrl.scan, kCtrl.vk, false);
                        Wait();
                    } else if (r < 75) {
                        Hit(kOk);
                    } else {
                        AnyInput(rng);
                    }
                    break;
                case sChoice:
                    if (r < 80)
                        Weighted(rng, {{kUp, 1}, {kDown, 1}, {kOk, 2}});
                    else
                        AnyInput(rng);
                    break;
                case sMenuBar: {
                    // A goal on the bar (its save and load sub-menu most often), walked to with the
                    // cursor keys; the bar's own animation is waited out.
                    TSubWinUnit* bar = AvgUnit->Windows;
                    if (r < 10 || !bar) {
                        AnyInput(rng);
                        break;
                    }
                    if (bar->MenuIsMoving()) {
                        Wait();
                        break;
                    }
                    if (barGoal < 0) {
                        // 0 save, 1 load (both under item 0), 4 backlog, 5 config, 6 title, 7
                        // close.
                        static const int kGoals[] = {0, 0, 0, 0, 0, 0, 1, 1, 4, 5, 6, 7};
                        barGoal = kGoals[rng() % (sizeof kGoals / sizeof kGoals[0])];
                    }
                    const int want = bar->MenuIsSub() ? (barGoal <= 1 ? barGoal : 2)
                                                      : (barGoal <= 1 ? 0 : barGoal);
                    if (bar->MenuCursor() == want) {
                        Hit(kOk);
                    } else {
                        Hit(kDown);
                    }
                    break;
                }
                case sSaveMenu:
                case sLoadMenu: {
                    // Loading takes a slot that holds a save most of the time, an empty one now
                    // and then.
                    const int32_t sel = SaveMenu->Selected;
                    const bool full = sel >= 0 && sel < TSaveMenu::kSlots &&
                                      SaveMenu->Records[size_t(sel)].exists;
                    std::vector<int> saved;
                    for (int i = 0; i < TSaveMenu::kPerPage; ++i)
                        if (SaveMenu->Records[size_t(SaveMenu->Page * TSaveMenu::kPerPage + i)]
                                .exists)
                            saved.push_back(i);
                    if (r < 10) {
                        AnyInput(rng);
                    } else if (at == sLoadMenu && !saved.empty() && r < 30) {
                        // A click on the thumbnail of a slot that holds a save.
                        const int i = saved[rng() % saved.size()];
                        Click(444 + 192 * (i % 4) + 40, 168 + 151 * (i / 4) + 30);
                        Wait();
                        ++loads;
                    } else if (sel >= 0 && r < (at == sSaveMenu || full ? 45u : 15u)) {
                        loads += at == sLoadMenu && full;
                        Hit(kOk);
                    } else {
                        Weighted(rng, {{kUp, 3},
                                       {kDown, 3},
                                       {kLeft, 3},
                                       {kRight, 3},
                                       {kPagePrev, 1},
                                       {kPageNext, 2},
                                       {kCancel, 3}});
                    }
                    break;
                }
                case sDialog:
                    // Mostly yes: the save goes ahead, the game goes back to the title or ends.
                    if (r < 10)
                        AnyInput(rng);
                    else if (DlgUnit->Selection == 0 && r < 80)
                        Hit(kOk);
                    else
                        Weighted(rng, {{kLeft, 2}, {kRight, 3}, {kOk, 1}, {kCancel, 1}});
                    break;
                case sAlbum:
                case sMusicRoom:
                case sConfig:
                    if (r < 20)
                        Hit(kCancel);
                    else
                        AnyInput(rng);
                    break;
                case sBattle:
                    // Random keys rarely stop a reel in time: most battle frames play it properly,
                    // so the monkey gets past it into the rest of the story.
                    if (BattleUnit->Core().state == 1) {
                        // The intro waits for two movies that run by the wall clock: wait in
                        // larger pieces, so a battle takes fewer steps of the run.
                        std::this_thread::sleep_for(std::chrono::milliseconds(6));
                        if (r < 10)
                            AnyInput(rng);
                        else
                            Wait();
                    } else if (r < 85) {
                        BattleStep();
                    } else {
                        AnyInput(rng);
                    }
                    break;
                case sMovie:
                    GiveMovieTime();
                    if (r < 20)
                        AnyInput(rng);
                    else
                        Wait();
                    break;
                default:
                    if (r < 30)
                        AnyInput(rng);
                    else
                        Wait();
                    break;
            }
            if (at == sSaveMenu || at == sDialog) {
                const auto now = SlotTimes();
                for (size_t i = 0; i < now.size(); ++i)
                    saves += now[i] != slotTimes[i] && now[i] != 0;
                slotTimes = now;
            }
        }
        run.frames = gate.Frames();
        run.ticks = gate.Clock().Ticks();
        Stop();
        run.err += testing::internal::GetCapturedStderr();
        run.memErrors = memErrors.lines;
        // Every slot the monkey saved loads again.
        for (int slot = 0; slot < 40; ++slot) {
            char name[32];
            std::snprintf(name, sizeof name, "SV%02d.sav", slot);
            if (!std::filesystem::exists(dir.Host(name))) continue;
            ++run.slots;
            GameState current, snapshot;
            uint32_t thumbSize = 0;
            std::vector<uint8_t> thumb(1 << 20);
            if (!LoadGameSlotData(slot, &current, &snapshot, thumbSize, thumb.data()))
                run.unloadable += std::string(name) + "\n";
        }
        run.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        return run;
    }
};

}  // namespace flowtest
