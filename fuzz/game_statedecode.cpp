// Arbitrary bytes as a stored game state: refused, or a state whose every field the game can
// use. An accepted state then runs the operations that index with what was loaded (pops,
// frame pops, page and backlog edits); each must keep the state valid or raise GameErr.
// Input: the 60,076-byte image, then one byte per operation.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "game/gamedata.h"
#include "game/maint.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kGameStateSize) return 0;
    GameState s;
    if (!s.Decode(data, kGameStateSize)) return 0;
    if (!s.IsValid()) __builtin_trap();
    std::vector<uint8_t> img(kGameStateSize), again(kGameStateSize);
    s.Encode(img.data());
    GameState t;
    if (!t.Decode(img.data(), img.size())) __builtin_trap();
    t.Encode(again.data());
    if (img != again) __builtin_trap();

    const ZRString text("\xB0\xA1text\xB0");
    for (size_t p = kGameStateSize; p < size; ++p) {
        const uint8_t op = data[p];
        try {
            switch (op % 12) {
                case 0:
                    s.Pop();
                    break;
                case 1:
                    s.Peek();
                    break;
                case 2: {
                    CallFrame f;
                    s.PopFrame(f);
                    s.StackBase = f.Base;
                    s.StackTop = f.Top;
                    break;
                }
                case 3:
                    s.AddText(text);
                    break;
                case 4:
                    s.NewLine();
                    break;
                case 5:
                    s.ClearPage();
                    break;
                case 6:
                    s.LocateText(op / 12 % 26, op / 12 % 16);
                    break;
                case 7:
                    s.NewBacklogLine();
                    break;
                case 8:
                    s.AppendBacklogLine(text);
                    break;
                case 9:
                    (void)s.GetBacklogLine(op / 12);
                    s.SetBacklogLine(op / 12, text);
                    break;
                case 10:
                    s.AddMinutes(op * 1000003);
                    s.AddDays(op - 128);
                    break;
                default:
                    s.MarkMessageRead();
                    (void)s.GetWeekday();
                    (void)s.GetStringVar(op % 16);
                    break;
            }
        } catch (const EGameErr&) {
        }
        if (!s.IsValid()) __builtin_trap();
    }
    return 0;
}
