// Colour packing and row conversion: every pixel format turns into the 32-bit colour 0xAARRGGBB
// (a ZRQuad in memory) or a three-byte triple (ZRRGB) and back, one colour at a time or one row
// at a time, through tables indexed by ZRPixFormat. Row converters touch no byte outside
// either row.
#pragma once
#include <cstdint>

#include "media/zrrgbraw.h"

using ZRConvertProc = uint32_t (*)(uint32_t);
// (destination row, source row, pixel count) -> destination row.
using ZRRowConvertProc = void* (*)(void* dst, const void* src, unsigned int count);

uint32_t RGBto16_565(uint32_t c);
uint32_t RGBto16_555(uint32_t c);
uint32_t RGBto16_5551(uint32_t c);
uint32_t RGBto16_4444(uint32_t c);
uint32_t RGBto24_888(uint32_t c);
uint32_t RGBto32_888(uint32_t c);
uint32_t RGBto32_8888(uint32_t c);

uint32_t RGBfrom16_565(uint32_t p);
uint32_t RGBfrom16_555(uint32_t p);
uint32_t RGBfrom16_5551(uint32_t p);
uint32_t RGBfrom16_4444(uint32_t p);
uint32_t RGBfrom24_888(uint32_t p);
uint32_t RGBfrom32_888(uint32_t p);
uint32_t RGBfrom32_8888(uint32_t p);

void* RGBQUADcpyTo16_565(void* dst, const void* src, unsigned int count);
void* RGBQUADcpyTo16_555(void* dst, const void* src, unsigned int count);
void* RGBQUADcpyTo16_5551(void* dst, const void* src, unsigned int count);
void* RGBQUADcpyTo16_4444(void* dst, const void* src, unsigned int count);
void* RGBQUADcpyTo24_888(void* dst, const void* src, unsigned int count);
void* RGBQUADcpyTo32_888(void* dst, const void* src, unsigned int count);
void* RGBQUADcpyTo32_8888(void* dst, const void* src, unsigned int count);

// Quads made from 16-bit pixels other than 4444 carry 0 in their fourth byte.
void* RGBQUADcpyFrom16_565(void* dst, const void* src, unsigned int count);
void* RGBQUADcpyFrom16_555(void* dst, const void* src, unsigned int count);
void* RGBQUADcpyFrom16_5551(void* dst, const void* src, unsigned int count);
void* RGBQUADcpyFrom16_4444(void* dst, const void* src, unsigned int count);
void* RGBQUADcpyFrom24_888(void* dst, const void* src, unsigned int count);
void* RGBQUADcpyFrom32_888(void* dst, const void* src, unsigned int count);
void* RGBQUADcpyFrom32_8888(void* dst, const void* src, unsigned int count);

// A triple has no alpha: 4444 pixels made from triples have an alpha nibble of 0.
void* RGBTRIPLEcpyTo16_565(void* dst, const void* src, unsigned int count);
void* RGBTRIPLEcpyTo16_555(void* dst, const void* src, unsigned int count);
void* RGBTRIPLEcpyTo16_5551(void* dst, const void* src, unsigned int count);
void* RGBTRIPLEcpyTo16_4444(void* dst, const void* src, unsigned int count);
void* RGBTRIPLEcpyTo24_888(void* dst, const void* src, unsigned int count);
void* RGBTRIPLEcpyTo32_888(void* dst, const void* src, unsigned int count);
void* RGBTRIPLEcpyTo32_8888(void* dst, const void* src, unsigned int count);

void* RGBTRIPLEcpyFrom16_565(void* dst, const void* src, unsigned int count);
void* RGBTRIPLEcpyFrom16_555(void* dst, const void* src, unsigned int count);
void* RGBTRIPLEcpyFrom16_5551(void* dst, const void* src, unsigned int count);
void* RGBTRIPLEcpyFrom16_4444(void* dst, const void* src, unsigned int count);
void* RGBTRIPLEcpyFrom24_888(void* dst, const void* src, unsigned int count);
void* RGBTRIPLEcpyFrom32_888(void* dst, const void* src, unsigned int count);
void* RGBTRIPLEcpyFrom32_8888(void* dst, const void* src, unsigned int count);

// Palette expansion of 8-bit indices through 256 quads.
void* RGBQUADcpyFrom8(void* dst, const void* src, const void* palette, unsigned int count);
void* RGBTRIPLEcpyFrom8(void* dst, const void* src, const void* palette, unsigned int count);

extern const ZRConvertProc ConvertRGBtoProcTable[8];
extern const ZRConvertProc ConvertRGBfromProcTable[8];
extern const ZRRowConvertProc RGBQUADcpyToProcTable[8];
extern const ZRRowConvertProc RGBQUADcpyFromProcTable[8];
extern const ZRRowConvertProc RGBTRIPLEcpyToProcTable[8];
extern const ZRRowConvertProc RGBTRIPLEcpyFromProcTable[8];
