// The real save dialog asks before replacing a file: Enter answers "否" and
// goes back to the dialog, "是" replaces.
#include "platform/dialogs.h"

#include "support/testsupport.h"

#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

TEST(SaveQuestion, EnterKeepsTheFileAndYesReplacesIt) {
    testing_support::ScratchFolder folder;
    folder.write(QStringLiteral("victim.bin"), "old");
    plat::setDialogs(nullptr);
    plat::FileDialogRequest request;
    request.save = true;
    request.filter = QStringLiteral("数据|*.bin");
    request.flags = 2;
    request.initDir = folder.path();
    request.fileName = QStringLiteral("victim");

    // The user: accepts the dialog, presses Enter at the question, accepts
    // again, then clicks "是".
    QStringList seen;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dlg = qobject_cast<QFileDialog*>(modal)) {
            seen << QStringLiteral("dialog");
            QMetaObject::invokeMethod(dlg, "accept", Qt::QueuedConnection);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            const bool enter = seen.count(QStringLiteral("dialog")) == 1;
            seen << (box->defaultButton() == box->button(QMessageBox::No) ? QStringLiteral("default 否")
                                                                          : QStringLiteral("default 是"));
            if (enter) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                QApplication::sendEvent(box, &press);
            } else {
                box->button(QMessageBox::Yes)->click();
            }
        }
    });
    user.start(20);
    const plat::FileDialogResult r = plat::dialogs().fileDialog(nullptr, request);
    user.stop();
    EXPECT_EQ(seen, QStringList({"dialog", "default 否", "dialog", "default 否"}));
    ASSERT_FALSE(r.cancelled);
    EXPECT_EQ(r.fileName, folder.file(QStringLiteral("victim.bin")));
}
