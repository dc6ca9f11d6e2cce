#include "media/zrlpcmstream.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

int ZRPcmStream::Read(void* buffer, int count) {
    if (!buffer || count <= 0) return 0;
    return Decode(buffer, count);
}

int ZRPcmStream::Seek(int offset, ZRSeekWhence whence) {
    const uint32_t block = BlockSize();
    if (!seekable_ || block == 0) return -1;
    int64_t target = offset;
    if (whence == zrSeekCur)
        target += GetDecodePoint();
    else if (whence == zrSeekEnd)
        target += GetDecodeLength();
    else if (whence != zrSeekSet)
        return -1;
    const int64_t sample = target / block;
    if (sample < INT32_MIN || sample > INT32_MAX || !SeekSample(static_cast<int>(sample)))
        return -1;
    return static_cast<int>(GetDecodePoint());
}

int ZRPcmStream::GetSize() {
    return lengthKnown_ ? static_cast<int>(GetDecodeLength()) : -1;
}

bool ZRPcmStream::CodeSeekForward(int position) {
    if (!code_) return false;
    if (code_->IsSeekable()) return code_->SetPosition(position);
    int current = code_->GetPosition();
    if (position < current) {
        if (!code_->Reset()) return false;
        current = code_->GetPosition();
    }
    return position <= current || CodeDummyRead(position - current);
}

bool ZRPcmStream::CodeDummyRead(int bytes) {
    std::array<uint8_t, 4096> scratch;
    while (bytes > 0) {
        const int n = std::min<int>(bytes, scratch.size());
        if (code_->Read(scratch.data(), n) < n) return false;
        bytes -= n;
    }
    return true;
}

bool ZRChunkPipe::Allocate(uint32_t chunkSize, uint32_t destSize) {
    Free();
    if (chunkSize == 0 || destSize == 0) return false;
    source_ = static_cast<uint8_t*>(std::malloc(chunkSize));
    dest_ = static_cast<uint8_t*>(std::malloc(destSize));
    if (!source_ || !dest_) {
        Free();
        return false;
    }
    chunkSize_ = chunkSize;
    destSize_ = destSize;
    return true;
}

void ZRChunkPipe::Free() {
    std::free(source_);
    std::free(dest_);
    source_ = dest_ = nullptr;
    chunkSize_ = destSize_ = 0;
}

bool ZRChunkPipe::Start(ZRStream* code, uint32_t dataSize) {
    code_ = code;
    dataSize_ = dataSize;
    consumed_ = leftover_ = 0;
    start_ = true;
    stopped_ = false;
    io_ = {};
    io_.source = source_;
    io_.dest = dest_;
    io_.destLength = destSize_;
    return ReadData(0);
}

bool ZRChunkPipe::ReadData(uint32_t keep) {
    if (keep >= chunkSize_) return true;
    const uint32_t n = std::min(chunkSize_ - keep, dataSize_ - consumed_);
    const int got = n > 0 ? std::max(code_->Read(source_ + keep, static_cast<int>(n)), 0) : 0;
    consumed_ += static_cast<uint32_t>(got);
    io_.sourceLength = keep + static_cast<uint32_t>(got);
    if (static_cast<uint32_t>(got) == n) return true;
    // The source failed partway: the data block ends with what it gave.
    dataSize_ = consumed_;
    return false;
}

bool ZRChunkPipe::Convert(uint8_t* out, uint32_t wanted, uint32_t* delivered, ConvertFn fn,
                          void* owner) {
    uint32_t done = std::min(leftover_, wanted);
    if (done) std::memcpy(out, dest_ + io_.destUsed - leftover_, done);
    leftover_ -= done;
    *delivered = done;
    // What this call converted before a failure is delivered; the stream ends there.
    auto stop = [&] {
        stopped_ = true;
        io_.destUsed = 0;
        return done > 0;
    };
    while (done < wanted && !stopped_) {
        if (io_.sourceUsed > 0) {
            const uint32_t keep = io_.sourceLength - io_.sourceUsed;
            std::memmove(source_, source_ + io_.sourceUsed, keep);
            io_.sourceUsed = 0;
            io_.sourceLength = keep;
            ReadData(keep);  // a short read ends the block; what it gave is converted
        }
        if (io_.sourceLength == 0) {
            io_.destUsed = 0;
            break;
        }
        const bool first = start_;
        start_ = false;
        if (!fn(owner, io_, first, consumed_ >= dataSize_) ||
            (io_.sourceUsed == 0 && io_.destUsed == 0))
            return stop();
        const uint32_t n = std::min(io_.destUsed, wanted - done);
        std::memcpy(out + done, dest_, n);
        leftover_ = io_.destUsed - n;
        done += n;
        *delivered = done;
    }
    return true;
}

bool ZRChunkPipe::Decode(uint8_t* out, uint32_t wanted, uint32_t decodeLength,
                         uint32_t& decodePoint, bool& end, uint32_t& delivered, ConvertFn fn,
                         void* owner) {
    wanted = std::min(wanted, decodeLength - decodePoint);
    delivered = 0;
    if (wanted > 0 && !Convert(out, wanted, &delivered, fn, owner)) return false;
    decodePoint += delivered;
    if (Drained() || stopped_ || decodePoint >= decodeLength) end = true;
    return true;
}
