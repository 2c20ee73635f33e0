#include "QAVCoutCapture.h"
#include "QAVDRQVirtual.h"
#include "QAVGolden.h"
#include "QAVTasMathFunctionRN.h"
#include "QAVTolerancingCase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

// ============================================================================ data

TEST(TolerancingData, DataConstructorCopiesDeeply)
{
  Data d = kThreeByTwo;
  d.ymin = {-1, -2};
  d.xsup = {0.7, 0.8, 0.9};
  std::unique_ptr<Tol> opt = d.Make();
  d.w[1][2] = d.ymin[1] = d.ymax[1] = d.xsup[2] = d.xinf[2] = 99.0;
  EXPECT_TRUE(opt->_Formulation == 2 && opt->_WithNewtonRefinement == 1 && opt->_pParams == nullptr);
  EXPECT_TRUE(opt->_ppW[1][2] == 1.0 && opt->_pYmin[1] == -2.0 && opt->_pYmax[1] == 0.15);
  EXPECT_EQ(0.9, opt->_pXsup[2]); // Xsup comes before Xinf in the arguments
  EXPECT_EQ(0.005, opt->_pXinf[2]);
  // Counts below 1, a null row or a null array: an object without data.
  double v[3] = {1, 1, 1};
  double *rows[1] = {v}, *noRow[1] = {nullptr};
  const struct
  {
    std::int32_t ny, nx;
    double** w;
    double* ymax;
  } bad[] = {{0, 3, rows, v},
             {1, 0, rows, v},
             {-1, 3, rows, v},
             {1, -4, rows, v},
             {1, 3, noRow, v},
             {1, 3, rows, nullptr},
             {INT32_MAX, INT32_MAX, nullptr, v}};
  for (const auto& b : bad)
  {
    Tol empty(b.ny, b.nx, b.w, v, b.ymax, v, v);
    EXPECT_TRUE(empty._Nx == 0 && empty._Ny == 0 && empty._ppW == nullptr && empty._pYmin == nullptr);
  }
}

// ============================================================================ fitness

TEST(TolerancingFitness, DirectForm)
{
  Tol opt;
  ASSERT_EQ(S_OK, Read(opt, OneLine(2, 2, 1, "1 2", "0 1", "0 0 1 1")));
  double g[3] = {0.5, -0.25, 0.3};
  EXPECT_DOUBLE_EQ(6.3, opt.EvalFitness(3, g)); // 1/0.5 + 1/|-0.25| + |(0.5 - 0.5) - 0.3|
  double matched[3] = {0.5, 2.0, 4.5};          // W.X equal to delta, bounds ignored
  EXPECT_EQ(2.5, opt.EvalFitness(0, matched));
  opt._Formulation = 5;
  EXPECT_EQ(0.0, opt.EvalFitness(3, g));
  EXPECT_EQ(1.0e10, opt.EvalFitness(3, nullptr));
  ExpectReport(3, "ipX", 361);
  EXPECT_EQ(1.0e10, opt._PenaltyFitness); // a null vector does not grow the penalty
}

TEST(TolerancingFitness, MultiplierFormAndPenaltySequence)
{
  EXPECT_NEAR(-2.0, QAVTasSqrt3(-8.0), 1e-15);
  EXPECT_TRUE(std::isnan(QAVTasSqrt3(std::numeric_limits<double>::quiet_NaN())));
  // W = (2, 16), lambda = 1: s = (cbrt(1), cbrt(8)) = (1, 2), X = (1, 0.5), W/s summed = 10.
  std::unique_ptr<Tol> opt = Data{{{2.0, 16.0}}, {0.0}, {12.0}, {2.0, 2.0}, {0.5, 0.25}}.Make();
  opt->_Formulation = 3;
  double lambda[1] = {1.0};
  EXPECT_NEAR(3.0 + 2.0, opt->EvalFitness(1, lambda), 1e-12); // sum s + |1 * (10 - 12)|
  // X_0 = 1 below Xinf_0 = 1.5: the penalty, each one 1.0 above the last.
  opt->_pXinf[0] = 1.5;
  EXPECT_EQ(1.0e10, opt->EvalFitness(1, lambda));
  EXPECT_EQ(1.0e10 + 1.0, opt->EvalFitness(1, lambda));
  opt->_pXinf[0] = 0.5;
  double zero[1] = {0.0}, nan[1] = {std::numeric_limits<double>::quiet_NaN()};
  EXPECT_EQ(1.0e10 + 2.0, opt->EvalFitness(1, zero)); // X infinite
  EXPECT_EQ(1.0e10 + 3.0, opt->EvalFitness(1, nan));  // NaN differences are violations
  EXPECT_EQ(1.0e10 + 4.0, opt->_PenaltyFitness);
}

