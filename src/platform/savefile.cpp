#include "platform/savefile.h"

#include "platform/fileutil.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {
namespace {

constexpr qint64 kBlockBytes = 256 * 1024;

// A hidden name of fixed length, whatever the target's name is.
QByteArray tempName(const QByteArray& folder) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = folder + "/.morvela-save-";
    for (int i = 0; i < 10; ++i) name += letters[QRandomGenerator::global()->bounded(36)];
    return name;
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
    // Until the rename reaches the disk, the old file is what a crash leaves.
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

}  // namespace plat
