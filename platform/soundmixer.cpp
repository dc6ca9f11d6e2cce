#include "platform/soundmixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plat {

namespace {

constexpr float kFracScale = 1.0f / 4294967296.0f;

template <int Bits>
inline float SampleAt(const uint8_t* p, int channel) {
    if constexpr (Bits == 8) {
        return (static_cast<float>(p[channel]) - 128.0f) * 256.0f;
    } else {
        const uint8_t* q = p + 2 * channel;
        return static_cast<float>(static_cast<int16_t>(q[0] | (q[1] << 8)));
    }
}

// Mixes up to `frames` output frames of one voice into acc with linear interpolation and
// returns how many it produced. A voice that does not loop ends when its cursor passes the last
// frame; idx is then len.
template <int Ch, int Bits>
uint32_t MixRun(const uint8_t* data, uint32_t len, bool loop, uint32_t& idx, uint32_t& frac,
                uint64_t step, float gl, float gr, float* acc, uint32_t frames, uint64_t& advanced) {
    constexpr uint32_t kBlock = Ch * Bits / 8;
    const uint32_t stepInt = static_cast<uint32_t>(step >> 32);
    const uint32_t stepFrac = static_cast<uint32_t>(step);
    uint32_t n = 0;
    while (n < frames) {
        uint32_t next = idx + 1;
        if (next >= len) next = loop ? 0 : idx;
        const uint8_t* a = data + static_cast<size_t>(idx) * kBlock;
        const uint8_t* b = data + static_cast<size_t>(next) * kBlock;
        const float t = static_cast<float>(frac) * kFracScale;
        const float l0 = SampleAt<Bits>(a, 0);
        const float l = l0 + (SampleAt<Bits>(b, 0) - l0) * t;
        float r = l;
        if constexpr (Ch == 2) {
            const float r0 = SampleAt<Bits>(a, 1);
            r = r0 + (SampleAt<Bits>(b, 1) - r0) * t;
        }
        acc[2 * n] += l * gl;
        acc[2 * n + 1] += r * gr;
        ++n;
        const uint64_t f = static_cast<uint64_t>(frac) + stepFrac;
        frac = static_cast<uint32_t>(f);
        const uint32_t adv = stepInt + static_cast<uint32_t>(f >> 32);
        advanced += adv;
        idx += adv;
        if (idx >= len) {
            if (!loop) {
                idx = len;
                break;
            }
            idx %= len;
        }
    }
    return n;
}

using MixRunFn = uint32_t (*)(const uint8_t*, uint32_t, bool, uint32_t&, uint32_t&, uint64_t, float,
                              float, float*, uint32_t, uint64_t&);

MixRunFn RunFor(const PcmFormat& f) {
    if (f.channels == 1) return f.bits == 8 ? &MixRun<1, 8> : &MixRun<1, 16>;
    return f.bits == 8 ? &MixRun<2, 8> : &MixRun<2, 16>;
}

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

}  // namespace

float GainFromLevel(int32_t hundredthsDb) {
    if (hundredthsDb <= kVolumeSilent) return 0.0f;
    if (hundredthsDb >= 0) return 1.0f;
    return std::pow(10.0f, static_cast<float>(hundredthsDb) / 2000.0f);
}

struct SoundMixer::Voice {
    PcmFormat format;
    uint32_t block = 0;
    uint32_t frames = 0;  // ring length in frames; 0 for a stream voice
    uint32_t controls = 0;
    std::shared_ptr<std::vector<uint8_t>> ring;
    PullFn pull;
    std::vector<uint8_t> pending;  // stream voice: pulled frames not yet passed
    uint64_t consumed = 0;         // stream voice: bytes passed since it was made

    int32_t volume = 0;
    int32_t pan = 0;
    uint32_t frequency = 0;
    Voice3DParams pos3d;
    bool playing = false;
    bool looping = false;
    bool lost = false;

