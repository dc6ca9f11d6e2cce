// The main window's life cycle: construction with the display probe, the create, show,
// close-query, hide and destroy handlers, and the ways the game asks to close.
#include "game/gamef.h"

#include <SDL.h>

#include "devices/getdxver.h"
#include "foundation/zrsys.h"
#include "game/gamedef.h"
#include "game/maint.h"
#include "media/zrcpuid.h"
#include "platform/clock.h"
#include "platform/mainqueue.h"
#include "platform/messagebox.h"
#include "platform/periodic_timer.h"
#include "widgets/nyrgbdib.h"

TGameForm* GameForm = nullptr;
ZRMemMan* MemMan = nullptr;
ZRFileMan* GameFileMan = nullptr;
ZRFileMan* MusicFileMan = nullptr;
ZRFileMan* ScriptFileMan = nullptr;

namespace {

const char* const kSysSENames[6] = {"SysSE_OK",     "SysSE_Cancel", "SysSE_Error",
                                    "SysSE_Cursor", "SysSE_Open",   "SysSE_Close"};

void Message(const std::string& text, const char* caption) {
    plat::ShowMessage(text, caption, plat::CodePage::ShiftJis, plat::MsgButtons::Ok,
                      plat::MsgIcon::Error);
}

const std::string& InitFailedText() {
    return plat::SjisText("初期化に失敗しました。");
}

}  // namespace

TGameForm::TGameForm(plat::TComponent* owner) : TGameForm(owner, false, "scr_c", "scr_c") {}

TGameForm::TGameForm(plat::TComponent* owner, bool hosted, ZRString gameArchive,
                     ZRString scriptArchive)
    : plat::WindowComponent(owner),
      Hosted(hosted),
      GameArchiveName(gameArchive),
      ScriptArchiveName(scriptArchive) {
    Init();
}

void TGameForm::Init() {
    SetClientSize(1280, 720);
    MakeLogicThread = DefaultLogicThread ? DefaultLogicThread
                                         : [](TGameForm* form) { return new TMainThread(form); };
    LoadSettings();
    ProbeOk = ProbeDisplay();
}

TGameForm::~TGameForm() {
    FormDestroy();
}

bool TGameForm::ProbeDisplay() {
    WorkBitDepth = bdNone;
    if (GetDXVersion() < 0x800) {
        Message(plat::SjisText("DirectX8以上が必要です。"), "Error");
        return false;
    }
    std::vector<DirectX::TDisplayMode> modes;
    {
        DirectX::TDDraw probe(nullptr);
        probe.ENumDisplayModes(&modes, true);
    }
    if (!PixelToScreenSize(1280, FullScreenHeight, FullScreenSize)) {
        FullScreenHeight = 1024;
        FullScreenSize = ss1280x1024;
    }
    PictureOffsetY = (FullScreenHeight - 720) / 2;
    // Which of 16, 24 and 32 bits a size offers.
    auto depthsAt = [&modes](ZRScreenSize size, bool has[5]) {
        for (int i = 0; i < 5; ++i) has[i] = false;
        for (const auto& m : modes)
            if (m.ScreenSize == size && m.PixFormat != pfNone && m.BitDepth >= bd16)
                has[m.BitDepth] = true;
    };
    bool at720[5], atTall[5];
    depthsAt(ss1280x720, at720);
    depthsAt(FullScreenSize, atTall);
    if (FullScreenSize == ss1280x720) {
        for (int i = 0; i < 5; ++i) atTall[i] = false;
    }
    const bool tallHasAny = atTall[bd16] || atTall[bd24] || atTall[bd32];
    if (!tallHasAny && FullScreenSize != ss1280x1024) {
        FullScreenHeight = 1024;
        FullScreenSize = ss1280x1024;
        PictureOffsetY = (FullScreenHeight - 720) / 2;
        depthsAt(FullScreenSize, atTall);
    }
    DisplayBitDepth = bdNone;
    for (ZRBitDepth d : {bd32, bd24, bd16}) {
        if (at720[d] || atTall[d]) {
            DisplayBitDepth = d;
            break;
        }
    }
    if (DisplayBitDepth == bdNone) {
        Has720Mode = HasTallMode = false;
        DisplayKind = kDisplayWindow;
    } else {
        Has720Mode = at720[DisplayBitDepth];
        HasTallMode = atTall[DisplayBitDepth];
    }
    if (DisplayBitDepth == bd16 || DisplayBitDepth == bd24) {
        WorkBitDepth = bd24;
        return true;
    }
    TNyRGBDib dib;
    dib.SetBitDepth(bd32);
    dib.SetPixFormat(pf32_888);
    dib.Resize(16, 16);
    if (dib.Create()) {
        WorkBitDepth = bd32;
        return true;
    }
    WorkBitDepth = bd24;
    Message(plat::SjisText("32bitのDibに対応していません。"), "Error");
    return false;
}

