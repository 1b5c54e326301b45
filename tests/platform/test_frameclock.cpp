// Where a message due at a moment sounds, on made-up render times (a rate of
// 1000 frames a second: a frame is a millisecond).
#include "platform/frameclock.h"

#include <gtest/gtest.h>

using plat::FrameClock;

namespace {
constexpr int64_t kMs = 1'000'000;
}

TEST(FrameClock, AMessageSoundsWhereAKeyPlayedAtItsTimeIsHeardWithTheBufferOfNow) {
    struct Step {
        int64_t nowMs;
        uint64_t frame;   // next frame rendered
        double aheadMs;   // the output's buffer now
        int64_t heardMs;  // frame 0 heard by the server's report (0: none)
        int64_t dueMs;
        uint64_t expected;
    } steps[] = {
        {1000, 0, 10, 0, 0, 0},             // due at once: the next frame
        {1000, 0, 10, 0, 2000, 1010},       // no report: frame 0 rendered at 1000 is the line
        {1005, 15, 15, 0, 2000, 1015},      // an underrun grew the buffer
        {1010, 20, 10, 0, 2000, 1010},      // and it came back: the notes with it
        {1011, 21, 10, 0, 1005, 21},        // a frame already rendered: the next one
        // The server's report: frame 0 heard at 1000, so a block rendered
        // now is heard 8 ms later: a key too, whatever the buffer asked.
        {1012, 20, 15, 1000, 2000, 1008},
        {1100, 108, 15, 1000, 2000, 1008},  // rendered ahead: the report holds
        {5000, 100, 10, 1000, 6000, 1110},  // after a rest the report is out of date: the render is the line
        {5003, 110, 10, 4901, 6000, 1107},  // a new report
    };
    FrameClock clock(1000);
    for (const Step& s : steps) {
        clock.follow(s.nowMs * kMs, s.frame, s.aheadMs, s.heardMs * kMs);
        // (The line leans back 20 ns a block: within a frame.)
        EXPECT_NEAR(double(clock.frameOf(s.dueMs * kMs, s.frame)), double(s.expected), 1.0) << s.nowMs;
    }
    clock.reset();
    EXPECT_EQ(clock.frameOf(6000 * kMs, 120), 120u) << "a new start: nothing known";
}
