// A full page of story text through the text path: sixteen lines of 26 double-byte characters
// with game values and string variables in them, sent as four messages of four lines, each
// expanded and processed piece by piece until empty (page, backlog and pieces for the window),
// beside memcpy of the same bytes. The target is well under 0.1% of a 33 ms frame (33 us).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "game/gamedata.h"
#include "script/scripte.h"
#include "script/scripte_text.h"

namespace {

// Four messages of four lines each; 26 characters a line once the variables are expanded.
std::vector<std::string> Page() {
    std::vector<std::string> out;
    for (int m = 0; m < 4; ++m) {
        std::string msg;
        for (int l = 0; l < 4; ++l) {
            if (l) msg += "\\n";
            std::string line;
            for (int c = 0; c < 20; ++c) line += "\xC4\xE3";  // "你"
            line += "%v12";                                   // three digits, three characters
            line += "%s3";                                    // three characters
            msg += line;
        }
        out.push_back(msg);
    }
    return out;
}

struct Rig {
    std::unique_ptr<GameState> state = std::make_unique<GameState>();
    std::unique_ptr<GameState> snapshot = std::make_unique<GameState>();
    SystemData system;
    ReadHistory history;
    TScriptEngine engine;
    Rig() {
        engine.BindState(state.get(), snapshot.get(), &system, &history);
        state->SetValue(12, 345);
        state->SetStringVar(3, "\xCE\xD2\xCE\xD2\xCE\xD2");
    }
};

void BM_TextPage(benchmark::State& bs) {
    Rig rig;
    const std::vector<std::string> page = Page();
    std::vector<ZRString> texts(page.begin(), page.end());
    size_t bytes = 0;
    for (auto _ : bs) {
        rig.state->ClearPage();
        for (size_t m = 0; m < texts.size(); ++m) {
            const ZRString text = ExpandMessageVars(*rig.state, texts[m]);
            rig.state->SetMessage(static_cast<int32_t>(m) + 1, text);
            while (!rig.state->IsMessageTextEmpty()) ProcessMessageText(rig.engine);
            TextNewLine(rig.engine);
        }
        benchmark::DoNotOptimize(rig.state->PageLines);
    }
    for (int i = 0; i < 16; ++i) bytes += rig.state->GetPageLine(i).GetConstStr().size();
    bs.counters["page_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_TextPage)->Unit(benchmark::kMicrosecond);

// The peer: copying the same bytes.
void BM_MemcpyPage(benchmark::State& bs) {
    std::string all;
    for (const std::string& m : Page()) all += m;
    std::vector<char> dst(all.size());
    for (auto _ : bs) {
        std::memcpy(dst.data(), all.data(), all.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    bs.SetBytesProcessed(static_cast<int64_t>(bs.iterations() * all.size()));
}
BENCHMARK(BM_MemcpyPage)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
