#include "platform/savefile.h"

#include "platform/fileutil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {
namespace {

constexpr qint64 kBlockBytes = 256 * 1024;

// A hidden name that carries the writing process's id, so that a run that
// never finished can be told from one still writing, whatever the target's
// name is.
QByteArray tempName(const QByteArray& folder) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = folder + "/.morvela-save-" + QByteArray::number(::getpid()) + '-';
    for (int i = 0; i < 10; ++i) name += letters[QRandomGenerator::global()->bounded(36)];
    return name;
}

// Makes a rename in the folder last through a power loss: until the folder
// reaches the disk, the old file is what a crash leaves.
void syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

SaveFile::SaveFile(const QString& path) {
    const QString existing = resolvePath(path);
    target_ = existing.isEmpty() ? path : existing;
    const QFileInfo info(target_);
    if (info.isSymLink()) target_ = info.symLinkTarget();
}

SaveFile::~SaveFile() { discard(); }

bool SaveFile::open() {
    const QByteArray folder = QFile::encodeName(QFileInfo(target_).absolutePath());
    struct stat old {};
    const bool replacing = ::stat(QFile::encodeName(target_).constData(), &old) == 0;
    // O_EXCL: a name that exists is never opened; another one is drawn.
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = tempName(folder);
        fd_ = ::open(temp_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        temp_.clear();
        return false;
    }
    failed_ = false;
    // The replacement keeps the old file's permissions; a new file gets the
    // user's usual ones.
    if (replacing) ::fchmod(fd_, old.st_mode & 07777);
    return true;
}

bool SaveFile::write(const char* data, qint64 size) {
    if (fd_ < 0 || failed_) return false;
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR) continue;
        // A short write is followed by another: the full disk or the file
        // size limit then answers with its error.
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool SaveFile::copyFrom(const QString& source) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        failed_ = true;
        return false;
    }
    for (;;) {
        const QByteArray block = in.read(kBlockBytes);
        if (block.isEmpty()) break;
        if (!write(block)) return false;
    }
    if (in.error() != QFileDevice::NoError) failed_ = true;
    return !failed_;
}

bool SaveFile::commit() {
    if (fd_ < 0) return false;
    bool ok = !failed_ && ::fsync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    if (!ok || ::rename(temp_.constData(), QFile::encodeName(target_).constData()) != 0) {
        discard();
        return false;
    }
    // The new file is in place whatever the folder's sync answers (a file
    // system that cannot sync folders has nothing more to do).
    syncFolder(QFile::encodeName(QFileInfo(target_).absolutePath()));
    temp_.clear();
    return true;
}

void SaveFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.isEmpty()) ::unlink(temp_.constData());
    temp_.clear();
}

bool writeFileAtomic(const QString& path, const QByteArray& bytes) {
    SaveFile f(path);
    return f.open() && f.write(bytes) && f.commit();
}

bool copyFileAtomic(const QString& source, const QString& target) {
    SaveFile f(target);
    return f.open() && f.copyFrom(source) && f.commit();
}

namespace {

bool leftoverOwnerGone(const QString& name, const QRegularExpression& pattern, qint64 oldSecs, const QString& path) {
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch()) return false;
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile()) return false;
    const QString pid = m.captured(1);
    if (pid.isEmpty()) {
        // Written before the names carried the writer: no save stays
        // unfinished for so long.
        return info.lastModified().secsTo(QDateTime::currentDateTime()) > oldSecs;
    }
    bool ok = false;
    const long id = pid.toLong(&ok);
    if (!ok || id <= 0 || id > INT_MAX) return false;
    if (id == ::getpid()) return false;
    // EPERM: a process of another user runs under that id.
    return ::kill(static_cast<pid_t>(id), 0) != 0 && errno == ESRCH;
}

}  // namespace

int removeLeftovers(const QString& folder, const QRegularExpression& pattern) {
    constexpr qint64 kDay = 24 * 3600;
    int removed = 0;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString path = dir.filePath(name);
        if (leftoverOwnerGone(name, pattern, kDay, path) && ::unlink(QFile::encodeName(path).constData()) == 0)
            ++removed;
    }
    return removed;
}

int removeLeftoverSaves(const QString& folder) {
    static const QRegularExpression pattern(QStringLiteral("^\\.morvela-save-(?:([0-9]{1,10})-)?[a-z0-9]{10}$"));
    return removeLeftovers(folder, pattern);
}

}  // namespace plat
