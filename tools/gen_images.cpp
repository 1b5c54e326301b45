// Draws the program's pictures into a folder (resources/images by default):
// the on-screen key pictures, the splash picture, the recorder buttons, the
// computer keyboard map, the key cursor and the window icon.
//
//   QT_QPA_PLATFORM=offscreen gen_images [output folder]
//
// The PNGs are committed; run this again after changing a drawing.
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

QString gOut;
QString gKai = QStringLiteral("AR PL UKai CN");
QString gHei = QStringLiteral("WenQuanYi Micro Hei");
QString gSerif = QStringLiteral("DejaVu Serif");
QString gSans = QStringLiteral("DejaVu Sans");

void loadFont(const char* path, QString* family) {
    int id = QFontDatabase::addApplicationFont(QString::fromUtf8(path));
    if (id < 0) return;
    const QStringList fams = QFontDatabase::applicationFontFamilies(id);
    if (!fams.isEmpty()) *family = fams.first();
}

QFont font(const QString& family, int pixelSize, bool bold = false, bool italic = false) {
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setItalic(italic);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

bool save(const QImage& img, const char* name) {
    QString path = gOut + QLatin1Char('/') + QString::fromLatin1(name);
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", name, img.width(), img.height());
    return true;
}

QImage canvas(int w, int h, bool transparent) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(transparent ? Qt::transparent : Qt::white);
    return img;
}

