// Real-time priority for the threads that feed the sound.
#pragma once

#include <string>

namespace plat {

// Asks real-time priority for the calling thread: SCHED_FIFO where the
// system allows it (a privileged user, or RLIMIT_RTPRIO), else through
// rtkit on the system bus, as the desktop's sound server itself does; where
// both refuse, the thread runs on at normal priority, silently. Returns the
// policy the thread has afterwards: "SCHED_FIFO", "SCHED_RR" (rtkit's) or
// "SCHED_OTHER".
std::string raiseToRealTime(int priority);

}  // namespace plat
