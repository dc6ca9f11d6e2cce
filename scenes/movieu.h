// TMovieUnit: the movie scene. Plays one movie from "Movie\" either into its own panel, which
// the flow puts on screen in menu mode, or full screen through the main window's movie render
// step, lets the player skip it after a one-second guard, and when it stops ends the logic
// thread's wait with the code it was set up with (a negative code ends nothing: the
// long-lived unit of the game only plays movies for the adventure scene).
#pragma once
#include <cstdint>
#include <functional>

#include "devices/crisofdec.h"
#include "foundation/zrstring.h"
#include "platform/component.h"
#include "widgets/nyrgbpanel.h"

class TDInputUnit;
class TNyRGBBits;
class ZRFileMan;

class TMovieUnit : public plat::TComponent {
  public:
    static constexpr int32_t kSkipGuardTicks = 30;

    explicit TMovieUnit(plat::TComponent* owner = nullptr);
    ~TMovieUnit() override;

    // panelMode true: the movie draws into MoviePanel; false: full screen through the main
    // window's movie draw hook.
    bool Setup(ZRFileMan* archive, bool panelMode, int32_t resultCode);
    void Release();
    void SetCanSkip(bool on) { canSkip_ = on; }
    bool GetCanSkip() const { return canSkip_; }

    // Opens "Movie\" + name and waits (at most 3 s) for its first picture. True even when the
    // file does not open: nothing then plays, and a started unit stops at its next frame, so
    // a missing movie counts as seen.
    bool Open(const ZRString& name);
    void Close();
    void Start() { started_ = true; }
    // Playing once its first picture is out, until it ends or stops.
    void Stop();
    bool IsPlaying() const { return movie_.IsPlay(); }
    bool IsOpen() const { return open_; }
    bool IsStarted() const { return started_; }
    bool IsSkippable() const { return skippable_; }

    // The main window's movie draw hook: the next picture into the display's frame; true when
    // a new picture was drawn.
    bool DrawToBits(TNyRGBBits* target, int yoff);
    // The next picture into the unit's panel.
    void Draw();
    // The flow's two frame slots.
    void Frame(int ticks);
    void Input(int ticks, TDInputUnit* input);
    // Skips when a skip is allowed and one of the logical buttons 0, 1 or 8 was newly pushed.
    void KeySkip(const TDInputUnit* input);
    // The same test on button states a caller read itself (tests, the input slot).
    void KeySkip(bool pushed0, bool pushed1, bool pushed8);
    void MoviePanelMouseDown();

    // Where a stop posts the result code: the logic thread's EndWait unless a test listens.
    std::function<void(int32_t)> PostResult;

    TNyRGBPanel* MoviePanel = nullptr;
    // The layer the flow attaches: the movie's panel.
    TNyRGBPanel* RootPanel = nullptr;
    CriMovie& Movie() { return movie_; }

  private:
    bool setup_ = false;
    ZRFileMan* archive_ = nullptr;
    bool panelMode_ = true;
    int32_t result_ = -1;
    bool canSkip_ = true;
    bool open_ = false;
    bool started_ = false;
    bool skippable_ = false;
    int32_t guard_ = 0;
    CriMovie movie_;
};

// The program's movie scene, null while none exists.
extern TMovieUnit* MovieUnit;
