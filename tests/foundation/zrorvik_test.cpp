#include "foundation/zrorvik.h"

#include <gtest/gtest.h>

#include "codec_support.h"

namespace {

Bytes Pack(const Bytes& data) {
    ZROrvikEncode enc;
    auto out = Compress(enc, data, 2 * static_cast<int>(data.size()) + 8);
    EXPECT_TRUE(out.has_value());
    return out.value_or(Bytes{});
}

std::optional<Bytes> Unpack(const Bytes& packed, int size) {
    ZROrvikDecode dec;
    return Decompress(dec, packed, size);
}

TEST(ZROrvik, ShortInputsEncodeAsStored) {
    EXPECT_EQ(Pack(ToBytes("a")), (Bytes{0, 0, 0, 0, 'a'}));
    ZROrvikEncode enc;
    EXPECT_FALSE(Compress(enc, ToBytes("a")));  // 5 bytes do not fit twice the source
    EXPECT_EQ(Pack(Bytes(10, 'a')), (Bytes{0, 0, 0, 0x40, 'a', 0x80}));
    EXPECT_EQ(Unpack(Bytes{0, 0, 0, 0x40, 'a', 0x80}, 10), Bytes(10, 'a'));
    // A match may overlap the bytes it produces: a, b, then 3 bytes from 2 back.
    EXPECT_EQ(Pack(ToBytes("ababa")), (Bytes{0, 0, 0, 0x20, 'a', 'b', 0x21}));
    // A single byte left over is a literal even where it occurred before.
    EXPECT_EQ(Pack(ToBytes("abXa")), (Bytes{0, 0, 0, 0, 'a', 'b', 'X', 'a'}));
    // 40 tokens make two packets; the second flag word holds its 8 bits at the top.
    const Bytes two = Pack(gen::Random(40, 1));
    ASSERT_EQ(two.size(), 48u);
    EXPECT_EQ(Bytes(two.begin() + 36, two.begin() + 40), (Bytes{0, 0, 0, 0}));
}

TEST(ZROrvik, RoundTripsEveryShapeAroundTheBlockSizes) {
    for (size_t n : {size_t(1), size_t(2), size_t(16383), size_t(16384), size_t(16385),
                     size_t(32767), size_t(32768), size_t(32769), size_t(200000)}) {
        for (const auto& [name, data] : gen::AllShapes(n)) {
            MemIO io(data);
            ZROrvikEncode enc;
            ASSERT_TRUE(enc.Encode(static_cast<int>(n), 2 * static_cast<int>(n) + 8, io.R(),
                                   io.W(), io.P()))
                << name << " " << n;
            EXPECT_LE(io.maxRead, 32768);
            EXPECT_LE(io.maxWrite, 16384 + 2560);
            EXPECT_EQ(io.progress.back(), 100);
            MemIO dio(io.out);
            ZROrvikDecode dec;
            ASSERT_TRUE(dec.Decode(static_cast<int>(io.out.size()), static_cast<int>(n), dio.R(),
                                   dio.W(), dio.P()))
                << name << " " << n;
            EXPECT_EQ(dio.out, data) << name << " " << n;
            EXPECT_EQ(dio.requested, static_cast<int64_t>(io.out.size()));
            EXPECT_LE(dio.maxRead, 16384);
            EXPECT_EQ(dec.GetOutputDone(), static_cast<int>(n));
        }
    }
}

TEST(ZROrvik, SizesOfZeroTouchNothing) {
    MemIO io;
    ZROrvikEncode enc;
    EXPECT_TRUE(enc.Encode(0, 0, io.R(), io.W(), io.P()));
    ZROrvikDecode dec;
    EXPECT_TRUE(dec.Decode(0, 100, io.R(), io.W(), io.P()));
    EXPECT_EQ(io.requested, 0);
    EXPECT_TRUE(io.out.empty());
    EXPECT_TRUE(io.progress.empty());
}

TEST(ZROrvik, LastMatchRunningPastTheEndIsCut) {
    // Literal 'x', then a match of length 200 at distance 1 where only 50 bytes remain.
    const Bytes packed = {0, 0, 0, 0x40, 'x', 0xE0, 200};
    EXPECT_EQ(Unpack(packed, 51), Bytes(51, 'x'));
}

TEST(ZROrvik, DamagedStreamsFail) {
    // Distance 0 (extended form with B = 0).
    EXPECT_FALSE(Unpack(Bytes{0, 0, 0, 0x40, 'x', 0x0A, 0}, 5));
    // Distance 2 with only one byte produced.
    EXPECT_FALSE(Unpack(Bytes{0, 0, 0, 0x40, 'x', 0x01}, 5));
    // Distance 1,000 right at the start of the stream.
    EXPECT_FALSE(Unpack(Bytes{0, 0, 0, 0xC0, 0x1D, 0xE8}, 5));
    // A 60,000-byte match cannot fit the output buffer, even when that much is expected.
    EXPECT_FALSE(Unpack(Bytes{0, 0, 0, 0x40, 'x', 0xF0, 0x60, 0xEA}, 70000));
    // Matches that stop short of the end of a stream that has nothing more.
    EXPECT_FALSE(Unpack(Bytes{0, 0, 0, 0x40, 'x', 0xE0}, 100));

    // Every truncation of a real stream fails, and the decoder never asks for more bytes than
    // the compressed size it was given.
    const Bytes data = gen::Text(40000, 6);
    const Bytes packed = Pack(data);
    for (size_t cut : {size_t(1), size_t(3), size_t(4), size_t(5), packed.size() / 2,
                       packed.size() - 1}) {
        Bytes shorter(packed.begin(), packed.begin() + cut);
        MemIO io(packed);  // the source holds more than the caller says is there
        ZROrvikDecode dec;
        EXPECT_FALSE(dec.Decode(static_cast<int>(cut), 40000, io.R(), io.W(), {})) << cut;
        EXPECT_LE(io.requested, static_cast<int64_t>(cut));
        EXPECT_FALSE(Unpack(shorter, 40000)) << cut;
    }
}

TEST(ZROrvik, CallbackFailuresAndLimitsGiveFalse) {
    const Bytes data = gen::Random(50000, 7);
    ZROrvikEncode enc;
    MemIO tight(data);
    EXPECT_FALSE(enc.Encode(50000, 40000, tight.R(), tight.W(), {}));
    MemIO shortRead(data);
    shortRead.shortReads = true;
    EXPECT_FALSE(enc.Encode(50000, 100000, shortRead.R(), shortRead.W(), {}));
    MemIO shortWrite(data);
    shortWrite.shortWrites = true;
    EXPECT_FALSE(enc.Encode(50000, 100000, shortWrite.R(), shortWrite.W(), {}));
    MemIO io(data);
    EXPECT_FALSE(enc.Encode(50000, 100000, {}, io.W(), {}));  // empty read callback
    // The object is whole again after every failure.
    auto packed = Compress(enc, data);
    ASSERT_TRUE(packed);

    ZROrvikDecode dec;
    MemIO dShort(*packed);
    dShort.shortWrites = true;
    EXPECT_FALSE(dec.Decode(static_cast<int>(packed->size()), 50000, dShort.R(), dShort.W(), {}));
    EXPECT_EQ(Decompress(dec, *packed, 50000), data);
}

// A callback that calls back into the codec finds it busy.
struct Reentrant {
    ZROrvikEncode* enc;
    bool inner = true;
    MemIO io{Bytes(100, 'q')};
    int Read(void* buf, int n) {
        MemIO other(Bytes(10, 'z'));
        inner = enc->Encode(10, 20, other.R(), other.W(), {});
        return io.Read(buf, n);
    }
};

TEST(ZROrvik, BusyObjectRefusesASecondCall) {
    ZROrvikEncode enc;
    Reentrant r{&enc};
    EXPECT_TRUE(enc.Encode(100, 200, {&r, &Reentrant::Read}, r.io.W(), {}));
    EXPECT_FALSE(r.inner);
}

TEST(ZROrvikHash, ChainsKeepTheNewestPositionsOfEachKey) {
    ZROrvikHash h;
    EXPECT_FALSE(h.Create(0));
    EXPECT_EQ(h.FirstNode(1), nullptr);
    ASSERT_TRUE(h.Create(3));
    h.AddNode(7, 10);
    h.AddNode(8, 11);
    h.AddNode(7, 12);
    ZROrvikHashNode* n = h.FirstNode(7);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->position, 12u);
    EXPECT_EQ(h.NextNode(n)->position, 10u);
    EXPECT_EQ(h.NextNode(h.NextNode(n)), nullptr);
    h.AddNode(9, 13);  // reuses the node of position 10, the tail of key 7's chain
    EXPECT_EQ(h.NextNode(h.FirstNode(7)), nullptr);
    h.AddNode(9, 14);  // reuses the node of key 8, its only one
    EXPECT_EQ(h.FirstNode(8), nullptr);
    EXPECT_EQ(h.FirstNode(9)->position, 14u);
    EXPECT_EQ(h.NextNode(h.FirstNode(9))->position, 13u);
    h.Release();
    EXPECT_EQ(h.FirstNode(9), nullptr);
}

}  // namespace
