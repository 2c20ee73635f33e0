// The tolerancing data file: every layout the reader accepts, every step that fails with its
// line, hostile counts and values.
#include "QAVAllocationCap.h"
#include "QAVCoutCapture.h"
#include "QAVTolerancingCase.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

TEST(TolerancingData, GoodFileInAnyLayout)
{
  const std::string split =
    "2\nDimension du vecteur Nx :\n2\n\nDimension du vecteur Ny : 1 Coefficients de la matrice W :\n1.0\n  1e0\n"
    "Tolerancement sur Y (Ymin puis Ymax) :\n0.0 0.5 Domaine de definition de X (bornes inf puis sup) :\n"
    "0.01\n0.01 1.0\n\t1.0 trailing words are never read";
  for (const std::string& text :
       {std::string(kGood), OneLine(2, 2, 1, "1.0 1.0", "0.0 0.5", "0.01 0.01 1.0 1.0"), split})
  {
    Tol opt;
    ASSERT_EQ(S_OK, Read(opt, text)) << text;
    ASSERT_TRUE(opt._Nx == 2 && opt._Ny == 1 && opt._Formulation == 2);
    EXPECT_TRUE(opt._ppW[0][0] == 1.0 && opt._ppW[0][1] == 1.0);
    EXPECT_TRUE(opt._pYmin[0] == 0.0 && opt._pYmax[0] == 0.5 && opt._pXinf[1] == 0.01 && opt._pXsup[1] == 1.0);
    EXPECT_EQ(0, opt._WithNewtonRefinement);
  }
  // From a pipe, which cannot seek, too; rows of W give the coefficients of each Y; another form
  // is kept as read.
  Tol opt;
  ASSERT_EQ(S_OK, Read(opt, kGood, true));
  ASSERT_EQ(S_OK, Read(opt, OneLine(7, 3, 2, "1 2 3 4 5 6", "-1 -2 1 2", "0.1 0.2 0.3 1 2 3")));
  EXPECT_EQ(7, opt._Formulation);
  EXPECT_TRUE(opt._ppW[1][2] == 6.0 && opt._pYmin[1] == -2.0 && opt._pXsup[2] == 3.0);
}

TEST(TolerancingData, EachFailingStepReportsItsLine)
{
  const std::string headNx = "2\nDimension du vecteur Nx : 2\n";
  const std::string head = headNx + "Dimension du vecteur Ny : 1\n";
  const std::string withW = head + "Coefficients de la matrice W :\n1.0 1.0\n";
  const std::string withY = withW + "Tolerancement sur Y (Ymin puis Ymax) :\n 0.0\n 0.5\n";
  const std::string xLabel = "Domaine de definition de X (bornes inf puis sup) :\n";
  std::vector<std::pair<std::string, std::int32_t>> cases = {
    {"", 277},
    {"two\n", 277},
    {"2\nDimension du vecteur NX : 2\n", 281},
    {"2\nDimension du vecteur Nx : -2\nDimension du vecteur Ny : 1\n", 281}, // no array sized by a negative count
    {headNx + "Dimension du vecteur Ny : many\n", 283},
    {headNx + "Dimension du vecteur Ny : -1\n", 283},
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
  // Counts out of range or beyond the file: 4294967298 would wrap to 2 in 32 bits and read the
  // small problem that follows; millions of values announced by a short file are refused before
  // any array is asked for.
  const std::string rest = withY.substr(head.size()) + xLabel + " 0.01 0.01\n 1.0 1.0\n";
  for (const char* counts : {"2 4294967298 1 281", "2 2147483648 1 281", "2 -2147483649 1 281",
                             "2 99999999999999999999999 1 281", "4294967298 2 1 277", "3 2 444444444444 283",
                             "2 2000000000 2000000000 283", "2 2 3000000 283", "2 3000000 1 283"})
  {
    std::istringstream words(counts);
    std::string form, nx, ny;
    std::int32_t line = 0;
    words >> form >> nx >> ny >> line;
    cases.push_back(
      {form + "\nDimension du vecteur Nx : " + nx + "\nDimension du vecteur Ny : " + ny + "\n" + rest, line});
  }
  QAVCoutCapture quiet;
  for (const auto& c : cases)
  {
    Tol opt;
    QAVLargestRequest = 0;
    EXPECT_EQ(E_FAIL, Read(opt, c.first)) << c.first;
    ExpectReport(1, "", c.second);
    EXPECT_TRUE(opt._Nx >= 0 && opt._Ny >= 0 && (opt._ppW == nullptr || c.second > 283));
    EXPECT_LT(QAVLargestRequest, std::size_t{1} << 20);
    float* values = nullptr; // half-read data never runs nor gives values
    EXPECT_TRUE(opt.Optimize() == E_FAIL && opt.GetValues(values) == E_FAIL && values == nullptr) << c.first;
  }
  // Ending after the lower X bounds fails at the upper ones; a null stream fails before reading.
  Tol opt;
  EXPECT_EQ(E_FAIL, Read(opt, withY + xLabel + " 0.01 0.02\n 1.0\n"));
  ExpectReport(1, "", 342);
  EXPECT_EQ(E_FAIL, opt.ReadDataFile(nullptr));
  ExpectReport(3, "ipFileIn", 274);
}

TEST(TolerancingData, AFailedReadLeavesProblemAndResultAsTheyWere)
{
  std::unique_ptr<Tol> opt = kThreeByTwo.Make();
  SetParams(*opt, {1, 2, 3, 4, 5});
  const double* params = opt->_pParams;
  for (const std::string& text : {std::string(), std::string("3 Dimension du vecteur Nx : 1"),
                                  OneLine(3, 1, 1, "2", "0 1", "0.5") /* no upper X bound */})
  {
    EXPECT_EQ(E_FAIL, Read(*opt, text));
    EXPECT_TRUE(opt->_Formulation == 2 && opt->_Nx == 3 && opt->_Ny == 2 && opt->_ppW[1][2] == 1.0 &&
                opt->_pYmax[1] == 0.15 && opt->_pXinf[2] == 0.005 && opt->_pXsup[0] == 0.2);
    EXPECT_TRUE(opt->_pParams == params && params[4] == 5.0);
  }
  // A good read replaces both (ASan sees the old arrays freed).
  ASSERT_EQ(S_OK, Read(*opt, kGood));
  EXPECT_TRUE(opt->_Nx == 2 && opt->_Ny == 1 && opt->_pParams == nullptr);
}

TEST(HostileTolerancing, NonFiniteMissingOrHalfReadDataNeverCrashARun)
{
  const std::string nanRest =
    "Dimension du vecteur Nx : 2\nDimension du vecteur Ny : 1\n"
    "Coefficients de la matrice W :\nnan 1.0\nTolerancement sur Y (Ymin puis Ymax) :\n -inf\n "
    "inf\nDomaine de definition de X (bornes inf puis sup) :\n 0.01 nan\n 1e999 1.0\n";
  for (const char* form : {"2", "3"})
  {
    QAVTasOptimizerTolerancing problem;
    ASSERT_EQ(Read(problem, form + ("\n" + nanRest)), S_OK);
    problem.SetMaxNumber(20);
    QAVCoutCapture quiet;
    problem.Optimize();
    EXPECT_EQ(problem.OptimizeExact(), E_FAIL);
    Report(problem, problem._pParams != nullptr ? S_OK : E_FAIL); // writes what it has, never crashes
  }
}
