// Synthesises the six default sound effects of the "音效" folder as 16-bit
// mono wave files at 22050 Hz:
//
//   gen_effects <output folder>
//
// Every sound is built from noise, filters and decaying partials with a
// fixed random seed, so each build writes the same files. Each sound is
// normalised to a peak of about -1 dBFS.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

using Buffer = std::vector<double>;

Buffer silence(double seconds) { return Buffer(static_cast<size_t>(seconds * kRate), 0.0); }
double timeOf(size_t i) { return double(i) / kRate; }

class Noise {
public:
    explicit Noise(uint32_t seed) : gen_(seed), dist_(-1.0, 1.0) {}
    double white() { return dist_(gen_); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * (dist_(gen_) + 1.0) / 2.0; }

private:
    std::mt19937 gen_;
    std::uniform_real_distribution<double> dist_;
};

// One-pole low-pass at cutoff Hz.
struct LowPass {
    double a = 0, y = 0;
    explicit LowPass(double cutoff) { set(cutoff); }
    void set(double cutoff) { a = 1.0 - std::exp(-2.0 * kPi * cutoff / kRate); }
    double operator()(double x) { return y += a * (x - y); }
};

// One-pole high-pass at cutoff Hz.
struct HighPass {
    LowPass lp;
    explicit HighPass(double cutoff) : lp(cutoff) {}
    double operator()(double x) { return x - lp(x); }
};

