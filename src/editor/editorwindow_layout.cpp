// The editor window's controls in their design state, the wiring of each
// control event to its handler, and the window's life: load, activation,
// start-up defaults, help and closing.
#include "editor/editorwindow.h"

#include "editor/songmodel.h"
#include "midi/midiout.h"
#include "platform/dialogs.h"
#include "platform/resources.h"
#include "platform/sound.h"

#include <QCloseEvent>
#include <QFontMetricsF>

using namespace midi;

namespace {

using ui::label;
using ui::place;

// Left edge of the grid area; the track labels and instrument boxes sit left of it.
constexpr int kGridLeft = 170;
constexpr int kGridTop = 8;

const char* const kLabel9 =
    "    本电子琴用\"LWKHM\"分别代表最低;低;中;高;最高五个音区,使用\"CDEFGAB\"分别代表\"1234567\"七个唱名,"
    "把它们连起来组成一个音符(如(KC)代表中音\"1\",使用\"CC,DM,EM,FF,GM,AM\"分别代表\"135,246,357,461,572,613\""
    "六个和弦并已经进行了转位,对于不同的音调软件自动进行转换,第一声道的乐器允许使用颤音,渐强渐弱全部有效,"
    "软件的每一个小节都允许更换乐器和调整音量,录音可以使用最好达到CD音质的选项。";

}  // namespace

EditorWindow::EditorWindow(QWidget* parent)
    : QWidget(parent), BarLastStep(editor::song().BarLastStep), EditorBarCount(editor::song().EditorBarCount) {
    setWindowTitle(QStringLiteral("YYBJ"));
    buildControls();
    wireHandlers();
}

EditorWindow::~EditorWindow() {
    if (YYDS) YYDS->setEnabled(false);
    if (Lyjsj) Lyjsj->setEnabled(false);
}

