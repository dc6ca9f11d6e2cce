// The logic thread's mask transitions in lock step: a test logic thread changes the screen
// while the test feeds it one frame tick at a time and probes each presented frame. With
// ZR_TRANSITION_FRAMES set, every kind's first, middle and last frames are also written as PNG
// files into the build's scratch folder (scratch/transition_frames/), to be looked at.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "form_harness.h"
#include "game/gameeffect.h"
#include "media/zrpng.h"

namespace {

class ScriptThread : public TMainThread {
  public:
    ScriptThread(TGameForm* form, std::function<void(ScriptThread&)> body)
        : TMainThread(form), body_(std::move(body)) {}
    ~ScriptThread() override { Shutdown(); }
    TGameForm* GetForm() { return Form; }

  protected:
    void Execute() override {
        Form->LogicLock->Enter();
        try {
            body_(*this);
        } catch (const EGameEnd&) {
        } catch (const EGameErr& e) {
            // What the flow threads do with a fault of the game's logic: report and close.
            std::fprintf(stderr, "%s\n", e.what());
        }
        Form->LogicLock->Leave();
        Form->RequestClose();
    }

  private:
    std::function<void(ScriptThread&)> body_;
};

constexpr uint32_t kFromColour = 0xC00000;

// An 8-bit picture with the grey palette: 255 on the left half, 0 on the right.
void WriteHalfMask(const std::string& path) {
    std::ofstream f(path, std::ios::binary);
    auto put = [&f](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) f.put(char((v >> (8 * i)) & 0xFF));
    };
    f.write("BM", 2);
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
    std::fill(row.begin(), row.begin() + 640, char(255));
    for (int y = 0; y < 720; ++y) f.write(row.data(), 1280);
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A panel holding a 1280x720 picture of its own.
struct Screen {
    TNyRGBBits bits;
    TNyRGBPanel panel{nullptr};
    explicit Screen(uint32_t colour, bool stripes = false) {
        bits.SetBitDepth(bd32);
        bits.SetPixFormat(pf32_888);
        bits.Resize(1280, 720);
        bits.Create();
        bits.BoxFill(0, 0, 1279, 719, colour);
        if (stripes)
            for (int x = 0; x < 1280; x += 64) bits.BoxFill(x, 0, x + 31, 719, colour ^ 0x3060F0);
        panel.SetImage(&bits);
        panel.SetSizeX(1280);
        panel.SetSizeY(720);
        panel.SetCreated(true);
        panel.SetVisible(true);
    }
};

struct Recorder {
    std::atomic<int> count{0};
    void On(ZRMemMan*, ZRMemPointer) { ++count; }
};

class MaskTransitionTest : public FormHarness {
  protected:
    void SetUp() override {
        FormHarness::SetUp();
        WriteData();
        const std::string pak = dir.Host("scr_c_Pak/");
        for (const char* name : {"FadeMask04_Circle.bmp", "FadeMask09_StripesB.bmp"})
            WriteHalfMask(pak + name);
        // Ripple tables of the shape the game ships: the distance of each offset, one sine
        // period and displacements that grow with the amplitude row.
        std::vector<uint8_t> dist(640 * 360 * 2), sine(256), amp(32 * 255);
        for (int r = 0; r < 360; ++r)
            for (int c = 0; c < 640; ++c) {
                const int d = int(std::sqrt(double(r * r + c * c)));
                dist[(r * 640 + c) * 2] = uint8_t(d);
                dist[(r * 640 + c) * 2 + 1] = uint8_t(d >> 8);
            }
        for (int k = 0; k < 256; ++k) sine[k] = uint8_t(127 + 127 * std::sin(k * 2 * M_PI / 256));
        for (int a = 0; a < 32; ++a)
            for (int s = 0; s < 255; ++s) amp[a * 255 + s] = uint8_t(127 + (s - 127) * a / 124);
        WriteFile(pak + "WaterDistTbl.bin", dist);
        WriteFile(pak + "WaterSinTbl.bin", sine);
        WriteFile(pak + "WaterMultiTbl.bin", amp);
        const uint32_t glow[6] = {0x202020, 0x2040A0, 0xA08020, 0xC0A040, 0x3060C0, 0x30A040};
        for (int i = 0; i < 6; ++i)
            WriteBmp24(pak + kHaloFile[i], i == 0 ? 1280 : 160 + 40 * i,
                       i == 0 ? 720 : 120 + 30 * i, glow[i]);
    }

