// A private PulseAudio server for the sound benchmarks: its own runtime
// folder, one null sink ("bench", 44100 Hz), the native protocol on a
// socket of its own, and module-suspend-on-idle with a 1 s timeout (a
// desktop's server loads it with 5 s: an output nobody plays to sleeps); PULSE_SERVER is pointed at it, so the program under
// test (and any player the benchmark starts) plays to it. Needs the
// `pulseaudio` package (scripts/bench-deps.sh); without it, running() is
// false and the benchmarks say so. Header-only.
#pragma once

#include <QTemporaryDir>

#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <cmath>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace bench {

// CPU seconds (user + system, all threads) a process has used so far.
inline double processCpuSeconds(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream rest(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

class PulseServer {
public:
    // extraModules: further "-L" arguments (e.g. "module-suspend-on-idle timeout=1").
    explicit PulseServer(std::vector<std::string> extraModules = {}) {
        const std::string dir = dir_.path().toStdString();
        socket_ = dir + "/native";
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);  // a benchmark or test that dies leaves no server behind
            setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
            setenv("PULSE_RUNTIME_PATH", dir.c_str(), 1);
            setenv("HOME", dir.c_str(), 1);
            std::vector<std::string> args = {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                             "--use-pid-file=no",
                                             std::getenv("MORVELA_BENCH_PULSE_LOG") ? "--log-level=debug" : "--log-level=error",
                                             "-L", "module-null-sink sink_name=bench rate=44100",
                                             "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + socket_,
                                             "-L", "module-suspend-on-idle timeout=1"};
            for (const auto& m : extraModules) {
                args.push_back("-L");
                args.push_back(m);
            }
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            if (!std::getenv("MORVELA_BENCH_PULSE_LOG")) {
                FILE* null = std::fopen("/dev/null", "w");
                if (null) dup2(fileno(null), 2);
            }
            execvp("pulseaudio", argv.data());
            _exit(127);
        }
        if (pid_ < 0) return;
        struct stat st {};
        for (int i = 0; i < 100 && stat(socket_.c_str(), &st) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != 0 || stat(socket_.c_str(), &st) != 0) {
            pid_ = -1;
            return;
        }
        setenv("PULSE_SERVER", ("unix:" + socket_).c_str(), 1);
    }
    ~PulseServer() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    std::string server() const { return "unix:" + socket_; }
    double cpuSeconds() const { return running() ? processCpuSeconds(pid_) : 0.0; }

private:
    QTemporaryDir dir_;
    std::string socket_;
    pid_t pid_ = -1;
};

// Reads the private server's null sink monitor ("bench.monitor") and notes,
// when armed, the moment the first block above `soundLevel` arrives; only
// the left (0) or right (1) channel when `channel` says so. With
// `blipBlocks` > 0, a run of that many blocks or fewer above the silence
// line (a fifth of the level) is a blip, not sound: it neither ends the
// quiet nor counts as an onset (the onset is the first block above the
// level of a longer run, noted when the run has grown past the blip).
class DeviceWatch {
public:
    explicit DeviceWatch(float soundLevel, int channel = -1, int blipBlocks = 0)
        : level_(soundLevel), channel_(channel), blipBlocks_(blipBlocks) {
        pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, 44100, 2};
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.fragsize = 64 * 8;
        int error = 0;
        pa_ = pa_simple_new(nullptr, "bench", PA_STREAM_RECORD, "bench.monitor", "monitor", &spec, nullptr, &attr, &error);
        if (pa_) thread_ = std::thread([this] { run(); });
    }
    ~DeviceWatch() {
        quit_ = true;
        if (thread_.joinable()) thread_.join();
        if (pa_) pa_simple_free(pa_);
    }
    bool running() const { return pa_ != nullptr; }
    std::atomic<bool> armed{false};
    std::atomic<int64_t> onsetNs{0};
    std::atomic<int> quietBlocks{0};  // consecutive blocks below a fifth of the level (blips aside)
    std::atomic<uint64_t> framesRead{0};

private:
    void run() {
        std::vector<float> block(64 * 2);
        int error = 0;
        while (!quit_ && pa_simple_read(pa_, block.data(), block.size() * sizeof(float), &error) >= 0) {
            float peak = 0;
            for (size_t i = 0; i < block.size(); ++i)
                if (channel_ < 0 || int(i % 2) == channel_) peak = std::max(peak, std::fabs(block[i]));
            const int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
            framesRead += block.size() / 2;
            run_ = peak < level_ / 5 ? 0 : run_ + 1;
            quietBlocks = run_ > blipBlocks_ || (run_ > 0 && blipBlocks_ == 0) ? 0 : quietBlocks + 1;
            if (run_ == 0) candidateNs_ = 0;
            if (armed && peak > level_ && candidateNs_ == 0) candidateNs_ = now;
            if (armed && candidateNs_ != 0 && run_ > blipBlocks_) {
                onsetNs = candidateNs_;
                armed = false;
            }
        }
    }
    float level_;
    int channel_;
    int blipBlocks_;
    int run_ = 0;              // consecutive blocks above the silence line
    int64_t candidateNs_ = 0;  // first block above the level in this run
    pa_simple* pa_ = nullptr;
    std::thread thread_;
    std::atomic<bool> quit_{false};
};

}  // namespace bench
