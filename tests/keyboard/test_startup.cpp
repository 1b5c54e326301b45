// Start of the program: the start-up window, the settings file, the main
// window's load and activation, and the way out through the goodbye window.
#include "form1fixture.h"

#include "keyboard/dzqqd.h"
#include "keyboard/form3.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

using namespace midi;
using testing_support::CaptureDevices;
using testing_support::ScratchFolder;
using testing_support::TestDialogs;

namespace {

QStringList defaultLines() {
    QStringList lines = keyboard::DefaultSettingsText().split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

QByteArray settingsBytes(const QStringList& lines) {
    QString text;
    for (const QString& l : lines) text += l + QStringLiteral("\r\n");
    return plat::toGbk(text);
}

// Shows a main window over a prepared folder; returns true when the program
// ended during the showing.
struct Started {
    TestDialogs dialogs;
    CaptureDevices devices;
    ScratchFolder folder;
    std::unique_ptr<Form1> form;
    bool ended = false;

    explicit Started(bool withRecordFolder = true) : folder(withRecordFolder) {
        resetState();
        keyboard::SetProgramFolder(folder.path());
    }
    ~Started() {
        form.reset();
        G.Form1Instance = nullptr;
        keyboard::SetProgramFolder(QString());
        CloseMidiOut();
    }
    void show() {
        form = std::make_unique<Form1>();
        G.Form1Instance = form.get();
        form->Rnd = [] { return 0.3; };
        try {
            form->Show();
        } catch (const plat::ProgramEnded&) {
            ended = true;
        }
    }
};

}  // namespace

TEST(StartupWindow, CreatesTheDefaultSettingsFileInGbkWithCrLf) {
    TestDialogs dialogs;
    ScratchFolder folder;
    keyboard::SetProgramFolder(folder.path());
    DZQQD::OtherInstanceRunning = [] { return false; };
    DZQQD splash;
    splash.Form_Load();
    const QByteArray bytes = folder.read(QStringLiteral("vanto.ini"));
    keyboard::SetProgramFolder(QString());
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_TRUE(bytes.endsWith("\r\n\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 53);
    EXPECT_EQ(bytes.count('\n'), 53);
    // GBK, not UTF-8: "玻璃1.wav" is 4 + 5 bytes.
    EXPECT_TRUE(bytes.contains(plat::toGbk(QStringLiteral("玻璃1.wav\r\n"))));
    EXPECT_FALSE(bytes.contains(QStringLiteral("玻璃").toUtf8()));
    QStringList lines = plat::fromGbk(bytes).split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines.value(0), QStringLiteral(" 3 "));
    EXPECT_EQ(lines.value(52), QString());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST(StartupWindow, SecondCopyOnlySaysSoAndEnds) {
    TestDialogs dialogs;
    ScratchFolder folder;
    keyboard::SetProgramFolder(folder.path());
    DZQQD::OtherInstanceRunning = [] { return true; };
    DZQQD splash;
    EXPECT_THROW(splash.Form_Load(), plat::ProgramEnded);
    keyboard::SetProgramFolder(QString());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0], QStringLiteral("你已经运行这个应用程序了！"));
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("vanto.ini"))));
}

TEST(StartupWindow, ButtonOpensTheMainWindowAtOnce) {
    TestDialogs dialogs;
    CaptureDevices devices;
    ScratchFolder folder;
    resetState();
    keyboard::SetProgramFolder(folder.path());
    DZQQD::OtherInstanceRunning = [] { return false; };
    auto* splash = new DZQQD();
    splash->Show();
    EXPECT_TRUE(splash->Timer1->enabled());
    splash->Command1_Click();
    ASSERT_NE(G.Form1Instance, nullptr);
    EXPECT_TRUE(G.Form1Instance->isVisible());
    EXPECT_TRUE(G.Form1Instance->WasActivated);
    EXPECT_FALSE(splash->Timer1->enabled());
    delete G.Form1Instance;
    G.Form1Instance = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    keyboard::SetProgramFolder(QString());
    CloseMidiOut();
}

