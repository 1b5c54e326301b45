// Start of the program: the start-up window, the settings file, the main
// window's load and activation, and the way out through the goodbye window.
#include "mainwindowfixture.h"

#include "keyboard/startupwindow.h"
#include "keyboard/goodbyewindow.h"
#include "platform/midiout.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QRadioButton>

#include <utility>

using namespace midi;
using testing_support::hexList;

namespace {

QStringList defaultLines() {
    QStringList lines = keyboard::DefaultSettingsText().split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

QByteArray settingsBytes(const QStringList& lines, const QString& end = QStringLiteral("\r\n")) {
    QString text;
    for (const QString& l : lines) text += l + end;
    return plat::toGbk(text);
}

}  // namespace

// The start-up window runs before any main window and settings file.
class StartupWindow : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        form.reset();
        G.Form1Instance = nullptr;
        QFile::remove(folder.file(QStringLiteral("vanto.ini")));
    }
};

TEST_F(StartupWindow, SecondCopyOnlySaysSoAndEnds) {
    DZQQD::OtherInstanceRunning = [] { return true; };
    DZQQD splash;
    EXPECT_THROW(splash.Form_Load(), plat::ProgramEnded);
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("你已经运行这个应用程序了！")});
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("vanto.ini"))));
}

TEST_F(StartupWindow, WritesTheDefaultSettingsAndItsButtonOpensTheMainWindow) {
    DZQQD::OtherInstanceRunning = [] { return false; };
    auto* splash = new DZQQD();
    splash->Show();
    const QByteArray bytes = folder.read(QStringLiteral("vanto.ini"));
    // GBK with CR LF: 52 lines and an empty 53rd; "玻璃1.wav" is 4 + 5 bytes.
    EXPECT_TRUE(bytes.endsWith("\r\n\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 53);
    EXPECT_EQ(bytes.count('\n'), 53);
    EXPECT_TRUE(bytes.contains(plat::toGbk(QStringLiteral("玻璃1.wav\r\n"))));
    EXPECT_FALSE(bytes.contains(QStringLiteral("玻璃").toUtf8()));

    splash->Command1_Click();
    form.reset(G.Form1Instance);  // the fixture owns it from here
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->WasActivated);
    EXPECT_FALSE(splash->Timer1->enabled());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A program folder where vanto.ini cannot be created: the message says the
// defaults are used, and they are, in memory.
TEST_F(StartupWindow, UnwritableFolderRunsWithTheDefaultsInMemory) {
    DZQQD::OtherInstanceRunning = [] { return false; };
    keyboard::SetProgramFolder(folder.file(QStringLiteral("no such folder")));
    resetState();
    DZQQD splash;
    splash.Form_Load();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("本次将使用默认设置")));
    EXPECT_EQ(G.InstrumentPresets(0, 0), 3);
    EXPECT_EQ(G.RhythmPattern(5, 2).Message, 0x99 + (22 + 35) * 256 + 100 * 65536);
    EXPECT_EQ(G.SoundEffectNames(5), QStringLiteral("关门声1.wav"));
}

using SettingsFile = Form1Test;
using MainWindowLoad = Form1Test;
using MainWindow = Form1Test;

