// The editor's recorder "录音机": four option buttons (play, stop, record,
// save), the clock "当前: m:s" and the quality box. It speaks the same media
// control strings as the main window's recorder on the same alias "NN", so a
// take records what the user hears, in the sample size and rate chosen here.
// The selected option shows what the recorder is doing.
#include "editor/editorwindow.h"

#include "platform/dialogs.h"
#include "platform/sound.h"
#include "platform/textcodec.h"

#include <QFileInfo>

namespace {

enum RecorderOption { kPlay = 0, kStop = 1, kRecord = 2, kSave = 3 };

// Bits per sample and sample rate of each quality box position.
struct Quality {
    const char* item;
    const char* bits;
    const char* rate;
};
const Quality kQualities[3] = {{"CD音质", "16", "44100"}, {"好音质", "8", "44100"}, {"普通音质", "8", "22050"}};

// A path that survives the trip through the GBK command string.
bool gbkSafe(const QString& path) { return plat::fromGbk(plat::toGbk(path)) == path; }

// Quoted, so that a path with blanks stays one word of the command.
QString quoted(const QString& path) { return u'"' + path + u'"'; }

void refusePath(const QString& path) {
    plat::msgBox(QStringLiteral("文件名“%1”含有无法识别的字符，请换一个文件名再试！").arg(QFileInfo(path).fileName()),
                 plat::kOkOnly | plat::kExclamation);
}

}  // namespace

void YYBJ::buildRecorder(int top) {
    auto* title = new ui::Label(this);
    title->setCaption(QStringLiteral("录音机"));
    title->setGeometry(8, top + 4, 44, 20);
    auto* group = new QWidget(this);
    group->setGeometry(56, top, 256, 28);
    static const char* const captions[4] = {"播放", "停止", "录音", "保存录音"};
    static const int lefts[4] = {0, 56, 112, 168};
    static const int widths[4] = {54, 54, 54, 86};
    for (int i = 0; i < 4; ++i) {
        LUYINJI[i] = new ui::OptionButton(QString::fromUtf8(captions[i]), group);
        LUYINJI[i]->setGeometry(lefts[i], 4, widths[i], 20);
        LUYINJI[i]->onClick = [this, i] { LUYINJI_Click(i); };
    }
    LUYINJI[kPlay]->setToolTip(QStringLiteral("打开并播放演奏的录音或MP3音乐文件！"));
    LUYINJI[kStop]->setToolTip(QStringLiteral("停止当前的放音或录音！"));
    LUYINJI[kRecord]->setToolTip(QStringLiteral("开始录制演奏或自动演奏的音乐为wav格式音频！"));
    LUYINJI[kSave]->setToolTip(QStringLiteral("保存最新的音频记录为wav格式音频文件！"));
    LYSJ = new ui::Label(this);
    LYSJ->setCaption(QStringLiteral("当前:"));
    LYSJ->setGeometry(320, top + 4, 96, 20);
    yinzi = new ui::ComboBox(ui::ComboBox::PickList, this);
    yinzi->setGeometry(416, top + 2, 96, 24);
    yinzi->setToolTip(QStringLiteral("根据需要选择适应的录音音质！"));
    for (const Quality& q : kQualities) yinzi->addItem(QString::fromUtf8(q.item));
    yinzi->onClick = [this] { yinzi_Click(); };
    yinzi->onChange = [this] { yinzi_Click(); };
    Lyjsj = new ui::Timer(this);
    Lyjsj->setInterval(1000);
    Lyjsj->onTimer = [this] { Lyjsj_Timer(); };
}

uint32_t YYBJ::RecorderCommand(const QString& command, QString* reply) {
    char buffer[65] = {};
    const uint32_t result = plat::mciSendStringA(plat::toGbk(command).constData(), buffer, reply ? 64 : 0, 0);
    if (reply) *reply = plat::fromGbk(QByteArray(buffer));
    return result;
}

void YYBJ::yinzi_Click() {
    const int i = yinzi->listIndex();
    if (i < 0 || i > 2) return;
    RecBitsPerSample = QString::fromLatin1(kQualities[i].bits);
    RecSampleRate = QString::fromLatin1(kQualities[i].rate);
}

// Options 0, 2 and 3 unselected: the recorder is idle or stopped.
void YYBJ::UnselectRecorderOptions() {
    for (int i : {kPlay, kRecord, kSave}) LUYINJI[i]->setValue(false);
}

// Clock off and back at zero.
void YYBJ::ResetRecorderClock() {
    Lyjsj->setEnabled(false);
    LYSJ->setCaption(QStringLiteral("当前: 00:00"));
    RecMinutes = 0;
    RecSeconds = 0;
}

void YYBJ::LUYINJI_Click(int index) {
    switch (index) {
    case kRecord: RecordTake(); break;
    case kStop:
        RecorderCommand(QStringLiteral("STOP NN"));
        // The device stays open: a stopped recording can still be saved.
        Recording = false;
        ResetRecorderClock();
        break;
    case kPlay: PlayFile(); break;
    case kSave: SaveTake(); break;
    default: rt::raise(rt::kErrSubscript);
    }
}

