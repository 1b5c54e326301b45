// Rhythm grid and rhythm audition of the main window.
#include "form1fixture.h"

#include <QApplication>
#include <QMouseEvent>

using namespace midi;

namespace {

class RhythmGrid : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        // Clocks are driven by the test; keep the real ones from firing.
        G.BeatInterval = 16000;
        form->Timer4->setInterval(65535);
    }
    static int velocityOf(int32_t m) { return (m >> 16) & 0xFF; }
    static int keyOf(int32_t m) { return (m >> 8) & 0xFF; }
    // Values of controller 11 on channel 9 among the messages.
    static std::vector<int> accents(const Msgs& m) {
        std::vector<int> out;
        for (uint32_t v : m)
            if ((v & 0xFFFF) == 0x0BB9) out.push_back(static_cast<int>(v >> 16));
        return out;
    }
};

TEST_F(RhythmGrid, SoundAndVelocityRebuildExactlyTheirCells) {
    form->LblInst[1]->setListIndex(3);
    for (int s = 0; s <= 15; ++s) {
        EXPECT_EQ(G.RhythmPattern(1, s).DrumNote, 38);
        EXPECT_EQ(G.RhythmPattern(1, s).Message, 0x99 + 38 * 256 + 100 * 65536);
    }
    EXPECT_EQ(G.RhythmPattern(1, 16).Message, 0);
    EXPECT_EQ(keyOf(G.RhythmPattern(0, 0).Message), 35);  // no sound chosen: the list's first

    // In 3/4 columns 12..15 hide, keeping their ticks; the velocity reaches
    // steps 0..11 only, the row sound all 16.
    form->BZC[13]->setValue(1);
    form->Option1[1]->setValue(true);
    EXPECT_EQ(G.RhythmLastStep, 11);
    EXPECT_TRUE(form->BZC[13]->isHidden());
    EXPECT_FALSE(form->BZA[11]->isHidden());
    form->VsbVol->setListIndex(1);  // "60"
    EXPECT_EQ(velocityOf(G.RhythmPattern(2, 11).Message), 60);
    EXPECT_EQ(G.RhythmPattern(2, 11).Volume, 60);
    EXPECT_EQ(velocityOf(G.RhythmPattern(2, 12).Message), 100);
    form->LblInst[2]->setListIndex(7);
    EXPECT_EQ(G.RhythmPattern(2, 15).Message, 0x99 + 42 * 256 + 60 * 65536);
    EXPECT_EQ(G.RhythmPattern(2, 15).Volume, 100);  // the row sound leaves Volume alone

    form->Option1[2]->setValue(true);
    EXPECT_FALSE(form->BZC[13]->isHidden());
    EXPECT_EQ(G.RhythmPattern(2, 13).Enabled, True);

    // A step box sets only its own cell's Enabled.
    form->BZA[3]->setValue(1);
    EXPECT_EQ(G.RhythmPattern(0, 3).Enabled, True);
    EXPECT_EQ(G.RhythmPattern(0, 2).Enabled, False);
    EXPECT_EQ(G.RhythmPattern(1, 3).Enabled, False);
    form->BZA[3]->setValue(0);
    EXPECT_EQ(G.RhythmPattern(0, 3).Enabled, False);
}

TEST_F(RhythmGrid, TypedVelocityIsRoundedAndHeldToTheMidiRange) {
    form->LblInst[0]->setListIndex(1);
    const std::pair<const char*, int> cases[] = {
        {"90.5", 90}, {"91.5", 92}, {"90.7", 91}, {"127.6", 127}, {"300", 127}, {"99999999", 127}, {"-5", 0}, {"abc", 0}};
    for (const auto& [text, velocity] : cases) {
        form->VsbVol->setText(QString::fromLatin1(text));
        const int32_t m = G.RhythmPattern(0, 5).Message;
        EXPECT_EQ(m, 0x99 + 36 * 256 + velocity * 65536) << text;
        EXPECT_EQ(G.RhythmPattern(0, 5).Volume, velocity) << text;
    }
}

