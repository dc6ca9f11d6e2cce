// Inside of the display service, shared by its backends: what a backend offers (modes,
// desktop, chain length, video memory), the state of one connection, and the pixel store
// behind each surface. A flip chain is one store with several blocks; the views "front" and
// "back" reach the blocks by their distance from the current front block.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/display.h"

namespace plat {

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

class DisplayCore {
public:
    DisplayCore(Presenter* presenter, DisplayOffer offer)
        : presenter(presenter), offer(std::move(offer)) {}

    // Window mode: the window's client area on the primary; full screen: the whole mode.
    DisplayRect VisibleRect() const;
    int32_t PrimaryWidth() const;
    int32_t PrimaryHeight() const;
    PixelFormatDesc PrimaryFormat() const { return exclusive ? mode.format : offer.desktopFormat; }
    void LoseAll();

    Presenter* presenter;
    DisplayOffer offer;
    WindowComponent* window = nullptr;
    bool exclusive = false;
    DisplayMode mode;
    bool vsync = true;
    uint64_t videoUsed = 0;
    bool refuseRestore = false;
    std::vector<std::weak_ptr<SurfaceStore>> stores;
};

struct SurfaceStore {
    SurfaceStore(std::shared_ptr<DisplayCore> core, int32_t w, int32_t h,
                 const PixelFormatDesc& format, bool video, bool visible, int blocks);
    ~SurfaceStore();

    size_t BlockIndex(int position) const { return (front + size_t(position)) % blocks.size(); }
    uint8_t* Block(int position) const { return blocks[BlockIndex(position)].get(); }
    DisplayRect Whole() const { return {0, 0, width, height}; }
    bool CheckLost();
    // Hands the front block's owed area (plus extra) to the presenter.
    uint64_t ShowFront(const RectList& extra);

    std::shared_ptr<DisplayCore> core;
    int32_t width;
    int32_t height;
    PixelFormatDesc format;
    bool video;
    bool visible;
    int32_t pitch = 0;
    std::vector<std::unique_ptr<uint8_t[]>> blocks;
    size_t front = 0;
    // Per block: where it may differ from the screen (only for visible stores).
    std::vector<RectList> owed;
    bool lost = false;
    int locks = 0;
    bool ok = false;
};

}  // namespace plat
