// Start and end: the start-up window, the settings file, the main window's
// load and activation, the goodbye window; the web-page button and the clock.
#include "mainwindowfixture.h"

#include "keyboard/goodbyewindow.h"
#include "keyboard/startupwindow.h"
#include "platform/audioengine.h"
#include "platform/midiout.h"
#include "platform/shell.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <utility>

#include <sys/wait.h>
#include <unistd.h>

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

class StartupWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        form.reset();
        G.Form1Instance = nullptr;
        QFile::remove(folder.file(QStringLiteral("vanto.ini")));
    }
};

TEST_F(StartupWindowTest, SecondCopyOnlySaysSoAndEnds) {
    StartupWindow::OtherInstanceRunning = [] { return true; };
    StartupWindow splash;
    EXPECT_THROW(splash.Form_Load(), plat::ProgramEnded);
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("你已经运行这个应用程序了！")});
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("vanto.ini"))));
}

TEST_F(StartupWindowTest, WritesTheDefaultSettingsAndItsButtonOpensTheMainWindow) {
    StartupWindow::OtherInstanceRunning = [] { return false; };
    auto* splash = new StartupWindow();
    splash->Show();
    const QByteArray bytes = folder.read(QStringLiteral("vanto.ini"));
    // GBK with CR LF: 52 lines and an empty 53rd.
    EXPECT_TRUE(bytes.endsWith("\r\n\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 53);
    EXPECT_EQ(bytes.count('\n'), 53);
    EXPECT_TRUE(bytes.contains(plat::toGbk(QStringLiteral("玻璃1.wav\r\n"))));

    splash->Command1_Click();
    form.reset(G.Form1Instance);  // the fixture owns it from here
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isVisible() && form->WasActivated);
    EXPECT_FALSE(splash->Timer1->enabled());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The welcome text stands at its place above the button and, wrapped in its label's width, shows whole.
TEST_F(StartupWindowTest, TheWelcomeTextStandsWholeAboveTheButton) {
    StartupWindow splash;
    const QRect r = splash.Label1->geometry();
    EXPECT_EQ(std::tuple(r.x(), r.y(), r.width(), r.height()), std::tuple(8, 16, 257, 150));
    EXPECT_LE(splash.Label1->minimumSizeHint().width(), 257);
    EXPECT_LE(splash.Label1->heightForWidth(257), splash.Label1->height());
    EXPECT_EQ(splash.Label1->caption(), StartupWindow::WelcomeText());
}

// The start removes what saves of earlier runs cut short left in the folders the program saves into.
TEST_F(StartupWindowTest, TheStartRemovesLeftoversOfSavesCutShort) {
    std::fflush(nullptr);
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const QString name = QStringLiteral(".morvela-save-%1-abcdefghij").arg(gone);
    for (const QString& dir : {QString(), QStringLiteral("演奏记录/")}) folder.write(dir + name, "cut short");
    StartupWindow::OtherInstanceRunning = [] { return false; };
    StartupWindow().Form_Load();
    for (const QString& dir : {QString(), QStringLiteral("演奏记录/")})
        EXPECT_FALSE(QFile::exists(folder.file(dir + name))) << dir.toStdString();
}

using SettingsFile = MainWindowTest;
using MainWindowLoad = MainWindowTest;
using MainWindowShell = MainWindowTest;

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
        EXPECT_EQ(std::tuple(G.InstrumentPresets(1, 0), G.DrumPadSounds(4), G.RhythmPattern(5, 4).Message,
                             G.SoundEffectNames(1), G.SoundEffectNames(5)),
                  std::tuple(128, 46, 0x99 + 81 * 256 + 100 * 65536, QStringLiteral("  两个空格.wav"),
                             QStringLiteral("关门声1.wav")));
        EXPECT_TRUE(dialogs.messages.isEmpty());
    }
}

