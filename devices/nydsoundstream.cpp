// Streamed buffers: a four-second ring refilled one second ahead by the notification thread.
#include <algorithm>
#include <cstring>
#include <new>

#include "devices/nydsound.h"
#include "media/zrladpstream.h"
#include "media/zrloggstream.h"
#include "media/zrlwavestream.h"

namespace DirectX {

TDSoundStream::TDSoundStream(plat::TComponent* owner) : TCustomDSoundBuffer(owner) {}

TDSoundStream::TDSoundStream(plat::TComponent* owner, uint16_t channels, uint32_t rate,
                             uint16_t bits, bool pan, bool freq)
    : TCustomDSoundBuffer(owner) {
    channels_ = channels;
    samplesPerSec_ = rate;
    bitsPerSample_ = bits;
    panEnabled_ = pan;
    freqEnabled_ = freq;
    Create();
}

TDSoundStream::TDSoundStream(plat::TComponent* owner, plat::TStream* stream, bool pan, bool freq)
    : TCustomDSoundBuffer(owner) {
    Create(stream, pan, freq);
}

TDSoundStream::TDSoundStream(plat::TComponent* owner, ZRStream* stream, bool pan, bool freq)
    : TCustomDSoundBuffer(owner) {
    Create(stream, pan, freq);
}

TDSoundStream::~TDSoundStream() {
    TDSoundStream::Release();
    CloseStream();
}

bool TDSoundStream::CreateRing(TDSBufferParam* param, TDSNotifyParam* notify) {
    return CreateBuffer(param, notify);
}

bool TDSoundStream::Create() {
    if (created_) return false;
    const uint64_t length = static_cast<uint64_t>(channels_) * samplesPerSec_ * bitsPerSample_ / 8 * 4;
    if ((channels_ != 1 && channels_ != 2) || samplesPerSec_ == 0 ||
        (bitsPerSample_ != 8 && bitsPerSample_ != 16) || length < 4 || length > plat::kMaxVoiceBytes)
        return false;
    length_ = static_cast<uint32_t>(length);
    try {
        block_.assign(length_ / 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    TDSBufferParam p = BufferParam();
    TDSNotifyParam n;
    n.count = 5;
    n.callback = TDSNotifyCallback(this, &TDSoundStream::StreamCallBack);
    if (!CreateRing(&p, &n)) {
        std::vector<uint8_t>().swap(block_);
        return false;
    }
    created_ = true;
    return true;
}

template <typename Source>
bool TDSoundStream::CreateWith(bool (TDSoundStream::*open)(Source*), Source* stream, bool pan,
                               bool freq) {
    if (created_) return false;
    panEnabled_ = pan;
    freqEnabled_ = freq;
    if (!(this->*open)(stream)) return false;
    if (!Create()) {
        CloseStream();
        return false;
    }
    return true;
}

bool TDSoundStream::Create(ZRStream* s, bool pan, bool freq) {
    return CreateWith<ZRStream>(&TDSoundStream::OpenStream, s, pan, freq);
}
bool TDSoundStream::Create(plat::TStream* s, bool pan, bool freq) {
    return CreateWith<plat::TStream>(&TDSoundStream::OpenStream, s, pan, freq);
}
bool TDSoundStream::CreateMp3(ZRStream* s, bool pan, bool freq) {
    return CreateWith<ZRStream>(&TDSoundStream::OpenStreamMp3, s, pan, freq);
}
bool TDSoundStream::CreateMp3(plat::TStream* s, bool pan, bool freq) {
    return CreateWith<plat::TStream>(&TDSoundStream::OpenStreamMp3, s, pan, freq);
}
bool TDSoundStream::CreateAdp(ZRStream* s, bool pan, bool freq) {
    return CreateWith<ZRStream>(&TDSoundStream::OpenStreamAdp, s, pan, freq);
}
bool TDSoundStream::CreateAdp(plat::TStream* s, bool pan, bool freq) {
    return CreateWith<plat::TStream>(&TDSoundStream::OpenStreamAdp, s, pan, freq);
}
bool TDSoundStream::CreateOgg(ZRStream* s, bool pan, bool freq) {
    return CreateWith<ZRStream>(&TDSoundStream::OpenStreamOgg, s, pan, freq);
}
bool TDSoundStream::CreateOgg(plat::TStream* s, bool pan, bool freq) {
    return CreateWith<plat::TStream>(&TDSoundStream::OpenStreamOgg, s, pan, freq);
}

bool TDSoundStream::OpenPcmStream(ZRPcmStream* decoder) {
    if (streamOpen_ || !decoder || !decoder->IsOpen()) return false;
    const uint16_t channels = static_cast<uint16_t>(decoder->GetChannels());
    const uint32_t rate = decoder->GetRate();
    const uint16_t bits = static_cast<uint16_t>(decoder->GetBits());
    if (created_) {
        if (channels != channels_ || rate != samplesPerSec_ || bits != bitsPerSample_) return false;
    } else {
        channels_ = channels;
        samplesPerSec_ = rate;
        bitsPerSample_ = bits;
    }
    loopStart_.store(0);
    loopEnd_.store(0);
    wrapPoint_.store(static_cast<uint32_t>(std::max(0, decoder->GetSize())));
    decoder_ = decoder;
    streamOpen_ = true;
    return true;
}

bool TDSoundStream::OpenDecoder(ZRPcmStream* decoder, ZRStream* source) {
    if (!OpenPcmStream(decoder)) {
        delete decoder;
        return false;
    }
    source_ = source;
    ownsSource_ = false;
    return true;
}

bool TDSoundStream::OpenAdapted(bool (TDSoundStream::*open)(ZRStream*), plat::TStream* source) {
    if (streamOpen_ || !source) return false;
    auto* adapter = new T2ZRStream(source);
    if (!(this->*open)(adapter)) {
        delete adapter;
        return false;
    }
    ownsSource_ = true;
    return true;
}

bool TDSoundStream::OpenStream(ZRStream* s) {
    return !streamOpen_ && s && OpenDecoder(new ZRWaveStream(s, true), s);
}
bool TDSoundStream::OpenStream(plat::TStream* s) {
    return OpenAdapted(&TDSoundStream::OpenStream, s);
}
bool TDSoundStream::OpenStreamMp3(ZRStream* s) {
    return !streamOpen_ && s && OpenDecoder(new ZRMp3Stream(s), s);
}
bool TDSoundStream::OpenStreamMp3(plat::TStream* s) {
    return OpenAdapted(&TDSoundStream::OpenStreamMp3, s);
}
bool TDSoundStream::OpenStreamAdp(ZRStream* s) {
    return !streamOpen_ && s && OpenDecoder(new ZRAdpStream(s), s);
}
bool TDSoundStream::OpenStreamAdp(plat::TStream* s) {
    return OpenAdapted(&TDSoundStream::OpenStreamAdp, s);
}
bool TDSoundStream::OpenStreamOgg(ZRStream* s) {
    return !streamOpen_ && s && OpenDecoder(new ZROggStream(s), s);
}
bool TDSoundStream::OpenStreamOgg(plat::TStream* s) {
    return OpenAdapted(&TDSoundStream::OpenStreamOgg, s);
}

void TDSoundStream::CloseStream() {
    if (!streamOpen_) return;
    Stop();
    streamOpen_ = false;
    delete decoder_;
    decoder_ = nullptr;
    if (ownsSource_) delete source_;
    source_ = nullptr;
    ownsSource_ = false;
}

void TDSoundStream::ReleaseStream() {
    if (!created_) return;
    Stop();
    created_ = false;
    ReleaseVoice();
    std::vector<uint8_t>().swap(block_);
}

void TDSoundStream::Release() { ReleaseStream(); }

bool TDSoundStream::Play(bool loop, uint32_t position) {
    if (!created_ || !streamOpen_) return false;
    PrimaryPlayCheck();
    Stop();
    RestoreIfLost();
    loop_ = loop;
    std::fill(std::begin(blockStart_), std::end(blockStart_), 0u);
    std::fill(std::begin(blockEnd_), std::end(blockEnd_), false);
    lastBlock_ = -1;
    if (position != static_cast<uint32_t>(decoder_->GetPosition())) {
        if (position > 0 && decoder_->IsSeekable())
            decoder_->Seek(static_cast<int>(position), zrSeekSet);
        else
            decoder_->Reset();
    }
    const uint32_t q = length_ / 4;
    blockStart_[0] = static_cast<uint32_t>(decoder_->GetPosition());
    BlockCopy(0, q);
    if (decoder_->IsEnd()) blockEnd_[1] = true;
    blockStart_[1] = static_cast<uint32_t>(decoder_->GetPosition());
    BlockCopy(q, q);
    if (decoder_->IsEnd()) blockEnd_[2] = true;
    voice_.mixer->SetPlayCursor(voice_.voice, 0);
    NextPlay();
    stopRequested_.store(false);
    stopping_.store(false);
    return voice_.mixer->Play(voice_.voice, true);
}

void TDSoundStream::FillMute(unsigned char* p, int n) {
    if (n > 0) std::memset(p, bitsPerSample_ == 8 ? 0x80 : 0, static_cast<size_t>(n));
}

bool TDSoundStream::BlockCopy(uint32_t offset, uint32_t size) {
    if (!created_ || !streamOpen_ || size > block_.size()) return false;
    RestoreIfLost();
    uint32_t filled = 0;
    int emptyReads = 0;
    try {
        while (filled < size) {
            const uint32_t loopEnd = loop_ ? loopEnd_.load() : 0;
            if (loop_ &&
                (decoder_->IsEnd() ||
                 (loopEnd > 0 && static_cast<uint32_t>(decoder_->GetPosition()) >= loopEnd))) {
                wrapPoint_.store(static_cast<uint32_t>(decoder_->GetPosition()));
                if (decoder_->IsSeekable())
                    decoder_->Seek(static_cast<int>(loopStart_.load()), zrSeekSet);
                else
                    decoder_->Reset();
            }
            // A pass that reads nothing counts as an empty read, so a source that is still at
            // its end after rewinding cannot hold the loop for ever.
            int got = 0;
            if (!decoder_->IsEnd()) {
                uint32_t n = static_cast<uint32_t>(size) - filled;
                const uint32_t at = static_cast<uint32_t>(decoder_->GetPosition());
                if (loopEnd > at) n = std::min(n, loopEnd - at);
                got = std::max(0, decoder_->Read(block_.data() + filled, static_cast<int>(n)));
                filled += static_cast<uint32_t>(got);
            }
            emptyReads = got > 0 ? 0 : emptyReads + 1;
            if (!loop_ || emptyReads >= 2) break;
        }
    } catch (...) {
        // A decoder fault turns the whole block into silence rather than stopping the stream.
        filled = 0;
    }
    FillMute(block_.data() + filled, static_cast<int>(size - filled));
    return voice_.mixer->Write(voice_.voice, static_cast<uint32_t>(offset), block_.data(),
                               static_cast<uint32_t>(size));
}

void TDSoundStream::StreamCallBack(TDSoundThread*, int index) {
    if (index == 0) {
        if (EndedByItself()) ReportEnd();
        return;
    }
    if (index < 1 || index > 4) return;
    const int b = index - 1;
    std::lock_guard<std::mutex> fill(fillLock_);
    if (stopping_.load() || !created_ || !streamOpen_) return;
    // An entry the mixer saw before the last Play or Seek is about the ring as it was; acted
    // on now it would stop the new play or refill the wrong block.
    if (!OfThisPlay(index) || b == lastBlock_) return;
    lastBlock_ = b;
    if (blockEnd_[b] && !loop_) {
        StopInSync();
        return;
    }
    const int next = (b + 2) % 4;
    {
        std::lock_guard<std::mutex> position(positionLock_);
        blockStart_[next] = static_cast<uint32_t>(decoder_->GetPosition());
    }
    BlockCopy(static_cast<uint32_t>(next) * (length_ / 4), length_ / 4);
    blockEnd_[(b + 3) % 4] = decoder_->IsEnd();
}

bool TDSoundStream::Stop() {
    if (!created_ || !streamOpen_) return false;
    RestoreIfLost();
    stopRequested_.store(true);
    std::lock_guard<std::mutex> fill(fillLock_);
    stopping_.store(true);
    const bool ok = voice_.mixer->Stop(voice_.voice);
    for (int i = 1; i <= 4 && events_; ++i) events_->Reset(i);
    return ok;
}

bool TDSoundStream::StopInSync() {
    if (!created_ || !streamOpen_) return false;
    RestoreIfLost();
    const bool ok = voice_.mixer->Stop(voice_.voice);
    for (int i = 1; i <= 4 && events_; ++i) events_->Reset(i);
    return ok;
}

uint32_t TDSoundStream::GetPosition() {
    if (!created_) return 0;
    std::lock_guard<std::mutex> position(positionLock_);
    uint32_t cursor = 0;
    if (!voice_.mixer->GetCursors(voice_.voice, &cursor, nullptr)) return 0;
    const uint32_t q = length_ / 4;
    const uint32_t k = std::min(cursor / q, 3u);
    uint32_t pos = blockStart_[k] + (cursor - k * q);
    const uint32_t wrap = wrapPoint_.load();
    if (loop_ && wrap > 0 && pos >= wrap) pos = pos % wrap + loopStart_.load();
    return pos;
}

// Refills write the block starts on the notification thread.
uint32_t TDSoundStream::GetBlockStart(int block) {
    std::lock_guard<std::mutex> position(positionLock_);
    return blockStart_[block];
}

uint32_t TDSoundStream::GetStreamSize() {
    if (!created_ || !streamOpen_) return 0;
    return static_cast<uint32_t>(std::max(0, decoder_->GetSize()));
}

void TDSoundStream::SetLoopPoint(uint32_t start) {
    if (!created_ || !streamOpen_) return;
    loopStart_.store(start < GetStreamSize() ? start : 0);
}

void TDSoundStream::SetLoopPoint(uint32_t start, uint32_t end) {
    if (!created_ || !streamOpen_) return;
    const bool inside = start < GetStreamSize();
    loopStart_.store(inside ? start : 0);
    loopEnd_.store(inside && end >= static_cast<uint64_t>(start) + length_ ? end : 0);
}

// ---- TDSoundStream3D ----

TDSoundStream3D::TDSoundStream3D(plat::TComponent* owner) : TDSoundStream(owner) {}

// The base constructors would make a plain ring: the positional one is made here.
TDSoundStream3D::TDSoundStream3D(plat::TComponent* owner, uint16_t channels, uint32_t rate,
                                 uint16_t bits, bool freq)
    : TDSoundStream(owner) {
    channels_ = channels;
    samplesPerSec_ = rate;
    bitsPerSample_ = bits;
    freqEnabled_ = freq;
    Create();
}

TDSoundStream3D::TDSoundStream3D(plat::TComponent* owner, plat::TStream* stream, bool freq)
    : TDSoundStream(owner) {
    Create(stream, false, freq);
}

TDSoundStream3D::TDSoundStream3D(plat::TComponent* owner, ZRStream* stream, bool freq)
    : TDSoundStream(owner) {
    Create(stream, false, freq);
}

TDSoundStream3D::~TDSoundStream3D() { TDSoundStream3D::Release(); }

bool TDSoundStream3D::CreateRing(TDSBufferParam* param, TDSNotifyParam* notify) {
    has3D_ = CreateBuffer3D(param, notify);
    return has3D_;
}

void TDSoundStream3D::Release() {
    has3D_ = false;
    ReleaseStream();
}

bool TDSoundStream3D::SetPosition(float x, float y, float z) {
    plat::Voice3DParams p;
    if (!created_ || !has3D_ || !voice_.mixer->Get3D(voice_.voice, &p)) return false;
    p.position = {x, y, z};
    return voice_.mixer->Set3D(voice_.voice, p);
}

}  // namespace DirectX
