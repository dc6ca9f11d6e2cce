// The display service: surfaces in system memory (plain ones, and the visible primary with a
// chain of up to two back buffers that a flip rotates), rectangle copies with clipping and a
// source colour key, colour fills, locks, lost surfaces and their restoring, palettes for
// 8-bit surfaces, clippers, display modes and capabilities. What becomes visible is handed to
// a presenter as changed rectangles of the front buffer: the SDL presenter uploads them on
// the main thread, the memory presenter keeps the screen as an image that tests read.
//
// A connection and its surfaces are used by one thread at a time; only the presenter is
// shared with the thread that shows the frames. A surface whose pixels a presenter is
// reading right now is busy: writes into it fail with Busy and are tried again later.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/displayrects.h"

namespace plat {

class WindowComponent;
struct DrawSurface;

// Layout of a pixel: RGB with masks (and an alpha mask when kAlphaPixels), or 8-bit indices.
struct PixelFormatDesc {
    static constexpr uint32_t kRgb = 1;
    static constexpr uint32_t kPalette8 = 2;
    static constexpr uint32_t kAlphaPixels = 4;

    uint32_t flags = 0;
    uint32_t bitCount = 0;
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
    uint32_t alphaMask = 0;

    bool operator==(const PixelFormatDesc&) const = default;
    uint32_t BytesPerPixel() const { return bitCount / 8; }
};

// 32-bit pixels stored blue, green, red, unused: the layout every presenter shows.
PixelFormatDesc Xrgb8888();
PixelFormatDesc Rgb565();

struct DisplayMode {
    int32_t width = 0;
    int32_t height = 0;
    PixelFormatDesc format;
};

// What the display offers, for the capability query. A query fills only records whose size
// field says they are this record.
struct DisplayCaps {
    static constexpr uint32_t kRecordSize = 380;
    static constexpr uint32_t kCanBlit = 1;
    static constexpr uint32_t kCanColourKey = 2;
    static constexpr uint32_t kCanFlip = 4;
    static constexpr uint32_t kCanFill = 8;

    uint32_t size = 0;
    uint32_t caps = 0;
    uint64_t videoMemoryTotal = 0;
    uint64_t videoMemoryFree = 0;
};

// What a backend offers: its modes, the desktop, how long a flip chain may be and where
// surfaces asked for in video memory go.
struct DisplayOffer {
    std::vector<DisplayMode> modes;
    PixelFormatDesc desktopFormat = Xrgb8888();
    int32_t desktopWidth = 1920;
    int32_t desktopHeight = 1080;
    // In window mode the primary is only the window's client area (at the origin).
    bool primaryIsClient = false;
    int32_t clientX = 0;
    int32_t clientY = 0;
    int maxBackBuffers = 2;
    uint64_t videoMemory = 0;
    // A video request that does not fit goes to system memory instead of failing.
    bool videoFallsBack = true;
};

enum class BlitResult { Ok, Busy, Lost, Invalid };

class DisplayCore;
struct SurfaceStore;

class DisplayPalette {
  public:
    uint32_t entries[256] = {};  // 0x00RRGGBB
};

// The 20 colours every palette keeps (0x00RRGGBB): ten dark ones first, ten light ones last.
const uint32_t* SystemPaletteColours();

// Limits blits into the surface it is attached to: to the client area of its window, or to
// a list of rectangles.
class DisplayClipper {
  public:
    explicit DisplayClipper(std::shared_ptr<DisplayCore> core) : core_(std::move(core)) {}
    void SetWindow(WindowComponent* window) { window_ = window; }
    void SetClipList(std::vector<DisplayRect> rects) {
        window_ = nullptr;
        rects_ = std::move(rects);
    }
    // In the coordinates of the surface it is attached to.
    std::vector<DisplayRect> ClipList() const;

  private:
    std::shared_ptr<DisplayCore> core_;
    WindowComponent* window_ = nullptr;
    std::vector<DisplayRect> rects_;
};

class DisplaySurface {
  public:
    DisplaySurface(std::shared_ptr<SurfaceStore> store, int position);
    ~DisplaySurface();
    DisplaySurface(const DisplaySurface&) = delete;
    DisplaySurface& operator=(const DisplaySurface&) = delete;

    int32_t Width() const;
    int32_t Height() const;
    const PixelFormatDesc& Format() const;
    bool InVideoMemory() const;
    bool IsPrimary() const;

    bool IsLost() const;
    // Pixels of a restored surface are undefined until their owner draws them again.
    bool Restore();

