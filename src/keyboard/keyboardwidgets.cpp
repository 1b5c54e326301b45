// The keyboard button that takes every key, and the on-screen key strip's mouse grab.
#include "keyboard/keyboardwidgets.h"

#include "keyboard/onscreenkeys.h"

#include <QKeyEvent>
#include <QMouseEvent>

KeyboardButton::KeyboardButton(const QString& caption, QWidget* parent) : ui::CommandButton(caption, parent) {
    setFocusPolicy(Qt::StrongFocus);
}

bool KeyboardButton::event(QEvent* e) {
    switch (e->type()) {
    case QEvent::ShortcutOverride:
        // Every key is ours while the button has the focus.
        e->accept();
        return true;
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(e);
        int code = vk::fromKeyEvent(*k);
        int shift = vk::shiftState(*k);
        if (code && onKeyDown) rt::guard([&] { onKeyDown(code, shift); });
        e->accept();
        return true;
    }
    case QEvent::KeyRelease:
        // Qt would click the button on the release of Space or Enter.
        e->accept();
        return true;
    default:
        return ui::CommandButton::event(e);
    }
}

KeyStrip::KeyStrip(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(false);
}

void KeyStrip::over(const QPoint& p) {
    if (!hitTest || !onDragOver) return;
    int key = hitTest(p.x(), p.y());
    if (key < 0) return;
    // Keys that are disabled (the keyboard button lost the focus) do not play.
    if (!isEnabled()) return;
    rt::guard([&] { onDragOver(key); });
}

void KeyStrip::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    dragging_ = true;
    over(e->position().toPoint());
}

void KeyStrip::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_ || !(e->buttons() & Qt::LeftButton)) return;
    over(e->position().toPoint());
}

void KeyStrip::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) dragging_ = false;
}
