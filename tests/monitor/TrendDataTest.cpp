#include "TrendData.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace lw;

namespace {

std::vector<TrendPoint> line(int n) {
    std::vector<TrendPoint> points;
    for (int i = 0; i < n; ++i)
        points.push_back({static_cast<double>(i), static_cast<double>(i % 10)});
    return points;
}

TEST(TrendPoints, AscendingTimeAndOnlyRowsWithAValue) {
    std::vector<HistRow> rows(3);
    rows[0].DateTime = 2.0;
    rows[0].Input1 = 5;
    rows[1].DateTime = 1.0;
    rows[1].Input1 = 4;
    rows[2].Input1 = 9; // no time: no point
    EXPECT_EQ(trendPoints(rows, TrendSeries::Input1),
              (std::vector<TrendPoint>{{1.0, 4}, {2.0, 5}}));
    EXPECT_TRUE(trendPoints(rows, TrendSeries::Level).empty());
}

TEST(ThinPoints, FewPointsStayAllAndManyKeepEveryPeakWithinTwoPerPixel) {
    const std::vector<TrendPoint> few = line(50);
    // The range 10..20 with the neighbours 9 and 21 so the line reaches the edges.
    const auto part = thinPoints(few, 10, 20, 100);
    ASSERT_EQ(part.size(), 13u);
    EXPECT_EQ(part.front().x, 9);
    EXPECT_EQ(part.back().x, 21);
    EXPECT_EQ(thinPoints(few, -5, 100, 100).size(), 50u);

    // A busy day: 17,280 points, one spike and one dip, on 500 pixels.
    std::vector<TrendPoint> busy = line(17280);
    busy[7001].y = 1000;
    busy[12345].y = -1000;
    const auto thin = thinPoints(busy, 0, 17279, 500);
    EXPECT_LE(thin.size(), 1000u);
    EXPECT_TRUE(std::is_sorted(thin.begin(), thin.end(),
                               [](const TrendPoint& a, const TrendPoint& b) { return a.x < b.x; }));
    auto has = [&](const TrendPoint& p) {
        return std::find(thin.begin(), thin.end(), p) != thin.end();
    };
    EXPECT_TRUE(has(busy[7001]));
    EXPECT_TRUE(has(busy[12345]));
    EXPECT_TRUE(has(busy.front()));
    // Every other slice keeps its own low and high: the band 0..9 stays drawn all day.
    auto count = [&](double y) {
        return std::count_if(thin.begin(), thin.end(),
                             [y](const TrendPoint& p) { return p.y == y; });
    };
    EXPECT_EQ(count(0), 499);
    EXPECT_EQ(count(9), 499);
}

} // namespace
