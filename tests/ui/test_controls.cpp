// Controls run their handlers when code sets a value, only on a real change (a scroll bar once at the end of a drag,
// and when a raised Min or lowered Max pulls the value); focus handlers run on real focus moves only; timers follow
// Interval and Enabled, and a musical clock holds its grid of deadlines.
#include "support/testsupport.h"
#include "platform/midiout.h"
#include "ui/controls.h"

#include <QtWidgets>
#include <gtest/gtest.h>

#include <random>

using namespace ui;
using namespace rt;
using S = QString;

TEST(ControlRules, HandlersRunOnRealChangesOnlyAndMirroredBoxesDoNotRecurse) {
    ComboBox a(ComboBox::PickList), b(ComboBox::PickList);
    for (int i = 0; i < 30; ++i) a.addItem(S::number(i)), b.addItem(S::number(i));
    EXPECT_EQ(a.listIndex(), -1) << "filled, not selected";
    int runs = 0;
    a.onClick = [&] { ++runs, b.setListIndex(a.listIndex()); };
    b.onClick = [&] { ++runs, a.setListIndex(b.listIndex()); };
    a.setListIndex(25);
    a.setListIndex(25);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(b.listIndex(), 25);
    EXPECT_THROW(a.setListIndex(30), RuntimeError);
    a.onClick = [] { rt::raise(kErrOverflow); };
    EXPECT_THROW(a.setListIndex(0), RuntimeError) << "an error in a handler run by code";

    CheckBox c;
    TextBox t(false);
    int changes = 0;
    c.onClick = t.onChange = [&] { ++changes; };
    for (int v : {1, 1, 0}) c.setValue(v);
    for (const char* s : {"KC", "KC"}) t.setText(S::fromLatin1(s));
    EXPECT_EQ(changes, 3);

    QWidget group;
    OptionButton o0(S("0"), &group), o1(S("1"), &group);
    int c0 = 0, c1 = 0;
    o0.onClick = [&] { ++c0; };
    o1.onClick = [&] { ++c1; };
    o0.setValue(true);
    o1.setValue(true);  // unselects o0 without running its handler
    o1.setValue(false);
    EXPECT_FALSE(o0.value());
    EXPECT_EQ(c0 * 10 + c1, 11);

    QWidget w;  // a back colour is what the control shows
    w.resize(20, 20);
    ui::setBackColor(&w, QColor(60, 64, 80));
    EXPECT_EQ(QColor(w.grab().toImage().pixel(5, 5)), QColor(60, 64, 80));
}

// Not when the window is deactivated or a popup (a list, a menu) opens.
TEST(ControlRules, FocusHandlersRunOnRealFocusMovesOnly) {
    CheckBox check;
    ComboBox combo(ComboBox::Editable);
    CommandButton button;
    TextBox text(false);
    const std::pair<QWidget*, FocusHandlers*> controls[] = {
        {&check, &check}, {&combo, &combo}, {&button, &button}, {text.editor(), &text}};
    const std::pair<Qt::FocusReason, int> reasons[] = {{Qt::MouseFocusReason, 1}, {Qt::TabFocusReason, 1},
                                                       {Qt::OtherFocusReason, 1}, {Qt::ActiveWindowFocusReason, 0},
                                                       {Qt::PopupFocusReason, 0}};
    for (const auto& [widget, handlers] : controls) {
        int got = 0, lost = 0;
        handlers->onGotFocus = [&] { ++got; };
        handlers->onLostFocus = [&] { ++lost; };
        for (const auto& [reason, runs] : reasons) {
            QFocusEvent in(QEvent::FocusIn, reason), out(QEvent::FocusOut, reason);
            QCoreApplication::sendEvent(widget, &in);
            QCoreApplication::sendEvent(widget, &out);
            EXPECT_EQ(got * 10 + lost, runs * 11) << widget->metaObject()->className() << " reason " << reason;
            got = lost = 0;
        }
    }
}

