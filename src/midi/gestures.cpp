// The musical gestures the windows share: rhythm and drum steps, drum pads, triads, the single-key
// chord and rhythm instrument, sound effects.
#include "midi/gestures.h"

#include "midi/midiout.h"
#include "midi/state.h"
#include "platform/fileutil.h"
#include "platform/sound.h"
#include "platform/textcodec.h"
#include "ui/controls.h"

namespace midi {

MainWindowLinks Main;

namespace {

const int kTriads[7][3] = {{0, 0, 0}, {12, 16, 19}, {14, 17, 21}, {16, 19, 23},
                           {17, 21, 24}, {19, 23, 26}, {21, 24, 28}};

// Sounds the enabled hits of one step; only the last failure is reported.
void PlayStep(i16 step) {
    uint32_t last = plat::kMidiOk;
    for (int track = 0; track <= 4; ++track) {
        const RhythmHit& hit = G.RhythmPattern(track, step);
        if (hit.Enabled == True) last = plat::midiOutShortMsg(G.MidiOutHandle, static_cast<uint32_t>(hit.Message));
    }
    if (last != plat::kMidiOk) ShowMidiError(last);
}

void setStatus(const QString& text) {
    if (Main.XSWB) Main.XSWB->setCaption(text);
}

// Velocity boxes accept any number; a note-on carries 0..127.
i16 noteVelocity(i16 v) { return v < 0 ? i16(0) : v > 127 ? i16(127) : v; }

}  // namespace

const int* TriadOffsets(int chordNumber) {
    if (chordNumber < 1 || chordNumber > 6) rt::raise(rt::kErrSubscript);
    return kTriads[chordNumber];
}

void PlayRhythmStep() { PlayStep(G.RhythmStep); }
void PlayDrumStep() { PlayStep(G.DrumStep); }

void PlayDrumPad() {
    uint32_t r = plat::midiOutShortMsg(G.MidiOutHandle, static_cast<uint32_t>(G.RhythmPattern(5, G.DrumPadIndex).Message));
    if (r != plat::kMidiOk) ShowMidiError(r);
}

void PlayChordNotes() {
    const int* offsets = TriadOffsets(G.ChordKey - 64);
    for (int k = 1; k <= 3; ++k) G.ChordOffsets(k) = QString::number(offsets[k - 1]);
    for (int k = 1; k <= 3; ++k) {
        i16 note = rt::add16(G.BaseNote, static_cast<long long>(rt::Val(G.ChordOffsets(k))));
        SendShortMessage(rt::add16(0x90, G.ChordChannel), note, noteVelocity(G.ChannelVelocity(G.ChordChannel)));
    }
}

void PlayChordEffect() {
    G.EffectFadeTicks = 0;
    G.EffectExpression = 127;
    if (Main.Timer4) {
        Main.Timer4->setInterval(G.BeatInterval);
        Main.Timer4->setEnabled(false);
    }
    for (int i = 0; i <= 63; ++i) NoteOff(5, rt::add16(G.BaseNote, i));
    int chord = 0;
    const char* name = "";
    switch (G.LastKeyCode) {
    case 82: chord = 1; name = "1.3.5"; break;
    case 68: chord = 2; name = "2.4.6"; break;
    case 69: chord = 3; name = "3.5.7"; break;
    case 70: chord = 4; name = "4.6.1"; break;
    case 67: chord = 5; name = "5.7.2"; break;
    case 88: chord = 6; name = "6.1.3"; break;
    default: return;
    }
    const int* offsets = TriadOffsets(chord);
    for (int k = 1; k <= 3; ++k) G.ChordOffsets(k) = QString::number(offsets[k - 1]);
    // After a finished fade the expression of channel 5 is 0: bring it back
    // up first, or the effect would be silent until the fade's first tick.
    SendShortMessage(0xB5, 11, 127);
    for (int k = 1; k <= 3; ++k) {
        NoteOn(5, rt::add16(G.BaseNote, static_cast<long long>(rt::Val(G.ChordOffsets(k)))), noteVelocity(G.PartVelocity(1)));
    }
    setStatus(QStringLiteral("和弦音效\r\n         ") + QString::fromLatin1(name));
    if (Main.Timer4) Main.Timer4->setEnabled(true);
}

void SetRhythmInstrumentByKey() {
    int program = 0;
    const char* name = "";
    switch (G.LastKeyCode) {
    case 65: program = 89; name = "温暖音"; break;
    case 81: program = 52; name = "人声"; break;
    case 83: program = 11; name = "电颤琴"; break;
    case 87: program = 3; name = "钢琴"; break;
    case 90: program = 118; name = "架子鼓"; break;
    default: return;
    }
    if (Main.Combo1) Main.Combo1->setListIndex(program + 1);
    ProgramChange(4, 0, static_cast<i16>(program));
    setStatus(QStringLiteral("节奏乐器\r\n         ") + QString::fromUtf8(name));
}

void PlaySoundEffect() {
    int index = -1;
    switch (G.LastKeyCode) {
    case 45: index = 0; break;
    case 36: index = 1; break;
    case 33: index = 2; break;
    case 46: index = 3; break;
    case 35: index = 4; break;
    case 34: index = 5; break;
    default: return;
    }
    const QString& effect = G.SoundEffectNames(index);
    QString path = G.AppPath + QStringLiteral("音效/") + effect;
    // The status names the effect only when it plays; otherwise it says why not.
    if (!plat::fileExistsNoCase(path)) {
        setStatus(QStringLiteral("找不到音效文件“%1”，请检查音效文件夹！").arg(effect));
        return;
    }
    G.SoundEffectFlags = (Main.Check2 && Main.Check2->value() == 1) ? 11 : 3;
    QByteArray name = plat::toGbk(plat::resolvePath(path));
    if (!plat::sndPlaySoundA(name.constData(), static_cast<uint32_t>(G.SoundEffectFlags))) {
        setStatus(QStringLiteral("无法播放音效文件“%1”！").arg(effect));
        return;
    }
    setStatus(effect + QStringLiteral("_音效"));
}

}  // namespace midi
