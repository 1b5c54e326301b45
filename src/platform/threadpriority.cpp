// Real-time priority: directly, else through rtkit over D-Bus.
#include "platform/threadpriority.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

namespace plat {
namespace {

const char* const kRtkitService = "org.freedesktop.RealtimeKit1";
const char* const kRtkitPath = "/org/freedesktop/RealtimeKit1";
constexpr int kBusTimeoutMs = 1000;

qlonglong rtkitProperty(QDBusConnection& bus, const char* name) {
    QDBusMessage get = QDBusMessage::createMethodCall(kRtkitService, kRtkitPath, "org.freedesktop.DBus.Properties", "Get");
    get << QString::fromLatin1(kRtkitService) << QString::fromLatin1(name);
    const QDBusMessage reply = bus.call(get, QDBus::Block, kBusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return -1;
    bool ok = false;
    const qlonglong value = qvariant_cast<QDBusVariant>(reply.arguments().first()).variant().toLongLong(&ok);
    return ok ? value : -1;
}

bool askRtkit(int priority) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return false;
    const qlonglong most = rtkitProperty(bus, "MaxRealtimePriority");
    const qlonglong rtTimeMax = rtkitProperty(bus, "RTTimeUSecMax");
    if (most < 1 || rtTimeMax < 1) return false;
    // rtkit serves only a process whose real-time threads cannot hold a CPU
    // for long without blocking: RLIMIT_RTTIME no larger than its maximum.
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) != 0) return false;
    if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > rlim_t(rtTimeMax)) {
        limit.rlim_cur = limit.rlim_max = rlim_t(rtTimeMax);
        if (setrlimit(RLIMIT_RTTIME, &limit) != 0) return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kRtkitService, kRtkitPath, kRtkitService, "MakeThreadRealtime");
    call << quint64(syscall(SYS_gettid)) << quint32(std::min<qlonglong>(priority, most));
    return bus.call(call, QDBus::Block, kBusTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

}  // namespace

std::string raiseToRealTime(int priority) {
    sched_param param{};
    param.sched_priority = priority;
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO | SCHED_RESET_ON_FORK, &param) != 0) askRtkit(priority);
    int policy = SCHED_OTHER;
    pthread_getschedparam(pthread_self(), &policy, &param);
    switch (policy & ~SCHED_RESET_ON_FORK) {
    case SCHED_FIFO: return "SCHED_FIFO";
    case SCHED_RR: return "SCHED_RR";
    default: return "SCHED_OTHER";
    }
}

}  // namespace plat
