// The audio engine on its manual output, the soundfont choice, sound effects,
// media control strings, the resampler and the streaming voices.
#include "platform/audioengine.h"
#include "platform/mcicommand.h"
#include "platform/sound.h"
#include "platform/synthesizer.h"
#include "platform/textcodec.h"
#include "platform/wavevoice.h"

#include <QDir>
#include <QTemporaryDir>
#include <fluidsynth.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

using plat::AudioEngine;

namespace {

constexpr uint32_t kNoteOnC4 = 0x00643C90;  // channel 0, note 60, velocity 100
constexpr double kSilent = 1e-5;

// Waits up to 20 s for the output's own thread to bring `pred` about.
bool waitUntil(const std::function<bool()>& pred) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pred() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return pred();
}

// Writes a float sound file; sample(frame, channel) gives each value.
bool writeSoundFile(const std::string& path, int rate, int channels, int frames,
                    const std::function<float(int, int)>& sample, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    std::vector<float> data(static_cast<size_t>(frames) * channels);
    for (size_t i = 0; i < data.size(); ++i) data[i] = sample(int(i / channels), int(i % channels));
    sf_count_t written = sf_writef_float(f, data.data(), frames);
    sf_close(f);
    return written == frames;
}

// A constant level, easy to recognise in the mix after resampling.
bool writeLevelWav(const std::string& path, float level, double seconds, int rate = 44100, int channels = 1) {
    return writeSoundFile(path, rate, channels, int(seconds * rate), [level](int, int) { return level; });
}

size_t frames(double seconds) { return static_cast<size_t>(seconds * 44100); }

// RMS of one channel (0 = left, 1 = right) or both (-1) over frames [from, to).
double rms(const std::vector<float>& stereo, size_t from, size_t to, int channel = -1) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = 2 * from; i < 2 * to && i < stereo.size(); ++i) {
        if (channel >= 0 && int(i % 2) != channel) continue;
        sum += double(stereo[i]) * stereo[i];
        ++n;
    }
    return n ? std::sqrt(sum / n) : 0.0;
}

// Runs the engine on the manual output; a tap keeps everything rendered.
// Sound files go to a scratch folder and are named to sndPlaySoundA in GBK.
class EngineTest : public ::testing::Test {
protected:
    AudioEngine& engine = AudioEngine::instance();
    std::vector<float> tapped;
    int tapBlocks = 0;
    QTemporaryDir dir;

    void SetUp() override {
        engine.stop();
        ASSERT_TRUE(engine.start(AudioEngine::Output::Manual));
        fluid_synth_system_reset(engine.synth());  // channel state outlives a stop
        engine.setWaveGain(1.0f, 1.0f);
        tapId_ = engine.addTap([this](const float* f, int n) {
            tapped.insert(tapped.end(), f, f + 2 * n);
            ++tapBlocks;
        });
    }
    void TearDown() override {
        engine.removeTap(tapId_);
        engine.stopEffect();
        engine.stop();
    }
    std::vector<float> render(double seconds) {
        std::vector<float> out(frames(seconds) * 2);
        engine.render(out.data(), int(out.size() / 2));
        return out;
    }
    double levelOf(double seconds, int channel = -1) {
        auto out = render(seconds);
        return rms(out, 0, out.size() / 2, channel);
    }
    std::string path(const QString& name) const { return QFile::encodeName(dir.filePath(name)).toStdString(); }
    bool play(const QString& name, uint32_t flags = plat::kSndAsync | plat::kSndNoDefault) {
        return plat::sndPlaySoundA(plat::toGbk(dir.filePath(name)).constData(), flags);
    }

private:
    int tapId_ = 0;
};

// --- engine --------------------------------------------------------------------

