// Bar editing: note boxes, the bar scroll bar, "插入", "清空" and the bar
// count with their limits, a meter change, and where bar settings are kept.
#include "editorfixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <functional>

using namespace midi;

// Ticks and note boxes write the bar shown; showing a bar brings its cells back.
TEST_F(EditorTest, BoxesWriteTheBarShownAndShowingABarRestoresThem) {
    type(0, QStringLiteral("kcwd"));
    EXPECT_EQ(w->YF1[0]->text(), QStringLiteral("KCWD") + QString(28, u'-'));
    EXPECT_EQ(song().EditorPitchGrid(0, 1), 14);
    song().setBarCount(9);
    w->HScroll1->setMax(9);
    w->JPFL[1]->setValue(true);
    w->HScroll1->setValue(5);
    EXPECT_EQ(w->XJXSS->caption(), QStringLiteral("实际小节数是(11-12)小节"));
    EXPECT_EQ(w->XJZS->text(), QStringLiteral("5"));
    EXPECT_TRUE(w->YF1[0]->text().isEmpty());
    tickDrum(3, 5);
    tickDrum(0, 23);
    EXPECT_EQ(song().EditorTextGrid(10, 5), QString(5, u'-') + u'O' + QString(18, u'-'));
    w->HScroll1->setValue(0);
    EXPECT_EQ(w->XJXSS->caption(), QStringLiteral("实际小节数是(1-2)小节"));
    EXPECT_EQ(w->YF1[0]->text().left(6), QStringLiteral("KCWD--"));
    EXPECT_EQ(w->DJY[3][5]->value() + w->DJY[0][23]->value(), 0);
    w->HScroll1->setValue(5);
    EXPECT_EQ(w->DJY[3][5]->value() + w->DJY[0][23]->value(), 2);
    EXPECT_EQ(song().EditorTextGrid(10, 5), QString(5, u'-') + u'O' + QString(18, u'-'));
}

TEST_F(EditorTest, InsertGoesOnToAFreshBarAndKeepsTheBarLeft) {
    tickDrum(0, 0);
    tickDrum(4, 15);
    type(0, QStringLiteral("KC"));
    w->CHARU->click();
    EXPECT_EQ(w->CurrentBar, 1);
    EXPECT_EQ(song().EditorBarCount, 2);
    EXPECT_EQ(w->HScroll1->max(), 2);
    EXPECT_EQ(w->PlayEndStep, 47);
    EXPECT_EQ(w->XJZS->text(), QStringLiteral("1"));
    EXPECT_EQ(w->DJY[0][0]->value(), 0);
    // The ticks of the bar left stay (the boxes were emptied without their handlers).
    EXPECT_EQ(song().EditorMarkGrid(7, 0), QStringLiteral("O"));
    EXPECT_EQ(song().EditorMarkGrid(11, 15), QStringLiteral("O"));
    EXPECT_EQ(song().EditorTextGrid(7, 0), QStringLiteral("O") + QString(15, u'-'));
    w->CHARU->click();  // from bar 1 of bars 0..2: the song grows again
    EXPECT_EQ(w->HScroll1->max(), 3);

    // "清空" empties the bar's boxes and cells.
    w->HScroll1->setValue(1);
    w->HScroll1->setValue(0);
    w->QinKong->click();
    EXPECT_TRUE(w->YF1[0]->text().isEmpty());
    EXPECT_EQ(song().EditorMarkGrid(7, 0), QStringLiteral("-"));
    w->HScroll1->setValue(1);  // and stays empty when shown again
    w->HScroll1->setValue(0);
    EXPECT_TRUE(w->YF1[0]->text().isEmpty());
    EXPECT_EQ(w->DJY[0][0]->value(), 0);
}

