// The scroll bar: Change when set and once at the end of a drag; a raised
// Min or lowered Max pulls the value with it; Max below Min never moves Min.
#include "ui/controls.h"

#include <gtest/gtest.h>
#include <vector>

TEST(ScrollBarRules, ChangeWhenSetOnceAtTheEndOfADragAndWhenTheBoundsPullTheValue) {
    ui::ScrollBar bar;
    bar.setMin(0);
    bar.setMax(200);
    std::vector<int> seen;
    bar.onChange = [&] { seen.push_back(bar.value()); };
    bar.setValue(5);
    bar.setValue(5);
    EXPECT_THROW(bar.setValue(201), rt::RuntimeError);
    bar.setMin(7);
    bar.setMin(0);
    bar.setSliderDown(true);
    for (int p : {6, 7, 8}) bar.setSliderPosition(p);  // a drag reports where it is let go
    EXPECT_EQ(seen, (std::vector<int>{5, 7}));
    bar.setSliderDown(false);
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);  // an arrow click at once
    bar.setValue(150);
    bar.setMax(12);
    bar.setMax(40);  // raising it leaves the value
    bar.setValue(0);
    bar.setMax(-3);  // below Min: Min stays, the value stays in -3..0
    EXPECT_EQ(bar.min(), 0);
    bar.setValue(-2);
    bar.setMax(-1);
    EXPECT_EQ(seen, (std::vector<int>{5, 7, 8, 9, 150, 12, 0, -2, -1}));
}
