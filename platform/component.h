// Components with owners: an owner destroys what it owns when it is destroyed, and a
// component destroyed by someone else leaves its owner's list first. The list of what a
// component owns is guarded: a sound may delete itself on its notification thread while the
// game makes and frees others under the same owner.
#pragma once
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

namespace plat {

class TComponent;

// Told when a component it watches is destroyed, whoever destroys it.
class ComponentWatcher {
public:
    virtual void ComponentDestroyed(TComponent* c) = 0;

protected:
    ~ComponentWatcher() = default;
};

class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* GetOwner() const { return owner_; }
    int ComponentCount() const;
    TComponent* Component(int index) const;

    // Moves the component to another owner (or none).
    void SetOwner(TComponent* owner);

    void AddWatcher(ComponentWatcher* w);
    void RemoveWatcher(ComponentWatcher* w);

protected:
    // Destroys what this component owns, newest first. Each child unlinks itself as it goes,
    // so the list is read afresh for each and not held while a child is destroyed. A derived
    // destructor calls it when its children need its own members while they go.
    void DestroyOwned();

private:
    void Add(TComponent* c);
    void Remove(TComponent* c);

    std::vector<ComponentWatcher*> watchers_;
    TComponent* owner_ = nullptr;
    mutable std::mutex ownedLock_;
    std::vector<TComponent*> owned_;
};

// The class library's notify event: a handler told which component it concerns.
using TNotifyEvent = std::function<void(TComponent* sender)>;

}  // namespace plat