TEST(TextBoxRules, SelTextInsertsAndTheLengthLimitHoldsForTypingOnly) {
    TextBox line(false);
    line.setMaxLength(4);
    line.setText(S("ABCDEF"));  // the program may set more
    EXPECT_EQ(line.text(), S("ABCDEF"));
    auto* edit = static_cast<QLineEdit*>(line.editor());
    edit->setText(S("AB"));
    edit->setCursorPosition(2);
    edit->insert(S("CDE"));  // a paste past the limit is refused
    EXPECT_EQ(line.text(), S("AB"));
    for (const char* c : {"C", "D", "E"}) edit->insert(S::fromLatin1(c));
    EXPECT_EQ(line.text(), S("ABCD"));

    // A recording appends at every key: the text stays exact through any number of appends, shown with soft line
    // breaks while not edited.
    QWidget window;
    TextBox t(true, &window);
    window.show();
    int changes = 0;
    t.onChange = [&] { ++changes; };
    auto* box = static_cast<QPlainTextEdit*>(t.editor());
    QString expected = S("a\r\nb");
    t.setText(expected);
    EXPECT_EQ(box->toPlainText(), S("a\nb"));
    for (int i = 0; i < 300; ++i) t.setSelStart(static_cast<int>(t.text().size())), t.setSelText(S("4KD"));
    expected += S("4KD").repeated(300);
    EXPECT_EQ(t.text(), expected);
    EXPECT_EQ(changes, 301);
    EXPECT_TRUE(box->isReadOnly());
    // The program inserts in the middle: the display becomes exact first.
    t.setSelStart(1);
    t.setSelText(S("X"));
    expected.insert(1, u'X');
    EXPECT_EQ(t.text(), expected);
    EXPECT_EQ(box->toPlainText(), S(expected).replace(S("\r\n"), S("\n")));
    EXPECT_FALSE(box->isReadOnly());
    // The user clicks into the box and types.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(box->viewport(), &press);
    box->moveCursor(QTextCursor::End);
    box->insertPlainText(S("Y"));
    EXPECT_EQ(t.text(), expected + S("Y"));
}

namespace {

qint64 g_now = 0;  // a time source the test moves by hand
struct FakeTime {
    FakeTime() { g_now = 1000000000, Timer::setTimeSource([] { return g_now; }); }
    ~FakeTime() { Timer::setTimeSource(nullptr); }
};
constexpr qint64 kMs = 1000000;

}  // namespace

// Interval 0 never fires; setting Interval restarts the countdown (also at an unchanged value); enabling an enabled
// timer does not. Held timers never fire by themselves, and a nested tick does not run.
TEST(TimerRules, IntervalRestartsTheCountdownAndHeldTimersNeverFire) {
    ASSERT_TRUE(Timer::held()) << "test programs run their timers by hand";
    {
        const FakeTime time;
        for (bool musical : {false, true}) {
            Timer t;
            t.setMusicalClock(musical);
            t.setEnabled(true);
            EXPECT_EQ(t.nextDeadlineNs(), -1) << "Interval 0";
            t.setInterval(500);
            g_now += 3 * kMs;
            t.setEnabled(true);
            EXPECT_EQ(t.nextDeadlineNs(), g_now - 3 * kMs + 500 * kMs) << "already enabled: the countdown goes on";
            t.setInterval(500);
            EXPECT_EQ(t.nextDeadlineNs(), g_now + 500 * kMs) << "the same value still restarts";
            t.setEnabled(false);
            EXPECT_EQ(t.nextDeadlineNs(), -1);
        }
    }
    Timer t;
    int ticks = 0;
    t.onTimer = [&] { ++ticks, t.tick(); };
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

// 1,000 wake-ups of a musical clock, each late by a random amount below one interval, some woken early: every tick
// runs on its deadline of the grid (no drift), one tick per wake-up (no burst). A tempo change inside a tick starts
// the new grid at that tick's deadline; after a stall the clock keeps time from then on instead of playing the missed
// ticks at once.
TEST(TimerRules, MusicalClockHoldsItsGridUnderRandomLateness) {
    const FakeTime time;
    Timer t;
    t.setMusicalClock(true);
    qint64 step = 20 * kMs;
    t.setInterval(20);
    int ticks = 0;
    t.onTimer = [&] {
        if (++ticks == 300) t.setInterval(30);
    };
    t.setEnabled(true);
    qint64 origin = g_now;
    int since = 1;
    std::mt19937 rng(16);
    std::uniform_int_distribution<qint64> late(-10 * kMs, 15 * kMs);  // ticks run within the look-ahead too
    for (int k = 1; k <= 1000; ++k) {
        const qint64 due = t.nextDeadlineNs();
        ASSERT_EQ(due, origin + since * step) << "drift at wake-up " << k;
        if (k % 7 == 0) {  // woken before the look-ahead window: no tick
            g_now = due - 30 * kMs;
            t.fire();
            ASSERT_EQ(ticks, k - 1);
            ASSERT_EQ(t.nextDeadlineNs(), due);
        }
        g_now = due + (k == 600 ? 400 * kMs : late(rng));
        t.fire();
        ASSERT_EQ(ticks, k) << "one tick per wake-up";
        ASSERT_GT(t.nextDeadlineNs(), g_now) << "no tick already due: no burst";
        if (k == 300) step = 30 * kMs, origin = due, since = 0;
        if (k == 600) origin = g_now, since = 0;
        ++since;
    }
}

// What a tick hands to its deadline runs once the deadline has passed: before a key reaches a widget, at a wake-up,
// or before the next tick when the interval is shorter than the look-ahead. A clock restarted or stopped from outside
// its tick drops it; a tick run by hand, not ahead of its deadline, changes at once.
TEST(TimerRules, ChangesHandedToADeadlineRunWhenItPassesAndAreDroppedWithTheirTick) {
    const FakeTime time;
    Timer t;
    t.setMusicalClock(true);
    std::vector<qint64> ran;  // the time of each change
    t.onTimer = [&] { t.atDeadline([&] { ran.push_back(g_now); }); };
    t.setInterval(100);
    t.setEnabled(true);
    const auto wakeUp = [&] {
        const qint64 due = t.nextDeadlineNs();
        g_now = due - plat::kClockLookAheadNs;
        t.fire();
        return due;
    };
    const qint64 due = wakeUp();
    g_now = due - 1;
    Timer::settle();
    EXPECT_TRUE(ran.empty()) << "before the deadline";
    g_now = due;
    QLineEdit box;
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, S("a"));
    QCoreApplication::sendEvent(&box, &key);
    EXPECT_EQ(ran, (std::vector<qint64>{due})) << "before the key";
    EXPECT_EQ(box.text(), S("a"));
    g_now = wakeUp();
    t.fire();
    EXPECT_EQ(ran.size(), 2u) << "at a wake-up at the deadline";
    for (bool stop : {false, true}) {
        const qint64 next = wakeUp();
        g_now += 5 * kMs;
        if (stop) t.setEnabled(false);
        else t.setInterval(100);
        g_now = next + 50 * kMs;
        Timer::settle();
        EXPECT_EQ(ran.size(), 2u) << (stop ? "stopped" : "restarted");
    }
    // Ticks 10 ms apart, woken 20 ms ahead.
    t.setInterval(10);
    t.setEnabled(true);
    for (size_t k = 0; k < 3; ++k) {
        wakeUp();
        EXPECT_EQ(ran.size(), 2 + k) << k;
    }
    t.setEnabled(false);
    t.tick();
    EXPECT_EQ(ran.size(), 5u) << "the last one dropped with the clock, the one by hand at once";
}