    // Waits at most a frame for a presenter to finish reading; false when lost or still busy.
    // Writes through the pointer count as a change of the whole surface at Unlock.
    bool Lock(uint8_t** bits, int32_t* pitch);
    void Unlock();
    bool Locked() const { return locks_ > 0; }
    // A device context over the locked pixels (16-, 24- and 32-bit surfaces).
    bool GetDrawSurface(DrawSurface** dc);
    bool ReleaseDrawSurface(DrawSurface* dc);
    // No presenter is reading the surface.
    bool BlitDone() const;

    bool SetPalette(std::shared_ptr<DisplayPalette> palette);
    std::shared_ptr<DisplayPalette> Palette() const { return palette_; }
    void SetClipper(std::shared_ptr<DisplayClipper> clipper) { clipper_ = std::move(clipper); }
    std::shared_ptr<DisplayClipper> Clipper() const { return clipper_; }
    // Pixel value treated as transparent by keyed copies from this surface.
    void SetSourceKey(uint32_t pixel) { key_ = pixel; }

    // Copies src's rectangle (whole surface when null) to the same-sized rectangle here
    // (whole surface when null), clipped by the clipper when there is one; keyed copies skip
    // src's key colour.
    BlitResult Blit(const DisplayRect* dst, DisplaySurface& src, const DisplayRect* srcRect,
                    bool keyed = false);
    // Unclipped copy to (x, y); the whole rectangle must fit.
    BlitResult BlitFast(int32_t x, int32_t y, DisplaySurface& src, const DisplayRect& srcRect);
    BlitResult Fill(const DisplayRect* dst, uint32_t pixel);

    // Visible primary of one block only (a window's): shows src's rectangles at (x, y) as a
    // copy into the primary would, without the copy: the presenter reads them from src, which
    // is busy until it has. src holds the whole picture the window shows. The primary's own
    // pixels are brought up to date from src only when someone next reads or writes them.
    BlitResult Show(int32_t x, int32_t y, DisplaySurface& src, const RectList& rects);

    // Front of a flip chain only: its first back buffer.
    std::shared_ptr<DisplaySurface> BackBuffer();
    // Makes the back buffer the front one and shows it; a waiting flip then waits at most a
    // frame for the presenter to acknowledge it.
    BlitResult Flip(bool wait, bool vsync);
    bool CanFlip() const;

  private:
    uint8_t* Pixels() const;
    void Written(const DisplayRect& r);
    // A primary that was shown from another surface takes that surface's picture first.
    void CatchUp();
    // Where a write to `to` lands: clipped by the clipper, or whole when it fits (else false).
    bool TargetAreas(const DisplayRect& to, std::vector<DisplayRect>& areas) const;

    std::shared_ptr<SurfaceStore> store_;
    int position_;
    std::shared_ptr<DisplayPalette> palette_;
    std::shared_ptr<DisplayClipper> clipper_;
    uint32_t key_ = 0;
    int locks_ = 0;
    std::unique_ptr<DrawSurface> dc_;
};

using SurfaceRef = std::shared_ptr<DisplaySurface>;

// Where visible pixels go. Hand is called by the thread that draws; the presenter copies the
// rectangles (clipped to visible, moved so that visible's corner is the screen's) before it
// acknowledges the ticket. A newer hand-off replaces one not yet started.
class Presenter {
  public:
    struct Job {
        const uint8_t* pixels = nullptr;
        int32_t pitch = 0;
        PixelFormatDesc format;
        DisplayRect visible;
        RectList rects;
        bool vsync = true;
        uint64_t ticket = 0;
    };

