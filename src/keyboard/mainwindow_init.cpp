// First-time initialisation of the main window: step boxes, key pictures,
// instrument and percussion lists, default voices, chords, key and tempo,
// the programs of channels 0..5, the first rhythm file and the chord set-up.
#include "keyboard/mainwindow.h"

#include "keyboard/keyboardwidgets.h"
#include "midi/midiout.h"
#include "platform/dialogs.h"
#include "platform/fileutil.h"
#include "platform/resources.h"
#include "platform/textcodec.h"

#include <QDir>
#include <QFile>

using namespace midi;

void MainWindow::QDCSH() {
    G.RhythmLastStep = 15;

    // Step boxes 1..16 of the three rows.
    for (int i = 1; i <= 16; ++i) {
        for (int r = 0; r < 3; ++r) {
            std::vector<ui::CheckBox*>& row = StepRow(r);
            if (static_cast<int>(row.size()) <= i) row.push_back(NewStepBox(r, i));
            row[i]->move(13 * i, row[0]->y());
            row[i]->setVisible(true);
        }
    }
    BZXS();

    XSWB->setCaption(QStringLiteral("    当键盘演奏无声时请将输入法切换为英语(美国)输入方式，演奏当中可用空格键终止演奏！"));

    // Key pictures.
    KeyWhiteUp = plat::LoadResPicture(102);
    KeyWhiteDown = plat::LoadResPicture(103);
    KeyBlackUp = plat::LoadResPicture(104);
    KeyBlackDown = plat::LoadResPicture(105);
    for (int i = 0; i <= 64; ++i) {
        int m = i % 12;
        bool black = m == 1 || m == 3 || m == 6 || m == 8 || m == 10;
        Picture1[i]->setPicture(black ? KeyBlackUp : KeyWhiteUp);
        G.KeyIsWhite(i) = black ? False : True;
    }
    KeyRow->setCursor(plat::LoadResCursor(501));

    // Lists.
    for (int i = 0; i <= 128; ++i) {
        const QString item = plat::LoadResString(201 + i);
        Combo1->addItem(item);
        Combo3->addItem(item);
        xuanyue->addItem(item);
        for (int j = 0; j <= 2; ++j) {
            ComSounds[j]->addItem(item);
            YQSZ[j]->addItem(item);
        }
    }
    for (int i = 0; i <= 46; ++i) {
        const QString item = plat::LoadResString(335 + i);
        for (int r = 0; r < 3; ++r) LblInst[r]->addItem(item);
        YQSZ[3]->addItem(item);
    }

    // Default selections; each box's own handler runs as it is set.
    ComSounds[0]->setListIndex(52);
    ComSounds[1]->setListIndex(15);
    ComSounds[2]->setListIndex(79);
    xuanyue->setListIndex(25);
    HxYL->setListIndex(2);
    G.ChannelProgram(0) = 52;
    G.ChannelProgram(1) = 15;
    G.ChannelProgram(2) = 79;
    Combo1->setListIndex(4);
    Combo3->setListIndex(25);
    Zxlyl[0]->setListIndex(4);
    Zxlyl[1]->setListIndex(3);
    Zxlyl[2]->setListIndex(2);
    YD->setListIndex(0);
    SD->setListIndex(6);

    G.BaseNote = rt::add16(YD->listIndex(), 36);
    G.BeatInterval = 107;
    Timer1->setInterval(G.BeatInterval);
    G.PartVelocity(0) = 85;
    G.PartVelocity(1) = 70;
    G.PartVelocity(2) = 55;
    G.PartVelocity(3) = 55;

    ProgramChange(0, 0, rt::add16(ComSounds[0]->listIndex(), -1));
    ProgramChange(1, 0, rt::add16(ComSounds[1]->listIndex(), -1));
    ProgramChange(2, 0, rt::add16(ComSounds[2]->listIndex(), -1));
    ProgramChange(3, 0, rt::add16(Combo3->listIndex(), -1));
    ProgramChange(4, 0, rt::add16(Combo1->listIndex(), -1));
    ProgramChange(5, 0, rt::add16(Combo1->listIndex(), -1));

    VsbVol->setListIndex(5);

    // The rhythm files of the record folder; a missing folder lists nothing.
    const QString recordFolder = plat::resolvePath(G.AppPath + QStringLiteral("演奏记录"));
    File1->setPattern(QStringLiteral("*.bin"));
    if (!recordFolder.isEmpty() && QDir(recordFolder).exists()) File1->setPath(recordFolder);
    if (File1->listCount() >= 1) {
        const QString name = File1->list(0);
        QFile f(File1->path() + u'/' + name);
        // A file that cannot be read, or is too long to be a pattern, is
        // reported and leaves the grid and Label11 as they are: the program
        // still starts. The label names a file only once it has been read.
        QByteArray bytes;
        bool read = f.size() <= 32767 && f.open(QIODevice::ReadOnly);
        if (read) {
            bytes = f.readAll();
            read = f.error() == QFileDevice::NoError;
            f.close();
        }
        if (read) {
            G.RhythmFileText = plat::fromGbk(bytes);
            Label11->setCaption(QStringLiteral("1★") + name);
            OpenJZwj();
        } else {
            plat::msgBox(QStringLiteral("打开节奏文件出错，请检查！"), plat::kOkOnly);
        }
    }

    CSHX();
    G.ScoreText.clear();
    G.NoteTicks = 0;
    DialogFolder = G.AppPath + QStringLiteral("演奏记录/");
}
