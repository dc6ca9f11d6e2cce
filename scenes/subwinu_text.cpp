// The message and novel windows: lines filled with double-byte characters only, rendered once
// into a one-line source and revealed column by column while typing; fades of five frames;
// the message window's name plate that grows a character a frame.
#include <algorithm>
#include <cstring>

#include "game/gamefunc.h"
#include "scenes/subwinu.h"

namespace {

void Vis(TNyRGBPanel* p, bool on) {
    if (p && p->GetVisible() != on) p->SetVisible(on);
}

constexpr int kMesCell = 38, kMesRowStep = 50;
constexpr int kNovelCell = 30, kNovelRowStep = 36;

}  // namespace

// ---- Message window ----

bool TSubWinUnit::MesIsVisible() const {
    return mes_.state != swDisappear && MesWin && MesWin->GetVisible();
}

int TSubWinUnit::MesPartsRate() const {
    if (mes_.state == swAppear) return (kFadeFrames - mes_.fade) * 128 / kFadeFrames;
    if (mes_.state == swDisappear) return mes_.fade * 128 / kFadeFrames;
    return 128;
}

void TSubWinUnit::MesPartsVisible(bool on) {
    Vis(MesText, on), Vis(MesShadow, on);
    for (TNyRGBPanel* b : {MesLook, MesAuto, MesSkip, MesLog, MesSave, MesLoad, MesConfig})
        Vis(b, false);
}

void TSubWinUnit::MesSetPlate(int32_t width) {
    nameWidth_ = width;
    if (!MesNameC) return;
    if (width >= 0) {
        MesNameC->SetSizeX(width * kMesCell);
        MesNameR->SetOffsetX(MesNameC->GetOffsetX() + width * kMesCell);
    }
    Vis(MesNameC, width >= 0);
    Vis(MesNameR, width >= 0);
    const bool text = width == nameTarget_ && nameTarget_ >= 0 && mes_.state != swDisappear;
    Vis(MesNameText, text), Vis(MesNameShadow, text);
    if (MesWin) MesWin->SetModify();
}

void TSubWinUnit::MesUpdateIcons() {
    if (!MesWait) return;
    // Neither icon shows while the window fades in or out; the end of the fade-in shows them.
    const bool shown = MesWin->GetVisible() && mes_.state != swDisappear && mes_.state != swAppear;
    Vis(MesFF, ffShown_ && shown);
    Vis(MesWait, mes_.waitIcon && shown && mes_.state == swRest && !ffShown_);
}

void TSubWinUnit::MesShow(bool instant) {
    if (!setup_) return;
    Vis(MesWin, true);
    Vis(MesBack, true), Vis(MesFrame_, true), Vis(MesWing, true);
    if (instant) {
        FinishTyping(mes_, false);
        mes_.state = swRest;
        MesPartsVisible(true);
        mes_.fade = 0;
        MesSetPlate(nameTarget_);
    } else {
        MesPartsVisible(false);
        Vis(MesWait, false), Vis(MesFF, false);
        mes_.fade = kFadeFrames;
        mes_.state = swAppear;
        MesSetPlate(-1);
    }
    MesUpdateIcons();
    MesWin->SetModify();
}

void TSubWinUnit::MesHide(bool instant) {
    if (!setup_) return;
    if (instant) {
        Vis(MesWin, false), Vis(MesWait, false), Vis(MesFF, false);
        mes_.state = swRest;
        return;
    }
    if (!MesWin->GetVisible()) return;
    FinishTyping(mes_, false);
    MesPartsVisible(false);
    Vis(MesWait, false), Vis(MesFF, false);
    Vis(MesNameText, false), Vis(MesNameShadow, false);
    mes_.fade = kFadeFrames;
    mes_.state = swDisappear;
    MesWin->SetModify();
}

void TSubWinUnit::MesWaitIcon(bool on) {
    mes_.waitIcon = on;
    MesUpdateIcons();
}

void TSubWinUnit::MesFFIcon(bool on) {
    ffShown_ = on;
    MesUpdateIcons();
}

void TSubWinUnit::MesAutoSkip(bool autoOn, bool skipOn) {
    if (MesAuto) MesAuto->SetSelected(autoOn);
    if (MesSkip) MesSkip->SetSelected(skipOn);
}

void TSubWinUnit::MesNewLine() {
    FinishTyping(mes_, false);
    ++mes_.line;
    mes_.drawn = mes_.count = 0;
}