TEST_F(EngineTest, NoteOnSoundsThroughTheTapAndAllNotesOffSilencesEvenThePedal) {
    EXPECT_LT(levelOf(0.05), kSilent) << "engine starts silent";
    EXPECT_TRUE(engine.midiShortMessage(0x00003D80)) << "note off for a note that is not sounding";
    EXPECT_TRUE(engine.midiShortMessage(0x00003D90)) << "velocity 0 for a note that is not sounding";
    // Sustain pedal down, a note released but held by it, a drum.
    for (uint32_t m : {0x007F40B0u, kNoteOnC4, 0x00003C80u, 0x00503099u})
        ASSERT_TRUE(engine.midiShortMessage(m)) << std::hex << m;
    auto out = render(0.2);
    EXPECT_GT(rms(out, 0, out.size() / 2), 1e-3);
    ASSERT_EQ(tapped.size(), frames(0.05) * 2 + out.size()) << "the tap saw every frame";
    EXPECT_TRUE(std::equal(out.begin(), out.end(), tapped.end() - long(out.size())));
    EXPECT_EQ(engine.framesRendered(), frames(0.25));
    engine.allNotesOff();
    out = render(2.0);
    EXPECT_LT(rms(out, out.size() / 2 - frames(0.1), out.size() / 2), kSilent);
}

TEST_F(EngineTest, ChannelMessagesReachTheSynthAndMalformedOnesDoNot) {
    int bend = 0, sfont = 0, bank = 0, program = 0;
    for (uint32_t m : {0x000019C2u, 0x007F00E2u})  // program 25, bend with the high byte only
        ASSERT_TRUE(engine.midiShortMessage(m)) << std::hex << m;
    for (uint32_t bad : {0xFFFFFFC0u, 0x000000FFu, 0x00FF3C92u})  // program -1, system reset, velocity 0xFF
        EXPECT_FALSE(engine.midiShortMessage(bad)) << std::hex << bad;
    render(0.01);  // the render thread applies them
    fluid_synth_get_program(engine.synth(), 2, &sfont, &bank, &program);
    EXPECT_EQ(program, 25) << "not reset by the dropped messages";
    fluid_synth_get_pitch_bend(engine.synth(), 2, &bend);
    EXPECT_EQ(bend, 0x3F80);
}

TEST_F(EngineTest, StopSilencesRestartBeginsAfreshRemovedTapsStayQuiet) {
    std::atomic<int> second{0};
    int id = engine.addTap([&](const float*, int) { ++second; });
    ASSERT_TRUE(engine.midiShortMessage(kNoteOnC4));
    render(0.2);
    EXPECT_GT(second.load(), 0);
    engine.removeTap(id);
    const int seen = second.load();
    engine.stop();
    std::vector<float> idle(2 * 256, 1.0f);
    const int blocks = tapBlocks;
    engine.render(idle.data(), 256);
    EXPECT_EQ(idle, std::vector<float>(2 * 256, 0.0f)) << "render() without the manual output gives silence";
    EXPECT_EQ(tapBlocks, blocks) << "and calls no tap";

    ASSERT_TRUE(engine.start(AudioEngine::Output::Manual));
    EXPECT_EQ(engine.framesRendered(), 0u);
    EXPECT_LT(levelOf(0.05), kSilent) << "neither the note nor its tail survive a stop";
    EXPECT_EQ(second.load(), seen) << "a removed tap is not called again";
    ASSERT_TRUE(engine.midiShortMessage(kNoteOnC4));
    EXPECT_GT(levelOf(0.2), 1e-3);
}

