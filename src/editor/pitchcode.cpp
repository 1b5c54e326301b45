// Cell to pitch code for the music editor's melodic tracks.
#include "editor/pitchcode.h"

namespace editor {

namespace {

int octaveBase(QChar c) {
    switch (c.unicode()) {
    case u'L': return 0;
    case u'W': return 12;
    case u'K': return 24;
    case u'H': return 36;
    case u'M': return 48;
    default: return -1;
    }
}

int noteOffset(QChar c) {
    switch (c.unicode()) {
    case u'C': return 0;
    case u'D': return 2;
    case u'E': return 4;
    case u'F': return 5;
    case u'G': return 7;
    case u'A': return 9;
    case u'B': return 11;
    default: return -1;
    }
}

}  // namespace

int16_t SYYPSB(const QString& NoteToken) {
    if (NoteToken.size() != 2) return kPitchHold;
    const QChar a = NoteToken.at(0), b = NoteToken.at(1);
    const int base = octaveBase(a), offset = noteOffset(b);
    // The highest octave stops at G.
    if (base >= 0 && offset >= 0 && !(base == 48 && offset > 7)) return static_cast<int16_t>(base + offset);
    static const char* const kChords[] = {"CC", "DM", "EM", "FF", "GM", "AM"};
    for (int i = 0; i < 6; ++i)
        if (a == QLatin1Char(kChords[i][0]) && b == QLatin1Char(kChords[i][1])) return static_cast<int16_t>(65 + i);
    if (NoteToken == QLatin1String("XZ")) return kPitchRest;
    return kPitchHold;
}

}  // namespace editor
