// What the benchmarks share: the application they run in (offscreen unless a
// platform is set, with dialogs nobody answers), a scratch program folder
// holding the default settings, and the statistics of their figures.
// Header-only: every bench/*.cpp is a program of its own.
#pragma once

#include "quietdialogs.h"
#include "keyboard/appfolder.h"
#include "keyboard/mainwindow.h"
#include "keyboard/startupwindow.h"
#include "midi/state.h"
#include "platform/audioengine.h"
#include "platform/textcodec.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// -1 for no figures.
inline double median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The nearest-rank percentile, p in [0, 1]; -1 for no figures.
inline double percentile(std::vector<double> v, double p) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(std::ceil(p * v.size())) - (p > 0 ? 1 : 0));
    return v[i];
}

// How far each clock-driven note starts from its grid in the rendered
// stream: for every traced note-on that a clock stamped (due > 0), the
// time of its first frame minus its due time, less the median of that
// difference over the run (the constant look-ahead and output offset).
// Absolute values in milliseconds.
template <class Trace>
std::vector<double> gridErrorsMs(const std::vector<Trace>& trace, int sampleRate) {
    std::vector<double> offsets;
    for (const auto& t : trace)
        if (t.dueNs > 0) offsets.push_back(1e3 * double(t.frame) / sampleRate - double(t.dueNs) / 1e6);
    const double mid = median(offsets);
    for (double& o : offsets) o = std::fabs(o - mid);
    return offsets;
}

// The same, with each stretch between two underrun events (steady ns,
// ascending) against its own line: an underrun moves every later frame by
// the silence the server played, the buffer's size (the look-ahead of the
// clocks' notes) changes with it, and the device's clock runs apart from
// the steady clock (the notes follow the device: a null sink runs a few
// hundred ppm fast), so each stretch's offsets are fitted with a straight
// line and the errors are the distances from it: how evenly the notes come
// within each stretch, as heard. Notes due within skipNs after an event are
// left out. *driftPpm: the slope of the longest stretch.
template <class Trace>
std::vector<double> stretchGridErrorsMs(const std::vector<Trace>& trace, int sampleRate,
                                        const std::vector<int64_t>& eventsNs, int64_t skipNs,
                                        double* driftPpm = nullptr, size_t* longestNotes = nullptr) {
    std::vector<std::vector<std::pair<double, double>>> stretches(eventsNs.size() + 1);  // (due s, offset ms)
    for (const auto& t : trace) {
        if (t.dueNs <= 0) continue;
        const size_t k = size_t(std::upper_bound(eventsNs.begin(), eventsNs.end(), t.dueNs) - eventsNs.begin());
        if (k > 0 && t.dueNs - eventsNs[k - 1] < skipNs) continue;
        stretches[k].push_back({double(t.dueNs) / 1e9, 1e3 * double(t.frame) / sampleRate - double(t.dueNs) / 1e6});
    }
    std::vector<double> out;
    size_t longest = 0;
    for (auto& s : stretches) {
        if (s.empty()) continue;
        double mx = 0, my = 0;
        for (auto [x, y] : s) mx += x, my += y;
        mx /= double(s.size());
        my /= double(s.size());
        double sxy = 0, sxx = 0;
        for (auto [x, y] : s) sxy += (x - mx) * (y - my), sxx += (x - mx) * (x - mx);
        const double slope = sxx > 0 ? sxy / sxx : 0;  // ms per s
        for (auto [x, y] : s) out.push_back(std::fabs(y - (my + slope * (x - mx))));
        if (s.size() > longest) {
            longest = s.size();
            if (driftPpm) *driftPpm = slope * 1e3;
        }
    }
    if (longestNotes) *longestNotes = longest;
    return out;
}

// The by-stretch figures of a run: every clock note (byStretch), and the
// notes due a second or more after each underrun event (settled), with the
// device's drift and the size of the longest stretch of the latter.
struct StretchGrid {
    std::vector<double> byStretch;
    std::vector<double> settled;
    double driftPpm = 0;
    size_t longestStretch = 0;
};

