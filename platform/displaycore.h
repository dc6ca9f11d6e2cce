// Inside of the display service, shared by its backends: what a backend offers (modes,
// desktop, chain length, video memory), the state of one connection, and the pixel store
// behind each surface. A flip chain is one store with several blocks; the views "front" and
// "back" reach the blocks by their distance from the current front block.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/display.h"
#include "platform/pixelmemory.h"

namespace plat {

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
    // Hands changed areas of the front block to the presenter; every other block may now
    // differ from the screen there.
    uint64_t HandFront(const RectList& rects);
    // Makes the next block the front one and hands what differs from the one shown before.
    uint64_t FlipFront();
    // The rows of r in which blocks a and b differ, as one rectangle (empty when none).
    DisplayRect DifferingRows(size_t a, size_t b, const DisplayRect& r) const;

    std::shared_ptr<DisplayCore> core;
    int32_t width;
    int32_t height;
    PixelFormatDesc format;
    bool video;
    bool visible;
    int32_t pitch = 0;
    std::vector<std::unique_ptr<uint8_t[], FreePixels>> blocks;
    size_t front = 0;
    // Per block of a visible store, where it may differ from the screen: the areas written
    // into it since it was last shown (they must be sent), and the areas the screen changed
    // in since then (sent only where the block differs from the one shown before it).
    std::vector<RectList> written;
    std::vector<RectList> screenChanged;
    bool lost = false;
    // A visible primary last shown from another surface: that surface holds the picture
    // the primary owes, to be placed at (shownX, shownY).
    std::weak_ptr<SurfaceStore> shownFrom;
    int32_t shownX = 0;
    int32_t shownY = 0;
    int locks = 0;
    bool ok = false;
    // The presenter was given these pixels to read.
    bool handed = false;
};

}  // namespace plat
