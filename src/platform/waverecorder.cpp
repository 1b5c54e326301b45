// The wave recorder: the tap's lock-free ring, the writer thread's conversion and the wave file.
#include "platform/waverecorder.h"

#include "platform/audioengine.h"
#include "platform/savefile.h"
#include "platform/sound.h"
#include "platform/wavevoice.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryFile>

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>
#include <unistd.h>

namespace plat {
namespace {

constexpr size_t kRingFrames = 1u << 18;  // about 6 s of the mix
constexpr size_t kChunkFrames = 4096;     // frames the writer takes at once
constexpr auto kWriterNap = std::chrono::milliseconds(10);

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The whole word as a number in [lo, hi], or -1.
long numberIn(const std::string& word, long lo, long hi) {
    if (word.empty() || word.size() > 9) return -1;
    for (char c : word)
        if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
    long v = std::stol(word);
    return v >= lo && v <= hi ? v : -1;
}

}  // namespace

// ---- FrameRing

FrameRing::FrameRing(size_t capacityFrames) {
    size_t cap = 1;
    while (cap < capacityFrames) cap <<= 1;
    buf_.assign(cap * 2, 0.0f);
    mask_ = cap - 1;
}

size_t FrameRing::push(const float* frames, size_t frameCount) {
    const uint64_t head = head_.load(std::memory_order_relaxed);
    const uint64_t tail = tail_.load(std::memory_order_acquire);
    const size_t room = capacity() - static_cast<size_t>(head - tail);
    const size_t n = std::min(frameCount, room);
    const size_t at = static_cast<size_t>(head) & mask_;
    const size_t first = std::min(n, capacity() - at);
    std::copy(frames, frames + first * 2, buf_.begin() + static_cast<ptrdiff_t>(at * 2));
    std::copy(frames + first * 2, frames + n * 2, buf_.begin());
    head_.store(head + n, std::memory_order_release);
    return n;
}

size_t FrameRing::pop(float* out, size_t maxFrames) {
    const uint64_t tail = tail_.load(std::memory_order_relaxed);
    const uint64_t head = head_.load(std::memory_order_acquire);
    const size_t n = std::min(maxFrames, static_cast<size_t>(head - tail));
    const size_t at = static_cast<size_t>(tail) & mask_;
    const size_t first = std::min(n, capacity() - at);
    std::copy(buf_.begin() + static_cast<ptrdiff_t>(at * 2), buf_.begin() + static_cast<ptrdiff_t>((at + first) * 2), out);
    std::copy(buf_.begin(), buf_.begin() + static_cast<ptrdiff_t>((n - first) * 2), out + first * 2);
    tail_.store(tail + n, std::memory_order_release);
    return n;
}

// ---- The take: scratch file, ring and writer thread

struct WaveRecorder::Take {
    // The recording process's id in the name tells a take cut short by a
    // power loss or a kill from one still running (removeLeftoverTakes).
    QTemporaryFile scratch{QDir::tempPath() + QStringLiteral("/morvela-take-%1-XXXXXX.wav").arg(::getpid())};
    SNDFILE* file = nullptr;
    WaveFormat format;
    FrameRing ring{kRingFrames};
    LinearResampler resampler;
    std::atomic<uint64_t> dropped{0};
    std::atomic<bool> writeFailed{false};
    std::atomic<bool> quit{false};
    std::thread writer;
    std::vector<float> chunk, resampled, out;

    Take(const WaveFormat& f, int mixRate) : format(f), resampler(mixRate, f.samplesPerSec) {}
    ~Take() {
        stopWriter();
        if (file) sf_close(file);
    }

