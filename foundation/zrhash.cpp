#include "foundation/zrhash.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>

#include "foundation/zrstd.h"

namespace {

uint32_t Sum(const unsigned char* p, size_t n) {
    uint32_t h = 0;
    for (size_t i = 0; i < n; ++i) h += p[i];
    return h;
}

uint32_t Mul(const unsigned char* p, size_t n) {
    uint32_t h = 0;
    for (size_t i = 0; i < n; ++i) h = h * 137u + p[i];
    return h;
}

const unsigned char* Bytes(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}
size_t Count(int n) {
    return n < 1 ? 0 : static_cast<size_t>(n);
}

// Record layout.
constexpr size_t kSlotAt = 0, kNextAt = 2, kParamAt = 4, kLengthAt = 8, kNameAt = 12;
constexpr int64_t kRecordOverhead = 13;

const char* NameOf(const uint8_t* record) {
    return reinterpret_cast<const char*>(record + kNameAt);
}
int64_t SizeOf(const uint8_t* record) {
    return kRecordOverhead + ZRGetLE16(record + kLengthAt);
}

[[noreturn]] void ThrowIncorrect() {
    throw std::logic_error("ZRHashTable Data Incorrect");
}

}  // namespace

uint8_t ZRCalcHashSum8(const char* s) {
    return static_cast<uint8_t>(Sum(Bytes(s), std::strlen(s)));
}
uint8_t ZRCalcHashSum8(const unsigned char* p, int n) {
    return static_cast<uint8_t>(Sum(p, Count(n)));
}
uint8_t ZRCalcHashMul8(const char* s) {
    return static_cast<uint8_t>(Mul(Bytes(s), std::strlen(s)) % 251u);
}
uint8_t ZRCalcHashMul8(const unsigned char* p, int n) {
    return static_cast<uint8_t>(Mul(p, Count(n)) % 251u);
}
uint16_t ZRCalcHashMul16(const char* s) {
    return static_cast<uint16_t>(Mul(Bytes(s), std::strlen(s)) % 65521u);
}
uint16_t ZRCalcHashMul16(const unsigned char* p, int n) {
    return static_cast<uint16_t>(Mul(p, Count(n)) % 65521u);
}

ZRHashTable::ZRHashTable() {
    std::fill(std::begin(heads_), std::end(heads_), kEnd);
    try {
        pool_.resize(kPoolBlock);
    } catch (const std::bad_alloc&) {
        throw std::runtime_error("ZRHashTable Create Error");
    }
}

ZRHashTable::ZRHashTable(int capacity) : ZRHashTable() {
    Alloc(capacity);
}

void ZRHashTable::Alloc(int n) {
    if (n > kMaxSlots) n = kMaxSlots;
    if (n <= GetSize()) return;
    try {
        offsets_.resize(static_cast<size_t>(n), -1);
    } catch (const std::bad_alloc&) {
        throw std::runtime_error("ZRHashTable Alloc Error");
    }
}

uint8_t* ZRHashTable::Record(int index) {
    return const_cast<uint8_t*>(static_cast<const ZRHashTable*>(this)->Record(index));
}

const uint8_t* ZRHashTable::Record(int index) const {
    if (index < 0 || index >= GetSize()) return nullptr;
    int32_t at = offsets_[static_cast<size_t>(index)];
    return at < 0 ? nullptr : pool_.data() + at;
}

