// TGameForm: the game's one window and the owner of everything the frame loop needs: the
// memory and file managers (globals), the frame clock and its event, the display, sound and
// input devices, the root widget panel, the locks, the fonts, the cursor and the recorded
// window input. It runs the frame step (paced by the clock, driven by the logic thread or the
// wait thread), renders the picture whole or by changed rectangles, and starts and shuts down
// the game's threads in order.
//
// Lock order, where several are held: FrameLock, then LogicLock, then DrawLock. SoundLock and
// InputLock are always taken alone. RenderGate is only ever tried, never waited for: a render
// that finds it taken is skipped. ClockLock and the memory manager's registry lock come after
// all of these: they may be taken under any of them and are never held while another is taken.
// FrameLock serves its takers in the order they came, since the wait thread and the logic
// thread both step frames back to back and a thread that took it back at once would starve
// the other.
#pragma once
#include <atomic>
#include <bitset>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "devices/dinputu.h"
#include "devices/nyddraw.h"
#include "devices/nydsound.h"
#include "foundation/zrcallback.h"
#include "foundation/zrfileman.h"
#include "foundation/zrfont.h"
#include "foundation/zrmemman.h"
#include "foundation/zrrect.h"
#include "foundation/zrstream.h"
#include "foundation/zrstring.h"
#include "foundation/zrsync.h"
#include "foundation/zrtimer.h"
#include "game/gamedata.h"
#include "game/gameeffect.h"
#include "platform/event.h"
#include "platform/windowcomponent.h"
#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbpanel.h"

union SDL_Event;
class TMainThread;
class TWaitThread;

// Screen modes of the main window.
enum : uint8_t {
    smCreated = 0,
    smAbandoned = 1,
    smStarted = 2,
    smMenu = 3,
    smBattle = 4,
    smAdventure = 5,
    smMovie = 6,
    smWait = 7,
    smHold = 8,
    smTransition = 9,
    smClosing = 10,
};

// One window input event queued for the frame update. Fields a kind does not use are zero.
struct InputRecord {
    enum Kind : uint8_t {
        MouseMove = 0,
        MouseDown = 1,
        MouseUp = 2,
        MouseWheel = 3,
        MouseEnter = 4,
        MouseLeave = 5,
        KeyDown = 6,
        KeyUp = 7,
        KeyPress = 8,
    };
    uint8_t kind = 0;
    int32_t x = 0;
    int32_t y = 0;
    TShiftState shift = 0;
    TMouseButton button = mbLeft;
    int32_t delta = 0;
    uint16_t key = 0;
};

// Frames rendered in the last four complete quarter seconds.
class FpsCounter {
  public:
    void Reset();
    int32_t Count();
    int32_t Value() const { return value_; }

  private:
    uint32_t start_[5] = {};
    int32_t count_[5] = {};
    int32_t index_ = 0;
    int32_t value_ = 0;
};

// Keeps the display's surfaces locked while a render or a capture draws into them or reads
// them. A presenter still reading one (a frame shown straight from it) is waited for, for at
// most a second as WaitCanDraw waits for the draw surface, and no presenter starts reading
// them before the hold ends, so every lock taken inside it succeeds. Null surfaces are
// passed over; Held is false when one could not be locked (and then none is).
class PictureHold {
  public:
    explicit PictureHold(DirectX::TDSurface* first, DirectX::TDSurface* second = nullptr);
    ~PictureHold();
    PictureHold(const PictureHold&) = delete;
    PictureHold& operator=(const PictureHold&) = delete;
    bool Held() const { return held_; }

  private:
    DirectX::TDSurface* locked_[2] = {};
    int count_ = 0;
    bool held_ = true;
};

class TGameForm : public plat::WindowComponent {
  public:
    // The logic thread the show handler starts; replaced by tests and by the game flow.
    using ThreadFactory = std::function<TMainThread*(TGameForm*)>;

    explicit TGameForm(plat::TComponent* owner);
    TGameForm(plat::TComponent* owner, bool hosted, ZRString gameArchive, ZRString scriptArchive);
    ~TGameForm() override;

