// The program entry and the start-up form.
#include "game/splashf.h"

#include <SDL.h>

#include <cstdio>
#include <exception>

#include "foundation/zrfont.h"
#include "foundation/zrsys.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "platform/codepage.h"
#include "platform/instancelock.h"
#include "platform/mainqueue.h"
#include "platform/sdldisplay.h"
#include "platform/textrender.h"
#include "platform/windowhost.h"
#include "widgets/nyrgbdib.h"

TSplashForm* SplashForm = nullptr;

TSplashForm::TSplashForm(plat::TComponent* owner, plat::WindowHost* host)
    : plat::TComponent(owner), Host(host) {}

TSplashForm::~TSplashForm() {
    FormDestroy();
}

void TSplashForm::FormCreate() {
    Host->CreateWindow(plat::ToUtf8(ApplicationTitle(), plat::CodePage::Gbk), kWidth, kHeight,
                       SDL_WINDOW_BORDERLESS);
    PaintPicture();
    Host->SetIdleHandler([this] {
        StartGame();
        return true;
    });
}

// Our own picture: a night-blue gradient with a thin gold rule and the title.
void TSplashForm::PaintPicture() {
    SDL_Window* window = Host->Window();
    if (!window) return;
    TNyRGBDib pic;
    pic.SetBitDepth(bd32);
    pic.SetPixFormat(pf32_888);
    pic.SetDirection(ddTopDown);
    pic.Resize(kWidth, kHeight);
    if (!pic.Create()) return;
    {
        const TNyBitsLock lock(&pic);
        if (!lock.Held()) return;
        for (int y = 0; y < kHeight; ++y) {
            auto* row =
                reinterpret_cast<uint32_t*>(pic.Bits() + static_cast<ptrdiff_t>(y) * pic.Pitch());
            for (int x = 0; x < kWidth; ++x) {
                const uint32_t r = 10 + y / 6, g = 16 + y / 4, b = 48 + y + x / 12;
                row[x] = (r << 16) | (g << 8) | b;
            }
            if (y == 70)
                for (int x = 40; x < kWidth - 40; ++x) row[x] = 0xC8A040;
        }
    }
    void* dc = nullptr;
    if (pic.GetDC(&dc)) {
        ZRFont font;
        font.SetCharset(128);
        font.SetName("Serif");
        font.SetHeight(-40);
        ZRSize size{0, 0};
        if (font.Create() && font.StartTextOut(static_cast<plat::DrawSurface*>(dc), 0xF0E6C8)) {
            font.GetExtentPoint("Solvane", &size);
            font.Write((kWidth - size.cx) / 2, 18, "Solvane");
            font.EndTextOut();
        }
        pic.ReleaseDC(dc);
    }
    SDL_Surface* screen = SDL_GetWindowSurface(window);
    if (!screen) return;
    const TNyBitsLock lock(&pic);
    if (!lock.Held()) return;
    SDL_Surface* src = SDL_CreateRGBSurfaceWithFormatFrom(pic.Bits(), kWidth, kHeight, 32,
                                                          pic.Pitch(), SDL_PIXELFORMAT_RGB888);
    if (src) {
        SDL_BlitSurface(src, nullptr, screen, nullptr);
        SDL_FreeSurface(src);
        SDL_UpdateWindowSurface(window);
    }
}

void TSplashForm::StartGame() {
    Host->SetIdleHandler({});
    // The start-up picture goes; the game's window takes its place.
    Host->DestroyWindow();
    SDL_Window* window = Host->CreateWindow(plat::ToUtf8(ApplicationTitle(), plat::CodePage::Gbk),
                                            1280, 720, SDL_WINDOW_HIDDEN);
    auto* form = new (std::nothrow) TGameForm(this, false, "scr_c", "scr_c");
    GameForm = form;
    if (!form) {
        Host->Quit(0);
        return;
    }
    form->SetNativeWindow(window);
    form->OnQuit = [host = Host] { host->Quit(0); };
    SDL_ShowCursor(SDL_DISABLE);
    form->FormCreate();
    SDL_ShowWindow(window);
    form->FormShow();
}

void TSplashForm::FormDestroy() {
    if (destroyRan_) return;
    destroyRan_ = true;
    if (GameForm) {
        TGameForm* form = GameForm;
        GameForm = nullptr;
        delete form;
    }
}

void ApplySwitch(const ZRString& arg) {
    if (arg.Length() < 2) return;
    const char lead = arg.c_str()[0];
    if (lead != '-' && lead != '/') return;
    const ZRString name = arg.SubString(2, arg.Length() - 1).UpperCase();
    if (name == ZRString("WINDOW"))
        DisplayKind = kDisplayWindow;
    else if (name == ZRString("FPS"))
        ShowFps = true;
}

int WinMain() {
    ZRSetCurrentDir(ZRExtractFileDir(ZRGetExePath()));
    plat::InstanceLock instance("SOLVANE_NOVEL");
    if (!instance.Acquire()) {
        // Nothing opens and the status stays 0; the line tells a user who started it twice why.
        std::fprintf(stderr, "solvane: the game is already running; this copy ends\n");
        return 0;
    }

    bool started = false;
    try {
        // Only now that no other copy can be writing them.
        RemoveInterruptedWrites();
        LoadConfigFile();
        for (int i = 1; i <= ZRParamCount(); ++i) {
            const ZRString arg = ZRParamStr(i);
            if (!arg.IsEmpty()) ApplySwitch(arg);
        }
        plat::WindowHost host;
        plat::SdlDisplay& display = plat::SdlDisplay::Instance();
        display.Start();
        display.Presenter().SetWakeHook([] {
            plat::MainQueue::Instance().Post(
                [] { plat::SdlDisplay::Instance().Presenter().Pump(); });
        });
        host.SetEventHandler([&host, &display](const SDL_Event& e) {
            display.Presenter().HandleEvent(e);
            if (GameForm)
                GameForm->HandleWindowEvent(e);
            else if (e.type == SDL_QUIT ||
                     (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE))
                host.Quit(0);
        });
        SplashForm = new TSplashForm(nullptr, &host);
        SplashForm->FormCreate();
        host.Run();
        started = GameForm && GameForm->Started.load();
        SaveWindowMode();
        // The main window writes its settings as it goes, before the instance is given up.
        delete SplashForm;
        SplashForm = nullptr;
        display.Presenter().SetWakeHook({});
        display.Presenter().Shutdown();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "solvane: %s\n", e.what());
        started = false;
    }
    instance.Release();
    return started ? 0 : 1;
}
