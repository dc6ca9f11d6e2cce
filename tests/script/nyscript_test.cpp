// The assembler and disassembler: every error names its line and column, texts encode to GBK
// strictly, and random programs come back byte for byte through dis and build and load in the
// engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "foundation/zrstd.h"
#include "platform/codepage.h"
#include "script_rig.h"

namespace {

TEST(Nyscript, ErrorsNameLineAndColumn) {
    const struct {
        std::string source;
        int line, column;
        const char* words;
    } cases[] = {
        {"script 1\nA:\n    FROB\n", 3, 5, "unknown operation"},
        {"script 1\nA:\n    SetShowChar 3, 1, 0x208\n", 3, 5, "takes 4 arguments, given 3"},
        {"script 1\nA:\n    Text 1, \n", 3, 11, "argument missing"},
        {"script 1\nA:\n    PUSH \"ok \xF0\x9F\x98\x80\"\n", 3, 14, "no GBK form"},
        {"script 1\nA:\n    PUSH \"open\n", 3, 10, "unterminated"},
        {"script 1\nA:\n    JMP .nowhere\n", 3, 5, "no target"},
        {"script 1\nA:\n    EXIT\nA:\n", 4, 1, "defined twice"},
        {"script 1\n    EXIT\n", 2, 5, "before the first label"},
        {"script 1\nscene \"S\" Missing\nA:\n    EXIT\n", 2, 11, "not in this file"},
        {"script 1\nscene \"" + std::string(64, 'n') + "\" A\nA:\n", 2, 7, "1 to 63 bytes"},
        {"script 1\nscene \"S\" A date 1340 time 0800\nA:\n", 2, 18, "not a date"},
        {"script 70000\nA:\n", 1, 1, "0 to 65535"},
        {"A:\n    EXIT\n", 1, 1, "missing 'script N'"},
        {"script 1\nA:\n    CALL scr70000::B\n", 3, 10, "0 to 65535"},
        {"script 1\nA:\n    PUSH 0x1FFFFFFFF\n", 3, 10, "bad number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        nys::Unit u;
        std::vector<nys::Diag> errors;
        EXPECT_FALSE(nys::Assemble("x.nys", c.source, u, errors));
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors[0].line, c.line);
        EXPECT_EQ(errors[0].column, c.column);
        EXPECT_NE(errors[0].message.find(c.words), std::string::npos) << errors[0].message;
    }
}

// The engine's double-byte rule would split a character whose GBK form leads with a byte
// above 0xF7, so the assembler refuses it. The host's converter may know no such character;
// a stand-in gives "é" the lead byte under test.
TEST(Nyscript, TextsWhoseGbkLeadsAboveF7AreRefused) {
    struct Restore {
        ~Restore() { nys::SetGbkEncoder({}); }
    } restore;
    const std::string source = "script 1\nA:\n    PUSH \"ab\xC3\xA9\"\n    EXIT\n";
    for (int lead : {0x81, 0xF7, 0xF8, 0xFE}) {
        SCOPED_TRACE(lead);
        const std::string gbk = {static_cast<char>(lead), '\xA1'};
        nys::SetGbkEncoder([&](std::string_view utf8, std::string& out) {
            if (utf8 != "\xC3\xA9") return false;
            out = gbk;
            return true;
        });
        nys::Unit u;
        std::vector<nys::Diag> errors;
        const bool built = nys::Assemble("x.nys", source, u, errors);
        if (lead <= 0xF7) {
            ASSERT_TRUE(built) << (errors.empty() ? "" : errors[0].Format());
            const std::vector<uint8_t> text = {'a', 'b', static_cast<uint8_t>(lead), 0xA1};
            EXPECT_NE(std::search(u.vnx.begin(), u.vnx.end(), text.begin(), text.end()),
                      u.vnx.end());
        } else {
            ASSERT_FALSE(built);
            ASSERT_FALSE(errors.empty());
            EXPECT_EQ(errors[0].line, 3);
            EXPECT_EQ(errors[0].column, 13);
            EXPECT_NE(errors[0].message.find("above 0xF7"), std::string::npos) << errors[0].message;
        }
    }
}

TEST(Nyscript, LintsAndLinkErrors) {
    nys::Unit u;
    std::vector<nys::Diag> errors;
    ASSERT_TRUE(
        nys::Assemble("l.nys", "script 1\nA:\n.unused:\n    EXIT\n    PUSH $16\n", u, errors));
    ASSERT_EQ(u.lints.size(), 3u);
    std::vector<std::string> got;
    for (const nys::Diag& d : u.lints) got.push_back(d.Format());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got[0], "l.nys:3:1: target '.unused' is never jumped to");
    EXPECT_EQ(got[1], "l.nys:5:10: string variables are $0 to $15");
    EXPECT_EQ(got[2], "l.nys:5:5: unreachable code");