bool TGameForm::CreateFailed(const char* text, const char* caption) {
    Message(text, caption);
    QuitApplication();
    return false;
}

void TGameForm::FormCreate() {
    if (!CPUID().IsMmxSupport()) {
        CreateFailed(plat::SjisText("CPUがMMXに対応していません。").c_str(), "Game Error");
        return;
    }
    if (WorkBitDepth != bd32) {
        CreateFailed(plat::SjisText("1280x720,32bitカラー以上の環境が必要です。").c_str(), "Error");
        return;
    }
    if (!CreateDevices()) {
        CreateFailed(InitFailedText().c_str(), "Game Error");
        return;
    }
    for (int i = 0; i < 6; ++i)
        SysSEStream[i] = GameFileMan->Open(ZRString(kSysSENames[i]) + ".ogg");
    SetOnBitsBufferOverRun(TNotifyEvent(this, &TGameForm::BitsBufferOverRun));
    SetOnAlphaBufferOverRun(TNotifyEvent(this, &TGameForm::AlphaBufferOverRun));
    const uint32_t draws = (plat::GetTickCount() & 0xFFF) + 1;
    for (uint32_t i = 0; i < draws; ++i) GameRandom.Rnd();
    // No input method composes over the game: typed characters come from key presses.
    SDL_StopTextInput();
}

bool TGameForm::CreateDevices() {
    FrameEvent = std::make_unique<plat::Event>(false, false);
    // Hosted use keeps the host's directory; the program already stands in its own.
    if (!Hosted) ZRSetCurrentDir(ZRExtractFileDir(ZRGetExePath()));
    MemMan = new (std::nothrow) ZRMemMan();
    GameFileMan = new (std::nothrow) ZRFileMan();
    MusicFileMan = new (std::nothrow) ZRFileMan();
    ScriptFileMan = new (std::nothrow) ZRFileMan();
    if (!MemMan || !GameFileMan || !MusicFileMan || !ScriptFileMan) return false;

    if (!GameFileMan->InitPack(GameArchiveName + ".pak"))
        GameFileMan->InitDir(GameArchiveName + "_Pak");
    MusicFileMan->InitDir("BGM");
    if (!ScriptArchiveName.IsEmpty()) {
        if (Hosted || !ScriptFileMan->InitPack(ScriptArchiveName + ".pak"))
            ScriptFileMan->InitDir(ScriptArchiveName + "_Pak");
    }

    Timer = MemMan->Create<ZRTimer>();
    if (!Timer) return false;
    Timer->SetInterval(10);
    Timer->SetOnTimer(ZRBaseCallback1<void, void*>(this, &TGameForm::OnTimerTick));

    Sound = MemMan->CreateVCL<DirectX::TDSound>(this);
    if (!Sound) return false;
    Sound->SetSamplesPerSec(48000);
    Sound->SetBitsPerSample(16);
    Sound->SetUse3D(true);

    Display = MemMan->CreateVCL<DirectX::TDDraw>(this);
    if (!Display) return false;

    if (!InputUnit) {
        InputUnit = MemMan->Create<TDInputUnit>();
        if (!InputUnit) return false;
        if (!InputUnit->Initialize(NativeWindow())) {
            MemMan->Delete(InputUnit);
            return false;
        }
        InputUnit->LoadConfig(ZRExtractFilePath(ZRGetExePath()) + "Solvane.ini");
    }

    RootPanel = MemMan->CreateVCL<TNyRGBPanel>(nullptr);
    if (!RootPanel) return false;
    RootPanel->SetSizeX(1280);
    RootPanel->SetSizeY(720);

    LogicLock = MemMan->Create<ZRCriticalSection>();
    DrawLock = MemMan->Create<ZRCriticalSection>();
    FrameLock = MemMan->Create<ZRCriticalSectionEx>();
    RenderGate = MemMan->Create<ZRCriticalSectionEx>();
    SoundLock = MemMan->Create<ZRCriticalSection>();
    InputLock = MemMan->Create<ZRCriticalSection>();
    if (!LogicLock || !DrawLock || !FrameLock || !RenderGate || !SoundLock || !InputLock)
        return false;

    SmallFont = MemMan->Create<ZRFont>();
    LargeFont = MemMan->Create<ZRFont>();
    if (!SmallFont || !LargeFont) return false;
    for (ZRFont* f : {SmallFont, LargeFont}) {
        f->SetCharset(128);
        f->SetName(ZRString(plat::SjisText("ＭＳ Ｐゴシック").c_str()));
    }
    SmallFont->SetHeight(-16);
    LargeFont->SetHeight(-24);
    SmallFont->Create();
    LargeFont->Create();
    return true;
}

