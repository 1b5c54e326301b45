// Shared main of the test programs: Qt's offscreen platform unless a platform is named, a QApplication for window
// tests, a private HOME and one soundfont.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR"}) qputenv(name, home.path().toLocal8Bit());
    // Tests that listen to the synthesizer hear one soundfont whichever General MIDI fonts the machine has: the one
    // the install script installs.
    qputenv("MORVELA_SOUNDFONT", "/usr/share/sounds/sf2/TimGM6mb.sf2");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
