#include "fuzzsupport.h"

#include "keyboard/appfolder.h"
#include "midi/midiout.h"
#include "midi/state.h"
#include "platform/dialogs.h"
#include "platform/textcodec.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace fuzzing {

void fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", condition, file, line);
    std::abort();
}

namespace {

// The application, created before the first window; offscreen unless the
// caller chose a platform.
QApplication& application() {
    static int argc = 1;
    static char name[] = "morvela-fuzz";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace

QByteArray defaultSettingsBytes() {
    return plat::toGbk(keyboard::DefaultSettingsText() + QStringLiteral("\r\n"));
}

Program& Program::instance() {
    application();
    static Program* program = new Program();  // lives to the end of the run
    return *program;
}

Program::Program() {
    ui::Timer::setHeld(true);  // no timer acts on its own: the targets run none
    keyboard::SetProgramFolder(folder.path());
    folder.write(QStringLiteral("vanto.ini"), defaultSettingsBytes());
    if (reopen()) fail("the program starts with its default settings", __FILE__, __LINE__);
}

bool Program::reopen() {
    form_.reset();
    midi::CloseMidiOut();
    midi::resetState();
    rt::clearProgramEndRequest();
    dialogs.messages.clear();
    form_ = std::make_unique<MainWindow>();
    midi::G.Form1Instance = form_.get();
    form_->Rnd = [] { return 0.5; };
    // Nothing is painted: no invariant looks at pixels, and the players'
    // event processing would paint the window at every step.
    form_->setUpdatesEnabled(false);
    try {
        form_->Show();
    } catch (const plat::ProgramEnded&) {
        return true;
    }
    return false;
}

}  // namespace fuzzing