    uint32_t idx = 0;  // play cursor in frames, and its fraction
    uint32_t frac = 0;
    // Notifications fire for every ring frame the cursor reaches; frames are counted from the
    // frame it started at so wraps need no special case.
    uint32_t startFrame = 0;
    uint64_t played = 0;
    uint64_t checked = 0;
    std::vector<NotifyPoint> notes;

    uint32_t Rate() const { return frequency ? frequency : format.rate; }
    void Restart() {
        startFrame = idx;
        played = 0;
        checked = 0;
    }
};

SoundMixer::SoundMixer(uint32_t outputRate) : outputRate_(outputRate ? outputRate : 48000) {}

SoundMixer::~SoundMixer() = default;

void SoundMixer::SetOutputLatency(uint32_t frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    latency_ = frames;
}

uint32_t SoundMixer::OutputLatency() {
    std::lock_guard<std::mutex> lock(mutex_);
    return latency_;
}

SoundMixer::Voice* SoundMixer::Find(VoiceId id) {
    auto it = voices_.find(id);
    return it == voices_.end() ? nullptr : it->second.get();
}

SoundMixer::Voice* SoundMixer::FindWithControl(VoiceId id, uint32_t control) {
    Voice* v = Find(id);
    return v && (v->controls & control) ? v : nullptr;
}

VoiceId SoundMixer::Add(std::unique_ptr<Voice> v) {
    VoiceId id = nextId_++;
    if (nextId_ == 0) nextId_ = 1;
    voices_[id] = std::move(v);
    return id;
}

VoiceId SoundMixer::CreateVoice(const PcmFormat& format, uint32_t bytes, uint32_t controls) {
    if (!format.Valid() || bytes > kMaxVoiceBytes) return 0;
    auto v = std::make_unique<Voice>();
    v->format = format;
    v->block = format.BlockAlign();
    v->frames = bytes / v->block;
    if (v->frames == 0) return 0;
    v->controls = controls;
    const uint8_t silence = format.bits == 8 ? 0x80 : 0;
    v->ring = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(v->frames) * v->block,
                                                     silence);
    std::lock_guard<std::mutex> lock(mutex_);
    return Add(std::move(v));
}

VoiceId SoundMixer::CreateStreamVoice(const PcmFormat& format, uint32_t controls, PullFn pull) {
    if (!format.Valid() || !pull) return 0;
    auto v = std::make_unique<Voice>();
    v->format = format;
    v->block = format.BlockAlign();
    v->controls = controls & ~(kControlNotify | kControlStatic);
    v->pull = std::move(pull);
    std::lock_guard<std::mutex> lock(mutex_);
    return Add(std::move(v));
}

VoiceId SoundMixer::Duplicate(VoiceId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = Find(id);
    if (!v || !v->ring) return 0;
    auto d = std::make_unique<Voice>();
    d->format = v->format;
    d->block = v->block;
    d->frames = v->frames;
    d->controls = v->controls;
    d->ring = v->ring;
    d->volume = v->volume;
    d->pan = v->pan;
    d->frequency = v->frequency;
    d->pos3d = v->pos3d;
    return Add(std::move(d));
}

void SoundMixer::DestroyVoice(VoiceId id) {
    std::unique_ptr<Voice> gone;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = voices_.find(id);
        if (it == voices_.end()) return;
        gone = std::move(it->second);
        voices_.erase(it);
    }
    // The voice's callbacks may own things that take locks of their own: drop them unlocked.
}

int SoundMixer::VoiceCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(voices_.size());
}

bool SoundMixer::Write(VoiceId id, uint32_t offset, const void* data, uint32_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = Find(id);
    if (!v || !v->ring || v->lost) return false;
    const uint32_t len = static_cast<uint32_t>(v->ring->size());
    if (offset >= len) return false;
    size = std::min(size, len);
    const uint32_t first = std::min(size, len - offset);
    const uint8_t* src = static_cast<const uint8_t*>(data);
    std::memcpy(v->ring->data() + offset, src, first);
    std::memcpy(v->ring->data(), src + first, size - first);
    return true;
}

