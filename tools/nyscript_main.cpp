// nyscript: builds script files and the scene index from source, prints source back from a
// script file, and checks sources and built files the way the engine loads them.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/zrfileman.h"
#include "script/scripte.h"
#include "tools/nyscript.h"

namespace fs = std::filesystem;

namespace {

const char kHelp[] =
    "usage: nyscript COMMAND [OPTIONS] FILES\n"
    "\n"
    "commands:\n"
    "  build -o DIR FILE.nys...    assemble each source into DIR/scr%05d.vnx and all their\n"
    "                              scenes into DIR/Scene.tbl\n"
    "  dis [-i Scene.tbl] FILE.vnx print source that assembles to the same bytes; with -i the\n"
    "                              file's scenes from the index become scene lines\n"
    "  check FILE...               sources (.nys): assemble, link and lint them together;\n"
    "                              built files (.vnx, Scene.tbl): load them as the engine does\n"
    "  --help                      this text\n"
    "\n"
    "Messages name file:line:column. The exit status is 0 when all is well, 1 when anything\n"
    "failed or a lint fired (check), 2 on a usage error.\n";

int Usage(const char* why) {
    std::fprintf(stderr, "nyscript: %s (see nyscript --help)\n", why);
    return 2;
}

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

void Print(const std::vector<nys::Diag>& ds, const char* kind) {
    for (const nys::Diag& d : ds)
        std::fprintf(stderr, "%s:%d:%d: %s: %s\n", d.file.c_str(), d.line, d.column, kind,
                     d.message.c_str());
}

// Assembles and links every source; false when any error came out.
bool AssembleAll(const std::vector<std::string>& files, std::vector<nys::Unit>& units,
                 std::vector<nys::Diag>& lints) {
    std::vector<nys::Diag> errors;
    for (const std::string& f : files) {
        std::string text;
        if (!ReadFile(f, text)) {
            errors.push_back({f, 0, 0, "cannot read"});
            continue;
        }
        nys::Unit u;
        if (nys::Assemble(f, text, u, errors)) {
            lints.insert(lints.end(), u.lints.begin(), u.lints.end());
            units.push_back(std::move(u));
        }
    }
    if (errors.empty()) nys::Link(units, errors);
    Print(errors, "error");
    return errors.empty();
}

int Build(const std::vector<std::string>& args) {
    std::string dir;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size())
            dir = args[++i];
        else
            files.push_back(args[i]);
    }
    if (dir.empty() || files.empty()) return Usage("build needs -o DIR and at least one source");
    std::vector<nys::Unit> units;
    std::vector<nys::Diag> lints;
    const bool ok = AssembleAll(files, units, lints);
    Print(lints, "warning");
    if (!ok) return 1;
    std::error_code ec;
    fs::create_directories(dir, ec);
    for (const nys::Unit& u : units) {
        char name[32];
        std::snprintf(name, sizeof name, "scr%05u.vnx", u.number);
        if (!WriteFile(fs::path(dir) / name, u.vnx)) {
            std::fprintf(stderr, "nyscript: cannot write %s\n", (fs::path(dir) / name).c_str());
            return 1;
        }
    }
    if (!WriteFile(fs::path(dir) / "Scene.tbl", nys::BuildSceneTable(units))) {
        std::fprintf(stderr, "nyscript: cannot write Scene.tbl\n");
        return 1;
    }
    return 0;
}

