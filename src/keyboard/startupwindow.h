// The start-up window: refuses a second running copy, shows the splash
// picture, creates the settings file when it is missing, and after 25 s or a
// press of "知道了" opens the main window.
#pragma once

#include "ui/controls.h"

#include <QWidget>
#include <functional>

class DZQQD : public QWidget {
    Q_OBJECT
public:
    explicit DZQQD(QWidget* parent = nullptr);
    // Loads and shows the window. A second copy of the program ends in the
    // load (under test dialogs the end is thrown as plat::ProgramEnded).
    void Show();
    void Form_Load();
    void Timer1_Timer();
    void Command1_Click();

    ui::PictureBox* Picture = nullptr;
    ui::Label* Label1 = nullptr;
    ui::CommandButton* Command1 = nullptr;
    ui::Timer* Timer1 = nullptr;

    // True when another copy of the program is running (replaceable in tests).
    static std::function<bool()> OtherInstanceRunning;
    static QString WelcomeText();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void EndSplash();
    bool ended_ = false;
};
