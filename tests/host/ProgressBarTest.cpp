#include <gtest/gtest.h>

#include <sstream>

#include "host/ProgressBar.h"

namespace {

TEST(ProgressBar, QuietForTheFirstSecondThenDrawsAndClears) {
    double now = 0.0;
    std::ostringstream out;
    ProgressBar bar(out, true, [&now] { return now; });
    now = 0.9;
    bar.update(10, 100);
    EXPECT_EQ(out.str(), "");

    now = 1.2;
    bar.update(25, 100);
    EXPECT_NE(out.str().find("#########"), std::string::npos);
    EXPECT_NE(out.str().find(" 25%"), std::string::npos);

    const std::size_t drawn = out.str().size();
    now = 1.25;  // too soon to redraw
    bar.update(30, 100);
    EXPECT_EQ(out.str().size(), drawn);
    now = 1.4;
    bar.update(100, 100);
    EXPECT_NE(out.str().find("100%"), std::string::npos);

    bar.finish();
    const std::string all = out.str();
    EXPECT_EQ(all.back(), '\r');
    EXPECT_EQ(all.find('\n'), std::string::npos);
}

TEST(ProgressBar, NothingWhenNotATerminal) {
    double now = 0.0;
    std::ostringstream out;
    ProgressBar bar(out, false, [&now] { return now; });
    now = 5.0;
    bar.update(1, 2);
    bar.finish();
    EXPECT_EQ(out.str(), "");
}

}  // namespace
