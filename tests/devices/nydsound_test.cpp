#include "devices/nydsound.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/event.h"
#include "platform/mainqueue.h"
#include "platform/messagebox.h"
#include "sound_fixture.h"
#include "wait_for.h"

namespace {

using DirectX::TDSound;
using DirectX::TDSoundBuffer;

// Shows whether the closing device, holding every notification thread, asked it to stop.
struct Held : TDSoundBuffer {
    using TDSoundBuffer::TDSoundBuffer;
    const std::atomic<bool>* StopFlag() const { return &stopRequested_; }
};

// Report threads that ran MarkThread and have ended: a report is wholly over by then.
std::atomic<int> gThreadsGone{0};
void MarkThread() {
    static thread_local struct Mark {
        ~Mark() { ++gThreadsGone; }
    } mark;
    (void)mark;
}

std::vector<uint8_t> Ramp16(int frames, int channels) {
    std::vector<uint8_t> b(static_cast<size_t>(frames) * channels * 2);
    for (int i = 0; i < frames * channels; ++i) {
        const int16_t v = static_cast<int16_t>((i / channels + 1) * 10);
        b[2 * i] = static_cast<uint8_t>(v & 0xFF);
        b[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    return b;
}

TEST_F(SoundTest, DeviceNeedsAWindowAndAnOutputAndKeepsItsSettingsValid) {
    TDSound orphan(nullptr);
    new TDSoundBuffer(&orphan);  // never enabled, the device still deletes what it owns
    orphan.SetEnabled(true);
    EXPECT_FALSE(orphan.Enabled());
    EXPECT_EQ(orphan.CreateBuffer(100), nullptr);
    EXPECT_EQ(orphan.CreateBufferMute(1), nullptr);
    EXPECT_FALSE(orphan.RestoreAllBuffers());
    EXPECT_FALSE(orphan.IsPlay());

    failOpen = true;
    EXPECT_FALSE(Enable());
    failOpen = false;

    device->SetChannels(3);
    device->SetBitsPerSample(12);
    device->SetSamplesPerSec(0);
    EXPECT_EQ(device->GetChannels(), 2);
    EXPECT_EQ(device->GetBitsPerSample(), 16);
    EXPECT_EQ(device->GetSamplesPerSec(), 48000u);
    device->SetUse3D(true);
    ASSERT_TRUE(Enable());
    EXPECT_TRUE(device->HasListener());
    EXPECT_TRUE(device->IsPlay());
    device->SetUse3D(false);  // only while not enabled
    EXPECT_TRUE(device->GetUse3D());

    // A format change while enabled reaches the primary buffer.
    device->SetChannels(1);
    EXPECT_EQ(device->GetPrimary()->GetChannels(), 1);
    EXPECT_TRUE(device->IsPlay());
    EXPECT_TRUE(device->GetPrimary()->IsPrimary());
    plat::SoundCaps caps;
    EXPECT_TRUE(device->GetCaps(&caps));
    EXPECT_EQ(caps.outputRate, 48000u);
}

TEST_F(SoundTest, MuteBufferOfOneSecondIs192000BytesOfZeros) {
    ASSERT_TRUE(Enable());
    TDSoundBuffer* b = device->CreateBufferMute(1);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetLength(), 192000u);
    EXPECT_EQ(b->GetChannels(), 2);
    EXPECT_EQ(b->GetBitsPerSample(), 16);
    std::vector<uint8_t> bytes(192000, 0xEE);
    EXPECT_TRUE(b->Play(true));
    for (int16_t s : Render(4800)) ASSERT_EQ(s, 0);

    device->SetBitsPerSample(8);
    TDSoundBuffer* m8 = device->CreateBufferMute(2);
    ASSERT_NE(m8, nullptr);
    EXPECT_EQ(m8->GetLength(), 192000u);  // 2 channels x 48000 x 1 byte x 2 s
    m8->Play(false);
    for (int16_t s : Render(4800)) ASSERT_EQ(s, 0);  // 0x80 is 8-bit silence
}

TEST_F(SoundTest, CallsOnABufferNeverCreatedReportFailure) {
    ASSERT_TRUE(Enable());
    auto* b = new TDSoundBuffer(device);
    EXPECT_EQ(b->GetVolume(), 0);
    EXPECT_FALSE(b->SetVolume(-100));
    EXPECT_FALSE(b->SetPan(0));
    EXPECT_EQ(b->GetFrequency(), 0u);
    EXPECT_FALSE(b->IsPlay());
    EXPECT_FALSE(b->IsLost());
    EXPECT_FALSE(b->IsLostAndRestore());
    EXPECT_FALSE(b->Play(false));
    EXPECT_FALSE(b->Stop());
    const uint8_t x = 1;
    EXPECT_FALSE(b->WriteBuffer(0, &x, 1));
    EXPECT_EQ(b->GetPosition(), 0u);
    EXPECT_EQ(b->Duplicate(), nullptr);
    // Bad formats are refused at creation.
    EXPECT_FALSE(b->Create(3, 48000, 16, 100, false, false));
    EXPECT_FALSE(b->Create(2, 0, 16, 100, false, false));
    EXPECT_FALSE(b->Create(2, 48000, 12, 100, false, false));
    EXPECT_FALSE(b->Create(2, 48000, 16, 3, false, false));
    EXPECT_FALSE(b->Create(2, 48000, 16, 0x10000000, false, false));
    EXPECT_TRUE(b->Create(2, 48000, 16, 400, false, false));
    EXPECT_FALSE(b->Create(2, 48000, 16, 400, false, false));
    b->SetLength(800);  // ignored while created
    EXPECT_EQ(b->GetLength(), 400u);
    delete b;
}

TEST_F(SoundTest, PlayRestartsFromTheFirstSampleAndWritesAreCutToTheLength) {
    ASSERT_TRUE(Enable());
    TDSoundBuffer* b = device->CreateBuffer(2, 48000, 16, 4000, false, false, false);
    ASSERT_NE(b, nullptr);
    auto ramp = Ramp16(2000, 2);  // twice the length
    ASSERT_TRUE(b->WriteBuffer(0, ramp.data(), static_cast<uint32_t>(ramp.size())));
    ASSERT_TRUE(b->Play(false));
    auto out = Render(300);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[2 * 299], 3000);
    EXPECT_EQ(b->GetPosition(), 1200u);
    ASSERT_TRUE(b->Play(false));
    EXPECT_EQ(b->GetPosition(), 0u);
    out = Render(1100);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[2 * 999], 10000);  // the last of the 1000 frames that fit
    EXPECT_EQ(out[2 * 1000], 0);     // then it ended
    EXPECT_FALSE(b->IsPlay());

