// Live playing on the computer keyboard: the note keys' messages, pictures
// and recorded tokens, stop and rest, instrument combinations, drum pads,
// accompaniment start and halt, and the keyboard button itself.
#include "form1fixture.h"

#include "keyboard/keyboardwidgets.h"
#include "platform/midiout.h"

#include <QApplication>
#include <QKeyEvent>

#include <algorithm>

using namespace midi;
using testing_support::hexList;

namespace {

class PlayTest : public Form1Test {
protected:
    void key(int code) { form->SFYXYZ_KeyDown(code, 0); }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) form->Timer1->tick();
    }
    // The messages of channels 0..2 only (the chord tracks' releases left out).
    static Msgs melody(const Msgs& m) {
        Msgs out;
        for (uint32_t v : m)
            if ((v & 0x0F) <= 2) out.push_back(v);
        return out;
    }
    static bool allWellFormed(const Msgs& m) {
        for (uint32_t v : m)
            if (!plat::isWellFormedShortMessage(v)) return false;
        return true;
    }
    qint64 picture(int k) const { return form->Picture1[k]->picture().cacheKey(); }
};

constexpr int kG = 71, kH = 72, kSpace = 32, kBack = 8, kNumPlus = 107, kNumMinus = 109;

}  // namespace

TEST_F(PlayTest, NoteKeyGSendsOffsThenPansAndNotesOfTheThreeVoices) {
    ASSERT_NE(form->KeyWhiteUp.cacheKey(), form->KeyWhiteDown.cacheKey());
    key(kG);
    const Msgs expected = {
        msg(0x80, 36, 0), msg(0x81, 36, 0), msg(0x82, 36, 0), msg(0x82, 24, 0),  // previous note (offset 0)
        msg(0xB0, 10, 64), msg(0x90, 60, 85),                                      // voice 0: fixed pan
        msg(0xB1, 10, 64), msg(0x91, 60, 70),                                      // voice 1: pan by pitch
        msg(0xB2, 10, 88), msg(0x92, 60, 55), msg(0xB2, 10, 88), msg(0x92, 48, 55),  // voice 2 and its octave below
    };
    const Msgs got = take();
    EXPECT_EQ(got, expected) << hexList(got);
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC"));
    EXPECT_EQ(form->XSWB->caption(), QStringLiteral(" G 键\r\n中音（哆）\r\n乐谱中用 KC 表示"));
    EXPECT_EQ(picture(24), form->KeyWhiteDown.cacheKey());
    EXPECT_EQ(G.KeyOffset, 24);
    EXPECT_EQ(G.LastNoteOffset, 24);
    EXPECT_EQ(G.LastKeyCode, kG);
    EXPECT_TRUE(form->Timer1->enabled());
    EXPECT_EQ(form->Timer1->interval(), 107);
    // The take's first step is handed over to the clock.
    EXPECT_EQ(G.RhythmStep, 1);
    EXPECT_EQ(G.DrumStep, 1);
    EXPECT_EQ(form->ChordPos, 2);
    EXPECT_EQ(form->AccompTick, 1);
    EXPECT_EQ(G.NoteTicks, 1);
}

TEST_F(PlayTest, EveryNoteKeyPlaysItsOffsetAndRecordsItsToken) {
    struct K { int code; int offset; const char* token; };
    const K keys[] = {{'6', 0, "LC"}, {'7', 2, "LD"}, {'0', 7, "LG"}, {189, 9, "LA"}, {187, 11, "LB"},
                      {'T', 12, "WC"}, {219, 23, "WB"}, {186, 33, "KA"}, {222, 35, "KB"}, {'V', 36, "HC"},
                      {188, 43, "HG"}, {190, 45, "HA"}, {191, 47, "HB"}, {'1', 48, "MC"}, {'5', 55, "MG"}};
    for (const K& k : keys) {
        form->Text3->setText(QString());
        key(k.code);
        const Msgs on = only(take(), 0x90, 0x90);
        ASSERT_EQ(on.size(), 1u) << k.token;
        EXPECT_EQ(on[0], msg(0x90, 36 + k.offset, 85)) << k.token;
        EXPECT_EQ(form->Text3->text(), QString::fromLatin1(k.token));
        EXPECT_EQ(G.LastNoteOffset, k.offset);
        EXPECT_TRUE(form->XSWB->caption().endsWith(QStringLiteral("乐谱中用 ") + QString::fromLatin1(k.token) +
                                                   QStringLiteral(" 表示")));
    }
}

