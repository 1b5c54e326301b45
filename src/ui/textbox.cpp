// The text box: a one-line QLineEdit or a multi-line QPlainTextEdit showing
// the box's own text (CR LF line ends, which the multi-line editor shows as
// one line break each).
//
// Soft line breaks. The editor lays out a whole paragraph at once, again at
// every change in it, and a score is one paragraph without end: shown as it
// is, every key recorded at its end or every caret move would cost time that
// grows with the score. So, until the user edits the box, a long text shows
// in paragraphs no longer than a line of the box (soft breaks: not part of
// the text), and the editor lays out only the few it shows. The box is then
// read-only; the first key press, mouse press or input of the user in it
// shows the text exactly again, once.
//
// Control characters. Qt never breaks a line before a control character and
// lets one stand past the end of a full line, though it draws it as a box: a
// line can end wider than the box. The editor shows each one (tab included;
// CR and LF are line breaks) as its picture, one character for one, so that
// every position stays that of the text and a score with such a character
// shows where its error is; what the user edits comes back with the
// characters themselves.
// The box's width never depends on its text either: the vertical scroll bar
// always shows and a wrapping box never scrolls sideways. A scroll bar that
// came and went with the lines would change the width the lines fill, and
// some texts would show and hide it without end.
#include "ui/controls.h"

#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>
#include <array>

namespace ui {

namespace {

constexpr int kLongBlock = 256;  // a paragraph too long to measure at every key

// Control characters and their pictures (U+2400..U+241F, U+2421 for DEL).
constexpr char16_t kPictures = 0x2400;
constexpr char16_t kDeletePicture = 0x2421;

bool isPictured(char16_t c) { return (c < 0x20 && c != u'\r' && c != u'\n') || c == 0x7F; }

QChar shownChar(QChar c) {
    const char16_t u = c.unicode();
    if (!isPictured(u)) return c;
    return QChar(u == 0x7F ? kDeletePicture : static_cast<char16_t>(kPictures + u));
}

// The text as the editor shows it: line breaks as one LF each, control
// characters as their pictures.
QString shownText(const QString& t) {
    QString shown = t;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    for (QChar& c : shown)
        if (isPictured(c.unicode())) c = shownChar(c);
    return shown;
}

// The pictures of the editor's text back to the characters they show.
void unpicture(QString& t) {
    for (QChar& c : t) {
        const char16_t u = c.unicode();
        if (u >= kPictures && u < kPictures + 0x20) c = QChar(static_cast<char16_t>(u - kPictures));
        else if (u == kDeletePicture) c = QChar(char16_t{0x7F});
    }
}

// Every paste (the key sequences, a middle click, the context menu) takes the
// clipboard's plain text, and nothing when it holds none. Qt's own insert
// asks the clipboard's data for each of its formats, and with nothing copied
// on the desktop since the start that data is not valid (the program dies).
class PasteTextEdit : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    bool canInsertFromMimeData(const QMimeData*) const override { return !isReadOnly(); }
    void insertFromMimeData(const QMimeData* source) override {
        QClipboard* clipboard = QGuiApplication::clipboard();
        const bool selection =
            clipboard->supportsSelection() && source == clipboard->mimeData(QClipboard::Selection);
        const QString text = clipboard->text(selection ? QClipboard::Selection : QClipboard::Clipboard);
        if (!text.isEmpty()) insertPlainText(shownText(text));
    }
};

}  // namespace

TextBox::TextBox(bool multiLine, QWidget* parent) : QWidget(parent), multiLine_(multiLine) {
    QWidget* ed;
    if (multiLine) {
        plain_ = new PasteTextEdit(this);
        plain_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        plain_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        plain_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // Text dropped on a box that shows soft line breaks could not be
        // placed in its text; typing and pasting go through the focus.
        plain_->setAcceptDrops(false);
        connect(plain_, &QPlainTextEdit::textChanged, this, [this] { userChanged(); });
        plain_->viewport()->installEventFilter(this);
        ed = plain_;
    } else {
        line_ = new QLineEdit(this);
        connect(line_, &QLineEdit::textChanged, this, [this] { userChanged(); });
        ed = line_;
    }
    ed->installEventFilter(this);
    setFocusProxy(ed);
}

void TextBox::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    editor()->setGeometry(rect());
}

QWidget* TextBox::editor() const { return line_ ? static_cast<QWidget*>(line_) : plain_; }
void TextBox::focusEditor() { editor()->setFocus(Qt::OtherFocusReason); }

void TextBox::setFont(const QFont& f) {
    QWidget::setFont(f);
    editor()->setFont(f);
}

