// The main window's audio channels in lock step: the sound device mixes only when the test
// renders, frames run only when the test steps them, and every loudness is read back from the
// mixer's voices.
#include <climits>

#include "devices/crisofdec.h"
#include "devices/crisofdec_service.h"
#include "form_harness.h"
#include "game/gamefunc_volume.h"
#include "media/soundfixtures.h"
#include "media/zradx.h"
#include "platform/audiooutput.h"

namespace {

using DirectX::TDSoundBuffer;

// A short tone as an Ogg Vorbis file: 0.2 s of mono at 22,050 Hz.
std::string ShortOgg() {
    static const std::string bytes = [] {
        const fixtures::Bytes b = fixtures::EncodeVorbis(fixtures::Tone(4410, 1, 22050), 1, 22050);
        return std::string(b.begin(), b.end());
    }();
    return bytes;
}

// Half a second of mono ADX at 22,050 Hz, looped over its second half or not looped.
std::string ShortAdx(bool loop) {
    const std::vector<int16_t> tone = fixtures::Tone(11025, 1, 22050);
    AdxEncodeOptions o;
    o.channels = 1;
    o.rate = 22050;
    o.loop = loop;
    o.loopStart = loop ? 5504 : 0;
    o.loopEnd = loop ? 11008 : 0;
    const std::vector<uint8_t> b = EncodeAdx(tone.data(), 11025, o);
    return std::string(b.begin(), b.end());
}

class AudioTest : public FormHarness {
  protected:
    void SetUp() override {
        FormHarness::SetUp();
        plat::SetAudioOutputFactory([this] {
            auto o = std::make_unique<plat::ManualAudioOutput>();
            output = o.get();
            return std::unique_ptr<plat::AudioOutput>(std::move(o));
        });
        WriteData();
        for (const char* name : {"Voice", "Voice2", "SE", "Env", "SysSE_OK", "SysSE_Cancel",
                                 "SysSE_Error", "SysSE_Cursor", "SysSE_Open"})
            dir.Write(std::string("scr_c_Pak/") + name + ".ogg", ShortOgg());
        std::filesystem::create_directories(dir.Host("BGM"));
        for (int track : {5, 6, 7}) WriteTrack(track, track != 7);
    }
    void WriteTrack(int track, bool loop) {
        char name[32];
        std::snprintf(name, sizeof name, "BGM/Track%02d.adx", track);
        dir.Write(name, ShortAdx(loop));
    }
    void TearDown() override {
        FormHarness::TearDown();
        plat::SetAudioOutputFactory(nullptr);
    }

    // Runs n frames of one tick each.
    void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            Tick(1);
            form->FrameStep();
        }
    }
    // Mixes past the end of every short sound.
    void PlayOut() { output->Render(48000); }
    int Voices() { return output->Mixer()->VoiceCount(); }
    // The level of the music stream in a slot as the mixer applies it; 1 when there is none.
    int32_t MusicLevel(int slot) {
        int32_t v = 1;
        const uint32_t voice = ThePlayback().SoundVoice(form->BGMHandle[slot]);
        if (voice) output->Mixer()->GetVolume(voice, &v);
        return v;
    }
    // What the music stream of a percentage sounds at: the service takes tenths of a decibel.
    static int32_t MusicAt(int32_t percent) { return VolumeToDecibel(percent) / 10 * 10; }

    plat::ManualAudioOutput* output = nullptr;
};

TEST(VolumeCurve, PercentToHundredthsOfADecibel) {
    struct Row {
        int32_t percent, master, level;
    };
    const Row rows[] = {
        {100, 100, 0},         {95, 100, -76},
        {50, 100, -1000},      {45, 100, -1161},
        {10, 100, -3322},      {1, 100, -6311},
        {0, 100, -10000},      {-5, 100, -10000},
        {150, 100, 0},         {80, 50, -1322},
        {90, 50, -1161},       {1, 99, -10000},
        {INT_MAX, INT_MAX, 0}, {INT_MIN, INT_MAX, -10000},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.percent) + " of " + std::to_string(r.master));
        EXPECT_EQ(ScaledVolumeToDecibel(r.percent, r.master), r.level);
        if (r.master == 100) {
            EXPECT_EQ(VolumeToDecibel(r.percent), r.level);
        }
    }
}