    // The game ends its logic thread before it tears anything down, and so does the test:
    // asked to close, the thread is joined whatever it is doing, and only then is the window
    // deleted (and the test's pictures with the fixture).
    void TearDown() override {
        StopGame();
        FormHarness::TearDown();
    }
    void StopGame() {
        if (!form) return;
        form->Close();
        form->FormHide();
        Stop();
    }

    // A picture panel that outlives the window.
    Screen& MakeScreen(uint32_t colour, bool stripes = false) {
        screens_.push_back(std::make_unique<Screen>(colour, stripes));
        return *screens_.back();
    }

    // Starts a logic thread that shows `before`, then runs body; frames run only when the
    // test ticks.
    void StartWith(Screen& before, std::function<void(ScriptThread&)> body) {
        form = new TGameForm(nullptr, true, "scr_c", "scr_c");
        GameForm = form;
        form->MakeLogicThread = [this, &before, body](TGameForm* f) {
            return new ScriptThread(f, [this, &before, body](ScriptThread& t) {
                while (!go_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                before.panel.SetParent(t.GetForm()->RootPanel);
                t.BeginMenuMode();
                memBefore_ = MemMan->Count();
                body(t);
                memAfter_ = MemMan->Count();
                finished_ = true;
            });
        };
        form->FormCreate();
        form->FormShow();
        ASSERT_NE(MainThread.load(), nullptr);
        form->Timer->SetEnabled(false);
        form->WaitThread->Stop();
        form->WaitThread->WaitFor();
        // Frames run all the time, but progress moves only on the test's ticks.
        form->FrameRateMode = 2;
        form->MouseX.store(-500);
        form->MouseY.store(-500);
        go_ = true;
    }

    // One tick, and the frame it starts run to its end.
    void Frame() {
        const uint8_t mode = form->GetScreenMode();
        ASSERT_TRUE(mode > smCreated && mode <= smTransition) << int(mode);
        Tick(1);
        // A hang guard only: the frame runs at whatever pace the machine allows.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (form->ConsumedTicks.load() != form->FrameTicks.load() && !finished_.load()) {
            ASSERT_LT(std::chrono::steady_clock::now(), until);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        form->FrameLock->Acquire();
        form->FrameLock->Release();
    }

    void WaitForMode(uint8_t mode) {
        ASSERT_TRUE(
            ServiceUntil([&] { return form->GetScreenMode() == mode || finished_.load(); }));
    }

    // The presented screen. Frames present under the draw lock, so reading under it never
    // meets a frame half copied.
    bool ReadShown(std::vector<uint32_t>& pixels, int32_t& w, int32_t& h) {
        form->DrawLock->Enter();
        const bool ok = display.Screen().ReadScreen(pixels, w, h);
        form->DrawLock->Leave();
        return ok;
    }
    uint32_t ShownAt(int x, int y) {
        std::vector<uint32_t> pixels;
        int32_t w = 0, h = 0;
        if (!ReadShown(pixels, w, h) || x >= w || y >= h) return 0xDEADBEEF;
        return pixels[size_t(y) * w + x] & 0xFFFFFF;
    }

    // Only when asked: the shown screen into the build's scratch folder.
    void SavePicture(const std::string& name) {
        if (!std::getenv("ZR_TRANSITION_FRAMES")) return;
        std::vector<uint32_t> pixels;
        int32_t w = 0, h = 0;
        if (!ReadShown(pixels, w, h)) return;
        std::vector<unsigned char> rgb(size_t(w) * h * 3);
        for (size_t i = 0; i < pixels.size(); ++i) {
            rgb[i * 3] = pixels[i] & 0xFF;
            rgb[i * 3 + 1] = (pixels[i] >> 8) & 0xFF;
            rgb[i * 3 + 2] = (pixels[i] >> 16) & 0xFF;
        }
        const auto out = std::filesystem::path(ZR_SCRATCH_DIR) / "transition_frames";
        std::filesystem::create_directories(out);
        ZRFileStream f((out / name).c_str(), zrfmCreate);
        SavePng(&f, rgb.data(), w, h, pf24_888);
    }

    static constexpr const char* kHaloFile[6] = {"HaloBack.bmp",    "HaloBlueB.bmp",
                                                 "HaloYellowB.bmp", "HaloYellowS.bmp",
                                                 "HaloBlueS.bmp",   "HaloGreen.bmp"};
    std::atomic<bool> go_{false}, finished_{false};
    // Live tracked objects before and after the body.
    std::atomic<int> memBefore_{0}, memAfter_{-1};
    std::vector<std::unique_ptr<Screen>> screens_;
};

// Halves of the screen while the black mask transitions run: the mask is white on the left.
TEST_F(MaskTransitionTest, BlackThroughEachMaskKind) {
    struct Case {
        int8_t number;
        int ticks;     // to the probed middle frame
        bool leftMid;  // left half mid-way: true black, false half-way toward black
        int total;     // ticks to the last frame
    } cases[] = {
        {17, 8, true, 32},    // fine steps: the white half has turned long before the middle
        {22, 8, false, 32},   // coarse steps: half-way
        {40, 16, false, 32},  // a plain cross-fade without any resource
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.number));
        Screen& before = MakeScreen(kFromColour);
        std::atomic<int32_t> result{-1}, speed{-1};
        std::atomic<bool> maskFreed{false};
        StartWith(before, [&](ScriptThread& t) {
            t.Result.store(77);
            t.MaskTransitionToBlack(c.number);
            result = t.Result.load();
            speed = t.MaskSpeed;
            maskFreed = !t.GetForm()->Transition.mask.loaded;
        });
        WaitForMode(smTransition);
        EXPECT_EQ(ShownAt(100, 360), kFromColour);  // the first frame is the captured screen
        EXPECT_EQ(ShownAt(1000, 360), kFromColour);
        for (int i = 0; i < c.ticks; ++i) Frame();
        const uint32_t left = ShownAt(100, 360), right = ShownAt(1000, 360);
        if (c.leftMid) {
            EXPECT_EQ(left, 0u);
        } else {
            EXPECT_GT(left, 0x400000u);
            EXPECT_LT(left, 0x800000u);
        }
        if (c.number != 40) {
            EXPECT_EQ(right, kFromColour);
        }
        for (int i = c.ticks; i < c.total; ++i) Frame();
        EXPECT_EQ(ShownAt(100, 360), 0u);
        EXPECT_EQ(ShownAt(1000, 360), 0u);
        // The frame after the last one ends the transition, tick or not.
        ASSERT_TRUE(ServiceUntil([&] { return finished_.load(); }));
        EXPECT_EQ(result.load(), 77);  // the result from before the transition
        EXPECT_EQ(speed.load(), 100);
        EXPECT_TRUE(maskFreed.load());
        EXPECT_EQ(memAfter_.load(), memBefore_.load());  // both pictures freed
        StopGame();
        go_ = false;
        finished_ = false;
    }
}

