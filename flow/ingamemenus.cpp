// The adventure scene's view of the configuration menu, the save menu and the dialog.
#include "flow/ingamemenus.h"

#include "flow/dialogu.h"
#include "flow/pconfigmenu.h"
#include "flow/psavemenu.h"

namespace {

class FlowMenus : public AvgMenuScreens {
  public:
    TNyRGBPanel* ConfigPanel() override { return ConfigMenu ? ConfigMenu->RootPanel : nullptr; }
    void ConfigUpdateControls() override {
        if (ConfigMenu) ConfigMenu->UpdateControls();
    }
    void ConfigInput(int ticks, TDInputUnit* input) override {
        if (ConfigMenu) ConfigMenu->HandleKeyInput(ticks, input);
    }
    TNyRGBPanel* SavePanel() override { return SaveMenu ? SaveMenu->RootPanel : nullptr; }
    bool SaveOpen(int32_t mode, TNyRGBBits* source) override {
        return SaveMenu && SaveMenu->Open(mode, source);
    }
    void SaveClose() override {
        if (SaveMenu) SaveMenu->Close();
    }
    void SaveInput(int ticks, TDInputUnit* input) override {
        if (SaveMenu) SaveMenu->HandleKeyInput(ticks, input);
    }
    bool DialogFree() override { return DlgUnit && !DlgUnit->IsBusy() && !DlgUnit->IsVisible(); }
    void DialogShow(int32_t kind, TNyRGBPanel* parent,
                    const ZRBaseCallback1<void, int>& callback) override {
        DlgUnit->SetKind(kind);
        DlgUnit->SetCallback(callback);
        DlgUnit->Attach(parent);
        DlgUnit->ShowConfirm(false);
    }
    void DialogHide() override { DlgUnit->Hide(false); }
    void DialogDone() override {
        DlgUnit->Detach();
        DlgUnit->SetCallback(ZRBaseCallback1<void, int>());
    }
    bool DialogAnswer() override { return DlgUnit && DlgUnit->GetAnswer(); }
};

FlowMenus lender;

}  // namespace

AvgMenuScreens* FlowMenuScreens() {
    return &lender;
}
