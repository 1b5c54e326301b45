// The real program, started from a copy of its program folder on a virtual
// X display (Xvfb), driven with real key and mouse input (xdotool), and
// observed through its MIDI log (MORVELA_MIDI_LOG).
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>

#include "xkeys.h"

namespace {

bool copyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString rel = QDir(from).relativeFilePath(src);
        if (rel == QLatin1String("vanto.ini")) continue;
        if (it.fileInfo().isDir()) QDir().mkpath(to + u'/' + rel);
        else if (!QFile::copy(src, to + u'/' + rel)) return false;
    }
    return QFile::setPermissions(to + QStringLiteral("/morvela"), QFile::permissions(from + QStringLiteral("/morvela")));
}

bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (done()) return true;
        QThread::msleep(50);
    }
    return done();
}

// Repeats an input action every two seconds until done: an event sent while
// a window is still being mapped can be lost, and none of these actions
// harms when given twice.
bool retryUntil(const std::function<void()>& act, const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        act();
        if (waitFor(done, 2000)) return true;
    }
    return done();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The log's 8-digit messages in order, or its whole lines.
QStringList logLines(const QString& path, bool messages = true) {
    QStringList out = QString::fromLatin1(readFile(path)).split(u'\n', Qt::SkipEmptyParts);
    if (messages)
        for (QString& l : out) l = l.section(u' ', 1, 1);
    return out;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        ASSERT_TRUE(copyTree(QStringLiteral(MORVELA_APP_DIR), dir.path() + QStringLiteral("/app")));
        xvfb.start(QStringLiteral("Xvfb"), QStringLiteral("-displayfd 1 -screen 0 1280x800x24 -nolisten tcp").split(u' '));
        ASSERT_TRUE(xvfb.waitForStarted(5000));
        ASSERT_TRUE(waitFor([&] { return xvfb.canReadLine() || xvfb.waitForReadyRead(100); }, 10000));
        display = QStringLiteral(":") + QString::fromLatin1(xvfb.readLine()).trimmed();
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        env.insert(QStringLiteral("MORVELA_MIDI_LOG"), log());
        env.insert(QStringLiteral("TMPDIR"), dir.path());  // its own single-copy lock
    }
    void TearDown() override {
        program.kill();
        program.waitForFinished(3000);
        xvfb.terminate();
        xvfb.waitForFinished(3000);
    }
    QString log() const { return dir.path() + QStringLiteral("/midi.log"); }
    bool start(QProcess& p) {
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start(dir.path() + QStringLiteral("/app/morvela"), {});
        return p.waitForStarted(5000);
    }
    // Runs xdotool with blank-separated arguments.
    QString xdotool(const QString& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("xdotool"), args.split(u' '));
        p.waitForFinished(10000);
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }
    QStringList windows() { return xdotool("search --onlyvisible --name ^Morvela$").split(u'\n', Qt::SkipEmptyParts); }
    // The id of the newest visible window named Morvela.
    QString window() { return windows().value(windows().size() - 1); }

    QTemporaryDir dir;
    QProcess xvfb;
    QProcess program;
    QString display;
    QProcessEnvironment env;
};

}  // namespace

