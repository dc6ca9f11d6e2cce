// The backlog with its scroll bar and the choice window.
#include <algorithm>
#include <cstring>

#include "game/gamedata.h"
#include "game/gamefunc.h"
#include "scenes/subwinu.h"

namespace {

void Vis(TNyRGBPanel* p, bool on) {
    if (p && p->GetVisible() != on) p->SetVisible(on);
}

constexpr int kBarHeight = 510, kKnobHeight = 26;
constexpr int kLogRowStep = 36;
constexpr uint32_t kLogColour = 0xD0D0FF;

}  // namespace

// ---- Backlog ----

bool TSubWinUnit::LogIsVisible() const {
    return log_.state != swDisappear && LogWin && LogWin->GetVisible();
}

int TSubWinUnit::LogToneLevel() const {
    if (log_.state == swAppear) return 128 - (kFadeFrames - log_.fade) * 64 / kFadeFrames;
    if (log_.state == swDisappear) return 128 - log_.fade * 64 / kFadeFrames;
    return 64;
}

int TSubWinUnit::LogKnobY() const {
    // With nothing to scroll the knob rests at the bottom; no division by the empty range.
    if (logRange_ <= 0) return kBarHeight - kKnobHeight;
    return static_cast<int>(int64_t(kBarHeight - kKnobHeight) * logPos_ / logRange_);
}

void TSubWinUnit::LogPlaceKnob() {
    if (!LogPos) return;
    LogPos->SetOffsetY(LogKnobY());
    LogBar->SetModify();
}

void TSubWinUnit::LogSetRange(int32_t n) {
    logRange_ = std::max(n, 0);
    logPos_ = logRange_;
    LogPlaceKnob();
}

void TSubWinUnit::LogSetPosition(int32_t p) {
    logPos_ = std::clamp(p, 0, logRange_);
    LogPlaceKnob();
}

void TSubWinUnit::LogOpenView() {
    const int32_t c = State().GetBacklogCount();
    LogSetRange(c >= 17 ? c - 16 : 0);
    LogFill(logRange_);
}

void TSubWinUnit::LogFill(int32_t top) {
    if (!setup_) return;
    const GameState& st = State();
    const int32_t c = st.GetBacklogCount();
    top = std::clamp(top, 0, logRange_);
    logTop_ = top;
    logMap_->Fill(0);
    std::memset(log_.lines, 0, sizeof log_.lines);
    for (int i = 0; i < kNovelLines && top + i < c; ++i) {
        int count = 0;
        AppendDoubleByte(log_.lines[i], count, st.GetBacklogLine(top + i));
        RenderLine(MesTextMaker3, log_.lines[i], logMap_.get(), i * kLogRowStep, 780, 30);
    }
    LogText->SetModify(), LogShadow->SetModify();
}

bool TSubWinUnit::LogScroll(int32_t delta) {
    const int64_t wanted = std::clamp<int64_t>(int64_t(logTop_) + delta, 0, logRange_);
    if (wanted == logTop_) return false;
    LogFill(static_cast<int32_t>(wanted));
    LogSetPosition(logTop_);
    return true;
}

void TSubWinUnit::LogPartsVisible(bool on) {
    Vis(LogText, on), Vis(LogShadow, on), Vis(LogClose, on);
    const bool bar = on && logRange_ > 0;
    Vis(LogBar, bar), Vis(LogUp, bar), Vis(LogDown, bar);
}

void TSubWinUnit::LogShow(bool instant) {
    if (!setup_) return;
    Vis(LogWin, true);
    if (instant) {
        log_.state = swRest;
        log_.fade = 0;
        LogPartsVisible(true);
    } else {
        LogPartsVisible(false);
        log_.state = swAppear;
        log_.fade = kFadeFrames;
    }
    LogWin->SetModify();
}

void TSubWinUnit::LogHide(bool instant) {
    if (!setup_) return;
    if (instant) {
        Vis(LogWin, false);
        log_.state = swRest;
        return;
    }
    if (!LogWin->GetVisible()) return;
    LogPartsVisible(false);
    log_.state = swDisappear;
    log_.fade = kFadeFrames;
    LogWin->SetModify();
}