// A mask that cannot be loaded changes the screen at once: one line names the file, both
// pictures are freed, and the next transition runs as usual.
TEST_F(MaskTransitionTest, AMaskThatCannotBeLoadedChangesTheScreenAtOnce) {
    const std::string pak = dir.Host("scr_c_Pak/");
    WriteHalfMask(pak + "FadeMask11_Star.bmp");
    std::filesystem::resize_file(pak + "FadeMask11_Star.bmp", 54 + 1024 + 1280 * 100);
    const struct {
        int8_t number;
        const char* line;
    } cases[] = {
        {13, "GameErr: cannot load fade mask \"FadeMask00_BlindR.bmp\"\n"},  // not in the data
        {24, "GameErr: cannot load fade mask \"FadeMask11_Star.bmp\"\n"},    // cut short
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.number));
        Screen& before = MakeScreen(kFromColour);
        std::atomic<int32_t> memFailed{-1};
        std::atomic<bool> begin{false}, failed{false}, next{false};
        StartWith(before, [&](ScriptThread& t) {
            while (!begin.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            t.MaskTransitionToWhite(c.number);
            memFailed = MemMan->Count();
            failed = true;
            while (!next.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            t.MaskTransitionToBlack(17);
        });
        ::testing::internal::CaptureStderr();
        begin = true;
        ASSERT_TRUE(ServiceUntil([&] { return failed.load() || !MainThread.load(); }));
        const std::string err = ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(failed.load()) << err;
        EXPECT_EQ(err, c.line);
        EXPECT_EQ(ShownAt(1000, 360), 0xFFFFFFu);
        EXPECT_EQ(memFailed.load(), memBefore_.load());
        next = true;
        WaitForMode(smTransition);
        for (int i = 0; i < 32; ++i) Frame();
        EXPECT_EQ(ShownAt(1000, 360), 0u);
        ASSERT_TRUE(ServiceUntil([&] { return finished_.load(); }));
        StopGame();
        go_ = false;
        finished_ = false;
    }
}

