// QAVTasExpression, QAVTasInterval and QAVTasWorstCase: derivatives of random expressions against
// finite differences, enclosures against sampled values, certified extremes against corners and
// grids, and the messages a user gets for a text that is wrong (tests/data/expression).
#include "QAVTasExpression.h"
#include "QAVTasInterval.h"
#include "QAVTasWorstCase.h"
#include "QAVToolRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

namespace
{
const std::string kSource = QAV_SOURCE_DIR;

std::int32_t ThreeNames(const std::string& iName)
{
  return iName == "a" ? 0 : iName == "b" ? 1 : iName == "c" ? 2 : -1;
}

// A random smooth expression over a, b, c, defined wherever they lie in [0.5, 1.5].
std::string RandomExpression(std::mt19937& ioStream, int iDepth)
{
  std::uniform_int_distribution<int> pick(0, iDepth <= 0 ? 1 : 17);
  const auto sub = [&] { return RandomExpression(ioStream, iDepth - 1); };
  switch (pick(ioStream))
  {
    case 0:
      return std::string(1, static_cast<char>('a' + ioStream() % 3));
    case 1:
      return std::to_string(0.5 + static_cast<double>(ioStream() % 100) / 50.0);
    case 2:
      return "(" + sub() + " + " + sub() + ")";
    case 3:
      return "(" + sub() + " - " + sub() + ")";
    case 4:
      return "(" + sub() + " * " + sub() + ")";
    case 5:
      return "(" + sub() + " / (2 + sin(" + sub() + ")))";
    case 6:
      return "sin(" + sub() + ")";
    case 7:
      return "cos(" + sub() + ")";
    case 8:
      return "atan(" + sub() + ")";
    case 9:
      return "sqrt(1 + (" + sub() + ")^2)";
    case 10:
      return "log(2 + cos(" + sub() + "))";
    case 11:
      return "asin(sin(" + sub() + ") / 2)";
    case 12:
      return "acos(cos(" + sub() + ") / 3)";
    case 13:
      return "tan(atan(" + sub() + ") / 2)";
    case 14:
      return "hypot(" + sub() + ", " + sub() + ")";
    case 15:
      return "atan2(" + sub() + ", 2 + cos(" + sub() + "))";
    case 16:
      return "(2 + sin(" + sub() + "))^(cos(" + sub() + "))";
    default:
      return "(-exp(" + sub() + " / 4)^3)";
  }
}

double Scale(double iA, double iB)
{
  return 1.0 + std::max(std::fabs(iA), std::fabs(iB));
}
} // namespace

TEST(Expression, DerivativesOfRandomExpressionsAgreeWithFiniteDifferences)
{
  std::mt19937 stream(7);
  std::uniform_real_distribution<double> point(0.5, 1.5);
  for (int trial = 0; trial < 300; ++trial)
  {
    const QAVTasExpression f(RandomExpression(stream, 4), ThreeNames);
    const std::size_t n = f.Inputs().size();
    std::vector<double> x(n), g(n), h(n * n), gp(n), gm(n), scratch(n);
    for (double& xi : x)
      xi = point(stream);
    ASSERT_EQ("", f.DomainError(x.data())) << f.Text();
    const double y = f.Hessian(x.data(), g.data(), h.data());
    EXPECT_DOUBLE_EQ(f.Value(x.data()), y) << f.Text();
    for (std::size_t j = 0; j < n; ++j)
    {
      const double step = 1e-5;
      std::vector<double> up = x, down = x;
      up[j] += step, down[j] -= step;
      const double fd = (f.Value(up.data()) - f.Value(down.data())) / (2 * step);
      EXPECT_NEAR(fd, g[j], 1e-6 * Scale(fd, g[j])) << f.Text() << " d/dx" << j;
      f.Gradient(up.data(), gp.data());
      f.Gradient(down.data(), gm.data());
      for (std::size_t k = 0; k < n; ++k)
      {
        const double second = (gp[k] - gm[k]) / (2 * step);
        EXPECT_NEAR(second, h[j * n + k], 1e-5 * Scale(second, h[j * n + k])) << f.Text() << " H" << j << k;
        EXPECT_NEAR(h[j * n + k], h[k * n + j], 1e-12 * Scale(h[j * n + k], 0.0)) << f.Text();
      }
    }
  }
}

