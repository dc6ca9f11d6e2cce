#include "foundation/zrmemman.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Recorder {
    std::vector<std::string> errors;
    std::vector<ZRMemPointer> added, leaked;
    void Error(ZRMemMan*, ZRString msg) { errors.emplace_back(msg.c_str()); }
    void Add(ZRMemMan*, ZRMemPointer p) { added.push_back(p); }
    void Leak(ZRMemMan*, ZRMemPointer p) { leaked.push_back(p); }
    void Bind(ZRMemMan& m) {
        m.OnError = ZRMemErrorCallback(this, &Recorder::Error);
        m.OnAddPointer = ZRMemPointerCallback(this, &Recorder::Add);
        m.OnNotRelease = ZRMemPointerCallback(this, &Recorder::Leak);
    }
};

struct Thing {
    int value = 5;
    static inline int alive = 0;
    Thing() { ++alive; }
    ~Thing() { --alive; }
};

struct Huge {
    Huge() { throw std::bad_alloc(); }
};

struct Widget : plat::TComponent {
    using plat::TComponent::TComponent;
    static inline int alive = 0;
    explicit Widget(plat::TComponent* owner) : plat::TComponent(owner) { ++alive; }
    ~Widget() override { --alive; }
};

std::string Hex(uintptr_t v) {
    char b[32];
    std::snprintf(b, sizeof b, "%016" PRIxPTR, v);
    return b;
}

TEST(ZRMemMan, RecordsKindSizeAndCallerOfEachFrontEnd) {
    Recorder rec;
    ZRMemMan m;
    rec.Bind(m);
    Thing* t = m.Create<Thing>();
    ASSERT_NE(t, nullptr);
    int* block = m.Alloc<int>(10);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(block[i], 0);
    Thing* made_elsewhere = new Thing;
    m.AddPtr(made_elsewhere);
    ASSERT_EQ(rec.added.size(), 3u);
    EXPECT_EQ(rec.added[0].kind, 1);
    EXPECT_EQ(rec.added[0].size, sizeof(Thing));
    EXPECT_EQ(rec.added[1].kind, 3);
    EXPECT_EQ(rec.added[1].size, 40u);
    EXPECT_EQ(rec.added[2].kind, 0);
    EXPECT_EQ(rec.added[2].size, 0u);
    for (auto& a : rec.added) EXPECT_NE(a.caller, 0u);
    m.Delete(t);
    EXPECT_EQ(t, nullptr);
    m.Free(block);
    EXPECT_EQ(block, nullptr);
    m.Delete(made_elsewhere);  // an added pointer is released without a kind complaint
    EXPECT_EQ(made_elsewhere, nullptr);
    EXPECT_EQ(Thing::alive, 0);
    EXPECT_TRUE(rec.errors.empty());
    EXPECT_EQ(m.Count(), 0);
}

TEST(ZRMemMan, NoCallerAddressWithoutAnErrorCallback) {
    ZRMemMan m;
    std::vector<ZRMemPointer> added;
    struct A {
        std::vector<ZRMemPointer>* out;
        void Add(ZRMemMan*, ZRMemPointer p) { out->push_back(p); }
    } a{&added};
    m.OnAddPointer = ZRMemPointerCallback(&a, &A::Add);
    Thing* t = m.Create<Thing>();
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].caller, 0u);
    m.Delete(t);
}

TEST(ZRMemMan, WrongReleasesAreRefusedAndReported) {
    Recorder rec;
    ZRMemMan m;
    rec.Bind(m);
    Thing* t = m.Create<Thing>();
    Thing* alias = t;
    m.Free(t);  // wrong kind
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_EQ(rec.errors[0].rfind("TypeDiffers " + Hex(reinterpret_cast<uintptr_t>(alias)) + ":Create(" +
                                      Hex(rec.added[0].caller) + ") Delete(",
                                  0),
              0u)
        << rec.errors[0];
    EXPECT_EQ(t, alias);
    EXPECT_EQ(m.Count(), 1);
    m.Delete(t);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(Thing::alive, 0);
    m.Delete(alias);  // second variable: not found, left alone
    ASSERT_EQ(rec.errors.size(), 2u);
    EXPECT_EQ(rec.errors[1].rfind("Pointer is not found Delete(", 0), 0u);
    EXPECT_NE(alias, nullptr);
    Thing* none = nullptr;
    m.Delete(none);
    EXPECT_EQ(rec.errors.size(), 2u);
}

TEST(ZRMemMan, LeaksAreReportedNewestFirstWhenTheManagerGoes) {
    Recorder rec;
    Thing *a, *b, *c;
    {
        ZRMemMan m;
        rec.Bind(m);
        a = m.Create<Thing>();
        b = m.Create<Thing>();
        c = m.Create<Thing>();
    }
    ASSERT_EQ(rec.leaked.size(), 3u);
    EXPECT_EQ(rec.leaked[0].pointer, reinterpret_cast<uintptr_t>(c));
    EXPECT_EQ(rec.leaked[1].pointer, reinterpret_cast<uintptr_t>(b));
    EXPECT_EQ(rec.leaked[2].pointer, reinterpret_cast<uintptr_t>(a));
    ASSERT_EQ(rec.errors.size(), 3u);
    EXPECT_EQ(rec.errors[0], "NotRelease " + Hex(reinterpret_cast<uintptr_t>(c)) + ":Call(" +
                                 Hex(rec.leaked[0].caller) + ")");
    delete a;
    delete b;
    delete c;
}

