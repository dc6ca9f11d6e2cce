// The whole game run headless and in lock step. The game's own logic thread runs the title,
// the scenes and the menus as it does in the program, but every frame step, from the logic
// thread or the wait thread, waits at a gate until the test lets one frame through; each frame
// waits for the open movies' decoders to be a step ahead, then adds the frame ticks, the
// milliseconds and the mixed sound its pacing gives (frame_pacing.h): by default one tick, a
// thirtieth of a second, a frame; under the game's "Full" pacing a tick every tenth frame;
// under "15FPS" two ticks a frame. Between frames the game stands still, so the test reads the
// screen mode, the scene, the game state, the globals, stderr and the files written as they
// are after exactly that many frames.
//
// A test picks the pacing before Start() (UsePacing). RunFrames counts frame steps, RunTicks
// and the limits of RunUntil count ticks, so a wait means the same game time under every
// pacing.
//
// Input: logical buttons through the fake keyboard, mouse clicks through the window's input
// queue; either is read by the next frame step, whatever ticks it carries. PressAtZeroTicks
// puts a press in a step that carries none. Data: each test writes what it needs into a
// scratch game directory (scripts are assembled from source there).
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "devices/crisofdec_service.h"
#include "flow/dialogu.h"
#include "flow/gamet.h"
#include "flow/pconfigmenu.h"
#include "flow/psavemenu.h"
#include "flow/ptitlemenu.h"
#include "foundation/zrstream.h"
#include "frame_pacing.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/maint.h"
#include "media/zrpng.h"
#include "scenes/subwin_pictures.h"
#include "platform/audiooutput.h"
#include "platform/clock.h"
#include "platform/inputbackend.h"
#include "platform/mainqueue.h"
#include "platform/memorydisplay.h"
#include "platform/messagebox.h"
#include "platform/moviewrite.h"
#include "scenes/avgu.h"
#include "scenes/battleu.h"
#include "scenes/movieu.h"
#include "tempdir.h"
#include "tools/nyscript.h"

namespace flowtest {

// Answers every box with OK and keeps "caption|text".
class Responder : public plat::MessageResponder {
  public:
    plat::MsgAnswer Ask(const plat::MsgRequest& r) override {
        std::lock_guard<std::mutex> lock(mutex);
        boxes.push_back(r.caption + "|" + r.text);
        return plat::Offers(r.buttons, plat::MsgAnswer::Ok) ? plat::MsgAnswer::Ok
                                                            : plat::FirstAnswer(r.buttons);
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return boxes.size();
    }
    std::mutex mutex;
    std::vector<std::string> boxes;
};

// Set on the game's logic thread, so the gate can tell it from the wait thread.
inline thread_local bool onLogicThread = false;

// The gate every frame step waits at.
class FrameGate {
  public:
    void Pass(TGameForm* form) {
        bool stepping;
        FrameClock::Step step{};
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ++atGate_;
            if (onLogicThread) logicAtGate_ = true;
            cond_.notify_all();
            while (permits_ == 0 && !open_ && !Terminating() && form->GetScreenMode() != smClosing)
                cond_.wait_for(lock, std::chrono::milliseconds(2));
            --atGate_;
            if (onLogicThread) logicAtGate_ = false;
            if (permits_ > 0) {
                --permits_;
                ++frames_;
            }
            stepping = !open_;
            step = clock_.Next();
        }
        if (stepping) WaitForMovies();
        form->FrameTicks.fetch_add(step.ticks);
        if (ticks) ticks->Advance(step.ms);
        if (audio && audio->Mixer() && step.samples) audio->Render(step.samples);
    }

