#include "QAVTasWorstCase.h"

#include "QAVTasInterval.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <random>

using I = QAVTasInterval;

namespace
{
const double kInf = std::numeric_limits<double>::infinity();

// One side of the search: the greatest value of Sign * f over the box.
class Side
{
public:
  Side(const QAVTasExpression& iF, double iSign, const double* ipLow, const double* ipHigh)
    : _F(iF), _Sign(iSign), _N(iF.Inputs().size()), _Low(ipLow, ipLow + _N), _High(ipHigh, ipHigh + _N), _Arg(_N),
      _G(_N), _X(_N), _C(_N), _Gradient(_N)
  {
  }

  // The incumbent from the centre, the linear extreme and the corners, polished by ascent.
  void Search(std::int32_t iMaxCorners)
  {
    std::vector<double> points;
    std::vector<double> x(_N);
    for (std::size_t k = 0; k < _N; ++k)
      x[k] = 0.5 * (_Low[k] + _High[k]);
    points.insert(points.end(), x.begin(), x.end());
    _F.Gradient(x.data(), _Gradient.data());
    for (std::size_t k = 0; k < _N; ++k)
      x[k] = _Sign * _Gradient[k] > 0.0 ? _High[k] : _Sign * _Gradient[k] < 0.0 ? _Low[k] : x[k];
    points.insert(points.end(), x.begin(), x.end());
    AddCorners(iMaxCorners, points);
    std::vector<std::pair<double, std::size_t>> ranked;
    for (std::size_t p = 0; p * _N < points.size(); ++p)
      ranked.emplace_back(Value(&points[p * _N]), p);
    std::sort(ranked.begin(), ranked.end(), std::greater<>());
    for (std::size_t r = 0; r < std::min<std::size_t>(4, ranked.size()); ++r)
    {
      std::copy(&points[ranked[r].second * _N], &points[ranked[r].second * _N] + _N, x.begin());
      Ascend(x);
    }
  }

  // Branch and bound until no open box beats the incumbent by iTolerance, or the budget is spent.
  void Prove(double iTolerance, std::int64_t iMaxNodes, double iMaxSeconds)
  {
    const auto start = std::chrono::steady_clock::now();
    std::vector<double> root(2 * _N);
    std::copy(_Low.begin(), _Low.end(), root.begin());
    std::copy(_High.begin(), _High.end(), root.begin() + static_cast<std::ptrdiff_t>(_N));
    Push(root.data(), iTolerance);
    double unresolved = -kInf;
    while (!_Heap.empty() && _Heap.front().first > _Best + iTolerance && _Nodes < iMaxNodes)
    {
      if (iMaxSeconds > 0.0 && _Nodes % 64 == 0 &&
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > iMaxSeconds)
        break;
      std::pop_heap(_Heap.begin(), _Heap.end());
      const auto [bound, slot] = _Heap.back();
      _Heap.pop_back();
      ++_Nodes;
      const bool split = bound > _Best + iTolerance && Split(slot, iTolerance);
      if (!split && bound > _Best + iTolerance)
        unresolved = std::max(unresolved, bound);
      _Free.push_back(slot);
    }
    _Bound = std::max({_Best, unresolved, _Heap.empty() ? -kInf : _Heap.front().first});
  }

  double Best() const { return _Sign * _Best; }
  double Bound() const { return _Sign * _Bound; }
  const std::vector<double>& Arg() const { return _Arg; }
  std::int64_t Nodes() const { return _Nodes; }
  bool Undefined() const { return _Undefined; }

private:
  double Value(const double* ipX)
  {
    const double y = _Sign * _F.Value(ipX);
    if (!std::isfinite(y))
    {
      _Undefined = true;
      return -kInf;
    }
    if (y > _Best)
    {
      _Best = y;
      std::copy(ipX, ipX + _N, _Arg.begin());
    }
    return y;
  }

