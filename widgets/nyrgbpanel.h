// TNyRGBPanel: the node of the windowless widget tree every screen is built from. A panel is a
// rectangle placed inside its parent, with an optional picture (a vertical strip of equal
// blocks) and an ordered list of children drawn back to front. The tree records changed areas
// as rectangle sets so a frame can repaint only those, routes mouse and key input to the panel
// that wants it, and carries the per-frame animation tick. Subclasses hook in by overriding the
// CallOn... slots, through which every event is fired. Pictures and alpha planes bound to a
// panel belong to whoever bound them. The tree has no lock: one thread uses it at a time.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/zrrect.h"
#include "foundation/zrstring.h"
#include "media/zrrgbraw.h"
#include "platform/component.h"

class TNyRGBBits;
class TNyAlpha;
class TNyRGBPanel;

// Modifier keys and mouse buttons held while an input event happened.
using TShiftState = uint8_t;
constexpr TShiftState kShiftKey = 0x01;
constexpr TShiftState kAltKey = 0x02;
constexpr TShiftState kCtrlKey = 0x04;
constexpr TShiftState kLeftHeld = 0x08;
constexpr TShiftState kRightHeld = 0x10;
constexpr TShiftState kMiddleHeld = 0x20;
constexpr TShiftState kDoubleClick = 0x40;

enum TMouseButton : uint8_t { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

struct TPoint {
    int x;
    int y;
};

// How a panel's picture is drawn: 0 opaque, 1 through an alpha plane (the bound one, else the
// picture's own alpha channel), 2 skipping the colour key, 3 not at all.
using TMaskMode = uint8_t;

// Events; the first argument is always the panel that fires them.
using TNyPanelEvent = std::function<void(TNyRGBPanel* sender)>;
using TNyMouseMoveEvent = std::function<void(TNyRGBPanel* sender, TShiftState, int x, int y)>;
using TNyMouseEvent =
    std::function<void(TNyRGBPanel* sender, TMouseButton, TShiftState, int x, int y)>;
using TNyMouseWheelEvent = std::function<void(TNyRGBPanel* sender, TShiftState, int wheelDelta,
                                              const TPoint& mousePos, bool& handled)>;
using TNyKeyEvent = std::function<void(TNyRGBPanel* sender, uint16_t& key, TShiftState)>;
using TNyKeyPressEvent = std::function<void(TNyRGBPanel* sender, char& key)>;
// True when the handler painted the area: the panel's picture is then not drawn.
using TNyDrawEvent = std::function<bool(TNyRGBPanel* sender, TNyRGBBits* dest, int x, int y,
                                        int sx, int sy, int dx, int dy)>;

class TNyRGBPanel : public plat::TComponent {
  public:
    explicit TNyRGBPanel(plat::TComponent* owner);
    TNyRGBPanel(plat::TComponent* owner, TNyRGBPanel* parent);
    ~TNyRGBPanel() override;

    // Event slots: each fires its event with this panel as sender when it is set.
    virtual void CallOnClick();
    virtual void CallOnCreate();
    virtual void CallOnRelease();
    virtual void CallOnShow();
    virtual void CallOnHide();
    virtual void CallOnMouseMove(TShiftState shift, int x, int y);
    virtual void CallOnMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void CallOnMouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void CallOnMouseEnter();
    virtual void CallOnMouseLeave();
    virtual void CallOnMouseWheel(TShiftState shift, int delta, const TPoint& pos, bool& handled);
    virtual void CallOnKeyDown(uint16_t& key, TShiftState shift);
    virtual void CallOnKeyUp(uint16_t& key, TShiftState shift);
    virtual void CallOnKeyPress(char& key);
    virtual void CallOnChange();
    virtual void CallOnActivate();
    virtual void CallOnDeactivate();
    virtual void CallOnAnime();
    virtual bool CallOnDraw(TNyRGBBits* dest, int x, int y, int sx, int sy, int dx, int dy);
    // Forgets the transient input state of the subtree and marks it wholly dirty.
    virtual void StatusClear();

