#include "keyboard/appfolder.h"

#include "platform/resources.h"
#include "platform/textcodec.h"

#include <QCoreApplication>

namespace keyboard {

namespace {
QString g_folder;
}

QString ProgramFolder() {
    QString f = g_folder.isEmpty() ? QCoreApplication::applicationDirPath() : g_folder;
    if (!f.endsWith(u'/')) f += u'/';
    return f;
}

void SetProgramFolder(const QString& folder) { g_folder = folder; }

QString DefaultSettingsText() { return plat::LoadResString(508); }

bool WriteDefaultSettings(const QString& path) {
    return plat::writeFileAtomic(path, plat::toGbk(DefaultSettingsText() + QStringLiteral("\r\n")));
}

}  // namespace keyboard
