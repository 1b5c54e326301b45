// Cost of recording on the sound path, printed as "name: value" lines.
//
// The program is started as usual (embedded synthesizer, real output: the
// sound server, or the null output at real-time pace). The rhythm audition
// plays drums and both chord tracks in 4/4, a melody key is struck every
// quarter second, and a wave effect loops; meanwhile the wave recorder (the
// device behind the media control strings) records at CD quality (16 bits,
// 44100 Hz, two channels). Then the take is saved and read back.
//
// The same playing runs first without recording (without_recording_*), so
// that the recorder's share can be told from the machine's own hiccups.
//
// render_blocks: mixer blocks rendered while recording.
// block_budget_ms: the playing time of one block (its deadline).
// render_block_ms_worst: the slowest block, taps included.
// underruns: times the sound server ran out of the program's sound (the
// output's deadline missed: a dropout heard), as the server reported them;
// 0 on the silent output, which has no deadline.
// frames_dropped: frames of the mix the recorder's tap could not hand to its
// writer (the writer falling behind); recorded_seconds: the saved length.
//
// Usage: recorder [--seconds N]   (N seconds each way; default 60)
#include "benchsupport.h"
#include "keyboard/appfolder.h"
#include "keyboard/mainwindow.h"
#include "keyboard/startupwindow.h"
#include "midi/state.h"
#include "platform/audioengine.h"
#include "platform/audiooutput.h"
#include "platform/sound.h"
#include "platform/textcodec.h"
#include "platform/waverecorder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void writeLoopWave(const QString& path) {
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!f) return;
    std::vector<float> data(22050);
    for (size_t i = 0; i < data.size(); ++i) data[i] = 0.1f * std::sin(2 * 3.14159265f * 330 * i / 22050);
    sf_writef_float(f, data.data(), static_cast<sf_count_t>(data.size()));
    sf_close(f);
}


}  // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::max(1, std::atoi(argv[i + 1]));
    bench::App app(argc, argv, false);
    QTemporaryDir folder;
    QFile ini(folder.filePath(QStringLiteral("vanto.ini")));
    if (ini.open(QIODevice::WriteOnly)) ini.write(plat::toGbk(keyboard::DefaultSettingsText() + QStringLiteral("\r\n")));
    ini.close();
    keyboard::SetProgramFolder(folder.path());
    MainWindow* form = bench::startAsUser();
    if (!form) return 1;
    plat::AudioEngine& engine = plat::AudioEngine::instance();

    const QString loop = folder.filePath(QStringLiteral("loop.wav"));
    writeLoopWave(loop);
    plat::sndPlaySoundA(plat::toGbk(loop).constData(), plat::kSndAsync | plat::kSndNoDefault | plat::kSndLoop);
    bench::startAccompaniment(*form);
    static const int keys[] = {71, 72, 74, 75, 76, 84, 89, 85, 73, 79};
    int strike = 0;
    QTimer melody;
    melody.setTimerType(Qt::PreciseTimer);
    QObject::connect(&melody, &QTimer::timeout, [&] { form->SFYXYZ_KeyDown(keys[strike++ % 10], 0); });
    melody.start(250);

    // The same playing first without recording, for comparison.
    auto play = [&] {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < seconds * 1000LL) QApplication::processEvents(QEventLoop::AllEvents, 50);
    };
    engine.resetRenderStats();
    play();
    const plat::AudioEngine::RenderStats baseline = engine.renderStats();

    auto recorder = std::make_unique<plat::WaveRecorder>(engine);
    recorder->set({"bitspersample", "16"});
    recorder->set({"samplespersec", "44100"});
    recorder->set({"channels", "2"});
    engine.resetRenderStats();
    if (recorder->record() != 0) return 1;
    play();
    recorder->stop();
    const plat::AudioEngine::RenderStats stats = engine.renderStats();
    melody.stop();
    form->BzQd->setValue(0);
    plat::sndPlaySoundA(nullptr, 0);

    const QString take = folder.filePath(QStringLiteral("take.wav"));
    recorder->save(QFile::encodeName(take).toStdString());
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(take).constData(), SFM_READ, &info);
    if (f) sf_close(f);

    std::printf("output: %s\n", engine.outputName().c_str());
    std::printf("seconds_played: %d\n", seconds);
    std::printf("render_blocks: %llu\n", static_cast<unsigned long long>(stats.blocks));
    std::printf("block_budget_ms: %.3f\n", 1000.0 * plat::kOutputBlockFrames / engine.sampleRate());
    std::printf("render_block_ms_worst: %.3f\n", stats.worstMs);
    std::printf("underruns: %llu\n", static_cast<unsigned long long>(stats.underruns));
    std::printf("without_recording_render_block_ms_worst: %.3f\n", baseline.worstMs);
    std::printf("without_recording_underruns: %llu\n", static_cast<unsigned long long>(baseline.underruns));
    std::printf("frames_dropped: %llu\n", static_cast<unsigned long long>(recorder->framesDropped()));
    std::printf("recorded_seconds: %.3f\n", f ? double(info.frames) / info.samplerate : -1.0);
    recorder.reset();  // its scratch file goes with it
    engine.stop();
    folder.remove();
    std::fflush(nullptr);
    std::_Exit(0);  // the windows need no orderly teardown here
}
