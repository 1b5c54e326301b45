// Bar settings line: every field read from any text is in range, complete
// settings encode to a 60-character line that reads back the same, and
// settings out of range are refused without writing the bar.
#include "fuzzsupport.h"

#include "editor/barsettings.h"
#include "editor/songmodel.h"

#include <QString>
#include <cstdint>
#include <cstring>

using namespace editor;

namespace {

// Settings in range are the same when their lines are: every field has its place.
bool sameSettings(const BarSettings& a, const BarSettings& b) { return encodeBarSettingsLine(a) == encodeBarSettingsLine(b); }

void checkFields(const BarSettingsFields& f) {
    if (f.bar) FUZZ_CHECK(*f.bar >= 0 && *f.bar <= 9999);
    for (int i = 0; i < 12; ++i) {
        if (f.program[i])
            FUZZ_CHECK(isMelodicTrack(i) ? (*f.program[i] >= kSilentProgram && *f.program[i] <= 127)
                                    : (*f.program[i] >= 0 && *f.program[i] < kPercussionPositions));
        if (f.volume[i]) FUZZ_CHECK(*f.volume[i] >= 0 && *f.volume[i] <= 127);
    }
    if (f.depth) FUZZ_CHECK(*f.depth >= -20 && *f.depth <= 20);
    if (f.key) FUZZ_CHECK(*f.key >= -1 && *f.key <= 11);
    if (f.tempo) FUZZ_CHECK(isValidTempo(*f.tempo));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The bytes as a stored line.
    const QString line = QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const BarSettingsFields fields = decodeBarSettingsLine(line);
    checkFields(fields);
    if (const auto complete = completeSettings(fields)) {
        const auto encoded = encodeBarSettingsLine(*complete);
        FUZZ_CHECK(encoded && encoded->size() == kSettingsLineLength);
        const auto back = completeSettings(decodeBarSettingsLine(*encoded));
        FUZZ_CHECK(back && sameSettings(*back, *complete));
    }

    // The bytes as raw settings stored on a bar of a song.
    BarSettings s;
    int32_t raw[31] = {};
    std::memcpy(raw, data, std::min(size, sizeof raw));
    s.bar = raw[0] % 10001;
    for (int i = 0; i < 12; ++i) {
        s.program[i] = raw[1 + i] % 130 - 1;
        s.volume[i] = static_cast<i16>(raw[13 + i] % 130);
    }
    s.depth = static_cast<i16>(raw[25] % 22);
    s.vibrato = raw[26] & 1;
    s.crescendo = raw[27] & 1;
    s.key = static_cast<i16>(raw[28] % 13);
    s.tempo = static_cast<i16>(raw[29] % 260);
    const int32_t bar = raw[30] % 10001;

    // Storing can only write the bar's own texts: they are checked, then
    // emptied again for the next input.
    static Song& song = *new Song;
    const auto barTexts = [&](int32_t b) {
        if (b < 0 || b >= kBars) return QString();
        QString t = song.BarHeaderTexts(b);
        if (b < 2000) t += song.BarEffectFlags(b) + song.BarDepthTexts(b);
        if (b < 256) t += song.BarKeyTexts(b) + song.BarTempoTexts(b);
        return t;
    };
    if (!storeBarSettings(song, bar, s)) {
        FUZZ_CHECK(barTexts(bar).isEmpty() && barTexts(s.bar).isEmpty());
        return 0;
    }
    s.bar = bar;
    const auto back = completeSettings(decodeBarSettingsLine(song.BarHeaderTexts(bar)));
    FUZZ_CHECK(back && sameSettings(*back, s));
    song.BarHeaderTexts(bar) = QString();
    if (bar < 2000) song.BarEffectFlags(bar) = song.BarDepthTexts(bar) = QString();
    if (bar < 256) song.BarKeyTexts(bar) = song.BarTempoTexts(bar) = QString();
    return 0;
}
