// The machine: the run loop with its per-frame budget, scene starts, suspension and resume,
// the return to a loaded game, and the 43 built-in operations.
#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>

#include "foundation/zrfileman.h"
#include "game/gamedata.h"
#include "game/gamef.h"
#include "game/maint.h"
#include "platform/codepage.h"
#include "script/scripte.h"

namespace {
thread_local const char* faultReason = nullptr;
}

TScriptEngine::TScriptEngine() : scenes_(1024) {
    scriptFiles_ = ScriptFileMan;
    gameFiles_ = GameFileMan;
    state_ = &CurrentState;
    snapshot_ = &SceneSnapshot;
    system_ = &SysData;
    history_ = &ReadHist;
    InstallOperations();
}

TScriptEngine::~TScriptEngine() = default;

void TScriptEngine::BindFiles(ZRFileMan* scripts, ZRFileMan* game) {
    scriptFiles_ = scripts;
    gameFiles_ = game;
}

void TScriptEngine::BindState(GameState* current, GameState* snapshot, SystemData* system,
                              ReadHistory* history) {
    state_ = current;
    snapshot_ = snapshot;
    system_ = system;
    history_ = history;
}

void TScriptEngine::SetHandler(int op, ScriptHandler handler) {
    if (op >= 0 && op < kScriptHandlerCount) handlers_[op] = handler;
}

void TScriptEngine::Fault(const char* why) const {
    faultReason = why;
    throw EGameErr();
}

uint32_t TScriptEngine::Pc() const {
    return state_->Pc;
}

void TScriptEngine::Halt(const char* why) {
    std::fprintf(stderr, "script %d pc %u: halted: %s\n", state_->ScriptNo, state_->Pc, why);
    state_->Halted = 1;
}

void TScriptEngine::Suspend(uint8_t waitKind) {
    state_->SetWaitState(waitKind);
    state_->Waiting = 1;
    break_ = 1;
}

bool TScriptEngine::Run() {
    GameState& s = *state_;
    if (s.Waiting) return false;
    if (budget_ <= 0) return s.Halted != 0;
    s.SetWaitState(0);
    break_ = 0;
    try {
        // Text handed to the processor counts against the budget too: one that neither
        // empties the text nor breaks must not hold the frame for ever either.
        while (!s.Halted && !s.Waiting && !break_) {
            if (budget_ <= 0) break;
            --budget_;
            if (s.IsMessageTextEmpty()) {
                Step();
                if (s.Halted) s.MarkMessageRead();
            } else {
                if (textProcessor_)
                    textProcessor_(*this);
                else
                    s.SetMessageText(ZRString());
                if (s.IsMessageTextEmpty()) s.MarkMessageRead();
            }
        }
    } catch (const std::exception& e) {
        const uint16_t op =
            static_cast<uint64_t>(s.Pc) + 2 <= code_.size() ? ZRGetLE16(&code_[s.Pc]) : 0xFFFF;
        std::fprintf(
            stderr, "script %d pc %u op %u: %s\n", s.ScriptNo, s.Pc, op,
            faultReason ? faultReason : plat::ToUtf8(e.what(), plat::CodePage::ShiftJis).c_str());
        faultReason = nullptr;
        throw EGameErr();
    }
    return s.Halted != 0;
}

void TScriptEngine::Step() {
    GameState& s = *state_;
    if (s.Halted || s.Waiting) return;
    if (scriptNo_ < 0 || s.Pc >= code_.size()) {
        s.Halted = 1;
        return;
    }
    const uint16_t op = ReadCodeU16(s.Pc);
    nextPc_ = s.Pc + static_cast<uint32_t>(ScriptOpLength(op));
    if (op >= kScriptHandlerCount || !handlers_[op]) Fault("opcode without a handler");
    faultReason = nullptr;
    handlers_[op](*this);
    s.Pc = nextPc_;
}

