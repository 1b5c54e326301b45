// When each frame the audio engine renders is heard, on the steady clock:
// the line that places a message due at a moment onto a frame. A plain class
// fed with the render times, so that it runs without an output or a clock.
#pragma once

#include <algorithm>
#include <cstdint>

namespace plat {

// How long `frames` frames last at `rate` frames a second, in nanoseconds
// (exact for any count: no product overflows).
inline int64_t nsOfFrames(uint64_t frames, int rate) {
    const auto r = static_cast<uint64_t>(rate);
    return static_cast<int64_t>(frames / r) * 1000000000 + static_cast<int64_t>((frames % r) * 1000000000ull / r);
}

class FrameClock {
public:
    explicit FrameClock(int sampleRate) : rate_(sampleRate) {}

    // A new start: nothing known yet.
    void reset() {
        anchored_ = false;
        aheadNs_ = 0;
        liveNs_ = -1;
    }

    // Before the block that starts at frame `frame` is rendered, at nowNs.
    // aheadMs: how far ahead of being heard the output renders now (its
    // buffer); heardNs: when frame 0 is heard by the server's last timing
    // report (0: none). With a report that is not out of date the line is
    // the report, and the look-ahead is how long after it is rendered a
    // block is heard (the latency of a key played now), averaged over some
    // 50 blocks; without one, the buffer. Otherwise the line follows the
    // latest moments at which frames were rendered (a render later than the
    // line moves it: after a rest, a stall or an underrun) and leans back
    // slowly for clocks that run apart.
    void follow(int64_t nowNs, uint64_t frame, double aheadMs, int64_t heardNs) {
        aheadNs_ = static_cast<int64_t>(aheadMs * 1e6);
        const int64_t renderedAt = nowNs - nsOf(frame);
        if (heardNs > renderedAt) {
            // (A frame rendered after the report says it is heard means the
            // report is out of date.)
            anchored_ = true;
            offsetNs_ = heardNs;
            const int64_t live = heardNs - renderedAt;
            liveNs_ = liveNs_ < 0 ? live : liveNs_ + (live - liveNs_) / 32;
            aheadNs_ = liveNs_;
        } else if (!anchored_ || renderedAt > offsetNs_) {
            anchored_ = true;
            offsetNs_ = renderedAt;
        } else {
            offsetNs_ -= 20;  // 20 ns a block: 14 ppm
        }
    }

    // The frame a message due at dueNs sounds from: the one heard at dueNs
    // plus the output's buffer now, as a key played at dueNs is heard; it is
    // rendered no earlier than dueNs, after a message sent ahead of it.
    // `next` (the next frame to render) when due at once (0), before the
    // line is known, or when that frame has been rendered already.
    uint64_t frameOf(int64_t dueNs, uint64_t next) const {
        if (dueNs <= 0 || !anchored_) return next;
        const int64_t at = dueNs + aheadNs_ - offsetNs_;
        if (at <= 0) return next;
        const uint64_t f = static_cast<uint64_t>(at / 1000000000) * static_cast<uint64_t>(rate_) +
                           static_cast<uint64_t>((at % 1000000000) * rate_ / 1000000000);
        return std::max(f, next);
    }

    int64_t nsOf(uint64_t frame) const { return nsOfFrames(frame, rate_); }

private:
    int rate_;
    bool anchored_ = false;
    int64_t offsetNs_ = 0;  // when frame 0 is heard, on the line
    int64_t aheadNs_ = 0;
    int64_t liveNs_ = -1;  // averaged latency of a block rendered now (-1: none yet)
};

}  // namespace plat
