// TSubWinUnit: every text window of the adventure scene and the small windows around them:
// the message window with its name plate and icons, the full-screen novel window, the backlog
// with its scroll bar, the choice window, the date and time plates, the place card and the
// system menu bar. Each window is a small state machine the host steps once a frame with the
// elapsed ticks and the skipping flag; each reports through its own callback record. Text is
// rendered once into alpha maps and painted white (shadow black) through them, so a typed
// character costs a column copy, not a glyph render.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/zrcallback.h"
#include "foundation/zrfileman.h"
#include "foundation/zrstring.h"
#include "platform/component.h"
#include "scenes/avgseams.h"
#include "widgets/nyrgbanime.h"
#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbpanel.h"
#include "widgets/nyrgbtext.h"

class GameState;

using TNySButton = TNyAnimeButton<TNyRGBSimple>;

// Window states shared by the windows: 1 at rest, 2 appearing, 3 disappearing, 4 typing (text
// windows) or held (plates, card), 4 switching (menu bar).
enum SubWinState : uint8_t { swRest = 1, swAppear = 2, swDisappear = 3, swBusy = 4 };

class TSubWinUnit : public plat::TComponent, public AvgWindows {
  public:
    static constexpr int kLineBytes = 53;  // 26 double-byte characters and a zero
    static constexpr int kLineChars = 26;
    static constexpr int kMesLines = 4;  // line 0 is the speaker's name
    static constexpr int kNovelLines = 16;
    static constexpr int kFadeFrames = 5;
    static constexpr int kSelFadeFrames = 15;
    static constexpr int kMenuFrames = 8;

    explicit TSubWinUnit(plat::TComponent* owner = nullptr);
    ~TSubWinUnit() override;

    // ---- Life cycle ----
    bool Setup(ZRFileMan* files);
    void Release();
    bool IsSetup() const { return setup_; }
    // The game state whose backlog, date and time the windows show; the program's own unless
    // a test binds one.
    void BindState(GameState* state) { state_ = state; }
    // Where the windows' system sounds go (the host's sound channels).
    void SetAudio(AvgAudio* audio) { audio_ = audio; }

    void MesAttach(TNyRGBPanel* parent);
    void MesDetach();
    void NovelAttach(TNyRGBPanel* parent);
    void NovelDetach();
    void LogAttach(TNyRGBPanel* parent);
    void LogDetach();
    void SelAttach(TNyRGBPanel* parent);
    void SelDetach();
    void PlatesAttach(TNyRGBPanel* parent);  // date, time and place card
    void PlatesDetach();
    void MenuAttach(TNyRGBPanel* parent);
    void MenuDetach();
    // The parent the last AttachAll used; DetachAll keeps it for the next AttachAll.
    void SetParentPanel(TNyRGBPanel* parent) { parent_ = parent; }

    void SetMesCallback(const ZRBaseCallback1<void, int>& cb) { mesCb_ = cb; }
    void SetNovelCallback(const ZRBaseCallback1<void, int>& cb) { novelCb_ = cb; }
    void SetLogCallback(const ZRBaseCallback1<void, int>& cb) { logCb_ = cb; }
    void SetSelCallback(const ZRBaseCallback1<void, int>& cb) { selCb_ = cb; }
    void SetMenuCallback(const ZRBaseCallback0<void>& cb) { menuCb_ = cb; }

    // All windows one frame on; true while any of them moves.
    bool StepAll(int32_t ticks, bool skipping);

    // ---- Message window ----
    void MesShow(bool instant);
    void MesHide(bool instant);
    bool MesIsMoving() const { return mes_.state != swRest; }
    bool MesIsTyping() const { return mes_.state == swBusy; }
    bool MesIsVisible() const;
    bool MesAddText(const ZRString& text, int32_t cost);
    void MesNewLine();
    void MesClear();
    void MesWaitIcon(bool on);
    void MesFFIcon(bool on);
    void MesAutoSkip(bool autoOn, bool skipOn);
    bool MesFrame(int32_t ticks, bool skipping);
    // The opacity the back, frame, wing and plate draw with now (128 = opaque).
    int MesPartsRate() const;

