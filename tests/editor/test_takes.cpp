// The two windows together: the round trip through "编辑" with a live take
// and the score box, the shared recorder's "保存", recordings that cannot be
// written (a file size limit in a child process stands for a full disk), and
// the live clock's count after a halt.
#include "editorfixture.h"
#include "keyboard/mainwindowfixture.h"
#include "midi/recorder.h"
#include "platform/waverecorder.h"
#include "support/soundsupport.h"

#include <QDir>
#include <QLineEdit>

#include <functional>

#include <chrono>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

using namespace midi;

namespace {

sf_count_t waveFrames(const QString& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!f) return -1;
    sf_close(f);
    return info.frames;
}

// Waits for the recorder's writer thread to find that it cannot write.
bool spoolFails() {
    for (int i = 0; i < 500; ++i) {
        QString mode;
        recorder::send(QStringLiteral("status NN mode"), &mode);
        if (mode == QLatin1String("not ready")) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace

class TakeTest : public testing_support::ManualSoundTest<MainWindowTest> {
protected:
    void SetUp() override {
        ManualSoundTest<MainWindowTest>::SetUp();
        Hooks.OpenEditor = [this] {
            if (editor && !editor->loaded()) editor.reset();
            if (!editor) editor = std::make_unique<EditorWindow>();
            editor->Show();
        };
        Hooks.ShowMainWindow = [this] { form->Show(); };
        form->show();
    }
    void TearDown() override {
        editor.reset();
        Hooks = WindowHooks{};
        ManualSoundTest<MainWindowTest>::TearDown();
    }
    QString recordFile(const char* name) const { return folder.file(QStringLiteral("演奏记录/") + QString::fromUtf8(name)); }

    std::unique_ptr<EditorWindow> editor;
};

TEST_F(TakeTest, EditorButtonClosesTheLiveTakeSilencesItAndKeepsTheBox) {
    form->Text3->setText(QStringLiteral("WC"));  // typed by the user
    key(kG);
    key(kH);
    key(74);  // J
    take();
    Msgs handedOver;  // what the main window sent before the editor opened
    const auto open = Hooks.OpenEditor;
    Hooks.OpenEditor = [&] {
        handedOver = take();
        open();
    };
    form->BzQd->setValue(1);  // rhythm audition running
    form->BJCK->click();
    EXPECT_EQ(only(handedOver, 0x80, 0x82), (Msgs{msg(0x80, 64, 0), msg(0x81, 64, 0), msg(0x82, 64, 0), msg(0x82, 52, 0)}));
    EXPECT_FALSE(form->isVisible() || form->Timer2->enabled());
    ASSERT_TRUE(editor->isVisible());
    editor->TUICHU->click();
    EXPECT_EQ(form->Text3->text(), QStringLiteral("WC2KC2KD2KE2TZ"));
    // Back in the main window, the audition runs again and the keys sound.
    EXPECT_TRUE(form->isVisible() && form->Timer2->enabled());
    take();
    key(kG);
    EXPECT_TRUE(contains(take(), msg(0x90, 60, 85)));
}

TEST_F(TakeTest, MainRecorderSaveFollowsWhatTheEditorDidWithTheTake) {
    form->Image1_Click(2);
    render(0.2);
    form->BJCK->click();
    dialogs.fileAnswers.push_back(recordFile("a.wav"));
    editor->LUYINJI_Click(3);  // saved and closed in the editor
    editor->TUICHU->click();
    EXPECT_FALSE(form->BcLY->isEnabled());
    form->BJCK->click();
    editor->LUYINJI_Click(2);  // a take made in the editor
    render(0.2);
    editor->TUICHU->click();
    EXPECT_TRUE(form->BcLY->isEnabled());
}

// Both windows' saves fail part way: the old file is whole, nothing is left
// beside it (the user's file named like a temporary one neither), the take
// is kept, and it is said.
TEST_F(TakeTest, ARecordingSaveCutShortKeepsTheOldFileAndTheTake) {
    const QByteArray old(8044, 'o');
    folder.write(QStringLiteral("演奏记录/keep.wav"), old);
    folder.write(QStringLiteral("演奏记录/keep.wav.part"), "mine");
    form->Image1_Click(2);
    render(1.0);  // 88,200 bytes at 8 bits
    form->BJCK->click();
    const int failed = testing_support::withFileSizeLimit(20000, [&] {
        int bad = 0;
        dialogs.fileAnswers.push_back(recordFile("keep.wav"));
        editor->LUYINJI_Click(3);
        if (dialogs.messages.size() != 1) bad |= 1;
        dialogs.fileAnswers.push_back(recordFile("KEEP.wav"));
        form->BcLY_Click();
        if (dialogs.messages.size() != 2 || form->FJWZ->caption() != QStringLiteral("没有保存录音。。。") ||
            !form->BcLY->isEnabled())
            bad |= 2;
        testing_support::liftFileSizeLimit();
        dialogs.fileAnswers.push_back(recordFile("new.wav"));
        form->BcLY_Click();
        if (form->FJWZ->caption() != QStringLiteral("成功保存录音。。。")) bad |= 4;
        return bad;
    });
    EXPECT_EQ(failed, 0);
    EXPECT_TRUE(folder.read(QStringLiteral("演奏记录/keep.wav")) == old) << "the old file is byte for byte as it was";
    EXPECT_EQ(folder.read(QStringLiteral("演奏记录/keep.wav.part")), "mine");
    EXPECT_EQ(QDir(folder.file(QStringLiteral("演奏记录"))).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{QStringLiteral("keep.wav"), QStringLiteral("keep.wav.part"), QStringLiteral("new.wav")}));
    EXPECT_EQ(waveFrames(recordFile("new.wav")), 44100);
}

// The sweep at start removes the scratch file of a take killed part way, and leaves the take of this run.
TEST_F(TakeTest, TheScratchFileOfAKilledTakeIsRemovedAndARunningOneKept) {
    const auto scratchOf = [](qint64 pid) {
        return QDir(QDir::tempPath()).entryList({QStringLiteral("morvela-take-%1-*.wav").arg(pid)}, QDir::Files).size();
    };
    std::fflush(nullptr);
    const pid_t killed = fork();
    if (killed == 0) {
        form->Image1_Click(2);
        render(0.5);
        _exit(0);  // no destructor runs, as at a kill
    }
    ASSERT_EQ(waitpid(killed, nullptr, 0), killed);
    form->Image1_Click(2);
    render(0.2);
    ASSERT_EQ(scratchOf(killed) + scratchOf(getpid()), 2);
    plat::removeLeftoverTakes();
    EXPECT_EQ(scratchOf(killed), 0);
    EXPECT_EQ(scratchOf(getpid()), 1);
    form->Image1_Click(1);
}

// A take whose scratch file takes no more stops with its clock in either
// window, and is said; what was recorded before can be saved.
TEST_F(TakeTest, ATakeThatCannotBeWrittenStopsAndIsSaid) {
    form->BJCK->click();
    const int failed = testing_support::withFileSizeLimit(30000, [&] {
        int bad = 0;
        editor->LUYINJI_Click(2);
        render(1.0);
        if (!spoolFails()) return 255;
        editor->Lyjsj_Timer();
        if (editor->Recording || editor->Lyjsj->enabled() || dialogs.messages.size() != 1) bad |= 1;
        form->Image1_Click(2);
        render(1.0);
        if (!spoolFails()) return 254;
        form->Lyjsj_Timer();
        if (form->IsRecording || form->Lyjsj->enabled() || dialogs.messages.size() != 2 || !form->BcLY->isEnabled())
            bad |= 2;
        testing_support::liftFileSizeLimit();
        dialogs.fileAnswers.push_back(recordFile("part.wav"));
        form->BcLY_Click();
        const sf_count_t frames = waveFrames(recordFile("part.wav"));
        if (frames <= 0 || frames >= 44100) bad |= 4;
        return bad;
    });
    EXPECT_EQ(failed, 0);
}

// After a halt (numpad "-") numpad "+" counts the note on: 10 ticks before,
// 14 after.
TEST_F(MainWindowTest, NumpadPlusAfterAHaltCountsTheNoteOn) {
    form->Check5->setValue(1);
    key(kG);
    tick(9);
    key(kNumMinus);
    key(kNumPlus);
    tick(14);
    key(kH);
    EXPECT_EQ(form->Text3->text(), QStringLiteral("KC24KD"));
}

// Typing any number into a volume or velocity box, key by key, holds the
// value to the MIDI range and shows no run-time error, in both windows.
class NumberBoxes : public MainWindowTest {};

TEST_F(NumberBoxes, OutOfRangeTypingIsHeldAndRaisesNoError) {
    EditorWindow editor;
    editor.Show();
    dialogs.messages.clear();
    struct Box {
        ui::ComboBox* box;
        std::function<int()> value;  // what the box sets
        int expected;                // after "99999"
    };
    const std::vector<Box> boxes = {
        {form->Zxlyl[0], [] { return G.PartVelocity(0); }, 127},
        {form->Zxlyl[2], [] { return G.PartVelocity(2); }, 127},
        {form->HxYL, [] { return G.PartVelocity(3); }, 127},
        {form->VsbVol, [] { return G.RhythmPattern(0, 0).Message >> 16; }, 127},
        {editor.YQYL[0], [] { return G.ChannelVelocity(0); }, 127},
        {editor.YQYL[11], [] { return G.ChannelVelocity(11); }, 127},
        {editor.DQSUDU, [] { return G.BeatInterval; }, 15000 / 99},  // "99" taken, no tempo past 255
    };
    for (const Box& b : boxes) {
        QLineEdit* edit = b.box->lineEdit();
        edit->selectAll();
        for (char c : std::string("99999")) edit->insert(QString(QChar::fromLatin1(c)));
        EXPECT_EQ(b.value(), b.expected) << b.box->objectName().toStdString() << b.box->text().toStdString();
    }
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'\n').toStdString();
    form->Zxlyl[1]->setText(QStringLiteral("0"));
    EXPECT_EQ(G.PartVelocity(1), 1) << "a melody velocity of 0 would end its notes";
}
