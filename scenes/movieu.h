// TMovieUnit: the movie scene, which plays one movie full screen or in a panel and ends the
// flow thread's wait with its result code when the movie stops. This version stands in until
// movies are decoded: an opened movie is missing (nothing plays) unless a test asks every
// movie to play for a number of frames.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/zrfileman.h"
#include "foundation/zrstring.h"

class TNyRGBPanel;
class TDInputUnit;

class TMovieUnit {
  public:
    TMovieUnit();
    ~TMovieUnit();
    TMovieUnit(const TMovieUnit&) = delete;
    TMovieUnit& operator=(const TMovieUnit&) = delete;

    // panelMode 1 draws into the unit's own panel, 0 through the main window's movie hook;
    // a result code below 0 never ends a wait.
    bool Setup(ZRFileMan* files, int32_t panelMode, int32_t resultCode);
    void Release();
    bool Open(const ZRString& name);
    void Start();
    bool IsPlaying() const;
    void Close();
    // Frame and input handlers for the thread's slots.
    void Frame(int ticks);
    void Input(int ticks, TDInputUnit* input);

    TNyRGBPanel* RootPanel = nullptr;
    bool SetUp = false;

    // Stand-in only: frames every opened movie plays for; below 0 every movie is missing.
    static int32_t PlayFrames;
    // Stand-in only: the names opened, oldest first, across every unit.
    static std::vector<std::string> Opened;

  private:
    int32_t resultCode_ = 0;
    bool open_ = false;
    bool started_ = false;
    int32_t left_ = 0;
};

// The movie scene, null while it does not exist.
extern TMovieUnit* MovieUnit;
