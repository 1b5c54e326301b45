// The chord page: pattern models, parse and derivation, the chord order,
// the chord tracks, the bar triad, the chord audition, volume and voices.
#include "mainwindowfixture.h"
#include "support/handclock.h"

#include "keyboard/keyboardwidgets.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>

#include <chrono>

using namespace midi;

namespace {

class ChordModels : public MainWindowTest {
protected:
    void draws(std::vector<double> values) {
        seq = std::move(values);
        form->Rnd = [this] { return seq.at(next++); };
        next = 0;
    }
    void writeModels(const QStringList& lines) const {
        folder.write(QStringLiteral("HxJzMx.txt"),
                     plat::toGbk(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    }
    QByteArray models() const { return folder.read(QStringLiteral("HxJzMx.txt")); }
    void setBoxes(const QString& everyBar, const QString& everyTwoBars) {
        form->Text4->setText(everyBar);
        form->Text5->setText(everyTwoBars);
        form->HXYPSB();
        form->ZDHXSC();
    }
    std::vector<int> row(int chord, int first, int count) const {
        std::vector<int> out;
        for (int k = first; k < first + count; ++k) out.push_back(form->ChordPatternGrid(chord, k));
        return out;
    }
    static QString line(const QString& head) { return head.leftJustified(32, u'-'); }

    std::vector<double> seq;
    size_t next = 0;
};

TEST_F(ChordModels, MissingModelFileIsCreatedFromTheDefaults) {
    EXPECT_TRUE(models().endsWith("\r\n"));
    EXPECT_EQ(plat::splitLines(plat::fromGbk(models())).size(), 15);
    EXPECT_EQ(form->Text6->text(), QStringLiteral("145"));  // draw 0 counts as order 1
    EXPECT_EQ(form->ChordPatternGrid(1, 0), 65);   // the default boxes are parsed: "CC"
    EXPECT_EQ(form->ChordPatternGrid(1, 8), 255);  // "CE" is no token
    EXPECT_EQ(form->ChordPatternGrid(1, 16), 7);   // "LG"
}

TEST_F(ChordModels, ParseAndDerivation) {
    setBoxes(QStringLiteral("KE--MGCCDMXZCEkcLCWGHEMCLDLBWFHA"), QString());
    // C, G and E tones move to the chord's tones and "CC" becomes the chord
    // itself; top octave, D/F/A/B tones, other chords, rest and hold stay.
    const std::vector<int> rows[7] = {{},
                                      {28, 255, 55, 65, 66, 254, 255, 255, 0, 19, 40, 48, 2, 11, 17, 45},
                                      {29, 255, 55, 66, 66, 254, 255, 255, 2, 21, 41, 48, 2, 11, 17, 45},
                                      {31, 255, 55, 67, 66, 254, 255, 255, 4, 23, 43, 48, 2, 11, 17, 45},
                                      {33, 255, 55, 68, 66, 254, 255, 255, 5, 24, 45, 48, 2, 11, 17, 45},
                                      {35, 255, 55, 69, 66, 254, 255, 255, 7, 26, 47, 48, 2, 11, 17, 45},
                                      {36, 255, 55, 70, 66, 254, 255, 255, 9, 28, 48, 48, 2, 11, 17, 45}};
    for (int chord = 1; chord <= 6; ++chord) EXPECT_EQ(row(chord, 0, 16), rows[chord]) << chord;
    EXPECT_EQ(row(1, 16, 16), std::vector<int>(16, 255));

    // Texts are joined as they are: a short every-bar text moves the other's cells.
    setBoxes(QStringLiteral("LCLELGWCWEWGKCKEKGHC"), QStringLiteral("MGXZ"));
    EXPECT_EQ(row(1, 9, 4), (std::vector<int>{36, 55, 254, 255}));
    setBoxes(QStringLiteral("LCL"), QStringLiteral("CXZ"));
    EXPECT_EQ(row(1, 0, 4), (std::vector<int>{0, 0, 254, 255}));
}

TEST_F(ChordModels, RandomDrawsTakeLinesAndOrdersFromTheSource) {
    const QStringList lines = {line("LC"), line("WC"), line("KC"), line("HC")};
    writeModels(lines);
    draws({0.0, 0.0, 0.0});  // the first line is read whole
    form->Command3->click();
    EXPECT_EQ(form->Text4->text(), lines[0]);
    G.ChordIndex = 3;
    form->ChordPos = 3;
    draws({0.75, 0.375, 0.875});  // 4.5 -> 4, 1.5 -> 2, 3.5 -> 4: halves to even
    form->Command3->click();
    EXPECT_EQ(std::tuple(form->Text6->text(), G.ChordSequence(3), G.ChordIndex, form->ChordPos, form->Text4->text(),
                         form->Text2->text(), form->Text5->text()),
              std::tuple(QStringLiteral("125"), 5, 1, 1, lines[1], lines[1], lines[3]));
    EXPECT_EQ(form->ChordPatternGrid(1, 0), 12);  // parsed at once

    // The lock boxes keep their pattern box; the order is drawn anyway.
    draws({0.999, 0.1, 0.0});
    form->Check7->setValue(1);
    form->Check4->setValue(1);
    form->Command3->click();
    EXPECT_EQ(std::tuple(form->Text6->text(), form->Text4->text(), form->Text5->text()),
              std::tuple(QStringLiteral("1365"), lines[1], lines[3]));
}

TEST_F(ChordModels, LeavingTheBoxesNormalisesPatternsAndChecksTheOrder) {
    form->Text4->setText(QStringLiteral("kc wg"));
    form->Text4_LostFocus();
    EXPECT_EQ(form->Text4->text(), line(QStringLiteral("KC-WG")));
    EXPECT_EQ(form->Text2->text(), form->Text4->text());

    // A typed order with a character that is no chord is put back.
    G.ChordIndex = 2;
    form->Text6_GotFocus();
    for (const char* bad : {"1a3", "7", "0"}) {
        form->Text6->setText(QString::fromLatin1(bad));
        form->Text6_LostFocus();
        EXPECT_EQ(form->Text6->text(), QStringLiteral("145")) << bad;
        EXPECT_EQ(G.ChordIndex, 2) << bad;
    }

    form->Text4->setText(QStringLiteral("XZ"));
    form->Text6->setText(QStringLiteral("3621"));
    form->Text6_LostFocus();
    EXPECT_EQ(std::tuple(G.ChordCount, G.ChordSequence(1), G.ChordSequence(4), G.ChordIndex),
              std::tuple(4, 3, 1, 1));
    EXPECT_EQ(form->ChordPatternGrid(3, 0), 254);  // parsed again
}

TEST_F(ChordModels, SaveAppendsOnlyPatternsNotInTheFile) {
    const QByteArray start = models();
    form->Text4->setText(plat::splitLines(plat::fromGbk(start)).first());
    form->Text5->setText(line("MG"));
    form->Command4->click();
    form->Command4->click();
    EXPECT_EQ(models(), start + line("MG").toLatin1() + "\r\n");

    // A last line without a line end is not joined to the new ones.
    folder.write(QStringLiteral("HxJzMx.txt"), "AAAA");
    form->Text4->setText(line("HG"));
    form->Text5->setText(line("HG"));
    form->Command4->click();
    EXPECT_EQ(models(), "AAAA\r\n" + line("HG").toLatin1() + "\r\n" + line("HG").toLatin1() + "\r\n");

    // No model file: the save creates none.
    QFile::remove(folder.file(QStringLiteral("HxJzMx.txt")));
    form->Command4->click();
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("HxJzMx.txt"))));
}

