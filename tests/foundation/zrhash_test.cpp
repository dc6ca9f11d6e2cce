#include "foundation/zrhash.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const unsigned char* U(const char* s) {
    return reinterpret_cast<const unsigned char*>(s);
}

TEST(ZRHash, KnownValuesAndBothForms) {
    EXPECT_EQ(ZRCalcHashSum8("abc"), 38);
    EXPECT_EQ(ZRCalcHashMul8("abc"), 61);
    EXPECT_EQ(ZRCalcHashMul16("abc"), 65051);
    EXPECT_EQ(ZRCalcHashSum8(U("abcd"), 3), 38);
    EXPECT_EQ(ZRCalcHashMul8(U("abcd"), 3), 61);
    EXPECT_EQ(ZRCalcHashMul16(U("abcd"), 3), 65051);
    EXPECT_EQ(ZRCalcHashMul16(U("abc"), 0), 0);
    EXPECT_EQ(ZRCalcHashMul16(U("abc"), -4), 0);
    EXPECT_EQ(ZRCalcHashMul8(""), 0);
    // Bytes count as unsigned and the product wraps at 32 bits: 0xFF * 137^k summed
    // over eight bytes exceeds 2^32 many times over.
    uint32_t h = 0;
    for (int i = 0; i < 8; ++i) h = h * 137u + 0xFFu;
    EXPECT_EQ(ZRCalcHashMul16("\xff\xff\xff\xff\xff\xff\xff\xff"), h % 65521u);
    EXPECT_EQ(ZRCalcHashMul8("\xff\xff\xff\xff\xff\xff\xff\xff"), h % 251u);
}

// Names that share a chain (equal ZRCalcHashMul8), found by brute force over short names.
std::vector<std::string> CollidingNames(int count) {
    std::map<int, std::vector<std::string>> byHash;
    for (char a = 'a'; a <= 'z'; ++a) {
        for (char b = 'a'; b <= 'z'; ++b) {
            std::string s{a, b};
            auto& v = byHash[ZRCalcHashMul8(s.c_str())];
            v.push_back(s);
            if (static_cast<int>(v.size()) == count) return v;
        }
    }
    return {};
}

TEST(ZRHashTable, CollidingNamesShareAChainAndSurviveRemoval) {
    std::vector<std::string> names = CollidingNames(4);
    ASSERT_EQ(names.size(), 4u);
    ZRHashTable t(8);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(t.AddData(names[i].c_str(), 100u + i), i);
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(t.Search(names[i].c_str()), i);
    // Unlinking from the head, the middle and the tail of the chain.
    t.ClrData(1);
    EXPECT_EQ(t.Search(names[1].c_str()), -1);
    t.ClrData(0);
    t.ClrData(3);
    EXPECT_EQ(t.Search(names[2].c_str()), 2);
    EXPECT_EQ(t.GetParam(2), 102u);
    // Freed slots are reused lowest first and relinked at the tail.
    EXPECT_EQ(t.AddData(names[3].c_str(), 7), 0);
    EXPECT_EQ(t.AddData(names[0].c_str(), 8), 1);
    EXPECT_EQ(t.Search(names[3].c_str()), 0);
    EXPECT_EQ(t.Search(names[0].c_str()), 1);
    EXPECT_EQ(t.Search(names[2].c_str()), 2);
}

TEST(ZRHashTable, RemovingARecordKeepsTheOthersIntact) {
    ZRHashTable t(6);
    const char* names[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta"};
    for (uint32_t i = 0; i < 6; ++i) ASSERT_EQ(t.AddData(names[i], 0xF0000000u + i), int(i));
    t.ClrData(1);
    t.ClrData(3);
    EXPECT_FALSE(t.IsValid(1));
    EXPECT_EQ(t.GetString(1), nullptr);
    EXPECT_EQ(t.GetParam(3), 0u);
    for (int i : {0, 2, 4, 5}) {
        EXPECT_STREQ(t.GetString(i), names[i]);
        EXPECT_EQ(t.GetParam(i), 0xF0000000u + i);
        EXPECT_EQ(t.Search(names[i]), i);
    }
    EXPECT_TRUE(t.SetParam(5, 9));
    EXPECT_EQ(t.GetParam(5), 9u);
    EXPECT_FALSE(t.SetParam(1, 9));
    t.ClrData(1);
    t.ClrData(-1);
    t.ClrData(6);
}

TEST(ZRHashTable, SetDataReplacesAndDuplicatesFindTheFirst) {
    ZRHashTable t(4);
    EXPECT_EQ(t.AddData("same"), 0);
    EXPECT_EQ(t.AddData("same", 5), 1);
    EXPECT_EQ(t.Search("same"), 0);
    EXPECT_TRUE(t.SetData(0, "other", 3));
    EXPECT_EQ(t.Search("same"), 1);
    EXPECT_EQ(t.Search("other"), 0);
    EXPECT_EQ(t.Search("Other"), -1);
    EXPECT_FALSE(t.SetData(4, "x"));
    EXPECT_FALSE(t.SetData(-1, "x"));
    EXPECT_FALSE(t.SetData(2, nullptr));
    // A name too long for the record's 16-bit length is refused, not truncated.
    std::string huge(0x10000, 'n');
    EXPECT_FALSE(t.SetData(2, huge.c_str()));
    EXPECT_FALSE(t.IsValid(2));
    EXPECT_TRUE(t.SetData(2, huge.substr(1).c_str()));
    EXPECT_EQ(t.Search(huge.substr(1).c_str()), 2);
}

TEST(ZRHashTable, CapacityIsFixedUntilAllocAndCappedAt65535) {
    ZRHashTable empty;
    EXPECT_EQ(empty.GetSize(), 0);
    EXPECT_EQ(empty.AddData("a"), -1);
    empty.Alloc(2);
    EXPECT_EQ(empty.AddData("a"), 0);
    EXPECT_EQ(empty.AddData("b"), 1);
    EXPECT_EQ(empty.AddData("c"), -1);
    empty.Alloc(1);
    EXPECT_EQ(empty.GetSize(), 2);
    EXPECT_STREQ(empty.GetString(1), "b");

    ZRHashTable big;
    big.Alloc(100000);
    EXPECT_EQ(big.GetSize(), 65535);
    EXPECT_TRUE(big.SetData(65534, "last"));
    EXPECT_EQ(big.Search("last"), 65534);
}

TEST(ZRHashTable, PoolGrowsForLongNamesAndAllClearEmptiesButKeepsSlots) {
    ZRHashTable t(3);
    std::string n244(244, 'q');
    ASSERT_TRUE(t.SetData(0, n244.c_str(), 1));
    ASSERT_TRUE(t.SetData(1, std::string(600, 'r').c_str(), 2));
    EXPECT_EQ(t.Search(n244.c_str()), 0);
    EXPECT_EQ(t.Search(std::string(600, 'r').c_str()), 1);
    t.AllClear();
    EXPECT_EQ(t.GetSize(), 3);
    EXPECT_EQ(t.Search(n244.c_str()), -1);
    EXPECT_FALSE(t.IsValid(0));
    EXPECT_EQ(t.AddData("fresh"), 0);
    EXPECT_EQ(t.Search("fresh"), 0);
}

}  // namespace
