// Load, activation (with the settings file), device box, exit and unload of
// the main window; the page selector, the background click and the clock.
#include "keyboard/mainwindow.h"

#include "keyboard/appfolder.h"
#include "keyboard/goodbyewindow.h"
#include "keyboard/keyboardwidgets.h"
#include "midi/midiout.h"
#include "midi/recorder.h"
#include "platform/dialogs.h"
#include "platform/fileutil.h"
#include "platform/sound.h"
#include "platform/resources.h"
#include "platform/savefile.h"
#include "platform/textcodec.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QScreen>
#include <QFileInfo>

using namespace midi;

namespace {

// The longest settings line read: a number, or a sound file's name (names
// are far shorter). A longer line cannot be a setting.
constexpr int kSettingsLineBytes = 1024;

// The first `count` lines of a GBK text file (CR LF, LF or CR end a line),
// read no further than they reach: what follows them, however long, is never
// loaded. Fewer lines when the file has fewer. False when it cannot be read
// or one of those lines is longer than any setting.
bool readFirstLines(const QString& path, int count, QStringList* lines) {
    plat::GbkLineReader reader(kSettingsLineBytes);
    if (!reader.open(path)) return false;
    QString line;
    bool cut = false;
    while (lines->size() < count && reader.next(&line, &cut)) {
        if (cut) return false;
        lines->append(line);
    }
    return !reader.failed();
}

}  // namespace

void MainWindow::Show() {
    if (!loaded_) {
        loaded_ = true;
        unloaded_ = false;
        Form_Load();
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    show();
    raise();
    activateWindow();
    Form_Activate();
}

void MainWindow::Hide() { hide(); }

void MainWindow::Form_Load() {
    G.AppPath = keyboard::ProgramFolder();
    WasActivated = false;
    plat::waveOutSetVolume(0, 0x90009000u);
    FillMidiDeviceList(*ComDevies);
    // An empty device list leaves the device closed: there is nothing to choose.
    if (ComDevies->listCount() > 0) ComDevies->setListIndex(0);
    const i16 pans[8] = {64, 40, 88, 20, 108, 30, 98, 64};
    for (int c = 0; c < 8; ++c) G.ChannelPan(c) = pans[c];
}

void MainWindow::ComDevies_Click() {
    if (ComDevies->listIndex() < 0) return;
    OpenMidiOut(rt::toI16(ComDevies->itemData(ComDevies->listIndex())));
    for (int ch = 0; ch <= 2; ++ch) {
        if (G.ChannelProgram(ch) >= 1) ProgramChange(static_cast<i16>(ch), 0, rt::add16(G.ChannelProgram(ch), -1));
    }
    YXYZ();
}

void MainWindow::YXYZ() {
    SFYXYZ->setEnabled(true);
    BJCK->setEnabled(true);
    if (isVisible()) SFYXYZ->setFocus(Qt::OtherFocusReason);
}

// Reads the 52 meaningful lines of vanto.ini into the presets, pads and
// effect names. A short or bad file raises a run-time error.
void MainWindow::ReadSettingsFile() {
    const QString path = G.AppPath + QStringLiteral("vanto.ini");
    const QString found = plat::resolvePath(path);
    if (found.isEmpty() || !QFileInfo(found).isFile()) return;
    QStringList lines;
    if (!readFirstLines(found, 52, &lines)) rt::raise(rt::kErrFileIo, "vanto.ini");
    keyboard::ApplySettingsLines(lines);
}

// The settings could not be read. Where the folder allows it, the user's
// file is kept whole on disk under a backup name, the defaults replace it,
// the user is told and the program ends: the next start reads the defaults.
// Where it does not (a full disk, a read-only folder), the file stays as it
// is, this run plays with the defaults in memory, as the message says, and
// the activation goes on.
void MainWindow::SettingsReadError() {
    const QString path = G.AppPath + QStringLiteral("vanto.ini");
    const QString found = plat::resolvePath(path);
    // The user's file is replaced only once its copy is whole on disk.
    if ((found.isEmpty() || keyboard::KeepSettingsBackup(found)) && keyboard::WriteDefaultSettings(path)) {
        plat::msgBox(QStringLiteral("读取设置文件出错，软件需重新启动!"), plat::kOkOnly);
        plat::endProgram(0);
    }
    keyboard::UseDefaultSettings();
    SettingsNotKept = true;
    plat::msgBox(QStringLiteral("读取设置文件出错，且无法在软件所在的文件夹中备份或改写设置文件vanto.ini"
                                "（磁盘已满或文件夹不允许写入）。\n原设置文件保持不变，本次将使用默认设置，设置无法保存。"),
                 plat::kOkOnly | plat::kExclamation);
}

// Everything the activation does once the settings are in.
void MainWindow::ActivateWithSettings() {
    Text3->setText(G.ScoreText);
    // The editor shares the recorder: it may have saved, closed or made a take.
    BcLY->setEnabled(midi::recorder::takeToSave());
    if (!WasActivated) QDCSH();
    if (isVisible()) Text3->focusEditor();
    SFYXYZ->setEnabled(true);
    if (isVisible()) SFYXYZ->setFocus(Qt::OtherFocusReason);
    WasActivated = true;
    Timer2->setEnabled(true);
    MiniWindow = false;
    G.EffectExpression = 127;
}

void MainWindow::Form_Activate() {
    try {
        // A file that could not be read nor replaced is not read again:
        // this run keeps the defaults it was told of.
        if (!SettingsNotKept) ReadSettingsFile();
        ActivateWithSettings();
        return;
    } catch (const plat::ProgramEnded&) {
        throw;
    } catch (...) {
        // One trap over the whole activation, whatever went wrong in it.
        SettingsReadError();
    }
    // On the defaults. What fails even so cannot be mended by the settings.
    try {
        ActivateWithSettings();
    } catch (const plat::ProgramEnded&) {
        throw;
    } catch (...) {
        plat::msgBox(QStringLiteral("读取设置文件出错，软件需重新启动!"), plat::kOkOnly);
        plat::endProgram(0);
    }
}

void MainWindow::Command1_Click() {
    CloseMidiOut();
    Unload();
    if (!G.Form3Instance) G.Form3Instance = new GoodbyeWindow();
    G.Form3Instance->Show();
}

void MainWindow::Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    Form_Unload();
}

