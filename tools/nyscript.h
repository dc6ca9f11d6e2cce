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
// What the engine does not read, and the layout of a file another tool wrote, so that such a
// file is written back as it was:
//   .header 0 "bytes"  .checksum 0x1234ABCD     header bytes 0-7, 16-27, 48-51; a kept checksum
//   .place code 72  .place calls 200  .place pool 64  .fill 69 "bytes"
//                                              block offsets, and the bytes between and after
//   .near Name head 0                          a call record's unread first u16
//   .calls "bytes"                             call-table bytes ahead of the records, raw
//   .stringbytes "text\x00more"  .pooltail "bytes"
//                                              a pool record's bytes; bytes after the records
//   .name "field\x00"  .unread 0xDEADBEEF  .length 16  .fallthrough
//                                              after a label: the stored name field, the
//                                              record's unread bytes, the last record's
//                                              length, no jump over the next record's head
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
    // Where each statement's bytes begin in `vnx`, in file order.
    struct Place {
        uint32_t offset;
        int line, column;
    };
    std::vector<Place> places;
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

// Source that assembles to exactly `vnx`, for any file the engine loads; the scenes of its
// number in `sceneTable` (may be empty) become scene lines. False with a reason when the engine
// would not load the file or it holds what source cannot express (code with no label record,
// a script number above 65535); blocks that share bytes are listed with a comment saying so.
bool Disassemble(const std::vector<uint8_t>& vnx, const std::vector<uint8_t>& sceneTable,
                 std::string& out, std::string& error);

// A fault found in a built file, at a byte offset of that file.
struct FileProblem {
    uint32_t offset;
    std::string message;
};

// A scene of an index as the engine reads it.
struct IndexEntry {
    std::string name;  // up to its NUL
    uint32_t script = 0, label = 0;
    uint32_t offset = 0;  // of the entry in the index file
};
// Reads an index as the engine does. Problems for what the engine refuses (then false) or
// leaves out (names of 64 bytes or more).
bool ReadSceneTable(const std::vector<uint8_t>& table, std::vector<IndexEntry>& out,
                    std::vector<FileProblem>& problems);

// What the checks of one file may know of the others.
struct CheckContext {
    const std::vector<IndexEntry>* scenes = nullptr;  // for the scene changes; null: unknown
    // The label names of script `number`, or null when that file is not at hand.
    std::function<const std::vector<std::string>*(uint32_t number)> labelsOf;
};
// Checks a script file for everything that makes the engine refuse it, or halt or fault while
// running it: the structure it loads, the instructions, call and scene-change records, string
// ids and jump targets. False when the engine would not load it at all.
bool CheckScriptFile(const std::vector<uint8_t>& vnx, const CheckContext& context,
                     std::vector<FileProblem>& out);
// The label records of a file the engine loads: offsets and names (up to the NUL).
bool ScriptLabels(const std::vector<uint8_t>& vnx,
                  std::vector<std::pair<uint32_t, std::string>>& out);

// CRC-32 of the bytes after the header, moved off all bits set (a missing file's checksum).
uint32_t Checksum(const uint8_t* body, size_t size);

}  // namespace nys
