// The date and time plates with their running clock, the place card and the system menu bar
// with its save/load sub-menu.
#include <algorithm>

#include "game/gamedata.h"
#include "game/gamefunc.h"
#include "scenes/subwinu.h"

namespace {

void Vis(TNyRGBPanel* p, bool on) {
    if (p && p->GetVisible() != on) p->SetVisible(on);
}

constexpr int kPlateSlide = 4, kPlateHold = 150;
constexpr int kCardSlide = 8, kCardHold = 60, kCardY = 65;
constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr int kMenuItems = 8, kSubItems = 3;

}  // namespace

// ---- Date and time plates ----

bool TSubWinUnit::DateIsVisible() const {
    return DateWin && DateWin->GetVisible();
}
bool TSubWinUnit::TimeIsVisible() const {
    return TimeWin && TimeWin->GetVisible();
}

void TSubWinUnit::PlatePlace(bool date, const Slide& s, int step) {
    TNyRGBPanel* p = date ? DateWin : TimeWin;
    const int w = p->GetSizeX(), h = p->GetSizeY();
    // step: how far in, 0 (outside) to 4 (in place).
    if (date) {
        p->SetOffsetX(-w * (kPlateSlide - step) / kPlateSlide);
    } else {
        p->SetOffsetX(1280 - w * step / kPlateSlide);
    }
    p->SetOffsetY(-h * (kPlateSlide - step) / kPlateSlide);
    (void)s;  // moving the panel marks where it was and where it is
}

void TSubWinUnit::DatePlateShow(bool instant) {
    if (!setup_) return;
    Slide& s = date_;
    if (instant) {
        Vis(DateWin, true);
        PlatePlace(true, s, kPlateSlide);
        s.counter = kPlateHold, s.state = swBusy;
    } else if (s.state == swDisappear) {
        s.counter = kPlateSlide - s.counter, s.state = swAppear;
    } else if (s.state == swRest && !DateWin->GetVisible()) {
        PlatePlace(true, s, 0);
        Vis(DateWin, true);
        s.counter = kPlateSlide, s.state = swAppear;
    }
    PlateShowDigits();
}

void TSubWinUnit::TimePlateShow(bool instant) {
    if (!setup_) return;
    Slide& s = time_;
    if (instant) {
        Vis(TimeWin, true);
        PlatePlace(false, s, kPlateSlide);
        s.counter = kPlateHold, s.state = swBusy;
    } else if (s.state == swDisappear) {
        s.counter = kPlateSlide - s.counter, s.state = swAppear;
    } else if (s.state == swRest && !TimeWin->GetVisible()) {
        PlatePlace(false, s, 0);
        Vis(TimeWin, true);
        s.counter = kPlateSlide, s.state = swAppear;
    }
    PlateShowDigits();
}

void TSubWinUnit::DatePlateHide(bool instant) {
    if (!setup_) return;
    if (instant) {
        Vis(DateWin, false);
        date_.state = swRest;
    } else if (date_.state == swAppear) {
        date_.counter = kPlateSlide - date_.counter, date_.state = swDisappear;
    } else if (date_.state == swRest && DateWin->GetVisible()) {
        date_.counter = kPlateSlide, date_.state = swDisappear;
    }
}

void TSubWinUnit::TimePlateHide(bool instant) {
    if (!setup_) return;
    if (instant) {
        Vis(TimeWin, false);
        time_.state = swRest;
    } else if (time_.state == swAppear) {
        time_.counter = kPlateSlide - time_.counter, time_.state = swDisappear;
    } else if (time_.state == swRest && TimeWin->GetVisible()) {
        time_.counter = kPlateSlide, time_.state = swDisappear;
    }
}

void TSubWinUnit::PlatesClockRefresh() {
    const GameState& st = State();
    shownMonth_ = static_cast<uint8_t>(st.Month);
    shownDay_ = static_cast<uint8_t>(st.Day);
    shownHour_ = static_cast<uint8_t>(st.Hour);
    shownMinute_ = static_cast<uint8_t>(st.Minute);
    shownTicks_ = static_cast<int32_t>(uint64_t(st.Millis) * 3 / 100);
    PlateShowDigits();
}

