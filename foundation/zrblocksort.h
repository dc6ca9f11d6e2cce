// The first two stages of the Pellum codec: the block-sorting transform of one block (its
// cyclic rotations in sorted order, stored as the primary index and the last column) with its
// inverse, and move-to-front recoding of bytes, whose list carries over from call to call so a
// run of blocks recodes as one sequence.
//
// The rotation sort refines groups of rows by prefix doubling: rows that agree in their first
// d bytes are ordered by the group of the rotation d bytes further on, which sorts them by 2d
// bytes. That bounds the work at O(n log^2 n) whatever the data, where comparison sorts over
// long shared prefixes (periodic blocks) turn quadratic in the block length.
#pragma once
#include <emmintrin.h>

#include <cstdint>
#include <cstring>
#include <vector>

class ZRBWTEncode {
public:
    static constexpr int kMaxBlock = 65536;

    ZRBWTEncode() = default;
    ~ZRBWTEncode() { Release(); }
    ZRBWTEncode(const ZRBWTEncode&) = delete;
    ZRBWTEncode& operator=(const ZRBWTEncode&) = delete;

    // Allocates the tables for the largest block once; true if already created.
    bool Create();
    void Release();
    // Writes the n + 2 byte sorted form of src[0..n) to dst. False when n is outside
    // 1..65,536, when not created, or when a call is running.
    bool Encode(const unsigned char* src, unsigned char* dst, int n);
    // Rows keyed by the last Encode: the bucket pass and every refinement pass over the rows
    // of a group. Prefix doubling keeps it within n * (1 + log2 n) for any block of n bytes.
    int64_t RowsKeyed() const { return keyed_; }

private:
    void SortRotations();
    void RefineGroup(int start, int end, int depth, std::vector<int32_t>& next);

    uint8_t created_ = 0;
    uint8_t busy_ = 0;
    const unsigned char* block_ = nullptr;
    int32_t* order_ = nullptr;    // row -> rotation start
    int32_t* group_ = nullptr;    // rotation start -> last row of the group it stands in
    int32_t* counts_ = nullptr;   // two-byte bucket counts
    uint64_t* keys_ = nullptr;    // (group further on, rotation start) of one group's rows
    std::vector<int32_t> groups_;  // unsorted groups as start, end pairs
    std::vector<int32_t> next_;
    int32_t n_ = 0;
    int64_t keyed_ = 0;
};

class ZRBWTDecode {
public:
    ZRBWTDecode() = default;
    ~ZRBWTDecode() { Release(); }
    ZRBWTDecode(const ZRBWTDecode&) = delete;
    ZRBWTDecode& operator=(const ZRBWTDecode&) = delete;

    bool Create() { return Create(65536); }
    // Capacity is the largest block; above 65,536 fails. The same capacity keeps the tables.
    bool Create(int capacity);
    void Release();
    // Turns a sorted form of size bytes (n + 2) back into n bytes at dst. False when the size
    // is 2 or less or exceeds capacity + 2, when the primary index is not a row of the block,
    // when not created, or when a call is running.
    bool Decode(const unsigned char* src, unsigned char* dst, int size);

private:
    uint8_t created_ = 0;
    uint8_t busy_ = 0;
    int32_t capacity_ = 0;
    const unsigned char* last_ = nullptr;
    // The transform vector T (row -> index in the last column, which is below 65,536) and
    // its inverse.
    uint16_t* transform_ = nullptr;
    uint16_t* inverse_ = nullptr;
    // Counts, then fill positions, of each quarter of the last column.
    alignas(16) int32_t counts_[4][256] = {};
    int32_t n_ = 0;
};

class ZRMTFEncode {
public:
    ZRMTFEncode() { Initialize(); }
    void Initialize();
    // Recodes buf in place; true at once for a length below 1, false while a call runs.
    bool Encode(unsigned char* buf, int length);

private:
    uint8_t busy_ = 0;
    unsigned char place_[256];
    unsigned char list_[256];
};

class ZRMTFDecode {
public:
    ZRMTFDecode() { Initialize(); }
    void Initialize();
    bool Decode(unsigned char* buf, int length);
    // One position back to its byte, which moves to the front: a step of Decode, for a
    // decoder that produces positions one at a time.
    unsigned char Next(int r) {
        const unsigned char b = list_[r];
        // Most positions are small after a block sort: those move within the list's first
        // sixteen bytes without a branch on r, whose mispredictions would also throw away
        // the work of a decoder running beside this step.
        if (r < 16) {
            const __m128i head = _mm_load_si128(reinterpret_cast<const __m128i*>(list_));
            const __m128i moving =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(kMovingLanes + 15 - r));
            const __m128i moved = _mm_or_si128(_mm_and_si128(moving, _mm_slli_si128(head, 1)),
                                               _mm_andnot_si128(moving, head));
            _mm_store_si128(reinterpret_cast<__m128i*>(list_),
                            _mm_or_si128(moved, _mm_cvtsi32_si128(b)));
        } else {
            std::memmove(list_ + 1, list_, r);
            list_[0] = b;
        }
        return b;
    }

private:
    // Sixteen bytes from 15 - r on: all ones in lanes 0..r, the lanes that move for r.
    alignas(32) static constexpr unsigned char kMovingLanes[32] = {
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

    uint8_t busy_ = 0;
    alignas(16) unsigned char list_[256];
};
