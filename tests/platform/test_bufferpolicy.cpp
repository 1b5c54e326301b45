// The output buffer's size against the underflows the server reports, on
// made-up times.
#include "platform/bufferpolicy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using plat::BufferPolicy;

namespace {

constexpr int64_t kMs = 1'000'000;
constexpr int64_t kS = 1000 * kMs;

// A run of the output: checks every 10 ms and underflow callbacks at the
// given times, up to endNs. Notes the largest single change of size.
struct OutputRun {
    BufferPolicy policy{10.0, 10.0, 60.0};
    int64_t now = 0;
    double largestStep = 0;

    void until(int64_t endNs, std::vector<int64_t> callbacks = {}) {
        size_t next = 0;
        for (; now <= endNs; now += 10 * kMs) {
            while (next < callbacks.size() && callbacks[next] <= now) policy.underflow(callbacks[next++]);
            const double before = policy.ms();
            policy.check(now);
            largestStep = std::max(largestStep, std::fabs(policy.ms() - before));
        }
    }
};

}  // namespace

TEST(BufferPolicy, ABurstOfCallbacksIsOneEventAndEachEventGrowsTheBufferUpToItsLargest) {
    struct Case {
        std::vector<int64_t> callbacks;  // ms
        uint64_t events;
        double ms;  // right after the last callback
    } cases[] = {
        {{1000}, 1, 15},
        {{1000, 1030, 1060, 1090}, 1, 15},  // one dropout reported four times
        {{1000, 1050, 1150}, 2, 20},        // the third comes after the burst's 100 ms
        {{1000, 1200, 1400, 1600, 1800, 2000, 2200, 2400, 2600, 2800, 3000, 3200}, 12, 60},
    };
    for (const Case& c : cases) {
        OutputRun run;
        std::vector<int64_t> at;
        for (int64_t ms : c.callbacks) at.push_back(ms * kMs);
        run.until(c.callbacks.back() * kMs, at);
        EXPECT_EQ(run.policy.events(), c.events) << c.callbacks.size();
        EXPECT_EQ(run.policy.callbacks(), c.callbacks.size());
        EXPECT_EQ(run.policy.ms(), c.ms) << c.callbacks.size();
    }
}

TEST(BufferPolicy, AfterAnEventTheBufferComesBackToTheLeastSizeThatHeldWithinSecondsInSmallSteps) {
    OutputRun run;
    // 10 ms held for a minute; a burst there grows it, and it comes back.
    run.until(60 * kS, {60 * kS, 60 * kS + 40 * kMs});
    EXPECT_EQ(run.policy.ms(), 15);
    run.until(70 * kS);
    EXPECT_EQ(run.policy.ms(), 10);
    EXPECT_EQ(run.policy.leastHeldMs(), 10);
    // Back at 10 ms, it fails again soon: 10 ms does not hold now; 15 does,
    // and the buffer comes back to 15 after growing further.
    run.until(80 * kS, {80 * kS});
    EXPECT_EQ(run.policy.leastHeldMs(), 15);
    run.until(120 * kS, {120 * kS});
    EXPECT_EQ(run.policy.ms(), 20);
    run.until(130 * kS);
    EXPECT_EQ(run.policy.ms(), 15);
    EXPECT_EQ(run.policy.events(), 3u);
    // A stall of seconds takes it to its largest: back to the least size
    // that held within about fifteen seconds.
    std::vector<int64_t> storm;
    for (int i = 0; i < 12; ++i) storm.push_back(200 * kS + i * 200 * kMs);
    run.until(202 * kS + 500 * kMs, storm);
    EXPECT_EQ(run.policy.ms(), 60);
    run.until(218 * kS);
    EXPECT_EQ(run.policy.ms(), 15);
    EXPECT_LE(run.largestStep, 5.0);  // the clocks' notes move with it
}

TEST(BufferPolicy, ALowerSizeIsTriedAMillisecondLowerAfterMinutesAndAgainTwiceAsLateWhenItFails) {
    OutputRun run;
    run.until(10 * kS, {2 * kS, 6 * kS});  // 10 ms fails, and again once back there
    EXPECT_EQ(run.policy.leastHeldMs(), 15);
    run.until(6 * kS + BufferPolicy::kRetryLowerNs - kS);
    EXPECT_EQ(run.policy.ms(), 15);
    run.until(6 * kS + BufferPolicy::kRetryLowerNs + 5 * kS);
    EXPECT_EQ(run.policy.ms(), 14);
    // It fails: back to 15 ms, tried again only after twice as long.
    const int64_t failed = run.now + kS;
    run.until(failed + 10 * kS, {failed});
    EXPECT_EQ(run.policy.ms(), 15);
    run.until(failed + 2 * BufferPolicy::kRetryLowerNs - kS);
    EXPECT_EQ(run.policy.ms(), 15);
    const int64_t retried = failed + 2 * BufferPolicy::kRetryLowerNs;
    run.until(retried + 5 * kS);
    EXPECT_EQ(run.policy.ms(), 14);
    // Minutes into the try it fails: one dropout sends it back to 15 ms.
    run.until(retried + 3 * 60 * kS, {retried + 3 * 60 * kS});
    run.until(retried + 3 * 60 * kS + 10 * kS);
    EXPECT_EQ(run.policy.ms(), 15);
    EXPECT_EQ(run.policy.events(), 4u);
    // The next try holds for the whole trial, and so do the ones after it,
    // a millisecond at a time, down to the least size.
    const int64_t third = retried + 3 * 60 * kS + 4 * BufferPolicy::kRetryLowerNs;
    run.until(third + BufferPolicy::kTrialHoldsNs - kS);
    EXPECT_EQ(run.policy.ms(), 14);
    run.until(third + BufferPolicy::kTrialHoldsNs + 5 * kS);
    EXPECT_EQ(run.policy.ms(), 13);
    run.until(third + 6 * BufferPolicy::kTrialHoldsNs);
    EXPECT_EQ(run.policy.ms(), 10);
    EXPECT_EQ(run.policy.leastHeldMs(), 10);
    EXPECT_EQ(run.policy.events(), 4u);
    EXPECT_LE(run.largestStep, 5.0);

    // Started larger than the least size: tried lower after as long.
    OutputRun larger;
    larger.policy = BufferPolicy(10.0, 15.0, 60.0);
    larger.until(BufferPolicy::kRetryLowerNs - kS);
    EXPECT_EQ(larger.policy.ms(), 15);
    larger.until(BufferPolicy::kRetryLowerNs + 5 * kS);
    EXPECT_EQ(larger.policy.ms(), 14);
}
