// Playback: a bar play's exact messages, accents, crescendo and decrescendo,
// a song play to its last step, key changes, stops, and the failure paths.
#include "editorfixture.h"
#include "support/handclock.h"

using namespace midi;


TEST_F(EditorTest, BarPlaySendsEachStepAndEndsWithTheNoteOffs) {
    type(0, QStringLiteral("KC"));
    tickDrum(0, 0);
    take();
    w->ST1->setValue(true);
    const int drum = 70 * 65536 + 36 * 256 + 0x99;
    Msgs step0 = {msg(0xB0, 1, 0)};
    for (int c = 0; c <= 4; ++c) step0.push_back(msg(0xB0 + c, 11, 120));
    for (int c : {5, 6, 9}) step0.push_back(msg(0xB0 + c, 11, 120));
    step0.push_back(static_cast<uint32_t>(drum));
    step0.insert(step0.end(), {msg(0x80, 36, 0), msg(0xB0, 10, 0), msg(0x90, 60, 70)});
    EXPECT_EQ(take(), step0) << testing_support::hexList(step0);
    EXPECT_FALSE(w->ST2->isEnabled());
    EXPECT_EQ(w->YYDS->interval(), 188);

    tick(15);
    take();
    tick();  // past the bar: everything off, controls back
    EXPECT_EQ(take(), cat(cat({msg(0xB0, 1, 0)}, sweep(36)), {msg(0xB0, 11, 120)}));
    EXPECT_TRUE(w->ST2->isEnabled());
    EXPECT_FALSE(w->ST1->value());
    EXPECT_FALSE(w->YYDS->enabled());
}