void TScriptEngine::Resume(int32_t value) {
    GameState& s = *state_;
    if (!s.Waiting) return;
    s.Push(static_cast<uint32_t>(value));
    s.Waiting = 0;
}

void TScriptEngine::SceneStartReset() {
    GameState& s = *state_;
    s.ClearPage();
    if (!s.GetBacklogLine(s.GetBacklogCount() - 1).IsEmpty()) s.NewBacklogLine();
    s.ResetScreen();
}

bool TScriptEngine::StartScene(const char* name) {
    if (!loaded_ || !name) return false;
    SceneEntry e;
    if (std::strlen(name) >= GameState::kSceneNameSize || !FindScene(name, e)) return false;
    if (e.script > INT32_MAX) return false;
    if (static_cast<int32_t>(e.script) != scriptNo_ && !LoadScript(static_cast<int32_t>(e.script)))
        return false;
    // Checked before the snapshot is taken and the screen reset: a scene that cannot start
    // leaves the state as it was.
    const int32_t pc = e.label <= INT32_MAX ? GetLabelPc(static_cast<int32_t>(e.label)) : -1;
    if (pc < 0) return false;
    GameState& s = *state_;
    *snapshot_ = s;
    SceneStartReset();
    s.SetSceneName(name);
    s.ScriptNo = scriptNo_;
    s.ScriptSum = HeaderChecksum();
    s.Pc = static_cast<uint32_t>(pc);
    s.Halted = 0;
    s.Waiting = 0;
    if (e.date != 0) {
        s.SetDate(e.date);
        s.SetTime(e.time);
    }
    if (e.limitDate != 0) {
        s.SetLimitDate(e.limitDate);
        s.SetLimitTime(e.limitTime);
    } else {
        s.LimitMonth = s.LimitDay = s.LimitHour = s.LimitMinute = 0;
    }
    s.ClearStack();
    s.ClearCallStack();
    s.SetResult(0);
    s.SetArg(0);
    s.SetWaitState(0);
    return true;
}

bool TScriptEngine::ReloadScript() {
    GameState& s = *state_;
    if (!loaded_ || s.Halted) return false;
    // A copy loaded before the file changed on disk must not keep running.
    if (s.ScriptNo == scriptNo_ && HeaderChecksum() == s.ScriptSum) return true;
    if (s.ScriptNo == scriptNo_) {
        FreeScript();
        DropCachedScripts();
    }
    return LoadScript(s.ScriptNo);
}

bool TScriptEngine::ResumeLoadedGame() {
    GameState& s = *state_;
    bool same = GetScriptChecksum(s.ScriptNo) == s.ScriptSum;
    const int32_t depth = s.CallDepth < 0                          ? 0
                          : s.CallDepth > GameState::kMaxCallDepth ? GameState::kMaxCallDepth
                                                                   : s.CallDepth;
    for (int32_t i = 0; same && i < depth; ++i)
        same = GetScriptChecksum(s.Frames[i].ScriptNo) == s.Frames[i].Checksum;
    if (same) return ReloadScript();
    const ZRString name = s.GetSceneName();
    s = *snapshot_;
    // The loaded copy may be the old file: the restart must read the new one.
    FreeScript();
    DropCachedScripts();
    return StartScene(name.c_str());
}

// ---------------------------------------------------------------------------------------------
// Operations. a is the value popped first (the top), b the one beneath it.

void TScriptEngine::EnterFrame() {
    GameState& s = *state_;
    s.PushFrame(s.ScriptNo, s.ScriptSum, nextPc_, s.StackBase, s.StackTop, s.GetResult(),
                s.GetArg());
    s.SetResult(0);
    s.SetArg(0);
}

