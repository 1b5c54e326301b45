// The bar settings line of the music editor: encoding, field-by-field decoding, and storing a bar's
// settings in the song.
#include "editor/barsettings.h"

#include "editor/songmodel.h"

#include <cmath>

namespace editor {

namespace {

QString decimal(long long v, int width) { return QString::number(v).rightJustified(width, u'0'); }
QString hex2(long long v) { return QString::number(v, 16).toUpper().rightJustified(2, u'0'); }

// A field of `width` characters at 0-based `at`, or "" when the line is too short.
QStringView field(const QString& line, int at, int width) {
    if (line.size() < at + width) return {};
    return QStringView(line).mid(at, width);
}

std::optional<int> hexField(const QString& line, int at) {
    QStringView f = field(line, at, 2);
    if (f.size() != 2) return std::nullopt;
    int v = 0;
    for (QChar c : f) {
        int d;
        if (c >= u'0' && c <= u'9') d = c.unicode() - u'0';
        else if (c >= u'A' && c <= u'F') d = c.unicode() - u'A' + 10;
        else if (c >= u'a' && c <= u'f') d = c.unicode() - u'a' + 10;
        else return std::nullopt;
        v = v * 16 + d;
    }
    return v;
}

std::optional<int> decimalField(const QString& line, int at, int width) {
    QStringView f = field(line, at, width);
    if (f.size() != width) return std::nullopt;
    int v = 0;
    for (QChar c : f) {
        if (c < u'0' || c > u'9') return std::nullopt;
        v = v * 10 + (c.unicode() - u'0');
    }
    return v;
}

std::optional<bool> switchField(const QString& line, int at) {
    QStringView f = field(line, at, 1);
    if (f == u"1") return true;
    if (f == u"0") return false;
    return std::nullopt;
}

bool validSettings(const BarSettings& s) {
    if (s.bar < 0 || s.bar > 9999) return false;
    for (int i = 0; i < 12; ++i) {
        const bool melodic = isMelodicTrack(i);
        if (melodic ? (s.program[i] < kSilentProgram || s.program[i] > 127)
                    : (s.program[i] < 0 || s.program[i] >= kPercussionPositions))
            return false;
        if (s.volume[i] < 0 || s.volume[i] > 127) return false;
    }
    return s.depth >= -20 && s.depth <= 20 && s.key >= -1 && s.key <= 11 && isValidTempo(s.tempo);
}

}  // namespace

bool isValidTempo(long long tempo) { return tempo >= kMinTempo && tempo <= kMaxTempo; }

i16 editorBeatInterval(int tempo) {
    if (!isValidTempo(tempo)) rt::raise(rt::kErrInvalidCall);
    return static_cast<i16>(15000 / tempo);
}

i16 clampVolume(double volume) {
    if (std::isnan(volume)) return 0;
    const double v = rt::roundHalfEven(std::clamp(volume, 0.0, 127.0));
    return static_cast<i16>(v);
}

std::optional<QString> encodeBarSettingsLine(const BarSettings& s) {
    if (!validSettings(s)) return std::nullopt;
    QString line = decimal(s.bar, 4);
    for (int i = 0; i < 12; ++i) {
        // A silent track has no program: "FF" reads back as silent.
        line += s.program[i] == kSilentProgram ? QStringLiteral("FF") : hex2(s.program[i]);
        line += hex2(s.volume[i]);
    }
    line += decimal(s.depth + 20, 2);
    line += s.vibrato ? u'1' : u'0';
    line += s.crescendo ? u'1' : u'0';
    line += s.key < 0 ? QStringLiteral("-1") : decimal(s.key, 2);
    line += hex2(s.tempo);
    return line;
}

BarSettingsFields decodeBarSettingsLine(const QString& line) {
    BarSettingsFields f;
    if (auto v = decimalField(line, 0, 4)) f.bar = *v;
    for (int i = 0; i < 12; ++i) {
        if (auto p = hexField(line, 4 + 4 * i)) {
            if (isMelodicTrack(i)) f.program[i] = *p > 127 ? kSilentProgram : *p;
            else if (*p < kPercussionPositions) f.program[i] = *p;
        }
        if (auto v = hexField(line, 6 + 4 * i)) f.volume[i] = static_cast<i16>(std::min(*v, 127));
    }
    if (auto d = decimalField(line, 52, 2); d && *d <= 40) f.depth = static_cast<i16>(*d - 20);
    f.vibrato = switchField(line, 54);
    f.crescendo = switchField(line, 55);
    if (field(line, 56, 2) == u"-1") f.key = -1;
    else if (auto k = decimalField(line, 56, 2); k && *k <= 11) f.key = static_cast<i16>(*k);
    if (auto t = hexField(line, 58); t && isValidTempo(*t)) f.tempo = static_cast<i16>(*t);
    return f;
}

std::optional<BarSettings> completeSettings(const BarSettingsFields& f) {
    if (!f.bar || !f.depth || !f.vibrato || !f.crescendo || !f.key || !f.tempo) return std::nullopt;
    BarSettings s;
    s.bar = *f.bar;
    for (int i = 0; i < 12; ++i) {
        if (!f.program[i] || !f.volume[i]) return std::nullopt;
        s.program[i] = *f.program[i];
        s.volume[i] = *f.volume[i];
    }
    s.depth = *f.depth;
    s.vibrato = *f.vibrato;
    s.crescendo = *f.crescendo;
    s.key = *f.key;
    s.tempo = *f.tempo;
    return s;
}

bool storeBarSettings(Song& song, int32_t bar, const BarSettings& settings) {
    if (bar < 0 || bar > kLastSettingsBar) return false;
    BarSettings s = settings;
    s.bar = bar;
    const std::optional<QString> line = encodeBarSettingsLine(s);
    if (!line) return false;
    song.BarHeaderTexts(bar) = *line;
    song.BarEffectFlags(bar) = line->mid(54, 2);
    song.BarDepthTexts(bar) = line->mid(52, 2);
    noteAppliedSettings(song, bar);
    return true;
}

void noteAppliedSettings(Song& song, int32_t bar) {
    if (bar < 0 || bar > kLastSettingsBar || !song.hasSettings(bar)) return;
    const QString& line = song.BarHeaderTexts(bar);
    song.BarKeyTexts(bar) = line.mid(56, 2);
    song.BarTempoTexts(bar) = line.right(2);
}

}  // namespace editor