TEST(TolerancingFitness, ToleranceOfOneMillionthOnBothSides)
{
  // Nx = Ny = 1, W = 2, lambda = 1: s = 1, X = 1, Y = 2; each bound moved just past the value.
  std::unique_ptr<Tol> opt = Data{{{2.0}}, {0.0}, {10.0}, {10.0}, {0.0}}.Make();
  opt->_Formulation = 3;
  double lambda[1] = {1.0};
  const struct
  {
    double* bound;
    double value, side;
  } bounds[] = {{opt->_pXinf, 1.0, 1.0}, {opt->_pXsup, 1.0, -1.0}, {opt->_pYmin, 2.0, 1.0}, {opt->_pYmax, 2.0, -1.0}};
  for (const auto& b : bounds)
    for (const double past : {0.5e-6, 2e-6})
    {
      const double saved = *b.bound;
      *b.bound = b.value + b.side * past;
      const double penalty = opt->_PenaltyFitness, f = opt->EvalFitness(1, lambda);
      if (past < 1e-6)
        EXPECT_NEAR(1.0 + std::fabs(2.0 - opt->_pYmax[0]), f, 1e-12) << *b.bound;
      else
        EXPECT_EQ(penalty, f) << *b.bound;
      *b.bound = saved;
    }
}

// ============================================================================ reports

TEST(TolerancingReport, BothFormsMatchGolden)
{
  // Direct form: within bounds, then X = (0.4, 0.2), W.X = (0.6, 0.2) both above and delta =
  // (0.7, 0.05) the first above.
  std::unique_ptr<Tol> direct =
    Data{{{1.0, 1.0}, {1.0, -1.0}}, {0.0, -0.1}, {0.5, 0.1}, {1.0, 1.0}, {0.01, 0.01}}.Make();
  SetParams(*direct, {0.25, 0.2, 0.45, 0.05});
  std::string text = Report(*direct);
  SetParams(*direct, {0.4, 0.2, 0.7, 0.05});
  text += Report(*direct);
  // Multiplier form: W = (2, 16), lambda = 1, W/s summed = 10, within Ymax = 20 and then above 9.
  std::unique_ptr<Tol> opt = Data{{{2.0, 16.0}}, {0.0}, {20.0}, {2.0, 2.0}, {0.5, 0.25}}.Make();
  opt->_Formulation = 3;
  SetParams(*opt, {1.0});
  text += Report(*opt);
  opt->_pYmax[0] = 9.0;
  text += Report(*opt);
  QAVExpectGolden("tolerancing_reports", text);
  opt->_Formulation = 4; // any other form writes nothing, nor does a failure
  EXPECT_EQ("", Report(*opt));
  EXPECT_EQ(E_FAIL, opt->CheckConstraints(nullptr));
  ExpectReport(3, "iopFile", 485);
  Tol fresh;
  EXPECT_EQ("", Report(fresh, E_FAIL));
  ExpectReport(3, "_pParams", 486);
}

TEST(TolerancingReport, GetValuesAddsInFloat)
{
  Tol fresh;
  float* values = reinterpret_cast<float*>(0x1);
  EXPECT_EQ(E_FAIL, fresh.GetValues(values));
  ExpectReport(3, "_pParams", 665);
  EXPECT_EQ(reinterpret_cast<float*>(0x1), values);
  // With these values a sum in double rounds to another float than the sum in float.
  std::unique_ptr<Tol> opt = Data{{{0.1}, {0.7}, {1.3}}, {0, 0, 0}, {1, 1, 1}, {1.0}, {0.1}}.Make();
  SetParams(*opt, {0.25, 0.2, 0.9, 123.0}); // the direct form's extra gene is not read
  ASSERT_EQ(S_OK, opt->GetValues(values));
  EXPECT_EQ(0x1.24ecc4p+0f, values[0]); // double arithmetic would give 0x1.24ecc2p+0f
  delete[] values;
}

