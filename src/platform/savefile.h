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

// bytes as the whole new content of path. False on failure.
bool writeFileAtomic(const QString& path, const QByteArray& bytes);
// The bytes of source as the whole new content of target. False on failure.
bool copyFileAtomic(const QString& source, const QString& target);

}  // namespace plat
