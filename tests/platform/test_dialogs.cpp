// Saving: the parts of the real file dialog that decide which file a save
// replaces, and the Chinese texts of Qt's own dialogs and buttons.
#include "platform/dialogs.h"

#include "support/testsupport.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace plat;

TEST(SaveDialog, ABareNameGetsTheFilterExtensionAndReachesFilesOfAnyCase) {
    const std::pair<const char*, const char*> suffixes[] = {{"*.bin", "bin"}, {"*.txt;*.log", "txt"}, {"*.*", ""},
                                                            {"*", ""}, {"a.bin", ""}, {"*.b?n", ""}};
    for (const auto& [filter, suffix] : suffixes) EXPECT_EQ(filterSuffix(QString::fromLatin1(filter)), suffix) << filter;
    const QString bin = QStringLiteral("bin");
    EXPECT_EQ(withDefaultSuffix(QStringLiteral("/d/a.b/victim"), bin), QStringLiteral("/d/a.b/victim.bin"));
    EXPECT_EQ(withDefaultSuffix(QStringLiteral("/d/.hidden"), bin), QStringLiteral("/d/.hidden.bin"));
    EXPECT_EQ(withDefaultSuffix(QStringLiteral("/d/song.txt"), bin), QStringLiteral("/d/song.txt"));

    // What the question before replacing is asked about.
    testing_support::ScratchFolder folder;
    folder.write(QStringLiteral("演奏记录/Mixed.bin"), "old");
    const QString dir = folder.file(QStringLiteral("演奏记录/"));
    EXPECT_EQ(fileReplacedBySave(dir + QStringLiteral("mixed.BIN")), dir + QStringLiteral("Mixed.bin"));
    EXPECT_TRUE(fileReplacedBySave(dir + QStringLiteral("new.bin")).isEmpty());
    EXPECT_TRUE(fileReplacedBySave(folder.file(QStringLiteral("演奏记录"))).isEmpty()) << "a folder is no file";
}

TEST(QtTranslations, StandardDialogsAndButtonsSpeakChinese) {
    ASSERT_TRUE(loadChineseQtTranslations()) << "qt6-translations-l10n (qtbase_zh_CN.qm) is not installed";
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("另存为"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Open"), QStringLiteral("打开"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("确定"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    // Other tests of this program see Qt's texts as they were.
    for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
}

// Answers the next modal box as a user would, once it is shown.
void answerModal(std::function<void(QWidget*)> answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            poll->deleteLater();
            poll->stop();
            answer(w);
        }
    });
    poll->start(5);
}

// The real boxes: the buttons a style offers and the answer each gives, and
// the text typed into an input box.
TEST(RealDialogs, ButtonsOfEachStyleAndTheirAnswersAndTheTypedText) {
    const struct { int style; QMessageBox::StandardButton press; int buttons, answer; } cases[] = {
        {kOkOnly, QMessageBox::Ok, 1, kAnsOk},          {kOkCancel, QMessageBox::Cancel, 2, kAnsCancel},
        {kYesNoCancel, QMessageBox::Yes, 3, kAnsYes},  {kYesNoCancel, QMessageBox::Cancel, 3, kAnsCancel},
        {kYesNo, QMessageBox::No, 2, kAnsNo}};
    for (const auto& c : cases) {
        int buttons = 0;
        answerModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            buttons = static_cast<int>(box->buttons().size());
            box->button(c.press)->click();
        });
        EXPECT_EQ(dialogs().messageBox(nullptr, QStringLiteral("问题"), c.style, QString()), c.answer) << c.style;
        EXPECT_EQ(buttons, c.buttons) << c.style;
    }
    for (bool accept : {true, false}) {
        answerModal([accept](QWidget* w) {
            auto* box = qobject_cast<QInputDialog*>(w);
            box->setTextValue(QStringLiteral("12"));
            accept ? box->accept() : box->reject();
        });
        QString answer = QStringLiteral("old");
        EXPECT_EQ(dialogs().inputBox(nullptr, QStringLiteral("小节数"), QString(), QStringLiteral("4"), &answer), accept);
        EXPECT_EQ(answer, accept ? QStringLiteral("12") : QStringLiteral("old"));
    }
    // The open dialog takes only an existing file, the save dialog any name.
    for (bool save : {false, true}) {
        QFileDialog::FileMode mode = QFileDialog::Directory;
        answerModal([&mode](QWidget* w) {
            if (auto* d = qobject_cast<QFileDialog*>(w)) mode = d->fileMode();
            static_cast<QDialog*>(w)->reject();
        });
        FileDialogRequest r;
        r.save = save;
        r.filter = QStringLiteral("乐谱记录txt|*.txt");
        EXPECT_TRUE(dialogs().fileDialog(nullptr, r).cancelled);
        EXPECT_EQ(mode, save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    }
}