// The synthesizer starts notes at the edges of its 64-frame blocks: a note
// due at a frame starts at the nearest edge, not before, and sounds from
// there however slowly the instrument rises. A message sent later on the same
// channel does not overtake it (no stuck note), and with no render thread
// taking from it (the manual output) a full queue refuses rather than waits.
TEST_F(EngineTest, TimedNotesSoundFromTheirFrameAndKeepTheirChannelsOrder) {
    engine.midiShortMessage(0x000010C0);  // an organ, dry (no reverb tail after all sound off)
    fluid_synth_reverb_on(engine.synth(), -1, 0);
    fluid_synth_chorus_on(engine.synth(), -1, 0);
    engine.takeNoteOnTrace();
    engine.setNoteOnTrace(true);
    for (auto [offset, edge] : {std::pair{0, 0}, {20, 0}, {40, 64}}) {
        render(0.3);
        const uint64_t at = (engine.framesRendered() / 64 + 10) * 64;
        ASSERT_TRUE(engine.midiShortMessageAtFrame(kNoteOnC4, at + uint64_t(offset)));
        const uint64_t from = engine.framesRendered();
        auto out = render(0.2);
        const auto started = engine.takeNoteOnTrace();
        ASSERT_EQ(started.size(), 1u) << offset;
        EXPECT_EQ(started[0].frame, at + uint64_t(edge)) << offset;
        const size_t edgeAt = size_t(at - from) + size_t(edge);
        EXPECT_LT(rms(out, 0, edgeAt), kSilent) << offset;
        EXPECT_GT(rms(out, edgeAt, out.size() / 2), 1e-3) << offset;
        engine.midiShortMessage(0x000078B0);  // all sound off
    }
    render(0.5);
    ASSERT_TRUE(engine.midiShortMessageAtFrame(kNoteOnC4, engine.framesRendered() + 4410));
    engine.midiShortMessage(0x00003C80);  // sent after, due at once: still after the note-on
    render(0.2);
    engine.setNoteOnTrace(false);
    EXPECT_EQ(engine.takeNoteOnTrace().size(), 1u) << "the note started";
    fluid_voice_t* voices[64] = {};
    fluid_synth_get_voicelist(engine.synth(), voices, 64, -1);
    for (fluid_voice_t* v : voices) EXPECT_TRUE(!v || !fluid_voice_is_on(v)) << "the note was released";
    int refused = 0;
    for (int i = 0; i < 20000; ++i) refused += !engine.midiShortMessage(0x00003C80);
    EXPECT_GT(refused, 0);
    render(0.1);
    EXPECT_TRUE(engine.midiShortMessage(0x00003C80)) << "room again once rendered";
}

// The null output renders on its own thread; it rests while nothing sounds
// (no blocks rendered, no CPU), the next sound starts it again, and a
// recorder's tap, which records silence too, keeps it running.
TEST(SilentOutput, RestsWhileQuietWakesForASoundRecorderTapKeepsItRunning) {
    AudioEngine& engine = AudioEngine::instance();
    engine.stop();
    ASSERT_TRUE(engine.start(AudioEngine::Output::Null));
    EXPECT_EQ(engine.outputName(), "null");
    EXPECT_TRUE(engine.outputBufferMs() > 0.0 && engine.outputBufferMs() <= 10.0) << engine.outputBufferMs();
    std::atomic<bool> heard{false};
    const int watch = engine.addTap(
        [&](const float* f, int n) {
            for (int i = 0; i < 2 * n; ++i)
                if (std::fabs(f[i]) > 1e-3f) heard = true;
        },
        AudioEngine::TapKind::WhileSounding);
    ASSERT_TRUE(waitUntil([&] { return engine.outputResting(); }));
    const uint64_t restingAt = engine.framesRendered();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(engine.framesRendered(), restingAt) << "no blocks while resting";

    ASSERT_TRUE(engine.midiShortMessage(kNoteOnC4));
    EXPECT_TRUE(waitUntil([&] { return heard.load(); })) << "a note wakes the output";
    engine.midiShortMessage(0x00003C80);
    engine.midiShortMessage(0x000078B0);  // all sound off
    ASSERT_TRUE(waitUntil([&] { return engine.outputResting(); })) << "and it rests again after the note";

    const int recorder = engine.addTap([](const float*, int) {});
    ASSERT_TRUE(waitUntil([&] { return !engine.outputResting(); }));
    const uint64_t recording = engine.framesRendered();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // longer than the quiet before a rest
    EXPECT_FALSE(engine.outputResting());
    EXPECT_GT(engine.framesRendered(), recording) << "silence goes on being rendered for the recorder";
    engine.removeTap(recorder);
    engine.removeTap(watch);
    engine.stop();
    EXPECT_EQ(engine.outputBufferMs(), 0.0);
}

