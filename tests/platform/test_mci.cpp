// The media control strings on the engine's manual output: the wave recorder (what the mix sounded like, in the
// format asked for), the media player, the result codes, and the frame ring the recorder's tap fills.
#include "platform/audioengine.h"
#include "platform/mcicommand.h"
#include "platform/mcidevice.h"
#include "platform/sound.h"
#include "platform/textcodec.h"
#include "platform/waverecorder.h"
#include "support/soundsupport.h"

#include <QtWidgets>
#include <fluidsynth.h>
#include <gtest/gtest.h>

using plat::AudioEngine;
using S = QString;

namespace {

struct Sound {
    SF_INFO info{};
    std::vector<float> samples;
};

Sound readSound(const QString& path) {
    Sound s;
    if (SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &s.info)) {
        s.samples.resize(static_cast<size_t>(s.info.frames * s.info.channels));
        sf_readf_float(f, s.samples.data(), s.info.frames);
        sf_close(f);
    }
    return s;
}

double rms(const std::vector<float>& v, size_t from = 0, size_t to = SIZE_MAX) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = from; i < to && i < v.size(); ++i, ++n) sum += double(v[i]) * v[i];
    return n ? std::sqrt(sum / n) : 0;
}

class MciTest : public ::testing::Test {
protected:
    AudioEngine& engine = AudioEngine::instance();
    QTemporaryDir dir;

    void SetUp() override {
        engine.stop();
        ASSERT_TRUE(engine.start(AudioEngine::Output::Manual));
        fluid_synth_system_reset(engine.synth());
        engine.setWaveGain(1.0f, 1.0f);
    }
    void TearDown() override {
        plat::closeAllMciDevices();
        engine.stop();
    }
    // Sends a command (GBK); returns its result, the reply in *reply.
    uint32_t mci(const QString& command, std::string* reply = nullptr) {
        char buf[64] = {};
        uint32_t r = plat::mciSendStringA(plat::toGbk(command).constData(), buf, sizeof buf, 0);
        if (reply) *reply = buf;
        return r;
    }
    std::string mode() {
        std::string r;
        mci(S("status NN mode"), &r);
        return r;
    }
    std::vector<float> render(double seconds) {
        std::vector<float> out(static_cast<size_t>(seconds * 44100) * 2);
        engine.render(out.data(), static_cast<int>(out.size() / 2));
        return out;
    }
    // Records a second of the mix with one piano note from the middle on.
    void recordNote(const QStringList& settings) {
        ASSERT_EQ(mci(S("OPEN NEW TYPE WaveAudio ALIAS NN")), 0u);
        for (const QString& s : settings) ASSERT_EQ(mci(S("Set NN ") + s), 0u) << s.toStdString();
        ASSERT_EQ(mci(S("RECORD NN")), 0u);
        EXPECT_EQ(mode(), "recording");
        render(0.5);
        engine.midiShortMessage(0x007F3C90);
        render(0.5);
        ASSERT_EQ(mci(S("STOP NN")), 0u);
        EXPECT_EQ(mode(), "stopped");
        render(0.5);  // not recorded
    }
};

}  // namespace

