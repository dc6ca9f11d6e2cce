// The display backend that tests drive: the screen is an image in memory that receives
// exactly the rectangles a real presenter would upload, so comparing it with a reference
// checks what the owner of the display presented. Tests choose the modes, the desktop, how
// many back buffers a chain may have and how much video memory there is; they can lose every
// surface, refuse restores, hold presentations unacknowledged (so buffers stay busy) and make
// the version probe fail at any step.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/display.h"

namespace plat {

class DisplayCore;

class MemoryPresenter : public Presenter {
  public:
    void SetScreen(WindowComponent* window, int32_t width, int32_t height,
                   bool fullScreen) override;
    bool ReadScreen(std::vector<uint32_t>& pixels, int32_t& w, int32_t& h) override;
    std::chrono::microseconds FramePeriod() const override {
        return std::chrono::microseconds(2000);
    }

    // Held: hand-offs wait until Release (all of them) or StartReading/FinishReading.
    void Hold(bool on) { hold_ = on; }
    void Release() { Service(); }
    // Takes the waiting hand-off and keeps reading it: its pixels are busy until finished.
    bool StartReading() { return TakeJob(reading_); }
    void FinishReading() { FinishJob(reading_); }
    // The screen loses its picture (as a window's texture or surface can): it shows a
    // pattern until the owner of the display sends the whole picture again.
    void LoseScreen();
    bool FullScreen() const { return fullScreen_; }
    int Uploads() const { return uploads_; }
    int64_t UploadedArea() const { return uploadedArea_; }
    void ResetCounts() { uploads_ = 0, uploadedArea_ = 0; }

  protected:
    void Handed() override;
    void Upload(const Job& job) override;

  private:
    bool hold_ = false;
    Job reading_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool fullScreen_ = false;
    std::vector<uint32_t> screen_;
    int uploads_ = 0;
    int64_t uploadedArea_ = 0;
};

class MemoryDisplay : public DisplayBackend {
  public:
    MemoryDisplay();
    ~MemoryDisplay() override;

    std::unique_ptr<DisplayConnection> Open() override;
    DisplayProbe Probe() override { return probe; }
    int32_t DesktopBitsPerPixel() override { return desktopBits; }

    DisplayOffer& Offer() { return *offer_; }
    MemoryPresenter& Screen() { return presenter_; }
    // Every surface of the newest connection becomes lost.
    void LoseAll();
    void RefuseRestore(bool on);

    bool failOpen = false;
    int32_t desktopBits = 32;
    DisplayProbe probe;

  private:
    MemoryPresenter presenter_;
    std::unique_ptr<DisplayOffer> offer_;
    std::weak_ptr<DisplayCore> last_;
};

// 32-bit pixel (blue, green, red, unused) of a pixel in the given RGB layout.
uint32_t ToXrgb(uint32_t pixel, const PixelFormatDesc& format);

}  // namespace plat
