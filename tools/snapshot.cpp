// Draws the program's windows offscreen into PNG files, for looking at the
// layout without a display: snapshot <output folder> [program folder].
#include "../bench/quietdialogs.h"
#include "editor/editorwindow.h"
#include "editor/songmodel.h"
#include "keyboard/appfolder.h"
#include "keyboard/startupwindow.h"
#include "keyboard/mainwindow.h"
#include "keyboard/goodbyewindow.h"
#include "keyboard/scorewindow.h"
#include "midi/state.h"
#include "platform/dialogs.h"
#include "platform/midiout.h"

#include <QApplication>
#include <QDir>
#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <cstdio>

namespace {

// Prints every caption of a shown window that does not fit its control, and
// every pair of sibling controls that overlap.
void reportCramped(const QString& name, QWidget* window) {
    const QList<QWidget*> all = window->findChildren<QWidget*>();
    for (QWidget* w : all) {
        if (!w->isVisibleTo(window)) continue;
        QString text;
        bool cut = false;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            text = b->text();
            // A push button's hint has a minimum width; its caption needs less.
            const int need = qobject_cast<QPushButton*>(b) ? b->fontMetrics().horizontalAdvance(text) + 8
                                                           : b->sizeHint().width();
            cut = !text.isEmpty() && need > b->width();
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            text = e->text();
            cut = e->fontMetrics().horizontalAdvance(text) > e->contentsRect().width() - 4;
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            text = l->text();
            cut = !l->wordWrap() && !text.trimmed().isEmpty() && l->sizeHint().width() > l->width() + 1;
            if (l->wordWrap() && !text.isEmpty()) cut = l->heightForWidth(l->width()) > l->height();
        }
        if (cut)
            std::fprintf(stderr, "%s: \"%s\" needs %dx%d, has %dx%d\n", qPrintable(name), qPrintable(text),
                         w->sizeHint().width(), w->sizeHint().height(), w->width(), w->height());
    }
    for (QWidget* a : all) {
        if (!a->isVisibleTo(window) || !a->parentWidget()) continue;
        auto captioned = [](QWidget* w) { return qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w); };
        if (!captioned(a) || a->property("text").toString().isEmpty()) continue;
        for (QWidget* b : all) {
            if (b == a || b->parentWidget() != a->parentWidget() || !b->isVisibleTo(window)) continue;
            if (b->geometry().intersects(a->geometry()) && (!captioned(b) || a < b))
                std::fprintf(stderr, "%s: overlap %s \"%s\" / %s\n", qPrintable(name), a->metaObject()->className(),
                             qPrintable(a->property("text").toString()), b->metaObject()->className());
        }
    }
}

