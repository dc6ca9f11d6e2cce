// The game itself, in its real window with the real frame clock and the configured frame-rate
// mode, played with the keyboard alone through synthetic X key events (xdotool, which sends
// them through the XTest extension): from the first start through the title call and the
// opening movie to the title, Return to start the story, then Return at twelve click waits,
// each after a pause, the choice and the battles answered with Return and Down on the way.
// A press at a click wait is read when the scene leaves that wait within three seconds.
//
// A driver thread presses the keys and looks at the game between frames: it holds the frame
// lock and the logic lock while it reads, so no frame and no script runs meanwhile. It prints
// "read on: N of 12" and ends the game through the window's close request; the exit code is 0
// only when every press was read. Run by keyboard_under_xvfb.sh from a scratch copy of the
// demo data.
#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "flow/gamet.h"
#include "flow/ptitlemenu.h"
#include "game/gamef.h"
#include "game/splashf.h"
#include "platform/messagebox.h"
#include "scenes/avgu.h"
#include "scenes/battleu.h"
#include "scenes/battleu_core.h"
#include "scenes/movieu.h"
#include "scenes/subwinu.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPresses = 12;

// The exit question is answered OK, any other box with its first button.
class Answer : public plat::MessageResponder {
  public:
    plat::MsgAnswer Ask(const plat::MsgRequest& r) override {
        std::fprintf(stderr, "box: %s | %s\n", r.caption.c_str(), r.text.c_str());
        return plat::Offers(r.buttons, plat::MsgAnswer::Ok) ? plat::MsgAnswer::Ok
                                                            : plat::FirstAnswer(r.buttons);
    }
};

// The game as it stands between two frames.
struct Look {
    bool started = false, titleCall = false, onTitle = false, movie = false, story = false;
    bool battle = false, reelStops = false, selecting = false;
    int titleCursor = -1, sceneState = 0, overlay = 0, choice = -1, selected = -1;
    uint32_t pc = 0;
};

// The game's window, handed over by the main thread as it makes the logic thread, after the
// window's locks exist. The global GameForm is the main thread's own: it is set with no lock
// this thread could take, so the driver never reads it.
std::atomic<TGameForm*> theForm{nullptr};

TMainThread* MakeLogicThread(TGameForm* form) {
    theForm.store(form);
    return TGameThread::Create(form);
}

Look Snapshot() {
    Look l;
    TGameForm* form = theForm.load();
    if (!form || !form->Started.load() || !form->FrameLock || !form->LogicLock) return l;
    // The window's lock order: the frame lock, then the logic lock.
    form->FrameLock->Acquire();
    form->LogicLock->Enter();
    l.started = true;
    const uint8_t mode = form->GetScreenMode();
    l.titleCall = TitleMenu && TitleMenu->CallStep >= 0;
    l.onTitle = TitleMenu && mode == smMenu && !AvgUnit && TitleMenu->CallStep < 0 &&
                TitleMenu->RootPanel->GetParent() == form->RootPanel;
    if (TitleMenu) l.titleCursor = TitleMenu->Cursor;
    l.movie = MovieUnit && MovieUnit->IsOpen();
    if (AvgUnit && mode == smAdventure) {
        l.story = true;
        l.sceneState = AvgUnit->SceneState;
        l.overlay = AvgUnit->OverlayLevel;
        l.pc = CurrentState.Pc;
        if (AvgUnit->Windows) l.choice = AvgUnit->Windows->SelectIndex();
    }
    if (BattleUnit && mode == smBattle && BattleUnit->Core().state) {
        const BattleCore& c = BattleUnit->Core();
        l.battle = true;
        l.reelStops = c.state == 2 && c.step == 0 &&
                      (c.reels[0].state == 3 || (c.reels[1].state == 3 && c.reels[0].state == 0) ||
                       (c.reels[2].state == 3 && c.reels[1].state == 0));
        l.selecting =
            (c.state == 4 && (c.step == 2 || c.step == 7)) || (c.state == 5 && c.step == 2);
        l.selected = c.selected;
    }
    form->LogicLock->Leave();
    form->FrameLock->Release();
    return l;
}

bool Run(const std::string& command) {
    return std::system(("xdotool " + command + " >/dev/null 2>&1").c_str()) == 0;
}

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A key held about as long as a finger holds it. The game reads the keys once a frame, so a
// press shorter than the slowest frame (a loaded machine, a sanitizer build) could fall between
// two reads whatever the game does; a fifth of a second is still a short press.
void Press(const char* key) {
    Run(std::string("keydown ") + key);
    Sleep(200);
    Run(std::string("keyup ") + key);
}

