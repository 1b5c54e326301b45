// The percussion step grid (five rows of step boxes, one column per step of
// the bar) and the meter switch that resizes grid, note boxes and window.
#include "editor/editorwindow.h"

#include "editor/songmodel.h"

#include <algorithm>

using namespace midi;

namespace {

struct MeterLayout {
    i16 lastStep;
    int noteBoxWidth;
    int gridWidth;
    int windowTwips;
    int leftTwips;
};
const MeterLayout kMeters[3] = {{15, 325, 465, 11300, 1935},
                                {23, 486, 490, 11670, 1735},
                                {31, 648, 652, 14100, 635}};

// Colour of a step's 4-step group: magenta, green, blue, yellow, repeating.
int stepColour(int step) {
    static const int colours[4] = {13, 10, 9, 14};
    return colours[(step / 4) % 4];
}

// Window height in pixels (the width follows the meter).
constexpr int kWindowHeight = 598;

}  // namespace

long long EditorWindow::BarStart(int32_t bar) const {
    if (bar < 0 || bar > editor::song().lastBarLimit()) return -1;
    return static_cast<long long>(bar) * (BarLastStep + 1);
}

void EditorWindow::JZXSGC() {
    for (int i = 1; i <= BarLastStep; ++i) {
        for (int r = 0; r < 5; ++r) {
            ui::CheckBox* box = NewStepBox(r, i);
            ui::setBackColor(box, ui::paletteColor(stepColour(i)));
            // A black tick is hard to see on blue: white there.
            if (stepColour(i) == 9) ui::setForeColor(box, ui::paletteColor(15));
            DJY[r].push_back(box);
        }
    }
    LoadedLastStep = BarLastStep;
}

void EditorWindow::DJY_Click(int row, int index) {
    if (BarStart(CurrentBar) < 0) return;
    editor::song().setDrumHit(7 + row, CurrentBar, index, DJY[row][index]->value() == 1);
}

// Sizes of note boxes, grid, volume panel and window for a meter.
void EditorWindow::ApplyMeterLayout(int index) {
    const MeterLayout& m = kMeters[index];
    for (int k = 0; k < 7; ++k) {
        YF1[k]->resize(m.noteBoxWidth, YF1[k]->height());
        YF1[k]->setMaxLength((m.lastStep + 1) * 2);
    }
    Picture1->resize(m.gridWidth, Picture1->height());
    Picture3->move(170 + m.gridWidth + 5, Picture3->y());
    // Width and left edge in twips, 15 to the pixel; the client area is the
    // outer width less the frame.
    setFixedSize(m.windowTwips / 15 - 6, kWindowHeight);
    move(m.leftTwips / 15, y());
}

// Removes the columns after the first, last one first.
void EditorWindow::RemoveColumns() {
    for (int r = 0; r < 5; ++r) {
        while (DJY[r].size() > 1) {
            delete DJY[r].back();
            DJY[r].pop_back();
        }
    }
    LoadedLastStep = 0;
}

void EditorWindow::JPFL_Click(int index) {
    if (index < 0 || index > 2) rt::raise(rt::kErrSubscript);
    // Typed text is committed at the meter it was typed for.
    CommitNoteBoxes();
    // A longer bar leaves fewer bars in the tables: the song is held to the
    // last bar that fits.
    const int32_t countBefore = EditorBarCount;
    editor::song().setBarLastStep(kMeters[index].lastStep);
    ApplyMeterLayout(index);
    RemoveColumns();
    JZXSGC();
    if (EditorBarCount != countBefore) ShowBarCount();
    ShowBarCells();
}