TEST(Expression, ClutchSensitivitiesAreTheHandDerivation)
{
  const auto names = [](const std::string& iName) -> std::int32_t {
    return iName == "a" ? 0 : iName == "b" ? 1 : iName == "c" ? 2 : iName == "e" ? 3 : -1;
  };
  const QAVTasExpression f("acos((a + (b + c)/2) / (e - (b + c)/2))", names);
  const double x[] = {55.29, 22.86, 22.86, 101.60};
  double g[4];
  EXPECT_NEAR(0.122494, f.Gradient(x, g), 5e-7);
  const double hand[] = {-0.10393848, -0.10354907, -0.10354907, 0.10315967};
  for (int k = 0; k < 4; ++k)
    EXPECT_NEAR(hand[k], g[k], 5e-9);
  // Values over columns match one point at a time, across a block boundary.
  std::vector<std::vector<double>> columns(4, std::vector<double>(300));
  for (int k = 0; k < 4; ++k)
    for (int p = 0; p < 300; ++p)
      columns[k][p] = x[k] + 1e-3 * std::sin(p * (k + 1));
  const double* ptrs[] = {columns[0].data(), columns[1].data(), columns[2].data(), columns[3].data()};
  std::vector<double> y(300);
  f.Values(ptrs, 300, y.data());
  for (int p = 0; p < 300; p += 37)
  {
    const double at[] = {columns[0][p], columns[1][p], columns[2][p], columns[3][p]};
    EXPECT_EQ(f.Value(at), y[p]);
  }
}

TEST(Expression, ParseErrorsSayWhereAndWhatWasExpected)
{
  std::istringstream lines(QAVToolSlurp(kSource + "/tests/data/expression/parse_errors.txt"));
  for (std::string line; std::getline(lines, line);)
  {
    if (line.empty() || line[0] == '#')
      continue;
    const std::size_t bar1 = line.find('|'), bar2 = line.find('|', bar1 + 1);
    const std::string text = line.substr(0, bar1);
    try
    {
      QAVTasExpression(text, ThreeNames);
      ADD_FAILURE() << "accepted: " << text;
    }
    catch (const QAVTasExpression::ParseError& e)
    {
      EXPECT_EQ(std::stoi(line.substr(bar1 + 1, bar2 - bar1 - 1)), e.Column()) << text;
      EXPECT_EQ(line.substr(bar2 + 1), e.Expected()) << text;
    }
  }
}

TEST(Expression, DomainErrorsNameTheOperationAndItsArgument)
{
  std::istringstream lines(QAVToolSlurp(kSource + "/tests/data/expression/domain_errors.txt"));
  for (std::string line; std::getline(lines, line);)
  {
    if (line.empty() || line[0] == '#')
      continue;
    const std::size_t bar1 = line.find('|'), bar2 = line.find('|', bar1 + 1);
    const QAVTasExpression f(line.substr(0, bar1),
                             [](const std::string& iName) -> std::int32_t {
                               return iName == "a" ? 0 : iName == "b" ? 1 : iName == "c" ? 2 : -1;
                             });
    std::istringstream values(line.substr(bar1 + 1, bar2 - bar1 - 1));
    double abc[3];
    values >> abc[0] >> abc[1] >> abc[2];
    std::vector<double> x;
    for (const std::int32_t i : f.Inputs())
      x.push_back(abc[i]);
    EXPECT_EQ(line.substr(bar2 + 1), f.DomainError(x.data())) << line;
  }
}

TEST(Expression, PrecedenceAndFoldedConstants)
{
  const QAVTasExpression f("-a^2 + 2^-1 * 3 - pi + max(a, b, c) - min(1, 2) * hypot(3, 4)", ThreeNames);
  const double x[] = {3.0, 1.0, 7.0};
  EXPECT_DOUBLE_EQ(-9.0 + 1.5 - M_PI + 7.0 - 5.0, f.Value(x));
  const QAVTasExpression g("2^3^2 / (1 + 1e-1) + 1.5E1", ThreeNames);
  EXPECT_EQ(1u, g.Size()); // folded to one constant
  EXPECT_DOUBLE_EQ(512.0 / 1.1 + 15.0, g.Value(nullptr));
}

