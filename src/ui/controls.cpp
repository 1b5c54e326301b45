// The controls the windows are written against: handlers on real changes, pick lists, file lists,
// timers, scroll bars.
#include "ui/controls.h"

#include "platform/midiout.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QRegularExpression>
#include <QSignalBlocker>

#include <algorithm>
#include <chrono>
#include <thread>

namespace ui {

QColor paletteColor(int index) {
    static const int rgb[16][3] = {{0, 0, 0},     {0, 0, 128},     {0, 128, 0},   {0, 128, 128},
                                   {128, 0, 0},   {128, 0, 128},   {128, 128, 0}, {192, 192, 192},
                                   {128, 128, 128}, {0, 0, 255},   {0, 255, 0},   {0, 255, 255},
                                   {255, 0, 0},   {255, 0, 255},   {255, 255, 0}, {255, 255, 255}};
    if (index < 0 || index > 15) rt::raise(rt::kErrSubscript);
    return QColor(rgb[index][0], rgb[index][1], rgb[index][2]);
}

void setBackColor(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, c);
    p.setColor(QPalette::Base, c);
    p.setColor(QPalette::Button, c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

void setForeColor(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
}

// Focus moves caused by another application, a popup or a modal box are not
// focus moves inside the window.
static bool realFocusMove(QFocusEvent* e) {
    return e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason;
}

void FocusHandlers::focusIn(QFocusEvent* e) {
    if (onGotFocus && realFocusMove(e)) rt::guard(onGotFocus);
}
void FocusHandlers::focusOut(QFocusEvent* e) {
    if (onLostFocus && realFocusMove(e)) rt::guard(onLostFocus);
}

// ---- Label
Label::Label(QWidget* parent) : QLabel(parent) {}
// A press on a label or a picture is theirs: it never reaches the window
// behind them as a click on its background.
void Label::mousePressEvent(QMouseEvent* e) {
    e->accept();
    if (onClick && e->button() == Qt::LeftButton) rt::guard(onClick);
}
void Label::mouseMoveEvent(QMouseEvent* e) {
    QLabel::mouseMoveEvent(e);
    if (onMouseMove) rt::guard(onMouseMove);
}

// ---- CommandButton
CommandButton::CommandButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    connect(this, &QPushButton::clicked, this, [this] {
        if (onClick) rt::guard(onClick);
    });
}
void CommandButton::mousePressEvent(QMouseEvent* e) {
    if (onMouseDown && e->button() == Qt::LeftButton) rt::guard(onMouseDown);
    QPushButton::mousePressEvent(e);
}
void CommandButton::click() {
    if (onClick) onClick();
}
void CommandButton::focusInEvent(QFocusEvent* e) {
    QPushButton::focusInEvent(e);
    focusIn(e);
}
void CommandButton::focusOutEvent(QFocusEvent* e) {
    QPushButton::focusOutEvent(e);
    focusOut(e);
}

// ---- CheckBox
CheckBox::CheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
    connect(this, &QCheckBox::clicked, this, [this](bool checked) {
        int v = checked ? 1 : 0;
        if (v == value_) return;
        value_ = v;
        if (onClick) rt::guard(onClick);
    });
}
void CheckBox::setValue(int v) {
    if (v < 0 || v > 2) rt::raise(rt::kErrInvalidCall);
    if (v == value_) return;
    value_ = v;
    applyToWidget();
    if (onClick) onClick();
}
void CheckBox::applyToWidget() {
    QSignalBlocker b(this);
    setTristate(value_ == 2);
    setCheckState(value_ == 1 ? Qt::Checked : value_ == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}
void CheckBox::focusInEvent(QFocusEvent* e) {
    QCheckBox::focusInEvent(e);
    focusIn(e);
}
void CheckBox::focusOutEvent(QFocusEvent* e) {
    QCheckBox::focusOutEvent(e);
    focusOut(e);
}

// ---- OptionButton
OptionButton::OptionButton(const QString& caption, QWidget* parent) : QRadioButton(caption, parent) {
    setAutoExclusive(false);
    connect(this, &QRadioButton::clicked, this, [this] {
        if (value_) {  // clicking the selected option: Qt would untick it
            applyToWidget();
            return;
        }
        rt::guard([this] { setValue(true); });
    });
}
void OptionButton::setValue(bool v) {
    if (v == value_) return;
    value_ = v;
    applyToWidget();
    if (!v) return;
    if (QWidget* p = parentWidget()) {
        for (OptionButton* o : p->findChildren<OptionButton*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (o != this && o->value_) {
                o->value_ = false;
                o->applyToWidget();
            }
        }
    }
    if (onClick) onClick();
}
void OptionButton::applyToWidget() {
    QSignalBlocker b(this);
    setChecked(value_);
}

// ---- ComboBox
ComboBox::ComboBox(Style style, QWidget* parent) : QComboBox(parent), style_(style) {
    setEditable(style == Editable);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(16);
    connect(this, QOverload<int>::of(&QComboBox::activated), this, [this](int row) { userActivated(row); });
    if (style == Editable) {
        connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) { userEdited(t); });
    }
    syncWidget();
}

