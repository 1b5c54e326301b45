// Computer-keyboard and mouse playing: the keyboard button's key dispatch
// (notes, stop, rest, instrument combinations, drum pads, chord and sound
// effects, rhythm instruments, accompaniment start and halt), its click and
// focus handlers, the score box's length bookkeeping, and the on-screen keys
// with their mute pad.
#include "keyboard/mainwindow.h"

#include "keyboard/keyboardwidgets.h"
#include "midi/gestures.h"
#include "midi/midiout.h"
#include "platform/resources.h"
#include "platform/sound.h"

#include <algorithm>

using namespace midi;
using rt::add16;

namespace {

// The 33 note keys: key code, semitone offset above BaseNote, score token.
// Their help texts are string resources 401.. in this order.
struct NoteKey {
    int code;
    int16_t offset;
    const char* token;
};

constexpr NoteKey kNoteKeys[] = {
    {54, 0, "LC"},  {55, 2, "LD"},  {56, 4, "LE"},  {57, 5, "LF"},  {48, 7, "LG"},  {189, 9, "LA"},
    {187, 11, "LB"}, {84, 12, "WC"}, {89, 14, "WD"}, {85, 16, "WE"}, {73, 17, "WF"}, {79, 19, "WG"},
    {80, 21, "WA"}, {219, 23, "WB"}, {71, 24, "KC"}, {72, 26, "KD"}, {74, 28, "KE"}, {75, 29, "KF"},
    {76, 31, "KG"}, {186, 33, "KA"}, {222, 35, "KB"}, {86, 36, "HC"}, {66, 38, "HD"}, {78, 40, "HE"},
    {77, 41, "HF"}, {188, 43, "HG"}, {190, 45, "HA"}, {191, 47, "HB"}, {49, 48, "MC"}, {50, 50, "MD"},
    {51, 52, "ME"}, {52, 53, "MF"}, {53, 55, "MG"},
};
constexpr int kNoteKeyCount = static_cast<int>(sizeof kNoteKeys / sizeof kNoteKeys[0]);
constexpr int kHelpFirstId = 401;

int noteKeyIndex(int code) {
    for (int i = 0; i < kNoteKeyCount; ++i)
        if (kNoteKeys[i].code == code) return i;
    return -1;
}

// What a velocity becomes in a note-on: the boxes accept any number, a
// MIDI data byte holds 0..127.
int16_t sentVelocity(int16_t v) { return std::clamp<int16_t>(v, 0, 127); }

// The stop and rest keys' sweeps reach every note a voice can hold: the
// offsets 0..63, then the mouse-only key 64 and voice 2's octave below of
// the lowest octave (BaseNote - 12 .. BaseNote - 1).
void sweepNotesOff(int16_t lastChannel) {
    for (int i = 0; i <= 63; ++i) {
        const int16_t note = add16(G.BaseNote, i);
        for (int16_t ch = 0; ch <= lastChannel; ++ch) NoteOff(ch, note);
    }
    const int16_t top = add16(G.BaseNote, 64);
    for (int16_t ch = 0; ch <= lastChannel; ++ch) NoteOff(ch, top);
    for (int i = -12; i <= -1; ++i) NoteOff(2, add16(G.BaseNote, i));
}

// The length digits written in front of the next recorded token. A length
// below 2 (no tick since the last key) would never end when played back.
QString lengthDigits() { return QString::number(std::max<int16_t>(G.NoteLength, 2)); }

// A note or rest key starts its own length count. The clock's tick would set
// the length only at the next tick: a key pressed before it (a quick second
// key, a key's auto-repeat) must not record the previous note's length.
void startLengthCount() {
    G.NoteTicks = 0;
    G.NoteLength = 2;
}

// Puts the caret at the end of the score box and inserts there.
void appendToScore(MainWindow& f, const QString& text) {
    f.Text3->setSelStart(f.TextLen);
    f.Text3->setSelText(text);
}

}  // namespace

void MainWindow::ShowKeyUp(int offset) {
    if (offset < 0 || offset > 64) rt::raise(rt::kErrSubscript);
    Picture1[offset]->setPicture(G.KeyIsWhite(offset) ? KeyWhiteUp : KeyBlackUp);
}

