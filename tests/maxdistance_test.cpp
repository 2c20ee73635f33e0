#include "QAVTasAllPairsDistance.h"
#include "QAVTasCovarianceEllipse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
void ExpectAllPairs(const std::vector<double>& p)
{
  double max = -1;
  ASSERT_EQ(QAVTasGetMaxDistance(p.data(), static_cast<std::int32_t>(p.size() / 2), max), S_OK);
  EXPECT_EQ(max, QAVTasAllPairsMaxDistance(p.data(), p.size() / 2)) << "n = " << p.size() / 2;
}
} // namespace

TEST(MaxDistance, RandomSets)
{
  std::mt19937_64 random(7);
  for (int round = 0; round < 200; ++round)
  {
    const double scale = std::pow(10.0, round % 13 - 6);
    std::normal_distribution<double> normal(round % 5, scale);
    std::uniform_real_distribution<double> uniform(-scale, scale);
    std::vector<double> p;
    for (int i = 0; i < 2 + round * 7 % 400; ++i)
      p.insert(p.end(), {round % 2 ? normal(random) : uniform(random), round % 3 ? normal(random) : uniform(random)});
    ExpectAllPairs(p);
  }
}

TEST(MaxDistance, TinyCollinearDuplicateAndRegularSets)
{
  std::vector<std::vector<double>> sets = {{3, 4},
                                           {0, 0, 3, 4},
                                           {0, 0, 3, 4, 1, 1},
                                           {1e-300, 0, 0, 1e-300, -1e-300, 0},
                                           {0, 0, 1, 0, 1, 1, 0, 1, 0.5, 0.5, 1, 0.5, 0, 0}};
  std::vector<double> line, tenths, same, doubled, polygon, grid, circle;
  for (int i = 0; i < 50; ++i)
  {
    line.insert(line.end(), {double(i % 17), 2.0 * (i % 17) + 1});
    tenths.insert(tenths.end(), {0.1 * i, 0.3 * i - 7});
    same.insert(same.end(), {1.5, -2.5});
    doubled.insert(doubled.end(), {double(i % 5), double(i % 3)});
    polygon.insert(polygon.end(), {std::cos(2 * M_PI * i / 50), std::sin(2 * M_PI * i / 50)});
  }
  for (int i = 0; i < 108; ++i)
    grid.insert(grid.end(), {0.5 * (i / 9), 0.25 * (i % 9)});
  for (int i = 0; i < 1000; ++i)
    circle.insert(circle.end(), {1e6 + std::cos(i * 0.001), 1e6 + std::sin(i * 0.001)});
  sets.insert(sets.end(), {line, tenths, same, doubled, polygon, grid, circle});
  for (const auto& set : sets)
    ExpectAllPairs(set);
}

TEST(MaxDistance, NaNPointsAreSkipped)
{
  const double withNan[] = {0, 0, std::numeric_limits<double>::quiet_NaN(), 1, 3, 4};
  double max = -1;
  QAVTasGetMaxDistance(withNan, 3, max);
  EXPECT_EQ(max, 5.0);
}

TEST(MaxDistanceHostile, MaxDistanceOfHugeCoordinatesIsStillTheAllPairsValue)
{
  // Differences whose products overflow: the exact turn signs cannot decide the hull there.
  const std::vector<std::vector<double>> sets = {
    {0.0, 0.0, 0.0, -1e308, -3.5, 2.0},               // a squared difference overflows: infinity
    {0.0, 0.0, 1e152, 0.0, 0.0, 1e152, 3e151, 3e151}, // products overflow, squares do not
    {-1e200, 5.0, 1e200, -5.0, 0.0, 1e-300, 1.0, 1.0} // the difference itself is near the limit
  };
  for (const std::vector<double>& points : sets)
  {
    double fast = 0.0;
    EXPECT_EQ(QAVTasGetMaxDistance(points.data(), static_cast<std::int32_t>(points.size() / 2), fast), S_OK);
    EXPECT_EQ(fast, QAVTasAllPairsMaxDistance(points.data(), points.size() / 2)) << points[2];
  }
}
