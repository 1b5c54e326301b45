// Text GBK cannot hold keeps its width in every GBK file: one '?' for each
// UTF-16 unit the box counts, so a note box holding an emoji saves a line the
// editor opens again.
#include "editor/songfile.h"
#include "editor/songmodel.h"
#include "platform/textcodec.h"

#include <gtest/gtest.h>

TEST(TextWidths, EachUnitGbkCannotHoldIsOneQuestionMark) {
    const QString emoji = QString::fromUtf8("😀");
    const struct {
        QString text;
        QByteArray gbk;
    } cases[] = {
        {QStringLiteral("KC") + emoji + QStringLiteral("KD"), "KC??KD"},
        {QString::fromUtf8("中") + emoji, plat::utf8ToGbk("中").c_str() + QByteArray("??")},
        {QStringLiteral("K") + QChar(0xD83D), "K?"},  // half of a pair
        {QChar(0xDE00) + QStringLiteral("C"), "?C"},
    };
    for (const auto& c : cases) EXPECT_EQ(plat::toGbk(c.text), c.gbk);

    editor::Song song;
    song.commitTrackText(0, 0, QStringLiteral("KC") + emoji + QStringLiteral("KD"));
    editor::prepareSongForSave(song);
    editor::Song again;
    const editor::SongFileResult opened = editor::openSongData(again, editor::songFileBytes(song));
    ASSERT_TRUE(opened.ok) << opened.message.toStdString();
    EXPECT_EQ(again.EditorTextGrid(0, 0), QStringLiteral("KC??KD") + QString(26, u'-'));
}
