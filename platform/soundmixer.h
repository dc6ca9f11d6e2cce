// The software mixer behind the sound device: any number of voices, each a ring of PCM in its
// own format (1 or 2 channels, 8 or 16 bits, any rate) or a stream that pulls its samples from
// a callback, mixed into 16-bit stereo at the output rate. Volume and pan are in hundredths of
// a decibel, -10000 being silence; positions and notification offsets are in bytes of the
// voice's own format. Mix is the whole of the audio work and touches no device and no thread,
// so tests call it directly; an output backend (audiooutput.h) calls it for a sound card.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace plat {

struct PcmFormat {
    uint16_t channels = 2;
    uint32_t rate = 44100;
    uint16_t bits = 16;

    uint32_t BlockAlign() const { return static_cast<uint32_t>(channels) * bits / 8; }
    bool Valid() const { return (channels == 1 || channels == 2) && rate > 0 && (bits == 8 || bits == 16); }
};

// Controls a voice is made with; a setter whose control is missing fails.
enum VoiceControl : uint32_t {
    kControlPan = 1,
    kControlFrequency = 2,
    kControl3D = 4,
    kControlNotify = 8,
    kControlStatic = 16,
};

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

// The listener of positional voices. Orientation: the direction faced and the head's up;
// left-handed coordinates (x right, y up, z ahead when facing +z with +y up).
struct ListenerParams {
    Vec3 position, velocity;
    Vec3 front{0, 0, 1}, top{0, 1, 0};
    float rolloff = 1.0f;
};

struct Voice3DParams {
    Vec3 position, velocity;
    float minDistance = 1.0f;
    float maxDistance = 1.0e9f;
};

struct VoiceStatus {
    bool playing = false;
    bool looping = false;
    bool lost = false;
};

using VoiceId = uint32_t;  // 0 names no voice

// Run once the mixer has let go of its lock, so it may do anything.
using SignalFn = std::function<void()>;
// Fills up to `bytes` bytes of the voice's format and returns how many it wrote; the rest of
// a short delivery plays as silence. Called inside Mix with the mixer locked: it must not
// call the mixer.
using PullFn = std::function<uint32_t(void* dest, uint32_t bytes)>;

struct NotifyPoint {
    static constexpr uint32_t kAtStop = 0xFFFFFFFFu;
    NotifyPoint() = default;
    NotifyPoint(uint32_t at, SignalFn fn, SignalFn collect = {})
        : offset(at), signal(std::move(fn)), onCollect(std::move(collect)) {}

    uint32_t offset = 0;  // byte offset reached by the play cursor, or kAtStop
    SignalFn signal;
    // Run inside the mixer's lock at the moment the signal is collected, for what must be
    // recorded then and not when the signal runs (the owner may have played the voice again
    // in between). It must not call the mixer.
    SignalFn onCollect;
};

constexpr int32_t kVolumeSilent = -10000;
constexpr int32_t kPanLeft = -10000;
constexpr int32_t kPanRight = 10000;
constexpr uint32_t kFrequencyMin = 100;
constexpr uint32_t kFrequencyMax = 200000;
constexpr uint32_t kMaxVoiceBytes = 0x0FFFFFFF;

// Amplitude factor of a level in hundredths of a decibel; kVolumeSilent and below give 0.
float GainFromLevel(int32_t hundredthsDb);

class SoundMixer {
public:
    explicit SoundMixer(uint32_t outputRate = 48000);
    ~SoundMixer();
    SoundMixer(const SoundMixer&) = delete;
    SoundMixer& operator=(const SoundMixer&) = delete;

    uint32_t OutputRate() const { return outputRate_; }
    // Output frames the device holds after Mix returns; the write cursor leads by as much.
    void SetOutputLatency(uint32_t frames);
    uint32_t OutputLatency();

    // A silent ring of `bytes` bytes (rounded down to whole frames); 0 when the format or
    // size is invalid.
    VoiceId CreateVoice(const PcmFormat& format, uint32_t bytes, uint32_t controls);
    VoiceId CreateStreamVoice(const PcmFormat& format, uint32_t controls, PullFn pull);
    // A voice that shares the ring of another, with its settings, stopped at 0.
    VoiceId Duplicate(VoiceId id);
    void DestroyVoice(VoiceId id);
    int VoiceCount();

    // Copies into the ring at offset, wrapping past its end; size is cut to the ring.
    bool Write(VoiceId id, uint32_t offset, const void* data, uint32_t size);
    bool Read(VoiceId id, uint32_t offset, void* data, uint32_t size);
    // Starts from the current play cursor. Fails on a lost voice.
    bool Play(VoiceId id, bool loop);
    bool Stop(VoiceId id);
    bool SetPlayCursor(VoiceId id, uint32_t offset);
    bool GetCursors(VoiceId id, uint32_t* play, uint32_t* write);
    bool GetStatus(VoiceId id, VoiceStatus* status);
    bool GetFormat(VoiceId id, PcmFormat* format, uint32_t* bytes, uint32_t* controls);

    bool SetVolume(VoiceId id, int32_t hundredthsDb);  // kVolumeSilent..0
    bool GetVolume(VoiceId id, int32_t* hundredthsDb);
    bool SetPan(VoiceId id, int32_t pan);  // kPanLeft..kPanRight
    bool GetPan(VoiceId id, int32_t* pan);
    // 0 restores the format's rate.
    bool SetFrequency(VoiceId id, uint32_t hz);
    bool GetFrequency(VoiceId id, uint32_t* hz);
    // Replaces the voice's notifications; refused while it plays or for offsets past its end.
    bool SetNotifications(VoiceId id, std::vector<NotifyPoint> points);
    bool Set3D(VoiceId id, const Voice3DParams& p);
    bool Get3D(VoiceId id, Voice3DParams* p);

    void SetListener(const ListenerParams& p);
    ListenerParams GetListener();

    // Stopped, the output is silence and no voice moves.
    void SetRunning(bool running);
    bool Running();
    void SetMasterVolume(int32_t hundredthsDb);
    int32_t MasterVolume();

    // Marks every voice lost and stopped, as a device that dropped its buffers would.
    void LoseAll();
    bool Restore(VoiceId id);

    // Writes `frames` stereo frames into out, moving every playing voice on. The signals of
    // the notifications passed go into fired; the caller runs them once it holds no lock of
    // the mixer's (Signal does that).
    void Mix(int16_t* out, uint32_t frames, std::vector<SignalFn>* fired);
    static void Signal(std::vector<SignalFn>& fired);

private:
    struct Voice;
    Voice* Find(VoiceId id);
    Voice* FindWithControl(VoiceId id, uint32_t control);
    VoiceId Add(std::unique_ptr<Voice> v);
    void StopVoice(Voice& v, std::vector<SignalFn>* fired);
    static void Collect(const NotifyPoint& p, std::vector<SignalFn>* fired);
    void VoiceGains(const Voice& v, float* left, float* right) const;
    void MixVoice(Voice& v, float* acc, uint32_t frames, std::vector<SignalFn>* fired);
    void MixStream(Voice& v, float* acc, uint32_t frames);
    void Notify(Voice& v, std::vector<SignalFn>* fired);

    const uint32_t outputRate_;
    std::mutex mutex_;
    std::unordered_map<VoiceId, std::unique_ptr<Voice>> voices_;
    VoiceId nextId_ = 1;
    uint32_t latency_ = 1024;
    bool running_ = true;
    int32_t master_ = 0;
    ListenerParams listener_;
    std::vector<float> acc_;
};

}  // namespace plat
