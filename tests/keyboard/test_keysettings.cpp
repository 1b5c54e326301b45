// The key-settings page: function-key rows, pad and effect previews, the
// wave list, saving vanto.ini, stored values that are no list position.
#include "mainwindowfixture.h"
#include "support/soundsupport.h"

#include "platform/sound.h"

#include <QDir>
#include <QFile>

using namespace midi;
using testing_support::hexList;

namespace {
void writeWave(const QString& path, double seconds) { testing_support::writeLevel(path, seconds, 0.3f); }
}  // namespace

class KeySettingsTest : public testing_support::ManualSoundTest<MainWindowTest> {
protected:
    void openPage() { form->Xxk[5]->setValue(true); }
    std::vector<int> lists() const {
        return {form->YQSZ[0]->listIndex(), form->YQSZ[1]->listIndex(), form->YQSZ[2]->listIndex()};
    }
};

TEST_F(KeySettingsTest, FunctionKeyRowsShowTheirPresetsAndAChoicePlaysAtOnceAndAfterARestart) {
    openPage();
    EXPECT_EQ(lists(), (std::vector<int>{3, 0, 0}));
    take();
    form->Option3[5]->setValue(true);  // F6
    EXPECT_EQ(lists(), (std::vector<int>{17, 54, 4}));
    EXPECT_TRUE(take().empty()) << "choosing a function key makes no sound";
    form->YQSZ[1]->setListIndex(60);
    EXPECT_EQ(G.InstrumentPresets(5, 0), 17);
    key(117);  // F6
    EXPECT_TRUE(contains(take(), msg(0xC1, 59, 0))) << "voice 1 plays program 59 at once";

    // The page opened again starts on F1, whatever was chosen before.
    form->Option3[14]->setValue(true);
    form->Xxk[0]->setValue(true);
    openPage();
    EXPECT_EQ(lists(), (std::vector<int>{3, 0, 0}));

    form->BCSZ->click();
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("成功保存本次设置"));
    ASSERT_FALSE(reopen());
    take();
    key(117);
    EXPECT_TRUE(contains(take(), msg(0xC1, 59, 0))) << "and after a restart";
}

TEST_F(KeySettingsTest, PadsPreviewOnceWithTheirOwnMessageAndTheGridsVelocity) {
    openPage();
    take();
    form->Option3[14]->setValue(true);  // pad 2
    EXPECT_EQ(hexList(take()), hexList({0x00643999}));

    // Pads 3 and 7 share a sound: choosing 7 after 3, the list shows that
    // sound already. Its handler still runs: pad 7's message is rebuilt with
    // the rhythm page's velocity and previewed, once.
    form->Option3[15]->setValue(true);
    G.RhythmPattern(5, 7).Message = 0x00503499;
    form->VsbVol->setText(QStringLiteral("90"));
    take();
    form->Option3[19]->setValue(true);
    EXPECT_EQ(G.RhythmPattern(5, 7).Message, 0x005A3499);
    EXPECT_EQ(G.DrumPadIndex, 7);
    EXPECT_EQ(hexList(take()), hexList({0x005A3499}));
    key(103);  // numpad 7 plays the same
    EXPECT_EQ(hexList(take()), hexList({0x005A3499}));

    // A new sound takes the rhythm page's velocity, rounded and held to 0..127.
    form->VsbVol->setText(QStringLiteral("300"));
    take();
    form->YQSZ[3]->setListIndex(5);
    EXPECT_EQ(G.DrumPadSounds(7), 5);
    EXPECT_EQ(G.RhythmPattern(5, 7).Message, 0x007F2899);
    EXPECT_EQ(hexList(take()), hexList({0x007F2899}));
    form->VsbVol->setText(QStringLiteral("99.5"));
    form->YQSZ[3]->setListIndex(6);
    EXPECT_EQ(G.RhythmPattern(5, 7).Message, 0x00642999);

    // Muted: the choice is stored, nothing sounds.
    form->Check1->setValue(1);
    take();
    form->Option3[12]->setValue(true);
    form->YQSZ[3]->setListIndex(10);
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(G.DrumPadSounds(0), 10);
}

TEST_F(KeySettingsTest, EffectKeysPreviewAnExistingFileOnceOrLoopingAndAMissingOneNot) {
    writeWave(folder.file(QStringLiteral("音效/玻璃1.wav")), 0.1);
    openPage();
    form->Option3[22]->setValue(true);  // Ins
    EXPECT_TRUE(engine.effectPlaying());
    EXPECT_EQ(G.SoundEffectFlags, 3);
    EXPECT_EQ(form->XSWB->caption(), QStringLiteral("玻璃1.wav_音效"));
    render(0.3);
    EXPECT_FALSE(engine.effectPlaying()) << "once";

    form->Check2->setValue(1);
    form->Option3[12]->setValue(true);
    form->Option3[22]->setValue(true);
    EXPECT_EQ(G.SoundEffectFlags, 11);
    render(0.3);
    EXPECT_TRUE(engine.effectPlaying()) << "looping";
    form->Option3[26]->setValue(true);  // End
    form->SHUAXIN->click();
    EXPECT_FALSE(engine.effectPlaying());

    // Home's "雷声3.WAV" is not in the folder: no sound, no hint.
    form->XSWB->setCaption(QStringLiteral("x"));
    form->Option3[23]->setValue(true);
    EXPECT_FALSE(engine.effectPlaying());
    EXPECT_EQ(form->XSWB->caption(), QStringLiteral("x"));
    EXPECT_EQ(G.SoundEffectFlags, 11);
}

