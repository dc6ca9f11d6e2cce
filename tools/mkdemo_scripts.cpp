// The demo story's scripts: every demo/scripts/*.nys assembled into its scr%05d.vnx, the scene
// index and the speaker table, written into mkdemo's staging directory for the archive.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/nyscript.h"

namespace fs = std::filesystem;

namespace {

bool WriteBytes(const fs::path& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

// Character ids of the demo's cast and the speaker numbers the text windows use for them.
const char kSpeakTbl[] =
    "name,#id,#speaker,!\r\n"
    "#hero,1,1\r\n"
    "#friend,2,2\r\n"
    "#teacher,3,3\r\n";

}  // namespace

bool WriteDemoScripts(const fs::path& stage) {
    std::vector<fs::path> sources;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(ZR_DEMO_SCRIPTS, ec))
        if (e.path().extension() == ".nys") sources.push_back(e.path());
    std::sort(sources.begin(), sources.end());
    if (ec || sources.empty()) {
        std::fprintf(stderr, "mkdemo: no scripts in %s\n", ZR_DEMO_SCRIPTS);
        return false;
    }
    std::vector<nys::Unit> units;
    std::vector<nys::Diag> errors;
    for (const fs::path& p : sources) {
        std::ifstream in(p, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        nys::Unit u;
        if (nys::Assemble(p.string(), text, u, errors)) units.push_back(std::move(u));
    }
    if (errors.empty()) nys::Link(units, errors);
    for (const nys::Diag& d : errors) std::fprintf(stderr, "%s: error\n", d.Format().c_str());
    if (!errors.empty()) return false;
    bool ok = true;
    for (const nys::Unit& u : units) {
        char name[32];
        std::snprintf(name, sizeof name, "scr%05u.vnx", u.number);
        ok = ok && WriteBytes(stage / name, u.vnx.data(), u.vnx.size());
    }
    const std::vector<uint8_t> table = nys::BuildSceneTable(units);
    return ok && WriteBytes(stage / "Scene.tbl", table.data(), table.size()) &&
           WriteBytes(stage / "SpeakTbl.csv", kSpeakTbl, sizeof kSpeakTbl - 1);
}
