#include "devices/crisofdec.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "devices/crisofdec_service.h"
#include "devices/display_fixture.h"
#include "devices/movie_fixture.h"
#include "foundation/zrmemman.h"
#include "pattern_movie.h"
#include "platform/audiooutput.h"
#include "platform/clock.h"
#include "platform/moviedecode.h"
#include "tempdir.h"
#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbpanel.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Finishes an open made without waiting as a waiting one does (the first picture awaited, then
// drawn), but without the waiting open's limit of three seconds of the machine's time, which a
// busy machine can take: the wait is tried again, a bounded number of times only so that a
// movie that never starts fails the test instead of hanging it.
bool Started(CriMovie& m, bool opened) {
    if (!opened) return false;
    for (int i = 0; i < 20; ++i) {
        if (m.WaitStart()) {
            m.Draw();
            return true;
        }
    }
    return false;
}

int ThreadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}

class GlueTest : public ::testing::Test {
  protected:
    void SetUp() override { output.Open(&mixer); }
    void TearDown() override {
        while (CriMwSystemCount() > 0) CriMwSystemFinish();
    }
    bool Start(bool sound = true) {
        return CriMwSystemInitAt(dir.Game(), sound ? &mixer : nullptr, bd32);
    }
    void Put(std::string name, const std::vector<uint8_t>& bytes) {
        std::replace(name.begin(), name.end(), '\\', '/');
        std::filesystem::create_directories(std::filesystem::path(dir.Host(name)).parent_path());
        std::ofstream(dir.Host(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    void PutMovie(const std::string& name, const MovieShape& shape) {
        Put(name, *MakeMovie(shape));
    }
    std::vector<uint8_t> Music(bool loop, double seconds, uint32_t loopStart = 0,
                               uint32_t loopEnd = 0) {
        const auto pcm = Tone(44100, 2, seconds);
        AdxEncodeOptions o;
        o.rate = 44100;
        o.loop = loop;
        o.loopStart = loopStart;
        o.loopEnd = loopEnd;
        return EncodeAdx(pcm.data(), static_cast<uint32_t>(pcm.size() / 2), o);
    }
    // Renders a period of sound, then draws until the decoder has caught up with the picture
    // `expected` (or, with none given, until nothing new comes); the number of the last picture
    // drawn, or -1 when none came.
    int NextPicture(CriMovie& m, uint32_t samples = 1600, int expected = -1) {
        if (samples) output.Render(samples);
        int got = -1;
        for (int i = 0; i < 250 && !m.IsEnd(); ++i) {
            if (m.Draw())
                got = static_cast<int>(plat::ReadFrameBars(m.Frame()->Bits(), m.Frame()->Pitch(),
                                                           32, m.Width(), m.Height()));
            else if (got >= (expected < 0 ? 0 : expected - 1) && i > 10)
                break;
            std::this_thread::sleep_for(2ms);
        }
        return got;
    }
    int32_t VoiceVolume(uint32_t voice) {
        int32_t v = 1;
        mixer.GetVolume(voice, &v);
        return v;
    }

    TempDir dir;
    plat::SoundMixer mixer;
    plat::ManualAudioOutput output;
    plat::TComponent owner;
};

}  // namespace

TEST_F(GlueTest, StartsNestAndTheLastFinishClosesEverything) {
    EXPECT_EQ(CriMwSystemCount(), 0);
    ASSERT_TRUE(Start());
    ASSERT_TRUE(Start());
    Put("BGM\\Track01.adx", Music(true, 1, 100, 30000));
    PutMovie("Movie\\A.sfd", {});
    const uint32_t music = CriMwSoundOpen("BGM\\Track01.adx", true);
    ASSERT_NE(music, 0u);
    CriMovie movie;
    ASSERT_TRUE(Started(movie, movie.Open(nullptr, false, "Movie\\A.sfd")));
    CriMwSystemFinish();
    EXPECT_EQ(CriMwSystemCount(), 1);
    EXPECT_TRUE(ThePlayback().Running());
    EXPECT_TRUE(CriMwSoundPlay(music));
    CriMwSystemFinish();
    EXPECT_EQ(CriMwSystemCount(), 0);
    EXPECT_EQ(ThePlayback().OpenCount(), 0);
    EXPECT_EQ(mixer.VoiceCount(), 0);  // no voice outlives the service
    EXPECT_FALSE(CriMwSoundIsPlay(music));
    EXPECT_TRUE(movie.IsEnd());
    CriMwSystemFinish();  // one too many does nothing
    EXPECT_EQ(CriMwSystemCount(), 0);
}

TEST_F(GlueTest, MusicVolumesPassInTenthsTruncatedTowardsZero) {
    ASSERT_TRUE(Start());
    Put("BGM\\Track01.adx", Music(false, 0.5));
    const uint32_t h = CriMwSoundOpen("BGM\\Track01.adx", false);
    ASSERT_NE(h, 0u);
    const uint32_t voice = ThePlayback().SoundVoice(h);
    for (auto [given, heard] :
         {std::pair{-6644, -6640}, {-5, 0}, {-1500, -1500}, {0, 0}, {-20000, -10000}}) {
        CriMwSoundSetVolume(h, given);
        EXPECT_EQ(VoiceVolume(voice), heard) << given;
    }
}

TEST_F(GlueTest, MusicPlaysToItsEndOrLoopsAndStaleHandlesDoNothing) {
    ASSERT_TRUE(Start());
    Put("BGM\\Track02.adx", Music(false, 0.2));
    Put("BGM\\Track01.adx", Music(true, 0.3, 2000, 12000));
    const uint32_t once =
        CriMwSoundOpen("BGM\\Track02.adx", true);  // no loop in the file: plays once
    const uint32_t looped = CriMwSoundOpen("BGM\\Track01.adx", true);
    ASSERT_NE(once, 0u);
    ASSERT_NE(looped, 0u);
    EXPECT_NE(once, looped);
    EXPECT_FALSE(CriMwSoundIsPlay(once));
    EXPECT_TRUE(CriMwSoundPlay(once));
    EXPECT_TRUE(CriMwSoundPlay(looped));
    EXPECT_TRUE(CriMwSoundIsPlay(once));
    const auto first = output.Render(4800);
    EXPECT_NE(std::count(first.begin(), first.end(), 0),
              static_cast<long>(first.size()));  // sound came out
    output.Render(48000);                        // a second: past the end of the short one
    EXPECT_FALSE(CriMwSoundIsPlay(once));
    EXPECT_TRUE(CriMwSoundIsPlay(looped));
    CriMwSystemExec();
    plat::VoiceStatus st;
    ASSERT_TRUE(mixer.GetStatus(ThePlayback().SoundVoice(once), &st));
    EXPECT_FALSE(st.playing);           // the service let go of the ended voice
    EXPECT_TRUE(CriMwSoundPlay(once));  // and plays it again from the start
    EXPECT_TRUE(CriMwSoundIsPlay(once));
    CriMwSoundStop(looped);
    EXPECT_FALSE(CriMwSoundIsPlay(looped));

    CriMwSoundClose(once);
    const int voices = mixer.VoiceCount();
    EXPECT_FALSE(CriMwSoundPlay(once));
    EXPECT_FALSE(CriMwSoundIsPlay(once));
    CriMwSoundSetVolume(once, -100);
    CriMwSoundStop(once);
    CriMwSoundClose(once);
    EXPECT_EQ(mixer.VoiceCount(), voices);
    const uint32_t again = CriMwSoundOpen("BGM\\Track02.adx", false);
    EXPECT_NE(again, once);  // handles are never handed out twice
    EXPECT_NE(again, looped);
}

TEST_F(GlueTest, MusicThatCannotBePlayedIsRefused) {
    ASSERT_TRUE(Start());
    auto bad = Music(false, 0.1);
    bad[7] = 3;
    Put("BGM\\Bad.adx", bad);
    // Over 64 MiB: a valid head in front of a sparse tail.
    Put("BGM\\Huge.adx", Music(false, 0.1));
    std::filesystem::resize_file(dir.Host("BGM/Huge.adx"), kMaxMusicBytes + 1);
    Put("BGM\\Empty.adx", {});
    for (const char* name : {"BGM\\Missing.adx", "BGM\\Bad.adx", "BGM\\Huge.adx", "BGM\\Empty.adx"})
        EXPECT_EQ(CriMwSoundOpen(name, true), 0u) << name;
    Put("BGM\\Track01.adx", Music(false, 0.1));
    EXPECT_NE(CriMwSoundOpen("bgm\\TRACK01.ADX", true),
              0u);  // letter case as on the game's file system
    CriMwSystemFinish();
    EXPECT_EQ(CriMwSoundOpen("BGM\\Track01.adx", true), 0u);  // the service is down
}

TEST_F(GlueTest, OpenEdgeCases) {
    ASSERT_TRUE(Start());
    TNyRGBPanel panel(&owner);
    CriMovie m;
    EXPECT_FALSE(m.Open(nullptr, false, "Movie\\Missing.sfd"));
    EXPECT_EQ(m.Handle(), 0u);
    EXPECT_TRUE(m.IsEnd());
    EXPECT_TRUE(m.IsStop());
    EXPECT_FALSE(m.IsPlay());
    EXPECT_FALSE(m.Draw());
    EXPECT_FALSE(m.WaitStart());

    // Files cut short of the head: the bytes that came are still parsed. The size stands in
    // the first seven bytes of the MPEG sequence header (start code 00 00 01 B3, then 12 bits
    // of width and 12 of height); a file cut inside them has no size, one cut after the whole
    // fixed header (12 bytes) has it. None holds a whole picture, so none opens.
    const auto full = MakeMovie({});
    const uint8_t code[4] = {0, 0, 1, 0xB3};
    const size_t seq = static_cast<size_t>(std::search(full->begin(), full->end(), code, code + 4) -
                                           full->begin());
    ASSERT_LT(seq + 12, size_t{20480});
    struct Cut {
        size_t bytes;
        int32_t width;
    };
    for (const Cut& c :
         {Cut{1, 0}, Cut{seq + 3, 0}, Cut{seq + 6, 0}, Cut{seq + 7, 160}, Cut{seq + 12, 160}}) {
        Put("Movie\\Cut.sfd",
            std::vector<uint8_t>(full->begin(), full->begin() + static_cast<long>(c.bytes)));
        EXPECT_FALSE(m.Open(nullptr, true, "Movie\\Cut.sfd")) << c.bytes;
        EXPECT_EQ(m.Handle(), 0u);
        EXPECT_EQ(m.Width(), c.width) << "the head was read from " << c.bytes << " bytes";
        EXPECT_EQ(m.Height(), c.width ? 96 : 0) << c.bytes;
    }
    Put("Movie\\Junk.sfd", std::vector<uint8_t>(30000, 0xB3));
    EXPECT_FALSE(m.Open(nullptr, false, "Movie\\Junk.sfd"));

    // A movie 1,000 pixels wide: the frame bitmap is 1,008 wide, the panel 1,000.
    PutMovie("Movie\\Wide.sfd", {1000, 16, 3, false});
    ASSERT_TRUE(Started(m, m.Open(&panel, false, "Movie\\Wide.sfd")));
    EXPECT_EQ(panel.GetSizeX(), 1000);
    EXPECT_EQ(panel.GetSizeY(), 16);
    ASSERT_NE(m.Frame(), nullptr);
    EXPECT_EQ(m.Frame()->Width(), 1008);
    EXPECT_EQ(panel.GetImage(), m.Frame());
    EXPECT_EQ(m.Frame()->PixFormat(), pf32_888);
    m.Close();
    EXPECT_EQ(panel.GetImage(), nullptr);
    EXPECT_EQ(m.Frame(), nullptr);

    // Without a panel, Draw succeeds and draws nothing.
    PutMovie("Movie\\A.sfd", {});
    ASSERT_TRUE(m.Open(nullptr, false, "Movie\\A.sfd"));
    EXPECT_TRUE(m.Draw());
}

// Started with a memory manager, the glue makes each movie's 20,480-byte head buffer and its
// frame bitmap through it, so the manager's records hold the frame while the movie is open.
TEST_F(GlueTest, HeadBuffersAndFramesGoThroughTheMemoryManager) {
    struct Added {
        std::vector<ZRMemPointer> records;
        void On(ZRMemMan*, ZRMemPointer p) { records.push_back(p); }
    } added;
    ZRMemMan mm;
    mm.OnAddPointer = ZRMemPointerCallback(&added, &Added::On);
    ASSERT_TRUE(CriMwSystemInitAt(dir.Game(), nullptr, bd32, &mm));
    PutMovie("Movie\\A.sfd", {});
    TNyRGBPanel panel(&owner);
    CriMovie m;
    ASSERT_TRUE(m.Open(&panel, false, "Movie\\A.sfd"));
    ASSERT_EQ(added.records.size(), 2u);
    EXPECT_EQ(added.records[0].kind, ZRMemMan::kBlock);
    EXPECT_EQ(added.records[0].size, 20480u);
    EXPECT_EQ(added.records[1].kind, ZRMemMan::kObject);
    EXPECT_EQ(added.records[1].pointer, reinterpret_cast<uintptr_t>(m.Frame()));
    ASSERT_EQ(mm.Count(), 1);  // the head buffer is freed once the head is read
    EXPECT_EQ(mm.Records()[0].pointer, reinterpret_cast<uintptr_t>(m.Frame()));
    m.Close();
    EXPECT_EQ(mm.Count(), 0);

    // Without a panel there is no frame; a missing file still takes and frees a head buffer.
    ASSERT_TRUE(m.Open(nullptr, false, "Movie\\A.sfd"));
    EXPECT_FALSE(m.Open(nullptr, false, "Movie\\Missing.sfd"));
    EXPECT_EQ(added.records.size(), 4u);
    EXPECT_EQ(mm.Count(), 0);
    CriMwSystemFinish();
}

TEST_F(GlueTest, VolumeAndSpeedReachTheMovieVoice) {
    ASSERT_TRUE(Start());
    PutMovie("Movie\\A.sfd", {});
    struct Case {
        int32_t volume, speed;
        int32_t heard;
        uint32_t hz;
    };
    for (const Case& c : {Case{-1500, 1000, -1500, 48000}, Case{-1505, 1000, -1500, 48000},
                          Case{0, 1000, 0, 48000}, Case{-1500, 2000, 0, 96000}}) {
        CriMovie m;
        ASSERT_TRUE(
            Started(m, m.OpenCore(nullptr, false, "Movie\\A.sfd", c.volume, c.speed, false)));
        const uint32_t voice = ThePlayback().MovieVoice(m.Handle());
        ASSERT_NE(voice, 0u);
        EXPECT_EQ(VoiceVolume(voice), c.heard) << c.volume;
        uint32_t hz = 0;
        mixer.GetFrequency(voice, &hz);
        EXPECT_EQ(hz, c.hz);
    }
}

TEST_F(GlueTest, PicturesFollowTheAudioClock) {
    ASSERT_TRUE(Start());
    PutMovie("Movie\\A.sfd", {160, 96, 45});
    TNyRGBPanel panel(&owner);
    CriMovie m;
    ASSERT_TRUE(Started(m, m.Open(&panel, false, "Movie\\A.sfd")));
    EXPECT_TRUE(m.IsPlay());
    EXPECT_EQ(plat::ReadFrameBars(m.Frame()->Bits(), m.Frame()->Pitch(), 32, 160, 96), 0u);
    const double latency = mixer.OutputLatency();
    uint64_t rendered = 0;
    int seen = 0;
    // Uneven periods, as a sound card's are.
    for (uint32_t step :
         {1600u, 800u, 2400u, 1600u, 3200u, 1600u, 1600u, 4800u, 1600u, 1600u, 800u, 1600u}) {
        rendered += step;
        const int named = static_cast<int>(std::max(0.0, (rendered - latency) / 48000.0 * 30));
        const int got = NextPicture(m, step, named);
        if (got < 0) continue;  // nothing new was due
        ++seen;
        EXPECT_LE(std::abs(got - named), 1) << "after " << rendered << " samples";
    }
    EXPECT_GE(seen, 8);
    for (int i = 0; i < 60 && !m.IsEnd(); ++i) NextPicture(m);
    CriMwSystemExec();
    EXPECT_TRUE(m.IsEnd());
    EXPECT_FALSE(m.IsPlay());
    EXPECT_FALSE(m.Draw());
}

TEST_F(GlueTest, WithoutSoundPicturesFollowASteadyClock) {
    ASSERT_TRUE(Start(false));
    PutMovie("Movie\\A.sfd", {160, 96, 60});
    TNyRGBPanel panel(&owner);
    CriMovie m;
    const auto before = Clock::now();
    ASSERT_TRUE(Started(
        m, m.OpenCore(&panel, false, "Movie\\A.sfd", 0, 2000, false)));  // twice normal speed
    const auto after = Clock::now();
    int got = -1;
    while (Clock::now() - after < 400ms) {
        if (m.Draw())
            got = static_cast<int>(
                plat::ReadFrameBars(m.Frame()->Bits(), m.Frame()->Pitch(), 32, 160, 96));
        std::this_thread::sleep_for(2ms);
    }
    const double lo = std::chrono::duration<double>(Clock::now() - after).count() * 60;
    got = std::max(got, NextPicture(m, 0));
    const double hi = std::chrono::duration<double>(Clock::now() - before).count() * 60;
    ASSERT_GE(got, 0);
    EXPECT_GE(got, static_cast<int>(lo) - 1);
    EXPECT_LE(got, static_cast<int>(hi) + 1);
}

// The game's millisecond clock is what a soundless movie follows: standing still, it shows no
// new picture however far its decoder runs; moved by hand, it shows exactly the picture due.
TEST_F(GlueTest, WithoutSoundPicturesFollowTheGamesMillisecondClock) {
    plat::ManualTicks ticks(0xFFFFFF00u);  // the 32-bit count wraps during the movie
    plat::SetTickSource(&ticks);
    struct Restore {
        ~Restore() { plat::SetTickSource(nullptr); }
    } restore;
    ASSERT_TRUE(Start(false));
    PutMovie("Movie\\A.sfd", {160, 96, 30});
    TNyRGBPanel panel(&owner);
    CriMovie m;
    ASSERT_TRUE(Started(
        m, m.OpenCore(&panel, false, "Movie\\A.sfd", 0, 2000, false)));  // twice normal speed
    const auto caughtUp = [] {
        const auto limit = Clock::now() + 60s;  // a hang guard: decoding goes at the machine's pace
        while (!ThePlayback().MoviesDecodedAhead(0) && Clock::now() < limit)
            std::this_thread::sleep_for(1ms);
        return ThePlayback().MoviesDecodedAhead(0);
    };
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(m.Draw()) << "the first picture stays while the clock stands";
    // Milliseconds moved, and the picture then due: 60 pictures a game second at twice speed.
    // No step is due more pictures than the decoder's queue holds before it waits for a draw.
    const struct {
        uint32_t ms;
        int picture;  // -1: nothing new is due
    } steps[] = {{17, 1}, {40, 3}, {50, 6}, {7, -1}, {45, 9}, {36, 11}};
    for (const auto& s : steps) {
        ticks.Advance(s.ms);
        ASSERT_TRUE(caughtUp());
        if (s.picture < 0) {
            EXPECT_FALSE(m.Draw()) << "after " << s.ms << " ms";
            continue;
        }
        ASSERT_TRUE(m.Draw()) << "after " << s.ms << " ms";
        EXPECT_EQ(plat::ReadFrameBars(m.Frame()->Bits(), m.Frame()->Pitch(), 32, 160, 96),
                  uint32_t(s.picture));
    }
    m.Close();
}

TEST_F(GlueTest, LoopingMoviesStartAgainAndNeverEnd) {
    ASSERT_TRUE(Start());
    PutMovie("Movie\\L.sfd", {160, 96, 10});
    TNyRGBPanel panel(&owner);
    CriMovie m;
    ASSERT_TRUE(m.OpenLoopVolume(&panel, 0, "Movie\\L.sfd", true));
    int last = 0, wraps = 0;
    for (int i = 0; i < 36; ++i) {
        const int got = NextPicture(m);
        if (got < 0) continue;
        if (got < last) ++wraps;
        last = got;
        EXPECT_LT(got, 10);
    }
    EXPECT_GE(wraps, 2);
    CriMwSystemExec();
    EXPECT_FALSE(m.IsEnd());
    EXPECT_TRUE(m.IsPlay());
}

TEST_F(GlueTest, StopAndCloseWakeTheWaitingDecoderAndLeaveNoThread) {
    ASSERT_TRUE(Start());
    PutMovie("Movie\\A.sfd", {160, 96, 90});
    int threads = 0;
    {
        CriMovie m;
        ASSERT_TRUE(Started(m, m.Open(nullptr, false, "Movie\\A.sfd")));
        std::this_thread::sleep_for(100ms);  // the queues fill; the decoder sleeps
        m.Stop();
        EXPECT_TRUE(m.IsStop());
        EXPECT_FALSE(m.IsPlay());
        TNyRGBBits bits(nullptr);
        bits.SetWidth(160);
        bits.SetHeight(96);
        ASSERT_TRUE(bits.Create());
        EXPECT_FALSE(m.DrawTo(&bits, 0, 0));
        ASSERT_TRUE(
            Started(m, m.Open(nullptr, false, "Movie\\A.sfd")));  // closes the stopped one first
        std::this_thread::sleep_for(100ms);
        // A decoder left asleep would hold the close for good; the limit only makes that a
        // failure, far above what a busy machine takes.
        const auto t0 = Clock::now();
        m.Close();
        EXPECT_LT(Clock::now() - t0, 30s);
        // Counted once a movie has come and gone: sanitizer runtimes start threads of their own.
        threads = ThreadCount();
    }
    for (int i = 0; i < 100; ++i) {
        CriMovie m;
        // A start that waits gives up after three seconds of the machine's time, which a busy
        // machine can take; given up or not, the movie and its threads must go with it.
        const bool wait = i % 2 == 0;
        const bool opened = m.Open(nullptr, wait, "Movie\\A.sfd");
        if (!wait) {
            ASSERT_TRUE(opened) << i;
        }
    }
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_EQ(ThePlayback().OpenCount(), 0);
    EXPECT_EQ(mixer.VoiceCount(), 0);
}

TEST_F(GlueTest, DrawToIsClippedToTheBitmapOnEverySide) {
    ASSERT_TRUE(Start(false));
    PutMovie("Movie\\A.sfd", {160, 96, 200, false});
    CriMovie m;
    // Looping and fast, so a new picture is due at every turn however slow the turns are.
    ASSERT_TRUE(Started(m, m.OpenCore(nullptr, true, "Movie\\A.sfd", 0, 30000, false)));
    for (ZRBitDepth depth : {bd24, bd32}) {
        TNyRGBBits bits(nullptr);
        bits.SetBitDepth(depth);
        bits.SetWidth(100);
        bits.SetHeight(60);
        ASSERT_TRUE(bits.Create());
        const int bpp = depth == bd24 ? 3 : 4;
        struct Place {
            int x, y;
        };
        for (Place p : {Place{-50, -30}, Place{80, 50}, Place{-159, 59}, Place{99, -95},
                        Place{1000, 0}, Place{-1000, -1000}, Place{0, 0}, Place{-30, 10}}) {
            std::memset(bits.Bits(), 0x7E, static_cast<size_t>(bits.Pitch()) * 60);
            bool drawn = false;
            for (int i = 0; i < 200 && !drawn; ++i) {
                drawn = m.DrawTo(&bits, p.x, p.y);
                if (!drawn) std::this_thread::sleep_for(1ms);
            }
            EXPECT_TRUE(drawn) << p.x << "," << p.y;
            // Outside the movie's place nothing changed; inside, the movie's dark background.
            for (int y = 0; y < 60; ++y)
                for (int x = 0; x < 100; ++x) {
                    const bool inside = x >= p.x && x < p.x + 160 && y >= p.y && y < p.y + 96;
                    const uint8_t b = bits.Bits()[y * bits.Pitch() + x * bpp];
                    if (!inside) {
                        ASSERT_EQ(b, 0x7E) << x << "," << y;
                    } else if (y - p.y < 20) {
                        ASSERT_LT(b, 0x40) << x << "," << y;
                    }
                }
        }
    }
}

// A movie panel in a tree, painted as the game paints its screens: a new picture that is
// painted whole, 1:1 and opaque goes straight into the destination, and what lands there must
// be byte for byte what the copy through the frame bitmap gives, wherever the panel sits,
// whatever covers it, at 24 and 32 bits and at sizes no vector fits.
TEST_F(GlueTest, PanelPaintsMatchTheCopyThroughTheFrameBitmap) {
    enum Cover { kNone, kSmallChild, kTopHalf };
    struct Case {
        int32_t width, height;
        ZRBitDepth frameDepth, targetDepth;
        int x, y;
        Cover cover;
        bool direct;  // the frame bitmap is left alone
    } cases[] = {
        {160, 96, bd32, bd32, 20, 10, kNone, true},
        {160, 96, bd24, bd24, 20, 10, kNone, true},
        {100, 58, bd32, bd32, -30, -20, kSmallChild, true},
        {98, 37, bd24, bd24, 250, 150, kSmallChild, true},
        {98, 37, bd32, bd32, 3, 5, kNone, true},
        {160, 96, bd32, bd32, 20, 10, kTopHalf, true},
        {160, 96, bd24, bd32, 20, 10, kNone, false},
        // Whole aligned rows that end where the destination ends: converted in place.
        {128, 48, bd32, bd32, 192, 152, kSmallChild, true},
        {128, 48, bd24, bd24, 192, 152, kNone, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << " at " << c.x << "," << c.y << " cover "
                     << c.cover << " frame " << (c.frameDepth == bd24 ? 24 : 32));
        ASSERT_TRUE(CriMwSystemInitAt(dir.Game(), nullptr, c.frameDepth));
        Put("Movie\\P.sfd", PatternMovie(c.width, c.height));
        const ZRPixFormat targetFormat = c.targetDepth == bd24 ? pf24_888 : pf32_888;
        TNyRGBPanel root(&owner);
        root.SetAutoSize(false);
        root.SetSizeX(320);
        root.SetSizeY(200);
        TNyRGBPanel moviePanel(&owner, &root);
        moviePanel.SetOffsetX(c.x);
        moviePanel.SetOffsetY(c.y);
        TNyRGBBits coverBits(nullptr);
        coverBits.SetBitDepth(c.frameDepth);
        coverBits.SetPixFormat(c.frameDepth == bd24 ? pf24_888 : pf32_888);
        coverBits.SetWidth(c.cover == kTopHalf ? c.width : 30);
        coverBits.SetHeight(c.cover == kTopHalf ? c.height / 2 : 20);
        ASSERT_TRUE(coverBits.Create());
        coverBits.BoxFill(0, 0, coverBits.Width() - 1, coverBits.Height() - 1, 0x00123456u);
        TNyRGBPanel cover(&owner, &moviePanel);
        cover.SetOffsetX(c.cover == kTopHalf ? 0 : 7);
        cover.SetOffsetY(c.cover == kTopHalf ? 0 : 9);
        cover.SetImage(&coverBits);
        cover.SetVisible(c.cover != kNone);
        root.AllCreate();

        CriMovie m;
        ASSERT_TRUE(Started(m, m.Open(&moviePanel, false, "Movie\\P.sfd")));
        TNyRGBBits* frame = moviePanel.GetImage();
        ASSERT_NE(frame, nullptr);
        TNyRGBBits direct(nullptr), copied(nullptr);
        for (TNyRGBBits* t : {&direct, &copied}) {
            t->SetBitDepth(c.targetDepth);
            t->SetPixFormat(targetFormat);
            t->SetWidth(320);
            t->SetHeight(200);
            ASSERT_TRUE(t->Create());
            std::memset(t->Bits(), 0x7E, static_cast<size_t>(t->Pitch()) * 200);
        }
        // The picture just taken, painted as a frame of the game paints the tree.
        root.Update(&direct, 0, 0);
        const int bpp = c.frameDepth == bd24 ? 3 : 4;
        const uint8_t* middle = frame->Bits() + c.height / 2 * frame->Pitch();
        const bool frameUntouched =
            std::all_of(middle, middle + c.width * bpp, [](uint8_t b) { return b == 0; });
        EXPECT_EQ(frameUntouched, c.direct);
        // A part of the same picture painted again, then the whole of it once more (by now
        // through the frame bitmap).
        moviePanel.SetModifyRect(ZRRect{5, 30, 60, 36});
        root.Update(&direct, 0, 0);
        const size_t bytes = static_cast<size_t>(direct.Pitch()) * 200;
        const std::vector<uint8_t> afterPart(direct.Bits(), direct.Bits() + bytes);
        moviePanel.SetModify();
        root.Update(&direct, 0, 0);
        // The same picture again, now through the frame bitmap.
        ASSERT_EQ(m.Frame(), frame);
        root.SetModify();
        root.Update(&copied, 0, 0);
        EXPECT_EQ(std::memcmp(afterPart.data(), copied.Bits(), bytes), 0);
        EXPECT_EQ(std::memcmp(direct.Bits(), copied.Bits(), bytes), 0);
        // And the movie did reach the destination.
        const int px = std::clamp(c.x + c.width - 2, 0, 319), py = std::clamp(c.y + 1, 0, 199);
        const bool shows = c.frameDepth == c.targetDepth && px >= c.x && py >= c.y &&
                           px < c.x + c.width && py < c.y + c.height;
        const uint8_t* p =
            direct.Bits() + py * direct.Pitch() + px * (c.targetDepth == bd24 ? 3 : 4);
        EXPECT_EQ(p[0] != 0x7E || p[1] != 0x7E, shows);
        m.Close();
        EXPECT_FALSE(moviePanel.OnDraw) << "the panel's draw hook goes with the movie";
        CriMwSystemFinish();
    }
}

TEST_F(GlueTest, AlphaMoviesReportHalfTheHeightAndDecodeTheirAlpha) {
    ASSERT_TRUE(Start());
    PutMovie("Battle\\Hit.sfd", {128, 64, 8, true, true});
    TNyRGBPanel panel(&owner);
    CriMovie m;
    ASSERT_TRUE(Started(m, m.Open(&panel, false, "Battle\\Hit.sfd")));
    EXPECT_TRUE(m.Alpha());
    EXPECT_EQ(m.Height(), 64);
    EXPECT_EQ(m.Frame()->PixFormat(), pf32_8888);
    EXPECT_EQ(panel.GetMaskMode(), 1);
    const uint8_t* row = m.Frame()->Bits() + 10 * m.Frame()->Pitch();
    EXPECT_LT(row[2 * 4 + 3], 24);     // alpha rises from left
    EXPECT_GT(row[125 * 4 + 3], 230);  // to right
    EXPECT_NEAR(row[64 * 4 + 3], 128, 16);
    EXPECT_EQ(plat::ReadFrameBars(m.Frame()->Bits(), m.Frame()->Pitch(), 32, 128, 64), 0u);
    m.Close();
    EXPECT_EQ(panel.GetMaskMode(), 0);
}

TEST_F(GlueTest, APictureSizeChangingMidFileIsScaledToTheHead) {
    ASSERT_TRUE(Start(false));
    auto first = *MakeMovie({160, 96, 10, false});
    const auto second = MakeMovie({320, 192, 20, false});
    first.pop_back();  // drop the end code between the two
    first.pop_back();
    first.pop_back();
    first.pop_back();
    first.insert(first.end(), second->begin(), second->end());
    Put("Movie\\Two.sfd", first);
    TNyRGBPanel panel(&owner);
    CriMovie m;
    ASSERT_TRUE(Started(m, m.OpenCore(&panel, false, "Movie\\Two.sfd", 0, 4000, false)));
    EXPECT_EQ(m.Width(), 160);
    int lastBars = -1;
    for (int i = 0; i < 2000 && !m.IsEnd(); ++i) {
        if (m.Draw())
            lastBars = static_cast<int>(
                plat::ReadFrameBars(m.Frame()->Bits(), m.Frame()->Pitch(), 32, 160, 96));
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_TRUE(m.IsEnd());
    // The larger part's late pictures (numbers 10 to 19, which the first part never reaches)
    // came through and still read, scaled to the head's size.
    EXPECT_GE(lastBars, 10);
}

TEST_F(GlueTest, WaitingForTheFirstPictureGivesUpAfterThreeSeconds) {
    ASSERT_TRUE(Start());
    // A source that delivers the head and then nothing, like a stalled drive.
    const auto movie = MakeMovie({160, 96, 30, false});
    std::filesystem::create_directories(dir.Host("Movie"));
    {
        // The head and the start of the first picture, then a padding packet longer than the
        // head the reader takes first.
        std::ofstream out(dir.Host("Movie/Stuck.sfd"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(movie->data()), 120);
        std::vector<char> padding(4 + 2 + 30000, '\xFF');
        padding[0] = 0, padding[1] = 0, padding[2] = 1, padding[3] = '\xBE';
        padding[4] = static_cast<char>(30000 >> 8), padding[5] = static_cast<char>(30000 & 0xFF);
        out.write(padding.data(), static_cast<std::streamsize>(padding.size()));
    }
    // The drive stalls at the end of what was written until the wait has returned (a minute at
    // most, so a wait that never gives up fails instead of hanging).
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> releasedInTime{true};
    plat::SetMovieReadHook([&](int64_t position) {
        if (position >= 120 + 30006 && released.wait_for(60s) != std::future_status::ready)
            releasedInTime = false;
    });
    const uint32_t h = ThePlayback().OpenMovie("Movie\\Stuck.sfd", false, 0, 1000);
    EXPECT_NE(h, 0u);
    const auto t0 = Clock::now();
    ThePlayback().WaitStart(h);
    const auto waited = Clock::now() - t0;
    const bool playing = ThePlayback().MovieIsPlay(h);
    release.set_value();
    ThePlayback().CloseMovie(h);
    plat::SetMovieReadHook({});
    EXPECT_TRUE(releasedInTime.load()) << "the wait did not give up while the source stalled";
    EXPECT_GE(waited, 3s);
    EXPECT_FALSE(playing);
}

// The movie scene draws straight into the display's draw surface, which hands out its pixels
// only while locked.
TEST_F(DisplayTest, MoviesDrawStraightIntoTheDisplaysDrawSurface) {
    ASSERT_TRUE(Enable(0));
    TempDir dir;
    const auto movie = MakeMovie({160, 96, 30, false});
    std::ofstream(dir.Host("m.sfd"), std::ios::binary)
        .write(reinterpret_cast<const char*>(movie->data()),
               static_cast<std::streamsize>(movie->size()));
    ASSERT_TRUE(CriMwSystemInitAt(dir.Game(), nullptr, bd32));
    {
        CriMovie m;
        ASSERT_TRUE(Started(m, m.Open(nullptr, false, "m.sfd")));
        DirectX::TDSurface* surface = device->DrawSurface();
        ASSERT_FALSE(surface->Locked());
        bool drawn = false;
        for (int i = 0; i < 200 && !drawn; ++i) {
            drawn = m.DrawTo(surface, 100, 50);
            if (!drawn) std::this_thread::sleep_for(2ms);
        }
        EXPECT_TRUE(drawn);
        EXPECT_FALSE(surface->Locked());
        const auto pixels = Drawn();
        std::vector<uint32_t> picture(160 * 96);
        for (int y = 0; y < 96; ++y)
            std::memcpy(&picture[y * 160], &pixels[(y + 50) * surface->Width() + 100], 160 * 4);
        EXPECT_LT(plat::ReadFrameBars(reinterpret_cast<const uint8_t*>(picture.data()), 160 * 4, 32,
                                      160, 96),
                  30u);
        EXPECT_EQ(pixels[40 * surface->Width() + 100], 0u);  // above the movie: untouched
    }
    CriMwSystemFinish();
}