TEST_F(RhythmGrid, AuditionAccentsFollowTheMeter) {
    for (auto& row : {form->BZA, form->BZB, form->BZC})
        for (int c = 0; c <= 15; ++c) row[c]->setValue(1);
    const std::vector<int> expected[3] = {
        {127, 100, 55, 100, 127, 100, 55, 100, 127, 100, 55, 100, 127, 100, 55, 100},
        {127, 100, 55, 100, 55, 100, 127, 100, 55, 100, 55, 100},
        {127, 100, 55, 100, 90, 100, 55, 100, 127, 100, 55, 100, 90, 100, 55, 100}};
    for (int meter = 0; meter <= 2; ++meter) {
        form->Option1[meter]->setValue(true);
        form->BzQd->setValue(1);
        take();
        // A drum step every second tick: the whole drum pattern takes two bars.
        const int ticks = 2 * (G.RhythmLastStep + 1);
        Msgs all;
        for (int t = 0; t < ticks; ++t) {
            form->BZDS->tick();
            const Msgs m = take();
            const Msgs drums = only(m, 0x99, 0x99);
            EXPECT_EQ(drums.size(), t % 2 == 0 ? 3u : 0u) << "meter " << meter << " tick " << t;
            all.insert(all.end(), m.begin(), m.end());
        }
        EXPECT_EQ(accents(all), expected[meter]) << "meter " << meter;
        form->BzQd->setValue(0);
    }
}

TEST_F(RhythmGrid, AuditionAdvancesTheChordOrderAndStopsCleanly) {
    ASSERT_EQ(form->Text6->text(), QStringLiteral("145"));
    form->xuanyue->setListIndex(0);  // drums and the bar triad only
    form->BzQd->setValue(1);
    EXPECT_EQ(form->BZDS->interval(), 32000);
    EXPECT_TRUE(form->BZDS->enabled());
    EXPECT_EQ(form->BzQd->text(), QStringLiteral("停止"));
    take();

    form->BZDS->tick();  // bar start: channel 5 silenced, triad position moves on
    EXPECT_EQ(only(take(), 0x85, 0x85).size(), 64u);
    EXPECT_EQ(form->ChordPos, 2);
    for (int t = 1; t < 16; ++t) form->BZDS->tick();
    EXPECT_EQ(G.ChordIndex, 2);
    EXPECT_EQ(G.RhythmStep, 0);
    EXPECT_EQ(form->AccompTick, 0);
    for (int t = 0; t < 32; ++t) form->BZDS->tick();
    EXPECT_EQ(G.ChordIndex, 1);  // wrapped after the third chord
    EXPECT_EQ(form->ChordPos, 1);

    take();
    form->BzQd->setValue(0);
    const Msgs m = take();
    EXPECT_FALSE(form->BZDS->enabled());
    EXPECT_EQ(form->BzQd->text(), QStringLiteral("启动"));
    EXPECT_FALSE(m.empty());
    EXPECT_TRUE(only(m, 0x83, 0x84) == m) << testing_support::hexList(m);  // chord tracks released, no drum offs
}

TEST_F(RhythmGrid, FileListShowsOverTheLabelAndHidesOverThePage) {
    form->Xxk[2]->setValue(true);
    form->Label11_MouseMove();
    EXPECT_FALSE(form->File1->isHidden());

    // A move over a control of the page is that control's own move.
    QWidget* page = form->Jiezhou[2];
    const QPointF overLabel = form->Label11->geometry().center();
    QMouseEvent overControl(QEvent::MouseMove, overLabel, page->mapToGlobal(overLabel), Qt::NoButton, Qt::NoButton,
                            Qt::NoModifier);
    QApplication::sendEvent(page, &overControl);
    EXPECT_FALSE(form->File1->isHidden());

    const QPointF background(page->width() - 3, page->height() - 3);
    ASSERT_EQ(page->childAt(background.toPoint()), nullptr);
    QMouseEvent overPage(QEvent::MouseMove, background, page->mapToGlobal(background), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
    QApplication::sendEvent(page, &overPage);
    EXPECT_TRUE(form->File1->isHidden());
}

}  // namespace
