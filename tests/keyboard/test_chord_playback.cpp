// Chord accompaniment: the two chord tracks, the bar triad and its fade,
// the chord audition, the chord volume and the chord instrument boxes.
#include "form1fixture.h"

using namespace midi;

namespace {

class ChordPlayback : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        form->Timer4->setInterval(65535);  // the test drives the fade
    }
    // Patterns for chord order `order`, parsed and derived.
    void setPatterns(const QString& everyBar, const QString& everyTwoBars, const QString& order = QStringLiteral("1")) {
        form->Text4->setText(everyBar.leftJustified(32, u'-'));
        form->Text5->setText(everyTwoBars.leftJustified(32, u'-'));
        form->Text6->setText(order);
        form->Text6_LostFocus();
        take();
    }
    Msgs step(void (Form1::*track)(), int rhythmStep) {
        G.RhythmStep = static_cast<i16>(rhythmStep);
        (form.get()->*track)();
        return take();
    }
    static Msgs offs(int channel, int from, int to) {
        Msgs m;
        for (int n = from; n <= to; ++n) m.push_back(msg(0x80 + channel, n, 0));
        return m;
    }
    static Msgs cat(Msgs a, const Msgs& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
};

TEST_F(ChordPlayback, TrackOneNoteHoldRestAndChord) {
    setPatterns(QStringLiteral("KC--XZCCWG"), QString());
    const auto t1 = &Form1::BZHX;
    // Pans of channels 3 and 4 come from the pan table: 20 and 108.
    EXPECT_EQ(step(t1, 0), (Msgs{msg(0x83, 36, 0), msg(0xB3, 10, 20), msg(0x93, 60, 55)}));
    EXPECT_EQ(step(t1, 1), Msgs{});  // "--" lets the note ring
    EXPECT_EQ(step(t1, 2), Msgs{msg(0x83, 60, 0)});
    EXPECT_EQ(step(t1, 3), (Msgs{msg(0x83, 60, 0), msg(0x93, 48, 55), msg(0x93, 52, 55), msg(0x93, 55, 55)}));
    EXPECT_EQ(step(t1, 4), cat(offs(3, 36, 100), {msg(0xB3, 10, 20), msg(0x93, 55, 55)}));

    // Without an instrument on channel 3 note cells are silent; chords are not.
    form->Combo3->setListIndex(0);
    take();
    EXPECT_EQ(step(t1, 4), Msgs{msg(0x83, 55, 0)});
    EXPECT_EQ(G.AccompToken(1), 19);
    EXPECT_EQ(step(t1, 3).size(), 4u);
}

TEST_F(ChordPlayback, TrackTwoSoundsOnChannelsThreeAndFour) {
    setPatterns(QString(), QStringLiteral("WC--AMLC"), QStringLiteral("5"));
    form->HxYL->setText(QStringLiteral("120"));
    take();
    const auto t2 = &Form1::BZHX2;
    // Chord 5 moves C to G: "WC" plays note 36 + 19.
    EXPECT_EQ(step(t2, 0), (Msgs{msg(0x83, 36, 0), msg(0x84, 36, 0), msg(0xB3, 10, 20), msg(0x93, 55, 120),
                                 msg(0xB4, 10, 108), msg(0x94, 55, 120)}));
    EXPECT_EQ(step(t2, 1), Msgs{});
    // "AM" under every chord: the A minor triad on channel 4 alone.
    EXPECT_EQ(step(t2, 2), (Msgs{msg(0x83, 55, 0), msg(0x84, 55, 0), msg(0x94, 57, 120), msg(0x94, 60, 120),
                                 msg(0x94, 64, 120)}));
    // Releasing a track-2 chord ends channel 3 as well; "LC" under chord 5 is G.
    Msgs expected;
    for (int n = 36; n <= 100; ++n) expected = cat(expected, {msg(0x83, n, 0), msg(0x84, n, 0)});
    EXPECT_EQ(step(t2, 3), cat(expected, {msg(0xB3, 10, 20), msg(0x93, 43, 120), msg(0xB4, 10, 108), msg(0x94, 43, 120)}));
}

