// Any bytes as message, name, novel, backlog and choice text, rendered into the windows'
// alpha maps and typed to the end. Input: a control byte (cost, which window), then pieces
// separated by 0xFF. Every line must stay terminated within its 53 bytes, and the windows
// must come to rest.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/zrfileman.h"
#include "foundation/zrstream.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "media/zrpng.h"
#include "scenes/subwinu.h"

namespace {

void Picture(const std::string& path, int w, int h) {
    std::vector<unsigned char> colour(size_t(w) * h * 3, 0x40);
    ZRFileStream out(path.c_str(), zrfmCreate);
    SavePng(&out, colour.data(), w, h, pf24_888);
}

struct Rig {
    GameState state;
    ZRFileMan files;
    TSubWinUnit win;
    TNyRGBPanel root{nullptr};
    Rig() {
        WorkBitDepth = bd32;
        if (!MemMan) MemMan = new ZRMemMan();
        char dir[] = "/tmp/textwin_XXXXXX";
        if (!mkdtemp(dir)) __builtin_trap();
        Picture(std::string(dir) + "/SelBase8.png", 478, 240);
        Picture(std::string(dir) + "/SelBase16.png", 780, 240);
        if (!files.InitDir(ZRString(dir)) || !(win.BindState(&state), win.Setup(&files)))
            __builtin_trap();
        root.SetAutoSize(false);
        root.SetSizeX(1280);
        root.SetSizeY(720);
        root.Create();
        win.SetParentPanel(&root);
        win.AttachAll();
    }
};

void Terminated(const char* line) {
    if (std::memchr(line, 0, TSubWinUnit::kLineBytes) == nullptr) __builtin_trap();
}

}  // namespace

// fontconfig keeps its configuration for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Rig* rig = new Rig();
    if (size < 1) return 0;
    TSubWinUnit& w = rig->win;
    const uint8_t control = data[0];
    const int32_t cost = (control & 3) * 100;
    std::vector<std::string> pieces(1);
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == 0xFF)
            pieces.emplace_back();
        else
            pieces.back().push_back(static_cast<char>(data[i]));
    }
    w.MesClear(), w.NovelClear(), w.SelClear();
    w.MesShow(true), w.NovelShow(true);
    rig->state.ClearBacklog();
    for (size_t k = 0; k < pieces.size(); ++k) {
        const ZRString text(pieces[k].c_str(), static_cast<unsigned>(pieces[k].size()));
        switch ((control >> 2) + k & 3) {
            case 0:
                w.MesAddText(text, cost), w.MesNewLine();
                break;
            case 1:
                w.NovelAddText(text, cost), w.NovelNewLine();
                break;
            case 2:
                rig->state.AppendBacklogLine(text), rig->state.NewBacklogLine();
                break;
            default:
                w.SelSetText(static_cast<int>(k % 4), text);
                break;
        }
        for (int f = 0; f < 3; ++f) w.StepAll(1 + (control >> 4), false);
    }
    w.LogOpenView();
    w.LogScroll(-(control >> 3));
    for (int f = 0; f < 2000 && (w.MesIsTyping() || w.NovelIsTyping()); ++f) w.StepAll(1, false);
    if (w.MesIsTyping() || w.NovelIsTyping()) __builtin_trap();
    for (int i = 0; i < TSubWinUnit::kMesLines; ++i) Terminated(w.MesLine(i));
    for (int i = 0; i < TSubWinUnit::kNovelLines; ++i) Terminated(w.NovelLine(i));
    return 0;
}
