// Live playing on the computer keyboard: the note keys' messages, pictures
// and recorded tokens, stop and rest, instrument combinations, drum pads,
// accompaniment start and halt, the keyboard button itself; and the live
// accompaniment clock: note lengths, the idle close of a take, auto-sync.
#include "mainwindowfixture.h"

#include "keyboard/keyboardwidgets.h"
#include "platform/midiout.h"

#include <QApplication>
#include <QKeyEvent>

#include <functional>

using namespace midi;
using testing_support::hexList;

using PlayTest = Form1Test;
using ClockTest = Form1Test;

namespace {

// A hit on every step of drum row 0, with the step number as velocity.
void patternOnEveryStep() {
    for (int s = 0; s <= 15; ++s) {
        G.RhythmPattern(0, s).Enabled = True;
        G.RhythmPattern(0, s).Message = 0x99 + 36 * 256 + (10 + s) * 65536;
    }
}

}  // namespace

TEST_F(PlayTest, NoteKeysPlayTheirOffsetAndRecordTheirToken) {
    key(kG);
    const Msgs got = take();
    EXPECT_EQ(got, firstStrikeOfMiddleC()) << hexList(got);
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC"));
    EXPECT_EQ(picture(24), form->KeyWhiteDown.cacheKey());

    // Every note key: its pitch and its token.
    struct K { int code; int offset; const char* token; };
    const K keys[] = {
        {'6', 0, "LC"},  {'7', 2, "LD"},  {'8', 4, "LE"},  {'9', 5, "LF"},  {'0', 7, "LG"},  {189, 9, "LA"},
        {187, 11, "LB"}, {'T', 12, "WC"}, {'Y', 14, "WD"}, {'U', 16, "WE"}, {'I', 17, "WF"}, {'O', 19, "WG"},
        {'P', 21, "WA"}, {219, 23, "WB"}, {'G', 24, "KC"}, {'H', 26, "KD"}, {'J', 28, "KE"}, {'K', 29, "KF"},
        {'L', 31, "KG"}, {186, 33, "KA"}, {222, 35, "KB"}, {'V', 36, "HC"}, {'B', 38, "HD"}, {'N', 40, "HE"},
        {'M', 41, "HF"}, {188, 43, "HG"}, {190, 45, "HA"}, {191, 47, "HB"}, {'1', 48, "MC"}, {'2', 50, "MD"},
        {'3', 52, "ME"}, {'4', 53, "MF"}, {'5', 55, "MG"}};
    for (const K& k : keys) {
        SCOPED_TRACE(k.token);
        form->Text3->setText(QString());
        key(k.code);
        EXPECT_EQ(only(take(), 0x90, 0x90), Msgs{msg(0x90, 36 + k.offset, 85)});
        EXPECT_EQ(form->Text3->text(), QString::fromLatin1(k.token));
    }
}

TEST_F(PlayTest, KeysBeforeTheFirstTickOfANoteRecordTheShortestLength) {
    key(kG);
    key(kH);  // before any tick: no length counted yet, written as 2
    tick(3);  // count 3, rounded up to 4
    key('J');
    key('K');  // before J's first tick: 2, not the 4 counted for H
    tick(7);   // length 8
    key(kBack);
    EXPECT_TRUE(form->Timer1->enabled());
    key(kG);  // the rest's own count has not ticked yet either
    tick(5);
    key(kSpace);  // the stop closes the take and the clock, the key goes up
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC2KD4KE2KF8XZ2KC6TZ"));
    EXPECT_EQ(G.ScoreText, form->Text3->text());
    EXPECT_FALSE(form->Timer1->enabled());
    EXPECT_EQ(picture(24), form->KeyWhiteUp.cacheKey());

    // After a take closed by the clock (length 99) and a stop, a quick
    // second key records 2; so do a held key's repeats.
    form->Text3->setText(QString());
    key(kG);
    tick(100);
    ASSERT_FALSE(form->Timer1->enabled());
    key(kSpace);
    key(kG);
    key(kH);
    key(kH);
    key(kH);
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC99TZ99TZ99KC2KD2KD2KD"));
}

