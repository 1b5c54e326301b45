// Chord pattern models, chord order and chord accompaniment of the main
// window.
//
// The user writes one 32-cell pattern for chord 1 (Text4: cells 0..15, every
// bar; Text5: cells 16..31, every two bars); HXYPSB parses it into row 1 of
// ChordPatternGrid and ZDHXSC moves each chord-1 tone to the matching tone of
// chords 2..6. Text6 holds the chord order. The model file HxJzMx.txt is a
// library of pattern lines from which the boxes are filled at random and to
// which Command4 appends the current boxes.
//
// Playback: track 1 (BZHX) plays cells 0..15 on channel 3, track 2 (BZHX2)
// cells 16..31 on channels 3 and 4, and ZNHX sounds the bar triad on
// channel 5, which Timer4 fades out.
#include "keyboard/mainwindow.h"

#include "midi/gestures.h"
#include "midi/midiout.h"
#include "platform/dialogs.h"
#include "platform/fileutil.h"
#include "platform/resources.h"
#include "platform/savefile.h"
#include "platform/textcodec.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <functional>

using namespace midi;

namespace {

constexpr int kModelTableSize = 100;  // ChordModelLines 1..100
constexpr int kPatternCells = 32;
constexpr int kHold = 255;
constexpr int kRest = 254;

const char* const kDefaultEveryBar = "CC--WG--KC--WG--CE--WG--LB--WG--";
const char* const kDefaultEveryTwoBars = "LG--WC----------LG--WC----------";

QString modelFilePath() { return G.AppPath + QStringLiteral("HxJzMx.txt"); }

// The whole number nearest to x (a half to the even neighbour), 0 taken as 1.
int drawIndex(double x) {
    int n = static_cast<int>(rt::roundHalfEven(x));
    return n == 0 ? 1 : n;
}

// Pitch code of a two-character cell: an exact, case-sensitive lookup.
int pitchCode(const QString& token) {
    if (token.size() != 2) return kHold;
    static const char kNotes[] = "CDEFGAB";
    static const int kNoteOffsets[] = {0, 2, 4, 5, 7, 9, 11};
    static const char kOctaves[] = "LWKHM";
    const char16_t o = token.at(0).unicode(), n = token.at(1).unicode();
    for (int oi = 0; oi < 5; ++oi) {
        if (o != static_cast<char16_t>(kOctaves[oi])) continue;
        for (int ni = 0; ni < 7; ++ni) {
            if (n != static_cast<char16_t>(kNotes[ni])) continue;
            if (oi == 4 && ni > 4) return kHold;  // the top octave ends at G
            return oi * 12 + kNoteOffsets[ni];
        }
    }
    static const char* const kChords[] = {"CC", "DM", "EM", "FF", "GM", "AM"};
    for (int c = 0; c < 6; ++c)
        if (token == QLatin1String(kChords[c])) return 65 + c;
    if (token == QLatin1String("XZ")) return kRest;
    return kHold;
}

// A pattern box's text as kept: upper case, filled with "-" to 32 cells, a
// blank written as "-".
QString normalisePattern(const QString& boxText) {
    QString text;
    text.reserve(boxText.size());
    for (QChar c : boxText) text += c.toUpper();
    if (text.size() < kPatternCells) text = text.leftJustified(kPatternCells, u'-');
    for (int i = 1; i <= kPatternCells; ++i) {
        if (text.at(i - 1) == u' ') text = text.left(i - 1) + u'-' + text.right(kPatternCells - i);
    }
    return text;
}

// Chord numbers of an order text, 1-based in ChordSequence.
void takeChordOrder(const QString& order) {
    G.ChordCount = rt::toI16(order.size());
    for (int i = 1; i <= G.ChordCount; ++i) G.ChordSequence(i) = rt::CInt(rt::Val(order.mid(i - 1, 1)));
}

// The longest model line kept: a pattern is 32 characters, and the parse of
// the two boxes together reads no more than 64; a longer line is cut here.
constexpr int kModelLineBytes = 1024;

// Reads the model file's lines into ChordModelLines from ChordWorkIndex on,
// at most to the table's end; onEveryLine (if given) sees every line of the
// file, also those past the table, one at a time. False when the file cannot
// be read.
bool readModelFile(const QString& path, MainWindow& f, const std::function<void(const QString&)>& onEveryLine = {}) {
    plat::GbkLineReader reader(kModelLineBytes);
    if (!reader.open(path)) return false;
    QString line;
    while (reader.next(&line)) {
        if (f.ChordWorkIndex <= kModelTableSize) {
            f.ChordModelLines(f.ChordWorkIndex) = line;
            f.ChordWorkIndex = rt::add16(f.ChordWorkIndex, 1);
        } else if (!onEveryLine) {
            break;  // only the table's 100 lines are used
        }
        if (onEveryLine) onEveryLine(line);
    }
    return !reader.failed();
}

void reportModelSaveFailed() {
    plat::msgBox(QStringLiteral("保存和弦模板出错，模板库文件 HxJzMx.txt 无法写入，请检查！"), plat::kOkOnly | plat::kExclamation);
}

// Program of a chord channel from an instrument box. Position 0 ("0.无声")
// has no instrument and nothing selected has none either: no message then.
void chordProgram(int channel, int listPosition) {
    if (listPosition < 1) return;
    ProgramChange(static_cast<MainWindow::i16>(channel), 0, static_cast<MainWindow::i16>(listPosition - 1));
}

}  // namespace

