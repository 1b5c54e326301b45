// The scroll bar: Change when set and once at the end of a drag; a lowered
// Max pulls the value down with it; Max below Min never moves Min.
#include "support/testsupport.h"
#include "ui/controls.h"

#include <gtest/gtest.h>
#include <vector>

using namespace ui;

TEST(ScrollBarRules, ChangeWhenSetAndOnceAtTheEndOfADrag) {
    ScrollBar bar;
    bar.setMin(0);
    bar.setMax(200);
    std::vector<int> seen;
    bar.onChange = [&] { seen.push_back(bar.value()); };
    bar.setValue(5);
    bar.setValue(5);  // no change, no handler
    EXPECT_EQ(seen, (std::vector<int>{5}));
    EXPECT_THROW(bar.setValue(201), rt::RuntimeError);

    // A drag over 6, 7, 8 reports only where the thumb is let go.
    seen.clear();
    bar.setSliderDown(true);
    for (int p : {6, 7, 8}) bar.setSliderPosition(p);
    EXPECT_TRUE(seen.empty());
    bar.setSliderDown(false);
    EXPECT_EQ(seen, (std::vector<int>{8}));
    EXPECT_EQ(bar.value(), 8);

    // An arrow click is reported at once.
    seen.clear();
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(seen, (std::vector<int>{9}));
}

TEST(ScrollBarRules, MaxBelowValueRunsChangeAndMaxBelowMinKeepsMin) {
    ScrollBar bar;
    bar.setMin(0);
    bar.setMax(200);
    bar.setValue(150);
    std::vector<int> seen;
    bar.onChange = [&] { seen.push_back(bar.value()); };
    bar.setMax(12);
    EXPECT_EQ(seen, (std::vector<int>{12}));
    bar.setMax(40);  // raising it leaves the value
    EXPECT_EQ(seen.size(), 1u);

    seen.clear();
    bar.setValue(0);
    bar.setMax(-3);  // Max below Min: Min stays 0, the value stays in -3..0
    EXPECT_EQ(bar.min(), 0);
    EXPECT_EQ(bar.max(), -3);
    EXPECT_EQ(bar.value(), 0);
    bar.setValue(-2);
    EXPECT_EQ(bar.value(), -2);
    bar.setMax(-1);
    EXPECT_EQ(bar.value(), -1);
    EXPECT_EQ(seen, (std::vector<int>{0, -2, -1}));

    // The depth bar: -20..20 starts at 0; the value set from code runs Change.
    ScrollBar depth;
    depth.setMin(-20);
    depth.setMax(20);
    EXPECT_EQ(depth.value(), 0);
}
