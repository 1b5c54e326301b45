// The score player tick by tick, long scores, and the score box's files.
#include "mainwindowfixture.h"

#include "keyboard/scorewindow.h"
#include "support/handclock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

#include <functional>

using namespace midi;
using testing_support::hexList;

namespace {
// A rhythm pattern file, 4/4, every step of row 0 ticked; `tail` after its line.
QByteArray rhythmFileBytes(const char* name, const char* velocity = "05", const QByteArray& tail = "") {
    const QString line = QString::fromLatin1(velocity) + QStringLiteral("0201030700") + QString(16, u'*') +
                         QString(33, u'-') + QString::fromUtf8(name).leftJustified(16, u' ');
    return plat::toGbk(line) + "\r\n" + tail;
}
const QString kScoreError = QStringLiteral("乐谱中出现错误，请修改！");
}  // namespace

class ScoreTest : public MainWindowTest {
protected:
    void PrepareFolder() override {
        folder.write(QStringLiteral("演奏记录/01a.bin"), rhythmFileBytes("01a.bin"));
        folder.write(QStringLiteral("演奏记录/02b.bin"), rhythmFileBytes("02b.bin"));
    }

    void play(const QString& score) {
        form->Text3->setText(score);
        form->Yuepu_Click(0);
    }
    Msgs tick3() {
        form->Timer3->tick();
        return take();
    }
    // Ticks until the play stops: (tick, note) of each strike on voice 0.
    std::vector<std::pair<int, int>> strikesUntilStop(int limit = 1000) {
        std::vector<std::pair<int, int>> strikes;
        for (int t = 1; t <= limit && form->Timer3->enabled(); ++t) {
            for (uint32_t m : tick3())
                if ((m & 0xFF) == 0x90 && (m >> 16) > 0) strikes.push_back({t, static_cast<int>((m >> 8) & 0xFF)});
        }
        return strikes;
    }
};

TEST_F(ScoreTest, PlaysEachNoteForItsLengthTickByTick) {
    play(QStringLiteral("kc8kd4tz"));
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC8KD4TZ"));
    EXPECT_EQ(form->Yuepu[0]->text(), QStringLiteral("停止"));
    EXPECT_TRUE(take().empty()) << "the read sounds nothing; the first tick does";

    Msgs got = melody(tick3());
    EXPECT_EQ(got, firstStrikeOfMiddleC()) << hexList(got);
    for (int t = 2; t <= 8; ++t) EXPECT_TRUE(melody(tick3()).empty()) << "tick " << t;
    got = melody(tick3());  // tick 9: KC ends, KD sounds
    const Msgs kd = cat(releaseOf(60), {msg(0xB0, 10, 64), msg(0x90, 62, 85), msg(0xB1, 10, 70), msg(0x91, 62, 70),
                                        msg(0xB2, 10, 88), msg(0x92, 62, 55), msg(0xB2, 10, 88), msg(0x92, 50, 55)});
    EXPECT_EQ(got, kd) << hexList(got);
    for (int t = 10; t <= 11; ++t) EXPECT_TRUE(melody(tick3()).empty());
    got = tick3();  // tick 12 reads "TZ": 64 notes of channels 0..4 released
    EXPECT_EQ(got, sweep(4, 64)) << hexList(got);
    EXPECT_FALSE(form->Timer3->enabled());
    EXPECT_EQ(form->Yuepu[0]->text(), QStringLiteral("试听"));
    EXPECT_TRUE(dialogs.messages.empty());
}

