// The settings file vanto.ini through the main window's real activation.
// A file read in full sets the presets, pads and effect names and is left as
// it is; any other file takes the settings error path: the user's file is
// kept byte for byte as vanto.ini.bak, vanto.ini holds the defaults, the one
// message is shown, the program ends, and nothing in memory has changed.
#include "fuzzsupport.h"

#include "midi/state.h"
#include "platform/dialogs.h"
#include "platform/textcodec.h"

#include <QFile>

#include <array>

using fuzzing::Program;
using midi::G;

namespace {

struct Settings {
    std::array<int16_t, 36> presets{};
    std::array<int16_t, 10> pads{};
    std::array<int32_t, 10> padMessages{};
    std::array<QString, 6> names;
    bool operator==(const Settings&) const = default;
};

Settings current() {
    Settings s;
    for (int i = 0; i < 36; ++i) s.presets[i] = G.InstrumentPresets(i / 3, i % 3);
    for (int p = 0; p < 10; ++p) {
        s.pads[p] = G.DrumPadSounds(p);
        s.padMessages[p] = G.RhythmPattern(5, p).Message;
    }
    for (int i = 0; i < 6; ++i) s.names[i] = G.SoundEffectNames(i);
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Program& program = Program::instance();
    MainWindow& form = program.window();
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    program.folder.write(QStringLiteral("vanto.ini"), input);
    QFile::remove(program.folder.file(QStringLiteral("vanto.ini.bak")));
    program.dialogs.messages.clear();
    const Settings before = current();

    bool ended = false;
    try {
        form.Form_Activate();
    } catch (const plat::ProgramEnded&) {
        ended = true;
    }

    if (ended) {
        FUZZ_CHECK(program.dialogs.messages == QStringList{QStringLiteral("读取设置文件出错，软件需重新启动!")});
        FUZZ_CHECK(program.folder.read(QStringLiteral("vanto.ini.bak")) == input);
        FUZZ_CHECK(program.folder.read(QStringLiteral("vanto.ini")) == fuzzing::defaultSettingsBytes());
        FUZZ_CHECK(current() == before);
        return 0;
    }
    FUZZ_CHECK(program.dialogs.messages.isEmpty());
    FUZZ_CHECK(program.folder.read(QStringLiteral("vanto.ini")) == input);
    FUZZ_CHECK(!QFile::exists(program.folder.file(QStringLiteral("vanto.ini.bak"))));
    // What was read is what the file says: 52 lines, numbers first.
    const QStringList lines = plat::splitLines(plat::fromGbk(input));
    FUZZ_CHECK(lines.size() >= 52);
    const Settings after = current();
    for (int i = 0; i < 36; ++i) FUZZ_CHECK(after.presets[i] == rt::parseI16Strict(lines[i]));
    for (int p = 0; p < 10; ++p) {
        FUZZ_CHECK(after.pads[p] == rt::parseI16Strict(lines[36 + p]));
        FUZZ_CHECK(after.padMessages[p] == 0x99 + (after.pads[p] + 35) * 256 + 100 * 65536);
    }
    for (int i = 0; i < 6; ++i) FUZZ_CHECK(after.names[i] == lines[46 + i]);
    return 0;
}
