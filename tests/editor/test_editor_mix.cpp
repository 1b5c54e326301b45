// Bar settings lines stored from the mix controls and applied again, and the
// mix controls' own rules: tempo 50..255, volumes 0..127, pick lists.
#include "editorfixture.h"

using namespace midi;

namespace {
const QString kExample = QStringLiteral("0003014633464E4652460446044604460146034604462946114620000050");
}

TEST_F(EditorTest, SettingsLineIsWrittenFromTheControlsAndReadBack) {
    song().setBarCount(5);
    w->HScroll1->setMax(5);
    w->HScroll1->setValue(3);
    w->BCBXJ->click();
    EXPECT_EQ(song().BarHeaderTexts(3), kExample);

    // Change everything, then show the bar again: the line brings it back.
    w->SYYQ[0]->setListIndex(0);  // silent
    w->SYYQ[10]->setListIndex(7);
    w->YQYL[4]->setText(QStringLiteral("100"));
    w->DQYD->setListIndex(7);
    w->DQSUDU->setText(QStringLiteral("120"));
    w->HScroll3->setValue(-10);
    w->Check1[0]->setValue(1);
    w->HScroll1->setValue(4);  // a bar without settings keeps the controls
    EXPECT_EQ(w->DQYD->text(), QStringLiteral("G"));
    EXPECT_EQ(G.BeatInterval, 125);
    take();
    w->HScroll1->setValue(3);
    EXPECT_EQ(w->SYYQ[0]->listIndex(), 2);
    EXPECT_EQ(w->SYYQ[10]->listIndex(), 41);
    EXPECT_EQ(w->YQYL[4]->text(), QStringLiteral("70"));
    EXPECT_EQ(w->DQYD->listIndex(), 0);
    EXPECT_EQ(G.BaseNote, 36);
    EXPECT_EQ(w->DQSUDU->text(), QStringLiteral("80"));
    EXPECT_EQ(G.BeatInterval, 187);
    EXPECT_EQ(w->HScroll3->value(), 0);
    EXPECT_EQ(w->Check1[0]->value(), 0);
    // The programs of the melodic tracks are sent, the drum sounds of the bar set.
    const Msgs sent = take();
    EXPECT_TRUE(contains(sent, msg(0xC0, 1, 0)));
    EXPECT_TRUE(contains(sent, msg(0xC3, 82, 0)));
    EXPECT_EQ(G.RhythmPattern(3, 48).Message, 70 * 65536 + 76 * 256 + 153);

    // The controls reach their fields: silent track, depth, vibrato, key,
    // tempo; a silent track reads back as "0.无声".
    w->SYYQ[0]->setListIndex(0);
    w->DQSUDU->setText(QStringLiteral("255"));
    w->HScroll3->setValue(-20);
    w->DQYD->setListIndex(11);
    w->Check1[0]->setValue(1);
    w->Check1[1]->setValue(0);
    w->BCBXJ->click();
    EXPECT_EQ(song().BarHeaderTexts(3).mid(52), QStringLiteral("001011FF"));
    EXPECT_EQ(song().BarHeaderTexts(3).mid(4, 2), QStringLiteral("FF"));
    EXPECT_EQ(G.BeatInterval, 58);
    w->SYYQ[0]->setListIndex(5);
    w->HScroll1->setValue(4);
    w->HScroll1->setValue(3);
    EXPECT_EQ(w->SYYQ[0]->listIndex(), 0);
}

