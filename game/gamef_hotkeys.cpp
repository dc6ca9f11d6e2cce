// Screenshots, the window's own hot keys (Print Screen, Alt+Print Screen, Alt+Enter), the
// display-mode request the configuration menu posts, the colour-depth warning and the
// bitmaps' overrun reports.
//
// Hot keys are keys of the game window here, not of the whole desktop: they act only while the
// window has the focus and is not minimised, and they never reach the game as input.
#include <SDL.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "game/gamedef.h"
#include "game/gamef.h"
#include "media/zrpng.h"
#include "platform/clipboard.h"
#include "platform/codepage.h"
#include "platform/mainqueue.h"
#include "platform/messagebox.h"

namespace {

constexpr int kShotW = 1280;
constexpr int kShotH = 720;
constexpr int kCursorCell = 32;
constexpr int kSnapNames = 999;

// Holds a lock taken on the main thread without stalling it: the thread that holds the lock
// may be waiting for a call queued to the main thread.
class ServicingHold {
  public:
    explicit ServicingHold(ZRCriticalSection* lock) : lock_(lock) {
        while (!lock_->TryEnter()) {
            plat::MainQueue::Instance().Service();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    ~ServicingHold() { lock_->Leave(); }
    ServicingHold(const ServicingHold&) = delete;
    ServicingHold& operator=(const ServicingHold&) = delete;

  private:
    ZRCriticalSection* lock_;
};

// The picture's pixel rows as tightly packed 24-bit bytes, as the PNG writer takes them.
std::vector<unsigned char> PackedRows(TNyRGBBits* shot) {
    std::vector<unsigned char> rows(size_t(kShotW) * kShotH * 3);
    for (int y = 0; y < kShotH; ++y) {
        const unsigned char* src = shot->Bits() + int64_t(y) * shot->Pitch();
        std::copy_n(src, size_t(kShotW) * 3, rows.data() + size_t(y) * kShotW * 3);
    }
    return rows;
}

bool EncodePng(TNyRGBBits* shot, std::vector<unsigned char>& out) {
    const std::vector<unsigned char> rows = PackedRows(shot);
    ZRMemoryStream stream;
    if (!SavePng(&stream, rows.data(), kShotW, kShotH, pf24_888)) return false;
    if (!stream.GetMemory() || stream.GetSize() <= 0) return false;
    out.assign(stream.GetMemory(), stream.GetMemory() + stream.GetSize());
    return true;
}

// Creates the first free "Snap%03d.png" exclusively, so an existing picture is never
// overwritten even when another process takes a name meanwhile. Null when no name is free
// (allTaken) or the file cannot be made.
FILE* CreateSnapFile(std::string& name, bool& allTaken) {
    allTaken = false;
    for (int i = 0; i < kSnapNames; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "Snap%03d.png", i);
        FILE* f = std::fopen(buf, "wxb");
        if (f) {
            name = buf;
            return f;
        }
        if (errno != EEXIST) return nullptr;
    }
    allTaken = true;
    return nullptr;
}

// Frees a taken picture on every path out of writing it.
struct ShotRelease {
    void operator()(TNyRGBBits* shot) const { MemMan->Delete(shot); }
};

// A name is taken by any entry under it, as CreateSnapFile's exclusive create sees it; the
// entry is not opened, which would block on a FIFO.
bool AnySnapNameFree() {
    for (int i = 0; i < kSnapNames; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "Snap%03d.png", i);
        struct stat st;
        if (lstat(buf, &st) != 0) return true;
    }
    return false;
}

}  // namespace

TGameForm::HotKey TGameForm::HotKeyOf(const SDL_Event& e) {
    if (e.type != SDL_KEYDOWN && e.type != SDL_KEYUP) return hkNone;
    const bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
    switch (e.key.keysym.scancode) {
        case SDL_SCANCODE_PRINTSCREEN:
            return alt ? hkScreenshotCursor : hkScreenshot;
        case SDL_SCANCODE_RETURN:
        case SDL_SCANCODE_KP_ENTER:
            return alt ? hkToggleDisplay : hkNone;
        default:
            return hkNone;
    }
}