    std::vector<nys::Unit> units(2);
    ASSERT_TRUE(nys::Assemble(
        "a.nys", "script 1\nscene \"S\" A\nA:\n    CALL scr2::Gone\n    SCNCHG \"T\"\n", units[0],
        errors));
    ASSERT_TRUE(
        nys::Assemble("b.nys", "script 2\nscene \"S\" B\nB:\n    EXIT\n", units[1], errors));
    nys::Link(units, errors);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0].Format(), "b.nys:2:7: scene \"S\" defined twice");
    EXPECT_EQ(errors[1].Format(), "a.nys:4:10: no label 'Gone' in script 2");
    EXPECT_EQ(errors[2].Format(), "a.nys:5:12: no scene \"T\"");
}

TEST(Nyscript, TextsKeepTheTextProcessorsEscapes) {
    ScriptRig rig;
    rig.Build({OneLabel("Text \"确定\\n\\p\\\"\\\\\\x81\"\nEXIT\n")});
    ASSERT_TRUE(rig.engine->LoadScript(1));
    EXPECT_EQ(std::string(rig.engine->GetString(1).c_str()), "\xC8\xB7\xB6\xA8\\n\\p\"\\\x81");
}

// Random programs of every statement kind, across two files.
std::string RandomProgram(std::mt19937& rng, int number, int labels) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const char* ops[] = {"NOP",   "POP",   "DUP",    "SWAP",   "DUP2",   "SWAP2",  "LNOT",
                         "MUL",   "DIV",   "REM",    "ADD",    "SUB",    "LT",     "LE",
                         "GT",    "GE",    "EQ",     "NE",     "LAND",   "LOR",    "SETF",
                         "GETF",  "SETV",  "GETV",   "SETSTR", "GETSTR", "SETRES", "GETRES",
                         "GETCF", "GETCV", "GETARG", "RET",    "EXIT"};
    std::string s = "script " + std::to_string(number) + "\n";
    s += "scene \"Scene" + std::to_string(number) + "\" L0 date 0" + std::to_string(1 + pick(9)) +
         "15 time 1200\n";
    for (int l = 0; l < labels; ++l) {
        s += "L" + std::to_string(l) + ":\n";
        const int n = 1 + pick(12);
        for (int i = 0; i < n; ++i) {
            if (pick(6) == 0) s += ".t" + std::to_string(i) + ":\n";
            switch (pick(9)) {
                case 0:
                    s += "    PUSH " + std::to_string(static_cast<int32_t>(rng())) + "\n";
                    break;
                case 1:
                    s += "    PUSH \"文" + std::to_string(pick(5)) + "\"\n";
                    break;
                case 2:
                    s += "    JZ L" + std::to_string(pick(labels)) + "\n";
                    break;
                case 3:
                    s += "    CALL L" + std::to_string(pick(labels)) + "\n";
                    break;
                case 4:
                    s += "    CALL scr" + std::to_string(number == 1 ? 2 : 1) + "::L0\n";
                    break;
                case 5:
                    s += "    Text \"行" + std::to_string(pick(3)) + "\"\n";
                    break;
                case 6:
                    s += "    SetShowChar " + std::to_string(pick(9)) + ", 1, 0x208, 4096\n";
                    break;
                case 7:
                    s += "    SetBG ...\n";
                    break;
                default:
                    s += std::string("    ") + ops[pick(33)] + "\n";
                    break;
            }
        }
        if (pick(3) == 0) s += "    SCNCHG \"Scene" + std::to_string(number == 1 ? 2 : 1) + "\"\n";
    }
    return s;
}

