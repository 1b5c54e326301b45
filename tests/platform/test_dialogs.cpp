// Saving: the parts of the real file dialog that decide which file a save replaces and the question it asks, the one
// writer behind every save, the real boxes, and the Chinese texts of Qt's own dialogs.
#include "platform/dialogs.h"
#include "platform/savefile.h"

#include "support/testsupport.h"

#include <QtWidgets>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

using namespace plat;
using S = QString;

TEST(SaveDialog, ABareNameGetsTheFilterExtensionAndReachesFilesOfAnyCase) {
    const std::pair<const char*, const char*> suffixes[] = {{"*.bin", "bin"}, {"*.txt;*.log", "txt"}, {"*.*", ""},
                                                            {"*", ""}, {"a.bin", ""}, {"*.b?n", ""}};
    for (const auto& [filter, suffix] : suffixes) EXPECT_EQ(filterSuffix(S::fromLatin1(filter)), suffix) << filter;
    for (auto [name, full] : {std::pair{"/d/a.b/victim", "/d/a.b/victim.bin"}, {"/d/.hidden", "/d/.hidden.bin"},
                              {"/d/song.txt", "/d/song.txt"}})
        EXPECT_EQ(withDefaultSuffix(S::fromUtf8(name), S("bin")), S::fromUtf8(full));
    // What the question before replacing is asked about.
    testing_support::ScratchFolder folder;
    folder.write(S("演奏记录/Mixed.bin"), "old");
    const QString dir = folder.file(S("演奏记录/"));
    EXPECT_EQ(fileReplacedBySave(dir + S("mixed.BIN")), dir + S("Mixed.bin"));
    EXPECT_TRUE(fileReplacedBySave(dir + S("new.bin")).isEmpty());
    EXPECT_TRUE(fileReplacedBySave(folder.file(S("演奏记录"))).isEmpty()) << "a folder is no file";
}

TEST(QtTranslations, StandardDialogsAndButtonsSpeakChinese) {
    ASSERT_TRUE(loadChineseQtTranslations()) << "qt6-translations-l10n (qtbase_zh_CN.qm) is not installed";
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Save As"), S("另存为"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), S("取消"));
    for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>())
        QCoreApplication::removeTranslator(t), delete t;  // other tests see Qt's texts as they were
}

// Answers the next modal box as a user would, once it is shown.
void answerModal(std::function<void(QWidget*)> answer) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        if (QWidget* w = QApplication::activeModalWidget()) poll->deleteLater(), poll->stop(), answer(w);
    });
    poll->start(5);
}

// The buttons each style offers and the answer each gives, the text typed into an input box; the open dialog takes
// only an existing file, the save dialog any name.
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
        EXPECT_EQ(dialogs().messageBox(nullptr, S("问题"), c.style, S()), c.answer) << c.style;
        EXPECT_EQ(buttons, c.buttons) << c.style;
    }
    for (bool accept : {true, false}) {
        answerModal([accept](QWidget* w) {
            auto* box = qobject_cast<QInputDialog*>(w);
            box->setTextValue(S("12"));
            accept ? box->accept() : box->reject();
        });
        QString answer = S("old");
        EXPECT_EQ(dialogs().inputBox(nullptr, S("小节数"), S(), S("4"), &answer), accept);
        EXPECT_EQ(answer, accept ? S("12") : S("old"));
    }
    for (bool save : {false, true}) {
        QFileDialog::FileMode mode = QFileDialog::Directory;
        answerModal([&mode](QWidget* w) {
            if (auto* d = qobject_cast<QFileDialog*>(w)) mode = d->fileMode();
            static_cast<QDialog*>(w)->reject();
        });
        FileDialogRequest r;
        r.save = save;
        r.filter = S("乐谱记录txt|*.txt");
        EXPECT_TRUE(dialogs().fileDialog(nullptr, r).cancelled);
        EXPECT_EQ(mode, save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    }
}

// The box shows the text asked for, under the title asked for or the program's name, with its style's icon.
TEST(RealDialogs, TheBoxShowsItsTextTitleAndIcon) {
    const struct { const char *text, *title; int style; const char* shownTitle; QMessageBox::Icon icon; } cases[] = {
        {"打开节奏文件出错，请检查！", "", kOkOnly, "Morvela", QMessageBox::NoIcon},
        {"保存节奏文件出错，\n请检查文件夹是否可写！", "保存", kOkOnly | kExclamation, "保存", QMessageBox::Warning},
        {"要替换它吗？", "", kYesNo | kQuestion | kDefaultButton2, "Morvela", QMessageBox::Question},
        {"读取设置文件出错", "", kOkCancel | kCritical, "Morvela", QMessageBox::Critical}};
    for (const auto& c : cases) {
        QString shown;
        answerModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            shown = S("%1|%2|%3").arg(label && label->isVisible() ? label->text() : S(), box->windowTitle()).arg(box->icon());
            box->buttons().first()->click();
        });
        plat::msgBox(S::fromUtf8(c.text), c.style, S::fromUtf8(c.title));
        EXPECT_EQ(shown.toStdString(), S("%1|%2|%3").arg(S::fromUtf8(c.text), S::fromUtf8(c.shownTitle)).arg(c.icon).toStdString());
    }
}

// Enter answers "否" and goes back to the dialog, "是" replaces.
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

