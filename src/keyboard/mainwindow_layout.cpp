// The main window's controls in their design state, and the wiring of each
// control event to its handler.
#include "keyboard/mainwindow.h"

#include "keyboard/keyboardwidgets.h"
#include "midi/gestures.h"
#include "platform/resources.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QRandomGenerator>

namespace {

using ui::label;
using ui::place;

// Mouse moves over a page's own background (not over its controls, which
// take their own moves) run the page's MouseMove handler.
// Clicks and mouse moves on a settings page's own background (not on one of
// its controls): a click there must not reach the window behind it, whose
// background click shrinks the window.
class PageEvents : public QObject {
public:
    PageEvents(QWidget* page, ui::Handler onClick, ui::Handler onMove)
        : QObject(page), page_(page), onClick_(std::move(onClick)), onMove_(std::move(onMove)) {
        page->installEventFilter(this);
        page->setMouseTracking(true);
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o != page_) return false;
        if (e->type() == QEvent::MouseButtonPress) {
            if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton && onClick_) rt::guard(onClick_);
            return true;
        }
        if (e->type() == QEvent::MouseMove && onMove_ &&
            !page_->childAt(static_cast<QMouseEvent*>(e)->position().toPoint()))
            rt::guard(onMove_);
        return false;
    }

private:
    QWidget* page_;
    ui::Handler onClick_;
    ui::Handler onMove_;
};


}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Morvela"));
    // 14820 x 5160 twips of client area: 988 x 344 pixels.
    setFixedSize(988, 344);
    Rnd = [] { return QRandomGenerator::global()->generateDouble(); };
    buildControls();
    wireHandlers();
}

MainWindow::~MainWindow() {
    if (midi::Main.XSWB == XSWB) midi::Main = midi::MainWindowLinks{};
}

