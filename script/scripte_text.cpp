// Message text processing and the stage commit steps shared by the commands.
#include "script/scripte_text.h"

#include <climits>
#include <cstring>
#include <string>

#include "game/gamedata.h"
#include "script/scripte.h"

namespace {

bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// Where "\n" and "\p" first stand as characters of their own (a backslash may be the trail
// byte of a double-byte character, and is then no control sequence).
void FindSequences(const std::string& t, size_t& newline, size_t& newpage) {
    newline = newpage = std::string::npos;
    for (size_t i = 0; i < t.size();) {
        const unsigned char c = static_cast<unsigned char>(t[i]);
        if (ZRString::IsLead(c) && i + 1 < t.size()) {
            i += 2;
            continue;
        }
        if (c == '\\' && i + 1 < t.size()) {
            if (t[i + 1] == 'n' && newline == std::string::npos) newline = i;
            if (t[i + 1] == 'p' && newpage == std::string::npos) newpage = i;
        }
        ++i;
    }
}

}  // namespace

ZRString GbkWideNumber(int32_t value) {
    std::string out;
    int64_t v = value;
    if (v < 0) {
        out += "\xA3\xAD";  // "－"
        v = -v;
    }
    char digits[16];
    int n = 0;
    do {
        digits[n++] = static_cast<char>(v % 10);
        v /= 10;
    } while (v > 0);
    while (n > 0) {
        out += '\xA3';
        out += static_cast<char>(0xB0 + digits[--n]);  // "０"-"９"
    }
    return ZRString(out.c_str(), static_cast<unsigned>(out.size()));
}

ZRString ExpandMessageVars(const GameState& state, const ZRString& text) {
    std::string s = text.GetConstStr();
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '%') {
            if (i + 1 >= s.size()) {
                s.erase(i, 1);
                break;
            }
            const char kind = s[i + 1];
            if (kind == 'r') {
                const std::string ins = GbkWideNumber(state.GetResult()).GetConstStr();
                s.replace(i, 2, ins);
                i += ins.size();
                continue;
            }
            if ((kind == 'v' || kind == 's') && i + 2 < s.size()) {
                size_t j = i + 2;
                int64_t n = 0;
                while (j < s.size() && IsDigit(static_cast<unsigned char>(s[j]))) {
                    // Saturate: a run too long for a number names no value or variable.
                    if (n <= INT32_MAX) n = n * 10 + (s[j] - '0');
                    ++j;
                }
                std::string ins;
                if (j > i + 2) {
                    const int32_t id = n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n);
                    ins = kind == 'v' ? GbkWideNumber(state.GetValue(id)).GetConstStr()
                                      : state.GetStringVar(id).GetConstStr();
                }
                s.replace(i, j - i, ins);
                i += ins.size();
                continue;
            }
            s.erase(i, 1);
            continue;
        }
        if (ZRString::IsLead(c)) {
            if (i + 1 < s.size()) {
                i += 2;
            } else {
                s.erase(i, 1);  // half a character at the end
            }
            continue;
        }
        if (IsSpace(c)) {
            s.erase(i, 1);
            continue;
        }
        ++i;
    }
    return ZRString(s.c_str(), static_cast<unsigned>(s.size()));
}

