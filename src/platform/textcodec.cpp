#include "platform/textcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <iconv.h>

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

bool readGbkFile(const QString& path, QString* text) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) return false;
    *text = fromGbk(bytes);
    return true;
}

bool writeFileAtomic(const QString& path, const QByteArray& bytes) {
    QSaveFile f(path);
    // Unbuffered, so a short write (a full disk, a file size limit) shows in
    // write()'s count: a buffered QSaveFile can commit a cut file as a success.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

}  // namespace plat