    // The primary buffer is the output: stopped, nothing moves; playing it always loops.
    ASSERT_TRUE(b->Play(true));
    device->Stop();
    EXPECT_FALSE(device->IsPlay());
    for (int16_t s : Render(10)) ASSERT_EQ(s, 0);
    EXPECT_EQ(b->GetPosition(), 0u);
    EXPECT_TRUE(device->GetPrimary()->Play(false));
    EXPECT_TRUE(device->IsPlay());
    device->Stop();
    ASSERT_TRUE(b->Play(true));  // a buffer starting starts the output too
    EXPECT_TRUE(device->IsPlay());
}

TEST_F(SoundTest, VolumePanAndFrequencyOnlyWithTheirControls) {
    ASSERT_TRUE(Enable());
    TDSoundBuffer* plain = device->CreateBuffer(1, 48000, 16, 100, false, false, false);
    TDSoundBuffer* full = device->CreateBuffer(1, 22050, 16, 100, true, true, true);
    ASSERT_TRUE(plain && full);
    EXPECT_TRUE(full->GetStaticFlag());
    EXPECT_TRUE(plain->SetVolume(-1500));
    EXPECT_EQ(plain->GetVolume(), -1500);
    EXPECT_FALSE(plain->SetVolume(-10001));
    EXPECT_FALSE(plain->SetPan(100));
    EXPECT_EQ(plain->GetPan(), 0);
    EXPECT_FALSE(plain->SetFrequency(44100));
    EXPECT_TRUE(full->SetPan(-300));
    EXPECT_EQ(full->GetPan(), -300);
    EXPECT_EQ(full->GetFrequency(), 22050u);
    EXPECT_TRUE(full->SetFrequency(44100));
    EXPECT_EQ(full->GetFrequency(), 44100u);
    EXPECT_TRUE(device->GetPrimary()->SetVolume(-600));
    EXPECT_EQ(device->GetPrimary()->GetVolume(), -600);
}

