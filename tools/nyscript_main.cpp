// nyscript: builds script files and the scene index from source, prints source back from a
// script file, and checks sources and built files the way the engine loads them.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "foundation/zrfileman.h"
#include "foundation/zrstd.h"
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
    "  dis [-i Scene.tbl] FILE.vnx print source that assembles to the same bytes, for any\n"
    "                              file the engine loads: bytes it does not read and a layout\n"
    "                              of another tool's come out as directives; with -i the\n"
    "                              file's scenes from the index become scene lines\n"
    "  check FILE...               sources (.nys): assemble, link and lint them together;\n"
    "                              built files (.vnx, Scene.tbl): load them as the engine does;\n"
    "                              both: flag what would halt or fault a scene at run time\n"
    "                              (opcodes without a handler, bad call records and scene\n"
    "                              changes, string ids past the pool, jumps into instructions,\n"
    "                              scene labels that are no label record, long scene names)\n"
    "  --help                      this text\n"
    "\n"
    "Messages name file:line:column, or file and byte offset for a built file. The exit\n"
    "status is 0 when all is well, 1 when anything failed or a lint fired (check), 2 on a\n"
    "usage error.\n";

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

bool ReadBytes(const fs::path& path, std::vector<uint8_t>& out) {
    std::string text;
    if (!ReadFile(path.string(), text)) return false;
    out.assign(text.begin(), text.end());
    return true;
}

void PrintProblems(const std::string& file, const std::vector<nys::FileProblem>& ps) {
    for (const nys::FileProblem& p : ps)
        std::fprintf(stderr, "%s: offset 0x%X: error: %s\n", file.c_str(), p.offset,
                     p.message.c_str());
}

// The other files a built file refers to, looked up in its directory: the scene index and the
// label names of each script, read once.
class Beside {
  public:
    explicit Beside(const fs::path& dir) : dir_(dir) {
        std::vector<uint8_t> t;
        std::vector<nys::FileProblem> ignored;
        haveIndex_ = ReadBytes(dir_ / "Scene.tbl", t) && nys::ReadSceneTable(t, scenes_, ignored);
    }
    const std::vector<nys::IndexEntry>* Scenes() const { return haveIndex_ ? &scenes_ : nullptr; }
    // Offsets and names of script `n`'s label records; null when its file is missing or does
    // not load.
    const std::vector<std::pair<uint32_t, std::string>>* Labels(uint32_t n) {
        auto it = labels_.find(n);
        if (it == labels_.end()) {
            char name[32];
            std::snprintf(name, sizeof name, "scr%05u.vnx", n);
            std::vector<uint8_t> f;
            std::vector<std::pair<uint32_t, std::string>> l;
            const bool ok = ReadBytes(dir_ / name, f) && nys::ScriptLabels(f, l);
            it = labels_.emplace(n, std::make_pair(ok, l)).first;
            names_[n].clear();
            for (const auto& x : l) names_[n].push_back(x.second);
        }
        return it->second.first ? &it->second.second : nullptr;
    }
    const std::vector<std::string>* Names(uint32_t n) { return Labels(n) ? &names_[n] : nullptr; }

  private:
    fs::path dir_;
    bool haveIndex_ = false;
    std::vector<nys::IndexEntry> scenes_;
    std::map<uint32_t, std::pair<bool, std::vector<std::pair<uint32_t, std::string>>>> labels_;
    std::map<uint32_t, std::vector<std::string>> names_;
};

// Each scene of an index must start at a label record of a script file that is there.
void CheckScenes(const std::vector<nys::IndexEntry>& scenes, Beside& beside,
                 std::vector<nys::FileProblem>& out) {
    for (const nys::IndexEntry& e : scenes) {
        const auto* labels = beside.Labels(e.script);
        if (!labels) {
            out.push_back({e.offset + 2, "scene \"" + e.name + "\": script " +
                                             std::to_string(e.script) +
                                             " is missing or does not load"});
            continue;
        }
        bool found = false;
        for (const auto& l : *labels) found = found || l.first == e.label;
        if (!found)
            out.push_back({e.offset + 10, "scene \"" + e.name + "\": offset " +
                                              std::to_string(e.label) +
                                              " is not the start of a label record in script " +
                                              std::to_string(e.script)});
    }
}