void MainWindow::ShowKeyDown(int offset) {
    if (offset < 0 || offset > 64) rt::raise(rt::kErrSubscript);
    Picture1[offset]->setPicture(G.KeyIsWhite(offset) ? KeyWhiteDown : KeyBlackDown);
}

void MainWindow::SFYXYZ_KeyDown(int keyCode, int /*shift*/) {
    G.LastKeyCode = rt::toI16(keyCode);
    const int note = noteKeyIndex(keyCode);

    if (keyCode == 110) {
        // Numpad ".": stop the sound effect (a looping one too).
        plat::sndPlaySoundA(nullptr, 0);
    } else if (keyCode == 45 || keyCode == 36 || keyCode == 33 || keyCode == 46 || keyCode == 35 ||
               keyCode == 34) {
        PlaySoundEffect();
        YXYZ();
    } else if (keyCode >= 112 && keyCode <= 123) {
        // Instrument combination of F1..F12.
        const int n = keyCode - 111;
        SelectInstrumentCombination(n);
        XSWB->setCaption(QStringLiteral("你已经选择了\r\n       乐器组合 ") + QString::number(n));
        YXYZ();
    } else if (keyCode == 32) {
        // Stop.
        Timer1->setEnabled(false);
        sweepNotesOff(4);
        BzQd->setValue(0);
        CloseTake();
        Yuepu[0]->setText(QStringLiteral("试听"));
        ResetSteps();
        AutoPlayRunning = false;
    } else if (keyCode == 8) {
        // Rest: its own length counts from here; the clock runs on.
        sweepNotesOff(2);
        if (!Text3->text().isEmpty()) appendToScore(*this, lengthDigits() + QStringLiteral("XZ"));
        startLengthCount();
    } else if (keyCode == 68 || keyCode == 69 || keyCode == 70 || keyCode == 67 || keyCode == 82 ||
               keyCode == 88) {
        PlayChordEffect();
    } else if (keyCode == 81 || keyCode == 87 || keyCode == 83 || keyCode == 65 || keyCode == 90) {
        SetRhythmInstrumentByKey();
    } else if (keyCode >= 96 && keyCode <= 105) {
        // Drum pad. A pad whose sound is no percussion list position stays
        // silent; its hint then names no instrument.
        G.DrumPadIndex = rt::toI16(keyCode - 96);
        const int16_t sound = G.DrumPadSounds(G.DrumPadIndex);
        if (sound >= 0 && sound < YQSZ[3]->listCount()) PlayDrumPad();
        XSWB->setCaption(YQSZ[3]->list(sound) + QStringLiteral("_打击乐"));
    } else if (keyCode == 107) {
        // Start: the accompaniment clock without a note, or the audition.
        if (Check5->value() == 1) {
            ResetSteps();
            // A clock that closed the take after a long pause holds a full
            // count: start counting afresh, or its first tick closes the take
            // again. After a halt the note's count goes on.
            if (!Timer1->enabled() && G.NoteTicks >= kIdleLimit) G.NoteTicks = 0;
            Timer1->setEnabled(true);
        } else {
            BzQd->setValue(1);
        }
    } else if (keyCode == 109) {
        // Halt.
        if (Check5->value() == 1) {
            ResetSteps();
            Timer1->setEnabled(false);
            // The stopped clock will not close the take: the melody note
            // is released here, as the stop key does.
            MainWindow::ReleaseMelodyNote(G.LastNoteOffset);
            HX1K();
            HX2K();
        } else {
            BzQd->setValue(0);
        }
    } else if (note >= 0) {
        const NoteKey& key = kNoteKeys[note];
        const int16_t K = key.offset;
        const int16_t L = G.LastNoteOffset;
        G.KeyOffset = K;
        // The note sounds first; the window and the score box follow.
        MainWindow::ReleaseMelodyNote(L);
        StrikeMelody(K);
        XSWB->setCaption(plat::LoadResString(kHelpFirstId + note));

        Picture1[K]->setPicture(KeyWhiteDown);
        if (L != K) ShowKeyUp(L);

        const QString token = QString::fromLatin1(key.token);
        if (Text3->text().isEmpty()) appendToScore(*this, token);
        else appendToScore(*this, lengthDigits() + token);

        AutoPlayRunning = false;
        Timer1->setInterval(G.BeatInterval);
        startLengthCount();

        if (!Timer1->enabled()) {
            // First note of a take: it plays the accompaniment's first step.
            ResetSteps();
            AccompTick = 0;
            if (Check5->value() == 1) {
                SendShortMessage(0xB9, 11, 127);
                if (xuanyue->listIndex() > 0) {
                    BZHX();
                    BZHX2();
                }
                PlayRhythmStep();
                ZNHX();
            }
            G.RhythmStep = 1;
            G.DrumStep = 1;
            G.ChordIndex = 1;
            ChordPos = 2;
            AccompTick = 1;
            G.NoteTicks = 1;
        }
        Timer1->setEnabled(true);
        G.LastNoteOffset = K;
    }
    // Any other key is ignored.
    ScoreBoxFollowsPlay();
}