// ============================================================================ run

TEST(TolerancingRun, SettingsPerFormAndSize)
{
  QAVCoutCapture quiet;
  for (const std::int32_t nx : {4, 10})
  {
    std::unique_ptr<Tol> opt = Data{{std::vector<double>(nx, 1.0), std::vector<double>(nx, 0.5)},
                                    {0.0, 0.0},
                                    {0.4 * nx, 0.2 * nx},
                                    std::vector<double>(nx, 1.0),
                                    std::vector<double>(nx, 0.05)}
                                 .Make();
    opt->_WithNewtonRefinement = 0;
    ASSERT_EQ(S_OK, opt->Optimize());
    EXPECT_TRUE(opt->_NumParams == nx + 2 && opt->_PopulationSize == 8 * (nx + 2));
    EXPECT_TRUE(opt->_CrossValue == 0.75 && opt->_MutatValue == 0.8 && opt->_Process == 3);
    EXPECT_EQ(nx < 10 ? 200 : 100, opt->_IdemFitnessCount);
    EXPECT_TRUE(opt->_MaxNumberOfGenerations == 1000000 && opt->_FitnessReference == -10.0 && opt->_Refresh == 100);
    EXPECT_EQ(nullptr, opt->_ParamValMin); // no pointer to the freed limits is kept
    for (std::int32_t i = 0; i < nx; ++i)
      EXPECT_TRUE(opt->_pParams[i] >= 0.05 && opt->_pParams[i] <= 1.0);
    EXPECT_LE(opt->_pParams[nx], 0.4 * nx);
  }
  // The multiplier form from a file: Ny genes in [0, 1000], no refinement, the GA optimum kept.
  Tol fromFile;
  ASSERT_EQ(S_OK, Read(fromFile, OneLine(3, 2, 1, "1 1", "0 0.5", "0.01 0.01 1 1")));
  ASSERT_EQ(S_OK, fromFile.Optimize());
  EXPECT_TRUE(fromFile._NumParams == 1 && fromFile._PopulationSize == 8 && fromFile._CrossValue == 0.7);
  double optimum[1];
  fromFile.GetOptimumParams(optimum);
  EXPECT_EQ(optimum[0], fromFile._pParams[0]);
  EXPECT_TRUE(optimum[0] >= 0.0 && optimum[0] <= 1000.0);
  // A second run with another gene count reallocates _pParams (ASan checks the sizes).
  fromFile._Formulation = 2;
  ASSERT_EQ(S_OK, fromFile.Optimize());
  EXPECT_EQ(3, fromFile._NumParams);
  EXPECT_NE("", Report(fromFile));
}

