// The demo generator's animation writer against the game's reader: what one writes the other
// must load back unchanged, and the writer must refuse what the reader could never load.
#include <gtest/gtest.h>

#include <vector>

#include "foundation/zrstream.h"
#include "media/zranimestat.h"
#include "tools/mkdemo_anime.h"

namespace {

TEST(DemoAnimeWriter, TheMenuButtonProgramLoadsAndBreathesWhileFocused) {
    const std::vector<uint8_t> file = demo::MenuButtonAnime();
    ZRMemoryStream stream(file.data(), static_cast<int>(file.size()));
    ZRAnimeData data;
    ASSERT_TRUE(data.Load(&stream));
    EXPECT_EQ(data.GetPatCount(), 2);
    const int counts[kAnimeGroups] = {1, 2, 1, 1};
    for (int g = 0; g < kAnimeGroups; ++g) EXPECT_EQ(data.GetAnimeCount(g), counts[g]) << g;
    const ZRAnimeFrame* second = data.GetAnimeFrame(1, 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->mode, 3);
    EXPECT_EQ(second->pattern, 0);
    EXPECT_EQ(second->wait, 6);

    ZRAnimeStat player;
    player.SetAnimeData(&data);
    player.StartGroup(1);
    const struct {
        int ticks, pattern;
    } steps[] = {{0, 1}, {17, 1}, {1, 0}, {5, 0}, {1, 1}, {18, 0}};
    for (const auto& s : steps) {
        player.CallFrame(s.ticks);
        EXPECT_EQ(player.GetPattern(), s.pattern) << "after " << s.ticks;
    }
    player.StartGroup(3);  // held down: lit and still
    player.CallFrame(100);
    EXPECT_EQ(player.GetPattern(), 1);
}

TEST(DemoAnimeWriter, RefusesProgramsTheReaderCouldNotLoad) {
    const std::vector<demo::AnimeStep> one = {{0, 0, 0}};
    const struct {
        const char* what;
        int blocks;
        std::vector<std::vector<demo::AnimeStep>> groups;
    } cases[] = {
        {"no blocks", 0, {one}},
        {"block past the count", 2, {{{0, 2, 0}}}},
        {"seventeen groups", 1, std::vector<std::vector<demo::AnimeStep>>(17, one)},
    };
    for (const auto& c : cases) EXPECT_TRUE(demo::EncodeAnime(c.blocks, c.groups).empty()) << c.what;
    // Sixteen groups with empty ones between them still load, each group where it was put.
    std::vector<std::vector<demo::AnimeStep>> sparse(16);
    sparse[15] = {{0, 0, 4}};
    const std::vector<uint8_t> file = demo::EncodeAnime(1, sparse);
    ZRMemoryStream stream(file.data(), static_cast<int>(file.size()));
    ZRAnimeData data;
    ASSERT_TRUE(data.Load(&stream));
    EXPECT_EQ(data.GetAnimeCount(14), 0);
    ASSERT_EQ(data.GetAnimeCount(15), 1);
    EXPECT_EQ(data.GetAnimeFrame(15, 0)->wait, 4);
}

}  // namespace
