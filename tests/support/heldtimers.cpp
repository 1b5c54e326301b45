// Test programs of the window layers run every timer by hand (Timer::tick): no timer fires by itself, so a busy
// machine cannot add ticks to a test.
#include "ui/controls.h"

namespace {
const bool kHeld = [] {
    ui::Timer::setHeld(true);
    return true;
}();
}  // namespace