TEST_F(PlayTest, StopAndRestReleaseEveryNoteIncludingKey64AndTheLowOctave) {
    // Stop: channels 0..4; rest: the melody channels 0..2.
    for (int last : {4, 2}) {
        key(last == 4 ? kSpace : kBack);
        Msgs expected;
        for (int i = 0; i <= 64; ++i)
            for (int ch = 0; ch <= last; ++ch) expected.push_back(msg(0x80 + ch, 36 + i, 0));
        EXPECT_EQ(take(), cat(expected, offs(2, 24, 35))) << last;
    }
    EXPECT_TRUE(form->Text3->text().isEmpty());  // an empty box records nothing
}

TEST_F(PlayTest, PresetKeysSendOnlyRealPrograms) {
    key(117);  // F6: list positions 17, 54, 4
    // Each box's own handler sends the program, then the key sends it again.
    Msgs got = take();
    EXPECT_EQ(got, (Msgs{msg(0xB0, 0, 0), msg(0xC0, 16, 0), msg(0xB0, 0, 0), msg(0xC0, 16, 0),
                         msg(0xB1, 0, 0), msg(0xC1, 53, 0), msg(0xB1, 0, 0), msg(0xC1, 53, 0),
                         msg(0xB2, 0, 0), msg(0xC2, 3, 0),  msg(0xB2, 0, 0), msg(0xC2, 3, 0)}))
        << hexList(got);
    EXPECT_EQ(form->XSWB->caption(), QStringLiteral("你已经选择了\r\n       乐器组合 6"));

    G.InstrumentPresets(6, 0) = 128;  // the last list position is a preset like any other
    key(118);  // F7
    EXPECT_TRUE(contains(take(), msg(0xC0, 127, 0)));
    // Silent presets and positions outside the list send no program.
    G.InstrumentPresets(4, 0) = 200;
    G.InstrumentPresets(4, 1) = -3;
    G.InstrumentPresets(4, 2) = 0;
    key(116);  // F5
    got = take();
    EXPECT_TRUE(only(got, 0xC0, 0xC2).empty()) << hexList(got);
}

TEST_F(PlayTest, DrumPadsSoundAndNameTheirPercussion) {
    key(98);  // numpad 2, pad sound 22
    EXPECT_EQ(take(), Msgs{msg(0x99, 22 + 35, 100)});
    EXPECT_EQ(form->XSWB->caption(), QStringLiteral("铜钹 2_打击乐"));
    // Q W S A Z choose the rhythm instrument of channels 4 and 5: Z the drum kit.
    key('Z');
    EXPECT_EQ(take(), (Msgs{msg(0xB4, 0, 0), msg(0xC4, 118, 0), msg(0xB5, 0, 0), msg(0xC5, 118, 0), msg(0xB4, 0, 0),
                            msg(0xC4, 118, 0)}));
    // A pad sound outside the percussion list stays silent.
    G.DrumPadSounds(3) = 60;
    key(99);
    EXPECT_EQ(form->XSWB->caption(), QStringLiteral("_打击乐"));
    EXPECT_TRUE(take().empty());
}

TEST_F(PlayTest, OtherKeysChangeNothing) {
    key(kG);
    take();
    for (int code : {16, 17, 18, 13, 27, 37, 9, 20, 144, 220, 192}) {
        key(code);
        EXPECT_TRUE(take().empty()) << code;
        EXPECT_EQ(form->Text3->text(), QStringLiteral("KC")) << code;
        EXPECT_EQ(G.LastNoteOffset, 24) << code;
    }
}

TEST_F(PlayTest, KeyboardButtonTakesKeysWithoutClickingOrMovingFocus) {
    int clicks = 0;
    form->SFYXYZ->onClick = [&] { ++clicks; };
    QApplication::setActiveWindow(form.get());
    form->SFYXYZ->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(form->SFYXYZ->hasFocus());
    // Numpad + and - are the accompaniment keys, not the "=" and "-" note keys.
    const std::pair<int, Qt::KeyboardModifier> keys[] = {
        {Qt::Key_G, Qt::NoModifier},         {Qt::Key_Tab, Qt::NoModifier},       {Qt::Key_Return, Qt::NoModifier},
        {Qt::Key_Plus, Qt::KeypadModifier}, {Qt::Key_Minus, Qt::KeypadModifier}, {Qt::Key_Space, Qt::NoModifier}};
    for (const auto& [qtKey, mod] : keys) {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent e(type, qtKey, mod);
            QApplication::sendEvent(form->SFYXYZ, &e);
        }
    }
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(form->SFYXYZ->hasFocus());
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC2TZ"));
    EXPECT_EQ(form->BzQd->value(), 0);
}

