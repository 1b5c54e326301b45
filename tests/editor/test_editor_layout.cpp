// What the eye sees in the editor at the installed fonts: every caption,
// label, list entry and full note bar whole, every control inside its panel,
// at each meter and at the largest bar number; every step box uncovered,
// coloured by its group and showing its tick.
#include "editorfixture.h"
#include "platform/midiout.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace {

double luminance(QRgb c) {
    auto lin = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(qRed(c)) + 0.7152 * lin(qGreen(c)) + 0.0722 * lin(qBlue(c));
}
double contrast(QRgb a, QRgb b) {
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

}  // namespace

TEST_F(EditorTest, EveryCaptionAndEntryReadsWholeAtEveryMeter) {
    // The names of the program's own devices (the tests' devices have others).
    for (const std::string& name : {plat::mapperDeviceName(), plat::synthDeviceName()})
        w->ComDevies->addItem(QString::fromStdString(name));
    for (int meter : {0, 1, 2}) {
        w->JPFL[meter]->setValue(true);
        dialogs.inputAnswers = {QString::number(song().lastBarLimit())};
        w->ZDXJZS_Click();
        w->HScroll1->setValue(song().lastBarLimit());  // the widest bar numbers
        for (int k = 0; k < 7; ++k) {  // a whole bar of the widest notes
            QWidget* box = w->YF1[k]->editor();
            const QString bar(w->YF1[k]->maxLength(), u'M');
            EXPECT_LE(QFontMetrics(box->font()).horizontalAdvance(bar), box->contentsRect().width() - 4) << meter;
        }
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (!c->isVisibleTo(w.get()) || !c->parentWidget()) continue;
            const std::string name = c->metaObject()->className() + (" " + c->property("text").toString().toStdString()) + " at meter " + std::to_string(meter);
            EXPECT_TRUE(c->parentWidget()->rect().contains(c->geometry())) << name;
            auto* label = qobject_cast<QLabel*>(c);
            if (qobject_cast<QPushButton*>(c)) {
                // A push button's hint has a minimum width; its caption needs less.
                EXPECT_LE(c->fontMetrics().horizontalAdvance(c->property("text").toString()) + 8, c->width()) << name;
            } else if (qobject_cast<QAbstractButton*>(c) || (label && !label->wordWrap())) {
                EXPECT_LE(c->sizeHint().width(), c->width()) << name;
            } else if (label) {
                EXPECT_LE(label->heightForWidth(label->width()), label->height()) << name;
            }
            if (auto* box = qobject_cast<QComboBox*>(c)) {
                // The widest entry of the list shows whole in the closed box.
                QStyleOptionComboBox opt;
                opt.initFrom(box);
                opt.editable = box->isEditable();
                const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, box);
                for (int i = 0; i < box->count(); ++i)
                    EXPECT_LE(box->fontMetrics().horizontalAdvance(box->itemText(i)) + 4, field.width())
                        << box->itemText(i).toStdString();
            }
        }
    }
}

// Every step box can be clicked (no control lies over it), is coloured by its
// group of four and lines up with the note boxes, at every meter (2/4 as shown).
TEST_F(EditorTest, EveryStepBoxIsUncoveredAndColouredByItsGroup) {
    const QColor colours[4] = {ui::paletteColor(13), ui::paletteColor(10), ui::paletteColor(9), ui::paletteColor(14)};
    for (int meter : {0, 1, 2}) {
        if (meter > 0) w->JPFL[meter]->setValue(true);
        ASSERT_EQ(static_cast<int>(w->DJY[4].size()), w->BarLastStep + 1);
        EXPECT_EQ(w->Picture1->findChildren<ui::CheckBox*>().size(), 5 * (w->BarLastStep + 1)) << "no stale column";
        // The note boxes end with the bar's last column.
        EXPECT_NEAR(w->YF1[6]->geometry().right(), w->DJY[4].back()->geometry().right(), 3) << meter;
        for (int r = 0; r < 5; ++r) {
            for (int s = 0; s <= w->BarLastStep; ++s) {
                ui::CheckBox* box = w->DJY[r][s];
                const QRect area = box->rect().adjusted(1, 1, -1, -1);
                for (QPoint p : {area.topLeft(), area.topRight(), area.center(), area.bottomLeft(), area.bottomRight()}) {
                    p = box->mapTo(w.get(), p);
                    QWidget* top = w->childAt(p);
                    EXPECT_TRUE(w->rect().contains(p) && (top == box || box->isAncestorOf(top)))
                        << meter << " row " << r << " step " << s;
                }
                EXPECT_EQ(box->palette().color(QPalette::Window), colours[(s / 4) % 4]) << s;
                if (meter > 0 || r > 0 || s % 4) continue;
                // A tick shows on each column colour.
                box->setValue(0);
                const QImage off = box->grab().toImage();
                box->setValue(1);
                const QImage on = box->grab().toImage();
                const QRgb back = box->palette().color(QPalette::Base).rgb();
                double best = 1;
                for (int y = 0; y < on.height(); ++y)
                    for (int x = 0; x < on.width(); ++x)
                        if (on.pixel(x, y) != off.pixel(x, y)) best = std::max(best, contrast(on.pixel(x, y), back));
                EXPECT_GE(best, 4.5) << "step " << s;
            }
        }
    }
}
