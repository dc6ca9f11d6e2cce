// The notification thread, the buffer base and the whole-sound buffers.
#include <algorithm>
#include <map>
#include <mutex>

#include "devices/nydsound.h"
#include "platform/mainqueue.h"
#include "platform/thread.h"

namespace DirectX {

namespace {

constexpr uint32_t kMinLength = 4;

// The notification thread running on this thread, if any.
thread_local const TDSoundThread::Shared* tRunning = nullptr;

std::atomic<TDSEndCheckHook> gEndCheckHook{nullptr};

// Which thread waits for which, off the main thread (TDSoundThread::Awaiting).
struct AwaitChain {
    std::mutex lock;
    std::multimap<std::thread::id, std::thread::id> edges;
};
AwaitChain& Chain() {
    static AwaitChain chain;
    return chain;
}

bool ValidFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
    return (channels == 1 || channels == 2) && rate != 0 && (bits == 8 || bits == 16);
}

}  // namespace

void SetEndCheckHook(TDSEndCheckHook hook) { gEndCheckHook.store(hook); }

// ---- TDSoundThread ----

TDSoundThread::TDSoundThread(TCustomDSoundBuffer* owner, TDSNotifyParam* param)
    : owner_(owner), state_(std::make_shared<Shared>()) {
    state_->events = std::make_shared<plat::EventGroup>(param->count);
    state_->count = state_->events->Count();
    state_->callback = param->callback;
    state_->thread = this;
    param->events = state_->events;
    param->count = static_cast<uint32_t>(state_->count);
}

TDSoundThread::~TDSoundThread() {
    Terminate();
    if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        WaitFor();
}

void TDSoundThread::Resume() {
    if (!thread_.joinable()) thread_ = std::thread([state = state_] { Execute(state); });
}

void TDSoundThread::WaitFor() {
    if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) return;
    state_->WaitEnded();
    thread_.join();
}

void TDSoundThread::Shared::EndAndWait() {
    terminated.store(true);
    if (tRunning != this) WaitEnded();
}

void TDSoundThread::Shared::WaitEnded() {
    const Awaiting awaiting({id.load()});
    ended.WaitFor(plat::Event::kInfinite, [this] { return WithAwaited(Running()); });
}

TDSoundThread::Awaiting::Awaiting(const std::vector<std::thread::id>& awaited) {
    if (plat::IsMainThread()) return;
    {
        std::lock_guard<std::mutex> lock(Chain().lock);
        for (std::thread::id t : awaited)
            if (t != std::thread::id()) Chain().edges.emplace(std::this_thread::get_id(), t);
    }
    // A main-thread wait for this thread looks at the chain again.
    plat::MainQueue::Instance().Wake();
}

TDSoundThread::Awaiting::~Awaiting() {
    std::lock_guard<std::mutex> lock(Chain().lock);
    Chain().edges.erase(std::this_thread::get_id());
}

std::vector<std::thread::id> TDSoundThread::WithAwaited(std::vector<std::thread::id> ids) {
    std::lock_guard<std::mutex> lock(Chain().lock);
    for (size_t i = 0; i < ids.size(); ++i) {
        const auto [from, to] = Chain().edges.equal_range(ids[i]);
        for (auto it = from; it != to; ++it)
            if (std::find(ids.begin(), ids.end(), it->second) == ids.end())
                ids.push_back(it->second);
    }
    return ids;
}

std::vector<std::thread::id> TDSoundThread::Shared::Running() {
    if (ended.WaitFor(0)) return {};
    return {id.load()};
}

void TDSoundThread::Execute(const std::shared_ptr<Shared>& state) {
    tRunning = state.get();
    state->id.store(std::this_thread::get_id());
    struct Ended {
        plat::Event& ended;
        ~Ended() { ended.Set(); }
    } ended{state->ended};
    // Refilling a stream must not wait behind the game's own threads; where the system does
    // not allow the step up the thread runs at normal priority.
    plat::RaiseThreadPriority();
    while (state->count > 0 && !state->terminated.load()) {
        const int i = state->events->WaitAny(100);
        // Told to end while it waited: what woke it may be the release of the buffer it
        // would call.
        if (i < 0 || state->terminated.load()) continue;
        state->lastIndex.store(i);
        if (state->callback.IsSet()) state->callback.Call(state->thread, i);
    }
}

// ---- TCustomDSoundBuffer ----

TCustomDSoundBuffer::TCustomDSoundBuffer(plat::TComponent* owner) : plat::TComponent(owner) {
    device_ = dynamic_cast<TDSound*>(owner);
    if (device_) device_->AddBufferList(this);
}

