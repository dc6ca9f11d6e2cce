// The main window's audio channels: music over two stream handles (the old track fades out in
// one while the new one plays in the other), voice, sound effect, a looping environment sound,
// a rain channel that makes no sound, and the menus' system sounds over four rotating buffers.
// Each channel's loudness is a configuration volume times a scene volume; the frame update
// moves music and environment towards their targets two points a tick.
#include <algorithm>
#include <cstdio>

#include "devices/crisofdec.h"
#include "foundation/zrsys.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/gamefunc_volume.h"

namespace {

const char* const kSysSENames[6] = {"SysSE_OK",     "SysSE_Cancel", "SysSE_Error",
                                    "SysSE_Cursor", "SysSE_Open",   "SysSE_Close"};

// SoundLock exists from the create handler to the destroy handler; the settings reader runs
// before it, when no other thread can see the window yet, and its holds pass over the null lock.

bool InRange(int32_t v) {
    return v >= 0 && v <= 100;
}

// Percent products in 64 bits: both factors are checked percentages, but a scene volume
// restored from a save is trusted no further than that.
int32_t Percent(int32_t a, int32_t b) {
    return static_cast<int32_t>(int64_t(a) * b / 100);
}

// One step of a fade: `step` points towards the target without passing it.
int32_t Approach(int32_t value, int32_t target, int64_t step) {
    if (value < target) return static_cast<int32_t>(std::min<int64_t>(value + step, target));
    return static_cast<int32_t>(std::max<int64_t>(value - step, target));
}

// The members one of the two whole-sound channels (voice, SE) consists of.
struct Channel {
    DirectX::TDSoundBuffer*& buffer;
    ZRString& name;
    int32_t* pos;
    const int32_t& volume;
    const int32_t& scene;
};

Channel VoiceChannel(TGameForm& f) {
    return {f.VoiceBuffer, f.VoiceName, f.VoicePos, f.VolumeVoice, f.SceneVoiceVolume};
}

Channel SEChannel(TGameForm& f) {
    return {f.SEBuffer, f.SEName, f.SEPos, f.VolumeSE, f.SceneSEVolume};
}

// A second position value above 0 marks a rear sound, which takes the rear volume in place of
// its channel's own.
int32_t ChannelLevel(const TGameForm& f, const Channel& c, int32_t second) {
    return ScaledVolumeToDecibel(second > 0 ? f.VolumeRear : c.volume, c.scene);
}

int32_t EnvTarget(const TGameForm& f) {
    if (f.EnvFadingOut) return 0;
    return Percent(f.EnvPos[1] > 0 ? f.VolumeRear : f.VolumeSE, f.SceneEnvVolume);
}

ZRString TrackName(int32_t track) {
    char name[32];
    std::snprintf(name, sizeof name, "BGM\\Track%02d.adx", track);
    return name;
}

bool NoDevice(const TGameForm& f) {
    return !f.Sound || !f.Sound->Enabled() || !f.SoundLock || !MemMan;
}

void DropBuffer(DirectX::TDSoundBuffer*& b) {
    if (!b) return;
    b->Stop();
    if (MemMan) MemMan->Delete(b);
    b = nullptr;
}

// Stops and frees a channel's buffer; silence is played first so the output never ends on
// the cut.
void StopChannel(TGameForm& f, Channel c) {
    if (!c.buffer) return;
    f.PlayMuteBuffer();
    DropBuffer(c.buffer);
    c.name = ZRString();
    c.pos[0] = c.pos[1] = 0;
}

DirectX::TDSoundBuffer* MakeBuffer(TGameForm& f, ZRFileMan* files, const ZRString& name,
                                   int32_t level) {
    if (!files) return nullptr;
    ZRStream* s = files->Open(name + ".ogg");
    if (!s) return nullptr;
    DirectX::TDSoundBuffer* b = f.Sound->CreateBufferFromOgg(s, false, false, false);
    if (b) {
        MemMan->AddPtr(b);
        b->SetVolume(level);
    }
    files->Close(s);
    return b;
}

bool PlayChannel(TGameForm& f, Channel c, ZRFileMan* files, const ZRString& name, int32_t first,
                 int32_t second) {
    if (NoDevice(f)) return true;
    const ZRSectionHold hold(f.SoundLock);
    if (c.buffer && c.name == name && c.pos[0] == first && c.pos[1] == second)
        return c.buffer->Play(false);
    StopChannel(f, c);
    c.buffer = MakeBuffer(f, files, name, ChannelLevel(f, c, second));
    if (!c.buffer) return false;
    c.name = name;
    c.pos[0] = first;
    c.pos[1] = second;
    return c.buffer->Play(false);
}

bool ChannelPlaying(TGameForm& f, Channel c) {
    const ZRSectionHold hold(f.SoundLock);
    return c.buffer && c.buffer->IsPlay();
}

DirectX::TDSoundBuffer* ChannelBuffer(TGameForm& f, Channel c, ZRFileMan* files,
                                      const ZRString& name, int32_t second) {
    if (NoDevice(f)) return nullptr;
    const ZRSectionHold hold(f.SoundLock);
    return MakeBuffer(f, files, name, ChannelLevel(f, c, second));
}

// Re-applies a channel's level; `rearToo` false leaves a rear sound alone.
void ApplyChannel(TGameForm& f, Channel c, bool plainToo, bool rearToo) {
    if (!c.buffer) return;
    const bool rear = c.pos[1] > 0;
    if (rear ? rearToo : plainToo) c.buffer->SetVolume(ChannelLevel(f, c, c.pos[1]));
}

void CloseSlot(TGameForm& f, int32_t slot, bool silenceFirst) {
    uint32_t& h = f.BGMHandle[slot];
    if (!h) return;
    if (silenceFirst) f.PlayMuteBuffer();
    CriMwSoundClose(h);
    h = 0;
}

// A start or stop with a current track: the current handle moves to the other slot and
// either fades out from its volume or closes at once. A track still fading from an earlier
// change is closed first, so only one ever fades.
void RetireCurrent(TGameForm& f, bool fade) {
    if (!f.BGMHandle[f.BGMSlot]) return;
    const int32_t other = 1 - f.BGMSlot;
    CloseSlot(f, other, true);
    f.OldBGMVolume = 0;
    f.BGMSlot = other;
    if (fade && f.BGMVolume > 0) {
        f.OldBGMVolume = f.BGMVolume;
    } else {
        CloseSlot(f, 1 - f.BGMSlot, true);
        f.OldBGMVolume = 0;
    }
}

}  // namespace

