// Playback: one bar ("试听本节效果") or the whole song ("从开始处启动"), one
// sixteenth step per tick of the play clock YYDS, which keeps musical time
// against a grid of deadlines set when the play starts.
#include "editor/editorwindow.h"

#include "editor/songmodel.h"
#include "midi/gestures.h"
#include "midi/midiout.h"
#include "platform/dialogs.h"

#include <algorithm>

using namespace midi;

namespace {

const QString kStop = QStringLiteral("TZ");

// Weak steps of an editor bar take the accent 80, every other step 120.
bool weakStep(int lastStep, int step) {
    switch (lastStep) {
    case 15: return step == 4 || step == 12;
    case 23: return step == 4 || step == 8 || step == 16 || step == 20;
    case 31: return step == 4 || step == 8 || step == 12 || step == 20 || step == 24 || step == 28;
    default: return false;
    }
}

i16 clampExpression(int v) { return static_cast<i16>(std::clamp(v, 0, 120)); }

// A note-off for a note a channel can hold: the silencing paths run after a
// failed step too, whatever the key was left at.
void release(int channel, int note) {
    if (note >= 0 && note <= 127) NoteOff(static_cast<i16>(channel), static_cast<i16>(note));
}

}  // namespace

void EditorWindow::ConvertSong() {
    auto& song = editor::song();
    for (int t = 0; t <= 11; ++t) {
        for (int32_t b = 0; b <= EditorBarCount; ++b) {
            for (int s = 0; s <= BarLastStep; ++s) {
                const i16 p = rt::add16(rt::mul16(b, BarLastStep + 1), s);
                NoteToken = song.EditorMarkGrid(t, p);
                if (t <= 6) {
                    SYYPSB();
                    song.EditorPitchGrid(t, p) = G.EditorNoteSemitone;
                    continue;
                }
                RhythmHit& hit = G.RhythmPattern(t - 7, p);
                const i16 note = static_cast<i16>(SYYQ[t]->listIndex() + 35);
                hit.DrumNote = note;
                hit.Volume = G.ChannelVelocity(t);
                hit.Message = G.ChannelVelocity(t) * 65536 + note * 256 + 0x99;
                hit.Enabled = NoteToken == QStringLiteral("O") ? True : False;
            }
        }
    }
}

// ---- Starting and stopping

void EditorWindow::ST1_Click() {
    if (!ST1->value()) {
        StopPlay(false);
        return;
    }
    CommitNoteBoxes();
    // Only a bar of the song can be played: a typed number beyond it would
    // read past the song or the tables.
    const double typed = rt::roundHalfEven(rt::Val(XJZS->text()));
    if (typed < 0 || typed > EditorBarCount) {
        ST1->setValue(false);
        plat::msgBox(QStringLiteral("小节号应在0到%1之间！").arg(EditorBarCount));
        return;
    }
    ST2->setEnabled(false);
    ConvertSong();
    CurrentBar = static_cast<int32_t>(typed);
    PlayEndStep = CurrentBar * (BarLastStep + 1) + BarLastStep;
    G.EditorCountdown = BarLastStep + 1;
    G.RhythmStep = rt::toI16(CurrentBar * (BarLastStep + 1));
    XJZS->setText(QString::number(CurrentBar));
    BZWJ->setEnabled(false);
    YYDS->setInterval(G.BeatInterval);
    YYDS->setEnabled(true);
    YYDS_Step();
}

void EditorWindow::ST2_Click() {
    PlayEndStep = EditorBarCount * (BarLastStep + 1) + BarLastStep;
    if (ST2->value() != 1) {
        StopPlay(true);
        return;
    }
    CommitNoteBoxes();
    CurrentBar = 0;
    G.RhythmStep = 0;
    ConvertSong();
    ST2->setText(QStringLiteral("停止当前演奏"));
    ST1->setEnabled(false);
    XJZS->setText(QStringLiteral("0"));
    BZWJ->setEnabled(false);
    if (editor::song().BarHeaderTexts(0).size() > 4) CXTSB();
    ExpressionLevel = CrescendoRate > 0 ? 0 : 120;
    // The last position is sounded by the tick before the one that ends the
    // play, so the song is counted one tick longer than its last position.
    G.EditorCountdown = PlayEndStep + 1;
    YYDS->setInterval(G.BeatInterval);
    YYDS->setEnabled(true);
    YYDS_Step();
}

void EditorWindow::StopPlay(bool fromSongBox) {
    SilenceTracks();
    ST2->setEnabled(true);
    ST1->setValue(false);
    ST2->setText(QStringLiteral("从开始处启动"));
    YYDS->setEnabled(false);
    if (fromSongBox) {
        ST1->setEnabled(true);
        BZWJ->setEnabled(true);
    }
}

// ---- The clock

void EditorWindow::YYDS_Timer() {
    if (!YYDS_Step()) return;
    // The tick runs ahead of its deadline; the count, and the end of the play
    // that the buttons show, change at the deadline itself.
    YYDS->atDeadline([this] {
        G.EditorCountdown -= 1;
        if (G.EditorCountdown < 1) ShowPlayEnded();
    });
}

void EditorWindow::ShowPlayEnded() {
    ST1->setEnabled(true);
    ST2->setEnabled(true);
    ST1->setValue(false);
    ST2->setValue(0);
    ST2->setText(QStringLiteral("从开始处启动"));
    YYDS->setEnabled(false);
}