TCustomDSoundBuffer::~TCustomDSoundBuffer() {
    if (device_) device_->DelBufferList(this);
}

void TCustomDSoundBuffer::StoreNotify(plat::TNotifyEvent e) {
    std::lock_guard<std::mutex> lock(notifyLock_);
    onNotify_.swap(e);
}

plat::TNotifyEvent TCustomDSoundBuffer::LoadNotify() const {
    std::lock_guard<std::mutex> lock(notifyLock_);
    return onNotify_;
}

bool TCustomDSoundBuffer::HasNotify() const {
    std::lock_guard<std::mutex> lock(notifyLock_);
    return static_cast<bool>(onNotify_);
}

void TCustomDSoundBuffer::SetChannels(uint16_t v) {
    if (!created_ && (v == 1 || v == 2)) channels_ = v;
}
void TCustomDSoundBuffer::SetSamplesPerSec(uint32_t v) {
    if (!created_ && v != 0) samplesPerSec_ = v;
}
void TCustomDSoundBuffer::SetBitsPerSample(uint16_t v) {
    if (!created_ && (v == 8 || v == 16)) bitsPerSample_ = v;
}
void TCustomDSoundBuffer::SetLength(uint32_t v) {
    if (!created_ && v >= kMinLength && v <= plat::kMaxVoiceBytes) length_ = v;
}
void TCustomDSoundBuffer::SetStaticFlag(bool v) {
    if (!created_) staticFlag_ = v;
}
void TCustomDSoundBuffer::SetPanEnabled(bool v) {
    if (!created_) panEnabled_ = v;
}
void TCustomDSoundBuffer::SetFreqEnabled(bool v) {
    if (!created_) freqEnabled_ = v;
}

// A buffer that was never created has no voice: these report failure instead of reaching for
// one.
int32_t TCustomDSoundBuffer::GetVolume() {
    int32_t v = 0;
    if (!created_) return 0;
    if (voice_.primary) return voice_.mixer->MasterVolume();
    return voice_.mixer->GetVolume(voice_.voice, &v) ? v : 0;
}

bool TCustomDSoundBuffer::SetVolume(int32_t volume) {
    if (!created_ || volume < plat::kVolumeSilent || volume > 0) return false;
    if (voice_.primary) {
        voice_.mixer->SetMasterVolume(static_cast<int32_t>(volume));
        return true;
    }
    return voice_.mixer->SetVolume(voice_.voice, static_cast<int32_t>(volume));
}

int32_t TCustomDSoundBuffer::GetPan() {
    int32_t v = 0;
    if (!created_ || !panEnabled_ || voice_.primary) return 0;
    return voice_.mixer->GetPan(voice_.voice, &v) ? v : 0;
}

bool TCustomDSoundBuffer::SetPan(int32_t pan) {
    if (!created_ || !panEnabled_ || voice_.primary) return false;
    if (pan < plat::kPanLeft || pan > plat::kPanRight) return false;
    return voice_.mixer->SetPan(voice_.voice, static_cast<int32_t>(pan));
}

uint32_t TCustomDSoundBuffer::GetFrequency() {
    uint32_t v = 0;
    if (!created_ || !freqEnabled_ || voice_.primary) return 0;
    return voice_.mixer->GetFrequency(voice_.voice, &v) ? v : 0;
}

bool TCustomDSoundBuffer::SetFrequency(uint32_t hz) {
    if (!created_ || !freqEnabled_ || voice_.primary || hz > plat::kFrequencyMax) return false;
    return voice_.mixer->SetFrequency(voice_.voice, static_cast<uint32_t>(hz));
}

bool TCustomDSoundBuffer::IsPlay() {
    if (!created_) return false;
    if (voice_.primary) return voice_.mixer->Running();
    plat::VoiceStatus st;
    return voice_.mixer->GetStatus(voice_.voice, &st) && st.playing;
}

bool TCustomDSoundBuffer::IsLost() {
    if (!created_ || voice_.primary) return false;
    plat::VoiceStatus st;
    return voice_.mixer->GetStatus(voice_.voice, &st) && st.lost;
}

bool TCustomDSoundBuffer::Restore() {
    if (!created_) return false;
    if (!voice_.primary && !voice_.mixer->Restore(voice_.voice)) return false;
    if (onRestore_) onRestore_(this);
    return true;
}

bool TCustomDSoundBuffer::IsLostAndRestore() {
    if (!created_) return false;
    return IsLost() ? Restore() : true;
}

void TCustomDSoundBuffer::RestoreIfLost() {
    if (IsLost()) Restore();
}

void TCustomDSoundBuffer::PrimaryPlayCheck() {
    if (device_ && device_->GetPrimary() && !device_->GetPrimary()->IsPlay()) device_->Play();
}

