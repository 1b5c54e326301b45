// The string table, the compiled-in pictures, the default data files of
// resources/records and the sound effects that the build puts in app/音效.
#include "platform/resources.h"
#include "platform/textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

using plat::LoadResImage;
using plat::LoadResString;

namespace {

// Note tokens of the notation: octave L W K H M and note C..B, M only to G.
bool isNoteToken(const QString& t) {
    if (t.size() != 2 || !QStringLiteral("LWKHM").contains(t[0]) || !QStringLiteral("CDEFGAB").contains(t[1]))
        return false;
    return !(t[0] == u'M' && (t[1] == u'A' || t[1] == u'B'));
}

// Checks a score in the notation: every token known, every note with a length
// (its own digits or the carried one), closed by TZ. Returns "" or the fault.
QString checkScore(const QString& score) {
    static const QRegularExpression group(QStringLiteral("^([A-Z]{2})([0-9]{0,2})"));
    int carried = 0, pos = 0, notes = 0;
    while (pos < score.size()) {
        auto m = group.match(score.mid(pos));
        if (!m.hasMatch()) return QStringLiteral("bad token at %1").arg(pos);
        const QString tok = m.captured(1);
        if (!m.captured(2).isEmpty()) carried = m.captured(2).toInt();
        pos += m.capturedLength();
        if (tok == u"TZ") return pos == score.size() ? (notes ? QString() : QStringLiteral("no notes"))
                                                    : QStringLiteral("text after TZ");
        if (tok == u"VS" || tok == u"YQ" || tok == u"JP") {
            carried = 0;
            continue;
        }
        if (tok != u"XZ" && !isNoteToken(tok)) return QStringLiteral("unknown token ") + tok;
        if (carried == 0) return QStringLiteral("length 0 at ") + tok;
        ++notes;
    }
    return QStringLiteral("no closing TZ");
}

QStringList crlfLines(const QString& text) { return text.split(QStringLiteral("\r\n")); }

// A string resource as UTF-8, so that failures print readable text.
std::string str(int id) { return LoadResString(id).toStdString(); }

QString recordsDir() { return QStringLiteral(MORVELA_SOURCE_DIR "/resources/records/"); }

}  // namespace

// ------------------------------------------------------------------ lists

TEST(ResourceStrings, InstrumentListHas129NumberedItems) {
    EXPECT_EQ(str(201), "0.无声");
    EXPECT_EQ(str(202), "1.明亮钢琴");
    EXPECT_EQ(str(329), "128.枪声");
    EXPECT_TRUE(LoadResString(200).isEmpty());
    EXPECT_TRUE(LoadResString(330).isEmpty());
    for (int pos = 0; pos <= 128; ++pos) {
        const QString item = LoadResString(201 + pos);
        EXPECT_TRUE(item.startsWith(QString::number(pos) + u'.')) << pos << " " << item.toStdString();
        EXPECT_GT(item.size(), QString::number(pos).size() + 1) << pos;
    }
    // Items named by the settings defaults.
    EXPECT_EQ(str(201 + 17), "17.电子琴1");
    EXPECT_EQ(str(201 + 108), "108.十三弦古筝");
}

TEST(ResourceStrings, ItemsKeepTheirTrailingBlanks) {
    EXPECT_EQ(str(203), "2.电钢琴 ");
    EXPECT_EQ(str(326), "125.打电话 ");
    int blanks = 0;
    for (int id = 201; id <= 381; ++id) {
        const QString s = LoadResString(id);
        if (s.isEmpty()) continue;
        EXPECT_FALSE(s.startsWith(u' ')) << id;
        if (s.endsWith(u' ')) ++blanks;
    }
    EXPECT_EQ(blanks, 2);
}

