// TScriptEngine: the story's stack machine and the files it runs. It loads the scene index
// ("Scene.tbl") and the speaker table once, loads one compiled script file ("scr%05d.vnx") at a
// time, and runs its code frame by frame on the logic thread. Registers, value stack and call
// frames live in the current GameState, so a slot save captures a running script; the engine
// itself keeps only what can be rebuilt from the files.
//
// Every offset and length read from a file is checked when the file is loaded (scene entries,
// label records, pool records) or when the code uses it (call records, code reads), so that
// damaged data halts the script or raises "GameErr" instead of reading out of bounds.
#pragma once
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "foundation/zrhash.h"
#include "foundation/zrstring.h"
#include "platform/filetime.h"
#include "script/scrdef.h"

class GameState;
class SystemData;
class ReadHistory;
class ZRFileMan;
class ZRStream;
class TScriptEngine;

// One opcode's handler. Commands (64-187) are bound by the scene layer; an empty slot raises
// "GameErr" when its opcode runs.
using ScriptHandler = void (*)(TScriptEngine& engine);
// Shows the current message text (or part of it) and leaves the rest in the state; bound by
// the text layer. Without one the text counts as shown at once.
using ScriptTextProcessor = void (*)(TScriptEngine& engine);

// A byte buffer whose growth leaves the new bytes as they are: a file's blocks are read
// straight over them, so filling them with zeros first would only cost time.
template <typename T>
struct UninitAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitAllocator<U>;
    };
    UninitAllocator() = default;
    template <typename U>
    UninitAllocator(const UninitAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... A>
    void construct(U* p, A&&... a) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
};
using ScriptBytes = std::vector<uint8_t, UninitAllocator<uint8_t>>;

class TScriptEngine {
  public:
    static constexpr int kSpeakerCount = 1000;
    // Instructions one frame may run; a script that loops without a break gives the frame
    // back when they are spent instead of hanging the logic thread.
    static constexpr int32_t kFrameBudget = 100000;

    TScriptEngine();
    ~TScriptEngine();
    TScriptEngine(const TScriptEngine&) = delete;
    TScriptEngine& operator=(const TScriptEngine&) = delete;

    // Where files and state come from. By default the script and game archives' managers
    // and the game-data globals; tests and tools bind their own before loading.
    void BindFiles(ZRFileMan* scripts, ZRFileMan* game);
    void BindState(GameState* current, GameState* snapshot, SystemData* system,
                   ReadHistory* history);
    void SetHost(ScriptHost* host) { host_ = host; }
    ScriptHost* Host() const { return host_; }

    // --- Scene index and script files -------------------------------------------------
    // Loads "Scene.tbl" and "SpeakTbl.csv". Any failure raises EGameErr after logging why.
    bool LoadSceneTable();
    // The same from streams the caller opened; a null index is a missing file.
    bool LoadSceneTable(ZRStream* index, ZRStream* speakers);
    bool IsSceneTableLoaded() const { return loaded_; }
    bool LoadScript(int32_t number);
    // Makes the file read from the stream the loaded script `number`.
    bool LoadScript(int32_t number, ZRStream* file);
    int32_t LoadedScript() const { return scriptNo_; }
    // The header checksum of file `number`; all bits set when it is missing, short or names
    // another number.
    uint32_t GetScriptChecksum(int32_t number);
    int32_t FindLabel(const char* name) const;
    // The first instruction of the label record at `offset`; -1 unless a label record of the
    // loaded file starts exactly there.
    int32_t GetLabelPc(int32_t offset) const;
    uint16_t ReadCodeU16(uint32_t pc) const;
    uint32_t ReadCodeU32(uint32_t pc) const;
    ZRString GetString(uint32_t id) const;
    uint32_t CodeSize() const { return static_cast<uint32_t>(code_.size()); }
    uint32_t StringCount() const { return static_cast<uint32_t>(strOffsets_.size()); }
    uint32_t LabelCount() const { return static_cast<uint32_t>(labels_.size()); }
    // Offset of the i-th label record of the loaded file.
    int32_t LabelOffset(uint32_t i) const { return labels_[i].offset; }
    uint32_t HeaderChecksum() const;
    uint32_t HeaderNumber() const;
    // Character id 0-999 -> speaker number, -1 none.
    int32_t Speaker(int32_t id) const;
    // Scene-index entry by name: false when unknown.
    struct SceneEntry {
        uint32_t script;
        uint32_t label;
        uint16_t date, time, limitDate, limitTime;
    };
    bool FindScene(const char* name, SceneEntry& out) const;
    int SceneCount() const { return sceneCount_; }