TEST_F(SettingsFile, WrittenFormReadsBackWithAnyLineEndAnyCaseAndExtraLinesIgnored) {
    for (const QString end : {QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\r")}) {
        SCOPED_TRACE(end.size() == 2 ? "CR LF" : end == u'\n' ? "LF" : "CR");
        QStringList lines = defaultLines();
        ASSERT_EQ(lines.size(), 52);
        lines[3] = QStringLiteral(" 128 ");
        lines[40] = QStringLiteral(" 46 ");
        lines[47] = QStringLiteral("  两个空格.wav");
        for (int i = 0; i < 8; ++i) lines << QStringLiteral("anything");  // 60 lines
        // The CR file is named in other letters: it is found all the same.
        QFile::remove(folder.file(QStringLiteral("vanto.ini")));
        folder.write(end == u'\r' ? QStringLiteral("VANTO.INI") : QStringLiteral("vanto.ini"), settingsBytes(lines, end));
        ASSERT_FALSE(reopen());
        EXPECT_EQ(G.InstrumentPresets(1, 0), 128);
        EXPECT_EQ(G.DrumPadSounds(4), 46);
        EXPECT_EQ(G.RhythmPattern(5, 4).Message, 0x99 + 81 * 256 + 100 * 65536);
        EXPECT_EQ(G.SoundEffectNames(1), QStringLiteral("  两个空格.wav"));
        EXPECT_EQ(G.SoundEffectNames(5), QStringLiteral("关门声1.wav"));
        EXPECT_TRUE(dialogs.messages.isEmpty());
    }
}

TEST_F(SettingsFile, BadFilesAreKeptAsBackupRewrittenAndTheProgramEnds) {
    struct Case {
        const char* name;
        std::function<void(QStringList&)> spoil;
    };
    const std::vector<Case> cases = {
        {"51 lines", [](QStringList& l) { l.removeLast(); }},
        {"abc on line 5", [](QStringList& l) { l[4] = QStringLiteral("abc"); }},
        {"93 on line 37", [](QStringList& l) { l[36] = QStringLiteral(" 93 "); }},
        {"overflowing number", [](QStringList& l) { l[0] = QStringLiteral(" 99999 "); }},
        // No setting is that long: a name line of 2000 characters, and a
        // file of 4 MB without a line end, are read no further than that.
        {"name line of 2000 characters", [](QStringList& l) { l[49] = QString(2000, u'x') + QStringLiteral(".wav"); }},
        {"no line end", [](QStringList& l) { l = QStringList{QString(4 << 20, u' ') + QStringLiteral("3")}; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QStringList lines = defaultLines();
        c.spoil(lines);
        const QByteArray bad = settingsBytes(lines);
        folder.write(QStringLiteral("vanto.ini"), bad);
        EXPECT_TRUE(reopen());
        EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("读取设置文件出错，软件需重新启动!")});
        EXPECT_EQ(folder.read(QStringLiteral("vanto.ini.bak")), bad);
        EXPECT_EQ(folder.read(QStringLiteral("vanto.ini")), defaultSettingsBytes());
    }
}

TEST_F(SettingsFile, AnyFailureInTheActivationTakesTheSettingsErrorPath) {
    // Not only run-time errors: whatever escapes a handler the activation runs.
    form->Text3->onChange = [] { throw 42; };
    G.ScoreText = QStringLiteral("KC4");
    const QByteArray user = defaultSettingsBytes() + "user's extra line\r\n";
    folder.write(QStringLiteral("vanto.ini"), user);
    EXPECT_THROW(form->Form_Activate(), plat::ProgramEnded);
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("读取设置文件出错，软件需重新启动!")});
    EXPECT_EQ(folder.read(QStringLiteral("vanto.ini")), defaultSettingsBytes());
    EXPECT_EQ(folder.read(QStringLiteral("vanto.ini.bak")), user);
}

TEST_F(SettingsFile, MissingFileAndMissingRecordFolderAreNoErrors) {
    QFile::remove(folder.file(QStringLiteral("vanto.ini")));
    QDir(folder.file(QStringLiteral("演奏记录"))).removeRecursively();
    ASSERT_FALSE(reopen());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(form->WasActivated);
    EXPECT_EQ(form->File1->listCount(), 0);
    EXPECT_EQ(G.InstrumentPresets(5, 0), 0);
}

TEST_F(MainWindowLoad, EmptyDeviceListLeavesTheDeviceClosed) {
    plat::setMidiDeviceTable(nullptr, {});
    ASSERT_FALSE(reopen());
    EXPECT_EQ(G.MidiOutHandle, 0u);
    EXPECT_EQ(form->ComDevies->listCount(), 0);
}

// A first rhythm file that cannot be a pattern is reported; the start goes
// on, and Label11 names no file that was never read.
TEST_F(MainWindowLoad, BadFirstRhythmFileIsReportedAndTheStartGoesOn) {
    struct Case {
        const char* name;
        QByteArray bytes;
        QString label;
    };
    const Case cases[] = {
        {"oversized", QByteArray("050201030700") + QByteArray(40000, '-'), QStringLiteral("节奏文件")},
        {"velocity field out of the list", QByteArray("090201020300") + QByteArray(49, '-') + "a.bin\r\n",
         QStringLiteral("1★a.bin")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        folder.write(QStringLiteral("演奏记录/a.bin"), c.bytes);
        ASSERT_FALSE(reopen());
        EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("打开节奏文件出错，请检查！")});
        EXPECT_TRUE(form->WasActivated);
        EXPECT_EQ(form->Label11->caption(), c.label);
        EXPECT_EQ(form->VsbVol->listIndex(), 5);
        EXPECT_EQ(form->LblInst[0]->listIndex(), -1);
        EXPECT_EQ(form->Text6->text(), QStringLiteral("145"));  // the chord set-up ran
    }
}

