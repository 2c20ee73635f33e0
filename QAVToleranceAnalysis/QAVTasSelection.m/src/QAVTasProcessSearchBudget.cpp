// The limits of a QAVTasProcessSearch: nodes, time, the observer and the open nodes' memory.
#include "QAVTasProcessSearch.h"

bool QAVTasProcessSearch::OutOfBudget()
{
  if (_Limit.empty() && _Nodes >= _Options.MaxNodes)
    _Limit = "node limit reached";
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - _Start;
  if (_Limit.empty() && _Options.TimeLimit > 0.0 && elapsed.count() > _Options.TimeLimit)
    _Limit = "time limit reached";
  return !_Limit.empty();
}

// Between nodes, every open node is in the list or is iNext, so their least bound holds.
void QAVTasProcessSearch::Observe(const std::optional<Node>& iNext)
{
  if (!_Options.OnProgress || !_Limit.empty())
    return;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - _Start).count();
  if (seconds - _ObservedAt < _Options.ObserverPeriod)
    return;
  _ObservedAt = seconds;
  QAVTasProcessSelector::Progress progress;
  progress.Nodes = _Nodes;
  progress.OpenNodes = static_cast<std::int64_t>(_Open.Size()) + (iNext ? 1 : 0);
  progress.Cost = _Cost;
  progress.LowerBound = std::min({_Cost, _PrunedBound, _Open.Bound(), iNext ? iNext->Bound : HUGE_VAL});
  if (_Cost < HUGE_VAL)
    progress.RelativeGap = (_Cost - progress.LowerBound) / std::max(1.0, std::fabs(_Cost));
  progress.Seconds = seconds;
  if (!_Options.OnProgress(progress))
    _Limit = "interrupted";
}

std::int64_t QAVTasProcessSearch::Node::Bytes() const
{
  const auto block = [](const auto& iVector) -> std::int64_t
  {
    const std::size_t capacity = iVector.capacity();
    // a heap block's own header, roughly
    return capacity == 0 ? 0 : static_cast<std::int64_t>(capacity * sizeof(iVector[0]) + 16);
  };
  return static_cast<std::int64_t>(sizeof(Node)) + block(Choices.Lo) + block(Choices.Hi) + block(Prices.Slope) +
    block(Prices.Square) + block(Prices.Extra) + block(Candidates);
}