// Band-pass biquad (constant peak gain) at centre Hz with quality q.
struct BandPass {
    double b0 = 0, b2 = 0, a1 = 0, a2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    BandPass(double centre, double q) { set(centre, q); }
    void set(double centre, double q) {
        double w = 2 * kPi * centre / kRate, alpha = std::sin(w) / (2 * q), a0 = 1 + alpha;
        b0 = alpha / a0;
        b2 = -alpha / a0;
        a1 = -2 * std::cos(w) / a0;
        a2 = (1 - alpha) / a0;
    }
    double operator()(double x) {
        double y = b0 * x + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// A small room: four feedback combs in parallel, then two all-passes.
Buffer reverb(const Buffer& in, double mix, double feedback) {
    const int combs[4] = {1116, 1188, 1277, 1356};
    const int passes[2] = {556, 441};
    Buffer wet(in.size(), 0.0);
    for (int len : combs) {
        int d = len * kRate / 44100;
        std::vector<double> line(size_t(d), 0.0);
        size_t pos = 0;
        double damp = 0;
        for (size_t i = 0; i < in.size(); ++i) {
            double out = line[pos];
            damp = out * 0.7 + damp * 0.3;
            line[pos] = in[i] + damp * feedback;
            pos = (pos + 1) % line.size();
            wet[i] += out / 4;
        }
    }
    for (int len : passes) {
        int d = len * kRate / 44100;
        std::vector<double> line(size_t(d), 0.0);
        size_t pos = 0;
        for (double& s : wet) {
            double buf = line[pos];
            double out = -s + buf;
            line[pos] = s + buf * 0.5;
            pos = (pos + 1) % line.size();
            s = out;
        }
    }
    Buffer out(in.size());
    for (size_t i = 0; i < in.size(); ++i) out[i] = in[i] * (1 - mix) + wet[i] * mix;
    return out;
}

// A decaying sine partial added at start seconds.
void addPartial(Buffer& b, double start, double freq, double amp, double decay, double phase = 0) {
    size_t s0 = size_t(start * kRate);
    for (size_t i = s0; i < b.size(); ++i) {
        double t = timeOf(i - s0);
        double env = amp * std::exp(-t / decay);
        if (env < 1e-5) break;
        b[i] += env * std::sin(2 * kPi * freq * t + phase);
    }
}

void fadeEdges(Buffer& b, double in, double out) {
    size_t ni = size_t(in * kRate), no = size_t(out * kRate);
    for (size_t i = 0; i < ni && i < b.size(); ++i) b[i] *= double(i) / ni;
    for (size_t i = 0; i < no && i < b.size(); ++i) b[b.size() - 1 - i] *= double(i) / no;
}

void normalise(Buffer& b, double peak) {
    double m = 0;
    for (double s : b) m = std::max(m, std::abs(s));
    if (m > 0)
        for (double& s : b) s *= peak / m;
}

// ------------------------------------------------------------- the sounds

// Two glasses touching: the inharmonic ring of a wine glass, struck twice.
Buffer glass() {
    Buffer b = silence(1.4);
    Noise n(11);
    const double partials[][3] = {  // frequency, amplitude, decay
        {1870, 1.0, 0.55}, {1884, 0.6, 0.50}, {4420, 0.45, 0.22}, {4455, 0.3, 0.20},
        {7630, 0.22, 0.09}, {2950, 0.12, 0.30}};
    for (double start : {0.0, 0.085}) {
        double gain = start == 0.0 ? 1.0 : 0.55;
        for (const auto& p : partials)
            addPartial(b, start, p[0] * (start == 0.0 ? 1.0 : 1.012), p[1] * gain, p[2] * (start == 0 ? 1 : 0.7),
                       n.uniform(0, 2 * kPi));
        // The tick of the contact itself.
        HighPass hp(3000);
        size_t s0 = size_t(start * kRate);
        for (size_t i = 0; i < size_t(0.006 * kRate); ++i)
            b[s0 + i] += gain * 0.9 * hp(n.white()) * std::exp(-timeOf(i) / 0.0015);
    }
    b = reverb(b, 0.18, 0.7);
    fadeEdges(b, 0.0005, 0.05);
    return b;
}

// Thunder: a sharp crack, then a long rolling rumble.
Buffer thunder() {
    Buffer b = silence(3.0);
    Noise n(23);
    LowPass rumble1(180), rumble2(120), crackLp(2500), lfoLp(3.0), roll(8.0);
    HighPass dc(25);
    for (size_t i = 0; i < b.size(); ++i) {
        double t = timeOf(i);
        // Crack: bright noise, in a few bursts over the first 250 ms.
        double crackEnv = std::exp(-t / 0.05) + 0.6 * std::exp(-std::abs(t - 0.12) / 0.03) +
                          0.4 * std::exp(-std::abs(t - 0.21) / 0.04);
        double crack = crackLp(n.white()) * crackEnv * (t < 0.4 ? 1.0 : 0.0);
        // Rumble: deep noise whose loudness wanders, swelling then dying away.
        double wander = 0.55 + 0.45 * std::tanh(6 * lfoLp(n.white() * 4));
        double rollEnv = (1 - std::exp(-t / 0.15)) * std::exp(-t / 1.1);
        double deep = rumble2(rumble1(n.white())) * 14.0;
        double grit = roll(n.white()) * 4.0;
        b[i] = dc(1.2 * crack + deep * rollEnv * wander * (1 + 0.3 * grit));
    }
    b = reverb(b, 0.3, 0.8);
    fadeEdges(b, 0.001, 0.4);
    return b;
}

// Brakes: a high, wavering squeal over the hiss of tyres, fading as the car stops.
Buffer brakes() {
    Buffer b = silence(2.2);
    Noise n(37);
    LowPass jitter(6), hissLp(4000);
    HighPass hissHp(900);
    double phase = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = timeOf(i);
        double wobble = jitter(n.white()) * 8;
        double f = 2650 + 180 * std::sin(2 * kPi * 0.7 * t) + 120 * wobble - 250 * t / 2.2;
        phase += 2 * kPi * f / kRate;
        double chatter = 0.75 + 0.25 * std::sin(2 * kPi * 31 * t + 2 * std::sin(2 * kPi * 3 * t));
        double squeal = std::sin(phase) + 0.35 * std::sin(2 * phase + 0.4) + 0.12 * std::sin(3 * phase);
        double env = std::min(1.0, t / 0.08) * (t < 1.7 ? 1.0 : std::max(0.0, 1 - (t - 1.7) / 0.45));
        double hiss = hissHp(hissLp(n.white())) * (0.35 * std::exp(-t / 1.2) + 0.05);
        b[i] = env * (0.6 * squeal * chatter + hiss);
    }
    b = reverb(b, 0.12, 0.6);
    fadeEdges(b, 0.002, 0.05);
    return b;
}

// Roof tiles smashing: a hard hit, then a shower of shards and grit.
Buffer tiles() {
    Buffer b = silence(1.6);
    Noise n(41);
    // The impact: a short low thud and a broad burst of noise.
    addPartial(b, 0.0, 110, 0.8, 0.06);
    addPartial(b, 0.0, 240, 0.4, 0.04);
    LowPass burstLp(6000);
    for (size_t i = 0; i < size_t(0.25 * kRate); ++i)
        b[i] += 1.2 * burstLp(n.white()) * std::exp(-timeOf(i) / 0.045);
    // Shards: short ceramic pings, dense at first, thinning out.
    for (int k = 0; k < 90; ++k) {
        double u = n.uniform(0, 1);
        double start = 0.01 + 1.1 * u * u;
        double amp = 0.5 * std::exp(-start / 0.5) * n.uniform(0.3, 1.0);
        double f = n.uniform(1800, 6500);
        addPartial(b, start, f, amp, n.uniform(0.008, 0.035), n.uniform(0, 6));
        addPartial(b, start, f * n.uniform(1.4, 2.3), amp * 0.5, n.uniform(0.005, 0.02));
    }
    // Grit: pieces sliding and settling.
    BandPass grit(3000, 0.8);
    for (size_t i = 0; i < b.size(); ++i) {
        double t = timeOf(i);
        double crackle = n.uniform(0, 1) > 0.985 ? n.white() : 0.0;
        b[i] += 2.5 * grit(crackle) * std::exp(-t / 0.45);
    }
    b = reverb(b, 0.2, 0.7);
    fadeEdges(b, 0.0005, 0.1);
    return b;
}

// A door opening on a dry hinge: the latch, then a rising, stuttering creak.
Buffer doorOpen() {
    Buffer b = silence(2.0);
    Noise n(53);
    // Latch click.
    addPartial(b, 0.0, 2100, 0.5, 0.008);
    addPartial(b, 0.012, 1500, 0.35, 0.01);
    // Creak: stick-slip pulses through the resonances of the door.
    BandPass r1(650, 6), r2(1350, 8), r3(2450, 10);
    LowPass rateNoise(2.5);
    double phase = 0;
    const double t0 = 0.18;
    for (size_t i = size_t(t0 * kRate); i < b.size(); ++i) {
        double t = timeOf(i) - t0;
        double rate = 55 + 70 * (0.5 - 0.5 * std::cos(2 * kPi * t / 1.6)) + 60 * rateNoise(n.white());
        phase += rate / kRate;
        double pulse = 0;
        if (phase >= 1) {
            phase -= 1;
            pulse = 1.0 + 0.3 * n.white();
        }
        double swell = std::sin(kPi * std::min(1.0, t / 1.75));
        double x = pulse * swell;
        b[i] += 5.0 * (r1(x) + 0.8 * r2(x) + 0.5 * r3(x));
    }
    b = reverb(b, 0.15, 0.6);
    fadeEdges(b, 0.0005, 0.08);
    return b;
}

// A door slammed shut: a heavy wooden thump, the latch, and the room.
Buffer doorSlam() {
    Buffer b = silence(1.3);
    Noise n(67);
    // The thump: a falling low tone and the door panel's modes.
    double phase = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        double t = timeOf(i);
        double f = 55 + 45 * std::exp(-t / 0.03);
        phase += 2 * kPi * f / kRate;
        b[i] += 1.0 * std::sin(phase) * std::exp(-t / 0.12);
    }
    addPartial(b, 0.0, 182, 0.5, 0.09);
    addPartial(b, 0.0, 317, 0.35, 0.07);
    addPartial(b, 0.0, 523, 0.25, 0.05);
    addPartial(b, 0.0, 870, 0.12, 0.03);
    LowPass hitLp(1800);
    for (size_t i = 0; i < size_t(0.12 * kRate); ++i)
        b[i] += 1.0 * hitLp(n.white()) * std::exp(-timeOf(i) / 0.02);
    // The latch snapping home just after.
    HighPass latchHp(1500);
    size_t l0 = size_t(0.035 * kRate);
    for (size_t i = 0; i < size_t(0.03 * kRate); ++i)
        b[l0 + i] += 0.45 * latchHp(n.white()) * std::exp(-timeOf(i) / 0.005);
    addPartial(b, 0.035, 2900, 0.2, 0.012);
    b = reverb(b, 0.35, 0.78);
    fadeEdges(b, 0.0003, 0.15);
    return b;
}

