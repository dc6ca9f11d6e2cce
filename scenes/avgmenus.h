// The flow's menu screens as the adventure scene sees them: the configuration menu, the save
// and load menu and the yes/no dialog live in the flow layer above, which fills this interface
// while its long-lived screens exist (null otherwise, and the scene then opens none of them).
#pragma once
#include <cstdint>

#include "foundation/zrcallback.h"

class TDInputUnit;
class TNyRGBBits;
class TNyRGBPanel;

class AvgMenuScreens {
  public:
    virtual ~AvgMenuScreens() = default;

    virtual TNyRGBPanel* ConfigPanel() = 0;
    virtual void ConfigUpdateControls() = 0;
    virtual void ConfigInput(int ticks, TDInputUnit* input) = 0;

    virtual TNyRGBPanel* SavePanel() = 0;
    // Mode 0 save (thumbnail from source, which may be null), 1 load.
    virtual bool SaveOpen(int32_t mode, TNyRGBBits* source) = 0;
    virtual void SaveClose() = 0;
    virtual void SaveInput(int ticks, TDInputUnit* input) = 0;

    // Neither opening, closing nor shown.
    virtual bool DialogFree() = 0;
    virtual void DialogShow(int32_t kind, TNyRGBPanel* parent,
                            const ZRBaseCallback1<void, int>& callback) = 0;
    virtual void DialogHide() = 0;
    // Detached, its callback emptied.
    virtual void DialogDone() = 0;
    virtual bool DialogAnswer() = 0;
};

// The flow's screens, null while they do not exist.
extern AvgMenuScreens* InGameMenus;
