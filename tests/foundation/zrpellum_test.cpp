#include "foundation/zrpellum.h"

#include <gtest/gtest.h>

#include <memory>

#include "codec_support.h"
#include "foundation/zrstd.h"

namespace {

std::unique_ptr<ZRPellumEncode> MakeEncoder(int which) {
    if (which == 1) return std::make_unique<ZRPellumLEEncode>();
    if (which == 2) return std::make_unique<ZRPellumMiniEncode>();
    return std::make_unique<ZRPellumEncode>();
}

Bytes Pack(ZRPellumEncode& enc, const Bytes& data) {
    auto out = Compress(enc, data, 2 * static_cast<int>(data.size()) + 16);
    EXPECT_TRUE(out.has_value());
    return out.value_or(Bytes{});
}

std::optional<Bytes> Unpack(const Bytes& packed, int size) {
    ZRPellumDecode dec;
    return Decompress(dec, packed, size);
}

struct Record {
    int size, length;
};

std::vector<Record> Records(const Bytes& packed) {
    std::vector<Record> recs;
    for (size_t pos = 0; pos + 4 <= packed.size();) {
        recs.push_back({ZRGetLE16(&packed[pos]), ZRGetLE16(&packed[pos + 2])});
        pos += recs.back().size;
    }
    return recs;
}

TEST(ZRPellum, SmallStreamsAsStored) {
    for (int which = 0; which < 3; ++which) {
        auto enc = MakeEncoder(which);
        EXPECT_EQ(Pack(*enc, ToBytes("abc")), (Bytes{9, 0, 3, 0, 0, 0, 0x63, 0x62, 0x63}));
        const Bytes packed = Pack(*enc, Bytes(100, 0x61));
        ASSERT_EQ(packed.size(), 23u);
        EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 4), (Bytes{0x17, 0, 0x64, 0}));
        EXPECT_EQ(Unpack(packed, 100), Bytes(100, 0x61));
    }
}

TEST(ZRPellum, EveryVariantRoundTripsAroundItsBlockSize) {
    for (int which = 0; which < 3; ++which) {
        auto enc = MakeEncoder(which);
        const int b = enc->GetBlockSize();
        for (int n : {1, 2, b - 1, b, b + 1, 3 * b + 17}) {
            for (const auto& [name, data] : gen::AllShapes(n)) {
                MemIO io(data);
                ASSERT_TRUE(enc->Encode(n, 2 * n + 16, io.R(), io.W(), io.P())) << name << n;
                EXPECT_EQ(io.progress.back(), 100);
                const auto recs = Records(io.out);
                ASSERT_EQ(static_cast<int>(recs.size()), (n + b - 1) / b) << name << n;
                EXPECT_EQ(recs.back().length, n % b ? n % b : b);
                EXPECT_EQ(Unpack(io.out, n), data) << name << " " << n << " block " << b;
            }
        }
    }
}

// A random block in the middle cannot be coded smaller, so it is stored; the blocks after it
// decode only if both sides start the coder's model afresh there.
TEST(ZRPellum, StoredMiddleBlockResetsTheModel) {
    Bytes data = gen::Text(32768, 1);
    const Bytes noise = gen::Random(32768, 2), tail = gen::Text(32768, 3);
    data.insert(data.end(), noise.begin(), noise.end());
    data.insert(data.end(), tail.begin(), tail.end());
    ZRPellumEncode enc;
    const Bytes packed = Pack(enc, data);
    const auto recs = Records(packed);
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_LT(recs[0].size, 32768 + 6);
    EXPECT_EQ(recs[1].size, 32768 + 6);
    EXPECT_LT(recs[2].size, 32768 + 6);
    EXPECT_EQ(Unpack(packed, static_cast<int>(data.size())), data);
}

TEST(ZRPellum, ShorterExpectedSizeCutsTheLastBlock) {
    const Bytes data = gen::Text(5000, 4);
    ZRPellumMiniEncode enc;
    const Bytes packed = Pack(enc, data);
    EXPECT_EQ(Unpack(packed, 4500), Bytes(data.begin(), data.begin() + 4500));
    EXPECT_FALSE(Unpack(packed, 6000));  // the records run out first
}

TEST(ZRPellum, DamagedRecordsFail) {
    ZRPellumEncode enc;
    const Bytes good = Pack(enc, gen::Text(3000, 5));
    ASSERT_EQ(Records(good).size(), 1u);
    auto damaged = [&](auto change) {
        Bytes b = good;
        change(b);
        return Unpack(b, 3000);
    };
    // Block length above the largest block.
    EXPECT_FALSE(damaged([](Bytes& b) { ZRPutLE16(&b[2], 40000); }));
    // Record sizes that cannot hold a record, or that reach past the stream.
    for (int size : {0, 1, 4, 5}) {
        EXPECT_FALSE(damaged([&](Bytes& b) { ZRPutLE16(&b[0], static_cast<uint16_t>(size)); }));
    }
    EXPECT_FALSE(damaged([](Bytes& b) { ZRPutLE16(&b[0], static_cast<uint16_t>(b.size() + 1)); }));
    // A coded payload that yields fewer bytes than the block needs.
    EXPECT_FALSE(damaged([](Bytes& b) { ZRPutLE16(&b[2], 3100); }));
    // Truncated streams, with the source holding more than the caller admits.
    for (size_t cut : {size_t(1), size_t(3), size_t(6), good.size() - 1}) {
        MemIO io(good);
        ZRPellumDecode dec;
        EXPECT_FALSE(dec.Decode(static_cast<int>(cut), 3000, io.R(), io.W(), {})) << cut;
        EXPECT_LE(io.requested, static_cast<int64_t>(cut));
    }
    // A stored record whose primary index is not a row of the block.
    ZRPellumEncode e2;
    Bytes stored = Pack(e2, ToBytes("abc"));
    stored[4] = 3;
    EXPECT_FALSE(Unpack(stored, 3));
}

TEST(ZRPellum, CallbackFailuresAndLimitsGiveFalse) {
    const Bytes data = gen::Random(20000, 6);
    ZRPellumLEEncode enc;
    MemIO tight(data);
    EXPECT_FALSE(enc.Encode(20000, 15000, tight.R(), tight.W(), {}));
    MemIO shortRead(data);
    shortRead.shortReads = true;
    EXPECT_FALSE(enc.Encode(20000, 40000, shortRead.R(), shortRead.W(), {}));
    MemIO shortWrite(data);
    shortWrite.shortWrites = true;
    EXPECT_FALSE(enc.Encode(20000, 40000, shortWrite.R(), shortWrite.W(), {}));
    const Bytes packed = Pack(enc, data);
    MemIO dShort(packed);
    dShort.shortWrites = true;
    ZRPellumDecode dec;
    EXPECT_FALSE(dec.Decode(static_cast<int>(packed.size()), 20000, dShort.R(), dShort.W(), {}));
    EXPECT_EQ(Decompress(dec, packed, 20000), data);

    MemIO none;
    EXPECT_TRUE(enc.Encode(0, 0, none.R(), none.W(), none.P()));
    EXPECT_TRUE(dec.Decode(0, 10, none.R(), none.W(), none.P()));
    EXPECT_EQ(none.requested, 0);
    EXPECT_TRUE(none.progress.empty());
}

}  // namespace