void TGameForm::SetVolumeBGM(int32_t v) {
    if (!InRange(v)) return;
    const ZRSectionHold hold(SoundLock);
    VolumeBGM = v;
    if (const uint32_t h = BGMHandle[BGMSlot]) {
        BGMVolume = Percent(VolumeBGM, SceneBGMVolume);
        CriMwSoundSetVolume(h, VolumeToDecibel(BGMVolume));
    }
}

int32_t TGameForm::GetVolumeBGM() {
    const ZRSectionHold hold(SoundLock);
    return VolumeBGM;
}

void TGameForm::SetBGMVol(int32_t v) {
    if (!InRange(v)) return;
    const ZRSectionHold hold(SoundLock);
    SceneBGMVolume = v;
}

bool TGameForm::PlayBGM(int32_t track, bool loop, bool fade) {
    if (NoDevice(*this)) return true;
    const ZRSectionHold hold(SoundLock);
    const uint32_t current = BGMHandle[BGMSlot];
    if (track == BGMTrack && loop == BGMLoop && current && CriMwSoundIsPlay(current)) return true;
    RetireCurrent(*this, fade);
    BGMVolume = Percent(VolumeBGM, SceneBGMVolume);
    const bool ok = OpenBGM(BGMSlot, track, loop, BGMVolume);
    BGMTrack = ok ? track : 0;
    BGMLoop = ok && loop;
    return ok;
}

void TGameForm::StopBGM(bool fade) {
    if (NoDevice(*this)) return;
    const ZRSectionHold hold(SoundLock);
    RetireCurrent(*this, fade);
    BGMTrack = 0;
    BGMLoop = false;
}

int32_t TGameForm::GetBGMTrack() {
    const ZRSectionHold hold(SoundLock);
    return BGMTrack;
}

