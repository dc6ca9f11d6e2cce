#include "platform/component.h"

#include <algorithm>

namespace plat {

TComponent::TComponent(TComponent* owner) { SetOwner(owner); }

TComponent::~TComponent() {
    // Children are destroyed newest first; each one unlinks itself as it goes.
    while (!owned_.empty()) delete owned_.back();
    if (owner_) owner_->Remove(this);
    std::vector<ComponentWatcher*> w;
    w.swap(watchers_);
    for (ComponentWatcher* x : w) x->ComponentDestroyed(this);
}

void TComponent::AddWatcher(ComponentWatcher* w) {
    if (std::find(watchers_.begin(), watchers_.end(), w) == watchers_.end()) watchers_.push_back(w);
}

void TComponent::RemoveWatcher(ComponentWatcher* w) {
    auto it = std::find(watchers_.begin(), watchers_.end(), w);
    if (it != watchers_.end()) watchers_.erase(it);
}

void TComponent::SetOwner(TComponent* owner) {
    if (owner_ == owner) return;
    if (owner_) owner_->Remove(this);
    owner_ = owner;
    if (owner_) owner_->owned_.push_back(this);
}

void TComponent::Remove(TComponent* c) {
    auto it = std::find(owned_.begin(), owned_.end(), c);
    if (it != owned_.end()) owned_.erase(it);
}

}  // namespace plat
