#include "media/zrladpstream.h"

#include <algorithm>
#include <cstring>

#include "foundation/zrstd.h"

namespace {

constexpr int kHeaderSize = 16;
// No ADPCM chip runs faster; the bound keeps a lying header from asking for huge buffers.
constexpr uint32_t kMaxRate = 384000;

}  // namespace

ZRAdpStream::ZRAdpStream(ZRStream* source) {
    code_ = source;
    bits_ = 16;
    AdpOpen();
}

bool ZRAdpStream::AdpOpen() {
    AdpClose();
    uint8_t head[kHeaderSize];
    if (!code_ || !code_->Reset() || code_->Read(head, kHeaderSize) < kHeaderSize ||
        std::memcmp(head, "ADP1", 4) != 0)
        return false;
    const uint32_t samples = ZRGetLE32(head + 4);
    const uint32_t rate = ZRGetLE32(head + 8);
    const uint32_t channels = ZRGetLE32(head + 12);
    const uint64_t decodeLength = uint64_t{channels} * samples * 2;
    const uint32_t chunk = channels * rate / 2;
    if ((channels != 1 && channels != 2) || rate > kMaxRate || chunk == 0 ||
        decodeLength > INT32_MAX)
        return false;
    const int start = code_->GetPosition();
    if (start < 0) return false;
    dataStart_ = static_cast<uint32_t>(start);
    channels_ = channels;
    rate_ = rate;
    samples_ = samples;
    dataSize_ = channels * samples / 2;
    decodeLength_ = static_cast<uint32_t>(decodeLength);
    header_ = {};
    header_.channels = channels;
    if (!pipe_.Allocate(chunk, chunk * 4) || !pipe_.Start(code_, dataSize_)) {
        AdpClose();
        return false;
    }
    open_ = true;
    end_ = false;
    return true;
}

void ZRAdpStream::AdpClose() {
    pipe_.Free();
    open_ = false;
    end_ = true;
    decodePoint_ = decodeLength_ = lastCount_ = 0;
}

bool ZRAdpStream::AdpReset() {
    if (!open_) return false;
    decodePoint_ = 0;
    end_ = false;
    if (!CodeSeekForward(static_cast<int>(dataStart_)) || !pipe_.Start(code_, dataSize_)) {
        AdpClose();
        return false;
    }
    return true;
}

int ZRAdpStream::Decode(void* buffer, int bytes) {
    lastCount_ = 0;
    if (!open_ || !buffer || bytes <= 0) return 0;
    if (!AdpConvert(static_cast<uint8_t*>(buffer), static_cast<uint32_t>(bytes))) {
        // A short read stays short; let the caller see the end.
        end_ = true;
        lastCount_ = 0;
    }
    return static_cast<int>(lastCount_);
}

bool ZRAdpStream::ConvertPiece(void* self, plat::ConvertBuffers& io, bool first, bool) {
    ZRAdpStream* s = static_cast<ZRAdpStream*>(self);
    if (first) s->codec_.Clear();
    tADPSTREAMHEADER& h = s->header_;
    h.source = io.source;
    h.sourceLength = io.sourceLength;
    h.dest = reinterpret_cast<int16_t*>(io.dest);
    h.destLength = io.destLength;
    s->codec_.StreamConvert(&h);
    io.sourceUsed = h.sourceUsed;
    io.destUsed = h.destUsed;
    return true;
}

bool ZRAdpStream::AdpConvert(uint8_t* buffer, uint32_t n) {
    return pipe_.Decode(buffer, n, decodeLength_, decodePoint_, end_, lastCount_, &ConvertPiece,
                        this);
}