void TSubWinUnit::MesClear() {
    if (!setup_) return;
    FinishTyping(mes_, false);
    std::memset(mes_.lines, 0, sizeof mes_.lines);
    mes_.line = mes_.drawn = mes_.count = 0;
    mesMap_->Fill(0);
    nameMap_->Fill(0);
    nameTarget_ = -1;
    MesText->SetModify(), MesShadow->SetModify();
    Vis(MesNameText, false), Vis(MesNameShadow, false);
}

bool TSubWinUnit::MesAddText(const ZRString& text, int32_t cost) {
    return AddTextTo(mes_, false, text, cost);
}

bool TSubWinUnit::MesFrame(int32_t ticks, bool skipping) {
    if (!setup_) return false;
    if (mes_.state == swAppear || mes_.state == swDisappear) {
        mes_.fade = skipping ? 0 : mes_.fade - 1;
        MesWin->SetModify();
        if (mes_.fade <= 0) {
            mes_.fade = 0;
            if (mes_.state == swAppear) {
                mes_.state = swRest;
                MesPartsVisible(true);
            } else {
                mes_.state = swRest;
                Vis(MesWin, false);
            }
            MesUpdateIcons();
        }
    } else if (mes_.state == swBusy) {
        TypeFrame(mes_, false, ticks, skipping);
        MesUpdateIcons();
    }
    // The plate grows back only once the window stands.
    if (mes_.state != swAppear && MesWin->GetVisible() && nameWidth_ != nameTarget_) {
        if (skipping)
            MesSetPlate(nameTarget_);
        else
            MesSetPlate(nameWidth_ + (nameTarget_ > nameWidth_ ? 1 : -1));
    }
    return MesIsMoving();
}

// ---- Novel window ----

bool TSubWinUnit::NovelIsVisible() const {
    return novel_.state != swDisappear && NovelWin && NovelWin->GetVisible();
}

int TSubWinUnit::NovelToneLevel() const {
    if (novel_.state == swAppear) return 128 - (kFadeFrames - novel_.fade) * 64 / kFadeFrames;
    if (novel_.state == swDisappear) return 128 - novel_.fade * 64 / kFadeFrames;
    return 64;
}

void TSubWinUnit::NovelPlaceWait() {
    if (!NovelWait) return;
    const int chars = novel_.count;
    const int line = std::min<int>(novel_.line, kNovelLines - 1);
    NovelWait->SetOffsetX(NovelText->GetOffsetX() + chars * kNovelCell);
    NovelWait->SetOffsetY(NovelText->GetOffsetY() + line * kNovelRowStep);
    Vis(NovelWait, novel_.waitIcon && novel_.state == swRest && NovelWin->GetVisible());
}

void TSubWinUnit::NovelShow(bool instant) {
    if (!setup_) return;
    Vis(NovelWin, true);
    if (instant) {
        FinishTyping(novel_, true);
        novel_.state = swRest;
        novel_.fade = 0;
        Vis(NovelText, true), Vis(NovelShadow, true);
    } else {
        Vis(NovelText, false), Vis(NovelShadow, false);
        novel_.fade = kFadeFrames;
        novel_.state = swAppear;
    }
    NovelPlaceWait();
    NovelWin->SetModify();
}

void TSubWinUnit::NovelHide(bool instant) {
    if (!setup_) return;
    if (instant) {
        Vis(NovelWin, false);
        novel_.state = swRest;
        return;
    }
    if (!NovelWin->GetVisible()) return;
    FinishTyping(novel_, true);
    Vis(NovelText, false), Vis(NovelShadow, false), Vis(NovelWait, false);
    novel_.fade = kFadeFrames;
    novel_.state = swDisappear;
    NovelWin->SetModify();
}

void TSubWinUnit::NovelWaitIcon(bool on) {
    novel_.waitIcon = on;
    NovelPlaceWait();
}

void TSubWinUnit::NovelNewLine() {
    FinishTyping(novel_, true);
    ++novel_.line;
    novel_.drawn = novel_.count = 0;
}

void TSubWinUnit::NovelClear() {
    if (!setup_) return;
    FinishTyping(novel_, true);
    std::memset(novel_.lines, 0, sizeof novel_.lines);
    novel_.line = novel_.drawn = novel_.count = 0;
    novelMap_->Fill(0);
    NovelText->SetModify(), NovelShadow->SetModify();
    NovelPlaceWait();
}

bool TSubWinUnit::NovelAddText(const ZRString& text, int32_t cost) {
    const bool moving = AddTextTo(novel_, true, text, cost);
    NovelPlaceWait();
    return moving;
}

