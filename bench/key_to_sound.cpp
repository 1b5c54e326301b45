// Key to sound, end to end, printed as "name: value" lines. The sound counts
// from -60 dB at the monitor (the instruments' own attack is part of the span
// for both players alike).
//
// The program itself (app/morvela from the build, copied to a folder of its
// own) runs on an X display of its own (Xvfb) and plays to a private
// PulseAudio server with a null sink (bench/pulseserver.h). A key press is
// put on the display with XTest; the span ends at the first sounding frame
// read back from the null sink's monitor. Then, in a phase of its own once
// the program's sound has died away, FluidSynth's own player (the fluidsynth
// program, its pulseaudio driver on the same server, TimGM6mb, reverb and
// chorus off) is fed the same number of notes through its shell on stdin;
// its span starts when the command is written.
//
// key_to_sound_ms_median / _p99: the program, XTest key press of "g" (the
// middle C on the three voices) to the monitor; _minute_N: the keys of each
// minute of the run. fluidsynth_note_to_sound_ms_median / _p99: FluidSynth's
// player, the note-on command to the monitor. keys_sent / keys_timed,
// fluidsynth_notes_sent / fluidsynth_notes_timed: how many were played and
// how many heard and timed; the benchmark fails (exit 1) when either player
// has fewer than 90 % of its notes timed. thread_policy_morvela-sound: the
// scheduling policy the program's sound thread got.
//
// Usage: key_to_sound [--keys N] [--minutes M]   (default 60 keys; with
// --minutes, keys for M minutes; each key waits for silence)
// Needs Xvfb, xdotool, pulseaudio, fluidsynth (scripts/bench-deps.sh).
#include "benchsupport.h"
#include "pulseserver.h"
#include "xdisplay.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (done()) return true;
        QThread::usleep(200);
    }
    return done();
}

bool copyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString rel = QDir(from).relativeFilePath(src);
        if (rel == QLatin1String("vanto.ini")) continue;
        if (it.fileInfo().isDir()) QDir().mkpath(to + u'/' + rel);
        else if (!QFile::copy(src, to + u'/' + rel)) return false;
    }
    QFile::setPermissions(to + QStringLiteral("/morvela"), QFile::permissions(from + QStringLiteral("/morvela")));
    return true;
}

double ms(Clock::time_point from, int64_t toNs) {
    return std::chrono::duration<double, std::milli>(Clock::time_point(Clock::duration(toNs)) - from).count();
}