void TSubWinUnit::PlateShowDigits() {
    if (!DateWin) return;
    const int values[4] = {shownMonth_, shownDay_, shownHour_, shownMinute_};
    for (int i = 0; i < 2; ++i) {
        DateDigit[2 * i]->SetBlockIndex(values[i] / 10 % 10);
        DateDigit[2 * i + 1]->SetBlockIndex(values[i] % 10);
        TimeDigit[2 * i]->SetBlockIndex(values[2 + i] / 10 % 10);
        TimeDigit[2 * i + 1]->SetBlockIndex(values[2 + i] % 10);
    }
    Vis(TimeSep, blink_ % 30 < 15);
    DateWin->SetModify(), TimeWin->SetModify();
}

namespace {

// One plate's slide: counts down and tells how far in the plate stands (0-4), or -1 when it
// does not move this frame.
int StepSlide(uint8_t& state, int32_t& counter, bool skipping, bool& hideNow) {
    hideNow = false;
    if (state == swRest) return -1;
    counter = skipping ? 0 : counter - 1;
    if (counter > 0) {
        if (state == swAppear) return kPlateSlide - counter;
        if (state == swDisappear) return counter;
        return -1;
    }
    if (state == swAppear) {
        state = swBusy, counter = kPlateHold;
        return kPlateSlide;
    }
    if (state == swBusy) {
        state = swDisappear, counter = kPlateSlide;
        return -1;
    }
    state = swRest, counter = 0;
    hideNow = true;
    return 0;
}

}  // namespace

bool TSubWinUnit::PlatesFrame(int32_t ticks, bool skipping) {
    if (!setup_) return false;
    bool hide;
    int step = StepSlide(date_.state, date_.counter, skipping, hide);
    if (step >= 0) PlatePlace(true, date_, step);
    if (hide) Vis(DateWin, false);
    step = StepSlide(time_.state, time_.counter, skipping, hide);
    if (step >= 0) PlatePlace(false, time_, step);
    if (hide) Vis(TimeWin, false);

    // The clock runs toward the game's time.
    const GameState& st = State();
    const int target[4] = {st.Month, st.Day, st.Hour, st.Minute};
    auto shown = [&] {
        return CompareDateTime(shownMonth_, shownDay_, shownHour_, shownMinute_, target[0],
                               target[1], target[2], target[3]);
    };
    const int before = blink_ % 30 < 15;
    blink_ = static_cast<int32_t>((int64_t(blink_) + std::max(ticks, 0)) % 30);
    bool changed = (blink_ % 30 < 15) != before;
    if (shown() != 0) {
        // A shown time ahead of the game's (not the year's turn) has nothing to run toward.
        const bool yearTurn = shownMonth_ == 12 && target[0] == 1;
        if (shown() > 0 && !yearTurn) {
            PlatesClockRefresh();
            return DateIsMoving() || TimeIsMoving();
        }
        shownTicks_ = static_cast<int32_t>(
            std::min<int64_t>(int64_t(shownTicks_) + std::max(ticks, 0), INT32_MAX));
        while (shownTicks_ >= 1800 && shown() != 0) {
            shownTicks_ -= 1800;
            if (++shownMinute_ >= 60) {
                shownMinute_ = 0;
                if (++shownHour_ >= 24) {
                    shownHour_ = 0;
                    const int m = std::clamp<int>(shownMonth_, 1, 12);
                    if (++shownDay_ > kMonthDays[m - 1]) {
                        shownDay_ = 1;
                        shownMonth_ = static_cast<uint8_t>(m == 12 ? 1 : m + 1);
                    }
                }
            }
            changed = true;
            if (shown() > 0 && !(shownMonth_ == 12 && target[0] == 1)) {
                PlatesClockRefresh();
                break;
            }
        }
    }
    if (changed) PlateShowDigits();
    return DateIsMoving() || TimeIsMoving();
}

// ---- Place card ----

bool TSubWinUnit::PlaceIsVisible() const {
    return PlaceWin && PlaceWin->GetVisible();
}

void TSubWinUnit::PlaceCardFree() {
    if (!PlaceWin) return;
    Vis(PlaceWin, false);
    ReleasePanelImage(PlaceWin);
    place_.state = swRest, place_.counter = 0;
}

void TSubWinUnit::PlaceCardShow(int32_t n) {
    if (!setup_) return;
    PlaceCardFree();
    ZRString name;
    name.sprintf("AvgPlace%02d.png", n);
    if (!files_ || !files_->FileIsExist(name) || !SetPanelImageFile(PlaceWin, files_, name)) return;
    PlaceWin->SetOffsetX(-PlaceWin->GetSizeX());
    PlaceWin->SetOffsetY(kCardY);
    Vis(PlaceWin, true);
    place_.counter = kCardSlide, place_.state = swAppear;
}

