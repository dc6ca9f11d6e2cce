// The scene's sound over the main window's channels, and where each voice is found.
#include "scenes/avgu_audio.h"

#include "foundation/zrsys.h"
#include "game/gamef.h"

AvgFormAudio::AvgFormAudio() {
    if (!Effects.InitPack("EvSE.pak")) Effects.InitDir("EvSE_Pak");
}

AvgFormAudio::~AvgFormAudio() = default;

bool AvgFormAudio::FindVoice(uint32_t number, ZRString& entry) {
    const int32_t pack = static_cast<int32_t>(number / 1000000u);
    if (pack != VoicePack) {
        const ZRString path = ZRString().sprintf("Voice\\ev%05d.pak", pack);
        if (!ZRFileIsExist(path.c_str())) return false;
        if (!Voices.InitPack(path)) {
            VoicePack = -1;
            return false;
        }
        VoicePack = pack;
    }
    // The channel adds the extension when it opens the entry.
    entry = ZRString().sprintf("%08u", number);
    return Voices.FileIsExist(entry + ".ogg");
}

bool AvgFormAudio::PlayVoice(uint32_t number, int32_t a, int32_t b) {
    ZRString entry;
    if (!FindVoice(number, entry) || !GameForm) return false;
    return GameForm->PlayVoiceEx(&Voices, entry, a, b);
}

bool AvgFormAudio::IsVoicePlaying() const {
    return GameForm && GameForm->IsVoicePlaying();
}

void AvgFormAudio::StopVoice() {
    if (GameForm) GameForm->StopVoice();
}

void AvgFormAudio::SetVoiceVol(int32_t v) {
    if (GameForm) GameForm->SetVoiceVol(v);
}

void AvgFormAudio::PlayBGM(int32_t track, bool loop, bool fade) {
    if (GameForm) GameForm->PlayBGM(track, loop, fade);
}

void AvgFormAudio::StopBGM(bool fade) {
    if (GameForm) GameForm->StopBGM(fade);
}

void AvgFormAudio::SetBGMVol(int32_t v) {
    if (GameForm) GameForm->SetBGMVol(v);
}

void AvgFormAudio::PlaySE(const ZRString& name, int32_t a, int32_t b) {
    if (GameForm) GameForm->PlaySEEx(&Effects, name, a, b);
}

void AvgFormAudio::StopSE() {
    if (GameForm) GameForm->StopSE();
}

void AvgFormAudio::SetSEVol(int32_t v) {
    if (GameForm) GameForm->SetSEVol(v);
}

void AvgFormAudio::PlayEnv(const ZRString& name, int32_t a, int32_t b, bool fade) {
    if (GameForm) GameForm->PlayEnv(&Effects, fade, name, a, b);
}

void AvgFormAudio::StopEnv(bool fade) {
    if (GameForm) GameForm->StopEnv(fade);
}

void AvgFormAudio::SetEnvVol(int32_t v) {
    if (GameForm) GameForm->SetEnvVol(v);
}

void AvgFormAudio::PlayRain(int32_t level) {
    if (GameForm) GameForm->PlayRain(level, false);
}

void AvgFormAudio::StopRain() {
    if (GameForm) GameForm->StopRain(true);
}

void AvgFormAudio::SetRainVol(int32_t v) {
    if (GameForm) GameForm->SetRainVol(v);
}

void AvgFormAudio::PlaySystemSound(int n) {
    if (GameForm) GameForm->PlaySysSE(n);
}
