#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <future>
#include <thread>

#include "devices/nydsound.h"
#include "media/soundfixtures.h"
#include "media/zrlwavestream.h"
#include "sound_fixture.h"
#include "wait_for.h"

namespace {

using DirectX::TDSoundStream;

// 8 kHz mono 16-bit: one block of the ring is 16,000 bytes and each source frame lasts six
// output frames, so output frame 6k is source frame k exactly.
constexpr uint32_t kRate = 8000;

std::vector<int16_t> Counting(uint32_t frames) {
    std::vector<int16_t> s(frames);
    for (uint32_t i = 0; i < frames; ++i) s[i] = static_cast<int16_t>(i % 30000 + 1);
    return s;
}

// Output frame 6k holds source frame `heard(k)`. The mixer's step is a hair short of a sixth,
// so where the source jumps (a wrap of the count, or of a loop) a trace of the frame before
// shows; elsewhere the frames must match exactly.
template <typename Heard>
void ExpectHeard(const std::vector<int16_t>& out, const std::vector<int16_t>& src, uint32_t frames,
                 Heard heard) {
    ASSERT_GE(out.size(), 2 * 6 * static_cast<size_t>(frames));
    for (uint32_t k = 0; k < frames; ++k) {
        const int want = src[heard(k)];
        const int jump = k > 0 ? std::abs(src[heard(k - 1)] - want) : 0;
        ASSERT_LE(std::abs(out[2 * 6 * k] - want), jump / 1000) << k;
    }
}

class StreamTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        ASSERT_TRUE(Enable());
    }
    // Renders in tenths of a second of output. What the notification thread then owes (an end
    // report, a stop) the test waits for itself.
    std::vector<int16_t> Play(uint32_t seconds10) {
        std::vector<int16_t> all;
        for (uint32_t i = 0; i < seconds10; ++i) {
            auto out = Render(4800);
            all.insert(all.end(), out.begin(), out.end());
        }
        return all;
    }
    // Plays a stream begun at the start of its ring in tenths of a second, `from` of them
    // already played. Each step that takes the cursor into a block waits for what the
    // notification thread owes that entry: the refill of the block two ahead, whose start then
    // moves, or the stop at the end. The start is read before the step, so a refill that comes
    // at once is seen too; a refill that left the start where it was would hang the wait,
    // which the tests' sources are cut to avoid.
    std::vector<int16_t> PlayInStep(TDSoundStream* s, uint32_t seconds10, uint32_t from = 0) {
        std::vector<int16_t> all;
        for (uint32_t m = from + 1; m <= from + seconds10; ++m) {
            const bool entry = (m - 1) % 10 == 0;
            const int ahead = static_cast<int>(((m - 1) / 10 + 2) % 4);
            const uint32_t before = s->GetBlockStart(ahead);
            auto out = Render(4800);
            all.insert(all.end(), out.begin(), out.end());
            if (!entry) continue;
            EXPECT_TRUE(WaitFor([&] { return s->GetBlockStart(ahead) != before || !s->IsPlay(); }))
                << m;
        }
        return all;
    }
    // The source lives as long as the test, past the stream made over it.
    TDSoundStream* Open(const std::vector<int16_t>& samples) {
        wave = fixtures::PcmWave(1, kRate, 16, fixtures::ToBytes(samples));
        source = std::make_unique<ZRMemoryStream>(wave.data(), static_cast<int>(wave.size()));
        return device->CreateStreamFromWave(source.get(), false, false);
    }

    fixtures::Bytes wave;
    std::unique_ptr<ZRStream> source;
};

TEST_F(StreamTest, RingHoldsFourSecondsInFourBlocks) {
    auto* s = new TDSoundStream(device, 2, 48000, 16, false, false);
    EXPECT_TRUE(s->IsCreated());
    EXPECT_EQ(s->GetLength(), 768000u);
    EXPECT_FALSE(s->Play(false));  // no source
    EXPECT_EQ(s->GetStreamSize(), 0u);
    delete s;
    auto* bad = new TDSoundStream(device, 3, 48000, 16, false, false);
    EXPECT_FALSE(bad->IsCreated());
    delete bad;
}

