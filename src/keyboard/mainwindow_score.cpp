// The score player: YSCX reads one token group of ScoreText (a two-letter
// token and up to two length digits) and acts on it; the clock Timer3 sounds
// the notes on the three voices, drives the accompaniment and asks for the
// next token when a note's length in ticks has run out.
//
// Tokens: a note (octave letter L W K H M, note letter C D E F G A B; M only
// up to G), "XZ" rest, "TZ" stop, "VS"n tempo, "YQ"n instrument combination,
// "JP"n rhythm file (99: auto-sync off). A note or rest without digits takes
// the length carried from the last digits read.
//
// Timer3 is a musical clock: a note of length L sounds for L ticks measured
// on a grid of deadlines from the start of the play, so a late tick never
// delays the ones after it. The reader restarts the clock at every token
// from inside a tick, which starts at that tick's deadline and keeps the grid;
// a tempo change starts a new grid at its token.
#include "keyboard/mainwindow.h"

#include "midi/midiout.h"
#include "platform/dialogs.h"
#include "platform/fileutil.h"
#include "platform/textcodec.h"

#include <QFile>
#include <QFileInfo>

using namespace midi;
using rt::add16;

namespace {

constexpr int16_t kRestOffset = 254;
constexpr int16_t kStopOffset = 255;
// The pattern reader uses the fields of the pattern line (62 characters of
// at most two bytes each): the start of a file of any size holds them.
constexpr qint64 kRhythmHeadBytes = 64 * 1024;

bool isDigit(QChar c) { return c.unicode() >= 48 && c.unicode() <= 57; }

// The semitone offset of a note token ("KC" = 24), or -1 for any other text.
int noteOffset(const QString& token) {
    if (token.size() != 2) return -1;
    const int o = static_cast<int>(QStringLiteral("LWKHM").indexOf(token.at(0)));
    const int n = static_cast<int>(QStringLiteral("CDEFGAB").indexOf(token.at(1)));
    static const int kSteps[] = {0, 2, 4, 5, 7, 9, 11};
    if (o < 0 || n < 0) return -1;
    if (o == 4 && n > 4) return -1;  // the top octave ends at G
    return 12 * o + kSteps[n];
}

// The note-offs of offsets 0..63 of channels 0..lastChannel, and of voice 2's
// octave below when the sounding note lies below offset 12 (that note is
// below the swept range and would sound on).
void sweepScoreNotes(int16_t lastChannel) {
    for (int i = 0; i <= 63; ++i) {
        const int16_t note = add16(G.BaseNote, i);
        for (int16_t ch = 0; ch <= lastChannel; ++ch) NoteOff(ch, note);
    }
    if (G.LastNoteOffset >= 0 && G.LastNoteOffset < 12) NoteOff(2, add16(G.BaseNote, G.LastNoteOffset - 12));
}

// A rhythm pattern file of the list, as much of it as its reader uses
// (the whole of any pattern file); false when it is missing or unreadable.
bool readListedRhythmFile(const QString& path, QString* text) {
    const QString found = plat::resolvePath(path);
    if (found.isEmpty() || !QFileInfo(found).isFile()) return false;
    QFile f(found);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(kRhythmHeadBytes);
    if (f.error() != QFileDevice::NoError) return false;
    *text = plat::fromGbk(head);
    return true;
}

}  // namespace

void MainWindow::StopScoreClock() {
    Timer3->setInterval(0);
    Timer3->setEnabled(false);
    ++scorePlaySerial_;
}

void MainWindow::ScoreBoxFollowsPlay() { Text3->setLocked(AutoPlayRunning || Timer3->enabled()); }

void MainWindow::ResetSteps() {
    G.RhythmStep = 0;
    G.DrumStep = 0;
    TokenTickCount = 0;
    G.ChordIndex = 1;
    ChordPos = 1;
}

void MainWindow::PlayScoreText() {
    // The live clock's close of an idle take would rewrite the score.
    Timer1->setEnabled(false);
    ResetSteps();
    AccompTick = 0;
    ScoreLength = static_cast<int32_t>(G.ScoreText.size());
    ScorePos = 1;
    AutoPlayRunning = true;
    ++scorePlaySerial_;
    Yuepu[0]->setText(QStringLiteral("停止"));
    XSWB->setCaption(QStringLiteral("正在进行自动演奏,点击<保存>按钮可把音乐保存为txt格式的乐谱文件！"));
    ScoreBoxFollowsPlay();
    YSCX();
}