TEST_F(MaskTransitionTest, ClosingMidTransitionLeavesNothingBehind) {
    Screen& before = MakeScreen(kFromColour);
    Recorder notReleased;
    StartWith(before, [&](ScriptThread& t) { t.MaskTransitionToPanel(12, &before.panel); });
    MemMan->OnNotRelease = ZRMemPointerCallback(&notReleased, &Recorder::On);
    WaitForMode(smTransition);
    for (int i = 0; i < 5; ++i) Frame();
    EXPECT_TRUE(form->Transition.halo.loaded);
    StopGame();
    EXPECT_EQ(notReleased.count.load(), 0);
}

// Every kind through the logic thread, from a striped screen to another; its first, middle
// and last frames are written out.
class EveryKind : public MaskTransitionTest, public ::testing::WithParamInterface<int> {};

TEST_P(EveryKind, RunsToItsEndOnScreen) {
    const int kind = GetParam();
    // The number of each kind, and the ticks to its last frame at the speed used.
    const int8_t numbers[15] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 22, 17};
    const int ticks[15] = {32, 16, 64, 40, 40, 40, 40, 36, 20, 36, 20, 70, 37, 32, 32};
    Screen& before = MakeScreen(0x2050A0, true);
    Screen& after = MakeScreen(0xE0C040, true);
    std::atomic<int> modeAfter{-1};
    StartWith(before, [&](ScriptThread& t) {
        if (kind >= 3 && kind <= 6) t.MaskSpeed = 400;
        t.MaskTransitionToPanel(numbers[kind], &after.panel);
        modeAfter = t.GetForm()->GetScreenMode();
    });
    WaitForMode(smTransition);
    char name[64];
    std::snprintf(name, sizeof name, "kind%02d_first.png", kind);
    SavePicture(name);
    EXPECT_EQ(ShownAt(300, 300), 0x2050A0u);
    for (int i = 1; i <= ticks[kind]; ++i) {
        Frame();
        if (i == ticks[kind] / 2) {
            std::snprintf(name, sizeof name, "kind%02d_middle.png", kind);
            SavePicture(name);
        }
    }
    std::snprintf(name, sizeof name, "kind%02d_last.png", kind);
    SavePicture(name);
    EXPECT_EQ(ShownAt(300, 300), 0xE0C040u);
    EXPECT_EQ(ShownAt(1230, 700), 0xE0C040u ^ 0x3060F0u);
    ASSERT_TRUE(ServiceUntil([&] { return finished_.load(); }));
    EXPECT_EQ(modeAfter.load(), smStarted);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EveryKind, ::testing::Range(0, 15));

}  // namespace
