#ifndef QAVGALimitsGuard_H
#define QAVGALimitsGuard_H

// Lends an engine its gene limits for the guard's lifetime: the constructor hands the arrays over
// (SetParamValLimits(lower, upper)), the destructor takes them back (SetParamValLimits(null, null)),
// on every path out of the scope. The engine only borrows the arrays, so it must never keep
// pointing at them once they are gone: declare the guard after the arrays, so that it ends first.
// Serves every engine with that setter (Gene is double or std::int32_t).
template <class Engine, class Gene>
class QAVGALimitsGuard
{
public:
  QAVGALimitsGuard(Engine& ioEngine, Gene* ipLower, Gene* ipUpper) : _Engine(ioEngine)
  {
    _Engine.SetParamValLimits(ipLower, ipUpper);
  }
  ~QAVGALimitsGuard() { _Engine.SetParamValLimits(nullptr, nullptr); }
  QAVGALimitsGuard(const QAVGALimitsGuard&) = delete;
  QAVGALimitsGuard& operator=(const QAVGALimitsGuard&) = delete;

private:
  Engine& _Engine;
};

#endif
