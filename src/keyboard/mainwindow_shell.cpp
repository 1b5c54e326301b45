// The rest of the window shell: the web-page button and the wave volume.
#include "keyboard/mainwindow.h"

#include "platform/dialogs.h"
#include "platform/shell.h"
#include "platform/sound.h"

namespace {

// The program's web page, opened in the desktop's browser.
constexpr const char* kHomePage = "https://morvela.example.org/";

}  // namespace

void MainWindow::Command2_Click() {
    const intptr_t result = plat::ShellExecuteA(static_cast<uintptr_t>(winId()), "open", kHomePage, "", "", 1);
    // Results 1..31 are the shell's error numbers (as a 16-bit integer).
    const int16_t code = static_cast<int16_t>(static_cast<uint16_t>(result & 0xFFFF));
    if (code >= 1 && code <= 31) plat::msgBox(QStringLiteral("打开网页出错，请检查网络连接！"), plat::kOkOnly);
}

int32_t MainWindow::SetWaveVolume(int32_t lVolume, int32_t /*rVolume*/) {
    plat::waveOutSetVolume(0, static_cast<uint32_t>(lVolume));
    return 0;
}