    // Life cycle, in the order the window host calls them.
    void FormCreate();
    void FormShow();
    // True when the window may close now.
    bool FormCloseQuery();
    void FormHide();
    void FormDestroy();
    // The window's close button and every close request: asks, then shuts down.
    void Close();

    bool SetupDisplay(uint8_t kind);
    bool ResetDisplay(uint8_t kind);
    void RequestClose();
    void CloseGame(bool ask);
    void QuitApplication();
    void PlayMuteBuffer();

    uint8_t GetScreenMode() const { return ScreenMode.load(); }
    void SetScreenMode(uint8_t mode);

    // Mode entry for the modes the logic thread's wrappers ask for.
    void BeginMenuMode();
    void BeginWaitMode();
    void BeginHoldMode();

    // Frame clock and step.
    void TimerTick();
    void OnTimerTick(void* timer);
    void ResetFrameClock();
    void FrameStep();
    void Update(int ticks);
    void SetJoypadEnabled(bool on);
    void SetOnFrame(const ZRBaseCallback1<void, int>& r) { OnFrame = r; }
    void SetOnInput(const ZRBaseCallback2<void, int, TDInputUnit*>& r) { OnInput = r; }
    // The draw hooks change under DrawLock, which every render holds while it reads and calls
    // them: the wait thread renders on its own while the logic thread sets them.
    void SetOnDraw(const ZRBaseCallback2<void, TNyRGBBits*, int>& r);
    void SetOnDrawModified(const ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*>& r);
    TGameForm* SetOnMovieDraw(const ZRBaseCallback2<bool, TNyRGBBits*, int>& r) {
        OnMovieDraw = r;
        return this;
    }

    // Rendering.
    void RenderFull();
    void RenderModified(int ticks);
    void RenderMovie();
    bool WaitCanDraw();
    void ClearBorders();
    void GetMousePos(TPoint& p);
    void SetCursorPosition(int x, int y);
    int32_t GetCursorType() const { return CursorType.load(); }
    void SetCursorType(int32_t type);
    bool PushCursorType();
    bool PopCursorType();

    // Window input.
    void FormMouseMove(TShiftState shift, int x, int y);
    void FormMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    void FormMouseUp(TMouseButton button, TShiftState shift, int x, int y);
    void FormMouseWheel(TShiftState shift, int delta, bool& handled);
    void FormMouseEnter();
    void FormMouseLeave();
    void FormKeyDown(uint16_t key, TShiftState shift);
    void FormKeyUp(uint16_t key, TShiftState shift);
    void FormKeyPress(char key);
    void PushInput(const InputRecord& r);
    void ProcessInput();
    void FlushInput();
    size_t QueuedInput();
    // Window thread: turns one window event into handler calls.
    void HandleWindowEvent(const SDL_Event& e);
    // The system's request to end (a signal, the session ending): ends as the exit does,
    // without the question nobody may be there to answer.
    void EndUnasked();

