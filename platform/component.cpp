#include "platform/component.h"

#include <algorithm>

namespace plat {

TComponent::TComponent(TComponent* owner) { SetOwner(owner); }

TComponent::~TComponent() {
    DestroyOwned();
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

int TComponent::ComponentCount() const {
    std::lock_guard<std::mutex> lock(ownedLock_);
    return static_cast<int>(owned_.size());
}

TComponent* TComponent::Component(int index) const {
    std::lock_guard<std::mutex> lock(ownedLock_);
    return owned_.at(static_cast<size_t>(index));
}

void TComponent::DestroyOwned() {
    for (;;) {
        TComponent* c = nullptr;
        {
            std::lock_guard<std::mutex> lock(ownedLock_);
            if (owned_.empty()) return;
            c = owned_.back();
        }
        delete c;
    }
}

void TComponent::SetOwner(TComponent* owner) {
    if (owner_ == owner) return;
    if (owner_) owner_->Remove(this);
    owner_ = owner;
    if (owner_) owner_->Add(this);
}

void TComponent::Add(TComponent* c) {
    std::lock_guard<std::mutex> lock(ownedLock_);
    owned_.push_back(c);
}

void TComponent::Remove(TComponent* c) {
    std::lock_guard<std::mutex> lock(ownedLock_);
    auto it = std::find(owned_.begin(), owned_.end(), c);
    if (it != owned_.end()) owned_.erase(it);
}

}  // namespace plat
