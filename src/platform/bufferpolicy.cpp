// The output buffer's size from the server's underflow reports.
#include "platform/bufferpolicy.h"

#include <algorithm>

namespace plat {

BufferPolicy::BufferPolicy(double leastMs, double startMs, double maxMs)
    : leastMs_(leastMs), maxMs_(maxMs), sizeMs_(startMs), floorMs_(startMs) {}

bool BufferPolicy::underflow(int64_t nowNs) {
    ++callbacks_;
    if (!started_) {
        started_ = true;
        calmSinceNs_ = nowNs;
    }
    if (haveEvent_ && nowNs - eventNs_ < kBurstNs) return false;
    // A lower size being tried did not hold; nor did the least size that
    // held when an event comes there soon after the one before (the buffer
    // came back to it, and it failed again). Events while the buffer is
    // larger (a long stall, one event after another) move only the size.
    if (tryingLower_) {
        floorMs_ = heldMs_;  // back to the size that held
        retryAfterNs_ *= 2;
        tryingLower_ = false;
    } else if (haveEvent_ && sizeMs_ <= floorMs_ && nowNs - calmSinceNs_ >= kSameTroubleNs &&
               nowNs - calmSinceNs_ < kProvenNs) {
        floorMs_ = std::min(maxMs_, floorMs_ + kGrowMs);
    }
    haveEvent_ = true;
    eventNs_ = nowNs;
    ++events_;
    sizeMs_ = std::min(maxMs_, std::max(floorMs_, sizeMs_ + kGrowMs));
    calmSinceNs_ = nowNs;
    lastShrinkNs_ = nowNs;
    return true;
}

bool BufferPolicy::check(int64_t nowNs) {
    if (!started_) {
        started_ = true;
        calmSinceNs_ = lastShrinkNs_ = nowNs;
        return false;
    }
    const int64_t calm = nowNs - calmSinceNs_;
    if (tryingLower_ && calm >= kTrialHoldsNs) {
        tryingLower_ = false;  // the lower size held
        retryAfterNs_ = kRetryLowerNs;
    }
    if (!tryingLower_ && sizeMs_ <= floorMs_ && floorMs_ > leastMs_ && calm >= retryAfterNs_) {
        heldMs_ = floorMs_;
        floorMs_ = std::max(leastMs_, floorMs_ - kTryStepMs);
        tryingLower_ = true;
        calmSinceNs_ = nowNs;
        return false;
    }
    if (sizeMs_ > floorMs_ && calm >= kSettleNs && nowNs - lastShrinkNs_ >= kShrinkEveryNs) {
        sizeMs_ = std::max(floorMs_, sizeMs_ - kShrinkMs);
        lastShrinkNs_ = nowNs;
        return true;
    }
    return false;
}

}  // namespace plat