TEST(TolerancingRun, FailuresAndTheirLines)
{
  QAVCoutCapture quiet;
  Tol empty;
  empty.SetCrossValue(0.33);
  EXPECT_EQ(E_FAIL, empty.Optimize());
  ExpectReport(3, "_Nx", 140);
  EXPECT_EQ(0.33, empty._CrossValue); // before any engine setting
  Tol noY;
  ASSERT_EQ(S_OK, Read(noY, OneLine(2, 2, 0, "", "", "0 0 1 1")));
  EXPECT_EQ(E_FAIL, noY.Optimize());
  ExpectReport(3, "_Ny", 141);

  // Another form, and more genes than the engine holds: refused before any setting.
  const Data d{{{1.0, 1.0}}, {0.0}, {1.0}, {1.0, 1.0}, {0.1, 0.1}};
  std::unique_ptr<Tol> opt = d.Make();
  opt->SetCrossValue(0.33);
  opt->_Formulation = 4;
  EXPECT_EQ(E_FAIL, opt->Optimize());
  ExpectReport(1, "", 150);
  EXPECT_EQ(0.33, opt->_CrossValue);
  std::unique_ptr<Tol> wide =
    Data{{std::vector<double>(500, 1.0)}, {0.0}, {1.0}, std::vector<double>(500, 1.0), std::vector<double>(500, 0.1)}
      .Make();
  EXPECT_EQ(E_FAIL, wide->Optimize());
  ExpectReport(1, "", 151);
  EXPECT_EQ(nullptr, wide->_pParams);

  // Missing arrays of the direct form, in their order, after the first settings.
  const char* names[] = {"_pYmin", "_pYmax", "_pXinf", "_pXsup"};
  for (int k = 0; k < 4; ++k)
  {
    std::unique_ptr<Tol> holed = d.Make();
    double** arrays[] = {&holed->_pYmin, &holed->_pYmax, &holed->_pXinf, &holed->_pXsup};
    delete[] * arrays[k];
    *arrays[k] = nullptr;
    EXPECT_EQ(E_FAIL, holed->Optimize());
    ExpectReport(3, names[k], 182 + k);
    EXPECT_EQ(0.75, holed->_CrossValue);
  }

  // A refinement that cannot start (sqrt of a negative sum): kind 1, the function object deleted.
  std::unique_ptr<Tol> bad = Data{{{-1.0}}, {-1.0}, {0.0}, {1.0}, {0.1}}.Make();
  const std::int32_t live = QAVDRQVirtual::GetLiveObjectCount();
  EXPECT_EQ(E_FAIL, bad->Optimize());
  ExpectReport(1, "", 247);
  EXPECT_EQ(live, QAVDRQVirtual::GetLiveObjectCount());
  EXPECT_NE(nullptr, bad->_pParams);
}

TEST(TolerancingRun, UnsolvableDataIsRefusedBeforeTheEngineAndKeepsTheResult)
{
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  const struct
  {
    void (*spoil)(Tol&, double, double);
    std::int32_t line;
    bool exactToo; // OptimizeExact takes no 1/X of a gene: a lower X bound of 0 is its business
  } cases[] = {
    {[](Tol& o, double, double n) { o._ppW[1][0] = n; }, 190, true},
    {[](Tol& o, double i, double) { o._pYmax[1] = i; }, 191, true},
    {[](Tol& o, double, double n) { o._pYmin[0] = n; }, 191, true},
    {[](Tol& o, double, double) { o._pYmin[1] = 0.2; }, 192, true},
    {[](Tol& o, double i, double) { o._pXsup[2] = i; }, 193, true},
    {[](Tol& o, double, double n) { o._pXinf[0] = n; }, 193, true},
    {[](Tol& o, double, double) { o._pXinf[1] = 0.3; }, 194, true},
    {[](Tol& o, double, double) { o._pXinf[2] = 0.0; }, 195, false},
    {[](Tol& o, double, double) { o._pXinf[2] = -1.0; }, 195, false},
  };
  QAVCoutCapture quiet;
  const std::int32_t evaluations = nbeval;
  for (const auto& c : cases)
  {
    std::unique_ptr<Tol> opt = kThreeByTwo.Make();
    SetParams(*opt, {1, 2, 3, 4, 5});
    const double* params = opt->_pParams;
    c.spoil(*opt, inf, nan);
    EXPECT_EQ(E_FAIL, opt->Optimize());
    ExpectReport(1, "", c.line);
    EXPECT_TRUE(opt->_pParams == params && params[4] == 5.0 && opt->_PopulationSize == 30) << c.line;
    EXPECT_EQ(c.exactToo ? E_FAIL : S_OK, opt->OptimizeExact());
    if (c.exactToo)
      ExpectReport(1, "", c.line);
  }
  EXPECT_EQ(evaluations, nbeval); // the engine never ran
  // The multiplier form takes no 1/X of a gene: a lower X bound of 0 is its own.
  Tol multiplier;
  ASSERT_EQ(S_OK, Read(multiplier, OneLine(3, 2, 1, "1 1", "0 0.5", "0 0 1 1")));
  EXPECT_EQ(S_OK, multiplier.Optimize());
}