void TScriptEngine::FarCall(const ZRString& text) {
    GameState& s = *state_;
    // The frame goes on first and the script number changes as soon as the file has loaded:
    // a call that halts half way is saved with the state it had reached.
    EnterFrame();
    const std::string& t = text.GetConstStr();
    const size_t sep = t.find("::");
    // The part before "::" is "scr" and a number of at most five digits' worth: 0-65,535.
    if (sep == std::string::npos || sep < 4) return Halt("far call text does not name a script");
    uint32_t number = 0;
    for (size_t i = 0; i < sep; ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(t[i])));
        if (i < 3) {
            if (c != "scr"[i]) return Halt("far call text does not name a script");
        } else if (c < '0' || c > '9' ||
                   (number = number * 10 + static_cast<uint32_t>(c - '0')) > 0xFFFF) {
            return Halt("far call script number is not 0-65535");
        }
    }
    if (!LoadScript(static_cast<int32_t>(number))) return Halt("far call script does not load");
    s.ScriptNo = scriptNo_;
    s.ScriptSum = HeaderChecksum();
    const int32_t pc = GetLabelPc(FindLabel(t.c_str() + sep + 2));
    if (pc < 0) return Halt("far call label not found");
    nextPc_ = static_cast<uint32_t>(pc);
}

struct ScriptOps {
    static GameState& S(TScriptEngine& e) { return *e.state_; }
    static int32_t Pop(TScriptEngine& e) { return static_cast<int32_t>(S(e).Pop()); }
    static void Push(TScriptEngine& e, int32_t v) { S(e).Push(static_cast<uint32_t>(v)); }
    static void PushBool(TScriptEngine& e, bool v) { S(e).Push(v ? 1u : 0u); }

    static void Nop(TScriptEngine&) {}
    static void PushOp(TScriptEngine& e) { S(e).Push(e.ReadCodeU32(S(e).Pc + 2)); }
    static void PopOp(TScriptEngine& e) { S(e).Pop(); }
    // Jumps add in 32-bit unsigned arithmetic: a negative operand goes backwards.
    static void Jmp(TScriptEngine& e) { e.nextPc_ = S(e).Pc + e.ReadCodeU32(S(e).Pc + 2); }
    static void Jz(TScriptEngine& e) {
        if (Pop(e) == 0) Jmp(e);
    }
    static void Jnz(TScriptEngine& e) {
        if (Pop(e) != 0) Jmp(e);
    }
    static void Call(TScriptEngine& e) {
        const uint32_t off = S(e).Pop();
        const uint16_t kind = e.CallKind(off);
        if (kind == 1) {
            if (static_cast<uint64_t>(off) + 8 > e.calls_.size())
                return e.Halt("call record past the table");
            const uint32_t label = ZRGetLE32(&e.calls_[off + 4]);
            const int32_t pc = label <= INT32_MAX ? e.GetLabelPc(static_cast<int32_t>(label)) : -1;
            if (pc < 0) return e.Halt("call to no label record");
            e.EnterFrame();
            e.nextPc_ = static_cast<uint32_t>(pc);
        } else if (kind == 2) {
            e.FarCall(e.CallText(off + 4));
        } else {
            e.Halt("call record of no known kind");
        }
    }
    static void Dup(TScriptEngine& e) { S(e).Push(S(e).Peek()); }
    static void Swap(TScriptEngine& e) {
        const uint32_t a = S(e).Pop(), b = S(e).Pop();
        S(e).Push(a);
        S(e).Push(b);
    }
    static void Dup2(TScriptEngine& e) {
        const uint32_t a = S(e).Pop();
        S(e).Push(S(e).Peek());
        S(e).Push(a);
    }
    static void Swap2(TScriptEngine& e) {
        const uint32_t a = S(e).Pop(), b = S(e).Pop(), c = S(e).Pop();
        S(e).Push(b);
        S(e).Push(c);
        S(e).Push(a);
    }
    static void Ret(TScriptEngine& e) {
        GameState& s = S(e);
        if (s.CallDepth <= 0) return e.Halt("return at call depth 0");
        CallFrame f;
        s.PopFrame(f);
        const uint32_t value = s.StackTop > f.Top ? s.Pop() : 0;
        if (!e.LoadScript(f.ScriptNo)) return e.Halt("caller's script does not load");
        s.ScriptNo = e.scriptNo_;
        s.ScriptSum = e.HeaderChecksum();
        e.nextPc_ = f.ReturnPc;
        s.StackBase = f.Base;
        s.StackTop = f.Top;
        s.SetResult(f.Result);
        s.SetArg(f.Arg);
        s.Push(value);
    }
    static void Exit(TScriptEngine& e) { S(e).Halted = 1; }
    static void Lnot(TScriptEngine& e) { PushBool(e, Pop(e) == 0); }