    // --- The machine ----------------------------------------------------------------------
    bool StartScene(const char* name);
    // Runs until halted, waiting, break or the frame's budget is spent; returns halted.
    bool Run();
    void Step();
    void Resume(int32_t value);
    bool ResumeLoadedGame();
    bool ReloadScript();
    void SceneStartReset();
    // Refills the instruction budget; the host calls it once per frame before Run.
    void BeginFrame(int32_t budget = kFrameBudget) { budget_ = budget; }
    // Run gave the frame back because the budget ran out: call Run again next frame.
    bool BudgetSpent() const { return budget_ <= 0; }

    // --- For handlers -----------------------------------------------------------------------
    GameState& State() const { return *state_; }
    SystemData& System() const { return *system_; }
    void SetHandler(int op, ScriptHandler handler);
    void SetTextProcessor(ScriptTextProcessor fn) { textProcessor_ = fn; }
    // The current instruction gives the frame back after it.
    void SetBreak() { break_ = true; }
    bool BreakSet() const { return break_ != 0; }
    // The current instruction waits for Resume(value).
    void Suspend(uint8_t waitKind);
    uint32_t NextPc() const { return nextPc_; }
    void SetNextPc(uint32_t pc) { nextPc_ = pc; }
    // The current instruction's program counter.
    uint32_t Pc() const;
    // Where the current instruction halts the script.
    void Halt(const char* why);

  private:
    struct Label {
        int32_t offset;
        int32_t pc;
    };
    // A loaded file kept aside so that calls back and forth between files do not read and
    // decompress them again; valid while the file's time in its source is unchanged.
    struct Image {
        int32_t number;
        plat::FileTime time;
        uint8_t header[64];
        ScriptBytes code, calls, pool;
        std::vector<uint32_t> strOffsets;
        std::vector<Label> labels;
    };
    static constexpr size_t kCachedImages = 3;  // besides the loaded one
    void FreeScript();
    // Moves the loaded file into the cache (when its time is known) and unloads it.
    void StashScript();
    void DropCachedScripts() { cache_.clear(); }
    bool LoadScriptFile(ZRStream* s);
    void LoadIndex(ZRStream* s);
    void LoadSpeakers(ZRStream* s);
    // The call record at a popped offset: kind, or 0 when the record does not fit the table.
    uint16_t CallKind(uint32_t offset) const;
    // The NUL-terminated text at table offset `at`, cut at the table's end.
    ZRString CallText(uint32_t at) const;
    void FarCall(const ZRString& text);
    void EnterFrame();
    void Fault(const char* why) const;
    void InstallOperations();

    friend struct ScriptOps;

    bool loaded_ = false;
    std::vector<uint8_t> index_;
    ZRHashTable scenes_;
    int sceneCount_ = 0;
    int32_t scriptNo_ = -1;
    uint8_t header_[64] = {};
    ScriptBytes code_;
    ScriptBytes calls_;
    ScriptBytes pool_;
    std::vector<uint32_t> strOffsets_;
    std::vector<Label> labels_;
    plat::FileTime fileTime_;
    bool fileTimeKnown_ = false;
    std::vector<Image> cache_;  // most recently used first
    uint8_t break_ = 0;
    uint32_t nextPc_ = 0;
    std::vector<int32_t> speakers_;

    int32_t budget_ = kFrameBudget;
    ScriptHandler handlers_[kScriptHandlerCount] = {};
    ScriptTextProcessor textProcessor_ = nullptr;
    ScriptHost* host_ = nullptr;
    ZRFileMan* scriptFiles_ = nullptr;
    ZRFileMan* gameFiles_ = nullptr;
    GameState* state_ = nullptr;
    GameState* snapshot_ = nullptr;
    SystemData* system_ = nullptr;
    ReadHistory* history_ = nullptr;
};