    // Audio channels (gamef_audio.cpp). Everything here runs under SoundLock; without a sound
    // device every play succeeds silently, stops do nothing and the factories give null.
    // Volumes are percentages 0-100; a setter given anything else keeps the stored value.
    void SetVolumeBGM(int32_t v);
    int32_t GetVolumeBGM();
    void SetBGMVol(int32_t v);
    bool PlayBGM(int32_t track, bool loop, bool fade);
    void StopBGM(bool fade);
    int32_t GetBGMTrack();
    bool IsBGMPlaying();
    bool OpenBGM(int32_t slot, int32_t track, bool loop, int32_t volume);
    bool CloseBGM(int32_t slot);
    void SetVolumeVoice(int32_t v);
    int32_t GetVolumeVoice();
    void SetVoiceVol(int32_t v);
    bool PlayVoice(ZRFileMan* files, const ZRString& name);
    bool PlayVoiceEx(ZRFileMan* files, const ZRString& name, int32_t first, int32_t second);
    void StopVoice();
    bool IsVoicePlaying();
    DirectX::TDSoundBuffer* LoadVoiceBuffer(ZRFileMan* files, const ZRString& name);
    DirectX::TDSoundBuffer* CreateVoiceBuffer(ZRFileMan* files, const ZRString& name, int32_t first,
                                              int32_t second);
    void SetVolumeSE(int32_t v);
    int32_t GetVolumeSE();
    void SetSEVol(int32_t v);
    bool PlaySE(ZRFileMan* files, const ZRString& name);
    bool PlaySEEx(ZRFileMan* files, const ZRString& name, int32_t first, int32_t second);
    void StopSE();
    bool IsSEPlaying();
    DirectX::TDSoundBuffer* LoadSEBuffer(ZRFileMan* files, const ZRString& name);
    DirectX::TDSoundBuffer* CreateSEBuffer(ZRFileMan* files, const ZRString& name, int32_t first,
                                           int32_t second);
    void SetEnvVol(int32_t v);
    bool PlayEnv(ZRFileMan* files, bool fadeIn, const ZRString& name, int32_t first,
                 int32_t second);
    void StopEnv(bool fade);
    bool IsEnvPlaying();
    void SetVolumeRear(int32_t v);
    void SetRainVol(int32_t v);
    bool PlayRain(int32_t level, bool fade);
    void StopRain(bool fade);
    bool IsRainPlaying();
    bool PlaySysSE(int32_t n);
    void FreeSysSE(int32_t index);
    // The frame update's step: music and environment volumes move 2 points a tick.
    void UpdateChannels(int32_t ticks);
    // Settings file: FPSMode and the four configuration volumes.
    void LoadSettings();
    void SaveSettings();
    // Start and finish of the music and movie service, once per window.
    void StartStreamService();
    void FinishStreamService();
    // Hide and destroy: stops the music and frees every channel's buffer (idempotent).
    void ReleaseChannels();

    uint32_t BGMHandle[2] = {};  // slot 0 and 1; 0 = none
    int32_t BGMTrack = 0;        // 0 = none
    bool BGMLoop = false;
    int32_t BGMSlot = 0;  // the current handle; the other one is fading or empty
    int32_t BGMVolume = 0;
    int32_t OldBGMVolume = 0;  // of the fading handle; 0 = not fading
    DirectX::TDSoundBuffer* VoiceBuffer = nullptr;
    ZRString VoiceName;
    int32_t VoicePos[2] = {};
    DirectX::TDSoundBuffer* SEBuffer = nullptr;
    ZRString SEName;
    int32_t SEPos[2] = {};
    DirectX::TDSoundBuffer* EnvBuffer = nullptr;
    ZRString EnvName;
    int32_t EnvPos[2] = {};
    int32_t EnvVolume = 0;
    bool EnvFadingOut = false;
    // The rain channel keeps its place but never sounds.
    DirectX::TDSoundBuffer* RainBuffer = nullptr;
    DirectX::TDSoundBuffer* SysSEBuffer[4] = {};
    ZRString SysSEName[4];
    int32_t SysSEIndex = 0;
    int32_t VolumeBGM = 50;
    int32_t SceneBGMVolume = 100;
    int32_t VolumeVoice = 100;
    int32_t SceneVoiceVolume = 100;
    int32_t VolumeSE = 80;
    int32_t SceneSEVolume = 100;
    int32_t SceneEnvVolume = 100;
    int32_t RainVolume = 100;
    int32_t VolumeRear = 90;
    bool StreamServiceStarted = false;

    // Whether the window has the input focus (the application is active).
    bool ApplicationActive() const { return Active.load(); }

