#include <gtest/gtest.h>

#include <sstream>

#include "vrxwm/CProgressBar.h"

namespace {

TEST(CProgressBarTest, LineShowsDoneTotalRateAndTimeLeft) {
    // 100 of 400 frames in 4 s: 25 fps, 300 frames left take 12 s.
    const std::string line = CProgressBar::Line("encode", 100, 400, 4.0);
    EXPECT_EQ(line, "encode [######------------------]  100/400 frames  25.0 fps  0:12 left");
}

TEST(CProgressBarTest, UnknownTotalShowsCountAndRateOnly) {
    EXPECT_EQ(CProgressBar::Line("frames", 30, -1, 2.0), "frames  30 frames  15.0 fps");
}

TEST(CProgressBarTest, DisabledBarWritesNothing) {
    std::ostringstream out;
    {
        CProgressBar bar(out, /*enabled=*/false, "encode", 10);
        for (int i = 1; i <= 10; ++i) bar.Update(i);
        bar.Finish();
    }
    EXPECT_EQ(out.str(), "");
}

TEST(CProgressBarTest, EnabledBarRedrawsOneLineAndEndsIt) {
    std::ostringstream out;
    CProgressBar bar(out, /*enabled=*/true, "encode", 3);
    bar.Update(1);
    bar.Update(3);  // the total is always drawn
    bar.Finish();
    const std::string text = out.str();
    EXPECT_EQ(text.front(), '\r');
    EXPECT_NE(text.find("3/3 frames"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line only: " << text;
}

}  // namespace
