// Controls with the behaviour the program's windows are written against:
// setting a value from code runs the control's handler at once, but only
// when the value really changes; a combo box stays unselected after it is
// filled; check boxes hold 0 or 1; focus handlers see only real focus moves
// inside the window; timers follow Interval/Enabled rules. Handlers run by a
// user action go through rt::guard; handlers run by a setting from code run
// directly, so an error in them reaches the code that made the setting.
#pragma once

#include "runtime/runtime.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <vector>

namespace ui {

using Handler = std::function<void()>;

// The 16-colour palette the windows choose their colours from.
QColor paletteColor(int index);

// Common focus handling: GotFocus / LostFocus for real moves inside a window.
class FocusHandlers {
public:
    Handler onGotFocus;
    Handler onLostFocus;

protected:
    void focusIn(QFocusEvent* e);
    void focusOut(QFocusEvent* e);
};

void setBackColor(QWidget* w, const QColor& c);
void setForeColor(QWidget* w, const QColor& c);

class Label : public QLabel {
    Q_OBJECT
public:
    explicit Label(QWidget* parent = nullptr);
    QString caption() const { return text(); }
    void setCaption(const QString& c) { setText(c); }
    Handler onClick;
    Handler onMouseMove;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
};

class CommandButton : public QPushButton, public FocusHandlers {
    Q_OBJECT
public:
    explicit CommandButton(const QString& caption = QString(), QWidget* parent = nullptr);
    Handler onClick;
    Handler onMouseDown;  // left button pressed on it, before its click
    void click();  // runs the handler as a press would (from code: not guarded)

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
};

class CheckBox : public QCheckBox, public FocusHandlers {
    Q_OBJECT
public:
    explicit CheckBox(const QString& caption = QString(), QWidget* parent = nullptr);
    int value() const { return value_; }
    void setValue(int v);  // 0 unticked, 1 ticked, 2 greyed; Click on a change
    Handler onClick;

protected:
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void applyToWidget();
    int value_ = 0;
};

// Option buttons of one group (same parent widget) exclude each other.
class OptionButton : public QRadioButton {
    Q_OBJECT
public:
    explicit OptionButton(const QString& caption = QString(), QWidget* parent = nullptr);
    bool value() const { return value_; }
    // Selecting runs Click (when it was not selected) and unselects the
    // others of the group without running theirs; unselecting runs nothing.
    void setValue(bool v);
    Handler onClick;

private:
    void applyToWidget();
    bool value_ = false;
};

class ComboBox : public QComboBox, public FocusHandlers {
    Q_OBJECT
public:
    // PickList: choose from the list only; Editable: text may be typed.
    enum Style { PickList, Editable };
    explicit ComboBox(Style style = PickList, QWidget* parent = nullptr);

    void addItem(const QString& text);
    void clear();
    int listCount() const { return static_cast<int>(items_.size()); }
    QString list(int i) const;
    int itemData(int i) const;
    void setItemData(int i, int value);

    int listIndex() const { return index_; }
    void setListIndex(int i);   // -1..listCount-1; Click on a change (subscript error outside)
    void chooseListIndex(int i);  // as a choice from the list: Click even when i is shown already
    QString text() const { return text_; }
    void setText(const QString& t);  // Change on a change; the list index follows an exact match (editable) 

    Handler onClick;
    Handler onChange;

protected:
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void syncWidget();
    void userActivated(int row);
    void userEdited(const QString& t);
    Style style_;
    QStringList items_;
    QList<int> data_;
    int index_ = -1;
    QString text_;
    bool syncing_ = false;
};

class TextBox : public QWidget, public FocusHandlers {
    Q_OBJECT
public:
    explicit TextBox(bool multiLine = false, QWidget* parent = nullptr);
    QString text() const { return text_; }
    void setText(const QString& t);   // Change on a change
    int selStart() const;
    void setSelStart(int pos);
    void setSelText(const QString& t);  // replaces the selection (none: inserts at the caret)
    // Selects `length` characters from `start` (positions count a CR LF as two).
    void select(int start, int length);
    void setMaxLength(int n);
    int maxLength() const { return maxLength_; }
    void setLocked(bool locked);  // the program refuses typing (a play runs); a long text's display also refuses it until the user takes the box
    bool locked() const { return locked_; }
    // Multi-line: wrap lines at any character, not only between words (a
    // score has no words: wrapping it by words costs time that grows with
    // the square of its length).
    void setWrapAnywhere();
    void setFont(const QFont& f);
    QWidget* editor() const;
    void focusEditor();

    Handler onChange;
    std::function<void(int keyAscii)> onKeyPress;

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void userChanged();
    int textPos(int shownPos) const;  // multi-line: shown position -> position in text_
    int shownPos(int pos, bool atBreak) const;  // multi-line: position in text_ -> shown position
    qreal lineRoom() const;
    void showSoftBroken();
    void appendShown(const QString& t);
    void showExactText();
    bool multiLine_;
    bool locked_ = false;
    // Positions in text_ before which the display holds a soft line break,
    // ascending (read-only while there are any).
    std::vector<int> softBreaks_;
    bool noCr_ = true;  // text_ holds no CR
    QLineEdit* line_ = nullptr;
    QPlainTextEdit* plain_ = nullptr;
    QString text_;
    int maxLength_ = 0;
    bool syncing_ = false;
};

class PictureBox : public QLabel {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);
    void setPicture(const QPixmap& p);
    const QPixmap& picture() const { return picture_; }
    Handler onClick;
    std::function<void(QMouseEvent*)> onMouseDown;
    std::function<void(QMouseEvent*)> onMouseMove;
    std::function<void(QMouseEvent*)> onMouseUp;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    // A disabled picture box still shows its picture as it is (Qt would
    // grey it): the keys are disabled whenever the keyboard button is not
    // focused, and must not change colour for that.
    void paintEvent(QPaintEvent* e) override;

private:
    QPixmap picture_;
};

