// What the save benchmarks read and write: a fresh save folder (under TMPDIR when it is set:
// TMPDIR=/dev/shm takes the disk out of the figures and leaves the code's own cost) holding
// twelve full slots, a long play's state and snapshot with their thumbnail, and the plain
// block one slot save codes, for the peers to work on the same bytes. The folder goes when
// the fixture does.
#pragma once
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/gamedata.h"
#include "tests/game/savefixture.h"

namespace {

struct SaveFixture {
    SaveFixture() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/zrbench_XXXXXX";
        dir = mkdtemp(pattern.data());
        SetSaveDirectory((dir + "/").c_str());
        cur = savefixture::FullState(1);
        snap = savefixture::FullState(2);
        thumb = savefixture::Thumbnail();
        plain.assign(kSlotPlainSize, 0);
        cur.Encode(plain.data());
        snap.Encode(plain.data() + kGameStateSize);
        plain[2 * kGameStateSize] = kThumbnailMaxSize & 0xFF;
        plain[2 * kGameStateSize + 1] = kThumbnailMaxSize >> 8 & 0xFF;
        std::copy(thumb.begin(), thumb.end(), plain.begin() + 2 * kGameStateSize + 4);
        for (int slot = 1; slot <= 12; ++slot)
            SaveGameData(slot, cur, snap, kThumbnailMaxSize, thumb.data());
    }
    ~SaveFixture() {
        std::string cmd = "rm -rf " + dir;
        if (std::system(cmd.c_str()) != 0)
            std::fprintf(stderr, "could not remove %s\n", dir.c_str());
    }
    SaveFixture(const SaveFixture&) = delete;
    SaveFixture& operator=(const SaveFixture&) = delete;

    std::string dir;
    GameState cur, snap;
    std::vector<uint8_t> thumb, plain;
};

}  // namespace