// 120 model lines: the table holds the first 100, and the draw reaches the last.
TEST_F(ChordModels, OnlyTheFirstHundredLinesAreRead) {
    QStringList lines;
    for (int i = 1; i <= 120; ++i) lines << line(QStringLiteral("L%1").arg(i));
    writeModels(lines);
    ASSERT_FALSE(reopen());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    draws({0.0, 0.999, 0.999});
    form->Command3->click();
    EXPECT_EQ(form->Text4->text(), line("L100"));
    EXPECT_EQ(form->Text5->text(), line("L100"));
}

class ChordPlayback : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        form->Timer4->setInterval(65535);  // the test drives the fade
    }
    void setPatterns(const QString& everyBar, const QString& everyTwoBars, const QString& order = QStringLiteral("1")) {
        form->Text4->setText(everyBar.leftJustified(32, u'-'));
        form->Text5->setText(everyTwoBars.leftJustified(32, u'-'));
        form->Text6->setText(order);
        form->Text6_LostFocus();
        take();
    }
    Msgs step(void (MainWindow::*track)(), int rhythmStep) {
        G.RhythmStep = static_cast<i16>(rhythmStep);
        (form.get()->*track)();
        return take();
    }
};

TEST_F(ChordPlayback, TrackOneNoteHoldRestAndChord) {
    setPatterns(QStringLiteral("KC--XZCCWG"), QString());
    const auto t1 = &MainWindow::BZHX;
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
    EXPECT_EQ(step(t1, 3).size(), 4u);
}

