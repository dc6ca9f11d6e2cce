// Rendering probed on the presented screen: the widget picture, the cursor drawn on top and
// taken away again, the frame-rate box, and the wait animation's cells.
#include <atomic>
#include <functional>
#include <thread>
#include <utility>

#include "form_harness.h"
#include "platform/clock.h"

namespace {

class RenderTest : public FormHarness {
  protected:
    void SetUp() override {
        FormHarness::SetUp();
        WriteData();
        Start();
        form->FrameRateMode = 2;
    }

    // A shown panel of a red picture, w x h at (x, y).
    static void MakePanel(TNyRGBBits& bits, TNyRGBPanel& p, int w, int h, int x, int y) {
        bits.SetBitDepth(bd32);
        bits.SetPixFormat(pf32_888);
        bits.Resize(w, h);
        ASSERT_TRUE(bits.Create());
        bits.BoxFill(0, 0, w - 1, h - 1, bits.TNyRGBtoPixel(ZRRGB{255, 0, 0}));
        p.SetImage(&bits);
        p.SetSizeX(w);
        p.SetSizeY(h);
        p.SetOffsetX(x);
        p.SetOffsetY(y);
        p.SetCreated(true);
        p.SetVisible(true);
    }
    // The red picture panel under the root, 200x100 at (100, 50) unless told.
    void AddPicture(int w = 200, int h = 100, int x = 100, int y = 50) {
        MakePanel(picture, panel, w, h, x, y);
        panel.SetParent(form->RootPanel);
    }
    // The 200x100 picture changed to one colour.
    void Paint(ZRRGB c) {
        picture.BoxFill(0, 0, 199, 99, picture.TNyRGBtoPixel(c));
        panel.SetModify();
    }
    void Frames(int n = 1) {
        for (int i = 0; i < n; ++i) {
            Tick(1);
            form->FrameStep();
        }
    }
    void TearDown() override {
        panel.SetParent(nullptr);
        layer.SetParent(nullptr);
        FormHarness::TearDown();
    }

    // Keeps the presenter reading the frame handed last while `call` runs, until `call` has
    // been refused those pixels for longer than a frame (a lock that gives up after a frame
    // has given up by then) or has returned.
    void HoldReadAcross(const std::function<void()>& call) {
        plat::MemoryPresenter& screen = display.Screen();
        ASSERT_TRUE(screen.StartReading());
        screen.Hold(false);
        std::atomic<bool> done{false};
        std::thread reader([&] {
            auto refusedAfter = [&](uint64_t count) {
                while (!done.load() && screen.RefusedWrites() <= count)
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
            };
            refusedAfter(screen.RefusedWrites());
            std::this_thread::sleep_for(screen.FramePeriod());
            refusedAfter(screen.RefusedWrites());
            screen.FinishReading();
        });
        call();
        done.store(true);
        reader.join();
    }

