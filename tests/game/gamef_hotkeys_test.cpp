// Screenshots (file numbering, the PNG against the presented frame, a failed write, the
// clipboard picture with its stamps and cursor) and the window's hot keys and display-mode
// messages.
#include <SDL.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <stdexcept>

#include "devices/dinputu.h"
#include "fifo_guard.h"
#include "form_harness.h"

namespace {

bool Exists(const std::string& p) {
    return std::filesystem::exists(p);
}

class ShotTest : public FormHarness {
  protected:
    void SetUp() override {
        FormHarness::SetUp();
        WriteData();
        savedPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        tall_ = HasTallMode, wide_ = Has720Mode;
        Start();
        // A gradient, so any shift of rows or columns shows.
        picture.SetBitDepth(bd32);
        picture.SetPixFormat(pf32_888);
        picture.Resize(1280, 720);
        ASSERT_TRUE(picture.Create());
        for (int y = 0; y < 720; ++y)
            picture.BoxFill(0, y, 1279, y, uint32_t(y & 0xFF) << 8 | uint32_t(y >> 2));
        panel.SetImage(&picture);
        panel.SetSizeX(1280);
        panel.SetSizeY(720);
        panel.SetParent(form->RootPanel);
        panel.SetCreated(true);
        form->SetCursorType(-1);
        form->BeginMenuMode();
    }
    void TearDown() override {
        CapEnable = false;
        HasTallMode = tall_, Has720Mode = wide_;
        setenv("PATH", savedPath_.c_str(), 1);
        panel.SetParent(nullptr);
        FormHarness::TearDown();
    }

