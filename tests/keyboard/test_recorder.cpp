// The wave recorder and player: command strings in order, button pictures
// and clock, refusals, failures that lose nothing, a recorded score.
#include "mainwindowfixture.h"
#include "support/soundsupport.h"

#include <cmath>
#include <string>

using namespace midi;
using testing_support::writeTone;

namespace {

sf_count_t frames(const QString& path) {
    SF_INFO info{};
    if (SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info)) sf_close(f);
    return info.frames;
}

std::string quotedCommand(const char* verb, const QString& path, const char* tail = "") {
    return std::string(verb) + " \"" + path.toStdString() + "\"" + tail;
}

}  // namespace

class RecorderTest : public testing_support::RecorderCommandTest<MainWindowTest> {
protected:
    // Which picture (107..112) a button shows; 0 for none.
    int picture(int button) const {
        for (int i = 0; i < 6; ++i)
            if (form->Image1[button]->picture().cacheKey() == form->RecorderButtonPictures[i].cacheKey()) return 107 + i;
        return 0;
    }
    std::vector<int> pictures() const { return {picture(0), picture(1), picture(2)}; }
};

TEST_F(RecorderTest, RecordStopSaveSendTheirCommandsInOrderAndTheFileHoldsTheTake) {
    EXPECT_EQ(pictures(), (std::vector<int>{107, 109, 111}));
    EXPECT_FALSE(form->BcLY->isEnabled());
    form->Image1_Click(2);
    EXPECT_EQ(sent(), (Commands{"CLOSE NN", "OPEN NEW TYPE WaveAudio ALIAS NN", "Set NN assemble record off",
                                "Set NN file format tag pcm", "Set NN algorithm pcm", "Set NN bitspersample 8",
                                "Set NN samplespersec 44100", "Set NN channels 2", "RECORD NN"}));
    EXPECT_EQ(pictures(), (std::vector<int>{107, 109, 112}));
    EXPECT_TRUE(form->BcLY->isEnabled());
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("录音中,请安静。。"));
    EXPECT_EQ(form->XSWB->caption(), QStringLiteral("当录音重放出现沙哑杂音失真等情况时请适当调整系统音量中的各音源音量大小！"));
    render(0.5);

    // A second record click and a play click are refused while recording.
    form->Image1_Click(2);
    form->Image1_Click(0);
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(dialogs.fileRequests.isEmpty());
    EXPECT_EQ(pictures(), (std::vector<int>{107, 109, 112}));

    form->Image1_Click(1);
    EXPECT_EQ(sent(), (Commands{"STOP NN"}));
    EXPECT_EQ(pictures(), (std::vector<int>{107, 110, 111}));
    EXPECT_TRUE(form->BcLY->isEnabled()) << "a stopped recording can be saved";

    const QString path = answer(QStringLiteral("我的 录音.wav"));
    const QString lastOpened = form->LastOpenedFile;
    form->BcLY->click();
    EXPECT_EQ(sent(), (Commands{"stop NN", quotedCommand("save NN", path), "close NN"}));
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("成功保存录音。。。"));
    EXPECT_FALSE(form->BcLY->isEnabled());
    EXPECT_EQ(form->LastOpenedFile, lastOpened) << "a saved recording is not the last opened file";
    EXPECT_EQ(frames(path), 22050);
}

TEST_F(RecorderTest, PlayGivesUpTheRecordingOnlyForAChosenFileAndEndsWithTheFile) {
    form->Image1_Click(2);
    form->Image1_Click(1);
    sent();
    // Cancelled: nothing is sent, the recording can still be saved.
    form->Image1_Click(0);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(picture(0), 107);
    EXPECT_TRUE(form->BcLY->isEnabled());
    const QString take = answer(QStringLiteral("take.wav"));
    form->BcLY_Click();
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("成功保存录音。。。"));
    EXPECT_TRUE(QFile::exists(take));

    for (bool mp3 : {false, true}) {
        SCOPED_TRACE(mp3);
        const QString song = record(mp3 ? QStringLiteral("一 首.mp3") : QStringLiteral("一 首.wav"));
        writeTone(song, 0.5, mp3 ? SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III : SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        dialogs.fileAnswers.push_back(song);
        sent();
        form->Image1_Click(0);
        EXPECT_EQ(sent(), (Commands{"CLOSE NN", quotedCommand("OPEN", song, mp3 ? " TYPE MPEGVideo ALIAS NN" : " TYPE WaveAudio ALIAS NN"),
                                    "seek NN to start", "PLAY NN FROM 0"}));
        EXPECT_FALSE(form->BcLY->isEnabled());
        EXPECT_EQ(pictures(), (std::vector<int>{108, 109, 111}));

        // Record is refused while a file plays.
        form->Image1_Click(2);
        EXPECT_TRUE(sent().empty());
        EXPECT_EQ(picture(2), 111);

        form->Lyjsj_Timer();
        EXPECT_EQ(sent(), (Commands{"status NN mode"}));
        EXPECT_EQ(form->Label12->caption(), QStringLiteral("0:0"));
        render(1.0);
        form->Lyjsj_Timer();
        EXPECT_EQ(sent(), (Commands{"status NN mode", "STOP NN", "Close NN"})) << "the file has ended";
        EXPECT_EQ(pictures(), (std::vector<int>{107, 110, 111}));
        EXPECT_EQ(form->Label12->caption(), QStringLiteral("00:00"));
    }
}