    TNyRGBBits picture;
    TNyRGBPanel panel{nullptr};
    // A battle's layer, attached by the test when it begins one.
    TNyRGBBits layerPicture;
    TNyRGBPanel layer{nullptr};
};

TEST_F(RenderTest, WidgetPictureAndCursorReachTheScreen) {
    AddPicture();
    form->MouseX.store(400);
    form->MouseY.store(300);
    form->BeginMenuMode();
    EXPECT_EQ(ScreenAt(150, 100), 0xFF0000u);
    EXPECT_EQ(ScreenAt(99, 49), 0x000000u);
    // The cursor's opaque corner is drawn at the mouse; the render target stays clean.
    EXPECT_EQ(ScreenAt(405, 305), kCursorColour);
    EXPECT_EQ(ScreenAt(425, 325), 0x000000u);
    ASSERT_NE(form->ConvertBits, nullptr);
    EXPECT_EQ(form->ConvertBits->PGet(405, 305) & 0xFFFFFF, 0u);

    // Moving the mouse over the picture: the old place is repaired, the new one shows it.
    form->MouseX.store(150);
    form->MouseY.store(100);
    Tick(1);
    form->FrameStep();
    EXPECT_EQ(ScreenAt(405, 305), 0x000000u);
    EXPECT_EQ(ScreenAt(155, 105), kCursorColour);
    EXPECT_EQ(ScreenAt(175, 125), 0xFF0000u);
    EXPECT_EQ(form->ConvertBits->PGet(155, 105) & 0xFFFFFF, 0xFF0000u);

    // A changed widget is repainted by the dirty-rectangle render.
    picture.BoxFill(0, 0, 199, 99, picture.TNyRGBtoPixel(ZRRGB{0, 0, 255}));
    panel.SetModify();
    Tick(1);
    form->FrameStep();
    EXPECT_EQ(ScreenAt(250, 120), 0x0000FFu);

    // Hidden cursor: nothing drawn, but its old place is still repaired.
    form->SetCursorType(-1);
    Tick(1);
    form->FrameStep();
    EXPECT_EQ(ScreenAt(155, 105), 0x0000FFu);
}

TEST_F(RenderTest, UnchangedFrameIsNotPresentedAgain) {
    form->MouseX.store(400);
    form->MouseY.store(300);
    form->BeginMenuMode();
    Tick(1);
    form->FrameStep();
    display.Screen().ResetCounts();
    Tick(1);
    form->FrameStep();
    EXPECT_EQ(display.Screen().Uploads(), 0);
    // A moved cursor, or a cursor of another type, is presented.
    form->MouseX.store(410);
    Tick(1);
    form->FrameStep();
    EXPECT_GT(display.Screen().Uploads(), 0);
    EXPECT_EQ(ScreenAt(415, 305), kCursorColour);
    EXPECT_EQ(ScreenAt(405, 305), 0u);
    display.Screen().ResetCounts();
    form->SetCursorType(-1);
    Tick(1);
    form->FrameStep();
    EXPECT_GT(display.Screen().Uploads(), 0);
    EXPECT_EQ(ScreenAt(415, 305), 0u);

    // The frame-rate box is presented again only when its value changes.
    plat::ManualTicks clock(50000);
    plat::SetTickSource(&clock);
    ShowFps = true;
    form->RenderModified(1);
    display.Screen().ResetCounts();
    form->RenderModified(1);
    EXPECT_EQ(display.Screen().Uploads(), 0);
    // Frames in the next quarter seconds change the value.
    for (int i = 0; i < 3; ++i) {
        clock.Advance(250);
        form->RenderModified(1);
    }
    EXPECT_GT(form->Fps.Value(), 0);
    EXPECT_GT(display.Screen().Uploads(), 0);
    ShowFps = false;
    plat::SetTickSource(nullptr);
}

// A widget change wholly inside the resting cursor's box adds nothing to the changed area,
// yet it was drawn and must be shown.
TEST_F(RenderTest, ChangeUnderTheRestingCursorIsPresented) {
    AddPicture(10, 10, 420, 320);
    form->MouseX.store(400);
    form->MouseY.store(300);
    form->BeginMenuMode();
    Tick(1);
    form->FrameStep();
    ASSERT_EQ(ScreenAt(425, 325), 0xFF0000u);
    picture.BoxFill(0, 0, 9, 9, picture.TNyRGBtoPixel(ZRRGB{0, 0, 255}));
    panel.SetModify();
    Tick(1);
    form->FrameStep();
    EXPECT_EQ(ScreenAt(425, 325), 0x0000FFu);
    EXPECT_EQ(ScreenAt(405, 305), kCursorColour);
}

// A screen that lost its picture (a window's new surface or texture) gets it whole again at
// the next frame step, even when nothing in the picture moved.
TEST_F(RenderTest, StillScreenThatLostItsPictureIsPaintedAgain) {
    AddPicture();
    form->MouseX.store(400);
    form->MouseY.store(300);
    form->BeginMenuMode();
    Tick(1);
    form->FrameStep();
    ASSERT_EQ(ScreenAt(150, 100), 0xFF0000u);
    display.Screen().LoseScreen();
    ASSERT_EQ(ScreenAt(150, 100), 0xA5A5A5u);
    Tick(1);
    form->FrameStep();
    EXPECT_EQ(ScreenAt(150, 100), 0xFF0000u);
    EXPECT_EQ(ScreenAt(1000, 600), 0x000000u);
    EXPECT_EQ(ScreenAt(405, 305), kCursorColour);
}

TEST_F(RenderTest, FrameRateBoxDarkensTheCornerAndComesOffTheTarget) {
    AddPicture();
    panel.SetOffsetX(1080);
    panel.SetOffsetY(0);
    ShowFps = true;
    form->BeginMenuMode();
    const uint32_t shown = ScreenAt(1200, 24);
    EXPECT_EQ(shown, 0x7F0000u);  // red at tone 0x40 is halved, rounded down
    EXPECT_EQ(ScreenAt(1180, 10), 0xFF0000u);
    EXPECT_EQ(form->ConvertBits->PGet(1200, 24) & 0xFFFFFF, 0xFF0000u);
    ShowFps = false;
}

struct DrawCounter {
    void Draw(TNyRGBBits*, int) { ++count; }
    int count = 0;
};

TEST_F(RenderTest, RenderGateSkipsAConcurrentRender) {
    DrawCounter draws;
    form->SetOnDraw(ZRBaseCallback2<void, TNyRGBBits*, int>(&draws, &DrawCounter::Draw));
    form->RenderFull();
    EXPECT_EQ(draws.count, 1);
    form->RenderGate->Acquire();
    std::thread other([this] { form->RenderFull(); });
    other.join();
    EXPECT_EQ(draws.count, 1);
    // The holder itself may render inside its hold.
    form->RenderFull();
    EXPECT_EQ(draws.count, 2);
    form->RenderGate->Release();

    // A mode's opening whole frame that finds the gate taken is owed to the next frame step.
    TWaitThread* waiter = std::exchange(form->WaitThread, nullptr);  // frames stay in lock step
    const std::function<void()> begins[] = {
        [this] { form->BeginMenuMode(); }, [this] { form->BeginBattleMode(); },
        [this] { form->BeginAvgMode(); }, [this] { form->BeginWaitMode(); }};
    for (const auto& begin : begins) {
        SCOPED_TRACE(&begin - begins);
        form->ScreenMode.store(smStarted);
        const int before = draws.count;
        form->RenderGate->Acquire();
        std::thread(begin).join();
        form->RenderGate->Release();
        EXPECT_TRUE(form->FullRenderPending.load());
        Frames();
        EXPECT_EQ(draws.count, before + 1);
    }
    form->WaitThread = waiter;
    form->ScreenMode.store(smStarted);
    form->SetOnDraw(ZRBaseCallback2<void, TNyRGBBits*, int>());
}

TEST_F(RenderTest, WaitAnimationStepsTwoCellsAtATime) {
    form->ScreenMode.store(smWait);  // kept off the wait thread: no mode entry
    form->WaitLevel = form->WaitCount = form->WaitCell = 0;
    // Without elapsed ticks nothing advances.
    form->RenderModified(0);
    EXPECT_EQ(form->WaitCount, 0);
    for (int i = 0; i < 150; ++i) form->RenderModified(1);
    EXPECT_EQ(form->WaitLevel, 0);
    form->RenderModified(1);
    EXPECT_EQ(form->WaitLevel, 1);
    EXPECT_EQ(form->WaitCell, 1);
    std::vector<int> cells;
    for (int i = 0; i < 12; ++i) {
        form->RenderModified(1);
        form->RenderModified(1);
        cells.push_back(form->WaitCell);
    }
    EXPECT_EQ(cells, (std::vector<int>{3, 5, 7, 9, 0, 2, 4, 6, 8, 0, 2, 4}));
    EXPECT_EQ(form->WaitLevel, 13);
    // The cell is blended in at the lower right at a quarter of the level.
    const uint32_t px = ScreenAt(1100, 660);
    EXPECT_NE(px, 0u);
    EXPECT_LT(px & 0xFF, kWaitColour & 0xFF);
    // At full strength a step shows the whole cell and sends nothing but the cell.
    while (form->WaitLevel < 32) form->RenderModified(1);
    form->RenderModified(1);
    display.Screen().ResetCounts();
    for (int i = 0; i < 4; ++i) form->RenderModified(1);
    EXPECT_EQ(ScreenAt(1100, 660), kWaitColour);
    EXPECT_GT(display.Screen().Uploads(), 0);
    EXPECT_LE(display.Screen().UploadedArea(), 2 * (240 * 72 + 2 * 32 * 32));
    form->ScreenMode.store(smStarted);
}

TEST_F(RenderTest, InactiveFullScreenKeepsTheFullRenderPending) {
    form->FullRenderPending.store(true);
    DisplayKind = 0;
    form->Active.store(false);
    form->RenderFull();
    EXPECT_TRUE(form->FullRenderPending.load());
    DisplayKind = kDisplayWindow;
    form->RenderFull();
    EXPECT_FALSE(form->FullRenderPending.load());
    form->Active.store(true);
}

// The movie render runs at every frame step, several times a movie picture: a step whose movie
// draw reports no new picture presents nothing, one that drew presents the whole frame.
struct MovieProbe {
    bool picture = false;
    int calls = 0;
    bool Draw(TNyRGBBits* bits, int yoff) {
        ++calls;
        if (picture && bits->Lock()) {
            bits->BoxFill(0, yoff, 1279, yoff + 719, bits->TNyRGBtoPixel(ZRRGB{0, 0, 255}));
            bits->Unlock();
        }
        return picture;
    }
};

TEST_F(RenderTest, MovieStepsPresentOnlyNewPictures) {
    MovieProbe movie;
    form->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>(&movie, &MovieProbe::Draw));
    form->ScreenMode.store(smMovie);
    display.Screen().ResetCounts();
    for (int i = 0; i < 3; ++i) form->RenderMovie();
    EXPECT_EQ(movie.calls, 3);
    EXPECT_EQ(display.Screen().Uploads(), 0);
    movie.picture = true;
    form->RenderMovie();
    EXPECT_GT(display.Screen().Uploads(), 0);
    EXPECT_EQ(ScreenAt(640, 360), 0x0000FFu);
    movie.picture = false;
    display.Screen().ResetCounts();
    form->RenderMovie();
    EXPECT_EQ(display.Screen().Uploads(), 0);
    EXPECT_EQ(ScreenAt(640, 360), 0x0000FFu);
    form->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>());
    form->ScreenMode.store(smStarted);
}