TEST_F(ClockTest, NoteLengthIsTheCountRoundedUpToEvenUntilTheIdleClose) {
    key(kG);
    key(kH);  // a second key counts from 0
    const std::pair<int, int> expected[] = {{1, 2}, {2, 2}, {3, 4}, {98, 98}, {99, 99}};
    int done = 0;
    for (const auto& [ticks, length] : expected) {
        tick(ticks - done);
        done = ticks;
        EXPECT_EQ(G.NoteLength, length) << ticks;
    }
    EXPECT_TRUE(form->Timer1->enabled());
    take();
    G.AccompToken(1) = 28;  // track 1 sounds "KE", track 2 "KC"
    G.AccompToken(2) = 24;
    tick();  // the 100th tick after the key closes the take and silences the voices
    EXPECT_FALSE(form->Timer1->enabled());
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC2KD99TZ"));
    EXPECT_EQ(G.ScoreText, QStringLiteral("KC2KD99TZ"));
    const Msgs got = take();
    EXPECT_EQ(got, (Msgs{msg(0x80, 62, 0), msg(0x81, 62, 0), msg(0x82, 62, 0), msg(0x82, 50, 0), msg(0x83, 64, 0),
                         msg(0x83, 60, 0), msg(0x84, 60, 0)}))
        << hexList(got);

    // Numpad + restarts the clock counting afresh; an idle close with an
    // empty box records nothing.
    form->Check5->setValue(1);
    key(kNumPlus);
    form->Text3->setText(QString());
    tick(99);
    EXPECT_TRUE(form->Timer1->enabled());
    tick();
    EXPECT_FALSE(form->Timer1->enabled());
    EXPECT_TRUE(form->Text3->text().isEmpty());
}

TEST_F(ClockTest, TicksOnlyCountWithoutAutoSyncOrWhileTheAuditionRuns) {
    for (bool audition : {false, true}) {
        SCOPED_TRACE(audition ? "audition running" : "no auto-sync");
        patternOnEveryStep();
        key(kSpace);
        form->Check5->setValue(audition ? 1 : 0);
        form->BzQd->setValue(audition ? 1 : 0);
        form->BZDS->setEnabled(false);  // the audition's own clock is not under test
        key(kG);
        take();
        tick(40);
        EXPECT_TRUE(take().empty());
        EXPECT_EQ(G.NoteTicks, 41);
    }
}