TEST_F(EditorTest, FieldsOutOfRangeLeaveTheirControls) {
    // A line from a hand-edited file: percussion 60 (above 46), key 12,
    // tempo 0, depth 55, a volume of 200.
    QString line = kExample;
    line.replace(44, 2, QStringLiteral("3C"));
    line.replace(14, 2, QStringLiteral("C8"));
    line.replace(52, 2, QStringLiteral("55"));
    line.replace(56, 2, QStringLiteral("12"));
    line.replace(58, 2, QStringLiteral("00"));
    song().BarHeaderTexts(1) = line;
    song().setBarCount(1);
    w->HScroll1->setMax(1);
    w->SYYQ[10]->setListIndex(9);
    w->DQYD->setListIndex(4);
    w->HScroll3->setValue(7);
    w->HScroll1->setValue(1);
    EXPECT_EQ(w->SYYQ[10]->listIndex(), 9);
    EXPECT_EQ(w->DQYD->listIndex(), 4);
    EXPECT_EQ(w->DQSUDU->text(), QStringLiteral("80"));
    EXPECT_EQ(G.BeatInterval, 187);
    EXPECT_EQ(w->HScroll3->value(), 7);
    EXPECT_EQ(w->YQYL[2]->text(), QStringLiteral("127"));
    EXPECT_EQ(G.ChannelVelocity(2), 127);
}

TEST_F(EditorTest, TempoBoxAppliesOnlyTempos50To255) {
    w->DQSUDU->setText(QStringLiteral("3"));
    w->DQSUDU->setText(QStringLiteral("30"));
    w->DQSUDU->setText(QStringLiteral("300"));
    EXPECT_EQ(G.BeatInterval, 188) << "no typed prefix is applied";
    w->DQSUDU->onLostFocus();
    EXPECT_EQ(w->DQSUDU->text(), QStringLiteral("79"));
    w->DQSUDU->setText(QStringLiteral("80"));
    EXPECT_EQ(G.BeatInterval, 187);
    w->DQSUDU->setText(QStringLiteral("300"));
    w->DQSUDU->onLostFocus();
    EXPECT_EQ(w->DQSUDU->text(), QStringLiteral("80"));
    w->DQSUDU->setText(QStringLiteral("20000"));
    EXPECT_EQ(G.BeatInterval, 187);
    // "保存" while the box still shows a refused tempo stores the tempo in force.
    w->BCBXJ->click();
    EXPECT_EQ(song().BarHeaderTexts(0).right(2), QStringLiteral("50"));
    EXPECT_EQ(song().BarHeaderTexts(0).size(), 60);
}

TEST_F(EditorTest, VolumesAreRoundedAndHeldTo0To127) {
    w->YQYL[3]->setText(QStringLiteral("90.7"));
    EXPECT_EQ(G.ChannelVelocity(3), 91);
    w->YQYL[8]->setText(QStringLiteral("300"));
    EXPECT_EQ(G.ChannelVelocity(8), 127);
    w->SYYQ[8]->setListIndex(5);  // the drum sound of the bar's steps with that volume
    EXPECT_EQ(G.RhythmPattern(1, 0).Message, 127 * 65536 + 40 * 256 + 153);
    w->YQYL[5]->setText(QStringLiteral("-4"));
    w->BCBXJ->click();
    EXPECT_EQ(song().BarHeaderTexts(0).mid(18, 2), QStringLiteral("5B"));
    EXPECT_EQ(song().BarHeaderTexts(0).mid(26, 2), QStringLiteral("00"));
    EXPECT_EQ(song().BarHeaderTexts(0).mid(38, 2), QStringLiteral("7F"));
}

// The effect boxes and a volume box send the vibrato and the expression the
// depth starts a bar with (0 for a crescendo).
TEST_F(EditorTest, EffectAndVolumeBoxesSendVibratoAndExpression) {
    w->Check1[0]->setValue(1);
    EXPECT_EQ(take(), (Msgs{msg(0xB0, 1, 120), msg(0xB0, 11, 120)}));
    w->YQYL[3]->setText(QStringLiteral("90"));
    EXPECT_EQ(take(), (Msgs{msg(0xB0, 11, 120)}));
    w->HScroll3->setValue(1);
    EXPECT_EQ(w->Label7->caption(), QStringLiteral("深度(1)"));
    w->Check1[1]->setValue(1);
    EXPECT_EQ(take(), (Msgs{msg(0xB0, 1, 120), msg(0xB0, 11, 0)}));
    w->YQYL[3]->setText(QStringLiteral("80"));
    EXPECT_EQ(take(), (Msgs{msg(0xB0, 11, 0)}));
}
