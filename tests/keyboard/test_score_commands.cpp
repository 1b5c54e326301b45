// Long scores and the score box: a run of commands read at once with the
// caret moved once, the note of a key sent before the box changes, a rhythm
// file of any size behind "JP", and the clock of "打开" counting from the
// dialog's teardown.
#include "mainwindowfixture.h"

#include <QCoreApplication>
#include <QPlainTextEdit>

using namespace midi;

class ScoreCommandsTest : public Form1Test {
protected:
    void PrepareFolder() override {
        // A pattern line (velocity position 6), then more than 32 KB.
        const QString line = QStringLiteral("060201030700") + QString(16, u'*') + QString(33, u'-') +
                             QStringLiteral("big.bin         ");
        folder.write(QStringLiteral("演奏记录/big.bin"), plat::toGbk(line) + "\r\n" + QByteArray(40000, 'x') + "\r\n");
    }
    QPlainTextEdit* edit() const { return static_cast<QPlainTextEdit*>(form->Text3->editor()); }
};

TEST_F(ScoreCommandsTest, ARunOfCommandsIsReadAtOnceAndTheCaretMovesOnce) {
    int moves = 0;
    QObject::connect(edit(), &QPlainTextEdit::cursorPositionChanged, [&] { ++moves; });
    form->Text3->setText(QStringLiteral("JP0").repeated(2000) + QStringLiteral("YQ1KC4TZ"));
    moves = 0;
    form->Yuepu_Click(0);
    EXPECT_EQ(G.KeyOffset, 24);
    EXPECT_LE(moves, 1);
    EXPECT_EQ(edit()->textCursor().selectedText(), QStringLiteral("C")) << "the note's second character";

    // "JP1": the first pattern of the list, though larger than 32 KB.
    form->StopScorePlay();
    form->Text3->setText(QStringLiteral("JP1KC4TZ"));
    form->Yuepu_Click(0);
    EXPECT_EQ(form->Check5->value(), 1);
    EXPECT_EQ(form->VsbVol->listIndex(), 6);
    EXPECT_EQ(form->Label11->caption(), QStringLiteral("1★big.bin"));
}

TEST_F(ScoreCommandsTest, AKeySendsItsNoteBeforeTheScoreBoxChanges) {
    form->Text3->setText(QStringLiteral("KC2").repeated(1000));
    take();
    bool noteFirst = false;
    QObject::connect(edit(), &QPlainTextEdit::textChanged, [&] {
        for (uint32_t m : devices.mapper->messages) noteFirst = noteFirst || (m & 0xF0) == 0x90;
    });
    key(kH);
    EXPECT_TRUE(noteFirst);
    EXPECT_TRUE(form->Text3->text().endsWith(QStringLiteral("2KD")));
}

// The dialog closes by events queued as it returns: "打开" starts the play's
// clock only after them, so the first tick keeps its whole length.
TEST_F(ScoreCommandsTest, OpenStartsTheClockOnceTheDialogIsGone) {
    struct ClosingDialogs : testing_support::TestDialogs {
        qint64 closedNs = -1;
        plat::FileDialogResult fileDialog(QWidget* w, const plat::FileDialogRequest& r) override {
            QMetaObject::invokeMethod(qApp, [this] { closedNs = ui::Timer::nowNs(); }, Qt::QueuedConnection);
            return TestDialogs::fileDialog(w, r);
        }
    };
    folder.write(QStringLiteral("演奏记录/a.txt"), "KC4TZ\r\n");
    qint64 closedNs = -1;
    {
        ClosingDialogs closing;
        closing.fileAnswers.push_back(folder.file(QStringLiteral("演奏记录/a.txt")));
        form->Yuepu_Click(2);
        QCoreApplication::sendPostedEvents();
        closedNs = closing.closedNs;
    }
    plat::setDialogs(&dialogs);
    ASSERT_GT(closedNs, 0);
    EXPECT_GE(form->Timer3->nextDeadlineNs(), closedNs + qint64(form->Timer3->interval()) * 1000000);
}