bool ZRHashTable::SetData(int index, const char* name, uint32_t param) {
    if (index < 0 || index >= GetSize() || !name) return false;
    size_t length = std::strlen(name);
    // The record keeps the length in 16 bits.
    if (length > 0xFFFF) return false;
    ClrData(index);

    int64_t need = kRecordOverhead + static_cast<int64_t>(length);
    if (used_ + need > static_cast<int64_t>(pool_.size())) {
        int64_t capacity = (used_ + need + kPoolBlock - 1) & ~static_cast<int64_t>(kPoolBlock - 1);
        try {
            if (capacity > INT32_MAX) throw std::bad_alloc();
            pool_.resize(static_cast<size_t>(capacity));
        } catch (const std::bad_alloc&) {
            throw std::runtime_error("ZRHashTable Buffer Realloc Error");
        }
    }
    uint8_t* r = pool_.data() + used_;
    ZRPutLE16(r + kSlotAt, static_cast<uint16_t>(index));
    ZRPutLE16(r + kNextAt, kEnd);
    ZRPutLE32(r + kParamAt, param);
    ZRPutLE16(r + kLengthAt, static_cast<uint16_t>(length));
    ZRPutLE16(r + kLengthAt + 2, 0);
    std::memcpy(r + kNameAt, name, length + 1);
    offsets_[static_cast<size_t>(index)] = used_;
    used_ += static_cast<int32_t>(need);

    uint16_t& head = heads_[ZRCalcHashMul8(name)];
    if (head == kEnd) {
        head = static_cast<uint16_t>(index);
        return true;
    }
    uint16_t at = head;
    for (;;) {
        if (at == index) ThrowIncorrect();
        uint8_t* link = Record(at);
        if (!link) ThrowIncorrect();
        uint16_t next = ZRGetLE16(link + kNextAt);
        if (next == kEnd) {
            ZRPutLE16(link + kNextAt, static_cast<uint16_t>(index));
            return true;
        }
        at = next;
    }
}

int ZRHashTable::AddData(const char* name, uint32_t param) {
    for (int i = 0; i < GetSize(); ++i) {
        if (offsets_[static_cast<size_t>(i)] < 0) return SetData(i, name, param) ? i : -1;
    }
    return -1;
}

void ZRHashTable::ClrData(int index) {
    uint8_t* r = Record(index);
    if (!r) return;
    uint16_t next = ZRGetLE16(r + kNextAt);
    uint16_t& head = heads_[ZRCalcHashMul8(NameOf(r))];
    if (head == index) {
        head = next;
    } else {
        // A chain of n records is walked in at most n steps; more means a loop.
        uint16_t at = head;
        for (int steps = 0;; ++steps) {
            uint8_t* link = Record(at);
            if (!link || steps > GetSize()) ThrowIncorrect();
            if (ZRGetLE16(link + kNextAt) == index) {
                ZRPutLE16(link + kNextAt, next);
                break;
            }
            at = ZRGetLE16(link + kNextAt);
        }
    }

    int32_t at = offsets_[static_cast<size_t>(index)];
    int32_t size = static_cast<int32_t>(SizeOf(r));
    std::memmove(pool_.data() + at, pool_.data() + at + size,
                 static_cast<size_t>(used_ - at - size));
    used_ -= size;
    for (int32_t& o : offsets_) {
        if (o > at) o -= size;
    }
    offsets_[static_cast<size_t>(index)] = -1;
}

void ZRHashTable::AllClear() {
    std::fill(offsets_.begin(), offsets_.end(), -1);
    std::fill(std::begin(heads_), std::end(heads_), kEnd);
    try {
        std::vector<uint8_t> fresh(kPoolBlock);
        pool_.swap(fresh);
    } catch (const std::bad_alloc&) {
        throw std::runtime_error("ZRHashTable Create Error");
    }
    used_ = 0;
}

int ZRHashTable::Search(const char* name) const {
    if (!name) return -1;
    uint16_t at = heads_[ZRCalcHashMul8(name)];
    for (int steps = 0; at != kEnd && steps <= GetSize(); ++steps) {
        const uint8_t* r = Record(at);
        if (!r) return -1;
        if (std::strcmp(NameOf(r), name) == 0) return at;
        at = ZRGetLE16(r + kNextAt);
    }
    return -1;
}

const char* ZRHashTable::GetString(int index) const {
    const uint8_t* r = Record(index);
    return r ? NameOf(r) : nullptr;
}

uint32_t ZRHashTable::GetParam(int index) const {
    const uint8_t* r = Record(index);
    return r ? ZRGetLE32(r + kParamAt) : 0;
}

bool ZRHashTable::SetParam(int index, uint32_t param) {
    uint8_t* r = Record(index);
    if (!r) return false;
    ZRPutLE32(r + kParamAt, param);
    return true;
}

bool ZRHashTable::IsValid(int index) const {
    return Record(index) != nullptr;
}
