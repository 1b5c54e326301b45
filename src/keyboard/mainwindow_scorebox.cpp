// The buttons under the score box: play and stop, delete the last file,
// open a score file and play it, clear, save; and "新建", which opens the
// score entry window. A score file is GBK text holding one score; it is
// written as one line ended by CR LF, and read by joining all its lines.
#include "keyboard/mainwindow.h"

#include "keyboard/keyboardwidgets.h"
#include "keyboard/scorefile.h"
#include "keyboard/scorewindow.h"
#include "midi/midiout.h"
#include "platform/dialogs.h"
#include "platform/fileutil.h"
#include "platform/textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

using namespace midi;

namespace {

// The melody note that sounds and both chord tracks fall silent.
void scoreNotesOff(MainWindow& f) {
    MainWindow::ReleaseMelodyNote(G.LastNoteOffset);
    f.HX1K();
    f.HX2K();
}

}  // namespace

void MainWindow::StopScorePlay() {
    StopScoreClock();
    scoreNotesOff(*this);
    Yuepu[0]->setText(QStringLiteral("试听"));
    AutoPlayRunning = false;
    ScoreBoxFollowsPlay();
}

void MainWindow::Yuepu_MouseDown(int index) {
    if (index != 0) return;
    // Silence at once, before the click decides whether to stop or start.
    StopScoreClock();
    scoreNotesOff(*this);
    BZDS->setEnabled(false);
    Yuepu[0]->setText(QStringLiteral("试听"));
}

void MainWindow::Yuepu_Click(int index) {
    switch (index) {
    case 0:
        if (!AutoPlayRunning) {
            ShowKeyUp(G.LastNoteOffset);
            Text3->setText(Text3->text().toUpper());
            G.ScoreText = Text3->text();
            PlayScoreText();
        } else {
            StopScoreClock();
            scoreNotesOff(*this);
            BZDS->setEnabled(false);
            BzQd->setValue(0);
            Yuepu[0]->setText(QStringLiteral("试听"));
            YXYZ();
            AutoPlayRunning = false;
            ScoreBoxFollowsPlay();
        }
        break;

    case 1: {
        // Only a file that really went away empties the box.
        const QString found = LastOpenedFile.isEmpty() ? QString() : plat::resolvePath(LastOpenedFile);
        if (found.isEmpty() || !QFileInfo(found).isFile()) {
            FJWZ->setCaption(QStringLiteral("没有可删除的文件。。。"));
            break;
        }
        // The file is the last one chosen in any dialog, a recording included,
        // and cannot be brought back: the user confirms it by name, and a
        // stray Enter keeps it.
        if (plat::msgBox(QStringLiteral("确定要删除文件“%1”吗？\n删除后不可恢复！").arg(QDir::toNativeSeparators(found)),
                         plat::kYesNo | plat::kQuestion | plat::kDefaultButton2) != plat::kAnsYes) {
            FJWZ->setCaption(QStringLiteral("已取消删除。。。"));
        } else if (!QFile::remove(found)) {
            FJWZ->setCaption(QStringLiteral("删除文件失败。。。"));
        } else {
            G.ScoreText.clear();
            Text3->setText(QString());
            FJWZ->setCaption(QStringLiteral("成功删除文件。。。"));
        }
        break;
    }

    case 2: {
        StopScoreClock();
        scoreNotesOff(*this);
        ScoreBoxFollowsPlay();
        const plat::FileDialogResult chosen = keyboard::AskScoreFile(this, false, DialogFolder);
        if (chosen.cancelled) return;
        LastOpenedFile = chosen.fileName;
        QString text;
        if (LastOpenedFile.isEmpty() || !keyboard::ReadScoreFile(LastOpenedFile, &text)) return;
        // The box and the score change only once the file has been read.
        // Its lines joined: the line ends left out.
        G.ScoreText = text.remove(u'\r').remove(u'\n');
        File1->hide();
        Text3->setText(G.ScoreText);
        FJWZ->setCaption(QStringLiteral("自动演奏中。。。"));
        // The file's text plays as it is, not upper-cased.
        PlayScoreText();
        // The dialog is torn down by the events its closing queued (and the
        // repaint of what it covered): they run first, then the clock counts
        // its first tick from there, or a slow teardown inside the first
        // tick would make the first note late.
        if (Timer3->enabled()) {
            const uint32_t play = scorePlaySerial_;
            const qint64 due = Timer3->nextDeadlineNs();
            QMetaObject::invokeMethod(
                this,
                [this, play, due] {
                    const QPointer<MainWindow> self(this);
                    rt::DoEvents();
                    if (self && play == scorePlaySerial_ && Timer3->nextDeadlineNs() == due)
                        Timer3->setInterval(Timer3->interval());
                },
                Qt::QueuedConnection);
        }
        break;
    }

    case 3:
        Text3->setText(QString());
        G.ScoreText.clear();
        Timer1->setEnabled(false);
        ScorePos = 1;
        ResetSteps();
        SFYXYZ->setEnabled(true);
        if (isVisible()) SFYXYZ->setFocus(Qt::OtherFocusReason);
        FJWZ->setCaption(QStringLiteral("成功清空乐谱。。。"));
        break;

    case 4: {
        StopScoreClock();
        scoreNotesOff(*this);
        ScoreBoxFollowsPlay();
        G.ScoreText = Text3->text();
        const plat::FileDialogResult chosen = keyboard::AskScoreFile(this, true, DialogFolder);
        if (chosen.cancelled) return;
        LastOpenedFile = chosen.fileName;
        if (G.ScoreText.isEmpty() || LastOpenedFile.isEmpty()) return;
        // Not written: the old file, if any, is as it was; the score is still in the box.
        if (!keyboard::WriteScoreFile(LastOpenedFile, plat::toGbk(G.ScoreText) + QByteArrayLiteral("\r\n"))) return;
        AutoPlayRunning = false;
        Yuepu[0]->setText(QStringLiteral("试听"));
        FJWZ->setCaption(QStringLiteral("成功保存乐谱。。。"));
        ScoreBoxFollowsPlay();
        break;
    }

    default:
        rt::raise(rt::kErrSubscript);
    }
}

void MainWindow::XINJIAN_Click() {
    // The activation that brings this window back copies ScoreText into the
    // box: keep what the user typed there.
    if (!AutoPlayRunning && !Timer3->enabled()) G.ScoreText = Text3->text();
    if (!ScoreEntryWindow::Instance) ScoreEntryWindow::Instance = new ScoreEntryWindow();
    ScoreEntryWindow::Instance->Show();
    Hide();
}
