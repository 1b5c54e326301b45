// Start-up to the first window, against a bare Qt window in the same run,
// printed as "name: value" lines.
//
// The benchmark starts itself as a child process, in turn in each mode,
// seven times each; every child prints the milliseconds from the start of
// its main() until its window is exposed (mapped, on a windowing system):
//   bare:    a QApplication and one empty QWidget;
//   program: as the program starts: the QApplication, the Chinese Qt
//            translations, and the start-up window;
//   main:    then the main window at once (the start-up window dismissed
//            by its button), the synthesizer opened as the window loads.
// bare_window_ms_median, first_window_ms_median, main_window_ms_median;
// first_window_ratio, main_window_ratio: each against the bare window.
// Runs on the platform QT_QPA_PLATFORM names (offscreen when unset).
#include "benchsupport.h"
#include "keyboard/appfolder.h"
#include "keyboard/mainwindow.h"
#include "keyboard/startupwindow.h"
#include "midi/state.h"
#include "platform/audioengine.h"
#include "platform/dialogs.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double untilExposed(QWidget* w, Clock::time_point t0) {
    while (!w->windowHandle() || !w->windowHandle()->isExposed())
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

int child(const std::string& mode, Clock::time_point t0, int argc, char** argv) {
    bench::App app(argc, argv, true);
    double ms = -1;
    if (mode == "bare") {
        QWidget w;
        w.resize(400, 300);
        w.show();
        ms = untilExposed(&w, t0);
    } else {
        plat::loadChineseQtTranslations();
        const bench::ProgramFolder folder(false);
        keyboard::SetProgramFolder(folder.path());
        StartupWindow::OtherInstanceRunning = [] { return false; };
        auto* splash = new StartupWindow();
        splash->Show();
        if (mode == "program") {
            ms = untilExposed(splash, t0);
        } else {
            splash->Command1_Click();
            if (midi::G.Form1Instance) ms = untilExposed(midi::G.Form1Instance, t0);
        }
    }
    std::printf("%.3f\n", ms);
    std::fflush(stdout);
    std::_Exit(0);
}

double runChild(const char* self, const char* mode) {
    const std::string command = std::string("'") + self + "' --child " + mode;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return -1;
    double ms = -1;
    if (std::fscanf(p, "%lf", &ms) != 1) ms = -1;
    pclose(p);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const auto t0 = Clock::now();
    if (argc > 2 && std::strcmp(argv[1], "--child") == 0) return child(argv[2], t0, argc, argv);
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return 1;
    std::vector<double> bare, first, main;
    for (int i = 0; i < 7; ++i) {
        bare.push_back(runChild(self, "bare"));
        first.push_back(runChild(self, "program"));
        main.push_back(runChild(self, "main"));
    }
    const double b = bench::median(bare), f = bench::median(first), m = bench::median(main);
    std::printf("bare_window_ms_median: %.3f\n", b);
    std::printf("first_window_ms_median: %.3f\n", f);
    std::printf("main_window_ms_median: %.3f\n", m);
    std::printf("first_window_ratio: %.3f\n", b > 0 ? f / b : -1);
    std::printf("main_window_ratio: %.3f\n", b > 0 ? m / b : -1);
    return 0;
}
