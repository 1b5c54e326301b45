// Case-insensitive file name matching.
#include "platform/fileutil.h"

#include <QDir>
#include <QFileInfo>

namespace plat {

QString resolvePath(const QString& path) {
    if (path.isEmpty()) return QString();
    QFileInfo fi(path);
    if (fi.exists()) return fi.filePath();
    QDir dir = fi.dir();
    if (!dir.exists()) return QString();
    const QString name = fi.fileName();
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (QString::compare(entry, name, Qt::CaseInsensitive) == 0) return dir.filePath(entry);
    }
    return QString();
}

bool fileExistsNoCase(const QString& path) {
    QString p = resolvePath(path);
    return !p.isEmpty() && QFileInfo(p).isFile();
}

}  // namespace plat
