// The sound device and its buffers. TDSound opens the mixer and an audio output, keeps the
// primary buffer (the output itself) and every buffer made through it; TDSoundBuffer holds a
// whole sound, TDSoundBuffer3D a positional one, TDSoundStream plays a decoded source of any
// length through a four-second ring refilled a second at a time by its notification thread.
// Failures are false, 0 or null results; nothing is shown.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "foundation/zrcallback.h"
#include "foundation/zrstream.h"
#include "platform/audiooutput.h"
#include "platform/component.h"
#include "platform/event.h"
#include "platform/eventgroup.h"
#include "platform/soundmixer.h"
#include "platform/tstream.h"

class ZRPcmStream;

namespace DirectX {

class TDSound;
class TDSoundThread;
class TCustomDSoundBuffer;

// What a buffer object holds of the mixer: one of its voices, or the primary output.
struct TDSVoiceRef {
    plat::SoundMixer* mixer = nullptr;
    plat::VoiceId voice = 0;
    bool primary = false;
};

struct TDSBufferParam {
    plat::VoiceId buffer = 0;  // out
    uint16_t channels = 2;
    uint32_t samplesPerSec = 44100;
    uint16_t bitsPerSample = 16;
    uint32_t length = 0;
    bool staticBuffer = false;
    bool pan = false;
    bool frequency = false;
};

using TDSNotifyCallback = ZRBaseCallback2<void, TDSoundThread*, int>;

// For tests: called on a notification thread while it weighs whether a stop was an end by
// itself, after its first look at the stop request; null for none.
using TDSEndCheckHook = void (*)(TCustomDSoundBuffer* buffer);
void SetEndCheckHook(TDSEndCheckHook hook);

struct TDSNotifyParam {
    std::shared_ptr<plat::EventGroup> events;  // out
    uint32_t count = 1;                        // in: 1 or 5; out: events made
    TDSoundThread* thread = nullptr;           // out
    TDSNotifyCallback callback;                // in
};

// Waits on a buffer's notification events and calls the buffer back on this thread. Made held
// at its start gate; the destructor asks it to end and joins it. What the loop reads is shared
// with the running thread, so a buffer may release itself (and delete this object) from its
// own callback: the thread is then detached and ends as soon as the callback returns.
class TDSoundThread {
public:
    // The part the running thread shares; it outlives this object. A buffer whose thread the
    // closing device took, and deletes, still ends that thread and waits for it through this.
    struct Shared {
        std::shared_ptr<plat::EventGroup> events;
        int count = 0;
        TDSNotifyCallback callback;
        TDSoundThread* thread = nullptr;  // handed to the callback, which may delete it
        std::atomic<int> lastIndex{-1};
        std::atomic<bool> terminated{false};
        std::atomic<std::thread::id> id{};  // set by the thread as it starts
        plat::Event ended{true, false};
        // Asks the thread to end and waits until it has, unless called on it. On the main
        // thread the wait runs only the calls this thread is blocked on (a callback showing a
        // message): a call queued before may free what the waiting call still uses.
        void EndAndWait();
        // Waits until the thread has ended (never on the thread itself), serving on the main
        // thread its calls and those of the threads it waits for.
        void WaitEnded();
        // The thread while it runs, for a main-thread wait to serve: an ended one's id may
        // already name another thread.
        std::vector<std::thread::id> Running();
    };

    // Marks, while it lives, that the calling thread waits off the main thread for `awaited`
    // (a report deleting another sound or closing the device, a walk's buffer going).
    class Awaiting {
    public:
        explicit Awaiting(const std::vector<std::thread::id>& awaited);
        ~Awaiting();
        Awaiting(const Awaiting&) = delete;
        Awaiting& operator=(const Awaiting&) = delete;
    };
    // The threads given and every thread they wait for, down the chain: a main-thread wait
    // for one of them must serve the calls of all, or the first waits for ever.
    static std::vector<std::thread::id> WithAwaited(std::vector<std::thread::id> ids);

