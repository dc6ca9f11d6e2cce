#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "foundation/zrstd.h"
#include "game/gamedata.h"
#include "tests/game/savefixture.h"

namespace {

using Ranges = std::vector<std::pair<uint16_t, uint16_t>>;

struct Record {
    uint32_t scene, version;
    Ranges ranges;
};

// Walks the buffer from the start, as a reader of the stored block would.
std::vector<Record> Records(const ReadHistory& h) {
    std::vector<Record> out;
    const uint8_t* b = h.GetBuffer();
    size_t at = 8;
    for (uint32_t i = 0; i < ZRGetLE32(b + 4); ++i) {
        Record r{ZRGetLE32(b + at + 4), ZRGetLE32(b + at + 8), {}};
        const uint32_t len = ZRGetLE32(b + at);
        for (size_t p = at + 12; p < at + 12 + len; p += 4)
            r.ranges.push_back({ZRGetLE16(b + p), ZRGetLE16(b + p + 2)});
        out.push_back(r);
        at += 12 + len;
    }
    return out;
}

Ranges Compress(const std::set<uint16_t>& lines) {
    Ranges out;
    for (uint16_t l : lines) {
        if (!out.empty() && out.back().second + 1 == l)
            out.back().second = l;
        else
            out.push_back({l, l});
    }
    return out;
}

ReadHistory Reloaded(const ReadHistory& h) {
    ReadHistory fresh;
    EXPECT_TRUE(fresh.Load(h.GetBuffer(), h.GetSize()));
    return fresh;
}

TEST(ReadHistory, EdgeCases) {
    ReadHistory h;
    EXPECT_EQ(h.GetSize(), 8u);
    EXPECT_EQ(h.GetCount(), 0u);
    EXPECT_FALSE(h.IsRead(7u << 16 | 1));
    h.MarkRead(7u << 16 | 1);  // unregistered scene: nothing recorded
    EXPECT_EQ(h.GetSize(), 8u);
    h.RegisterScene(7, 100);
    EXPECT_EQ(h.GetSize(), 20u);
    EXPECT_EQ(h.GetCount(), 1u);
    h.RegisterScene(8, 100);

    struct Case {
        std::vector<uint16_t> marks;
        Ranges want;
    };
    const std::vector<Case> cases = {
        {{5, 7, 6}, {{5, 7}}},
        {{4, 3}, {{3, 4}}},
        {{2, 1}, {{1, 2}}},
        {{10, 1, 5, 3, 4, 2}, {{1, 5}, {10, 10}}},
        {{65535, 65534, 1}, {{1, 1}, {65534, 65535}}},
        {{0, 9}, {{9, 9}}},
    };
    for (const Case& c : cases) {
        h.RegisterScene(7, 200 + static_cast<uint32_t>(&c - cases.data()));  // new version: forget
        for (uint16_t l : c.marks) h.MarkRead(7u << 16 | l);
        const auto recs = Records(h);
        ASSERT_EQ(recs.size(), 2u);
        EXPECT_EQ(recs[0].ranges, c.want);
        EXPECT_EQ(ZRGetLE32(h.GetBuffer() + 8), 4 * c.want.size());
        EXPECT_FALSE(h.IsRead(7u << 16 | 0));
    }
    h.MarkRead(8u << 16 | 3);
    h.RegisterScene(7, 999);
    EXPECT_TRUE(h.IsRead(8u << 16 | 3));  // other scenes keep theirs
    EXPECT_FALSE(h.IsRead(7u << 16 | 9));
    EXPECT_EQ(Records(h)[0].version, 999u);
    h.RegisterScene(8, 100);  // same version: nothing
    EXPECT_TRUE(h.IsRead(8u << 16 | 3));
}

// Random registrations and marks against a model of lines per scene; after every step the
// buffer is a block the loader accepts, its ranges are the model's, and the answers (cached
// and from a fresh walk) agree with the model.
TEST(ReadHistory, AgainstAModelUnderRandomOperations) {
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        std::mt19937 rng(seed);
        ReadHistory h;
        std::map<uint32_t, std::pair<uint32_t, std::set<uint16_t>>> model;
        std::vector<uint32_t> order;
        for (int step = 0; step < 1500; ++step) {
            const uint32_t scene = rng() % 6;
            const uint16_t line =
                static_cast<uint16_t>(rng() % 8 == 0 ? 65535 - rng() % 3 : rng() % 60);
            const uint32_t key = scene << 16 | line;
            switch (rng() % 10) {
                case 0: {
                    const uint32_t version = rng() % 3;
                    h.RegisterScene(scene, version);
                    auto it = model.find(scene);
                    if (it == model.end()) {
                        model[scene] = {version, {}};
                        order.push_back(scene);
                    } else if (it->second.first != version) {
                        it->second = {version, {}};
                    }
                    break;
                }
                case 1:
                case 2:
                case 3:
                case 4:
                case 5:
                case 6:
                    h.MarkRead(key);
                    if (model.count(scene) && line != 0) model[scene].second.insert(line);
                    break;
                default: {
                    const bool want = model.count(scene) && model[scene].second.count(line);
                    ASSERT_EQ(h.IsRead(key), want) << "seed " << seed << " step " << step;
                }
            }
            const auto recs = Records(h);
            ASSERT_EQ(recs.size(), order.size());
            for (size_t i = 0; i < recs.size(); ++i) {
                ASSERT_EQ(recs[i].scene, order[i]);
                ASSERT_EQ(recs[i].version, model[order[i]].first);
                ASSERT_EQ(recs[i].ranges, Compress(model[order[i]].second))
                    << "seed " << seed << " step " << step;
            }
            if (step % 50 == 0) {
                const ReadHistory fresh = Reloaded(h);
                for (uint32_t k = 0; k < 6; ++k)
                    for (uint32_t l = 0; l < 62; ++l)
                        ASSERT_EQ(h.IsRead(k << 16 | l), fresh.IsRead(k << 16 | l));
            }
        }
    }
}

