// The score box buttons and score files (open and play, save, delete,
// clear), the stored scores of the program folder, and the score entry
// window with its own save and open.
#include "mainwindowfixture.h"

#include "keyboard/scorewindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

using namespace midi;

class ScoreBoxTest : public Form1Test {
protected:
    void TearDown() override {
        delete YYLR::Instance;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Form1Test::TearDown();
    }
    QString record(const QString& name) const { return folder.file(QStringLiteral("演奏记录/") + name); }
    void openFile(const QString& path) {
        dialogs.fileAnswers.push_back(path);
        form->Yuepu_Click(2);
    }
    // Ticks the score clock until the play stops; the number of ticks.
    int playToEnd(int limit = 20000) {
        int t = 0;
        while (form->Timer3->enabled() && t < limit) {
            form->Timer3->tick();
            ++t;
        }
        take();
        return t;
    }
};

TEST_F(ScoreBoxTest, OpenPlaysTheLinesOfAFileJoined) {
    folder.write(QStringLiteral("演奏记录/三行.txt"), plat::toGbk(QStringLiteral("VS5KC2\r\nKD2\nXZ2\rTZ\r\n")));
    form->Text3->setText(QStringLiteral("KC4TZ"));
    G.ScoreText = QStringLiteral("KC4TZ");

    // Cancel: the box and the score stay.
    form->Yuepu_Click(2);
    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(dialogs.fileRequests[0].initDir, folder.path() + QStringLiteral("演奏记录/"));
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC4TZ"));
    EXPECT_EQ(G.ScoreText, QStringLiteral("KC4TZ"));

    // A name that exists in another case.
    openFile(record(QStringLiteral("三行.TXT")));
    EXPECT_EQ(form->Text3->text(), QStringLiteral("VS5KC2KD2XZ2TZ"));
    EXPECT_EQ(G.ScoreText, QStringLiteral("VS5KC2KD2XZ2TZ"));
    EXPECT_EQ(form->Yuepu[0]->text(), QStringLiteral("停止"));
    EXPECT_EQ(playToEnd(), 6);
    EXPECT_TRUE(dialogs.messages.empty());

    // A file's text plays as it is: lower case is an error in it.
    folder.write(QStringLiteral("演奏记录/小写.txt"), "KC2kd2TZ\r\n");
    openFile(record(QStringLiteral("小写.txt")));
    playToEnd();
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("乐谱中出现错误，请修改！")});

    // A missing file changes nothing.
    openFile(record(QStringLiteral("没有.txt")));
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC2kd2TZ"));
    EXPECT_FALSE(form->Timer3->enabled());
}

TEST_F(ScoreBoxTest, SaveWritesOneGbkLineAndDeleteRemovesTheLastFile) {
    form->Text3->setText(QStringLiteral("KC4歌TZ"));
    form->Yuepu_Click(0);  // a play with an error in it is stopped by the save
    dialogs.messages.clear();
    folder.write(QStringLiteral("演奏记录/Old.TXT"), "KD2TZ\r\n");
    dialogs.fileAnswers.push_back(record(QStringLiteral("old.txt")));
    form->Yuepu_Click(4);
    EXPECT_EQ(folder.read(QStringLiteral("演奏记录/Old.TXT")), plat::toGbk(QStringLiteral("KC4歌TZ\r\n")))
        << "the file of the same name in another case is replaced";
    EXPECT_FALSE(QFile::exists(record(QStringLiteral("old.txt"))));
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("成功保存乐谱。。。"));
    EXPECT_EQ(QDir(folder.file(QStringLiteral("演奏记录"))).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file is left";

    // A file that cannot be written: said so, the score kept in the box.
    form->FJWZ->setCaption(QString());
    dialogs.fileAnswers.push_back(folder.file(QStringLiteral("没有的文件夹/a.txt")));
    form->Yuepu_Click(4);
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("保存乐谱文件出错，请检查文件夹是否可写！")});
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC4歌TZ"));
    EXPECT_TRUE(form->FJWZ->caption().isEmpty());
    dialogs.messages.clear();

    // An empty box: the dialog, the path remembered, nothing written.
    form->Text3->setText(QString());
    form->FJWZ->setCaption(QString());
    dialogs.fileAnswers.push_back(record(QStringLiteral("空.txt")));
    form->Yuepu_Click(4);
    EXPECT_FALSE(QFile::exists(record(QStringLiteral("空.txt"))));
    EXPECT_EQ(form->LastOpenedFile, record(QStringLiteral("空.txt")));
    EXPECT_TRUE(form->FJWZ->caption().isEmpty());

    // A file that cannot be deleted, and one that is not there, keep the box
    // and say so.
    form->LastOpenedFile = QStringLiteral("/proc/version");
    form->Yuepu_Click(1);
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("删除文件失败。。。"));
    form->LastOpenedFile = record(QStringLiteral("空.txt"));
    form->Text3->setText(QStringLiteral("KC4TZ"));
    form->Yuepu_Click(1);
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC4TZ"));
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("没有可删除的文件。。。"));
    form->LastOpenedFile = record(QStringLiteral("old.txt"));
    G.ScoreText = QStringLiteral("KC4TZ");
    form->Yuepu_Click(1);
    EXPECT_FALSE(QFile::exists(record(QStringLiteral("Old.TXT"))));
    EXPECT_TRUE(form->Text3->text().isEmpty());
    EXPECT_TRUE(G.ScoreText.isEmpty());
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("成功删除文件。。。"));
}