TEST(Nyscript, RandomProgramsSurviveDisAndBuild) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        ScriptRig rig;
        std::vector<nys::Unit> units(2);
        std::vector<nys::Diag> errors;
        for (int f = 0; f < 2; ++f) {
            const std::string src = RandomProgram(rng, f + 1, 1 + round % 6);
            ASSERT_TRUE(nys::Assemble("r.nys", src, units[f], errors)) << errors[0].Format() << "\n"
                                                                       << src;
        }
        nys::Link(units, errors);
        ASSERT_TRUE(errors.empty()) << errors[0].Format();
        const std::vector<uint8_t> table = nys::BuildSceneTable(units);
        std::vector<nys::Unit> again(2);
        for (int f = 0; f < 2; ++f) {
            std::string text, why;
            ASSERT_TRUE(nys::Disassemble(units[f].vnx, table, text, why)) << why;
            ASSERT_TRUE(nys::Assemble("d.nys", text, again[f], errors))
                << errors[0].Format() << "\n"
                << text;
            EXPECT_EQ(again[f].vnx, units[f].vnx) << text;
            rig.WriteVnx(units[f].number, units[f].vnx);
        }
        EXPECT_EQ(nys::BuildSceneTable(again), table);
        rig.dir.Write("Scene.tbl", std::string(table.begin(), table.end()));
        rig.engine->LoadSceneTable();
        for (const char* scene : {"Scene1", "Scene2"}) EXPECT_TRUE(rig.engine->StartScene(scene));
        for (const nys::Unit& u : units) {
            ASSERT_TRUE(rig.engine->LoadScript(static_cast<int32_t>(u.number)));
            EXPECT_EQ(rig.engine->LabelCount(), u.labels.size());
        }
    }
}

// A script file laid out by hand: the header, one label record "M" with `code`, then the call
// table and the pool as given.
std::vector<uint8_t> HandFile(const std::vector<uint8_t>& code, const std::vector<uint8_t>& calls,
                              const std::vector<uint8_t>& pool, uint32_t strings,
                              uint32_t labels = 1) {
    std::vector<uint8_t> f(64, 0);
    const uint32_t record = 12 + static_cast<uint32_t>(code.size());
    const uint32_t callAt = 64 + record, poolAt = callAt + static_cast<uint32_t>(calls.size());
    const uint32_t head[][2] = {{8, 1},       {28, 64},
                                {32, record}, {36, labels},
                                {40, callAt}, {44, static_cast<uint32_t>(calls.size())},
                                {52, poolAt}, {56, static_cast<uint32_t>(pool.size())},
                                {60, strings}};
    for (const auto& h : head) ZRPutLE32(&f[h[0]], h[1]);
    const uint8_t label[12] = {static_cast<uint8_t>(record), 0, 0, 0, 2, 0, 0, 0, 0, 0, 'M', 0};
    f.insert(f.end(), label, label + 12);
    f.insert(f.end(), code.begin(), code.end());
    f.insert(f.end(), calls.begin(), calls.end());
    f.insert(f.end(), pool.begin(), pool.end());
    return f;
}

