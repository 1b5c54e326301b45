// The media control strings on the engine's manual output: the wave
// recorder (what the mix sounded like, in the format asked for), the media
// player, the result codes, and the frame ring the recorder's tap fills.
#include "platform/audioengine.h"
#include "platform/mcicommand.h"
#include "platform/mcidevice.h"
#include "platform/sound.h"
#include "platform/textcodec.h"
#include "platform/waverecorder.h"
#include "support/soundsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fluidsynth.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <string>
#include <vector>

using plat::AudioEngine;
using testing_support::writeTone;

namespace {

struct Sound {
    SF_INFO info{};
    std::vector<float> samples;
    bool ok = false;
};

Sound readSound(const QString& path) {
    Sound s;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &s.info);
    if (!f) return s;
    s.samples.resize(static_cast<size_t>(s.info.frames * s.info.channels));
    s.ok = sf_readf_float(f, s.samples.data(), s.info.frames) == s.info.frames;
    sf_close(f);
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
        mci(QStringLiteral("status NN mode"), &r);
        return r;
    }
    std::vector<float> render(double seconds) {
        std::vector<float> out(static_cast<size_t>(seconds * 44100) * 2);
        engine.render(out.data(), static_cast<int>(out.size() / 2));
        return out;
    }
    // Records `seconds` of the mix with one piano note from the middle on.
    void recordNote(const QStringList& settings, double seconds) {
        ASSERT_EQ(mci(QStringLiteral("OPEN NEW TYPE WaveAudio ALIAS NN")), 0u);
        for (const QString& s : settings) ASSERT_EQ(mci(QStringLiteral("Set NN ") + s), 0u) << s.toStdString();
        ASSERT_EQ(mci(QStringLiteral("RECORD NN")), 0u);
        EXPECT_EQ(mode(), "recording");
        render(seconds / 2);
        engine.midiShortMessage(0x007F3C90);
        render(seconds / 2);
        ASSERT_EQ(mci(QStringLiteral("STOP NN")), 0u);
        EXPECT_EQ(mode(), "stopped");
        render(0.5);  // not recorded
    }
};

}  // namespace

TEST_F(MciTest, RecordingHoldsTheMixInTheFormatAskedForAndSavesToAQuotedPath) {
    recordNote({QStringLiteral("assemble record off"), QStringLiteral("file format tag pcm"),
                QStringLiteral("algorithm pcm"), QStringLiteral("bitspersample 8"), QStringLiteral("samplespersec 44100"),
                QStringLiteral("channels 2")},
               1.0);
    const QString path = dir.filePath(QStringLiteral("我的 录音.wav"));
    ASSERT_EQ(mci(QStringLiteral("save NN \"%1\"").arg(path)), 0u);
    ASSERT_EQ(mci(QStringLiteral("close NN")), 0u);
    Sound s = readSound(path);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
    EXPECT_EQ(s.info.samplerate * 10 + s.info.channels, 441002);
    EXPECT_EQ(s.info.frames, 44100) << "exactly the frames rendered while recording";
    EXPECT_GT(rms(s.samples, 44100, 88200), 0.02) << "the note";
    // 8-bit wave samples are unsigned: silence is the byte 0x80, every byte
    // of it (the synthesizer's leftover noise is far below one step).
    QFile raw(path);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    const int data = bytes.indexOf("data") + 8;
    ASSERT_GT(data, 8);
    ASSERT_GE(bytes.size(), data + 88200);
    EXPECT_EQ(bytes.mid(data, 44100), QByteArray(44100, char(0x80)));
}

TEST_F(MciTest, QualitySettingsGiveSixteenBitsAndLowerRatesCaseIgnored) {
    recordNote({QStringLiteral("BITSPERSAMPLE 16"), QStringLiteral("SamplesPerSec 22050"), QStringLiteral("channels 1")}, 1.0);
    const QString path = dir.filePath(QStringLiteral("q.wav"));
    ASSERT_EQ(mci(QStringLiteral("SAVE nn ") + path), 0u);
    Sound s = readSound(path);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(s.info.samplerate * 10 + s.info.channels, 220501);
    EXPECT_NEAR(double(s.info.frames), 22050, 2);
    EXPECT_EQ(rms(s.samples, 0, 10000), 0.0) << "silence is exactly zero, not one step below";
    EXPECT_GT(rms(s.samples, 11025), 0.02);
    // A record after a stop goes on with the same take.
    ASSERT_EQ(mci(QStringLiteral("record NN")), 0u);
    render(0.5);
    ASSERT_EQ(mci(QStringLiteral("save NN ") + path), 0u) << "save stops the recording";
    EXPECT_EQ(mode(), "stopped");
    EXPECT_NEAR(double(readSound(path).info.frames), 22050 * 1.5, 3);
}

