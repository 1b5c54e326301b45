// An X display of a benchmark's own (Xvfb) and XTest's fake key events,
// loaded at run time (libXtst.so.6) so that no development package of it is
// needed to build. Header-only.
#pragma once

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace bench {

// An Xvfb server of its own; display() is empty when none started.
class XServer {
public:
    XServer() {
        int fds[2];
        if (pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);  // before the fork: the child only execs
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~XServer() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

using XTestFakeKeyEventFn = int (*)(Display*, unsigned, int, unsigned long);

// XTestFakeKeyEvent, or null (with a line on stderr) when XTest is missing.
inline XTestFakeKeyEventFn loadFakeKey() {
    void* xtst = dlopen("libXtst.so.6", RTLD_NOW);
    auto fn = xtst ? reinterpret_cast<XTestFakeKeyEventFn>(dlsym(xtst, "XTestFakeKeyEvent")) : nullptr;
    if (!fn) std::fprintf(stderr, "no XTest (libXtst.so.6)\n");
    return fn;
}

}  // namespace bench