    TDSoundThread(TCustomDSoundBuffer* owner, TDSNotifyParam* param);
    ~TDSoundThread();
    TDSoundThread(const TDSoundThread&) = delete;
    TDSoundThread& operator=(const TDSoundThread&) = delete;

    void Resume();
    void Terminate() { state_->terminated.store(true); }
    // Joins the thread, serving on the main thread the calls it is blocked on; does nothing
    // when called on the thread itself.
    void WaitFor();
    int LastIndex() const { return state_->lastIndex.load(); }
    TCustomDSoundBuffer* Owner() const { return owner_; }
    const std::shared_ptr<Shared>& Share() const { return state_; }

private:
    static void Execute(const std::shared_ptr<Shared>& state);

    TCustomDSoundBuffer* owner_;
    std::shared_ptr<Shared> state_;
    std::thread thread_;
};

class TCustomDSoundBuffer : public plat::TComponent {
public:
    explicit TCustomDSoundBuffer(plat::TComponent* owner);
    ~TCustomDSoundBuffer() override;

    virtual void SetOnNotify(plat::TNotifyEvent e) = 0;
    virtual bool Create() = 0;
    virtual void Release() = 0;
    virtual bool Play(bool loop) = 0;
    virtual bool Stop() = 0;
    virtual uint32_t GetPosition() = 0;

    uint16_t GetChannels() const { return channels_; }
    void SetChannels(uint16_t v);
    uint32_t GetSamplesPerSec() const { return samplesPerSec_; }
    void SetSamplesPerSec(uint32_t v);
    uint16_t GetBitsPerSample() const { return bitsPerSample_; }
    void SetBitsPerSample(uint16_t v);
    uint32_t GetLength() const { return length_; }
    void SetLength(uint32_t v);
    bool GetStaticFlag() const { return staticFlag_; }
    void SetStaticFlag(bool v);
    bool GetPanEnabled() const { return panEnabled_; }
    void SetPanEnabled(bool v);
    bool GetFreqEnabled() const { return freqEnabled_; }
    void SetFreqEnabled(bool v);
    void SetOnRestore(plat::TNotifyEvent e) { onRestore_ = std::move(e); }
    plat::TNotifyEvent GetOnNotify() const { return LoadNotify(); }

    bool IsCreated() const { return created_; }
    TDSound* GetDevice() const { return device_; }

    int32_t GetVolume();
    bool SetVolume(int32_t volume);
    int32_t GetPan();
    bool SetPan(int32_t pan);
    uint32_t GetFrequency();
    bool SetFrequency(uint32_t hz);
    bool IsPlay();
    bool IsLost();
    bool Restore();
    bool IsLostAndRestore();
    void PrimaryPlayCheck();

protected:
    bool CreateBuffer(TDSBufferParam* param, TDSNotifyParam* notify);
    bool CreateBuffer3D(TDSBufferParam* param, TDSNotifyParam* notify);
    bool CreateEventThread(TDSBufferParam* param, TDSNotifyParam* notify);
    bool MakeVoice(TDSBufferParam* param, TDSNotifyParam* notify, uint32_t controls);
    TDSBufferParam BufferParam() const;
    bool ValidSettings() const;
    // Ends the notification thread and waits for it before anything it calls goes, whoever
    // holds the thread object (left to end by itself when this runs on it), then drops the
    // voice, once no restore walk on another thread is on this buffer.
    void ReleaseVoice();
    // Moves the play number on: called by Play once the previous play is stopped.
    void NextPlay() { playMark_->play.fetch_add(1); }
    // Whether the mixer collected the signal of event `index` during the play still current.
    // The mixer collects signals under its lock and runs them after it; a Play or a Seek in
    // between makes the signal one of an earlier play.
    bool OfThisPlay(int index) const;
    // Whether the stop the notification thread woke for is an end by itself: no Stop was asked
    // for, before or after the play was compared, and the stop signal came during the play
    // still current. A restart or a seek stops the voice and at once plays it again; its stop
    // signal then names an older play. True once a play: a late signal of the play before may
    // wake the thread again after this play's own was collected.
    bool EndedByItself();
    // Calls OnNotify. The handler may delete this buffer or the device; the device, which
    // waits for the handlers under way when it closes or goes, is told through the count it
    // shares with the report when the handler returns.
    void ReportEnd();
    void RestoreIfLost();
    // Stops the mixer's voice (or the primary output); false when there is none.
    bool StopVoice();

