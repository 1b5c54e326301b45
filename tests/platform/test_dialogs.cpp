// Saving: the parts of the real file dialog that decide which file a save
// replaces, and the Chinese texts of Qt's own dialogs and buttons.
#include "platform/dialogs.h"

#include "support/testsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace plat;

TEST(SaveDialog, ABareNameGetsTheFilterExtensionAndReachesFilesOfAnyCase) {
    EXPECT_EQ(filterSuffix(QStringLiteral("*.bin")), QStringLiteral("bin"));
    EXPECT_EQ(filterSuffix(QStringLiteral("*.txt;*.log")), QStringLiteral("txt"));
    for (const char* none : {"*.*", "*", "", "a.bin", "*.b?n"}) EXPECT_TRUE(filterSuffix(QString::fromLatin1(none)).isEmpty()) << none;

    const QString bin = QStringLiteral("bin");
    EXPECT_EQ(withDefaultSuffix(QStringLiteral("/d/victim"), bin), QStringLiteral("/d/victim.bin"));
    EXPECT_EQ(withDefaultSuffix(QStringLiteral("/d/a.b/victim"), bin), QStringLiteral("/d/a.b/victim.bin"));
    EXPECT_EQ(withDefaultSuffix(QStringLiteral("/d/.hidden"), bin), QStringLiteral("/d/.hidden.bin"));
    EXPECT_EQ(withDefaultSuffix(QStringLiteral("/d/song.txt"), bin), QStringLiteral("/d/song.txt"));
    EXPECT_EQ(withDefaultSuffix(QStringLiteral("/d/victim"), QString()), QStringLiteral("/d/victim"));

    // What the question before replacing is asked about.
    testing_support::ScratchFolder folder;
    folder.write(QStringLiteral("演奏记录/victim.bin"), "old");
    folder.write(QStringLiteral("演奏记录/Mixed.bin"), "old");
    const QString dir = folder.file(QStringLiteral("演奏记录/"));
    EXPECT_EQ(fileReplacedBySave(withDefaultSuffix(dir + QStringLiteral("victim"), bin)), dir + QStringLiteral("victim.bin"));
    EXPECT_EQ(fileReplacedBySave(dir + QStringLiteral("MIXED.bin")), dir + QStringLiteral("Mixed.bin"));
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