bool TCustomDSoundBuffer::StopVoice() {
    if (voice_.primary) {
        voice_.mixer->SetRunning(false);
        return true;
    }
    return voice_.mixer->Stop(voice_.voice);
}

bool TCustomDSoundBuffer::CreateBuffer(TDSBufferParam* param, TDSNotifyParam* notify) {
    return MakeVoice(param, notify, param->pan ? plat::kControlPan : 0u);
}

bool TCustomDSoundBuffer::CreateBuffer3D(TDSBufferParam* param, TDSNotifyParam* notify) {
    if (!MakeVoice(param, notify, plat::kControl3D)) return false;
    voice_.mixer->Set3D(param->buffer, plat::Voice3DParams{});
    return true;
}

bool TCustomDSoundBuffer::MakeVoice(TDSBufferParam* param, TDSNotifyParam* notify,
                                    uint32_t controls) {
    if (!device_ || !device_->Mixer()) return false;
    if (notify)
        controls |= plat::kControlNotify;
    else if (param->staticBuffer)
        controls |= plat::kControlStatic;
    if (param->frequency) controls |= plat::kControlFrequency;
    plat::SoundMixer* mixer = device_->Mixer();
    param->buffer = mixer->CreateVoice({param->channels, param->samplesPerSec, param->bitsPerSample},
                                       param->length, controls);
    if (!param->buffer) return false;
    voice_ = {mixer, param->buffer, false};
    if (notify && !CreateEventThread(param, notify)) {
        mixer->DestroyVoice(param->buffer);
        voice_ = {};
        param->buffer = 0;
        return false;
    }
    return true;
}

TDSBufferParam TCustomDSoundBuffer::BufferParam() const {
    TDSBufferParam p;
    p.channels = channels_;
    p.samplesPerSec = samplesPerSec_;
    p.bitsPerSample = bitsPerSample_;
    p.length = length_;
    p.staticBuffer = staticFlag_;
    p.pan = panEnabled_;
    p.frequency = freqEnabled_;
    return p;
}

bool TCustomDSoundBuffer::ValidSettings() const {
    return ValidFormat(channels_, samplesPerSec_, bitsPerSample_) && length_ >= kMinLength &&
           length_ <= plat::kMaxVoiceBytes;
}

bool TCustomDSoundBuffer::CreateEventThread(TDSBufferParam* param, TDSNotifyParam* notify) {
    if (notify->count != 1 && notify->count != 5) notify->count = 1;
    const uint32_t asked = notify->count;
    auto thread = std::make_unique<TDSoundThread>(this, notify);
    if (notify->count != asked) return false;
    plat::SoundMixer* mixer = voice_.mixer;
    std::vector<plat::NotifyPoint> points;
    std::shared_ptr<plat::EventGroup> events = notify->events;
    // Each signal is stamped with the play it belongs to as the mixer collects it: it runs
    // later, when a Play may already have started the next one.
    auto point = [events, mark = playMark_](uint32_t offset, int i) {
        return plat::NotifyPoint{offset, [events, i] { events->Set(i); },
                                 [mark, i] { mark->collected[i].store(mark->play.load()); }};
    };
    points.push_back(point(plat::NotifyPoint::kAtStop, 0));
    if (notify->count == 5) {
        const uint32_t len = param->length;
        points.push_back(point(0, 1));
        points.push_back(point(len / 4, 2));
        points.push_back(point((len / 2) & ~1u, 3));
        points.push_back(point(3 * (len / 4), 4));
    }
    if (!mixer->SetNotifications(param->buffer, std::move(points))) return false;
    thread->Resume();
    threadLife_ = thread->Share();
    notify->thread = thread.release();
    thread_ = notify->thread;
    events_ = events;
    return true;
}

bool TCustomDSoundBuffer::OfThisPlay(int index) const {
    return playMark_->collected[index].load() == playMark_->play.load();
}

bool TCustomDSoundBuffer::EndedByItself() {
    // Read in this order: a Play that clears the request has moved the play number on first.
    if (stopRequested_.load()) return false;
    if (const TDSEndCheckHook hook = gEndCheckHook.load()) hook(this);
    const uint32_t play = playMark_->play.load();
    if (playMark_->collected[0].load() != play) return false;
    // And again: a Stop since the first read must not see a report after it.
    if (stopRequested_.load()) return false;
    return endReported_.exchange(play) != play;
}