TEST_F(MainWindowLoad, FirstActivationSendsOnlyProgramChangesAndSetsTheDefaults) {
    auto log = std::make_shared<plat::CaptureMidiDevice>("log");
    plat::setMidiDeviceTable(log, {log});
    ASSERT_FALSE(reopen());
    // Filling the lists sends nothing; each voice box's handler sends its
    // program, then the explicit changes of channels 0..5 close the list.
    const Msgs& sent = log->messages;
    for (uint32_t m : sent) {
        EXPECT_TRUE((m & 0xF0) == 0xC0 || (m & 0xFFFFF0) == 0xB0) << hexList(sent);
        EXPECT_TRUE(plat::isWellFormedShortMessage(m)) << hexList(sent);
    }
    ASSERT_GE(sent.size(), 12u);
    Msgs expected;
    const int programs[6] = {51, 14, 78, 24, 3, 3};
    for (int ch = 0; ch < 6; ++ch) expected = cat(expected, {msg(0xB0 + ch, 0, 0), msg(0xC0 + ch, programs[ch], 0)});
    EXPECT_EQ(Msgs(sent.end() - 12, sent.end()), expected) << hexList(sent);
    EXPECT_EQ(only(sent, 0xC0, 0xC2).size(), 6u) << hexList(sent);

    EXPECT_EQ(G.BaseNote, 36);
    EXPECT_EQ(form->SD->text(), QStringLiteral("70"));
    EXPECT_EQ(form->Timer1->interval(), 107);
    EXPECT_EQ(form->BZDS->interval(), 214);
    for (auto* box : {form->Combo1, form->xuanyue, form->YQSZ[2]}) EXPECT_EQ(box->listCount(), 129);
    for (auto* box : {form->LblInst[2], form->YQSZ[3]}) EXPECT_EQ(box->listCount(), 47);
}

TEST_F(MainWindowLoad, LaterActivationsRereadSettingsButDoNotInitialiseAgain) {
    QStringList lines = defaultLines();
    lines[15] = QStringLiteral(" 7 ");
    folder.write(QStringLiteral("vanto.ini"), settingsBytes(lines));
    G.ScoreText = QStringLiteral("KC4KD4TZ");
    form->ComSounds[0]->setListIndex(10);
    form->Form_Activate();
    EXPECT_EQ(G.InstrumentPresets(5, 0), 7);
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC4KD4TZ"));
    EXPECT_EQ(form->ComSounds[0]->listCount(), 129);
    EXPECT_EQ(form->ComSounds[0]->listIndex(), 10);
}

TEST_F(MainWindowLoad, ChangingTheDeviceResendsTheVoicePrograms) {
    form->ComDevies->setListIndex(2);  // the second capture device
    const Msgs sent = devices.second->messages;
    EXPECT_EQ(sent, (Msgs{msg(0xB0, 0, 0), msg(0xC0, 51, 0), msg(0xB1, 0, 0), msg(0xC1, 14, 0),
                          msg(0xB2, 0, 0), msg(0xC2, 78, 0)}))
        << hexList(sent);
}

TEST_F(MainWindow, ExitButtonAndCloseBoxBothReachTheGoodbyeWindow) {
    form->Command1_Click();
    EXPECT_EQ(G.MidiOutHandle, 0u);
    EXPECT_FALSE(form->isVisible());
    std::unique_ptr<Form3> goodbye(std::exchange(G.Form3Instance, nullptr));
    ASSERT_TRUE(goodbye);
    EXPECT_TRUE(goodbye->isVisible());
    EXPECT_TRUE(goodbye->Timer1->enabled());
    EXPECT_EQ(goodbye->Timer1->interval(), 4000);
    EXPECT_THROW(goodbye->Timer1_Timer(), plat::ProgramEnded);
    EXPECT_THROW(goodbye->Form_Click(), plat::ProgramEnded);
    goodbye.reset();

    form->Show();
    QCloseEvent close;
    QCoreApplication::sendEvent(form.get(), &close);
    EXPECT_FALSE(form->isVisible());
    goodbye.reset(std::exchange(G.Form3Instance, nullptr));
    ASSERT_TRUE(goodbye);
    EXPECT_TRUE(goodbye->isVisible());
    goodbye->Timer1->setEnabled(false);

    // Plain grey in a 150-point Kai face, shaped as two large characters
    // with a gap between them: much of the window is cut away, and the
    // blank between the characters is not part of it.
    const QImage shot = goodbye->grab().toImage();  // the picture under the mask
    for (QPoint at : {QPoint(1, 1), QPoint(250, 126), QPoint(497, 251)})
        EXPECT_EQ(QColor(shot.pixel(at)), QColor(128, 128, 128)) << at.x() << "," << at.y();
    EXPECT_EQ(goodbye->font().pointSizeF(), 150.0);
    const QRegion r = goodbye->shape();
    EXPECT_GT(r.boundingRect().width(), 300);
    EXPECT_GT(r.boundingRect().height(), 120);
    int covered = 0;
    for (const QRect& rect : r) covered += rect.width() * rect.height();
    EXPECT_LT(covered, 499 * 253 / 2);
    EXPECT_GT(covered, 499 * 253 / 20);
}