    // Lets one frame through and waits until the game stands still again: the logic thread
    // back at the gate, or finished.
    void Release(const std::function<bool()>& finished) {
        int64_t target;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            target = frames_ + 1;
            ++permits_;
            cond_.notify_all();
        }
        WaitQuiet(target, finished);
    }

    // Waits until `target` frames have run and the game stands still.
    void WaitQuiet(int64_t target, const std::function<bool()>& finished) {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (;;) {
            if (frames_ >= target && permits_ == 0) {
                if (logicAtGate_) return;
                // Only the wait thread is here: the logic thread loads or waits for a voice
                // meanwhile. Its frames pass freely until the logic thread comes back, so the
                // test only ever looks at the game with the logic thread at the gate.
                if (atGate_ > 0) {
                    ++permits_;
                    cond_.notify_all();
                }
            }
            lock.unlock();
            plat::MainQueue::Instance().Service();
            const bool done = finished();
            lock.lock();
            if (done) {
                permits_ = 0;
                return;
            }
            if (std::chrono::steady_clock::now() > limit) {
                ADD_FAILURE() << "the game did not come back to the frame gate";
                permits_ = 0;
                return;
            }
            cond_.wait_for(lock, std::chrono::milliseconds(1));
        }
    }

    // Lets every frame through (shutting down) or none until released (a new start).
    void Open(bool open = true) {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = open;
        permits_ = 0;
        cond_.notify_all();
    }
    int64_t Frames() {
        std::lock_guard<std::mutex> lock(mutex_);
        return frames_;
    }
    // The pacing of the frames from here on; set before the game starts.
    void SetPacing(Pacing p, int32_t stepsPerTick = 10) {
        std::lock_guard<std::mutex> lock(mutex_);
        clock_ = FrameClock(p, stepsPerTick);
    }
    FrameClock Clock() {
        std::lock_guard<std::mutex> lock(mutex_);
        return clock_;
    }

    plat::ManualTicks* ticks = nullptr;
    plat::ManualAudioOutput* audio = nullptr;

    // Movies decode on their own threads at the machine's pace, which the lock step outruns;
    // soundless ones follow the millisecond clock, the others the mixed sound. Before either
    // moves on, every open movie has the picture (and sound) due after the step.
    static void WaitForMovies() {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!ThePlayback().MoviesDecodedAhead(0.034) && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }

  private:
    static bool Terminating() {
        TMainThread* t = MainThread.load();
        return t && t->Terminated();
    }
    std::mutex mutex_;
    std::condition_variable cond_;
    int64_t permits_ = 0;
    int64_t frames_ = 0;
    int atGate_ = 0;
    bool logicAtGate_ = false;
    bool open_ = false;
    FrameClock clock_;
};

// The game's thread, marked so the gate knows it, and telling when it has ended.
class TestGameThread : public TGameThread {
  public:
    explicit TestGameThread(TGameForm* form, std::atomic<bool>* ended)
        : TGameThread(form), ended_(ended) {}
    ~TestGameThread() override { Shutdown(); }

  protected:
    void Execute() override {
        onLogicThread = true;
        TGameThread::Execute();
        ended_->store(true);
    }

  private:
    std::atomic<bool>* ended_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline void WritePicture(const std::string& path, int w, int h, uint32_t rgb) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::vector<unsigned char> colour(size_t(w) * h * 3);
    for (size_t i = 0; i < colour.size(); i += 3) {
        colour[i] = rgb & 0xFF;
        colour[i + 1] = (rgb >> 8) & 0xFF;
        colour[i + 2] = (rgb >> 16) & 0xFF;
    }
    ZRFileStream out(path.c_str(), zrfmCreate);
    SavePng(&out, colour.data(), w, h, pf24_888);
}

// Assembles script sources ("script N" / "scene" lines included) into the game directory.
inline void WriteScripts(const std::string& dir, const std::vector<std::string>& sources) {
    std::vector<nys::Unit> units;
    std::vector<nys::Diag> errors;
    for (size_t i = 0; i < sources.size(); ++i) {
        nys::Unit u;
        if (nys::Assemble("test" + std::to_string(i) + ".nys", sources[i], u, errors))
            units.push_back(std::move(u));
    }
    if (errors.empty()) nys::Link(units, errors);
    for (const nys::Diag& d : errors) ADD_FAILURE() << d.Format();
    for (const nys::Unit& u : units) {
        char name[32];
        std::snprintf(name, sizeof name, "/scr%05u.vnx", u.number);
        WriteFile(dir + name, std::string(u.vnx.begin(), u.vnx.end()));
    }
    const std::vector<uint8_t> table = nys::BuildSceneTable(units);
    WriteFile(dir + "/Scene.tbl", std::string(table.begin(), table.end()));
    WriteFile(dir + "/SpeakTbl.csv", "name,#id,#speaker,!\r\n#hero,1,1\r\n");
}

