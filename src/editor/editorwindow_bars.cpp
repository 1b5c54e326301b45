// Bar editing: committing a note box into cells and pitch codes, showing a
// bar from the bar scroll bar, going on to a fresh bar, clearing a bar and
// setting the number of bars.
#include "editor/editorwindow.h"

#include "editor/pitchcode.h"
#include "editor/songmodel.h"
#include "platform/dialogs.h"

using namespace midi;

void EditorWindow::SYYPSB() { G.EditorNoteSemitone = editor::SYYPSB(NoteToken); }

void EditorWindow::YF1_LostFocus(int index) {
    if (BarStart(CurrentBar) < 0) return;
    SetNoteBox(index, editor::song().commitTrackText(index, CurrentBar, YF1[index]->text()));
}

void EditorWindow::SetNoteBox(int k, const QString& text) {
    YF1[k]->setText(text);
    noteBoxTyped_[k] = false;
}

void EditorWindow::CommitNoteBoxes() {
    for (int k = 0; k <= 6; ++k)
        if (noteBoxTyped_[k]) YF1_LostFocus(k);
}

void EditorWindow::HScroll1_Change() {
    // The scroll bar's value has moved on; CurrentBar is still the bar the boxes hold.
    CommitNoteBoxes();
    CurrentBar = HScroll1->value();
    XJZS->setText(QString::number(CurrentBar));
    XJXSS->setCaption(QStringLiteral("实际小节数是(%1-%2)小节").arg(2 * CurrentBar + 1).arg(2 * CurrentBar + 2));
    if (CurrentBar < 0 || CurrentBar > 9999) return;
    if (editor::song().hasSettings(CurrentBar)) CXTSB();
    ShowBarCells();
}

// The note boxes and the step boxes show the current bar's cells at the
// meter in force: after a meter change the bar covers other positions, and a
// box left holding the old bar's text would write it over them. A bar past
// the tables shows empty (it cannot be edited).
void EditorWindow::ShowBarCells() {
    auto& song = editor::song();
    const bool inSong = BarStart(CurrentBar) >= 0;
    for (int i = 0; i <= 6; ++i) SetNoteBox(i, inSong ? song.shownTrackText(i, CurrentBar) : QString());
    for (int s = 0; s <= BarLastStep; ++s) {
        for (int r = 0; r < 5; ++r) {
            const bool hit = inSong && song.EditorMarkGrid(7 + r, song.position(CurrentBar, s)) == QStringLiteral("O");
            DJY[r][s]->setValue(hit ? 1 : 0);
        }
    }
}

// The bar count as the song now has it: the end of a song play and the bar
// scroll bar's range (a lower maximum shows the last bar).
void EditorWindow::ShowBarCount() {
    PlayEndStep = editor::song().songEndStep();
    HScroll1->setMax(EditorBarCount);
}

void EditorWindow::CHARU_Click() {
    CommitNoteBoxes();
    auto& song = editor::song();
    const int32_t next = song.insertBar(CurrentBar);
    if (next < 0) {
        plat::msgBox(QStringLiteral("已到达本节奏类型所能容纳的最后一小节（第%1小节），不能再插入新的小节！")
                         .arg(song.lastBarLimit()));
        return;
    }
    for (int i = 0; i <= 6; ++i) SetNoteBox(i, QString());
    // The boxes are emptied for the new bar: the bar being left keeps its hits.
    for (int r = 0; r < 5; ++r) {
        for (int s = 0; s <= BarLastStep; ++s) {
            ui::Handler h = std::move(DJY[r][s]->onClick);
            DJY[r][s]->setValue(0);
            DJY[r][s]->onClick = std::move(h);
        }
    }
    CurrentBar = next;
    XJZS->setText(QString::number(CurrentBar));
    ShowBarCount();
}

void EditorWindow::QinKong_Click() {
    if (BarStart(CurrentBar) < 0) return;
    editor::song().clearBar(CurrentBar);
    for (int t = 0; t <= 6; ++t) SetNoteBox(t, QString());
    for (int s = 0; s <= BarLastStep; ++s) {
        for (int r = 0; r < 5; ++r) DJY[r][s]->setValue(0);
    }
}

void EditorWindow::ZDXJZS_Click() {
    QString answer;
    if (!plat::dialogs().inputBox(this,
                                  QStringLiteral("请输入音乐需要的小节总数\r\n     （音乐每两小节为软件的一小节）"),
                                  QStringLiteral("选择小节总数"), QString(), &answer))
        return;
    const QString trimmed = answer.trimmed();
    bool ok = false;
    const double v = trimmed.toDouble(&ok);
    if (!ok || trimmed.isEmpty()) return;
    const double n = rt::roundHalfEven(v);
    if (n == 0) return;
    auto& song = editor::song();
    if (n < 1 || n > song.lastBarLimit() || !song.setBarCount(static_cast<int32_t>(n))) {
        plat::msgBox(QStringLiteral("小节总数应在1到%1之间！").arg(song.lastBarLimit()));
        return;
    }
    ShowBarCount();
}
