// The checks of built files: a script file and the scene index read as the engine reads them,
// and every instruction, call record, scene change, string id and jump looked at for what would
// halt the script or fault the machine while a scene runs.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <span>

#include "foundation/zrstd.h"
#include "script/scrdef.h"
#include "tools/nyscript.h"

namespace nys {
namespace {

constexpr uint32_t kLabelHead = 10;

std::string Hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%X", v);
    return b;
}

// A file as the engine loads it: the three blocks, the label records and the pool records.
struct Loaded {
    uint32_t codeAt = 0, callAt = 0, poolAt = 0;
    std::span<const uint8_t> code, calls, pool;
    struct Label {
        uint32_t offset, first, end;
        std::string name;
    };
    std::vector<Label> labels;
    uint32_t strings = 0;
};

bool Load(const std::vector<uint8_t>& f, Loaded& l, std::vector<FileProblem>& out) {
    auto fail = [&](uint32_t at, const std::string& why) {
        out.push_back({at, why + ": the engine does not load this file"});
        return false;
    };
    if (f.size() < 64) return fail(0, "shorter than the 64-byte header");
    const uint64_t size = f.size();
    const char* names[3] = {"code block", "call table", "string pool"};
    const uint32_t at[3] = {28, 40, 52};
    for (int b = 0; b < 3; ++b) {
        const uint64_t off = ZRGetLE32(&f[at[b]]), len = ZRGetLE32(&f[at[b] + 4]);
        if (off + len > size)
            return fail(at[b], std::string(names[b]) + " past the end of the file");
    }
    l.codeAt = ZRGetLE32(&f[28]);
    l.callAt = ZRGetLE32(&f[40]);
    l.poolAt = ZRGetLE32(&f[52]);
    l.code = {f.data() + l.codeAt, ZRGetLE32(&f[32])};
    l.calls = {f.data() + l.callAt, ZRGetLE32(&f[44])};
    l.pool = {f.data() + l.poolAt, ZRGetLE32(&f[56])};
    const uint32_t labelCount = ZRGetLE32(&f[36]);
    l.strings = ZRGetLE32(&f[60]);
    if (labelCount > l.code.size() / (kLabelHead + 1))
        return fail(36, "label count " + std::to_string(labelCount) + " beyond the code block");
    if (l.strings > l.pool.size() / 3)
        return fail(60, "string count " + std::to_string(l.strings) + " beyond the pool");
    uint64_t off = 0;
    for (uint32_t i = 0; i < labelCount; ++i) {
        const uint32_t where = l.codeAt + static_cast<uint32_t>(off);
        if (off + kLabelHead > l.code.size())
            return fail(where, "label record past the code block");
        const uint32_t len = ZRGetLE32(&l.code[off]);
        const uint32_t nameLen = ZRGetLE16(&l.code[off + 4]);
        if (nameLen == 0 || len < kLabelHead + nameLen || off + len > l.code.size())
            return fail(where, "malformed label record");
        const uint8_t* name = &l.code[off + kLabelHead];
        const void* nul = std::memchr(name, 0, nameLen);
        if (!nul) return fail(where, "label name not terminated");
        l.labels.push_back({static_cast<uint32_t>(off),
                            static_cast<uint32_t>(off + kLabelHead + nameLen),
                            static_cast<uint32_t>(off + len),
                            std::string(reinterpret_cast<const char*>(name),
                                        static_cast<const uint8_t*>(nul) - name)});
        off += len;
    }
    off = 0;
    for (uint32_t k = 0; k < l.strings; ++k) {
        const uint32_t where = l.poolAt + static_cast<uint32_t>(off);
        if (off + 2 > l.pool.size()) return fail(where, "pool record past the pool");
        const uint32_t rec = ZRGetLE16(&l.pool[off]);
        if (rec < 3 || off + rec > l.pool.size() || !std::memchr(&l.pool[off + 2], 0, rec - 2))
            return fail(where, "malformed pool record");
        off += rec;
    }
    return true;
}

bool HasHandler(uint16_t op) {
    return ScriptOpName(op) || ScriptCommand(op);
}

// Instructions after which the machine never runs on to the next bytes.
bool Ends(uint16_t op) {
    return op == opJMP || op == opRET || op == opEXIT || op == opSCNCHG || op == 146;
}

class Checker {
  public:
    Checker(const Loaded& l, const CheckContext& c, std::vector<FileProblem>& out)
        : l_(l), c_(c), out_(out) {}

