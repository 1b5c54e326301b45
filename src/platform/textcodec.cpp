// GBK conversion through iconv, and the line reading and writing of the program's text files.
#include "platform/textcodec.h"


#include <QFile>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace plat {
namespace {

// An iconv converter kept for the thread: opening one costs far more than
// converting a line, and the file readers convert one line at a time.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    // The converter in its initial state (an earlier use may have stopped
    // anywhere).
    iconv_t fresh() {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return cd_;
    }

private:
    iconv_t cd_;
};

bool isAscii(const char* d, qsizetype n) {
    return std::all_of(d, d + n, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

QByteArray convert(Converter& conv, const QByteArray& in, const char* replacement) {
    if (!conv.ok()) return {};
    iconv_t cd = conv.fresh();
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
            // Invalid or incomplete sequence: skip one byte and mark it.
            out.append(replacement);
            ++inPtr;
            --inLeft;
        }
    }
    return out;
}

}  // namespace

// From UTF-16, so that what cannot be converted is known by its units: each
// unit becomes one '?' (a character beyond the Basic Multilingual Plane, two
// units in a box, two '?'; a lone half of a pair one), and a line keeps the
// width the box gave it.
QByteArray toGbk(const QString& text) {
    // ASCII is the same in GBK.
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; })) return text.toLatin1();
    thread_local Converter conv("GBK", Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? "UTF-16LE" : "UTF-16BE");
    if (!conv.ok()) return {};
    iconv_t cd = conv.fresh();
    QByteArray out;
    out.reserve(text.size() * 2);
    std::vector<char> buf(static_cast<size_t>(text.size()) * 2 + 16);
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    qsizetype pos = 0;  // units converted or replaced so far
    while (pos < text.size()) {
        char* inPtr = reinterpret_cast<char*>(const_cast<char16_t*>(units + pos));
        size_t inLeft = static_cast<size_t>(text.size() - pos) * 2;
        char* outPtr = buf.data();
        size_t outLeft = buf.size();
        const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        out.append(buf.data(), static_cast<qsizetype>(buf.size() - outLeft));
        pos = text.size() - static_cast<qsizetype>(inLeft / 2);
        if (r != static_cast<size_t>(-1) || err == E2BIG) continue;
        // Not convertible, not valid or cut at the end: one '?' per unit of
        // the character (a valid pair is two units, anything else one).
        const bool pair = QChar::isHighSurrogate(units[pos]) && pos + 1 < text.size() &&
                          QChar::isLowSurrogate(units[pos + 1]);
        const qsizetype n = pair ? 2 : 1;
        out.append(n, '?');
        pos += n;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    }
    return out;
}

QString fromGbk(const QByteArray& bytes) {
    // ASCII is the same in GBK (a score file is nothing else).
    if (isAscii(bytes.constData(), bytes.size())) return QString::fromLatin1(bytes);
    thread_local Converter conv("UTF-8", "GBK");
    return QString::fromUtf8(convert(conv, bytes, "\xEF\xBF\xBD"));
}

std::string utf8ToGbk(const std::string& utf8) { return toGbk(QString::fromStdString(utf8)).toStdString(); }

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
