// The script machine's speed beside its peers:
// - a frame of 10,000 instructions (arithmetic, flags, values, jumps, near calls) beside a
//   bare interpreter of the same code; a frame has 33 ms, so 330 us is its 1%;
// - a far CALL and RET between two 64 KiB scripts stored compressed in an archive, beside the
//   same call within one file;
// - LoadScript of a 1 MiB file with all its checks, beside reading the same bytes through the
//   file manager.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/zrfileman.h"
#include "foundation/zrpack.h"
#include "foundation/zrstd.h"
#include "game/gamedata.h"
#include "script/scripte.h"
#include "tools/nyscript.h"

namespace {

namespace fs = std::filesystem;

struct Dir {
    Dir() {
        std::string p = (fs::temp_directory_path() / "zrbench_XXXXXX").string();
        path = mkdtemp(p.data());
    }
    ~Dir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(path / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    fs::path path;
};

nys::Unit Assemble(const std::string& source) {
    nys::Unit u;
    std::vector<nys::Diag> errors;
    if (!nys::Assemble("bench.nys", source, u, errors)) {
        std::fprintf(stderr, "%s\n", errors[0].Format().c_str());
        std::abort();
    }
    return u;
}

// Text that does not shrink to nothing when compressed, to make a file of the wanted size.
std::string Filler(size_t bytes, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < bytes) {
        s += "    PUSH \"";
        for (int i = 0; i < 200; ++i) s += static_cast<char>('a' + rng() % 26);
        s += "\"\n    POP\n";
    }
    return s;
}

struct Machine {
    Machine() : state(std::make_unique<GameState>()), snapshot(std::make_unique<GameState>()) {
        engine.BindState(state.get(), snapshot.get(), &system, &history);
    }
    void StartAt(int32_t script, const char* label) {
        engine.LoadScript(script);
        state->Reset();
        state->ScriptNo = script;
        state->Pc = static_cast<uint32_t>(engine.GetLabelPc(engine.FindLabel(label)));
        state->Halted = 0;
    }
    std::unique_ptr<GameState> state, snapshot;
    SystemData system;
    ReadHistory history;
    TScriptEngine engine;
};

const char kLoop[] =
    "script 1\n"
    "Main:\n"
    ".top:\n"
    "    PUSH 1\n    PUSH 2\n    ADD\n    PUSH 3\n    MUL\n    SETRES\n"
    "    PUSH 5\n    PUSH 1\n    SETF\n    PUSH 5\n    GETF\n    JZ .top\n"
    "    PUSH 7\n    PUSH 9\n    SETV\n    PUSH 7\n    GETV\n    POP\n"
    "    CALL Sub\n    POP\n    JMP .top\n"
    "Sub:\n    PUSH 4\n    RET\n";

void BM_Vm10kInstructions(benchmark::State& st) {
    Dir dir;
    dir.Write("scr00001.vnx", Assemble(kLoop).vnx);
    ZRFileMan files;
    files.InitDir(dir.path.string().c_str());
    Machine m;
    m.engine.BindFiles(&files, &files);
    m.StartAt(1, "Main");
    for (auto _ : st) {
        m.engine.BeginFrame(10000);
        m.engine.Run();
    }
    if (m.state->Halted) st.SkipWithError("the loop halted");
    st.counters["ns_per_instr"] =
        benchmark::Counter(10000.0 * static_cast<double>(st.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Vm10kInstructions)->Unit(benchmark::kMicrosecond);

// Peer: the same program run by a bare switch interpreter over the same code bytes, without
// bounds checks, state record or handler table: what the checks and the record cost.
void BM_PeerBareInterpreter(benchmark::State& st) {
    const nys::Unit u = Assemble(kLoop);
    const uint8_t* f = u.vnx.data();
    const uint8_t* code = f + ZRGetLE32(f + 28);
    const uint8_t* calls = f + ZRGetLE32(f + 40);
    uint32_t stack[256], frames[64];
    int32_t values[64] = {}, result = 0;
    uint8_t flags[64] = {};
    uint32_t pc = 10 + 5, top = 0, depth = 0;
    for (auto _ : st) {
        for (int n = 0; n < 10000; ++n) {
            const uint16_t op = ZRGetLE16(code + pc);
            uint32_t next = pc + (op >= opPUSH && op <= opJNZ ? 6 : 2);
            switch (op) {
                case opPUSH:
                    stack[top++] = ZRGetLE32(code + pc + 2);
                    break;
                case opPOP:
                    --top;
                    break;
                case opJMP:
                    next = pc + ZRGetLE32(code + pc + 2);
                    break;
                case opJZ:
                    if (stack[--top] == 0) next = pc + ZRGetLE32(code + pc + 2);
                    break;
                case opADD:
                    --top, stack[top - 1] += stack[top];
                    break;
                case opMUL:
                    --top, stack[top - 1] *= stack[top];
                    break;
                case opSETRES:
                    result = static_cast<int32_t>(stack[--top]);
                    break;
                case opSETF:
                    top -= 2, flags[stack[top] & 63] = stack[top + 1] != 0;
                    break;
                case opGETF:
                    stack[top - 1] = flags[stack[top - 1] & 63];
                    break;
                case opSETV:
                    top -= 2, values[stack[top] & 63] = static_cast<int32_t>(stack[top + 1]);
                    break;
                case opGETV:
                    stack[top - 1] = static_cast<uint32_t>(values[stack[top - 1] & 63]);
                    break;
                case opCALL: {
                    const uint32_t label = ZRGetLE32(calls + stack[--top] + 4);
                    frames[depth++] = next;
                    next = label + 10 + ZRGetLE16(code + label + 4);
                    break;
                }
                case opRET:
                    next = frames[--depth];
                    break;
                default:
                    break;
            }
            pc = next;
        }
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(values);
    }
    st.counters["ns_per_instr"] =
        benchmark::Counter(10000.0 * static_cast<double>(st.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PeerBareInterpreter)->Unit(benchmark::kMicrosecond);

// Two 64 KiB scripts, Orvik-compressed in one archive.
struct CallPack {
    CallPack() {
        dir.Write("scr00001.vnx",
                  Assemble("script 1\nMain:\n.top:\n    CALL scr2::F\n    POP\n    JMP .top\n"
                           "Near:\n.n:\n    CALL F\n    POP\n    JMP .n\nF:\n    RET\nPad:\n" +
                           Filler(64 << 10, 1))
                      .vnx);
        dir.Write("scr00002.vnx",
                  Assemble("script 2\nF:\n    RET\nPad:\n" + Filler(64 << 10, 2)).vnx);
        const std::string pak = (dir.path / "scr_c.pak").string();
        ZRPack pack;
        pack.SetReadOnly(false);
        if (!pack.NewPack(pak.c_str())) std::abort();
        for (const char* n : {"scr00001.vnx", "scr00002.vnx"})
            if (!pack.AddFile(n, (dir.path / n).string().c_str(), 1, false)) std::abort();
        if (!pack.EndPack()) std::abort();
        if (!files.InitPack(pak.c_str())) std::abort();
        m.engine.BindFiles(&files, &files);
    }
    Dir dir;
    ZRFileMan files;
    Machine m;
};

void CallAndReturn(benchmark::State& st, const char* label) {
    CallPack p;
    p.m.StartAt(1, label);
    for (auto _ : st) {
        // PUSH, CALL, RET, POP, JMP: one call and its return.
        p.m.engine.BeginFrame(5);
        p.m.engine.Run();
    }
    if (p.m.state->Halted) st.SkipWithError("the call halted");
}
void BM_FarCallReturn64KiB(benchmark::State& st) {
    CallAndReturn(st, "Main");
}
void BM_PeerNearCallReturn(benchmark::State& st) {
    CallAndReturn(st, "Near");
}
BENCHMARK(BM_FarCallReturn64KiB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PeerNearCallReturn)->Unit(benchmark::kMicrosecond);

// A script of about 1 MiB in a directory, five times. Story-like: a label every 40 lines of
// about 60 bytes of text each. Dense: a label and a text every 170 bytes, more records than
// story files hold (the checks walk every record).
struct BigFile {
    static constexpr uint8_t kFiles = 5;
    explicit BigFile(bool dense) {
        std::string src = "script 1\n";
        std::mt19937 rng(3);
        size_t size = 0;
        for (int l = 0; size < (1u << 20); ++l) {
            std::string part = "L" + std::to_string(l) + ":\n";
            const int lines = dense ? 1 : 40;
            for (int i = 0; i < lines; ++i) {
                if (dense)
                    for (int k = 0; k < 10; ++k)
                        part += "    PUSH " + std::to_string(rng() % 1000) + "\n    POP\n";
                part += "    Text \"";
                for (int k = dense ? 10 : 60; k > 0; --k)
                    part += static_cast<char>('a' + rng() % 26);
                part += "\"\n";
            }
            part += "    RET\n";
            size += dense ? 170 : 40 * 70;
            src += part;
        }
        bytes = Assemble(src).vnx;
        // One more file than the engine keeps loaded, so that every load in turn reads.
        for (uint8_t n = 1; n <= kFiles; ++n) {
            std::vector<uint8_t> copy = bytes;
            copy[8] = n;
            dir.Write("scr0000" + std::to_string(n) + ".vnx", copy);
        }
        files.InitDir(dir.path.string().c_str());
        m.engine.BindFiles(&files, &files);
    }
    Dir dir;
    std::vector<uint8_t> bytes;
    ZRFileMan files;
    Machine m;
};

void BM_LoadScript1MiB(benchmark::State& st) {
    BigFile f(st.range(0) != 0);
    int32_t n = 1;
    for (auto _ : st) {
        if (!f.m.engine.LoadScript(n)) st.SkipWithError("load failed");
        n = n % BigFile::kFiles + 1;
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) *
                         static_cast<int64_t>(f.bytes.size()));
    st.counters["file_bytes"] = static_cast<double>(f.bytes.size());
}
BENCHMARK(BM_LoadScript1MiB)->ArgName("dense")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Peer: opening the same file through the file manager and reading all of it.
void BM_PeerReadFile1MiB(benchmark::State& st) {
    BigFile f(st.range(0) != 0);
    std::vector<uint8_t> buf(f.bytes.size());
    for (auto _ : st) {
        ZRStream* s = f.files.Open("scr00001.vnx");
        if (!s || s->Read(buf.data(), static_cast<int>(buf.size())) != static_cast<int>(buf.size()))
            st.SkipWithError("read failed");
        f.files.Close(s);
        benchmark::DoNotOptimize(buf.data());
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) *
                         static_cast<int64_t>(f.bytes.size()));
}
BENCHMARK(BM_PeerReadFile1MiB)->ArgName("dense")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
