// Score import: a recorded score text becomes the first two tracks of a new editor song.
#include "editor/scoreimport.h"

#include "editor/pitchcode.h"
#include "editor/songmodel.h"
#include "platform/fileutil.h"
#include "platform/textcodec.h"

#include <QFile>

namespace editor {

namespace {

constexpr qint64 kMaxScoreBytes = 16 * 1024 * 1024;

enum class TokenClass { Note, Skipped, Other };

TokenClass classify(QStringView token) {
    if (token.size() != 2) return TokenClass::Other;
    const QChar a = token[0], b = token[1];
    if (token == u"XZ" || token == u"TZ") return TokenClass::Note;
    if (token == u"VS" || token == u"YQ" || token == u"YX" || token == u"JP" || token == u"HX")
        return TokenClass::Skipped;
    const bool noteLetter = b == u'C' || b == u'D' || b == u'E' || b == u'F' || b == u'G' || b == u'A' || b == u'B';
    if ((a == u'L' || a == u'W' || a == u'K' || a == u'H') && noteLetter) return TokenClass::Note;
    // The top octave is taken up to G, and "MA" as well (it converts to a hold).
    if (a == u'M' && noteLetter && b != u'B') return TokenClass::Note;
    return TokenClass::Other;
}

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

}  // namespace

ScoreImportResult importScoreText(Song& song, const QString& ScoreText, int32_t& ImportNoteLength) {
    ScoreImportResult r;
    r.scoreText = ScoreText;
    song.QKYP();
    const int steps = song.stepsPerBar();
    const int32_t lastPosition = (song.lastBarLimit() + 1) * steps - 1;
    const QString hold = QStringLiteral("--");

    // One token per pass: a two-character pair, then up to two length digits.
    // Positions count from 1 as the notation's reader does.
    const qsizetype len = ScoreText.size();
    qsizetype pos = 1;
    int32_t step = 0;   // the write position (RhythmStep)
    for (;;) {
        const QStringView token = QStringView(ScoreText).mid(pos - 1, 2);
        if (pos < len - 1) {
            const QChar d1 = ScoreText.at(pos + 1);
            if (!isDigit(d1)) {
                pos += 1;
            } else {
                const bool hasD2 = pos < len - 2 && isDigit(ScoreText.at(pos + 2));
                if (hasD2) {
                    ImportNoteLength = (d1.unicode() - u'0') * 10 + (ScoreText.at(pos + 2).unicode() - u'0');
                    pos += 3;
                } else {
                    ImportNoteLength = d1.unicode() - u'0';
                    pos += 2;
                }
            }
        }
        const TokenClass kind = classify(token);
        pos += 1;
        if (kind == TokenClass::Note) {
            const QString cell = token.toString();
            const int16_t code = SYYPSB(cell);
            for (int t = 0; t < kMelodicTracks; ++t) song.EditorPitchGrid(t, step) = t < 2 ? code : kPitchHold;
            song.EditorMarkGrid(0, step) = cell;
            song.EditorMarkGrid(1, step) = cell;
            step += std::max<int32_t>(ImportNoteLength, 0) / 2;
            // The tables end here: the rest of the score is not taken.
            if (step > lastPosition || token == u"TZ") break;
        } else if (kind == TokenClass::Other) {
            song.EditorMarkGrid(0, step) = hold;
            song.EditorMarkGrid(1, step) = hold;
        }
        if (pos >= len) break;
    }

    song.EditorBarCount = std::min(step / steps, song.lastBarLimit());
    for (int32_t b = 0; b <= song.EditorBarCount; ++b) {
        for (int t = 0; t < 2; ++t)
            for (int s = 0; s < steps; ++s) {
                QString& cell = song.EditorMarkGrid(t, song.position(b, s));
                if (cell.isEmpty()) cell = hold;
            }
        for (int t = 0; t < kMelodicTracks; ++t) song.EditorTextGrid(t, b) = song.joinedCells(t, b);
    }
    r.endStep = step;
    r.ok = true;
    return r;
}

ScoreImportResult importScoreFile(Song& song, const QString& path, int32_t& ImportNoteLength) {
    ScoreImportResult r;
    const QString existing = plat::resolvePath(path);
    QFile f(existing.isEmpty() ? path : existing);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxScoreBytes) {
        r.message = QStringLiteral("无法读取乐谱文件：%1").arg(path);
        return r;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        r.message = QStringLiteral("无法读取乐谱文件：%1").arg(path);
        return r;
    }
    const QString text = plat::splitLines(plat::fromGbk(bytes)).join(QString());
    return importScoreText(song, text, ImportNoteLength);
}

}  // namespace editor
