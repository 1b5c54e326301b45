// A main window on capture devices in a scratch program folder, shown
// (loaded, activated, initialised) with test dialogs answering its boxes,
// and the aids the main-window tests share.
#pragma once

#include "keyboard/appfolder.h"
#include "keyboard/mainwindow.h"
#include "midi/midiout.h"
#include "midi/state.h"
#include "platform/resources.h"
#include "platform/textcodec.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

// The settings file as the program writes it.
inline QByteArray defaultSettingsBytes() {
    return plat::toGbk(keyboard::DefaultSettingsText() + QStringLiteral("\r\n"));
}

class MainWindowTest : public ::testing::Test, protected testing_support::MidiMessageAids {
protected:
    // Key codes the tests press.
    static constexpr int kG = 71, kH = 72, kSpace = 32, kBack = 8, kNumPlus = 107, kNumMinus = 109;

    // Override to prepare the folder before the window is shown.
    virtual void PrepareFolder() {}

    void SetUp() override {
        rt::clearProgramEndRequest();
        keyboard::SetProgramFolder(folder.path());
        folder.write(QStringLiteral("vanto.ini"), defaultSettingsBytes());
        PrepareFolder();
        ASSERT_FALSE(reopen());
        devices.take();
        dialogs.messages.clear();
    }

    void TearDown() override {
        form.reset();
        midi::G.Form1Instance = nullptr;
        keyboard::SetProgramFolder(QString());
        midi::CloseMidiOut();
    }

    // Shows a new main window over the folder as it is now, in a fresh
    // state; true when the program ended during the showing.
    bool reopen() {
        form.reset();
        midi::CloseMidiOut();
        midi::resetState();
        dialogs.messages.clear();
        form = std::make_unique<MainWindow>();
        midi::G.Form1Instance = form.get();
        form->Rnd = [this] { return nextRandom; };
        try {
            form->Show();
        } catch (const plat::ProgramEnded&) {
            return true;
        }
        return false;
    }

    Msgs take() { return devices.take(); }
    void key(int code) { form->SFYXYZ_KeyDown(code, 0); }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) form->Timer1->tick();
    }
    qint64 picture(int k) const { return form->Picture1[k]->picture().cacheKey(); }

    // The messages of the melody channels 0..2.
    static Msgs melody(const Msgs& m) {
        Msgs out;
        for (uint32_t v : m)
            if ((v & 0x0F) <= 2) out.push_back(v);
        return out;
    }
    // A melody note's release: voices 0..2, voice 2's octave below too.
    static Msgs releaseOf(int n) { return {msg(0x80, n, 0), msg(0x81, n, 0), msg(0x82, n, 0), msg(0x82, n - 12, 0)}; }
    // Note-offs of `count` notes from 36 up, each on channels 0..last.
    static Msgs sweep(int last, int count) {
        Msgs out;
        for (int i = 0; i < count; ++i)
            for (int ch = 0; ch <= last; ++ch) out.push_back(msg(0x80 + ch, 36 + i, 0));
        return out;
    }
    // The first note of the default voices at middle C: the previous note
    // (offset 0) released, then each voice's pan and note.
    static Msgs firstStrikeOfMiddleC() {
        return cat(releaseOf(36), {msg(0xB0, 10, 64), msg(0x90, 60, 85), msg(0xB1, 10, 64), msg(0x91, 60, 70),
                                   msg(0xB2, 10, 88), msg(0x92, 60, 55), msg(0xB2, 10, 88), msg(0x92, 48, 55)});
    }
    // A hit on every step of drum row 0, velocity 10 + step.
    static void patternOnEveryStep() {
        for (int s = 0; s <= 15; ++s) {
            midi::G.RhythmPattern(0, s).Enabled = midi::True;
            midi::G.RhythmPattern(0, s).Message = 0x99 + 36 * 256 + (10 + s) * 65536;
        }
    }
    QString record(const QString& name) const { return folder.file(QStringLiteral("演奏记录/") + name); }
    // The record-folder file the next file dialog answers.
    QString answer(const QString& name) { return dialogs.fileAnswers.emplace_back(record(name)); }
    // The drum expressions of the steps of a bar in 2/4, 3/4 and 4/4.
    static std::vector<int> accentsOfMeter(int meter) {
        static const std::vector<int> table[3] = {
            {127, 100, 55, 100, 127, 100, 55, 100, 127, 100, 55, 100, 127, 100, 55, 100},
            {127, 100, 55, 100, 55, 100, 127, 100, 55, 100, 55, 100},
            {127, 100, 55, 100, 90, 100, 55, 100, 127, 100, 55, 100, 90, 100, 55, 100}};
        return table[meter];
    }

    double nextRandom = 0.0;
    testing_support::TestDialogs dialogs;
    testing_support::CaptureDevices devices;
    testing_support::ScratchFolder folder;
    std::unique_ptr<MainWindow> form;
};
