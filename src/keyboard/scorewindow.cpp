// The score entry window: its controls, saving and opening a typed score, and the way back to the
// main window.
#include "keyboard/scorewindow.h"

#include "keyboard/mainwindow.h"
#include "keyboard/scorefile.h"
#include "midi/state.h"
#include "platform/textcodec.h"

#include <QCloseEvent>

namespace {

const char* const kProgramVersion = "1.0.0";

// The text as written to a file: every line ended by CR LF, the last one
// included (a text that ends in a line break gets no empty line after it).
QByteArray scoreFileBytes(const QString& text) {
    QStringList lines = plat::splitLines(text);
    QString out;
    for (const QString& line : lines) out += line + QStringLiteral("\r\n");
    return plat::toGbk(out);
}

}  // namespace

ScoreEntryWindow* ScoreEntryWindow::Instance = nullptr;

ScoreEntryWindow::ScoreEntryWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("乐谱录入 ") + QString::fromLatin1(kProgramVersion));
    setFixedSize(560, 330);
    QFont base = font();
    base.setPointSizeF(9);
    setFont(base);

    Label3 = new ui::Label(this);
    Label3->setCaption(
        QStringLiteral("请在下面的文本框中输入乐谱(请使用大写的英文字母(乐谱格式如(KC8KDKEKF4KGKAKB)))"));
    Label3->setGeometry(12, 10, 536, 18);
    Text1 = new ui::TextBox(true, this);
    Text1->setGeometry(12, 32, 536, 200);
    Text1->setWrapAnywhere();  // a score has no words to wrap at
    Label2 = new ui::Label(this);
    Label2->setCaption(QStringLiteral("请在这里输入歌曲名字"));
    Label2->setGeometry(12, 244, 140, 22);
    WJMC = new ui::TextBox(false, this);
    WJMC->setGeometry(156, 242, 392, 24);
    WJMC->setText(QStringLiteral("歌名"));
    Command1 = new ui::CommandButton(QStringLiteral("保存"), this);
    Command1->setGeometry(156, 284, 100, 30);
    DKYP = new ui::CommandButton(QStringLiteral("打开"), this);
    DKYP->setGeometry(272, 284, 100, 30);
    FANHUI = new ui::CommandButton(QStringLiteral("返回主窗口"), this);
    FANHUI->setGeometry(388, 284, 120, 30);

    Command1->onClick = [this] { Command1_Click(); };
    DKYP->onClick = [this] { DKYP_Click(); };
    FANHUI->onClick = [this] { FANHUI_Click(); };
}

ScoreEntryWindow::~ScoreEntryWindow() {
    if (Instance == this) Instance = nullptr;
}

void ScoreEntryWindow::Show() {
    Form_Load();
    show();
    raise();
    activateWindow();
}

void ScoreEntryWindow::Form_Load() { DialogFolder = midi::G.AppPath + QStringLiteral("演奏记录/"); }

// From the dialog on, a failure ends the operation and the boxes keep what
// they held; a read or write that fails says so.
void ScoreEntryWindow::Command1_Click() {
    ScoreEntryText = Text1->text();
    const plat::FileDialogResult chosen = keyboard::AskScoreFile(this, true, DialogFolder);
    if (chosen.cancelled) return;
    ScoreEntryFileName = chosen.fileName;
    if (ScoreEntryText.isEmpty() || ScoreEntryFileName.isEmpty()) return;
    // The song name is not written and does not name the file.
    keyboard::WriteScoreFile(ScoreEntryFileName, scoreFileBytes(ScoreEntryText));
}

void ScoreEntryWindow::DKYP_Click() {
    const plat::FileDialogResult chosen = keyboard::AskScoreFile(this, false, DialogFolder);
    if (chosen.cancelled) return;
    ScoreEntryFileName = chosen.fileName;
    QString text;
    if (ScoreEntryFileName.isEmpty() || !keyboard::ReadScoreFile(ScoreEntryFileName, &text)) return;
    // The whole file, line breaks included; neither checked nor upper-cased.
    ScoreEntryText = text;
    WJMC->setText(chosen.fileTitle);
    Text1->setText(ScoreEntryText);
}

void ScoreEntryWindow::FANHUI_Click() { Form_Unload(); }

void ScoreEntryWindow::Form_Unload() {
    if (leaving_) return;
    leaving_ = true;
    if (!midi::G.Form1Instance) midi::G.Form1Instance = new MainWindow();
    midi::G.Form1Instance->Show();
    hide();
    if (Instance == this) Instance = nullptr;
    deleteLater();
}

void ScoreEntryWindow::closeEvent(QCloseEvent* e) {
    e->ignore();
    rt::guard([this] { Form_Unload(); });
}