TEST_F(ChordPlayback, BarTriadFadesOutAndIsReleased) {
    setPatterns(QString(), QString(), QStringLiteral("4"));
    form->ChordPos = 1;
    form->Check5->setValue(1);
    form->Check8->setValue(1);
    take();
    form->ZNHX();
    EXPECT_EQ(take(), cat(offs(5, 36, 99), {msg(0xB5, 11, 127), msg(0xB5, 10, 30), msg(0x95, 53, 55),
                                              msg(0xB5, 10, 30), msg(0x95, 57, 55), msg(0xB5, 10, 30),
                                              msg(0x95, 60, 55)}));
    ASSERT_TRUE(form->Timer4->enabled());

    Msgs fade;
    for (int v = 127; v > 0; v -= 5) fade.push_back(msg(0xB5, 11, v));
    while (fade.size() < 33) fade.push_back(msg(0xB5, 11, 0));
    for (int t = 0; t < 33; ++t) form->Timer4->tick();
    EXPECT_EQ(take(), fade);
    EXPECT_TRUE(form->Timer4->enabled());
    form->Timer4->tick();
    EXPECT_EQ(take(), offs(5, 36, 99));
    EXPECT_FALSE(form->Timer4->enabled());

    // Without the bar-triad box a bar start only silences channel 5.
    form->Check8->setValue(0);
    form->ZNHX();
    EXPECT_EQ(take(), offs(5, 36, 99));
    EXPECT_FALSE(form->Timer4->enabled());
}

TEST_F(ChordPlayback, AuditionPlaysTheOrderOnceAndStopsItself) {
    setPatterns(QStringLiteral("KC"), QString(), QStringLiteral("145"));
    G.BeatInterval = 107;
    form->Check6->setValue(1);
    EXPECT_EQ(form->HXYS->interval(), 214);
    EXPECT_TRUE(form->HXYS->enabled());
    EXPECT_EQ(form->Check6->text(), QStringLiteral("停止"));
    form->HXYS->setInterval(60000);
    take();

    Msgs all;
    for (int t = 0; t < 47; ++t) {
        form->HXYS->tick();
        const Msgs m = take();
        if (t == 0) EXPECT_NE(std::find(m.begin(), m.end(), msg(0x93, 60, 55)), m.end());
        if (t == 16) EXPECT_NE(std::find(m.begin(), m.end(), msg(0x93, 65, 55)), m.end());  // chord 4: C to F
        if (t == 32) EXPECT_NE(std::find(m.begin(), m.end(), msg(0x93, 67, 55)), m.end());  // chord 5: C to G
        all = cat(all, m);
    }
    EXPECT_EQ(G.ChordIndex, 3);
    EXPECT_EQ(form->Check6->value(), 1);
    form->HXYS->tick();
    EXPECT_EQ(form->Check6->value(), 0);
    EXPECT_EQ(form->Check6->text(), QStringLiteral("启动"));
    EXPECT_FALSE(form->HXYS->enabled());
    EXPECT_EQ(G.ChordIndex, 1);
    EXPECT_EQ(G.RhythmStep, 0);
    // The chord tracks alone: no drums, no bar triad.
    EXPECT_TRUE(only(all, 0x99, 0x99).empty());
    EXPECT_TRUE(only(all, 0x95, 0x95).empty());
}

TEST_F(ChordPlayback, VolumeIsHeldToTheMidiRange) {
    const std::pair<const char*, int> cases[] = {{"120", 120}, {"70.5", 70}, {"0", 1}, {"300", 127}, {"abc", 1}};
    for (const auto& [text, velocity] : cases) {
        form->HxYL->setText(QString::fromLatin1(text));
        EXPECT_EQ(G.PartVelocity(3), velocity) << text;
    }
}

TEST_F(ChordPlayback, InstrumentBoxesMirrorEachOther) {
    form->xuanyue->setListIndex(10);
    EXPECT_EQ(take(), (Msgs{msg(0xB3, 0, 0), msg(0xC3, 9, 0), msg(0xB4, 0, 0), msg(0xC4, 9, 0),  // xuanyue
                            msg(0xB4, 0, 0), msg(0xC4, 9, 0), msg(0xB5, 0, 0), msg(0xC5, 9, 0),  // Combo1
                            msg(0xB3, 0, 0), msg(0xC3, 9, 0)}));                                 // Combo3
    EXPECT_EQ(form->Combo1->listIndex(), 10);
    EXPECT_EQ(form->Combo3->listIndex(), 10);

    form->Combo1->setListIndex(12);
    EXPECT_EQ(take(), (Msgs{msg(0xB4, 0, 0), msg(0xC4, 11, 0), msg(0xB5, 0, 0), msg(0xC5, 11, 0)}));
    EXPECT_EQ(form->xuanyue->listIndex(), 10);

    // "0.无声" and no selection have no program: nothing is sent.
    form->xuanyue->setListIndex(0);
    EXPECT_EQ(form->Combo3->listIndex(), 0);
    form->Combo3->setListIndex(-1);
    EXPECT_EQ(form->xuanyue->listIndex(), -1);
    EXPECT_EQ(take(), Msgs{});
}

}  // namespace
