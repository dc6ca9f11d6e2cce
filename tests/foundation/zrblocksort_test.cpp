#include "foundation/zrblocksort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "codec_support.h"

namespace {

Bytes Sort(ZRBWTEncode& enc, const Bytes& block) {
    Bytes out(block.size() + 2);
    EXPECT_TRUE(enc.Encode(block.data(), out.data(), static_cast<int>(block.size())));
    return out;
}

Bytes Unsort(const Bytes& sorted) {
    ZRBWTDecode dec;
    EXPECT_TRUE(dec.Create());
    Bytes out(sorted.size() - 2);
    EXPECT_TRUE(dec.Decode(sorted.data(), out.data(), static_cast<int>(sorted.size())));
    return out;
}

// The sorted form by the definition: every rotation compared in full.
Bytes NaiveSort(const Bytes& b) {
    const int n = static_cast<int>(b.size());
    std::vector<int> rows(n);
    std::iota(rows.begin(), rows.end(), 0);
    std::stable_sort(rows.begin(), rows.end(), [&](int x, int y) {
        for (int k = 0; k < n; ++k) {
            const unsigned char a = b[(x + k) % n], c = b[(y + k) % n];
            if (a != c) return a < c;
        }
        return false;
    });
    Bytes out(n + 2);
    for (int r = 0; r < n; ++r) {
        if (rows[r] == 0) out[0] = r & 0xFF, out[1] = r >> 8;
        out[2 + r] = b[(rows[r] + n - 1) % n];
    }
    return out;
}

TEST(ZRBWT, SortsTheSmallBlocksAsStored) {
    ZRBWTEncode enc;
    ASSERT_TRUE(enc.Create());
    EXPECT_EQ(Sort(enc, ToBytes("abc")), (Bytes{0, 0, 'c', 'a', 'b'}));
    EXPECT_EQ(Sort(enc, ToBytes("x")), (Bytes{0, 0, 'x'}));
    EXPECT_EQ(Sort(enc, Bytes(7, 9)), (Bytes{0, 0, 9, 9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(Sort(enc, ToBytes("banana")), (Bytes{3, 0, 'n', 'n', 'b', 'a', 'a', 'a'}));
    for (const char* s : {"abc", "x", "abab", "banana", "aaaaaaab", "baaaaaaa"})
        EXPECT_EQ(Unsort(Sort(enc, ToBytes(s))), ToBytes(s)) << s;
}

// Small alphabets make long shared prefixes, where a refinement slip would show.
TEST(ZRBWT, MatchesTheDefinitionOnRandomBlocks) {
    ZRBWTEncode enc;
    ASSERT_TRUE(enc.Create());
    std::mt19937 rng(5);
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 2 + static_cast<int>(rng() % 300);
        const int alphabet = 1 + static_cast<int>(rng() % 3);
        Bytes b(n);
        for (auto& c : b) c = static_cast<unsigned char>('a' + rng() % alphabet);
        if (trial % 3 == 0) b = gen::Periodic(n, std::string(1 + rng() % 5, 'a') + "b");
        const Bytes sorted = Sort(enc, b);
        const Bytes naive = NaiveSort(b);
        // Equal rotations may stand in either order, which moves only the primary index.
        EXPECT_TRUE(std::equal(sorted.begin() + 2, sorted.end(), naive.begin() + 2)) << trial;
        EXPECT_EQ(Unsort(sorted), b) << trial;
    }
}

// Comparison sorts over the long shared prefixes of these blocks are quadratic in n. The
// guard counts the sort's work rather than timing it, so load and sanitizers do not move it;
// bench_foundation_codecs times the same blocks.
TEST(ZRBWT, LargeAndPeriodicBlocksStayFast) {
    ZRBWTEncode enc;
    ASSERT_TRUE(enc.Create());
    std::vector<Bytes> blocks = {gen::Periodic(32768, "ab"), gen::Periodic(32768, "abc"),
                                 gen::Periodic(32768, "abcdefg"), gen::Periodic(65536, "xyz"),
                                 gen::Text(65536, 3), gen::Random(65536, 4)};
    Bytes runs(65536, 'a');
    runs[40000] = 'b';
    blocks.push_back(runs);
    for (size_t i = 0; i < blocks.size(); ++i) {
        const Bytes& b = blocks[i];
        ASSERT_EQ(Unsort(Sort(enc, b)), b) << i;
        const int64_t n = static_cast<int64_t>(b.size());
        int64_t log2n = 0;
        while ((int64_t{1} << log2n) < n) ++log2n;
        EXPECT_GE(enc.RowsKeyed(), n) << i;
        EXPECT_LE(enc.RowsKeyed(), n * (1 + log2n)) << i;
    }
}

TEST(ZRBWT, RefusesBadSizesAndIndexes) {
    ZRBWTEncode enc;
    unsigned char buf[8] = {};
    EXPECT_FALSE(enc.Encode(buf, buf, 3));  // not created
    ASSERT_TRUE(enc.Create());
    Bytes big(65537, 1), out(65539);
    EXPECT_FALSE(enc.Encode(big.data(), out.data(), 65537));
    EXPECT_TRUE(enc.Encode(big.data(), out.data(), 65536));

    ZRBWTDecode dec;
    Bytes sorted = {0, 0, 'c', 'a', 'b'}, res(3);
    EXPECT_FALSE(dec.Decode(sorted.data(), res.data(), 5));  // not created
    EXPECT_FALSE(dec.Create(65537));
    ASSERT_TRUE(dec.Create(3));
    EXPECT_FALSE(dec.Decode(sorted.data(), res.data(), 2));
    EXPECT_TRUE(dec.Decode(sorted.data(), res.data(), 5));
    EXPECT_EQ(res, ToBytes("abc"));
    Bytes four = {0, 0, 'a', 'b', 'c', 'd'};
    EXPECT_FALSE(dec.Decode(four.data(), res.data(), 6));  // past the capacity
    for (unsigned char primary : {3, 200}) {
        sorted[0] = primary;
        EXPECT_FALSE(dec.Decode(sorted.data(), res.data(), 5)) << int(primary);
    }
    sorted = {0, 1, 'c', 'a', 'b'};  // 256 as the high byte
    EXPECT_FALSE(dec.Decode(sorted.data(), res.data(), 5));
}

// Any column with any primary index below its length decodes; the two-way walk must give what
// the one-step walk of the definition gives, odd and even lengths, runs and noise alike.
TEST(ZRBWT, DecodesAnyColumnAsTheOneStepWalk) {
    std::mt19937 rng(44);
    ZRBWTDecode dec;
    ASSERT_TRUE(dec.Create());
    for (int run = 0; run < 60; ++run) {
        const int n = run == 0 ? 1 : run == 1 ? 65536 : 1 + static_cast<int>(rng() % 40000);
        Bytes sorted(n + 2);
        const int alphabet = 1 + static_cast<int>(rng() % 256);
        for (int i = 0; i < n; ++i)
            sorted[2 + i] = i > 0 && rng() % 3 == 0 ? sorted[1 + i]
                                                    : static_cast<unsigned char>(rng() % alphabet);
        const int primary = static_cast<int>(rng() % n);
        sorted[0] = primary & 0xFF, sorted[1] = primary >> 8 & 0xFF;
        std::vector<int> t(n), fill(256, 0);
        for (int i = 0; i < n; ++i) ++fill[sorted[2 + i]];
        for (int v = 1; v < 256; ++v) fill[v] += fill[v - 1];
        for (int i = n - 1; i >= 0; --i) t[--fill[sorted[2 + i]]] = i;
        Bytes want(n);
        for (int k = 0, p = t[primary]; k < n; ++k, p = t[p]) want[k] = sorted[2 + p];
        Bytes got(n);
        ASSERT_TRUE(dec.Decode(sorted.data(), got.data(), n + 2)) << n;
        ASSERT_EQ(got, want) << n;
    }
}

TEST(ZRMTF, RecodesAndCarriesTheListOver) {
    ZRMTFEncode enc;
    Bytes b = ToBytes("aaab");
    ASSERT_TRUE(enc.Encode(b.data(), 4));
    EXPECT_EQ(b, (Bytes{97, 0, 0, 98}));
    Bytes c = ToBytes("ba");
    ASSERT_TRUE(enc.Encode(c.data(), 2));
    EXPECT_EQ(c, (Bytes{0, 1}));  // the first call left b, a at the front
    EXPECT_TRUE(enc.Encode(c.data(), 0));

    ZRMTFDecode dec;
    Bytes all = {97, 0, 0, 98, 0, 1};
    ASSERT_TRUE(dec.Decode(all.data(), 4));
    ASSERT_TRUE(dec.Decode(all.data() + 4, 2));
    EXPECT_EQ(all, ToBytes("aaabba"));

    const Bytes data = gen::Binary(5000, 8);
    Bytes coded = data;
    ZRMTFEncode e2;
    ZRMTFDecode d2;
    ASSERT_TRUE(e2.Encode(coded.data(), 5000));
    ASSERT_TRUE(d2.Decode(coded.data(), 5000));
    EXPECT_EQ(coded, data);
}

}  // namespace