    // ---- Novel window ----
    void NovelShow(bool instant);
    void NovelHide(bool instant);
    bool NovelIsMoving() const { return novel_.state != swRest; }
    bool NovelIsTyping() const { return novel_.state == swBusy; }
    bool NovelIsVisible() const;
    bool NovelAddText(const ZRString& text, int32_t cost);
    void NovelNewLine();
    void NovelClear();
    void NovelWaitIcon(bool on);
    bool NovelFrame(int32_t ticks, bool skipping);
    // Grey level of the backdrop (128 unchanged).
    int NovelToneLevel() const;

    // ---- Backlog ----
    void LogShow(bool instant);
    void LogHide(bool instant);
    bool LogIsMoving() const { return log_.state != swRest; }
    bool LogIsVisible() const;
    void LogSetRange(int32_t n);
    void LogSetPosition(int32_t p);
    int32_t LogGetPosition() const { return logPos_; }
    int32_t LogGetRange() const { return logRange_; }
    // Opens at the newest page of the game state's backlog.
    void LogOpenView();
    // Fills the view from first line top (clamped).
    void LogFill(int32_t top);
    // False when the top did not change.
    bool LogScroll(int32_t delta);
    bool LogFrame(int32_t ticks, bool skipping);
    int LogToneLevel() const;
    int LogKnobY() const;

    // ---- Choice window ----
    void SelClear();
    void SelSetText(int index, const ZRString& text);
    void SelShow(bool instant);
    void SelHide(bool instant);
    bool SelIsMoving() const { return sel_.state != swRest; }
    bool SelIsVisible() const;
    void SelCursorUp();
    void SelCursorDown();
    int32_t SelGetFocused() const { return selFocus_; }
    bool SelFrame(int32_t ticks, bool skipping);
    int SelRate() const;
    bool SelPresent(int i) const { return i == 0 || (i > 0 && i < 4 && selPresent_[i]); }
    int SelBaseWidthChars() const { return selWide_ ? 16 : 8; }

    // ---- Date and time plates ----
    void DatePlateShow(bool instant);
    void DatePlateHide(bool instant);
    void TimePlateShow(bool instant);
    void TimePlateHide(bool instant);
    bool DateIsMoving() const { return date_.state != swRest && date_.state != swBusy; }
    bool TimeIsMoving() const { return time_.state != swRest && time_.state != swBusy; }
    bool DateIsVisible() const;
    bool TimeIsVisible() const;
    void PlatesClockRefresh();
    bool PlatesFrame(int32_t ticks, bool skipping);
    uint8_t ShownMonth() const { return shownMonth_; }
    uint8_t ShownDay() const { return shownDay_; }
    uint8_t ShownHour() const { return shownHour_; }
    uint8_t ShownMinute() const { return shownMinute_; }

    // ---- Place card ----
    void PlaceCardShow(int32_t n);
    void PlaceCardHide();
    bool PlaceIsMoving() const { return place_.state != swRest; }
    bool PlaceIsVisible() const;
    bool PlaceFrame(int32_t ticks, bool skipping);

    // ---- Menu bar ----
    void MenuOpenSystem(bool instant);
    void MenuOpenSub(bool instant);
    void MenuClose(bool instant);
    void MenuEnable(int i, bool on);
    void MenuSetRequested(int i);
    void MenuCursorUp();
    void MenuCursorDown();
    void MenuSelect();
    void MenuCancel();
    int32_t MenuGetResult() const { return menuResult_; }
    bool MenuIsMoving() const { return menuState_ != swRest; }
    bool MenuIsVisible() const;
    bool MenuIsSub() const { return menuSub_ != 0; }
    int32_t MenuCursor() const { return menuSub_ ? smenuCursor_ : menuCursor_; }
    bool MenuFrame(int32_t ticks, bool skipping);

