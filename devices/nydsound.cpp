// The sound device: the mixer and its output, the primary buffer and the buffer list.
#include "devices/nydsound.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <thread>

#include "platform/mainqueue.h"
#include "platform/messagebox.h"

namespace DirectX {

namespace {

// End reports running on this thread: a handler that closes the device waits for the others,
// not for itself.
thread_local int tReportsHere = 0;

// A fault while a buffer lets its sound go is shown as any caught exception is, and the
// release goes on: the device still lets every other buffer go.
void ShowReleaseFault(const std::string& what) {
    plat::ShowMessage(what, "Sound", plat::CodePage::ShiftJis, plat::MsgButtons::Ok,
                      plat::MsgIcon::Error);
}

}  // namespace

TDSound::TDSound(plat::TComponent* owner) : plat::TComponent(owner), window_(owner) {}

TDSound::~TDSound() {
    if (enabled_) DSoundRelease();
    // A report that closed the device may still be finishing, and may still reach for it.
    WaitForReports();
    // Buffers made on a device that was never enabled, or taken off its list when it was,
    // unlist themselves from this object as they go: they go while its members are here.
    DeleteBuffers();
    DestroyOwned();
}

void TDSound::SetChannels(uint16_t v) {
    if ((v != 1 && v != 2) || v == channels_) return;
    channels_ = v;
    if (enabled_) FormatPriBuffer();
}

void TDSound::SetSamplesPerSec(uint32_t v) {
    if (v == 0 || v == samplesPerSec_) return;
    samplesPerSec_ = v;
    if (enabled_) FormatPriBuffer();
}

void TDSound::SetBitsPerSample(uint16_t v) {
    if ((v != 8 && v != 16) || v == bitsPerSample_) return;
    bitsPerSample_ = v;
    if (enabled_) FormatPriBuffer();
}

void TDSound::SetUse3D(bool v) {
    if (!enabled_) use3D_ = v;
}

void TDSound::SetEnabled(bool on) {
    if (on == enabled_) return;
    if (on)
        DSoundCreate();
    else
        DSoundRelease();
}

bool TDSound::DSoundCreate() {
    // Any owner stands for the window the device plays for.
    if (!window_) return false;
    if (enabled_) return true;
    {
        std::lock_guard<std::mutex> lock(listLock_);
        buffers_.clear();
    }
    mixer_ = std::make_unique<plat::SoundMixer>(48000);
    output_ = plat::MakeAudioOutput();
    if (!output_ || !output_->Open(mixer_.get())) {
        output_.reset();
        mixer_.reset();
        return false;
    }
    primary_ = new TDSoundBuffer(this, TDSVoiceRef{mixer_.get(), 0, true});
    if (!primary_->IsCreated()) {
        delete primary_;
        primary_ = nullptr;
        output_->Close();
        output_.reset();
        mixer_.reset();
        return false;
    }
    FormatPriBuffer();
    if (use3D_) {
        plat::ListenerParams l;
        l.front = {0, 0, 0};
        l.top = {0, 0, 0};
        mixer_->SetListener(l);
        listener_ = true;
    }
    primary_->Play(true);
    enabled_ = true;
    return true;
}

bool TDSound::FormatPriBuffer() {
    if (!primary_) return false;
    const bool playing = primary_->IsPlay();
    if (playing) primary_->Stop();
    if (!primary_->SetFormat(channels_, samplesPerSec_, bitsPerSample_)) return false;
    if (playing) primary_->Play(true);
    return true;
}

void TDSound::DSoundRelease() {
    if (!enabled_) return;
    enabled_ = false;
    listener_ = false;
    if (primary_->IsPlay()) primary_->Stop();
    EndNotifications();
    delete primary_;
    primary_ = nullptr;
    DeleteBuffers();
    output_->Close();
    output_.reset();
    mixer_.reset();
}

bool TDSound::IsPlay() { return enabled_ && primary_->IsPlay(); }

void TDSound::Play() {
    if (enabled_) primary_->Play(true);
}

void TDSound::Stop() {
    if (enabled_) primary_->Stop();
}

TDSoundBuffer* TDSound::CreateBuffer(uint32_t length) {
    return CreateBuffer(channels_, samplesPerSec_, bitsPerSample_, static_cast<uint32_t>(length),
                        false, false, false);
}

TDSoundBuffer* TDSound::CreateBuffer(uint16_t channels, uint32_t rate, uint16_t bits,
                                     uint32_t length, bool staticBuffer, bool pan, bool freq) {
    if (!enabled_) return nullptr;
    auto* b = new TDSoundBuffer(this);
    b->SetStaticFlag(staticBuffer);
    if (!b->Create(channels, rate, bits, length, pan, freq)) {
        delete b;
        return nullptr;
    }
    return b;
}

TDSoundBuffer* TDSound::CreateBufferMute(int seconds) {
    if (!enabled_) return nullptr;
    const uint32_t length = static_cast<uint32_t>(channels_) * samplesPerSec_ * bitsPerSample_ / 8 *
                            static_cast<uint32_t>(seconds);
    TDSoundBuffer* b =
        CreateBuffer(channels_, samplesPerSec_, bitsPerSample_, length, false, false, false);
    if (!b) return nullptr;
    std::unique_ptr<uint8_t[]> silence(new (std::nothrow) uint8_t[length]);
    if (silence) {
        std::memset(silence.get(), bitsPerSample_ == 8 ? 0x80 : 0, length);
        b->WriteBuffer(0, silence.get(), length);
    }
    return b;
}

bool TDSound::RestoreAllBuffers() {
    if (!enabled_) return false;
    std::vector<TCustomDSoundBuffer*> walk;
    {
        std::lock_guard<std::mutex> lock(listLock_);
        walk = buffers_;
    }
    // Marks the buffer the walk is on, under the list lock; its deletion on another thread
    // waits for the mark to go.
    struct On {
        TDSound& device;
        std::pair<TCustomDSoundBuffer*, std::thread::id> mark;
        ~On() {
            {
                std::lock_guard<std::mutex> lock(device.listLock_);
                auto& r = device.restoring_;
                r.erase(std::find(r.begin(), r.end(), mark));
            }
            device.walkLeft_.notify_all();
            plat::MainQueue::Instance().Wake();
        }
    };
    for (TCustomDSoundBuffer* b : walk) {
        {
            std::lock_guard<std::mutex> lock(listLock_);
            if (std::find(buffers_.begin(), buffers_.end(), b) == buffers_.end()) continue;
            restoring_.emplace_back(b, std::this_thread::get_id());
        }
        const On on{*this, {b, std::this_thread::get_id()}};
        b->IsLostAndRestore();
    }
    return true;
}

bool TDSound::GetCaps(plat::SoundCaps* caps) {
    if (!caps) return false;
    *caps = plat::SoundCaps{};
    return true;
}

void TDSound::AddBufferList(TCustomDSoundBuffer* b) {
    std::lock_guard<std::mutex> lock(listLock_);
    buffers_.push_back(b);
}

void TDSound::DelBufferList(TCustomDSoundBuffer* b) {
    std::unique_lock<std::mutex> lock(listLock_);
    WaitOutOfWalks(b, lock);
    auto it = std::find(buffers_.begin(), buffers_.end(), b);
    if (it != buffers_.end()) buffers_.erase(it);
}

int TDSound::BufferCount() const {
    std::lock_guard<std::mutex> lock(listLock_);
    return static_cast<int>(buffers_.size());
}

std::shared_ptr<TDSound::Reports> TDSound::HandlerStarted() {
    std::lock_guard<std::mutex> lock(reports_->lock);
    reports_->threads.push_back(std::this_thread::get_id());
    ++tReportsHere;
    return reports_;
}

void TDSound::HandlerEnded(Reports& reports) {
    {
        std::lock_guard<std::mutex> lock(reports.lock);
        auto& t = reports.threads;
        t.erase(std::find(t.begin(), t.end(), std::this_thread::get_id()));
        --tReportsHere;
        reports.done.notify_all();
    }
    plat::MainQueue::Instance().Wake();
}

void TDSound::WaitForReports(const std::vector<TDSoundThread*>& threads) {
    Reports& r = *reports_;
    auto reportsDone = [&r] { return static_cast<int>(r.threads.size()) <= tReportsHere; };
    if (!plat::IsMainThread()) {
        for (TDSoundThread* t : threads) t->WaitFor();
        std::unique_lock<std::mutex> lock(r.lock);
        const TDSoundThread::Awaiting awaiting(r.threads);
        r.done.wait(lock, reportsDone);
        return;
    }
    const plat::Callers callers = [&] {
        std::vector<std::thread::id> ids;
        for (TDSoundThread* t : threads) {
            const std::vector<std::thread::id> running = t->Share()->Running();
            ids.insert(ids.end(), running.begin(), running.end());
        }
        {
            std::lock_guard<std::mutex> lock(r.lock);
            ids.insert(ids.end(), r.threads.begin(), r.threads.end());
        }
        return TDSoundThread::WithAwaited(std::move(ids));
    };
    for (TDSoundThread* t : threads) t->Share()->ended.WaitFor(plat::Event::kInfinite, callers);
    plat::MainQueue::Instance().ServiceCallersUntil(callers, [&] {
        std::lock_guard<std::mutex> lock(r.lock);
        return reportsDone();
    });
}

void TDSound::EndNotifications() {
    // A buffer is only touched here through what its base keeps, under the list lock: one
    // that a handler is deleting may be part way through its destructor, but it is freed only
    // after it left the list.
    std::vector<TDSoundThread*> threads;
    {
        std::lock_guard<std::mutex> lock(listLock_);
        for (TCustomDSoundBuffer* b : buffers_) {
            // From here nothing the device closes ends by itself.
            b->stopRequested_.store(true);
            if (TDSoundThread* t = b->thread_.exchange(nullptr)) threads.push_back(t);
        }
    }
    for (TDSoundThread* t : threads) t->Terminate();
    // A handler under way on one finishes first, deleting its buffer if it will. A buffer that
    // deleted itself before its thread could be taken has let that thread go; its handler is
    // still counted until it returns.
    WaitForReports(threads);
    for (TDSoundThread* t : threads) delete t;
}

void TDSound::WaitOutOfWalks(TCustomDSoundBuffer* b, std::unique_lock<std::mutex>& lock) {
    // Called with the lock held.
    auto walkers = [this, b] {
        std::vector<std::thread::id> ids;
        for (const auto& [on, thread] : restoring_)
            if (on == b && thread != std::this_thread::get_id()) ids.push_back(thread);
        return ids;
    };
    if (!plat::IsMainThread()) {
        const TDSoundThread::Awaiting awaiting(walkers());
        walkLeft_.wait(lock, [&] { return walkers().empty(); });
        return;
    }
    while (!walkers().empty()) {
        lock.unlock();
        plat::MainQueue::Instance().ServiceCallersUntil(
            [&] {
                std::unique_lock<std::mutex> inner(listLock_);
                std::vector<std::thread::id> ids = walkers();
                inner.unlock();
                return TDSoundThread::WithAwaited(std::move(ids));
            },
            [&] {
                std::lock_guard<std::mutex> inner(listLock_);
                return walkers().empty();
            });
        lock.lock();
    }
}

void TDSound::DeleteBuffers() {
    for (;;) {
        TCustomDSoundBuffer* b = nullptr;
        {
            std::lock_guard<std::mutex> lock(listLock_);
            if (buffers_.empty()) return;
            b = buffers_.back();
        }
        // Release is the part of a buffer's end that can fail (its voice, its source); run
        // here it can be caught, and the destructor then finishes what it left.
        try {
            b->Release();
        } catch (const std::exception& e) {
            ShowReleaseFault(e.what());
        } catch (...) {
            ShowReleaseFault("unknown exception");
        }
        delete b;
    }
}

}  // namespace DirectX