bool TGameForm::IsBGMPlaying() {
    const ZRSectionHold hold(SoundLock);
    const uint32_t h = BGMHandle[BGMSlot];
    return h && CriMwSoundIsPlay(h);
}

bool TGameForm::OpenBGM(int32_t slot, int32_t track, bool loop, int32_t volume) {
    if (NoDevice(*this)) return true;
    if (slot != 0 && slot != 1) return false;
    const ZRSectionHold hold(SoundLock);
    CloseSlot(*this, slot, true);
    const uint32_t h = CriMwSoundOpen(TrackName(track).c_str(), loop);
    BGMHandle[slot] = h;
    if (!h) return false;
    CriMwSoundSetVolume(h, VolumeToDecibel(volume));
    return CriMwSoundPlay(h);
}

bool TGameForm::CloseBGM(int32_t slot) {
    if (NoDevice(*this)) return true;
    if (slot != 0 && slot != 1) return true;
    const ZRSectionHold hold(SoundLock);
    CloseSlot(*this, slot, true);
    return true;
}

void TGameForm::SetVolumeVoice(int32_t v) {
    if (!InRange(v)) return;
    const ZRSectionHold hold(SoundLock);
    VolumeVoice = v;
    ApplyChannel(*this, VoiceChannel(*this), true, false);
}

int32_t TGameForm::GetVolumeVoice() {
    const ZRSectionHold hold(SoundLock);
    return VolumeVoice;
}

void TGameForm::SetVoiceVol(int32_t v) {
    if (!InRange(v)) return;
    const ZRSectionHold hold(SoundLock);
    SceneVoiceVolume = v;
    ApplyChannel(*this, VoiceChannel(*this), true, true);
}

bool TGameForm::PlayVoice(ZRFileMan* files, const ZRString& name) {
    return PlayVoiceEx(files, name, 0, 0);
}

bool TGameForm::PlayVoiceEx(ZRFileMan* files, const ZRString& name, int32_t first, int32_t second) {
    return PlayChannel(*this, VoiceChannel(*this), files, name, first, second);
}

void TGameForm::StopVoice() {
    const ZRSectionHold hold(SoundLock);
    StopChannel(*this, VoiceChannel(*this));
}

bool TGameForm::IsVoicePlaying() {
    return ChannelPlaying(*this, VoiceChannel(*this));
}

DirectX::TDSoundBuffer* TGameForm::LoadVoiceBuffer(ZRFileMan* files, const ZRString& name) {
    return CreateVoiceBuffer(files, name, 0, 0);
}

DirectX::TDSoundBuffer* TGameForm::CreateVoiceBuffer(ZRFileMan* files, const ZRString& name,
                                                     int32_t, int32_t second) {
    return ChannelBuffer(*this, VoiceChannel(*this), files, name, second);
}

void TGameForm::SetVolumeSE(int32_t v) {
    if (!InRange(v)) return;
    const ZRSectionHold hold(SoundLock);
    VolumeSE = v;
    ApplyChannel(*this, SEChannel(*this), true, false);
    for (DirectX::TDSoundBuffer* b : SysSEBuffer)
        if (b) b->SetVolume(VolumeToDecibel(VolumeSE));
}

int32_t TGameForm::GetVolumeSE() {
    const ZRSectionHold hold(SoundLock);
    return VolumeSE;
}

void TGameForm::SetSEVol(int32_t v) {
    if (!InRange(v)) return;
    const ZRSectionHold hold(SoundLock);
    SceneSEVolume = v;
    ApplyChannel(*this, SEChannel(*this), true, true);
}

bool TGameForm::PlaySE(ZRFileMan* files, const ZRString& name) {
    return PlaySEEx(files, name, 0, 0);
}

bool TGameForm::PlaySEEx(ZRFileMan* files, const ZRString& name, int32_t first, int32_t second) {
    return PlayChannel(*this, SEChannel(*this), files, name, first, second);
}

void TGameForm::StopSE() {
    const ZRSectionHold hold(SoundLock);
    StopChannel(*this, SEChannel(*this));
}

bool TGameForm::IsSEPlaying() {
    return ChannelPlaying(*this, SEChannel(*this));
}

