// nyscript: the script assembler and disassembler as a library, so that the command-line
// tool, the demo-data generator and the tests share one implementation.
//
// Source (UTF-8, one statement a line, ';' starts a comment):
//   script 12                                  the file's number: scr00012.vnx
//   scene "GameStart" Start date 0401 time 0800 [limit 0405 time 1200]
//   Name:                                      opens a label record
//   .loop:                                     a jump target inside the current label
//   PUSH 5 | PUSH "text" | PUSH $3             number, pool string, string variable 3
//   JMP .loop | JZ Name | JNZ +12              local target, a label's start, relative bytes
//   CALL Name | CALL scr7::Name | CALL "text"  near, far, far with a verbatim call text
//   SCNCHG "Next"
//   SetShowChar 3, 1, 0x208, 4096              a command with its arguments pushed first
//   SetShowChar ...                            the command alone (arguments pushed before)
//   .string "text"   .near Name   .far "scr00007::Name"   .scene "Next"   .u16 7   .u8 1
//                                              pool and call-table entries in order, raw code
// Texts are encoded to GBK strictly: "\n", "\p" and any other backslash pair stay two bytes
// for the text processor; "\"" is a quote, "\\" one backslash, "\xHH" one byte.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nys {

struct Diag {
    std::string file;
    int line = 0;
    int column = 0;
    std::string message;
    std::string Format() const;
};

struct SceneDef {
    std::string name;  // GBK
    uint32_t script = 0;
    uint32_t label = 0;  // label-record offset
    uint16_t date = 0, time = 0, limitDate = 0, limitTime = 0;
    int line = 0, column = 0;
};

// What other files need to know of one assembled file: its scenes, its labels and the
// references it makes to other files, for the cross-file checks.
struct Unit {
    std::string path;
    uint32_t number = 0;
    std::vector<uint8_t> vnx;
    std::vector<SceneDef> scenes;
    std::vector<std::string> labels;  // GBK names, in file order
    struct Ref {
        uint32_t script;   // far calls
        std::string name;  // label (far call) or scene (scene change), GBK
        bool scene;
        int line, column;
    };
    std::vector<Ref> refs;
    std::vector<Diag> lints;  // warnings found inside the file (unreachable code, unused targets)
};

// Turns one UTF-8 character into its GBK bytes; false when GBK has no form for it.
using GbkEncoder = std::function<bool(std::string_view utf8, std::string& gbk)>;
// Tests only: the converter texts are encoded with, in place of the host's GBK converter
// (whose table may lack characters the assembler must refuse); empty restores the host's.
void SetGbkEncoder(GbkEncoder encoder);

// Assembles one source. False with at least one error in `errors` when it cannot be built.
bool Assemble(const std::string& path, std::string_view source, Unit& out,
              std::vector<Diag>& errors);
// Cross-file checks: script numbers and scene names unique, far calls and scene changes
// reaching something that exists among the units.
void Link(const std::vector<Unit>& units, std::vector<Diag>& errors);
// The scene index of all units' scenes, by script number and then in source order.
std::vector<uint8_t> BuildSceneTable(const std::vector<Unit>& units);

// Source that assembles to exactly `vnx`; the scenes of its number in `sceneTable` (may be
// empty) become scene lines. False with a reason when the file is malformed or holds what
// the source cannot express.
bool Disassemble(const std::vector<uint8_t>& vnx, const std::vector<uint8_t>& sceneTable,
                 std::string& out, std::string& error);

// CRC-32 of the bytes after the header, moved off all bits set (a missing file's checksum).
uint32_t Checksum(const uint8_t* body, size_t size);

}  // namespace nys
