// Score files as both the main window's score box and the score entry window
// open and save them: GBK text in a "乐谱记录txt" file chosen with the file
// dialog, matched by name without regard to case.
#pragma once

#include "platform/dialogs.h"

#include <QByteArray>
#include <QString>

class QWidget;

namespace keyboard {

// The open (or save) dialog for a score file, starting in initDir.
plat::FileDialogResult AskScoreFile(QWidget* parent, bool save, const QString& initDir);
// No score comes near this; a bigger file is not read into memory.
constexpr qint64 kMaxScoreFileBytes = 16 * 1024 * 1024;

// The whole text of a chosen file. False, said in a message, when it is
// missing, cannot be read or is larger than kMaxScoreFileBytes.
bool ReadScoreFile(const QString& fileName, QString* text);
// Writes a score file, replacing a file of the same name in another case.
// False, said in a message, when it cannot be written; an old file stays.
bool WriteScoreFile(const QString& fileName, const QByteArray& bytes);

}  // namespace keyboard