TEST(SettingsFile, WrittenFormReadsBackAndExtraLinesAreIgnored) {
    Started s;
    QStringList lines = defaultLines();
    ASSERT_EQ(lines.size(), 52);
    lines[3] = QStringLiteral(" 128 ");
    lines[40] = QStringLiteral(" 46 ");
    lines[47] = QStringLiteral("  两个空格.wav");
    for (int i = 0; i < 8; ++i) lines << QStringLiteral("anything");
    s.folder.write(QStringLiteral("vanto.ini"), settingsBytes(lines));
    s.show();
    ASSERT_FALSE(s.ended);
    EXPECT_EQ(G.InstrumentPresets(1, 0), 128);
    EXPECT_EQ(G.DrumPadSounds(4), 46);
    EXPECT_EQ(G.RhythmPattern(5, 4).Message, 0x99 + 81 * 256 + 100 * 65536);
    EXPECT_EQ(G.SoundEffectNames(1), QStringLiteral("  两个空格.wav"));
    EXPECT_TRUE(s.dialogs.messages.isEmpty());
}

TEST(SettingsFile, LinuxAndOldMacLineEndsReadAlike) {
    Started s;
    QString text = defaultLines().join(u'\n');
    s.folder.write(QStringLiteral("vanto.ini"), plat::toGbk(text));
    s.show();
    ASSERT_FALSE(s.ended);
    EXPECT_EQ(G.InstrumentPresets(11, 2), 90);
    EXPECT_EQ(G.SoundEffectNames(5), QStringLiteral("关门声1.wav"));
}

TEST(SettingsFile, BadFilesAreKeptAsBackupRewrittenAndTheProgramEnds) {
    struct Case {
        const char* name;
        std::function<void(QStringList&)> spoil;
    };
    const std::vector<Case> cases = {
        {"51 lines", [](QStringList& l) { l.removeLast(); }},
        {"abc on line 5", [](QStringList& l) { l[4] = QStringLiteral("abc"); }},
        {"93 on line 37", [](QStringList& l) { l[36] = QStringLiteral(" 93 "); }},
        {"overflowing number", [](QStringList& l) { l[0] = QStringLiteral(" 99999 "); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Started s;
        QStringList lines = defaultLines();
        c.spoil(lines);
        const QByteArray bad = settingsBytes(lines);
        s.folder.write(QStringLiteral("vanto.ini"), bad);
        s.show();
        EXPECT_TRUE(s.ended);
        ASSERT_EQ(s.dialogs.messages.size(), 1);
        EXPECT_EQ(s.dialogs.messages[0], QStringLiteral("读取设置文件出错，软件需重新启动!"));
        EXPECT_EQ(s.folder.read(QStringLiteral("vanto.ini.bak")), bad);
        EXPECT_EQ(s.folder.read(QStringLiteral("vanto.ini")),
                  plat::toGbk(keyboard::DefaultSettingsText() + QStringLiteral("\r\n")));
    }
}

TEST_F(Form1Test, AnyFailureInTheActivationTakesTheSettingsErrorPath) {
    // Not only run-time errors: whatever escapes a handler the activation runs.
    form->Text3->onChange = [] { throw 42; };
    G.ScoreText = QStringLiteral("KC4");
    const QByteArray before = folder.read(QStringLiteral("vanto.ini"));
    folder.write(QStringLiteral("vanto.ini"), before + "user's extra line\r\n");
    EXPECT_THROW(form->Form_Activate(), plat::ProgramEnded);
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("读取设置文件出错，软件需重新启动!")});
    EXPECT_EQ(folder.read(QStringLiteral("vanto.ini")), before);
    EXPECT_EQ(folder.read(QStringLiteral("vanto.ini.bak")), before + "user's extra line\r\n");
}

// A first rhythm file too long to be a pattern is reported; it does not end
// the program, and Label11 does not name a file that was never read.
class OversizedFirstRhythmFile : public Form1Test {
protected:
    void PrepareFolder() override {
        folder.write(QStringLiteral("演奏记录/a.bin"), QByteArray("050201030700") + QByteArray(40000, '-'));
    }
};

TEST_F(OversizedFirstRhythmFile, IsReportedAndTheStartGoesOn) {
    EXPECT_EQ(dialogs.ends, 0);
    EXPECT_TRUE(form->WasActivated);
    EXPECT_EQ(form->Label11->caption(), QStringLiteral("节奏文件"));
    EXPECT_EQ(G.RhythmFileText, QString());
    EXPECT_EQ(form->VsbVol->listIndex(), 5);
    EXPECT_EQ(form->Text6->text(), QStringLiteral("145"));  // the chord set-up ran
    EXPECT_EQ(form->File1->listCount(), 1);
}