// Between movie pictures and after the last one the draw surface holds the picture shown: a
// screen that lost it gets it again at the next step.
TEST_F(RenderTest, StillMovieScreenThatLostItsPictureIsPaintedAgain) {
    MovieProbe movie;
    form->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>(&movie, &MovieProbe::Draw));
    form->ScreenMode.store(smMovie);
    movie.picture = true;
    form->RenderMovie();
    ASSERT_EQ(ScreenAt(640, 360), 0x0000FFu);
    movie.picture = false;
    display.Screen().LoseScreen();
    form->RenderMovie();
    EXPECT_EQ(ScreenAt(640, 360), 0x0000FFu);
    EXPECT_EQ(ScreenAt(5, 715), 0x0000FFu);
    display.Screen().ResetCounts();
    form->RenderMovie();
    EXPECT_EQ(display.Screen().Uploads(), 0);
    form->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>());
    form->ScreenMode.store(smStarted);
}

// A present the screen refuses (its own pixels are being read) leaves the frame owed, and the
// next frame step presents it even when nothing changed: the cursor shown by a dirty-rectangle
// frame, a whole frame, a movie picture, and in full screen the one buffer's missed copy.
TEST_F(RenderTest, APresentTheScreenRefusedIsMadeOnTheStillFramesAfter) {
    MovieProbe movie;
    const auto cursorShown = [&] { form->SetCursorType(0); };
    const struct {
        const char* name;
        std::function<void()> refused;
        uint32_t atCursor;
        bool whole, fullScreen;
    } cases[] = {
        {"dirty rectangles", cursorShown, kCursorColour, false, false},
        {"whole frame",
         [&] {
             form->SetCursorType(0);
             form->FullRenderPending.store(true);
         },
         kCursorColour, true, false},
        {"movie",
         [&] {
             form->SetOnMovieDraw(
                 ZRBaseCallback2<bool, TNyRGBBits*, int>(&movie, &MovieProbe::Draw));
             form->ScreenMode.store(smMovie);
             movie.picture = true;
         },
         0x0000FFu, false, false},
        {"full screen", cursorShown, kCursorColour, false, true},
    };
    AddPicture();
    plat::MemoryPresenter& screen = display.Screen();
    auto frame = [&] {
        Tick(1);
        form->FrameStep();
        movie.picture = false;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fullScreen) {
            display.Offer().maxBackBuffers = 0;  // every frame is copied into the screen's pixels
            ASSERT_TRUE(form->ResetDisplay(0));
        }
        form->MouseX.store(150);
        form->MouseY.store(100);
        form->SetCursorType(-1);
        picture.BoxFill(0, 0, 199, 99, picture.TNyRGBtoPixel(ZRRGB{255, 0, 0}));
        form->BeginMenuMode();
        screen.Hold(true);
        // A window's own pixels are written only while another hand-off waits; the read of
        // them keeps a frame shown straight from the conversion bitmap waiting behind it.
        if (!c.fullScreen) {
            form->SetCursorType(0);
            frame();
            form->SetCursorType(-1);
            frame();
            ASSERT_TRUE(screen.StartReading());
        }
        picture.BoxFill(0, 0, 199, 99, picture.TNyRGBtoPixel(ZRRGB{0, 255, 255}));
        panel.SetModify();
        frame();
        if (c.fullScreen) {
            ASSERT_TRUE(screen.StartReading());
        }
        const uint64_t refusedBefore = screen.RefusedWrites();
        c.refused();
        frame();
        EXPECT_EQ(screen.RefusedWrites(), refusedBefore + 1);
        // A whole frame the screen did not get stays owed as a whole frame.
        EXPECT_EQ(form->FullRenderPending.load(), c.whole);
        screen.FinishReading();
        screen.Hold(false);
        screen.Release();
        for (int i = 0; i < 10; ++i) frame();
        EXPECT_EQ(ScreenAt(155, 105), c.atCursor);
        EXPECT_EQ(ScreenAt(250, 140), c.atCursor == kCursorColour ? 0x00FFFFu : 0x0000FFu);
        form->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>());
        form->ScreenMode.store(smStarted);
    }
}

