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

TestDialogs::TestDialogs() { plat::setDialogs(this); }
TestDialogs::~TestDialogs() { plat::setDialogs(nullptr); }

int TestDialogs::messageBox(QWidget*, const QString& text, int, const QString&) {
    messages << text;
    if (onMessage) onMessage(text);
    if (messageAnswers.empty()) return plat::kAnsOk;
    int a = messageAnswers.front();
    messageAnswers.pop_front();
    return a;
}

bool TestDialogs::inputBox(QWidget*, const QString&, const QString&, const QString&, QString* answer) {
    if (inputAnswers.empty()) return false;
    if (answer) *answer = inputAnswers.front();
    inputAnswers.pop_front();
    return true;
}

plat::FileDialogResult TestDialogs::fileDialog(QWidget*, const plat::FileDialogRequest& request) {
    fileRequests << request;
    plat::FileDialogResult r;
    if (fileAnswers.empty()) return r;
    r.cancelled = false;
    r.fileName = fileAnswers.front();
    r.fileTitle = QFileInfo(r.fileName).fileName();
    fileAnswers.pop_front();
    return r;
}

void TestDialogs::endProgram(int exitCode) {
    ++ends;
    throw plat::ProgramEnded(exitCode);
}

CaptureDevices::CaptureDevices()
    : mapper(std::make_shared<plat::CaptureMidiDevice>("测试设备")),
      second(std::make_shared<plat::CaptureMidiDevice>("第二设备")) {
    plat::setMidiDeviceTable(mapper, {mapper, second});
}
CaptureDevices::~CaptureDevices() { plat::resetMidiDeviceTable(); }

std::vector<uint32_t> CaptureDevices::take() {
    std::vector<uint32_t> out;
    out.swap(mapper->messages);
    return out;
}

ScratchFolder::ScratchFolder(bool withRecordFolder, bool withEffectFolder) {
    if (withRecordFolder) QDir(dir_.path()).mkdir(QStringLiteral("演奏记录"));
    if (withEffectFolder) QDir(dir_.path()).mkdir(QStringLiteral("音效"));
}

QString ScratchFolder::path() const { return dir_.path() + u'/'; }

void ScratchFolder::write(const QString& name, const QByteArray& bytes) const {
    QFile f(file(name));
    QDir().mkpath(QFileInfo(f).absolutePath());
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QByteArray ScratchFolder::read(const QString& name) const {
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

std::string hexList(const std::vector<uint32_t>& messages) {
    std::string s;
    char buf[16];
    for (uint32_t m : messages) {
        std::snprintf(buf, sizeof buf, "%08X ", m);
        s += buf;
    }
    return s;
}

int withFileSizeLimit(long bytes, const std::function<int()>& child) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit r{};
        getrlimit(RLIMIT_FSIZE, &r);
        r.rlim_cur = static_cast<rlim_t>(bytes);
        setrlimit(RLIMIT_FSIZE, &r);
        _exit(child());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void liftFileSizeLimit() {
    rlimit r{};
    getrlimit(RLIMIT_FSIZE, &r);
    r.rlim_cur = r.rlim_max;
    setrlimit(RLIMIT_FSIZE, &r);
}

}  // namespace testing_support
