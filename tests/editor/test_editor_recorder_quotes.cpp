// The editor's recorder refuses a path holding a double quote, for playing and
// for saving, with a message and before the take is touched.
#include "editorfixture.h"
#include "support/soundsupport.h"

class EditorRecorderQuoteTest : public testing_support::RecorderCommandTest<EditorTest> {};

TEST_F(EditorRecorderQuoteTest, AQuotedNameIsRefusedAndTheTakeStays) {
    const QString quoted = folder.file(QStringLiteral("演奏记录/a\"b.wav"));
    testing_support::writeTone(quoted, 0.2);
    w->LUYINJI[2]->setValue(true);  // record
    render(0.1);
    w->LUYINJI[1]->setValue(true);  // stop
    sent();
    dialogs.fileAnswers = {quoted, quoted};
    w->LUYINJI[0]->setValue(true);  // play
    w->LUYINJI[3]->setValue(true);  // save
    EXPECT_TRUE(sent().empty());
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[1].contains(QStringLiteral("双引号")));
    const QString good = folder.file(QStringLiteral("演奏记录/好.wav"));
    dialogs.fileAnswers.push_back(good);
    w->LUYINJI[3]->setValue(true);
    EXPECT_EQ(sent(), (Commands{"stop NN", "save NN \"" + good.toStdString() + "\"", "close NN"}));
}
