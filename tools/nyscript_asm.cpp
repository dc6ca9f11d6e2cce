// The assembler: source lines to one script file, and the scene index of several files.
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "foundation/zrstd.h"
#include "platform/codepage.h"
#include "script/scrdef.h"
#include "tools/nyscript.h"

namespace nys {

std::string Diag::Format() const {
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

uint32_t Checksum(const uint8_t* body, size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        const uInt n = size > (1u << 30) ? (1u << 30) : static_cast<uInt>(size);
        crc = crc32(crc, body, n);
        body += n;
        size -= n;
    }
    const uint32_t c = static_cast<uint32_t>(crc);
    return c == 0xFFFFFFFFu ? 0xFFFFFFFEu : c;
}

namespace {

GbkEncoder& EncoderHook() {
    static GbkEncoder hook;
    return hook;
}

bool EncodeCharacter(std::string_view utf8, std::string& gbk) {
    if (EncoderHook()) return EncoderHook()(utf8, gbk);
    size_t bad = 0;
    return plat::FromUtf8Strict(utf8, plat::CodePage::Gbk, gbk, bad);
}

enum class Tok { Ident, Local, Number, String, Var, Comma, Colon, DoubleColon, Ellipsis, Rel };

struct Token {
    Tok kind;
    std::string text;  // identifier or local name; GBK text for strings
    int64_t value = 0;
    int column = 0;
};

// A reference a code item makes, resolved once every label is known.
enum class Operand { None, Imm, LocalTarget, LabelTarget, Rel, CallRec };

struct Item {
    enum Kind { Op, Word, Byte } kind = Op;
    uint16_t op = 0;
    Operand operand = Operand::None;
    int64_t value = 0;  // immediate, relative offset, call-record index, raw word
    std::string name;   // target
    int line = 0, column = 0;
    uint32_t pc = 0;
    uint32_t Size() const { return kind == Byte ? 1 : kind == Word ? 2 : ScriptOpLength(op); }
};

struct LabelRec {
    std::string name;
    std::string field;  // the stored name field: the name and its NUL unless given as .name
    int line = 0, column = 0;
    uint32_t offset = 0;
    int64_t length = -1;        // .length: the stored record length of the last record
    uint32_t unread = 0;        // .unread: the four bytes after the name length
    bool fallsThrough = false;  // .fallthrough: no jump over the next record's head
    std::vector<Item> items;
    struct Local {
        size_t item;  // index of the item it names
        int line, column;
        bool used = false;
    };
    std::map<std::string, Local> locals;
};

struct CallRec {
    uint16_t kind;     // 1 near, 2 far, 3 scene
    std::string text;  // label name (near) or the record's text
    uint32_t offset = 0;
    int line = 0, column = 0;
    int64_t head = -1;  // the unread first u16 when given; else the record's size
};

bool IsIdentByte(unsigned char c) {
    return c >= 0x80 || std::isalnum(c) || c == '_';
}

class Assembler {
  public:
    Assembler(const std::string& path, std::vector<Diag>& errors, Unit& unit)
        : path_(path), errors_(errors), unit_(unit) {}

    bool Run(std::string_view source) {
        int lineNo = 0;
        size_t pos = 0;
        while (pos <= source.size()) {
            size_t end = source.find('\n', pos);
            if (end == std::string_view::npos) end = source.size();
            std::string_view line = source.substr(pos, end - pos);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            ++lineNo;
            line_ = lineNo;
            std::vector<Token> toks;
            if (Lex(line, toks) && !toks.empty()) Statement(toks);
            if (end == source.size()) break;
            pos = end + 1;
        }
        if (!haveNumber_) Error(1, 1, "missing 'script N' line");
        if (labels_.empty() && place_[0] < 0 && errorCount_ == 0)
            Error(1, 1, "no label: the code block needs at least one");
        if (errorCount_) return false;
        Layout();
        Resolve();
        if (errorCount_) return false;
        return Emit();
    }

  private:
    void Error(int line, int column, const std::string& message) {
        errors_.push_back({path_, line, column, message});
        ++errorCount_;
    }
    void Error(const Token& t, const std::string& message) { Error(line_, t.column, message); }
    void Lint(int line, int column, const std::string& message) {
        unit_.lints.push_back({path_, line, column, message});
    }

