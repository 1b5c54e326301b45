// The percussion grid and meter, and bar editing: note boxes, the bar scroll
// bar, "插入", "清空" and the bar count, with their limits.
#include "editorfixture.h"

#include <QFontMetrics>

using namespace midi;

// Every step box can be clicked (no control lies over it), is coloured by its
// group of four and lines up with the note boxes, at every meter (2/4 as shown).
TEST_F(EditorTest, EveryStepBoxIsUncoveredAndColouredByItsGroup) {
    const QColor colours[4] = {ui::paletteColor(13), ui::paletteColor(10), ui::paletteColor(9), ui::paletteColor(14)};
    for (int meter : {0, 1, 2}) {
        if (meter > 0) w->JPFL[meter]->setValue(true);
        ASSERT_EQ(static_cast<int>(w->DJY[4].size()), w->BarLastStep + 1);
        EXPECT_EQ(w->Picture1->findChildren<ui::CheckBox*>().size(), 5 * (w->BarLastStep + 1)) << "no stale column";
        // The note boxes end with the bar's last column.
        EXPECT_NEAR(w->YF1[6]->geometry().right(), w->DJY[4].back()->geometry().right(), 3) << meter;
        for (int r = 0; r < 5; ++r) {
            for (int s = 0; s <= w->BarLastStep; ++s) {
                ui::CheckBox* box = w->DJY[r][s];
                const QRect area = box->rect().adjusted(1, 1, -1, -1);
                for (QPoint p : {area.topLeft(), area.topRight(), area.center(), area.bottomLeft(), area.bottomRight()}) {
                    p = box->mapTo(w.get(), p);
                    QWidget* top = w->childAt(p);
                    EXPECT_TRUE(w->rect().contains(p) && (top == box || box->isAncestorOf(top)))
                        << meter << " row " << r << " step " << s;
                }
                EXPECT_EQ(box->palette().color(QPalette::Window), colours[(s / 4) % 4]) << s;
            }
        }
    }
}

// A whole bar of the widest notes shows in its box at every meter.
TEST_F(EditorTest, AFullBarOfNotesFitsItsBox) {
    for (int meter : {0, 1, 2}) {
        w->JPFL[meter]->setValue(true);
        for (int k = 0; k < 7; ++k) {
            QWidget* box = w->YF1[k]->editor();
            const QString bar(w->YF1[k]->maxLength(), u'M');
            EXPECT_LE(QFontMetrics(box->font()).horizontalAdvance(bar), box->contentsRect().width() - 4) << meter;
        }
    }
}

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
