#include "QAVEvaluationPool.h"

std::int32_t QAVEvaluationPool::Resolve(std::int32_t iRequested)
{
  if (iRequested > 0)
    return iRequested;
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? static_cast<std::int32_t>(hardware) : 1;
}

QAVEvaluationPool::QAVEvaluationPool(std::int32_t iThreads)
{
  const std::int32_t workers = Resolve(iThreads) - 1;
  _Workers.reserve(static_cast<std::size_t>(workers));
  for (std::int32_t i = 0; i < workers; ++i)
    _Workers.emplace_back([this] { Work(); });
}

QAVEvaluationPool::~QAVEvaluationPool()
{
  {
    std::lock_guard<std::mutex> lock(_Mutex);
    _Stop = true;
  }
  _Start.notify_all();
  for (std::thread& worker : _Workers)
    worker.join();
}

void QAVEvaluationPool::ForEach(std::int32_t iCount, Task& ioTask)
{
  // Nothing to share: run in place, so that exceptions leave as from a plain loop.
  if (_Workers.empty() || iCount <= 1)
  {
    for (std::int32_t k = 0; k < iCount; ++k)
      ioTask.Run(k);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(_Mutex);
    _Task = &ioTask;
    _Count = iCount;
    _Next.store(0, std::memory_order_relaxed);
    _Busy = static_cast<std::int32_t>(_Workers.size());
    _Error = nullptr;
    _ErrorIndex = iCount;
    ++_Batch;
  }
  _Start.notify_all();
  Drain();
  std::exception_ptr error;
  {
    std::unique_lock<std::mutex> lock(_Mutex);
    _Done.wait(lock, [this] { return _Busy == 0; });
    _Task = nullptr;
    error = _Error;
    _Error = nullptr;
  }
  if (error)
    std::rethrow_exception(error);
}

void QAVEvaluationPool::Work()
{
  std::uint64_t seen = 0;
  for (;;)
  {
    {
      std::unique_lock<std::mutex> lock(_Mutex);
      _Start.wait(lock, [&] { return _Stop || _Batch != seen; });
      if (_Stop)
        return;
      seen = _Batch;
    }
    Drain();
    std::lock_guard<std::mutex> lock(_Mutex);
    if (--_Busy == 0)
      _Done.notify_one();
  }
}

void QAVEvaluationPool::Drain()
{
  for (std::int32_t k = _Next.fetch_add(1); k < _Count; k = _Next.fetch_add(1))
  {
    try
    {
      _Task->Run(k);
    }
    catch (...)
    {
      std::lock_guard<std::mutex> lock(_Mutex);
      if (k < _ErrorIndex)
      {
        _Error = std::current_exception();
        _ErrorIndex = k;
      }
    }
  }
}
