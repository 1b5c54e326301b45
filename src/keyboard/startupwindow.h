// The start-up window: refuses a second running copy, shows the splash
// picture, creates the settings file when it is missing, and after 25 s or a
// press of "知道了" opens the main window.
#pragma once

#include "ui/controls.h"

#include <QWidget>
#include <functional>

// The start-up window (the form the other windows know as DZQQD).
class StartupWindow : public QWidget {
    Q_OBJECT
public:
    explicit StartupWindow(QWidget* parent = nullptr);
    // Loads and shows the window. A second copy of the program ends in the
    // load (under test dialogs the end is thrown as plat::ProgramEnded).
    void Show();
    void Form_Load();  // refuses a second running copy, shows the splash picture, creates vanto.ini when it is missing
    void Timer1_Timer();  // after 25 s: the splash ends and the main window opens
    void Command1_Click();  // "知道了": the splash ends and the main window opens

    ui::PictureBox* Picture = nullptr;  // splash picture
    ui::Label* Label1 = nullptr;        // welcome text
    ui::CommandButton* Command1 = nullptr;  // "知道了"
    ui::Timer* Timer1 = nullptr;            // 25 s to the main window

    // True when another copy of the program is running (replaceable in tests).
    static std::function<bool()> OtherInstanceRunning;
    static QString WelcomeText();  // the text of Label1

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void EndSplash();
    bool ended_ = false;
};