DirectX::TDSoundBuffer* TGameForm::LoadSEBuffer(ZRFileMan* files, const ZRString& name) {
    return CreateSEBuffer(files, name, 0, 0);
}

DirectX::TDSoundBuffer* TGameForm::CreateSEBuffer(ZRFileMan* files, const ZRString& name, int32_t,
                                                  int32_t second) {
    return ChannelBuffer(*this, SEChannel(*this), files, name, second);
}

void TGameForm::SetEnvVol(int32_t v) {
    if (!InRange(v)) return;
    const ZRSectionHold hold(SoundLock);
    SceneEnvVolume = v;
}

bool TGameForm::PlayEnv(ZRFileMan* files, bool fadeIn, const ZRString& name, int32_t first,
                        int32_t second) {
    if (NoDevice(*this)) return true;
    const ZRSectionHold hold(SoundLock);
    if (EnvBuffer && EnvName == name && EnvPos[0] == first && EnvPos[1] == second) {
        // A fade-out in progress turns back; the update brings the volume up again.
        EnvFadingOut = false;
        return true;
    }
    StopEnv(false);
    EnvBuffer = MakeBuffer(*this, files, name, plat::kVolumeSilent);
    if (!EnvBuffer) return false;
    EnvName = name;
    EnvPos[0] = first;
    EnvPos[1] = second;
    EnvVolume = fadeIn ? 0 : EnvTarget(*this);
    EnvBuffer->SetVolume(VolumeToDecibel(EnvVolume));
    return EnvBuffer->Play(true);
}

void TGameForm::StopEnv(bool fade) {
    if (NoDevice(*this)) return;
    const ZRSectionHold hold(SoundLock);
    if (!EnvBuffer) return;
    if (fade && EnvVolume > 0) {
        EnvFadingOut = true;
        return;
    }
    PlayMuteBuffer();
    DropBuffer(EnvBuffer);
    EnvName = ZRString();
    EnvPos[0] = EnvPos[1] = 0;
    EnvFadingOut = false;
}

bool TGameForm::IsEnvPlaying() {
    const ZRSectionHold hold(SoundLock);
    return EnvBuffer && !EnvFadingOut && EnvBuffer->IsPlay();
}

void TGameForm::SetVolumeRear(int32_t v) {
    if (!InRange(v)) return;
    const ZRSectionHold hold(SoundLock);
    VolumeRear = v;
    ApplyChannel(*this, VoiceChannel(*this), false, true);
    ApplyChannel(*this, SEChannel(*this), false, true);
}

void TGameForm::SetRainVol(int32_t v) {
    if (!InRange(v)) return;
    const ZRSectionHold hold(SoundLock);
    RainVolume = v;
}

bool TGameForm::PlayRain(int32_t, bool) {
    return true;
}

void TGameForm::StopRain(bool) {}

bool TGameForm::IsRainPlaying() {
    return false;
}

bool TGameForm::PlaySysSE(int32_t n) {
    if (n < 0 || n > 5) return false;
    if (NoDevice(*this)) return true;
    const ZRSectionHold hold(SoundLock);
    // A sound still playing keeps its buffer: the next one takes the following buffer. Only
    // one step, so a burst of sounds reuses the oldest buffer even while it plays.
    if (SysSEBuffer[SysSEIndex] && SysSEBuffer[SysSEIndex]->IsPlay())
        SysSEIndex = (SysSEIndex + 1) % 4;
    DirectX::TDSoundBuffer*& b = SysSEBuffer[SysSEIndex];
    if (b && SysSEName[SysSEIndex] == kSysSENames[n]) return b->Play(false);
    FreeSysSE(SysSEIndex);
    ZRStream* source = SysSEStream[n];
    if (!source) return false;
    // The kept stream is read again from its start each time.
    source->Seek(0, zrSeekSet);
    b = Sound->CreateBufferFromOgg(source, false, false, false);
    if (!b) return false;
    MemMan->AddPtr(b);
    b->SetVolume(VolumeToDecibel(VolumeSE));
    SysSEName[SysSEIndex] = kSysSENames[n];
    return b->Play(false);
}

