// Reads arbitrary bytes as a script file; when the engine accepts it, finds every label,
// fetches every string and runs a little from each label. Only "GameErr" may come out.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/zrstd.h"
#include "foundation/zrstream.h"
#include "game/gamedata.h"
#include "game/maint.h"
#include "script/scripte.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    static GameState* state = new GameState();
    static GameState* snapshot = new GameState();
    static SystemData* system = new SystemData();
    static TScriptEngine* engine = [] {
        auto* e = new TScriptEngine();
        e->BindFiles(nullptr, nullptr);
        e->BindState(state, snapshot, system, nullptr);
        return e;
    }();
    auto load = [&] {
        ZRMemoryStream stream(data, static_cast<int>(size));
        return engine->LoadScript(5, &stream);
    };
    if (!load()) return 0;
    const uint32_t labels = engine->LabelCount();
    const uint32_t codeAt = ZRGetLE32(data + 28);
    for (uint32_t i = 0; i < labels; ++i) {
        const int32_t off = engine->LabelOffset(i);
        const char* name = reinterpret_cast<const char*>(data) + codeAt + off + 10;
        const int32_t found = engine->FindLabel(name);
        if (engine->GetLabelPc(off) < 0 || found < 0 || found > off) __builtin_trap();
    }
    for (uint32_t id = 0; id <= engine->StringCount() + 1; ++id) {
        try {
            engine->GetString(id);
        } catch (const EGameErr&) {
            if (id <= engine->StringCount()) __builtin_trap();
        }
    }
    for (uint32_t i = 0; i < labels && i < 32; ++i) {
        if (engine->LoadedScript() != 5 && !load()) __builtin_trap();
        const int32_t pc = engine->GetLabelPc(engine->LabelOffset(i));
        state->Reset();
        state->ScriptNo = 5;
        state->Pc = static_cast<uint32_t>(pc);
        state->Halted = 0;
        engine->BeginFrame(2000);
        try {
            engine->Run();
        } catch (const EGameErr&) {
        }
    }
    return 0;
}
