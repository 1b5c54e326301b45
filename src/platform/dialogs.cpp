// Message boxes, input boxes, file dialogs and the program's end, behind the interface tests
// replace.
#include "platform/dialogs.h"
#include "platform/midiout.h"

#include "platform/fileutil.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>
#include <QMessageBox>
#include <QPushButton>

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

// Qt's file dialog reads a typed name holding a double quote as a list of
// quoted names ("x\"y" gives "y"). This program's dialogs take one file
// only, so such a name is taken whole, as typed, relative to the folder
// shown; a name without a quote goes Qt's own way.
class OneNameFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    QString typedWhole;  // the file chosen by a name taken whole; "" otherwise

    void accept() override {
        auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString typed = edit ? edit->text() : QString();
        if (!typed.contains(u'"')) {
            QFileDialog::accept();
            return;
        }
        QString path = QDir::cleanPath(directory().absoluteFilePath(typed));
        const QFileInfo info(path);
        if (info.isDir()) {  // a folder is opened, as Qt does
            setDirectory(path);
            edit->clear();
            return;
        }
        // (A save's name gets the filter's extension where it is taken.)
        if (acceptMode() != AcceptSave && !info.isFile()) {
            msgBox(QStringLiteral("找不到文件“%1”，请检查文件名是否正确。").arg(typed), kOkOnly | kExclamation,
                   windowTitle());
            return;
        }
        typedWhole = path;
        done(QDialog::Accepted);
    }
};

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
        if (style & kDefaultButton2) {
            const auto second = (style & 0x0F) == kOkCancel ? QMessageBox::Cancel : QMessageBox::No;
            if (QAbstractButton* b = box.button(second)) box.setDefaultButton(qobject_cast<QPushButton*>(b));
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
        OneNameFileDialog dlg(parent, r.title);
        dlg.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dlg.setFileMode(r.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        // The question before replacing a file is ours (below): Qt's own sees
        // neither the names that differ only in case nor, on some platforms,
        // the extension added to a bare name.
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
        const QStringList parts = r.filter.split(u'|');
        QStringList filters = qtFilter(r.filter).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
        // The extension added to a bare name: that of the chosen filter.
        auto suffixOf = [&](const QString& qtName) {
            const int i = static_cast<int>(filters.indexOf(qtName));
            return i >= 0 && 2 * i + 1 < parts.size() ? filterSuffix(parts[2 * i + 1]) : QString();
        };
        if (!filters.isEmpty()) {
            dlg.setNameFilters(filters);
            int idx = qBound(1, r.filterIndex, static_cast<int>(filters.size())) - 1;
            dlg.selectNameFilter(filters[idx]);
            dlg.setDefaultSuffix(suffixOf(filters[idx]));
            QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg,
                             [&](const QString& f) { dlg.setDefaultSuffix(suffixOf(f)); });
        }
        if (!r.initDir.isEmpty()) dlg.setDirectory(r.initDir);
        if (!r.fileName.isEmpty()) dlg.selectFile(r.fileName);
        FileDialogResult res;
        for (;;) {
            dlg.typedWhole.clear();
            if (dlg.exec() != QDialog::Accepted) return res;
            if (dlg.typedWhole.isEmpty() && dlg.selectedFiles().isEmpty()) return res;
            QString chosen = dlg.typedWhole.isEmpty() ? dlg.selectedFiles().first() : dlg.typedWhole;
            if (r.save) chosen = withDefaultSuffix(chosen, dlg.defaultSuffix());
            const QString replaced = r.save ? fileReplacedBySave(chosen) : QString();
            if (!replaced.isEmpty() && (r.flags & 2)) {
                const QString question = QStringLiteral("%1 已存在。\n要替换它吗？").arg(QFileInfo(replaced).fileName());
                // A stray Enter must not replace the file.
                if (messageBox(parent, question, kYesNo | kExclamation | kDefaultButton2, r.title) != kAnsYes) {
                    dlg.selectFile(QFileInfo(chosen).fileName());
                    continue;  // back to the dialog, as a "No" to Qt's own question
                }
            }
            res.cancelled = false;
            // The file replaced keeps its own name; the title is the name chosen.
            res.fileName = replaced.isEmpty() ? chosen : replaced;
            res.fileTitle = QFileInfo(chosen).fileName();
            return res;
        }
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

QString filterSuffix(const QString& patterns) {
    const QString first = patterns.split(QRegularExpression(QStringLiteral("[; ]")), Qt::SkipEmptyParts).value(0);
    if (!first.startsWith(QStringLiteral("*."))) return QString();
    const QString ext = first.mid(2);
    if (ext.isEmpty() || ext.contains(u'*') || ext.contains(u'?')) return QString();
    return ext;
}

QString withDefaultSuffix(const QString& chosen, const QString& suffix) {
    if (suffix.isEmpty() || chosen.isEmpty() || chosen.endsWith(u'/')) return chosen;
    const QString name = QFileInfo(chosen).fileName();
    // A name with an extension of its own keeps it; a leading dot is no extension.
    if (name.lastIndexOf(u'.') > 0) return chosen;
    return chosen + u'.' + suffix;
}

QString fileReplacedBySave(const QString& path) {
    const QString found = resolvePath(path);
    return !found.isEmpty() && QFileInfo(found).isFile() ? found : QString();
}

bool loadChineseQtTranslations() {
    auto* qtbase = new QTranslator(QCoreApplication::instance());
    if (!qtbase->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qtbase;
        return false;
    }
    return QCoreApplication::installTranslator(qtbase);
}

Dialogs& dialogs() { return g_replacement ? *g_replacement : realDialogs(); }
void setDialogs(Dialogs* replacement) { g_replacement = replacement; }
void setEndProgramHook(void (*hook)()) { g_endHook = hook; }

int msgBox(const QString& text, int style, const QString& title) {
    QWidget* parent = QApplication::activeWindow();
    MidiDueTime now(0);  // what the box's event loop sends is due at once
    return dialogs().messageBox(parent, text, style, title);
}

void endProgram(int exitCode) {
    if (!g_replacement && g_endHook) g_endHook();
    dialogs().endProgram(exitCode);
    std::abort();  // an override that returned: the program still ends
}

}  // namespace plat
