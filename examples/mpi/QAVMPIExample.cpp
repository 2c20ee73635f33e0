// Differential evolution over MPI: rank 0 runs the real engine, the other ranks evaluate a costly
// fitness. Prints on rank 0 exactly what a one-process run prints; the wall time goes to stderr.
//
//   mpirun -np 3 qavtas_mpi_example [--cost-us 1000] [--generations 20]
//                                   [--throw-on-rank R] [--die-on-rank R]
#include "QAVTasGAOptimizer.h"
#include "QAVTasMPIEvaluation.h"

#include <mpi.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
struct Options
{
  long costUs = 1000;
  int generations = 20;
  int throwOnRank = -1;
  int dieOnRank = -1;
};

Options Parse(int argc, char** argv)
{
  Options o;
  for (int i = 1; i + 1 < argc; i += 2)
  {
    const long value = std::strtol(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--cost-us") == 0)
      o.costUs = value;
    else if (std::strcmp(argv[i], "--generations") == 0)
      o.generations = static_cast<int>(value);
    else if (std::strcmp(argv[i], "--throw-on-rank") == 0)
      o.throwOnRank = static_cast<int>(value);
    else if (std::strcmp(argv[i], "--die-on-rank") == 0)
      o.dieOnRank = static_cast<int>(value);
  }
  return o;
}

constexpr double kTwoPi = 6.283185307179586;

// Rastrigin's function, made as slow as an analysis by spinning for the given cost.
class CostlyRastrigin : public QAVTasGAOptimizer
{
public:
  CostlyRastrigin(const Options& iOptions, int iRank) : _Options(iOptions), _Rank(iRank) {}

  double EvalFitness(std::int32_t iCount, double* ipX) override
  {
    if (_Rank == _Options.dieOnRank)
      std::_Exit(3);
    if (_Rank == _Options.throwOnRank)
      throw std::runtime_error("the analysis diverged");
    const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(_Options.costUs);
    double s = 10.0 * iCount;
    for (std::int32_t k = 0; k < iCount; ++k)
      s += ipX[k] * ipX[k] - 10.0 * std::cos(kTwoPi * ipX[k]);
    while (std::chrono::steady_clock::now() < end)
    {
    }
    return s;
  }

private:
  const Options& _Options;
  int _Rank;
};

int RunExample(const Options& iOptions, int iRank)
{
  std::vector<double> min(6, -5.12), max(6, 5.12), best(6);
  CostlyRastrigin optimizer(iOptions, iRank);
  optimizer.SetNumParams(6);
  optimizer.SetParamValLimits(min.data(), max.data());
  optimizer.SetPopulationSize(36);
  optimizer.SetProcess(7);
  optimizer.SetCrossValue(0.3); // small steps: nearly every trial stays in the box and costs an evaluation
  optimizer.SetMaxNumber(iOptions.generations);
  optimizer.SetRefresh(5);
  optimizer.SetSeed(5);
  QAVTasMPIEvaluation<double> mpi(MPI_COMM_WORLD,
                                  [&](std::int32_t n, double* x) { return optimizer.EvalFitness(n, x); });
  optimizer.SetFitnessBatch(&mpi);
  const auto start = std::chrono::steady_clock::now();
  if (!mpi.Run([&] { optimizer.Minimize(); }))
    return 0;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  optimizer.GetOptimumParams(best.data());
  std::cout.precision(17);
  std::cout << "optimum " << optimizer.GetOptimumFitness() << " evaluations " << nbeval << "\nat";
  for (double x : best)
    std::cout << ' ' << x;
  std::cout << std::endl;
  std::cerr << "wall time " << elapsed.count() << " s" << std::endl;
  return 0;
}
} // namespace

int main(int argc, char** argv)
{
  MPI_Init(&argc, &argv);
  int rank = 0;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  // Only rank 0 speaks: the workers' engines would repeat its debug lines.
  std::streambuf* saved = std::cout.rdbuf();
  if (rank != 0)
    std::cout.rdbuf(nullptr);
  const Options options = Parse(argc, argv);
  int status = 0;
  try
  {
    status = RunExample(options, rank);
  }
  catch (const std::exception& e)
  {
    std::cerr << "qavtas_mpi_example: " << e.what() << std::endl;
    status = 1;
  }
  std::cout.rdbuf(saved);
  MPI_Finalize();
  return status;
}
