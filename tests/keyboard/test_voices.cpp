// The melody page: voice instruments and their programs, velocities as
// sent, vibrato controllers, tempo and its check on leaving the box, the key
// and the release of sounding notes when it changes.
#include "mainwindowfixture.h"

using namespace midi;
using testing_support::hexList;

using VoicesTest = Form1Test;

TEST_F(VoicesTest, InstrumentBoxesSendOnlyRealPrograms) {
    form->ComSounds[0]->setListIndex(1);
    form->ComSounds[2]->setListIndex(128);
    EXPECT_EQ(take(), (Msgs{msg(0xB0, 0, 0), msg(0xC0, 0, 0), msg(0xB2, 0, 0), msg(0xC2, 127, 0)}));
    // Typed text: no entry, the silent entry, then a real one.
    form->ComSounds[0]->setText(QStringLiteral("钢琴"));
    EXPECT_EQ(G.ChannelProgram(0), -1);
    form->ComSounds[0]->setText(QStringLiteral("0.无声"));
    EXPECT_TRUE(take().empty());
    form->ComSounds[0]->setText(QStringLiteral("3.酒吧钢琴"));
    EXPECT_EQ(take(), (Msgs{msg(0xB0, 0, 0), msg(0xC0, 2, 0)}));
}

TEST_F(VoicesTest, SilentEntryStopsTheVoiceAndSendsNoProgram) {
    key(kG);
    take();
    form->ComSounds[1]->setListIndex(0);
    EXPECT_EQ(take(), Msgs{msg(0x81, 60, 0)});
    key(kH);
    EXPECT_TRUE(only(take(), 0x91, 0x91).empty());
    // Voice 2 also stops its octave below.
    form->ComSounds[2]->setListIndex(0);
    EXPECT_EQ(take(), (Msgs{msg(0x82, 62, 0), msg(0x82, 50, 0)}));
}

TEST_F(VoicesTest, VelocityOutsideTheMidiRangeIsSentClamped) {
    form->Zxlyl[0]->setText(QStringLiteral("300"));
    form->Zxlyl[1]->setText(QStringLiteral("-5"));
    EXPECT_EQ(form->Zxlyl[0]->text(), QStringLiteral("300"));  // the box keeps what was typed
    take();
    key(kG);
    EXPECT_EQ(only(take(), 0x90, 0x91), (Msgs{msg(0x90, 60, 127), msg(0x91, 60, 1)}));
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
    EXPECT_EQ(take(), (Msgs{msg(0xB1, 1, 75), msg(0xB1, 65, 100), msg(0xB1, 66, 100), msg(0xB1, 91, 100),
                            msg(0xB1, 1, 0), msg(0xB1, 65, 20), msg(0xB1, 66, 20), msg(0xB1, 91, 20)}));
}

TEST_F(VoicesTest, TempoGivesTheTickLengthAndIsCheckedWhenLeavingTheBox) {
    form->SD->setListIndex(0);  // 40
    EXPECT_EQ(G.BeatInterval, 188);
    EXPECT_EQ(form->Timer1->interval(), 188);
    EXPECT_EQ(form->BZDS->interval(), 376);
    for (const char* bad : {"abc", "39.4", "141"}) {
        form->SD->setText(QString::fromLatin1(bad));
        form->SD_LostFocus();
        EXPECT_EQ(form->SD->text(), QStringLiteral("39")) << bad;  // shown back from 188 ms
        EXPECT_EQ(G.BeatInterval, 188) << bad;
    }

    form->SD->setText(QStringLiteral("140"));
    form->SD_LostFocus();
    EXPECT_EQ(G.BeatInterval, 54);
    EXPECT_EQ(form->SD->text(), QStringLiteral("140"));
    form->SD->setText(QStringLiteral("39.6"));  // rounds to 40: the text's own value counts
    form->SD_LostFocus();
    EXPECT_EQ(G.BeatInterval, 189);
    EXPECT_TRUE(take().empty());
}

TEST_F(VoicesTest, KeyChangeReleasesTheSoundingNotesInTheOldKey) {
    key(kG);
    // Track 1 sounds "KE" (offset 28), track 2 "KC" (24).
    G.AccompToken(1) = 28;
    G.AccompToken(2) = 24;
    take();
    form->YD->setListIndex(2);
    const Msgs got = take();
    ASSERT_GE(got.size(), 4u);
    EXPECT_EQ(Msgs(got.begin(), got.begin() + 4),
              (Msgs{msg(0x80, 60, 0), msg(0x81, 60, 0), msg(0x82, 60, 0), msg(0x82, 48, 0)}));
    // The chord tracks are released in the old key too.
    EXPECT_EQ(Msgs(got.begin() + 4, got.end()), (Msgs{msg(0x83, 36 + 28, 0), msg(0x83, 36 + 24, 0), msg(0x84, 36 + 24, 0)}))
        << hexList(got);
    // The same key again releases nothing; typed text goes back to "C".
    form->YD_Click();
    form->YD->setText(QStringLiteral("xyz"));
    EXPECT_EQ(form->YD->text(), QStringLiteral("C"));
    EXPECT_EQ(G.BaseNote, 38);
    EXPECT_TRUE(take().empty());

    // Key A moves the notes up a ninth.
    form->YD->setListIndex(9);
    take();
    key(kG);
    EXPECT_EQ(only(take(), 0x90, 0x90), Msgs{msg(0x90, 69, 85)});
}