TEST(Interval, EnclosuresHoldEverySampledValueAndGradient)
{
  std::mt19937 stream(11);
  const char* const texts[] = {"sin(a * 7) * cos(b * 5 - c)",        "tan(a * 3) + atan2(b - 1, c - 1)",
                               "(a - 1)^2 - (b - 1)^3 + (c - 1)^-2", "abs(a - 1) + min(a, b) * max(b, c)",
                               "log(a) * exp(b) / sqrt(c)",          "asin(a - 1) + acos(b - c) + (a / b)^c",
                               "hypot(a - 1, b - 1) - c^0.5",        "a * (1 - a) + sin(20 * b)"};
  for (const char* text : texts)
  {
    const QAVTasExpression f(text, ThreeNames);
    for (int trial = 0; trial < 200; ++trial)
    {
      std::uniform_real_distribution<double> centre(0.55, 1.45), width(0.0, 0.4);
      std::vector<QAVTasInterval> box, gradient(f.Inputs().size());
      for (std::size_t k = 0; k < f.Inputs().size(); ++k)
      {
        const double c = centre(stream), w = width(stream);
        box.emplace_back(c - w, c + w);
      }
      const QAVTasInterval y = f.Enclose(box.data());
      f.EncloseGradient(box.data(), gradient.data());
      for (int sample = 0; sample < 50; ++sample)
      {
        std::vector<double> x, g(box.size());
        for (const QAVTasInterval& b : box)
          x.push_back(sample == 0     ? b.Lo
                        : sample == 1 ? b.Hi
                                      : std::uniform_real_distribution<double>(b.Lo, b.Hi)(stream));
        if (!f.DomainError(x.data()).empty())
        {
          EXPECT_TRUE(y.Partial) << text;
          continue;
        }
        const double v = f.Gradient(x.data(), g.data());
        EXPECT_TRUE(y.Contains(v)) << text << ": " << v << " not in [" << y.Lo << ", " << y.Hi << "]";
        for (std::size_t k = 0; k < g.size(); ++k)
          EXPECT_TRUE(gradient[k].Contains(g[k])) << text << " d/dx" << k;
      }
    }
  }
}

// Enclosures of one-variable functions: they hold the range (and are it, to rounding, where the
// table says so), across the critical points of periodic functions, poles and domain edges.
TEST(Interval, EnclosuresOfElementaryFunctionsAreTheirRanges)
{
  std::istringstream lines(QAVToolSlurp(kSource + "/tests/data/expression/intervals.txt"));
  for (std::string line; std::getline(lines, line);)
  {
    if (line.empty() || line[0] == '#')
      continue;
    std::istringstream fields(line);
    std::string text, box, range, partial, tight;
    std::getline(fields, text, '|'), std::getline(fields, box, '|'), std::getline(fields, range, '|');
    std::getline(fields, partial, '|'), std::getline(fields, tight, '|');
    const QAVTasExpression f(text, ThreeNames);
    double lo = 0.0, hi = 0.0;
    std::istringstream(box) >> lo >> hi;
    const QAVTasInterval a(lo, hi);
    const QAVTasInterval y = f.Enclose(&a);
    std::istringstream bounds(range);
    std::string low, high;
    bounds >> low >> high;
    const double want[] = {std::stod(low), std::stod(high)}, got[] = {y.Lo, y.Hi};
    EXPECT_LE(y.Lo, want[0]) << line;
    EXPECT_GE(y.Hi, want[1]) << line;
    for (int k = 0; k < 2 && tight == "1"; ++k)
      if (std::isinf(want[k]))
        EXPECT_EQ(want[k], got[k]) << line;
      else
        EXPECT_NEAR(want[k], got[k], 1e-12 * (1.0 + std::fabs(want[k]))) << line;
    EXPECT_EQ(partial == "1", y.Partial) << line;
  }
}

// The simulation of a function gives the same figures on one thread and on three.
TEST(Expression, ASimulatedFunctionIsTheSameOnAnyNumberOfThreads)
{
  const std::string file = kSource + "/tests/data/nonlinear/clutch_fixed.json --json --samples 60000 --seed 5";
  const QAVToolRunResult one = QAVToolRun("analyse " + file + " --threads 1");
  const QAVToolRunResult three = QAVToolRun("analyse " + file + " --threads 3");
  EXPECT_EQ(0, one.status);
  EXPECT_EQ(one.out, three.out);
}

