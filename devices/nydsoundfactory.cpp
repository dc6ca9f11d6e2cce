// The sound device's factories: buffers decoded whole from a PCM source or a file format, and
// streams over a file format.
#include <memory>
#include <new>

#include "devices/nydsound.h"
#include "media/zrladpstream.h"
#include "media/zrloggstream.h"
#include "media/zrlwavestream.h"

namespace DirectX {

namespace {

// Reads the whole decoded sound; the byte count is 0 when there is nothing to read.
std::unique_ptr<uint8_t[]> ReadWhole(ZRPcmStream* stream, int* bytes) {
    *bytes = 0;
    const int size = stream->GetSize();
    if (size < 1) return nullptr;
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (!data) return nullptr;
    *bytes = stream->Read(data.get(), size);
    return data;
}

}  // namespace

TDSoundBuffer* TDSound::CreateBufferFromPcmStream(ZRPcmStream* stream, bool pan, bool freq,
                                                  bool staticBuffer) {
    if (!enabled_ || !stream || !stream->IsOpen()) return nullptr;
    int bytes = 0;
    std::unique_ptr<uint8_t[]> data = ReadWhole(stream, &bytes);
    if (!data || bytes < 1) return nullptr;
    auto* b = new TDSoundBuffer(this);
    b->SetStaticFlag(staticBuffer);
    if (!b->Create(static_cast<uint16_t>(stream->GetChannels()), stream->GetRate(),
                   static_cast<uint16_t>(stream->GetBits()), static_cast<uint32_t>(bytes), pan,
                   freq) ||
        !b->WriteBuffer(0, data.get(), static_cast<uint32_t>(bytes))) {
        delete b;
        return nullptr;
    }
    return b;
}

TDSoundBuffer3D* TDSound::CreateBuffer3DFromPcmStream(ZRPcmStream* stream, bool freq) {
    if (!enabled_ || !stream || !stream->IsOpen()) return nullptr;
    int bytes = 0;
    std::unique_ptr<uint8_t[]> data = ReadWhole(stream, &bytes);
    if (!data || bytes < 1) return nullptr;
    auto* b = new TDSoundBuffer3D(this);
    b->SetStaticFlag(true);
    if (!b->Create(static_cast<uint16_t>(stream->GetChannels()), stream->GetRate(),
                   static_cast<uint16_t>(stream->GetBits()), static_cast<uint32_t>(bytes), freq) ||
        !b->WriteBuffer(0, data.get(), static_cast<uint32_t>(bytes))) {
        delete b;
        return nullptr;
    }
    return b;
}

// The flags of the format factories are not used: their buffers are plain software buffers.
template <typename Decoder>
TDSoundBuffer* TDSound::BufferFrom(ZRStream* s) {
    if (!s) return nullptr;
    Decoder decoder(s);
    return CreateBufferFromPcmStream(&decoder, false, false, false);
}

template <typename Decoder>
TDSoundBuffer3D* TDSound::Buffer3DFrom(ZRStream* s) {
    if (!s) return nullptr;
    Decoder decoder(s);
    return CreateBuffer3DFromPcmStream(&decoder, false);
}

TDSoundBuffer* TDSound::CreateBufferFromWave(ZRStream* s, bool, bool, bool) {
    return BufferFrom<ZRWaveStream>(s);
}
TDSoundBuffer* TDSound::CreateBufferFromMp3(ZRStream* s, bool, bool, bool) {
    return BufferFrom<ZRMp3Stream>(s);
}
TDSoundBuffer* TDSound::CreateBufferFromAdp(ZRStream* s, bool, bool, bool) {
    return BufferFrom<ZRAdpStream>(s);
}
TDSoundBuffer* TDSound::CreateBufferFromOgg(ZRStream* s, bool, bool, bool) {
    return BufferFrom<ZROggStream>(s);
}
TDSoundBuffer3D* TDSound::CreateBuffer3DFromWave(ZRStream* s, bool) {
    return Buffer3DFrom<ZRWaveStream>(s);
}
TDSoundBuffer3D* TDSound::CreateBuffer3DFromMp3(ZRStream* s, bool) {
    return Buffer3DFrom<ZRMp3Stream>(s);
}
TDSoundBuffer3D* TDSound::CreateBuffer3DFromAdp(ZRStream* s, bool) {
    return Buffer3DFrom<ZRAdpStream>(s);
}
TDSoundBuffer3D* TDSound::CreateBuffer3DFromOgg(ZRStream* s, bool) {
    return Buffer3DFrom<ZROggStream>(s);
}

TDSoundBuffer* TDSound::CreateBufferFromWave(plat::TStream* s, bool pan, bool freq, bool st) {
    T2ZRStream a(s);
    return s ? CreateBufferFromWave(&a, pan, freq, st) : nullptr;
}
TDSoundBuffer* TDSound::CreateBufferFromMp3(plat::TStream* s, bool pan, bool freq, bool st) {
    T2ZRStream a(s);
    return s ? CreateBufferFromMp3(&a, pan, freq, st) : nullptr;
}
TDSoundBuffer* TDSound::CreateBufferFromAdp(plat::TStream* s, bool pan, bool freq, bool st) {
    T2ZRStream a(s);
    return s ? CreateBufferFromAdp(&a, pan, freq, st) : nullptr;
}
TDSoundBuffer* TDSound::CreateBufferFromOgg(plat::TStream* s, bool pan, bool freq, bool st) {
    T2ZRStream a(s);
    return s ? CreateBufferFromOgg(&a, pan, freq, st) : nullptr;
}
TDSoundBuffer3D* TDSound::CreateBuffer3DFromWave(plat::TStream* s, bool freq) {
    T2ZRStream a(s);
    return s ? CreateBuffer3DFromWave(&a, freq) : nullptr;
}
TDSoundBuffer3D* TDSound::CreateBuffer3DFromMp3(plat::TStream* s, bool freq) {
    T2ZRStream a(s);
    return s ? CreateBuffer3DFromMp3(&a, freq) : nullptr;
}
TDSoundBuffer3D* TDSound::CreateBuffer3DFromAdp(plat::TStream* s, bool freq) {
    T2ZRStream a(s);
    return s ? CreateBuffer3DFromAdp(&a, freq) : nullptr;
}
TDSoundBuffer3D* TDSound::CreateBuffer3DFromOgg(plat::TStream* s, bool freq) {
    T2ZRStream a(s);
    return s ? CreateBuffer3DFromOgg(&a, freq) : nullptr;
}

template <typename Source>
TDSoundStream* TDSound::StreamFrom(bool (TDSoundStream::*create)(Source*, bool, bool), Source* s,
                                   bool pan, bool freq) {
    if (!enabled_) return nullptr;
    auto* stream = new TDSoundStream(this);
    if (!(stream->*create)(s, pan, freq)) {
        delete stream;
        return nullptr;
    }
    return stream;
}

TDSoundStream* TDSound::CreateStreamFromWave(ZRStream* s, bool pan, bool freq) {
    return StreamFrom<ZRStream>(&TDSoundStream::Create, s, pan, freq);
}
TDSoundStream* TDSound::CreateStreamFromWave(plat::TStream* s, bool pan, bool freq) {
    return StreamFrom<plat::TStream>(&TDSoundStream::Create, s, pan, freq);
}
TDSoundStream* TDSound::CreateStreamFromMp3(ZRStream* s, bool pan, bool freq) {
    return StreamFrom<ZRStream>(&TDSoundStream::CreateMp3, s, pan, freq);
}
TDSoundStream* TDSound::CreateStreamFromMp3(plat::TStream* s, bool pan, bool freq) {
    return StreamFrom<plat::TStream>(&TDSoundStream::CreateMp3, s, pan, freq);
}
TDSoundStream* TDSound::CreateStreamFromAdp(ZRStream* s, bool pan, bool freq) {
    return StreamFrom<ZRStream>(&TDSoundStream::CreateAdp, s, pan, freq);
}
TDSoundStream* TDSound::CreateStreamFromAdp(plat::TStream* s, bool pan, bool freq) {
    return StreamFrom<plat::TStream>(&TDSoundStream::CreateAdp, s, pan, freq);
}
TDSoundStream* TDSound::CreateStreamFromOgg(ZRStream* s, bool pan, bool freq) {
    return StreamFrom<ZRStream>(&TDSoundStream::CreateOgg, s, pan, freq);
}
TDSoundStream* TDSound::CreateStreamFromOgg(plat::TStream* s, bool pan, bool freq) {
    return StreamFrom<plat::TStream>(&TDSoundStream::CreateOgg, s, pan, freq);
}

}  // namespace DirectX
