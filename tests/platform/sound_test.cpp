#include "audiotestutil.h"

#include "platform/mcicommand.h"
#include "platform/sound.h"
#include "platform/textcodec.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

using audiotest::frames;
using audiotest::rms;
using audiotest::writeLevelWav;

namespace {

// Sound files in a scratch folder; names are handed to sndPlaySoundA as GBK.
class EffectTest : public audiotest::EngineTest {
protected:
    QTemporaryDir dir;

    std::string path(const QString& name) const { return QFile::encodeName(dir.filePath(name)).toStdString(); }
    QByteArray gbk(const QString& name) const { return plat::toGbk(dir.filePath(name)); }
    bool play(const QString& name, uint32_t flags = plat::kSndAsync | plat::kSndNoDefault) {
        return plat::sndPlaySoundA(gbk(name).constData(), flags);
    }
    // Level of the left and right channel over the next `seconds`.
    std::pair<double, double> levels(double seconds) {
        auto out = render(seconds);
        return {rms(out, 0, out.size() / 2, 0), rms(out, 0, out.size() / 2, 1)};
    }
};

TEST_F(EffectTest, PlaysOnceThenEnds) {
    // Mono at 22050 Hz: doubled to both sides and resampled to the mix rate.
    ASSERT_TRUE(writeLevelWav(path("雷声3.wav"), 0.5f, 0.25, 22050));
    ASSERT_TRUE(play("雷声3.wav"));
    EXPECT_TRUE(engine.effectPlaying());
    auto [l, r] = levels(0.2);
    EXPECT_NEAR(l, 0.5, 0.01);
    EXPECT_NEAR(r, 0.5, 0.01);
    auto out = render(0.2);
    EXPECT_NEAR(rms(out, 0, frames(0.04)), 0.5, 0.01) << "plays to its end";
    EXPECT_LT(rms(out, frames(0.06), out.size() / 2), 1e-4) << "then stops";
    EXPECT_FALSE(engine.effectPlaying());
}

TEST_F(EffectTest, NameIsFoundIgnoringCaseAndBackslashes) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("音效"));
    ASSERT_TRUE(writeLevelWav(path("音效/雷声3.wav"), 0.3f, 0.5));
    QByteArray name = plat::toGbk(dir.path() + "\\音效\\雷声3.WAV");
    ASSERT_TRUE(plat::sndPlaySoundA(name.constData(), plat::kSndAsync));
    EXPECT_NEAR(levels(0.1).first, 0.3, 0.01);
    EXPECT_FALSE(play("音效/雷声4.wav")) << "no such file in any case";
}

TEST_F(EffectTest, NewRequestEndsThePreviousSound) {
    ASSERT_TRUE(writeLevelWav(path("a.wav"), 0.5f, 1.0));
    ASSERT_TRUE(writeLevelWav(path("b.wav"), 0.2f, 1.0));
    ASSERT_TRUE(play("a.wav", plat::kSndAsync | plat::kSndLoop));
    render(0.05);
    ASSERT_TRUE(play("b.wav"));
    EXPECT_NEAR(levels(0.1).first, 0.2, 0.005) << "only the new sound plays";
}

TEST_F(EffectTest, UnplayableRequestEndsThePreviousSoundAndFails) {
    ASSERT_TRUE(writeLevelWav(path("a.wav"), 0.5f, 1.0));
    std::ofstream(path("broken.wav")) << "this is not a sound file";
    for (const char* bad : {"broken.wav", "missing.wav"}) {
        ASSERT_TRUE(play("a.wav", plat::kSndAsync | plat::kSndLoop));
        render(0.02);
        EXPECT_FALSE(play(bad)) << bad;
        EXPECT_FALSE(engine.effectPlaying()) << bad;
        EXPECT_LT(levels(0.05).first, 1e-4) << "no fallback sound, nothing left playing: " << bad;
    }
}

TEST_F(EffectTest, EmptyOrNullNameStops) {
    ASSERT_TRUE(writeLevelWav(path("a.wav"), 0.5f, 1.0));
    for (const char* stop : {"", static_cast<const char*>(nullptr)}) {
        ASSERT_TRUE(play("a.wav", plat::kSndAsync | plat::kSndLoop));
        render(0.02);
        EXPECT_TRUE(plat::sndPlaySoundA(stop, plat::kSndLoop));
        EXPECT_FALSE(engine.effectPlaying());
        EXPECT_LT(levels(0.05).first, 1e-4);
    }
}