    template <typename F>
    static void Binary(TScriptEngine& e, F f) {
        const int32_t a = Pop(e), b = Pop(e);
        Push(e, f(b, a));
    }
    // Signed overflow is undefined in C++: wrap through unsigned arithmetic.
    static void Mul(TScriptEngine& e) {
        Binary(e, [](int32_t b, int32_t a) {
            return static_cast<int32_t>(static_cast<uint32_t>(b) * static_cast<uint32_t>(a));
        });
    }
    static void Add(TScriptEngine& e) {
        Binary(e, [](int32_t b, int32_t a) {
            return static_cast<int32_t>(static_cast<uint32_t>(b) + static_cast<uint32_t>(a));
        });
    }
    static void Sub(TScriptEngine& e) {
        Binary(e, [](int32_t b, int32_t a) {
            return static_cast<int32_t>(static_cast<uint32_t>(b) - static_cast<uint32_t>(a));
        });
    }
    static void Div(TScriptEngine& e) {
        Binary(e, [](int32_t b, int32_t a) {
            if (a == 0) return b >= 0 ? -1 : 0;
            if (a == -1)
                return static_cast<int32_t>(0u -
                                            static_cast<uint32_t>(b));  // INT_MIN stays INT_MIN
            return b / a;
        });
    }
    static void Rem(TScriptEngine& e) {
        Binary(e, [](int32_t b, int32_t a) { return a == 0 || a == -1 ? 0 : b % a; });
    }
    static void Lt(TScriptEngine& e) {
        Binary(e, [](int32_t b, int32_t a) { return int32_t{b < a}; });
    }
    static void Le(TScriptEngine& e) {
        Binary(e, [](int32_t b, int32_t a) { return int32_t{b <= a}; });
    }
    static void Gt(TScriptEngine& e) {
        Binary(e, [](int32_t b, int32_t a) { return int32_t{b > a}; });
    }
    static void Ge(TScriptEngine& e) {
        Binary(e, [](int32_t b, int32_t a) { return int32_t{b >= a}; });
    }
    static void Eq(TScriptEngine& e) {
        Binary(e, [](int32_t b, int32_t a) { return int32_t{b == a}; });
    }
    static void Ne(TScriptEngine& e) {
        Binary(e, [](int32_t b, int32_t a) { return int32_t{b != a}; });
    }
    static void Land(TScriptEngine& e) {
        Binary(e, [](int32_t b, int32_t a) { return int32_t{b != 0 && a != 0}; });
    }
    static void Lor(TScriptEngine& e) {
        Binary(e, [](int32_t b, int32_t a) { return int32_t{b != 0 || a != 0}; });
    }

