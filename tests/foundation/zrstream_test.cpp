#include "foundation/zrstream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

std::string TempPath(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/zrstream_" + std::to_string(getpid()) + "_" + name;
}

TEST(ZRMemoryStream, GrowsInBlocksAndZeroFills) {
    ZRMemoryStream m(10);
    EXPECT_EQ(m.GetCapacity(), 8192);
    EXPECT_EQ(m.GetSize(), 10);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(m.GetMemory()[i], 0);
    m.GetMemory()[9] = 7;
    ASSERT_TRUE(m.SetSize(8193));
    EXPECT_EQ(m.GetCapacity(), 16384);
    EXPECT_EQ(m.GetMemory()[9], 7);
    for (int i = 10; i < 8193; ++i) ASSERT_EQ(m.GetMemory()[i], 0) << i;
    m.Seek(0, zrSeekEnd);
    ASSERT_TRUE(m.SetSize(5));
    EXPECT_EQ(m.GetPosition(), 5);
    ASSERT_TRUE(m.SetSize(0));
    EXPECT_FALSE(m.IsOpen());
    EXPECT_EQ(m.GetCapacity(), 0);
}

TEST(ZRMemoryStream, SeeksClampAndWritesExtend) {
    ZRMemoryStream m("abc", 3);
    EXPECT_EQ(m.Seek(-5, zrSeekSet), 0);
    EXPECT_EQ(m.Seek(5, zrSeekEnd), 3);
    EXPECT_EQ(m.Seek(-1, zrSeekCur), 2);
    EXPECT_EQ(m.Write("WXYZ", 4), 4);
    EXPECT_EQ(m.GetSize(), 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(m.GetMemory()), 6), "abWXYZ");
    EXPECT_EQ(m.Write("x", -1), 0);
    char buf[8];
    EXPECT_EQ(m.Read(buf, -3), 0);
    EXPECT_EQ(m.GetPosition(), 6);

    ZRMemoryStream empty;
    EXPECT_FALSE(empty.IsOpen());
    EXPECT_EQ(empty.Write("hi", 2), 2);
    EXPECT_TRUE(empty.IsOpen());
    EXPECT_EQ(empty.GetSize(), 2);
}

TEST(ZRMemoryStream, WriteThatCannotGrowWritesNothing) {
    ZRMemoryStream m("abc", 3);
    m.Seek(0, zrSeekEnd);
    EXPECT_EQ(m.Write("x", 0x7FFFFFFF), 0);
    EXPECT_EQ(m.GetSize(), 3);
    EXPECT_TRUE(m.IsOpen());
    EXPECT_EQ(m.GetMemory()[0], 'a');
}

TEST(ZRStream, ShortBufferTransfersThrow) {
    ZRMemoryStream m(6);
    char buf[10];
    try {
        m.ReadBuffer(buf, 10);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Read Error");
    }
    EXPECT_EQ(m.GetPosition(), 6);
    ZRResourceStream r(plat::kThisModule, "missing", "RAW");
    EXPECT_THROW(r.WriteBuffer("x", 1), std::runtime_error);
    EXPECT_NO_THROW(m.WriteBuffer("x", 0));
}

