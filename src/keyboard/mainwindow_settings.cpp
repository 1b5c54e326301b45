// The key-settings page: what F1..F12 (instrument combinations), the numpad
// digits (drum pads) and Insert..PageDown (sound effects) do, with previews,
// and the save button that writes vanto.ini.
#include "keyboard/mainwindow.h"

#include "midi/gestures.h"
#include "platform/dialogs.h"
#include "platform/fileutil.h"
#include "platform/savefile.h"
#include "platform/sound.h"
#include "platform/textcodec.h"

#include <QDir>

using namespace midi;

namespace {

constexpr int kFirstPad = 12;     // Option3 12..21: numpad 0..9
constexpr int kFirstEffect = 22;  // Option3 22..27: Insert, Home, PageUp, Delete, End, PageDown

QString effectFolder() { return G.AppPath + QStringLiteral("音效/"); }

// The list position a stored value shows: none (-1) for a value that is no
// position of the list (a hand-edited vanto.ini), so it is neither shown as
// something else nor stored back.
int shownPosition(const ui::ComboBox* box, int value) { return value >= 0 && value < box->listCount() ? value : -1; }

// A name that survives a line of vanto.ini: one line, GBK characters only.
bool storableName(const QString& name) {
    return !name.contains(u'\r') && !name.contains(u'\n') && plat::fromGbk(plat::toGbk(name)) == name;
}

QByteArray gbkPath(const QString& path) { return plat::toGbk(plat::resolvePath(path)); }

}  // namespace

void MainWindow::buildSettingsPage(QWidget* page) {
    // The 28 keys, one option group, five to a row: F1..F12 in three rows,
    // the pads in two, the effect keys in two.
    auto* keys = new QWidget(page);
    // Columns wide enough for "Hom" beside the next key's button.
    constexpr int kColumn = 51;
    keys->setGeometry(4, 2, 5 * kColumn, 120);
    // A narrower gap between button and caption than the style's own.
    keys->setStyleSheet(QStringLiteral("QRadioButton { spacing: 3px; }"));
    static const char* effectCaptions[6] = {"Ins", "Hom", "Pup", "Del", "End", "Pdo"};
    static const char* effectKeys[6] = {"Insert", "Home", "PageUp", "Delete", "End", "PageDown"};
    for (int i = 0; i < 28; ++i) {
        QString caption, tip;
        if (i < kFirstPad) {
            caption = QStringLiteral("F%1").arg(i + 1);
            tip = QStringLiteral("点击我即可设置\"%1\"键拥有的乐器切换快捷方式！").arg(caption);
        } else if (i < kFirstEffect) {
            caption = QString::number(i - kFirstPad);
            tip = QStringLiteral("点击我即可设置小键盘数字\"%1\"键所拥有的打击乐器的快捷方式！").arg(caption);
        } else {
            caption = QString::fromLatin1(effectCaptions[i - kFirstEffect]);
            tip = QStringLiteral("点击我即可设置\"%1\"键所拥有的特殊音效播放的快捷方式！")
                      .arg(QString::fromLatin1(effectKeys[i - kFirstEffect]));
        }
        const int first = i < kFirstPad ? 0 : i < kFirstEffect ? kFirstPad : kFirstEffect;
        const int firstRow = i < kFirstPad ? 0 : i < kFirstEffect ? 3 : 5;
        const int row = firstRow + (i - first) / 5;
        const int col = (i - first) % 5;
        Option3[i] = new ui::OptionButton(caption, keys);
        Option3[i]->setGeometry(kColumn * col, 17 * row, kColumn, 17);
        Option3[i]->setToolTip(tip);
        Option3[i]->setFocusPolicy(Qt::NoFocus);
        if (i == 0) Option3[i]->setValue(true);  // design state: F1, before its handler is wired
        Option3[i]->onClick = [this, i] { Option3_Click(i); };
    }

    for (int j = 0; j < 4; ++j) {
        YQSZ[j] = new ui::ComboBox(ui::ComboBox::PickList, page);
        YQSZ[j]->setGeometry(262, 4 + 26 * j, 124, 22);
        YQSZ[j]->onClick = [this, j] { YQSZ_Click(j); };
        YQSZ[j]->onChange = [this, j] { YQSZ_Click(j); };
    }
    YQSZ[3]->move(262, 4);
    YQSZ[3]->hide();
    File2 = new ui::FileListBox(page);
    File2->setGeometry(262, 4, 124, 104);
    File2->setPattern(QStringLiteral("*.wav"));
    File2->hide();
    File2->onClick = [this] { File2_Click(); };

    Check1 = new ui::CheckBox(QStringLiteral("静音设置"), page);
    Check1->setGeometry(4, 124, 90, 20);
    Check1->setToolTip(QStringLiteral("按下本按钮可以在设置乐器时静音，避免演奏当中发出不必要的声音！"));
    Check1->onClick = [this] { Check1_Click(); };
    Check2 = new ui::CheckBox(QStringLiteral("循环播放"), page);
    Check2->setGeometry(98, 124, 90, 20);
    Check2->setToolTip(QStringLiteral("勾选该选项后再播放特殊音效时将进行循环播放！"));
    SHUAXIN = new ui::CommandButton(QStringLiteral("停止"), page);
    SHUAXIN->setGeometry(262, 116, 60, 26);
    SHUAXIN->setToolTip(QStringLiteral("停止正在播放的特殊音效！"));
    SHUAXIN->onClick = [this] { SHUAXIN_Click(); };
    BCSZ = new ui::CommandButton(QStringLiteral("保存"), page);
    BCSZ->setGeometry(326, 116, 60, 26);
    BCSZ->setToolTip(QStringLiteral("保存当前的快捷按键设置，下次启动软件时将自动加载！"));
    BCSZ->onClick = [this] { BCSZ_Click(); };
}

