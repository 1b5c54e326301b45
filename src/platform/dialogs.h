// Everything that waits on the user or ends the program goes through one
// interface, so tests can answer message boxes, input boxes and file dialogs
// and watch the program end without ending the test.
#pragma once

#include <QString>
#include <memory>
#include <stdexcept>

class QWidget;

namespace plat {

// Buttons and answers of the message box (values of our own).
inline constexpr int kOkOnly = 0, kOkCancel = 1, kYesNoCancel = 3, kYesNo = 4;
inline constexpr int kNoIcon = 0, kCritical = 16, kQuestion = 32, kExclamation = 48, kInformation = 64;
inline constexpr int kAnsOk = 1, kAnsCancel = 2, kAnsYes = 6, kAnsNo = 7;
// Added to the style: the second button ("否", "取消") answers Enter.
inline constexpr int kDefaultButton2 = 256;

struct FileDialogRequest {
    bool save = false;
    QString filter;        // "说明|*.txt|说明2|*.bin"
    int filterIndex = 1;   // 1-based
    int flags = 0;         // 2: ask before overwriting (save dialogs)
    QString initDir;
    QString title;
    QString fileName;      // proposed name
};
struct FileDialogResult {
    bool cancelled = true;
    QString fileName;   // full path
    QString fileTitle;  // name without folder
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // buttons + icon as above; returns a MsgAnswer.
    virtual int messageBox(QWidget* parent, const QString& text, int style, const QString& title) = 0;
    // Returns false when cancelled.
    virtual bool inputBox(QWidget* parent, const QString& prompt, const QString& title,
                          const QString& defaultText, QString* answer) = 0;
    virtual FileDialogResult fileDialog(QWidget* parent, const FileDialogRequest& request) = 0;
    // Ends the program at once: silences the sound and leaves. Never returns.
    [[noreturn]] virtual void endProgram(int exitCode) = 0;
};

// Thrown by test dialogs' endProgram so a test can see the program end.
struct ProgramEnded : std::exception {
    int code = 0;
    explicit ProgramEnded(int c) : code(c) {}
    const char* what() const noexcept override { return "program ended"; }
};

Dialogs& dialogs();
// Installs a replacement (tests); nullptr restores the real dialogs.
void setDialogs(Dialogs* replacement);

// Convenience wrappers with the application's title ("Morvela").
int msgBox(const QString& text, int style = kOkOnly, const QString& title = QString());
[[noreturn]] void endProgram(int exitCode = 0);

// Hook run by endProgram before it leaves (the engine's silence, log flush).
void setEndProgramHook(void (*hook)());

// The extension a save dialog adds for a filter's patterns ("*.bin" gives
// "bin"; "*.*", "*" or no pattern give none).
QString filterSuffix(const QString& patterns);
// The file a save dialog's answer writes to: `chosen` with `suffix` added when
// its name has no extension of its own.
QString withDefaultSuffix(const QString& chosen, const QString& suffix);
// The existing file that saving under `path` would replace: the file of that
// name, or one whose name differs only in letter case (names match without
// regard to case here). "" when there is none.
QString fileReplacedBySave(const QString& path);

// Loads Qt's own Simplified Chinese texts (standard dialogs and buttons:
// "打开", "另存为", "确定", "取消") into the application. False when they are
// not installed.
bool loadChineseQtTranslations();

}  // namespace plat
