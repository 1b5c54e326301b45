// Rhythm grid, rhythm audition and rhythm pattern files of the main window.
//
// The grid (rows BZA, BZB, BZC, one percussion sound per row, one velocity,
// a meter) is mirrored at once into rows 0..2 of the shared RhythmPattern,
// which the drum step players read. The audition clock BZDS plays the
// pattern with the chord accompaniment. A pattern is stored as one GBK line
// of 77 characters:
//   1-2 velocity position, 3-4 meter, 5-10 row sounds (hexadecimal),
//   11-12 "00", 13-61 the 49 step marks, 62-77 the file name in 16 characters.
#include "keyboard/mainwindow.h"

#include "midi/gestures.h"
#include "midi/midiout.h"
#include "platform/dialogs.h"
#include "platform/fileutil.h"
#include "platform/savefile.h"
#include "platform/textcodec.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

using namespace midi;

namespace {

const char* const kRhythmFileError = "打开节奏文件出错，请检查！";

// Fields of the pattern line (0-based character positions).
constexpr int kMarksStart = 12;
constexpr int kMarkCount = 49;
constexpr int kMinLineLength = 62;
constexpr int kNameWidth = 16;
// Larger files are no pattern files (the start-up load refuses them too).
constexpr qint64 kMaxRhythmFileSize = 32767;
// Of a list click's first line only the first 61 characters count.
constexpr qsizetype kMaxFirstLine = 1 << 20;

void reportBadRhythmFile() { plat::msgBox(QString::fromUtf8(kRhythmFileError), plat::kOkOnly); }

// A value as a two-character upper-case hexadecimal field.
QString hexField(int v) {
    QString s = rt::Hex(v);
    if (s.size() < 2) s.prepend(u'0');
    return s;
}

// A two-character field taken by its leading number, blanks skipped: "0G" is
// 0, " 1" is 1, and text without a number ("ZZ") reads as 0.
double hexFieldValue(const QString& text, int pos) { return rt::Val(QStringLiteral("&H") + text.mid(pos, 2)); }
double numberFieldValue(const QString& text, int pos) { return rt::Val(text.mid(pos, 2)); }

// The list position a field value stands for; -1 when it is none of 0..count-1.
int listPosition(double value, int count) {
    if (!(value >= 0) || value >= count) return -1;
    const double r = rt::roundHalfEven(value);
    return r < count ? static_cast<int>(r) : -1;
}

// The file title as stored: what GBK can hold of it (one character for each
// character it cannot, so the line keeps its width), blanks trimmed from both
// ends, left-aligned in 16 characters.
QString nameField(const QString& title) {
    QString t = plat::fromGbk(plat::toGbk(title));
    int b = 0, e = static_cast<int>(t.size());
    while (b < e && t.at(b) == u' ') ++b;
    while (e > b && t.at(e - 1) == u' ') --e;
    t = t.mid(b, e - b);
    if (t.size() > kNameWidth) t.truncate(kNameWidth);
    return t.leftJustified(kNameWidth, u' ');
}

// Reads a pattern file; false when it is missing, unreadable or too large.
bool readRhythmFile(const QString& path, QString* text) {
    const QString found = plat::resolvePath(path);
    if (found.isEmpty() || !QFileInfo(found).isFile()) return false;
    if (QFileInfo(found).size() > kMaxRhythmFileSize) return false;
    return plat::readGbkFile(found, text);
}

// The first input field of a pattern file, as a list click reads it: leading
// blanks skipped, then up to a comma or the end of the first line; a field
// that opens with a double quote runs to the closing one. Only the first line
// is read, whatever the size of the file. False when the file cannot be read.
bool readFirstField(const QString& path, QString* text) {
    const QString found = plat::resolvePath(path);
    if (found.isEmpty() || !QFileInfo(found).isFile()) return false;
    QFile f(found);
    if (!f.open(QIODevice::ReadOnly)) return false;
    // A comma, CR or LF byte is never part of a GBK character: the line can
    // be cut before it is decoded.
    QByteArray line;
    while (!f.atEnd() && line.size() < kMaxFirstLine) {
        const QByteArray chunk = f.read(4096);
        if (chunk.isEmpty()) break;
        qsizetype end = -1;
        for (qsizetype i = 0; i < chunk.size() && end < 0; ++i)
            if (chunk.at(i) == '\r' || chunk.at(i) == '\n') end = i;
        if (end >= 0) {
            line += chunk.left(end);
            break;
        }
        line += chunk;
    }
    if (f.error() != QFileDevice::NoError) return false;
    const QString l = plat::fromGbk(line);
    qsizetype i = 0;
    while (i < l.size() && (l.at(i) == u' ' || l.at(i) == u'\t')) ++i;
    if (i < l.size() && l.at(i) == u'"') {
        const qsizetype close = l.indexOf(u'"', i + 1);
        *text = close < 0 ? l.mid(i + 1) : l.mid(i + 1, close - i - 1);
    } else {
        const qsizetype comma = l.indexOf(u',', i);
        *text = comma < 0 ? l.mid(i) : l.mid(i, comma - i);
    }
    return true;
}

}  // namespace