TEST_F(EffectTest, LoopKeepsPlayingPastTheEnd) {
    ASSERT_TRUE(writeLevelWav(path("short.wav"), 0.4f, 0.1));
    ASSERT_TRUE(play("short.wav", plat::kSndAsync | plat::kSndLoop));
    auto out = render(0.55);
    EXPECT_NEAR(rms(out, frames(0.45), frames(0.55)), 0.4, 0.01);
    EXPECT_TRUE(engine.effectPlaying());
}

TEST_F(EffectTest, WaveVolumeScalesEachSide) {
    ASSERT_TRUE(writeLevelWav(path("a.wav"), 0.5f, 1.0, 44100, 2));
    EXPECT_EQ(plat::waveOutSetVolume(0, 0x8000FFFF), 0u);  // right half, left full
    ASSERT_TRUE(play("a.wav"));
    auto [l, r] = levels(0.1);
    EXPECT_NEAR(l, 0.5, 0.005);
    EXPECT_NEAR(r, 0.25, 0.005);
    plat::waveOutSetVolume(0, 0);
    EXPECT_LT(levels(0.05).first, 1e-4);
}

TEST_F(EffectTest, PlaysMp3) {
    // A 440 Hz tone encoded as MPEG layer III by libsndfile itself.
    const std::string mp3 = path("tone.mp3");
    ASSERT_TRUE(audiotest::writeSoundFile(
        mp3, 44100, 1, 44100, [](int i, int) { return 0.5f * std::sin(2 * 3.14159265f * 440 * i / 44100); },
        SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III));
    ASSERT_TRUE(play("tone.mp3"));
    render(0.1);  // encoder delay
    EXPECT_NEAR(levels(0.3).first, 0.5 / std::sqrt(2.0), 0.05);
}

// --- media control strings ---------------------------------------------------

TEST(MciStrings, CloseIsAcceptedOtherVerbsAreNotYet) {
    char reply[16];
    std::memset(reply, 'x', sizeof reply);
    EXPECT_EQ(plat::mciSendStringA("CLOSE NN", reply, sizeof reply, 0), 0u);
    EXPECT_EQ(reply[0], '\0');
    EXPECT_EQ(plat::mciSendStringA("close nn", nullptr, 0, 0), 0u);
    EXPECT_EQ(plat::mciSendStringA("  Close   NN  ", nullptr, 0, 0), 0u);
    EXPECT_NE(plat::mciSendStringA("CLOSE", nullptr, 0, 0), 0u);
    EXPECT_NE(plat::mciSendStringA("OPEN NEW TYPE WAVEAUDIO ALIAS NN", reply, sizeof reply, 0), 0u);
    EXPECT_NE(plat::mciSendStringA("RECORD NN", nullptr, 0, 0), 0u);
    EXPECT_NE(plat::mciSendStringA("", nullptr, 0, 0), 0u);
    EXPECT_NE(plat::mciSendStringA(nullptr, nullptr, 0, 0), 0u);
}

TEST(MciStrings, ParserKeepsQuotedWordsTogether) {
    plat::MciCommand c = plat::parseMciCommand("SAVE NN \"演奏 记录/一.wav\"  x");
    EXPECT_EQ(c.verb, "save");
    ASSERT_EQ(c.args.size(), 3u);
    EXPECT_EQ(c.args[0], "NN");
    EXPECT_EQ(c.args[1], "演奏 记录/一.wav");
    EXPECT_TRUE(c.argIs(0, "nn"));
    EXPECT_FALSE(c.argIs(5, "nn"));
}

TEST(MciStrings, RegisteredVerbRepliesInGbkCutToFit) {
    plat::registerMciVerb("TestEcho", [](const plat::MciCommand& c, std::string* reply) {
        *reply = "录音" + c.args.at(0);
        return 0u;
    });
    char reply[16];
    EXPECT_EQ(plat::mciSendStringA(plat::toGbk("testecho 中").constData(), reply, sizeof reply, 0), 0u);
    EXPECT_EQ(plat::fromGbk(reply), QString("录音中"));
    char small[6];  // room for two characters and a half
    EXPECT_EQ(plat::mciSendStringA("testecho x", small, sizeof small, 0), 0u);
    EXPECT_EQ(std::string(small), plat::utf8ToGbk("录音x"));
    EXPECT_EQ(plat::mciSendStringA(plat::toGbk("testecho 中").constData(), small, sizeof small, 0), 0u);
    EXPECT_EQ(std::string(small), plat::utf8ToGbk("录音")) << "a character that does not fit is left out whole";
}

}  // namespace
