// The menus' shared part.
#include "flow/menucommon.h"

#include "devices/dinputu.h"
#include "game/gamef.h"
#include "game/gamefunc.h"

namespace menu {

std::vector<int32_t>* SoundTrace = nullptr;

void PlaySound(int32_t n) {
    if (SoundTrace) SoundTrace->push_back(n);
    if (GameForm) GameForm->PlaySysSE(n);
}

Pad ReadPad(TDInputUnit* input, bool repeat) {
    Pad pad;
    if (!input) return pad;
    auto hit = [input, repeat](int b) {
        return input->IsPush(b) || (repeat && input->IsPress(b) && input->IsRepeat(b));
    };
    pad.decide = hit(0);
    pad.cancel = hit(1);
    pad.pagePrev = hit(4);
    pad.pageNext = hit(5);
    pad.direction = input->GetDirectionRepeat();
    return pad;
}

void Report(const ZRBaseCallback1<void, int>& cb, int code) {
    if (cb.IsSet()) cb.Call(code);
}

}  // namespace menu

void MenuScreen::BindPicture(TNyRGBPanel* p, const char* picture) {
    p->SetText(picture);
    p->OnCreate = [this](TNyRGBPanel* s) { SetPanelImageFile(s, Files, s->GetText()); };
    p->OnRelease = [](TNyRGBPanel* s) { ReleasePanelImage(s); };
}

void MenuScreen::BindRightClick(TNyRGBPanel* root, const menu::RightClick& handler) {
    if (!root) return;
    if (!root->OnMouseDown) root->OnMouseDown = handler;
    for (int i = 0; i < root->GetChildCount(); ++i) BindRightClick(root->GetChild(i), handler);
}
