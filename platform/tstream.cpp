#include "platform/tstream.h"

#include <algorithm>
#include <cstring>

namespace plat {

int64_t TStream::GetSize() {
    int64_t pos = Seek(0, SeekOrigin::Current);
    int64_t size = Seek(0, SeekOrigin::End);
    Seek(pos, SeekOrigin::Beginning);
    return size;
}

void TStream::SetSize(int64_t) {}

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || pos_ >= static_cast<int64_t>(data_.size())) return 0;
    int64_t n = std::min<int64_t>(count, static_cast<int64_t>(data_.size()) - pos_);
    std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return static_cast<int32_t>(n);
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
    if (count <= 0) return 0;
    if (pos_ + count > static_cast<int64_t>(data_.size())) data_.resize(static_cast<size_t>(pos_ + count));
    std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
    int64_t base = origin == SeekOrigin::Beginning ? 0
                   : origin == SeekOrigin::Current ? pos_
                                                   : static_cast<int64_t>(data_.size());
    int64_t p = base + offset;
    if (p < 0) return -1;
    pos_ = p;
    return pos_;
}

void TMemoryStream::SetSize(int64_t size) {
    if (size < 0) return;
    data_.resize(static_cast<size_t>(size));
    pos_ = std::min(pos_, size);
}

}  // namespace plat