    // Layers, mode entries, screen capture and transition control. The window owns every
    // picture pair handed to a transition start, refused or not, until the next start, a stop
    // or its destruction.
    void AttachLayer(TNyRGBPanel* layer);
    void DetachLayer(TNyRGBPanel* layer);
    void SetRootVisible(bool visible);
    void RefreshMouseEnter();
    void BeginBattleMode();
    void BeginAvgMode();
    void BeginMovieMode();
    bool BeginTransitionMode(int32_t kind, TNyRGBBits* from, int32_t speed, TNyRGBBits* to);
    void CaptureScreen(TNyRGBBits* dest);
    void DrawPanelsTo(TNyRGBBits* dest);
    void ClearBitsLocked(TNyRGBBits* bits);
    bool StartTransition(int32_t kind, TNyRGBBits* from, TNyRGBBits* to);
    bool StartTransitionEx(int32_t kind, TNyRGBBits* from, int32_t speed, TNyRGBBits* to);
    int32_t AdvanceTransition(int32_t ticks);
    bool IsTransitionIdle() const;
    void StopTransition();
    void DrawTransition(TNyRGBBits* target, int32_t yoff, ZRRectSet* dirty);
    void PulseFrameEvent();
    TransitionEffect Transition;
    TNyRGBBits* TransitionFrom = nullptr;
    TNyRGBBits* TransitionTo = nullptr;

    // Resources of the transition kinds that need one, from the game archive; a missing mask
    // throws EGameErr, missing water tables are neutral, a missing halo file is skipped.
    void LoadWaterTables();
    void FreeWaterTables();
    void LoadHalo();
    void FreeHalo();
    void LoadTransitionMask(const ZRString& name);
    void FreeTransitionMask();

    // Screenshots, in-window hot keys and the display-mode messages.
    enum HotKey : int32_t {
        hkNone = -1,
        hkScreenshot = 0,
        hkScreenshotCursor = 1,
        hkToggleDisplay = 2,
    };
    // Window thread: the hot key a key-down event is (hkNone for any other event).
    static HotKey HotKeyOf(const SDL_Event& e);
    // Window thread: acts on a hot key; true when handled.
    bool HandleHotKey(HotKey id);
    // Window thread: acts on a key event that presses a hot key. True when the event belongs
    // to a press a hot key took: that press, its repeats and its release are no game input.
    bool TakeHotKey(const SDL_Event& e);
    void TakeScreenshot(bool withCursor);
    // Posts a display-mode request (0, 1 or 2) to the main queue.
    void PostDisplayModeRequest(int32_t mode);
    void WMChangeDisplayMode(int32_t mode);
    void WMDisplayChange(int32_t bitsPerPixel);
    void BitsBufferOverRun(plat::TComponent* sender);
    void AlphaBufferOverRun(plat::TComponent* sender);
    // Whether the window is minimised; hot keys do nothing then.
    std::atomic<bool> Minimized{false};
    // Window thread: takes the picture of this press at once and leaves writing it to the
    // screenshot worker, which writes the pictures in the order of their presses. At most
    // kWaitingShots pictures wait for the worker; a press beyond that is refused with a
    // message on the error output.
    void StartScreenshot(bool withCursor);
    // Waits until every picture taken is written.
    void JoinScreenshot();
    // ResetDisplay from the window thread, running the main queue while it waits for locks.
    bool ResetDisplayServicing(uint8_t kind);
    static constexpr size_t kWaitingShots = 4;
    // Called by the screenshot worker before it writes each picture; tests hold it there.
    std::function<void()> ScreenshotWriteGate;
    // A picture waits for the worker or is being written.
    bool ScreenshotBusy();

