// Every paste into a multi-line box (Ctrl+V, Shift+Insert, Shift with the
// keypad's 0, a middle click, the context menu) takes the clipboard's plain
// text, and nothing while the clipboard is empty. test_app runs this test
// again on an X display of its own, where nothing has been copied yet.
#include "ui/controls.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include <memory>

TEST(TextBoxPaste, EveryPathTakesTheClipboardTextAndNothingWhenItIsEmpty) {
    QWidget window;
    ui::TextBox box(true, &window);
    box.resize(300, 80);
    window.show();
    auto* edit = static_cast<QPlainTextEdit*>(box.editor());
    QClipboard* clipboard = QGuiApplication::clipboard();
    const auto key = [&](Qt::Key k, Qt::KeyboardModifiers m) {
        QKeyEvent e(QEvent::KeyPress, k, m);
        QCoreApplication::sendEvent(edit, &e);
    };
    const auto middleClick = [&] {
        const QPointF at(250, 8);  // right of the first line's end
        for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(t, at, edit->viewport()->mapToGlobal(at), Qt::MiddleButton,
                          t == QEvent::MouseButtonPress ? Qt::MiddleButton : Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(edit->viewport(), &e);
        }
    };
    const auto menuPaste = [&] {
        std::unique_ptr<QMenu> menu(edit->createStandardContextMenu());
        auto* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"));
        ASSERT_NE(paste, nullptr);
        paste->trigger();
    };
    // The empty clipboard first: nothing has been copied since the start.
    for (const QString& copied : {QString(), QStringLiteral("KC4\r\nKD")}) {
        if (!copied.isEmpty()) {
            clipboard->setText(copied);
            if (clipboard->supportsSelection()) clipboard->setText(copied, QClipboard::Selection);
        }
        for (int path = 0; path < 5; ++path) {
            box.setText(QStringLiteral("A"));
            edit->moveCursor(QTextCursor::End);
            if (path == 0) key(Qt::Key_V, Qt::ControlModifier);
            if (path == 1) key(Qt::Key_Insert, Qt::ShiftModifier);
            if (path == 2) key(Qt::Key_Insert, Qt::ShiftModifier | Qt::KeypadModifier);
            if (path == 3) middleClick();
            if (path == 4) menuPaste();
            // A middle click pastes the selection, where the desktop has one.
            const bool pastes = path != 3 || clipboard->supportsSelection();
            EXPECT_EQ(box.text(), QStringLiteral("A") + (pastes ? copied : QString())) << "path " << path;
        }
    }
}