TEST(SoundFontChoice, OverrideThenTheLargerOfDefaultGmAndTim) {
    namespace fs = std::filesystem;
    QTemporaryDir dir;
    const fs::path base = fs::canonical(dir.path().toStdString());
    auto path = [&](const char* name) { return (base / name).string(); };
    for (auto [name, bytes] : {std::pair{"Tim.sf2", 1000}, {"Full.sf2", 5000}, {"Small.sf2", 500}, {"Mine.sf2", 10}})
        std::ofstream(path(name), std::ios::binary) << std::string(size_t(bytes), 'x');
    struct Case { const char* over; const char* gmLinksTo; const char* tim; const char* want; };
    const Case cases[] = {
        {nullptr, "Full.sf2", "Tim.sf2", "Full.sf2"},   // a larger default GM wins
        {nullptr, "Tim.sf2", "Tim.sf2", "Tim.sf2"},     // the default GM is Tim itself
        {"", "Small.sf2", "Tim.sf2", "Tim.sf2"},        // a smaller default GM
        {"Mine.sf2", "Full.sf2", "Tim.sf2", "Mine.sf2"},
        {"Missing.sf2", nullptr, "Tim.sf2", "Tim.sf2"},
        {nullptr, "Small.sf2", "NoTim.sf2", "Small.sf2"},
        {nullptr, nullptr, "NoTim.sf2", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.over ? c.over : "-") + " " + (c.gmLinksTo ? c.gmLinksTo : "-") + " " + c.tim);
        fs::remove(path("default-GM.sf2"));
        if (c.gmLinksTo) fs::create_symlink(path(c.gmLinksTo), path("default-GM.sf2"));
        const std::string over = c.over && *c.over ? path(c.over) : "";
        EXPECT_EQ(plat::pickSoundFont(c.over ? over.c_str() : nullptr, path("default-GM.sf2"), path(c.tim)),
                  *c.want ? path(c.want) : "");
    }
}

// --- sound effects ---------------------------------------------------------------

TEST_F(EngineTest, EffectIsFoundIgnoringCaseAndBackslashesPlaysOnceThenEnds) {
    // Mono at 22050 Hz: doubled to both sides and resampled to the mix rate.
    ASSERT_TRUE(QDir(dir.path()).mkdir("音效"));
    ASSERT_TRUE(writeLevelWav(path("音效/雷声3.wav"), 0.5f, 0.25, 22050));
    ASSERT_TRUE(plat::sndPlaySoundA(plat::toGbk(dir.path() + "\\音效\\雷声3.WAV").constData(), plat::kSndAsync));
    EXPECT_TRUE(engine.effectPlaying());
    EXPECT_NEAR(levelOf(0.2, 0), 0.5, 0.01);
    auto out = render(0.2);
    EXPECT_NEAR(rms(out, 0, frames(0.04), 1), 0.5, 0.01) << "plays to its end";
    EXPECT_LT(rms(out, frames(0.06), out.size() / 2), 1e-4) << "then stops";
    EXPECT_FALSE(engine.effectPlaying());
}

TEST_F(EngineTest, LoopedEffectPlaysOnEveryRequestEndsThePreviousOne) {
    ASSERT_TRUE(writeLevelWav(path("a.wav"), 0.5f, 0.1));
    ASSERT_TRUE(writeLevelWav(path("b.wav"), 0.2f, 1.0));
    std::ofstream(path("broken.wav")) << "this is not a sound file";
    struct Case { const char* next; bool ok; double level; };
    for (const Case& c : {Case{"b.wav", true, 0.2}, {"broken.wav", false, 0}, {"missing.wav", false, 0},
                          {"", true, 0}, {nullptr, true, 0}}) {
        SCOPED_TRACE(c.next ? c.next : "null");
        ASSERT_TRUE(play("a.wav", plat::kSndAsync | plat::kSndLoop));
        render(0.2);
        EXPECT_NEAR(levelOf(0.05, 0), 0.5, 0.01) << "the loop plays on past its end";
        // An empty or null name only stops; a failed one leaves no fallback sound.
        EXPECT_EQ(c.next && *c.next ? play(c.next) : plat::sndPlaySoundA(c.next, plat::kSndLoop), c.ok);
        EXPECT_EQ(engine.effectPlaying(), c.level > 0);
        EXPECT_NEAR(levelOf(0.05, 0), c.level, c.level ? 0.005 : 1e-4);
    }
}

TEST_F(EngineTest, WaveVolumeScalesEachSideOfTheEffectsButNotTheSynth) {
    ASSERT_TRUE(writeLevelWav(path("a.wav"), 0.5f, 1.0, 44100, 2));
    EXPECT_EQ(plat::waveOutSetVolume(0, 0x8000FFFF), 0u);  // right half, left full
    ASSERT_TRUE(play("a.wav"));
    auto out = render(0.1);
    EXPECT_NEAR(rms(out, 0, frames(0.1), 0), 0.5, 0.005);
    EXPECT_NEAR(rms(out, 0, frames(0.1), 1), 0.25, 0.005);
    plat::waveOutSetVolume(0, 0);
    EXPECT_LT(levelOf(0.05), 1e-4);
    ASSERT_TRUE(engine.midiShortMessage(kNoteOnC4));
    EXPECT_GT(levelOf(0.2), 1e-3);
}