    const bool Hosted;
    const ZRString GameArchiveName;
    const ZRString ScriptArchiveName;
    std::atomic<uint8_t> ScreenMode{smCreated};
    std::atomic<bool> WaitEnded{true};
    std::unique_ptr<plat::Event> FrameEvent;
    const bool KeyboardEnabled = false;
    std::atomic<bool> JoypadEnabled{false};
    int32_t DeviceCheckTicks = 0;
    std::atomic<bool> FullRenderPending{false};
    uint8_t FrameRateMode = 2;
    int32_t TimerPeriod = 10;
    std::atomic<int32_t> SubTick{0};
    FpsCounter Fps;
    DirectX::TDSurface* ConvertBits = nullptr;
    // Where the display's draw surface still lacks the picture: frames shown on a window
    // straight from ConvertBits. Copied over before anything presents the draw surface.
    ZRRectSet DrawSurfaceBehind;
    TNyRGBBits* CursorBits = nullptr;
    TNyAlpha* CursorAlpha = nullptr;
    std::atomic<int32_t> CursorType{-1};
    int32_t CursorStack[16] = {};
    int32_t CursorDepth = 0;
    int32_t CursorX = -100;
    int32_t CursorY = -100;
    // The cursor type the last render drew (-3 before any).
    int32_t ShownCursorType = -3;
    // The frame-rate value the screen's box shows, -1 when the screen shows no box.
    int32_t ShownFps = -1;
    TNyRGBBits* CursorSave = nullptr;
    TNyRGBBits* FpsSave = nullptr;
    TNyRGBBits* WaitBits = nullptr;
    int32_t WaitLevel = 0;
    int32_t WaitCount = 0;
    int32_t WaitCell = 0;
    TNyRGBBits* LogoBits = nullptr;
    TNyAlpha* LogoAlpha = nullptr;
    TNyRGBBits* CopyBits = nullptr;
    TNyAlpha* CopyAlpha = nullptr;
    std::deque<InputRecord> InputQueue;
    DirectX::TDSoundBuffer* MuteBuffer = nullptr;
    // The six system sounds, kept open for the whole run.
    ZRStream* SysSEStream[6] = {};
    ZRCriticalSectionEx* RenderGate = nullptr;
    ZRCriticalSection* SoundLock = nullptr;
    ZRCriticalSection* InputLock = nullptr;
    ZRBaseCallback1<void, int> OnFrame;
    ZRBaseCallback2<void, int, TDInputUnit*> OnInput;
    ZRBaseCallback2<void, TNyRGBBits*, int> OnDraw;
    ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*> OnDrawModified;
    ZRBaseCallback2<bool, TNyRGBBits*, int> OnMovieDraw;
    ZRBaseCallback0<void> OnIdle;
    std::vector<ZRBaseCallback1<void, bool>> RestoreHandlers;
    ZRTimer* Timer = nullptr;
    DirectX::TDDraw* Display = nullptr;
    DirectX::TDSound* Sound = nullptr;
    TDInputUnit* InputUnit = nullptr;
    TNyRGBPanel* RootPanel = nullptr;
    ZRCriticalSection* LogicLock = nullptr;
    ZRCriticalSection* DrawLock = nullptr;
    ZRCriticalSectionEx* FrameLock = nullptr;
    std::atomic<int32_t> FrameTicks{0};
    std::atomic<int32_t> ConsumedTicks{0};
    // Keeps a clock reset from landing between a frame step's reading of the ticks and its
    // storing of what it consumed: the reset comes from threads that may hold the logic lock,
    // so it cannot wait for the frame lock.
    ZRCriticalSectionEx ClockLock;
    ZRFont* SmallFont = nullptr;
    ZRFont* LargeFont = nullptr;
    std::atomic<bool> Started{false};

    TWaitThread* WaitThread = nullptr;
    ThreadFactory MakeLogicThread;
    // Called by QuitApplication outside hosted use: ends the message loop.
    std::function<void()> OnQuit;
    // Called by RequestClose and CloseGame: asks the window host to close the window.
    std::function<void()> OnCloseRequest;
    // Mouse position in client coordinates, as the window thread last saw it.
    std::atomic<int32_t> MouseX{0};
    std::atomic<int32_t> MouseY{0};
    std::atomic<bool> Active{true};
    // The probe's verdict; the create handler refuses to start when it failed.
    bool ProbeOk = false;

