// System and path functions: memory figures, the current directory, the command line and
// the executable, file and folder tests, opening a document with its associated program,
// colour byte order, and the taking apart and putting together of Windows-style paths
// (backslashes, "X:" drives), including relative and absolute directory conversion.
// The path functions are pure string work and respect double-byte characters; the host
// file system is reached only through platform/hostfs.
#pragma once
#include <cstdint>

#include "foundation/zrstring.h"

// Memory, in bytes; 64-bit figures that saturate instead of wrapping.
uint64_t ZRTotalPhysicalMemory();
uint64_t ZRAvailPhysicalMemory();
uint64_t ZRTotalVirtualMemory();
uint64_t ZRAvailVirtualMemory();

ZRString ZRGetCurrentDir();
bool ZRSetCurrentDir(const ZRString dir);
int ZRParamCount();
ZRString ZRParamStr(int index);
ZRString ZRGetExePath();

bool ZRFileIsExist(const char* path);
bool ZRFolderIsExist(const char* path);
// `window` is accepted for the callers' sake; the opener has no parent window here.
bool ZRFileExec(void* window, const ZRString path);

uint32_t DWORD2COLORREF(uint32_t value);
uint32_t COLORREF2DWORD(uint32_t value);

ZRString ZRExtractFilePath(const ZRString path);
ZRString ZRExtractFileDir(const ZRString path);
ZRString ZRExtractFileName(const ZRString path);
ZRString ZRExtractFileExt(const ZRString path);
ZRString ZRChangeFileExt(const ZRString path, const ZRString ext);
ZRString ZRExtractFileDrive(const ZRString path);

ZRString ZRAbsToRelPath(const ZRString path, const ZRString base);
ZRString ZRAbsToRelDir(const ZRString path, const ZRString base);
ZRString ZRAbsToRelPathName(const ZRString pathName, const ZRString base);
ZRString ZRRelToAbsPath(const ZRString relative, const ZRString base);
