// Dialogs for programs that run without a person: every message box is
// printed on standard error and answered OK, every other dialog cancelled.
#pragma once

#include "platform/dialogs.h"

#include <cstdio>
#include <cstdlib>

class QuietDialogs : public plat::Dialogs {
public:
    int messageBox(QWidget*, const QString& text, int, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return plat::kAnsOk;
    }
    bool inputBox(QWidget*, const QString&, const QString&, const QString&, QString*) override { return false; }
    plat::FileDialogResult fileDialog(QWidget*, const plat::FileDialogRequest&) override { return {}; }
    [[noreturn]] void endProgram(int code) override { std::exit(code); }
};
