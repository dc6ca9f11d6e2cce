#include <gtest/gtest.h>

#include "platform/component.h"
#include "platform/filetime.h"
#include "platform/resources.h"
#include "platform/tstream.h"

namespace {

struct Tracked : plat::TComponent {
    Tracked(plat::TComponent* owner, int* deaths) : plat::TComponent(owner), deaths_(deaths) {}
    ~Tracked() override { ++*deaths_; }
    int* deaths_;
};

TEST(Component, OwnerDestroysOwnedAndOwnedLeavesOwnerWhenDeletedElsewhere) {
    int deaths = 0;
    auto* root = new Tracked(nullptr, &deaths);
    auto* a = new Tracked(root, &deaths);
    new Tracked(a, &deaths);
    auto* b = new Tracked(root, &deaths);
    EXPECT_EQ(root->ComponentCount(), 2);
    delete b;
    EXPECT_EQ(root->ComponentCount(), 1);
    EXPECT_EQ(deaths, 1);
    delete root;
    EXPECT_EQ(deaths, 4);
}

TEST(FileTime, ConvertsBothWaysAroundTheUnixEpoch) {
    plat::FileTime ft = plat::FileTimeFromUnix(0);
    EXPECT_EQ(ft.Ticks(), 116444736000000000ULL);
    EXPECT_EQ(plat::UnixFromFileTime(ft), 0);
    int32_t ns = 0;
    plat::FileTime t2 = plat::FileTimeFromUnix(1700000000, 123456700);
    EXPECT_EQ(plat::UnixFromFileTime(t2, &ns), 1700000000);
    EXPECT_EQ(ns, 123456700);
    EXPECT_GT(plat::FileTimeNow().Ticks(), t2.Ticks());
}

TEST(Resources, FoundByNameAndTypeWithoutCase) {
    static const uint8_t data[] = {1, 2, 3};
    plat::RegisterResource("Logo", "PNG", data, sizeof data);
    plat::ResourceBlob blob;
    ASSERT_TRUE(plat::FindResource(plat::kThisModule, "LOGO", "png", blob));
    EXPECT_EQ(blob.size, 3u);
    EXPECT_EQ(blob.data, data);
    EXPECT_FALSE(plat::FindResource(plat::kThisModule, "Other", "PNG", blob));
    plat::RegisterResource("#7", "RAW", data, 1);
    ASSERT_TRUE(plat::FindResource(plat::kThisModule, 7, "RAW", blob));
    EXPECT_EQ(blob.size, 1u);
}

TEST(TMemoryStream, ReadsWritesSeeksAndResizes) {
    plat::TMemoryStream s;
    EXPECT_EQ(s.Write("abcdef", 6), 6);
    EXPECT_EQ(s.GetSize(), 6);
    EXPECT_EQ(s.Seek(-2, plat::SeekOrigin::End), 4);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 2);
    EXPECT_STREQ(buf, "ef");
    EXPECT_EQ(s.Seek(-1, plat::SeekOrigin::Beginning), -1);
    s.SetSize(3);
    EXPECT_EQ(s.GetPosition(), 3);
    EXPECT_EQ(s.GetSize(), 3);
}

}  // namespace