TEST(TolerancingRun, RefinementNeverWorsensAndStaysInTheBox)
{
  QAVCoutCapture quiet;
  std::unique_ptr<Tol> opt = kThreeByTwo.Make();
  const std::int32_t live = QAVDRQVirtual::GetLiveObjectCount();
  ASSERT_EQ(S_OK, opt->Optimize());
  EXPECT_EQ(live, QAVDRQVirtual::GetLiveObjectCount());
  double ga[5];
  opt->GetOptimumParams(ga);
  const double* rows[2] = {opt->_ppW[0], opt->_ppW[1]};
  QAVTasMathFunctionRN f(2, 3, rows, opt->_pYmax);
  EXPECT_LE(f.Eval(opt->_pParams), f.Eval(ga));
  for (int k = 0; k < 5; ++k)
    EXPECT_TRUE(opt->_pParams[k] >= 0.0 && opt->_pParams[k] <= 1.0e9);
  for (int k = 2; k < 5; ++k)
    EXPECT_EQ(ga[k], opt->_pParams[k]); // beyond the function's variables nothing moves
}

TEST(TolerancingFunction, EvalAndObjectServices)
{
  // W = [[1, 4], [3, 0]], lambda = (1, 1): t = (2, 2), u = (2.5, 1.5).
  const double row0[2] = {1.0, 4.0}, row1[2] = {3.0, 0.0}, ymax[2] = {2.5, 1.0}, lambda[2] = {1.0, 1.0};
  const double* rows[2] = {row0, row1};
  QAVTasMathFunctionRN f(2, 2, rows, ymax);
  EXPECT_DOUBLE_EQ(4.0 + 1.0e10 * 0.5, f.Eval(lambda));
  EXPECT_EQ(0.0, f.Eval(nullptr));
  ExpectReport(3, "ipX", 109, "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasMathFunctionRN");
  const double zeros[2] = {0.0, 0.0};
  EXPECT_FALSE(std::isfinite(f.Eval(zeros)));
  EXPECT_TRUE(std::isnan(QAVTasMathFunctionRN(3).Eval(zeros))); // no data to evaluate
}

// ============================================================================ exact solution

TEST(TolerancingExact, EitherConstructorAndFormGiveTheCertifiedOptimum)
{
  // One row, X bounds inactive: X_i = Ymax / (sqrt(w_i) sum_k sqrt(w_k)).
  std::unique_ptr<Tol> fromMemory = Data{{{1.0, 4.0}}, {0.0}, {0.3}, {1.0, 1.0}, {0.001, 0.001}}.Make();
  ASSERT_EQ(S_OK, fromMemory->OptimizeExact());
  EXPECT_NEAR(0.1, fromMemory->_Exact.Tolerances[0], 1e-9);
  Tol fromFile;
  ASSERT_EQ(S_OK, Read(fromFile, OneLine(3, 2, 1, "1 4", "0 0.3", "0.001 0.001 1 1")));
  ASSERT_EQ(S_OK, fromFile.OptimizeExact());
  EXPECT_EQ(fromMemory->_Exact.Tolerances, fromFile._Exact.Tolerances);
  EXPECT_EQ(nullptr, fromFile._pParams);

  // Its report is the direct-form report of that X, with no violation line.
  const std::string report = Report(fromFile, S_OK, true);
  EXPECT_EQ(std::string::npos, report.find("Violation"));
  fromFile._Formulation = 2;
  const std::vector<double> x = fromFile._Exact.Tolerances;
  SetParams(fromFile, {x[0], x[1], x[0] + 4.0 * x[1]});
  EXPECT_EQ(Report(fromFile), report);
  // A new read forgets the old solution.
  ASSERT_EQ(S_OK, Read(fromFile, kGood));
  EXPECT_TRUE(fromFile._Exact.Tolerances.empty());
  EXPECT_EQ(E_FAIL, fromFile.CheckExactConstraints(stdout));
  ExpectReport(3, "_Exact", 721);
}

TEST(TolerancingExact, InfeasibleAndMissingData)
{
  std::unique_ptr<Tol> opt = Data{{{1.0, 1.0}}, {0.0}, {0.01}, {1.0, 1.0}, {0.1, 0.1}}.Make(); // x0 + x1 <= 0.01
  EXPECT_EQ(E_FAIL, opt->OptimizeExact());
  ExpectReport(1, "", 710);
  EXPECT_TRUE(opt->_Exact.Tolerances.empty());
  Tol empty;
  EXPECT_EQ(E_FAIL, empty.OptimizeExact());
  ExpectReport(3, "_Nx", 700);
}
