// Group and frame bookkeeping of the animated panels and their per-tick stepping.
#include "widgets/nyrgbanime.h"

#include <algorithm>

#include "widgets/nyrgbbits.h"

TNyRGBAnime::TNyRGBAnime(plat::TComponent* owner) : TNyRGBPanel(owner) {
    SetSizeX(16);
    SetSizeY(16);
}

TNyRGBAnime::TNyRGBAnime(plat::TComponent* owner, TNyRGBPanel* parent)
    : TNyRGBPanel(owner, parent) {}

void TNyRGBAnime::SetGroupIndex(int group) {
    if (group < 0 || group == FGroupIndex) return;
    FGroupIndex = group;
    ChangedGroup();
}

void TNyRGBAnime::SetFrameIndex(int frame) {
    if (frame < 0 || frame == FFrameIndex) return;
    FFrameIndex = frame;
    ChangedFrame();
}

TNyRGBSimple::TNyRGBSimple(plat::TComponent* owner) : TNyRGBAnime(owner) {}

TNyRGBSimple::TNyRGBSimple(plat::TComponent* owner, TNyRGBPanel* parent)
    : TNyRGBAnime(owner, parent) {}

bool TNyRGBSimple::IsGroupEnable(int group) { return GetFrameMax(group) >= 1; }

int TNyRGBSimple::GetFrameMax(int group) {
    return group >= 0 && group < kGroups ? FFrameNum[group] : 0;
}

int TNyRGBSimple::GroupStart(int group) const {
    int start = 0;
    for (int g = 0; g < group; ++g) start += FFrameNum[g];
    return start;
}

int TNyRGBSimple::GetFrameBlock() {
    if (FFrameIndex < 0 || FFrameIndex >= GetFrameMax(FGroupIndex)) return 0;
    return GroupStart(FGroupIndex) + FFrameIndex;
}

void TNyRGBSimple::ChangedGroup() {
    ResetPlay();
    FFrameIndex = 0;
    ChangedFrame();
}

void TNyRGBSimple::ChangedFrame() { SetBlockIndex(GetFrameBlock()); }

void TNyRGBSimple::ChangedState() {
    ResetPlay();
    SetFrameIndex(0);
    SetModify();
}

void TNyRGBSimple::SetFrameNum(int group, int n) {
    if (group < 0 || group >= kGroups || n < (group == 0 ? 1 : 0) || n == FFrameNum[group])
        return;
    FFrameNum[group] = n;
    SetNumBlock(GroupStart(kGroups));
    ChangedState();
    ChangedGroup();
}

void TNyRGBSimple::SetAnimeWait(int n) {
    if (n >= 0) FAnimeWait = n;
}

void TNyRGBSimple::SetAnimeType(TPanelAnimeType type) {
    if (type == FAnimeType) return;
    FAnimeType = type;
    if (type != patTurn) {
        FPlay = kForward;
    } else if (FPlay == kStopped) {
        FPlay = kBackward;
    }
}

void TNyRGBSimple::CallOnAnime() {
    if (GetVisible() && FPlay != kStopped && ++FTick >= FAnimeWait) {
        FTick = 0;
        const int n = GetFrameMax(FGroupIndex);
        int f = FFrameIndex;
        if (n == 1) {
            // Nothing to step through: every play mode stops here.
            FPlay = kStopped;
        } else if (FPlay == kBackward) {
            if (--f < 0) {
                FPlay = kForward;
                f = 1;
            }
        } else if (++f >= n) {
            if (FAnimeType == patLoop) {
                f = 0;
            } else if (FAnimeType == patTurn) {
                FPlay = kBackward;
                f = n - 2;
            } else {
                FPlay = kStopped;
                f = n - 1;
            }
        }
        f = std::max(0, std::min(f, n - 1));
        if (f != FFrameIndex) {
            FFrameIndex = f;
            SetBlockIndex(GetFrameBlock());
        }
    }
    TNyRGBPanel::CallOnAnime();
}

TNyRGBProgram::TNyRGBProgram(plat::TComponent* owner) : TNyRGBAnime(owner) {}

TNyRGBProgram::TNyRGBProgram(plat::TComponent* owner, TNyRGBPanel* parent)
    : TNyRGBAnime(owner, parent) {}

bool TNyRGBProgram::SetAnimeData(ZRAnimeData* data) {
    FStat.SetAnimeData(data);
    if (data && data->IsEnable()) {
        SetNumBlock(data->GetPatCount());
        TNyRGBBits* image = GetImage();
        if (GetAutoSize() && image && image->Created()) {
            SetSizeX(image->Width());
            SetSizeY(image->Height() / GetNumBlock());
        }
    }
    ChangedState();
    ChangedGroup();
    return true;
}

bool TNyRGBProgram::IsGroupEnable(int group) { return group >= 0 && group < FStat.GetGroupMax(); }

int TNyRGBProgram::GetFrameMax(int group) {
    return IsGroupEnable(group) ? FStat.GetAnimeCount(group) : 0;
}

int TNyRGBProgram::GetFrameBlock() { return FStat.GetPattern(); }

void TNyRGBProgram::ChangedGroup() {
    FStat.StartGroup(FGroupIndex);
    FFrameIndex = FStat.GetFrame();
    SetBlockIndex(GetFrameBlock());
}

void TNyRGBProgram::ChangedFrame() {
    FStat.StartFrame(FFrameIndex);
    SetBlockIndex(GetFrameBlock());
}

void TNyRGBProgram::ChangedState() {
    SetFrameIndex(0);
    SetModify();
}

void TNyRGBProgram::CallOnAnime() {
    if (GetVisible() && FStat.IsEnable() && !FStat.GetPause() && FStat.CallFrame(1)) {
        FFrameIndex = FStat.GetFrame();
        SetBlockIndex(GetFrameBlock());
    }
    TNyRGBPanel::CallOnAnime();
}