TEST_F(SettingsFile, BadFilesAreKeptAsBackupRewrittenAndTheProgramEnds) {
    const std::pair<const char*, std::function<void(QStringList&)>> cases[] = {
        {"51 lines", [](QStringList& l) { l.removeLast(); }},
        {"abc on line 5", [](QStringList& l) { l[4] = QStringLiteral("abc"); }},
        {"93 on line 37", [](QStringList& l) { l[36] = QStringLiteral(" 93 "); }},
        {"overflowing number", [](QStringList& l) { l[0] = QStringLiteral(" 99999 "); }},
        // Read no further than a setting can be long.
        {"name line of 2000 characters", [](QStringList& l) { l[49] = QString(2000, u'x') + QStringLiteral(".wav"); }},
        {"no line end", [](QStringList& l) { l = QStringList{QString(4 << 20, u' ') + QStringLiteral("3")}; }},
    };
    for (const auto& [name, spoil] : cases) {
        SCOPED_TRACE(name);
        QStringList lines = defaultLines();
        spoil(lines);
        const QByteArray bad = settingsBytes(lines);
        folder.write(QStringLiteral("vanto.ini"), bad);
        QFile::remove(folder.file(QStringLiteral("vanto.ini.bak")));
        EXPECT_TRUE(reopen());
        EXPECT_EQ(std::tuple(dialogs.messages, folder.read(QStringLiteral("vanto.ini.bak")),
                             folder.read(QStringLiteral("vanto.ini"))),
                  std::tuple(QStringList{QStringLiteral("读取设置文件出错，软件需重新启动!")}, bad, defaultSettingsBytes()));
    }
}

TEST_F(SettingsFile, AnyFailureInTheActivationTakesTheSettingsErrorPath) {
    // Whatever escapes a handler the activation runs.
    form->Text3->onChange = [] { throw 42; };
    G.ScoreText = QStringLiteral("KC4");
    const QByteArray user = defaultSettingsBytes() + "user's extra line\r\n";
    folder.write(QStringLiteral("vanto.ini"), user);
    EXPECT_THROW(form->Form_Activate(), plat::ProgramEnded);
    EXPECT_EQ(std::tuple(dialogs.messages, folder.read(QStringLiteral("vanto.ini")),
                         folder.read(QStringLiteral("vanto.ini.bak"))),
              std::tuple(QStringList{QStringLiteral("读取设置文件出错，软件需重新启动!")}, defaultSettingsBytes(), user));
}

const QString kSettingsNotKept = QStringLiteral(
    "读取设置文件出错，且无法在软件所在的文件夹中备份或改写设置文件vanto.ini（磁盘已满或文件夹不允许写入）。\n"
    "原设置文件保持不变，本次将使用默认设置，设置无法保存。");

