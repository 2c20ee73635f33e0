#include "QAVTasAllPairsDistance.h"
#include "QAVTasCovarianceEllipse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
double AllPairs(const std::vector<double>& p) { return QAVTasAllPairsMaxDistance(p.data(), p.size() / 2); }

void ExpectAllPairs(const std::vector<double>& p)
{
  double max = -1;
  ASSERT_EQ(QAVTasGetMaxDistance(p.data(), static_cast<std::int32_t>(p.size() / 2), max), S_OK);
  EXPECT_EQ(max, AllPairs(p)) << "n = " << p.size() / 2;
}
} // namespace

TEST(MaxDistance, TinySets)
{
  double max = -1;
  QAVTasGetMaxDistance(nullptr, 0, max);
  EXPECT_EQ(max, 0.0);
  const double one[] = {3, 4};
  QAVTasGetMaxDistance(one, 1, max);
  EXPECT_EQ(max, 0.0);
  ExpectAllPairs({0, 0, 3, 4});
  ExpectAllPairs({0, 0, 3, 4, 1, 1});
  ExpectAllPairs({1e-300, 0, 0, 1e-300, -1e-300, 0});
}

TEST(MaxDistance, RandomSets)
{
  std::mt19937_64 random(7);
  for (int round = 0; round < 200; ++round)
  {
    const int n = 2 + round * 7 % 400;
    const double scale = std::pow(10.0, round % 13 - 6);
    std::normal_distribution<double> normal(round % 5, scale);
    std::uniform_real_distribution<double> uniform(-scale, scale);
    std::vector<double> p;
    for (int i = 0; i < n; ++i)
    {
      p.push_back(round % 2 ? normal(random) : uniform(random));
      p.push_back(round % 3 ? normal(random) : uniform(random));
    }
    ExpectAllPairs(p);
  }
}

TEST(MaxDistance, CollinearDuplicateAndRegularSets)
{
  std::vector<double> line, tenths, same, doubled, square, polygon, grid, circle;
  for (int i = 0; i < 50; ++i)
  {
    line.insert(line.end(), {double(i % 17), 2.0 * (i % 17) + 1});
    tenths.insert(tenths.end(), {0.1 * i, 0.3 * i - 7});
    same.insert(same.end(), {1.5, -2.5});
    doubled.insert(doubled.end(), {double(i % 5), double(i % 3)});
    polygon.insert(polygon.end(), {std::cos(2 * M_PI * i / 50), std::sin(2 * M_PI * i / 50)});
  }
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 9; ++j)
      grid.insert(grid.end(), {0.5 * i, 0.25 * j});
  square = {0, 0, 1, 0, 1, 1, 0, 1, 0.5, 0.5, 1, 0.5, 0, 0};
  for (int i = 0; i < 1000; ++i)
    circle.insert(circle.end(), {1e6 + std::cos(i * 0.001), 1e6 + std::sin(i * 0.001)});
  for (const auto* set : {&line, &tenths, &same, &doubled, &square, &polygon, &grid, &circle})
    ExpectAllPairs(*set);
}

TEST(MaxDistance, NonFiniteCoordinates)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  double max = -1;
  const double withNan[] = {0, 0, nan, 1, 3, 4};
  QAVTasGetMaxDistance(withNan, 3, max);
  EXPECT_EQ(max, 5.0);
  const double withInf[] = {0, 0, std::numeric_limits<double>::infinity(), 1};
  QAVTasGetMaxDistance(withInf, 2, max);
  EXPECT_TRUE(std::isinf(max));
}