void TGameForm::FormShow() {
    if (GetScreenMode() == smAbandoned) return;
    bool ok = false;
    try {
        ok = ShowSteps();
    } catch (...) {
        ok = false;
    }
    if (!ok) QuitApplication();
}

bool TGameForm::ShowSteps() {
    bool ok = true;
    Sound->SetEnabled(true);
    if (!Sound->Enabled()) {
        Message(plat::SjisText("DirectSoundの初期化に失敗しました。"), "Error");
        ok = false;
    } else {
        MuteBuffer = Sound->CreateBufferMute(1);
        MemMan->AddPtr(MuteBuffer);
    }
    if (!SetupDisplay(DisplayKind)) {
        Message(plat::SjisText("DirectDrawの初期化に失敗しました。"), "Error");
        ok = false;
    } else {
        CursorBits = MakeBits(256, 32);
        CursorAlpha = MemMan->Create<TNyAlpha>();
        LoadPicture("Cursor.png", CursorBits, &CursorAlpha, WorkBitDepth);
        CursorType.store(0);
        CursorDepth = 0;
        TPoint p;
        GetMousePos(p);
        SetCursorPosition(p.x, p.y);
        CursorSave = MakeBits(32, 32);
        FpsSave = MakeBits(96, 26);
        if (CursorSave) CursorSave->Create();
        if (FpsSave) FpsSave->Create();
    }
    StartStreamService();
    LoadPicture("Wait.bmp", WaitBits, nullptr, WorkBitDepth);
    LogoAlpha = MemMan->Create<TNyAlpha>();
    CopyAlpha = MemMan->Create<TNyAlpha>();
    LoadPicture("Cap_Logo.png", LogoBits, &LogoAlpha, bd24);
    LoadPicture("Cap_Copy.png", CopyBits, &CopyAlpha, bd24);
    RootPanel->SetCreated(true);
    if (!RootPanel->GetCreated()) ok = false;
    if (plat::GetTimerCaps().minPeriod <= 5) {
        Timer->SetInterval(5);
        TimerPeriod = 5;
    }
    if (!ok) return false;

    SetScreenMode(smStarted);
    Fps.Reset();
    WaitThread = new TWaitThread(this);
    Timer->SetEnabled(true);
    RenderFull();
    TMainThread* logic = MakeLogicThread ? MakeLogicThread(this) : nullptr;
    MainThread.store(logic);
    WaitThread->Resume();
    if (logic) logic->Resume();
    Started.store(true);
    return true;
}

TNyRGBBits* TGameForm::MakeBits(int w, int h) {
    TNyRGBBits* b = MemMan->Create<TNyRGBBits>();
    if (!b) return nullptr;
    b->SetBitDepth(WorkBitDepth);
    b->SetPixFormat(WorkBitDepth == bd32 ? pf32_888 : pf24_888);
    b->Resize(w, h);
    return b;
}

bool TGameForm::LoadPicture(const char* name, TNyRGBBits*& bits, TNyAlpha** alpha,
                            ZRBitDepth depth) {
    if (!bits) {
        bits = MemMan->Create<TNyRGBBits>();
        if (!bits) return false;
        bits->SetBitDepth(depth);
        bits->SetPixFormat(depth == bd32 ? pf32_888 : pf24_888);
    }
    ZRStream* s = GameFileMan->Open(name);
    if (!s) return false;
    const bool png = alpha != nullptr;
    const bool ok = png ? bits->DrawPngStream(s, 0, 0, *alpha) : bits->DrawBmpStream(s, 0, 0);
    GameFileMan->Close(s);
    return ok;
}

void TGameForm::DeleteBits(TNyRGBBits*& bits) {
    if (MemMan) MemMan->Delete(bits);
}

void TGameForm::DeleteAlpha(TNyAlpha*& alpha) {
    if (MemMan) MemMan->Delete(alpha);
}

bool TGameForm::FormCloseQuery() {
    if (GetScreenMode() == smClosing) return true;
    if (TMainThread* t = MainThread.load()) {
        if (DisplayKind == kDisplayWindow) {
            const plat::MsgAnswer a = plat::ShowMessage(
                plat::GbkText("确定要退出游戏吗？"), ApplicationTitle(), plat::CodePage::Gbk,
                plat::MsgButtons::OkCancel, plat::MsgIcon::Question);
            if (a != plat::MsgAnswer::Ok) return false;
        }
        t->Terminate();
        if (FrameEvent) FrameEvent->Pulse();
        return false;
    }
    SetScreenMode(smClosing);
    return true;
}

void TGameForm::Close() {
    if (hideRan_) return;
    if (FormCloseQuery()) FormHide();
}

