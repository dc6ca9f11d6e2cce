#include "foundation/zrmemman.h"

#include <algorithm>
#include <cstdarg>

void ZRMemMan::Report(const char* format, ...) {
    if (!OnError.IsSet()) return;
    ZRString msg;
    va_list ap;
    va_start(ap, format);
    msg.vprintf(format, ap);
    va_end(ap);
    OnError.Call(this, msg);
}

int ZRMemMan::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(records_.size());
}

std::vector<ZRMemPointer> ZRMemMan::Records() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

bool ZRMemMan::AddPointerList(ZRMemPointer record) {
    try {
        std::lock_guard<std::mutex> lock(mutex_);
        records_.push_back(record);
    } catch (...) {
        return false;
    }
    try {
        if (OnAddPointer.IsSet()) OnAddPointer.Call(this, record);
    } catch (...) {
        return false;
    }
    return true;
}

bool ZRMemMan::DelPointerList(ZRMemPointer request) {
    // The verdict is reached under the lock; the report goes out after it is released.
    bool found = false;
    ZRMemPointer held;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = std::find_if(records_.begin(), records_.end(),
                               [&](const ZRMemPointer& r) { return r.pointer == request.pointer; });
        if (it != records_.end()) {
            found = true;
            held = *it;
            if (it->kind == kAdded || it->kind == request.kind) {
                records_.erase(it);
                return true;
            }
        }
    }
    try {
        if (!found)
            Report("Pointer is not found Delete(%016" PRIxPTR ")", request.caller);
        else
            Report("TypeDiffers %016" PRIxPTR ":Create(%016" PRIxPTR ") Delete(%016" PRIxPTR ")",
                   held.pointer, held.caller, request.caller);
    } catch (...) {
    }
    return false;
}

void ZRMemMan::Watch(plat::TComponent* c) {
    c->AddWatcher(this);
    std::lock_guard<std::mutex> lock(mutex_);
    watched_.push_back(c);
}

void ZRMemMan::Unwatch(plat::TComponent* c) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = std::find(watched_.begin(), watched_.end(), c);
        if (it == watched_.end()) return;
        watched_.erase(it);
    }
    c->RemoveWatcher(this);
}

// A watched component destroyed by its owner is released: its record goes quietly, and a
// later Delete through a stale pointer finds nothing to free.
void ZRMemMan::ComponentDestroyed(plat::TComponent* c) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto w = std::find(watched_.begin(), watched_.end(), c);
    if (w != watched_.end()) watched_.erase(w);
    auto p = reinterpret_cast<uintptr_t>(c);
    auto it = std::find_if(records_.begin(), records_.end(),
                           [&](const ZRMemPointer& r) { return r.pointer == p; });
    if (it != records_.end()) records_.erase(it);
}

// By now every other thread has stopped using the manager.
ZRMemMan::~ZRMemMan() {
    for (plat::TComponent* c : watched_) c->RemoveWatcher(this);
    watched_.clear();
    if (!OnError.IsSet() && !OnNotRelease.IsSet()) return;
    // Each record leaves the list before it is reported: a callback may release the block.
    while (!records_.empty()) {
        const ZRMemPointer r = records_.back();
        records_.pop_back();
        try {
            Report("NotRelease %016" PRIxPTR ":Call(%016" PRIxPTR ")", r.pointer, r.caller);
        } catch (...) {
        }
        try {
            if (OnNotRelease.IsSet()) OnNotRelease.Call(this, r);
        } catch (...) {
        }
    }
}