    // ---- The host's seam ----
    void AddText(bool novel, const ZRString& text, int32_t cost) override;
    void NewLine(bool novel) override;
    void Clear(bool novel) override;
    void Show(bool novel, bool show, bool instant) override;
    bool IsMoving(bool novel) const override;
    bool IsTyping(bool novel) const override;
    void NamePlateJump() override;
    void WaitIcon(bool novel, bool show) override;
    void SetModeButtons(bool autoMode, bool skipMode) override;
    void SelectClear() override { SelClear(); }
    void SelectAdd(int index, const ZRString& text) override { SelSetText(index, text); }
    void SelectShow(bool instant) override { SelShow(instant); }
    bool IsSelectMoving() const override { return SelIsMoving(); }
    void DateShow(bool instant) override { DatePlateShow(instant); }
    void DateHide(bool instant) override { DatePlateHide(instant); }
    void TimeShow(bool instant) override { TimePlateShow(instant); }
    void TimeHide(bool instant) override { TimePlateHide(instant); }
    void PlatesRefresh() override { PlatesClockRefresh(); }
    void PlaceShow(int32_t n) override { PlaceCardShow(n); }
    void PlaceHide() override { PlaceCardHide(); }
    bool IsPlaceVisible() const override { return PlaceIsVisible(); }
    void DetachAll() override;
    void AttachAll() override;
    void Frame(int32_t ticks, bool skipping) override { StepAll(ticks, skipping); }
    int32_t SelectIndex() const override { return SelIsVisible() ? selFocus_ : -1; }
    bool SelectHide(bool instant) override {
        SelHide(instant);
        return SelIsMoving();
    }
    void BacklogHide(bool instant) override { LogHide(instant); }
    bool IsBacklogMoving() const override { return LogIsMoving(); }
    void MenuBarClose(bool instant) override { MenuClose(instant); }
    bool IsMenuBarMoving() const override { return MenuIsMoving(); }
    int32_t MenuBarResult() const override { return menuResult_; }
    bool IsVisible(bool novel) const override { return novel ? NovelIsVisible() : MesIsVisible(); }
    void ShowBacklogView() override { LogOpenView(); }
    void BacklogShow(bool instant) override { LogShow(instant); }
    bool IsBacklogVisible() const override { return LogIsVisible(); }
    bool BacklogScroll(int32_t delta) override { return LogScroll(delta); }
    void BacklogFromBar() override { LogFill(logPos_); }
    bool IsSelectVisible() const override { return SelIsVisible(); }
    void SelectCursor(bool up) override { up ? SelCursorUp() : SelCursorDown(); }
    bool IsDateVisible() const override { return DateIsVisible(); }
    bool IsTimeVisible() const override { return TimeIsVisible(); }
    void MenuBarOpenAt(int32_t item) override {
        MenuSetRequested(item);
        MenuOpenSystem(false);
    }
    void MenuBarOpenSubAt(int32_t item) override {
        MenuSetRequested(item);
        MenuOpenSub(false);
    }
    void MenuBarEnable(int item, bool on) override { MenuEnable(item, on); }
    void MenuBarCursor(bool up) override { up ? MenuCursorUp() : MenuCursorDown(); }
    void MenuBarSelect() override { MenuSelect(); }
    void MenuBarCancel() override { MenuCancel(); }

    // The host's set-up: the windows hang on its root panel.
    void AttachTo(TNyRGBPanel* root) { SetParentPanel(root); }
    void SetBacklogRange(int32_t lines) { LogSetRange(lines); }
    // The box's opacity from the player's transparency percent; kept, not drawn with.
    void SetBoxOpacity(int32_t percent);
    int32_t BoxOpacity() const { return boxRate_; }

    // ---- Text helpers, public for the tests and the fuzz target ----
    // Appends the double-byte characters of text to a line of at most 26 characters.
    static void AppendDoubleByte(char* line, int& count, const ZRString& text);
    // Cuts a choice text to 52 bytes without splitting a character.
    static ZRString CutChoiceText(const ZRString& text);

