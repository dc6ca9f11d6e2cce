#include "foundation/zrcomp.h"

#include <gtest/gtest.h>

#include "codec_support.h"
#include "foundation/zrpellum.h"

namespace {

const unsigned char* U(const char* s) { return reinterpret_cast<const unsigned char*>(s); }

TEST(ZRCrcCheck, CheckValuesOfBothTypes) {
    ZRCrcCheck crc;
    EXPECT_EQ(crc.Crc(U("123456789"), 9), 0x6F91);
    EXPECT_EQ(crc.Crc(U("abc"), 3), 0x61DA);
    EXPECT_EQ(crc.Crc(U(""), 0), 0xFFFF);
    EXPECT_EQ(crc.UpDateCrc(0x1234, U("x"), -5), 0x1234);
    EXPECT_EQ(crc.UpDateCrc(crc.Crc(U("1234"), 4), U("56789"), 5), 0x6F91);
    EXPECT_EQ(crc.TableEntry(1), 0x1189);
    EXPECT_EQ(crc.TableEntry(3), 0x329B);
    EXPECT_EQ(crc.TableEntry(255), 0x0F78);

    crc.SetCrcType(zrCrcC001);
    EXPECT_EQ(crc.Crc(U("123456789"), 9), 0x7ABB);
    EXPECT_EQ(crc.Crc(U(""), 0), 0xFFFF);
    crc.SetCrcType(zrCrc8408);
    EXPECT_EQ(crc.Crc(U("123456789"), 9), 0x6F91);
    crc.SetCrcType(static_cast<ZRCrcType>(7));
    EXPECT_EQ(crc.TableEntry(255), 0x0F78);
}

TEST(ZRCrcStream, ChecksTheNextBytesAcrossChunks) {
    const Bytes data = gen::Random(70000, 1);
    ZRMemoryStream m(data.data(), static_cast<int>(data.size()));
    m.Seek(100, zrSeekSet);
    unsigned short result = 0;
    ASSERT_TRUE(ZRCrcStream(&m, 69000, &result));
    EXPECT_EQ(result, ZRCrcCheck().Crc(data.data() + 100, 69000));
    EXPECT_EQ(m.GetPosition(), 69100);

    result = 0xABCD;
    m.Seek(1000, zrSeekSet);
    EXPECT_FALSE(ZRCrcStream(&m, 69001, &result));
    EXPECT_EQ(result, 0xABCD);
}

TEST(ZRCompStream, RoundTripsThroughEveryCodecNumber) {
    const Bytes data = gen::Text(50000, 2);
    for (int codec : {0, 1, 2, 3, 7}) {
        ZRMemoryStream src(data.data(), static_cast<int>(data.size()));
        ZRMemoryStream packed;
        ZRCompStream comp;
        int size = -1;
        ASSERT_TRUE(comp.EncodeBuffer(&src, 50000, &packed, &size, codec)) << codec;
        EXPECT_EQ(size, packed.GetSize());
        packed.Reset();
        ZRMemoryStream out;
        ASSERT_TRUE(comp.DecodeBuffer(&packed, size, &out, 50000, codec)) << codec;
        ASSERT_EQ(out.GetSize(), 50000);
        EXPECT_EQ(Bytes(out.GetMemory(), out.GetMemory() + 50000), data) << codec;
    }
}

TEST(ZRCompStream, CodecNumbersPickTheBlockSize) {
    const Bytes data = gen::Binary(20000, 3);
    auto viaComp = [&](int codec) {
        ZRMemoryStream src(data.data(), 20000), packed;
        int size = 0;
        EXPECT_TRUE(ZRCompStream().EncodeBuffer(&src, 20000, &packed, &size, codec));
        return Bytes(packed.GetMemory(), packed.GetMemory() + size);
    };
    ZRPellumEncode big;
    ZRPellumLEEncode le;
    ZRPellumMiniEncode mini;
    EXPECT_EQ(viaComp(1), Compress(big, data));
    EXPECT_EQ(viaComp(2), Compress(le, data));
    EXPECT_EQ(viaComp(3), Compress(mini, data));
    EXPECT_EQ(viaComp(42), Compress(mini, data));

    // Every number but 0 decodes Pellum, whatever the block size.
    const Bytes packed = viaComp(3);
    for (int codec : {1, 2, 3}) {
        ZRMemoryStream in(packed.data(), static_cast<int>(packed.size())), out;
        EXPECT_TRUE(ZRCompStream().DecodeBuffer(&in, static_cast<int>(packed.size()), &out,
                                                20000, codec));
        EXPECT_EQ(out.GetSize(), 20000);
    }
}

TEST(ZRCompStream, EmptyAndFailingCalls) {
    ZRMemoryStream src("abc", 3), dst;
    ZRCompStream comp;
    int size = 99;
    EXPECT_FALSE(comp.EncodeBuffer(&src, 0, &dst, &size, 1));
    EXPECT_EQ(size, 0);
    EXPECT_FALSE(comp.EncodeBuffer(&src, 0, &dst, nullptr, 0));
    EXPECT_FALSE(comp.DecodeBuffer(&src, 0, &dst, 3, 1));
    EXPECT_FALSE(comp.DecodeBuffer(&src, 3, &dst, 0, 1));
    // Asking for more bytes than the source has is a short read.
    size = 99;
    EXPECT_FALSE(comp.EncodeBuffer(&src, 10, &dst, &size, 0));
    EXPECT_EQ(size, 0);
    // "abc" garbage as a Pellum stream.
    src.Reset();
    EXPECT_FALSE(comp.DecodeBuffer(&src, 3, &dst, 3, 1));
}

}  // namespace