// What check must flag in a file the engine loads but cannot run, each at its offset.
TEST(Nyscript, CheckFlagsWhatHaltsOrFaultsAtRunTime) {
    const std::vector<uint8_t> exit = {15, 0};
    const std::vector<uint8_t> pool = {5, 0, 'h', 'i', 0};  // one string, "hi"
    const struct {
        const char* what;
        std::vector<uint8_t> file;
        uint32_t offset;  // of the first problem
        const char* words;
    } cases[] = {
        {"no label record", HandFile(exit, {}, {}, 0, 0), 36, "label count 0"},
        {"opcode 7", HandFile({7, 0, 15, 0}, {}, {}, 0), 76, "opcode 7 has no handler"},
        {"opcode 12", HandFile({12, 0, 15, 0}, {}, {}, 0), 76, "opcode 12 has no handler"},
        {"opcode 17", HandFile({17, 0, 15, 0}, {}, {}, 0), 76, "opcode 17 has no handler"},
        {"opcode 92", HandFile({92, 0, 15, 0}, {}, {}, 0), 76, "opcode 92 has no handler"},
        {"opcode 190", HandFile({190, 0, 15, 0}, {}, {}, 0), 76, "opcode 190 has no handler"},
        {"opcode 300", HandFile({44, 1, 15, 0}, {}, {}, 0), 76, "opcode 300 has no handler"},
        {"call without a call table", HandFile({1, 0, 0, 0, 0, 0, 6, 0, 15, 0}, {}, {}, 0), 82,
         "no call table"},
        {"call record of kind 5",
         HandFile({1, 0, 0, 0, 0, 0, 6, 0, 15, 0}, {8, 0, 5, 0, 0, 0, 0, 0}, {}, 0), 82,
         "unknown kind 5"},
        {"call record past the table",
         HandFile({1, 0, 6, 0, 0, 0, 6, 0, 15, 0}, {8, 0, 1, 0, 0, 0, 0, 0}, {}, 0), 82,
         "past the table"},
        {"near call to the middle of a record",
         HandFile({1, 0, 0, 0, 0, 0, 6, 0, 15, 0}, {8, 0, 1, 0, 3, 0, 0, 0}, {}, 0), 86,
         "not a label record"},
        {"far call text without a script",
         HandFile({1, 0, 0, 0, 0, 0, 6, 0, 15, 0}, {0, 0, 2, 0, ':', ':', 'M', 0}, {}, 0), 86,
         "names no script"},
        {"string id past the pool", HandFile({1, 0, 2, 0, 0, 0, 64, 0, 15, 0}, {}, pool, 1), 82,
         "string id 2"},
        {"jump into an operand", HandFile({3, 0, 2, 0, 0, 0, 15, 0}, {}, {}, 0), 76,
         "inside an instruction"},
    };
    nys::CheckContext context;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<nys::FileProblem> problems;
        EXPECT_TRUE(nys::CheckScriptFile(c.file, context, problems));
        ASSERT_FALSE(problems.empty());
        EXPECT_EQ(problems[0].offset, c.offset);
        EXPECT_NE(problems[0].message.find(c.words), std::string::npos) << problems[0].message;
    }
    // What passes: a POP right before a PUSH, a near call, the last string, a string variable.
    std::vector<nys::FileProblem> none;
    EXPECT_TRUE(
        nys::CheckScriptFile(HandFile({1, 0, 9, 0, 0, 0,  2, 0, 1, 0, 0, 0, 0,    0,  6, 0,  1,
                                       0, 1, 0, 0, 0, 64, 0, 1, 0, 3, 0, 0, 0x80, 64, 0, 15, 0},
                                      {8, 0, 1, 0, 0, 0, 0, 0}, pool, 1),
                             context, none));
    EXPECT_TRUE(none.empty()) << none[0].message;
    // A file the engine does not load at all.
    EXPECT_FALSE(nys::CheckScriptFile(HandFile(exit, {}, {}, 0, 9), context, none));

    // An index entry whose name is 64 bytes long: the engine leaves the scene out.
    nys::Unit u;
    std::vector<nys::Diag> errors;
    ASSERT_TRUE(nys::Assemble("i.nys", "script 1\nscene \"S\" A\nA:\n    EXIT\n", u, errors));
    std::vector<uint8_t> table = nys::BuildSceneTable({u});
    const std::string name(64, 'n');
    table.resize(12 + 22);
    table.insert(table.end(), name.begin(), name.end());
    table.push_back(0);
    ZRPutLE16(&table[12], static_cast<uint16_t>(22 + 65));
    ZRPutLE32(&table[4], 22 + 65);
    std::vector<nys::IndexEntry> scenes;
    std::vector<nys::FileProblem> problems;
    EXPECT_TRUE(nys::ReadSceneTable(table, scenes, problems));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].offset, 12u + 22);
    EXPECT_NE(problems[0].message.find("64 bytes"), std::string::npos);
}

