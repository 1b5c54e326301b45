// The program folder (AppPath): the executable's folder with a trailing
// separator. Tests point it at a folder of their own.
#pragma once

#include <QString>
#include <QStringList>

namespace keyboard {

QString ProgramFolder();
void SetProgramFolder(const QString& folder);  // "" = the executable's folder

// The settings file's default text and its creation.
QString DefaultSettingsText();
// Writes the default text (followed by one more line end) to path in GBK,
// keeping nothing of what was there. False when the file cannot be written.
bool WriteDefaultSettings(const QString& path);

// Keeps the bytes of the settings file `file` whole on disk beside it, as
// "vanto.ini.bak", or under the first of "vanto.ini.bak1" … "vanto.ini.bak99"
// not yet taken: an earlier backup is never overwritten (one that already
// holds these very bytes serves). False when no copy could be made whole.
bool KeepSettingsBackup(const QString& file);

// Puts the 52 settings lines into the shared state: the instrument presets,
// the drum pads (with their pad messages) and the sound effect names. Every
// line is converted before anything changes; a short list, a line that is no
// 16-bit number or a pad value of 93 or more raises a run-time error.
void ApplySettingsLines(const QStringList& lines);
// The default settings in memory, for a run whose settings file could not
// be created.
void UseDefaultSettings();

}  // namespace keyboard
