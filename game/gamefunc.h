// Free functions through which screens turn picture files into bitmaps and bind them to
// widgets, and draw panels, lines, labels and thumbnails. Loading never lets an exception out:
// a failing step is reported as false after freeing what the function made.
#pragma once
#include <cstdint>

#include "foundation/zrfileman.h"
#include "foundation/zrrect.h"
#include "foundation/zrstream.h"
#include "foundation/zrstring.h"
#include "media/zranimestat.h"
#include "widgets/nyrgbanime.h"
#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbpanel.h"

// Picture kind, from the file name's extension: 0 none, 1 BMP, 2 JPG, 3 PNG, 4 LZH (gny).
using ImageKind = int32_t;
ImageKind ImageKindOf(const ZRString& name);

// A file of a file manager, open for a scope: its stream (null when it could not be opened) is
// closed when the scope ends, also on the failure paths.
struct OpenedFile {
    OpenedFile(ZRFileMan* f, const ZRString& name)
        : files(f), stream(f ? f->Open(name) : nullptr) {}
    ~OpenedFile() {
        if (stream) files->Close(stream);
    }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
    ZRFileMan* files;
    ZRStream* stream;
};

// A picture some other code owns, to bind to a panel.
struct ImagePair {
    TNyRGBBits* image = nullptr;
    TNyAlpha* alpha = nullptr;
};

// Chooses the gny key table: 0 and 1 choose the program's one table, other values change
// nothing.
void SetGnyTable(int selector);
const unsigned char* CurrentGnyTable();

bool DrawImageStream(TNyRGBBits* bits, TNyAlpha* alpha, ImageKind kind, int x, int y,
                     ZRStream* stream);
bool LoadImageStream(TNyRGBBits** bits, TNyAlpha** alpha, ImageKind kind, ZRStream* stream);
bool LoadImageFile(TNyRGBBits** bits, TNyAlpha** alpha, ZRFileMan* files, const ZRString& name);
bool DrawImageFile(TNyRGBBits* bits, TNyAlpha* alpha, const ZRString& name, int x, int y,
                   ZRFileMan* files);
bool LoadAnimeData(ZRAnimeData** data, ZRFileMan* files, const ZRString& name);

// Panel pictures. What the file and create functions make belongs to the panel binding and is
// freed by the release functions; shared pictures stay their owner's and are unbound with
// ClearPanelImage.
bool SetPanelImageFile(TNyRGBPanel* panel, ZRFileMan* files, const ZRString& name);
bool CreatePanelImageSized(TNyRGBPanel* panel, int width, int height, TMaskMode mode);
bool CreatePanelImage(TNyRGBPanel* panel, TMaskMode mode);
void ReleasePanelImage(TNyRGBPanel* panel);
bool SetPanelAnimeFile(TNyRGBProgram* panel, ZRFileMan* files, const ZRString& image,
                       const ZRString& anime);
void ReleasePanelAnime(TNyRGBProgram* panel);
void SharePanelImage(TNyRGBPanel* panel, TNyRGBPanel* source);
void SharePanelImageFrom(TNyRGBPanel* panel, TNyRGBPanel* source);
void SetPanelImageAlpha(TNyRGBPanel* panel, const ImagePair* pair);
void ClearPanelImage(TNyRGBPanel* panel);

// Panel frames: (x, y) in the target, (sx, sy) inside the panel's current frame, w x h.
bool DrawPanelImage(TNyRGBPanel* panel, TNyRGBBits* target, int x, int y, int sx, int sy, int w,
                    int h, int rate);
bool DrawPanelImageAdd(TNyRGBPanel* panel, TNyRGBBits* target, int x, int y, int sx, int sy, int w,
                       int h);
bool FillPanelAlpha(TNyRGBPanel* panel, TNyRGBBits* target, int x, int y, int sx, int sy, int w,
                    int h, uint32_t colour, int rate);

// Clipped lines: saturating add, add weighted by an intensity plane, saturating subtract.
bool DrawLineAddClip(TNyRGBBits* bits, int x1, int y1, int x2, int y2, uint32_t colour,
                     ZRRect clip);
bool DrawLineAddRateClip(TNyRGBBits* bits, int x1, int y1, int x2, int y2, uint32_t colour,
                         ZRRect clip, TNyAlpha* intensity);
bool DrawLineClip(TNyRGBBits* bits, int x1, int y1, int x2, int y2, uint32_t colour, ZRRect clip);

// Day-and-time label of a stage (GBK), cut to at most maxBytes without splitting a character.
ZRString GetStageLabel(int stage, int maxBytes);

inline constexpr int kThumbnailWidth = 167;
inline constexpr int kThumbnailHeight = 93;
// A 32-bit 167x93 thumbnail of the source, freed by the caller through the memory manager.
TNyRGBBits* MakeThumbnail(TNyRGBBits* source);
// Area-averaging shrink of 32-bit pixels; the fourth byte of a blended pixel is 0.
void ResampleBits(const unsigned char* src, int sw, int sh, int srcPitch, unsigned char* dst,
                  int dw, int dh, int dstPitch);
void ResampleRow(const unsigned char* src, int sw, unsigned char* dst, int dw);