    // Widgets, reachable for the tests and the host.
    TNyRGBPanel *MesWin = nullptr, *MesBack = nullptr, *MesFrame_ = nullptr, *MesShadow = nullptr,
                *MesText = nullptr, *MesNameC = nullptr, *MesNameR = nullptr,
                *MesNameShadow = nullptr, *MesNameText = nullptr;
    TNyRGBSimple *MesWait = nullptr, *MesFF = nullptr, *MesWing = nullptr;
    TNySButton *MesLook = nullptr, *MesAuto = nullptr, *MesSkip = nullptr, *MesLog = nullptr,
               *MesSave = nullptr, *MesLoad = nullptr, *MesConfig = nullptr;
    TNyRGBPanel *NovelWin = nullptr, *NovelShadow = nullptr, *NovelText = nullptr;
    TNyRGBSimple* NovelWait = nullptr;
    TNyRGBText *MesTextMaker1 = nullptr, *MesTextMaker2 = nullptr, *MesTextMaker3 = nullptr;
    TNyRGBPanel *LogWin = nullptr, *LogBack = nullptr, *LogShadow = nullptr, *LogText = nullptr,
                *LogFrame_ = nullptr, *LogBar = nullptr, *LogPos = nullptr;
    TNySButton *LogClose = nullptr, *LogUp = nullptr, *LogDown = nullptr;
    TNyRGBPanel* SelWin = nullptr;
    TNySButton* SelBase[4] = {};
    TNyRGBPanel *SelShadow[4] = {}, *SelText[4] = {};
    TNyRGBPanel *DateWin = nullptr, *TimeWin = nullptr, *PlaceWin = nullptr;
    TNyRGBPanel *DateDigit[4] = {}, *DateSep = nullptr, *TimeDigit[4] = {}, *TimeSep = nullptr;
    TNyRGBPanel *MenuWin = nullptr, *MenuBase = nullptr, *MenuLight = nullptr, *SMenuBase = nullptr,
                *SMenuLight = nullptr;
    TNySButton *MenuBtn[8] = {}, *SMenuBtn[3] = {};

    // The maps text is painted through.
    TNyAlpha* MesTextMap() const { return mesMap_.get(); }
    TNyAlpha* NameMap() const { return nameMap_.get(); }
    TNyAlpha* NovelTextMap() const { return novelMap_.get(); }
    TNyAlpha* LogTextMap() const { return logMap_.get(); }
    TNyAlpha* SelTextMap(int i) const { return selMap_[i].get(); }
    const char* MesLine(int i) const { return mes_.lines[i]; }
    const char* NovelLine(int i) const { return novel_.lines[i]; }
    int32_t NamePlateWidth() const { return nameWidth_; }
    int32_t NamePlateTarget() const { return nameTarget_; }
    uint8_t MesState() const { return mes_.state; }
    uint8_t NovelState() const { return novel_.state; }
    uint8_t LogState() const { return log_.state; }
    uint8_t SelState() const { return sel_.state; }
    uint8_t DateState() const { return date_.state; }
    uint8_t TimeState() const { return time_.state; }
    uint8_t PlaceState() const { return place_.state; }
    uint8_t MenuState() const { return menuState_; }

  private:
    struct TextWin {
        uint8_t state = swRest;
        char lines[kNovelLines][kLineBytes] = {};
        int32_t line = 0, drawn = 0, count = 0;
        int32_t cost = 0, progress = 0, fade = 0;
        int32_t shown = 0;  // characters of the typed line copied so far
        bool waitIcon = false;
    };
    struct Slide {
        uint8_t state = swRest;
        int32_t counter = 0;
    };

