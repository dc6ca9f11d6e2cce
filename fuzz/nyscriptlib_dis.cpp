// Reads arbitrary bytes as a script file from elsewhere: the checks and the index reader must
// refuse or report without faulting, and whatever the disassembler lists must assemble back
// to the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/nyscript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    const std::vector<uint8_t> file(data, data + size);
    std::vector<nys::FileProblem> problems;
    std::vector<nys::IndexEntry> scenes;
    nys::ReadSceneTable(file, scenes, problems);
    nys::CheckContext context;
    context.scenes = &scenes;
    context.labelsOf = [](uint32_t) -> const std::vector<std::string>* { return nullptr; };
    const bool loads = nys::CheckScriptFile(file, context, problems);
    std::vector<std::pair<uint32_t, std::string>> labels;
    if (nys::ScriptLabels(file, labels) != loads) __builtin_trap();

    std::string text, why;
    if (!nys::Disassemble(file, {}, text, why)) return 0;
    if (!loads) __builtin_trap();  // only files the engine loads are listed
    if (text.find("; blocks overlap") != std::string::npos) return 0;
    nys::Unit unit;
    std::vector<nys::Diag> errors;
    if (!nys::Assemble("fuzz.nys", text, unit, errors) || unit.vnx != file) __builtin_trap();
    return 0;
}
