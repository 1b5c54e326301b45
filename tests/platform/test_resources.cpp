// The string table, the compiled-in pictures, the default data files of
// resources/records and what the build puts in the program folder.
#include "platform/resources.h"
#include "platform/textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <numeric>

using plat::LoadResImage;
using plat::LoadResString;

namespace {

// A string resource as UTF-8, so that failures print readable text.
std::string str(int id) { return LoadResString(id).toStdString(); }

int countTexts(int from, int to) {
    int n = 0;
    for (int id = from; id <= to; ++id) n += LoadResString(id).isEmpty() ? 0 : 1;
    return n;
}

QString recordsDir() { return QStringLiteral(MORVELA_SOURCE_DIR "/resources/records/"); }

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Note tokens of the notation: octave L W K H M and note C..B, M only to G.
const QString kNote = QStringLiteral("(?:[LWKH][A-G]|M[C-G])");

}  // namespace

TEST(ResourceStrings, ListsHaveTheirCountsEndsAndTrailingBlanks) {
    EXPECT_EQ(countTexts(195, 334), 129);
    EXPECT_EQ(str(201), "0.无声");
    EXPECT_EQ(str(329), "128.枪声");
    EXPECT_EQ(countTexts(330, 400), 47);
    EXPECT_EQ(str(335), "低音大鼓");
    EXPECT_EQ(str(381), "三角铃-开音");
    int blanks = 0;
    for (int id = 201; id <= 381; ++id) {
        const QString s = LoadResString(id);
        EXPECT_FALSE(s.startsWith(u' ')) << id;
        blanks += s.endsWith(u' ') ? 1 : 0;
    }
    EXPECT_EQ(blanks, 2);
    for (int id : {-1, 0, 100000}) EXPECT_TRUE(LoadResString(id).isEmpty()) << id;
}

TEST(ResourceStrings, KeyHelpTextsNameKeyRegisterAndToken) {
    EXPECT_EQ(countTexts(400, 499), 33);
    EXPECT_EQ(str(415), " G 键\r\n中音（哆）\r\n乐谱中用 KC 表示");
    static const QRegularExpression help(QStringLiteral("^ ?\\S+ 键\r\n\\S+\r\n乐谱中用 %1 表示$").arg(kNote));
    for (int id = 401; id <= 433; ++id) EXPECT_TRUE(help.match(LoadResString(id)).hasMatch()) << id;
}

TEST(ResourceStrings, DefaultSettingsAre52CrLfEndedLines) {
    QStringList lines = LoadResString(plat::kStrDefaultSettings).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 53);
    EXPECT_TRUE(lines.takeLast().isEmpty()) << "the last line ends in CR LF too";
    static const QRegularExpression number(QStringLiteral("^ \\d+ $"));
    QList<int> v;
    for (int i = 0; i < 46; ++i) {
        ASSERT_TRUE(number.match(lines[i]).hasMatch()) << "line " << i + 1 << ": [" << lines[i].toStdString() << "]";
        v << lines[i].trimmed().toInt();
        EXPECT_LE(v[i], i < 36 ? 128 : 46) << "line " << i + 1 << ": an instrument, then a percussion sound";
    }
    EXPECT_EQ(lines.mid(46).join(u'|').toStdString(), "玻璃1.wav|雷声3.WAV|刹车2.wav|瓦碎.wav|开门声.wav|关门声1.wav");
}

TEST(ResourceStrings, DefaultChordModelsAre15LinesOf16Cells) {
    const QString text = LoadResString(plat::kStrDefaultChordModels);
    EXPECT_FALSE(text.endsWith(QStringLiteral("\r\n")));  // the file writer adds the last line end
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 15);
    EXPECT_EQ(lines.first().toStdString(), "LC--------------LGWCWEWGKCKEKG--");
    static const QRegularExpression cells(QStringLiteral("^(?:%1|CC|DM|EM|FF|GM|AM|XZ|--){16}$").arg(kNote));
    for (const QString& line : lines) EXPECT_TRUE(cells.match(line).hasMatch()) << line.toStdString();
}

TEST(ResourceStrings, EveryTextSurvivesTheFileCodePage) {
    EXPECT_EQ(LoadResString(plat::kStrEditorHelp).split(QStringLiteral("\r\r\n")).size(), 6);
    int texts = 0;
    for (int id = 0; id < 1000; ++id) {
        const QString s = LoadResString(id);
        if (s.isEmpty()) continue;
        EXPECT_EQ(plat::fromGbk(plat::toGbk(s)).toStdString(), s.toStdString()) << id;
        ++texts;
    }
    EXPECT_EQ(texts, 1 + 129 + 47 + 33 + 7 + 2);
}