void MainWindow::buildControls() {
    QFont base = font();
    base.setPointSizeF(9);
    setFont(base);

    // Page selector and pages.
    const char* captions[6] = {"旋 律", "和 弦", "节 奏", "", "帮 助", "设 置"};
    const char* tips[6] = {"设置旋律演奏使用的乐器和音调等参数！", "设置和弦演奏使用的乐器和音量等参数！",
                           "设置节奏演奏使用的乐器和音量等参数！", "", "软件的使用帮助！",
                           "在这里设置F1到F12以及功能键和小键盘数字键所指定的各种快捷方式！"};
    auto* selector = place(new QWidget(this), 8, 6, 391, 24);
    int x = 0;
    for (int i = 0; i < 6; ++i) {
        if (i == 3) continue;
        Xxk[i] = place(new ui::OptionButton(QString::fromUtf8(captions[i]), selector), x, 2, 74, 20);
        Xxk[i]->setToolTip(QString::fromUtf8(tips[i]));
        Xxk[i]->setFocusPolicy(Qt::NoFocus);
        x += 78;
        Jiezhou[i] = place(new QWidget(this), 8, 32, 391, 146);
        Jiezhou[i]->setObjectName(QStringLiteral("Jiezhou%1").arg(i));
        ui::setBackColor(Jiezhou[i], QColor(222, 228, 240));
        Jiezhou[i]->setVisible(i == 0);
    }
    buildMelodyPage(Jiezhou[0]);
    buildChordPage(Jiezhou[1]);
    buildRhythmPage(Jiezhou[2]);
    buildHelpPage(Jiezhou[4]);
    buildSettingsPage(Jiezhou[5]);
    // Selected at start (design state); no handler is wired yet, so none runs.
    Xxk[0]->setValue(true);

    buildScoreArea();
    buildRecorder();

    // The mute pad: a long strip right above the keys.
    Label1 = label(this, QString(), 0, 201, 988, 14);
    {
        QString pad = QStringLiteral("消    音    板");
        Label1->setCaption(pad + QString(108, u' ') + pad);
    }
    Label1->setToolTip(QStringLiteral("在窗体空白处点击鼠标可以有效地缩小窗体，方便在桌面放置乐谱，再次点击即可恢复！"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setMouseTracking(true);
    ui::setBackColor(Label1, QColor(60, 64, 80));
    ui::setForeColor(Label1, QColor(230, 230, 240));

    // The 65 on-screen keys: one strip that takes the mouse, the key pictures
    // inside it only draw. White keys first so black keys lie on top.
    KeyRow = place(new KeyStrip(this), 0, 216, 988, 121);
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 65; ++i) {
            int inOctave = i % 12;
            bool black = inOctave == 1 || inOctave == 3 || inOctave == 6 || inOctave == 8 || inOctave == 10;
            if ((pass == 0) == black) continue;
            static const int whiteX[12] = {0, 0, 26, 0, 52, 78, 0, 104, 0, 130, 0, 156};
            static const int blackX[12] = {0, 14, 0, 46, 0, 0, 92, 0, 121, 0, 150, 0};
            int octave = i / 12;
            auto* key = new ui::PictureBox(KeyRow);
            key->setAttribute(Qt::WA_TransparentForMouseEvents);
            key->setFocusPolicy(Qt::NoFocus);
            if (black) place(key, 182 * octave + blackX[inOctave], 0, 18, 69);
            else place(key, 182 * octave + whiteX[inOctave], 0, 26, 121);
            ui::setBackColor(key, black ? QColor(20, 20, 20) : QColor(250, 250, 250));
            Picture1[i] = key;
        }
    }
    for (int i = 0; i < 65; ++i) {
        int inOctave = i % 12;
        bool black = inOctave == 1 || inOctave == 3 || inOctave == 6 || inOctave == 8 || inOctave == 10;
        if (black) Picture1[i]->raise();
    }
    KeyRow->hitTest = [](int px, int py) { return KeyAt(px, py); };

    // Clocks. The live clock, the score clock, the rhythm and the chord
    // auditions keep musical time: their ticks keep a grid of deadlines.
    Timer1 = new ui::Timer(this);
    Timer1->setMusicalClock(true);
    Timer2 = new ui::Timer(this);
    Timer2->setInterval(1000);
    Timer3 = new ui::Timer(this);
    Timer3->setMusicalClock(true);
    Timer4 = new ui::Timer(this);
    Timer4->setInterval(80);
    HXYS = new ui::Timer(this);
    HXYS->setMusicalClock(true);
    HXYS->setInterval(1000);
    BZDS = new ui::Timer(this);
    BZDS->setMusicalClock(true);

    // The gestures of the MIDI module write a few of this window's controls.
    midi::Main.XSWB = XSWB;
    midi::Main.Combo1 = Combo1;
    midi::Main.Timer4 = Timer4;
    midi::Main.Check2 = Check2;
}

void MainWindow::buildScoreArea() {
    // Score box and its buttons.
    Text3 = place(new ui::TextBox(true, this), 408, 6, 574, 86);
    Text3->setWrapAnywhere();
    Text3->setToolTip(QStringLiteral("乐谱编辑窗口：演奏时自动记录乐谱，也可以直接编辑乐谱。"));
    const char* yuepu[5] = {"试听", "删除", "打开", "清空", "保存"};
    const char* yuepuTips[5] = {"试听乐谱编辑窗口中的文件！", "删除最后一次打开的乐谱文件或录音文件并不可恢复！",
                                "打开演奏记录文件夹中的乐谱文档并自动开始演奏！",
                                "点击这里将清空乐谱编辑窗口中的乐谱，并允许开始新的演奏！",
                                "保存乐谱编辑窗口中的乐谱为文本文件，以便下次进行自动演奏或录音或编辑！"};
    for (int i = 0; i < 5; ++i) {
        Yuepu[i] = place(new ui::CommandButton(QString::fromUtf8(yuepu[i]), this), 408 + 58 * i, 96, 54, 26);
        Yuepu[i]->setToolTip(QString::fromUtf8(yuepuTips[i]));
    }
    XINJIAN = place(new ui::CommandButton(QStringLiteral("新建"), this), 408 + 58 * 5, 96, 54, 26);
    XINJIAN->setToolTip(QStringLiteral("新建乐谱文件！"));

    SFYXYZ = place(new KeyboardButton(QStringLiteral("键盘"), this), 772, 96, 66, 26);
    SFYXYZ->setToolTip(QStringLiteral("当键盘演奏无声时用此键恢复键盘演奏功能！"));
    BJCK = place(new ui::CommandButton(QStringLiteral("编辑"), this), 842, 96, 66, 26);
    BJCK->setToolTip(QStringLiteral("使用音乐编辑窗口进行音乐编辑！"));
    Command1 = place(new ui::CommandButton(QStringLiteral("退出"), this), 912, 96, 70, 26);
    Command1->setToolTip(QStringLiteral("退出程序！"));

    // Keyboard map, hint and status lines, clock.
    Label3 = label(this, QStringLiteral("点击图片查看键盘分布"), 408, 131, 175, 18);
    Label3->setAlignment(Qt::AlignCenter);
    // Its lower edge stays clear of the mute pad below it.
    Picture2 = place(new ui::PictureBox(this), 408, 150, 175, 51);
    Picture2->setFrameShape(QFrame::Box);
    Picture2->setPicture(plat::LoadResPicture(120));
    Picture2->setToolTip(QStringLiteral("电脑键盘上各键对应的音符"));
    XSWB = label(this, QString(), 592, 123, 390, 48);
    XSWB->setWordWrap(true);
    ui::setForeColor(XSWB, ui::paletteColor(1));
    FJWZ = label(this, QString(), 592, 171, 200, 15);
    ui::setForeColor(FJWZ, ui::paletteColor(4));
    SjXs = label(this, QStringLiteral("2011-12-30 23-59-59"), 836, 171, 146, 15);
    SjXs->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label8 = label(this, QStringLiteral("Morvela 电子琴 —— 用电脑键盘弹奏旋律、节奏与和弦，录下你的每一段灵感。    "),
                   592, 186, 390, 14);
    ui::setForeColor(Label8, ui::paletteColor(8));
}