void TCustomDSoundBuffer::ReportEnd() {
    const plat::TNotifyEvent handler = LoadNotify();
    if (!handler) return;
    struct Ended {
        std::shared_ptr<TDSound::Reports> reports;
        ~Ended() {
            if (reports) TDSound::HandlerEnded(*reports);
        }
    } ended{device_ ? device_->HandlerStarted() : nullptr};
    handler(this);
}

void TCustomDSoundBuffer::ReleaseVoice() {
    // The device closing may hold the thread object while the thread is still inside this
    // buffer's report, or about to wake for its stop.
    if (threadLife_) {
        threadLife_->EndAndWait();
        threadLife_.reset();
    }
    delete thread_.exchange(nullptr);
    events_.reset();
    TDSVoiceRef voice;
    {
        std::unique_lock<std::mutex> list;
        if (device_) {
            list = std::unique_lock<std::mutex>(device_->listLock_);
            device_->WaitOutOfWalks(this, list);
        }
        voice = voice_;
        voice_ = {};
    }
    if (voice.mixer && !voice.primary) voice.mixer->DestroyVoice(voice.voice);
}

// ---- TDSoundBuffer ----

TDSoundBuffer::TDSoundBuffer(plat::TComponent* owner) : TCustomDSoundBuffer(owner) {}

TDSoundBuffer::TDSoundBuffer(plat::TComponent* owner, uint16_t channels, uint32_t rate,
                             uint16_t bits, uint32_t length, bool pan, bool freq)
    : TCustomDSoundBuffer(owner) {
    Create(channels, rate, bits, length, pan, freq);
}

TDSoundBuffer::TDSoundBuffer(plat::TComponent* owner, TDSVoiceRef buffer)
    : TCustomDSoundBuffer(owner) {
    Attach(buffer);
}

TDSoundBuffer::~TDSoundBuffer() { Release(); }

bool TDSoundBuffer::Create() {
    if (created_ || !ValidSettings()) return false;
    TDSBufferParam p = BufferParam();
    TDSNotifyParam n;
    n.count = 1;
    n.callback = TDSNotifyCallback(this, &TDSoundBuffer::NotifyCallBack);
    if (!CreateBuffer(&p, HasNotify() ? &n : nullptr)) return false;
    created_ = true;
    primary_ = false;
    return true;
}

bool TDSoundBuffer::Create(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t length,
                           bool pan, bool freq) {
    if (created_) return false;
    channels_ = channels;
    samplesPerSec_ = rate;
    bitsPerSample_ = bits;
    length_ = length;
    panEnabled_ = pan;
    freqEnabled_ = freq;
    return Create();
}

bool TDSoundBuffer::Attach(TDSVoiceRef buffer) {
    if (created_ || !buffer.mixer) return false;
    voice_ = buffer;
    if (buffer.primary) {
        length_ = plat::kOutputPeriodFrames * 4;
        staticFlag_ = panEnabled_ = freqEnabled_ = false;
        primary_ = true;
        created_ = true;
        return true;
    }
    plat::PcmFormat f;
    uint32_t bytes = 0, controls = 0;
    if (!buffer.mixer->GetFormat(buffer.voice, &f, &bytes, &controls)) {
        voice_ = {};
        return false;
    }
    channels_ = f.channels;
    samplesPerSec_ = f.rate;
    bitsPerSample_ = f.bits;
    length_ = bytes;
    staticFlag_ = (controls & plat::kControlStatic) != 0;
    panEnabled_ = (controls & plat::kControlPan) != 0;
    freqEnabled_ = (controls & plat::kControlFrequency) != 0;
    primary_ = false;
    if ((controls & plat::kControlNotify) && HasNotify()) {
        TDSBufferParam p;
        p.buffer = buffer.voice;
        p.length = bytes;
        TDSNotifyParam n;
        n.callback = TDSNotifyCallback(this, &TDSoundBuffer::NotifyCallBack);
        if (!CreateEventThread(&p, &n)) {
            buffer.mixer->DestroyVoice(buffer.voice);
            voice_ = {};
            return false;
        }
    }
    created_ = true;
    return true;
}

void TDSoundBuffer::Release() {
    if (!created_) return;
    Stop();
    created_ = false;
    ReleaseVoice();
}

TDSoundBuffer* TDSoundBuffer::Duplicate() {
    if (!created_ || !device_ || primary_) return nullptr;
    const plat::VoiceId copy = voice_.mixer->Duplicate(voice_.voice);
    if (!copy) return nullptr;
    auto* b = new TDSoundBuffer(device_, TDSVoiceRef{voice_.mixer, copy, false});
    if (!b->IsCreated()) {
        delete b;
        return nullptr;
    }
    return b;
}