TEST_F(EditorTest, BarCountHasOneLimitForSetInsertAndMeter) {
    dialogs.inputAnswers = {QStringLiteral("12")};
    w->JPFL[2]->setValue(true);
    w->ZDXJZS->click();
    EXPECT_EQ(song().EditorBarCount, 12);
    EXPECT_EQ(w->PlayEndStep, 415);
    EXPECT_EQ(w->HScroll1->max(), 12);

    // 0, a cancelled box and text leave it; beyond the last bar is refused.
    dialogs.inputAnswers = {QStringLiteral("0")};
    w->ZDXJZS->click();
    w->ZDXJZS->click();
    dialogs.inputAnswers = {QStringLiteral("abc")};
    w->ZDXJZS->click();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    dialogs.inputAnswers = {QStringLiteral("312")};
    w->ZDXJZS->click();
    dialogs.inputAnswers = {QStringLiteral("-2")};
    w->ZDXJZS->click();
    EXPECT_EQ(song().EditorBarCount, 12);
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[0], QStringLiteral("小节总数应在1到311之间！"));

    dialogs.inputAnswers = {QStringLiteral("311")};
    w->ZDXJZS->click();
    w->HScroll1->setValue(311);
    const size_t before = dialogs.messages.size();
    w->CHARU->click();  // at the last bar: refused
    EXPECT_EQ(w->CurrentBar, 311);
    EXPECT_EQ(dialogs.messages.size(), before + 1);

    // 2/4 -> 4/4 holds the song (and the bar shown) to the last bar that fits.
    w->JPFL[0]->setValue(true);
    dialogs.inputAnswers = {QStringLiteral("600")};
    w->ZDXJZS->click();
    w->HScroll1->setValue(600);
    w->JPFL[2]->setValue(true);
    EXPECT_EQ(song().EditorBarCount, 311);
    EXPECT_EQ(w->HScroll1->max(), 311);
    EXPECT_EQ(w->CurrentBar, 311);
    EXPECT_EQ(w->PlayEndStep, 9983);
}

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

// Notes typed into a box and not yet left are committed into their bar by whatever shows another bar, with the
// focus still in the box (the bar scroll bar never takes it).
TEST_F(EditorTest, TypedNotesAreKeptByEveryWayOfShowingAnotherBar) {
    const auto nothing = [] {};
    const struct { const char* name; std::function<void()> before, change, after; } ways[] = {
        {"scroll bar", nothing, [&] { w->HScroll1->triggerAction(QAbstractSlider::SliderPageStepAdd); }, nothing},
        {"bar number played", [&] { w->XJZS->setText(QStringLiteral("2")); }, [&] { w->ST1->setValue(true); },
         [&] { tick(w->BarLastStep + 1); }},
        {"插入", nothing, [&] { w->CHARU->click(); }, nothing},
        {"song play moving on", [&] { w->ST2->setValue(1); }, [&] { tick(w->BarLastStep + 1); },
         [&] { w->ST2->setValue(0); }},
    };
    dialogs.inputAnswers = {QStringLiteral("3")};
    w->ZDXJZS_Click();
    QApplication::setActiveWindow(w.get());
    auto* box = static_cast<QLineEdit*>(w->YF1[3]->editor());
    const QString kept = QStringLiteral("HCHD") + QString(28, u'-');
    for (const auto& way : ways) {
        w->HScroll1->setValue(0);
        w->QinKong_Click();
        way.before();
        box->setFocus(Qt::MouseFocusReason);
        for (QChar c : QStringLiteral("hchd")) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_A + (c.unicode() - 'a'), Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(box, &key);
        }
        way.change();
        const int32_t shown = w->CurrentBar;
        EXPECT_NE(shown, 0) << way.name;
        EXPECT_TRUE(box->hasFocus() && w->YF1[3]->text().isEmpty()) << way.name << ": the box shows the new bar";
        EXPECT_EQ(song().EditorTextGrid(3, 0), kept) << way.name;
        way.after();
        w->HScroll1->setValue(shown == 1 ? 2 : 1);
        w->HScroll1->setValue(0);
        EXPECT_EQ(w->YF1[3]->text(), kept) << way.name;
        EXPECT_TRUE(song().EditorTextGrid(3, shown).isEmpty()) << way.name;
    }
}
