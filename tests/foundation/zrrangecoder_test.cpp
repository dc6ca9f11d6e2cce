#include "foundation/zrrangecoder.h"

#include <gtest/gtest.h>

#include "codec_support.h"

namespace {

Bytes Code(ZRRangeEncode& enc, const Bytes& in) {
    Bytes out(in.size() * 2 + 16);
    EXPECT_TRUE(enc.Encode(in.data(), out.data(), static_cast<int>(in.size()),
                           static_cast<int>(out.size())));
    out.resize(enc.GetResultSize());
    return out;
}

TEST(ZRRangeCoder, AbcCodesToTheStoredBytesAndBack) {
    ZRRangeEncode enc;
    ASSERT_TRUE(enc.Create());
    const Bytes coded = Code(enc, ToBytes("abc"));
    EXPECT_EQ(coded, (Bytes{0x00, 0xE9, 0xDB, 0xE2, 0x3C, 0x3F, 0xCA, 0x00, 0x00, 0x0A}));

    ZRRangeDecode dec;
    ASSERT_TRUE(dec.Create());
    Bytes out(16);
    ASSERT_TRUE(dec.Decode(coded.data(), out.data(), static_cast<int>(coded.size()), 16));
    ASSERT_EQ(dec.GetResultSize(), 3);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), ToBytes("abc"));
}

TEST(ZRRangeCoder, EmptyAndUncreatedCalls) {
    ZRRangeEncode enc;
    unsigned char buf[16] = {};
    EXPECT_TRUE(enc.Encode(buf, buf, 0, 16));  // size 0 needs no model
    EXPECT_EQ(enc.GetResultSize(), 0);
    EXPECT_FALSE(enc.Encode(buf, buf, 3, 16));
    ZRRangeDecode dec;
    EXPECT_TRUE(dec.Decode(buf, buf, 0, 16));
    EXPECT_FALSE(dec.Decode(buf, buf, 10, 16));
}

// Large random and text inputs run far past the rescale cap, and their carries run through
// pending 0xFF bytes many times over; any slip there breaks the decoded bytes.
TEST(ZRRangeCoder, RoundTripsEveryShapeAndConsumesTheWholeStream) {
    for (size_t n : {size_t(1), size_t(2), size_t(4095), size_t(300000)}) {
        for (const auto& [name, data] : gen::AllShapes(n)) {
            ZRRangeEncode enc;
            ASSERT_TRUE(enc.Create());
            const Bytes coded = Code(enc, data);
            ZRRangeDecode dec;
            ASSERT_TRUE(dec.Create());
            Bytes out(n + 1);
            ASSERT_TRUE(dec.Decode(coded.data(), out.data(), static_cast<int>(coded.size()),
                                   static_cast<int>(n + 1)))
                << name << " " << n;
            ASSERT_EQ(dec.GetResultSize(), static_cast<int>(n)) << name;
            out.resize(n);
            EXPECT_EQ(out, data) << name << " " << n;
            // One byte fewer is an overrun: the stream is consumed to its last byte.
            ZRRangeDecode cut;
            ASSERT_TRUE(cut.Create());
            EXPECT_FALSE(cut.Decode(coded.data(), out.data(), static_cast<int>(coded.size() - 1),
                                    static_cast<int>(n + 1)))
                << name << " " << n;
        }
    }
}

TEST(ZRRangeCoder, LimitBeforeTheEndSymbolStopsEarly) {
    const Bytes data = gen::Text(500, 9);
    ZRRangeEncode enc;
    ASSERT_TRUE(enc.Create());
    const Bytes coded = Code(enc, data);
    ZRRangeDecode dec;
    ASSERT_TRUE(dec.Create());
    Bytes out(500);
    ASSERT_TRUE(dec.Decode(coded.data(), out.data(), static_cast<int>(coded.size()), 500));
    EXPECT_EQ(dec.GetResultSize(), 500);
    EXPECT_EQ(out, data);

    ZRRangeDecode partial;
    ASSERT_TRUE(partial.Create());
    ASSERT_TRUE(partial.Decode(coded.data(), out.data(), static_cast<int>(coded.size()), 120));
    EXPECT_EQ(partial.GetResultSize(), 120);
}

TEST(ZRRangeCoder, ModelCarriesOverBetweenCalls) {
    const Bytes first = gen::Text(3000, 1), second = gen::Binary(3000, 2);
    ZRRangeEncode enc;
    ASSERT_TRUE(enc.Create());
    const Bytes c1 = Code(enc, first), c2 = Code(enc, second);

    ZRRangeDecode dec;
    ASSERT_TRUE(dec.Create());
    Bytes out(4000);
    ASSERT_TRUE(dec.Decode(c1.data(), out.data(), static_cast<int>(c1.size()), 4000));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + dec.GetResultSize()), first);
    ASSERT_TRUE(dec.Decode(c2.data(), out.data(), static_cast<int>(c2.size()), 4000));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + dec.GetResultSize()), second);

    ZRRangeDecode fresh;
    ASSERT_TRUE(fresh.Create());
    const bool ok = fresh.Decode(c2.data(), out.data(), static_cast<int>(c2.size()), 4000);
    EXPECT_FALSE(ok && Bytes(out.begin(), out.begin() + fresh.GetResultSize()) == second);

    // Reset returns the encoder to the initial model: the second buffer then codes as if alone.
    ZRRangeEncode alone;
    ASSERT_TRUE(alone.Create());
    ASSERT_TRUE(enc.Reset());
    EXPECT_EQ(Code(enc, second), Code(alone, second));
}

TEST(ZRRangeCoder, ShortAndOverflowingStreamsFail) {
    ZRRangeDecode dec;
    ASSERT_TRUE(dec.Create());
    unsigned char one[1] = {0x00};
    unsigned char out[8];
    EXPECT_FALSE(dec.Decode(one, out, 1, 8));
    EXPECT_EQ(dec.GetResultSize(), 0);

    ZRRangeEncode enc;
    ASSERT_TRUE(enc.Create());
    const Bytes data = gen::Random(100, 4);
    Bytes small(20);
    EXPECT_FALSE(enc.Encode(data.data(), small.data(), 100, 20));
    EXPECT_EQ(enc.GetResultSize(), 0);
}

TEST(ZRQSModel, UniformAndSearchTables) {
    ZRQSModel m;
    ASSERT_TRUE(m.InitQSModel(3, 4, 100, nullptr, 0));  // 16 split over 3: 6, 5, 5
    int sy, lt;
    m.QSGetFreq(0, &sy, &lt);
    EXPECT_EQ(sy, 6);
    EXPECT_EQ(lt, 0);
    m.QSGetFreq(2, &sy, &lt);
    EXPECT_EQ(sy, 5);
    EXPECT_EQ(lt, 11);
    EXPECT_EQ(m.QSGetSym(5), 0);
    EXPECT_EQ(m.QSGetSym(6), 1);
    EXPECT_EQ(m.QSGetSym(15), 2);
    // Init values that do not fill the total fall back to the even split.
    const int bad[3] = {1, 1, 1};
    m.ResetQSModel(bad);
    m.QSGetFreq(1, &sy, &lt);
    EXPECT_EQ(sy, 5);
    EXPECT_FALSE(m.InitQSModel(20, 4, 100, nullptr, 1));  // fewer counts than symbols
}

}  // namespace
