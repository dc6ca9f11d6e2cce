// The scene index and script-file loaders on hand-damaged files: every malformed structure is
// refused without reading out of bounds, a refused script leaves nothing loaded and no file
// open, and what loads answers label, code and string queries exactly.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>

#include "foundation/zrstd.h"
#include "game/maint.h"
#include "script_rig.h"

namespace {

const char kSource[] =
    "script 3\n"
    "scene \"S\" First\n"
    "First:\n"
    "    Text \"one\"\n"
    "    CALL Second\n"
    "    EXIT\n"
    "Second:\n"
    "    Text \"two\"\n"
    "    RET\n";

std::vector<uint8_t> Assembled(const char* source) {
    nys::Unit u;
    std::vector<nys::Diag> errors;
    EXPECT_TRUE(nys::Assemble("t.nys", source, u, errors));
    return u.vnx;
}

void Put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
    ZRPutLE32(&f[at], v);
}
void Put16(std::vector<uint8_t>& f, size_t at, uint16_t v) {
    ZRPutLE16(&f[at], v);
}
uint32_t Get32(const std::vector<uint8_t>& f, size_t at) {
    return ZRGetLE32(&f[at]);
}

TEST(ScriptFile, DamagedFilesAreRefusedAndLeaveNothingLoaded) {
    const std::vector<uint8_t> good = Assembled(kSource);
    const uint32_t code = Get32(good, 28), pool = Get32(good, 52);
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
    } cases[] = {
        {"header cut short", [](auto& f) { f.resize(40); }},
        {"code block past the end",
         [&](auto& f) { Put32(f, 32, static_cast<uint32_t>(f.size())); }},
        {"offset and size wrap 32 bits",
         [](auto& f) { Put32(f, 28, 0xFFFFFFF0u), Put32(f, 32, 0x20); }},
        {"call table past the end", [](auto& f) { Put32(f, 44, 0x7FFFFFFF); }},
        {"pool past the end", [](auto& f) { Put32(f, 56, static_cast<uint32_t>(f.size())); }},
        {"more labels than records", [](auto& f) { Put32(f, 36, 3); }},
        {"label count beyond any code", [](auto& f) { Put32(f, 36, 0xFFFFFFFFu); }},
        {"label record shorter than its head", [&](auto& f) { Put32(f, code, 9); }},
        {"label record past the code", [&](auto& f) { Put32(f, code, 0x10000); }},
        {"label name length zero", [&](auto& f) { Put16(f, code + 4, 0); }},
        {"label name not terminated", [&](auto& f) { f[code + 10 + 5] = 'x'; }},
        {"label name longer than its record", [&](auto& f) { Put16(f, code + 4, 0x7000); }},
        {"pool record shorter than 3", [&](auto& f) { Put16(f, pool, 2); }},
        {"pool text not terminated", [&](auto& f) { f[pool + 5] = 'x'; }},
        {"pool record past the pool", [&](auto& f) { Put16(f, pool, 0x4000); }},
        {"more strings than records", [](auto& f) { Put32(f, 60, 3); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptRig rig;
        rig.WriteVnx(7, Assembled("script 7\nA:\n    EXIT\n"));
        ASSERT_TRUE(rig.engine->LoadScript(7));
        std::vector<uint8_t> f = good;
        c.damage(f);
        rig.WriteVnx(3, f);
        EXPECT_FALSE(rig.engine->LoadScript(3));
        EXPECT_EQ(rig.engine->LoadedScript(), -1);
        EXPECT_EQ(rig.files.OpenCount(), 0);
        EXPECT_FALSE(rig.engine->LoadScript(3));
        // The script loaded before the failure is not taken for loaded afterwards.
        EXPECT_TRUE(rig.engine->LoadScript(7));
        EXPECT_EQ(rig.engine->FindLabel("A"), 0);
    }
}

TEST(ScriptFile, QueriesOnALoadedFile) {
    ScriptRig rig;
    std::vector<uint8_t> f = Assembled(kSource);
    rig.WriteVnx(3, f);
    std::vector<uint8_t> other = f;
    Put32(other, 8, 5);  // names script 5 inside file 4
    rig.WriteVnx(4, other);
    TScriptEngine& e = *rig.engine;
    ASSERT_TRUE(e.LoadScript(3));
    EXPECT_EQ(e.GetScriptChecksum(3), Get32(f, 12));
    EXPECT_EQ(e.GetScriptChecksum(4), 0xFFFFFFFFu);
    EXPECT_EQ(e.GetScriptChecksum(99), 0xFFFFFFFFu);

    const int32_t second = e.FindLabel("Second");
    ASSERT_GT(second, 0);
    EXPECT_EQ(e.FindLabel("second"), -1);
    EXPECT_EQ(e.GetLabelPc(0), 10 + 6);
    EXPECT_EQ(e.GetLabelPc(second), second + 10 + 7);
    EXPECT_EQ(e.GetLabelPc(second + 1), -1);
    EXPECT_EQ(e.GetLabelPc(-1), -1);

    EXPECT_EQ(e.ReadCodeU16(16), opPUSH);
    EXPECT_THROW(e.ReadCodeU16(e.CodeSize() - 1), EGameErr);
    EXPECT_THROW(e.ReadCodeU32(e.CodeSize() - 3), EGameErr);
    EXPECT_EQ(e.ReadCodeU16(e.CodeSize() - 2), opRET);

    rig.state->SetStringVar(3, "var");
    EXPECT_EQ(e.GetString(0), ZRString(""));
    EXPECT_EQ(e.GetString(1), ZRString("one"));
    EXPECT_EQ(e.GetString(2), ZRString("two"));
    EXPECT_THROW(e.GetString(3), EGameErr);
    EXPECT_EQ(e.GetString(0x80000003u), ZRString("var"));
    EXPECT_EQ(e.GetString(0x80000063u), ZRString(""));
    // The read history learns the file's number and checksum only from a good load.
    EXPECT_EQ(rig.history.GetCount(), 1u);
}

std::string Entry(uint32_t script, uint32_t label, const std::string& name, uint16_t len = 0) {
    std::string e(22, '\0');
    ZRPutLE16(reinterpret_cast<uint8_t*>(&e[0]),
              len ? len : static_cast<uint16_t>(22 + name.size() + 1));
    ZRPutLE32(reinterpret_cast<uint8_t*>(&e[2]), script);
    ZRPutLE32(reinterpret_cast<uint8_t*>(&e[10]), label);
    return e + name + std::string(1, '\0');
}

std::string Index(const std::string& block, uint32_t count, int64_t blockSize = -1) {
    std::string h = "SV01" + std::string(8, '\0');
    ZRPutLE32(reinterpret_cast<uint8_t*>(&h[4]), blockSize < 0 ? static_cast<uint32_t>(block.size())
                                                               : static_cast<uint32_t>(blockSize));
    ZRPutLE32(reinterpret_cast<uint8_t*>(&h[8]), count);
    return h + block;
}

TEST(SceneIndex, MalformedIndexesRaiseGameErr) {
    const std::string a = Entry(1, 0, "A");
    struct Case {
        const char* what;
        std::string file;
    } cases[] = {
        {"wrong magic", "SV02" + Index(a, 1).substr(4)},
        {"head cut short", Index(a, 1).substr(0, 10)},
        {"block larger than the file", Index(a, 1, 0xFFFFFFF0)},
        {"block shorter than its size", Index(a, 1, static_cast<int64_t>(a.size()) + 1)},
        {"more than 65,535 entries", Index(a, 70000)},
        {"more entries than the block holds", Index(a, 2)},
        {"entry shorter than its head", Index(Entry(1, 0, "A", 20), 1)},
        {"entry past the block", Index(Entry(1, 0, "A", 200), 1)},
        {"name not terminated in its entry", Index(Entry(1, 0, "A", 23).substr(0, 22) + "AB", 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptRig rig;
        rig.dir.Write("Scene.tbl", c.file);
        EXPECT_THROW(rig.engine->LoadSceneTable(), EGameErr);
        EXPECT_FALSE(rig.engine->IsSceneTableLoaded());
        EXPECT_EQ(rig.files.OpenCount(), 0);
    }
    ScriptRig missing;
    EXPECT_THROW(missing.engine->LoadSceneTable(), EGameErr);
}

TEST(SceneIndex, ManyScenesAllFoundAndOverlongNamesLeftOut) {
    ScriptRig rig;
    std::string block;
    const int n = 2000;
    for (int i = 0; i < n; ++i)
        block += Entry(static_cast<uint32_t>(i), static_cast<uint32_t>(i * 2),
                       "Scene" + std::to_string(i));
    block += Entry(9, 0, std::string(64, 'L'));
    block += Entry(9, 0, std::string(63, 'K'));
    rig.dir.Write("Scene.tbl", Index(block, n + 2));
    rig.dir.Write("SpeakTbl.csv", "x,#id,#speaker,!\n#,5,1\n#,-1,2\n#,1000,3\n#,999,4\n#,5,6\n");
    ASSERT_TRUE(rig.engine->LoadSceneTable());
    EXPECT_EQ(rig.engine->SceneCount(), n + 1);
    TScriptEngine::SceneEntry e;
    for (int i = 0; i < n; ++i) {
        ASSERT_TRUE(rig.engine->FindScene(("Scene" + std::to_string(i)).c_str(), e)) << i;
        EXPECT_EQ(e.script, static_cast<uint32_t>(i));
        EXPECT_EQ(e.label, static_cast<uint32_t>(i * 2));
    }
    EXPECT_FALSE(rig.engine->FindScene(std::string(64, 'L').c_str(), e));
    EXPECT_TRUE(rig.engine->FindScene(std::string(63, 'K').c_str(), e));
    // Speaker rows outside 0-999 are skipped; a repeated id keeps the last row.
    EXPECT_EQ(rig.engine->Speaker(5), 6);
    EXPECT_EQ(rig.engine->Speaker(999), 4);
    EXPECT_EQ(rig.engine->Speaker(0), -1);
    EXPECT_EQ(rig.engine->Speaker(1000), -1);
}

}  // namespace

namespace {

// Files kept loaded for calls between files answer exactly as a fresh load would: a file
// changed or removed since is read again or refused.
TEST(ScriptFile, KeptFilesFollowTheirSource) {
    ScriptRig rig;
    auto build = [&](uint32_t n, const char* text) {
        rig.WriteVnx(
            n, Assembled(
                   ("script " + std::to_string(n) + "\nA:\n    Text \"" + text + "\"\n").c_str()));
    };
    for (uint32_t n = 1; n <= 3; ++n) build(n, "old");
    TScriptEngine& e = *rig.engine;
    for (int32_t n : {1, 2, 3, 1, 2}) ASSERT_TRUE(e.LoadScript(n));
    build(1, "new");
    const auto path = rig.dir.Host("scr00001.vnx");
    std::filesystem::last_write_time(
        path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));
    ASSERT_TRUE(e.LoadScript(1));
    EXPECT_EQ(e.GetString(1), ZRString("new"));
    EXPECT_TRUE(e.LoadScript(3));
    EXPECT_EQ(e.GetString(1), ZRString("old"));
    std::remove(rig.dir.Host("scr00002.vnx").c_str());
    EXPECT_FALSE(e.LoadScript(2));
    EXPECT_EQ(e.LoadedScript(), -1);
    EXPECT_TRUE(e.LoadScript(1));
    EXPECT_EQ(e.GetString(1), ZRString("new"));
}

}  // namespace