TEST_F(MainWindow, BackgroundClicksToggleTheMiniSizeButPageAndLabelClicksDoNot) {
    auto press = [](QWidget* w, QPoint at) {
        QMouseEvent down(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(w, &down);
    };
    const QSize normal = form->size();
    press(form->Jiezhou[0], QPoint(385, 140));  // a page's own background
    press(form->FJWZ, QPoint(2, 2));            // a label
    EXPECT_EQ(form->size(), normal);
    press(form.get(), QPoint(400, 190));  // the window's background
    EXPECT_LT(form->width(), normal.width());
    form->Form_Activate();  // an activation clears the flag but keeps the size
    EXPECT_LT(form->width(), normal.width());
    press(form.get(), QPoint(300, 190));
    press(form.get(), QPoint(300, 190));
    EXPECT_EQ(form->size(), normal);
}

// At start the melody page's option is selected, in value and on screen;
// a click on another page leaves exactly one option selected.
TEST_F(MainWindow, PageOptionsStartOnTheMelodyPageAndExcludeEachOther) {
    for (int i : {0, 1, 2, 4, 5}) {
        EXPECT_EQ(form->Xxk[i]->value(), i == 0) << i;
        EXPECT_EQ(form->Xxk[i]->isChecked(), i == 0) << i;
        EXPECT_EQ(form->Jiezhou[i]->isVisible(), i == 0) << i;
    }
    form->Xxk[1]->click();  // as the user clicks it
    for (int i : {0, 1, 2, 4, 5}) {
        EXPECT_EQ(form->Xxk[i]->isChecked(), i == 1) << i;
        EXPECT_EQ(form->Jiezhou[i]->isVisible(), i == 1) << i;
    }
}

TEST_F(Form1Test, HelpPageOpensOnItsFirstTopicAndTheKeyMapToggles) {
    form->Xxk[4]->setValue(true);
    EXPECT_EQ(form->Text1->text(), plat::LoadResString(500));
    form->Option2[3]->setValue(true);
    EXPECT_EQ(form->Text1->text(), plat::LoadResString(503));
    form->Xxk[0]->setValue(true);
    form->Xxk[4]->setValue(true);
    EXPECT_EQ(form->Text1->text(), plat::LoadResString(500));

    // The keyboard map lies under the score box on the window itself, seen
    // with every page, and the help text sends the user there.
    const QString help = plat::LoadResString(501);
    EXPECT_TRUE(help.contains(QStringLiteral("乐谱框下方的键盘分布小图"))) << help.toStdString();
    EXPECT_FALSE(help.contains(QStringLiteral("页上的键盘分布"))) << help.toStdString();
    EXPECT_EQ(form->Picture2->parentWidget(), form.get());
    EXPECT_GE(form->Picture2->y(), form->Text3->geometry().bottom());
    EXPECT_LT(qAbs(form->Picture2->x() - form->Text3->x()), 20);
    for (int i : {0, 1, 2, 4, 5}) {
        form->Xxk[i]->setValue(true);
        EXPECT_TRUE(form->Picture2->isVisible()) << i;
    }

    form->Image3_Click();
    EXPECT_EQ(form->Picture2->geometry(), QRect(0, 0, 988, 204));
    EXPECT_EQ(form->Label3->caption(), QStringLiteral("点击图片收回键盘分布"));
    form->Image3_Click();
    EXPECT_EQ(form->Picture2->geometry(), QRect(408, 150, 175, 51));
    EXPECT_EQ(form->Label3->caption(), QStringLiteral("点击图片查看键盘分布"));
}

// Every option and check box caption reads in full beside its neighbour at
// the installed fonts: the narrow key columns of the settings page and the
// meter options of the rhythm page were the tight ones.
TEST_F(Form1Test, OptionAndCheckCaptionsFitTheirButtons) {
    for (int i : {0, 1, 2, 4, 5}) form->Xxk[i]->setValue(true);
    for (QAbstractButton* b : form->findChildren<QAbstractButton*>()) {
        if (b->text().isEmpty() || (!qobject_cast<QRadioButton*>(b) && !qobject_cast<QCheckBox*>(b))) continue;
        EXPECT_LE(b->sizeHint().width(), b->width()) << b->text().toStdString();
    }
    // The key map's frame stays clear of the mute pad below it.
    EXPECT_LE(form->Picture2->geometry().bottom(), form->Label1->y() - 1);
}
