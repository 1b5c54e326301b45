// The goodbye window: shaped as the outline of the two large characters
// "再 见"; it ends the program four seconds after it is shown, or at a click.
#pragma once

#include "ui/controls.h"

#include <QRegion>
#include <QWidget>

// The goodbye window (the form the other windows know as Form3).
class GoodbyeWindow : public QWidget {
    Q_OBJECT
public:
    explicit GoodbyeWindow(QWidget* parent = nullptr);
    void Show();
    void Form_Load();  // grey back colour, the window shaped as "再 见" in a large Kai face, the 4 s clock started
    void Form_Click();  // a click anywhere on the window: ends the program
    void Timer1_Timer();  // 4 s after the showing: ends the program

    ui::Timer* Timer1 = nullptr;  // 4 s to the end of the program
    QRegion shape() const { return shape_; }
    // The outline of a text drawn at (0, 0) in a font, as a region.
    static QRegion TextRegion(const QString& text, const QFont& font, const QSize& area);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    bool loaded_ = false;
    QRegion shape_;
};