TEST_F(ScoreBoxTest, ClearDuringAPlayEndsItAtTheNextRead) {
    key(kG);
    form->Text3->setText(QStringLiteral("KC2KD2TZ"));
    form->Yuepu_Click(0);
    form->Yuepu_Click(3);
    EXPECT_TRUE(form->Text3->text().isEmpty());
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("成功清空乐谱。。。"));
    EXPECT_TRUE(form->Timer3->enabled()) << "the clock is not touched";
    playToEnd();
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("乐谱中出现错误，请修改！")});
    EXPECT_FALSE(form->AutoPlayRunning);
}

TEST_F(ScoreBoxTest, ScoreEntryWindowSavesAndOpensAndHandsBackTheMainWindow) {
    form->Text3->setText(QStringLiteral("KC8TZ"));  // typed, never played
    form->XINJIAN_Click();
    YYLR* entry = YYLR::Instance;
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isVisible());
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(entry->Text1->text().isEmpty());

    // Saving an empty score writes nothing; the dialogs start in the
    // record folder.
    dialogs.fileAnswers.push_back(record(QStringLiteral("空.txt")));
    entry->Command1->click();
    EXPECT_FALSE(QFile::exists(record(QStringLiteral("空.txt"))));
    entry->DKYP->click();
    ASSERT_EQ(dialogs.fileRequests.size(), 2);
    for (const auto& r : dialogs.fileRequests) EXPECT_EQ(r.initDir, folder.path() + QStringLiteral("演奏记录/"));
    EXPECT_TRUE(dialogs.fileRequests[0].save && !dialogs.fileRequests[1].save) << "a save, then an open dialog";

    // Two lines round trip; the song name box shows the file title.
    folder.write(QStringLiteral("演奏记录/两行.txt"), "KC8KD\r\nKE4TZ\r\n");
    dialogs.fileAnswers.push_back(record(QStringLiteral("两行.txt")));
    entry->DKYP->click();
    EXPECT_EQ(entry->Text1->text(), QStringLiteral("KC8KD\r\nKE4TZ\r\n"));
    EXPECT_EQ(entry->WJMC->text(), QStringLiteral("两行.txt"));
    dialogs.fileAnswers.push_back(record(QStringLiteral("副本.txt")));
    entry->Command1->click();
    EXPECT_EQ(folder.read(QStringLiteral("演奏记录/副本.txt")), QByteArray("KC8KD\r\nKE4TZ\r\n"));
    // Back: the main window shows again with what its box held.
    entry->FANHUI->click();
    EXPECT_EQ(YYLR::Instance, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC8TZ"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The main window plays the saved file as one score.
    openFile(record(QStringLiteral("副本.txt")));
    EXPECT_EQ(G.ScoreText, QStringLiteral("KC8KDKE4TZ"));
    EXPECT_EQ(playToEnd(), 20);
    EXPECT_TRUE(dialogs.messages.empty());

    // Closing the window is leaving it too; it comes back fresh.
    form->XINJIAN_Click();
    YYLR::Instance->Text1->setText(QStringLiteral("KC"));
    YYLR::Instance->close();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(YYLR::Instance, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    form->XINJIAN_Click();
    EXPECT_TRUE(YYLR::Instance->Text1->text().isEmpty());
}