TEST(ResourceStrings, PercussionListHas47Items) {
    EXPECT_EQ(str(335), "低音大鼓");
    EXPECT_EQ(str(381), "三角铃-开音");
    EXPECT_EQ(str(335 + 14), "铜钹 1");
    EXPECT_EQ(str(335 + 22), "铜钹 2");
    EXPECT_EQ(str(335 + 25), "南美鼓-高音");
    EXPECT_TRUE(LoadResString(334).isEmpty());
    EXPECT_TRUE(LoadResString(382).isEmpty());
    int count = 0;
    for (int id = 335; id <= 381; ++id) count += LoadResString(id).isEmpty() ? 0 : 1;
    EXPECT_EQ(count, 47);
}

TEST(ResourceStrings, UnknownIdsGiveEmptyText) {
    for (int id : {-1, 0, 98, 100, 334, 400, 434, 499, 507, 510, 100000})
        EXPECT_TRUE(LoadResString(id).isEmpty()) << id;
}

// ------------------------------------------------------------------ key help

TEST(ResourceStrings, KeyHelpTextsNameKeyRegisterAndToken) {
    EXPECT_EQ(str(415), " G 键\r\n中音（哆）\r\n乐谱中用 KC 表示");
    EXPECT_EQ(str(401), "6 键\r\n最低音（哆）\r\n乐谱中用 LC 表示");
    EXPECT_EQ(str(403), "8 键\r\n最低音（咪）\r\n乐谱中用 LE 表示");
    EXPECT_EQ(str(402), " 7 键\r\n最低音（唻）\r\n乐谱中用 LD 表示");
    EXPECT_EQ(str(421), " ' 键\r\n中音（希）\r\n乐谱中用 KB 表示");
    EXPECT_EQ(str(433), " 5 键\r\n最高音（嗦）\r\n乐谱中用 MG 表示");

    // The 33 note keys in order: seven notes for L W K H, five for M.
    const QString regs = QStringLiteral("LWKHM");
    int id = 401;
    for (QChar octave : regs) {
        for (QChar note : QStringLiteral("CDEFGAB")) {
            if (octave == u'M' && (note == u'A' || note == u'B')) continue;
            const QStringList lines = crlfLines(LoadResString(id));
            ASSERT_EQ(lines.size(), 3) << id;
            EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" 键"))) << id;
            EXPECT_EQ(lines[2], QStringLiteral("乐谱中用 ") + octave + note + QStringLiteral(" 表示")) << id;
            ++id;
        }
    }
    EXPECT_EQ(id, 434);
}

// ------------------------------------------------------------------ defaults

TEST(ResourceStrings, DefaultSettingsAre52CrLfEndedLines) {
    const QString text = LoadResString(plat::kStrDefaultSettings);
    ASSERT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    QStringList lines = crlfLines(text);
    ASSERT_EQ(lines.size(), 53);
    EXPECT_TRUE(lines.takeLast().isEmpty());
    static const QRegularExpression number(QStringLiteral("^ \\d+ $"));
    QList<int> v;
    for (int i = 0; i < 46; ++i) {
        ASSERT_TRUE(number.match(lines[i]).hasMatch()) << "line " << i + 1 << ": [" << lines[i].toStdString() << "]";
        v << lines[i].trimmed().toInt();
    }
    for (int i = 0; i < 36; ++i) EXPECT_LE(v[i], 128) << "preset line " << i + 1;
    for (int i = 36; i < 46; ++i) EXPECT_LE(v[i], 46) << "pad line " << i + 1;
    EXPECT_EQ(v.mid(0, 3), (QList<int>{3, 0, 0}));       // F1
    EXPECT_EQ(v.mid(12, 3), (QList<int>{83, 86, 101}));  // F5
    EXPECT_EQ(v.mid(15, 3), (QList<int>{17, 54, 4}));    // F6
    EXPECT_EQ(v.mid(33, 3), (QList<int>{41, 10, 90}));   // F12
    EXPECT_EQ(v[36], 3);   // pad 0: 小鼓
    EXPECT_EQ(v[38], 22);  // pad 2: 铜钹 2
    EXPECT_EQ(v[45], 25);  // pad 9
    EXPECT_EQ(str(335 + v[36]), "小鼓");
    EXPECT_EQ(lines.mid(46).join(u'|').toStdString(), "玻璃1.wav|雷声3.WAV|刹车2.wav|瓦碎.wav|开门声.wav|关门声1.wav");
}

