// The assembler and disassembler: every error names its line and column, texts encode to GBK
// strictly, and random programs come back byte for byte through dis and build and load in the
// engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

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

}  // namespace
