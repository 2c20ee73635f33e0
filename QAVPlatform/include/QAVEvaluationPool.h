#ifndef QAVEvaluationPool_H
#define QAVEvaluationPool_H

#include "QAVPlatformExport.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

// A fixed set of threads that runs batches of independent tasks: ForEach(n, task) calls
// task.Run(k) once for each k in [0, n), spread over the pool's threads and the calling thread,
// and returns when every call has returned. Indices are handed out one at a time from a shared
// counter, so uneven task costs balance themselves. The threads start with the pool and stay
// until it is destroyed; a batch allocates nothing.
//
// A task that throws does not stop the batch: ForEach rethrows, once the batch is over, the
// exception of the lowest index that threw, which is the one a sequential loop would have met
// first. ForEach must not be called from two threads at once, nor from within a task.
class QAV_PLATFORM_API QAVEvaluationPool
{
public:
  class Task
  {
  public:
    virtual void Run(std::int32_t iIndex) = 0;

  protected:
    ~Task() = default;
  };

  // A pool of iThreads threads, the caller's included (see Resolve for iThreads <= 0).
  explicit QAVEvaluationPool(std::int32_t iThreads);
  ~QAVEvaluationPool();
  QAVEvaluationPool(const QAVEvaluationPool&) = delete;
  QAVEvaluationPool& operator=(const QAVEvaluationPool&) = delete;

  void ForEach(std::int32_t iCount, Task& ioTask);
  std::int32_t Threads() const { return static_cast<std::int32_t>(_Workers.size()) + 1; }

  // A requested count of threads: n > 0 as given, otherwise the hardware's count (1 when unknown).
  static std::int32_t Resolve(std::int32_t iRequested);

private:
  void Work();
  void Drain();

  std::vector<std::thread> _Workers;
  std::mutex _Mutex;
  std::condition_variable _Start;
  std::condition_variable _Done;
  Task* _Task = nullptr;
  std::int32_t _Count = 0;
  std::atomic<std::int32_t> _Next{0};
  std::int32_t _Busy = 0;   // workers still in the current batch
  std::uint64_t _Batch = 0; // batches started; a worker runs each one once
  bool _Stop = false;
  std::exception_ptr _Error; // of the lowest index that threw
  std::int32_t _ErrorIndex = 0;
};

#endif