template <class Trace>
StretchGrid stretchGrid(const std::vector<Trace>& trace, int sampleRate, const std::vector<int64_t>& eventsNs) {
    StretchGrid g;
    g.byStretch = stretchGridErrorsMs(trace, sampleRate, eventsNs, 0);
    g.settled = stretchGridErrorsMs(trace, sampleRate, eventsNs, 1'000'000'000, &g.driftPpm, &g.longestStretch);
    return g;
}

// Two runs' figures as one: their errors together, the drift of the longer
// stretch.
inline StretchGrid combined(const StretchGrid& a, const StretchGrid& b) {
    StretchGrid g = a.longestStretch >= b.longestStretch ? a : b;
    const StretchGrid& other = a.longestStretch >= b.longestStretch ? b : a;
    g.byStretch.insert(g.byStretch.end(), other.byStretch.begin(), other.byStretch.end());
    g.settled.insert(g.settled.end(), other.settled.begin(), other.settled.end());
    return g;
}

// The output's buffer and underruns over a run, sampled by poll() from the
// benchmark's event loop.
class OutputLog {
public:
    void poll() {
        plat::AudioEngine& engine = plat::AudioEngine::instance();
        const int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
        const uint64_t n = engine.underrunEvents();
        if (n > events_) eventsNs_.insert(eventsNs_.end(), n - events_, now);
        events_ = n;
        const double ms = engine.outputBufferMs();
        if (changes_.empty() || changes_.back().second != ms) changes_.push_back({now, ms});
    }
    const std::vector<int64_t>& eventsNs() const { return eventsNs_; }
    // Every moment the output's latency was moved on purpose or by a
    // dropout: the underrun events and each change of the buffer's size
    // (ascending).
    std::vector<int64_t> latencyMovesNs() const {
        std::vector<int64_t> out = eventsNs_;
        for (size_t i = 1; i < changes_.size(); ++i) out.push_back(changes_[i].first);  // [0]: the first size
        std::sort(out.begin(), out.end());
        return out;
    }
    // "buffer_ms_over_time: 0.0s=10 12.3s=15 ..." (each change, seconds from
    // fromNs), the counts of underrun events and callbacks since start, and
    // the event times.
    void print(int64_t fromNs) const {
        std::printf("buffer_ms_over_time:");
        for (const auto& [t, ms] : changes_) std::printf(" %.1fs=%g", double(t - fromNs) / 1e9, ms);
        std::printf("\nunderrun_event_times:");
        for (int64_t t : eventsNs_) std::printf(" %.1fs", double(t - fromNs) / 1e9);
        const plat::AudioEngine& engine = plat::AudioEngine::instance();
        std::printf("\nunderrun_events: %llu\n", static_cast<unsigned long long>(engine.underrunEvents()));
        std::printf("underrun_callbacks: %llu\n", static_cast<unsigned long long>(engine.underruns()));
    }

private:
    uint64_t events_ = 0;
    std::vector<int64_t> eventsNs_;
    std::vector<std::pair<int64_t, double>> changes_;
};

// The scheduling policy of each thread of a process (this one unless a pid
// is given) that feeds the sound
// (named "morvela-sound"), or of any thread not at normal priority, as
// "thread_policy_<name>: <policy>" lines.
inline void printThreadPolicies(const QString& process = QStringLiteral("self")) {
    QDir tasks(QStringLiteral("/proc/") + process + QStringLiteral("/task"));
    for (const QString& id : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(id + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray text = stat.readAll();
        const int open = text.indexOf('('), close = text.lastIndexOf(')');
        if (open < 0 || close < open) continue;
        const QByteArray name = text.mid(open + 1, close - open - 1);
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        const int policy = fields.size() > 38 ? fields[38].toInt() : 0;  // field 41 of the whole line
        static const char* const names[] = {"SCHED_OTHER", "SCHED_FIFO", "SCHED_RR", "SCHED_BATCH", "SCHED_ISO", "SCHED_IDLE", "SCHED_DEADLINE"};
        if (name != "morvela-sound" && policy == 0) continue;
        std::printf("thread_policy_%s: %s\n", name.constData(), policy >= 0 && policy < 7 ? names[policy] : "?");
    }
}

inline double maxOf(const std::vector<double>& v) { return v.empty() ? -1 : *std::max_element(v.begin(), v.end()); }

// "<errors>_by_stretch_ms_p99/_max", "<errors>_from_1s_after_events_ms_p99/_max",
// "<notes>_from_1s_after_events" and "<drift>" lines.
inline void printStretchGrid(const std::string& errors, const std::string& notes, const std::string& drift,
                             const StretchGrid& g) {
    std::printf("%s_by_stretch_ms_p99: %.3f\n", errors.c_str(), percentile(g.byStretch, 0.99));
    std::printf("%s_by_stretch_ms_max: %.3f\n", errors.c_str(), maxOf(g.byStretch));
    std::printf("%s_from_1s_after_events_ms_p99: %.3f\n", errors.c_str(), percentile(g.settled, 0.99));
    std::printf("%s_from_1s_after_events_ms_max: %.3f\n", errors.c_str(), maxOf(g.settled));
    std::printf("%s_from_1s_after_events: %zu\n", notes.c_str(), g.settled.size());
    std::printf("%s: %.1f\n", drift.c_str(), g.driftPpm);
}

// The Qt application of a benchmark, with QuietDialogs answering the boxes.
class App {
public:
    // keepRunning: closing the last window does not end the event loop.
    App(int& argc, char** argv, bool keepRunning) : app_(offscreenUnlessSet(argc), argv) {
        if (keepRunning) QApplication::setQuitOnLastWindowClosed(false);
        plat::setDialogs(&dialogs_);
    }

private:
    static int& offscreenUnlessSet(int& argc) {
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return argc;
    }
    QApplication app_;
    QuietDialogs dialogs_;
};

// A scratch program folder with the settings file "vanto.ini" as the program
// writes it, and, when asked, the record folder "演奏记录".
class ProgramFolder {
public:
    explicit ProgramFolder(bool withRecordFolder) {
        if (withRecordFolder) QDir(dir_.path()).mkdir(QStringLiteral("演奏记录"));
        write(QStringLiteral("vanto.ini"), plat::toGbk(keyboard::DefaultSettingsText() + QStringLiteral("\r\n")));
    }
    QString path() const { return dir_.path(); }  // without trailing '/'
    QString file(const QString& name) const { return dir_.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(file(name));
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    }

private:
    QTemporaryDir dir_;
};

// The program started as a user starts it: the start-up window and its
// button, then the engine on the desktop's output. Null when no main window
// came up.
inline MainWindow* startAsUser() {
    StartupWindow::OtherInstanceRunning = [] { return false; };
    auto* splash = new StartupWindow();
    splash->Show();
    splash->Command1_Click();
    MainWindow* form = midi::G.Form1Instance;
    if (!form) return nullptr;
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    if (!engine.running()) engine.start(plat::AudioEngine::Output::Auto);
    return form;
}

// The audition with drums on every row and both chord tracks, in 4/4.
inline void startAccompaniment(MainWindow& form) {
    form.Option1[2]->setValue(true);
    for (int r = 0; r < 3; ++r) {
        form.LblInst[r]->setListIndex(r == 0 ? 0 : r == 1 ? 3 : 7);
        std::vector<ui::CheckBox*>& row = form.StepRow(r);
        for (size_t c = 0; c < row.size(); ++c) row[c]->setValue(c % (r + 2) == 0 ? 1 : 0);
    }
    form.xuanyue->setListIndex(1);
    form.Check5->setValue(1);
    form.Check8->setValue(1);
    form.BzQd->setValue(1);
}

// A recorded score of `chars` characters, as long playing leaves it.
inline QString longScore(int chars) {
    static const char* const tokens[] = {"KC", "KD", "KE", "KF", "KG", "KA", "KB", "WG", "HC", "XZ"};
    QString s;
    s.reserve(chars + 8);
    for (int i = 0; s.size() < chars; ++i) s += QString::number(2 + 2 * (i % 4)) + QLatin1String(tokens[i % 10]);
    s.truncate(chars);
    return s;
}

}  // namespace bench