void ComboBox::addItem(const QString& text) {
    items_ << text;
    data_ << 0;
    syncing_ = true;
    {
        QSignalBlocker b(this);
        QComboBox::addItem(text);
    }
    syncing_ = false;
    syncWidget();
}

void ComboBox::clear() {
    items_.clear();
    data_.clear();
    index_ = -1;
    {
        QSignalBlocker b(this);
        QComboBox::clear();
    }
    if (style_ == PickList) text_.clear();
    syncWidget();
}

QString ComboBox::list(int i) const {
    if (i < 0 || i >= items_.size()) return QString();
    return items_[i];
}
int ComboBox::itemData(int i) const {
    if (i < 0 || i >= data_.size()) rt::raise(rt::kErrInvalidCall);
    return data_[i];
}
void ComboBox::setItemData(int i, int value) {
    if (i < 0 || i >= data_.size()) rt::raise(rt::kErrInvalidCall);
    data_[i] = value;
}

void ComboBox::setListIndex(int i) {
    if (i < -1 || i >= items_.size()) rt::raise(rt::kErrInvalidCall, "ListIndex");
    if (i == index_) return;
    index_ = i;
    text_ = i >= 0 ? items_[i] : (style_ == PickList ? QString() : text_);
    syncWidget();
    if (onClick) onClick();
}

void ComboBox::chooseListIndex(int i) {
    if (i == index_) {
        if (onClick) onClick();
        return;
    }
    setListIndex(i);
}

void ComboBox::setText(const QString& t) {
    if (style_ == PickList) {
        // A pick list takes only the text of one of its items.
        int i = static_cast<int>(items_.indexOf(t));
        if (i < 0) rt::raise(rt::kErrInvalidCall, "Text");
        setListIndex(i);
        return;
    }
    if (t == text_) return;
    text_ = t;
    index_ = static_cast<int>(items_.indexOf(t));
    syncWidget();
    if (onChange) onChange();
}

void ComboBox::syncWidget() {
    QSignalBlocker b(this);
    QComboBox::setCurrentIndex(index_);
    if (style_ == Editable && lineEdit()) {
        if (lineEdit()->text() != text_) lineEdit()->setText(text_);
    }
}

void ComboBox::userActivated(int row) {
    if (row < 0 || row >= items_.size()) return;
    rt::guard([this, row] {
        index_ = row;
        text_ = items_[row];
        syncWidget();
        // A choice from the list always counts as a click, even of the same item.
        if (onClick) onClick();
    });
}

void ComboBox::userEdited(const QString& t) {
    rt::guard([this, t] {
        text_ = t;
        index_ = -1;  // typed text selects no item
        if (onChange) onChange();
    });
}

void ComboBox::focusInEvent(QFocusEvent* e) {
    QComboBox::focusInEvent(e);
    focusIn(e);
}
void ComboBox::focusOutEvent(QFocusEvent* e) {
    QComboBox::focusOutEvent(e);
    focusOut(e);
}

// ---- PictureBox
PictureBox::PictureBox(QWidget* parent) : QLabel(parent) {
    setScaledContents(true);
}
void PictureBox::setPicture(const QPixmap& p) {
    picture_ = p;
    update();
}