    // --- Lexing -------------------------------------------------------------------------
    bool Lex(std::string_view line, std::vector<Token>& out) {
        size_t i = 0;
        while (i < line.size()) {
            const unsigned char c = static_cast<unsigned char>(line[i]);
            const int col = static_cast<int>(i) + 1;
            if (c == ' ' || c == '\t') {
                ++i;
            } else if (c == ';') {
                break;
            } else if (c == '"') {
                Token t{Tok::String, {}, 0, col};
                if (!LexString(line, i, t.text)) return false;
                out.push_back(std::move(t));
            } else if (c == ',') {
                out.push_back({Tok::Comma, {}, 0, col});
                ++i;
            } else if (c == ':') {
                if (i + 1 < line.size() && line[i + 1] == ':') {
                    out.push_back({Tok::DoubleColon, {}, 0, col});
                    i += 2;
                } else {
                    out.push_back({Tok::Colon, {}, 0, col});
                    ++i;
                }
            } else if (line.substr(i, 3) == "...") {
                out.push_back({Tok::Ellipsis, {}, 0, col});
                i += 3;
            } else if (c == '.' || c == '$') {
                size_t j = i + 1;
                while (j < line.size() && IsIdentByte(static_cast<unsigned char>(line[j]))) ++j;
                if (j == i + 1) {
                    Error(line_, col,
                          std::string("expected a name after '") + static_cast<char>(c) + "'");
                    return false;
                }
                std::string name(line.substr(i + 1, j - i - 1));
                if (c == '$') {
                    int64_t v;
                    if (!ParseNumber(name, v) || v < 0 || v > 0x7FFFFFFF) {
                        Error(line_, col, "bad string variable '$" + name + "'");
                        return false;
                    }
                    out.push_back({Tok::Var, name, v, col});
                } else {
                    out.push_back({Tok::Local, name, 0, col});
                }
                i = j;
            } else if (std::isdigit(c) || ((c == '-' || c == '+') && i + 1 < line.size() &&
                                           std::isdigit(static_cast<unsigned char>(line[i + 1])))) {
                size_t j = i + 1;
                while (j < line.size() && std::isalnum(static_cast<unsigned char>(line[j]))) ++j;
                std::string text(line.substr(i, j - i));
                int64_t v;
                if (!ParseNumber(text, v)) {
                    Error(line_, col, "bad number '" + text + "'");
                    return false;
                }
                out.push_back({c == '+' || c == '-' ? Tok::Rel : Tok::Number, text, v, col});
                i = j;
            } else if (IsIdentByte(c)) {
                size_t j = i;
                while (j < line.size() && IsIdentByte(static_cast<unsigned char>(line[j]))) ++j;
                std::string utf8(line.substr(i, j - i));
                Token t{Tok::Ident, {}, 0, col};
                if (!Encode(utf8, col, t.text)) return false;
                out.push_back(std::move(t));
                i = j;
            } else {
                Error(line_, col,
                      std::string("unexpected character '") + static_cast<char>(c) + "'");
                return false;
            }
        }
        return true;
    }

    static bool ParseNumber(const std::string& text, int64_t& v) {
        size_t i = 0;
        bool neg = false;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) neg = text[i++] == '-';
        int base = 10;
        if (text.size() > i + 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            base = 16;
            i += 2;
        }
        if (i >= text.size()) return false;
        uint64_t acc = 0;
        for (; i < text.size(); ++i) {
            const char ch = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
            int d = ch >= '0' && ch <= '9'                 ? ch - '0'
                    : base == 16 && ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                                                           : -1;
            if (d < 0) return false;
            acc = acc * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
            if (acc > 0xFFFFFFFFull) return false;
        }
        v = neg ? -static_cast<int64_t>(acc) : static_cast<int64_t>(acc);
        return true;
    }

    // UTF-8 to GBK, refusing characters GBK lacks and lead bytes above 0xF7, which the
    // engine's double-byte rule would split.
    bool Encode(std::string_view utf8, int column, std::string& out) {
        size_t i = 0;
        while (i < utf8.size()) {
            const unsigned char c = static_cast<unsigned char>(utf8[i]);
            if (c < 0x80) {
                out += static_cast<char>(c);
                ++i;
                continue;
            }
            size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (i + n > utf8.size()) n = utf8.size() - i;
            std::string_view ch = utf8.substr(i, n);
            std::string bytes;
            const int col = column + static_cast<int>(i);
            if (!EncodeCharacter(ch, bytes) || bytes.empty()) {
                Error(line_, col, "character '" + std::string(ch) + "' has no GBK form");
                return false;
            }
            if (static_cast<unsigned char>(bytes[0]) > 0xF7) {
                Error(line_, col,
                      "character '" + std::string(ch) + "' encodes with a lead byte above 0xF7");
                return false;
            }
            out += bytes;
            i += n;
        }
        return true;
    }

    bool LexString(std::string_view line, size_t& i, std::string& out) {
        const int startCol = static_cast<int>(i) + 1;
        ++i;
        std::string pendingUtf8;
        int pendingCol = 0;
        auto flush = [&]() {
            bool ok = pendingUtf8.empty() || Encode(pendingUtf8, pendingCol, out);
            pendingUtf8.clear();
            return ok;
        };
        while (i < line.size()) {
            const char c = line[i];
            if (c == '"') {
                ++i;
                return flush();
            }
            if (c == '\\' && i + 1 < line.size()) {
                if (!flush()) return false;
                const char e = line[i + 1];
                if (e == '"' || e == '\\') {
                    out += e;
                    i += 2;
                } else if (e == 'x' && i + 3 < line.size() &&
                           std::isxdigit(static_cast<unsigned char>(line[i + 2])) &&
                           std::isxdigit(static_cast<unsigned char>(line[i + 3]))) {
                    out += static_cast<char>(
                        std::stoi(std::string(line.substr(i + 2, 2)), nullptr, 16));
                    i += 4;
                } else {
                    // "\n", "\p" and the other pairs belong to the text processor.
                    out += '\\';
                    ++i;
                }
                continue;
            }
            if (pendingUtf8.empty()) pendingCol = static_cast<int>(i) + 1;
            pendingUtf8 += c;
            ++i;
        }
        Error(line_, startCol, "unterminated text");
        return false;
    }