// The tick that reads the stop runs the look-ahead before its deadline and sends its note-offs then; the play ends
// at the deadline: "停止" clicked between the two stops the play instead of starting it again.
TEST_F(ScoreTest, APlayEndsAtTheDeadlineOfTheTickThatReadsTheStop) {
    using C = testing_support::HandClock;
    const C clock(9'000'000'000);
    for (bool click : {true, false}) {
        play(QStringLiteral("KC2TZ"));
        const qint64 origin = C::now, step = form->Timer3->interval() * C::ms;
        for (int k = 1; k <= 2; ++k) {
            C::now = origin + k * step - C::ahead;
            form->Timer3->fire();  // tick 2 reads the stop
            if (const Msgs sent = take(); k == 2) EXPECT_EQ(sent, sweep(4, 64));
        }
        C::now += C::ahead - 10 * C::ms;
        EXPECT_TRUE(form->Timer3->enabled()) << click;
        EXPECT_EQ(form->Yuepu[0]->text(), QStringLiteral("停止")) << click;
        if (click) form->Yuepu_Click(0);
        C::now = origin + 2 * step;
        ui::Timer::settle();
        EXPECT_FALSE(form->Timer3->enabled() || form->AutoPlayRunning) << click;
        EXPECT_EQ(form->Yuepu[0]->text(), QStringLiteral("试听")) << click;
        take();
    }
}

TEST_F(ScoreTest, LengthsCarryAndADigitAtTheEndCounts) {
    play(QStringLiteral("KC8KDKE4KFTZ"));
    using S = std::vector<std::pair<int, int>>;
    EXPECT_EQ(strikesUntilStop(), (S{{1, 60}, {9, 62}, {17, 64}, {21, 65}}));
    EXPECT_EQ(form->TokenTicks, 4) << "the carried length outlives the play";

    // No closing "TZ": the last note sounds for its one digit, then the read past the end is an error.
    play(QStringLiteral("KC4KD4"));
    EXPECT_EQ(strikesUntilStop(), (S{{1, 60}, {5, 62}}));
    EXPECT_EQ(dialogs.messages, QStringList{kScoreError});
    dialogs.messages.clear();
    play(QStringLiteral("KC4"));
    EXPECT_EQ(form->TokenTicks, 4);
    form->Yuepu_Click(0);

    // "VS" and "YQ" clear the carried length: a length of 0 never ends, KD holds until the play is stopped.
    for (const char* score : {"KC8VS3KDKE8TZ", "KC8YQ1KDKE8TZ"}) {
        play(QString::fromLatin1(score));
        EXPECT_EQ(strikesUntilStop(300), (S{{1, 60}, {9, 62}})) << score;
        EXPECT_TRUE(form->Timer3->enabled()) << score;
        form->Yuepu_Click(0);
    }
    EXPECT_EQ(form->SD->text(), QStringLiteral("50"));
}

TEST_F(ScoreTest, TempoTokensAndTheTempoBox) {
    using S = std::vector<std::pair<int, int>>;
    play(QStringLiteral("VS5KC4TZ"));
    EXPECT_EQ(form->Timer3->interval(), 125);
    EXPECT_EQ(form->SD->text(), QStringLiteral("60"));
    EXPECT_EQ(strikesUntilStop(), (S{{1, 60}}));

    // Out of range: KC is struck again after its 4 ticks and held 20 more.
    play(QStringLiteral("KC4VS20KD4TZ"));
    EXPECT_EQ(strikesUntilStop(), (S{{1, 60}, {5, 60}, {25, 62}}));
    EXPECT_EQ(G.BeatInterval, 125);

    form->SD->setText(QStringLiteral("140"));
    play(QStringLiteral("KC2TZ"));
    EXPECT_EQ(form->Timer3->interval(), 54);
    strikesUntilStop();
}

TEST_F(ScoreTest, NoteTokensAndErrors) {
    // The 33 note tokens and their offsets.
    const char* octaves = "LWKHM";
    const char* notes = "CDEFGAB";
    const int steps[7] = {0, 2, 4, 5, 7, 9, 11};
    for (int o = 0; o < 5; ++o) {
        for (int n = 0; n < (o == 4 ? 5 : 7); ++n) {
            const QString token = QString(QChar(octaves[o])) + QChar(notes[n]);
            SCOPED_TRACE(token.toStdString());
            play(token + QStringLiteral("1TZ"));
            EXPECT_EQ(G.KeyOffset, 12 * o + steps[n]);
            strikesUntilStop();
        }
    }
    EXPECT_TRUE(dialogs.messages.empty());

    // An error stops the clock before its message, after the note-offs of
    // the sounding note (voice 2 an octave below too).
    play(QStringLiteral("KC2MA2TZ"));
    bool clockStoppedAtMessage = false;
    dialogs.onMessage = [&](const QString&) { clockStoppedAtMessage = !form->Timer3->enabled(); };
    tick3();
    const Msgs got = melody(tick3());
    EXPECT_EQ(got, releaseOf(60)) << hexList(got);
    EXPECT_EQ(dialogs.messages, QStringList{kScoreError});
    EXPECT_TRUE(clockStoppedAtMessage);
    EXPECT_EQ(form->Yuepu[0]->text(), QStringLiteral("试听"));

    // A blank, a stray character, a single character.
    for (const char* score : {"KC2 KD2TZ", "K", "KC2XTZ"}) {
        dialogs.messages.clear();
        play(QString::fromUtf8(score));
        strikesUntilStop();
        EXPECT_EQ(dialogs.messages.size(), 1) << score;
    }
}

TEST_F(ScoreTest, RestsAndStopsSilenceEveryVoice) {
    play(QStringLiteral("KC2XZ8KD2TZ"));
    tick3();
    EXPECT_EQ(melody(tick3()), sweep(2, 64)) << "tick 2 reads the rest";
    for (int t = 3; t <= 10; ++t) EXPECT_TRUE(melody(tick3()).empty());
    const Msgs got = melody(tick3());
    ASSERT_GE(got.size(), 4u);
    EXPECT_EQ(Msgs(got.begin(), got.begin() + 4), releaseOf(60));
    strikesUntilStop();

    // A note of the lowest octave: voice 2's octave below lies under the swept notes and is released as well.
    play(QStringLiteral("LC2XZ2LD2TZ"));
    tick3();
    EXPECT_TRUE(contains(tick3(), msg(0x82, 24, 0)));
    for (int t = 0; t < 3; ++t) tick3();
    EXPECT_TRUE(contains(tick3(), msg(0x82, 26, 0))) << "the stop releases it too";
    EXPECT_FALSE(form->Timer3->enabled());
}

TEST_F(ScoreTest, InstrumentCombinationsAndRhythmFiles) {
    // "YQ13" silences the three voices; the next note sounds nothing.
    play(QStringLiteral("YQ13KC2TZ"));
    for (int j = 0; j <= 2; ++j) EXPECT_EQ(form->ComSounds[j]->listIndex(), 0);
    EXPECT_TRUE(only(tick3(), 0x90, 0x92).empty());
    strikesUntilStop();

    // "YQ1" takes the first preset row; a number outside 1..13 changes nothing and the play reads on.
    play(QStringLiteral("YQ1YQ14YQKC2TZ"));
    for (int j = 0; j <= 2; ++j) EXPECT_EQ(form->ComSounds[j]->listIndex(), G.InstrumentPresets(0, j));
    EXPECT_TRUE(form->Timer3->enabled());
    EXPECT_EQ(G.KeyOffset, 24);
    strikesUntilStop();
    EXPECT_TRUE(dialogs.messages.empty());

    // "JP2" loads the second rhythm file and turns auto-sync on; "JP99"
    // turns it off; "JP3" with two files only resets the rhythm counters.
    play(QStringLiteral("JP2KC2TZ"));
    EXPECT_EQ(std::tuple(form->Label11->caption(), form->File1->listIndex(), form->Check5->value()),
              std::tuple(QStringLiteral("2★02b.bin"), 1, 1));
    EXPECT_TRUE(form->Option1[2]->value());
    strikesUntilStop();
    form->Option1[0]->setValue(true);  // the entry already chosen is loaded again
    play(QStringLiteral("JP2KC2TZ"));
    EXPECT_TRUE(form->Option1[2]->value());
    strikesUntilStop();
    play(QStringLiteral("JP99KC2TZ"));
    EXPECT_EQ(form->Check5->value(), 0);
    strikesUntilStop();
    play(QStringLiteral("KC2JP3KC2TZ"));
    tick3();
    G.RhythmStep = 5;
    G.DrumStep = 3;
    tick3();  // reads "JP3"
    EXPECT_EQ(G.RhythmStep + G.DrumStep, 0);
    EXPECT_EQ(form->Label11->caption(), QStringLiteral("2★02b.bin"));
    strikesUntilStop();
    EXPECT_TRUE(dialogs.messages.empty());
}

// Steps on ticks 1, 3 (KC) and 4, 6 (KD); a drum step every second step.
// "VS" starts the pattern over: KD's first drum step is step 0 again.
TEST_F(ScoreTest, AutoSyncAccompaniesOnTheEvenTicksOfEachNote) {
    form->Check5->setValue(1);
    patternOnEveryStep();
    const struct { const char* score; std::vector<int> velocities, accents; } cases[] = {
        {"KC3KD4TZ", {10, 11}, {127, 100}}, {"KC3VS5KD4TZ", {10, 10}, {127, 127}}};
    for (const auto& c : cases) {
        play(QString::fromLatin1(c.score));
        std::vector<int> drumTicks, velocities, accents;
        for (int t = 1; form->Timer3->enabled(); ++t) {
            for (uint32_t m : tick3()) {
                if ((m & 0xFF) == 0x99) drumTicks.push_back(t), velocities.push_back(int(m >> 16));
                if ((m & 0xFFFF) == 0x0BB9) accents.push_back(static_cast<int>(m >> 16));
            }
        }
        EXPECT_EQ(drumTicks, (std::vector<int>{1, 4})) << c.score;
        EXPECT_EQ(velocities, c.velocities) << c.score;
        EXPECT_EQ(accents, c.accents) << c.score;
    }
}

TEST_F(ScoreTest, PlayingStopsTheLiveClockAndLocksTheBox) {
    key(kG);
    ASSERT_TRUE(form->Timer1->enabled());
    play(QStringLiteral("KC2KD2TZ"));
    EXPECT_FALSE(form->Timer1->enabled()) << "its idle close would rewrite the score";
    auto* editor = form->Text3->editor();
    EXPECT_TRUE(editor->property("readOnly").toBool());
    strikesUntilStop();
    EXPECT_FALSE(editor->property("readOnly").toBool());
}

TEST_F(ScoreTest, PlayButtonSilencesOnPressAndStopsOnClick) {
    play(QStringLiteral("KC8KD8TZ"));
    tick3();
    // A real press and release on the button: the press silences at once.
    QPoint centre = form->Yuepu[0]->rect().center();
    QMouseEvent press(QEvent::MouseButtonPress, centre, form->Yuepu[0]->mapToGlobal(centre), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->Yuepu[0], &press);
    EXPECT_FALSE(form->Timer3->enabled());
    EXPECT_EQ(form->Yuepu[0]->text(), QStringLiteral("试听"));
    EXPECT_EQ(melody(take()), releaseOf(60));
    QMouseEvent release(QEvent::MouseButtonRelease, centre, form->Yuepu[0]->mapToGlobal(centre), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->Yuepu[0], &release);
    EXPECT_FALSE(form->AutoPlayRunning);

    // Idle: the next press and click start again from the first token.
    QCoreApplication::sendEvent(form->Yuepu[0], &press);
    QCoreApplication::sendEvent(form->Yuepu[0], &release);
    EXPECT_TRUE(form->AutoPlayRunning);
    EXPECT_EQ(form->ScorePos, 4);
    EXPECT_EQ(only(tick3(), 0x90, 0x90), Msgs{msg(0x90, 60, 85)});

    // A stop that runs while a tick yields: that tick sends nothing more.
    for (int t = 2; t <= 8; ++t) tick3();
    QMetaObject::invokeMethod(form.get(), [this] {
        form->Yuepu_MouseDown(0);
        form->Yuepu_Click(0);
    }, Qt::QueuedConnection);
    const Msgs ninth = tick3();
    EXPECT_TRUE(only(ninth, 0x90, 0x9F).empty()) << hexList(ninth);
    EXPECT_FALSE(form->Timer3->enabled());
    EXPECT_FALSE(form->AutoPlayRunning);

    // A note key of live playing leaves the play to the next press.
    play(QStringLiteral("KC8TZ"));
    key(kH);
    EXPECT_FALSE(form->AutoPlayRunning);
    EXPECT_TRUE(form->Timer3->enabled());
    form->Yuepu_MouseDown(0);
    form->Yuepu_Click(0);
    EXPECT_TRUE(form->AutoPlayRunning) << "a new play from the first token";
    EXPECT_EQ(form->ScorePos, 4);
}

// The rhythm audition ends with the play: at its "TZ", at a press on the
// play button, and in the button's stop branch.
TEST_F(ScoreTest, TheRhythmAuditionStopsWithThePlay) {
    const std::function<void()> stops[] = {
        [this] { strikesUntilStop(); }, [this] { form->Yuepu_MouseDown(0); }, [this] { form->Yuepu_Click(0); }};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        form->BzQd->setValue(1);
        ASSERT_TRUE(form->BZDS->enabled());
        play(QStringLiteral("KC2KD2TZ"));
        tick3();
        stops[i]();
        EXPECT_FALSE(form->BZDS->enabled());
        EXPECT_FALSE(form->Timer3->enabled());
        if (form->AutoPlayRunning) form->Yuepu_Click(0);  // the click after the press
        form->BzQd->setValue(0);
    }
}

