#include "media/zrlwavestream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "foundation/zrstd.h"

namespace {

// A second of any real format is far below this; it bounds what a lying header can allocate.
constexpr uint32_t kMaxChunk = 4u << 20;
constexpr uint32_t kFormatBufferSize = 256;

bool IsId(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

}  // namespace

// ---- ZRAcmStream ----

bool ZRAcmStream::AcmOpen(const plat::AudioFormat& format, uint32_t dataSize, uint16_t channels,
                          uint32_t rate, uint16_t bits, bool /*realTime: no priorities here*/) {
    AcmClose();
    if (!code_ || format.channels == 0) return false;
    const int start = code_->GetPosition();
    if (start < 0) return false;
    dataStart_ = static_cast<uint32_t>(start);
    dataSize_ = dataSize;
    if (format.tag == plat::afPcm && (!channels || channels == format.channels) &&
        (!rate || rate == format.rate) && (!bits || bits == format.bits)) {
        if (format.bits < 8) return false;
        converting_ = false;
        destFormat_ = format;
        destFormat_.extra.clear();
        channels_ = format.channels;
        rate_ = format.rate;
        bits_ = format.bits;
        samples_ = dataSize / BlockSize();
        decodeLength_ = samples_ * BlockSize();
        if (decodeLength_ > INT32_MAX) return false;
        seekable_ = code_->IsSeekable();
        open_ = true;
        end_ = false;
        return true;
    }
    converting_ = true;
    uint32_t chunk = format.blockAlign ? format.bytesPerSecond / format.blockAlign : 0;
    chunk = std::min(chunk, kMaxChunk / std::max<uint32_t>(format.blockAlign, 1)) *
            format.blockAlign;
    uint32_t destSize = 0;
    if (chunk == 0 || !plat::SuggestPcmFormat(format, channels, rate, bits, &destFormat_) ||
        !(converter_ = plat::AudioConverter::Open(format, destFormat_)) ||
        !converter_->DestinationSize(dataSize, &decodeLength_) || decodeLength_ == 0 ||
        decodeLength_ > INT32_MAX || !converter_->DestinationSize(chunk, &destSize)) {
        AcmClose();
        return false;
    }
    channels_ = destFormat_.channels;
    rate_ = destFormat_.rate;
    bits_ = destFormat_.bits;
    samples_ = decodeLength_ / destFormat_.blockAlign;
    decodeLength_ = samples_ * destFormat_.blockAlign;
    if (!pipe_.Allocate(chunk, destSize) || !pipe_.Start(code_, dataSize)) {
        AcmClose();
        return false;
    }
    seekable_ = false;
    open_ = true;
    end_ = false;
    return true;
}

void ZRAcmStream::AcmClose() {
    converter_.reset();
    pipe_.Free();
    converting_ = open_ = seekable_ = false;
    end_ = true;
    consumed_ = decodePoint_ = decodeLength_ = lastCount_ = 0;
    channels_ = rate_ = bits_ = samples_ = 0;
}

bool ZRAcmStream::AcmReset() {
    if (!open_) return false;
    consumed_ = decodePoint_ = 0;
    end_ = false;
    if (!CodeSeekForward(static_cast<int>(dataStart_)) ||
        (converting_ && !pipe_.Start(code_, dataSize_))) {
        AcmClose();
        return false;
    }
    return true;
}

void ZRAcmStream::LimitDecodeLength(uint32_t samples) {
    if (!open_ || samples >= samples_) return;
    samples_ = samples;
    decodeLength_ = samples * destFormat_.blockAlign;
}

bool ZRAcmStream::AcmSeek(int sample) {
    if (!open_ || sample < 0 || static_cast<uint32_t>(sample) > samples_ || !seekable_ ||
        converting_)
        return false;
    if (static_cast<uint32_t>(sample) == samples_) {
        decodePoint_ = consumed_ = decodeLength_;
        end_ = true;
        return true;
    }
    const uint32_t byte = static_cast<uint32_t>(sample) * BlockSize();
    const int64_t position = int64_t{dataStart_} + byte;
    if (position > INT32_MAX || !code_->SetPosition(static_cast<int>(position))) return false;
    consumed_ = decodePoint_ = byte;
    end_ = false;
    return true;
}

int ZRAcmStream::Decode(void* buffer, int bytes) {
    lastCount_ = 0;
    if (!open_ || !buffer || bytes <= 0) return 0;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    const uint32_t n = static_cast<uint32_t>(bytes);
    if (!(converting_ ? AcmConvert(out, n) : PcmRead(out, n))) {
        // Retrying would fail the same way; let the caller see the end.
        end_ = true;
        lastCount_ = 0;
    }
    return static_cast<int>(lastCount_);
}

bool ZRAcmStream::PcmRead(uint8_t* buffer, uint32_t n) {
    n = std::min({n, dataSize_ - consumed_, decodeLength_ - decodePoint_});
    const int got = n > 0 ? std::max(code_->Read(buffer, static_cast<int>(n)), 0) : 0;
    // A source that fails partway ends the sound with the whole sample frames it gave.
    uint32_t have = static_cast<uint32_t>(got);
    if (have < n) {
        const uint32_t whole = (decodePoint_ + have) / BlockSize() * BlockSize();
        have = whole > decodePoint_ ? whole - decodePoint_ : 0;
    }
    consumed_ += have;
    decodePoint_ += have;
    if (have < n || consumed_ >= dataSize_ || decodePoint_ >= decodeLength_) end_ = true;
    lastCount_ = have;
    return have > 0 || n == 0;
}

bool ZRAcmStream::ConvertPiece(void* self, plat::ConvertBuffers& io, bool first, bool last) {
    uint32_t flags = last ? plat::cvEnd : plat::cvWholeBlocks;
    if (first) flags |= plat::cvStart;
    return static_cast<ZRAcmStream*>(self)->converter_->Convert(io, flags);
}

bool ZRAcmStream::AcmConvert(uint8_t* buffer, uint32_t n) {
    return pipe_.Decode(buffer, n, decodeLength_, decodePoint_, end_, lastCount_, &ConvertPiece,
                        this);
}

// ---- ZRWaveStream ----

ZRWaveStream::ZRWaveStream(ZRStream* source, bool realTime) : ZRAcmStream(source),
                                                              realTime_(realTime) {
    WaveFileOpen();
}

bool ZRWaveStream::WaveHeaderAnalysis(ZRStream* source, plat::AudioFormat* format,
                                      uint32_t* dataSize, uint32_t* dataOffset,
                                      uint32_t formatBufferSize) {
    if (!source) return false;
    const int64_t size = source->GetSize();
    uint8_t head[12];
    if (size < 12 || !source->Reset() || source->Read(head, 12) < 12 || !IsId(head, "RIFF") ||
        !IsId(head + 8, "WAVE"))
        return false;
    const int64_t riffEnd = int64_t{ZRGetLE32(head + 4)} + 8;
    std::array<uint8_t, kFormatBufferSize> body;
    formatBufferSize = std::min<uint32_t>(formatBufferSize, body.size());
    bool haveFormat = false, haveData = false;
    for (int64_t offset = 12; !haveData && offset < riffEnd && offset + 8 <= size;) {
        uint8_t chunk[8];
        if (!source->SetPosition(static_cast<int>(offset)) || source->Read(chunk, 8) < 8) break;
        const uint32_t length = ZRGetLE32(chunk + 4);
        if (IsId(chunk, "fmt ")) {
            if (length < 14 || length > formatBufferSize ||
                source->Read(body.data(), static_cast<int>(length)) < static_cast<int>(length) ||
                !plat::ParseAudioFormat(body.data(), length, format))
                return false;
            haveFormat = true;
        } else if (IsId(chunk, "data")) {
            *dataOffset = static_cast<uint32_t>(offset + 8);
            *dataSize = static_cast<uint32_t>(std::min<int64_t>(length, size - (offset + 8)));
            haveData = true;
        }
        offset += 8 + int64_t{length} + (length & 1);
    }
    return haveFormat && haveData && *dataSize != 0;
}

bool ZRWaveStream::WaveFileOpen() {
    plat::AudioFormat format;
    uint32_t dataSize = 0, dataOffset = 0;
    return WaveHeaderAnalysis(code_, &format, &dataSize, &dataOffset, kFormatBufferSize) &&
           code_->SetPosition(static_cast<int>(dataOffset)) &&
           AcmOpen(format, dataSize, 0, 0, 0, realTime_);
}

// ---- ZRMp3Stream ----

namespace {

// kbit/s by [MPEG-1 layers 1-3, MPEG-2 layers 1-3][index]; 0 = free format or invalid.
constexpr uint16_t kBitrates[6][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};
// Hz by [MPEG-1, MPEG-2, MPEG 2.5][index].
constexpr uint32_t kRates[3][3] = {
    {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
constexpr uint16_t kMpegCodecDelay = 1393;

// Samples per channel in a frame of the layer; MPEG-2 and 2.5 halve layer III's.
uint32_t SamplesPerFrame(uint32_t layer, bool mpeg1) {
    return layer == 1 ? 384 : layer == 3 && !mpeg1 ? 576 : 1152;
}

// The frame and byte counts of the variable-bitrate record (Xing, Info or VBRI) in a file's
// first frame, `size` bytes of it; false when it has none. A count it does not give is 0.
bool ReadVbrRecord(const uint8_t* frame, uint32_t size, uint32_t* frames, uint32_t* bytes) {
    *frames = *bytes = 0;
    if (size < 4) return false;
    const bool mpeg1 = (frame[1] & 0x08) != 0;
    const bool mono = (frame[3] >> 6) == 3;
    // The Xing (or Info) record follows the side information, whose size depends on the
    // version and the channels; a VBRI record always sits 32 bytes after the header.
    const uint32_t xing = 4 + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
    if (uint64_t{xing} + 8 <= size &&
        (std::memcmp(frame + xing, "Xing", 4) == 0 || std::memcmp(frame + xing, "Info", 4) == 0)) {
        const uint32_t flags = ZRGetBE32(frame + xing + 4);
        uint32_t at = xing + 8;
        if ((flags & 1) && at + 4 <= size) *frames = ZRGetBE32(frame + at), at += 4;
        if ((flags & 2) && at + 4 <= size) *bytes = ZRGetBE32(frame + at);
        return true;
    }
    constexpr uint32_t vbri = 36;
    if (vbri + 18 <= size && std::memcmp(frame + vbri, "VBRI", 4) == 0) {
        *bytes = ZRGetBE32(frame + vbri + 10);
        *frames = ZRGetBE32(frame + vbri + 14);
        return true;
    }
    return false;
}

// Samples at `rate` that the decoder gives for the source's first `*end` bytes, counted by
// the decoder's own parser: it steps over tags and junk and gives up where decoding would.
// A read that stops short ends the stream there, as it ends the decoding: `*end` becomes
// where. Nothing when the source fails to seek.
std::optional<uint64_t> CountMpegSamples(ZRStream* source, uint32_t* end, uint16_t channels,
                                         uint32_t rate) {
    return plat::CountMpegSamples(channels, rate, [&](uint64_t at, uint8_t* buffer, uint32_t n) {
        if (at >= *end) return 0;
        n = std::min<uint32_t>(n, *end - static_cast<uint32_t>(at));
        if (!source->SetPosition(static_cast<int>(at))) return -1;
        const int got = source->Read(buffer, static_cast<int>(n));
        if (got < 0) return -1;
        if (static_cast<uint32_t>(got) < n) *end = static_cast<uint32_t>(at) + got;
        return got;
    });
}

}  // namespace

ZRMp3Stream::ZRMp3Stream(ZRStream* source, bool realTime) : ZRAcmStream(source),
                                                            realTime_(realTime) {
    Mp3FileOpen();
}

uint32_t ZRMp3Stream::Mp3HeaderFormat(const uint8_t header[4], plat::AudioFormat* format) {
    const uint32_t layerField = (header[1] >> 1) & 3;
    const uint32_t rateIndex = (header[2] >> 2) & 3;
    if (header[0] != 0xFF || layerField == 0 || rateIndex == 3) return 0;
    const uint32_t layer = 4 - layerField;
    // Bit 3 set is MPEG-1. With it clear, bit 4 tells MPEG-2 from MPEG 2.5, the extension to
    // the lowest rates whose sync word is one bit shorter; it shares MPEG-2's bitrates and
    // frame layout at half its rates. Reading it as MPEG-2 would double the rate, and the
    // decoder would then have to resample every such file.
    const uint32_t version = (header[1] & 0x08) ? 0 : (header[1] & 0x10) ? 1 : 2;
    const uint32_t bitrate =
        kBitrates[std::min<uint32_t>(version, 1) * 3 + layer - 1][header[2] >> 4];
    if (bitrate == 0) return 0;
    const uint32_t rate = kRates[version][rateIndex];
    const uint32_t frameLength = 144000 * bitrate / rate;

    *format = {};
    format->tag = plat::afMpegLayer3;
    format->channels = (header[3] >> 6) == 3 ? 1 : 2;
    format->rate = rate;
    format->bytesPerSecond = bitrate * 1000 / 8;
    format->blockAlign = 1;
    format->extra.resize(12);
    uint8_t* x = format->extra.data();
    ZRPutLE16(x, 1);  // MPEG
    ZRPutLE32(x + 2, 2);  // padding off
    ZRPutLE16(x + 6, static_cast<uint16_t>(frameLength));
    ZRPutLE16(x + 8, 1);  // frames per block
    ZRPutLE16(x + 10, kMpegCodecDelay);
    return frameLength;
}

uint32_t ZRMp3Stream::VbrFrameCount(const uint8_t* frame, uint32_t size) {
    uint32_t frames = 0, bytes = 0;
    ReadVbrRecord(frame, size, &frames, &bytes);
    return frames;
}

bool ZRMp3Stream::Mp3FileOpen() {
    if (!code_) return false;
    int size = code_->GetSize();
    uint8_t header[4];
    plat::AudioFormat format;
    if (size <= 128 || !code_->Reset() || code_->Read(header, 4) < 4 ||
        Mp3HeaderFormat(header, &format) == 0)
        return false;
    const bool seekable = code_->IsSeekable();
    if (seekable) {
        uint8_t tag[3];
        if (code_->SetPosition(size - 128) && code_->Read(tag, 3) == 3 &&
            std::memcmp(tag, "TAG", 3) == 0)
            size -= 128;
    }
    // The first frame's bitrate says little of a file's length when the file is of variable
    // bitrate, joined from files of different formats, or damaged. The length is counted by
    // the decoder's parser where the source can seek; otherwise a variable-bitrate (or "Info")
    // record in the first frame gives the frames it covers, and what lies past the bytes it
    // covers is reckoned at the first frame's bitrate. The rate handed on is the average over
    // the samples so found, so that the length estimated from it covers every frame.
    uint64_t exact = 0;  // samples counted by the parser; 0 when estimated
    uint8_t first[128];
    if (code_->Reset() && code_->Read(first, sizeof first) == int(sizeof first)) {
        uint32_t frames = 0, bytes = 0;
        ReadVbrRecord(first, sizeof first, &frames, &bytes);
        const uint32_t perFrame =
            SamplesPerFrame(4 - ((header[1] >> 1) & 3), (header[1] & 0x08) != 0);
        uint32_t readable = static_cast<uint32_t>(size);
        const std::optional<uint64_t> counted =
            seekable ? CountMpegSamples(code_, &readable, format.channels, format.rate)
                     : std::nullopt;
        size = static_cast<int>(readable);  // a source cut short is measured as what it holds
        if (size <= 128) return false;
        uint64_t samples = 0;
        if (counted) {
            // A file the decoder finds no frame in is kept a frame long rather than measured
            // by its damage.
            samples = exact = *counted > 0 ? *counted : perFrame;
        } else if (frames > 0) {
            samples = uint64_t{frames} * perFrame;
            if (bytes > 0 && bytes < static_cast<uint32_t>(size))
                samples += (uint64_t(static_cast<uint32_t>(size) - bytes) * format.rate +
                            format.bytesPerSecond - 1) /
                           format.bytesPerSecond;
        }
        if (samples > 0) {
            const uint64_t average = uint64_t(size) * format.rate / samples;
            if (average > 0 && average <= UINT32_MAX) format.bytesPerSecond = uint32_t(average);
        }
    }
    // The decoder gets the file from its first frame header on, so the first frame is heard.
    if (!code_->Reset() || !AcmOpen(format, static_cast<uint32_t>(size), 0, 0, 0, realTime_))
        return false;
    // The conversion service reckons whole frames at the average rate; what was counted is
    // what the decoder gives.
    if (exact > 0) LimitDecodeLength(static_cast<uint32_t>(std::min<uint64_t>(exact, UINT32_MAX)));
    return true;
}
