// The wave recorder and player under the pages: three picture buttons (play,
// stop, record), the clock label and "保存". Everything is done with media
// control strings on the one alias "NN"; what is recorded is what the user
// hears, the mix of the synthesizer, the effects and any playback.
#include "keyboard/mainwindow.h"

#include "platform/dialogs.h"
#include "platform/resources.h"
#include "platform/sound.h"
#include "platform/textcodec.h"

#include <QFileInfo>
#include <QHideEvent>

namespace {

enum RecorderButton { kPlay = 0, kStop = 1, kRecord = 2 };

// A path that survives the trip through the GBK command string.
bool gbkSafe(const QString& path) { return plat::fromGbk(plat::toGbk(path)) == path; }

QString quoted(const QString& path) { return u'"' + path + u'"'; }

void refusePath(const QString& path) {
    plat::msgBox(QStringLiteral("文件名“%1”含有无法识别的字符，请换一个文件名再试！").arg(QFileInfo(path).fileName()),
                 plat::kOkOnly | plat::kExclamation);
}

}  // namespace

void Form1::buildRecorder() {
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

void Form1::ShowRecorderPicture(int button, int resourceId) {
    Image1[button]->setPicture(RecorderButtonPictures[resourceId - plat::kResPlayUp]);
}

uint32_t Form1::RecorderCommand(const QString& command, QString* reply) {
    char buffer[65] = {};
    const uint32_t result = plat::mciSendStringA(plat::toGbk(command).constData(), buffer, reply ? 64 : 0, 0);
    if (reply) *reply = plat::fromGbk(QByteArray(buffer));
    return result;
}

// Back to idle: buttons up, clock stopped at zero.
void Form1::RecorderIdle(const QString& status) {
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

void Form1::Image1_Click(int index) {
    if (index == kRecord) {
        if (IsPlayingBack) {
            ShowRecorderPicture(kRecord, plat::kResRecordUp);
            return;
        }
        // A second record click would close the take being recorded.
        if (IsRecording) return;
        ShowRecorderPicture(kRecord, plat::kResRecordDown);
        ShowRecorderPicture(kStop, plat::kResStopUp);
        RecorderCommand(QStringLiteral("CLOSE NN"));
        const uint32_t opened = RecorderCommand(QStringLiteral("OPEN NEW TYPE WaveAudio ALIAS NN"));
        for (const char* setting : {"Set NN assemble record off", "Set NN file format tag pcm", "Set NN algorithm pcm",
                                    "Set NN bitspersample 8", "Set NN samplespersec 44100", "Set NN channels 2"})
            RecorderCommand(QString::fromLatin1(setting));
        const uint32_t recording = RecorderCommand(QStringLiteral("RECORD NN"));
        if (opened != plat::kMciOk || recording != plat::kMciOk) {
            RecorderCommand(QStringLiteral("CLOSE NN"));
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
        RecorderCommand(QStringLiteral("STOP NN"));
        // The device stays open: a stopped recording can still be saved.
        RecorderIdle(QStringLiteral("录音机已停止。。。"));
    } else if (index == kPlay) {
        if (IsRecording) {
            ShowRecorderPicture(kPlay, plat::kResPlayUp);
            return;
        }
        ShowRecorderPicture(kPlay, plat::kResPlayDown);
        ShowRecorderPicture(kStop, plat::kResStopUp);
        plat::FileDialogRequest request;
        request.filter = QStringLiteral("演奏录音(wav)|*.wav|音乐(mp3)|*.mp3");
        request.filterIndex = 1;
        request.flags = 16;
        request.initDir = DialogFolder;
        const plat::FileDialogResult chosen = plat::dialogs().fileDialog(this, request);
        const QString path = chosen.cancelled ? QString() : chosen.fileName;
        if (path.isEmpty() || !gbkSafe(path)) {
            if (!path.isEmpty()) refusePath(path);
            ShowRecorderPicture(kPlay, plat::kResPlayUp);
            return;
        }
        LastOpenedFile = path;
        PlaybackFileCopy = path;
        const QString ending = path.right(3).toLower();
        const QString type = ending == QLatin1String("wav")   ? QStringLiteral(" TYPE WaveAudio")
                             : ending == QLatin1String("mp3") ? QStringLiteral(" TYPE MPEGVideo")
                                                              : QString();
        // Only now, with a file chosen, is an unsaved recording given up.
        RecorderCommand(QStringLiteral("CLOSE NN"));
        BcLY->setEnabled(false);
        uint32_t result = RecorderCommand(QStringLiteral("OPEN ") + quoted(path) + type + QStringLiteral(" ALIAS NN"));
        if (result == plat::kMciOk) {
            RecorderCommand(QStringLiteral("seek NN to start"));
            result = RecorderCommand(QStringLiteral("PLAY NN FROM 0"));
        }
        if (result != plat::kMciOk) {
            RecorderCommand(QStringLiteral("CLOSE NN"));
            RecorderIdle(QStringLiteral("无法播放这个文件。。。"));
            plat::msgBox(QStringLiteral("无法播放文件“%1”！").arg(QFileInfo(path).fileName()),
                         plat::kOkOnly | plat::kExclamation);
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

void Form1::BcLY_Click() {
    plat::FileDialogRequest request;
    request.save = true;
    request.filter = QStringLiteral("演奏录音(wav)|*.wav");
    request.flags = 2;
    request.initDir = DialogFolder;
    const plat::FileDialogResult chosen = plat::dialogs().fileDialog(this, request);
    if (chosen.cancelled || chosen.fileName.isEmpty()) {
        FJWZ->setCaption(QStringLiteral("没有保存录音。。。"));
        return;
    }
    const QString path = chosen.fileName;
    if (!gbkSafe(path)) {
        refusePath(path);
        FJWZ->setCaption(QStringLiteral("没有保存录音。。。"));
        return;
    }
    RecorderCommand(QStringLiteral("stop NN"));
    if (RecorderCommand(QStringLiteral("save NN ") + quoted(path)) != plat::kMciOk) {
        // The take stays open and "保存" enabled: it can go to another file.
        RecorderIdle(QStringLiteral("没有保存录音。。。"));
        plat::msgBox(QStringLiteral("录音没有保存成功，请换一个文件名或文件夹再试！"), plat::kOkOnly | plat::kExclamation);
        return;
    }
    RecorderCommand(QStringLiteral("close NN"));
    BcLY->setEnabled(false);
    RecorderIdle(QStringLiteral("成功保存录音。。。"));
}

void Form1::Lyjsj_Timer() {
    Label12->setCaption(QString::number(RecorderMinutes) + u':' + QString::number(RecorderSeconds));
    QString mode;
    RecorderCommand(QStringLiteral("status NN mode"), &mode);
    if (mode.left(7) == QLatin1String("stopped")) {
        RecorderCommand(QStringLiteral("STOP NN"));
        RecorderCommand(QStringLiteral("Close NN"));
        BcLY->setEnabled(false);  // closed: nothing is left to save
        ShowRecorderPicture(kStop, plat::kResStopDown);
        RecorderIdle(QStringLiteral("录音机已停止。。。"));
        return;  // the clock starts again from 0:0
    }
    if (RecorderSeconds == 59) {
        RecorderMinutes = rt::add16(RecorderMinutes, 1);
        RecorderSeconds = 0;
    } else {
        RecorderSeconds = rt::add16(RecorderSeconds, 1);
    }
}

void Form1::StopRecorder() {
    if (unloaded_ || !(IsRecording || IsPlayingBack)) return;
    Image1_Click(kStop);
}

void Form1::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    // Hidden by the program (the music editor opening), not minimised.
    if (!e->spontaneous()) rt::guard([this] { StopRecorder(); });
}