// Logical buttons on the fake keyboard (scan code, virtual key).
struct Key {
    uint8_t scan, vk;
};
inline constexpr Key kOk{0x1C, 0x0D};
inline constexpr Key kCancel{0x01, 0x1B};
inline constexpr Key kCtrl{0x1D, 0x11};
inline constexpr Key kUp{0xC8, 0x26}, kDown{0xD0, 0x28}, kLeft{0xCB, 0x25}, kRight{0xCD, 0x27};
inline constexpr Key kPagePrev{0x10, 0x51}, kPageNext{0x11, 0x57};  // Q and W: buttons 4 and 5

class FlowHarness : public ::testing::Test {
  protected:
    void SetUp() override {
        char buf[4096];
        oldCwd_ = getcwd(buf, sizeof buf) ? buf : ".";
        ASSERT_EQ(chdir(dir.Host().c_str()), 0);
        plat::SetDisplayBackend(&display);
        plat::SetInputBackend(&input);
        plat::SetMessageResponder(&boxes);
        plat::SetTickSource(&ticks);
        gate.ticks = &ticks;
        plat::SetAudioOutputFactory([this] {
            auto out = std::make_unique<plat::ManualAudioOutput>();
            gate.audio = out.get();
            return std::unique_ptr<plat::AudioOutput>(std::move(out));
        });
        SetConfigFilePath(ZRString(dir.Game("Solvane.ini").c_str()));
        SetSaveDirectory((dir.Game() + "\\").c_str());
        DisplayKind = kDisplayWindow;
        ShowFps = false;
        FramePacer = [this](TGameForm* f) { gate.Pass(f); };
        SetAvailableMemoryProbe([] { return uint64_t{1} << 32; });
        TSaveMenu::LastPage = 0;  // as at a program start
        CurrentState.Reset();
        SceneSnapshot.Reset();
        SysData = SystemData();
        UserSettings = UserConfig();
    }

    void TearDown() override {
        Stop();
        FramePacer = nullptr;
        SetAvailableMemoryProbe({});
        plat::SetAudioOutputFactory({});
        plat::SetTickSource(nullptr);
        plat::SetMessageResponder(nullptr);
        plat::SetInputBackend(nullptr);
        plat::SetDisplayBackend(nullptr);
        SetConfigFilePath(ZRString());
        SetSaveDirectory(ZRString());
        ASSERT_EQ(chdir(oldCwd_.c_str()), 0);
    }

    std::string Data(const std::string& name = "") const { return dir.Host("scr_c_Pak/" + name); }

    // What the window and the title need, and the scripts given.
    void WriteGame(const std::vector<std::string>& scripts) {
        WritePicture(Data("Cursor.png"), 256, 32, 0x00FF00);
        WriteFile(Data("Wait.bmp"), BmpBytes(240, 720));
        WritePicture(Data("Cap_Logo.png"), 64, 16, 0xFFFFFF);
        WritePicture(Data("Cap_Copy.png"), 64, 16, 0xFFFFFF);
        WritePicture(Data("TitleBack.png"), 1280, 720, kTitleColour);
        // The start button reaches down over the window's centre, where Click() presses; the
        // others stay narrow, clear of it.
        WritePicture(Data("TitleStart.png"), 300, 144, 0xC0C0C0);
        for (const char* b : {"TitleLoad.png", "TitleAlbum.png", "TitleSound.png",
                              "TitleOption.png", "TitleExit.png"})
            WritePicture(Data(b), 100, 40, 0xA0A0A0);
        WriteMenuPictures();
        for (const subwin_test::PictureSpec& p : subwin_test::Pictures())
            WritePicture(Data(p.name), p.w, p.h, p.rgb);
        // The title fades in through the noise mask, the configuration through the star, the
        // album and the music room through the windmill.
        for (const char* mask :
             {"FadeMask16_Noise.bmp", "FadeMask11_Star.bmp", "FadeMask14_Windmill.bmp"})
            WriteFile(Data(mask), MaskBytes());
        WriteScripts(Data(), scripts);
        // The stage's flake sheet and its (empty) picture archives: without them the scene
        // cannot be set up.
        WriteFile(Data("Snow.bmp"), BmpBytes(44, 14));
        std::filesystem::create_directories(dir.Host("EvBG_Pak"));
        std::filesystem::create_directories(dir.Host("EvCG_Pak"));
        WriteBattleTables();
    }