    void Run() {
        if (l_.labels.empty()) Problem(36, "label count 0: no scene or call can start here");
        std::vector<Instr> all;
        for (size_t i = 0; i < l_.labels.size(); ++i) {
            const bool last = i + 1 == l_.labels.size();
            const uint32_t end = last ? static_cast<uint32_t>(l_.code.size()) : l_.labels[i].end;
            Decode(l_.labels[i].first, end, last, all);
        }
        for (const Instr& in : all) starts_.insert(in.pc);
        for (size_t k = 0; k < all.size(); ++k) Look(all, k);
    }

  private:
    struct Instr {
        uint32_t pc;
        uint16_t op;
        uint32_t operand;
        bool afterPush;  // the instruction before it in the same label is a PUSH
    };

    void Problem(uint32_t at, const std::string& why) { out_.push_back({at, why}); }
    uint32_t CodeAt(uint32_t pc) const { return l_.codeAt + pc; }

    void Decode(uint32_t pc, uint32_t end, bool last, std::vector<Instr>& all) {
        bool push = false;
        uint16_t prev = opNOP;
        bool any = false;
        while (pc < end) {
            if (end - pc < 2) {
                Problem(CodeAt(pc), "a stray byte where an instruction should start");
                return;
            }
            const uint16_t op = ZRGetLE16(&l_.code[pc]);
            const uint32_t len = ScriptOpHasOperand(op) ? 6 : 2;
            if (!HasHandler(op))
                Problem(CodeAt(pc), "opcode " + std::to_string(op) + " has no handler");
            if (pc + len > end) {
                Problem(CodeAt(pc), last ? "operand past the end of the code block"
                                         : "instruction runs into the next label record");
                return;
            }
            all.push_back({pc, op, len == 6 ? ZRGetLE32(&l_.code[pc + 2]) : 0, push});
            push = op == opPUSH;
            prev = op;
            any = true;
            pc += len;
        }
        if (!last && (!any || !Ends(prev)))
            Problem(CodeAt(pc), "code runs on into the head of the next label record");
    }

    // The values of the PUSHes right before instruction k, nearest first; fewer when they
    // are not all PUSHes of the same label.
    std::vector<uint32_t> Pushed(const std::vector<Instr>& all, size_t k, size_t n) const {
        std::vector<uint32_t> v;
        for (size_t j = k; j > 0 && v.size() < n && all[j].afterPush; --j)
            v.push_back(all[j - 1].operand);
        return v;
    }

    void Look(const std::vector<Instr>& all, size_t k) {
        const Instr& in = all[k];
        const uint32_t at = CodeAt(in.pc);
        if (in.op == opJMP || in.op == opJZ || in.op == opJNZ) {
            const uint32_t to = in.pc + in.operand;
            if (to < l_.code.size() && !starts_.count(to))
                Problem(at, "jump to code offset " + Hex(to) +
                                ", inside an instruction or a label record's head");
        }
        if ((in.op == opCALL || in.op == opSCNCHG) && l_.calls.empty())
            Problem(at, std::string(in.op == opCALL ? "CALL" : "SCNCHG") + " with no call table");
        else if (in.op == opCALL || in.op == opSCNCHG)
            for (uint32_t rec : Pushed(all, k, 1)) Record(at, in.op, rec);
        size_t strings = 0;
        if (in.op == 64 || in.op == opSETSTR) strings = 1;
        if (in.op == 143) strings = 4;
        for (uint32_t id : Pushed(all, k, strings))
            if (id != 0 && !(id & 0x80000000u) && id > l_.strings)
                Problem(at, "string id " + std::to_string(id) + " beyond the pool's " +
                                std::to_string(l_.strings) + " strings");
    }

