// The wave recorder and player under the pages: three picture buttons (play,
// stop, record), the clock label and "保存". The device is driven by the
// recorder commands the editor sends too (midi/recorder.h), in 8 bits at
// 44100 samples a second.
#include "keyboard/mainwindow.h"

#include "midi/recorder.h"
#include "platform/resources.h"

#include <QHideEvent>

namespace recorder = midi::recorder;

namespace {

enum RecorderButton { kPlay = 0, kStop = 1, kRecord = 2 };

}  // namespace

void MainWindow::buildRecorder() {
    for (int i = 0; i < 6; ++i) RecorderButtonPictures[i] = plat::LoadResPicture(plat::kResPlayUp + i);
    auto* title = new ui::Label(this);
    title->setCaption(QStringLiteral("录音机"));
    title->setGeometry(8, 182, 42, 18);
    static const char* tips[3] = {"打开并播放演奏的录音或MP3音乐文件！", "停止当前的放音或录音！",
                                  "开始录制演奏或自动演奏的音乐为wav格式音频！"};
    for (int i = 0; i < 3; ++i) {
        Image1[i] = new ui::PictureBox(this);
        Image1[i]->setGeometry(52 + 23 * i, 181, 20, 20);
        Image1[i]->setToolTip(QString::fromUtf8(tips[i]));
        Image1[i]->setFocusPolicy(Qt::NoFocus);
        Image1[i]->onClick = [this, i] { Image1_Click(i); };
    }
    ShowRecorderPicture(kPlay, plat::kResPlayUp);
    ShowRecorderPicture(kStop, plat::kResStopUp);
    ShowRecorderPicture(kRecord, plat::kResRecordUp);
    Label12 = new ui::Label(this);
    Label12->setCaption(QStringLiteral("00:00"));
    Label12->setGeometry(124, 182, 44, 18);
    Label12->setAlignment(Qt::AlignCenter);
    BcLY = new ui::CommandButton(QStringLiteral("保存"), this);
    BcLY->setGeometry(170, 180, 52, 21);
    BcLY->setToolTip(QStringLiteral("保存最后的录音文件为wav格式音频！"));
    BcLY->setEnabled(false);
    BcLY->onClick = [this] { BcLY_Click(); };
    Lyjsj = new ui::Timer(this);
    Lyjsj->setInterval(1000);
    Lyjsj->onTimer = [this] { Lyjsj_Timer(); };
}

void MainWindow::ShowRecorderPicture(int button, int resourceId) {
    Image1[button]->setPicture(RecorderButtonPictures[resourceId - plat::kResPlayUp]);
}

// Back to idle: buttons up, clock stopped at zero.
void MainWindow::RecorderIdle(const QString& status) {
    ShowRecorderPicture(kPlay, plat::kResPlayUp);
    ShowRecorderPicture(kRecord, plat::kResRecordUp);
    IsRecording = false;
    IsPlayingBack = false;
    FJWZ->setCaption(status);
    Lyjsj->setEnabled(false);
    Label12->setCaption(QStringLiteral("00:00"));
    RecorderMinutes = 0;
    RecorderSeconds = 0;
}

void MainWindow::Image1_Click(int index) {
    if (index == kRecord) {
        if (IsPlayingBack) {
            ShowRecorderPicture(kRecord, plat::kResRecordUp);
            return;
        }
        // A second record click would close the take being recorded.
        if (IsRecording) return;
        ShowRecorderPicture(kRecord, plat::kResRecordDown);
        ShowRecorderPicture(kStop, plat::kResStopUp);
        if (!recorder::startTake(QStringLiteral("8"), QStringLiteral("44100"))) {
            BcLY->setEnabled(false);
            RecorderIdle(QStringLiteral("无法录音。。。"));
            return;
        }
        IsRecording = true;
        XSWB->setCaption(QStringLiteral("当录音重放出现沙哑杂音失真等情况时请适当调整系统音量中的各音源音量大小！"));
        FJWZ->setCaption(QStringLiteral("录音中,请安静。。"));
        BcLY->setEnabled(true);
        Lyjsj->setEnabled(true);
    } else if (index == kStop) {
        ShowRecorderPicture(kStop, plat::kResStopDown);
        recorder::stop();
        RecorderIdle(QStringLiteral("录音机已停止。。。"));
    } else if (index == kPlay) {
        if (IsRecording) {
            ShowRecorderPicture(kPlay, plat::kResPlayUp);
            return;
        }
        ShowRecorderPicture(kPlay, plat::kResPlayDown);
        ShowRecorderPicture(kStop, plat::kResStopUp);
        const QString path = recorder::askFileToPlay(this, DialogFolder);
        if (path.isEmpty()) {
            ShowRecorderPicture(kPlay, plat::kResPlayUp);
            return;
        }
        LastOpenedFile = path;
        // Only now, with a file chosen, is an unsaved recording given up.
        BcLY->setEnabled(false);
        if (!recorder::playFile(path)) {
            RecorderIdle(QStringLiteral("无法播放这个文件。。。"));
            recorder::reportUnplayable(path);
            return;
        }
        IsPlayingBack = true;
        RecorderMinutes = 0;
        RecorderSeconds = 0;
        XSWB->setCaption(QStringLiteral("当录音重放无声时请按帮助文档中的方法设置系统音量属性！"));
        FJWZ->setCaption(QStringLiteral("正在播放录音。。。"));
        Lyjsj->setEnabled(true);
    }
}

void MainWindow::BcLY_Click() {
    const QString path = recorder::askFileToSave(this, DialogFolder);
    if (path.isEmpty()) {
        FJWZ->setCaption(QStringLiteral("没有保存录音。。。"));
        return;
    }
    if (!recorder::saveTake(path)) {
        // The take stays open and "保存" enabled: it can go to another file.
        RecorderIdle(QStringLiteral("没有保存录音。。。"));
        recorder::reportUnsaved();
        return;
    }
    BcLY->setEnabled(false);
    RecorderIdle(QStringLiteral("成功保存录音。。。"));
}

void MainWindow::Lyjsj_Timer() {
    Label12->setCaption(QString::number(RecorderMinutes) + u':' + QString::number(RecorderSeconds));
    const recorder::Poll found = recorder::poll();
    if (found != recorder::Poll::Running) {
        // Closed when it ended: nothing is left to save. A take that could
        // not be written on stays savable, and the user is told, after the
        // clock has stopped.
        if (found == recorder::Poll::Ended) BcLY->setEnabled(false);
        ShowRecorderPicture(kStop, plat::kResStopDown);
        RecorderIdle(QStringLiteral("录音机已停止。。。"));
        if (found == recorder::Poll::CannotSpool) recorder::reportCannotSpool();
        return;  // the clock starts again from 0:0
    }
    recorder::countSecond(RecorderMinutes, RecorderSeconds);
}

void MainWindow::StopRecorder() {
    if (unloaded_ || !(IsRecording || IsPlayingBack)) return;
    Image1_Click(kStop);
}

void MainWindow::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    // Hidden by the program (the music editor opening), not minimised.
    if (!e->spontaneous()) rt::guard([this] { StopRecorder(); });
}
