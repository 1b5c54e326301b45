// Kept apart from the Qt sources: Xlib's macros clash with Qt's names.
#include "xkeys.h"

#ifdef MORVELA_HAVE_X11
#include <X11/Xlib.h>

std::vector<int> keysHeldDown(const char* display) {
    Display* d = XOpenDisplay(display);
    if (!d) return {-1};
    char map[32] = {};
    XQueryKeymap(d, map);
    XCloseDisplay(d);
    std::vector<int> down;
    for (int i = 0; i < 256; ++i)
        if (map[i / 8] & (1 << (i % 8))) down.push_back(i);
    return down;
}
#else
std::vector<int> keysHeldDown(const char*) { return {}; }
#endif