template <typename F>
bool WaitUntil(F done, int seconds) {
    const auto until = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < until) {
        if (done()) return true;
        Sleep(20);
    }
    return done();
}

// Gives the game window the keyboard focus (there is no window manager) and puts the pointer
// outside it, so no move of the mouse picks a title item.
bool Focus() {
    if (!Run("mousemove 960 540")) return false;
    Sleep(200);
    FILE* p = popen("xdotool getmouselocation --shell 2>/dev/null", "r");
    if (!p) return false;
    char line[128];
    std::string window;
    while (std::fgets(line, sizeof line, p))
        if (std::string(line).rfind("WINDOW=", 0) == 0) window = std::string(line + 7);
    pclose(p);
    while (!window.empty() && (window.back() == '\n' || window.back() == '\r')) window.pop_back();
    if (window.empty()) return false;
    Run("windowfocus --sync " + window);
    Run("mousemove 1915 1075");
    return true;
}

int moved = 0, pressed = 0;

bool Drive() {
    if (!WaitUntil([] { return Snapshot().started; }, 90)) {
        std::fprintf(stderr, "the game window did not start\n");
        return false;
    }
    if (!Focus()) {
        std::fprintf(stderr, "no window under the pointer to focus\n");
        return false;
    }
    // The title call and the opening movie, each skipped with Return.
    const auto titleBy = Clock::now() + std::chrono::seconds(120);
    for (auto last = Clock::now() - std::chrono::seconds(5); Clock::now() < titleBy;) {
        const Look l = Snapshot();
        if (l.onTitle && !l.movie) break;
        if ((l.titleCall || l.movie) && Clock::now() - last > std::chrono::milliseconds(1500)) {
            std::printf("Return in the %s\n", l.movie ? "opening movie" : "title call");
            Press("Return");
            last = Clock::now();
        }
        Sleep(20);
    }
    const Look title = Snapshot();
    if (!title.onTitle || title.titleCursor != 0) {
        std::fprintf(stderr, "no title with its cursor on the start (cursor %d)\n",
                     title.titleCursor);
        return false;
    }
    Sleep(500);
    Press("Return");
    if (!WaitUntil([] { return Snapshot().story; }, 60)) {
        std::fprintf(stderr, "Return on the title did not start the story\n");
        return false;
    }
    // Twelve presses at click waits, each after a pause. The time for all of them is only a
    // bound that ends a game that went astray (CTest gives the test 900 s): under
    // ThreadSanitizer on a loaded machine the story and its battle alone took over 400 s.
    const auto storyBy = Clock::now() + std::chrono::seconds(650);
    while (pressed < kPresses && Clock::now() < storyBy) {
        const Look l = Snapshot();
        if (l.battle) {
            // The reels stopped and every selection answered with its first item.
            if (l.reelStops || (l.selecting && l.selected == 0))
                Press("Return");
            else if (l.selecting)
                Press("Down");
            Sleep(60);
            continue;
        }
        if (!l.story || l.overlay != 0) {
            Sleep(20);
            continue;
        }
        if (l.sceneState == asChoiceWaiting) {
            Sleep(500);
            Press(l.choice < 0 ? "Down" : "Return");
            Sleep(300);
            continue;
        }
        if (l.sceneState != asClickWait) {
            Sleep(20);
            continue;
        }
        Sleep(1500);
        const Look before = Snapshot();
        if (!before.story || before.sceneState != asClickWait) continue;
        Press("Return");
        ++pressed;
        const bool read = WaitUntil(
            [&] {
                const Look now = Snapshot();
                return !now.story || now.sceneState != asClickWait || now.pc != before.pc;
            },
            3);
        moved += read;
        std::printf("press %d at pc %u: %s\n", pressed, before.pc, read ? "read on" : "lost");
        std::fflush(stdout);
    }
    return true;
}

}  // namespace

int main() {
    DefaultLogicThread = MakeLogicThread;
    Answer answer;
    plat::SetMessageResponder(&answer);
    std::atomic<bool> driven{false};
    std::thread driver([&driven] {
        driven = Drive();
        std::printf("read on: %d of %d\n", moved, kPresses);
        std::fflush(stdout);
        // The window's close request; the exit question is answered OK.
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    });
    const int rc = WinMain();
    driver.join();
    plat::SetMessageResponder(nullptr);
    if (rc != 0) std::fprintf(stderr, "the game ended with %d\n", rc);
    return driven && moved == kPresses && pressed == kPresses ? 0 : 1;
}