TEST(ResourceStrings, DefaultChordModelsAre15PatternLines) {
    const QString text = LoadResString(plat::kStrDefaultChordModels);
    EXPECT_FALSE(text.endsWith(QStringLiteral("\r\n")));  // the file writer adds the last line end
    const QStringList lines = crlfLines(text);
    ASSERT_EQ(lines.size(), 15);
    EXPECT_EQ(lines.first().toStdString(), "LC--------------LGWCWEWGKCKEKG--");
    EXPECT_EQ(lines.last().toStdString(), "KC--KE--KG--KE--KG--HC--KG--KE--");
    const QStringList special = {QStringLiteral("CC"), QStringLiteral("DM"), QStringLiteral("EM"),
                                 QStringLiteral("FF"), QStringLiteral("GM"), QStringLiteral("AM"),
                                 QStringLiteral("XZ"), QStringLiteral("--")};
    for (const QString& line : lines) {
        ASSERT_EQ(line.size(), 32) << line.toStdString();
        for (int c = 0; c < 32; c += 2) {
            const QString cell = line.mid(c, 2);
            EXPECT_TRUE(isNoteToken(cell) || special.contains(cell)) << line.toStdString() << " cell " << c / 2;
        }
    }
}

TEST(ResourceStrings, EditorHelpIsSixLinesBrokenByCrCrLf) {
    const QString text = LoadResString(plat::kStrEditorHelp);
    EXPECT_TRUE(text.startsWith(QStringLiteral("   本音乐编辑窗口")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("电子琴相同！")));
    EXPECT_EQ(text.split(QStringLiteral("\r\r\n")).size(), 6);
    EXPECT_EQ(text.count(u'\n'), 5);
}

TEST(ResourceStrings, HelpPages) {
    for (int id = 500; id <= 506; ++id) {
        const QString text = LoadResString(id);
        EXPECT_GT(text.size(), 80) << id;
        EXPECT_EQ(text.count(u'\n'), text.count(QStringLiteral("\r\n"))) << id << ": bare line feed";
    }
    EXPECT_TRUE(LoadResString(500).contains(QStringLiteral("Morvela")));
    EXPECT_TRUE(LoadResString(501).contains(QStringLiteral("英语（美国）")));
    const QString notation = LoadResString(502);
    for (const char* word : {"VS", "YQ", "JP", "XZ", "TZ", "LC", "MG", "8 为一拍"})
        EXPECT_TRUE(notation.contains(QString::fromUtf8(word))) << word;
    // The example score of the notation page must itself play.
    static const QRegularExpression example(QStringLiteral("(VS[0-9A-Z]+TZ)"));
    const auto m = example.match(notation);
    ASSERT_TRUE(m.hasMatch());
    EXPECT_EQ(checkScore(m.captured(1)).toStdString(), "");
}

TEST(ResourceStrings, EveryTextSurvivesTheFileCodePage) {
    int checked = 0;
    for (int id = 0; id < 1000; ++id) {
        const QString s = LoadResString(id);
        if (s.isEmpty()) continue;
        EXPECT_EQ(plat::fromGbk(plat::toGbk(s)).toStdString(), s.toStdString()) << id;
        ++checked;
    }
    EXPECT_EQ(checked, 1 + 129 + 47 + 33 + 7 + 2);
}

// ------------------------------------------------------------------ pictures

