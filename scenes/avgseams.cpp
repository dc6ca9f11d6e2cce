// The scene's frame services backed by the main window and the logic thread.
#include "scenes/avgseams.h"

#include "game/gamef.h"
#include "game/maint.h"

void AvgSystem::ResetFrameClock() {
    if (GameForm) GameForm->ResetFrameClock();
}

uint8_t AvgSystem::ScreenMode() const {
    return GameForm ? GameForm->GetScreenMode() : 0;
}

void AvgSystem::EndWait(int32_t result) {
    ::EndWait(result);
}

int32_t AvgSystem::GetCursorType() const {
    return GameForm ? GameForm->GetCursorType() : -1;
}

void AvgSystem::SetCursorType(int32_t type) {
    if (GameForm) GameForm->SetCursorType(type);
}

void AvgSystem::RenderFull() {
    if (GameForm) GameForm->RenderFull();
}
