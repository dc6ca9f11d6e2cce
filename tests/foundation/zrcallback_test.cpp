#include "foundation/zrcallback.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

struct Base {
    virtual ~Base() = default;
    virtual int Twice(int v) { return 2 * v; }
};
struct Other {
    int pad = 0;
};
// Multiple and virtual inheritance make the largest member-function pointers.
struct Target : Other, virtual Base {
    int calls = 0;
    std::string last;
    int Twice(int v) override { return 3 * v + pad; }
    void Hit() { ++calls; }
    bool Store(const std::string& s, int n) {
        last = s + std::to_string(n);
        return n > 0;
    }
    long Sum(int a, short b, long c) { return a + b + c; }
};

TEST(ZRBaseCallback, EmptyCallbackThrowsInvalidCallback) {
    ZRBaseCallback1<void, int> cb;
    EXPECT_FALSE(cb.IsSet());
    try {
        cb.Call(1);
        FAIL();
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Invalid Callback");
    }
    EXPECT_THROW(ZRBaseCallback0<void>().Call(), std::logic_error);
    EXPECT_THROW((ZRBaseCallback2<int, void*, int>().Call(nullptr, 0)), std::logic_error);
    EXPECT_THROW((ZRBaseCallback3<void, int, int, int>().Call(0, 0, 0)), std::logic_error);
}

TEST(ZRBaseCallback, BoundCallsReachTheObjectWithArgumentsAndResultsUnchanged) {
    Target t;
    t.pad = 1;
    ZRBaseCallback0<void> hit(&t, &Target::Hit);
    ZRBaseCallback1<int, int> twice(&t, &Target::Twice);
    ZRBaseCallback2<bool, const std::string&, int> store(&t, &Target::Store);
    ZRBaseCallback3<long, int, short, long> sum(&t, &Target::Sum);
    hit.Call();
    EXPECT_EQ(t.calls, 1);
    EXPECT_EQ(twice.Call(5), 16);  // the override, reached through the stored pointer
    EXPECT_TRUE(store.Call("n", 3));
    EXPECT_EQ(t.last, "n3");
    EXPECT_FALSE(store.Call("z", 0));
    EXPECT_EQ(sum.Call(1, 2, 40000000000L), 40000000003L);
}

TEST(ZRBaseCallback, CopiesAreIndependentRecords) {
    Target t;
    ZRBaseCallback0<void> a(&t, &Target::Hit);
    ZRBaseCallback0<void> b = a;
    b.Call();
    EXPECT_EQ(t.calls, 1);
    b = ZRBaseCallback0<void>();
    EXPECT_FALSE(b.IsSet());
    EXPECT_TRUE(a.IsSet());
    a.Call();
    EXPECT_EQ(t.calls, 2);
}

}  // namespace