void PictureBox::paintEvent(QPaintEvent* e) {
    if (picture_.isNull()) {
        QLabel::paintEvent(e);
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(contentsRect(), picture_);
    QLabel::paintEvent(e);  // the frame, if any
}
void PictureBox::mousePressEvent(QMouseEvent* e) {
    e->accept();
    if (onMouseDown) rt::guard([&] { onMouseDown(e); });
    if (onClick && e->button() == Qt::LeftButton) rt::guard(onClick);
}
void PictureBox::mouseMoveEvent(QMouseEvent* e) {
    QLabel::mouseMoveEvent(e);
    if (onMouseMove) rt::guard([&] { onMouseMove(e); });
}
void PictureBox::mouseReleaseEvent(QMouseEvent* e) {
    QLabel::mouseReleaseEvent(e);
    if (onMouseUp) rt::guard([&] { onMouseUp(e); });
}

// ---- FileListBox
FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemClicked, this, [this] {
        if (onClick) rt::guard(onClick);
    });
}

void FileListBox::setPath(const QString& folder) {
    if (!QDir(folder).exists()) rt::raise(rt::kErrPathNotFound, folder.toStdString());
    path_ = folder;
    refresh();
}

void FileListBox::setPattern(const QString& pattern) {
    pattern_ = pattern;
    refresh();
}

void FileListBox::refresh() {
    QSignalBlocker b(this);
    QListWidget::clear();
    if (path_.isEmpty()) return;
    QDir dir(path_);
    QStringList patterns = pattern_.split(u';', Qt::SkipEmptyParts);
    dir.setNameFilters(patterns);
    dir.setFilter(QDir::Files | QDir::CaseSensitive);
    // Patterns match without regard to case, as file names do on the desktop.
    QDir all(path_);
    all.setFilter(QDir::Files);
    QStringList names;
    for (const QString& n : all.entryList()) {
        for (const QString& p : patterns) {
            QRegularExpression re(QRegularExpression::wildcardToRegularExpression(p),
                                  QRegularExpression::CaseInsensitiveOption);
            if (re.match(n).hasMatch()) {
                names << n;
                break;
            }
        }
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    addItems(names);
}

QString FileListBox::list(int i) const {
    if (i < 0 || i >= count()) return QString();
    return item(i)->text();
}

void FileListBox::setListIndex(int i) {
    if (i < -1 || i >= count()) rt::raise(rt::kErrInvalidCall);
    // No change, no Click. (Qt may make a row current without selecting it,
    // e.g. on a focus move: that row is not chosen yet.)
    if (i == listIndex() && (i < 0 || item(i)->isSelected())) return;
    {
        QSignalBlocker b(this);
        setCurrentRow(i);
    }
    if (onClick) onClick();
}

QString FileListBox::fileName() const {
    QListWidgetItem* it = currentItem();
    return it && it->isSelected() ? it->text() : QString();
}

// ---- ScrollBar
ScrollBar::ScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
    // Without tracking Qt reports a drag once, when the thumb is let go;
    // arrow and track clicks are reported at once.
    setTracking(false);
    connect(this, &QScrollBar::valueChanged, this, [this](int pos) { userMoved(pos); });
    syncWidget();
}

// The widget always runs 0..|Max - Min| from left to right; Max below Min
// turns the direction round without touching Min.
int ScrollBar::toValue(int widgetPos) const { return max_ >= min_ ? min_ + widgetPos : min_ - widgetPos; }
int ScrollBar::toWidget(int value) const { return max_ >= min_ ? value - min_ : min_ - value; }

void ScrollBar::syncWidget() {
    syncing_ = true;
    {
        QSignalBlocker b(this);
        setRange(0, highest() - lowest());
        QScrollBar::setValue(toWidget(value_));
    }
    syncing_ = false;
}

void ScrollBar::setMin(int v) {
    min_ = v;
    const int held = std::clamp(value_, lowest(), highest());
    syncWidget();
    if (held != value_) setValue(held);
}

void ScrollBar::setMax(int v) {
    max_ = v;
    const int held = std::clamp(value_, lowest(), highest());
    syncWidget();
    if (held != value_) setValue(held);
}

