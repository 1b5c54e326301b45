// Morvela: an electronic keyboard for the desktop.
#include "editor/editorwindow.h"
#include "keyboard/mainwindow.h"
#include "keyboard/startupwindow.h"
#include "midi/state.h"
#include "platform/audioengine.h"
#include "platform/dialogs.h"

#include <QApplication>

namespace {
void silenceBeforeEnd() { plat::AudioEngine::instance().stop(); }

// The music editor window; a closed one is replaced by a fresh one at the
// next opening, which loads it again from its defaults.
EditorWindow* editorWindow = nullptr;

void openEditor() {
    if (editorWindow && !editorWindow->loaded()) {
        delete editorWindow;
        editorWindow = nullptr;
    }
    if (!editorWindow) editorWindow = new EditorWindow();
    editorWindow->Show();
}

void showMainWindow() {
    if (!midi::G.Form1Instance) midi::G.Form1Instance = new MainWindow();
    midi::G.Form1Instance->Show();
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvela"));
    // Standard dialogs and buttons in Chinese, as on a Simplified Chinese desktop.
    plat::loadChineseQtTranslations();
    // The main window is hidden while the editor is shown: the program ends
    // only through the goodbye window.
    QApplication::setQuitOnLastWindowClosed(false);
    plat::setEndProgramHook(silenceBeforeEnd);
    midi::Hooks.OpenEditor = openEditor;
    midi::Hooks.ShowMainWindow = showMainWindow;

    auto* splash = new StartupWindow();
    splash->Show();
    return app.exec();
}