    uint16_t channels_ = 2;
    uint32_t samplesPerSec_ = 44100;
    uint16_t bitsPerSample_ = 16;
    uint32_t length_ = 0;
    bool staticFlag_ = false;
    bool panEnabled_ = false;
    bool freqEnabled_ = false;
    plat::TNotifyEvent onRestore_;
    // The notification thread calls the handler while the owner's thread may replace it:
    // both go through notifyLock_, and the call runs on a copy outside it (a handler may set
    // another). created_ is read on that thread too.
    void StoreNotify(plat::TNotifyEvent e);
    plat::TNotifyEvent LoadNotify() const;
    bool HasNotify() const;

    std::atomic<bool> created_{false};
    TDSound* device_ = nullptr;
    TDSVoiceRef voice_;
    std::shared_ptr<plat::EventGroup> events_;
    // Taken by whoever ends the thread: the buffer's release, or the device closing while a
    // handler on that thread may be deleting the buffer.
    std::atomic<TDSoundThread*> thread_{nullptr};
    // Kept by the buffer alone: its release waits for the thread through it even when the
    // device took the thread object.
    std::shared_ptr<TDSoundThread::Shared> threadLife_;
    std::atomic<bool> stopRequested_{false};

private:
    friend class TDSound;

    // Shared with the mixer's signals, which may run after the buffer is gone.
    struct PlayMark {
        std::atomic<uint32_t> play{0};
        // The play during which each event's signal was collected: 0 the stop, 1 to 4 a
        // stream's entries into its blocks.
        std::atomic<uint32_t> collected[5] = {};
    };
    std::shared_ptr<PlayMark> playMark_ = std::make_shared<PlayMark>();
    std::atomic<uint32_t> endReported_{0};  // the last play whose end was reported
    mutable std::mutex notifyLock_;
    plat::TNotifyEvent onNotify_;
};

class TDSoundBuffer : public TCustomDSoundBuffer {
public:
    explicit TDSoundBuffer(plat::TComponent* owner);
    TDSoundBuffer(plat::TComponent* owner, uint16_t channels, uint32_t rate, uint16_t bits,
                  uint32_t length, bool pan, bool freq);
    TDSoundBuffer(plat::TComponent* owner, TDSVoiceRef buffer);
    ~TDSoundBuffer() override;

    bool Create() override;
    bool Create(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t length, bool pan,
                bool freq);
    bool Attach(TDSVoiceRef buffer);
    void Release() override;
    TDSoundBuffer* Duplicate();
    bool SetFormat(uint16_t channels, uint32_t rate, uint16_t bits);
    bool WriteBuffer(uint32_t offset, const unsigned char* data, uint32_t size);
    bool Play(bool loop) override;
    bool Stop() override;
    uint32_t GetPosition() override;
    void SetOnNotify(plat::TNotifyEvent e) override;
    void NotifyCallBack(TDSoundThread* thread, int index);

    bool IsPrimary() const { return primary_; }

protected:
    bool primary_ = false;
};

class TDSoundBuffer3D : public TDSoundBuffer {
public:
    explicit TDSoundBuffer3D(plat::TComponent* owner);
    TDSoundBuffer3D(plat::TComponent* owner, uint16_t channels, uint32_t rate, uint16_t bits,
                    uint32_t length, bool freq);
    TDSoundBuffer3D(plat::TComponent* owner, TDSVoiceRef buffer);
    ~TDSoundBuffer3D() override;

