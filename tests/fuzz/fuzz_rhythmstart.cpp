// The rhythm pattern file that the program loads at its start: the input is
// the only pattern file of the record folder. The start always goes on; a
// refused file is reported with the one message box, an accepted one leaves
// the grid consistent with its marks. A start builds a whole main window, so
// the first input and every 256th one get a real start; the others go
// through the start's reading of the file (its text read as GBK, then the
// pattern parser) on the window the last start built.
#include "rhythmchecks.h"

#include "platform/textcodec.h"

using namespace fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static unsigned count = 0;
    Program& program = Program::instance();
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (count++ % 256 == 0) {
        clearRecordFolder(program);
        program.folder.write(QStringLiteral("演奏记录/a.bin"), file);
        if (program.reopen()) fail("the start goes on after any pattern file", __FILE__, __LINE__);
    } else {
        program.dialogs.messages.clear();
        midi::G.RhythmFileText = plat::fromGbk(file);
        program.window().OpenJZwj();
    }
    const QStringList& messages = program.dialogs.messages;
    FUZZ_CHECK(messages.isEmpty() || messages == QStringList{kRefused});
    if (messages.isEmpty()) checkConsistent(program.window(), midi::G.RhythmFileText);
    return 0;
}