    // A clipboard tool on PATH that keeps what it is fed.
    std::string FakeClipboard() {
        std::filesystem::create_directories(dir.Host("bin"));
        const std::string out = dir.Host("clip.png");
        {
            std::ofstream s(dir.Host("bin/xclip"));
            s << "#!/bin/sh\ncat > '" << out << "'\n";
        }
        std::filesystem::permissions(dir.Host("bin/xclip"), std::filesystem::perms::owner_all);
        setenv("PATH", (dir.Host("bin") + ":" + savedPath_).c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        return out;
    }

    TNyRGBBits picture;
    TNyRGBPanel panel{nullptr};
    std::string savedPath_;
    bool tall_ = false, wide_ = false;
};

TEST_F(ShotTest, FilesTakeTheFirstFreeNumberAndHoldThePresentedFrame) {
    CapEnable = true;
    dir.Write("Snap000.png", "keep");
    dir.Write("Snap001.png", "keep");
    form->TakeScreenshot(false);
    ASSERT_TRUE(Exists(dir.Host("Snap002.png")));
    std::filesystem::remove(dir.Host("Snap000.png"));
    form->TakeScreenshot(false);
    int w = 0, h = 0;
    const std::vector<uint32_t> shot = DecodePng(dir.Host("Snap000.png"), w, h);
    ASSERT_EQ(w, 1280);
    ASSERT_EQ(h, 720);
    std::vector<uint32_t> screen;
    int32_t sw = 0, sh = 0;
    ASSERT_TRUE(display.Screen().ReadScreen(screen, sw, sh));
    for (uint32_t& p : screen) p &= 0xFFFFFF;
    EXPECT_TRUE(shot == screen);
    std::ifstream kept(dir.Host("Snap001.png"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep");
}

// A FIFO under the first name takes it, as any entry does; it is not opened to find that out.
TEST_F(ShotTest, AFifoTakesItsNameWithoutBeingOpened) {
    CapEnable = true;
    ASSERT_EQ(mkfifo(dir.Host("Snap000.png").c_str(), 0600), 0);
    EXPECT_TRUE(
        ReturnsWithoutAWriter(dir.Host("Snap000.png"), [&] { form->TakeScreenshot(false); }));
    EXPECT_TRUE(Exists(dir.Host("Snap001.png")));
}

TEST_F(ShotTest, AFailedWriteLeavesNoFile) {
    CapEnable = true;
    rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    form->TakeScreenshot(false);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(Exists(dir.Host("Snap000.png")));
}

TEST_F(ShotTest, ClipboardPictureCarriesStampsAndCursorButTheScreenDoesNot) {
    const std::string clip = FakeClipboard();
    form->MouseX.store(400);
    form->MouseY.store(300);
    int w = 0, h = 0;

    form->TakeScreenshot(false);
    const std::vector<uint32_t> plain = DecodePng(clip, w, h);
    ASSERT_EQ(plain.size(), size_t(1280 * 720));
    EXPECT_FALSE(Exists(dir.Host("Snap000.png")));
    // Stamps: bottom left at x 8 and bottom right, each opaque in its 16x16 corner.
    EXPECT_EQ(plain[size_t(710) * 1280 + 10], 0xFFFFFFu);
    EXPECT_EQ(plain[size_t(710) * 1280 + 1280 - 64 + 2], 0xFFFFFFu);
    EXPECT_EQ(plain[size_t(710) * 1280 + 6], picture.PGet(6, 710) & 0xFFFFFF);
    EXPECT_EQ(plain[size_t(300) * 1280 + 405], picture.PGet(405, 300) & 0xFFFFFF);

    // No cursor row shown: Alt+Print Screen gives the same picture.
    form->TakeScreenshot(true);
    EXPECT_TRUE(DecodePng(clip, w, h) == plain);

    form->SetCursorType(0);
    form->TakeScreenshot(true);
    const std::vector<uint32_t> withCursor = DecodePng(clip, w, h);
    ASSERT_EQ(withCursor.size(), plain.size());
    EXPECT_EQ(withCursor[size_t(305) * 1280 + 405], kCursorColour);
    // The live picture is untouched by stamps and cursor.
    EXPECT_EQ(form->ConvertBits->PGet(405, 305), picture.PGet(405, 305));
    EXPECT_EQ(form->ConvertBits->PGet(10, 710), picture.PGet(10, 710));
}

TEST_F(ShotTest, HotKeysActOnlyOnAFocusedShownWindowAndAreNeverInput) {
    CapEnable = true;
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = SDL_SCANCODE_PRINTSCREEN;
    form->Active.store(false);
    form->HandleWindowEvent(e);
    form->Active.store(true);
    form->Minimized.store(true);
    EXPECT_FALSE(form->HandleHotKey(TGameForm::hkScreenshot));
    form->JoinScreenshot();
    EXPECT_FALSE(Exists(dir.Host("Snap000.png")));
    EXPECT_EQ(form->QueuedInput(), 0u);

    form->Minimized.store(false);
    form->HandleWindowEvent(e);
    form->JoinScreenshot();
    EXPECT_TRUE(Exists(dir.Host("Snap000.png")));
    EXPECT_EQ(form->QueuedInput(), 0u);
    EXPECT_EQ(TGameForm::HotKeyOf(e), TGameForm::hkScreenshot);
    e.key.keysym.mod = KMOD_LALT;
    EXPECT_EQ(TGameForm::HotKeyOf(e), TGameForm::hkScreenshotCursor);
    e.key.keysym.scancode = SDL_SCANCODE_RETURN;
    EXPECT_EQ(TGameForm::HotKeyOf(e), TGameForm::hkToggleDisplay);
    e.key.keysym.mod = 0;
    EXPECT_EQ(TGameForm::HotKeyOf(e), TGameForm::hkNone) << "plain Enter is game input";
}

// A press a hot key takes is no input to the widgets or the input unit, also while it repeats
// after Alt is let go, until the key is pressed again; Enter alone is the OK button.
TEST_F(ShotTest, APressAHotKeyTookIsNoInputUntilTheKeyIsPressedAgain) {
    CapEnable = true;
    HasTallMode = Has720Mode = true;
    plat::SetInputBackend(nullptr);  // the SDL keyboard
    for (uint8_t focus : {SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_GAINED}) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = focus;
        form->HandleWindowEvent(e);
    }
    TDInputUnit unit;
    ASSERT_TRUE(unit.Initialize(nullptr));
    ASSERT_TRUE(unit.SetKeyboardEnable(true));
    auto key = [&](bool down, SDL_Scancode sc, uint16_t mod, bool repeat) {  // and a frame's read
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.scancode = sc;
        e.key.keysym.mod = mod;
        e.key.repeat = repeat;
        form->HandleWindowEvent(e);
        unit.Update(1);
    };
    const struct {
        SDL_Scancode key;
        uint16_t mod;
        bool hot;
    } rows[] = {{SDL_SCANCODE_RETURN, KMOD_NONE, false},  {SDL_SCANCODE_RETURN, KMOD_LALT, true},
                {SDL_SCANCODE_KP_ENTER, KMOD_RALT, true}, {SDL_SCANCODE_PRINTSCREEN, KMOD_NONE, true},
                {SDL_SCANCODE_PRINTSCREEN, KMOD_LALT, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.key << " " << r.mod);
        const bool ok = r.key == SDL_SCANCODE_RETURN, print = r.key == SDL_SCANCODE_PRINTSCREEN;
        form->InputQueue.clear();
        key(true, r.key, r.mod, false);
        EXPECT_EQ(unit.IsPush(0), ok && !r.hot);
        key(true, r.key, KMOD_NONE, true);  // Alt let go: the key repeats, then is released
        EXPECT_EQ(unit.IsPress(0), ok && !r.hot);
        key(false, r.key, KMOD_NONE, false);
        EXPECT_EQ(form->QueuedInput() == 0, r.hot);
        form->InputQueue.clear();
        key(true, r.key, KMOD_NONE, false);
        EXPECT_EQ(unit.IsPush(0), ok);
        EXPECT_EQ(form->QueuedInput() == 0, print);
        key(false, r.key, KMOD_NONE, false);
    }
    form->JoinScreenshot();
    EXPECT_TRUE(Exists(dir.Host("Snap003.png")));  // one picture for each Print Screen press
}

// Each press gives a file with the picture of its own moment, also while earlier pictures are
// still being written; a press that finds four pictures waiting says so and gives none.
TEST_F(ShotTest, PressesWhileAPictureIsWrittenGiveTheirOwnPictures) {
    CapEnable = true;
    std::mutex m;
    std::condition_variable cv;
    int writing = 0;
    bool open = false;
    form->ScreenshotWriteGate = [&] {
        std::unique_lock<std::mutex> lock(m);
        ++writing;
        cv.notify_all();
        cv.wait(lock, [&] { return open; });
    };
    const uint32_t marks[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF};
    std::string refused;
    for (int press = 0; press < 6; ++press) {
        picture.BoxFill(
            0, 0, 99, 99,
            picture.TNyRGBtoPixel(ZRRGB{uint8_t(marks[press] >> 16), uint8_t(marks[press] >> 8),
                                        uint8_t(marks[press])}));
        panel.SetModify();
        Tick(1);
        form->FrameStep();
        if (press == 5) testing::internal::CaptureStderr();
        EXPECT_TRUE(form->HandleHotKey(TGameForm::hkScreenshot));
        if (press == 5) refused = testing::internal::GetCapturedStderr();
        // The first picture is being written while the others are pressed.
        std::unique_lock<std::mutex> lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return writing == 1; }));
    }
    EXPECT_NE(refused.find("Screenshot not taken"), std::string::npos) << refused;
    {
        std::lock_guard<std::mutex> lock(m);
        open = true;
    }
    cv.notify_all();
    form->JoinScreenshot();
    form->ScreenshotWriteGate = nullptr;
    for (int press = 0; press < 5; ++press) {
        SCOPED_TRACE(press);
        int w = 0, h = 0;
        const std::vector<uint32_t> shot =
            DecodePng(dir.Host("Snap00" + std::to_string(press) + ".png"), w, h);
        ASSERT_EQ(shot.size(), size_t(1280 * 720));
        EXPECT_EQ(shot[size_t(50) * 1280 + 50], marks[press]);
        EXPECT_EQ(shot[size_t(300) * 1280 + 500], picture.PGet(500, 300) & 0xFFFFFF);
    }
    EXPECT_FALSE(Exists(dir.Host("Snap005.png")));
}