TEST_F(AudioTest, VolumeSettersKeepTheirValueWhenGivenOneOutsideTheRange) {
    Start();
    using Set = void (*)(TGameForm&, int32_t);
    using Field = int32_t& (*)(TGameForm&);
    struct Row {
        const char* name;
        Set set;
        Field field;
    };
#define ROW(setter, member)                                                                      \
    Row {                                                                                        \
#member, [](TGameForm & f,                                                               \
                    int32_t v) { f.setter(v); },                                                 \
                                              [](TGameForm & f) -> int32_t& { return f.member; } \
    }
    const Row rows[] = {
        ROW(SetVolumeBGM, VolumeBGM),   ROW(SetVolumeVoice, VolumeVoice),
        ROW(SetVolumeSE, VolumeSE),     ROW(SetVolumeRear, VolumeRear),
        ROW(SetBGMVol, SceneBGMVolume), ROW(SetVoiceVol, SceneVoiceVolume),
        ROW(SetSEVol, SceneSEVolume),   ROW(SetEnvVol, SceneEnvVolume),
        ROW(SetRainVol, RainVolume),
    };
#undef ROW
    const int32_t kept[] = {0, 100, 37};
    const int32_t refused[] = {101, -1, INT_MIN};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        for (int32_t v : kept) {
            r.set(*form, v);
            EXPECT_EQ(r.field(*form), v);
        }
        for (int32_t v : refused) {
            r.set(*form, v);
            EXPECT_EQ(r.field(*form), 37);
        }
    }
    EXPECT_EQ(form->GetVolumeBGM(), 37);
    EXPECT_EQ(form->GetVolumeVoice(), 37);
    EXPECT_EQ(form->GetVolumeSE(), 37);
}

// Which volume reaches a voice or SE: its channel's own, or the rear volume for a sound whose
// second position value is above 0, times the scene volume.
TEST_F(AudioTest, VoiceAndSELevelsFollowTheirChannelOrTheRearVolume) {
    enum Knob { Own, Rear, Scene };
    struct Row {
        const char* name;
        bool se;
        int32_t second;
        Knob knob;
        int32_t value;
        int32_t before, after;
    };
    const Row rows[] = {
        {"voice, own volume", false, 0, Own, 50, 0, -1000},
        {"voice ignores rear", false, 0, Rear, 10, 0, 0},
        {"voice scene", false, 0, Scene, 45, 0, -1161},
        {"rear voice ignores own", false, 1, Own, 50, -152, -152},
        {"rear voice, rear volume", false, 1, Rear, 40, -152, -1322},
        {"rear voice scene", false, 1, Scene, 50, -152, -1161},
        {"SE, own volume", true, 0, Own, 30, -322, -1737},
        {"SE scene", true, 0, Scene, 50, -322, -1322},
        {"rear SE ignores own", true, 1, Own, 30, -152, -152},
        {"rear SE, rear volume", true, 1, Rear, 20, -152, -2322},
        {"negative second is not rear", true, -1, Rear, 20, -322, -322},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Start();
        const bool ok = r.se ? form->PlaySEEx(GameFileMan, "SE", 0, r.second)
                             : form->PlayVoiceEx(GameFileMan, "Voice", 0, r.second);
        ASSERT_TRUE(ok);
        TDSoundBuffer* b = r.se ? form->SEBuffer : form->VoiceBuffer;
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->GetVolume(), r.before);
        if (r.knob == Rear) form->SetVolumeRear(r.value);
        if (r.knob == Own) r.se ? form->SetVolumeSE(r.value) : form->SetVolumeVoice(r.value);
        if (r.knob == Scene) r.se ? form->SetSEVol(r.value) : form->SetVoiceVol(r.value);
        EXPECT_EQ(b->GetVolume(), r.after);
        Stop();
        // The window saved its volumes; the next row starts from the defaults.
        std::filesystem::remove(dir.Host("Solvane.ini"));
    }
}

