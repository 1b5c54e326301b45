// The text box's paste test on an X display of its own (Xvfb), where nothing
// has been copied since the start: Qt's own paste dies there.
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

TEST(PasteOnX, EveryPasteSurvivesAClipboardNothingWasCopiedTo) {
    const QString testUi = QCoreApplication::applicationDirPath() + QStringLiteral("/test_ui");
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() || !QFileInfo::exists(testUi))
        GTEST_SKIP() << "Xvfb or test_ui is missing";
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"), QStringLiteral("-displayfd 1 -screen 0 640x480x24 -nolisten tcp").split(u' '));
    ASSERT_TRUE(xvfb.waitForStarted(5000));
    while (!xvfb.canReadLine() && xvfb.waitForReadyRead(10000)) {
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), u':' + QString::fromLatin1(xvfb.readLine()).trimmed());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(testUi, {QStringLiteral("--gtest_filter=TextBoxPaste.*")});
    const bool finished = child.waitForFinished(60000);
    xvfb.terminate();
    xvfb.waitForFinished(3000);
    ASSERT_TRUE(finished);
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << child.readAll().toStdString();
    EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
}
