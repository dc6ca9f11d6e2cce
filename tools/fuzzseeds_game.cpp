// The seeds of the save-file fuzz targets, made from the save fixture the game tests use.
#include <filesystem>
#include <fstream>
#include <string>

#include "foundation/zrstd.h"
#include "game/savefixture.h"

namespace {

namespace fx = savefixture;

std::filesystem::path g_corpus;

void WriteSeed(const std::string& target, const std::string& name, const std::string& bytes) {
    const std::filesystem::path dir = g_corpus / target;
    std::filesystem::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

std::string Image(const GameState& s) {
    std::string b(kGameStateSize, '\0');
    s.Encode(reinterpret_cast<uint8_t*>(b.data()));
    return b;
}

}  // namespace

void WriteGameSeeds(const std::filesystem::path& corpus) {
    g_corpus = corpus;
    auto thumb = fx::Thumbnail();
    thumb.resize(4000);
    WriteSeed("game_slotsave", "empty", fx::SlotFile(GameState(), GameState()));
    WriteSeed("game_slotsave", "random",
              fx::SlotFile(fx::RandomState(5), fx::RandomState(6), thumb));
    WriteSeed("game_syssave", "empty", fx::SystemFile(SystemData(), ReadHistory()));
    WriteSeed("game_syssave", "sample", fx::SystemFile(fx::SampleSystem(), fx::SampleHistory(6)));
    // Read history: u16 block length, the block, then operations of 4 bytes.
    for (int scenes : {0, 3}) {
        const ReadHistory h = scenes ? fx::SampleHistory(scenes) : ReadHistory();
        std::string b(2, '\0');
        ZRPutLE16(reinterpret_cast<uint8_t*>(b.data()), static_cast<uint16_t>(h.GetSize()));
        b.append(reinterpret_cast<const char*>(h.GetBuffer()), h.GetSize());
        for (int i = 0; i < 40; ++i)
            b += std::string{char(i * 7), char(i % 5), char(i * 3 % 50), '\0'};
        WriteSeed("game_readhistory", "scenes" + std::to_string(scenes), b);
    }
    // State images followed by one byte per operation.
    std::string ops;
    for (int i = 0; i < 64; ++i) ops += static_cast<char>(i * 37);
    WriteSeed("game_statedecode", "reset", Image(GameState()) + ops);
    WriteSeed("game_statedecode", "random", Image(fx::RandomState(11)) + ops);
}