TEST_F(MciTest, ResultCodesForWhatCannotBeDone) {
    const QString tone = dir.filePath(QStringLiteral("tone.wav"));
    writeTone(tone, 0.2);
    EXPECT_EQ(mci(QStringLiteral("record NN")), plat::kMciErrUnknownAlias);
    EXPECT_EQ(mci(QStringLiteral("status NN mode")), 0u);
    EXPECT_EQ(mode(), "stopped") << "a closed alias reads as stopped";
    EXPECT_EQ(mci(QStringLiteral("open \"%1\" type waveaudio alias NN").arg(dir.filePath("none.wav"))),
              plat::kMciErrCannotOpenFile);
    EXPECT_EQ(mci(QStringLiteral("open %1 type video alias NN").arg(tone)), plat::kMciErrBadParameter);

    ASSERT_EQ(mci(QStringLiteral("open new type waveaudio alias NN")), 0u);
    EXPECT_EQ(mci(QStringLiteral("open new type waveaudio alias nn")), plat::kMciErrAliasInUse);
    EXPECT_EQ(mci(QStringLiteral("set NN bitspersample 12")), plat::kMciErrBadParameter);
    EXPECT_EQ(mci(QStringLiteral("set NN channels 3")), plat::kMciErrBadParameter);
    EXPECT_EQ(mci(QStringLiteral("play NN")), plat::kMciErrNotApplicable);
    EXPECT_EQ(mci(QStringLiteral("status NN length")), plat::kMciErrBadParameter);
    ASSERT_EQ(mci(QStringLiteral("record NN")), 0u);
    render(0.2);
    EXPECT_EQ(mci(QStringLiteral("set NN bitspersample 16")), plat::kMciErrBusy) << "the take has its format";
    // A save that cannot be written keeps the take for another try.
    EXPECT_EQ(mci(QStringLiteral("save NN \"%1\"").arg(dir.filePath("no such folder/x.wav"))), plat::kMciErrCannotWriteFile);
    const QString good = dir.filePath(QStringLiteral("good.wav"));
    EXPECT_EQ(mci(QStringLiteral("save NN \"%1\"").arg(good)), 0u);
    EXPECT_NEAR(double(readSound(good).info.frames), 0.2 * 11025, 2) << "the default format: 11025 Hz";
    EXPECT_FALSE(QFileInfo::exists(good + ".part"));
    EXPECT_EQ(mci(QStringLiteral("close NN")), 0u);
    EXPECT_EQ(mci(QStringLiteral("save NN \"%1\"").arg(good)), plat::kMciErrUnknownAlias) << "nothing left to save";
    engine.stop();  // a recorder starts the engine it records
    ASSERT_EQ(mci(QStringLiteral("open new type waveaudio alias NN")), 0u);
    ASSERT_EQ(mci(QStringLiteral("record NN")), 0u);
    EXPECT_TRUE(engine.running());

}

TEST_F(MciTest, PlayerPlaysWaveAndMp3ThroughTheMixUntilTheEnd) {
    for (int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III}) {
        SCOPED_TRACE(format);
        const bool mp3 = (format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
        const QString path = dir.filePath(mp3 ? QStringLiteral("一 首.MP3") : QStringLiteral("一 首.wav"));
        writeTone(path, 0.5, format);
        // The name's case differs: the file is found all the same.
        const QString asked = mp3 ? dir.filePath(QStringLiteral("一 首.mp3")) : path;
        ASSERT_EQ(mci(QStringLiteral("OPEN \"%1\" TYPE %2 ALIAS NN").arg(asked, mp3 ? "MPEGVideo" : "WaveAudio")), 0u);
        EXPECT_EQ(mode(), "stopped");
        ASSERT_EQ(mci(QStringLiteral("seek NN to start")), 0u);
        ASSERT_EQ(mci(QStringLiteral("PLAY NN FROM 0")), 0u);
        EXPECT_EQ(mode(), "playing");
        render(0.1);
        EXPECT_GT(rms(render(0.2)), 0.2);
        render(0.5);
        EXPECT_EQ(mode(), "stopped") << "ended by itself";
        ASSERT_EQ(mci(QStringLiteral("PLAY NN FROM 0")), 0u) << "again from the start";
        EXPECT_GT(rms(render(0.2), 8820), 0.2);
        EXPECT_EQ(mci(QStringLiteral("play NN from 500")), plat::kMciErrBadParameter);
        ASSERT_EQ(mci(QStringLiteral("Close NN")), 0u);
        EXPECT_LT(rms(render(0.1)), 1e-4) << "closing ends the sound";
    }
}

TEST(FrameRing, KeepsOrderAcrossTheWrapAndDropsWhatDoesNotFit) {
    plat::FrameRing ring(5);
    ASSERT_EQ(ring.capacity(), 8u);
    std::vector<float> in, out(40);
    for (int i = 0; i < 40; ++i) in.push_back(float(i));
    EXPECT_EQ(ring.push(in.data(), 6), 6u);
    EXPECT_EQ(ring.pop(out.data(), 4), 4u);
    EXPECT_EQ(ring.push(in.data() + 12, 8), 6u) << "room for six frames only";
    EXPECT_EQ(ring.pop(out.data(), 20), 8u);
    const std::vector<float> expected = {8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23};
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 16), expected);
    EXPECT_EQ(ring.pop(out.data(), 20), 0u);
}
