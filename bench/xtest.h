// XTest's fake key events for the benchmarks that press keys on an X
// display, loaded at run time (libXtst.so.6) so that no development package
// of it is needed to build. Header-only.
#pragma once

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdio>

namespace bench {

using XTestFakeKeyEventFn = int (*)(Display*, unsigned, int, unsigned long);

// XTestFakeKeyEvent, or null (with a line on stderr) when XTest is missing.
inline XTestFakeKeyEventFn loadFakeKey() {
    void* xtst = dlopen("libXtst.so.6", RTLD_NOW);
    auto fn = xtst ? reinterpret_cast<XTestFakeKeyEventFn>(dlsym(xtst, "XTestFakeKeyEvent")) : nullptr;
    if (!fn) std::fprintf(stderr, "no XTest (libXtst.so.6)\n");
    return fn;
}

}  // namespace bench