    // The pictures of the dialog, the configuration menu and the save menu, plain colours.
    void WriteMenuPictures() {
        struct Pic {
            const char* name;
            int w, h;
            uint32_t rgb;
        };
        static const Pic kPics[] = {
            {"CfmBaseExit.png", 558, 329, 0x404080}, {"CfmBaseSave.png", 558, 329, 0x404080},
            {"CfmBaseTitle.png", 558, 329, 0x404080}, {"CfmYes.png", 200, 100, 0x80C080},
            {"CfmNo.png", 200, 100, 0xC08080},        {"CfmLight.png", 200, 50, 0x202020},
            {"CfgBack.png", 1280, 720, 0x304030},     {"CfgBar.png", 20, 40, 0xE0E0E0},
            {"CfgBaseBGM.png", 600, 50, 0x405040},    {"CfgBaseVoice.png", 600, 50, 0x405040},
            {"CfgBaseSE.png", 600, 50, 0x405040},     {"CfgBaseText.png", 600, 50, 0x405040},
            {"CfgBaseScreen.png", 600, 50, 0x405040}, {"CfgBaseReset.png", 300, 50, 0x405040},
            {"CfgLight.png", 620, 66, 0x101010},      {"CfgLightS.png", 320, 62, 0x101010},
            {"CmBtnBack.png", 120, 60, 0x808080},     {"SaveBG_S.png", 1280, 720, 0x302020},
            {"SaveBG_L.png", 1280, 720, 0x202030},    {"CmTNLight.png", 189, 690, 0x101010},
            {"SaveNew.png", 40, 20, 0xFFFF00},
        };
        for (const Pic& p : kPics) WritePicture(Data(p.name), p.w, p.h, p.rgb);
    }

    // A small movie of `frames` pictures (30 a second) at folder + name; "Movie/" is where the
    // game's movie scene finds it, "Battle/" where the battle finds its cut-ins and effects.
    void WriteMovie(const std::string& name, int frames, const std::string& folder = "Movie/") {
        plat::MovieWriteOptions o;
        o.width = 64;
        o.height = 48;
        o.frames = frames;
        o.bitRate = 200000;
        const auto bytes = plat::WriteMovie(
            o,
            [](int32_t i, uint8_t* bgra, int32_t pitch) {
                for (int y = 0; y < 48; ++y) std::memset(bgra + y * pitch, 40 + i % 100, 64 * 4);
            },
            nullptr);
        ASSERT_FALSE(bytes.empty());
        WriteFile(dir.Host(folder + name), std::string(bytes.begin(), bytes.end()));
    }
    // The movie scene has a movie open (the flow's runner or the scene's).
    bool MovieOpen() const { return MovieUnit && MovieUnit->IsOpen(); }

    // The battle's two tables, without which the game does not start: every reel shows
    // `symbol` all round, and each row of `rows` is a battle record.
    void WriteBattleTables(
        int symbol = 0,
        const std::string& rows = "#,0,4,100,10,0,-1,100,0,60,60,60,0,0,50,50,50,0,0\r\n") {
        std::string reels = "reel";
        for (int c = 0; c < 21; ++c) reels += ",#";
        reels += ",!\r\n";
        for (int r = 0; r < 12; ++r) {
            reels += "#";
            for (int c = 0; c < 21; ++c) reels += "," + std::to_string(symbol);
            reels += "\r\n";
        }
        WriteFile(Data("BtlReel.csv"), reels);
        WriteFile(Data("BtlData.csv"),
                  "no,#n,#ch,#eg,#ed,#miss,#mv,#pg,#set,#r1,#r2,#r3,#rg,#re,#b1,#b2,#b3,#bg,"
                  "#be,!\r\n" +
                      rows);
    }

    // A script file with one scene whose body is `body`.
    static std::string Scene(int number, const std::string& name, const std::string& body) {
        return "script " + std::to_string(number) + "\nscene \"" + name + "\" " + name + "\n" +
               name + ":\n" + body + "\n";
    }

