// The MIDI module against capture devices: device list, open and close,
// message packing with its 16-bit rules, pan before every note, error boxes.
#include "midi/midiout.h"
#include "midi/state.h"
#include "platform/textcodec.h"
#include "support/testsupport.h"
#include "ui/controls.h"

#include <gtest/gtest.h>

using namespace midi;
using testing_support::CaptureDevices;
using testing_support::TestDialogs;
using Msgs = std::vector<uint32_t>;

namespace {

class MidiModule : public ::testing::Test {
protected:
    void SetUp() override {
        resetState();
        G.BaseNote = 36;
        const int16_t pans[8] = {64, 40, 88, 20, 108, 30, 98, 64};
        for (int c = 0; c < 8; ++c) G.ChannelPan(c) = pans[c];
        ASSERT_TRUE(OpenMidiOut(-1));
        devices.take();
    }
    void TearDown() override { CloseMidiOut(); }
    TestDialogs dialogs;
    CaptureDevices devices;
};

}  // namespace

TEST_F(MidiModule, DeviceListPutsTheMapperFirst) {
    ui::ComboBox box;
    ASSERT_TRUE(FillMidiDeviceList(box));
    ASSERT_EQ(box.listCount(), 3);
    EXPECT_EQ(box.itemData(0), -1);
    EXPECT_EQ(box.itemData(1), 0);
    EXPECT_EQ(box.itemData(2), 1);
    EXPECT_EQ(box.list(0), QStringLiteral("测试设备"));
    EXPECT_EQ(box.listIndex(), -1);
}

TEST_F(MidiModule, EmptyDeviceListReturnsFalse) {
    plat::setMidiDeviceTable(nullptr, {});
    ui::ComboBox box;
    box.addItem(QStringLiteral("old"));
    EXPECT_FALSE(FillMidiDeviceList(box));
    EXPECT_EQ(box.listCount(), 0);
}

TEST_F(MidiModule, OpenClosesFirstAndCloseTwiceCallsOnce) {
    EXPECT_EQ(devices.mapper->opens, 1);
    ASSERT_TRUE(OpenMidiOut(1));
    EXPECT_EQ(devices.mapper->closes, 1);
    EXPECT_TRUE(devices.second->isOpen);
    CloseMidiOut();
    CloseMidiOut();
    EXPECT_EQ(devices.second->closes, 1);
    EXPECT_EQ(G.MidiOutHandle, 0u);
}

TEST_F(MidiModule, FailingOpenShowsTheErrorAndLeavesTheHandleClosed) {
    devices.second->failOpenWith = plat::kMidiErrAllocated;
    EXPECT_FALSE(OpenMidiOut(1));
    EXPECT_EQ(G.MidiOutHandle, 0u);
    ASSERT_EQ(dialogs.messages.size(), 1);
    // The device layer's text up to its end, none of the buffer's blanks.
    char text[128];
    plat::midiOutGetErrorTextA(plat::kMidiErrAllocated, text, sizeof text);
    EXPECT_EQ(dialogs.messages[0], plat::fromGbk(QByteArray(text)));
}

TEST_F(MidiModule, FailingCloseReportsWhileTheHandleIsHeldThenGivesItUp) {
    devices.mapper->failCloseWith = plat::kMidiErrNotReady;
    const plat::MidiOutHandleValue open = G.MidiOutHandle;
    struct Watch : TestDialogs {
        plat::MidiOutHandleValue seen = 1;
        int messageBox(QWidget* w, const QString& t, int s, const QString& title) override {
            seen = G.MidiOutHandle;
            return TestDialogs::messageBox(w, t, s, title);
        }
    } watch;
    CloseMidiOut();
    ASSERT_EQ(watch.messages.size(), 1);
    EXPECT_EQ(watch.seen, open);
    EXPECT_EQ(G.MidiOutHandle, 0u);
    CloseMidiOut();  // nothing left to close
    EXPECT_EQ(devices.mapper->closes, 1);
    EXPECT_EQ(watch.messages.size(), 1);

    // Given up even when the box itself fails.
    devices.mapper->failCloseWith = plat::kMidiOk;
    ASSERT_TRUE(OpenMidiOut(1));
    devices.second->failCloseWith = plat::kMidiErrNotReady;
    struct Throwing : TestDialogs {
        int messageBox(QWidget*, const QString&, int, const QString&) override { throw std::runtime_error("box"); }
    } throwing;
    EXPECT_THROW(CloseMidiOut(), std::runtime_error);
    EXPECT_EQ(G.MidiOutHandle, 0u);
}

TEST_F(MidiModule, NoteOnSendsPanThenNote) {
    NoteOn(1, 36 + 24, 70);
    NoteOn(1, 36, 70);
    NoteOn(1, 36 + 55, 70);
    NoteOn(0, 99, 85);
    NoteOn(5, 48, 70);
    EXPECT_EQ(devices.take(), (Msgs{0x00400AB1u, 0x00463C91u, 0x00140AB1u, 0x00462491u, 0x006B0AB1u,
                                    0x00465B91u, 0x00400AB0u, 0x00556390u, 0x001E0AB5u, 0x00463095u}))
        << testing_support::hexList(devices.mapper->messages);
}

TEST_F(MidiModule, NoteOffAndProgramPacking) {
    NoteOff(2, 60);
    ProgramChange(3, 0, 40);
    ProgramChange(0, 0, -1);
    EXPECT_EQ(devices.take(), (Msgs{0x00003C82u, 0x000000B3u, 0x000028C3u, 0x000000B0u, 0xFFFFFFC0u}));
}

TEST_F(MidiModule, DataOneOutsideSixteenBitProductIsAnOverflow) {
    EXPECT_THROW(SendShortMessage(0x90, 128, 1), ui::RuntimeError);
    EXPECT_NO_THROW(SendShortMessage(0x90, 127, 1));
    EXPECT_EQ(PackShortMessage(0x99, -128, 0), 0xFFFF8099u);
    // The sum is a signed 32-bit value: it may not leave that range either.
    EXPECT_EQ(PackShortMessage(0, 0, -32768), 0x80000000u);
    EXPECT_THROW(PackShortMessage(-1, 0, -32768), ui::RuntimeError);
    EXPECT_THROW(PackShortMessage(0, -1, -32768), ui::RuntimeError);
    EXPECT_EQ(PackShortMessage(32767, 127, 32767), 0x7FFFFEFFu);
}

TEST_F(MidiModule, SendingWithoutADeviceShowsOneBoxPerMessage) {
    CloseMidiOut();
    NoteOff(0, 60);
    EXPECT_EQ(dialogs.messages.size(), 1);
}

TEST_F(MidiModule, OnlyOneErrorBoxAtATime) {
    devices.mapper->failSendWith = plat::kMidiErrNotReady;
    // A second failure while the first box is open is not shown again.
    dialogs.messageAnswers.clear();
    struct Nested : TestDialogs {
        int messageBox(QWidget* w, const QString& t, int s, const QString& title) override {
            if (messages.isEmpty()) NoteOff(0, 61);
            return TestDialogs::messageBox(w, t, s, title);
        }
    } nested;
    NoteOff(0, 60);
    EXPECT_EQ(nested.messages.size(), 1);
}
