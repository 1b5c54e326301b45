// A time source for the window layers' timers that the test moves by hand, for the object's life.
#pragma once

#include "platform/midiout.h"
#include "ui/controls.h"

namespace testing_support {

struct HandClock {
    static constexpr qint64 ms = 1'000'000, ahead = plat::kClockLookAheadNs;
    static inline qint64 now = 0;
    explicit HandClock(qint64 start) { now = start, ui::Timer::setTimeSource([] { return now; }); }
    ~HandClock() { ui::Timer::setTimeSource(nullptr); }
};

}  // namespace testing_support