    // --- Statements ---------------------------------------------------------------------
    void Statement(const std::vector<Token>& t) {
        const Token& first = t[0];
        if (first.kind == Tok::Ident && t.size() == 2 && t[1].kind == Tok::Colon)
            return DefineLabel(first);
        if (first.kind == Tok::Local && t.size() == 2 && t[1].kind == Tok::Colon)
            return DefineLocal(first);
        if (first.kind == Tok::Local) return Directive(t);
        if (first.kind != Tok::Ident) return Error(first, "expected a statement");
        if (first.text == "script") return ScriptNumber(t);
        if (first.text == "scene") return Scene(t);
        if (!current_) return Error(first, "code before the first label");
        const int op = ScriptOpByName(first.text.c_str());
        if (op >= 0) return Operation(op, t);
        const int cmd = ScriptCommandByName(first.text.c_str());
        if (cmd >= 0) return Command(cmd, t);
        Error(first, "unknown operation or command '" + first.text + "'");
    }

    void ScriptNumber(const std::vector<Token>& t) {
        if (t.size() != 2 || t[1].kind != Tok::Number || t[1].value < 0 || t[1].value > 0xFFFF)
            return Error(t[0], "expected 'script N' with N from 0 to 65535");
        if (haveNumber_) return Error(t[0], "second 'script' line");
        haveNumber_ = true;
        unit_.number = static_cast<uint32_t>(t[1].value);
    }

    static bool ValidDate(int64_t v) {
        if (v == 0) return true;
        const int64_t m = v / 100, d = v % 100;
        return v <= 1231 && m >= 1 && m <= 12 && d >= 1 && d <= 31;
    }
    static bool ValidTime(int64_t v) { return v >= 0 && v <= 2359 && v % 100 < 60; }

    void Scene(const std::vector<Token>& t) {
        if (t.size() < 3 || t[1].kind != Tok::String || t[2].kind != Tok::Ident)
            return Error(
                t[0],
                "expected 'scene \"Name\" Label [date MMDD time HHMM] [limit MMDD time HHMM]'");
        SceneDef s;
        s.name = t[1].text;
        s.line = line_;
        s.column = t[1].column;
        if (s.name.empty() || s.name.size() > 63 || s.name.find('\0') != std::string::npos)
            return Error(t[1], "scene name must be 1 to 63 bytes");
        sceneLabels_.push_back({t[2].text, line_, t[2].column});
        size_t i = 3;
        auto pair = [&](const char* word, uint16_t& date, uint16_t& time) {
            if (i + 4 > t.size() || t[i].text != word || t[i + 1].kind != Tok::Number ||
                t[i + 2].text != "time" || t[i + 3].kind != Tok::Number)
                return false;
            if (!ValidDate(t[i + 1].value)) {
                Error(t[i + 1], "not a date MMDD");
                return true;
            }
            if (!ValidTime(t[i + 3].value)) {
                Error(t[i + 3], "not a time HHMM");
                return true;
            }
            date = static_cast<uint16_t>(t[i + 1].value);
            time = static_cast<uint16_t>(t[i + 3].value);
            i += 4;
            return true;
        };
        if (i < t.size() && t[i].text == "date" && !pair("date", s.date, s.time))
            return Error(t[i], "expected 'date MMDD time HHMM'");
        if (i < t.size() && t[i].text == "limit" && !pair("limit", s.limitDate, s.limitTime))
            return Error(t[i], "expected 'limit MMDD time HHMM'");
        if (i != t.size()) return Error(t[i], "unexpected text after the scene");
        unit_.scenes.push_back(s);
    }

    void DefineLabel(const Token& name) {
        if (name.text.size() > 0xFFFE) return Error(name, "label name too long");
        if (!labelIndex_.emplace(name.text, labels_.size()).second)
            return Error(name, "label '" + name.text + "' defined twice");
        labels_.push_back({});
        current_ = &labels_.back();
        current_->name = name.text;
        current_->field = name.text + '\0';
        current_->line = line_;
        current_->column = name.column;
        afterTerminator_ = false;
    }

    void DefineLocal(const Token& name) {
        if (!current_) return Error(name, "local target before the first label");
        if (current_->locals.count(name.text))
            return Error(name, "target '." + name.text + "' defined twice");
        current_->locals[name.text] = {current_->items.size(), line_, name.column};
        afterTerminator_ = false;
    }

    uint32_t PoolId(const std::string& text) {
        auto it = poolIds_.find(text);
        if (it != poolIds_.end()) return it->second;
        pool_.push_back(text + '\0');
        const uint32_t id = static_cast<uint32_t>(pool_.size());
        poolIds_.emplace(text, id);
        return id;
    }

    size_t CallRecord(uint16_t kind, const std::string& text, const Token& at) {
        auto it = callIndex_.find({kind, text});
        if (it != callIndex_.end()) return it->second;
        return AddCall(kind, text, at);
    }
    size_t AddCall(uint16_t kind, const std::string& text, const Token& at) {
        calls_.push_back({kind, text, 0, line_, at.column});
        callIndex_.emplace(std::make_pair(kind, text), calls_.size() - 1);
        return calls_.size() - 1;
    }