// Full screen behind another application nothing is presented: what is drawn meanwhile is owed
// and shown by the first frame back, however still, on a lone buffer and flip chains of two and
// three, again after coming back and after a reset. A window presents throughout.
TEST_F(RenderTest, WhatIsDrawnBehindAnotherApplicationIsShownOnComingBack) {
    MovieProbe movie;
    form->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>(&movie, &MovieProbe::Draw));
    AddPicture();
    form->SetCursorType(-1);
    auto frame = [&] {
        Frames();
        movie.picture = false;
    };
    enum Drawn { kChanges, kMovie, kOpening };  // kOpening: a mode's whole opening frame
    for (const Drawn drawn : {kChanges, kMovie, kOpening})
        for (const int backBuffers : {-1, 0, 1, 2})  // -1: a window
            for (int pass = 0; pass < 3; ++pass) {  // first, second, after a reset
                SCOPED_TRACE(testing::Message() << drawn << " " << backBuffers << " " << pass);
                const uint8_t kind = backBuffers < 0 ? kDisplayWindow : 0;
                if (pass != 1) {
                    if (kind == 0) display.Offer().maxBackBuffers = backBuffers;
                    ASSERT_TRUE(form->ResetDisplay(kind));
                    if (kind == 0) {
                        ASSERT_EQ(form->Display->BufferCount(), backBuffers + 1);
                    }
                }
                Paint(ZRRGB{255, 0, 0});
                form->BeginMenuMode();
                frame();
                ASSERT_EQ(ScreenAt(250, 140), 0xFF0000u);
                form->Active.store(false);
                if (drawn == kMovie) {
                    form->ScreenMode.store(smMovie);
                    movie.picture = true;
                } else if (drawn == kOpening) {  // unmarked: only a whole frame shows it
                    picture.BoxFill(0, 0, 199, 99, picture.TNyRGBtoPixel(ZRRGB{0, 0, 255}));
                    form->BeginBattleMode();
                } else {
                    Paint(ZRRGB{0, 0, 255});
                }
                for (int i = 0; i < 3; ++i) frame();
                EXPECT_EQ(ScreenAt(250, 140), kind == kDisplayWindow ? 0x0000FFu : 0xFF0000u);
                form->Active.store(true);
                frame();
                EXPECT_EQ(ScreenAt(250, 140), 0x0000FFu);
                EXPECT_EQ(ScreenAt(1000, 600), drawn == kMovie ? 0x0000FFu : 0u);
                // Once shown, a still screen is quiet again.
                display.Screen().ResetCounts();
                for (int i = 0; i < 3; ++i) frame();
                EXPECT_EQ(display.Screen().Uploads(), 0);
                form->ScreenMode.store(smStarted);
            }
    form->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>());
}