TEST_F(StreamTest, ShortSourceEndsWhenTheCursorReachesTheSecondBlock) {
    TDSoundStream* s = Open(Counting(4000));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetLength(), 64000u);
    std::atomic<int> ends{0};
    s->SetOnNotify([&](plat::TComponent*) { ++ends; });
    ASSERT_TRUE(s->Play(false));
    EXPECT_TRUE(s->GetBlockEnd(1));
    EXPECT_EQ(s->GetBlockStart(0), 0u);
    auto out = Play(12);
    for (uint32_t k = 0; k < 4000; k += 97) ASSERT_EQ(out[2 * 6 * k], k + 1) << k;
    EXPECT_EQ(out[2 * 6 * 4001], 0);
    EXPECT_TRUE(Eventually([&] { return ends.load() == 1; }));
    EXPECT_FALSE(s->IsPlay());
}

TEST_F(StreamTest, LongSourceIsRefilledBlockByBlockAheadOfTheCursor) {
    const auto src = Counting(kRate * 7 / 2);  // 3.5 s: every block is refilled at least once
    TDSoundStream* s = Open(src);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetStreamSize(), src.size() * 2);
    std::atomic<int> ends{0};
    s->SetOnNotify([&](plat::TComponent*) { ++ends; });
    ASSERT_TRUE(s->Play(false));
    EXPECT_EQ(s->GetBlockStart(1), 16000u);
    auto out = PlayInStep(s, 5);
    EXPECT_NEAR(static_cast<double>(s->GetPosition()), 0.5 * kRate * 2, 2 * 6);
    auto rest = PlayInStep(s, 40, 5);
    out.insert(out.end(), rest.begin(), rest.end());
    for (uint32_t k = 0; k < src.size(); ++k) ASSERT_EQ(out[2 * 6 * k], src[k]) << k;
    for (size_t i = 2 * 6 * (src.size() + 1); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
    EXPECT_TRUE(Eventually([&] { return ends.load() == 1; }));

    // Stopped by the caller: no end report, and a late position event refills nothing.
    ASSERT_TRUE(s->Play(false));
    PlayInStep(s, 3);
    ASSERT_TRUE(s->Stop());
    const uint32_t before = s->GetBlockStart(2);
    s->StreamCallBack(nullptr, 1);
    EXPECT_EQ(s->GetBlockStart(2), before);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(ends.load(), 1);
}

TEST_F(StreamTest, LoopingStreamWrapsAndCountsItsPositionFromTheLoopStart) {
    // Three blocks long, so that no refill starts where the one four blocks before did.
    const auto src = Counting(kRate * 3);
    TDSoundStream* s = Open(src);
    ASSERT_NE(s, nullptr);
    s->SetLoopPoint(4000, 4000 + 63999);  // shorter than the ring: no loop end
    EXPECT_EQ(s->GetLoopStart(), 4000u);
    EXPECT_EQ(s->GetLoopEnd(), 0u);
    s->SetLoopPoint(0);
    ASSERT_TRUE(s->Play(true));
    auto out = PlayInStep(s, 50);
    for (uint32_t k = 0; k < 5 * kRate - 1; k += 13) ASSERT_EQ(out[2 * 6 * k], src[k % src.size()]) << k;
    EXPECT_LT(s->GetPosition(), src.size() * 2);
    s->SetLoopPoint(1 << 30);  // past the end: back to 0
    EXPECT_EQ(s->GetLoopStart(), 0u);
}

TEST_F(StreamTest, InnerLoopPlaysEverySampleAcrossTheWrapAndCountsFromTheLoopStart) {
    const auto src = Counting(kRate * 8);
    TDSoundStream* s = Open(src);
    ASSERT_NE(s, nullptr);
    // Frames 10,000 to 50,000: five seconds, longer than the ring.
    s->SetLoopPoint(20000, 100000);
    ASSERT_EQ(s->GetLoopEnd(), 100000u);
    auto heard = [](uint32_t k) { return k < 50000 ? k : 10000 + (k - 50000) % 40000; };
    ASSERT_TRUE(s->Play(true));
    std::vector<int16_t> out;
    for (uint32_t n = 1; n <= 130; ++n) {  // two wraps
        auto part = PlayInStep(s, 1, n - 1);
        out.insert(out.end(), part.begin(), part.end());
        ASSERT_NEAR(static_cast<double>(s->GetPosition()), 2.0 * heard(800 * n), 2 * 6) << n;
    }
    ExpectHeard(out, src, 130 * 800, heard);
}

