// The keys an X display holds down, for checking that input sent to the
// program left no key pressed.
#pragma once

#include <vector>

// X key codes held down on the display; {-1} when the display cannot be
// opened; empty when the test was built without Xlib (nothing to check).
std::vector<int> keysHeldDown(const char* display);
