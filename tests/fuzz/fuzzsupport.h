// What the fuzz targets share: the application on Qt's offscreen platform,
// one main window per process on capture MIDI devices in a scratch program
// folder with dialogs that record every message box and answer OK, and a
// check that stops the run (libFuzzer then keeps the input) when an
// invariant does not hold.
#pragma once

#include "keyboard/mainwindow.h"
#include "support/testsupport.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace fuzzing {

// Stops the run with the failed condition and where it is.
[[noreturn]] void fail(const char* condition, const char* file, int line);
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : ::fuzzing::fail(#cond, __FILE__, __LINE__))

// The program as the targets drive it. Created at the first call.
class Program {
public:
    static Program& instance();

    // Shows a new main window over the folder as it is now, as at a start of
    // the program; true when the program ended during the showing.
    bool reopen();
    MainWindow& window() { return *form_; }

    testing_support::TestDialogs dialogs;
    testing_support::CaptureDevices devices;
    testing_support::ScratchFolder folder;

private:
    Program();
    std::unique_ptr<MainWindow> form_;
};

// The settings file as the program writes it.
QByteArray defaultSettingsBytes();

}  // namespace fuzzing