TEST_F(ClockTest, AutoSyncPlaysTheFirstStepWithTheNoteThenADrumStepEveryFourTicks) {
    patternOnEveryStep();
    form->Option1[2]->setValue(true);  // 4/4
    form->Check5->setValue(1);
    form->xuanyue->setListIndex(0);  // no chord tracks
    form->Text6->setText(QStringLiteral("12"));
    take();
    key(kG);
    Msgs got = take();
    // A drum step on ticks 4, 8, 12 ... after the note that played step 0.
    for (int t = 1; t <= 64; ++t) {
        tick();
        const Msgs m = take();
        if (t % 4 != 0) EXPECT_TRUE(only(m, 0x99, 0x99).empty()) << "tick " << t << ": " << hexList(m);
        if (t == 32) EXPECT_EQ(form->ChordPos, 1);  // the bar start wrapped the chord position
        got = cat(got, m);
    }
    EXPECT_EQ(form->ChordPos, 2);
    // Drum step 0 with the note, after the melody; then steps 1..15 and 0
    // again, each after its expression.
    const std::vector<int> accent = accentsOfMeter(2);
    Msgs expected = {msg(0xB9, 11, 127), msg(0x99, 36, 10)};
    for (int k = 1; k <= 16; ++k) expected = cat(expected, {msg(0xB9, 11, accent[k % 16]), msg(0x99, 36, 10 + k % 16)});
    Msgs drums;
    for (uint32_t m : got)
        if ((m & 0xFF) == 0xB9 || (m & 0xFF) == 0x99) drums.push_back(m);
    EXPECT_EQ(drums, expected) << hexList(drums);
    EXPECT_LT(std::find(got.begin(), got.end(), msg(0x92, 48, 55)), std::find(got.begin(), got.end(), expected[0]));
    EXPECT_EQ(form->AccompTick, 1);
    EXPECT_EQ(G.DrumStep, 1);
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // Numpad - halts the clock and releases the melody note and the chord
    // tracks: the stopped clock would never release them.
    key(kNumMinus);
    EXPECT_FALSE(form->Timer1->enabled());
    const Msgs halt = take();
    ASSERT_GE(halt.size(), 4u) << hexList(halt);
    EXPECT_EQ(Msgs(halt.begin(), halt.begin() + 4),
              (Msgs{msg(0x80, 60, 0), msg(0x81, 60, 0), msg(0x82, 60, 0), msg(0x82, 48, 0)}))
        << hexList(halt);
    EXPECT_FALSE(only(halt, 0x83, 0x83).empty()) << hexList(halt);
    EXPECT_FALSE(only(halt, 0x84, 0x84).empty()) << hexList(halt);
}

// With auto-sync the live clock plays the chord tracks bar by bar through
// the chord order: "KC" sounds C, then F, then G.
TEST_F(ClockTest, ChordTracksFollowTheChordOrderAcrossBarChanges) {
    form->Option1[2]->setValue(true);
    form->Check5->setValue(1);
    form->xuanyue->setListIndex(1);
    form->Text4->setText(QStringLiteral("KC").leftJustified(32, u'-'));
    form->Text5->setText(QString(32, u'-'));
    form->Text6->setText(QStringLiteral("145"));
    form->Text6_LostFocus();
    take();
    key(kG);
    std::vector<std::pair<int, int>> strikes;  // (tick, note) of channel 3
    for (int t = 0; t < 96; ++t) {
        for (uint32_t m : take())
            if ((m & 0xFF) == 0x93 && (m >> 16) > 0) strikes.push_back({t, int((m >> 8) & 0xFF)});
        tick();
    }
    EXPECT_EQ(strikes, (std::vector<std::pair<int, int>>{{0, 60}, {32, 65}, {64, 67}}));
}

// Every choice in a control gives the keyboard back to the player, so that
// the next keys play instead of going to the control; so do the function
// and effect keys.
TEST_F(PlayTest, EveryChoiceGivesTheKeyboardBack) {
    QApplication::setActiveWindow(form.get());
    auto choose = [](ui::ComboBox* box) { emit box->activated(std::max(box->listIndex(), 0)); };
    const std::pair<const char*, std::function<void()>> choices[] = {
        {"voice", [&] { choose(form->ComSounds[0]); }},   {"velocity", [&] { choose(form->Zxlyl[1]); }},
        {"vibrato", [&] { form->Check3[2]->click(); }},    {"tempo", [&] { choose(form->SD); }},
        {"key", [&] { choose(form->YD); }},                {"device", [&] { choose(form->ComDevies); }},
        {"chord volume", [&] { choose(form->HxYL); }},     {"chord voice", [&] { choose(form->xuanyue); }},
        {"track voice", [&] { choose(form->Combo3); }},    {"key setting", [&] { choose(form->YQSZ[0]); }},
        {"audition on", [&] { form->BzQd->click(); }},     {"audition off", [&] { form->BzQd->click(); }},
        {"help topic", [&] { form->Option2[1]->click(); }}, {"page", [&] { form->Xxk[1]->click(); }},
        {"settings saved", [&] { form->BCSZ->click(); }},  {"function key", [&] { key(112); }},
        {"effect key", [&] { key(45); }}};
    for (const auto& [name, act] : choices) {
        form->Text3->focusEditor();
        ASSERT_FALSE(form->SFYXYZ->hasFocus()) << name;
        act();
        EXPECT_TRUE(form->SFYXYZ->hasFocus()) << name;
    }
}