    bool open() {
        if (!scratch.open()) return false;
        SF_INFO info{};
        info.samplerate = format.samplesPerSec;
        info.channels = format.channels;
        // 8-bit wave samples are unsigned; libsndfile converts to that.
        info.format = SF_FORMAT_WAV | (format.bitsPerSample == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
        file = sf_open(QFile::encodeName(scratch.fileName()).constData(), SFM_WRITE, &info);
        if (!file) return false;
        // No SFC_SET_CLIPPING: its float conversion rounds towards minus
        // infinity, so the tiny negative noise of a silent synthesizer would
        // land one step below silence (0x7F in 8 bits). writeFrames clamps
        // to full scale instead and the plain conversion rounds to nearest.
        sf_command(file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
        return true;
    }

    // Writer thread: drains the ring until told to quit and the ring is empty.
    void writeLoop() {
        chunk.resize(kChunkFrames * 2);
        for (;;) {
            const size_t n = ring.pop(chunk.data(), kChunkFrames);
            if (n == 0) {
                if (quit.load(std::memory_order_acquire)) {
                    // The tap is gone before quit is set: one last look.
                    if (ring.pop(chunk.data(), kChunkFrames) == 0) break;
                    continue;
                }
                std::this_thread::sleep_for(kWriterNap);
                continue;
            }
            writeFrames(chunk.data(), n);
        }
    }

    void writeFrames(const float* stereo, size_t n) {
        // Once the scratch file took no more, what is heard is dropped: the
        // take holds what was written before.
        if (writeFailed.load(std::memory_order_relaxed)) return;
        resampled.clear();
        resampler.process(stereo, n, resampled);
        const size_t frames = resampled.size() / 2;
        float* data = resampled.data();
        if (format.channels == 1) {
            out.resize(frames);
            for (size_t i = 0; i < frames; ++i) out[i] = 0.5f * (resampled[2 * i] + resampled[2 * i + 1]);
            data = out.data();
        }
        for (size_t i = 0; i < frames * static_cast<size_t>(format.channels); ++i)
            data[i] = std::clamp(data[i], -1.0f, 1.0f);
        if (frames && sf_writef_float(file, data, static_cast<sf_count_t>(frames)) != static_cast<sf_count_t>(frames))
            writeFailed.store(true);
    }

    void startWriter() {
        quit.store(false);
        writer = std::thread([this] { writeLoop(); });
    }

    void stopWriter() {
        if (!writer.joinable()) return;
        quit.store(true, std::memory_order_release);
        writer.join();
        if (file) sf_command(file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    }
};

// ---- WaveRecorder

WaveRecorder::WaveRecorder(AudioEngine& engine) : engine_(engine) {}

WaveRecorder::~WaveRecorder() { stop(); }

uint32_t WaveRecorder::set(const std::vector<std::string>& words) {
    if (words.empty()) return kMciErrMissingArgument;
    std::vector<std::string> w;
    for (const std::string& s : words) w.push_back(lower(s));
    WaveFormat f = format_;
    if (w.size() == 2 && w[0] == "bitspersample") {
        f.bitsPerSample = w[1] == "8" ? 8 : w[1] == "16" ? 16 : -1;
        if (f.bitsPerSample < 0) return kMciErrBadParameter;
    } else if (w.size() == 2 && w[0] == "samplespersec") {
        f.samplesPerSec = static_cast<int>(numberIn(w[1], 8000, 96000));
        if (f.samplesPerSec < 0) return kMciErrBadParameter;
    } else if (w.size() == 2 && w[0] == "channels") {
        f.channels = static_cast<int>(numberIn(w[1], 1, 2));
        if (f.channels < 0) return kMciErrBadParameter;
    } else if ((w.size() == 4 && w[0] == "file" && w[1] == "format" && w[2] == "tag" && w[3] == "pcm") ||
               (w.size() == 3 && w[0] == "format" && w[1] == "tag" && w[2] == "pcm") ||
               (w.size() == 2 && w[0] == "algorithm" && w[1] == "pcm")) {
        return kMciOk;  // PCM is the only kind written
    } else if (w.size() == 3 && w[0] == "assemble" && w[1] == "record" && (w[2] == "on" || w[2] == "off")) {
        return kMciOk;
    } else {
        return kMciErrBadParameter;
    }
    if (f.bitsPerSample == format_.bitsPerSample && f.samplesPerSec == format_.samplesPerSec &&
        f.channels == format_.channels)
        return kMciOk;
    if (take_) return kMciErrBusy;  // the take already has its format
    format_ = f;
    return kMciOk;
}

uint32_t WaveRecorder::openTake() {
    if (take_) return kMciOk;
    auto take = std::make_unique<Take>(format_, engine_.sampleRate());
    if (!take->open()) return kMciErrCannotWriteFile;
    take_ = std::move(take);
    return kMciOk;
}

uint32_t WaveRecorder::record() {
    if (recording_) return kMciOk;
    if (!engine_.running() && !engine_.start(AudioEngine::Output::Auto)) return kMciErrNoSound;
    if (uint32_t r = openTake()) return r;
    take_->startWriter();
    Take* take = take_.get();
    tapId_ = engine_.addTap([take](const float* frames, int frameCount) {
        const size_t n = static_cast<size_t>(frameCount);
        const size_t taken = take->ring.push(frames, n);
        if (taken < n) take->dropped.fetch_add(n - taken, std::memory_order_relaxed);
    });
    recording_ = true;
    return kMciOk;
}

uint32_t WaveRecorder::stop() {
    if (!recording_) return kMciOk;
    engine_.removeTap(tapId_);  // the tap is not running once this returns
    tapId_ = 0;
    take_->stopWriter();
    recording_ = false;
    return kMciOk;
}

uint32_t WaveRecorder::save(const std::string& path) {
    if (path.empty()) return kMciErrMissingArgument;
    stop();
    if (uint32_t r = openTake()) return r;
    // Streamed through the program's writer: a save that fails part way
    // leaves the old file and the take as they were.
    if (!copyFileAtomic(take_->scratch.fileName(), QString::fromStdString(path))) return kMciErrCannotWriteFile;
    return kMciOk;
}

std::string WaveRecorder::mode() const {
    if (!recording_) return "stopped";
    return take_->writeFailed.load() ? "not ready" : "recording";
}

uint64_t WaveRecorder::framesDropped() const { return take_ ? take_->dropped.load() : 0; }

int removeLeftoverTakes() {
    static const QRegularExpression pattern(QStringLiteral("^morvela-take-(?:([0-9]{1,10})-)?[A-Za-z0-9]{6}\\.wav$"));
    return removeLeftovers(QDir::tempPath(), pattern);
}

}  // namespace plat
