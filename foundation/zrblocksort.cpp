#include "foundation/zrblocksort.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "foundation/zrstd.h"

bool ZRBWTEncode::Create() {
    if (created_) return true;
    order_ = static_cast<int32_t*>(std::malloc(kMaxBlock * sizeof(int32_t)));
    group_ = static_cast<int32_t*>(std::malloc(kMaxBlock * sizeof(int32_t)));
    counts_ = static_cast<int32_t*>(std::malloc(kMaxBlock * sizeof(int32_t)));
    keys_ = static_cast<uint64_t*>(std::malloc(kMaxBlock * sizeof(uint64_t)));
    bool ok = order_ && group_ && counts_ && keys_;
    if (ok) {
        try {
            // A block of n rows never has more than n / 2 groups of two or more.
            groups_.reserve(kMaxBlock);
            next_.reserve(kMaxBlock);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (!ok) {
        Release();
        return false;
    }
    created_ = 1;
    return true;
}

void ZRBWTEncode::Release() {
    std::free(order_);
    std::free(group_);
    std::free(counts_);
    std::free(keys_);
    order_ = group_ = counts_ = nullptr;
    keys_ = nullptr;
    groups_ = std::vector<int32_t>();
    next_ = std::vector<int32_t>();
    created_ = 0;
}

bool ZRBWTEncode::Encode(const unsigned char* src, unsigned char* dst, int n) {
    if (n < 1 || n > kMaxBlock || !created_ || busy_) return false;
    busy_ = 1;
    block_ = src;
    n_ = n;
    int i = 1;
    while (i < n && src[i] == src[0]) ++i;
    if (i == n) {
        ZRPutLE16(dst, 0);
        std::memset(dst + 2, src[0], n);
    } else {
        SortRotations();
        for (int row = 0; row < n; ++row) {
            const int start = order_[row];
            if (start == 0) ZRPutLE16(dst, static_cast<uint16_t>(row));
            dst[2 + row] = src[start == 0 ? n - 1 : start - 1];
        }
    }
    busy_ = 0;
    return true;
}

void ZRBWTEncode::SortRotations() {
    const int n = n_;
    const unsigned char* b = block_;
    std::memset(counts_, 0, kMaxBlock * sizeof(int32_t));
    auto key = [&](int i) { return (b[i] << 8) | b[i + 1 == n ? 0 : i + 1]; };
    for (int i = 0; i < n; ++i) ++counts_[key(i)];
    int sum = 0;
    for (int k = 0; k < kMaxBlock; ++k) {
        const int c = counts_[k];
        counts_[k] = sum;
        sum += c;
    }
    for (int i = 0; i < n; ++i) order_[counts_[key(i)]++] = i;
    // counts_[k] is now the end of bucket k.
    groups_.clear();
    int start = 0;
    while (start < n) {
        const int end = counts_[key(order_[start])];
        for (int r = start; r < end; ++r) group_[order_[r]] = end - 1;
        if (end - start > 1) {
            groups_.push_back(start);
            groups_.push_back(end);
        }
        start = end;
    }
    // Rows still grouped after depth n are equal rotations, which may stand in any order.
    for (int depth = 2; !groups_.empty() && depth < n; depth *= 2) {
        next_.clear();
        for (size_t g = 0; g < groups_.size(); g += 2) RefineGroup(groups_[g], groups_[g + 1], depth, next_);
        groups_.swap(next_);
    }
}

// Rows start..end - 1 agree in their first depth bytes; ordering them by the group of the
// rotation depth bytes on orders them by 2 * depth bytes. Groups refined earlier in the same
// pass already carry finer numbers, which only sharpens the keys.
void ZRBWTEncode::RefineGroup(int start, int end, int depth, std::vector<int32_t>& next) {
    const int n = n_;
    const int count = end - start;
    for (int r = 0; r < count; ++r) {
        const int p = order_[start + r];
        int q = p + depth;
        if (q >= n) q -= n;
        keys_[r] = (static_cast<uint64_t>(group_[q]) << 32) | static_cast<uint32_t>(p);
    }
    std::sort(keys_, keys_ + count);
    for (int r = 0; r < count; ++r) order_[start + r] = static_cast<int32_t>(keys_[r]);
    int a = 0;
    while (a < count) {
        const uint32_t g = static_cast<uint32_t>(keys_[a] >> 32);
        int e = a + 1;
        while (e < count && static_cast<uint32_t>(keys_[e] >> 32) == g) ++e;
        for (int r = a; r < e; ++r) group_[order_[start + r]] = start + e - 1;
        if (e - a > 1) {
            next.push_back(start + a);
            next.push_back(start + e);
        }
        a = e;
    }
}

bool ZRBWTDecode::Create(int capacity) {
    if (capacity < 1 || capacity > 65536) return false;
    if (created_ && capacity == capacity_) return true;
    Release();
    transform_ =
        static_cast<uint16_t*>(std::malloc(static_cast<size_t>(capacity) * sizeof(uint16_t)));
    pairs_ = static_cast<uint32_t*>(std::malloc(static_cast<size_t>(capacity) * sizeof(uint32_t)));
    if (!transform_ || !pairs_) {
        Release();
        return false;
    }
    capacity_ = capacity;
    created_ = 1;
    return true;
}

void ZRBWTDecode::Release() {
    std::free(transform_);
    std::free(pairs_);
    transform_ = nullptr;
    pairs_ = nullptr;
    capacity_ = 0;
    created_ = 0;
}

// The walk p = T[p] is one chain of dependent loads, each as slow as the cache level the
// vector sits in; the pair table halves its length, and is built from loads that do not
// depend on each other.
bool ZRBWTDecode::Decode(const unsigned char* src, unsigned char* dst, int size) {
    if (size <= 2 || !created_ || size > capacity_ + 2 || busy_) return false;
    const int n = size - 2;
    const int primary = ZRGetLE16(src);
    if (primary >= n) return false;
    busy_ = 1;
    n_ = n;
    const unsigned char* const last = last_ = src + 2;
    // Four tables of counts: a run of one byte, common after a block sort, would otherwise
    // wait on its own previous increment at every byte.
    std::memset(counts_, 0, sizeof(counts_));
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        ++counts_[0][last[i]];
        ++counts_[1][last[i + 1]];
        ++counts_[2][last[i + 2]];
        ++counts_[3][last[i + 3]];
    }
    for (; i < n; ++i) ++counts_[0][last[i]];
    int sum = 0;
    for (int v = 0; v < 256; ++v) {
        fill_[v] = sum;
        sum += counts_[0][v] + counts_[1][v] + counts_[2][v] + counts_[3][v];
    }
    // Each byte's rows take their indexes in increasing order.
    uint16_t* const t = transform_;
    for (i = 0; i < n; ++i) t[fill_[last[i]]++] = static_cast<uint16_t>(i);
    uint32_t* const pairs = pairs_;
    for (int p = 0; p < n; ++p) {
        const int q = t[p];
        pairs[p] =
            last[p] | static_cast<uint32_t>(last[q]) << 8 | static_cast<uint32_t>(t[q]) << 16;
    }
    uint32_t p = t[primary];
    int k = 0;
    for (; k + 2 <= n; k += 2) {
        const uint32_t e = pairs[p];
        dst[k] = static_cast<unsigned char>(e);
        dst[k + 1] = static_cast<unsigned char>(e >> 8);
        p = e >> 16;
    }
    if (k < n) dst[k] = last[p];
    busy_ = 0;
    return true;
}

void ZRMTFEncode::Initialize() {
    for (int i = 0; i < 256; ++i) place_[i] = list_[i] = static_cast<unsigned char>(i);
}

bool ZRMTFEncode::Encode(unsigned char* buf, int length) {
    if (length < 1) return true;
    if (busy_) return false;
    busy_ = 1;
    for (int i = 0; i < length; ++i) {
        const unsigned char b = buf[i];
        const int r = place_[b];
        buf[i] = static_cast<unsigned char>(r);
        if (r > 0) {
            for (int j = r; j > 0; --j) {
                const unsigned char v = list_[j - 1];
                list_[j] = v;
                place_[v] = static_cast<unsigned char>(j);
            }
            list_[0] = b;
            place_[b] = 0;
        }
    }
    busy_ = 0;
    return true;
}

void ZRMTFDecode::Initialize() {
    for (int i = 0; i < 256; ++i) list_[i] = static_cast<unsigned char>(i);
}

bool ZRMTFDecode::Decode(unsigned char* buf, int length) {
    if (length < 1) return true;
    if (busy_) return false;
    busy_ = 1;
    for (int i = 0; i < length; ++i) buf[i] = Next(buf[i]);
    busy_ = 0;
    return true;
}
