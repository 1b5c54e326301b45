// The score entry window: a score typed by hand in the score notation,
// saved as a score text file or opened from one. It shares nothing with the
// main window in memory: a score reaches the main window as a file. While it
// is shown the main window is hidden; leaving it brings the main window back.
#pragma once

#include "ui/controls.h"

#include <QWidget>

// The score entry window (the form the other windows know as YYLR).
class ScoreEntryWindow : public QWidget {
    Q_OBJECT
public:
    // The window while it is shown (created on first show, gone once left),
    // so its boxes come back with their design texts each time.
    static ScoreEntryWindow* Instance;

    explicit ScoreEntryWindow(QWidget* parent = nullptr);
    ~ScoreEntryWindow() override;

    void Show();
    void Form_Load();       // the dialogs' start folder "演奏记录"
    void Command1_Click();  // "保存": saves the typed score as a score file
    void DKYP_Click();      // "打开": opens a score file into the box, its title as the song name
    void FANHUI_Click();    // "返回主窗口": leaves for the main window
    void Form_Unload();     // leaving: shows the main window, hides and deletes this one

    ui::Label* Label3 = nullptr;           // how to type the score
    ui::TextBox* Text1 = nullptr;          // the score
    ui::Label* Label2 = nullptr;           // "请在这里输入歌曲名字"
    ui::TextBox* WJMC = nullptr;           // song name (not saved; an open shows the file's title)
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