// A save dialog cancelled during a play leaves the play stopped and silent,
// still counted as running: the next click of the play button is a stop,
// the one after it a new play from the start.
TEST_F(ScoreTest, ASaveCancelledDuringAPlayLeavesItStopped) {
    play(QStringLiteral("KC8KD8TZ"));
    tick3();
    take();
    form->Yuepu_Click(4);
    EXPECT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(melody(take()), releaseOf(60));
    for (int t = 0; t < 20; ++t) EXPECT_TRUE(tick3().empty());
    form->Yuepu_Click(0);
    EXPECT_FALSE(form->Timer3->enabled());
    EXPECT_EQ(form->Yuepu[0]->text(), QStringLiteral("试听"));
    form->Yuepu_Click(0);
    EXPECT_EQ(only(tick3(), 0x90, 0x90), Msgs{msg(0x90, 60, 85)});
}

class ScoreCommandsTest : public MainWindowTest {
protected:
    void PrepareFolder() override {  // a pattern line, then more than 32 KB
        folder.write(QStringLiteral("演奏记录/big.bin"), rhythmFileBytes("big.bin", "06", QByteArray(40000, 'x') + "\r\n"));
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
    EXPECT_EQ(std::tuple(form->Check5->value(), form->VsbVol->listIndex(), form->Label11->caption()),
              std::tuple(1, 6, QStringLiteral("1★big.bin")));
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

class ScoreBoxTest : public MainWindowTest {
protected:
    void TearDown() override {
        delete ScoreEntryWindow::Instance;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        MainWindowTest::TearDown();
    }
    void openFile(const QString& path) {
        dialogs.fileAnswers.push_back(path);
        form->Yuepu_Click(2);
    }
    // Ticks the score clock until the play stops; the number of ticks.
    int playToEnd() {
        int t = 0;
        for (; form->Timer3->enabled() && t < 20000; ++t) form->Timer3->tick();
        take();
        return t;
    }
};

TEST_F(ScoreBoxTest, OpenPlaysTheLinesOfAFileJoined) {
    folder.write(QStringLiteral("演奏记录/三行.txt"), plat::toGbk(QStringLiteral("VS5KC2\r\nKD2\nXZ2\rTZ\r\n")));
    form->Text3->setText(QStringLiteral("KC4TZ"));
    G.ScoreText = QStringLiteral("KC4TZ");

    // Cancel: the box and the score stay.
    form->Yuepu_Click(2);
    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(std::tuple(dialogs.fileRequests[0].initDir, form->Text3->text(), G.ScoreText),
              std::tuple(folder.path() + QStringLiteral("演奏记录/"), QStringLiteral("KC4TZ"), QStringLiteral("KC4TZ")));

    // A name that exists in another case.
    openFile(record(QStringLiteral("三行.TXT")));
    EXPECT_EQ(std::tuple(form->Text3->text(), G.ScoreText, form->Yuepu[0]->text()),
              std::tuple(QStringLiteral("VS5KC2KD2XZ2TZ"), QStringLiteral("VS5KC2KD2XZ2TZ"), QStringLiteral("停止")));
    EXPECT_EQ(playToEnd(), 6);
    EXPECT_TRUE(dialogs.messages.empty());

    // A file's text plays as it is: lower case is an error in it.
    folder.write(QStringLiteral("演奏记录/小写.txt"), "KC2kd2TZ\r\n");
    openFile(record(QStringLiteral("小写.txt")));
    playToEnd();
    EXPECT_EQ(dialogs.messages, QStringList{kScoreError});

    // A file that is missing, cannot be read or is over 16 MB changes nothing and says so; 16 MB are read.
    dialogs.messages.clear();
    folder.write(QStringLiteral("演奏记录/正好.txt"), QByteArray(16 * 1024 * 1024 - 4, 'K') + "C4TZ");
    openFile(record(QStringLiteral("正好.txt")));
    EXPECT_EQ(G.ScoreText.size(), 16 * 1024 * 1024);
    folder.write(QStringLiteral("演奏记录/大.txt"), QByteArray(16 * 1024 * 1024 + 1, 'K'));
    dialogs.messages.clear();
    form->Text3->setText(G.ScoreText = QStringLiteral("KC2kd2TZ"));
    for (const QString& path :
         {record(QStringLiteral("大.txt")), record(QStringLiteral("没有.txt")), QStringLiteral("/proc/self/mem")})
        openFile(path);
    EXPECT_EQ(dialogs.messages.join(u'|').toStdString(), "乐谱文件“大.txt”太大（超过16MB），不能打开！|"
                                                         "找不到乐谱文件“没有.txt”，请检查！|无法读取乐谱文件“mem”，请检查！");
    EXPECT_EQ(form->Text3->text() + G.ScoreText, QStringLiteral("KC2kd2TZKC2kd2TZ"));
    EXPECT_FALSE(form->Timer3->enabled());
}

TEST_F(ScoreBoxTest, SaveWritesOneGbkLineAndDeleteRemovesTheLastFile) {
    form->Text3->setText(QStringLiteral("KC4歌TZ"));
    form->Yuepu_Click(0);  // a play with an error in it is stopped by the save
    dialogs.messages.clear();
    folder.write(QStringLiteral("演奏记录/Old.TXT"), "KD2TZ\r\n");
    answer(QStringLiteral("old.txt"));
    form->Yuepu_Click(4);
    EXPECT_EQ(folder.read(QStringLiteral("演奏记录/Old.TXT")), plat::toGbk(QStringLiteral("KC4歌TZ\r\n")))
        << "the file of the same name in another case is replaced";
    EXPECT_FALSE(QFile::exists(record(QStringLiteral("old.txt"))));
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("成功保存乐谱。。。"));
    EXPECT_EQ(QDir(folder.file(QStringLiteral("演奏记录"))).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file is left";

    // A file that cannot be written: said so, the score kept in the box.
    form->FJWZ->setCaption(QString());
    dialogs.fileAnswers.push_back(folder.file(QStringLiteral("没有的文件夹/a.txt")));
    form->Yuepu_Click(4);
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("保存乐谱文件出错，请检查文件夹是否可写！")});
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC4歌TZ"));
    EXPECT_TRUE(form->FJWZ->caption().isEmpty());
    dialogs.messages.clear();