    template <class P>
    P* Make(TNyRGBPanel* parent, int x, int y, int w, int h, const char* picture = nullptr);
    void Build();
    void BuildOthers();
    void BuildPlatesAndMenu();
    void MenuSwitch(uint8_t toSub);
    void LoadPictures();
    TNyRGBText* MakeTextMaker(int fontSize, int width, int shade);
    TNyRGBPanel* Root(int window) const;
    void SendCode(const ZRBaseCallback1<void, int>& cb, int code) const;
    void Sound(int n) const;
    GameState& State() const;

    // Renders a line through a text maker into a band of a map.
    void RenderLine(TNyRGBText* maker, const char* text, TNyAlpha* map, int y, int width,
                    int height);
    bool AddTextTo(TextWin& w, bool novel, const ZRString& text, int32_t cost);
    bool TypeFrame(TextWin& w, bool novel, int32_t ticks, bool skipping);
    void TypeCopy(TextWin& w, bool novel, int from, int to);
    void FinishTyping(TextWin& w, bool novel);
    void MesPartsVisible(bool on);
    void MesSetPlate(int32_t width);
    void MesUpdateIcons();
    void NovelPlaceWait();
    void LogPartsVisible(bool on);
    void LogPlaceKnob();
    void SelLayout();
    void SelBaseClicked(int i);
    void SelEnter(int i);
    void PlatePlace(bool date, const Slide& s, int step);
    void PlateShowDigits();
    void PlaceCardFree();
    void MenuSetCursor(int i);
    bool MenuItemTakes(int i) const;
    void MenuButtonClicked(int i);
    void MenuButtonEntered(int i);
    bool MenuDrawBase(TNyRGBPanel* p, TNyRGBBits* dest, int x, int y, int sx, int sy, int dx,
                      int dy);
    bool TextPanelDraw(TNyRGBPanel* p, TNyAlpha* map, int mapX, int mapY, uint32_t colour, int rate,
                       TNyRGBBits* dest, int x, int y, int sx, int sy, int dx, int dy);

    bool setup_ = false;
    ZRFileMan* files_ = nullptr;
    GameState* state_ = nullptr;
    AvgAudio restAudio_;
    AvgAudio* audio_ = &restAudio_;
    TNyRGBPanel* parent_ = nullptr;
    std::vector<TNyRGBPanel*> panels_;  // every widget, in the order made

    ZRBaseCallback1<void, int> mesCb_, novelCb_, logCb_, selCb_;
    ZRBaseCallback0<void> menuCb_;

    // Message window.
    TextWin mes_;
    bool ffShown_ = false;
    int32_t nameWidth_ = -1, nameTarget_ = -1;
    std::unique_ptr<TNyAlpha> mesMap_, nameMap_, mesSource_;
    int32_t boxRate_ = 128;
    // Novel window.
    TextWin novel_;
    std::unique_ptr<TNyAlpha> novelMap_, novelSource_;
    // Backlog.
    TextWin log_;
    int32_t logRange_ = 0, logPos_ = 0, logTop_ = 0;
    std::unique_ptr<TNyAlpha> logMap_;
    // Choices.
    Slide sel_;
    char selText_[4][kLineBytes] = {};
    bool selPresent_[4] = {};
    int32_t selFocus_ = -1;
    bool selWide_ = false;
    std::unique_ptr<TNyAlpha> selMap_[4];
    TNyRGBPanel* selHolder_[2] = {};  // the two base pictures, shared by the four bases
    // Plates and card.
    Slide date_, time_, place_;
    uint8_t shownMonth_ = 1, shownDay_ = 1, shownHour_ = 0, shownMinute_ = 0;
    int32_t shownTicks_ = 0, blink_ = 0;
    TNyRGBBits* placePic_ = nullptr;
    TNyAlpha* placeAlpha_ = nullptr;
    // Menu bar.
    uint8_t menuState_ = swRest, menuSub_ = 0, menuFrom_ = 0;
    int32_t menuCounter_ = 0, menuCursor_ = -1, smenuCursor_ = -1, menuResult_ = 0;
    bool menuEnabled_[8] = {};
    int32_t menuRequested_ = -1;
};