// A picture that could not be copied into the draw surface (it was being read) leaves the
// surface's older picture there: that is not presented, whether a whole frame or changed
// rectangles, and the next frame renders whole again.
struct WholeDraw {
    // As a dirty-rectangle draw: the whole picture once when asked, else nothing.
    void DrawModified(TNyRGBBits* bits, int y, ZRRectSet* rects) {
        if (!changed) return;
        changed = false;
        Draw(bits, y);
        rects->UnionRect(ZRRect{0, 0, 1280, 720});
    }
    void Draw(TNyRGBBits* bits, int) {
        bits->BoxFill(0, 0, 1279, 719, colour);
        if (!busy) return;
        busy = false;
        TNyRGBBits* surface = GameForm->Display->DrawSurface();
        const uint8_t* pixels = surface->Bits();
        const int32_t pitch = surface->Pitch();
        while (surface->Locked()) surface->Unlock();
        screen->Hold(true);
        screen->Hand(pixels, pitch, plat::Xrgb8888(), {0, 0, 1280, 720}, plat::RectList(), true);
        reading = screen->StartReading();
    }
    plat::MemoryPresenter* screen;
    uint32_t colour = 0;
    bool busy = false;
    bool changed = false;
    bool reading = false;
};

TEST_F(RenderTest, AFrameThatMissedTheDrawSurfaceIsNotPresented) {
    WholeDraw whole{&display.Screen()};
    form->SetOnDraw(ZRBaseCallback2<void, TNyRGBBits*, int>(&whole, &WholeDraw::Draw));
    form->SetOnDrawModified(
        ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*>(&whole, &WholeDraw::DrawModified));
    // The cursor keeps a window's changed rectangles going through the draw surface.
    form->SetCursorType(0);
    for (int run = 0; run < 4; ++run) {
        const bool full = run < 2;
        SCOPED_TRACE(full ? "whole frame" : "changed rectangles");
        SCOPED_TRACE(run % 2 ? "after a reset" : "first time");
        if (run % 2) {
            ASSERT_TRUE(form->ResetDisplay(kDisplayWindow));
        }
        form->ScreenMode.store(smMenu);
        whole.colour = form->ConvertBits->TNyRGBtoPixel(ZRRGB{255, 0, 0});
        form->FullRenderPending.store(true);
        Frames();
        ASSERT_EQ(ScreenAt(640, 360), 0xFF0000u);

        whole.colour = form->ConvertBits->TNyRGBtoPixel(ZRRGB{0, 0, 255});
        whole.busy = true;
        form->FullRenderPending.store(full);
        whole.changed = !full;
        const uint64_t handed = display.Screen().LastTicket();
        Frames();
        ASSERT_TRUE(whole.reading);
        EXPECT_EQ(display.Screen().LastTicket(), handed + 1) << "only the test's own hand-off";
        EXPECT_TRUE(form->FullRenderPending.load());
        display.Screen().FinishReading();
        display.Screen().Hold(false);
        display.Screen().Release();
        Frames(3);
        EXPECT_EQ(ScreenAt(640, 360), 0x0000FFu);
        EXPECT_EQ(form->Display->DrawSurface()->PGet(640, 360) & 0xFFFFFF, 0x0000FFu);
        form->ScreenMode.store(smStarted);
    }
    form->SetOnDraw(ZRBaseCallback2<void, TNyRGBBits*, int>());
    form->SetOnDrawModified(ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*>());
}