    bool Create() override;
    bool Create(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t length, bool freq);
    void Release() override;
    bool SetPosition(float x, float y, float z);

private:
    bool has3D_ = false;
};

class TDSoundStream : public TCustomDSoundBuffer {
public:
    explicit TDSoundStream(plat::TComponent* owner);
    TDSoundStream(plat::TComponent* owner, uint16_t channels, uint32_t rate, uint16_t bits, bool pan,
                  bool freq);
    TDSoundStream(plat::TComponent* owner, plat::TStream* stream, bool pan, bool freq);
    TDSoundStream(plat::TComponent* owner, ZRStream* stream, bool pan, bool freq);
    ~TDSoundStream() override;

    bool Create() override;
    bool Create(ZRStream* stream, bool pan, bool freq);
    bool Create(plat::TStream* stream, bool pan, bool freq);
    bool CreateMp3(ZRStream* stream, bool pan, bool freq);
    bool CreateMp3(plat::TStream* stream, bool pan, bool freq);
    bool CreateAdp(ZRStream* stream, bool pan, bool freq);
    bool CreateAdp(plat::TStream* stream, bool pan, bool freq);
    bool CreateOgg(ZRStream* stream, bool pan, bool freq);
    bool CreateOgg(plat::TStream* stream, bool pan, bool freq);

    bool OpenPcmStream(ZRPcmStream* decoder);
    bool OpenStream(ZRStream* source);
    bool OpenStream(plat::TStream* source);
    bool OpenStreamMp3(ZRStream* source);
    bool OpenStreamMp3(plat::TStream* source);
    bool OpenStreamAdp(ZRStream* source);
    bool OpenStreamAdp(plat::TStream* source);
    bool OpenStreamOgg(ZRStream* source);
    bool OpenStreamOgg(plat::TStream* source);
    void CloseStream();

    void Release() override;
    bool Play(bool loop, uint32_t position);
    bool Play(bool loop) override { return Play(loop, 0); }
    bool Seek(uint32_t position) { return Play(loop_, position); }
    bool Stop() override;
    bool StopInSync();
    uint32_t GetPosition() override;
    uint32_t GetStreamSize();
    void SetLoopPoint(uint32_t start);
    void SetLoopPoint(uint32_t start, uint32_t end);
    void SetOnNotify(plat::TNotifyEvent e) override { StoreNotify(std::move(e)); }

    void FillMute(unsigned char* p, int n);
    bool BlockCopy(uint32_t offset, uint32_t size);
    void StreamCallBack(TDSoundThread* thread, int index);

    bool IsStreamOpen() const { return streamOpen_; }
    bool GetLoop() const { return loop_; }
    uint32_t GetLoopStart() const { return loopStart_.load(); }
    uint32_t GetLoopEnd() const { return loopEnd_.load(); }
    uint32_t GetBlockStart(int block);
    bool GetBlockEnd(int block) const { return blockEnd_[block]; }

protected:
    template <typename Source>
    bool CreateWith(bool (TDSoundStream::*open)(Source*), Source* stream, bool pan, bool freq);
    bool OpenDecoder(ZRPcmStream* decoder, ZRStream* source);
    bool OpenAdapted(bool (TDSoundStream::*open)(ZRStream*), plat::TStream* source);
    // Makes the ring and its five notifications; the 3D form asks for a positional voice.
    virtual bool CreateRing(TDSBufferParam* param, TDSNotifyParam* notify);
    void ReleaseStream();

    bool streamOpen_ = false;
    bool ownsSource_ = false;
    ZRStream* source_ = nullptr;
    ZRPcmStream* decoder_ = nullptr;
    std::vector<uint8_t> block_;
    bool loop_ = false;
    uint32_t blockStart_[4] = {};
    bool blockEnd_[4] = {};
    // The block whose entry was last acted on in this play (-1 none): a late event of the
    // same block, let through because the new play's own came first, is not acted on twice.
    int lastBlock_ = -1;
    std::mutex fillLock_;
    std::mutex positionLock_;
    std::atomic<bool> stopping_{false};
    // Set by the caller's thread, read by refills on the notification thread (loop points), or
    // the other way round (the wrap point, read by GetPosition): each is read once where used.
    std::atomic<uint32_t> loopStart_{0};
    std::atomic<uint32_t> loopEnd_{0};
    std::atomic<uint32_t> wrapPoint_{0};
};

class TDSoundStream3D : public TDSoundStream {
public:
    explicit TDSoundStream3D(plat::TComponent* owner);
    TDSoundStream3D(plat::TComponent* owner, uint16_t channels, uint32_t rate, uint16_t bits,
                    bool freq);
    TDSoundStream3D(plat::TComponent* owner, plat::TStream* stream, bool freq);
    TDSoundStream3D(plat::TComponent* owner, ZRStream* stream, bool freq);
    ~TDSoundStream3D() override;

