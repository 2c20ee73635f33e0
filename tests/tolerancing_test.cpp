#include "ErrorDepthHandler.h"
#include "QAVCoutCapture.h"
#include "QAVDRQVirtual.h"
#include "QAVMathIntervalND.h"
#include "QAVTasMathFunctionRN.h"
#include "QAVTasOptimizerTolerancing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace
{
const char kTolFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasOptimizerTolerancing";
const char kGood[] =
  "2\n"
  "Dimension du vecteur Nx : 2\n"
  "Dimension du vecteur Ny : 1\n"
  "Coefficients de la matrice W :\n"
  "1.0 1.0\n"
  "Tolerancement sur Y (Ymin puis Ymax) :\n"
  " 0.0\n"
  " 0.5\n"
  "Domaine de definition de X (bornes inf puis sup) :\n"
  " 0.01 0.01\n"
  " 1.0 1.0\n";

// A data file on one line.
std::string OneLine(int form, int nx, int ny, const std::string& w, const std::string& y, const std::string& x)
{
  return std::to_string(form) + " Dimension du vecteur Nx : " + std::to_string(nx) + " Dimension du vecteur Ny : " +
         std::to_string(ny) + " Coefficients de la matrice W : " + w + " Tolerancement sur Y (Ymin puis Ymax) : " + y +
         " Domaine de definition de X (bornes inf puis sup) : " + x;
}

// A read-only stream over a text, closed at scope end.
class TextFile
{
public:
  explicit TextFile(const std::string& text) : _Text(text)
  {
    _File = _Text.empty() ? std::tmpfile() : fmemopen(&_Text[0], _Text.size(), "r");
  }
  ~TextFile() { std::fclose(_File); }
  FILE* get() const { return _File; }

private:
  std::string _Text;
  FILE* _File;
};

// Everything written to a stream by a callable.
template <class F>
std::string Written(F write)
{
  char* buffer = nullptr;
  std::size_t size = 0;
  FILE* file = open_memstream(&buffer, &size);
  write(file);
  std::fclose(file);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

void ExpectReport(std::int32_t kind, const std::string& text, std::int32_t line, const char* file = kTolFile)
{
  EXPECT_EQ(kind, ErrorDepthHandler::_ier_);
  EXPECT_EQ(text, ErrorDepthHandler::_c_err_);
  EXPECT_EQ(line, ErrorDepthHandler::_i_errline_);
  EXPECT_EQ(file, ErrorDepthHandler::_errfile_);
}

// A problem held by value for the data constructor.
struct Data
{
  std::vector<std::vector<double>> w;
  std::vector<double> ymin, ymax, xsup, xinf;
  std::vector<double*> rows;

  QAVTasOptimizerTolerancing* Make()
  {
    rows.clear();
    for (auto& r : w)
      rows.push_back(r.data());
    return new QAVTasOptimizerTolerancing(static_cast<std::int32_t>(w.size()), static_cast<std::int32_t>(xinf.size()),
                                          rows.data(), ymin.data(), ymax.data(), xsup.data(), xinf.data());
  }
};

std::string Rule(int ends)
{
  return std::string(79, '-') + std::string(ends, '\n');
}

void SetParams(QAVTasOptimizerTolerancing& opt, const std::vector<double>& p)
{
  delete[] opt._pParams;
  opt._pParams = new double[p.size()];
  std::copy(p.begin(), p.end(), opt._pParams);
}
} // namespace

// ============================================================================ data

TEST(TolerancingData, GoodFileInAnyLayout)
{
  const std::string joined = OneLine(2, 2, 1, "1.0 1.0", "0.0 0.5", "0.01 0.01 1.0 1.0");
  const std::string split =
    "2\nDimension du vecteur Nx :\n2\n\nDimension du vecteur Ny : 1 Coefficients de la matrice W :\n1.0\n  1e0\n"
    "Tolerancement sur Y (Ymin puis Ymax) :\n0.0 0.5 Domaine de definition de X (bornes inf puis sup) :\n"
    "0.01\n0.01 1.0\n\t1.0 trailing words are never read";
  for (const std::string& text : {std::string(kGood), joined, split})
  {
    QAVTasOptimizerTolerancing opt;
    TextFile file(text);
    ASSERT_EQ(S_OK, opt.ReadDataFile(file.get())) << text;
    EXPECT_EQ(2, opt._Formulation);
    ASSERT_EQ(2, opt._Nx);
    ASSERT_EQ(1, opt._Ny);
    EXPECT_EQ(1.0, opt._ppW[0][0]);
    EXPECT_EQ(1.0, opt._ppW[0][1]);
    EXPECT_EQ(0.0, opt._pYmin[0]);
    EXPECT_EQ(0.5, opt._pYmax[0]);
    EXPECT_EQ(0.01, opt._pXinf[1]);
    EXPECT_EQ(1.0, opt._pXsup[1]);
    EXPECT_EQ(0, opt._WithNewtonRefinement);
    EXPECT_EQ(1.0e10, opt._PenaltyFitness);
  }
  // A form other than 2 or 3 is kept as read; W rows give the coefficients of each Y.
  QAVTasOptimizerTolerancing opt;
  TextFile file("7\nDimension du vecteur Nx : 3\nDimension du vecteur Ny : 2\nCoefficients de la matrice W :\n"
                "1 2 3\n4 5 6\nTolerancement sur Y (Ymin puis Ymax) :\n-1 -2\n1 2\n"
                "Domaine de definition de X (bornes inf puis sup) :\n0.1 0.2 0.3\n1 2 3\n");
  ASSERT_EQ(S_OK, opt.ReadDataFile(file.get()));
  EXPECT_EQ(7, opt._Formulation);
  EXPECT_EQ(6.0, opt._ppW[1][2]);
  EXPECT_EQ(-2.0, opt._pYmin[1]);
  EXPECT_EQ(3.0, opt._pXsup[2]);
}

TEST(TolerancingData, EachFailingStepReportsItsLine)
{
  const std::string good(kGood);
  struct Case
  {
    std::string text;
    std::int32_t line;
  };
  const std::string headNx = "2\nDimension du vecteur Nx : 2\n";
  const std::string head = headNx + "Dimension du vecteur Ny : 1\n";
  const std::string withW = head + "Coefficients de la matrice W :\n1.0 1.0\n";
  const std::string withY = withW + "Tolerancement sur Y (Ymin puis Ymax) :\n 0.0\n 0.5\n";
  const std::string xLabel = "Domaine de definition de X (bornes inf puis sup) :\n";
  const Case cases[] = {
    {"", 277},
    {"two\n", 277},
    {"2\nDimension du vecteur NX : 2\n", 281},
    {headNx + "Dimension du vecteur Ny : many\n", 283},
    {head, 292},
    {head + "Coefficients de la matrice W :\n1.0 x\n", 300},
    {head + "Coefficients de la matrix W :\n1.0 1.0\n", 300}, // a wrong label fails at the next value
    {withW, 310},
    {withW + "Tolerancement sur Y (Ymin puis Ymax) :\n zero\n", 314},
    {withW + "Tolerance sur Y :\n 0.0\n 0.5\n", 314},
    {withW + "Tolerancement sur Y (Ymin puis Ymax) :\n 0.0\n", 321},
    {withY, 329},
    {withY + xLabel + " 0.01\n", 333},
    {withY + "Domaine de X :\n 0.01 0.01\n 1.0 1.0\n", 333},
  };
  for (const Case& c : cases)
  {
    QAVTasOptimizerTolerancing opt;
    TextFile file(c.text);
    EXPECT_EQ(E_FAIL, opt.ReadDataFile(file.get())) << c.text;
    ExpectReport(1, "", c.line);
  }

  // Ending after the lower X bounds: the upper ones are allocated and partly read.
  QAVTasOptimizerTolerancing opt;
  TextFile file(withY + xLabel + " 0.01 0.02\n 1.0\n");
  EXPECT_EQ(E_FAIL, opt.ReadDataFile(file.get()));
  ExpectReport(1, "", 342);
  ASSERT_NE(nullptr, opt._pXsup);
  EXPECT_EQ(1.0, opt._pXsup[0]);
  EXPECT_EQ(0.02, opt._pXinf[1]);
}

TEST(TolerancingData, NullStreamAndNegativeCounts)
{
  Data d{{{1.0, 2.0}}, {0.0}, {1.0}, {1.0, 1.0}, {0.1, 0.1}, {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> opt(d.Make());
  EXPECT_EQ(E_FAIL, opt->ReadDataFile(nullptr));
  ExpectReport(3, "ipFileIn", 274);
  EXPECT_EQ(2, opt->_Nx); // unchanged
  EXPECT_EQ(2.0, opt->_ppW[0][1]);

  const std::string rest = "Coefficients de la matrice W :\n1.0 1.0\n";
  for (const auto& c : {std::make_pair(std::string("2\nDimension du vecteur Nx : -2\nDimension du vecteur Ny : 1\n"), 281),
                        std::make_pair(std::string("2\nDimension du vecteur Nx : 2\nDimension du vecteur Ny : -1\n"), 283)})
  {
    QAVTasOptimizerTolerancing fresh;
    TextFile file(c.first + rest);
    EXPECT_EQ(E_FAIL, fresh.ReadDataFile(file.get()));
    ExpectReport(1, "", c.second);
    EXPECT_EQ(nullptr, fresh._ppW);
    EXPECT_GE(fresh._Nx, 0);
    EXPECT_GE(fresh._Ny, 0);
  }
}

TEST(TolerancingData, ARereadReleasesEveryOldArray)
{
  // A 3 x 2 problem, then a file that fails early and one that fails in the middle: nothing sized
  // by the old counts survives (ASan would see reads beyond the new arrays or leaks).
  Data d{{{1, 2, 3}, {4, 5, 6}}, {0, 0}, {1, 1}, {1, 1, 1}, {0.1, 0.1, 0.1}, {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> opt(d.Make());
  SetParams(*opt, {1, 2, 3, 4, 5});
  TextFile early("nothing");
  EXPECT_EQ(E_FAIL, opt->ReadDataFile(early.get()));
  EXPECT_EQ(0, opt->_Nx);
  EXPECT_EQ(0, opt->_Ny);
  for (const void* p : {static_cast<const void*>(opt->_ppW), static_cast<const void*>(opt->_pYmin),
                        static_cast<const void*>(opt->_pYmax), static_cast<const void*>(opt->_pXinf),
                        static_cast<const void*>(opt->_pXsup), static_cast<const void*>(opt->_pParams)})
    EXPECT_EQ(nullptr, p);

  TextFile middle("2\nDimension du vecteur Nx : 1\nDimension du vecteur Ny : 1\nCoefficients de la matrice W :\n2\n");
  EXPECT_EQ(E_FAIL, opt->ReadDataFile(middle.get()));
  ExpectReport(1, "", 310);
  EXPECT_EQ(2.0, opt->_ppW[0][0]);
  EXPECT_EQ(nullptr, opt->_pXinf);
  // The run refuses the half-read problem instead of reading missing arrays.
  QAVCoutCapture quiet; // keeps the engine's progress lines out of the test log
  opt->_Formulation = 3;
  EXPECT_EQ(E_FAIL, opt->Optimize());
  ExpectReport(3, "_pXinf", 184); // the Y arrays were allocated before the failing step
  float* values = nullptr;
  EXPECT_EQ(E_FAIL, opt->GetValues(values));
}

TEST(TolerancingData, DataConstructorCopiesDeeply)
{
  // Nx = 3 and Ny = 2 differ, so a copy by the wrong count would show.
  Data d{{{1, 2, 3}, {4, 5, 6}}, {-1, -2}, {1, 2}, {0.7, 0.8, 0.9}, {0.1, 0.2, 0.3}, {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> opt(d.Make());
  d.w[1][2] = d.ymin[1] = d.ymax[1] = d.xsup[2] = d.xinf[2] = 99.0;
  EXPECT_EQ(2, opt->_Formulation);
  EXPECT_EQ(1, opt->_WithNewtonRefinement);
  EXPECT_EQ(6.0, opt->_ppW[1][2]);
  EXPECT_EQ(-2.0, opt->_pYmin[1]);
  EXPECT_EQ(2.0, opt->_pYmax[1]);
  EXPECT_EQ(0.9, opt->_pXsup[2]); // Xsup comes before Xinf in the arguments
  EXPECT_EQ(0.3, opt->_pXinf[2]);
  EXPECT_EQ(nullptr, opt->_pParams);

  double* row = nullptr;
  double v[3] = {1, 1, 1};
  for (const auto& args : {std::make_pair(0, 3), std::make_pair(1, 0), std::make_pair(-1, 3), std::make_pair(1, -4)})
  {
    double* rows[1] = {v};
    QAVTasOptimizerTolerancing empty(args.first, args.second, rows, v, v, v, v);
    EXPECT_EQ(0, empty._Nx);
    EXPECT_EQ(nullptr, empty._ppW);
  }
  QAVTasOptimizerTolerancing nullRow(1, 3, &row, v, v, v, v);
  EXPECT_EQ(nullptr, nullRow._ppW);
  double* rows[1] = {v};
  QAVTasOptimizerTolerancing nullArray(1, 3, rows, v, nullptr, v, v);
  EXPECT_EQ(nullptr, nullArray._pYmin);
  EXPECT_EQ(1, nullArray._WithNewtonRefinement);
}

// ============================================================================ fitness

TEST(TolerancingFitness, DirectForm)
{
  QAVTasOptimizerTolerancing opt;
  TextFile file(OneLine(2, 2, 1, "1 2", "0 1", "0 0 1 1"));
  ASSERT_EQ(S_OK, opt.ReadDataFile(file.get()));
  // 1/0.5 + 1/|-0.25| + |(0.5 - 0.5) - 0.3|
  double g[3] = {0.5, -0.25, 0.3};
  EXPECT_DOUBLE_EQ(6.3, opt.EvalFitness(3, g));
  // W.X equal to delta: exactly the sum of 1/|X|, whatever the bounds.
  double matched[3] = {0.5, 2.0, 4.5};
  EXPECT_EQ(2.5, opt.EvalFitness(0, matched));
  // Another form: 0; a null vector: 1e10 and a report, the penalty untouched.
  opt._Formulation = 5;
  EXPECT_EQ(0.0, opt.EvalFitness(3, g));
  EXPECT_EQ(1.0e10, opt.EvalFitness(3, nullptr));
  ExpectReport(3, "ipX", 361);
  EXPECT_EQ(1.0e10, opt._PenaltyFitness);
}

TEST(TolerancingFitness, MultiplierFormAndPenaltySequence)
{
  // W = (2, 16), lambda = 1: s = (cbrt(1), cbrt(8)) = (1, 2), X = (1, 0.5), W/s summed = 10.
  Data d{{{2.0, 16.0}}, {0.0}, {12.0}, {2.0, 2.0}, {0.5, 0.25}, {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> opt(d.Make());
  opt->_Formulation = 3;
  double lambda[1] = {1.0};
  EXPECT_NEAR(3.0 + 2.0, opt->EvalFitness(1, lambda), 1e-12); // sum s + |1 * (10 - 12)|

  // X_0 = 1 below Xinf_0 = 1.5: the penalty, then the next one 1.0 higher, then the next.
  opt->_pXinf[0] = 1.5;
  EXPECT_EQ(1.0e10, opt->EvalFitness(1, lambda));
  EXPECT_EQ(1.0e10 + 1.0, opt->EvalFitness(1, lambda));
  opt->_pXinf[0] = 0.5;
  // All multipliers zero: X infinite, the penalty path.
  double zero[1] = {0.0};
  EXPECT_EQ(1.0e10 + 2.0, opt->EvalFitness(1, zero));
  // A NaN multiplier gives NaN differences: a violation.
  double nan[1] = {std::numeric_limits<double>::quiet_NaN()};
  EXPECT_EQ(1.0e10 + 3.0, opt->EvalFitness(1, nan));
  EXPECT_EQ(1.0e10 + 4.0, opt->_PenaltyFitness);
}

TEST(TolerancingFitness, ToleranceOfOneMillionthOnBothSides)
{
  // Nx = Ny = 1, W = 2, lambda = 1: s = 1, X = 1, Y = 2.
  Data d{{{2.0}}, {0.0}, {10.0}, {10.0}, {0.0}, {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> opt(d.Make());
  opt->_Formulation = 3;
  double lambda[1] = {1.0};
  struct Case
  {
    double* bound;
    double value;
    bool feasible;
  };
  const Case cases[] = {
    {opt->_pXinf, 1.0 + 0.5e-6, true}, {opt->_pXinf, 1.0 + 2e-6, false},
    {opt->_pXsup, 1.0 - 0.5e-6, true}, {opt->_pXsup, 1.0 - 2e-6, false},
    {opt->_pYmin, 2.0 + 0.5e-6, true}, {opt->_pYmin, 2.0 + 2e-6, false},
    {opt->_pYmax, 2.0 - 0.5e-6, true}, {opt->_pYmax, 2.0 - 2e-6, false},
  };
  for (const Case& c : cases)
  {
    const double saved = *c.bound;
    *c.bound = c.value;
    const double penalty = opt->_PenaltyFitness;
    const double f = opt->EvalFitness(1, lambda);
    if (c.feasible)
      EXPECT_NEAR(1.0 + std::fabs(2.0 - opt->_pYmax[0]), f, 1e-12) << c.value;
    else
      EXPECT_EQ(penalty, f) << c.value;
    *c.bound = saved;
  }
}

TEST(TolerancingFitness, SignedCubeRoot)
{
  EXPECT_NEAR(-2.0, QAVTasSqrt3(-8.0), 1e-15);
  EXPECT_NEAR(3.0, QAVTasSqrt3(27.0), 1e-15);
  EXPECT_EQ(0.0, QAVTasSqrt3(0.0));
  EXPECT_TRUE(std::isnan(QAVTasSqrt3(std::numeric_limits<double>::quiet_NaN())));
}

// ============================================================================ reports

TEST(TolerancingReport, DirectFormByteForByte)
{
  Data d{{{1.0, 1.0}, {1.0, -1.0}}, {0.0, -0.1}, {0.5, 0.1}, {1.0, 1.0}, {0.01, 0.01}, {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> opt(d.Make());
  SetParams(*opt, {0.25, 0.2, 0.45, 0.05});
  const std::string clean = "Objective_Function = 9.000000\n" + Rule(1) +
                            "Xmoy[1] = 0.250000\nXmoy[2] = 0.200000\ndelta[1] = 0.450000\ndelta[2] = 0.050000\n" +
                            Rule(2) + "0 < 0.450000 < pWx[1]\n0 < 0.050000 < pWx[2]\n" +
                            "\nNo violation for first constraint\n" + Rule(1) +
                            "delta[1] = 0.450000\ndelta[2] = 0.050000\n" + "\nNo violation for second constraint\n" +
                            Rule(1);
  EXPECT_EQ(clean, Written([&](FILE* f) { EXPECT_EQ(S_OK, opt->CheckConstraints(f)); }));

  // X = (0.4, 0.2): W.X = (0.6, 0.2), both above; delta = (0.7, 0.05): the first above.
  SetParams(*opt, {0.4, 0.2, 0.7, 0.05});
  const std::string broken = "Objective_Function = 7.500000\n" + Rule(1) +
                             "Xmoy[1] = 0.400000\nXmoy[2] = 0.200000\ndelta[1] = 0.700000\ndelta[2] = 0.050000\n" +
                             Rule(2) + "First Constraint Violation On 0 < _ppW[1]*Xmoy < Ymoy[1]\npWx[1] = 0.600000\n" +
                             "First Constraint Violation On 0 < _ppW[2]*Xmoy < Ymoy[2]\npWx[2] = 0.200000\n" + Rule(1) +
                             "Second Constraint Violation On 0 < delta[1] < Ymoy[1]\ndelta[2] = 0.050000\n" + Rule(1);
  EXPECT_EQ(broken, Written([&](FILE* f) { EXPECT_EQ(S_OK, opt->CheckConstraints(f)); }));
}

TEST(TolerancingReport, MultiplierFormByteForByte)
{
  Data d{{{2.0, 16.0}}, {0.0}, {20.0}, {2.0, 2.0}, {0.5, 0.25}, {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> opt(d.Make());
  opt->_Formulation = 3;
  SetParams(*opt, {1.0});
  const std::string head = "Objective_Function = 3.000000\n" + Rule(1) + "Xmoy[1] = 1.000000\nXmoy[2] = 0.500000\n" +
                           "\nlambda[1] = 1.000000\n" + Rule(2);
  const std::string tail = Rule(1) + "pWy[1] = 18.000000\n";
  EXPECT_EQ(head + "0 < 10.000000 < Ymoy[1]\n" + "\nNo violation for first constraint\n" + tail,
            Written([&](FILE* f) { EXPECT_EQ(S_OK, opt->CheckConstraints(f)); }));
  opt->_pYmax[0] = 9.0;
  EXPECT_EQ(head + "First Constraint Violation On 0 < _ppW[1]*Xmoy < Ymoy[1]\npWy[1] = 10.000000\n" + tail,
            Written([&](FILE* f) { EXPECT_EQ(S_OK, opt->CheckConstraints(f)); }));
  // Any other form writes nothing; failures write nothing either.
  opt->_Formulation = 4;
  EXPECT_EQ("", Written([&](FILE* f) { EXPECT_EQ(S_OK, opt->CheckConstraints(f)); }));
  EXPECT_EQ(E_FAIL, opt->CheckConstraints(nullptr));
  ExpectReport(3, "iopFile", 485);
  QAVTasOptimizerTolerancing fresh;
  EXPECT_EQ("", Written([&](FILE* f) { EXPECT_EQ(E_FAIL, fresh.CheckConstraints(f)); }));
  ExpectReport(3, "_pParams", 486);
}

TEST(TolerancingReport, GetValuesAddsInFloat)
{
  // With these values a sum in double rounds to another float than the sum in float.
  Data d{{{0.1}, {0.7}, {1.3}}, {0, 0, 0}, {1, 1, 1}, {1.0}, {0.1}, {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> opt(d.Make());
  float* values = reinterpret_cast<float*>(0x1);
  QAVTasOptimizerTolerancing fresh;
  EXPECT_EQ(E_FAIL, fresh.GetValues(values));
  ExpectReport(3, "_pParams", 665);
  EXPECT_EQ(reinterpret_cast<float*>(0x1), values);

  SetParams(*opt, {0.25, 0.2, 0.9, 123.0}); // the direct form's extra gene is not read
  ASSERT_EQ(S_OK, opt->GetValues(values));
  EXPECT_EQ(0x1.24ecc4p+0f, values[0]);
  EXPECT_NE(0x1.24ecc2p+0f, values[0]); // what double arithmetic would give
  delete[] values;
}

// ============================================================================ run

TEST(TolerancingRun, SettingsPerFormAndSize)
{
  QAVCoutCapture quiet; // keeps the engine's progress lines out of the test log
  for (const std::int32_t nx : {4, 10})
  {
    Data d{{std::vector<double>(nx, 1.0), std::vector<double>(nx, 0.5)}, {0.0, 0.0}, {0.4 * nx, 0.2 * nx},
           std::vector<double>(nx, 1.0), std::vector<double>(nx, 0.05), {}};
    std::unique_ptr<QAVTasOptimizerTolerancing> opt(d.Make());
    opt->_WithNewtonRefinement = 0;
    ASSERT_EQ(S_OK, opt->Optimize());
    EXPECT_EQ(nx + 2, opt->_NumParams);
    EXPECT_EQ(8 * (nx + 2), opt->_PopulationSize);
    EXPECT_EQ(0.75, opt->_CrossValue);
    EXPECT_EQ(0.8, opt->_MutatValue);
    EXPECT_EQ(nx < 10 ? 200 : 100, opt->_IdemFitnessCount);
    EXPECT_EQ(1000000, opt->_MaxNumberOfGenerations);
    EXPECT_EQ(3, opt->_Process);
    EXPECT_EQ(-10.0, opt->_FitnessReference);
    EXPECT_EQ(100, opt->_Refresh);
    EXPECT_EQ(nullptr, opt->_ParamValMin); // no pointer to the freed limits is kept
    // The genes stayed in their limits: X in its domain, delta in the Y bounds.
    for (std::int32_t i = 0; i < nx; ++i)
    {
      EXPECT_GE(opt->_pParams[i], 0.05);
      EXPECT_LE(opt->_pParams[i], 1.0);
    }
    EXPECT_LE(opt->_pParams[nx], 0.4 * nx);
  }

  // The multiplier form read from a file: Ny genes in [0, 1000], no refinement, the GA optimum.
  QAVTasOptimizerTolerancing fromFile;
  TextFile file(OneLine(3, 2, 1, "1 1", "0 0.5", "0.01 0.01 1 1"));
  ASSERT_EQ(S_OK, fromFile.ReadDataFile(file.get()));
  ASSERT_EQ(S_OK, fromFile.Optimize());
  EXPECT_EQ(1, fromFile._NumParams);
  EXPECT_EQ(8, fromFile._PopulationSize);
  EXPECT_EQ(0.7, fromFile._CrossValue);
  double optimum[1];
  fromFile.GetOptimumParams(optimum);
  EXPECT_EQ(optimum[0], fromFile._pParams[0]);
  EXPECT_GE(optimum[0], 0.0);
  EXPECT_LE(optimum[0], 1000.0);

  // A second run with another gene count reallocates _pParams (ASan checks the sizes).
  fromFile._Formulation = 2;
  ASSERT_EQ(S_OK, fromFile.Optimize());
  EXPECT_EQ(3, fromFile._NumParams);
  EXPECT_NE("", Written([&](FILE* f) { EXPECT_EQ(S_OK, fromFile.CheckConstraints(f)); }));
}

TEST(TolerancingRun, FailuresAndTheirLines)
{
  QAVCoutCapture quiet; // keeps the engine's progress lines out of the test log
  QAVTasOptimizerTolerancing empty;
  empty.SetCrossValue(0.33);
  EXPECT_EQ(E_FAIL, empty.Optimize());
  ExpectReport(3, "_Nx", 140);
  EXPECT_EQ(0.33, empty._CrossValue); // before any engine setting

  QAVTasOptimizerTolerancing noY;
  TextFile file(OneLine(2, 2, 0, "", "", "0 0 1 1"));
  ASSERT_EQ(S_OK, noY.ReadDataFile(file.get()));
  EXPECT_EQ(E_FAIL, noY.Optimize());
  ExpectReport(3, "_Ny", 141);

  // Another form, and more genes than the engine holds: refused before any setting.
  Data d{{{1.0, 1.0}}, {0.0}, {1.0}, {1.0, 1.0}, {0.1, 0.1}, {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> opt(d.Make());
  opt->SetCrossValue(0.33);
  opt->SetIdemFitnessCount(7);
  opt->_Formulation = 4;
  EXPECT_EQ(E_FAIL, opt->Optimize());
  ExpectReport(1, "", 150);
  EXPECT_EQ(0.33, opt->_CrossValue);
  Data big{{std::vector<double>(500, 1.0)}, {0.0}, {1.0}, std::vector<double>(500, 1.0), std::vector<double>(500, 0.1), {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> wide(big.Make());
  EXPECT_EQ(E_FAIL, wide->Optimize());
  ExpectReport(1, "", 151);
  EXPECT_EQ(nullptr, wide->_pParams);

  // Missing arrays of the direct form, in their order.
  const char* names[] = {"_pYmin", "_pYmax", "_pXinf", "_pXsup"};
  for (int k = 0; k < 4; ++k)
  {
    std::unique_ptr<QAVTasOptimizerTolerancing> holed(d.Make());
    double** arrays[] = {&holed->_pYmin, &holed->_pYmax, &holed->_pXinf, &holed->_pXsup};
    delete[] *arrays[k];
    *arrays[k] = nullptr;
    EXPECT_EQ(E_FAIL, holed->Optimize());
    ExpectReport(3, names[k], 182 + k);
    EXPECT_EQ(0.75, holed->_CrossValue); // the first settings were applied
  }

  // A refinement that cannot start (sqrt of a negative sum): kind 1 at line 247.
  Data negative{{{-1.0}}, {-1.0}, {0.0}, {1.0}, {0.1}, {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> bad(negative.Make());
  const std::int32_t live = QAVDRQVirtual::GetLiveObjectCount();
  EXPECT_EQ(E_FAIL, bad->Optimize());
  ExpectReport(1, "", 247);
  EXPECT_EQ(live, QAVDRQVirtual::GetLiveObjectCount()); // the function object was deleted
  EXPECT_NE(nullptr, bad->_pParams);
}

TEST(TolerancingRun, RefinementNeverWorsensAndStaysInTheBox)
{
  QAVCoutCapture quiet; // keeps the engine's progress lines out of the test log
  Data d{{{1.0, 2.0, 0.5}, {0.5, 0.5, 1.0}}, {0.0, 0.0}, {0.2, 0.15}, {0.2, 0.2, 0.2}, {0.005, 0.005, 0.005}, {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> opt(d.Make());
  const std::int32_t live = QAVDRQVirtual::GetLiveObjectCount();
  ASSERT_EQ(S_OK, opt->Optimize());
  EXPECT_EQ(live, QAVDRQVirtual::GetLiveObjectCount());
  double ga[5];
  opt->GetOptimumParams(ga);
  const double* rows[2] = {opt->_ppW[0], opt->_ppW[1]};
  QAVTasMathFunctionRN f(2, 3, rows, opt->_pYmax);
  EXPECT_LE(f.Eval(opt->_pParams), f.Eval(ga));
  for (int k = 0; k < 5; ++k)
  {
    EXPECT_GE(opt->_pParams[k], 0.0);
    EXPECT_LE(opt->_pParams[k], 1.0e9);
  }
  for (int k = 2; k < 5; ++k)
    EXPECT_EQ(ga[k], opt->_pParams[k]); // beyond the function's variables nothing moves
}

// ============================================================================ refinement function

TEST(TolerancingFunction, EvalAndObjectServices)
{
  // W = [[1, 4], [3, 0]], lambda = (1, 1): t = (2, 2), u = (2.5, 1.5).
  const double row0[2] = {1.0, 4.0}, row1[2] = {3.0, 0.0};
  const double* rows[2] = {row0, row1};
  const double ymax[2] = {2.5, 1.0};
  QAVTasMathFunctionRN f(2, 2, rows, ymax);
  const double lambda[2] = {1.0, 1.0};
  EXPECT_DOUBLE_EQ(4.0 + 1.0e10 * 0.5, f.Eval(lambda));
  EXPECT_EQ(2, f.GetNumberOfVariables());
  EXPECT_EQ(nullptr, f.IsA());
  EXPECT_EQ(nullptr, f.Duplicate());
  EXPECT_EQ(0.0, f.Eval(nullptr));
  ExpectReport(3, "ipX", 109, "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasMathFunctionRN");
  const double zeros[2] = {0.0, 0.0};
  EXPECT_FALSE(std::isfinite(f.Eval(zeros)));

  const std::int32_t live = QAVDRQVirtual::GetLiveObjectCount();
  QAVMathFunctionRN* bare = new QAVTasMathFunctionRN(3);
  EXPECT_EQ(live + 1, QAVDRQVirtual::GetLiveObjectCount());
  EXPECT_EQ(3, bare->GetNumberOfVariables());
  EXPECT_EQ(0, static_cast<QAVTasMathFunctionRN*>(bare)->_Nx);
  EXPECT_TRUE(std::isnan(bare->Eval(zeros))); // no data to evaluate
  delete bare;
  EXPECT_EQ(live, QAVDRQVirtual::GetLiveObjectCount());
}

// ============================================================================ exact solution

TEST(TolerancingExact, EitherConstructorAndFormGiveTheCertifiedOptimum)
{
  // One row, X bounds inactive: X_i = Ymax / (sqrt(w_i) sum_k sqrt(w_k)).
  Data d{{{1.0, 4.0}}, {0.0}, {0.3}, {1.0, 1.0}, {0.001, 0.001}, {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> fromMemory(d.Make());
  ASSERT_EQ(S_OK, fromMemory->OptimizeExact());
  EXPECT_NEAR(0.1, fromMemory->_Exact.X[0], 1e-9);
  EXPECT_NEAR(0.05, fromMemory->_Exact.X[1], 1e-9);
  EXPECT_LE(fromMemory->_Exact.RelativeGap, 1e-9);

  QAVTasOptimizerTolerancing fromFile;
  TextFile file(OneLine(3, 2, 1, "1 4", "0 0.3", "0.001 0.001 1 1"));
  ASSERT_EQ(S_OK, fromFile.ReadDataFile(file.get()));
  ASSERT_EQ(S_OK, fromFile.OptimizeExact());
  EXPECT_EQ(fromMemory->_Exact.X, fromFile._Exact.X);
  EXPECT_EQ(nullptr, fromFile._pParams);

  // Its report: the direct-form layout, written by the same code, with no violation line.
  const std::string report = Written([&](FILE* f) { EXPECT_EQ(S_OK, fromFile.CheckExactConstraints(f)); });
  EXPECT_EQ(std::string::npos, report.find("Violation"));
  EXPECT_NE(std::string::npos, report.find("\nNo violation for first constraint\n"));
  EXPECT_NE(std::string::npos, report.find("\nNo violation for second constraint\n"));
  fromFile._Formulation = 2;
  SetParams(fromFile, {fromFile._Exact.X[0], fromFile._Exact.X[1], fromFile._Exact.X[0] + 4.0 * fromFile._Exact.X[1]});
  EXPECT_EQ(Written([&](FILE* f) { fromFile.CheckConstraints(f); }), report);
  // A new read forgets the old solution.
  TextFile again(kGood);
  ASSERT_EQ(S_OK, fromFile.ReadDataFile(again.get()));
  EXPECT_TRUE(fromFile._Exact.X.empty());
  EXPECT_EQ(E_FAIL, fromFile.CheckExactConstraints(stdout));
  ExpectReport(3, "_Exact", 721);
}

TEST(TolerancingExact, InfeasibleAndMissingData)
{
  // x0 + x1 <= 0.01 with both X at least 0.1.
  Data d{{{1.0, 1.0}}, {0.0}, {0.01}, {1.0, 1.0}, {0.1, 0.1}, {}};
  std::unique_ptr<QAVTasOptimizerTolerancing> opt(d.Make());
  EXPECT_EQ(E_FAIL, opt->OptimizeExact());
  ExpectReport(1, "", 710);
  EXPECT_TRUE(opt->_Exact.X.empty());

  QAVTasOptimizerTolerancing empty;
  EXPECT_EQ(E_FAIL, empty.OptimizeExact());
  ExpectReport(3, "_Nx", 700);
}

TEST(TolerancingExact, LeavesTheGeneticRunAsItWas)
{
  Data d{{{1.0, 2.0, 0.5}, {0.5, 0.5, 1.0}}, {0.0, 0.0}, {0.2, 0.15}, {0.2, 0.2, 0.2}, {0.005, 0.005, 0.005}, {}};
  auto run = [&](bool exactFirst, bool exactAfter) {
    std::unique_ptr<QAVTasOptimizerTolerancing> opt(d.Make());
    if (exactFirst)
    {
      EXPECT_EQ(S_OK, opt->OptimizeExact());
    }
    const std::int32_t evaluations = nbeval;
    std::string progress;
    {
      QAVCoutCapture capture;
      EXPECT_EQ(S_OK, opt->Optimize());
      progress = capture.Text();
    }
    const double penalty = opt->_PenaltyFitness;
    const std::string report = Written([&](FILE* f) { opt->CheckConstraints(f); });
    if (exactAfter)
    {
      EXPECT_EQ(S_OK, opt->OptimizeExact());
      EXPECT_EQ(penalty, opt->_PenaltyFitness);
      EXPECT_EQ(report, Written([&](FILE* f) { opt->CheckConstraints(f); }));
    }
    return progress + report + std::to_string(nbeval - evaluations);
  };
  const std::string plain = run(false, false);
  EXPECT_EQ(plain, run(true, false));
  EXPECT_EQ(plain, run(false, true));
}
