// Readers of the album and music-room tables.
#include "flow/pmenutables.h"

#include <algorithm>
#include <cstdio>

#include "foundation/zrcsvread.h"
#include "game/gamedata.h"

namespace {

constexpr int32_t kEndingFlag = 63;
constexpr int32_t kEndingBits[2] = {190, 191};

void ClearEntry(AlbumEntry& e) {
    for (int32_t& n : e.Numbers) n = -1;
    e.Count = 0;
    e.Movie = false;
}

bool Unlocked(const SystemData& sys, int32_t n) {
    return n >= kAlbumFirstPicture && sys.GetAlbumBit(n - kAlbumFirstPicture);
}

}  // namespace

bool ReadAlbumTable(ZRStream* stream, SystemData& sys, bool showAll,
                    AlbumEntry (&entries)[kAlbumEntries]) {
    for (AlbumEntry& e : entries) ClearEntry(e);
    if (sys.GetFlag(kEndingFlag))
        for (int32_t bit : kEndingBits) sys.SetAlbumBit(bit);
    if (!stream) return false;
    ZRCsvRead csv;
    if (!csv.Read(stream)) return false;
    for (int row = 0; row < csv.GetSizeY(); ++row) {
        int entry = csv.GetValue(0, row);
        if (entry < 0 || entry >= kAlbumEntries) continue;
        // A later row for the same entry replaces the earlier one.
        AlbumEntry& e = entries[entry];
        ClearEntry(e);
        for (int col = 1; col < csv.GetSizeX() && e.Count < kAlbumEntryNumbers; ++col) {
            int32_t n = csv.GetValue(col, row);
            if (n == 0) break;
            if (!showAll && !Unlocked(sys, n)) continue;
            e.Numbers[e.Count++] = n;
            if (n >= kAlbumFirstMovie) e.Movie = true;
        }
    }
    return true;
}

bool ReadSoundTable(ZRStream* stream, SoundTable& table) {
    table.Count = 0;
    for (ZRString& t : table.Titles) t = ZRString();
    if (!stream) return false;
    ZRCsvRead csv;
    if (!csv.Read(stream)) return false;
    // Only the first 50 rows count, skipped ones among them, so a row's place in the file
    // decides whether it is listed.
    const int rows = std::min(csv.GetSizeY(), kSoundTracks);
    for (int row = 0; row < rows; ++row) {
        int32_t track = csv.GetValue(0, row);
        if (track < 1) continue;
        table.Tracks[table.Count] = track;
        table.Titles[table.Count] = csv.GetZRString(1, row);
        ++table.Count;
    }
    return true;
}

ZRString AlbumItemName(int32_t number) {
    char buf[40];
    if (number == kAlbumFirstMovie)
        std::snprintf(buf, sizeof buf, "Movie\\SVOP.sfd");
    else if (number == kAlbumFirstMovie + 1)
        std::snprintf(buf, sizeof buf, "Movie\\SVED.sfd");
    else if (number > kAlbumFirstMovie + 1)
        std::snprintf(buf, sizeof buf, "Movie\\SV%02d.sfd", number - (kAlbumFirstMovie + 1));
    else
        std::snprintf(buf, sizeof buf, "bg%03d", number);
    return ZRString(buf);
}