    void Directive(const std::vector<Token>& t) {
        const std::string& d = t[0].text;
        const bool oneString = t.size() == 2 && t[1].kind == Tok::String;
        if (d == "string" && oneString) {
            if (t[1].text.find('\0') != std::string::npos || t[1].text.size() > 0xFFFC)
                return Error(t[1], "pool text must hold no NUL and fit 65,532 bytes");
            pool_.push_back(t[1].text + '\0');
            poolIds_.emplace(t[1].text, static_cast<uint32_t>(pool_.size()));
            return;
        }
        if (FileDirective(t)) return;
        // A record's unread first u16 may be given after it: ".near Name head 0".
        const bool head = t.size() == 4 && t[2].kind == Tok::Ident && t[2].text == "head" &&
                          t[3].kind == Tok::Number;
        if (head && (t[3].value < 0 || t[3].value > 0xFFFF))
            return Error(t[3], "value out of range");
        if (d == "near" && (t.size() == 2 || head) && t[1].kind == Tok::Ident) {
            calls_[AddCall(1, t[1].text, t[1])].head = head ? t[3].value : -1;
            return;
        }
        if ((d == "far" || d == "scene") && (t.size() == 2 || head) && t[1].kind == Tok::String) {
            if (!CheckRecordText(t[1])) return;
            calls_[AddCall(static_cast<uint16_t>(d == "far" ? 2 : 3), t[1].text, t[1])].head =
                head ? t[3].value : -1;
            return;
        }
        if ((d == "u16" || d == "u8") && t.size() == 2 && t[1].kind == Tok::Number) {
            if (!current_) return Error(t[0], "code before the first label");
            const int64_t max = d == "u16" ? 0xFFFF : 0xFF;
            if (t[1].value < 0 || t[1].value > max) return Error(t[1], "value out of range");
            Item it;
            it.kind = d == "u16" ? Item::Word : Item::Byte;
            it.value = t[1].value;
            Add(it, t[0]);
            return;
        }
        Error(t[0], "unknown directive or bad operands for '." + d + "'");
    }

    // Directives for the bytes the engine does not read and for the layout of a file made by
    // another tool, so that such a file can be written back as it was.
    bool FileDirective(const std::vector<Token>& t) {
        const std::string& d = t[0].text;
        const bool num = t.size() == 2 && t[1].kind == Tok::Number;
        const bool str = t.size() == 2 && t[1].kind == Tok::String;
        const bool numStr = t.size() == 3 && t[1].kind == Tok::Number && t[2].kind == Tok::String;
        auto u32 = [&](const Token& v) {
            if (v.value >= 0 && v.value <= 0xFFFFFFFFll) return true;
            Error(v, "value out of range");
            return false;
        };
        if (d == "header" && numStr) {
            const int64_t at = t[1].value, end = at + static_cast<int64_t>(t[2].text.size());
            const bool fits =
                (at >= 0 && end <= 8) || (at >= 16 && end <= 28) || (at >= 48 && end <= 52);
            if (!fits) {
                Error(t[1], "header bytes the engine reads: only 0-7, 16-27 and 48-51 are free");
                return true;
            }
            std::memcpy(header_ + at, t[2].text.data(), t[2].text.size());
            return true;
        }
        if (d == "checksum" && num) {
            if (u32(t[1])) checksum_ = t[1].value;
            return true;
        }
        if (d == "place" && t.size() == 3 && t[1].kind == Tok::Ident && t[2].kind == Tok::Number) {
            const std::string& b = t[1].text;
            const int which = b == "code" ? 0 : b == "calls" ? 1 : b == "pool" ? 2 : -1;
            if (which < 0) {
                Error(t[1], "expected code, calls or pool");
                return true;
            }
            if (u32(t[2])) place_[which] = t[2].value;
            placeLine_ = line_;
            return true;
        }
        if (d == "fill" && numStr) {
            if (u32(t[1])) fills_.push_back({static_cast<uint32_t>(t[1].value), t[2].text});
            placeLine_ = line_;
            return true;
        }
        if (d == "calls" && str) {
            if (!calls_.empty() || !rawCalls_.empty()) {
                Error(t[0], "raw call table bytes must come first, and once");
                return true;
            }
            rawCalls_ = t[1].text;
            return true;
        }
        if (d == "stringbytes" && str) {
            const std::string& b = t[1].text;
            if (b.find('\0') == std::string::npos || b.size() > 0xFFFD) {
                Error(t[1], "pool record bytes must hold a NUL and fit 65,533 bytes");
                return true;
            }
            pool_.push_back(b);
            poolIds_.emplace(b.substr(0, b.find('\0')), static_cast<uint32_t>(pool_.size()));
            return true;
        }
        if (d == "pooltail" && str) {
            poolTail_ = t[1].text;
            return true;
        }
        const bool labelPart = d == "name" || d == "unread" || d == "length" || d == "fallthrough";
        if (!labelPart) return false;
        if (!current_) {
            Error(t[0], "'." + d + "' before the first label");
            return true;
        }
        if (d == "name" && str) {
            const std::string& b = t[1].text;
            if (b.find('\0') == std::string::npos || b.size() > 0xFFFF)
                Error(t[1], "a label's name field must hold a NUL and fit 65,535 bytes");
            else
                current_->field = b;
            return true;
        }
        if (d == "unread" && num) {
            if (u32(t[1])) current_->unread = static_cast<uint32_t>(t[1].value);
            return true;
        }
        if (d == "length" && num) {
            if (u32(t[1])) current_->length = t[1].value;
            current_->line = line_;
            return true;
        }
        if (d == "fallthrough" && t.size() == 1) {
            current_->fallsThrough = true;
            return true;
        }
        return false;
    }