TEST_F(SoundTest, OnNotifyReportsAnEndByItselfButNotAStop) {
    ASSERT_TRUE(Enable());
    auto* b = new TDSoundBuffer(device);
    std::atomic<int> ends{0};
    b->SetOnNotify([&](plat::TComponent* sender) {
        EXPECT_EQ(sender, b);
        ++ends;
    });
    ASSERT_TRUE(b->Create(1, 48000, 16, 200, false, false));
    ASSERT_TRUE(b->Play(false));
    Render(50);
    b->Stop();
    Render(200);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(ends.load(), 0);
    ASSERT_TRUE(b->Play(false));
    Render(200);
    EXPECT_TRUE(Eventually([&] { return ends.load() == 1; }));

    // Made without notification: a created buffer cannot take one later, and a static one
    // keeps its old event.
    TDSoundBuffer* quiet = device->CreateBuffer(1, 48000, 16, 200, false, false, false);
    quiet->SetOnNotify([](plat::TComponent*) {});
    EXPECT_FALSE(quiet->GetOnNotify());
    TDSoundBuffer* fixed = device->CreateBuffer(1, 48000, 16, 200, true, false, false);
    fixed->SetOnNotify([](plat::TComponent*) {});
    EXPECT_FALSE(fixed->GetOnNotify());

    // A Stop while the thread weighs an end holds that report back.
    static std::atomic<bool> stopped;
    stopped = false;
    DirectX::SetEndCheckHook([](DirectX::TCustomDSoundBuffer* x) { stopped = x->Stop(); });
    ASSERT_TRUE(b->Play(false));
    Render(200);
    ASSERT_TRUE(Eventually([] { return stopped.load(); }));
    delete b;  // waits for its thread
    DirectX::SetEndCheckHook(nullptr);
    EXPECT_EQ(ends.load(), 1);
}

// The handler is replaced on this thread while the notification thread calls it, and the
// buffer is released while that thread still looks at it; under ThreadSanitizer neither
// may race.
TEST_F(SoundTest, HandlerReplacedWhileNotificationsFire) {
    ASSERT_TRUE(Enable());
    auto* b = new TDSoundBuffer(device);
    std::atomic<int> ends{0};
    auto count = [&](plat::TComponent*) { ++ends; };
    b->SetOnNotify(count);
    ASSERT_TRUE(b->Create(1, 48000, 16, 64, false, false));
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(b->Play(false));
        Render(64);
        // Each end notifies; the handler changes under the call.
        for (int k = 0; k < 20; ++k) b->SetOnNotify(count);
    }
    EXPECT_TRUE(Eventually([&] { return ends.load() > 0; }));
    ASSERT_TRUE(b->Play(false));
    Render(64);
    b->Release();
    EXPECT_FALSE(b->IsCreated());
    delete b;
}

TEST_F(SoundTest, ReleaseJoinsTheNotificationThreadBeforeTheBufferGoes) {
    ASSERT_TRUE(Enable());
    auto* b = new TDSoundBuffer(device);
    std::atomic<bool> inside{false};
    std::atomic<uint32_t> seen{0};
    b->SetOnNotify([&](plat::TComponent* sender) {
        inside = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        // Still a whole buffer: the destructor waits for this handler.
        seen = static_cast<TDSoundBuffer*>(sender)->GetLength();
    });
    ASSERT_TRUE(b->Create(1, 48000, 16, 200, false, false));
    b->Play(false);
    Render(200);
    ASSERT_TRUE(Eventually([&] { return inside.load(); }));
    delete b;
    EXPECT_EQ(seen.load(), 200u);
}

