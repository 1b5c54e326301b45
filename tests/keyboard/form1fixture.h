// A main window on capture devices in a scratch program folder, shown
// (loaded, activated, initialised) with test dialogs answering its boxes.
#pragma once

#include "keyboard/appfolder.h"
#include "keyboard/form1.h"
#include "midi/midiout.h"
#include "midi/state.h"
#include "platform/resources.h"
#include "platform/textcodec.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>
#include <memory>

class Form1Test : public ::testing::Test {
protected:
    using Msgs = std::vector<uint32_t>;

    // Override to prepare the folder before the window is shown.
    virtual void PrepareFolder() {}

    void SetUp() override {
        midi::resetState();
        ui::clearProgramEndRequest();
        keyboard::SetProgramFolder(folder.path());
        folder.write(QStringLiteral("vanto.ini"), plat::toGbk(keyboard::DefaultSettingsText() + QStringLiteral("\r\n")));
        PrepareFolder();
        form = std::make_unique<Form1>();
        midi::G.Form1Instance = form.get();
        form->Rnd = [this] { return nextRandom; };
        form->Show();
        devices.take();
        dialogs.messages.clear();
    }

    void TearDown() override {
        form.reset();
        midi::G.Form1Instance = nullptr;
        keyboard::SetProgramFolder(QString());
        midi::CloseMidiOut();
    }

    Msgs take() { return devices.take(); }
    // Only the messages whose status byte is in [lo, hi].
    static Msgs only(const Msgs& m, int lo, int hi) {
        Msgs out;
        for (uint32_t v : m)
            if (static_cast<int>(v & 0xFF) >= lo && static_cast<int>(v & 0xFF) <= hi) out.push_back(v);
        return out;
    }
    static uint32_t msg(int status, int d1, int d2) {
        return static_cast<uint32_t>(status | (d1 << 8) | (d2 << 16));
    }

    double nextRandom = 0.0;
    testing_support::TestDialogs dialogs;
    testing_support::CaptureDevices devices;
    testing_support::ScratchFolder folder;
    std::unique_ptr<Form1> form;
};