// The hint names the effect when it plays, and says why when it does not.
TEST_F(KeySettingsTest, EffectKeysSayWhyNothingPlays) {
    writeWave(folder.file(QStringLiteral("音效/玻璃1.wav")), 0.1);
    folder.write(QStringLiteral("音效/刹车2.wav"), "not a wave");
    const std::pair<int, const char*> cases[] = {{45, "玻璃1.wav_音效"},  // Insert plays
                                                 {36, "找不到音效文件“雷声3.WAV”，请检查音效文件夹！"},  // Home
                                                 {33, "无法播放音效文件“刹车2.wav”！"}};  // Page Up
    for (const auto& [code, hint] : cases) {
        form->SHUAXIN->click();
        key(code);
        EXPECT_EQ(engine.effectPlaying(), code == 45) << code;
        EXPECT_EQ(form->XSWB->caption().toStdString(), hint);
    }
}

TEST_F(KeySettingsTest, WaveListStoresNamesOnlyForEffectKeysAndRefusesNamesVantoIniCannotHold) {
    for (const char* name : {"b 空格.WAV", "a.wav", "😀.wav"}) writeWave(folder.file(QStringLiteral("音效/") + QString::fromUtf8(name)), 0.1);
    folder.write(QStringLiteral("音效/说明.txt"), "text");
    openPage();
    form->Option3[26]->setValue(true);  // End
    ASSERT_EQ(form->File2->listCount(), 3);
    form->File2->setListIndex(1);
    EXPECT_EQ(G.SoundEffectNames(4), QStringLiteral("b 空格.WAV"));
    EXPECT_TRUE(engine.effectPlaying());
    EXPECT_EQ(form->XSWB->caption(), QStringLiteral("b 空格.WAV_音效"));

    form->File2->setListIndex(2);
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(G.SoundEffectNames(4), QStringLiteral("b 空格.WAV")) << "a name outside GBK is not stored";
}

TEST_F(KeySettingsTest, SaveWritesTheDefaultsExactlyAndReportsAFailedSave) {
    openPage();
    form->BCSZ->click();
    EXPECT_EQ(folder.read(QStringLiteral("vanto.ini")), plat::toGbk(plat::LoadResString(plat::kStrDefaultSettings)));
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // vanto.ini cannot be written (a folder of that name): said, not "成功".
    ASSERT_TRUE(QFile::remove(folder.file(QStringLiteral("vanto.ini"))));
    ASSERT_TRUE(QDir().mkdir(folder.file(QStringLiteral("vanto.ini"))));
    form->FJWZ->setCaption(QString());
    form->BCSZ->click();
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_NE(form->FJWZ->caption(), QStringLiteral("成功保存本次设置"));
}

class KeySettingsOddFileTest : public KeySettingsTest {
protected:
    void PrepareFolder() override {
        // F1 voice 0: 200, voice 1: -1, pad 0: 60 (read, but no list position); no effect folder.
        QStringList lines = keyboard::DefaultSettingsText().split(QStringLiteral("\r\n"));
        lines[0] = QStringLiteral(" 200 ");
        lines[1] = QStringLiteral("-1 ");
        lines[36] = QStringLiteral(" 60 ");
        folder.write(QStringLiteral("vanto.ini"), plat::toGbk(lines.join(QStringLiteral("\r\n"))));
        QDir(folder.file(QStringLiteral("音效"))).removeRecursively();
    }
};

TEST_F(KeySettingsOddFileTest, ValuesOutsideTheListsShowNothingStoreNothingSoundNothing) {
    openPage();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << "a missing effect folder is an empty list";
    EXPECT_EQ(lists(), (std::vector<int>{-1, -1, 0}));
    take();
    form->Option3[12]->setValue(true);
    EXPECT_EQ(form->YQSZ[3]->listIndex(), -1);
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(G.DrumPadSounds(0), 60);
    form->Option3[22]->setValue(true);
    EXPECT_FALSE(engine.effectPlaying());
    form->BCSZ->click();
    const QStringList lines = plat::splitLines(plat::fromGbk(folder.read(QStringLiteral("vanto.ini"))));
    ASSERT_EQ(lines.size(), 52);
    EXPECT_EQ(std::tuple(lines[0], lines[1], lines[36]),
              std::tuple(QStringLiteral(" 200 "), QStringLiteral("-1 "), QStringLiteral(" 60 ")));
}