// Arms the watch, acts, and returns the milliseconds to the first sound (-1: none).
double timed(bench::DeviceWatch& watch, const std::function<void()>& act) {
    if (!waitFor([&] { return watch.quietBlocks >= 40; }, 10000)) return -1;
    watch.armed = true;
    const auto sent = Clock::now();
    act();
    const bool heard = waitFor([&] { return !watch.armed; }, 1000);
    watch.armed = false;
    return heard ? ms(sent, watch.onsetNs.load()) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    int keys = 60;
    double minutes = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--keys") == 0) keys = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--minutes") == 0) minutes = std::atof(argv[i + 1]);
    }
    QCoreApplication app(argc, argv);
    bench::PulseServer server;
    if (!server.running()) {
        std::fprintf(stderr, "no private sound server (pulseaudio missing?)\n");
        return 1;
    }
    const bench::XTestFakeKeyEventFn fakeKey = bench::loadFakeKey();
    if (!fakeKey) return 1;

    QTemporaryDir dir;
    const QString appDir = QCoreApplication::applicationDirPath() + QStringLiteral("/../app");
    if (!copyTree(appDir, dir.path() + QStringLiteral("/app"))) return 1;
    const bench::XServer xvfb;
    if (xvfb.display().empty()) {
        std::fprintf(stderr, "no X server (Xvfb missing?)\n");
        return 1;
    }
    const QString display = QString::fromStdString(xvfb.display());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    env.insert(QStringLiteral("TMPDIR"), dir.path());
    auto xdotool = [&](const QString& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xdotool"), args.split(u' '));
        p.waitForFinished(10000);
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    };
    auto window = [&] {
        const QStringList ids = xdotool(QStringLiteral("search --onlyvisible --name ^Morvela$")).split(u'\n', Qt::SkipEmptyParts);
        return ids.isEmpty() ? QString() : ids.last();
    };

    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(dir.path());
    program.start(dir.path() + QStringLiteral("/app/morvela"), {});
    QString splash;
    if (!program.waitForStarted(5000) || !waitFor([&] { return !(splash = window()).isEmpty(); }, 15000)) return 1;
    xdotool(QStringLiteral("mousemove --window ") + splash + QStringLiteral(" 276 260 click 1"));
    QString main;
    waitFor([&] { return !(main = window()).isEmpty() && main != splash; }, 10000);
    if (main.isEmpty()) return 1;
    xdotool(QStringLiteral("windowfocus --sync ") + main);

    Display* dpy = XOpenDisplay(display.toLatin1().constData());
    if (!dpy) return 1;
    const unsigned keyG = XKeysymToKeycode(dpy, XK_g);
    auto key = [&](unsigned code, bool down) {
        fakeKey(dpy, code, down ? 1 : 0, 0);
        XFlush(dpy);
    };

    // Sound from -60 dB; silence below -74 dB (reverb tails need not die out).
    bench::DeviceWatch watch(1e-3f);
    const unsigned keySpace = XKeysymToKeycode(dpy, XK_space);
    QThread::sleep(3);  // new streams settle
    bench::printThreadPolicies(QString::number(program.processId()));
    std::vector<double> ours;
    std::vector<std::vector<double>> byMinute;
    int sent = 0;
    const auto began = Clock::now();
    auto more = [&] {
        return minutes > 0 ? Clock::now() - began < std::chrono::duration<double>(minutes * 60) : sent < keys;
    };
    while (more()) {
        const size_t minute = size_t(std::chrono::duration<double>(Clock::now() - began).count() / 60);
        ++sent;
        const double a = timed(watch, [&] { key(keyG, true); });
        if (a >= 0) {
            ours.push_back(a);
            byMinute.resize(std::max(byMinute.size(), minute + 1));
            byMinute[minute].push_back(a);
        }
        QThread::msleep(150);
        key(keyG, false);
        key(keySpace, true);  // the stop key: every note off
        key(keySpace, false);
    }

    // FluidSynth's own player, once the program's sound has died away.
    waitFor([&] { return watch.quietBlocks >= 700; }, 30000);
    QProcess fluid;
    fluid.start(QStringLiteral("fluidsynth"), {QStringLiteral("-a"), QStringLiteral("pulseaudio"), QStringLiteral("-q"),
                                               QStringLiteral("-o"), QStringLiteral("audio.pulseaudio.device=bench"),
                                               QStringLiteral("-R"), QStringLiteral("0"), QStringLiteral("-C"), QStringLiteral("0"),
                                               QStringLiteral("-g"), QStringLiteral("0.8"),
                                               QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2")});
    const bool haveFluid = fluid.waitForStarted(5000);
    auto tell = [&](const char* line) {
        fluid.write(line);
        fluid.waitForBytesWritten(100);
    };
    std::vector<double> theirs;
    if (haveFluid) {
        tell("prog 0 51\n");
        QThread::sleep(3);  // its stream settles
        for (int i = 0; i < sent; ++i) {
            const double b = timed(watch, [&] { tell("noteon 0 60 85\n"); });
            if (b >= 0) theirs.push_back(b);
            QThread::msleep(150);
            tell("noteoff 0 60\n");
            tell("cc 0 120 0\n");  // all sound off: the next note starts in silence
        }
    }
    std::printf("keys_sent: %d\n", sent);
    std::printf("keys_timed: %zu\n", ours.size());
    std::printf("key_to_sound_ms_median: %.3f\n", bench::median(ours));
    std::printf("key_to_sound_ms_p99: %.3f\n", bench::percentile(ours, 0.99));
    if (minutes > 0)
        for (size_t m = 0; m < byMinute.size(); ++m) {
            std::printf("key_to_sound_ms_median_minute_%zu: %.3f\n", m + 1, bench::median(byMinute[m]));
            std::printf("key_to_sound_ms_p99_minute_%zu: %.3f\n", m + 1, bench::percentile(byMinute[m], 0.99));
        }
    std::printf("fluidsynth_notes_sent: %d\n", haveFluid ? sent : 0);
    std::printf("fluidsynth_notes_timed: %zu\n", theirs.size());
    std::printf("fluidsynth_note_to_sound_ms_median: %.3f\n", bench::median(theirs));
    std::printf("fluidsynth_note_to_sound_ms_p99: %.3f\n", bench::percentile(theirs, 0.99));
    std::fflush(stdout);
    const bool enough = ours.size() * 10 >= size_t(sent) * 9 && theirs.size() * 10 >= size_t(sent) * 9;
    if (!enough) std::fprintf(stderr, "fewer than 90 %% of the notes were timed\n");
    XCloseDisplay(dpy);
    if (haveFluid) {
        tell("quit\n");
        fluid.waitForFinished(2000);
        fluid.kill();
    }
    program.kill();
    program.waitForFinished(3000);
    return enough ? 0 : 1;
}
