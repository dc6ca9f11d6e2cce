// What the album and the music room ask of the main window: the music channel, the system
// sounds and the end of the flow thread's wait. The default forwards to the game window; a
// test gives its own to drive a menu without a window.
#pragma once
#include <cstdint>

class MenuServices {
  public:
    virtual ~MenuServices() = default;
    virtual bool PlayBGM(int32_t track, bool loop, bool fade);
    virtual void StopBGM(bool fade);
    virtual bool IsBGMPlaying();
    virtual int32_t GetBGMTrack();
    virtual void PlaySysSE(int32_t n);
    virtual void EndWait(int32_t result);

    // The shared instance that forwards to the game window.
    static MenuServices* Window();
};

// System sounds by number.
enum MenuSysSE : int32_t { seOk = 0, seCancel = 1, seError = 2, seCursor = 3, seOpen = 4 };
