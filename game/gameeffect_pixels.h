// Helpers of the transition routines' own pixel loops: the writable part of the target
// window and holding the bitmaps locked while their pixels are addressed directly.
#pragma once
#include "game/gameeffect_kinds.h"

namespace effect {

// The part of the 1280x720 target window that lies inside the target, in window coordinates.
Clip WindowClip(const Frame& f);

// Keeps up to three bitmaps locked for a scope; Held() is false when one could not be.
class Locks {
  public:
    Locks(TNyRGBBits* a, TNyRGBBits* b = nullptr, TNyRGBBits* c = nullptr) {
        TNyRGBBits* all[3] = {a, b, c};
        for (TNyRGBBits* x : all) {
            if (!x) continue;
            if (!x->Lock()) {
                held_ = false;
                return;
            }
            bits_[n_++] = x;
        }
    }
    ~Locks() {
        while (n_ > 0) bits_[--n_]->Unlock();
    }
    Locks(const Locks&) = delete;
    Locks& operator=(const Locks&) = delete;
    bool Held() const { return held_; }

  private:
    TNyRGBBits* bits_[3] = {};
    int n_ = 0;
    bool held_ = true;
};

}  // namespace effect
