// The parts of the adventure scene that the host reaches through small interfaces: the text
// windows, the stage, the sound channels, the movie player and the main window's frame
// services. The host keeps one of each; the base classes are the parts at rest (nothing
// shown, nothing heard, nothing moving), so the scene runs before the real units exist and
// tests replace single operations with recording ones.
#pragma once
#include <cstdint>

#include "foundation/zrcallback.h"
#include "foundation/zrstring.h"
#include "game/gamedata.h"

class TNyRGBPanel;
class TNyRGBBits;

// What the stage shows, handed over whole before every stage step.
struct AvgStageValues {
    int32_t period;
    int32_t weather;
    int32_t rainLevel;
    int32_t background;
    CharSlots chars;
    int32_t priority;  // 0-3
};

// The message window (novel = false) and the novel window, the wait icons, the choice window,
// the date and time plates, the place card and the rest of the sub-windows.
class AvgWindows {
  public:
    virtual ~AvgWindows() = default;
    // Adds text to the window; cost 0 shows it at once.
    virtual void AddText(bool novel, const ZRString& text, int32_t cost) {
        (void)novel, (void)text, (void)cost;
    }
    virtual void NewLine(bool novel) { (void)novel; }
    virtual void Clear(bool novel) { (void)novel; }
    virtual void Show(bool novel, bool show, bool instant) {
        (void)novel, (void)show, (void)instant;
    }
    // Typing, or sliding in or out.
    virtual bool IsMoving(bool novel) const { return (void)novel, false; }
    virtual bool IsTyping(bool novel) const { return (void)novel, false; }
    // The message window's name plate takes the width of what it shows at once.
    virtual void NamePlateJump() {}
    virtual void WaitIcon(bool novel, bool show) { (void)novel, (void)show; }
    // The Auto/Skip buttons and the fast-forward icon.
    virtual void SetModeButtons(bool autoMode, bool skipMode) { (void)autoMode, (void)skipMode; }
    virtual void SelectClear() {}
    virtual void SelectAdd(int index, const ZRString& text) { (void)index, (void)text; }
    virtual void SelectShow(bool instant) { (void)instant; }
    virtual bool IsSelectMoving() const { return false; }
    virtual void DateShow(bool instant) { (void)instant; }
    virtual void DateHide(bool instant) { (void)instant; }
    virtual void TimeShow(bool instant) { (void)instant; }
    virtual void TimeHide(bool instant) { (void)instant; }
    // The plates' digits from the game state.
    virtual void PlatesRefresh() {}
    virtual void PlaceShow(int32_t n) { (void)n; }
    virtual void PlaceHide() {}
    virtual bool IsPlaceVisible() const { return false; }
    // Every sub-window (plates, place card, message window layers, novel window, backlog,
    // choice window, menu bar) off or back on the scene's panel. The extra selection is the
    // host's own and goes with them.
    virtual void DetachAll() {}
    virtual void AttachAll() {}

    // What the scene's frame and its resume ask of the windows.
    // One frame of the message and novel windows, backlog, plates, choice window and place
    // card (with the frame-skipping flag), and of the menu bar.
    virtual void Frame(int32_t ticks, bool skipping) { (void)ticks, (void)skipping; }
    // The choice the player points at, -1 none; hiding reports whether it moves.
    virtual int32_t SelectIndex() const { return -1; }
    virtual bool SelectHide(bool instant) { return (void)instant, false; }
    virtual void BacklogHide(bool instant) { (void)instant; }
    virtual bool IsBacklogMoving() const { return false; }
    virtual void MenuBarClose(bool instant) { (void)instant; }
    virtual bool IsMenuBarMoving() const { return false; }
    // The item the menu bar closed with: 1 skip, 2 auto, 3 hide, 4 backlog, 5 configuration,
    // 6 title, 100 save, 101 load; anything else nothing.
    virtual int32_t MenuBarResult() const { return 0; }

    // ---- What the player's input reaches ----
    virtual bool IsVisible(bool novel) const { return (void)novel, false; }
    virtual void ShowBacklogView() {}  // the newest page, the bar at its bottom
    virtual void BacklogShow(bool instant) { (void)instant; }
    virtual bool IsBacklogVisible() const { return false; }
    // False when the first line shown stays where it was.
    virtual bool BacklogScroll(int32_t delta) { return (void)delta, false; }
    // The view from the bar's position.
    virtual void BacklogFromBar() {}
    virtual bool IsSelectVisible() const { return false; }
    virtual void SelectCursor(bool up) { (void)up; }
    virtual bool IsDateVisible() const { return false; }
    virtual bool IsTimeVisible() const { return false; }
    // The system menu bar: item -1 none; item i of the eight on or off.
    virtual void MenuBarOpenAt(int32_t item) { (void)item; }
    // The save/load sub-menu with its cursor on item (0 save, 1 load).
    virtual void MenuBarOpenSubAt(int32_t item) { (void)item; }
    virtual void MenuBarEnable(int item, bool on) { (void)item, (void)on; }
    virtual void MenuBarCursor(bool up) { (void)up; }
    virtual void MenuBarSelect() {}
    virtual void MenuBarCancel() {}
};

