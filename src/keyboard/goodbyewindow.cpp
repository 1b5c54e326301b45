// The goodbye window: the "再 见" outline as the window's shape, and the end of the program.
#include "keyboard/goodbyewindow.h"

#include "platform/dialogs.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace {

// A Kai-style face for the characters; the installed AR PL UKai is one.
QFont kaiFont(double points) {
    QFont f;
    const QStringList families = QFontDatabase::families();
    for (const char* name : {"AR PL UKai CN", "AR PL UKai TW", "KaiTi", "楷体", "AR PL UMing CN", "WenQuanYi Micro Hei"}) {
        if (families.contains(QString::fromUtf8(name))) {
            f.setFamily(QString::fromUtf8(name));
            break;
        }
    }
    f.setPointSizeF(points);
    return f;
}

}  // namespace

GoodbyeWindow::GoodbyeWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Morvela"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    // 7485 x 3795 twips: 499 x 253 pixels.
    setFixedSize(499, 253);
    Timer1 = new ui::Timer(this);
    Timer1->onTimer = [this] { Timer1_Timer(); };
}

QRegion GoodbyeWindow::TextRegion(const QString& text, const QFont& font, const QSize& area) {
    QPainterPath path;
    QFontMetricsF fm(font);
    path.addText(0, fm.ascent(), font, text);
    QBitmap mask(area);
    mask.fill(Qt::color0);
    QPainter p(&mask);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillPath(path, Qt::color1);
    p.end();
    return QRegion(mask);
}

void GoodbyeWindow::Show() {
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect g = s->availableGeometry();
        move(g.center() - rect().center());
    }
    show();
    raise();
}

void GoodbyeWindow::Form_Load() {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(128, 128, 128));
    setPalette(pal);
    setAutoFillBackground(true);
    setFont(kaiFont(150));
    shape_ = TextRegion(QStringLiteral("再 见"), font(), size());
    setMask(shape_);
    Timer1->setInterval(4000);
    Timer1->setEnabled(true);
}

void GoodbyeWindow::paintEvent(QPaintEvent*) {
    // Nothing but the back colour: the shape is the whole picture.
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
}

void GoodbyeWindow::Form_Click() { plat::endProgram(0); }
void GoodbyeWindow::Timer1_Timer() { plat::endProgram(0); }

// Closing the goodbye window by the window system ends the program too.
void GoodbyeWindow::closeEvent(QCloseEvent* e) {
    e->ignore();
    rt::guard([] { plat::endProgram(0); });
}

void GoodbyeWindow::mousePressEvent(QMouseEvent* e) {
    QWidget::mousePressEvent(e);
    rt::guard([this] { Form_Click(); });
}