    void Release() override;
    bool SetPosition(float x, float y, float z);

protected:
    bool CreateRing(TDSBufferParam* param, TDSNotifyParam* notify) override;

private:
    bool has3D_ = false;
};

class TDSound : public plat::TComponent {
public:
    explicit TDSound(plat::TComponent* owner);
    ~TDSound() override;

    uint16_t GetChannels() const { return channels_; }
    void SetChannels(uint16_t v);
    uint32_t GetSamplesPerSec() const { return samplesPerSec_; }
    void SetSamplesPerSec(uint32_t v);
    uint16_t GetBitsPerSample() const { return bitsPerSample_; }
    void SetBitsPerSample(uint16_t v);
    bool GetUse3D() const { return use3D_; }
    void SetUse3D(bool v);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);
    bool DSoundCreate();
    void DSoundRelease();
    bool FormatPriBuffer();

    bool IsPlay();
    void Play();
    void Stop();

    TDSoundBuffer* CreateBuffer(uint32_t length);
    TDSoundBuffer* CreateBuffer(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t length,
                                bool staticBuffer, bool pan, bool freq);
    TDSoundBuffer* CreateBufferFromPcmStream(ZRPcmStream* stream, bool pan, bool freq,
                                             bool staticBuffer);
    TDSoundBuffer3D* CreateBuffer3DFromPcmStream(ZRPcmStream* stream, bool freq);

    TDSoundBuffer* CreateBufferFromWave(ZRStream* s, bool pan, bool freq, bool staticBuffer);
    TDSoundBuffer* CreateBufferFromWave(plat::TStream* s, bool pan, bool freq, bool staticBuffer);
    TDSoundBuffer* CreateBufferFromMp3(ZRStream* s, bool pan, bool freq, bool staticBuffer);
    TDSoundBuffer* CreateBufferFromMp3(plat::TStream* s, bool pan, bool freq, bool staticBuffer);
    TDSoundBuffer* CreateBufferFromAdp(ZRStream* s, bool pan, bool freq, bool staticBuffer);
    TDSoundBuffer* CreateBufferFromAdp(plat::TStream* s, bool pan, bool freq, bool staticBuffer);
    TDSoundBuffer* CreateBufferFromOgg(ZRStream* s, bool pan, bool freq, bool staticBuffer);
    TDSoundBuffer* CreateBufferFromOgg(plat::TStream* s, bool pan, bool freq, bool staticBuffer);
    TDSoundBuffer3D* CreateBuffer3DFromWave(ZRStream* s, bool freq);
    TDSoundBuffer3D* CreateBuffer3DFromWave(plat::TStream* s, bool freq);
    TDSoundBuffer3D* CreateBuffer3DFromMp3(ZRStream* s, bool freq);
    TDSoundBuffer3D* CreateBuffer3DFromMp3(plat::TStream* s, bool freq);
    TDSoundBuffer3D* CreateBuffer3DFromAdp(ZRStream* s, bool freq);
    TDSoundBuffer3D* CreateBuffer3DFromAdp(plat::TStream* s, bool freq);
    TDSoundBuffer3D* CreateBuffer3DFromOgg(ZRStream* s, bool freq);
    TDSoundBuffer3D* CreateBuffer3DFromOgg(plat::TStream* s, bool freq);