bool TGameForm::TakeHotKey(const SDL_Event& e) {
    static_assert(SDL_NUM_SCANCODES == 512, "hot key presses sized for SDL2's scan codes");
    if (e.type != SDL_KEYDOWN && e.type != SDL_KEYUP) return false;
    const int key = e.key.keysym.scancode;
    if (key < 0 || key >= SDL_NUM_SCANCODES) return false;
    // Only a new press decides: the modifiers may change before the key is let go, and Enter
    // that repeats or is released after Alt must not turn into game input then.
    if (e.type == SDL_KEYDOWN && !e.key.repeat) {
        const HotKey hot = HotKeyOf(e);
        hotKeyPresses_[size_t(key)] = hot != hkNone;
        if (hot != hkNone) HandleHotKey(hot);
    }
    const bool taken = hotKeyPresses_[size_t(key)];
    if (e.type == SDL_KEYUP) hotKeyPresses_[size_t(key)] = false;
    return taken;
}

bool TGameForm::HandleHotKey(HotKey id) {
    if (id == hkNone) return false;
    if (!ApplicationActive() || Minimized.load()) return false;
    if (id == hkScreenshot || id == hkScreenshotCursor) {
        StartScreenshot(id == hkScreenshotCursor);
        return true;
    }
    if (!Started.load()) return true;
    uint8_t kind;
    if (DisplayKind == kDisplayWindow) {
        if (HasTallMode)
            kind = 1;
        else if (Has720Mode)
            kind = 0;
        else
            return true;
    } else {
        kind = kDisplayWindow;
    }
    if (!ResetDisplayServicing(kind)) CloseGame(false);
    return true;
}

bool TGameForm::ResetDisplayServicing(uint8_t kind) {
    const ServicingHold logic(LogicLock);
    const ServicingHold draw(DrawLock);
    return ResetDisplay(kind);
}

void TGameForm::StartScreenshot(bool withCursor) {
    if (!AnySnapNameFree()) return;
    {
        std::lock_guard<std::mutex> lock(shotMutex_);
        if (waitingShots_.size() >= kWaitingShots) {
            std::fprintf(stderr,
                         "Screenshot not taken: %zu pictures are still waiting to be written.\n",
                         waitingShots_.size());
            return;
        }
    }
    TNyRGBBits* shot = CaptureShot(withCursor);
    if (!shot) return;
    bool start;
    {
        std::lock_guard<std::mutex> lock(shotMutex_);
        waitingShots_.push_back(shot);
        start = !std::exchange(shotWorker_, true);
    }
    if (!start) return;
    // A worker that found nothing left has ended or is about to.
    if (shotThread_.joinable()) shotThread_.join();
    shotThread_ = std::thread([this] { WriteWaitingShots(); });
}

void TGameForm::WriteWaitingShots() {
    for (;;) {
        TNyRGBBits* shot;
        {
            std::lock_guard<std::mutex> lock(shotMutex_);
            if (waitingShots_.empty()) {
                shotWorker_ = false;
                return;
            }
            shot = waitingShots_.front();
            waitingShots_.pop_front();
        }
        // A failure (memory running out while encoding) costs this picture only, never the
        // game: an exception leaving the worker would end the process.
        std::unique_ptr<TNyRGBBits, ShotRelease> owned(shot);
        try {
            if (ScreenshotWriteGate) ScreenshotWriteGate();
            WriteShot(owned.release());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Screenshot not written: %s\n", e.what());
        } catch (...) {
            std::fprintf(stderr, "Screenshot not written.\n");
        }
    }
}

bool TGameForm::ScreenshotBusy() {
    std::lock_guard<std::mutex> lock(shotMutex_);
    return shotWorker_;
}

void TGameForm::JoinScreenshot() {
    if (shotThread_.joinable()) shotThread_.join();
}

void TGameForm::TakeScreenshot(bool withCursor) {
    if (!AnySnapNameFree()) return;
    if (TNyRGBBits* shot = CaptureShot(withCursor)) WriteShot(shot);
}