// The music editor opened through the main window's "编辑" button, with a
// few notes and drum hits typed in, at 2/4 and at 4/4, and its recorder row
// as it looks while recording (drawn from the state alone: nothing records).
void snapEditor(QApplication& app, MainWindow* form, const QString& out) {
    EditorWindow* editor = nullptr;
    midi::Hooks.OpenEditor = [&editor] {
        if (!editor) editor = new EditorWindow();
        editor->Show();
    };
    form->BJCK_Click();
    if (!editor) return;
    auto fill = [&](int steps) {
        static const char* const notes[3] = {"KCKDKEKFKGKAKBHC", "CC--WG--KC--WG--", "MCMEMG--MCMEMG--"};
        for (int k = 0; k < 3; ++k) {
            QString text = QString::fromLatin1(notes[k]).repeated(steps / 8 + 1).left(steps * 2);
            editor->YF1[k]->setText(text);
        }
        for (int r = 0; r < 5; ++r)
            for (int i = r; i < steps; i += 4) editor->DJY[r][i]->setValue(1);
    };
    fill(16);
    app.processEvents();
    editor->grab().save(out + QStringLiteral("/editor-2-4.png"));
    reportCramped(QStringLiteral("editor-2-4"), editor);
    editor->JPFL[2]->setValue(true);
    fill(32);
    app.processEvents();
    editor->grab().save(out + QStringLiteral("/editor-4-4.png"));
    reportCramped(QStringLiteral("editor-4-4"), editor);
    // The widest texts: the longest instrument names and, at 2/4, the
    // largest bar number.
    editor->JPFL[0]->setValue(true);
    editor::song().setBarCount(editor::song().lastBarLimit());
    editor->HScroll1->setMax(editor::song().lastBarLimit());
    editor->HScroll1->setValue(editor::song().lastBarLimit());
    editor->SYYQ[0]->setListIndex(108);
    editor->SYYQ[1]->setListIndex(65);
    app.processEvents();
    const QImage widest = editor->grab().toImage();
    widest.scaled(widest.size() * 2).save(out + QStringLiteral("/editor-widest.png"));
    reportCramped(QStringLiteral("editor-widest"), editor);
    // The recorder row while a take records: option selected, clock running.
    {
        ui::Handler h = std::move(editor->LUYINJI[2]->onClick);
        editor->LUYINJI[2]->setValue(true);
        editor->LUYINJI[2]->onClick = std::move(h);
    }
    editor->LYSJ->setCaption(QStringLiteral("当前: 12:34"));
    editor->yinzi->setListIndex(2);
    app.processEvents();
    const QRect row(0, editor->LUYINJI[0]->parentWidget()->y() - 4, editor->width(), 36);
    const QImage strip = editor->grab(row).toImage();
    strip.scaled(strip.size() * 2).save(out + QStringLiteral("/editor-recorder.png"));
    editor->Unload();
    delete editor;
    midi::Hooks.OpenEditor = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    if (argc > 2) keyboard::SetProgramFolder(QString::fromLocal8Bit(argv[2]));
    QuietDialogs dialogs;
    plat::setDialogs(&dialogs);
    auto capture = std::make_shared<plat::CaptureMidiDevice>("Snapshot");
    plat::setMidiDeviceTable(capture, {capture});
    StartupWindow::OtherInstanceRunning = [] { return false; };

    auto* splash = new StartupWindow();
    splash->Show();
    splash->grab().save(out + QStringLiteral("/splash.png"));
    reportCramped(QStringLiteral("splash"), splash);
    splash->Command1_Click();
    MainWindow* form = midi::G.Form1Instance;
    for (int page : {0, 1, 2, 4, 5}) {
        form->Xxk[page]->setValue(true);
        app.processEvents();
        form->grab().save(out + QStringLiteral("/main-page%1.png").arg(page));
        reportCramped(QStringLiteral("main-page%1").arg(page), form);
    }
    // A chord pressed with the mouse on the keys, a note from the keyboard.
    form->Xxk[0]->setValue(true);
    form->SFYXYZ_KeyDown('G', 0);
    form->Picture1_DragOver(25);
    app.processEvents();
    form->grab().save(out + QStringLiteral("/main-playing.png"));
    form->Image3_Click();
    app.processEvents();
    form->grab().save(out + QStringLiteral("/main-keymap.png"));
    form->Image3_Click();
    // A score playing, then the score entry window.
    form->Text3->setText(QStringLiteral("VS9KC8KCKGKGKAKAKG16TZ"));
    form->Yuepu_Click(0);
    app.processEvents();
    form->grab().save(out + QStringLiteral("/main-score.png"));
    form->Yuepu_Click(0);
    form->XINJIAN_Click();
    app.processEvents();
    ScoreEntryWindow::Instance->grab().save(out + QStringLiteral("/score-entry.png"));
    reportCramped(QStringLiteral("score-entry"), ScoreEntryWindow::Instance);
    ScoreEntryWindow::Instance->FANHUI_Click();
    snapEditor(app, form, out);
    GoodbyeWindow bye;
    bye.Form_Load();
    QImage shape(bye.size(), QImage::Format_RGB32);
    shape.fill(Qt::white);
    QPainter p(&shape);
    p.setClipRegion(bye.shape());
    p.fillRect(shape.rect(), QColor(128, 128, 128));
    p.end();
    shape.save(out + QStringLiteral("/goodbye-shape.png"));
    // What shows through the shape: the window as it paints itself.
    QImage seen(bye.size(), QImage::Format_RGB32);
    seen.fill(Qt::white);
    const QPixmap drawn = bye.grab();
    QPainter q(&seen);
    q.setClipRegion(bye.shape());
    q.drawPixmap(0, 0, drawn);
    q.end();
    seen.save(out + QStringLiteral("/goodbye.png"));
    return 0;
}