// Under a file size limit (a full disk, in a child process) a save cut short fails and leaves the old file and the
// folder as they were; a save that fits replaces the file of that name in any letter case.
TEST(SaveFile, ASaveCutShortKeepsTheOldFileAndLeavesNothingBeside) {
    testing_support::ScratchFolder folder(false, false);
    const auto file = [&](const char* name) { return folder.file(QString::fromUtf8(name)); };
    const QByteArray old(8044, 'o');
    folder.write("keep.wav", old);
    folder.write("keep.wav.part", "mine");
    folder.write("Small.txt", "old");
    folder.write("big.src", QByteArray(150000, 'b'));
    EXPECT_EQ(testing_support::withFileSizeLimit(100000, [&] {
                  return !plat::writeFileAtomic(file("keep.wav"), QByteArray(150000, 'n')) &&
                         !plat::copyFileAtomic(file("big.src"), file("KEEP.WAV")) &&
                         plat::writeFileAtomic(file("small.TXT"), "new");
              }),
              1);
    EXPECT_TRUE(folder.read("keep.wav") == old) << "the old file is byte for byte as it was";
    EXPECT_EQ(folder.read("keep.wav.part") + folder.read("Small.txt"), "minenew");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase),
              QStringList({"big.src", "keep.wav", "keep.wav.part", "Small.txt"}));
}

// A name typed with double quotes in it is one name, not a list of quoted names: the save writes to it, the replace
// question names it, the open dialog opens it or says it names no file.
TEST(TypedName, ANameWithDoubleQuotesIsTakenWhole) {
    testing_support::ScratchFolder folder(false, false);
    folder.write(QStringLiteral("a\"b.bin"), "old");
    folder.write(QStringLiteral("my \"song\" 1.txt"), "KC4");
    folder.write(QStringLiteral("song.txt"), "other");
    plat::setDialogs(nullptr);
    const struct { bool save; const char *typed, *chosen, *said; } cases[] = {
        {true, "x\"y", "x\"y.bin", ""},
        {true, "a\"b", "a\"b.bin", "a\"b.bin 已存在。\n要替换它吗？"},
        {false, "my \"song\" 1.txt", "my \"song\" 1.txt", ""},
        {false, "no \"such\" song.txt", "", "找不到文件“no \"such\" song.txt”，请检查文件名是否正确。"}};
    for (const auto& c : cases) {
        plat::FileDialogRequest request;
        request.save = c.save;
        request.filter = c.save ? S("数据|*.bin") : S("乐谱|*.txt");
        request.flags = c.save ? 2 : 0;
        request.initDir = folder.path();
        // The user types into the focused name box and accepts, answers a box "是" or OK, then cancels.
        QString said;
        bool typed = false;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dlg = qobject_cast<QFileDialog*>(modal); dlg && !typed) {
                auto* edit = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QApplication::setActiveWindow(dlg);
                edit->setFocus(Qt::OtherFocusReason);
                edit->setText(S::fromUtf8(c.typed));
                typed = true;
                QMetaObject::invokeMethod(dlg, "accept", Qt::QueuedConnection);
            } else if (dlg) {
                dlg->reject();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                said = box->text();
                box->button(box->buttons().size() > 1 ? QMessageBox::Yes : QMessageBox::Ok)->click();
            }
        });
        user.start(20);
        const plat::FileDialogResult r = plat::dialogs().fileDialog(nullptr, request);
        const QString chosen = S::fromUtf8(c.chosen);
        EXPECT_EQ(QStringList({r.fileName, r.fileTitle, said}).join(u'|').toStdString(),
                  QStringList({chosen.isEmpty() ? S() : folder.file(chosen), chosen, S::fromUtf8(c.said)}).join(u'|').toStdString());
    }
}

// The sweep at start removes the files of saves whose process is gone, and nothing of a running writer's nor
// anything not named as the writer names its files.
TEST(SaveFile, LeftoversOfWritersThatAreGoneAreRemovedAndNothingElse) {
    testing_support::ScratchFolder folder(false, false);
    const QString dir = folder.path();
    std::fflush(nullptr);
    const pid_t killed = fork();
    if (killed == 0) {
        plat::SaveFile f(dir + S("song.txt"));
        _exit(f.open() && f.write(QByteArray(5000, 's')) ? 0 : 1);  // no destructor runs, as at a kill
    }
    ASSERT_EQ(waitpid(killed, nullptr, 0), killed);
    ASSERT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 1) << "the killed save's temporary file";
    const QString save = S(".morvela-save-"), gone = save + S("%1-").arg(killed);
    const std::pair<QString, bool> files[] = {
        {save + S("%1-abcdefghij").arg(getpid()), false},  // a save of this run under way
        {save + S("1-abcdefghij"), false},                 // a running process
        {gone + S("abcdefghij"), true},      {gone + S("abcdefghi"), false},  {gone + S("abcdefghij.txt"), false},
        {S("x") + gone + S("abcdefghij"), false}, {gone + S("ABCDEFGHIJ"), false},
        {save + S("0123456789"), true},   // an older writer's, untouched for two days
        {save + S("abcdefghij"), false},  // an older writer's, just written
    };
    for (const auto& [name, removed] : files) folder.write(name, "x");
    QFile old(dir + save + S("0123456789"));
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    old.setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime);
    old.close();
    ASSERT_TRUE(QDir(dir).mkdir(gone + S("qqqqqqqqqq")));
    ASSERT_TRUE(QFile::link(dir + S("song.txt"), dir + gone + S("ssssssssss")));

    EXPECT_EQ(plat::removeLeftoverSaves(dir), 3);
    QStringList left = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const auto& [name, removed] : files) EXPECT_EQ(left.removeAll(name), removed ? 0 : 1) << name.toStdString();
    EXPECT_EQ(left.size(), 2) << left.join(u' ').toStdString();  // the folder and the link
}