void MainWindow::buildMelodyPage(QWidget* page) {
    static const char* velocities[7] = {"25", "40", "55", "70", "85", "100", "120"};
    for (int j = 0; j < 3; ++j) {
        int y = 6 + 30 * j;
        label(page, QStringLiteral("乐器%1").arg(j + 1), 6, y + 3, 40, 18);
        ComSounds[j] = place(new ui::ComboBox(ui::ComboBox::Editable, page), 48, y, 176, 24);
        Zxlyl[j] = place(new ui::ComboBox(ui::ComboBox::Editable, page), 230, y, 64, 24);
        Zxlyl[j]->setToolTip(QStringLiteral("演奏音量"));
        for (const char* v : velocities) Zxlyl[j]->addItem(QString::fromUtf8(v));
        Check3[j] = place(new ui::CheckBox(QStringLiteral("颤音"), page), 302, y + 2, 60, 20);
        Check3[j]->setToolTip(QStringLiteral("按下本按钮在演奏时该乐器具有颤音效果！"));
    }
    label(page, QStringLiteral("速度"), 6, 99, 40, 18);
    SD = place(new ui::ComboBox(ui::ComboBox::Editable, page), 48, 96, 64, 24);
    // Design text first: the box shows "70" with no entry selected, so the
    // first activation's choice of "70" runs its handler.
    SD->setText(QStringLiteral("70"));
    for (int t = 40; t <= 130; t += 5) SD->addItem(QString::number(t));
    SD->setToolTip(QStringLiteral("选取或直接输入需要的演奏速度（请输入40-140之间的整数）！"));
    label(page, QStringLiteral("拍/分钟"), 116, 99, 50, 18);
    label(page, QStringLiteral("音调"), 170, 99, 32, 18);
    YD = place(new ui::ComboBox(ui::ComboBox::Editable, page), 204, 96, 56, 24);
    static const char* keys[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    for (const char* k : keys) YD->addItem(QString::fromUtf8(k));
    Command2 = place(new ui::CommandButton(QStringLiteral("效果欣赏"), page), 268, 95, 94, 26);
    Command2->setToolTip(QStringLiteral("访问软件主页，欣赏更多演奏效果！"));
    label(page, QStringLiteral("设  备"), 6, 124, 40, 18);
    ComDevies = place(new ui::ComboBox(ui::ComboBox::PickList, page), 48, 122, 314, 22);
}

void MainWindow::buildChordPage(QWidget* page) {
    Check6 = place(new ui::CheckBox(QStringLiteral("启 动"), page), 6, 4, 64, 20);
    Check6->setToolTip(QStringLiteral("启动或停止和弦试听！"));
    label(page, QStringLiteral("伴奏1"), 74, 6, 36, 18);
    Combo3 = place(new ui::ComboBox(ui::ComboBox::PickList, page), 110, 3, 118, 22);
    label(page, QStringLiteral("伴奏2"), 232, 6, 36, 18);
    Combo1 = place(new ui::ComboBox(ui::ComboBox::PickList, page), 268, 3, 118, 22);
    label(page, QStringLiteral("每小节"), 6, 32, 52, 18);
    Text4 = place(new ui::TextBox(false, page), 60, 29, 240, 22);
    Text4->setMaxLength(32);
    Text4->setToolTip(QStringLiteral("此处使用1和弦中最低到最高音里的任意 135 音符或 CC和弦音符！对其他和弦软件会自动计算给出！同时本处音符为每小节发声！"));
    Check7 = place(new ui::CheckBox(QStringLiteral("锁定音符"), page), 306, 31, 82, 20);
    label(page, QStringLiteral("每两小节"), 6, 58, 54, 18);
    Text5 = place(new ui::TextBox(false, page), 60, 55, 240, 22);
    Text5->setMaxLength(32);
    Text5->setText(QStringLiteral("CC--WG--KC--WG--CE--WG--LB--WG--"));
    Text5->setToolTip(QStringLiteral("此处使用1和弦中最低到最高音里的任意 135 音符或 CC和弦音符！对其他和弦软件会自动计算给出！同时本处音符为每两小节发声一次！"));
    Check4 = place(new ui::CheckBox(QStringLiteral("锁定音符"), page), 306, 57, 82, 20);
    label(page, QStringLiteral("当前模板"), 6, 83, 54, 18);
    Text2 = place(new ui::TextBox(false, page), 60, 81, 240, 22);
    Text2->setMaxLength(32);
    Text2->setLocked(true);
    label(page, QStringLiteral("和弦顺序"), 6, 108, 52, 18);
    Text6 = place(new ui::TextBox(false, page), 60, 105, 80, 22);
    Text6->setMaxLength(17);
    Text6->setToolTip(QStringLiteral("在此输入17位以下 1_6之间数字可以改变和弦循环顺序！"));
    label(page, QStringLiteral("音量"), 146, 108, 28, 18);
    HxYL = place(new ui::ComboBox(ui::ComboBox::Editable, page), 174, 105, 56, 22);
    HxYL->setToolTip(QStringLiteral("和弦演奏音量！"));
    static const char* velocities[7] = {"25", "40", "55", "70", "85", "100", "120"};
    for (const char* v : velocities) HxYL->addItem(QString::fromUtf8(v));
    Check8 = place(new ui::CheckBox(QStringLiteral("小节和弦"), page), 236, 107, 86, 20);
    Check8->setToolTip(QStringLiteral("勾选后软件将自动在每小节插入和弦！"));
    Command3 = place(new ui::CommandButton(QStringLiteral("生成随机节奏"), page), 306, 79, 82, 24);
    Command3->setToolTip(QStringLiteral("在这里生成新的节奏模板和演奏顺序！"));
    Command4 = place(new ui::CommandButton(QStringLiteral("保 存"), page), 330, 105, 58, 24);
    Command4->setToolTip(QStringLiteral("把当前的和弦模板保存到模板库中！"));
}

void MainWindow::buildRhythmPage(QWidget* page) {
    label(page, QStringLiteral("和弦乐器"), 6, 6, 52, 18);
    xuanyue = place(new ui::ComboBox(ui::ComboBox::PickList, page), 58, 3, 114, 22);
    label(page, QStringLiteral("音量"), 175, 6, 26, 18);
    VsbVol = place(new ui::ComboBox(ui::ComboBox::Editable, page), 203, 3, 52, 22);
    // Design text first: no entry selected, so the first activation's choice
    // of "100" runs its handler and gives the rhythm rows their velocity.
    VsbVol->setText(QStringLiteral("100"));
    for (int v = 50; v <= 120; v += 10) VsbVol->addItem(QString::number(v));
    auto* meters = place(new QWidget(page), 258, 3, 132, 22);
    // A narrower gap between button and caption than the style's own.
    meters->setStyleSheet(QStringLiteral("QRadioButton { spacing: 3px; }"));
    const char* meterNames[3] = {"2/4", "3/4", "4/4"};
    for (int i = 0; i < 3; ++i) {
        Option1[i] = place(new ui::OptionButton(QString::fromUtf8(meterNames[i]), meters), 44 * i, 1, 44, 20);
    }
    {
        QSignalBlocker b(Option1[0]);
        Option1[0]->setValue(true);  // design state: 2/4, before any handler is wired
    }
    for (int r = 0; r < 3; ++r) {
        int y = 30 + 24 * r;
        LblInst[r] = place(new ui::ComboBox(ui::ComboBox::PickList, page), 6, y, 150, 22);
        PicTrack[r] = place(new QWidget(page), 162, y + 2, 16 * 13, 17);
        ui::setBackColor(PicTrack[r], QColor(90, 90, 110));
        std::vector<ui::CheckBox*>& row = StepRow(r);
        row.push_back(NewStepBox(r, 0));
    }
    BzQd = place(new ui::CheckBox(QStringLiteral("启动"), page), 6, 104, 60, 20);
    BzQd->setToolTip(QStringLiteral("点击启动节奏试听，演奏中也可用小键盘的\"+\"号启动，\"-\"号停止，在自动演奏时用\"JP\"选择并同步启动！"));
    Check5 = place(new ui::CheckBox(QStringLiteral("自动同步"), page), 70, 104, 84, 20);
    Cmdcill[0] = place(new ui::CommandButton(QStringLiteral("删 除"), page), 296, 101, 44, 22);
    Cmdcill[1] = place(new ui::CommandButton(QStringLiteral("保 存"), page), 344, 101, 44, 22);
    // The label reaches up to the list's lower edge: the pointer moves from
    // the one into the other without crossing the page, whose mouse move
    // hides the list.
    Label11 = label(page, QStringLiteral("节奏文件"), 160, 100, 132, 22);
    Label11->setMouseTracking(true);
    Label11->setToolTip(QStringLiteral("鼠标移到这里可以选择节奏文件"));
    label(page, QStringLiteral("节奏与和弦同步演奏"), 6, 126, 200, 16);
    File1 = place(new ui::FileListBox(page), 160, 4, 228, 96);
    File1->hide();
    page->setMouseTracking(true);
}

ui::CheckBox* MainWindow::NewStepBox(int row, int index) {
    auto* box = new ui::CheckBox(QString(), PicTrack[row]);
    place(box, 13 * index, 0, 13, 17);
    ui::setBackColor(box, QColor(255, 0, 0));
    box->setFocusPolicy(Qt::NoFocus);
    box->onClick = [this, row, index] {
        if (row == 0) BZA_Click(index);
        else if (row == 1) BZB_Click(index);
        else BZC_Click(index);
    };
    return box;
}

std::vector<ui::CheckBox*>& MainWindow::StepRow(int row) {
    if (row == 0) return BZA;
    if (row == 1) return BZB;
    if (row == 2) return BZC;
    rt::raise(rt::kErrSubscript);
}

void MainWindow::buildHelpPage(QWidget* page) {
    const char* topics[7] = {"软件简介", "演奏旋律", "自动演奏", "节奏设置", "和弦设置", "迷你窗口", "录音重放"};
    for (int i = 0; i < 7; ++i) {
        Option2[i] = place(new ui::OptionButton(QString::fromUtf8(topics[i]), page), 4, 2 + 20 * i, 84, 20);
    }
    Text1 = place(new ui::TextBox(true, page), 92, 4, 294, 138);
    Text1->setLocked(true);
}

void MainWindow::wireHandlers() {
    for (int i = 0; i < 6; ++i) {
        if (!Xxk[i]) continue;
        Xxk[i]->onClick = [this, i] { Xxk_Click(i); };
        new PageEvents(Jiezhou[i], [this, i] { Jiezhou_Click(i); }, [this, i] { Jiezhou_MouseMove(i); });
    }
    ComDevies->onClick = [this] { ComDevies_Click(); };
    Command1->onClick = [this] { Command1_Click(); };
    BJCK->onClick = [this] { BJCK_Click(); };
    Timer2->onTimer = [this] { Timer2_Timer(); };
    Command2->onClick = [this] { Command2_Click(); };
    Picture2->onClick = [this] { Image3_Click(); };
    for (int i = 0; i < 7; ++i) Option2[i]->onClick = [this, i] { Option2_Click(i); };
    SFYXYZ->onKeyDown = [this](int code, int shift) { SFYXYZ_KeyDown(code, shift); };
    SFYXYZ->onClick = [this] { SFYXYZ_Click(); };
    SFYXYZ->onGotFocus = [this] { SFYXYZ_GotFocus(); };
    SFYXYZ->onLostFocus = [this] { SFYXYZ_LostFocus(); };
    Text3->onChange = [this] { Text3_Change(); };
    KeyRow->onDragOver = [this](int key) {
        if (Picture1[key]->isEnabled()) Picture1_DragOver(key);
    };
    Label1->onMouseMove = [this] { Label1_MouseMove(); };
    Timer1->onTimer = [this] { Timer1_Timer(); };
    Timer3->onTimer = [this] { Timer3_Timer(); };
    for (int i = 0; i < 5; ++i) {
        Yuepu[i]->onClick = [this, i] { Yuepu_Click(i); };
        Yuepu[i]->onMouseDown = [this, i] { Yuepu_MouseDown(i); };
    }
    XINJIAN->onClick = [this] { XINJIAN_Click(); };
    for (int j = 0; j < 3; ++j) {
        ComSounds[j]->onClick = [this, j] { ComSounds_Click(j); };
        ComSounds[j]->onChange = [this, j] { ComSounds_Change(j); };
        Zxlyl[j]->onClick = [this, j] { Zxlyl_Click(j); };
        Zxlyl[j]->onChange = [this, j] { Zxlyl_Change(j); };
        Check3[j]->onClick = [this, j] { Check3_Click(j); };
    }
    SD->onClick = [this] { SD_Click(); };
    SD->onLostFocus = [this] { SD_LostFocus(); };
    YD->onClick = [this] { YD_Click(); };
    YD->onChange = [this] { YD_Change(); };
    // Rhythm page
    for (int r = 0; r < 3; ++r) {
        LblInst[r]->onClick = [this, r] { LblInst_Click(r); };
        LblInst[r]->onChange = [this, r] { LblInst_Click(r); };
    }
    VsbVol->onClick = [this] { VsbVol_Click(); };
    VsbVol->onChange = [this] { VsbVol_Click(); };
    for (int i = 0; i < 3; ++i) Option1[i]->onClick = [this, i] { Option1_Click(i); };
    BzQd->onClick = [this] { BzQd_Click(); };
    BZDS->onTimer = [this] { BZDS_Timer(); };
    Label11->onMouseMove = [this] { Label11_MouseMove(); };
    File1->onClick = [this] { File1_Click(); };
    for (int i = 0; i < 2; ++i) Cmdcill[i]->onClick = [this, i] { Cmdcill_Click(i); };
    // Chord page
    Command3->onClick = [this] { Command3_Click(); };
    Command4->onClick = [this] { Command4_Click(); };
    Text4->onLostFocus = [this] { Text4_LostFocus(); };
    Text5->onLostFocus = [this] { Text5_LostFocus(); };
    Text6->onGotFocus = [this] { Text6_GotFocus(); };
    Text6->onLostFocus = [this] { Text6_LostFocus(); };
    Timer4->onTimer = [this] { Timer4_Timer(); };
    Check6->onClick = [this] { Check6_Click(); };
    HXYS->onTimer = [this] { HXYS_Timer(); };
    HxYL->onClick = [this] { HxYL_Click(); };
    HxYL->onChange = [this] { HxYL_Change(); };
    Combo1->onClick = [this] { Combo1_Click(); };
    Combo3->onClick = [this] { Combo3_Click(); };
    xuanyue->onClick = [this] { xuanyue_Click(); };
}

void MainWindow::closeEvent(QCloseEvent* e) {
    // The close box unloads the window like the exit button.
    e->ignore();
    rt::guard([this] { Unload(); });
}

void MainWindow::mousePressEvent(QMouseEvent* e) {
    QWidget::mousePressEvent(e);
    if (e->button() == Qt::LeftButton) rt::guard([this] { Form_Click(); });
}
