// The melody page: voice instruments and their programs, velocities as
// sent, vibrato controllers, tempo and its check on leaving the box, the key
// and the release of sounding notes when it changes; and what the first
// activation sends.
#include "form1fixture.h"

#include "platform/midiout.h"

using namespace midi;
using testing_support::hexList;

namespace {

class VoicesTest : public Form1Test {
protected:
    void key(int code) { form->SFYXYZ_KeyDown(code, 0); }
};

constexpr int kG = 71;

}  // namespace

TEST_F(VoicesTest, InstrumentChoiceSendsBankAndProgram) {
    form->ComSounds[0]->setListIndex(1);
    EXPECT_EQ(take(), (Msgs{msg(0xB0, 0, 0), msg(0xC0, 0, 0)}));
    EXPECT_EQ(G.ChannelProgram(0), 1);
    form->ComSounds[2]->setListIndex(128);
    EXPECT_EQ(take(), (Msgs{msg(0xB2, 0, 0), msg(0xC2, 127, 0)}));
}

TEST_F(VoicesTest, SilentEntryStopsTheVoiceAndSendsNoProgram) {
    key(kG);
    take();
    form->ComSounds[1]->setListIndex(0);
    EXPECT_EQ(take(), Msgs{msg(0x81, 60, 0)});
    EXPECT_EQ(G.ChannelProgram(1), 15);  // kept
    key('H');
    EXPECT_TRUE(only(take(), 0x91, 0x91).empty());
    // Voice 2 also stops its octave below.
    form->ComSounds[2]->setListIndex(0);
    EXPECT_EQ(take(), (Msgs{msg(0x82, 62, 0), msg(0x82, 50, 0)}));
}

TEST_F(VoicesTest, TypedInstrumentTextSendsOnlyRealPrograms) {
    form->ComSounds[0]->setText(QStringLiteral("钢琴"));  // no entry
    EXPECT_EQ(form->ComSounds[0]->listIndex(), -1);
    EXPECT_EQ(G.ChannelProgram(0), -1);
    EXPECT_TRUE(take().empty());
    form->ComSounds[0]->setText(QStringLiteral("0.无声"));
    EXPECT_TRUE(take().empty());
    form->ComSounds[0]->setText(QStringLiteral("3.酒吧钢琴"));
    EXPECT_EQ(take(), (Msgs{msg(0xB0, 0, 0), msg(0xC0, 2, 0)}));
    EXPECT_EQ(G.ChannelProgram(0), 3);
}

TEST_F(VoicesTest, VelocityOutsideTheMidiRangeIsSentClamped) {
    form->Zxlyl[0]->setText(QStringLiteral("300"));
    form->Zxlyl[1]->setText(QStringLiteral("-5"));
    EXPECT_EQ(G.PartVelocity(0), 300);  // the box keeps what was typed
    EXPECT_EQ(form->Zxlyl[0]->text(), QStringLiteral("300"));
    take();
    key(kG);
    EXPECT_EQ(only(take(), 0x90, 0x91), (Msgs{msg(0x90, 60, 127), msg(0x91, 60, 0)}));
    // The chord effect plays with voice 1's velocity.
    form->Zxlyl[1]->setText(QStringLiteral("200"));
    key('R');
    form->Timer4->setEnabled(false);
    const Msgs effect = only(take(), 0x95, 0x95);
    ASSERT_EQ(effect.size(), 3u);
    EXPECT_EQ(effect[0], msg(0x95, 48, 127));
}

TEST_F(VoicesTest, VibratoSendsFourControllersOnTheVoiceChannel) {
    form->Check3[1]->setValue(1);
    form->Check3[1]->setValue(0);
    const Msgs expected = {msg(0xB1, 1, 75), msg(0xB1, 65, 100), msg(0xB1, 66, 100), msg(0xB1, 91, 100),
                           msg(0xB1, 1, 0),  msg(0xB1, 65, 20),  msg(0xB1, 66, 20),  msg(0xB1, 91, 20)};
    EXPECT_EQ(take(), expected);
}

TEST_F(VoicesTest, TempoListGivesTheTickLength) {
    const int ticks[19] = {188, 167, 150, 136, 125, 115, 107, 100, 94, 88, 83, 79, 75, 71, 68, 65, 62, 60, 58};
    for (int i = 18; i >= 0; --i) {
        form->SD->setListIndex(i);
        EXPECT_EQ(G.BeatInterval, ticks[i]) << form->SD->text().toStdString();
        EXPECT_EQ(form->Timer1->interval(), ticks[i]);
        EXPECT_EQ(form->BZDS->interval(), 2 * ticks[i]);
    }
    EXPECT_TRUE(take().empty());
}