    void Record(uint32_t at, uint16_t op, uint32_t rec) {
        const auto& t = l_.calls;
        const std::string where = " at call table offset " + Hex(rec);
        if (static_cast<uint64_t>(rec) + 4 > t.size())
            return Problem(at, "call record" + where + " past the table");
        const uint16_t kind = ZRGetLE16(&t[rec + 2]);
        const uint8_t* text = &t[rec + 4];
        const size_t room = t.size() - rec - 4;
        const void* nul = std::memchr(text, 0, room);
        const std::string s(reinterpret_cast<const char*>(text),
                            nul ? static_cast<const uint8_t*>(nul) - text : room);
        if (op == opSCNCHG) {
            if (!nul) Problem(l_.callAt + rec, "scene name runs past the call table");
            if (!c_.scenes) return;
            for (const IndexEntry& e : *c_.scenes)
                if (e.name == s && e.name.size() < 64) return;
            return Problem(at, "scene change to \"" + s + "\", which the index does not hold");
        }
        if (kind == 1) {
            if (static_cast<uint64_t>(rec) + 8 > t.size())
                return Problem(at, "near call record" + where + " past the table");
            const uint32_t label = ZRGetLE32(&t[rec + 4]);
            for (const auto& lr : l_.labels)
                if (lr.offset == label) return;
            return Problem(l_.callAt + rec,
                           "near call to code offset " + Hex(label) + ", not a label record");
        }
        if (kind != 2)
            return Problem(at, "call record" + where + " of unknown kind " + std::to_string(kind));
        const size_t sep = s.find("::");
        uint32_t number = 0;
        bool ok = sep != std::string::npos && sep >= 4;
        for (size_t i = 0; ok && i < sep; ++i) {
            const char ch = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
            if (i < 3)
                ok = ch == "scr"[i];
            else
                ok = ch >= '0' && ch <= '9' && (number = number * 10 + (ch - '0')) <= 0xFFFF;
        }
        if (!ok) return Problem(l_.callAt + rec, "far call text \"" + s + "\" names no script");
        if (!c_.labelsOf) return;
        const std::vector<std::string>* labels = c_.labelsOf(number);
        if (!labels)
            return Problem(
                at, "far call to script " + std::to_string(number) + ", whose file is not there");
        const std::string label = s.substr(sep + 2);
        for (const std::string& n : *labels)
            if (n == label) return;
        Problem(at, "far call to label '" + label + "', not in script " + std::to_string(number));
    }

    const Loaded& l_;
    const CheckContext& c_;
    std::vector<FileProblem>& out_;
    std::set<uint32_t> starts_;
};

}  // namespace

bool ReadSceneTable(const std::vector<uint8_t>& t, std::vector<IndexEntry>& out,
                    std::vector<FileProblem>& problems) {
    out.clear();
    auto fail = [&](uint32_t at, const std::string& why) {
        problems.push_back({at, why + ": the engine refuses this index"});
        return false;
    };
    if (t.size() < 12 || std::memcmp(t.data(), "SV01", 4) != 0)
        return fail(0, "no \"SV01\" header");
    const uint64_t block = ZRGetLE32(&t[4]);
    const uint32_t count = ZRGetLE32(&t[8]);
    if (count > 0xFFFF) return fail(8, "more than 65,535 scenes");
    if (block > t.size() - 12) return fail(4, "entry block past the end of the file");
    uint64_t off = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t at = static_cast<uint32_t>(12 + off);
        if (off + 2 > block) return fail(at, "entry past the entry block");
        const uint8_t* e = &t[at];
        const uint32_t len = ZRGetLE16(e);
        if (len < 23 || off + len > block) return fail(at, "malformed entry");
        const void* nul = std::memchr(e + 22, 0, len - 22);
        if (!nul) return fail(at, "scene name not terminated");
        IndexEntry x;
        x.name.assign(reinterpret_cast<const char*>(e + 22),
                      static_cast<const uint8_t*>(nul) - (e + 22));
        x.script = ZRGetLE32(e + 2);
        x.label = ZRGetLE32(e + 10);
        x.offset = at;
        if (x.name.size() >= 64)
            problems.push_back(
                {at + 22, "scene name of " + std::to_string(x.name.size()) +
                              " bytes: the engine leaves the scene out (at most 63)"});
        out.push_back(std::move(x));
        off += len;
    }
    return true;
}

bool ScriptLabels(const std::vector<uint8_t>& vnx,
                  std::vector<std::pair<uint32_t, std::string>>& out) {
    Loaded l;
    std::vector<FileProblem> ignored;
    out.clear();
    if (!Load(vnx, l, ignored)) return false;
    for (const auto& r : l.labels) out.emplace_back(r.offset, r.name);
    return true;
}

bool CheckScriptFile(const std::vector<uint8_t>& vnx, const CheckContext& context,
                     std::vector<FileProblem>& out) {
    Loaded l;
    if (!Load(vnx, l, out)) return false;
    std::vector<FileProblem> found;
    Checker(l, context, found).Run();
    std::stable_sort(found.begin(), found.end(), [](const FileProblem& a, const FileProblem& b) {
        return a.offset < b.offset;
    });
    out.insert(out.end(), found.begin(), found.end());
    return true;
}

}  // namespace nys
