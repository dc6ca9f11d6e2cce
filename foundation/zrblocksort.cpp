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
    keyed_ = 0;
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
    keyed_ += n;
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
    keyed_ += count;
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
    const size_t c = static_cast<size_t>(capacity);
    transform_ = static_cast<uint16_t*>(std::malloc(c * sizeof(uint16_t)));
    inverse_ = static_cast<uint16_t*>(std::malloc(c * sizeof(uint16_t)));
    if (!transform_ || !inverse_) {
        Release();
        return false;
    }
    capacity_ = capacity;
    created_ = 1;
    return true;
}

void ZRBWTDecode::Release() {
    std::free(transform_);
    std::free(inverse_);
    transform_ = inverse_ = nullptr;
    capacity_ = 0;
    created_ = 0;
}

// The walk p = T[p] is one chain of dependent loads, each as slow as the cache level the
// vector sits in. Two chains run at once here, from the primary row forwards through T and
// backwards through its inverse, which the filling pass gives for free. The counting and filling
// passes likewise run over the four quarters of the column side by side, so that a run of one
// byte, common after a block sort, does not wait on its own previous count at every byte.
bool ZRBWTDecode::Decode(const unsigned char* src, unsigned char* dst, int size) {
    if (size <= 2 || !created_ || size > capacity_ + 2 || busy_) return false;
    const int n = size - 2;
    const int primary = ZRGetLE16(src);
    if (primary >= n) return false;
    busy_ = 1;
    n_ = n;
    const unsigned char* const last = last_ = src + 2;
    const int q = n / 4;
    const unsigned char* const part[4] = {last, last + q, last + 2 * q, last + 3 * q};
    std::memset(counts_, 0, sizeof(counts_));
    for (int k = 0; k < q; ++k) {
        ++counts_[0][part[0][k]];
        ++counts_[1][part[1][k]];
        ++counts_[2][part[2][k]];
        ++counts_[3][part[3][k]];
    }
    for (int i = 4 * q; i < n; ++i) ++counts_[3][last[i]];
    // Rows by byte, and within a byte by index in the column: quarter after quarter. Four
    // bytes at a time, the sums running along only from one group of four to the next.
    __m128i base = _mm_setzero_si128();
    for (int v = 0; v < 256; v += 4) {
        __m128i* const at[4] = {
            reinterpret_cast<__m128i*>(counts_[0] + v), reinterpret_cast<__m128i*>(counts_[1] + v),
            reinterpret_cast<__m128i*>(counts_[2] + v), reinterpret_cast<__m128i*>(counts_[3] + v)};
        const __m128i c0 = _mm_load_si128(at[0]), c1 = _mm_load_si128(at[1]),
                      c2 = _mm_load_si128(at[2]), c3 = _mm_load_si128(at[3]);
        const __m128i total = _mm_add_epi32(_mm_add_epi32(c0, c1), _mm_add_epi32(c2, c3));
        __m128i upto = _mm_add_epi32(total, _mm_slli_si128(total, 4));
        upto = _mm_add_epi32(upto, _mm_slli_si128(upto, 8));
        const __m128i o0 = _mm_add_epi32(base, _mm_sub_epi32(upto, total));
        const __m128i o1 = _mm_add_epi32(o0, c0), o2 = _mm_add_epi32(o1, c1);
        _mm_store_si128(at[0], o0);
        _mm_store_si128(at[1], o1);
        _mm_store_si128(at[2], o2);
        _mm_store_si128(at[3], _mm_add_epi32(o2, c2));
        base = _mm_add_epi32(base, _mm_shuffle_epi32(upto, 0xFF));
    }
    uint16_t* const t = transform_;
    uint16_t* const inv = inverse_;
    const auto place = [&](int quarter, int i) {
        const int row = counts_[quarter][last[i]]++;
        t[row] = static_cast<uint16_t>(i);
        inv[i] = static_cast<uint16_t>(row);
    };
    for (int k = 0; k < q; ++k) {
        place(0, k);
        place(1, q + k);
        place(2, 2 * q + k);
        place(3, 3 * q + k);
    }
    for (int i = 4 * q; i < n; ++i) place(3, i);
    // Forwards from the row after the primary one the first bytes come out, backwards from
    // the primary row itself the last.
    uint32_t p = t[primary], r = static_cast<uint32_t>(primary);
    int k = 0;
    for (; k < n / 2; ++k) {
        dst[k] = last[p];
        dst[n - 1 - k] = last[r];
        p = t[p];
        r = inv[r];
    }
    if (n % 2) {
        dst[k] = last[p];
        p = t[p];
    }
    // The two halves meet when n steps of T lead from the primary row back to it, as they
    // do for every column a block sort wrote. In a damaged one the row may sit on a shorter
    // cycle whose length does not divide n; the forward walk alone then gives the bytes.
    if (t[r] != p) {
        p = t[primary];
        for (k = 0; k < n; ++k) {
            dst[k] = last[p];
            p = t[p];
        }
    }
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
