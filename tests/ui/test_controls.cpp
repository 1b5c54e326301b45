// Controls run their handlers when code sets a value, only on a real change;
// combo boxes stay unselected when filled; timers follow Interval/Enabled.
#include "support/testsupport.h"
#include "ui/controls.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <vector>

using namespace ui;
using namespace rt;

TEST(ComboBoxRules, FilledUnselectedHandlersOnRealChangesErrorsReachTheCaller) {
    ComboBox box(ComboBox::PickList);
    int clicks = 0;
    box.onClick = [&] { ++clicks; };
    box.addItem(QStringLiteral("a"));
    box.addItem(QStringLiteral("b"));
    EXPECT_EQ(box.listIndex(), -1);
    EXPECT_EQ(clicks, 0);
    box.setListIndex(1);
    box.setListIndex(1);  // no change: no handler
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(box.text(), QStringLiteral("b"));
    EXPECT_THROW(box.setListIndex(2), RuntimeError);
    box.onClick = [] { rt::raise(kErrOverflow); };
    EXPECT_THROW(box.setListIndex(0), RuntimeError) << "an error in a handler run by code";

    ComboBox editable(ComboBox::Editable);
    int changes = 0;
    editable.onChange = [&] { ++changes; };
    editable.addItem(QStringLiteral("70"));
    editable.setText(QStringLiteral("150"));
    editable.setText(QStringLiteral("150"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(editable.listIndex(), -1);

    // Mirrored boxes do not recurse.
    ComboBox a(ComboBox::PickList), b(ComboBox::PickList);
    for (int i = 0; i < 30; ++i) {
        a.addItem(QString::number(i));
        b.addItem(QString::number(i));
    }
    int runs = 0;
    a.onClick = [&] { ++runs; b.setListIndex(a.listIndex()); };
    b.onClick = [&] { ++runs; a.setListIndex(b.listIndex()); };
    a.setListIndex(25);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(b.listIndex(), 25);
}

TEST(CheckAndOption, ValuesAndGroupRules) {
    CheckBox c;
    int clicks = 0;
    c.onClick = [&] { ++clicks; };
    c.setValue(1);
    c.setValue(1);
    c.setValue(0);
    EXPECT_EQ(clicks, 2);

    QWidget group;
    OptionButton o0(QStringLiteral("0"), &group), o1(QStringLiteral("1"), &group);
    int c0 = 0, c1 = 0;
    o0.onClick = [&] { ++c0; };
    o1.onClick = [&] { ++c1; };
    o0.setValue(true);
    o1.setValue(true);  // unselects o0 without running its handler
    EXPECT_FALSE(o0.value());
    EXPECT_EQ(c0, 1);
    EXPECT_EQ(c1, 1);
    o1.setValue(false);
    EXPECT_EQ(c1, 1);
}

TEST(TextBoxRules, ChangeOnRealChangesSelTextInsertsLengthLimitForTypingOnly) {
    TextBox t(true);
    int changes = 0;
    t.onChange = [&] { ++changes; };
    t.setText(QStringLiteral("KC"));
    t.setText(QStringLiteral("KC"));
    EXPECT_EQ(changes, 1);
    t.setSelStart(2);
    t.setSelText(QStringLiteral("4KD"));
    EXPECT_EQ(t.text(), QStringLiteral("KC4KD"));
    EXPECT_EQ(changes, 2);
    t.setText(QStringLiteral("a\r\nb"));
    EXPECT_EQ(t.text(), QStringLiteral("a\r\nb"));
    t.setSelStart(4);
    EXPECT_EQ(t.selStart(), 4);

    TextBox line(false);
    line.setMaxLength(4);
    changes = 0;
    line.onChange = [&] { ++changes; };
    line.setText(QStringLiteral("ABCDEF"));  // the program may set more
    EXPECT_EQ(line.text(), QStringLiteral("ABCDEF"));
    auto* edit = static_cast<QLineEdit*>(line.editor());
    edit->setText(QStringLiteral("AB"));  // as if the user deleted
    EXPECT_EQ(line.text(), QStringLiteral("AB"));
    edit->setCursorPosition(2);
    edit->insert(QStringLiteral("CDE"));  // typing past the limit is refused
    EXPECT_EQ(edit->text(), QStringLiteral("AB"));
    EXPECT_EQ(changes, 2);
    // Key by key: the character that reaches the limit is taken, the next not.
    for (const char* c : {"C", "D", "E"}) edit->insert(QString::fromLatin1(c));
    EXPECT_EQ(line.text(), QStringLiteral("ABCD"));
    EXPECT_EQ(edit->text(), QStringLiteral("ABCD"));
    EXPECT_EQ(changes, 4);
}

// A recording appends to the score box at every key: the box keeps its text
// exact through any number of appends, shows it exactly once it is edited,
// and inserts in the middle where the program asks.
TEST(TextBoxRules, AppendsAtTheEndKeepTheTextExactAndEditable) {
    QWidget window;
    TextBox t(true, &window);
    t.resize(300, 80);
    window.show();
    int changes = 0;
    t.onChange = [&] { ++changes; };
    const auto append = [&](const QString& token, int times) {
        for (int i = 0; i < times; ++i) {
            t.setSelStart(static_cast<int>(t.text().size()));
            t.setSelText(token);
        }
    };
    append(QStringLiteral("KC"), 1);
    append(QStringLiteral("4KD"), 399);
    QString expected = QStringLiteral("KC") + QStringLiteral("4KD").repeated(399);
    EXPECT_EQ(t.text(), expected);
    EXPECT_EQ(changes, 400);
    auto* edit = static_cast<QPlainTextEdit*>(t.editor());
    EXPECT_TRUE(edit->isReadOnly()) << "soft line breaks while the box is not being edited";

    // The program inserts in the middle: the display becomes exact first.
    t.setSelStart(2);
    t.setSelText(QStringLiteral("4XZ"));
    expected.insert(2, QStringLiteral("4XZ"));
    EXPECT_EQ(t.text(), expected);
    EXPECT_EQ(edit->toPlainText(), expected);
    EXPECT_FALSE(edit->isReadOnly());

    // Appends after a line break, then the user clicks into the box: exact text,
    // editable, and an edit changes the text as typed.
    expected += QStringLiteral("\r\nTZ");
    t.setText(expected);
    append(QStringLiteral("6HC"), 100);
    expected += QStringLiteral("6HC").repeated(100);
    EXPECT_EQ(t.text(), expected);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(edit->viewport(), &press);
    EXPECT_EQ(edit->toPlainText(), QString(expected).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    EXPECT_FALSE(edit->isReadOnly());
    edit->moveCursor(QTextCursor::End);
    edit->insertPlainText(QStringLiteral("X"));
    EXPECT_EQ(t.text(), expected + QStringLiteral("X"));
}

// Interval 0 never fires; setting Interval restarts the countdown (also at
// an unchanged value); enabling an enabled timer does not. Countdowns are
// compared as deadlines, never as elapsed times.
TEST(TimerRules, IntervalZeroNeverFiresIntervalRestartsEnablingAgainDoesNot) {
    ASSERT_TRUE(Timer::held()) << "test programs run their timers by hand";
    for (bool musical : {false, true}) {
        SCOPED_TRACE(musical ? "musical clock" : "plain timer");
        Timer t;
        t.setMusicalClock(musical);
        t.setEnabled(true);
        EXPECT_EQ(t.nextDeadlineNs(), -1) << "Interval 0";
        t.setInterval(500);
        const qint64 first = t.nextDeadlineNs();
        ASSERT_GT(first, 0);
        QThread::msleep(3);
        t.setEnabled(true);  // already enabled: the countdown goes on
        EXPECT_EQ(t.nextDeadlineNs(), first);
        t.setInterval(500);  // the same value still restarts
        const qint64 restarted = t.nextDeadlineNs();
        EXPECT_GE(restarted, first + 2000000);
        t.setInterval(0);
        EXPECT_EQ(t.nextDeadlineNs(), -1);
        t.setInterval(500);
        t.setEnabled(false);
        EXPECT_EQ(t.nextDeadlineNs(), -1);
    }

    // Held timers never fire by themselves, however long the events run; a
    // nested tick (a box opened inside) does not run.
    Timer t;
    int ticks = 0;
    t.onTimer = [&] {
        ++ticks;
        t.tick();
    };
    t.setInterval(1);
    t.setEnabled(true);
    QEventLoop loop;
    QTimer::singleShot(30, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(ticks, 0);
    t.tick();
    EXPECT_EQ(ticks, 1);
    EXPECT_THROW(t.setInterval(-1), RuntimeError);
}

// For the life of a test that needs its clock to run by itself, timers are
// not held for ticking by hand.
struct ClocksRunByThemselves {
    ClocksRunByThemselves() { Timer::setHeld(false); }
    ~ClocksRunByThemselves() { Timer::setHeld(true); }
};

// A musical clock keeps its grid of deadlines however late a tick runs; a
// restart inside a tick starts at that tick's deadline. The figures compared
// are deadlines, never elapsed times, so a loaded machine gives the same result.
TEST(TimerRules, MusicalClockKeepsItsGridOfDeadlines) {
    const ClocksRunByThemselves release;
    Timer t;
    t.setMusicalClock(true);
    t.setInterval(20);
    std::vector<qint64> nextAfterTick;
    int ticks = 0;
    QEventLoop loop;
    t.onTimer = [&] {
        ++ticks;
        QThread::msleep(15);  // a slow tick: the grid must not move
        if (ticks == 2) t.setInterval(30);  // a tempo change inside a tick
        nextAfterTick.push_back(t.nextDeadlineNs());
        if (ticks == 4) {
            t.setEnabled(false);
            loop.quit();
        }
    };
    const qint64 before = Timer::nowNs();
    t.setEnabled(true);
    const qint64 first = t.nextDeadlineNs();
    EXPECT_GE(first, before + 20000000);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);  // a safety net only
    loop.exec();
    ASSERT_EQ(ticks, 4);
    EXPECT_EQ(nextAfterTick[0], first + 20000000);
    EXPECT_EQ(nextAfterTick[1], first + 20000000 + 30000000) << "restarted at the tick's deadline";
    EXPECT_EQ(nextAfterTick[2], first + 20000000 + 60000000);
    EXPECT_EQ(t.nextDeadlineNs(), -1);
}

// A clock that could not run for a long while (a modal box inside its own
// tick) takes up its grid from the moment it runs again: the missed ticks
// are not played in a burst.
TEST(TimerRules, MusicalClockAfterAStallKeepsTimeFromNow) {
    const ClocksRunByThemselves release;
    Timer t;
    t.setMusicalClock(true);
    t.setInterval(20);
    std::vector<qint64> nextAfterTick;
    QEventLoop loop;
    t.onTimer = [&] {
        nextAfterTick.push_back(t.nextDeadlineNs());
        if (nextAfterTick.size() == 2) {
            t.setEnabled(false);
            loop.quit();
        }
    };
    t.setEnabled(true);
    const qint64 first = t.nextDeadlineNs();
    QThread::msleep(400);  // the event loop is held up well past the first deadline
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);  // a safety net only
    loop.exec();
    ASSERT_EQ(nextAfterTick.size(), 2u);
    EXPECT_GE(nextAfterTick[0], first + 380000000) << "not the old grid's next deadline";
    EXPECT_EQ(nextAfterTick[1], nextAfterTick[0] + 20000000) << "then the new grid holds";
}

TEST(FileList, SortsAndMatchesThePatternWithoutCase) {
    testing_support::ScratchFolder folder;
    for (const char* name : {"演奏记录/b.bin", "演奏记录/A.BIN", "演奏记录/c.txt"}) folder.write(name, "x");
    FileListBox list;
    list.setPattern(QStringLiteral("*.bin"));
    list.setPath(folder.file(QStringLiteral("演奏记录")));
    ASSERT_EQ(list.listCount(), 2);
    EXPECT_EQ(list.list(0), QStringLiteral("A.BIN"));
    EXPECT_EQ(list.list(1), QStringLiteral("b.bin"));
    EXPECT_THROW(list.setPath(folder.file(QStringLiteral("none"))), RuntimeError);

    // Choosing from code runs Click on a real change only.
    int clicks = 0;
    list.onClick = [&] { ++clicks; };
    list.setListIndex(1);
    list.setListIndex(1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(list.fileName(), QStringLiteral("b.bin"));
    list.refresh();  // the refreshed list has no choice: the same row is a change
    list.setListIndex(1);
    EXPECT_EQ(clicks, 2);
}