TEST(ResourcePictures, LoadAtTheirSizesPressedDifferingFromReleased) {
    struct Want { int id, w, h; };
    for (const Want& w : {Want{102, 26, 121}, {103, 26, 121}, {104, 18, 69}, {105, 18, 69}, {106, 400, 291},
                          {107, 32, 32}, {108, 32, 32}, {109, 32, 32}, {110, 32, 32}, {111, 32, 32}, {112, 32, 32},
                          {120, 920, 200}, {501, 32, 32}, {100, 64, 64}})
        EXPECT_EQ(plat::LoadResPicture(w.id).size(), QSize(w.w, w.h)) << w.id;
    for (int id : {0, 101, 113, 201, 500}) EXPECT_TRUE(plat::LoadResPicture(id).isNull()) << id;
    for (auto [up, down] : {std::pair{102, 103}, {104, 105}, {107, 108}, {109, 110}, {111, 112}})
        EXPECT_NE(LoadResImage(up), LoadResImage(down)) << up;
    // The keys lie side by side on the keyboard row: opaque.
    for (int id : {102, 103, 104, 105}) EXPECT_FALSE(LoadResImage(id).hasAlphaChannel()) << id;

    const QCursor c = plat::LoadResCursor(plat::kResKeyCursor);
    EXPECT_EQ(c.shape(), Qt::BitmapCursor);
    const QImage img = LoadResImage(plat::kResKeyCursor);
    EXPECT_GT(qAlpha(img.pixel(c.hotSpot())), 100) << "the hot spot is on the drawing";
    EXPECT_EQ(qAlpha(img.pixel(31, 0)), 0) << "the rest is see-through";
    EXPECT_EQ(plat::LoadResCursor(7).shape(), Qt::ArrowCursor);
}

TEST(RecordFiles, RhythmPatternsAre77CharactersAndScoresOneLineAndCrLf) {
    // Velocity, meter (one of each), three sounds, 00, 3 x 16 + 1 marks, a name of 16.
    static const QRegularExpression rhythm(
        QStringLiteral("^0[0-7](0[0-2])(?:[01][0-9A-F]|2[0-9A-E]){3}00[*-]{49}(.{16})\r\n$"));
    static const QRegularExpression score(
        QStringLiteral("^VS\\d+YQ\\d+(?:%1|XZ)[1-9]\\d?(?:(?:%1|XZ)\\d{0,2})*TZ\r\n$").arg(kNote));
    QSet<QString> meters;
    int scores = 0;
    for (const QString& name : QDir(recordsDir()).entryList(QDir::Files, QDir::Name)) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = readAll(recordsDir() + name);
        const QString text = plat::fromGbk(bytes);
        EXPECT_EQ(plat::toGbk(text), bytes) << "really GBK";
        if (name.endsWith(QStringLiteral(".txt"))) {
            EXPECT_TRUE(score.match(text).hasMatch()) << text.toStdString();
            ++scores;
            continue;
        }
        ASSERT_TRUE(name.endsWith(QStringLiteral(".bin")));
        ASSERT_EQ(text.size(), 77 + 2);
        const auto m = rhythm.match(text);
        ASSERT_TRUE(m.hasMatch()) << text.toStdString();
        meters.insert(m.captured(1));
        for (int row = 0; row < 3; ++row) EXPECT_TRUE(text.mid(12 + row * 16, 16).contains(u'*')) << "row " << row;
        EXPECT_EQ(m.captured(2).toStdString(), name.left(16).leftJustified(16, u' ').toStdString());
    }
    EXPECT_EQ(meters.size(), 3);
    EXPECT_GE(scores, 3);
}

TEST(AppFolder, SoundEffectsAreAudibleAndUnclippedRecordsAreCopied) {
    const QString app = QStringLiteral(MORVELA_APP_DIR "/");
    if (!QFileInfo::exists(app + QStringLiteral("音效"))) GTEST_SKIP() << "program folder not built yet";
    for (const char* name : {"玻璃1.wav", "雷声3.WAV", "刹车2.wav", "瓦碎.wav", "开门声.wav", "关门声1.wav"}) {
        SCOPED_TRACE(name);
        SF_INFO info{};
        SNDFILE* f = sf_open(QFile::encodeName(app + QStringLiteral("音效/") + name).constData(), SFM_READ, &info);
        ASSERT_TRUE(f) << "exact name, extension case included";
        EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        EXPECT_TRUE(info.samplerate == 22050 || info.samplerate == 44100);
        std::vector<short> samples(size_t(info.frames * info.channels));
        EXPECT_EQ(sf_read_short(f, samples.data(), sf_count_t(samples.size())), sf_count_t(samples.size()));
        sf_close(f);
        const double seconds = double(info.frames) / info.samplerate;
        EXPECT_TRUE(seconds >= 0.5 && seconds <= 3.0) << seconds;
        const auto [lo, hi] = std::minmax_element(samples.begin(), samples.end());
        EXPECT_GT(std::max(-int(*lo), int(*hi)), 16000) << "peak";
        EXPECT_TRUE(*lo > -32767 && *hi < 32767) << "unclipped";
        const double sum = std::inner_product(samples.begin(), samples.end(), samples.begin(), 0.0);
        EXPECT_GT(std::sqrt(sum / double(samples.size())), 800.0) << "RMS";
    }
    for (const QString& name : QDir(recordsDir()).entryList(QDir::Files))
        EXPECT_EQ(readAll(recordsDir() + name), readAll(app + QStringLiteral("演奏记录/") + name)) << name.toStdString();
}
