// A message with variables expanded and then processed piece by piece until it is empty.
// Input: one byte choosing a string variable's length, that variable's bytes, the message.
// Every step must consume part of the message, and every text field of the state must stay
// terminated inside its bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "game/gamedata.h"
#include "script/scripte.h"
#include "script/scripte_text.h"

namespace {

void Terminated(const char* field, size_t size) {
    if (std::memchr(field, 0, size) == nullptr) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::unique_ptr<GameState> state = std::make_unique<GameState>();
    static std::unique_ptr<GameState> snapshot = std::make_unique<GameState>();
    static SystemData system;
    static ReadHistory history;
    static TScriptEngine engine;
    static bool bound = false;
    if (!bound) {
        engine.BindState(state.get(), snapshot.get(), &system, &history);
        bound = true;
    }
    if (size < 1 || size > 4096) return 0;
    *state = GameState();
    const size_t varLen = data[0] % 128 < size - 1 ? data[0] % 128 : size - 1;
    state->SetStringVar(
        static_cast<int32_t>(data[0] >> 4 & 15),
        ZRString(reinterpret_cast<const char*>(data + 1), static_cast<unsigned>(varLen)));
    for (int i = 0; i < GameState::kValues; ++i)
        state->SetValue(i, static_cast<int32_t>(0x9E3779B9u * static_cast<uint32_t>(i)));
    state->SetResult(static_cast<int32_t>(size) - 2048);
    state->TextSpeed = static_cast<int32_t>(data[0]) * 11;
    const size_t at = 1 + varLen;
    const ZRString raw(reinterpret_cast<const char*>(data + at), static_cast<unsigned>(size - at));

    const ZRString text = ExpandMessageVars(*state, raw);
    state->SetMessage(1, text);
    const size_t length = std::strlen(state->MessageText);
    size_t steps = 0;
    while (!state->IsMessageTextEmpty()) {
        const size_t before = std::strlen(state->MessageText);
        ProcessMessageText(engine);
        if (std::strlen(state->MessageText) >= before) __builtin_trap();
        if (++steps > length) __builtin_trap();
    }
    Terminated(state->MessageText, sizeof state->MessageText);
    for (const auto& line : state->PageLines) Terminated(line, sizeof line);
    for (const auto& line : state->Backlog) Terminated(line, sizeof line);
    for (const auto& var : state->StringVars) Terminated(var, sizeof var);
    if (state->PageLine < 0 || state->PageLine > GameState::kPageLines) __builtin_trap();
    return 0;
}