void MainWindow::CloseTake() {
    if (!Text3->text().isEmpty()) appendToScore(*this, lengthDigits() + QStringLiteral("TZ"));
    ShowKeyUp(G.LastNoteOffset);
    G.ScoreText = Text3->text();
}

void MainWindow::SFYXYZ_Click() {
    SFYXYZ->setEnabled(true);
    FJWZ->setCaption(QStringLiteral("现在允许演奏。。。"));
    if (isVisible()) SFYXYZ->setFocus(Qt::OtherFocusReason);
    ResetSteps();
}

void MainWindow::SFYXYZ_GotFocus() {
    for (ui::PictureBox* key : Picture1) key->setEnabled(true);
    Label1->show();
    ResetSteps();
}

void MainWindow::SFYXYZ_LostFocus() {
    for (ui::PictureBox* key : Picture1) key->setEnabled(false);
    Label1->hide();
}

void MainWindow::Text3_Change() {
    TextLen = static_cast<int32_t>(Text3->text().size());
    File1->hide();
}

void MainWindow::Picture1_DragOver(int index) {
    if (index < 0 || index > 64) rt::raise(rt::kErrSubscript);
    const int16_t K = static_cast<int16_t>(index);
    const int16_t L = G.LastNoteOffset;
    MainWindow::ReleaseMelodyNote(L);
    HX1K();
    HX2K();
    StrikeMelody(K);
    ShowKeyDown(K);
    if (L != K) ShowKeyUp(L);
    G.LastNoteOffset = K;
}

void MainWindow::Label1_MouseMove() {
    const int16_t L = G.LastNoteOffset;
    MainWindow::ReleaseMelodyNote(L);
    ShowKeyUp(L);
}

int MainWindow::KeyAt(int x, int y) {
    constexpr int kWhiteWidth = 26, kWhiteHeight = 121, kBlackWidth = 18, kBlackHeight = 69;
    constexpr int kOctaveWidth = 7 * kWhiteWidth;
    constexpr int kWhiteKeys = 38;
    if (x < 0 || y < 0 || y >= kWhiteHeight || x >= kWhiteKeys * kWhiteWidth) return -1;

    const int octave = x / kOctaveWidth;
    const int inOctave = x % kOctaveWidth;
    if (y < kBlackHeight) {
        // Black keys lie over the white ones: left edges within the octave.
        static const int blackLeft[5] = {14, 46, 92, 121, 150};
        static const int blackOffset[5] = {1, 3, 6, 8, 10};
        for (int b = 0; b < 5; ++b) {
            if (inOctave >= blackLeft[b] && inOctave < blackLeft[b] + kBlackWidth) {
                const int key = octave * 12 + blackOffset[b];
                if (key <= 64) return key;
            }
        }
    }
    static const int whiteOffset[7] = {0, 2, 4, 5, 7, 9, 11};
    const int key = octave * 12 + whiteOffset[inOctave / kWhiteWidth];
    return key <= 64 ? key : -1;
}

void MainWindow::StrikeMelody(i16 K) {
    const int16_t note = add16(G.BaseNote, K);
    for (int16_t j = 0; j <= 2; ++j) {
        if (ComSounds[j]->listIndex() > 0) NoteOn(j, note, sentVelocity(G.PartVelocity(j)));
    }
    if (ComSounds[2]->listIndex() > 0) NoteOn(2, add16(note, -12), sentVelocity(G.PartVelocity(2)));
}

void MainWindow::ReleaseMelodyNote(i16 offset) {
    const int16_t note = add16(G.BaseNote, offset);
    NoteOff(0, note);
    NoteOff(1, note);
    NoteOff(2, note);
    NoteOff(2, add16(note, -12));
}
