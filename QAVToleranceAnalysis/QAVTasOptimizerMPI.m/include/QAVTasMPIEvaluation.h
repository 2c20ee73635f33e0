#ifndef QAVTasMPIEvaluation_H
#define QAVTasMPIEvaluation_H

#include "QAVFitnessBatch.h"

#include <mpi.h>

#include <cstdint>
#include <functional>
#include <vector>

// Spreads an engine's fitness evaluations over the processes of an MPI communicator. Rank 0 runs
// the engine; every other rank evaluates its share of each generation's trials and returns the
// values, so the run is the one a single process would make, bit for bit.
//
// Every rank builds the same optimiser and one of these on it, then calls Run:
//
//   QAVTasMPIEvaluation<double> mpi(MPI_COMM_WORLD, [&](std::int32_t n, double* x) {
//     return optimizer.EvalFitness(n, x); });
//   optimizer.SetFitnessBatch(&mpi);
//   if (mpi.Run([&] { optimizer.Minimize(); }))
//     ... rank 0: read the optimum ...
//
// A batch of n trials goes out in contiguous shares, as equal as can be, one message per worker
// (the genes; the tag carries the gene count), and comes back as one message per worker (the
// fitness values). A fitness that throws on a worker makes Evaluate throw on rank 0 a
// std::runtime_error naming the lowest such rank and its message; Run then still releases the
// workers before it rethrows. A rank that dies is the MPI runtime's to handle: Open MPI 4.1 ends
// the whole job, and mpirun exits non-zero.
//
// Waiting ranks poll with short sleeps rather than spin, so that a machine with fewer cores than
// ranks spends its cores on fitness evaluations. With one rank, rank 0 evaluates the batch itself.
template <class Gene>
class QAVTasMPIEvaluation : public QAVFitnessBatch<Gene>
{
public:
  using Fitness = std::function<double(std::int32_t, Gene*)>;

  // iComm is borrowed; MPI must be initialised and stay so for the object's life.
  QAVTasMPIEvaluation(MPI_Comm iComm, Fitness iFitness);

  // Rank 0: calls iDrive (which runs the engine) and returns true. Other ranks: serve batches
  // until rank 0 is done, then return false. Exceptions of iDrive leave rank 0 after the release.
  bool Run(const std::function<void()>& iDrive);

  void Evaluate(std::int32_t iCount, std::int32_t iGenes, Gene* const* ipCodes, double* opFitness) override;

private:
  void Serve();
  void Release();

  MPI_Comm _Comm;
  Fitness _Fitness;
  int _Rank = 0;
  int _Size = 1;
  std::vector<Gene> _Genes;           // a worker's share, or rank 0's outgoing trials
  std::vector<double> _Values;        // a worker's fitness values
  std::vector<MPI_Request> _Requests; // rank 0's outgoing shares
};

#endif