TEST(ReadHistory, AFullBufferStopsRecordingAndKeepsAnswering) {
    // A block one range short of full: scene 0 with [5, 5], then empty scenes.
    std::string b(kReadHistorySize - 8, '\0');
    auto put32 = [&](size_t at, uint32_t v) { ZRPutLE32(reinterpret_cast<uint8_t*>(&b[at]), v); };
    size_t at = 8;
    uint32_t count = 0;
    put32(at, 4);
    put32(at + 4, 0);
    ZRPutLE16(reinterpret_cast<uint8_t*>(&b[at + 12]), 5);
    ZRPutLE16(reinterpret_cast<uint8_t*>(&b[at + 14]), 5);
    at += 16;
    for (++count; at + 12 <= b.size() - 4; at += 12) put32(at + 4, ++count);
    b.resize(at);
    put32(0, static_cast<uint32_t>(at));
    put32(4, count);
    ReadHistory h;
    ASSERT_TRUE(h.Load(reinterpret_cast<const uint8_t*>(b.data()), b.size()));

    uint32_t line = 20;
    for (; h.GetSize() + 4 < kReadHistorySize; line += 2) h.MarkRead(0u << 16 | line);
    EXPECT_TRUE(h.IsRead(0u << 16 | (line - 2)));  // the last range that fitted
    const uint32_t full = h.GetSize();
    h.MarkRead(0u << 16 | 100);
    h.RegisterScene(count + 5, 1);
    EXPECT_EQ(h.GetSize(), full);
    EXPECT_FALSE(h.IsRead(0u << 16 | 100));
    EXPECT_TRUE(h.IsRead(0u << 16 | 5));
    h.MarkRead(0u << 16 | 6);  // extending a range needs no room
    EXPECT_TRUE(h.IsRead(0u << 16 | 6));
    h.MarkRead((count - 1) << 16 | 6);  // nor does a scene's fresh record refuse reading
    EXPECT_FALSE(h.IsRead((count - 1) << 16 | 6));
    Reloaded(h);
}