// ---- Chord order and models

void MainWindow::CSHX() {
    static const char* const kOrders[] = {"145", "1645", "1625", "125", "13625", "1365"};
    for (int i = 1; i <= 6; ++i) ChordProgressions(i) = QString::fromLatin1(kOrders[i - 1]);
    const int n = drawIndex(6 * Rnd());  // order 1 with 1/4, 2..5 with 1/6, 6 with 1/12
    ChordWorkIndex = static_cast<i16>(n);
    Text6->setText(ChordProgressions(n));
    takeChordOrder(Text6->text());
    G.ChordIndex = 1;
    ChordPos = 1;
    ChordWorkIndex = 1;
    HXCSH();
    HXYPSB();
    ZDHXSC();
}

void MainWindow::Command3_Click() { CSHX(); }

void MainWindow::HXCSH() {
    const QString path = modelFilePath();
    const QString found = plat::resolvePath(path);
    if (found.isEmpty()) {
        // First run: the library starts as the built-in patterns.
        const QString text = plat::LoadResString(plat::kStrDefaultChordModels) + QStringLiteral("\r\n");
        plat::writeFileAtomic(path, plat::toGbk(text));
        Text2->setText(QString::fromLatin1(kDefaultEveryBar));
        Text4->setText(QString::fromLatin1(kDefaultEveryBar));
        Text5->setText(QString::fromLatin1(kDefaultEveryTwoBars));
        return;
    }
    // Only the table's 100 lines are read; further lines are ignored. A file
    // that cannot be read leaves the boxes as they are.
    if (!readModelFile(found, *this)) return;
    ChordModelCount = rt::add16(ChordWorkIndex, -1);

    // Two independent draws; a file with no lines gives empty text.
    int k = drawIndex(ChordModelCount * Rnd());
    if (Check7->value() != 1) {
        const QString line = ChordModelCount > 0 ? ChordModelLines(k) : QString();
        Text2->setText(line);
        Text4->setText(line);
    }
    k = drawIndex(ChordModelCount * Rnd());
    if (Check4->value() != 1) Text5->setText(ChordModelCount > 0 ? ChordModelLines(k) : QString());
}

void MainWindow::HXYPSB() {
    const QString s = Text4->text() + Text5->text();
    for (int k = 0; k < kPatternCells; ++k) ChordPatternGrid(1, k) = pitchCode(s.mid(2 * k, 2));
}

void MainWindow::ZDHXSC() {
    // Semitones from a C or G tone, and from an E tone, to the matching tone
    // of chords 2..6.
    static const int kFromCG[7] = {0, 0, 2, 4, 5, 7, 9};
    static const int kFromE[7] = {0, 0, 1, 3, 5, 7, 8};
    for (int k = 0; k < kPatternCells; ++k) {
        const int32_t c = ChordPatternGrid(1, k);
        const bool cg = c == 0 || c == 7 || c == 12 || c == 19 || c == 24 || c == 31 || c == 36 || c == 43;
        const bool e = c == 4 || c == 16 || c == 28 || c == 40;
        for (int chord = 2; chord <= 6; ++chord) {
            int32_t v = c;
            if (cg) v = c + kFromCG[chord];
            else if (e) v = c + kFromE[chord];
            else if (c == 65) v = 64 + chord;
            ChordPatternGrid(chord, k) = v;
        }
    }
}