// One label record: its length (unless given), the name field's length, four unread bytes,
// the name field and the code.
std::vector<uint8_t> Rec(const std::string& field, const std::vector<uint8_t>& code,
                         uint32_t unread = 0, uint32_t length = 0) {
    std::vector<uint8_t> r(10);
    ZRPutLE32(&r[0], length ? length : static_cast<uint32_t>(10 + field.size() + code.size()));
    ZRPutLE16(&r[4], static_cast<uint16_t>(field.size()));
    ZRPutLE32(&r[6], unread);
    r.insert(r.end(), field.begin(), field.end());
    r.insert(r.end(), code.begin(), code.end());
    return r;
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Files another tool could have written, which the engine loads: each is listed, and the
// listing builds the same bytes again.
TEST(Nyscript, FilesFromElsewhereListAndRebuildByteForByte) {
    const std::vector<uint8_t> exit = {15, 0};
    const std::vector<uint8_t> pool = {5, 0, 'h', 'i', 0};
    // PUSH 0 (the first call record), CALL, PUSH 1 (the first string), Text, EXIT.
    const std::vector<uint8_t> calling = {1, 0, 0, 0, 0, 0, 6, 0, 1, 0, 1, 0, 0, 0, 64, 0, 15, 0};
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
    };
    std::vector<Case> cases = {
        {"plain", HandFile(calling, {8, 0, 1, 0, 0, 0, 0, 0}, pool, 1)},
        {"near call record with 0 in its first u16",
         HandFile(calling, {0, 0, 1, 0, 0, 0, 0, 0}, pool, 1)},
        {"far call record",
         HandFile(calling, {0, 0, 2, 0, 's', 'c', 'r', '1', ':', ':', 'M', 0}, pool, 1)},
        {"far call naming a script number source cannot write",
         HandFile(calling, {0, 0, 2, 0, 's', 'c', 'r', '9', '0', '7', '2', '1', ':', ':', 'M', 0},
                  pool, 1)},
        {"call table of an unknown kind, listed raw",
         HandFile(calling, {8, 0, 9, 0, 1, 2, 3, 4, 5}, pool, 1)},
        {"pool record with bytes after its text",
         HandFile(calling, {8, 0, 1, 0, 0, 0, 0, 0}, {8, 0, 'h', 'i', 0, 'x', 'y', 'z'}, 1)},
        {"pool bytes after the last record",
         HandFile(calling, {8, 0, 1, 0, 0, 0, 0, 0}, {5, 0, 'h', 'i', 0, 7, 7}, 1)},
        {"POP right before PUSH, JZ and a command",
         HandFile({1, 0, 1, 0, 0, 0, 2, 0, 1, 0, 0, 0, 0, 0,   2, 0,  1,
                   0, 0, 0, 0, 0, 4, 0, 8, 0, 0, 0, 2, 0, 168, 0, 15, 0},
                  {}, {}, 0)},
    };
    // Header bytes the engine does not read, and a checksum of the file's own.
    std::vector<uint8_t> head = HandFile(exit, {}, {}, 0);
    std::memcpy(head.data(), "OTHERTOO", 8);
    for (int i = 16; i < 28; ++i) head[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    head[49] = 0xAA;
    ZRPutLE32(&head[12], 0x12345678);
    cases.push_back({"header bytes and checksum", head});
    // Label records: names source cannot write, twice the same name, padding in the name
    // field, unread bytes, a record that runs on into the next, and code after the last one.
    const std::vector<uint8_t> records =
        Cat({Rec(std::string("two words\0", 10), {1, 0, 5, 0, 0, 0}, 0xDEADBEEF),
             Rec(std::string("A\0", 2), exit), Rec(std::string("A\0\0\0", 4), exit),
             Rec(std::string("\xCE\xC4\0", 3), exit),
             Rec(std::string("B\0", 2), {0, 0, 15, 0, 1, 0, 2, 0, 0, 0}, 0, 16)});
    std::vector<uint8_t> labels = HandFile({}, {}, {}, 0, 5);
    labels.resize(64);
    labels.insert(labels.end(), records.begin(), records.end());
    for (uint32_t at : {32u, 40u, 52u}) ZRPutLE32(&labels[at], at == 32 ? 0 : 64);
    ZRPutLE32(&labels[32], static_cast<uint32_t>(records.size()));
    ZRPutLE32(&labels[40], 64 + static_cast<uint32_t>(records.size()));
    ZRPutLE32(&labels[52], 64 + static_cast<uint32_t>(records.size()));
    cases.push_back({"label records", labels});
    // Blocks out of order with bytes between and after them: pool, code, call table.
    {
        const std::vector<uint8_t> code = Rec(std::string("M\0", 2), calling);
        const std::vector<uint8_t> calls = {8, 0, 1, 0, 0, 0, 0, 0};
        std::vector<uint8_t> f =
            Cat({std::vector<uint8_t>(64, 0), pool, {'g', 'a', 'p'}, code, calls, {0, 0, 9}});
        const uint32_t codeAt = 64 + 5 + 3, callAt = codeAt + static_cast<uint32_t>(code.size());
        const uint32_t h[][2] = {{8, 1},   {28, codeAt}, {32, static_cast<uint32_t>(code.size())},
                                 {36, 1},  {40, callAt}, {44, 8},
                                 {52, 64}, {56, 5},      {60, 1}};
        for (const auto& x : h) ZRPutLE32(&f[x[0]], x[1]);
        cases.push_back({"blocks out of order with gaps", f});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptRig rig;
        rig.WriteVnx(1, c.file);
        ASSERT_TRUE(rig.engine->LoadScript(1)) << "the case itself must be a file the engine loads";
        std::string text, why;
        ASSERT_TRUE(nys::Disassemble(c.file, {}, text, why)) << why;
        nys::Unit u;
        std::vector<nys::Diag> errors;
        ASSERT_TRUE(nys::Assemble("d.nys", text, u, errors)) << errors[0].Format() << "\n" << text;
        EXPECT_EQ(u.vnx, c.file) << text;
    }
}

}  // namespace