TEST(ResourcePictures, LoadAtTheirSizes) {
    struct Want { int id, w, h; };
    const Want wants[] = {{102, 26, 121}, {103, 26, 121}, {104, 18, 69}, {105, 18, 69}, {106, 400, 291},
                          {107, 32, 32},  {108, 32, 32},  {109, 32, 32}, {110, 32, 32}, {111, 32, 32},
                          {112, 32, 32},  {120, 920, 200}, {501, 32, 32}, {100, 64, 64}};
    for (const Want& w : wants) {
        const QImage img = LoadResImage(w.id);
        ASSERT_FALSE(img.isNull()) << w.id;
        EXPECT_EQ(img.size(), QSize(w.w, w.h)) << w.id;
        const QPixmap pm = plat::LoadResPicture(w.id);
        EXPECT_EQ(pm.size(), QSize(w.w, w.h)) << w.id;
    }
    for (int id : {0, 101, 113, 201, 500, 502})
        EXPECT_TRUE(LoadResImage(id).isNull()) << id;
    EXPECT_TRUE(plat::LoadResPicture(113).isNull());
}

TEST(ResourcePictures, PressedPicturesDifferFromReleasedOnes) {
    for (auto [up, down] : {std::pair{102, 103}, {104, 105}, {107, 108}, {109, 110}, {111, 112}})
        EXPECT_NE(LoadResImage(up), LoadResImage(down)) << up;
    // The keys are opaque (they lie side by side on the keyboard row).
    for (int id : {102, 103, 104, 105}) EXPECT_FALSE(LoadResImage(id).hasAlphaChannel()) << id;
    // A pressed white key is visibly darker or tinted in its middle.
    EXPECT_NE(LoadResImage(102).pixel(13, 60), LoadResImage(103).pixel(13, 60));
}

TEST(ResourcePictures, KeyCursorPointsWithItsFingerTip) {
    const QCursor c = plat::LoadResCursor(plat::kResKeyCursor);
    EXPECT_EQ(c.shape(), Qt::BitmapCursor);
    EXPECT_EQ(c.pixmap().size(), QSize(32, 32));
    const QPoint hot = c.hotSpot();
    const QImage img = LoadResImage(plat::kResKeyCursor);
    EXPECT_GT(qAlpha(img.pixel(hot)), 100);              // the hot spot is on the drawing
    EXPECT_EQ(qAlpha(img.pixel(31, 0)), 0);              // the rest is see-through
    EXPECT_EQ(plat::LoadResCursor(7).shape(), Qt::ArrowCursor);
}

// ------------------------------------------------------------------ records

TEST(RecordFiles, RhythmPatternsAre77CharactersAndCrLf) {
    const QStringList files = QDir(recordsDir()).entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 3);
    QSet<QString> meters;
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile f(recordsDir() + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const QString text = plat::fromGbk(bytes);
        EXPECT_EQ(plat::toGbk(text), bytes);  // really GBK
        ASSERT_TRUE(text.endsWith(QStringLiteral("\r\n")));
        const QString line = text.chopped(2);
        ASSERT_EQ(line.size(), 77);
        EXPECT_FALSE(line.contains(u'\r') || line.contains(u'\n'));
        bool ok = false;
        const int vel = line.mid(0, 2).toInt(&ok, 16);
        EXPECT_TRUE(ok && vel >= 0 && vel <= 7) << line.mid(0, 2).toStdString();
        const QString meter = line.mid(2, 2);
        EXPECT_TRUE(meter == u"00" || meter == u"01" || meter == u"02");
        meters.insert(meter);
        for (int field = 4; field <= 8; field += 2) {
            const int sound = line.mid(field, 2).toInt(&ok, 16);
            EXPECT_TRUE(ok && sound >= 0 && sound <= 46) << field;
            EXPECT_EQ(line.mid(field, 2), line.mid(field, 2).toUpper());
        }
        EXPECT_EQ(line.mid(10, 2).toStdString(), "00");
        const QString marks = line.mid(12, 49);
        for (QChar m : marks) EXPECT_TRUE(m == u'*' || m == u'-');
        for (int row = 0; row < 3; ++row) EXPECT_TRUE(marks.mid(row * 16, 16).contains(u'*')) << "row " << row;
        EXPECT_EQ(line.mid(61).toStdString(), name.left(16).leftJustified(16, u' ').toStdString());
    }
    EXPECT_EQ(meters.size(), 3);  // one of each meter
}

