// The disassembler: a script file back to source that assembles to the same bytes. It
// declares the pool and the call table in their stored order, so ids and record offsets come
// out the same, and names jump targets inside a label as local targets.
#include <algorithm>
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
    // The assembler takes no character whose lead byte is above 0xF7.
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c > 0xF7) return false;
        if (c >= 0x81) ++i;
    }
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
    uint16_t head;  // the unread first u16
};

class Disassembler {
  public:
    Disassembler(const std::vector<uint8_t>& f, std::string& error) : f_(f), error_(error) {}

    bool Run(const std::vector<uint8_t>& sceneTable, std::string& out) {
        if (!Header()) return false;
        if (!Labels() || !Pool()) return false;
        const bool structured = Calls();
        out = "script " + std::to_string(number_) + "\n";
        FileLines(out);
        Scenes(sceneTable, out);
        for (size_t k = 0; k < pool_.size(); ++k) {
            if (poolRaw_[k].empty())
                out += ".string " + Quote(pool_[k]) + "\n";
            else
                out += ".stringbytes " + Quote(poolRaw_[k]) + "\n";
        }
        if (!poolTail_.empty()) out += ".pooltail " + Quote(poolTail_) + "\n";
        if (!structured) {
            calls_.clear();
            if (!callBlock_.empty())
                out +=
                    ".calls " +
                    Quote({reinterpret_cast<const char*>(callBlock_.data()), callBlock_.size()}) +
                    "\n";
        }
        for (const Record& r : calls_) {
            if (r.kind == 1)
                out += ".near " + *LabelAt(r.label);
            else
                out += std::string(r.kind == 2 ? ".far " : ".scene ") + Quote(r.text);
            const uint32_t natural = r.kind == 1 ? 8 : 5 + static_cast<uint32_t>(r.text.size());
            if (r.head != natural) out += " head " + std::to_string(r.head);
            out += "\n";
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
        if (f_.size() < 64) return Fail("shorter than its header: the engine does not load it");
        number_ = U32(8);
        const uint32_t codeAt = U32(28), codeSize = U32(32), callAt = U32(40), callSize = U32(44),
                       poolAt = U32(52), poolSize = U32(56);
        for (int b = 0; b < 3; ++b)
            if (uint64_t{U32(28 + 12 * b)} + U32(32 + 12 * b) > f_.size())
                return Fail("a block past the end of the file: the engine does not load it");
        if (number_ > 0xFFFF) return Fail("script number above 65535, which source cannot name");
        code_ = {f_.data() + codeAt, codeSize};
        calls_.clear();
        callBlock_ = {f_.data() + callAt, callSize};
        poolBlock_ = {f_.data() + poolAt, poolSize};
        labelCount_ = U32(36);
        strCount_ = U32(60);
        if (labelCount_ > codeSize / 11 || strCount_ > poolSize / 3)
            return Fail("more records than their block holds: the engine does not load it");
        return true;
    }

    // The bytes the engine does not read, and the layout when it is not the assembler's.
    void FileLines(std::string& out) const {
        const std::pair<uint32_t, uint32_t> unread[3] = {{0, 8}, {16, 12}, {48, 4}};
        for (const auto& [at, n] : unread) {
            const std::string bytes(reinterpret_cast<const char*>(&f_[at]), n);
            const std::string plain = at == 0 ? std::string("NYSCRIPT") : std::string(n, '\0');
            if (bytes != plain) out += ".header " + std::to_string(at) + " " + Quote(bytes) + "\n";
        }
        if (U32(12) != Checksum(f_.data() + 64, f_.size() - 64))
            out += ".checksum " + Hex(U32(12)) + "\n";
        const uint64_t codeAt = U32(28), codeSize = U32(32), callAt = U32(40), callSize = U32(44),
                       poolAt = U32(52), poolSize = U32(56);
        if (codeAt == 64 && callAt == 64 + codeSize && poolAt == callAt + callSize &&
            f_.size() == poolAt + poolSize && labelCount_ > 0)
            return;
        // Non-empty blocks that share bytes cannot be placed apart in source.
        struct Span {
            uint64_t from, to;
        };
        std::vector<Span> used = {{0, 64}};
        const uint64_t at[3] = {codeAt, callAt, poolAt}, size[3] = {codeSize, callSize, poolSize};
        for (int b = 0; b < 3; ++b)
            if (size[b]) used.push_back({at[b], at[b] + size[b]});
        std::sort(used.begin(), used.end(),
                  [](const Span& x, const Span& y) { return x.from < y.from; });
        for (size_t i = 1; i < used.size(); ++i)
            if (used[i].from < used[i - 1].to) {
                out += "; blocks overlap each other or the header: this source builds them apart\n";
                return;
            }
        out += ".place code " + std::to_string(codeAt) + "\n.place calls " +
               std::to_string(callAt) + "\n.place pool " + std::to_string(poolAt) + "\n";
        uint64_t pos = 64;
        used.push_back({f_.size(), f_.size()});
        for (const Span& s : used) {
            if (s.from > pos)
                out += ".fill " + std::to_string(pos) + " " +
                       Quote({reinterpret_cast<const char*>(&f_[pos]), s.from - pos}) + "\n";
            pos = std::max(pos, s.to);
        }
    }
    static std::string Hex(uint32_t v) {
        char b[16];
        std::snprintf(b, sizeof b, "0x%08X", v);
        return b;
    }

    bool Labels() {
        uint64_t off = 0;
        std::set<std::string> taken;
        for (uint32_t i = 0; i < labelCount_; ++i) {
            if (off + 10 > code_.size()) return Fail("label record past the code block");
            const uint32_t len = ZRGetLE32(&code_[off]);
            const uint32_t nameLen = ZRGetLE16(&code_[off + 4]);
            if (nameLen == 0 || len < 10 + nameLen || off + len > code_.size())
                return Fail("malformed label record at " + std::to_string(off));
            const std::string field(reinterpret_cast<const char*>(&code_[off + 10]), nameLen);
            const size_t nul = field.find('\0');
            if (nul == std::string::npos)
                return Fail("label name at " + std::to_string(off) + " not terminated");
            L l{static_cast<uint32_t>(off),
                static_cast<uint32_t>(off + 10 + nameLen),
                static_cast<uint32_t>(off + len),
                field.substr(0, nul),
                field,
                ZRGetLE32(&code_[off + 6]),
                len};
            labels_.push_back(l);
            taken.insert(l.name);
            off += len;
        }
        // A name source cannot write, or one a record before already has, is given a name of
        // its own; the stored name field then follows as .name.
        std::set<std::string> used;
        for (L& l : labels_) {
            if (!IsName(l.name) || !used.insert(l.name).second) {
                std::string alt = "L_" + std::to_string(l.offset);
                while (taken.count(alt) || used.count(alt)) alt += "_";
                l.name = alt;
                used.insert(alt);
            }
            l.raw = l.name;
        }
        // Source is UTF-8: names are written in it as the assembler reads them.
        for (L& l : labels_) l.name = plat::ToUtf8(l.name, plat::CodePage::Gbk);
        // The last record's code goes on to the end of the block.
        if (!labels_.empty())
            labels_.back().end = static_cast<uint32_t>(code_.size());
        else if (!code_.empty())
            return Fail("code but no label record, which source cannot hold");
        return true;
    }

    bool Pool() {
        uint64_t off = 0;
        for (uint32_t k = 0; k < strCount_; ++k) {
            if (off + 2 > poolBlock_.size()) return Fail("pool record past the pool");
            const uint32_t size = ZRGetLE16(&poolBlock_[off]);
            if (size < 3 || off + size > poolBlock_.size()) return Fail("malformed pool record");
            const std::string bytes(reinterpret_cast<const char*>(&poolBlock_[off + 2]), size - 2);
            const size_t nul = bytes.find('\0');
            if (nul == std::string::npos) return Fail("pool text not terminated");
            pool_.push_back(bytes.substr(0, nul));
            // Bytes after the text's NUL are kept as they are.
            poolRaw_.push_back(nul + 1 == bytes.size() ? std::string() : bytes);
            off += size;
        }
        poolTail_.assign(reinterpret_cast<const char*>(poolBlock_.data()) + off,
                         poolBlock_.size() - off);
        return true;
    }

    // The call table as records back to back, each as long as its kind needs; false when it
    // is not made that way, and the table is then listed as raw bytes.
    bool Calls() {
        uint64_t off = 0;
        while (off < callBlock_.size()) {
            if (off + 4 > callBlock_.size()) return false;
            Record r{static_cast<uint32_t>(off),
                     ZRGetLE16(&callBlock_[off + 2]),
                     0,
                     {},
                     ZRGetLE16(&callBlock_[off])};
            if (r.kind == 1) {
                if (off + 8 > callBlock_.size()) return false;
                r.label = ZRGetLE32(&callBlock_[off + 4]);
                if (!LabelAt(r.label)) return false;
                off += 8;
            } else if (r.kind == 2 || r.kind == 3) {
                const uint8_t* text = &callBlock_[off + 4];
                const void* nul = std::memchr(text, 0, callBlock_.size() - off - 4);
                if (!nul) return false;
                r.text.assign(reinterpret_cast<const char*>(text),
                              static_cast<const uint8_t*>(nul) - text);
                off += 5 + r.text.size();
            } else {
                return false;
            }
            calls_.push_back(r);
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

        out += l.name + ":\n";
        if (l.field != l.raw + '\0') out += "    .name " + Quote(l.field) + "\n";
        if (l.unread) out += "    .unread " + Hex(l.unread) + "\n";
        if (l.offset + l.length != l.end) out += "    .length " + std::to_string(l.length) + "\n";
        if (fallsThrough) out += "    .fallthrough\n";
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
            n <= 0xFFFF && r->text[8] == ':' && r->text[9] == ':') {
            char head[16];
            std::snprintf(head, sizeof head, "scr%05u::", n);
            const std::string label = r->text.substr(10);
            if (r->text.compare(0, 10, head) == 0 && IsName(label)) {
                out = "CALL scr" + std::to_string(n) +
                      "::" + plat::ToUtf8(label, plat::CodePage::Gbk);
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
        std::string name;   // in source (UTF-8)
        std::string field;  // as stored, NUL and all
        uint32_t unread;
        uint32_t length;    // as stored
        std::string raw{};  // the name the source gives, in the stored code page
    };
    std::vector<L> labels_;
    std::vector<std::string> pool_;
    std::vector<std::string> poolRaw_;  // a record's bytes when more than its text and NUL
    std::string poolTail_;
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