void MainWindow::Text4_LostFocus() {
    Text4->setText(normalisePattern(Text4->text()));
    Text2->setText(Text4->text());
}

void MainWindow::Text5_LostFocus() { Text5->setText(normalisePattern(Text5->text())); }

void MainWindow::Text6_GotFocus() { ChordOrderBackup = Text6->text(); }

void MainWindow::Text6_LostFocus() {
    const QString order = Text6->text();
    for (QChar c : order) {
        if (c < u'1' || c > u'6') {
            Text6->setText(ChordOrderBackup);
            return;
        }
    }
    takeChordOrder(order);
    G.ChordIndex = 1;
    ChordPos = 1;
    ChordWorkIndex = 1;
    HXYPSB();
    ZDHXSC();
}

void MainWindow::Command4_Click() {
    ChordWorkIndex = 1;
    const QString found = plat::resolvePath(modelFilePath());
    if (found.isEmpty()) return;
    // Every line of the file counts, also those past the table's 100.
    bool everyBarFound = false, everyTwoBarsFound = false;
    const QString everyBar = Text4->text(), everyTwoBars = Text5->text();
    if (!readModelFile(found, *this, [&](const QString& line) {
            everyBarFound = everyBarFound || line == everyBar;
            everyTwoBarsFound = everyTwoBarsFound || line == everyTwoBars;
        })) {
        reportModelSaveFailed();
        return;
    }
    ChordModelCount = rt::add16(ChordWorkIndex, -1);
    if (everyBarFound && everyTwoBarsFound) return;

    // Added at the end: the library is written anew, its old lines first, so
    // a failed save leaves it as it was.
    QByteArray out;
    if (QFileInfo(found).size() > 0 && !plat::endsWithLineEnd(found)) out += "\r\n";
    if (!everyBarFound) out += plat::toGbk(everyBar) + "\r\n";
    if (!everyTwoBarsFound) out += plat::toGbk(everyTwoBars) + "\r\n";
    plat::SaveFile library(found);
    // The user believes the patterns are kept: a failed write is said.
    if (!(library.open() && library.copyFrom(found) && library.write(out) && library.commit())) reportModelSaveFailed();
}

// ---- Chord tracks

void MainWindow::BZHX() {
    G.ChordChannel = 3;
    G.ChannelVelocity(3) = G.PartVelocity(3);
    const int32_t c = ChordPatternGrid(G.ChordSequence(G.ChordIndex), G.RhythmStep);
    if (c != kHold) HX1K();
    if (c >= 64) {
        if (c >= 65 && c <= 70) {
            G.ChordKey = static_cast<i16>(c);
            PlayChordNotes();
            G.AccompToken(1) = static_cast<i16>(c);
        }
    } else {
        if (Combo3->listIndex() >= 1) NoteOn(3, rt::add16(G.BaseNote, c), G.PartVelocity(3));
        G.AccompToken(1) = static_cast<i16>(c);
    }
}

void MainWindow::BZHX2() {
    G.ChordChannel = 4;
    G.ChannelVelocity(4) = G.PartVelocity(3);
    const int32_t c = ChordPatternGrid(G.ChordSequence(G.ChordIndex), rt::add16(G.RhythmStep, 16));
    if (c != kHold) HX2K();
    if (c >= 64) {
        if (c >= 65 && c <= 70) {
            G.ChordKey = static_cast<i16>(c);
            PlayChordNotes();
            G.AccompToken(2) = static_cast<i16>(c);
        }
    } else {
        if (Combo3->listIndex() >= 1) {
            const i16 note = rt::add16(G.BaseNote, c);
            NoteOn(3, note, G.PartVelocity(3));
            NoteOn(4, note, G.PartVelocity(3));
        }
        G.AccompToken(2) = static_cast<i16>(c);
    }
}

void MainWindow::HX1K() {
    const i16 t = G.AccompToken(1);
    if (t >= 65 && t <= 70) {
        for (int i = 0; i <= 64; ++i) NoteOff(3, rt::add16(G.BaseNote, i));
    } else {
        NoteOff(3, rt::add16(G.BaseNote, t));
    }
}