    // An empty box: the dialog, the path remembered, nothing written.
    form->Text3->setText(QString());
    form->FJWZ->setCaption(QString());
    answer(QStringLiteral("空.txt"));
    form->Yuepu_Click(4);
    EXPECT_FALSE(QFile::exists(record(QStringLiteral("空.txt"))));
    EXPECT_EQ(form->LastOpenedFile, record(QStringLiteral("空.txt")));
    EXPECT_TRUE(form->FJWZ->caption().isEmpty());

    // A file that cannot be deleted, and one that is not there, keep the box and say so.
    form->LastOpenedFile = QStringLiteral("/proc/version");
    dialogs.messageAnswers.push_back(plat::kAnsYes);
    form->Yuepu_Click(1);
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("删除文件失败。。。"));
    form->LastOpenedFile = record(QStringLiteral("空.txt"));
    form->Text3->setText(QStringLiteral("KC4TZ"));
    form->Yuepu_Click(1);
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC4TZ"));
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("没有可删除的文件。。。"));
    form->LastOpenedFile = record(QStringLiteral("old.txt"));
    G.ScoreText = QStringLiteral("KC4TZ");
    dialogs.messageAnswers.push_back(plat::kAnsYes);
    form->Yuepu_Click(1);
    EXPECT_FALSE(QFile::exists(record(QStringLiteral("Old.TXT"))));
    EXPECT_TRUE(form->Text3->text().isEmpty());
    EXPECT_TRUE(G.ScoreText.isEmpty());
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("成功删除文件。。。"));
}

