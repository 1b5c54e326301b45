#include "platform/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace plat {
namespace {

const char* const kAppTitle = "Morvela";

// Turns "说明|*.txt|说明2|*.a;*.b" into Qt's "说明 (*.txt);;说明2 (*.a *.b)".
QString qtFilter(const QString& filter) {
    QStringList parts = filter.split(u'|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        out << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return out.join(QStringLiteral(";;"));
}

class RealDialogs : public Dialogs {
public:
    int messageBox(QWidget* parent, const QString& text, int style, const QString& title) override {
        QMessageBox box(parent);
        box.setWindowTitle(title.isEmpty() ? QString::fromUtf8(kAppTitle) : title);
        box.setText(text);
        switch (style & 0x0F) {
        case kOkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case kYesNoCancel: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
        case kYesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        default: box.setStandardButtons(QMessageBox::Ok); break;
        }
        switch (style & 0x70) {
        case kCritical: box.setIcon(QMessageBox::Critical); break;
        case kQuestion: box.setIcon(QMessageBox::Question); break;
        case kExclamation: box.setIcon(QMessageBox::Warning); break;
        case kInformation: box.setIcon(QMessageBox::Information); break;
        default: break;
        }
        switch (box.exec()) {
        case QMessageBox::Cancel: return kAnsCancel;
        case QMessageBox::Yes: return kAnsYes;
        case QMessageBox::No: return kAnsNo;
        default: return kAnsOk;
        }
    }

    bool inputBox(QWidget* parent, const QString& prompt, const QString& title,
                  const QString& defaultText, QString* answer) override {
        bool ok = false;
        QString text = QInputDialog::getText(parent, title.isEmpty() ? QString::fromUtf8(kAppTitle) : title,
                                             prompt, QLineEdit::Normal, defaultText, &ok);
        if (ok && answer) *answer = text;
        return ok;
    }

    FileDialogResult fileDialog(QWidget* parent, const FileDialogRequest& r) override {
        QFileDialog dlg(parent, r.title);
        dlg.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dlg.setFileMode(r.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dlg.setOption(QFileDialog::DontConfirmOverwrite, !(r.save && (r.flags & 2)));
        QStringList filters = qtFilter(r.filter).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
        if (!filters.isEmpty()) {
            dlg.setNameFilters(filters);
            int idx = qBound(1, r.filterIndex, static_cast<int>(filters.size())) - 1;
            dlg.selectNameFilter(filters[idx]);
        }
        if (!r.initDir.isEmpty()) dlg.setDirectory(r.initDir);
        if (!r.fileName.isEmpty()) dlg.selectFile(r.fileName);
        FileDialogResult res;
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return res;
        res.cancelled = false;
        res.fileName = dlg.selectedFiles().first();
        // A save dialog adds the filter's extension when none was typed.
        if (r.save && QFileInfo(res.fileName).suffix().isEmpty()) {
            QString f = dlg.selectedNameFilter();
            int star = f.indexOf(QStringLiteral("*."));
            if (star >= 0) {
                QString ext = f.mid(star + 1).section(u' ', 0, 0).remove(u')');
                if (!ext.contains(u'*')) res.fileName += ext;
            }
        }
        res.fileTitle = QFileInfo(res.fileName).fileName();
        return res;
    }

    [[noreturn]] void endProgram(int exitCode) override {
        std::fflush(nullptr);
        _exit(exitCode);
    }
};

RealDialogs& realDialogs() {
    static RealDialogs d;
    return d;
}
Dialogs* g_replacement = nullptr;
void (*g_endHook)() = nullptr;

}  // namespace

Dialogs& dialogs() { return g_replacement ? *g_replacement : realDialogs(); }
void setDialogs(Dialogs* replacement) { g_replacement = replacement; }
void setEndProgramHook(void (*hook)()) { g_endHook = hook; }

int msgBox(const QString& text, int style, const QString& title) {
    QWidget* parent = QApplication::activeWindow();
    return dialogs().messageBox(parent, text, style, title);
}

void endProgram(int exitCode) {
    if (!g_replacement && g_endHook) g_endHook();
    dialogs().endProgram(exitCode);
    std::abort();  // an override that returned: the program still ends
}

}  // namespace plat