    bool CheckRecordText(const Token& s) {
        if (s.text.find('\0') != std::string::npos || s.text.size() > 0xFFFA) {
            Error(s, "call text must hold no NUL and fit 65,530 bytes");
            return false;
        }
        return true;
    }

    void Add(Item it, const Token& at) {
        if (afterTerminator_) Lint(line_, at.column, "unreachable code");
        afterTerminator_ = false;
        it.line = line_;
        it.column = at.column;
        current_->items.push_back(std::move(it));
    }

    static bool Terminates(const Item& it) {
        return it.kind == Item::Op &&
               (it.op == opJMP || it.op == opRET || it.op == opEXIT || it.op == opSCNCHG);
    }

    void Push(int64_t value, const Token& at) {
        Item it;
        it.op = opPUSH;
        it.operand = Operand::Imm;
        it.value = value;
        Add(it, at);
    }
    void PushCall(size_t rec, const Token& at) {
        Item it;
        it.op = opPUSH;
        it.operand = Operand::CallRec;
        it.value = static_cast<int64_t>(rec);
        Add(it, at);
    }
    void Plain(int op, const Token& at) {
        Item it;
        it.op = static_cast<uint16_t>(op);
        Add(it, at);
        afterTerminator_ = Terminates(current_->items.back());
    }

    // A value for PUSH or a command argument; false after reporting.
    bool Value(const Token& t, int64_t& v) {
        switch (t.kind) {
            case Tok::Number:
            case Tok::Rel:
                if (t.value < INT32_MIN || t.value > 0xFFFFFFFFll) break;
                v = t.value;
                return true;
            case Tok::String:
                if (t.text.find('\0') != std::string::npos || t.text.size() > 0xFFFC) break;
                if (t.text.size() > 255)
                    Lint(line_, t.column, "text longer than 255 bytes is cut when shown");
                v = PoolId(t.text);
                return true;
            case Tok::Var:
                if (t.value > 15) Lint(line_, t.column, "string variables are $0 to $15");
                v = 0x80000000ll | t.value;
                return true;
            default:
                break;
        }
        Error(t, "expected a number, a text or a string variable");
        return false;
    }

    void Operation(int op, const std::vector<Token>& t) {
        const Token& at = t[0];
        if (op == opPUSH) {
            int64_t v;
            if (t.size() != 2) return Error(at, "PUSH takes one value");
            if (Value(t[1], v)) Push(v, at);
            return;
        }
        if (op == opJMP || op == opJZ || op == opJNZ) {
            if (t.size() != 2)
                return Error(at, std::string(ScriptOpName(op)) + " takes one target");
            Item it;
            it.op = static_cast<uint16_t>(op);
            if (t[1].kind == Tok::Local) {
                it.operand = Operand::LocalTarget;
                it.name = t[1].text;
            } else if (t[1].kind == Tok::Ident) {
                it.operand = Operand::LabelTarget;
                it.name = t[1].text;
            } else if (t[1].kind == Tok::Rel) {
                if (t[1].value < INT32_MIN || t[1].value > INT32_MAX)
                    return Error(t[1], "jump out of range");
                it.operand = Operand::Rel;
                it.value = t[1].value;
            } else {
                return Error(t[1], "expected .target, Label or +N/-N");
            }
            Add(it, at);
            afterTerminator_ = op == opJMP;
            return;
        }
        if (op == opCALL && t.size() > 1) {
            size_t rec;
            if (t.size() == 2 && t[1].kind == Tok::Ident) {
                rec = CallRecord(1, t[1].text, t[1]);
            } else if (t.size() == 2 && t[1].kind == Tok::String) {
                if (!CheckRecordText(t[1])) return;
                rec = CallRecord(2, t[1].text, t[1]);
            } else if (t.size() == 4 && t[1].kind == Tok::Ident && t[2].kind == Tok::DoubleColon &&
                       t[3].kind == Tok::Ident) {
                const std::string& s = t[1].text;
                int64_t n = -1;
                if (s.size() >= 4 && (s.compare(0, 3, "scr") == 0) &&
                    s.find_first_not_of("0123456789", 3) == std::string::npos && s.size() <= 10)
                    n = std::stoll(s.substr(3));
                if (n < 0 || n > 0xFFFF) return Error(t[1], "expected scrN with N from 0 to 65535");
                char text[16];
                std::snprintf(text, sizeof text, "scr%05d::", static_cast<int>(n));
                rec = CallRecord(2, text + t[3].text, t[1]);
                unit_.refs.push_back(
                    {static_cast<uint32_t>(n), t[3].text, false, line_, t[1].column});
            } else {
                return Error(t[1], "expected CALL Label, CALL scrN::Label or CALL \"text\"");
            }
            PushCall(rec, at);
            Plain(opCALL, at);
            return;
        }
        if (op == opSCNCHG && t.size() > 1) {
            if (t.size() != 2 || t[1].kind != Tok::String)
                return Error(t[1], "expected SCNCHG \"Scene\"");
            if (!CheckRecordText(t[1])) return;
            unit_.refs.push_back({0, t[1].text, true, line_, t[1].column});
            PushCall(CallRecord(3, t[1].text, t[1]), at);
            Plain(opSCNCHG, at);
            return;
        }
        if (t.size() != 1) return Error(t[1], std::string(ScriptOpName(op)) + " takes no operand");
        Plain(op, at);
    }