// Sounds delete themselves from their end reports on their own threads while this one makes
// and frees buffers on the same device, or restores the device's list: the device's list and
// its owner's list change on both sides at once, and the walk never reaches a sound that is gone.
TEST_F(SoundTest, SoundsDeleteThemselvesWhileOthersAreMadeAndFreed) {
    constexpr int kSounds = 8;
    for (const bool restore : {false, true}) {
        SCOPED_TRACE(restore);
        ASSERT_TRUE(Enable());
        TDSoundBuffer* first = device->CreateBuffer(100);  // walked before the sounds
        std::atomic<bool> go{false};
        std::atomic<int> gone{0};
        for (int i = 0; i < kSounds; ++i)
            PlayReporting(new TDSoundBuffer(device), 200, [&](plat::TComponent* sender) {
                while (!go.load()) std::this_thread::yield();
                delete sender;
                ++gone;
            });
        Render(200);  // every sound ends; each report waits for the go
        if (restore) {
            first->SetOnRestore([&](plat::TComponent*) {
                go = true;
                // Freed from inside the walk, they would be gone well within this.
                for (int i = 0; i < 100 && gone.load() < kSounds; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            });
            device->Mixer()->LoseAll();
            EXPECT_TRUE(device->RestoreAllBuffers());
            EXPECT_TRUE(go.load());  // the walk restored the first
        }
        go = true;
        for (int i = 0; i < 20000 && !restore && gone.load() < kSounds; ++i)
            delete device->CreateBuffer(100);
        EXPECT_TRUE(WaitFor([&] { return gone.load() == kSounds; }));
        EXPECT_EQ(device->BufferCount(), 2);  // the primary and the first
        EXPECT_EQ(device->ComponentCount(), 2);
        device->SetEnabled(false);
    }
}

// The device closes while an end report, held until the device asks its sound to stop, deletes
// its own sound (the device used to wait inside that deletion for this very report), another
// whose report is under way, or another whose thread wakes for its stop only once it is deleted
// (five rounds: a thread told to end leaves at its next 100 ms wait, and a stop after it left
// shows nothing). Each deletion waits for that sound's thread.
TEST_F(SoundTest, AnEndReportDeletesASoundWhileTheDeviceCloses) {
    enum class Other { None, Reporting, StopsLater };
    for (const Other other : {Other::None, Other::Reporting, Other::StopsLater, Other::StopsLater,
                              Other::StopsLater, Other::StopsLater, Other::StopsLater}) {
        SCOPED_TRACE(static_cast<int>(other));
        ASSERT_TRUE(Enable());
        auto* a = new Held(device);
        TDSoundBuffer* c = other == Other::None ? a : new TDSoundBuffer(device);
        device->CreateBuffer(100);  // and one the device deletes itself
        const uint32_t cLength = other == Other::StopsLater ? 400 : 200;  // its stop then held
        std::vector<plat::SignalFn> cStop;
        std::atomic<bool> aInside{false}, deleting{false}, deleted{false};
        std::atomic<int> cReports{0};
        const std::atomic<bool>* stopAsked = a->StopFlag();
        PlayReporting(a, 200, [&](plat::TComponent*) {
            aInside = true;
            // At once: c's thread, told to end, must still be waiting when its stop comes.
            while (!stopAsked->load()) std::this_thread::yield();
            deleting = true;
            delete c;
            deleted = true;
            plat::SoundMixer::Signal(cStop);
        });
        if (c != a)
            PlayReporting(c, cLength, [&](plat::TComponent* sender) {
                ++cReports;
                EXPECT_TRUE(WaitFor([&] { return deleting.load(); }));
                // Freed, it would be gone well within this.
                for (int i = 0; i < 100 && !deleted.load(); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                EXPECT_EQ(static_cast<TDSoundBuffer*>(sender)->GetLength(), cLength);
            });
        Render(100);
        if (other == Other::StopsLater) RenderHeld(100, &cStop);
        ASSERT_EQ(cStop.size(), other == Other::StopsLater ? 1u : 0u);
        ASSERT_TRUE(WaitFor([&] { return aInside && (cReports || other != Other::Reporting); }));
        device->SetEnabled(false);
        EXPECT_TRUE(deleted.load());
        EXPECT_EQ(cReports.load(), other == Other::Reporting ? 1 : 0);
        EXPECT_EQ(device->BufferCount(), 0);
        EXPECT_EQ(device->ComponentCount(), 0);
    }
}

// An end report waits for a call it hands the main thread while that closes the device, deletes
// the sound or deletes the device the report closed; or it deletes the device itself. Waits on
// the main thread serve only that call (and those of a report it waits for in turn), and a
// device goes only after the reports under way: a deletion of the device queued before (as the
// game posts its close) would free what they use.
TEST_F(SoundTest, EndReportsAndTheMainThreadWaitForEachOther) {
    enum class Act {
        Close,
        DeleteSound,
        DeleteSoundWhoseReportDeletesAnother,
        CloseAfterItDeletedItself,
        DeleteClosed,
        ReportDeletes,
        DeleteSoundWithCloseQueued,
        DeleteSoundWithDeletionQueued,
        CloseWithDeletionQueued
    };
    for (const Act act : {Act::Close, Act::DeleteSound, Act::DeleteSoundWhoseReportDeletesAnother,
                          Act::CloseAfterItDeletedItself, Act::DeleteClosed, Act::ReportDeletes,
                          Act::DeleteSoundWithCloseQueued, Act::DeleteSoundWithDeletionQueued,
                          Act::CloseWithDeletionQueued}) {
        SCOPED_TRACE(static_cast<int>(act));
        if (!device) device = new TDSound(&window);
        ASSERT_TRUE(Enable());
        TDSound* const dev = device;
        auto* b = new TDSoundBuffer(device);
        const int gone = gThreadsGone.load();
        std::atomic<bool> inside{false}, ran{false}, otherInside{false};
        TDSoundBuffer* other = nullptr;  // its report shows a message while b's deletes it
        if (act == Act::DeleteSoundWhoseReportDeletesAnother) {
            other = new TDSoundBuffer(device);
            PlayReporting(other, 200, [&](plat::TComponent*) {
                otherInside = true;
                plat::MainQueue::Instance().Invoke([] {});
            });
        }
        PlayReporting(b, 200, [&, dev](plat::TComponent* sender) {
            MarkThread();
            if (other) {
                EXPECT_TRUE(WaitFor([&] { return otherInside.load(); }));
                inside = true;
                delete other;
            }
            if (act == Act::CloseAfterItDeletedItself) delete sender;
            if (act == Act::DeleteClosed) dev->SetEnabled(false);
            inside = true;
            plat::MainQueue::Instance().Invoke([&] { ran = true; });
            EXPECT_TRUE(act != Act::DeleteClosed || !dev->Enabled());  // still here
            if (act == Act::ReportDeletes) delete dev;
        });
        Render(200);
        ASSERT_TRUE(
            WaitFor([&] { return plat::MainQueue::Instance().HasPending() && inside.load(); }));
        const HangGuard guard("the main thread's close or deletion");
        if (act == Act::DeleteSoundWithCloseQueued)
            plat::MainQueue::Instance().Post([this] { device->SetEnabled(false); });
        if (act == Act::DeleteSoundWithDeletionQueued || act == Act::CloseWithDeletionQueued)
            plat::MainQueue::Instance().Post([this] { delete std::exchange(device, nullptr); });
        if (act == Act::DeleteSound || act == Act::DeleteSoundWhoseReportDeletesAnother ||
            act == Act::DeleteSoundWithCloseQueued || act == Act::DeleteSoundWithDeletionQueued)
            delete b;
        if (act == Act::DeleteClosed) delete device;
        if (act == Act::DeleteClosed || act == Act::ReportDeletes) device = nullptr;
        if (device) device->SetEnabled(false);
        EXPECT_EQ(ran.load(), act != Act::ReportDeletes);  // what the main thread waited for
        EXPECT_TRUE(WaitFor([&] {  // serving the main queue
            return plat::MainQueue::Instance().Service(), gThreadsGone.load() == gone + 1;
        }));
        EXPECT_EQ(window.ComponentCount(), device ? 1 : 0);
    }
}

// A buffer whose release fails once, as a stuck voice or source might.
struct FaultyRelease : TDSoundBuffer {
    using TDSoundBuffer::TDSoundBuffer;
    void Release() override {
        if (!thrown) {
            thrown = true;
            throw std::runtime_error("voice stuck");
        }
        TDSoundBuffer::Release();
    }
    bool thrown = false;
};

TEST_F(SoundTest, ReleasingTheDeviceDeletesEveryBufferMadeThroughIt) {
    ASSERT_TRUE(Enable());
    std::vector<std::string> shown;
    plat::HeadlessMessageResponder boxes(plat::MsgAnswer::Ok,
                                         [&](const std::string& line) { shown.push_back(line); });
    plat::SetMessageResponder(&boxes);
    struct Watch : plat::ComponentWatcher {
        int gone = 0;
        void ComponentDestroyed(plat::TComponent*) override { ++gone; }
    } watch;
    for (int i = 0; i < 3; ++i) device->CreateBuffer(100)->AddWatcher(&watch);
    // Its fault is shown and the buffers listed before it still go.
    auto* faulty = new FaultyRelease(device);
    ASSERT_TRUE(faulty->Create(1, 8000, 16, 100, false, false));
    faulty->AddWatcher(&watch);
    TDSoundBuffer* dup = device->CreateBuffer(100)->Duplicate();
    ASSERT_NE(dup, nullptr);
    dup->AddWatcher(&watch);
    EXPECT_EQ(device->BufferCount(), 7);  // primary, five made, one duplicate
    device->SetEnabled(false);
    plat::SetMessageResponder(nullptr);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("voice stuck"), std::string::npos) << shown[0];
    EXPECT_EQ(watch.gone, 5);
    EXPECT_EQ(device->BufferCount(), 0);
    EXPECT_EQ(device->Mixer(), nullptr);
    ASSERT_TRUE(Enable());
    EXPECT_EQ(device->Mixer()->VoiceCount(), 0);
}

TEST_F(SoundTest, DuplicateSharesTheSoundAndPlaysOnItsOwn) {
    ASSERT_TRUE(Enable());
    TDSoundBuffer* b = device->CreateBuffer(1, 48000, 16, 2000, false, false, false);
    auto ramp = Ramp16(1000, 1);
    b->WriteBuffer(0, ramp.data(), 2000);
    TDSoundBuffer* d = b->Duplicate();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->GetLength(), 2000u);
    EXPECT_EQ(d->GetOwner(), device);
    b->Play(false);
    Render(100);
    d->Play(false);
    auto out = Render(1);
    EXPECT_EQ(out[0], 1010 + 10);  // frame 100 of one, frame 0 of the other
    EXPECT_EQ(device->GetPrimary()->Duplicate(), nullptr);
}