void MainWindow::Form_Unload() {
    CloseMidiOut();
    char reply[2] = "0";
    plat::mciSendStringA("CLOSE NN", reply, 0, 0);
    // Unloaded: its clocks stop with it.
    for (ui::Timer* t : {Timer1, Timer2, Timer3, Timer4, HXYS, BZDS}) t->setEnabled(false);
    Lyjsj->setEnabled(false);
    hide();
    loaded_ = false;
    if (!G.Form3Instance) G.Form3Instance = new GoodbyeWindow();
    G.Form3Instance->Show();
}

// "编辑": the music editor takes over the device, the key and the tick.
// Nothing of this window may go on sounding or ticking behind it: the
// auditions stop (with their own note-offs), the looping effect ends and
// every clock stops; the activation starts the clock label again on return.
void MainWindow::BJCK_Click() {
    if (!Hooks.OpenEditor) return;  // a program without the editor keeps this window
    if (BzQd->value() == 1) BzQd->setValue(0);
    if (Check6->value() == 1) Check6->setValue(0);
    plat::sndPlaySoundA(nullptr, 0);
    if (AutoPlayRunning || Timer3->enabled()) {
        // A score play ends: its note falls silent and the play button and
        // the score box are ready again when the editor hands the window back.
        StopScorePlay();
    } else {
        // A live take ends as the stop key ends it (its clock would have
        // closed it), and the note and chord tracks it left sounding stop.
        if (Timer1->enabled()) CloseTake();
        ReleaseMelodyNote(G.LastNoteOffset);
        HX1K();
        HX2K();
    }
    // A chord effect or bar chord still fading is cut off as its fade's end would.
    if (Timer4->enabled()) {
        for (int i = 0; i <= 63; ++i) NoteOff(5, rt::add16(G.BaseNote, i));
    }
    for (ui::Timer* t : {Timer1, Timer2, Timer3, Timer4, HXYS, BZDS}) t->setEnabled(false);
    AutoPlayRunning = false;
    // The activation that brings this window back copies ScoreText into the
    // box: what the box holds, typed or played, is kept.
    G.ScoreText = Text3->text();
    Hooks.OpenEditor();
    Hide();
}

void MainWindow::Form_Click() {
    MiniWindow = !MiniWindow;
    // 6210 x 3510 twips outside: 414 x 234 pixels; normal 994 x 376 outside.
    if (MiniWindow) setFixedSize(414 - 6, 234 - 32);
    else setFixedSize(988, 344);
}

void MainWindow::Xxk_Click(int index) {
    static const char* status[6] = {"旋律调整。。。", "和弦调整。。。", "节奏调整。。。", "", "查看帮助。。。", "键位设置。。。"};
    static const char* hints[6] = {"选择即将使用的乐器以及旋律的音调音量等参数！", "选择即将使用的乐器以及音量等参数！",
                                   "选择即将使用的乐器以及设置节奏类型音量等参数！", "",
                                   "了解本软件的各种功能及使用技巧等！",
                                   "设置常用的快速切换按键值，保存以后下次使用本软件时将自动加载最后的设置！"};
    if (index < 0 || index > 5 || index == 3) rt::raise(rt::kErrSubscript);
    for (int i = 0; i < 6; ++i) {
        if (Jiezhou[i]) Jiezhou[i]->setVisible(i == index);
    }
    FJWZ->setCaption(QString::fromUtf8(status[index]));
    XSWB->setCaption(QString::fromUtf8(hints[index]));
    if (index == 4) {
        // The help page always opens on its first topic.
        if (Option2[0]->value()) Option2_Click(0);
        else Option2[0]->setValue(true);
    }
    if (index == 5) ShowKeySettingsPage();
    SFYXYZ->setEnabled(true);
    if (isVisible()) SFYXYZ->setFocus(Qt::OtherFocusReason);
}

void MainWindow::Jiezhou_Click(int) { YXYZ(); }

void MainWindow::Option2_Click(int index) {
    if (index < 0 || index > 6) rt::raise(rt::kErrSubscript);
    Text1->setText(plat::LoadResString(500 + index));
    YXYZ();
}

// The keyboard map: a click enlarges it over the top of the window, the next
// one puts it back.
void MainWindow::Image3_Click() {
    if (!KeyMapShown) {
        Picture2->setGeometry(0, 0, 988, 204);
        Picture2->raise();
        Label3->setCaption(QStringLiteral("点击图片收回键盘分布"));
    } else {
        Picture2->setGeometry(408, 150, 175, 51);
        Label3->setCaption(QStringLiteral("点击图片查看键盘分布"));
    }
    KeyMapShown = !KeyMapShown;
}

void MainWindow::Timer2_Timer() {
    SjXs->setCaption(Now().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")));
    SFYXYZ->setEnabled(true);
    BJCK->setEnabled(true);
    QString t = Label8->caption();
    if (!t.isEmpty()) Label8->setCaption(t.mid(1) + t.left(1));
}
