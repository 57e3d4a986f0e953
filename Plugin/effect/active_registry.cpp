#include "effect/active_registry.h"

namespace orvalis::plugin {

void ActiveRegistry::takeLocked(std::uint64_t instance, std::string_view sourceIdentity, std::int64_t nowMs,
                                OwnerMirror* mirror) {
    activeInstance_ = instance;
    if (!sourceIdentity.empty()) {
        activeSourceId_.assign(sourceIdentity);
    }
    activeSinceMs_.store(nowMs);
    if (mirror != nullptr) {
        mirror->setOwner(instance);
    }
}

void ActiveRegistry::makeActive(std::uint64_t instance, std::string_view sourceIdentity, std::int64_t nowMs,
                                OwnerMirror* mirror) {
    std::lock_guard lock(mutex_);
    takeLocked(instance, sourceIdentity, nowMs, mirror);
}

bool ActiveRegistry::releaseActive(std::uint64_t instance, OwnerMirror* mirror) {
    std::lock_guard lock(mutex_);
    if (instance == 0 || activeInstance_ != instance) {
        return false;
    }
    activeSourceId_.clear();
    activeInstance_ = 0;
    // Cleared under the lock: a claim by another instance right after must
    // keep its own time stamp.
    activeSinceMs_.store(0);
    if (mirror != nullptr) {
        mirror->clearOwnerIf(instance);
    }
    return true;
}

bool ActiveRegistry::isActive(std::uint64_t instance) const {
    std::lock_guard lock(mutex_);
    return activeInstance_ != 0 && activeInstance_ == instance;
}

bool ActiveRegistry::arbitrate(std::uint64_t instance, std::string_view sourceIdentity, std::int64_t nowMs,
                               OwnerMirror* mirror) {
    std::lock_guard lock(mutex_);
    const std::int64_t prev = activeSinceMs_.load();
    bool take = false;
    if (activeInstance_ == 0 || activeInstance_ == instance) {
        take = true;
    } else if (activeSourceId_ == sourceIdentity) {
        take = false;  // same source as the holder: never take over
    } else if (prev >= 1 && nowMs - prev < kActiveClaimMs) {
        take = false;  // the holder rendered recently
    } else {
        take = true;
    }
    if (take) {
        takeLocked(instance, sourceIdentity, nowMs, mirror);
    }
    return take;
}

std::uint64_t ActiveRegistry::activeInstance() const {
    std::lock_guard lock(mutex_);
    return activeInstance_;
}

std::string ActiveRegistry::activeSourceId() const {
    std::lock_guard lock(mutex_);
    return activeSourceId_;
}

}  // namespace orvalis::plugin