// A wave source that holds the first access made from another thread than the test's until
// the test lets it go. The handshake is relaxed on purpose: it must not order the stream's
// own accesses, so that ThreadSanitizer judges those alone.
class HeldSource : public ZRMemoryStream {
  public:
    explicit HeldSource(const fixtures::Bytes& d)
        : ZRMemoryStream(d.data(), static_cast<int>(d.size())) {}
    int Read(void* b, int n) override {
        Hold();
        return ZRMemoryStream::Read(b, n);
    }
    int Seek(int offset, ZRSeekWhence whence) override {
        Hold();
        return ZRMemoryStream::Seek(offset, whence);
    }
    std::atomic<bool> held{false}, go{false};

  private:
    void Hold() {
        if (std::this_thread::get_id() == test_ || go.load(std::memory_order_relaxed)) return;
        held.store(true, std::memory_order_relaxed);
        while (!go.load(std::memory_order_relaxed)) std::this_thread::yield();
    }
    const std::thread::id test_ = std::this_thread::get_id();
};

TEST_F(StreamTest, LoopPointsAndPositionAreReadAndSetWhileARefillWraps) {
    const auto src = Counting(kRate * 2);  // the first refill wraps at once
    wave = fixtures::PcmWave(1, kRate, 16, fixtures::ToBytes(src));
    HeldSource held(wave);
    TDSoundStream* s = device->CreateStreamFromWave(&held, false, false);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->Play(true));
    auto out = Render(4800);  // into the first block: its refill is held
    // The notification thread is inside the wrapping refill.
    ASSERT_TRUE(WaitFor([&] { return held.held.load(std::memory_order_relaxed); }));
    EXPECT_NEAR(static_cast<double>(s->GetPosition()), 1600.0, 2 * 6);
    s->SetLoopPoint(8000, 8000 + 64000);
    held.go.store(true, std::memory_order_relaxed);
    auto rest = PlayInStep(s, 49, 1);
    out.insert(out.end(), rest.begin(), rest.end());
    // The refill under way finishes its pass from the old start; the next wrap takes the new.
    auto heard = [](uint32_t k) { return k < 32000 ? k % 16000 : 4000 + (k - 32000) % 12000; };
    ExpectHeard(out, src, 5 * kRate, heard);
}

