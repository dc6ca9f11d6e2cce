// The main window's life: start-up on the generated data and without it, the failures the
// player is told about, closing while the logic thread waits, and many starts and stops.
#include <SDL.h>

#include <filesystem>

#include "form_harness.h"
#include "platform/displaycore.h"
#include "wait_for.h"

namespace {

std::string Utf8(const std::string& caption, const char* text) {
    return caption + "|" + text;
}

class LifeTest : public FormHarness {};

TEST_F(LifeTest, GameThreadWaitsForFramesUntilTheWindowCloses) {
    WriteData();
    Start(true);
    ASSERT_NE(MainThread.load(), nullptr);
    ASSERT_TRUE(ServiceUntil([this] { return form->GetScreenMode() == smWait; }));
    // Frames run on their own: the clock ticks and the logic thread consumes them.
    ASSERT_TRUE(ServiceUntil([this] { return form->ConsumedTicks.load() >= 3; }));
    EXPECT_TRUE(form->CursorBits && form->CursorBits->Created());
    EXPECT_TRUE(form->WaitBits && form->WaitBits->Created());
    EXPECT_NE(form->SysSEStream[0], nullptr);

    form->Close();
    ASSERT_TRUE(
        ServiceUntil([this] { return form->GetScreenMode() == smClosing && !MainThread.load(); }));
    const auto b = boxes.Boxes();
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0], Utf8("Solvane ～星辰回廊～", "确定要退出游戏吗？"));
    EXPECT_EQ(form->WaitThread, nullptr);
    Stop();
    EXPECT_NE(dir.Read("Solvane.ini").find("FPSMode"), std::string::npos);
}

TEST_F(LifeTest, CancelKeepsTheGameAndFullScreenAsksNothing) {
    WriteData();
    boxes.answer = plat::MsgAnswer::Cancel;
    Start(true);
    ASSERT_TRUE(ServiceUntil([this] { return form->GetScreenMode() == smWait; }));
    form->Close();
    plat::MainQueue::Instance().Service();
    EXPECT_NE(MainThread.load(), nullptr);
    EXPECT_EQ(form->GetScreenMode(), smWait);
    EXPECT_EQ(boxes.Boxes().size(), 1u);

    // The display kind changes under the logic and draw locks, as a display reset does.
    form->LogicLock->Enter();
    form->DrawLock->Enter();
    DisplayKind = 0;
    form->DrawLock->Leave();
    form->LogicLock->Leave();
    form->Close();
    ASSERT_TRUE(ServiceUntil([this] { return !MainThread.load(); }));
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    DisplayKind = kDisplayWindow;
}

TEST_F(LifeTest, StartsWithoutAnyDataFiles) {
    Start();
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(form->GetScreenMode(), smStarted);
    EXPECT_FALSE(form->WaitBits && form->WaitBits->Created());
    EXPECT_EQ(form->SysSEStream[0], nullptr);
    Tick(1);
    form->FrameStep();
    EXPECT_EQ(ScreenAt(10, 10), 0u);
}

TEST_F(LifeTest, OldDisplayLibraryRefusesTheStart) {
    display.probe.library3d8 = false;
    Start();
    const auto b = boxes.Boxes();
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0], Utf8("Error", "DirectX8以上が必要です。"));
    EXPECT_EQ(b[1], Utf8("Error", "1280x720,32bitカラー以上の環境が必要です。"));
    EXPECT_EQ(WorkBitDepth, bdNone);
    EXPECT_EQ(form->GetScreenMode(), smAbandoned);
    EXPECT_EQ(MainThread.load(), nullptr);
    EXPECT_EQ(form->Timer, nullptr);
}

TEST_F(LifeTest, DisplayThatCannotOpenRefusesTheStart) {
    display.failOpen = true;
    Start();
    const auto b = boxes.Boxes();
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0], Utf8("Error", "DirectDrawの初期化に失敗しました。"));
    EXPECT_EQ(form->GetScreenMode(), smAbandoned);
    EXPECT_FALSE(form->Started.load());
}