  void AddCorners(std::int32_t iMaxCorners, std::vector<double>& ioPoints) const
  {
    const bool all = _N < 31 && (std::int64_t{1} << _N) <= iMaxCorners;
    const std::int64_t count = all ? std::int64_t{1} << _N : iMaxCorners;
    std::mt19937_64 stream(20261207);
    for (std::int64_t c = 0; c < count; ++c)
      for (std::size_t k = 0; k < _N; ++k)
      {
        const bool high = all ? ((c >> k) & 1) != 0 : (stream() & 1) != 0;
        ioPoints.push_back(high ? _High[k] : _Low[k]);
      }
  }

  // Projected gradient ascent, steps measured in box widths, doubled on success and halved on failure.
  void Ascend(std::vector<double>& ioX)
  {
    std::vector<double> trial(_N);
    double y = Value(ioX.data()), step = 0.25;
    for (int iteration = 0; iteration < 200 && step > 1e-12 && std::isfinite(y); ++iteration)
    {
      _F.Gradient(ioX.data(), _Gradient.data());
      double largest = 0.0;
      for (std::size_t k = 0; k < _N; ++k)
        largest = std::max(largest, std::fabs(_Gradient[k]) * (_High[k] - _Low[k]));
      if (!(largest > 0.0) || !std::isfinite(largest))
        return;
      for (std::size_t k = 0; k < _N; ++k)
      {
        const double w = _High[k] - _Low[k];
        trial[k] = std::clamp(ioX[k] + step * w * _Sign * _Gradient[k] * w / largest, _Low[k], _High[k]);
      }
      const double next = Value(trial.data());
      if (next > y)
        ioX.swap(trial), y = next, step = std::min(1.0, 2.0 * step);
      else
        step *= 0.5;
    }
  }

  // An upper bound of Sign * f over the box [lo, hi] (collapsed where f is monotone), or -inf
  // where f is defined nowhere in it.
  double Bound(double* ioLow, double* ioHigh)
  {
    I f;
    for (int pass = 0; pass < 3; ++pass)
    {
      for (std::size_t k = 0; k < _N; ++k)
        _X[k] = I(ioLow[k], ioHigh[k]);
      f = _F.EncloseGradient(_X.data(), _G.data());
      if (f.Empty())
      {
        _Undefined = true;
        return -kInf;
      }
      if (f.Partial || !Collapse(ioLow, ioHigh))
        break;
    }
    double upper = _Sign > 0.0 ? f.Hi : -f.Lo;
    for (std::size_t k = 0; k < _N; ++k)
      _C[k] = I(_X[k].Mid());
    I form = _F.Enclose(_C.data());
    for (std::size_t k = 0; k < _N; ++k)
      form += _G[k] * (_X[k] - _C[k]);
    if (!form.Empty())
      upper = std::min(upper, _Sign > 0.0 ? form.Hi : -form.Lo);
    return std::isnan(upper) ? kInf : upper;
  }

  // Sets each variable in which Sign * f is monotone over the box to its better end.
  bool Collapse(double* ioLow, double* ioHigh) const
  {
    bool changed = false;
    for (std::size_t k = 0; k < _N; ++k)
    {
      const I g = _Sign > 0.0 ? _G[k] : -_G[k];
      if (ioLow[k] < ioHigh[k] && g.Lo > 0.0)
        ioLow[k] = ioHigh[k], changed = true;
      else if (ioLow[k] < ioHigh[k] && g.Hi < 0.0)
        ioHigh[k] = ioLow[k], changed = true;
    }
    return changed;
  }

  void Push(const double* ipBox, double iTolerance)
  {
    std::int32_t slot;
    if (_Free.empty())
    {
      slot = static_cast<std::int32_t>(_Store.size() / (2 * _N));
      _Store.resize(_Store.size() + 2 * _N);
    }
    else
      slot = _Free.back(), _Free.pop_back();
    double* box = &_Store[static_cast<std::size_t>(slot) * 2 * _N];
    std::copy(ipBox, ipBox + 2 * _N, box);
    const double bound = Bound(box, box + _N);
    for (std::size_t k = 0; k < _N; ++k)
      _Mid[k] = 0.5 * (box[k] + box[_N + k]);
    Value(_Mid.data());
    if (bound > _Best + iTolerance)
    {
      _Heap.emplace_back(bound, slot);
      std::push_heap(_Heap.begin(), _Heap.end());
    }
    else
      _Free.push_back(slot);
  }

