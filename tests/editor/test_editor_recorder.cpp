// The editor's recorder: each quality's commands and file format, the
// refusals that keep a take from being closed unsaved, the one device handed
// between play and record, the clock, and a take stopped by closing the editor.
#include "editorfixture.h"
#include "support/soundsupport.h"

#include "platform/sound.h"

#include <string>

using testing_support::writeTone;

namespace {

std::vector<std::string> recordCommands(const char* bits, const char* rate) {
    return {"CLOSE NN",
            "OPEN NEW TYPE WaveAudio ALIAS NN",
            "Set NN assemble record off",
            "Set NN file format tag pcm",
            "Set NN algorithm pcm",
            std::string("Set NN bitspersample ") + bits,
            std::string("Set NN samplespersec ") + rate,
            "Set NN channels 2",
            "RECORD NN"};
}

SF_INFO waveInfo(const QString& path) {
    SF_INFO info{};
    if (SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info)) sf_close(f);
    return info;
}

}  // namespace

class EditorRecorderTest : public testing_support::RecorderCommandTest<EditorTest> {
protected:
    // Clicks a recorder option as the user would (a selected one runs nothing).
    void click(int option) { w->LUYINJI[option]->setValue(true); }
    std::vector<bool> options() const {
        std::vector<bool> v;
        for (auto* o : w->LUYINJI) v.push_back(o->value());
        return v;
    }
    std::string mode() {
        char reply[65] = {};
        plat::mciSendStringA("status NN mode", reply, 64, 0);
        commands.pop_back();
        return reply;
    }
};

TEST_F(EditorRecorderTest, EachQualityRecordsInItsOwnFormat) {
    EXPECT_EQ(w->yinzi->listIndex(), 1);
    struct Case {
        int position;
        const char* bits;
        const char* rate;
        int format;
        int sampleRate;
    };
    const Case cases[] = {{0, "16", "44100", SF_FORMAT_PCM_16, 44100},
                          {1, "8", "44100", SF_FORMAT_PCM_U8, 44100},
                          {2, "8", "22050", SF_FORMAT_PCM_U8, 22050}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        w->yinzi->setListIndex(c.position);
        click(2);
        EXPECT_EQ(sent(), recordCommands(c.bits, c.rate));
        render(0.5);
        click(1);
        EXPECT_EQ(sent(), (Commands{"STOP NN"}));
        EXPECT_FALSE(w->Lyjsj->enabled());
        EXPECT_EQ(w->LYSJ->caption(), QStringLiteral("当前: 00:00"));

        const QString path = folder.file(QStringLiteral("演奏记录/质量 %1.wav").arg(c.position));
        dialogs.fileAnswers.push_back(path);
        click(3);
        EXPECT_EQ(sent(), (Commands{"stop NN", "save NN \"" + path.toStdString() + "\"", "close NN"}));
        EXPECT_EQ(options(), (std::vector<bool>{false, false, false, false}));
        const SF_INFO info = waveInfo(path);
        EXPECT_EQ(info.format, SF_FORMAT_WAV | c.format);
        EXPECT_EQ(info.samplerate, c.sampleRate);
        EXPECT_EQ(info.frames, c.sampleRate / 2);
    }
}

TEST_F(EditorRecorderTest, ARunningTakeIsNeverClosedUnsaved) {
    click(2);
    sent();
    render(0.3);
    // Play is refused: no dialog, nothing sent, record still shown.
    click(0);
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(dialogs.fileRequests.isEmpty());
    EXPECT_EQ(options(), (std::vector<bool>{false, false, true, false}));

    // A cancelled save: the take goes on, the clock too; 0, 2, 3 unselected.
    click(3);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(options(), (std::vector<bool>{false, false, false, false}));
    EXPECT_TRUE(w->Lyjsj->enabled());
    EXPECT_EQ(mode(), "recording");

    // Record again would start over: refused too.
    click(2);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(mode(), "recording");
    render(0.3);

    // A name holding a double quote is refused before the take is touched.
    dialogs.fileAnswers.push_back(folder.file(QStringLiteral("演奏记录/a\"b.wav")));
    click(3);
    EXPECT_TRUE(sent().empty());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.takeFirst().contains(QStringLiteral("双引号")));

    // A folder that does not exist: said, and the take can go elsewhere.
    const QString nowhere = folder.file(QStringLiteral("没有/x.wav"));
    dialogs.fileAnswers.push_back(nowhere);
    click(3);
    EXPECT_EQ(sent(), (Commands{"stop NN", "save NN \"" + nowhere.toStdString() + "\""}));
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_FALSE(w->Lyjsj->enabled());
    const QString good = folder.file(QStringLiteral("演奏记录/好 的.wav"));
    dialogs.fileAnswers.push_back(good);
    click(3);
    EXPECT_EQ(sent(), (Commands{"stop NN", "save NN \"" + good.toStdString() + "\"", "close NN"}));
    EXPECT_EQ(waveInfo(good).frames, 26460);
}

