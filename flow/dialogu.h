// TDlgUnit: the one yes/no confirmation of the game (exit, save over a slot, back to the
// title). A screen attaches it under its own root panel and shows it; while it is up the
// dialog holds the logic thread's two per-frame slots, so the screen's own handlers pause, and
// it speaks to the screen only through the callback: 7 opened, 8 closed, 14 yes, 15 no.
#pragma once
#include <cstdint>

#include "flow/menucommon.h"

class TDInputUnit;

class TDlgUnit : public MenuScreen {
  public:
    TDlgUnit();
    ~TDlgUnit() override;

    bool Setup(ZRFileMan* files);
    void Release();

    void Attach(TNyRGBPanel* parent);
    void Detach();
    // 0 exit, 1 save, 2 title.
    void SetKind(int32_t kind) { Kind = kind; }
    void SetCallback(const ZRBaseCallback1<void, int>& cb) { Callback = cb; }
    bool IsBusy() const { return State != 1; }
    bool IsVisible() const;
    // Both return whether the dialog is still busy (animating).
    bool ShowConfirm(bool atOnce);
    bool Hide(bool atOnce);
    bool GetAnswer() const { return Answer; }

    // The handlers the dialog puts in the thread's slots while it is up.
    void OnFrame(int ticks);
    void HandleKeyInput(int ticks, TDInputUnit* input);

    // Frames of the opening and of the closing fade.
    static constexpr int32_t kFadeFrames = 4;

    TNyRGBPanel *DlgWin = nullptr, *DlgFrame = nullptr, *DlgLight = nullptr;
    TMenuSimple *DlgYes = nullptr, *DlgNo = nullptr;

    bool SetUp = false;
    // 0 not set up, 1 idle, 2 opening, 3 closing.
    uint8_t State = 0;
    int32_t Counter = 0;
    // -1 none, 0 yes, 1 no.
    int32_t Selection = -1;
    bool Answer = false;
    int32_t Kind = 0;
    ZRBaseCallback1<void, int> Callback;
    bool SlotsSaved = false;
    ZRBaseCallback1<void, int> SavedFrame;
    ZRBaseCallback2<void, int, TDInputUnit*> SavedInput;

  private:
    void LoadBase();
    void ReleaseBase();
    void Select(int32_t n);
    void Decide();
    void Cancel();
    bool SaveFrameSlots();
    void RestoreFrameSlots();
    void Step();
    void FinishClose();
    int32_t FadeLevel() const;
    void Send(int code) { menu::Report(Callback, code); }
};

// The dialog, null while it does not exist.
extern TDlgUnit* DlgUnit;
