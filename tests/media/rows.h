// Test helpers: byte rows allocated at their exact size, so AddressSanitizer reports any access
// one byte before or past either end, filled from a fixed-seed generator.
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace testrows {

class Row {
  public:
    explicit Row(std::size_t n) : n_(n), p_(new uint8_t[n ? n : 1]) {}
    Row(const Row& o) : Row(o.n_) { std::memcpy(p_.get(), o.p_.get(), n_); }
    Row(const std::vector<uint8_t>& v) : Row(v.size()) {
        if (n_) std::memcpy(p_.get(), v.data(), n_);
    }
    uint8_t* data() { return p_.get(); }
    const uint8_t* data() const { return p_.get(); }
    uint8_t* end() { return p_.get() + n_; }
    std::size_t size() const { return n_; }
    uint8_t& operator[](std::size_t i) { return p_[i]; }
    uint8_t operator[](std::size_t i) const { return p_[i]; }
    std::vector<uint8_t> bytes() const { return std::vector<uint8_t>(p_.get(), p_.get() + n_); }

  private:
    std::size_t n_;
    std::unique_ptr<uint8_t[]> p_;
};

inline Row Random(std::size_t n, std::mt19937& rng) {
    Row r(n);
    for (std::size_t i = 0; i < n; ++i) r[i] = static_cast<uint8_t>(rng());
    return r;
}

// Random bytes biased towards 0 and 255, where the kernels' special cases sit.
inline Row Alphas(std::size_t n, std::mt19937& rng) {
    Row r(n);
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned k = rng() % 4;
        r[i] = k == 0 ? 0 : k == 1 ? 255 : static_cast<uint8_t>(rng());
    }
    return r;
}

}  // namespace testrows
