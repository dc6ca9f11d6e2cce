#include "foundation/zrstream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/hostfs.h"

void ZRStream::ReadBuffer(void* buffer, int count) {
    if (Read(buffer, count) < count) throw std::runtime_error("Read Error");
}

void ZRStream::WriteBuffer(const void* buffer, int count) {
    if (Write(buffer, count) < count) throw std::runtime_error("Write Error");
}

// ---- file stream ----

ZRFileStream::ZRFileStream(const char* path, ZRFileMode mode) { Open(path, mode); }
ZRFileStream::ZRFileStream(const ZRString path, ZRFileMode mode) { Open(path.c_str(), mode); }
ZRFileStream::~ZRFileStream() {
    if (file_) std::fclose(file_);
}

void ZRFileStream::Open(const char* path, ZRFileMode mode) {
    static const char* const kModes[] = {"w+b", "rb", "r+b"};
    if (!path || mode < 0 || mode > 2) return;
    file_ = plat::OpenFile(path, kModes[mode]);
}

int ZRFileStream::Read(void* buffer, int count) {
    if (!file_ || count <= 0) return 0;
    return static_cast<int>(std::fread(buffer, 1, static_cast<size_t>(count), file_));
}

int ZRFileStream::Write(const void* buffer, int count) {
    if (!file_ || count <= 0) return 0;
    return static_cast<int>(std::fwrite(buffer, 1, static_cast<size_t>(count), file_));
}

int ZRFileStream::Seek(int offset, ZRSeekWhence whence) {
    if (!file_ || std::fseek(file_, offset, whence) != 0) return -1;
    long pos = std::ftell(file_);
    return pos < 0 || pos > INT32_MAX ? -1 : static_cast<int>(pos);
}

int ZRFileStream::GetSize() {
    int pos = GetPosition();
    int size = Seek(0, zrSeekEnd);
    if (pos >= 0) Seek(pos, zrSeekSet);
    return size;
}

// ---- memory stream ----

ZRMemoryStream::ZRMemoryStream(int size) {
    if (SetMemorySize(size) && memory_) std::memset(memory_, 0, static_cast<size_t>(size));
}

ZRMemoryStream::ZRMemoryStream(const void* data, int size) {
    if (SetMemorySize(size) && memory_) std::memcpy(memory_, data, static_cast<size_t>(size));
}

ZRMemoryStream::~ZRMemoryStream() { std::free(memory_); }

bool ZRMemoryStream::SetMemorySize(int n) {
    if (n < 0) n = 0;
    int64_t cap = (static_cast<int64_t>(n) + 8191) & ~int64_t{8191};
    if (cap > INT32_MAX) cap = 0x7FFFE000;  // the largest multiple of 8,192 an int holds
    if (cap == capacity_) {
        size_ = n;
        return true;
    }
    if (cap == 0) {
        std::free(memory_);
        memory_ = nullptr;
        capacity_ = size_ = 0;
        return true;
    }
    if (!Grow(cap)) {
        std::free(memory_);
        memory_ = nullptr;
        capacity_ = size_ = 0;
        position_ = 0;
        return false;
    }
    size_ = n;
    return true;
}

// Reallocates the block, keeping it unchanged when the memory cannot be had.
bool ZRMemoryStream::Grow(int64_t capacity) {
    void* p = std::realloc(memory_, static_cast<size_t>(capacity));
    if (!p) return false;
    memory_ = static_cast<uint8_t*>(p);
    capacity_ = static_cast<int32_t>(capacity);
    return true;
}

bool ZRMemoryStream::SetSize(int n) {
    if (n < 0) return false;
    int old = size_;
    if (n != size_ && !SetMemorySize(n)) return false;
    if (n > old && memory_) std::memset(memory_ + old, 0, static_cast<size_t>(n - old));
    if (position_ > size_) position_ = size_;
    return true;
}