// Runs child as user nobody, who may not write in `folder` (the tests run as root, whom no mode bit stops).
int inReadOnlyFolder(const QString& folder, const std::function<int()>& child) {
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                      QFileDevice::ExeOther | QFileDevice::ReadGroup | QFileDevice::ExeGroup);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) _exit(setgid(65534) == 0 && setuid(65534) == 0 ? child() : 255);
    int status = 0;
    waitpid(pid, &status, 0);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A bad file that cannot be kept whole beside itself (a 7 KB file with 4 KB left on the disk; a folder the program
// may not write in) stays as it is: the program starts on the defaults, says so once and does not read it again.
TEST_F(SettingsFile, ABadFileThatCannotBeKeptStaysAndTheProgramRunsOnTheDefaults) {
    QStringList lines = defaultLines();
    lines[4] = QStringLiteral("abc");
    for (int i = 0; i < 70; ++i) lines << QString(100, u'x');
    const QByteArray bad = settingsBytes(lines);
    const QStringList defaults = defaultLines();
    using Run = std::function<int(const std::function<int()>&)>;
    for (const Run& run : {Run([](auto& c) { return testing_support::withFileSizeLimit(4096, c); }),
                           Run([&](auto& c) { return inReadOnlyFolder(folder.path(), c); })}) {
        folder.write(QStringLiteral("vanto.ini"), bad);
        // Each fault sets its bit in the child's exit code.
        EXPECT_EQ(run([&] {
            if (reopen()) return 16;
            int wrong = dialogs.messages != QStringList{kSettingsNotKept};
            wrong |= (G.InstrumentPresets(1, 0) != defaults[3].trimmed().toInt() ||
                      G.SoundEffectNames(1) != defaults[47]) << 1;
            wrong |= (!form->WasActivated || !form->Timer2->enabled()) << 2;
            form->Form_Activate();  // back from the editor
            return wrong | (dialogs.messages.size() != 1) << 3;
        }), 0);
        EXPECT_TRUE(folder.read(QStringLiteral("vanto.ini")) == bad) << "the user's file is byte for byte as it was";
        const QStringList beside =
            QDir(folder.path()).entryList({QStringLiteral("vanto*"), QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
        EXPECT_EQ(beside.join(u' ').toStdString(), "vanto.ini") << "nothing beside it";
    }
}

// A later bad file is kept beside the earlier backups, which stay as they were; the same bytes are kept once.
TEST_F(SettingsFile, EarlierBackupsAreNeverOverwritten) {
    const auto spoilt = [&](const char* head) { QStringList l = defaultLines(); return l[0] = head, settingsBytes(l); };
    const QByteArray first = spoilt("first"), second = spoilt("second");
    folder.write(QStringLiteral("VANTO.INI.BAK"), "the user's own");
    for (const QByteArray& bad : {first, second, first}) {
        folder.write(QStringLiteral("vanto.ini"), bad);
        EXPECT_TRUE(reopen());
        EXPECT_EQ(folder.read(QStringLiteral("vanto.ini")), defaultSettingsBytes());
    }
    EXPECT_EQ(std::tuple(folder.read(QStringLiteral("VANTO.INI.BAK")), folder.read(QStringLiteral("vanto.ini.bak1")),
                         folder.read(QStringLiteral("vanto.ini.bak2"))),
              std::tuple(QByteArray("the user's own"), first, second));
    EXPECT_EQ(QDir(folder.path()).entryList({QStringLiteral("vanto*")}, QDir::Files | QDir::Hidden).size(), 4);
}

// Label11 names no file that was never read.
TEST_F(MainWindowLoad, BadFirstRhythmFileIsReportedAndTheStartGoesOn) {
    const struct { const char* name; QByteArray bytes; QString label; } cases[] = {
        {"oversized", QByteArray("050201030700") + QByteArray(40000, '-'), QStringLiteral("节奏文件")},
        {"velocity field out of the list", QByteArray("090201020300") + QByteArray(49, '-') + "a.bin\r\n",
         QStringLiteral("1★a.bin")}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        folder.write(QStringLiteral("演奏记录/a.bin"), c.bytes);
        ASSERT_FALSE(reopen());
        EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("打开节奏文件出错，请检查！")});
        EXPECT_EQ(form->Label11->caption(), c.label);
        EXPECT_EQ(form->Text6->text(), QStringLiteral("145"));  // the chord set-up ran
    }
}

TEST_F(MainWindowLoad, FirstActivationSendsOnlyProgramChangesAndSetsTheDefaults) {
    auto log = std::make_shared<plat::CaptureMidiDevice>("log");
    plat::setMidiDeviceTable(log, {log});
    ASSERT_FALSE(reopen());
    // Each voice box's handler sends its program, then channels 0..5 are set.
    const Msgs& sent = log->messages;
    for (uint32_t m : sent) {
        EXPECT_TRUE((m & 0xF0) == 0xC0 || (m & 0xFFFFF0) == 0xB0) << hexList(sent);
        EXPECT_TRUE(plat::isWellFormedShortMessage(m)) << hexList(sent);
    }
    ASSERT_GE(sent.size(), 12u);
    Msgs expected;
    const int programs[6] = {51, 14, 78, 24, 3, 3};
    const ui::ComboBox* boxes[6] = {form->ComSounds[0], form->ComSounds[1], form->ComSounds[2],
                                    form->xuanyue, form->Combo1, form->Combo1};
    for (int ch = 0; ch < 6; ++ch) EXPECT_EQ(boxes[ch]->listIndex() - 1, programs[ch]) << ch;
    for (int ch = 0; ch < 6; ++ch) expected = cat(expected, {msg(0xB0 + ch, 0, 0), msg(0xC0 + ch, programs[ch], 0)});
    EXPECT_EQ(Msgs(sent.end() - 12, sent.end()), expected) << hexList(sent);
    EXPECT_EQ(only(sent, 0xC0, 0xC2).size(), 6u) << hexList(sent);
}

// What the boxes show at start is what is used.
TEST_F(MainWindowLoad, BoxesShowTheValuesInUseAtStart) {
    EXPECT_EQ(std::tuple(G.BeatInterval, form->Timer1->interval(), form->BZDS->interval()),
              std::tuple(rt::CInt(7500.0 / form->SD->text().toDouble()), G.BeatInterval, 2 * G.BeatInterval));
    key(kG);
    const Msgs strike = only(take(), 0x90, 0x92);
    ASSERT_EQ(strike.size(), 4u) << hexList(strike);
    for (int v = 0; v <= 2; ++v) {
        EXPECT_EQ(int(strike[v] >> 16), form->Zxlyl[v]->text().toInt()) << "voice " << v;
        EXPECT_EQ(G.ChannelProgram(v), form->ComSounds[v]->listIndex()) << "voice " << v;
    }
    EXPECT_EQ(int((strike[0] >> 8) & 0xFF), 60) << "key " << form->YD->text().toStdString();
    EXPECT_EQ(form->YD->text(), QStringLiteral("C"));
    EXPECT_EQ(G.PartVelocity(3), form->HxYL->text().toInt());
    form->LblInst[0]->setListIndex(0);
    EXPECT_EQ(int(G.RhythmPattern(0, 0).Message >> 16), form->VsbVol->text().toInt());
}

TEST_F(MainWindowLoad, ChangingTheDeviceResendsTheVoicePrograms) {
    form->ComDevies->setListIndex(2);  // the second capture device
    EXPECT_EQ(devices.second->messages, (Msgs{msg(0xB0, 0, 0), msg(0xC0, 51, 0), msg(0xB1, 0, 0), msg(0xC1, 14, 0),
                                              msg(0xB2, 0, 0), msg(0xC2, 78, 0)}));
}

TEST_F(MainWindowShell, ExitButtonAndCloseBoxBothReachTheGoodbyeWindow) {
    form->Command1_Click();
    EXPECT_EQ(G.MidiOutHandle, 0u);
    EXPECT_FALSE(form->isVisible());
    std::unique_ptr<GoodbyeWindow> goodbye(std::exchange(G.Form3Instance, nullptr));
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
}

TEST_F(MainWindowShell, NoTextShowsAnUnfilledPlaceholder) {
    for (QWidget* w : form->findChildren<QWidget*>()) {
        EXPECT_FALSE(w->toolTip().contains(QStringLiteral("%1"))) << w->toolTip().toStdString();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) EXPECT_FALSE(b->text().contains(u'%')) << b->text().toStdString();
    }
}