TEST(SettingsFile, MissingFileAndMissingRecordFolderAreNoErrors) {
    Started s(/*withRecordFolder=*/false);
    s.show();
    EXPECT_FALSE(s.ended);
    EXPECT_TRUE(s.dialogs.messages.isEmpty());
    EXPECT_TRUE(s.form->WasActivated);
    EXPECT_EQ(s.form->File1->listCount(), 0);
    EXPECT_EQ(G.InstrumentPresets(5, 0), 0);
}

TEST(MainWindowLoad, EmptyDeviceListLeavesTheDeviceClosed) {
    Started s;
    plat::setMidiDeviceTable(nullptr, {});
    s.show();
    EXPECT_FALSE(s.ended);
    EXPECT_EQ(G.MidiOutHandle, 0u);
    EXPECT_EQ(s.form->ComDevies->listCount(), 0);
}

TEST_F(Form1Test, LoadOpensTheMapperAndSetsPans) {
    EXPECT_NE(G.MidiOutHandle, 0u);
    EXPECT_EQ(form->ComDevies->listIndex(), 0);
    EXPECT_EQ(G.ChannelPan(4), 108);
    EXPECT_EQ(G.ChannelPan(8), 0);
    EXPECT_TRUE(form->WasActivated);
    EXPECT_EQ(G.AppPath, folder.path());
    EXPECT_EQ(G.EffectExpression, 127);
    EXPECT_TRUE(form->Timer2->enabled());
}

TEST_F(Form1Test, LaterActivationsRereadSettingsButDoNotInitialiseAgain) {
    QStringList lines = plat::fromGbk(folder.read(QStringLiteral("vanto.ini"))).split(QStringLiteral("\r\n"));
    lines[15] = QStringLiteral(" 7 ");
    folder.write(QStringLiteral("vanto.ini"), plat::toGbk(lines.join(QStringLiteral("\r\n"))));
    G.ScoreText = QStringLiteral("KC4KD4TZ");
    form->ComSounds[0]->setListIndex(10);
    form->Form_Activate();
    EXPECT_EQ(G.InstrumentPresets(5, 0), 7);
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC4KD4TZ"));
    EXPECT_EQ(form->ComSounds[0]->listCount(), 129);
    EXPECT_EQ(form->ComSounds[0]->listIndex(), 10);
}

TEST_F(Form1Test, ChangingTheDeviceResendsTheVoicePrograms) {
    form->ComDevies->setListIndex(2);  // the second capture device
    const Msgs sent = devices.second->messages;
    EXPECT_EQ(sent, (Msgs{msg(0xB0, 0, 0), msg(0xC0, 51, 0), msg(0xB1, 0, 0), msg(0xC1, 14, 0),
                          msg(0xB2, 0, 0), msg(0xC2, 78, 0)}))
        << testing_support::hexList(sent);
}

TEST_F(Form1Test, ExitButtonAndCloseBoxBothReachTheGoodbyeWindow) {
    form->Command1_Click();
    EXPECT_EQ(G.MidiOutHandle, 0u);
    EXPECT_FALSE(form->isVisible());
    ASSERT_NE(G.Form3Instance, nullptr);
    EXPECT_TRUE(G.Form3Instance->isVisible());
    EXPECT_TRUE(G.Form3Instance->Timer1->enabled());
    EXPECT_EQ(G.Form3Instance->Timer1->interval(), 4000);
    EXPECT_THROW(G.Form3Instance->Timer1_Timer(), plat::ProgramEnded);
    EXPECT_THROW(G.Form3Instance->Form_Click(), plat::ProgramEnded);
    delete G.Form3Instance;
    G.Form3Instance = nullptr;

    // The close box of a shown window.
    form->Show();
    QCloseEvent close;
    QCoreApplication::sendEvent(form.get(), &close);
    EXPECT_FALSE(form->isVisible());
    ASSERT_NE(G.Form3Instance, nullptr);
    EXPECT_TRUE(G.Form3Instance->isVisible());
    delete G.Form3Instance;
    G.Form3Instance = nullptr;
}

