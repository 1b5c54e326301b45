// How much sound the output asks the sound server to buffer, from the
// underflows the server reports: a plain state machine fed with the times
// of the underflow callbacks and of regular checks, so that it can be run
// without a server or a clock.
#pragma once

#include <cstdint>

namespace plat {

class BufferPolicy {
public:
    // The buffer starts at startMs, the least size taken to hold, grows by
    // kGrowMs after each underrun event up to maxMs, and is tried lower, down
    // to leastMs, after long stretches without one.
    BufferPolicy(double leastMs, double startMs, double maxMs);

    // Underflow callbacks that come within kBurstNs of the first one of an
    // event belong to that event (the server reports one dropout several
    // times while the stream refills).
    static constexpr int64_t kBurstNs = 100'000'000;
    // An event makes the buffer this much larger.
    static constexpr double kGrowMs = 5.0;
    // With no event for kSettleNs, the buffer comes back down by kShrinkMs
    // each kShrinkEveryNs to the least size that held (small steps: the
    // clocks' notes move with it, a step at a time).
    static constexpr int64_t kSettleNs = 500'000'000;
    static constexpr double kShrinkMs = 1.0;
    static constexpr int64_t kShrinkEveryNs = 100'000'000;
    // An event at the least size that held sooner than this after the one
    // before shows that the size does not hold: the next size up takes its
    // place.
    static constexpr int64_t kProvenNs = 30'000'000'000;
    // Events this close to the one before are the same trouble (a stall of
    // the machine): they grow the buffer, and say nothing of the sizes.
    static constexpr int64_t kSameTroubleNs = 1'000'000'000;
    // The least size that held is tried a step lower after this long
    // without an event, and twice as long after each such try failed.
    static constexpr int64_t kRetryLowerNs = 300'000'000'000;
    // A lower size is tried this much below the least size that held: the
    // clocks' notes move with the keys by no more than that, and the least
    // size that holds is found to the millisecond.
    static constexpr double kTryStepMs = 1.0;
    // A lower size being tried has held once this long passes without an
    // event; an event before then sends the buffer back to the size that
    // held at once (a size that lasts minutes and then fails would
    // otherwise cost a second dropout before it counts as failed).
    static constexpr int64_t kTrialHoldsNs = kRetryLowerNs;

    // An underflow callback at nowNs. True when it begins a new event (the
    // buffer grew, unless it is at its largest already).
    bool underflow(int64_t nowNs);
    // Called now and then (every few milliseconds while playing). True when
    // the size changed.
    bool check(int64_t nowNs);
    double ms() const { return sizeMs_; }
    double leastHeldMs() const { return floorMs_; }
    uint64_t events() const { return events_; }
    uint64_t callbacks() const { return callbacks_; }

private:
    double leastMs_;
    double maxMs_;
    double sizeMs_;
    double floorMs_;           // the least size that held
    bool started_ = false;     // a time has been seen
    int64_t eventNs_ = 0;      // first callback of the last event
    int64_t calmSinceNs_ = 0;  // the last event, the first time seen, or a try at a lower size
    int64_t lastShrinkNs_ = 0;
    int64_t retryAfterNs_ = kRetryLowerNs;
    bool tryingLower_ = false;  // the floor is a step below the size that held
    double heldMs_ = 0;         // while trying: the size that held
    bool haveEvent_ = false;
    uint64_t events_ = 0;
    uint64_t callbacks_ = 0;
};

}  // namespace plat