TEST_F(AudioTest, SameVoiceRestartsWithoutTheFileAnotherPositionReloads) {
    Start();
    const int idle = Voices();
    ASSERT_TRUE(form->PlayVoiceEx(GameFileMan, "Voice", 3, 0));
    TDSoundBuffer* first = form->VoiceBuffer;
    output->Render(2000);
    EXPECT_GT(first->GetPosition(), 0u);
    // The file is gone: a restart must not need it.
    std::filesystem::remove(dir.Host("scr_c_Pak/Voice.ogg"));
    ASSERT_TRUE(form->PlayVoiceEx(GameFileMan, "Voice", 3, 0));
    EXPECT_EQ(form->VoiceBuffer, first);
    EXPECT_EQ(first->GetPosition(), 0u);
    EXPECT_TRUE(form->IsVoicePlaying());
    // Another position means another sound: reloading fails and the old one is gone.
    EXPECT_FALSE(form->PlayVoiceEx(GameFileMan, "Voice", 3, 1));
    EXPECT_EQ(form->VoiceBuffer, nullptr);
    EXPECT_FALSE(form->IsVoicePlaying());
    EXPECT_EQ(Voices(), idle);

    ASSERT_TRUE(form->PlayVoice(GameFileMan, "Voice2"));
    PlayOut();
    EXPECT_FALSE(form->IsVoicePlaying());
    form->StopVoice();
    EXPECT_TRUE(form->VoiceName.IsEmpty());
    EXPECT_EQ(Voices(), idle);
}

TEST_F(AudioTest, EnvironmentFadesInOutAndBack) {
    Start();
    ASSERT_TRUE(form->PlayEnv(GameFileMan, true, "Env", 0, 0));
    TDSoundBuffer* env = form->EnvBuffer;
    EXPECT_EQ(env->GetVolume(), -10000);
    Frames(39);
    EXPECT_EQ(form->EnvVolume, 78);
    Frames(1);
    EXPECT_EQ(form->EnvVolume, 80);
    EXPECT_EQ(env->GetVolume(), VolumeToDecibel(80));
    // A movie runs frames without a tick: nothing fades in them.
    form->SetEnvVol(0);
    form->ScreenMode.store(smMovie);
    for (int i = 0; i < 3; ++i) form->FrameStep();
    EXPECT_EQ(form->EnvVolume, 80);
    form->ScreenMode.store(smStarted);
    form->SetEnvVol(100);
    // It loops: mixing far past its length leaves it playing.
    PlayOut();
    EXPECT_TRUE(form->IsEnvPlaying());

    form->StopEnv(true);
    EXPECT_FALSE(form->IsEnvPlaying());
    Frames(10);
    EXPECT_EQ(form->EnvVolume, 60);
    EXPECT_EQ(env->GetVolume(), VolumeToDecibel(60));
    // The same sound again turns the fade back without a restart.
    ASSERT_TRUE(form->PlayEnv(GameFileMan, true, "Env", 0, 0));
    EXPECT_EQ(form->EnvBuffer, env);
    EXPECT_TRUE(form->IsEnvPlaying());
    Frames(10);
    EXPECT_EQ(form->EnvVolume, 80);

    // A scene volume moves the target; a long pause moves the whole way in one frame.
    form->SetEnvVol(50);
    Tick(100);
    form->FrameStep();
    EXPECT_EQ(form->EnvVolume, 40);
    form->StopEnv(true);
    Tick(100);
    form->FrameStep();
    EXPECT_EQ(form->EnvBuffer, nullptr);
    EXPECT_FALSE(form->IsEnvPlaying());
    EXPECT_TRUE(form->EnvName.IsEmpty());

    // A rear sound aims at the rear volume; without fade-in it starts there.
    form->SetEnvVol(100);
    ASSERT_TRUE(form->PlayEnv(GameFileMan, false, "Env", 0, 2));
    EXPECT_EQ(form->EnvVolume, 90);
    EXPECT_EQ(form->EnvBuffer->GetVolume(), VolumeToDecibel(90));
    // A stop without fade, or of a silent sound, is at once.
    form->StopEnv(false);
    EXPECT_EQ(form->EnvBuffer, nullptr);
    EXPECT_FALSE(form->PlayEnv(GameFileMan, true, "Missing", 0, 0));
    EXPECT_EQ(form->EnvBuffer, nullptr);
}

