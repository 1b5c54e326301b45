// The editor window's life: start-up defaults, one activation per showing,
// help, closing with its note-offs and restoring controllers, and the
// file buttons.
#include "editorfixture.h"

#include <QFile>

using namespace midi;

TEST_F(EditorTest, FirstActivationSetsTheDefaultsAndSendsThePrograms) {
    EXPECT_EQ(w->SYYQ[0]->text(), QStringLiteral("2.电钢琴 "));
    EXPECT_EQ(w->SYYQ[10]->text(), QStringLiteral("木鱼-高音"));
    EXPECT_EQ(w->SYYQ[6]->listCount(), 129);   // "无声" and the 128 programs
    EXPECT_EQ(w->SYYQ[7]->listCount(), 47);
    for (int k = 1; k < 12; ++k) EXPECT_EQ(w->TrackLabels[k]->caption(), QStringLiteral("乐器%1").arg(k + 1));

    // The start-up's programs (bank select, program) end the start-up; the
    // device box then opens the mapper and sends them again; expression 120
    // and no modulation follow.
    const int programs[7] = {1, 51, 78, 82, 4, 4, 4};
    Msgs sent;
    for (int k = 0; k < 7; ++k) {
        sent.push_back(msg(0xB0 + k, 0, 0));
        sent.push_back(msg(0xC0 + k, programs[k], 0));
    }
    Msgs tail = cat(sent, {msg(0xB0, 11, 120), msg(0xB0, 1, 0), msg(0xB1, 1, 0), msg(0xB2, 1, 0)});
    ASSERT_GE(activation.size(), tail.size());
    EXPECT_EQ(Msgs(activation.end() - tail.size(), activation.end()), tail);
}

TEST_F(EditorTest, ActivationRunsOncePerShowingAndKeepsTheSongAcrossDialogs) {
    type(0, QStringLiteral("KC"));
    song().setBarCount(3);
    // A message box or dialog gives the window control back: no new activation.
    w->Show();
    w->BZWJ->click();
    EXPECT_EQ(song().EditorMarkGrid(0, 0), QStringLiteral("KC"));
    EXPECT_EQ(song().EditorBarCount, 3);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith(QStringLiteral("   本音乐编辑窗口")));

    // Closed at 3/4 and shown again: loaded anew at 2/4 with 16 columns and
    // an empty song.
    w->JPFL[1]->setValue(true);
    EXPECT_EQ(static_cast<int>(w->DJY[4].size()), 24);
    w->Unload();
    w->Show();
    EXPECT_EQ(static_cast<int>(w->DJY[4].size()), 16);
    EXPECT_TRUE(w->JPFL[0]->value());
    EXPECT_EQ(song().EditorBarCount, 0) << "a new showing starts an empty song";
}

TEST_F(EditorTest, ClosingSilencesTheTracksAndRestoresTheControllers) {
    int shown = 0;
    Hooks.ShowMainWindow = [&] { ++shown; };
    w->Check1[0]->setValue(1);  // vibrato on channel 0
    take();
    w->TUICHU->click();
    Msgs expected = sweep(36);
    for (int c = 0; c <= 6; ++c) expected.push_back(msg(0xB0 + c, 11, 127));
    expected.push_back(msg(0xB0, 1, 0));
    EXPECT_EQ(take(), expected);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(w->isVisible());
    w->close();  // the close box of a closed window does nothing more
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(shown, 1);

    // Closed in the middle of a song play: the clock stops, one sweep
    // silences it, and the window comes back idle.
    w->Show();
    w->ST2->setValue(1);
    tick(3);
    take();
    w->close();
    EXPECT_FALSE(w->YYDS->enabled());
    EXPECT_EQ(only(take(), 0x80, 0x86).size(), 455u);
    EXPECT_EQ(w->ST2->value(), 0);
    EXPECT_TRUE(w->ST1->isEnabled());
    EXPECT_TRUE(w->BZWJ->isEnabled());
    EXPECT_EQ(shown, 2);
}

// "保存编辑" then "打开编辑文件": the song comes back at its meter, bar 0 shown
// with its settings; "导入记录乐谱" shows the imported melody.
TEST_F(EditorTest, FileButtonsSaveOpenAndImportThroughTheWindow) {
    w->JPFL[1]->setValue(true);  // 3/4
    type(0, QStringLiteral("KCKDKE"));
    tickDrum(2, 23);
    w->DQYD->setListIndex(7);
    w->BCBXJ->click();
    const QString path = folder.file(QStringLiteral("演奏记录/歌.lnk"));
    dialogs.fileAnswers = {path};
    w->BCBJ->click();
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_TRUE(dialogs.fileRequests[0].save && dialogs.fileRequests[0].flags == 2) << "a save dialog asks before replacing a file";
    EXPECT_EQ(dialogs.fileRequests[0].initDir, folder.file(QStringLiteral("演奏记录/")));
    dialogs.fileAnswers = {folder.file(QStringLiteral("没有/歌.lnk"))};
    w->BCBJ->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.takeFirst().startsWith(QStringLiteral("保存编辑文件失败")));

    // Cancelling the open loses nothing.
    w->JPFL[0]->setValue(true);
    w->QinKong->click();
    w->DQYD->setListIndex(0);
    w->DkBianji->click();
    EXPECT_TRUE(w->JPFL[0]->value());

    dialogs.fileAnswers = {path};
    w->DkBianji->click();
    EXPECT_FALSE(dialogs.fileRequests.back().save);
    EXPECT_TRUE(w->JPFL[1]->value());
    EXPECT_EQ(w->YF1[0]->text().left(6), QStringLiteral("KCKDKE"));
    EXPECT_EQ(w->DJY[2][23]->value(), 1);
    EXPECT_EQ(w->DQYD->listIndex(), 7) << "bar 0's settings applied";
    EXPECT_TRUE(dialogs.messages.isEmpty());

    w->DRYP->click();  // a cancelled import says nothing; a missing file is said
    EXPECT_TRUE(dialogs.messages.isEmpty());
    dialogs.fileAnswers = {folder.file(QStringLiteral("演奏记录/无.txt"))};
    w->DRYP->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    dialogs.messages.clear();
    folder.write(QStringLiteral("演奏记录/谱.txt"), QByteArray("KC04KD04XZ04"));
    dialogs.fileAnswers = {folder.file(QStringLiteral("演奏记录/谱.txt"))};
    w->DRYP->click();
    EXPECT_EQ(song().EditorMarkGrid(0, 0), QStringLiteral("KC"));
    EXPECT_EQ(w->YF1[0]->text().left(4), QStringLiteral("KC--"));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}