    virtual ~Presenter() = default;
    // The screen shown from now on: its logical size and full screen or window.
    virtual void SetScreen(WindowComponent* window, int32_t width, int32_t height,
                           bool fullScreen) = 0;
    uint64_t Hand(const uint8_t* pixels, int32_t pitch, const PixelFormatDesc& format,
                  const DisplayRect& visible, const RectList& rects, bool vsync);
    // A waiting hand-off of other pixels than these, or of these placed elsewhere on the
    // screen (it cannot be merged with theirs).
    bool WaitingOther(const uint8_t* pixels, const DisplayRect& visible);
    // The pixels go away: a waiting hand-off of them is dropped, a read of them finished first.
    void Withdraw(const uint8_t* pixels);
    bool Acknowledged(uint64_t ticket);
    // True once the ticket is acknowledged, false when the limit passed first.
    bool WaitAcknowledged(uint64_t ticket, std::chrono::microseconds limit);
    uint64_t LastTicket();
    // A writer announces the pixels it is about to change; false while the presenter reads
    // them. A hand-off of pixels being written waits until the writer is done.
    bool BeginWrite(const uint8_t* pixels);
    void EndWrite(const uint8_t* pixels);
    // How many times BeginWrite found the pixels being read (tests see a writer waiting).
    uint64_t RefusedWrites();
    // The shown screen as 32-bit pixels (blue, green, red, unused), its size in w and h; a
    // window shows it scaled to its own size.
    virtual bool ReadScreen(std::vector<uint32_t>& pixels, int32_t& w, int32_t& h) = 0;
    // The shown screen lost its contents since the last call (it must be drawn whole again).
    bool TakeScreenLost();
    // How long a waiting flip waits at most.
    virtual std::chrono::microseconds FramePeriod() const {
        return std::chrono::microseconds(16667);
    }

  protected:
    // Told after each hand-off; the presenter arranges for Service to run.
    virtual void Handed() = 0;
    // Takes the waiting job (if any), copies it with Upload and acknowledges it.
    bool Service();
    // Service in two steps: the job is being read between them.
    bool TakeJob(Job& job);
    void FinishJob(const Job& job);
    virtual void Upload(const Job& job) = 0;
    void MarkScreenLost();

  private:
    std::mutex mutex_;
    std::condition_variable acked_;
    Job pending_;
    bool hasPending_ = false;
    const uint8_t* reading_ = nullptr;
    std::vector<const uint8_t*> writing_;
    uint64_t nextTicket_ = 1;
    uint64_t ackedTicket_ = 0;
    uint64_t refusedWrites_ = 0;
    bool screenLost_ = false;
    bool turnedAway_ = false;
};

// One open use of the display: its cooperation with a window, the display mode and every
// surface made through it.
class DisplayConnection {
  public:
    explicit DisplayConnection(std::shared_ptr<DisplayCore> core);
    ~DisplayConnection();

    // Exclusive means full screen: the mode set next fills the desktop; otherwise the
    // primary is the desktop and the window shows its client area of it.
    void SetCooperation(WindowComponent* window, bool exclusive);
    // Full screen only; the size must be one the display lists at that depth.
    bool SetDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t refresh);
    // Null when the chain cannot be made (more back buffers than the display offers).
    SurfaceRef CreatePrimary(int backBuffers);
    // A null format is the display's own. A video request is placed where there is room.
    SurfaceRef CreateSurface(int32_t width, int32_t height, const PixelFormatDesc* format,
                             bool video);
    std::shared_ptr<DisplayClipper> CreateClipper();
    std::shared_ptr<DisplayPalette> CreatePalette(const uint32_t entries[256]);

    bool EnumModes(std::vector<DisplayMode>& out) const;
    bool VideoMemory(uint64_t& total, uint64_t& free) const;
    bool Caps(DisplayCaps* driver, DisplayCaps* emulation) const;
    // The screen as the presenter shows it now (blue, green, red, unused).
    bool ReadScreen(std::vector<uint32_t>& pixels, int32_t& w, int32_t& h) const;
    // Where the window's client area starts on the primary (window mode).
    void ClientOrigin(int32_t& x, int32_t& y) const;

    const std::shared_ptr<DisplayCore>& Core() const { return core_; }

  private:
    std::shared_ptr<DisplayCore> core_;
};

// The answers the version probe asks for, one per interface a release introduced.
struct DisplayProbe {
    bool displayLibrary = true;
    bool displayEntry = true;
    bool displayCreate = true;
    bool display2 = true;
    bool inputLibrary = true;
    bool inputEntry = true;
    bool cooperation = true;
    bool primary = true;
    bool surface3 = true;
    bool surface4 = true;
    bool music = true;
    bool displayEntryEx = true;
    bool display7 = true;
    bool library3d8 = true;
};

class DisplayBackend {
  public:
    virtual ~DisplayBackend() = default;
    // Null when the display cannot be used.
    virtual std::unique_ptr<DisplayConnection> Open() = 0;
    virtual DisplayProbe Probe() = 0;
    // Bits per pixel of the desktop, 0 when unknown.
    virtual int32_t DesktopBitsPerPixel() = 0;
};

// The installed backend, else the SDL one; null when neither works.
DisplayBackend* OpenDisplayBackend();
// Installs a backend for the whole process (tests); null returns to SDL.
void SetDisplayBackend(DisplayBackend* backend);

}  // namespace plat