// A recording holds the mix in the format asked for (any letter case), saved to a quoted path; silence is the exact
// zero sample (8-bit: the byte 0x80).
TEST_F(MciTest, RecordingHoldsTheMixInTheFormatAskedForAndSavesToAQuotedPath) {
    recordNote({S("assemble record off"), S("file format tag pcm"), S("algorithm pcm"), S("bitspersample 8"),
                S("samplespersec 44100"), S("channels 2")});
    const QString path = dir.filePath(S("我的 录音.wav"));
    ASSERT_EQ(mci(S("save NN \"%1\"").arg(path)) + mci(S("close NN")), 0u);
    Sound s = readSound(path);
    EXPECT_EQ(s.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
    EXPECT_EQ(s.info.samplerate * 10 + s.info.channels, 441002);
    EXPECT_EQ(s.info.frames, 44100) << "exactly the frames rendered while recording";
    EXPECT_GT(rms(s.samples, 44100, 88200), 0.02) << "the note";
    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    EXPECT_EQ(bytes.mid(bytes.indexOf("data") + 8, 44100), QByteArray(44100, char(0x80)));

    TearDown(), SetUp();  // a fresh engine: nothing of the first note rings on
    recordNote({S("BITSPERSAMPLE 16"), S("SamplesPerSec 22050"), S("channels 1")});
    const QString q = dir.filePath(S("q.wav"));
    ASSERT_EQ(mci(S("SAVE nn ") + q), 0u);
    s = readSound(q);
    EXPECT_EQ(s.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(s.info.samplerate * 10 + s.info.channels, 220501);
    EXPECT_NEAR(double(s.info.frames), 22050, 2);
    EXPECT_EQ(rms(s.samples, 0, 10000), 0.0) << "not one step below zero";
    EXPECT_GT(rms(s.samples, 11025), 0.02);
    ASSERT_EQ(mci(S("record NN")), 0u);  // a record after a stop goes on with the same take
    render(0.5);
    ASSERT_EQ(mci(S("save NN ") + q), 0u) << "save stops the recording";
    EXPECT_EQ(mode(), "stopped");
    EXPECT_NEAR(double(readSound(q).info.frames), 22050 * 1.5, 3);
}

TEST_F(MciTest, ResultCodesForWhatCannotBeDone) {
    const QString tone = dir.filePath(S("tone.wav"));
    testing_support::writeTone(tone, 0.2);
    EXPECT_EQ(mode(), "stopped") << "a closed alias reads as stopped";
    const std::pair<QString, uint32_t> refused[] = {
        {S("record NN"), plat::kMciErrUnknownAlias},
        {S("status NN mode"), 0u},
        {S("open \"%1\" type waveaudio alias NN").arg(dir.filePath("none.wav")), plat::kMciErrCannotOpenFile},
        {S("open %1 type video alias NN").arg(tone), plat::kMciErrBadParameter},
        {S("open new type waveaudio alias NN"), 0u},
        {S("open new type waveaudio alias nn"), plat::kMciErrAliasInUse},
        {S("set NN bitspersample 12"), plat::kMciErrBadParameter},
        {S("set NN channels 3"), plat::kMciErrBadParameter},
        {S("play NN"), plat::kMciErrNotApplicable},
        {S("status NN length"), plat::kMciErrBadParameter},
        {S("record NN"), 0u}};
    for (const auto& [command, code] : refused) EXPECT_EQ(mci(command), code) << command.toStdString();
    render(0.2);
    EXPECT_EQ(mci(S("set NN bitspersample 16")), plat::kMciErrBusy) << "the take has its format";
    // A save that cannot be written keeps the take for another try.
    EXPECT_EQ(mci(S("save NN \"%1\"").arg(dir.filePath("no such folder/x.wav"))), plat::kMciErrCannotWriteFile);
    const QString good = dir.filePath(S("good.wav"));
    EXPECT_EQ(mci(S("save NN \"%1\"").arg(good)), 0u);
    EXPECT_NEAR(double(readSound(good).info.frames), 0.2 * 11025, 2) << "the default format: 11025 Hz";
    EXPECT_FALSE(QFileInfo::exists(good + ".part"));
    EXPECT_EQ(mci(S("close NN")), 0u);
    EXPECT_EQ(mci(S("save NN \"%1\"").arg(good)), plat::kMciErrUnknownAlias) << "nothing left to save";
    engine.stop();  // a recorder starts the engine it records
    ASSERT_EQ(mci(S("open new type waveaudio alias NN")), 0u);
    ASSERT_EQ(mci(S("record NN")), 0u);
    EXPECT_TRUE(engine.running());
}

TEST_F(MciTest, PlayerPlaysWaveAndMp3ThroughTheMixUntilTheEnd) {
    for (int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III}) {
        SCOPED_TRACE(format);
        const bool mp3 = (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
        const QString path = dir.filePath(mp3 ? S("一 首.MP3") : S("一 首.wav"));
        testing_support::writeTone(path, 0.5, format);
        const QString asked = mp3 ? dir.filePath(S("一 首.mp3")) : path;  // found in any letter case
        ASSERT_EQ(mci(S("OPEN \"%1\" TYPE %2 ALIAS NN").arg(asked, mp3 ? "MPEGVideo" : "WaveAudio")), 0u);
        EXPECT_EQ(mode(), "stopped");
        ASSERT_EQ(mci(S("seek NN to start")), 0u);
        ASSERT_EQ(mci(S("PLAY NN FROM 0")), 0u);
        EXPECT_EQ(mode(), "playing");
        render(0.1);
        EXPECT_GT(rms(render(0.2)), 0.2);
        render(0.5);
        EXPECT_EQ(mode(), "stopped") << "ended by itself";
        ASSERT_EQ(mci(S("PLAY NN FROM 0")), 0u) << "again from the start";
        EXPECT_GT(rms(render(0.2), 8820), 0.2);
        EXPECT_EQ(mci(S("play NN from 500")), plat::kMciErrBadParameter);
        ASSERT_EQ(mci(S("Close NN")), 0u);
        EXPECT_LT(rms(render(0.1)), 1e-4) << "closing ends the sound";
    }
}

TEST(FrameRing, KeepsOrderAcrossTheWrapAndDropsWhatDoesNotFit) {
    plat::FrameRing ring(5);
    ASSERT_EQ(ring.capacity(), 8u);
    std::vector<float> in(40), out(40);
    for (int i = 0; i < 40; ++i) in[i] = float(i);
    EXPECT_EQ(ring.push(in.data(), 6), 6u);
    EXPECT_EQ(ring.pop(out.data(), 4), 4u);
    EXPECT_EQ(ring.push(in.data() + 12, 8), 6u) << "room for six frames only";
    EXPECT_EQ(ring.pop(out.data(), 20), 8u);
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 16), std::vector<float>(in.begin() + 8, in.begin() + 24));
    EXPECT_EQ(ring.pop(out.data(), 20), 0u);
}