TEST_F(PlayTest, NoteKeyReleasesTheMousePlayedBlackKeyPicture) {
    form->Picture1_DragOver(25);
    EXPECT_EQ(picture(25), form->KeyBlackDown.cacheKey());
    take();
    key(kH);
    EXPECT_EQ(picture(25), form->KeyBlackUp.cacheKey());
    EXPECT_EQ(picture(26), form->KeyWhiteDown.cacheKey());
    EXPECT_EQ(melody(take())[0], msg(0x80, 61, 0));
}

TEST_F(PlayTest, TakeIsRecordedWithEvenLengthsFromTheClock) {
    key(kG);
    tick(5);  // count 6
    key(kH);
    tick(3);  // count 3, rounded up to 4
    key(kSpace);
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC6KD4TZ"));
    EXPECT_EQ(G.ScoreText, QStringLiteral("KC6KD4TZ"));
    EXPECT_EQ(form->TextLen, 8);
    EXPECT_FALSE(form->Timer1->enabled());
    EXPECT_EQ(form->Yuepu[0]->text(), QStringLiteral("试听"));
    EXPECT_EQ(picture(26), form->KeyWhiteUp.cacheKey());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(PlayTest, KeysBetweenTwoTicksRecordTheLengthLastCounted) {
    key(kG);
    key(kH);  // before any tick: no length counted yet, written as 2
    tick(3);  // length 4
    key('J');
    key('K');  // before the next tick: the clock's length is still 4
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC2KD4KE4KF"));
    tick(7);  // length 8
    key(kBack);
    EXPECT_EQ(G.NoteTicks, 0);  // the rest counts afresh
    EXPECT_TRUE(form->Timer1->enabled());
    key(kG);  // again before a tick
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC2KD4KE4KF8XZ8KC"));
    tick(5);  // length 6
    key(kSpace);
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC2KD4KE4KF8XZ8KC6TZ"));
}

TEST_F(PlayTest, StopAndRestReleaseEveryNoteIncludingKey64AndTheLowOctave) {
    // Stop: channels 0..4; rest: the melody channels 0..2.
    for (int last : {4, 2}) {
        key(last == 4 ? kSpace : kBack);
        Msgs expected;
        for (int i = 0; i <= 64; ++i)
            for (int ch = 0; ch <= last; ++ch) expected.push_back(msg(0x80 + ch, 36 + i, 0));
        for (int n = 24; n <= 35; ++n) expected.push_back(msg(0x82, n, 0));
        EXPECT_EQ(take(), expected) << last;
    }
    EXPECT_TRUE(form->Text3->text().isEmpty());  // an empty box records nothing
}

TEST_F(PlayTest, F6SelectsItsPresetsAndSendsTheirPrograms) {
    key(117);
    EXPECT_EQ(form->ComSounds[0]->listIndex(), 17);
    EXPECT_EQ(form->ComSounds[1]->listIndex(), 54);
    EXPECT_EQ(form->ComSounds[2]->listIndex(), 4);
    EXPECT_EQ(G.ChannelProgram(1), 54);
    // Each box's own handler sends the program, then the key sends it again.
    const Msgs expected = {msg(0xB0, 0, 0), msg(0xC0, 16, 0), msg(0xB0, 0, 0), msg(0xC0, 16, 0),
                           msg(0xB1, 0, 0), msg(0xC1, 53, 0), msg(0xB1, 0, 0), msg(0xC1, 53, 0),
                           msg(0xB2, 0, 0), msg(0xC2, 3, 0),  msg(0xB2, 0, 0), msg(0xC2, 3, 0)};
    const Msgs got = take();
    EXPECT_EQ(got, expected) << hexList(got);
    EXPECT_EQ(form->XSWB->caption(), QStringLiteral("你已经选择了\r\n       乐器组合 6"));
    EXPECT_TRUE(form->Text3->text().isEmpty());
}

TEST_F(PlayTest, PresetsSendOnlyRealProgramsAndSkipPositionsOutsideTheList) {
    key(112);  // F1: 3, 0, 0 - two silent voices
    EXPECT_EQ(form->ComSounds[1]->listIndex(), 0);
    Msgs got = take();
    EXPECT_TRUE(allWellFormed(got)) << hexList(got);
    EXPECT_TRUE(only(got, 0xC1, 0xC2).empty());
    EXPECT_EQ(only(got, 0xC0, 0xC0).back(), msg(0xC0, 2, 0));

    G.InstrumentPresets(4, 0) = 200;
    G.InstrumentPresets(4, 1) = -3;
    G.InstrumentPresets(4, 2) = 7;
    key(116);  // F5
    EXPECT_EQ(form->ComSounds[0]->listIndex(), 3);
    EXPECT_EQ(G.ChannelProgram(0), 3);
    EXPECT_EQ(form->ComSounds[2]->listIndex(), 7);
    got = take();
    EXPECT_TRUE(allWellFormed(got)) << hexList(got);
    EXPECT_TRUE(only(got, 0xC0, 0xC1).empty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(PlayTest, DrumPadsSoundAndNameTheirPercussion) {
    key(98);  // numpad 2, pad sound 22
    EXPECT_EQ(take(), Msgs{msg(0x99, 22 + 35, 100)});
    EXPECT_EQ(G.DrumPadIndex, 2);
    EXPECT_EQ(form->XSWB->caption(), QStringLiteral("铜钹 2_打击乐"));
    // A pad sound outside the percussion list stays silent.
    G.DrumPadSounds(3) = 60;
    G.DrumPadSounds(4) = -1;
    key(99);
    EXPECT_EQ(form->XSWB->caption(), QStringLiteral("_打击乐"));
    key(100);
    EXPECT_EQ(form->XSWB->caption(), QStringLiteral("_打击乐"));
    EXPECT_TRUE(take().empty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(PlayTest, NumpadPlusAfterAnIdleCloseCountsAfresh) {
    key(kG);
    tick(99);  // the idle close
    ASSERT_EQ(form->Text3->text(), QStringLiteral("KC99TZ"));
    ASSERT_FALSE(form->Timer1->enabled());
    form->Check5->setValue(1);
    key(kNumPlus);
    EXPECT_TRUE(form->Timer1->enabled());
    EXPECT_EQ(G.NoteTicks, 0);
    tick();
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC99TZ"));
    EXPECT_TRUE(form->Timer1->enabled());
}

TEST_F(PlayTest, NumpadMinusWithAutoSyncStopsTheClockAndReleasesTheChordTracks) {
    form->Check5->setValue(1);
    key(kNumPlus);
    tick(3);
    take();
    key(kNumMinus);
    EXPECT_FALSE(form->Timer1->enabled());
    EXPECT_EQ(G.RhythmStep, 0);
    EXPECT_EQ(form->ChordPos, 1);
    const Msgs got = take();
    EXPECT_FALSE(only(got, 0x83, 0x83).empty()) << hexList(got);
    EXPECT_FALSE(only(got, 0x84, 0x84).empty()) << hexList(got);
}

TEST_F(PlayTest, FirstNoteWithAutoSyncPlaysTheFirstStep) {
    form->Check5->setValue(1);
    form->xuanyue->setListIndex(0);
    G.RhythmPattern(0, 0).Enabled = True;
    G.RhythmPattern(0, 0).Message = msg(0x99, 36, 90);
    take();
    key(kG);
    const Msgs got = take();
    const Msgs drums = only(got, 0xB9, 0xB9);
    ASSERT_EQ(drums.size(), 1u);
    EXPECT_EQ(drums[0], msg(0xB9, 11, 127));
    const Msgs hits = only(got, 0x99, 0x99);
    EXPECT_EQ(hits, Msgs{msg(0x99, 36, 90)});
    // The expression comes before the hit, both after the melody notes.
    const auto at = [&](uint32_t m) { return std::find(got.begin(), got.end(), m) - got.begin(); };
    EXPECT_LT(at(msg(0x92, 48, 55)), at(msg(0xB9, 11, 127)));
    EXPECT_LT(at(msg(0xB9, 11, 127)), at(msg(0x99, 36, 90)));
}

TEST_F(PlayTest, OtherKeysChangeNothing) {
    key(kG);
    take();
    const QString text = form->Text3->text();
    for (int code : {16, 17, 18, 13, 27, 37, 38, 39, 40, 9, 20, 144, 220, 221, 192}) {
        key(code);
        EXPECT_TRUE(take().empty()) << code;
        EXPECT_EQ(form->Text3->text(), text) << code;
        EXPECT_EQ(G.LastNoteOffset, 24) << code;
    }
}

TEST_F(PlayTest, KeyboardButtonTakesKeysWithoutClickingOrMovingFocus) {
    int clicks = 0;
    form->SFYXYZ->onClick = [&] { ++clicks; };
    QApplication::setActiveWindow(form.get());
    form->SFYXYZ->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(form->SFYXYZ->hasFocus());
    auto press = [&](int qtKey, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent down(QEvent::KeyPress, qtKey, mods);
        QApplication::sendEvent(form->SFYXYZ, &down);
        QKeyEvent up(QEvent::KeyRelease, qtKey, mods);
        QApplication::sendEvent(form->SFYXYZ, &up);
    };
    press(Qt::Key_G);
    press(Qt::Key_Tab);
    press(Qt::Key_Return);
    press(Qt::Key_Plus, Qt::KeypadModifier);  // audition, not the "=" note key
    press(Qt::Key_Minus, Qt::KeypadModifier);
    press(Qt::Key_Space);
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(form->SFYXYZ->hasFocus());
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC2TZ"));
    EXPECT_EQ(form->BzQd->value(), 0);
}

TEST_F(PlayTest, ButtonClickAndFocusResetTheStepCounters) {
    G.RhythmStep = 4;
    form->ChordPos = 3;
    form->SFYXYZ_Click();
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("现在允许演奏。。。"));
    EXPECT_EQ(G.RhythmStep, 0);
    EXPECT_EQ(form->ChordPos, 1);

    // Real focus moves inside the window arm and disarm the on-screen keys.
    QApplication::setActiveWindow(form.get());
    form->SFYXYZ->setFocus(Qt::OtherFocusReason);
    form->Text3->focusEditor();
    EXPECT_FALSE(form->Picture1[0]->isEnabled());
    EXPECT_FALSE(form->Picture1[64]->isEnabled());
    EXPECT_TRUE(form->Label1->isHidden());
    G.DrumStep = 7;
    form->SFYXYZ->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(form->Picture1[33]->isEnabled());
    EXPECT_FALSE(form->Label1->isHidden());
    EXPECT_EQ(G.DrumStep, 0);
}

TEST_F(PlayTest, ScoreBoxChangeKeepsItsLengthAndHidesTheFileList) {
    form->File1->show();
    form->Text3->setText(QStringLiteral("KC4\r\nKD"));
    EXPECT_EQ(form->TextLen, 7);
    EXPECT_TRUE(form->File1->isHidden());
    key(kH);
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC4\r\nKD2KD"));
}