void ScrollBar::setValue(int v) {
    if (v < lowest() || v > highest()) rt::raise(rt::kErrInvalidCall, "Value");
    if (v == value_) return;
    value_ = v;
    syncWidget();
    if (onChange) onChange();
}

void ScrollBar::userMoved(int widgetPos) {
    if (syncing_) return;
    const int v = toValue(widgetPos);
    if (v == value_) return;
    rt::guard([this, v] {
        value_ = v;
        if (onChange) onChange();
    });
}

// ---- Timer
namespace {
// Lateness beyond which a musical clock counts as stalled.
constexpr qint64 kStallNs = 250 * qint64(1000000);
// How early a musical clock may be woken: the rest is slept out in the tick.
constexpr qint64 kEarlyNs = 3 * qint64(1000000);
}  // namespace

namespace {
// The timers holding a change for a deadline still to come.
std::vector<Timer*> g_handedOver;

// Key and mouse events come to the window after the clocks' state has
// caught up with every deadline passed.
class DeadlineSettler : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (!g_handedOver.empty()) {
            switch (e->type()) {
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel: Timer::settle(); break;
            default: break;
            }
        }
        return QObject::eventFilter(watched, e);
    }
};

void installDeadlineSettler() {
    static QPointer<DeadlineSettler> settler;  // goes with the application
    QCoreApplication* app = QCoreApplication::instance();
    if (settler || !app) return;
    settler = new DeadlineSettler(app);
    app->installEventFilter(settler);
}

int wholeMsFrom(qint64 ns) { return ns <= 0 ? 0 : int((ns + 999999) / 1000000); }

// The steady-clock time (what a MIDI due time counts) of a moment on the
// timers' time base.
qint64 steadyNsOf(qint64 timerNs) {
    const qint64 steadyNow = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch()).count();
    return steadyNow + (timerNs - Timer::nowNs());
}
}  // namespace

Timer::Timer(QObject* parent) : QObject(parent) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { fire(); });
    deadlineTimer_.setTimerType(Qt::PreciseTimer);
    deadlineTimer_.setSingleShot(true);
    connect(&deadlineTimer_, &QTimer::timeout, this, [this] {
        if (atDeadlineNs_ < 0) return;
        const qint64 left = atDeadlineNs_ - nowNs();
        if (left > kEarlyNs) {
            deadlineTimer_.start(wholeMsFrom(left));
            return;
        }
        if (left > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(left));
        runAtDeadline();
    });
}

Timer::~Timer() { dropAtDeadline(); }

namespace {
qint64 (*g_timeSource)() = nullptr;
}

void Timer::setTimeSource(qint64 (*source)()) { g_timeSource = source; }

qint64 Timer::nowNs() {
    if (g_timeSource) return g_timeSource();
    static QElapsedTimer base = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return base.nsecsElapsed();
}

namespace {
bool g_timersHeld = false;
}

void Timer::setHeld(bool held) { g_timersHeld = held; }
bool Timer::held() { return g_timersHeld; }

qint64 Timer::nextDeadlineNs() const { return enabled_ && interval_ != 0 ? deadline_ : -1; }

void Timer::setInterval(int ms) {
    if (ms < 0 || ms > 65535) rt::raise(rt::kErrInvalidCall, "Interval");
    interval_ = ms;
    apply(true);
}

void Timer::setEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    apply(true);
}

void Timer::apply(bool restart) {
    if (!enabled_ || interval_ == 0) {
        if (!firing_) dropAtDeadline();
        timer_.stop();
        deadline_ = -1;
        return;
    }
    if (!restart && deadline_ >= 0) return;
    if (!firing_) dropAtDeadline();
    if (!musical_) {
        deadline_ = nowNs() + qint64(interval_) * 1000000;
        if (g_timersHeld) return;
        timer_.setSingleShot(false);
        timer_.start(interval_);
        return;
    }
    const qint64 from = firing_ ? tickDeadline_ : nowNs();
    deadline_ = from + qint64(interval_) * 1000000;
    schedule();
}

