// ZRMemMan: the registry of live allocations. Objects and raw blocks are made and freed
// through its front ends, which record the kind, the pointer, the calling address and the
// size, so that wrong releases and allocations still alive at the end are reported with
// the address of the call in the user's code.
//
// Several threads make and free through the one manager (the logic thread, the wait thread's
// frame updates, the screenshot worker), so the registry is guarded by a lock of its own. The
// lock is held only around the registry itself: no callback runs under it, and objects are
// made and destroyed outside it.
#pragma once
#include <cinttypes>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <type_traits>
#include <vector>

#include "foundation/zrcallback.h"
#include "foundation/zrstring.h"
#include "platform/component.h"

struct ZRMemPointer {
    uint8_t kind = 0;        // 0 entered by AddPtr, 1 object, 3 raw block
    uintptr_t pointer = 0;
    uintptr_t caller = 0;    // address of the call, 0 while no error callback is set
    uint32_t size = 0;
};

class ZRMemMan;
using ZRMemErrorCallback = ZRBaseCallback2<void, ZRMemMan*, ZRString>;
using ZRMemPointerCallback = ZRBaseCallback2<void, ZRMemMan*, ZRMemPointer>;

#define ZR_CALLER_ADDRESS() (reinterpret_cast<uintptr_t>(__builtin_return_address(0)) - 5)

class ZRMemMan final : private plat::ComponentWatcher {
public:
    enum : uint8_t { kAdded = 0, kObject = 1, kBlock = 3 };

    ZRMemMan() = default;
    ~ZRMemMan();
    ZRMemMan(const ZRMemMan&) = delete;
    ZRMemMan& operator=(const ZRMemMan&) = delete;

    bool AddPointerList(ZRMemPointer record);
    bool DelPointerList(ZRMemPointer request);
    int Count() const;
    // A copy of the live records, oldest first: what a leak hunt compares between two
    // moments. The callers are known only while an error callback is set.
    std::vector<ZRMemPointer> Records() const;

    template <typename T>
    __attribute__((noinline)) T* Create() {
        uintptr_t caller = CallerOr0(ZR_CALLER_ADDRESS());
        T* p = nullptr;
        try {
            p = new (std::nothrow) T();
        } catch (const std::bad_alloc&) {
            p = nullptr;
        }
        if (!p) {
            Report("CreateErr Call(%016" PRIxPTR ")", caller);
            return nullptr;
        }
        AddPointerList({kObject, reinterpret_cast<uintptr_t>(p), caller, sizeof(T)});
        return p;
    }

    // Makes a component of class T owned by `owner`. If the owner later destroys it, the
    // record leaves the registry, so a Delete through a stale pointer frees nothing.
    template <typename T>
    __attribute__((noinline)) T* CreateVCL(plat::TComponent* owner) {
        static_assert(std::is_base_of_v<plat::TComponent, T>);
        uintptr_t caller = CallerOr0(ZR_CALLER_ADDRESS());
        T* p = nullptr;
        try {
            p = new T(owner);
        } catch (const std::bad_alloc&) {
            p = nullptr;
        }
        if (!p) {
            Report("CreateVCLErr Call(%016" PRIxPTR ")", caller);
            return nullptr;
        }
        Watch(p);
        AddPointerList({kObject, reinterpret_cast<uintptr_t>(p), caller, sizeof(T)});
        return p;
    }

    template <typename T>
    __attribute__((noinline)) T* Alloc(size_t n) {
        uintptr_t caller = CallerOr0(ZR_CALLER_ADDRESS());
        T* p = nullptr;
        if (n == 0 || n <= SIZE_MAX / sizeof(T)) p = static_cast<T*>(std::calloc(n ? n : 1, sizeof(T)));
        if (!p || static_cast<uint64_t>(n) * sizeof(T) > UINT32_MAX) {
            std::free(p);
            Report("AllocErr Call(%016" PRIxPTR ")", caller);
            return nullptr;
        }
        AddPointerList({kBlock, reinterpret_cast<uintptr_t>(p), caller, static_cast<uint32_t>(n * sizeof(T))});
        return p;
    }

    template <typename T>
    __attribute__((noinline)) void Delete(T*& p) {
        if (!p) return;
        uintptr_t caller = CallerOr0(ZR_CALLER_ADDRESS());
        if (!DelPointerList({kObject, reinterpret_cast<uintptr_t>(p), caller, sizeof(T)})) return;
        if constexpr (std::is_base_of_v<plat::TComponent, T>) Unwatch(p);
        delete p;
        p = nullptr;
    }

    template <typename T>
    __attribute__((noinline)) void Free(T*& p) {
        if (!p) return;
        uintptr_t caller = CallerOr0(ZR_CALLER_ADDRESS());
        if (!DelPointerList({kBlock, reinterpret_cast<uintptr_t>(p), caller, sizeof(T)})) return;
        std::free(p);
        p = nullptr;
    }

    template <typename T>
    __attribute__((noinline)) void AddPtr(T* p) {
        if (!p) return;
        uintptr_t caller = CallerOr0(ZR_CALLER_ADDRESS());
        AddPointerList({kAdded, reinterpret_cast<uintptr_t>(p), caller, 0});
    }

    ZRMemErrorCallback OnError;
    ZRMemPointerCallback OnAddPointer;
    ZRMemPointerCallback OnNotRelease;

private:
    uintptr_t CallerOr0(uintptr_t a) const { return OnError.IsSet() ? a : 0; }
    void Report(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Watch(plat::TComponent* c);
    void Unwatch(plat::TComponent* c);
    void ComponentDestroyed(plat::TComponent* c) override;

    mutable std::mutex mutex_;  // guards records_ and watched_
    std::vector<ZRMemPointer> records_;
    std::vector<plat::TComponent*> watched_;
};
