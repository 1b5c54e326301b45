// A path holding a double quote cannot reach the recorder's commands (their
// quoting cannot hold it): the main window's dialogs refuse it with a message
// before anything is closed, and the take is still there to save.
#include "mainwindowfixture.h"
#include "support/soundsupport.h"

class RecorderQuoteTest : public testing_support::RecorderCommandTest<Form1Test> {};

TEST_F(RecorderQuoteTest, AQuotedNameIsRefusedAndTheTakeStays) {
    const QString quoted = folder.file(QStringLiteral("演奏记录/a\"b.wav"));
    testing_support::writeTone(quoted, 0.2);
    form->Image1_Click(2);  // record
    render(0.1);
    form->Image1_Click(1);  // stop
    sent();
    dialogs.fileAnswers = {quoted, quoted};
    form->Image1_Click(0);  // play
    form->BcLY_Click();     // save
    EXPECT_TRUE(sent().empty());
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("双引号")));
    EXPECT_EQ(dialogs.messages[1], dialogs.messages[0]);
    EXPECT_TRUE(form->BcLY->isEnabled());
    const QString good = folder.file(QStringLiteral("演奏记录/好.wav"));
    dialogs.fileAnswers.push_back(good);
    form->BcLY_Click();
    EXPECT_EQ(form->FJWZ->caption(), QStringLiteral("成功保存录音。。。"));
}