    // Starts the game with GameRandom drawn from the seed; returns when the game first stands
    // at the gate.
    void Start(int seed = 1) {
        GameRandom = ZRRandom();
        for (int i = 0; i < seed; ++i) GameRandom.Rnd();
        ended = false;
        gate.Open(false);
        form = new TGameForm(nullptr, true, "scr_c", "scr_c");
        GameForm = form;
        form->MakeLogicThread = [this](TGameForm* f) { return new TestGameThread(f, &ended); };
        form->FormCreate();
        // The window runs in the frame-rate mode the pacing imitates.
        if (const int mode = gate.Clock().FrameRateMode(); mode >= 0)
            form->FrameRateMode = static_cast<uint8_t>(mode);
        form->FormShow();
        if (form->Timer) form->Timer->SetEnabled(false);
        RunFrames(0);
    }

    bool Finished() { return ended.load() || !form || form->GetScreenMode() == smClosing; }

    void RunFrames(int n) {
        if (n == 0) {
            gate.WaitQuiet(gate.Frames(), [this] { return Finished(); });
            return;
        }
        for (int i = 0; i < n && !Finished(); ++i) gate.Release([this] { return Finished(); });
    }

    // Frames from here on as the pacing gives them (frame_pacing.h); before Start().
    void UsePacing(Pacing p, int32_t stepsPerTick = 10) { gate.SetPacing(p, stepsPerTick); }

    // Runs frame steps until they have carried `n` ticks: the same game time under any pacing.
    void RunTicks(int n) {
        const int64_t until = gate.Clock().Ticks() + n;
        while (gate.Clock().Ticks() < until && !Finished())
            gate.Release([this] { return Finished(); });
    }

    // Runs frames until the predicate holds (checked between frames); false after `limit`
    // ticks' worth of frames.
    bool RunUntil(const std::function<bool()>& done, int limit = 3000) {
        const int64_t steps = gate.Clock().StepsFor(limit);
        for (int64_t i = 0; i < steps; ++i) {
            if (done()) return true;
            if (Finished()) return done();
            gate.Release([this] { return Finished(); });
        }
        return done();
    }

    // A left click in the window's client area, taken by the next frame.
    void Click(int x = 640, int y = 360) {
        InputRecord down;
        down.kind = InputRecord::MouseDown;
        down.x = x, down.y = y, down.button = mbLeft;
        InputRecord up = down;
        up.kind = InputRecord::MouseUp;
        form->PushInput(down);
        form->PushInput(up);
    }

    // Holds a logical button for one frame.
    void Press(Key k) {
        input.Press(k.scan, k.vk, true);
        RunFrames(1);
        input.Press(k.scan, k.vk, false);
    }

    // Runs frames until the next one carries no tick (there is always one within a tick under
    // the Full pacing; under the others, none).
    bool ToZeroTickFrame() {
        const FrameClock c = gate.Clock();
        if (c.pacing() != Pacing::Full) {
            ADD_FAILURE() << "only the Full pacing has frames without a tick";
            return false;
        }
        for (int i = 0; i < c.StepsPerTick() && gate.Clock().NextTicks() != 0; ++i) RunFrames(1);
        return gate.Clock().NextTicks() == 0;
    }
    // A logical button held for exactly one frame that carries no tick, then released.
    void PressAtZeroTicks(Key k) {
        if (ToZeroTickFrame()) Press(k);
    }
    // A left click taken by a frame that carries no tick.
    void ClickAtZeroTicks(int x = 640, int y = 360) {
        if (!ToZeroTickFrame()) return;
        Click(x, y);
        RunFrames(1);
    }