    // Life cycle. Only a created, visible panel under created, visible ancestors is drawn,
    // dirtied, hit by the mouse or handed keys; animation needs only the created flag.
    bool Create();
    void Release();
    bool GetCreated() const { return FCreated; }
    void SetCreated(bool created);
    bool AllCreate();
    void AllRelease();
    bool Show();
    void Hide();
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool visible);
    void Anime();

    // Tree and z-order; index 0 is the back-most child.
    TNyRGBPanel* GetParent() const { return FParent; }
    void SetParent(TNyRGBPanel* parent);
    void AddChild(TNyRGBPanel* child);
    void DelChild(TNyRGBPanel* child);
    int GetChildCount() const { return static_cast<int>(FChildren.size()); }
    TNyRGBPanel* GetChild(int i) const;
    bool SearchPanelToParent(TNyRGBPanel* target) const;
    void RaiseOrder(TNyRGBPanel* child, TNyRGBPanel* ref);
    void DownOrder(TNyRGBPanel* child, TNyRGBPanel* ref);
    void SetActive();
    bool GetActive() const { return FActive; }
    // The front-most created and visible child: the next link of the key chain.
    TNyRGBPanel* GetActivePanel() const;
    void ClientToScreen(int& x, int& y) const;
    void ScreenToClient(int& x, int& y) const;

    // Properties.
    TNyRGBBits* GetImage() const { return FImage; }
    void SetImage(TNyRGBBits* image);
    TNyAlpha* GetAlpha() const { return FAlpha; }
    void SetAlpha(TNyAlpha* alpha);
    ZRRGB GetColorKey() const { return FColorKey; }
    void SetColorKey(ZRRGB key);
    TMaskMode GetMaskMode() const { return FMaskMode; }
    void SetMaskMode(TMaskMode mode);
    int GetOffsetX() const { return FOffsetX; }
    int GetOffsetY() const { return FOffsetY; }
    void SetOffsetX(int x);
    void SetOffsetY(int y);
    int GetSizeX() const { return FSizeX; }
    int GetSizeY() const { return FSizeY; }
    void SetSizeX(int x);
    void SetSizeY(int y);
    int GetNumBlock() const { return FNumBlock; }
    void SetNumBlock(int n);
    int GetBlockIndex() const { return FBlockIndex; }
    void SetBlockIndex(int i);
    bool GetAutoSize() const { return FAutoSize; }
    void SetAutoSize(bool on);
    bool GetKeyControl() const { return FKeyControl; }
    void SetKeyControl(bool on) { FKeyControl = on; }
    bool GetMouseControl() const { return FMouseControl; }
    void SetMouseControl(bool on) { FMouseControl = on; }
    bool GetMouseTrans() const { return FMouseTrans; }
    void SetMouseTrans(bool on) { FMouseTrans = on; }
    const ZRString& GetText() const { return FText; }
    void SetText(const ZRString& text) { FText = text; }

    // Dirty rectangles, in the panel's own coordinates.
    void SetModifyRect(ZRRect r);
    void SetModify();
    void SetModified(bool on);
    void ClrModify() { FModified.SetRectEmpty(); }
    void ClrModifyToChild();
    void SubModify(ZRRect r) { FModified.SubtractRect(r); }
    void SetModifyToParent(ZRRect r);
    void SetModifyToParent();
    void SetModifyToChild(TNyRGBPanel* except, ZRRect r);
    void SetModifyToChild(TNyRGBPanel* except);
    void SetModifyFromParent(ZRRect r);
    void SetModifyFromChild(TNyRGBPanel* child, ZRRect r);
    bool GetModified() const;
    const ZRRectSet& GetOwnModified() const { return FModified; }
    void GetModifiedRectSet(ZRRectSet* out) const;
    void GetModifiedRect(ZRRect* out) const;