bool SoundMixer::Read(VoiceId id, uint32_t offset, void* data, uint32_t size) {
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = Find(id);
    if (!v || !v->ring) return false;
    const uint32_t len = static_cast<uint32_t>(v->ring->size());
    if (offset >= len || size > len) return false;
    const uint32_t first = std::min(size, len - offset);
    uint8_t* dst = static_cast<uint8_t*>(data);
    std::memcpy(dst, v->ring->data() + offset, first);
    std::memcpy(dst + first, v->ring->data(), size - first);
    return true;
}

bool SoundMixer::Play(VoiceId id, bool loop) {
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = Find(id);
    if (!v || v->lost) return false;
    v->looping = loop;
    if (!v->playing) {
        v->playing = true;
        v->Restart();
    }
    return true;
}

void SoundMixer::StopVoice(Voice& v, std::vector<SignalFn>* fired) {
    if (!v.playing) return;
    v.playing = false;
    for (const NotifyPoint& p : v.notes)
        if (p.offset == NotifyPoint::kAtStop && p.signal) Collect(p, fired);
}

void SoundMixer::Collect(const NotifyPoint& p, std::vector<SignalFn>* fired) {
    if (p.onCollect) p.onCollect();
    fired->push_back(p.signal);
}

bool SoundMixer::Stop(VoiceId id) {
    std::vector<SignalFn> fired;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Voice* v = Find(id);
        if (!v) return false;
        StopVoice(*v, &fired);
    }
    Signal(fired);
    return true;
}

bool SoundMixer::SetPlayCursor(VoiceId id, uint32_t offset) {
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = Find(id);
    if (!v || !v->ring || offset >= v->frames * v->block) return false;
    v->idx = offset / v->block;
    v->frac = 0;
    v->Restart();
    return true;
}

bool SoundMixer::GetCursors(VoiceId id, uint32_t* play, uint32_t* write) {
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = Find(id);
    if (!v) return false;
    if (!v->ring) {
        const uint32_t at = static_cast<uint32_t>(v->consumed);
        if (play) *play = at;
        if (write) *write = at + static_cast<uint32_t>(v->pending.size());
        return true;
    }
    const uint32_t len = v->frames * v->block;
    const uint32_t at = v->idx * v->block;
    if (play) *play = at;
    if (write) {
        uint64_t lead = 0;
        if (v->playing)
            lead = (static_cast<uint64_t>(latency_) * v->Rate() + outputRate_ - 1) / outputRate_;
        *write = static_cast<uint32_t>((at + lead % v->frames * v->block) % len);
    }
    return true;
}

bool SoundMixer::GetStatus(VoiceId id, VoiceStatus* status) {
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = Find(id);
    if (!v) return false;
    status->playing = v->playing;
    status->looping = v->playing && v->looping;
    status->lost = v->lost;
    return true;
}

bool SoundMixer::GetFormat(VoiceId id, PcmFormat* format, uint32_t* bytes, uint32_t* controls) {
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = Find(id);
    if (!v) return false;
    if (format) *format = v->format;
    if (bytes) *bytes = v->frames * v->block;
    if (controls) *controls = v->controls;
    return true;
}