TEST_F(AudioTest, SystemSoundsRotateOverFourBuffers) {
    Start();
    TDSoundBuffer* seen[4] = {};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(form->PlaySysSE(3));
        EXPECT_EQ(form->SysSEIndex, i);
        seen[i] = form->SysSEBuffer[i];
        ASSERT_NE(seen[i], nullptr);
        for (int j = 0; j < i; ++j) EXPECT_NE(seen[j], seen[i]);
    }
    output->Render(1000);
    // All four still play: the fifth comes back to buffer 0, which holds the same sound.
    ASSERT_TRUE(form->PlaySysSE(3));
    EXPECT_EQ(form->SysSEIndex, 0);
    EXPECT_EQ(form->SysSEBuffer[0], seen[0]);
    EXPECT_EQ(seen[0]->GetPosition(), 0u);
    EXPECT_GT(seen[1]->GetPosition(), 0u);
    EXPECT_EQ(seen[0]->GetVolume(), VolumeToDecibel(80));
    form->SetVolumeSE(50);
    for (TDSoundBuffer* b : seen) EXPECT_EQ(b->GetVolume(), -1000);

    // Buffer 0 still plays, so another sound takes buffer 1 and replaces what it held.
    ASSERT_TRUE(form->PlaySysSE(0));
    EXPECT_EQ(form->SysSEIndex, 1);
    EXPECT_EQ(form->SysSEName[1], "SysSE_OK");
    EXPECT_EQ(form->SysSEBuffer[1]->GetVolume(), -1000);
    // Once finished, a buffer is reused in place; the kept stream is read again from its start.
    PlayOut();
    for (int n : {1, 0, 1}) {
        ASSERT_TRUE(form->PlaySysSE(n));
        EXPECT_EQ(form->SysSEIndex, 1);
        EXPECT_EQ(form->SysSEName[1], n ? "SysSE_Cancel" : "SysSE_OK");
        PlayOut();
    }

    EXPECT_FALSE(form->PlaySysSE(6));
    EXPECT_FALSE(form->PlaySysSE(-1));
    // "SysSE_Close" is missing from the archive.
    EXPECT_FALSE(form->PlaySysSE(5));
    form->FreeSysSE(2);
    EXPECT_EQ(form->SysSEBuffer[2], nullptr);
    EXPECT_TRUE(form->SysSEName[2].IsEmpty());
}

TEST_F(AudioTest, WithoutASoundDeviceEveryChannelIsASilentSuccess) {
    form = new TGameForm(nullptr, true, "scr_c", "scr_c");
    GameForm = form;
    form->FormCreate();
    ASSERT_FALSE(form->Sound->Enabled());
    EXPECT_TRUE(form->PlaySysSE(0));
    EXPECT_FALSE(form->PlaySysSE(6));
    EXPECT_TRUE(form->PlayBGM(1, true, false));
    EXPECT_EQ(form->GetBGMTrack(), 0);
    EXPECT_FALSE(form->IsBGMPlaying());
    EXPECT_TRUE(form->PlayVoice(GameFileMan, "Voice"));
    EXPECT_TRUE(form->PlayEnv(GameFileMan, false, "Env", 0, 0));
    EXPECT_EQ(form->VoiceBuffer, nullptr);
    EXPECT_EQ(form->EnvBuffer, nullptr);
    EXPECT_EQ(form->LoadVoiceBuffer(GameFileMan, "Voice"), nullptr);
    form->StopBGM(true);
}

TEST_F(AudioTest, SettingsFileCarriesTheConfigurationVolumes) {
    dir.Write("Solvane.ini", "[Game]\nVolumeBGM=20\nVolumeVoice=150\nVolumeSE=x\nVolumeRear=5\n");
    Start();
    EXPECT_EQ(form->GetVolumeBGM(), 20);
    EXPECT_EQ(form->GetVolumeVoice(), 100);
    EXPECT_EQ(form->GetVolumeSE(), 80);
    EXPECT_EQ(form->VolumeRear, 5);
    form->SetVolumeBGM(70);
    form->SetVolumeSE(60);
    // Scene volumes belong to the story, not to the file.
    form->SetBGMVol(10);
    Stop();
    FormSettings back;
    LoadFormSettings(back);
    EXPECT_EQ(back.VolumeBGM, 70);
    EXPECT_EQ(back.VolumeVoice, 100);
    EXPECT_EQ(back.VolumeSE, 60);
    EXPECT_EQ(back.VolumeRear, 5);
}