bool writeWave(const std::filesystem::path& path, const Buffer& b) {
    std::ofstream f(path, std::ios::binary);
    if (!f) return false;
    auto u32 = [&](uint32_t v) {
        char c[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        f.write(c, 4);
    };
    auto u16 = [&](uint16_t v) {
        char c[2] = {char(v), char(v >> 8)};
        f.write(c, 2);
    };
    const uint32_t dataBytes = uint32_t(b.size() * 2);
    f.write("RIFF", 4);
    u32(36 + dataBytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);           // PCM
    u16(1);           // mono
    u32(kRate);
    u32(kRate * 2);   // bytes per second
    u16(2);           // block align
    u16(16);          // bits per sample
    f.write("data", 4);
    u32(dataBytes);
    for (double s : b) {
        long v = std::lround(std::clamp(s, -1.0, 1.0) * 32767.0);
        u16(uint16_t(int16_t(v)));
    }
    return bool(f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: gen_effects <output folder>\n");
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    struct Effect {
        const char* name;
        std::function<Buffer()> make;
    };
    const Effect effects[] = {
        {"玻璃1.wav", glass},    {"雷声3.WAV", thunder},   {"刹车2.wav", brakes},
        {"瓦碎.wav", tiles},     {"开门声.wav", doorOpen}, {"关门声1.wav", doorSlam},
    };
    for (const Effect& e : effects) {
        Buffer b = e.make();
        normalise(b, 0.89);
        const auto path = out / std::filesystem::path(reinterpret_cast<const char8_t*>(e.name));
        if (!writeWave(path, b)) {
            std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
            return 1;
        }
    }
    return 0;
}