// Restarting or seeking a playing sound stops it and plays it again at once: never an end
// report. The notification thread is held in the report of a first end meanwhile, so that it
// finds every stop signal only after the sound plays again. Played out, the sound reports
// once more.
TEST_F(StreamTest, RestartsAndSeeksAreNotEnds) {
    for (bool stream : {false, true}) {
        SCOPED_TRACE(stream ? "stream" : "buffer");
        DirectX::TCustomDSoundBuffer* sound = nullptr;
        if (stream) {
            sound = Open(Counting(kRate));
        } else {
            auto* b = new DirectX::TDSoundBuffer(device);
            sound = b;
            b->SetOnNotify([](plat::TComponent*) {});
            b->Create(1, kRate, 16, 2 * kRate, false, false);
        }
        ASSERT_TRUE(sound && sound->IsCreated());
        std::atomic<int> ends{0};
        std::promise<void> go;
        std::shared_future<void> gate = go.get_future().share();
        sound->SetOnNotify([&, gate](plat::TComponent*) {
            if (++ends == 1) gate.wait();
        });
        ASSERT_TRUE(sound->Play(false));
        Play(25);
        ASSERT_TRUE(Eventually([&] { return ends.load() == 1; }));
        ASSERT_TRUE(sound->Play(false));
        for (int i = 0; i < 50; ++i) {
            Render(480);
            ASSERT_TRUE(sound->Play(false));
        }
        for (int i = 0; stream && i < 50; ++i) {
            Render(480);
            ASSERT_TRUE(static_cast<TDSoundStream*>(sound)->Seek(static_cast<uint32_t>(i) * 200));
        }
        go.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_EQ(ends.load(), 1);
        Play(25);
        EXPECT_TRUE(Eventually([&] { return ends.load() == 2; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_EQ(ends.load(), 2);
        delete sound;
    }
}

// The sound card's thread collects a mix's signals under the mixer's lock and runs them after
// it, so a Play may come in between. Each sound plays into its second block (or past its end),
// is played again, and only then gets the first play's signals, which its notification thread
// acts on whenever it wakes (here at once, on this thread, as well). Nothing of the first play
// may reach the second: no end report, no stop, no refill; the second is heard whole and ends
// once.
TEST_F(StreamTest, SignalsCollectedBeforeARestartAreNotTakenForIt) {
    struct Row {
        const char* name;
        bool stream;
        uint32_t frames;
    };
    for (const Row& row :
         {Row{"half-second sound", false, kRate / 2}, Row{"half-second stream", true, kRate / 2},
          Row{"3.5 s stream", true, kRate * 7 / 2}}) {
        SCOPED_TRACE(row.name);
        const auto src = Counting(row.frames);
        DirectX::TCustomDSoundBuffer* sound = nullptr;
        if (row.stream) {
            sound = Open(src);
        } else {
            auto* b = new DirectX::TDSoundBuffer(device);
            sound = b;
            b->SetOnNotify([](plat::TComponent*) {});
            const auto bytes = fixtures::ToBytes(src);
            b->Create(1, kRate, 16, static_cast<uint32_t>(bytes.size()), false, false);
            b->WriteBuffer(0, bytes.data(), static_cast<uint32_t>(bytes.size()));
        }
        ASSERT_TRUE(sound && sound->IsCreated());
        std::atomic<int> ends{0};
        sound->SetOnNotify([&](plat::TComponent*) { ++ends; });
        ASSERT_TRUE(sound->Play(false));
        std::vector<plat::SignalFn> fired;
        RenderHeld(49000, &fired);  // one second and a little, at six output frames a frame
        ASSERT_FALSE(fired.empty());
        ASSERT_TRUE(sound->Play(false));
        plat::SoundMixer::Signal(fired);
        auto* s = row.stream ? static_cast<TDSoundStream*>(sound) : nullptr;
        if (s) {
            s->StreamCallBack(nullptr, 1);
            s->StreamCallBack(nullptr, 2);
            EXPECT_EQ(s->GetBlockStart(2), 0u);
            EXPECT_EQ(s->GetBlockStart(3), 0u);
        } else {
            static_cast<DirectX::TDSoundBuffer*>(sound)->NotifyCallBack(nullptr, 0);
        }
        EXPECT_TRUE(sound->IsPlay());
        EXPECT_EQ(ends.load(), 0);

        const uint32_t steps = (row.frames * 10 + kRate - 1) / kRate + 11;
        std::vector<int16_t> out;
        if (s) {
            out = PlayInStep(s, steps);
        } else {
            // With its end collected, the thread may wake twice for it: for the first play's
            // signal, read only now, and for its own.
            std::vector<plat::SignalFn> last;
            out = RenderHeld(steps * 4800, &last);
            static_cast<DirectX::TDSoundBuffer*>(sound)->NotifyCallBack(nullptr, 0);
            static_cast<DirectX::TDSoundBuffer*>(sound)->NotifyCallBack(nullptr, 0);
            plat::SoundMixer::Signal(last);
        }
        for (uint32_t k = 0; k < src.size(); ++k) ASSERT_EQ(out[2 * 6 * k], src[k]) << k;
        for (size_t i = 2 * 6 * (src.size() + 1); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
        EXPECT_TRUE(WaitFor([&] { return ends.load() == 1; }));
        EXPECT_FALSE(sound->IsPlay());
        delete sound;
        EXPECT_EQ(ends.load(), 1);
    }
}

// Freeing a sound from its own end report is the usual way to let it go.
TEST_F(StreamTest, ASoundMayDeleteItselfFromItsEndReport) {
    for (bool stream : {false, true}) {
        SCOPED_TRACE(stream ? "stream" : "buffer");
        DirectX::TCustomDSoundBuffer* sound = nullptr;
        if (stream) {
            sound = Open(Counting(kRate / 2));
        } else {
            auto* b = new DirectX::TDSoundBuffer(device);
            sound = b;
            b->SetOnNotify([](plat::TComponent*) {});
            b->Create(1, kRate, 16, kRate, false, false);
        }
        ASSERT_TRUE(sound && sound->IsCreated());
        const int count = device->BufferCount();
        std::atomic<bool> gone{false};
        sound->SetOnNotify([&](plat::TComponent* sender) {
            delete sender;
            gone = true;
        });
        ASSERT_TRUE(sound->Play(false));
        Play(15);
        ASSERT_TRUE(Eventually([&] { return gone.load(); }));
        EXPECT_EQ(device->BufferCount(), count - 1);
    }
}

TEST_F(StreamTest, SeekMovesASeekableSourceAndRestartsAForwardOne) {
    TDSoundStream* s = Open(Counting(kRate * 3));
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->Seek(1000));
    EXPECT_EQ(s->GetBlockStart(0), 1000u);
    EXPECT_EQ(Render(1)[0], 501);
    s->Stop();

    const auto ogg = fixtures::EncodeVorbis(fixtures::Tone(kRate * 3, 1, kRate), 1, kRate);
    fixtures::ForwardStream forward(ogg);
    TDSoundStream* f = device->CreateStreamFromOgg(&forward, false, false);
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(f->Play(false));
    ASSERT_TRUE(f->Seek(1000));
    EXPECT_EQ(f->GetBlockStart(0), 0u);
    EXPECT_EQ(f->GetBlockStart(1), 16000u);
    delete f;
}

TEST_F(StreamTest, ReleasedWithItsSourceOpenAndFromAClassLibraryStream) {
    plat::TMemoryStream mem;
    const auto w = fixtures::PcmWave(1, kRate, 16, fixtures::ToBytes(Counting(kRate)));
    mem.Write(w.data(), static_cast<int32_t>(w.size()));
    mem.SetPosition(0);
    TDSoundStream* s = device->CreateStreamFromWave(&mem, false, false);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->Play(true));
    Play(2);
    delete s;  // joins the thread, then lets go of the decoder and the adapter it made
    EXPECT_EQ(device->CreateStreamFromWave(static_cast<ZRStream*>(nullptr), false, false),
              nullptr);
    fixtures::Bytes junk(64, 7);
    ZRMemoryStream bad(junk.data(), 64);
    EXPECT_EQ(device->CreateStreamFromOgg(&bad, false, false), nullptr);
}

TEST_F(StreamTest, OggFactoriesDecodeWholeSoundsIntoPlainBuffers) {
    const auto tone = fixtures::Tone(22050, 1, 22050);
    const auto ogg = fixtures::EncodeVorbis(tone, 1, 22050);
    ZRMemoryStream src(ogg.data(), static_cast<int>(ogg.size()));
    DirectX::TDSoundBuffer* b = device->CreateBufferFromOgg(&src, true, true, true);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetLength(), 44100u);
    EXPECT_EQ(b->GetChannels(), 1);
    EXPECT_EQ(b->GetSamplesPerSec(), 22050u);
    EXPECT_FALSE(b->GetPanEnabled());
    EXPECT_FALSE(b->GetFreqEnabled());
    EXPECT_FALSE(b->GetStaticFlag());
    // The same open source decodes again for the next buffer.
    DirectX::TDSoundBuffer* again = device->CreateBufferFromOgg(&src, false, false, false);
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(b->Play(false));
    auto out = Render(48010);  // one second and the step past its last frame
    EXPECT_GT(fixtures::Rms(out), 4000.0);
    EXPECT_FALSE(b->IsPlay());

    auto* b3 = device->CreateBuffer3DFromOgg(&src, true);
    ASSERT_NE(b3, nullptr);
    EXPECT_TRUE(b3->GetStaticFlag());
    EXPECT_TRUE(b3->SetPosition(0, 0, 3));

    TDSoundStream* st = device->CreateStreamFromOgg(&src, false, false);
    ASSERT_NE(st, nullptr);
    EXPECT_EQ(st->GetLength(), 4u * 44100u);
    EXPECT_EQ(st->GetStreamSize(), 44100u);

    const auto empty = fixtures::PcmWave(1, 22050, 16, {});
    ZRMemoryStream none(empty.data(), static_cast<int>(empty.size()));
    EXPECT_EQ(device->CreateBufferFromWave(&none, false, false, false), nullptr);
}

TEST_F(StreamTest, PositionalStreamMakesAPositionalRing) {
    auto* s = new DirectX::TDSoundStream3D(device, 1, kRate, 16, false);
    EXPECT_TRUE(s->IsCreated());
    EXPECT_TRUE(s->SetPosition(1, 2, 3));
    s->Release();
    EXPECT_FALSE(s->SetPosition(1, 2, 3));
    delete s;
}

}  // namespace
