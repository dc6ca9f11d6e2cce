// Setting up the display for a display kind, and resetting it when the kind changes.
#include <SDL.h>

#include "game/gamedef.h"
#include "game/gamef.h"
#include "platform/messagebox.h"

namespace {

// The desktop can hold a 1280x720 window with its frame. Without a running video system
// (tests over a display in memory) nothing limits the window.
bool DesktopHoldsWindow() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return true;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return true;
    return mode.w > 1280 && mode.h > 720;
}

}  // namespace

bool TGameForm::SetupDisplay(uint8_t kind) {
    if ((kind == 0 && !Has720Mode) || (kind == 1 && !HasTallMode)) kind = kDisplayWindow;
    if (kind != DisplayKind) DisplayKind = kind;
    SetClientSize(1280, kind == 1 ? FullScreenHeight : 720);
    if (SDL_Window* w = NativeWindow()) {
        // A window still full screen keeps its border as it is: the display gives the frame
        // back as it leaves full screen.
        SDL_SetWindowBordered(w, kind == kDisplayWindow ? SDL_TRUE : SDL_FALSE);
        if (kind == kDisplayWindow) {
            SDL_SetWindowSize(w, 1280, 720);
            SDL_SetWindowPosition(w, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        }
    }

    ZRBitDepth depth = DisplayBitDepth;
    if (kind == kDisplayWindow) depth = DesktopHoldsWindow() ? Display->DesktopBitDepth() : bdNone;
    Display->SetScreenSize(kind == 1 ? FullScreenSize : ss1280x720);
    Display->SetBitDepth(depth);
    Display->SetFullScreen(kind != kDisplayWindow);
    Display->SetBackType(DirectX::btSystem);
    Display->SetTripleBuffer(true);
    Display->NoVSync = FrameRateMode == 3;
    Display->SetEnabled(true);

    if (!Display->Enabled() && kind == kDisplayWindow && (Has720Mode || HasTallMode)) {
        const plat::MsgAnswer a = plat::ShowMessage(
            plat::SjisText(
                "ウィンドウモードでの初期化に失敗しました。\nフルスクリーンにしますか？"),
            "Error", plat::CodePage::ShiftJis, plat::MsgButtons::OkCancel, plat::MsgIcon::Error);
        if (a == plat::MsgAnswer::Ok) return SetupDisplay(Has720Mode ? 0 : 1);
    }
    if (!Display->Enabled()) return false;

    FullRenderPending.store(true);
    DrawSurfaceBehind.SetRectEmpty();
    if (kind == kDisplayWindow || Display->BitDepth() != WorkBitDepth) {
        const bool deep = WorkBitDepth == bd32;
        ConvertBits = Display->CreateSurface(deep ? bd32 : bd24, deep ? pf32_888 : pf24_888, 1280,
                                             720, false);
        if (!ConvertBits) return false;
        MemMan->AddPtr(ConvertBits);
    }
    return true;
}

bool TGameForm::ResetDisplay(uint8_t kind) {
    // Started again however the reset ends, a throw from the set-up or a restore handler too:
    // otherwise no later hot key or request would switch the display again.
    struct StartedAgain {
        std::atomic<bool>& started;
        ~StartedAgain() { started.store(true); }
    } const again{Started};
    Started.store(false);
    bool ok = false;
    {
        const ZRSectionHold logic(LogicLock);
        const ZRSectionHold draw(DrawLock);
        if (Display->Enabled()) {
            for (const auto& h : RestoreHandlers)
                if (h.IsSet()) h.Call(true);
            if (ConvertBits) MemMan->Delete(ConvertBits);
            Display->SetEnabled(false);
            if (SetupDisplay(kind)) {
                if (RootPanel) RootPanel->SetModify();
                Display->SetModifyRect(
                    ZRRect{0, 0, 1280, DisplayKind == 1 ? FullScreenHeight : 720});
                ok = true;
            }
            for (const auto& h : RestoreHandlers)
                if (h.IsSet()) h.Call(false);
        }
    }
    return ok;
}