void TSubWinUnit::PlaceCardHide() {
    PlaceCardFree();
}

bool TSubWinUnit::PlaceFrame(int32_t ticks, bool skipping) {
    (void)ticks;
    if (!setup_ || place_.state == swRest) return false;
    const int w = PlaceWin->GetSizeX();
    place_.counter = skipping ? 0 : place_.counter - 1;
    if (place_.state == swAppear) {
        PlaceWin->SetOffsetX(kCardY - (w + kCardY) * std::max(place_.counter, 0) / kCardSlide);
        if (place_.counter <= 0) place_.state = swBusy, place_.counter = kCardHold;
    } else if (place_.state == swBusy) {
        if (place_.counter <= 0) place_.state = swDisappear, place_.counter = kCardSlide;
    } else {
        const int c = std::max(place_.counter, 0);
        PlaceWin->SetOffsetX(kCardY - (w + kCardY) * (kCardSlide - c) / kCardSlide);
        if (place_.counter <= 0) PlaceCardFree();
    }
    return PlaceIsMoving();
}

// ---- Menu bar ----

bool TSubWinUnit::MenuIsVisible() const {
    return MenuWin && MenuWin->GetVisible();
}

void TSubWinUnit::MenuEnable(int i, bool on) {
    if (i >= 0 && i < kMenuItems) menuEnabled_[i] = on;
}

void TSubWinUnit::MenuSetRequested(int i) {
    menuRequested_ = i >= 0 && i < kMenuItems ? i : -1;
}

bool TSubWinUnit::MenuItemTakes(int i) const {
    if (menuSub_) return i >= 0 && i < kSubItems && SMenuBtn[i]->GetVisible();
    return i >= 0 && i < kMenuItems && MenuBtn[i]->GetVisible() && menuEnabled_[i];
}

void TSubWinUnit::MenuSetCursor(int i) {
    int32_t& cursor = menuSub_ ? smenuCursor_ : menuCursor_;
    TNyRGBPanel* light = menuSub_ ? SMenuLight : MenuLight;
    const int top = menuSub_ ? 173 : 62;
    cursor = i >= 0 && MenuItemTakes(i) ? i : -1;
    for (int k = 0; k < kMenuItems; ++k) MenuBtn[k]->SetFocus(!menuSub_ && k == cursor);
    for (int k = 0; k < kSubItems; ++k) SMenuBtn[k]->SetFocus(menuSub_ && k == cursor);
    if (cursor >= 0) light->SetOffsetY(cursor * 50 + top);
    Vis(light, cursor >= 0);
    Vis(menuSub_ ? MenuLight : SMenuLight, false);
    // The light and the buttons mark their own areas as they change.
}

void TSubWinUnit::MenuOpenSystem(bool instant) {
    if (!setup_) return;
    menuSub_ = 0;
    Vis(MenuBase, true), Vis(SMenuBase, false);
    MenuSetCursor(-1);
    Vis(MenuWin, true);
    if (instant) {
        menuState_ = swRest;
        MenuSetCursor(menuRequested_ >= 0 ? menuRequested_ : 7);
    } else {
        menuState_ = swAppear, menuCounter_ = 0;
    }
}

void TSubWinUnit::MenuOpenSub(bool instant) {
    if (!setup_) return;
    menuSub_ = 1;
    Vis(SMenuBase, true), Vis(MenuBase, false);
    MenuSetCursor(-1);
    Vis(MenuWin, true);
    if (instant) {
        menuState_ = swRest;
        // A request past the sub-menu's three items names none of them.
        MenuSetCursor(menuRequested_ > 0 && menuRequested_ < kSubItems ? menuRequested_ : 0);
    } else {
        menuState_ = swAppear, menuCounter_ = 0;
    }
}

void TSubWinUnit::MenuClose(bool instant) {
    if (!setup_) return;
    MenuSetCursor(-1);
    if (instant) {
        Vis(MenuWin, false);
        menuState_ = swRest;
    } else {
        menuState_ = swDisappear, menuCounter_ = 0;
    }
}

void TSubWinUnit::MenuSwitch(uint8_t toSub) {
    MenuSetCursor(-1);
    menuFrom_ = menuSub_;
    menuSub_ = toSub;
    Vis(toSub ? SMenuBase : MenuBase, true);
    menuState_ = swBusy, menuCounter_ = 0;
    MenuWin->SetModify();
}