    static void SetF(TScriptEngine& e) {
        const int32_t v = Pop(e), n = Pop(e);
        S(e).SetFlag(n, v != 0);
    }
    static void GetF(TScriptEngine& e) { PushBool(e, S(e).GetFlag(Pop(e))); }
    static void SetSF(TScriptEngine& e) {
        const int32_t v = Pop(e), n = Pop(e);
        e.system_->SetFlag(n, v != 0);
    }
    static void GetSF(TScriptEngine& e) { PushBool(e, e.system_->GetFlag(Pop(e))); }
    static void SetV(TScriptEngine& e) {
        const int32_t v = Pop(e), n = Pop(e);
        S(e).SetValue(n, v);
    }
    static void GetV(TScriptEngine& e) { Push(e, S(e).GetValue(Pop(e))); }
    static void SetSV(TScriptEngine& e) {
        const int32_t v = Pop(e), n = Pop(e);
        e.system_->SetValue(n, static_cast<uint32_t>(v));
    }
    static void IncSV(TScriptEngine& e) { S(e).Push(e.system_->GetValue(Pop(e))); }
    static void SetStr(TScriptEngine& e) {
        const uint32_t id = S(e).Pop();
        const int32_t n = Pop(e);
        S(e).SetStringVar(n, e.GetString(id));
    }
    static void GetStr(TScriptEngine& e) { S(e).Push(S(e).Pop() | 0x80000000u); }
    static void SetRes(TScriptEngine& e) { S(e).SetResult(Pop(e)); }
    static void GetRes(TScriptEngine& e) { Push(e, S(e).GetResult()); }
    static void GetCF(TScriptEngine& e) { PushBool(e, S(e).GetSysFlagCopy(Pop(e))); }
    static void GetCV(TScriptEngine& e) { Push(e, S(e).GetSysValueCopy(Pop(e))); }
    static void GetArg(TScriptEngine& e) { Push(e, S(e).GetArg()); }
    static void ScnChg(TScriptEngine& e) {
        const uint32_t off = S(e).Pop();
        if (static_cast<uint64_t>(off) + 4 > e.calls_.size())
            return e.Halt("scene record past the table");
        const ZRString name = e.CallText(off + 4);
        if (!e.StartScene(name.c_str())) return e.Halt("scene does not start");
        if (e.host_) e.host_->RebuildScene();
        e.nextPc_ = S(e).Pc;
    }
};

void TScriptEngine::InstallOperations() {
    const struct {
        int op;
        ScriptHandler fn;
    } table[] = {
        {opNOP, ScriptOps::Nop},       {opPUSH, ScriptOps::PushOp},   {opPOP, ScriptOps::PopOp},
        {opJMP, ScriptOps::Jmp},       {opJZ, ScriptOps::Jz},         {opJNZ, ScriptOps::Jnz},
        {opCALL, ScriptOps::Call},     {opDUP, ScriptOps::Dup},       {opSWAP, ScriptOps::Swap},
        {opDUP2, ScriptOps::Dup2},     {opSWAP2, ScriptOps::Swap2},   {opRET, ScriptOps::Ret},
        {opEXIT, ScriptOps::Exit},     {opLNOT, ScriptOps::Lnot},     {opMUL, ScriptOps::Mul},
        {opDIV, ScriptOps::Div},       {opREM, ScriptOps::Rem},       {opADD, ScriptOps::Add},
        {opSUB, ScriptOps::Sub},       {opLT, ScriptOps::Lt},         {opLE, ScriptOps::Le},
        {opGT, ScriptOps::Gt},         {opGE, ScriptOps::Ge},         {opEQ, ScriptOps::Eq},
        {opNE, ScriptOps::Ne},         {opLAND, ScriptOps::Land},     {opLOR, ScriptOps::Lor},
        {opSETF, ScriptOps::SetF},     {opGETF, ScriptOps::GetF},     {opSETSF, ScriptOps::SetSF},
        {opGETSF, ScriptOps::GetSF},   {opSETV, ScriptOps::SetV},     {opGETV, ScriptOps::GetV},
        {opSETSV, ScriptOps::SetSV},   {opINCSV, ScriptOps::IncSV},   {opSETSTR, ScriptOps::SetStr},
        {opGETSTR, ScriptOps::GetStr}, {opSETRES, ScriptOps::SetRes}, {opGETRES, ScriptOps::GetRes},
        {opGETCF, ScriptOps::GetCF},   {opGETCV, ScriptOps::GetCV},   {opGETARG, ScriptOps::GetArg},
        {opSCNCHG, ScriptOps::ScnChg},
    };
    static_assert(sizeof table / sizeof table[0] == 43);
    for (const auto& r : table) handlers_[r.op] = r.fn;
}
