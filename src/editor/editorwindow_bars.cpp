// Bar editing: committing a note box into cells and pitch codes, showing a
// bar from the bar scroll bar, going on to a fresh bar, clearing a bar and
// setting the number of bars.
#include "editor/editorwindow.h"

#include "editor/pitchcode.h"
#include "editor/songmodel.h"
#include "platform/dialogs.h"

using namespace midi;

void YYBJ::SYYPSB() { G.EditorNoteSemitone = editor::SYYPSB(NoteToken); }

void YYBJ::YF1_LostFocus(int index) {
    const int steps = BarLastStep + 1;
    const long long first = static_cast<long long>(CurrentBar) * steps;
    if (first < 0 || first + BarLastStep > 9999) return;
    QString text = YF1[index]->text().toUpper();
    if (text.size() < 2 * steps) text += QString(2 * steps - text.size(), u'-');
    YF1[index]->setText(text);
    auto& song = editor::song();
    song.EditorTextGrid(index, CurrentBar) = text;
    for (int k = 1; k <= steps; ++k) {
        const long long p = first + k - 1;
        song.EditorMarkGrid(index, p) = text.mid(2 * k - 2, 2);
        NoteToken = song.EditorMarkGrid(index, p);
        SYYPSB();
        song.EditorPitchGrid(index, p) = G.EditorNoteSemitone;
    }
}

void YYBJ::HScroll1_Change() {
    CurrentBar = HScroll1->value();
    XJZS->setText(QString::number(CurrentBar));
    XJXSS->setCaption(QStringLiteral("实际小节数是(%1-%2)小节").arg(2 * CurrentBar + 1).arg(2 * CurrentBar + 2));
    auto& song = editor::song();
    if (CurrentBar < 0 || CurrentBar > 9999) return;
    if (song.BarHeaderTexts(CurrentBar).size() > 4) CXTSB();
    for (int i = 0; i <= 6; ++i) YF1[i]->setText(song.EditorTextGrid(i, CurrentBar));
    const long long first = static_cast<long long>(CurrentBar) * (BarLastStep + 1);
    for (int s = 0; s <= BarLastStep; ++s) {
        const long long p = first + s;
        for (int r = 0; r < 5; ++r) {
            const bool hit = p <= 9999 && song.EditorMarkGrid(7 + r, p) == QStringLiteral("O");
            DJY[r][s]->setValue(hit ? 1 : 0);
        }
    }
}

// Empties the cells of a bar: holds in the melodic tracks, no hits in the
// percussion rows, so nothing of an earlier content plays or is saved.
void YYBJ::ClearBarCells(int32_t bar) {
    const long long first = static_cast<long long>(bar) * (BarLastStep + 1);
    if (first < 0 || first + BarLastStep > 9999) return;
    auto& song = editor::song();
    for (int s = 0; s <= BarLastStep; ++s) {
        const long long p = first + s;
        for (int t = 0; t <= 6; ++t) {
            song.EditorMarkGrid(t, p) = QStringLiteral("--");
            song.EditorPitchGrid(t, p) = 255;
        }
        for (int r = 0; r < 5; ++r) {
            song.EditorMarkGrid(7 + r, p) = QStringLiteral("-");
            G.RhythmPattern(r, p).Enabled = False;
        }
    }
}

void YYBJ::SetBarCount(int32_t count) {
    G.EditorBarCount = count;
    PlayEndStep = count * (BarLastStep + 1) + BarLastStep;
    HScroll1->setMax(count);
}

void YYBJ::CHARU_Click() {
    if (CurrentBar >= LastBarLimit()) {
        plat::msgBox(QStringLiteral("已到达本节奏类型所能容纳的最后一小节（第%1小节），不能再插入新的小节！")
                         .arg(LastBarLimit()));
        return;
    }
    auto& song = editor::song();
    for (int i = 0; i <= 6; ++i) YF1[i]->setText(QString());
    for (int t = 0; t <= 11; ++t) song.EditorTextGrid(t, CurrentBar + 1) = QString();
    // The boxes are emptied for the new bar: the bar being left keeps its hits.
    for (int r = 0; r < 5; ++r) {
        for (int s = 0; s <= BarLastStep; ++s) {
            ui::Handler h = std::move(DJY[r][s]->onClick);
            DJY[r][s]->setValue(0);
            DJY[r][s]->onClick = std::move(h);
        }
    }
    CurrentBar += 1;
    XJZS->setText(QString::number(CurrentBar));
    ClearBarCells(CurrentBar);
    if (G.EditorBarCount <= CurrentBar) G.EditorBarCount = std::min(CurrentBar + 1, LastBarLimit());
    SetBarCount(G.EditorBarCount);
}

void YYBJ::QinKong_Click() {
    auto& song = editor::song();
    for (int t = 0; t <= 11; ++t) {
        if (t <= 6) YF1[t]->setText(QString());
        if (CurrentBar >= 0 && CurrentBar <= 9999) song.EditorTextGrid(t, CurrentBar) = QString();
    }
    for (int s = 0; s <= BarLastStep; ++s) {
        for (int r = 0; r < 5; ++r) DJY[r][s]->setValue(0);
    }
    ClearBarCells(CurrentBar);
}

void YYBJ::ZDXJZS_Click() {
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
    const int32_t limit = LastBarLimit();
    if (n < 1 || n > limit) {
        plat::msgBox(QStringLiteral("小节总数应在1到%1之间！").arg(limit));
        return;
    }
    SetBarCount(static_cast<int32_t>(n));
}
