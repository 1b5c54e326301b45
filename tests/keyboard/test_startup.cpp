// Start of the main window: load, first activation, settings file.
#include "form1fixture.h"

#include <QFile>

using namespace midi;

TEST_F(Form1Test, LoadOpensTheMapperAndSetsPans) {
    EXPECT_NE(G.MidiOutHandle, 0u);
    EXPECT_EQ(form->ComDevies->listIndex(), 0);
    EXPECT_EQ(G.ChannelPan(4), 108);
    EXPECT_EQ(G.ChannelPan(8), 0);
    EXPECT_TRUE(form->WasActivated);
    EXPECT_EQ(G.AppPath, folder.path());
}

TEST_F(Form1Test, SettingsFileReadAtActivation) {
    EXPECT_EQ(G.InstrumentPresets(5, 0), 17);
    EXPECT_EQ(G.InstrumentPresets(5, 1), 54);
    EXPECT_EQ(G.InstrumentPresets(5, 2), 4);
    EXPECT_EQ(G.DrumPadSounds(2), 22);
    EXPECT_EQ(G.RhythmPattern(5, 2).Message, 0x99 + (22 + 35) * 256 + 100 * 65536);
    EXPECT_EQ(G.SoundEffectNames(1), QStringLiteral("雷声3.WAV"));
}
