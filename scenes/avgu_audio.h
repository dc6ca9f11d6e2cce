// The scene's sound through the main window's channels: effects and environment sounds from
// the effect archive, voices from the numbered voice packs, music by track number.
#pragma once
#include <cstdint>

#include "foundation/zrfileman.h"
#include "scenes/avgseams.h"

class AvgFormAudio : public AvgAudio {
  public:
    // Opens "EvSE.pak", or the directory "EvSE_Pak" when there is no such archive.
    AvgFormAudio();
    ~AvgFormAudio() override;
    AvgFormAudio(const AvgFormAudio&) = delete;
    AvgFormAudio& operator=(const AvgFormAudio&) = delete;

    // The pack of voice n is "Voice\ev%05d.pak" of n / 1,000,000 and its entry "%08u.ogg" of
    // n; the entry is given without its extension. False, with nothing played, when the pack file
    // or the entry is missing.
    bool FindVoice(uint32_t number, ZRString& entry);

    bool PlayVoice(uint32_t number, int32_t a, int32_t b) override;
    bool IsVoicePlaying() const override;
    void StopVoice() override;
    void SetVoiceVol(int32_t v) override;
    void PlayBGM(int32_t track, bool loop, bool fade) override;
    void StopBGM(bool fade) override;
    void SetBGMVol(int32_t v) override;
    void PlaySE(const ZRString& name, int32_t a, int32_t b) override;
    void StopSE() override;
    void SetSEVol(int32_t v) override;
    void PlayEnv(const ZRString& name, int32_t a, int32_t b, bool fade) override;
    void StopEnv(bool fade) override;
    void SetEnvVol(int32_t v) override;
    void PlayRain(int32_t level) override;
    void StopRain() override;
    void SetRainVol(int32_t v) override;
    void PlaySystemSound(int n) override;

    ZRFileMan Effects;
    ZRFileMan Voices;
    // The voice pack now open, -1 none.
    int32_t VoicePack = -1;
};
