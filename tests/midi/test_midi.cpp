// The MIDI module and the shared musical gestures against capture devices: device list, open and close, message
// packing with its 16-bit rules, pan before every note, error boxes; step players, drum pads, triads, the chord
// effect and the rhythm instrument keys, with stand-in controls.
#include "midi/gestures.h"
#include "midi/midiout.h"
#include "midi/state.h"
#include "platform/textcodec.h"
#include "support/testsupport.h"
#include "ui/controls.h"

#include <gtest/gtest.h>

using namespace midi;
using testing_support::hexList;
using testing_support::TestDialogs;
using Msgs = std::vector<uint32_t>;
constexpr auto msg = testing_support::MidiMessageAids::msg;

namespace {

class Midi : public ::testing::Test {
protected:
    void SetUp() override {
        resetState();
        G.BaseNote = 36;
        G.BeatInterval = 107;
        const int16_t pans[8] = {64, 40, 88, 20, 108, 30, 98, 64};
        for (int c = 0; c < 8; ++c) G.ChannelPan(c) = pans[c];
        for (int i = 0; i <= 128; ++i) combo1.addItem(QString::number(i));
        combo1.onClick = [this] { ++combo1Clicks; };
        Main.XSWB = &status, Main.Combo1 = &combo1, Main.Timer4 = &timer4, Main.Check2 = &check2;
        ASSERT_TRUE(OpenMidiOut(-1));
        devices.take();
    }
    void TearDown() override {
        Main = MainWindowLinks{};
        CloseMidiOut();
    }
    Msgs take() { return devices.take(); }
    static void hit(int track, int step, int note, bool enabled = true) {
        G.RhythmPattern(track, step).Enabled = enabled ? True : False;
        G.RhythmPattern(track, step).Message = static_cast<int32_t>(msg(0x99, note, 100));
    }

    TestDialogs dialogs;
    testing_support::CaptureDevices devices;
    ui::Label status;
    ui::ComboBox combo1;
    ui::Timer timer4;
    ui::CheckBox check2;
    int combo1Clicks = 0;
};

}  // namespace

TEST_F(Midi, DeviceListOpenAndCloseWithTheirErrors) {
    ui::ComboBox box;
    ASSERT_TRUE(FillMidiDeviceList(box));
    ASSERT_EQ(box.listCount(), 3);
    EXPECT_EQ(box.list(0), QStringLiteral("测试设备"));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(box.itemData(i), i - 1) << "the mapper, then the real ids";

    ASSERT_TRUE(OpenMidiOut(1));  // closes the mapper first
    EXPECT_EQ(devices.mapper->closes, 1);
    EXPECT_TRUE(devices.second->isOpen);
    CloseMidiOut();
    CloseMidiOut();
    EXPECT_EQ(devices.second->closes, 1);
    EXPECT_EQ(G.MidiOutHandle, 0u);

    // A failing open shows the device layer's text, none of the buffer's blanks.
    devices.second->failOpenWith = plat::kMidiErrAllocated;
    EXPECT_FALSE(OpenMidiOut(1));
    EXPECT_EQ(G.MidiOutHandle, 0u);
    char text[128];
    plat::midiOutGetErrorTextA(plat::kMidiErrAllocated, text, sizeof text);
    EXPECT_EQ(dialogs.messages, QStringList{plat::fromGbk(QByteArray(text))});

    // A failing close reports while the handle is held, then gives it up, even when the box itself fails.
    ASSERT_TRUE(OpenMidiOut(-1));
    devices.mapper->failCloseWith = plat::kMidiErrNotReady;
    const plat::MidiOutHandleValue open = G.MidiOutHandle;
    plat::MidiOutHandleValue seen = 1;
    {
        TestDialogs watch;
        watch.onMessage = [&](const QString&) { seen = G.MidiOutHandle; };
        CloseMidiOut();
        EXPECT_EQ(watch.messages.size(), 1);
        EXPECT_EQ(seen, open);
        EXPECT_EQ(G.MidiOutHandle, 0u);
        ASSERT_TRUE(OpenMidiOut(-1));
        watch.onMessage = [](const QString&) { throw std::runtime_error("box"); };
        EXPECT_THROW(CloseMidiOut(), std::runtime_error);
        EXPECT_EQ(G.MidiOutHandle, 0u);
    }
    plat::setDialogs(&dialogs);
    plat::setMidiDeviceTable(nullptr, {});
    EXPECT_FALSE(FillMidiDeviceList(box));
    EXPECT_EQ(box.listCount(), 0);
}