void Timer::schedule() {
    if (g_timersHeld) return;
    // The tick runs the look-ahead before its deadline and stamps what it
    // sends with the deadline itself: a main thread late by less than the
    // look-ahead changes nothing heard, and a clock started at a key press
    // keeps its first step as long as the others.
    const qint64 waitNs = deadline_ - plat::kClockLookAheadNs - nowNs();
    // Qt's timers count whole milliseconds and may wake a little late: wake
    // one to two milliseconds early, and fire() sleeps out the rest.
    const int waitMs = waitNs <= 0 ? 0 : std::max(0, int(waitNs / 1000000) - 1);
    timer_.setSingleShot(true);
    timer_.start(waitMs);
}

void Timer::fire() {
    if (!musical_) {
        deadline_ = nowNs() + qint64(interval_) * 1000000;
        tick();
        return;
    }
    if (inTick_) {
        // Due while a tick is still running (a nested event loop): try again
        // as soon as it has finished, keeping the deadline.
        timer_.start(1);
        return;
    }
    qint64 now = nowNs();
    if (atDeadlineNs_ >= 0 && atDeadlineNs_ <= now) {
        runAtDeadline();
        if (!enabled_ || interval_ == 0) return;
    }
    const qint64 wake = deadline_ - plat::kClockLookAheadNs;
    if (wake - now > kEarlyNs) {
        // Woken well before its time: wait again.
        schedule();
        return;
    }
    if (wake > now) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(wake - now));
        now = nowNs();
    }
    // The previous tick's change comes first, even when its deadline is
    // still to come (an interval shorter than the look-ahead).
    if (atDeadlineNs_ >= 0) {
        runAtDeadline();
        if (!enabled_ || interval_ == 0) return;
    }
    // A tick due long ago belongs to a stall: keep time from now.
    if (now - deadline_ > kStallNs) deadline_ = now;
    tickDeadline_ = deadline_;
    deadline_ = tickDeadline_ + qint64(interval_) * 1000000;
    firing_ = true;
    {
        // What the tick sends is due at its deadline (on the steady clock):
        // the synthesizer sounds it then, to the frame.
        plat::MidiDueTime due(steadyNsOf(tickDeadline_));
        tick();
    }
    firing_ = false;
    if (enabled_ && interval_ != 0 && !timer_.isActive()) schedule();
}

void Timer::tick() {
    if (inTick_ || !onTimer) return;
    inTick_ = true;
    rt::guard(onTimer);
    inTick_ = false;
}

void Timer::atDeadline(Handler change) {
    if (!change) return;
    if (!firing_ || tickDeadline_ <= nowNs()) {
        change();
        return;
    }
    if (atDeadlineNs_ >= 0 && atDeadline_) {
        // A second change of the same tick runs after the first.
        atDeadline_ = [first = std::move(atDeadline_), second = std::move(change)] {
            first();
            second();
        };
    } else {
        atDeadline_ = std::move(change);
    }
    atDeadlineNs_ = tickDeadline_;
    if (std::find(g_handedOver.begin(), g_handedOver.end(), this) == g_handedOver.end()) g_handedOver.push_back(this);
    installDeadlineSettler();
    if (g_timersHeld) return;
    // Woken at the deadline or just after it; keys come after it in any case.
    deadlineTimer_.start(wholeMsFrom(atDeadlineNs_ - nowNs()));
}

void Timer::dropAtDeadline() {
    if (atDeadlineNs_ < 0) return;
    atDeadline_ = nullptr;
    atDeadlineNs_ = -1;
    deadlineTimer_.stop();
    g_handedOver.erase(std::remove(g_handedOver.begin(), g_handedOver.end(), this), g_handedOver.end());
}

void Timer::runAtDeadline() {
    if (atDeadlineNs_ < 0) return;
    const Handler change = std::move(atDeadline_);
    const qint64 at = atDeadlineNs_;
    dropAtDeadline();
    // What the change sends (a take closed at its end) is due at the deadline too.
    plat::MidiDueTime due(steadyNsOf(at));
    if (change) rt::guard(change);
}

void Timer::settle() {
    const std::vector<Timer*> timers = g_handedOver;
    for (Timer* t : timers) {
        if (std::find(g_handedOver.begin(), g_handedOver.end(), t) == g_handedOver.end()) continue;
        if (t->atDeadlineNs_ >= 0 && t->atDeadlineNs_ <= nowNs()) t->runAtDeadline();
    }
}

}  // namespace ui
