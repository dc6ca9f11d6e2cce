// TStageUnit: the adventure scene's stage (background, characters, weather and effects). This
// version stands in until the stage is drawn: it keeps the values it is given and where it is
// attached, and never moves.
#pragma once
#include "foundation/zrcallback.h"
#include "foundation/zrfileman.h"
#include "scenes/avgseams.h"

class TStageUnit : public AvgStage {
  public:
    bool Setup(ZRFileMan* files);
    void Release();

    bool Exists() const override { return SetUp; }
    void SetValues(const AvgStageValues& v) override { Values = v; }
    void SetSpeaking(int slot, bool on) override {
        if (slot >= 0 && slot < CharSlots::kSlots) Speaking[slot] = on;
    }
    void Attach(TNyRGBPanel* parent, const ZRBaseCallback1<void, int>& callback) override {
        Parent = parent;
        Callback = callback;
    }
    void Detach() override {
        Parent = nullptr;
        Callback = ZRBaseCallback1<void, int>();
    }

    bool SetUp = false;
    AvgStageValues Values{};
    bool Speaking[CharSlots::kSlots] = {};
    TNyRGBPanel* Parent = nullptr;
    ZRBaseCallback1<void, int> Callback;
};