TEST_F(ChordPlayback, TrackTwoSoundsOnChannelsThreeAndFour) {
    setPatterns(QString(), QStringLiteral("WC--AMLC"), QStringLiteral("5"));
    form->HxYL->setText(QStringLiteral("120"));
    take();
    const auto t2 = &MainWindow::BZHX2;
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
    form->ZNHX();
    EXPECT_EQ(take(), cat(offs(5, 36, 99), {msg(0xB5, 11, 127), msg(0xB5, 10, 30), msg(0x95, 53, 55), msg(0xB5, 10, 30),
                                              msg(0x95, 57, 55), msg(0xB5, 10, 30), msg(0x95, 60, 55)}));
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

    // Without the bar-triad box, or without auto-sync, a bar start only silences channel 5.
    for (auto* box : {form->Check8, form->Check5}) {
        box->setValue(0);
        form->ZNHX();
        EXPECT_EQ(take(), offs(5, 36, 99));
        EXPECT_FALSE(form->Timer4->enabled());
        box->setValue(1);
    }
}

TEST_F(ChordPlayback, AuditionPlaysTheOrderOnceAndStopsItself) {
    setPatterns(QStringLiteral("KC"), QString(), QStringLiteral("145"));
    form->Check6->setValue(1);
    EXPECT_TRUE(form->HXYS->enabled());
    form->HXYS->setInterval(60000);
    take();

    // One bar of 16 steps per chord: C, then C to F, then C to G.
    Msgs all;
    for (int t = 0, note[3] = {60, 65, 67}; t < 48; ++t) {
        form->HXYS->tick();
        const Msgs m = take();
        if (t % 16 == 0) EXPECT_TRUE(contains(m, msg(0x93, note[t / 16], 55))) << t;
        if (t == 46) EXPECT_EQ(form->Check6->value(), 1);
        all = cat(all, m);
    }
    EXPECT_EQ(form->Check6->value(), 0);
    EXPECT_FALSE(form->HXYS->enabled());
    EXPECT_EQ(G.ChordIndex, 1);
    // The chord tracks alone: no drums, no bar triad.
    EXPECT_TRUE(only(all, 0x99, 0x99).empty());
    EXPECT_TRUE(only(all, 0x95, 0x95).empty());
}

// The audition keeps musical time: each tick, woken the look-ahead before its deadline and up to 15 ms later still,
// keeps the grid of deadlines from the start, stamps what it sends with its deadline, and the last one stops the
// audition at its deadline.
TEST_F(ChordPlayback, AuditionStepsOnItsGridOfDeadlinesAndStampsThem) {
    using C = testing_support::HandClock;
    const C clock(7'000'000'000);
    const auto steadyNow = [] {
        return qint64(std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()).count());
    };
    setPatterns(QStringLiteral("KC"), QString(), QStringLiteral("145"));
    form->Check6->setValue(1);
    const qint64 origin = C::now, step = 2 * G.BeatInterval * C::ms;
    plat::CaptureMidiDevice& device = *devices.mapper;
    for (int k = 1, note[3] = {60, 65, 67}; k <= 48; ++k) {
        const qint64 deadline = origin + k * step;
        ASSERT_EQ(form->HXYS->nextDeadlineNs(), deadline) << "tick " << k;
        C::now = deadline - C::ahead + (k * 7 % 16) * C::ms;
        device.messages.clear(), device.dues.clear();
        const qint64 earliest = steadyNow() + (deadline - C::now);  // the deadline on the steady clock is in between
        form->HXYS->fire();
        const qint64 latest = steadyNow() + (deadline - C::now);
        if (k % 16 == 1) ASSERT_TRUE(contains(device.messages, msg(0x93, note[k / 16], 55))) << "tick " << k;
        for (int64_t due : device.dues) ASSERT_TRUE(due >= earliest && due <= latest) << "tick " << k;
    }
    EXPECT_EQ(form->Check6->value(), 1);
    C::now = origin + 48 * step;
    ui::Timer::settle();
    EXPECT_FALSE(form->HXYS->enabled() || form->Check6->value()) << "stopped at the deadline";
}

// The volume is held to the MIDI range; typing keeps the focus in the box, choosing an entry gives the keyboard back.
TEST_F(ChordPlayback, VolumeIsHeldToTheMidiRangeTypingKeepsTheFocus) {
    const std::pair<const char*, int> cases[] = {{"120", 120}, {"70.5", 70}, {"0", 1}, {"300", 127}, {"abc", 1}};
    for (const auto& [text, velocity] : cases) {
        form->HxYL->setText(QString::fromLatin1(text));
        EXPECT_EQ(G.PartVelocity(3), velocity) << text;
    }
    QApplication::setActiveWindow(form.get());
    form->Xxk[1]->setValue(true);
    QLineEdit* edit = form->HxYL->lineEdit();
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    for (const char* c : {"1", "0", "0"}) {
        edit->insert(QString::fromLatin1(c));
        EXPECT_TRUE(edit->hasFocus()) << "after " << c;
    }
    EXPECT_EQ(G.PartVelocity(3), 100);
    EXPECT_TRUE(form->Text3->text().isEmpty());
    emit form->HxYL->activated(6);  // "120" chosen from the list
    EXPECT_EQ(G.PartVelocity(3), 120);
    EXPECT_TRUE(form->SFYXYZ->hasFocus());
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