void MainWindow::HX2K() {
    const i16 t = G.AccompToken(2);
    if (t >= 65 && t <= 70) {
        // A chord of track 2 also ends what track 1 sounds on channel 3.
        for (int i = 0; i <= 64; ++i) {
            NoteOff(3, rt::add16(G.BaseNote, i));
            NoteOff(4, rt::add16(G.BaseNote, i));
        }
    } else {
        NoteOff(3, rt::add16(G.BaseNote, t));
        NoteOff(4, rt::add16(G.BaseNote, t));
    }
}

void MainWindow::ZNHX() {
    // Every bar start silences channel 5, also a chord effect still sounding.
    Timer4->setEnabled(false);
    for (int i = 0; i <= 63; ++i) NoteOff(5, rt::add16(G.BaseNote, i));
    G.EffectExpression = 127;
    if (Check8->value() != 1 || Check5->value() != 1) return;

    const i16 n = G.ChordSequence(ChordPos);
    SendShortMessage(0xB5, 11, 127);
    if (n >= 1 && n <= 6) {
        const int* tones = TriadOffsets(n);
        for (int j = 1; j <= 3; ++j) ChordTones(j) = static_cast<i16>(tones[j - 1]);
    }
    for (int j = 1; j <= 3; ++j) NoteOn(5, rt::add16(G.BaseNote, ChordTones(j)), G.PartVelocity(3));
    G.EffectFadeTicks = 0;
    Timer4->setEnabled(true);  // at the interval Timer4 already has
}

void MainWindow::Timer4_Timer() {
    rt::DoEvents();
    if (!Timer4->enabled()) return;  // stopped while the pending events ran
    if (G.EffectFadeTicks <= 32) {
        SendShortMessage(0xB5, 11, std::max<i16>(G.EffectExpression, 0));
    } else {
        Timer4->setEnabled(false);
        for (int i = 0; i <= 63; ++i) NoteOff(5, rt::add16(G.BaseNote, i));
        G.EffectExpression = 127;
    }
    G.EffectExpression = rt::add16(G.EffectExpression, -5);
    G.EffectFadeTicks = rt::add16(G.EffectFadeTicks, 1);
}

// ---- Chord audition

void MainWindow::Check6_Click() {
    ResetSteps();
    HXYPSB();
    ZDHXSC();
    if (Check6->value() == 1) {
        HXYS->setInterval(rt::mul16(2, G.BeatInterval));
        HXYS->setEnabled(true);
        Check6->setText(QStringLiteral("停止"));
    } else {
        HXYS->setEnabled(false);
        HX1K();
        HX2K();
        Check6->setText(QStringLiteral("启动"));
    }
}

void MainWindow::HXYS_Timer() {
    if (xuanyue->listIndex() >= 1) BZHX();
    if (xuanyue->listIndex() >= 1) BZHX2();
    G.RhythmStep = rt::add16(G.RhythmStep, 1);
    if (G.RhythmStep > G.RhythmLastStep) {
        HX2K();
        G.ChordIndex = rt::add16(G.ChordIndex, 1);
        if (G.ChordIndex > G.ChordCount) {
            G.ChordIndex = 1;
            ChordPos = 1;
            // The order is done: the audition stops by itself at the tick's
            // deadline (the tick runs ahead of it), so that a click on its
            // box before then still finds it running.
            HXYS->atDeadline([this] { EndChordAudition(); });
        }
        G.RhythmStep = 0;
    }
}

void MainWindow::EndChordAudition() {
    HXYS->setEnabled(false);
    HX1K();
    HX2K();
    Check6->setText(QStringLiteral("启动"));
    Check6->setValue(0);
}

// ---- Chord settings

void MainWindow::HxYL_Click() {
    HxYL_Change();
    YXYZ();
}

// Typing keeps the focus in the box ("100" is three keys); the keyboard goes
// back to the player when an entry is chosen.
void MainWindow::HxYL_Change() { G.PartVelocity(3) = TypedVelocity(HxYL->text()); }

void MainWindow::Combo1_Click() {
    chordProgram(4, Combo1->listIndex());
    chordProgram(5, Combo1->listIndex());
}

void MainWindow::Combo3_Click() {
    chordProgram(3, Combo3->listIndex());
    xuanyue->setListIndex(Combo3->listIndex());
    YXYZ();
}

void MainWindow::xuanyue_Click() {
    chordProgram(3, xuanyue->listIndex());
    chordProgram(4, xuanyue->listIndex());
    Combo1->setListIndex(xuanyue->listIndex());
    Combo3->setListIndex(xuanyue->listIndex());
    YXYZ();
}
