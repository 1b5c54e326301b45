// A meter change shows the bar again from the song; bar settings live on
// bars 0..255 only.
#include "editorfixture.h"

using midi::G;

// 2/4 bars 0 and 1 typed, then 4/4: bar 0 now holds both, and leaving its
// boxes writes nothing over the cells of the old bar 1.
TEST_F(EditorTest, AMeterChangeShowsTheBarsCellsAtTheNewWidth) {
    type(0, QStringLiteral("KCKD"));
    w->CHARU_Click();
    type(0, QStringLiteral("HCHD"));
    tickDrum(1, 3);
    w->HScroll1->setValue(1);
    w->HScroll1->setValue(0);
    w->JPFL[2]->setValue(true);
    const QString both = QStringLiteral("KCKD") + QString(28, u'-') + QStringLiteral("HCHD") + QString(28, u'-');
    EXPECT_EQ(w->YF1[0]->text(), both);
    EXPECT_TRUE(w->YF1[2]->text().isEmpty());
    EXPECT_EQ(w->DJY[1][19]->value(), 1) << "a new column shows the hit of its cell";
    w->YF1_LostFocus(0);
    w->YF1_LostFocus(2);
    EXPECT_EQ(song().EditorMarkGrid(0, 16), QStringLiteral("HC"));
    EXPECT_EQ(song().EditorMarkGrid(8, 19), QStringLiteral("O"));
    // Back at 2/4 bar 0 shows its own 16 cells again.
    w->JPFL[0]->setValue(true);
    EXPECT_EQ(w->YF1[0]->text(), both.left(32));
    EXPECT_EQ(w->DJY[1][3]->value(), 0);
}

// "保存" on bar 256 or later says why nothing is kept; a line there (from a
// file) is not applied.
TEST_F(EditorTest, BarSettingsAreKeptOnlyOnBars0To255) {
    song().setBarCount(300);
    w->HScroll1->setMax(300);
    w->HScroll1->setValue(255);
    w->BCBXJ->click();
    EXPECT_TRUE(song().hasSettings(255));
    EXPECT_TRUE(dialogs.messages.isEmpty());
    w->HScroll1->setValue(256);
    w->BCBXJ->click();
    EXPECT_FALSE(song().hasSettings(256));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0], QStringLiteral("只有第0到第255小节可以保存乐器、音量等设置，第256小节的设置没有保存！"));

    song().BarHeaderTexts(257) = song().BarHeaderTexts(255);
    song().BarHeaderTexts(257).replace(56, 2, QStringLiteral("07"));
    w->HScroll1->setValue(257);
    EXPECT_EQ(w->DQYD->listIndex(), 0);
}