TNyRGBBits* TGameForm::CaptureShot(bool withCursor) {
    if (!MemMan || !DrawLock) return nullptr;
    TNyRGBBits* shot = MemMan->CreateVCL<TNyRGBBits>(nullptr);
    if (!shot) return nullptr;
    shot->SetBitDepth(bd24);
    shot->SetPixFormat(pf24_888);
    shot->Resize(kShotW, kShotH);
    if (!shot->Create()) {
        MemMan->Delete(shot);
        return nullptr;
    }
    bool copied = false;
    int32_t cursor;
    TPoint mouse;
    {
        // The window thread never waits on the lock without running the main queue.
        const ServicingHold draw(DrawLock);
        DirectX::TDSurface* source = ConvertBits;
        int32_t y = 0;
        if (!source && Display && Display->Enabled()) {
            source = Display->DrawSurface();
            // The conversion bitmap holds the picture at row 0; only the display's own surface
            // has it at its row on the screen.
            if (DisplayKind == 1) y = PictureOffsetY;
        }
        if (source) {
            // A frame shown straight from the conversion bitmap may still be read by the
            // presenter.
            const PictureHold hold(source);
            copied = hold.Held() && shot->ConvertCopy(0, 0, source, 0, y, kShotW, kShotH);
        }
        // Read under the lock: a display switch changes the display kind the position depends
        // on.
        cursor = CursorType.load();
        GetMousePos(mouse);
    }
    if (!copied) {
        MemMan->Delete(shot);
        return nullptr;
    }
    // The cursor goes into the copy only: the live picture stays as it was.
    if (withCursor && cursor >= 0 && CursorBits && CursorBits->Created()) {
        const int h = cursor >= 4 ? 15 : 0;
        shot->DrawAlphaMask(mouse.x - h, mouse.y - h, CursorBits, cursor * kCursorCell, 0,
                            kCursorCell, kCursorCell, CursorAlpha);
    }
    return shot;
}

void TGameForm::WriteShot(TNyRGBBits* taken) {
    const std::unique_ptr<TNyRGBBits, ShotRelease> shot(taken);
    if (CapEnable) {
        // Encoded before a name is taken: a failure then leaves no empty file behind.
        std::vector<unsigned char> png;
        if (!EncodePng(shot.get(), png)) return;
        std::string name;
        bool allTaken;
        FILE* f = CreateSnapFile(name, allTaken);
        if (!f) {
            // The names were checked at the press; others took the last ones meanwhile.
            if (allTaken)
                std::fprintf(stderr,
                             "Screenshot not written: the names Snap000.png to Snap%03d.png are "
                             "all taken.\n",
                             kSnapNames - 1);
            return;
        }
        bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
        ok = std::fclose(f) == 0 && ok;
        // A half-written picture would take the name of a good one.
        if (!ok) std::remove(name.c_str());
    } else {
        if (LogoBits && LogoBits->Created())
            shot->DrawAlphaMask(8, kShotH - LogoBits->Height(), LogoBits, 0, 0, LogoBits->Width(),
                                LogoBits->Height(), LogoAlpha);
        if (CopyBits && CopyBits->Created())
            shot->DrawAlphaMask(kShotW - CopyBits->Width(), kShotH - CopyBits->Height(), CopyBits,
                                0, 0, CopyBits->Width(), CopyBits->Height(), CopyAlpha);
        std::vector<unsigned char> png;
        if (EncodePng(shot.get(), png)) plat::CopyPngToClipboard(png);
    }
}

void TGameForm::PostDisplayModeRequest(int32_t mode) {
    TGameForm* self = this;
    plat::MainQueue::Instance().Post([self, mode] {
        if (GameForm == self) self->WMChangeDisplayMode(mode);
    });
}

void TGameForm::WMChangeDisplayMode(int32_t mode) {
    if (mode < 0 || mode > 2) return;
    if ((mode == 0 && !Has720Mode) || (mode == 1 && !HasTallMode)) return;
    if (!Started.load() || mode == DisplayKind) return;
    if (!ResetDisplayServicing(static_cast<uint8_t>(mode))) CloseGame(false);
}

void TGameForm::WMDisplayChange(int32_t bitsPerPixel) {
    if (DisplayKind != kDisplayWindow || !Display) return;
    if (int32_t(Display->BitDepth()) * 8 == bitsPerPixel) return;
    plat::ShowMessage(plat::SjisText("ウィンドウモードで実行中に画面の色を変更しないでください。\n"
                                     "場合によってはDirectDrawが異常動作します。\n"
                                     "反応が無くなった場合タスクマネージャから終了させて下さい。"),
                      plat::SjisText("警告"), plat::CodePage::ShiftJis, plat::MsgButtons::Ok);
}

void TGameForm::BitsBufferOverRun(plat::TComponent* sender) {
    std::fprintf(stderr, "bitmap buffer overrun (%p)\n", static_cast<void*>(sender));
}

void TGameForm::AlphaBufferOverRun(plat::TComponent* sender) {
    std::fprintf(stderr, "alpha plane buffer overrun (%p)\n", static_cast<void*>(sender));
}
