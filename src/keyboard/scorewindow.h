// The score entry window YYLR: a score typed by hand in the score notation,
// saved as a score text file or opened from one. It shares nothing with the
// main window in memory: a score reaches the main window as a file. While it
// is shown the main window is hidden; leaving it brings the main window back.
#pragma once

#include "ui/controls.h"

#include <QWidget>

class YYLR : public QWidget {
    Q_OBJECT
public:
    // The window while it is shown (created on first show, gone once left),
    // so its boxes come back with their design texts each time.
    static YYLR* Instance;

    explicit YYLR(QWidget* parent = nullptr);
    ~YYLR() override;

    void Show();
    void Form_Load();
    void Command1_Click();  // "保存"
    void DKYP_Click();      // "打开"
    void FANHUI_Click();    // "返回主窗口"
    void Form_Unload();

    ui::Label* Label3 = nullptr;
    ui::TextBox* Text1 = nullptr;          // the score
    ui::Label* Label2 = nullptr;
    ui::TextBox* WJMC = nullptr;           // song name
    ui::CommandButton* Command1 = nullptr;  // "保存"
    ui::CommandButton* DKYP = nullptr;      // "打开"
    ui::CommandButton* FANHUI = nullptr;    // "返回主窗口"

    QString ScoreEntryText;      // the score being saved or just read
    QString ScoreEntryFileName;  // the path chosen in the dialog
    QString DialogFolder;        // start folder of the window's file dialogs

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    bool leaving_ = false;
};