int Dis(const std::vector<std::string>& args) {
    std::string index, file;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-i" && i + 1 < args.size())
            index = args[++i];
        else if (file.empty())
            file = args[i];
        else
            return Usage("dis takes one file");
    }
    if (file.empty()) return Usage("dis needs a file");
    std::string bytes, table;
    if (!ReadFile(file, bytes) || (!index.empty() && !ReadFile(index, table))) {
        std::fprintf(stderr, "nyscript: cannot read %s\n", (bytes.empty() ? file : index).c_str());
        return 1;
    }
    std::string out, error;
    if (!nys::Disassemble({bytes.begin(), bytes.end()}, {table.begin(), table.end()}, out, error)) {
        std::fprintf(stderr, "%s:0:0: error: %s\n", file.c_str(), error.c_str());
        return 1;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

// Loads built files through the engine from the directory that holds them.
bool CheckBuilt(const std::string& file) {
    const fs::path p(file);
    ZRFileMan files;
    if (!files.InitDir(p.has_parent_path() ? p.parent_path().string().c_str() : ".")) {
        std::fprintf(stderr, "%s:0:0: error: cannot open its directory\n", file.c_str());
        return false;
    }
    TScriptEngine engine;
    engine.BindFiles(&files, &files);
    const std::string name = p.filename().string();
    if (name == "Scene.tbl") {
        try {
            engine.LoadSceneTable();
        } catch (const std::exception&) {
            std::fprintf(stderr, "%s:0:0: error: the engine refuses this scene index\n",
                         file.c_str());
            return false;
        }
        return true;
    }
    unsigned n;
    char tail[8];
    if (std::sscanf(name.c_str(), "scr%5u.%3s", &n, tail) != 2 || std::strcmp(tail, "vnx") != 0) {
        std::fprintf(stderr, "%s:0:0: error: not named scr%%05d.vnx\n", file.c_str());
        return false;
    }
    if (!engine.LoadScript(static_cast<int32_t>(n))) {
        std::fprintf(stderr, "%s:0:0: error: the engine refuses this script file\n", file.c_str());
        return false;
    }
    if (engine.HeaderNumber() != n) {
        std::fprintf(stderr, "%s:0:0: error: header names script %u\n", file.c_str(),
                     engine.HeaderNumber());
        return false;
    }
    return true;
}

// What was assembled must also pass the engine's own load checks, every scene start included.
bool LoadBuilt(const std::vector<nys::Unit>& units) {
    std::error_code ec;
    const fs::path dir =
        fs::temp_directory_path(ec) / ("nyscript-check-" + std::to_string(::getpid()));
    fs::create_directories(dir, ec);
    bool ok = !ec;
    for (const nys::Unit& u : units) {
        char name[32];
        std::snprintf(name, sizeof name, "scr%05u.vnx", u.number);
        ok = ok && WriteFile(dir / name, u.vnx);
    }
    ok = ok && WriteFile(dir / "Scene.tbl", nys::BuildSceneTable(units));
    if (ok) {
        ZRFileMan files;
        files.InitDir(dir.string().c_str());
        TScriptEngine engine;
        engine.BindFiles(&files, &files);
        for (const nys::Unit& u : units) {
            if (!engine.LoadScript(static_cast<int32_t>(u.number))) {
                std::fprintf(stderr, "%s:1:1: error: the engine refuses the built file\n",
                             u.path.c_str());
                ok = false;
            }
        }
        try {
            engine.LoadSceneTable();
            for (const nys::Unit& u : units)
                for (const nys::SceneDef& s : u.scenes) {
                    TScriptEngine::SceneEntry e;
                    if (!engine.FindScene(s.name.c_str(), e) ||
                        !engine.LoadScript(static_cast<int32_t>(e.script)) ||
                        engine.GetLabelPc(static_cast<int32_t>(e.label)) < 0) {
                        std::fprintf(stderr,
                                     "%s:%d:%d: error: the engine cannot start this scene\n",
                                     u.path.c_str(), s.line, s.column);
                        ok = false;
                    }
                }
        } catch (const std::exception&) {
            std::fprintf(stderr, "nyscript: error: the engine refuses the built scene index\n");
            ok = false;
        }
    }
    fs::remove_all(dir, ec);
    return ok;
}

int Check(const std::vector<std::string>& files) {
    if (files.empty()) return Usage("check needs files");
    std::vector<std::string> sources;
    bool ok = true;
    for (const std::string& f : files) {
        if (fs::path(f).extension() == ".nys")
            sources.push_back(f);
        else
            ok = CheckBuilt(f) && ok;
    }
    if (!sources.empty()) {
        std::vector<nys::Unit> units;
        std::vector<nys::Diag> lints;
        const bool built = AssembleAll(sources, units, lints);
        Print(lints, "lint");
        ok = built && ok && lints.empty();
        if (built && !LoadBuilt(units)) ok = false;
    }
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("no command");
    const std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    if (cmd == "build") return Build(args);
    if (cmd == "dis") return Dis(args);
    if (cmd == "check") return Check(args);
    return Usage("unknown command");
}
