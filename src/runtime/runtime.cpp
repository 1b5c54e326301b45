// The run-time rules: run-time errors, checked 16-bit arithmetic, number conversions of text, the
// handler guard.
#include "runtime/runtime.h"

#include "platform/dialogs.h"
#include "platform/midiout.h"

#include <QCoreApplication>
#include <cctype>
#include <cmath>
#include <limits>

namespace rt {

namespace {
bool g_endRequested = false;
int g_endCode = 0;

QString errorText(int number) {
    switch (number) {
    case kErrOverflow: return QStringLiteral("溢出");
    case kErrSubscript: return QStringLiteral("下标越界");
    case kErrTypeMismatch: return QStringLiteral("类型不匹配");
    case kErrFileNotFound: return QStringLiteral("文件未找到");
    case kErrPathNotFound: return QStringLiteral("路径未找到");
    case kErrInputPastEnd: return QStringLiteral("输入超出文件尾");
    case kErrFileIo: return QStringLiteral("路径/文件访问错误");
    case kErrInvalidCall: return QStringLiteral("无效的过程调用或参数");
    case kErrCancel: return QStringLiteral("选定了“取消”");
    default: return QStringLiteral("运行时错误");
    }
}
}  // namespace

void raise(int number, const std::string& detail) {
    std::string text = errorText(number).toStdString();
    if (!detail.empty()) text += "：" + detail;
    throw RuntimeError(number, text);
}

i16 toI16(long long v) {
    if (v < std::numeric_limits<i16>::min() || v > std::numeric_limits<i16>::max()) raise(kErrOverflow);
    return static_cast<i16>(v);
}
i16 add16(long long a, long long b) { return toI16(a + b); }
i16 mul16(long long a, long long b) { return toI16(a * b); }

double roundHalfEven(double v) { return std::nearbyint(v); }  // default rounding mode: to nearest, ties to even

i16 CInt(double v) {
    if (!std::isfinite(v)) raise(kErrOverflow);
    double r = roundHalfEven(v);
    if (r < -32768.0 || r > 32767.0) raise(kErrOverflow);
    return static_cast<i16>(r);
}

long long Int(double v) {
    const double f = std::floor(v);
    // Outside the range of a whole number here (or not a number): overflow.
    if (!(f >= -9223372036854775808.0 && f < 9223372036854775808.0)) raise(kErrOverflow);
    return static_cast<long long>(f);
}

double Val(const QString& text) {
    // Blanks, tabs and line feeds are skipped anywhere before and inside the
    // number; a carriage return is not, and ends it ("12\r\n34" is 12).
    QString s;
    for (QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n') continue;
        s += c;
    }
    int i = 0;
    const int n = static_cast<int>(s.size());
    if (i + 1 < n && s[i] == u'&' && (s[i + 1] == u'H' || s[i + 1] == u'h' || s[i + 1] == u'O' ||
                                      s[i + 1] == u'o')) {
        // &H (hexadecimal) and &O (octal): a number that fits 16 bits is read
        // as a 16-bit pattern (&HFFFF = -1), one that fits 32 bits as a 32-bit
        // pattern (&HFFFFF = 1048575, &HFFFFFFFF = -1); more is an overflow.
        const bool hex = s[i + 1] == u'H' || s[i + 1] == u'h';
        uint64_t v = 0;
        int j = i + 2;
        bool any = false;
        for (; j < n; ++j) {
            const char c = s[j].unicode() < 128 ? static_cast<char>(s[j].unicode()) : '\0';
            int digit;
            if (c >= '0' && c <= '9') digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            else break;
            if (!hex && digit > 7) break;
            v = v * (hex ? 16 : 8) + static_cast<uint64_t>(digit);
            if (v > 0xFFFFFFFFull) raise(kErrOverflow);
            any = true;
        }
        if (!any) return 0.0;
        if (v <= 0xFFFF) return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(v)));
        return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
    }
    int start = i;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) ++i;
    int digits = 0;
    while (i < n && s[i].isDigit() && s[i].unicode() < 128) { ++i; ++digits; }
    if (i < n && s[i] == u'.') {
        ++i;
        while (i < n && s[i].isDigit() && s[i].unicode() < 128) { ++i; ++digits; }
    }
    if (digits == 0) return 0.0;
    int end = i;
    if (i < n && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
        int j = i + 1;
        if (j < n && (s[j] == u'+' || s[j] == u'-')) ++j;
        int expDigits = 0;
        while (j < n && s[j].isDigit() && s[j].unicode() < 128) { ++j; ++expDigits; }
        if (expDigits > 0) end = j;
    }
    QString num = s.mid(start, end - start);
    num.replace(u'd', u'e').replace(u'D', u'e');
    const double v = num.toDouble();
    if (!std::isfinite(v)) raise(kErrOverflow);  // "1e999"
    return v;
}

i16 parseI16Strict(const QString& text) {
    QString t = text.trimmed();
    bool ok = false;
    double v = t.toDouble(&ok);
    if (!ok || t.isEmpty()) raise(kErrTypeMismatch, text.toStdString());
    return CInt(v);
}

QString printNumber(long long v) {
    if (v < 0) return QString::number(v) + u' ';
    return u' ' + QString::number(v) + u' ';
}

QString Hex(long long v) {
    if (v < 0) {
        // Negative 16-bit values print as their 16-bit pattern, larger ones as 32-bit.
        if (v >= -32768) return QString::number(static_cast<uint16_t>(v), 16).toUpper();
        return QString::number(static_cast<uint32_t>(v), 16).toUpper();
    }
    return QString::number(v, 16).toUpper();
}

void guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const plat::ProgramEnded& e) {
        g_endRequested = true;
        g_endCode = e.code;
    } catch (const RuntimeError& e) {
        plat::msgBox(QStringLiteral("运行时错误 '%1'：\n\n%2\n\n程序将继续运行。")
                         .arg(e.number())
                         .arg(QString::fromStdString(e.what())),
                     plat::kOkOnly | plat::kExclamation);
    } catch (const std::exception& e) {
        plat::msgBox(QStringLiteral("意外错误：%1\n\n程序将继续运行。").arg(QString::fromStdString(e.what())),
                     plat::kOkOnly | plat::kExclamation);
    } catch (...) {
        plat::msgBox(QStringLiteral("意外错误。\n\n程序将继续运行。"), plat::kOkOnly | plat::kExclamation);
    }
}

bool programEndRequested() { return g_endRequested; }
int programEndCode() { return g_endCode; }
void clearProgramEndRequest() { g_endRequested = false; g_endCode = 0; }

void DoEvents() {
    // Keys and clicks handled meanwhile sound at once, not at the time of a
    // clock tick that yields here.
    plat::MidiDueTime now(0);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace rt
