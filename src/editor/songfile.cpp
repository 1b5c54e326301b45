// The editor song file (*.lnk): preparing a song for saving, its bytes, the checked read and the
// atomic write.
#include "editor/songfile.h"

#include "editor/pitchcode.h"
#include "editor/songmodel.h"
#include "platform/fileutil.h"
#include "platform/savefile.h"
#include "platform/textcodec.h"

#include <QFile>
#include <unordered_map>

namespace editor {

namespace {

// No editor file comes near this; a bigger file is not read into memory.
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
// The most lines a song can have: 625 bars of 16 steps.
constexpr int kMaxLines = kLinesPerBar * (kPositions / 16);

const QString kHold = QStringLiteral("--");
const QString kNoHit = QStringLiteral("-");

QString lineFromBytes(const char* data, qsizetype size) {
    for (qsizetype i = 0; i < size; ++i)
        if (static_cast<unsigned char>(data[i]) >= 0x80) return plat::fromGbk(QByteArray(data, size));
    return QString::fromLatin1(data, size);
}

void appendLine(QByteArray& out, const QString& line) {
    bool ascii = true;
    for (QChar c : line)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    out += ascii ? line.toLatin1() : plat::toGbk(line);
    out += "\r\n";
}

// Splits GBK bytes into lines at CR LF, LF or CR (line ends are single bytes
// in GBK, never the second byte of a character). Stops after `limit` lines.
QStringList splitGbkLines(const QByteArray& bytes, int limit) {
    QStringList lines;
    const char* d = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype ends = 0;
    for (qsizetype i = 0; i < n; ++i)
        if (d[i] == '\n' || (d[i] == '\r' && (i + 1 == n || d[i + 1] != '\n'))) ++ends;
    lines.reserve(std::min<qsizetype>(ends + 1, limit + 1));
    qsizetype start = 0;
    for (qsizetype i = 0; i < n && lines.size() <= limit; ++i) {
        if (d[i] != '\r' && d[i] != '\n') continue;
        lines << lineFromBytes(d + start, i - start);
        if (d[i] == '\r' && i + 1 < n && d[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < n && lines.size() <= limit) lines << lineFromBytes(d + start, n - start);
    return lines;
}

// Cells repeat endlessly ("--", "-", "O", a few notes): one shared string and
// one pitch code per distinct cell keeps an opened song small and quick.
class CellCache {
public:
    const QString& cell(QStringView text, int16_t* pitch) {
        uint64_t key = static_cast<uint64_t>(text.size()) << 32;
        if (text.size() > 0) key |= static_cast<uint64_t>(text[0].unicode()) << 16;
        if (text.size() > 1) key |= text[1].unicode();
        auto it = cells_.find(key);
        if (it == cells_.end()) {
            QString s = text.toString();
            const int16_t code = SYYPSB(s);
            it = cells_.emplace(key, Entry{std::move(s), code}).first;
        }
        if (pitch) *pitch = it->second.pitch;
        return it->second.text;
    }

private:
    struct Entry {
        QString text;
        int16_t pitch;
    };
    std::unordered_map<uint64_t, Entry> cells_;
};

QString barNumberLine(int32_t bar) { return QString::number(bar).rightJustified(4, u'0'); }

// What the window needs after a song was opened.
SongFileResult opened(const Song& song) {
    SongFileResult r;
    r.ok = true;
    r.barLastStep = song.BarLastStep;
    r.meterIndex = (song.BarLastStep - 15) / 8;
    r.bar0Settings = song.settingsLine(0);
    return r;
}

}  // namespace

void prepareSongForSave(Song& song) {
    for (int32_t b = 0; b <= song.EditorBarCount; ++b) {
        for (int t = 0; t < kSongTracks; ++t) {
            for (int s = 0; s <= song.BarLastStep; ++s) {
                QString& cell = song.EditorMarkGrid(t, song.position(b, s));
                // Empty cells and those that sort before "1" ("-", "--", blanks).
                if (cell.isEmpty() || cell.at(0) < u'1') cell = isMelodicTrack(t) ? kHold : kNoHit;
                // A half cell (the end of a short line) is padded as a typed
                // one is, so that every line keeps its width.
                else if (isMelodicTrack(t) && cell.size() == 1) cell += u'-';
            }
            song.EditorTextGrid(t, b) = song.joinedCells(t, b);
        }
        if (song.BarHeaderTexts(b).size() < 5) song.BarHeaderTexts(b) = barNumberLine(b);
    }
}

QByteArray songFileBytes(const Song& song) {
    QByteArray out;
    out.reserve((song.EditorBarCount + 1) * (64 + 7 * (2 * song.stepsPerBar() + 2) + 5 * (song.stepsPerBar() + 2)));
    for (int32_t b = 0; b <= song.EditorBarCount; ++b) {
        appendLine(out, song.BarHeaderTexts(b));
        for (int t = 0; t < kSongTracks; ++t) appendLine(out, song.EditorTextGrid(t, b));
    }
    return out;
}

SongFileResult writeSongFile(const Song& song, const QString& path) {
    SongFileResult r;
    r.barLastStep = song.BarLastStep;
    r.meterIndex = (song.BarLastStep - 15) / 8;
    if (!plat::writeFileAtomic(path, songFileBytes(song))) {
        r.message = QStringLiteral("保存编辑文件失败：%1").arg(path);
        return r;
    }
    r.ok = true;
    return r;
}

bool parseSongFile(const QByteArray& bytes, ParsedSong* parsed, QString* message) {
    QStringList lines = splitGbkLines(bytes, kMaxLines);
    const QString track0 = lines.size() > 1 ? lines.at(1) : QString();
    const int steps = static_cast<int>(track0.size() / 2);
    if (steps != 16 && steps != 24 && steps != 32) {
        *message = QStringLiteral("这不是可以打开的编辑文件：第一小节第一行音符应有32、48或64个字符（每小节16、24或32步）。");
        return false;
    }
    const int32_t lastBar = static_cast<int32_t>((lines.size() - 1) / kLinesPerBar);
    const int32_t limit = kPositions / steps - 1;
    if (lastBar > limit) {
        *message = QStringLiteral("编辑文件的小节太多：每小节%1步时最多只能有%2小节。").arg(steps).arg(limit + 1);
        return false;
    }
    // A last bar that the file leaves incomplete gets empty lines.
    while (lines.size() < (lastBar + 1) * kLinesPerBar) lines << QString();
    parsed->EditorLineTexts = std::move(lines);
    parsed->FileBarSteps = static_cast<int16_t>(steps);
    parsed->barCount = lastBar;
    return true;
}

void applyParsedSong(Song& song, const ParsedSong& parsed) {
    song.QKYP();
    song.BarLastStep = static_cast<i16>(parsed.FileBarSteps - 1);
    song.EditorBarCount = parsed.barCount;
    CellCache cache;
    const QStringList& lines = parsed.EditorLineTexts;
    for (int32_t b = 0; b <= parsed.barCount; ++b) {
        const int i = b * kLinesPerBar;
        song.BarHeaderTexts(b) = lines.at(i);
        for (int t = 0; t < kSongTracks; ++t) {
            const QString& text = lines.at(i + 1 + t);
            song.EditorTextGrid(t, b) = text;
            const QStringView view(text);
            for (int s = 0; s < parsed.FileBarSteps; ++s) {
                const int32_t p = song.position(b, s);
                if (isMelodicTrack(t)) {
                    const QStringView c = 2 * s < view.size() ? view.mid(2 * s, 2) : QStringView();
                    int16_t code = kPitchHold;
                    song.EditorMarkGrid(t, p) = c.isEmpty() ? kHold : cache.cell(c, &code);
                    song.EditorPitchGrid(t, p) = code;
                } else if (s < view.size()) {
                    song.EditorMarkGrid(t, p) = cache.cell(view.mid(s, 1), nullptr);
                }
            }
        }
    }
}

SongFileResult openSongData(Song& song, const QByteArray& bytes) {
    SongFileResult r;
    ParsedSong parsed;
    if (!parseSongFile(bytes, &parsed, &r.message)) return r;
    applyParsedSong(song, parsed);
    return opened(song);
}

SongFileResult openSongFile(Song& song, const QString& path) {
    SongFileResult r;
    const QString existing = plat::resolvePath(path);
    QFile f(existing.isEmpty() ? path : existing);
    if (!f.open(QIODevice::ReadOnly)) {
        r.message = QStringLiteral("无法打开编辑文件：%1").arg(path);
        return r;
    }
    if (f.size() > kMaxFileBytes) {
        r.message = QStringLiteral("这不是可以打开的编辑文件：文件太大。");
        return r;
    }
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        r.message = QStringLiteral("无法读取编辑文件：%1").arg(path);
        return r;
    }
    f.close();
    ParsedSong parsed;
    if (!parseSongFile(bytes, &parsed, &r.message)) return r;
    bytes = QByteArray();   // the lines hold the text now
    applyParsedSong(song, parsed);
    return opened(song);
}

}  // namespace editor