    void Command(int op, const std::vector<Token>& t) {
        const ScriptCommandDesc* d = ScriptCommand(op);
        if (t.size() == 2 && t[1].kind == Tok::Ellipsis) return Plain(op, t[0]);
        std::vector<int64_t> args;
        for (size_t i = 1; i < t.size(); i += 2) {
            int64_t v;
            if (!Value(t[i], v)) return;
            args.push_back(v);
            if (i + 1 < t.size() && t[i + 1].kind != Tok::Comma)
                return Error(t[i + 1], "expected ','");
            if (i + 1 == t.size() - 1) return Error(t[i + 1], "argument missing after ','");
        }
        if (args.size() != d->args)
            return Error(t[0], std::string(d->name) + " takes " + std::to_string(d->args) +
                                   " argument" + (d->args == 1 ? "" : "s") + ", given " +
                                   std::to_string(args.size()));
        for (int64_t v : args) Push(v, t[0]);
        Plain(op, t[0]);
    }

    // --- Layout and output ---------------------------------------------------------------
    void Layout() {
        uint32_t off = 0;
        for (size_t i = 0; i < labels_.size(); ++i) {
            LabelRec& l = labels_[i];
            l.offset = off;
            uint32_t pc = off + 10 + static_cast<uint32_t>(l.field.size());
            // Code that could run on into the next record's head jumps over it.
            if (i + 1 < labels_.size() && !l.fallsThrough &&
                (l.items.empty() || !Terminates(l.items.back()))) {
                Item j;
                j.op = opJMP;
                j.operand = Operand::LabelTarget;
                j.name = labels_[i + 1].name;
                l.items.push_back(j);
            }
            for (Item& it : l.items) {
                it.pc = pc;
                pc += it.Size();
            }
            off = pc;
        }
        codeSize_ = off;
        for (size_t i = 0; i < labels_.size(); ++i) {
            const LabelRec& l = labels_[i];
            if (l.length < 0) continue;
            const uint32_t end = i + 1 < labels_.size() ? labels_[i + 1].offset : codeSize_;
            if (i + 1 < labels_.size() || l.length < 10 + static_cast<int64_t>(l.field.size()) ||
                l.length > end - l.offset)
                Error(l.line, l.column,
                      "only the last label record may be given a length, from its head to "
                      "the end of its code");
        }
        uint32_t c = static_cast<uint32_t>(rawCalls_.size());
        for (CallRec& r : calls_) {
            r.offset = c;
            c += r.kind == 1 ? 8 : 4 + static_cast<uint32_t>(r.text.size()) + 1;
        }
        callSize_ = c;
    }

    const LabelRec* FindLabel(const std::string& name) const {
        auto it = labelIndex_.find(name);
        return it == labelIndex_.end() ? nullptr : &labels_[it->second];
    }
    static uint32_t FirstPc(const LabelRec& l) {
        return l.offset + 10 + static_cast<uint32_t>(l.field.size());
    }

    void Resolve() {
        for (LabelRec& l : labels_) {
            for (Item& it : l.items) {
                if (it.operand == Operand::LocalTarget) {
                    auto f = l.locals.find(it.name);
                    if (f == l.locals.end()) {
                        Error(it.line, it.column,
                              "no target '." + it.name + "' in label '" + l.name + "'");
                        continue;
                    }
                    f->second.used = true;
                    const uint32_t target =
                        f->second.item < l.items.size() ? l.items[f->second.item].pc : EndPc(l);
                    it.value = static_cast<int64_t>(target) - it.pc;
                } else if (it.operand == Operand::LabelTarget) {
                    const LabelRec* t = FindLabel(it.name);
                    if (!t) {
                        Error(it.line, it.column, "no label '" + it.name + "'");
                        continue;
                    }
                    it.value = static_cast<int64_t>(FirstPc(*t)) - it.pc;
                }
            }
            for (const auto& [name, local] : l.locals)
                if (!local.used)
                    Lint(local.line, local.column, "target '." + name + "' is never jumped to");
        }
        for (const CallRec& r : calls_)
            if (r.kind == 1 && !FindLabel(r.text))
                Error(r.line, r.column, "no label '" + r.text + "'");
        for (size_t i = 0; i < unit_.scenes.size(); ++i) {
            const auto& sl = sceneLabels_[i];
            const LabelRec* l = FindLabel(sl.name);
            if (!l)
                Error(sl.line, sl.column, "scene label '" + sl.name + "' is not in this file");
            else
                unit_.scenes[i].label = l->offset;
            unit_.scenes[i].script = unit_.number;
        }
        for (const LabelRec& l : labels_)
            unit_.labels.push_back(l.field.substr(0, l.field.find('\0')));
    }

    uint32_t EndPc(const LabelRec& l) const {
        return l.items.empty() ? FirstPc(l) : l.items.back().pc + l.items.back().Size();
    }

