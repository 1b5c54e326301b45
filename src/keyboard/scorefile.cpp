// Score files: the open and save dialog, reading a file's text, and the write that replaces a file
// of the same name.
#include "keyboard/scorefile.h"

#include "platform/fileutil.h"
#include "platform/savefile.h"
#include "platform/textcodec.h"

#include <QFile>
#include <QFileInfo>

namespace keyboard {

plat::FileDialogResult AskScoreFile(QWidget* parent, bool save, const QString& initDir) {
    plat::FileDialogRequest request;
    request.save = save;
    request.filter = QStringLiteral("乐谱记录txt|*.txt");
    request.filterIndex = 1;
    request.flags = save ? 2 : 16;  // 2: ask before overwriting
    request.initDir = initDir;
    return plat::dialogs().fileDialog(parent, request);
}

bool ReadScoreFile(const QString& fileName, QString* text) {
    const QString name = QFileInfo(fileName).fileName();
    const auto refuse = [](const QString& message) {
        plat::msgBox(message, plat::kOkOnly | plat::kExclamation);
        return false;
    };
    const QString found = plat::resolvePath(fileName);
    if (found.isEmpty() || !QFileInfo(found).isFile())
        return refuse(QStringLiteral("找不到乐谱文件“%1”，请检查！").arg(name));
    QFile f(found);
    if (!f.open(QIODevice::ReadOnly)) return refuse(QStringLiteral("无法读取乐谱文件“%1”，请检查！").arg(name));
    // One byte past the bound tells a file that is too large, whatever its
    // size claims (a pipe or a growing file claims none).
    const QByteArray bytes = f.read(kMaxScoreFileBytes + 1);
    if (f.error() != QFileDevice::NoError)
        return refuse(QStringLiteral("无法读取乐谱文件“%1”，请检查！").arg(name));
    if (bytes.size() > kMaxScoreFileBytes)
        return refuse(QStringLiteral("乐谱文件“%1”太大（超过16MB），不能打开！").arg(name));
    *text = plat::fromGbk(bytes);
    return true;
}

bool WriteScoreFile(const QString& fileName, const QByteArray& bytes) {
    if (plat::writeFileAtomic(fileName, bytes)) return true;
    plat::msgBox(QStringLiteral("保存乐谱文件出错，请检查文件夹是否可写！"), plat::kOkOnly | plat::kExclamation);
    return false;
}

}  // namespace keyboard
