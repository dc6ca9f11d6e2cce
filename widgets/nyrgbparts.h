// TNyRGBParts: cuts one packed picture (and its alpha plane, if any) into separate small
// bitmaps by a table of part rectangles, each part being a vertical strip of equal blocks
// that can be bound straight to a panel. The parts belong to this object.
#pragma once
#include <cstdint>
#include <vector>

#include "media/zrrgbraw.h"
#include "platform/component.h"

class TNyRGBBits;
class TNyAlpha;

// One part: top-left corner in the source, the size of one block, and the number of blocks
// stacked below one another.
struct TNyPartsData {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    int32_t count;
};

class TNyRGBParts : public plat::TComponent {
  public:
    explicit TNyRGBParts(plat::TComponent* owner = nullptr);
    ~TNyRGBParts() override;

    ZRBitDepth GetBitDepth() const { return FBitDepth; }
    ZRPixFormat GetPixFormat() const { return FPixFormat; }
    // Both are ignored while parts exist; each brings the other along when they do not fit.
    void SetBitDepth(ZRBitDepth depth);
    void SetPixFormat(ZRPixFormat format);

    // Cuts n parts; an entry whose rectangle does not lie inside the source stays empty.
    bool SetParts(TNyRGBBits* image, TNyAlpha* alpha, const TNyPartsData* table, int n);
    // The table ends with a record whose x is negative.
    bool SetParts(TNyRGBBits* image, TNyAlpha* alpha, const TNyPartsData* table);
    bool SetParts(TNyRGBBits* image, const TNyPartsData* table);
    void FreeParts();

    int GetSize() const { return FSet ? FCount : 0; }
    TNyRGBBits* GetImage(int i) const;
    TNyAlpha* GetAlpha(int i) const;
    int GetPattern(int i) const;

  private:
    bool Valid(int i) const { return FSet && i >= 0 && i < FCount; }

    bool FSet = false;
    ZRBitDepth FBitDepth = bd24;
    ZRPixFormat FPixFormat = pf24_888;
    int FCount = 0;
    std::vector<TNyRGBBits*> FImages;
    std::vector<TNyAlpha*> FAlphas;
    std::vector<int> FPatterns;
};
