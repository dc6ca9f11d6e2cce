// The game's only door to movies (".sfd": MPEG program streams) and music streams (".adx"):
// a counted start and finish of the playback service, its per-frame service call, thin
// wrappers around the music-stream operations, and CriMovie, which opens a movie, binds it to
// a widget panel and decodes frames into a 24- or 32-bit bitmap. The service behind these
// (crisofdec_service.h) hands out u32 handles, 0 for a failure, never reused; a stale handle
// does nothing. Volumes are in hundredths of a decibel like every sound level of the game and
// reach the service in tenths; speeds are in thousandths (1000 is normal speed).
#pragma once
#include <cstdint>
#include <string>

#include "foundation/zrstring.h"
#include "media/zrrgbraw.h"

namespace plat {
class SoundMixer;
}
class TNyRGBBits;
class TNyRGBPanel;
class ZRMemMan;

// Starts the service on the first call (names resolve against the executable's directory;
// music and movie sound go to `mixer`, none: movies run on a steady clock and music stays
// silent). Later calls only count. `frameDepth` is the depth of the game's working bitmaps,
// which decides the frame bitmap of an opaque movie (bd24 or bd32). The movies' frame bitmaps
// and head buffers are made and freed through `memMan`, so that its report sees them (none:
// plainly); it must outlive the movies opened while the service runs.
bool CriMwSystemInit(plat::SoundMixer* mixer, ZRBitDepth frameDepth = bd32,
                     ZRMemMan* memMan = nullptr);
// The same with the directory names resolve against given in game form (tools and tests).
bool CriMwSystemInitAt(const std::string& directory, plat::SoundMixer* mixer,
                       ZRBitDepth frameDepth = bd32, ZRMemMan* memMan = nullptr);
// Counts a start down; the last closes every movie and stream and joins their threads, so it
// must run before the mixer goes.
void CriMwSystemFinish();
// Per-frame service: publishes the end states of music streams and movies.
void CriMwSystemExec();
// Starts counted so far (0: the service is down).
int32_t CriMwSystemCount();

// Music streams: the file is read whole at the open and decoded as the mixer pulls it.
uint32_t CriMwSoundOpen(const char* name, bool loop);
void CriMwSoundSetVolume(uint32_t handle, int32_t volume);
bool CriMwSoundPlay(uint32_t handle);
void CriMwSoundStop(uint32_t handle);
void CriMwSoundClose(uint32_t handle);
// False once a stream without loop has played to its end, or was stopped.
bool CriMwSoundIsPlay(uint32_t handle);

// A movie bound to a widget panel. Plain class; the destructor closes an open movie.
class CriMovie {
  public:
    CriMovie() = default;
    ~CriMovie();
    CriMovie(const CriMovie&) = delete;
    CriMovie& operator=(const CriMovie&) = delete;

    bool Open(TNyRGBPanel* panel, bool startNow, const ZRString& name);
    bool OpenVolume(TNyRGBPanel* panel, int32_t volume, const ZRString& name, bool startNow);
    bool OpenLoopVolume(TNyRGBPanel* panel, int32_t volume, const ZRString& name, bool startNow);
    bool OpenCore(TNyRGBPanel* panel, bool loop, const ZRString& name, int32_t volume,
                  int32_t speed, bool startNow);
    // Waits (at most 3 s) for the first frame; true when the movie plays.
    bool WaitStart();
    // Next due frame into the own frame bitmap; true when a new frame was written.
    bool Draw();
    // Next due frame into `bits` with its top-left corner at (x, y), clipped to the bitmap.
    bool DrawTo(TNyRGBBits* bits, int32_t x, int32_t y);
    void Stop();
    void Close();
    bool IsOpen() const { return handle_ != 0; }
    bool IsPlay() const;
    bool IsStop() const;
    bool IsEnd() const;

    uint32_t Handle() const { return handle_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    bool Alpha() const { return alpha_; }
    TNyRGBPanel* Panel() const { return panel_; }
    // The frame bitmap, holding the last picture drawn.
    TNyRGBBits* Frame() {
        FillFrame();
        return frame_;
    }

  private:
    // The panel's draw hook: a paint of a new picture, opaque and 1:1 into rows of the frame
    // bitmap's format, converts it straight into them; any other paint fills the frame bitmap
    // first (once a picture) and lets the panel copy from it.
    bool PaintPanel(TNyRGBBits* dest, int x, int y, int sx, int sy, int dx, int dy);
    // Converts the picture last taken into the frame bitmap, unless it already holds it.
    void FillFrame();

    uint32_t handle_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool alpha_ = false;
    TNyRGBPanel* panel_ = nullptr;
    TNyRGBBits* frame_ = nullptr;
    // The manager the frame bitmap was made through, which must also free it.
    ZRMemMan* frameMan_ = nullptr;
    // The panel's draw hook is ours (the panel had none), and the frame bitmap lags the picture
    // last taken.
    bool hooked_ = false;
    bool frameStale_ = false;
    int64_t directRows_ = 0;  // rows of the last picture converted straight into a paint
};
