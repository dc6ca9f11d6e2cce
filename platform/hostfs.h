// The file system as the game sees it. The game names files the Windows way (backslashes,
// names made on a file system that ignores letter case); every call into the operating
// system goes through here, which turns such a name into one the host understands and, when
// the exact name is missing, finds the entry whose name differs only in ASCII letter case.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/filetime.h"

namespace plat {

// The engine's double-byte rule: a byte from 0x81 to 0xF7 leads a two-byte character whose
// second byte may be any value, 0x5C ('\') included.
inline bool IsDoubleByteLead(unsigned char c) { return c >= 0x81 && c <= 0xF7; }

// Backslashes become slashes; the second byte of a double-byte character is left alone.
std::string HostPath(const char* path);
// Slashes become backslashes, so that paths the host hands out take the game's form.
std::string GamePath(const std::string& host);

// Takes a host path (as HostPath gives) and returns the path of the existing entry that
// matches it, comparing each missing component without regard to ASCII letter case. Components
// that match nothing are kept as given, so the result also names a file yet to be created in
// an existing directory.
std::string ResolveHostPath(const std::string& host);
// HostPath then ResolveHostPath: what every OS call receives.
std::string ToHost(const char* path);

// fopen of a game path. The read modes ("rb", "r+b") take only regular files, as
// OpenRegularStream does.
FILE* OpenFile(const char* path, const char* mode);

// open(2) of a host path for reading, or for reading and writing, that takes only a regular
// file. A FIFO, a device or a directory is refused at once with errno EINVAL: a FIFO nobody
// writes to would block the open or the first read for good. The descriptor is blocking.
int OpenRegularFile(const std::string& host, bool readWrite);
// The same as a stdio stream; `mode` is a read mode ("rb" or "r+b").
FILE* OpenRegularStream(const std::string& host, const char* mode);

enum class EntryKind { kNone, kFile, kDirectory };
EntryKind KindOf(const char* path);

bool RemoveFile(const char* path);
// Creates the file only when nothing exists under the name (O_EXCL); the new file is empty.
bool CreateFileExclusive(const char* path);

// Last-write time of an existing entry.
bool GetWriteTime(const char* path, FileTime* time);
// Sets the last-write time, leaving the access time as it is.
bool SetWriteTime(const char* path, const FileTime& time);

struct DirEntry {
    std::string name;
    bool directory = false;
};
// The entries of a directory (without "." and ".."), in the order the host gives them; false
// when the directory cannot be read.
bool ListDirectory(const char* path, std::vector<DirEntry>* entries);

// Whether a directory entry's name matches a search pattern by the rules the game's
// directory searches were written for: ASCII letters match either case, "*" any run of
// characters, "?" one character but nothing at the name's end or before a ".", a double-byte
// character (Shift-JIS) only itself; and a pattern ending in ".*" also takes names without
// that dot, so "*.*" finds every name and "README.*" finds "README".
bool DirectoryNameMatches(const char* pattern, const char* name);

// The directory for temporary files in game form, ending with a backslash: TMPDIR when it is
// set and names a directory, else /tmp.
std::string TempDirectory();

}  // namespace plat
