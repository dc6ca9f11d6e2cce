// The script-file fuzz target's seeds: two files assembled from source, one calling into the
// other, with a loop, near and far calls, a POP after a call, a string and a scene change; and
// a file laid out as another tool might write it (blocks out of order with bytes between them,
// header bytes and a checksum of its own, a padded label name).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/nyscript.h"

namespace {

const char* const kSources[][2] = {
    {"scr00001.vnx",
     "script 1\n"
     ".string \"\xE3\x82\x88\xE3\x81\x86\xE3\x81\x93\xE3\x81\x9D\"\n"  // ようこそ
     "Start:\n"
     "    PUSH 0\n    PUSH 3\n    SETV\n"
     ".loop:\n"
     "    PUSH 0\n    GETV\n    JZ .done\n"
     "    PUSH 0\n    PUSH 0\n    GETV\n    PUSH 1\n    SUB\n    SETV\n    JMP .loop\n"
     ".done:\n"
     "    PUSH 1\n    PUSH 1\n    SETSTR\n"
     "    CALL Greet\n    POP\n    PUSH 4\n"
     "    CALL scr2::Morning\n    SETRES\n    SCNCHG \"Campus\"\n"
     "Greet:\n    PUSH 7\n    RET\n"},
    {"scr00002.vnx",
     "script 2\n"
     "Morning:\n    GETARG\n    PUSH 1\n    ADD\n    RET\n"
     "Campus:\n    PUSH 10\n    PUSH 1\n    SETF\n    PUSH 2\n    POP\n    EXIT\n"},
    {"scr00003.vnx",
     "script 3\n"
     ".header 0 \"ELSEWHRE\"\n"
     ".header 16 \"\\x01\\x02\"\n"
     ".checksum 0x0BADF00D\n"
     ".place code 80\n.place calls 64\n.place pool 72\n"
     ".fill 76 \"pad!\"\n"
     ".string \"x\"\n"
     ".near Loop head 0\n"
     "Loop:\n"
     "    .name \"Loop\\x00\\x00\\x00\"\n"
     "    .unread 0x11223344\n"
     "    PUSH 3\n    POP\n    PUSH 1\n    JZ .out\n    PUSH 0\n    CALL\n"
     ".out:\n    Text \"x\"\n    EXIT\n"},
};

}  // namespace

bool WriteScriptSeeds(const std::filesystem::path& corpus) {
    const std::filesystem::path dir = corpus / "script_vnx";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    bool ok = true;
    for (const auto& [name, source] : kSources) {
        nys::Unit u;
        std::vector<nys::Diag> errors;
        if (!nys::Assemble(name, source, u, errors)) {
            std::fprintf(stderr, "fuzzseeds: %s\n", errors.empty() ? name : errors[0].Format().c_str());
            ok = false;
            continue;
        }
        std::ofstream out(dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(u.vnx.data()),
                  static_cast<std::streamsize>(u.vnx.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "fuzzseeds: cannot write %s\n", (dir / name).c_str());
            ok = false;
        }
    }
    return ok;
}
