// Which effect instance feeds the viewer. One record per host process (in
// the process context), shared by every instance; instances are named by their process-unique
// numbers (1, 2, 3 ...; 0 names none).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace orvalis::plugin {

// Where the registry mirrors its owner: the shared block's owner fields.
// An instance without a block passes no mirror.
class OwnerMirror {
public:
    virtual ~OwnerMirror() = default;
    // Names `instance` (of this process) as the block's owner.
    virtual void setOwner(std::uint64_t instance) = 0;
    // Clears the owner fields if they still name `instance` of this process.
    virtual void clearOwnerIf(std::uint64_t instance) = 0;
};

// How long an active instance's last render keeps its claim against an
// instance rendering another source.
inline constexpr std::int64_t kActiveClaimMs = 240;

// The active-instance record. Every member takes the registry mutex; the
// owner mirror is written under it too, so the block never names another
// owner than the registry after two claims race.
class ActiveRegistry {
public:
    // Makes `instance` the active one. An empty identity keeps the stored
    // one. activeSinceMs becomes nowMs.
    void makeActive(std::uint64_t instance, std::string_view sourceIdentity, std::int64_t nowMs, OwnerMirror* mirror);

    // Gives the active role up if `instance` holds it (the mirror is cleared
    // if it still names it). True when it did.
    bool releaseActive(std::uint64_t instance, OwnerMirror* mirror);

    // True when `instance` (never 0) is the active one.
    bool isActive(std::uint64_t instance) const;

    // The render's claim: `instance` takes the role when nobody holds it or
    // it holds it already, or when the holder renders another source and has
    // not rendered for kActiveClaimMs. Returns whether `instance` is active
    // afterwards.
    bool arbitrate(std::uint64_t instance, std::string_view sourceIdentity, std::int64_t nowMs, OwnerMirror* mirror);

    std::uint64_t activeInstance() const;
    std::string activeSourceId() const;
    // Steady-clock milliseconds of the last claim; 0 = never or released.
    std::int64_t activeSinceMs() const noexcept { return activeSinceMs_.load(); }

private:
    void takeLocked(std::uint64_t instance, std::string_view sourceIdentity, std::int64_t nowMs, OwnerMirror* mirror);

    mutable std::mutex mutex_;
    std::uint64_t activeInstance_ = 0;
    std::string activeSourceId_;
    std::atomic<std::int64_t> activeSinceMs_{0};
};

}  // namespace orvalis::plugin