TEST_F(RecorderTest, ClockShowsTheCountBeforeEachTickMinutesAfterFiftyNineSeconds) {
    form->Image1_Click(2);
    for (int i = 0; i < 59; ++i) form->Lyjsj_Timer();
    form->Lyjsj_Timer();
    EXPECT_EQ(form->Label12->caption(), QStringLiteral("0:59"));
    form->Lyjsj_Timer();
    EXPECT_EQ(form->Label12->caption(), QStringLiteral("1:0"));
    EXPECT_TRUE(form->IsRecording);
}

TEST_F(RecorderTest, FailuresAreSaidAndLoseNothing) {
    // A file that cannot be played: said, and no clock.
    const QString junk = record(QStringLiteral("坏.wav"));
    folder.write(QStringLiteral("演奏记录/坏.wav"), "not a sound");
    dialogs.fileAnswers.push_back(junk);
    form->Image1_Click(0);
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(picture(0), 107);

    // A save dialog cancelled while recording: the recording goes on.
    form->Image1_Click(2);
    form->BcLY_Click();
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("没有保存录音。。。"));
    EXPECT_TRUE(form->IsRecording);
    render(0.2);

    // A name the command string cannot carry, a folder that is not there: the take stays.
    sent();
    answer(QStringLiteral("😀.wav"));
    form->BcLY_Click();
    EXPECT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(sent().empty());
    const QString nowhere = folder.file(QStringLiteral("没有/x.wav"));
    dialogs.fileAnswers.push_back(nowhere);
    form->BcLY_Click();
    EXPECT_EQ(sent(), (Commands{"stop NN", quotedCommand("save NN", nowhere)}));
    EXPECT_EQ(dialogs.messages.size(), 3);
    EXPECT_TRUE(form->BcLY->isEnabled());
    const QString good = answer(QStringLiteral("好.wav"));
    form->BcLY_Click();
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("成功保存录音。。。"));
    EXPECT_EQ(frames(good), 8820);
}

TEST_F(RecorderTest, HidingTheWindowStopsTheRecorder) {
    form->Image1_Click(2);
    sent();
    form->hide();
    EXPECT_EQ(sent(), (Commands{"STOP NN"}));
    EXPECT_FALSE(form->IsRecording);
    EXPECT_TRUE(form->BcLY->isEnabled());
    form->hide();
    EXPECT_TRUE(sent().empty());
}

// A path with a double quote cannot be quoted in a command: both dialogs
// refuse it before anything is closed, and the take stays.
TEST_F(RecorderTest, AQuotedNameIsRefusedAndTheTakeStays) {
    const QString quoted = record(QStringLiteral("a\"b.wav"));
    writeTone(quoted, 0.2);
    form->Image1_Click(2);  // record
    render(0.1);
    form->Image1_Click(1);  // stop
    sent();
    dialogs.fileAnswers = {quoted, quoted};
    form->Image1_Click(0);  // play
    form->BcLY_Click();     // save
    EXPECT_TRUE(sent().empty());
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("双引号")));
    EXPECT_EQ(dialogs.messages[1], dialogs.messages[0]);
    EXPECT_TRUE(form->BcLY->isEnabled());
    const QString good = answer(QStringLiteral("好.wav"));
    form->BcLY_Click();
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("成功保存录音。。。"));
}

// On the embedded synthesizer, a score played by its clock and recorded, each
// tick rendered for its length: the file lasts as long as the ticks, the rest quieter.
TEST_F(RecorderTest, ARecordingLastsAsLongAsTheClockThatDroveIt) {
    plat::resetMidiDeviceTable();  // the embedded synthesizer
    ASSERT_FALSE(reopen());
    form->Image1_Click(2);
    form->Text3->setText(QStringLiteral("KC8XZ8KC8TZ"));
    form->Yuepu_Click(0);
    const int tickFrames = form->Timer3->interval() * 44100 / 1000;
    std::vector<float> block(size_t(tickFrames) * 2);
    int ticks = 0;
    for (; form->Timer3->enabled() && ticks < 100; ++ticks) {
        form->Timer3->tick();
        engine.render(block.data(), tickFrames);
    }
    form->Image1_Click(1);
    const QString path = answer(QStringLiteral("乐谱.wav"));
    form->BcLY_Click();
    plat::closeAllMciDevices();
    EXPECT_EQ(ticks, 24);
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    ASSERT_TRUE(f);
    EXPECT_EQ(info.frames, sf_count_t(ticks) * tickFrames);
    std::vector<float> s(size_t(info.frames) * 2);
    sf_readf_float(f, s.data(), info.frames);
    sf_close(f);
    auto level = [&](int fromTick, int toTick) {
        double sum = 0;
        for (size_t i = size_t(fromTick) * tickFrames * 2; i < size_t(toTick) * tickFrames * 2; ++i) sum += s[i] * s[i];
        return std::sqrt(sum / (size_t(toTick - fromTick) * tickFrames * 2));
    };
    EXPECT_GT(level(0, 8), 0.01);
    EXPECT_LT(level(12, 16), level(0, 8) / 3) << "the rest";
    EXPECT_GT(level(16, 24), 0.01);
}
