// The two playing surfaces of the main window: the keyboard button, which
// takes every key while it has the focus (Space, Tab, arrows and Enter
// included), and the strip of on-screen keys, which the mouse plays with one
// grab and our own hit test.
#pragma once

#include "ui/controls.h"

#include <functional>

class KeyboardButton : public ui::CommandButton {
    Q_OBJECT
public:
    explicit KeyboardButton(const QString& caption, QWidget* parent = nullptr);
    std::function<void(int keyCode, int shift)> onKeyDown;

protected:
    bool event(QEvent* e) override;
};

class KeyStrip : public QWidget {
    Q_OBJECT
public:
    explicit KeyStrip(QWidget* parent = nullptr);
    // Called for every pointer event over a key while the button is held
    // (from the press on a key until the release), with the key's index.
    std::function<void(int key)> onDragOver;
    // Hit test in strip coordinates: the key under the point (-1 none).
    std::function<int(int x, int y)> hitTest;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void over(const QPoint& p);
    bool dragging_ = false;
};