bool TSubWinUnit::MenuFrame(int32_t ticks, bool skipping) {
    (void)ticks, (void)skipping;
    if (!setup_ || menuState_ == swRest) return false;
    // Only the bases change their opacity.
    MenuBase->SetModify();
    SMenuBase->SetModify();
    if (++menuCounter_ < kMenuFrames) return true;
    menuCounter_ = kMenuFrames;
    const uint8_t was = menuState_;
    menuState_ = swRest;
    if (was == swAppear) {
        const int wanted =
            menuSub_ ? (menuRequested_ >= 0 && menuRequested_ < kSubItems ? menuRequested_ : 0)
                     : (menuRequested_ >= 0 ? menuRequested_ : 7);
        MenuSetCursor(wanted);
    } else if (was == swDisappear) {
        Vis(MenuWin, false);
    } else {
        Vis(menuFrom_ ? SMenuBase : MenuBase, false);
        MenuSetCursor(0);
    }
    return false;
}

void TSubWinUnit::MenuCursorUp() {
    // Every step at rest sounds, also one that ends where it began.
    if (menuState_ != swRest) return;
    Sound(3);
    const int n = menuSub_ ? kSubItems : kMenuItems;
    const int from = MenuCursor();
    int i = from < 0 ? n - 1 : from - 1;
    for (int step = 0; step < n; ++step, --i) {
        if (i < 0) i = n - 1;
        if (MenuItemTakes(i)) {
            MenuSetCursor(i);
            return;
        }
    }
}

void TSubWinUnit::MenuCursorDown() {
    // Every step at rest sounds, also one that ends where it began.
    if (menuState_ != swRest) return;
    Sound(3);
    const int n = menuSub_ ? kSubItems : kMenuItems;
    const int from = MenuCursor();
    int i = from < 0 ? 0 : from + 1;
    for (int step = 0; step < n; ++step, ++i) {
        if (i >= n) i = 0;
        if (MenuItemTakes(i)) {
            MenuSetCursor(i);
            return;
        }
    }
}

void TSubWinUnit::MenuSelect() {
    if (menuState_ != swRest) return;
    const int c = MenuCursor();
    if (menuSub_) {
        if (c < 0 || c >= kSubItems) return;
        if (c == 2) {
            Sound(1);
            MenuSwitch(0);
        } else {
            Sound(0);
            menuResult_ = c + 100;
            if (menuCb_.IsSet()) menuCb_.Call();
        }
        return;
    }
    if (!MenuItemTakes(c)) return;
    Sound(c == 7 ? 1 : 0);
    if (c == 0) {
        MenuSwitch(1);
        return;
    }
    menuResult_ = c;
    if (menuCb_.IsSet()) menuCb_.Call();
}

void TSubWinUnit::MenuCancel() {
    if (menuState_ != swRest || !MenuIsVisible()) return;
    Sound(1);
    if (menuSub_) {
        MenuSwitch(0);
        return;
    }
    menuResult_ = -1;
    if (menuCb_.IsSet()) menuCb_.Call();
}

void TSubWinUnit::MenuButtonEntered(int i) {
    if (menuState_ != swRest || !MenuItemTakes(i)) return;
    Sound(3);
    MenuSetCursor(i);
}

void TSubWinUnit::MenuButtonClicked(int i) {
    if (menuState_ != swRest || !MenuItemTakes(i)) return;
    MenuSetCursor(i);
    MenuSelect();
}

bool TSubWinUnit::MenuDrawBase(TNyRGBPanel* p, TNyRGBBits* dest, int x, int y, int sx, int sy,
                               int dx, int dy) {
    // A button fades with the base it stands on.
    const bool isSub = p == SMenuBase || p->GetParent() == SMenuBase;
    int rate = 128;
    const int c = menuCounter_;
    if (menuState_ == swAppear) rate = c * 128 / kMenuFrames;
    if (menuState_ == swDisappear) rate = (kMenuFrames - c) * 128 / kMenuFrames;
    if (menuState_ == swBusy)
        rate = (isSub == (menuSub_ != 0)) ? c * 128 / kMenuFrames
                                          : (kMenuFrames - c) * 128 / kMenuFrames;
    DrawPanelImage(p, dest, x, y, sx, sy, dx, dy, rate);
    return true;
}

