// The program folder (AppPath): the executable's folder with a trailing
// separator. Tests point it at a folder of their own.
#pragma once

#include <QString>

namespace keyboard {

QString ProgramFolder();
void SetProgramFolder(const QString& folder);  // "" = the executable's folder

// The settings file's default text and its creation.
QString DefaultSettingsText();
// Writes the default text (followed by one more line end) to path in GBK,
// keeping nothing of what was there. False when the file cannot be written.
bool WriteDefaultSettings(const QString& path);

}  // namespace keyboard
