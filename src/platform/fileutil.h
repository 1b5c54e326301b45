// File names are matched without regard to case, as on the desktop the
// program's files come from ("雷声3.WAV" finds "雷声3.wav").
#pragma once

#include <QString>

namespace plat {

// The existing path that matches `path` (exactly, or by a case-insensitive
// match of its last component within its folder); "" when none exists.
QString resolvePath(const QString& path);
bool fileExistsNoCase(const QString& path);

}  // namespace plat