  // Bisects the box across its most telling variable; false when it is a point.
  bool Split(std::int32_t iSlot, double iTolerance)
  {
    std::vector<double>& box = _Split;
    box.assign(&_Store[static_cast<std::size_t>(iSlot) * 2 * _N],
               &_Store[static_cast<std::size_t>(iSlot) * 2 * _N] + static_cast<std::ptrdiff_t>(2 * _N));
    for (std::size_t k = 0; k < _N; ++k)
      _X[k] = I(box[k], box[_N + k]);
    _F.EncloseGradient(_X.data(), _G.data());
    std::size_t pick = _N;
    double score = -1.0;
    for (std::size_t k = 0; k < _N; ++k)
    {
      const double w = box[_N + k] - box[k];
      const I x(box[k], box[_N + k]);
      if (!(w > 0.0) || x.Mid() <= box[k] || x.Mid() >= box[_N + k])
        continue;
      const double s = w * (1.0 + std::max(std::fabs(_G[k].Lo), std::fabs(_G[k].Hi)));
      if (!(s <= score))
        pick = k, score = s;
    }
    if (pick == _N)
      return false;
    const double mid = 0.5 * (box[pick] + box[_N + pick]);
    const double high = box[_N + pick];
    box[_N + pick] = mid;
    Push(box.data(), iTolerance);
    box[_N + pick] = high;
    box[pick] = mid;
    Push(box.data(), iTolerance);
    return true;
  }

  const QAVTasExpression& _F;
  const double _Sign;
  const std::size_t _N;
  std::vector<double> _Low, _High, _Arg;
  std::vector<I> _G, _X, _C;
  std::vector<double> _Gradient, _Mid = std::vector<double>(_N), _Split, _Store;
  std::vector<std::int32_t> _Free;
  std::vector<std::pair<double, std::int32_t>> _Heap;
  double _Best = -kInf, _Bound = kInf;
  std::int64_t _Nodes = 0;
  bool _Undefined = false;
};
} // namespace

QAVTasWorstCase::Result QAVTasWorstCase::Find(const QAVTasExpression& iF, const double* ipLow,
                                              const double* ipHigh) const
{
  Result r;
  if (iF.Inputs().empty())
  {
    r.Min = r.Max = r.LowerBound = r.UpperBound = iF.Value(nullptr);
    r.Undefined = !std::isfinite(r.Min);
    r.Certified = !r.Undefined;
    return r;
  }
  Side high(iF, 1.0, ipLow, ipHigh), low(iF, -1.0, ipLow, ipHigh);
  high.Search(_Settings.MaxCorners);
  low.Search(_Settings.MaxCorners);
  const double scale = std::max({std::fabs(high.Best()), std::fabs(low.Best()), std::numeric_limits<double>::min()});
  const double tolerance = _Settings.RelativeTolerance * (std::isfinite(scale) ? scale : 1.0);
  high.Prove(tolerance, _Settings.MaxNodes, _Settings.MaxSeconds);
  low.Prove(tolerance, _Settings.MaxNodes, _Settings.MaxSeconds);
  r.Max = high.Best(), r.Min = low.Best();
  r.UpperBound = high.Bound(), r.LowerBound = low.Bound();
  r.ArgMax = high.Arg(), r.ArgMin = low.Arg();
  r.Gap = std::max(r.UpperBound - r.Max, r.Min - r.LowerBound);
  r.Nodes = high.Nodes() + low.Nodes();
  r.Undefined = high.Undefined() || low.Undefined();
  r.Certified = r.Gap <= tolerance && !r.Undefined;
  return r;
}
