// A stored read-history block followed by operations: the block is taken or refused whole;
// once taken, registrations, marks and queries must agree with a plain model of read lines
// per scene, and the buffer must stay a block the loader takes.
// Input: u16 block length, the block, then 4 bytes per operation (kind, scene, u16 line).
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "foundation/zrstd.h"
#include "game/gamedata.h"

namespace {

struct Scene {
    uint32_t version;
    std::set<uint32_t> lines;
};

// The model read back from a buffer the loader accepted.
bool ReadModel(const ReadHistory& h, std::vector<uint32_t>& order,
               std::map<uint32_t, Scene>& model) {
    const uint8_t* b = h.GetBuffer();
    size_t at = 8;
    order.clear();
    model.clear();
    for (uint32_t i = 0; i < h.GetCount(); ++i) {
        const uint32_t r = ZRGetLE32(b + at), scene = ZRGetLE32(b + at + 4);
        Scene s{ZRGetLE32(b + at + 8), {}};
        for (size_t p = at + 12; p < at + 12 + r; p += 4)
            for (uint32_t l = ZRGetLE16(b + p); l <= ZRGetLE16(b + p + 2); ++l) s.lines.insert(l);
        if (!model.count(scene)) {
            order.push_back(scene);
            model[scene] = s;
        }
        at += 12 + r;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t len = ZRGetLE16(data);
    if (len > size - 2) return 0;
    ReadHistory h;
    if (!h.Load(data + 2, len)) {
        if (h.GetSize() != 8 || h.GetCount() != 0) __builtin_trap();
        return 0;
    }
    std::vector<uint32_t> order;
    std::map<uint32_t, Scene> model;
    ReadModel(h, order, model);
    // Records of a repeated scene id after the first are never found; the model keeps the
    // first, as the walk does.
    for (size_t p = 2 + len; p + 4 <= size; p += 4) {
        const uint32_t scene = data[p + 1] % 8, line = ZRGetLE16(data + p + 2);
        const uint32_t key = scene << 16 | line;
        switch (data[p] % 3) {
            case 0: {
                const uint32_t version = data[p] / 3 % 4;
                h.RegisterScene(scene, version);
                auto it = model.find(scene);
                if (it == model.end()) {
                    order.push_back(scene);
                    model[scene] = {version, {}};
                } else if (it->second.version != version) {
                    it->second = {version, {}};
                }
                break;
            }
            case 1:
                h.MarkRead(key);
                if (model.count(scene) && line != 0) model[scene].lines.insert(line);
                break;
            default: {
                const bool want = model.count(scene) && line != 0 && model[scene].lines.count(line);
                if (h.IsRead(key) != want) __builtin_trap();
            }
        }
    }
    ReadHistory fresh;
    if (!fresh.Load(h.GetBuffer(), h.GetSize())) __builtin_trap();
    // Keys reach scenes 0-65535 only; records of other ids are kept but never asked about.
    for (uint32_t scene : order)
        if (scene <= 0xFFFF)
            for (uint32_t line : model[scene].lines)
                if (line != 0 &&
                    (!h.IsRead(scene << 16 | line) || !fresh.IsRead(scene << 16 | line)))
                    __builtin_trap();
    return 0;
}
