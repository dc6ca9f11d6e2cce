// The text windows at rest: they keep what they are given.
#include "scenes/subwinu.h"

bool TSubWinUnit::Setup(ZRFileMan* files) {
    SetUp = files != nullptr;
    return SetUp;
}

void TSubWinUnit::Release() {
    SetUp = false;
    Attached = false;
    root_ = nullptr;
    callback_ = ZRBaseCallback1<void, int>();
}

void TSubWinUnit::AddText(bool novel, const ZRString& text, int32_t) {
    Page[novel].append(text.c_str(), text.Length());
}

void TSubWinUnit::NewLine(bool novel) {
    Page[novel] += '\n';
}

void TSubWinUnit::Clear(bool novel) {
    Page[novel].clear();
}

void TSubWinUnit::Show(bool novel, bool show, bool) {
    Shown[novel] = show;
}

void TSubWinUnit::SelectClear() {
    for (std::string& c : Choices) c.clear();
    ChoiceShown = false;
}

void TSubWinUnit::SelectAdd(int index, const ZRString& text) {
    if (index >= 0 && index < 4) Choices[index].assign(text.c_str(), text.Length());
}

bool TSubWinUnit::SelectHide(bool) {
    ChoiceShown = false;
    return false;
}
