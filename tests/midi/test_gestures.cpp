// The shared musical gestures: step players, drum pads, triads, the chord
// effect keys with their fade set-up, the rhythm instrument keys and the
// sound-effect status, against capture devices and stand-in controls.
#include "midi/gestures.h"
#include "midi/midiout.h"
#include "midi/state.h"
#include "support/testsupport.h"
#include "ui/controls.h"

#include <gtest/gtest.h>

using namespace midi;
using testing_support::CaptureDevices;
using testing_support::hexList;
using testing_support::TestDialogs;
using Msgs = std::vector<uint32_t>;

namespace {

uint32_t msg(int status, int d1, int d2) { return static_cast<uint32_t>(status | (d1 << 8) | (d2 << 16)); }

class Gestures : public ::testing::Test {
protected:
    void SetUp() override {
        resetState();
        G.BaseNote = 36;
        G.BeatInterval = 107;
        const int16_t pans[8] = {64, 40, 88, 20, 108, 30, 98, 64};
        for (int c = 0; c < 8; ++c) G.ChannelPan(c) = pans[c];
        for (int i = 0; i <= 128; ++i) combo1.addItem(QString::number(i));
        combo1.onClick = [this] { ++combo1Clicks; };
        Main.XSWB = &status;
        Main.Combo1 = &combo1;
        Main.Timer4 = &timer4;
        Main.Check2 = &check2;
        ASSERT_TRUE(OpenMidiOut(-1));
        devices.take();
    }
    void TearDown() override {
        Main = MainWindowLinks{};
        CloseMidiOut();
    }
    Msgs take() { return devices.take(); }
    static void hit(int track, int step, int note) {
        G.RhythmPattern(track, step).Enabled = True;
        G.RhythmPattern(track, step).Message = static_cast<int32_t>(msg(0x99, note, 100));
    }

    TestDialogs dialogs;
    CaptureDevices devices;
    ui::Label status;
    ui::ComboBox combo1;
    ui::Timer timer4;
    ui::CheckBox check2;
    int combo1Clicks = 0;
};

}  // namespace

TEST_F(Gestures, StepPlayersSendTheEnabledCellsOfTheDrumRowsInOrder) {
    hit(4, 3, 40);
    hit(0, 3, 36);
    hit(2, 3, 38);
    hit(5, 3, 50);  // the pads' row is not a drum row
    hit(0, 2, 37);
    G.RhythmPattern(1, 3).Message = static_cast<int32_t>(msg(0x99, 39, 100));  // not enabled
    G.RhythmStep = 3;
    G.DrumStep = 2;
    PlayRhythmStep();
    EXPECT_EQ(take(), (Msgs{msg(0x99, 36, 100), msg(0x99, 38, 100), msg(0x99, 40, 100)}));
    PlayDrumStep();
    EXPECT_EQ(take(), Msgs{msg(0x99, 37, 100)});
    G.DrumStep = 7;  // all five cells disabled
    PlayDrumStep();
    EXPECT_TRUE(take().empty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(Gestures, StepPlayerReportsOnlyTheLastFailureOfAStep) {
    hit(0, 0, 36);
    hit(1, 0, 38);
    hit(2, 0, 42);
    devices.mapper->failSendWith = plat::kMidiErrNotReady;
    PlayRhythmStep();
    EXPECT_EQ(dialogs.messages.size(), 1);
}

TEST_F(Gestures, DrumPadSoundsWithoutBeingEnabled) {
    G.RhythmPattern(5, 2).Message = static_cast<int32_t>(msg(0x99, 57, 100));
    ASSERT_EQ(G.RhythmPattern(5, 2).Enabled, False);
    G.DrumPadIndex = 2;
    PlayDrumPad();
    EXPECT_EQ(take(), Msgs{msg(0x99, 57, 100)});
}

TEST_F(Gestures, TriadSoundsThreeNotesWithoutPan) {
    G.BaseNote = 40;
    G.ChordKey = 70;
    G.ChordChannel = 3;
    G.ChannelVelocity(3) = 55;
    PlayChordNotes();
    EXPECT_EQ(take(), (Msgs{msg(0x93, 61, 55), msg(0x93, 64, 55), msg(0x93, 68, 55)}));
    EXPECT_EQ(G.ChordOffsets(1), QStringLiteral("21"));
    // A velocity beyond the MIDI range is sent as its nearest limit.
    G.ChordKey = 65;
    G.ChannelVelocity(3) = 300;
    PlayChordNotes();
    EXPECT_EQ(take(), (Msgs{msg(0x93, 52, 127), msg(0x93, 56, 127), msg(0x93, 59, 127)}));
}

TEST_F(Gestures, ChordEffectSilencesChannel5ThenRaisesExpressionAndPlays) {
    G.PartVelocity(1) = 70;
    G.EffectFadeTicks = 9;
    G.EffectExpression = 3;
    G.LastKeyCode = 82;  // R
    PlayChordEffect();
    Msgs expected;
    for (int i = 0; i <= 63; ++i) expected.push_back(msg(0x85, 36 + i, 0));
    expected.push_back(msg(0xB5, 11, 127));
    for (int n : {48, 52, 55}) {
        expected.push_back(msg(0xB5, 10, 30));
        expected.push_back(msg(0x95, n, 70));
    }
    const Msgs got = take();
    EXPECT_EQ(got, expected) << hexList(got);
    EXPECT_EQ(status.caption(), QStringLiteral("和弦音效\r\n         1.3.5"));
    EXPECT_EQ(timer4.interval(), 107);
    EXPECT_TRUE(timer4.enabled());
    EXPECT_EQ(G.EffectFadeTicks, 0);
    EXPECT_EQ(G.EffectExpression, 127);
    timer4.setEnabled(false);
}

TEST_F(Gestures, ZTwiceSelectsPosition119AndSendsProgram118EachTime) {
    for (int round = 0; round < 2; ++round) {
        G.LastKeyCode = 90;
        SetRhythmInstrumentByKey();
        EXPECT_EQ(combo1.listIndex(), 119);
        EXPECT_EQ(take(), (Msgs{msg(0xB4, 0, 0), msg(0xC4, 118, 0)}));
        EXPECT_EQ(status.caption(), QStringLiteral("节奏乐器\r\n         架子鼓"));
    }
    EXPECT_EQ(combo1Clicks, 1);  // the box's handler runs on the change only
}
