// The script machine's vocabulary, shared by the engine, the assembler and the disassembler:
// the names of the built-in operations (opcodes 0-48), the descriptors of the commands
// (opcodes 64-187: name, how many arguments they pop, whether they push a result), and
// ScriptHost, the narrow face of the scene that owns the engine.
#pragma once
#include <cstdint>

#include "foundation/zrstring.h"

// Opcodes are u16 in the code, but only 0-191 have handler slots.
inline constexpr int kScriptHandlerCount = 192;
inline constexpr int kScriptFirstCommand = 64;
inline constexpr int kScriptLastCommand = 187;

enum ScriptOp : uint16_t {
    opNOP = 0,
    opPUSH = 1,
    opPOP = 2,
    opJMP = 3,
    opJZ = 4,
    opJNZ = 5,
    opCALL = 6,
    opDUP = 8,
    opSWAP = 9,
    opDUP2 = 10,
    opSWAP2 = 11,
    opRET = 14,
    opEXIT = 15,
    opLNOT = 16,
    opMUL = 19,
    opDIV = 20,
    opREM = 21,
    opADD = 22,
    opSUB = 23,
    opLT = 24,
    opLE = 25,
    opGT = 26,
    opGE = 27,
    opEQ = 28,
    opNE = 29,
    opLAND = 30,
    opLOR = 31,
    opSETF = 32,
    opGETF = 33,
    opSETSF = 34,
    opGETSF = 35,
    opSETV = 36,
    opGETV = 37,
    opSETSV = 38,
    opINCSV = 39,
    opSETSTR = 40,
    opGETSTR = 41,
    opSETRES = 42,
    opGETRES = 43,
    opGETCF = 44,
    opGETCV = 45,
    opGETARG = 46,
    opSCNCHG = 48,
};

// Name of a built-in operation, or null for an opcode that is none.
const char* ScriptOpName(int op);
// The opcode of a built-in operation's name (exact case), or -1.
int ScriptOpByName(const char* name);
// PUSH and the three jumps carry a u32 operand; POP, between them in number, does not.
inline bool ScriptOpHasOperand(int op) {
    return op == opPUSH || op == opJMP || op == opJZ || op == opJNZ;
}
// Bytes the instruction with this opcode occupies in the code.
inline int ScriptOpLength(int op) {
    return ScriptOpHasOperand(op) ? 6 : 2;
}

struct ScriptCommandDesc {
    const char* name;
    uint32_t args;
    uint32_t returns;  // 0 or 1
};

// Descriptor of a command opcode, or null (outside 64-187 or one of the unused opcodes).
const ScriptCommandDesc* ScriptCommand(int op);
// The opcode of a command's name (exact case), or -1.
int ScriptCommandByName(const char* name);

// What a script reaches of the scene that owns its engine. The adventure scene implements it;
// the engine only ever holds a pointer, which may be null while no scene exists (tests, tools).
class ScriptHost {
  public:
    virtual ~ScriptHost() = default;
    // After a scene change: rebuild the stage and the text windows from the game state.
    virtual void RebuildScene() = 0;

    // ---- What the commands and the text processor ask the scene to show or play. The game
    // state is already changed when these are called; a host that lacks a part leaves it at
    // rest. Operations that start something visible make the scene leave its run state.
    // Text windows.
    virtual void MesShow(const ZRString& text, int32_t cost) { (void)text, (void)cost; }
    virtual void MesNewLine() {}
    virtual void MesNewPage() {}
    virtual void MesWinShowHide() {}
    virtual void MesRestore() {}
    virtual void ChangeNovelMode() {}
    virtual void UpdateCursorMode() {}
    // Waits.
    virtual void WaitTime(int32_t ms) { (void)ms; }
    virtual void WaitClick() {}
    // Sound; the position pairs are handed on unchanged.
    virtual void VoicePlay(uint32_t number, int32_t a, int32_t b) {
        (void)number, (void)a, (void)b;
    }
    virtual void VoiceVolume() {}
    virtual void BgmPlay(int32_t track, bool loop, bool fade) {
        (void)track, (void)loop, (void)fade;
    }
    virtual void BgmStop(bool fade) { (void)fade; }
    virtual void BgmVolume() {}
    virtual void SePlay(int32_t n, int32_t a, int32_t b) { (void)n, (void)a, (void)b; }
    virtual void SeStop() {}
    virtual void SeVolume() {}
    virtual void EnvPlay(int32_t n, bool fade, int32_t a, int32_t b) {
        (void)n, (void)fade, (void)a, (void)b;
    }
    virtual void EnvStop(bool fade) { (void)fade; }
    virtual void EnvVolume() {}
    virtual void RainSoundUpdate(int32_t level) { (void)level; }
    virtual void RainVolume() {}
    virtual void RainPowerChanged() {}
    // Stage.
    virtual void StageTransition(int32_t effect) { (void)effect; }
    virtual void StageApply() {}
    virtual void StageEffect(int32_t n) { (void)n; }
    virtual void SpeakStart(int32_t ms) { (void)ms; }
    virtual void SpeakStop() {}
    // Plates, choice, movies, battle.
    virtual void DateShow(bool instant) { (void)instant; }
    virtual void DateHide(bool instant) { (void)instant; }
    virtual void TimeShow(bool instant) { (void)instant; }
    virtual void TimeHide(bool instant) { (void)instant; }
    virtual void DateTimeUpdate() {}
    virtual void PlaceShow() {}
    virtual void SelectStart() {}
    virtual void OpeningPlay() {}
    virtual void EndingPlay() {}
    virtual void MoviePlay(int32_t n) { (void)n; }
    virtual void BattleStart() {}
};