class AvgStage {
  public:
    virtual ~AvgStage() = default;
    // False for the stage at rest: there is nothing to lend.
    virtual bool Exists() const { return false; }
    virtual void SetValues(const AvgStageValues& v) { (void)v; }
    // Each gives true when something starts moving.
    virtual bool StartTransition(int32_t effect, int32_t speed) {
        return (void)effect, (void)speed, false;
    }
    virtual bool ApplyChars() { return false; }
    virtual bool StartEffect(int32_t n) { return (void)n, false; }
    // The centre character's moves the battle plays on a hit: 0 shiver, 1 dash.
    virtual bool StartMove(int32_t n) { return (void)n, false; }
    virtual void ApplyWeather(bool animate) { (void)animate; }
    virtual void SetSpeaking(int slot, bool on) { (void)slot, (void)on; }
    virtual bool IsBusy() const { return false; }
    virtual void Frame(int32_t ticks, bool skipping, bool effectCanSkip) {
        (void)ticks, (void)skipping, (void)effectCanSkip;
    }
    virtual void Attach(TNyRGBPanel* parent, const ZRBaseCallback1<void, int>& callback) {
        (void)parent, (void)callback;
    }
    virtual void Detach() {}
    // The picture of the stage's root panel a save's thumbnail is made from; none at rest.
    virtual TNyRGBBits* ScreenPicture() { return nullptr; }
};

// The main window's sound channels. Position pairs are handed on unchanged; at rest every
// operation succeeds without effect.
class AvgAudio {
  public:
    virtual ~AvgAudio() = default;
    // Finds the voice's pack and entry and plays it; true when it plays.
    virtual bool PlayVoice(uint32_t number, int32_t a, int32_t b) {
        return (void)number, (void)a, (void)b, false;
    }
    virtual bool IsVoicePlaying() const { return false; }
    virtual void StopVoice() {}
    virtual void SetVoiceVol(int32_t v) { (void)v; }
    virtual void PlayBGM(int32_t track, bool loop, bool fade) {
        (void)track, (void)loop, (void)fade;
    }
    virtual void StopBGM(bool fade) { (void)fade; }
    virtual void SetBGMVol(int32_t v) { (void)v; }
    // Effect and environment sounds come from the effect archive by name ("se001").
    virtual void PlaySE(const ZRString& name, int32_t a, int32_t b) {
        (void)name, (void)a, (void)b;
    }
    virtual void StopSE() {}
    virtual void SetSEVol(int32_t v) { (void)v; }
    virtual void PlayEnv(const ZRString& name, int32_t a, int32_t b, bool fade) {
        (void)name, (void)a, (void)b, (void)fade;
    }
    virtual void StopEnv(bool fade) { (void)fade; }
    virtual void SetEnvVol(int32_t v) { (void)v; }
    virtual void PlayRain(int32_t level) { (void)level; }
    virtual void StopRain() {}
    virtual void SetRainVol(int32_t v) { (void)v; }
    virtual void PlaySystemSound(int n) { (void)n; }
};

// The movie player. At rest nothing opens.
class AvgMovies {
  public:
    virtual ~AvgMovies() = default;
    virtual bool Open(const ZRString& file, bool canSkip) {
        return (void)file, (void)canSkip, false;
    }
    // Puts the movie's panel in place of the scene's.
    virtual void ShowPanel() {}
    virtual void Start() {}
    // One frame of the playing movie; whether it still plays.
    virtual void Frame(int32_t ticks) { (void)ticks; }
    virtual bool IsPlaying() const { return false; }
    // Logical buttons 0, 1 and 8 newly pushed while the movie plays.
    virtual void KeySkip(bool pushed0, bool pushed1, bool pushed8) {
        (void)pushed0, (void)pushed1, (void)pushed8;
    }
    // Puts the scene's panel back in place of the movie's and closes the movie.
    virtual void Finish(TNyRGBPanel* scenePanel) { (void)scenePanel; }
};

// The main window and the flow thread as the scene sees them. The default instance talks to
// the program's main window and logic thread and does nothing while they do not exist.
class AvgSystem {
  public:
    virtual ~AvgSystem() = default;
    virtual void ResetFrameClock();
    virtual uint8_t ScreenMode() const;
    virtual void EndWait(int32_t result);
    virtual int32_t GetCursorType() const;
    virtual void SetCursorType(int32_t type);
    virtual void RenderFull();
};
