// Playback: a bar play's exact messages, accents, crescendo and decrescendo,
// a song play to its last step, key changes, stops, and the failure paths.
#include "editorfixture.h"

using namespace midi;

namespace {
// Melodic notes still sounding on channels 0..6.
std::vector<std::pair<int, int>> melodic(const std::vector<std::pair<int, int>>& on) {
    std::vector<std::pair<int, int>> out;
    for (auto& n : on)
        if (n.first <= 6) out.push_back(n);
    return out;
}
// The values of controller 11 sent on channel 0.
std::vector<int> expression0(const std::vector<uint32_t>& m) {
    std::vector<int> out;
    for (uint32_t v : m)
        if ((v & 0xFFFF) == 0x0BB0) out.push_back(static_cast<int>((v >> 16) & 0xFF));
    return out;
}
}  // namespace

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
    EXPECT_TRUE(w->YYDS->musicalClock());

    for (int s = 1; s <= 15; ++s) {
        tick();
        Msgs step = {msg(0xB0, 1, 0)};
        const int accent = (s == 4 || s == 12) ? 80 : 120;
        for (int c = 0; c <= 4; ++c) step.push_back(msg(0xB0 + c, 11, 120));
        for (int c : {5, 6, 9}) step.push_back(msg(0xB0 + c, 11, accent));
        EXPECT_EQ(take(), step) << "step " << s;
    }
    tick();  // past the bar: everything off, controls back
    EXPECT_EQ(take(), cat(cat({msg(0xB0, 1, 0)}, sweep(36)), {msg(0xB0, 11, 120)}));
    EXPECT_TRUE(w->ST2->isEnabled());
    EXPECT_FALSE(w->ST1->value());
    EXPECT_FALSE(w->YYDS->enabled());
}

TEST_F(EditorTest, DecrescendoFallsThroughEachBarsSecondHalfAndCrescendoRisesOnce) {
    w->CHARU_Click();
    w->HScroll3->setValue(-10);
    w->Check1[1]->setValue(1);
    take();
    w->ST2->setValue(1);
    tick(31);
    std::vector<int> levels = expression0(take());
    std::vector<int> expected;
    for (int bar = 0; bar < 2; ++bar) {
        for (int s = 0; s < 8; ++s) expected.push_back(120);
        for (int s = 8; s < 16; ++s) expected.push_back(120 - 10 * (s - 7));
    }
    EXPECT_EQ(levels, expected);
    w->ST2->setValue(0);

    w->HScroll3->setValue(5);
    take();
    w->ST2->setValue(1);
    tick(31);
    levels = expression0(take());
    ASSERT_EQ(levels.size(), 32u);
    for (int s = 0; s < 24; ++s) EXPECT_EQ(levels[s], 5 * (s + 1)) << s;
    for (int s = 24; s < 32; ++s) EXPECT_EQ(levels[s], 120) << s;
}

TEST_F(EditorTest, SongPlaySoundsItsLastStepThenEndsAndResets) {
    w->CHARU_Click();  // bar 1 of a song of bars 0..2; then two bars
    dialogs.inputAnswers = {QStringLiteral("1")};
    w->ZDXJZS_Click();
    EXPECT_EQ(w->PlayEndStep, 31);
    type(0, QStringLiteral("------------------------------KD"));  // last step of bar 1
    take();
    w->ST2->setValue(1);
    EXPECT_EQ(w->ST2->text(), QStringLiteral("停止当前演奏"));
    tick(31);
    EXPECT_TRUE(contains(take(), msg(0x90, 62, 70))) << "the last position sounds";
    EXPECT_EQ(w->HScroll1->value(), 1);
    EXPECT_TRUE(w->YYDS->enabled());
    tick();
    const Msgs end = take();
    EXPECT_TRUE(contains(end, msg(0x80, 62, 0)));
    EXPECT_TRUE(contains(end, msg(0xB0, 11, 120))) << "the end of play resets the expression";
    EXPECT_FALSE(w->YYDS->enabled());
    EXPECT_EQ(w->ST2->text(), QStringLiteral("从开始处启动"));
    EXPECT_TRUE(w->ST1->isEnabled());
    EXPECT_TRUE(w->BZWJ->isEnabled());
}

TEST_F(EditorTest, KeyChangesAndStopsLeaveNothingSounding) {
    // Bar 0 in B holds a high note and a chord; bar 1 in C strikes a note,
    // rests the chord track, then a stop after a chord on track 2.
    w->DQYD->setListIndex(11);
    type(0, QStringLiteral("MG"));
    type(1, QStringLiteral("AM"));
    w->BCXJ();
    w->CHARU_Click();
    dialogs.inputAnswers = {QStringLiteral("1")};
    w->ZDXJZS_Click();
    w->DQYD->setListIndex(0);
    type(0, QStringLiteral("--KC"));
    type(1, QStringLiteral("XZ"));
    type(2, QStringLiteral("GMTZ"));
    w->BCXJ();
    take();
    w->ST2->setValue(1);
    tick(17);
    Msgs m = take();
    const auto on = melodic(sounding(m));
    ASSERT_EQ(on.size(), 1u) << "only bar 1's KC still sounds";
    EXPECT_EQ(on[0], std::make_pair(0, 60));
    EXPECT_TRUE(contains(m, msg(0x80, 102, 0))) << "the note struck in B is released in C";
    tick(15);
    EXPECT_TRUE(melodic(sounding(cat(m, take()))).empty());

    // A stopped play leaves nothing either, whatever key it stopped in.
    w->HScroll1->setValue(0);
    take();
    w->ST2->setValue(1);
    w->ST2->setValue(0);
    EXPECT_TRUE(melodic(sounding(take())).empty());
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
    EXPECT_TRUE(melodic(sounding(take())).empty());
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
