// windowshots OUTDIR: draws the text windows over plain-coloured stand-ins for their pictures
// and writes what a player would see of a typed page, the backlog, the menu bar and the
// choices with the plates as PNG files, to be looked at by eye.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/zrfileman.h"
#include "foundation/zrmemman.h"
#include "foundation/zrstream.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "media/zrpng.h"
#include "platform/codepage.h"
#include "scenes/subwin_pictures.h"
#include "scenes/subwinu.h"

namespace {

ZRString Gbk(const char* utf8) {
    return ZRString(plat::GbkText(utf8).c_str());
}

int Run(const std::filesystem::path& out) {
    const std::filesystem::path pictures = out / "pictures";
    std::filesystem::create_directories(pictures);
    subwin_test::WritePictures(pictures.string() + "/");

    WorkBitDepth = bd32;
    MemMan = new ZRMemMan();
    ZRFileMan files;
    GameState state;
    AvgAudio silent;
    if (!files.InitDir(ZRString(pictures.string().c_str()))) return 1;
    auto win = std::make_unique<TSubWinUnit>();
    win->BindState(&state);
    win->SetAudio(&silent);
    if (!win->Setup(&files)) {
        std::fprintf(stderr, "windowshots: the windows could not be set up\n");
        return 1;
    }
    auto root = subwin_test::MakeRootPanel();
    win->SetParentPanel(root.get());
    win->AttachAll();
    const auto screenBits = subwin_test::MakeScreen();
    if (!screenBits) return 1;
    TNyRGBBits& screen = *screenBits;

    bool written = true;
    auto save = [&](const char* name) {
        screen.BoxFill(0, 0, 1279, 719, screen.TNyRGBtoPixel(ZRRGB(0x406080)));
        root->Draw(&screen, 0, 0);
        std::vector<unsigned char> rgb(1280 * 720 * 3);
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 1280; ++x) {
                const uint32_t p = screen.PGet(x, y);
                unsigned char* d = &rgb[(size_t(y) * 1280 + x) * 3];
                d[0] = p & 0xFF, d[1] = (p >> 8) & 0xFF, d[2] = (p >> 16) & 0xFF;
            }
        const std::string path = (out / name).string();
        ZRFileStream f(path.c_str(), zrfmCreate);
        written = written && SavePng(&f, rgb.data(), 1280, 720, pf24_888);
        std::printf("%s\n", path.c_str());
    };

    win->MesShow(true);
    win->MesAddText(Gbk("山田太郎"), 0);
    win->MesNewLine();
    win->MesAddText(Gbk("今天的天气真好，我们一起去公园散步吧。"), 100);
    for (int i = 0; i < 30; ++i) win->StepAll(1, false);
    win->MesNewLine();
    win->MesAddText(Gbk("ＡＢＣ０１２３全角字符与汉字混排测试"), 100);
    for (int i = 0; i < 8; ++i) win->StepAll(1, false);
    win->MesWaitIcon(true);
    save("typed_page.png");

    for (int i = 0; i < 40; ++i) {
        if (i) state.NewBacklogLine();
        state.AppendBacklogLine(Gbk(("第" + std::to_string(i) + "行：往事如烟").c_str()));
    }
    win->MesHide(true);
    win->LogOpenView();
    win->LogShow(true);
    win->LogScroll(-5);
    save("backlog.png");
    win->LogHide(true);

    win->MesShow(true);
    win->MenuOpenSystem(true);
    win->MenuCursorUp();
    save("menubar.png");
    win->MenuClose(true);

    win->SelClear();
    win->SelSetText(0, Gbk("去图书馆"));
    win->SelSetText(1, Gbk("回家休息一下然后再出门"));
    win->SelShow(true);
    win->DatePlateShow(true);
    win->TimePlateShow(true);
    win->PlaceCardShow(1);
    for (int i = 0; i < 8; ++i) win->StepAll(1, false);
    save("choices.png");

    win.reset();
    root.reset();
    files.Finish();
    delete MemMan;
    MemMan = nullptr;
    if (!written) std::fprintf(stderr, "windowshots: a picture could not be written\n");
    return written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: windowshots OUTDIR\n");
        return 2;
    }
    return Run(argv[1]);
}