QImage finish(const QImage& img, bool transparent) {
    return img.convertToFormat(transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

// ---------------------------------------------------------------- keys

// A white key, 26 x 121. The right and bottom edges carry the dark line
// that separates it from its neighbour; pressed keys are tinted blue and
// shaded at the top, where the key dips under the key bed.
QImage whiteKey(bool down) {
    const int w = 26, h = 121;
    QImage img = canvas(w, h, false);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, h);
    if (down) {
        g.setColorAt(0.0, QColor(120, 170, 225));
        g.setColorAt(0.12, QColor(165, 205, 245));
        g.setColorAt(0.85, QColor(190, 222, 252));
        g.setColorAt(1.0, QColor(150, 192, 238));
    } else {
        g.setColorAt(0.0, QColor(236, 236, 232));
        g.setColorAt(0.08, QColor(252, 252, 250));
        g.setColorAt(0.88, QColor(255, 255, 255));
        g.setColorAt(1.0, QColor(224, 224, 220));
    }
    p.fillRect(0, 0, w, h, g);
    // Side shading: light on the left, darker towards the right edge.
    QLinearGradient side(0, 0, w, 0);
    side.setColorAt(0.0, QColor(255, 255, 255, down ? 40 : 120));
    side.setColorAt(0.15, QColor(255, 255, 255, 0));
    side.setColorAt(0.8, QColor(0, 0, 0, 0));
    side.setColorAt(1.0, QColor(0, 0, 0, down ? 50 : 28));
    p.fillRect(0, 0, w, h, side);
    if (down) {
        // Shadow of the key bed across the top of the sunken key.
        QLinearGradient top(0, 0, 0, 14);
        top.setColorAt(0.0, QColor(20, 40, 80, 120));
        top.setColorAt(1.0, QColor(20, 40, 80, 0));
        p.fillRect(0, 0, w, 14, top);
    } else {
        // The visible front lip of a raised key.
        p.fillRect(1, h - 7, w - 2, 5, QColor(238, 238, 234));
        p.setPen(QColor(200, 200, 196));
        p.drawLine(1, h - 7, w - 2, h - 7);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(down ? QColor(60, 90, 140) : QColor(110, 110, 110));
    p.drawLine(w - 1, 0, w - 1, h - 1);
    p.drawLine(0, h - 1, w - 1, h - 1);
    p.setPen(down ? QColor(200, 228, 255) : QColor(255, 255, 255));
    p.drawLine(0, 0, 0, h - 2);
    p.end();
    return finish(img, false);
}

// A black key, 18 x 69: a glossy top with bevelled sides and a front lip;
// pressed, the lip almost disappears and the key glows deep blue.
QImage blackKey(bool down) {
    const int w = 18, h = 69;
    QImage img = canvas(w, h, false);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor base = down ? QColor(30, 60, 120) : QColor(18, 18, 20);
    p.fillRect(0, 0, w, h, base);
    // Bevels.
    QLinearGradient left(0, 0, 3, 0);
    left.setColorAt(0, down ? QColor(70, 110, 180) : QColor(70, 70, 74));
    left.setColorAt(1, base);
    p.fillRect(0, 0, 3, h, left);
    QLinearGradient right(w - 3, 0, w, 0);
    right.setColorAt(0, base);
    right.setColorAt(1, down ? QColor(10, 25, 60) : QColor(0, 0, 0));
    p.fillRect(w - 3, 0, 3, h, right);
    const int lip = down ? 3 : 8;
    QLinearGradient front(0, h - lip, 0, h);
    front.setColorAt(0, down ? QColor(60, 95, 160) : QColor(80, 80, 84));
    front.setColorAt(1, down ? QColor(25, 45, 90) : QColor(30, 30, 32));
    p.fillRect(2, h - lip, w - 4, lip, front);
    // Gloss on the top face.
    QRectF face(3, down ? 6 : 2, w - 6, h - lip - (down ? 8 : 4));
    QLinearGradient gloss(face.left(), 0, face.right(), 0);
    gloss.setColorAt(0.0, QColor(255, 255, 255, down ? 90 : 70));
    gloss.setColorAt(0.5, QColor(255, 255, 255, down ? 25 : 18));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawRoundedRect(face, 2, 2);
    if (down) {
        QLinearGradient top(0, 0, 0, 8);
        top.setColorAt(0, QColor(0, 0, 0, 160));
        top.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(0, 0, w, 8, top);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(0, 0, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, -1, w - 1, h);
    p.end();
    return finish(img, false);
}

// ---------------------------------------------------------------- notes

// An eighth note (or a pair of beamed eighths) drawn by hand, so that no
// music font is needed.
void drawNote(QPainter& p, QPointF head, qreal size, const QColor& c, bool pair, qreal pairDx = 0,
              qreal pairDy = 0) {
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    auto oneHead = [&](QPointF h) {
        p.save();
        p.translate(h);
        p.rotate(-22);
        p.drawEllipse(QRectF(-size * 0.62, -size * 0.42, size * 1.24, size * 0.84));
        p.restore();
    };
    const qreal stem = size * 3.2;
    const qreal sw = std::max<qreal>(1.2, size * 0.16);
    oneHead(head);
    QPointF top(head.x() + size * 0.52, head.y() - stem);
    p.drawRect(QRectF(head.x() + size * 0.52 - sw, top.y(), sw, stem));
    if (pair) {
        QPointF h2(head.x() + pairDx, head.y() + pairDy);
        oneHead(h2);
        QPointF top2(h2.x() + size * 0.52, h2.y() - stem);
        p.drawRect(QRectF(h2.x() + size * 0.52 - sw, top2.y(), sw, stem));
        QPainterPath beam;
        const qreal bw = size * 0.5;
        beam.moveTo(top.x() - sw, top.y());
        beam.lineTo(top2.x(), top2.y());
        beam.lineTo(top2.x(), top2.y() + bw);
        beam.lineTo(top.x() - sw, top.y() + bw);
        beam.closeSubpath();
        p.drawPath(beam);
    } else {
        QPainterPath flag;
        flag.moveTo(top.x() - sw, top.y());
        flag.cubicTo(top.x() + size * 0.2, top.y() + size * 0.9, top.x() + size * 1.5,
                     top.y() + size * 1.2, top.x() + size * 0.9, top.y() + size * 2.4);
        flag.cubicTo(top.x() + size * 1.1, top.y() + size * 1.5, top.x() + size * 0.2,
                     top.y() + size * 1.3, top.x() - sw, top.y() + size * 1.0);
        flag.closeSubpath();
        p.drawPath(flag);
    }
    p.restore();
}

// A strip of piano keys between x0 and x1, from y0 to y1.
void drawKeyboardStrip(QPainter& p, qreal x0, qreal x1, qreal y0, qreal y1, qreal whiteW,
                       int litWhite = -1) {
    const int n = int(std::ceil((x1 - x0) / whiteW));
    for (int i = 0; i < n; ++i) {
        QRectF r(x0 + i * whiteW, y0, whiteW, y1 - y0);
        QLinearGradient g(0, y0, 0, y1);
        if (i == litWhite) {
            g.setColorAt(0, QColor(150, 195, 245));
            g.setColorAt(1, QColor(200, 228, 255));
        } else {
            g.setColorAt(0, QColor(235, 235, 230));
            g.setColorAt(0.1, QColor(255, 255, 253));
            g.setColorAt(1, QColor(232, 232, 226));
        }
        p.setPen(QPen(QColor(120, 120, 120), 1));
        p.setBrush(g);
        p.drawRect(r);
    }
    // Black keys after white keys 0, 1, 3, 4, 5 of each octave (C, D, F, G, A).
    const qreal bw = whiteW * 0.62, bh = (y1 - y0) * 0.6;
    for (int i = 0; i < n; ++i) {
        int k = i % 7;
        if (k == 2 || k == 6) continue;
        qreal cx = x0 + (i + 1) * whiteW;
        QRectF r(cx - bw / 2, y0, bw, bh);
        QLinearGradient g(r.left(), 0, r.right(), 0);
        g.setColorAt(0, QColor(60, 60, 64));
        g.setColorAt(0.3, QColor(25, 25, 28));
        g.setColorAt(1, QColor(5, 5, 6));
        p.setPen(QPen(QColor(0, 0, 0), 1));
        p.setBrush(g);
        p.drawRoundedRect(r.adjusted(0, -2, 0, 0), 1.5, 1.5);
        p.fillRect(QRectF(r.left() + bw * 0.2, r.top() + 2, bw * 0.18, bh * 0.8),
                   QColor(255, 255, 255, 40));
    }
}

// ---------------------------------------------------------------- splash

// 400 x 291. The start-up window lays its welcome text (blue, regular
// script) over the upper left part and its button near the lower right,
// so that part stays light and quiet.
QImage splash() {
    const int w = 400, h = 291;
    QImage img = canvas(w, h, false);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient bg(0, 0, 0, h);
    bg.setColorAt(0.0, QColor(255, 252, 243));
    bg.setColorAt(0.55, QColor(244, 240, 252));
    bg.setColorAt(1.0, QColor(214, 222, 248));
    p.fillRect(0, 0, w, h, bg);
    QRadialGradient glow(QPointF(340, 70), 140);
    glow.setColorAt(0, QColor(255, 226, 170, 150));
    glow.setColorAt(1, QColor(255, 226, 170, 0));
    p.fillRect(0, 0, w, h, glow);

    // A flowing staff across the right half, with notes riding on it.
    auto staffY = [](qreal x, int line) {
        return 96 + line * 7 + 26 * std::sin((x - 150) / 95.0) - (x - 150) * 0.12;
    };
    for (int line = 0; line < 5; ++line) {
        QPainterPath path;
        for (int x = 150; x <= w; x += 4) {
            qreal y = staffY(x, line);
            if (x == 150) path.moveTo(x, y);
            else path.lineTo(x, y);
        }
        QLinearGradient fade(150, 0, w, 0);
        fade.setColorAt(0, QColor(120, 90, 170, 0));
        fade.setColorAt(0.35, QColor(120, 90, 170, 110));
        fade.setColorAt(1, QColor(120, 90, 170, 150));
        p.setPen(QPen(QBrush(fade), 1.1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
    const QColor noteCol(92, 60, 150, 210);
    drawNote(p, QPointF(290, staffY(290, 3)), 6.5, noteCol, false);
    drawNote(p, QPointF(318, staffY(318, 2) + 3), 6.5, noteCol, true, 20, -6);
    drawNote(p, QPointF(370, staffY(370, 1) + 2), 6.5, noteCol, false);
    drawNote(p, QPointF(352, 30), 5.0, QColor(200, 120, 60, 150), true, 16, -5);
    drawNote(p, QPointF(300, 40), 4.2, QColor(200, 120, 60, 120), false);

    // Title and subtitle.
    QFont title = font(gSerif, 50, true, true);
    QPainterPath tp;
    tp.addText(18, 212, title, QStringLiteral("Morvela"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 30, 80, 60));
    p.drawPath(tp.translated(2.5, 2.5));
    QLinearGradient tg(0, 168, 0, 214);
    tg.setColorAt(0, QColor(60, 70, 190));
    tg.setColorAt(0.6, QColor(110, 40, 150));
    tg.setColorAt(1, QColor(170, 40, 110));
    p.setBrush(tg);
    p.setPen(QPen(QColor(255, 255, 255, 200), 0.8));
    p.drawPath(tp);

    p.setFont(font(gKai, 19));
    p.setPen(QColor(150, 40, 60));
    p.drawText(QRectF(240, 178, 152, 26), Qt::AlignRight | Qt::AlignVCenter,
               QString::fromUtf8("电 脑 电 子 琴"));
    p.setPen(QPen(QColor(150, 40, 60, 140), 1));
    p.drawLine(QPointF(250, 207), QPointF(392, 207));

    // The keyboard at the bottom, under a dark key slip with a red felt line.
    const qreal ky0 = 226;
    QLinearGradient slip(0, ky0 - 10, 0, ky0);
    slip.setColorAt(0, QColor(60, 36, 28));
    slip.setColorAt(1, QColor(24, 14, 10));
    p.fillRect(QRectF(0, ky0 - 10, w, 10), slip);
    p.fillRect(QRectF(0, ky0 - 2, w, 2), QColor(170, 30, 40));
    drawKeyboardStrip(p, -6, w + 20, ky0, h + 1, 17, 13);
    // A soft reflection over the keys.
    QLinearGradient shine(0, ky0, 0, h);
    shine.setColorAt(0, QColor(255, 255, 255, 0));
    shine.setColorAt(1, QColor(200, 210, 255, 60));
    p.fillRect(QRectF(0, ky0, w, h - ky0), shine);

    p.setPen(QPen(QColor(90, 80, 120), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
    p.end();
    return finish(img, false);
}

// ---------------------------------------------------------------- recorder

enum class RecSymbol { Play, Stop, Record };

// A 32 x 32 picture button. Up: a raised silver face with a dark symbol.
// Down: a sunken, darker face with the symbol lit and moved by one pixel.
QImage recorderButton(RecSymbol sym, bool down) {
    const int s = 32;
    QImage img = canvas(s, s, true);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF face(1, 1, s - 2, s - 2);
    QLinearGradient g(0, 0, 0, s);
    if (down) {
        g.setColorAt(0, QColor(120, 128, 140));
        g.setColorAt(1, QColor(190, 198, 210));
    } else {
        g.setColorAt(0, QColor(252, 252, 255));
        g.setColorAt(0.5, QColor(222, 226, 234));
        g.setColorAt(1, QColor(178, 184, 196));
    }
    p.setPen(QPen(QColor(70, 76, 90), 1));
    p.setBrush(g);
    p.drawRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    // Bevel: highlight on the lit side, shadow on the other.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(down ? QColor(60, 64, 74, 160) : QColor(255, 255, 255, 220), 1.2));
    p.drawArc(QRectF(3, 3, s - 7, s - 7), 45 * 16, 180 * 16);
    p.setPen(QPen(down ? QColor(255, 255, 255, 120) : QColor(90, 96, 110, 150), 1.2));
    p.drawArc(QRectF(3, 3, s - 7, s - 7), 225 * 16, 180 * 16);

    const qreal off = down ? 1 : 0;
    const QPointF c(s / 2.0 + off, s / 2.0 + off);
    QColor col, lit;
    switch (sym) {
    case RecSymbol::Play: col = QColor(20, 120, 40); lit = QColor(80, 235, 90); break;
    case RecSymbol::Stop: col = QColor(35, 45, 80); lit = QColor(90, 170, 255); break;
    case RecSymbol::Record: col = QColor(190, 20, 20); lit = QColor(255, 70, 60); break;
    }
    QPainterPath shape;
    switch (sym) {
    case RecSymbol::Play:
        shape.moveTo(c.x() - 5, c.y() - 8);
        shape.lineTo(c.x() + 8, c.y());
        shape.lineTo(c.x() - 5, c.y() + 8);
        shape.closeSubpath();
        break;
    case RecSymbol::Stop: shape.addRoundedRect(QRectF(c.x() - 6.5, c.y() - 6.5, 13, 13), 1.5, 1.5); break;
    case RecSymbol::Record: shape.addEllipse(c, 7.5, 7.5); break;
    }
    if (down) {
        QRadialGradient halo(c, 13);
        halo.setColorAt(0, QColor(lit.red(), lit.green(), lit.blue(), 150));
        halo.setColorAt(1, QColor(lit.red(), lit.green(), lit.blue(), 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(c, 13, 13);
    }
    QRadialGradient fill(c - QPointF(3, 3), 12);
    const QColor main = down ? lit : col;
    fill.setColorAt(0, main.lighter(150));
    fill.setColorAt(1, main);
    p.setPen(QPen(down ? main.darker(160) : col.darker(150), 1));
    p.setBrush(fill);
    p.drawPath(shape);
    p.end();
    return finish(img, true);
}

// ---------------------------------------------------------------- keyboard map

struct MapKey {
    const char* label;   // printed on the key
    qreal units;         // width in key units
    const char* token;   // note token, or nullptr
    const char* note;    // small second line for other keys (UTF-8), or nullptr
};

QColor registerColour(char octave) {
    switch (octave) {
    case 'L': return QColor(120, 60, 170);   // lowest
    case 'W': return QColor(30, 90, 200);    // low
    case 'K': return QColor(20, 140, 60);    // middle
    case 'H': return QColor(215, 110, 0);    // high
    default: return QColor(200, 30, 40);     // highest
    }
}

// The digit of numbered notation for a note letter, with dots below (low)
// or above (high) for the register.
void drawNumbered(QPainter& p, QRectF box, const char* token, const QColor& c) {
    static const char* letters = "CDEFGAB";
    int digit = int(std::strchr(letters, token[1]) - letters) + 1;
    int dots = 0;  // negative: below
    switch (token[0]) {
    case 'L': dots = -2; break;
    case 'W': dots = -1; break;
    case 'K': dots = 0; break;
    case 'H': dots = 1; break;
    default: dots = 2; break;
    }
    p.setPen(c);
    p.setFont(font(gSans, 13, true));
    p.drawText(box, Qt::AlignCenter, QString::number(digit));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    const qreal cx = box.center().x();
    for (int i = 0; i < std::abs(dots); ++i) {
        qreal y = dots < 0 ? box.center().y() + 9 + i * 4 : box.center().y() - 9 - i * 4;
        p.drawEllipse(QPointF(cx, y), 1.5, 1.5);
    }
}

QImage keyboardMap() {
    const int w = 920, h = 200;
    QImage img = canvas(w, h, false);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient bg(0, 0, 0, h);
    bg.setColorAt(0, QColor(70, 76, 92));
    bg.setColorAt(1, QColor(40, 44, 56));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(0, 0, w, h), 10, 10);

    const MapKey rows[5][14] = {
        {{"`", 1, nullptr, nullptr}, {"1", 1, "MC", nullptr}, {"2", 1, "MD", nullptr},
         {"3", 1, "ME", nullptr}, {"4", 1, "MF", nullptr}, {"5", 1, "MG", nullptr},
         {"6", 1, "LC", nullptr}, {"7", 1, "LD", nullptr}, {"8", 1, "LE", nullptr},
         {"9", 1, "LF", nullptr}, {"0", 1, "LG", nullptr}, {"-", 1, "LA", nullptr},
         {"=", 1, "LB", nullptr}, {"Backspace", 2, nullptr, "休止 XZ"}},
        {{"Tab", 1.5, nullptr, nullptr}, {"Q", 1, nullptr, "人声"}, {"W", 1, nullptr, "钢琴"},
         {"E", 1, nullptr, "3.5.7"}, {"R", 1, nullptr, "1.3.5"}, {"T", 1, "WC", nullptr},
         {"Y", 1, "WD", nullptr}, {"U", 1, "WE", nullptr}, {"I", 1, "WF", nullptr},
         {"O", 1, "WG", nullptr}, {"P", 1, "WA", nullptr}, {"[", 1, "WB", nullptr},
         {"]", 1, nullptr, nullptr}, {"\\", 1.5, nullptr, nullptr}},
        {{"Caps Lock", 1.75, nullptr, nullptr}, {"A", 1, nullptr, "温暖音"},
         {"S", 1, nullptr, "电颤琴"}, {"D", 1, nullptr, "2.4.6"}, {"F", 1, nullptr, "4.6.1"},
         {"G", 1, "KC", nullptr}, {"H", 1, "KD", nullptr}, {"J", 1, "KE", nullptr},
         {"K", 1, "KF", nullptr}, {"L", 1, "KG", nullptr}, {";", 1, "KA", nullptr},
         {"'", 1, "KB", nullptr}, {"Enter", 2.25, nullptr, nullptr}, {nullptr, 0, nullptr, nullptr}},
        {{"Shift", 2.25, nullptr, nullptr}, {"Z", 1, nullptr, "架子鼓"}, {"X", 1, nullptr, "6.1.3"},
         {"C", 1, nullptr, "5.7.2"}, {"V", 1, "HC", nullptr}, {"B", 1, "HD", nullptr},
         {"N", 1, "HE", nullptr}, {"M", 1, "HF", nullptr}, {",", 1, "HG", nullptr},
         {".", 1, "HA", nullptr}, {"/", 1, "HB", nullptr}, {"Shift", 2.75, nullptr, nullptr},
         {nullptr, 0, nullptr, nullptr}, {nullptr, 0, nullptr, nullptr}},
        {{"Ctrl", 1.25, nullptr, nullptr}, {"Alt", 1.25, nullptr, nullptr},
         {"Space", 5.5, nullptr, "停止 TZ"}, {"Alt", 1.25, nullptr, nullptr},
         {nullptr, 0, nullptr, nullptr}},
    };

    const qreal x0 = 12, y0 = 10, unit = 59.7, rowH = 36.4, gap = 3;
    for (int r = 0; r < 5; ++r) {
        qreal x = x0;
        for (int k = 0; k < 14 && rows[r][k].label; ++k) {
            const MapKey& mk = rows[r][k];
            QRectF key(x + gap / 2, y0 + r * rowH + gap / 2, mk.units * unit - gap, rowH - gap);
            x += mk.units * unit;
            const bool isNote = mk.token != nullptr;
            const QColor rc = isNote ? registerColour(mk.token[0]) : QColor(90, 96, 110);
            // Key cap: a raised face inside a darker skirt.
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(18, 20, 26));
            p.drawRoundedRect(key.translated(0, 1.5), 5, 5);
            QLinearGradient cap(0, key.top(), 0, key.bottom());
            if (isNote) {
                cap.setColorAt(0, QColor(255, 255, 255));
                cap.setColorAt(1, rc.lighter(185));
            } else {
                cap.setColorAt(0, QColor(206, 210, 218));
                cap.setColorAt(1, QColor(170, 175, 186));
            }
            p.setBrush(cap);
            p.setPen(QPen(isNote ? rc : QColor(120, 124, 136), isNote ? 1.4 : 1));
            p.drawRoundedRect(key, 5, 5);

            // The key's own name, top left.
            p.setPen(isNote ? QColor(60, 60, 70) : QColor(50, 54, 64));
            const bool longLabel = std::strlen(mk.label) > 1;
            p.setFont(font(gSans, longLabel ? 10 : 11, !longLabel));
            p.drawText(key.adjusted(5, 2, -3, -2), Qt::AlignLeft | Qt::AlignTop,
                       QString::fromUtf8(mk.label));
            if (isNote) {
                p.setPen(rc.darker(115));
                p.setFont(font(gSans, 15, true));
                p.drawText(key.adjusted(2, 9, -20, 0), Qt::AlignCenter, QString::fromLatin1(mk.token));
                drawNumbered(p, QRectF(key.right() - 18, key.top() + 2, 15, key.height() - 4), mk.token,
                             rc.darker(110));
            } else if (mk.note) {
                p.setPen(QColor(40, 44, 60));
                p.setFont(font(gHei, 12));
                p.drawText(key.adjusted(3, 11, -3, 0), Qt::AlignCenter, QString::fromUtf8(mk.note));
            }
        }
    }

    // Legend of the registers, right-aligned beside the space bar.
    struct Reg { char letter; const char* name; };
    const Reg regs[] = {{'L', "最低音"}, {'W', "低音"}, {'K', "中音"}, {'H', "高音"}, {'M', "最高音"}};
    p.setFont(font(gHei, 12));
    const QFontMetricsF fm(p.font());
    auto legendText = [](const Reg& rg) {
        return QString(QLatin1Char(rg.letter)) + QLatin1Char(' ') + QString::fromUtf8(rg.name);
    };
    const qreal swatch = 14, afterSwatch = 4, between = 12;
    qreal total = 0;
    for (const Reg& rg : regs) total += swatch + afterSwatch + fm.horizontalAdvance(legendText(rg)) + between;
    qreal lx = w - 14 - (total - between);
    const qreal ly = y0 + 4 * rowH + rowH / 2;
    for (const Reg& rg : regs) {
        const QColor c = registerColour(rg.letter);
        p.setPen(QPen(c, 1.2));
        p.setBrush(c.lighter(185));
        p.drawRoundedRect(QRectF(lx, ly - swatch / 2, swatch, swatch), 3, 3);
        lx += swatch + afterSwatch;
        const QString text = legendText(rg);
        p.setPen(QColor(235, 238, 245));
        p.drawText(QRectF(lx, ly - 10, fm.horizontalAdvance(text) + 2, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   text);
        lx += fm.horizontalAdvance(text) + between;
    }
    p.end();
    return finish(img, false);
}

// ---------------------------------------------------------------- cursor

// A pointing hand, 32 x 32, its index finger tip at (11, 1): the hot spot.
QImage keyCursor() {
    const int s = 32;
    QImage img = canvas(s, s, true);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    hand.setFillRule(Qt::WindingFill);
    // Index finger.
    hand.addRoundedRect(QRectF(8.5, 0.5, 5.5, 17), 2.75, 2.75);
    // Folded middle, ring and little fingers.
    hand.addRoundedRect(QRectF(13.0, 9.5, 5.0, 9), 2.5, 2.5);
    hand.addRoundedRect(QRectF(17.0, 10.5, 5.0, 8.5), 2.5, 2.5);
    hand.addRoundedRect(QRectF(21.0, 12.0, 4.5, 8), 2.25, 2.25);
    // Palm and wrist.
    QPainterPath palm;
    palm.moveTo(8.5, 14);
    palm.lineTo(25.5, 15);
    palm.lineTo(25.0, 23);
    palm.cubicTo(24.5, 27, 22, 29.5, 18, 29.5);
    palm.lineTo(13, 29.5);
    palm.cubicTo(10, 29.5, 8, 27, 6.5, 24.5);
    palm.closeSubpath();
    hand.addPath(palm);
    // Thumb, resting to the left.
    QPainterPath thumb;
    thumb.moveTo(9.0, 18.5);
    thumb.cubicTo(6.5, 16.0, 3.0, 14.5, 2.0, 17.0);
    thumb.cubicTo(1.2, 19.0, 4.5, 22.5, 7.5, 25.5);
    thumb.lineTo(10.0, 22.0);
    thumb.closeSubpath();
    hand.addPath(thumb);
    hand = hand.simplified();

    p.setPen(QPen(QColor(0, 0, 0), 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient g(0, 0, s, s);
    g.setColorAt(0, QColor(255, 255, 255));
    g.setColorAt(1, QColor(225, 230, 240));
    p.setBrush(g);
    p.drawPath(hand);
    // Creases between the folded fingers.
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.drawLine(QPointF(17.5, 12.5), QPointF(17.5, 16.5));
    p.drawLine(QPointF(21.5, 13.5), QPointF(21.5, 17.5));
    p.end();
    return finish(img, true);
}

// ---------------------------------------------------------------- icon

QImage appIcon() {
    const int s = 64;
    QImage img = canvas(s, s, true);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF r(2, 2, s - 4, s - 4);
    QLinearGradient g(0, 0, 0, s);
    g.setColorAt(0, QColor(96, 80, 200));
    g.setColorAt(1, QColor(170, 40, 120));
    p.setPen(QPen(QColor(50, 30, 90), 1.5));
    p.setBrush(g);
    p.drawRoundedRect(r, 12, 12);
    p.save();
    QPainterPath clip;
    clip.addRoundedRect(r.adjusted(1, 1, -1, -1), 11, 11);
    p.setClipPath(clip);
    drawKeyboardStrip(p, 3, 61, 36, 62, 11.6, 2);
    p.restore();
    drawNote(p, QPointF(22, 27), 5.5, QColor(255, 255, 255), true, 18, -5);
    p.end();
    return finish(img, true);
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    gOut = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/images");
    QDir().mkpath(gOut);
    loadFont("/usr/share/fonts/truetype/arphic/ukai.ttc", &gKai);
    loadFont("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", &gHei);
    loadFont("/usr/share/fonts/truetype/dejavu/DejaVuSerif-BoldItalic.ttf", &gSerif);
    loadFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", &gSans);
    loadFont("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", &gSans);

    bool ok = save(whiteKey(false), "key_white_up.png") && save(whiteKey(true), "key_white_down.png") &&
              save(blackKey(false), "key_black_up.png") && save(blackKey(true), "key_black_down.png") &&
              save(splash(), "splash.png") &&
              save(recorderButton(RecSymbol::Play, false), "rec_play_up.png") &&
              save(recorderButton(RecSymbol::Play, true), "rec_play_down.png") &&
              save(recorderButton(RecSymbol::Stop, false), "rec_stop_up.png") &&
              save(recorderButton(RecSymbol::Stop, true), "rec_stop_down.png") &&
              save(recorderButton(RecSymbol::Record, false), "rec_record_up.png") &&
              save(recorderButton(RecSymbol::Record, true), "rec_record_down.png") &&
              save(keyboardMap(), "keyboard_map.png") && save(keyCursor(), "key_cursor.png") &&
              save(appIcon(), "app_icon.png");
    return ok ? 0 : 1;
}
