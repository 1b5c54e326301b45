// The bar's mix: instruments, volumes, key, tempo, vibrato and crescendo
// controls with the messages they send, storing them as the bar's settings
// line ("保存") and applying a stored line when a bar is shown or played.
#include "editor/editorwindow.h"

#include "editor/barsettings.h"
#include "editor/songmodel.h"
#include "midi/midiout.h"
#include "platform/dialogs.h"

#include <algorithm>

using namespace midi;

namespace {

i16 intervalOf(double tempo) { return static_cast<i16>(rt::Int(15000.0 / tempo)); }
bool validTempo(double v) { return v >= editor::kMinTempo && v <= editor::kMaxTempo; }

}  // namespace

EditorWindow::i16 EditorWindow::VolumeOf(const QString& text) { return editor::clampVolume(rt::Val(text)); }

void EditorWindow::BCXJ() {
    auto& song = editor::song();
    if (CurrentBar < 0) return;
    if (CurrentBar > editor::kLastSettingsBar) {
        plat::msgBox(QStringLiteral("只有第0到第%1小节可以保存乐器、音量等设置，第%2小节的设置没有保存！")
                         .arg(editor::kLastSettingsBar)
                         .arg(CurrentBar));
        return;
    }
    editor::BarSettings s;
    // Only a tempo the editor plays is stored: a box left at a refused tempo
    // stores the tempo in force.
    const double typed = rt::Val(DQSUDU->text());
    s.tempo = validTempo(typed) ? rt::CInt(typed)
                                : static_cast<i16>(std::clamp(15000 / std::max<int>(G.BeatInterval, 1), 50, 255));
    s.key = static_cast<i16>(DQYD->listIndex());
    const int v0 = Check1[0]->value(), v1 = Check1[1]->value();
    if (v0 <= 1 && v1 <= 1) {
        s.vibrato = v0 == 1;
        s.crescendo = v1 == 1;
    } else {
        // A greyed box keeps the switches stored before.
        const QString& old = song.BarEffectFlags(CurrentBar);
        s.vibrato = old.left(1) == QStringLiteral("1");
        s.crescendo = old.mid(1, 1) == QStringLiteral("1");
    }
    s.depth = static_cast<i16>(HScroll3->value());
    for (int i = 0; i <= 11; ++i) {
        G.ChannelVelocity(i) = VolumeOf(YQYL[i]->text());
        G.EditorTrackProgram(i) = i <= 6 ? SYYQ[i]->listIndex() - 1 : SYYQ[i]->listIndex();
        s.program[i] = G.EditorTrackProgram(i);
        s.volume[i] = G.ChannelVelocity(i);
    }
    editor::storeBarSettings(song, CurrentBar, s);
}

// A line on a bar past kLastSettingsBar (only a file from elsewhere holds
// one) is not applied.
void EditorWindow::CXTSB() {
    if (CurrentBar < 0 || CurrentBar > editor::kLastSettingsBar) return;
    auto& song = editor::song();
    // Fields that cannot be read, or lie outside what their control holds,
    // leave that control as it is.
    const editor::BarSettingsFields f = editor::decodeBarSettingsLine(song.BarHeaderTexts(CurrentBar));
    for (int i = 0; i <= 11; ++i) {
        if (f.volume[i]) {
            G.ChannelVelocity(i) = *f.volume[i];
            const QString text = QString::number(*f.volume[i]);
            YQYL[i]->setText(text);
        }
        if (f.program[i]) {
            G.EditorTrackProgram(i) = *f.program[i];
            SYYQ[i]->setListIndex(i <= 6 ? *f.program[i] + 1 : *f.program[i]);
        }
    }
    editor::noteAppliedSettings(song, CurrentBar);
    if (f.key) DQYD->setListIndex(*f.key);
    if (f.tempo) DQSUDU->setText(QString::number(*f.tempo));
    if (f.depth) HScroll3->setValue(*f.depth);
    if (f.vibrato) Check1[0]->setValue(*f.vibrato ? 1 : 0);
    if (f.crescendo) Check1[1]->setValue(*f.crescendo ? 1 : 0);
    const long long first = static_cast<long long>(CurrentBar) * (BarLastStep + 1);
    for (int i = 0; i <= 11; ++i) {
        if (i <= 6) {
            if (G.EditorTrackProgram(i) >= 0)
                ProgramChange(static_cast<i16>(i), 0, static_cast<i16>(G.EditorTrackProgram(i)));
            continue;
        }
        const int32_t message = G.ChannelVelocity(i) * 65536 + (SYYQ[i]->listIndex() + 35) * 256 + 153;
        for (int st = 0; st <= BarLastStep && first + st <= 9999; ++st) G.RhythmPattern(i - 7, first + st).Message = message;
    }
    const double tempo = rt::Val(DQSUDU->text());
    if (validTempo(tempo)) G.BeatInterval = intervalOf(tempo);
}