    // The close button: the exit question is answered OK and the game shuts down.
    void CloseWindow() {
        form->Close();
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!(ended.load() && form->GetScreenMode() == smClosing) &&
               std::chrono::steady_clock::now() < limit) {
            plat::MainQueue::Instance().Service();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    void Stop() {
        if (!form) return;
        gate.Open();
        form->Close();
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!(form->GetScreenMode() == smClosing && !MainThread.load()) &&
               std::chrono::steady_clock::now() < limit) {
            plat::MainQueue::Instance().Service();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        form->Close();
        GameForm = nullptr;
        delete form;
        form = nullptr;
    }

    uint8_t Mode() const { return form ? form->GetScreenMode() : 0; }
    uint8_t SceneState() const { return AvgUnit ? AvgUnit->SceneState : 0; }
    // The title waits for the player (its picture attached, the menu mode entered).
    bool OnTitle() const {
        return TitleMenu && Mode() == smMenu && !AvgUnit &&
               TitleMenu->RootPanel->GetParent() == form->RootPanel &&
               form->RootPanel->GetChildCount() == 1;
    }

    // A logical button held for one frame and released for one, so the next press is new.
    void Tap(Key k) {
        Press(k);
        RunFrames(1);
    }

    // The title's items in the order its cursor walks them.
    enum TitleItem { tiStart, tiLoad, tiAlbum, tiMusicRoom, tiConfig, tiExit };
    // On the waiting title, walks the cursor down to the item and presses OK, as a player
    // does; false when the title does not come or the item cannot be reached (hidden).
    bool ChooseOnTitle(TitleItem item) {
        if (!RunUntil([this] { return OnTitle(); })) return false;
        for (int i = 0; i < 6 && TitleMenu->Cursor != item; ++i) Tap(kDown);
        if (TitleMenu->Cursor != item) return false;
        Tap(kOk);
        return true;
    }
    // The save menu attached and waiting for the player.
    bool SaveMenuShown() const {
        return SaveMenu && SaveMenu->RootPanel->GetParent() && Mode() == smMenu;
    }
    // Opens the title's load menu and chooses slot 1-36 there with the keys: the page keys to
    // its page, a direction for the cursor, the directions to its place, then OK.
    bool LoadFromTitle(int32_t slot) {
        if (!ChooseOnTitle(tiLoad) || !RunUntil([this] { return SaveMenuShown(); })) return false;
        const int32_t page = (slot - 1) / TSaveMenu::kPerPage;
        const int32_t place = (slot - 1) % TSaveMenu::kPerPage;
        for (int i = 0; i < 2 && SaveMenu->Page != page; ++i)
            Tap(SaveMenu->Page < page ? kPageNext : kPagePrev);
        if (SaveMenu->Cursor < 0) Tap(kDown);  // the first direction only sets the cursor
        for (int r = 0; r < place / 4; ++r) Tap(kDown);
        for (int c = 0; c < place % 4; ++c) Tap(kRight);
        if (SaveMenu->Page != page || SaveMenu->Cursor != place) return false;
        Tap(kOk);
        return true;
    }

    // Plays from the title into the game by a click, until the scene runs or the title
    // comes back.
    bool StartNewGame() {
        if (!RunUntil([this] { return OnTitle(); })) return false;
        Click();
        return RunUntil([this] { return AvgUnit && Mode() == smAdventure; });
    }

    static constexpr uint32_t kTitleColour = 0x203040;

    TempDir dir;
    plat::MemoryDisplay display;
    plat::FakeInput input;
    plat::ManualTicks ticks{1000};
    Responder boxes;
    FrameGate gate;
    std::atomic<bool> ended{false};
    TGameForm* form = nullptr;

  private:
    // An 8-bit 1280x720 mask with the grey palette, a ramp from left to right.
    static std::string MaskBytes() {
        std::string f;
        auto put = [&f](uint32_t v, int n) {
            for (int i = 0; i < n; ++i) f.push_back(char((v >> (8 * i)) & 0xFF));
        };
        f += "BM";
        put(54 + 1024 + 1280 * 720, 4);
        put(0, 4);
        put(54 + 1024, 4);
        put(40, 4);
        put(1280, 4);
        put(720, 4);
        put(1, 2);
        put(8, 2);
        for (int i = 0; i < 6; ++i) put(i == 4 ? 256 : 0, 4);
        for (int i = 0; i < 256; ++i) put(uint32_t(i) * 0x010101, 4);
        std::string row(1280, '\0');
        for (int x = 0; x < 1280; ++x) row[size_t(x)] = char(x * 256 / 1280);
        for (int y = 0; y < 720; ++y) f += row;
        return f;
    }

    static std::string BmpBytes(int w, int h) {
        std::string f;
        auto put = [&f](uint32_t v, int n) {
            for (int i = 0; i < n; ++i) f.push_back(char((v >> (8 * i)) & 0xFF));
        };
        const uint32_t row = (uint32_t(w) * 3 + 3) & ~3u;
        f += "BM";
        put(54 + row * h, 4);
        put(0, 4);
        put(54, 4);
        put(40, 4);
        put(w, 4);
        put(h, 4);
        put(1, 2);
        put(24, 2);
        for (int i = 0; i < 6; ++i) put(0, 4);
        f.append(size_t(row) * h, '\0');
        return f;
    }

    std::string oldCwd_;
};

}  // namespace flowtest
