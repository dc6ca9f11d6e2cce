// A scene that records what the commands ask of it, one line per call, so tests compare the
// whole sequence at once.
#pragma once
#include <string>
#include <vector>

#include "script/scrdef.h"

struct RecordingHost : ScriptHost {
    std::vector<std::string> calls;
    void Log(const std::string& s) { calls.push_back(s); }
    static std::string N(long long v) { return std::to_string(v); }
    std::string Joined() const {
        std::string out;
        for (const std::string& c : calls) out += (out.empty() ? "" : " ") + c;
        return out;
    }

    void RebuildScene() override { Log("RebuildScene"); }
    void MesShow(const ZRString& text, int32_t cost) override {
        Log("MesShow(" + std::string(text.c_str()) + "," + N(cost) + ")");
    }
    void MesNewLine() override { Log("MesNewLine"); }
    void MesNewPage() override { Log("MesNewPage"); }
    void MesWinShowHide() override { Log("MesWinShowHide"); }
    void MesRestore() override { Log("MesRestore"); }
    void ChangeNovelMode() override { Log("ChangeNovelMode"); }
    void UpdateCursorMode() override { Log("UpdateCursorMode"); }
    void WaitTime(int32_t ms) override { Log("WaitTime(" + N(ms) + ")"); }
    void WaitClick() override { Log("WaitClick"); }
    void VoicePlay(uint32_t n, int32_t a, int32_t b) override {
        Log("VoicePlay(" + N(n) + "," + N(a) + "," + N(b) + ")");
    }
    void VoiceVolume() override { Log("VoiceVolume"); }
    void BgmPlay(int32_t t, bool loop, bool fade) override {
        Log("BgmPlay(" + N(t) + "," + N(loop) + "," + N(fade) + ")");
    }
    void BgmStop(bool fade) override { Log("BgmStop(" + N(fade) + ")"); }
    void BgmVolume() override { Log("BgmVolume"); }
    void SePlay(int32_t n, int32_t a, int32_t b) override {
        Log("SePlay(" + N(n) + "," + N(a) + "," + N(b) + ")");
    }
    void SeStop() override { Log("SeStop"); }
    void SeVolume() override { Log("SeVolume"); }
    void EnvPlay(int32_t n, bool fade, int32_t a, int32_t b) override {
        Log("EnvPlay(" + N(n) + "," + N(fade) + "," + N(a) + "," + N(b) + ")");
    }
    void EnvStop(bool fade) override { Log("EnvStop(" + N(fade) + ")"); }
    void EnvVolume() override { Log("EnvVolume"); }
    void RainSoundUpdate(int32_t level) override { Log("RainSoundUpdate(" + N(level) + ")"); }
    void RainVolume() override { Log("RainVolume"); }
    void RainPowerChanged() override { Log("RainPowerChanged"); }
    void StageTransition(int32_t effect) override { Log("StageTransition(" + N(effect) + ")"); }
    void StageApply() override { Log("StageApply"); }
    void StageEffect(int32_t n) override { Log("StageEffect(" + N(n) + ")"); }
    void SpeakStart(int32_t ms) override { Log("SpeakStart(" + N(ms) + ")"); }
    void SpeakStop() override { Log("SpeakStop"); }
    void DateShow(bool i) override { Log("DateShow(" + N(i) + ")"); }
    void DateHide(bool i) override { Log("DateHide(" + N(i) + ")"); }
    void TimeShow(bool i) override { Log("TimeShow(" + N(i) + ")"); }
    void TimeHide(bool i) override { Log("TimeHide(" + N(i) + ")"); }
    void DateTimeUpdate() override { Log("DateTimeUpdate"); }
    void PlaceShow() override { Log("PlaceShow"); }
    void SelectStart() override { Log("SelectStart"); }
    void OpeningPlay() override { Log("OpeningPlay"); }
    void EndingPlay() override { Log("EndingPlay"); }
    void MoviePlay(int32_t n) override { Log("MoviePlay(" + N(n) + ")"); }
    void BattleStart() override { Log("BattleStart"); }
};