void TGameForm::FormHide() {
    if (GetScreenMode() == smAbandoned || hideRan_) return;
    hideRan_ = true;
    ScreenMode.store(smClosing);
    JoinScreenshot();
    if (Timer) Timer->SetEnabled(false);

    if (TMainThread* t = MainThread.load()) {
        t->Terminate();
        {
            const ZRSectionHold logic(LogicLock);
            t->Resume();
            FrameEvent->Pulse();
        }
        t->WaitFor();
        MainThread.store(nullptr);
        delete t;
    }
    if (WaitThread) {
        WaitThread->Stop();
        FrameEvent->Pulse();
        WaitThread->WaitFor();
        delete WaitThread;
        WaitThread = nullptr;
    }
    if (RootPanel && LogicLock) {
        const ZRSectionHold logic(LogicLock);
        RootPanel->SetCreated(false);
    }
    if (DrawLock) {
        const ZRSectionHold draw(DrawLock);
        ReleaseDisplayMembers();
        // Music and movies let go of the mixer before the sound device goes.
        ReleaseChannels();
        FinishStreamService();
        if (MuteBuffer) {
            MuteBuffer->Stop();
            MemMan->Delete(MuteBuffer);
        }
        if (Sound) Sound->SetEnabled(false);
    }
    QuitApplication();
}

void TGameForm::ReleaseDisplayMembers() {
    DeleteBits(CursorBits);
    DeleteAlpha(CursorAlpha);
    DeleteBits(CursorSave);
    DeleteBits(FpsSave);
    DeleteBits(LogoBits);
    DeleteAlpha(LogoAlpha);
    DeleteBits(CopyBits);
    DeleteAlpha(CopyAlpha);
    DeleteBits(WaitBits);
    if (ConvertBits && MemMan) MemMan->Delete(ConvertBits);
    if (Display) Display->SetEnabled(false);
}

void TGameForm::FormDestroy() {
    if (destroyRan_) return;
    destroyRan_ = true;
    JoinScreenshot();
    SetOnBitsBufferOverRun(TNotifyEvent());
    SetOnAlphaBufferOverRun(TNotifyEvent());
    if (GetScreenMode() != smCreated) SaveSettings();
    if (MemMan && GameFileMan) {
        if (Sound) StopBGM(false);
        // A window whose show handler failed never hid: its channels and the stream service
        // still hold buffers and the mixer.
        ReleaseChannels();
        FinishStreamService();
        for (ZRStream*& s : SysSEStream)
            if (s) GameFileMan->Close(s);
        StopTransition();
        // A window that never showed may still hold pictures and the mute buffer.
        ReleaseDisplayMembers();
        if (MuteBuffer) MemMan->Delete(MuteBuffer);
        MemMan->Delete(SmallFont);
        MemMan->Delete(LargeFont);
        MemMan->Delete(LogicLock);
        MemMan->Delete(DrawLock);
        MemMan->Delete(FrameLock);
        MemMan->Delete(RenderGate);
        MemMan->Delete(SoundLock);
        MemMan->Delete(InputLock);
        MemMan->Delete(RootPanel);
        MemMan->Delete(Sound);
        MemMan->Delete(Display);
        MemMan->Delete(InputUnit);
        MemMan->Delete(Timer);
    }
    delete MemMan;
    MemMan = nullptr;
    delete GameFileMan;
    GameFileMan = nullptr;
    delete MusicFileMan;
    MusicFileMan = nullptr;
    delete ScriptFileMan;
    ScriptFileMan = nullptr;
    FrameEvent.reset();
}

void TGameForm::SetScreenMode(uint8_t mode) {
    const ZRSectionHold logic(LogicLock);
    ScreenMode.store(mode);
}

void TGameForm::RequestClose() {
    ScreenMode.store(smClosing);
    PostClose();
}

void TGameForm::PostClose() {
    TGameForm* self = this;
    plat::MainQueue::Instance().Post([self] {
        if (GameForm == self) self->Close();
    });
}

void TGameForm::CloseGame(bool ask) {
    if (TMainThread* t = MainThread.load()) {
        if (ask && DisplayKind == kDisplayWindow) {
            const plat::MsgAnswer a = plat::ShowMessage(
                plat::GbkText("确定要退出游戏吗？"), ApplicationTitle(), plat::CodePage::Gbk,
                plat::MsgButtons::OkCancel, plat::MsgIcon::Question);
            if (a != plat::MsgAnswer::Ok) return;
        }
        t->Terminate();
        return;
    }
    ScreenMode.store(smClosing);
    PostClose();
}

void TGameForm::QuitApplication() {
    uint8_t created = smCreated;
    ScreenMode.compare_exchange_strong(created, smAbandoned);
    if (Hosted) {
        if (created == smCreated) PostClose();
        return;
    }
    if (OnQuit) OnQuit();
}

void TGameForm::PlayMuteBuffer() {
    if (MuteBuffer) MuteBuffer->Play(false);
}

const std::string& ApplicationTitle() {
    return plat::GbkText("Solvane ～星辰回廊～");
}
