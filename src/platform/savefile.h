// The one writer behind every save of the program (scores, songs, rhythm
// patterns, chord models, settings, recordings): a file is replaced whole or
// not at all. The bytes go to a hidden temporary file in the target's folder,
// created under a fresh name that no existing file has (so no file of the
// user's is ever written or removed by it); every write, the flush to disk and
// the close are checked, and only then is it renamed over the target. On any
// failure the temporary file is removed and the old file is as it was.
#pragma once

#include <QByteArray>
#include <QString>

class QRegularExpression;

namespace plat {

class SaveFile {
public:
    // The file replaced is `path`, or an existing file whose name differs
    // from it only in letter case (never a second copy beside it); a
    // symbolic link is followed to its file.
    explicit SaveFile(const QString& path);
    ~SaveFile();  // a file not committed is discarded
    SaveFile(const SaveFile&) = delete;
    SaveFile& operator=(const SaveFile&) = delete;

    bool open();
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // Streams the whole of another file in, a block at a time.
    bool copyFrom(const QString& source);
    // Flushes to disk, closes and renames over the target. False when
    // anything failed since open(): the old file stays.
    bool commit();

private:
    void discard();
    QString target_;
    QByteArray temp_;  // encoded path of the temporary file
    int fd_ = -1;
    bool failed_ = false;
};

// The temporary files that saves cut short by a power loss or a kill left in
// `folder`: removes those whose writing process is gone (a running copy's
// are left alone) and nothing that is not of the writer's own naming.
// The number removed.
int removeLeftoverSaves(const QString& folder);

// Behind removeLeftoverSaves and the same sweep of other writers' scratch
// files: removes the plain files of `folder` whose whole name matches
// `pattern` and whose writer is gone. The pattern's first group is the
// writer's process id; a name without one (an older writer's) is taken as
// left over once untouched for a day.
int removeLeftovers(const QString& folder, const QRegularExpression& pattern);

// bytes as the whole new content of path. False on failure.
bool writeFileAtomic(const QString& path, const QByteArray& bytes);
// The bytes of source as the whole new content of target. False on failure.
bool copyFileAtomic(const QString& source, const QString& target);

}  // namespace plat