bool TDSoundBuffer::SetFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
    if (!primary_ && created_) return false;
    channels_ = channels;
    samplesPerSec_ = rate;
    bitsPerSample_ = bits;
    if (!primary_) return true;
    // The output stays 48 kHz 16-bit stereo; the primary format is kept for those who ask.
    return ValidFormat(channels, rate, bits) && rate >= plat::kFrequencyMin &&
           rate <= plat::kFrequencyMax;
}

bool TDSoundBuffer::WriteBuffer(uint32_t offset, const unsigned char* data,
                                uint32_t size) {
    if (!created_ || length_ == 0 || primary_) return false;
    Stop();
    size = std::min<uint32_t>(size, length_);
    RestoreIfLost();
    if (offset >= length_) return false;
    return voice_.mixer->Write(voice_.voice, static_cast<uint32_t>(offset), data,
                               static_cast<uint32_t>(size));
}

bool TDSoundBuffer::Play(bool loop) {
    if (!created_) return false;
    if (primary_) {
        voice_.mixer->SetRunning(true);
        return true;
    }
    PrimaryPlayCheck();
    Stop();
    RestoreIfLost();
    voice_.mixer->SetPlayCursor(voice_.voice, 0);
    NextPlay();
    stopRequested_.store(false);
    return voice_.mixer->Play(voice_.voice, loop);
}

bool TDSoundBuffer::Stop() {
    if (!created_) return false;
    RestoreIfLost();
    if (!primary_) stopRequested_.store(true);
    return StopVoice();
}

uint32_t TDSoundBuffer::GetPosition() {
    uint32_t play = 0;
    if (!created_ || primary_ || !voice_.mixer->GetCursors(voice_.voice, &play, nullptr)) return 0;
    return play;
}

void TDSoundBuffer::SetOnNotify(plat::TNotifyEvent e) {
    if (!created_) {
        StoreNotify(std::move(e));
        return;
    }
    if (staticFlag_ || primary_ || IsPlay()) return;
    if (thread_) {
        StoreNotify(std::move(e));
        return;
    }
    TDSBufferParam p;
    p.buffer = voice_.voice;
    p.length = length_;
    TDSNotifyParam n;
    n.callback = TDSNotifyCallback(this, &TDSoundBuffer::NotifyCallBack);
    if (CreateEventThread(&p, &n)) StoreNotify(std::move(e));
}

void TDSoundBuffer::NotifyCallBack(TDSoundThread*, int index) {
    if (!created_ || index != 0 || !EndedByItself()) return;
    ReportEnd();
}

// ---- TDSoundBuffer3D ----

TDSoundBuffer3D::TDSoundBuffer3D(plat::TComponent* owner) : TDSoundBuffer(owner) {}

TDSoundBuffer3D::TDSoundBuffer3D(plat::TComponent* owner, uint16_t channels, uint32_t rate,
                                 uint16_t bits, uint32_t length, bool freq)
    : TDSoundBuffer(owner) {
    Create(channels, rate, bits, length, freq);
}

TDSoundBuffer3D::TDSoundBuffer3D(plat::TComponent* owner, TDSVoiceRef buffer)
    : TDSoundBuffer(owner) {
    if (!Attach(buffer)) return;
    uint32_t controls = 0;
    voice_.mixer->GetFormat(voice_.voice, nullptr, nullptr, &controls);
    has3D_ = (controls & plat::kControl3D) != 0;
}

TDSoundBuffer3D::~TDSoundBuffer3D() { Release(); }

bool TDSoundBuffer3D::Create() {
    if (created_ || !ValidSettings()) return false;
    TDSBufferParam p = BufferParam();
    TDSNotifyParam n;
    n.callback = TDSNotifyCallback(static_cast<TDSoundBuffer*>(this), &TDSoundBuffer::NotifyCallBack);
    if (!CreateBuffer3D(&p, HasNotify() ? &n : nullptr)) return false;
    has3D_ = true;
    created_ = true;
    primary_ = false;
    return true;
}

bool TDSoundBuffer3D::Create(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t length,
                             bool freq) {
    if (created_) return false;
    channels_ = channels;
    samplesPerSec_ = rate;
    bitsPerSample_ = bits;
    length_ = length;
    freqEnabled_ = freq;
    return Create();
}

void TDSoundBuffer3D::Release() {
    has3D_ = false;
    TDSoundBuffer::Release();
}

bool TDSoundBuffer3D::SetPosition(float x, float y, float z) {
    plat::Voice3DParams p;
    if (!created_ || !has3D_ || !voice_.mixer->Get3D(voice_.voice, &p)) return false;
    p.position = {x, y, z};
    return voice_.mixer->Set3D(voice_.voice, p);
}

}  // namespace DirectX