TEST_F(Midi, NoteOnSendsPanThenNoteNoteOffAndProgramPacking) {
    NoteOn(1, 36 + 24, 70);  // channel 1: pan by the offset from the base note
    NoteOn(1, 36, 70);
    NoteOn(1, 36 + 55, 70);
    NoteOn(0, 99, 85);  // other channels: their own pan
    NoteOn(5, 48, 70);
    NoteOff(2, 60);
    ProgramChange(3, 0, 40);
    ProgramChange(0, 0, -1);
    const Msgs got = take();
    EXPECT_EQ(got, (Msgs{0x00400AB1u, 0x00463C91u, 0x00140AB1u, 0x00462491u, 0x006B0AB1u, 0x00465B91u, 0x00400AB0u,
                         0x00556390u, 0x001E0AB5u, 0x00463095u, 0x00003C82u, 0x000000B3u, 0x000028C3u, 0x000000B0u,
                         0xFFFFFFC0u}))
        << hexList(got);
    // Data one outside the 16-bit product, or a sum outside 32 bits, is an overflow.
    EXPECT_THROW(SendShortMessage(0x90, 128, 1), rt::RuntimeError);
    EXPECT_NO_THROW(SendShortMessage(0x90, 127, 1));
    EXPECT_EQ(PackShortMessage(0x99, -128, 0), 0xFFFF8099u);
    EXPECT_EQ(PackShortMessage(0, 0, -32768), 0x80000000u);
    EXPECT_THROW(PackShortMessage(-1, 0, -32768), rt::RuntimeError);
}

TEST_F(Midi, OneErrorBoxAtATimeOnePerFailedMessage) {
    devices.mapper->failSendWith = plat::kMidiErrNotReady;
    TestDialogs nested;  // a second failure while the first box is open is not shown again
    int calls = 0;
    nested.onMessage = [&](const QString&) {
        if (calls++ == 0) NoteOff(0, 61);
    };
    NoteOff(0, 60);
    EXPECT_EQ(nested.messages.size(), 1);
    CloseMidiOut();
    NoteOff(0, 60);
    NoteOff(0, 62);
    EXPECT_EQ(nested.messages.size(), 3) << "without a device";
}

TEST_F(Midi, StepPlayersSendTheEnabledDrumCellsInOrderPadsIgnoreEnabled) {
    hit(4, 3, 40), hit(0, 3, 36), hit(2, 3, 38), hit(5, 3, 50), hit(0, 2, 37), hit(1, 3, 39, false);
    G.RhythmStep = 3;  // the pads' row 5 is not a drum row
    G.DrumStep = 2;
    PlayRhythmStep();
    EXPECT_EQ(take(), (Msgs{msg(0x99, 36, 100), msg(0x99, 38, 100), msg(0x99, 40, 100)}));
    PlayDrumStep();
    EXPECT_EQ(take(), Msgs{msg(0x99, 37, 100)});
    G.DrumStep = 7;  // all five cells disabled
    PlayDrumStep();
    EXPECT_TRUE(take().empty());
    hit(5, 2, 57, false);
    G.DrumPadIndex = 2;
    PlayDrumPad();
    EXPECT_EQ(take(), Msgs{msg(0x99, 57, 100)});
    EXPECT_TRUE(dialogs.messages.isEmpty());
    // Of a step's failures only the last is reported.
    G.RhythmStep = 0;
    for (int track = 0; track < 3; ++track) hit(track, 0, 36 + track);
    devices.mapper->failSendWith = plat::kMidiErrNotReady;
    PlayRhythmStep();
    EXPECT_EQ(dialogs.messages.size(), 1);
}

TEST_F(Midi, TriadSoundsThreeNotesWithoutPanAndTheChordEffectFadesChannel5) {
    G.BaseNote = 40, G.ChordKey = 70, G.ChordChannel = 3, G.ChannelVelocity(3) = 55;
    PlayChordNotes();
    EXPECT_EQ(take(), (Msgs{msg(0x93, 61, 55), msg(0x93, 64, 55), msg(0x93, 68, 55)}));
    EXPECT_EQ(G.ChordOffsets(1), QStringLiteral("21"));
    G.ChordKey = 65, G.ChannelVelocity(3) = 300;  // sent as the nearest limit
    PlayChordNotes();
    EXPECT_EQ(take(), (Msgs{msg(0x93, 52, 127), msg(0x93, 56, 127), msg(0x93, 59, 127)}));

    // The chord effect silences channel 5, raises its expression and plays.
    G.BaseNote = 36, G.PartVelocity(1) = 70, G.EffectFadeTicks = 9, G.EffectExpression = 3, G.LastKeyCode = 82;
    PlayChordEffect();
    Msgs expected = testing_support::MidiMessageAids::offs(5, 36, 99);
    expected.push_back(msg(0xB5, 11, 127));
    for (int n : {48, 52, 55}) expected.push_back(msg(0xB5, 10, 30)), expected.push_back(msg(0x95, n, 70));
    const Msgs got = take();
    EXPECT_EQ(got, expected) << hexList(got);
    EXPECT_EQ(status.caption(), QStringLiteral("和弦音效\r\n         1.3.5"));
    EXPECT_EQ(timer4.interval(), 107);
    EXPECT_TRUE(timer4.enabled());
    EXPECT_EQ(G.EffectFadeTicks * 1000 + G.EffectExpression, 127);
}

TEST_F(Midi, ZTwiceSelectsPosition119AndSendsProgram118EachTime) {
    for (int round = 0; round < 2; ++round) {
        G.LastKeyCode = 90;
        SetRhythmInstrumentByKey();
        EXPECT_EQ(combo1.listIndex(), 119);
        EXPECT_EQ(take(), (Msgs{msg(0xB4, 0, 0), msg(0xC4, 118, 0)}));
        EXPECT_EQ(status.caption(), QStringLiteral("节奏乐器\r\n         架子鼓"));
    }
    EXPECT_EQ(combo1Clicks, 1);  // the box's handler runs on the change only
}
