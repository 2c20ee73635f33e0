#ifndef QAVTasTailBuffer_H
#define QAVTasTailBuffer_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

// The Keep smallest values of a stream, exactly, in O(1) amortised per value: candidates below the
// largest kept value gather in a buffer of twice the size, which is cut back to the Keep smallest
// (nth_element) when full. Buffers of several streams merge into those of their union.
class QAVTasTailBuffer
{
public:
  explicit QAVTasTailBuffer(std::size_t iKeep = 0) : _Keep(iKeep) { _Values.reserve(2 * iKeep + 1); }

  void Add(double iValue)
  {
    if (!(iValue < _Threshold))
      return;
    _Values.push_back(iValue);
    if (_Values.size() >= 2 * _Keep)
      Cut();
  }

  // Values at or above this are not kept.
  double Bar() const { return _Threshold; }

  void Merge(const QAVTasTailBuffer& iOther)
  {
    for (const double v : iOther._Values)
      Add(v);
  }

  // The kept values, smallest first.
  std::vector<double> Sorted()
  {
    Cut();
    std::sort(_Values.begin(), _Values.end());
    return _Values;
  }

private:
  void Cut()
  {
    if (_Values.size() <= _Keep)
      return;
    std::nth_element(_Values.begin(), _Values.begin() + static_cast<std::ptrdiff_t>(_Keep) - 1, _Values.end());
    _Values.resize(_Keep);
    _Threshold = *std::max_element(_Values.begin(), _Values.end());
  }

  std::size_t _Keep;
  double _Threshold = HUGE_VAL;
  std::vector<double> _Values;
};

#endif