bool TextBox::eventFilter(QObject* o, QEvent* e) {
    const QEvent::Type type = e->type();
    // The user turns to the box (to edit, select or copy): the text shows
    // exactly first.
    if (plain_ && (o == plain_ || o == plain_->viewport()) &&
        (type == QEvent::KeyPress || type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
         type == QEvent::InputMethod || type == QEvent::ContextMenu)) {
        showExactText();
    }
    if (o == editor()) {
        if (type == QEvent::FocusIn) {
            focusIn(static_cast<QFocusEvent*>(e));
        } else if (type == QEvent::FocusOut) {
            focusOut(static_cast<QFocusEvent*>(e));
        } else if (type == QEvent::KeyPress && onKeyPress) {
            auto* k = static_cast<QKeyEvent*>(e);
            if (!k->text().isEmpty()) {
                int ascii = k->text().at(0).unicode();
                rt::guard([this, ascii] { onKeyPress(ascii); });
            }
        }
    }
    return QWidget::eventFilter(o, e);
}

void TextBox::userChanged() {
    if (syncing_ || !softBreaks_.empty()) return;  // a box with soft breaks is read-only
    QString t = line_ ? line_->text() : plain_->toPlainText();
    if (!line_) {
        t.replace(u'\n', QStringLiteral("\r\n"));
        unpicture(t);
    }
    if (t == text_) return;
    // The length limit is the user's: typing past it is refused, while text
    // set by the program may be longer.
    if (maxLength_ > 0 && t.size() > maxLength_ && t.size() > text_.size()) {
        syncing_ = true;
        if (line_) {
            const int caret = line_->cursorPosition() - static_cast<int>(t.size() - text_.size());
            line_->setText(text_);
            line_->setCursorPosition(std::max(0, caret));
        } else {
            plain_->setPlainText(shownText(text_));
        }
        syncing_ = false;
        return;
    }
    text_ = t;
    noCr_ = !text_.contains(u'\r');
    if (onChange) rt::guard(onChange);
}

void TextBox::setText(const QString& t) {
    if (t == text_) return;
    text_ = t;
    noCr_ = !text_.contains(u'\r');
    syncing_ = true;
    if (line_) {
        line_->setText(t);
    } else if (t.size() > kLongBlock) {
        showSoftBroken();
    } else {
        softBreaks_.clear();
        plain_->setPlainText(shownText(t));
        plain_->setReadOnly(locked_);
    }
    syncing_ = false;
    if (onChange) onChange();
}

// The room for text in one line of the multi-line box with its scroll bar
// shown, from the box's own width (its editor is sized only once shown).
qreal TextBox::lineRoom() const {
    const int scrollBar = plain_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, plain_);
    return std::max<qreal>(0, width() - 2 * plain_->frameWidth() - scrollBar -
                                  2 * plain_->document()->documentMargin() - plain_->cursorWidth() - 2);
}

// The whole text with a soft break wherever a line of the box is full (or
// after kLongBlock characters when the box has no width yet).
void TextBox::showSoftBroken() {
    const qreal room = lineRoom();
    const QFontMetricsF metrics(plain_->font());
    std::array<qreal, 128> ascii{};
    for (int c = 32; c < 128; ++c) ascii[c] = metrics.horizontalAdvance(QChar(c));
    QString shown;
    shown.reserve(text_.size() + text_.size() / 64 + 16);
    softBreaks_.clear();
    qreal width = 0;
    int length = 0;
    for (qsizetype i = 0; i < text_.size(); ++i) {
        const QChar c = shownChar(text_.at(i));
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text_.size() && text_.at(i + 1) == u'\n') ++i;
            shown += u'\n';
            width = 0;
            length = 0;
            continue;
        }
        const qreal advance = c.unicode() < 128 ? ascii[c.unicode()] : metrics.horizontalAdvance(c);
        const bool full = length >= kLongBlock || (room > 0 && length > 0 && width + advance > room);
        if (full && !c.isLowSurrogate()) {
            shown += u'\n';
            softBreaks_.push_back(static_cast<int>(i));
            width = 0;
            length = 0;
        }
        shown += c;
        width += advance;
        ++length;
    }
    plain_->setPlainText(shown);
    plain_->setReadOnly(locked_ || !softBreaks_.empty());
}

// Appends at the end of the shown text, starting a new paragraph when the
// last one is full.
void TextBox::appendShown(const QString& t) {
    QTextCursor c(plain_->document());
    c.movePosition(QTextCursor::End);
    const QTextBlock last = c.block();
    const QString shown = shownText(t);
    const qreal room = lineRoom();
    bool full = last.length() > kLongBlock;
    // (A box not laid out yet has no width to fill: long paragraphs only.)
    if (!full && room > 0 && !last.text().isEmpty() && !shown.contains(u'\n')) {
        full = QFontMetricsF(plain_->font()).horizontalAdvance(last.text() + shown) > room;
    }
    syncing_ = true;
    if (full) {
        c.insertBlock();
        softBreaks_.push_back(static_cast<int>(text_.size()));
        plain_->setReadOnly(true);
    }
    c.insertText(shown);
    plain_->setTextCursor(c);
    syncing_ = false;
}

