// The desktop's "open this" call and its replaceable back end.
#include "platform/shell.h"

#include "platform/textcodec.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace plat {
namespace {

constexpr intptr_t kOpened = 42;
constexpr intptr_t kFileNotFound = 2;
constexpr intptr_t kNoAssociation = 31;

class DesktopShell : public Shell {
public:
    intptr_t execute(const ShellRequest& r) override {
        if (!r.verb.isEmpty() && r.verb.compare(QLatin1String("open"), Qt::CaseInsensitive) != 0) return kNoAssociation;
        QUrl url(r.file);
        if (url.scheme().size() <= 1) {  // no scheme, or a drive letter: a local file
            if (!QFileInfo::exists(r.file)) return kFileNotFound;
            url = QUrl::fromLocalFile(r.file);
        }
        return QDesktopServices::openUrl(url) ? kOpened : kNoAssociation;
    }
};

Shell* g_replacement = nullptr;

QString text(const char* gbk) { return gbk ? fromGbk(QByteArray(gbk)) : QString(); }

}  // namespace

Shell& shell() {
    static DesktopShell desktop;
    return g_replacement ? *g_replacement : desktop;
}

void setShell(Shell* replacement) { g_replacement = replacement; }

intptr_t ShellExecuteA(uintptr_t, const char* verb, const char* file, const char* parameters, const char* folder,
                       int showCommand) {
    ShellRequest r;
    r.verb = text(verb);
    r.file = text(file);
    r.parameters = text(parameters);
    r.folder = text(folder);
    r.showCommand = showCommand;
    return shell().execute(r);
}

}  // namespace plat