TEST(WorstCase, MonotoneFunctionsTakeTheirExtremesAtCorners)
{
  const char* const texts[] = {"acos((a + (b + c)/2) / (4 - (b + c)/2))", "(a + b) / (c + 1) - exp(-a * b)",
                               "a * b * c", "sqrt(a) - log(b) + atan(c)"};
  const double low[] = {0.7, 0.9, 0.8}, high[] = {1.1, 1.05, 1.3};
  for (const char* text : texts)
  {
    const QAVTasExpression f(text, ThreeNames);
    const std::size_t n = f.Inputs().size();
    double most = -HUGE_VAL, least = HUGE_VAL;
    for (int corner = 0; corner < (1 << n); ++corner)
    {
      std::vector<double> x(n);
      for (std::size_t k = 0; k < n; ++k)
        x[k] = (corner >> k) & 1 ? high[f.Inputs()[k]] : low[f.Inputs()[k]];
      most = std::max(most, f.Value(x.data()));
      least = std::min(least, f.Value(x.data()));
    }
    std::vector<double> lo, hi;
    for (const std::int32_t i : f.Inputs())
      lo.push_back(low[i]), hi.push_back(high[i]);
    const QAVTasWorstCase::Result r = QAVTasWorstCase().Find(f, lo.data(), hi.data());
    EXPECT_TRUE(r.Certified) << text << " gap " << r.Gap;
    EXPECT_EQ(most, r.Max) << text;
    EXPECT_EQ(least, r.Min) << text;
    EXPECT_LE(r.LowerBound, least);
    EXPECT_GE(r.UpperBound, most);
  }
}

TEST(WorstCase, AnInteriorExtremeIsFoundAndProvedAgainstADenseGrid)
{
  const char* const texts[] = {"a * (1 - a) + sin(5 * b) * c", "cos(3 * a) * cos(2 * b) - (c - 1.05)^2",
                               "hypot(a - 1, b - 0.97) + abs(c - 1)", "sin(7 * a * b) + cos(a + 5 * b * c) * a"};
  const double low[] = {0.2, 0.6, 0.8}, high[] = {1.1, 1.5, 1.3};
  for (const char* text : texts)
  {
    const QAVTasExpression f(text, ThreeNames);
    const int steps = 80;
    double most = -HUGE_VAL, least = HUGE_VAL;
    for (int i = 0; i <= steps; ++i)
      for (int j = 0; j <= steps; ++j)
        for (int k = 0; k <= steps; ++k)
        {
          const double x[] = {low[0] + (high[0] - low[0]) * i / steps, low[1] + (high[1] - low[1]) * j / steps,
                              low[2] + (high[2] - low[2]) * k / steps};
          most = std::max(most, f.Value(x));
          least = std::min(least, f.Value(x));
        }
    const QAVTasWorstCase::Result r = QAVTasWorstCase().Find(f, low, high);
    EXPECT_TRUE(r.Certified) << text << " gap " << r.Gap << " nodes " << r.Nodes;
    EXPECT_GE(r.Max, most) << text;
    EXPECT_LE(r.Min, least) << text;
    EXPECT_LE(r.Max - most, 1e-2) << text; // the grid's spacing bounds what it misses
    EXPECT_LE(least - r.Min, 1e-2) << text;
    EXPECT_LE(r.Max - r.Min, (r.UpperBound - r.LowerBound) * (1 + 1e-9)) << text;
    EXPECT_EQ(r.Max, f.Value(r.ArgMax.data()));
    EXPECT_EQ(r.Min, f.Value(r.ArgMin.data()));
  }
}

TEST(WorstCase, ABudgetTooSmallReportsTheGap)
{
  const QAVTasExpression f("sin(40 * a) * sin(40 * b) + a * c", ThreeNames);
  const double low[] = {0.0, 0.0, 0.0}, high[] = {3.0, 3.0, 3.0};
  QAVTasWorstCase::Settings settings;
  settings.MaxNodes = 5;
  const QAVTasWorstCase::Result r = QAVTasWorstCase(settings).Find(f, low, high);
  EXPECT_FALSE(r.Certified);
  EXPECT_GT(r.Gap, 0.0);
  EXPECT_GE(r.UpperBound, r.Max);
  EXPECT_LE(r.LowerBound, r.Min);
}
