// Row kernels that combine or transform pixel rows: blends at a global rate, averages,
// saturating sums and differences of two rows in every format; drawing through per-pixel alpha
// (from an alpha plane or the source's fourth byte), optionally scaled by a second rate and
// optionally mirrored; colour tone and grey conversion; and the alpha-plane transforms. Each
// kernel has a plain form and, where it pays, a fast form ending in _MMX, reached through tables
// indexed by ZRPixFormat. The fast forms give the plain forms' bytes except for the single-alpha
// channel members and RGBTone32_MMX, whose own results are documented below.
#pragma once
#include <cstdint>

// (dst, a, b, count): dst = blend of rows a and b; dst may be a or b.
using ZRBlendProc = void* (*)(void* dst, const void* a, const void* b, unsigned int count);
// (dst, src, count): dst = dst combined with src.
using ZRCombineProc = void* (*)(void* dst, const void* src, unsigned int count);

// Sets the rate (clamped to 0-128, the share of the second row out of 128) of every Alpha
// member until the next call.
void SetAlphaParam(int rate);

void* RGBAlpha16_565(void* dst, const void* a, const void* b, unsigned int count);
void* RGBAlpha16_555(void* dst, const void* a, const void* b, unsigned int count);
void* RGBAlpha16_5551(void* dst, const void* a, const void* b, unsigned int count);
void* RGBAlpha16_4444(void* dst, const void* a, const void* b, unsigned int count);
void* RGBAlpha24_888(void* dst, const void* a, const void* b, unsigned int count);
void* RGBAlpha32_888(void* dst, const void* a, const void* b, unsigned int count);
void* RGBAlpha32_8888(void* dst, const void* a, const void* b, unsigned int count);
void* RGBAlpha8(void* dst, const void* a, const void* b, unsigned int count);
void* RGBAlpha24_888_MMX(void* dst, const void* a, const void* b, unsigned int count);
void* RGBAlpha32_888_MMX(void* dst, const void* a, const void* b, unsigned int count);
void* RGBAlpha32_8888_MMX(void* dst, const void* a, const void* b, unsigned int count);
void* RGBAlpha8_MMX(void* dst, const void* a, const void* b, unsigned int count);

void* RGBHalf16_565(void* dst, const void* a, const void* b, unsigned int count);
void* RGBHalf16_555(void* dst, const void* a, const void* b, unsigned int count);
void* RGBHalf16_5551(void* dst, const void* a, const void* b, unsigned int count);
void* RGBHalf16_4444(void* dst, const void* a, const void* b, unsigned int count);
void* RGBHalf24_888(void* dst, const void* a, const void* b, unsigned int count);
void* RGBHalf32_888(void* dst, const void* a, const void* b, unsigned int count);
void* RGBHalf32_8888(void* dst, const void* a, const void* b, unsigned int count);
void* RGBHalf8(void* dst, const void* a, const void* b, unsigned int count);
void* RGBHalf24_888_MMX(void* dst, const void* a, const void* b, unsigned int count);
void* RGBHalf32_888_MMX(void* dst, const void* a, const void* b, unsigned int count);
void* RGBHalf32_8888_MMX(void* dst, const void* a, const void* b, unsigned int count);
void* RGBHalf8_MMX(void* dst, const void* a, const void* b, unsigned int count);

void* RGBAdd16_565(void* dst, const void* src, unsigned int count);
void* RGBAdd16_555(void* dst, const void* src, unsigned int count);
void* RGBAdd16_5551(void* dst, const void* src, unsigned int count);
void* RGBAdd16_4444(void* dst, const void* src, unsigned int count);
void* RGBAdd24_888(void* dst, const void* src, unsigned int count);
void* RGBAdd32_888(void* dst, const void* src, unsigned int count);
void* RGBAdd32_8888(void* dst, const void* src, unsigned int count);
void* RGBAdd24_888_MMX(void* dst, const void* src, unsigned int count);
void* RGBAdd32_888_MMX(void* dst, const void* src, unsigned int count);
void* RGBAdd32_8888_MMX(void* dst, const void* src, unsigned int count);

void* RGBSub16_565(void* dst, const void* src, unsigned int count);
void* RGBSub16_555(void* dst, const void* src, unsigned int count);
void* RGBSub16_5551(void* dst, const void* src, unsigned int count);
void* RGBSub16_4444(void* dst, const void* src, unsigned int count);
void* RGBSub24_888(void* dst, const void* src, unsigned int count);
void* RGBSub32_888(void* dst, const void* src, unsigned int count);
void* RGBSub32_8888(void* dst, const void* src, unsigned int count);
void* RGBSub24_888_MMX(void* dst, const void* src, unsigned int count);
void* RGBSub32_888_MMX(void* dst, const void* src, unsigned int count);
void* RGBSub32_8888_MMX(void* dst, const void* src, unsigned int count);

extern const ZRBlendProc RGBAlphaProcTable[8];
extern const ZRBlendProc RGBAlphaMMXProcTable[8];
extern const ZRBlendProc RGBHalfProcTable[8];
extern const ZRBlendProc RGBHalfMMXProcTable[8];
extern const ZRCombineProc RGBAddProcTable[8];
extern const ZRCombineProc RGBAddMMXProcTable[8];
extern const ZRCombineProc RGBSubProcTable[8];
extern const ZRCombineProc RGBSubMMXProcTable[8];