TEST(FileList, SortsAndMatchesThePatternWithoutCase) {
    testing_support::ScratchFolder folder;
    for (const char* name : {"演奏记录/b.bin", "演奏记录/A.BIN", "演奏记录/c.txt"}) folder.write(name, "x");
    FileListBox list;
    list.setPattern(S("*.bin"));
    list.setPath(folder.file(S("演奏记录")));
    ASSERT_EQ(list.listCount(), 2);
    EXPECT_EQ(list.list(0) + list.list(1), S("A.BINb.bin"));
    EXPECT_THROW(list.setPath(folder.file(S("none"))), RuntimeError);
    int clicks = 0;
    list.onClick = [&] { ++clicks; };
    list.setListIndex(1);
    list.setListIndex(1);
    list.refresh();  // the refreshed list has no choice: the same row is a change
    list.setListIndex(1);
    EXPECT_EQ(clicks, 2);
}

TEST(ScrollBarRules, ChangeWhenSetOnceAtTheEndOfADragAndWhenTheBoundsPullTheValue) {
    ScrollBar bar;
    bar.setMin(0);
    bar.setMax(200);
    std::vector<int> seen;
    bar.onChange = [&] { seen.push_back(bar.value()); };
    bar.setValue(5);
    bar.setValue(5);
    EXPECT_THROW(bar.setValue(201), rt::RuntimeError);
    bar.setMin(7);
    bar.setMin(0);
    bar.setSliderDown(true);
    for (int p : {6, 7, 8}) bar.setSliderPosition(p);  // a drag reports where it is let go
    EXPECT_EQ(seen, (std::vector<int>{5, 7}));
    bar.setSliderDown(false);
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);  // an arrow click at once
    bar.setValue(150);
    bar.setMax(12);
    bar.setMax(40);  // raising it leaves the value
    bar.setValue(0);
    bar.setMax(-3);  // below Min: Min stays, the value stays in -3..0
    EXPECT_EQ(bar.min(), 0);
    bar.setValue(-2);
    bar.setMax(-1);
    EXPECT_EQ(seen, (std::vector<int>{5, 7, 8, 9, 150, 12, 0, -2, -1}));
}
