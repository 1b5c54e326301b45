// Wave voices: decoding and resampling files, decoded and streaming voices.
#include "platform/wavevoice.h"

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace plat {
namespace {

constexpr sf_count_t kReadChunkFrames = 4096;

// Converts `frames` frames of `channels` interleaved samples to stereo.
void toStereo(const float* in, int channels, size_t frames, std::vector<float>& out) {
    out.resize(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const float* f = in + i * static_cast<size_t>(channels);
        out[2 * i] = f[0];
        out[2 * i + 1] = channels > 1 ? f[1] : f[0];
    }
}

struct SndFileCloser {
    void operator()(SNDFILE* f) const { if (f) sf_close(f); }
};
using SndFilePtr = std::unique_ptr<SNDFILE, SndFileCloser>;

SndFilePtr openSndFile(const std::string& path, SF_INFO* info) {
    *info = SF_INFO{};
    SndFilePtr f(sf_open(path.c_str(), SFM_READ, info));
    if (f && (info->channels < 1 || info->samplerate < 1)) f.reset();
    return f;
}

// Reads the next chunk of the file as stereo at `resampler`'s output rate,
// appended to out. Returns the number of file frames read (0 at the end).
sf_count_t readStereoChunk(SNDFILE* file, int channels, LinearResampler& resampler,
                           std::vector<float>& raw, std::vector<float>& stereo,
                           std::vector<float>& out) {
    raw.resize(static_cast<size_t>(kReadChunkFrames * channels));
    sf_count_t got = sf_readf_float(file, raw.data(), kReadChunkFrames);
    if (got <= 0) return 0;
    toStereo(raw.data(), channels, static_cast<size_t>(got), stereo);
    resampler.process(stereo.data(), static_cast<size_t>(got), out);
    return got;
}

}  // namespace

LinearResampler::LinearResampler(int inRate, int outRate)
    : step_(static_cast<double>(inRate) / static_cast<double>(outRate)) {}

void LinearResampler::process(const float* in, size_t frameCount, std::vector<float>& out) {
    if (frameCount == 0) return;
    if (step_ == 1.0) {
        out.insert(out.end(), in, in + frameCount * 2);
        return;
    }
    if (!havePrev_) {
        // The very first input frame becomes the history frame at position 0.
        prev_[0] = in[0];
        prev_[1] = in[1];
        havePrev_ = true;
        in += 2;
        --frameCount;
        pos_ = 0.0;
        out.push_back(prev_[0]);
        out.push_back(prev_[1]);
        pos_ += step_;
        if (frameCount == 0) return;
    }
    // Positions count from prev_ (index 0); input frame j is index j + 1.
    auto at = [&](size_t index, int ch) { return index == 0 ? prev_[ch] : in[(index - 1) * 2 + ch]; };
    while (true) {
        size_t i = static_cast<size_t>(pos_);
        if (i + 1 > frameCount) break;
        float f = static_cast<float>(pos_ - static_cast<double>(i));
        for (int ch = 0; ch < 2; ++ch) {
            float a = at(i, ch);
            float b = at(i + 1, ch);
            out.push_back(a + (b - a) * f);
        }
        pos_ += step_;
    }
    pos_ -= static_cast<double>(frameCount);
    prev_[0] = in[(frameCount - 1) * 2];
    prev_[1] = in[(frameCount - 1) * 2 + 1];
}

bool probeWaveFile(const std::string& path, WaveFileInfo* info) {
    SF_INFO sfi;
    SndFilePtr f = openSndFile(path, &sfi);
    if (!f) return false;
    info->sampleRate = sfi.samplerate;
    info->channels = sfi.channels;
    info->frames = sfi.frames;
    return true;
}

std::shared_ptr<const std::vector<float>> decodeWaveFile(const std::string& path, int rate) {
    SF_INFO info;
    SndFilePtr f = openSndFile(path, &info);
    if (!f) return nullptr;
    auto out = std::make_shared<std::vector<float>>();
    if (info.frames > 0 && info.frames < (int64_t{1} << 31)) {
        double ratio = static_cast<double>(rate) / info.samplerate;
        out->reserve(static_cast<size_t>(static_cast<double>(info.frames) * ratio * 2.0) + 16);
    }
    LinearResampler resampler(info.samplerate, rate);
    std::vector<float> raw, stereo;
    while (readStereoChunk(f.get(), info.channels, resampler, raw, stereo, *out) > 0) {
    }
    if (out->empty()) return nullptr;
    return out;
}

BufferVoice::BufferVoice(std::shared_ptr<const std::vector<float>> frames, bool loop)
    : WaveVoice(loop), frames_(std::move(frames)) {}

void BufferVoice::mixInto(float* out, int frameCount, float gainL, float gainR) {
    if (finished()) return;
    if (stopRequested() || !frames_ || frames_->size() < 2) {
        markFinished();
        return;
    }
    const float* src = frames_->data();
    const size_t total = frames_->size() / 2;
    const float l = gainL * gain();
    const float r = gainR * gain();
    int done = 0;
    while (done < frameCount) {
        if (pos_ >= total) {
            if (!loops()) {
                markFinished();
                return;
            }
            pos_ = 0;
        }
        size_t n = std::min(total - pos_, static_cast<size_t>(frameCount - done));
        const float* s = src + pos_ * 2;
        float* d = out + static_cast<size_t>(done) * 2;
        for (size_t i = 0; i < n; ++i) {
            d[2 * i] += s[2 * i] * l;
            d[2 * i + 1] += s[2 * i + 1] * r;
        }
        pos_ += n;
        done += static_cast<int>(n);
    }
    if (pos_ >= total && !loops()) markFinished();
}

// The feeder: owns the file, decodes ahead into the ring buffer.
struct StreamVoice::Feeder {
    static constexpr size_t kRingFrames = 32768;  // about 0.74 s at 44.1 kHz

    SndFilePtr file;
    SF_INFO info{};
    LinearResampler resampler;
    bool loop;
    std::vector<float> ring = std::vector<float>(kRingFrames * 2);
    std::atomic<uint64_t> writePos{0};  // frames written, ever
    std::atomic<uint64_t> readPos{0};   // frames read, ever
    std::atomic<bool> eof{false};       // no more frames will be written
    std::vector<float> pending;         // resampled frames not yet in the ring
    size_t pendingPos = 0;              // in floats
    std::vector<float> raw, stereo;

    std::mutex mutex;
    std::condition_variable wake;
    bool quit = false;
    std::thread thread;

    Feeder(SndFilePtr f, const SF_INFO& i, int rate, bool lp)
        : file(std::move(f)), info(i), resampler(i.samplerate, rate), loop(lp) {}

    // Decodes until the ring is full or the file has ended.
    void fill() {
        int emptyReads = 0;
        while (!eof.load(std::memory_order_relaxed)) {
            uint64_t w = writePos.load(std::memory_order_relaxed);
            uint64_t r = readPos.load(std::memory_order_acquire);
            size_t space = kRingFrames - static_cast<size_t>(w - r);
            if (space == 0) return;
            if (pendingPos >= pending.size()) {
                pending.clear();
                pendingPos = 0;
                sf_count_t got = readStereoChunk(file.get(), info.channels, resampler, raw, stereo, pending);
                if (got > 0) {
                    emptyReads = 0;
                    continue;
                }
                // End of file: start over when looping, unless the file gives
                // nothing at all even from its start.
                if (loop && emptyReads == 0 && sf_seek(file.get(), 0, SEEK_SET) == 0) {
                    ++emptyReads;
                    continue;
                }
                eof.store(true, std::memory_order_release);
                return;
            }
            size_t avail = (pending.size() - pendingPos) / 2;
            size_t n = std::min(space, avail);
            for (size_t i = 0; i < n; ++i) {
                size_t slot = static_cast<size_t>((w + i) % kRingFrames) * 2;
                ring[slot] = pending[pendingPos + 2 * i];
                ring[slot + 1] = pending[pendingPos + 2 * i + 1];
            }
            pendingPos += n * 2;
            writePos.store(w + n, std::memory_order_release);
        }
    }

    void run() {
        std::unique_lock<std::mutex> lock(mutex);
        while (!quit) {
            lock.unlock();
            fill();
            lock.lock();
            if (eof.load(std::memory_order_relaxed)) {
                wake.wait(lock, [this] { return quit; });
            } else {
                wake.wait_for(lock, std::chrono::milliseconds(10), [this] { return quit; });
            }
        }
    }
};

StreamVoice::StreamVoice(bool loop) : WaveVoice(loop) {}

std::unique_ptr<StreamVoice> StreamVoice::open(const std::string& path, int rate, bool loop) {
    SF_INFO info;
    SndFilePtr f = openSndFile(path, &info);
    if (!f) return nullptr;
    std::unique_ptr<StreamVoice> v(new StreamVoice(loop));
    v->feeder_ = std::make_unique<Feeder>(std::move(f), info, rate, loop);
    Feeder* feeder = v->feeder_.get();
    feeder->fill();  // the start is ready before the voice is mixed
    if (feeder->eof.load() && feeder->writePos.load() == 0) return nullptr;
    feeder->thread = std::thread([feeder] { feeder->run(); });
    return v;
}

StreamVoice::~StreamVoice() {
    if (!feeder_) return;
    {
        std::lock_guard<std::mutex> lock(feeder_->mutex);
        feeder_->quit = true;
    }
    feeder_->wake.notify_one();
    if (feeder_->thread.joinable()) feeder_->thread.join();
}

void StreamVoice::mixInto(float* out, int frameCount, float gainL, float gainR) {
    if (finished()) return;
    if (stopRequested()) {
        markFinished();
        return;
    }
    Feeder& f = *feeder_;
    bool ended = f.eof.load(std::memory_order_acquire);  // before writePos: then writePos is final
    uint64_t w = f.writePos.load(std::memory_order_acquire);
    uint64_t r = f.readPos.load(std::memory_order_relaxed);
    size_t n = std::min(static_cast<size_t>(w - r), static_cast<size_t>(frameCount));
    const float l = gainL * gain();
    const float rg = gainR * gain();
    for (size_t i = 0; i < n; ++i) {
        size_t slot = static_cast<size_t>((r + i) % Feeder::kRingFrames) * 2;
        out[2 * i] += f.ring[slot] * l;
        out[2 * i + 1] += f.ring[slot + 1] * rg;
    }
    f.readPos.store(r + n, std::memory_order_release);
    if (n < static_cast<size_t>(frameCount) && ended) markFinished();
}

std::shared_ptr<WaveVoice> openWaveVoice(const std::string& path, int rate, bool loop) {
    WaveFileInfo info;
    if (!probeWaveFile(path, &info)) return nullptr;
    double seconds = info.frames > 0 ? static_cast<double>(info.frames) / info.sampleRate : 0.0;
    if (seconds > kStreamAboveSeconds) return StreamVoice::open(path, rate, loop);
    auto frames = decodeWaveFile(path, rate);
    if (!frames) return nullptr;
    return std::make_shared<BufferVoice>(std::move(frames), loop);
}

}  // namespace plat
