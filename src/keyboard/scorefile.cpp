// Score files: the open and save dialog, reading a file's text, and the write that replaces a file
// of the same name.
#include "keyboard/scorefile.h"

#include "platform/fileutil.h"
#include "platform/savefile.h"
#include "platform/textcodec.h"

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
    const QString found = plat::resolvePath(fileName);
    return !found.isEmpty() && QFileInfo(found).isFile() && plat::readGbkFile(found, text);
}

bool WriteScoreFile(const QString& fileName, const QByteArray& bytes) {
    if (plat::writeFileAtomic(fileName, bytes)) return true;
    plat::msgBox(QStringLiteral("保存乐谱文件出错，请检查文件夹是否可写！"), plat::kOkOnly | plat::kExclamation);
    return false;
}

}  // namespace keyboard