bool TSubWinUnit::NovelFrame(int32_t ticks, bool skipping) {
    if (!setup_) return false;
    if (novel_.state == swAppear || novel_.state == swDisappear) {
        novel_.fade = skipping ? 0 : novel_.fade - 1;
        NovelWin->SetModify();
        if (novel_.fade <= 0) {
            novel_.fade = 0;
            const bool appeared = novel_.state == swAppear;
            novel_.state = swRest;
            if (appeared) {
                Vis(NovelText, true), Vis(NovelShadow, true);
            } else {
                Vis(NovelWin, false);
            }
            NovelPlaceWait();
        }
    } else if (novel_.state == swBusy) {
        TypeFrame(novel_, true, ticks, skipping);
        NovelPlaceWait();
    }
    return NovelIsMoving();
}

// ---- Shared by both windows ----

bool TSubWinUnit::AddTextTo(TextWin& w, bool novel, const ZRString& text, int32_t cost) {
    if (!setup_) return false;
    const int lines = novel ? kNovelLines : kMesLines;
    if (w.line < 0 || w.line >= lines) return novel ? NovelIsMoving() : MesIsMoving();
    FinishTyping(w, novel);
    TNyRGBPanel* root = novel ? NovelWin : MesWin;
    if (!root->GetVisible()) cost = 0;
    char* line = w.lines[w.line];
    const int before = w.count;
    int count = before;
    AppendDoubleByte(line, count, text);
    w.drawn = before;
    w.count = count;
    if (count != before) {
        if (!novel && w.line == 0) {
            RenderLine(MesTextMaker1, line, nameMap_.get(), 0, 380, 38);
            nameTarget_ = count > 0 ? count + 3 : -1;
            // A new page hid the name; one as long as the last leaves the plate standing, so
            // no frame's step would show it again.
            MesSetPlate(nameWidth_);
            MesNameText->SetModify(), MesNameShadow->SetModify();
        } else if (cost > 0) {
            if (novel)
                RenderLine(MesTextMaker2, line, novelSource_.get(), 0, 780, 30);
            else
                RenderLine(MesTextMaker1, line, mesSource_.get(), 0, 988, 38);
            w.cost = cost;
            w.progress = 0;
            w.shown = 0;
            w.state = swBusy;
        } else {
            if (novel) {
                RenderLine(MesTextMaker2, line, novelMap_.get(), w.line * kNovelRowStep, 780, 30);
                NovelText->SetModify(), NovelShadow->SetModify();
            } else {
                RenderLine(MesTextMaker1, line, mesMap_.get(), (w.line - 1) * kMesRowStep, 988, 38);
                MesText->SetModify(), MesShadow->SetModify();
            }
        }
    }
    if (!novel) MesUpdateIcons();
    return novel ? NovelIsMoving() : MesIsMoving();
}

void TSubWinUnit::TypeCopy(TextWin& w, bool novel, int from, int to) {
    const int cell = novel ? kNovelCell : kMesCell;
    const int h = novel ? 30 : 38;
    TNyAlpha* src = novel ? novelSource_.get() : mesSource_.get();
    TNyAlpha* dst = novel ? novelMap_.get() : mesMap_.get();
    const int row = novel ? w.line * kNovelRowStep : (w.line - 1) * kMesRowStep;
    const int x = (w.drawn + from) * cell;
    const int width = std::min((to - from) * cell, dst->Width() - x);
    if (width <= 0) return;
    // The source holds the whole line from its first character.
    dst->Draw(x, row, src, x, 0, width, h);
    const ZRRect r{x, row, x + width, row + h};
    TNyRGBPanel* text = novel ? NovelText : MesText;
    TNyRGBPanel* shadow = novel ? NovelShadow : MesShadow;
    text->SetModifyRect(r);
    shadow->SetModifyRect(r);
}

void TSubWinUnit::FinishTyping(TextWin& w, bool novel) {
    if (w.state != swBusy) return;
    TypeCopy(w, novel, w.shown, w.count - w.drawn);
    w.shown = w.count - w.drawn;
    w.state = swRest;
}

bool TSubWinUnit::TypeFrame(TextWin& w, bool novel, int32_t ticks, bool skipping) {
    if (skipping || w.cost <= 0) {
        FinishTyping(w, novel);
        return false;
    }
    const int64_t progress =
        std::clamp<int64_t>(int64_t(w.progress) + int64_t(std::max(ticks, 0)) * 100, 0, INT32_MAX);
    w.progress = static_cast<int32_t>(progress);
    const int total = w.count - w.drawn;
    const int visible = static_cast<int>(std::min<int64_t>(progress / w.cost, total));
    if (visible > w.shown) {
        TypeCopy(w, novel, w.shown, visible);
        w.shown = visible;
    }
    if (w.shown >= total) w.state = swRest;
    return w.state == swBusy;
}