void MainWindow::ShowKeySettingsPage() {
    if (Option3[0]->value()) Option3_Click(0);
    else Option3[0]->setValue(true);
    for (int j = 0; j <= 2; ++j) YQSZ[j]->show();
    YQSZ[3]->hide();
    File2->hide();
    for (int j = 0; j <= 2; ++j) YQSZ[j]->setListIndex(shownPosition(YQSZ[j], G.InstrumentPresets(0, j)));
    // A missing effect folder shows an empty list.
    const QString folder = effectFolder();
    if (!QDir(folder).exists()) File2->clear();
    else if (File2->path() != folder) File2->setPath(folder);
    else File2->refresh();
}

void MainWindow::Option3_Click(int index) {
    if (index >= 0 && index < kFirstPad) {
        for (int j = 0; j <= 2; ++j) YQSZ[j]->show();
        YQSZ[3]->hide();
        File2->hide();
        for (int j = 0; j <= 2; ++j) YQSZ[j]->setListIndex(shownPosition(YQSZ[j], G.InstrumentPresets(index, j)));
    } else if (index >= kFirstPad && index < kFirstEffect) {
        const int d = index - kFirstPad;
        for (int j = 0; j <= 2; ++j) YQSZ[j]->hide();
        File2->hide();
        YQSZ[3]->show();
        // The list's handler runs even when the list already shows this pad's
        // sound: it stores the sound, rebuilds the pad's message with the
        // rhythm velocity in force, makes it the current pad and previews it.
        YQSZ[3]->chooseListIndex(shownPosition(YQSZ[3], G.DrumPadSounds(d)));
        // A stored sound that is no list position: the handler stored nothing.
        G.DrumPadIndex = static_cast<i16>(d);
    } else if (index >= kFirstEffect && index <= 27) {
        const int e = index - kFirstEffect;
        for (int j = 0; j <= 3; ++j) YQSZ[j]->hide();
        File2->show();
        const QString path = effectFolder() + G.SoundEffectNames(e);
        if (Check1->value() != 1 && plat::fileExistsNoCase(path)) {
            const i16 flags = Check2->value() == 1 ? 11 : 3;
            plat::sndPlaySoundA(gbkPath(path).constData(), static_cast<uint32_t>(flags));
            G.SoundEffectFlags = flags;
            XSWB->setCaption(G.SoundEffectNames(e) + QStringLiteral("_音效"));
        }
    }
}