void ProcessMessageText(TScriptEngine& engine) {
    GameState& st = engine.State();
    if (st.IsMessageTextEmpty()) return;
    // Worked on in place: what is left is always shorter than what was stored.
    char* const field = st.MessageText;
    const std::string t(field, strnlen(field, sizeof st.MessageText));
    size_t newline, newpage;
    FindSequences(t, newline, newpage);
    size_t consumed = 2;
    if (newline == 0) {
        TextNewLine(engine);
    } else if (newpage == 0) {
        TextNewPage(engine);
    } else {
        size_t cut = t.size();
        if (newpage != std::string::npos && (newline == std::string::npos || newline > newpage))
            cut = newpage;
        else if (newline != std::string::npos)
            cut = newline;
        const ZRString piece(t.data(), static_cast<unsigned>(cut));
        consumed = cut;
        st.AddText(piece);
        int32_t cost = st.TextSpeed;
        if (cut >= 2 && static_cast<unsigned char>(piece[1]) == 0x81 &&
            static_cast<unsigned char>(piece[2]) == 0x79)
            cost = 0;  // a name line appears at once
        else if (cost > 0)
            cost = 30000 / cost;
        else
            cost = 0;
        if (ScriptHost* h = engine.Host()) h->MesShow(piece, cost);
        if (st.TextWindowShown == 0) st.TextWindowShown = 1;
        engine.SetBreak();
    }
    const size_t rest = t.size() - consumed;
    std::memmove(field, field + consumed, rest);
    std::memset(field + rest, 0, sizeof st.MessageText - rest);
}

void TextNewLine(TScriptEngine& engine) {
    engine.State().NewLine();
    if (ScriptHost* h = engine.Host()) h->MesNewLine();
}

void TextNewPage(TScriptEngine& engine) {
    engine.State().ClearPage();
    if (ScriptHost* h = engine.Host()) h->MesNewPage();
}

void TextShow(TScriptEngine& engine) {
    GameState& st = engine.State();
    if (st.TextWindowShown != 0) return;
    st.TextWindowShown = 1;
    if (ScriptHost* h = engine.Host()) h->MesWinShowHide();
    engine.SetBreak();
}

void TextHide(TScriptEngine& engine) {
    GameState& st = engine.State();
    if (st.TextWindowShown != 1) return;
    st.TextWindowShown = 0;
    if (ScriptHost* h = engine.Host()) h->MesWinShowHide();
    engine.SetBreak();
}

void TextLocate(TScriptEngine& engine, int32_t col, int32_t line) {
    engine.State().LocateText(col, line);
    if (ScriptHost* h = engine.Host()) h->MesRestore();
}

void SetStagedBG(GameState& state, int32_t id) {
    state.BgStaged = id;
}

namespace {

void CommitStaged(GameState& st) {
    st.CharShown = st.CharStaged;
    for (int i = 0; i < CharSlots::kSlots; ++i) st.SpeakShown[i] = st.SpeakStaged[i];
    st.PriorityShown = st.PriorityStaged;
}

}  // namespace

void CommitStage(TScriptEngine& engine, int32_t effect) {
    GameState& st = engine.State();
    st.BgShown = st.BgStaged;
    CommitStaged(st);
    const int32_t m = st.BgShown % 1000;
    if (m >= 500 && m < 700) engine.System().SetAlbumBit(m - 500);
    if (ScriptHost* h = engine.Host()) h->StageTransition(effect);
    st.CharStaged.ClearMoves();
    st.FadeSpeed = 100;
    UpdateRainSoundLevel(engine);
    engine.SetBreak();
}

void CommitChars(TScriptEngine& engine) {
    GameState& st = engine.State();
    CommitStaged(st);
    if (ScriptHost* h = engine.Host()) h->StageApply();
    st.CharStaged.ClearMoves();
    engine.SetBreak();
}

void UpdateRainSoundLevel(TScriptEngine& engine) {
    GameState& st = engine.State();
    int32_t level = -1;
    if (st.Weather == 2) {
        const int32_t b = st.BgShown;
        const int32_t rain = st.GetRainLevel();
        if (b % 1000 < 998) {
            level = rain + (b / 1000 == 1 ? 5 : 0);
        } else {
            // White and black keep whether the rain was heard from inside or outside.
            const int32_t stored = st.RainSoundLevel;
            level = stored >= 5 ? rain + 5 : stored >= 0 ? rain : -1;
        }
    }
    if (level == st.RainSoundLevel) return;
    st.RainSoundLevel = level;
    if (ScriptHost* h = engine.Host()) h->RainSoundUpdate(level);
}