TEST(GoodbyeWindow, ShapeIsTheOutlineOfTheTwoCharacters) {
    QFont f(QStringLiteral("AR PL UKai CN"));
    f.setPointSize(150);
    QRegion r = Form3::TextRegion(QStringLiteral("再 见"), f, QSize(499, 253));
    ASSERT_FALSE(r.isEmpty());
    // Two large characters with a gap between them: much of the window is
    // cut away, and the blank between the characters is not part of it.
    const QRect box = r.boundingRect();
    EXPECT_GT(box.width(), 300);
    EXPECT_GT(box.height(), 120);
    int covered = 0;
    for (const QRect& rect : r) covered += rect.width() * rect.height();
    EXPECT_LT(covered, 499 * 253 / 2);
    EXPECT_GT(covered, 499 * 253 / 20);
}

// The first activation recorded from the very start.
class FirstActivationNetState : public Form1Test {
protected:
    void PrepareFolder() override {
        log = std::make_shared<plat::CaptureMidiDevice>("log");
        plat::setMidiDeviceTable(log, {log});
    }
    std::shared_ptr<plat::CaptureMidiDevice> log;
};

TEST_F(FirstActivationNetState, EndsWithTheSixProgramChangesInChannelOrder) {
    // The explicit program changes close the initialisation: bank 0, then
    // the program, channels 0..5.
    const Msgs& sent = log->messages;
    ASSERT_GE(sent.size(), 12u);
    const Msgs last(sent.end() - 12, sent.end());
    Msgs expected;
    const int programs[6] = {51, 14, 78, 24, 3, 3};
    for (int ch = 0; ch < 6; ++ch) {
        expected.push_back(msg(0xB0 + ch, 0, 0));
        expected.push_back(msg(0xC0 + ch, programs[ch], 0));
    }
    EXPECT_EQ(last, expected) << testing_support::hexList(sent);
    EXPECT_EQ(G.PartVelocity(3), 55);
    EXPECT_EQ(G.ChannelProgram(0), 52);
    EXPECT_EQ(G.ChannelProgram(2), 79);
    EXPECT_EQ(G.RhythmLastStep, 15);
    int white = 0;
    for (int k = 0; k <= 64; ++k) white += G.KeyIsWhite(k) == True ? 1 : 0;
    EXPECT_EQ(white, 38);
    EXPECT_EQ(G.ScoreText, QString());
    EXPECT_EQ(form->DialogFolder, folder.path() + QStringLiteral("演奏记录/"));
    for (auto* box : {form->Combo1, form->Combo3, form->xuanyue, form->ComSounds[1], form->YQSZ[2]})
        EXPECT_EQ(box->listCount(), 129);
    for (auto* box : {form->LblInst[0], form->LblInst[2], form->YQSZ[3]}) EXPECT_EQ(box->listCount(), 47);
    EXPECT_EQ(form->BZC.size(), 17u);
}

TEST(GoodbyeWindow, IsPlainGreyInKaiAt150Points) {
    TestDialogs dialogs;
    Form3 goodbye;
    goodbye.Show();
    const QImage shot = goodbye.grab().toImage();  // the picture under the mask
    for (QPoint at : {QPoint(1, 1), QPoint(250, 126), QPoint(497, 251)})
        EXPECT_EQ(QColor(shot.pixel(at)), QColor(128, 128, 128)) << at.x() << "," << at.y();
    EXPECT_EQ(goodbye.font().pointSizeF(), 150.0);
    EXPECT_FALSE(goodbye.shape().isEmpty());
    goodbye.Timer1->setEnabled(false);
}

TEST_F(Form1Test, BackgroundClicksToggleTheMiniSizeButPageAndLabelClicksDoNot) {
    auto press = [](QWidget* w, QPoint at) {
        QMouseEvent down(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(w, &down);
    };
    const QSize normal = form->size();
    press(form->Jiezhou[0], QPoint(385, 140));  // a page's own background
    press(form->FJWZ, QPoint(2, 2));            // a label
    EXPECT_FALSE(form->MiniWindow);
    EXPECT_EQ(form->size(), normal);
    press(form.get(), QPoint(400, 190));  // the window's background
    EXPECT_TRUE(form->MiniWindow);
    EXPECT_LT(form->width(), normal.width());
    form->Form_Activate();  // an activation clears the flag but keeps the size
    EXPECT_FALSE(form->MiniWindow);
    EXPECT_LT(form->width(), normal.width());
    press(form.get(), QPoint(300, 190));
    EXPECT_TRUE(form->MiniWindow);
    press(form.get(), QPoint(300, 190));
    EXPECT_EQ(form->size(), normal);
}
