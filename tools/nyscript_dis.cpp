// The disassembler: a script file back to source that assembles to the same bytes. It
// declares the pool and the call table in their stored order, so ids and record offsets come
// out the same, and names jump targets inside a label as local targets.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <span>

#include "foundation/zrstd.h"
#include "platform/codepage.h"
#include "script/scrdef.h"
#include "tools/nyscript.h"

namespace nys {
namespace {

// GBK bytes as a source literal: characters that survive the round trip through UTF-8 are
// written as such, everything else as "\xHH".
std::string Quote(std::string_view bytes) {
    std::string out = "\"";
    size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (c >= 0x81 && c <= 0xF7 && i + 1 < bytes.size()) {
            std::string_view ch = bytes.substr(i, 2);
            const std::string u = plat::ToUtf8(ch, plat::CodePage::Gbk);
            std::string back;
            size_t bad;
            if (u.find("\xEF\xBF\xBD") == std::string::npos &&
                plat::FromUtf8Strict(u, plat::CodePage::Gbk, back, bad) && back == ch) {
                out += u;
                i += 2;
                continue;
            }
        }
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        out += hex;
        ++i;
    }
    return out + "\"";
}

bool IsName(const std::string& s) {
    if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
    for (unsigned char c : s)
        if (!(c >= 0x80 || std::isalnum(c) || c == '_')) return false;
    const std::string u = plat::ToUtf8(s, plat::CodePage::Gbk);
    std::string back;
    size_t bad;
    return u.find("\xEF\xBF\xBD") == std::string::npos &&
           plat::FromUtf8Strict(u, plat::CodePage::Gbk, back, bad) && back == s;
}

struct Instr {
    uint32_t pc;
    uint16_t op;
    uint32_t operand;
    int kind;  // 0 instruction, 1 raw u16, 2 raw byte
};

struct Record {
    uint32_t offset;
    uint16_t kind;
    uint32_t label;  // near
    std::string text;
};

class Disassembler {
  public:
    Disassembler(const std::vector<uint8_t>& f, std::string& error) : f_(f), error_(error) {}

    bool Run(const std::vector<uint8_t>& sceneTable, std::string& out) {
        if (!Header()) return false;
        if (!Labels() || !Pool() || !Calls()) return false;
        out = "script " + std::to_string(number_) + "\n";
        Scenes(sceneTable, out);
        for (const std::string& s : pool_) out += ".string " + Quote(s) + "\n";
        for (const Record& r : calls_) {
            if (r.kind == 1) {
                const std::string* n = LabelAt(r.label);
                if (!n) return Fail("near call record to no label");
                out += ".near " + *n + "\n";
            } else {
                out += std::string(r.kind == 2 ? ".far " : ".scene ") + Quote(r.text) + "\n";
            }
        }
        for (size_t i = 0; i < labels_.size(); ++i)
            if (!Code(i, out)) return false;
        return true;
    }

  private:
    bool Fail(const std::string& why) {
        error_ = why;
        return false;
    }
    uint32_t U32(size_t at) const { return ZRGetLE32(&f_[at]); }

    bool Header() {
        if (f_.size() < 64) return Fail("shorter than its header");
        number_ = U32(8);
        const uint32_t codeAt = U32(28), codeSize = U32(32), callAt = U32(40), callSize = U32(44),
                       poolAt = U32(52), poolSize = U32(56);
        uint8_t zero[20] = {};
        if (std::memcmp(f_.data(), "NYSCRIPT", 8) != 0 || std::memcmp(&f_[16], zero, 12) != 0 ||
            std::memcmp(&f_[48], zero, 4) != 0)
            return Fail("header fields the assembler does not write");
        if (codeAt != 64 || callAt != 64ull + codeSize || poolAt != 64ull + codeSize + callSize ||
            f_.size() != 64ull + codeSize + callSize + poolSize)
            return Fail("blocks not back to back after the header");
        if (number_ > 0xFFFF) return Fail("script number above 65535");
        if (U32(12) != Checksum(f_.data() + 64, f_.size() - 64))
            return Fail("checksum does not match the contents");
        code_ = {f_.data() + 64, codeSize};
        calls_.clear();
        callBlock_ = {f_.data() + callAt, callSize};
        poolBlock_ = {f_.data() + poolAt, poolSize};
        labelCount_ = U32(36);
        strCount_ = U32(60);
        return true;
    }

