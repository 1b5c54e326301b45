// The one writer behind every save, under a file size limit (a full disk, in
// a child process): a save cut short fails and leaves the old file and the
// folder as they were; a save that fits replaces the file of that name in
// any letter case.
#include "platform/savefile.h"

#include "support/testsupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace plat;

TEST(SaveFile, ASaveCutShortKeepsTheOldFileAndLeavesNothingBeside) {
    testing_support::ScratchFolder folder(false, false);
    auto file = [&](const char* name) { return folder.file(QString::fromUtf8(name)); };
    const QByteArray old(8044, 'o');
    folder.write(QStringLiteral("keep.wav"), old);
    folder.write(QStringLiteral("keep.wav.part"), "mine");
    folder.write(QStringLiteral("Small.txt"), "old");
    folder.write(QStringLiteral("big.src"), QByteArray(150000, 'b'));
    const int failed = testing_support::withFileSizeLimit(100000, [&] {
        int bad = 0;
        if (writeFileAtomic(file("keep.wav"), QByteArray(150000, 'n'))) bad |= 1;
        if (copyFileAtomic(file("big.src"), file("KEEP.WAV"))) bad |= 2;
        if (!writeFileAtomic(file("small.TXT"), "new")) bad |= 4;
        return bad;
    });
    EXPECT_EQ(failed, 0);
    EXPECT_TRUE(folder.read(QStringLiteral("keep.wav")) == old) << "the old file is byte for byte as it was";
    EXPECT_EQ(folder.read(QStringLiteral("keep.wav.part")), "mine");
    EXPECT_EQ(folder.read(QStringLiteral("Small.txt")), "new");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase),
              (QStringList{QStringLiteral("big.src"), QStringLiteral("keep.wav"), QStringLiteral("keep.wav.part"),
                           QStringLiteral("Small.txt")}));
}