TEST_F(VoicesTest, TempoTextIsCheckedWhenLeavingTheBox) {
    form->SD->setListIndex(16);  // 120: 62 ms
    form->SD->setText(QStringLiteral("150"));
    form->SD_LostFocus();
    EXPECT_EQ(form->SD->text(), QStringLiteral("120"));
    EXPECT_EQ(G.BeatInterval, 62);

    form->SD->setText(QStringLiteral("140"));
    form->SD_LostFocus();
    EXPECT_EQ(G.BeatInterval, 54);
    EXPECT_EQ(form->BZDS->interval(), 108);
    EXPECT_EQ(form->SD->text(), QStringLiteral("140"));

    form->SD->setText(QStringLiteral("39.6"));  // rounds to 40: the text's own value counts
    form->SD_LostFocus();
    EXPECT_EQ(G.BeatInterval, 189);

    form->SD->setListIndex(0);  // 40: 188 ms, shown back as 39
    for (const char* bad : {"", "abc", "39.4", "141", "99999"}) {
        form->SD->setText(QString::fromLatin1(bad));
        form->SD_LostFocus();
        EXPECT_EQ(form->SD->text(), QStringLiteral("39")) << bad;
        EXPECT_EQ(G.BeatInterval, 188) << bad;
    }
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(VoicesTest, KeyAMovesTheNotesUpANinth) {
    form->YD->setListIndex(9);
    EXPECT_EQ(G.BaseNote, 45);
    take();
    key(kG);
    EXPECT_EQ(only(take(), 0x90, 0x90), Msgs{msg(0x90, 69, 85)});
}

TEST_F(VoicesTest, KeyChangeReleasesTheSoundingNotesInTheOldKey) {
    key(kG);
    take();
    form->YD->setListIndex(2);
    const Msgs got = take();
    ASSERT_GE(got.size(), 4u);
    EXPECT_EQ(Msgs(got.begin(), got.begin() + 4),
              (Msgs{msg(0x80, 60, 0), msg(0x81, 60, 0), msg(0x82, 60, 0), msg(0x82, 48, 0)}));
    // The chord tracks are released in the old key too.
    for (size_t i = 4; i < got.size(); ++i) {
        EXPECT_TRUE((got[i] & 0xFF) == 0x83 || (got[i] & 0xFF) == 0x84) << hexList(got);
        EXPECT_LT(static_cast<int>((got[i] >> 8) & 0xFF), 36 + 65);
    }
    EXPECT_FALSE(only(got, 0x83, 0x84).empty());
    EXPECT_EQ(G.BaseNote, 38);
    // Choosing the same key again releases nothing.
    form->YD_Click();
    EXPECT_TRUE(take().empty());
}

TEST_F(VoicesTest, TypedKeyGoesBackToC) {
    form->YD->setListIndex(4);
    take();
    form->YD->setText(QStringLiteral("D"));
    EXPECT_EQ(form->YD->text(), QStringLiteral("C"));
    EXPECT_EQ(G.BaseNote, 40);  // unchanged
    form->YD->setText(QStringLiteral("xyz"));
    EXPECT_EQ(form->YD->text(), QStringLiteral("C"));
    EXPECT_TRUE(take().empty());
}

// The first activation, recorded from the start.
class FirstActivationTest : public Form1Test {
protected:
    void PrepareFolder() override {
        log = std::make_shared<plat::CaptureMidiDevice>("log");
        plat::setMidiDeviceTable(log, {log});
    }
    std::shared_ptr<plat::CaptureMidiDevice> log;
};

TEST_F(FirstActivationTest, SendsOnlyProgramChangesAndSetsTheDefaults) {
    ASSERT_FALSE(log->messages.empty());
    Msgs voicePrograms;
    for (uint32_t m : log->messages) {
        const int status = m & 0xF0;
        EXPECT_TRUE(plat::isWellFormedShortMessage(m)) << hexList(log->messages);
        if (status == 0xB0) EXPECT_EQ(m & 0xFFFF00, 0u) << hexList(log->messages);  // bank select 0
        else EXPECT_EQ(status, 0xC0) << hexList(log->messages);
        if (status == 0xC0 && (m & 0x0F) <= 2) voicePrograms.push_back(m);
    }
    // Each voice's box handler, then the explicit program changes.
    const Msgs expected = {msg(0xC0, 51, 0), msg(0xC1, 14, 0), msg(0xC2, 78, 0),
                           msg(0xC0, 51, 0), msg(0xC1, 14, 0), msg(0xC2, 78, 0)};
    EXPECT_EQ(voicePrograms, expected) << hexList(voicePrograms);
    EXPECT_EQ(G.BaseNote, 36);
    EXPECT_EQ(G.BeatInterval, 107);
    EXPECT_EQ(form->Timer1->interval(), 107);
    EXPECT_EQ(form->BZDS->interval(), 214);
    EXPECT_EQ(G.PartVelocity(0), 85);
    EXPECT_EQ(G.PartVelocity(2), 55);
    EXPECT_EQ(form->SD->text(), QStringLiteral("70"));
    EXPECT_EQ(form->YD->text(), QStringLiteral("C"));
}
