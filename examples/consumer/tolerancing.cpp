// Tolerance allocation: from memory, then from a data file (its path is the first argument).
#include "QAVTasOptimizerTolerancing.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace
{
bool FromMemory()
{
  // README: tolerancing-memory
  // Two stacks over three tolerances: Y1 = X1 + X2 within [0, 0.1], Y2 = X2 + X3 within [0, 0.12];
  // every X in [0.005, 0.1]. Find the loosest tolerances (sum of 1/X smallest).
  double row1[3] = {1.0, 1.0, 0.0}, row2[3] = {0.0, 1.0, 1.0};
  double* w[2] = {row1, row2};
  double yMin[2] = {0.0, 0.0}, yMax[2] = {0.10, 0.12};
  double xInf[3] = {0.005, 0.005, 0.005}, xSup[3] = {0.1, 0.1, 0.1};
  QAVTasOptimizerTolerancing tolerancing(2, 3, w, yMin, yMax, xSup, xInf); // copies; Xsup before Xinf
  if (tolerancing.Optimize() != S_OK)                                      // genetic run, then a Newton refinement
    return false;
  tolerancing.CheckConstraints(stdout); // the constraint report of that answer
  std::vector<double> x;
  tolerancing.GetResultX(x); // its X values
  std::printf("genetic X = %.4f %.4f %.4f\n", x[0], x[1], x[2]);

  if (tolerancing.OptimizeExact() != S_OK) // the certified optimum of the same problem
    return false;
  tolerancing.CheckExactConstraints(stdout);
  const QAVTasAllocationResult& exact = tolerancing._Exact;
  const std::vector<double>& t = exact.Tolerances;
  std::printf("exact X = %.4f %.4f %.4f, sum of 1/X = %.3f\n", t[0], t[1], t[2], exact.Cost);
  // README end
  return t[0] + t[1] <= 0.1 + 1e-9 && t[1] + t[2] <= 0.12 + 1e-9;
}

bool FromFile(const char* iPath)
{
  // README: tolerancing-file
  struct Closer
  {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<FILE, Closer> file(std::fopen(iPath, "r"));
  QAVTasOptimizerTolerancing tolerancing;
  if (!file || tolerancing.ReadDataFile(file.get()) != S_OK)
    return false;
  if (tolerancing.Optimize() != S_OK) // the genetic run alone: no refinement for file data
    return false;
  tolerancing.CheckConstraints(stdout);
  // README end
  return true;
}
} // namespace

int main(int argc, char** argv)
{
  return FromMemory() && argc > 1 && FromFile(argv[1]) ? 0 : 1;
}
