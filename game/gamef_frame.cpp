// The frame clock, the frame step and the frame update, and the screen-mode entries the logic
// thread uses.
#include <chrono>
#include <thread>

#include "devices/crisofdec.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/maint.h"
#include "platform/exception.h"

namespace {

// Counter values beyond this are folded back so the tick counts never overflow.
constexpr int32_t kTickWrap = 1000000;

}  // namespace

TGameForm::ThreadFactory DefaultLogicThread;
std::function<void(TGameForm*)> FramePacer;
std::function<void(TGameForm*)> FrameClockProbe;

void TGameForm::OnTimerTick(void*) {
    TimerTick();
}

void TGameForm::TimerTick() {
    const uint8_t mode = GetScreenMode();
    if (mode < smAbandoned || mode > smTransition) return;
    // Three ticks in every 100 ms, 30, 30 and 40 ms apart.
    const int32_t n = SubTick.load() + 1;
    bool tick;
    int32_t next = n;
    if (TimerPeriod == 10) {
        tick = n == 3 || n == 6 || n == 10;
        if (n >= 10) next = 0;
    } else {
        tick = n == 6 || n == 13 || n == 20;
        if (n >= 20) next = 0;
    }
    SubTick.store(next);
    if (tick) {
        FrameTicks.fetch_add(1);
        if (FrameEvent) FrameEvent->Pulse();
    }
}

void TGameForm::ResetFrameClock() {
    const ZRSectionTurn clock(&ClockLock);
    SubTick.store(0);
    FrameTicks.store(0);
    ConsumedTicks.store(0);
}

void TGameForm::SetJoypadEnabled(bool on) {
    JoypadEnabled.store(on);
    if (InputUnit) InputUnit->SetJoypadEnable(on);
}

void TGameForm::FrameStep() {
    const ZRSectionTurn frame(FrameLock);
    if (FramePacer)
        FramePacer(this);
    else if (FrameRateMode <= 1)
        FrameEvent->WaitFor(100);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    if (GetScreenMode() == smClosing) return;

    // The ticks are read, judged and marked consumed in one hold of the clock's lock: a reset
    // in between would leave the old count consumed against a clock started again from 0, and
    // no frame would be due until the clock climbed back to it.
    int32_t d;
    bool runs;
    {
        const ZRSectionTurn clock(&ClockLock);
        // The timer only ever adds, so folding the consumed count out of the produced one in
        // a single subtraction loses no tick that arrives meanwhile.
        const int32_t consumed = ConsumedTicks.load();
        if (consumed > kTickWrap) {
            FrameTicks.fetch_sub(consumed);
            ConsumedTicks.store(0);
        }
        const int32_t produced = FrameTicks.load();
        d = produced - ConsumedTicks.load();
        bool due;
        switch (FrameRateMode) {
            case 0:
                due = d >= 2;
                break;
            case 1:
                due = d != 0;
                break;
            default:
                due = true;
                break;
        }
        runs = due || GetScreenMode() == smMovie;
        if (FrameClockProbe) FrameClockProbe(this);
        if (runs) ConsumedTicks.store(produced);
    }
    DeviceCheckTicks += d;
    if (DeviceCheckTicks > 30) {
        DeviceCheckTicks = 0;
        if (JoypadEnabled.load() && InputUnit && !InputUnit->IsJoypadEnable() &&
            InputUnit->FindJoypad())
            InputUnit->SetJoypadEnable(true);
    }
    if (d > 0) CriMwSystemExec();
    if (!runs) return;

    try {
        if (GetScreenMode() != smClosing) {
            Update(d);
            if (GetScreenMode() == smMovie)
                RenderMovie();
            else if (FullRenderPending.load())
                RenderFull();
            else
                RenderModified(d);
        }
    } catch (...) {
        if (GetScreenMode() != smClosing) CloseGame(false);
    }
}

void TGameForm::Update(int d) {
    if (GetScreenMode() != smTransition) ProcessInput();
    const uint8_t mode = GetScreenMode();
    if ((mode == smMenu || mode == smBattle || mode == smAdventure) && !WaitEnded.load() && d > 0) {
        const ZRSectionHold logic(LogicLock);
        for (int i = 0; i < d; ++i) RootPanel->Anime();
    }
    if (GetScreenMode() != smTransition) {
        if (!WaitEnded.load()) {
            try {
                if (InputUnit) InputUnit->Update(d);
                if (OnInput.IsSet()) OnInput.Call(d, InputUnit);
            } catch (const plat::Exception&) {
            }
        }
        if (!WaitEnded.load() && OnFrame.IsSet()) {
            try {
                OnFrame.Call(d);
            } catch (const plat::Exception&) {
            }
        }
    }
    if (GetScreenMode() == smTransition && !WaitEnded.load()) {
        if (IsTransitionIdle()) {
            StopTransition();
            SetScreenMode(smStarted);
            EndWait(0);
        } else {
            AdvanceTransition(d);
        }
    }
    if (d > 0) UpdateChannels(d);
}

void TGameForm::BeginMode(uint8_t mode) {
    if (RootPanel) RootPanel->SetVisible(true);
    if (GetScreenMode() == mode) return;
    if (RootPanel) {
        RootPanel->StatusClear();
        TPoint p;
        GetMousePos(p);
        RootPanel->MouseEnter(p.x, p.y);
    }
    FlushInput();
    ResetFrameClock();
    SetScreenMode(mode);
}

void TGameForm::BeginMenuMode() {
    const bool already = GetScreenMode() == smMenu;
    BeginMode(smMenu);
    if (!already) RenderFull();
}

void TGameForm::BeginHoldMode() {
    const bool already = GetScreenMode() == smHold;
    BeginMode(smHold);
    if (!already && WaitThread) WaitThread->Resume();
}

void TGameForm::BeginWaitMode() {
    if (GetScreenMode() == smWait) {
        if (RootPanel) RootPanel->SetVisible(true);
        return;
    }
    BeginMode(smWait);
    WaitLevel = WaitCount = WaitCell = 0;
    {
        const ZRSectionHold draw(DrawLock);
        if (Display && Display->Enabled() && WaitCanDraw()) {
            // Without both pictures held nothing is cleared: one cleared and the other not
            // would leave the screen and the next frames disagreeing.
            const PictureHold hold(ConvertBits, BackDrawSurface());
            if (hold.Held()) {
                TNyRGBBits* surface = Display->DrawSurface();
                if (DisplayKind == 1) {
                    surface->BoxFill(0, PictureOffsetY, 1279, PictureOffsetY + 719, 0);
                    ClearBorders();
                    Display->SetModifyRect(ZRRect{0, 0, 1280, FullScreenHeight});
                } else {
                    surface->Cls();
                    Display->SetModifyRect(ZRRect{0, 0, 1280, 720});
                }
                if (ConvertBits) ConvertBits->Cls();
            }
        }
    }
    RenderFull();
    if (WaitThread) WaitThread->Resume();
}
