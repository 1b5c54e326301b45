#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

template <class T> static T next(std::deque<T>& q) {
    T v = q.front();
    q.pop_front();
    return v;
}

int TestDialogs::messageBox(QWidget*, const QString& text, int style, const QString&) {
    messages << text;
    messageStyles << style;
    if (onMessage) onMessage(text);
    return messageAnswers.empty() ? plat::kAnsOk : next(messageAnswers);
}

bool TestDialogs::inputBox(QWidget*, const QString&, const QString&, const QString&, QString* answer) {
    if (inputAnswers.empty()) return false;
    const QString a = next(inputAnswers);
    if (answer) *answer = a;
    return true;
}

plat::FileDialogResult TestDialogs::fileDialog(QWidget*, const plat::FileDialogRequest& request) {
    fileRequests << request;
    plat::FileDialogResult r;
    if (fileAnswers.empty()) return r;
    r.cancelled = false;
    r.fileName = next(fileAnswers);
    r.fileTitle = QFileInfo(r.fileName).fileName();
    return r;
}

CaptureDevices::CaptureDevices()
    : mapper(std::make_shared<plat::CaptureMidiDevice>("测试设备")),
      second(std::make_shared<plat::CaptureMidiDevice>("第二设备")) {
    plat::setMidiDeviceTable(mapper, {mapper, second});
}

ScratchFolder::ScratchFolder(bool withRecordFolder, bool withEffectFolder) {
    if (withRecordFolder) QDir(dir_.path()).mkdir(QStringLiteral("演奏记录"));
    if (withEffectFolder) QDir(dir_.path()).mkdir(QStringLiteral("音效"));
}

void ScratchFolder::write(const QString& name, const QByteArray& bytes) const {
    QFile f(file(name));
    QDir().mkpath(QFileInfo(f).absolutePath());
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QByteArray ScratchFolder::read(const QString& name) const {
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::string hexList(const std::vector<uint32_t>& messages) {
    std::string s;
    char buf[16];
    for (uint32_t m : messages) s += (std::snprintf(buf, sizeof buf, "%08X ", m), buf);
    return s;
}

static void setFileSizeLimit(rlim_t bytes) {
    rlimit r{};
    getrlimit(RLIMIT_FSIZE, &r);
    r.rlim_cur = bytes ? bytes : r.rlim_max;
    setrlimit(RLIMIT_FSIZE, &r);
}

int withFileSizeLimit(long bytes, const std::function<int()>& child) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        setFileSizeLimit(static_cast<rlim_t>(bytes));
        _exit(child());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void liftFileSizeLimit() { setFileSizeLimit(0); }

}  // namespace testing_support
