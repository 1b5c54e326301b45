// GBK conversion through iconv, and the line reading and writing of the program's text files.
#include "platform/textcodec.h"


#include <QFile>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace plat {
namespace {

QByteArray convert(const char* to, const char* from, const QByteArray& in, const char* replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    QByteArray out;
    std::vector<char> buf(in.size() * 4 + 16);
    char* inPtr = const_cast<char*>(in.constData());
    size_t inLeft = static_cast<size_t>(in.size());
    while (inLeft > 0) {
        char* outPtr = buf.data();
        size_t outLeft = buf.size();
        size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buf.data(), static_cast<qsizetype>(buf.size() - outLeft));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // Invalid or incomplete sequence: skip one input unit and mark it.
            out.append(replacement);
            size_t skip = 1;
            if (std::string(from) == "UTF-8") {
                unsigned char c = static_cast<unsigned char>(*inPtr);
                skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
                if (skip > inLeft) skip = inLeft;
            }
            inPtr += skip;
            inLeft -= skip;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

QByteArray toGbk(const QString& text) { return convert("GBK", "UTF-8", text.toUtf8(), "?"); }

QString fromGbk(const QByteArray& bytes) {
    return QString::fromUtf8(convert("UTF-8", "GBK", bytes, "\xEF\xBF\xBD"));
}

std::string utf8ToGbk(const std::string& utf8) {
    QByteArray b = convert("GBK", "UTF-8", QByteArray::fromStdString(utf8), "?");
    return b.toStdString();
}

std::string gbkTruncate(const std::string& gbk, size_t maxBytes) {
    size_t i = 0;
    while (i < gbk.size()) {
        unsigned char c = static_cast<unsigned char>(gbk[i]);
        size_t len = (c >= 0x81 && c <= 0xFE && i + 1 < gbk.size()) ? 2 : 1;
        if (i + len > maxBytes) break;
        i += len;
    }
    return gbk.substr(0, i);
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    QString cur;
    bool pending = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines << cur;
            cur.clear();
            pending = false;
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
        } else {
            cur += c;
            pending = true;
        }
    }
    if (pending) lines << cur;
    return lines;
}

bool GbkLineReader::open(const QString& path) {
    file_.setFileName(path);
    buf_.clear();
    pos_ = 0;
    afterCr_ = false;
    failed_ = false;
    return file_.open(QIODevice::ReadOnly);
}

bool GbkLineReader::fill() {
    buf_ = file_.read(64 * 1024);
    pos_ = 0;
    if (buf_.isEmpty() && file_.error() != QFileDevice::NoError) failed_ = true;
    return !buf_.isEmpty();
}

bool GbkLineReader::next(QString* line, bool* cut) {
    if (failed_ || !file_.isOpen()) return false;
    // CR and LF bytes never occur inside a GBK character: lines are found on
    // the bytes and decoded one at a time.
    std::string bytes;
    bool tooLong = false;
    bool any = false;
    const size_t keep = static_cast<size_t>(maxLineBytes_) + 1;  // one more tells a cut
    for (;;) {
        if (pos_ >= buf_.size() && !fill()) {
            if (failed_ || !any) return false;
            break;  // the last line has no line end
        }
        if (afterCr_) {
            afterCr_ = false;
            if (buf_[pos_] == '\n') {  // the LF of a CR LF
                ++pos_;
                continue;
            }
        }
        const char* begin = buf_.constData() + pos_;
        const char* end = buf_.constData() + buf_.size();
        const char* p = begin;
        while (p < end && *p != '\r' && *p != '\n') ++p;
        if (p > begin) {
            any = true;
            const size_t n = static_cast<size_t>(p - begin);
            if (bytes.size() < keep) bytes.append(begin, std::min(n, keep - bytes.size()));
        }
        pos_ += p - begin;
        if (p < end) {
            afterCr_ = *p == '\r';
            ++pos_;
            break;
        }
    }
    if (static_cast<int>(bytes.size()) > maxLineBytes_) {
        tooLong = true;
        bytes = gbkTruncate(bytes, static_cast<size_t>(maxLineBytes_));
    }
    *line = fromGbk(QByteArray::fromStdString(bytes));
    if (cut) *cut = tooLong;
    return true;
}

bool endsWithLineEnd(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() == 0 || !f.seek(f.size() - 1)) return false;
    const QByteArray last = f.read(1);
    return last == "\r" || last == "\n";
}

bool readGbkFile(const QString& path, QString* text) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) return false;
    *text = fromGbk(bytes);
    return true;
}

}  // namespace plat