    // Drawing: the panel's origin goes to (x, y) of dest; (sx, sy, dx, dy) is the part drawn.
    bool Draw(TNyRGBBits* dest, int x, int y, int sx, int sy, int dx, int dy);
    bool Draw(TNyRGBBits* dest, int x, int y);
    bool Draw(TNyRGBBits* dest) { return Draw(dest, FOffsetX, FOffsetY); }
    bool Update(TNyRGBBits* dest, int x, int y);
    bool Update(TNyRGBBits* dest) { return Update(dest, FOffsetX, FOffsetY); }

    // Input, with (x, y) in this panel's coordinates; each tells whether a panel handled it.
    bool MouseMove(TShiftState shift, int x, int y);
    bool MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    bool MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    void MouseWheel(TShiftState shift, int delta, const TPoint& pos, bool& handled);
    void MouseEnter(int x, int y);
    void MouseLeave();
    bool KeyDown(uint16_t& key, TShiftState shift);
    bool KeyUp(uint16_t& key, TShiftState shift);
    bool KeyPress(char& key);
    bool PosIsTrans(int x, int y) const;
    bool PosInPanel(int x, int y, bool deep) const;
    TNyRGBPanel* FindPosPanel(int x, int y, bool deep) const;
    void SetMouseCapToParent(TNyRGBPanel* p);
    void SetMouseCapToChild(TNyRGBPanel* p);
    TNyRGBPanel* GetMouseCapture() const { return FCapture; }
    TNyRGBPanel* GetHoverChild() const { return FHover; }
    bool GetPressed() const { return FPressed; }

    TNyPanelEvent OnClick, OnCreate, OnRelease, OnShow, OnHide, OnMouseEnter, OnMouseLeave,
        OnChange, OnActivate, OnDeactivate, OnAnime;
    TNyMouseMoveEvent OnMouseMove;
    TNyMouseEvent OnMouseDown, OnMouseUp;
    TNyMouseWheelEvent OnMouseWheel;
    TNyKeyEvent OnKeyDown, OnKeyUp;
    TNyKeyPressEvent OnKeyPress;
    TNyDrawEvent OnDraw;

  private:
    bool Drawable() const { return FCreated && FVisible; }
    ZRRect ClientRect() const { return ZRRect{0, 0, FSizeX, FSizeY}; }
    ZRRect AreaInParent() const {
        return ZRRect{FOffsetX, FOffsetY, FOffsetX + FSizeX, FOffsetY + FSizeY};
    }
    TNyRGBPanel* Root();
    // Whether this panel or an ancestor is creating or releasing its whole subtree.
    bool InBulk() const;
    void RecalcActive();
    void SetActiveToChild();
    void TellActive(bool active);
    // Clears the capture when this panel or one of its descendants holds it.
    void DropCaptureInSubtree();
    void SizeFromImage();
    bool DrawPicture(TNyRGBBits* dest, int x, int y, const ZRRect& area);

    bool FCreated = false;
    bool FVisible = true;
    bool FKeyControl = false;
    bool FMouseControl = true;
    bool FMouseTrans = false;
    bool FAutoSize = true;
    TNyRGBPanel* FParent = nullptr;
    std::vector<TNyRGBPanel*> FChildren;
    bool FActive = false;
    bool FPressed = false;
    TNyRGBPanel* FCapture = nullptr;
    TNyRGBPanel* FHover = nullptr;
    TNyRGBBits* FImage = nullptr;
    TNyAlpha* FAlpha = nullptr;
    ZRRGB FColorKey;
    TMaskMode FMaskMode = 0;
    int FOffsetX = 0;
    int FOffsetY = 0;
    int FSizeX = 640;
    int FSizeY = 480;
    int FNumBlock = 1;
    int FBlockIndex = 0;
    bool FBulk = false;
    ZRRectSet FModified;
    ZRString FText;
};