  private:
    void Init();
    void PostClose();
    void PushButton(uint8_t kind, TMouseButton button, TShiftState shift, int x, int y);
    bool ProbeDisplay();
    bool CreateFailed(const char* text, const char* caption);
    bool CreateDevices();
    bool ShowSteps();
    void ReleaseDisplayMembers();
    void BeginMode(uint8_t mode);
    TNyRGBBits* RenderTarget() const;
    int32_t PictureY() const;
    // Runs draw(mode) inside the locks and holds of a render, with the screen mode they were
    // chosen for; closingStops: not while closing. False when it did not run.
    template <typename Draw>
    bool RenderFrame(bool closingStops, Draw draw);
    void DrawWaitCell(TNyRGBBits* target, int yoff);
    void WaitStep(TNyRGBBits* target, int yoff, ZRRectSet& rects);
    // Whether a drawn frame may be presented now. Full screen behind another application it
    // may not: the display keeps what was drawn (drawn, or the whole display when null) as
    // owed, and the first frame back presents it, however still.
    bool MayPresent(const ZRRectSet* drawn);
    // The render bodies, run with the locks taken, the display ready and the pictures held.
    void DrawFull(uint8_t mode);
    void DrawModified(int ticks, uint8_t mode);
    void DrawMovie();
    // False when the corner under the box could not be saved: nothing was drawn then.
    bool DrawFpsBox(TNyRGBBits* target);
    // False when no cursor was drawn (hidden, or the pixels under it could not be saved).
    bool DrawCursor(TNyRGBBits* target, int yoff);
    // The mouse shows the cursor where it was drawn last, of the type drawn last.
    bool CursorAtRest();
    // Puts back what the cursor and the frame-rate box covered, each only when it was drawn.
    void TakeAway(TNyRGBBits* target, int yoff, bool cursor, bool fps);
    // The display's draw surface when it is its back surface, else null: the surface a render
    // holds besides ConvertBits (a visible one is written only by copies that wait for it).
    DirectX::TDSurface* BackDrawSurface() const;
    // Copies DrawSurfaceBehind from ConvertBits into the draw surface.
    void CatchUpDrawSurface();
    TNyRGBBits* MakeBits(int w, int h);
    bool LoadPicture(const char* name, TNyRGBBits*& bits, TNyAlpha** alpha, ZRBitDepth depth);
    void DeleteBits(TNyRGBBits*& bits);
    void DeleteAlpha(TNyAlpha*& alpha);

    // Screenshots: the picture of the screen (with the cursor when asked), null when there is
    // none; and writing a taken picture to its file or the clipboard, which frees it.
    TNyRGBBits* CaptureShot(bool withCursor);
    void WriteShot(TNyRGBBits* shot);
    // The worker's loop: writes the waiting pictures until none is left.
    void WriteWaitingShots();

    bool hideRan_ = false;
    bool destroyRan_ = false;
    // Window thread: the keys, by SDL scan code, whose press down now a hot key took.
    std::bitset<512> hotKeyPresses_;
    std::thread shotThread_;
    std::mutex shotMutex_;
    std::deque<TNyRGBBits*> waitingShots_;
    // The worker runs (it ends when it finds no picture waiting).
    bool shotWorker_ = false;
};

// The application's title (GBK): the window caption and the exit question's caption.
// The logic thread every new main window starts with. Empty until the program entry names
// the game's thread; the window then falls back to a thread that only waits for frames.
extern TGameForm::ThreadFactory DefaultLogicThread;

// What a frame step waits for before it runs. Empty: the window's own pacing (the frame event
// or a short sleep). A lock-step test installs a gate here that lets one frame through at a
// time and adds its tick itself; it is called with the frame lock held.
extern std::function<void(TGameForm*)> FramePacer;
// Called by a frame step between reading the clock and storing the ticks it consumed, with
// the clock's lock held; a test stops a step there.
extern std::function<void(TGameForm*)> FrameClockProbe;

const std::string& ApplicationTitle();

// The main window once it exists.
extern TGameForm* GameForm;
// The game's data and scripts, the music, and the scripts' own manager.
extern ZRMemMan* MemMan;
// Deletes through the memory manager, so its record goes too; plainly when there is none (the
// units' tests run some units without one). Leaves the pointer null.
template <typename T>
void DeleteTracked(T*& p) {
    if (!p) return;
    if (MemMan)
        MemMan->Delete(p);
    else
        delete p;
    p = nullptr;
}
extern ZRFileMan* GameFileMan;
extern ZRFileMan* MusicFileMan;
extern ZRFileMan* ScriptFileMan;
