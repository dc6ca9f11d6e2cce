// Staged character slots and a stream of list operations. Input: 7 x 4 bytes of slots (shown
// id, from, leaving id, to; 0xFF for none or none-position), then 7-byte operations. After
// every operation the staged slots must hold one character per slot, fold back unchanged,
// and every position the list writes must come from a slot 0-6.
#include <cstddef>
#include <cstdint>

#include "game/gamedata.h"
#include "script/scrchar.h"

namespace {

// Slots, references (0x1xx) and position codes (0x2xx), and now and then a negative one.
int32_t Code(uint8_t hi, uint8_t lo) {
    const int32_t v = (hi & 3) << 8 | lo;
    return hi & 0x80 ? -v : v;
}

void Check(const GameState& st) {
    CharDisplayList l;
    l.Build(st.CharStaged, st.SpeakStaged);
    bool taken[7] = {};
    for (const CharEntry& e : l.Entries())
        if (e.to >= 0 && e.to <= 6) {
            if (taken[e.to]) __builtin_trap();
            taken[e.to] = true;
        }
    CharSlots again;
    uint8_t speak[7];
    for (int i = 0; i < 7; ++i) speak[i] = st.SpeakStaged[i];
    l.WriteBack(again, speak);
    if (!(again == st.CharStaged)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 28 || size > 4096) return 0;
    GameState st;
    st.CharStaged.Reset();
    for (int i = 0; i < 7; ++i) {
        const uint8_t* p = data + i * 4;
        if (p[0] != 0xFF) st.CharStaged.ShowId[i] = p[0];
        if (p[1] != 0xFF) st.CharStaged.MoveFrom[i] = static_cast<int8_t>(p[1]);
        if (p[2] != 0xFF && p[3] != 0xFF) {
            st.CharStaged.LeaveId[i] = p[2];
            st.CharStaged.MoveTo[i] = static_cast<int8_t>(p[3]);
        }
    }
    // The stored record may come from anywhere; what the list folds back must be sound.
    CharDisplayList first;
    first.Build(st.CharStaged, st.SpeakStaged);
    first.WriteBack(st.CharStaged, st.SpeakStaged);
    Check(st);
    for (size_t at = 28; at + 7 <= size; at += 7) {
        const uint8_t* p = data + at;
        const int32_t a = static_cast<int8_t>(p[1]);
        const int32_t b = Code(p[2], p[3]);
        const int32_t c = Code(p[4], p[5]);
        const int32_t mode = 4096 + p[6] % 4;
        switch (p[0] % 7) {
            case 0:
                CharShow(st, a, b, mode, c);
                break;
            case 1:
                CharHide(st, b, c, mode);
                break;
            case 2:
                CharMove(st, b, c, mode);
                break;
            case 3:
                CharAllMove(st, c);
                break;
            case 4:
                CharAllHide(st);
                break;
            case 5:
                CharChange(st, b, a);
                break;
            default:
                st.CharStaged.ClearMoves();
                break;
        }
        Check(st);
    }
    return 0;
}
