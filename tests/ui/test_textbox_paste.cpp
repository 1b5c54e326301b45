// Every paste into a multi-line box (Ctrl+V, Shift+Insert, Shift with the keypad's 0, a middle click, the context
// menu) takes the clipboard's plain text, and nothing while the clipboard is empty. test_app runs this test again on
// an X display of its own, where nothing has been copied yet.
#include "ui/controls.h"

#include <QtWidgets>
#include <gtest/gtest.h>

#include <memory>

TEST(TextBoxPaste, EveryPathTakesTheClipboardTextAndNothingWhenItIsEmpty) {
    QWidget window;
    ui::TextBox box(true, &window);
    box.resize(300, 80);
    window.show();
    auto* edit = static_cast<QPlainTextEdit*>(box.editor());
    QClipboard* clipboard = QGuiApplication::clipboard();
    const auto send = [](QWidget* to, QEvent&& e) { QCoreApplication::sendEvent(to, &e); };
    const auto middleClick = [&] {
        const QPointF at(250, 8);  // right of the first line's end
        const QPointF global = edit->viewport()->mapToGlobal(at);
        send(edit->viewport(), QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::MiddleButton, Qt::MiddleButton, {}));
        send(edit->viewport(), QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::MiddleButton, {}, {}));
    };
    const std::function<void()> paths[] = {
        [&] { send(edit, QKeyEvent(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier)); },
        [&] { send(edit, QKeyEvent(QEvent::KeyPress, Qt::Key_Insert, Qt::ShiftModifier)); },
        [&] { send(edit, QKeyEvent(QEvent::KeyPress, Qt::Key_Insert, Qt::ShiftModifier | Qt::KeypadModifier)); },
        middleClick,
        [&] {
            std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
            auto* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"));
            ASSERT_NE(paste, nullptr);
            paste->trigger();
        }};
    // The empty clipboard first: nothing has been copied since the start.
    for (const QString& copied : {QString(), QStringLiteral("KC4\r\nKD")}) {
        if (!copied.isEmpty()) clipboard->setText(copied);
        if (!copied.isEmpty() && clipboard->supportsSelection()) clipboard->setText(copied, QClipboard::Selection);
        for (int path = 0; path < 5; ++path) {
            box.setText(QStringLiteral("A"));
            edit->moveCursor(QTextCursor::End);
            paths[path]();
            // A middle click pastes the selection, where the desktop has one.
            const bool pastes = path != 3 || clipboard->supportsSelection();
            EXPECT_EQ(box.text(), QStringLiteral("A") + (pastes ? copied : QString())) << "path " << path;
        }
    }
}