bool SoundMixer::SetVolume(VoiceId id, int32_t hundredthsDb) {
    if (hundredthsDb < kVolumeSilent || hundredthsDb > 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = Find(id);
    if (!v) return false;
    v->volume = hundredthsDb;
    return true;
}

bool SoundMixer::GetVolume(VoiceId id, int32_t* hundredthsDb) {
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = Find(id);
    if (!v) return false;
    *hundredthsDb = v->volume;
    return true;
}

bool SoundMixer::SetPan(VoiceId id, int32_t pan) {
    if (pan < kPanLeft || pan > kPanRight) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = FindWithControl(id, kControlPan);
    if (!v) return false;
    v->pan = pan;
    return true;
}

bool SoundMixer::GetPan(VoiceId id, int32_t* pan) {
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = FindWithControl(id, kControlPan);
    if (!v) return false;
    *pan = v->pan;
    return true;
}

bool SoundMixer::SetFrequency(VoiceId id, uint32_t hz) {
    if (hz != 0 && (hz < kFrequencyMin || hz > kFrequencyMax)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = FindWithControl(id, kControlFrequency);
    if (!v) return false;
    v->frequency = hz;
    return true;
}

bool SoundMixer::GetFrequency(VoiceId id, uint32_t* hz) {
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = FindWithControl(id, kControlFrequency);
    if (!v) return false;
    *hz = v->Rate();
    return true;
}

bool SoundMixer::SetNotifications(VoiceId id, std::vector<NotifyPoint> points) {
    std::vector<NotifyPoint> old;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Voice* v = FindWithControl(id, kControlNotify);
        if (!v || v->playing || !v->ring) return false;
        for (const NotifyPoint& p : points)
            if (p.offset != NotifyPoint::kAtStop && p.offset >= v->frames * v->block) return false;
        old.swap(v->notes);
        v->notes = std::move(points);
    }
    return true;
}

bool SoundMixer::Set3D(VoiceId id, const Voice3DParams& p) {
    if (!(p.minDistance > 0) || !(p.maxDistance >= p.minDistance)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = FindWithControl(id, kControl3D);
    if (!v) return false;
    v->pos3d = p;
    return true;
}

bool SoundMixer::Get3D(VoiceId id, Voice3DParams* p) {
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = FindWithControl(id, kControl3D);
    if (!v) return false;
    *p = v->pos3d;
    return true;
}

void SoundMixer::SetListener(const ListenerParams& p) {
    std::lock_guard<std::mutex> lock(mutex_);
    listener_ = p;
}

ListenerParams SoundMixer::GetListener() {
    std::lock_guard<std::mutex> lock(mutex_);
    return listener_;
}

void SoundMixer::SetRunning(bool running) {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = running;
}

bool SoundMixer::Running() {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

void SoundMixer::SetMasterVolume(int32_t hundredthsDb) {
    std::lock_guard<std::mutex> lock(mutex_);
    master_ = std::clamp(hundredthsDb, kVolumeSilent, 0);
}

int32_t SoundMixer::MasterVolume() {
    std::lock_guard<std::mutex> lock(mutex_);
    return master_;
}

void SoundMixer::LoseAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [id, v] : voices_) {
        v->lost = true;
        v->playing = false;
    }
}

bool SoundMixer::Restore(VoiceId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Voice* v = Find(id);
    if (!v) return false;
    v->lost = false;
    return true;
}

void SoundMixer::VoiceGains(const Voice& v, float* left, float* right) const {
    float g = GainFromLevel(v.volume) * GainFromLevel(master_);
    float l = g, r = g;
    if (v.controls & kControlPan) {
        l *= GainFromLevel(std::min(0, -v.pan));
        r *= GainFromLevel(std::min(0, v.pan));
    }
    if (v.controls & kControl3D) {
        // Inverse-distance law between the voice's distances, and a far ear that loses up to
        // half its level as the sound moves round to the other side.
        const Vec3 rel = Sub(v.pos3d.position, listener_.position);
        const float d = std::sqrt(Dot(rel, rel));
        const float dc = std::clamp(d, v.pos3d.minDistance, v.pos3d.maxDistance);
        const float att = std::pow(v.pos3d.minDistance / dc, listener_.rolloff);
        l *= att;
        r *= att;
        const Vec3 side = Cross(listener_.top, listener_.front);
        const float sideLen = std::sqrt(Dot(side, side));
        if (sideLen > 1e-6f && d > 1e-6f) {
            const float s = std::clamp(Dot(rel, side) / (sideLen * d), -1.0f, 1.0f);
            if (s > 0) l *= 1.0f - 0.5f * s;
            if (s < 0) r *= 1.0f + 0.5f * s;
        }
    }
    *left = l;
    *right = r;
}

void SoundMixer::Notify(Voice& v, std::vector<SignalFn>* fired) {
    uint64_t reached = v.played;
    if (!v.looping) {
        const uint64_t last = v.frames - 1 - v.startFrame;
        reached = std::min(reached, last);
    }
    if (reached + 1 <= v.checked) return;
    const uint64_t n = reached + 1 - v.checked;
    const uint32_t r0 = static_cast<uint32_t>((v.startFrame + v.checked) % v.frames);
    v.checked = reached + 1;
    // In the order the cursor reached them.
    std::vector<std::pair<uint32_t, const NotifyPoint*>> hit;
    for (const NotifyPoint& p : v.notes) {
        if (p.offset == NotifyPoint::kAtStop || !p.signal) continue;
        const uint32_t at = p.offset / v.block;
        const uint32_t ahead = (at + v.frames - r0) % v.frames;
        if (n >= v.frames || ahead < n) hit.emplace_back(ahead, &p);
    }
    std::stable_sort(hit.begin(), hit.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& h : hit) Collect(*h.second, fired);
}

void SoundMixer::MixVoice(Voice& v, float* acc, uint32_t frames, std::vector<SignalFn>* fired) {
    float gl, gr;
    VoiceGains(v, &gl, &gr);
    const uint64_t step = (static_cast<uint64_t>(v.Rate()) << 32) / outputRate_;
    uint64_t advanced = 0;
    RunFor(v.format)(v.ring->data(), v.frames, v.looping, v.idx, v.frac, step, gl, gr, acc, frames,
                     advanced);
    v.played += advanced;
    Notify(v, fired);
    if (v.idx >= v.frames) {
        v.idx = 0;
        v.frac = 0;
        StopVoice(v, fired);
    }
}

void SoundMixer::MixStream(Voice& v, float* acc, uint32_t frames) {
    float gl, gr;
    VoiceGains(v, &gl, &gr);
    const uint64_t step = (static_cast<uint64_t>(v.Rate()) << 32) / outputRate_;
    // The run reads one frame past the last cursor position it reaches.
    const uint64_t end = v.idx + ((static_cast<uint64_t>(v.frac) + step * frames) >> 32);
    const size_t need = static_cast<size_t>(end + 1) * v.block;
    const size_t have = v.pending.size();
    if (need > have) {
        v.pending.resize(need);
        const uint32_t want = static_cast<uint32_t>(need - have);
        const uint32_t got = std::min(want, v.pull(v.pending.data() + have, want));
        std::memset(v.pending.data() + have + got, v.format.bits == 8 ? 0x80 : 0, want - got);
    }
    uint64_t advanced = 0;
    RunFor(v.format)(v.pending.data(), static_cast<uint32_t>(v.pending.size() / v.block), false,
                     v.idx, v.frac, step, gl, gr, acc, frames, advanced);
    const size_t used = static_cast<size_t>(v.idx) * v.block;
    v.pending.erase(v.pending.begin(), v.pending.begin() + static_cast<std::ptrdiff_t>(used));
    v.consumed += used;
    v.idx = 0;
}

void SoundMixer::Mix(int16_t* out, uint32_t frames, std::vector<SignalFn>* fired) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_) {
        std::memset(out, 0, static_cast<size_t>(frames) * 4);
        return;
    }
    acc_.assign(static_cast<size_t>(frames) * 2, 0.0f);
    for (auto& [id, v] : voices_) {
        if (!v->playing) continue;
        if (v->ring)
            MixVoice(*v, acc_.data(), frames, fired);
        else
            MixStream(*v, acc_.data(), frames);
    }
    for (size_t i = 0; i < acc_.size(); ++i)
        out[i] = static_cast<int16_t>(std::clamp(std::lrint(acc_[i]), -32768L, 32767L));
}

void SoundMixer::Signal(std::vector<SignalFn>& fired) {
    for (SignalFn& f : fired) f();
    fired.clear();
}

}  // namespace plat