TEST(ZRMemMan, FailedMakesReportAndReturnNull) {
    Recorder rec;
    ZRMemMan m;
    rec.Bind(m);
    EXPECT_EQ(m.Create<Huge>(), nullptr);
    EXPECT_EQ(m.Alloc<uint32_t>(SIZE_MAX / 2), nullptr);  // count x size overflows
    ASSERT_EQ(rec.errors.size(), 2u);
    EXPECT_EQ(rec.errors[0].rfind("CreateErr Call(", 0), 0u);
    EXPECT_EQ(rec.errors[1].rfind("AllocErr Call(", 0), 0u);
    EXPECT_EQ(m.Count(), 0);
}

TEST(ZRMemMan, OlderRecordOfAReusedAddressIsFoundFirst) {
    ZRMemMan m;
    int x = 0;
    m.AddPtr(&x);
    m.AddPtr(&x);
    EXPECT_TRUE(m.DelPointerList({3, reinterpret_cast<uintptr_t>(&x), 0, 4}));
    EXPECT_EQ(m.Count(), 1);
}

TEST(ZRMemMan, OwnedComponentsAreNeverFreedTwice) {
    Recorder rec;
    ZRMemMan m;
    rec.Bind(m);
    Widget* root = m.CreateVCL<Widget>(nullptr);
    Widget* child = m.CreateVCL<Widget>(root);
    Widget* other = m.CreateVCL<Widget>(root);
    EXPECT_EQ(Widget::alive, 3);
    m.Delete(other);  // leaves the owner's list
    EXPECT_EQ(root->ComponentCount(), 1);
    m.Delete(root);  // takes the child with it
    EXPECT_EQ(Widget::alive, 0);
    EXPECT_EQ(m.Count(), 0);
    m.Delete(child);  // stale pointer: reported, nothing freed
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_EQ(rec.errors[0].rfind("Pointer is not found", 0), 0u);
}

TEST(ZRMemMan, ComponentsOutlivingTheManagerStayUsable) {
    Widget* w;
    {
        ZRMemMan m;
        w = m.CreateVCL<Widget>(nullptr);
    }
    delete w;  // must not call back into the destroyed manager
    EXPECT_EQ(Widget::alive, 0);
}

TEST(ZRMemMan, ThrowingCallbacksDoNotStopTheLeakReport) {
    struct Thrower {
        int seen = 0;
        void Leak(ZRMemMan*, ZRMemPointer) {
            ++seen;
            throw std::runtime_error("x");
        }
    } th;
    int a = 0, b = 0;
    {
        ZRMemMan m;
        m.OnNotRelease = ZRMemPointerCallback(&th, &Thrower::Leak);
        m.AddPtr(&a);
        m.AddPtr(&b);
    }
    EXPECT_EQ(th.seen, 2);
}

// A leak callback that releases the block it is told of: every record is still reported,
// each once, and the list is never emptied past its end.
TEST(ZRMemMan, LeakCallbacksMayReleaseTheReportedBlock) {
    struct Releaser {
        std::vector<uintptr_t> seen;
        void Leak(ZRMemMan* m, ZRMemPointer p) {
            seen.push_back(p.pointer);
            m->DelPointerList({p.kind, p.pointer, 0, p.size});
            std::free(reinterpret_cast<void*>(p.pointer));
        }
    };
    for (int blocks : {1, 3}) {
        Releaser rel;
        std::vector<uintptr_t> made;
        {
            ZRMemMan m;
            m.OnNotRelease = ZRMemPointerCallback(&rel, &Releaser::Leak);
            for (int i = 0; i < blocks; ++i)
                made.insert(made.begin(), reinterpret_cast<uintptr_t>(m.Alloc<uint32_t>(4)));
        }
        EXPECT_EQ(rel.seen, made) << blocks << " blocks";
    }
}

}  // namespace

// The game makes and frees through one manager from several threads at once (the logic
// thread, the wait thread's frame updates, the screenshot worker). Every kind of front end
// runs on four threads together; nothing may be lost, doubled or reported.
struct Shared {
    static inline std::atomic<int> alive{0};
    Shared() { ++alive; }
    ~Shared() { --alive; }
};

struct SharedWidget : plat::TComponent {
    static inline std::atomic<int> alive{0};
    explicit SharedWidget(plat::TComponent* owner) : plat::TComponent(owner) { ++alive; }
    ~SharedWidget() override { --alive; }
};

TEST(ZRMemManThreads, FrontEndsOnSeveralThreadsKeepTheRegistryExact) {
    ZRMemMan m;
    std::mutex errorsMutex;
    std::vector<std::string> errors;
    struct Sink {
        std::mutex* mutex;
        std::vector<std::string>* errors;
        void Error(ZRMemMan*, ZRString msg) {
            std::lock_guard<std::mutex> lock(*mutex);
            errors->emplace_back(msg.c_str());
        }
    } sink{&errorsMutex, &errors};
    m.OnError = ZRMemErrorCallback(&sink, &Sink::Error);
    Shared* kept = m.Create<Shared>();
    std::vector<std::thread> threads;
    std::atomic<int> ready{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&m, &ready, t] {
            // All four start together, so their calls overlap.
            ++ready;
            while (ready.load() < 4) std::this_thread::yield();
            for (int i = 0; i < 2000; ++i) {
                Shared* a = m.Create<Shared>();
                int* b = m.Alloc<int>(static_cast<size_t>(i % 7 + 1));
                SharedWidget* c = m.CreateVCL<SharedWidget>(nullptr);
                Shared* d = new Shared;
                m.AddPtr(d);
                if (t % 2) std::swap(a, d);
                m.Delete(a);
                m.Free(b);
                m.Delete(c);
                m.Delete(d);
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(m.Count(), 1);
    EXPECT_EQ(Shared::alive, 1);
    EXPECT_EQ(SharedWidget::alive, 0);
    m.Delete(kept);
}