// The wait mode begins on a cleared screen only when it holds both pictures: a presenter still
// reading a frame shown straight from the conversion bitmap for longer than the hold waits
// leaves both as they were, never the draw surface cleared beside a conversion bitmap that
// still holds the picture.
TEST_F(RenderTest, WaitModeClearsBothPicturesOrNeither) {
    AddPicture();
    form->SetCursorType(-1);
    form->BeginMenuMode();
    picture.BoxFill(0, 0, 199, 99, picture.TNyRGBtoPixel(ZRRGB{0, 0, 255}));
    panel.SetModify();
    display.Screen().Hold(true);
    Tick(1);
    form->FrameStep();
    ASSERT_TRUE(display.Screen().StartReading());
    TWaitThread* waiter = std::exchange(form->WaitThread, nullptr);  // frames stay in lock step
    form->BeginWaitMode();
    form->WaitThread = waiter;
    display.Screen().FinishReading();
    display.Screen().Hold(false);
    EXPECT_EQ(form->ConvertBits->PGet(150, 100) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(form->Display->DrawSurface()->PGet(150, 100) & 0xFFFFFF, 0xFF0000u)
        << "the draw surface still lacks only the frame shown from the conversion bitmap";
    // Its opening whole frame is owed: the next frame step clears the screen.
    Frames();
    EXPECT_EQ(ScreenAt(150, 100), 0u);
    form->ScreenMode.store(smStarted);
}

// The wait thread renders the wait and hold modes without the logic lock, and may wait up to a
// second for the pictures. A mode of panels the logic thread begins meanwhile, and goes on
// changing, is not drawn by that frame; its whole first frame is owed to the next step.
TEST_F(RenderTest, AWaitModeFrameDrawsNothingOfAModeBegunDuringItsWait) {
    AddPicture();
    MakePanel(layerPicture, layer, 100, 100, 600, 300);
    const struct {
        uint8_t mode;
        bool full;
        uint32_t colour;  // the layer's, new in each case: the panels leave the rest as it was
    } cases[] = {{smWait, false, 0x00FF00}, {smWait, true, 0xFFFF00}, {smHold, false, 0xFF00FF}};
    plat::MemoryPresenter& screen = display.Screen();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.colour);
        layerPicture.BoxFill(0, 0, 99, 99, layerPicture.TNyRGBtoPixel(ZRRGB(c.colour)));
        // The render gives up its wait after a second. A round in which it had already given up
        // when the battle began shows nothing and is played again.
        for (int round = 0;; ++round) {
            form->SetCursorType(-1);
            form->BeginMenuMode();
            // A frame shown straight from the conversion bitmap and still read by the presenter
            // keeps the next render waiting for its pictures.
            Paint(ZRRGB{0, 0, 255});
            screen.Hold(true);
            Frames();
            ASSERT_TRUE(screen.StartReading());
            screen.Hold(false);
            form->ScreenMode.store(c.mode);  // kept off the wait thread: no mode entry
            form->FullRenderPending.store(false);
            const uint64_t refused = screen.RefusedWrites();
            std::atomic<bool> rendered{false};
            std::thread render([&] {
                c.full ? form->RenderFull() : form->RenderModified(1);
                rendered.store(true);
            });
            while (!rendered.load() && screen.RefusedWrites() == refused)
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            EXPECT_NE(screen.RefusedWrites(), refused) << "the render did not wait for the pictures";
            bool late;
            {
                // The logic thread, which holds its lock all along, begins a battle.
                const ZRSectionHold logic(form->LogicLock);
                form->AttachLayer(&layer);
                form->BeginBattleMode();
                late = rendered.load();
                screen.FinishReading();
                for (int i = 0; i < 20; ++i) {
                    form->DetachLayer(&panel);
                    form->AttachLayer(&panel);
                }
                render.join();
            }
            if (!late) {
                EXPECT_TRUE(form->FullRenderPending.load());
                EXPECT_NE(ScreenAt(650, 350), c.colour);
                Frames();
                EXPECT_EQ(ScreenAt(650, 350), c.colour);
            }
            form->DetachLayer(&layer);
            form->ScreenMode.store(smStarted);
            if (!late) break;
            ASSERT_LT(round, 5) << "the render never stayed in its wait until the battle began";
        }
    }
}

