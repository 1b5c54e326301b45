// The start-up window: the single-instance lock, the splash, the settings file's creation and the
// hand-over to the main window.
#include "keyboard/startupwindow.h"

#include "keyboard/appfolder.h"
#include "keyboard/mainwindow.h"
#include "midi/state.h"
#include "platform/dialogs.h"
#include "platform/fileutil.h"
#include "platform/resources.h"
#include "platform/savefile.h"
#include "platform/waverecorder.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLockFile>
#include <QScreen>

#include <memory>
#include <unistd.h>

namespace {

// One lock per user: a second copy cannot take it while the first runs.
bool lockTaken() {
    static std::unique_ptr<QLockFile> lock;
    if (lock) return false;
    auto l = std::make_unique<QLockFile>(QDir::tempPath() + QStringLiteral("/morvela-%1.lock").arg(getuid()));
    l->setStaleLockTime(0);
    if (!l->tryLock(100)) return true;
    lock = std::move(l);
    return false;
}

}  // namespace

std::function<bool()> StartupWindow::OtherInstanceRunning = lockTaken;

QString StartupWindow::WelcomeText() {
    return QStringLiteral(
               "     欢迎使用Tesmir软件,本软件可使用电脑键盘以任意几种乐器进行旋律演奏及节奏伴奏,并新增音乐编辑功能,"
               "可以使用多种乐器演奏旋律和节奏，同时支持各小节各乐器的随意编辑，并由电脑自动演奏，还支持实时演奏和自动演奏的录音和重放！") +
           QStringLiteral("\n            —— Morvela 开发组");
}

StartupWindow::StartupWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Morvela"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    // 6000 x 4350 twips: 400 x 290 pixels.
    setFixedSize(400, 290);
    Picture = new ui::PictureBox(this);
    Picture->setGeometry(0, 0, 400, 291);
    Label1 = new ui::Label(this);
    // (120, 240) twips, 3855 wide. The Kai face here sets its lines a little
    // wider apart than the desktop's 楷体_GB2312, so the label is 150 pixels
    // high rather than 2055 twips (137): the credits line stays whole.
    Label1->setGeometry(8, 16, 257, 150);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont kai(QStringLiteral("AR PL UKai CN"));
    kai.setPointSize(12);
    Label1->setFont(kai);
    ui::setForeColor(Label1, ui::paletteColor(9));
    Label1->setCaption(WelcomeText());
    Command1 = new ui::CommandButton(QStringLiteral("知道了"), this);
    QFont kai10(QStringLiteral("AR PL UKai CN"));
    kai10.setPointSizeF(10.5);
    Command1->setFont(kai10);
    Command1->setGeometry(248, 248, 57, 25);
    Command1->onClick = [this] { Command1_Click(); };
    Timer1 = new ui::Timer(this);
    Timer1->setInterval(25000);
    Timer1->onTimer = [this] { Timer1_Timer(); };
}

void StartupWindow::Show() {
    Form_Load();
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect g = s->availableGeometry();
        move(g.center() - rect().center());
    }
    Timer1->setEnabled(true);
    show();
}

void StartupWindow::Form_Load() {
    if (OtherInstanceRunning && OtherInstanceRunning()) {
        plat::msgBox(QStringLiteral("你已经运行这个应用程序了！"), plat::kOkOnly);
        plat::endProgram(0);
    }
    // Only this copy runs now: what saves and takes of earlier runs left
    // behind when cut short (a power loss, a kill) goes, in the folders the
    // program saves into and in the temporary folder.
    plat::removeLeftoverSaves(keyboard::ProgramFolder());
    plat::removeLeftoverSaves(keyboard::ProgramFolder() + QStringLiteral("演奏记录/"));
    plat::removeLeftoverTakes();
    Picture->setPicture(plat::LoadResPicture(106));
    Picture->lower();
    const QString path = keyboard::ProgramFolder() + QStringLiteral("vanto.ini");
    if (plat::resolvePath(path).isEmpty()) {
        if (!keyboard::WriteDefaultSettings(path)) {
            // No file to read at the activation: this run plays with the
            // defaults held in memory, as the message says.
            keyboard::UseDefaultSettings();
            plat::msgBox(QStringLiteral("无法在程序文件夹中创建设置文件 vanto.ini，本次将使用默认设置。\n请检查文件夹是否可写：\n") +
                             keyboard::ProgramFolder(),
                         plat::kOkOnly | plat::kExclamation);
        }
    }
}

void StartupWindow::EndSplash() {
    if (ended_) return;
    ended_ = true;
    Timer1->setEnabled(false);
    if (!midi::G.Form1Instance) midi::G.Form1Instance = new MainWindow();
    midi::G.Form1Instance->Show();
    hide();
    deleteLater();
}

void StartupWindow::Timer1_Timer() { EndSplash(); }

// Closing the start-up window is taken as "知道了": the program goes on to its
// main window rather than running on with no window at all.
void StartupWindow::closeEvent(QCloseEvent* e) {
    e->ignore();
    rt::guard([this] { EndSplash(); });
}
void StartupWindow::Command1_Click() { EndSplash(); }
