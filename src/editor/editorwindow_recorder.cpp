// The editor's recorder "录音机": four option buttons (play, stop, record,
// save), the clock "当前: m:s" and the quality box. It sends the same recorder
// commands as the main window (midi/recorder.h) to the same device, so a take
// records what the user hears, in the sample size and rate chosen here.
// The selected option shows what the recorder is doing.
#include "editor/editorwindow.h"

#include "midi/recorder.h"
#include "platform/dialogs.h"

namespace recorder = midi::recorder;

namespace {

enum RecorderOption { kPlay = 0, kStop = 1, kRecord = 2, kSave = 3 };

// Bits per sample and sample rate of each quality box position.
struct Quality {
    const char* item;
    const char* bits;
    const char* rate;
};
const Quality kQualities[3] = {{"CD音质", "16", "44100"}, {"好音质", "8", "44100"}, {"普通音质", "8", "22050"}};

}  // namespace

void EditorWindow::buildRecorder(int top) {
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

void EditorWindow::yinzi_Click() {
    const int i = yinzi->listIndex();
    if (i < 0 || i > 2) return;
    RecBitsPerSample = QString::fromLatin1(kQualities[i].bits);
    RecSampleRate = QString::fromLatin1(kQualities[i].rate);
}

// Options 0, 2 and 3 unselected: the recorder is idle or stopped.
void EditorWindow::UnselectRecorderOptions() {
    for (int i : {kPlay, kRecord, kSave}) LUYINJI[i]->setValue(false);
}

// Clock off and back at zero.
void EditorWindow::ResetRecorderClock() {
    Lyjsj->setEnabled(false);
    LYSJ->setCaption(QStringLiteral("当前: 00:00"));
    RecMinutes = 0;
    RecSeconds = 0;
}

void EditorWindow::LUYINJI_Click(int index) {
    switch (index) {
    case kRecord: RecordTake(); break;
    case kStop:
        recorder::stop();
        Recording = false;
        ResetRecorderClock();
        break;
    case kPlay: PlayFile(); break;
    case kSave: SaveTake(); break;
    default: rt::raise(rt::kErrSubscript);
    }
}

void EditorWindow::RecordTake() {
    // A second record would close the take being recorded.
    if (Recording) return;
    if (!recorder::startTake(RecBitsPerSample, RecSampleRate)) {
        // Said, rather than a running clock over a silent nothing.
        Recording = false;
        ResetRecorderClock();
        LUYINJI[kRecord]->setValue(false);
        plat::msgBox(QStringLiteral("无法录音！"), plat::kOkOnly | plat::kExclamation);
        return;
    }
    Recording = true;
    Lyjsj->setEnabled(true);
}

void EditorWindow::PlayFile() {
    // Playing would close the take being recorded unsaved: refused, as in the
    // main window; the record option stays selected.
    if (Recording) {
        ui::Handler h = std::move(LUYINJI[kRecord]->onClick);
        LUYINJI[kRecord]->setValue(true);
        LUYINJI[kRecord]->onClick = std::move(h);
        return;
    }
    const QString path = recorder::askFileToPlay(this, DialogFolder);
    if (path.isEmpty()) {
        UnselectRecorderOptions();
        return;
    }
    EditorFileName = path;
    // Only now, with a file chosen, is a stopped unsaved take given up.
    if (!recorder::playFile(path)) {
        ResetRecorderClock();
        UnselectRecorderOptions();
        recorder::reportUnplayable(path);
        return;
    }
    RecMinutes = 0;
    RecSeconds = 0;
    Lyjsj->setEnabled(true);
}

void EditorWindow::SaveTake() {
    const QString path = recorder::askFileToSave(this, DialogFolder);
    if (path.isEmpty()) {
        // The take stays open and a running recording goes on.
        UnselectRecorderOptions();
        return;
    }
    EditorFileName = path;
    const bool saved = recorder::saveTake(path);
    Recording = false;
    ResetRecorderClock();
    UnselectRecorderOptions();
    // Not saved: still open, the take can go to another file.
    if (!saved) recorder::reportUnsaved();
}

void EditorWindow::Lyjsj_Timer() {
    LYSJ->setCaption(QStringLiteral("当前: ") + QString::number(RecMinutes) + u':' + QString::number(RecSeconds));
    const recorder::Poll found = recorder::poll();
    if (found != recorder::Poll::Running) {
        Recording = false;
        ResetRecorderClock();
        LUYINJI[kPlay]->setValue(false);
        // A take that could not be written on stays savable; the user is
        // told, after the clock has stopped.
        if (found == recorder::Poll::CannotSpool) {
            LUYINJI[kRecord]->setValue(false);
            recorder::reportCannotSpool();
        }
        return;  // the next start counts from 0:0
    }
    recorder::countSecond(RecMinutes, RecSeconds);
}

// Closing the editor: a recording or a playback started here stops with it,
// since nothing else would show its clock. The device stays open, so a
// stopped take can still be saved when the editor opens again.
void EditorWindow::StopRecorder() {
    if (Lyjsj->enabled()) recorder::stop();
    Recording = false;
    ResetRecorderClock();
    for (ui::OptionButton* o : LUYINJI) o->setValue(false);
}