// With no cursor and no frame-rate box, a window's changed rectangles go to the screen straight
// from the conversion bitmap and the draw surface is left as it was. Whatever presents the draw
// surface next must find the whole picture in it: a screen that lost its picture, a frame with
// the cursor, the movie render.
struct CornerMovie {
    bool Draw(TNyRGBBits* bits, int yoff) {
        if (bits->Lock()) {
            bits->BoxFill(1200, yoff, 1279, yoff + 39, bits->TNyRGBtoPixel(ZRRGB{0, 255, 0}));
            bits->Unlock();
        }
        return true;
    }
};

TEST_F(RenderTest, FramesShownFromTheConversionBitmapReachTheDrawSurfaceBeforeItIsShown) {
    CornerMovie movie;
    const struct {
        const char* name;
        std::function<void()> next;
        bool cursor;
    } cases[] = {
        {"lost screen",
         [&] {
             display.Screen().LoseScreen();
             Tick(1);
             form->FrameStep();
         },
         false},
        {"cursor shown",
         [&] {
             form->SetCursorType(0);
             Tick(1);
             form->FrameStep();
             display.Screen().LoseScreen();
             Tick(1);
             form->FrameStep();
         },
         true},
        {"movie render",
         [&] {
             form->SetOnMovieDraw(
                 ZRBaseCallback2<bool, TNyRGBBits*, int>(&movie, &CornerMovie::Draw));
             form->ScreenMode.store(smMovie);
             form->RenderMovie();
             form->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>());
         },
         false},
    };
    AddPicture();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form->MouseX.store(400);
        form->MouseY.store(300);
        form->SetCursorType(-1);
        picture.BoxFill(0, 0, 199, 99, picture.TNyRGBtoPixel(ZRRGB{255, 0, 0}));
        form->BeginMenuMode();
        ASSERT_EQ(ScreenAt(150, 100), 0xFF0000u);
        TNyRGBBits* surface = form->Display->DrawSurface();
        ASSERT_EQ(surface->PGet(150, 100) & 0xFFFFFF, 0xFF0000u);

        // A picture of its own in every pixel, shown once from the conversion bitmap.
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x)
                picture.PSet(x, y, picture.TNyRGBtoPixel(ZRRGB{uint8_t(x), uint8_t(y), 0x80}));
        panel.SetModify();
        display.Screen().ResetCounts();
        Tick(1);
        form->FrameStep();
        EXPECT_GT(display.Screen().Uploads(), 0);
        std::vector<uint32_t> screen;
        int32_t w = 0, h = 0, wrong = 0;
        ASSERT_TRUE(display.Screen().ReadScreen(screen, w, h) && w == 1280 && h == 720);
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 1280; ++x)
                wrong +=
                    ((screen[size_t(y) * w + x] ^ form->ConvertBits->PGet(x, y)) & 0xFFFFFF) != 0;
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(ScreenAt(150, 100), 0x323280u);
        EXPECT_EQ(surface->PGet(150, 100) & 0xFFFFFF, 0xFF0000u) << "the copy was not skipped";

        c.next();
        EXPECT_EQ(ScreenAt(150, 100), 0x323280u);
        EXPECT_EQ(ScreenAt(299, 149), 0xC76380u);
        EXPECT_EQ(ScreenAt(700, 500), 0x000000u);
        EXPECT_EQ(surface->PGet(150, 100) & 0xFFFFFF, 0x323280u);
        if (c.cursor) {
            EXPECT_EQ(ScreenAt(405, 305), kCursorColour);
        }
        form->ScreenMode.store(smStarted);
    }
}