TEST(RecordFiles, ScoresAreOneGbkLineThatPlays) {
    const QStringList files = QDir(recordsDir()).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 3);
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile f(recordsDir() + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        ASSERT_TRUE(bytes.endsWith("\r\n"));
        const QString score = plat::fromGbk(bytes.chopped(2));
        EXPECT_EQ(checkScore(score).toStdString(), "");
    }
}

// ------------------------------------------------------------------ app folder

namespace {

struct Wave {
    int channels = 0, rate = 0, bits = 0;
    std::vector<int16_t> samples;
};

bool readWave(const QString& path, Wave* w) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray b = f.readAll();
    if (b.size() < 44 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE") return false;
    auto u16 = [&](int o) { return int(uint8_t(b[o])) | int(uint8_t(b[o + 1])) << 8; };
    auto u32 = [&](int o) { return uint32_t(u16(o)) | uint32_t(u16(o + 2)) << 16; };
    int pos = 12;
    while (pos + 8 <= b.size()) {
        const QByteArray id = b.mid(pos, 4);
        const int len = int(u32(pos + 4));
        if (id == "fmt ") {
            if (u16(pos + 8) != 1) return false;  // PCM only
            w->channels = u16(pos + 10);
            w->rate = int(u32(pos + 12));
            w->bits = u16(pos + 22);
        } else if (id == "data") {
            for (int i = 0; i + 1 < len && pos + 9 + i < b.size(); i += 2)
                w->samples.push_back(int16_t(u16(pos + 8 + i)));
        }
        pos += 8 + len + (len & 1);
    }
    return w->rate > 0 && !w->samples.empty();
}

}  // namespace

TEST(AppFolder, SoundEffectsAreAudibleAndUnclipped) {
    const QString dir = QStringLiteral(MORVELA_APP_DIR "/音效/");
    if (!QFileInfo::exists(dir)) GTEST_SKIP() << "program folder not built yet";
    const QStringList names = {QStringLiteral("玻璃1.wav"), QStringLiteral("雷声3.WAV"), QStringLiteral("刹车2.wav"),
                               QStringLiteral("瓦碎.wav"), QStringLiteral("开门声.wav"), QStringLiteral("关门声1.wav")};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        Wave w;
        ASSERT_TRUE(readWave(dir + name, &w));  // exact name, extension case included
        EXPECT_EQ(w.bits, 16);
        EXPECT_TRUE(w.rate == 22050 || w.rate == 44100);
        const double seconds = double(w.samples.size()) / w.channels / w.rate;
        EXPECT_GE(seconds, 0.5);
        EXPECT_LE(seconds, 3.0);
        int peak = 0, fullScale = 0;
        double sum = 0;
        for (int16_t s : w.samples) {
            peak = std::max(peak, std::abs(int(s)));
            fullScale += (s >= 32767 || s <= -32767) ? 1 : 0;
            sum += double(s) * s;
        }
        EXPECT_GT(peak, 16000);
        EXPECT_EQ(fullScale, 0);
        EXPECT_GT(std::sqrt(sum / w.samples.size()), 800.0);
    }
}

TEST(AppFolder, RecordFolderHoldsTheDefaultFiles) {
    const QString dir = QStringLiteral(MORVELA_APP_DIR "/演奏记录/");
    if (!QFileInfo::exists(dir)) GTEST_SKIP() << "program folder not built yet";
    const QStringList sources = QDir(recordsDir()).entryList(QDir::Files);
    ASSERT_FALSE(sources.isEmpty());
    for (const QString& name : sources) {
        QFile a(recordsDir() + name), b(dir + name);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_EQ(a.readAll(), b.readAll()) << name.toStdString();
    }
}