// Drawing through per-pixel alpha. OutChannel members take alpha from a separate plane of one
// byte per pixel, InChannel members from byte 3 of each source pixel; R members read the source
// and its alpha backwards from the pixel they are given. Only blue, green and red change.
// Plain single-alpha weight: ((a + 1) >> 1) / 128. The _MMX single-alpha members weigh the
// pixels of their (count - 1) / 2 leading pairs by a / 256 (1 for a = 255), so for odd a below
// 255 those pixels may stay one level closer to the destination; the last one or two pixels
// take the plain weight.
void* RGBAlphaOutChannel(void* dst, const void* src, const void* alpha, unsigned int count);
void* RGBAlphaOutChannel32(void* dst, const void* src, const void* alpha, unsigned int count);
void* RGBAlphaInChannel(void* dst, const void* src, unsigned int count);
void* RGBAlphaOutChannelR(void* dst, const void* src, const void* alpha, unsigned int count);
void* RGBAlphaOutChannelR32(void* dst, const void* src, const void* alpha, unsigned int count);
void* RGBAlphaInChannelR(void* dst, const void* src, unsigned int count);
void* RGBAlphaOutChannel_MMX(void* dst, const void* src, const void* alpha, unsigned int count);
void* RGBAlphaOutChannel32_MMX(void* dst, const void* src, const void* alpha, unsigned int count);
void* RGBAlphaInChannel_MMX(void* dst, const void* src, unsigned int count);
void* RGBAlphaOutChannelR_MMX(void* dst, const void* src, const void* alpha, unsigned int count);
void* RGBAlphaOutChannelR32_MMX(void* dst, const void* src, const void* alpha, unsigned int count);
void* RGBAlphaInChannelR_MMX(void* dst, const void* src, unsigned int count);

// Sets the second rate (clamped to 0-128) of the double-alpha members: the weight of alpha a
// becomes floor(a x rate / 255) out of 128. Before the first call the weight is 0.
void SetDoubleAlphaParam(int rate);

void* RGBDoubleAlphaOutChannel(void* dst, const void* src, const void* alpha, unsigned int count);
void* RGBDoubleAlphaOutChannel32(void* dst, const void* src, const void* alpha, unsigned int count);
void* RGBDoubleAlphaInChannel(void* dst, const void* src, unsigned int count);
void* RGBDoubleAlphaOutChannelR(void* dst, const void* src, const void* alpha, unsigned int count);
void* RGBDoubleAlphaOutChannelR32(void* dst, const void* src, const void* alpha,
                                  unsigned int count);
void* RGBDoubleAlphaInChannelR(void* dst, const void* src, unsigned int count);
void* RGBDoubleAlphaOutChannel_MMX(void* dst, const void* src, const void* alpha,
                                   unsigned int count);
void* RGBDoubleAlphaOutChannel32_MMX(void* dst, const void* src, const void* alpha,
                                     unsigned int count);
void* RGBDoubleAlphaInChannel_MMX(void* dst, const void* src, unsigned int count);
void* RGBDoubleAlphaOutChannelR_MMX(void* dst, const void* src, const void* alpha,
                                    unsigned int count);
void* RGBDoubleAlphaOutChannelR32_MMX(void* dst, const void* src, const void* alpha,
                                      unsigned int count);
void* RGBDoubleAlphaInChannelR_MMX(void* dst, const void* src, unsigned int count);

// Channel c becomes min(255, (S x f) >> 7), f being byte c of tone (byte 0 blue ... byte 2 red):
// 128 keeps a channel. RGBTone32 keeps byte 3 of the destination; RGBTone32_MMX tones it too
// with byte 3 of tone, so a tone of the form 0x00RRGGBB clears it.
void* RGBTone24(void* dst, const void* src, uint32_t tone, unsigned int count);
void* RGBTone32(void* dst, const void* src, uint32_t tone, unsigned int count);
void* RGBTone24_MMX(void* dst, const void* src, uint32_t tone, unsigned int count);
void* RGBTone32_MMX(void* dst, const void* src, uint32_t tone, unsigned int count);

// Blue, green and red all become (B + G + R) / 3.
void* RGBMonochrome24(void* dst, const void* src, unsigned int count);
void* RGBMonochrome32(void* dst, const void* src, unsigned int count);

// Alpha-plane transforms, v = value modulo 256. Extract turns a mask plane into a cut with a
// 16-step soft edge: 17 x (min(255, S + v) - 240), or 0 below 240.
void* RGBExtractAlpha(void* dst, const void* src, const int value, unsigned int count);
void* RGBSAddAlpha(void* dst, const void* src, const int value, unsigned int count);
void* RGBSSubAlpha(void* dst, const void* src, const int value, unsigned int count);
void* RGBExtractAlpha_MMX(void* dst, const void* src, const int value, unsigned int count);
void* RGBSAddAlpha_MMX(void* dst, const void* src, const int value, unsigned int count);
void* RGBSSubAlpha_MMX(void* dst, const void* src, const int value, unsigned int count);
