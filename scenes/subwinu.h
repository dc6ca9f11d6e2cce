// TSubWinUnit: the adventure scene's text windows (message and novel windows, backlog, choice
// window, plates, place card, menu bar). This version stands in until the windows are drawn:
// nothing is shown and nothing moves, but every window keeps what it is given, so the scene's
// flow and its tests can see the page, the choices and which windows are up.
#pragma once
#include <cstdint>
#include <string>

#include "foundation/zrcallback.h"
#include "foundation/zrfileman.h"
#include "scenes/avgseams.h"

class TNyRGBPanel;

class TSubWinUnit : public AvgWindows {
  public:
    bool Setup(ZRFileMan* files);
    void Release();
    // The sub-windows hang on the scene's root panel; each window reports to the callback.
    void AttachTo(TNyRGBPanel* root) { root_ = root; }
    void SetCallback(const ZRBaseCallback1<void, int>& cb) { callback_ = cb; }
    void SetBacklogRange(int32_t lines) { BacklogRange = lines; }
    void SetBoxOpacity(int32_t percent) { BoxOpacity = percent; }

    void AddText(bool novel, const ZRString& text, int32_t cost) override;
    void NewLine(bool novel) override;
    void Clear(bool novel) override;
    void Show(bool novel, bool show, bool instant) override;
    void WaitIcon(bool novel, bool show) override { Icon[novel] = show; }
    void SetModeButtons(bool autoMode, bool skipMode) override {
        AutoButton = autoMode, SkipButton = skipMode;
    }
    void SelectClear() override;
    void SelectAdd(int index, const ZRString& text) override;
    void SelectShow() override { ChoiceShown = true; }
    bool SelectHide(bool instant) override;
    int32_t SelectIndex() const override { return ChoiceShown ? Pick : -1; }
    void PlaceShow(int32_t n) override { Place = n; }
    void PlaceHide() override { Place = -1; }
    bool IsPlaceVisible() const override { return Place >= 0; }
    void DetachAll() override { Attached = false; }
    void AttachAll() override { Attached = true; }

    bool SetUp = false;
    bool Attached = false;
    std::string Page[2];  // message window, novel window
    bool Shown[2] = {};
    bool Icon[2] = {};
    bool AutoButton = false;
    bool SkipButton = false;
    std::string Choices[4];
    bool ChoiceShown = false;
    // The choice a click takes.
    int32_t Pick = 0;
    int32_t Place = -1;
    int32_t BacklogRange = -1;
    int32_t BoxOpacity = -1;

  private:
    TNyRGBPanel* root_ = nullptr;
    ZRBaseCallback1<void, int> callback_;
};