TEST_F(AudioTest, SameTrackGoesOnAnotherFadesTheOldOneOut) {
    Start();
    form->SetVolumeBGM(40);
    ASSERT_TRUE(form->PlayBGM(5, true, true));
    const uint32_t five = form->BGMHandle[0];
    ASSERT_NE(five, 0u);
    EXPECT_EQ(form->GetBGMTrack(), 5);
    EXPECT_EQ(MusicLevel(0), MusicAt(40));
    output->Render(30000);
    EXPECT_TRUE(form->IsBGMPlaying());
    ASSERT_TRUE(form->PlayBGM(5, true, true));
    EXPECT_EQ(form->BGMSlot, 0);
    EXPECT_EQ(form->BGMHandle[0], five);
    EXPECT_EQ(form->BGMHandle[1], 0u);

    ASSERT_TRUE(form->PlayBGM(6, true, true));
    EXPECT_EQ(form->BGMSlot, 1);
    EXPECT_EQ(form->BGMHandle[0], five);
    EXPECT_EQ(form->GetBGMTrack(), 6);
    EXPECT_EQ(MusicLevel(1), MusicAt(40));
    EXPECT_EQ(MusicLevel(0), MusicAt(40));
    Frames(1);
    EXPECT_EQ(form->OldBGMVolume, 38);
    EXPECT_EQ(MusicLevel(0), MusicAt(38));
    EXPECT_EQ(MusicLevel(1), MusicAt(40));
    Frames(18);
    EXPECT_EQ(form->OldBGMVolume, 2);
    EXPECT_EQ(ThePlayback().OpenCount(), 2);
    Frames(1);
    EXPECT_EQ(form->BGMHandle[0], 0u);
    EXPECT_EQ(ThePlayback().SoundVoice(five), 0u);
    EXPECT_EQ(ThePlayback().OpenCount(), 1);
    EXPECT_TRUE(form->IsBGMPlaying());

    // The same track with another loop flag is another start.
    ASSERT_TRUE(form->PlayBGM(6, false, true));
    EXPECT_EQ(form->BGMSlot, 0);

    // The inner steps refuse a slot or buffer number that does not exist.
    EXPECT_FALSE(form->OpenBGM(2, 5, true, 50));
    EXPECT_FALSE(form->OpenBGM(-1, 5, true, 50));
    EXPECT_TRUE(form->CloseBGM(7));
    form->FreeSysSE(4);
    form->FreeSysSE(-1);
    EXPECT_EQ(ThePlayback().OpenCount(), 2);
}

