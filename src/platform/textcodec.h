// Conversion between the program's strings (QString / UTF-8) and the ANSI
// code page of its files, GBK, through iconv; plus the line reading and
// writing rules of its text files (CR LF written; CR LF, LF or CR read).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string>

namespace plat {

QByteArray toGbk(const QString& text);      // characters GBK cannot hold become '?'
QString fromGbk(const QByteArray& bytes);   // invalid bytes become U+FFFD
std::string utf8ToGbk(const std::string& utf8);
// The longest start of GBK text that fits in maxBytes without splitting a
// two-byte character.
std::string gbkTruncate(const std::string& gbk, size_t maxBytes);

// Splits text into lines at CR LF, LF or CR. A final line end does not make
// an extra empty line ("a\r\n" is one line; "a\r\n\r\n" is two).
QStringList splitLines(const QString& text);

// Reads a whole file as GBK text; false when it cannot be read.
bool readGbkFile(const QString& path, QString* text);
// Writes bytes to path through a temporary file that is renamed over it, so a
// failed write never leaves a half-written file. False on failure.
bool writeFileAtomic(const QString& path, const QByteArray& bytes);

}  // namespace plat
