// A music editor window on the capture MIDI device, shown (loaded and
// activated) with test dialogs answering its boxes, over a fresh song; and
// the aids the editor window tests share.
#pragma once

#include "editor/editorwindow.h"
#include "editor/songmodel.h"
#include "midi/midiout.h"
#include "midi/state.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <memory>
#include <vector>

class EditorTest : public ::testing::Test, protected testing_support::MidiMessageAids {
protected:
    void SetUp() override {
        midi::CloseMidiOut();
        midi::resetState();
        editor::song() = editor::Song();
        midi::G.AppPath = folder.path();
        w = std::make_unique<EditorWindow>();
        w->Show();
        activation = take();
        dialogs.messages.clear();
    }

    void TearDown() override {
        w.reset();
        midi::Hooks = midi::WindowHooks{};
        midi::CloseMidiOut();
    }

    Msgs take() { return devices.take(); }
    editor::Song& song() { return editor::song(); }

    // Types a note box's text and leaves the box.
    void type(int track, const QString& text) {
        w->YF1[track]->setText(text);
        w->YF1[track]->onLostFocus();
    }
    // Ticks a drum box as a click would.
    void tickDrum(int row, int step) { w->DJY[row][step]->setValue(1); }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) w->YYDS->tick();
    }

    // The data bytes of the messages with one status byte and first data byte
    // (-1: any), in order.
    static std::vector<int> values(const Msgs& m, int status, int d1 = -1) {
        std::vector<int> out;
        for (uint32_t v : m)
            if (static_cast<int>(v & 0xFF) == status && (d1 < 0 || static_cast<int>((v >> 8) & 0xFF) == d1))
                out.push_back(static_cast<int>(d1 < 0 ? (v >> 8) & 0xFF : (v >> 16) & 0xFF));
        return out;
    }
    // The note-offs of notes base..base+64 on channels 0..6.
    static Msgs sweep(int base) {
        Msgs m;
        for (int c = 0; c <= 6; ++c) {
            Msgs o = offs(c, base, base + 64);
            m.insert(m.end(), o.begin(), o.end());
        }
        return m;
    }
    // The melodic notes (channels 0..6) sounding after a message sequence,
    // per channel and note.
    static std::vector<std::pair<int, int>> sounding(const Msgs& m) {
        std::vector<std::pair<int, int>> on;
        for (uint32_t v : m) {
            const int st = v & 0xF0, ch = v & 0x0F, note = (v >> 8) & 0xFF, vel = (v >> 16) & 0xFF;
            if (ch > 6) continue;
            auto it = std::find(on.begin(), on.end(), std::make_pair(ch, note));
            if (st == 0x90 && vel > 0) {
                if (it == on.end()) on.emplace_back(ch, note);
            } else if ((st == 0x80 || (st == 0x90 && vel == 0)) && it != on.end()) {
                on.erase(it);
            }
        }
        return on;
    }

    testing_support::TestDialogs dialogs;
    testing_support::CaptureDevices devices;
    testing_support::ScratchFolder folder;
    std::unique_ptr<EditorWindow> w;
    Msgs activation;
};
