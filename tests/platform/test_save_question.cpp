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
    // The user accepts the dialog, presses Enter at the question, accepts again, then clicks "是".
    QStringList seen;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dlg = qobject_cast<QFileDialog*>(modal)) {
            seen << "dialog";
            QMetaObject::invokeMethod(dlg, "accept", Qt::QueuedConnection);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << (box->defaultButton() == box->button(QMessageBox::No) ? "default 否" : "default 是");
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            if (seen.size() == 2) QApplication::sendEvent(box, &enter);
            else box->button(QMessageBox::Yes)->click();
        }
    });
    user.start(20);
    const plat::FileDialogResult r = plat::dialogs().fileDialog(nullptr, request);
    user.stop();
    EXPECT_EQ(seen, QStringList({"dialog", "default 否", "dialog", "default 否"}));
    ASSERT_FALSE(r.cancelled);
    EXPECT_EQ(r.fileName, folder.file(QStringLiteral("victim.bin")));
}
