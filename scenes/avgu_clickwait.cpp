// The end of a click wait, shared by the player's click and the per-frame wait.
#include "game/gamedata.h"
#include "scenes/avgu.h"

void TAvgUnit::EndClickWait() {
    windows_->PlatesRefresh();
    audio_->StopVoice();
    windows_->WaitIcon(State().NovelMode != 0, false);
    if (StageSnapshotDiffers()) {
        stage_->SetValues(StageValues());
        stage_->ApplyWeather(!IsEffectSkipping());
        TakeStageSnapshot();
        system_->ResetFrameClock();
        SetSceneState(asStageMoving);
    } else {
        SetSceneState(asRun);
    }
}