// "删除" names the file and asks, "否" the default: any answer but "是" keeps the file and the box.
TEST_F(ScoreBoxTest, DeleteAsksByNameAndKeepsTheFileUnlessTheAnswerIsYes) {
    for (const int answer : {plat::kAnsNo, plat::kAnsCancel, plat::kAnsYes}) {
        folder.write(QStringLiteral("演奏记录/录音 1.wav"), "RIFF");
        form->LastOpenedFile = record(QStringLiteral("录音 1.wav"));
        form->Text3->setText(QStringLiteral("KC4TZ"));
        dialogs.messages.clear(), dialogs.messageStyles.clear();
        dialogs.messageAnswers.push_back(answer);
        form->Yuepu_Click(1);
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_TRUE(dialogs.messages[0].contains(form->LastOpenedFile)) << dialogs.messages[0].toStdString();
        EXPECT_EQ(dialogs.messageStyles[0], plat::kYesNo | plat::kQuestion | plat::kDefaultButton2);
        EXPECT_EQ(QFile::exists(record(QStringLiteral("录音 1.wav"))), answer != plat::kAnsYes) << answer;
        EXPECT_EQ(form->Text3->text().isEmpty(), answer == plat::kAnsYes) << answer;
    }
}

TEST_F(ScoreBoxTest, ClearDuringAPlayEndsItAtTheNextRead) {
    key(kG);
    form->Text3->setText(QStringLiteral("KC2KD2TZ"));
    form->Yuepu_Click(0);
    form->Yuepu_Click(3);
    EXPECT_TRUE(form->Text3->text().isEmpty());
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("成功清空乐谱。。。"));
    EXPECT_TRUE(form->Timer3->enabled()) << "the clock is not touched";
    playToEnd();
    EXPECT_EQ(dialogs.messages, QStringList{kScoreError});
    EXPECT_FALSE(form->AutoPlayRunning);
}

