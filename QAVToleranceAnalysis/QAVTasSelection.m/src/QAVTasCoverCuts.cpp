#include "QAVTasCoverCuts.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
const double kSupport = 1e-9, kViolated = 1e-4;

struct Member
{
  std::int32_t Choice;
  double Theta, Y;
};

// One side of one row as weights per option and the capacity B (with its margin); false when the
// side is absent or no selection meets it.
bool SideOf(const QAVTasSelectionLP& iLp, std::int32_t iRow, double iSign, std::vector<double>& oW, double& oB)
{
  const double* a = iLp.Row(iRow);
  const auto& first = iLp.First();
  oB = iSign > 0.0 ? iLp.RowHi(iRow) : -iLp.RowLo(iRow);
  if (!std::isfinite(oB))
    return false;
  double size = std::fabs(oB);
  oW.assign(first.back(), 0.0);
  for (std::size_t c = 0; c + 1 < first.size(); ++c)
  {
    double least = HUGE_VAL;
    for (std::int32_t j = first[c]; j < first[c + 1]; ++j)
      least = std::min(least, iSign * a[j]);
    for (std::int32_t j = first[c]; j < first[c + 1]; ++j)
      oW[j] = iSign * a[j] - least;
    oB -= least;
    size += std::fabs(least);
  }
  oB += 1e-7 * std::max(1.0, size);
  return oB >= 0.0;
}

// x* mass of choice c's options of weight >= theta.
double MassFrom(const std::vector<double>& iX, const std::vector<double>& iW, std::int32_t iFirst, std::int32_t iEnd,
                double iTheta)
{
  double y = 0.0;
  for (std::int32_t j = iFirst; j < iEnd; ++j)
    y += iW[j] >= iTheta ? iX[j] : 0.0;
  return y;
}

class Cover
{
public:
  Cover(const QAVTasSelectionLP& iLp, const std::vector<double>& iW, double iB)
    : _First(iLp.First()), _X(iLp.Primal()), _W(iW), _B(iB)
  {
  }

  // A cover that x* breaks, in oMembers; false when the greedy finds none.
  bool Find(std::vector<Member>& oMembers)
  {
    oMembers.clear();
    double total = 0.0, lost = 0.0;
    for (std::size_t c = 0; c + 1 < _First.size(); ++c)
    {
      double theta = HUGE_VAL;
      for (std::int32_t j = _First[c]; j < _First[c + 1]; ++j)
        theta = _X[j] > kSupport ? std::min(theta, _W[j]) : theta;
      if (theta < HUGE_VAL)
        oMembers.push_back({static_cast<std::int32_t>(c), theta, 1.0}), total += theta;
    }
    while (!(total > _B))
    {
      Member* best = nullptr;
      double rate = 0.0, theta = 0.0, y = 0.0;
      for (Member& m : oMembers)
        for (std::int32_t j = _First[m.Choice]; j < _First[m.Choice + 1]; ++j)
          if (_X[j] > kSupport && _W[j] > m.Theta)
          {
            const double yj = MassFrom(_X, _W, _First[m.Choice], _First[m.Choice + 1], _W[j]);
            const double r = (_W[j] - m.Theta) / std::max(m.Y - yj, kSupport);
            if (r > rate)
              rate = r, best = &m, theta = _W[j], y = yj;
          }
      if (!best)
        return false;
      total += theta - best->Theta;
      lost += best->Y - y;
      best->Theta = theta;
      best->Y = y;
      if (lost >= 1.0 - kViolated)
        return false;
    }
    oMembers.erase(std::remove_if(oMembers.begin(), oMembers.end(), [](const Member& m) { return !(m.Theta > 0.0); }),
                   oMembers.end());
    Minimise(oMembers, total);
    return true;
  }

private:
  void Minimise(std::vector<Member>& ioMembers, double iTotal) const
  {
    std::sort(ioMembers.begin(), ioMembers.end(),
              [](const Member& a, const Member& b) { return a.Y < b.Y || (a.Y == b.Y && a.Theta < b.Theta); });
    for (std::size_t k = 0; k < ioMembers.size();)
      if (iTotal - ioMembers[k].Theta > _B)
        iTotal -= ioMembers[k].Theta, ioMembers.erase(ioMembers.begin() + k);
      else
        ++k;
    for (Member& m : ioMembers)
    {
      double lowest = m.Theta;
      for (std::int32_t j = _First[m.Choice]; j < _First[m.Choice + 1]; ++j)
        if (_W[j] > 0.0 && _W[j] < lowest && iTotal - m.Theta + _W[j] > _B)
          lowest = _W[j];
      iTotal += lowest - m.Theta;
      m.Theta = lowest;
    }
  }

  const std::vector<std::int32_t>& _First;
  const std::vector<double>& _X;
  const std::vector<double>& _W;
  double _B;
};
} // namespace

std::int32_t QAVTasCoverCuts::Separate(QAVTasSelectionLP& ioLp, std::int32_t iMax)
{
  const std::vector<double>& x = ioLp.Primal(); // added rows leave it as it is
  const auto& first = ioLp.First();
  if (x.size() != static_cast<std::size_t>(first.back()))
    return 0;
  std::int32_t added = 0;
  std::vector<double> w, row;
  std::vector<Member> members;
  for (std::int32_t r = 0; r < ioLp.LawRows() && added < iMax; ++r)
    for (const double sign : {1.0, -1.0})
    {
      double b = 0.0;
      if (!SideOf(ioLp, r, sign, w, b) || !Cover(ioLp, w, b).Find(members) || members.empty())
        continue;
      row.assign(x.size(), 0.0);
      double lhs = 0.0;
      for (const Member& m : members)
        for (std::int32_t j = first[m.Choice]; j < first[m.Choice + 1]; ++j)
          if (w[j] >= m.Theta)
            row[j] = 1.0, lhs += x[j];
      const double rhs = static_cast<double>(members.size()) - 1.0;
      if (lhs > rhs + kViolated && added < iMax)
      {
        ioLp.AddRow(row, -HUGE_VAL, rhs);
        ++added;
      }
    }
  return added;
}
