#include "QAVTasMPIEvaluation.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>

namespace
{
// Tags: a work message carries the gene count as its tag (1 or more), so 0 ends the service.
constexpr int kStop = 0;
constexpr int kValues = 1;
constexpr int kFailure = 2;

template <class Gene>
MPI_Datatype GeneType()
{
  return std::is_same<Gene, double>::value ? MPI_DOUBLE : MPI_INT32_T;
}

// Completes a request without spinning: a waiting rank must leave its core to the evaluating ones.
void Await(MPI_Request& ioRequest, MPI_Status* opStatus)
{
  int done = 0;
  for (;;)
  {
    MPI_Test(&ioRequest, &done, opStatus);
    if (done)
      return;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

MPI_Status Probe(MPI_Comm iComm, int iSource)
{
  MPI_Status status;
  int found = 0;
  for (;;)
  {
    MPI_Iprobe(iSource, MPI_ANY_TAG, iComm, &found, &status);
    if (found)
      return status;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

// Share of worker w (1-based) among iWorkers: [begin, end) of iCount entries.
std::int32_t ShareBegin(std::int32_t iCount, int iWorkers, int w)
{
  return static_cast<std::int32_t>(static_cast<std::int64_t>(iCount) * (w - 1) / iWorkers);
}
} // namespace

template <class Gene>
QAVTasMPIEvaluation<Gene>::QAVTasMPIEvaluation(MPI_Comm iComm, Fitness iFitness)
  : _Comm(iComm), _Fitness(std::move(iFitness))
{
  MPI_Comm_rank(_Comm, &_Rank);
  MPI_Comm_size(_Comm, &_Size);
}

template <class Gene>
bool QAVTasMPIEvaluation<Gene>::Run(const std::function<void()>& iDrive)
{
  if (_Rank != 0)
  {
    Serve();
    return false;
  }
  try
  {
    iDrive();
  }
  catch (...)
  {
    Release();
    throw;
  }
  Release();
  return true;
}

template <class Gene>
void QAVTasMPIEvaluation<Gene>::Release()
{
  for (int w = 1; w < _Size; ++w)
    MPI_Send(nullptr, 0, GeneType<Gene>(), w, kStop, _Comm);
}

template <class Gene>
void QAVTasMPIEvaluation<Gene>::Serve()
{
  for (;;)
  {
    const MPI_Status status = Probe(_Comm, 0);
    int received = 0;
    MPI_Get_count(&status, GeneType<Gene>(), &received);
    _Genes.resize(static_cast<std::size_t>(received));
    MPI_Recv(_Genes.data(), received, GeneType<Gene>(), 0, status.MPI_TAG, _Comm, MPI_STATUS_IGNORE);
    if (status.MPI_TAG == kStop)
      return;
    const std::int32_t genes = status.MPI_TAG;
    const std::int32_t count = received / genes;
    _Values.resize(static_cast<std::size_t>(count));
    try
    {
      for (std::int32_t k = 0; k < count; ++k)
        _Values[k] = _Fitness(genes, _Genes.data() + static_cast<std::size_t>(k) * genes);
      MPI_Send(_Values.data(), count, MPI_DOUBLE, 0, kValues, _Comm);
    }
    catch (const std::exception& e)
    {
      const std::string text = e.what();
      MPI_Send(text.data(), static_cast<int>(text.size()), MPI_CHAR, 0, kFailure, _Comm);
    }
    catch (...)
    {
      MPI_Send("unknown exception", 17, MPI_CHAR, 0, kFailure, _Comm);
    }
  }
}

template <class Gene>
void QAVTasMPIEvaluation<Gene>::Evaluate(std::int32_t iCount, std::int32_t iGenes, Gene* const* ipCodes,
                                         double* opFitness)
{
  const int workers = _Size - 1;
  if (workers == 0 || iGenes <= 0)
  {
    for (std::int32_t k = 0; k < iCount; ++k)
      opFitness[k] = _Fitness(iGenes, ipCodes[k]);
    return;
  }
  // All shares leave before any reply is awaited, so the workers run together.
  _Genes.resize(static_cast<std::size_t>(iCount) * iGenes);
  std::vector<MPI_Request>& sends = _Requests;
  sends.assign(static_cast<std::size_t>(workers), MPI_REQUEST_NULL);
  for (int w = 1; w <= workers; ++w)
  {
    const std::int32_t begin = ShareBegin(iCount, workers, w), end = ShareBegin(iCount, workers, w + 1);
    for (std::int32_t k = begin; k < end; ++k)
      std::copy(ipCodes[k], ipCodes[k] + iGenes, _Genes.data() + static_cast<std::size_t>(k) * iGenes);
    if (end > begin)
      MPI_Isend(_Genes.data() + static_cast<std::size_t>(begin) * iGenes, (end - begin) * iGenes, GeneType<Gene>(), w,
                iGenes, _Comm, &sends[w - 1]);
  }
  std::string failure;
  for (int w = 1; w <= workers; ++w)
  {
    const std::int32_t begin = ShareBegin(iCount, workers, w), end = ShareBegin(iCount, workers, w + 1);
    if (end == begin)
      continue;
    const MPI_Status status = Probe(_Comm, w);
    if (status.MPI_TAG == kFailure)
    {
      int length = 0;
      MPI_Get_count(&status, MPI_CHAR, &length);
      std::string text(static_cast<std::size_t>(length), '\0');
      MPI_Recv(&text[0], length, MPI_CHAR, w, kFailure, _Comm, MPI_STATUS_IGNORE);
      if (failure.empty())
        failure = "fitness failed on MPI rank " + std::to_string(w) + ": " + text;
      continue;
    }
    MPI_Recv(opFitness + begin, end - begin, MPI_DOUBLE, w, kValues, _Comm, MPI_STATUS_IGNORE);
  }
  for (MPI_Request& request : sends)
    if (request != MPI_REQUEST_NULL)
      Await(request, MPI_STATUS_IGNORE);
  if (!failure.empty())
    throw std::runtime_error(failure);
}

template class QAVTasMPIEvaluation<double>;
template class QAVTasMPIEvaluation<std::int32_t>;