bool TSubWinUnit::LogFrame(int32_t ticks, bool skipping) {
    (void)ticks;
    if (!setup_ || (log_.state != swAppear && log_.state != swDisappear)) return LogIsMoving();
    log_.fade = skipping ? 0 : log_.fade - 1;
    LogWin->SetModify();
    if (log_.fade <= 0) {
        log_.fade = 0;
        const bool appeared = log_.state == swAppear;
        log_.state = swRest;
        if (appeared)
            LogPartsVisible(true);
        else
            Vis(LogWin, false);
    }
    return LogIsMoving();
}

// ---- Choice window ----

bool TSubWinUnit::SelIsVisible() const {
    return sel_.state != swDisappear && SelWin && SelWin->GetVisible();
}

int TSubWinUnit::SelRate() const {
    if (sel_.state == swAppear) return (kSelFadeFrames - sel_.counter) * 128 / kSelFadeFrames;
    if (sel_.state == swDisappear) return sel_.counter * 128 / kSelFadeFrames;
    return 128;
}

void TSubWinUnit::SelClear() {
    std::memset(selText_, 0, sizeof selText_);
    for (bool& p : selPresent_) p = false;
    for (auto& m : selMap_)
        if (m) m->Fill(0);
    if (setup_) SelLayout();
}

void TSubWinUnit::SelSetText(int index, const ZRString& text) {
    if (!setup_ || index < 0 || index > 3) return;
    const ZRString cut = CutChoiceText(text);
    std::memset(selText_[index], 0, kLineBytes);
    std::memcpy(selText_[index], cut.c_str(), static_cast<size_t>(cut.Length()));
    if (index > 0) selPresent_[index] = !cut.IsEmpty();
    RenderLine(MesTextMaker1, selText_[index], selMap_[index].get(), 0, 988, 38);
    SelLayout();
}

void TSubWinUnit::SelLayout() {
    if (!SelWin) return;
    size_t longest = 0;
    for (const auto& t : selText_) longest = std::max(longest, std::strlen(t));
    selWide_ = longest > 16;
    TNyRGBPanel* holder = selHolder_[selWide_ ? 1 : 0];
    ImagePair pair{holder ? holder->GetImage() : nullptr, holder ? holder->GetAlpha() : nullptr};
    const int baseX = selWide_ ? 250 : 401;
    const int baseW = pair.image ? pair.image->Width() : (selWide_ ? 780 : 478);
    const int baseH = pair.image ? pair.image->Height() / 3 : 80;
    const int field = selWide_ ? 608 : 304;
    const int textX = (baseW - field) / 2;
    const int textY = (baseH - 38) / 2;
    int n = 1;
    for (int i = 1; i < 4; ++i) n += selPresent_[i] ? 1 : 0;
    int y = (4 - n) * 50 + 40;
    for (int i = 0; i < 4; ++i) {
        TNySButton* b = SelBase[i];
        SetPanelImageAlpha(b, &pair);
        b->SetSizeX(baseW), b->SetSizeY(baseH);
        if (!SelPresent(i)) {
            Vis(b, false);
            continue;
        }
        b->SetOffsetX(baseX), b->SetOffsetY(y);
        y += 100;
        Vis(b, true);
        SelText[i]->SetOffsetX(textX), SelText[i]->SetOffsetY(textY);
        SelText[i]->SetSizeX(field);
        SelShadow[i]->SetOffsetX(textX + 2), SelShadow[i]->SetOffsetY(textY);
        SelShadow[i]->SetSizeX(field);
    }
    SelWin->SetModify();
}

void TSubWinUnit::SelShow(bool instant) {
    if (!setup_) return;
    selFocus_ = -1;
    for (TNySButton* b : SelBase) b->SetFocus(false);
    Vis(SelWin, true);
    if (instant) {
        sel_.state = swRest;
        sel_.counter = 0;
    } else {
        sel_.state = swAppear;
        sel_.counter = kSelFadeFrames;
    }
    SelWin->SetModify();
}

void TSubWinUnit::SelHide(bool instant) {
    if (!setup_) return;
    if (instant) {
        Vis(SelWin, false);
        sel_.state = swRest;
        return;
    }
    if (!SelWin->GetVisible()) return;
    sel_.state = swDisappear;
    sel_.counter = kSelFadeFrames;
    SelWin->SetModify();
}