TEST_F(SoundTest, LostBuffersAreRestoredByTheNextPlayOrByTheDevice) {
    ASSERT_TRUE(Enable());
    TDSoundBuffer* a = device->CreateBuffer(100);
    TDSoundBuffer* b = device->CreateBuffer(100);
    int restored = 0;
    a->SetOnRestore([&](plat::TComponent*) { ++restored; });
    b->SetOnRestore([&](plat::TComponent*) { ++restored; });
    a->Play(true);
    device->Mixer()->LoseAll();
    EXPECT_TRUE(a->IsLost());
    EXPECT_FALSE(a->IsPlay());
    EXPECT_TRUE(a->Play(true));
    EXPECT_EQ(restored, 1);
    EXPECT_FALSE(a->IsLost());
    EXPECT_TRUE(b->IsLost());
    EXPECT_TRUE(device->RestoreAllBuffers());
    EXPECT_EQ(restored, 2);
    EXPECT_FALSE(b->IsLost());
    EXPECT_TRUE(a->IsLostAndRestore());
    EXPECT_EQ(restored, 2);
}

// A restore handler run from an end report hands the main thread a call (as a message does)
// while that frees another buffer: neither may wait for the other. It waits a second at most.
TEST_F(SoundTest, ARestoreHandlerWaitsForTheMainThreadWhileItFreesABuffer) {
    ASSERT_TRUE(Enable());
    TDSoundBuffer* lost = device->CreateBuffer(100);
    TDSoundBuffer* other = device->CreateBuffer(100);
    plat::Event ran{true, false};
    std::atomic<bool> asked{false}, served{false}, restored{false};
    lost->SetOnRestore([&](plat::TComponent*) {
        plat::MainQueue::Instance().Post([&] { ran.Set(); });
        asked = true;
        served = ran.WaitFor(1000);
    });
    device->Mixer()->LoseAll();
    PlayReporting(new TDSoundBuffer(device), 200,
                  [&](plat::TComponent*) { restored = device->RestoreAllBuffers(); });
    Render(200);
    ASSERT_TRUE(WaitFor([&] { return asked.load(); }));
    delete other;  // the walk passes over it
    EXPECT_TRUE(WaitFor([&] { return plat::MainQueue::Instance().Service(), restored.load(); }));
    EXPECT_TRUE(served.load());
    EXPECT_FALSE(lost->IsLost());
}

TEST_F(SoundTest, PositionalBufferFollowsItsPosition) {
    device->SetUse3D(true);
    ASSERT_TRUE(Enable());
    auto* b = new DirectX::TDSoundBuffer3D(device);
    ASSERT_TRUE(b->Create(1, 48000, 16, 200, false));
    std::vector<uint8_t> loud(200);
    for (size_t i = 0; i < loud.size(); i += 2) loud[i + 1] = 0x20;  // 8192
    b->WriteBuffer(0, loud.data(), 200);
    b->Play(true);
    auto out = Render(1);
    EXPECT_EQ(out[0], 8192);
    EXPECT_EQ(out[1], 8192);
    ASSERT_TRUE(b->SetPosition(2, 0, 0));  // the listener has no orientation yet: no side
    out = Render(1);
    EXPECT_EQ(out[0], 4096);
    EXPECT_EQ(out[1], 4096);
    EXPECT_FALSE(b->SetPan(0));
    delete b;
    DirectX::TDSoundBuffer3D never(device);
    EXPECT_FALSE(never.SetPosition(1, 1, 1));
}

}  // namespace
