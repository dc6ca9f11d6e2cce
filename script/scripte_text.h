// What the script commands share: message variables and control sequences, the page and
// backlog bookkeeping around the text window, the commit of the staged stage and characters,
// and the rain-sound level. Everything works on the engine's game state and asks the engine's
// host (when there is one) for what must be seen or heard.
#pragma once
#include <cstdint>

#include "foundation/zrstring.h"

class GameState;
class TScriptEngine;

// A number in full-width GBK digits (A3 B0-A3 B9, minus A3 AD), at least one digit: the text
// windows draw GBK.
ZRString GbkWideNumber(int32_t value);

// Replaces "%r", "%v<digits>" and "%s<digits>" with the result register, a game value and a
// string variable, and drops white space and stray "%" signs. A digit run too long for a
// number names nothing (value 0, empty string).
ZRString ExpandMessageVars(const GameState& state, const ZRString& text);

// Consumes the current message text by one step: a new line, a new page, or one piece up to
// the next control sequence, which goes to the page, the backlog and the text window.
void ProcessMessageText(TScriptEngine& engine);

void TextNewLine(TScriptEngine& engine);
void TextNewPage(TScriptEngine& engine);
void TextShow(TScriptEngine& engine);
void TextHide(TScriptEngine& engine);
void TextLocate(TScriptEngine& engine, int32_t col, int32_t line);

void SetStagedBG(GameState& state, int32_t id);
// The staged background, characters, speaking flags and priority become the shown ones and
// the stage shows the change with a transition effect.
void CommitStage(TScriptEngine& engine, int32_t effect);
// The same for the characters alone, which move by their own animations.
void CommitChars(TScriptEngine& engine);
// Recomputes the rain-sound level from weather, rain power and background; tells the host
// when it changed.
void UpdateRainSoundLevel(TScriptEngine& engine);

// Binds the command handlers (opcodes 64-187) and the message-text processor into an engine.
void BindScriptCommands(TScriptEngine& engine);
