// A script engine on its own files and state: sources are assembled into a scratch
// directory that the engine reads through a file manager, and the engine works on a state,
// snapshot, system record and read history that belong to the test.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/zrfileman.h"
#include "game/gamedata.h"
#include "script/scripte.h"
#include "tempdir.h"
#include "tools/nyscript.h"

struct ScriptRig {
    TempDir dir;
    ZRFileMan files;
    std::unique_ptr<GameState> state = std::make_unique<GameState>();
    std::unique_ptr<GameState> snapshot = std::make_unique<GameState>();
    SystemData system;
    ReadHistory history;
    std::unique_ptr<TScriptEngine> engine;

    ScriptRig() {
        files.InitDir(dir.Game().c_str());
        NewEngine();
    }
    // A fresh engine over the same files and state, as after a restart of the scene.
    void NewEngine() {
        engine = std::make_unique<TScriptEngine>();
        engine->BindFiles(&files, &files);
        engine->BindState(state.get(), snapshot.get(), &system, &history);
    }

    // Assembles the sources and writes their files and the scene index.
    void Build(const std::vector<std::string>& sources) {
        std::vector<nys::Unit> units;
        std::vector<nys::Diag> errors;
        for (size_t i = 0; i < sources.size(); ++i) {
            nys::Unit u;
            ASSERT_TRUE(nys::Assemble("t" + std::to_string(i) + ".nys", sources[i], u, errors))
                << (errors.empty() ? "" : errors[0].Format());
            units.push_back(std::move(u));
        }
        nys::Link(units, errors);
        ASSERT_TRUE(errors.empty()) << errors[0].Format();
        for (const nys::Unit& u : units) WriteVnx(u.number, u.vnx);
        const std::vector<uint8_t> t = nys::BuildSceneTable(units);
        dir.Write("Scene.tbl", std::string(t.begin(), t.end()));
    }
    void WriteVnx(uint32_t number, const std::vector<uint8_t>& bytes) {
        char name[32];
        std::snprintf(name, sizeof name, "scr%05u.vnx", number);
        dir.Write(name, std::string(bytes.begin(), bytes.end()));
    }

    // Loads the index and starts the scene.
    void Start(const char* scene) {
        engine->LoadSceneTable();
        ASSERT_TRUE(engine->StartScene(scene));
    }
    std::vector<int32_t> Stack() const {
        return std::vector<int32_t>(state->Stack, state->Stack + state->StackTop);
    }
};

// One file, script 1, scene "S" at its first label.
inline std::string OneLabel(const std::string& body) {
    return "script 1\nscene \"S\" Main\nMain:\n" + body;
}