TEST_F(EngineTest, EffectPlaysMp3) {
    ASSERT_TRUE(writeSoundFile(
        path("tone.mp3"), 44100, 1, 44100,
        [](int i, int) { return 0.5f * std::sin(2 * 3.14159265f * 440 * i / 44100); }, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III));
    ASSERT_TRUE(play("tone.mp3"));
    render(0.1);  // encoder delay
    EXPECT_NEAR(levelOf(0.3, 0), 0.5 / std::sqrt(2.0), 0.05);
}

TEST(MciStrings, CloseIsAcceptedUnknownVerbsAreNotRepliesAreCutWhole) {
    char reply[16];
    std::memset(reply, 'x', sizeof reply);
    EXPECT_EQ(plat::mciSendStringA("CLOSE NN", reply, sizeof reply, 0), 0u);
    EXPECT_EQ(reply[0], '\0');
    for (const char* ok : {"close nn", "  Close   NN  "}) EXPECT_EQ(plat::mciSendStringA(ok, nullptr, 0, 0), 0u) << ok;
    for (const char* bad : {"CLOSE", "RECORD NN", "FLY NN", "", (const char*)nullptr})
        EXPECT_NE(plat::mciSendStringA(bad, nullptr, 0, 0), 0u) << (bad ? bad : "null");

    plat::registerMciVerb("TestEcho", [](const plat::MciCommand& c, std::string* r) {
        *r = "录音" + c.args.at(0);
        return 0u;
    });
    char small[6];  // room for two characters and a half
    EXPECT_EQ(plat::mciSendStringA(plat::toGbk("testecho 中").constData(), small, sizeof small, 0), 0u);
    EXPECT_EQ(std::string(small), plat::utf8ToGbk("录音")) << "GBK, and a character that does not fit is left out whole";
}

// --- resampler and voices --------------------------------------------------------

TEST(Resampler, KeepsPitchDurationAndChannelsWholeOrInPieces) {
    std::mt19937 rng(7);
    for (int inRate : {8000, 22050, 48000}) {
        SCOPED_TRACE(inRate);
        std::vector<float> in(size_t(inRate) * 2);  // one second of 440 Hz, right = -left
        for (size_t i = 0; i < in.size(); i += 2) in[i + 1] = -(in[i] = float(std::sin(M_PI * 880 * i / 2 / inRate)));
        std::vector<float> out, pieces;
        plat::LinearResampler(inRate, 44100).process(in.data(), in.size() / 2, out);
        // The tail beyond the last input frame (under one input frame) is not produced.
        EXPECT_NEAR(double(out.size() / 2), 44100, 44100.0 / inRate + 1);
        int rising = 0;
        for (size_t i = 2; i < out.size(); i += 2) rising += out[i - 2] < 0 && out[i] >= 0;
        EXPECT_NEAR(rising, 440, 1);
        for (size_t i = 0; i < out.size(); i += 2) ASSERT_FLOAT_EQ(out[i], -out[i + 1]) << "channels kept apart";

        plat::LinearResampler r(inRate, 44100);
        for (size_t pos = 0, n = 0; pos < in.size() / 2; pos += n) {
            n = std::min<size_t>(1 + rng() % 300, in.size() / 2 - pos);
            r.process(in.data() + pos * 2, n, pieces);
        }
        ASSERT_EQ(pieces.size(), out.size());
        for (size_t i = 0; i < out.size(); ++i) ASSERT_NEAR(pieces[i], out[i], 1e-6) << i;
    }
}