TEST_F(EndToEnd, PlaysKeysThroughTheDeviceAndEndsThroughTheGoodbyeWindow) {
    ASSERT_TRUE(start(program));

    // The splash: press "知道了".
    QString splash;
    ASSERT_TRUE(waitFor([&] { return !(splash = window()).isEmpty(); }, 15000)) << "no splash window";
    // The first activation sends the programs of channels 0..5.
    ASSERT_TRUE(retryUntil([&] { xdotool("mousemove --window " + splash + " 276 260 click 1"); },
        [&] { return logLines(log()).contains(QStringLiteral("000003C5")); }, 20000))
        << logLines(log()).join(u' ').toStdString();
    const int before = static_cast<int>(logLines(log()).size());
    EXPECT_TRUE(logLines(log()).contains(QStringLiteral("000033C0")));  // program 51 on channel 0
    // The programs are sent while the main window is being mapped: input
    // goes to it only once it is visible and the splash is gone.
    QString main;
    ASSERT_TRUE(waitFor([&] {
        const QStringList shown = windows();
        main = shown.isEmpty() ? QString() : shown.last();
        return !main.isEmpty() && !shown.contains(splash);
    }, 15000)) << "no main window";

    // Key G: middle C on the three voices, voice 2 also an octave lower.
    xdotool("windowfocus --sync " + main);
    ASSERT_TRUE(retryUntil(
        [&] { xdotool("key --window " + main + " g"); },
        [&] { return logLines(log()).contains(QStringLiteral("00373092")); }, 15000))
        << logLines(log()).mid(before).join(u' ').toStdString();
    // Channel 0 at velocity 85, channel 1's pan by pitch, channels 1 and 2.
    for (const char* m : {"00553C90", "00400AB1", "00463C91", "00373C92"})
        EXPECT_TRUE(logLines(log()).mid(before).contains(QLatin1String(m))) << m;

    // A second start while this one runs only says so and ends.
    const QByteArray settings = readFile(dir.path() + QStringLiteral("/app/vanto.ini"));
    ASSERT_FALSE(settings.isEmpty()) << "the settings file is written at start-up";
    const QStringList windowsBefore = windows();
    QProcess second;
    ASSERT_TRUE(start(second));
    QString box;
    ASSERT_TRUE(waitFor([&] {
        box = window();
        return !box.isEmpty() && !windowsBefore.contains(box);
    }, 15000)) << "no message from the second copy";
    // The box closes on the key press, so the key goes to the display (press
    // and release) with the box focused, only while the box is there: sent to
    // the box's window its release would fail and the key repeat on.
    ASSERT_TRUE(retryUntil(
        [&] {
            if (!windows().contains(box)) return;
            xdotool("windowfocus --sync " + box);
            xdotool("key --clearmodifiers Return");
        },
        [&] { return second.state() == QProcess::NotRunning || second.waitForFinished(50); }, 15000))
        << "the second copy did not end";
    EXPECT_EQ(second.exitCode(), 0);
    const std::vector<int> down = keysHeldDown(display.toLocal8Bit().constData());
    EXPECT_TRUE(down.empty()) << "X key codes left down: " << ::testing::PrintToString(down);
    EXPECT_EQ(readFile(dir.path() + QStringLiteral("/app/vanto.ini")), settings);
    EXPECT_EQ(program.state(), QProcess::Running);

    // Every log line: microseconds, a blank, eight upper-case hex digits.
    for (const QString& line : logLines(log(), false))
        ASSERT_TRUE(QRegularExpression(QStringLiteral("^\\d+ [0-9A-F]{8}$")).match(line).hasMatch()) << line.toStdString();

    // "编辑" opens the editor; its "试听本节效果" plays the empty bar to its
    // closing note-offs; "退出窗口" restores the expression and brings the
    // main window back.
    QString editor;
    ASSERT_TRUE(retryUntil(
        [&] { if (windows().contains(main)) xdotool("mousemove --window " + main + " 875 109 click 1"); },
        [&] {
            editor = xdotool("search --onlyvisible --name ^音乐编辑器$");
            return !editor.isEmpty() && logLines(log()).contains(QStringLiteral("000001C0"));
        }, 20000)) << "no editor";
    const auto waitLog = [&](const QString& message, const QString& click) {
        const int from = static_cast<int>(logLines(log()).size());
        return retryUntil([&] { xdotool("mousemove --window " + editor + " " + click + " click 1"); },
                          [&] { return logLines(log()).mid(from).contains(message); }, 20000);
    };
    EXPECT_TRUE(waitLog(QStringLiteral("00006486"), QStringLiteral("62 470"))) << "the bar did not end";
    EXPECT_TRUE(waitLog(QStringLiteral("007F0BB6"), QStringLiteral("689 469"))) << "the editor did not close";
    ASSERT_TRUE(waitFor([&] { return windows().contains(main); }, 15000)) << "the main window did not come back";

    // Exit button "退出": the goodbye window ends the program 4 s later (a
    // repeated click on the goodbye window ends it as well).
    ASSERT_TRUE(retryUntil(
        [&] { if (program.state() != QProcess::NotRunning) xdotool("mousemove --window " + main + " 947 109 click 1"); },
        [&] { return program.state() == QProcess::NotRunning || program.waitForFinished(50); }, 25000))
        << "the program did not end";
    EXPECT_TRUE(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0);
}

// The text box's paste test on this display, where nothing has been copied
// since the start: Qt's own paste dies there.
TEST_F(EndToEnd, EveryPasteSurvivesAClipboardNothingWasCopiedTo) {
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/test_ui"), {QStringLiteral("--gtest_filter=TextBoxPaste.*")});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_TRUE(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0) << child.readAll().toStdString();
}