void TextBox::showExactText() {
    if (softBreaks_.empty()) return;
    syncing_ = true;
    softBreaks_.clear();
    plain_->setPlainText(shownText(text_));
    plain_->moveCursor(QTextCursor::End);
    plain_->setReadOnly(locked_);
    syncing_ = false;
}

// The multi-line editor shows CR LF (and a lone CR or LF) as one line break,
// and a soft break as one more: the position in the shown text of text
// position pos (a soft break at pos counts when atBreak says so). No copy of
// the text, and nothing to count in a text without CR.
int TextBox::shownPos(int pos, bool atBreak) const {
    int shown = pos;
    if (!noCr_) shown -= static_cast<int>(QStringView(text_).left(pos).count(u"\r\n"));
    const auto end = atBreak ? std::upper_bound(softBreaks_.begin(), softBreaks_.end(), pos)
                             : std::lower_bound(softBreaks_.begin(), softBreaks_.end(), pos);
    return shown + static_cast<int>(end - softBreaks_.begin());
}

// The reverse, for the exact text. The end of the text is the end of the
// shown text, so the caret at the end (where recording inserts) maps without
// a walk over the text.
int TextBox::textPos(int shownPos) const {
    if (shownPos >= plain_->document()->characterCount() - 1) return static_cast<int>(text_.size());
    if (noCr_) return shownPos;
    int shown = 0;
    qsizetype i = 0;
    while (i < text_.size() && shown < shownPos) {
        if (text_.at(i) == u'\r' && i + 1 < text_.size() && text_.at(i + 1) == u'\n') ++i;
        ++i;
        ++shown;
    }
    return static_cast<int>(i);
}

int TextBox::selStart() const {
    if (line_) return line_->cursorPosition();
    if (!softBreaks_.empty()) return static_cast<int>(text_.size());  // the caret stays at the end
    return textPos(plain_->textCursor().position());
}

void TextBox::setSelStart(int pos) {
    pos = std::clamp(pos, 0, static_cast<int>(text_.size()));
    if (line_) {
        line_->setCursorPosition(pos);
        return;
    }
    if (pos == text_.size()) {
        if (softBreaks_.empty()) plain_->moveCursor(QTextCursor::End);
        return;
    }
    showExactText();
    QTextCursor c = plain_->textCursor();
    c.setPosition(shownPos(pos, true));
    plain_->setTextCursor(c);
}

void TextBox::setSelText(const QString& t) {
    if (line_) {
        int pos = line_->cursorPosition();
        int selLen = 0;
        if (line_->hasSelectedText()) {
            pos = line_->selectionStart();
            selLen = static_cast<int>(line_->selectedText().size());
        }
        setText(text_.left(pos) + t + text_.mid(pos + selLen));
        setSelStart(pos + static_cast<int>(t.size()));
        return;
    }
    // A cursor insert into the shown document and the same insert into
    // text_: the cost follows the inserted text, not the text already there.
    // A box showing soft breaks appends at its end.
    const bool atEnd = !plain_->textCursor().hasSelection() && plain_->textCursor().atEnd();
    if (!softBreaks_.empty() || atEnd) {
        if (t.isEmpty()) return;
        if (softBreaks_.empty() && plain_->hasFocus()) {
            QTextCursor c = plain_->textCursor();
            syncing_ = true;
            c.insertText(shownText(t));
            plain_->setTextCursor(c);
            syncing_ = false;
        } else {
            appendShown(t);
        }
        text_.append(t);
        if (t.contains(u'\r')) noCr_ = false;
        if (onChange) onChange();
        return;
    }
    QTextCursor c = plain_->textCursor();
    const int from = textPos(c.selectionStart());
    const int to = c.hasSelection() ? textPos(c.selectionEnd()) : from;
    if (t.isEmpty() && from == to) return;
    syncing_ = true;
    c.insertText(shownText(t));
    plain_->setTextCursor(c);
    syncing_ = false;
    text_.replace(from, to - from, t);
    noCr_ = !text_.contains(u'\r');
    if (onChange) onChange();
}

void TextBox::select(int start, int length) {
    start = std::clamp(start, 0, static_cast<int>(text_.size()));
    const int end = std::clamp(start + std::max(length, 0), start, static_cast<int>(text_.size()));
    if (line_) {
        line_->setSelection(start, end - start);
        return;
    }
    QTextCursor c = plain_->textCursor();
    c.setPosition(shownPos(start, true));
    c.setPosition(std::max(shownPos(end, false), c.position()), QTextCursor::KeepAnchor);
    plain_->setTextCursor(c);
}

void TextBox::setMaxLength(int n) { maxLength_ = n; }

void TextBox::setLocked(bool locked) {
    locked_ = locked;
    if (line_) line_->setReadOnly(locked);
    else plain_->setReadOnly(locked || !softBreaks_.empty());
}

void TextBox::setWrapAnywhere() {
    if (plain_) plain_->setWordWrapMode(QTextOption::WrapAnywhere);
}

}  // namespace ui