void MainWindow::YQSZ_Click(int index) {
    const int position = YQSZ[index]->listIndex();
    // An unselected box (a stored value that is no list position) stores nothing.
    if (position >= 0) {
        for (int k = 0; k <= 27; ++k) {
            if (!Option3[k]->value()) continue;
            if (k < kFirstPad && index <= 2) {
                G.InstrumentPresets(k, index) = static_cast<i16>(position);
            } else if (k >= kFirstPad && k < kFirstEffect && index == 3) {
                const int d = k - kFirstPad;
                G.DrumPadSounds(d) = static_cast<i16>(position);
                // Velocity as the rhythm grid plays it: rounded and held to 0..127.
                G.RhythmPattern(5, d).Message =
                    RhythmHitMessage(static_cast<i16>(position + 35), RhythmVelocity(rt::Val(VsbVol->text())));
                G.DrumPadIndex = static_cast<i16>(d);
                if (Check1->value() != 1) PlayDrumPad();
            }
        }
    }
    YXYZ();
}

void MainWindow::File2_Click() {
    const QString name = File2->fileName();
    if (!name.isEmpty()) {
        // A name that vanto.ini cannot hold is neither played nor stored.
        const bool storable = storableName(name);
        if (Check1->value() != 1 && storable) {
            plat::sndPlaySoundA(gbkPath(effectFolder() + name).constData(), plat::kSndAsync);
            XSWB->setCaption(name + QStringLiteral("_音效"));
        }
        for (int e = 0; e <= 5; ++e) {
            if (!Option3[kFirstEffect + e]->value()) continue;
            if (storable) G.SoundEffectNames(e) = name;
            else plat::msgBox(QStringLiteral("这个音效文件的名字含有设置文件无法保存的字符，请给文件改名后再选择！"),
                              plat::kOkOnly | plat::kExclamation);
        }
    }
    YXYZ();
}

void MainWindow::Check1_Click() {
    Check1->setText(Check1->value() == 1 ? QStringLiteral("有声设置") : QStringLiteral("静音设置"));
}

void MainWindow::SHUAXIN_Click() {
    plat::sndPlaySoundA(nullptr, 0);
    // "End" and "Pdo" keep their state.
    for (int i = 0; i <= 25; ++i) Option3[i]->setValue(false);
}

void MainWindow::BCSZ_Click() {
    QString text;
    for (int row = 0; row <= 11; ++row)
        for (int voice = 0; voice <= 2; ++voice) text += rt::printNumber(G.InstrumentPresets(row, voice)) + QStringLiteral("\r\n");
    for (int pad = 0; pad <= 9; ++pad) text += rt::printNumber(G.DrumPadSounds(pad)) + QStringLiteral("\r\n");
    for (int e = 0; e <= 5; ++e) text += G.SoundEffectNames(e) + QStringLiteral("\r\n");
    // Written whole through a temporary file: a failed save leaves the old file.
    if (!plat::writeFileAtomic(G.AppPath + QStringLiteral("vanto.ini"), plat::toGbk(text))) {
        FJWZ->setCaption(QStringLiteral("设置没有保存。。。"));
        plat::msgBox(QStringLiteral("无法保存设置文件vanto.ini，请检查软件所在的文件夹是否允许写入！"),
                     plat::kOkOnly | plat::kExclamation);
        return;
    }
    // The file now holds what is in use: later activations read it again.
    SettingsNotKept = false;
    FJWZ->setCaption(QStringLiteral("成功保存本次设置"));
    YXYZ();
}