MainWindow::i16 MainWindow::RhythmVelocity(double typed) {
    if (!(typed > 0)) return 0;  // negative, zero or not a number
    double r = rt::roundHalfEven(typed);
    return static_cast<i16>(r > 127 ? 127 : r);
}

int32_t MainWindow::RhythmHitMessage(i16 key, i16 velocity) {
    return static_cast<int32_t>(velocity) * 65536 + static_cast<int32_t>(key) * 256 + 0x99;
}

namespace {

// The percussion key of a row: list position + 35, so a row with no sound
// chosen (position -1) plays key 34.
MainWindow::i16 rowKey(const MainWindow& f, int row) {
    return static_cast<MainWindow::i16>(f.LblInst[row]->listIndex() + 35);
}

MainWindow::i16 gridVelocity(const MainWindow& f) { return MainWindow::RhythmVelocity(rt::Val(f.VsbVol->text())); }

// The velocity position written to a file: the selected entry, or for typed
// text the entry nearest to the velocity it plays at.
int velocityField(const MainWindow& f) {
    const ui::ComboBox* box = f.VsbVol;
    if (box->listIndex() >= 0) return box->listIndex();
    const double v = MainWindow::RhythmVelocity(rt::Val(box->text()));
    int best = 0;
    double bestDistance = -1;
    for (int i = 0; i < box->listCount(); ++i) {
        double d = std::fabs(rt::Val(box->list(i)) - v);
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

void setColumnsVisible(MainWindow& f, int first, int last, bool visible) {
    for (int r = 0; r < 3; ++r) {
        std::vector<ui::CheckBox*>& row = f.StepRow(r);
        for (int c = first; c <= last && c < static_cast<int>(row.size()); ++c) row[c]->setVisible(visible);
    }
}

void colourColumns(MainWindow& f, int first, int last) {
    for (int r = 0; r < 3; ++r) {
        std::vector<ui::CheckBox*>& row = f.StepRow(r);
        for (int c = first; c <= last && c < static_cast<int>(row.size()); ++c) {
            // One red or yellow pair of columns is one beat.
            ui::setBackColor(row[c], (c / 2) % 2 == 0 ? QColor(255, 0, 0) : QColor(255, 255, 0));
        }
    }
}

bool boxTicked(const std::vector<ui::CheckBox*>& row, int column) {
    return column < static_cast<int>(row.size()) && row[column]->value() == 1;
}

}  // namespace

// ---- Grid

void MainWindow::BZXS() {
    if (Option1[0]->value() || Option1[2]->value()) {
        setColumnsVisible(*this, 12, 15, true);
        colourColumns(*this, 1, 15);
    } else if (Option1[1]->value()) {
        colourColumns(*this, 1, G.RhythmLastStep);
        setColumnsVisible(*this, 12, 15, false);
    }
}

void MainWindow::BZA_Click(int index) {
    G.RhythmPattern(0, index).Enabled = boxTicked(BZA, index) ? True : False;
}

void MainWindow::BZB_Click(int index) {
    G.RhythmPattern(1, index).Enabled = boxTicked(BZB, index) ? True : False;
}

void MainWindow::BZC_Click(int index) {
    G.RhythmPattern(2, index).Enabled = boxTicked(BZC, index) ? True : False;
}

void MainWindow::LblInst_Click(int index) {
    if (index < 0 || index > 2) rt::raise(rt::kErrSubscript);
    const i16 key = rowKey(*this, index);
    const i16 velocity = gridVelocity(*this);
    // Always the 16 steps, whatever the meter.
    for (int s = 0; s <= 15; ++s) {
        RhythmHit& hit = G.RhythmPattern(index, s);
        hit.DrumNote = key;
        hit.Message = RhythmHitMessage(key, velocity);
    }
}

// Rows 0..2, steps 0..RhythmLastStep: the velocity of the box, each row
// with its own sound.
void MainWindow::ApplyRhythmVelocity() {
    const i16 velocity = gridVelocity(*this);
    for (int r = 0; r <= 2; ++r) {
        const i16 key = rowKey(*this, r);
        for (int s = 0; s <= G.RhythmLastStep; ++s) {
            RhythmHit& hit = G.RhythmPattern(r, s);
            hit.Volume = velocity;
            hit.Message = RhythmHitMessage(key, velocity);
        }
    }
}

void MainWindow::VsbVol_Click() {
    ApplyRhythmVelocity();
}

void MainWindow::Option1_Click(int) {
    if (Option1[0]->value() || Option1[2]->value()) {
        G.RhythmLastStep = 15;
        setColumnsVisible(*this, 12, 15, true);
    } else if (Option1[1]->value()) {
        G.RhythmLastStep = 11;
        setColumnsVisible(*this, 12, 15, false);
    }
}

// ---- Audition

void MainWindow::BzQd_Click() {
    BZDS->setInterval(rt::mul16(2, G.BeatInterval));
    if (BzQd->value() == 1) {
        ResetSteps();
        AccompTick = 0;
        BZDS->setEnabled(true);
        BzQd->setText(QStringLiteral("停止"));
    } else {
        BZDS->setEnabled(false);
        BzQd->setText(QStringLiteral("启动"));
        HX1K();
        HX2K();
    }
    YXYZ();
}

void MainWindow::BZDS_Timer() {
    rt::DoEvents();
    if (!BZDS->enabled()) return;  // stopped while the pending events ran

    if (AccompTick == 0) BarChord();
    AccompanimentStep();

    AccompTick = rt::add16(AccompTick, 1);
    if (AccompTick > G.RhythmLastStep) AccompTick = 0;
}

// ---- File list

void MainWindow::Label11_MouseMove() {
    File1->refresh();
    File1->setVisible(true);
    File1->raise();
}

void MainWindow::Jiezhou_MouseMove(int index) {
    if (index == 2) File1->setVisible(false);
}

// ---- Pattern files

void MainWindow::SaveJZwj() {
    const QString path = LastOpenedFile;
    int meter = 0;
    for (int i = 0; i <= 2; ++i)
        if (Option1[i]->value()) meter = i;

    QString line;
    line += hexField(velocityField(*this));
    line += hexField(meter);
    for (int r = 0; r <= 2; ++r) line += hexField(std::max(LblInst[r]->listIndex(), 0));
    line += QStringLiteral("00");
    for (int c = 0; c <= 15; ++c) line += boxTicked(BZA, c) ? u'*' : u'-';
    for (int c = 0; c <= 15; ++c) line += boxTicked(BZB, c) ? u'*' : u'-';
    for (int c = 0; c <= 16; ++c) line += boxTicked(BZC, c) ? u'*' : u'-';
    line += nameField(QFileInfo(path).fileName());

    // Not written: the old file, if any, is as it was, and the user is told.
    if (!plat::writeFileAtomic(path, plat::toGbk(line) + QByteArrayLiteral("\r\n")))
        plat::msgBox(QStringLiteral("保存节奏文件出错，请检查文件夹是否可写！"), plat::kOkOnly | plat::kExclamation);
}

void MainWindow::OpenJZwj() {
    const QString text = G.RhythmFileText;
    if (text.size() < kMinLineLength) {
        reportBadRhythmFile();
        return;
    }
    // Every field is checked before anything changes, so a bad file leaves
    // the grid as it was.
    const int volume = listPosition(hexFieldValue(text, 0), VsbVol->listCount());
    const int meter = listPosition(numberFieldValue(text, 2), 3);
    int sounds[3];
    bool valid = volume >= 0 && meter >= 0;
    for (int r = 0; r <= 2; ++r) {
        sounds[r] = listPosition(hexFieldValue(text, 4 + 2 * r), LblInst[r]->listCount());
        valid = valid && sounds[r] >= 0;
    }
    if (!valid) {
        reportBadRhythmFile();
        return;
    }

    VsbVol->setListIndex(volume);   // velocity of rows 0..2 (row sounds as before)
    Option1[meter]->setValue(true); // meter: last step and visible columns
    for (int r = 0; r <= 2; ++r) LblInst[r]->setListIndex(sounds[r]);
    for (int i = 1; i <= kMarkCount; ++i) {
        const bool ticked = text.at(kMarksStart + i - 1) == u'*';
        std::vector<ui::CheckBox*>& row = i <= 16 ? BZA : i <= 32 ? BZB : BZC;
        const int column = i <= 16 ? i - 1 : i <= 32 ? i - 17 : i - 33;
        if (column < static_cast<int>(row.size())) row[column]->setValue(ticked ? 1 : 0);
    }

    ApplyRhythmVelocity();
    for (int s = 0; s <= G.RhythmLastStep; ++s) {
        G.RhythmPattern(0, s).Enabled = boxTicked(BZA, s) ? True : False;
        G.RhythmPattern(1, s).Enabled = boxTicked(BZB, s) ? True : False;
        G.RhythmPattern(2, s).Enabled = boxTicked(BZC, s) ? True : False;
        // The music editor's rows 3 and 4 fall silent here.
        G.RhythmPattern(3, s).Enabled = False;
        G.RhythmPattern(4, s).Enabled = False;
    }
}

void MainWindow::File1_Click() {
    G.RhythmFileText.clear();
    const QString name = File1->fileName();
    if (name.isEmpty()) return;
    Label11->setCaption(QString::number(File1->listIndex() + 1) + QStringLiteral("★") + name);
    QString text;
    if (!readFirstField(File1->path() + u'/' + name, &text)) {
        File1->setVisible(false);
        reportBadRhythmFile();
        YXYZ();
        return;
    }
    G.RhythmFileText = text;
    OpenJZwj();
    File1->setVisible(false);
    // The list had the focus: the keyboard goes back to the player.
    YXYZ();
}

void MainWindow::Cmdcill_Click(int index) {
    if (index == 0) {
        const QString selected = File1->fileName();
        SelectedRhythmFile = File1->path() + u'/' + selected;
        if (!selected.isEmpty() && !QFile::remove(SelectedRhythmFile)) {
            // The delete has no error trap: a file that is gone or cannot be
            // removed stops it here, before the list is refreshed.
            rt::raise(QFileInfo::exists(SelectedRhythmFile) ? rt::kErrFileIo : rt::kErrFileNotFound,
                      selected.toStdString());
        }
        File1->refresh();
        if (File1->listCount() >= 1) {
            const QString first = File1->list(0);
            QString text;
            if (!readRhythmFile(File1->path() + u'/' + first, &text)) {
                reportBadRhythmFile();
                return;
            }
            G.RhythmFileText = text;
            Label11->setCaption(first);
            OpenJZwj();
        }
    } else if (index == 1) {
        // From the dialog on, a failure ends the save; only a failed write is said.
        try {
            plat::FileDialogRequest request;
            request.save = true;
            request.filter = QStringLiteral("节奏bin|*.bin");
            request.flags = 2;
            request.initDir = DialogFolder;
            const plat::FileDialogResult chosen = plat::dialogs().fileDialog(this, request);
            if (chosen.cancelled) return;
            LastOpenedFile = chosen.fileName;
            SaveJZwj();
        } catch (const rt::RuntimeError&) {
        }
    }
}
