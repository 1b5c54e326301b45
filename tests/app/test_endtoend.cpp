// The real program, started from a copy of its program folder on a virtual
// X display (Xvfb), driven with real key and mouse input (xdotool), and
// observed through its MIDI log (MORVELA_MIDI_LOG).
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
    QFile::setPermissions(to + QStringLiteral("/morvela"),
                          QFile::permissions(from + QStringLiteral("/morvela")));
    return true;
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

QStringList logLines(const QString& path) {
    return QString::fromLatin1(readFile(path)).split(u'\n', Qt::SkipEmptyParts);
}

// The 8-digit messages of the log, in order.
QStringList logMessages(const QString& path) {
    QStringList out;
    for (const QString& l : logLines(path)) out << l.section(u' ', 1, 1);
    return out;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        ASSERT_TRUE(copyTree(QStringLiteral(MORVELA_APP_DIR), dir.path() + QStringLiteral("/app")));
        // A display of our own.
        xvfb.setProgram(QStringLiteral("Xvfb"));
        xvfb.setArguments(QStringLiteral("-displayfd 1 -screen 0 1280x800x24 -nolisten tcp").split(u' '));
        xvfb.start();
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
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(3000);
        }
        if (xvfb.state() != QProcess::NotRunning) {
            xvfb.terminate();
            xvfb.waitForFinished(3000);
        }
    }
    QString log() const { return dir.path() + QStringLiteral("/midi.log"); }
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
    QString window() {
        const QStringList ids = windows();
        return ids.isEmpty() ? QString() : ids.last();
    }

    QTemporaryDir dir;
    QProcess xvfb;
    QProcess program;
    QString display;
    QProcessEnvironment env;
};

}  // namespace

TEST_F(EndToEnd, PlaysKeysThroughTheDeviceAndEndsThroughTheGoodbyeWindow) {
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(dir.path());
    program.start(dir.path() + QStringLiteral("/app/morvela"), {});
    ASSERT_TRUE(program.waitForStarted(5000));

    // The splash: press "知道了".
    QString splash;
    ASSERT_TRUE(waitFor([&] { return !(splash = window()).isEmpty(); }, 15000)) << "no splash window";
    // The first activation sends the programs of channels 0..5.
    ASSERT_TRUE(retryUntil(
        [&] {
            xdotool("mousemove --window " + splash + " 276 260 click 1");
        },
        [&] { return logMessages(log()).contains(QStringLiteral("000003C5")); }, 20000))
        << logMessages(log()).join(u' ').toStdString();
    QStringList start = logMessages(log());
    EXPECT_TRUE(start.contains(QStringLiteral("000033C0")));  // program 51 on channel 0
    EXPECT_TRUE(QFile::exists(dir.path() + QStringLiteral("/app/vanto.ini")));
    const int before = static_cast<int>(start.size());
    // The programs are sent while the main window is being mapped: input
    // goes to it only once it is visible and the splash is gone (taking the
    // newest window at once took the splash, or nothing, now and then).
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
        [&] { return logMessages(log()).contains(QStringLiteral("00373092")); }, 15000))
        << logMessages(log()).mid(before).join(u' ').toStdString();
    QStringList played = logMessages(log()).mid(before);
    EXPECT_TRUE(played.contains(QStringLiteral("00553C90")));  // channel 0, velocity 85
    EXPECT_TRUE(played.contains(QStringLiteral("00400AB1")));  // channel 1's pan by pitch
    EXPECT_TRUE(played.contains(QStringLiteral("00463C91")));
    EXPECT_TRUE(played.contains(QStringLiteral("00373C92")));

    // A second start while this one runs only says so and ends.
    const QByteArray settings = readFile(dir.path() + QStringLiteral("/app/vanto.ini"));
    ASSERT_FALSE(settings.isEmpty());
    const QStringList windowsBefore = windows();
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(dir.path() + QStringLiteral("/app/morvela"), {});
    ASSERT_TRUE(second.waitForStarted(5000));
    QString box;
    ASSERT_TRUE(waitFor([&] {
        box = window();
        return !box.isEmpty() && !windowsBefore.contains(box);
    }, 15000)) << "no message from the second copy";
    // The box closes on the key press. A key sent to the box's window would
    // then fail its release and stay down, repeating into the next window:
    // the key goes to the display instead (press and release), with the box
    // focused, and only while the box is still there.
    ASSERT_TRUE(retryUntil(
        [&] {
            if (!windows().contains(box)) return;
            xdotool("windowfocus --sync " + box);
            xdotool("key --clearmodifiers Return");
        },
        [&] { return second.state() == QProcess::NotRunning || second.waitForFinished(50); }, 15000))
        << "the second copy did not end";
    EXPECT_EQ(second.exitCode(), 0);
    if (canQueryKeys()) {
        const std::vector<int> down = keysHeldDown(display.toLocal8Bit().constData());
        EXPECT_TRUE(down.empty()) << "X key codes left down: " << ::testing::PrintToString(down);
    }
    EXPECT_EQ(readFile(dir.path() + QStringLiteral("/app/vanto.ini")), settings);
    EXPECT_EQ(program.state(), QProcess::Running);

    // Every log line: microseconds, a blank, eight upper-case hex digits.
    for (const QString& line : logLines(log())) {
        ASSERT_TRUE(QRegularExpression(QStringLiteral("^\\d+ [0-9A-F]{8}$")).match(line).hasMatch())
            << line.toStdString();
    }

    // "编辑" opens the editor; its "试听本节效果" plays the empty bar to its
    // closing note-offs; "退出窗口" restores the expression and brings the
    // main window back.
    QString editor;
    ASSERT_TRUE(retryUntil(
        [&] { if (windows().contains(main)) xdotool("mousemove --window " + main + " 875 109 click 1"); },
        [&] {
            editor = xdotool("search --onlyvisible --name ^音乐编辑器$");
            return !editor.isEmpty() && logMessages(log()).contains(QStringLiteral("000001C0"));
        }, 20000)) << "no editor";
    const auto waitLog = [&](const QString& message, const QString& click) {
        const int from = static_cast<int>(logMessages(log()).size());
        return retryUntil([&] { xdotool("mousemove --window " + editor + " " + click + " click 1"); },
                          [&] { return logMessages(log()).mid(from).contains(message); }, 20000);
    };
    EXPECT_TRUE(waitLog(QStringLiteral("00006486"), QStringLiteral("62 470"))) << "the bar did not end";
    EXPECT_TRUE(waitLog(QStringLiteral("007F0BB6"), QStringLiteral("689 469"))) << "the editor did not close";
    ASSERT_TRUE(waitFor([&] { return windows().contains(main); }, 15000)) << "the main window did not come back";

    // Exit button "退出": the goodbye window ends the program 4 s later.
    // (Repeating the click is harmless: a click on the goodbye window ends
    // the program as well.)
    ASSERT_TRUE(retryUntil(
        [&] {
            if (program.state() == QProcess::NotRunning) return;
            xdotool("mousemove --window " + main + " 947 109 click 1");
        },
        [&] { return program.state() == QProcess::NotRunning || program.waitForFinished(50); }, 25000))
        << "the program did not end";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}
