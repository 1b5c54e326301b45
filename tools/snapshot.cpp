// Draws the program's windows offscreen into PNG files, for looking at the
// layout without a display: snapshot <output folder> [program folder].
#include "../bench/quietdialogs.h"
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
#include <QPainter>

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
    DZQQD::OtherInstanceRunning = [] { return false; };

    auto* splash = new DZQQD();
    splash->Show();
    splash->grab().save(out + QStringLiteral("/splash.png"));
    splash->Command1_Click();
    Form1* form = midi::G.Form1Instance;
    for (int page : {0, 1, 2, 4, 5}) {
        form->Xxk[page]->setValue(true);
        app.processEvents();
        form->grab().save(out + QStringLiteral("/main-page%1.png").arg(page));
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
    YYLR::Instance->grab().save(out + QStringLiteral("/score-entry.png"));
    YYLR::Instance->FANHUI_Click();
    Form3 bye;
    bye.Form_Load();
    QImage shape(bye.size(), QImage::Format_RGB32);
    shape.fill(Qt::white);
    QPainter p(&shape);
    p.setClipRegion(bye.shape());
    p.fillRect(shape.rect(), QColor(128, 128, 128));
    p.end();
    shape.save(out + QStringLiteral("/goodbye-shape.png"));
    return 0;
}
