// Text that GBK cannot hold: any text (the input read as UTF-16 units, lone
// halves of pairs included, or as UTF-8) is written with as many characters
// as it has UTF-16 units, by the encoder of every GBK file (score lines,
// settings, patterns) and in a note box's line of a song file, which the
// editor then takes again.
#include "fuzzsupport.h"

#include "editor/songfile.h"
#include "editor/songmodel.h"
#include "platform/textcodec.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    QString text;
    if (data[0] & 1) {
        for (size_t i = 1; i + 1 < size; i += 2) text += QChar(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    } else {
        text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    }
    FUZZ_CHECK(plat::fromGbk(plat::toGbk(text)).size() == text.size());

    // A note box holds one line: the song's line keeps two characters a step.
    QString box = text;
    box.remove(u'\r').remove(u'\n');
    static editor::Song& song = *new editor::Song;
    song.commitTrackText(0, 0, box);
    editor::prepareSongForSave(song);
    editor::ParsedSong parsed;
    QString message;
    FUZZ_CHECK(editor::parseSongFile(editor::songFileBytes(song), &parsed, &message));
    FUZZ_CHECK(parsed.EditorLineTexts.size() > 1 && parsed.EditorLineTexts[1].size() == 32);
    return 0;
}