void MainWindow::YSCX() {
    int n = 0;
    // The caret shows where the play is: the second character of the token
    // about to be read. A run of commands is read at once, so it is shown
    // once, at the token that ends the read.
    int shownPos = ScorePos;
    const auto showPosition = [this, &shownPos] {
        if (isVisible()) Text3->focusEditor();
        Text3->select(shownPos, 1);
    };
    // The tempo box is read at every token; a text that is no tempo (while
    // the user types in it) leaves the tick length as it is. Within one read
    // only "VS" changes the box, and it sets the tick length itself.
    {
        const double typed = rt::Val(SD->text());
        const double t = rt::roundHalfEven(typed);
        if (t >= 40 && t <= 140) G.BeatInterval = rt::CInt(7500.0 / typed);
    }
    // A run of commands costs the same per token wherever it stands: the
    // token is looked at in place, and kept once the read ends.
    QStringView token;
    const auto keepToken = [this, &token] { ScoreToken = token.toString(); };
    for (;;) {
        if (ScorePos < 1) ScorePos = 1;
        shownPos = ScorePos;

        const QString score = G.ScoreText;  // shared, not copied
        ScoreLength = static_cast<int32_t>(score.size());
        token = QStringView(score).mid(ScorePos - 1, 2);
        if (ScorePos >= ScoreLength - 1) YXYZ();

        n = 0;
        if (ScorePos < ScoreLength - 1) {
            const QChar c1 = score.at(ScorePos + 1);
            const bool twoDigits = isDigit(c1) && ScorePos + 2 < ScoreLength && isDigit(score.at(ScorePos + 2));
            if (!isDigit(c1)) {
                ScorePos += 1;
            } else if (twoDigits) {
                n = 10 * (c1.unicode() - 48) + (score.at(ScorePos + 2).unicode() - 48);
                TokenTicks = static_cast<i16>(n);
                ScorePos += 3;
            } else {
                n = c1.unicode() - 48;
                TokenTicks = static_cast<i16>(n);
                ScorePos += 2;
            }
        }

        if (token == u"VS") {
            if (n >= 1 && n <= 19) {
                SD->setListIndex(n - 1);
                G.BeatInterval = rt::CInt(7500.0 / rt::Val(SD->text()));
                ResetSteps();
                TokenTicks = 0;
                ScorePos += 1;
                continue;
            }
            // Not a tempo: the note read last is struck again at the next
            // tick and held for the length read here.
            keepToken();
            showPosition();
            ScorePos += 1;
            TokenTickCount = 0;
            ScoreBoxFollowsPlay();
            return;
        }
        if (token == u"JP") {
            if (n == 99) {
                Check5->setValue(0);
            } else if (n >= 1 && n <= 98 && n <= File1->listCount()) {
                const QString name = File1->list(n - 1);
                QString text;
                if (readListedRhythmFile(File1->path() + u'/' + name, &text)) {
                    // Choosing the entry loads it through the list's own
                    // click; an entry already chosen is loaded here.
                    const bool listLoads = File1->listIndex() != n - 1 || File1->fileName() != name;
                    G.RhythmFileText = text;
                    File1->setListIndex(n - 1);
                    Label11->setCaption(QString::number(n) + QStringLiteral("★") + name);
                    if (!listLoads) OpenJZwj();
                    Check5->setValue(1);
                }
            }
            ResetSteps();
            TokenTicks = 0;
            ScorePos += 1;
            continue;
        }
        if (token == u"YQ") {
            // Rows 1..13 of the presets; any other number changes no voice.
            if (n >= 1 && n <= 13) SelectInstrumentCombination(n);
            TokenTicks = 0;
            ScorePos += 1;
            TokenTickCount = 0;
            continue;
        }
        keepToken();
        break;
    }
    showPosition();

    // A token cut to one character by the end of the text has no length.
    if (ScoreToken.size() < 2) TokenTicks = 0;
    Timer3->setInterval(G.BeatInterval);
    const int offset = noteOffset(ScoreToken);
    if (offset >= 0) {
        G.KeyOffset = static_cast<i16>(offset);
        TokenTickCount = 0;
        ScorePos += 1;
        Timer3->setEnabled(true);
    } else if (ScoreToken == QLatin1String("XZ")) {
        G.KeyOffset = kRestOffset;
        sweepScoreNotes(2);
        Timer3->setEnabled(true);
        ScorePos += 1;
        TokenTickCount = 0;
    } else if (ScoreToken == QLatin1String("TZ")) {
        G.KeyOffset = kStopOffset;
        sweepScoreNotes(4);
        // The play ends at the deadline of the tick that read the stop (the
        // tick runs ahead of it): till then "停止" and the keys find it playing.
        Timer3->atDeadline([this] { EndScorePlay(); });
    } else {
        // An error in the score: silence, stop the clock, then say so (a
        // clock still running would tick on under the message box).
        ReleaseMelodyNote(G.LastNoteOffset);
        HX1K();
        HX2K();
        StopScoreClock();
        Yuepu[0]->setText(QStringLiteral("试听"));
        AutoPlayRunning = false;
        TokenTickCount = 0;
        ScoreBoxFollowsPlay();
        plat::msgBox(QStringLiteral("乐谱中出现错误，请修改！"), plat::kOkOnly);
    }
    ScoreBoxFollowsPlay();
}

void MainWindow::EndScorePlay() {
    Timer3->setEnabled(false);
    ++scorePlaySerial_;
    if (Check5->value() == 1) BZDS->setEnabled(false);
    BzQd->setValue(0);
    Yuepu[0]->setText(QStringLiteral("试听"));
    AutoPlayRunning = false;
    ScorePos = 1;
    ResetSteps();
    ShowKeyUp(G.LastNoteOffset);
    ScoreBoxFollowsPlay();
}

void MainWindow::Timer3_Timer() {
    const uint32_t play = scorePlaySerial_;
    rt::DoEvents();
    // A stop (or a new play) handled while yielding: this tick is over.
    if (!Timer3->enabled() || play != scorePlaySerial_) return;

    if (TokenTickCount == 0 && G.KeyOffset < 64) {
        ReleaseMelodyNote(G.LastNoteOffset);
        StrikeMelody(G.KeyOffset);
        G.LastNoteOffset = G.KeyOffset;
    }
    if (AccompTick == 0) BarChord();
    // With auto-sync the accompaniment steps on the even ticks of the note.
    if (TokenTickCount % 2 == 0 && Check5->value() == 1) AccompanimentStep();

    if (TokenTickCount < INT32_MAX) TokenTickCount += 1;
    if (TokenTickCount == TokenTicks) {
        YSCX();
        // The read may have ended the play, or a message box it showed may
        // have let the user start another one.
        if (play != scorePlaySerial_) return;
        TokenTickCount = 0;
    }

    AccompTick = add16(AccompTick, 1);
    if (AccompTick > 2 * G.RhythmLastStep + 1) AccompTick = 0;
}