// A built file read as the engine reads it, checked, and loaded through the engine itself
// from the directory that holds it.
bool CheckBuilt(const std::string& file) {
    const fs::path p(file);
    const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    std::vector<uint8_t> bytes;
    if (!ReadBytes(p, bytes)) {
        std::fprintf(stderr, "%s: offset 0x0: error: cannot read\n", file.c_str());
        return false;
    }
    Beside beside(dir);
    std::vector<nys::FileProblem> problems;
    const std::string name = p.filename().string();
    if (name == "Scene.tbl") {
        std::vector<nys::IndexEntry> scenes;
        if (nys::ReadSceneTable(bytes, scenes, problems)) CheckScenes(scenes, beside, problems);
        PrintProblems(file, problems);
        return problems.empty();
    }
    unsigned n;
    char tail[8];
    if (std::sscanf(name.c_str(), "scr%5u.%3s", &n, tail) != 2 || std::strcmp(tail, "vnx") != 0) {
        std::fprintf(stderr, "%s: offset 0x0: error: not named scr%%05d.vnx\n", file.c_str());
        return false;
    }
    nys::CheckContext context;
    context.scenes = beside.Scenes();
    context.labelsOf = [&beside](uint32_t number) { return beside.Names(number); };
    if (nys::CheckScriptFile(bytes, context, problems) && ZRGetLE32(&bytes[8]) != n)
        problems.push_back({8, "header names script " + std::to_string(ZRGetLE32(&bytes[8])) +
                                   ": a saved game cannot find this file's checksum"});
    if (problems.empty()) {
        ZRFileMan files;
        TScriptEngine engine;
        if (files.InitDir(dir.string().c_str())) engine.BindFiles(&files, &files);
        if (!engine.LoadScript(static_cast<int32_t>(n)))
            problems.push_back({0, "the engine refuses this script file"});
    }
    PrintProblems(file, problems);
    return problems.empty();
}

// What was assembled must pass the same checks, each problem shown at the statement that made
// the bytes, and load through the engine, every scene start included.
bool LoadBuilt(const std::vector<nys::Unit>& units) {
    bool ok = true;
    const std::vector<uint8_t> table = nys::BuildSceneTable(units);
    std::vector<nys::IndexEntry> scenes;
    std::vector<nys::FileProblem> indexProblems;
    nys::ReadSceneTable(table, scenes, indexProblems);
    std::map<uint32_t, const nys::Unit*> byNumber;
    for (const nys::Unit& u : units) byNumber[u.number] = &u;
    nys::CheckContext context;
    context.scenes = &scenes;
    context.labelsOf = [&byNumber](uint32_t n) -> const std::vector<std::string>* {
        auto it = byNumber.find(n);
        return it == byNumber.end() ? nullptr : &it->second->labels;
    };
    for (const nys::Unit& u : units) {
        std::vector<nys::FileProblem> problems;
        nys::CheckScriptFile(u.vnx, context, problems);
        for (const nys::FileProblem& p : problems) {
            int line = 1, column = 1;
            for (const nys::Unit::Place& at : u.places) {
                if (at.offset > p.offset) break;
                line = at.line;
                column = at.column;
            }
            std::fprintf(stderr, "%s:%d:%d: error: %s (scr%05u.vnx offset 0x%X)\n", u.path.c_str(),
                         line, column, p.message.c_str(), u.number, p.offset);
            ok = false;
        }
    }

    // A fresh folder of our own: a predictable name could be a link planted by someone else.
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "nyscript-check-XXXXXX").string();
    const bool made = !ec && ::mkdtemp(pattern.data()) != nullptr;
    const fs::path dir = made ? fs::path(pattern) : fs::path();
    bool written = made;
    for (const nys::Unit& u : units) {
        char name[32];
        std::snprintf(name, sizeof name, "scr%05u.vnx", u.number);
        written = written && WriteFile(dir / name, u.vnx);
    }
    written = written && WriteFile(dir / "Scene.tbl", table);
    if (!written) {
        std::fprintf(stderr, "nyscript: error: cannot write the built files to %s\n",
                     pattern.c_str());
        ok = false;
    } else {
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
    if (made) fs::remove_all(dir, ec);
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