// Each play tick runs the look-ahead before its deadline: till the deadline the play position is the step the tick
// sounds, and after the tick past the bar's end the play still runs: a click on the bar button then stops it.
TEST_F(EditorTest, PlayPositionAndTheEndChangeAtEachTicksDeadline) {
    using C = testing_support::HandClock;
    const C clock(3'000'000'000);
    type(0, QStringLiteral("KC"));
    for (bool click : {true, false}) {
        w->ST1->setValue(true);  // step 0 sounds at once, ticks 1..15 the others, tick 16 ends the play
        const qint64 origin = C::now, step = w->YYDS->interval() * C::ms;
        for (int k = 1; k <= 16; ++k) {
            C::now = origin + k * step - C::ahead;
            w->YYDS->fire();
            C::now += C::ahead - 10 * C::ms;
            ASSERT_EQ(G.RhythmStep, k) << "tick " << k << " before its deadline";
            ASSERT_TRUE(w->ST1->value() && w->YYDS->enabled()) << "tick " << k;
            if (k == 16) break;
            C::now = origin + k * step;
            ui::Timer::settle();
            ASSERT_EQ(G.RhythmStep, k + 1) << "tick " << k << " at its deadline";
        }
        if (click) w->ST1->setValue(false);
        C::now = origin + 16 * step;
        ui::Timer::settle();
        EXPECT_FALSE(w->ST1->value() || w->YYDS->enabled()) << click;
        EXPECT_EQ(w->ST2->value(), 0);
        EXPECT_TRUE(w->BZWJ->isEnabled());
    }
}

TEST_F(EditorTest, DecrescendoFallsThroughEachBarsSecondHalfAndCrescendoRisesOnce) {
    w->CHARU->click();
    w->HScroll3->setValue(-20);  // down to silence, held there
    w->Check1[1]->setValue(1);
    take();
    w->ST2->setValue(1);
    tick(31);
    std::vector<int> levels = values(take(), 0xB0, 11);
    std::vector<int> expected;
    for (int bar = 0; bar < 2; ++bar) {
        for (int s = 0; s < 8; ++s) expected.push_back(120);
        for (int s = 8; s < 16; ++s) expected.push_back(std::max(0, 120 - 20 * (s - 7)));
    }
    EXPECT_EQ(levels, expected);
    w->ST2->setValue(0);

    w->HScroll3->setValue(5);
    take();
    w->ST2->setValue(1);
    tick(31);
    levels = values(take(), 0xB0, 11);
    ASSERT_EQ(levels.size(), 32u);
    for (int s = 0; s < 24; ++s) EXPECT_EQ(levels[s], 5 * (s + 1)) << s;
    for (int s = 24; s < 32; ++s) EXPECT_EQ(levels[s], 120) << s;
}

TEST_F(EditorTest, SongPlaySoundsItsLastStepThenEndsAndResets) {
    w->CHARU->click();  // bar 1 of a song of bars 0..2; then two bars
    dialogs.inputAnswers = {QStringLiteral("1")};
    w->ZDXJZS->click();
    type(0, QStringLiteral("------------------------------KD"));  // last step of bar 1
    take();
    w->ST2->setValue(1);
    EXPECT_EQ(w->ST2->text(), QStringLiteral("停止当前演奏"));
    tick(31);
    EXPECT_TRUE(contains(take(), msg(0x90, 62, 70))) << "the last position sounds";
    EXPECT_EQ(w->HScroll1->value(), 1);
    EXPECT_TRUE(w->YYDS->enabled()) << "the clock runs to the tick after the last step";
    tick();
    const Msgs end = take();
    EXPECT_TRUE(contains(end, msg(0x80, 62, 0)));
    EXPECT_TRUE(contains(end, msg(0xB0, 11, 120))) << "the end of play resets the expression";
    EXPECT_FALSE(w->YYDS->enabled());
    EXPECT_EQ(w->ST2->text(), QStringLiteral("从开始处启动"));
    EXPECT_TRUE(w->ST1->isEnabled());

    // Bar 1 alone: its 16 steps, none of bar 2.
    dialogs.inputAnswers = {QStringLiteral("2")};
    w->ZDXJZS->click();
    w->HScroll1->setValue(2);
    type(0, QStringLiteral("KC"));
    w->XJZS->setText(QStringLiteral("1"));
    take();
    w->ST1->setValue(true);
    tick(16);
    EXPECT_FALSE(contains(take(), msg(0x90, 60, 70)));
}

TEST_F(EditorTest, KeyChangesAndStopsLeaveNothingSounding) {
    // Bar 0 in B holds a high note and a chord; bar 1 in C strikes a note,
    // rests the chord track, then a stop after a chord on track 2.
    w->DQYD->setListIndex(11);
    type(0, QStringLiteral("MG"));
    type(1, QStringLiteral("AM"));
    w->BCBXJ->click();
    w->CHARU->click();
    dialogs.inputAnswers = {QStringLiteral("1")};
    w->ZDXJZS->click();
    w->DQYD->setListIndex(0);
    type(0, QStringLiteral("--KC"));
    type(1, QStringLiteral("XZ"));
    type(2, QStringLiteral("GMTZ"));
    w->BCBXJ->click();
    take();
    w->ST2->setValue(1);
    tick(17);
    Msgs m = take();
    const auto on = sounding(m);
    ASSERT_EQ(on.size(), 1u) << "only bar 1's KC still sounds";
    EXPECT_EQ(on[0], std::make_pair(0, 60));
    EXPECT_TRUE(contains(m, msg(0x80, 102, 0))) << "the note struck in B is released in C";
    tick(15);
    EXPECT_TRUE(sounding(cat(m, take())).empty());

    // A stopped play leaves nothing either, whatever key it stopped in: here
    // in C, bar 0's note struck in B still held.
    w->HScroll1->setValue(0);
    take();
    w->ST2->setValue(1);
    tick(16);
    w->ST2->setValue(0);
    EXPECT_TRUE(sounding(take()).empty());
    EXPECT_FALSE(w->YYDS->enabled());
}

TEST_F(EditorTest, PlayChecksTheBarAndRecoversFromAFailedStep) {
    // A typed bar beyond the song is refused.
    w->XJZS->setText(QStringLiteral("5"));
    w->ST1->setValue(true);
    EXPECT_FALSE(w->ST1->value());
    EXPECT_FALSE(w->YYDS->enabled());
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("小节号应在0到0之间！")});

    // A step that fails (a note beyond the MIDI range) silences the tracks
    // and hands the controls back, the help button included.
    w->XJZS->setText(QStringLiteral("0"));
    type(0, QStringLiteral("KC--MG"));
    w->ST1->setValue(true);
    G.BaseNote = 100;
    tick();
    tick();
    EXPECT_FALSE(w->YYDS->enabled());
    EXPECT_TRUE(w->ST2->isEnabled());
    EXPECT_TRUE(w->BZWJ->isEnabled());
    EXPECT_TRUE(sounding(take()).empty());
    EXPECT_EQ(dialogs.messages.size(), 1) << "no message for a failed step";
}

