// A multi-line box lays its text out once, whatever the text holds: control characters show as their pictures,
// one for one, and come back from an edit as they were; the box's width does not depend on its lines.
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
    // A score a fuzzer wrote: in the score box its first line ends on `stray`, one pixel wider than the box. A C0
    // control character has a picture; a C1 one shows as Qt shows it.
    for (QChar stray : {QChar(0x01), QChar(0x81)}) {
        box.setText(QStringLiteral("VS7YQ3KG8KE4KG4HC16KA8HC8KG16KQMenuG8KC41MGLC1rrrrrrrrrrrrrrrrrrrMG41MG4KC3T") +
                    stray + QStringLiteral("YQ131LQ2C1JP99TJGLC") + QString(17, QChar(0xC8)) +
                    QStringLiteral("1MG414KC32KA8HC8HC16KB8KA4KB4HC16KA4KB4HC4KA4KA4KG4KE4KC4KD32KG8KE4KG4HC12KB4KA8HC"
                                   "8KG16KG8KD4KE4KF98WB4KC32TZ\r\n"));
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        watch.changes = 0;
        QCoreApplication::processEvents();
        EXPECT_EQ(watch.changes, 0) << "stray " << int(stray.unicode());
    }

    // Short and long texts (these in paragraphs that each fill one line) show the pictures; an edit keeps the
    // characters.
    const QString part = QStringLiteral("KC8\x19\tKD4\x7f"), shown = QStringLiteral("KC8\u2419\u2409KD4\u2421");
    for (int times : {1, 60}) {
        box.setText(part.repeated(times));
        QCoreApplication::processEvents();
        for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next()) EXPECT_EQ(b.layout()->lineCount(), 1);
        EXPECT_EQ(edit->toPlainText().remove(u'\n').toStdString(), shown.repeated(times).toStdString());
        QKeyEvent key(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::sendEvent(edit, &key);
        edit->insertPlainText(QStringLiteral("TZ"));
        EXPECT_EQ(box.text().toStdString(), (part.repeated(times) + QStringLiteral("TZ")).toStdString()) << times;
    }
}
