// What the rhythm audition really sounds like: the main window on the
// embedded synthesizer, the engine rendered by hand beat by beat, the mix
// written to a wave file through the recorder tap, and the file's level
// measured per beat. Drums alone, chords alone, and both together must be
// audible on every beat.
#include "keyboard/appfolder.h"
#include "keyboard/mainwindow.h"
#include "midi/midiout.h"
#include "midi/state.h"
#include "platform/audioengine.h"
#include "platform/textcodec.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace midi;

namespace {

constexpr int kRate = 44100;
constexpr int kBeats = 8;  // two bars of 4/4

struct Recording {
    std::vector<double> beatRms;
};

// Runs the audition for kBeats beats and returns the level of each beat as
// read back from the wave file the tap wrote.
Recording audition(bool drums, bool chords, const QString& wavPath) {
    testing_support::TestDialogs dialogs;
    testing_support::ScratchFolder folder;
    resetState();
    keyboard::SetProgramFolder(folder.path());
    folder.write(QStringLiteral("vanto.ini"), plat::toGbk(keyboard::DefaultSettingsText() + QStringLiteral("\r\n")));
    plat::resetMidiDeviceTable();  // the embedded synthesizer
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    EXPECT_TRUE(engine.start(plat::AudioEngine::Output::Manual));

    // The recorder's tap writes every mixed block to the wave file.
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(wavPath.toLocal8Bit().constData(), SFM_WRITE, &info);
    EXPECT_NE(out, nullptr);
    int tap = engine.addTap([out](const float* frames, int n) { sf_writef_float(out, frames, n); });

    auto form = std::make_unique<Form1>();
    G.Form1Instance = form.get();
    form->Rnd = [] { return 0.0; };
    form->Show();
    form->Option1[2]->setValue(true);  // 4/4
    // Two bass drums and a snare.
    form->LblInst[0]->setListIndex(0);
    form->LblInst[1]->setListIndex(1);
    form->LblInst[2]->setListIndex(3);
    for (int c = 0; c <= 16; ++c) {
        form->BZA[c]->setValue(drums && c % 4 == 0 ? 1 : 0);
        form->BZB[c]->setValue(drums && c % 4 == 2 ? 1 : 0);
        form->BZC[c]->setValue(drums && c % 2 == 0 ? 1 : 0);
    }
    form->xuanyue->setListIndex(chords ? 1 : 0);  // piano on both chord tracks
    form->Check5->setValue(chords ? 1 : 0);
    form->Check8->setValue(chords ? 1 : 0);
    form->Text6->setText(QStringLiteral("145"));
    form->Text6_LostFocus();
    form->BzQd->setValue(1);

    // One audition tick is a sixteenth: four per beat.
    const int tickFrames = static_cast<int>(std::lround(kRate * form->BZDS->interval() / 1000.0));
    std::vector<float> block(static_cast<size_t>(tickFrames) * 2);
    for (int tick = 0; tick < kBeats * 4; ++tick) {
        form->BZDS_Timer();
        engine.render(block.data(), tickFrames);
    }
    // Exactly the ticks given here ran (no clock of the window ticked by
    // itself between the blocks): two whole bars, back at their start, the
    // chord order "145" two chords on.
    EXPECT_EQ(G.RhythmStep, 0);
    EXPECT_EQ(G.DrumStep, 0);
    EXPECT_EQ(form->AccompTick, 0);
    EXPECT_EQ(G.ChordIndex, 3);
    EXPECT_EQ(G.EffectFadeTicks, 0) << "the bar chord's fade clock ran by itself";
    form->BzQd->setValue(0);
    engine.removeTap(tap);
    sf_close(out);
    form.reset();
    G.Form1Instance = nullptr;
    CloseMidiOut();
    keyboard::SetProgramFolder(QString());

    // Read the file back and measure it beat by beat.
    Recording r;
    SF_INFO in{};
    SNDFILE* f = sf_open(wavPath.toLocal8Bit().constData(), SFM_READ, &in);
    EXPECT_NE(f, nullptr);
    if (!f) return r;
    std::vector<float> all(static_cast<size_t>(in.frames) * 2);
    sf_readf_float(f, all.data(), in.frames);
    sf_close(f);
    const size_t beatFrames = static_cast<size_t>(tickFrames) * 4;
    for (int b = 0; b < kBeats; ++b) {
        double sum = 0;
        size_t n = 0;
        for (size_t i = b * beatFrames * 2; i < (b + 1) * beatFrames * 2 && i < all.size(); ++i, ++n) sum += all[i] * all[i];
        r.beatRms.push_back(n ? std::sqrt(sum / n) : 0);
    }
    return r;
}

}  // namespace

TEST(AuditionSound, DrumsAndChordsAreHeardOnEveryBeat) {
    QTemporaryDir dir;
    const Recording drums = audition(true, false, dir.filePath(QStringLiteral("drums.wav")));
    const Recording chords = audition(false, true, dir.filePath(QStringLiteral("chords.wav")));
    const Recording both = audition(true, true, dir.filePath(QStringLiteral("both.wav")));
    ASSERT_EQ(both.beatRms.size(), static_cast<size_t>(kBeats));
    for (int b = 0; b < kBeats; ++b) {
        SCOPED_TRACE(b);
        EXPECT_GT(drums.beatRms[b], 0.006);
        EXPECT_GT(chords.beatRms[b], 0.006);
        EXPECT_GT(both.beatRms[b], std::max(drums.beatRms[b], chords.beatRms[b]) * 0.8);
        EXPECT_LT(both.beatRms[b], 0.7);  // loud but not clipping
    }
}