void EditorWindow::Check1_Click() {
    const int v0 = Check1[0]->value(), v1 = Check1[1]->value();
    if (v0 > 1 || v1 > 1) return;
    if (CurrentBar < 0 || CurrentBar > 1999) return;
    editor::song().BarEffectFlags(CurrentBar) = QString::number(v0) + QString::number(v1);
    SendShortMessage(0xB0, 1, v0 == 1 ? 120 : 0);
    if (v0 == 1) VibratoUsed = true;
    SendShortMessage(0xB0, 11, ExpressionLevel);
}

void EditorWindow::ComDevies_Click() {
    if (ComDevies->listIndex() < 0) return;
    OpenMidiOut(static_cast<i16>(ComDevies->itemData(ComDevies->listIndex())));
    for (int i = 0; i <= 6; ++i) {
        if (SYYQ[i]->listIndex() >= 1) ProgramChange(static_cast<i16>(i), 0, static_cast<i16>(SYYQ[i]->listIndex() - 1));
    }
}

// Only a tempo of 50..255 is applied while it is typed ("3" on the way to
// "300" must not set 5-second steps, "20000" must not stop the clock).
void EditorWindow::DQSUDU_Change() {
    const double v = rt::Val(DQSUDU->text());
    if (validTempo(v)) G.BeatInterval = intervalOf(v);
}

void EditorWindow::DQSUDU_LostFocus() {
    const double v = rt::Val(DQSUDU->text());
    if (!validTempo(v)) {
        DQSUDU->setText(QString::number(15000 / G.BeatInterval));
    } else {
        G.BeatInterval = intervalOf(v);
    }
}

void EditorWindow::DQYD_Click() { G.BaseNote = static_cast<i16>(DQYD->listIndex() + 36); }

void EditorWindow::HScroll3_Change() {
    CrescendoRate = static_cast<i16>(HScroll3->value());
    ExpressionLevel = CrescendoRate > 0 ? 0 : 120;
    Label7->setCaption(QStringLiteral("深度(%1)").arg(HScroll3->value()));
}

void EditorWindow::SYYQ_Click(int index) {
    const int pos = SYYQ[index]->listIndex();
    if (index <= 6) {
        if (pos >= 1) ProgramChange(static_cast<i16>(index), 0, static_cast<i16>(pos - 1));
        // After a play the play position may stand past the last step.
        if (G.RhythmStep >= 0 && G.RhythmStep <= 9999 && editor::song().EditorPitchGrid(index, G.RhythmStep) == 255)
            NoteOff(static_cast<i16>(index), rt::add16(TrackSoundingNote(index), G.BaseNote));
        return;
    }
    const long long first = static_cast<long long>(CurrentBar) * (BarLastStep + 1);
    const i16 note = static_cast<i16>(pos + 35);
    const int32_t message = VolumeOf(YQYL[index]->text()) * 65536 + note * 256 + 153;
    for (int s = 0; s <= BarLastStep; ++s) {
        const long long p = first + s;
        if (p < 0 || p > 9999) break;
        G.RhythmPattern(index - 7, p).DrumNote = note;
        G.RhythmPattern(index - 7, p).Message = message;
    }
}

void EditorWindow::YQYL_Change(int index) {
    G.ChannelVelocity(index) = VolumeOf(YQYL[index]->text());
    ExpressionLevel = CrescendoRate > 0 ? 0 : 120;
    SendShortMessage(0xB0, 11, ExpressionLevel);
}
