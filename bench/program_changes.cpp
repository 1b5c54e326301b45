// A burst of program changes through the real sound path, printed as
// "name: value" lines.
//
// The program, started as a user starts it, plays to a private PulseAudio
// server with a null sink (bench/pulseserver.h; the silent output when none
// can be started) with the soundfont it picks itself (the system's default GM
// soundfont when that is the larger), and plays the score
// 750 x "YQ5YQ6" then "KC8TZ": 1,500 instrument combinations, each a bank
// select and program change on every voice, sent at once, then one note.
//
// soundfont: the font loaded. load_ms: from the engine's start to the
// synthesizer holding the whole font; rss_mb_loaded: the program's resident
// memory then. messages_sent: the short messages the score sent (lines of the
// MIDI log); messages_refused: message boxes shown for a MIDI call (each a
// message the device did not take). underruns: the server ran out of sound
// while the score played (dropouts heard); render_ms_per_block_max: the
// slowest output block the render thread rendered meanwhile (block_ms of
// sound each).
#include "benchsupport.h"
#include "keyboard/appfolder.h"
#include "keyboard/mainwindow.h"
#include "midi/state.h"
#include "platform/audioengine.h"
#include "platform/audiooutput.h"
#include "platform/dialogs.h"
#include "platform/midiout.h"
#include "pulseserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

// Counts the message boxes, answering them as the benchmarks' dialogs do.
class CountingDialogs : public QuietDialogs {
public:
    int boxes = 0;
    int messageBox(QWidget* parent, const QString& text, int flags, const QString& title) override {
        ++boxes;
        return QuietDialogs::messageBox(parent, text, flags, title);
    }
};

double residentMb() {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void waitMs(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The program as started by a user, playing the score through the server.
void playScore(CountingDialogs& dialogs) {
    bench::PulseServer server;
    if (!server.running()) std::fprintf(stderr, "no private sound server (pulseaudio missing?): silent output\n");
    QTemporaryDir scratch;
    const QString log = scratch.filePath(QStringLiteral("midi.log"));
    plat::setMidiLogPath(QFile::encodeName(log).toStdString());
    const bench::ProgramFolder folder(true);
    keyboard::SetProgramFolder(folder.path());

    QElapsedTimer loading;
    loading.start();
    MainWindow* form = bench::startAsUser();
    if (!form) return;
    plat::AudioEngine& engine = plat::AudioEngine::instance();
    while (!engine.synth() && loading.elapsed() < 30000) QApplication::processEvents(QEventLoop::AllEvents, 1);
    const double loadMs = static_cast<double>(loading.nsecsElapsed()) / 1e6;
    const double rss = residentMb();
    waitMs(3000);  // a new stream's first writes are held by the server for a second or two

    const qint64 before = QFileInfo(log).size();
    const int boxesBefore = dialogs.boxes;
    engine.resetRenderStats();
    form->Text3->setText(QStringLiteral("YQ5YQ6").repeated(750) + QStringLiteral("KC8TZ"));
    form->Yuepu[0]->click();
    waitMs(3000);
    const plat::AudioEngine::RenderStats stats = engine.renderStats();
    int sent = 0;
    QFile f(log);
    if (f.open(QIODevice::ReadOnly)) {
        f.seek(before);
        while (!f.readLine().isEmpty()) ++sent;
    }

    std::printf("output: %s\n", engine.outputName().c_str());
    std::printf("soundfont: %s\n", engine.soundFontPath().c_str());
    std::printf("load_ms: %.1f\n", loadMs);
    std::printf("rss_mb_loaded: %.1f\n", rss);
    std::printf("messages_sent: %d\n", sent);
    std::printf("messages_refused: %d\n", dialogs.boxes - boxesBefore);
    std::printf("underruns: %llu\n", static_cast<unsigned long long>(stats.underruns));
    std::printf("block_ms: %.3f\n", 1000.0 * plat::kOutputBlockFrames / engine.sampleRate());
    std::printf("render_ms_per_block_max: %.3f\n", stats.worstMs);
    std::fflush(stdout);
    engine.stop();
}

}  // namespace

int main(int argc, char** argv) {
    bench::App app(argc, argv, true);
    CountingDialogs dialogs;
    plat::setDialogs(&dialogs);
    playScore(dialogs);
    std::fflush(nullptr);
    std::_Exit(0);  // the windows need no orderly teardown here
}
