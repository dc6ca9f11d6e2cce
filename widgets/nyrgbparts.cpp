// Cutting a packed picture into part bitmaps.
#include "widgets/nyrgbparts.h"

#include "widgets/nyrgbbits.h"

TNyRGBParts::TNyRGBParts(plat::TComponent* owner) : plat::TComponent(owner) {}

TNyRGBParts::~TNyRGBParts() { FreeParts(); }

void TNyRGBParts::SetBitDepth(ZRBitDepth depth) {
    if (FSet) return;
    FBitDepth = depth;
    if (ChkDepthAndFormat(depth, FPixFormat)) return;
    switch (depth) {
        case bd16: FPixFormat = pf16_565; break;
        case bd24: FPixFormat = pf24_888; break;
        case bd32: FPixFormat = pf32_888; break;
        default: FPixFormat = pfNone; break;
    }
}

void TNyRGBParts::SetPixFormat(ZRPixFormat format) {
    if (FSet) return;
    FPixFormat = format;
    if (!ChkDepthAndFormat(FBitDepth, format) && format != pfNone && format <= pf32_8888)
        FBitDepth = FormatAndDepthTable[format];
}

bool TNyRGBParts::SetParts(TNyRGBBits* image, TNyAlpha* alpha, const TNyPartsData* table, int n) {
    if (n <= 0 || !image || !image->Created() || !table) return false;
    if (FSet) FreeParts();
    FCount = n;
    FImages.assign(size_t(n), nullptr);
    FAlphas.assign(size_t(n), nullptr);
    FPatterns.assign(size_t(n), 0);
    for (int i = 0; i < n; ++i) {
        const TNyPartsData& d = table[i];
        if (d.x < 0 || d.y < 0 || d.width <= 0 || d.height <= 0 || d.count <= 0) continue;
        const int64_t right = int64_t{d.x} + d.width;
        const int64_t bottom = int64_t{d.y} + int64_t{d.height} * d.count;
        if (right > image->Width() || bottom > image->Height()) continue;
        const int h = d.height * d.count;
        FPatterns[size_t(i)] = d.count;
        auto* part = new TNyRGBBits(this);
        part->SetPixFormat(FPixFormat);
        part->Resize(d.width, h);
        part->Create();
        part->Draw(0, 0, image, d.x, d.y, d.width, h);
        FImages[size_t(i)] = part;
        if (alpha && alpha->Created()) {
            auto* plane = new TNyAlpha(this);
            plane->Resize(d.width, h);
            plane->Create();
            plane->Draw(0, 0, alpha, d.x, d.y, d.width, h);
            FAlphas[size_t(i)] = plane;
        }
    }
    FSet = true;
    return true;
}

bool TNyRGBParts::SetParts(TNyRGBBits* image, TNyAlpha* alpha, const TNyPartsData* table) {
    int n = 0;
    if (table)
        while (table[n].x >= 0) ++n;
    return SetParts(image, alpha, table, n);
}

bool TNyRGBParts::SetParts(TNyRGBBits* image, const TNyPartsData* table) {
    return SetParts(image, nullptr, table);
}

void TNyRGBParts::FreeParts() {
    if (FSet) {
        for (TNyRGBBits* b : FImages) delete b;
        for (TNyAlpha* a : FAlphas) delete a;
    }
    FCount = 0;
    FImages.clear();
    FAlphas.clear();
    FPatterns.clear();
    FSet = false;
}

TNyRGBBits* TNyRGBParts::GetImage(int i) const { return Valid(i) ? FImages[size_t(i)] : nullptr; }

TNyAlpha* TNyRGBParts::GetAlpha(int i) const { return Valid(i) ? FAlphas[size_t(i)] : nullptr; }

int TNyRGBParts::GetPattern(int i) const { return Valid(i) ? FPatterns[size_t(i)] : 0; }