// A score typed with blanks wraps at any character, not only at the blanks: the first line of the box is filled.
TEST_F(ScoreBoxTest, AScoreWithBlanksWrapsAtAnyCharacter) {
    auto* editor = static_cast<QPlainTextEdit*>(form->Text3->editor());
    form->Text3->setText(QStringLiteral("KC8 KD4 KE ") + QStringLiteral("KF").repeated(100));
    const QTextBlock block = editor->document()->firstBlock();
    editor->document()->documentLayout()->blockBoundingRect(block);  // lays the block out
    EXPECT_GT(block.layout()->lineAt(0).textLength(), 21);
}

// The score entry window keeps its size, whatever size it is asked to take.
TEST_F(ScoreBoxTest, ScoreEntryWindowKeepsItsSize) {
    form->XINJIAN_Click();
    for (const QSize asked : {QSize(900, 600), QSize(300, 200)}) {
        ScoreEntryWindow::Instance->resize(asked);
        EXPECT_EQ(ScoreEntryWindow::Instance->size(), QSize(560, 330)) << asked.width();
    }
}

TEST_F(ScoreBoxTest, ScoreEntryWindowSavesAndOpensAndHandsBackTheMainWindow) {
    form->Text3->setText(QStringLiteral("KC8TZ"));  // typed, never played
    form->XINJIAN_Click();
    ScoreEntryWindow* entry = ScoreEntryWindow::Instance;
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isVisible());
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(entry->Text1->text().isEmpty());
    // Wrapping a score by words costs time that grows with the square of its length at every key.
    EXPECT_EQ(static_cast<QPlainTextEdit*>(entry->Text1->editor())->wordWrapMode(), QTextOption::WrapAnywhere);

    // Saving an empty score writes nothing; the dialogs start in the record folder.
    answer(QStringLiteral("空.txt"));
    entry->Command1->click();
    EXPECT_FALSE(QFile::exists(record(QStringLiteral("空.txt"))));
    entry->DKYP->click();
    ASSERT_EQ(dialogs.fileRequests.size(), 2);
    for (const auto& r : dialogs.fileRequests) EXPECT_EQ(r.initDir, folder.path() + QStringLiteral("演奏记录/"));
    EXPECT_TRUE(dialogs.fileRequests[0].save && !dialogs.fileRequests[1].save) << "a save, then an open dialog";

    // Two lines round trip; the song name box shows the file title.
    folder.write(QStringLiteral("演奏记录/两行.txt"), "KC8KD\r\nKE4TZ\r\n");
    answer(QStringLiteral("两行.txt"));
    entry->DKYP->click();
    EXPECT_EQ(entry->Text1->text(), QStringLiteral("KC8KD\r\nKE4TZ\r\n"));
    EXPECT_EQ(entry->WJMC->text(), QStringLiteral("两行.txt"));
    answer(QStringLiteral("没有.txt"));
    entry->DKYP->click();
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("找不到乐谱文件“没有.txt”，请检查！")});
    dialogs.messages.clear();
    EXPECT_EQ(entry->Text1->text() + entry->WJMC->text(), QStringLiteral("KC8KD\r\nKE4TZ\r\n两行.txt"));
    answer(QStringLiteral("副本.txt"));
    entry->Command1->click();
    EXPECT_EQ(folder.read(QStringLiteral("演奏记录/副本.txt")), QByteArray("KC8KD\r\nKE4TZ\r\n"));
    // Back: the main window shows again with what its box held.
    entry->FANHUI->click();
    EXPECT_EQ(ScoreEntryWindow::Instance, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC8TZ"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The main window plays the saved file as one score.
    openFile(record(QStringLiteral("副本.txt")));
    EXPECT_EQ(G.ScoreText, QStringLiteral("KC8KDKE4TZ"));
    EXPECT_EQ(playToEnd(), 20);
    EXPECT_TRUE(dialogs.messages.empty());

    // Closing the window is leaving it too; it comes back fresh.
    form->XINJIAN_Click();
    ScoreEntryWindow::Instance->Text1->setText(QStringLiteral("KC"));
    ScoreEntryWindow::Instance->close();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(ScoreEntryWindow::Instance, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    form->XINJIAN_Click();
    EXPECT_TRUE(ScoreEntryWindow::Instance->Text1->text().isEmpty());
}