// The presenter may still be reading a frame shown straight from the conversion bitmap when the
// next render, a capture or a screenshot needs that bitmap: each waits for the read and then
// does all of its work.
TEST_F(RenderTest, WorkOnTheConversionBitmapWaitsForThePresentersRead) {
    TNyRGBBits captured;
    captured.SetBitDepth(bd32);
    captured.SetPixFormat(pf32_888);
    captured.Resize(1280, 720);
    ASSERT_TRUE(captured.Create());
    const struct {
        const char* name;
        std::function<void()> during, after;
    } cases[] = {
        {"cursor shown",
         [&] {
             form->SetCursorType(0);
             Tick(1);
             form->FrameStep();
         },
         [&] {
             EXPECT_EQ(ScreenAt(155, 105), kCursorColour);
             EXPECT_EQ(form->ConvertBits->PGet(155, 105) & 0xFFFFFF, 0x373780u);
             form->SetCursorType(-1);
             Tick(1);
             form->FrameStep();
             EXPECT_EQ(ScreenAt(155, 105), 0x373780u) << "what the cursor covered is back";
         }},
        {"lost screen",
         [&] {
             display.Screen().LoseScreen();
             Tick(1);
             form->FrameStep();
         },
         [&] {
             EXPECT_EQ(ScreenAt(299, 149), 0xC76380u);
             EXPECT_EQ(ScreenAt(700, 500), 0x000000u);
             EXPECT_EQ(form->Display->DrawSurface()->PGet(150, 100) & 0xFFFFFF, 0x323280u);
         }},
        {"capture", [&] { form->CaptureScreen(&captured); },
         [&] { EXPECT_EQ(captured.PGet(150, 100) & 0xFFFFFF, 0x323280u); }},
        {"screenshot",
         [&] {
             CapEnable = true;
             EXPECT_TRUE(form->HandleHotKey(TGameForm::hkScreenshot));
             form->JoinScreenshot();
             CapEnable = false;
         },
         [&] {
             int w = 0, h = 0;
             const std::vector<uint32_t> shot = DecodePng(dir.Host("Snap000.png"), w, h);
             ASSERT_EQ(shot.size(), size_t(1280 * 720));
             EXPECT_EQ(shot[size_t(100) * 1280 + 150], 0x323280u);
         }},
    };
    AddPicture();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form->MouseX.store(150);
        form->MouseY.store(100);
        form->SetCursorType(-1);
        picture.BoxFill(0, 0, 199, 99, picture.TNyRGBtoPixel(ZRRGB{255, 0, 0}));
        form->BeginMenuMode();
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x)
                picture.PSet(x, y, picture.TNyRGBtoPixel(ZRRGB{uint8_t(x), uint8_t(y), 0x80}));
        panel.SetModify();
        display.Screen().Hold(true);
        Tick(1);
        form->FrameStep();
        ASSERT_EQ(form->Display->DrawSurface()->PGet(150, 100) & 0xFFFFFF, 0xFF0000u)
            << "the frame was not shown straight from the conversion bitmap";
        HoldReadAcross(c.during);
        EXPECT_EQ(ScreenAt(120, 60), 0x140A80u);
        c.after();
        form->ScreenMode.store(smStarted);
    }
}

}  // namespace