    bool Labels() {
        uint64_t off = 0;
        for (uint32_t i = 0; i < labelCount_; ++i) {
            if (off + 10 > code_.size()) return Fail("label record past the code block");
            const uint32_t len = ZRGetLE32(&code_[off]);
            const uint32_t nameLen = ZRGetLE16(&code_[off + 4]);
            if (nameLen == 0 || len < 10 + nameLen || off + len > code_.size() ||
                ZRGetLE32(&code_[off + 6]) != 0)
                return Fail("malformed label record at " + std::to_string(off));
            std::string name(reinterpret_cast<const char*>(&code_[off + 10]), nameLen - 1);
            if (code_[off + 10 + nameLen - 1] != 0 || name.find('\0') != std::string::npos ||
                !IsName(name))
                return Fail("label name at " + std::to_string(off) +
                            " cannot be written in source");
            labels_.push_back({static_cast<uint32_t>(off),
                               static_cast<uint32_t>(off + 10 + nameLen),
                               static_cast<uint32_t>(off + len), name});
            off += len;
        }
        if (off != code_.size()) return Fail("code after the last label record");
        return true;
    }

    bool Pool() {
        uint64_t off = 0;
        for (uint32_t k = 0; k < strCount_; ++k) {
            if (off + 2 > poolBlock_.size()) return Fail("pool record past the pool");
            const uint32_t size = ZRGetLE16(&poolBlock_[off]);
            if (size < 3 || off + size > poolBlock_.size() || poolBlock_[off + size - 1] != 0)
                return Fail("malformed pool record");
            std::string s(reinterpret_cast<const char*>(&poolBlock_[off + 2]), size - 3);
            if (s.find('\0') != std::string::npos) return Fail("pool text with a NUL inside");
            pool_.push_back(s);
            off += size;
        }
        if (off != poolBlock_.size()) return Fail("bytes after the last pool record");
        return true;
    }

    bool Calls() {
        uint64_t off = 0;
        while (off < callBlock_.size()) {
            if (off + 4 > callBlock_.size()) return Fail("call record past the table");
            const uint32_t size = ZRGetLE16(&callBlock_[off]);
            Record r{static_cast<uint32_t>(off), ZRGetLE16(&callBlock_[off + 2]), 0, {}};
            if (off + size > callBlock_.size()) return Fail("call record past the table");
            if (r.kind == 1) {
                if (size != 8) return Fail("near call record of the wrong size");
                r.label = ZRGetLE32(&callBlock_[off + 4]);
            } else if (r.kind == 2 || r.kind == 3) {
                if (size < 5 || callBlock_[off + size - 1] != 0)
                    return Fail("call text not terminated");
                r.text.assign(reinterpret_cast<const char*>(&callBlock_[off + 4]), size - 5);
                if (r.text.find('\0') != std::string::npos)
                    return Fail("call text with a NUL inside");
            } else {
                return Fail("call record of kind " + std::to_string(r.kind));
            }
            calls_.push_back(r);
            off += size;
        }
        return true;
    }

    const std::string* LabelAt(uint32_t offset) const {
        for (const auto& l : labels_)
            if (l.offset == offset) return &l.name;
        return nullptr;
    }

    void Scenes(const std::vector<uint8_t>& t, std::string& out) const {
        if (t.size() < 12 || std::memcmp(t.data(), "SV01", 4) != 0) return;
        const uint64_t block = std::min<uint64_t>(ZRGetLE32(&t[4]), t.size() - 12);
        const uint32_t count = ZRGetLE32(&t[8]);
        uint64_t off = 0;
        for (uint32_t i = 0; i < count && off + 23 <= block; ++i) {
            const uint8_t* e = &t[12 + off];
            const uint32_t len = ZRGetLE16(e);
            if (len < 23 || off + len > block) return;
            const char* name = reinterpret_cast<const char*>(e + 22);
            const void* nul = std::memchr(name, 0, len - 22);
            if (nul && ZRGetLE32(e + 2) == number_) {
                const std::string* label = LabelAt(ZRGetLE32(e + 10));
                char when[64] = "";
                if (ZRGetLE16(e + 14))
                    std::snprintf(when + std::strlen(when), 32, " date %04u time %04u",
                                  ZRGetLE16(e + 14), ZRGetLE16(e + 16));
                if (ZRGetLE16(e + 18))
                    std::snprintf(when + std::strlen(when), 32, " limit %04u time %04u",
                                  ZRGetLE16(e + 18), ZRGetLE16(e + 20));
                if (label)
                    out += "scene " +
                           Quote(std::string(name, static_cast<const char*>(nul) - name)) + " " +
                           *label + when + "\n";
            }
            off += len;
        }
    }