void TSubWinUnit::BuildPlatesAndMenu() {
    DateWin = Make<TNyRGBPanel>(nullptr, 0, 0, 83, 40);
    const int dateX[4] = {0, 16, 41, 57};
    for (int i = 0; i < 4; ++i) {
        DateDigit[i] = Make<TNyRGBPanel>(DateWin, dateX[i], 1, 26, 24, "CalDateNum.png");
        DateDigit[i]->SetNumBlock(10);
    }
    DateSep = Make<TNyRGBPanel>(DateWin, 32, 0, 0, 0, "CalSlash.png");
    TimeWin = Make<TNyRGBPanel>(nullptr, 1280 - 81, 0, 81, 26);
    const int timeX[4] = {0, 10, 43, 59};
    for (int i = 0; i < 4; ++i) {
        TimeDigit[i] = Make<TNyRGBPanel>(TimeWin, timeX[i], 0, 22, 26, "CalTimeNum.png");
        TimeDigit[i]->SetNumBlock(10);
    }
    TimeSep = Make<TNyRGBPanel>(TimeWin, 35, 2, 0, 0, "CalColon.png");
    PlaceWin = Make<TNyRGBPanel>(nullptr, 0, kCardY, 0, 0);
    for (TNyRGBPanel* p : {DateWin, TimeWin, PlaceWin}) {
        p->SetVisible(false);
        p->SetMaskMode(3);
        p->SetMouseControl(false);
    }
    PlaceWin->SetMaskMode(0);
    PlaceWin->SetAutoSize(true);

    MenuWin = Make<TNyRGBPanel>(nullptr, 0, 0, 1280, 720);
    MenuWin->SetVisible(false);
    MenuWin->OnDraw = [](TNyRGBPanel*, TNyRGBBits*, int, int, int, int, int, int) { return true; };
    MenuBase = Make<TNyRGBPanel>(MenuWin, 361, 87, 558, 513, "MenuSysBase.png");
    SMenuBase = Make<TNyRGBPanel>(MenuWin, 361, 92, 558, 481, "MenuSaveBase.png");
    auto menuDown = [this](TNyRGBPanel*, TMouseButton b, TShiftState, int, int) {
        if (b == mbRight) MenuCancel();
    };
    MenuWin->OnMouseDown = MenuBase->OnMouseDown = SMenuBase->OnMouseDown = menuDown;
    MenuBase->OnDraw = SMenuBase->OnDraw = [this](TNyRGBPanel* p, TNyRGBBits* d, int x, int y,
                                                  int sx, int sy, int dx, int dy) {
        return MenuDrawBase(p, d, x, y, sx, sy, dx, dy);
    };
    const char* sys[8] = {"MenuSysSaveLoad.png", "MenuSysSkip.png",    "MenuSysAuto.png",
                          "MenuSysView.png",     "MenuSysBacklog.png", "MenuSysConfig.png",
                          "MenuSysTitle.png",    "MenuSysCancel.png"};
    const char* sub[3] = {"MenuSaveSave.png", "MenuSaveLoad.png", "MenuSaveCancel.png"};
    MenuLight = Make<TNyRGBPanel>(MenuBase, 425, 62, 0, 0, "MenuSysLight.png");
    SMenuLight = Make<TNyRGBPanel>(SMenuBase, 425, 173, 0, 0, "MenuSaveLight.png");
    for (int i = 0; i < 11; ++i) {
        const bool isSub = i >= 8;
        const int k = isSub ? i - 8 : i;
        TNySButton* b =
            Make<TNySButton>(isSub ? SMenuBase : MenuBase, 0, k * 50 + (isSub ? 173 : 62), 0, 0,
                             isSub ? sub[k] : sys[k]);
        b->SetNumBlock(2), b->SetFrameNum(1, 1);
        b->SetAutoFocus(false);
        // Centred on the base once the picture gives the button its width.
        b->OnCreate = [this](TNyRGBPanel* s) {
            SetPanelImageFile(s, files_, s->GetText());
            s->SetOffsetX((558 - s->GetSizeX()) / 2);
        };
        b->OnClick = [this, k](TNyRGBPanel*) { MenuButtonClicked(k); };
        b->OnMouseEnter = [this, k](TNyRGBPanel*) { MenuButtonEntered(k); };
        b->OnMouseDown = [this](TNyRGBPanel*, TMouseButton mb, TShiftState, int, int) {
            if (mb == mbRight) MenuCancel();
        };
        b->OnDraw = MenuBase->OnDraw;
        (isSub ? SMenuBtn[k] : MenuBtn[k]) = b;
    }
    MenuLight->SetVisible(false), SMenuLight->SetVisible(false);
    MenuLight->SetMouseControl(false), SMenuLight->SetMouseControl(false);
}