// A file list box: the files of a folder matching a pattern, sorted by name
// without regard to case (the pattern is matched without regard to case).
class FileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);
    void setPath(const QString& folder);  // raises a path error when the folder is missing
    QString path() const { return path_; }
    void setPattern(const QString& pattern);
    void refresh();
    int listCount() const { return count(); }
    QString list(int i) const;
    int listIndex() const { return currentRow(); }
    void setListIndex(int i);
    QString fileName() const;  // the selected name, or "" 
    Handler onClick;

private:
    QString path_;
    QString pattern_ = QStringLiteral("*.*");
};

// A horizontal scroll bar with Min, Max and Value. Change runs when the value
// is set (by code or a click on an arrow or the track) and once at the end of
// a drag of the thumb, not on every position it passes. Lowering Max below the
// value moves the value to Max and runs Change; Max below Min is allowed and
// never moves Min (the bar then runs from Min down to Max).
class ScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit ScrollBar(QWidget* parent = nullptr);
    int min() const { return min_; }
    int max() const { return max_; }
    int value() const { return value_; }
    void setMin(int v);
    void setMax(int v);
    void setValue(int v);  // held within Min..Max; Change on a change (from code: not guarded)
    Handler onChange;

private:
    int lowest() const { return std::min(min_, max_); }
    int highest() const { return std::max(min_, max_); }
    int toValue(int widgetPos) const;
    int toWidget(int value) const;
    void syncWidget();
    void userMoved(int widgetPos);
    int min_ = 0;
    int max_ = 32767;
    int value_ = 0;
    bool syncing_ = false;
};

// A timer: Interval 0 never fires; setting Interval of an enabled timer
// restarts its countdown; enabling an enabled timer changes nothing. A tick
// never runs inside itself (a message box opened by a tick runs a nested
// event loop in which the timer goes on firing).
//
// A musical clock (setMusicalClock(true)) keeps time against a grid of
// deadlines instead of restarting from each firing: the next tick is due at
// the previous tick's deadline + Interval, however late the previous one ran,
// so lateness never adds up. A countdown restarted from inside a tick (the
// handler sets Interval, or enables the timer again) starts at that tick's
// deadline, not at the moment the handler got round to it; one restarted from
// anywhere else starts now. A clock that stalled for longer than a moment
// (a modal box inside its own tick, a suspended machine) takes up its grid
// again from the moment it runs, rather than playing the missed ticks in a
// burst.
//
// A musical clock runs its tick the MIDI look-ahead before the tick's
// deadline and stamps what it sends with the deadline. What a key handler
// reads of the clock's state must still change at the deadline: the tick
// hands that part to atDeadline(), which runs it when the deadline passes
// (before the next tick, when a key or mouse event comes after it, or on a
// wake-up at the deadline). A tick dropped before its deadline (the clock is
// disabled or restarted from outside its tick) drops what it handed over:
// in the clock's time that tick never came.
class Timer : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject* parent = nullptr);
    ~Timer() override;
    int interval() const { return interval_; }
    void setInterval(int ms);
    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    void setMusicalClock(bool on) { musical_ = on; }
    bool musicalClock() const { return musical_; }
    Handler onTimer;
    void tick();  // one tick as the clock would run it (tests call this)
    // Runs `change` at the deadline of the tick being run; at once outside a
    // tick run ahead of its deadline (a tick run by tick(), or a plain timer).
    void atDeadline(Handler change);
    // Runs what ticks handed to atDeadline() whose deadlines have passed.
    static void settle();
    // Nanoseconds on the clock's own time base at which the next tick is due
    // (-1 when it will not fire: disabled or Interval 0). A plain timer's
    // countdown starts when it is enabled or its Interval is set, and again
    // at each tick. For benchmarks and tests.
    qint64 nextDeadlineNs() const;
    // The time base (monotonic nanoseconds) every timer shares.
    static qint64 nowNs();
    // Replaces that time base (nullptr: the monotonic clock again). A test
    // with its own time source calls fire() as the clock's wake-up would.
    static void setTimeSource(qint64 (*source)());
    void fire();
    // While held, no timer fires by itself: only tick() runs a handler, and
    // the countdowns above are kept as if they ran. Test programs hold every
    // timer, so that how busy the machine is cannot add ticks to a test.
    static void setHeld(bool held);
    static bool held();

private:
    void apply(bool restart);
    void schedule();
    void dropAtDeadline();
    void runAtDeadline();  // what the last tick handed over, now
    QTimer timer_;
    QTimer deadlineTimer_;      // wakes at the deadline of a tick run ahead
    Handler atDeadline_;        // handed over by that tick
    qint64 atDeadlineNs_ = -1;  // and its deadline (-1: nothing handed over)
    int interval_ = 0;
    bool enabled_ = false;
    bool inTick_ = false;
    bool musical_ = false;
    bool firing_ = false;       // inside fire(): a restart starts at tickDeadline_
    qint64 tickDeadline_ = 0;   // deadline of the tick being run
    qint64 deadline_ = -1;      // deadline of the next tick
};

// Puts a control at its design position (pixels) and returns it.
template <typename T>
T* place(T* w, int x, int y, int width, int height) {
    w->setGeometry(x, y, width, height);
    return w;
}

// A label with its caption at its design position.
inline Label* label(QWidget* parent, const QString& text, int x, int y, int w, int h) {
    auto* l = new Label(parent);
    l->setText(text);
    return place(l, x, y, w, h);
}

}  // namespace ui
