// What the album and the music room ask of the main window: the music channel, the system
// sounds (menu::PlaySound, numbered as menu::Sound), the end of the flow thread's wait, the
// mouse pointer and the album's picture transitions. The default forwards to the game window; a
// test gives its own to drive a menu without a window.
#pragma once
#include <cstdint>

class TNyRGBBits;
class ZRRectSet;

class MenuServices {
  public:
    virtual ~MenuServices() = default;
    virtual bool PlayBGM(int32_t track, bool loop, bool fade);
    virtual void StopBGM(bool fade);
    virtual bool IsBGMPlaying();
    virtual int32_t GetBGMTrack();
    virtual void PlaySysSE(int32_t n);
    virtual void EndWait(int32_t result);
    // The window's mouse pointer: a row of the pointer picture, -1 hidden.
    virtual void SetCursorType(int32_t row);

    // The album's switch between the grid and a picture: the screen as it is now blends into
    // the panel tree drawn as it will be (kind 0), drawn by the window while it runs. False
    // when it cannot start: the caller switches at once.
    virtual bool StartPanelTransition();
    // Moves the running transition on; false once it has finished.
    virtual bool AdvancePanelTransition(int32_t ticks);
    virtual void EndPanelTransition();

    // The shared instance that forwards to the game window.
    static MenuServices* Window();

  private:
    void DrawFull(TNyRGBBits* target, int yoff);
    void DrawModified(TNyRGBBits* target, int yoff, ZRRectSet* dirty);
};