// A picture that cannot be written is dropped with a line on the error output, and the game
// and the worker go on: memory running out while it is written (the gate throws as the encoder
// would), or every name taken between the press and the write.
TEST_F(ShotTest, APictureThatCannotBeWrittenIsDroppedWithAMessage) {
    CapEnable = true;
    const int live = MemMan->Count();
    const struct {
        const char* name;
        std::function<void()> atWrite;
        const char* said;
    } cases[] = {
        {"memory", [] { throw std::bad_alloc(); }, "Screenshot not written"},
        {"names",
         [&] {
             for (int i = 0; i < 999; ++i) {
                 char name[32];
                 std::snprintf(name, sizeof name, "Snap%03d.png", i);
                 dir.Write(name, "taken");
             }
         },
         "Snap998.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form->ScreenshotWriteGate = c.atWrite;
        testing::internal::CaptureStderr();
        EXPECT_TRUE(form->HandleHotKey(TGameForm::hkScreenshot));
        form->JoinScreenshot();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_FALSE(form->ScreenshotBusy());
        EXPECT_EQ(MemMan->Count(), live);
        EXPECT_EQ(form->GetScreenMode(), smMenu);
        std::ifstream first(dir.Host("Snap000.png"));
        EXPECT_NE(std::string(std::istreambuf_iterator<char>(first), {}).substr(0, 4), "\x89PNG");
    }
    form->ScreenshotWriteGate = nullptr;
    std::filesystem::remove(dir.Host("Snap000.png"));
    EXPECT_TRUE(form->HandleHotKey(TGameForm::hkScreenshot));
    form->JoinScreenshot();
    int w = 0, h = 0;
    EXPECT_EQ(DecodePng(dir.Host("Snap000.png"), w, h).size(), size_t(1280 * 720));
}

// A restore handler that throws as the display goes, or as it is back.
struct FailingRestore {
    void OnRestore(bool going) {
        if (going ? before : after) throw std::runtime_error("restore");
    }
    bool before = false, after = false;
};

struct ThrowingResponder : plat::MessageResponder {
    plat::MsgAnswer Ask(const plat::MsgRequest&) override { throw std::runtime_error("asked"); }
};

TEST_F(ShotTest, AltEnterAndModeRequestsSwitchOnlyWhereTheyMay) {
    ASSERT_TRUE(HasTallMode);
    enum Fault { kNone, kBefore, kAfter };  // a restore handler throws out of the switch
    struct Step {
        bool started, tall, wide;
        uint8_t expect;
        Fault fault = kNone;
    };
    const Step steps[] = {
        {false, true, true, kDisplayWindow},  // before the show handler finished: swallowed
        {true, true, true, 1},                // window to the tall mode
        {true, true, true, kDisplayWindow},   // and back
        {true, false, true, 0},               // only 1280x720 is there
        {true, true, true, kDisplayWindow},
        {true, false, false, kDisplayWindow},  // neither: nothing
        // A switch that throws leaves the next press working.
        {true, true, true, kDisplayWindow, kBefore},
        {true, true, true, 1},
        {true, true, true, kDisplayWindow, kAfter},
        {true, true, true, 1},
        {true, true, true, kDisplayWindow},
    };
    FailingRestore restore;
    form->RestoreHandlers.emplace_back(&restore, &FailingRestore::OnRestore);
    for (const Step& s : steps) {
        if (!s.started) form->Started.store(false);
        HasTallMode = s.tall, Has720Mode = s.wide;
        restore.before = s.fault == kBefore;
        restore.after = s.fault == kAfter;
        if (s.fault == kNone) {
            EXPECT_TRUE(form->HandleHotKey(TGameForm::hkToggleDisplay));
        } else {
            EXPECT_THROW(form->HandleHotKey(TGameForm::hkToggleDisplay), std::runtime_error);
        }
        EXPECT_EQ(DisplayKind, s.expect);
        if (!s.started) form->Started.store(true);
    }
    form->RestoreHandlers.clear();
    HasTallMode = Has720Mode = true;
    form->Started.store(true);
    form->WMChangeDisplayMode(3);
    EXPECT_EQ(DisplayKind, kDisplayWindow);
    form->PostDisplayModeRequest(1);
    ASSERT_TRUE(ServiceUntil([] { return DisplayKind == 1; }));
    EXPECT_EQ(form->GetScreenMode(), smMenu);

    // The depth warning belongs to window mode only, once per differing change.
    form->WMDisplayChange(16);
    EXPECT_TRUE(boxes.Boxes().empty());
    form->WMChangeDisplayMode(kDisplayWindow);
    form->WMDisplayChange(32);
    EXPECT_TRUE(boxes.Boxes().empty());
    form->WMDisplayChange(16);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].substr(0, 7), "警告|");

    // A set-up that throws leaves the display down: the next request is still acted on, and a
    // switch that cannot be made closes the game.
    form->WMChangeDisplayMode(1);
    ASSERT_EQ(DisplayKind, 1);
    ThrowingResponder thrower;
    plat::SetMessageResponder(&thrower);
    display.failOpen = true;
    EXPECT_THROW(form->WMChangeDisplayMode(kDisplayWindow), std::runtime_error);
    display.failOpen = false;
    plat::SetMessageResponder(&boxes);
    form->WMChangeDisplayMode(1);
    EXPECT_EQ(form->GetScreenMode(), smClosing);
}

}  // namespace
