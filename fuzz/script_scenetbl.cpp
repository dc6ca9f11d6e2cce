// Reads arbitrary bytes as the scene index and looks up every name it accepted.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/zrstd.h"
#include "foundation/zrstream.h"
#include "game/maint.h"
#include "script/scripte.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    static TScriptEngine* engine = new TScriptEngine();
    ZRMemoryStream stream(data, static_cast<int>(size));
    try {
        engine->LoadSceneTable(&stream, nullptr);
    } catch (const EGameErr&) {
        return 0;
    }
    // Every accepted entry lies inside the input: walk it the same way and find each name.
    if (size < 12) __builtin_trap();
    const uint32_t count = ZRGetLE32(data + 8);
    size_t off = 12;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t len = ZRGetLE16(data + off);
        const char* name = reinterpret_cast<const char*>(data + off + 22);
        TScriptEngine::SceneEntry e;
        if (std::strlen(name) < 64 && !engine->FindScene(name, e)) __builtin_trap();
        off += len;
    }
    return 0;
}
