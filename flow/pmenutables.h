// The album's and the music room's tables. Both come from the game archive and are outside
// data: every cell is checked before it is used, and a table that cannot be read leaves the
// menu empty rather than failing it.
#pragma once
#include <cstdint>

#include "foundation/zrstream.h"
#include "foundation/zrstring.h"

class SystemData;

constexpr int kAlbumEntries = 39;
constexpr int kAlbumEntryNumbers = 8;
// Picture numbers from here on are movies; below kAlbumFirstPicture they have no unlock bit.
constexpr int32_t kAlbumFirstMovie = 680;
constexpr int32_t kAlbumFirstPicture = 500;

struct AlbumEntry {
    int32_t Numbers[kAlbumEntryNumbers];  // -1 when empty
    int32_t Count = 0;
    bool Movie = false;
};

// Reads "AlbumTbl.csv" into 39 entries, taking only the numbers the player has unlocked
// (every listed number with showAll). The ending's flag unlocks the last two bits first, so
// sys is written. False when the stream holds no table: every entry is then empty.
bool ReadAlbumTable(ZRStream* stream, SystemData& sys, bool showAll,
                    AlbumEntry (&entries)[kAlbumEntries]);

constexpr int kSoundTracks = 50;

struct SoundTable {
    int32_t Count = 0;
    int32_t Tracks[kSoundTracks] = {};
    ZRString Titles[kSoundTracks];
};

// Reads "SoundTbl.csv": track numbers of 1 and above with their titles, the first 50 rows.
// False when the stream holds no table (the list is then empty).
bool ReadSoundTable(ZRStream* stream, SoundTable& table);

// The file an album number stands for, without the picture extension: "bg%03d" for a
// picture, "Movie\..." for a movie.
ZRString AlbumItemName(int32_t number);
