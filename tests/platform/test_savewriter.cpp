// The one writer behind every save, under a file size limit (a full disk, in
// a child process): a save cut short fails and leaves the old file and the
// folder as they were; a save that fits replaces the file of that name in
// any letter case.
#include "platform/savefile.h"

#include "support/testsupport.h"

#include <QDir>
#include <gtest/gtest.h>

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