// Mixes blocks until the voice finishes or `limit` frames sounded; counts the
// frames that carried sound (a streaming voice whose feeder is late misses a
// block, which only delays the sound).
size_t soundingFrames(plat::WaveVoice& v, size_t limit, float* lastLevel = nullptr) {
    size_t sounding = 0;
    std::vector<float> block(2 * 64);
    for (size_t asked = 0; asked < limit * 4 && sounding < limit && !v.finished();) {
        const int n = int(std::min<size_t>(64, limit - sounding));
        std::fill(block.begin(), block.end(), 0.0f);
        v.mixInto(block.data(), n, 1.0f, 1.0f);
        asked += size_t(n);
        int got = 0;
        for (int i = 0; i < n; ++i) {
            if (block[2 * i] == 0.0f) continue;
            ++got;
            if (lastLevel) *lastLevel = block[2 * i];
        }
        sounding += size_t(got);
        if (got < n) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return sounding;
}

TEST(WaveVoices, LongFilesStreamEveryFrameAndLoopUntilStopped) {
    QTemporaryDir dir;
    auto path = [&](const char* name) { return dir.filePath(name).toStdString(); };
    ASSERT_TRUE(writeLevelWav(path("long.wav"), 0.25f, plat::kStreamAboveSeconds + 1, 8000));
    ASSERT_TRUE(writeLevelWav(path("short.wav"), 0.25f, 1.0, 8000));
    EXPECT_NE(dynamic_cast<plat::StreamVoice*>(plat::openWaveVoice(path("long.wav"), 44100, false).get()), nullptr);
    EXPECT_NE(dynamic_cast<plat::BufferVoice*>(plat::openWaveVoice(path("short.wav"), 44100, false).get()), nullptr);
    EXPECT_EQ(plat::openWaveVoice(path("none.wav"), 44100, false), nullptr);

    ASSERT_TRUE(writeLevelWav(path("a.wav"), 0.25f, 2.0));
    auto v = plat::StreamVoice::open(path("a.wav"), 44100, false);
    ASSERT_TRUE(v);
    v->setGain(2.0f);
    float level = 0;
    EXPECT_EQ(soundingFrames(*v, 10 * 44100, &level), 2u * 44100);
    EXPECT_FLOAT_EQ(level, 0.5f);
    EXPECT_TRUE(v->finished());

    ASSERT_TRUE(writeLevelWav(path("b.wav"), 0.25f, 0.3));
    v = plat::StreamVoice::open(path("b.wav"), 44100, true);
    ASSERT_TRUE(v);
    EXPECT_EQ(soundingFrames(*v, 44100), 44100u) << "a second of sound from a 0.3 s loop";
    EXPECT_FALSE(v->finished());
    v->stop();
    std::vector<float> block(2 * 64, 0.0f);
    v->mixInto(block.data(), 64, 1.0f, 1.0f);
    EXPECT_TRUE(v->finished());
    EXPECT_EQ(block, std::vector<float>(2 * 64, 0.0f));
}

}  // namespace