void TGameForm::FreeSysSE(int32_t index) {
    if (index < 0 || index > 3) return;
    const ZRSectionHold hold(SoundLock);
    if (!SysSEBuffer[index]) return;
    PlayMuteBuffer();
    DropBuffer(SysSEBuffer[index]);
    SysSEName[index] = ZRString();
}

void TGameForm::UpdateChannels(int32_t ticks) {
    if (ticks <= 0 || !SoundLock) return;
    const ZRSectionHold hold(SoundLock);
    const int64_t step = int64_t(ticks) * 2;
    if (const uint32_t h = BGMHandle[BGMSlot]) {
        const int32_t target = Percent(VolumeBGM, SceneBGMVolume);
        if (BGMVolume != target) {
            BGMVolume = Approach(BGMVolume, target, step);
            CriMwSoundSetVolume(h, VolumeToDecibel(BGMVolume));
        }
    }
    const int32_t other = 1 - BGMSlot;
    if (BGMHandle[other] && OldBGMVolume > 0) {
        OldBGMVolume = Approach(OldBGMVolume, 0, step);
        if (OldBGMVolume == 0)
            CloseSlot(*this, other, true);
        else
            CriMwSoundSetVolume(BGMHandle[other], VolumeToDecibel(OldBGMVolume));
    }
    if (EnvBuffer) {
        const int32_t target = EnvTarget(*this);
        if (EnvVolume != target) EnvVolume = Approach(EnvVolume, target, step);
        if (EnvFadingOut && EnvVolume == 0)
            StopEnv(false);
        else
            EnvBuffer->SetVolume(VolumeToDecibel(EnvVolume));
    }
}

void TGameForm::LoadSettings() {
    FormSettings s;
    s.FpsMode = FrameRateMode;
    s.VolumeBGM = VolumeBGM;
    s.VolumeVoice = VolumeVoice;
    s.VolumeSE = VolumeSE;
    s.VolumeRear = VolumeRear;
    LoadFormSettings(s);
    FrameRateMode = s.FpsMode;
    const ZRSectionHold hold(SoundLock);
    VolumeBGM = s.VolumeBGM;
    VolumeVoice = s.VolumeVoice;
    VolumeSE = s.VolumeSE;
    VolumeRear = s.VolumeRear;
}

void TGameForm::SaveSettings() {
    FormSettings s;
    s.FpsMode = FrameRateMode;
    {
        const ZRSectionHold hold(SoundLock);
        s.VolumeBGM = VolumeBGM;
        s.VolumeVoice = VolumeVoice;
        s.VolumeSE = VolumeSE;
        s.VolumeRear = VolumeRear;
    }
    SaveFormSettings(s);
}

void TGameForm::StartStreamService() {
    if (StreamServiceStarted) return;
    plat::SoundMixer* mixer = Sound && Sound->Enabled() ? Sound->Mixer() : nullptr;
    // Hosted use keeps the host's directory for the music, as it does for the archives.
    // Movie frames go through the memory manager, whose report at the end then sees them.
    StreamServiceStarted =
        Hosted ? CriMwSystemInitAt(ZRGetCurrentDir().c_str(), mixer, WorkBitDepth, MemMan)
               : CriMwSystemInit(mixer, WorkBitDepth, MemMan);
}

void TGameForm::FinishStreamService() {
    if (!StreamServiceStarted) return;
    StreamServiceStarted = false;
    CriMwSystemFinish();
}

void TGameForm::ReleaseChannels() {
    const ZRSectionHold hold(SoundLock);
    for (uint32_t& h : BGMHandle) {
        if (!h) continue;
        CriMwSoundStop(h);
        CriMwSoundClose(h);
        h = 0;
    }
    BGMTrack = 0;
    BGMLoop = false;
    BGMVolume = OldBGMVolume = 0;
    for (DirectX::TDSoundBuffer** b : {&VoiceBuffer, &SEBuffer, &EnvBuffer, &RainBuffer})
        DropBuffer(*b);
    VoiceName = SEName = EnvName = ZRString();
    for (int32_t* pos : {VoicePos, SEPos, EnvPos}) pos[0] = pos[1] = 0;
    EnvFadingOut = false;
    for (int i = 0; i < 4; ++i) {
        DropBuffer(SysSEBuffer[i]);
        SysSEName[i] = ZRString();
    }
}