    std::string Target(uint32_t from, uint32_t to, size_t label,
                       const std::set<uint32_t>& locals) const {
        if (locals.count(to)) return LocalName(to);
        for (size_t i = 0; i < labels_.size(); ++i)
            if (labels_[i].first == to && i != label) return labels_[i].name;
        const int32_t rel = static_cast<int32_t>(to - from);
        return (rel >= 0 ? "+" : "") + std::to_string(rel);
    }
    static std::string LocalName(uint32_t pc) {
        char b[16];
        std::snprintf(b, sizeof b, ".L%X", pc);
        return b;
    }

    bool Code(size_t li, std::string& out) {
        const auto& l = labels_[li];
        std::vector<Instr> ins;
        uint32_t pc = l.first;
        while (pc < l.end) {
            const uint32_t room = l.end - pc;
            if (room < 2) {
                ins.push_back({pc, 0, code_[pc], 2});
                ++pc;
                continue;
            }
            const uint16_t op = ZRGetLE16(&code_[pc]);
            const bool known = ScriptOpName(op) || ScriptCommand(op);
            if (!known || (ScriptOpHasOperand(op) && room < 6)) {
                ins.push_back({pc, op, 0, 1});
                pc += 2;
                continue;
            }
            ins.push_back({pc, op, ScriptOpHasOperand(op) ? ZRGetLE32(&code_[pc + 2]) : 0, 0});
            pc += ScriptOpLength(op);
        }
        // A jump's target inside this label's code that is an instruction boundary gets a
        // local name; the first instruction keeps the label's own name unless jumped to.
        std::set<uint32_t> starts, locals;
        for (const Instr& i : ins) starts.insert(i.pc);
        starts.insert(l.end);
        for (const Instr& i : ins)
            if (i.kind == 0 && i.op >= opJMP && i.op <= opJNZ) {
                const uint32_t to = i.pc + i.operand;
                if (to >= l.first && to <= l.end && starts.count(to)) locals.insert(to);
            }
        const bool fallsThrough =
            li + 1 < labels_.size() && (ins.empty() || ins.back().kind != 0 ||
                                        !(ins.back().op == opJMP || ins.back().op == opRET ||
                                          ins.back().op == opEXIT || ins.back().op == opSCNCHG));
        if (fallsThrough) return Fail("label '" + l.name + "' runs on into the next record");

        out += l.name + ":\n";
        for (size_t k = 0; k < ins.size(); ++k) {
            const Instr& i = ins[k];
            if (locals.count(i.pc)) out += LocalName(i.pc) + ":\n";
            if (i.kind == 2) {
                out += "    .u8 " + std::to_string(i.operand) + "\n";
                continue;
            }
            if (i.kind == 1) {
                out += "    .u16 " + std::to_string(i.op) + "\n";
                continue;
            }
            // PUSH of a call record followed by its CALL or SCNCHG reads as one line.
            if (i.op == opPUSH && k + 1 < ins.size() && ins[k + 1].kind == 0 &&
                !locals.count(ins[k + 1].pc) &&
                (ins[k + 1].op == opCALL || ins[k + 1].op == opSCNCHG)) {
                std::string folded;
                if (FoldCall(i.operand, ins[k + 1].op, folded)) {
                    out += "    " + folded + "\n";
                    ++k;
                    continue;
                }
            }
            if (const ScriptCommandDesc* d = ScriptCommand(i.op)) {
                out += "    " + std::string(d->name) + (d->args ? " ..." : "") + "\n";
                continue;
            }
            if (!Fold(ins, k, locals, out)) {
                std::string line = "    " + std::string(ScriptOpName(i.op));
                if (i.op == opPUSH) line += " " + std::to_string(static_cast<int32_t>(i.operand));
                if (i.op >= opJMP && i.op <= opJNZ)
                    line += " " + Target(i.pc, i.pc + i.operand, li, locals);
                out += line + "\n";
            }
        }
        if (locals.count(l.end)) out += LocalName(l.end) + ":\n";
        return true;
    }

