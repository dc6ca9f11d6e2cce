#include "media/zrloggstream.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// Beyond this many failed packets in a row the data is taken as finished, not as a gap.
constexpr int kMaxDecodeErrors = 64;
// One second of PCM at the widest format worth playing; a header asking more is refused.
constexpr uint64_t kMaxBufferSize = 8u << 20;

size_t ReadCallback(void* ptr, size_t size, size_t count, void* source) {
    const uint64_t bytes = uint64_t{size} * count;
    if (bytes == 0) return 0;
    const int n = static_cast<ZRStream*>(source)->Read(
        ptr, static_cast<int>(std::min<uint64_t>(bytes, INT_MAX)));
    return n > 0 ? static_cast<size_t>(n) : 0;
}

// vorbisfile takes only -1 as failure.
int SeekCallback(void* source, ogg_int64_t offset, int whence) {
    ZRStream* s = static_cast<ZRStream*>(source);
    if (!s->IsSeekable() || offset < INT_MIN || offset > INT_MAX) return -1;
    return s->Seek(static_cast<int>(offset), static_cast<ZRSeekWhence>(whence)) < 0 ? -1 : 0;
}

int CloseCallback(void*) { return 0; }

long TellCallback(void* source) { return static_cast<ZRStream*>(source)->GetPosition(); }

}  // namespace

ZROggStream::ZROggStream(ZRStream* source) {
    code_ = source;
    OggOpen();
}

bool ZROggStream::OggOpen() {
    OggClose();
    if (!code_ || !code_->Reset()) return false;
    const ov_callbacks callbacks = {ReadCallback, SeekCallback, CloseCallback, TellCallback};
    if (ov_open_callbacks(code_, &file_, nullptr, 0, callbacks) < 0) return false;
    const vorbis_info* info = ov_info(&file_, -1);
    const ogg_int64_t total = ov_pcm_total(&file_, -1);
    const uint64_t bufferSize = info ? uint64_t(info->rate) * uint32_t(info->channels) * 2 : 0;
    seekable_ = ov_seekable(&file_) != 0;
    // After measuring a chained file vorbisfile is left in its last link; start at the first.
    if (seekable_ && ov_streams(&file_) > 1 && ov_pcm_seek_page(&file_, 0) != 0) {
        ov_clear(&file_);
        seekable_ = false;
        return false;
    }
    lengthKnown_ = seekable_ && total >= 0;
    const uint64_t length = lengthKnown_ ? uint64_t(total) * uint32_t(info->channels) * 2 : 0;
    if (!info || info->channels < 1 || info->rate < 1 || bufferSize > kMaxBufferSize ||
        length > INT32_MAX || !(buffer_ = static_cast<uint8_t*>(std::malloc(bufferSize)))) {
        ov_clear(&file_);
        lengthKnown_ = true;
        seekable_ = false;
        return false;
    }
    channels_ = static_cast<uint32_t>(info->channels);
    rate_ = static_cast<uint32_t>(info->rate);
    bits_ = 16;
    samples_ = lengthKnown_ ? static_cast<uint32_t>(total) : 0;
    bufferSize_ = static_cast<uint32_t>(bufferSize);
    decodeLength_ = static_cast<uint32_t>(length);
    decodePoint_ = readOffset_ = bytesLeft_ = 0;
    end_ = lengthKnown_ && decodeLength_ == 0;
    open_ = true;
    return true;
}

bool ZROggStream::OggClose() {
    if (open_) {
        std::free(buffer_);
        buffer_ = nullptr;
        ov_clear(&file_);
        end_ = true;
        open_ = false;
        seekable_ = false;
        lengthKnown_ = true;
    }
    return true;
}

bool ZROggStream::OggReset() {
    if (!open_ || !seekable_) return OggOpen();
    if (ov_pcm_seek_page(&file_, 0) != 0) return OggOpen();
    decodePoint_ = readOffset_ = bytesLeft_ = 0;
    end_ = decodeLength_ == 0;
    return true;
}

bool ZROggStream::OggSeek(int sample) {
    if (!open_ || !seekable_ || sample < 0 || static_cast<uint32_t>(sample) > samples_)
        return false;
    if (static_cast<uint32_t>(sample) == samples_) {
        decodePoint_ = decodeLength_;
        end_ = true;
        return true;
    }
    if (ov_pcm_seek(&file_, sample) != 0) return false;
    decodePoint_ = static_cast<uint32_t>(sample) * channels_ * 2;
    readOffset_ = bytesLeft_ = 0;
    end_ = false;
    return true;
}

int ZROggStream::Decode(void* buffer, int bytes) {
    lastCount_ = 0;
    if (!open_ || !buffer || bytes < 1) return 0;
    uint32_t wanted = static_cast<uint32_t>(bytes);
    if (lengthKnown_) wanted = std::min(wanted, decodeLength_ - decodePoint_);
    if (wanted < 1) return 0;
    OggConvert(static_cast<uint8_t*>(buffer), wanted);
    return static_cast<int>(lastCount_);
}

void ZROggStream::OggConvert(uint8_t* out, uint32_t wanted) {
    uint32_t done = std::min(wanted, bytesLeft_);
    std::memcpy(out, buffer_ + readOffset_, done);
    readOffset_ += done;
    bytesLeft_ -= done;
    while (done < wanted && !end_) {
        readOffset_ = 0;
        long got = 0;
        for (int errors = 0; got <= 0;) {
            got = ov_read(&file_, reinterpret_cast<char*>(buffer_), static_cast<int>(bufferSize_),
                          0, 2, 1, &section_);
            if (got == 0 || (got < 0 && ++errors >= kMaxDecodeErrors)) {
                end_ = true;
                got = 0;
                break;
            }
        }
        bytesLeft_ = static_cast<uint32_t>(got);
        const uint32_t n = std::min(wanted - done, bytesLeft_);
        std::memcpy(out + done, buffer_, n);
        readOffset_ = n;
        bytesLeft_ -= n;
        done += n;
    }
    decodePoint_ += done;
    if (lengthKnown_ && decodePoint_ >= decodeLength_) end_ = true;
    lastCount_ = done;
}