bool TSubWinUnit::SelFrame(int32_t ticks, bool skipping) {
    (void)ticks;
    if (!setup_) return false;
    if (sel_.state == swAppear) {
        // The choices always take their full time to appear.
        if (--sel_.counter <= 0) sel_.state = swRest, sel_.counter = 0;
        for (TNySButton* b : SelBase) b->SetModify();
    } else if (sel_.state == swDisappear) {
        sel_.counter = skipping ? 0 : sel_.counter - 1;
        for (TNySButton* b : SelBase) b->SetModify();
        if (sel_.counter <= 0) {
            sel_.state = swRest, sel_.counter = 0;
            Vis(SelWin, false);
        }
    }
    return SelIsMoving();
}

void TSubWinUnit::SelEnter(int i) {
    if (sel_.state != swRest || !SelBase[i]->GetVisible()) return;
    Sound(3);
    selFocus_ = i;
    for (int k = 0; k < 4; ++k) SelBase[k]->SetFocus(k == i);
}

void TSubWinUnit::SelBaseClicked(int i) {
    if (sel_.state != swRest || !SelBase[i]->GetVisible()) return;
    selFocus_ = i;
    for (int k = 0; k < 4; ++k) SelBase[k]->SetFocus(k == i);
    if (!SelPresent(i)) return;
    Sound(0);
    SendCode(selCb_, 5);
}

void TSubWinUnit::SelCursorUp() {
    int f = selFocus_ < 0 ? 3 : selFocus_ - 1;
    for (int step = 0; step < 4; ++step, --f) {
        if (f < 0) f = 3;
        if (SelPresent(f)) {
            selFocus_ = f;
            break;
        }
    }
    for (int k = 0; k < 4; ++k) SelBase[k]->SetFocus(k == selFocus_);
}

void TSubWinUnit::SelCursorDown() {
    int f = selFocus_ < 0 ? 0 : selFocus_ + 1;
    for (int step = 0; step < 4; ++step, ++f) {
        if (f > 3) f = 0;
        if (SelPresent(f)) {
            selFocus_ = f;
            break;
        }
    }
    for (int k = 0; k < 4; ++k) SelBase[k]->SetFocus(k == selFocus_);
}

// ---- Widgets of the backlog, choices, plates, card and menu bar ----

