// Sizing and allocation shared by the image readers: every buffer size taken from a file is
// worked out in 64 bits and refused when it would not fit the 32-bit sizes the callers use.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

// Bytes of a width x height image of bpp bytes per pixel, or -1 when a side is negative or
// the result exceeds INT32_MAX.
inline int64_t ZRImageBytes(int64_t width, int64_t height, int64_t bpp) {
    if (width < 0 || height < 0 || bpp < 0) return -1;
    const int64_t limit = INT32_MAX;
    if (width > limit || height > limit) return -1;
    const int64_t row = width * bpp;
    if (row > limit) return -1;
    if (height != 0 && row > limit / height) return -1;
    return row * height;
}

// malloc that throws runtime_error(message) on failure; a zero size still yields a block.
inline unsigned char* ZRImageAlloc(int64_t bytes, const char* message) {
    void* p = std::malloc(static_cast<size_t>(bytes > 0 ? bytes : 1));
    if (!p) throw std::runtime_error(message);
    return static_cast<unsigned char*>(p);
}

// Gives the caller's buffer, or fills *out with a fresh one of the given size.
inline unsigned char* ZRImageOutput(unsigned char** out, int64_t bytes, const char* message) {
    if (!*out) *out = ZRImageAlloc(bytes, message);
    return *out;
}

// A work buffer freed when the reader leaves, by return or by exception.
class ZRImageWork {
public:
    ZRImageWork(int64_t bytes, const char* message) : p_(ZRImageAlloc(bytes, message)) {}
    ~ZRImageWork() { std::free(p_); }
    ZRImageWork(const ZRImageWork&) = delete;
    ZRImageWork& operator=(const ZRImageWork&) = delete;
    unsigned char* get() const { return p_; }

private:
    unsigned char* p_;
};