TEST(ZRFileStream, EveryModeAndMissingFiles) {
    std::string path = TempPath("modes");
    {
        ZRFileStream f(path.c_str(), zrfmCreate);
        ASSERT_TRUE(f.IsOpen());
        EXPECT_EQ(f.Write("hello", 5), 5);
        EXPECT_EQ(f.GetSize(), 5);
        EXPECT_EQ(f.GetPosition(), 5);
        EXPECT_TRUE(f.Reset());
        char b[5];
        EXPECT_EQ(f.Read(b, 5), 5);
        EXPECT_FALSE(f.SetSize(1));
    }
    {
        ZRFileStream f(ZRString(path.c_str()), zrfmRead);
        ASSERT_TRUE(f.IsOpen());
        EXPECT_EQ(f.Write("x", 1), 0);
        EXPECT_EQ(f.Seek(-2, zrSeekEnd), 3);
        char b[3] = {};
        EXPECT_EQ(f.Read(b, 3), 2);
        EXPECT_EQ(std::string(b, 2), "lo");
    }
    {
        ZRFileStream f(path.c_str(), zrfmReadWrite);
        ASSERT_TRUE(f.IsOpen());
        f.Seek(1, zrSeekSet);
        f.Write("EL", 2);
    }
    {
        ZRFileStream f(path.c_str(), zrfmRead);
        char b[5];
        f.ReadBuffer(b, 5);
        EXPECT_EQ(std::string(b, 5), "hELlo");
    }
    std::remove(path.c_str());
    ZRFileStream missing(path.c_str(), zrfmRead);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.Seek(0, zrSeekSet), -1);
    EXPECT_EQ(missing.GetSize(), -1);
    char b;
    EXPECT_EQ(missing.Read(&b, 1), 0);
    ZRFileStream missing2(path.c_str(), zrfmReadWrite);
    EXPECT_FALSE(missing2.IsOpen());
    ZRFileStream bad(path.c_str(), static_cast<ZRFileMode>(3));
    EXPECT_FALSE(bad.IsOpen());
}

TEST(ZRResourceStream, ReadsCompiledInBytesAndRefusesWrites) {
    static const uint8_t data[] = {'r', 'e', 's'};
    plat::RegisterResource("TESTRES", "RAW", data, 3);
    ZRResourceStream r(plat::kThisModule, ZRString("testres"), "raw");
    ASSERT_TRUE(r.IsOpen());
    EXPECT_EQ(r.GetSize(), 3);
    EXPECT_EQ(r.Seek(1, zrSeekSet), 1);
    EXPECT_EQ(r.Write("x", 1), 0);
    EXPECT_EQ(r.GetPosition(), 1);
    char b[4] = {};
    EXPECT_EQ(r.Read(b, 4), 2);
    EXPECT_STREQ(b, "es");
    EXPECT_EQ(r.Seek(-10, zrSeekCur), 0);
    ZRResourceStream missing(plat::kThisModule, 42, "RAW");
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.Read(b, 1), 0);
}

TEST(StreamAdapters, EachTStreamAdapterKeepsItsOwnPosition) {
    ZRMemoryStream m("0123456789", 10);
    ZR2TStream a(&m), b(&m);
    char x[3] = {}, y[3] = {};
    EXPECT_EQ(a.Read(x, 2), 2);
    b.Seek32(5, 0);
    EXPECT_EQ(b.Read(y, 2), 2);
    EXPECT_EQ(a.Read(x, 2), 2);
    EXPECT_STREQ(x, "23");
    EXPECT_STREQ(y, "56");
    EXPECT_EQ(a.Seek(-1, plat::SeekOrigin::End), 9);
    EXPECT_EQ(a.Seek32(100, 0), 100);  // no bound check on the adapter's own position
    EXPECT_EQ(a.Read(x, 1), 0);        // the wrapped stream cannot land there
    a.Seek32(10, 0);
    EXPECT_EQ(a.Write("AB", 2), 2);
    EXPECT_EQ(a.Seek(0, plat::SeekOrigin::End), 12);
    EXPECT_EQ(a.GetZRStream(), &m);
}

TEST(StreamAdapters, ZRStreamOverAClassLibraryStream) {
    plat::TMemoryStream t;
    T2ZRStream s(&t);
    EXPECT_TRUE(s.IsOpen());
    EXPECT_EQ(s.Write("abcd", 4), 4);
    EXPECT_EQ(s.GetSize(), 4);
    EXPECT_TRUE(s.Reset());
    EXPECT_EQ(s.Seek(2, zrSeekCur), 2);
    char b[2];
    s.ReadBuffer(b, 2);
    EXPECT_EQ(std::string(b, 2), "cd");
    EXPECT_TRUE(s.SetSize(1));
    EXPECT_EQ(s.GetSize(), 1);
    EXPECT_EQ(s.GetPosition(), 1);
}

}  // namespace