    TDSoundStream* CreateStreamFromWave(ZRStream* s, bool pan, bool freq);
    TDSoundStream* CreateStreamFromWave(plat::TStream* s, bool pan, bool freq);
    TDSoundStream* CreateStreamFromMp3(ZRStream* s, bool pan, bool freq);
    TDSoundStream* CreateStreamFromMp3(plat::TStream* s, bool pan, bool freq);
    TDSoundStream* CreateStreamFromAdp(ZRStream* s, bool pan, bool freq);
    TDSoundStream* CreateStreamFromAdp(plat::TStream* s, bool pan, bool freq);
    TDSoundStream* CreateStreamFromOgg(ZRStream* s, bool pan, bool freq);
    TDSoundStream* CreateStreamFromOgg(plat::TStream* s, bool pan, bool freq);

    TDSoundBuffer* CreateBufferMute(int seconds);
    // Restores every listed buffer that was lost. The OnRestore handlers run without the list
    // lock, so one may show a message while the main thread makes or frees buffers; a buffer
    // freed meanwhile is passed over, and the one the walk is on waits to go until the walk
    // has left it. A handler may make, free or close but not delete this device.
    bool RestoreAllBuffers();
    bool GetCaps(plat::SoundCaps* caps);

    void AddBufferList(TCustomDSoundBuffer* b);
    void DelBufferList(TCustomDSoundBuffer* b);
    int BufferCount() const;

    // The mixer while enabled, else null; buffers make their voices in it.
    plat::SoundMixer* Mixer() const { return mixer_.get(); }
    TDSoundBuffer* GetPrimary() const { return primary_; }
    bool HasListener() const { return listener_; }

private:
    template <typename Decoder>
    TDSoundBuffer* BufferFrom(ZRStream* s);
    template <typename Decoder>
    TDSoundBuffer3D* Buffer3DFrom(ZRStream* s);
    template <typename Source>
    TDSoundStream* StreamFrom(bool (TDSoundStream::*create)(Source*, bool, bool), Source* s,
                              bool pan, bool freq);
    friend class TCustomDSoundBuffer;
    // End reports under way on this device's buffers, by the thread each runs on. Each report
    // keeps a hold on it until its handler has returned, so a handler may delete the device and
    // still be counted out.
    struct Reports {
        std::mutex lock;
        std::condition_variable done;
        std::vector<std::thread::id> threads;
    };
    std::shared_ptr<Reports> HandlerStarted();
    static void HandlerEnded(Reports& reports);
    // Waits until the given notification threads have ended and no end report is under way
    // but those on this thread. On the main thread it runs only the calls those threads and
    // reports are blocked on (one may wait for another), and leaves every other queued call
    // for later: one may close or delete this device.
    void WaitForReports(const std::vector<TDSoundThread*>& threads = {});
    // Ends every buffer's notification thread and waits for the end reports under way, so
    // that no handler deletes a buffer while the device deletes it too.
    void EndNotifications();
    // Deletes every listed buffer, newest first, reading the list afresh for each: a buffer's
    // destruction may take others with it.
    void DeleteBuffers();
    // With the list lock held: waits until no restore walk on another thread is on b, and
    // holds the lock again. On the main thread it runs only the calls those walks' threads are
    // blocked on.
    void WaitOutOfWalks(TCustomDSoundBuffer* b, std::unique_lock<std::mutex>& lock);

    uint16_t channels_ = 2;
    uint32_t samplesPerSec_ = 44100;
    uint16_t bitsPerSample_ = 16;
    bool use3D_ = false;
    plat::TComponent* window_ = nullptr;
    bool enabled_ = false;
    std::unique_ptr<plat::SoundMixer> mixer_;
    std::unique_ptr<plat::AudioOutput> output_;
    bool listener_ = false;
    TDSoundBuffer* primary_ = nullptr;
    // Buffers join and leave the list on whatever thread makes or deletes them, a sound's end
    // report included. The list lock also guards the buffers restore walks are on, each with
    // its walking thread.
    mutable std::mutex listLock_;
    std::vector<TCustomDSoundBuffer*> buffers_;
    std::vector<std::pair<TCustomDSoundBuffer*, std::thread::id>> restoring_;
    std::condition_variable walkLeft_;
    std::shared_ptr<Reports> reports_ = std::make_shared<Reports>();
};

}  // namespace DirectX
