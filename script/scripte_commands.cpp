// The command handlers of opcodes 64-187. Each pops its arguments (the last one first),
// changes the game state and asks the host for what must be seen or heard. Arguments outside
// a command's range make it do nothing; errors come only from the value stack and string ids.
#include <algorithm>
#include <climits>

#include "game/gamedata.h"
#include "game/gamedef.h"
#include "script/scrchar.h"
#include "script/scripte.h"
#include "script/scripte_text.h"

namespace {

using E = TScriptEngine;

int32_t Pop(E& e) {
    return static_cast<int32_t>(e.State().Pop());
}
void Push(E& e, int32_t v) {
    e.State().Push(static_cast<uint32_t>(v));
}
GameState& St(E& e) {
    return e.State();
}

// Calls a host operation when the engine has a host.
template <typename F>
void Host(E& e, F f) {
    if (ScriptHost* h = e.Host()) f(*h);
}

bool Volume(int32_t v) {
    return v >= 0 && v <= 100;
}

void SetAlbum(E& e, int64_t bit) {
    if (bit >= 0 && bit < SystemData::kAlbumBits) e.System().SetAlbumBit(static_cast<int32_t>(bit));
}

void RainUpdate(E& e) {
    Host(e, [](ScriptHost& h) { h.RainPowerChanged(); });
    UpdateRainSoundLevel(e);
}

void SetRain(E& e, int64_t power) {
    St(e).SetRainPower(static_cast<int32_t>(std::clamp<int64_t>(power, 0, 255)));
    RainUpdate(e);
}

void CharCommit(E& e) {
    CommitChars(e);
}

// ---- text ----
void cmdText(E& e) {
    const int32_t id = Pop(e);
    GameState& st = St(e);
    st.SetMessage(id, ExpandMessageVars(st, e.GetString(static_cast<uint32_t>(id))));
    if (st.TextWindowShown == 0) TextShow(e);
}
void cmdNewLine(E& e) {
    TextNewLine(e);
}
void cmdNewPage(E& e) {
    TextNewPage(e);
}
void cmdTextShow(E& e) {
    TextShow(e);
}
void cmdTextHide(E& e) {
    TextHide(e);
}
void cmdTextSpeed(E& e) {
    const int32_t v = Pop(e);
    if (v >= 0 && v <= 3000) St(e).TextSpeed = v;
}
void cmdNovelMode(E& e) {
    const uint8_t on = Pop(e) != 0;
    GameState& st = St(e);
    if (on == st.NovelMode) return;
    st.ClearPage();
    st.NovelMode = on;
    Host(e, [](ScriptHost& h) { h.ChangeNovelMode(); });
    e.SetBreak();
}
void cmdLocate(E& e) {
    const int32_t line = Pop(e);
    const int32_t col = Pop(e);
    TextLocate(e, col, line);
}
void cmdWait(E& e) {
    const int32_t ms = Pop(e);
    Host(e, [&](ScriptHost& h) { h.WaitTime(ms); });
    e.SetBreak();
}
void cmdKeyWait(E& e) {
    St(e).SkipDisabled = 0;
    Host(e, [](ScriptHost& h) { h.WaitClick(); });
    St(e).SetWaitState(1);
    e.SetBreak();
}
void cmdSkipDisable(E& e) {
    St(e).SkipDisabled = Pop(e) != 0;
}

// ---- sound ----
void cmdVoice(E& e) {
    const uint32_t n = e.State().Pop();
    GameState& st = St(e);
    Host(e, [&](ScriptHost& h) { h.VoicePlay(n, st.VoicePos[0], st.VoicePos[1]); });
    st.VoicePos[0] = st.VoicePos[1] = 0;
}
void cmdVoiceVol(E& e) {
    const int32_t v = Pop(e);
    if (!Volume(v)) return;
    St(e).VoiceVolume = v;
    Host(e, [](ScriptHost& h) { h.VoiceVolume(); });
}
void cmdVoicePos(E& e) {
    const int32_t b = Pop(e);
    St(e).VoicePos[0] = Pop(e);
    St(e).VoicePos[1] = b;
}
void PlayMusic(E& e, int32_t track, bool song, bool fade) {
    Host(e, [&](ScriptHost& h) { h.BgmPlay(track, !song, fade); });
    // Only music is resumed after a load; songs play once.
    St(e).MusicTrack = song || track < 0 ? -1 : track;
}
void StopMusic(E& e, bool fade) {
    Host(e, [&](ScriptHost& h) { h.BgmStop(fade); });
    St(e).MusicTrack = -1;
}
void MusicVolume(E& e) {
    const int32_t v = Pop(e);
    if (!Volume(v)) return;
    St(e).MusicVolume = v;
    Host(e, [](ScriptHost& h) { h.BgmVolume(); });
}
void cmdBGMPlayF(E& e) {
    const bool fade = Pop(e) != 0;
    PlayMusic(e, Pop(e), false, fade);
}
void cmdSongPlayF(E& e) {
    const bool fade = Pop(e) != 0;
    PlayMusic(e, Pop(e), true, fade);
}
void cmdMusicStopF(E& e) {
    StopMusic(e, Pop(e) != 0);
}
void cmdMusicVol(E& e) {
    MusicVolume(e);
}
void cmdSEPlay(E& e) {
    const int32_t n = Pop(e);
    GameState& st = St(e);
    Host(e, [&](ScriptHost& h) { h.SePlay(n, st.SePos[0], st.SePos[1]); });
    st.SePos[0] = st.SePos[1] = 0;
}
void cmdSEStop(E& e) {
    Host(e, [](ScriptHost& h) { h.SeStop(); });
}
void cmdSEVol(E& e) {
    const int32_t v = Pop(e);
    if (!Volume(v)) return;
    St(e).SeVolume = v;
    Host(e, [](ScriptHost& h) { h.SeVolume(); });
}
void cmdSEPos(E& e) {
    const int32_t b = Pop(e);
    St(e).SePos[0] = Pop(e);
    St(e).SePos[1] = b;
}
void PlayEnv(E& e, int32_t track, bool fade) {
    GameState& st = St(e);
    Host(e, [&](ScriptHost& h) { h.EnvPlay(track, fade, st.EnvNextPos[0], st.EnvNextPos[1]); });
    st.EnvTrack = track;
    st.EnvPos[0] = st.EnvNextPos[0];
    st.EnvPos[1] = st.EnvNextPos[1];
    st.EnvNextPos[0] = st.EnvNextPos[1] = 0;
}
void StopEnv(E& e, bool fade) {
    Host(e, [&](ScriptHost& h) { h.EnvStop(fade); });
    St(e).EnvTrack = -1;
}
void cmdEnvPlayF(E& e) {
    const bool fade = Pop(e) != 0;
    PlayEnv(e, Pop(e), fade);
}
void cmdEnvStopF(E& e) {
    StopEnv(e, Pop(e) != 0);
}
void cmdEnvVol(E& e) {
    const int32_t v = Pop(e);
    if (!Volume(v)) return;
    St(e).EnvVolume = v;
    Host(e, [](ScriptHost& h) { h.EnvVolume(); });
}
void cmdEnvPos(E& e) {
    const int32_t b = Pop(e);
    St(e).EnvNextPos[0] = Pop(e);
    St(e).EnvNextPos[1] = b;
}

// ---- stage ----
void cmdSetBG(E& e) {
    SetStagedBG(St(e), Pop(e));
}
void cmdSetWhite(E& e) {
    SetStagedBG(St(e), 998);
}
void cmdSetBlack(E& e) {
    SetStagedBG(St(e), 999);
}
void cmdFade(E& e) {
    CommitStage(e, Pop(e));
}
void cmdFadeBG(E& e) {
    const int32_t effect = Pop(e);
    SetStagedBG(St(e), Pop(e));
    CommitStage(e, effect);
}
void cmdWhiteOut(E& e) {
    const int32_t effect = Pop(e);
    SetStagedBG(St(e), 998);
    CommitStage(e, effect);
}
void cmdBlackOut(E& e) {
    const int32_t effect = Pop(e);
    SetStagedBG(St(e), 999);
    CommitStage(e, effect);
}
void cmdActionChar(E& e) {
    CommitChars(e);
}
void cmdSetShowChar(E& e) {
    const int32_t mode = Pop(e);
    const int32_t position = Pop(e);
    const int32_t slot = Pop(e);
    const int32_t character = Pop(e);
    CharShow(St(e), character, slot, mode, position);
}
void ShowCommit(E& e, int32_t mode) {
    const int32_t slot = Pop(e);
    const int32_t character = Pop(e);
    if (CharShow(St(e), character, slot, mode, 608)) CharCommit(e);
}
void cmdShowCharIL(E& e) {
    ShowCommit(e, kCharModeMakeRoom);
}
void cmdShowCharCH(E& e) {
    ShowCommit(e, kCharModeInPlace);
}
bool IsReference(int32_t r) {
    return r >= 0x100 && r <= 0x1FF;
}
void cmdSetHideChar(E& e) {
    const int32_t mode = Pop(e);
    const int32_t position = Pop(e);
    CharHide(St(e), Pop(e), position, mode);
}
void HideCommit(E& e, int32_t mode) {
    const int32_t ref = Pop(e);
    if (!IsReference(ref)) return;
    CharHide(St(e), ref, 624, mode);
    CharCommit(e);
}
void cmdHideCharIL(E& e) {
    HideCommit(e, kCharModeMakeRoom);
}
void cmdHideCharID(E& e) {
    HideCommit(e, kCharModeAlone);
}
void cmdSetMoveChar(E& e) {
    const int32_t mode = Pop(e);
    const int32_t position = Pop(e);
    CharMove(St(e), Pop(e), position, mode);
}
void MoveCommit(E& e, int32_t mode) {
    const int32_t position = Pop(e);
    CharMove(St(e), Pop(e), position, mode);
    CharCommit(e);
}
void cmdMoveCharIL(E& e) {
    MoveCommit(e, kCharModeMakeRoom);
}
void cmdMoveCharCH(E& e) {
    MoveCommit(e, kCharModeInPlace);
}
void cmdAllMoveChar(E& e) {
    CharAllMove(St(e), Pop(e));
    CharCommit(e);
}
void cmdAllHideChar(E& e) {
    CharAllHide(St(e));
    CharCommit(e);
}
void cmdSetChangeChar(E& e) {
    const int32_t character = Pop(e);
    CharChange(St(e), Pop(e), character);
}
void cmdChangeChar(E& e) {
    const int32_t character = Pop(e);
    if (CharChange(St(e), Pop(e), character)) CommitStage(e, 2);
}
void cmdSetPriority(E& e) {
    const int32_t v = Pop(e);
    if (v >= 0 && v <= 3) St(e).PriorityStaged = v;
}
void cmdEffect(E& e) {
    const int32_t n = Pop(e);
    Host(e, [&](ScriptHost& h) { h.StageEffect(n); });
    e.SetBreak();
}

// ---- cursor, place, calendar, weather ----
void cmdShowCursor(E& e) {
    if (St(e).CursorShown != 0) return;
    St(e).CursorShown = 1;
    Host(e, [](ScriptHost& h) { h.UpdateCursorMode(); });
}
void cmdHideCursor(E& e) {
    if (St(e).CursorShown != 1) return;
    St(e).CursorShown = 0;
    Host(e, [](ScriptHost& h) { h.UpdateCursorMode(); });
}
void cmdShowPlace(E& e) {
    St(e).PlaceCard = Pop(e);
    Host(e, [](ScriptHost& h) { h.PlaceShow(); });
}
void DateTimeUpdate(E& e) {
    Host(e, [](ScriptHost& h) { h.DateTimeUpdate(); });
}
void cmdSetDate(E& e) {
    St(e).SetDate(Pop(e));
    DateTimeUpdate(e);
}
void cmdGetDate(E& e) {
    Push(e, St(e).Month * 100 + St(e).Day);
}
void cmdGetMonth(E& e) {
    Push(e, St(e).Month);
}
void cmdGetDay(E& e) {
    Push(e, St(e).Day);
}
void cmdGetWeek(E& e) {
    Push(e, St(e).GetWeekday());
}
void cmdSetTime(E& e) {
    St(e).SetTime(Pop(e));
    DateTimeUpdate(e);
}
void cmdGetTime(E& e) {
    Push(e, St(e).Hour * 100 + St(e).Minute);
}
void cmdGetHour(E& e) {
    Push(e, St(e).Hour);
}
void cmdGetMin(E& e) {
    Push(e, St(e).Minute);
}
void cmdSetWeather(E& e) {
    St(e).SetWeather(Pop(e));
}
void cmdGetWeather(E& e) {
    Push(e, St(e).GetWeather());
}
void cmdAddDay(E& e) {
    St(e).AddDays(Pop(e));
    DateTimeUpdate(e);
}
void cmdAddMin(E& e) {
    St(e).AddMinutes(Pop(e));
    DateTimeUpdate(e);
}

// ---- choice, movies, flow ----
void cmdSelect(E& e) {
    int32_t ids[GameState::kSelectTexts];
    for (int i = GameState::kSelectTexts - 1; i >= 0; --i) ids[i] = Pop(e);
    GameState& st = St(e);
    st.ClearSelectTexts();
    for (int i = 0; i < GameState::kSelectTexts; ++i)
        st.SetSelectText(i, ExpandMessageVars(st, e.GetString(static_cast<uint32_t>(ids[i]))));
    e.Suspend(2);
    Host(e, [](ScriptHost& h) { h.SelectStart(); });
}
void cmdShowOpening(E& e) {
    SetAlbum(e, 180);
    Host(e, [](ScriptHost& h) { h.OpeningPlay(); });
    e.SetBreak();
}
void cmdShowEnding(E& e) {
    St(e).MovieNo = Pop(e);
    SetAlbum(e, 181);
    Host(e, [](ScriptHost& h) { h.EndingPlay(); });
    e.SetBreak();
}
void cmdGoTitle(E& e) {
    St(e).Halted = 1;
}
void cmdGoBattle(E& e) {
    St(e).MovieNo = Pop(e);
    e.Suspend(4);
    Host(e, [](ScriptHost& h) { h.BattleStart(); });
}
void cmdExSelect(E& e) {
    St(e).ExSelArg = Pop(e);
    Push(e, 0);
}
void cmdShowMovie(E& e) {
    const int32_t n = Pop(e);
    St(e).MovieNo = n;
    SetAlbum(e, int64_t{181} + n);
    Host(e, [&](ScriptHost& h) { h.MoviePlay(n); });
    e.SetBreak();
}

// ---- plates ----
void cmdDateShow(E& e) {
    const bool instant = Pop(e) != 0;
    Host(e, [&](ScriptHost& h) { h.DateShow(instant); });
}
void cmdDateHide(E& e) {
    const bool instant = Pop(e) != 0;
    Host(e, [&](ScriptHost& h) { h.DateHide(instant); });
}
void cmdTimeShow(E& e) {
    const bool instant = Pop(e) != 0;
    Host(e, [&](ScriptHost& h) { h.TimeShow(instant); });
}
void cmdTimeHide(E& e) {
    const bool instant = Pop(e) != 0;
    Host(e, [&](ScriptHost& h) { h.TimeHide(instant); });
}
void cmdBGMPlay(E& e) {
    PlayMusic(e, Pop(e), false, true);
}
void cmdBGMStop(E& e) {
    StopMusic(e, true);
}
void cmdSongPlay(E& e) {
    PlayMusic(e, Pop(e), true, true);
}
void cmdEnvPlay(E& e) {
    PlayEnv(e, Pop(e), false);
}
void cmdEnvStop(E& e) {
    StopEnv(e, true);
}
void cmdFreePlayEnable(E& e) {
    Pop(e);
}

// ---- rain ----
void cmdRainVol(E& e) {
    const int32_t v = Pop(e);
    if (!Volume(v)) return;
    St(e).RainVolume = v;
    Host(e, [](ScriptHost& h) { h.RainVolume(); });
}
void cmdSetRainPower(E& e) {
    SetRain(e, Pop(e));
}
void cmdGetRainPower(E& e) {
    Push(e, St(e).GetRainPower());
}
void cmdSetRainLevel(E& e) {
    const int32_t level = Pop(e);
    if (level >= 0 && level <= 3) SetRain(e, level * 50);
}
void cmdGetRainLevel(E& e) {
    Push(e, St(e).GetRainLevel());
}
// Sums in 64 bits: a script may pass any 32-bit amount.
void cmdAddRainPower(E& e) {
    const int64_t d = Pop(e);
    SetRain(e, St(e).GetRainPower() + d);
}
void cmdSubRainPower(E& e) {
    const int64_t d = Pop(e);
    SetRain(e, St(e).GetRainPower() - d);
}
void cmdAddRainPowLv(E& e) {
    const int64_t d = Pop(e);
    if (d < 0) return;
    GameState& st = St(e);
    const int32_t level = st.GetRainLevel();
    if (level < 4) {
        st.SetRainPower(static_cast<int32_t>(std::min<int64_t>(255, st.GetRainPower() + d)));
        if (st.GetRainLevel() == level) st.SetRainPower(level * 50 + 50);
    } else {
        st.SetRainPower(255);
    }
    RainUpdate(e);
}
void cmdSubRainPowLv(E& e) {
    const int64_t d = Pop(e);
    if (d < 0) return;
    GameState& st = St(e);
    const int32_t level = st.GetRainLevel();
    if (level >= 1) {
        st.SetRainPower(static_cast<int32_t>(std::max<int64_t>(0, st.GetRainPower() - d)));
        if (st.GetRainLevel() == level) st.SetRainPower(level * 50 - 1);
    } else {
        st.SetRainPower(0);
    }
    RainUpdate(e);
}
void cmdSetStage(E& e) {
    St(e).SetStage(Pop(e));
}

// ---- speaking ----
void SpeakStop(E& e) {
    Host(e, [](ScriptHost& h) { h.SpeakStop(); });
}
void SetSpeaking(E& e, int i, uint8_t on) {
    St(e).SpeakShown[i] = on;
    St(e).SpeakStaged[i] = on;
}
void cmdSpeakPos(E& e) {
    const int32_t n = Pop(e) & 15;
    for (int i = 0; i < CharSlots::kSlots; ++i) SetSpeaking(e, i, i == n);
    SpeakStop(e);
}
void cmdSpeakPosAll(E& e) {
    for (int i = 0; i < CharSlots::kSlots; ++i) SetSpeaking(e, i, 1);
    SpeakStop(e);
}
void cmdSpeakClear(E& e) {
    for (int i = 0; i < CharSlots::kSlots; ++i) SetSpeaking(e, i, 0);
    SpeakStop(e);
}
void cmdSpeakOn(E& e) {
    const int32_t ms = std::max(0, Pop(e));
    Host(e, [&](ScriptHost& h) { h.SpeakStart(ms); });
}
void cmdSpeakOff(E& e) {
    SpeakStop(e);
}
void cmdSpeakChar(E& e) {
    const int32_t k = Pop(e);
    for (int i = 0; i < CharSlots::kSlots; ++i) {
        const int32_t id = St(e).CharShown.ShowId[i];
        SetSpeaking(e, i, k >= 0 && id >= 0 && id <= 999 && e.Speaker(id) == k);
    }
    SpeakStop(e);
}
void cmdFadeSpeed(E& e) {
    St(e).FadeSpeed = std::max(1, Pop(e));
}

// ---- odds and ends ----
void cmdRandom(E& e) {
    const int32_t n = Pop(e);
    Push(e, n > 0 ? GameRandom.Random(n) : 0);
}
void cmdSetAlbum(E& e) {
    const int32_t m = Pop(e) % 1000;
    if (m >= 500 && m < 700) SetAlbum(e, m - 500);
}
void cmdBacklogClear(E& e) {
    St(e).ClearBacklog();
}

struct Binding {
    int op;
    ScriptHandler fn;
};

constexpr Binding kBindings[] = {
    {64, cmdText},
    {65, cmdNewLine},
    {66, cmdNewPage},
    {67, cmdTextShow},
    {68, cmdTextHide},
    {69, cmdTextSpeed},
    {70, cmdNovelMode},
    {71, cmdLocate},
    {72, cmdWait},
    {73, cmdKeyWait},
    {74, cmdSkipDisable},
    {75, cmdVoice},
    {76, cmdVoiceVol},
    {77, cmdVoicePos},
    {78, cmdBGMPlayF},
    {79, cmdMusicStopF},
    {80, cmdMusicVol},
    {81, cmdSongPlayF},
    {82, cmdMusicStopF},
    {83, cmdMusicVol},
    {84, cmdSEPlay},
    {85, cmdSEStop},
    {86, cmdSEVol},
    {87, cmdSEPos},
    {88, cmdEnvPlayF},
    {89, cmdEnvStopF},
    {90, cmdEnvVol},
    {91, cmdEnvPos},
    {96, cmdSetBG},
    {97, cmdSetWhite},
    {98, cmdSetBlack},
    {99, cmdFade},
    {100, cmdFadeBG},
    {101, cmdWhiteOut},
    {102, cmdBlackOut},
    {103, cmdActionChar},
    {104, cmdSetShowChar},
    {105, cmdShowCharIL},
    {106, cmdShowCharCH},
    {107, cmdSetHideChar},
    {108, cmdHideCharIL},
    {109, cmdHideCharID},
    {110, cmdSetMoveChar},
    {111, cmdMoveCharIL},
    {112, cmdMoveCharCH},
    {113, cmdAllMoveChar},
    {114, cmdAllHideChar},
    {115, cmdSetChangeChar},
    {116, cmdChangeChar},
    {117, cmdSetPriority},
    {128, cmdEffect},
    {129, cmdShowCursor},
    {130, cmdHideCursor},
    {131, cmdShowPlace},
    {132, cmdSetDate},
    {133, cmdGetDate},
    {134, cmdGetMonth},
    {135, cmdGetDay},
    {136, cmdGetWeek},
    {137, cmdSetTime},
    {138, cmdGetTime},
    {139, cmdGetHour},
    {140, cmdGetMin},
    {141, cmdSetWeather},
    {142, cmdGetWeather},
    {143, cmdSelect},
    {144, cmdShowOpening},
    {145, cmdShowEnding},
    {146, cmdGoTitle},
    {147, cmdGoBattle},
    {148, cmdExSelect},
    {152, cmdAddDay},
    {153, cmdAddMin},
    {154, cmdRainVol},
    {157, cmdDateShow},
    {158, cmdDateHide},
    {159, cmdTimeShow},
    {160, cmdTimeHide},
    {161, cmdBGMPlay},
    {162, cmdBGMStop},
    {163, cmdSongPlay},
    {164, cmdBGMStop},
    {165, cmdEnvPlay},
    {166, cmdEnvStop},
    {167, cmdFreePlayEnable},
    {168, cmdSetRainPower},
    {169, cmdGetRainPower},
    {170, cmdSetRainLevel},
    {171, cmdGetRainLevel},
    {172, cmdAddRainPower},
    {173, cmdSubRainPower},
    {174, cmdAddRainPowLv},
    {175, cmdSubRainPowLv},
    {176, cmdSetStage},
    {177, cmdSpeakPos},
    {178, cmdSpeakPosAll},
    {179, cmdSpeakClear},
    {180, cmdSpeakOn},
    {181, cmdSpeakOff},
    {182, cmdFadeSpeed},
    {183, cmdShowMovie},
    {184, cmdRandom},
    {185, cmdSpeakChar},
    {186, cmdSetAlbum},
    {187, cmdBacklogClear},
};
static_assert(sizeof kBindings / sizeof kBindings[0] == 105);

}  // namespace

void BindScriptCommands(TScriptEngine& engine) {
    for (const Binding& b : kBindings) engine.SetHandler(b.op, b.fn);
    engine.SetTextProcessor(ProcessMessageText);
}