int ZRMemoryStream::Read(void* buffer, int count) {
    if (count <= 0 || !memory_) return 0;
    int n = std::min(count, size_ - position_);
    if (n <= 0) return 0;
    std::memcpy(buffer, memory_ + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int ZRMemoryStream::Write(const void* buffer, int count) {
    if (count <= 0) return 0;
    int64_t end = static_cast<int64_t>(position_) + count;
    if (end > INT32_MAX) return 0;
    int64_t cap = (end + 8191) & ~int64_t{8191};
    if (end > capacity_ && (cap > INT32_MAX || !Grow(cap))) return 0;
    if (end > size_) SetSize(static_cast<int>(end));
    std::memcpy(memory_ + position_, buffer, static_cast<size_t>(count));
    position_ += count;
    return count;
}

namespace {
int32_t ClampedSeek(int64_t base, int offset, int32_t size) {
    int64_t p = base + offset;
    return static_cast<int32_t>(std::clamp<int64_t>(p, 0, size));
}
}  // namespace

int ZRMemoryStream::Seek(int offset, ZRSeekWhence whence) {
    int64_t base = whence == zrSeekSet ? 0 : whence == zrSeekCur ? position_ : size_;
    position_ = ClampedSeek(base, offset, size_);
    return position_;
}

// ---- resource stream ----

ZRResourceStream::ZRResourceStream(plat::ModuleHandle module, const char* name, const char* type) {
    Initialize(module, name, type);
}
ZRResourceStream::ZRResourceStream(plat::ModuleHandle module, const ZRString name, const char* type) {
    Initialize(module, name.c_str(), type);
}
ZRResourceStream::ZRResourceStream(plat::ModuleHandle module, int id, const char* type) {
    Initialize(module, id, type);
}

bool ZRResourceStream::Initialize(plat::ModuleHandle module, const char* name, const char* type) {
    plat::ResourceBlob blob;
    if (!plat::FindResource(module, name, type, blob) || blob.size > INT32_MAX) return false;
    data_ = blob.data;
    size_ = static_cast<int32_t>(blob.size);
    return true;
}

bool ZRResourceStream::Initialize(plat::ModuleHandle module, int id, const char* type) {
    plat::ResourceBlob blob;
    if (!plat::FindResource(module, id, type, blob) || blob.size > INT32_MAX) return false;
    data_ = blob.data;
    size_ = static_cast<int32_t>(blob.size);
    return true;
}

int ZRResourceStream::Read(void* buffer, int count) {
    if (count <= 0 || !data_) return 0;
    int n = std::min(count, size_ - position_);
    if (n <= 0) return 0;
    std::memcpy(buffer, data_ + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int ZRResourceStream::Seek(int offset, ZRSeekWhence whence) {
    int64_t base = whence == zrSeekSet ? 0 : whence == zrSeekCur ? position_ : size_;
    position_ = ClampedSeek(base, offset, size_);
    return position_;
}

// ---- adapters ----

int T2ZRStream::Read(void* buffer, int count) { return count <= 0 ? 0 : stream_->Read(buffer, count); }
int T2ZRStream::Write(const void* buffer, int count) {
    return count <= 0 ? 0 : stream_->Write(buffer, count);
}
int T2ZRStream::Seek(int offset, ZRSeekWhence whence) {
    return stream_->Seek32(offset, static_cast<uint16_t>(whence));
}
int T2ZRStream::GetSize() { return static_cast<int>(stream_->GetSize()); }
bool T2ZRStream::SetSize(int size) {
    stream_->SetSize(size);
    return true;
}
int T2ZRStream::GetPosition() { return static_cast<int>(stream_->GetPosition()); }

ZR2TStream::ZR2TStream(ZRStream* stream)
    : stream_(stream), position_(stream->GetPosition()), size_(stream->GetSize()) {}

bool ZR2TStream::Sync() {
    if (stream_->GetPosition() == position_) return true;
    return stream_->Seek(position_, zrSeekSet) == position_;
}

int32_t ZR2TStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || !Sync()) return 0;
    int n = stream_->Read(buffer, count);
    position_ = stream_->GetPosition();
    return n;
}

int32_t ZR2TStream::Write(const void* buffer, int32_t count) {
    if (count <= 0 || !Sync()) return 0;
    int n = stream_->Write(buffer, count);
    position_ = stream_->GetPosition();
    size_ = stream_->GetSize();
    return n;
}

int32_t ZR2TStream::Seek32(int32_t offset, uint16_t origin) {
    switch (origin) {
        case 0: position_ = offset; break;
        case 1: position_ = static_cast<int32_t>(static_cast<uint32_t>(position_) + static_cast<uint32_t>(offset)); break;
        default: position_ = static_cast<int32_t>(static_cast<uint32_t>(size_) + static_cast<uint32_t>(offset)); break;
    }
    return position_;
}

int64_t ZR2TStream::Seek(int64_t offset, plat::SeekOrigin origin) {
    return Seek32(static_cast<int32_t>(offset), static_cast<uint16_t>(origin));
}