TEST_F(EditorRecorderTest, PlayAndRecordHandTheDeviceOverAndTheClockCounts) {
    // A stopped take is given up only for a chosen file.
    click(2);
    click(1);
    sent();
    click(0);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(options(), (std::vector<bool>{false, false, false, false}));
    ASSERT_EQ(dialogs.fileRequests.size(), 1);

    // A file that does not play is named in a message.
    folder.write(QStringLiteral("演奏记录/坏.wav"), "not a wave");
    dialogs.fileAnswers.push_back(folder.file(QStringLiteral("演奏记录/坏.wav")));
    click(0);
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("无法播放文件“坏.wav”！")});
    sent();
    // A name holding a double quote is refused as well.
    const QString quoted = folder.file(QStringLiteral("演奏记录/a\"b.wav"));
    writeTone(quoted, 0.2);
    dialogs.fileAnswers.push_back(quoted);
    click(0);
    EXPECT_TRUE(sent().empty());
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[1].contains(QStringLiteral("双引号")));

    const QString song = folder.file(QStringLiteral("演奏记录/一 首.WAV"));
    writeTone(song, 0.5);
    dialogs.fileAnswers.push_back(song);
    click(0);
    EXPECT_EQ(sent(), (Commands{"CLOSE NN", "OPEN \"" + song.toStdString() + "\" TYPE WaveAudio ALIAS NN",
                                "seek NN to start", "PLAY NN FROM 0"}));
    EXPECT_TRUE(w->Lyjsj->enabled());
    EXPECT_EQ(mode(), "playing");

    // Record while the file plays: the playback ends, the take starts.
    click(2);
    EXPECT_EQ(sent(), recordCommands("8", "44100"));
    EXPECT_EQ(mode(), "recording");
    EXPECT_EQ(options(), (std::vector<bool>{false, false, true, false}));

    // The clock shows the count before each tick.
    for (int i = 0; i < 60; ++i) w->Lyjsj->tick();
    EXPECT_EQ(w->LYSJ->caption(), QStringLiteral("当前: 0:59"));
    w->Lyjsj->tick();
    EXPECT_EQ(w->LYSJ->caption(), QStringLiteral("当前: 1:0"));
    sent();

    // A played file that ends by itself: the next tick closes it.
    click(1);
    dialogs.fileAnswers.push_back(song);
    click(0);
    sent();
    w->Lyjsj->tick();
    EXPECT_EQ(w->LYSJ->caption(), QStringLiteral("当前: 0:0"));
    render(1.0);
    w->Lyjsj->tick();
    EXPECT_EQ(sent(), (Commands{"status NN mode", "status NN mode", "STOP NN", "Close NN"}));
    EXPECT_FALSE(w->Lyjsj->enabled());
    EXPECT_EQ(w->LYSJ->caption(), QStringLiteral("当前: 00:00"));
    EXPECT_FALSE(w->LUYINJI[0]->value());
}

TEST_F(EditorRecorderTest, ClosingTheEditorStopsTheTakeWhichCanBeSavedLater) {
    w->yinzi->setListIndex(2);
    click(2);
    render(0.4);
    sent();
    w->TUICHU->click();
    EXPECT_EQ(sent(), (Commands{"STOP NN"}));
    EXPECT_FALSE(w->Lyjsj->enabled());
    EXPECT_EQ(mode(), "stopped");
    render(0.4);  // not recorded

    w->Show();
    const QString path = folder.file(QStringLiteral("演奏记录/关窗.wav"));
    dialogs.fileAnswers.push_back(path);
    click(3);
    const SF_INFO info = waveInfo(path);
    EXPECT_EQ(info.samplerate, 22050);
    EXPECT_EQ(info.frames, 8820);

    // Nothing running: closing sends nothing.
    sent();
    w->TUICHU->click();
    EXPECT_TRUE(sent().empty());
}
