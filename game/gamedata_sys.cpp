// The records that outlive a play-through: system flags, values and album bits, and the
// history of read message lines.
#include <cstring>

#include "foundation/zrstd.h"
#include "game/gamedata.h"

GameState CurrentState;
GameState SceneSnapshot;
SystemData SysData;
ReadHistory ReadHist;

// ---- SystemData ----

SystemData::SystemData() {
    std::memset(Flags, 0, sizeof Flags);
    std::memset(Values, 0, sizeof Values);
    std::memset(Album, 0, sizeof Album);
}

void SystemData::Encode(uint8_t* out) const {
    std::memcpy(out, Flags, sizeof Flags);
    for (int i = 0; i < kValues; ++i) ZRPutLE32(out + 8 + 4 * i, Values[i]);
    std::memcpy(out + 40, Album, sizeof Album);
    std::memset(out + 65, 0, 3);
}

void SystemData::Decode(const uint8_t* in) {
    std::memcpy(Flags, in, sizeof Flags);
    for (int i = 0; i < kValues; ++i) Values[i] = ZRGetLE32(in + 8 + 4 * i);
    std::memcpy(Album, in + 40, sizeof Album);
}

void SystemData::SetFlag(int32_t n, bool on) {
    if (n < 0 || n >= kFlags) return;
    const uint8_t bit = static_cast<uint8_t>(1u << (n & 7));
    if (on)
        Flags[n >> 3] |= bit;
    else
        Flags[n >> 3] &= static_cast<uint8_t>(~bit);
}

bool SystemData::GetFlag(int32_t n) const {
    if (n < 0 || n >= kFlags) return false;
    return (Flags[n >> 3] >> (n & 7)) & 1;
}

void SystemData::GetFlags(uint8_t out[8]) const {
    std::memcpy(out, Flags, sizeof Flags);
}

void SystemData::GetValues(uint32_t out[8]) const {
    std::memcpy(out, Values, sizeof Values);
}

void SystemData::SetValue(int32_t n, uint32_t v) {
    if (n >= 0 && n < kValues) Values[n] = v;
}

uint32_t SystemData::GetValue(int32_t n) const {
    return n >= 0 && n < kValues ? Values[n] : 0;
}

void SystemData::SetAlbumBit(int32_t n) {
    if (n >= 0 && n < kAlbumBits) Album[n >> 3] |= static_cast<uint8_t>(1u << (n & 7));
}

bool SystemData::GetAlbumBit(int32_t n) const {
    if (n < 0 || n >= kAlbumBits) return false;
    return (Album[n >> 3] >> (n & 7)) & 1;
}

// ---- ReadHistory ----

namespace {

constexpr size_t kHead = 8;
constexpr size_t kRecordHead = 12;

}  // namespace

ReadHistory::ReadHistory() : buf_(new uint8_t[kReadHistorySize]) {
    Clear();
}

ReadHistory::ReadHistory(const ReadHistory& o) : buf_(new uint8_t[kReadHistorySize]) {
    std::memcpy(buf_.get(), o.buf_.get(), o.GetSize());
}

ReadHistory& ReadHistory::operator=(const ReadHistory& o) {
    if (this != &o) {
        std::memcpy(buf_.get(), o.buf_.get(), o.GetSize());
        cacheScene_ = -1;
    }
    return *this;
}

uint32_t ReadHistory::Get32(size_t at) const {
    return ZRGetLE32(buf_.get() + at);
}

void ReadHistory::Put32(size_t at, uint32_t v) {
    ZRPutLE32(buf_.get() + at, v);
}

uint32_t ReadHistory::GetSize() const {
    return Get32(0);
}

uint32_t ReadHistory::GetCount() const {
    return Get32(4);
}

void ReadHistory::Clear() {
    std::memset(buf_.get(), 0, kReadHistorySize);
    Put32(0, kHead);
    Put32(4, 0);
    cacheScene_ = -1;
}

