// A multi-line box lays its text out once, whatever the text holds: control characters show as their pictures
// (one for one, so positions stay those of the text) and come back from an edit as they were; and the box's width
// does not depend on its lines, so no text can show and hide a scroll bar without end.
#include "ui/controls.h"

#include <QtWidgets>
#include <gtest/gtest.h>

namespace {

// Counts the shows and hides of the box's scroll bars.
struct ScrollBarWatch : QObject {
    int changes = 0;
    explicit ScrollBarWatch(QPlainTextEdit* edit) {
        edit->verticalScrollBar()->installEventFilter(this);
        edit->horizontalScrollBar()->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* e) override {
        changes += e->type() == QEvent::Show || e->type() == QEvent::Hide;
        return false;
    }
};

// A score as a fuzzer wrote it, on two lines; `stray` stands in its middle. As the score box shows it, its first
// line ends on the stray character one pixel wider than the box.
QString lines(QChar stray) {
    return QStringLiteral("VS7YQ3KG8KE4KG4HC16KA8HC8KG16KQMenuG8KC41MGLC1rrrrrrrrrrrrrrrrrrrMG41MG4KC3T") + stray +
           QStringLiteral("YQ131LQ2C1JP99TJGLC") + QString(17, QChar(0xC8)) +
           QStringLiteral("1MG414KC32KA8HC8HC16KB8KA4KB4HC16KA4KB4HC4KA4KA4KG4KE4KC4KD32KG8KE4KG4HC12KB4KA8HC8KG16KG8"
                          "KD4KE4KF98WB4KC32TZ\r\n");
}

}  // namespace

TEST(TextBoxLayout, ATextIsLaidOutOnceAndItsControlCharactersShow) {
    QWidget window;
    ui::TextBox box(true, &window);
    box.setWrapAnywhere();
    QFont font = box.font();
    font.setPointSizeF(9);
    box.setFont(font);
    box.setGeometry(0, 0, 574, 86);  // the score box
    window.show();
    auto* edit = static_cast<QPlainTextEdit*>(box.editor());
    ScrollBarWatch watch(edit);
    // A C0 control character has a picture; a C1 one shows as Qt shows it.
    for (QChar stray : {QChar(0x01), QChar(0x81)}) {
        box.setText(lines(stray));
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        watch.changes = 0;
        QCoreApplication::processEvents();
        EXPECT_EQ(watch.changes, 0) << "stray " << int(stray.unicode());
    }

    // Long texts show in paragraphs that each fill one line, their control characters counted.
    const QString score = QStringLiteral("KC8\x19\tKD4\x7f").repeated(60);
    box.setText(score);
    QCoreApplication::processEvents();
    for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next()) EXPECT_EQ(b.layout()->lineCount(), 1);
    EXPECT_EQ(edit->toPlainText().remove(u'\n').toStdString(),
              QStringLiteral("KC8\u2419\u2409KD4\u2421").repeated(60).toStdString());
    // The user types: the text keeps its control characters.
    QKeyEvent key(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::sendEvent(edit, &key);
    edit->insertPlainText(QStringLiteral("TZ"));
    EXPECT_EQ(box.text(), score + QStringLiteral("TZ"));
}
