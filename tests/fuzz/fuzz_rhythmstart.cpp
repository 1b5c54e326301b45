// The rhythm pattern file that the program loads at its start: the input is
// the only pattern file of the record folder, and the program is started
// over it. The start always goes on; a refused file is reported with the one
// message box, an accepted one leaves the grid consistent with its marks.
// Each input builds a whole main window, so the runs are few.
// fuzz-runs: 400
#include "rhythmchecks.h"

using namespace fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Program& program = Program::instance();
    clearRecordFolder(program);
    program.folder.write(QStringLiteral("演奏记录/a.bin"),
                         QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (program.reopen()) fail("the start goes on after any pattern file", __FILE__, __LINE__);
    const QStringList& messages = program.dialogs.messages;
    FUZZ_CHECK(messages.isEmpty() || messages == QStringList{kRefused});
    if (messages.isEmpty()) checkConsistent(program.window(), midi::G.RhythmFileText);
    return 0;
}
