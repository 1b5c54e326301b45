// The string table, the compiled-in pictures, the data files of resources/records and what the build puts in the
// program folder.
#include "platform/resources.h"
#include "platform/textcodec.h"

#include <QtWidgets>
#include <gtest/gtest.h>

using S = QString;

// The instrument and percussion lists, the key help texts; every text survives the GBK files the program writes.
TEST(Resources, StringListsAndTextsSurviveTheFileCodePage) {
    const std::pair<int, const char*> ends[] = {{201, "0.无声"}, {329, "128.枪声"}, {335, "低音大鼓"},
                                                {381, "三角铃-开音"}, {415, " G 键\r\n中音（哆）\r\n乐谱中用 KC 表示"}};
    for (const auto& [id, text] : ends) EXPECT_EQ(plat::LoadResString(id).toStdString(), text) << id;
    int texts = 0;
    for (int id = -1; id < 1000; ++id) {
        const QString s = plat::LoadResString(id);
        texts += !s.isEmpty();
        EXPECT_EQ(plat::fromGbk(plat::toGbk(s)), s) << id;
    }
    EXPECT_EQ(texts, 1 + 129 + 47 + 33 + 7 + 2);
}

TEST(Resources, PicturesLoadAtTheirSizesPressedDifferingFromReleased) {
    struct Want { int id, w, h; };
    for (const Want& w : {Want{102, 26, 121}, {104, 18, 69}, {106, 400, 291}, {107, 32, 32}, {120, 920, 200}})
        EXPECT_EQ(plat::LoadResPicture(w.id).size(), QSize(w.w, w.h)) << w.id;
    for (int id : {0, 101, 113, 500}) EXPECT_TRUE(plat::LoadResPicture(id).isNull()) << id;
    for (auto [up, down] : {std::pair{102, 103}, {104, 105}, {107, 108}, {109, 110}, {111, 112}})
        EXPECT_NE(plat::LoadResImage(up), plat::LoadResImage(down)) << up;
    EXPECT_EQ(plat::LoadResCursor(plat::kResKeyCursor).hotSpot(), QPoint(11, 1));
    EXPECT_EQ(plat::LoadResCursor(7).shape(), Qt::ArrowCursor);
}

// Rhythm patterns are the 77-character line, scores one line; the build copies them into the program folder.
TEST(Resources, RecordFilesAndTheProgramFolder) {
    static const QRegularExpression rhythm(S("^0[0-7]0[0-2](?:[01][0-9A-F]|2[0-9A-E]){3}00[*-]{49}.{16}\r\n$"));
    const auto readAll = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QString records = S(MORVELA_SOURCE_DIR "/resources/records/"), app = S(MORVELA_APP_DIR "/");
    const bool built = QFileInfo::exists(app + S("音效"));
    for (const QString& name : QDir(records).entryList(QDir::Files)) {
        const QByteArray bytes = readAll(records + name);
        const QString text = plat::fromGbk(bytes);
        if (name.endsWith(S(".bin"))) EXPECT_TRUE(rhythm.match(text).hasMatch()) << name.toStdString();
        else EXPECT_TRUE(text.startsWith(S("VS")) && text.endsWith(S("TZ\r\n"))) << name.toStdString();
        if (built) EXPECT_EQ(bytes, readAll(app + S("演奏记录/") + name)) << name.toStdString();
    }
}