namespace {
class FakeShell : public plat::Shell {
public:
    FakeShell() { plat::setShell(this); }
    ~FakeShell() override { plat::setShell(nullptr); }
    intptr_t execute(const plat::ShellRequest& r) override {
        requests.push_back(r);
        return result;
    }
    std::vector<plat::ShellRequest> requests;
    intptr_t result = 42;
};
}  // namespace

TEST_F(MainWindowShell, WebPageButtonOpensTheAddressAndSaysSoOnlyForResultsOneToThirtyOne) {
    FakeShell shell;
    const struct { intptr_t result; bool message; } cases[] = {
        {42, false}, {32, false}, {0, false}, {1, true}, {31, true}, {0x10005, true}, {0x10020, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        dialogs.messages.clear();
        shell.result = c.result;
        form->Command2->click();
        ASSERT_FALSE(shell.requests.empty());
        EXPECT_EQ(dialogs.messages, c.message ? QStringList{QStringLiteral("打开网页出错，请检查网络连接！")} : QStringList{});
    }
}

TEST_F(MainWindowShell, ClockShowsItsTimeSourceAndTheLineScrollsRoundWholeAndWaveVolumeTakesTheLeftArgument) {
    QDateTime now(QDate(2011, 12, 30), QTime(23, 59, 59));
    form->Now = [&now] { return now; };
    const QString line = form->Label8->caption();
    form->Timer2_Timer();
    EXPECT_EQ(form->SjXs->caption(), QStringLiteral("2011-12-30 23-59-59"));
    EXPECT_EQ(form->Label8->caption(), line.mid(1) + line.left(1));
    now = now.addSecs(1);
    form->Timer2_Timer();
    EXPECT_EQ(form->SjXs->caption(), QStringLiteral("2011-12-31 00-00-00"));
    for (int i = 2; i < line.size(); ++i) form->Timer2_Timer();
    EXPECT_EQ(form->Label8->caption(), line);

    plat::AudioEngine& engine = plat::AudioEngine::instance();
    EXPECT_EQ(form->SetWaveVolume(0x40008000, 0x7FFF7FFF), 0);
    EXPECT_NEAR(engine.waveGainLeft(), 0x8000 / 65535.0, 1e-6);
    EXPECT_NEAR(engine.waveGainRight(), 0x4000 / 65535.0, 1e-6);
    form->SetWaveVolume(static_cast<int32_t>(0x90009000u), 0);
}
