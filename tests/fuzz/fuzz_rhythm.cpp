// Rhythm pattern files through the parser OpenJZwj (on a file's text, as the
// start-up load and the score's "JP" give it) and through a click in the file
// list File1 (which reads the file's first field). The first input byte picks
// the way: even the parser, odd the list click; the rest is the file. A
// refused file (the one message box) leaves the grid, its boxes and the
// shared rhythm pattern exactly as before; an accepted one leaves the boxes
// as the file's marks say and the pattern consistent with the boxes, the row
// sounds, the velocity and the meter.
#include "rhythmchecks.h"

#include "platform/textcodec.h"

using namespace fuzzing;
using midi::G;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    Program& program = Program::instance();
    MainWindow& form = program.window();
    const QByteArray file(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    program.dialogs.messages.clear();
    const Grid before = snapshot(form);
    if (data[0] % 2 == 1) {
        clearRecordFolder(program);
        program.folder.write(QStringLiteral("演奏记录/b.BIN"), file);
        form.File1->refresh();
        FUZZ_CHECK(form.File1->listCount() == 1);
        form.File1->setListIndex(0);  // the click
    } else {
        G.RhythmFileText = plat::fromGbk(file);
        form.OpenJZwj();
    }
    const QStringList& messages = program.dialogs.messages;
    if (!messages.isEmpty()) {
        FUZZ_CHECK(messages == QStringList{kRefused});
        FUZZ_CHECK(snapshot(form) == before);
    } else {
        checkConsistent(form, G.RhythmFileText);
    }
    return 0;
}