namespace {

// Above the knee the limiter bends a negative peak exactly as the positive
// one: a level of +1.4 then -1.4 comes out as mirror images below full scale.
TEST_F(EngineTest, SoftLimiterBendsNegativePeaksLikePositiveOnes) {
    ASSERT_TRUE(writeSoundFile(path(QStringLiteral("peaks.wav")), 44100, 1, 8820,
                               [](int frame, int) { return frame < 4410 ? 1.4f : -1.4f; }));
    ASSERT_TRUE(play(QStringLiteral("peaks.wav")));
    const std::vector<float> out = render(0.2);
    const auto [lo, hi] = std::minmax_element(out.begin(), out.end());
    EXPECT_GT(*hi, 0.85f);
    EXPECT_LT(*hi, 1.0f);
    EXPECT_FLOAT_EQ(*lo, -*hi);
}

TEST(SilentOutput, RestsAgainOnceARecorderTapIsRemoved) {
    AudioEngine& engine = AudioEngine::instance();
    engine.stop();
    ASSERT_TRUE(engine.start(AudioEngine::Output::Null));
    ASSERT_TRUE(waitUntil([&] { return engine.outputResting(); }));
    const int recorder = engine.addTap([](const float*, int) {});
    ASSERT_TRUE(waitUntil([&] { return !engine.outputResting(); }));
    engine.removeTap(recorder);
    EXPECT_TRUE(waitUntil([&] { return engine.outputResting(); })) << "no recorder: the idle output rests";
    const uint64_t restingAt = engine.framesRendered();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(engine.framesRendered(), restingAt);
    engine.stop();
}

// The output rests a fixed stretch after the sound falls below -90 dB, though
// the synthesizer's voices and reverb ring on below it for seconds.
TEST(SilentOutput, RestsOnceTheSoundIsInaudibleNotWhenTheLastVoiceEnds) {
    AudioEngine& engine = AudioEngine::instance();
    engine.stop();
    ASSERT_TRUE(engine.start(AudioEngine::Output::Null));
    std::atomic<uint64_t> blocks{0}, lastAudible{0};
    const int watch = engine.addTap(
        [&](const float* f, int n) {
            ++blocks;
            for (int i = 0; i < 2 * n; ++i)
                if (std::fabs(f[i]) > 3e-5f) lastAudible = blocks.load();
        },
        AudioEngine::TapKind::WhileSounding);
    ASSERT_TRUE(waitUntil([&] { return engine.outputResting(); }));
    engine.midiShortMessage(0x000030C0);  // strings: a long release
    engine.midiShortMessage(0x007F3C90);
    ASSERT_TRUE(waitUntil([&] { return lastAudible.load() > 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    engine.midiShortMessage(0x00003C80);
    ASSERT_TRUE(waitUntil([&] { return engine.outputResting(); }));
    // The silent output rests after about 0.2 s of silence (138 blocks).
    EXPECT_LE(blocks.load() - lastAudible.load(), 140u);
    engine.removeTap(watch);
    engine.stop();
}

// A wave file without a single frame is no sound to play: the player refuses
// to open it, as it refuses a file that is no sound at all.
TEST_F(EngineTest, PlayerRefusesAWaveFileWithoutFrames) {
    ASSERT_TRUE(writeSoundFile(path(QStringLiteral("empty.wav")), 44100, 2, 0, [](int, int) { return 0.0f; },
                               SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    ASSERT_TRUE(writeLevelWav(path(QStringLiteral("one.wav")), 0.2f, 0.1));
    const std::pair<const char*, uint32_t> cases[] = {{"empty.wav", plat::kMciErrCannotOpenFile}, {"one.wav", 0u}};
    for (const auto& [name, result] : cases) {
        const QString command = QStringLiteral("open \"%1\" type waveaudio alias NN").arg(dir.filePath(QString::fromLatin1(name)));
        char reply[64] = {};
        EXPECT_EQ(plat::mciSendStringA(plat::toGbk(command).constData(), reply, sizeof reply, 0), result) << name;
    }
    EXPECT_EQ(plat::mciSendStringA("close NN", nullptr, 0, 0), 0u);
}

}  // namespace

namespace {

// The first frame of a resampled stream keeps its left and right apart.
TEST(Resampler, EveryFrameKeepsItsChannels) {
    const std::vector<float> in = {0.5f, -0.5f, 0.5f, -0.5f, 0.5f, -0.5f, 0.5f, -0.5f};
    std::vector<float> out;
    plat::LinearResampler(22050, 44100).process(in.data(), in.size() / 2, out);
    ASSERT_GE(out.size(), 6u);
    for (size_t i = 0; i < out.size(); ++i) EXPECT_FLOAT_EQ(out[i], i % 2 ? -0.5f : 0.5f) << i;
}

}  // namespace

namespace {

// A long stereo file streams with its left and right apart in every frame.
TEST(WaveVoices, AStreamedStereoFileKeepsItsChannels) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("stereo.wav").toStdString();
    ASSERT_TRUE(writeSoundFile(path, 44100, 2, int((plat::kStreamAboveSeconds + 1) * 44100),
                               [](int, int channel) { return channel ? -0.25f : 0.25f; }));
    auto v = plat::StreamVoice::open(path, 44100, false);
    ASSERT_TRUE(v);
    std::vector<float> block(2 * 512);
    size_t sounding = 0, wrong = 0;
    for (int blocks = 0; blocks < 100000 && !v->finished(); ++blocks) {
        if (blocks % 64 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the ring fills up
        std::fill(block.begin(), block.end(), 0.0f);
        v->mixInto(block.data(), 512, 1.0f, 1.0f);
        for (size_t i = 0; i < block.size(); i += 2) {
            if (block[i] == 0.0f && block[i + 1] == 0.0f) continue;
            ++sounding;
            wrong += block[i] != 0.25f || block[i + 1] != -0.25f;
        }
    }
    EXPECT_EQ(sounding, size_t((plat::kStreamAboveSeconds + 1) * 44100));
    EXPECT_EQ(wrong, 0u);
}

}  // namespace
