// Live playing: note keys, stop and rest, presets, pads, the keyboard button,
// the live clock; the voice boxes; key codes; mouse playing.
#include "mainwindowfixture.h"

#include "keyboard/keyboardwidgets.h"
#include "keyboard/onscreenkeys.h"
#include "support/handclock.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <functional>

using namespace midi;
using testing_support::hexList;
using PlayTest = MainWindowTest;
using ClockTest = MainWindowTest;
using VoicesTest = MainWindowTest;

TEST_F(PlayTest, NoteKeysPlayTheirOffsetAndRecordTheirToken) {
    key(kG);
    const Msgs got = take();
    EXPECT_EQ(got, firstStrikeOfMiddleC()) << hexList(got);
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC"));
    EXPECT_EQ(picture(24), form->KeyWhiteDown.cacheKey());

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
        EXPECT_EQ(take(), cat(sweep(last, 65), offs(2, 24, 35))) << last;
    }
    EXPECT_TRUE(form->Text3->text().isEmpty());  // an empty box records nothing
}

TEST_F(PlayTest, PresetKeysSendOnlyRealPrograms) {
    key(117);  // F6: list positions 17, 54, 4
    // Each box's own handler sends the program, then the key sends it again.
    Msgs got = take();
    EXPECT_EQ(got, (Msgs{msg(0xB0, 0, 0), msg(0xC0, 16, 0), msg(0xB0, 0, 0), msg(0xC0, 16, 0), msg(0xB1, 0, 0),
                         msg(0xC1, 53, 0), msg(0xB1, 0, 0), msg(0xC1, 53, 0), msg(0xB2, 0, 0), msg(0xC2, 3, 0),
                         msg(0xB2, 0, 0), msg(0xC2, 3, 0)}))
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
    for (int code : {16, 17, 18, 13, 27, 37, 9, 20, 144, 220, 192}) key(code);
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC"));
    EXPECT_EQ(G.LastNoteOffset, 24);
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
    EXPECT_EQ(got, cat(releaseOf(62), {msg(0x83, 64, 0), msg(0x83, 60, 0), msg(0x84, 60, 0)})) << hexList(got);

    // Numpad + restarts the clock counting afresh; an idle close with an empty box records nothing.
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
    // Drum step 0 with the note, after the melody; then steps 1..15 and 0 again, each after its expression.
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
    EXPECT_EQ(Msgs(halt.begin(), halt.begin() + 4), releaseOf(60)) << hexList(halt);
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

// A key between a live-clock tick's early wake-up and its deadline reads the count of the ticks whose deadlines
// have passed; the tick's count comes at its deadline.
TEST_F(ClockTest, KeysBetweenAnEarlyTickAndItsDeadlineReadTheCountBeforeIt) {
    using C = testing_support::HandClock;
    const C clock(5'000'000'000);
    const qint64 step = G.BeatInterval * C::ms;
    form->Check5->setValue(1);
    key(kG);
    C::now += 50 * C::ms;
    key(kH);  // the clock runs: H counts from 0, its ticks due 1, 2, 3 steps on
    const qint64 origin = C::now;
    const auto wakeUp = [&](int k) {
        C::now = origin + k * step - C::ahead;
        form->Timer1->fire();
        C::now += C::ahead - 10 * C::ms;
    };
    for (int k = 1; k <= 2; ++k) {
        wakeUp(k);
        EXPECT_EQ(G.NoteTicks, k - 1) << "tick " << k << " woken early";
        C::now = origin + k * step;
        ui::Timer::settle();
        EXPECT_EQ(G.NoteTicks, k) << "tick " << k << " at its deadline";
    }
    wakeUp(3);
    key(kBack);  // H held two ticks: length 2, not 4; the rest counts from here
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC2KD2XZ"));
    C::now = origin + 3 * step;
    ui::Timer::settle();
    EXPECT_EQ(G.NoteTicks, 1) << "the rest's first tick, at its deadline";
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

// The chord-effect and rhythm-instrument keys name what they did on the hint line.
TEST_F(PlayTest, EffectKeysNameTheirEffectOnTheHintLine) {
    const QString chord = QStringLiteral("和弦音效\r\n         "), drum = QStringLiteral("节奏乐器\r\n         ");
    const std::pair<int, QString> cases[] = {{'X', chord + "6.1.3"}, {'A', drum + "温暖音"}};
    for (const auto& [code, hint] : cases) {
        form->XSWB->setCaption(QString());
        key(code);
        EXPECT_EQ(form->XSWB->caption().toStdString(), hint.toStdString()) << code;
    }
}

// Vibrato's four controllers; real programs only; the silent entry stops its voice.
TEST_F(VoicesTest, VibratoProgramsAndTheSilentEntry) {
    form->Check3[1]->setValue(1);
    form->Check3[1]->setValue(0);
    EXPECT_EQ(take(), (Msgs{msg(0xB1, 1, 75), msg(0xB1, 65, 100), msg(0xB1, 66, 100), msg(0xB1, 91, 100),
                            msg(0xB1, 1, 0), msg(0xB1, 65, 20), msg(0xB1, 66, 20), msg(0xB1, 91, 20)}));
    form->ComSounds[0]->setListIndex(1);
    form->ComSounds[2]->setListIndex(128);
    EXPECT_EQ(take(), (Msgs{msg(0xB0, 0, 0), msg(0xC0, 0, 0), msg(0xB2, 0, 0), msg(0xC2, 127, 0)}));
    // Typed text: no entry, the silent entry, then a real one.
    form->ComSounds[0]->setText(QStringLiteral("钢琴"));
    EXPECT_EQ(G.ChannelProgram(0), -1);
    form->ComSounds[0]->setText(QStringLiteral("0.无声"));
    EXPECT_TRUE(take().empty());
    form->ComSounds[0]->setText(QStringLiteral("3.酒吧钢琴"));
    EXPECT_EQ(take(), (Msgs{msg(0xB0, 0, 0), msg(0xC0, 2, 0)}));

    key(kG);
    take();
    form->ComSounds[1]->setListIndex(0);
    EXPECT_EQ(take(), Msgs{msg(0x81, 60, 0)});
    key(kH);
    EXPECT_TRUE(only(take(), 0x91, 0x91).empty());
    form->ComSounds[2]->setListIndex(0);  // voice 2 with its octave below
    EXPECT_EQ(take(), (Msgs{msg(0x82, 62, 0), msg(0x82, 50, 0)}));
}

// Each voice's notes go out with the velocity chosen from its own list; the third voice's octave below with it too.
TEST_F(VoicesTest, AVelocityChosenFromTheListIsTheVelocityOfThatVoicesNotes) {
    const int velocities[] = {25, 40, 55, 70, 85, 100, 120};
    for (int j = 0; j <= 2; ++j) {
        for (int p = 0; p < 7; ++p) {
            emit form->Zxlyl[j]->activated(p);
            take();
            key(kG);
            Msgs want{msg(0x90 + j, 60, velocities[p])};
            if (j == 2) want.push_back(msg(0x92, 48, velocities[p]));
            EXPECT_EQ(hexList(only(take(), 0x90 + j, 0x90 + j)), hexList(want)) << "voice " << j << ", entry " << p;
        }
    }
}

TEST_F(VoicesTest, VelocityOutsideTheMidiRangeIsSentClamped) {
    form->Zxlyl[0]->setText(QStringLiteral("300"));
    form->Zxlyl[1]->setText(QStringLiteral("-5"));
    EXPECT_EQ(form->Zxlyl[0]->text(), QStringLiteral("300"));  // the box keeps what was typed
    take();
    key(kG);
    EXPECT_EQ(only(take(), 0x90, 0x91), (Msgs{msg(0x90, 60, 127), msg(0x91, 60, 1)}));
    // The chord effect plays with voice 1's velocity.
    form->Zxlyl[1]->setText(QStringLiteral("200"));
    key('R');
    form->Timer4->setEnabled(false);
    const Msgs effect = only(take(), 0x95, 0x95);
    ASSERT_EQ(effect.size(), 3u);
    EXPECT_EQ(effect[0], msg(0x95, 48, 127));
}

TEST_F(VoicesTest, TempoGivesTheTickLengthAndIsCheckedWhenLeavingTheBox) {
    form->SD->setListIndex(0);  // 40
    EXPECT_EQ(G.BeatInterval, 188);
    EXPECT_EQ(form->BZDS->interval(), 376);
    for (const char* bad : {"abc", "39.4", "141"}) {
        form->SD->setText(QString::fromLatin1(bad));
        form->SD_LostFocus();
        EXPECT_EQ(form->SD->text(), QStringLiteral("39")) << bad;  // shown back from 188 ms
        EXPECT_EQ(G.BeatInterval, 188) << bad;
    }

    form->SD->setText(QStringLiteral("140"));
    form->SD_LostFocus();
    EXPECT_EQ(G.BeatInterval, 54);
    EXPECT_EQ(form->SD->text(), QStringLiteral("140"));
    form->SD->setText(QStringLiteral("39.6"));  // rounds to 40: the text's own value counts
    form->SD_LostFocus();
    EXPECT_EQ(G.BeatInterval, 189);
    EXPECT_TRUE(take().empty());
}

TEST_F(VoicesTest, KeyChangeReleasesTheSoundingNotesInTheOldKey) {
    key(kG);
    // Track 1 sounds "KE" (offset 28), track 2 "KC" (24).
    G.AccompToken(1) = 28;
    G.AccompToken(2) = 24;
    take();
    form->YD->setListIndex(2);
    // The melody and the chord tracks are released in the old key.
    const Msgs got = take();
    EXPECT_EQ(got, cat(releaseOf(60), {msg(0x83, 64, 0), msg(0x83, 60, 0), msg(0x84, 60, 0)})) << hexList(got);
    // The same key again releases nothing; typed text goes back to "C".
    form->YD_Click();
    form->YD->setText(QStringLiteral("xyz"));
    EXPECT_EQ(form->YD->text(), QStringLiteral("C"));
    EXPECT_EQ(G.BaseNote, 38);
    EXPECT_TRUE(take().empty());

    // Key A moves the notes up a ninth.
    form->YD->setListIndex(9);
    take();
    key(kG);
    EXPECT_EQ(only(take(), 0x90, 0x90), Msgs{msg(0x90, 69, 85)});
}

TEST(VirtualKeys, NoteKeysByPositionAndTheKeypadByNumLock) {
    const int pairs[][2] = {
        {7, '6'}, {8, '7'}, {9, '8'}, {10, '9'}, {11, '0'}, {12, 189}, {13, 187},
        {20, 'T'}, {21, 'Y'}, {22, 'U'}, {23, 'I'}, {24, 'O'}, {25, 'P'}, {26, 219},
        {34, 'G'}, {35, 'H'}, {36, 'J'}, {37, 'K'}, {38, 'L'}, {39, 186}, {40, 222},
        {47, 'V'}, {48, 'B'}, {49, 'N'}, {50, 'M'}, {51, 188}, {52, 190}, {53, 191},
        {2, '1'}, {3, '2'}, {4, '3'}, {5, '4'}, {6, '5'},
    };
    for (const auto& p : pairs) EXPECT_EQ(vk::fromEvdev(p[0], true), p[1]) << p[0];
    // Keypad: evdev code, Num Lock on, Num Lock off.
    const int keys[][3] = {
        {82, 96, vk::Insert}, {79, 97, vk::End},  {80, 98, vk::Down}, {81, 99, vk::Next},
        {75, 100, vk::Left},  {76, 101, 12},      {77, 102, vk::Right}, {71, 103, vk::Home},
        {72, 104, vk::Up},    {73, 105, vk::Prior}, {83, 110, vk::Delete},
        {78, 107, 107},       {74, 109, 109},
    };
    for (const auto& k : keys) {
        EXPECT_EQ(vk::fromEvdev(k[0], true), k[1]) << k[0];
        EXPECT_EQ(vk::fromEvdev(k[0], false), k[2]) << k[0];
    }
}

TEST(VirtualKeys, ScanCodesDecideOverQtKeyValues) {
    constexpr Qt::KeyboardModifier N = Qt::NoModifier, S = Qt::ShiftModifier, K = Qt::KeypadModifier;
    // evdev code (reported + 8, as X11 and Wayland do; 0: none), Qt key, modifier, key code.
    const struct { int evdev; int key; Qt::KeyboardModifier mod; int code; } cases[] = {
        // Without a scan code: Qt's key values, shifted characters on their own keys.
        {0, Qt::Key_G, N, 'G'},          {0, Qt::Key_Exclam, S, '1'},    {0, Qt::Key_Colon, S, 186},
        {0, Qt::Key_Plus, N, 187},       {0, Qt::Key_Plus, K, 107},      {0, Qt::Key_Minus, K, 109},
        {0, Qt::Key_Minus, N, 189},      {0, Qt::Key_5, K, 101},         {0, Qt::Key_Period, K, 110},
        {0, Qt::Key_End, K, vk::End},    {0, Qt::Key_Backspace, N, vk::Back},
        {0, Qt::Key_F6, N, 117},         {0, Qt::Key_unknown, N, 0},
        // With one the physical key counts: the G position on another layout,
        // and the extra ISO key that types "<" is not the comma key.
        {34, Qt::Key_I, N, 'G'},         {51, Qt::Key_Less, S, 188},     {86, Qt::Key_Less, N, 0},
        {164, Qt::Key_MediaTogglePlayPause, N, 0},                       {79, Qt::Key_1, K, 97},
        {79, Qt::Key_End, K, vk::End},   {78, Qt::Key_Plus, K, 107}};
    for (const auto& c : cases) {
        QKeyEvent e(QEvent::KeyPress, c.key, c.mod, c.evdev ? static_cast<quint32>(c.evdev + 8) : 0u, 0, 0);
        EXPECT_EQ(c.evdev ? vk::fromKeyEvent(e, true) : vk::fromKeyEvent(e), c.code) << c.evdev << "/" << c.key;
    }
}

namespace {
class MouseTest : public MainWindowTest {
protected:
    void mouse(QWidget* target, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(p), QPointF(target->mapToGlobal(p)), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &e);
    }
    void press(QPoint p) { mouse(form->KeyRow, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton); }
    void drag(QPoint p) { mouse(form->KeyRow, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }
    void release(QPoint p) { mouse(form->KeyRow, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton); }
    const QPoint key24{26 * 14 + 6, 100};  // third C: white
    const QPoint key25{26 * 14 + 20, 30};  // its C sharp
};
}  // namespace

TEST_F(MouseTest, HitTestAgreesWithTheDrawnKeysUpToTheirEdges) {
    // Every key is found at the middle of what is visible of it.
    for (int k = 0; k <= 64; ++k) {
        const QRect r = form->Picture1[k]->geometry();
        EXPECT_EQ(MainWindow::KeyAt(r.center().x(), G.KeyIsWhite(k) == True ? 100 : r.center().y()), k) << k;
    }
    const int edges[][3] = {
        {13, 10, 0},    {14, 10, 1},    {31, 10, 1},  {32, 10, 2},   // C sharp's edges
        {15, 68, 1},    {15, 69, 0},    {15, 100, 0},                // below the black keys
        {132, 10, 8},   {140, 10, 9},   {151, 10, 10}, {151, 100, 9}, // G sharp over A, A, A sharp
        {181, 10, 11},  {182, 10, 12},                               // B: no black key to its right
        {987, 10, 64},  {960, 10, 63},                               // no F sharp after the last E
        {-1, 50, -1},   {10, -1, -1},   {10, 121, -1}, {988, 50, -1}};
    for (const auto& c : edges) EXPECT_EQ(MainWindow::KeyAt(c[0], c[1]), c[2]) << c[0] << "," << c[1];
}

TEST_F(MouseTest, PressPlaysAKeyTheMutePadReleasesIt) {
    press(key24);
    const Msgs got = take();
    EXPECT_EQ(melody(got), firstStrikeOfMiddleC()) << hexList(got);
    EXPECT_EQ(picture(24), form->KeyWhiteDown.cacheKey());
    // Mouse playing records nothing and leaves the clock alone.
    EXPECT_TRUE(form->Text3->text().isEmpty());
    EXPECT_FALSE(form->Timer1->enabled());
    // Every move within the key strikes it again.
    drag(key24 + QPoint(1, 5));
    EXPECT_EQ(only(take(), 0x90, 0x90), Msgs{msg(0x90, 60, 85)});
    release(key24);

    // The mute pad releases the last note, every time.
    press(key25);
    release(key25);
    take();
    for (int pass = 0; pass < 2; ++pass) {
        mouse(form->Label1, QEvent::MouseMove, QPoint(100, 5), Qt::NoButton, Qt::NoButton);
        EXPECT_EQ(take(), releaseOf(61));
        EXPECT_EQ(picture(25), form->KeyBlackUp.cacheKey());
    }
}

TEST_F(MouseTest, DragSequenceMovesFromKeyToKeyOnlyWhileTheButtonIsHeld) {
    mouse(form->KeyRow, QEvent::MouseMove, key24, Qt::NoButton, Qt::NoButton);  // hovering
    EXPECT_TRUE(take().empty());
    press(key24);
    drag(key25);
    EXPECT_EQ(picture(25), form->KeyBlackDown.cacheKey());
    EXPECT_EQ(picture(24), form->KeyWhiteUp.cacheKey());
    EXPECT_EQ(only(take(), 0x91, 0x91).back(), msg(0x91, 61, 70));
    drag(QPoint(10, -20));  // above the strip while held
    release(QPoint(10, -20));
    drag(key24);  // after the release
    press(QPoint(995, 50));  // right of the last key
    EXPECT_TRUE(take().empty());

    // A note key then releases the black key in its own colour.
    key(kH);
    EXPECT_EQ(picture(25), form->KeyBlackUp.cacheKey());
    EXPECT_EQ(picture(26), form->KeyWhiteDown.cacheKey());
    EXPECT_EQ(melody(take())[0], msg(0x80, 61, 0));
}

TEST_F(MouseTest, KeysPlayOnlyWhileTheKeyboardButtonHasTheFocus) {
    QApplication::setActiveWindow(form.get());
    form->SFYXYZ->setFocus(Qt::OtherFocusReason);
    form->Text3->focusEditor();
    EXPECT_FALSE(form->Picture1[64]->isEnabled());
    EXPECT_TRUE(form->Label1->isHidden());
    press(key24);
    release(key24);
    EXPECT_TRUE(take().empty());

    form->SFYXYZ->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(form->Label1->isHidden());
    press(key24);
    EXPECT_FALSE(take().empty());
    release(key24);
}