// One step under the play's error trap: a failing step silences the tracks
// and stops the play without a message. False when it failed.
bool EditorWindow::YYDS_Step() {
    try {
        YYSB();
        return true;
    } catch (const rt::RuntimeError&) {
        SilenceTracks();
        ShowPlayEnded();
        BZWJ->setEnabled(true);
        return false;
    }
}

void EditorWindow::YYSB() {
    const int steps = BarLastStep + 1;
    const int32_t barStart = CurrentBar * steps;
    if (Check1[1]->value() == 1 && CrescendoRate > 0) {
        ExpressionLevel = clampExpression(ExpressionLevel + CrescendoRate);
    } else if (Check1[1]->value() == 1 && CrescendoRate <= -1 && barStart + BarLastStep / 2 < G.RhythmStep &&
               G.RhythmStep < barStart + steps) {
        ExpressionLevel = clampExpression(ExpressionLevel + CrescendoRate);
    } else {
        ExpressionLevel = 120;
    }
    const bool vibrato = Check1[0]->value() == 1;
    SendShortMessage(0xB0, 1, vibrato ? 120 : 0);
    if (vibrato) VibratoUsed = true;

    if (G.RhythmStep > PlayEndStep) {
        // Past the last position: the play ends at this tick's deadline.
        YYDS->atDeadline([this] {
            SilenceTracks();
            ST1->setValue(false);
            ST2->setValue(0);
            BZWJ->setEnabled(true);
            ExpressionLevel = CrescendoRate > 0 ? 0 : 120;
            SendShortMessage(0xB0, 11, ExpressionLevel);
        });
        return;
    }
    auto& song = editor::song();
    // A play moving on to the next bar leaves the bar shown as the scroll bar does.
    const int32_t bar = G.RhythmStep / steps;
    if (bar != CurrentBar) CommitNoteBoxes();
    CurrentBar = bar;
    if (song.BarHeaderTexts(CurrentBar).size() > 4 && LastPlayedBar != CurrentBar) CXTSB();
    XJZS->setText(QString::number(CurrentBar));
    HScroll1->setValue(CurrentBar);
    G.EditorBeatInBar = static_cast<i16>(G.RhythmStep % steps);
    AccentLevel = weakStep(BarLastStep, G.EditorBeatInBar) ? 80 : 120;
    if (BarLastStep == 31 && ExpressionLevel < 120) AccentLevel = ExpressionLevel;
    for (int c = 0; c <= 4; ++c) SendShortMessage(static_cast<i16>(0xB0 + c), 11, ExpressionLevel);
    for (int c : {5, 6, 9}) SendShortMessage(static_cast<i16>(0xB0 + c), 11, AccentLevel);
    for (int r = 0; r < 5; ++r) {
        const int note = SYYQ[7 + r]->listIndex() + 35;
        G.RhythmPattern(r, G.RhythmStep).Message = G.ChannelVelocity(7 + r) * 65536 + note * 256 + 0x99;
    }
    XJFS();
}

// ---- Sounding one position

void EditorWindow::ReleaseTrack(int t) {
    const i16 code = TrackSoundingNote(t);
    std::vector<i16>& struck = StruckNotes[t];
    if (code >= 65 && code <= 79) {
        for (int j = 0; j <= 64; ++j) release(t, G.BaseNote + j);
        // A chord struck in another key lies partly outside the sweep.
        for (i16 n : struck)
            if (n < G.BaseNote || n > G.BaseNote + 64) release(t, n);
    } else if (!struck.empty()) {
        for (i16 n : struck) release(t, n);
    } else {
        release(t, G.BaseNote + code);
    }
    struck.clear();
}

void EditorWindow::SilenceTracks() {
    for (int c = 0; c <= 6; ++c)
        for (int j = 0; j <= 64; ++j) release(c, G.BaseNote + j);
    for (int c = 0; c <= 6; ++c) {
        for (i16 n : StruckNotes[c])
            if (n < G.BaseNote || n > G.BaseNote + 64) release(c, n);
        StruckNotes[c].clear();
    }
}

void EditorWindow::XJFS() {
    auto& song = editor::song();
    const i16 p = G.RhythmStep;
    PlayRhythmStep();
    for (int t = 0; t <= 6; ++t) {
        const i16 code = song.EditorPitchGrid(t, p);
        const QString& cell = song.EditorMarkGrid(t, p);
        if (code < 64 && cell != kStop) {
            ReleaseTrack(t);
            const i16 note = rt::add16(G.BaseNote, code);
            if (SYYQ[t]->listIndex() > 0) NoteOn(static_cast<i16>(t), note, G.ChannelVelocity(t));
            StruckNotes[t] = {note};
            TrackSoundingNote(t) = code;
        } else if (code >= 65 && code <= 79) {
            ReleaseTrack(t);
            G.ChordKey = code;
            G.ChordChannel = static_cast<i16>(t);
            if (SYYQ[t]->listIndex() > 0) PlayChordNotes();
            const int* triad = TriadOffsets(code - 64);
            StruckNotes[t] = {rt::add16(G.BaseNote, triad[0]), rt::add16(G.BaseNote, triad[1]),
                              rt::add16(G.BaseNote, triad[2])};
            TrackSoundingNote(t) = code;
        } else if (code == 254 || cell == kStop) {
            // A stop releases whatever the track sounds, a chord included.
            ReleaseTrack(t);
        }
    }
    LastPlayedBar = static_cast<i16>(CurrentBar);
    // The play position a key reads moves on at the step's deadline.
    YYDS->atDeadline([] { G.RhythmStep = rt::add16(G.RhythmStep, 1); });
}