void YYBJ::RecordTake() {
    // A second record would close the take being recorded.
    if (Recording) return;
    // "CLOSE NN" ends a file that plays; the take starts from nothing.
    RecorderCommand(QStringLiteral("CLOSE NN"));
    const uint32_t opened = RecorderCommand(QStringLiteral("OPEN NEW TYPE WaveAudio ALIAS NN"));
    RecorderCommand(QStringLiteral("Set NN assemble record off"));
    RecorderCommand(QStringLiteral("Set NN file format tag pcm"));
    RecorderCommand(QStringLiteral("Set NN algorithm pcm"));
    RecorderCommand(QStringLiteral("Set NN bitspersample ") + RecBitsPerSample);
    RecorderCommand(QStringLiteral("Set NN samplespersec ") + RecSampleRate);
    RecorderCommand(QStringLiteral("Set NN channels 2"));
    const uint32_t recording = RecorderCommand(QStringLiteral("RECORD NN"));
    if (opened != plat::kMciOk || recording != plat::kMciOk) {
        // Said, rather than a running clock over a silent nothing.
        RecorderCommand(QStringLiteral("CLOSE NN"));
        Recording = false;
        ResetRecorderClock();
        LUYINJI[kRecord]->setValue(false);
        plat::msgBox(QStringLiteral("无法录音！"), plat::kOkOnly | plat::kExclamation);
        return;
    }
    Recording = true;
    Lyjsj->setEnabled(true);
}

void YYBJ::PlayFile() {
    // Playing would close the take being recorded unsaved: refused, as in the
    // main window; the record option stays selected.
    if (Recording) {
        ui::Handler h = std::move(LUYINJI[kRecord]->onClick);
        LUYINJI[kRecord]->setValue(true);
        LUYINJI[kRecord]->onClick = std::move(h);
        return;
    }
    plat::FileDialogRequest request;
    request.filter = QStringLiteral("演奏录音(wav)|*.wav|音乐(mp3)|*.mp3");
    request.filterIndex = 1;
    request.flags = 16;
    request.initDir = DialogFolder;
    const plat::FileDialogResult chosen = plat::dialogs().fileDialog(this, request);
    const QString path = chosen.cancelled ? QString() : chosen.fileName;
    if (path.isEmpty() || !gbkSafe(path)) {
        if (!path.isEmpty()) refusePath(path);
        UnselectRecorderOptions();
        return;
    }
    EditorFileName = path;
    const QString ending = path.right(3).toLower();
    const QString type = ending == QLatin1String("wav")   ? QStringLiteral(" TYPE WaveAudio")
                         : ending == QLatin1String("mp3") ? QStringLiteral(" TYPE MPEGVideo")
                                                          : QString();
    // Only now, with a file chosen, is a stopped unsaved take given up.
    RecorderCommand(QStringLiteral("CLOSE NN"));
    uint32_t result = RecorderCommand(QStringLiteral("OPEN ") + quoted(path) + type + QStringLiteral(" ALIAS NN"));
    if (result == plat::kMciOk) {
        RecorderCommand(QStringLiteral("seek NN to start"));
        result = RecorderCommand(QStringLiteral("PLAY NN FROM 0"));
    }
    if (result != plat::kMciOk) {
        RecorderCommand(QStringLiteral("CLOSE NN"));
        ResetRecorderClock();
        UnselectRecorderOptions();
        plat::msgBox(QStringLiteral("无法播放文件“%1”！").arg(QFileInfo(path).fileName()),
                     plat::kOkOnly | plat::kExclamation);
        return;
    }
    RecMinutes = 0;
    RecSeconds = 0;
    Lyjsj->setEnabled(true);
}

void YYBJ::SaveTake() {
    plat::FileDialogRequest request;
    request.save = true;
    request.filter = QStringLiteral("演奏录音(wav)|*.wav");
    request.flags = 2;
    request.initDir = DialogFolder;
    const plat::FileDialogResult chosen = plat::dialogs().fileDialog(this, request);
    const QString path = chosen.cancelled ? QString() : chosen.fileName;
    if (path.isEmpty() || !gbkSafe(path)) {
        // The take stays open and a running recording goes on.
        if (!path.isEmpty()) refusePath(path);
        UnselectRecorderOptions();
        return;
    }
    EditorFileName = path;
    RecorderCommand(QStringLiteral("stop NN"));
    Recording = false;
    const uint32_t saved = RecorderCommand(QStringLiteral("save NN ") + quoted(path));
    ResetRecorderClock();
    UnselectRecorderOptions();
    if (saved != plat::kMciOk) {
        // Still open: the take can go to another file.
        plat::msgBox(QStringLiteral("录音没有保存成功，请换一个文件名或文件夹再试！"), plat::kOkOnly | plat::kExclamation);
        return;
    }
    RecorderCommand(QStringLiteral("close NN"));
}

void YYBJ::Lyjsj_Timer() {
    LYSJ->setCaption(QStringLiteral("当前: ") + QString::number(RecMinutes) + u':' + QString::number(RecSeconds));
    QString mode;
    RecorderCommand(QStringLiteral("status NN mode"), &mode);
    if (mode.left(7) == QLatin1String("stopped")) {
        RecorderCommand(QStringLiteral("STOP NN"));
        RecorderCommand(QStringLiteral("Close NN"));
        Recording = false;
        ResetRecorderClock();
        LUYINJI[kPlay]->setValue(false);
        return;  // the next start counts from 0:0
    }
    if (RecSeconds == 59) {
        RecMinutes = rt::add16(RecMinutes, 1);
        RecSeconds = 0;
    } else {
        RecSeconds = rt::add16(RecSeconds, 1);
    }
}

// Closing the editor: a recording or a playback started here stops with it,
// since nothing else would show its clock. The device stays open, so a
// stopped take can still be saved when the editor opens again.
void YYBJ::StopRecorder() {
    if (Lyjsj->enabled()) RecorderCommand(QStringLiteral("STOP NN"));
    Recording = false;
    ResetRecorderClock();
    for (ui::OptionButton* o : LUYINJI) o->setValue(false);
}
