// Bound callbacks: one object and one of its member functions held as a small value, so a
// library part can call back into a game object without knowing its class. Copies call the
// same method on the same object; calling an empty callback throws "Invalid Callback".
#pragma once
#include <cstring>
#include <stdexcept>

namespace zr_detail {

// Room for a member-function pointer of any class (single, multiple or virtual inheritance).
struct MethodStorage {
    alignas(alignof(void (MethodStorage::*)())) unsigned char bytes[2 * sizeof(void*)];
};

template <typename M>
void StoreMethod(MethodStorage& s, M m) {
    static_assert(sizeof(M) <= sizeof(s.bytes), "member-function pointer too large");
    std::memcpy(s.bytes, &m, sizeof(M));
}

template <typename M>
M LoadMethod(const void* storage) {
    M m;
    std::memcpy(&m, storage, sizeof(M));
    return m;
}

[[noreturn]] inline void ThrowInvalidCallback() { throw std::logic_error("Invalid Callback"); }

}  // namespace zr_detail

template <typename R>
class ZRBaseCallback0 {
public:
    ZRBaseCallback0() = default;
    template <typename C>
    ZRBaseCallback0(C* object, R (C::*method)()) : invoker_(&Invoke<C>), object_(object) {
        zr_detail::StoreMethod(method_, method);
    }
    bool IsSet() const { return invoker_ != nullptr; }
    R Call() const {
        if (!invoker_) zr_detail::ThrowInvalidCallback();
        return invoker_(object_, &method_);
    }

private:
    template <typename C>
    static R Invoke(void* o, const void* m) {
        return (static_cast<C*>(o)->*zr_detail::LoadMethod<R (C::*)()>(m))();
    }
    R (*invoker_)(void*, const void*) = nullptr;
    void* object_ = nullptr;
    zr_detail::MethodStorage method_{};
};

template <typename R, typename A>
class ZRBaseCallback1 {
public:
    ZRBaseCallback1() = default;
    template <typename C>
    ZRBaseCallback1(C* object, R (C::*method)(A)) : invoker_(&Invoke<C>), object_(object) {
        zr_detail::StoreMethod(method_, method);
    }
    bool IsSet() const { return invoker_ != nullptr; }
    R Call(A a) const {
        if (!invoker_) zr_detail::ThrowInvalidCallback();
        return invoker_(object_, &method_, a);
    }

private:
    template <typename C>
    static R Invoke(void* o, const void* m, A a) {
        return (static_cast<C*>(o)->*zr_detail::LoadMethod<R (C::*)(A)>(m))(a);
    }
    R (*invoker_)(void*, const void*, A) = nullptr;
    void* object_ = nullptr;
    zr_detail::MethodStorage method_{};
};

template <typename R, typename A, typename B>
class ZRBaseCallback2 {
public:
    ZRBaseCallback2() = default;
    template <typename C>
    ZRBaseCallback2(C* object, R (C::*method)(A, B)) : invoker_(&Invoke<C>), object_(object) {
        zr_detail::StoreMethod(method_, method);
    }
    bool IsSet() const { return invoker_ != nullptr; }
    R Call(A a, B b) const {
        if (!invoker_) zr_detail::ThrowInvalidCallback();
        return invoker_(object_, &method_, a, b);
    }

private:
    template <typename C>
    static R Invoke(void* o, const void* m, A a, B b) {
        return (static_cast<C*>(o)->*zr_detail::LoadMethod<R (C::*)(A, B)>(m))(a, b);
    }
    R (*invoker_)(void*, const void*, A, B) = nullptr;
    void* object_ = nullptr;
    zr_detail::MethodStorage method_{};
};

template <typename R, typename A, typename B, typename C3>
class ZRBaseCallback3 {
public:
    ZRBaseCallback3() = default;
    template <typename C>
    ZRBaseCallback3(C* object, R (C::*method)(A, B, C3)) : invoker_(&Invoke<C>), object_(object) {
        zr_detail::StoreMethod(method_, method);
    }
    bool IsSet() const { return invoker_ != nullptr; }
    R Call(A a, B b, C3 c) const {
        if (!invoker_) zr_detail::ThrowInvalidCallback();
        return invoker_(object_, &method_, a, b, c);
    }

private:
    template <typename C>
    static R Invoke(void* o, const void* m, A a, B b, C3 c) {
        return (static_cast<C*>(o)->*zr_detail::LoadMethod<R (C::*)(A, B, C3)>(m))(a, b, c);
    }
    R (*invoker_)(void*, const void*, A, B, C3) = nullptr;
    void* object_ = nullptr;
    zr_detail::MethodStorage method_{};
};