void EditorWindow::buildControls() {
    QFont base = font();
    base.setPointSizeF(9);
    setFont(base);

    Picture1 = place(new QWidget(this), kGridLeft, kGridTop, 465, 374);
    // The volume panel reaches down to the last volume box's bottom edge.
    Picture3 = place(new QWidget(this), 640, kGridTop, 100, 378);

    static const char* const trackNames[12] = {"含颤音", "乐器2", "乐器3", "乐器4",  "乐器5",  "乐器6",
                                               "乐器7",  "乐器8", "乐器9", "乐器10", "乐器11", "乐器12"};
    // A bar's notes fill its box only in a font whose letters are half an em
    // wide (two letters to a step box): the Hei fonts' Latin half, or failing
    // those a fixed-pitch face.
    QFont noteFont;
    noteFont.setFamilies({QStringLiteral("黑体"), QStringLiteral("SimHei"), QStringLiteral("WenQuanYi Micro Hei Mono"),
                          QStringLiteral("Noto Sans Mono CJK SC"), QStringLiteral("DejaVu Sans Mono")});
    noteFont.setStyleHint(QFont::Monospace);
    noteFont.setPointSizeF(14.25);
    // A face with wider letters is made smaller until a pair fits a step.
    const qreal pair = QFontMetricsF(noteFont).horizontalAdvance(QStringLiteral("MM"));
    if (pair > 19.5) noteFont.setPointSizeF(14.25 * 19.0 / pair);
    for (int k = 0; k < 12; ++k) {
        const int top = kGridTop + 32 * k;
        TrackLabels[k] = label(this, QString::fromUtf8(trackNames[k]), 4, top + 4, 42, 20);
        // Wide enough for the longest names ("108.十三弦古筝").
        SYYQ[k] = place(new ui::ComboBox(ui::ComboBox::PickList, this), 46, top + 2, 122, 24);
        YQYL[k] = place(new ui::ComboBox(ui::ComboBox::Editable, Picture3), 4, 32 * k + 2, 70, 24);
        for (int v = 20; v <= 120; v += 10) YQYL[k]->addItem(QString::number(v));
    }
    for (int k = 0; k < 7; ++k) {
        YF1[k] = place(new ui::TextBox(false, Picture1), 0, 32 * k, 325, 30);
        YF1[k]->setFont(noteFont);
    }
    for (int r = 0; r < 5; ++r) DJY[r].push_back(NewStepBox(r, 0));

    // Bar navigation.
    const int y1 = kGridTop + 380;
    JZLX = label(this, QStringLiteral("节奏类型"), 8, y1 + 4, 56, 20);
    static const char* const meters[3] = {"2/4", "3/4", "4/4"};
    auto* meterGroup = place(new QWidget(this), 64, y1, 150, 28);
    for (int i = 0; i < 3; ++i) {
        JPFL[i] = place(new ui::OptionButton(QString::fromLatin1(meters[i]), meterGroup), 48 * i, 4, 46, 20);
        JPFL[i]->setToolTip(QStringLiteral("选择音乐节奏类型为%1拍！").arg(QString::fromLatin1(meters[i])));
    }
    JPFL[0]->setValue(true);
    HScroll1 = place(new ui::ScrollBar(this), 220, y1 + 4, 136, 20);
    HScroll1->setMin(0);
    HScroll1->setMax(200);
    XJZS = place(new ui::TextBox(false, this), 360, y1 + 2, 44, 24);
    XJZS->setText(QStringLiteral("0"));
    // Room for the widest numbers: "实际小节数是(1249-1250)小节".
    XJXSS = label(this, QStringLiteral("实际小节数是(1-2)小节"), 408, y1 + 4, 180, 20);
    CHARU = place(new ui::CommandButton(QStringLiteral("插入"), this), 590, y1, 48, 26);
    CHARU->setToolTip(QStringLiteral("在当前小节后插入新的小节！后面本来有的小节将被覆盖！"));
    QinKong = place(new ui::CommandButton(QStringLiteral("清空"), this), 640, y1, 48, 26);
    QinKong->setToolTip(QStringLiteral("清空并重新编辑当前小节！"));
    ZDXJZS = place(new ui::CommandButton(QStringLiteral("设置"), this), 690, y1, 48, 26);
    ZDXJZS->setToolTip(QStringLiteral("设置音乐所需小节总数，修改后自动演奏时将演奏到设定值！"));

    // Mix controls of the bar.
    const int y2 = y1 + 34;
    label(this, QStringLiteral("速度"), 8, y2 + 4, 30, 20);
    DQSUDU = place(new ui::ComboBox(ui::ComboBox::Editable, this), 40, y2 + 2, 60, 24);
    DQSUDU->setToolTip(QStringLiteral("调整音乐演奏的速度，除选择已有的速度外允许自行填写50到255之间的正整数！"));
    for (int v = 60; v <= 120; v += 5) DQSUDU->addItem(QString::number(v));
    label(this, QStringLiteral("拍/分钟"), 104, y2 + 4, 50, 20);
    label(this, QStringLiteral("音调"), 158, y2 + 4, 30, 20);
    DQYD = place(new ui::ComboBox(ui::ComboBox::PickList, this), 190, y2 + 2, 52, 24);
    DQYD->setToolTip(QStringLiteral("选择音乐使用的音调！"));
    for (const char* k : {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"})
        DQYD->addItem(QString::fromLatin1(k));
    Check1[0] = place(new ui::CheckBox(QStringLiteral("颤音"), this), 252, y2 + 4, 52, 20);
    Check1[0]->setToolTip(QStringLiteral("使第一声道的乐器产生颤音效果！"));
    Check1[1] = place(new ui::CheckBox(QStringLiteral("渐强弱"), this), 306, y2 + 4, 64, 20);
    Check1[1]->setToolTip(QStringLiteral(
        "在当前小节的开始或结尾使用渐强或减弱的声音效果(当深度刻度为正时是渐强，为负时是渐弱，建议数值为+10和-3)！"));
    HScroll3 = place(new ui::ScrollBar(this), 372, y2 + 4, 88, 20);
    HScroll3->setMin(-20);
    HScroll3->setMax(20);
    Label7 = label(this, QStringLiteral("深度(-20_20)"), 464, y2 + 4, 80, 20);
    BCBXJ = place(new ui::CommandButton(QStringLiteral("保存"), this), 548, y2, 48, 26);
    BCBXJ->setToolTip(QStringLiteral("对于修改了乐器，音量等项目的小节请点击保存该小节的设置！"));
    // Wide enough for the synthesizer's name, "Morvela 软件合成器".
    ComDevies = place(new ui::ComboBox(ui::ComboBox::PickList, this), 598, y2 + 2, 142, 24);

    // Playing, files, help and exit.
    const int y3 = y2 + 34;
    auto* playGroup = place(new QWidget(this), 8, y3, 110, 28);
    ST1 = place(new ui::OptionButton(QStringLiteral("试听本节效果"), playGroup), 0, 4, 108, 20);
    ST1->setToolTip(QStringLiteral("只要有修改的小节都应试听以便软件记住你的修改！"));
    ST2 = place(new ui::CheckBox(QStringLiteral("从开始处启动"), this), 122, y3 + 4, 110, 20);
    DkBianji = place(new ui::CommandButton(QStringLiteral("打开编辑文件"), this), 236, y3, 96, 26);
    DkBianji->setToolTip(QStringLiteral("打开以前保存的编辑文件再次进行编辑或录音！"));
    BCBJ = place(new ui::CommandButton(QStringLiteral("保存编辑"), this), 336, y3, 76, 26);
    BCBJ->setToolTip(QStringLiteral("保存正在编辑的音乐编辑，以备再次修改编辑！"));
    DRYP = place(new ui::CommandButton(QStringLiteral("导入记录乐谱"), this), 416, y3, 96, 26);
    DRYP->setToolTip(QStringLiteral("导入用电子琴演奏或编辑的乐谱进行全新编辑！"));
    BZWJ = place(new ui::CommandButton(QStringLiteral("帮  助"), this), 560, y3, 76, 26);
    TUICHU = place(new ui::CommandButton(QStringLiteral("退出窗口"), this), 640, y3, 98, 26);
    TUICHU->setToolTip(QStringLiteral("退出编辑窗口返回主电子琴界面！"));

    buildRecorder(y3 + 32);

    Label9 = label(this, QString::fromUtf8(kLabel9), 8, y3 + 66, 730, 74);
    Label9->setWordWrap(true);
    Label9->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    YYDS = new ui::Timer(this);
    YYDS->setMusicalClock(true);
    YYDS->setInterval(100);

    // The design layout is that of 2/4.
    ApplyMeterLayout(0);
}

ui::CheckBox* EditorWindow::NewStepBox(int row, int index) {
    auto* box = new ui::CheckBox(QString(), Picture1);
    box->setGeometry(20 * index + index / 4, 224 + 32 * row, 20, 20);
    box->onClick = [this, row, index] { DJY_Click(row, index); };
    box->show();
    return box;
}

void EditorWindow::wireHandlers() {
    for (int i = 0; i < 3; ++i) JPFL[i]->onClick = [this, i] { JPFL_Click(i); };
    for (int k = 0; k < 7; ++k) {
        YF1[k]->onLostFocus = [this, k] { YF1_LostFocus(k); };
        YF1[k]->onChange = [this, k] { noteBoxTyped_[k] = true; };
    }
    for (int k = 0; k < 12; ++k) {
        SYYQ[k]->onClick = [this, k] { SYYQ_Click(k); };
        YQYL[k]->onClick = [this, k] { YQYL_Change(k); };
        YQYL[k]->onChange = [this, k] { YQYL_Change(k); };
    }
    HScroll1->onChange = [this] { HScroll1_Change(); };
    CHARU->onClick = [this] { CHARU_Click(); };
    QinKong->onClick = [this] { QinKong_Click(); };
    ZDXJZS->onClick = [this] { ZDXJZS_Click(); };
    DQSUDU->onClick = [this] { DQSUDU_Change(); };
    DQSUDU->onChange = [this] { DQSUDU_Change(); };
    DQSUDU->onLostFocus = [this] { DQSUDU_LostFocus(); };
    DQYD->onClick = [this] { DQYD_Click(); };
    HScroll3->onChange = [this] { HScroll3_Change(); };
    for (int i = 0; i < 2; ++i) Check1[i]->onClick = [this] { Check1_Click(); };
    ComDevies->onClick = [this] { ComDevies_Click(); };
    BCBXJ->onClick = [this] { BCBXJ_Click(); };
    ST1->onClick = [this] { ST1_Click(); };
    ST2->onClick = [this] { ST2_Click(); };
    YYDS->onTimer = [this] { YYDS_Timer(); };
    BCBJ->onClick = [this] { BCBJ_Click(); };
    DkBianji->onClick = [this] { DkBianji_Click(); };
    DRYP->onClick = [this] { DRYP_Click(); };
    BZWJ->onClick = [this] { BZWJ_Click(); };
    TUICHU->onClick = [this] { TUICHU_Click(); };
}

// ---- Life cycle

void EditorWindow::Show() {
    if (!loaded_) {
        loaded_ = true;
        unloading_ = false;
        Form_Load();
    }
    show();
    raise();
    activateWindow();
    // Activation belongs to the showing, not to Qt's window activation, which
    // comes again after every message box and file dialog and would clear the
    // song each time.
    if (!activatedThisShow_) {
        activatedThisShow_ = true;
        Form_Activate();
    }
}

void EditorWindow::Form_Load() {
    // A window loaded again starts from its design state: 2/4, one column.
    if (!JPFL[0]->value()) {
        ui::Handler h = std::move(JPFL[0]->onClick);
        JPFL[0]->setValue(true);
        JPFL[0]->onClick = std::move(h);
        ApplyMeterLayout(0);
    }
    RemoveColumns();
    RecBitsPerSample = QStringLiteral("8");
    RecSampleRate = QStringLiteral("44100");
    yinzi->setListIndex(1);
    LYSJ->setCaption(QStringLiteral("当前:"));
    RecMinutes = 0;
    RecSeconds = 0;
    EditorActivated = false;
    DialogFolder = G.AppPath + QStringLiteral("演奏记录/");
    ImportNoteLength = 0;
}

void EditorWindow::Form_Activate() {
    if (!EditorActivated) {
        CurrentBar = 0;
        BarLastStep = 15;
        setWindowTitle(QStringLiteral("音乐编辑器"));
        BJQD();
    }
    FillMidiDeviceList(*ComDevies);
    // The refilled list is unselected: choosing the mapper opens it.
    if (ComDevies->listCount() > 0) ComDevies->setListIndex(0);
    plat::waveOutSetVolume(0, 0x70007000u);
    editor::song().QKYP();
    // The columns that exist, whatever meter the window shows.
    LoadedLastStep = static_cast<i16>(DJY[0].size() - 1);
    ExpressionLevel = 120;
    SendShortMessage(0xB0, 11, 120);
    for (int c = 0; c <= 2; ++c) SendShortMessage(static_cast<i16>(0xB0 + c), 1, 0);
    EditorActivated = true;
}

void EditorWindow::BJQD() {
    BarLastStep = 15;
    for (int k = 0; k < 7; ++k) {
        YF1[k]->setMaxLength((BarLastStep + 1) * 2);
        ui::setBackColor(YF1[k]->editor(), ui::paletteColor(k + 1));
        ui::setForeColor(YF1[k]->editor(), ui::paletteColor(15));
    }
    for (int r = 0; r < 5; ++r) ui::setBackColor(DJY[r][0], ui::paletteColor(13));
    JZXSGC();
    for (int k = 0; k < 12; ++k) {
        SYYQ[k]->clear();
        if (k < 7) {
            for (int i = 0; i <= 128; ++i) SYYQ[k]->addItem(plat::LoadResString(201 + i));
        } else {
            for (int i = 0; i <= 46; ++i) SYYQ[k]->addItem(plat::LoadResString(335 + i));
        }
    }
    static const int defaults[12] = {2, 52, 79, 83, 5, 5, 5, 1, 3, 4, 41, 17};
    for (int k = 0; k < 12; ++k) SYYQ[k]->setListIndex(defaults[k]);
    for (int k = 0; k < 12; ++k) {
        YQYL[k]->setListIndex(5);
        G.ChannelVelocity(k) = 70;
    }
    DQYD->setListIndex(0);
    DQSUDU->setListIndex(4);
    G.BeatInterval = rt::toI16(rt::Int(15000.0 / rt::Val(DQSUDU->text())));
    G.BaseNote = static_cast<i16>(DQYD->listIndex() + 36);
    G.BeatInterval = 188;
    for (int k = 0; k <= 6; ++k) ProgramChange(static_cast<i16>(k), 0, static_cast<i16>(SYYQ[k]->listIndex() - 1));
}

void EditorWindow::closeEvent(QCloseEvent* e) {
    e->ignore();
    rt::guard([this] { Unload(); });
}

void EditorWindow::TUICHU_Click() { Unload(); }

void EditorWindow::Unload() {
    if (unloading_ || !loaded_) return;
    unloading_ = true;
    Form_Unload();
}

void EditorWindow::Form_Unload() {
    // A play still running stops with the window (one sweep below silences it).
    YYDS->setEnabled(false);
    ST1->setValue(false);
    ui::Handler songBox = std::move(ST2->onClick);
    ST2->setValue(0);
    ST2->onClick = std::move(songBox);
    ST2->setText(QStringLiteral("从开始处启动"));
    for (QWidget* c : {static_cast<QWidget*>(ST1), static_cast<QWidget*>(ST2), static_cast<QWidget*>(BZWJ)})
        c->setEnabled(true);
    SilenceTracks();
    StopRecorder();
    // Leave the channels as the main window expects them: full expression on
    // the editor's channels, no vibrato left from a bar that had it.
    for (int c = 0; c <= 6; ++c) SendShortMessage(static_cast<i16>(0xB0 + c), 11, 127);
    if (VibratoUsed) SendShortMessage(0xB0, 1, 0);
    VibratoUsed = false;
    hide();
    RemoveColumns();
    loaded_ = false;
    activatedThisShow_ = false;
    if (Hooks.ShowMainWindow) Hooks.ShowMainWindow();
}

void EditorWindow::BZWJ_Click() { plat::msgBox(plat::LoadResString(99), plat::kOkOnly); }