// Each way a stored block can be malformed: refused, and the history is left empty; a block
// too large for the buffer is refused and the history kept.
TEST(ReadHistory, LoadRefusesMalformedBlocks) {
    const ReadHistory good = savefixture::SampleHistory(3);
    const std::string block(reinterpret_cast<const char*>(good.GetBuffer()), good.GetSize());
    auto put32 = [](std::string& b, size_t at, uint32_t v) {
        ZRPutLE32(reinterpret_cast<uint8_t*>(&b[at]), v);
    };
    auto put16 = [](std::string& b, size_t at, uint16_t v) {
        ZRPutLE16(reinterpret_cast<uint8_t*>(&b[at]), v);
    };
    const uint32_t r0 = ZRGetLE32(good.GetBuffer() + 8);
    ASSERT_GE(r0, 8u);
    struct Case {
        const char* name;
        std::function<void(std::string&)> edit;
    };
    const std::vector<Case> cases = {
        {"size field larger",
         [&](std::string& b) { put32(b, 0, static_cast<uint32_t>(b.size() + 4)); }},
        {"size field smaller",
         [&](std::string& b) { put32(b, 0, static_cast<uint32_t>(b.size() - 4)); }},
        {"shorter than a head", [&](std::string& b) { b.resize(6); }},
        {"count too high", [&](std::string& b) { put32(b, 4, 4); }},
        {"count too low", [&](std::string& b) { put32(b, 4, 2); }},
        {"R not a multiple of 4", [&](std::string& b) { put32(b, 8, r0 - 2); }},
        {"R past the end", [&](std::string& b) { put32(b, 8, 0x7FFFFFF0); }},
        {"first after last", [&](std::string& b) { put16(b, 20, 500); }},
        {"ranges overlap",
         [&](std::string& b) { put16(b, 24, ZRGetLE16(reinterpret_cast<uint8_t*>(&b[22]))); }},
        {"ranges touch",
         [&](std::string& b) {
             put16(b, 24, static_cast<uint16_t>(ZRGetLE16(reinterpret_cast<uint8_t*>(&b[22])) + 1));
         }},
        {"ranges descend",
         [&](std::string& b) {
             put16(b, 24, 0);
             put16(b, 26, 0);
         }},
        {"record cut short",
         [&](std::string& b) {
             b.resize(b.size() - 4);
             put32(b, 0, static_cast<uint32_t>(b.size()));
         }},
        {"trailing bytes",
         [&](std::string& b) {
             b += std::string(4, '\0');
             put32(b, 0, static_cast<uint32_t>(b.size()));
         }},
    };
    for (const Case& c : cases) {
        std::string b = block;
        c.edit(b);
        ReadHistory h = good;
        EXPECT_FALSE(h.Load(reinterpret_cast<const uint8_t*>(b.data()), b.size())) << c.name;
        EXPECT_EQ(h.GetSize(), 8u) << c.name;
        EXPECT_EQ(h.GetCount(), 0u) << c.name;
    }
    // A block of the buffer's whole size or more is refused, and what was read stays.
    for (size_t size : {size_t{kReadHistorySize}, size_t{kReadHistorySize} + 4}) {
        std::string big(size, '\0');
        put32(big, 0, static_cast<uint32_t>(size));
        ReadHistory h = good;
        EXPECT_FALSE(h.Load(reinterpret_cast<const uint8_t*>(big.data()), big.size())) << size;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.GetBuffer()), h.GetSize()), block)
            << size;
    }
    ReadHistory h;
    EXPECT_TRUE(h.Load(reinterpret_cast<const uint8_t*>(block.data()), block.size()));
    EXPECT_EQ(Records(h).size(), 3u);
}

}  // namespace