    // PUSHes that feed a command's arguments fold into the command's line.
    bool Fold(const std::vector<Instr>& ins, size_t& k, const std::set<uint32_t>& locals,
              std::string& out) const {
        if (ins[k].op != opPUSH) return false;
        size_t j = k;
        while (j < ins.size() && ins[j].kind == 0 && ins[j].op == opPUSH) ++j;
        if (j >= ins.size() || ins[j].kind != 0) return false;
        const ScriptCommandDesc* d = ScriptCommand(ins[j].op);
        if (!d || d->args == 0 || j - k < d->args) return false;
        const size_t first = j - d->args;
        if (first != k) return false;
        for (size_t m = first + 1; m <= j; ++m)
            if (locals.count(ins[m].pc)) return false;
        const bool texts = ins[j].op == 64 || ins[j].op == 143;
        std::string line = "    " + std::string(d->name);
        for (size_t m = first; m < j; ++m) {
            const uint32_t v = ins[m].operand;
            std::string arg = std::to_string(static_cast<int32_t>(v));
            if (texts && v >= 1 && v <= pool_.size() && FirstId(pool_[v - 1]) == v)
                arg = Quote(pool_[v - 1]);
            if (texts && (v & 0x80000000u) && (v & 0x7FFFFFFFu) <= 15)
                arg = "$" + std::to_string(v & 0x7FFFFFFFu);
            line += (m == first ? " " : ", ") + arg;
        }
        out += line + "\n";
        k = j;
        return true;
    }

    uint32_t FirstId(const std::string& s) const {
        for (size_t i = 0; i < pool_.size(); ++i)
            if (pool_[i] == s) return static_cast<uint32_t>(i + 1);
        return 0;
    }

    bool FoldCall(uint32_t offset, uint16_t op, std::string& out) const {
        const Record* r = nullptr;
        for (const Record& c : calls_)
            if (c.offset == offset) r = &c;
        if (!r) return false;
        // The assembler reuses the first record of equal content; only that one folds.
        for (const Record& c : calls_) {
            if (&c == r) break;
            if (c.kind == r->kind && c.text == r->text && c.label == r->label) return false;
        }
        if (op == opSCNCHG) {
            if (r->kind != 3) return false;
            out = "SCNCHG " + Quote(r->text);
            return true;
        }
        if (r->kind == 1) {
            const std::string* n = LabelAt(r->label);
            if (!n) return false;
            out = "CALL " + *n;
            return true;
        }
        if (r->kind != 2) return false;
        unsigned n;
        char tail[2];
        if (r->text.size() > 10 && std::sscanf(r->text.c_str(), "scr%5u%1[:]", &n, tail) == 2 &&
            r->text[8] == ':' && r->text[9] == ':') {
            char head[16];
            std::snprintf(head, sizeof head, "scr%05u::", n);
            const std::string label = r->text.substr(10);
            if (r->text.compare(0, 10, head) == 0 && IsName(label)) {
                out = "CALL scr" + std::to_string(n) + "::" + label;
                return true;
            }
        }
        out = "CALL " + Quote(r->text);
        return true;
    }

    const std::vector<uint8_t>& f_;
    std::string& error_;
    uint32_t number_ = 0, labelCount_ = 0, strCount_ = 0;
    std::span<const uint8_t> code_, callBlock_, poolBlock_;
    struct L {
        uint32_t offset, first, end;
        std::string name;
    };
    std::vector<L> labels_;
    std::vector<std::string> pool_;
    std::vector<Record> calls_;
};

}  // namespace

bool Disassemble(const std::vector<uint8_t>& vnx, const std::vector<uint8_t>& sceneTable,
                 std::string& out, std::string& error) {
    Disassembler d(vnx, error);
    out.clear();
    return d.Run(sceneTable, out);
}

}  // namespace nys