TEST_F(AudioTest, OldTrackClosesAtOnceWithoutFadeOrWhenSilent) {
    struct Row {
        const char* name;
        int32_t volume;
        bool fade;
    };
    const Row rows[] = {{"no fade", 40, false}, {"silent", 0, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Start();
        form->SetVolumeBGM(r.volume);
        ASSERT_TRUE(form->PlayBGM(5, true, false));
        ASSERT_TRUE(form->PlayBGM(6, true, r.fade));
        EXPECT_EQ(form->BGMSlot, 1);
        EXPECT_EQ(form->BGMHandle[0], 0u);
        EXPECT_EQ(form->OldBGMVolume, 0);
        EXPECT_EQ(ThePlayback().OpenCount(), 1);
        Stop();
        EXPECT_EQ(ThePlayback().OpenCount(), 0);
        EXPECT_EQ(CriMwSystemCount(), 0);
        std::filesystem::remove(dir.Host("Solvane.ini"));
    }
}

TEST_F(AudioTest, OnlyOneTrackFadesAtATime) {
    Start();
    ASSERT_TRUE(form->PlayBGM(5, true, true));
    const uint32_t five = form->BGMHandle[0];
    ASSERT_TRUE(form->PlayBGM(6, true, true));
    const uint32_t six = form->BGMHandle[1];
    Frames(3);
    ASSERT_TRUE(form->PlayBGM(7, false, true));
    EXPECT_EQ(ThePlayback().SoundVoice(five), 0u);
    EXPECT_EQ(form->BGMSlot, 0);
    EXPECT_EQ(form->BGMHandle[1], six);
    EXPECT_EQ(form->OldBGMVolume, 50);
    EXPECT_EQ(ThePlayback().OpenCount(), 2);

    // A stop fades the same way and forgets the track.
    form->StopBGM(true);
    EXPECT_EQ(form->GetBGMTrack(), 0);
    EXPECT_EQ(ThePlayback().SoundVoice(six), 0u);
    EXPECT_EQ(form->BGMSlot, 1);
    EXPECT_EQ(form->BGMHandle[1], 0u);
    EXPECT_FALSE(form->IsBGMPlaying());
    Frames(25);
    EXPECT_EQ(ThePlayback().OpenCount(), 0);
}

TEST_F(AudioTest, SceneVolumeFadesTheConfigurationVolumeActsAtOnce) {
    Start();
    ASSERT_TRUE(form->PlayBGM(5, true, false));
    EXPECT_EQ(form->BGMVolume, 50);
    form->SetBGMVol(0);
    Frames(24);
    EXPECT_EQ(form->BGMVolume, 2);
    EXPECT_EQ(MusicLevel(0), MusicAt(2));
    Frames(1);
    EXPECT_EQ(form->BGMVolume, 0);
    EXPECT_EQ(MusicLevel(0), -10000);
    EXPECT_TRUE(form->IsBGMPlaying());

    form->SetBGMVol(100);
    form->SetVolumeBGM(80);
    EXPECT_EQ(form->BGMVolume, 80);
    EXPECT_EQ(MusicLevel(0), MusicAt(80));
    // A new track starts at the whole target.
    form->SetBGMVol(50);
    ASSERT_TRUE(form->PlayBGM(6, true, false));
    EXPECT_EQ(MusicLevel(form->BGMSlot), MusicAt(40));
}

TEST_F(AudioTest, MissingTrackLeavesTrackZeroAndIsTriedAgain) {
    Start();
    EXPECT_FALSE(form->PlayBGM(9, true, true));
    EXPECT_EQ(form->GetBGMTrack(), 0);
    EXPECT_EQ(form->BGMHandle[form->BGMSlot], 0u);
    ASSERT_TRUE(form->PlayBGM(5, true, true));
    // A missing track in place of a playing one: the old one fades, no track is current.
    EXPECT_FALSE(form->PlayBGM(9, true, true));
    EXPECT_EQ(form->GetBGMTrack(), 0);
    EXPECT_FALSE(form->IsBGMPlaying());
    EXPECT_EQ(form->OldBGMVolume, 50);
    WriteTrack(9, true);
    ASSERT_TRUE(form->PlayBGM(9, true, true));
    EXPECT_EQ(form->GetBGMTrack(), 9);
    EXPECT_TRUE(form->IsBGMPlaying());
    // A file that is not music is refused the same way.
    dir.Write("BGM/Track10.adx", "not music at all");
    EXPECT_FALSE(form->PlayBGM(10, true, false));
    EXPECT_EQ(form->GetBGMTrack(), 0);
}

TEST_F(AudioTest, TrackWithoutLoopEndsAndStartsAgain) {
    Start();
    ASSERT_TRUE(form->PlayBGM(7, false, false));
    output->Render(48000);
    Frames(1);
    EXPECT_FALSE(form->IsBGMPlaying());
    EXPECT_EQ(form->GetBGMTrack(), 7);
    ASSERT_TRUE(form->PlayBGM(7, false, false));
    EXPECT_TRUE(form->IsBGMPlaying());
    // The looped track never ends.
    ASSERT_TRUE(form->PlayBGM(5, true, false));
    output->Render(96000);
    Frames(1);
    EXPECT_TRUE(form->IsBGMPlaying());
}

// A failed start quits, and the start-up form deletes the window without hiding it. The
// window still lets go of the stream service, which would otherwise stay up and keep serving
// the next window with what this one gave it.
TEST_F(AudioTest, WindowDeletedAfterAFailedStartFinishesTheStreamService) {
    plat::SetAudioOutputFactory([] {
        auto o = std::make_unique<plat::ManualAudioOutput>();
        o->failOpen = true;
        return std::unique_ptr<plat::AudioOutput>(std::move(o));
    });
    Start();
    ASSERT_FALSE(form->Sound->Enabled());
    EXPECT_EQ(CriMwSystemCount(), 1);
    GameForm = nullptr;
    delete form;
    form = nullptr;
    EXPECT_EQ(CriMwSystemCount(), 0);
}

// A logic thread that plays a voice and waits for its end.
class VoiceWaiter : public TMainThread {
  public:
    VoiceWaiter(TGameForm* form, std::atomic<int>& stage) : TMainThread(form), stage(stage) {}
    ~VoiceWaiter() override { Shutdown(); }
    std::atomic<int>& stage;

  protected:
    void Execute() override {
        Form->LogicLock->Enter();
        try {
            stage = Form->PlayVoice(GameFileMan, "Voice") ? 1 : -1;
            WaitVoiceEnd();
            stage = 2;
            WaitVoiceEnd();
            stage = 3;
        } catch (const EGameEnd&) {
        }
        Form->LogicLock->Leave();
        Form->RequestClose();
    }
};

TEST_F(AudioTest, WaitVoiceEndReturnsWhenTheVoiceHasPlayedOut) {
    form = new TGameForm(nullptr, true, "scr_c", "scr_c");
    GameForm = form;
    std::atomic<int> stage{0};
    form->MakeLogicThread = [&stage](TGameForm* f) { return new VoiceWaiter(f, stage); };
    form->FormCreate();
    form->FormShow();
    ASSERT_TRUE(ServiceUntil([&] { return stage.load() != 0; }));
    ASSERT_EQ(stage.load(), 1);
    // Nothing mixes, so the voice plays on; the wait has given the logic lock up.
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(stage.load(), 1);
    form->LogicLock->Enter();
    form->LogicLock->Leave();
    PlayOut();
    // The second wait finds no voice playing and returns at once.
    ASSERT_TRUE(ServiceUntil([&] { return stage.load() == 3; }));
}

// The screenshot worker makes and frees its picture through the memory manager while the
// logic thread makes and frees a buffer for every voice: Print Screen pressed again and again
// while voices start and stop must leave the registry exact and report nothing.
TEST_F(AudioTest, PrintScreenWhileVoicesStartAndStop) {
    Start();
    CapEnable = true;
    const int live = MemMan->Count();
    for (int shot = 0; shot < 6; ++shot) {
        form->StartScreenshot(false);
        do {
            ASSERT_TRUE(form->PlayVoice(GameFileMan, shot % 2 ? "Voice" : "Voice2"));
            form->StopVoice();
        } while (form->ScreenshotBusy());
    }
    form->JoinScreenshot();
    CapEnable = false;
    EXPECT_TRUE(std::filesystem::exists(dir.Host("Snap005.png")));
    EXPECT_EQ(MemMan->Count(), live);
    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Boxes().front();
}

// In wait mode the wait thread runs the frames, and a frame can finish an environment
// fade-out and free its buffer while the flow makes and deletes the next screens.
TEST_F(AudioTest, EnvironmentFadeEndingInWaitModeWhileScreensAreMade) {
    Start();
    const int live = MemMan->Count();
    for (int round = 0; round < 4; ++round) {
        ASSERT_TRUE(form->PlayEnv(GameFileMan, false, "Env", 0, 0));
        form->StopEnv(true);
        std::atomic<bool> faded{false};
        std::thread wait([&] {
            while (form->EnvBuffer) {
                Tick(1);
                form->FrameStep();
            }
            faded = true;
        });
        while (!faded.load()) {
            TNyRGBBits* screen = MemMan->CreateVCL<TNyRGBBits>(nullptr);
            ASSERT_NE(screen, nullptr);
            MemMan->Delete(screen);
        }
        wait.join();
    }
    EXPECT_EQ(MemMan->Count(), live);
    EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Boxes().front();
}

}  // namespace
