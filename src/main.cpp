// Morvela: an electronic keyboard for the desktop.
#include "keyboard/startupwindow.h"
#include "platform/audioengine.h"
#include "platform/dialogs.h"

#include <QApplication>

namespace {
void silenceBeforeEnd() { plat::AudioEngine::instance().stop(); }
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

    auto* splash = new DZQQD();
    splash->Show();
    return app.exec();
}
