// The chord model file HxJzMx.txt through the random pick HXCSH (as the
// "生成随机节奏" button runs it, with the parse and derivation after it), the
// two chord tracks over every step of every chord of the order, and the save
// of the current patterns. The first input byte sets the lock boxes and the
// draws; the rest is the file. The pick reads no more than 100 lines and
// fills each unlocked box with one of them; every code of the pattern grid
// is a note, a chord, a rest or a hold; the tracks send only well-formed
// messages; the save only appends.
#include "fuzzsupport.h"

#include "midi/state.h"
#include "platform/midiout.h"
#include "platform/textcodec.h"

#include <algorithm>

using fuzzing::Program;
using midi::G;

namespace {

bool isModelLine(MainWindow& f, const QString& text) {
    for (int i = 1; i <= f.ChordModelCount; ++i)
        if (f.ChordModelLines(i) == text) return true;
    return false;
}

bool validCode(int32_t c) { return (c >= 0 && c <= 55) || (c >= 65 && c <= 70) || c == 254 || c == 255; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Files of more than 120 lines add nothing past the pick's 100 (the
    // reader converts each line on its own, so they only cost time).
    if (size == 0 || std::count(data, data + size, '\n') > 120) return 0;
    Program& program = Program::instance();
    MainWindow& form = program.window();
    const uint8_t knobs = data[0];
    const QByteArray file(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    program.folder.write(QStringLiteral("HxJzMx.txt"), file);
    program.dialogs.messages.clear();

    form.Check7->setValue(knobs & 1);
    form.Check4->setValue((knobs >> 1) & 1);
    const double draws[3] = {((knobs >> 2) & 7) / 8.0, (knobs >> 5) / 8.0, ((knobs >> 3) & 7) / 8.0};
    int next = 0;
    form.Rnd = [&] { return draws[next++ % 3]; };
    const QString text4 = form.Text4->text(), text2 = form.Text2->text(), text5 = form.Text5->text();

    form.Command3_Click();
    FUZZ_CHECK(program.folder.read(QStringLiteral("HxJzMx.txt")) == file);
    const qsizetype lines = plat::splitLines(plat::fromGbk(file)).size();
    FUZZ_CHECK(form.ChordModelCount == std::min<qsizetype>(lines, 100));
    if (form.Check7->value() == 1) {
        FUZZ_CHECK(form.Text4->text() == text4 && form.Text2->text() == text2);
    } else {
        FUZZ_CHECK(form.Text2->text() == form.Text4->text());
        FUZZ_CHECK(lines == 0 ? form.Text4->text().isEmpty() : isModelLine(form, form.Text4->text()));
    }
    if (form.Check4->value() == 1) FUZZ_CHECK(form.Text5->text() == text5);
    else FUZZ_CHECK(lines == 0 ? form.Text5->text().isEmpty() : isModelLine(form, form.Text5->text()));
    for (int chord = 1; chord <= 6; ++chord)
        for (int k = 0; k < 32; ++k) FUZZ_CHECK(validCode(form.ChordPatternGrid(chord, k)));

    // Both tracks over the whole order, as the accompaniment plays them.
    program.devices.take();
    for (int16_t i = 1; i <= G.ChordCount; ++i) {
        G.ChordIndex = i;
        for (int16_t step = 0; step <= 15; ++step) {
            G.RhythmStep = step;
            form.BZHX();
            form.BZHX2();
        }
    }
    form.HX1K();
    form.HX2K();
    for (uint32_t m : program.devices.take()) FUZZ_CHECK(plat::isWellFormedShortMessage(m));
    FUZZ_CHECK(program.dialogs.messages.isEmpty());

    // The save keeps every byte of the library and adds whole lines.
    form.Command4_Click();
    const QByteArray saved = program.folder.read(QStringLiteral("HxJzMx.txt"));
    FUZZ_CHECK(saved.startsWith(file));
    const QByteArray added = saved.mid(file.size());
    FUZZ_CHECK(added.isEmpty() || added.endsWith("\r\n"));
    return 0;
}
