// The program folder and the settings file's defaults: writing them, and taking settings lines into
// the shared state.
#include "keyboard/appfolder.h"

#include "midi/state.h"
#include "platform/resources.h"
#include "platform/fileutil.h"
#include "platform/savefile.h"
#include "platform/textcodec.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace keyboard {

namespace {
QString g_folder;

// The same bytes in both files, read a block at a time.
bool sameBytes(const QString& a, const QString& b) {
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size()) return false;
    for (;;) {
        const QByteArray x = fa.read(64 * 1024), y = fb.read(64 * 1024);
        if (x != y) return false;
        if (x.isEmpty()) return fa.error() == QFileDevice::NoError && fb.error() == QFileDevice::NoError;
    }
}
}  // namespace

QString ProgramFolder() {
    QString f = g_folder.isEmpty() ? QCoreApplication::applicationDirPath() : g_folder;
    if (!f.endsWith(u'/')) f += u'/';
    return f;
}

void SetProgramFolder(const QString& folder) { g_folder = folder; }

QString DefaultSettingsText() { return plat::LoadResString(508); }

bool WriteDefaultSettings(const QString& path) {
    return plat::writeFileAtomic(path, plat::toGbk(DefaultSettingsText() + QStringLiteral("\r\n")));
}

bool KeepSettingsBackup(const QString& file) {
    const QString base = QFileInfo(file).absolutePath() + QStringLiteral("/vanto.ini.bak");
    for (int n = 0; n <= 99; ++n) {
        const QString name = n == 0 ? base : base + QString::number(n);
        const QString taken = plat::resolvePath(name);
        if (taken.isEmpty()) return plat::copyFileAtomic(file, name);
        if (sameBytes(file, taken)) return true;
    }
    return false;
}

void ApplySettingsLines(const QStringList& lines) {
    using midi::G;
    if (lines.size() < 52) rt::raise(rt::kErrInputPastEnd, "vanto.ini");
    int16_t presets[36];
    int16_t pads[10];
    int32_t messages[10];
    for (int i = 0; i < 36; ++i) presets[i] = rt::parseI16Strict(lines[i]);
    for (int i = 36; i < 46; ++i) {
        const int16_t v = rt::parseI16Strict(lines[i]);
        pads[i - 36] = v;
        // (value + 35) x 256 is a 16-bit product: 93 or more overflows.
        messages[i - 36] = 0x99 + static_cast<int32_t>(rt::mul16(rt::add16(v, 35), 256)) + 100 * 65536;
    }
    for (int i = 0; i < 36; ++i) G.InstrumentPresets(i / 3, i % 3) = presets[i];
    for (int p = 0; p < 10; ++p) {
        G.DrumPadSounds(p) = pads[p];
        G.RhythmPattern(5, p).Message = messages[p];
    }
    for (int i = 46; i < 52; ++i) G.SoundEffectNames(i - 46) = lines[i];
}

void UseDefaultSettings() { ApplySettingsLines(plat::splitLines(DefaultSettingsText()).mid(0, 52)); }

}  // namespace keyboard