    bool Emit() {
        std::vector<uint8_t> code(codeSize_), calls(callSize_), pool;
        for (size_t i = 0; i < labels_.size(); ++i) {
            const LabelRec& l = labels_[i];
            const uint32_t end = i + 1 < labels_.size() ? labels_[i + 1].offset : codeSize_;
            ZRPutLE32(&code[l.offset],
                      l.length >= 0 ? static_cast<uint32_t>(l.length) : end - l.offset);
            ZRPutLE16(&code[l.offset + 4], static_cast<uint16_t>(l.field.size()));
            ZRPutLE32(&code[l.offset + 6], l.unread);
            std::memcpy(&code[l.offset + 10], l.field.data(), l.field.size());
            for (const Item& it : l.items) {
                uint8_t* p = &code[it.pc];
                if (it.kind == Item::Byte) {
                    *p = static_cast<uint8_t>(it.value);
                    continue;
                }
                if (it.kind == Item::Word) {
                    ZRPutLE16(p, static_cast<uint16_t>(it.value));
                    continue;
                }
                ZRPutLE16(p, it.op);
                if (!ScriptOpHasOperand(it.op)) continue;
                const uint32_t v = it.operand == Operand::CallRec
                                       ? calls_[static_cast<size_t>(it.value)].offset
                                       : static_cast<uint32_t>(it.value);
                ZRPutLE32(p + 2, v);
            }
        }
        if (!rawCalls_.empty()) std::memcpy(calls.data(), rawCalls_.data(), rawCalls_.size());
        for (const CallRec& r : calls_) {
            uint8_t* p = &calls[r.offset];
            const uint32_t size = r.kind == 1 ? 8 : 4 + static_cast<uint32_t>(r.text.size()) + 1;
            ZRPutLE16(p, static_cast<uint16_t>(r.head >= 0 ? r.head : size));
            ZRPutLE16(p + 2, r.kind);
            if (r.kind == 1)
                ZRPutLE32(p + 4, FindLabel(r.text)->offset);
            else
                std::memcpy(p + 4, r.text.data(), r.text.size());
        }
        for (const std::string& s : pool_) {
            const size_t at = pool.size();
            pool.resize(at + 2 + s.size());
            ZRPutLE16(&pool[at], static_cast<uint16_t>(2 + s.size()));
            std::memcpy(&pool[at + 2], s.data(), s.size());
        }
        pool.insert(pool.end(), poolTail_.begin(), poolTail_.end());

        // Blocks back to back after the header, or where .place puts them with .fill between.
        const bool placed = place_[0] >= 0 || place_[1] >= 0 || place_[2] >= 0 || !fills_.empty();
        const uint32_t sizes[3] = {codeSize_, callSize_, static_cast<uint32_t>(pool.size())};
        uint32_t at[3] = {64, 64 + codeSize_, 64 + codeSize_ + callSize_};
        struct Span {
            uint64_t from, to;
        };
        std::vector<Span> used = {{0, 64}};
        if (placed) {
            for (int b = 0; b < 3; ++b) {
                if (place_[b] < 0) {
                    Error(placeLine_, 1, ".place must give all three blocks: code, calls, pool");
                    return false;
                }
                at[b] = static_cast<uint32_t>(place_[b]);
                if (sizes[b]) used.push_back({at[b], uint64_t{at[b]} + sizes[b]});
            }
            for (const auto& [off, bytes] : fills_)
                if (!bytes.empty()) used.push_back({off, uint64_t{off} + bytes.size()});
            std::sort(used.begin(), used.end(),
                      [](const Span& x, const Span& y) { return x.from < y.from; });
            for (size_t i = 1; i < used.size(); ++i)
                if (used[i].from < used[i - 1].to) {
                    Error(placeLine_, 1, "blocks and fills overlap each other or the header");
                    return false;
                }
        }
        uint64_t fileSize = 64;
        for (int b = 0; b < 3; ++b)
            fileSize = std::max<uint64_t>(fileSize, uint64_t{at[b]} + sizes[b]);
        for (const auto& [off, bytes] : fills_)
            fileSize = std::max<uint64_t>(fileSize, uint64_t{off} + bytes.size());
        if (fileSize > 0x7FFFFFFF) {
            Error(placeLine_, 1, "the file would be larger than 2 GiB");
            return false;
        }
        std::vector<uint8_t>& f = unit_.vnx;
        f.assign(fileSize, 0);
        std::memcpy(f.data(), header_, 64);
        const std::vector<uint8_t>* blocks[3] = {&code, &calls, &pool};
        for (int b = 0; b < 3; ++b)
            if (sizes[b]) std::memcpy(&f[at[b]], blocks[b]->data(), sizes[b]);
        for (const auto& [off, bytes] : fills_)
            if (!bytes.empty()) std::memcpy(&f[off], bytes.data(), bytes.size());
        ZRPutLE32(&f[8], unit_.number);
        ZRPutLE32(&f[28], at[0]);
        ZRPutLE32(&f[32], codeSize_);
        ZRPutLE32(&f[36], static_cast<uint32_t>(labels_.size()));
        ZRPutLE32(&f[40], at[1]);
        ZRPutLE32(&f[44], callSize_);
        ZRPutLE32(&f[52], at[2]);
        ZRPutLE32(&f[56], sizes[2]);
        ZRPutLE32(&f[60], static_cast<uint32_t>(pool_.size()));
        ZRPutLE32(&f[12], checksum_ >= 0 ? static_cast<uint32_t>(checksum_)
                                         : Checksum(f.data() + 64, f.size() - 64));
        for (const LabelRec& l : labels_) {
            unit_.places.push_back({at[0] + l.offset, l.line, l.column});
            for (const Item& it : l.items)
                if (it.line) unit_.places.push_back({at[0] + it.pc, it.line, it.column});
        }
        for (const CallRec& r : calls_)
            if (r.line) unit_.places.push_back({at[1] + r.offset, r.line, r.column});
        std::stable_sort(
            unit_.places.begin(), unit_.places.end(),
            [](const Unit::Place& x, const Unit::Place& y) { return x.offset < y.offset; });
        return true;
    }