void TSubWinUnit::BuildOthers() {
    LogWin = Make<TNyRGBPanel>(nullptr, 0, 0, 1280, 720);
    LogBack = Make<TNyRGBPanel>(LogWin, 0, 0, 1280, 720);
    LogShadow = Make<TNyRGBPanel>(LogBack, 252, 74, 780, 570);
    LogText = Make<TNyRGBPanel>(LogBack, 250, 72, 780, 570);
    LogShadow->SetMouseControl(false), LogText->SetMouseControl(false);
    LogFrame_ = Make<TNyRGBPanel>(LogWin, 0, 0, 1280, 720);
    LogFrame_->SetMouseTrans(true);
    LogClose = Make<TNySButton>(LogFrame_, 0, 0, 15, 15);
    LogClose->SetNumBlock(3), LogClose->SetFrameNum(1, 1), LogClose->SetFrameNum(3, 1);
    LogBar = Make<TNyRGBPanel>(LogFrame_, 1036, 102, 30, kBarHeight, "BacklogBar.png");
    LogPos =
        Make<TNyRGBPanel>(LogBar, 2, kBarHeight - kKnobHeight, 26, kKnobHeight, "BacklogPos.png");
    LogPos->SetMouseControl(false);
    LogUp = Make<TNySButton>(LogFrame_, 1036, 72, 30, 30, "BacklogUp.png");
    LogDown = Make<TNySButton>(LogFrame_, 1036, 612, 30, 30, "BacklogDown.png");
    LogWin->SetVisible(false);
    auto logDown = [this](TNyRGBPanel*, TMouseButton b, TShiftState, int, int) {
        SendCode(logCb_, b == mbLeft ? 1 : b == mbRight ? 6 : 3);
    };
    LogWin->OnMouseDown = LogBack->OnMouseDown = logDown;
    LogBack->OnDraw = [this](TNyRGBPanel*, TNyRGBBits* d, int x, int y, int, int, int dx, int dy) {
        const uint32_t g = static_cast<uint32_t>(LogToneLevel());
        d->ToneChange(x, y, x + dx - 1, y + dy - 1, g | g << 8 | g << 16);
        return true;
    };
    LogFrame_->OnDraw = [](TNyRGBPanel*, TNyRGBBits*, int, int, int, int, int, int) {
        return true;
    };
    LogText->OnDraw = [this](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy, int dx,
                             int dy) {
        return TextPanelDraw(p, logMap_.get(), 0, 0, kLogColour, 128, d, x, y, sx, sy, dx, dy);
    };
    LogShadow->OnDraw = [this](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy, int dx,
                               int dy) {
        return TextPanelDraw(p, logMap_.get(), 0, 0, 0, 128, d, x, y, sx, sy, dx, dy);
    };
    LogClose->OnClick = [this](TNyRGBPanel*) { SendCode(logCb_, 6); };
    LogUp->OnClick = [this](TNyRGBPanel*) {
        LogSetPosition(logPos_ - 1);
        SendCode(logCb_, 4);
    };
    LogDown->OnClick = [this](TNyRGBPanel*) {
        LogSetPosition(logPos_ + 1);
        SendCode(logCb_, 4);
    };
    auto barAt = [this](int y) {
        if (logRange_ <= 0) return false;
        const int64_t p = int64_t(y) * logRange_ / (kBarHeight - kKnobHeight);
        LogSetPosition(static_cast<int32_t>(std::clamp<int64_t>(p, 0, logRange_)));
        SendCode(logCb_, 4);
        return true;
    };
    LogBar->OnMouseDown = [this, barAt](TNyRGBPanel*, TMouseButton b, TShiftState, int, int y) {
        if (b == mbLeft)
            barAt(y);
        else if (b == mbRight)
            SendCode(logCb_, 6);
    };
    LogBar->OnMouseMove = [barAt](TNyRGBPanel*, TShiftState s, int, int y) {
        if (s & kLeftHeld) barAt(y);
    };

    SelWin = Make<TNyRGBPanel>(nullptr, 0, 0, 1280, 720);
    SelWin->SetVisible(false);
    SelWin->SetMouseTrans(false);
    SelWin->OnMouseDown = [this](TNyRGBPanel*, TMouseButton b, TShiftState, int, int) {
        if (b == mbRight) SendCode(selCb_, 2);
        if (b == mbMiddle) SendCode(selCb_, 3);
    };
    SelWin->OnDraw = [](TNyRGBPanel*, TNyRGBBits*, int, int, int, int, int, int) { return true; };
    for (int i = 0; i < 4; ++i) {
        TNySButton* b = Make<TNySButton>(SelWin, 401, 40 + 100 * i, 478, 80);
        SelBase[i] = b;
        b->SetNumBlock(3), b->SetFrameNum(1, 1), b->SetFrameNum(3, 1);
        b->SetAutoFocus(false);
        SelShadow[i] = Make<TNyRGBPanel>(b, 0, 0, 304, 38);
        SelText[i] = Make<TNyRGBPanel>(b, 0, 0, 304, 38);
        SelShadow[i]->SetMouseControl(false), SelText[i]->SetMouseControl(false);
        b->OnClick = [this, i](TNyRGBPanel*) { SelBaseClicked(i); };
        b->OnMouseEnter = [this, i](TNyRGBPanel*) { SelEnter(i); };
        b->OnDraw = [this](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy, int dx,
                           int dy) {
            DrawPanelImage(p, d, x, y, sx, sy, dx, dy, SelRate());
            return true;
        };
        SelText[i]->OnDraw = [this, i](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy,
                                       int dx, int dy) {
            return TextPanelDraw(p, selMap_[i].get(), 0, 0, 0xFFFFFF, SelRate(), d, x, y, sx, sy,
                                 dx, dy);
        };
        SelShadow[i]->OnDraw = [this, i](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx,
                                         int sy, int dx, int dy) {
            return TextPanelDraw(p, selMap_[i].get(), 0, 0, 0, SelRate(), d, x, y, sx, sy, dx, dy);
        };
    }

    BuildPlatesAndMenu();
}