bool ReadHistory::Load(const uint8_t* bytes, size_t size) {
    // A block that cannot fit the buffer is not taken at all: what was read so far stays.
    if (!bytes || size >= kReadHistorySize) return false;
    // Every later walk trusts the head and the record lengths, so the whole block is checked
    // before any of it is taken.
    bool ok = size >= kHead && ZRGetLE32(bytes) == size;
    if (ok) {
        const uint64_t count = ZRGetLE32(bytes + 4);
        uint64_t found = 0;
        size_t at = kHead;
        while (ok && at < size) {
            if (size - at < kRecordHead) {
                ok = false;
                break;
            }
            const uint32_t r = ZRGetLE32(bytes + at);
            if (r % 4 != 0 || r > size - at - kRecordHead) {
                ok = false;
                break;
            }
            // Ranges that touch would let MarkRead extend one into the next.
            int64_t prevLast = -2;
            for (size_t p = at + kRecordHead; p < at + kRecordHead + r; p += 4) {
                const uint16_t first = ZRGetLE16(bytes + p), last = ZRGetLE16(bytes + p + 2);
                if (first > last || first <= prevLast + 1) {
                    ok = false;
                    break;
                }
                prevLast = last;
            }
            at += kRecordHead + r;
            ++found;
        }
        ok = ok && found == count;
    }
    if (!ok) {
        Clear();
        return false;
    }
    std::memcpy(buf_.get(), bytes, size);
    cacheScene_ = -1;
    return true;
}

int64_t ReadHistory::Find(uint32_t scene) const {
    if (cacheScene_ == static_cast<int64_t>(scene)) return static_cast<int64_t>(cacheOffset_);
    cacheScene_ = -1;
    const uint32_t count = GetCount();
    size_t at = kHead;
    for (uint32_t i = 0; i < count; ++i) {
        if (Get32(at + 4) == scene) {
            cacheScene_ = scene;
            cacheOffset_ = at;
            return static_cast<int64_t>(at);
        }
        at += kRecordHead + Get32(at);
    }
    return -1;
}

void ReadHistory::Shift(size_t at, int64_t n) {
    const size_t used = GetSize();
    uint8_t* b = buf_.get();
    if (n > 0) {
        std::memmove(b + at + n, b + at, used - at);
    } else {
        const size_t gap = static_cast<size_t>(-n);
        std::memmove(b + at, b + at + gap, used - at - gap);
        std::memset(b + used - gap, 0, gap);
    }
    Put32(0, static_cast<uint32_t>(static_cast<int64_t>(used) + n));
}

void ReadHistory::RegisterScene(uint32_t scene, uint32_t version) {
    const int64_t found = Find(scene);
    if (found >= 0) {
        const size_t at = static_cast<size_t>(found);
        if (Get32(at + 8) == version) return;
        const uint32_t r = Get32(at);
        Shift(at + kRecordHead, -static_cast<int64_t>(r));
        Put32(at, 0);
        Put32(at + 8, version);
        return;
    }
    const size_t used = GetSize();
    if (used + kRecordHead >= kReadHistorySize) return;
    Put32(used, 0);
    Put32(used + 4, scene);
    Put32(used + 8, version);
    Put32(0, static_cast<uint32_t>(used + kRecordHead));
    Put32(4, GetCount() + 1);
}

bool ReadHistory::IsRead(uint32_t key) const {
    const uint32_t line = key & 0xFFFF;
    if (line == 0) return false;
    const int64_t found = Find(key >> 16);
    if (found < 0) return false;
    const size_t at = static_cast<size_t>(found);
    const size_t end = at + kRecordHead + Get32(at);
    for (size_t p = at + kRecordHead; p < end; p += 4) {
        const uint16_t first = ZRGetLE16(buf_.get() + p), last = ZRGetLE16(buf_.get() + p + 2);
        if (first > line) return false;
        if (line <= last) return true;
    }
    return false;
}

void ReadHistory::MarkRead(uint32_t key) {
    const uint32_t line = key & 0xFFFF;
    if (line == 0) return;
    const int64_t found = Find(key >> 16);
    if (found < 0) return;
    const size_t at = static_cast<size_t>(found);
    uint8_t* b = buf_.get();
    const size_t end = at + kRecordHead + Get32(at);
    size_t p = at + kRecordHead;
    for (; p < end; p += 4) {
        const uint16_t first = ZRGetLE16(b + p), last = ZRGetLE16(b + p + 2);
        if (first <= line && line <= last) return;
        if (last + 1u == line) {
            ZRPutLE16(b + p + 2, static_cast<uint16_t>(line));
            if (p + 4 < end && ZRGetLE16(b + p + 4) == line + 1) {
                ZRPutLE16(b + p + 2, ZRGetLE16(b + p + 6));
                Shift(p + 4, -4);
                Put32(at, Get32(at) - 4);
            }
            return;
        }
        if (first == line + 1) {
            ZRPutLE16(b + p, static_cast<uint16_t>(line));
            return;
        }
        if (first > line) break;
    }
    if (GetSize() + 4u >= kReadHistorySize) return;
    Shift(p, 4);
    ZRPutLE16(b + p, static_cast<uint16_t>(line));
    ZRPutLE16(b + p + 2, static_cast<uint16_t>(line));
    Put32(at, Get32(at) + 4);
}