TEST_F(LifeTest, TallOnlyDisplayCentresThePicture) {
    display.Offer().modes = {{1280, 1024, plat::Xrgb8888()}};
    FullScreenHeight = 1100;  // no such mode: falls back to 1024
    WriteData();
    Start();
    EXPECT_EQ(FullScreenHeight, 1024);
    EXPECT_EQ(PictureOffsetY, 152);
    EXPECT_EQ(DisplayBitDepth, bd32);
    EXPECT_FALSE(Has720Mode);
    EXPECT_TRUE(HasTallMode);
    // Kind 0 has no mode and becomes a window; kind 1 runs at 1280x1024.
    EXPECT_TRUE(form->ResetDisplay(0));
    EXPECT_EQ(DisplayKind, kDisplayWindow);
    EXPECT_TRUE(form->ResetDisplay(1));
    EXPECT_EQ(DisplayKind, 1);
    EXPECT_EQ(form->Display->Height(), 1024);
    form->MouseX.store(640);
    form->MouseY.store(152 + 360);
    form->RenderFull();
    // The cursor sits 152 rows lower on the display than in the picture.
    EXPECT_EQ(ScreenAt(645, 152 + 365), kCursorColour);
    EXPECT_EQ(ScreenAt(645, 365), 0u);
    DisplayKind = kDisplayWindow;
}

// A configured height the display does not offer, 720 among them, falls back to 1024.
TEST_F(LifeTest, UnofferedFullScreenHeightFallsBackTo1024) {
    display.Offer().modes = {{1280, 1024, plat::Xrgb8888()}};
    for (int32_t height : {720, 768, 600}) {
        FullScreenHeight = height;
        TGameForm probe(nullptr, true, "scr_c", "scr_c");
        EXPECT_EQ(FullScreenHeight, 1024) << height;
        EXPECT_EQ(FullScreenSize, ss1280x1024) << height;
        EXPECT_EQ(PictureOffsetY, 152) << height;
        EXPECT_EQ(DisplayBitDepth, bd32) << height;
        EXPECT_FALSE(Has720Mode) << height;
        EXPECT_TRUE(HasTallMode) << height;
    }
}

TEST_F(LifeTest, HundredStartsAndStops) {
    WriteData();
    for (int i = 0; i < 100; ++i) {
        Start(true);
        ASSERT_TRUE(ServiceUntil([this] { return form->GetScreenMode() == smWait; })) << i;
        Stop();
        ASSERT_EQ(MainThread.load(), nullptr);
        ASSERT_EQ(MemMan, nullptr);
        ASSERT_EQ(GameFileMan, nullptr);
    }
    EXPECT_EQ(boxes.Boxes().size(), 100u);
}

TEST_F(LifeTest, HiddenWindowReleasesEverythingOnce) {
    WriteData();
    Start(true);
    ASSERT_TRUE(ServiceUntil([this] { return form->GetScreenMode() == smWait; }));
    form->RequestClose();
    EXPECT_EQ(form->GetScreenMode(), smClosing);
    ASSERT_TRUE(ServiceUntil([this] { return !MainThread.load(); }));
    EXPECT_EQ(form->CursorBits, nullptr);
    EXPECT_EQ(form->ConvertBits, nullptr);
    EXPECT_FALSE(form->Display->Enabled());
    form->FormHide();
    form->Close();
    EXPECT_TRUE(boxes.Boxes().empty());
}

// The close button asks once, and a Cancel keeps the game; the system's quit request (a kill
// or Ctrl+C, which SDL turns into one) ends at once without a box, with or without a logic
// thread, and the settings are still written.
TEST_F(LifeTest, QuitRequestEndsWithoutAskingAndTheCloseButtonAsksOnce) {
    WriteData();
    boxes.answer = plat::MsgAnswer::Cancel;
    for (const bool logicThread : {true, false}) {
        Start(logicThread);
        if (logicThread) {
            ASSERT_TRUE(ServiceUntil([this] { return form->GetScreenMode() == smWait; }));
            SDL_Event close{};
            close.type = SDL_WINDOWEVENT;
            close.window.event = SDL_WINDOWEVENT_CLOSE;
            form->HandleWindowEvent(close);
            plat::MainQueue::Instance().Service();
            EXPECT_EQ(boxes.Boxes().size(), 1u);
            EXPECT_NE(MainThread.load(), nullptr);
            EXPECT_EQ(form->GetScreenMode(), smWait);
        }

        SDL_Event quit{};
        quit.type = SDL_QUIT;
        form->HandleWindowEvent(quit);
        ASSERT_TRUE(ServiceUntil([this] { return !MainThread.load() && !form->CursorBits; }))
            << logicThread;
        EXPECT_FALSE(form->Display->Enabled()) << logicThread;
        EXPECT_EQ(boxes.Boxes().size(), logicThread ? 1u : 0u) << logicThread;
        std::filesystem::remove(dir.Host("Solvane.ini"));
        Stop();
        EXPECT_NE(dir.Read("Solvane.ini").find("FPSMode"), std::string::npos) << logicThread;
        boxes.boxes.clear();
    }
}

}  // namespace