TEST_F(EditorTest, FullLengthSongPlaysToPosition9999) {
    song().setBarCount(song().lastBarLimit());
    w->HScroll1->setMax(624);
    tickDrum(0, 0);
    w->ST2->setValue(1);
    tick(10000);
    EXPECT_FALSE(w->YYDS->enabled());
    EXPECT_EQ(w->CurrentBar, 624);
    EXPECT_EQ(G.RhythmStep, 10000);
    // An instrument chosen now looks at the play position past the tables.
    EXPECT_NO_THROW(w->SYYQ[0]->setListIndex(7));
}

TEST_F(EditorTest, AccentsFallOnTheMetersWeakSteps) {
    const std::vector<int> weak[3] = {{4, 12}, {4, 8, 16, 20}, {4, 8, 12, 20, 24, 28}};
    for (int meter : {0, 1, 2}) {
        w->JPFL[meter]->setValue(true);
        take();
        w->ST1->setValue(true);
        tick(w->BarLastStep);
        std::vector<int> expected(w->BarLastStep + 1, 120);
        for (int s : weak[meter]) expected[s] = 80;
        const Msgs m = take();
        for (int status : {0xB5, 0xB6, 0xB9}) EXPECT_EQ(values(m, status, 11), expected) << meter << status;
        tick();
    }
}

TEST_F(EditorTest, EachTickedStepSendsItsRowsSoundAtItsVolume) {
    tickDrum(0, 0);
    tickDrum(1, 2);
    tickDrum(4, 2);
    tickDrum(3, 15);
    w->YQYL[8]->setText(QStringLiteral("90"));
    w->SYYQ[11]->setListIndex(3);
    take();
    w->ST1->setValue(true);
    tick(16);
    EXPECT_EQ(only(take(), 0x99, 0x99), (Msgs{msg(0x99, 36, 70), msg(0x99, 38, 90), msg(0x99, 38, 70), msg(0x99, 76, 70)}));
}

// Chords sound their three notes in the key; the first instrument of the
// list ("无声" is the one before it) sounds as well.
TEST_F(EditorTest, ChordsSoundTheirThreeNotesInTheKey) {
    type(0, QStringLiteral("KC"));
    type(1, QStringLiteral("GM--CC"));
    w->DQYD->setListIndex(2);  // D
    w->SYYQ[0]->setListIndex(1);
    w->SYYQ[1]->setListIndex(1);
    take();
    w->ST1->setValue(true);
    tick(2);
    const Msgs m = take();
    EXPECT_EQ(values(m, 0x90), (std::vector<int>{62}));
    EXPECT_EQ(values(m, 0x91), (std::vector<int>{57, 61, 64, 50, 54, 57}));
}

// A new instrument during a rest releases the note the track still holds.
TEST_F(EditorTest, InstrumentBoxReleasesTheTracksNoteOnARest) {
    type(0, QStringLiteral("KC"));
    w->ST1->setValue(true);
    take();
    w->SYYQ[0]->setListIndex(7);
    EXPECT_EQ(take(), (Msgs{msg(0xB0, 0, 0), msg(0xC0, 6, 0), msg(0x80, 60, 0)}));
}

// A bar's settings reach the device when its first step plays, not at every
// step; program 0 as well.
TEST_F(EditorTest, ASongPlayAppliesEachBarsSettingsAtItsStart) {
    w->SYYQ[0]->setListIndex(1);
    w->BCBXJ->click();
    w->CHARU->click();
    w->SYYQ[2]->setListIndex(9);
    w->BCBXJ->click();
    take();
    w->ST2->setValue(1);
    std::vector<std::pair<int, Msgs>> programs;  // step, program changes sent
    for (int s = 0; s < 48; ++s) {
        if (const Msgs p = only(take(), 0xC0, 0xC6); !p.empty()) programs.emplace_back(s, p);
        tick();
    }
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[0].first, 0);
    EXPECT_TRUE(contains(programs[0].second, msg(0xC0, 0, 0)));
    EXPECT_EQ(programs[1].first, 16);
    EXPECT_TRUE(contains(programs[1].second, msg(0xC0, 0, 0)));
    EXPECT_TRUE(contains(programs[1].second, msg(0xC2, 8, 0)));
}

TEST_F(EditorTest, NotesSoundTheirRegisterAndLetterInTheKey) {
    type(0, QStringLiteral("LCWDKEHFMGKAKBMA"));  // the top register ends at G
    w->DQYD->setListIndex(1);  // C#
    take();
    w->ST1->setValue(true);
    tick(8);
    EXPECT_EQ(values(take(), 0x90), (std::vector<int>{37, 51, 65, 78, 92, 70, 72}));
}
