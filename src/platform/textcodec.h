// Conversion between the program's strings (QString / UTF-8) and the ANSI
// code page of its files, GBK, through iconv; plus the line reading and
// writing rules of its text files (CR LF written; CR LF, LF or CR read).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <string>

namespace plat {

QByteArray toGbk(const QString& text);      // each UTF-16 unit GBK cannot hold becomes one '?'
QString fromGbk(const QByteArray& bytes);   // invalid bytes become U+FFFD
std::string utf8ToGbk(const std::string& utf8);
// The longest start of GBK text that fits in maxBytes without splitting a
// two-byte character.
std::string gbkTruncate(const std::string& gbk, size_t maxBytes);

// Splits text into lines at CR LF, LF or CR. A final line end does not make
// an extra empty line ("a\r\n" is one line; "a\r\n\r\n" is two).
QStringList splitLines(const QString& text);

// Reads a GBK text file one line at a time (CR LF, LF or CR end a line)
// without ever holding more than one line of at most maxLineBytes bytes: a
// longer line is cut there (never inside a two-byte character) and the rest
// of it is skipped. A file with no line end at all costs no more memory than
// one such line.
class GbkLineReader {
public:
    explicit GbkLineReader(int maxLineBytes) : maxLineBytes_(maxLineBytes) {}
    bool open(const QString& path);  // false when the file cannot be opened
    // The next line; false at the end of the file or on a read error.
    // *cut tells whether the line was longer than maxLineBytes.
    bool next(QString* line, bool* cut = nullptr);
    bool failed() const { return failed_; }  // a read error ended the lines

private:
    bool fill();
    int maxLineBytes_;
    QFile file_;
    QByteArray buf_;
    qsizetype pos_ = 0;
    bool afterCr_ = false;  // the last line ended with CR: a following LF belongs to it
    bool failed_ = false;
};

// Whether a non-empty file ends with a line end (CR or LF); false for an
// empty file or one that cannot be read.
bool endsWithLineEnd(const QString& path);

// Reads a whole file as GBK text; false when it cannot be read.
bool readGbkFile(const QString& path, QString* text);

}  // namespace plat