    std::string path_;
    std::vector<Diag>& errors_;
    Unit& unit_;
    int errorCount_ = 0;
    int line_ = 0;
    bool haveNumber_ = false;
    bool afterTerminator_ = false;
    std::vector<LabelRec> labels_;  // reserved below so current_ stays valid
    std::map<std::string, size_t> labelIndex_;
    LabelRec* current_ = nullptr;
    struct SceneLabel {
        std::string name;
        int line, column;
    };
    std::vector<SceneLabel> sceneLabels_;
    std::vector<std::string> pool_;
    std::map<std::string, uint32_t> poolIds_;
    std::vector<CallRec> calls_;
    std::map<std::pair<uint16_t, std::string>, size_t> callIndex_;  // first record of each content
    uint32_t codeSize_ = 0, callSize_ = 0;
    uint8_t header_[64] = {'N', 'Y', 'S', 'C', 'R', 'I', 'P', 'T'};
    int64_t checksum_ = -1;
    int64_t place_[3] = {-1, -1, -1};
    int placeLine_ = 1;
    std::vector<std::pair<uint32_t, std::string>> fills_;
    std::string rawCalls_, poolTail_;

  public:
    void Reserve(size_t n) { labels_.reserve(n); }
};

}  // namespace

void SetGbkEncoder(GbkEncoder encoder) {
    EncoderHook() = std::move(encoder);
}

bool Assemble(const std::string& path, std::string_view source, Unit& out,
              std::vector<Diag>& errors) {
    out = Unit();
    out.path = path;
    Assembler a(path, errors, out);
    // Label records are never more than the lines; reserving keeps the current one in place.
    size_t lines = 1;
    for (char c : source) lines += c == '\n';
    a.Reserve(lines);
    return a.Run(source);
}

void Link(const std::vector<Unit>& units, std::vector<Diag>& errors) {
    std::map<uint32_t, const Unit*> byNumber;
    std::map<std::string, const SceneDef*> scenes;
    for (const Unit& u : units) {
        auto [it, fresh] = byNumber.emplace(u.number, &u);
        if (!fresh)
            errors.push_back(
                {u.path, 1, 1,
                 "script " + std::to_string(u.number) + " also built from " + it->second->path});
        for (const SceneDef& s : u.scenes)
            if (!scenes.emplace(s.name, &s).second)
                errors.push_back(
                    {u.path, s.line, s.column,
                     "scene \"" + plat::ToUtf8(s.name, plat::CodePage::Gbk) + "\" defined twice"});
    }
    for (const Unit& u : units) {
        for (const Unit::Ref& r : u.refs) {
            const std::string shown = plat::ToUtf8(r.name, plat::CodePage::Gbk);
            if (r.scene) {
                if (!scenes.count(r.name))
                    errors.push_back({u.path, r.line, r.column, "no scene \"" + shown + "\""});
                continue;
            }
            auto f = byNumber.find(r.script);
            if (f == byNumber.end()) {
                errors.push_back(
                    {u.path, r.line, r.column,
                     "script " + std::to_string(r.script) + " is not among the files"});
                continue;
            }
            bool found = false;
            for (const std::string& l : f->second->labels) found = found || l == r.name;
            if (!found)
                errors.push_back(
                    {u.path, r.line, r.column,
                     "no label '" + shown + "' in script " + std::to_string(r.script)});
        }
    }
}

std::vector<uint8_t> BuildSceneTable(const std::vector<Unit>& units) {
    std::vector<uint8_t> block;
    uint32_t count = 0;
    // By script number, so the index does not depend on the order the files were named in.
    std::vector<const Unit*> order;
    for (const Unit& u : units) order.push_back(&u);
    std::stable_sort(order.begin(), order.end(),
                     [](const Unit* a, const Unit* b) { return a->number < b->number; });
    for (const Unit* u : order) {
        for (const SceneDef& s : u->scenes) {
            const size_t at = block.size();
            const size_t len = 22 + s.name.size() + 1;
            block.resize(at + len);
            uint8_t* p = &block[at];
            ZRPutLE16(p, static_cast<uint16_t>(len));
            ZRPutLE32(p + 2, s.script);
            ZRPutLE32(p + 10, s.label);
            ZRPutLE16(p + 14, s.date);
            ZRPutLE16(p + 16, s.time);
            ZRPutLE16(p + 18, s.limitDate);
            ZRPutLE16(p + 20, s.limitTime);
            std::memcpy(p + 22, s.name.data(), s.name.size());
            ++count;
        }
    }
    std::vector<uint8_t> out(12 + block.size());
    std::memcpy(out.data(), "SV01", 4);
    ZRPutLE32(&out[4], static_cast<uint32_t>(block.size()));
    ZRPutLE32(&out[8], count);
    if (!block.empty()) std::memcpy(&out[12], block.data(), block.size());
    return out;
}

}  // namespace nys
